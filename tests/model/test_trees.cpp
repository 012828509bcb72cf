// Expression trees: the operator table, comparison, copies, frees, rewrites,
// positions, tree vectors and the diagram.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "model/symtab.h"
#include "model/trees.h"
#include "runtime/bopmem.h"
#include "tests/model/treebuild.h"
#include "tests/runtime/fatal_stop.h"

namespace {

// a, b, c, u are variables 1..4; the operator tree holds the built-ins.
TreeEnv vars() {
  if (!symtab_optree) {
    symtab_operators(&symtab_optree);
    symtab_builtins(&symtab_optree);
  }
  TreeEnv e;
  e.names = {{"A", {op::varble, 1}}, {"B", {op::varble, 2}}, {"C", {op::varble, 3}}, {"U", {op::varble, 4}}};
  return e;
}

std::string diagram(const TreeNode *t) {
  FILE *f = tmpfile();
  trees_print_tree(f, t, "TITLE");
  rewind(f);
  std::string s;
  for (int ch; (ch = fgetc(f)) != EOF;) s += char(ch);
  fclose(f);
  return s;
}

}  // namespace

TEST(Trees, OperatorTableGroupsAnchorsAndCommutativeRows) {
  int groups[8] = {};
  std::string commutative;
  for (int k = 0; k <= op::lastop; k++) {
    groups[trees_optable[k].group]++;
    if (trees_optable[k].commutative) commutative += std::string(trees_optable[k].name) + " ";
  }
  EXPECT_EQ(sizeof trees_optable / sizeof trees_optable[0], 125u);
  const int expected[8] = {35, 33, 19, 2, 6, 6, 11, 13};
  for (int g = 0; g < 8; g++) EXPECT_EQ(groups[g], expected[g]) << trees_groupnames[g];
  EXPECT_EQ(commutative, "addop mulop minf maxf equop neqop logor logand vdot ");
  struct { const char *name; int opcode, arity; } anchors[] = {
      {"tableval", 18, 0}, {"volint", 26, 0}, {"evalop", 33, 0}, {"intpower", 36, 1}, {"addop", 68, 2},
      {"atan2f", 74, 2},   {"integral", 87, 1}, {"deriv", 89, 1}, {"complex0", 95, 0}, {"vector", 102, 2},
      {"ifthen", 112, 3},  {"subref", 119, 0}, {"kkkrhs", 120, 2}, {"kkkxyz", 123, 3}, {"lastop", 124, 0}};
  String s{};
  for (auto &a : anchors) {
    EXPECT_EQ(std::string(trees_optable[a.opcode].name) + std::to_string(trees_optable[a.opcode].arity),
              a.name + std::to_string(a.arity));
    trees_opname(&s, a.opcode);
    EXPECT_STREQ(s.text, a.opcode == 124 ? "BAD OPCODE" : a.name);
  }
  strings_free_0(&s);
}

TEST(Trees, StructuralComparison) {
  TreeEnv e = vars();
  struct { const char *a, *b; bool equal; } cases[] = {
      {"a + b", "b + a", true},
      {"a - b", "b - a", false},
      {"c + b*a", "a*b + c", true},
      {"a/b", "b/a", false},
      {"MAX(a, b)", "MAX(b, a)", true},
      {"ATAN2(a, b)", "ATAN2(b, a)", false},
      {"DOT(a, b)", "DOT(b, a)", true},
      {"CROSS(a, b)", "CROSS(b, a)", false},
      {"RANDOM(a)", "RANDOM(a)", false},
      {"SIN(a)", "COS(a)", false},
      {"IF a > b THEN 1 ELSE 2", "IF b < a THEN 1 ELSE 2", false},
      {"a = b AND NOT c", "NOT c AND b = a", true},
      {"DIV(u)", "GRAD(u)", false},
      {"2.5*x", "x*2.5", true},
      {"2.5*x", "2.50001*x", false},
      {"x + y", "x + t", false},
  };
  int64_t before = XMEM;
  for (auto &c : cases) {
    TreeNode *a = treebuild(c.a, e), *b = treebuild(c.b, e);
    EXPECT_EQ(trees_compare(a, b), c.equal) << c.a << " vs " << c.b;
    TreeNode *copy = trees_copy(a);
    EXPECT_EQ(trees_compare(copy, b), c.equal) << c.a;
    trees_free_0(a), trees_free_0(b), trees_free_0(copy);
  }
  EXPECT_EQ(XMEM, before);
}

TEST(Trees, SharedSubexpressionsAndStringLeaves) {
  TreeEnv e = vars();
  int64_t before = XMEM;
  TreeNode *target = treebuild("a*b", e);
  TreeNode *r1 = trees_new_0(op::subref), *r2 = trees_new_0(op::subref);
  r1->target = r2->target = target;
  EXPECT_TRUE(trees_compare(r1, r2) && trees_compare(r1, target) && trees_compare(target, r2));
  TreeNode *sum = trees_new_0(op::addop);
  sum->child[0] = target, sum->child[1] = r1;
  TreeNode *copy = trees_copy(sum);
  EXPECT_EQ(copy->child[1]->target, target);  // the copy's reference stays on the source tree
  EXPECT_EQ(trees_free_0(copy), nullptr);
  trees_free_0(r2);
  EXPECT_EQ(trees_free_0(sum), nullptr);  // frees target once, through child 1 only
  EXPECT_EQ(trees_free_0(nullptr), nullptr);

  TreeNode *s = trees_new_0(op::treestring);
  strings_copyto_1(&s->text, "label");
  TreeNode *t = trees_copy(s);
  EXPECT_NE(t->text.text, s->text.text);
  EXPECT_TRUE(trees_compare(s, t));
  trees_free_0(s);
  EXPECT_STREQ(t->text.text, "label");
  trees_replace(t, 1.0);  // the text goes with the leaf it was
  EXPECT_EQ(t->opcode, op::realval);
  trees_free_0(t);
  EXPECT_EQ(XMEM, before);
}

TEST(Trees, RewritesKeepClassesAndPositions) {
  TreeEnv e = vars();
  int64_t before = XMEM;
  TreeNode *n = treebuild("a + b", e);
  n->index = 7, n->rhsclass = varex, n->deriv[0] = 1;
  trees_replace(n, 0.0);
  EXPECT_EQ(std::vector<int>({n->opcode, n->index, n->rhsclass, n->deriv[0]}),
            std::vector<int>({op::realzero, 7, varex, 0}));
  trees_replace(n, 2.5);
  EXPECT_EQ(n->opcode, op::realval);
  trees_free_0(n);

  TreeNode *sel = trees_select_leaf(treebuild("a - SIN(b)", e), 2);
  EXPECT_EQ(sel->opcode, op::sinf);
  trees_free_0(sel);

  struct { const char *from, *to; bool left; } dist[] = {
      {"a * (b + c)", "a*b + a*c", true},
      {"(b - c) * a", "b*a - c*a", false},
      {"u * VECTOR(b, c)", "VECTOR(u*b, u*c)", true},
  };
  for (auto &d : dist) {
    TreeNode *t = treebuild(d.from, e);
    t->child[d.left ? 1 : 0]->child[1]->timeclass = timex;  // c2 lends its class to its product
    TreeNode *r = d.left ? trees_distribute_left(t) : trees_distribute_right(t);
    TreeNode *want = treebuild(d.to, e);
    EXPECT_TRUE(trees_compare(r, want)) << d.from;
    EXPECT_EQ(r->child[1]->timeclass, timex) << d.from;
    EXPECT_EQ(r->child[1]->loc.column, r->child[1]->child[d.left ? 1 : 0]->loc.column);
    trees_free_0(r), trees_free_0(want);
  }
  EXPECT_EQ(XMEM, before);

  EXPECT_EQ(fatal_stop([] { trees_replace(nullptr, 1); }), "INVALID TREE ADDRESS IN traptree");
  TreeNode *leaf = trees_new_real_0(1);
  EXPECT_EQ(fatal_stop([&] { trees_select_leaf(leaf, 1); }), "INVALID TREE ADDRESS IN traptree");
  trees_free_0(leaf);
}

TEST(Trees, PositionsComeFromChildOneElseChildTwo) {
  TreeEnv e = vars();
  e.file = 3;
  TreeNode *t = treebuild("SIN(a) * (b + c)", e);
  t->loc = TextLoc{};
  t->child[0]->loc = t->child[0]->child[0]->loc = TextLoc{};  // nothing under child 1
  t->child[1]->loc = TextLoc{};                              // child 2's own comes from its child 1
  trees_find_loc(t);
  EXPECT_EQ(t->loc.file * 100 + t->loc.column, 311);  // "b"
  EXPECT_EQ(t->child[0]->loc.file, 0);
  trees_free_0(t);
}

TEST(Trees, VectorsGrowByTenAndReleaseTheirTrees) {
  int64_t before = XMEM;
  treevector v{};
  trees_new_2(&v, 0, 10);
  for (int k = 1; k <= 11; k++) EXPECT_EQ(trees_one_more(&v, trees_new_real_0(k)), k);
  EXPECT_EQ(v.capacity * 100 + v.data[10]->value, 2011);
  EXPECT_EQ(fatal_stop([&] { trees_new_2(&v, 0, 5); }), "NEW TREEVECTOR ALREADY ALLOCATED IN trees_new_2");
  treevectors vv{};
  trees_new_3(&vv, 2, 4);
  trees_one_more(&vv.data[1], trees_new_real_0(1));
  trees_resize_1(&vv, 3, 30);  // the inner vectors move with their trees
  trees_free_1(&v, 1), trees_free_2(&vv, 1);
  EXPECT_EQ(XMEM, before);
}

TEST(Trees, DiagramAndLabels) {
  TreeEnv e = vars();
  TreeNode *t = treebuild("-a + 2*DEL2(u)", e);
  t->child[0]->child[0]->deriv[0] = 1;
  EXPECT_EQ(diagram(t),
            "TITLE\n"
            "         |       + |       * |      DXX|       A4\n"
            "                             |        2\n"
            "                   |     Neg |     A1.X\n"
            "\n----------------------------------------\n");
  String s{};
  trees_dlabel(&s, "D", 2, 1, 4, 3, nullptr, nullptr);
  EXPECT_STREQ(s.text, "DYXTA3");
  t->opcode = 130;
  trees_treename(&s, t);
  EXPECT_STREQ(s.text, "BAD OPCODE");
  t->opcode = op::addop;
  strings_free_0(&s), trees_free_0(t);
  // A sum of 4000 terms: a chain whose levels would each indent ten more columns. The
  // diagram stops at level 100, so its size grows with the levels drawn, not squared.
  std::string sum = "a";
  for (int k = 1; k < 4000; k++) sum += "+a";
  t = treebuild(sum, e);
  std::string d = diagram(t);
  trees_free_0(t);
  EXPECT_EQ(std::count(d.begin(), d.end(), '\n'), 104) << d.substr(0, 400);
  EXPECT_LT(d.size(), 120000u);
  EXPECT_NE(d.find("|      ...\n"), std::string::npos);
}
