// The mesh record: table growth, cell and node operations, measures and centroids on
// single cells and on a disk meshed once by an outside mesher, and interpolation at
// located points.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <set>

#include "elements/evalpoint.h"
#include "tests/elements/check.h"
#include "tests/elements/meshbuild.h"

namespace {

struct Meshes : MeshTest {};

// One cell of a code whose nodes sit where the reference nodes map to by the corners.
void one_cell(Mesh *m, int code, const std::vector<Xyz> &corner) {
  const LocalPoint *p = basisfun_node_table(code);
  m->meshbasis = m->cellbasis = code;
  m->cellstep = m->nodestep = 8;
  int32_t c = meshes_new_cell_0(m);
  m->cells.data[c - 1].basis = code;
  for (int k = 0; k < elements_functions[code]; k++) {
    Xyz q = {0, 0, 0};
    for (int r = 0; r < 3; r++)
      for (size_t v = 0; v < corner.size(); v++) q[r] += p[k].L[v] * corner[v][r];
    m->cells.data[c - 1].nodes.data[k] = meshes_new_node_1(m, q[0], q[1], q[2], 0);
  }
}

TEST_F(Meshes, TablesGrowByStepsThatDoubleOnceBeyondThirtyTwoSteps) {
  m.cellstep = m.nodestep = 50;
  m.cellbasis = tri3;
  std::set<int32_t> cells, nodes, want = {1800, 1900};
  for (int k = 50; k <= 1700; k += 50) want.insert(k);
  for (int k = 1; k <= 1800; k++) {
    meshes_new_cell_0(&m), meshes_new_node_0(&m, k, 0, 0);
    cells.insert(m.cells.capacity), nodes.insert(m.nodes.capacity);
  }
  EXPECT_EQ(cells, want);
  EXPECT_EQ(nodes, want);
  EXPECT_EQ(m.cellstep, 100);
}

TEST_F(Meshes, CellAndNodeOperationsKeepTheirEdgeCases) {
  m.cellstep = m.nodestep = 8;
  m.cellbasis = m.meshbasis = tri3;
  for (int k = 1; k <= 30; k++) meshes_new_node_0(&m, k, 0, 0);
  for (int k = 1; k <= 8; k++) meshes_new_cell_0(&m), cell(k).basis = tri3;
  meshes_new_nodecell(&m, 5, 3);
  meshes_new_nodecell(&m, 5, 3);
  EXPECT_EQ(node(5).nodecell.count, 1);
  meshes_renode3_0(&m, 2, 10, 20, 30);
  EXPECT_EQ(meshes_find_side_1(&m, 2, 30, 10), 2);
  EXPECT_EQ(meshes_find_side_1(&m, 2, 10, 30), 0);
  EXPECT_EQ(meshes_make_node(&m, 2.0005, 0, 0.01), 2);
  meshes_new_node_0(&m, 2.001, 0, 0);
  EXPECT_EQ(meshes_make_node(&m, 2.0007, 0, 0.01), 2);  // within reach of 2 and 31
  EXPECT_EQ(meshes_make_node(&m, 7.5, 1, 0.01), 32);
  cell(7).neighbour[0] = 5, cell(7).neighbour[1] = -3;
  meshes_fix_nabor(&m, -7, 3, 9);
  EXPECT_EQ(cell(7).neighbour[1], -9);
  // Deleting: the last cell shortens the table, another counts as deleted; positive
  // neighbours are unlinked, periodic ones left.
  cell(5).neighbour[2] = 7;
  meshes_delete_cell(&m, 7);
  EXPECT_EQ(std::vector<int32_t>({m.cells.count, m.delcells, cell(5).neighbour[2], cell(7).neighbour[1]}),
            std::vector<int32_t>({8, 1, 0, -9}));
  meshes_delete_cell(&m, 8);
  EXPECT_EQ(std::make_pair(m.cells.count, m.delcells), std::make_pair(7, 1));
  struct Stop {
    const char *text;
    std::function<void()> call;
  } stops[] = {
      {"BAD NABOR PATCH IN meshes_fix_nabor_0", [&] { meshes_fix_nabor(&m, 6, 4, 1); }},
      {"BAD NODECELL IN meshes_new_nodecell_0", [&] { meshes_new_nodecell(&m, 33, 1); }},
      {"BAD NODECELL PATCH  IN meshes_fix_nodecell_0", [&] { meshes_fix_nodecell(&m, 5, 4, 1); }},
      {"BAD NODECELL DELETE  IN meshes_delete_nodecell_0", [&] { meshes_delete_nodecell(&m, 5, 4); }},
      {"Illegal Basis IN meshes_set_centroid_0", [&] { cell(1).basis = lin2, meshes_set_centroid_1(&m, 1); }},
  };
  for (auto &s : stops) expect_fatal(s.text, s.call);
  // Copies of the table's own records survive the table's growth under them.
  for (int k = 0; k < 12; k++) {
    int32_t c = meshes_clone_cell(&m, &cell(2), 3), n = meshes_copy_node_0(&m, 5);
    EXPECT_EQ(std::vector<int32_t>(cell(c).nodes.data, cell(c).nodes.data + 3),
              (std::vector<int32_t>{10, 20, 30}));
    EXPECT_EQ(node(n).x, 5);
    EXPECT_EQ(node(n).nodecell.count, 1);
  }
}

TEST_F(Meshes, MeasuresAndCentroidsOfSingleCells) {
  const std::vector<Xyz> right = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}},
                         clockwise = {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}};
  const std::vector<Xyz> tet = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
                         flipped = {{1, 0, 0}, {0, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  struct Case {
    int code;
    std::vector<Xyz> corner;
    double area;
  } cases[] = {{tri3, right, 0.5},        {tri3, clockwise, -0.5}, {tri6, clockwise, 0.5},
               {tri9, right, 0.5},        {tet4, tet, 1.0 / 6},    {tet4, flipped, -1.0 / 6},
               {tet10, flipped, 1.0 / 6}, {tet20, tet, 1.0 / 6}};
  for (const Case &k : cases) {
    Mesh one{};
    one_cell(&one, k.code, k.corner);
    EXPECT_NEAR(meshes_cell_area_1(&one, 1), k.area, 1e-13) << elements_names[k.code];
    meshes_set_centroid_1(&one, 1);
    for (int r = 0; r < 3; r++)  // the corners' mean
      EXPECT_NEAR(
          one.cells.data[0].centroid[r] * k.corner.size(),
          k.corner[0][r] + k.corner[1][r] + k.corner[2][r] + (k.corner.size() > 3 ? k.corner[3][r] : 0),
          1e-12);
    meshes_free(&one, 0);
  }
}

// Curved cells, one basis after another and back: bending the hypotenuse of the unit
// right triangle out by d along (1,1)/sqrt 2 adds a parabolic segment of 2/3 * base *
// height (the measure's rule integrates the quadratic |det J| exactly). A tet10 bent
// so gains the flux of the move (d, d, 0) / sqrt 2 through its faces weighted by the
// mid-node's function (a third of the face's area): d / (3 sqrt 2) through the slanted
// face, none through the base. Unbent (d = 0), either is localised as straight. The
// rules are laid out again before every bend: the measures are those of a fresh start.
TEST_F(Meshes, CurvedCellsMeasureTheirBends) {
  const std::vector<Xyz> right = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  const std::vector<Xyz> tet = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  for (double d : {0.1, -0.05, 0.1, 0.0}) {
    quature_init_quadrature();
    for (int code : {tri6, tet10}) {
      Mesh one{};
      one_cell(&one, code, code == tri6 ? right : tet);
      int bent = 0;
      for (int k = 0; k < elements_functions[code]; k++) {
        MeshNode &n = one.nodes.data[one.cells.data[0].nodes.data[k] - 1];
        if (n.x == 0.5 && n.y == 0.5 && n.z == 0) n.x += d / std::sqrt(2.0), n.y += d / std::sqrt(2.0), bent++;
      }
      ASSERT_EQ(bent, 1);
      double segment = 2.0 / 3 * std::sqrt(2.0) * d;
      double want = code == tri6 ? 0.5 + segment : 1.0 / 6 + d / (3 * std::sqrt(2.0));
      EXPECT_NEAR(meshes_cell_area_1(&one, 1), want, 1e-13) << elements_names[code] << " " << d;
      // The localised frame is the Jacobian at the cell's centroid, bit for bit.
      LocalCell lc{};
      meshes_localize(&one, &one.cells.data[0], &lc, 0);
      ElementFrame g = lc.frame;
      elements_jacobian(elements_centroid[elements_dimension[code]].L, &g);
      EXPECT_EQ(lc.frame.measure, g.measure);
      EXPECT_EQ(std::memcmp(lc.frame.J, g.J, sizeof g.J), 0);
      EXPECT_EQ(std::memcmp(lc.frame.K, g.K, sizeof g.K), 0);
      // Straight sides make the map affine: the frame holds at every point.
      EXPECT_EQ(lc.frame.curved, d != 0) << elements_names[code] << " " << d;
      // Moved off the lines of a grid whose quantum divides none of the coordinates
      // (each node moves by its own amount, the side nodes not with their ends), the
      // unbent cell is still affine, its Jacobian at each corner the frame's; the bends
      // stay curved.
      this->d.grid.quantum = 0.007;
      one.domain = &this->d;
      meshes_quantize_mesh(&one, 3);
      meshes_localize(&one, &one.cells.data[0], &lc, 0);
      EXPECT_EQ(lc.frame.curved, d != 0) << elements_names[code] << " " << d << " off the grid";
      for (int v = 0; d == 0 && v < elements_vertices[code]; v++) {
        double L[4] = {0, 0, 0, 0};
        L[v] = 1;
        g = lc.frame;
        elements_jacobian(L, &g);
        for (int r = 0; r < 3; r++)
          for (int k = 0; k < 4; k++) EXPECT_NEAR(g.J[r][k], lc.frame.J[r][k], 1e-14) << elements_names[code];
      }
      meshes_free(&one, 0);
    }
  }
}

TEST_F(Meshes, DiskAreasAndCentroidsMatchItsBoundaryPolygon) {
  MshMesh disk = read_msh(test_data("disk.msh"));
  ASSERT_GT(disk.triangles.size(), 50u);
  build_mesh(&m, disk.nodes, disk.triangles, tri3, disk.side_id());
  expect_invariants(&m);
  // Shoelace sums over the directed boundary sides, which need no ordering.
  double area = 0, cx = 0, cy = 0, sum = 0, mx = 0, my = 0;
  for (int32_t c = 1; c <= m.cells.count; c++) {
    double a = meshes_cell_area_1(&m, c);
    EXPECT_GT(a, 0);
    meshes_set_centroid_1(&m, c);
    sum += a, mx += a * cell(c).centroid[0], my += a * cell(c).centroid[1];
    for (int s = 1; s <= 3; s++) {
      if (cell(c).neighbour[s - 1]) continue;
      const MeshNode &p = node(cell(c).nodes.data[s % 3]), &q = node(cell(c).nodes.data[(s + 1) % 3]);
      double cross = p.x * q.y - q.x * p.y;
      area += cross / 2, cx += (p.x + q.x) * cross, cy += (p.y + q.y) * cross;
    }
  }
  EXPECT_NEAR(sum, area, 1e-12);
  EXPECT_NEAR(mx / sum, cx / (6 * area), 1e-12);
  EXPECT_NEAR(my / sum, cy / (6 * area), 1e-12);
}

// 1 + 2x - 3y + z/2, plus, for a quadratic, xy - y^2 + 0.7x^2 + 0.3xz - 0.4z^2.
double poly(const Xyz &p, int degree) {
  double x = p[0], y = p[1], z = p[2];
  double v = 1 + 2 * x - 3 * y + 0.5 * z;
  return degree < 2 ? v : v + x * y - y * y + 0.7 * x * x + 0.3 * x * z - 0.4 * z * z;
}

TEST_F(Meshes, FieldsOfTheBasisOrderAreReproducedAtLocatedPoints) {
  const std::vector<Xyz> tri = {{0.1, 0.2, 0}, {1.3, 0.4, 0}, {0.5, 1.1, 0}};
  const std::vector<Xyz> tet = {{0.1, 0.2, 0}, {1.3, 0.4, 0.1}, {0.5, 1.1, 0.2}, {0.3, 0.5, 1.2}};
  struct Case {
    int code, degree;
  } cases[] = {{tri3, 1}, {tri6, 2}, {tri9, 2}, {tet10, 2}};
  std::mt19937 rng(12);
  std::uniform_real_distribution<double> u01(0, 1);
  for (const Case &k : cases) {
    const std::vector<Xyz> &corner = elements_dimension[k.code] == 2 ? tri : tet;
    Mesh one{};
    one_cell(&one, k.code, corner);
    LocalCell lc{};
    meshes_localize(&one, &one.cells.data[0], &lc, 0);
    // The field, and a linear one given at the vertices only (NaN at the other nodes).
    vectord field{}, linear{};
    for (int n = 1; n <= one.nodes.count; n++) {
      const MeshNode &q = one.nodes.data[n - 1];
      vectord_one_more(&field, poly({q.x, q.y, q.z}, k.degree));
      vectord_one_more(&linear, n <= int(corner.size()) ? poly({q.x, q.y, q.z}, 1) : NAN);
    }
    int lin = elements_linear_code[elements_dimension[k.code]];
    evalpoint ep{};
    ep.cell = &lc;
    for (int t = 0; t < 20; t++) {
      double s = 0;
      for (size_t v = 0; v < corner.size(); v++) s += ep.local[v] = u01(rng);
      Xyz p = {0, 0, 0};
      for (size_t v = 0; v < corner.size(); v++) {
        ep.local[v] /= s;
        for (int r = 0; r < 3; r++) p[r] += ep.local[v] * corner[v][r];
      }
      EXPECT_NEAR(cellnode_interpu_1(k.code, ep.local, &lc, &field), poly(p, k.degree), 1e-12)
          << elements_names[k.code];
      EXPECT_NEAR(cellnode_interpu_0(lin, &ep, &linear), poly(p, 1), 1e-12) << elements_names[k.code];
      EXPECT_NEAR(cellnode_interpu_sel(lin, 1, 0, &ep, &linear), 2, 1e-12);
    }
    if (k.code == tri6) {  // nodal and point values through the inverse map, good to 1e-7
      int32_t extra = meshes_new_node_0(&one, 0.6, 0.5, 0);
      vectord *list[] = {&field};
      vectord values{};
      vectorvd fields = {1, 1, list};
      meshes_nodalu(&one, extra, &fields, &lc, tri6);
      EXPECT_EQ(field.count, one.nodes.count);
      EXPECT_NEAR(field.data[extra - 1], poly({0.6, 0.5, 0}, 2), 1e-6);
      meshes_pointu_0(&values, 0.5, 0.6, &fields, &lc, tri6);
      EXPECT_NEAR(values.data[0], poly({0.5, 0.6, 0}, 2), 1e-6);
      vectord_free(&values);
    }
    vectord_free(&field);
    vectord_free(&linear);
    meshes_free(&one, 0);
  }
}

TEST_F(Meshes, SmallestCoordinateAndPointTests) {
  struct Case {
    double L[4];
    int ac2, ac3;
  } cases[] = {{{0.2, 0.2, 0.6, 0.9}, 2, 2}, {{0.3, 0.4, 0.3, 0.9}, 3, 3}, {{0.25, 0.25, 0.25, 0.25}, 3, 4}};
  for (const Case &k : cases) {
    EXPECT_EQ(cellnode_min_ac2(k.L), k.ac2);
    EXPECT_EQ(cellnode_min_ac3(k.L), k.ac3);
  }
  one_cell(&m, tri3, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
  LocalCell lc{};
  meshes_localize(&m, &cell(1), &lc, 0);
  evalpoint p{};
  p.cell = &lc, p.x = 0.5, p.y = 0.5;  // on the side opposite vertex 1
  EXPECT_TRUE(meshes_incell_1(&p, 1e-9));
  EXPECT_FALSE(meshes_incell_1(&p, 0));
  cellnode_move_close(&p, 2);
  EXPECT_DOUBLE_EQ(p.x, 0.5);
  EXPECT_DOUBLE_EQ(p.y, 0.5);
  pointd a = {0, 0}, b = {1, 0}, c = {0, 1}, in = {0.2, 0.2}, out = {0.6, 0.6};
  EXPECT_TRUE(meshes_incell_0(&a, &b, &c, &in, -1e-6));
  EXPECT_FALSE(meshes_incell_0(&a, &b, &c, &out, 1e-6));
  expect_fatal("1D not implemented IN cellnode_move_close_0", [&] { cellnode_move_close(&p, 1); });
}

}  // namespace
