// Region lookup and edge tagging, boundary conditions on joints and edges, and the
// preparation of a domain: splitting, merging, periodic images and materials.
#include <span>

#include "domain/periodic.h"
#include "model/bcs.h"
#include "model/params.h"
#include "tests/domain/problem.h"

namespace {

using Prepare = Problem;

TEST_F(Prepare, LookupTakesTheHighestIncludeRegionAndHonoursExcludes) {
  polygon({{0, 0}, {1, 0}, {1, 1}, {0, 1}});
  uint16_t inner = polygon({{0.25, 0.25}, {0.75, 0.25}, {0.75, 0.75}, {0.25, 0.75}});
  polygon({{3, 0}, {5, 0}, {5, 1}, {4, 1}, {4, 2}, {3, 2}});  // an L: its notch is (4..5, 1..2)
  finish();
  struct { double x, y; uint16_t region; } cases[] = {
      {0.5, 0.5, 2}, {0.1, 0.1, 1}, {1.5, 0.5, 0}, {3.5, 1.5, 3}, {4.5, 0.5, 3}, {4.5, 1.5, 0}};
  for (auto c : cases) {
    double q[2] = {c.x, c.y};
    EXPECT_EQ(domain_find_region(dp, q), c.region) << c.x << "," << c.y;
  }
  double on_box[2] = {d().regions.data[0].box.x1, 0.5};
  EXPECT_FALSE(test_region(dp, on_box, 1));
  d().regions.data[inner - 1].type = 1;  // the inner square excluded
  vectorn_one_more(&d().excluded, inner);
  double mid[2] = {0.5, 0.5}, edge_near[2] = {0.1, 0.1};
  EXPECT_EQ(domain_find_region(dp, mid), 0);
  EXPECT_EQ(domain_find_region(dp, edge_near), 1);
}

TEST_F(Prepare, TaggingFindsTheRegionsOnBothSides) {
  polygon({{0, 0}, {1, 0}, {1, 1}, {0, 1}});
  int32_t inside = line(pt(0.2, 0.5), pt(0.8, 0.5));
  finish();
  domain_tag_edges(dp);
  for (int k = 1; k <= 4; k++) {
    const Edge &e = edge(k);
    EXPECT_EQ(e.side_regions[0], 1) << k;
    EXPECT_EQ(e.side_regions[1], 0) << k;
    EXPECT_EQ(e.feature + e.external, 0) << k;
  }
  EXPECT_EQ(edge(inside).side_regions[0], 1);
  EXPECT_EQ(edge(inside).side_regions[1], 1);
  EXPECT_EQ(edge(inside).feature, 1);
}

// Joint b between edge 1 (a-b) and edge 2 (b-c); u has a value and a natural condition.
TEST_F(Prepare, JointsKeepValueConditionsAndShareEqualTags) {
  p->nvars = 2;
  auto [value, vtag] = condition(valuebc);
  auto [natural, ntag] = condition(naturalbc);
  uint16_t a = pt(0, 0), b = pt(1, 0), c = pt(2, 0), lone = pt(5, 5);
  int32_t e1 = line(a, b), e2 = line(b, c);
  finish();
  for (auto [t1, t2] : {std::pair{vtag, ntag}, std::pair{ntag, vtag}}) {
    for (Joint &j : std::span(d().joints.data, d().joints.count)) j.bctag = 0;
    edge(e1).bctag = t1, edge(e2).bctag = t2;
    dominpde_joint_bcs(p);
    EXPECT_EQ(bcs_find_joint_bc(dp, b, 1, &p->formulas), value);
    EXPECT_EQ(bcs_find_joint_bc(dp, b, 2, &p->formulas) + bcs_find_joint_bc(dp, lone, 1, &p->formulas), 0);
    EXPECT_EQ(joint(lone).bctag, 0);
  }
  EXPECT_EQ(joint(b).bctag, joint(c).bctag);  // both collect {value, 0}
  for (uint16_t e : {1, 2})
    for (uint16_t v : {1, 2})
      EXPECT_EQ(bcs_find_surf_bc(dp, e, v, &p->formulas), bcs_find_edge_bc(dp, e, v, &p->formulas));
  EXPECT_EQ(error_of([&] { bcs_find_joint_bc(dp, 9, 1, &p->formulas); }), "INVALID JOINT ENTRY");
  EXPECT_EQ(error_of([&] { bcs_find_edge_bc(dp, 3, 1, &p->formulas); }), "INVALID EDGE ENTRY");
}

TEST_F(Prepare, SplittingCutsCrossingsAndInteriorJointsOnly) {
  int32_t d1 = line(pt(0, 0), pt(2, 2));
  line(pt(0, 2), pt(2, 0));
  int32_t base = line(pt(0, -1), pt(4, -1));
  // A joint within the tolerance of an edge lies on it and cuts it; one 0.005 from it
  // keeps its gap (the scale falls below a thousandth of that).
  uint16_t near_mid = pt(2, -1 + 0.5 * d().grid.tolerance), near_end = pt(0.004, -0.995);
  uint16_t l = edges_new_loop(&d().loops);
  edges_add_to_loop(&d().loops, l, -d1);
  finish();
  d().grid.scale = 0.01;
  dominpde_split_edges(dp);
  EXPECT_LE(d().grid.scale, 0.001 * 0.005);
  edges_joinings(&d().edges, &d().joints);
  EXPECT_EQ(d().edges.count, 6);
  uint16_t centre = joints_make_joint_1(&d().joints, 1, 1, &d().grid);
  EXPECT_EQ(joint(centre).edges.count, 4);
  EXPECT_EQ(joint(near_mid).edges.count, 2);
  EXPECT_EQ(joint(near_end).edges.count, 0);
  EXPECT_EQ(edge(base).joint1, near_mid);
  // The reversed loop entry walks -d1 and then its first part.
  const vectorl &v = d().loops.data[l - 1].edges;
  ASSERT_EQ(v.count, 2);
  EXPECT_EQ(v.data[0], -d1);
  EXPECT_EQ(edge(v.data[0]).joint1, centre);
  EXPECT_EQ(edge(v.data[1]).joint2, centre);
}

// Short lines in a large domain: the tolerance (1e-4) exceeds the crossing routines'
// end exclusion, so a crossing can fall on a line's own end joint: the line through
// (0.00995, 0.00995) meets the diagonal at its end (0.01, 0.01).
TEST_F(Prepare, NearlyConcurrentLinesFinish) {
  pt(1000, 1000);
  for (double x : {0.0, 1.0}) {
    double e = 2e-5;
    line(pt(x, 0), pt(x + 0.01, 0.01));
    line(pt(x, 0.01), pt(x + 0.01, e));
    line(pt(x + 0.005 - e, 0), pt(x + 0.005 + e, 0.01));
  }
  line(pt(0.00995, 0), pt(0.00995, 0.02));
  finish();
  EXPECT_EQ(error_of([&] { dominpde_split_edges(dp); }), "");
  edges_joinings(&d().edges, &d().joints);
  EXPECT_EQ(joint(pt(0.01, 0.01)).edges.count, 3);
  for (const Edge &x : std::span(d().edges.data, d().edges.count)) EXPECT_GT(x.length, 0);
}

TEST_F(Prepare, MergingKeepsOneEdgeForAnArcDrawnTwice) {
  uint16_t a = pt(1, 0), b = pt(0, 1), o = pt(0, 0), far = pt(2, 2);
  int32_t quarter = arc(a, b, 0, 0);
  region({line(o, a), quarter, line(b, o)});
  uint16_t copy = edges_copy_edge(&d().edges, &edge(quarter));
  Edge &c = edge(copy);
  std::swap(c.joint1, c.joint2);
  c.shapedata.arc.start += c.shapedata.arc.sweep, c.shapedata.arc.sweep = -c.shapedata.arc.sweep;
  region({line(a, far), line(far, b), int32_t(copy)});
  finish();
  uint16_t before = d().edges.count;
  dominpde_merge_edges(dp);
  EXPECT_EQ(d().edges.count, before - 1);
  const vectorl &second = d().loops.data[1].edges;
  EXPECT_EQ(second.data[2], -quarter);
  for (uint16_t k = 1; k <= d().edges.count; k++) EXPECT_EQ(edge(k).number, k);
}

TEST_F(Prepare, MergingConflictingValuesStopsAtTheVictimsEnd) {
  p->nvars = 1;
  uint16_t tags[2] = {condition(valuebc).second, condition(valuebc).second};
  uint16_t a = pt(0, 0), b = pt(1, 0);
  int32_t first = line(a, b);
  uint16_t second = edges_new_edge(&d().edges, b, a);  // the same line drawn back
  edges_make_line_params(&edge(second), &d().joints);
  edge(first).bctag = tags[0], edge(second).bctag = tags[1];
  edge(second).place = TextLoc{0, 17, 12};
  finish();
  DebugCapture debug;
  EXPECT_EQ(error_of([&] { dominpde_merge_edges(dp); }), "Multiple BC's Declared");
  EXPECT_NE(debug.text().find("BC Conflict Edges (1,2) bctag 1::2  Locator=(0,12,17)"), std::string::npos);
}

TEST_F(Prepare, PeriodicSidesPairWhenTheMapFits) {
  uint16_t c[4] = {pt(0, 0), pt(1, 0), pt(1, 1), pt(0, 1)};
  int32_t e[4];
  for (int k = 0; k < 4; k++) e[k] = line(c[k], c[(k + 1) % 4]);
  uint16_t other = pt(2, 0), shape_mismatch = pt(2, 1);
  arc(other, shape_mismatch, 1.5, 0.5);
  finish();
  for (double shift : {1.0, 3.0}) {
    periodic_free(&d().periodics);
    periodic_one_more(&d().periodics);
    periodic &P = d().periodics.data[0];
    P.mapping = trees_new_real_0(0);
    geom3d_identity(&P.forward), P.forward.t[3] = shift;
    vectorn_one_more(&P.sources, uint16_t(e[3]));
    edge(e[3]).periodic = 1;
    std::string err = error_of([&] { dominpde_periodic_edges(dp); });
    if (shift == 1.0) {
      EXPECT_EQ(err, "");
      EXPECT_EQ(edge(e[3]).image, e[1]);
      EXPECT_EQ(P.images.data[0], e[1]);
      EXPECT_EQ(joint(c[3]).image, c[2]);
      EXPECT_EQ(joint(c[0]).image, c[1]);
    } else {
      EXPECT_EQ(err, "Periodic Boundaries Don't Match");  // (0,1) and (0,0) map to no joint
    }
  }
  edge(e[3]).image = 0;
  periodic &P = d().periodics.data[0];
  geom3d_identity(&P.forward), P.forward.t[3] = 1;
  P.sources.data[0] = uint16_t(e[1]);  // (1,0)-(1,1) maps onto the arc's joints
  joint(c[1]).periodic = joint(c[2]).periodic = 0;
  EXPECT_EQ(error_of([&] { dominpde_periodic_edges(dp); }), "");
  EXPECT_EQ(edge(e[1]).image, 0);
}

TEST_F(Prepare, MaterialsGroupEqualDefinitions) {
  for (int k = 0; k < 3; k++) polygon({{3.0 * k, 0}, {3.0 * k + 1, 0}, {3.0 * k + 1, 1}});
  polygon({{0, 5}, {1, 5}, {1, 6}}, 2);
  paramset &s = p->formulas.definitions;
  String name{};
  strings_copyto_1(&name, "K");
  uint16_t k = params_new_param(&s, &name);
  strings_copyto_1(&name, "SUBSTITUTED");
  uint16_t gone = params_new_param(&s, &name);
  strings_free_0(&name);
  params_define_param(&s, k, 0, 0, trees_new_real_0(1));
  params_define_param(&s, k, 3, 0, trees_new_real_0(2));
  params_define_param(&s, gone, 2, 0, trees_new_real_0(7));
  s.items[gone - 1]->used = 1;
  dominpde_sort_materials(dp, &s);
  EXPECT_EQ(d().materials, 2);
  uint16_t want[4] = {1, 1, 2, 0};
  for (uint16_t r = 1; r <= 4; r++) {
    EXPECT_EQ(d().regions.data[r - 1].material, want[r - 1]) << r;
    EXPECT_EQ(d().regmaterials.data[r - 1], want[r - 1]) << r;
  }
}

}  // namespace
