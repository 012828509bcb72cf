// The driver's phases: the domain display ended by Edit or Run through the message
// pump, stop requests, a stalled front ending in the boundary-id question, and a golden
// digest of a whole mesh.
#include <cstring>
#include <functional>
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

// Coordinates (their bits), kinds, ids and node lists of a whole mesh, hashed.
uint64_t digest(Mesh &m) {
  uint64_t h = 1469598103934665603ull;
  auto mix = [&](const void *p, size_t n) {
    for (size_t i = 0; i < n; i++) h = (h ^ static_cast<const uint8_t *>(p)[i]) * 1099511628211ull;
  };
  for (int32_t n = 0; n < m.nodes.count; n++) {
    const MeshNode &N = m.nodes.data[n];
    mix(&N.x, 8), mix(&N.y, 8), mix(&N.kind, 4), mix(&N.id, 2);
  }
  for (int32_t c = 0; c < m.cells.count; c++) mix(m.cells.data[c].nodes.data, 4 * m.cells.data[c].nodes.count);
  return h;
}

TEST_F(Mesher, GoldenDigests) {
  p->curvegrid = 1, p->basis = tri6;
  region_of({circle(0, 0, 1, 4)});
  region_of({lines({{1.5, -1}, {3.5, -1}, {3.5, 1}, {1.5, 1}})});
  ASSERT_EQ(mesh(24), 6);
  EXPECT_TRUE(mesh_questions.empty());
  EXPECT_EQ(digest(m()), 0x838d1dcbeee7e623ull) << std::hex << digest(m());
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
