// The dense matrix against exact determinants, analytic spectra, identities of the
// inverse and, when it is installed, the reference LAPACK eigensolvers.
#include <algorithm>
#include <functional>

#include "tests/runtime/dense.h"

namespace {

const double pi = std::acos(-1.0);

TEST(Matrixd, LuDeterminantsOfHilbertMatrices) {
  // Exact values 1/det(H_n) from rational arithmetic.
  const struct {
    int n;
    double inverse_det;
  } cases[] = {{3, 2160.0}, {4, 6048000.0}, {5, 266716800000.0}};
  for (auto c : cases) {
    Mat h(c.n, c.n);
    for (int i = 1; i <= c.n; i++)
      for (int j = 1; j <= c.n; j++) h(i, j) = 1.0 / (i + j - 1);
    Vec s;
    vectorn p = {};
    double det = matrixd_det(&h, matrixd_lu_fac(&h, &s, &p));
    EXPECT_NEAR(det * c.inverse_det, 1.0, 1e-9) << "H" << c.n;
    vectorn_free(&p);
  }
  Mat swap(2, 2, {0, 1, 1, 0});
  Vec s;
  vectorn p = {};
  EXPECT_EQ(matrixd_det(&swap, matrixd_lu_fac(&swap, &s, &p)), -1.0);  // parity -1
  vectorn_free(&p);
}

TEST(Matrixd, InverseTimesMatrixIsIdentity) {
  std::mt19937 g(11);
  for (int n = 1; n <= 20; n++) {
    Mat a, inv, prod;
    random_dominant(a, n, g);
    matrixd_copyto_0(&inv, &a);
    ASSERT_TRUE(matrixd_invert(&inv)) << n;
    matrixd_mm_2(&prod, &a, &inv);
    EXPECT_LT(dist_to_identity(prod), 1e-12) << n;
  }
}

TEST(Matrixd, SingularInversesGiveIdentityAndCheckpoint) {
  const double nan = std::nan("");
  const struct {
    int n;
    std::vector<double> a;
    const char *line;
  } cases[] = {
      {1, {0}, ""},
      {2, {1, 2, 2, 4}, "Matrix is Singular at Checkpoint 2\n"},
      {3, {1, 2, 3, 4, 5, 6, 5, 7, 9}, "Matrix is Singular at Checkpoint 3\n"},
      {4, std::vector<double>(16, nan), "Matrix is Singular at Checkpoint 4\n"},
      {4, {1, 2, 0, 0, 3, 1, 0, 1, 0, 0, 2, 1, 0, 0, 0, 0}, "Matrix is Singular at Checkpoint 5\n"},
  };
  for (auto &c : cases) {
    DebugCapture log;
    Mat m(c.n, c.n, c.a);
    EXPECT_FALSE(matrixd_invert(&m)) << c.n;
    EXPECT_EQ(dist_to_identity(m), 0) << c.n;
    EXPECT_EQ(log.text(), c.line);
  }
}

// The eigenpairs of tridiag(-1, 2, -1), n = 5: 2 - 2cos(k pi/6), sin(jk pi/6)/sqrt(3).
void expect_tridiagonal_pairs(const vectord &d, const matrixd &v, double sign, const char *how) {
  for (int k = 1; k <= 5; k++) {
    EXPECT_NEAR(d.data[k - 1], sign * (2 - 2 * std::cos(k * pi / 6)), 1e-12) << how << " " << k;
    double flip = v.data[k - 1] * std::sin(k * pi / 6) < 0 ? -1 : 1;  // column k, row 1
    for (int j = 1; j <= 5; j++)
      EXPECT_NEAR(flip * v.data[(j - 1) * 5 + k - 1], std::sin(j * k * pi / 6) / std::sqrt(3.0), 1e-12)
          << how << " " << k << "," << j;
  }
}

TEST(Matrixd, TridiagonalSpectrumByQlAndJacobi) {
  Mat a, v;
  Vec d, e;
  tridiag(a, 5, -1, 2);
  matrixd_tred2(&a, &d, &e);
  ASSERT_TRUE(matrixd_tqli(&d, &e, &a));
  matrixd_sort_eig(&d, &a);
  expect_tridiagonal_pairs(d, a, 1, "tqli");
  tridiag(a, 5, -1, 2);
  matrixd_jacobi(&a, &d, &v);
  matrixd_sort_eig(&d, &v);
  expect_tridiagonal_pairs(d, v, 1, "jacobi");
}

TEST(Matrixd, GeneralisedEigenproblem) {
  Mat k, m, v, kx, mx;
  Vec d;
  tridiag(k, 5, -1, 2);
  tridiag(m, 5, 1.0 / 6, 4.0 / 6);
  ASSERT_TRUE(matrixd_gen_eig(&d, &v, &k, &m));
  // Roots of det(K - lambda M): 6(1 - cos t)/(2 + cos t), t = k pi/6.
  for (int j = 1; j <= 5; j++) {
    double t = j * pi / 6;
    EXPECT_NEAR(d(j), 6 * (1 - std::cos(t)) / (2 + std::cos(t)), 1e-12) << j;
  }
  matrixd_mm_2(&kx, &k, &v);
  matrixd_mm_2(&mx, &m, &v);
  for (int j = 1; j <= 5; j++) {
    double norm = 0;
    for (int i = 1; i <= 5; i++) {
      EXPECT_NEAR(kx(i, j), d(j) * mx(i, j), 1e-12) << i << "," << j;
      norm += v(i, j) * v(i, j);
    }
    EXPECT_NEAR(norm, 1, 1e-12) << j;
  }
  // B = I and B = -I give the ordinary spectrum and its negative.
  for (double sign : {1.0, -1.0}) {
    Mat b(5, 5);
    matrixd_identity(&b);
    matrixd_multo_0(&b, sign);
    ASSERT_TRUE(matrixd_gen_eig(&d, &v, &k, &b));
    expect_tridiagonal_pairs(d, v, sign, sign > 0 ? "B = I" : "B = -I");
  }
  Mat indefinite(5, 5);
  matrixd_identity(&indefinite);
  indefinite(3, 3) = -1;
  EXPECT_FALSE(matrixd_gen_eig(&d, &v, &k, &indefinite));
}

TEST(Matrixd, InverseRoots) {
  const struct {
    std::vector<double> a;
    int k;
    std::vector<double> r;
  } cases[] = {
      {{4, 0, 0, 9}, 1, {0.5, 0, 0, 1.0 / 3}},
      {{4, 0, 0, 9}, 0, {0.25, 0, 0, 1.0 / 9}},
      {{0, 0, 0, 4}, 1, {1, 0, 0, 0.5}},  // a zero eigenvalue contributes 1
  };
  for (auto &c : cases) {
    Mat a(2, 2, c.a), want(2, 2, c.r), r;
    matrixd_insqrt(&r, &a, c.k);
    EXPECT_LT(max_diff(r, want), 1e-15) << c.a[0] << " k=" << c.k;
  }
  std::mt19937 g(3);
  for (int n : {2, 3, 6, 10}) {
    Mat a, r, ra, rar;
    random_spd(a, n, g);
    matrixd_insqrt(&r, &a, 1);
    matrixd_mm_2(&ra, &r, &a);
    matrixd_mm_2(&rar, &ra, &r);
    EXPECT_LT(dist_to_identity(rar), 1e-10) << n;
  }
}

TEST(Matrixd, CholeskyOfSecondDifferences) {
  Mat a, l, lu;
  tridiag(a, 6, -1, 2);
  ASSERT_TRUE(matrixd_chol_factor(&a, &l, false));
  for (int i = 1; i <= 6; i++) EXPECT_NEAR(1 / (l(i, i) * l(i, i)), (i + 1.0) / i, 1e-14) << i;
  Vec b({1, -2, 3, 0.5, 4, -1}), x, y, s;
  matrixd_chol_solve(&x, &l, &b);
  matrixd_copyto_0(&lu, &a);
  vectorn p = {};
  matrixd_lu_fac(&lu, &s, &p);
  matrixd_lu_sol_0(&y, &lu, &b, &p);
  for (int i = 1; i <= 6; i++) EXPECT_NEAR(x(i), y(i), 1e-13) << i;
  vectorn_free(&p);
  // An exact zero pivot is reported, not divided by, with the traps armed.
  Armed armed;
  Mat z(2, 2, {0, 0, 0, 1});
  bool ok = true;
  EXPECT_EQ(fatal_stop([&] { ok = matrixd_chol_factor(&z, &l, false); }), "");
  EXPECT_FALSE(ok);
}

TEST(Matrixd, FatalStops) {
  Mat a(2, 3), b(2, 3), sq(2, 2, {1, 2, 0, 0}), c;
  Vec v({1, 2}), w;
  vectorn p = {};
  const struct {
    std::function<void()> call;
    const char *text;
  } cases[] = {
      {[&] { matrixd_mm_2(&c, &a, &b); }, "MATRIX DIMENSION ERROR IN matrixd_mm_2"},
      {[&] { matrixd_mm_2(&sq, &sq, &sq); }, "MATRIX OVERWRITE IN matrixd_mm_2"},
      {[&] { matrixd_mvsum_2(&v, &sq, &v); }, "MATRIX OVERWRITE IN matrixd_mvsum_2"},
      {[&] { matrixd_resize(&c, 65536, 1); }, "MATRIX DIMENSION ERROR IN matrixd_resize_0"},
      {[&] { matrixd_new(&a, 1, 1); }, "NEW MATRIX ALREADY ALLOCATED IN matrixd_new_0"},
      {[&] { matrixd_lu_fac(&sq, &w, &p); }, "Singular Matrix in LU_FAC IN matrixd_lu_fac_0"},
      {[&] { matrixd_lu_sol_0(&w, &sq, &w, &p); }, "MATRIX DIMENSION ERROR IN matrixd_lu_sol_0"},
      {[&] { matrixd_gen_eig(&w, &c, &sq, &a); }, "Dimension Error IN matrixd_gen_eig_0"},
      {[&] {
         Mat bad(2, 2, {1, std::nan(""), std::nan(""), 1});
         matrixd_jacobi(&bad, &w, &c);
       },
       "Convergence Failure. IN matrixd_jacobi_0"},
  };
  for (auto &c : cases) EXPECT_EQ(fatal_stop(c.call), c.text);
  vectorn_free(&p);
}

TEST(Matrixd, PrintLayout) {
  Mat a(3, 12);
  for (int i = 1; i <= 3; i++)
    for (int j = 1; j <= 12; j++) a(i, j) = (j % 2 ? 1 : -1) * (i * 100 + j) / 7.0;
  a(2, 5) = 0;
  FILE *f = tmpfile();
  matrixd_print(f, &a, "A 3 x 12");
  rewind(f);
  expect_golden("matrixd_print.txt", slurp_stream(f));
  fclose(f);
}

#ifdef QUENDAR_HAVE_LAPACK
extern "C" {
void dsyev_(const char *, const char *, const int *, double *, const int *, double *, double *, const int *,
            int *, size_t, size_t);
void dsygv_(const int *, const char *, const char *, const int *, double *, const int *, double *, const int *,
            double *, double *, const int *, int *, size_t, size_t, size_t);
}
#endif

// Eigenvalues in ascending order, compared relative to the largest magnitude.
void expect_same_spectrum(std::vector<double> want, const vectord &got, const char *how) {
  std::vector<double> g(got.data, got.data + got.count);
  std::sort(want.begin(), want.end());
  std::sort(g.begin(), g.end());
  double scale = std::max(std::fabs(want.front()), std::fabs(want.back()));
  for (size_t i = 0; i < want.size(); i++) EXPECT_NEAR(g[i], want[i], 1e-12 * scale) << how << " " << i;
}

TEST(Matrixd, SpectraAgreeWithLapack) {
#ifndef QUENDAR_HAVE_LAPACK
  GTEST_SKIP() << "LAPACK not found: install the Debian package liblapack-dev";
#else
  const int n = 30, lwork = 64 * n, one = 1;
  std::vector<double> w(n), work(lwork);
  int info;
  std::mt19937 g(13);
  for (int round = 0; round < 3; round++) {
    Mat a, b, q, v;
    Vec d, e;
    random_symmetric(a, n, g);
    random_spd(b, n, g);
    // Row-major symmetric matrices are their own column-major copies.
    std::vector<double> fa(a.data, a.data + n * n), fb(b.data, b.data + n * n);
    dsyev_("N", "U", &n, fa.data(), &n, w.data(), work.data(), &lwork, &info, 1, 1);
    ASSERT_EQ(info, 0);
    matrixd_copyto_0(&q, &a);
    matrixd_jacobi(&q, &d, &v);
    expect_same_spectrum(w, d, "jacobi");
    matrixd_copyto_0(&q, &a);
    matrixd_tred2(&q, &d, &e);
    ASSERT_TRUE(matrixd_tqli(&d, &e, &q));
    expect_same_spectrum(w, d, "tqli");
    fa.assign(a.data, a.data + n * n);
    dsygv_(&one, "N", "U", &n, fa.data(), &n, fb.data(), &n, w.data(), work.data(), &lwork, &info, 1, 1, 1);
    ASSERT_EQ(info, 0);
    ASSERT_TRUE(matrixd_gen_eig(&d, &v, &a, &b));
    expect_same_spectrum(w, d, "gen_eig");
  }
#endif
}

}  // namespace
