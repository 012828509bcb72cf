// Differentiation: values against sympy and mpmath, Jacobian trees written in infix,
// the errors; definition substitution through user functions.
#include <cstring>
#include <functional>

#include "model/params.h"
#include "model/treedif.h"
#include "model/treemods.h"
#include "tests/model/symfix.h"

namespace {

uint16_t define(pde *p, const char *name, TreeNode *tree) {
  String s{};
  strings_copyto_1(&s, name);
  uint16_t n = params_new_param(&p->formulas.definitions, &s);
  strings_free_0(&s);
  if (tree) params_define_param(&p->formulas.definitions, n, 0, 0, tree);
  return n;
}

}  // namespace

TEST_F(Symbolic, DerivativesAgainstSympy) {
  struct Case { const char *f; int16_t s; double x, y, want; } cases[] = {
      {"ATAN2(Y, X)", 1, 1, 2, -0.4}, {"ATAN2(Y, X)", 2, 1, 2, 0.2},
      {"(1-X)^(2+X)", 1, 1, 0, 0}, {"(1-X)^(2+X)", 1, 0.5, 0, -1.006415744416753},
      {"X^2.5", 1, 4, 0, 20}, {"X^Y", 1, 2, 3, 12}, {"X^Y", 2, 2, 3, 5.545177444479562},
      {"MOD(X^2, X+1)", 1, 2.3, 0, 3.6}, {"MOD(X^2, 5)", 1, 2.3, 0, 4.6},
      {"TANH(3*X)", 1, 0.2, 0, 2.134733287761669}, {"TANH(X)", 1, 800, 0, 0},
  };
  for (const Case &c : cases) {
    TreeNode *d = treedif_differ(p, build(c.f), c.s, 1);
    EXPECT_NEAR(value_at(d, c.x, c.y), c.want, 1e-13 * (1 + std::fabs(c.want))) << c.f << " d" << c.s;
    trees_free_0(d);
  }
}

TEST_F(Symbolic, DerivativeTrees) {
  vectorl_resize(&p->basiscodes, 2, 2);
  p->basiscodes.data[0] = 3;  // U has a trial basis, V none
  env.names["PHI"] = {op::febasis, 3};
  env.names["UDOT"] = {op::vardot, 1};
  env.names["DELTAT"] = {op::deltat, 0};
  env.names["TB"] = {op::tableval, 1};
  env.names["TV"] = {op::tableval, 2};
  // Table 1 keyed by definition 1 (X^2), table 2 by variable U.
  define(p, "K", build("X^2"));
  tabledat_resize(&p->formulas.definitions.tables, 2, 2);
  p->formulas.definitions.tables.items[0].keys[0] = 101;
  p->formulas.definitions.tables.items[1].keys[0] = 5;
  struct Case { const char *f; int16_t s; const char *want; const char *marked; } cases[] = {
      {"X*Y", 1, "Y", nullptr}, {"SIN(Y)", 2, "COS(Y)", nullptr}, {"5", 1, "0", nullptr},
      {"U^2", -1, "2*(U*PHI)", nullptr}, {"U^2", -2, "0", nullptr}, {"UDOT", -1, "PHI/DELTAT", nullptr},
      {"V*U", -2, "U", nullptr}, {"TB", 1, "2*(TB*X)", "TB"}, {"TV", 1, "TV*U", "TV U"},
      {"TV", -1, "TV*PHI", "TV"},
  };
  for (const Case &c : cases) {
    TreeNode *d = treedif_differ(p, build(c.f), c.s, 1), *want = build(c.want);
    if (std::string(c.want) == "0") want = simp(want);
    // The marked leaves carry a first x derivative (a table's slope along its key).
    std::function<void(TreeNode *)> mark = [&](TreeNode *n) {
      if (n->group != leafop)
        for (int k = 0; k < n->arity; k++) mark(n->child[k]);
      const char *name = n->opcode == op::varble ? "U" : n->opcode != op::tableval ? "" : n->index == 1 ? "TB" : "TV";
      if (c.marked && *name && strstr(c.marked, name)) n->deriv[0] = 1;
    };
    mark(want);
    EXPECT_TRUE(trees_compare(d, want)) << c.f << " d" << c.s << " gave " << show(d);
    trees_free_0(d);
    trees_free_0(want);
  }
  // A constant exponent takes no logarithm term; a varying one does.
  TreeNode *d = treedif_differ(p, build("U^2.5"), -1, 1);
  EXPECT_FALSE(treemods_find_op(d, op::logf));
  trees_free_0(d);
  d = treedif_differ(p, build("X^Y"), 2, 1);
  EXPECT_TRUE(treemods_find_op(d, op::logf));
  trees_free_0(d);
  // A deriv node carried out in place.
  TreeNode *t = trees_new_0(op::deriv);
  t->deriv[0] = 1;
  t->child[0] = build("X*Y");
  t = treedif_differ_tree(p, t, 1);
  EXPECT_EQ(show(t), "Y");
  trees_free_0(t);
}

TEST_F(Symbolic, DifferentiationErrors) {
  // The tree goes with the error: its caller holds nothing to free.
  TreeNode *t = build("X AND Y");
  EXPECT_EQ(error_of([&] { treedif_differ(p, t, 1, 1); }), "Can't Differentiate Function");
  t = build("U");
  memset(t->deriv, 1, 3);
  EXPECT_EQ(error_of([&] { t = treedif_differ(p, t, 2, 1); }), "Too Many Derivatives");
  trees_free_0(t);
}

TEST_F(Symbolic, UserFunctionsAreExpandedWithTheirArguments) {
  // F(a) = 2*a; G(a) = G(a), which never ends.
  uint16_t f = define(p, "F", nullptr), g = define(p, "G", nullptr);
  TreeNode *arg = trees_new_0(op::fargop);
  arg->index = uint16_t(4 * f + 1);
  TreeNode *body = trees_new_0(op::mulop);
  body->child[0] = trees_new_real_0(2), body->child[1] = arg;
  params_define_param(&p->formulas.definitions, f, 0, 0, body);
  auto call = [](uint16_t fn, TreeNode *a) {
    TreeNode *c = trees_new_0(op::fparam);
    c->index = fn, c->arity = 1, c->child[0] = a;
    return c;
  };
  TreeNode *garg = trees_new_0(op::fargop);
  garg->index = uint16_t(4 * g + 1);
  params_define_param(&p->formulas.definitions, g, 0, 0, call(g, garg));
  TreeNode *t = call(g, build("X"));
  EXPECT_EQ(error_of([&] { t = treemods_copy_params(p, t, 1, 0); }), "Recursive Evaluation");
  trees_free_0(t);
  // The abandoned expansion left no frame behind: F(F(X+1)) nests two deep.
  t = treemods_copy_params(p, call(f, call(f, build("X+1"))), 1, 0);
  TreeNode *want = build("2*(2*(X+1))");
  EXPECT_TRUE(trees_compare(t, want)) << show(t);
  trees_free_0(t);
  trees_free_0(want);
  t = build("(X+1)*Y");
  EXPECT_TRUE(treemods_find_op(t, op::addop));
  EXPECT_FALSE(treemods_find_op(t, op::subop));
  trees_free_0(t);
}
