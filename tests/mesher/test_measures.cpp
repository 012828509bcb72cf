// Error measures on meshed descriptors: ranges, the curvature estimate against linear
// and scaled fields, fronts and resolve on a hand-made cell, and the L-shape whose
// singular solution the curvature-driven refinement must grade towards.
#include <cmath>
#include <numbers>

#include "elements/meshes.h"
#include "solver/measures.h"
#include "mesher/mesher2.h"
#include "mesher/refiner.h"
#include "model/params.h"
#include "model/treeval.h"
#include "runtime/vectorvd.h"
#include "tests/mesher/fixture.h"
#include "tests/reader/actions.h"
#include "tests/solver/assembly.h"

namespace {

struct Measured : MeshedDescriptor {
  vector2d values{};
  void SetUp() override {
    MeshedDescriptor::SetUp();
    fitting_init();  // the solver computes the globals a resolve lists
  }
  void TearDown() override {
    vector2d_free(&values, 1);
    MeshedDescriptor::TearDown();
  }
  Mesh &m() { return p->mesh; }
  const MeshNode &node(int32_t n) { return p->mesh.nodes.data[n - 1]; }
  MeshCell &cell(int32_t c) { return p->mesh.cells.data[c - 1]; }
  // Parses the descriptor and meshes it with the basis.
  void meshed(const std::string &text, int32_t basis) {
    ASSERT_EQ(parse(text), "ok");
    p->phase = 5, p->basis = basis, p->dimension = 2;
    ASSERT_EQ(mesher2_freshmesh(p, 1, uint16_t(p->ngrid)), 6);
    vector2d_resize(&p->work, 0, 20);
  }
  // One field of node values from f.
  template <class F> void field(F f) {
    vector2d_resize(&values, 1, 1);
    vectord_resize(&values.data[0], m().nodes.count, m().nodes.count);
    for (int32_t n = 1; n <= m().nodes.count; n++) values.data[0].data[n - 1] = f(node(n).x, node(n).y);
  }
  std::vector<double> estimates() {
    std::vector<double> e;
    for (int32_t c = 1; c <= m().cells.count; c++)
      if (cell(c).alive) e.push_back(cell(c).error);
    return e;
  }
};

const char *kSquare =
    "SELECT NGRID = 4 VARIABLES u EQUATIONS div(grad(u)) + 1 = 0 BOUNDARIES REGION 1 START(0,0) VALUE(u) = 0 "
    "LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH END";

TEST_F(Measured, RangesAndTheCurvatureOfLinearAndScaledFields) {
  meshed(kSquare, tri6);
  // All zero with no declared width: range 1.
  field([](double, double) { return 0.0; });
  measures_get_range(p, &values);
  EXPECT_EQ(p->ranges.data[0], 1.0);
  // A linear field has no curvature.
  field([](double x, double y) { return 3 * x - 2 * y + 1; });
  measures_get_range(p, &values);
  measures_measure_curvature(p, &values, 0, 0);
  for (double e : estimates()) EXPECT_LT(e, 1e-12);
  // A curved field: the estimate is positive and does not change when the field is
  // scaled by 7 (the range scales with it).
  auto u = [](double x, double y) { return std::sin(3 * x) * y * y; };
  field(u);
  measures_get_range(p, &values);
  double g1 = measures_measure_curvature(p, &values, 0, 0);
  std::vector<double> e1 = estimates();
  double s2 = 0;
  for (double e : e1) s2 += e * e;
  EXPECT_NEAR(g1, std::sqrt(s2 / e1.size()), 1e-12 * g1);  // the RMS of the cell estimates
  field([&](double x, double y) { return 7 * u(x, y); });
  measures_get_range(p, &values);
  double g7 = measures_measure_curvature(p, &values, 0, 0);
  EXPECT_GT(g1, 0);
  EXPECT_NEAR(g7, g1, 1e-12 * g1);
  std::vector<double> e7 = estimates();
  for (size_t k = 0; k < e1.size(); k++) EXPECT_NEAR(e7[k], e1[k], 1e-12 * g1);
  EXPECT_EQ(measures_max_measure(&m().cells), *std::max_element(e7.begin(), e7.end()));
  celltable none{};
  EXPECT_EQ(measures_max_measure(&none), 0.0);
}

// One cell spanning x 0.45 to 0.55 and a front x - 0.5 of width 0.1: d = ERRLIM^2; a
// front that is zero at some nodes and positive at the rest crosses nothing; RESOLVE of
// zero leaves the estimates alone.
TEST_F(Measured, FrontsAndResolveOnOneCell) {
  ASSERT_EQ(parse("SELECT ERRLIM = 0.01 VARIABLES u EQUATIONS div(grad(u)) = 0 "
                  "RESOLVE (0*x) FRONT (x - 0.5, 0.1) FRONT (x - 0.45, 0.1) BOUNDARIES REGION 1 START(0,0) "
                  "LINE TO (1,0) TO (1,1) TO FINISH END"),
            "ok");
  p->errlim = 0.01;
  Mesh &M = m();
  M.meshbasis = M.cellbasis = tri3;
  int32_t a = meshes_new_node_0(&M, 0.45, 0, 0), b = meshes_new_node_0(&M, 0.55, 0, 0),
          c = meshes_new_node_0(&M, 0.5, 0.1, 0);
  int32_t k = meshes_new_cell_0(&M);
  cell(k).basis = tri3, cell(k).region = 1;
  meshes_renode3_0(&M, k, a, b, c);
  vector2d_resize(&p->work, 0, 20);
  ASSERT_EQ(p->fronts.count, 2);
  cell(k).error = 0;
  EXPECT_NEAR(measures_map_fronts(p, 0.0), 0.01, 1e-15);
  EXPECT_NEAR(cell(k).error, 0.01, 1e-15);
  // The second front alone (zero at a, positive elsewhere) adds nothing.
  p->fronts.count = 1, p->fronts.data[0] = p->fronts.data[1];
  EXPECT_EQ(measures_map_fronts(p, 0.25), 0.25);
  ASSERT_EQ(p->resolves.count, 1);
  cell(k).error = 0.125;
  measures_resolve(p, 0);
  EXPECT_EQ(cell(k).error, 0.125);
}

// The L-shape (-1,1)^2 less [0,1]x[-1,0] and u = r^(2/3) sin(2 theta/3), theta in
// [0, 2 pi): zero on both re-entrant edges.
const char *kLShape =
    "SELECT NGRID = 4 VARIABLES u DEFINITIONS uexact = (x^2+y^2)^(1/3)*SIN(2*ATAN2(y,x)/3) "
    "EQUATIONS div(grad(u)) = 0 BOUNDARIES REGION 1 START(-1,-1) VALUE(u) = uexact LINE TO (0,-1) TO (0,0) "
    "TO (1,0) TO (1,1) TO (-1,1) TO FINISH END";

double uexact(double x, double y) {
  double t = std::atan2(y, x);
  if (t < 0) t += 2 * std::numbers::pi;
  return std::cbrt(x * x + y * y) * std::sin(2 * t / 3);
}

// |grad(u - I_h u)|^2 and |grad u|^2 summed over the cells: the midpoints of 36
// sub-triangles of each cell, each weighted by its area.
struct H1 {
  double err2 = 0, norm2 = 0;
};
H1 h1_error(Mesh *m, const vectord *u) {
  H1 r;
  static LocalCell lc;
  const int k = 6;
  for (int32_t c = 1; c <= m->cells.count; c++) {
    const MeshCell &cell = m->cells.data[c - 1];
    if (!cell.alive) continue;
    meshes_localize(m, &cell, &lc, 0);
    double uc[20], w = std::fabs(meshes_cell_area_0(m, &cell)) / (k * k);
    int nf = elements_functions[cell.basis];
    for (int j = 0; j < nf; j++) uc[j] = u->data[cell.nodes.data[j] - 1];
    for (int i = 0; i < k; i++)
      for (int j = 0; i + j < k; j++)
        for (int up = 0; up < (i + j < k - 1 ? 2 : 1); up++) {
          double a = (i + (up ? 2.0 : 1.0) / 3) / k, b = (j + (up ? 2.0 : 1.0) / 3) / k;
          double L[4] = {1 - a - b, a, b, 0}, xyz[3], g[3];
          elements_jacobian(L, &lc.frame);
          elements_get_gcoords(xyz, L, &lc.frame);
          elements_gradient(g, cell.basis, L, &lc.frame, uc);
          double x = xyz[0], y = xyz[1], rr = std::hypot(x, y), t = std::atan2(y, x);
          if (t < 0) t += 2 * std::numbers::pi;
          double ur = 2.0 / 3 * std::pow(rr, -1.0 / 3) * std::sin(2 * t / 3),
                 ut = 2.0 / 3 * std::pow(rr, -1.0 / 3) * std::cos(2 * t / 3);
          double gx = ur * std::cos(t) - ut * std::sin(t), gy = ur * std::sin(t) + ut * std::cos(t);
          r.err2 += w * ((gx - g[0]) * (gx - g[0]) + (gy - g[1]) * (gy - g[1]));
          r.norm2 += w * (gx * gx + gy * gy);
        }
  }
  return r;
}

}  // namespace

// ORDER 2 with exact node values, curvature measure and refinement in cycles to twenty
// times the initial nodes: the area stays 3, the smallest cell touches the re-entrant
// corner, and the interpolation error in H1 falls faster with the nodes than uniform
// refinement's -1/3.
TEST_F(Measured, LShapeRefinementGradesTowardsTheCorner) {
  meshed(kLShape, tri6);
  // The descriptor's own definition and the formula against mpmath values.
  TreeNode *def = params_find_param_def(&p->formulas.definitions, 1, 1, 0);
  ASSERT_TRUE(def);
  struct { double x, y, u; } rows[] = {{-0.5, 0.5, 0.793700526}, {0.5, 0.5, 0.396850263}, {-0.5, -0.5, 0.396850263},
                                       {0, 0.5, 0.545561818},    {0.5, 0, 0},             {0, -0.5, 0}};
  for (auto r : rows) {
    evalpoint at{};
    at.x = r.x, at.y = r.y;
    EXPECT_NEAR(treeval_eval(p, def, &at), r.u, 1e-9) << r.x << " " << r.y;
    EXPECT_NEAR(uexact(r.x, r.y), r.u, 1e-9) << r.x << " " << r.y;
  }
  p->area_cutoff = 2, p->sensitivity = 1, p->hysteresis = 0.5;
  auto live_nodes = [&] {
    int32_t n = 0;
    for (int32_t k = 1; k <= m().nodes.count; k++) n += node(k).alive && node(k).nodecell.count > 0;
    return n;
  };
  int32_t n0 = live_nodes();
  double area0 = 0;
  for (int32_t c = 1; c <= m().cells.count; c++)
    if (cell(c).alive) area0 += meshes_cell_area_1(&m(), c);
  std::vector<double> lx, ly;
  vectorvd list{};
  for (int cycle = 0; cycle < 40; cycle++) {
    field(uexact);
    H1 e = h1_error(&m(), &values.data[0]);
    lx.push_back(std::log(double(live_nodes()))), ly.push_back(0.5 * std::log(e.err2));
    if (live_nodes() >= 20 * n0) {
      EXPECT_NEAR(e.norm2, 1.8362266619, 2e-3);
      break;
    }
    measures_get_range(p, &values);
    measures_measure_curvature(p, &values, 0, 0);
    double top = measures_max_measure(&m().cells);
    vectorvd_resize(&list, 1, 1);
    list.data[0] = &values.data[0];
    refiner_refine({p->dimension, p->errlim, &p->work, &p->sortindex}, &m(), 0.3 * top, 0.0, 1 << 30, &list, 0);
    list.data[0] = nullptr;
  }
  vectorvd_free(&list, 0);
  ASSERT_GE(live_nodes(), 20 * n0);
  // Least-squares slope of log error against log nodes.
  double mx = 0, my = 0, sxx = 0, sxy = 0;
  for (size_t k = 0; k < lx.size(); k++) mx += lx[k] / lx.size(), my += ly[k] / ly.size();
  for (size_t k = 0; k < lx.size(); k++) sxx += (lx[k] - mx) * (lx[k] - mx), sxy += (lx[k] - mx) * (ly[k] - my);
  EXPECT_LE(sxy / sxx, -0.45);
  // Area (the mesher moves nodes off the grid lines by half a quantum, the refinement
  // keeps what it had) and the smallest cells, which touch the corner.
  double area = 0, least = 1e9, corner = 1e9;
  for (int32_t c = 1; c <= m().cells.count; c++) {
    if (!cell(c).alive) continue;
    double a = meshes_cell_area_1(&m(), c);
    area += a;
    least = std::min(least, a);
    for (int i = 0; i < 3; i++)
      if (std::hypot(node(cell(c).nodes.data[i]).x, node(cell(c).nodes.data[i]).y) < 1e-6) corner = std::min(corner, a);
  }
  EXPECT_NEAR(area, area0, 1e-12);
  EXPECT_NEAR(area, 3.0, 1e-7);
  EXPECT_LE(corner, least * (1 + 1e-9));
  meshes_check_mesh(&m(), tri6, 1, 1);
  EXPECT_TRUE(mesh_questions.empty());
}

TEST_F(Measured, FirstOrderCellsHaveNoCurvature) {
  meshed(kLShape, tri3);
  field(uexact);
  measures_get_range(p, &values);
  EXPECT_EQ(measures_measure_curvature(p, &values, 0, 0), 0.0);
  for (double e : estimates()) EXPECT_EQ(e, 0.0);
}

namespace {

struct Galerkin : Assembly {
  vector2d values{};
  void TearDown() override {
    vector2d_free(&values, 1);
    Assembly::TearDown();
  }
  // u = 1 - x^2 - y^2 (+ a bump inside), the unit scales, the ranges.
  void solution(double bump) {
    Mesh &m = p->mesh;
    vector2d_resize(&values, 1, 1);
    vectord_resize(&values.data[0], m.nodes.count, m.nodes.count);
    for (int32_t n = 1; n <= m.nodes.count; n++) {
      const MeshNode &N = m.nodes.data[n - 1];
      values.data[0].data[n - 1] = 1 - N.x * N.x - N.y * N.y + bump * std::sin(3 * N.x) * N.x * (1 - N.x) * N.y * (1 - N.y);
    }
    for (vectord *v : {&p->firstscale, &p->secondscale, &p->precscale}) {
      vectord_resize(v, p->nt, p->nt);
      for (int32_t i = 0; i < p->nt; i++) v->data[i] = 1.0;
    }
  }
};

// A Poisson problem whose exact solution is quadratic, on tri6 with exact node values:
// both Galerkin estimates vanish (against a perturbed solution's).
TEST_F(Galerkin, EstimatesVanishForTheExactQuadraticSolution) {
  ASSERT_EQ(setup("VARIABLES u EQUATIONS div(grad(u)) + 4 = 0 BOUNDARIES REGION 1 START(0,0) "
                  "VALUE(u) = 1 - x^2 - y^2 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH END"),
            "ok");
  grid(4, 4, tri6);
  layout();
  vector2d_resize(&p->work, 0, 20);
  for (auto measure : {measure_galerkin, measure_zgalerkin}) {
    solution(0.1);
    double rough = measure(p, &values, 0, 1.0, 0), s2 = 0;
    int32_t live = 0;
    for (int32_t c = 1; c <= p->mesh.cells.count; c++)
      if (p->mesh.cells.data[c - 1].alive) s2 += std::pow(p->mesh.cells.data[c - 1].error, 2), live++;
    EXPECT_NEAR(rough, std::sqrt(s2 / live), 1e-12 * rough);  // the RMS of the cell estimates
    solution(0.0);
    double exact = measure(p, &values, 0, 1.0, 0);
    EXPECT_GT(rough, 0);
    EXPECT_LT(exact, 1e-10 * rough) << rough;
  }
}

}  // namespace
