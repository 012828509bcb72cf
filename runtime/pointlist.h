// pointlist: the storage rules shared by the point modules (pointd, points, point3d,
// point3s, pointl): bare point arrays and their XMEM accounting, the insertion and
// deletion of list points, and the space distance. The lists themselves are containers
// {count, capacity, data} and use the container templates. Each module wraps these in
// its own traced, named operations.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "runtime/bopmem.h"
#include "runtime/rtlib.h"
#include "runtime/strings.h"
#include "runtime/vectorbase.h"

// Allocates n zeroed points into an unset array.
template <class P> void pointlist_new_array(P **a, int32_t n, const char *where) {
  if (*a) rtlib_fatal_in(where, "NEW ARRAY ALREADY ALLOCATED");
  if (n < 0) rtlib_fatal_in(where, ARRAY_COUNT);
  bopmemalloc(a, n, sizeof(P));
  if (n > 0) XMEM += static_cast<int64_t>(n) * sizeof(P);
}

// Moves an array of oldn points into new storage of newn points (newn >= oldn).
template <class P> void pointlist_resize_array(P **a, int32_t oldn, int32_t newn, const char *where) {
  if (newn < oldn || oldn < 0) rtlib_fatal_in(where, ARRAY_COUNT);
  P *fresh = nullptr;
  bopmemalloc(&fresh, newn, sizeof(P));
  if (newn > 0) XMEM += static_cast<int64_t>(newn) * sizeof(P);
  if (*a && oldn >= 1) {
    memcpy(fresh, *a, static_cast<size_t>(oldn) * sizeof(P));
    XMEM -= static_cast<int64_t>(oldn) * sizeof(P);
    bopmemfree(a);
  }
  *a = fresh;
}

template <class P> void pointlist_free_array(P **a, int32_t n) {
  if (!*a) return;
  XMEM -= static_cast<int64_t>(n) * sizeof(P);
  bopmemfree(a);
}

// Writes p at position i (1..count+1), moving points i..count up one place. p is
// taken by value: it may be a point of the list itself, which the move (or the
// growth of the storage) would change under a reference.
template <class L>
void pointlist_insert(L *v, int32_t i, vecbase_elem<L> p, const char *where, const char *rzname) {
  if (i < 1 || i > v->count + 1) rtlib_fatal_in(where, VECTOR_INDEX);
  int32_t n = v->count;
  vecbase_one_more(v, p, rzname);
  memmove(v->data + i, v->data + i - 1, static_cast<size_t>(n - i + 1) * sizeof(p));
  v->data[i - 1] = p;
}

// Removes point i (1..count), moving the later points down one place.
template <class L> void pointlist_delete(L *v, int32_t i, const char *where) {
  if (i < 1 || i > v->count) rtlib_fatal_in(where, VECTOR_INDEX);
  memmove(v->data + i - 1, v->data + i, static_cast<size_t>(v->count - i) * sizeof(*v->data));
  v->count--;
}

// The squared distance of two space points, the differences formed in double.
template <class P> double pointlist_distance2(const P *p, const P *q) {
  double dx = static_cast<double>(q->x) - p->x;
  double dy = static_cast<double>(q->y) - p->y;
  double dz = static_cast<double>(q->z) - p->z;
  return dx * dx + dy * dy + dz * dz;
}

// The life-cycle operations every point module K (point type P, list type L) has:
// new_0, resize_0, free_0 on bare arrays, new_1, resize_1, free_1 on lists, and
// one_more_0.
#define POINTLIST_OPERATIONS(K, P, L)                                                    \
  void K##_new_0(P **a, int32_t n) {                                                     \
    TRACE(#K "_new_0");                                                                  \
    pointlist_new_array(a, n, #K "_new_0");                                              \
  }                                                                                      \
  void K##_resize_0(P **a, int32_t oldn, int32_t newn) {                                 \
    TRACE(#K "_resize_0");                                                               \
    pointlist_resize_array(a, oldn, newn, #K "_resize_0");                               \
  }                                                                                      \
  void K##_free_0(P **a, int32_t n) {                                                    \
    TRACE(#K "_free_0");                                                                 \
    pointlist_free_array(a, n);                                                          \
  }                                                                                      \
  void K##_new_1(L *v, int32_t n) {                                                      \
    TRACE(#K "_new_1");                                                                  \
    vecbase_new(v, n, n, #K "_new_1");                                                   \
  }                                                                                      \
  void K##_resize_1(L *v, int32_t n, int32_t cap) {                                      \
    TRACE(#K "_resize_1");                                                               \
    vecbase_resize(v, n, cap, #K "_resize_1");                                           \
  }                                                                                      \
  void K##_free_1(L *v) {                                                                \
    TRACE(#K "_free_1");                                                                 \
    vecbase_free(v);                                                                     \
  }                                                                                      \
  int32_t K##_one_more_0(L *v, const P *p) {                                             \
    TRACE(#K "_one_more_0");                                                             \
    return vecbase_one_more(v, *p, #K "_resize_1");                                      \
  }

// The list listing: a header "\n        name\n", then one line per point, "%5u (" and
// its coordinates by the number formatter, each followed by "," and the last by ")".
template <class L> void pointlist_print(FILE *f, const L *v, const char *name) {
  constexpr int dims = sizeof(*v->data) / sizeof(v->data->x);
  fprintf(f, "\n        %s\n", name);
  String text = {};
  for (int32_t i = 1; i <= v->count; i++) {
    fprintf(f, "%5u (", static_cast<unsigned>(i));
    const auto *c = &v->data[i - 1].x;
    for (int k = 0; k < dims; k++) {
      strings_fmt(&text, c[k]);
      fprintf(f, k + 1 < dims ? "%s," : "%s)\n", text.text);
    }
  }
  strings_free_0(&text);
}

// print_0 (to a file) and print_1 (on standard output) of a point list kind.
#define POINTLIST_PRINT(K, L)                                                            \
  void K##_print_0(FILE *f, const L *v, const char *name) {                              \
    TRACE(#K "_print_0");                                                                \
    pointlist_print(f, v, name);                                                         \
  }                                                                                      \
  void K##_print_1(const L *v, const char *name) {                                       \
    TRACE(#K "_print_1");                                                                \
    pointlist_print(stdout, v, name);                                                    \
  }
