// Edges and loops: find-or-make, tables, arc construction against analytic circles, and
// the curve operations against arc lengths, curvature and crossings worked out by hand.
#include <cmath>
#include <numbers>
#include <random>

#include "tests/domain/geometry.h"

namespace {

const double pi = std::numbers::pi;

struct Edges : Geometry {
  // The crossing list that edges_cross_boundary keeps for the program's life, made
  // before any test counts XMEM.
  static void SetUpTestSuite() {
    Domain g{};
    domain_clear(&g);
    uint16_t a = joints_new_joint_0(&g.joints, 0, 0), b = joints_new_joint_0(&g.joints, 1, 0);
    edges_make_line_edge(&g.edges, &g.joints, a, b, &g.grid);
    double p[2] = {0.5, -1}, q[2] = {0.5, 1}, x[2];
    edges_cross_boundary(&g.edges, &g.joints, p, q, x, 0);
    domain_clear(&g);
  }
};

TEST_F(Edges, ArcsFromEachConstruction) {
  struct Case {
    const char *what;
    double a[2], b[2], c[2];
    int kind;
    double r;
    int shape;
    double cx, cy, rx, ry, start, sweep, length;
  } cases[] = {
      {"radius +1", {1, 0}, {0, 1}, {}, 2, 1, 1, 0, 0, 1, 1, 0, pi / 2, pi / 2},
      {"radius -1", {1, 0}, {0, 1}, {}, 2, -1, 1, 1, 1, 1, 1, 3 * pi / 2, -pi / 2, pi / 2},
      {"diameter +", {1, 0}, {-1, 0}, {}, 2, 1, 1, 0, 0, 1, 1, 0, pi, pi},
      {"diameter -", {1, 0}, {-1, 0}, {}, 2, -1, 1, 0, 0, 1, 1, 0, pi, pi},
      {"three points", {0, 0}, {2, 1}, {4, 0}, 0, 0, 1, 2, -1.5, 2.5, 2.5, pi - std::atan2(1.5, 2),
       -0.9272952180016122, 2.318238045004030},
      {"ellipse", {2, 0}, {0, 1}, {0, 0}, 1, 0, 2, 0, 0, 2, 1, 0, pi / 2, 2.42247830095564},
      {"circle centre", {3, 0}, {0, 3.000001}, {0, 0}, 1, 0, 1, 0, 0, 3.000001, 3.000001, 0, pi / 2, pi / 2 * 3.000001},
  };
  for (const Case &c : cases) {
    domain_clear(&d);
    uint16_t a = pt(c.a[0], c.a[1]), b = pt(c.b[0], c.b[1]), t = c.kind == 0 ? pt(c.c[0], c.c[1]) : 0;
    int32_t n = arc(a, b, t, c.kind, c.c[0], c.c[1], c.r, 0);
    ASSERT_EQ(n, 1) << c.what;
    const Edge &e = edge(n);
    const arcrec &r = e.shapedata.arc;
    EXPECT_EQ(e.shape, c.shape) << c.what;
    double got[] = {r.cx, r.cy, r.rx, r.ry, r.start, r.sweep, e.length};
    double want[] = {c.cx, c.cy, c.rx, c.ry, c.start, c.sweep, c.length};
    for (int k = 0; k < 7; k++) EXPECT_NEAR(got[k], want[k], 1e-12) << c.what << " field " << k;
  }
  // About a centre by an angle: the end joint is found when it exists.
  domain_clear(&d);
  uint16_t s = pt(1, 0), e = pt(0, -1);
  int32_t n = arc(s, 0, 0, 3, 0, 0, 0, 3 * pi / 2);
  EXPECT_EQ(edge(n).joint2, e);
  EXPECT_EQ(edge(n).shapedata.arc.sweep, 3 * pi / 2);
  EXPECT_EQ(d.joints.count, 2);
  // The box holds the extreme points the sweep passes: left and top, not right.
  EXPECT_NEAR(edge(n).box.x1, -1, 1e-15);
  EXPECT_NEAR(edge(n).box.y2, 1, 1e-15);
  EXPECT_EQ(edge(n).box.x2, 1);
}

TEST_F(Edges, ThreePointCentreIsTheCircumcentre) {
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> u(-1, 1);
  for (int i = 0; i < 10000; i++) {
    if (i % 500 == 0) domain_clear(&d);
    double p[6];
    for (double &v : p) v = u(gen);
    // The determinant form of the circumcentre.
    double ax = p[0], ay = p[1], bx = p[2], by = p[3], cx = p[4], cy = p[5];
    double D = 2 * (ax * (by - cy) + bx * (cy - ay) + cx * (ay - by));
    double a2 = ax * ax + ay * ay, b2 = bx * bx + by * by, c2 = cx * cx + cy * cy;
    double ux = (a2 * (by - cy) + b2 * (cy - ay) + c2 * (ay - by)) / D;
    double uy = (a2 * (cx - bx) + b2 * (ax - cx) + c2 * (bx - ax)) / D;
    uint16_t j[3] = {pt(ax, ay), pt(bx, by), pt(cx, cy)};
    int32_t n = arc(j[0], j[1], j[2], 0, 0, 0, 0, 0);
    ASSERT_NE(n, 0);
    const arcrec &r = edge(n).shapedata.arc;
    double scale = std::max(1.0, r.rx);
    ASSERT_NEAR(r.cx, ux, 1e-12 * scale) << i;
    ASSERT_NEAR(r.cy, uy, 1e-12 * scale) << i;
  }
}

TEST_F(Edges, DegenerateArcsAreNoArcs) {
  uint16_t o = pt(0, 0), a = pt(1, 0), b = pt(2, 0), c = pt(0, 1), e = pt(1, 2), f = pt(1, -3);
  EXPECT_EQ(arc(o, a, b, 0, 0, 0, 0, 0), 0);            // collinear
  EXPECT_EQ(arc(a, a, c, 0, 0, 0, 0, 0), 0);            // coincident ends
  EXPECT_EQ(arc(a, a, 0, 2, 0, 0, 1, 0), 0);            // coincident under a radius
  EXPECT_EQ(arc(e, f, 0, 1, 0, 0, 0, 0), 0);            // equal u^2, unequal distances
  EXPECT_EQ(arc(a, c, 0, 1, 1, 0, 0, 0), 0);            // centre on the start joint
  EXPECT_EQ(arc(a, 0, 0, 3, 1, 0, 0, pi), 0);           // centre on the start joint
  EXPECT_EQ(arc(a, 0, 0, 3, 0, 0, 0, 2 * pi), 0);       // back to the start
  EXPECT_EQ(arc(a, c, 0, 4, 0, 0, 0, 1), 0);            // a kind no caller makes
  EXPECT_EQ(d.edges.count, 0);
  expect_fatal("Radius too small for distance.", [&] { arc(o, b, 0, 2, 0, 0, 0.9, 0); });
  // Within twice the tolerance of half the chord an arc is made, and measured.
  domain_clear(&d);
  o = pt(0, 0);
  uint16_t far = pt(2.0000001, 0);
  d.grid.tolerance = 1e-6;
  int32_t n = arc(o, far, 0, 2, 0, 0, 1, 0);
  ASSERT_EQ(n, 1);
  double end[2] = {2.0000001, 0};
  EXPECT_NEAR(edges_get_dist(&edge(n), &d.joints, end), pi, 1e-3);
  // The same arc again or back returns the first, signed.
  EXPECT_EQ(arc(o, far, 0, 2, 0, 0, 1, 0), 1);
  EXPECT_EQ(arc(far, o, 0, 2, 0, 0, -1, 0), -1);
  EXPECT_EQ(d.edges.count, 1);
}

TEST_F(Edges, TablesLinesAndLoops) {
  std::vector<uint16_t> j;
  for (int k = 0; k < 34; k++) j.push_back(pt(k, k * k % 7));
  for (int k = 0; k < 32; k++) line(j[k], j[k + 1]);
  EXPECT_EQ(d.edges.capacity, 32);
  EXPECT_EQ(line(j[33], j[32]), 33);
  EXPECT_EQ(d.edges.capacity, 64);
  EXPECT_EQ(line(j[5], j[4]), -5);     // walked backwards
  EXPECT_EQ(d.edges.count, 33);
  EXPECT_EQ(arc(j[4], j[5], 0, 2, 0, 0, 10, 0), 34);  // another shape is another edge
  EXPECT_EQ(d.grid.seed, 1);                          // the shortest bounded: (3,2)-(4,2)
  edges_joinings(&d.edges, &d.joints);
  EXPECT_EQ(d.joints.data[j[4] - 1].edges.count, 3);
  EXPECT_EQ(d.joints.data[j[4] - 1].edges.data[0], 4);
  EXPECT_EQ(d.joints.data[j[4] - 1].edges.data[2], 34);
  EXPECT_EQ(edges_if_edge(&d.joints.data[j[4] - 1], 34), 3);
  // 3D lines and extrusion edges match only their own kind, source and surface.
  edgetable base{};
  struct Lift {
    uint16_t a, b, source, surface;
    int32_t want;
  } lifts[] = {{j[0], j[1], 1, 1, 35}, {j[1], j[0], 1, 1, -35}, {j[0], j[1], 1, 2, 36}, {j[0], j[1], 2, 1, 37}};
  for (const Lift &l : lifts)
    EXPECT_EQ(edges_make_extrud_edge(&d.edges, &d.joints, l.a, l.b, &d.grid, &base, l.source, l.surface), l.want);
  EXPECT_EQ(edges_make_line3_edge(&d.edges, &d.joints, j[1], j[0], &d.grid), 38);
  EXPECT_EQ(edges_make_line3_edge(&d.edges, &d.joints, j[0], j[1], &d.grid), -38);
  EXPECT_DOUBLE_EQ(edge(38).length, std::sqrt(2.0));
  EXPECT_EQ(d.grid.seed, 1);  // lifted edges without a length leave the seed alone
  // Loops: +5 once, -5 too; a name found upper-cased.
  uint16_t l = edges_new_loop(&d.loops);
  for (int32_t e : {5, 5, -5}) edges_add_to_loop(&d.loops, l, e);
  EXPECT_EQ(d.loops.data[0].edges.count, 2);
  strings_copyto_1(&d.loops.data[0].name, "LEFT");
  String q{};
  strings_copyto_1(&q, "left");
  EXPECT_EQ(edges_find_loop_name(&d.loops, &q), 1);
  EXPECT_STREQ(q.text, "LEFT");
  strings_free_0(&q);
  // Edge numbers beyond 32767 keep their sign in 32 bits.
  domain_clear(&d);
  uint16_t a = pt(0, 0), b = pt(1, 0);
  const int32_t many = 40000;
  bopmemalloc(&d.edges.data, many, sizeof(Edge));
  XMEM += int64_t(many) * sizeof(Edge);
  d.edges.count = d.edges.capacity = many;
  for (int32_t k = 0; k < many; k++) d.edges.data[k].number = uint16_t(k + 1), d.edges.data[k].shape = SHAPE_LINE3;
  d.edges.data[many - 1] = Edge{};
  d.edges.data[many - 1].number = many, d.edges.data[many - 1].joint1 = b, d.edges.data[many - 1].joint2 = a;
  EXPECT_EQ(line(a, b), -many);
  edges_add_to_loop(&d.loops, edges_new_loop(&d.loops), -many);
  EXPECT_EQ(d.loops.data[0].edges.data[0], -many);
}

// A circle of radius r about the origin as four quarter arcs (counter-clockwise).
void quarters(Geometry &g, double r) {
  uint16_t j[4] = {g.pt(r, 0), g.pt(0, r), g.pt(-r, 0), g.pt(0, -r)};
  for (int k = 0; k < 4; k++) g.arc(j[k], j[(k + 1) % 4], 0, 1, 0, 0, 0, 0);
}

TEST_F(Edges, LengthsCurvatureAndMovesAlongCurves) {
  quarters(*this, 2);
  Edge &q = edge(1);
  double end[2] = {0, 2};
  EXPECT_NEAR(edges_get_dist(&q, &d.joints, end), pi, 1e-12);
  for (double s : {1e-4, 5e-4, 9.99e-4}) {  // chord / 2r below 0.001: the series
    double p[2] = {2 * std::cos(2 * std::asin(s)), 2 * std::sin(2 * std::asin(s))};
    EXPECT_NEAR(edges_get_dist(&q, &d.joints, p) / (4 * std::asin(s)), 1, 1e-13) << s;
  }
  double p[2];
  edges_move_dist(&q, &d.joints, 10, p);  // beyond the length: the end joint
  EXPECT_NEAR(p[0], 0, 1e-15);
  EXPECT_NEAR(p[1], 2, 1e-15);
  // The ellipse x = 2 cos t, y = sin t: curvature radius ry^2/rx and rx^2/ry at the axes.
  uint16_t a = pt(4, 0), b = pt(2, 1);
  int32_t n = arc(a, b, 0, 1, 2, 0, 0, 0);
  ASSERT_EQ(edge(n).shape, SHAPE_ERC);
  double x0[2] = {4, 0}, y0[2] = {2, 1};
  EXPECT_DOUBLE_EQ(edges_erc_rad(&edge(n), x0), 0.5);
  EXPECT_DOUBLE_EQ(edges_erc_rad(&edge(n), y0), 4);
  edges_move_dist(&edge(n), &d.joints, edge(n).length / 2, p);
  EXPECT_NEAR((p[0] - 2) * (p[0] - 2) / 4 + p[1] * p[1], 1, 1e-12);  // on the ellipse
  // erc_move inverts erc_length, across the flat ends of eccentric ellipses too (where
  // the rule's length is not monotone, any step of the wanted length will do).
  for (double ratio : {1.0, 0.5, 0.1, 0.01, 0.001})
    for (double t0 : {0.0, 0.4, 2.0, pi / 2})
      for (double step : {0.3, -0.7, 1.2, pi / 2, 0.05}) {
        double len = edges_erc_length(t0, step, 1, ratio), back = edges_erc_move(len, t0, 1, ratio);
        EXPECT_NEAR(edges_erc_length(t0, back, 1, ratio), len, 1e-9) << ratio << " " << t0 << " " << step;
        if (t0 == 0) {
          EXPECT_NEAR(back, step, 1e-9) << ratio << " " << step;
        }
      }
}

TEST_F(Edges, DistancesAndCrossings) {
  quarters(*this, 1);
  // Rays towards -x: one arc crossed from inside, two from outside, none above.
  for (auto [x, y, want] : {std::tuple{0.0, 0.5, 1}, {2.0, 0.5, 2}, {2.0, 1.5, 0}, {-2.0, 0.5, 0}}) {
    int sum = 0;
    double p[2] = {x, y};
    for (int e = 1; e <= 4; e++) sum += edges_cross_yline(&edge(e), &d.joints, p);
    EXPECT_EQ(sum, want) << x << "," << y;
  }
  // The segment y = 0.5 across the upper left quarter meets it at x = -sqrt(3)/2.
  pointdlist L{};
  double p0[2] = {-2, 0.5}, p1[2] = {0, 0.5};
  ASSERT_EQ(edges_cross_edge(&L, &edge(2), &d.joints, p0, p1, 1e-9), 1);
  EXPECT_NEAR(L.data[0].x, -std::sqrt(0.75), 1e-15);
  // Both crossings of a chord through a half circle, nearest to joint1 first.
  double q0[2] = {-2, 0.6}, q1[2] = {2, 0.6};
  uint16_t r = pt(1, 0), l = pt(-1, 0);
  int32_t half = arc(r, l, 0, 2, 0, 0, 1, 0);
  ASSERT_EQ(edges_cross_edge(&L, &edge(half), &d.joints, q0, q1, 1e-9), 2);
  EXPECT_NEAR(L.data[0].x, 0.8, 1e-15);
  EXPECT_NEAR(L.data[1].x, -0.8, 1e-15);
  // Two arcs crossing at (0, 1 - ...): circles of radius 1 about (+-0.5, 0).
  domain_clear(&d);
  uint16_t a1 = pt(1.5, 0), a2 = pt(-0.5, 0), b1 = pt(0.5, 0), b2 = pt(-1.5, 0);
  int32_t e1 = arc(a1, a2, 0, 1, 0.5, 0, 0, 0), e2 = arc(b1, b2, 0, 1, -0.5, 0, 0, 0);
  ASSERT_EQ(edges_cross_arc_arc(&L, &edge(e1), &edge(e2), &d.joints, 0.001), 1);
  EXPECT_NEAR(L.data[0].x, 0, 1e-4);
  EXPECT_NEAR(L.data[0].y, std::sqrt(0.75), 1e-4);
  EXPECT_NEAR(std::hypot(L.data[0].x - 0.5, L.data[0].y), 1, 1e-12);  // left on e1
  // A segment that meets a line edge only at its joint does not cross it.
  uint16_t s0 = pt(0, 2), s1 = pt(2, 2);
  int32_t ln = line(s0, s1);
  double t0[2] = {2, 2}, t1[2] = {3, 4}, near[2];
  EXPECT_EQ(edges_cross_edge(&L, &edge(ln), &d.joints, t0, t1, 1e-9), 0);
  // Distances: beside the middle, beyond an end, a tie goes to joint2, the arc centre.
  struct Dist {
    double x, y, dist, qx, qy;
  } lines[] = {{1, 2.5, 0.5, 1, 2}, {3, 2, 1, 2, 2}, {-1, 1.5, std::sqrt(1.25), 0, 2}};
  for (const Dist &c : lines) {
    double p[2] = {c.x, c.y};
    EXPECT_DOUBLE_EQ(edges_edge_distance(&edge(ln), &d.joints, p, near, 1e-9), c.dist) << c.x;
    EXPECT_DOUBLE_EQ(near[0], c.qx);
  }
  double centre[2] = {0.5, 0};
  EXPECT_DOUBLE_EQ(edges_edge_distance(&edge(e1), &d.joints, centre, near, 1e-9), 1);
  EXPECT_EQ(near[0], -0.5);  // equidistant: joint2
  double mid[2] = {1, 3}, below[2] = {1, 1.5};
  EXPECT_EQ(edges_cross_boundary(&d.edges, &d.joints, mid, below, near, 1e-9), true);
  EXPECT_DOUBLE_EQ(near[1], 2);
  EXPECT_EQ(edges_cross_boundary(&d.edges, &d.joints, mid, t1, near, 1e-9), false);
  pointd_free_1(&L);
  expect_fatal("BAD EDGE SHAPE", [&] {
    edge(ln).shape = SHAPE_EQN;
    edges_get_dist(&edge(ln), &d.joints, mid);
  });
}

TEST_F(Edges, SplitsHalveLinesAndKeepCircles) {
  uint16_t a = pt(0, 0), b = pt(4, 0), m = pt(2, 0);
  int32_t n = line(a, b);
  EXPECT_EQ(edges_split(&d.edges, n, &d.joints, m, &d.grid), 2);
  EXPECT_EQ(edge(2).joint2, m);
  EXPECT_EQ(edge(1).joint1, m);
  EXPECT_EQ(edge(1).length, 2);
  EXPECT_EQ(edge(2).length, 2);
  // An arc split on its circle keeps centre and radius; off it by more than the
  // circle test allows, the part becomes the ellipse through its joints.
  for (auto [x, y, shape] : {std::tuple{std::sqrt(0.5), std::sqrt(0.5), SHAPE_ARC}, {0.7071, 0.7071, SHAPE_ERC}}) {
    domain_clear(&d);
    uint16_t s = pt(1, 0), e = pt(0, 1), j = pt(x, y);
    int32_t q = arc(s, e, 0, 2, 0, 0, 1, 0);
    uint16_t part = edges_split(&d.edges, q, &d.joints, j, &d.grid);
    const arcrec &r1 = edge(part).shapedata.arc, &r2 = edge(q).shapedata.arc;
    EXPECT_EQ(edge(part).shape, shape);
    EXPECT_EQ(edge(q).shape, shape);
    EXPECT_EQ(r1.cx, 0);
    EXPECT_EQ(r2.cy, 0);
    EXPECT_NEAR(r2.rx, 1, shape == SHAPE_ARC ? 1e-15 : 1e-4);
    EXPECT_NEAR(edge(part).length + edge(q).length, pi / 2, shape == SHAPE_ARC ? 1e-12 : 1e-4);
    double end[2] = {x, y};
    EXPECT_NEAR(edges_get_dist(&edge(part), &d.joints, end), edge(part).length, 1e-9);
  }
}

}  // namespace
