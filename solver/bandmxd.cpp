// bandmxd: the square band matrix of doubles and its LU and Cholesky.
#include "solver/bandmxd.h"

#include <algorithm>
#include <cstring>

#include "runtime/bopmem.h"
#include "runtime/debug.h"
#include "runtime/rtlib.h"
#include "runtime/matrixd.h"

#define DIM_ERROR "MATRIX DIMENSION ERROR"
#define OVERWRITE "MATRIX OVERWRITE"

// Opens a traced operation whose name also names it in its fatal errors.
#define ENTER(n)              \
  static const char here[] = n; \
  TRACE(here)

// The work vector of the in-place product, grown on demand and never shrunk.
static vectord work;
static BopmemWork work_release([] { vectord_free(&work); });

int bandmxd_init() {
  TRACE("bandmxd");
  return 0;
}

// (i,j) inside the band.
static inline double &el(const bandmxd *m, int32_t i, int32_t j) {
  return m->data[(i - 1) * m->width + (j - i + m->half)];
}
static inline int32_t size_of(const bandmxd *m) { return m->rows * m->width; }

// ---- Life cycle -------------------------------------------------------------------

// The half bandwidth and value count of n rows of bandwidth b, within their fields.
static int32_t shape_of(int32_t n, int32_t b, int32_t *h, const char *where) {
  if (n < 0 || b < 0 || b / 2 > (UINT16_MAX - 1) / 2 || int64_t(n) * (2 * (b / 2) + 1) > INT32_MAX)
    rtlib_fatal_in(where, DIM_ERROR);
  *h = b / 2;
  return n * (2 * *h + 1);
}

static void resize(bandmxd *m, int32_t n, int32_t b, const char *where) {
  int32_t h, size = shape_of(n, b, &h, where);
  matrixd_grow_storage(&m->data, &m->capacity, size_of(m), size);
  m->half = uint16_t(h);
  m->width = uint16_t(2 * h + 1);
  m->rows = n;
}

void bandmxd_new(bandmxd *m, int32_t n, int32_t b) {
  ENTER("bandmxd_new_0");
  if (m->capacity != 0) rtlib_fatal_in(here, "NEW MATRIX ALREADY ALLOCATED");
  m->data = nullptr;
  m->rows = 0;
  resize(m, n, b, here);
}

void bandmxd_resize(bandmxd *m, int32_t n, int32_t b) {
  ENTER("bandmxd_resize_0");
  resize(m, n, b, here);
}

void bandmxd_free(bandmxd *m) {
  TRACE("bandmxd_free_0");
  matrixd_free_storage(&m->data, &m->capacity);
  m->half = m->width = 0;
  m->rows = 0;
}

// (i,j) is an entry of the matrix that the band holds.
static inline bool in_band(const bandmxd *m, int32_t i, int32_t j) {
  return i >= 1 && i <= m->rows && j >= 1 && j <= m->rows && j - i <= m->half && i - j <= m->half;
}

double bandmxd_fetch(const bandmxd *m, int32_t i, int32_t j) {
  return in_band(m, i, j) ? el(m, i, j) : 0;
}

void bandmxd_store(bandmxd *m, int32_t i, int32_t j, double value) {
  if (in_band(m, i, j)) el(m, i, j) = value;
}

// ---- Copies and arithmetic -----------------------------------------------------------

static void same_shape(const bandmxd *a, const bandmxd *b, const char *where) {
  if (a->rows != b->rows || a->half != b->half) rtlib_fatal_in(where, DIM_ERROR);
}

void bandmxd_copyto_0(bandmxd *m, const bandmxd *c) {
  ENTER("bandmxd_copyto_0");
  if (m == c) return;
  resize(m, c->rows, 2 * c->half, here);
  if (size_of(c) > 0) memcpy(m->data, c->data, size_t(size_of(c)) * sizeof(double));
}

void bandmxd_copyto_1(bandmxd *m, double value) {
  TRACE("bandmxd_copyto_1");
  std::fill(m->data, m->data + size_of(m), value);
}

// c := a + s*b over the stored values, c taking a's shape.
static void combine(bandmxd *c, const bandmxd *a, const bandmxd *b, double s, const char *where) {
  same_shape(a, b, where);
  if (c != a) resize(c, a->rows, 2 * a->half, where);
  for (int32_t k = 0, n = size_of(a); k < n; k++) c->data[k] = a->data[k] + s * b->data[k];
}

void bandmxd_add(bandmxd *c, const bandmxd *a, const bandmxd *b) {
  ENTER("bandmxd_add_0");
  combine(c, a, b, 1, here);
}

void bandmxd_sub(bandmxd *c, const bandmxd *a, const bandmxd *b) {
  ENTER("bandmxd_sub_0");
  combine(c, a, b, -1, here);
}

void bandmxd_addto_0(bandmxd *a, const bandmxd *b) {
  ENTER("bandmxd_addto_0");
  combine(a, a, b, 1, here);
}

void bandmxd_addto_2(bandmxd *a, const bandmxd *b, double s) {
  ENTER("bandmxd_addto_2");
  combine(a, a, b, s, here);
}

void bandmxd_subto(bandmxd *a, const bandmxd *b) {
  ENTER("bandmxd_subto_0");
  combine(a, a, b, -1, here);
}

void bandmxd_addto_1(bandmxd *a, double s) {
  TRACE("bandmxd_addto_1");
  for (int32_t k = 0, n = size_of(a); k < n; k++) a->data[k] += s;
}

void bandmxd_subto_1(bandmxd *a, double s) {
  TRACE("bandmxd_subto_1");
  for (int32_t k = 0, n = size_of(a); k < n; k++) a->data[k] -= s;
}

void bandmxd_multo_0(bandmxd *a, double s) {
  TRACE("bandmxd_multo_0");
  for (int32_t k = 0, n = size_of(a); k < n; k++) a->data[k] *= s;
}

void bandmxd_identity(bandmxd *m) {
  TRACE("bandmxd_identity_0");
  for (int32_t i = 1; i <= m->rows; i++) el(m, i, i) = 1;
}

// ---- Products ----------------------------------------------------------------------------

// Columns of row i inside the matrix and the band.
static inline int32_t lo(const bandmxd *m, int32_t i) { return std::max(1, i - m->half); }
static inline int32_t hi(const bandmxd *m, int32_t i) { return std::min(m->rows, i + m->half); }

static void operands(vectord *y, const bandmxd *a, const vectord *x, bool y_read, const char *where) {
  if (x->count != a->rows || (y_read && y->count != a->rows)) rtlib_fatal_in(where, DIM_ERROR);
  if (y == x) rtlib_fatal_in(where, OVERWRITE);
}

// y := s*y + sign * A x (transposed when trans), with y of length n.
static void band_product(double *y, const bandmxd *a, const double *x, double s, double sign, bool trans) {
  int32_t n = a->rows;
  if (s == 0) std::fill(y, y + n, 0.0);
  for (int32_t i = 1; i <= n; i++) {
    if (trans) {
      for (int32_t j = lo(a, i); j <= hi(a, i); j++) y[j - 1] += sign * el(a, i, j) * x[i - 1];
    } else {
      double t = 0;
      for (int32_t j = lo(a, i); j <= hi(a, i); j++) t += el(a, i, j) * x[j - 1];
      y[i - 1] += sign * t;
    }
  }
}

void bandmxd_multo_1(vectord *x, const bandmxd *a) {
  ENTER("bandmxd_multo_1");
  if (x->count != a->rows) rtlib_fatal_in(here, DIM_ERROR);
  vectord_copyto_0(&work, x);
  band_product(x->data, a, work.data, 0, 1, false);
}

void bandmxd_mv(vectord *y, const bandmxd *a, const vectord *x) {
  ENTER("bandmxd_mv_0");
  if (y == x) return bandmxd_multo_1(y, a);
  operands(y, a, x, false, here);
  vectord_resize(y, a->rows, a->rows);
  band_product(y->data, a, x->data, 0, 1, false);
}

void bandmxd_mvdif(vectord *y, const bandmxd *a, const vectord *x) {
  ENTER("bandmxd_mvdif_0");
  operands(y, a, x, true, here);
  band_product(y->data, a, x->data, 1, -1, false);
}

void bandmxd_mtv(vectord *y, const bandmxd *a, const vectord *x) {
  ENTER("bandmxd_mtv_0");
  operands(y, a, x, false, here);
  vectord_resize(y, a->rows, a->rows);
  band_product(y->data, a, x->data, 0, 1, true);
}

void bandmxd_mtvsum(vectord *y, const bandmxd *a, const vectord *x) {
  ENTER("bandmxd_mtvsum_0");
  operands(y, a, x, true, here);
  band_product(y->data, a, x->data, 1, 1, true);
}

void bandmxd_mtvdif(vectord *y, const bandmxd *a, const vectord *x) {
  ENTER("bandmxd_mtvdif_0");
  operands(y, a, x, true, here);
  band_product(y->data, a, x->data, 1, -1, true);
}

void bandmxd_print(FILE *f, const bandmxd *m, const char *title) {
  TRACE("bandmxd_print_0");
  matrixd_print_labelled(f, m->data, m->rows, m->width, -int32_t(m->half), title);
}

// ---- LU ------------------------------------------------------------------------------------

bool bandmxd_lu_factor(bandmxd *m) {
  TRACE("bandmxd_lu_factor_0");
  int32_t n = m->rows, h = m->half;
  for (int32_t i = 1; i <= n; i++) {
    // 1. Row i of U.
    for (int32_t j = i; j <= hi(m, i); j++) {
      double s = el(m, i, j);
      for (int32_t k = std::max({1, i - h, j - h}); k < i; k++) s -= el(m, i, k) * el(m, k, j);
      el(m, i, j) = s;
    }
    // A zero pivot leaves no factor; the caller falls back to another preconditioner.
    if (el(m, i, i) == 0) {
      debug_printf("BAND LU ZERO PIVOT IN ROW %d\n", int(i));
      return false;
    }
    // 2. Column i of L.
    for (int32_t r = i + 1; r <= hi(m, i); r++) {
      double s = el(m, r, i);
      for (int32_t k = std::max(1, r - h); k < i; k++) s -= el(m, r, k) * el(m, k, i);
      el(m, r, i) = s / el(m, i, i);
    }
  }
  return true;
}

// Checks b and makes x a copy of it, for the solves that work in place on x.
static bool solve_args(vectord *x, const bandmxd *m, const vectord *b, const char *where) {
  if (m->rows == 0) return false;
  if (b->count != m->rows) rtlib_fatal_in(where, DIM_ERROR);
  if (x != b) vectord_copyto_0(x, b);
  return true;
}

void bandmxd_lu_solve(vectord *x, const bandmxd *m, const vectord *b) {
  ENTER("bandmxd_lu_solve_0");
  if (!solve_args(x, m, b, here)) return;
  double *v = x->data - 1;  // 1-based view
  for (int32_t i = 1; i <= m->rows; i++)
    for (int32_t k = lo(m, i); k < i; k++) v[i] -= el(m, i, k) * v[k];
  for (int32_t i = m->rows; i >= 1; i--) {
    for (int32_t k = i + 1; k <= hi(m, i); k++) v[i] -= el(m, i, k) * v[k];
    v[i] /= el(m, i, i);
  }
}

void bandmxd_lu_solvet(vectord *x, const bandmxd *m, const vectord *b) {
  ENTER("bandmxd_lu_solvet_0");
  if (!solve_args(x, m, b, here)) return;
  double *v = x->data - 1;  // 1-based view
  for (int32_t i = 1; i <= m->rows; i++) {
    for (int32_t k = lo(m, i); k < i; k++) v[i] -= el(m, k, i) * v[k];
    v[i] /= el(m, i, i);
  }
  for (int32_t i = m->rows; i >= 1; i--)
    for (int32_t k = i + 1; k <= hi(m, i); k++) v[i] -= el(m, k, i) * v[k];
}

// ---- Dense Cholesky on stride-n storage -------------------------------------------------

bool bandmxd_chol_factor(const bandmxd *a, bandmxd *f, bool negate) {
  ENTER("bandmxd_chol_factor_0");
  int32_t n = a->rows;
  if (int64_t(n) * n > a->capacity) rtlib_fatal_in(here, DIM_ERROR);
  resize(f, n, n, here);
  return matrixd_chol_factor_kernel(f->data, a->data, n, negate);
}

// The factor's stride-n storage checked, then the triangular solves.
static void chol_apply(vectord *x, const bandmxd *f, const vectord *b, int mode, const char *where) {
  if (int64_t(f->rows) * f->rows > f->capacity) rtlib_fatal_in(where, DIM_ERROR);
  matrixd_chol_apply(x, f->data, f->rows, b, mode, where);
}

void bandmxd_chol_forward(vectord *x, const bandmxd *f, const vectord *b) {
  ENTER("bandmxd_chol_forward_0");
  chol_apply(x, f, b, 1, here);
}

void bandmxd_chol_back(vectord *x, const bandmxd *f, const vectord *b) {
  ENTER("bandmxd_chol_back_0");
  chol_apply(x, f, b, 2, here);
}

void bandmxd_chol_solve(vectord *x, const bandmxd *f, const vectord *b) {
  ENTER("bandmxd_chol_solve_0");
  chol_apply(x, f, b, 3, here);
}
