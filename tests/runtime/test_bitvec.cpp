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
  EXPECT_EQ(v.count, 1);
  EXPECT_EQ(v.capacity, 65);  // 1 * 5 / 4 + 64
  EXPECT_EQ(XMEM, before + 3 * 4);
  EXPECT_EQ(v.words[0], 0x80000000u);
  vectort_set_bit(&v, 33);
  EXPECT_EQ(v.words[1], 0x80000000u);
  vectort_set_bit(&v, 32);
  vectort_set_bit(&v, 40);
  EXPECT_EQ(v.words[0], 0x80000001u);
  EXPECT_EQ(v.words[1], 0x81000000u);
  EXPECT_EQ(v.count, 40);
  vectort_set_bit(&v, 66);  // beyond capacity 65: grows to 66*5/4+64 = 146
  EXPECT_EQ(v.capacity, 146);
  EXPECT_EQ(XMEM, before + 5 * 4);
  EXPECT_EQ(v.words[1], 0x81000000u);  // kept by the growth
  EXPECT_EQ(v.words[2], 0x40000000u);
  vectort_clear_bit(&v, 33);
  EXPECT_EQ(v.words[1], 0x01000000u);
  vectort_free(&v);
  EXPECT_EQ(XMEM, before);
}

TEST(Bitvec, TestsBeyondCountDoNotGrowButClearsDo) {
  vectort v = {};
  vectort_new(&v, 5, 64);
  EXPECT_EQ(vectort_if_bit(&v, 50), 0);
  EXPECT_EQ(v.count, 5);
  vectort_clear_bit(&v, 50);
  EXPECT_EQ(v.count, 50);
  EXPECT_EQ(v.capacity, 64);
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
  EXPECT_EQ(vectort_count(&v), 10);
  EXPECT_EQ(vectort_next_bit(&v, 10), 0);
  vectort_set_bit(&v, 20);  // bits 11..19 were never set
  EXPECT_EQ(vectort_count(&v), 11);
  EXPECT_EQ(vectort_next_bit(&v, 10), 20);
  vectort_copyto_1(&v, 0);
  EXPECT_EQ(vectort_count(&v), 0);
  vectort_resize(&v, 64, 0);
  vectort_copyto_1(&v, 1);
  EXPECT_EQ(v.words[1], 0xffffffffu);  // a full last word
  EXPECT_EQ(vectort_count(&v), 64);
  vectort_resize(&v, 33, 0);  // bits 34..64 stay in storage but out of count
  EXPECT_EQ(vectort_count(&v), 33);
  EXPECT_EQ(vectort_next_bit(&v, 33), 0);
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
    EXPECT_EQ(vectort_count(&a), want_and);
    EXPECT_EQ(vectort_count(&c), want_or);
    std::vector<int> walked;
    for (int i = vectort_next_bit(&c, 0); i; i = vectort_next_bit(&c, i)) walked.push_back(i);
    EXPECT_EQ(walked, set_or);
    vectort_free(&a);
    vectort_free(&b);
    vectort_free(&c);
  }
}

TEST(Bitvec, CombiningChecksCountsUnlessTheSecondIsEmpty) {
  vectort x = {}, y = {}, empty = {};
  vectort_set_bit(&x, 5);
  vectort_set_bit(&y, 7);
  vectort_andto(&x, &empty);
  EXPECT_EQ(vectort_if_bit(&x, 5), 1);
  EXPECT_EQ(fatal_stop([&] { vectort_orto(&x, &y); }), "VECTOR LENGTH ERROR IN vectort_orto_0");
  EXPECT_EQ(fatal_stop([&] { vectort_andto(&x, &y); }), "VECTOR LENGTH ERROR IN vectort_andto_0");
  EXPECT_EQ(vectort_if_bit(&x, 5), 1);
  vectort_free(&x);
  vectort_free(&y);
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

// Random operations against a word-level model of the whole storage.
TEST(Bitvec, RandomOperationsMatchTheModelAndReleaseEverything) {
  int64_t before = XMEM;
  std::mt19937 rng(77);
  vectort v = {}, w = {};
  std::vector<uint32_t> m;  // (capacity + 31) / 32 words
  int32_t count = 0, cap = 0;
  auto words = [](int32_t bits) { return (bits + 31) / 32; };
  auto grow = [&](int32_t c) {
    if (c <= cap) return;
    std::vector<uint32_t> n(words(c), 0);
    std::copy(m.begin(), m.begin() + words(count), n.begin());
    m = n, cap = c;
  };
  for (int step = 0; step < 5000; step++) {
    int op = rng() % 6;
    int32_t i = 1 + int32_t(rng() % 300);
    if (op <= 1) {  // set or clear, raising the count
      if (i > count && i > cap) grow(i * 5 / 4 + 64);
      count = std::max(count, i);
      uint32_t bit = 0x80000000u >> ((i - 1) % 32);
      if (op == 0) vectort_set_bit(&v, i), m[(i - 1) / 32] |= bit;
      else vectort_clear_bit(&v, i), m[(i - 1) / 32] &= ~bit;
    } else if (op == 2) {
      int32_t c = int32_t(rng() % 320), n = int32_t(rng() % (std::max(c, cap) + 1));
      vectort_resize(&v, n, c);
      grow(c);
      count = n;
    } else if (op == 3 && count > 0) {
      bool on = rng() % 4 == 0;
      vectort_copyto_1(&v, on);
      std::fill(m.begin(), m.begin() + words(count), on ? 0xffffffffu : 0u);
      if (on && count % 32) m[words(count) - 1] &= ~(0xffffffffu >> (count % 32));
    } else if (op == 4) {  // round trip through a copy, combined with itself
      vectort_copyto_0(&w, &v);
      vectort_orto(&w, &v);
      vectort_andto(&v, &w);
      ASSERT_EQ(w.count, count);
    }
    ASSERT_EQ(v.count, count);
    ASSERT_EQ(v.capacity, cap);
    ASSERT_TRUE(std::equal(m.begin(), m.end(), v.words)) << step;
    int32_t set = 0, last = 0;
    for (int32_t b = 1; b <= count; b++) {
      bool on = m[(b - 1) / 32] & (0x80000000u >> ((b - 1) % 32));
      ASSERT_EQ(vectort_if_bit(&v, b), on);
      if (on) {
        ASSERT_EQ(vectort_next_bit(&v, last), b);
        set++, last = b;
      }
    }
    ASSERT_EQ(vectort_next_bit(&v, last), 0);
    ASSERT_EQ(vectort_count(&v), set);
    ASSERT_EQ(XMEM - before, int64_t(words(v.capacity) + words(w.capacity)) * 4);
  }
  vectort_free(&v);
  vectort_free(&w);
  EXPECT_EQ(XMEM, before);
}

}  // namespace
