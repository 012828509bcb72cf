// The simple vector kinds: growth, storage accounting, lists, sorts, arithmetic,
// index sorts, listings and the fatal stops, checked against independent models.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "runtime/bopmem.h"
#include "runtime/vectorb.h"
#include "runtime/vectord.h"
#include "runtime/vectori.h"
#include "runtime/vectorl.h"
#include "runtime/vectorn.h"
#include "runtime/vectors.h"
#include "runtime/vectortf.h"
#include "tests/runtime/fatal_stop.h"

namespace {

// ---- One table of functions per kind, so the shared behaviour is tested once ------

#define KIND_OPS(K)                                                                    \
  static void new_(K *v, int32_t n, int32_t c) { K##_new(v, n, c); }                   \
  static void resize(K *v, int32_t n, int32_t c) { K##_resize(v, n, c); }              \
  static void free_(K *v) { K##_free(v); }                                             \
  static int32_t one_more(K *v, E x) { return K##_one_more(v, x); }                    \
  static void copy(K *d, const K *s) { K##_copyto_0(d, s); }                           \
  static void fill(K *v, E x) { K##_copyto_1(v, x); }                                 \
  static void print(FILE *f, const K *v, const char *n) { K##_print_1(f, v, n); }      \
  static constexpr const char *name = #K;
#define LIST_OPS(K)                                                                    \
  static int32_t enlist(K *v, E x) { return K##_enlist(v, x); }                        \
  static void unlist(K *v, E x) { K##_unlist(v, x); }                                  \
  static void insert_0(K *v, E x) { K##_insert_0(v, x); }                              \
  static void del(K *v, E x) { K##_delete(v, x); }                                     \
  static void delete_index(K *v, int32_t i) { K##_delete_index(v, i); }                \
  static void sort(K *v) { K##_sort(v); }

struct KD { using V = vectord; using E = double; KIND_OPS(vectord) };
struct KS { using V = vectors; using E = float; KIND_OPS(vectors) LIST_OPS(vectors) };
struct KL { using V = vectorl; using E = int32_t; KIND_OPS(vectorl) LIST_OPS(vectorl) };
struct KN { using V = vectorn; using E = uint16_t; KIND_OPS(vectorn) LIST_OPS(vectorn) };
struct KI { using V = vectori; using E = int16_t; KIND_OPS(vectori) LIST_OPS(vectori) };
struct KB { using V = vectorb; using E = uint8_t; KIND_OPS(vectorb) LIST_OPS(vectorb) };
struct KT { using V = vectortf; using E = uint8_t; KIND_OPS(vectortf) };

template <class K> struct AllKinds : testing::Test {};
using Kinds = testing::Types<KD, KS, KL, KN, KI, KB, KT>;
TYPED_TEST_SUITE(AllKinds, Kinds);

// The capacities seen while appending one element at a time.
template <class K> std::vector<int32_t> growth(int n) {
  typename K::V v = {};
  std::vector<int32_t> caps;
  for (int i = 1; i <= n; i++) {
    EXPECT_EQ(K::one_more(&v, typename K::E(i)), i);
    if (caps.empty() || caps.back() != v.capacity) caps.push_back(v.capacity);
  }
  K::free_(&v);
  return caps;
}

TYPED_TEST(AllKinds, AppendingGrowsByTheOneMoreRule) {
  using K = TypeParam;
  int64_t before = XMEM;
  EXPECT_EQ(growth<K>(100), (std::vector<int32_t>{10, 22, 36, 53, 73, 97, 126}));
  typename K::V v = {};
  for (int i = 1; i <= 23; i++) K::one_more(&v, typename K::E(i % 100));
  EXPECT_EQ(XMEM, before + 36 * int64_t(sizeof(typename K::E)));
  for (int i = 1; i <= 23; i++) EXPECT_EQ(v.data[i - 1], typename K::E(i % 100));
  K::free_(&v);
  K::free_(&v);  // twice is harmless
  EXPECT_EQ(XMEM, before);
  EXPECT_EQ(v.data, nullptr);
}

TYPED_TEST(AllKinds, FatalStopsNameTheFunction) {
  using K = TypeParam;
  std::string k = K::name;
  typename K::V v = {};
  K::new_(&v, 1, 4);
  EXPECT_EQ(fatal_stop([&] { K::new_(&v, 1, 4); }), "NEW VECTOR ALREADY ALLOCATED IN " + k + "_new_0");
  for (int32_t n : {5, -1})
    EXPECT_EQ(fatal_stop([&] { K::resize(&v, n, 2); }), "VECTOR COUNT ERROR IN " + k + "_resize_0");
  if constexpr (!std::is_same_v<K, KD> && !std::is_same_v<K, KT>)
    EXPECT_EQ(fatal_stop([&] { K::delete_index(&v, 0); }), "VECTOR INDEX ERROR IN " + k + "_delete_index_0");
  EXPECT_EQ(v.count * 10 + v.capacity, 14);
  K::free_(&v);
  EXPECT_EQ(fatal_stop([&] { K::new_(&v, 3, 2); }), "VECTOR COUNT ERROR IN " + k + "_new_0");
  EXPECT_EQ(v.capacity, 0);
}

TEST(SimpleVectors, InlistCompressAndHistogram) {
  vectorl v = {};
  for (int32_t x : {0, 5, 0, 7}) vectorl_one_more(&v, x);
  EXPECT_EQ(vectorl_inlist(&v, 7) * 10 + vectorl_inlist(&v, 8), 40);
  vectorl_compress(&v);
  EXPECT_EQ(std::vector<int32_t>(v.data, v.data + v.count), (std::vector<int32_t>{5, 7}));
  vectorl_resize(&v, 0, 0);
  vectorl_compress(&v);
  EXPECT_EQ(v.count, 0);
  vectorl_free(&v);

  vectorn h = {};
  vectorn_count(&h, 5);
  EXPECT_EQ((std::vector<int>{h.capacity, h.count, h.data[4]}), (std::vector<int>{15, 5, 1}));
  vectorn_count(&h, 5);
  vectorn_count(&h, 2);
  vectorn_uncount(&h, 1);  // already 0: stays 0
  vectorn_uncount(&h, 5);
  vectorn_uncount(&h, 9);  // beyond count: nothing
  EXPECT_EQ(std::vector<int>(h.data, h.data + h.count), (std::vector<int>{0, 1, 0, 0, 1}));
  vectorn_count(&h, 16);  // beyond capacity 15: grows to 16*11/10+10
  EXPECT_EQ(h.capacity, 27);
  EXPECT_EQ(h.data[4], 1);
  EXPECT_EQ(fatal_stop([&] { vectorn_count(&h, 0); }), "VECTOR INDEX ERROR IN vectorn_count_0");
  EXPECT_EQ(fatal_stop([&] { vectorl_uncount(&v, -3); }), "VECTOR INDEX ERROR IN vectorl_uncount_0");
  vectorn_free(&h);
}

TEST(SimpleVectors, ByteReversal) {
  vectord d = {};
  vectorl l = {};
  vectors f = {};
  vectord_one_more(&d, 1.0);  // 3ff0000000000000
  vectorl_one_more(&l, 0x01020304);
  vectors_one_more(&f, 1.0f);  // 3f800000
  vectord_bigendian(&d), vectorl_bigendian(&l), vectors_bigendian(&f);
  uint64_t db;
  uint32_t fb;
  memcpy(&db, d.data, 8), memcpy(&fb, f.data, 4);
  EXPECT_EQ(db, 0x000000000000f03fULL);
  EXPECT_EQ(l.data[0], 0x04030201);
  EXPECT_EQ(fb, 0x0000803fu);
  vectord_free(&d), vectorl_free(&l), vectors_free(&f);
}

// ---- vectord -----------------------------------------------------------------------

vectord make(std::initializer_list<double> xs) {
  vectord v = {};
  for (double x : xs) vectord_one_more(&v, x);
  return v;
}
std::vector<double> values(const vectord &v) { return std::vector<double>(v.data, v.data + v.count); }

TEST(Vectord, ElementWiseArithmetic) {
  vectord x = make({1, 2, 3}), y = make({4, 8, 16}), z = {};
  vectord_add(&z, &x, &y);
  EXPECT_EQ(values(z), (std::vector<double>{5, 10, 19}));
  EXPECT_EQ(z.capacity, x.capacity);
  vectord_zaxpy(&z, 2, &x, &y);
  EXPECT_EQ(values(z), (std::vector<double>{6, 12, 22}));
  EXPECT_EQ(vectord_dot(&x, &y), 4 + 16 + 48);
  vectord w = make({1});
  EXPECT_EQ(fatal_stop([&] { vectord_dot(&x, &w); }), "VECTOR LENGTH ERROR IN vectord_dot_0");
  EXPECT_EQ(fatal_stop([&] { vectord_add(&z, &x, &w); }), "VECTOR LENGTH ERROR IN vectord_add_0");
  EXPECT_EQ(fatal_stop([&] { vectord_zaxpy(&z, 1, &w, &y); }), "VECTOR LENGTH ERROR IN vectord_zaxpy_0");
  EXPECT_EQ(fatal_stop([&] { vectord_multo_0(&w, &x); }), "VECTOR LENGTH ERROR IN vectord_multo_0");
  EXPECT_EQ(values(w), (std::vector<double>{1}));
  EXPECT_EQ(fatal_stop([&] { vectord_resize(nullptr, 1, 1); }), "INVALID VECTOR IN vectord_resize_0");
  for (vectord *v : {&x, &y, &z, &w}) vectord_free(v);
}

TEST(Vectord, NormsAndSums) {
  vectord v = make({3, -4}), e = {}, r = make({1e16, 1, -1e16});
  EXPECT_EQ((std::vector<double>{vectord_norm_l2(&v), vectord_norm_l1(&v), vectord_rowsum(&v)}),
            (std::vector<double>{25, 7, -1}));
  // vectord_norm: 1 and 2 as above, p > 2 the sum of |x|^p, others the max norm.
  EXPECT_EQ((std::vector<double>{vectord_norm(&v, 1), vectord_norm(&v, 2), vectord_norm(&v, 4), vectord_norm(&v, 0),
                                 vectord_norm(&v, 3), vectord_norm(&e, 7), vectord_dot(&e, &e)}),
            (std::vector<double>{7, 25, 81 + 256, 4, 4, 0, 0}));
  EXPECT_EQ(vectord_rowsum(&r), 0) << "index order: 1e16 + 1 - 1e16 is 0 left to right";
  vectord_free(&v), vectord_free(&r);
}

TEST(Vectord, MinMaxReportsTheFirstOfEqualExtremes) {
  vectord v = make({3, 1, 1, 3}), e = {}, one = make({2e300});
  minmaxrec m;
  double out[2];
  vectord_minmax_0(&v, &m);
  vectord_minmax_1(&v, out);
  EXPECT_EQ((std::vector<double>{double(m.imin), double(m.imax), m.min, m.max, out[0], out[1]}),
            (std::vector<double>{2, 1, 1, 3, 1, 3}));
  vectord_minmax_0(&e, &m);
  EXPECT_EQ((std::vector<double>{double(m.imin), double(m.imax), m.min, m.max}),
            (std::vector<double>{0, 0, 1.00000000000002e300, -1.00000000000002e300}));
  vectord_minmax_0(&one, &m);  // above the starting maximum's magnitude
  EXPECT_EQ(m.imin + 10 * m.imax, 10);
  vectord_free(&v), vectord_free(&one);
}

TEST(Vectord, EnlistInsertDelete) {
  vectord v = make({4, 0, 6, 0});
  EXPECT_EQ(vectord_enlist(&v, 0.0), 2);
  EXPECT_EQ(vectord_enlist(&v, 6.0), 3);
  EXPECT_EQ(vectord_enlist(&v, 9.0), 2);
  EXPECT_EQ(vectord_enlist(&v, 8.0), 4);
  EXPECT_EQ(vectord_enlist(&v, 1.0), 5);
  vectord s = make({1, 3, 5});
  vectord_insert_0(&s, 3);
  EXPECT_EQ(values(s), (std::vector<double>{1, 3, 5}));
  vectord_insert_0(&s, 0.5);
  vectord_insert_0(&s, 4);
  vectord_insert_0(&s, 9);
  EXPECT_EQ(values(s), (std::vector<double>{0.5, 1, 3, 4, 5, 9}));
  vectord_insert_1(&s, 100, -1);  // beyond the count: appended (one template serves every kind)
  vectord_insert_1(&s, 2, -2);
  EXPECT_EQ(values(s), (std::vector<double>{0.5, -2, 1, 3, 4, 5, 9, -1}));
  vectord_delete(&s, 3);
  vectord_delete(&s, 77);
  vectord_delete_index(&s, 1);
  vectord_delete_index(&s, 99);
  EXPECT_EQ(values(s), (std::vector<double>{-2, 1, 4, 5, 9, -1}));
  EXPECT_EQ(fatal_stop([&] { vectord_insert_1(&s, 0, 1); }), "VECTOR INDEX ERROR IN vectord_insert_1");
  EXPECT_EQ(fatal_stop([&] { vectord_delete_index(&s, -1); }), "VECTOR INDEX ERROR IN vectord_delete_index_0");
  vectord_free(&v), vectord_free(&s);
}

// The exchange sort written out as a reference.
template <class T> void exchange_sort(std::vector<T> &a) {
  for (size_t i = 0; i < a.size(); i++)
    for (size_t j = i + 1; j < a.size(); j++)
      if (a[i] > a[j]) std::swap(a[i], a[j]);
}

TEST(Vectord, SortEqualsTheExchangeSortBitForBit) {
  std::mt19937 rng(11);
  for (int round = 0; round < 60; round++) {
    std::vector<double> a(1 + rng() % 80);
    for (double &x : a) {
      int r = rng() % 10;
      x = r == 0 ? 0.0 : r == 1 ? -0.0 : double(int(rng() % 21) - 10) / 4;
    }
    if (round % 2) std::replace(a.begin(), a.end(), -0.0, 1.5);  // some rounds with +0 only
    vectord v = {};
    for (double x : a) vectord_one_more(&v, x);
    vectord_sort(&v);
    exchange_sort(a);
    ASSERT_EQ(memcmp(v.data, a.data(), a.size() * 8), 0) << "round " << round;
    vectord_free(&v);
  }
}

// A reference for the index heapsort, with 0-based storage and its own loop shape.
template <class T> std::vector<int> heap_index(const std::vector<T> &a) {
  int n = int(a.size());
  std::vector<int> ix(n + 1);
  for (int k = 1; k <= n; k++) ix[k] = k;
  if (n == 0) return {};
  int l = n / 2 + 1, r = n;
  while (true) {
    int t;
    if (l > 1) {
      l = l - 1;
      t = ix[l];
    } else {
      t = ix[r];
      ix[r] = ix[1];
      r = r - 1;
      if (r < 2) {
        ix[1] = t;
        break;
      }
    }
    T q = a[t - 1];
    int i = l;
    for (int j = 2 * l; j <= r; j = 2 * j) {
      if (j < r && a[ix[j] - 1] < a[ix[j + 1] - 1]) j = j + 1;
      if (q >= a[ix[j] - 1]) break;
      ix[i] = ix[j];
      i = j;
    }
    ix[i] = t;
  }
  return std::vector<int>(ix.begin() + 1, ix.end());
}

TEST(Vectord, IndexSortEqualsTheReferenceHeapsortOnManyTies) {
  std::mt19937 rng(3);
  for (int n : {1, 2, 3, 5, 8, 17, 64, 100, 1001, 4099}) {
    std::vector<double> a(n);
    for (double &x : a) x = double(rng() % (n > 1001 ? 997 : 4));  // mostly ties, or a few
    vectord v = {};
    for (double x : a) vectord_one_more(&v, x);
    vectorl ix = {};
    vectorn in = {};
    vectord_sortix_1(&ix, &v);
    vectord_sortix_0(&in, &v);
    std::vector<int> want = heap_index(a);
    ASSERT_EQ(ix.count, n);
    EXPECT_EQ(std::vector<int>(ix.data, ix.data + n), want) << n;
    EXPECT_EQ(std::vector<int>(in.data, in.data + n), want) << n;
    for (int k = 1; k < n; k++) ASSERT_LE(a[want[k - 1] - 1], a[want[k] - 1]);
    std::vector<float> af(a.begin(), a.end());
    vectors s = {};
    vectord_copyto_3(&s, &v);
    vectors_sortix_1(&ix, &s);
    EXPECT_EQ(std::vector<int>(ix.data, ix.data + n), heap_index(af)) << n;
    vectord_free(&v), vectorl_free(&ix), vectorn_free(&in), vectors_free(&s);
  }
  vectord e = {};
  vectorl ix = {};
  vectorl_one_more(&ix, 42);
  vectord_sortix_1(&ix, &e);  // empty: the index vector is left as it was
  EXPECT_EQ(ix.count * 100 + ix.data[0], 142);
  vectorl_free(&ix);
}

// Long vectors sort by 4-byte words standing for the values; the permutation must
// still be the heapsort's: near-ordered centroids with a few ties (as the reordering
// passes give), values spread over many magnitudes, +0 beside -0, and the vectors
// the words do not stand for (an infinity, all values equal).
TEST(Vectord, IndexSortEqualsTheReferenceHeapsortOnLongKeys) {
  std::mt19937 rng(11);
  auto check = [](const std::vector<double> &a, const char *what) {
    vectord v = {};
    for (double x : a) vectord_one_more(&v, x);
    vectorl ix = {};
    vectord_sortix_1(&ix, &v);
    ASSERT_EQ(ix.count, int32_t(a.size())) << what;
    EXPECT_EQ(std::vector<int>(ix.data, ix.data + ix.count), heap_index(a)) << what;
    vectord_free(&v), vectorl_free(&ix);
  };
  for (int n : {70, 1000, 30011}) {
    std::vector<double> a(n);
    for (int i = 0; i < n; i++) a[i] = double(int(i + rng() % 40) * 6 + int(rng() % 5)) / 6.0;  // ties among sixths
    check(a, "centroids");
    for (double &x : a) x = std::ldexp(double(rng() % 1000) - 500.0, int(rng() % 60) - 30);
    check(a, "magnitudes");
    for (int i = 0; i < n; i++) a[i] = i % 3 == 0 ? 0.0 : i % 3 == 1 ? -0.0 : double(rng() % 7) - 3.0;
    check(a, "signed zeros");
    for (int i = 0; i < n; i++) a[i] = double(rng() % 100);
    a[size_t(n / 2)] = -HUGE_VAL;
    check(a, "an infinity");
    std::fill(a.begin(), a.end(), 2.5);
    check(a, "all equal");
    for (int i = 0; i < n; i++) a[i] = double((i * 7919) % n);  // distinct: the sorted order itself
    check(a, "distinct");
  }
}

// ---- Listings ------------------------------------------------------------------------

TEST(Listings, IntegerKindsTenToARow) {
  vectorl l = {};
  for (int i = 1; i <= 12; i++) vectorl_one_more(&l, i * (i % 2 ? -1 : 100));
  EXPECT_EQ(listing([&](FILE *f) { vectorl_print_1(f, &l, "ell"); }),
            "        ell\n"
            "    1 |       -1     200      -3     400      -5     600      -7     800      -9    1000\n"
            "   11 |      -11    1200\n");
  vectorn n = {};
  vectori i = {};
  vectorb b = {};
  vectortf t = {};
  vectorn_one_more(&n, 65535), vectori_one_more(&i, -32768), vectorb_one_more(&b, 255);
  vectortf_one_more(&t, 1), vectortf_one_more(&t, 0);
  EXPECT_EQ(listing([&](FILE *f) {
              vectorn_print_1(f, &n, "n"), vectori_print_1(f, &i, "i"), vectorb_print_1(f, &b, "b");
              vectortf_print_1(f, &t, "t");
            }),
            "        n\n    1 |    65535\n        i\n    1 |   -32768\n        b\n    1 |      255\n"
            "        t\n    1 |   1  0\n");
  vectorl_resize(&l, 10, 0);  // exactly one full row
  EXPECT_EQ(listing([&](FILE *f) { vectorl_print_1(f, &l, "x"); }).size(), 10u + 8 + 80 + 1);  // no second row
  vectorl_resize(&l, 0, 0);
  EXPECT_EQ(listing([&](FILE *f) { vectorl_print_1(f, &l, "empty"); }), "        empty\n    1 | \n");
  vectorl_free(&l), vectorn_free(&n), vectori_free(&i), vectorb_free(&b), vectortf_free(&t);
}

// Each value is "  %10s" of the formatter's 9-character field (sign position and 8).
TEST(Listings, FloatingKindsFiveToARowThroughTheFormatter) {
  vectord v = make({3.14159265, 1234.5678, 0.0123456789, 0.0, -2.5, 1.5e-7, 123456789.0});
  std::string want =
      "        u\n"
      "    1 |     3.141593    1234.568    0.012346        0.00   -2.500000\n"
      "    6 |     1.500e-7    1.235e+8\n";
  EXPECT_EQ(listing([&](FILE *f) { vectord_print_1(f, &v, "u"); }), want);
  EXPECT_EQ(listing([&](FILE *f) { vectord_print_vector(f, v.data, v.count, "u"); }), want);
  EXPECT_EQ(listing([&](FILE *f) { vectord_print_vector(f, v.data, 2, "first two"); }),
            "        first two\n    1 |     3.141593    1234.568\n");
  vectord e = {};
  EXPECT_EQ(listing([&](FILE *f) { vectord_print_1(f, &e, "empty"); }), "        empty\n    1 | \n");
  vectors s = {};
  vectord_copyto_3(&s, &v);
  vectors_resize(&s, 5, 0);
  EXPECT_EQ(listing([&](FILE *f) { vectors_print_1(f, &s, "s"); }),
            "        s\n    1 |     3.141593    1234.568    0.012346        0.00   -2.500000\n");
  vectord_free(&v), vectors_free(&s);
}

// ---- Random operation sequences ---------------------------------------------------------

// The storage held is always what the counter says, and every block is released (the
// sanitizer build checks every access on the way).
TYPED_TEST(AllKinds, RandomOperationsReleaseEverything) {
  using K = TypeParam;
  using E = typename K::E;
  int64_t before = XMEM;
  std::mt19937 rng(1234);
  typename K::V v = {}, w = {};
  auto value = [&] { return E(rng() % 12); };  // small values: many ties and zeros
  for (int step = 0; step < 4000; step++) {
    int op = rng() % (std::is_same_v<K, KD> || std::is_same_v<K, KT> ? 5 : 10);
    switch (op) {
      case 0:
      case 1: K::one_more(&v, value()); break;
      case 2: {
        int32_t cap = int32_t(rng() % 80);
        K::resize(&v, int32_t(rng() % (std::max(cap, v.capacity) + 1)), cap);
        break;
      }
      case 3: rng() % 2 ? K::copy(&w, &v) : K::copy(&v, &w); break;
      case 4: K::fill(&v, value()); break;
    }
    if constexpr (!std::is_same_v<K, KD> && !std::is_same_v<K, KT>) {
      switch (op) {
        case 5: K::enlist(&v, value()); break;
        case 6: K::insert_0(&v, value()); break;
        case 7: K::del(&v, value()); break;
        case 8: K::delete_index(&v, 1 + int32_t(rng() % (v.count + 2))); break;
        case 9: rng() % 2 ? K::unlist(&v, value()) : K::sort(&v); break;
      }
    }
    ASSERT_LE(v.count, v.capacity) << "step " << step;
    ASSERT_EQ(XMEM - before, int64_t(v.capacity + w.capacity) * int64_t(sizeof(E)));
  }
  K::free_(&v);
  K::free_(&w);
  EXPECT_EQ(XMEM, before);
}

}  // namespace
