// matrixd: the small dense matrix of doubles and its algorithms.
#include "runtime/matrixd.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>

#include "runtime/bopmem.h"
#include "runtime/debug.h"
#include "runtime/rtlib.h"
#include "runtime/vectorbase.h"

#define DIM_ERROR "MATRIX DIMENSION ERROR"
#define OVERWRITE "MATRIX OVERWRITE"

// Opens a traced operation whose name also names it in its fatal errors.
#define ENTER(n)              \
  static const char here[] = n; \
  TRACE(here)

// Module scratch, grown on demand and never shrunk: the two work vectors (the
// in-place product, the column solves, the Jacobi sums), the three pivot lists of
// the general inversion, the work of insqrt and that of gen_eig.
static vectord work1, work2;
static vectorn gj_used, gj_rows, gj_cols;
static matrixd sq_copy, sq_vecs;
static vectord sq_vals;
static matrixd ge_chol;
static vectord ge_sub, ge_col;
static BopmemWork scratch_work([] {
  for (vectord *v : {&work1, &work2, &sq_vals, &ge_sub, &ge_col}) vectord_free(v);
  for (vectorn *v : {&gj_used, &gj_rows, &gj_cols}) vectorn_free(v);
  for (matrixd *m : {&sq_copy, &sq_vecs, &ge_chol}) matrixd_free(m);
});

int matrixd_init() {
  TRACE("matrixd");
  return 0;
}

static inline double &el(const matrixd *m, int32_t i, int32_t j) { return m->data[(i - 1) * m->cols + j - 1]; }
static inline int32_t size_of(const matrixd *m) { return int32_t(m->rows) * m->cols; }

// ---- Life cycle -------------------------------------------------------------------

// r * c after the 16-bit and 32-bit limits are checked.
static int32_t values_of(int32_t r, int32_t c, const char *where) {
  if (r < 0 || c < 0 || r > UINT16_MAX || c > UINT16_MAX || int64_t(r) * c > INT32_MAX)
    rtlib_fatal_in(where, DIM_ERROR);
  return r * c;
}

void matrixd_grow_storage(double **data, int32_t *capacity, int32_t used, int32_t need) {
  if (need <= *capacity) return;
  double *d = nullptr;
  bopmemalloc(&d, need, sizeof(double));
  XMEM += int64_t(need) * sizeof(double);
  if (*capacity > 0) {
    if (used > 0) memcpy(d, *data, size_t(used) * sizeof(double));
    matrixd_free_storage(data, capacity);
  }
  *data = d;
  *capacity = need;
}

void matrixd_free_storage(double **data, int32_t *capacity) {
  if (*capacity > 0) {
    XMEM -= int64_t(*capacity) * sizeof(double);
    bopmemfree(data);
  }
  *data = nullptr;
  *capacity = 0;
}

static void resize(matrixd *m, int32_t r, int32_t c, const char *where) {
  matrixd_grow_storage(&m->data, &m->capacity, size_of(m), values_of(r, c, where));
  m->rows = uint16_t(r);
  m->cols = uint16_t(c);
}

void matrixd_new(matrixd *m, int32_t r, int32_t c) {
  ENTER("matrixd_new_0");
  if (m->capacity != 0) rtlib_fatal_in(here, "NEW MATRIX ALREADY ALLOCATED");
  m->data = nullptr;
  m->rows = m->cols = 0;
  resize(m, r, c, here);
}

void matrixd_resize(matrixd *m, int32_t r, int32_t c) {
  ENTER("matrixd_resize_0");
  resize(m, r, c, here);
}

void matrixd_free(matrixd *m) {
  TRACE("matrixd_free_0");
  matrixd_free_storage(&m->data, &m->capacity);
  m->rows = m->cols = 0;
}

// ---- Copies and element-wise arithmetic ---------------------------------------------

void matrixd_copyto_0(matrixd *m, const matrixd *n) {
  ENTER("matrixd_copyto_0");
  if (m == n) return;
  resize(m, n->rows, n->cols, here);
  if (size_of(n) > 0) memcpy(m->data, n->data, size_t(size_of(n)) * sizeof(double));
}

void matrixd_copyto_1(matrixd *m, double value) {
  TRACE("matrixd_copyto_1");
  for (int32_t i = 0, n = size_of(m); i < n; i++) m->data[i] = value;
}

void matrixd_copyblock_0(matrixd *m, const double *a) {
  TRACE("matrixd_copyblock_0");
  if (size_of(m) > 0) memmove(m->data, a, size_t(size_of(m)) * sizeof(double));
}

void matrixd_copyblock_1(double *a, const matrixd *m) {
  TRACE("matrixd_copyblock_1");
  if (size_of(m) > 0) memmove(a, m->data, size_t(size_of(m)) * sizeof(double));
}

static void same_shape(const matrixd *a, const matrixd *b, const char *where) {
  if (a->rows != b->rows || a->cols != b->cols) rtlib_fatal_in(where, DIM_ERROR);
}

// c(k) = a(k) + s * b(k) over the n values (c may be a or b).
static void axpy(double *c, const double *a, const double *b, double s, int32_t n) {
  for (int32_t k = 0; k < n; k++) c[k] = a[k] + s * b[k];
}

void matrixd_add(matrixd *c, const matrixd *a, const matrixd *b) {
  ENTER("matrixd_add_0");
  same_shape(a, b, here);
  resize(c, a->rows, a->cols, here);
  for (int32_t k = 0, n = size_of(a); k < n; k++) c->data[k] = a->data[k] + b->data[k];
}

void matrixd_sub(matrixd *c, const matrixd *a, const matrixd *b) {
  ENTER("matrixd_sub_0");
  same_shape(a, b, here);
  resize(c, a->rows, a->cols, here);
  for (int32_t k = 0, n = size_of(a); k < n; k++) c->data[k] = a->data[k] - b->data[k];
}

void matrixd_addto_0(matrixd *a, const matrixd *b) {
  ENTER("matrixd_addto_0");
  same_shape(a, b, here);
  for (int32_t k = 0, n = size_of(a); k < n; k++) a->data[k] += b->data[k];
}

void matrixd_addto_1(matrixd *a, double s) {
  TRACE("matrixd_addto_1");
  for (int32_t k = 0, n = size_of(a); k < n; k++) a->data[k] += s;
}

void matrixd_addto_2(matrixd *a, const matrixd *b, double s) {
  ENTER("matrixd_addto_2");
  same_shape(a, b, here);
  axpy(a->data, a->data, b->data, s, size_of(a));
}

void matrixd_subto(matrixd *a, const matrixd *b) {
  ENTER("matrixd_subto_0");
  same_shape(a, b, here);
  for (int32_t k = 0, n = size_of(a); k < n; k++) a->data[k] -= b->data[k];
}

void matrixd_subto_1(matrixd *a, double s) {
  TRACE("matrixd_subto_1");
  for (int32_t k = 0, n = size_of(a); k < n; k++) a->data[k] -= s;
}

void matrixd_multo_0(matrixd *a, double s) {
  TRACE("matrixd_multo_0");
  for (int32_t k = 0, n = size_of(a); k < n; k++) a->data[k] *= s;
}

void matrixd_addblock_0(matrixd *m, const double *a) {
  TRACE("matrixd_addblock_0");
  for (int32_t k = 0, n = size_of(m); k < n; k++) m->data[k] += a[k];
}

void matrixd_addblock_1(matrixd *m, const double *a, double s) {
  TRACE("matrixd_addblock_1");
  axpy(m->data, m->data, a, s, size_of(m));
}

void matrixd_mulblock(matrixd *m, const double *a, double s) {
  TRACE("matrixd_mulblock_0");
  for (int32_t k = 0, n = size_of(m); k < n; k++) m->data[k] = s * a[k];
}

// ---- Kernels ---------------------------------------------------------------------------

void matrixd_mm_0(double *c, const double *a, const double *b, int32_t n, int32_t m, int32_t p) {
  for (int32_t i = 0; i < n; i++)
    for (int32_t j = 0; j < p; j++) {
      double s = 0;
      for (int32_t k = 0; k < m; k++) s += a[i * m + k] * b[k * p + j];
      c[i * p + j] = s;
    }
}

void matrixd_mm_1(double *c, const double *a, const double *b, int32_t n) { matrixd_mm_0(c, a, b, n, n, n); }

void matrixd_mmtsum_0(double *c, const double *a, const double *b, int32_t n, int32_t m, int32_t p) {
  for (int32_t i = 0; i < n; i++)
    for (int32_t j = 0; j < p; j++) {
      double s = 0;
      for (int32_t k = 0; k < m; k++) s += a[i * m + k] * b[j * m + k];
      c[i * p + j] += s;
    }
}

void matrixd_mmtsum_1(double *c, const double *a, const double *b, int32_t n) {
  matrixd_mmtsum_0(c, a, b, n, n, n);
}

// y(i) := s*y(i) + sign * (row i of A, or column i with trans) . x, A n x m.
static void product(double *y, double s, double sign, const double *a, const double *x, int32_t n, int32_t m,
                    bool trans) {
  for (int32_t i = 0, count = trans ? m : n; i < count; i++) {
    double t = 0;
    for (int32_t k = 0, len = trans ? n : m; k < len; k++) t += (trans ? a[k * m + i] : a[i * m + k]) * x[k];
    y[i] = y[i] * s + sign * t;
  }
}

void matrixd_mv_0(double *y, const double *a, const double *x, int32_t n, int32_t m) {
  std::fill(y, y + n, 0.0);
  product(y, 1, 1, a, x, n, m, false);
}

void matrixd_mvsum_0(double *y, const double *a, const double *x, int32_t n, int32_t m) {
  product(y, 1, 1, a, x, n, m, false);
}

void matrixd_mvsum_1(double *y, double s, const double *a, const double *x, int32_t n, int32_t m) {
  product(y, s, 1, a, x, n, m, false);
}

void matrixd_mvdif_0(double *y, const double *a, const double *x, int32_t n, int32_t m) {
  product(y, 1, -1, a, x, n, m, false);
}

void matrixd_mtv_0(double *y, const double *a, const double *x, int32_t n, int32_t m) {
  std::fill(y, y + m, 0.0);
  product(y, 1, 1, a, x, n, m, true);
}

void matrixd_mtvsum_0(double *y, const double *a, const double *x, int32_t n, int32_t m) {
  product(y, 1, 1, a, x, n, m, true);
}

void matrixd_mtvsum_1(double *y, double s, const double *a, const double *x, int32_t n, int32_t m) {
  product(y, s, 1, a, x, n, m, true);
}

void matrixd_transpose_0(double *a, int32_t n) {
  for (int32_t i = 0; i < n; i++)
    for (int32_t j = i + 1; j < n; j++) std::swap(a[i * n + j], a[j * n + i]);
}

void matrixd_transpose_2(double *b, const double *a, int32_t n, int32_t m) {
  for (int32_t i = 0; i < n; i++)
    for (int32_t j = 0; j < m; j++) b[j * n + i] = a[i * m + j];
}

// ---- Products ----------------------------------------------------------------------------

static void distinct(const void *result, const void *a, const void *b, const char *where) {
  if (result == a || result == b) rtlib_fatal_in(where, OVERWRITE);
}

static void length_is(const vectord *v, int32_t n, const char *where) {
  if (v->count != n) rtlib_fatal_in(where, DIM_ERROR);
}

void matrixd_mm_2(matrixd *c, const matrixd *a, const matrixd *b) {
  ENTER("matrixd_mm_2");
  if (a->cols != b->rows) rtlib_fatal_in(here, DIM_ERROR);
  distinct(c, a, b, here);
  resize(c, a->rows, b->cols, here);
  matrixd_mm_0(c->data, a->data, b->data, a->rows, a->cols, b->cols);
}

void matrixd_mmsum(matrixd *c, const matrixd *a, const matrixd *b) {
  ENTER("matrixd_mmsum_0");
  if (a->cols != b->rows || c->rows != a->rows || c->cols != b->cols) rtlib_fatal_in(here, DIM_ERROR);
  distinct(c, a, b, here);
  for (int32_t i = 1; i <= a->rows; i++)
    for (int32_t j = 1; j <= b->cols; j++) {
      double s = 0;
      for (int32_t k = 1; k <= a->cols; k++) s += el(a, i, k) * el(b, k, j);
      el(c, i, j) += s;
    }
}

void matrixd_mmt(matrixd *c, const matrixd *a, const matrixd *b) {
  ENTER("matrixd_mmt_0");
  if (a->cols != b->cols) rtlib_fatal_in(here, DIM_ERROR);
  distinct(c, a, b, here);
  resize(c, a->rows, b->rows, here);
  matrixd_copyto_1(c, 0);
  matrixd_mmtsum_0(c->data, a->data, b->data, a->rows, a->cols, b->rows);
}

void matrixd_mmtsum_2(matrixd *c, const matrixd *a, const matrixd *b) {
  ENTER("matrixd_mmtsum_2");
  if (a->cols != b->cols || c->rows != a->rows || c->cols != b->rows) rtlib_fatal_in(here, DIM_ERROR);
  distinct(c, a, b, here);
  matrixd_mmtsum_0(c->data, a->data, b->data, a->rows, a->cols, b->rows);
}

void matrixd_multo_1(vectord *x, const matrixd *a) {
  ENTER("matrixd_multo_1");
  if (a->rows != a->cols) rtlib_fatal_in(here, DIM_ERROR);
  length_is(x, a->cols, here);
  vectord_copyto_0(&work1, x);
  matrixd_mv_0(x->data, a->data, work1.data, a->rows, a->cols);
}

void matrixd_mv_1(vectord *y, const matrixd *a, const vectord *x) {
  ENTER("matrixd_mv_1");
  length_is(x, a->cols, here);
  if (y == x) return matrixd_multo_1(y, a);
  vectord_resize(y, a->rows, a->rows);
  matrixd_mv_0(y->data, a->data, x->data, a->rows, a->cols);
}

// The operands of y := y +- A x (A' x with trans): x and y of the fitting lengths,
// y not x.
static void accumulate_args(const vectord *y, const matrixd *a, const vectord *x, bool trans, const char *where) {
  length_is(x, trans ? a->rows : a->cols, where);
  length_is(y, trans ? a->cols : a->rows, where);
  distinct(y, x, nullptr, where);
}

void matrixd_mvsum_2(vectord *y, const matrixd *a, const vectord *x) {
  ENTER("matrixd_mvsum_2");
  accumulate_args(y, a, x, false, here);
  matrixd_mvsum_0(y->data, a->data, x->data, a->rows, a->cols);
}

void matrixd_mvdif_1(vectord *y, const matrixd *a, const vectord *x) {
  ENTER("matrixd_mvdif_1");
  accumulate_args(y, a, x, false, here);
  matrixd_mvdif_0(y->data, a->data, x->data, a->rows, a->cols);
}

void matrixd_mtv_1(vectord *y, const matrixd *a, const vectord *x) {
  ENTER("matrixd_mtv_1");
  length_is(x, a->rows, here);
  distinct(y, x, nullptr, here);
  vectord_resize(y, a->cols, a->cols);
  matrixd_mtv_0(y->data, a->data, x->data, a->rows, a->cols);
}

void matrixd_mtvsum_2(vectord *y, const matrixd *a, const vectord *x) {
  ENTER("matrixd_mtvsum_2");
  accumulate_args(y, a, x, true, here);
  matrixd_mtvsum_0(y->data, a->data, x->data, a->rows, a->cols);
}

// ---- Shape operations ------------------------------------------------------------------

static void square(const matrixd *m, const char *where) {
  if (m->rows != m->cols) rtlib_fatal_in(where, DIM_ERROR);
}

void matrixd_identity(matrixd *m) {
  ENTER("matrixd_identity_0");
  square(m, here);
  matrixd_copyto_1(m, 0);
  for (int32_t i = 1; i <= m->rows; i++) el(m, i, i) = 1;
}

void matrixd_transpose_1(matrixd *m) {
  ENTER("matrixd_transpose_1");
  square(m, here);
  matrixd_transpose_0(m->data, m->rows);
}

void matrixd_transpose_3(matrixd *b, const matrixd *a) {
  ENTER("matrixd_transpose_3");
  int32_t n = a->rows, m = a->cols;
  const double *from = a->data;
  if (b == a) {  // the values move through the work vector
    vectord_resize(&work1, size_of(a), size_of(a));
    if (size_of(a) > 0) memcpy(work1.data, a->data, size_t(size_of(a)) * sizeof(double));
    from = work1.data;
  }
  resize(b, m, n, here);
  matrixd_transpose_2(b->data, from, n, m);
}

void matrixd_symmetrize(matrixd *m) {
  ENTER("matrixd_symmetrize_0");
  square(m, here);
  for (int32_t i = 1; i <= m->rows; i++)
    for (int32_t j = i + 1; j <= m->rows; j++) el(m, i, j) = el(m, j, i) = 0.5 * (el(m, i, j) + el(m, j, i));
}

// ---- Reductions and clears ----------------------------------------------------------------

static void row_sums(vectord *v, const matrixd *a, int power) {
  vectord_resize(v, a->rows, a->rows);
  for (int32_t i = 1; i <= a->rows; i++) {
    double s = 0;
    for (int32_t j = 1; j <= a->cols; j++) s += power == 1 ? el(a, i, j) : el(a, i, j) * el(a, i, j);
    v->data[i - 1] = s;
  }
}

void matrixd_rowsum(vectord *v, const matrixd *a) {
  TRACE("matrixd_rowsum_0");
  row_sums(v, a, 1);
}

void matrixd_rowsum2(vectord *v, const matrixd *a) {
  TRACE("matrixd_rowsum2_0");
  row_sums(v, a, 2);
}

void matrixd_rowclear(matrixd *a, int32_t i) {
  ENTER("matrixd_rowclear_0");
  if (i < 1 || i > a->rows) rtlib_fatal_in(here, DIM_ERROR);
  for (int32_t j = 1; j <= a->cols; j++) el(a, i, j) = 0;
}

void matrixd_colclear(matrixd *a, int32_t j) {
  ENTER("matrixd_colclear_0");
  if (j < 1 || j > a->cols) rtlib_fatal_in(here, DIM_ERROR);
  for (int32_t i = 1; i <= a->rows; i++) el(a, i, j) = 0;
}

void matrixd_minmax(const matrixd *a, matrixd_minmaxrec *r) {
  TRACE("matrixd_minmax_0");
  *r = {0, 0, 0, 0, 1.00000000000002e300, -1.00000000000002e300};
  for (int32_t i = 1; i <= a->rows; i++)
    for (int32_t j = 1; j <= a->cols; j++) {
      double v = el(a, i, j);
      if (v < r->min) r->min = v, r->imin = uint16_t(i), r->jmin = uint16_t(j);
      if (v > r->max) r->max = v, r->imax = uint16_t(i), r->jmax = uint16_t(j);
    }
}

double matrixd_norm_l1(const matrixd *a, vectord *v) {
  TRACE("matrixd_norm_l1_0");
  vectord_resize(v, a->cols, a->cols);
  double big = 0;
  for (int32_t j = 1; j <= a->cols; j++) {
    double s = 0;
    for (int32_t i = 1; i <= a->rows; i++) s += std::fabs(el(a, i, j));
    v->data[j - 1] = s;
    if (s > big) big = s;
  }
  return big;
}

// ---- Listings ---------------------------------------------------------------------------------

void matrixd_print_labelled(FILE *f, const double *a, int32_t rows, int32_t cols, int32_t first,
                            const char *title) {
  TRACE("matrixd_print_labelled_0");
  fprintf(f, "%s\n", title);
  for (int32_t c0 = 0; c0 < cols; c0 += 10) {
    int32_t c1 = std::min(cols, c0 + 10);
    for (int32_t c = c0; c < c1; c++) fprintf(f, "%11d", int(first + c));
    fprintf(f, "\n");
    for (int32_t r = 0; r < rows; r++) {
      fprintf(f, "%6d", int(r + 1));
      for (int32_t c = c0; c < c1; c++) vecbase_print_real_field(f, a[r * cols + c], "  %s");
      fprintf(f, "\n");
    }
  }
}

void matrixd_print_matrix(FILE *f, const double *a, int32_t rows, int32_t cols, const char *title) {
  TRACE("matrixd_print_matrix_0");
  matrixd_print_labelled(f, a, rows, cols, 1, title);
}

void matrixd_print(FILE *f, const matrixd *a, const char *title) {
  TRACE("matrixd_print_0");
  matrixd_print_labelled(f, a->data, a->rows, a->cols, 1, title);
}

// ---- LU ------------------------------------------------------------------------------------------

double matrixd_lu_fac(matrixd *a, vectord *s, vectorn *p) {
  ENTER("matrixd_lu_fac_0");
  int32_t n = a->rows;
  if (n == 0) return 0;
  square(a, here);
  vectorn_resize(p, n, n);
  vectord_resize(s, n, n);
  // 1. Implicit scaling: every row by its largest magnitude.
  for (int32_t i = 1; i <= n; i++) {
    double big = 0;
    for (int32_t j = 1; j <= n; j++) big = std::max(big, std::fabs(el(a, i, j)));
    if (big == 0) rtlib_fatal_in(here, "Singular Matrix in LU_FAC");
    s->data[i - 1] = 1 / big;
  }
  // 2. Crout, column by column, the pivot the first largest scaled candidate.
  double parity = 1;
  for (int32_t j = 1; j <= n; j++) {
    for (int32_t i = 1; i < j; i++) {
      double sum = el(a, i, j);
      for (int32_t k = 1; k < i; k++) sum -= el(a, i, k) * el(a, k, j);
      el(a, i, j) = sum;
    }
    double big = 0;
    int32_t imax = j;
    for (int32_t i = j; i <= n; i++) {
      double sum = el(a, i, j);
      for (int32_t k = 1; k < j; k++) sum -= el(a, i, k) * el(a, k, j);
      el(a, i, j) = sum;
      double t = s->data[i - 1] * std::fabs(sum);
      if (t > big) big = t, imax = i;
    }
    if (imax != j) {
      for (int32_t k = 1; k <= n; k++) std::swap(el(a, imax, k), el(a, j, k));
      parity = -parity;
      s->data[imax - 1] = s->data[j - 1];
    }
    p->data[j - 1] = uint16_t(imax);
    if (el(a, j, j) == 0) el(a, j, j) = 1e-20;
    for (int32_t i = j + 1; i <= n; i++) el(a, i, j) /= el(a, j, j);
  }
  return parity;
}

double matrixd_det(const matrixd *lu, double parity) {
  TRACE("matrixd_det_0");
  for (int32_t i = 1; i <= std::min(lu->rows, lu->cols); i++) parity *= el(lu, i, i);
  return parity;
}

// Back substitution with the upper factor, x(1..n) holding the forward result.
static void upper_solve(double *x, const matrixd *lu) {
  int32_t n = lu->rows;
  for (int32_t i = n; i >= 1; i--) {
    double sum = x[i - 1];
    for (int32_t k = i + 1; k <= n; k++) sum -= el(lu, i, k) * x[k - 1];
    x[i - 1] = sum / el(lu, i, i);
  }
}

void matrixd_lu_sol_0(vectord *x, const matrixd *lu, vectord *b, const vectorn *p) {
  ENTER("matrixd_lu_sol_0");
  int32_t n = lu->rows;
  if (n == 0) return;
  square(lu, here);
  length_is(b, n, here);
  if (p->count < n) rtlib_fatal_in(here, DIM_ERROR);
  vectord_resize(x, n, n);
  double *xv = x->data, *bv = b->data;
  for (int32_t i = 1; i <= n; i++) {
    int32_t ip = p->data[i - 1];
    if (ip < 1 || ip > n) rtlib_fatal_in(here, DIM_ERROR);
    double sum = bv[ip - 1];
    bv[ip - 1] = bv[i - 1];
    for (int32_t k = 1; k < i; k++) sum -= el(lu, i, k) * xv[k - 1];
    xv[i - 1] = sum;
  }
  upper_solve(xv, lu);
}

void matrixd_lu_sol_1(matrixd *x, const matrixd *lu, const matrixd *b, const vectorn *p) {
  ENTER("matrixd_lu_sol_1");
  int32_t n = lu->rows, m = b->cols;
  if (b->rows != n) rtlib_fatal_in(here, DIM_ERROR);
  resize(x, n, m, here);
  vectord_resize(&work1, n, n);
  for (int32_t j = 1; j <= m; j++) {
    for (int32_t i = 1; i <= n; i++) work1.data[i - 1] = el(b, i, j);
    matrixd_lu_sol_0(&work2, lu, &work1, p);
    for (int32_t i = 1; i <= n; i++) el(x, i, j) = work2.data[i - 1];
  }
}

void matrixd_lu_back(vectord *x, const matrixd *lu, const vectord *b) {
  ENTER("matrixd_lu_back_0");
  int32_t n = lu->rows;
  square(lu, here);
  length_is(b, n, here);
  if (x != b) vectord_copyto_0(x, b);
  for (int32_t i = 1; i <= n; i++)
    for (int32_t k = 1; k < i; k++) x->data[i - 1] -= el(lu, i, k) * x->data[k - 1];
  upper_solve(x->data, lu);
}

// ---- Inversion ---------------------------------------------------------------------------------

static bool singular(matrixd *m, int checkpoint) {
  debug_printf("Matrix is Singular at Checkpoint %d\n", checkpoint);
  matrixd_identity(m);
  return false;
}

// Gauss-Jordan elimination in place with full pivoting.
static bool gauss_jordan(matrixd *a) {
  int32_t n = a->rows;
  vectorn_resize(&gj_used, n, n);
  vectorn_resize(&gj_rows, n, n);
  vectorn_resize(&gj_cols, n, n);
  vectorn_copyto_1(&gj_used, 0);
  uint16_t *used = gj_used.data, *rows = gj_rows.data, *cols = gj_cols.data;
  for (int32_t step = 1; step <= n; step++) {
    // 1. The largest unused element (the last one met on ties).
    double big = 0;
    int32_t irow = 1, icol = 1;
    for (int32_t j = 1; j <= n; j++) {
      if (used[j - 1] == 1) continue;
      for (int32_t k = 1; k <= n; k++) {
        if (used[k - 1] == 0) {
          if (std::fabs(el(a, j, k)) >= big) big = std::fabs(el(a, j, k)), irow = j, icol = k;
        } else if (used[k - 1] > 1) {
          return singular(a, 4);
        }
      }
    }
    used[icol - 1]++;
    // 2. The pivot onto the diagonal, its row scaled, its column cleared elsewhere.
    if (irow != icol)
      for (int32_t l = 1; l <= n; l++) std::swap(el(a, irow, l), el(a, icol, l));
    rows[step - 1] = uint16_t(irow);
    cols[step - 1] = uint16_t(icol);
    if (el(a, icol, icol) == 0) return singular(a, 5);
    double pivinv = 1 / el(a, icol, icol);
    el(a, icol, icol) = 1;
    for (int32_t l = 1; l <= n; l++) el(a, icol, l) *= pivinv;
    for (int32_t ll = 1; ll <= n; ll++) {
      if (ll == icol) continue;
      double dum = el(a, ll, icol);
      el(a, ll, icol) = 0;
      for (int32_t l = 1; l <= n; l++) el(a, ll, l) -= el(a, icol, l) * dum;
    }
  }
  // 3. The column exchanges undone in reverse order.
  for (int32_t l = n; l >= 1; l--)
    if (rows[l - 1] != cols[l - 1])
      for (int32_t k = 1; k <= n; k++) std::swap(el(a, k, rows[l - 1]), el(a, k, cols[l - 1]));
  return true;
}

bool matrixd_invert(matrixd *m) {
  ENTER("matrixd_invert_0");
  square(m, here);
  double *a = m->data;
  switch (m->rows) {
    case 0:
      return true;
    case 1:
      if (a[0] == 0) {
        a[0] = 1;
        return false;
      }
      a[0] = 1 / a[0];
      return true;
    case 2: {
      double det = a[0] * a[3] - a[1] * a[2];
      if (det == 0) return singular(m, 2);
      double a11 = a[0];
      a[0] = a[3] / det;
      a[1] = -a[1] / det;
      a[2] = -a[2] / det;
      a[3] = a11 / det;
      return true;
    }
    case 3: {
      double c[9] = {a[4] * a[8] - a[5] * a[7], a[2] * a[7] - a[1] * a[8], a[1] * a[5] - a[2] * a[4],
                     a[5] * a[6] - a[3] * a[8], a[0] * a[8] - a[2] * a[6], a[2] * a[3] - a[0] * a[5],
                     a[3] * a[7] - a[4] * a[6], a[1] * a[6] - a[0] * a[7], a[0] * a[4] - a[1] * a[3]};
      double det = a[0] * c[0] + a[1] * c[3] + a[2] * c[6];
      if (det == 0) return singular(m, 3);
      for (int k = 0; k < 9; k++) a[k] = c[k] / det;
      return true;
    }
    default:
      return gauss_jordan(m);
  }
}

// ---- Cholesky --------------------------------------------------------------------------------------

bool matrixd_chol_factor_kernel(double *l, const double *b, int32_t n, bool negate) {
  bool ok = true;
  for (int32_t i = 0; i < n; i++)
    for (int32_t j = 0; j <= i; j++) {
      double s = negate ? -b[i * n + j] : b[i * n + j];
      for (int32_t k = 0; k < j; k++) s -= l[i * n + k] * l[j * n + k];
      if (j < i) {
        l[i * n + j] = s * l[j * n + j];
        continue;
      }
      // A pivot that is not positive fails the factor; an exact zero gets a zero
      // reciprocal rather than a division by zero.
      if (s <= 0) ok = false, s = std::fabs(s);
      l[i * n + i] = s == 0 ? 0 : 1 / std::sqrt(s);
    }
  for (int32_t i = 0; i < n; i++)
    for (int32_t j = i + 1; j < n; j++) l[i * n + j] = l[j * n + i];
  return ok;
}

static void chol_forward(double *x, const double *l, const double *b, int32_t n) {
  for (int32_t i = 0; i < n; i++) {
    double s = b[i];
    for (int32_t k = 0; k < i; k++) s -= l[i * n + k] * x[k];
    x[i] = s * l[i * n + i];
  }
}

static void chol_back(double *x, const double *l, const double *b, int32_t n) {
  for (int32_t i = n - 1; i >= 0; i--) {
    double s = b[i];
    for (int32_t k = i + 1; k < n; k++) s -= l[i * n + k] * x[k];
    x[i] = s * l[i * n + i];
  }
}

void matrixd_chol_apply(vectord *x, const double *l, int32_t n, const vectord *b, int mode, const char *where) {
  length_is(b, n, where);
  vectord_resize(x, n, n);
  if (mode & 1) chol_forward(x->data, l, b->data, n);
  if (mode & 2) chol_back(x->data, l, mode & 1 ? x->data : b->data, n);
}

bool matrixd_chol_factor(const matrixd *b, matrixd *l, bool negate) {
  ENTER("matrixd_chol_factor_0");
  square(b, here);
  resize(l, b->rows, b->rows, here);
  return matrixd_chol_factor_kernel(l->data, b->data, b->rows, negate);
}

void matrixd_chol_forward(vectord *x, const matrixd *l, const vectord *b) {
  ENTER("matrixd_chol_forward_0");
  square(l, here);
  matrixd_chol_apply(x, l->data, l->rows, b, 1, here);
}

void matrixd_chol_back(vectord *x, const matrixd *l, const vectord *b) {
  ENTER("matrixd_chol_back_0");
  square(l, here);
  matrixd_chol_apply(x, l->data, l->rows, b, 2, here);
}

void matrixd_chol_solve(vectord *x, const matrixd *l, const vectord *b) {
  ENTER("matrixd_chol_solve_0");
  square(l, here);
  matrixd_chol_apply(x, l->data, l->rows, b, 3, here);
}

// ---- Symmetric eigenproblems ----------------------------------------------------------------------

static inline void rotate(double &g, double &h, double s, double tau) {
  double a = g, b = h;
  g = a - s * (b + a * tau);
  h = b + s * (a - b * tau);
}

void matrixd_jacobi(matrixd *a, vectord *d, matrixd *v) {
  ENTER("matrixd_jacobi_0");
  square(a, here);
  int32_t n = a->rows;
  resize(v, n, n, here);
  matrixd_identity(v);
  vectord_resize(d, n, n);
  vectord_resize(&work1, n, n);
  vectord_resize(&work2, n, n);
  double *dd = d->data, *b = work1.data, *z = work2.data;
  for (int32_t p = 1; p <= n; p++) b[p - 1] = dd[p - 1] = el(a, p, p), z[p - 1] = 0;
  for (int32_t sweep = 1; sweep <= 50; sweep++) {
    // 1. The sum of the off-diagonal magnitudes ends the method at zero.
    double sm = 0;
    for (int32_t p = 1; p < n; p++)
      for (int32_t q = p + 1; q <= n; q++) sm += std::fabs(el(a, p, q));
    if (sm == 0) return;
    double thresh = sweep < 4 ? 0.2 * sm / (double(n) * n) : 0.0;
    // 2. One rotation per element above the threshold.
    for (int32_t p = 1; p < n; p++)
      for (int32_t q = p + 1; q <= n; q++) {
        double apq = el(a, p, q), g = 100 * std::fabs(apq);
        double dp = std::fabs(dd[p - 1]), dq = std::fabs(dd[q - 1]);
        if (sweep > 4 && dp + g == dp && dq + g == dq) {
          el(a, p, q) = 0;
          continue;
        }
        if (!(std::fabs(apq) > thresh)) continue;  // (a NaN never rotates)
        double h = dd[q - 1] - dd[p - 1], t;
        if (std::fabs(h) + g == std::fabs(h)) {
          t = apq / h;
        } else {
          double theta = h / (2 * apq);
          t = 1 / (std::fabs(theta) + std::sqrt(theta * theta + 1));
          if (theta < 0) t = -t;
        }
        double c = 1 / std::sqrt(t * t + 1), s = t * c, tau = s / (1 + c);
        h = t * apq;
        z[p - 1] -= h, z[q - 1] += h, dd[p - 1] -= h, dd[q - 1] += h;
        el(a, p, q) = 0;
        for (int32_t j = 1; j < p; j++) rotate(el(a, j, p), el(a, j, q), s, tau);
        for (int32_t j = p + 1; j < q; j++) rotate(el(a, p, j), el(a, j, q), s, tau);
        for (int32_t j = q + 1; j <= n; j++) rotate(el(a, p, j), el(a, q, j), s, tau);
        for (int32_t j = 1; j <= n; j++) rotate(el(v, j, p), el(v, j, q), s, tau);
      }
    // 3. The sweep's updates gathered into the diagonal.
    for (int32_t p = 0; p < n; p++) b[p] += z[p], dd[p] = b[p], z[p] = 0;
  }
  rtlib_fatal_in(here, "Convergence Failure.");
}

void matrixd_insqrt(matrixd *r, const matrixd *a, int32_t k) {
  ENTER("matrixd_insqrt_0");
  square(a, here);
  int32_t n = a->rows;
  // mu = |lambda| rooted k times; a zero eigenvalue contributes 1, so that a singular
  // block still gives a usable (if partial) preconditioner.
  auto recip = [k](double lambda) {
    double mu = std::fabs(lambda);
    for (int32_t i = 0; i < k; i++) mu = std::sqrt(mu);
    return mu == 0 ? 1.0 : 1 / mu;
  };
  if (n == 1) {
    double v = recip(a->data[0]);
    resize(r, 1, 1, here);
    r->data[0] = v;
    return;
  }
  matrixd_copyto_0(&sq_copy, a);
  matrixd_jacobi(&sq_copy, &sq_vals, &sq_vecs);
  resize(r, n, n, here);
  for (int32_t j = 0; j < n; j++) sq_vals.data[j] = recip(sq_vals.data[j]);
  for (int32_t i = 1; i <= n; i++)
    for (int32_t j = 1; j <= n; j++) {
      double s = 0;
      for (int32_t m = 1; m <= n; m++) s += el(&sq_vecs, i, m) * sq_vals.data[m - 1] * el(&sq_vecs, j, m);
      el(r, i, j) = s;
    }
}

void matrixd_tred2(matrixd *a, vectord *d, vectord *e) {
  ENTER("matrixd_tred2_0");
  square(a, here);
  int32_t n = a->rows;
  vectord_resize(d, n, n);
  vectord_resize(e, n, n);
  if (n == 0) return;
  double *dv = d->data - 1, *ev = e->data - 1;  // 1-based views
  // 1. Householder reflections from the last row up.
  for (int32_t i = n; i >= 2; i--) {
    int32_t l = i - 1;
    double h = 0, scale = 0;
    if (l > 1) {
      for (int32_t k = 1; k <= l; k++) scale += std::fabs(el(a, i, k));
      if (scale == 0) {
        ev[i] = el(a, i, l);
      } else {
        for (int32_t k = 1; k <= l; k++) {
          el(a, i, k) /= scale;
          h += el(a, i, k) * el(a, i, k);
        }
        double f = el(a, i, l);
        double g = f >= 0 ? -std::sqrt(h) : std::sqrt(h);
        ev[i] = scale * g;
        h -= f * g;
        el(a, i, l) = f - g;
        f = 0;
        for (int32_t j = 1; j <= l; j++) {
          el(a, j, i) = el(a, i, j) / h;
          g = 0;
          for (int32_t k = 1; k <= j; k++) g += el(a, j, k) * el(a, i, k);
          for (int32_t k = j + 1; k <= l; k++) g += el(a, k, j) * el(a, i, k);
          ev[j] = g / h;
          f += ev[j] * el(a, i, j);
        }
        double hh = f / (h + h);
        for (int32_t j = 1; j <= l; j++) {
          f = el(a, i, j);
          ev[j] = g = ev[j] - hh * f;
          for (int32_t k = 1; k <= j; k++) el(a, j, k) -= f * ev[k] + g * el(a, i, k);
        }
      }
    } else {
      ev[i] = el(a, i, l);
    }
    dv[i] = h;
  }
  // 2. The transformation accumulated into a.
  dv[1] = 0;
  ev[1] = 0;
  for (int32_t i = 1; i <= n; i++) {
    int32_t l = i - 1;
    if (dv[i] != 0) {
      for (int32_t j = 1; j <= l; j++) {
        double g = 0;
        for (int32_t k = 1; k <= l; k++) g += el(a, i, k) * el(a, k, j);
        for (int32_t k = 1; k <= l; k++) el(a, k, j) -= g * el(a, k, i);
      }
    }
    dv[i] = el(a, i, i);
    el(a, i, i) = 1;
    for (int32_t j = 1; j <= l; j++) el(a, j, i) = el(a, i, j) = 0;
  }
}

bool matrixd_tqli(vectord *d, vectord *e, matrixd *z) {
  ENTER("matrixd_tqli_0");
  int32_t n = d->count;
  length_is(e, n, here);
  if (z->rows != n || z->cols != n) rtlib_fatal_in(here, DIM_ERROR);
  if (n == 0) return true;
  double *dv = d->data - 1, *ev = e->data - 1;  // 1-based views
  for (int32_t i = 2; i <= n; i++) ev[i - 1] = ev[i];
  ev[n] = 0;
  for (int32_t l = 1; l <= n; l++) {
    int32_t iter = 0, m;
    do {
      for (m = l; m <= n - 1; m++) {
        double dd = std::fabs(dv[m]) + std::fabs(dv[m + 1]);
        if (std::fabs(ev[m]) + dd == dd) break;
      }
      if (m == l) break;
      if (iter++ == 30) return false;
      double g = (dv[l + 1] - dv[l]) / (2 * ev[l]);
      double r = std::hypot(g, 1.0);
      g = dv[m] - dv[l] + ev[l] / (g + (g >= 0 ? std::fabs(r) : -std::fabs(r)));
      double s = 1, c = 1, p = 0;
      int32_t i;
      for (i = m - 1; i >= l; i--) {
        double f = s * ev[i], b = c * ev[i];
        ev[i + 1] = r = std::hypot(f, g);
        if (r == 0) {  // underflow: the split is taken where it happened
          dv[i + 1] -= p;
          ev[m] = 0;
          break;
        }
        s = f / r;
        c = g / r;
        g = dv[i + 1] - p;
        r = (dv[i] - g) * s + 2 * c * b;
        dv[i + 1] = g + (p = s * r);
        g = c * r - b;
        for (int32_t k = 1; k <= n; k++) {
          f = el(z, k, i + 1);
          el(z, k, i + 1) = s * el(z, k, i) + c * f;
          el(z, k, i) = c * el(z, k, i) - s * f;
        }
      }
      if (r == 0 && i >= l) continue;
      dv[l] -= p;
      ev[l] = g;
      ev[m] = 0;
    } while (m != l);
  }
  return true;
}

void matrixd_sort_eig(vectord *d, matrixd *v) {
  ENTER("matrixd_sort_eig_0");
  int32_t n = d->count;
  if (v->cols < n) rtlib_fatal_in(here, DIM_ERROR);
  for (int32_t i = 1; i < n; i++)
    for (int32_t j = i + 1; j <= n; j++)
      if (std::fabs(d->data[i - 1]) > std::fabs(d->data[j - 1])) {
        std::swap(d->data[i - 1], d->data[j - 1]);
        for (int32_t k = 1; k <= v->rows; k++) std::swap(el(v, k, i), el(v, k, j));
      }
}

// Applies a triangular solve of the Cholesky factor to every column of v.
static void solve_columns(matrixd *v, const matrixd *l, bool back) {
  int32_t n = v->rows;
  for (int32_t j = 1; j <= v->cols; j++) {
    for (int32_t i = 1; i <= n; i++) ge_col.data[i - 1] = el(v, i, j);
    if (back)
      chol_back(ge_col.data, l->data, ge_col.data, n);
    else
      chol_forward(ge_col.data, l->data, ge_col.data, n);
    for (int32_t i = 1; i <= n; i++) el(v, i, j) = ge_col.data[i - 1];
  }
}

bool matrixd_gen_eig(vectord *d, matrixd *v, const matrixd *a, const matrixd *b) {
  ENTER("matrixd_gen_eig_0");
  int32_t n = a->rows;
  if (b->rows != n || a->cols != n || b->cols != n) rtlib_fatal_in(here, "Dimension Error");
  vectord_resize(d, n, n);
  vectord_resize(&ge_sub, n, n);
  vectord_resize(&ge_col, n, n);
  if (n == 0) {
    resize(v, 0, 0, here);
    return true;
  }
  // 1. B (or -B) = L L'.
  bool negative = b->data[0] < 0;
  if (!matrixd_chol_factor(b, &ge_chol, negative)) return false;
  // 2. C = inv(L) A inv(L)', column by column.
  matrixd_copyto_0(v, a);
  solve_columns(v, &ge_chol, false);
  matrixd_transpose_1(v);
  solve_columns(v, &ge_chol, false);
  // 3. The symmetric eigenproblem of C, sorted by magnitude.
  matrixd_tred2(v, d, &ge_sub);
  if (!matrixd_tqli(d, &ge_sub, v)) return false;
  matrixd_sort_eig(d, v);
  // 4. x = inv(L)' y, scaled to unit length; the sign undone for a negative B.
  if (negative)
    for (int32_t j = 0; j < n; j++) d->data[j] = -d->data[j];
  solve_columns(v, &ge_chol, true);
  for (int32_t j = 1; j <= n; j++) {
    double s = 0;
    for (int32_t i = 1; i <= n; i++) s += el(v, i, j) * el(v, i, j);
    s = std::sqrt(s);
    if (s > 0)
      for (int32_t i = 1; i <= n; i++) el(v, i, j) /= s;
  }
  return true;
}
