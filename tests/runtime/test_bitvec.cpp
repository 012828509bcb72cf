// Bit vectors: numbering, growth, word-wise operations, counting and searching,
// checked against a std::vector<bool> model and hand-derived words.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "runtime/bopmem.h"
#include "runtime/vectort.h"
#include "tests/runtime/fatal_stop.h"

namespace {

TEST(Bitvec, BitOneIsTheTopBitOfTheFirstWord) {
  int64_t before = XMEM;
  vectort v = {};
  vectort_set_bit(&v, 1);
  EXPECT_EQ(v.count * 100 + v.capacity, 165);  // 1 * 5 / 4 + 64
  EXPECT_EQ(XMEM, before + 3 * 4);
  for (int32_t i : {33, 32, 40}) vectort_set_bit(&v, i);
  EXPECT_EQ(v.count, 40);
  vectort_set_bit(&v, 66);  // beyond capacity 65: grows to 66*5/4+64 = 146
  EXPECT_EQ(v.capacity, 146);
  EXPECT_EQ(XMEM, before + 5 * 4);
  vectort_clear_bit(&v, 33);
  EXPECT_EQ(std::vector<uint32_t>(v.words, v.words + 3), (std::vector<uint32_t>{0x80000001u, 0x01000000u, 0x40000000u}));
  vectort_free(&v);
  EXPECT_EQ(XMEM, before);
}

TEST(Bitvec, TestsBeyondCountDoNotGrowButClearsDo) {
  vectort v = {};
  vectort_new(&v, 5, 64);
  EXPECT_EQ(vectort_if_bit(&v, 50) * 1000 + v.count, 5);
  vectort_clear_bit(&v, 50);
  EXPECT_EQ(v.count * 1000 + v.capacity, 50064);
  vectort_clear_bit(&v, 70);
  EXPECT_EQ(v.capacity, 70 * 5 / 4 + 64);
  EXPECT_EQ(fatal_stop([&] { vectort_set_bit(&v, 0); }), "VECTOR INDEX ERROR IN vectort_set_bit_0");
  EXPECT_EQ(fatal_stop([&] { vectort_if_bit(&v, -1); }), "VECTOR INDEX ERROR IN vectort_if_bit_0");
  EXPECT_EQ(fatal_stop([&] { vectort_new(&v, 1, 1); }), "NEW VECTOR ALREADY ALLOCATED IN vectort_new_0");
  vectort_free(&v);
}

TEST(Bitvec, FillCoversOnlyTheCountedBits) {
  vectort v = {};
  vectort_new(&v, 10, 64);
  vectort_copyto_1(&v, 1);
  EXPECT_EQ(v.words[0], 0xffc00000u);  // bits 1..10
  EXPECT_EQ(vectort_count(&v) * 100 + vectort_next_bit(&v, 10), 1000);
  vectort_set_bit(&v, 20);  // bits 11..19 were never set
  EXPECT_EQ(vectort_count(&v) * 100 + vectort_next_bit(&v, 10), 1120);
  vectort_copyto_1(&v, 0);
  EXPECT_EQ(vectort_count(&v), 0);
  vectort_resize(&v, 64, 0);
  vectort_copyto_1(&v, 1);
  EXPECT_EQ(v.words[1], 0xffffffffu);  // a full last word
  EXPECT_EQ(vectort_count(&v), 64);
  vectort_resize(&v, 33, 0);  // bits 34..64 stay in storage but out of count
  EXPECT_EQ(vectort_count(&v) * 100 + vectort_next_bit(&v, 33), 3300);
  vectort_free(&v);
}

TEST(Bitvec, AndOrCopyAgainstAModel) {
  std::mt19937 rng(5);
  for (int round = 0; round < 40; round++) {
    int n = 1 + rng() % 200;
    vectort a = {}, b = {}, c = {};
    std::vector<bool> ma(n + 1), mb(n + 1);
    vectort_new(&a, n, n);
    vectort_new(&b, n, n);
    for (int k = 0; k < n / 2; k++) {
      int i = 1 + rng() % n, j = 1 + rng() % n;
      vectort_set_bit(&a, i), ma[i] = true;
      vectort_set_bit(&b, j), mb[j] = true;
    }
    vectort_copyto_0(&c, &a);
    vectort_orto(&c, &b);
    vectort_andto(&a, &b);
    int want_and = 0, want_or = 0;
    std::vector<int> set_or;
    for (int i = 1; i <= n; i++) {
      ASSERT_EQ(vectort_if_bit(&a, i), ma[i] && mb[i]);
      ASSERT_EQ(vectort_if_bit(&c, i), ma[i] || mb[i]);
      want_and += ma[i] && mb[i];
      want_or += ma[i] || mb[i];
      if (ma[i] || mb[i]) set_or.push_back(i);
    }
    EXPECT_EQ(vectort_count(&a) * 1000 + vectort_count(&c), want_and * 1000 + want_or);
    std::vector<int> walked;
    for (int i = vectort_next_bit(&c, 0); i; i = vectort_next_bit(&c, i)) walked.push_back(i);
    EXPECT_EQ(walked, set_or);
    vectort_free(&a), vectort_free(&b), vectort_free(&c);
  }
}

TEST(Bitvec, CombiningChecksCountsUnlessTheSecondIsEmpty) {
  vectort x = {}, y = {}, empty = {};
  vectort_set_bit(&x, 5);
  vectort_set_bit(&y, 7);
  vectort_andto(&x, &empty);
  EXPECT_EQ(fatal_stop([&] { vectort_orto(&x, &y); }), "VECTOR LENGTH ERROR IN vectort_orto_0");
  EXPECT_EQ(fatal_stop([&] { vectort_andto(&x, &y); }), "VECTOR LENGTH ERROR IN vectort_andto_0");
  EXPECT_EQ(vectort_if_bit(&x, 5), 1);
  vectort_free(&x), vectort_free(&y);
}

TEST(Bitvec, ListingShowsTheWordsInHex) {
  vectort v = {};
  vectort_set_bit(&v, 1);
  vectort_set_bit(&v, 64);
  vectort_set_bit(&v, 353);  // word 12: a second row
  EXPECT_EQ(listing([&](FILE *f) { vectort_print_1(f, &v, "cells"); }),
            "        cells\n"
            "    1 |   80000000         1         0         0         0         0         0         0"
            "         0         0\n"
            "   11 |          0  80000000\n");
  vectort e = {};
  EXPECT_EQ(listing([&](FILE *f) { vectort_print_1(f, &e, "none"); }), "        none\n    1 | \n");
  vectort_free(&v);
}

// Random operations: the storage held is always what the counter says, and every
// block is released (the sanitizer build checks every access on the way).
TEST(Bitvec, RandomOperationsReleaseEverything) {
  int64_t before = XMEM;
  std::mt19937 rng(77);
  vectort v = {}, w = {};
  for (int step = 0; step < 5000; step++) {
    int op = rng() % 6;
    int32_t i = 1 + int32_t(rng() % 300);
    if (op == 0) vectort_set_bit(&v, i);
    else if (op == 1) vectort_clear_bit(&v, i);
    else if (op == 2) vectort_resize(&v, int32_t(rng() % (v.capacity + 1)), int32_t(rng() % 320));
    else if (op == 3) vectort_copyto_1(&v, rng() % 4 == 0);
    else if (op == 4) {
      vectort_copyto_0(&w, &v);
      vectort_orto(&w, &v);
      vectort_andto(&v, &w);
    }
    ASSERT_LE(vectort_count(&v), v.count);
    ASSERT_EQ(XMEM - before, int64_t((v.capacity + 31) / 32 + (w.capacity + 31) / 32) * 4);
  }
  vectort_free(&v), vectort_free(&w);
  EXPECT_EQ(XMEM, before);
}

}  // namespace
