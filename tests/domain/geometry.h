// A domain of the geometry tests, cleared (and its XMEM checked) after each test, with
// helpers that make joints and edges as the boundary reader does.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "runtime/bounding.h"
#include "domain/domain.h"
#include "domain/edges.h"
#include "domain/joints.h"
#include "runtime/bopmem.h"
#include "runtime/math.h"
#include "tests/runtime/fatal_stop.h"

struct Geometry : ::testing::Test {
  int64_t xmem0 = XMEM;
  Domain d{};
  void SetUp() override {
    bounding_init();
    math_init();
    domain_clear(&d);
  }
  void TearDown() override {
    domain_clear(&d);
    EXPECT_EQ(XMEM, xmem0);
  }
  uint16_t pt(double x, double y) { return joints_make_joint_1(&d.joints, x, y, &d.grid); }
  int32_t line(uint16_t a, uint16_t b) { return edges_make_line_edge(&d.edges, &d.joints, a, b, &d.grid); }
  int32_t arc(uint16_t a, uint16_t b, uint16_t c, int kind, double x, double y, double r, double angle) {
    return edges_make_arc_edge(&d.edges, &d.joints, a, b, c, kind, x, y, r, angle, &d.grid);
  }
  Edge &edge(int32_t n) { return d.edges.data[(n < 0 ? -n : n) - 1]; }
  const double *at(uint16_t j) { return &d.joints.data[j - 1].x; }
};

