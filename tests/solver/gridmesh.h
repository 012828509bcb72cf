// A structured mesh of the rectangle [0,w] x [0,h] in nx x ny squares, two triangles
// each (tri3 or tri6, counter-clockwise, tri6 side nodes at the middles), neighbours
// across shared sides; boundary nodes and open sides take the ids id(x, y) gives
// (corners kind 1, other boundary nodes kind 2), cells the region of their centroid.
#pragma once
#include <algorithm>
#include <functional>
#include <map>
#include <utility>

#include "elements/elements.h"
#include "elements/meshes.h"

inline void grid_mesh(Mesh *m, int nx, int ny, int32_t basis, double w, double h,
                      const std::function<uint16_t(double, double)> &id, int (*region)(double, double) = nullptr) {
  int o = basis == tri6 ? 2 : 1, fx = o * nx + 1, fy = o * ny + 1;
  m->meshbasis = m->cellbasis = basis;
  m->cellstep = m->nodestep = 500;
  for (int j = 0; j < fy; j++)
    for (int i = 0; i < fx; i++) {
      int32_t n = meshes_new_node_1(m, w * i / (fx - 1), h * j / (fy - 1), 0, 0);
      MeshNode &nd = m->nodes.data[n - 1];
      bool side = i == 0 || i == fx - 1, end = j == 0 || j == fy - 1;
      if (side || end) nd.kind = side && end ? 1 : 2, nd.id = id(nd.x, nd.y);
    }
  auto at = [&](int i, int j) { return j * fx + i + 1; };
  std::map<std::pair<int, int>, std::pair<int, int>> open;
  for (int j = 0; j < ny; j++)
    for (int i = 0; i < nx; i++) {
      int I = o * i, J = o * j;
      int tri[2][3][2] = {{{I, J}, {I + o, J}, {I + o, J + o}}, {{I, J}, {I + o, J + o}, {I, J + o}}};
      for (auto &t : tri) {
        int32_t c = meshes_new_cell_0(m);
        MeshCell &cell = m->cells.data[c - 1];
        cell.basis = basis;
        cell.region = 1;
        int v[6];
        for (int k = 0; k < 3; k++) v[k] = at(t[k][0], t[k][1]);
        if (basis == tri6)
          for (int s = 0; s < 3; s++) {
            int a = (s + 1) % 3, b = (s + 2) % 3;
            v[3 + s] = at((t[a][0] + t[b][0]) / 2, (t[a][1] + t[b][1]) / 2);
          }
        int nn = basis == tri6 ? 6 : 3;
        for (int k = 0; k < nn; k++) cell.nodes.data[k] = v[k], meshes_new_nodecell(m, v[k], c);
        double cx = 0, cy = 0;
        for (int k = 0; k < 3; k++) cx += m->nodes.data[v[k] - 1].x / 3, cy += m->nodes.data[v[k] - 1].y / 3;
        if (region) cell.region = uint16_t(region(cx, cy));
        for (int s = 0; s < 3; s++) {
          int a = v[(s + 1) % 3], b = v[(s + 2) % 3];
          std::pair<int, int> key{std::min(a, b), std::max(a, b)};
          auto it = open.find(key);
          if (it == open.end()) {
            open[key] = {c, s};
            continue;
          }
          cell.neighbour[s] = it->second.first;
          m->cells.data[it->second.first - 1].neighbour[it->second.second] = c;
          open.erase(it);
        }
      }
    }
  for (auto &[key, cs] : open) {
    const MeshNode &a = m->nodes.data[key.first - 1], &b = m->nodes.data[key.second - 1];
    MeshCell &cell = m->cells.data[cs.first - 1];
    cell.bdid[cs.second] = id((a.x + b.x) / 2, (a.y + b.y) / 2);
    cell.hasbound = 1;
  }
}
