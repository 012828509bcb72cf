// The lambda side of an eigenvalue problem probed into a sparse matrix: on a coupled
// two-variable problem with a value condition, B x equals the swept source for any
// mode (one by one or as a block), and B holds the exact quadratic mass matrix (sums
// of its blocks are the coupling coefficient times the area, x^T M x the integral of
// x^2).
#include <cmath>
#include <random>

#include "solver/bigmatx.h"
#include "solver/eigensol.h"
#include "tests/solver/assembly.h"

namespace {

struct Lambda : Assembly {
  LambdaSide B;
  std::vector<double> g, y;
  // The descriptor's problem on the 3 x 2 tri6 unit square, laid out for modes, four
  // subspace vectors of random values.
  void SetUp() override {
    Assembly::SetUp();
    ASSERT_EQ(setup("SELECT MODES = 2 VARIABLES u v EQUATIONS u: div(grad(u)) + lambda*(u + 0.5*v) = 0 "
                    "v: div(grad(v)) + lambda*(u + 2*v) = 0 BOUNDARIES REGION 1 START(0,0) "
                    "VALUE(u) = 0 NATURAL(v) = 0 LINE TO (1,0) NATURAL(u) = 0 LINE TO (1,1) TO (0,1) TO FINISH"),
              "ok");
    grid(3, 2, tri6);
    layout(3);
    p->subspace = 4;
    eigensol_size_sets(p);
    std::mt19937 gen(5);
    std::uniform_real_distribution<double> u(-1, 1);
    for (uint16_t j = 0; j < 4; j++)
      for (uint16_t k = 0; k < 2; k++)
        for (int32_t i = 0; i < p->modesets[j].data[k].count; i++) p->modesets[j].data[k].data[i] = u(gen);
    g.assign(size_t(p->nt), 0.0), y.assign(size_t(p->nt), 0.0);
  }
  void TearDown() override {
    p->mode = 0;
    Assembly::TearDown();
  }
  // Subspace vector j in global numbering.
  void global(uint16_t j) {
    for (uint16_t k = 1; k <= 2; k++)
      for (int32_t n = 1; n <= p->mesh.nodes.count; n++)
        g[size_t(bigmatx_row(&p->layout, k, n) - 1)] = p->modesets[j - 1].data[k - 1].data[n - 1];
  }
  // The variable and node of every global row.
  std::vector<int32_t> var, node;
  void rows() {
    var.assign(size_t(p->nt), 0), node.assign(size_t(p->nt), 0);
    for (uint16_t k = 1; k <= 2; k++)
      for (int32_t n = 1; n <= p->mesh.nodes.count; n++) {
        int32_t r = bigmatx_row(&p->layout, k, n) - 1;
        node[size_t(r)] = n, var[size_t(r)] = k;
      }
  }
  // The sum of B(r, c) f(row's x) f(column's x) over rows of variable a and columns of
  // variable b, rows limited to row when it is given.
  template <class F> double block(uint16_t a, uint16_t b, F f, int32_t row = -1) {
    double s = 0;
    for (int32_t r = 0; r < B.n; r++)
      for (int32_t e = B.start[size_t(r)]; e < B.start[size_t(r) + 1]; e++) {
        int32_t c = B.cols[size_t(e)];
        if (var[size_t(r)] != a || var[size_t(c)] != b || (row >= 0 && r != row)) continue;
        const MeshNode &nr = p->mesh.nodes.data[node[size_t(r)] - 1], &nc = p->mesh.nodes.data[node[size_t(c)] - 1];
        s += B.vals[size_t(e)] * f(nr.x) * f(nc.x);
      }
    return s;
  }
};

TEST_F(Lambda, ProbedMatrixTimesAModeIsItsSweptSource) {
  std::vector<double> kept(p->modesets[0].data[1].data, p->modesets[0].data[1].data + p->mesh.nodes.count);
  ASSERT_TRUE(eigensol_probe_lambda(p, &B));
  ASSERT_EQ(B.n, p->nt);
  // The probes went through the first vector and it was put back.
  for (int32_t i = 0; i < p->mesh.nodes.count; i++) EXPECT_EQ(p->modesets[0].data[1].data[i], kept[size_t(i)]);
  static const double zero[2] = {0, 0};
  std::vector<double> xs(size_t(p->nt) * 4), ys(size_t(p->nt) * 4);
  for (uint16_t j = 1; j <= 4; j++) {
    p->mode = j;
    coupling_set_bvals_0(p, &p->modesets[j - 1], zero);
    coupling_build_source(p, &p->source, 0, 0, 1);
    global(j);
    eigensol_lambda_times(&B, g.data(), y.data(), 1);
    double big = 0, diff = 0;
    for (int32_t r = 0; r < p->nt; r++) {
      big = std::max(big, std::fabs(p->source.data[r]));
      diff = std::max(diff, std::fabs(p->source.data[r] - y[size_t(r)]));
    }
    EXPECT_GT(big, 0.01) << j;
    EXPECT_LE(diff, 1e-12 * big) << "mode " << j;
    for (int32_t r = 0; r < p->nt; r++) xs[size_t(r) * 4 + j - 1] = g[size_t(r)];
  }
  // The four modes as one interleaved block: each column has the bits of its single
  // product.
  eigensol_lambda_times(&B, xs.data(), ys.data(), 4);
  for (uint16_t j = 1; j <= 4; j++) {
    for (int32_t r = 0; r < p->nt; r++) g[size_t(r)] = xs[size_t(r) * 4 + j - 1];
    eigensol_lambda_times(&B, g.data(), y.data(), 1);
    for (int32_t r = 0; r < p->nt; r++) ASSERT_EQ(ys[size_t(r) * 4 + j - 1], y[size_t(r)]) << j << " " << r;
  }
}

TEST_F(Lambda, ProbedMatrixIsTheCoupledMassMatrix) {
  ASSERT_TRUE(eigensol_probe_lambda(p, &B));
  rows();
  auto one = [](double) { return 1.0; };
  auto x = [](double t) { return t; };
  // Rows of v (no value condition): the coefficients 1 (u) and 2 (v) times the area
  // 1, and times the integral of x^2, 1/3; the source carries the lambda side with
  // the sign of the equation's right-hand side.
  EXPECT_NEAR(block(2, 1, one), -1.0, 1e-12);
  EXPECT_NEAR(block(2, 2, one), -2.0, 1e-12);
  EXPECT_NEAR(block(2, 2, x), -2.0 / 3, 1e-12);
  EXPECT_NEAR(block(2, 1, x), -1.0 / 3, 1e-12);
  // The rows of u's value nodes (y = 0) are zero.
  for (int32_t n = 1; n <= p->mesh.nodes.count; n++) {
    if (p->mesh.nodes.data[n - 1].y != 0) continue;
    int32_t r = bigmatx_row(&p->layout, 1, n) - 1;
    for (int32_t e = B.start[size_t(r)]; e < B.start[size_t(r) + 1]; e++) EXPECT_EQ(B.vals[size_t(e)], 0.0);
  }
  // The quadratic mass matrix: vertex shape functions integrate to 0, each side
  // node's to a third of each neighbouring triangle (area 1/12): row sums of v by v
  // are -2 x 0 at vertices and -2 x 1/36 x (1 or 2 triangles) at side nodes.
  for (int32_t n = 1; n <= p->mesh.nodes.count; n++) {
    const MeshNode &nd = p->mesh.nodes.data[n - 1];
    int ix = int(std::lround(nd.x * 6)), iy = int(std::lround(nd.y * 4));
    bool vertex = ix % 2 == 0 && iy % 2 == 0, edge = ix == 0 || ix == 6 || iy == 0 || iy == 4;
    double want = vertex ? 0.0 : -2.0 / 36 * (edge ? 1 : 2);
    EXPECT_NEAR(block(2, 2, one, bigmatx_row(&p->layout, 2, n) - 1), want, 1e-13) << "node " << nd.x << ", " << nd.y;
  }
}

struct LambdaScalar : Assembly {};

TEST_F(LambdaScalar, ScalarUnknownsKeepTheSweep) {
  LambdaSide B;
  ASSERT_EQ(setup("SELECT MODES = 1 VARIABLES u SCALAR VARIABLES c EQUATIONS u: div(grad(u)) + lambda*u = 0 "
                  "c: c - 1 = 0 BOUNDARIES REGION 1 START(0,0) VALUE(u) = 0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH"),
            "ok");
  grid(2, 2, tri6);
  layout(3);
  p->subspace = 2;
  eigensol_size_sets(p);
  EXPECT_FALSE(eigensol_probe_lambda(p, &B));
  EXPECT_EQ(B.n, 0);
}

}  // namespace
