// vectorbase: the container operations written once as templates for every kind
// (simple vectors, key-value pairs, fixed arrays); each kind's module wraps them
// under its own names and trace names.
#pragma once
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <type_traits>
#include <vector>

#include "runtime/bopmem.h"
#include "runtime/rtlib.h"

// Fatal texts of the containers.
#define VECTOR_NEW_TWICE "NEW VECTOR ALREADY ALLOCATED"
#define VECTOR_INVALID "INVALID VECTOR"
#define VECTOR_LENGTH "VECTOR LENGTH ERROR"
// A count that does not fit the storage, or an index outside the elements, would
// read or write beyond the slots: these stop instead.
#define VECTOR_COUNT "VECTOR COUNT ERROR"
#define VECTOR_INDEX "VECTOR INDEX ERROR"

template <class V> using vecbase_elem = std::remove_pointer_t<decltype(V::data)>;

// Allocates cap zeroed slots (none for cap <= 0) for a container that holds none.
template <class V> void vecbase_new(V *v, int32_t n, int32_t cap, const char *where) {
  using E = vecbase_elem<V>;
  if (v->capacity != 0) rtlib_fatal_in(where, VECTOR_NEW_TWICE);
  if (n < 0 || n > std::max(cap, 0)) rtlib_fatal_in(where, VECTOR_COUNT);
  v->data = nullptr;
  if (cap > 0) {
    bopmemalloc(&v->data, cap, sizeof(E));
    XMEM += int64_t(cap) * sizeof(E);
  }
  v->capacity = std::max(cap, 0);
  v->count = n;
}

// Grows the storage to cap when cap is larger (elements 1..count copied, the rest
// zero); sets the count in every case. Never shrinks.
template <class V> void vecbase_resize(V *v, int32_t n, int32_t cap, const char *where) {
  using E = vecbase_elem<V>;
  if (n < 0 || n > std::max(cap, v->capacity)) rtlib_fatal_in(where, VECTOR_COUNT);
  if (cap > v->capacity) {
    E *d = nullptr;
    bopmemalloc(&d, cap, sizeof(E));
    XMEM += int64_t(cap) * sizeof(E);
    if (v->capacity > 0) {
      if (v->count > 0) memcpy(d, v->data, size_t(v->count) * sizeof(E));
      XMEM -= int64_t(v->capacity) * sizeof(E);
      bopmemfree(&v->data);
    }
    v->data = d;
    v->capacity = cap;
  }
  v->count = n;
}

template <class V> void vecbase_free(V *v) {
  using E = vecbase_elem<V>;
  if (v->capacity > 0) {
    XMEM -= int64_t(v->capacity) * sizeof(E);
    bopmemfree(&v->data);
  }
  v->data = nullptr;
  v->count = 0;
  v->capacity = 0;
}

// The one growth rule of every appending operation: capacity * 6 / 5 + 10.
template <class V> void vecbase_room(V *v, const char *rzname) {
  if (v->capacity < v->count + 1) {
    RtlibTrace guard(rzname);
    vecbase_resize(v, v->count, v->capacity * 6 / 5 + 10, rzname);
  }
}

template <class V> int32_t vecbase_one_more(V *v, vecbase_elem<V> x, const char *rzname) {
  vecbase_room(v, rzname);
  v->data[v->count++] = x;
  return v->count;
}

// Copies src's elements into dst (grown to src's count and capacity when short),
// converting each element to dst's type.
template <class D, class S> void vecbase_copy(D *dst, const S *src, const char *rzname) {
  using E = vecbase_elem<D>;
  if (dst->capacity < src->count) {
    RtlibTrace guard(rzname);
    vecbase_resize(dst, src->count, src->capacity, rzname);
  }
  // Elements of the same plain kind go as one block of bytes (a copy onto itself too).
  if constexpr (std::is_same_v<E, vecbase_elem<S>> && std::is_trivially_copyable_v<E>) {
    if (src->count > 0) std::memmove(dst->data, src->data, sizeof(E) * size_t(src->count));
  } else {
    for (int32_t i = 0; i < src->count; i++) dst->data[i] = E(src->data[i]);
  }
  dst->count = src->count;
}

template <class V> void vecbase_fill(V *v, vecbase_elem<V> x) {
  for (int32_t i = 0; i < v->count; i++) v->data[i] = x;
}

// Index of the first element equal to x, or 0.
template <class V> int32_t vecbase_inlist(const V *v, vecbase_elem<V> x) {
  for (int32_t i = 0; i < v->count; i++)
    if (v->data[i] == x) return i + 1;
  return 0;
}

// First element equal to x; else the first zero slot takes x; else x is appended.
template <class V> int32_t vecbase_enlist(V *v, vecbase_elem<V> x, const char *rzname) {
  int32_t k = vecbase_inlist(v, x);
  if (k) return k;
  k = vecbase_inlist(v, vecbase_elem<V>(0));
  if (k) {
    v->data[k - 1] = x;
    return k;
  }
  return vecbase_one_more(v, x, rzname);
}

template <class V> void vecbase_unlist(V *v, vecbase_elem<V> x) {
  int32_t k = vecbase_inlist(v, x);
  if (k) v->data[k - 1] = 0;
}

// Puts x at position i (1 <= i <= count), moving i..count up one place; the last
// element is first appended, so the storage grows by the one-more rule.
template <class V> void vecbase_insert_at(V *v, int32_t i, vecbase_elem<V> x, const char *rzname) {
  vecbase_one_more(v, v->data[v->count - 1], rzname);
  memmove(v->data + i, v->data + i - 1, size_t(v->count - 1 - i) * sizeof(x));
  v->data[i - 1] = x;
}

// Ascending insertion without duplicates.
template <class V> void vecbase_insert_0(V *v, vecbase_elem<V> x, const char *rzname) {
  for (int32_t i = 0; i < v->count; i++) {
    if (v->data[i] == x) return;
    if (v->data[i] > x) return vecbase_insert_at(v, i + 1, x, rzname);
  }
  vecbase_one_more(v, x, rzname);
}

template <class V> void vecbase_insert_1(V *v, int32_t i, vecbase_elem<V> x, const char *where,
                                         const char *rzname) {
  if (i < 1) rtlib_fatal_in(where, VECTOR_INDEX);
  if (i <= v->count) vecbase_insert_at(v, i, x, rzname);
  else vecbase_one_more(v, x, rzname);
}

template <class V> void vecbase_delete_index(V *v, int32_t i, const char *where) {
  if (i < 1) rtlib_fatal_in(where, VECTOR_INDEX);
  if (i > v->count) return;
  memmove(v->data + i - 1, v->data + i, size_t(v->count - i) * sizeof(*v->data));
  v->count--;
}

template <class V> void vecbase_delete(V *v, vecbase_elem<V> x, const char *where) {
  int32_t k = vecbase_inlist(v, x);
  if (k) vecbase_delete_index(v, k, where);
}

// The exchange sort: for i < j, elements i and j are exchanged when v[i] > v[j].
template <class E> void vecbase_exchange_sort(E *a, int32_t n) {
  for (int32_t i = 0; i < n; i++)
    for (int32_t j = i + 1; j < n; j++)
      if (a[i] > a[j]) std::swap(a[i], a[j]);
}

// Ascending sort with the exchange sort's result. Equal integers are identical, so
// any sort gives that result; floating values differ only when +0 and -0 (equal but
// distinguishable) or NaNs are present, and then the exchange sort itself runs.
template <class V> void vecbase_sort(V *v) {
  using E = vecbase_elem<V>;
  E *a = v->data;
  int32_t n = v->count;
  if constexpr (std::is_floating_point_v<E>) {
    bool pos0 = false, neg0 = false;
    for (int32_t i = 0; i < n; i++) {
      if (std::isnan(a[i])) return vecbase_exchange_sort(a, n);
      if (a[i] == 0) (std::signbit(a[i]) ? neg0 : pos0) = true;
    }
    if (pos0 && neg0) return vecbase_exchange_sort(a, n);
  }
  if (n > 1) std::sort(a, a + n);
}

// The heapsort of x[1..n] (1-based) by the order less: the heap is built from the
// middle down, then its top is exchanged with its last place, one place at a time.
// The sift goes down the larger children (the left one on a tie) while the sifted
// element t is below them, and t takes the place where it stops.
template <class E, class L> void vecbase_heapsort(E *x, int32_t n, L less) {
  if (n < 2) return;
  int32_t l = n / 2 + 1, r = n;
  for (;;) {
    E t;
    if (l > 1) {
      t = x[--l];
    } else {
      t = x[r];
      x[r] = x[1];
      if (--r < 2) {
        x[1] = t;
        break;
      }
    }
    int32_t i = l, j = 2 * l;
    while (j <= r) {
      if (j < r && less(x[j], x[j + 1])) j++;
      if (!less(t, x[j])) break;
      x[i] = x[j];
      i = j;
      j += j;
    }
    x[i] = t;
  }
}

// The same heapsort of 4-byte words x[1..n] ordered by their bits under mask (a run of
// upper bits): u is below w when u < (w & mask), as the bits under the mask decide
// and those below it never lift u to w's masked value. The same places are found
// another way: the children along the sift's path all move up one level to the
// bottom, and t then climbs back while it is not below the element above it. Along
// the path each element is at least the next one, so t is not below the elements
// from some level down and below those above it: the climb stops where the sift
// would have. The way down needs no test on t, and each step reads the four
// grandchildren with the choice of child (two 8-byte reads), so the next pair is at
// hand when the child is chosen: the way down waits on one memory read every other
// level. The pair of children is compared as one 8-byte value: the left word moved
// to the upper half against the masked right word in place, one shift and one mask
// in place of two shifts of each. x must have readable places up to 2n + 1 (the
// values there are never used).
inline void vecbase_heapsort_words(uint32_t *x, int32_t n, uint32_t mask) {
  static_assert(std::endian::native == std::endian::little, "x[j] must be the lower half of the pair read at x + j");
  if (n < 2) return;
  const uint64_t high = uint64_t(mask) << 32;
  int32_t l = n / 2 + 1, r = n;
  for (;;) {
    uint32_t t;
    if (l > 1) {
      t = x[--l];
    } else {
      t = x[r];
      x[r] = x[1];
      if (--r < 2) {
        x[1] = t;
        break;
      }
    }
    int32_t i = l, j = 2 * l;
    if (j < r) {
      uint64_t pair, left, right;  // x[j] in the lower half, x[j + 1] in the upper
      memcpy(&pair, x + j, 8);
      for (;;) {
        memcpy(&left, x + 2 * size_t(j), 8);
        memcpy(&right, x + 2 * size_t(j) + 2, 8);
        bool up = (pair << 32) < (pair & high);
        x[i] = uint32_t(pair >> (up ? 32 : 0));
        i = j + up;
        j = 2 * i;
        if (j >= r) break;
        pair = up ? right : left;
      }
    }
    if (j == r) {
      x[i] = x[j];
      i = j;
    }
    for (; i > l && !(t < (x[i / 2] & mask)); i /= 2) x[i] = x[i / 2];
    x[i] = t;
  }
}

// The heapsort's permutation of finite floating values a[0..n-1] (1-based positions
// into at), by a heapsort of 4-byte words in place of the values. Comparisons only
// ever ask whether one value is below another, so any keys in the same order with
// the same ties give the same permutation. The values are first put in ascending
// order (by bucket on the value, then within buckets; a value's ties by position);
// an element's word is then the place its tie group starts at, shifted up, with its
// place within the group below, and words compare by the upper part. Where no two
// values are equal, the order found is the permutation itself. False (nothing
// written) when the values are all equal or the words would not fit in 32 bits
// (the room for a place within a group is that of the fullest bucket).
template <class E, class I> bool vecbase_sortix_words(I *at, const E *a, int32_t n, E lo, E hi) {
  struct Pair {
    E key;
    int32_t at;
  };
  if (!(hi > lo)) return false;
  // Bucket b(x) = (x - lo) * n / (hi - lo), rounded down and capped: never
  // decreasing in x, as each floating step rounds monotonically.
  double scale = double(n) / (double(hi) - double(lo));
  // It is worked out again where an element is placed, cheaper than a list of them.
  auto bucket = [&](E x) {
    double d = (double(x) - double(lo)) * scale;
    return d < double(n - 1) ? int32_t(d) : n - 1;
  };
  std::unique_ptr<int32_t[]> end(new int32_t[size_t(n) + 1]());
  for (int32_t k = 0; k < n; k++) end[size_t(bucket(a[k])) + 1]++;
  int32_t most = 0;
  for (int32_t b = 0; b < n; b++) most = std::max(most, end[size_t(b) + 1]), end[size_t(b) + 1] += end[size_t(b)];
  // Ties share a bucket, so no group is wider than the fullest bucket: its width
  // sets the room for the place within a group.
  int shift = 0;
  while ((int32_t(1) << shift) < most) shift++;
  if ((uint64_t(n - 1) << shift) > UINT32_MAX) return false;
  std::unique_ptr<Pair[]> s(new Pair[size_t(n)]);
  for (int32_t k = 0; k < n; k++) s[size_t(end[size_t(bucket(a[k]))]++)] = {a[k], k};
  // end[b] is now the end of bucket b. Each bucket in order of value, then position:
  // the full ones by a sort each, then the rest by one pass of insertions over all,
  // no element passing its bucket's start (the buckets are in order).
  for (int32_t b = 0, first = 0; b < n; first = end[size_t(b)], b++)
    if (end[size_t(b)] - first > 32)
      std::sort(s.get() + first, s.get() + end[size_t(b)],
                [](const Pair &u, const Pair &w) { return u.key < w.key || (!(w.key < u.key) && u.at < w.at); });
  for (int32_t k = 1; k < n; k++) {
    if (!(s[size_t(k)].key < s[size_t(k - 1)].key)) continue;
    Pair t = s[size_t(k)];
    int32_t c = k;
    for (; c > 0 && t.key < s[size_t(c - 1)].key; c--) s[size_t(c)] = s[size_t(c - 1)];
    s[size_t(c)] = t;
  }
  // The words: each group's first place, shifted up, with the place within the group.
  std::unique_ptr<uint32_t[]> word(new uint32_t[2 * size_t(n) + 2]);
  std::fill(word.get() + n + 1, word.get() + 2 * size_t(n) + 2, 0u);
  int32_t widest = 1;
  for (int32_t k = 0, g = 0; k < n; k++) {
    if (s[size_t(g)].key < s[size_t(k)].key) g = k;
    widest = std::max(widest, k - g + 1);
    word[size_t(s[size_t(k)].at) + 1] = uint32_t(g) << shift | uint32_t(k - g);
  }
  end.reset();
  if (widest == 1) {
    for (int32_t k = 0; k < n; k++) at[k] = I(s[size_t(k)].at + 1);
    return true;
  }
  uint32_t low = (uint32_t(1) << shift) - 1;
  vecbase_heapsort_words(word.get(), n, ~low);
  for (int32_t k = 0; k < n; k++) {
    uint32_t w = word[size_t(k) + 1];
    at[k] = I(s[size_t((w >> shift) + (w & low))].at + 1);
  }
  return true;
}

// Fills ix with the permutation that orders v ascending, by the heapsort of an
// index vector; the order among equal values is the one this heapsort produces.
// Long vectors of finite floating values take the heapsort of small words above;
// otherwise the heap holds (value, index) pairs side by side, so a comparison reads
// the heap itself rather than the value the index points at. Either way the
// comparisons are those of the heapsort of bare indices, so the permutation is the same.
template <class IX, class V> void vecbase_sortix(IX *ix, const V *v, const char *where,
                                                 const char *ixrzname) {
  using I = vecbase_elem<IX>;
  using E = vecbase_elem<V>;
  int32_t n = v->count;
  if (n == 0) return;
  if (int64_t(n) > int64_t(std::numeric_limits<I>::max())) rtlib_fatal_in(where, VECTOR_COUNT);
  {
    RtlibTrace guard(ixrzname);
    vecbase_resize(ix, n, n, ixrzname);
  }
  if constexpr (std::is_floating_point_v<E>) {
    // The range, four elements at a time (four running minima and maxima). A value
    // less itself is 0 when finite and not a number otherwise, so the sums of those
    // differences stay 0 exactly when every value is finite.
    const E *a = v->data;
    E lo[4] = {a[0], a[0], a[0], a[0]}, hi[4] = {a[0], a[0], a[0], a[0]}, nil[4] = {0, 0, 0, 0};
    int32_t k = 0;
    for (; k + 4 <= n; k += 4)
      for (int32_t q = 0; q < 4; q++) {
        nil[q] += a[k + q] - a[k + q];
        lo[q] = std::min(lo[q], a[k + q]);
        hi[q] = std::max(hi[q], a[k + q]);
      }
    for (; k < n; k++) {
      nil[0] += a[k] - a[k];
      lo[0] = std::min(lo[0], a[k]);
      hi[0] = std::max(hi[0], a[k]);
    }
    bool finite = nil[0] + nil[1] + nil[2] + nil[3] == 0;
    E least = std::min(std::min(lo[0], lo[1]), std::min(lo[2], lo[3]));
    E most = std::max(std::max(hi[0], hi[1]), std::max(hi[2], hi[3]));
    if (finite && vecbase_sortix_words(ix->data, a, n, least, most)) return;
  }
  struct Pair {
    E key;
    I at;
  };
  std::vector<Pair> heap(2 * size_t(n) + 2);
  Pair *x = heap.data();  // 1-based view
  for (int32_t k = 1; k <= n; k++) x[k] = {v->data[k - 1], I(k)};
  vecbase_heapsort(x, n, [](const Pair &a, const Pair &b) { return a.key < b.key; });
  for (int32_t k = 1; k <= n; k++) ix->data[k - 1] = x[k].at;
}

// Reverses the bytes of every element in place.
template <class V> void vecbase_bigendian(V *v) {
  constexpr size_t s = sizeof(*v->data);
  auto *p = reinterpret_cast<unsigned char *>(v->data);
  for (int32_t i = 0; i < v->count; i++, p += s) std::reverse(p, p + s);
}

// ---- Arithmetic of the floating kinds -----------------------------------------

template <class V> void vecbase_check(const V *x, const V *y, const char *where) {
  if (x->count != y->count) rtlib_fatal_in(where, VECTOR_LENGTH);
}

// The element loops stand apart from the calls around them, so that captured
// scalars stay in registers instead of being reloaded from the stack.
template <class E, class F> [[gnu::noinline]] void vecbase_kernel2(E *z, const E *x, const E *y, int32_t n, F f) {
  for (int32_t i = 0; i < n; i++) z[i] = f(x[i], y[i]);
}
template <class E, class F> [[gnu::noinline]] void vecbase_kernel1(E *x, int32_t n, F f) {
  for (int32_t i = 0; i < n; i++) x[i] = f(x[i]);
}

// z = f(x, y) element by element; z takes x's count (resized when it differs).
template <class V, class F>
void vecbase_map2(V *z, const V *x, const V *y, F f, const char *where, const char *rzname) {
  vecbase_check(x, y, where);
  if (z->count != x->count) {
    RtlibTrace guard(rzname);
    vecbase_resize(z, x->count, x->capacity, rzname);
  }
  vecbase_kernel2(z->data, x->data, y->data, x->count, f);
}

template <class V, class F> void vecbase_map1(V *x, F f) { vecbase_kernel1(x->data, x->count, f); }

// Sum of f(x[i]) from 0.0 in index order, in double.
template <class V, class F> double vecbase_sum(const V *x, F f) {
  double s = 0.0;
  const auto *xd = x->data;
  for (int32_t i = 0, n = x->count; i < n; i++) s += f(double(xd[i]));
  return s;
}

template <class V> double vecbase_dot(const V *x, const V *y, const char *where) {
  vecbase_check(x, y, where);
  double s = 0.0;
  const auto *xd = x->data, *yd = y->data;
  for (int32_t i = 0, n = x->count; i < n; i++) s += double(xd[i]) * double(yd[i]);
  return s;
}

// ---- Key-value pairs: {count, capacity, keys, values} in parallel arrays ------------

template <class V> using kvbase_value = std::remove_pointer_t<decltype(V::values)>;
template <class V> constexpr int64_t kvbase_pair_bytes = sizeof(int32_t) + sizeof(kvbase_value<V>);

template <class V> void kvbase_new(V *v, int32_t n, int32_t cap, const char *where) {
  if (v->capacity != 0) rtlib_fatal_in(where, VECTOR_NEW_TWICE);
  if (n < 0 || n > std::max(cap, 0)) rtlib_fatal_in(where, VECTOR_COUNT);
  v->keys = nullptr;
  v->values = nullptr;
  if (cap > 0) {
    bopmemalloc(&v->keys, cap, sizeof(int32_t));
    bopmemalloc(&v->values, cap, sizeof(kvbase_value<V>));
    XMEM += cap * kvbase_pair_bytes<V>;
  }
  v->capacity = std::max(cap, 0);
  v->count = n;
}

template <class V> void kvbase_resize(V *v, int32_t n, int32_t cap, const char *where) {
  using T = kvbase_value<V>;
  if (!v) rtlib_fatal_in(where, VECTOR_INVALID);
  if (n < 0 || n > std::max(cap, v->capacity)) rtlib_fatal_in(where, VECTOR_COUNT);
  if (cap > v->capacity) {
    int32_t *k = nullptr;
    T *x = nullptr;
    bopmemalloc(&k, cap, sizeof(int32_t));
    bopmemalloc(&x, cap, sizeof(T));
    XMEM += cap * kvbase_pair_bytes<V>;
    if (v->capacity > 0) {
      if (v->count > 0) {
        memcpy(k, v->keys, size_t(v->count) * sizeof(int32_t));
        memcpy(x, v->values, size_t(v->count) * sizeof(T));
      }
      XMEM -= v->capacity * kvbase_pair_bytes<V>;
      bopmemfree(&v->keys);
      bopmemfree(&v->values);
    }
    v->keys = k;
    v->values = x;
    v->capacity = cap;
  }
  v->count = n;
}

template <class V> void kvbase_free(V *v) {
  if (v->capacity > 0) XMEM -= v->capacity * kvbase_pair_bytes<V>;
  bopmemfree(&v->keys);
  bopmemfree(&v->values);
  v->count = v->capacity = 0;
}

// Copies src's pairs into dst, each value passed through f.
template <class V, class F> void kvbase_copy(V *dst, const V *src, F f, const char *rzname) {
  if (dst->capacity < src->count) {
    RtlibTrace guard(rzname);
    kvbase_resize(dst, src->count, src->capacity, rzname);
  }
  for (int32_t i = 0; i < src->count; i++) {
    dst->keys[i] = src->keys[i];
    dst->values[i] = f(src->values[i]);
  }
  dst->count = src->count;
}

template <class V> int32_t kvbase_one_more(V *v, int32_t key, kvbase_value<V> x, const char *rzname) {
  if (v->capacity < v->count + 1) {
    RtlibTrace guard(rzname);
    kvbase_resize(v, v->count, v->capacity * 6 / 5 + 10, rzname);
  }
  v->keys[v->count] = key;
  v->values[v->count] = x;
  return ++v->count;
}

// An equal key has its value replaced; else the pair goes before the first greater
// key (the last pair is first appended, then the later pairs move up), else at the end.
template <class V> void kvbase_insert(V *v, int32_t key, kvbase_value<V> x, const char *rzname) {
  int32_t i = 0;
  while (i < v->count && v->keys[i] < key) i++;
  if (i < v->count && v->keys[i] == key) {
    v->values[i] = x;
    return;
  }
  if (i == v->count) {
    kvbase_one_more(v, key, x, rzname);
    return;
  }
  kvbase_one_more(v, v->keys[v->count - 1], v->values[v->count - 1], rzname);
  size_t move = size_t(v->count - 2 - i);
  memmove(v->keys + i + 1, v->keys + i, move * sizeof(int32_t));
  memmove(v->values + i + 1, v->values + i, move * sizeof(x));
  v->keys[i] = key;
  v->values[i] = x;
}

template <class V> void kvbase_delete_index(V *v, int32_t i) {
  size_t move = size_t(v->count - i);
  memmove(v->keys + i - 1, v->keys + i, move * sizeof(int32_t));
  memmove(v->values + i - 1, v->values + i, move * sizeof(*v->values));
  v->count--;
}

// The exchange sort of the pairs by key (or by value): for i < j, pairs i and j
// are exchanged when the sort field of i is greater than that of j. Where the sort
// fields are all distinct (and none is a NaN) the result is the one ascending order,
// which a quicker sort finds as well; longer lists try that first and keep it only
// when the fields come out strictly ascending.
template <class V> void kvbase_sort(V *v, bool by_value) {
  int32_t n = v->count;
  if (!by_value && n > 1) {
    // Values all the same (bit for bit, as a pattern's zeros): pairs of equal keys
    // cannot be told apart, so the keys sorted alone are the result.
    bool same = true;
    for (int32_t i = 1; i < n && same; i++) same = memcmp(&v->values[i], &v->values[0], sizeof(*v->values)) == 0;
    if (same) {
      std::sort(v->keys, v->keys + n);
      return;
    }
  }
  if (n > 8) {
    using D = std::remove_pointer_t<decltype(v->values)>;
    struct Item {
      int32_t key;
      D value;
    };
    thread_local std::vector<Item> items;
    items.resize(size_t(n));
    bool orderable = true;
    for (int32_t i = 0; i < n; i++) {
      items[size_t(i)] = {v->keys[i], v->values[i]};
      if constexpr (std::is_floating_point_v<D>) orderable = orderable && !(by_value && std::isnan(v->values[i]));
    }
    if (orderable) {
      if (by_value) {
        std::sort(items.begin(), items.end(), [](const Item &a, const Item &b) { return a.value < b.value; });
      } else {
        std::sort(items.begin(), items.end(), [](const Item &a, const Item &b) { return a.key < b.key; });
      }
      bool distinct = true;
      for (int32_t i = 1; i < n && distinct; i++)
        distinct = by_value ? items[size_t(i - 1)].value < items[size_t(i)].value
                            : items[size_t(i - 1)].key < items[size_t(i)].key;
      if (distinct) {
        for (int32_t i = 0; i < n; i++) v->keys[i] = items[size_t(i)].key, v->values[i] = items[size_t(i)].value;
        return;
      }
    }
  }
  for (int32_t i = 0; i < v->count; i++)
    for (int32_t j = i + 1; j < v->count; j++)
      if (by_value ? v->values[i] > v->values[j] : v->keys[i] > v->keys[j]) {
        std::swap(v->keys[i], v->keys[j]);
        std::swap(v->values[i], v->values[j]);
      }
}

// ---- Fixed arrays: {count, data}, no spare capacity ----------------------------------

// A count below the elements held would lose storage or write beyond it.
#define ARRAY_COUNT "ARRAY COUNT ERROR"
// A second new on an array (of values, of rows, of planes) that holds elements.
#define ARRAY_NEW_TWICE "NEW ARRAY ALREADY ALLOCATED"
#define ARRAY2_NEW_TWICE "NEW ARRAY2: ALREADY ALLOCATED"
#define ARRAY3_NEW_TWICE "NEW ARRAY3: ALREADY ALLOCATED"

// Allocates n zeroed elements (rows and planes: all-zero records) for an empty array.
template <class A> void arrbase_new(A *a, int32_t n, const char *where, const char *twice) {
  using E = vecbase_elem<A>;
  if (a->count > 0) rtlib_fatal_in(where, twice);
  if (n < 0) rtlib_fatal_in(where, ARRAY_COUNT);
  a->data = nullptr;
  bopmemalloc(&a->data, n, sizeof(E));
  XMEM += int64_t(n) * sizeof(E);
  a->count = n;
}

// Always reallocates to n elements, moving elements 1..count (rows and planes move
// with their storage); n below the count stops.
template <class A> void arrbase_resize(A *a, int32_t n, const char *where) {
  using E = vecbase_elem<A>;
  if (n < a->count) rtlib_fatal_in(where, ARRAY_COUNT);
  E *d = nullptr;
  bopmemalloc(&d, n, sizeof(E));
  XMEM += int64_t(n) * sizeof(E);
  if (a->count >= 1) {
    memcpy(static_cast<void *>(d), a->data, size_t(a->count) * sizeof(E));
    XMEM -= int64_t(a->count) * sizeof(E);
    bopmemfree(&a->data);
  }
  a->data = d;
  a->count = n;
}

// Releases the elements; free_row, when given, first frees every row (plane) that
// holds elements.
template <class A> void arrbase_free(A *a, void (*free_row)(vecbase_elem<A> *) = nullptr) {
  using E = vecbase_elem<A>;
  if (a->count > 0) {
    if constexpr (std::is_class_v<E>)
      for (int32_t i = 0; i < a->count; i++)
        if (a->data[i].count > 0) free_row(&a->data[i]);
    XMEM -= int64_t(a->count) * sizeof(E);
    bopmemfree(&a->data);
  }
  a->data = nullptr;
  a->count = 0;
}

// ---- Debug listings ---------------------------------------------------------------

// The shared listing layout: header line, then rows "%5u | " with the index of the
// row's first element and per values each; an empty container gives one empty row.
template <class F> void vecbase_print(FILE *f, int32_t count, int32_t per, const char *name, F item) {
  fprintf(f, "        %s\n", name);
  int32_t first = 1;
  do {
    fprintf(f, "%5u | ", unsigned(first));
    for (int32_t i = first; i < first + per && i <= count; i++) item(i);
    fprintf(f, "\n");
    first += per;
  } while (first - 1 < count);
}

// The value formatted by the system's number formatter, written with the given
// printf format for a text ("  %10s" in the vector listings).
void vecbase_print_real_field(FILE *f, double x, const char *format);
inline void vecbase_print_real(FILE *f, double x) { vecbase_print_real_field(f, x, "  %10s"); }

// ---- Definitions shared by the kinds' modules ---------------------------------------
// Each macro defines a group of a kind's public functions over the templates above,
// each with its own trace name (kind_operation_variant).

// init, new, resize, free and print_0 of a kind K whose storage templates are
// BASE_new, BASE_resize and BASE_free.
#define CONTAINER_LIFE(K, BASE)                                                           \
  int K##_init() {                                                                        \
    TRACE(#K);                                                                            \
    return 0;                                                                             \
  }                                                                                       \
  void K##_new(K *v, int32_t n, int32_t cap) {                                            \
    TRACE(#K "_new_0");                                                                   \
    BASE##_new(v, n, cap, #K "_new_0");                                                   \
  }                                                                                       \
  void K##_resize(K *v, int32_t n, int32_t cap) {                                         \
    TRACE(#K "_resize_0");                                                                \
    BASE##_resize(v, n, cap, #K "_resize_0");                                             \
  }                                                                                       \
  void K##_free(K *v) {                                                                   \
    TRACE(#K "_free_0");                                                                  \
    BASE##_free(v);                                                                       \
  }                                                                                       \
  void K##_print_0(const K *v, const char *name) {                                        \
    TRACE(#K "_print_0");                                                                 \
    K##_print_1(stdout, v, name);                                                         \
  }

// The above, one_more, copyto_0 (copy) and copyto_1 (fill) of a simple vector kind.
#define VECBASE_LIFE(K)                                                                   \
  CONTAINER_LIFE(K, vecbase)                                                              \
  int32_t K##_one_more(K *v, vecbase_elem<K> x) {                                         \
    TRACE(#K "_one_more_0");                                                              \
    return vecbase_one_more(v, x, #K "_resize_0");                                        \
  }                                                                                       \
  void K##_copyto_0(K *dst, const K *src) {                                               \
    TRACE(#K "_copyto_0");                                                                \
    vecbase_copy(dst, src, #K "_resize_0");                                               \
  }                                                                                       \
  void K##_copyto_1(K *v, vecbase_elem<K> x) {                                            \
    TRACE(#K "_copyto_1");                                                                \
    vecbase_fill(v, x);                                                                   \
  }

// The common life-cycle, copyto_0 (copy), one_more and insert (by key) of a key-value
// kind.
#define KVBASE_LIFE(K)                                                                    \
  CONTAINER_LIFE(K, kvbase)                                                               \
  void K##_copyto_0(K *dst, const K *src) {                                               \
    TRACE(#K "_copyto_0");                                                                \
    kvbase_copy(dst, src, [](kvbase_value<K> x) { return x; }, #K "_resize_0");           \
  }                                                                                       \
  int32_t K##_one_more(K *v, int32_t key, kvbase_value<K> value) {                        \
    TRACE(#K "_one_more_0");                                                              \
    return kvbase_one_more(v, key, value, #K "_resize_0");                                \
  }                                                                                       \
  void K##_insert(K *v, int32_t key, kvbase_value<K> value) {                             \
    TRACE(#K "_insert_0");                                                                \
    kvbase_insert(v, key, value, #K "_resize_0");                                         \
  }

// init, new, resize and free of a fixed-array kind. TWICE is the text of a second new;
// the optional last argument frees one row (plane) before the array is released.
#define ARRBASE_LIFE(K, TWICE, ...)                                                       \
  int K##_init() {                                                                        \
    TRACE(#K);                                                                            \
    return 0;                                                                             \
  }                                                                                       \
  void K##_new(K *a, int32_t n) {                                                         \
    TRACE(#K "_new_0");                                                                   \
    arrbase_new(a, n, #K "_new_0", TWICE);                                                \
  }                                                                                       \
  void K##_resize(K *a, int32_t n) {                                                      \
    TRACE(#K "_resize_0");                                                                \
    arrbase_resize(a, n, #K "_resize_0");                                                 \
  }                                                                                       \
  void K##_free(K *a) {                                                                   \
    TRACE(#K "_free_0");                                                                  \
    arrbase_free(a __VA_OPT__(, ) __VA_ARGS__);                                           \
  }

// enlist, insert_0 (ordered), delete, delete_index, sort.
#define VECBASE_LIST(K)                                                                   \
  int32_t K##_enlist(K *v, vecbase_elem<K> x) {                                           \
    TRACE(#K "_enlist_0");                                                                \
    return vecbase_enlist(v, x, #K "_resize_0");                                          \
  }                                                                                       \
  void K##_insert_0(K *v, vecbase_elem<K> x) {                                            \
    TRACE(#K "_insert_0");                                                                \
    vecbase_insert_0(v, x, #K "_resize_0");                                               \
  }                                                                                       \
  void K##_delete(K *v, vecbase_elem<K> x) {                                              \
    TRACE(#K "_delete_0");                                                                \
    vecbase_delete(v, x, #K "_delete_0");                                                 \
  }                                                                                       \
  void K##_delete_index(K *v, int32_t i) {                                                \
    TRACE(#K "_delete_index_0");                                                          \
    vecbase_delete_index(v, i, #K "_delete_index_0");                                     \
  }                                                                                       \
  void K##_sort(K *v) {                                                                   \
    TRACE(#K "_sort_0");                                                                  \
    vecbase_sort(v);                                                                      \
  }

#define VECBASE_UNLIST(K)                                                                 \
  void K##_unlist(K *v, vecbase_elem<K> x) {                                              \
    TRACE(#K "_unlist_0");                                                                \
    vecbase_unlist(v, x);                                                                 \
  }

#define VECBASE_INLIST(K)                                                                 \
  int32_t K##_inlist(const K *v, vecbase_elem<K> x) {                                     \
    TRACE(#K "_inlist_0");                                                                \
    return vecbase_inlist(v, x);                                                          \
  }

#define VECBASE_INSERT_1(K)                                                               \
  void K##_insert_1(K *v, int32_t i, vecbase_elem<K> x) {                                 \
    TRACE(#K "_insert_1");                                                                \
    vecbase_insert_1(v, i, x, #K "_insert_1", #K "_resize_0");                            \
  }

#define VECBASE_BIGENDIAN(K)                                                              \
  void K##_bigendian(K *v) {                                                              \
    TRACE(#K "_bigendian_0");                                                             \
    vecbase_bigendian(v);                                                                 \
  }

// Histogram counters: count(k) grows to k*11/10+10 when capacity < k, adds 1 to
// element k and raises the count to k; uncount(k) takes 1 off element k, never
// below 0. Keys below 1 are stopped.
#define VECBASE_COUNT(K)                                                                  \
  void K##_count(K *v, int32_t k) {                                                       \
    TRACE(#K "_count_0");                                                                 \
    if (k < 1) rtlib_fatal_in(#K "_count_0", VECTOR_INDEX);                               \
    if (v->capacity < k) {                                                                \
      RtlibTrace guard(#K "_resize_0");                                                   \
      vecbase_resize(v, v->count, k * 11 / 10 + 10, #K "_resize_0");                      \
    }                                                                                     \
    v->data[k - 1]++;                                                                     \
    if (v->count < k) v->count = k;                                                       \
  }                                                                                       \
  void K##_uncount(K *v, int32_t k) {                                                     \
    TRACE(#K "_uncount_0");                                                               \
    if (k < 1) rtlib_fatal_in(#K "_uncount_0", VECTOR_INDEX);                             \
    if (k <= v->count && v->data[k - 1] > 0) v->data[k - 1]--;                            \
  }

// Element-wise arithmetic, dot product, sums and index sorts of the floating kinds.
#define VECBASE_ARITH_MAP2(K, fn, expr)                                                   \
  void K##_##fn(K *z, const K *x, const K *y) {                                           \
    TRACE(#K "_" #fn "_0");                                                               \
    vecbase_map2(z, x, y, [](vecbase_elem<K> a, vecbase_elem<K> b) { return expr; },      \
                 #K "_" #fn "_0", #K "_resize_0");                                        \
  }
#define VECBASE_ARITH_TO(K, fn, expr)                                                     \
  void K##_##fn##_0(K *x, const K *y) {                                                   \
    TRACE(#K "_" #fn "_0");                                                               \
    vecbase_map2(x, x, y, [](vecbase_elem<K> a, vecbase_elem<K> b) { return expr; },      \
                 #K "_" #fn "_0", #K "_resize_0");                                        \
  }                                                                                       \
  void K##_##fn##_1(K *x, vecbase_elem<K> b) {                                            \
    TRACE(#K "_" #fn "_1");                                                               \
    vecbase_map1(x, [b](vecbase_elem<K> a) { return expr; });                             \
  }
#define VECBASE_ARITH(K)                                                                  \
  VECBASE_ARITH_MAP2(K, add, a + b)                                                       \
  VECBASE_ARITH_MAP2(K, sub, a - b)                                                       \
  VECBASE_ARITH_MAP2(K, mul, a * b)                                                       \
  VECBASE_ARITH_MAP2(K, div, a / b)                                                       \
  VECBASE_ARITH_TO(K, addto, a + b)                                                       \
  VECBASE_ARITH_TO(K, subto, a - b)                                                       \
  VECBASE_ARITH_TO(K, multo, a * b)                                                       \
  VECBASE_ARITH_TO(K, divto, a / b)                                                       \
  void K##_negate(K *x) {                                                                 \
    TRACE(#K "_negate_0");                                                                \
    vecbase_map1(x, [](vecbase_elem<K> a) { return -a; });                                \
  }                                                                                       \
  void K##_zaxpy(K *z, vecbase_elem<K> s, const K *x, const K *y) {                       \
    TRACE(#K "_zaxpy_0");                                                                 \
    vecbase_map2(z, x, y, [s](vecbase_elem<K> a, vecbase_elem<K> b) { return s * a + b; }, \
                 #K "_zaxpy_0", #K "_resize_0");                                          \
  }                                                                                       \
  double K##_dot(const K *x, const K *y) {                                                \
    TRACE(#K "_dot_0");                                                                   \
    return vecbase_dot(x, y, #K "_dot_0");                                                \
  }                                                                                       \
  double K##_rowsum(const K *v) {                                                         \
    TRACE(#K "_rowsum_0");                                                                \
    return vecbase_sum(v, [](double a) { return a; });                                    \
  }                                                                                       \
  double K##_norm_l1(const K *v) {                                                        \
    TRACE(#K "_norm_l1_0");                                                               \
    return vecbase_sum(v, [](double a) { return std::fabs(a); });                         \
  }                                                                                       \
  double K##_norm_l2(const K *v) {                                                        \
    TRACE(#K "_norm_l2_0");                                                               \
    return vecbase_sum(v, [](double a) { return a * a; });                                \
  }                                                                                       \
  void K##_sortix_0(vectorn *ix, const K *v) {                                            \
    TRACE(#K "_sortix_0");                                                                \
    vecbase_sortix(ix, v, #K "_sortix_0", "vectorn_resize_0");                            \
  }                                                                                       \
  void K##_sortix_1(vectorl *ix, const K *v) {                                            \
    TRACE(#K "_sortix_1");                                                                \
    vecbase_sortix(ix, v, #K "_sortix_1", "vectorl_resize_0");                            \
  }
