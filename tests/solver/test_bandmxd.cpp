// The band matrix against the Thomas algorithm, dense LU solves of A and A', and
// the dense Cholesky.
#include <cstring>
#include <functional>

#include "solver/bandmxd.h"
#include "tests/runtime/dense.h"

namespace {

struct Band : bandmxd {
  Band(int n, int b) : bandmxd{} { bandmxd_new(this, n, b); }
  Band(const Band &) = delete;
  ~Band() { bandmxd_free(this); }
};

// A random diagonally dominant band matrix and its dense copy.
void random_band(Band &a, Mat &dense, int n, std::mt19937 &g) {
  std::uniform_real_distribution<double> u(-1, 1);
  matrixd_resize(&dense, n, n);
  matrixd_copyto_1(&dense, 0);
  for (int i = 1; i <= n; i++)
    for (int j = std::max(1, i - a.half); j <= std::min(n, i + a.half); j++) {
      double v = u(g) + (i == j ? 2 * a.width : 0);
      bandmxd_store(&a, i, j, v);
      dense(i, j) = v;
    }
}

TEST(Bandmxd, ShapeAndOutOfBandEntries) {
  const struct {
    int b, h, w;
  } cases[] = {{10, 5, 11}, {11, 5, 11}, {0, 0, 1}};
  for (auto c : cases) {
    Band a(7, c.b);
    EXPECT_EQ(a.half, c.h) << c.b;
    EXPECT_EQ(a.width, c.w) << c.b;
    EXPECT_EQ(a.capacity, 7 * c.w) << c.b;
  }
  Band a(12, 10);
  bandmxd_copyto_1(&a, 3);
  std::vector<double> before(a.data, a.data + a.capacity);
  EXPECT_EQ(bandmxd_fetch(&a, 1, a.half + 2), 0);
  EXPECT_EQ(bandmxd_fetch(&a, 1, a.half + 1), 3);
  bandmxd_store(&a, 1, a.half + 2, 9);
  bandmxd_store(&a, 12, 12 - a.half - 1, 9);
  EXPECT_EQ(memcmp(before.data(), a.data, before.size() * sizeof(double)), 0);
}

TEST(Bandmxd, TridiagonalSolveIsThomasAlgorithm) {
  const int n = 9;
  std::vector<double> rhs(n + 1), c(n + 1), d(n + 1), x(n + 1);
  Band a(n, 2);
  // Thomas: eliminate the subdiagonal lo, then substitute back.
  for (int i = 1; i <= n; i++) {
    double lo = -1 - 0.1 * i, up = 0.5 * i, di = 4 + i, m = di - lo * c[i - 1];
    rhs[i] = std::sin(i);
    bandmxd_store(&a, i, i, di), bandmxd_store(&a, i, i - 1, lo), bandmxd_store(&a, i, i + 1, up);
    c[i] = up / m;
    d[i] = (rhs[i] - lo * d[i - 1]) / m;
  }
  for (int i = n; i >= 1; i--) x[i] = d[i] - (i < n ? c[i] * x[i + 1] : 0);
  Vec b(std::vector<double>(rhs.begin() + 1, rhs.end())), got;
  ASSERT_TRUE(bandmxd_lu_factor(&a));
  bandmxd_lu_solve(&got, &a, &b);
  for (int i = 1; i <= n; i++) EXPECT_NEAR(got(i), x[i], 1e-14) << i;
}

TEST(Bandmxd, SolvesAgreeWithDenseLu) {
  const int n = 200;
  std::mt19937 g(17);
  std::vector<double> rhs(n);
  for (int i = 0; i < n; i++) rhs[i] = std::cos(i);
  for (int h = 1; h <= 10; h++) {
    Band a(n, 2 * h);
    Mat dense, dt;
    random_band(a, dense, n, g);
    matrixd_transpose_3(&dt, &dense);
    // The products first, against the dense ones.
    Vec b(rhs), y, z, bd, bt, x, xt, s;
    for (bool t : {false, true}) {
      (t ? bandmxd_mtv : bandmxd_mv)(&y, &a, &b);
      (t ? matrixd_mtv_1 : matrixd_mv_1)(&z, &dense, &b);
      for (int i = 1; i <= n; i++) ASSERT_NEAR(y(i), z(i), 1e-12) << h << " " << t;
    }
    // Then the solves with A and A'.
    ASSERT_TRUE(bandmxd_lu_factor(&a));
    bandmxd_lu_solve(&x, &a, &b);
    bandmxd_lu_solvet(&xt, &a, &b);
    for (Mat *m : {&dense, &dt}) {
      vectorn p = {};
      Vec rhs_copy(rhs);
      matrixd_lu_fac(m, &s, &p);
      matrixd_lu_sol_0(m == &dense ? &bd : &bt, m, &rhs_copy, &p);
      vectorn_free(&p);
    }
    for (int i = 1; i <= n; i++) {
      EXPECT_NEAR(x(i), bd(i), 1e-12) << h << " " << i;
      EXPECT_NEAR(xt(i), bt(i), 1e-12) << h << " " << i;
    }
  }
}

TEST(Bandmxd, ZeroPivotIsReportedWithoutTrap) {
  Armed armed;
  DebugCapture log;
  Band a(3, 2);
  bandmxd_store(&a, 1, 2, 1);
  bandmxd_store(&a, 2, 1, 1);
  bandmxd_store(&a, 3, 3, 1);
  bool ok = true;
  EXPECT_EQ(fatal_stop([&] { ok = bandmxd_lu_factor(&a); }), "");
  EXPECT_FALSE(ok);
  EXPECT_EQ(log.text(), "BAND LU ZERO PIVOT IN ROW 1\n");
}

TEST(Bandmxd, DenseCholeskyOnStrideStorage) {
  const int n = 5;
  Band a(n, n), f(1, 0);
  Mat t, l;
  tridiag(t, n, -1, 2);
  memcpy(a.data, t.data, n * n * sizeof(double));
  ASSERT_TRUE(bandmxd_chol_factor(&a, &f, false));
  ASSERT_TRUE(matrixd_chol_factor(&t, &l, false));
  EXPECT_EQ(memcmp(f.data, l.data, n * n * sizeof(double)), 0);
  Vec b({1, 2, 3, 4, 5}), x, y;
  bandmxd_chol_solve(&x, &f, &b);
  matrixd_mv_1(&y, &t, &x);
  for (int i = 1; i <= n; i++) EXPECT_NEAR(y(i), b(i), 1e-13) << i;
  // Negated, the matrix is not positive definite; a zero pivot fails without a trap.
  EXPECT_FALSE(bandmxd_chol_factor(&a, &f, true));
  Armed armed;
  memset(a.data, 0, n * n * sizeof(double));
  bool ok = true;
  EXPECT_EQ(fatal_stop([&] { ok = bandmxd_chol_factor(&a, &f, false); }), "");
  EXPECT_FALSE(ok);
}

TEST(Bandmxd, FatalStops) {
  Band a(4, 2), small(4, 2);
  Vec v({1, 2, 3, 4}), w({1, 2});
  const struct {
    std::function<void()> call;
    const char *text;
  } cases[] = {
      {[&] { bandmxd_lu_solve(&v, &a, &w); }, "MATRIX DIMENSION ERROR IN bandmxd_lu_solve_0"},
      {[&] { bandmxd_lu_solvet(&v, &a, &w); }, "MATRIX DIMENSION ERROR IN bandmxd_lu_solvet_0"},
      {[&] { bandmxd_mvdif(&v, &a, &v); }, "MATRIX OVERWRITE IN bandmxd_mvdif_0"},
      {[&] { bandmxd_mtvsum(&v, &a, &v); }, "MATRIX OVERWRITE IN bandmxd_mtvsum_0"},
      {[&] { bandmxd_resize(&a, 2, 65536); }, "MATRIX DIMENSION ERROR IN bandmxd_resize_0"},
      {[&] { bandmxd_new(&a, 2, 2); }, "NEW MATRIX ALREADY ALLOCATED IN bandmxd_new_0"},
      {[&] { bandmxd_chol_factor(&small, &a, false); }, "MATRIX DIMENSION ERROR IN bandmxd_chol_factor_0"},
  };
  for (auto &c : cases) EXPECT_EQ(fatal_stop(c.call), c.text);
}

TEST(Bandmxd, PrintLayout) {
  Band a(3, 10);
  for (int i = 1; i <= 3; i++)
    for (int j = 1; j <= 3; j++) bandmxd_store(&a, i, j, i == j ? 4.5 : -1.0 / (i + j));
  FILE *f = tmpfile();
  bandmxd_print(f, &a, "B h=5");
  rewind(f);
  expect_golden("bandmxd_print.txt", slurp_stream(f));
  fclose(f);
}

}  // namespace
