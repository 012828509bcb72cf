// Sorted key-value vectors: insertion with replacement, deletion, the exchange
// sorts (tie order included), listings and storage accounting.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include "runtime/bopmem.h"
#include "runtime/vectorld.h"
#include "runtime/vectorll.h"
#include "tests/runtime/fatal_stop.h"

namespace {

template <class V> std::vector<std::pair<int32_t, double>> pairs(const V &v) {
  std::vector<std::pair<int32_t, double>> out;
  for (int i = 0; i < v.count; i++) out.push_back({v.keys[i], double(v.values[i])});
  return out;
}
using P = std::vector<std::pair<int32_t, double>>;

TEST(Keyvec, InsertKeepsKeysAscendingAndReplacesEqualKeys) {
  int64_t before = XMEM;
  vectorld v = {};
  vectorld_insert(&v, 5, 0.5);
  vectorld_insert(&v, 2, 0.2);
  vectorld_insert(&v, 9, 0.9);
  vectorld_insert(&v, 2, 2.2);
  EXPECT_EQ(pairs(v), (P{{2, 2.2}, {5, 0.5}, {9, 0.9}}));
  EXPECT_EQ(XMEM, before + 10 * 12);
  EXPECT_EQ(vectorld_inlist(&v, 9) * 10 + vectorld_inlist(&v, 4), 30);
  vectorld_free(&v);
  EXPECT_EQ(XMEM, before);

  // Against an ordered map, through several growths.
  std::mt19937 rng(9);
  std::vector<std::pair<int32_t, int32_t>> model;
  vectorll l = {};
  for (int i = 0; i < 500; i++) {
    int32_t k = int32_t(rng() % 300) - 150, x = int32_t(rng() % 1000);
    vectorll_insert(&l, k, x);
    auto it = std::lower_bound(model.begin(), model.end(), std::make_pair(k, INT32_MIN));
    if (it != model.end() && it->first == k) it->second = x;
    else model.insert(it, {k, x});
  }
  ASSERT_EQ(l.count, int32_t(model.size()));
  for (int i = 0; i < l.count; i++) ASSERT_EQ(std::make_pair(l.keys[i], l.values[i]), model[i]);
  EXPECT_EQ(XMEM, before + int64_t(l.capacity) * 8);
  vectorll_free(&l);
  EXPECT_EQ(XMEM, before);
}

TEST(Keyvec, DeleteNeedsKeyAndValue) {
  vectorll v = {};
  for (int k : {1, 2, 3}) vectorll_insert(&v, k, 10 * k);
  vectorll_delete(&v, 2, 99);
  EXPECT_EQ(v.count, 3);
  vectorll_delete(&v, 2, 20);
  EXPECT_EQ(pairs(v), (P{{1, 10}, {3, 30}}));
  vectorll_delete_index(&v, 1);
  EXPECT_EQ(pairs(v), (P{{3, 30}}));
  for (int32_t i : {2, 0})
    EXPECT_EQ(fatal_stop([&] { vectorll_delete_index(&v, i); }), "VECTOR INDEX ERROR IN vectorll_delete_index_0");
  EXPECT_EQ(v.count, 1);
  vectorll_free(&v);
}

// The exchange sort of pairs written out as a reference.
template <class T> void exchange(std::vector<std::pair<int32_t, T>> &a, bool by_value) {
  for (size_t i = 0; i < a.size(); i++)
    for (size_t j = i + 1; j < a.size(); j++)
      if (by_value ? a[i].second > a[j].second : a[i].first > a[j].first) std::swap(a[i], a[j]);
}

TEST(Keyvec, SortsKeepTheExchangeSortsTieOrder) {
  vectorld d = {};
  vectorld_one_more(&d, 1, 3.0);
  vectorld_one_more(&d, 2, 1.0);
  vectorld_one_more(&d, 3, 2.0);
  vectorld_data_sort(&d);
  EXPECT_EQ(pairs(d), (P{{2, 1.0}, {3, 2.0}, {1, 3.0}}));
  vectorld_free(&d);

  std::mt19937 rng(13);
  for (int round = 0; round < 30; round++) {
    int n = 1 + rng() % 60;
    std::vector<std::pair<int32_t, double>> a(n);
    vectorld v = {};
    vectorll w = {};
    for (auto &p : a) {
      p = {int32_t(rng() % 5), double(rng() % 4)};  // many ties on both fields
      vectorld_one_more(&v, p.first, p.second);
      vectorll_one_more(&w, p.first, int32_t(p.second));
    }
    auto by_key = a, by_value = a;
    exchange(by_key, false);
    exchange(by_value, true);
    vectorll_sort(&w);
    vectorld_map_sort(&v);
    EXPECT_EQ(pairs(w), by_key);
    EXPECT_EQ(pairs(v), by_key);
    vectorld_resize(&v, 0, 0);
    for (auto &p : a) vectorld_one_more(&v, p.first, p.second);
    vectorld_data_sort(&v);
    EXPECT_EQ(pairs(v), by_value);
    vectorld_free(&v), vectorll_free(&w);
  }
}

// A row borrowing four pairs of room from arrays it does not own (as the rows of a
// matrix laid out in one block do).
TEST(Keyvec, BorrowedRowWorksInItsRoomAndGrowsIntoArraysOfItsOwn) {
  int64_t before = XMEM;
  int32_t keys[4] = {};
  double values[4] = {};
  vectorld v = {0, -4, keys, values};
  vectorld_insert(&v, 7, 0.7);
  vectorld_insert(&v, 3, 0.3);
  vectorld_one_more(&v, 9, 0.9);
  vectorld_insert(&v, 5, 0.5);
  vectorld_insert(&v, 5, 5.5);  // an equal key in a full room: replaced in place
  EXPECT_EQ(pairs(v), (P{{3, 0.3}, {5, 5.5}, {7, 0.7}, {9, 0.9}}));
  EXPECT_TRUE(v.keys == keys && v.values == values && v.capacity == -4);
  EXPECT_EQ(XMEM, before);
  vectorld_insert(&v, 4, 0.4);  // past the room: arrays of its own, grown as one_more grows
  EXPECT_EQ(pairs(v), (P{{3, 0.3}, {4, 0.4}, {5, 5.5}, {7, 0.7}, {9, 0.9}}));
  EXPECT_TRUE(v.keys != keys && v.capacity == 4 * 6 / 5 + 10);
  EXPECT_EQ(XMEM, before + 14 * 12);
  EXPECT_EQ(std::vector<int32_t>(keys, keys + 4), (std::vector<int32_t>{3, 5, 7, 9}));
  vectorld_free(&v);
  EXPECT_EQ(XMEM, before);
  // resize within the room and past it; a copy takes the room of a borrowed source;
  // free forgets the borrowed arrays.
  vectorld w = {0, -4, keys, values}, c = {};
  vectorld_resize(&w, 3, 4);
  EXPECT_TRUE(w.keys == keys && w.count == 3);
  vectorld_copyto_1(&c, &w, 2.0);
  EXPECT_EQ(pairs(c), (P{{3, 0.6}, {5, 11.0}, {7, 1.4}}));
  EXPECT_EQ(c.capacity, 4);
  vectorld_copyto_0(&w, &c);
  EXPECT_TRUE(w.keys == keys && w.capacity == -4);
  vectorld_resize(&w, 2, 6);
  EXPECT_TRUE(w.keys != keys && w.capacity == 6);
  EXPECT_EQ(pairs(w), (P{{3, 0.6}, {5, 11.0}}));
  vectorld_free(&w), vectorld_free(&c);
  EXPECT_EQ(XMEM, before);
  vectorld b = {2, -4, keys, values};
  vectorld_free(&b);
  EXPECT_TRUE(b.keys == nullptr && b.capacity == 0 && XMEM == before);
}

// Distinct sort fields (longer lists, in any first order): the one ascending order,
// the other field carried along; a NaN among the values keeps the exchange sort; one
// value throughout (repeated keys too) gives the keys in order.
TEST(Keyvec, SortsOfDistinctFieldsEqualTheExchangeSort) {
  std::mt19937 rng(17);
  for (int round = 0; round < 40; round++) {
    int n = 2 + int(rng() % 120);
    std::vector<int32_t> perm(n);
    for (int i = 0; i < n; i++) perm[i] = i * 3 - 50;
    std::shuffle(perm.begin(), perm.end(), rng);
    std::vector<std::pair<int32_t, double>> a(n);
    for (int i = 0; i < n; i++) a[i] = {perm[i], double(perm[(i + 7) % n]) / 8};
    if (round % 4 == 3) a[size_t(n / 2)].second = std::nan("");
    if (round % 5 == 4)  // one value throughout, repeated keys: the keys sorted alone
      for (int i = 0; i < n; i++) a[i] = {perm[i] % 7, 0.0};
    for (bool by_value : {false, true}) {
      vectorld v = {};
      for (auto &p : a) vectorld_one_more(&v, p.first, p.second);
      auto want = a;
      exchange(want, by_value);
      by_value ? vectorld_data_sort(&v) : vectorld_map_sort(&v);
      auto got = pairs(v);
      ASSERT_EQ(got.size(), want.size());
      for (size_t i = 0; i < got.size(); i++) {
        EXPECT_EQ(got[i].first, want[i].first) << round << " " << by_value << " " << i;
        EXPECT_EQ(memcmp(&got[i].second, &want[i].second, 8), 0) << round << " " << by_value << " " << i;
      }
      vectorld_free(&v);
    }
  }
}

// Integers ten pairs a row; doubles five pairs a row, " (%5d)" and the formatter's
// 9-character field in "%10s".
TEST(Keyvec, Listings) {
  vectorll v = {};
  for (int k = 1; k <= 11; k++) vectorll_insert(&v, k * 7, -k);
  EXPECT_EQ(listing([&](FILE *f) { vectorll_print_1(f, &v, "map"); }),
            "        map\n"
            "    1 |  (    7)   -1 (   14)   -2 (   21)   -3 (   28)   -4 (   35)   -5"
            " (   42)   -6 (   49)   -7 (   56)   -8 (   63)   -9 (   70)  -10\n"
            "   11 |  (   77)  -11\n");
  vectorll_free(&v);
  vectorld d = {};
  for (int k = 1; k <= 6; k++) vectorld_insert(&d, k * 1000, -2.5);
  vectorld_insert(&d, 3000, 1.5e-7);
  EXPECT_EQ(listing([&](FILE *f) { vectorld_print_1(f, &d, "row 7"); }),
            "        row 7\n"
            "    1 |  ( 1000) -2.500000 ( 2000) -2.500000 ( 3000)  1.500e-7 ( 4000) -2.500000"
            " ( 5000) -2.500000\n"
            "    6 |  ( 6000) -2.500000\n");
  vectorld_free(&d);
  EXPECT_EQ(listing([&](FILE *f) { vectorld_print_1(f, &d, "none"); }), "        none\n    1 | \n");
}

// Random operations: keys stay ascending, the storage held is what the counter says,
// and every block is released.
TEST(Keyvec, RandomOperationsReleaseEverything) {
  int64_t before = XMEM;
  std::mt19937 rng(21);
  vectorld v = {}, w = {};
  vectorll l = {};
  for (int step = 0; step < 4000; step++) {
    int32_t k = int32_t(rng() % 40);
    double x = double(rng() % 7) - 3;
    switch (rng() % 6) {
      case 0:
      case 1:
        vectorld_insert(&v, k, x);
        vectorll_one_more(&l, k, int32_t(x));
        break;
      case 2:
        if (l.count) vectorll_delete_index(&l, 1 + int32_t(rng() % l.count));
        break;
      case 3: vectorll_sort(&l); break;
      case 4:
        vectorld_copyto_1(&w, &v, 2.0);
        vectorld_data_sort(&w);
        break;
      case 5:
        if (rng() % 8 == 0) vectorld_resize(&v, 0, int32_t(rng() % 100));
        break;
    }
    for (int32_t i = 1; i < v.count; i++) ASSERT_LT(v.keys[i - 1], v.keys[i]) << step;
    ASSERT_EQ(XMEM - before, int64_t(v.capacity + w.capacity) * 12 + int64_t(l.capacity) * 8);
  }
  vectorld_free(&v), vectorld_free(&w), vectorll_free(&l);
  EXPECT_EQ(XMEM, before);
}

}  // namespace
