// Fixed arrays and the small matrix: allocation, reallocation, nested rows and
// planes, storage accounting and the fatal stops.
#include <gtest/gtest.h>

#include <vector>

#include "runtime/array2d.h"
#include "runtime/array2l.h"
#include "runtime/array2n.h"
#include "runtime/array2s.h"
#include "runtime/array3s.h"
#include "runtime/bopmem.h"
#include "runtime/matrixn.h"
#include "tests/runtime/fatal_stop.h"

namespace {

TEST(Arrays, ResizeAlwaysReallocatesAndKeepsTheElements) {
  int64_t before = XMEM;
  arrayd a = {};
  arrayd_new(&a, 3);
  EXPECT_EQ(XMEM, before + 24);
  for (int i = 0; i < 3; i++) a.data[i] = i + 0.5;
  double *old = a.data;
  arrayd_resize(&a, 5);
  EXPECT_NE(a.data, old);
  EXPECT_EQ(std::vector<double>(a.data, a.data + a.count), (std::vector<double>{0.5, 1.5, 2.5, 0, 0}));
  EXPECT_EQ(XMEM, before + 40);
  arrayd_resize(&a, 5);  // same length: new storage all the same
  EXPECT_EQ(a.data[0], 0.5);
  EXPECT_EQ(fatal_stop([&] { arrayd_resize(&a, 4); }), "ARRAY COUNT ERROR IN arrayd_resize_0");
  EXPECT_EQ(fatal_stop([&] { arrayd_new(&a, 2); }), "NEW ARRAY ALREADY ALLOCATED IN arrayd_new_0");
  arrayd_free(&a), arrayd_free(&a);
  EXPECT_EQ(XMEM, before);
}

TEST(Arrays, RowsAndPlanesOwnTheirStorage) {
  int64_t before = XMEM;
  array2s a = {};
  array2s_new_1(&a, 3, 4);
  for (int i = 0; i < 3; i++) EXPECT_EQ(std::vector<float>(a.data[i].data, a.data[i].data + a.data[i].count), std::vector<float>(4, 0));
  EXPECT_EQ(XMEM, before + 3 * int64_t(sizeof(arrays)) + 3 * 16);
  a.data[1].data[2] = 7;
  float *row = a.data[1].data;
  array2s_resize(&a, 4);  // rows move with their storage
  EXPECT_EQ(a.data[1].data, row);
  EXPECT_EQ(a.data[3].count, 0);
  arrays_new(&a.data[3], 2);
  array2s_free(&a);
  EXPECT_EQ(XMEM, before);

  array3s p = {};
  array3s_new_1(&p, 2, 3, 5);
  EXPECT_EQ(p.data[1].data[2].count, 5);
  array3s_resize(&p, 3);  // plane 3 stays empty and free skips it
  array3s_free(&p);
  EXPECT_EQ(XMEM, before);
  array2d d = {};
  array2d_new_1(&d, 1, 1);
  EXPECT_EQ(fatal_stop([&] { array2d_new(&d, 1); }), "NEW ARRAY2: ALREADY ALLOCATED IN array2d_new_0");
  array2d_free(&d);
  array3s_new(&p, 1);
  EXPECT_EQ(fatal_stop([&] { array3s_new_1(&p, 1, 1, 1); }), "NEW ARRAY3: ALREADY ALLOCATED IN array3s_new_1");
  array3s_free(&p);
  EXPECT_EQ(XMEM, before);
}

TEST(Matrixn, ShapeStorageAndCopies) {
  int64_t before = XMEM;
  matrixn m = {};
  matrixn_new(&m, 2, 3);
  EXPECT_EQ(m.size, 6);
  EXPECT_EQ(XMEM, before + 12);
  for (int i = 0; i < 6; i++) m.data[i] = uint16_t(i + 1);
  matrixn_resize(&m, 3, 1);  // smaller: storage and values kept
  EXPECT_EQ(m.size * 10 + m.rows * m.cols, 63);
  matrixn_resize(&m, 3, 3);  // larger: the old 3 x 1 values come along
  EXPECT_EQ((std::vector<int>{m.size, m.data[2], m.data[3]}), (std::vector<int>{9, 3, 0}));
  EXPECT_EQ(XMEM, before + 18);

  matrixn big = {};
  matrixn_new(&big, 4, 4);
  matrixn_copyto_1(&m, 65535);
  uint16_t *keep = big.data;
  matrixn_copyto_0(&big, &m);  // enough size: storage kept, shape taken
  EXPECT_EQ(big.data, keep);
  EXPECT_EQ((std::vector<int>{big.rows, big.cols, big.data[8], big.data[9]}), (std::vector<int>{3, 3, 65535, 0}));
  matrixn small = {};
  matrixn_copyto_0(&small, &big);
  EXPECT_EQ(small.size * 100000 + small.data[4], 965535);
  EXPECT_EQ(fatal_stop([&] { matrixn_new(&m, 1, 1); }), "NEW MATRIX ALREADY ALLOCATED IN matrixn_new_0");
  matrixn_free(&m);
  matrixn_new(&m, 1, 1);
  matrixn_free(&m), matrixn_free(&big), matrixn_free(&small);
  EXPECT_EQ(XMEM, before);
  EXPECT_EQ(m.rows + m.cols + m.size, 0);
}

// Every kind is one template; the nested kinds release their rows, kept through a
// resize.
TEST(Arrays, NestedKindsReleaseTheirRows) {
  int64_t before = XMEM;
  array2l l = {};
  array2n n = {};
  array2l_new(&l, 2), array2n_new(&n, 3);
  arrayl_new(&l.data[1], 5), arrayn_new(&n.data[2], 7);
  array2l_resize(&l, 3), array2n_resize(&n, 4);
  EXPECT_EQ(n.data[2].count * 10 + l.data[1].count, 75);
  array2l_free(&l), array2n_free(&n);
  EXPECT_EQ(XMEM, before);
}

}  // namespace
