// pointlist: the storage rules shared by the point modules (pointd, points, point3d,
// point3s, pointl): bare point arrays, 1-based point lists and their XMEM accounting.
// Each module wraps these in its own traced, named operations.
#pragma once
#include <cstdint>
#include <cstring>

#include "runtime/bopmem.h"
#include "runtime/rtlib.h"

// Allocates n zeroed points into an unset array.
template <class P> void pointlist_new_array(P **a, int32_t n, const char *where) {
  if (*a) rtlib_fatal_in(where, "NEW ARRAY ALREADY ALLOCATED");
  if (n < 0) rtlib_fatal_in(where, "INVALID COUNT");
  bopmemalloc(a, n, sizeof(P));
  if (n > 0) XMEM += static_cast<int64_t>(n) * sizeof(P);
}

// Moves an array of oldn points into new storage of newn points (newn >= oldn).
template <class P> void pointlist_resize_array(P **a, int32_t oldn, int32_t newn, const char *where) {
  if (newn < oldn || oldn < 0) rtlib_fatal_in(where, "INVALID COUNT");
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

// A list record {count, capacity, data}; P is its point type.
template <class L> using pointlist_item = std::remove_pointer_t<decltype(L::data)>;

template <class L> void pointlist_new(L *v, int32_t n, const char *where) {
  if (v->capacity != 0) rtlib_fatal_in(where, "NEW VECTOR ALREADY ALLOCATED");
  if (n < 0) rtlib_fatal_in(where, "INVALID COUNT");
  bopmemalloc(&v->data, n, sizeof(pointlist_item<L>));
  if (n > 0) XMEM += static_cast<int64_t>(n) * sizeof(pointlist_item<L>);
  v->count = n;
  v->capacity = n;
}

// Grows the storage to cap when that is larger (keeping points 1..count) and sets the
// count; a count beyond the storage would let later writes run past it.
template <class L> void pointlist_resize(L *v, int32_t n, int32_t cap, const char *where) {
  using P = pointlist_item<L>;
  if (n < 0 || n > (cap > v->capacity ? cap : v->capacity)) rtlib_fatal_in(where, "INVALID COUNT");
  if (cap > v->capacity) {
    P *fresh = nullptr;
    bopmemalloc(&fresh, cap, sizeof(P));
    XMEM += static_cast<int64_t>(cap) * sizeof(P);
    if (v->capacity > 0) {
      if (v->count > 0) memcpy(fresh, v->data, static_cast<size_t>(v->count) * sizeof(P));
      XMEM -= static_cast<int64_t>(v->capacity) * sizeof(P);
      bopmemfree(&v->data);
    }
    v->data = fresh;
    v->capacity = cap;
  }
  v->count = n;
}

template <class L> void pointlist_free(L *v) {
  if (v->capacity >= 1) {
    XMEM -= static_cast<int64_t>(v->capacity) * sizeof(pointlist_item<L>);
    bopmemfree(&v->data);
  }
  v->data = nullptr;
  v->count = 0;
  v->capacity = 0;
}

// Appends p, growing a full list to capacity * 6 / 5 + 10; returns the new count.
template <class L> int32_t pointlist_one_more(L *v, const pointlist_item<L> &p, const char *where) {
  int32_t n = v->count + 1;
  if (v->capacity < n) pointlist_resize(v, v->count, v->capacity * 6 / 5 + 10, where);
  v->data[n - 1] = p;
  v->count = n;
  return n;
}

// Copies the points of src into dst, growing dst to src's capacity when it is short.
template <class L> void pointlist_copy(L *dst, const L *src, const char *where) {
  if (dst->capacity < src->count) pointlist_resize(dst, src->count, src->capacity, where);
  if (src->count > 0) memmove(dst->data, src->data, static_cast<size_t>(src->count) * sizeof(pointlist_item<L>));
  dst->count = src->count;
}

// Writes p at position i (1..count+1), moving points i..count up one place.
template <class L> void pointlist_insert(L *v, int32_t i, const pointlist_item<L> &p, const char *where) {
  if (i < 1 || i > v->count + 1) rtlib_fatal_in(where, "INVALID INDEX");
  int32_t n = v->count;
  pointlist_one_more(v, p, where);
  memmove(v->data + i, v->data + i - 1, static_cast<size_t>(n - i + 1) * sizeof(pointlist_item<L>));
  v->data[i - 1] = p;
}

// Removes point i (1..count), moving the later points down one place.
template <class L> void pointlist_delete(L *v, int32_t i, const char *where) {
  if (i < 1 || i > v->count) rtlib_fatal_in(where, "INVALID INDEX");
  memmove(v->data + i - 1, v->data + i, static_cast<size_t>(v->count - i) * sizeof(pointlist_item<L>));
  v->count--;
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
    pointlist_new(v, n, #K "_new_1");                                                    \
  }                                                                                      \
  void K##_resize_1(L *v, int32_t n, int32_t cap) {                                      \
    TRACE(#K "_resize_1");                                                               \
    pointlist_resize(v, n, cap, #K "_resize_1");                                         \
  }                                                                                      \
  void K##_free_1(L *v) {                                                                \
    TRACE(#K "_free_1");                                                                 \
    pointlist_free(v);                                                                   \
  }                                                                                      \
  int32_t K##_one_more_0(L *v, const P *p) {                                             \
    TRACE(#K "_one_more_0");                                                             \
    return pointlist_one_more(v, *p, #K "_one_more_0");                                  \
  }
