// The 3D view transform: analytic images of rotations, shears and frames, inverse
// against a random affine map, composition order, and the perspective rule.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "runtime/geom3d.h"
#include "runtime/point3d.h"
#include "runtime/pointd.h"

namespace {

point3d map(const transform3d &T, point3d p) {
  point3d out;
  geom3d_rotate_0(&out, &T, &p);
  return out;
}

void expect_point(point3d got, double x, double y, double z, double tol = 1e-15) {
  EXPECT_NEAR(got.x, x, tol);
  EXPECT_NEAR(got.y, y, tol);
  EXPECT_NEAR(got.z, z, tol);
}

// A random affine map built from every kind of edit, with a well-conditioned block.
transform3d random_transform(std::mt19937_64 &rng) {
  std::uniform_real_distribution<double> u(-3, 3), ang(0, 2 * M_PI), sc(0.3, 3);
  transform3d T;
  geom3d_identity(&T);
  geom3d_translate(&T, u(rng), u(rng), u(rng));
  geom3d_xrotate_0(&T, ang(rng));
  geom3d_scale(&T, sc(rng), sc(rng), sc(rng));
  geom3d_yrotate_0(&T, ang(rng));
  geom3d_xshear(&T, 1.2 + 0.7 * u(rng) / 3);
  geom3d_zrotate_1(&T, u(rng), 0.5 + fabs(u(rng)));
  geom3d_yshear(&T, 1.0 + 0.4 * u(rng) / 3);
  geom3d_translate(&T, u(rng), u(rng), u(rng));
  return T;
}

// Quarter turns about each axis move the axis points where the right-hand rule
// (seen from the viewer) puts them; the (a, b) forms turn by the angle of (a, b).
TEST(Transform, RotationsAboutEachAxis) {
  struct Turn {
    void (*rotate)(transform3d *, double);
    point3d from, to;
  } turns[] = {{geom3d_xrotate_0, {0, 1, 0}, {0, 0, -1}}, {geom3d_xrotate_0, {0, 0, 1}, {0, 1, 0}},
               {geom3d_yrotate_0, {1, 0, 0}, {0, 0, 1}},  {geom3d_yrotate_0, {0, 0, 1}, {-1, 0, 0}},
               {geom3d_zrotate_0, {1, 0, 0}, {0, -1, 0}}, {geom3d_zrotate_0, {0, 1, 0}, {1, 0, 0}}};
  for (const Turn &t : turns) {
    transform3d T;
    geom3d_identity(&T);
    t.rotate(&T, M_PI / 2);
    expect_point(map(T, t.from), t.to.x, t.to.y, t.to.z);
  }
  transform3d A, B;
  geom3d_identity(&A);
  geom3d_identity(&B);
  geom3d_zrotate_0(&A, M_PI / 6);
  geom3d_zrotate_1(&B, sqrt(3.0) * 5, 5);
  geom3d_xrotate_0(&A, -1.0);
  geom3d_xrotate_1(&B, cos(-1.0), sin(-1.0));
  geom3d_yrotate_0(&A, 2.5);
  geom3d_yrotate_1(&B, 2 * cos(2.5), 2 * sin(2.5));
  for (int k = 0; k < 12; k++) EXPECT_NEAR(A.t[k], B.t[k], 1e-15);
}

TEST(Transform, EditsActAfterTheMapAlreadyHeld) {
  // translate by (1, 2, 3), then rotate 90 degrees about x: p -> Rx (p - (1, 2, 3)).
  transform3d T;
  geom3d_identity(&T);
  geom3d_translate(&T, 1, 2, 3);
  geom3d_xrotate_0(&T, M_PI / 2);
  expect_point(map(T, {1, 2, 3}), 0, 0, 0);
  expect_point(map(T, {1, 3, 3}), 0, 0, -1);
  // then scale the view axes by (2, 3, 4): the offset column is scaled too.
  geom3d_scale(&T, 2, 3, 4);
  expect_point(map(T, {2, 3, 4}), 2, 3, -4);
  // shears add cos(angle) times the other row: cos(pi/3) = 1/2.
  geom3d_identity(&T);
  geom3d_xshear(&T, M_PI / 3);
  expect_point(map(T, {0, 2, 0}), 1, 2, 0);
  geom3d_identity(&T);
  geom3d_yshear(&T, M_PI / 3);
  expect_point(map(T, {4, 0, 0}), 4, 2, 0);
}

TEST(Transform, MultiplyComposesAfter) {
  std::mt19937_64 rng(7);
  for (int round = 0; round < 50; round++) {
    transform3d A = random_transform(rng), B = random_transform(rng), C;
    C.t[12] = C.t[13] = C.t[14] = C.t[15] = -7;  // must stay as they are
    geom3d_mul(&C, &A, &B);
    EXPECT_EQ(C.t[12] + C.t[15], -14);
    point3d p{0.3 * round, -1.7, 2.2};
    point3d direct = map(C, p), stepwise = map(A, map(B, p));
    expect_point(direct, stepwise.x, stepwise.y, stepwise.z, 1e-12);
    transform3d AB;
    geom3d_mul(&AB, &A, &B);
    geom3d_mul(&A, &A, &B);  // the product may overwrite an operand
    for (int k = 0; k < 12; k++) EXPECT_EQ(A.t[k], AB.t[k]);
  }
}

TEST(Transform, InverseTimesTransformIsTheIdentity) {
  std::mt19937_64 rng(2024);
  for (int round = 0; round < 200; round++) {
    transform3d T = random_transform(rng), D, C;
    T.t[12] = 55;
    T.t[13] = 0.5;
    ASSERT_TRUE(geom3d_inverse_rotation(&D, &T));
    EXPECT_EQ(std::vector<double>(D.t + 12, D.t + 16), (std::vector<double>{55, 0.5, 0, 0}));
    for (int side = 0; side < 2; side++) {
      side ? geom3d_mul(&C, &T, &D) : geom3d_mul(&C, &D, &T);
      for (int k = 0; k < 12; k++)
        EXPECT_NEAR(C.t[k], (k == 0 || k == 5 || k == 10) ? 1.0 : 0.0, 1e-12) << "round " << round << " entry " << k;
    }
    ASSERT_TRUE(geom3d_inverse_rotation(&T, &T));  // in place
    for (int k = 0; k < 12; k++) EXPECT_EQ(T.t[k], D.t[k]);
  }
}

TEST(Transform, FramesOnPointsAndPlanes) {
  point3d p0{1, 2, 3}, p1{2, 2.5, 3}, p2{0.5, 4, 3.5}, p3{1, 1, 6};
  const double s = 4;
  transform3d F, G;
  ASSERT_TRUE(geom3d_rotate_from(&F, &p0, &p1, &p2, &p3, s, s, s));
  expect_point(map(F, p0), 0, 0, 0, 1e-14);
  expect_point(map(F, p1), 1 / s, 0, 0, 1e-14);
  expect_point(map(F, p2), 0, 1 / s, 0, 1e-14);
  expect_point(map(F, p3), 0, 0, 1 / s, 1e-14);
  geom3d_rotate_to(&G, &p0, &p1, &p2, &p3, 1, 1, 1);
  expect_point(map(G, {1, 0, 0}), p1.x, p1.y, p1.z);
  expect_point(map(G, {0, 0, 1}), p3.x, p3.y, p3.z);
  EXPECT_EQ(G.t[12], 1e6);
  // The plane frame: columns (p2 - p1)/s1, (p3 - p1)/s2 and their cross product.
  geom3d_rotate_plane_to(&G, &p0, &p1, &p2, 2, 0.5);
  expect_point(map(G, {2, 0, 0}), p1.x, p1.y, p1.z);
  expect_point(map(G, {0, 0.5, 0}), p2.x, p2.y, p2.z);
  // (1, 0.5, 0) x (-0.5, 2, 0.5) = (0.25, -0.5, 2.25)
  expect_point(map(G, {0, 0, 1}), p0.x + 0.25, p0.y - 0.5, p0.z + 2.25);
}

TEST(Transform, PerspectiveProjection) {
  transform3d T;
  geom3d_identity(&T);
  T.t[12] = 10;
  pointd out;
  point3d p{2, 10, 4}, q{2, -20, 4}, eye{3, -10, 5};
  auto proj = [&](point3d &a) {
    double f = geom3d_project_0(&out, &T, &a);
    return std::vector<double>{f, out.x, out.y};
  };
  EXPECT_EQ(proj(p), (std::vector<double>{20, 1, 2}));
  EXPECT_EQ(proj(q), (std::vector<double>{-10, 2, 4}));  // behind the eye: drawn unscaled
  EXPECT_EQ(proj(eye), (std::vector<double>{0, 3, 5}));  // in the eye plane: unscaled too
  // The horizontal centre: x scales about c, the vertical about 0.
  T.t[13] = 6;
  EXPECT_EQ(proj(p), (std::vector<double>{20, (2 - 6) * 0.5 + 6, 2}));
}

}  // namespace
