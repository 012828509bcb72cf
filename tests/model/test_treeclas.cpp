// Classification: the classes of written trees, the value-kind tables entry by entry,
// and the errors.
#include <cstring>
#include <sstream>

#include "model/treeclas.h"
#include "tests/model/symfix.h"

namespace {

// DX(a) and DT(a) are written as STREAMLINE(a) and RANDOM(a) for the infix reader and
// turned into derivative nodes here.
void derivs(TreeNode *n) {
  if (n->group == leafop) return;
  if (n->opcode == op::upfactor || n->opcode == op::randomf) {
    n->deriv[0] = n->opcode == op::upfactor ? 1 : 4;
    trees_modify(n, op::deriv);
  }
  for (int k = 0; k < n->arity; k++) derivs(n->child[k]);
}

std::string infix(std::string s) {
  for (auto [from, to] : {std::pair{"DX(", "STREAMLINE("}, std::pair{"DT(", "RANDOM("}})
    for (size_t at; (at = s.find(from)) != std::string::npos;) s.replace(at, 3, to);
  return s;
}

}  // namespace

TEST_F(Symbolic, ClassesOfWrittenTrees) {
  env.names["LAM"] = {op::lambda, 0};
  env.names["TXU"] = {op::tableval, 1};
  env.names["TXY"] = {op::tableval, 2};
  tabledat_resize(&p->formulas.definitions.tables, 2, 2);
  // Table 1 keyed by x and the variable U, table 2 by x and y.
  p->formulas.definitions.tables.items[0].keys[0] = p->formulas.definitions.tables.items[1].keys[0] = 1;
  p->formulas.definitions.tables.items[0].keys[1] = 5;
  p->formulas.definitions.tables.items[1].keys[1] = 2;
  struct Case {
    const char *text;
    int32_t rhs, time, order;
  } cases[] = {
      {"3*U", varex, spacex, order0},
      {"3*DX(U)", varex, spacex, order1},
      {"DX(3*DX(U))", varex, spacex, order2},
      {"DX(SIN(X))", coordex, spacex, order0},
      {"LAM*U", lamdex, timex, order0},
      {"LAM*U+U", varex, timex, order0},
      // A time derivative adds no spatial order; one under a function is still a time term.
      {"DT(U)", varex, timex, order0},
      {"SIN(DT(U))", varex, timex, order0},
      {"-DT(U)", varex, timex, order0},
      {"DX(DT(U))", varex, timex, order1},
      {"DT(DX(DX(U)))", varex, timex, order2},
      {"TXU", varex, spacex, order0},
      {"TXY", coordex, spacex, order0},
      {"2+3", constex, spacex, order0},
  };
  for (const Case &c : cases) {
    TreeNode *t = build(infix(c.text));
    derivs(t);
    treeclas_classify_rhs(p, t, 1);
    treeclas_classify_time(p, t, 1);
    treeclas_classify_order(p, t, 1);
    EXPECT_EQ(t->rhsclass, c.rhs) << c.text;
    EXPECT_EQ(t->timeclass, c.time) << c.text;
    EXPECT_EQ(t->orderclass, c.order) << c.text;
    trees_free_0(t);
  }
}

// A derivative whose operand was built after the last classification (a product the
// volume element was distributed into) takes the operand's class when its order is asked.
TEST_F(Symbolic, OrderOfOperandsBuiltSinceClassification) {
  struct Case {
    const char *text;
    int32_t order;
  } cases[] = {{"DX(SIN(Y)*DX(U))", order2}, {"DX(SIN(Y)*X)", order0}, {"DX(X*U)/Y*Y", order1}};
  for (const Case &c : cases) {
    TreeNode *t = build(infix(c.text));
    derivs(t);
    std::string got = error_of([&] { treeclas_classify_order(p, t, 1); });
    EXPECT_EQ(got, "") << c.text;
    EXPECT_EQ(t->orderclass, c.order) << c.text;
    trees_free_0(t);
  }
}

TEST_F(Symbolic, ValueKindTables) {
  // Rows: first operand s v c cv; columns: second operand; "-" a type conflict.
  struct Table { int32_t opcode; const char *rows; } tables[] = {
      {op::addop, "s - c - / - v - cv / c - c - / - cv - cv"},
      {op::subop, "s - c - / - v - cv / c - c - / - cv - cv"},
      {op::mulop, "s v c cv / v - - - / c - c cv / cv - cv -"},
      {op::divop, "s - c - / v - cv - / c - c - / cv - cv -"},
      {op::complexf, "c - - - / cv cv - - / - - - - / - - - -"},
  };
  const std::map<std::string, int32_t> kinds = {{"s", vtag::scalar}, {"v", vtag::vector}, {"c", vtag::complex},
                                                {"cv", vtag::cvector}, {"-", vtag::badtag}};
  for (const Table &t : tables) {
    std::istringstream in(t.rows);
    std::string word;
    for (int32_t a = 0; a < 4; a++) {
      for (int32_t b = 0; b < 4; b++) {
        in >> word;
        EXPECT_EQ(treeclas_value_kind(t.opcode, a, b), kinds.at(word)) << t.opcode << " " << a << " " << b;
      }
      in >> word;  // the row separator
    }
    for (int32_t k = 0; k < 4; k++) {
      EXPECT_EQ(treeclas_value_kind(t.opcode, vtag::badtag, k), vtag::badtag);
      EXPECT_EQ(treeclas_value_kind(t.opcode, k, vtag::badtag), vtag::badtag);
    }
  }
}

TEST_F(Symbolic, ClassificationErrors) {
  struct Case { const char *text; int which; const char *error; } cases[] = {
      {"VECTOR(DX(U), U)", 2, "UNBALANCED ORDER"}, {"YCOMP(VECTOR(X, Y))", 1, "Illegal Y-Component"},
      {"VECTOR(X, Y) + X", 3, "TYPE CONFLICT"}, {"SIN(VECTOR(X, Y))", 3, "RESULT IS NOT SCALAR"},
      {"PARTS", 1, "ILLEGAL OPERATOR: partfun"},
  };
  for (const Case &c : cases) {
    TreeNode *t = std::string(c.text) == "PARTS" ? trees_new_0(op::partfun) : build(infix(c.text));
    derivs(t);
    if (t->opcode == op::vycomp) trees_free_0(t->child[0]->child[1]), t->child[0]->arity = 1;
    DebugCapture dbg;
    std::string got = error_of([&] {
      treeclas_classify_rhs(p, t, 1);
      if (c.which >= 2) treeclas_classify_order(p, t, 1);
      if (c.which == 3) treeclas_classify_value(p, t, 1, 0);
    });
    EXPECT_EQ(got, c.error) << c.text;
    if (c.which == 3) {
      EXPECT_EQ(dbg.text().rfind(c.error, 0), 0u) << dbg.text();
    }
    trees_free_0(t);
  }
}
