// Tetrahedral bisection and its undoing on extruded unit cubes, checked against the cube's
// volume and surface, the Euler count of a ball, the mesh checks, exact node positions,
// exact polynomial fields, and the mesh as it stood before a split.
#include <array>
#include <functional>
#include <cmath>
#include <map>
#include <random>
#include <set>

#include "elements/meshes.h"
#include "mesher/mesher2.h"
#include "mesher/mesher3.h"
#include "mesher/refine2.h"
#include "mesher/refine3.h"
#include "tests/mesher/fixture.h"
#include "tests/reader/actions.h"
#include "tests/runtime/fatal_stop.h"

namespace {

const int kFace[4][3] = {{1, 3, 2}, {2, 3, 0}, {3, 1, 0}, {0, 1, 2}};

struct Refine3 : MeshedDescriptor {
  Mesh &m() { return p->mesh; }
  MeshCell &cell(int32_t c) { return p->mesh.cells.data[c - 1]; }
  MeshNode &node(int32_t n) { return p->mesh.nodes.data[n - 1]; }
  void cube(int32_t basis, const char *ngrid = "2", const char *extrusion = "EXTRUSION") {
    std::string text = std::string("SELECT NGRID = ") + ngrid +
                       " QUANTIZE = OFF COORDINATES CARTESIAN3 VARIABLES u EQUATIONS div(grad(u)) = 0 " + extrusion +
                       " z = 0, 0.5, 1 BOUNDARIES REGION 1 START(0,0) LINE TO (1,0) TO (1,1) TO (0,1) TO "
                       "FINISH END";
    ASSERT_EQ(parse(text), "ok");
    p->basis = basis, p->phase = 5;
    mesher3_treat_sheets(p);
    ASSERT_EQ(mesher2_freshmesh(p, m().domain->twodee, uint16_t(p->ngrid)), 6);
    mesher3_grid3d(p);
  }
  std::array<double, 3> at(int32_t n) { return {node(n).x, node(n).y, node(n).z}; }
  double volume(int32_t c) {
    auto a = at(cell(c).nodes.data[0]), b = at(cell(c).nodes.data[1]), d = at(cell(c).nodes.data[2]),
         e = at(cell(c).nodes.data[3]);
    double u[3], v[3], w[3];
    for (int i = 0; i < 3; i++) u[i] = b[i] - a[i], v[i] = d[i] - a[i], w[i] = e[i] - a[i];
    return (u[0] * (v[1] * w[2] - v[2] * w[1]) - u[1] * (v[0] * w[2] - v[2] * w[0]) + u[2] * (v[0] * w[1] - v[1] * w[0])) / 6;
  }
  // The checks every refined cube passes: the mesh checks, positive cells of volume 1, faces
  // in one or two cells with the open ones covering the surface 6, the Euler count of a ball,
  // every higher-order node at its lattice point, no dead node in a boundary list.
  void expect_sound(int32_t basis) {
    meshes_check_mesh(&m(), basis, 1, 1);
    EXPECT_TRUE(mesh_questions.empty()) << (mesh_questions.empty() ? "" : mesh_questions[0]);
    double vol = 0, open = 0;
    std::set<std::array<int32_t, 2>> edges;
    std::map<std::array<int32_t, 3>, int> faces;
    std::set<int32_t> corners;
    int32_t T = 0, order = basis == tet4 ? 1 : basis == tet10 ? 2 : 3;
    for (int32_t c = 1; c <= m().cells.count; c++) {
      if (!cell(c).alive) continue;
      T++;
      const int32_t *n = cell(c).nodes.data;
      double v = volume(c);
      EXPECT_GT(v, 0) << c;
      vol += v;
      for (int i = 0; i < 4; i++) corners.insert(n[i]);
      for (int i = 0; i < 4; i++)
        for (int j = i + 1; j < 4; j++) edges.insert({std::min(n[i], n[j]), std::max(n[i], n[j])});
      for (int f = 0; f < 4; f++) {
        std::array<int32_t, 3> k = {n[kFace[f][0]], n[kFace[f][1]], n[kFace[f][2]]};
        std::sort(k.begin(), k.end());
        faces[k]++;
        if (cell(c).neighbour[f]) continue;
        auto a = at(k[0]), b = at(k[1]), d = at(k[2]);
        double u[3], w[3];
        for (int i = 0; i < 3; i++) u[i] = b[i] - a[i], w[i] = d[i] - a[i];
        open += 0.5 * std::hypot(u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]);
      }
      for (int s = 4; s < elements_functions[basis]; s++) {
        auto q = at(n[s]);
        for (int x = 0; x < 3; x++) {
          double want = 0;
          for (int k = 0; k < 4; k++) want += lattice(basis, s, k) * at(n[k])[x] / order;
          EXPECT_NEAR(q[x], want, 1e-12) << "cell " << c << " slot " << s + 1;
        }
      }
    }
    for (auto &[k, count] : faces) EXPECT_LE(count, 2);
    EXPECT_NEAR(vol, 1, 1e-12);
    EXPECT_NEAR(open, 6, 1e-12);
    EXPECT_EQ(int64_t(corners.size()) - int64_t(edges.size()) + int64_t(faces.size()) - T, 1);
    for (const vector2l *lists : {&m().edgenodes, &m().facenodes})
      for (int32_t e = 0; e < lists->count; e++)
        for (int32_t k = 0; k < lists->data[e].count; k++) EXPECT_TRUE(node(lists->data[e].data[k]).alive);
    EXPECT_EQ(refine3_depth(), 0);
  }
  // Barycentric numerators (over the order) of slot s: edges (2,3), (3,1), (1,2), (4,1),
  // (4,2), (4,3), thirds from the first-named corner, then face centres.
  static int lattice(int32_t basis, int s, int k) {
    static const int E[6][2] = {{1, 2}, {2, 0}, {0, 1}, {3, 0}, {3, 1}, {3, 2}};
    if (basis == tet10) return k == E[s - 4][0] || k == E[s - 4][1];
    if (s < 10) return k == E[s - 4][0] ? 2 : k == E[s - 4][1];
    if (s < 16) return k == E[s - 10][0] ? 1 : 2 * (k == E[s - 10][1]);
    return k != s - 16;
  }
  // The longest edge of cell c as the split sees it: first maximum over the edge slots.
  std::array<int32_t, 2> longest_edge(int32_t c) {
    static const int E[6][2] = {{1, 2}, {2, 0}, {0, 1}, {0, 3}, {1, 3}, {2, 3}};
    const int32_t *n = cell(c).nodes.data;
    double best = -1;
    std::array<int32_t, 2> out{};
    for (auto &e : E) {
      auto a = at(n[e[0]]), b = at(n[e[1]]);
      double l = std::pow(a[0] - b[0], 2) + std::pow(a[1] - b[1], 2) + std::pow(a[2] - b[2], 2);
      if (l > best) best = l, out = {n[e[0]], n[e[1]]};
    }
    return out;
  }
  // The mesh as a comparable record: per live cell its nodes, neighbours and estimate; per
  // live node its cells as a set; the edge lists; the face lists as sets.
  struct Shot {
    std::vector<std::vector<int32_t>> cells;
    std::vector<double> errors;
    std::vector<std::set<int32_t>> nodecells;
    std::vector<std::vector<int32_t>> edgelists;
    std::vector<std::set<int32_t>> facelists;
    bool operator==(const Shot &) const = default;
  };
  Shot shot() {
    Shot s;
    for (int32_t c = 1; c <= m().cells.count; c++) {
      if (!cell(c).alive) continue;
      std::vector<int32_t> r(cell(c).nodes.data, cell(c).nodes.data + elements_functions[m().meshbasis]);
      r.insert(r.end(), cell(c).neighbour, cell(c).neighbour + 4);
      s.cells.push_back(r);
      s.errors.push_back(cell(c).error);
    }
    for (int32_t n = 1; n <= m().nodes.count; n++)
      if (node(n).alive) s.nodecells.emplace_back(node(n).nodecell.data, node(n).nodecell.data + node(n).nodecell.count);
    for (int32_t e = 0; e < m().edgenodes.count; e++)
      s.edgelists.emplace_back(m().edgenodes.data[e].data, m().edgenodes.data[e].data + m().edgenodes.data[e].count);
    for (int32_t f = 0; f < m().facenodes.count; f++)
      s.facelists.emplace_back(m().facenodes.data[f].data, m().facenodes.data[f].data + m().facenodes.data[f].count);
    return s;
  }
  // Whether the edge's midpoint lies inside the cube.
  bool interior(std::array<int32_t, 2> ab) {
    bool in = true;
    for (int x = 0; x < 3; x++) in = in && std::fabs(at(ab[0])[x] + at(ab[1])[x] - 1) < 1 - 1e-9;
    return in;
  }
  // Live cells holding both nodes.
  int32_t ring_size(int32_t a, int32_t b) {
    int32_t k = 0;
    for (int32_t c = 1; c <= m().cells.count; c++)
      if (cell(c).alive && vectorl_inlist(&cell(c).nodes, a) && vectorl_inlist(&cell(c).nodes, b)) k++;
    return k;
  }
};

// Every basis, an interior and a boundary edge: the split keeps the mesh sound and puts the
// midpoint at the middle of the edge as a corner (an edge or face node of the boundary
// there); merging until nothing merges gives back the mesh as it was, the made nodes
// deleted. A split that touched the ring only merges back with the estimates summed.
TEST_F(Refine3, SplitThenMergeRestores) {
  for (int32_t basis : {tet4, tet10, tet20})
    for (bool inside : {true, false}) {
      SCOPED_TRACE(std::to_string(basis) + (inside ? " interior" : " boundary"));
      cube(basis);
      for (int32_t c = 1; c <= m().cells.count; c++) cell(c).error = 1;
      Shot before = shot();
      int32_t cells0 = m().cells.count, nodes0 = m().nodes.count, chosen = 0;
      std::array<int32_t, 2> ab{};
      for (int32_t c = 1; c <= cells0 && !chosen; c++)
        if (interior(ab = longest_edge(c)) == inside) chosen = c;
      ASSERT_GT(chosen, 0);
      int32_t ring = ring_size(ab[0], ab[1]);
      refine3_subdivide3(&m(), chosen, basis, nullptr, 1);
      expect_sound(basis);
      int32_t M = 0;
      for (int32_t n = 1; n <= m().nodes.count; n++) {
        bool mid = node(n).alive;
        for (int x = 0; x < 3; x++) mid = mid && std::fabs(at(n)[x] - (at(ab[0])[x] + at(ab[1])[x]) / 2) < 1e-12;
        if (mid) M = n;
      }
      ASSERT_GT(M, 0);
      EXPECT_EQ(ring_size(M, ab[0]) + ring_size(M, ab[1]), 2 * ring);
      if (!inside) {
        ASSERT_TRUE(node(M).kind == 2 || node(M).kind == 3);
        const vector2l &lists = node(M).kind == 2 ? m().edgenodes : m().facenodes;
        EXPECT_TRUE(vectorl_inlist(&lists.data[node(M).id - 1], M));
      }
      bool alone = m().cells.count == cells0 + ring;
      int32_t merged = 0, round = 0;
      for (double threshold : {1e-3, 1e9})
        do {
          for (int32_t c = 1; c <= m().cells.count; c++) cell(c).split = cell(c).merge = 0;
          round = 0;
          for (int32_t c = 1; c <= m().cells.count; c++) round += refine3_mergecell3(&m(), c, basis, threshold);
          if (threshold < 1) {
            EXPECT_EQ(round, 0);  // every estimate lies above it
          }
          if (alone && round) {
            EXPECT_EQ(round, ring);
            double sum = 0;
            for (int32_t c = 1; c <= m().cells.count; c++) sum += cell(c).alive ? cell(c).error : 0;
            EXPECT_EQ(sum, cells0 - ring + 0.5 * ring);
          }
          merged += round;
          EXPECT_EQ(refine3_depth(), 0);
        } while (round);
      EXPECT_GE(merged, ring);
      EXPECT_EQ(m().cells.count, cells0);
      for (int32_t n = nodes0 + 1; n <= m().nodes.count; n++) EXPECT_FALSE(node(n).alive) << n;
      for (int32_t c = 1; c <= m().cells.count; c++) cell(c).error = 1;
      EXPECT_TRUE(shot() == before);
      expect_sound(basis);
    }
}

// The split interpolates the fields: a quadratic exactly at new tet10 nodes, a cubic at
// new tet20 nodes; a merge whose siblings name different ends is refused.
TEST_F(Refine3, FieldsAndRefusedMerges) {
  for (int32_t basis : {tet10, tet20}) {
    cube(basis);
    auto f = [basis](const std::array<double, 3> &q) {
      double v = 1 + q[0] * q[1] - 2 * q[2] * q[2] + q[0];
      return basis == tet20 ? v + q[0] * q[1] * q[2] - q[1] * q[1] * q[1] : v;
    };
    vectord u{};
    vectord_resize(&u, m().nodes.count, m().nodes.count);
    for (int32_t n = 1; n <= m().nodes.count; n++) u.data[n - 1] = f(at(n));
    vectord *list[1] = {&u};
    vectorvd values{1, 1, list};
    int32_t nodes0 = m().nodes.count;
    refine3_subdivide3(&m(), 1, basis, &values, 1);
    ASSERT_GT(m().nodes.count, nodes0);
    for (int32_t n = nodes0 + 1; n <= m().nodes.count; n++) EXPECT_NEAR(u.data[n - 1], f(at(n)), 1e-12) << n;
    vectord_free(&u);
    // The other end of one sibling changed: nothing merges.
    for (int32_t c = 1; c <= m().cells.count; c++) cell(c).split = 0;
    int32_t last = m().cells.count;
    uint8_t &h = cell(last).bytes.data[cell(last).bytes.count - 1];
    h = uint8_t((h % 16 == 2 ? 3 : 2) * 16 + h % 16);
    int32_t merged = 0;
    for (int32_t c = 1; c <= m().cells.count; c++) merged += refine3_mergecell3(&m(), c, basis, 1e9);
    EXPECT_EQ(merged, 0);
    EXPECT_EQ(refine3_depth(), 0);
  }
}

// A ring cell whose own longest edge is longer than the split edge, but by less than 1/0.9,
// is split along the edge without splitting anything first.
TEST_F(Refine3, NearlyLongestEdgeSplitsWithoutRecursion) {
  cube(tet4, "3");
  auto len2 = [&](int32_t u, int32_t v) {
    double s = 0;
    for (int x = 0; x < 3; x++) s += std::pow(at(u)[x] - at(v)[x], 2);
    return s;
  };
  for (int32_t c = 1; c <= m().cells.count; c++) {
    auto ab = longest_edge(c);
    double l = len2(ab[0], ab[1]);
    bool shorter = false, near = true;
    for (int32_t k = 1; k <= m().cells.count; k++) {
      if (!vectorl_inlist(&cell(k).nodes, ab[0]) || !vectorl_inlist(&cell(k).nodes, ab[1])) continue;
      auto kk = longest_edge(k);
      double most = len2(kk[0], kk[1]);
      shorter = shorter || most > l * (1 + 1e-9);
      near = near && l > 0.81 * most;
    }
    if (!shorter || !near) continue;
    int32_t ring = ring_size(ab[0], ab[1]), before = m().cells.count;
    refine3_subdivide3(&m(), c, tet4, nullptr, 1);
    EXPECT_EQ(m().cells.count, before + ring);
    expect_sound(tet4);
    return;
  }
  ADD_FAILURE() << "no ring with a nearly longest edge";
}

// Seeded random refinement, ten levels: sound at every level.
TEST_F(Refine3, RandomRefinementStaysSound) {
  for (int32_t basis : {tet4, tet10}) {
    cube(basis);
    std::mt19937 rng(7);
    for (int level = 1; level <= 10; level++) {
      int32_t count = m().cells.count;
      for (int k = 0; k < 6; k++) {
        int32_t c = int32_t(rng() % count) + 1;
        if (cell(c).alive) refine3_subdivide3(&m(), c, basis, nullptr, 1);
      }
      SCOPED_TRACE(level);
      expect_sound(basis);
    }
  }
}

// An edge on the top of a periodic extrusion splits its image on the bottom too; the
// re-match pairs the two midpoints and links the cells across; a merge undoes both.
TEST_F(Refine3, PeriodicImageEdgeSplitsToo) {
  cube(tet4, "2", "PERIODIC EXTRUSION");
  int32_t nodes0 = m().nodes.count, c = 1;
  while (c <= m().cells.count && !(node(longest_edge(c)[0]).image > 0 && node(longest_edge(c)[1]).image > 0)) c++;
  ASSERT_LE(c, m().cells.count);
  auto ab = longest_edge(c);
  int32_t ia = node(ab[0]).image, ib = node(ab[1]).image;
  refine3_subdivide3(&m(), c, tet4, nullptr, 1);
  meshes_match_periodics(&m(), nodes0);
  auto midpoint = [&](int32_t a, int32_t b) {
    for (int32_t n = nodes0 + 1; n <= m().nodes.count; n++) {
      bool mid = true;
      for (int x = 0; x < 3; x++) mid = mid && std::fabs(at(n)[x] - (at(a)[x] + at(b)[x]) / 2) < 1e-12;
      if (mid) return n;
    }
    return 0;
  };
  int32_t M = midpoint(ab[0], ab[1]), iM = midpoint(ia, ib);
  ASSERT_GT(M, 0);
  ASSERT_GT(iM, 0);
  EXPECT_EQ(node(M).image, iM);
  EXPECT_EQ(node(iM).image, M);
  meshes_check_mesh(&m(), tet4, 1, 1);
  EXPECT_TRUE(mesh_questions.empty()) << (mesh_questions.empty() ? "" : mesh_questions[0]);
  double vol = 0;
  for (int32_t k = 1; k <= m().cells.count; k++) vol += cell(k).alive ? volume(k) : 0;
  EXPECT_NEAR(vol, 1, 1e-12);
  // The merge undoes both rings.
  for (int32_t k = 1; k <= m().cells.count; k++) cell(k).split = 0;
  int32_t merged = 0;
  for (int32_t k = 1; k <= m().cells.count; k++) merged += refine3_mergecell3(&m(), k, tet4, 1e9);
  EXPECT_GT(merged, 0);
  EXPECT_FALSE(node(M).alive);
  EXPECT_FALSE(node(iM).alive);
  meshes_check_mesh(&m(), tet4, 1, 1);
  EXPECT_TRUE(mesh_questions.empty()) << (mesh_questions.empty() ? "" : mesh_questions[0]);
}

// Another basis, and a ring that no start covers, stop with fatal errors.
TEST_F(Refine3, FatalStops) {
  cube(tet4);
  expect_fatal("BAD ORDER IN split_leg", [&] { refine3_subdivide3(&m(), 1, tri3, nullptr, 1); });
  EXPECT_EQ(refine3_depth(), 0);
  // Cut every link of a ring around an interior edge to its neighbour in the ring.
  for (int32_t c = 1; c <= m().cells.count; c++) {
    auto ab = longest_edge(c);
    if (!interior(ab)) continue;
    for (int32_t k = 1; k <= m().cells.count; k++)
      if (vectorl_inlist(&cell(k).nodes, ab[0]) && vectorl_inlist(&cell(k).nodes, ab[1]))
        for (int f = 0; f < 4; f++)
          if (cell(k).nodes.data[f] != ab[0] && cell(k).nodes.data[f] != ab[1]) cell(k).neighbour[f] = 0;
    std::string want = "NO RING ORDER FOR EDGE " + std::to_string(ab[0]) + "-" + std::to_string(ab[1]) + " IN order_cells";
    expect_fatal(want, [&] { refine3_subdivide3(&m(), c, tet4, nullptr, 1); });
    return;
  }
  ADD_FAILURE() << "no interior edge";
}

}  // namespace
