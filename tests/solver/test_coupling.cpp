// Residual and Jacobian assembly on analysed descriptors: an exactly represented
// Poisson solution, the Jacobian against central differences of the residual, and the
// scaling and symmetry edge cases.
#include <cmath>

#include "runtime/vectorld.h"
#include "solver/bigmatx.h"
#include "tests/solver/assembly.h"

namespace {

struct Coupling : Assembly {
  vector2d u{};
  vectord F{}, S{};
  void TearDown() override {
    vector2d_free(&u, 1);
    vectord_free(&F), vectord_free(&S);
    Assembly::TearDown();
  }
  // Nodal values of every variable from f(variable, x, y).
  template <class Fn> void values(Fn f) {
    int32_t N = p->mesh.nodes.count, V = p->nfield + p->nscalar;
    vector2d_resize(&u, V, V);
    for (int32_t k = 1; k <= V; k++) {
      int32_t n = k <= p->nfield ? N : 1;
      vectord_resize(&u.data[k - 1], n, n);
      for (int32_t i = 1; i <= n; i++) {
        const MeshNode &nd = p->mesh.nodes.data[i - 1];
        u.data[k - 1].data[i - 1] = f(k, nd.x, nd.y);
      }
    }
  }
  bool value_row(int32_t r) {
    for (int32_t k = 1; k <= p->valuenodes.count; k++)
      for (int32_t i = 0; i < p->valuenodes.data[k - 1].count; i++)
        if (bigmatx_row(&p->layout, uint16_t(k), p->valuenodes.data[k - 1].data[i]) == r) return true;
    return false;
  }
  std::string run(std::function<void()> f) {
    HookScope hook;
    int code = except_catch("assembly", f);
    return code ? "failed" : "ok";
  }
};

const char *square = "BOUNDARIES REGION 1 START(0,0) ";

}  // namespace

TEST_F(Coupling, PoissonResidualVanishesInside) {
  ASSERT_EQ(setup(std::string("VARIABLES u EQUATIONS div(grad(u)) = 4 ") + square +
                  "VALUE(u) = x^2 + y^2 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH"),
            "ok");
  grid(4, 3, tri6);
  layout();
  values([](int, double x, double y) { return x * x + y * y; });
  ASSERT_EQ(run([&] {
              coupling_operate(p, &F, nullptr, &u, nullptr, 0, 0, 0);
              coupling_build_source(p, &S, 0, 0, 1);
            }),
            "ok");
  // P2 vertex functions integrate to 0: the scale is the largest row of the operator.
  double big = 0;
  for (int32_t r = 1; r <= p->nt; r++) big = std::max(big, std::fabs(F.data[r - 1]));
  int32_t interior = 0;
  for (int32_t n = 1; n <= p->mesh.nodes.count; n++) {
    int32_t r = bigmatx_row(&p->layout, 1, n);
    if (p->mesh.nodes.data[n - 1].kind != 0) {
      EXPECT_EQ(F.data[r - 1], 0.0) << n;  // value rows
      EXPECT_EQ(S.data[r - 1], 0.0) << n;
      continue;
    }
    interior++;
    EXPECT_NEAR(S.data[r - 1] - F.data[r - 1], 0.0, 1e-12 * big) << n;
  }
  EXPECT_EQ(interior, 7 * 5);
  // The Jacobian of -integral(grad u . grad v) is negative definite: sign -1, and the
  // row scale -range makes the scaled diagonal positive.
  double times[2] = {0, 0};
  p->symmetric = 1;
  ASSERT_EQ(run([&] { coupling_ss_matrix(p, &u, times); }), "ok");
  EXPECT_EQ(p->scalesign.data[0], -1.0);
  EXPECT_EQ(p->symmetric, 1);
  EXPECT_EQ(p->solver, 0);
  for (int32_t n = 1; n <= p->mesh.nodes.count; n++) {
    int32_t r = bigmatx_row(&p->layout, 1, n);
    EXPECT_GT(sparsemx_fetch(&p->matrix, r, r), 0.0) << n;
    EXPECT_EQ(p->firstscale.data[r - 1], -p->secondscale.data[r - 1]);
  }
}

TEST_F(Coupling, ConvectionFailsTheSymmetryCheck) {
  ASSERT_EQ(setup(std::string("SELECT upwind=off VARIABLES u EQUATIONS div(grad(u)) + 20*dx(u) = 4 ") + square +
                  "VALUE(u) = 0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH"),
            "ok");
  grid(3, 3, tri6);
  layout();
  values([](int, double, double) { return 0.0; });
  double times[2] = {0, 0};
  p->symmetric = 1;  // as if analysis had not seen the first-order term
  ASSERT_EQ(run([&] { coupling_ss_matrix(p, &u, times); }), "ok");
  EXPECT_EQ(p->symmetric, 0);
  EXPECT_EQ(p->solver, 1);
  EXPECT_EQ(p->precon, 1);  // one equation: diagonal
}

TEST_F(Coupling, JacobianMatchesCentralDifferences) {
  ASSERT_EQ(setup(std::string("VARIABLES u v EQUATIONS u: div((1 + u^2)*grad(u)) + v*dx(u) - u*v = 1 "
                              "v: div(grad(v)) + u*v^2 - 3*dy(u) = x ") +
                  square +
                  "VALUE(u) = 0 VALUE(v) = 0 LINE TO (1,0) NATURAL(u) = u^2 NATURAL(v) = v*u LINE TO (1,1) "
                  "POINT LOAD(u) = u^3 TO (0,1) NATURAL(u) = 0 NATURAL(v) = 0 LINE TO FINISH"),
            "ok");
  grid(2, 2, tri6, 1.0, 1.0);
  layout();
  auto f = [](int k, double x, double y) { return k == 1 ? 0.5 + x * y - 0.3 * x * x : 0.2 + 0.7 * y * y - x; };
  values(f);
  double times[2] = {0, 0};
  ASSERT_EQ(run([&] { coupling_ss_matrix(p, &u, times); }), "ok");
  EXPECT_GT(p->loadnodes.data[0].count, 0);
  // A before scaling: the scales divided out.
  int32_t NT = p->nt;
  auto a = [&](int32_t r, int32_t c) {
    return sparsemx_fetch(&p->matrix, r, c) / (p->firstscale.data[r - 1] * p->secondscale.data[c - 1]);
  };
  vectord Fp{}, Fm{};
  double worst = 0;
  for (int32_t k = 1; k <= 2; k++)
    for (int32_t n = 1; n <= p->mesh.nodes.count; n++) {
      int32_t c = bigmatx_row(&p->layout, uint16_t(k), n);
      double &x = u.data[k - 1].data[n - 1], x0 = x, h = 1e-5;
      x = x0 + h;
      ASSERT_EQ(run([&] { coupling_operate(p, &Fp, nullptr, &u, nullptr, 0, 0, 0); }), "ok");
      x = x0 - h;
      ASSERT_EQ(run([&] { coupling_operate(p, &Fm, nullptr, &u, nullptr, 0, 0, 0); }), "ok");
      x = x0;
      double big = 0, err = 0;
      for (int32_t r = 1; r <= NT; r++) {
        if (value_row(r)) continue;
        double fd = (Fp.data[r - 1] - Fm.data[r - 1]) / (2 * h);
        big = std::max(big, std::fabs(fd));
        err = std::max(err, std::fabs(fd - a(r, c)));
      }
      worst = std::max(worst, err / std::max(big, 1e-300));
    }
  EXPECT_LT(worst, 1e-6);
  vectord_free(&Fp), vectord_free(&Fm);
}
