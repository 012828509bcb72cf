// vectord: the vector of doubles.
#include "runtime/vectord.h"

#include <cmath>

#include "runtime/vectorbase.h"

static const char RESIZE[] = "vectord_resize_0";

int vectord_init() {
  TRACE("vectord");
  return 0;
}

void vectord_new(vectord *v, int32_t n, int32_t cap) {
  TRACE("vectord_new_0");
  vecbase_new(v, n, cap, "vectord_new_0");
}

void vectord_resize(vectord *v, int32_t n, int32_t cap) {
  TRACE(RESIZE);
  if (!v) rtlib_fatal_in(RESIZE, VECTOR_INVALID);
  vecbase_resize(v, n, cap, RESIZE);
}

void vectord_free(vectord *v) {
  TRACE("vectord_free_0");
  vecbase_free(v);
}

int32_t vectord_one_more(vectord *v, double x) {
  TRACE("vectord_one_more_0");
  return vecbase_one_more(v, x, RESIZE);
}

void vectord_copyto_0(vectord *dst, const vectord *src) {
  TRACE("vectord_copyto_0");
  vecbase_copy(dst, src, RESIZE);
}

void vectord_copyto_1(vectord *v, double x) {
  TRACE("vectord_copyto_1");
  vecbase_fill(v, x);
}

void vectord_copyto_2(vectord *dst, const vectors *src) {
  TRACE("vectord_copyto_2");
  vecbase_copy(dst, src, RESIZE);
}

void vectord_copyto_3(vectors *dst, const vectord *src) {
  TRACE("vectord_copyto_3");
  vecbase_copy(dst, src, "vectors_resize_0");
}

// ---- Element-wise arithmetic, dot product, sums, index sorts -------------------------

VECBASE_ARITH(vectord)

// ---- Other reductions -------------------------------------------------------------

double vectord_norm(const vectord *v, uint16_t code) {
  TRACE("vectord_norm_0");
  switch (code) {
  case 1: return vecbase_sum(v, [](double a) { return std::fabs(a); });
  case 2: return vecbase_sum(v, [](double a) { return a * a; });
  case 4: return vecbase_sum(v, [](double a) { return (a * a) * (a * a); });
  }
  double m = 0.0;
  for (int32_t i = 0; i < v->count; i++)
    if (std::fabs(v->data[i]) > m) m = std::fabs(v->data[i]);
  return m;
}

// Strict tests, so among equal extremes the first index is reported; an empty
// vector leaves indices 0 and the +-1.00000000000002e300 starting values.
void vectord_minmax_0(const vectord *v, minmaxrec *m) {
  TRACE("vectord_minmax_0");
  m->imin = m->imax = 0;
  m->min = 1.00000000000002e300;
  m->max = -1.00000000000002e300;
  for (int32_t i = 0; i < v->count; i++) {
    double x = v->data[i];
    if (x < m->min) m->imin = i + 1, m->min = x;
    if (x > m->max) m->imax = i + 1, m->max = x;
  }
}

void vectord_minmax_1(const vectord *v, double out[2]) {
  TRACE("vectord_minmax_1");
  out[0] = 1.00000000000002e300;
  out[1] = -1.00000000000002e300;
  for (int32_t i = 0; i < v->count; i++) {
    if (v->data[i] < out[0]) out[0] = v->data[i];
    if (v->data[i] > out[1]) out[1] = v->data[i];
  }
}

// ---- Lists and sorts ---------------------------------------------------------------------

int32_t vectord_enlist(vectord *v, double x) {
  TRACE("vectord_enlist_0");
  return vecbase_enlist(v, x, RESIZE);
}

void vectord_insert_0(vectord *v, double x) {
  TRACE("vectord_insert_0");
  vecbase_insert_0(v, x, RESIZE);
}

void vectord_insert_1(vectord *v, int32_t i, double x) {
  TRACE("vectord_insert_1");
  vecbase_insert_1(v, i, x, "vectord_insert_1", RESIZE);
}

void vectord_delete(vectord *v, double x) {
  TRACE("vectord_delete_0");
  vecbase_delete(v, x, "vectord_delete_0");
}

void vectord_delete_index(vectord *v, int32_t i) {
  TRACE("vectord_delete_index_0");
  vecbase_delete_index(v, i, "vectord_delete_index_0");
}

void vectord_sort(vectord *v) {
  TRACE("vectord_sort_0");
  vecbase_sort(v);
}

// ---- Listings and byte order ------------------------------------------------------------

void vectord_print_vector(FILE *f, const double *x, int32_t n, const char *name) {
  TRACE("vectord_print_vector_0");
  vecbase_print(f, n, 5, name, [&](int32_t i) { vecbase_print_real(f, x[i - 1]); });
}

void vectord_print_1(FILE *f, const vectord *v, const char *name) {
  TRACE("vectord_print_1");
  vecbase_print(f, v->count, 5, name, [&](int32_t i) { vecbase_print_real(f, v->data[i - 1]); });
}

void vectord_print_0(const vectord *v, const char *name) {
  TRACE("vectord_print_0");
  vectord_print_1(stdout, v, name);
}

void vectord_bigendian(vectord *v) {
  TRACE("vectord_bigendian_0");
  vecbase_bigendian(v);
}
