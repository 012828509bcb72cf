// The symbolic tests' problem with a domain of its own, which the preparation and
// spacing tests build by hand.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "runtime/bounding.h"
#include "domain/domain.h"
#include "domain/dominpde.h"
#include "domain/edges.h"
#include "domain/joints.h"
#include "domain/regions.h"
#include "model/bcs.h"
#include "runtime/bopmem.h"
#include "runtime/math.h"
#include "tests/model/symfix.h"

struct Problem : Symbolic {
  Domain *dp = nullptr;
  void SetUp() override {
    Symbolic::SetUp();
    bounding_init();
    math_init();
    // A new domain as a new problem has it: an empty box, no tolerance yet; the mesh
    // frees it with the record.
    bopmemalloc(&p->mesh.domain, 1, sizeof(Domain));
    XMEM += sizeof(Domain);
    domain_clear(p->mesh.domain);
    p->mesh.ownsdomain = 1;
    dp = p->mesh.domain;
    dp->grofac = 0.25;
  }
  Domain &d() { return *dp; }
  uint16_t pt(double x, double y) { return joints_make_joint_1(&dp->joints, x, y, &dp->grid); }
  int32_t line(uint16_t a, uint16_t b) { return edges_make_line_edge(&dp->edges, &dp->joints, a, b, &dp->grid); }
  // An arc from a to b about (x, y), counter-clockwise the shorter way.
  int32_t arc(uint16_t a, uint16_t b, double x, double y) {
    return edges_make_arc_edge(&dp->edges, &dp->joints, a, b, 0, ARC_TWO_POINT_CENTER, x, y, 0, 0, &dp->grid);
  }
  Edge &edge(int32_t n) { return dp->edges.data[(n < 0 ? -n : n) - 1]; }
  Joint &joint(uint16_t j) { return dp->joints.data[j - 1]; }
  // A region of the type whose one loop walks the signed edges, or the closed polygon.
  uint16_t region(std::initializer_list<int32_t> edges, int32_t type = 0) {
    uint16_t r = regions_new_region(&dp->regions, type, 0, 0), l = edges_new_loop(&dp->loops);
    for (int32_t e : edges) edges_add_to_loop(&dp->loops, l, e);
    vectorn_one_more(&dp->regions.data[r - 1].loops, l);
    return r;
  }
  uint16_t polygon(std::initializer_list<std::pair<double, double>> pts, int32_t type = 0) {
    std::vector<uint16_t> j;
    for (auto [x, y] : pts) j.push_back(pt(x, y));
    uint16_t r = region({}, type), l = dp->loops.count;
    for (size_t k = 0; k < j.size(); k++) edges_add_to_loop(&dp->loops, l, line(j[k], j[(k + 1) % j.size()]));
    return r;
  }
  // A condition of the type on variable 1 and the tag that holds just it.
  std::pair<uint16_t, uint16_t> condition(int32_t type) {
    bcset &s = p->formulas.bcs;
    uint16_t n = bcs_new_bc(&s);
    bcs_define_bc(&s, n, trees_new_real_0(0), type, 1);
    vectorn list{};
    vectorn_one_more(&list, n);
    uint16_t tag = bcs_make_bctag(&s, &list);
    vectorn_free(&list);
    return {n, tag};
  }
  // Snaps the joints and bounds the regions, as the reader leaves a domain.
  void finish() {
    joints_quantize(&dp->joints, &dp->grid);
    edges_fit_arcs(&dp->edges, &dp->joints);
    for (uint16_t k = 0; k < dp->edges.count; k++) edges_bound_edge(&dp->edges.data[k], &dp->joints, &dp->grid);
    edges_joinings(&dp->edges, &dp->joints);
    domain_bound_regions(dp);
  }
};
