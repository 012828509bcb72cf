// Mesh operations on small hand-made meshes: the swap rule on a kite, swaps of quadratic
// and cubic cells against a global quadratic, relaxation of a regular patch and of a
// shifted copy, neighbours found by position, ring order; graded points and history bytes.
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "mesher/mesh1.h"
#include "mesher/mesh2.h"
#include "mesher/refine1.h"
#include "runtime/vectorvd.h"
#include "tests/mesher/fixture.h"

namespace {

struct Hand : Mesher {
  int32_t add(double x, double y, int kind = 0, float h = 1) {
    int32_t n = meshes_new_node_0(&m(), x, y, 0);
    node(n).kind = kind, node(n).spacing = h;
    return n;
  }
  int32_t tri(int32_t a, int32_t b, int32_t c) {
    m().cellbasis = tri3;
    int32_t k = meshes_new_cell_0(&m());
    cell(k).basis = tri3, cell(k).region = 1;
    meshes_renode3_0(&m(), k, a, b, c);
    meshes_new_nodecell3(&m(), k, a, b, c);
    return k;
  }
  // The kite P(0,0), Q(2,0), A(t, 1/sqrt2), B(t, -1/sqrt2) as cells (P, Q, A), (Q, P, B).
  void kite(double t) {
    int32_t P = add(0, 0), Q = add(2, 0), A = add(t, std::sqrt(0.5)), B = add(t, -std::sqrt(0.5));
    tri(P, Q, A), tri(Q, P, B);
    mesh2_resolve_nabors2(&m(), 0);
  }
  static double u(double x, double y) { return x * x + 3 * x * y - y * y + 2 * x - 1; }
};

TEST_F(Hand, KiteSwapsAtSevenTenthsNotSixTenths) {
  struct {
    double t;
    uint16_t swaps;
  } cases[] = {{0.7, 1}, {0.6, 0}};
  for (auto c : cases) {
    SCOPED_TRACE(c.t);
    cellnode_free_1(&m().cells), cellnode_free_2(&m().nodes);
    kite(c.t);
    EXPECT_EQ(mesh2_best_leg(&m(), tri3, nullptr), c.swaps);
    if (!c.swaps) continue;
    // The diagonal now joins A and B; both cells counter-clockwise, linked, listed.
    for (int32_t k : {1, 2}) {
      EXPECT_GT(meshes_cell_area_1(&m(), k), 0);
      EXPECT_TRUE(vectorl_inlist(&cell(k).nodes, 3) && vectorl_inlist(&cell(k).nodes, 4));
    }
    meshes_check_mesh(&m(), tri3, 1, 0);
    EXPECT_TRUE(mesh_questions.empty());
  }
}

TEST_F(Hand, SquareDiagonalNeverSwaps) {
  int32_t a = add(0, 0), b = add(1, 0), c = add(1, 1), d = add(0, 1);
  tri(a, b, c), tri(a, c, d);
  mesh2_resolve_nabors2(&m(), 0);
  EXPECT_EQ(mesh2_best_leg(&m(), tri3, nullptr), 0);
}

// The kite's cells with side nodes; after the swap every side node still holds the
// quadratic's value at its place, and the moved ones lie on the new diagonal.
TEST_F(Hand, QuadraticAndCubicSwapsStayExact) {
  quature_init_quadrature();
  basisfun_node_coords();
  for (int32_t basis : {tri6, tri9}) {
    SCOPED_TRACE(basis);
    cellnode_free_1(&m().cells), cellnode_free_2(&m().nodes);
    kite(0.7);
    p->basis = basis;
    mesher2_midsides(p, &m(), basis);
    for (int32_t k : {1, 2}) cell(k).basis = basis;
    vectord field{};
    vectord_resize(&field, m().nodes.count, m().nodes.count);
    for (int32_t n = 1; n <= m().nodes.count; n++) field.data[n - 1] = u(node(n).x, node(n).y);
    vectorvd values{};
    vectorvd_resize(&values, 1, 1);
    values.data[0] = &field;
    ASSERT_EQ(mesh2_best_leg(&m(), basis, &values), 1);
    for (int32_t n = 1; n <= m().nodes.count; n++) EXPECT_NEAR(field.data[n - 1], u(node(n).x, node(n).y), 1e-6) << n;  // the local coordinates' solve
    // Every side node lies on its side at its fraction, in both cells.
    int per = basis == tri6 ? 1 : 2;
    for (int32_t k : {1, 2})
      for (int s = 1; s <= 3; s++) {
        const uint8_t *row = mesh2_sides[s - 1];
        const MeshNode &a = node(cell(k).nodes.data[row[1] - 1]), &b = node(cell(k).nodes.data[row[2] - 1]);
        for (int j = 0; j < per; j++) {
          double f = per == 1 ? 0.5 : (j + 1) / 3.0;
          const MeshNode &q = node(cell(k).nodes.data[3 * j + 2 + s]);
          EXPECT_NEAR(q.x, (1 - f) * a.x + f * b.x, 1e-12);
          EXPECT_NEAR(q.y, (1 - f) * a.y + f * b.y, 1e-12);
          EXPECT_TRUE(vectorl_inlist(&q.nodecell, k));
        }
      }
    values.data[0] = nullptr;
    vectorvd_free(&values, 0);
    vectord_free(&field);
  }
}

// A hexagon of equilateral cells about one interior node.
void hexagon(Hand *t, double ox, double oy, double dx, double dy) {
  int32_t c = t->add(ox + dx, oy + dy, 0, 1), ring[6];
  for (int k = 0; k < 6; k++)
    ring[k] = t->add(ox + std::cos(k * std::numbers::pi / 3), oy + std::sin(k * std::numbers::pi / 3), 1, 1);
  for (int k = 0; k < 6; k++) t->tri(c, ring[k], ring[(k + 1) % 6]);
}

TEST_F(Hand, RelaxationLeavesARegularPatchAndMovesAShiftedCopyAlike) {
  hexagon(this, 0, 0, 0, 0);
  mesh2_relax_mesh(&m());
  EXPECT_NEAR(node(1).x, 0, 1e-15);
  EXPECT_NEAR(node(1).y, 0, 1e-15);
  cellnode_free_1(&m().cells), cellnode_free_2(&m().nodes);
  hexagon(this, 0, 0, 0.2, -0.1);
  mesh2_relax_mesh(&m());
  double x0 = node(1).x, y0 = node(1).y;
  EXPECT_LT(std::hypot(x0, y0), 0.01);
  cellnode_free_1(&m().cells), cellnode_free_2(&m().nodes);
  hexagon(this, 1000, -500, 0.2, -0.1);
  mesh2_relax_mesh(&m());
  EXPECT_NEAR(node(1).x - 1000, x0, 1e-9);
  EXPECT_NEAR(node(1).y + 500, y0, 1e-9);
}

// A square of 12 x 12 cell pairs, side s, its interior nodes pushed off the grid by up to
// a third of a cell, relaxed: the same square drawn in millimetres or in kilometres
// relaxes to the same shape, scaled, and every drawing comes out better shaped.
TEST_F(Hand, RelaxationOfAScaledSquareIsTheSameShapeScaled) {
  const int k = 12;
  auto relaxed = [&](double s) {
    cellnode_free_1(&m().cells), cellnode_free_2(&m().nodes);
    double h = s / k;
    std::vector<int32_t> at((k + 1) * (k + 1));
    for (int j = 0; j <= k; j++)
      for (int i = 0; i <= k; i++) {
        bool edge = i == 0 || j == 0 || i == k || j == k;
        double dx = edge ? 0 : h / 3 * std::sin(7 * i + 3 * j), dy = edge ? 0 : h / 3 * std::cos(5 * i + 11 * j);
        at[j * (k + 1) + i] = add(i * h + dx, j * h + dy, edge ? 1 : 0, float(h));
      }
    for (int j = 0; j < k; j++)
      for (int i = 0; i < k; i++) {
        int32_t a = at[j * (k + 1) + i], b = a + 1, c = a + k + 2, d = a + k + 1;
        tri(a, b, c), tri(a, c, d);
      }
    double before = min_angle();
    mesh2_relax_mesh(&m());
    EXPECT_GT(min_angle(), before + 5) << "side " << s;
    std::vector<std::pair<double, double>> unit;
    for (int32_t n = 1; n <= m().nodes.count; n++) unit.push_back({node(n).x / s, node(n).y / s});
    return unit;
  };
  std::vector<std::pair<double, double>> one = relaxed(1);
  for (double s : {1e-3, 1e3}) {
    std::vector<std::pair<double, double>> other = relaxed(s);
    ASSERT_EQ(other.size(), one.size());
    double apart = 0;
    for (size_t n = 0; n < one.size(); n++)
      apart = std::max({apart, std::fabs(other[n].first - one[n].first), std::fabs(other[n].second - one[n].second)});
    EXPECT_LT(apart, 1e-9) << "side " << s;
  }
}

// Neighbours found by position on a copy whose cells share no nodes, and the ring order
// about every node of a meshed square.
TEST_F(Mesher, NeighboursByPositionAndRings) {
  region_of({lines({{0, 0}, {1, 0}, {1, 1}, {0, 1}})});
  ASSERT_EQ(mesh(8), 6);
  Mesh copy{};
  copy.domain = dp;
  copy.cellbasis = tri3;
  for (int32_t c = 1; c <= m().cells.count; c++) {
    int32_t k = meshes_new_cell_0(&copy);
    copy.cells.data[k - 1].basis = tri3;
    int32_t v[3];
    for (int i = 0; i < 3; i++) {
      const MeshNode &n = node(cell(c).nodes.data[i]);
      v[i] = meshes_new_node_0(&copy, n.x, n.y, 0);
    }
    meshes_renode3_0(&copy, k, v[0], v[1], v[2]);
  }
  mesh2_resolve_table_nabors2(&copy);
  for (int32_t c = 1; c <= m().cells.count; c++)
    for (int s = 0; s < 3; s++) EXPECT_EQ(copy.cells.data[c - 1].neighbour[s], cell(c).neighbour[s]) << c << "," << s;
  meshes_free(&copy, 0);
  for (int32_t n = 1; n <= m().nodes.count; n++) {
    int32_t beyond = mesh2_order_nodecells(&m(), n);
    const vectorl &l = node(n).nodecell;
    for (int32_t k = 1; k < l.count; k++) EXPECT_GT(meshes_find_side_0(&m().cells, l.data[k - 1], l.data[k]), 0);
    if (node(n).kind == 0) EXPECT_EQ(beyond, l.data[0]);
    else EXPECT_EQ(beyond, 0);
  }
}

TEST(Spreadout, GradedPointsAlongASegment) {
  vectord at{}, h{};
  mesh1_spreadout(&at, &h, 0.01, 0.1, 0, 1, 0.5);
  ASSERT_EQ(at.count, 13);  // 12.785 intervals
  EXPECT_NEAR(at.data[0], 0.01321, 1e-5);
  for (int j = 5; j < 12; j++) EXPECT_NEAR(at.data[j] - at.data[j - 1], 0.09835, 1e-5) << j;
  EXPECT_NEAR(1 - at.data[11], 0.09835, 1e-5);
  // Equal spacing: M the nearest integer to L/h; past 65535 samples the count holds.
  for (auto [L, hh] : {std::pair{1.0, 0.3}, {7.0, 1e-4}}) {
    mesh1_spreadout(&at, &h, hh, hh, hh, L, 0.3);
    int32_t M = int32_t(std::round(L / hh));
    ASSERT_EQ(at.count, M);
    for (int j = 1; j < M; j++) ASSERT_NEAR(at.data[j - 1], j * L / M, 1e-9);
  }
  mesh1_spreadout(&at, &h, 2, 2, 2, 1, 0);
  EXPECT_EQ(at.count, 1);
  vectord_free(&at), vectord_free(&h);
}

TEST_F(Hand, HistoryBytesAndRotation) {
  int32_t a = add(0, 0), b = add(1, 0), c = add(0, 1);
  int32_t k = tri(a, b, c);
  refine1_log_split(&m(), k, 2, 3);
  EXPECT_EQ(cell(k).bytes.count, 1);
  EXPECT_EQ(cell(k).bytes.data[0], 35);
  vectorl l{};
  for (int32_t x : {1, 2, 3, 4}) vectorl_one_more(&l, x);
  refine1_rotate(&l);
  EXPECT_EQ(std::vector<int32_t>(l.data, l.data + 4), (std::vector<int32_t>{2, 3, 4, 1}));
  vectorl_free(&l);
}

}  // namespace
