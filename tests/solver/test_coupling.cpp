// Residual and Jacobian assembly on analysed descriptors: an exactly represented
// Poisson solution, the Jacobian against central differences of the residual, and the
// scaling and symmetry edge cases.
#include <cmath>

#include "elements/evalpoint.h"
#include "runtime/vectorld.h"
#include "runtime/vectorll.h"
#include "runtime/vectort.h"
#include "solver/sparsemx.h"
#include "tests/model/symfix.h"
#include "solver/bigmatx.h"
#include "solver/fitting.h"
#include "solver/coupling.h"
#include "solver/timsolve.h"
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
  // Regions in which equation 1 has upwind time terms.
  int eqn_upwind_time() {
    const treevector &t = p->formulas.equations.items[0]->uptime;
    int n = 0;
    for (int32_t r = 0; r < t.count; r++) n += t.data[r] != nullptr;
    return n;
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
  // The source of u = 0 on the 4 x 3 tri6 unit square, natural boundaries, into S
  // (which held 7s).
  std::string source_of(const char *eq) {
    std::string r = setup(std::string("VARIABLES u EQUATIONS ") + eq + " BOUNDARIES REGION 1 START(0,0) " +
                          "NATURAL(u) = 0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH");
    if (r != "ok") return r;
    grid(4, 3, tri6);
    layout();
    values([](int, double, double) { return 0.0; });
    vectord_resize(&S, p->nt, p->nt);
    for (int32_t i = 0; i < p->nt; i++) S.data[i] = 7.0;
    r = residual(&F, &S);
    return r == "ok" && S.count != p->nt ? "size" : r;
  }
  // The residual of u into f and the source into s.
  std::string residual(vectord *f, vectord *s) {
    return run([&] {
      coupling_operate(p, f, nullptr, &u, nullptr, 0, 0, 0);
      coupling_build_source(p, s, 0, 0, 1);
    });
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
  ASSERT_EQ(residual(&F, &S), "ok");
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
  // The normal at a node of the right edge is the outward unit normal there.
  evalpoint at{};
  uint16_t right = edge_at(1, 0.5);
  int32_t node = 0;
  for (int32_t n = 1; n <= p->mesh.nodes.count && !node; n++)
    if (p->mesh.nodes.data[n - 1].kind == 2 && p->mesh.nodes.data[n - 1].id == right) node = n;
  ASSERT_EQ(run([&] { bnormal(p, &at, node, 1, bcs_find_surf_bc(p->mesh.domain, right, 1, &p->formulas)); }), "ok");
  EXPECT_NEAR(at.nx, 1.0, 1e-14);
  EXPECT_NEAR(at.ny, 0.0, 1e-14);
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

// A source-free equation leaves every source row at 0, whatever the vector held; one
// with a source puts its integral, 4 over the unit square, on the rows.
TEST_F(Coupling, SourceFreeRowsAreZero) {
  ASSERT_EQ(source_of("div(grad(u)) = 0"), "ok");
  for (int32_t r = 0; r < p->nt; r++) EXPECT_EQ(S.data[r], 0.0) << r;
}

TEST_F(Coupling, SourceRowsSumToItsIntegral) {
  ASSERT_EQ(source_of("div(grad(u)) = 4"), "ok");
  double sum = 0;
  for (int32_t r = 0; r < p->nt; r++) sum += S.data[r];
  EXPECT_NEAR(std::fabs(sum), 4.0, 1e-12);
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

// The upwind Jacobian keeps the streamline weight frozen, so with upwinding the
// differences agree to the weight's share only.
struct Jacobian : Coupling, ::testing::WithParamInterface<std::pair<const char *, double>> {};

TEST_P(Jacobian, MatchesCentralDifferences) {
  std::string desc = std::string("SELECT upwind=") + GetParam().first +
                     " VARIABLES u v EQUATIONS u: div((1 + u^2)*grad(u)) + v*dx(u) - u*v = 1 "
                     "v: div(grad(v)) + u*v^2 - 3*dy(u) = x " + square +
                     "VALUE(u) = 0 VALUE(v) = 0 LINE TO (1,0) NATURAL(u) = u^2 NATURAL(v) = v*u LINE TO (1,1) "
                     "POINT LOAD(u) = u^3 TO (0,1) NATURAL(u) = 0 NATURAL(v) = 0 LINE TO FINISH";
  ASSERT_EQ(setup(desc), "ok");
  grid(2, 2, tri6, 1.0, 1.0);
  // The diagonal of the first square carries the right edge's natural terms: a side
  // inside one region, taken once by the higher-numbered cell in both F and A.
  MeshCell &c1 = p->mesh.cells.data[0], &c2 = p->mesh.cells.data[1];
  for (int s = 0; s < 3; s++) {
    if (c1.neighbour[s] == 2) c1.bdid[s] = edge_at(1, 0.5);
    if (c2.neighbour[s] == 1) c2.bdid[s] = edge_at(1, 0.5);
  }
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
      if (value_row(c)) continue;  // fixed values: their columns are cleared
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
  EXPECT_LT(worst, GetParam().second);
  vectord_free(&Fp), vectord_free(&Fm);
}

INSTANTIATE_TEST_SUITE_P(Upwind, Jacobian, ::testing::Values(std::pair{"off", 1e-6}, std::pair{"on", 1e-4}));

// The time residual is linear in the rates, so with a unit rate at one node it is that
// node's column of the time Jacobian: the upwind time terms go into both.
TEST_F(Coupling, TimeJacobianIsTheTimeResidualsColumn) {
  ASSERT_EQ(setup(std::string("VARIABLES u EQUATIONS div(grad(u)) - 30*dx(u) + 2*dy(u) = (1 + x)*dt(u) ") + square +
                  "VALUE(u) = 0 LINE TO (1,0) NATURAL(u) = 0 LINE TO (1,1) TO (0,1) TO FINISH TIME 0 TO 1"),
            "ok");
  ASSERT_EQ(p->timedep, 1);
  ASSERT_GT(eqn_upwind_time(), 0);
  grid(3, 3, tri6);
  layout();
  values([](int, double x, double y) { return x * y; });
  double times[2] = {0, 0};
  ASSERT_EQ(run([&] { coupling_tr_matrix(p, &u, times, 1); }), "ok");
  vector2d rates{};
  vector2d_resize(&rates, 1, 1);
  int32_t N = p->mesh.nodes.count;
  vectord_resize(&rates.data[0], N, N);
  vectord Ft{};
  double worst = 0;
  for (int32_t n = 1; n <= N; n++) {
    int32_t c = bigmatx_row(&p->layout, 1, n);
    if (value_row(c)) continue;
    std::fill(rates.data[0].data, rates.data[0].data + N, 0.0);
    rates.data[0].data[n - 1] = 1;
    ASSERT_EQ(run([&] { coupling_operate(p, &F, &Ft, &u, &rates, 0, 0, 1); }), "ok");
    for (int32_t r = 1; r <= p->nt; r++) {
      if (value_row(r)) continue;
      double a = sparsemx_fetch(&p->tmatrix, r, c) / (p->firstscale.data[r - 1] * p->secondscale.data[c - 1]);
      worst = std::max(worst, std::fabs(Ft.data[r - 1] - a));
    }
  }
  EXPECT_LT(worst, 1e-12);
  vectord_free(&Ft);
  vector2d_free(&rates, 1);
}

TEST_F(Coupling, ConstraintRowsScaleWithTheRms) {
  ASSERT_EQ(setup(std::string("VARIABLES u EQUATIONS div(grad(u)) = 4 CONSTRAINTS integral(u) = 1 ") + square +
                  "VALUE(u) = 0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH"),
            "ok");
  grid(2, 2, tri6);
  layout();
  vectort_set_bit(&p->formulas.constraints.items[0]->sets[0], 1);
  // The row of integral(u): the integral of the trial function (given here; analysis
  // leaves the derivative of a global integral to the fitting code).
  TreeNode *&jac = p->formulas.constraints.items[0]->perregion.data[0].data[0];
  trees_free_0(jac);
  jac = trees_new_0(op::integral);
  jac->child[0] = trees_new_0(op::febasis);
  jac->child[0]->index = tri6;
  jac->arity = 1;
  values([](int, double, double) { return 0.0; });
  double times[2] = {0, 0};
  p->symmetric = 1, p->scaling = 1;
  ASSERT_EQ(run([&] { coupling_ss_matrix(p, &u, times); }), "ok");
  int32_t r = p->nt;
  EXPECT_NEAR(p->firstscale.data[r - 1], -p->rmsscale, 1e-15);
  EXPECT_NEAR(p->secondscale.data[r - 1], p->rmsscale, 1e-15);
  EXPECT_NEAR(p->rmsscale, std::fabs(p->scalefac.data[0]), 1e-15);  // one variable
  // The border is symmetric: integral(u) by the interior unknowns, both ways.
  const vectorld &row = p->matrix.data[r - 1];
  double sum = 0;
  for (int32_t e = 0; e < row.count; e++) {
    EXPECT_DOUBLE_EQ(row.values[e], sparsemx_fetch(&p->matrix, row.keys[e], r));
    sum += row.values[e] / (p->firstscale.data[r - 1] * p->secondscale.data[row.keys[e] - 1]);
  }
  EXPECT_EQ(sparsemx_fetch(&p->matrix, r, r), 0.0);
  EXPECT_GT(sum, 0.1);  // the interior share of the area
}

TEST_F(Coupling, PeriodicStripFoldsIntoTheMaster) {
  ASSERT_EQ(setup(std::string("VARIABLES u EQUATIONS div(grad(u)) = 4 + x ") + square +
                  "VALUE(u) = 0 LINE TO (2,0) NATURAL(u) = 0 LINE TO (2,1) VALUE(u) = 0 LINE TO (0,1) "
                  "NATURAL(u) = 0 LINE TO FINISH"),
            "ok");
  grid(4, 2, tri6, 2, 1);
  layout();
  values([](int, double x, double y) { return x * y * (1 - y); });
  vectord F0{}, S0{};
  ASSERT_EQ(residual(&F0, &S0), "ok");
  // The right edge's inner nodes are the slaves of the left edge's (antiperiodic).
  std::vector<std::pair<int32_t, int32_t>> pairs;
  for (int32_t n = 1; n <= p->mesh.nodes.count; n++) {
    const MeshNode &a = p->mesh.nodes.data[n - 1];
    if (a.x != 2 || a.kind != 2) continue;
    for (int32_t m = 1; m <= p->mesh.nodes.count; m++)
      if (p->mesh.nodes.data[m - 1].x == 0 && p->mesh.nodes.data[m - 1].y == a.y) pairs.push_back({n, m});
  }
  ASSERT_EQ(pairs.size(), 3u);
  std::vector<double> f0(F0.count), s0(S0.count);  // by node: the layout renumbers
  for (int32_t n = 1; n <= p->mesh.nodes.count; n++) {
    int32_t r = bigmatx_row(&p->layout, 1, n) - 1;
    f0[n - 1] = F0.data[r], s0[n - 1] = S0.data[r];
  }
  for (auto [s, m] : pairs) vectorll_insert(&p->mesh.images, s, m), p->mesh.nodes.data[s - 1].image = m;
  p->persign = -1;
  layout();
  ASSERT_EQ(residual(&F, &S), "ok");
  for (auto [s, m] : pairs) {
    int32_t rs = bigmatx_row(&p->layout, 1, s) - 1, rm = bigmatx_row(&p->layout, 1, m) - 1;
    EXPECT_EQ(F.data[rs], 0.0);
    EXPECT_EQ(S.data[rs], 0.0);
    EXPECT_NEAR(F.data[rm], f0[m - 1] - f0[s - 1], 1e-14);
    EXPECT_NEAR(S.data[rm], s0[m - 1] - s0[s - 1], 1e-14);  // the source folds like the operator
  }
  double times[2] = {0, 0};
  p->symmetric = 1;
  ASSERT_EQ(run([&] { coupling_ss_matrix(p, &u, times); }), "ok");
  EXPECT_EQ(p->symmetric, 0);
  EXPECT_EQ(p->solver, 1);
  // The slave row ties the slave to its master: d u_s - (-1) d u_m.
  for (auto [s, m] : pairs) {
    int32_t rs = bigmatx_row(&p->layout, 1, s), rm = bigmatx_row(&p->layout, 1, m);
    double d = sparsemx_fetch(&p->matrix, rs, rs) / (p->firstscale.data[rs - 1] * p->secondscale.data[rs - 1]);
    double t = sparsemx_fetch(&p->matrix, rs, rm) / (p->firstscale.data[rs - 1] * p->secondscale.data[rm - 1]);
    EXPECT_NEAR(t, d, 1e-12 * std::fabs(d));
  }
  vectord_free(&F0), vectord_free(&S0);
}

// Two scalar unknowns c, d beside u, coupled both ways and through integrals: the whole
// Jacobian, scalar rows and columns and the scalar-by-scalar block with the pointwise
// and the integral parts of its derivatives, against central differences of the
// residual (the integrals brought up to date at every difference).
TEST_F(Coupling, ScalarBorderMatchesCentralDifferences) {
  ASSERT_EQ(setup(std::string("VARIABLES u SCALAR VARIABLES c d EQUATIONS u: div(grad(u)) + c*u + d = 1 "
                              "c: c*d - INTEGRAL(c*u) - 1 = 0 d: d^2 + c - INTEGRAL(u*u) = 0 ") +
                  square + "VALUE(u) = 0 LINE TO (1,0) NATURAL(u) = 0 LINE TO (1,1) TO (0,1) TO FINISH"),
            "ok");
  grid(2, 2, tri6);
  layout();
  values([](int k, double x, double y) { return k == 1 ? 0.3 + x * y : k == 2 ? 1.3 : -0.7; });
  double times[2] = {0, 0};
  auto operate = [&](vectord *f) {
    return run([&] {
      fitting_invalidate_fits(p, 3);
      fitting_validate_fits(p, &p->fitlist, &u, times);
      coupling_operate(p, f, nullptr, &u, nullptr, 0, 0, 0);
    });
  };
  vectord F0{};
  ASSERT_EQ(operate(&F0), "ok");
  ASSERT_EQ(run([&] { coupling_ss_matrix(p, &u, times); }), "ok");
  auto a = [&](int32_t r, int32_t c) {
    return sparsemx_fetch(&p->matrix, r, c) / (p->firstscale.data[r - 1] * p->secondscale.data[c - 1]);
  };
  int32_t NT = p->nt, NF = p->nf;
  ASSERT_EQ(NT, NF + 2);
  vectord Fp{}, Fm{};
  double worst = 0;
  for (int32_t k = 1; k <= 3; k++)
    for (int32_t n = 1; n <= (k == 1 ? p->mesh.nodes.count : 1); n++) {
      int32_t c = bigmatx_row(&p->layout, uint16_t(k), n);
      if (value_row(c)) continue;
      double &x = u.data[k - 1].data[n - 1], x0 = x, h = 1e-5;
      x = x0 + h;
      ASSERT_EQ(operate(&Fp), "ok");
      x = x0 - h;
      ASSERT_EQ(operate(&Fm), "ok");
      x = x0;
      for (int32_t r = 1; r <= NT; r++) {
        if (value_row(r)) continue;
        double fd = (Fp.data[r - 1] - Fm.data[r - 1]) / (2 * h);
        // Relative to the row's scale: the largest difference quotient of the scalar
        // rows is of order 1, of the field rows of order the element size squared.
        double big = r > NF ? 1.0 : 0.1;
        worst = std::max(worst, std::fabs(fd - a(r, c)) / big);
      }
    }
  EXPECT_LT(worst, 1e-6);
  // The scalar-by-scalar block: c's row (d - INTEGRAL(u), c), d's row (1, 2d).
  EXPECT_NEAR(a(NF + 1, NF + 2), 1.3, 1e-12);
  EXPECT_NEAR(a(NF + 2, NF + 1), 1.0, 1e-12);
  EXPECT_NEAR(a(NF + 2, NF + 2), -1.4, 1e-12);
  vectord_free(&F0), vectord_free(&Fp), vectord_free(&Fm);
}

// A scalar multiplier of an integral condition beside a negative-definite field row:
// the border is symmetric, and the scalar row takes the field rows' sign, so that the
// scaled matrix stays symmetric and CG keeps it.
TEST_F(Coupling, ScalarMultiplierKeepsTheScaledMatrixSymmetric) {
  ASSERT_EQ(setup(std::string("VARIABLES u SCALAR VARIABLES s EQUATIONS u: div(grad(u)) + s = 0 "
                              "s: INTEGRAL(u) = 1 ") +
                  square + "VALUE(u) = 0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH"),
            "ok");
  grid(3, 3, tri6);
  layout();
  values([](int, double, double) { return 0.0; });
  double times[2] = {0, 0};
  p->symmetric = 1, p->scaling = 1;
  ASSERT_EQ(run([&] { coupling_ss_matrix(p, &u, times); }), "ok");
  EXPECT_EQ(p->symmetric, 1);
  EXPECT_EQ(p->solver, 0);
  EXPECT_EQ(p->scalesign.data[0], -1.0);
  EXPECT_EQ(p->scalesign.data[1], -1.0);
  int32_t r = p->nt;
  const vectorld &row = p->matrix.data[r - 1];
  int32_t coupled = 0;
  for (int32_t e = 0; e < row.count; e++) {
    if (row.keys[e] == r) continue;
    EXPECT_NEAR(row.values[e], sparsemx_fetch(&p->matrix, row.keys[e], r), 1e-12 * std::fabs(row.values[e]));
    coupled += row.values[e] != 0;
  }
  EXPECT_GT(coupled, 4);
}

namespace {

// An equation with a global splits its source into the part free of the solution and the
// rest: the two sum to the whole source, and the free part stays when the solution
// doubles (the rest, where there is one, doubles with it). Shared subexpressions (the
// third row, with the common-subexpression pass on) are written out into both parts.
struct SplitSource : Coupling, ::testing::WithParamInterface<std::pair<const char *, int>> {};

TEST_P(SplitSource, PartsSumToTheWholeAndOnlyTheRestFollowsTheSolution) {
  ASSERT_EQ(setup(std::string("VARIABLES u EQUATIONS ") + GetParam().first + " " + square +
                      "VALUE(u) = 0 LINE TO (1,0) NATURAL(u) = 0 LINE TO (1,1) TO (0,1) TO FINISH",
                  GetParam().second),
            "ok");
  grid(4, 3, tri6);
  layout();
  double times[2] = {0, 0};
  vectord whole{}, fixed[2]{}, rest[2]{};
  TimeRun split;  // the run that holds the split
  for (int scale = 1; scale <= 2; scale++) {
    values([&](int, double x, double y) { return scale * (0.3 + x * y); });
    ASSERT_EQ(run([&] {
                fitting_invalidate_fits(p, 3);
                fitting_validate_fits(p, &p->fitlist, &u, times);
                if (scale == 1) coupling_build_source(p, &whole, 0, 0, 1);
                ASSERT_TRUE(coupling_split_source(p, &split));
                coupling_build_source_part(p, &split, &fixed[scale - 1], 0, 0, true);
                coupling_build_source_part(p, &split, &rest[scale - 1], 0, 0, false);
              }),
              "ok");
  }
  double most = 0;
  for (int32_t r = 0; r < p->nt; r++) {
    EXPECT_NEAR(fixed[0].data[r] + rest[0].data[r], whole.data[r], 1e-13) << r;
    EXPECT_EQ(fixed[1].data[r], fixed[0].data[r]) << r;
    EXPECT_NEAR(rest[1].data[r], 2 * rest[0].data[r], 1e-13) << r;
    most = std::max(most, std::fabs(whole.data[r]));
  }
  EXPECT_GT(most, 1e-3);  // a source there is
  for (vectord *v : {&whole, &fixed[0], &fixed[1], &rest[0], &rest[1]}) vectord_free(v);
  coupling_release_split(&split);
}

INSTANTIATE_TEST_SUITE_P(Sources, SplitSource,
                         ::testing::Values(std::pair{"div(grad(u)) + x*y + sin(x)*(INTEGRAL(u) + 2) = 0", 0},
                                           std::pair{"div(grad(u)) + (x + INTEGRAL(u))/(1 + y) - 3 = 0", 0},
                                           std::pair{"div(grad(u)) + exp(x*y)*(1 + exp(x*y)*INTEGRAL(u)) + exp(x*y) = "
                                                     "0",
                                                     1}));

}  // namespace
