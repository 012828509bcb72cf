// Plot-mesh tests' solution meshes: the unit square as n x n squares, each cut into a
// lower-right and an upper-left triangle, with side nodes added for six- and nine-node
// cells, boundary ids 1-4 (bottom, right, top, left) and the boundary chains.
#pragma once
#include <cmath>
#include <map>
#include <memory>

#include "domain/domain.h"
#include "model/pdedat_record.h"
#include "plot/plot.h"
#include "tests/elements/meshbuild.h"
#include "tests/model/reports.h"

struct PlotGrid : MeshTest {
  ModelReports reports{stderr};
  std::unique_ptr<pde> p{new pde{}};
  plotdatavector v = {};
  void SetUp() override {
    MeshTest::SetUp();
    p->dimension = 2;
  }
  void TearDown() override {
    plot_free_2(&v);
    meshes_free(&p->mesh, 0);
    MeshTest::TearDown();
  }
  Mesh &M() { return p->mesh; }
  plotdata &D() { return v.data[v.count - 1]; }
  plotdata &add_data() {
    plot_one_more_0(&v);
    return D();
  }
  // The grid with cells of the basis; the chains of the four sides joined in one loop.
  void grid(int n, int basis) {
    Mesh &m = M();
    m.domain = &d;
    d.grid.box = {0, 0, 0, 1, 1, 0};
    std::vector<Xyz> xyz;
    for (int j = 0; j <= n; j++)
      for (int i = 0; i <= n; i++) xyz.push_back({double(i) / n, double(j) / n, 0});
    std::vector<Corners> cells;
    for (int j = 0; j < n; j++)
      for (int i = 0; i < n; i++) {
        int a = j * (n + 1) + i + 1, b = a + 1, c = b + n + 1, e = a + n + 1;
        cells.push_back({a, b, c});
        cells.push_back({a, c, e});
      }
    build_mesh(&m, xyz, cells, tri3, [&](const Corners &c) {
      const MeshNode &p = m.nodes.data[c[0] - 1], &q = m.nodes.data[c[1] - 1];
      return uint16_t(p.y == 0 && q.y == 0 ? 1 : p.x == 1 && q.x == 1 ? 2 : p.y == 1 && q.y == 1 ? 3 : 4);
    });
    for (int32_t c = 1; c <= m.cells.count; c++) m.cells.data[c - 1].region = m.cells.data[c - 1].region2 = 1;
    if (basis != tri3) raise(basis);
    chains();
  }
  // Side nodes at the straight positions, shared between the cells of a side.
  void raise(int basis) {
    Mesh &m = M();
    std::map<std::pair<long, long>, int32_t> at;
    auto node = [&](double x, double y) {
      std::pair<long, long> key = {std::lround(x * 1e6), std::lround(y * 1e6)};
      if (!at.count(key)) at[key] = meshes_new_node_1(&m, x, y, 0, 0);
      return at[key];
    };
    int nn = elements_functions[basis];
    for (int32_t c = 1; c <= m.cells.count; c++) {
      MeshCell &cell = m.cells.data[c - 1];
      vectorl_resize(&cell.nodes, nn, std::max<int32_t>(nn, cell.nodes.capacity));
      for (int s = 1; s <= 3; s++) {
        const uint8_t *row = elements_tri_sides[s - 1];
        const MeshNode &a = m.nodes.data[cell.nodes.data[row[1] - 1] - 1], &b = m.nodes.data[cell.nodes.data[row[2] - 1] - 1];
        double ax = a.x, ay = a.y, bx = b.x, by = b.y;
        if (basis == tri6) {
          cell.nodes.data[2 + s] = node((ax + bx) / 2, (ay + by) / 2);
        } else {
          cell.nodes.data[2 + s] = node((2 * ax + bx) / 3, (2 * ay + by) / 3);
          cell.nodes.data[5 + s] = node((ax + 2 * bx) / 3, (ay + 2 * by) / 3);
        }
      }
      for (int j = 3; j < nn; j++) meshes_new_nodecell(&m, cell.nodes.data[j], c);
      cell.basis = basis;
    }
    m.meshbasis = m.cellbasis = basis;
  }
  // Per side of the square its boundary nodes from its first corner; one loop 1..4.
  void chains() {
    Mesh &m = M();
    vector2l_new(&m.edgenodes, 4, 4);
    const double from[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}}, dir[4][2] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
    Loop loop = {};
    for (int e = 0; e < 4; e++) {
      std::vector<std::pair<double, int32_t>> on;
      for (int32_t n = 1; n <= m.nodes.count; n++) {
        double rx = m.nodes.data[n - 1].x - from[e][0], ry = m.nodes.data[n - 1].y - from[e][1];
        if (std::fabs(rx * dir[e][1] - ry * dir[e][0]) < 1e-9) on.push_back({rx * dir[e][0] + ry * dir[e][1], n});
      }
      std::sort(on.begin(), on.end());
      for (auto &o : on) vectorl_one_more(&m.edgenodes.data[e], o.second);
      Edge edge = {};
      edge.number = uint16_t(e + 1);
      edge.side_regions[0] = 1;
      table_add(&d.edges, edge);
      vectorl_one_more(&loop.edges, e + 1);
    }
    loop.number = 1;
    table_add(&d.loops, loop);
  }
  // Sets the segment from a to b on the newest plot data.
  void segment(double ax, double ay, double bx, double by) {
    plotdata &g = D();
    double dx = bx - ax, dy = by - ay, L = std::hypot(dx, dy);
    g.line = 1;
    double e[6] = {ax, ay, 0, bx, by, 0}, dir[3] = {dx / L, dy / L, 0};
    std::copy_n(e, 6, g.lineends);
    std::copy_n(dir, 3, g.direction);
    g.linelength = L;
    g.lineplane[0] = dir[1], g.lineplane[1] = -dir[0], g.lineplane[2] = 0;
    g.lineplane[3] = -(dir[1] * ax - dir[0] * ay);
  }
  // The integral of 1 over every plot mesh of the newest plot data.
  double integral() {
    double s = 0;
    for (int32_t k = 0; k < D().meshes.count; k++) {
      const tmesh &t = D().meshes.data[k];
      vectord one = {};
      vectord_new(&one, t.nodes.count, t.nodes.count);
      for (int32_t i = 0; i < t.nodes.count; i++) one.data[i] = 1;
      s += trimesh_tintegrate(&t, &one);
      vectord_free(&one);
    }
    return s;
  }
};
