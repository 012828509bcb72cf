// Shared helpers of the sparse-matrix tests: dense images, the dense LU as the
// reference solve, and the model matrices.
#pragma once
#include <cmath>
#include <vector>

#include "solver/matrixd.h"
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

// x = A^-1 b by the dense LU with partial pivoting.
inline std::vector<double> dense_solve(const Dense &a, const std::vector<double> &b) {
  int32_t n = int32_t(b.size());
  matrixd lu{};
  matrixd_resize(&lu, n, n);
  for (int32_t i = 0; i < n; i++)
    for (int32_t j = 0; j < n; j++) lu.data[i * n + j] = a[i][j];
  vectord s{}, x{}, r{};
  vectorn p{};
  vectord_resize(&r, n, n);
  std::copy(b.begin(), b.end(), r.data);
  matrixd_lu_fac(&lu, &s, &p);
  matrixd_lu_sol_0(&x, &lu, &r, &p);
  std::vector<double> out(x.data, x.data + n);
  matrixd_free(&lu);
  for (vectord *v : {&s, &x, &r}) vectord_free(v);
  vectorn_free(&p);
  return out;
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
