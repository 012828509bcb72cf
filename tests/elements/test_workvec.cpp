// Basis work containers: growth steps, insertion and deletion, exact resizes, the
// 16-bit limits, the point listing, row helpers and distances.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "elements/basisfun.h"
#include "runtime/bopmem.h"
#include "tests/elements/check.h"

static LocalPoint pt(double a, double b, double c = 0, double d = 0) { return LocalPoint{{a, b, c, d}}; }

TEST(WorkVectors, PointListsGrowBySixFifthsPlusTen) {
  int64_t before = XMEM;
  LocalPointList v = {};
  int caps[40];
  for (int k = 1; k <= 37; k++) {
    EXPECT_EQ(basisfun_one_more(&v, pt(k, 0)), k);
    caps[k] = v.capacity;
  }
  EXPECT_EQ(caps[1], 10);
  EXPECT_EQ(caps[10], 10);
  EXPECT_EQ(caps[11], 22);
  EXPECT_EQ(caps[23], 36);
  EXPECT_EQ(caps[37], 53);
  for (int k = 1; k <= 37; k++) EXPECT_EQ(v.data[k - 1].L[0], k);
  EXPECT_EQ(XMEM, before + 53 * int64_t(sizeof(LocalPoint)));
  basisfun_free_2(&v);
  EXPECT_EQ(XMEM, before);
  EXPECT_EQ(v.count + v.capacity, 0);
}

TEST(WorkVectors, InsertAndDelete) {
  LocalPointList v = {};
  basisfun_insert(&v, 1, pt(1, 0));  // beyond an empty list: appends once
  EXPECT_EQ(v.count, 1);
  basisfun_insert(&v, 1, pt(2, 0));  // at 1 of a one-point list: (new, old)
  ASSERT_EQ(v.count, 2);
  EXPECT_EQ(v.data[0].L[0], 2);
  EXPECT_EQ(v.data[1].L[0], 1);
  basisfun_insert(&v, 3, pt(3, 0));
  basisfun_insert(&v, 2, pt(4, 0));  // (2, 4, 1, 3)
  const double order[4] = {2, 4, 1, 3};
  ASSERT_EQ(v.count, 4);
  for (int k = 0; k < 4; k++) EXPECT_EQ(v.data[k].L[0], order[k]);
  basisfun_delete_index(&v, 2);  // (2, 1, 3)
  basisfun_delete_index(&v, 9);
  ASSERT_EQ(v.count, 3);
  EXPECT_EQ(v.data[1].L[0], 1);
  EXPECT_EQ(v.data[2].L[0], 3);
  expect_fatal("VECTOR INDEX ERROR IN basisfun_insert_0", [&] { basisfun_insert(&v, 0, pt(0, 0)); });
  expect_fatal("VECTOR INDEX ERROR IN basisfun_delete_index_0", [&] { basisfun_delete_index(&v, 0); });
  basisfun_free_2(&v);
}

TEST(WorkVectors, NewResizeAndTheirStops) {
  LocalPointList v = {};
  basisfun_new(&v, 2, 5);
  EXPECT_EQ(v.capacity, 5);
  expect_fatal("NEW VECTOR ALREADY ALLOCATED IN basisfun_new_0", [&] { basisfun_new(&v, 0, 3); });
  v.data[0] = pt(7, 8);
  basisfun_resize_2(&v, 1, 3);  // smaller capacity: only the count changes
  EXPECT_EQ(v.capacity, 5);
  EXPECT_EQ(v.count, 1);
  basisfun_resize_2(&v, 1, 50);
  EXPECT_EQ(v.capacity, 50);
  EXPECT_EQ(v.data[0].L[1], 8);
  expect_fatal("INVALID VECTOR IN basisfun_resize_2", [&] { basisfun_resize_2(nullptr, 0, 1); });
  expect_fatal("VECTOR COUNT ERROR IN basisfun_resize_2", [&] { basisfun_resize_2(&v, 51, 10); });
  basisfun_free_2(&v);
  // The 16-bit count: growth stops at 65535 points instead of wrapping.
  basisfun_new(&v, 60000, 60000);
  basisfun_one_more(&v, pt(1, 0));
  EXPECT_EQ(v.capacity, 65535);
  v.count = 65535;
  expect_fatal("VECTOR COUNT ERROR IN basisfun_one_more_0", [&] { basisfun_one_more(&v, pt(1, 0)); });
  basisfun_free_2(&v);
}

TEST(WorkVectors, RowAndPointerVectorsTakeExactStorage) {
  int64_t before = XMEM;
  BasisRows rows = {};
  basisfun_resize_1(&rows, 2, 4);
  EXPECT_EQ(XMEM, before + 4 * int64_t(sizeof(BasisRow)));
  for (int i = 0; i < 20; i++) rows.data[0][i] = i, rows.data[1][i] = -i;
  basisfun_resize_1(&rows, 2, 2);  // shrinks to the capacity asked, keeping both rows
  EXPECT_EQ(rows.capacity, 2);
  EXPECT_EQ(rows.data[1][19], -19);
  double copy[20];
  basisfun_copyto(copy, rows.data[0]);
  EXPECT_EQ(copy[13], 13);
  basisfun_clear(&rows);
  EXPECT_EQ(rows.data[1][19], 0);
  basisfun_free_1(&rows);
  BasisPointers ptrs = {};
  int a = 0, b = 0;
  basisfun_resize_0(&ptrs, 2, 10);
  ptrs.data[0] = &a, ptrs.data[1] = &b;
  basisfun_resize_0(&ptrs, 2, 3);
  EXPECT_EQ(ptrs.data[1], &b);
  basisfun_free_0(&ptrs);
  EXPECT_EQ(XMEM, before);
  basisfun_resize_1(&rows, 1, 2);
  expect_fatal("VECTOR COUNT ERROR IN basisfun_resize_1", [&] { basisfun_resize_1(&rows, 3, 2); });
  basisfun_free_1(&rows);
}

TEST(WorkVectors, PointListing) {
  LocalPointList v = {};
  basisfun_one_more(&v, pt(0.5, 0.25, 0.25));
  basisfun_one_more(&v, pt(1, 0, 0, 0));
  String title = {};
  strings_copyto_1(&title, "SAMPLES");
  FILE *f = tmpfile();
  basisfun_print(f, &v, 3, &title);  // L1..L4
  basisfun_print(f, &v, 1, &title);  // L1, L2
  rewind(f);
  std::string text;
  char buf[512];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  fclose(f);
  EXPECT_EQ(text,
            "\n        SAMPLES\n"
            "    1 ( 0.500000, 0.250000, 0.250000,     0.00)\n"
            "    2 ( 1.000000,     0.00,     0.00,     0.00)\n"
            "\n        SAMPLES\n"
            "    1 ( 0.500000, 0.250000)\n"
            "    2 ( 1.000000,     0.00)\n");
  strings_free_0(&title);
  basisfun_free_2(&v);
}

TEST(WorkVectors, DistancesUseTheCodesCoordinates) {
  const double a[4] = {0.2, 0.3, 0.5, 9}, b[4] = {0.5, 0.3, 0.1, -9};
  EXPECT_NEAR(basisfun_distance(a, b, tri6), 0.5, 1e-15);
  EXPECT_NEAR(basisfun_distance2(a, b, tri6), 0.25, 1e-15);
  EXPECT_NEAR(basisfun_distance2(a, b, lin2), 0.09, 1e-15);
  EXPECT_NEAR(basisfun_distance2(a, b, tet4), 0.25 + 324, 1e-12);
}
