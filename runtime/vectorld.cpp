// vectorld: (key, double value) pairs, the rows of the sparse matrices.
#include "runtime/vectorld.h"

#include "runtime/vectorbase.h"

KVBASE_LIFE(vectorld)

void vectorld_copyto_1(vectorld *dst, const vectorld *src, double s) {
  TRACE("vectorld_copyto_1");
  kvbase_copy(dst, src, [s](double x) { return x * s; }, "vectorld_resize_0");
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
