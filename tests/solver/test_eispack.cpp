// The QZ routines against the roots of det(A - lambda B), analytic pencil spectra,
// the defining residual of every eigenvector and, when installed, the reference LAPACK.
#include <complex>
#include <functional>

#include "solver/eispack.h"
#include "tests/runtime/dense.h"

namespace {

using cplx = std::complex<double>;
const double pi = std::acos(-1.0);

// One pencil solved with eispack_rgg on copies of a and b.
struct Solved {
  Vec ar, ai, be;
  Mat z;
  uint16_t ierr = 99;
  Solved(const matrixd &a0, const matrixd &b0, uint16_t vectors = 1) {
    Mat a, b;
    matrixd_copyto_0(&a, &a0);
    matrixd_copyto_0(&b, &b0);
    eispack_rgg(&a, &b, &ar, &ai, &be, vectors, &z, &ierr);
  }
  cplx alpha(int k) const { return {ar(k), ai(k)}; }
  // Component i of eigenvector k (the conjugate for the second of a pair).
  cplx vec(int i, int k) {
    if (ai(k) > 0) return {z(i, k), z(i, k + 1)};
    if (ai(k) < 0) return {z(i, k - 1), -z(i, k)};
    return z(i, k);
  }
};

// Largest row sum of magnitudes.
double norm_inf(const matrixd &m) {
  double d = 0;
  for (int i = 0; i < m.rows; i++) {
    double s = 0;
    for (int j = 0; j < m.cols; j++) s += std::fabs(m.data[i * m.cols + j]);
    d = std::max(d, s);
  }
  return d;
}

// What holds for every solution: beta >= 0, pairs adjacent and conjugate with the
// positive imaginary part first, beta A z = alpha B z to roundoff, and the largest
// component of every vector of modulus 1. Returns the number of betas that are
// exactly 0 (infinite eigenvalues).
int expect_sound(const matrixd &a, const matrixd &b, Solved &s, const std::string &name) {
  const int n = a.rows;
  const double na = norm_inf(a), nb = norm_inf(b);
  int infinite = 0;
  EXPECT_EQ(s.ierr, 0) << name;
  for (int k = 1; k <= n; k++) {
    EXPECT_GE(s.be(k), 0.0) << name << " " << k;
    if (s.be(k) == 0.0) infinite++;
    if (s.ai(k) > 0) {
      EXPECT_LT(s.ai(k + 1), 0.0) << name << " " << k;
      cplx l1 = s.alpha(k) / s.be(k), l2 = s.alpha(k + 1) / s.be(k + 1);
      EXPECT_LT(std::abs(l1 - std::conj(l2)), 1e-12 * std::abs(l1)) << name << " " << k;
    } else if (s.ai(k) < 0) {
      EXPECT_GT(s.ai(k - 1), 0.0) << name << " " << k;
    }
    double big = 0, res = 0;
    for (int i = 1; i <= n; i++) {
      big = std::max(big, std::abs(s.vec(i, k)));
      cplx r = 0;
      for (int j = 1; j <= n; j++)
        r += (s.be(k) * a.data[(i - 1) * n + j - 1] - s.alpha(k) * b.data[(i - 1) * n + j - 1]) * s.vec(j, k);
      res = std::max(res, std::abs(r));
    }
    EXPECT_NEAR(big, 1.0, 1e-14) << name << " " << k;
    EXPECT_LE(res, 1e-12 * (s.be(k) * na + std::abs(s.alpha(k)) * nb)) << name << " " << k;
  }
  return infinite;
}

// Each wanted eigenvalue matched to the nearest finite one found, within rel * |want|.
void expect_spectrum(Solved &s, std::vector<cplx> want, double rel, const std::string &name) {
  std::vector<cplx> got;
  for (int k = 1; k <= s.be.count; k++)
    if (s.be(k) != 0) got.push_back(s.alpha(k) / s.be(k));
  ASSERT_EQ(got.size(), want.size()) << name;
  for (cplx w : want) {
    auto it = std::min_element(got.begin(), got.end(),
                               [&](cplx x, cplx y) { return std::abs(x - w) < std::abs(y - w); });
    EXPECT_LE(std::abs(*it - w), rel * std::abs(w)) << name << " want " << w << " got " << *it;
    got.erase(it);
  }
}

// Known pencils; here and in the random ones the floating-point traps are armed
// as in a run.
TEST(Eispack, KnownPencils) {
  Armed armed;
  // K, M = tridiag(-1, 2, -1), tridiag(1, 4, 1) / 6 of order 5 and the identities.
  Mat k5, m5;
  tridiag(k5, 5, -1, 2);
  tridiag(m5, 5, 1.0 / 6, 4.0 / 6);
  auto values = [](const Mat &m) { return std::vector<double>(m.data, m.data + m.rows * m.cols); };
  std::vector<double> id4(16), id5(25);
  for (int i = 0; i < 5; i++) id5[i * 6] = 1, id4[i * 5 % 16] = i < 4;
  std::vector<cplx> laplace, fem;
  for (int k = 1; k <= 5; k++) {
    double c = std::cos(k * pi / 6);
    laplace.push_back(2 - 2 * c);
    fem.push_back(6 * (1 - c) / (2 + c));
  }
  const struct {
    const char *name;
    int n;
    std::vector<double> a, b;
    std::vector<cplx> want;  // the finite eigenvalues
    int infinite;
  } cases[] = {
      {"1x1", 1, {3}, {-2}, {-1.5}, 0},
      // det(A - lambda B) = -13 lambda^3 + 39 lambda^2 - 42 lambda + 26 (sympy roots).
      {"3x3 complex pair", 3, {1, 2, 0, -3, 1, 1, 0, 2, 4}, {2, 1, 0, 0, 3, 1, 1, 0, 2},
       {1.83256322529338, {0.583718387353308, 0.866395044914513}, {0.583718387353308, -0.866395044914513}}, 0},
      {"singular B", 2, {2, 1, 1, 3}, {1, 0, 0, 0}, {5.0 / 3}, 1},
      {"4-cycle", 4, {0, 0, 0, 1, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0}, id4, {1.0, -1.0, {0, 1}, {0, -1}}, 0},
      {"laplace 5", 5, values(k5), id5, laplace, 0},
      {"stiffness-mass 5", 5, values(k5), values(m5), fem, 0},
  };
  for (auto &c : cases) {
    Mat a(c.n, c.n, c.a), b(c.n, c.n, c.b);
    Solved s(a, b);
    EXPECT_EQ(expect_sound(a, b, s, c.name), c.infinite) << c.name;
    expect_spectrum(s, c.want, 1e-12, c.name);
    if (c.n == 1)  // beta made positive by moving the sign to alpha; the vector is [1]
      EXPECT_EQ(std::vector<double>({s.ar(1), s.be(1), s.z(1, 1)}), std::vector<double>({-3, 2, 1}));
  }
  // Nothing ever deflates in a pencil of NaNs: the iterations run out while the
  // last eigenvalue is sought.
  Mat a(3, 3, std::vector<double>(9, std::nan(""))), b(3, 3, {1, 0, 0, 0, 1, 0, 0, 0, 1});
  Solved s(a, b);
  EXPECT_EQ(s.ierr, 3);
}

// Random pencils, some with a singular B (a zero last column: one infinite
// eigenvalue); the path without vectors finds the same eigenvalues.
TEST(Eispack, RandomPencilsAreSound) {
  Armed armed;
  std::mt19937 g(5);
  for (int n = 1; n <= 14; n++) {
    for (int singular = 0; singular <= (n > 1); singular++) {
      Mat a, b;
      random_fill(a, n, n, g);
      random_fill(b, n, n, g);
      if (singular)
        for (int i = 1; i <= n; i++) b(i, n) = 0;
      std::string name = std::to_string(n) + (singular ? " singular" : "");
      Solved s(a, b), values(a, b, 0);
      EXPECT_EQ(expect_sound(a, b, s, name), singular) << name;
      std::vector<cplx> want;
      for (int k = 1; k <= n; k++)
        if (s.be(k) != 0) want.push_back(s.alpha(k) / s.be(k));
      expect_spectrum(values, want, 1e-9, name + " without vectors");
    }
  }
}

#ifdef QUENDAR_HAVE_LAPACK
extern "C" void dggev_(const char *, const char *, const int *, double *, const int *, double *, const int *,
                       double *, double *, double *, double *, const int *, double *, const int *, double *,
                       const int *, int *, size_t, size_t);
#endif

TEST(Eispack, RandomPencilsAgreeWithLapack) {
#ifndef QUENDAR_HAVE_LAPACK
  GTEST_SKIP() << "LAPACK not found: install the Debian package liblapack-dev";
#else
  const int n = 10, one = 1, lwork = 16 * n;
  std::mt19937 g(17);
  for (int round = 0; round < 5; round++) {
    Mat a, b;
    random_fill(a, n, n, g);
    random_dominant(b, n, g);
    // Column-major copies.
    std::vector<double> fa(n * n), fb(n * n), wr(n), wi(n), wb(n), work(lwork), none(1);
    for (int i = 0; i < n; i++)
      for (int j = 0; j < n; j++) fa[j * n + i] = a.data[i * n + j], fb[j * n + i] = b.data[i * n + j];
    int info;
    dggev_("N", "N", &n, fa.data(), &n, fb.data(), &n, wr.data(), wi.data(), wb.data(), none.data(), &one,
           none.data(), &one, work.data(), &lwork, &info, 1, 1);
    ASSERT_EQ(info, 0);
    std::vector<cplx> want;
    for (int k = 0; k < n; k++) want.push_back(cplx(wr[k], wi[k]) / wb[k]);
    Solved s(a, b);
    expect_sound(a, b, s, "round " + std::to_string(round));
    expect_spectrum(s, want, 1e-10, "round " + std::to_string(round));
  }
#endif
}

TEST(Eispack, EmptyPencilAndFatalStops) {
  Armed armed;
  Mat a0, b0, a(2, 2), b3(3, 3), b2(2, 2), z;
  Vec ar, ai, be, short1({0});
  uint16_t ierr = 99;
  eispack_rgg(&a0, &b0, &ar, &ai, &be, 1, &z, &ierr);
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(ar.count, 0);
  const struct {
    std::function<void()> call;
    const char *text;
  } cases[] = {
      {[&] { eispack_rgg(&a, &b3, &ar, &ai, &be, 1, &z, &ierr); }, "B: Size Mismatch IN eispack_rgg"},
      {[&] { qzval(&a, &b2, &short1, &short1, &short1, 0, &z); }, "VECTOR LENGTH ERROR IN qzval"},
  };
  for (auto &c : cases) EXPECT_EQ(fatal_stop(c.call), c.text);
}

}  // namespace
