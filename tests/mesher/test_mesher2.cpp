// Whole meshes of squares, an L-shape, a disk, an annulus, slotted squares and a square
// holding a hairline strip region: the mesh checks, orientation, the Euler count, the
// boundary polygon's area, boundary node spacing and node density, side nodes, and the
// driver's phases.
#include "domain/joints.h"
#include "plot/plot.h"
#include "tests/mesher/fixture.h"

namespace {

// The domains of the whole-mesh checks, with their hole counts.
struct Shape {
  const char *name;
  int holes;
  void (*build)(Mesher *t);
};
const Shape shapes[] = {
    {"L-shape", 0,
     [](Mesher *t) {
       t->region_of({t->lines({{-1, -1}, {0, -1}, {0, 0}, {1, 0}, {1, 1}, {-1, 1}})});
     }},
    {"disk", 0, [](Mesher *t) { t->region_of({t->circle(0, 0, 1, 4)}); }},
    {"annulus", 1,
     [](Mesher *t) {
       t->region_of({t->circle(0, 0, 1, 4), t->circle(0, 0, 0.5, 4, true)});
     }},
    {"slotted square", 1,
     [](Mesher *t) {
       t->region_of({t->lines({{0, 0}, {1, 0}, {1, 1}, {0, 1}}),
                     t->lines({{0.2, 0.45}, {0.2, 0.55}, {0.8, 0.55}, {0.8, 0.45}})});
     }},
    // A slot a thousandth wide: the front's spacings span several halvings at once, so its
    // protonode searches meet legs of many smoothing radii.
    {"thin slot", 1,
     [](Mesher *t) {
       t->region_of({t->lines({{0, 0}, {1, 0}, {1, 1}, {0, 1}}),
                     t->lines({{0.2, 0.4995}, {0.2, 0.5005}, {0.8, 0.5005}, {0.8, 0.4995}})});
     }},
    // A strip a ten-thousandth thick meshed as a region of its own, so that its long sides
    // face each other across it: thousands of legs near a ten-thousandth long beside the
    // square's sides of a tenth, and node and leg searches that meet both.
    {"hairline strip", 0,
     [](Mesher *t) {
       std::vector<int32_t> strip = t->lines({{0.2, 0.49995}, {0.8, 0.49995}, {0.8, 0.50005}, {0.2, 0.50005}}), back;
       for (size_t k = strip.size(); k-- > 0;) back.push_back(-strip[k]);
       t->region_of({t->lines({{0, 0}, {1, 0}, {1, 1}, {0, 1}}), back});
       t->region_of({strip});
     }},
};

struct Shapes : Mesher, ::testing::WithParamInterface<std::tuple<int, int>> {};
INSTANTIATE_TEST_SUITE_P(Mesher, Shapes, ::testing::Combine(::testing::Range(0, 6), ::testing::Values(10, 40)));

TEST_P(Shapes, PassEveryCheck) {
  const Shape &s = shapes[std::get<0>(GetParam())];
  uint16_t ngrid = uint16_t(std::get<1>(GetParam()));
  SCOPED_TRACE(s.name);
  s.build(this);
  ASSERT_EQ(mesh(ngrid), 6);
  expect_sound(s.holes);
  EXPECT_GT(min_angle(), 5);
}

struct Squares : Mesher, ::testing::WithParamInterface<int> {};
INSTANTIATE_TEST_SUITE_P(Mesher, Squares, ::testing::Values(10, 20, 40, 80, 160));

TEST_P(Squares, SpacingDensityAndChecks) {
  {
    uint16_t ngrid = uint16_t(GetParam());
    region_of({lines({{0, 0}, {1, 0}, {1, 1}, {0, 1}})});
    ASSERT_EQ(mesh(ngrid), 6);
    expect_sound(0);
    // Boundary nodes 1/ngrid apart; the nodes of equilateral cells of side h.
    double h = 1.0 / ngrid;
    for (int32_t e = 1; e <= 4; e++) {
      const vectorl &l = m().edgenodes.data[e - 1];
      ASSERT_EQ(l.count, ngrid + 1);
      for (int32_t k = 1; k < l.count; k++)
        EXPECT_NEAR(std::hypot(node(l.data[k]).x - node(l.data[k - 1]).x, node(l.data[k]).y - node(l.data[k - 1]).y), h,
                    1e-12);
    }
    double expected = 2 / (std::sqrt(3.0) * h * h);
    EXPECT_NEAR(m().nodes.count / expected, 1.0, 0.15);
    EXPECT_GT(min_angle(), 30);
  }
}


// Quadratic and cubic cells on the disk: side nodes of shared sides held in opposite
// orders, boundary side nodes on the circle and in the edges' lists.
TEST_F(Mesher, SideNodesFollowTheCircle) {
  for (int32_t basis : {tri6, tri9}) {
    SCOPED_TRACE(basis);
    p->basis = basis, p->curvegrid = 1;
    domain_clear(dp);
    region_of({circle(0, 0, 1, 4)});
    ASSERT_EQ(mesh(10), 6);
    EXPECT_EQ(m().meshbasis, basis);
    EXPECT_TRUE(mesh_questions.empty());
    int per = basis == tri6 ? 1 : 2, shared = 0;
    for (int32_t c = 1; c <= m().cells.count; c++)
      for (int s = 1; s <= 3; s++) {
        int32_t n = cell(c).neighbour[s - 1];
        if (n <= 0) continue;
        int t = 1;
        while (cell(n).neighbour[t - 1] != c) t++;
        for (int k = 0; k < per; k++)
          EXPECT_EQ(cell(c).nodes.data[3 * k + 2 + s], cell(n).nodes.data[3 * (per - 1 - k) + 2 + t]);
        shared++;
      }
    EXPECT_GT(shared, 0);
    int32_t on_edges = 0;
    for (int32_t e = 1; e <= 4; e++) {
      const vectorl &l = m().edgenodes.data[e - 1];
      for (int32_t k = 0; k < l.count; k++) EXPECT_NEAR(std::hypot(node(l.data[k]).x, node(l.data[k]).y), 1, 1e-12);
      on_edges += l.count - 1;
    }
    // Every boundary side carries its side nodes in its edge's list.
    int32_t open = 0;
    for (int32_t c = 1; c <= m().cells.count; c++)
      for (int s = 0; s < 3; s++) open += cell(c).neighbour[s] == 0;
    EXPECT_EQ(on_edges, open * (per + 1));
  }
}

// An edge of constant spacing h and length L gets round(L/h) - 1 nodes, equally spaced.
TEST_F(Mesher, BoundaryNodesFollowTheSpacingMeasure) {
  struct {
    double T;
    int nodes;
  } cases[] = {{1.49, 0}, {1.5, 1}, {4.4, 3}, {10, 9}};
  for (auto c : cases) {
    SCOPED_TRACE(c.T);
    domain_clear(dp);
    region_of({lines({{0, 0}, {1, 0}, {1, 1}, {0, 1}})});
    finish();
    domain_tag_edges(dp);
    dominpde_find_reglist(p);
    dominpde_build_features(p, 10, &p->status);
    featureitem &it = d().features.items[0];
    for (int32_t k = 0; k < it.spacings.count; k++) it.spacings.data[k] = 1 / c.T;
    gromesh2_grid_edges(p, &m());
    const vectorl &l = m().edgenodes.data[0];
    ASSERT_EQ(l.count, c.nodes + 2);
    double len = 1.0 / (c.nodes + 1);
    for (int32_t k = 1; k < l.count; k++)
      EXPECT_NEAR(std::hypot(node(l.data[k]).x - node(l.data[k - 1]).x, node(l.data[k]).y - node(l.data[k - 1]).y), len,
                  1e-12);
    EXPECT_EQ(d().unattached.count, 0);
    cellnode_free_2(&m().nodes);
  }
}

// Fillets and bevels of the corner at (1, 1) of the unit square.
struct Corner : Mesher {
  uint16_t corner = 0;
  void square(int kind, double r) {
    region_of({lines({{0, 0}, {1, 0}, {1, 1}, {0, 1}})});
    corner = pt(1, 1);
    joint(corner).kind = kind, joint(corner).corner = r;
    finish();
  }
};

TEST_F(Corner, FilletAtARightAngle) {
  square(1, 0.2);
  filletize(p);
  EXPECT_NEAR(joint(corner).x, 1, 1e-12);
  EXPECT_NEAR(joint(corner).y, 0.8, 1e-12);
  const Joint &k = joint(d().joints.count);
  EXPECT_NEAR(k.x, 0.8, 1e-12);
  EXPECT_NEAR(k.y, 1, 1e-12);
  int arcs = 0;
  for (uint16_t e = 1; e <= d().edges.count; e++)
    if (edge(e).shape == SHAPE_ARC) {
      arcs++;
      EXPECT_NEAR(edge(e).length, std::numbers::pi * 0.2 / 2, 1e-12);
      EXPECT_NEAR(edge(e).shapedata.arc.cx, 0.8, 1e-9);
      EXPECT_NEAR(edge(e).shapedata.arc.cy, 0.8, 1e-9);
    }
  EXPECT_EQ(arcs, 1);
}

TEST_F(Corner, FilletedSquareMeshes) {
  square(1, 0.3);
  ASSERT_EQ(mesh(20), 6);
  expect_sound(0);
}

TEST_F(Corner, BevelCutsAtRootHalf) {
  square(2, 0.2);
  filletize(p);
  EXPECT_NEAR(joint(corner).y, 1 - 0.2 / std::sqrt(2.0), 1e-12);
  EXPECT_NEAR(joint(d().joints.count).x, 1 - 0.2 / std::sqrt(2.0), 1e-12);
}

TEST_F(Mesher, FilletAtSixtyDegrees) {
  // An equilateral triangle: the tangent length is r sqrt(3).
  region_of({lines({{0, 0}, {2, 0}, {1, std::sqrt(3.0)}})});
  uint16_t j = pt(0, 0);
  joint(j).kind = 1, joint(j).corner = 0.1;
  finish();
  filletize(p);
  EXPECT_NEAR(std::hypot(joint(j).x, joint(j).y), 0.1 * std::sqrt(3.0), 1e-8);  // joints lie on the grid
}

TEST_F(Mesher, FilletErrors) {
  struct {
    const char *why;
    double r;
    bool tee, straight;
  } cases[] = {{"Can't Fillet a T-joint", 0.1, true, false},
               {"Confusing Fillet", 1.5, false, false},
               {"Confusing Fillet", 0.1, false, true}};
  for (auto c : cases) {
    SCOPED_TRACE(c.why);
    domain_clear(dp);
    uint16_t j;
    if (c.tee) {
      region_of({lines({{0, 0}, {1, 0}, {1, 1}, {0, 1}})});
      region_of({lines({{1, 0}, {2, 0}, {2, 1}, {1, 1}})});
      j = pt(1, 1);
    } else if (c.straight) {
      region_of({lines({{0, 0}, {1, 0}, {2, 0}, {2, 1}, {0, 1}})});
      j = pt(1, 0);
    } else {
      region_of({lines({{0, 0}, {1, 0}, {1, 1}, {0, 1}})});
      j = pt(1, 1);
    }
    joint(j).kind = 1, joint(j).corner = c.r;
    finish();
    EXPECT_EQ(error_of([&] { filletize(p); }), c.why);
  }
}

TEST_F(Mesher, HistoryPointsOutsideAreReported) {
  region_of({lines({{0, 0}, {1, 0}, {1, 1}, {0, 1}})});
  finish();
  domain_tag_edges(dp);
  TextLoc loc{};
  EXPECT_EQ(error_of([&] { check_history_point(p, 1, 0.5, &loc); }), "");
  EXPECT_EQ(error_of([&] { check_history_point(p, 0.5, 0.5, &loc); }), "");
  EXPECT_EQ(error_of([&] { check_history_point(p, 1.02, 0.5, &loc); }), "History point ( 1.020000, 0.500000) is outside domain");
  // Through the problem's history plots.
  uint16_t h = plot_one_more_1(&p->plotrecs);
  plotrec &r = p->plotrecs.data[h - 1];
  r.kind = PLOT_HISTORY;
  point3d in{0.5, 0.5, 0}, out{-0.5, 0.5, 0};
  point3d_one_more_0(&r.at, &in);
  vectorn_one_more(&p->histories, h);
  EXPECT_EQ(error_of([&] { check_history_points(p); }), "");
  point3d_one_more_0(&r.at, &out);
  EXPECT_EQ(error_of([&] { check_history_points(p); }), "History point (-0.500000, 0.500000) is outside domain");
}

// Fixed points inside the region end alive and used by cells.
TEST_F(Mesher, FixedPointsEndAlive) {
  region_of({lines({{0, 0}, {1, 0}, {1, 1}, {0, 1}})});
  std::vector<uint16_t> fixed;
  for (auto [x, y] : {std::pair{0.5, 0.5}, {0.33, 0.47}, {0.25, 0.75}, {0.9, 0.1}}) {
    fixed.push_back(pt(x, y));
    joint(fixed.back()).kind = 3;
  }
  ASSERT_EQ(mesh(10), 6);
  expect_sound(0);
  for (uint16_t j : fixed) {
    int32_t n = m().jointnodes.data[j - 1];
    ASSERT_GT(n, 0);
    EXPECT_TRUE(node(n).alive);
    EXPECT_GT(node(n).nodecell.count, 0);
    EXPECT_NEAR(node(n).x, joint(j).x, 1e-15);
    EXPECT_NEAR(node(n).y, joint(j).y, 1e-15);
  }
}

}  // namespace

// A fixed point left on an interior side splits both cells; one at a vertex gives its
// joint that vertex. Either way the point's joint ends on a live node of the mesh.
TEST_F(Mesher, FixedPointsOnASideOrAtAVertex) {
  region_of({lines({{0, 0}, {1, 0}, {1, 1}, {0, 1}})});
  ASSERT_EQ(mesh(6), 6);
  int32_t c = 0, s = 0;
  for (int32_t k = 1; k <= m().cells.count && !c; k++)
    for (int t = 0; t < 3 && !c; t++)
      if (cell(k).neighbour[t] > k) c = k, s = t;
  const MeshNode &a = node(cell(c).nodes.data[(s + 1) % 3]), &b = node(cell(c).nodes.data[(s + 2) % 3]);
  int32_t vertex = 1;
  while (node(vertex).kind != 0) vertex++;
  int32_t cells0 = live_cells();
  for (auto [x, y, on_side] : {std::tuple{(a.x + b.x) / 2, (a.y + b.y) / 2, true}, {node(vertex).x, node(vertex).y, false}}) {
    SCOPED_TRACE(on_side);
    uint16_t j = joints_new_joint_0(&dp->joints, x, y);
    joint(j).kind = 3;
    vectorl_resize(&m().jointnodes, dp->joints.count, dp->joints.count);
    int32_t X = meshes_new_node_0(&m(), x, y, 1);
    node(X).kind = 1, node(X).id = j;
    m().jointnodes.data[j - 1] = X;
    dp->unattached.count = 0;
    vectorl_insert_0(&dp->unattached, X);
    gromesh2_insert_points(&m());
    int32_t held = m().jointnodes.data[j - 1];
    EXPECT_TRUE(node(held).alive);
    EXPECT_EQ(node(held).kind, 1);
    if (on_side) {
      EXPECT_EQ(held, X);
      EXPECT_EQ(node(X).nodecell.count, 4);
      EXPECT_EQ(live_cells(), cells0 + 2);
    } else {
      EXPECT_EQ(held, vertex);
      EXPECT_FALSE(node(X).alive);
    }
    meshes_check_mesh(&m(), tri3, 1, 1);
    EXPECT_TRUE(mesh_questions.empty());
  }
}

// Fronts one after another in one process: the disk meshed after a finer slotted
// square has the 113 nodes and 192 cells of the disk meshed in a process of its own.
TEST_F(Mesher, EachFrontStartsAfresh) {
  for (bool after : {false, true}) {
    SCOPED_TRACE(after);
    if (after) {
      domain_clear(dp);
      shapes[3].build(this);
      ASSERT_EQ(mesh(40), 6);
      expect_sound(1);
      domain_clear(dp);
    }
    shapes[1].build(this);
    ASSERT_EQ(mesh(10), 6);
    expect_sound(0);
    EXPECT_EQ(m().nodes.count, 113);
    EXPECT_EQ(m().cells.count, 192);
  }
}
