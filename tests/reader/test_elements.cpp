// Element matrices from analysed descriptors on cells built in code: known triangles
// against sympy, and every Jacobian against central differences of its residual.
#include <cmath>
#include <vector>

#include "domain/domain.h"
#include "domain/edges.h"
#include "domain/joints.h"
#include "domain/regions.h"
#include "elements/basisfun.h"
#include "elements/quature.h"
#include "model/bcs.h"
#include "model/buildeq.h"
#include "model/treeval.h"
#include "tests/model/cellfix.h"
#include "tests/reader/actions.h"

namespace {

using Xyz = std::array<double, 3>;

struct Elements : Actions {
  LocalCell lc{};
  evalpoint pt{};
  vector2d vals{};
  static void SetUpTestSuite() {
    quature_init_quadrature();
    basisfun_node_coords();
    treeval_init();
  }
  void TearDown() override {
    vector2d_free(&vals, 1);
    Actions::TearDown();
  }
  // Parses and analyses the descriptor with the trial basis of the code.
  void analyse(const std::string &source, int32_t code) {
    ASSERT_EQ(parse(source), "ok");
    prepare_domain();
    Domain *d = p->mesh.domain;
    if (d->regions.count < 1) regions_new_region(&d->regions, 0, 0, 0);  // the one include region
    p->basis = code;
    vectorl_free(&p->basiscodes);  // the trial bases come from the problem's basis again
    HookScope hook;
    pde *q = p;
    ASSERT_EQ(except_catch("analyse", [q] { buildeq_analyze_eq(q); }), 0);
  }
  void cell(int32_t code, const std::vector<Xyz> &xyz) {
    test_cell(p, &lc, &vals, code, xyz);
    pt = {};
    pt.cell = &lc;
    pt.values = &vals;
    pt.region = 1;
  }
  equation &eq() { return *p->formulas.equations.items[0]; }
};

const std::vector<Xyz> unit = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
const std::vector<Xyz> unit6 = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0.5, 0.5, 0}, {0, 0.5, 0}, {0.5, 0, 0}};
const std::vector<double> k3 = {2, -1, -1, -1, 1, 0, -1, 0, 1};

}  // namespace

TEST_F(Elements, MatricesOfKnownTriangles) {
  struct Case {
    const char *coords;
    int32_t code;
    std::vector<Xyz> xyz;
    double ks, ms;
    std::vector<double> K, M;
  } cases[] = {
      {"", tri3, unit, -0.5, -1.0 / 24, k3, {2, 1, 1, 1, 2, 1, 1, 1, 2}},
      {"", tri6, unit6, -1.0 / 6, -1.0 / 360,
       {6, 1, 1, 0, -4, -4, 1, 3, 0, 0, 0, -4, 1, 0, 3, 0, -4, 0, 0, 0, 0, 16, -8, -8, -4, 0, -4, -8, 16, 0, -4, -4, 0, -8, 0, 16},
       {6, -1, -1, -4, 0, 0, -1, 6, -1, 0, -4, 0, -1, -1, 6, 0, 0, -4, -4, 0, 0, 32, 16, 16, 0, -4, 0, 16, 32, 16, 0, 0, -4, 16, 16, 32}},
      {"COORDINATES ycylinder ", tri3, {{1, 0, 0}, {2, 0, 0}, {1, 1, 0}}, -2.0 / 3, -1.0 / 120, k3, {12, 7, 6, 7, 16, 7, 6, 7, 12}},
      {"COORDINATES xcylinder ", tri3, {{0, 1, 0}, {1, 1, 0}, {0, 2, 0}}, -2.0 / 3, 0, k3, {}},
  };
  double out[400];
  for (const Case &c : cases) {
    std::string what = std::string(c.coords) + elements_names[c.code];
    ASSERT_NO_FATAL_FAILURE(analyse(std::string(c.coords) + "VARIABLES u EQUATIONS div(grad(u)) + 4 = dt(u) TIME 0 TO 1", c.code));
    cell(c.code, c.xyz);
    int n = elements_functions[c.code];
    ASSERT_EQ(treeval_vol_jacobian(p, out, eq().voljac.data[0].data[0], &pt, c.code, c.code), n * n);
    expect_matrix(out, c.K, c.ks, what + " volume");
    if (c.M.empty()) continue;
    ASSERT_EQ(treeval_vol_jacobian(p, out, eq().timejac.data[0].data[0], &pt, c.code, c.code), n * n);
    expect_matrix(out, c.M, c.ms, what + " time");
    if (c.code != tri3 || c.coords[0]) continue;
    ASSERT_EQ(treeval_vol_galerkin(p, out, eq().source.data[0], &pt, c.code), 3);
    expect_matrix(out, {1, 1, 1}, -2.0 / 3, "source");
  }
  // NATURAL(u) = g on side 1 of (1,0), (2,0), (2,1) in YCYLINDER: the edge x = 2.
  ASSERT_NO_FATAL_FAILURE(analyse("COORDINATES ycylinder VARIABLES u DEFINITIONS g = 5 EQUATIONS div(grad(u)) = 0 BOUNDARIES REGION 1 "
          "START(1,0) LINE TO (2,0) NATURAL(u) = g LINE TO (2,1) NATURAL(u) = 0 LINE TO FINISH",
          tri3));
  cell(tri3, {{1, 0, 0}, {2, 0, 0}, {2, 1, 0}});
  pt.side = 1;
  ASSERT_EQ(treeval_surf_galerkin(p, out, p->formulas.bcs.items[0]->lists[1].data[0], &pt, tri3), 3);
  expect_matrix(out, {0, 1, 1}, 5, "natural");
}

TEST_F(Elements, JacobiansAreDifferencesOfResiduals) {
  const char *sources[] = {"exp(u)", "u^2.5", "atan2(u, 2)"};
  const std::vector<Xyz> cells[] = {{{0, 0, 0}, {1.2, 0.1, 0}, {0.2, 0.9, 0}},
                                    {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0.6, 0.6, 0}, {0, 0.5, 0}, {0.5, -0.05, 0}}};
  double r0[20], r1[20], jac[400];
  for (const std::vector<Xyz> &xyz : cells)
    for (const char *s : sources) {
      int32_t code = xyz.size() == 3 ? tri3 : tri6;
      int n = int(xyz.size());
      ASSERT_NO_FATAL_FAILURE(analyse(std::string("VARIABLES u EQUATIONS div((1+u^2)*grad(u)) + ") + s +
                                          " = 0 BOUNDARIES REGION 1 START(0,0) NATURAL(u) = u^2 LINE TO (1,0) TO (0,1) TO FINISH",
                                      code));
      cell(code, xyz);
      for (int i = 0; i < n; i++) vals.data[0].data[i] = 0.4 + 0.1 * i;
      bc &b = *p->formulas.bcs.items[0];
      // Volume: the residual's terms and their Jacobian; side 3 (nodes 1-2): the condition's.
      for (int side : {0, 3}) {
        pt.side = uint8_t(side);
        auto residual = [&](double *o) {
          if (side) return treeval_surf_galerkin(p, o, b.lists[1].data[0], &pt, code);
          return treeval_vol_galerkin(p, o, eq().volume.data[0], &pt, code);
        };
        const TreeNode *j = side ? b.perregion.data[0].data[0] : eq().voljac.data[0].data[0];
        if (side) ASSERT_EQ(treeval_surf_jacobian(p, jac, j, &pt, code, code), n * n);
        else ASSERT_EQ(treeval_vol_jacobian(p, jac, j, &pt, code, code), n * n);
        for (int c = 0; c < n; c++) {
          double &u = vals.data[0].data[c], keep = u, h = 1e-6;
          u = keep + h, residual(r1);
          u = keep - h, residual(r0);
          u = keep;
          for (int r = 0; r < n; r++) {
            double fd = (r1[r] - r0[r]) / (2 * h), an = jac[r * n + c];
            EXPECT_NEAR(an, fd, 1e-6 * std::max(1.0, std::fabs(an))) << s << " n=" << n << " side " << side << " " << r << "," << c;
          }
        }
      }
    }
}
