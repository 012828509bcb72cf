// Planes and lines in space: plane records, distances, segment crossings with their
// sentinels, the line of two planes, angles, triangle overlap, areas, the "NULL
// PLANE" stop.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <unistd.h>
#include <string>
#include <vector>

#include "runtime/bopmem.h"
#include "runtime/planed.h"
#include "runtime/point3d.h"
#include "runtime/pointd.h"
#include "tests/runtime/fatal_stop.h"

namespace {

planerec plane_of(point3d a, point3d b, point3d c) {
  planerec p;
  planed_plane_params(&p, &a, &b, &c);
  return p;
}

const point3d O{0, 0, 0}, X{1, 0, 0}, Y{0, 1, 0}, Z{0, 0, 1};
using D = std::vector<double>;

TEST(Planes, PlaneThroughThreePoints) {
  planerec p = plane_of(O, X, Y);
  point3d q{5, 5, -2};
  EXPECT_EQ((D{p.nx, p.ny, p.nz, p.offset, p.magnitude, planed_plane_distance_0(&p, &q)}), (D{0, 0, 1, 0, 1, -2}));
  // The plane x + y + z = 3 through its axis points: normal (1,1,1)/sqrt 3, twice the
  // area |(-3,3,0) x (-3,0,3)| = |(9,9,9)|.
  point3d a{3, 0, 0}, b{0, 3, 0}, c{0, 0, 3}, r{1, 1, 2};
  p = plane_of(a, b, c);
  EXPECT_NEAR(p.nx, 1 / sqrt(3.0), 1e-15);
  EXPECT_NEAR(p.offset, sqrt(3.0), 1e-15);
  EXPECT_NEAR(p.magnitude, 9 * sqrt(3.0), 1e-13);
  EXPECT_NEAR(planed_plane_distance_1(&a, &b, &c, &r), 1 / sqrt(3.0), 1e-15);
  EXPECT_NEAR(planed_area_1(&a, &b, &c), 4.5 * sqrt(3.0), 1e-13);
  point3d s{0, 0, 0}, t{3, 0, 0}, u{3, 5, 12};  // right angle at t: legs 3 and 13
  EXPECT_NEAR(planed_area_1(&s, &t, &u), 19.5, 1e-13);
}

TEST(Planes, NullPlaneIsFatal) {
  planerec p;
  point3d a{1, 2, 3}, b{2, 4, 6}, c{3, 6, 9};
  EXPECT_EQ(fatal_stop([&] { planed_plane_params(&p, &a, &b, &c); }), "NULL PLANE IN planed_plane_params_0");
}

TEST(Planes, SegmentMeetsPlane) {
  planerec p = plane_of(O, X, Y);
  point3d out, a{0, 0, -1}, b{0, 0, 1}, c{0, 0, 2}, d{1, 1, 0}, e{3, -1, 0}, f{0, 0, 5};
  EXPECT_TRUE(planed_intersect_0(&out, &p, &a, &b));
  EXPECT_EQ((D{out.x, out.y, out.z}), (D{0, 0, 0}));
  out.z = 9;
  EXPECT_FALSE(planed_intersect_0(&out, &p, &b, &c));  // t = -1: the point is still written
  EXPECT_EQ(out.z, 0);
  point3d g{1, 1, 5};
  EXPECT_FALSE(planed_intersect_0(&out, &p, &f, &g));  // parallel, off the plane
  EXPECT_EQ((D{out.x, out.y, out.z}), (D{1e37, 1e37, 1e37}));
  EXPECT_TRUE(planed_intersect_0(&out, &p, &d, &e));  // in the plane: the first point
  EXPECT_EQ((D{out.x, out.y, out.z}), (D{1, 1, 0}));
  point3d h{2, 2, 3}, k{2, 2, 0};
  EXPECT_TRUE(planed_intersect_0(&out, &p, &h, &k));  // t = 1 counts
  EXPECT_EQ(planed_normality(&p, &a, &b), 1);
  EXPECT_EQ(planed_normality(&p, &b, &a), -1);
  EXPECT_NEAR(planed_normality(&p, &O, &g), 5 / sqrt(27.0), 1e-15);
}

TEST(Planes, LineOfTwoPlanes) {
  linerec l;
  planerec z0 = plane_of(O, X, Y), x0 = plane_of(O, Y, Z);
  ASSERT_TRUE(planed_line3_params(&l, &z0, &x0));
  EXPECT_EQ((D{l.x, l.y, l.z, l.dx, l.dy, l.dz}), (D{0, 0, 0, 0, 1, 0}));
  ASSERT_TRUE(planed_line3_params(&l, &x0, &z0));  // the other order: still y positive
  EXPECT_EQ(l.dy, 1);
  planerec z1 = plane_of({0, 0, 1}, {1, 0, 1}, {0, 1, 1});
  EXPECT_FALSE(planed_line3_params(&l, &z0, &z1));
  std::mt19937_64 rng(1);
  std::uniform_real_distribution<double> u(-4, 4);
  for (int i = 0; i < 500; i++) {
    planerec a = plane_of({u(rng), u(rng), u(rng)}, {u(rng), u(rng), u(rng)}, {u(rng), u(rng), u(rng)});
    planerec b = plane_of({u(rng), u(rng), u(rng)}, {u(rng), u(rng), u(rng)}, {u(rng), u(rng), u(rng)});
    ASSERT_TRUE(planed_line3_params(&l, &a, &b));
    point3d p{l.x, l.y, l.z}, q{l.x + 2 * l.dx, l.y + 2 * l.dy, l.z + 2 * l.dz};
    double scale = 1 + fabs(a.offset) + fabs(b.offset);
    double sin2 = 1 - pow(a.nx * b.nx + a.ny * b.ny + a.nz * b.nz, 2);
    if (sin2 < 1e-6) continue;  // nearly parallel planes put the point far away
    EXPECT_NEAR(planed_plane_distance_0(&a, &p), 0, 1e-10 * scale / sin2);
    EXPECT_NEAR(planed_plane_distance_0(&b, &q), 0, 1e-10 * scale / sin2);
    EXPECT_NEAR(l.dx * l.dx + l.dy * l.dy + l.dz * l.dz, 1, 1e-14);
    double big = std::max({fabs(l.dx), fabs(l.dy), fabs(l.dz)});
    double chosen = fabs(l.dx) == big ? l.x : (fabs(l.dy) == big ? l.y : l.z);
    EXPECT_EQ(chosen, 0);
    EXPECT_GT(fabs(l.dx) == big ? l.dx : (fabs(l.dy) == big ? l.dy : l.dz), 0);
  }
}

TEST(Planes, AnglesBetweenPlanes) {
  planerec z0 = plane_of(O, X, Y), down = plane_of(O, Y, X), x0 = plane_of(O, Y, Z);
  point3d above{0, 0, 1}, below{0, 0, -1};
  EXPECT_EQ((D{planed_cosine_0(&z0, &z0), planed_angle(&z0, &z0, &above), planed_angle(&z0, &down, &above),
               planed_sine_0(&z0, &down), planed_cosine_1(&z0, &O, &Y, &Z), planed_sine_1(&z0, &O, &Y, &Z)}),
            (D{-1, M_PI, 0, 0, 0, 1}));
  EXPECT_NEAR(planed_angle(&z0, &x0, &above), M_PI / 2, 1e-15);
  EXPECT_NEAR(planed_angle(&z0, &x0, &below), 3 * M_PI / 2, 1e-15);
  // A plane tilted by 60 degrees about the x axis: cos = -(n1 . n2) = -cos 60.
  point3d t{0, cos(M_PI / 3), sin(M_PI / 3)};
  planerec tilt = plane_of(O, X, t);
  EXPECT_NEAR(planed_cosine_0(&z0, &tilt), -0.5, 1e-15);
  EXPECT_NEAR(planed_sine_0(&z0, &tilt), sqrt(3.0) / 2, 1e-15);
  EXPECT_NEAR(planed_angle(&z0, &tilt, &above), 2 * M_PI / 3, 1e-15);
  // Rounded unit normals can give |cos| just above 1 for a plane with itself or its
  // reverse: the sine is still (nearly) 0, never a NaN.
  std::mt19937_64 rng(1);
  std::uniform_real_distribution<double> u(-4, 4);
  for (int i = 0; i < 200; i++) {
    point3d a{u(rng), u(rng), u(rng)}, b{u(rng), u(rng), u(rng)}, c{u(rng), u(rng), u(rng)};
    planerec p = plane_of(a, b, c);
    EXPECT_LT(planed_sine_0(&p, &p) + planed_sine_1(&p, &c, &b, &a), 2e-7) << i;
    planerec r = plane_of(c, b, a);
    EXPECT_NEAR(planed_angle(&p, &r, &a), 0, 1e-7) << i;  // never a NaN
    EXPECT_NEAR(planed_angle(&p, &p, &a), M_PI, 1e-7) << i;
  }
}

TEST(Planes, TrianglesCuttingEachOther) {
  // A triangle in z = 0 and a vertical one through it along the x axis from 0 to 1.
  point3d p1{-1, -1, 0}, p2{3, -1, 0}, p3{-1, 3, 0};
  point3d q1{0, 0, -1}, q2{1, 0, 1}, q3{0, 0, 1};
  EXPECT_TRUE(planed_intersect_1(&p1, &p2, &p3, &q1, &q2, &q3, 1e-6));
  EXPECT_TRUE(planed_intersect_1(&p1, &p2, &p3, &q1, &q2, &q3, 0.49));
  EXPECT_FALSE(planed_intersect_1(&p1, &p2, &p3, &q1, &q2, &q3, 0.51));  // the shared piece is 0.5 long
  // Touching only at a vertex.
  point3d r1{0, 0, 0}, r2{1, 0, 0}, r3{0, 1, 0}, s1{0, 0, 0}, s2{-1, 0, 1}, s3{0, -1, 1};
  for (double tol : {1e-12, 1e-6, 1.0}) EXPECT_FALSE(planed_intersect_1(&r1, &r2, &r3, &s1, &s2, &s3, tol));
  // Crossing lines of the planes but apart along them.
  point3d u1{5, 0, -1}, u2{6, 0, 1}, u3{5, 0, 1};
  EXPECT_FALSE(planed_intersect_1(&p1, &p2, &p3, &u1, &u2, &u3, 1e-6));
  // Parallel planes never cut.
  point3d v1{0, 0, 1}, v2{1, 0, 1}, v3{0, 1, 1};
  EXPECT_FALSE(planed_intersect_1(&r1, &r2, &r3, &v1, &v2, &v3, 1e-6));
}

}  // namespace
