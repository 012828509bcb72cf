// trimesh_internal: the cell and node accessors, bucket grid and box helpers that the
// plot mesh module's files share.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "elements/elements.h"
#include "plot/trimesh.h"

inline int32_t *cell_nodes(const tmesh *t, int32_t c) { return t->cells.data + int64_t(c - 1) * t->ncell; }
inline const pointd &node_pos(const tmesh *t, int32_t n) { return t->nodes.data[n - 1]; }

// Vertex k (1-based) as a local point.
inline LocalPoint vertex_point(int k) {
  LocalPoint L = {{0, 0, 0, 0}};
  L.L[k - 1] = 1;
  return L;
}

// The local point a fraction u of the way from La to Lb.
inline LocalPoint lerp(const LocalPoint &La, const LocalPoint &Lb, double u) {
  LocalPoint L;
  for (int i = 0; i < 4; i++) L.L[i] = (1 - u) * La.L[i] + u * Lb.L[i];
  return L;
}

// Buckets over the finder box that list the items near them. Cell mode: a cell is
// listed in every bucket its widened node box meets, in increasing cell number, so the
// cells that can hold a point are all in the point's bucket. Node mode: a node is
// listed in the bucket of its position (clamped to the grid), and the grid is doubled
// as the nodes grow, so the nodes within a tolerance lie in the buckets the
// tolerance box meets.
struct tfinder_index {
  int32_t gx = 1, gy = 1;        // buckets along x and y
  double x0 = 0, y0 = 0, bw = 1, bh = 1;
  std::vector<int32_t> start;    // cell mode: bucket b lists items[start[b] .. start[b+1])
  std::vector<int32_t> items;
  std::vector<int32_t> head;     // node mode: first node of each bucket (0 none)
  std::vector<int32_t> next;     // node mode: next node in the same bucket, per node
  int32_t first = 1;             // node mode: the first node in the strips
  int32_t bx(double x) const { return std::clamp(int32_t(std::floor((x - x0) / bw)), 0, gx - 1); }
  int32_t by(double y) const { return std::clamp(int32_t(std::floor((y - y0) / bh)), 0, gy - 1); }
  // About `per` items to a bucket over the box of the finder.
  void grid(const tfinder *f, int64_t items, double per) {
    double w = f->box[2] - f->box[0], h = f->box[3] - f->box[1];
    double cells = std::clamp(double(items) / per, 1.0, 4e7);
    double side = (w > 0 && h > 0) ? std::sqrt(w * h / cells) : std::max(w, h) / cells;
    if (!(side > 0)) side = 1;
    gx = int32_t(std::clamp(std::ceil(w / side), 1.0, 65536.0));
    gy = int32_t(std::clamp(std::ceil(h / side), 1.0, 65536.0));
    x0 = f->box[0], y0 = f->box[1];
    bw = w > 0 ? w / gx : 1, bh = h > 0 ? h / gy : 1;
  }
};

void set_bit(vectort *v, int32_t i);
void node_hull(const tmesh *t, double *b);
void node_box(const tmesh *t, int32_t c, double *b);
