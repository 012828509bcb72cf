// The driver's phases: the domain display ended by Edit or Run through the message
// pump, stop requests, a stalled front ending in the boundary-id question, and the
// properties of a whole mesh against its exact geometry.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>

#include "control/control.h"
#include "mesher/gromesh2.h"
#include "runtime/except.h"
#include "tests/mesher/fixture.h"

namespace {

std::function<void(pde *)> on_dispatch;
pde *pumped = nullptr;
void dispatch(uint8_t) { on_dispatch(pumped); }
uint8_t can_wait() { return 1; }

struct Driver : Mesher {
  void SetUp() override {
    Mesher::SetUp();
    pumped = p;
    control_services.dispatch = dispatch;
    control_services.can_wait = can_wait;
    region_of({lines({{-1, -1}, {0, -1}, {0, 0}, {1, 0}, {1, 1}, {-1, 1}})});
  }
  void TearDown() override {
    control_default_services();
    gromesh2_user_feature = dominpde_user_feature;
    Mesher::TearDown();
  }
};

TEST_F(Driver, DomainDisplayEndsWithEditOrRun) {
  for (uint8_t run : {0, 1}) {
    SCOPED_TRACE(int(run));
    int passes = 0;
    on_dispatch = [&](pde *q) {
      if (++passes == 3) q->domainonly = 0, q->goon = run;
    };
    p->domainonly = 1;
    EXPECT_EQ(mesh(10), run ? 6 : 4);
    EXPECT_EQ(passes, 3);
    EXPECT_EQ(live_cells() > 0, run == 1);
    EXPECT_EQ(p->status.last, 0);  // every status line removed
  }
}

// A stop found after domain preparation or after the front returns the current phase.
TEST_F(Driver, StopsReturnTheCurrentPhase) {
  p->stop = 1;
  EXPECT_EQ(mesh(10), 5);
  EXPECT_EQ(live_cells(), 0);
  p->stop = 0;
  gromesh2_user_feature = [](pde *q, const double *, uint16_t, uint16_t) {
    if (q->mesh.cells.count > 20) q->stop = 1;
    return 1e300;
  };
  EXPECT_EQ(mesh(10), 5);
  EXPECT_GT(live_cells(), 20);
  EXPECT_EQ(p->status.last, 0);
}

// Spacing collapsing to 1e-9 once the front has started: every later leg is refused, the
// region is abandoned, and the final check asks about the open sides.
TEST_F(Driver, StalledFrontEndsInTheBoundaryIdQuestion) {
  gromesh2_user_feature = [](pde *q, const double *, uint16_t, uint16_t) {
    return q->mesh.cells.count > 0 ? 1e-9 : 1e300;
  };
  EXPECT_EQ(mesh(10), 6);
  ASSERT_FALSE(mesh_questions.empty());
  EXPECT_EQ(mesh_questions[0].rfind("Inconsistent BDID at (", 0), 0u) << mesh_questions[0];
}

// Spacing falling to 1e-5 once the front has started (still above the domain's
// tolerance): the front narrows toward it by halves and, past the problem's node limit,
// stops with a located message rather than running on.
TEST_F(Driver, ShrinkingSpacingStopsAtTheNodeLimit) {
  gromesh2_user_feature = [](pde *q, const double *, uint16_t, uint16_t) {
    return q->mesh.cells.count > 0 ? 1e-5 : 1e300;
  };
  p->nodelimit = 600;
  EXPECT_EQ(except_catch("shrinking", [this] { mesh(10); }), EXCEPT_FATAL);
  EXPECT_EQ(std::string(fatal_message.text).rfind("Mesh generation stalled in region 1 near (", 0), 0u);
  EXPECT_LE(m().nodes.count, 600);
}

// A disk of radius 1 (four quarter arcs) beside a 2 x 2 square, meshed in curved quadratic
// cells: the mesh's properties against the exact geometry rather than this build's bits.
// Each cell's area is the integral of its map's Jacobian (the side midpoints' rule, exact for
// the quadratic Jacobian of a six-node triangle); the cells must cover 4 and pi less what each
// arc side's parabola leaves of its circular segment (an arc of angle a with its middle node at
// the mid-angle: (a - sin a)/2 - 4/3 sin(a/2) (1 - cos(a/2))), every Jacobian must be positive,
// every node on a side or an arc must lie on it, and the sides must match: an inner side in two
// cells sharing its middle node, a boundary side in one, V - E + F = 2 over the two simply
// connected regions.
TEST_F(Mesher, GoldenDigests) {
  p->curvegrid = 1, p->basis = tri6;
  region_of({circle(0, 0, 1, 4)});
  region_of({lines({{1.5, -1}, {3.5, -1}, {3.5, 1}, {1.5, 1}})});
  ASSERT_EQ(mesh(24), 6);
  EXPECT_TRUE(mesh_questions.empty());
  Mesh &g = m();
  auto at = [&](const MeshCell &c, int k) -> const MeshNode & { return g.nodes.data[c.nodes.data[k] - 1]; };
  double disk = 0, square = 0;
  int bad = 0, cells = 0;
  // side (vertex pair) -> (cells using it, its middle node)
  std::map<std::pair<int32_t, int32_t>, std::pair<int, int32_t>> sides;
  std::set<int32_t> vertices;
  for (int32_t k = 0; k < g.cells.count; k++) {
    const MeshCell &c = g.cells.data[k];
    if (!c.alive) continue;
    ASSERT_EQ(c.nodes.count, 6);
    cells++;
    double area = 0, cx = 0;
    // d/dxi and d/deta of the six functions at (xi, eta), L1 = 1 - xi - eta.
    for (const auto &q : {std::pair<double, double>{0.5, 0}, {0.5, 0.5}, {0, 0.5}}) {
      double xi = q.first, eta = q.second, l1 = 1 - xi - eta;
      const double dxi[6] = {1 - 4 * l1, 4 * xi - 1, 0, 4 * eta, -4 * eta, 4 * (l1 - xi)};
      const double deta[6] = {1 - 4 * l1, 0, 4 * eta - 1, 4 * xi, 4 * (l1 - eta), -4 * xi};
      double a = 0, b = 0, c2 = 0, d = 0;
      for (int n = 0; n < 6; n++) {
        a += dxi[n] * at(c, n).x, b += deta[n] * at(c, n).x;
        c2 += dxi[n] * at(c, n).y, d += deta[n] * at(c, n).y;
      }
      double det = a * d - b * c2;
      bad += !(det > 0);
      area += det / 6;
    }
    for (int n = 0; n < 3; n++) cx += at(c, n).x / 3;
    (cx < 1.25 ? disk : square) += area;
    for (int s = 0; s < 3; s++) {
      int32_t u = c.nodes.data[(s + 1) % 3], v = c.nodes.data[(s + 2) % 3];
      vertices.insert(u);
      auto &e = sides[{std::min(u, v), std::max(u, v)}];
      if (e.first++ == 0) e.second = c.nodes.data[3 + s];
      else EXPECT_EQ(e.second, c.nodes.data[3 + s]) << "side " << u << "-" << v << " has two middle nodes";
    }
  }
  EXPECT_EQ(bad, 0) << "Jacobians not positive";
  EXPECT_NEAR(square, 4.0, 1e-12);
  int boundary = 0, arcs = 0;
  double left = 0;  // what the arc sides' parabolas leave of the disk
  for (const auto &e : sides) {
    ASSERT_LE(e.second.first, 2);
    if (e.second.first > 1) continue;
    boundary++;
    // Both ends and the middle of a boundary side lie on the circle or on the square's sides.
    for (int32_t n : {e.first.first, e.first.second, e.second.second}) {
      const MeshNode &N = g.nodes.data[n - 1];
      double off = N.x < 1.25 ? std::fabs(std::hypot(N.x, N.y) - 1)
                              : std::min({std::fabs(N.x - 1.5), std::fabs(N.x - 3.5), std::fabs(std::fabs(N.y) - 1)});
      EXPECT_LT(off, 1e-12) << N.x << " " << N.y;
    }
    const MeshNode &A = g.nodes.data[e.first.first - 1], &B = g.nodes.data[e.first.second - 1],
                   &C = g.nodes.data[e.second.second - 1];
    if (A.x > 1.25) continue;
    arcs++;
    double a = std::atan2(A.x * B.y - A.y * B.x, A.x * B.x + A.y * B.y);
    double am = std::atan2(A.x * C.y - A.y * C.x, A.x * C.x + A.y * C.y);
    EXPECT_NEAR(am, a / 2, 1e-9) << "the middle of the arc side from " << A.x << "," << A.y;
    a = std::fabs(a);
    left += (a - std::sin(a)) / 2 - 4.0 / 3 * std::sin(a / 2) * (1 - std::cos(a / 2));
  }
  EXPECT_GT(arcs, 8);
  EXPECT_NEAR(disk, M_PI - left, 1e-12) << arcs << " arc sides leave " << left;
  EXPECT_GT(boundary, arcs);
  EXPECT_EQ(int(vertices.size()) - int(sides.size()) + cells, 2);
}

}  // namespace

namespace {

// GRID debugging writes the layout, the regions and the mesh at each stage to the log.
TEST_F(Mesher, GridDebugLog) {
  region_of({lines({{0, 0}, {1, 0}, {1, 1}, {0, 1}})});
  mesher2_debug = 1;
  DebugCapture debug;
  ASSERT_EQ(mesh(10), 6);
  std::string log = debug.text();
  for (const char *line : {"BOUNDARY SEGMENT 1, 11 nodes\n", "GROWFRONT\n", "\n BEGIN REGION 1\n", "RELAXED", "INITIAL",
                           "FINAL"})
    EXPECT_NE(log.find(line), std::string::npos) << line;
  EXPECT_EQ(log.find("ABANDONED"), std::string::npos);
}

}  // namespace
