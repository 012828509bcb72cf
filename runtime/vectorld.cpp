// vectorld: (key, double value) pairs, the rows of the sparse matrices.
#include "runtime/vectorld.h"

#include "runtime/vectorbase.h"

#include <cstring>

// The storage templates see a borrowed row with room for need pairs as one owning
// that room: it never reaches the allocator, its arrays are never released. A
// borrowed row short of room first takes arrays of its own for grow pairs.
template <class F> static void in_room(vectorld *v, int32_t need, int32_t grow, F op) {
  if (v->capacity < 0 && need > -v->capacity) {
    vectorld lent = *v;
    *v = vectorld{};
    RtlibTrace guard("vectorld_resize_0");
    kvbase_resize(v, lent.count, std::max(grow, lent.count), "vectorld_resize_0");
    if (lent.count > 0) {
      memcpy(v->keys, lent.keys, size_t(lent.count) * sizeof(int32_t));
      memcpy(v->values, lent.values, size_t(lent.count) * sizeof(double));
    }
  }
  if (v->capacity >= 0) {
    op();
    return;
  }
  v->capacity = -v->capacity;
  op();
  v->capacity = -v->capacity;
}

int vectorld_init() {
  TRACE("vectorld");
  return 0;
}

void vectorld_new(vectorld *v, int32_t n, int32_t cap) {
  TRACE("vectorld_new_0");
  kvbase_new(v, n, cap, "vectorld_new_0");
}

void vectorld_resize(vectorld *v, int32_t n, int32_t cap) {
  TRACE("vectorld_resize_0");
  if (!v) rtlib_fatal_in("vectorld_resize_0", VECTOR_INVALID);
  in_room(v, cap, cap, [&] { kvbase_resize(v, n, cap, "vectorld_resize_0"); });
}

void vectorld_free(vectorld *v) {
  TRACE("vectorld_free_0");
  if (v->capacity < 0) *v = vectorld{};
  else kvbase_free(v);
}

void vectorld_print_0(const vectorld *v, const char *name) {
  TRACE("vectorld_print_0");
  vectorld_print_1(stdout, v, name);
}

// src's pairs into dst, each value passed through f; a short destination first
// grows to the room of the source.
template <class F> static void copy(vectorld *dst, const vectorld *src, F f) {
  if (dst->capacity >= 0 && dst->capacity < src->count) {
    RtlibTrace guard("vectorld_resize_0");
    kvbase_resize(dst, dst->count, vectorld_room(src), "vectorld_resize_0");
  }
  in_room(dst, src->count, vectorld_room(src), [&] { kvbase_copy(dst, src, f, "vectorld_resize_0"); });
}

void vectorld_copyto_0(vectorld *dst, const vectorld *src) {
  TRACE("vectorld_copyto_0");
  copy(dst, src, [](double x) { return x; });
}

void vectorld_copyto_1(vectorld *dst, const vectorld *src, double s) {
  TRACE("vectorld_copyto_1");
  copy(dst, src, [s](double x) { return x * s; });
}

int32_t vectorld_one_more(vectorld *v, int32_t key, double value) {
  TRACE("vectorld_one_more_0");
  int32_t n = 0;
  in_room(v, v->count + 1, vectorld_room(v) * 6 / 5 + 10,
          [&] { n = kvbase_one_more(v, key, value, "vectorld_resize_0"); });
  return n;
}

void vectorld_insert(vectorld *v, int32_t key, double value) {
  TRACE("vectorld_insert_0");
  int32_t need = v->capacity < 0 && vectorld_inlist(v, key) ? v->count : v->count + 1;
  in_room(v, need, vectorld_room(v) * 6 / 5 + 10, [&] { kvbase_insert(v, key, value, "vectorld_resize_0"); });
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
