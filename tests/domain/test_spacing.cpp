// The spacing wanted along the boundary and inside a domain: joint and sample spacings
// of squares, a dumbbell and circles, user spacings, thinning and periodic mixing.
// Expected values were worked out in python3 from the growth law h0 + g d.
#include <cmath>
#include <numbers>
#include <span>
#include <vector>

#include "domain/dfeature.h"
#include "domain/periodic.h"
#include "model/trees.h"
#include "tests/domain/problem.h"
#include "tests/model/treebuild.h"

namespace {

struct Spacing : Problem {
  void SetUp() override {
    Problem::SetUp();
    p->gridarc = 30, p->aspect = 4, p->steepness = 0.5;
  }
  // What the mesher does before it asks for the features.
  void build(uint16_t ngrid) {
    finish();
    domain_tag_edges(dp);
    dominpde_find_reglist(p);
    dominpde_build_features(p, ngrid, &p->status);
  }
  uint16_t spacing_tree(double v) { return trees_one_more(&p->formulas.spacing, trees_new_real_0(v)); }
  std::span<featureitem> items() { return {d().features.items, d().features.count}; }
  double joint_h(uint16_t j) { return d().features.jointspacing.data[j - 1]; }
  // Every joint and every sample wants h.
  void expect_everywhere(double h, double tol) {
    for (uint16_t j = 1; j <= d().joints.count; j++) EXPECT_NEAR(joint_h(j), h, tol) << "joint " << j;
    for (featureitem &it : items())
      for (int32_t i = 0; i < it.spacings.count; i++) EXPECT_NEAR(it.spacings.data[i], h, tol) << "edge " << it.edge;
  }
  // Whether thinning would still remove sample j (2 .. m-1, 1-based) of the item.
  static bool removable(const featureitem &it, int32_t j) {
    const double *h = it.spacings.data, *s = it.distances.data;
    double lo = std::min(h[j - 2], h[j]), hi = std::max(h[j - 2], h[j]);
    return lo <= h[j - 1] && h[j - 1] <= hi && s[j] - s[j - 2] < 0.5 * lo;
  }
};

TEST_F(Spacing, UnitSquareWantsTheBaseSpacingEverywhere) {
  polygon({{0, 0}, {1, 0}, {1, 1}, {0, 1}});
  build(10);
  expect_everywhere(0.1, 1e-15);
  for (featureitem &it : items()) {
    ASSERT_EQ(it.samples.count, 16);
    for (int32_t k = 0; k < 16; k++) EXPECT_NEAR(it.distances.data[k], k / 15.0, 1e-15);
  }
  EXPECT_EQ(p->status.last, 0);  // the status lines are gone
  // Inside, with or without the least spacings of the edges, the base spacing.
  std::vector<double> least;
  dfeature_least_spacings(dp, &least);
  for (auto [x, y] : {std::pair{0.5, 0.5}, {0.0, 0.0}, {1e-9, 0.3}, {0.999, 0.001}, {2.0, 0.5}}) {
    double at[2] = {x, y};
    EXPECT_EQ(dfeature_space_feature(dp, at, nullptr, least.data()), 0.1) << x << "," << y;
    EXPECT_EQ(dfeature_space_feature(dp, at, nullptr), 0.1) << x << "," << y;
  }
}

TEST_F(Spacing, DumbbellChannelWantsItsWidth) {
  const double lo = 0.4921875, hi = 0.5078125, w = hi - lo;
  polygon({{0, 0}, {1, 0}, {1, lo}, {2, lo}, {2, 0}, {3, 0}, {3, 1}, {2, 1}, {2, hi}, {1, hi}, {1, 1}, {0, 1}});
  build(10);
  for (auto [x, y] : {std::pair{1.0, lo}, {2.0, lo}, {2.0, hi}, {1.0, hi}})
    EXPECT_NEAR(joint_h(pt(x, y)), w, 1e-12) << x << "," << y;
  for (auto [x, y] : {std::pair{0.0, 0.0}, {3.0, 0.0}, {3.0, 1.0}, {0.0, 1.0}})
    EXPECT_NEAR(joint_h(pt(x, y)), 0.3, 1e-12);
}

// An inverted T: the stem's inner corners stand 0.3 above the middle of a side of the
// base's bottom, 0.4 from each other and at least 0.36 from the bottom's joints. Many
// short edges (the stem's cap and the base's right side cut into 0.01 pieces) make the
// lookups fine, so the nearest edge across the region lies well beyond the first reach
// the search widens from.
TEST_F(Spacing, JointsFindTheNearestEdgeBeyondManyShortOnes) {
  std::vector<std::pair<double, double>> pts = {{0, 0}, {1.5, 0}, {2, 0}, {2.5, 0}, {4, 0}};
  for (int k = 1; k <= 30; k++) pts.push_back({4, 0.01 * k});
  pts.push_back({2.2, 0.3});
  for (int k = 0; k <= 40; k++) pts.push_back({2.2 - 0.01 * k, 3});
  pts.push_back({1.8, 0.3});
  pts.push_back({0, 0.3});
  std::vector<uint16_t> j;
  for (auto [x, y] : pts) j.push_back(pt(x, y));
  uint16_t r = region({});
  for (size_t k = 0; k < j.size(); k++)
    edges_add_to_loop(&d().loops, d().regions.data[r - 1].loops.data[0], line(j[k], j[(k + 1) % j.size()]));
  build(1);  // the base spacing, 4, limits nothing
  // Within the snapping of the joints (a quantum of 2^-28).
  for (auto [x, y] : {std::pair{1.8, 0.3}, {2.2, 0.3}})
    EXPECT_NEAR(joint_h(pt(x, y)), 0.3, 1e-8) << x << "," << y;
}

// A unit circle of n equal arcs: GRIDARC 30 limits everything to 30 degrees in radians;
// GRIDARC 120 is capped at a quarter turn, below the sqrt(3) the joints' distances ask.
TEST_F(Spacing, ArcsAreLimitedByTheArcAngleUpToAQuarterTurn) {
  struct {
    int n;
    double gridarc;
    uint16_t ngrid;
    double h;
  } cases[] = {{4, 30, 2, 30 * 0.017453292}, {3, 120, 1, std::numbers::pi / 2}};
  for (auto c : cases) {
    domain_clear(dp);
    p->gridarc = c.gridarc;
    std::vector<uint16_t> j;
    for (int k = 0; k < c.n; k++)
      j.push_back(pt(std::cos(k * 2 * std::numbers::pi / c.n), std::sin(k * 2 * std::numbers::pi / c.n)));
    uint16_t r = region({});
    for (int k = 0; k < c.n; k++)
      edges_add_to_loop(&d().loops, d().regions.data[r - 1].loops.data[0], arc(j[k], j[(k + 1) % c.n], 0, 0));
    build(c.ngrid);
    expect_everywhere(c.h, 1e-12);
  }
}

TEST_F(Spacing, UserSpacingsIgnoreWhatAsksNoPositiveSpacing) {
  polygon({{0, 0}, {1, 0}, {1, 1}, {0, 1}});
  uint16_t dense = spacing_tree(20), zero = spacing_tree(0), negative = spacing_tree(-1);
  finish();
  double at[2] = {0.5, 0.5};
  struct {
    int16_t edge, region, domain;
    double h;
  } cases[] = {{int16_t(-dense), 0, 0, 0.05},
               {0, int16_t(-zero), 0, DOMAIN_HUGE},
               {0, 0, int16_t(-negative), DOMAIN_HUGE},
               {int16_t(zero), 0, 0, DOMAIN_HUGE},
               {int16_t(negative), 0, int16_t(-dense), 0.05},
               {0, 0, int16_t(dense), 20}};
  for (auto c : cases) {
    edge(1).spacing = c.edge, d().regions.data[0].spacing = c.region, d().spacing = c.domain;
    EXPECT_EQ(dominpde_user_feature(p, at, 1, 1), c.h) << c.edge << " " << c.region << " " << c.domain;
  }
}

TEST_F(Spacing, JumpLawFinishesAndThinningLeavesNothingRemovable) {
  polygon({{0, 0}, {1, 0}, {1, 1}, {0, 1}});
  d().spacing = int16_t(trees_one_more(&p->formulas.spacing, treebuild("IF X < 0.5 THEN 0.01 ELSE 0.1")));
  build(10);
  int32_t checked = 0;
  for (featureitem &it : items()) {
    for (int32_t i = 1; i < it.samples.count; i++) {
      double x0 = it.samples.data[i - 1].x, x1 = it.samples.data[i].x;
      if ((x0 - 0.5) * (x1 - 0.5) <= 0 || std::fabs(x0 - 0.5) < 0.05 || std::fabs(x1 - 0.5) < 0.05) continue;
      double r = it.spacings.data[i - 1] / it.spacings.data[i];
      EXPECT_TRUE(r >= 0.5 && r <= 2) << "edge " << it.edge << " at " << x0;
      checked++;
    }
    for (int32_t j = 2; j < it.samples.count; j++) EXPECT_FALSE(removable(it, j)) << it.edge << " " << j;
  }
  EXPECT_GT(checked, 40);
  EXPECT_NEAR(joint_h(1), 0.01, 1e-15);
  EXPECT_NEAR(joint_h(2), 0.1, 1e-15);
}

TEST_F(Spacing, AJointNearAnEdgeAsksForABoundedNumberOfSamples) {
  polygon({{0, 0}, {1, 0}, {1, 1}, {0, 1}});
  joint(pt(0.999, 1e-6)).kind = 3;
  build(10);
  resolve_features(p, dp, nullptr);  // the samples before thinning
  EXPECT_EQ(items()[0].distances.count, 10001);
}

TEST_F(Spacing, PointsGrowAwayFromEdgesAndPartnersShareTheSmaller) {
  // A long line wanting 0.1, base spacing 10, g = 0.25: 4 units off it, 1.1.
  uint16_t a = pt(-100, 0), b = pt(100, 0), c = pt(-100, 1), e = pt(100, 1);
  int32_t low = line(a, b), high = line(c, e);
  finish();
  featureblock &f = d().features;
  f.basespacing = 10;
  f.count = 2;
  bopmemalloc(reinterpret_cast<char **>(&f.items), 2, sizeof(featureitem));
  XMEM += 2 * sizeof(featureitem);
  // Line 1 wants 0.1 throughout; line 2 from 0.04 to 0.12 over its 200 units.
  for (int k = 0; k < 2; k++) {
    featureitem &it = f.items[k];
    it.edge = uint16_t(k + 1);
    for (int i = 0; i <= 4; i++) {
      pointd_one_more_1(&it.samples, -100 + 50.0 * i, k);
      vectord_one_more(&it.distances, 50.0 * i);
      vectord_one_more(&it.spacings, k == 0 ? 0.1 : 0.04 + 0.02 * i);
    }
  }
  double off[2] = {0, -4}, beyond[2] = {300, 1};
  EXPECT_NEAR(dfeature_space_feature(dp, off, nullptr), 1.1, 1e-12);
  // The least spacings (0.1 and 0.04, below the base) leave the answer as it is.
  std::vector<double> least;
  dfeature_least_spacings(dp, &least);
  EXPECT_NEAR(dfeature_space_feature(dp, off, nullptr, least.data()), 1.1, 1e-12);
  EXPECT_NEAR(dfeature_interp_feature(dp, uint16_t(high), beyond), 0.12, 1e-15);
  // Periodic in y: line 1 maps onto line 2 by y + 1.
  periodic_one_more(&d().periodics);
  periodic &P = d().periodics.data[0];
  geom3d_identity(&P.forward), geom3d_identity(&P.inverse);
  P.forward.t[7] = 1, P.inverse.t[7] = -1;
  vectorn_one_more(&P.sources, uint16_t(low)), vectorn_one_more(&P.images, uint16_t(high));
  dfeature_mix_periodics(dp);
  for (int i = 0; i <= 4; i++) {
    double want = std::min(0.1, 0.04 + 0.02 * i);
    EXPECT_NEAR(f.items[0].spacings.data[i], want, 1e-15) << i;
    EXPECT_NEAR(f.items[1].spacings.data[i], want, 1e-15) << i;
  }
}

}  // namespace
