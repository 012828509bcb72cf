// Clipping of segments to rectangles: the worked examples in every coordinate type,
// a parametric clipper as an independent reference on random segments, integer
// coordinates far apart, and the polyline visibility checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

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

// Worked examples: the code (bit 1 first end moved, bit 2 second end moved, 4 not
// visible) and the visible piece, in double, in place, in float and in integers.
TEST(Clipping, WorkedExamples) {
  struct Case {
    pointd a, b;
    int code;
    pointd oa, ob;
  } cases[] = {{{0.2, 0.3}, {0.7, 0.9}, 0, {0.2, 0.3}, {0.7, 0.9}},
               {{0, 0.3}, {1, 1}, 0, {0, 0.3}, {1, 1}},  // ends on the edges are inside
               {{-1, 2}, {2, -1}, 3, {0, 1}, {1, 0}},
               {{-1, 0.5}, {0.5, 0.5}, 1, {0, 0.5}, {0.5, 0.5}},
               {{0.5, 0.5}, {0.5, -3}, 2, {0.5, 0.5}, {0.5, 0}},  // only the second end moves
               {{-1, 0.9}, {0.2, 3}, 4, {}, {}},                  // passes above the corner
               {{2, 0}, {3, 1}, 4, {}, {}}};
  for (const Case &c : cases) {
    pointd oa, ob, a = c.a, b = c.b;
    points fa{float(c.a.x), float(c.a.y)}, fb{float(c.b.x), float(c.b.y)};
    rects rs{0, 0, 1, 1};
    ASSERT_EQ(clipd(c.a, c.b, &oa, &ob), c.code) << c.a.x << "," << c.a.y;
    EXPECT_EQ(clipping_clipline_0(&a, &b, &kUnit), c.code);
    EXPECT_EQ(clipping_clipline_2(&fa, &fb, &rs), c.code);
    if (c.code == 4) continue;
    EXPECT_EQ((std::vector<double>{oa.x, oa.y, ob.x, ob.y, a.x, a.y, b.x, b.y, fa.x, fa.y, fb.x, fb.y}),
              (std::vector<double>{c.oa.x, c.oa.y, c.ob.x, c.ob.y, c.oa.x, c.oa.y, c.ob.x, c.ob.y, float(c.oa.x),
                                   float(c.oa.y), float(c.ob.x), float(c.ob.y)}));
  }
  // Integers truncate toward zero and keep 64 bits for the products: (dy)(x1 - ax) =
  // 2e9 * 1e9 needs 61.
  struct ICase {
    pointl a, b;
    int code;
    pointl oa, ob;
  } icases[] = {{{-100, 200}, {200, -100}, 3, {0, 100}, {100, 0}},
                {{-1, 0}, {2, 10}, 1, {0, 3}, {2, 10}},      // 10 / 3 -> 3
                {{50, 7}, {59, -3}, 2, {50, 7}, {57, 0}},    // 59 - 2.7 -> 57
                {{200, 0}, {300, 50}, 4, {}, {}},
                {{-1000000000, -1000000000}, {1000000000, 1000000000}, 3, {0, 0}, {100, 100}},
                {{-2000000000, 50}, {2000000000, 70}, 3, {0, 60}, {100, 61}}};  // 70 - 9.9999995 -> 61
  rectl rl{0, 0, 100, 100};
  for (const ICase &c : icases) {
    pointl oa, ob, a = c.a, b = c.b;
    ASSERT_EQ(clipping_clipline_5(&oa, &ob, &rl, &c.a, &c.b), c.code) << c.a.x;
    EXPECT_EQ(clipping_clipline_4(&a, &b, &rl), c.code);
    if (c.code == 4) continue;
    EXPECT_EQ((std::vector<int64_t>{oa.x, oa.y, ob.x, ob.y, a.x, a.y, b.x, b.y}),
              (std::vector<int64_t>{c.oa.x, c.oa.y, c.ob.x, c.ob.y, c.oa.x, c.oa.y, c.ob.x, c.ob.y}))
        << c.a.x;
  }
  points a{-1, 2}, b{2, -1}, oa, ob;
  rects rs{0, 0, 1, 1};
  EXPECT_EQ(clipping_clipline_3(&oa, &ob, &rs, &a, &b), 3);
  EXPECT_EQ((std::vector<float>{oa.x, oa.y, ob.x, ob.y}), (std::vector<float>{0, 1, 1, 0}));
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
    EXPECT_LT(std::max({fabs(oa.x - ra.x), fabs(oa.y - ra.y), fabs(ob.x - rb.x), fabs(ob.y - rb.y)}), 1e-12);
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
