// The domain's grid: rounding onto, inside and off the grid lines, quantum, tolerance and
// box growth; joints merged within the tolerance and snapped by the closest-pair scale.
#include <cmath>

#include "domain/regions.h"
#include "tests/domain/geometry.h"

namespace {

struct Grid : Geometry {};

TEST_F(Grid, RoundingOntoInsideAndOffTheLines) {
  const double q = 0.125;
  struct Case {
    double (*f)(double, double);
    double v, want;
  } cases[] = {
      {ong, 2.5 * q, 3 * q},  {ong, -2.5 * q, -3 * q}, {ing, 2.9 * q, 2 * q},       {ing, -2.9 * q, -2 * q},
      {offg, 0.2 * q, 0.5 * q}, {offg, -0.2 * q, -0.5 * q}, {ong, (1e12 + 0.3) * q, 1e12 * q},
      {offg, (1e12 + 0.3) * q, (1e12 + 0.5) * q},  // a far point: the reductions counted at once
      {ong, 4294967280.0 * q, 4294967280.0 * q},   // exactly one reduction's worth
  };
  for (const Case &c : cases) EXPECT_EQ(c.f(c.v, q), c.want) << c.v / q;
  EXPECT_EQ(ong(0.37, 0), 0.37);  // nothing snapped yet
  EXPECT_EQ(offg(-0.37, 0), -0.37);
}

TEST_F(Grid, QuantumToleranceAndDecimalRounding) {
  EXPECT_DOUBLE_EQ(bounding_qround(0.123456789, 1e-6), 0.123457);
  EXPECT_EQ(bounding_qround(0.123456789, 0), 0.123456789);
  EXPECT_DOUBLE_EQ(bounding_qround(-98765.4321, 1e-6), -98765.432);  // 8 digits over t
  for (auto [size, quantum] : {std::pair{1.0, std::ldexp(1, -29)}, {0.75, std::ldexp(1, -30)}}) {
    d.grid.size = size;
    bounding_get_quantum(&d.grid);
    EXPECT_EQ(d.grid.quantum, quantum);
  }
  // A new domain's first point: a box without extent, no tolerance yet.
  domain_clear(&d);
  pt(1, 2);
  EXPECT_EQ(d.grid.box.x1, 1);
  EXPECT_EQ(d.grid.box.y2, 2);
  EXPECT_EQ(d.grid.size, 0);
  EXPECT_EQ(d.grid.tolerance, 0);
  EXPECT_EQ(d.grid.coarse, 0.001);
  for (auto [side, tol] : {std::pair{1.0, 1e-6}, {100.0, 1e-5}}) {
    domain_clear(&d);
    pt(0, 0), pt(side, 0), pt(side, side), pt(0, side);
    EXPECT_NEAR(d.grid.tolerance, tol, tol * 1e-9) << side;
  }
  // The three-dimensional update moves the origin to the centre.
  bounding_check_bounds_2(&d.grid, -100, -20, 50);
  EXPECT_EQ(d.grid.ox, 0);
  EXPECT_EQ(d.grid.oy, 40);
  EXPECT_DOUBLE_EQ(d.grid.oz, 50);  // z had no extent before
  EXPECT_EQ(d.grid.coarse, 1e-6);
}

TEST_F(Grid, JointsMergeWithinTheToleranceAndSnapByTheClosestPair) {
  pt(0, 0), pt(1, 0);
  double tau = d.grid.tolerance;
  ASSERT_GT(tau, 0);
  EXPECT_EQ(pt(0.5 * tau, 0), 1);
  EXPECT_EQ(pt(1.0 * tau, 0), 3);
  // Equal points are one joint even before the box has any extent.
  domain_clear(&d);
  EXPECT_EQ(pt(0, 0), 1);
  EXPECT_EQ(pt(0, 0), 1);
  EXPECT_EQ(d.joints.count, 1);
  joints_quantize(&d.joints, &d.grid);
  EXPECT_EQ(d.grid.scale, 1e147);  // one joint: no pair
  // The scale is the power of ten at or below a thousandth of the closest pair's distance.
  for (auto [gap, scale] : {std::pair{0.3, 1e-4}, {30.0, 0.01}, {5000.0, 1.0}}) {
    domain_clear(&d);
    pt(0.1, 0.7), pt(0.1 + gap, 0.7), pt(0.1 + gap, 0.7), pt(0.1, 0.7 + 3 * gap);
    joints_quantize(&d.joints, &d.grid);
    EXPECT_DOUBLE_EQ(d.grid.scale, scale) << gap;
    for (int k = 0; k < d.joints.count; k++) {
      const Joint &j = d.joints.data[k];
      double cells = (j.x - d.grid.ox) / d.grid.quantum;
      EXPECT_EQ(cells, std::round(cells));  // on a grid line
      EXPECT_NEAR(j.x, k == 0 || k == 2 ? 0.1 : 0.1 + gap, d.grid.quantum);
    }
  }
}

TEST_F(Grid, TablesStopBeforeTheirNumbersWrap) {
  // A joint table just short of the last growth step.
  const uint16_t start = 65504;
  bopmemalloc(&d.joints.data, start, sizeof(Joint));
  XMEM += int64_t(start) * sizeof(Joint);
  d.joints.count = d.joints.capacity = start;
  for (int k = start; k < 65535; k++) joints_new_joint_0(&d.joints, k, 0);
  EXPECT_EQ(d.joints.count, 65535);
  EXPECT_EQ(d.joints.capacity, 65535);
  EXPECT_EQ(d.joints.data[65534].number, 65535);
  expect_fatal("TABLE FULL IN NEW_JOINT", [&] { joints_new_joint_0(&d.joints, 0, 0); });
  EXPECT_EQ(d.joints.count, 65535);
}

TEST_F(Grid, SheetAndLayerNamesMatchUpperCased) {
  String top{}, name{};
  strings_copyto_1(&top, "TOP");
  strings_one_more(&d.layernames, &name);  // an unnamed layer is never found
  strings_one_more(&d.layernames, &top);
  strings_copyto_1(&name, "top");
  EXPECT_EQ(domain_find_layer_name(&d, &name), 2);
  EXPECT_STREQ(name.text, "TOP");
  EXPECT_EQ(domain_find_sheet_name(&d, &name), 0);
  EXPECT_EQ(domain_layer_count(&d), 2);
  // A layer name kept as written (the list form of EXTRUSION) is found in any case.
  String low{};
  strings_copyto_1(&low, "low");
  strings_one_more(&d.layernames, &low);
  strings_copyto_1(&name, "Low");
  EXPECT_EQ(domain_find_layer_name(&d, &name), 3);
  strings_free_0(&low);
  // Region names ignore case.
  regions_new_region(&d.regions, 0, 0, 0);
  strings_copyto_1(&d.regions.data[0].name, "Core");
  strings_copyto_1(&name, "core");
  EXPECT_EQ(regions_find_region_name(&d.regions, &name), 1);
  strings_free_0(&top), strings_free_0(&name);
}

}  // namespace
