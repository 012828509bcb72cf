// Points and rectangles: arrays and lists with their memory accounting and error
// texts, the two insertion rules, distances, sort by axis, inclusive tests, boxes,
// the origin-size form, and the exact debug and listing lines.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <unistd.h>

#include "runtime/bopmem.h"
#include "runtime/debug.h"
#include "runtime/point3d.h"
#include "runtime/point3s.h"
#include "runtime/pointd.h"
#include "runtime/pointl.h"
#include "runtime/points.h"
#include "runtime/rect3d.h"
#include "runtime/rect3s.h"
#include "runtime/rectd.h"
#include "runtime/rectl.h"
#include "runtime/rects.h"
#include "runtime/vectorl.h"
#include "tests/runtime/harness.h"

namespace {

template <class F> void expect_fatal(const char *text, F &&body) {
  HookScope hook;
  EXPECT_EQ(except_catch("home", body), EXCEPT_FATAL);
  EXPECT_STREQ(fatal_message.text, text);
  finish_report("home");
}

// Captures what a body writes to a stream.
template <class F> std::string written(F &&body) {
  FILE *f = tmpfile();
  body(f);
  fflush(f);
  rewind(f);
  std::string out;
  char buf[512];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  fclose(f);
  return out;
}

// Opens the debug log for a body and returns what it wrote there.
template <class F> std::string logged(F &&body) {
  std::string path = ::testing::TempDir() + "points_" + std::to_string(getpid()) + ".dbg";
  EXPECT_TRUE(debug_debug_on(path.c_str()));
  body();
  debug_debug_off();
  FILE *f = fopen(path.c_str(), "r");
  std::string out;
  char buf[512];
  size_t n;
  while (f && (n = fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  if (f) fclose(f);
  remove(path.c_str());
  return out;
}

TEST(PointLists, GrowthAndMemory) {
  int64_t before = XMEM;
  pointdlist v = {};
  std::vector<int32_t> caps;
  for (int i = 1; i <= 40; i++) {
    EXPECT_EQ(pointd_one_more_1(&v, i, -i), i);
    if (caps.empty() || caps.back() != v.capacity) caps.push_back(v.capacity);
  }
  EXPECT_EQ(caps, (std::vector<int32_t>{10, 22, 36, 53}));
  EXPECT_EQ(XMEM, before + 53 * 16);
  EXPECT_EQ(v.data[39].y, -40);
  // Resized to count 0 and grown again: the old storage goes, only the new counts.
  pointd_resize_1(&v, 0, 0);
  EXPECT_EQ(v.capacity, 53);
  pointd_resize_1(&v, 0, 100);
  EXPECT_EQ(XMEM, before + 100 * 16);
  pointd_free_1(&v);
  pointd_free_1(&v);
  EXPECT_EQ(XMEM, before);

  point3dlist w = {};
  point3d_new_1(&w, 4);
  EXPECT_EQ(w.count, 4);
  EXPECT_EQ(XMEM, before + 4 * 24);
  expect_fatal("NEW VECTOR ALREADY ALLOCATED IN point3d_new_1", [&] { point3d_new_1(&w, 4); });
  point3d_free_1(&w);
  pointllist l = {};
  pointl q{3, 4};
  pointl_one_more_0(&l, &q);
  EXPECT_EQ(XMEM, before + 10 * 8);
  pointl_free_1(&l);
  point3slist s = {};
  point3s_resize_1(&s, 2, 5);
  EXPECT_EQ(XMEM, before + 5 * 12);
  point3s_free_1(&s);
  EXPECT_EQ(XMEM, before);
}

TEST(PointArrays, NewResizeFree) {
  int64_t before = XMEM;
  pointd *a = nullptr;
  pointd_new_0(&a, 3);
  EXPECT_EQ(XMEM, before + 48);
  a[2] = {5, 6};
  expect_fatal("NEW ARRAY ALREADY ALLOCATED IN pointd_new_0", [&] { pointd_new_0(&a, 3); });
  pointd_resize_0(&a, 3, 7);
  EXPECT_EQ(a[2].x, 5);
  EXPECT_EQ(a[6].y, 0);
  EXPECT_EQ(XMEM, before + 7 * 16);
  expect_fatal("ARRAY COUNT ERROR IN pointd_resize_0", [&] { pointd_resize_0(&a, 7, 2); });
  pointd_free_0(&a, 7);
  EXPECT_EQ(a, nullptr);
  EXPECT_EQ(XMEM, before);
  points *b = nullptr;
  points_resize_0(&b, 0, 4);  // from nothing
  EXPECT_EQ(XMEM, before + 32);
  points_free_0(&b, 4);
  point3d *c = nullptr;
  point3d_new_0(&c, 2);
  point3d_free_0(&c, 2);
  EXPECT_EQ(XMEM, before);
}

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
  EXPECT_EQ(v.data[1].x, 2);
  EXPECT_EQ(v.data[2].x, 3);
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
  EXPECT_EQ(w.data[0].x, 2);
  EXPECT_EQ(w.data[1].x, 1);
  point3d_delete_0(&w, 3);  // beyond the count: nothing
  EXPECT_EQ(w.count, 2);
  point3d_delete_0(&w, 1);
  EXPECT_EQ(w.count, 1);
  EXPECT_EQ(w.data[0].x, 1);
  point3d_free_1(&w);
}

TEST(PointLists, CopiesAndConversions) {
  pointdlist a = {}, b = {};
  for (int i = 0; i < 12; i++) pointd_one_more_1(&a, i, 2 * i);
  pointd_copyto_2(&b, &a);
  EXPECT_EQ(b.count, 12);
  EXPECT_EQ(b.capacity, a.capacity);
  EXPECT_EQ(b.data[11].y, 22);
  pointd_free_1(&a);
  pointd_free_1(&b);
  points f{0.1f, -2.5f};
  pointd d;
  pointd_copyto_0(&d, &f);
  EXPECT_EQ(d.x, static_cast<double>(0.1f));
  point3s s{1.5f, 2, 0.2f};
  point3d e;
  point3d_copyto_0(&e, &s);
  EXPECT_EQ(e.z, static_cast<double>(0.2f));
  point3d g{1.0 / 3, 2, 3};
  point3d_copyto_1(&s, &g);
  EXPECT_EQ(s.x, 1.0f / 3);
}

TEST(Points, Distances) {
  pointd a{1, 2}, b{4, 6};
  EXPECT_EQ(pointd_distance_0(&a, &b), 5);
  EXPECT_EQ(pointd_distance2_0(&a, &b), 25);
  EXPECT_EQ(pointd_distance_1(1, 2, 4, 6), 5);
  EXPECT_EQ(pointd_distance2_1(-1, 0, 2, 4), 25);
  point3d c{1, 2, 3}, e{3, 5, 9};
  EXPECT_EQ(point3d_distance_0(&c, &e), 7);
  EXPECT_EQ(point3d_distance2_0(&c, &e), 49);
  EXPECT_EQ(point3d_distance_1(0, 0, 0, 2, 3, 6), 7);
  EXPECT_EQ(point3d_distance2_1(0, 0, 0, 1, 2, 2), 9);
  // Float points are widened before subtracting: no float rounding of the difference.
  point3s f{16777216.0f, 0, 0}, g{1, 0, 0};
  EXPECT_EQ(point3s_distance_0(&f, &g), 16777215.0);
  EXPECT_EQ(point3s_distance2_0(&g, &g), 0);
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
  vectorl_free(&ix);
  pointd_free_1(&v);
}

TEST(Rects, InclusiveTestsAndBoxes) {
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
  EXPECT_EQ(r.x1, -1);
  EXPECT_EQ(r.y2, 3);
  EXPECT_EQ(r.x2, 2);
  rectd o{5, -5, 6, 0};
  rectd_bound_box_0(&r, &o);
  EXPECT_EQ(r.x2, 6);
  EXPECT_EQ(r.y1, -5);

  rects s;
  rects_setrectd_0(&s, 0.1, 0, 1, 1);
  EXPECT_EQ(s.x1, 0.1f);
  EXPECT_TRUE(rects_inrect_2(&s, static_cast<double>(0.1f), 0));  // compared widened
  EXPECT_FALSE(rects_inrect_2(&s, 0.1 - 1e-9, 0));
  rects t{-1, 0, 0, 2};
  rects_bound_box_0(&s, &t);
  EXPECT_EQ(s.x1, -1);
  EXPECT_EQ(s.y2, 2);

  rect3d b{0, 0, 0, 1, 1, 1};
  point3d in{0.5, 1, 0}, out{2, -1, 0.5};
  rect3d_bound_box_0(&b, &in);
  EXPECT_EQ(b.x1, 0);
  EXPECT_EQ(b.z2, 1);
  EXPECT_TRUE(rect3d_inrect_0(&b, &in));
  EXPECT_TRUE(rect3d_inrect_2(&b, 1, 1, 1));
  rect3d_bound_box_0(&b, &out);
  EXPECT_EQ(b.x2, 2);
  EXPECT_EQ(b.y1, -1);
  pointd flat{-3, 4};
  rect3d_bound_box_1(&b, &flat);
  EXPECT_EQ(b.x1, -3);
  EXPECT_EQ(b.y2, 4);
  EXPECT_EQ(b.z1, 0);
  rect3d c{-1, -1, -7, 0, 0, 7};
  rect3d_bound_box_2(&b, &c);
  EXPECT_EQ(b.z1, -7);
  EXPECT_EQ(b.z2, 7);
  rectd xy, yz, zx;
  rect3d_xyrect_0(&xy, &b);
  rect3d_yzrect_0(&yz, &b);
  rect3d_zxrect_0(&zx, &b);
  EXPECT_EQ(xy.x1, -3);
  EXPECT_EQ(xy.y2, 4);
  EXPECT_EQ(yz.x1, -1);
  EXPECT_EQ(yz.y1, -7);
  EXPECT_EQ(zx.x1, -7);
  EXPECT_EQ(zx.y2, 2);
  rect3d_copyto_1(&c, &xy);
  EXPECT_EQ(c.z1, 0);
  EXPECT_EQ(c.z2, 0);
  EXPECT_EQ(c.y2, 4);
  rect3s fs;
  rect3d_copyto_2(&fs, &b);
  rect3d back;
  rect3d_copyto_3(&back, &fs);
  EXPECT_EQ(back.z1, -7);
  point3s sp{2, 4, 7};
  EXPECT_TRUE(rect3s_inrect_0(&fs, &sp));
  EXPECT_FALSE(rect3s_inrect_1(&fs, 2, 4, 7.5f));
  points fl{10, -10};
  rect3s_bound_box_1(&fs, &fl);
  EXPECT_EQ(fs.x2, 10);
  EXPECT_EQ(fs.y1, -10);
}

TEST(Rects, IntegerOriginAndSizeForm) {
  rectl a{10, 20, 5, 5}, b, c;
  rectl_copyto_1(&b, &a);
  EXPECT_EQ(b.x1, 10);
  EXPECT_EQ(b.y1, 20);
  EXPECT_EQ(b.x2, 15);
  EXPECT_EQ(b.y2, 25);
  rectl_copyto_2(&c, &b);
  EXPECT_EQ(c.x2, 5);
  EXPECT_EQ(c.y2, 5);
  pointl lo{1, 2}, hi{3, 4};
  rectl_setrect_2(&c, &lo, &hi);
  EXPECT_TRUE(rectl_inrect_0(&c, &hi));
  EXPECT_FALSE(rectl_inrect_1(&c, 0, 3));
  rectl_bound_box_0(&c, &b);
  EXPECT_EQ(c.x1, 1);
  EXPECT_EQ(c.y2, 25);
}

TEST(PointsAndRects, DebugLinesAndListings) {
  String name = {};
  strings_copyto_1(&name, "P");
  pointd a{1.5, -2}, b{0, 1e-5};
  point3d c{1, 2, 3};
  pointl l{-4, 5};
  rects rs{0.5f, 1, 2, 3};
  rectl rl{1, 2, 3, 4};
  rect3d box{0, 1, 2, 3, 4, 5};
  rectd rd{1, 2, 3, 0.5};
  std::string log = logged([&] {
    pointd_showdb_0(&a, &name);
    pointd_showdb_1(&a, &b, &name);
    point3d_showdb_0(&c, &name);
    pointl_showdb_1(&l, &l, &name);
    rects_showdb_0(&rs, &name);
    rectl_showdb_0(&rl, &name);
    rect3d_showdb_0(&box, &name);
    rectd_showdb_0(&rd, &name);
  });
  EXPECT_EQ(log,
            "P (1.5 -2)\n"
            "P (1.5 -2) (0 1e-05)\n"
            "P (1 2 3)\n"
            "P (-4 5) (-4 5)\n"
            "P (0.5 1 2 3)\n"
            "P (1 2 3 4)\n"
            "P (0,1,2)(3,4,5)\n"
            "P ( 1.000000, 2.000000) ( 3.000000, 0.500000)\n");
  strings_free_0(&name);

  pointdlist v = {};
  pointd_one_more_1(&v, 1, -2.25);
  pointd_one_more_1(&v, 0.1, 1.5);
  EXPECT_EQ(written([&](FILE *f) { pointd_print_0(f, &v, "pts"); }),
            "\n        pts\n"
            "    1 ( 1.000000,-2.250000)\n"
            "    2 ( 0.100000, 1.500000)\n");
  pointd_free_1(&v);
  point3dlist w = {};
  EXPECT_EQ(written([&](FILE *f) { point3d_print_0(f, &w, "none"); }), "\n        none\n");
  point3d_one_more_0(&w, &c);
  EXPECT_EQ(written([&](FILE *f) { point3d_print_0(f, &w, "p3"); }),
            "\n        p3\n    1 ( 1.000000, 2.000000, 3.000000)\n");
  point3d_free_1(&w);
}

}  // namespace
