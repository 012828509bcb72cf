// The boundary, coordinate, time, end and extrusion actions on descriptor texts.
#include <cmath>
#include <cstring>

#include "domain/domain.h"
#include "model/bcs.h"
#include "model/params.h"
#include "model/treeval.h"
#include "reader/rdomain.h"
#include "elements/evalpoint.h"
#include "tests/reader/actions.h"

namespace {

using Case = std::pair<const char *, const char *>;

const char *kOne = "VARIABLES u EQUATIONS div(grad(u)) = 0 ";
const char *kTwo = "VARIABLES u v EQUATIONS u: div(grad(u)) = 0 v: div(grad(v)) = 0 ";
const char *kSquare = "REGION 1 START(0,0) LINE TO (4,0) TO (4,4) TO (0,4) TO FINISH ";

// The actions with the real end of a descriptor.
struct Bounds : Actions {
  Domain *d = nullptr;
  void SetUp() override {
    Actions::SetUp();
    std::copy(saved, saved + ACPDE_CODES + 1, acpde_handlers);
    d = p->mesh.domain;
  }
  std::string run(const std::string &bounds, const char *head = kOne) {
    return parse(std::string(head) + "BOUNDARIES " + bounds + " END");
  }
  const Edge &edge(int n) { return d->edges.data[n - 1]; }
  const Joint &joint(int n) { return d->joints.data[n - 1]; }
  // The condition type the tag gives variable v (from 1), nobc when none.
  int32_t type_of(uint16_t tag, int v) {
    if (!tag) return nobc;
    uint16_t n = p->formulas.bcs.tags.data[tag - 1].data[v - 1];
    return n ? p->formulas.bcs.items[n - 1]->type : nobc;
  }
  int arcs() {
    int n = 0;
    for (int k = 1; k <= d->edges.count; k++) n += edge(k).shape == SHAPE_ARC;
    return n;
  }
};

TEST_F(Bounds, SquareWithCircularHole) {
  ASSERT_EQ(run(std::string(kSquare) + "START(3,2) ARC(CENTER=2,2) ANGLE=360"), "ok");
  EXPECT_EQ(d->regions.count * 1000 + d->loops.count * 100 + d->joints.count * 10 + d->edges.count, 1288);
  EXPECT_EQ(arcs(), 4);
  for (int k = 5; k <= 8; k++) {
    // Each quarter ends exactly on its end joint.
    const arcrec &a = edge(k).shapedata.arc;
    EXPECT_NEAR(a.sweep, M_PI / 2, 1e-12) << k;
    const Joint &end = joint(edge(k).joint2);
    EXPECT_NEAR(a.cx + a.rx * std::cos(a.start + a.sweep), end.x, 1e-12) << k;
    EXPECT_NEAR(a.cy + a.ry * std::sin(a.start + a.sweep), end.y, 1e-12) << k;
  }
  EXPECT_EQ(edge(8).joint2, 5);  // the last arc ends on the start joint
  domain_bound_regions(d);
  const double hole[2] = {2, 2}, corner[2] = {0.5, 0.5};
  EXPECT_EQ(domain_find_region(d, hole), 0);
  EXPECT_EQ(domain_find_region(d, corner), 1);
}

// ANGLE = a: the arcs of at most 108 degrees each; RADIANS as the same angle in degrees.
TEST_F(Bounds, AnglePieces) {
  const struct {
    const char *angle;
    int arcs;
    double sweep;
  } rows[] = {{"108", 1, 108 * M_PI / 180}, {"360", 4, M_PI / 2},   {"-200", 2, -100 * M_PI / 180},
              {"0", 0, 0},  {"2 RADIANS", 2, 1},  {"114.59155902616465 DEGREES", 2, 1},
              {"2*pi RADIANS", 4, M_PI / 2}, {"-2*pi RADIANS", 4, -M_PI / 2}};
  for (auto &r : rows) {
    ASSERT_EQ(run(std::string("FEATURE START(1,0) ARC(CENTER=0,0) ANGLE=") + r.angle + " LINE TO (5,5)"), "ok");
    EXPECT_EQ(arcs(), r.arcs) << r.angle;
    if (r.arcs) {
      EXPECT_NEAR(edge(1).shapedata.arc.sweep, r.sweep, 1e-7) << r.angle;
    }
  }
}

TEST_F(Bounds, ThreePointArcs) {
  ASSERT_EQ(run("REGION 1 START(0,0) ARC TO (2,1) TO (4,0) LINE TO FINISH"), "ok");
  ASSERT_EQ(arcs(), 2);
  double length = 0;
  for (int k = 1; k <= 2; k++) {
    const arcrec &a = edge(k).shapedata.arc;
    EXPECT_NEAR(a.cx, 2, 1e-12);
    EXPECT_NEAR(a.cy, -1.5, 1e-12);
    EXPECT_NEAR(a.rx, 2.5, 1e-12);
    EXPECT_NEAR(a.sweep, -0.9272952180016122, 1e-12);
    length += edge(k).length;
  }
  EXPECT_NEAR(length, 4.636476090008061, 1e-12);
}

TEST_F(Bounds, ConditionsAlongPaths) {
  // NODE_SPACING for one segment; VALUE until NOBC.
  ASSERT_EQ(run("REGION 1 START(0,0) NODE_SPACING=0.1 VALUE(u)=0 LINE TO (1,0) LINE TO (1,1) NOBC(u) LINE TO FINISH"),
            "ok");
  EXPECT_EQ(edge(1).spacing * 100 + edge(2).spacing * 10 + edge(3).spacing, 100);
  EXPECT_EQ(type_of(edge(1).bctag, 1) * 100 + type_of(edge(2).bctag, 1) * 10 + type_of(edge(3).bctag, 1), 220);
  // PERIODIC drops the conditions in force; its segment joins the declaration.
  ASSERT_EQ(run("REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) PERIODIC(x-1, y) LINE TO (1,1) LINE TO FINISH"), "ok");
  EXPECT_EQ(type_of(edge(1).bctag, 1) * 100 + edge(2).bctag * 10 + edge(3).bctag, 200);
  EXPECT_EQ(edge(2).periodic * 10 + d->periodics.data[0].sources.data[0], 12);
  EXPECT_EQ(p->persign, 1.0);
  // A shared edge carries both paths' conditions and is walked backwards by the second.
  ASSERT_EQ(run("REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH "
                "REGION 2 START(1,0) LINE TO (2,0) TO (2,1) TO (1,1) NATURAL(v)=1 LINE TO (1,0)",
                kTwo),
            "ok");
  EXPECT_EQ(d->loops.data[1].edges.data[3], -2);
  EXPECT_EQ(type_of(edge(2).bctag, 1) * 10 + type_of(edge(2).bctag, 2), 21);
  // POINT VALUE after START tags the start joint.
  ASSERT_EQ(run("REGION 1 START(0,0) POINT VALUE(u)=1 LINE TO (1,0) TO (1,1) TO FINISH"), "ok");
  EXPECT_EQ(type_of(joint(1).bctag, 1), valuept);
  EXPECT_EQ(joint(2).bctag, 0);
}

TEST_F(Bounds, ConditionsOnLayersAndSurfaces) {
  const char *head = "COORDINATES CARTESIAN3 VARIABLES u EQUATIONS div(grad(u)) = 0 EXTRUSION z = 0, 1, 2 ";
  const struct {
    const char *start;  // the path's start with the condition and its selector
    int layers[3];      // condition type of u on the first edge, per surface row
    int surface1;       // ... on the region's first surface
  } rows[] = {{"START(0,0) VALUE(u)=0", {2, 2, 2}, 0},
                {"START(0,0) LAYER 2 VALUE(u)=0", {0, 2, 0}, 0},
                {"SURFACE 1 VALUE(u)=0 START(0,0)", {0, 0, 0}, 2}};
  for (auto &r : rows) {
    ASSERT_EQ(run(std::string("REGION 1 ") + r.start + " LINE TO (1,0) NOBC(u) LINE TO (1,1) TO FINISH", head),
              "ok")
        << r.start;
    const vectorn &tags = edge(1).layer_tags;
    for (int L = 1; L <= 3; L++) EXPECT_EQ(type_of(L <= tags.count ? tags.data[L - 1] : 0, 1), r.layers[L - 1]) << r.start;
    EXPECT_EQ(type_of(d->regions.data[0].lists[0].data[0], 1), r.surface1) << r.start;
  }
}

// Every message of the two failure tables, at its place.
TEST_F(Bounds, Failures) {
  const std::string two = std::string(kOne) + "BOUNDARIES " + kSquare;
  const Case cases[] = {
      {"VARIABLES u BOUNDARIES END", "Wrong Number of Equations @1:23"},
      {"VARIABLES u EQUATIONS div(grad(u)) = 0 BOUNDARIES REGION 1 START(1, 2] END", "PARENTHESIS MISMATCH @1:71"},
      {"VARIABLES u EQUATIONS div(grad(u)) = 0 END", "No BOUNDARIES Specified @1:43"},
      {"VARIABLES u EQUATIONS div(grad(u)) = 0", "Unexpected End of File @1:40"},
  };
  for (auto [text, want] : cases) EXPECT_EQ(parse(text), want) << text;
  const Case bounds[] = {
      {"REGION 1 START(0,0) ARC(CENTER=1,0) ANGLE=1e30", "BAD ARC SPECIFICATION @1:97"},
      {"REGION 1 START(1,0) ARC(CENTER=0,0) TO (1,0) TO (0,1)", "BAD ARC SPECIFICATION @1:104"},
      {"REGION 1 START(0,0) ARC(RADIUS=1, DIRECTION=0) TO (1,1)", "UNIMPLEMENTED @1:97"},
      {"REGION 1 START(0,0) ARC(RADIUS=0.5) TO (2,0)", "Radius too small for distance. @1:95"},
      {"REGION 1 START(0,0) VALUE(w)=0", "BAD QUALIFIER @1:78"},
      {"REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO FINISH REGION 2 START(0,0) VALUE(u)=1 LINE TO (1,0)",
       "BOUNDARY CONDITION CONFLICT @1:159"},
      {"REGION 1 START(0,0) PERIODIC(x+1) LINE TO (0,1) ANTIPERIODIC(x+1) LINE TO (1,1)",
       "Confilicting Periodic Declaration @1:111"},
      {"REGION 1 START(0,0) LINE TO (1,0) TO (1,1)", "Region Boundary Not Closed @1:93"},
      {"REGION 1 START(0,0) LINE TO (1,0) TO (1,1) TO FINISH REPEAT i = 1 TO 2", "Unclosed FOR loop @1:121"},
  };
  for (auto [text, want] : bounds) EXPECT_EQ(run(text), want) << text;
  EXPECT_EQ(parse(two + "TIME 0 TO 1 TIME 0 TO 2 END"), "TIME RANGE DUPLICATION @1:131");
  EXPECT_EQ(parse(std::string("COORDINATES nonsense ") + kOne), "BAD COORDINATE SPECIFIER @1:21");
  EXPECT_EQ(parse(std::string("COORDINATES cartesian2(3) ") + kOne), "BAD COORDINATE SPECIFIER @1:23");
  EXPECT_EQ(parse(std::string("COORDINATES cartesian2 r = 1 ") + kOne), "UNIMPLEMENTED @1:25");
  EXPECT_EQ(parse(std::string("DEFINITIONS k ") + kOne + "BOUNDARIES REGION 1 k = 1 START(0,0) LINE TO (4,0) " +
                  "TO (4,4) TO FINISH REGION 2 START(4,0) LINE TO (5,0) TO (5,1) TO FINISH END"),
            "K is undefined in region 2 @1:169");
  EXPECT_EQ(parse(std::string(kOne) + "EXTRUSION z = 0, 1"), "Illegal in 2D Geometry @1:49");
  // The configuration text may end without END.
  EXPECT_EQ(parse(two + "END", "SELECT ngrid = 5"), "ok");
}

TEST_F(Bounds, Extrusion) {
  const std::string head = "COORDINATES CARTESIAN3 DEFINITIONS h = 2 k ";
  auto extruded = [&](const std::string &extrusion, const std::string &region) {
    return parse(head + kOne + extrusion + " BOUNDARIES REGION 1 " + region +
                 " START(0,0) LINE TO (1,0) TO (1,1) TO FINISH END");
  };
  ASSERT_EQ(extruded("EXTRUSION z = 0, 1, 2", "k = 1"), "ok");
  EXPECT_EQ(d->surfacetrees.count * 10 + d->layernames.count, 32);
  EXPECT_EQ(d->layernames.items[0].length + d->layernames.items[1].length + p->stagedgeom, 0);
  ASSERT_EQ(extruded("EXTRUSION SURFACE 'Bottom' z = 0 LAYER 'Slab' SURFACE 'Top' z = h",
                     "LAYER 'slab' k = 1 SURFACE 'top' VALUE(u) = 0"),
            "ok");
  EXPECT_EQ(p->stagedgeom, 1);
  const vectorn &surfaces = d->regions.data[0].lists[0];
  ASSERT_EQ(surfaces.count, 2);
  EXPECT_EQ(type_of(surfaces.data[0], 1) * 10 + type_of(surfaces.data[1], 1), valuebc);
  const Case errors[] = {
      {"LAYER 3 k = 1", "Bad Layer Number @1:132"},
      {"LAYER 'other' k = 1", "Unknown Layer Name @1:138"},
      {"SURFACE 0 VALUE(u) = 0", "Bad Layer Number @1:134"},
      {"SURFACE 'other' VALUE(u) = 0", "Unknown Surface Name @1:140"},
      {"LAYER 1 k = 1", "K is undefined in region 1 layer 2 @1:175"},
      {"LAYER 1 k = 1 LAYER 2 VOID", "ok"},
  };
  for (auto [region, want] : errors) EXPECT_EQ(extruded("EXTRUSION z = 0, 1, 2", region), want) << region;
  const TreeNode *k = params_find_param_def(&p->formulas.definitions, 2, 1, 2);  // K in the VOID layer
  EXPECT_EQ(k ? k->opcode : -1, op::realzero);
  // A periodic extrusion maps the bottom surface onto the top one.
  ASSERT_EQ(extruded("PERIODIC EXTRUSION z = 0, 2", "k = 1"), "ok");
  ASSERT_EQ(d->periodics.count, 1);
  const TreeNode *map = d->periodics.data[0].mapping;
  evalpoint at = {};
  at.x = 0.5, at.y = 0.25, at.z = 1.5;
  double want[3] = {0.5, 0.25, -0.5};
  for (int c = 0; c < 3; c++) EXPECT_NEAR(treeval_eval(p, map->child[c], &at), want[c], 1e-12) << c;
  EXPECT_EQ(extruded("PERIODIC EXTRUSION z = 0, 2", "k = 1 START(2,2) PERIODIC(x+1) LINE TO (3,3)"),
            "Two-Way Periodicity @1:156");
  EXPECT_EQ(extruded("ANTIPERIODIC EXTRUSION z = 0, 2", "k = 1 START(2,2) PERIODIC(x+1) LINE TO (3,3)"),
            "Confilicting Periodic Declaration @1:160");
  // Shear angles are folded: 15*2 degrees.
  ASSERT_EQ(extruded("EXTRUSION z = 0, 1 SHEAR = 15*2 YSHEAR = 45", "k = 1"), "ok");
  EXPECT_NEAR(d->shear[0], std::tan(M_PI / 6), 1e-12);
  EXPECT_NEAR(d->shear[1], 1, 1e-12);
}

TEST_F(Bounds, CoordinatesAndTime) {
  ASSERT_EQ(parse(std::string("COORDINATES xcylinder('Z', 'R') TIME('tau') ") + kOne + "BOUNDARIES " + kSquare +
                  "TIME FROM 1 TO 5 BY 0.5 HALT = 1e-3 END"),
            "ok");
  EXPECT_STREQ(p->coordnames.items[0].text, "Z");
  EXPECT_STREQ(p->coordnames.items[1].text, "R");
  EXPECT_STREQ(p->coordnames.items[3].text, "TAU");
  EXPECT_EQ(p->coords.geometry, 5u);
  EXPECT_EQ(p->starttime_value * 1000 + p->endtime * 100 + p->deltat * 10 + p->haltdt * 1000, 1506);
  EXPECT_EQ(p->timedep, 1);
}

// Mended: every parse starts from an empty domain and a fresh working state; open
// paths of a region are refused, feature paths and paths that close together are not.
TEST_F(Bounds, ReparsesAndClosure) {
  const std::string text = std::string(kSquare) + "START(3,2) ARC(CENTER=2,2) ANGLE=360 REGION 2 START(5,0) LINE TO (6,0) TO (6,1) TO FINISH";
  ASSERT_EQ(run(text), "ok");
  std::vector<double> first;
  for (int k = 1; k <= d->joints.count; k++) first.insert(first.end(), {joint(k).x, joint(k).y});
  const double quantum = d->grid.quantum;
  EXPECT_EQ(run("REGION 1 START(0,0) PERIODIC(x+1) LINE TO (0,1) TO (1, 2]"), "PARENTHESIS MISMATCH @1:108");
  ASSERT_EQ(run(text), "ok");
  std::vector<double> second;
  for (int k = 1; k <= d->joints.count; k++) second.insert(second.end(), {joint(k).x, joint(k).y});
  EXPECT_EQ(second, first);
  EXPECT_EQ(d->grid.quantum, quantum);
  EXPECT_EQ(d->regions.count * 100 + d->loops.count * 10 + d->periodics.count, 230);
  // The sign of an earlier parse is forgotten.
  EXPECT_EQ(run("REGION 1 START(0,0) ANTIPERIODIC(x+1) LINE TO (0,1) LINE TO (1,1) TO FINISH"), "ok");
  EXPECT_EQ(run("REGION 1 START(0,0) PERIODIC(x+1) LINE TO (0,1) LINE TO (1,1) TO FINISH"), "ok");
  EXPECT_EQ(run("FEATURE START(0,0) LINE TO (1,0) TO (1,1)"), "ok");
  EXPECT_EQ(run("REGION 1 START(0,0) LINE TO (1,0) TO (1,1) START(1,1) LINE TO (0,1) TO (0,0)"), "ok");
}

}  // namespace
