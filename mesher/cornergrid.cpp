// cornergrid: the corner index. A bucket's key packs its three clamped grid indexes,
// 21 bits each; clamping keeps neighbouring buckets neighbours, so a query that looks
// one bucket around its own finds every corner within the bucket size.
#include "mesher/cornergrid.h"

#include <algorithm>
#include <cmath>

#include "elements/meshes.h"
#include "runtime/rtlib.h"

int cornergrid_init() {
  TRACE("cornergrid");
  return 0;
}

static const int64_t LIMIT = (int64_t(1) << 20) - 2;

static int64_t index_of(double v, double origin, double size) {
  double k = std::floor((v - origin) / size);
  if (!(k > -double(LIMIT))) return -LIMIT;  // NaN too
  if (k > double(LIMIT)) return LIMIT;
  return int64_t(k);
}

static uint64_t key_of(const int64_t *k) {
  return (uint64_t(k[0] + LIMIT + 1) << 42) | (uint64_t(k[1] + LIMIT + 1) << 21) | uint64_t(k[2] + LIMIT + 1);
}

static const double *coords(const Mesh *m, int32_t n, double *xyz) {
  const MeshNode &node = m->nodes.data[n - 1];
  xyz[0] = node.x, xyz[1] = node.y, xyz[2] = node.z;
  return xyz;
}

void cornergrid_build(CornerGrid *g, const Mesh *m, int corners, int dims, double size) {
  TRACE("cornergrid_build");
  g->size = size > 0 && std::isfinite(size) ? size : 1;
  g->dims = dims;
  int32_t nodes = m->nodes.count;
  // 1. Each node's live cells (as a corner), counted and then placed.
  g->first.assign(size_t(nodes) + 2, 0);
  auto each_corner = [&](auto visit) {
    for (int32_t c = 1; c <= m->cells.count; c++) {
      const MeshCell &cell = m->cells.data[c - 1];
      if (!cell.alive) continue;
      for (int i = 0; i < corners && i < cell.nodes.count; i++) {
        int32_t n = cell.nodes.data[i];
        if (n >= 1 && n <= nodes) visit(n, c);
      }
    }
  };
  each_corner([&](int32_t n, int32_t) { g->first[n + 1]++; });
  for (int32_t n = 1; n <= nodes + 1; n++) g->first[n] += g->first[n - 1];
  g->cells.assign(size_t(g->first[nodes + 1]), 0);
  std::vector<int32_t> fill(g->first.begin(), g->first.end());
  each_corner([&](int32_t n, int32_t c) { g->cells[fill[n]++] = c; });
  // 2. The used nodes by bucket, from the low corner of their box.
  g->origin[0] = g->origin[1] = g->origin[2] = 0;
  bool any = false;
  double xyz[3];
  for (int32_t n = 1; n <= nodes; n++) {
    if (g->first[n] == g->first[n + 1]) continue;
    coords(m, n, xyz);
    for (int a = 0; a < 3; a++) g->origin[a] = any ? std::min(g->origin[a], xyz[a]) : xyz[a];
    any = true;
  }
  g->keys.clear();
  for (int32_t n = 1; n <= nodes; n++) {
    if (g->first[n] == g->first[n + 1]) continue;
    coords(m, n, xyz);
    int64_t k[3] = {0, 0, 0};
    for (int a = 0; a < dims; a++) k[a] = index_of(xyz[a], g->origin[a], g->size);
    g->keys.push_back({key_of(k), n});
  }
  std::sort(g->keys.begin(), g->keys.end());
}

void cornergrid_cells_near(const CornerGrid *g, const Mesh *m, const double *p, double tol, int32_t after,
                           std::vector<int32_t> *out) {
  out->clear();
  int64_t k[3] = {0, 0, 0};
  for (int a = 0; a < g->dims; a++) k[a] = index_of(p[a], g->origin[a], g->size);
  int64_t reach[3] = {1, 1, g->dims == 3 ? 1 : 0};
  double xyz[3];
  for (int64_t i = -reach[0]; i <= reach[0]; i++)
    for (int64_t j = -reach[1]; j <= reach[1]; j++)
      for (int64_t l = -reach[2]; l <= reach[2]; l++) {
        int64_t b[3] = {std::clamp(k[0] + i, -LIMIT, LIMIT), std::clamp(k[1] + j, -LIMIT, LIMIT),
                        std::clamp(k[2] + l, -LIMIT, LIMIT)};
        uint64_t key = key_of(b);
        auto lo = std::lower_bound(g->keys.begin(), g->keys.end(), std::make_pair(key, int32_t(0)));
        for (auto it = lo; it != g->keys.end() && it->first == key; ++it) {
          coords(m, it->second, xyz);
          bool near = true;
          for (int a = 0; a < g->dims; a++) near = near && std::fabs(xyz[a] - p[a]) <= tol;
          if (!near) continue;
          for (int32_t q = g->first[it->second]; q < g->first[it->second + 1]; q++)
            if (g->cells[q] > after) out->push_back(g->cells[q]);
        }
      }
  std::sort(out->begin(), out->end());
  out->erase(std::unique(out->begin(), out->end()), out->end());
}
