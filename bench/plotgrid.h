// Plot-mesh benchmarks' meshes: the unit square as a grid of plot cells.
#pragma once
#include <cmath>
#include <cstdint>

#include "elements/basisfun.h"
#include "elements/elements.h"
#include "elements/quature.h"
#include "plot/trimesh.h"

namespace {

// The quadrature and node tables, once.
inline void setup() {
  static bool done = [] {
    quature_init_quadrature();
    basisfun_node_coords();
    return true;
  }();
  (void)done;
}

// An n x n grid of squares on the unit square, two triangles each, outer sides flagged;
// six-node cells carry their mid-side nodes on a (2n+1)^2 lattice.
// room: cell capacity as a multiple of the cells.
inline void grid(tmesh *t, int n, uint32_t basis, int room = 1) {
  int order = basis == tri6 ? 2 : 1, m = order * n + 1;
  int32_t nodes = m * m, cells = 2 * n * n;
  trimesh_resize_0(t, nodes, nodes, 0, cells, room * cells, basis, basis);
  for (int j = 0; j < m; j++)
    for (int i = 0; i < m; i++) t->nodes.data[j * m + i] = {double(i) / (m - 1), double(j) / (m - 1)};
  auto id = [&](int i, int j) { return j * m + i + 1; };
  int32_t c = 0;
  for (int j = 0; j < n; j++)
    for (int i = 0; i < n; i++) {
      int I = order * i, J = order * j, o = order;
      int tri[2][3][2] = {{{I, J}, {I + o, J}, {I + o, J + o}}, {{I, J}, {I + o, J + o}, {I, J + o}}};
      for (auto &v : tri) {
        int32_t *cn = t->cells.data + int64_t(c) * t->ncell;
        for (int k = 0; k < 3; k++) cn[k] = id(v[k][0], v[k][1]);
        if (order == 2)
          for (int s = 1; s <= 3; s++) cn[2 + s] = id((v[s % 3][0] + v[(s + 1) % 3][0]) / 2, (v[s % 3][1] + v[(s + 1) % 3][1]) / 2);
        t->source.data[c] = c + 1;
        t->flags.data[c] = 0;
        c++;
      }
    }
}

inline int side_of(int64_t cells) { return int(std::lround(std::sqrt(double(cells) / 2))); }

}  // namespace
