// Test helpers for the matrix modules: matrices and vectors from value lists, the
// analytic tridiagonal test problems, seeded random matrices and armed traps.
#pragma once
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "runtime/debug.h"
#include "runtime/rtlib.h"
#include "runtime/matrixd.h"
#include "tests/runtime/fatal_stop.h"

// A matrix or vector that frees itself.
struct Mat : matrixd {
  Mat() : matrixd{} {}
  Mat(int r, int c, const std::vector<double> &v = {}) : matrixd{} {
    matrixd_new(this, r, c);
    for (size_t k = 0; k < v.size(); k++) data[k] = v[k];
  }
  Mat(const Mat &) = delete;
  ~Mat() { matrixd_free(this); }
  double &operator()(int i, int j) { return data[(i - 1) * cols + j - 1]; }
};
struct Vec : vectord {
  Vec() : vectord{} {}
  explicit Vec(const std::vector<double> &v) : vectord{} {
    vectord_new(this, int32_t(v.size()), int32_t(v.size()));
    for (size_t k = 0; k < v.size(); k++) data[k] = v[k];
  }
  Vec(const Vec &) = delete;
  ~Vec() { vectord_free(this); }
  double operator()(int i) const { return data[i - 1]; }
};

// tridiag(lo, di, lo) of order n.
inline void tridiag(Mat &m, int n, double lo, double di) {
  matrixd_resize(&m, n, n);
  matrixd_copyto_1(&m, 0);
  for (int i = 1; i <= n; i++) {
    m(i, i) = di;
    if (i > 1) m(i, i - 1) = m(i - 1, i) = lo;
  }
}

// Uniform values in [-1, 1]; diagonally dominant or symmetric positive definite
// variants for the well-conditioned cases.
inline void random_fill(Mat &m, int r, int c, std::mt19937 &g) {
  std::uniform_real_distribution<double> u(-1, 1);
  matrixd_resize(&m, r, c);
  for (int k = 0; k < r * c; k++) m.data[k] = u(g);
}
inline void random_dominant(Mat &m, int n, std::mt19937 &g) {
  random_fill(m, n, n, g);
  for (int i = 1; i <= n; i++) m(i, i) += n * (m(i, i) < 0 ? -1 : 1);
}
inline void random_spd(Mat &m, int n, std::mt19937 &g) {
  Mat r;
  random_fill(r, n, n, g);
  matrixd_mmt(&m, &r, &r);
  for (int i = 1; i <= n; i++) m(i, i) += n;
}
inline void random_symmetric(Mat &m, int n, std::mt19937 &g) {
  random_fill(m, n, n, g);
  matrixd_symmetrize(&m);
}

// Largest |a(i,j) - b(i,j)|.
inline double max_diff(const matrixd &a, const matrixd &b) {
  double d = 0;
  for (int k = 0; k < a.rows * a.cols; k++) d = std::max(d, std::fabs(a.data[k] - b.data[k]));
  return d;
}
inline double dist_to_identity(const matrixd &a) {
  Mat id(a.rows, a.cols);
  matrixd_identity(&id);
  return max_diff(a, id);
}

// Floating-point traps armed as in a run, released afterwards.
struct Armed {
  Armed() { rtlib_startup(0, nullptr); }
  ~Armed() {
    rtlib_release_signals();
    rtlib_fpu_default();
  }
};
