// A descriptor read by the boundary actions and meshed: an L-shape with a fillet at its
// re-entrant corner and a fixed point.
#include <cmath>
#include <numbers>

#include "elements/meshes.h"
#include "mesher/mesher2.h"
#include "mesher/refiner.h"
#include "tests/mesher/fixture.h"
#include "tests/reader/actions.h"

namespace {

using Described = MeshedDescriptor;

TEST_F(Described, FilletedLShapeWithAFixedPoint) {
  ASSERT_EQ(parse("SELECT NGRID = 16 VARIABLES u EQUATIONS div(grad(u)) + 1 = 0 BOUNDARIES "
                  "REGION 1 START(-1,-1) VALUE(u) = 0 LINE TO (0,-1) TO (0,0) FILLET(0.25) TO (1,0) TO (1,1) "
                  "TO (-1,1) TO FINISH FIXED POINT (-0.5, 0.5) END"),
            "ok");
  Mesh &m = p->mesh;
  p->phase = 5, p->basis = tri3;
  ASSERT_EQ(mesher2_freshmesh(p, 1, uint16_t(p->ngrid)), 6);
  EXPECT_TRUE(mesh_questions.empty());
  // The cells cover the L-shape less the corner the fillet cuts off: r^2 (1 - pi/4)
  // outside the arc, the arc itself followed by straight sides.
  double area = 0;
  for (int32_t c = 1; c <= m.cells.count; c++)
    if (m.cells.data[c - 1].alive) area += meshes_cell_area_1(&m, c);
  double cut = 0.25 * 0.25 * (1 - std::numbers::pi / 4);
  EXPECT_NEAR(area, 3 + cut, 0.01);
  EXPECT_GT(area, 3);
  // The boundary nodes lie about 2/16 apart; the fixed point is a live node, moved off
  // the grid lines by half a grid quantum.
  const vectorl &bottom = m.edgenodes.data[0];
  EXPECT_NEAR(bottom.count, 9, 1);
  bool fixed = false;
  for (int32_t n = 1; n <= m.nodes.count; n++) {
    const MeshNode &N = m.nodes.data[n - 1];
    if (N.alive && N.nodecell.count && std::hypot(N.x + 0.5, N.y - 0.5) < 1e-6) fixed = true;  // QUANTIZE moves it
  }
  EXPECT_TRUE(fixed);
}

}  // namespace

// Cells along the periodic sides of a strip refined again and again: every link across
// them stays negative and reciprocal, every node on them keeps its image.
TEST_F(Described, RefiningAlongAPeriodicStripKeepsTheSidesMatched) {
  ASSERT_EQ(parse("SELECT NGRID = 4 VARIABLES u EQUATIONS div(grad(u)) + 1 = 0 BOUNDARIES "
                  "REGION 1 START(0,0) VALUE(u) = 0 LINE TO (1,0) PERIODIC(x-1, y) LINE TO (1,1) "
                  "VALUE(u) = 0 LINE TO (0,1) LINE TO FINISH END"),
            "ok");
  Mesh &m = p->mesh;
  p->phase = 5, p->basis = tri3, p->dimension = 2;
  ASSERT_EQ(mesher2_freshmesh(p, 1, uint16_t(p->ngrid)), 6);
  vector2d_resize(&p->work, 0, 20);
  auto periodic_links = [&] {
    int links = 0;
    for (int32_t c = 1; c <= m.cells.count; c++) {
      const MeshCell &cell = m.cells.data[c - 1];
      for (int s = 0; cell.alive && s < 3; s++) {
        int32_t q = cell.neighbour[s];
        if (q >= 0) continue;
        links++;
        const MeshCell &o = m.cells.data[-q - 1];
        EXPECT_TRUE(o.alive && std::count(o.neighbour, o.neighbour + 3, -c) == 1) << c << " " << q;
      }
    }
    return links;
  };
  int before = periodic_links();
  ASSERT_GT(before, 0);
  for (int cycle = 1; cycle <= 4; cycle++) {
    SCOPED_TRACE(cycle);
    for (int32_t c = 1; c <= m.cells.count; c++) {
      MeshCell &cell = m.cells.data[c - 1];
      cell.error = cell.alive && (cell.centroid[0] < 0.2 || cell.centroid[0] > 0.8) ? 10.0 : 0.0;
    }
    EXPECT_GT(refiner_refine({p->dimension, p->errlim, &p->work, &p->sortindex}, &m, 1.0, 0.0, 1 << 30, nullptr, 0), 0);
    EXPECT_GT(periodic_links(), before);
    for (int32_t n = 1; n <= m.nodes.count; n++) {
      const MeshNode &N = m.nodes.data[n - 1];
      if (!N.alive || !N.nodecell.count) continue;
      if (std::fabs(N.x) < 1e-9 || std::fabs(N.x - 1) < 1e-9) {
        EXPECT_GT(N.image, 0) << n;
      }
    }
    meshes_check_mesh(&m, tri3, 1, 1);
    EXPECT_TRUE(mesh_questions.empty());
  }
}
