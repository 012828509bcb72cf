// Shared helpers of the sparse-matrix tests: a self-freeing matrix built from a dense
// image, the dense LU as the reference solve, and the model matrices.
#pragma once
#include <cmath>
#include <vector>

#include "solver/sparsemx.h"
#include "tests/runtime/dense.h"

using Dense = std::vector<std::vector<double>>;

struct Sparse : sparsemx {
  Sparse() : sparsemx{} {}
  // An entry at every nonzero of d and at every diagonal position.
  explicit Sparse(const Dense &d) : sparsemx{} {
    int32_t n = int32_t(d.size());
    sparsemx_new(this, n, n);
    for (int32_t i = 1; i <= n; i++)
      for (int32_t j = 1; j <= n; j++)
        if (d[i - 1][j - 1] != 0 || i == j) sparsemx_store(this, i, j, d[i - 1][j - 1]);
  }
  Sparse(const Sparse &) = delete;
  ~Sparse() { sparsemx_free(this, 1); }
  Dense dense() const {
    Dense d(rows, std::vector<double>(rows, 0.0));
    for (int32_t i = 1; i <= rows; i++)
      for (int32_t j = 1; j <= rows; j++) d[i - 1][j - 1] = sparsemx_fetch(this, i, j);
    return d;
  }
};

// x = A^-1 b (transposed: A^-t b) by the dense LU with partial pivoting.
inline std::vector<double> dense_solve(const Dense &a, const std::vector<double> &b, bool transposed = false) {
  int32_t n = int32_t(b.size());
  Mat lu(n, n);
  for (int32_t i = 1; i <= n; i++)
    for (int32_t j = 1; j <= n; j++) lu(i, j) = transposed ? a[j - 1][i - 1] : a[i - 1][j - 1];
  Vec s, x, r(b);
  vectorn p{};
  matrixd_lu_fac(&lu, &s, &p);
  matrixd_lu_sol_0(&x, &lu, &r, &p);
  vectorn_free(&p);
  return std::vector<double>(x.data, x.data + n);
}

// The 5-point operator on an m x m grid: 4 on the diagonal, -1 - beta to the west,
// -1 + beta to the east, -1 north and south (beta 0: the Laplacian, SPD).
inline Dense five_point(int m, double beta = 0.0) {
  Dense a(m * m, std::vector<double>(m * m, 0.0));
  for (int i = 0; i < m * m; i++) {
    a[i][i] = 4;
    if (i % m > 0) a[i][i - 1] = -1 - beta;
    if (i % m < m - 1) a[i][i + 1] = -1 + beta;
    if (i >= m) a[i][i - m] = -1;
    if (i < m * m - m) a[i][i + m] = -1;
  }
  return a;
}

inline double max_rel_error(const vectord &x, const std::vector<double> &ref) {
  double e = 0, s = 0;
  for (size_t i = 0; i < ref.size(); i++) {
    e = std::max(e, std::fabs(x.data[i] - ref[i]));
    s = std::max(s, std::fabs(ref[i]));
  }
  return e / s;
}
