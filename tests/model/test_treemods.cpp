// Weak-form rewriting: splitting by class, integration by parts, the vector
// operators through the coordinate metric (against sympy), shared subexpressions and
// the small operations.
#include "model/treemods.h"

#include <vector>

#include "model/metrics.h"
#include "model/treeclas.h"
#include "model/treedif.h"
#include "tests/model/symfix.h"

TEST_F(Symbolic, PlanarizeCollectsALinearForm) {
  struct Case { const char *f; double want[4]; } cases[] = {
      {"2*X - (Y*3 - 4) + -Z", {2, -3, -1, 4}}, {"X + X - 0.5", {2, 0, 0, -0.5}}, {"7", {0, 0, 0, 7}},
  };
  for (const Case &c : cases) {
    double coef[4] = {1, 1, 1, 1};
    TreeNode *t = build(c.f);
    treemods_planarize(&coef[0], &coef[1], &coef[2], &coef[3], t, 2);
    for (int k = 0; k < 4; k++) EXPECT_DOUBLE_EQ(coef[k], 1 + 2 * c.want[k]) << c.f << " " << k;
    trees_free_0(t);
  }
  double coef[4] = {};
  TreeNode *t = build("X + X*Y");
  EXPECT_EQ(error_of([&] { treemods_planarize(&coef[0], &coef[1], &coef[2], &coef[3], t, 1); }), "Planar Surface Required");
  trees_free_0(t);
}

namespace {

// A problem in a named coordinate system: its metric trees and dimension.
struct Metric : Symbolic {
  idrec *root = nullptr;
  void use(const char *keyword) {
    metrics_clear_metric(&p->coords);
    root = symtab_deleteall(root);
    String w = {};
    strings_copyto_1(&w, keyword);
    metrics_get_metric(&p->coords, &w, 0, &p->coordnames);
    strings_free_0(&w);
    metrics_coords(&p->coords, &root, &p->coordnames);
    p->dimension = p->coords.dimension;
  }
  void TearDown() override {
    root = symtab_deleteall(root);
    Symbolic::TearDown();
  }
  // The operators written out, derivatives carried out, simplified.
  TreeNode *operate(const char *text) {
    TreeNode *t = treemods_expand_vecops(p, build(text), 1);
    t = treedif_differ_tree(p, t, 1);
    return simp(t);
  }
  // The components of a vector tree (one for a scalar), or its length for MAGNITUDE.
  std::vector<double> values(const TreeNode *t, double x, double y, double z) {
    evalpoint e{};
    e.x = x, e.y = y, e.z = z;
    if (t->opcode == op::vlength) {
      double s = 0;
      for (double c : values(t->child[0], x, y, z)) s += c * c;
      return {std::sqrt(s)};
    }
    if (t->opcode != op::vector) return {simptree_simpeval(t, &e)};
    std::vector<double> v;
    for (int k = 0; k < t->arity; k++) v.push_back(simptree_simpeval(t->child[k], &e));
    return v;
  }
};

}  // namespace

// Expected values worked out with sympy (the coordinates as written in each system,
// derivatives carried out, simplified); every component is checked at three points.
TEST_F(Metric, OperatorsThroughTheMetric) {
  struct Case { const char *system, *f; double (*want)(double, double, double); } cases[] = {
      {"XCYLINDER", "DEL2(X^2+Y^2)", [](double, double, double) { return 6.0; }},
      {"YCYLINDER", "DEL2(X^2+Y^2)", [](double, double, double) { return 6.0; }},
      {"YCYLINDER", "DEL2(LN(X))", [](double, double, double) { return 0.0; }},
      {"YCYLINDER", "DEL2(X^2-2*Y^2)", [](double, double, double) { return 0.0; }},
      {"YCYLINDER", "DIV(VECTOR(X,0))", [](double, double, double) { return 2.0; }},
      {"CYLINDER3", "DEL2(X^2+Z^2)", [](double, double, double) { return 6.0; }},
      {"SPHERE3", "DEL2(X^2)", [](double, double, double) { return 6.0; }},
      {"SPHERE3", "DEL2(1/X)", [](double, double, double) { return 0.0; }},
      {"SPHERE3", "MAGNITUDE(GRAD(X*COS(Y)))", [](double, double, double) { return 1.0; }},
      {"SPHERE3", "DIV(VECTOR(0,1,0))", [](double x, double y, double) { return 1 / (x * std::tan(y)); }},
      {"CYLINDER3", "DIV(CURL(VECTOR(X*Y*Z, X*SIN(Y), X*Z^2)))", [](double, double, double) { return 0.0; }},
      {"SPHERE3", "DIV(CURL(VECTOR(X*Y*Z, X*SIN(Y), X*Z^2)))", [](double, double, double) { return 0.0; }},
      {"CYLINDER3", "CURL(GRAD(X^2*Y*Z))", [](double, double, double) { return 0.0; }},
      {"SPHERE3", "CURL(GRAD(X^2*Y*Z))", [](double, double, double) { return 0.0; }},
  };
  const double points[3][3] = {{2, M_PI / 4, 0.5}, {1.3, 0.7, -1.1}, {0.6, 2.2, 3.0}};
  for (const Case &c : cases) {
    use(c.system);
    TreeNode *t = operate(c.f);
    for (const auto &pt : points)
      for (double v : values(t, pt[0], pt[1], pt[2]))
        EXPECT_NEAR(v, c.want(pt[0], pt[1], pt[2]), 1e-12) << c.system << " " << c.f << " at " << pt[0];
    trees_free_0(t);
  }
  use("SPHERE3");
  TreeNode *t = operate("DIV(VECTOR(0,1,0))");
  EXPECT_NEAR(values(t, 2, M_PI / 4, 0)[0], 0.5, 1e-15);
  trees_free_0(t);
}

TEST_F(Metric, CurlCarriesTheMetricOnlyOutsideCartesianCoordinates) {
  use("CARTESIAN3");
  TreeNode *plain = operate("CURL(VECTOR(0, 0, Y))"), *want = build("1");
  ASSERT_EQ(plain->opcode, op::vector);
  EXPECT_TRUE(trees_compare(plain->child[0], want)) << show(plain);
  use("CYLINDER3");
  // In (r, phi, z) the radial component of curl(0, 0, phi) is (1/r) d(phi)/d(phi).
  TreeNode *cyl = operate("CURL(VECTOR(0, 0, Y))");
  EXPECT_FALSE(trees_compare(cyl->child[0], want)) << show(cyl);
  EXPECT_NEAR(values(cyl, 4, 1, 1)[0], 0.25, 1e-15);
  for (TreeNode *x : {plain, want, cyl}) trees_free_0(x);
  struct Bad {
    const char *f, *error;
  } bad[] = {{"DIV(X)", "Divergence of Scalar"},
             {"GRAD(VECTOR(X,Y))", "Gradient of Vector"},
             {"CURL(X)", "Curl of Scalar in 3D"}};
  // Each is a located error of what the user wrote.
  for (const Bad &b : bad) {
    TreeNode *t = build(b.f);
    EXPECT_EQ(error_of([&] { t = treemods_expand_vecops(p, t, 1); }), b.error);
    trees_free_0(t);
  }
}

namespace {
// ABS(a) written for the x derivative of a and SIGN(a) for its time derivative, which
// the infix reader has no names for.
TreeNode *derivs(TreeNode *t) {
  if (!t || t->group == leafop) return t;
  for (int k = 0; k < t->arity; k++) t->child[k] = derivs(t->child[k]);
  if (t->opcode == op::absf || t->opcode == op::signf) {
    uint8_t s = t->opcode == op::absf ? 1 : 4;
    trees_modify(t, op::deriv);
    t->deriv[0] = s;
  }
  return t;
}
// The classes the splits read, set as analysis sets them.
TreeNode *classified(pde *p, TreeNode *t) {
  treeclas_classify_rhs(p, t, 1);
  treeclas_classify_time(p, t, 1);
  treeclas_classify_order(p, t, 1);
  return t;
}
}  // namespace

TEST_F(Symbolic, SplitsByClass) {
  env.names["A"] = {op::realval, 0};
  struct Case { const char *f, *want; } cases[] = {
      {"U - (2 + X)", "kkkrhs(u1,negateop(addop(2,X)))"},
      {"3*(U + X)", "kkkrhs(mulop(3,u1),mulop(3,X))"},  // a constant factor is distributed
      {"U*(U + X)", "mulop(u1,addop(u1,X))"},       // a variable one is not
      {"X - U", "kkkrhs(negateop(u1),X)"},
      {"(U + 1)/X", "kkkrhs(divop(u1,X),divop(1,X))"},
  };
  for (const Case &c : cases) {
    TreeNode *t = treemods_segregate_rhs(classified(p, derivs(build(c.f))));
    EXPECT_EQ(show(t), c.want) << c.f;
    trees_free_0(t);
  }
  TreeNode *t = treemods_segregate_time(classified(p, derivs(build("SIGN(U)*X + U"))));
  EXPECT_EQ(show(t), "kkktime(mulop(deriv4(u1),X),u1)");
  trees_free_0(t);
}

namespace {
std::string slot(const TreeNode *list, int k) { return list->child[k] ? show(list->child[k]) : "NIL"; }
}  // namespace

TEST_F(Symbolic, IntegrationByParts) {
  env.names["K"] = {op::realval, 0};
  // d_x(k d_x(u)) with k constant; d_x(u) c(x) with and without FIRSTPARTS.
  struct Case {
    const char *f;
    uint8_t firstparts;
    const char *x, *body;
  } cases[] = {
      {"ABS(3*ABS(U))", 0, "addop(NIL,mulop(3,deriv1(u1)))", "NIL"},
      {"ABS(U)*X", 1, "addop(NIL,mulop(u1,X))", "subop(NIL,mulop(u1,deriv1(X)))"},
      {"ABS(U)*X", 0, "NIL", "addop(NIL,mulop(deriv1(u1),X))"},
      {"ABS(U)/X", 1, "addop(NIL,divop(u1,X))", "subop(NIL,mulop(u1,deriv1(recipf(X))))"},
      // An operator written out over a volume element that multiplies it: the flux
      // leaves its quotient and is taken by parts (it stayed in the body, its second
      // derivatives lost on linear cells).
      {"ABS(Y*ABS(U))/Y*Y", 0, "addop(NIL,mulop(mulop(Y,deriv1(u1)),divop(Y,Y)))",
       "subop(NIL,mulop(mulop(Y,deriv1(u1)),deriv1(divop(Y,Y))))"},
      {"Y*(ABS(Y*ABS(U))/Y)", 0, "addop(NIL,mulop(mulop(Y,deriv1(u1)),divop(Y,Y)))",
       "subop(NIL,mulop(mulop(Y,deriv1(u1)),deriv1(divop(Y,Y))))"},
  };
  for (const Case &c : cases) {
    TreeNode *body = trees_new_0(op::integral), *list = trees_new_0(op::kkkxyz);
    TreeNode *t = derivs(build(c.f));
    treeclas_classify_rhs(p, t, 1);
    treemods_galerkinize(t, body, list, 1, c.firstparts);
    EXPECT_EQ(slot(list, 0), c.x) << c.f;
    EXPECT_EQ(slot(list, 1), "NIL") << c.f;
    EXPECT_EQ(slot(body, 0), c.body) << c.f;
    trees_free_0(body), trees_free_0(list);
  }
}

TEST_F(Symbolic, CommonSubexpressions) {
  TreeNode *t = build("SIN(U+X)*(U+X) + 2*2");
  treemods_find_common(t, t);
  // The second U+X (and each later leaf seen before) refers to the first.
  TreeNode *first = t->child[0]->child[0]->child[0], *second = t->child[0]->child[1];
  ASSERT_EQ(second->opcode, op::subref);
  EXPECT_EQ(second->target, first);
  EXPECT_EQ(t->child[1]->child[1]->opcode, op::realval);  // constants are never shared
  treevector slots{};
  treemods_link_common(t, &slots);
  ASSERT_EQ(slots.count, 1);
  EXPECT_EQ(first->opcode, op::subdef);
  EXPECT_EQ(first->index, 1);
  EXPECT_EQ(second->index, 1);
  EXPECT_EQ(show(first->child[0]), "addop(u1,X)");
  trees_free_1(&slots, 0);
  trees_free_0(t);
}

TEST_F(Symbolic, SmallOperations) {
  TreeNode *t = build("U + X*Y");
  EXPECT_TRUE(treemods_find_op(t, op::xcoord));  // in the first child of a product
  EXPECT_EQ(treemods_vector_dim(t), 0);
  t = treemods_substitute_0(t, op::ycoord, 2);
  EXPECT_EQ(show(t), "addop(u1,mulop(X,2))");
  trees_free_0(t);
  // Upwind velocity: the coefficient of u_x is found, the other operand dropped.
  t = build("3*U + X");
  t->child[0]->child[1]->deriv[0] = 1;
  EXPECT_TRUE(treemods_erase_var(t, 1, 1, 0));
  EXPECT_EQ(show(simp(t)), "3");
  trees_free_0(t);
  t = build("U");
  t->deriv[0] = 4, t->deriv[1] = 4;
  EXPECT_EQ(error_of([&] { treemods_erase_dot(t); }), "Illegal Second Time Derivative");
  trees_free_0(t);
}
