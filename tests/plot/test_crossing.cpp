// Zero crossings along cell edges and cell polynomials, against roots and values
// worked out by hand or by exact arithmetic.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>
#include <algorithm>

#include "plot/crossing.h"
#include "plot/poly.h"

namespace {

// The edge parameters t of the listed crossings on triangle side 3 (L2 = t).
std::vector<double> roots() {
  std::vector<double> r;
  for (int i = 0; i < crossing_list.count; i++) r.push_back(crossing_list.L[i][1]);
  return r;
}

TEST(Crossing, CubicRootsAndCleaning) {
  crossing_list.count = 0;
  crossing_bcross3(1, -1.6, 0.73, -0.09, 3, 0);  // (t - 0.2)(t - 0.5)(t - 0.9)
  auto r = roots();
  std::sort(r.begin(), r.end());
  ASSERT_EQ(r.size(), 3u);
  EXPECT_NEAR(r[0], 0.2, 1e-12);
  EXPECT_NEAR(r[1], 0.5, 1e-12);
  EXPECT_NEAR(r[2], 0.9, 1e-12);

  crossing_list.count = 0;
  crossing_bcross3(2, 0, 2, -1, 3, 0);  // t^3 + t - 0.5: one real root
  ASSERT_EQ(crossing_list.count, 1);
  EXPECT_NEAR(roots()[0], 0.4238537990697833, 1e-12);

  crossing_list.count = 0;
  crossing_bcross3(1, -1.5, 0.75, -0.125, 3, 0);  // (t - 0.5)^3
  ASSERT_GE(crossing_list.count, 1);
  crossing_clean_crossings(&crossing_list);
  ASSERT_EQ(crossing_list.count, 1);
  EXPECT_NEAR(roots()[0], 0.5, 1e-12);

  // A double root: rounding decides whether it is seen, the simple root stays.
  crossing_list.count = 0;
  crossing_bcross3(1, -1.3, 0.51, -0.063, 3, 0.1);  // (t - 0.3)^2 (t - 0.7)
  r = roots();
  for (double t : r) EXPECT_TRUE(std::fabs(t - 0.3) < 1e-6 || std::fabs(t - 0.7) < 1e-12) << t;
  EXPECT_TRUE(std::any_of(r.begin(), r.end(), [](double t) { return std::fabs(t - 0.7) < 1e-12; }));
}

TEST(Crossing, EndsTolerancesAndDegenerateLeads) {
  struct Case {
    double a, b, c, d, tol;
    std::vector<double> want;
  } cases[] = {
      {0, 1, -1, 0, 0, {}},            // t(t - 1): ends dropped without tolerance
      {0, 1, -1, 0, 1e-9, {0, 1}},     // kept above it
      {0, 1e-9, 1, -0.25, 0, {0.25}},  // tiny quadratic term: the linear root
      {1e-12, 1, 0, -0.25, 0, {-0.5, 0.5}},  // tiny cubic term: the quadratic rule
      {0, 0, 0, 1, 0.5, {}},           // constant: nothing, no trap
      {0, 0, 0, 0, 0.5, {}},
  };
  for (const Case &k : cases) {
    crossing_list.count = 0;
    crossing_bcross3(k.a, k.b, k.c, k.d, 3, k.tol);
    auto r = roots();
    std::vector<double> want;
    for (double t : k.want)
      if (-k.tol < t && t < 1 + k.tol) want.push_back(t);
    ASSERT_EQ(r.size(), want.size()) << k.a << " " << k.b << " " << k.c << " " << k.d;
    for (size_t i = 0; i < r.size(); i++) EXPECT_NEAR(r[i], want[i], 1e-12);
  }
  // A vertex reached from two edges is listed once; a near point is not added twice.
  crossing_list.count = 0;
  crossing_bcross1(1, -1, 3, 1e-9);  // side 3 at t = 1: vertex 2
  crossing_bcross1(1, 0, 1, 1e-9);   // side 1 at t = 0: vertex 2
  crossing_clean_crossings(&crossing_list);
  EXPECT_EQ(crossing_list.count, 1);
  double L[4] = {0, 1 - 1e-6, 1e-6, 0};
  crossing_aclist_1(L, 1);
  EXPECT_EQ(crossing_list.count, 1);
  // Four cubic edges of a tetrahedron with three roots each fit the list.
  crossing_list.count = 0;
  for (uint16_t e = 4; e <= 7; e++) crossing_bcross3(1, -1.6, 0.73, -0.09, e, 0);
  EXPECT_EQ(crossing_list.count, 12);
}

// Local points (s, t) of the nodes: s is L2, t is L1.
const double node_st[3][9][2] = {
    {{0, 1}, {1, 0}, {0, 0}},
    {{0, 1}, {1, 0}, {0, 0}, {0.5, 0}, {0, 0.5}, {0.5, 0.5}},
    {{0, 1}, {1, 0}, {0, 0}, {2. / 3, 0}, {0, 1. / 3}, {1. / 3, 2. / 3}, {1. / 3, 0}, {0, 2. / 3}, {2. / 3, 1. / 3}}};
const int node_count[3] = {3, 6, 9};

TEST(Poly, NodalValuesConstantsAndPolynomials) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> u(-2, 2);
  double c[13], f[9];
  for (int b = 4; b <= 6; b++) {
    int n = node_count[b - 4];
    for (int i = 0; i < n; i++) f[i] = u(rng);
    poly_poly_coef(c, f, b);
    for (int i = 0; i < n; i++) {
      const double *st = node_st[b - 4][i];
      EXPECT_NEAR(poly_poly_eval(c, st[1], st[0], b), f[i], 1e-12) << b << " node " << i + 1;
    }
    for (int i = 0; i < n; i++) f[i] = 3.5;
    poly_poly_coef(c, f, b);
    EXPECT_EQ(c[0], 3.5);
    for (int i = 1; i <= 12; i++) EXPECT_NEAR(c[i], 0, 1e-14) << b << " c" << i;
  }
  // Nine nodes: the centre value, quadratics reproduced, cubics along every side.
  for (int i = 0; i < 9; i++) f[i] = u(rng);
  poly_poly_coef(c, f, 6);
  EXPECT_NEAR(poly_poly_eval(c, 1. / 3, 1. / 3, 6),
              -(f[0] + f[1] + f[2]) / 6 + (f[3] + f[4] + f[5] + f[6] + f[7] + f[8]) / 4, 1e-12);
  auto quad = [](double s, double t) { return 1 - 2 * s + 3 * t + 0.5 * s * s - s * t + 2 * t * t; };
  for (int i = 0; i < 9; i++) f[i] = quad(node_st[2][i][0], node_st[2][i][1]);
  poly_poly_coef(c, f, 6);
  for (double s = 0; s <= 1; s += 0.125)
    for (double t = 0; s + t <= 1; t += 0.125) EXPECT_NEAR(poly_poly_eval(c, t, s, 6), quad(s, t), 1e-12);
  // Along each side, from its first listed node on, the cubic through its four nodes.
  auto cubic = [](double x) { return 0.3 - x + 2 * x * x - 1.7 * x * x * x; };
  const int side[3][4] = {{3, 7, 4, 2}, {3, 5, 8, 1}, {2, 9, 6, 1}};
  for (const auto &nodes : side) {
    for (int i = 0; i < 9; i++) f[i] = u(rng);
    for (int k = 0; k < 4; k++) f[nodes[k] - 1] = cubic(k / 3.0);
    poly_poly_coef(c, f, 6);
    const double *a = node_st[2][nodes[0] - 1], *e = node_st[2][nodes[3] - 1];
    for (double x = 0; x <= 1; x += 0.1) {
      double s = a[0] + x * (e[0] - a[0]), t = a[1] + x * (e[1] - a[1]);
      EXPECT_NEAR(poly_poly_eval(c, t, s, 6), cubic(x), 1e-12);
    }
  }
}

TEST(Poly, QuadraticRoots) {
  double x[2];
  ASSERT_EQ(poly_quadsolve(x, 1, -3, 2), 2);
  EXPECT_DOUBLE_EQ(x[0], 1);
  EXPECT_DOUBLE_EQ(x[1], 2);
  ASSERT_EQ(poly_quadsolve(x, 2, -5, 0), 1);  // c = 0 reports the root 0 only
  EXPECT_EQ(x[0], 0);
  EXPECT_EQ(poly_quadsolve(x, 0, 0, 1), 0);
  ASSERT_EQ(poly_quadsolve(x, 0, 2, -1), 1);
  EXPECT_DOUBLE_EQ(x[0], 0.5);
  ASSERT_EQ(poly_quadsolve(x, 1, -2, 1), 1);
  EXPECT_DOUBLE_EQ(x[0], 1);
  EXPECT_EQ(poly_quadsolve(x, 1, 0, 1), 0);
}

}  // namespace
