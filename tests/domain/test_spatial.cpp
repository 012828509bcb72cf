// The lookups of the set-up passes against the walks over every record they replace:
// the closest pair of joints, the box buckets, the region lookup, the edges and joints
// near a point or an edge, and the spacing at boundary samples, on random domains with
// coincident, nearly coincident, collinear and far-off joints.
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <random>
#include <span>
#include <vector>

#include "domain/dfeature.h"
#include "domain/spatial.h"
#include "tests/domain/problem.h"

namespace {

using Spatial = Problem;

// The smallest nonzero squared distance over every pair, as the joints table defines it.
double every_pair(const jointtable &t) {
  double best = DOMAIN_HUGE;
  for (int32_t i = 0; i < t.count; i++)
    for (int32_t k = i + 1; k < t.count; k++) {
      const Joint &a = t.data[i], &b = t.data[k];
      if (a.kind == 4 || b.kind == 4) continue;
      double d2 = (a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) + (a.z - b.z) * (a.z - b.z);
      if (d2 > 0 && d2 <= best) best = d2;
    }
  return best;
}

TEST_F(Spatial, ClosestPairIsTheSmallestOverEveryPair) {
  std::mt19937 rng(63);
  std::uniform_real_distribution<double> u(-1, 1);
  const double tol = 1e-9;  // about the snapping tolerance of a unit domain
  for (int trial = 0; trial < 60; trial++) {
    jointtable t{};
    int n = 2 + trial * 5, shape = trial % 6;
    double off = trial % 4 == 3 ? 1e6 : 0;  // far from the origin: rounding of the window
    for (int k = 0; k < n; k++) {
      double x = off + u(rng), y = off + u(rng);
      if (shape == 1) x = off;                       // one vertical line
      if (shape == 2) y = off + 0.5;                 // one horizontal line
      if (shape == 3) x = off + std::round(x * 4) / 4, y = off + std::round(y * 4) / 4;  // many equal
      uint16_t j = joints_new_joint_0(&t, x, y);
      if (shape == 4 && k % 3 == 0) {
        // A partner at the tolerance, just inside or outside it, on one or both axes.
        double s = tol * (0.5 + (k % 4) * 0.5);
        joints_new_joint_0(&t, x + s, y + (k % 2 ? s : 0));
      }
      if (shape == 5 && k % 4 == 0) joints_new_joint_0(&t, x, y);  // coincident
      if (k % 7 == 0) t.data[j - 1].kind = 4;
      if (k % 11 == 5) t.data[j - 1].z = u(rng) * 1e-3;
    }
    EXPECT_EQ(joints_closest_pair2(&t), every_pair(t)) << "trial " << trial;
    joints_free(&t);
  }
  // Coordinates that are not finite take part in no pair; a single joint has none.
  jointtable t{};
  joints_new_joint_0(&t, 0, 0);
  EXPECT_EQ(joints_closest_pair2(&t), DOMAIN_HUGE);
  joints_new_joint_0(&t, std::numeric_limits<double>::quiet_NaN(), 0);
  joints_new_joint_0(&t, std::numeric_limits<double>::infinity(), 1);
  joints_new_joint_0(&t, 0.25, 0);
  joints_new_joint_0(&t, 0.25, 0.125);
  EXPECT_EQ(joints_closest_pair2(&t), every_pair(t));
  EXPECT_EQ(joints_closest_pair2(&t), 0.125 * 0.125);
  joints_free(&t);
}

// Boxes of every kind among many, and a few tiny ones far apart (queries then span more
// columns than there are held cells).
TEST_F(Spatial, BoxBucketsAnswerEveryMeetingBoxOnceInOrder) {
  std::mt19937 rng(7);
  for (int sparse = 0; sparse < 2; sparse++) {
    double span = sparse ? 100 : 10;
    std::uniform_real_distribution<double> u(0, span), w(0, sparse ? 0.01 : 0.5), r(0, sparse ? 40 : 0.5);
    std::vector<BoxGrid::Box> boxes;
    for (int k = 0; k < (sparse ? 12 : 400); k++) {
      double x = u(rng), y = u(rng);
      if (k % 50 == 0) boxes.push_back({1, 1, 0, 0});                    // not set
      else if (k % 37 == 0) boxes.push_back({0, y, span, y + 0.01});     // across the domain
      else if (k % 5 == 0) boxes.push_back({x, y, x, y});                // a point
      else boxes.push_back({x, y, x + w(rng), y + w(rng)});
    }
    BoxGrid g;
    g.build(boxes);
    std::vector<uint16_t> got;
    for (int q = 0; q < 500; q++) {
      double x = u(rng) * 1.2 - 0.1 * span, y = u(rng) * 1.2 - 0.1 * span, e = q % 10 == 0 ? 0 : r(rng);
      const BoxGrid::Box &near = boxes[q % boxes.size()];
      if (q % 4 == 1) x = near.x1, y = near.y2;               // on a box's side
      if (q % 4 == 2) x = near.x1 - e, y = near.y1 - e;       // touching its corner
      if (q % 4 == 3) x = near.x2 + e, y = near.y2 + e;
      g.query(x - e, y - e, x + e, y + e, &got);
      ASSERT_TRUE(std::is_sorted(got.begin(), got.end()));
      ASSERT_EQ(std::adjacent_find(got.begin(), got.end()), got.end());
      for (size_t k = 0; k < boxes.size(); k++) {
        const BoxGrid::Box &b = boxes[k];
        bool meets = !(b.x1 <= b.x2) || (b.x1 <= x + e && x - e <= b.x2 && b.y1 <= y + e && y - e <= b.y2);
        if (meets) EXPECT_TRUE(std::binary_search(got.begin(), got.end(), uint16_t(k + 1))) << q << " box " << k + 1;
      }
      // The same cells again, into a list holding something else, into the same list,
      // and after the list went through another grid: the same answer each time.
      std::vector<uint16_t> again = {65535};
      g.query(x - e, y - e, x + e, y + e, &again);
      EXPECT_EQ(again, got) << q;
      g.query(x - e, y - e, x + e, y + e, &again);
      EXPECT_EQ(again, got) << q;
      BoxGrid other;
      other.build({{x, y, x, y}});
      other.query(x, y, x, y, &again);
      EXPECT_EQ(again, std::vector<uint16_t>{1});
      g.query(x - e, y - e, x + e, y + e, &again);
      EXPECT_EQ(again, got) << q;
    }
    // A grid built again answers for its new boxes.
    BoxGrid g2;
    g2.build({{0, 0, 1, 1}});
    g2.query(0, 0, 0.5, 0.5, &got);
    EXPECT_EQ(got, std::vector<uint16_t>{1});
    g2.build({{5, 5, 6, 6}, {0, 0, 1, 1}});
    g2.query(0, 0, 0.5, 0.5, &got);
    EXPECT_EQ(got, std::vector<uint16_t>{2});
  }
}

// Random squares, triangles and circles over a square, one an exclude region, some
// sharing joints and sides; the joints snapped as the reader leaves them.
struct Scatter : Spatial {
  std::mt19937 rng{11};
  void build(int shapes) {
    std::uniform_real_distribution<double> u(0.5, 9), w(0.05, 1.5);
    polygon({{0, 0}, {10, 0}, {10, 10}, {0, 10}});
    for (int k = 0; k < shapes; k++) {
      double x = u(rng), y = u(rng), a = w(rng);
      if (k % 3 == 0) {
        // A circle of three arcs about (x, y).
        uint16_t c[3];
        for (int i = 0; i < 3; i++) c[i] = pt(x + a * std::cos(2.1 * i), y + a * std::sin(2.1 * i));
        region({arc(c[0], c[1], x, y), arc(c[1], c[2], x, y), arc(c[2], c[0], x, y)});
      } else if (k % 3 == 1) {
        polygon({{x, y}, {x + a, y}, {x + a, y + a}, {x, y + a}}, k == 4 ? 1 : 0);
      } else if (k % 6 == 2) {
        polygon({{x, y}, {x + a, y + a / 3}, {x, y + a}});
      } else {
        // A quarter arc low on the right of a tall comb of short lines, so that the
        // arc lies in some of the region's bands only.
        a *= 0.5;
        std::vector<int32_t> walk;
        uint16_t first = pt(x, y), prev = pt(x + a, y), next = pt(x + 2 * a, y + a);
        walk.push_back(line(first, prev));
        walk.push_back(arc(prev, next, x + a, y + a));
        for (int i = 1; i <= 20; i++) {
          prev = next, next = pt(x + 2 * a - 0.02 * a * (i % 2), y + a + 0.15 * a * i);
          walk.push_back(line(prev, next));
        }
        uint16_t top = pt(x, y + 4 * a);
        walk.push_back(line(next, top));
        walk.push_back(line(top, first));
        region({});
        for (int32_t e : walk) edges_add_to_loop(&d().loops, d().loops.count, e);
      }
    }
    polygon({{1, 1}, {2, 1}, {2, 2}});  // shares joints with the next
    polygon({{1, 1}, {2, 2}, {1, 2}});
    finish();
    for (uint16_t r = 1; r <= d().regions.count; r++)
      if (d().regions.data[r - 1].type == 1) vectorn_one_more(&d().excluded, r);
  }
  // Points at random, at joints, on edges and on the heights of joints.
  std::vector<std::array<double, 2>> probes() {
    std::uniform_real_distribution<double> u(-0.5, 10.5);
    std::vector<std::array<double, 2>> out;
    for (int k = 0; k < 1500; k++) out.push_back({u(rng), u(rng)});
    for (uint16_t j = 0; j < d().joints.count; j++) {
      const Joint &J = d().joints.data[j];
      out.push_back({J.x, J.y});
      out.push_back({u(rng), J.y});
      out.push_back({J.x + 1e-9, J.y - 1e-9});
    }
    for (uint16_t e = 0; e < d().edges.count; e++) {
      double P[2];
      edges_move_dist(&d().edges.data[e], &d().joints, d().edges.data[e].length / 3, P);
      out.push_back({P[0], P[1]});
    }
    return out;
  }
};

TEST_F(Scatter, RegionLookupAndNearRecordsMatchTheFullWalk) {
  build(40);
  auto points = probes();
  std::vector<uint16_t> region(points.size());
  for (size_t k = 0; k < points.size(); k++) region[k] = domain_find_region(dp, points[k].data());
  DomainIndexScope lookups(dp);
  int inside = 0;
  for (size_t k = 0; k < points.size(); k++) {
    ASSERT_EQ(domain_find_region(dp, points[k].data()), region[k]) << points[k][0] << "," << points[k][1];
    inside += region[k] > 1;
  }
  EXPECT_GT(inside, 100);  // the shapes are hit, not only the square
  const double tol = d().grid.tolerance;
  double foot[2];
  for (size_t k = 0; k < points.size(); k += 7) {
    const double *p = points[k].data(), r = 0.05 * double(k % 13);
    std::vector<uint16_t> edges = spatial_edges_near(dp, p, r);
    for (uint16_t e = 1; e <= d().edges.count; e++)
      if (edges_edge_distance(&edge(e), &d().joints, p, foot, tol) < r)
        EXPECT_TRUE(std::binary_search(edges.begin(), edges.end(), e)) << "edge " << e << " near point " << k;
    std::vector<uint16_t> joints = spatial_joints_near(dp, p, r);
    for (uint16_t j = 1; j <= d().joints.count; j++)
      if (std::fabs(joint(j).x - p[0]) <= r && std::fabs(joint(j).y - p[1]) <= r)
        EXPECT_TRUE(std::binary_search(joints.begin(), joints.end(), j)) << "joint " << j << " near point " << k;
  }
  for (uint16_t e = 1; e <= d().edges.count; e++) {
    double r = 0.1 * (e % 5);
    std::vector<uint16_t> joints = spatial_joints_near_edge(dp, e, r);
    for (uint16_t j = 1; j <= d().joints.count; j++)
      if (edges_edge_distance(&edge(e), &d().joints, &joint(j).x, foot, tol) < r)
        EXPECT_TRUE(std::binary_search(joints.begin(), joints.end(), j)) << "joint " << j << " near edge " << e;
  }
}

TEST_F(Scatter, BoundarySpacingIsTheSameWithTheLookups) {
  build(30);
  domain_tag_edges(dp);
  featureblock &f = d().features;
  f.basespacing = 0.5, f.aspect = 4;
  f.count = d().edges.count;
  bopmemalloc(reinterpret_cast<char **>(&f.items), f.count, sizeof(featureitem));
  XMEM += int64_t(f.count) * sizeof(featureitem);
  for (uint16_t k = 0; k < f.count; k++) {
    featureitem &it = f.items[k];
    const Edge &e = d().edges.data[k];
    it.edge = uint16_t(k + 1);
    for (double s : {0.0, e.length}) {
      double P[2];
      edges_move_dist(&e, &d().joints, s, P);
      pointd_one_more_1(&it.samples, P[0], P[1]);
      vectord_one_more(&it.distances, s), vectord_one_more(&it.spacings, 0.02 + 0.01 * (k % 4));
    }
  }
  auto points = probes();
  std::vector<double> plain;
  for (size_t k = 0; k < points.size(); k++)
    plain.push_back(dfeature_bdry_feature(dp, points[k].data(), uint16_t(k % (f.count + 1)), 0.5));
  DomainIndexScope lookups(dp);
  int lowered = 0;
  for (size_t k = 0; k < points.size(); k++) {
    ASSERT_EQ(dfeature_bdry_feature(dp, points[k].data(), uint16_t(k % (f.count + 1)), 0.5), plain[k]) << k;
    lowered += plain[k] < 0.5;
  }
  EXPECT_GT(lowered, 500);
}

// Five horizontal and five vertical lines across each other: 25 crossings, each line cut
// into six parts, the lookups built again after every cut.
TEST_F(Spatial, SplittingAGridOfLinesCutsEveryCrossing) {
  for (int k = 1; k <= 5; k++) {
    line(pt(0, k), pt(6, k));
    line(pt(k, 0), pt(k, 6));
  }
  finish();
  dominpde_split_edges(dp);
  edges_joinings(&d().edges, &d().joints);
  EXPECT_EQ(d().joints.count, 20 + 25);
  EXPECT_EQ(d().edges.count, 60);
  for (int x = 1; x <= 5; x++)
    for (int y = 1; y <= 5; y++) EXPECT_EQ(joint(joints_make_joint_1(&d().joints, x, y, &d().grid)).edges.count, 4);
  for (const Edge &e : std::span(d().edges.data, d().edges.count)) EXPECT_DOUBLE_EQ(e.length, 1);
}

// Every side of a square drawn three times, forth, back and forth, interleaved with
// one another: each merge closes the table up, and every copy still finds its first.
TEST_F(Spatial, MergingLeavesOneEdgePerSideDrawnThrice) {
  uint16_t c[4] = {pt(0, 0), pt(1, 0), pt(1, 1), pt(0, 1)};
  polygon({{0, 0}, {1, 0}, {1, 1}, {0, 1}});
  for (int copy = 0; copy < 2; copy++)
    for (int k = 0; k < 4; k++) {
      uint16_t a = c[k], b = c[(k + 1) % 4];
      uint16_t e = edges_new_edge(&d().edges, copy ? a : b, copy ? b : a);
      edges_make_line_params(&edge(e), &d().joints);
      edges_add_to_loop(&d().loops, d().regions.data[0].loops.data[0], copy ? e : -int32_t(e));
    }
  line(c[0], c[2]);  // a diagonal joins two corners no side joins
  finish();
  dominpde_merge_edges(dp);
  ASSERT_EQ(d().edges.count, 5);
  const vectorl &walk = d().loops.data[0].edges;
  ASSERT_EQ(walk.count, 12);
  for (int32_t i = 0; i < walk.count; i++) EXPECT_EQ(walk.data[i], i % 4 + 1) << i;
  for (uint16_t k = 1; k <= 5; k++) EXPECT_EQ(edge(k).number, k);
  EXPECT_EQ(edge(5).joint1, c[0]);
}

}  // namespace
