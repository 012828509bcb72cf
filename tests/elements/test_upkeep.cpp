// Mesh upkeep: seeded deletions and compactions of the disk mesh, copies, boundary
// lists, and periodic pairing in two and three dimensions.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "domain/edges.h"
#include "tests/elements/check.h"
#include "tests/elements/meshbuild.h"

namespace {

struct Upkeep : MeshTest {
  // The live cells, each as its sorted corner coordinates.
  std::multiset<std::vector<Xyz>> shapes() {
    std::multiset<std::vector<Xyz>> s;
    for (int32_t c = 1; c <= m.cells.count; c++) {
      std::vector<Xyz> p;
      for (int i = 0; cell(c).alive && i < 3; i++) p.push_back(at(cell(c).nodes.data[i]));
      std::sort(p.begin(), p.end());
      if (cell(c).alive) s.insert(p);
    }
    return s;
  }
  // Deletes a cell as a refiner does: its neighbours' sides become boundary sides, its
  // nodes forget it, and nodes left without cells are deleted.
  void remove_cell(int32_t c) {
    for (int32_t nb : cell(c).neighbour)
      if (nb > 0) cell(nb).bdid[meshes_find_side_0(&m.cells, nb, c) - 1] = 99;
    std::vector<int32_t> nodes(cell(c).nodes.data, cell(c).nodes.data + 3);
    for (int32_t n : nodes) meshes_delete_nodecell(&m, n, c);
    meshes_delete_cell(&m, c);
    for (int32_t n : nodes)
      if (!node(n).nodecell.count && node(n).alive) meshes_delete_node(&m, n);
  }
  int negatives(int sides) {
    int k = 0;
    for (int32_t c = 1; c <= m.cells.count; c++)
      k += int(std::count_if(cell(c).neighbour, cell(c).neighbour + sides, [](int32_t n) { return n < 0; }));
    return k;
  }
};

TEST_F(Upkeep, SeededDeletionsAndCompactionsKeepTheDiskMesh) {
  MshMesh disk = read_msh(test_data("disk.msh"));
  build_mesh(&m, disk.nodes, disk.triangles, tri3, disk.side_id());
  int32_t spare[3] = {meshes_new_node_0(&m, 9, 9, 0), meshes_new_node_0(&m, 9, 8, 0),
                      meshes_new_node_0(&m, 9, 7, 0)};
  // Edge lists from the boundary sides, a face list and the joint-node map.
  vector2l_resize(&m.edgenodes, 4, 4);
  for (int32_t c = 1; c <= m.cells.count; c++)
    for (int s = 0; s < 3; s++)
      for (int k = 1; k <= 2 && cell(c).bdid[s]; k++)
        if (int32_t n = cell(c).nodes.data[(s + k) % 3]; node(n).kind != 2) {
          node(n).kind = 2, node(n).id = cell(c).bdid[s];
          vectorl_one_more(&m.edgenodes.data[node(n).id - 1], n);
        }
  vector2l_resize(&m.facenodes, 1, 1);
  for (int32_t n : {5, spare[0], 10}) vectorl_one_more(&m.facenodes.data[0], n);
  vectorl_one_more(&m.jointnodes, 20);
  std::vector<Xyz> kept = {at(5), at(10), at(20)};
  // Two periodic links across boundary sides of the last cells; one partner goes.
  std::vector<std::pair<int32_t, int>> open;
  for (int32_t c = m.cells.count; open.size() < 4; c--)
    for (int s = 0; s < 3 && open.size() < 4; s++)
      if (!cell(c).neighbour[s] && (open.empty() || open.back().first != c)) open.push_back({c, s});
  for (int p : {0, 1, 2, 3}) cell(open[p].first).neighbour[open[p].second] = -open[p ^ 1].first;
  remove_cell(open[3].first);
  // Two adjacent image-map keys whose nodes go, and one that stays.
  meshes_delete_node(&m, spare[0]);
  meshes_delete_node(&m, spare[1]);
  for (int32_t k : spare) vectorll_insert(&m.images, k, spare[2]);
  std::mt19937 rng(2026);
  for (int round = 0; round < 3; round++) {
    for (int k = 0; k < 8; k++) {
      int32_t c = 1 + int32_t(rng() % m.cells.count);
      if (cell(c).alive && *std::min_element(cell(c).neighbour, cell(c).neighbour + 3) >= 0) remove_cell(c);
    }
    auto before = shapes();
    m.finder.built = 1;
    meshes_cell_compress(&m);
    EXPECT_EQ(m.finder.built + m.delcells, 0);
    meshes_node_compress_0(&m);
    expect_invariants(&m);
    EXPECT_EQ(shapes(), before);
    EXPECT_EQ(negatives(3), 2);  // -n became -map[n]; the link to the deleted cell 0
    for (int32_t e = 1; e <= 4; e++)
      for (int32_t i = 0; i < m.edgenodes.data[e - 1].count; i++) {
        const MeshNode &n = node(m.edgenodes.data[e - 1].data[i]);
        EXPECT_TRUE(n.alive && n.kind == 2 && n.id == e);
      }
  }
  ASSERT_EQ(m.images.count, 1);
  EXPECT_EQ(at(m.images.keys[0]), (Xyz{9, 7, 0}));
  ASSERT_EQ(m.facenodes.data[0].count, 2);
  EXPECT_EQ((std::vector<Xyz>{at(m.facenodes.data[0].data[0]), at(m.facenodes.data[0].data[1]),
                              at(m.jointnodes.data[0])}),
            kept);
  m.finder.built = 1;
  meshes_cell_compress(&m);
  EXPECT_EQ(m.finder.built, 1);  // nothing moved
  // A copy keeps the numbering, dead entries included, with empty boundary lists.
  meshes_delete_cell(&m, 3);
  Mesh copy{};
  meshes_mesh_copy(&copy, &m, 1);
  meshes_mesh_copy(&copy, &m, 1);  // the first copy's own domain is released
  ASSERT_EQ(copy.cells.count, m.cells.count);
  ASSERT_EQ(copy.nodes.count, m.nodes.count);
  EXPECT_NE(copy.domain, m.domain);
  for (int32_t c = 1; c <= m.cells.count; c++) {
    const MeshCell &k = copy.cells.data[c - 1];
    EXPECT_TRUE(k.alive == cell(c).alive && std::equal(k.nodes.data, k.nodes.data + 3, cell(c).nodes.data)) << c;
  }
  for (int32_t n = 1; n <= m.nodes.count; n++) EXPECT_EQ(copy.nodes.data[n - 1].x, node(n).x);
  EXPECT_EQ(copy.edgenodes.count + copy.facenodes.count + copy.jointnodes.count, 0);
  meshes_free(&copy, 1);
}

TEST_F(Upkeep, BoundaryNodesGoBetweenAdjacentNodesOnly) {
  vector2l_resize(&m.edgenodes, 1, 1);
  vectorl &l = m.edgenodes.data[0];
  for (int n : {7, 3, 5, 9}) vectorl_one_more(&l, n);
  struct Case {
    int a, b, nw;
    bool ok;
    std::vector<int> list;
  } cases[] = {{5, 3, 11, true, {7, 3, 11, 5, 9}},
               {5, 9, 12, true, {7, 3, 11, 5, 12, 9}},
               {7, 9, 13, false, {7, 3, 11, 5, 12, 9}}};
  for (const Case &k : cases) {
    EXPECT_EQ(meshes_insert_bnode(&m, 1, k.a, k.b, k.nw), k.ok);
    EXPECT_EQ(std::vector<int>(l.data, l.data + l.count), k.list);
  }
  EXPECT_TRUE(meshes_insert_bnode(&m, 2, 1, 2, 3));  // no list for edge 2
  int32_t n = meshes_new_node_0(&m, 0, 0, 0);  // on a mesh whose steps are unset
  node(n).kind = 2;                            // an edge node without its edge
  meshes_delete_node(&m, n);
  EXPECT_EQ(l.count, 6);
}

// The unit square in eight triangles, periodic under (x + 1, y): edges 1 bottom,
// 2 right (up), 3 top, 4 left (down); edge 4 maps onto edge 2.
struct Square : Upkeep {
  void SetUp() override {
    Upkeep::SetUp();
    for (int e = 1; e <= 4; e++) {
      Joint j{};
      j.image = uint16_t(e == 1 ? 2 : e == 4 ? 3 : 0);  // only source joints record images
      table_add(&d.joints, j);
      Edge r{};
      r.joint1 = uint16_t(e), r.joint2 = uint16_t(e % 4 + 1);
      if (e == 4) r.periodic = 1, r.image = 2;
      table_add(&d.edges, r);
    }
    for (int e = 1; e <= 4; e++)
      for (int j : {e, e % 4 + 1}) vectorn_one_more(&d.joints.data[j - 1].edges, uint16_t(e));
    periodic p{};
    vectorn_one_more(&p.sources, 4), vectorn_one_more(&p.images, 2);
    geom3d_identity(&p.forward), geom3d_identity(&p.inverse);
    p.forward.t[3] = 1, p.inverse.t[3] = -1;
    table_add(&d.periodics, p);
    d.grid.tolerance = 1e-6;
    std::vector<Xyz> xyz;
    std::vector<Corners> tris;
    for (int k = 0; k < 9; k++) xyz.push_back({0.5 * (k % 3), 0.5 * (k / 3), 0});
    for (int a : {1, 2, 4, 5}) tris.push_back({a, a + 1, a + 4}), tris.push_back({a, a + 4, a + 3});
    build_mesh(&m, xyz, tris, tri3, [&](const Corners &c) -> uint16_t {
      const Xyz &p0 = xyz[c[0] - 1], &p1 = xyz[c[1] - 1];
      return p0[1] + p1[1] == 0 ? 1 : p0[0] + p1[0] == 2 ? 2 : p0[1] + p1[1] == 2 ? 3 : 4;
    });
    vector2l_resize(&m.edgenodes, 4, 4);
    int lists[4][3] = {{1, 2, 3}, {3, 6, 9}, {9, 8, 7}, {7, 4, 1}};
    for (int e = 0; e < 4; e++) {
      for (int n : lists[e]) vectorl_one_more(&m.edgenodes.data[e], n);
      node(lists[e][0]).kind = 1, node(lists[e][0]).id = uint16_t(e + 1);
      node(lists[e][1]).kind = 2, node(lists[e][1]).id = uint16_t(e + 1);
    }
  }
};

TEST_F(Square, PeriodicInXPairsSidesAcrossTheEdges) {
  EXPECT_EQ(meshes_common_edge(&m, 1, 3), 1);  // two joints
  EXPECT_EQ(meshes_common_edge(&m, 6, 9), 2);  // edge and joint
  EXPECT_EQ(meshes_common_edge(&m, 6, 1), 0);
  EXPECT_EQ(edges_if_edge(&d.joints.data[0], 4), 2);  // a position, not an edge
  Domain *copy = domain_domain_copy(&d);
  EXPECT_NE(copy->joints.data[0].edges.data, d.joints.data[0].edges.data);
  EXPECT_EQ(copy->periodics.count, 0);  // a copy leaves the periodic declarations behind
  domain_clear(copy);
  bopmemfree(&copy);
  XMEM -= sizeof(Domain);
  meshes_map_periodics(&m);
  ASSERT_EQ(m.images.count, 3);
  for (int k = 0; k < 3; k++) {
    int32_t a = m.images.keys[k], b = m.images.values[k];
    EXPECT_EQ(at(a), (Xyz{1, at(b)[1], 0}));
    EXPECT_EQ(node(b).x, 0);
    EXPECT_EQ(node(a).image + node(b).image, a + b);
  }
  expect_invariants(&m);
  EXPECT_EQ(negatives(3), 4);
  // Nodes a periodic pair still names must stay, or the map is corrupt.
  d.perextrude = 1;
  meshes_map_periodics(&m);
  EXPECT_EQ(m.images.count, 0);
  node(1).alive = 0;
  expect_fatal("Corrupt Periodic Image  Map IN meshes_node_compress_2", [&] { meshes_node_compress_0(&m); });
}

TEST_F(Square, ReplacedAndMergedNodesLeaveAWholeMesh) {
  auto area = [&] {
    double a = 0;
    for (int32_t c = 1; c <= m.cells.count; c++) a += cell(c).alive ? meshes_cell_area_1(&m, c) : 0;
    return a;
  };
  meshes_replace_node(&m, 5, 6);  // the centre onto the right side: two cells collapse
  EXPECT_EQ(m.delcells, 2);
  EXPECT_FALSE(node(5).alive);
  EXPECT_DOUBLE_EQ(area(), 1);
  expect_invariants(&m);
  EXPECT_FALSE(meshes_merge_nodes(&m, 1, 3));  // two joints
  EXPECT_TRUE(meshes_merge_nodes(&m, 1, 2));   // the corner onto the edge node
  EXPECT_FALSE(node(1).alive);
  EXPECT_DOUBLE_EQ(area(), 0.875);
  expect_invariants(&m);
  d.grid.quantum = 0.125;  // off the grid lines: to the middle of the grid cells
  meshes_quantize_mesh(&m, 2);
  EXPECT_EQ(at(9), (Xyz{1.0625, 1.0625, 0}));
}

// A unit cube in six tetrahedra around its diagonal, periodic in z: the top face (2)
// maps onto the bottom face (1) by (x, y, z - 1); the top nodes come last.
TEST_F(Upkeep, ZPeriodicColumnMatchesTopToBottom) {
  face bottom{}, top{};
  top.image = 1, top.periodic = 1;
  table_add(&d.faces, bottom), table_add(&d.faces, top);
  periodic p{};
  geom3d_identity(&p.forward), geom3d_identity(&p.inverse);
  p.forward.t[11] = -1, p.inverse.t[11] = 1;
  table_add(&d.periodics, p);
  d.grid.tolerance = 1e-6;
  std::vector<Xyz> xyz = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},
                          {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
  std::vector<Corners> tets = {{1, 2, 3, 7}, {1, 2, 6, 7}, {1, 4, 3, 7},
                               {1, 4, 8, 7}, {1, 5, 6, 7}, {1, 5, 8, 7}};
  build_mesh(&m, xyz, tets, tet4, [&](const Corners &c) -> uint16_t {
    double z = xyz[c[0] - 1][2] + xyz[c[1] - 1][2] + xyz[c[2] - 1][2];
    return z == 0 ? 1 : z == 3 ? 2 : 3;
  });
  for (int n = 1; n <= 8; n++) node(n).kind = 3, node(n).id = n <= 4 ? 1 : 2;
  meshes_match_periodics(&m, 0);
  for (int n = 5; n <= 8; n++)
    EXPECT_EQ(std::make_pair(node(n).image, node(n - 4).image), std::make_pair(n - 4, n));
  EXPECT_EQ(negatives(4), 4);
  expect_invariants(&m);
  node(8).z = 0.5;
  expect_fatal("Unmatched Periodic Node IN meshes_match_periodics_0", [&] { meshes_match_periodics(&m, 7); });
}

}  // namespace
