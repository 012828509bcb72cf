// vectornest: the operations shared by the nested container kinds (vector2d,
// vector3d, vector4d, vector2n, vector3n, vector2l, vector2t, pointv2d, pointv3d,
// vectorvd), whose elements are whole member container records stored in place.
// The outer storage is counted in XMEM; the members count their own.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <type_traits>

#include "runtime/bopmem.h"
#include "runtime/rtlib.h"
#include "runtime/vectorbase.h"

// The bytes XMEM counts per slot: a member record; a slot holding a reference to a
// record elsewhere is counted as that record's size too.
template <class V> constexpr int64_t nest_unit =
    sizeof(std::conditional_t<std::is_pointer_v<vecbase_elem<V>>, std::remove_pointer_t<vecbase_elem<V>>,
                              vecbase_elem<V>>);

template <class V> void nest_new(V *v, int32_t n, int32_t cap, const char *where, const char *twice) {
  if (v->capacity != 0) rtlib_fatal_in(where, twice);
  if (n < 0 || n > (cap > 0 ? cap : 0)) rtlib_fatal_in(where, VECTOR_COUNT);
  v->data = nullptr;
  if (cap > 0) {
    bopmemalloc(&v->data, cap, sizeof(*v->data));
    XMEM += cap * nest_unit<V>;
  }
  v->capacity = cap > 0 ? cap : 0;
  v->count = n;
}

// Grows the outer storage to cap when that is larger, moving the first `moved` member
// records (their storage goes with them); sets the count in every case.
template <class V> void nest_resize(V *v, int32_t n, int32_t cap, int32_t moved, const char *where) {
  if (n < 0 || n > (cap > v->capacity ? cap : v->capacity)) rtlib_fatal_in(where, VECTOR_COUNT);
  if (cap > v->capacity) {
    vecbase_elem<V> *d = nullptr;
    bopmemalloc(&d, cap, sizeof(*d));
    XMEM += cap * nest_unit<V>;
    if (v->capacity > 0) {
      if (moved > 0) memcpy(static_cast<void *>(d), v->data, size_t(moved) * sizeof(*d));
      XMEM -= v->capacity * nest_unit<V>;
      bopmemfree(&v->data);
    }
    v->data = d;
    v->capacity = cap;
  }
  v->count = n;
}

// Releases the outer storage; with flag set, first frees members 1..capacity.
template <class V, class F> void nest_free(V *v, uint8_t flag, F free_member) {
  if (v->capacity > 0) {
    if (flag)
      for (int32_t i = 0; i < v->capacity; i++) free_member(&v->data[i]);
    XMEM -= v->capacity * nest_unit<V>;
    bopmemfree(&v->data);
  }
  v->data = nullptr;
  v->count = 0;
  v->capacity = 0;
}

// Each member's own listing under the label name[i].
template <class V, class F> void nest_print(FILE *f, const V *v, const char *name, F print_member) {
  for (int32_t i = 1; i <= v->count; i++) {
    std::string label = std::string(name) + "[" + std::to_string(i) + "]";
    print_member(f, &v->data[i - 1], label.c_str());
  }
}

// Copies members 1..src count (each by its own copy), growing dst when short.
template <class V, class F> void nest_copy(V *dst, const V *src, F copy_member, const char *rzname) {
  if (dst->capacity < src->count) {
    RtlibTrace guard(rzname);
    nest_resize(dst, src->count, src->capacity, dst->capacity, rzname);
  }
  for (int32_t i = 0; i < src->count; i++) copy_member(&dst->data[i], &src->data[i]);
  dst->count = src->count;
}

// ---- Member-wise arithmetic of vector2d, vector3d and vector4d -----------------------

template <class V> void nest_check(const V *x, const V *y, const char *where, const char *len) {
  if (x->count != y->count) rtlib_fatal_in(where, len);
}

// A result too small for x's members is resized to x's count and capacity (which
// sets its count); otherwise its count is left as it was.
template <class V> void nest_room(V *z, const V *x, const char *rzname) {
  if (z->capacity < x->count) {
    RtlibTrace guard(rzname);
    nest_resize(z, x->count, x->capacity, z->capacity, rzname);
  }
}

template <class V, class Op>
void nest_map3(V *z, const V *x, const V *y, Op op, const char *where, const char *len, const char *rzname) {
  nest_check(x, y, where, len);
  nest_room(z, x, rzname);
  for (int32_t i = 0; i < x->count; i++) op(&z->data[i], &x->data[i], &y->data[i]);
}

template <class V, class Op> void nest_map2(V *x, const V *y, Op op, const char *where, const char *len) {
  nest_check(x, y, where, len);
  for (int32_t i = 0; i < x->count; i++) op(&x->data[i], &y->data[i]);
}

template <class V, class Op> void nest_each(V *x, Op op) {
  for (int32_t i = 0; i < x->count; i++) op(&x->data[i]);
}

// Sum of the members' dot products; member counts must agree too.
template <class V, class Op> double nest_dot(const V *x, const V *y, Op op, const char *where, const char *len) {
  nest_check(x, y, where, len);
  double s = 0.0;
  for (int32_t i = 0; i < x->count; i++) {
    if (x->data[i].count != y->data[i].count) rtlib_fatal_in(where, len);
    s += op(&x->data[i], &y->data[i]);
  }
  return s;
}

// init, new, resize (moving all member records), free, print and copyto_0 of a kind
// K whose members are freed by FREE_M, listed by PRINT_M and copied by COPY_M.
#define NEST_LIFE(K, TWICE, FREE_M, PRINT_M, COPY_M)                                     \
  int K##_init() {                                                                       \
    TRACE(#K);                                                                           \
    return 0;                                                                            \
  }                                                                                      \
  void K##_new(K *v, int32_t n, int32_t cap) {                                           \
    TRACE(#K "_new_0");                                                                  \
    nest_new(v, n, cap, #K "_new_0", TWICE);                                             \
  }                                                                                      \
  void K##_resize(K *v, int32_t n, int32_t cap) {                                        \
    TRACE(#K "_resize_0");                                                               \
    nest_resize(v, n, cap, v->capacity, #K "_resize_0");                                 \
  }                                                                                      \
  void K##_free(K *v, uint8_t flag) {                                                    \
    TRACE(#K "_free_0");                                                                 \
    nest_free(v, flag, FREE_M);                                                          \
  }                                                                                      \
  void K##_print(FILE *f, const K *v, const char *name) {                                \
    TRACE(#K "_print_0");                                                                \
    nest_print(f, v, name, PRINT_M);                                                     \
  }                                                                                      \
  void K##_copyto_0(K *dst, const K *src) {                                              \
    TRACE(#K "_copyto_0");                                                               \
    nest_copy(dst, src, COPY_M, #K "_resize_0");                                         \
  }

// copyto_1: every member 1..count filled with x by FILL_M.
#define NEST_FILL(K, T, FILL_M)                                                          \
  void K##_copyto_1(K *v, T x) {                                                         \
    TRACE(#K "_copyto_1");                                                               \
    for (int32_t i = 0; i < v->count; i++) FILL_M(&v->data[i], x);                       \
  }

#define NEST_ARITH_3(K, M, fn, LEN)                                                      \
  void K##_##fn(K *z, const K *x, const K *y) {                                          \
    TRACE(#K "_" #fn "_0");                                                              \
    nest_map3(z, x, y, M##_##fn, #K "_" #fn "_0", LEN, #K "_resize_0");                  \
  }
#define NEST_ARITH_TO(K, M, fn, LEN)                                                     \
  void K##_##fn##_0(K *x, const K *y) {                                                  \
    TRACE(#K "_" #fn "_0");                                                              \
    nest_map2(x, y, M##_##fn##_0, #K "_" #fn "_0", LEN);                                 \
  }                                                                                      \
  void K##_##fn##_1(K *x, double s) {                                                    \
    TRACE(#K "_" #fn "_1");                                                              \
    nest_each(x, [s](M *m) { M##_##fn##_1(m, s); });                                     \
  }
// The arithmetic of a real nested kind K over its member kind M.
#define NEST_ARITH(K, M, LEN)                                                            \
  NEST_ARITH_3(K, M, add, LEN)                                                           \
  NEST_ARITH_3(K, M, sub, LEN)                                                           \
  NEST_ARITH_3(K, M, mul, LEN)                                                           \
  NEST_ARITH_3(K, M, div, LEN)                                                           \
  NEST_ARITH_TO(K, M, addto, LEN)                                                        \
  NEST_ARITH_TO(K, M, subto, LEN)                                                        \
  NEST_ARITH_TO(K, M, multo, LEN)                                                        \
  NEST_ARITH_TO(K, M, divto, LEN)                                                        \
  void K##_negate(K *x) {                                                                \
    TRACE(#K "_negate_0");                                                               \
    nest_each(x, M##_negate);                                                            \
  }                                                                                      \
  void K##_zaxpy(K *z, double a, const K *x, const K *y) {                               \
    TRACE(#K "_zaxpy_0");                                                                \
    nest_check(x, y, #K "_zaxpy_0", LEN);                                                \
    nest_room(z, x, #K "_resize_0");                                                     \
    for (int32_t i = 0; i < x->count; i++) M##_zaxpy(&z->data[i], a, &x->data[i], &y->data[i]); \
  }                                                                                      \
  double K##_dot(const K *x, const K *y) {                                               \
    TRACE(#K "_dot_0");                                                                  \
    return nest_dot(x, y, M##_dot, #K "_dot_0", LEN);                                    \
  }
