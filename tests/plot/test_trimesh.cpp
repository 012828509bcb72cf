// Plot meshes: the strip finders against a scan of the strips' cells and nodes,
// densify against exact integrals and a conforming boundary, linearise and squash
// against the parent cells' geometry, and segment meshes against exact integrals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <array>
#include <map>
#include <random>
#include <vector>

#include "elements/basisfun.h"
#include "elements/elements.h"
#include "elements/quature.h"
#include "plot/trimesh.h"
#include "tests/runtime/fatal_stop.h"

namespace {

struct PlotMesh : ::testing::Test {
  tmesh t = {};
  static void SetUpTestSuite() {
    quature_init_quadrature();
    basisfun_node_coords();
  }
  void TearDown() override { trimesh_free_0(&t); }
  int32_t *nodes_of(int32_t c) { return t.cells.data + (c - 1) * t.ncell; }
  pointd pos(int32_t n) { return t.nodes.data[n - 1]; }
  double area(int32_t c) {
    pointd a = pos(nodes_of(c)[0]), b = pos(nodes_of(c)[1]), d = pos(nodes_of(c)[2]);
    return 0.5 * ((b.x - a.x) * (d.y - a.y) - (d.x - a.x) * (b.y - a.y));
  }
  void make(uint32_t basis, const std::vector<pointd> &nodes, const std::vector<std::vector<int32_t>> &cells,
            const std::vector<uint16_t> &flags) {
    int32_t nn = int32_t(nodes.size()), nc = int32_t(cells.size());
    trimesh_resize_0(&t, nn, nn, 0, nc, nc, basis, basis);
    std::copy(nodes.begin(), nodes.end(), t.nodes.data);
    for (int32_t c = 1; c <= nc; c++) {
      std::copy(cells[c - 1].begin(), cells[c - 1].end(), nodes_of(c));
      t.source.data[c - 1] = c;
      t.flags.data[c - 1] = flags.empty() ? 0 : flags[c - 1];
    }
  }
};

// A jittered n x n grid of squares, each cut into two counter-clockwise triangles.
void grid(PlotMesh *m, int n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> jit(-0.2 / n, 0.2 / n);
  std::vector<pointd> nodes;
  for (int j = 0; j <= n; j++)
    for (int i = 0; i <= n; i++) {
      bool edge = i == 0 || j == 0 || i == n || j == n;
      nodes.push_back({double(i) / n + (edge ? 0 : jit(rng)), double(j) / n + (edge ? 0 : jit(rng))});
    }
  std::vector<std::vector<int32_t>> cells;
  for (int j = 0; j < n; j++)
    for (int i = 0; i < n; i++) {
      int32_t a = j * (n + 1) + i + 1, b = a + 1, c = a + n + 1, d = c + 1;
      cells.push_back({a, b, d});
      cells.push_back({a, d, c});
    }
  m->make(tri3, nodes, cells, {});
}

int32_t strip(double v, double lo, double d, int32_t n) { return std::clamp(int32_t((v - lo) / d + 1), 1, n); }

TEST_F(PlotMesh, CellFinderMatchesScanOfTheStripCells) {
  grid(this, 70, 1);
  trimesh_build_tfinder_0(&t);
  const tfinder &f = t.finder;
  int32_t nc = t.source.count;
  ASSERT_EQ(nc, 9800);
  // Strip ranges of every cell from its node box.
  std::vector<std::array<int32_t, 4>> range(nc + 1);
  for (int32_t c = 1; c <= nc; c++) {
    double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
    for (int j = 0; j < 3; j++) {
      pointd p = pos(nodes_of(c)[j]);
      x0 = std::min(x0, p.x), x1 = std::max(x1, p.x), y0 = std::min(y0, p.y), y1 = std::max(y1, p.y);
    }
    range[c] = {strip(x0, f.box[0], f.dx, f.nx), strip(x1, f.box[0], f.dx, f.nx), strip(y0, f.box[1], f.dy, f.ny),
                strip(y1, f.box[1], f.dy, f.ny)};
  }
  auto scan = [&](const pointd &p, double tol) {
    // Near misses may lie beyond the box by tol of its extent.
    double mx = tol * (f.box[2] - f.box[0]), my = tol * (f.box[3] - f.box[1]);
    if (p.x < f.box[0] - mx || p.x > f.box[2] + mx || p.y < f.box[1] - my || p.y > f.box[3] + my) return 0;
    int32_t ix = strip(p.x, f.box[0], f.dx, f.nx), iy = strip(p.y, f.box[1], f.dy, f.ny), best = 0;
    double bestval = -1e300;
    for (int32_t c = 1; c <= nc; c++) {
      const auto &r = range[c];
      if (ix < r[0] || ix > r[1] || iy < r[2] || iy > r[3]) continue;
      ElementFrame fr;
      trimesh_tlocalize_0(&fr, &t, c);
      double X[3] = {p.x, p.y, 0}, L[4] = {};
      elements_get_lcoords(L, X, &fr, 1e-6);
      double lo = std::min({L[0], L[1], L[2]});
      if (lo >= -1e-6) return c;
      if (tol > 0 && lo > -tol && lo > bestval) bestval = lo, best = c;
    }
    return best;
  };
  std::mt19937 rng(2);
  std::uniform_real_distribution<double> u(-0.05, 1.05);
  std::uniform_int_distribution<int32_t> cell(1, nc), node(1, t.nodes.count);
  int found = 0, near = 0;
  for (int k = 0; k < 10000; k++) {
    pointd p;
    if (k % 3 == 0) p = {u(rng), u(rng)};
    else if (k % 3 == 1) {
      int32_t *cn = nodes_of(cell(rng));
      int s = k % 7 % 3;
      pointd a = pos(cn[s]), b = pos(cn[(s + 1) % 3]);
      p = {(a.x + b.x) / 2, (a.y + b.y) / 2};
    } else {
      p = pos(node(rng));
    }
    for (double tol : {0.0, 0.001, 0.5}) {
      int32_t want = scan(p, tol), got = trimesh_find_tcell_0(&t, &p, tol);
      ASSERT_EQ(got, want) << p.x << " " << p.y << " tol " << tol;
      found += got != 0, near += tol > 0 && got && !scan(p, 0);
    }
  }
  EXPECT_GT(near, 0);
  EXPECT_GT(found, 20000);
  // The list form: the member shifted by 24 bits, strict matches first.
  tmeshlist l = {1, 1, &t};
  pointd p = pos(nodes_of(17)[0]);
  EXPECT_EQ(trimesh_find_tcell_1(&l, &p, 0.5), (1 << 24) + scan(p, 0));
}

TEST_F(PlotMesh, NodeFinderMatchesScanOfTheStripNodes) {
  grid(this, 70, 3);
  trimesh_build_tnode_finder(&t);
  const tfinder &f = t.finder;
  std::vector<pointd> ref(t.nodes.data, t.nodes.data + t.nodes.count);
  std::mt19937 rng(4);
  std::uniform_real_distribution<double> u(-0.1, 1.1), d(-0.003, 0.003);
  for (int k = 0; k < 10000; k++) {
    pointd p = k % 2 ? pointd{u(rng), u(rng)} : ref[rng() % ref.size()];
    p.x += d(rng), p.y += d(rng);
    double tol = k % 10 == 5 ? 0.3 : k % 3 ? 0.002 : 0.0;  // wide ones read whole strips
    int32_t ix = strip(p.x, f.box[0], f.dx, f.nx), iy = strip(p.y, f.box[1], f.dy, f.ny), want = 0;
    for (size_t n = 0; n < ref.size() && !want; n++)
      if (strip(ref[n].x, f.box[0], f.dx, f.nx) == ix && strip(ref[n].y, f.box[1], f.dy, f.ny) == iy &&
          pointd_distance2_0(&ref[n], &p) < tol * tol)
        want = int32_t(n + 1);
    if (!want) ref.push_back(p), want = int32_t(ref.size());
    ASSERT_EQ(trimesh_new_tnode(&t, &p, tol), want) << k;
  }
  EXPECT_EQ(t.nodes.count, int32_t(ref.size()));
  EXPECT_EQ(t.nodes3.count, t.nodes.count);
  for (int32_t i = 0; i < f.nx; i++) EXPECT_EQ(f.xstrips.data[i].count, t.nodes.count);
  for (int32_t i = 0; i < f.ny; i++) EXPECT_EQ(f.ystrips.data[i].count, t.nodes.count);
}

TEST_F(PlotMesh, RecordsAndFatalStops) {
  make(tri3, {{0, 0}, {1, 0}, {0, 1}}, {}, {});
  EXPECT_EQ(trimesh_new_tcell(&t, 5, 1), 1);
  EXPECT_EQ(t.source.capacity, 256);
  EXPECT_EQ(t.cells.capacity, 768);
  pointd p = {0.2, 0.2};
  EXPECT_EQ(fatal_stop([&] { trimesh_find_tcell_0(&t, &p, 0); }), "No Finder! IN trimesh_find_tcell_0");
  EXPECT_EQ(fatal_stop([&] { trimesh_new_tnode(&t, &p, 0); }), "Not Node Mode IN trimesh_new_tnode");
  // An empty node finder over a box: close points merge, every new node grows all strips.
  rectd box = {0, 0, 1, 1};
  trimesh_clear_tnode_finder(&t, &box, 0);
  EXPECT_EQ(trimesh_new_tnode(&t, &p, 0.01), 4);
  pointd q = {0.205, 0.2}, r = {0.9, 0.95};
  EXPECT_EQ(trimesh_new_tnode(&t, &q, 0.01), 4);
  EXPECT_EQ(trimesh_new_tnode(&t, &r, 0.01), 5);
  pointd corner = {0, 0};  // node 1 exists but is in no strip
  EXPECT_EQ(trimesh_new_tnode(&t, &corner, 0.01), 6);
  for (int k = 0; k < 300; k++) {  // the strips and the bucket grid grow
    pointd g = {(k % 17) / 17.0, (k / 17) / 18.0};
    EXPECT_EQ(trimesh_new_tnode(&t, &g, 1e-3), k == 0 ? 6 : 6 + k);
  }
  EXPECT_EQ(trimesh_new_tnode(&t, &corner, 0.01), 6);
  for (int32_t i = 0; i < t.finder.nx; i++) EXPECT_EQ(t.finder.xstrips.data[i].count, 305);
  EXPECT_FALSE(t.finder.ready);
}

TEST_F(PlotMesh, FindersOverBoxesWithoutExtent) {
  // Nodes on one horizontal line, then a box of one point: one strip where the box has
  // no height or width, and lookups stay in it.
  make(tri3, {{0, 0}, {1, 0}, {2, 0}}, {{1, 2, 3}}, {});
  trimesh_build_tnode_finder(&t);
  EXPECT_EQ(t.finder.ny, 1);
  pointd p = {1, 0.0001}, q = {1.5, -3};
  EXPECT_EQ(trimesh_new_tnode(&t, &p, 0.001), 2);
  EXPECT_EQ(trimesh_new_tnode(&t, &q, 0.001), 4);
  rectd dot = {0.5, 0.5, 0.5, 0.5};
  trimesh_clear_tnode_finder(&t, &dot, 0);
  EXPECT_EQ(trimesh_new_tnode(&t, &p, 0.001), 5);
  EXPECT_EQ(trimesh_new_tnode(&t, &p, 0.001), 5);
  trimesh_build_tfinder_0(&t);
  EXPECT_EQ(trimesh_find_tcell_0(&t, &p, 0), 0);
}

// The unit square in 2 x 2 squares of two triangles each, of 3, 6 or 9 nodes; outer
// sides flagged, every other cell curved.
void square(PlotMesh *m, int order) {
  int k = 2 * order + 1;  // lattice points per row
  std::vector<pointd> nodes;
  for (int j = 0; j < k; j++)
    for (int i = 0; i < k; i++) nodes.push_back({double(i) / (k - 1), double(j) / (k - 1)});
  auto id = [&](int i, int j) { return j * k + i + 1; };
  std::vector<std::vector<int32_t>> cells;
  std::vector<uint16_t> flags;
  for (int j = 0; j < 2 * order; j += order)
    for (int i = 0; i < 2 * order; i += order) {
      int a[2] = {i, j}, b[2] = {i + order, j}, c[2] = {i + order, j + order}, d[2] = {i, j + order};
      for (auto tri : {std::array<int *, 3>{a, b, c}, std::array<int *, 3>{a, c, d}}) {
        std::vector<int32_t> cn(3 * order);
        uint16_t fl = cells.size() % 2 ? TRIMESH_CURVED : 0;
        for (int s = 1; s <= 3; s++) {  // side s runs from vertex s+1 to vertex s+2
          int *p = tri[s % 3], *q = tri[(s + 1) % 3];
          cn[s - 1] = id(tri[s - 1][0], tri[s - 1][1]);
          for (int r = 1; r < order; r++)  // node 3+s near the start, 6+s near the end
            cn[3 * r + s - 1] = id(p[0] + r * (q[0] - p[0]) / order, p[1] + r * (q[1] - p[1]) / order);
          bool outer = (p[0] == q[0] && p[0] % (2 * order) == 0) || (p[1] == q[1] && p[1] % (2 * order) == 0);
          if (outer) fl |= uint16_t(1 << (s - 1));
        }
        cells.push_back(cn);
        flags.push_back(fl);
      }
    }
  m->make(order == 1 ? tri3 : order == 2 ? tri6 : tri9, nodes, cells, flags);
}
void square6(PlotMesh *m) { square(m, 2); }

TEST_F(PlotMesh, DensifiedSquareIntegratesAndConforms) {
  for (int order = 1; order <= 3; order++) {
    SCOPED_TRACE(order);
    square(this, order);
    int32_t lattice = (2 * order + 1) * (2 * order + 1);
    rectd window = {-1, -1, 2, 2};
    std::vector<int32_t> before(t.cells.data, t.cells.data + t.cells.count);
    EXPECT_EQ(trimesh_tdensify_1(&t, 2.0, &window, nullptr), lattice);  // nothing to split
    EXPECT_EQ(trimesh_tdensify_1(&t, 0.0, &window, nullptr), lattice);  // nothing to ask for
    EXPECT_EQ(std::vector<int32_t>(t.cells.data, t.cells.data + t.cells.count), before);
    EXPECT_EQ(t.nodes.count, lattice);

    vectorl map = {};
    trimesh_tdensify_1(&t, 0.05, &window, &map);
    vectorl_free(&map);
    ASSERT_GT(t.source.count, 50);
    // Quadratics are exact in six- and nine-node cells, linear fields in all.
    vectord one = {}, f = {};
    vectord_resize(&one, t.nodes.count, t.nodes.count);
    vectord_resize(&f, t.nodes.count, t.nodes.count);
    for (int32_t n = 1; n <= t.nodes.count; n++)
      one.data[n - 1] = 1, f.data[n - 1] = order == 1 ? pos(n).x + pos(n).y : pos(n).x * pos(n).y;
    EXPECT_NEAR(trimesh_tintegrate(&t, &one), 1, 1e-13);
    EXPECT_NEAR(trimesh_tintegrate(&t, &f), order == 1 ? 1 : 0.25, 1e-13);
    vectord_free(&one), vectord_free(&f);
    // Every cell counter-clockwise; every side met twice in opposite directions with
    // the same inner nodes, or once on the square's outline, where it is flagged.
    std::map<std::pair<int32_t, int32_t>, std::pair<std::vector<int32_t>, bool>> sides;
    double longest = 0;
    for (int32_t c = 1; c <= t.source.count; c++) {
      EXPECT_GT(area(c), 0) << c;
      int32_t *cn = nodes_of(c);
      for (int s = 1; s <= 3; s++) {
        int32_t a = cn[s % 3], b = cn[(s + 1) % 3];
        std::vector<int32_t> inner;
        for (int r = 1; r < order; r++) inner.push_back(cn[3 * r + s - 1]);
        sides[{a, b}] = {inner, (t.flags.data[c - 1] >> (s - 1)) & 1};
        longest = std::max(longest, pointd_distance_0(&t.nodes.data[a - 1], &t.nodes.data[b - 1]));
      }
    }
    // A side stays whole below (2 order - 0.5) spacings.
    EXPECT_LT(longest, (2 * order - 0.5) * 0.05);
    double flagged = 0;
    for (const auto &[ab, m] : sides) {
      auto back = sides.find({ab.second, ab.first});
      pointd a = pos(ab.first), b = pos(ab.second);
      if (back != sides.end()) {
        EXPECT_EQ(std::vector<int32_t>(back->second.first.rbegin(), back->second.first.rend()), m.first);
        EXPECT_FALSE(m.second);
      } else {
        bool outline = (a.x == b.x && (a.x == 0 || a.x == 1)) || (a.y == b.y && (a.y == 0 || a.y == 1));
        EXPECT_TRUE(outline && m.second) << a.x << "," << a.y << " " << b.x << "," << b.y;
        flagged += pointd_distance_0(&a, &b);
      }
    }
    EXPECT_NEAR(flagged, 4, 1e-12);
    trimesh_free_0(&t);
  }
}

// One straight cell of 6 or 9 nodes with every pattern of flagged sides.
TEST_F(PlotMesh, LinearisedSubSidesCoverTheFlaggedSides) {
  const pointd V[3] = {{0, 0}, {2, 0}, {0.5, 1.5}};
  for (uint32_t basis : {tri6, tri9}) {
    const LocalPoint *lp = basisfun_node_table(basis);
    std::vector<pointd> nodes;
    std::vector<int32_t> cell;
    for (int k = 0; k < elements_functions[basis]; k++) {
      const double *L = lp[k].L;
      nodes.push_back({L[0] * V[0].x + L[1] * V[1].x + L[2] * V[2].x, L[0] * V[0].y + L[1] * V[1].y + L[2] * V[2].y});
      cell.push_back(k + 1);
    }
    for (uint16_t p = 0; p < 8; p++) {
      uint16_t q = uint16_t(7 - p), code = 0x5A80;
      make(basis, nodes, {cell}, {uint16_t(p | q << 4 | TRIMESH_CURVED | code)});
      tmesh out = {};
      vectord u = {}, v = {};
      vectord_resize(&u, t.nodes.count, t.nodes.count);
      for (int32_t n = 1; n <= t.nodes.count; n++) u.data[n - 1] = pos(n).x + 2 * pos(n).y;
      trimesh_tlinearize_1(&out, &v, &t, 1, &u);
      ASSERT_EQ(out.ncell, 3);
      double sum = 0, cover[2] = {0, 0}, want[2] = {0, 0};
      for (int s = 1; s <= 3; s++) {
        double len = pointd_distance_0(&V[s % 3], &V[(s + 1) % 3]);
        want[0] += (p >> (s - 1) & 1) * len, want[1] += (q >> (s - 1) & 1) * len;
      }
      for (int32_t c = 1; c <= out.source.count; c++) {
        const int32_t *cn = out.cells.data + 3 * (c - 1);
        const pointd &a = out.nodes.data[cn[0] - 1], &b = out.nodes.data[cn[1] - 1], &d = out.nodes.data[cn[2] - 1];
        sum += 0.5 * ((b.x - a.x) * (d.y - a.y) - (d.x - a.x) * (b.y - a.y));
        uint16_t fl = out.flags.data[c - 1];
        EXPECT_EQ(fl & 0xFF08, code & 0xFF00);
        for (int s = 1; s <= 3; s++)
          for (int g = 0; g < 2; g++) {
            if (!(fl >> (s - 1 + 4 * g) & 1)) continue;
            const pointd &e0 = out.nodes.data[cn[s % 3] - 1], &e1 = out.nodes.data[cn[(s + 1) % 3] - 1];
            cover[g] += pointd_distance_0(&e0, &e1);
            bool on = false;  // both ends on one parent side flagged in this group
            for (int ps = 1; ps <= 3; ps++) {
              const pointd &s0 = V[ps % 3], &s1 = V[(ps + 1) % 3];
              auto off = [&](const pointd &z) { return (s1.x - s0.x) * (z.y - s0.y) - (s1.y - s0.y) * (z.x - s0.x); };
              on |= ((g ? q : p) >> (ps - 1) & 1) && std::fabs(off(e0)) < 1e-12 && std::fabs(off(e1)) < 1e-12;
            }
            EXPECT_TRUE(on) << basis << " pattern " << p << " sub " << c << " side " << s;
          }
        for (int j = 0; j < 3; j++)  // the values stay the linear field
          EXPECT_NEAR(v.data[cn[j] - 1], out.nodes.data[cn[j] - 1].x + 2 * out.nodes.data[cn[j] - 1].y, 1e-12);
      }
      EXPECT_NEAR(sum, 1.5, 1e-12);
      EXPECT_NEAR(cover[0], want[0], 1e-12) << basis << " pattern " << p;
      EXPECT_NEAR(cover[1], want[1], 1e-12) << basis << " pattern " << p;
      trimesh_free_0(&out);
      vectord_free(&u), vectord_free(&v);
    }
  }
  // The whole-mesh form splits cell after cell as the one-cell form does.
  auto sub = [](const tmesh &m, int32_t k) {  // corners and flags of cell k
    const int32_t *cn = m.cells.data + 3 * (k - 1);
    const pointd *P = m.nodes.data;
    return std::array<double, 7>{P[cn[0] - 1].x, P[cn[0] - 1].y, P[cn[1] - 1].x, P[cn[1] - 1].y,
                                 P[cn[2] - 1].x, P[cn[2] - 1].y, double(m.flags.data[k - 1])};
  };
  square6(this);
  std::vector<std::array<double, 7>> want;
  vectord u = {}, v = {};
  vectord_resize(&u, t.nodes.count, t.nodes.count);
  for (int32_t c = 1; c <= 8; c++) {
    tmesh out = {};
    trimesh_tlinearize_1(&out, &v, &t, c, &u);
    for (int32_t k = 1; k <= out.source.count; k++) want.push_back(sub(out, k));
    trimesh_free_0(&out);
  }
  vectord_free(&u), vectord_free(&v);
  trimesh_tlinearize_0(&t);
  ASSERT_EQ(t.basis * 100 + t.source.count, tri3 * 100 + 32u);
  for (int32_t c = 1; c <= 32; c++) EXPECT_EQ(sub(t, c), want[c - 1]) << c;
  for (int32_t c = 1; c <= 32; c++) EXPECT_EQ(t.source.data[c - 1], (c + 3) / 4);
}

TEST_F(PlotMesh, SquashHandsSidesAcross) {
  // Cell 1 has one node; cell 3 collapses between cell 2, which runs 3 -> 1, and cell 4,
  // which runs 1 -> 3 and has the same source. Its side 1 -> 3 carries code 5, its side
  // 3 -> 1 the same-region bit (and code 6), whichever of its sides collapses.
  struct Case {
    std::vector<int32_t> nodes;
    uint16_t flags;
  } cases[] = {{{1, 1, 3}, uint16_t(1 | 5 << 7 | 2 | 32 | 6 << 10)},   // vertices 1 = 2
               {{3, 1, 1}, uint16_t(2 | 5 << 10 | 4 | 64 | 6 << 13)},  // vertices 2 = 3
               {{1, 3, 1}, uint16_t(4 | 5 << 13 | 1 | 16 | 6 << 7)}};  // vertices 3 = 1
  for (const Case &k : cases) {
    make(tri3, {{0, 0}, {1, 0}, {0, 1}, {-1, 0.5}}, {{1, 1, 1}, {1, 2, 3}, k.nodes, {1, 3, 4}}, {7, 0, k.flags, 0});
    t.source.data[3] = t.source.data[2];
    trimesh_tsquash(&t);
    ASSERT_EQ(t.source.count, 2);
    EXPECT_EQ(std::vector<int32_t>(t.cells.data, t.cells.data + 6), (std::vector<int32_t>{1, 2, 3, 1, 3, 4}));
    EXPECT_EQ(t.flags.data[0], 2 | 32);        // cell 2's side 2, no code (another source)
    EXPECT_EQ(t.flags.data[1], 4 | 5 << 13);  // cell 4's side 3 with the code
  }
}

TEST_F(PlotMesh, SegmentsAlongAPath) {
  // x^3 on one four-node segment of [0, 1]: start, end, then the thirds.
  make(lin4, {{0, 0}, {1, 0}, {1. / 3, 0}, {2. / 3, 0}}, {{1, 2, 3, 4}}, {});
  auto cube = [&] {
    vectord u = {};
    vectord_resize(&u, t.nodes.count, t.nodes.count);
    for (int32_t n = 1; n <= t.nodes.count; n++) u.data[n - 1] = std::pow(pos(n).x, 3);
    double s = trimesh_tintegrate(&t, &u);
    vectord_free(&u);
    return s;
  };
  EXPECT_NEAR(cube(), 0.25, 1e-15);
  trimesh_tdensify_1d(&t, 0);
  EXPECT_EQ(t.source.count, 1);
  trimesh_tdensify_1d(&t, 0.1);
  EXPECT_EQ(t.source.count, 3);
  EXPECT_EQ(t.nodes.count, 10);
  EXPECT_NEAR(cube(), 0.25, 1e-14);
  trimesh_order_1d(&t);
  trimesh_tag_tmesh(&t);
  for (int32_t n = 2; n <= t.nodes.count; n++) EXPECT_LT(pos(n - 1).x, pos(n).x);
  EXPECT_EQ(t.tags.data[0], 2);
  EXPECT_EQ(t.tags.data[9], 3);
  for (int32_t n = 2; n <= 9; n++) EXPECT_EQ(t.tags.data[n - 1], 1);
  EXPECT_NEAR(cube(), 0.25, 1e-14);
}


// The text dump: nodes, then cells with area, source, side codes and flag letters.
TEST_F(PlotMesh, DumpLayout) {
  make(tri3, {{0, 0}, {1, 0}, {0, 0.5}}, {{1, 2, 3}}, {uint16_t(TRIMESH_CURVED | 4 | 64 | 2 | 5 << 13 | 3 << 7)});
  t.source.data[0] = 12;
  char *buf = nullptr;
  size_t len = 0;
  FILE *f = open_memstream(&buf, &len);
  trimesh_print_0(f, &t, "plot");
  fclose(f);
  std::string rule(80, '-');
  EXPECT_EQ(std::string(buf, len), "TMESH plot\n\n    3 NODES\n" + rule +
                                       "\n    1|      0.00      0.00 |\n    2|  1.000000      0.00 |\n"
                                       "    3|      0.00  0.500000 |\n\n    1 CELLS\n" + rule +
                                       "\n    1|     1     2     3 | Aj 2.500e-01 | ref 12 | F503 | cfb.\n");
  free(buf);
}
}  // namespace
