// Clipping of segments to rectangles: the worked examples in every coordinate type,
// a parametric clipper as an independent reference on random segments, integer
// coordinates far apart, and the polyline visibility checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "runtime/clipping.h"
#include "runtime/pointd.h"
#include "runtime/pointl.h"
#include "runtime/points.h"
#include "runtime/rectd.h"
#include "runtime/rectl.h"
#include "runtime/rects.h"

namespace {

const rectd kUnit{0, 0, 1, 1};

int clipd(pointd a, pointd b, pointd *oa, pointd *ob, const rectd &r = kUnit) {
  return clipping_clipline_1(oa, ob, &r, &a, &b);
}

TEST(Clipping, WorkedExamplesInDouble) {
  pointd oa, ob;
  EXPECT_EQ(clipd({0.2, 0.3}, {0.7, 0.9}, &oa, &ob), 0);
  EXPECT_EQ(oa.x, 0.2);
  EXPECT_EQ(ob.y, 0.9);
  EXPECT_EQ(clipd({0, 0.3}, {1, 1}, &oa, &ob), 0);  // ends on the edges are inside
  EXPECT_EQ(clipd({-1, 2}, {2, -1}, &oa, &ob), 3);
  EXPECT_EQ(oa.x, 0);
  EXPECT_EQ(oa.y, 1);
  EXPECT_EQ(ob.x, 1);
  EXPECT_EQ(ob.y, 0);
  EXPECT_EQ(clipd({-1, 0.9}, {0.2, 3}, &oa, &ob), 4);  // passes above the corner
  EXPECT_EQ(clipd({-1, 0.5}, {0.5, 0.5}, &oa, &ob), 1);
  EXPECT_EQ(oa.x, 0);
  EXPECT_EQ(oa.y, 0.5);
  EXPECT_EQ(ob.x, 0.5);
  EXPECT_EQ(clipd({2, 0}, {3, 1}, &oa, &ob), 4);
  EXPECT_EQ(clipd({0.5, 0.5}, {0.5, -3}, &oa, &ob), 2);  // only the second end moves
  EXPECT_EQ(ob.y, 0);
  EXPECT_EQ(ob.x, 0.5);
  // In place: the points themselves are moved.
  pointd a{-1, 2}, b{2, -1};
  EXPECT_EQ(clipping_clipline_0(&a, &b, &kUnit), 3);
  EXPECT_EQ(a.x, 0);
  EXPECT_EQ(a.y, 1);
  EXPECT_EQ(b.x, 1);
  EXPECT_EQ(b.y, 0);
}

TEST(Clipping, WorkedExamplesInFloatAndInteger) {
  rects rs{0, 0, 1, 1};
  points a{-1, 2}, b{2, -1}, oa, ob;
  EXPECT_EQ(clipping_clipline_3(&oa, &ob, &rs, &a, &b), 3);
  EXPECT_EQ(oa.x, 0.0f);
  EXPECT_EQ(oa.y, 1.0f);
  EXPECT_EQ(ob.x, 1.0f);
  EXPECT_EQ(ob.y, 0.0f);
  a = {-1, 0.9f};
  b = {0.2f, 3};
  EXPECT_EQ(clipping_clipline_2(&a, &b, &rs), 4);
  a = {-1, 0.5f};
  b = {0.5f, 0.5f};
  EXPECT_EQ(clipping_clipline_2(&a, &b, &rs), 1);
  EXPECT_EQ(a.x, 0.0f);
  EXPECT_EQ(a.y, 0.5f);

  rectl rl{0, 0, 100, 100};
  pointl la{-100, 200}, lb{200, -100}, loa, lob;
  EXPECT_EQ(clipping_clipline_5(&loa, &lob, &rl, &la, &lb), 3);
  EXPECT_EQ(loa.x, 0);
  EXPECT_EQ(loa.y, 100);
  EXPECT_EQ(lob.x, 100);
  EXPECT_EQ(lob.y, 0);
  // Truncation toward zero: y = 0 + (10 * 1) / 3 = 3.33 -> 3.
  la = {-1, 0};
  lb = {2, 10};
  EXPECT_EQ(clipping_clipline_5(&loa, &lob, &rl, &la, &lb), 1);
  EXPECT_EQ(loa.x, 0);
  EXPECT_EQ(loa.y, 3);
  la = {50, 7};
  lb = {59, -3};
  EXPECT_EQ(clipping_clipline_4(&la, &lb, &rl), 2);
  EXPECT_EQ(lb.y, 0);
  EXPECT_EQ(lb.x, 57);  // the moving end is the start: 59 + (-9 * 3) / 10 = 59 - 2.7 -> 57
  la = {200, 0};
  lb = {300, 50};
  EXPECT_EQ(clipping_clipline_4(&la, &lb, &rl), 4);
}

TEST(Clipping, IntegerCoordinatesFarApartDoNotWrap) {
  // (dy)(x1 - ax) = 2e9 * 1e9 needs 61 bits.
  rectl r{0, 0, 1000, 1000};
  pointl a{-1000000000, -1000000000}, b{1000000000, 1000000000};
  EXPECT_EQ(clipping_clipline_4(&a, &b, &r), 3);
  EXPECT_EQ(a.x, 0);
  EXPECT_EQ(a.y, 0);
  EXPECT_EQ(b.x, 1000);
  EXPECT_EQ(b.y, 1000);
  a = {-2000000000, 500};
  b = {2000000000, 700};
  EXPECT_EQ(clipping_clipline_4(&a, &b, &r), 3);
  EXPECT_EQ(a.y, 600);                // 500 + 200 * 2e9 / 4e9
  EXPECT_EQ(b.y, 601);                // 700 + (-100)(1000 - 2e9) / -2e9 = 700 - 99.99995
}

// The parametric (Liang-Barsky) clipper on the closed rectangle: visible, and the
// visible piece, computed a different way.
bool reference_clip(pointd a, pointd b, const rectd &r, pointd *oa, pointd *ob) {
  double t0 = 0, t1 = 1, dx = b.x - a.x, dy = b.y - a.y;
  double p[4] = {-dx, dx, -dy, dy}, q[4] = {a.x - r.x1, r.x2 - a.x, a.y - r.y1, r.y2 - a.y};
  for (int i = 0; i < 4; i++) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
    } else {
      double t = q[i] / p[i];
      if (p[i] < 0) t0 = std::max(t0, t);
      else t1 = std::min(t1, t);
    }
  }
  if (t0 > t1) return false;
  *oa = {a.x + t0 * dx, a.y + t0 * dy};
  *ob = {a.x + t1 * dx, a.y + t1 * dy};
  return true;
}

TEST(Clipping, AgreesWithAParametricClipperOnRandomSegments) {
  std::mt19937_64 rng(11);
  std::uniform_real_distribution<double> u(-3, 4);
  rectd r{-0.5, 0.25, 1.5, 2};
  int visible = 0, hidden = 0, cut = 0;
  for (int i = 0; i < 20000; i++) {
    pointd a{u(rng), u(rng)}, b{u(rng), u(rng)}, oa, ob, ra, rb;
    int code = clipd(a, b, &oa, &ob, r);
    bool seen = reference_clip(a, b, r, &ra, &rb);
    ASSERT_EQ(code != 4, seen) << a.x << "," << a.y << " " << b.x << "," << b.y;
    if (!seen) {
      hidden++;
      continue;
    }
    visible++;
    if (code) cut++;
    EXPECT_NEAR(oa.x, ra.x, 1e-12);
    EXPECT_NEAR(oa.y, ra.y, 1e-12);
    EXPECT_NEAR(ob.x, rb.x, 1e-12);
    EXPECT_NEAR(ob.y, rb.y, 1e-12);
    EXPECT_EQ((code & 1) != 0, oa.x != a.x || oa.y != a.y);
    EXPECT_EQ((code & 2) != 0, ob.x != b.x || ob.y != b.y);
    EXPECT_TRUE(rectd_inrect_0(&r, &oa) && rectd_inrect_0(&r, &ob));
  }
  EXPECT_GT(visible, 2000);
  EXPECT_GT(hidden, 2000);
  EXPECT_GT(cut, 1000);
}

TEST(Clipping, PolylineChecks) {
  pointdlist line = {};
  EXPECT_FALSE(clipping_checkpolyline_0(&line, &kUnit));
  pointd_one_more_1(&line, 0.5, 0.5);
  EXPECT_FALSE(clipping_checkpolyline_0(&line, &kUnit));  // one point is no segment
  line.count = 0;
  pointd_one_more_1(&line, 2, 0);
  pointd_one_more_1(&line, 3, 1);
  pointd_one_more_1(&line, 2, 3);
  EXPECT_FALSE(clipping_checkpolyline_0(&line, &kUnit));
  pointd_one_more_1(&line, -1, -0.5);  // the last segment crosses the rectangle
  EXPECT_TRUE(clipping_checkpolyline_0(&line, &kUnit));
  pointd_free_1(&line);

  pointslist fl = {};
  rects rs{0, 0, 1, 1};
  points p{0.5f, 0.5f};
  points_one_more_0(&fl, &p);
  EXPECT_FALSE(clipping_checkpolyline_1(&fl, &rs));
  points_one_more_1(&fl, 5, 5);
  EXPECT_TRUE(clipping_checkpolyline_1(&fl, &rs));
  fl.data[0] = {4, 4};
  EXPECT_FALSE(clipping_checkpolyline_1(&fl, &rs));
  points_free_1(&fl);
}

}  // namespace
