// vectorld: (key, double value) pairs, the rows of the sparse matrices.
#include "runtime/vectorld.h"

#include "runtime/vectorbase.h"

static const char RESIZE[] = "vectorld_resize_0";

int vectorld_init() {
  TRACE("vectorld");
  return 0;
}

void vectorld_new(vectorld *v, int32_t n, int32_t cap) {
  TRACE("vectorld_new_0");
  kvbase_new(v, n, cap, "vectorld_new_0");
}

void vectorld_resize(vectorld *v, int32_t n, int32_t cap) {
  TRACE(RESIZE);
  kvbase_resize(v, n, cap, RESIZE);
}

void vectorld_free(vectorld *v) {
  TRACE("vectorld_free_0");
  kvbase_free(v);
}

void vectorld_copyto_0(vectorld *dst, const vectorld *src) {
  TRACE("vectorld_copyto_0");
  kvbase_copy(dst, src, [](double x) { return x; }, RESIZE);
}

void vectorld_copyto_1(vectorld *dst, const vectorld *src, double s) {
  TRACE("vectorld_copyto_1");
  kvbase_copy(dst, src, [s](double x) { return x * s; }, RESIZE);
}

int32_t vectorld_one_more(vectorld *v, int32_t key, double value) {
  TRACE("vectorld_one_more_0");
  return kvbase_one_more(v, key, value, RESIZE);
}

void vectorld_insert(vectorld *v, int32_t key, double value) {
  TRACE("vectorld_insert_0");
  kvbase_insert(v, key, value, RESIZE);
}

void vectorld_negate(vectorld *v) {
  TRACE("vectorld_negate_0");
  for (int32_t i = 0; i < v->count; i++) v->values[i] = -v->values[i];
}

int32_t vectorld_inlist(const vectorld *v, int32_t key) {
  TRACE("vectorld_inlist_0");
  for (int32_t i = 0; i < v->count; i++)
    if (v->keys[i] == key) return i + 1;
  return 0;
}

// The sum of f over the values, from 0.0 in index order.
template <class F> static double sum(const vectorld *v, F f) {
  double s = 0.0;
  for (int32_t i = 0; i < v->count; i++) s += f(v->values[i]);
  return s;
}

double vectorld_rowsum(const vectorld *v) {
  TRACE("vectorld_rowsum_0");
  return sum(v, [](double x) { return x; });
}

double vectorld_norm_l1(const vectorld *v) {
  TRACE("vectorld_norm_l1_0");
  return sum(v, [](double x) { return std::fabs(x); });
}

double vectorld_norm_l2(const vectorld *v) {
  TRACE("vectorld_norm_l2_0");
  return sum(v, [](double x) { return x * x; });
}

void vectorld_map_sort(vectorld *v) {
  TRACE("vectorld_map_sort_0");
  kvbase_sort(v, false);
}

void vectorld_data_sort(vectorld *v) {
  TRACE("vectorld_data_sort_0");
  kvbase_sort(v, true);
}

// Five pairs a row as " (%5d)%10s", the value shown by the number formatter.
void vectorld_print_1(FILE *f, const vectorld *v, const char *name) {
  TRACE("vectorld_print_1");
  vecbase_print(f, v->count, 5, name, [&](int32_t i) {
    fprintf(f, " (%5d)", v->keys[i - 1]);
    vecbase_print_real_field(f, v->values[i - 1], "%10s");
  });
}

void vectorld_print_0(const vectorld *v, const char *name) {
  TRACE("vectorld_print_0");
  vectorld_print_1(stdout, v, name);
}
