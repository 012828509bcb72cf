// Links across block seams through the corner index against the plain search of every
// later cell: on triangles cut from a jittered grid, each given its own three nodes
// (moved by up to 1e-3, about the tolerance) and some twice (so that a side has more than one match and the first must win), both
// give the same neighbours.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "elements/meshes.h"
#include "mesher/mesh2.h"

namespace {

// The search the index replaces: every later live cell, lowest number and side first.
void plain_links(Mesh *m) {
  auto node = [m](int32_t n) -> const MeshNode & { return m->nodes.data[n - 1]; };
  auto near = [&](int32_t u, int32_t v, double tol) { return std::hypot(node(u).x - node(v).x, node(u).y - node(v).y) < tol; };
  for (int32_t c = 1; c <= m->cells.count; c++)
    for (int s = 0; s < 3; s++) {
      MeshCell &C = m->cells.data[c - 1];
      if (!C.alive || C.neighbour[s] >= 1) continue;
      int32_t p = C.nodes.data[(s + 1) % 3], q = C.nodes.data[(s + 2) % 3];
      double tol = 0.01 * std::sqrt(std::fabs(meshes_cell_area_1(m, c)));
      bool found = false;
      for (int32_t d = c + 1; d <= m->cells.count && !found; d++)
        for (int t = 0; t < 3 && !found && m->cells.data[d - 1].alive; t++) {
          MeshCell &D = m->cells.data[d - 1];
          if (near(p, D.nodes.data[(t + 2) % 3], tol) && near(q, D.nodes.data[(t + 1) % 3], tol))
            C.neighbour[s] = d, D.neighbour[t] = c, found = true;
        }
    }
}

TEST(CornerGrid, SeamLinksMatchThePlainSearch) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> jitter(-0.3, 0.3);
  const int k = 12;
  std::vector<std::array<double, 2>> grid;
  for (int i = 0; i <= k; i++)
    for (int j = 0; j <= k; j++) grid.push_back({i + (i % k ? jitter(rng) : 0), j * 0.5 + (j % k ? jitter(rng) * 0.5 : 0)});
  Mesh a{}, b{};
  for (Mesh *m : {&a, &b}) {
    m->cellbasis = tri3;
    std::mt19937 pick(5);
    std::uniform_real_distribution<double> wobble(-1e-3, 1e-3);
    for (int i = 0; i < k; i++)
      for (int j = 0; j < k; j++) {
        int g[4] = {i * (k + 1) + j, (i + 1) * (k + 1) + j, (i + 1) * (k + 1) + j + 1, i * (k + 1) + j + 1};
        int tris[2][3] = {{g[0], g[1], g[2]}, {g[0], g[2], g[3]}};
        for (auto &t : tris)
          for (int copies = pick() % 5 == 0 ? 2 : 1; copies > 0; copies--) {
            int32_t c = meshes_new_cell_0(m);
            m->cells.data[c - 1].basis = tri3;
            // Each copy of a point moved a little, within the tolerance or near it.
            for (int v = 0; v < 3; v++)
              m->cells.data[c - 1].nodes.data[v] =
                  meshes_new_node_0(m, grid[t[v]][0] + wobble(pick), grid[t[v]][1] + wobble(pick), 0);
            if (pick() % 17 == 0) m->cells.data[c - 1].alive = 0;
          }
      }
  }
  mesh2_resolve_table_nabors2(&a);
  plain_links(&b);
  int linked = 0;
  for (int32_t c = 1; c <= a.cells.count; c++)
    for (int s = 0; s < 3; s++) {
      EXPECT_EQ(a.cells.data[c - 1].neighbour[s], b.cells.data[c - 1].neighbour[s]) << c << "," << s;
      linked += a.cells.data[c - 1].neighbour[s] > 0;
    }
  EXPECT_GT(linked, 4 * k * k);
  meshes_free(&a, 0);
  meshes_free(&b, 0);
}

}  // namespace
