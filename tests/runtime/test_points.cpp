// Points and rectangles: arrays and lists with their memory accounting and error
// texts, the two insertion rules, distances, sort by axis, inclusive tests, boxes,
// the origin-size form, and the exact listing lines.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "runtime/bopmem.h"
#include "runtime/point3d.h"
#include "runtime/pointd.h"
#include "runtime/pointl.h"
#include "runtime/points.h"
#include "runtime/rectd.h"
#include "runtime/rectl.h"
#include "runtime/rects.h"
#include "runtime/vectorl.h"
#include "tests/runtime/fatal_stop.h"

namespace {

TEST(PointLists, InsertAndDelete) {
  pointdlist v = {};
  for (int i = 1; i <= 3; i++) pointd_one_more_1(&v, i, 0);
  pointd p{9, 9};
  pointd_insert_0(&v, 4, &p);  // count + 1 appends
  pointd_insert_1(&v, 1, 0, 1);
  ASSERT_EQ(v.count, 5);
  const double want[] = {0, 1, 2, 3, 9};
  for (int i = 0; i < 5; i++) EXPECT_EQ(v.data[i].x, want[i]);
  pointd_delete_0(&v, 2);
  pointd_delete_index_0(&v, 4);
  ASSERT_EQ(v.count, 3);
  EXPECT_EQ(v.data[1].x * 10 + v.data[2].x, 23);
  expect_fatal("VECTOR INDEX ERROR IN pointd_insert_0", [&] { pointd_insert_0(&v, 5, &p); });
  expect_fatal("VECTOR INDEX ERROR IN pointd_delete_0", [&] { pointd_delete_0(&v, 0); });
  pointd_free_1(&v);

  // The space list inserts only within the count, and never appends.
  point3dlist w = {};
  point3d q{1, 1, 1}, r{2, 2, 2};
  point3d_insert_0(&w, 1, &q);
  EXPECT_EQ(w.count, 0);
  point3d_one_more_0(&w, &q);
  point3d_insert_0(&w, 2, &r);
  EXPECT_EQ(w.count, 1);
  point3d_insert_0(&w, 1, &r);
  ASSERT_EQ(w.count, 2);
  EXPECT_EQ(w.data[0].x * 10 + w.data[1].x, 21);
  point3d_delete_0(&w, 3);  // beyond the count: nothing
  point3d_delete_0(&w, 1);
  EXPECT_EQ(w.count * 10 + w.data[0].x, 11);
  point3d_free_1(&w);

  // A point of the list itself may be inserted: it is taken before the points move
  // or the storage is replaced (the first insertion fills the capacity, the second
  // grows it).
  pointdlist u = {};
  pointd_new_1(&u, 0);
  for (int i = 1; i <= 9; i++) pointd_one_more_1(&u, i, 0);
  pointd_insert_0(&u, 1, &u.data[8]);
  pointd_insert_0(&u, 2, &u.data[9]);
  ASSERT_EQ(u.count, 11);
  EXPECT_EQ(u.data[0].x + u.data[1].x + u.data[10].x, 27);
  pointd_free_1(&u);
}

TEST(Points, SortByAxis) {
  std::mt19937 rng(4);
  std::uniform_int_distribution<int> u(-50, 50);
  pointdlist v = {};
  for (int i = 0; i < 300; i++) pointd_one_more_1(&v, u(rng), u(rng));  // many ties
  vectorl ix = {};
  for (uint16_t axis : {1, 2, 7}) {
    pointd_sortix(&ix, &v, axis);
    ASSERT_EQ(ix.count, 300);
    std::vector<int> seen(301, 0);
    for (int k = 0; k < 300; k++) seen[ix.data[k]]++;
    for (int k = 1; k <= 300; k++) EXPECT_EQ(seen[k], 1);
    for (int k = 1; k < 300; k++) {
      const pointd &p = v.data[ix.data[k - 1] - 1], &q = v.data[ix.data[k] - 1];
      EXPECT_LE(axis == 1 ? p.x : p.y, axis == 1 ? q.x : q.y);
    }
  }
  pointdlist empty = {};
  pointd_sortix(&ix, &empty, 1);
  EXPECT_EQ(ix.count, 300);  // untouched
  vectorl_free(&ix), pointd_free_1(&v);
}

TEST(Rects, InclusiveTestsBoxesAndOriginSizeForm) {
  rectd r;
  rectd_setrect_0(&r, 0, 0, 2, 1);
  EXPECT_TRUE(rectd_inrect_2(&r, 2, 1));  // a corner
  EXPECT_TRUE(rectd_inrect_2(&r, 0, 0.5));
  EXPECT_FALSE(rectd_inrect_2(&r, 2.0000001, 1));
  points fp{2, 1};
  EXPECT_TRUE(rectd_inrect_1(&r, &fp));
  pointd p{-1, 3};
  EXPECT_FALSE(rectd_inrect_0(&r, &p));
  rectd_bound_box_1(&r, &p);
  EXPECT_EQ((std::vector<double>{r.x1, r.y1, r.x2, r.y2}), (std::vector<double>{-1, 0, 2, 3}));
  rectd o{5, -5, 6, 0};
  rectd_bound_box_0(&r, &o);
  EXPECT_EQ((std::vector<double>{r.x1, r.y1, r.x2, r.y2}), (std::vector<double>{-1, -5, 6, 3}));

  rects s;
  rects_setrectd_0(&s, 0.1, 0, 1, 1);
  EXPECT_EQ(s.x1, 0.1f);
  EXPECT_TRUE(rects_inrect_2(&s, static_cast<double>(0.1f), 0));  // compared widened
  EXPECT_FALSE(rects_inrect_2(&s, 0.1 - 1e-9, 0));
  rects t{-1, 0, 0, 2};
  rects_bound_box_0(&s, &t);
  EXPECT_EQ(s.x1 * 10 + s.y2, -8);
  // The integer rectangle's origin-and-size form.
  rectl a{10, 20, 5, 7}, b, c;
  rectl_copyto_1(&b, &a);
  EXPECT_EQ((std::vector<int32_t>{b.x1, b.y1, b.x2, b.y2}), (std::vector<int32_t>{10, 20, 15, 27}));
  rectl_copyto_2(&c, &b);
  EXPECT_EQ((std::vector<int32_t>{c.x1, c.y1, c.x2, c.y2}), (std::vector<int32_t>{10, 20, 5, 7}));
  pointl lo{1, 2}, hi{3, 4};
  rectl_setrect_2(&c, &lo, &hi);
  EXPECT_TRUE(rectl_inrect_0(&c, &hi));
  EXPECT_FALSE(rectl_inrect_1(&c, 0, 3));
  rectl_bound_box_0(&c, &b);
  EXPECT_EQ(c.x1 * 100 + c.y2, 127);
}

TEST(PointsAndRects, Listings) {
  point3d c{1, 2, 3};
  pointdlist v = {};
  pointd_one_more_1(&v, 1, -2.25);
  pointd_one_more_1(&v, 0.1, 1.5);
  EXPECT_EQ(listing([&](FILE *f) { pointd_print_0(f, &v, "pts"); }),
            "\n        pts\n"
            "    1 ( 1.000000,-2.250000)\n"
            "    2 ( 0.100000, 1.500000)\n");
  pointd_free_1(&v);
  point3dlist w = {};
  EXPECT_EQ(listing([&](FILE *f) { point3d_print_0(f, &w, "none"); }), "\n        none\n");
  point3d_one_more_0(&w, &c);
  EXPECT_EQ(listing([&](FILE *f) { point3d_print_0(f, &w, "p3"); }),
            "\n        p3\n    1 ( 1.000000, 2.000000, 3.000000)\n");
  point3d_free_1(&w);
}

}  // namespace
