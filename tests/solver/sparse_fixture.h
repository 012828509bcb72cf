// Shared helpers of the sparse-matrix tests: dense images, a dense Gaussian
// elimination as the reference solve, and the model matrices.
#pragma once
#include <cmath>
#include <vector>

#include "solver/sparsemx.h"

using Dense = std::vector<std::vector<double>>;

// A sparse matrix with an entry at every nonzero of d (and at every diagonal position).
inline sparsemx from_dense(const Dense &d) {
  sparsemx m{};
  int32_t n = int32_t(d.size());
  sparsemx_new(&m, n, n);
  for (int32_t i = 1; i <= n; i++)
    for (int32_t j = 1; j <= n; j++)
      if (d[i - 1][j - 1] != 0 || i == j) sparsemx_store(&m, i, j, d[i - 1][j - 1]);
  return m;
}

inline Dense to_dense(const sparsemx &m) {
  Dense d(m.rows, std::vector<double>(m.rows, 0.0));
  for (int32_t i = 1; i <= m.rows; i++)
    for (int32_t j = 1; j <= m.rows; j++) d[i - 1][j - 1] = sparsemx_fetch(&m, i, j);
  return d;
}

// x = A^-1 b by Gaussian elimination with partial pivoting.
inline std::vector<double> dense_solve(Dense a, std::vector<double> b) {
  size_t n = b.size();
  for (size_t k = 0; k < n; k++) {
    size_t p = k;
    for (size_t i = k + 1; i < n; i++)
      if (std::fabs(a[i][k]) > std::fabs(a[p][k])) p = i;
    std::swap(a[k], a[p]);
    std::swap(b[k], b[p]);
    for (size_t i = k + 1; i < n; i++) {
      double f = a[i][k] / a[k][k];
      for (size_t j = k; j < n; j++) a[i][j] -= f * a[k][j];
      b[i] -= f * b[k];
    }
  }
  std::vector<double> x(n);
  for (size_t i = n; i-- > 0;) {
    double s = b[i];
    for (size_t j = i + 1; j < n; j++) s -= a[i][j] * x[j];
    x[i] = s / a[i][i];
  }
  return x;
}

inline Dense transpose(const Dense &a) {
  Dense t(a.size(), std::vector<double>(a.size()));
  for (size_t i = 0; i < a.size(); i++)
    for (size_t j = 0; j < a.size(); j++) t[j][i] = a[i][j];
  return t;
}

// The 5-point operator on an m x m grid: 4 on the diagonal, -1 - beta to the west,
// -1 + beta to the east, -1 north and south (beta 0: the Laplacian, SPD).
inline Dense five_point(int m, double beta = 0.0) {
  int n = m * m;
  Dense a(n, std::vector<double>(n, 0.0));
  for (int y = 0; y < m; y++)
    for (int x = 0; x < m; x++) {
      int i = y * m + x;
      a[i][i] = 4;
      if (x > 0) a[i][i - 1] = -1 - beta;
      if (x < m - 1) a[i][i + 1] = -1 + beta;
      if (y > 0) a[i][i - m] = -1;
      if (y < m - 1) a[i][i + m] = -1;
    }
  return a;
}

inline vectord to_vectord(const std::vector<double> &v) {
  vectord x{};
  vectord_resize(&x, int32_t(v.size()), int32_t(v.size()));
  for (size_t i = 0; i < v.size(); i++) x.data[i] = v[i];
  return x;
}

inline double max_rel_error(const vectord &x, const std::vector<double> &ref) {
  double e = 0, s = 0;
  for (size_t i = 0; i < ref.size(); i++) {
    e = std::max(e, std::fabs(x.data[i] - ref[i]));
    s = std::max(s, std::fabs(ref[i]));
  }
  return e / s;
}
