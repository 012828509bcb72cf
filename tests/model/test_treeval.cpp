// Tree evaluation at a point (the edge cases and every error text), basis arrays, side
// normals, the upwind coefficient and constraint integrals.
#include <cstring>
#include <vector>

#include "elements/basisfun.h"
#include "elements/quature.h"
#include "model/params.h"
#include "model/tabledat.h"
#include "model/xferdat.h"
#include "model/treeval.h"
#include "runtime/vectort.h"
#include "tests/elements/meshbuild.h"
#include "tests/model/cellfix.h"
#include "tests/model/symfix.h"

namespace {

TreeNode *node(int32_t opcode, std::initializer_list<TreeNode *> kids, uint16_t index = 0, uint8_t sel = 0) {
  TreeNode *n = trees_new_0(opcode);
  n->index = index;
  n->deriv[0] = sel;
  int k = 0;
  for (TreeNode *c : kids) n->child[k++] = c;
  if (kids.size()) n->arity = uint8_t(kids.size());
  return n;
}
TreeNode *num(double v) { return trees_new_real_0(v); }
TreeNode *basis(int32_t code, uint8_t sel = 0) { return node(op::febasis, {}, uint16_t(code), sel); }
TreeNode *integ(uint8_t sel, TreeNode *c) { return node(op::integral, {c}, 0, sel); }

struct Treeval : Symbolic {
  static void SetUpTestSuite() {
    quature_init_quadrature();
    basisfun_node_coords();
    treeval_init();
  }
  LocalCell lc{};
  evalpoint pt{};
  vector2d vals{};
  std::vector<TreeNode *> trees;
  void SetUp() override {
    Symbolic::SetUp();
    p->dimension = 2;
    p->upfactor = 1;
    pt.cell = &lc;
    pt.values = &vals;
  }
  void TearDown() override {
    for (TreeNode *t : trees) trees_free_0(t);
    vector2d_free(&vals, 1);
    Symbolic::TearDown();
  }
  TreeNode *keep(TreeNode *t) { return trees.push_back(t), t; }
  // The cell with the given node coordinates; quadrature of the problem for its order.
  void cell(int32_t code, const std::vector<Xyz> &xyz, int timedep = 1) {
    test_cell(p, &lc, &vals, code, xyz, timedep);
    vectorl_resize(&p->basiscodes, 1, 1);
    p->basiscodes.data[0] = code;
  }
  uint16_t define(const char *name, TreeNode *tree, uint16_t region = 0) {
    String s{};
    strings_copyto_1(&s, name);
    uint16_t n = params_new_param(&p->formulas.definitions, &s);
    strings_free_0(&s);
    params_define_param(&p->formulas.definitions, n, region, 0, tree);
    return n;
  }
  // The value, or the error text.
  std::string at(TreeNode *t, const evalpoint *e = nullptr) {
    keep(t);
    double v = 0;
    std::string err = error_of([&] { v = treeval_eval(p, t, e ? e : &pt); });
    if (!err.empty()) return err;
    char b[40];
    snprintf(b, sizeof b, "%.16g", v);
    return b;
  }
};

std::string g(double v) {
  char b[40];
  snprintf(b, sizeof b, "%.16g", v);
  return b;
}

}  // namespace

TEST_F(Treeval, PointCasesAndErrors) {
  struct Case {
    const char *text;
    std::string want;
  } cases[] = {
      {"0/0", "0"},
      {"1/0", "DIVIDE BY ZERO"},
      {"1/1e-301", "DIVIDE BY ZERO"},
      {"1e-301/1e-301", "1"},
      {"ATAN2(0, -1)", g(M_PI)},
      {"ATAN2(-1, 0)", g(1.5 * M_PI)},
      {"SIGN(0)", "1"},
      {"USTEP(0)", "1"},
      {"EXP(-700)", "0"},
      {"LN(0)", "-690.7755278982137"},
      {"EXP(700)", "Exponential Overflow"},
      {"SQRT(0-4)", "Square Root of Negative Number"},
      {"LN(0-1)", "Log of negative number"},
      {"UPULSE(0, 0-1)", "1"},
      {"URAMP(1, 0-1)", "0.5"},
  };
  for (const Case &c : cases) EXPECT_EQ(at(build(c.text)), c.want) << c.text;
  EXPECT_EQ(at(nullptr), "0");
  TreeNode *v = keep(build("1"));
  v->valuetag = vtag::vector;
  EXPECT_EQ(at(trees_copy(v)), "RESULT IS NOT SCALAR");
  EXPECT_EQ(at(node(op::gamma, {num(-1)})), "ILLEGAL FUNCTION ARGUMENT");
  EXPECT_EQ(at(node(op::deriv, {num(1)})), "ILLEGAL OPERATOR: deriv");
  EXPECT_EQ(at(node(op::globalmin, {}, 3)), " 3: INVALID GLOBAL REFERENCE.");
  EXPECT_EQ(at(node(op::sumvar, {}, 4)), " 4: INVALID FIT REFERENCE.");
  EXPECT_EQ(at(node(op::fevalop, {num(1), num(2)})), "Coordinate Point Expected");
  // A side beyond the cell's sides has no normal.
  pt.side = 5;
  EXPECT_EQ(at(node(op::vncomp, {build("VECTOR(1, 2)")})), "normal() MUST BE EVALUATED ON A BOUNDARY.");
  pt.side = 0;
  EXPECT_EQ(at(node(op::vlength, {num(2)})), "VECTOR REQUIRED");
  // The normal the caller gives at side 0, taken as a unit normal.
  pt.nx = 0, pt.ny = 2;
  EXPECT_EQ(at(node(op::vncomp, {build("VECTOR(1, 2)")})), "2");
  EXPECT_EQ(at(node(op::vtcomp, {build("VECTOR(1, 2)")})), "-1");
  // Component operators on a vector definition.
  uint16_t w = define("W", build("VECTOR(3, 4)"));
  p->formulas.definitions.items[w - 1]->global->valuetag = vtag::vector;
  TreeNode *wref = node(op::param, {}, w);
  wref->valuetag = vtag::vector;
  EXPECT_EQ(at(node(op::vycomp, {wref})), "4");
}

TEST_F(Treeval, SumsUserFunctionsArraysAndDefinitions) {
  // SUM over 1.9 .. 3.7 runs 1, 2, 3; an empty range never evaluates its summand.
  EXPECT_EQ(at(node(op::sumop, {num(1.9), num(3.7), node(op::sumvar, {}, 1)}, 1)), "6");
  EXPECT_EQ(at(node(op::sumop, {num(2), num(1), build("1/0")}, 1)), "0");
  // f1(a) = a, fk(a) = f(k-1)(a) + 1: ten levels nest, the eleventh is refused, and
  // the next evaluation starts from the top again.
  auto arg = [](uint16_t f) { return node(op::fargop, {}, uint16_t(4 * f + 1)); };
  define("F1", arg(1));
  for (uint16_t k = 2; k <= 11; k++)
    define("F", node(op::addop, {node(op::fparam, {arg(k)}, uint16_t(k - 1)), num(1)}));
  EXPECT_EQ(at(node(op::fparam, {num(0)}, 10)), "9");
  EXPECT_EQ(at(node(op::fparam, {num(0)}, 11)), "Recursive Evaluation");
  EXPECT_EQ(at(node(op::fparam, {num(5)}, 10)), "14");
  // f(a) = g(a*2): the argument expression reads the caller's a.
  uint16_t gdef = define("G", node(op::addop, {node(op::fargop, {}, 4 * 12 + 1), num(1)}));
  ASSERT_EQ(gdef, 12);
  define("FF", node(op::fparam, {node(op::mulop, {arg(13), num(2)})}, 12));
  EXPECT_EQ(at(node(op::fparam, {num(3)}, 13)), "7");
  // Array references: truncated, checked before narrowing.
  String name{};
  strings_copyto_1(&name, "A");
  uint16_t a = arys_new_array(&p->formulas.arrays, &name);
  strings_free_0(&name);
  for (double x : {10.0, 20.0, 30.0}) x == 10 ? (void)arys_define_array(&p->formulas.arrays, a, x) : (void)arys_next_array(&p->formulas.arrays, a, x);
  for (auto [i, want] : std::vector<std::pair<double, std::string>>{
           {2.9, "20"}, {0, "Array Index Out of Range"}, {65537, "Array Index Out of Range"},
           {65537.5, "Array Index Out of Range"}, {NAN, "Array Index Out of Range"}})
    EXPECT_EQ(at(node(op::arrayref, {num(i)}, a)), want) << i;
  // A point without a cell reads the evaluator's current region.
  uint16_t r = define("R", num(1));
  params_define_param(&p->formulas.definitions, r, 2, 0, num(2));
  evalpoint bare{};
  treeval_region = 2;
  EXPECT_EQ(at(node(op::param, {}, r), &bare), "2");
  treeval_region = 0;
  EXPECT_EQ(at(node(op::param, {}, r), &bare), "1");
}

TEST_F(Treeval, EvalAtAnotherPointKeepsEachLevelsPoint) {
  build_mesh(&p->mesh, {{0, 0, 0}, {5, 0, 0}, {5, 5, 0}, {0, 5, 0}}, {{1, 2, 3}, {1, 3, 4}}, tri3,
             [](const Corners &) { return uint16_t(1); });
  auto at_point = [](TreeNode *f, double x, double y) {
    return node(op::fevalop, {f, node(op::pointval, {num(x), num(y)})});
  };
  TreeNode *inner = at_point(build("Y"), 3, 4);
  EXPECT_EQ(at(at_point(node(op::addop, {inner, build("X")}), 1, 2)), "5");
  EXPECT_EQ(at(at_point(build("X"), 9, 9)), "0");  // outside the mesh
}

TEST_F(Treeval, SmoothedPulseAndBasisArrays) {
  cell(tri3, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
  double out[20];
  TreeNode *pulse = keep(node(op::upulsef, {num(0), num(-1)}));
  EXPECT_EQ(treeval_eval_ba(p, out, pulse, &pt, tri3), 1);
  EXPECT_NEAR(out[0], 0.5, 1e-7);  // the tabulated half erfc at 0
  // 0 divided by an array, and an array over a single value.
  pt.local[0] = 0.2, pt.local[1] = 0.3, pt.local[2] = 0.5;
  TreeNode *q = keep(node(op::divop, {num(0), basis(tri3)}));
  EXPECT_EQ(treeval_eval_ba(p, out, q, &pt, tri3), 3);
  EXPECT_EQ(out[0] + out[1] + out[2], 0);
  TreeNode *s = keep(node(op::subop, {node(op::mulop, {num(4), basis(tri3)}), num(1)}));
  EXPECT_EQ(treeval_eval_ba(p, out, s, &pt, tri3), 3);
  EXPECT_DOUBLE_EQ(out[2], 1);
  EXPECT_EQ(error_of([&] { treeval_eval_ba(p, out, keep(node(op::sqrt, {basis(tri3)})), &pt, tri3); }),
            "ILLEGAL ARRAY OPERAND: sqrt");
  // On side 1 (x + y = 1) the normal is the side's outward one, per trial function too.
  pt.side = 1;
  EXPECT_EQ(at(node(op::vncomp, {build("VECTOR(1, 0)")})), g(1 / std::sqrt(2.0)));
  TreeNode *nb = keep(node(op::vncomp, {node(op::vector, {basis(tri3), num(1)})}));
  ASSERT_EQ(treeval_eval_ba(p, out, nb, &pt, tri3), 3);
  EXPECT_NEAR(out[0], (0.2 + 1) / std::sqrt(2.0), 1e-15);
}

TEST(TreevalSides, NormalsSumToZeroAndPointAway) {
  quature_init_quadrature();
  basisfun_node_coords();
  const std::vector<Xyz> shapes[] = {{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}},
                                     {{0.3, 0.1, 0}, {0.1, 2, 0}, {-1, 0.4, 0}},  // clockwise
                                     {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
                                     {{0.2, 0.1, 0.3}, {1.5, 0.2, 0.1}, {0.4, 1.1, -0.2}, {0.1, 0.3, 2}}};
  for (const std::vector<Xyz> &v : shapes) {
    int nv = int(v.size()), dim = nv - 1;
    double xyz[20][3] = {};
    for (int i = 0; i < nv; i++) std::memcpy(xyz[i], v[i].data(), sizeof xyz[i]);
    ElementFrame f{};
    elements_localize(&f, xyz, dim == 2 ? tri3 : tet4, dim == 2 ? tri3 : tet4);
    double sum[3] = {0, 0, 0};
    for (int s = 1; s <= nv; s++) {
      double nrm[3] = {0, 0, 0}, mid[3] = {0, 0, 0}, len2 = 0;
      for (int c = 0; c < dim; c++) nrm[c] = treeval_side_factor(dim, c + 1, &f, s), sum[c] += nrm[c];
      for (int i = 0; i < nv; i++)
        for (int c = 0; c < 3 && i != s - 1; c++) mid[c] += v[i][c] / dim;
      double away = 0;
      for (int c = 0; c < 3; c++) away += nrm[c] * (mid[c] - v[s - 1][c]), len2 += nrm[c] * nrm[c];
      EXPECT_GT(away, 0) << dim << " side " << s;
      EXPECT_NEAR(std::sqrt(len2), treeval_side_factor(dim, 0, &f, s), 1e-14);
    }
    for (int c = 0; c < 3; c++) EXPECT_NEAR(sum[c], 0, 1e-14);
  }
  // A line cell from x = 0.5 to 2: side 1 is the end at x = 2.
  double ends[20][3] = {{0.5, 0, 0}, {2, 0, 0}};
  ElementFrame f{};
  elements_localize(&f, ends, lin2, lin2);
  EXPECT_EQ(treeval_side_factor(1, 1, &f, 1), 1);
  EXPECT_EQ(treeval_side_factor(1, 1, &f, 2), -1);
  EXPECT_EQ(treeval_side_factor(1, 0, &f, 2), 1);
}

TEST_F(Treeval, UpwindCoefficientAndCellSize) {
  struct Case { double d, vx, vy, h, want, tol; } cases[] = {
      {1, 2, 0, 1, 0.0391294106874164, 1e-15}, {0.1, 3, 0, 1, 7.0 / 90, 1e-16}, {1, 0, 0, 1, 0, 0},
      {0, 2, 0, 1, 1.0 / 8, 1e-16},  // zero diffusion: xi = 1
  };
  for (const Case &c : cases) EXPECT_NEAR(treeval_upweight(p, c.d, c.vx, c.vy, 0, c.h), c.want, c.tol) << c.d;
  // The series below Pe 0.1 and the closed form above meet.
  double below = treeval_upweight(p, 1 / 0.0999999, 0.2, 0, 0, 1), above = treeval_upweight(p, 1 / 0.1000001, 0.2, 0, 0, 1);
  EXPECT_NEAR(below / above, 1, 3e-6);
  // Without a size tree a tetrahedron's size is the cube root of its volume.
  cell(tet4, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}});
  double a[20], b[20];
  TreeNode *r = keep(build("1 + X")), *d = keep(build("0.3")), *v = keep(build("VECTOR(2, 1, 0.5)"));
  v->valuetag = vtag::vector;
  TreeNode *h = keep(num(std::cbrt(1.0 / 6)));
  treeval_upwind_galerkin(p, a, r, d, v, nullptr, &pt, tet4, 1);
  treeval_upwind_galerkin(p, b, r, d, v, h, &pt, tet4, 1);
  for (int i = 0; i < 4; i++) EXPECT_NEAR(a[i], b[i], 1e-15) << i;
  EXPECT_NE(a[1], 0);
}

TEST_F(Treeval, ConstraintSideIntegralsLeaveThePointAsFound) {
  build_mesh(&p->mesh, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{1, 2, 3}}, tri3,
             [](const Corners &c) { return uint16_t(c[0] == 1 && c[1] == 2 ? 3 : 1); });
  cell(tri3, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, 0);
  pt.cellno = 1, pt.region = 1;
  constraint c{};
  vectort_set_bit(&c.sets[0], 1);
  vectort_set_bit(&c.sets[1], 1);
  vectort_set_bit(&c.sets[3], 3);  // only the side on boundary 3: y = 0
  double out[20];
  TreeNode *t = keep(node(op::addop, {node(op::bintegral, {basis(tri3)}), integ(0, basis(tri3))}));
  ASSERT_EQ(treeval_constraint_jacobian(p, out, t, &pt, tri3, &c), 3);
  expect_matrix(out, {0.5 + 1.0 / 6, 0.5 + 1.0 / 6, 1.0 / 6}, 1, "constraint");
  EXPECT_EQ(pt.side, 0);
  EXPECT_EQ(pt.qpoint, 0);
  // The volume integrals that follow read volume rows.
  EXPECT_NEAR(treeval_vol_integrate(p, keep(build("X*X")), &pt, p->vrule), 1.0 / 12, 1e-15);
  ASSERT_EQ(treeval_vol_galerkin(p, out, keep(integ(0, build("X"))), &pt, tri3), 3);
  expect_matrix(out, {1, 2, 1}, 1.0 / 24, "moments");
  for (vectort &s : c.sets) vectort_free(&s);
}

// Several terms against several codes in one loop give each (term, code) row the sums a
// call of its own gives, bit for bit: the moments of x over the unit right triangle,
// and of 1 + x, against the linear and the quadratic functions.
TEST_F(Treeval, GalerkinSetsMatchSingleTerms) {
  cell(tri3, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
  const TreeNode *terms[2] = {keep(integ(0, build("X"))),
                              keep(node(op::addop, {integ(0, num(1)), integ(0, build("X"))}))};
  const int32_t codes[2] = {tri3, tri6};
  double rows[2][2][20], one[20];
  treeval_vol_galerkin_set(p, &rows[0][0][0], terms, 2, &pt, codes, 2);
  expect_matrix(rows[0][0], {1, 2, 1}, 1.0 / 24, "x");
  expect_matrix(rows[1][0], {5, 6, 5}, 1.0 / 24, "1 + x");
  for (int t = 0; t < 2; t++)
    for (int k = 0; k < 2; k++) {
      ASSERT_EQ(treeval_vol_galerkin(p, one, terms[t], &pt, codes[k]), elements_functions[codes[k]]);
      for (int i = 0; i < elements_functions[codes[k]]; i++) EXPECT_EQ(rows[t][k][i], one[i]) << t << k << i;
    }
  EXPECT_EQ(pt.qpoint, 0);
}

// A residual sweep over several times runs each integrand as a compiled list, keeping what
// reads the position alone over the times of a rule point and what reads the time alone
// over the points: each time's row sums to the integrand's exact integral over the unit
// right triangle (the rule is exact for these degrees, the test functions sum to 1), and
// each equals the row of a sweep at that time alone, bit for bit, also where the loop
// around keeps the programs from one cell to the next.
TEST_F(Treeval, SweepsOverTimesMeetExactIntegrals) {
  cell(tri3, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, 0);
  struct Row {
    TreeNode *integrand;
    double (*exact)(double t);
  };
  // e^-t (x + e^-t) with e^-t one shared subexpression, defined before its reference.
  TreeNode *decay = node(op::subdef, {build("EXP(0-T)")}, 1);
  TreeNode *again = node(op::subref, {}, 1);
  again->target = decay;
  std::vector<Row> rows = {
      {build("EXP(0-T)*X"), [](double t) { return std::exp(-t) / 6; }},
      {build("SIN(T)*X*Y + COS(T)"), [](double t) { return std::sin(t) / 24 + std::cos(t) / 2; }},
      {build("(1 + X)^2*EXP(0-T)"), [](double t) { return 11.0 / 12 * std::exp(-t); }},
      {build("X*Y - T*T*Y + 3"), [](double t) { return 1.0 / 24 - t * t / 6 + 1.5; }},
      {build("(SIN(T)^2 + COS(T)^2)*(0-X)"), [](double) { return -1.0 / 6; }},
      {build("SQRT(T + 1)*(X - Y)/2 + Y/(T + 1)"), [](double t) { return 1 / (6 * (t + 1)); }},
      {node(op::mulop, {decay, node(op::addop, {build("X"), again})}),
       [](double t) { return std::exp(-t) / 6 + std::exp(-2 * t) / 2; }},
      // Bare leaves, which the walk takes without a program.
      {build("X"), [](double) { return 1.0 / 6; }},
      {build("T"), [](double t) { return t / 2; }},
  };
  static const double times[3] = {0, 0.5, 1.25};
  auto at = [](void *ctx, int s) { static_cast<evalpoint *>(ctx)->t = times[s]; };
  const int32_t code = tri3;
  for (size_t r = 0; r < rows.size(); r++) {
    const TreeNode *term = keep(integ(0, rows[r].integrand));
    double sets[3 * 20], one[20];
    ASSERT_EQ(treeval_vol_galerkin_sets(p, sets, &term, 1, &pt, &code, 1, 3, at, &pt), 3);
    for (int s = 0; s < 3; s++) {
      double sum = sets[s * 20] + sets[s * 20 + 1] + sets[s * 20 + 2];
      EXPECT_NEAR(sum, rows[r].exact(times[s]), 1e-14) << r << " t " << times[s];
      pt.t = times[s];
      treeval_vol_galerkin(p, one, term, &pt, code);
      for (int i = 0; i < 3; i++) EXPECT_EQ(sets[s * 20 + i], one[i]) << r << " t " << times[s];
    }
  }
  // The programs kept over a loop of two cells give what each cell's own sweep gives.
  const TreeNode *term = keep(integ(0, build("EXP(0-T)*SIN(X)*COS(Y) + X*Y")));
  const std::vector<Xyz> corners[2] = {{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{1, 0, 0}, {1.5, 0.5, 0}, {0.25, 2, 0}}};
  double alone[2][3 * 20], looped[2][3 * 20];
  for (int c = 0; c < 2; c++) {
    cell(tri3, corners[c], 0);
    treeval_vol_galerkin_sets(p, alone[c], &term, 1, &pt, &code, 1, 3, at, &pt);
  }
  {
    TreevalProgramsKept programs;
    for (int c = 0; c < 2; c++) {
      cell(tri3, corners[c], 0);
      treeval_vol_galerkin_sets(p, looped[c], &term, 1, &pt, &code, 1, 3, at, &pt);
    }
  }
  for (int c = 0; c < 2; c++)
    for (int s = 0; s < 3; s++)
      for (int i = 0; i < 3; i++) EXPECT_EQ(looped[c][s * 20 + i], alone[c][s * 20 + i]) << c << s << i;
  // The values of the position alone stand past the loop, by cell and rule point: later loops
  // over the same cells take them back, and a cell moved under the same number computes its own.
  for (int round = 0; round < 3; round++) {
    TreevalProgramsKept programs;
    for (int c = 0; c < 2; c++) {
      int at_cell = round == 2 ? 1 - c : c;
      cell(tri3, corners[at_cell], 0);
      pt.cellno = uint32_t(c + 1);
      double again[3 * 20];
      treeval_vol_galerkin_sets(p, again, &term, 1, &pt, &code, 1, 3, at, &pt);
      for (int s = 0; s < 3; s++)
        for (int i = 0; i < 3; i++) EXPECT_EQ(again[s * 20 + i], alone[at_cell][s * 20 + i]) << round << c << s << i;
    }
  }
  pt.cellno = 0;
  // A bare leaf beside a compiled integrand in one term: Y + e^-t x over the unit triangle.
  cell(tri3, corners[0], 0);
  const TreeNode *both = keep(node(op::addop, {integ(0, build("Y")), integ(0, build("EXP(0-T)*X"))}));
  double mixed[3 * 20];
  treeval_vol_galerkin_sets(p, mixed, &both, 1, &pt, &code, 1, 3, at, &pt);
  for (int s = 0; s < 3; s++)
    EXPECT_NEAR(mixed[s * 20] + mixed[s * 20 + 1] + mixed[s * 20 + 2], (1 + std::exp(-times[s])) / 6, 1e-14) << s;
  // A shared subexpression of one term read by the next term of the same sweep, at every
  // time: e^-t x and y e^-t, each e^-t / 6 at its time, the second read from the first.
  TreeNode *shared = node(op::subdef, {build("EXP(0-T)")}, 2);
  TreeNode *read = node(op::subref, {}, 2);
  read->target = shared;
  const TreeNode *pair[2] = {keep(integ(0, node(op::mulop, {shared, build("X")}))),
                             keep(integ(0, node(op::mulop, {build("Y"), read})))};
  double two[2 * 3 * 20];
  treeval_vol_galerkin_sets(p, two, pair, 2, &pt, &code, 1, 3, at, &pt);
  for (int s = 0; s < 3; s++)
    for (int t = 0; t < 2; t++) {
      const double *row = two + (s * 2 + t) * 20;
      EXPECT_NEAR(row[0] + row[1] + row[2], std::exp(-times[s]) / 6, 1e-14) << s << " term " << t;
    }
  // An operation's failure is the walk's error at that node.
  cell(tri3, corners[0], 0);
  const TreeNode *bad = keep(integ(0, build("EXP(0-T)*SQRT(X - 2)")));
  double out[3 * 20];
  EXPECT_EQ(error_of([&] { treeval_vol_galerkin_sets(p, out, &bad, 1, &pt, &code, 1, 3, at, &pt); }),
            "Square Root of Negative Number");
}

TEST_F(Treeval, TablesTransfersAndComplexValues) {
  // A table over one axis keyed by definition 1 (2 X), another keyed by variable 1.
  cell(tri3, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
  for (int i = 0; i < 3; i++) vals.data[0].data[i] = 0.1 * (i + 1);
  pt.local[0] = 0.5, pt.local[1] = 0.25, pt.local[2] = 0.25, pt.x = 0.25, pt.y = 0.25;
  define("K", build("2*X"));
  tabledat_resize(&p->formulas.definitions.tables, 2, 2);
  for (int k = 0; k < 2; k++) {
    lintab &t = p->formulas.definitions.tables.items[k].table;
    t.dimension = 1;
    arrays_new(&t.axis[0], 2), arrays_new(&t.data1, 2);
    t.axis[0].data[0] = 0, t.axis[0].data[1] = 1, t.data1.data[0] = 10, t.data1.data[1] = 20;
    p->formulas.definitions.tables.items[k].keys[0] = k ? 5 : 101;
  }
  EXPECT_EQ(at(node(op::tableval, {}, 1)), "15");
  EXPECT_EQ(at(node(op::tableval, {}, 1, 1)), "10");  // the slope along the axis
  EXPECT_NEAR(std::stod(at(node(op::tableval, {}, 2))), 11.75, 1e-6);  // u = 0.175
  // A transfer set on the unit square: its value inside, the marker outside.
  xferdat_resize(&p->transfers, 1, 1);
  xferdat *x = &p->transfers.items[0];
  unit_square(&x->mesh);
  vector2d_resize(&x->values, 1, 1);
  vectord_resize(&x->values.data[0], 4, 4);
  for (int i = 0; i < 4; i++) x->values.data[0].data[i] = x->mesh.nodes.data[i].x + 2 * x->mesh.nodes.data[i].y;
  TreeNode *xv = node(op::xferval, {}, 1);
  xv->key = 1;
  EXPECT_EQ(at(xv), "0.75");
  pt.x = 3;
  EXPECT_EQ(at(trees_copy(xv)), "1.00000000000002e+300");
  // Complex values: COMPLEX-free trees whose kind the classifier marks complex.
  auto cx = [](TreeNode *t) { return t->valuetag = vtag::complex, t; };
  TreeNode *e = cx(node(op::cexpf, {num(1)}));
  EXPECT_EQ(at(node(op::clength, {e})), g(std::exp(1.0)));
  TreeNode *q = cx(node(op::divop, {num(2), cx(node(op::mulop, {cx(node(op::cexpf, {num(0)})), num(4)}))}));
  EXPECT_EQ(at(node(op::creal, {q})), "0.5");
  complexd z{};
  EXPECT_EQ(treeval_eval_complex(p, &z, nullptr, &pt), 0);
  EXPECT_EQ(at(node(op::creal, {num(1)})), "ILLEGAL OPERATOR: realval");
}
