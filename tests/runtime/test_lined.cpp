// Line geometry: coefficients and their zero-length guard, segment crossings, the
// segment-line crossing with its parallel and parameter thresholds and tie orders,
// projections, elevations and distances.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "runtime/lined.h"
#include "tests/runtime/fatal_stop.h"

namespace {

double eval(const double c[3], double x, double y) { return c[0] * x + c[1] * y + c[2]; }

TEST(Lined, CoefficientsAreTheSignedDistanceAndEqualPointsHaveNoLine) {
  double c[3], p1[2] = {0, 0}, p2[2] = {1, 0};
  lined_line_params(c, p1, p2);
  EXPECT_EQ(eval(c, 0.5, -1), 1);  // right of the direction
  EXPECT_EQ(eval(c, 0.5, 1), -1);
  std::mt19937_64 rng(3);
  std::uniform_real_distribution<double> u(-10, 10);
  for (int i = 0; i < 1000; i++) {
    double a[2] = {u(rng), u(rng)}, b[2] = {u(rng), u(rng)}, q[2] = {u(rng), u(rng)};
    lined_line_params(c, a, b);
    EXPECT_NEAR(hypot(c[0], c[1]), 1, 1e-15);
    EXPECT_NEAR(std::fabs(eval(c, a[0], a[1])) + std::fabs(eval(c, b[0], b[1])), 0, 2e-13);
    // The distance of q from the line, with the sign of the side, from the cross product.
    double cross = (b[0] - a[0]) * (q[1] - a[1]) - (b[1] - a[1]) * (q[0] - a[0]);
    EXPECT_NEAR(eval(c, q[0], q[1]), -cross / hypot(b[0] - a[0], b[1] - a[1]), 1e-12);
  }
  double p[2] = {2, 3};
  c[0] = 7;
  EXPECT_EQ(fatal_stop([&] { lined_line_params(c, p, p); }), "NULL LINE IN lined_line_params_0");
  EXPECT_EQ(c[0], 7);  // nothing written
}

// Segments against (0,0)-(2,0): eps excludes crossings that near to either end.
TEST(Lined, SegmentCrossingsAwayFromTheEnds) {
  const struct {
    double p3[2], p4[2], eps;
    bool hit;
  } cases[] = {
      {{1, -1}, {1, 1}, 0.001, true},    {{1, 0}, {1, 5}, 0.001, false},  // touching at an end: t = 0
      {{1, 0}, {1, 5}, -0.001, true},                                       // a negative eps admits the end
      {{0.001, -1}, {0.001, 1}, 0.001, false}, {{0.003, -1}, {0.003, 1}, 0.001, true},  // s = 0.0005, 0.0015
      {{0, 1}, {2, 1}, 0, false},  {{-1, 0}, {3, 0}, 0, false},  // parallel and collinear never cross
      {{5, -1}, {5, 1}, 0, false},                                 // separate, their lines cross
  };
  double p1[2] = {0, 0}, p2[2] = {2, 0};
  for (const auto &c : cases) {
    double x[2] = {9, 9};
    EXPECT_EQ(lined_insect_1(p1, p2, c.p3, c.p4, x, c.eps), c.hit) << c.p3[0] << " " << c.eps;
    EXPECT_EQ(x[0] == 9, !c.hit) << "written only on a crossing";
  }
  double p3[2] = {1, -1}, p4[2] = {1, 1}, x[2];
  lined_insect_1(p1, p2, p3, p4, x, 0.001);
  EXPECT_EQ(x[0] * 10 + x[1], 10);
}

// The line through the origin along x; a segment from (px, -y0, 0) to (px, 1 - y0, 0)
// meets it at segment parameter s = y0 and line parameter px.
bool cross_at(double y0, double range[2], double px = 3) {
  double line[6] = {0, 0, 0, 1, 0, 0}, p[3] = {px, -y0, 0}, q[3] = {px, 1 - y0, 0};
  return lined_intersect_0(range, line, p, q);
}

TEST(Lined, SegmentAgainstLineParameterThresholds) {
  double r[2] = {1e37, -1e37};
  EXPECT_TRUE(cross_at(0.5, r));
  EXPECT_EQ(r[0] * 10 + r[1], 33);
  // Accepted segment parameters run from -1e-10 to 1.0000000001.
  double r2[2] = {1e37, -1e37};
  EXPECT_TRUE(cross_at(-0.5e-10, r2, 4));
  EXPECT_FALSE(cross_at(-2e-10, r2, 5));
  EXPECT_TRUE(cross_at(1.00000000005, r2, -1));
  EXPECT_FALSE(cross_at(1.0000000002, r2, -2));
  EXPECT_EQ(r2[0] * 10 + r2[1], -6);
  EXPECT_TRUE(cross_at(0, r2, 0));
  EXPECT_TRUE(cross_at(1, r2, 0));
}

TEST(Lined, SegmentAgainstLineParallelThreshold) {
  // e = (1, eps, 0) against D = (1, 0, 0): |e x D|^2 = eps^2 against 1e-9 |e|^2, so
  // the segment counts as parallel for eps below about 3.1623e-5.
  double line[6] = {0, 0, 0, 1, 0, 0};
  for (double eps : {3.0e-5, 3.3e-5}) {
    double r[2] = {1e37, -1e37}, p[3] = {0, -eps / 2, 0}, q[3] = {1, eps / 2, 0};
    bool hit = lined_intersect_0(r, line, p, q);
    EXPECT_EQ(hit, eps > 3.2e-5) << eps;
    if (hit) EXPECT_NEAR(r[0], 0.5, 1e-9);
    else EXPECT_EQ(r[0], 1e37);
  }
  double r[2] = {1e37, -1e37}, p[3] = {1, 2, 3};
  EXPECT_FALSE(lined_intersect_0(r, line, p, p));  // a point has no crossing
  EXPECT_EQ(r[1], -1e37);
}

TEST(Lined, SegmentAgainstLineTieOrders) {
  // Skew cases, where each choice of component gives a different answer.
  // |nx| = |nz|: z decides. Line along y; e = (1, 2, 1), n = (-1, 0, 1).
  double r[2] = {1e37, -1e37};
  double l1[6] = {0, 0, 0, 0, 1, 0}, p1[3] = {-0.25, 5, -0.75}, q1[3] = {0.75, 7, 0.25};
  EXPECT_TRUE(lined_intersect_0(r, l1, p1, q1));
  EXPECT_EQ(r[0], 5.5);  // s = 0.25 from z (x would give s = 0.75, u = 6.5)
  // |nx| = |ny| > |nz|: x decides. Line along z; e = (1, 1, 2), n = (1, -1, 0).
  double r2[2] = {1e37, -1e37};
  double l2[6] = {0, 0, 0, 0, 0, 1}, p2[3] = {-0.25, -0.75, 7}, q2[3] = {0.75, 0.25, 9};
  EXPECT_TRUE(lined_intersect_0(r2, l2, p2, q2));
  EXPECT_EQ(r2[0], 8.5);  // s = 0.75 from x (y would give s = 0.25, u = 7.5)
  // The line parameter comes from x when all direction components tie.
  double h = 1 / sqrt(3.0), r3[2] = {1e37, -1e37};
  double l3[6] = {0, 0, 0, h, h, h}, p3[3] = {0, 3, 0}, q3[3] = {2, 3, -2};
  EXPECT_TRUE(lined_intersect_0(r3, l3, p3, q3));
  EXPECT_EQ(r3[0], 0);  // from y it would be 3 / h
}

TEST(Lined, ProjectionElevationAndDistances) {
  double a[2] = {0, 0}, b[2] = {2, 0}, up[2] = {0, 1}, down[2] = {0, -1}, rel[2];
  double p[2] = {3, 1}, f[2] = {3, 4}, A[3] = {0, 0, 0}, P[3] = {3, 4, 1};
  lined_line_relative(rel, p, a, b);
  // A segment of zero length: the foot is its point, the distance is to it.
  EXPECT_EQ((std::vector<double>{lined_line_elevation(up, a, b), lined_line_elevation(down, a, b),
                                 lined_line_projection(p, a, b), rel[0], rel[1], lined_line_projection(f, a, a),
                                 lined_line_elevation(f, a, a), lined_line_distance_0(f, a, a),
                                 lined_line_distance_1(P, A, A)}),
            (std::vector<double>{0.5, -0.5, 1.5, 1.5, 0.5, 0, 0, 5, sqrt(26.0)}));
}

TEST(Lined, DistancesAgreeWithSampling) {
  std::mt19937_64 rng(9);
  std::uniform_real_distribution<double> u(-5, 5);
  for (int i = 0; i < 200; i++) {
    double a[3] = {u(rng), u(rng), u(rng)}, b[3] = {u(rng), u(rng), u(rng)}, p[3] = {u(rng), u(rng), u(rng)};
    double best2 = INFINITY, best3 = INFINITY;
    for (int j = 0; j <= 20000; j++) {
      double t = j / 20000.0, x = a[0] + t * (b[0] - a[0]), y = a[1] + t * (b[1] - a[1]),
             z = a[2] + t * (b[2] - a[2]);
      best2 = std::min(best2, hypot(p[0] - x, p[1] - y));
      best3 = std::min(best3, sqrt((p[0] - x) * (p[0] - x) + (p[1] - y) * (p[1] - y) + (p[2] - z) * (p[2] - z)));
    }
    double d2 = lined_line_distance_0(p, a, b), d3 = lined_line_distance_1(p, a, b);
    EXPECT_TRUE(d2 <= best2 + 1e-12 && d2 > best2 - 1e-3 && d3 <= best3 + 1e-12 && d3 > best3 - 1e-3) << i;
  }
}

}  // namespace
