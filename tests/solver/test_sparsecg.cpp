// Krylov solvers: every method of the family x preconditioner table against a dense
// solve, the iteration limits and stops, the refused methods, and the convergence
// measure against hand-computed values. The status panel is a test double that keeps
// the last value of each line (panel_double.cpp).
#include <gtest/gtest.h>

#include "graphics/display.h"
#include "solver/bandmxd.h"
#include "solver/sparsecg.h"
#include "solver/sparsechol.h"
#include "solver/sparselu.h"
#include "tests/solver/panel_double.h"
#include "tests/solver/sparse_fixture.h"

namespace {

struct Solve {
  Sparse a, m;
  bandmxd band{};
  Vec b, d, x;
  vector2d pool{};
  pad panel{};
  uint8_t key = 0;
  std::vector<double> want;
  double rms = 0;

  Solve(const Dense &dense, int32_t family, int32_t precon) : a(dense) {
    std::vector<double> bs(dense.size());
    for (size_t i = 0; i < bs.size(); i++) bs[i] = std::sin(double(i + 1));
    vectord_resize(&b, a.rows, a.rows);
    std::copy(bs.begin(), bs.end(), b.data);
    want = dense_solve(dense, bs);
    vector2d_new(&pool, 0, 7);
    panel.key = &key;
    uint8_t sym = family == orthomin;
    int32_t n = a.rows;
    switch (precon) {
      case diprecon: sparsemx_diag_dip(&d, &a, sym); break;
      case ataprecon: sparsemx_ata_dip_0(&d, &a, sym); break;
      case biprecon: sparsemx_diag_bip(&m, &a, &b, 10, n / 10, sym); break;  // the grid lines
      case luprecon:
        sparsemx_copyto_0(&m, &a);
        EXPECT_TRUE(sym ? sparsemx_inchol_factor_0(&m, n) : sparsemx_inclu_factor_0(&m, &d));
        break;
      case bluprecon:
        if (sym) {
          sparsemx_make_band_0(&m, &a, 6, nullptr);
          EXPECT_TRUE(sparsemx_inchol_factor_0(&m, n));
        } else {
          sparsemx_make_band_1(&band, &a, 6, nullptr);
          EXPECT_TRUE(bandmxd_lu_factor(&band));
        }
    }
  }
  // The solve; returns the last iteration shown on the method line.
  int32_t solve(int32_t family, int32_t precon, double rel, uint16_t maxit) {
    rms = sparsecg_cg(&x, &a, &m, &b, &d, &band, &pool, rel, 0.0, maxit, &panel, family, precon, a.rows);
    for (int32_t i = 1; i <= pool.count; i++) EXPECT_EQ(pool.data[i - 1].count, 0);
    return int32_t(panel_double_value(1));
  }
  ~Solve() {
    bandmxd_free(&band);
    vector2d_free(&pool, 1);
  }
};

TEST(Sparsecg, EveryMethodReachesTheDenseSolution) {
  for (int32_t family : {orthomin, lanczos, vandenberg})
    for (int32_t precon : {noprecon, diprecon, ataprecon, biprecon, luprecon, bluprecon, undefprecon})
      for (double beta : {0.0, 0.4}) {  // beta: the nonsymmetric families also on convection-diffusion
        if ((precon == undefprecon && family != orthomin) || (family == vandenberg && precon == luprecon) ||
            (beta != 0 && family == orthomin))
          continue;
        Solve r(five_point(10, beta), family, precon);
        r.solve(family, precon, 1e-10, 200);
        EXPECT_LT(max_rel_error(r.x, r.want), 1e-6) << family << " " << precon << " " << beta;
        EXPECT_GT(r.rms, 0);
      }
}

TEST(Sparsecg, IterationLimitsAndStops) {
  {  // b = 0: one iteration, RMS 0.
    Solve r(five_point(4), orthomin, noprecon);
    vectord_copyto_1(&r.b, 0.0);
    EXPECT_EQ(r.solve(orthomin, noprecon, 1e-6, 100), 1);
    EXPECT_EQ(r.rms, 0.0);
  }
  {  // exact after 9 steps, yet no stop before the 13th.
    Solve r(five_point(3), orthomin, noprecon);
    EXPECT_GE(r.solve(orthomin, noprecon, 1e-6, 100), 13);
    EXPECT_LT(max_rel_error(r.x, r.want), 1e-12);
  }
  {  // never converged: the budget ends it after 4 maxit iterations.
    Solve r(five_point(30), orthomin, noprecon);
    EXPECT_EQ(r.solve(orthomin, noprecon, 0.0, 10), 41);
  }
  // 2I is solved at step 1; the stop comes at step 13, once all 12 stored differences lie
  // within the solve, also when the history starts on the same value (the second run).
  for (int run = 1; run <= 2; run++) {
    Solve r({{2, 0}, {0, 2}}, orthomin, noprecon);
    EXPECT_EQ(r.solve(orthomin, noprecon, 1e-6, 100), 13) << run;
  }
  {  // the stop key after step 1, worked by hand for each nonsymmetric family with
     // P = M = [1 2; 0 1] and b = e2
    struct Case { int32_t family; double x1, x2; };
    for (Case c : {Case{lanczos, 5.0 / 7, 5.0 / 14}, Case{vandenberg, -2.0 / 13, 0}}) {
      Solve r({{3, 1}, {-2, 4}}, c.family, noprecon);
      Sparse m({{1, 2}, {0, 1}});
      sparsemx_copyto_0(&r.m, &m);
      r.b.data[0] = 0, r.b.data[1] = 1, r.key = 1;
      EXPECT_EQ(r.solve(c.family, biprecon, 1e-6, 100), 1);
      EXPECT_NEAR(r.x(1), c.x1, 1e-15) << c.family;
      EXPECT_NEAR(r.x(2), c.x2, 1e-15) << c.family;
    }
  }
  {  // a budget of 0 runs as 1: ended after 4 iterations.
    Solve r(five_point(5), orthomin, noprecon);
    EXPECT_EQ(r.solve(orthomin, noprecon, 1e-10, 0), 5);
    EXPECT_TRUE(std::isfinite(r.rms));
  }
  Solve r(five_point(3), orthomin, noprecon);
  EXPECT_EQ(fatal_stop([&] { r.solve(vandenberg, luprecon, 1e-6, 10); }), "BAD CG METHOD IN sparsecg_cg_0");
  EXPECT_EQ(fatal_stop([&] { r.solve(filllu, noprecon, 1e-6, 10); }), "Bad CG Method IN sparsecg_cg_0");
  EXPECT_EQ(fatal_stop([&] { r.solve(orthomin, 7, 1e-6, 10); }), "Bad CG Method IN sparsecg_cg_0");
}

TEST(Sparsecg, BlockColumnsEqualTheirSingleSolvesBitForBit) {
  // Eighteen right-hand sides of different sizes and shapes (two zero, so columns stop
  // at different iterations and the block carries stopped ones as zeros), solved as
  // one interleaved block and one by one: the same bits and results, and the single
  // solves reach the dense solution. The incomplete Cholesky methods run the columns
  // together, diagonal CG one after another; the block kernels in two lanes and in the
  // processor's.
  const int w = 18;
  for (uint8_t lanes : {2, 0})
  for (int32_t precon : {luprecon, bluprecon, diprecon}) {
    Solve r(five_point(9), orthomin, precon);
    int32_t n = r.a.rows;
    std::vector<double> b(size_t(n) * w), x(size_t(n) * w, -1.0);
    for (int32_t i = 0; i < n; i++)
      for (int t = 0; t < w; t++) b[size_t(i) * w + t] = t == 2 || t == 11 ? 0.0 : std::pow(10.0, t % 5) * std::cos(double((i + 1) * (t + 1)));
    double res[w];
    sparsemx_block_lanes = lanes;
    sparsecg_complete = 0;
    sparsecg_cg_block(x.data(), &r.a, &r.m, b.data(), &r.d, &r.band, &r.pool, w, 1e-12, 0.0, 200, &r.panel,
                      orthomin, precon, n, res);
    sparsemx_block_lanes = 0;
    sparsecg_complete = 1;
    for (int t = 0; t < w; t++) {
      std::vector<double> bt(static_cast<size_t>(n));
      for (int32_t i = 0; i < n; i++) bt[size_t(i)] = r.b.data[i] = b[size_t(i) * w + t];
      r.solve(orthomin, precon, 1e-12, 200);
      EXPECT_EQ(res[t], r.rms) << precon << " " << t;
      for (int32_t i = 0; i < n; i++) ASSERT_EQ(x[size_t(i) * w + t], r.x.data[i]) << precon << " " << t << " " << i;
      if (t != 2 && t != 11) {
        EXPECT_LT(max_rel_error(r.x, dense_solve(r.a.dense(), bt)), 1e-8) << precon << " " << t;
      }
    }
  }
}

TEST(Sparsecg, BlockByTheCompleteFactorMeetsTheDenseSolution) {
  // Three, eleven and 29 columns (eight- and four-lane groups, the rest, and a block wider
  // than one pass through the factor) of the 2D Laplacian by the complete factor: the dense
  // solution to rounding, also once its values change (the kept factor is not reused). A
  // matrix that is not positive definite, or singular, is declined, x untouched.
  for (int w : {3, 11, 29})
    for (double shift : {0.0, 1.5}) {
      Dense dense = five_point(8);
      for (size_t i = 0; i < dense.size(); i++) dense[i][i] += shift;
      Solve r(dense, orthomin, luprecon);
      int32_t n = r.a.rows;
      std::vector<double> b(size_t(n) * w), x(size_t(n) * w);
      for (int32_t i = 0; i < n; i++)
        for (int t = 0; t < w; t++) b[size_t(i) * w + t] = std::sin(double((i + 1) * (t + 2)));
      std::vector<double> res(static_cast<size_t>(w));
      sparsecg_cg_block(x.data(), &r.a, &r.m, b.data(), &r.d, &r.band, &r.pool, w, 1e-12, 0.0, 500, &r.panel, orthomin,
                        luprecon, n, res.data());
      for (int t = 0; t < w; t++) {
        std::vector<double> bt(static_cast<size_t>(n));
        for (int32_t i = 0; i < n; i++) bt[size_t(i)] = b[size_t(i) * w + t];
        std::vector<double> want = dense_solve(dense, bt);
        double most = 0, gap = 0;
        for (int32_t i = 0; i < n; i++)
          most = std::max(most, std::fabs(want[size_t(i)])),
          gap = std::max(gap, std::fabs(x[size_t(i) * w + t] - want[size_t(i)]));
        EXPECT_LT(gap, 1e-12 * most) << shift << " " << t;
        EXPECT_GT(res[size_t(t)], 0);
      }
    }
  const int w = 3;
  Dense dense = five_point(8);
  for (size_t i = 0; i < dense.size(); i++) dense[i][i] -= 4.0;
  Sparse a(dense);
  std::vector<double> b(size_t(a.rows) * w, 1.0), x(size_t(a.rows) * w, -7.0);
  EXPECT_FALSE(sparsechol_solve_block(x.data(), &a, b.data(), w, 12.0));
  EXPECT_EQ(x[0], -7.0);
  // Nor is one singular but for rounding: the Laplacian held by no value (rows of sum 0).
  for (size_t i = 0; i < dense.size(); i++) {
    dense[i][i] = 0;
    for (size_t j = 0; j < dense.size(); j++) dense[i][i] -= i == j ? 0 : dense[i][j];
  }
  Sparse s(dense);
  EXPECT_FALSE(sparsechol_solve_block(x.data(), &s, b.data(), w, 12.0));
  EXPECT_EQ(x[0], -7.0);
  sparsechol_release();
}

TEST(Sparsecg, CompleteFactorFollowsItsMatrixOnAKeptAnalysis) {
  // The Laplacian of an m x m grid held by its rim (plus a shift on the diagonal), with its
  // nodes numbered i -> i * step mod m^2, solved by the complete factor for a u known: new
  // values on one pattern are factored on the analysis kept from the first; a numbering of as
  // many rows and entries but another pattern is analysed anew; values made indefinite are
  // declined, x untouched, and held again factor. A small grid's factor is simplicial, a large
  // one's supernodal; a block of three turns the factor simplicial for its solve, which leaves
  // the kept analysis as it was for the next. The fingerprint is the caller's, taken once.
  const struct {
    double shift;
    int32_t step;
    bool factored;
  } table[] = {{0.0, 1, true}, {1.5, 1, true}, {0.0, 7, true}, {-9.0, 7, false}, {0.5, 7, true}, {0.5, 1, true}};
  for (int32_t m : {8, 90})
    for (int32_t w : {1, 3})
      for (const auto &t : table) {
        const int32_t n = m * m;
        Sparse a;
        sparsemx_new(&a, n, n);
        auto at = [&](int32_t i) { return int32_t(int64_t(i) * t.step % n) + 1; };
        for (int32_t i = 0; i < n; i++) {
          for (int32_t j : {i % m > 0 ? i - 1 : -1, i % m < m - 1 ? i + 1 : -1, i - m, i + m})
            if (j >= 0 && j < n) sparsemx_store(&a, at(i), at(j), -1.0);
          sparsemx_store(&a, at(i), at(i), 4.0 + t.shift);
        }
        std::vector<double> u(size_t(n) * w), b(size_t(n) * w), x(size_t(n) * w, -7.0);
        for (size_t k = 0; k < u.size(); k++) u[k] = std::sin(double(k + 1));
        sparsemx_mv_block(b.data(), &a, u.data(), w);
        uint64_t print = sparsemx_fingerprint(&a);
        EXPECT_EQ(sparsechol_solve_printed(x.data(), &a, print, b.data(), w, 12.0), t.factored)
            << m << " " << w << " " << t.shift << " " << t.step;
        if (!t.factored) {
          EXPECT_EQ(x[0], -7.0);
          continue;
        }
        double gap = 0;
        for (size_t k = 0; k < u.size(); k++) gap = std::max(gap, std::fabs(x[k] - u[k]));
        EXPECT_LT(gap, 1e-10) << m << " " << w << " " << t.shift << " " << t.step;
      }
  sparsechol_release();
}

TEST(Sparsecg, SingleSolveByTheCompleteFactorReadsNoIncompleteFactor) {
  // The Laplacian of a 72 x 72 grid (5184 rows, past the single solve's threshold for
  // the complete factor). Held by values on its rim it factors, and the solve then takes
  // the factor with the incomplete factor left empty: x meets the one b was made from.
  // Held by no value (rows of sum 0) it is declined, and the caller makes the incomplete one.
  const struct { bool held, factored; } table[] = {{true, true}, {false, false}};
  const int32_t m = 72, n = m * m;
  for (const auto &t : table) {
    Sparse a, empty;
    sparsemx_new(&a, n, n);
    for (int32_t i = 0; i < n; i++) {
      int32_t near[4] = {i % m > 0 ? i - 1 : -1, i % m < m - 1 ? i + 1 : -1, i - m, i + m}, links = 0;
      for (int32_t j : near)
        if (j >= 0 && j < n) sparsemx_store(&a, i + 1, j + 1, -1.0), links++;
      sparsemx_store(&a, i + 1, i + 1, t.held ? 4.0 : double(links));
    }
    EXPECT_EQ(sparsecg_single_factored(&a, orthomin, luprecon), t.factored) << t.held;
    if (!t.factored) continue;
    std::vector<double> want(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; i++) want[size_t(i)] = std::sin(double(i + 1));
    Vec u(want), b, d, x;
    sparsemx_mv_0(&b, &a, &u);
    bandmxd band{};
    vector2d pool{};
    vector2d_new(&pool, 0, 7);
    pad panel{};
    double rms = sparsecg_cg(&x, &a, &empty, &b, &d, &band, &pool, 1e-12, 0.0, 500, &panel, orthomin, luprecon, n);
    EXPECT_LT(max_rel_error(x, want), 1e-10);
    EXPECT_GT(rms, 0);
    vector2d_free(&pool, 1);
  }
  sparsechol_release();
}

TEST(Sparsecg, KeptFactorServesItsMatrixRescaled) {
  // The Laplacian of a 72 x 72 grid (a simplicial factor) and of a 20 x 20 x 20 one (a
  // supernodal factor, its dense blocks worth the BLAS), held by values on the rim: factored,
  // then rescaled to E A E in place. The kept factor, its rows rescaled, solves the new
  // matrix: x meets the u that b = (E A E) u was made from. A factor kept for other values
  // (a fingerprint that is not the one it was made at) is not rescaled.
  const struct { int32_t m, dims; } table[] = {{72, 2}, {20, 3}};
  for (const auto &t : table) {
    int32_t n = t.dims == 2 ? t.m * t.m : t.m * t.m * t.m;
    Sparse a;
    sparsemx_new(&a, n, n);
    int32_t step[3] = {1, t.m, t.m * t.m};
    for (int32_t i = 0; i < n; i++) {
      for (int32_t k = 0; k < t.dims; k++) {
        int32_t at = (i / step[k]) % t.m;
        if (at > 0) sparsemx_store(&a, i + 1, i + 1 - step[k], -1.0);
        if (at < t.m - 1) sparsemx_store(&a, i + 1, i + 1 + step[k], -1.0);
      }
      sparsemx_store(&a, i + 1, i + 1, 2.0 * t.dims);
    }
    ASSERT_TRUE(sparsechol_factor(&a, 40.0)) << t.dims;
    uint64_t before = sparsemx_fingerprint(&a);
    std::vector<double> e(static_cast<size_t>(n)), want(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; i++) e[size_t(i)] = 1.0 + 0.5 * std::sin(0.7 * i), want[size_t(i)] = std::cos(double(i));
    Vec ev(e), u(want), b;
    sparsemx_pre_scale_matrix(&a, &ev);
    sparsemx_post_scale_matrix(&a, &ev);
    EXPECT_FALSE(sparsechol_rescaled(&a, before + 1, e.data())) << t.dims;
    EXPECT_TRUE(sparsechol_rescaled(&a, before, e.data())) << t.dims;
    sparsemx_mv_0(&b, &a, &u);
    for (int w : {1, 2}) {
      std::vector<double> bw(size_t(n) * w), x(size_t(n) * w);
      for (int32_t i = 0; i < n; i++)
        for (int c = 0; c < w; c++) bw[size_t(i) * w + c] = b.data[i];
      ASSERT_TRUE(sparsechol_solve_block(x.data(), &a, bw.data(), w, 40.0));
      double gap = 0;
      for (int32_t i = 0; i < n; i++)
        for (int c = 0; c < w; c++) gap = std::max(gap, std::fabs(x[size_t(i) * w + c] - want[size_t(i)]));
      EXPECT_LT(gap, 1e-10) << t.dims << " " << w;
    }
    sparsechol_release();
  }
}

TEST(Sparsecg, CompleteLuMeetsTheDenseSolution) {
  // Convection-diffusion of two strengths in one matrix record: the dense solution to
  // rounding, the second after the values change (the kept factor is not reused). The
  // Laplacian held by no value (rows of sum 0) is declined, x untouched.
  Sparse a(five_point(8, 0.6));
  for (double beta : {0.6, 0.3}) {
    Dense dense = five_point(8, beta);
    Sparse fresh(dense);
    sparsemx_copyto_0(&a, &fresh);
    std::vector<double> b(dense.size()), x(dense.size());
    for (size_t i = 0; i < b.size(); i++) b[i] = std::sin(double(i + 1));
    ASSERT_TRUE(sparselu_solve(x.data(), &a, b.data(), 40.0));
    std::vector<double> want = dense_solve(dense, b);
    for (size_t i = 0; i < b.size(); i++) EXPECT_NEAR(x[i], want[i], 1e-13) << beta << " " << i;
  }
  Dense dense = five_point(8, 0.6);
  for (size_t i = 0; i < dense.size(); i++) {
    dense[i][i] = 0;
    for (size_t j = 0; j < dense.size(); j++) dense[i][i] -= i == j ? 0 : dense[i][j];
  }
  Sparse s(dense);
  std::vector<double> b(dense.size(), 1.0), x(dense.size(), -7.0);
  EXPECT_FALSE(sparselu_solve(x.data(), &s, b.data(), 40.0));
  EXPECT_EQ(x[0], -7.0);
  // A block of five columns solved by the nonsymmetric families takes the same factor
  // (made once for every column), the results written over the right-hand sides.
  for (int32_t family : {lanczos, vandenberg}) {
    const int w = 5;
    Dense conv = five_point(8, 0.3);
    Solve r(conv, family, luprecon);
    int32_t n = r.a.rows;
    EXPECT_TRUE(sparsecg_block_factored(&r.a, family, luprecon, w)) << family;
    std::vector<double> xb(size_t(n) * w), res(static_cast<size_t>(w));
    for (int32_t i = 0; i < n; i++)
      for (int t = 0; t < w; t++) xb[size_t(i) * w + t] = std::cos(double((i + 1) * (t + 3)));
    std::vector<double> bb = xb;
    sparsecg_cg_block(xb.data(), &r.a, &r.m, xb.data(), &r.d, &r.band, &r.pool, w, 1e-12, 0.0, 500, &r.panel, family,
                      luprecon, n, res.data());
    for (int t = 0; t < w; t++) {
      std::vector<double> bt(static_cast<size_t>(n));
      for (int32_t i = 0; i < n; i++) bt[size_t(i)] = bb[size_t(i) * w + t];
      std::vector<double> want = dense_solve(conv, bt);
      for (int32_t i = 0; i < n; i++) ASSERT_NEAR(xb[size_t(i) * w + t], want[size_t(i)], 1e-13) << family << " " << t;
      EXPECT_GT(res[size_t(t)], 0);
    }
  }
  sparselu_release();
}

TEST(Sparsecg, UpperTriangleAndWarmStartReachTheDenseSolution) {
  // The symmetric five-point matrix is taken by its upper triangle; convection, one entry
  // 1e-9 off its mirror, or one of its mirror's size but the other sign (a skew coupling) is
  // refused. The scaled orthomin on the triangle, cold and warm from the dense solution plus
  // a smooth offset, reaches the dense solution.
  Dense sym = five_point(10), off = sym, skew = sym;
  off[3][4] += 1e-9;
  skew[3][4] = -skew[3][4];
  {
    Sparse c(five_point(10, 0.4)), o(off), k(skew);
    EXPECT_FALSE(sparsecg_symmetric(&c));
    EXPECT_FALSE(sparsecg_symmetric(&o));
    EXPECT_FALSE(sparsecg_symmetric(&k));
  }
  for (bool warm : {false, true}) {
    Solve r(sym, orthomin, diprecon);
    ASSERT_TRUE(sparsecg_symmetric(&r.a));
    sparsecg_upper u;
    sparsecg_take_upper(&u, &r.a);
    EXPECT_EQ(u.rows, r.a.rows);
    EXPECT_EQ(u.start.back(), (sparsemx_entries(&r.a) - r.a.rows) / 2);
    vectord_resize(&r.x, r.a.rows, r.a.rows);
    for (int32_t i = 0; i < r.a.rows; i++) r.x.data[i] = r.want[size_t(i)] + 0.1 * std::cos(0.3 * i);
    r.rms = sparsecg_cg(&r.x, &r.a, &r.m, &r.b, &r.d, &r.band, &r.pool, 1e-10, 0.0, 200, &r.panel, orthomin, diprecon,
                        r.a.rows, &u, warm);
    EXPECT_LT(max_rel_error(r.x, r.want), 1e-6) << warm;
    for (int32_t i = 1; i <= r.pool.count; i++) EXPECT_EQ(r.pool.data[i - 1].count, 0);
  }
  // A triangle taken again, for new values on its layout or for another layout (one more
  // pair of entries; another size), is the triangle taken afresh.
  Dense scaled = sym, wider = sym;
  for (auto &row : scaled)
    for (double &v : row) v *= 1.5;
  wider[0][99] = wider[99][0] = -0.5;
  sparsecg_upper u;
  for (const Dense *d : {&sym, &scaled, &wider, &sym}) {
    Sparse a(*d), small(five_point(7));
    for (const Sparse *m : {&a, &small, &a}) {
      sparsecg_upper fresh;
      sparsecg_take_upper(&u, m);
      sparsecg_take_upper(&fresh, m);
      EXPECT_EQ(u.rows, m->rows);
      EXPECT_EQ(u.diag, fresh.diag);
      EXPECT_EQ(u.start, fresh.start);
      EXPECT_EQ(u.cols, fresh.cols);
      EXPECT_EQ(u.rises, fresh.rises);
      EXPECT_EQ(u.values, fresh.values);
      EXPECT_EQ(fresh.values.size(), size_t(u.start.back()));
    }
  }
}

TEST(Sparsecg, LargeScaledSolveMeetsItsSystemWhetherOrNotSymmetric) {
  // A seven-point Laplacian on a 60^3 grid (1.5 million entries, more than stays in the
  // cache between products) with a wide shift, solved by the diagonally scaled orthomin for
  // a smooth known x: the symmetric matrix is read by its scaled upper triangle; the same
  // matrix with every entry right of the diagonal 1e-4 larger than its mirror must still be
  // met by the product of the whole matrix (its upper triangle alone would miss by 1e-4).
  const int32_t m = 60, n = m * m * m;
  for (double skew : {0.0, 1e-4}) {
    Sparse a;
    sparsemx_new(&a, n, n);
    auto at = [&](int32_t x, int32_t y, int32_t z) { return 1 + x + m * (y + m * z); };
    for (int32_t z = 0; z < m; z++)
      for (int32_t y = 0; y < m; y++)
        for (int32_t x = 0; x < m; x++) {
          int32_t i = at(x, y, z);
          if (z > 0) sparsemx_store(&a, i, at(x, y, z - 1), -1.0);
          if (y > 0) sparsemx_store(&a, i, at(x, y - 1, z), -1.0);
          if (x > 0) sparsemx_store(&a, i, at(x - 1, y, z), -1.0);
          sparsemx_store(&a, i, i, 6.5 + 0.5 * std::sin(0.01 * i));
          if (x + 1 < m) sparsemx_store(&a, i, at(x + 1, y, z), -1.0 - skew);
          if (y + 1 < m) sparsemx_store(&a, i, at(x, y + 1, z), -1.0 - skew);
          if (z + 1 < m) sparsemx_store(&a, i, at(x, y, z + 1), -1.0 - skew);
        }
    EXPECT_EQ(sparsecg_symmetric(&a), skew == 0.0);
    Vec want, b, d, x;
    vectord_resize(&want, n, n);
    for (int32_t i = 0; i < n; i++) want.data[i] = std::cos(0.001 * i) + 0.5 * std::sin(0.037 * i);
    sparsemx_mv_0(&b, &a, &want);
    sparsemx_diag_dip(&d, &a, 1);
    vector2d pool{};
    vector2d_new(&pool, 0, 7);
    sparsecg_cg(&x, &a, nullptr, &b, &d, nullptr, &pool, 1e-13, 0.0, 2000, nullptr, orthomin, diprecon, n);
    Vec ax;
    sparsemx_mv_0(&ax, &a, &x);
    double miss = 0, size = 0, err = 0;
    for (int32_t i = 0; i < n; i++) {
      miss = std::max(miss, std::fabs(ax.data[i] - b.data[i])), size = std::max(size, std::fabs(b.data[i]));
      err = std::max(err, std::fabs(x.data[i] - want.data[i]));
    }
    EXPECT_LT(miss / size, 1e-8) << skew;
    EXPECT_LT(err, 1e-7) << skew;
    vector2d_free(&pool, 1);
  }
}

TEST(Sparsecg, GivenUpperTriangleSolvesByRisesOrColumns) {
  // The upper triangle a time run gives the scaled orthomin holds its columns as their rises
  // where none passes 65535, as columns where one does (rows 1 and n coupled in 70001
  // unknowns); either way the solve meets the known x of the tridiagonal system.
  const int32_t n = 70001;
  for (bool far : {false, true}) {
    Sparse a;
    sparsemx_new(&a, n, n);
    for (int32_t i = 1; i <= n; i++) {
      if (i > 1) sparsemx_store(&a, i, i - 1, -1.0);
      sparsemx_store(&a, i, i, 3.0 + std::cos(0.01 * i));
      if (i < n) sparsemx_store(&a, i, i + 1, -1.0);
    }
    if (far) sparsemx_store(&a, 1, n, -0.5), sparsemx_store(&a, n, 1, -0.5);
    sparsecg_upper u;
    sparsecg_take_upper(&u, &a);
    EXPECT_EQ(u.rises.empty(), far);
    EXPECT_EQ(u.cols.empty(), !far);
    Vec want, b, d, x;
    vectord_resize(&want, n, n);
    for (int32_t i = 0; i < n; i++) want.data[i] = std::sin(0.002 * i);
    sparsemx_mv_0(&b, &a, &want);
    sparsemx_diag_dip(&d, &a, 1);
    vector2d pool{};
    vector2d_new(&pool, 0, 7);
    sparsecg_cg(&x, &a, nullptr, &b, &d, nullptr, &pool, 1e-13, 0.0, 2000, nullptr, orthomin, diprecon, n, &u);
    double err = 0;
    for (int32_t i = 0; i < n; i++) err = std::max(err, std::fabs(x.data[i] - want.data[i]));
    EXPECT_LT(err, 1e-7) << far;
    vector2d_free(&pool, 1);
  }
}

TEST(Sparsecg, AsymptoteOfSquares) {
  // v = k^2: before 12 values the measure is v; at 13 the RMS of the 12 differences
  // 3, 5, ..., 25 between consecutive squares.
  Asymptote hist;
  for (int k = 1; k <= 11; k++) EXPECT_EQ(hist.step(k, k * k), k * k);
  hist.step(12, 144);
  EXPECT_DOUBLE_EQ(hist.step(13, 169), std::sqrt(2924.0 / 12));
}

}  // namespace
