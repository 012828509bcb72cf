// Basis work containers: insertion and deletion, resizes, the 16-bit limits and the
// point listing.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "elements/basisfun.h"
#include "runtime/bopmem.h"
#include "tests/elements/check.h"

static LocalPoint pt(double a, double b, double c = 0, double d = 0) { return LocalPoint{{a, b, c, d}}; }

TEST(WorkVectors, InsertAndDelete) {
  LocalPointList v = {};
  auto firsts = [&] {
    std::vector<double> out;
    for (int k = 0; k < v.count; k++) out.push_back(v.data[k].L[0]);
    return out;
  };
  basisfun_insert(&v, 1, pt(1, 0));  // beyond an empty list: appends once
  basisfun_insert(&v, 1, pt(2, 0));  // at 1 of a one-point list: (new, old)
  EXPECT_EQ(firsts(), (std::vector<double>{2, 1}));
  basisfun_insert(&v, 3, pt(3, 0));
  basisfun_insert(&v, 2, pt(4, 0));
  EXPECT_EQ(firsts(), (std::vector<double>{2, 4, 1, 3}));
  basisfun_delete_index(&v, 2);
  basisfun_delete_index(&v, 9);
  EXPECT_EQ(firsts(), (std::vector<double>{2, 1, 3}));
  expect_fatal("VECTOR INDEX ERROR IN basisfun_insert_0", [&] { basisfun_insert(&v, 0, pt(0, 0)); });
  expect_fatal("VECTOR INDEX ERROR IN basisfun_delete_index_0", [&] { basisfun_delete_index(&v, 0); });
  basisfun_free_2(&v);
  // Into a full list, with a point of the list itself: the growth moves the storage.
  basisfun_new(&v, 2, 2);
  v.data[0] = pt(5, 0), v.data[1] = pt(6, 0);
  basisfun_insert(&v, 1, v.data[1]);
  EXPECT_EQ(firsts(), (std::vector<double>{6, 5, 6}));
  basisfun_free_2(&v);
}

TEST(WorkVectors, NewResizeAndTheirStops) {
  LocalPointList v = {};
  basisfun_new(&v, 2, 5);
  EXPECT_EQ(v.capacity, 5);
  expect_fatal("NEW VECTOR ALREADY ALLOCATED IN basisfun_new_0", [&] { basisfun_new(&v, 0, 3); });
  v.data[0] = pt(7, 8);
  basisfun_resize_2(&v, 1, 3);  // smaller capacity: only the count changes
  EXPECT_EQ(v.capacity * 10 + v.count, 51);
  basisfun_resize_2(&v, 1, 50);
  EXPECT_EQ(v.capacity * 10 + v.data[0].L[1], 508);
  expect_fatal("INVALID VECTOR IN basisfun_resize_2", [&] { basisfun_resize_2(nullptr, 0, 1); });
  expect_fatal("VECTOR COUNT ERROR IN basisfun_resize_2", [&] { basisfun_resize_2(&v, 51, 10); });
  basisfun_free_2(&v);
  // Appending grows by a fifth plus 10: 10, 22, 36 points.
  std::vector<int> caps;
  for (int k = 0; k < 30; k++) {
    basisfun_one_more(&v, pt(k, 0));
    if (caps.empty() || caps.back() != v.capacity) caps.push_back(v.capacity);
  }
  EXPECT_EQ(caps, (std::vector<int>{10, 22, 36}));
  basisfun_free_2(&v);
  // The 16-bit count: growth stops at 65535 points instead of wrapping.
  basisfun_new(&v, 60000, 60000);
  basisfun_one_more(&v, pt(1, 0));
  EXPECT_EQ(v.capacity, 65535);
  v.count = 65535;
  expect_fatal("VECTOR COUNT ERROR IN basisfun_one_more_0", [&] { basisfun_one_more(&v, pt(1, 0)); });
  basisfun_free_2(&v);
}

TEST(WorkVectors, PointListing) {
  LocalPointList v = {};
  basisfun_one_more(&v, pt(0.5, 0.25, 0.25));
  basisfun_one_more(&v, pt(1, 0, 0, 0));
  OwnedString title("SAMPLES");
  EXPECT_EQ(listing([&](FILE *f) {
              basisfun_print(f, &v, 3, &title);  // L1..L4
              basisfun_print(f, &v, 1, &title);  // L1, L2
            }),
            "\n        SAMPLES\n"
            "    1 ( 0.500000, 0.250000, 0.250000,     0.00)\n"
            "    2 ( 1.000000,     0.00,     0.00,     0.00)\n"
            "\n        SAMPLES\n"
            "    1 ( 0.500000, 0.250000)\n"
            "    2 ( 1.000000,     0.00)\n");
  basisfun_free_2(&v);
}
