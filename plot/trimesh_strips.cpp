// trimesh_strips: the strip finders of plot meshes: strips of cell or node bits over the
// mesh box, the bucket grids beside them, and lookups of the cell or node at a point.
#include "plot/trimesh.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "elements/basisfun.h"
#include "elements/elements.h"
#include "elements/quature.h"
#include "graphics/gag.h"
#include "graphics/gag1d.h"
#include "graphics/gag3d.h"
#include "graphics/gagscren.h"
#include "plot/trimesh_internal.h"
#include "runtime/bopmem.h"
#include "runtime/rtlib.h"
#include "runtime/strings.h"

static tfinder_index *index_of(tfinder *f) {
  if (!f->index) f->index = new tfinder_index;
  return f->index;
}

// ---- Strip finder -------------------------------------------------------------------

// The strip geometry over the box (x0, y0)-(x1, y1) with strips of `items` bits.
static void tfinder_box(tfinder *f, double x0, double y0, double x1, double y1, int32_t items) {
  double size = f->size == 0 ? 0.05 : f->size;
  int32_t n = int32_t(1 / size);
  double w = x1 - x0, h = y1 - y0;
  f->box[0] = x0 - 0.001 * w, f->box[2] = x1 + 0.001 * w;
  f->box[1] = y0 - 0.001 * h, f->box[3] = y1 + 0.001 * h;
  double dx = (f->box[2] - f->box[0]) / (n - 0.0001), dy = (f->box[3] - f->box[1]) / (n - 0.0001);
  double m = 0.1 * std::max(dx, dy);
  dx = std::max(dx, m), dy = std::max(dy, m);
  // A box of one point has no extent to divide: one strip of unit size each way.
  if (dx == 0) dx = dy = 1;
  f->dx = dx, f->dy = dy;
  // At least one strip each way, so that a mesh on one line still has a strip to hold it.
  f->nx = uint16_t(std::max(int32_t(w * 1.002 / dx + 0.99999), 1));
  f->ny = uint16_t(std::max(int32_t(h * 1.002 / dy + 0.99999), 1));
  for (vector2t *s : {&f->xstrips, &f->ystrips}) {
    int32_t k = s == &f->xstrips ? f->nx : f->ny;
    vector2t_resize(s, k, std::max(k, s->capacity));
    for (int32_t i = 0; i < k; i++) {
      vectort_resize(&s->data[i], items, items);
      vectort_copyto_1(&s->data[i], 0);
    }
  }
}

static inline int32_t strip_x(const tfinder *f, double x) { return int32_t((x - f->box[0]) / f->dx + 1); }
static inline int32_t strip_y(const tfinder *f, double y) { return int32_t((y - f->box[1]) / f->dy + 1); }

void set_bit(vectort *v, int32_t i) { v->words[(i - 1) / 32] |= 0x80000000u >> ((i - 1) % 32); }

// Hull of the mesh nodes; a mesh without nodes gets the box of the origin.
void node_hull(const tmesh *t, double *b) {
  b[0] = b[1] = 1e300, b[2] = b[3] = -1e300;
  for (int32_t i = 0; i < t->nodes.count; i++) {
    const pointd &p = t->nodes.data[i];
    b[0] = std::min(b[0], p.x), b[1] = std::min(b[1], p.y);
    b[2] = std::max(b[2], p.x), b[3] = std::max(b[3], p.y);
  }
  if (t->nodes.count == 0) b[0] = b[1] = b[2] = b[3] = 0;
}

// The node box of cell c, widened so that every point a strict lookup accepts lies in
// it: by a hundredth of its extent for straight cells (local coordinates down to -1e-6,
// with rounding), by half of it for curved ones, whose sides may bow out of the box.
void node_box(const tmesh *t, int32_t c, double *b) {
  const int32_t *cn = cell_nodes(t, c);
  b[0] = b[1] = 1e300, b[2] = b[3] = -1e300;
  for (int j = 0; j < t->ncell; j++) {
    const pointd &p = node_pos(t, cn[j]);
    b[0] = std::min(b[0], p.x), b[2] = std::max(b[2], p.x), b[1] = std::min(b[1], p.y), b[3] = std::max(b[3], p.y);
  }
}

static void cell_box(const tmesh *t, int32_t c, double *b) {
  node_box(t, c, b);
  double e = std::max(b[2] - b[0], b[3] - b[1]) * (t->flags.data[c - 1] & TRIMESH_CURVED ? 0.5 : 0.01);
  e += 1e-12 * std::max({std::fabs(b[0]), std::fabs(b[1]), std::fabs(b[2]), std::fabs(b[3])});
  b[0] -= e, b[1] -= e, b[2] += e, b[3] += e;
}

static void build_cell_index(tmesh *t) {
  tfinder_index *x = index_of(&t->finder);
  int32_t nc = t->source.count;
  x->grid(&t->finder, nc, 2);
  x->head.clear(), x->next.clear();
  x->start.assign(size_t(x->gx) * x->gy + 1, 0);
  double b[4];
  for (int pass = 0; pass < 2; pass++) {
    if (pass == 1) {
      for (size_t k = 1; k < x->start.size(); k++) x->start[k] += x->start[k - 1];
      x->items.resize(x->start.back());
    }
    std::vector<int32_t> fill(pass ? x->start.begin() : x->start.end(), x->start.end());
    for (int32_t c = 1; c <= nc; c++) {
      cell_box(t, c, b);
      for (int32_t j = x->by(b[1]), je = x->by(b[3]); j <= je; j++)
        for (int32_t i = x->bx(b[0]), ie = x->bx(b[2]); i <= ie; i++) {
          size_t k = size_t(j) * x->gx + i;
          if (pass == 0) x->start[k + 1]++;
          else x->items[fill[k]++] = c;
        }
    }
  }
}

void trimesh_build_tfinder_0(tmesh *t) {
  TRACE("trimesh_build_tfinder_0");
  tfinder *f = &t->finder;
  if (f->ready) return;
  f->nodemode = 0;
  double b[4];
  node_hull(t, b);
  int32_t nc = t->source.count;
  tfinder_box(f, b[0], b[1], b[2], b[3], nc);
  for (int32_t c = 1; c <= nc; c++) {
    double cb[4];
    node_box(t, c, cb);
    for (int32_t i = strip_x(f, cb[0]), e = strip_x(f, cb[2]); i <= e; i++) set_bit(&f->xstrips.data[i - 1], c);
    for (int32_t i = strip_y(f, cb[1]), e = strip_y(f, cb[3]); i <= e; i++) set_bit(&f->ystrips.data[i - 1], c);
  }
  build_cell_index(t);
  f->ready = 1;
}

void trimesh_build_tfinder_1(tmeshlist *l) {
  TRACE("trimesh_build_tfinder_1");
  for (int32_t i = 0; i < l->count; i++) trimesh_build_tfinder_0(&l->data[i]);
}

void trimesh_build_tfinder_2(tmeshlist *l, rectd *box) {
  TRACE("trimesh_build_tfinder_2");
  rectd_setrect_0(box, 1e300, 1e300, -1e300, -1e300);
  for (int32_t i = 0; i < l->count; i++) {
    tfinder *f = &l->data[i].finder;
    trimesh_build_tfinder_0(&l->data[i]);
    box->x1 = std::min(box->x1, f->box[0]), box->y1 = std::min(box->y1, f->box[1]);
    box->x2 = std::max(box->x2, f->box[2]), box->y2 = std::max(box->y2, f->box[3]);
  }
}

void trimesh_invalidate_tfinder(tmeshlist *l) {
  TRACE("trimesh_invalidate_tfinder");
  for (int32_t i = 0; i < l->count; i++) l->data[i].finder.ready = 0;
}

// Calls visit(item) for every item set in both strips, in increasing number, until it
// returns true; the strips are only read.
template <class Visit> static void both_strips(const vectort *a, const vectort *b, Visit visit) {
  int32_t nw = (std::min(a->count, b->count) + 31) / 32;
  for (int32_t k = 0; k < nw; k++) {
    uint32_t w = a->words[k] & b->words[k];
    while (w) {
      int32_t bit = std::countl_zero(w);
      w &= ~(0x80000000u >> bit);
      int32_t item = k * 32 + bit + 1;
      if (item > a->count || item > b->count) return;
      if (visit(item)) return;
    }
  }
}

// The local coordinates of X in the localised cell, and whether they place it: the
// inverse map of a curved sliver can stop short of the point, and such coordinates
// name no point of the cell.
static bool placed(double *L, const double *X, ElementFrame *frame, double tol) {
  elements_get_lcoords(L, X, frame, tol);
  double x[3], lo[2] = {1e300, 1e300}, hi[2] = {-1e300, -1e300};
  elements_get_gcoords(x, L, frame);
  for (int j = 0; j < 3; j++)
    for (int k = 0; k < 2; k++) lo[k] = std::min(lo[k], frame->nodes[j][k]), hi[k] = std::max(hi[k], frame->nodes[j][k]);
  double size = std::max(hi[0] - lo[0], hi[1] - lo[1]);
  return std::hypot(x[0] - X[0], x[1] - X[1]) <= 1e-6 * size;
}

int32_t trimesh_find_tcell_0(tmesh *t, const pointd *p, double tol) {
  TRACE("trimesh_find_tcell_0");
  tfinder *f = &t->finder;
  if (!f->ready) rtlib_fatal_in("trimesh_find_tcell_0", "No Finder!");
  // A near miss may lie beyond the box by a part of it, as far as the local coordinates
  // allow: rounding must not decide between two columns equally far outside.
  double mx = tol > 0 ? tol * (f->box[2] - f->box[0]) : 0, my = tol > 0 ? tol * (f->box[3] - f->box[1]) : 0;
  if (p->x < f->box[0] - mx || p->x > f->box[2] + mx || p->y < f->box[1] - my || p->y > f->box[3] + my) return 0;
  int32_t ix = std::clamp(strip_x(f, p->x), 1, int32_t(f->nx)), iy = std::clamp(strip_y(f, p->y), 1, int32_t(f->ny));
  int32_t found = 0, best = 0;
  double bestval = -1e300;
  ElementFrame frame;
  double X[3] = {p->x, p->y, 0};
  const vectort *xs = &f->xstrips.data[ix - 1], *ys = &f->ystrips.data[iy - 1];
  // The cells of the point's bucket that are also in both strips, in increasing number:
  // they include every cell that holds the point, so the first one that holds it is
  // the strips' answer, and without one only a near miss can be.
  if (f->index && !f->index->start.empty()) {
    const tfinder_index *x = f->index;
    size_t k = size_t(x->by(p->y)) * x->gx + x->bx(p->x);
    for (int32_t i = x->start[k]; i < x->start[k + 1]; i++) {
      int32_t c = x->items[i];
      if (!vectort_if_bit(xs, c) || !vectort_if_bit(ys, c)) continue;
      double L[4] = {0, 0, 0, 0};
      trimesh_tlocalize_0(&frame, t, c);
      if (placed(L, X, &frame, std::max(tol, 1e-6)) && std::min({L[0], L[1], L[2]}) >= -1e-6) return c;
    }
    if (tol <= 0) return 0;
  }
  both_strips(xs, ys, [&](int32_t c) {
    double L[4] = {0, 0, 0, 0};
    trimesh_tlocalize_0(&frame, t, c);
    if (!placed(L, X, &frame, std::max(tol, 1e-6))) return false;
    double lo = std::min({L[0], L[1], L[2]});
    if (lo >= -1e-6) {
      found = c;
      return true;
    }
    if (tol > 0 && lo > -tol && lo > bestval) bestval = lo, best = c;
    return false;
  });
  return found ? found : best;
}

int32_t trimesh_find_tcell_1(tmeshlist *l, const pointd *p, double tol) {
  TRACE("trimesh_find_tcell_1");
  for (int32_t i = 0; i < l->count; i++)
    if (int32_t c = trimesh_find_tcell_0(&l->data[i], p, 0)) return ((i + 1) << 24) + c;
  if (tol > 0)
    for (int32_t i = 0; i < l->count; i++)
      if (int32_t c = trimesh_find_tcell_0(&l->data[i], p, tol)) return ((i + 1) << 24) + c;
  return 0;
}

// Lists node n in its bucket; the grid doubles each way when the nodes outgrow it.
static void index_node(tmesh *t, int32_t n) {
  tfinder_index *x = t->finder.index;
  if (int64_t(n) > 8 * int64_t(x->gx) * x->gy && x->gx < 32768 && x->gy < 32768) {
    x->gx *= 2, x->gy *= 2, x->bw /= 2, x->bh /= 2;
    x->head.assign(size_t(x->gx) * x->gy, 0);
    for (int32_t i = x->first; i < n; i++) {
      const pointd &p = node_pos(t, i);
      int32_t &h = x->head[size_t(x->by(p.y)) * x->gx + x->bx(p.x)];
      x->next[i] = h, h = i;
    }
  }
  if (x->next.size() <= size_t(n)) x->next.resize(std::max(size_t(n) + 1, x->next.size() * 5 / 4 + 64));
  const pointd &p = node_pos(t, n);
  int32_t &h = x->head[size_t(x->by(p.y)) * x->gx + x->bx(p.x)];
  x->next[n] = h, h = n;
}

static void build_node_index(tmesh *t, int32_t expected) {
  tfinder_index *x = index_of(&t->finder);
  x->grid(&t->finder, std::max(expected, t->nodes.count), 2);
  x->start.clear(), x->items.clear();
  x->head.assign(size_t(x->gx) * x->gy, 0);
  x->next.assign(size_t(t->nodes.count) + 1, 0);
  x->first = 1;
  for (int32_t n = 1; n <= t->nodes.count; n++) index_node(t, n);
}

void trimesh_build_tnode_finder(tmesh *t) {
  TRACE("trimesh_build_tnode_finder");
  tfinder *f = &t->finder;
  if (f->nodemode) return;
  f->ready = 0;
  double b[4];
  node_hull(t, b);
  tfinder_box(f, b[0], b[1], b[2], b[3], t->nodes.count);
  for (int32_t n = 1; n <= t->nodes.count; n++) {
    const pointd &p = node_pos(t, n);
    set_bit(&f->xstrips.data[strip_x(f, p.x) - 1], n);
    set_bit(&f->ystrips.data[strip_y(f, p.y) - 1], n);
  }
  build_node_index(t, 0);
  f->nodemode = 1;
}

void trimesh_clear_tnode_finder(tmesh *t, const rectd *box, int32_t expected) {
  TRACE("trimesh_clear_tnode_finder");
  t->finder.ready = 0;
  tfinder_box(&t->finder, box->x1, box->y1, box->x2, box->y2, expected);
  // The strips start empty: nodes that exist already are not candidates for merging.
  build_node_index(t, expected);
  std::fill(t->finder.index->head.begin(), t->finder.index->head.end(), 0);
  t->finder.index->first = t->nodes.count + 1;
  t->finder.nodemode = 1;
}

int32_t trimesh_new_tnode(tmesh *t, const pointd *p, double tol) {
  TRACE("trimesh_new_tnode");
  tfinder *f = &t->finder;
  if (!f->nodemode) rtlib_fatal_in("trimesh_new_tnode", "Not Node Mode");
  int32_t ix = std::clamp(strip_x(f, p->x), 1, int32_t(f->nx)), iy = std::clamp(strip_y(f, p->y), 1, int32_t(f->ny));
  int32_t found = 0;
  double tol2 = tol * tol;
  const tfinder_index *x = f->index;
  int32_t bx0 = 0, bx1 = 0, by0 = 0, by1 = 0;
  if (x) bx0 = x->bx(p->x - tol), bx1 = x->bx(p->x + tol), by0 = x->by(p->y - tol), by1 = x->by(p->y + tol);
  if (!(tol > 0)) {
    // No distance is below 0: nothing merges.
  } else if (x && int64_t(bx1 - bx0 + 1) * (by1 - by0 + 1) <= 64) {
    // The lowest-numbered node of the point's two strips within the tolerance: all
    // such nodes are listed in the buckets the tolerance box meets.
    for (int32_t j = by0; j <= by1; j++)
      for (int32_t i = bx0; i <= bx1; i++)
        for (int32_t n = x->head[size_t(j) * x->gx + i]; n; n = x->next[n]) {
          if (found && n > found) continue;
          const pointd &q = node_pos(t, n);
          if (pointd_distance2_0(&q, p) < tol2 && std::clamp(strip_x(f, q.x), 1, int32_t(f->nx)) == ix &&
              std::clamp(strip_y(f, q.y), 1, int32_t(f->ny)) == iy)
            found = n;
        }
  } else {
    both_strips(&f->xstrips.data[ix - 1], &f->ystrips.data[iy - 1], [&](int32_t n) {
      if (pointd_distance2_0(&node_pos(t, n), p) < tol2) found = n;
      return found != 0;
    });
  }
  if (found) return found;
  int32_t n = pointd_one_more_0(&t->nodes, p);
  const point3d zero = {0, 0, 0};
  while (t->nodes3.count < n) point3d_one_more_0(&t->nodes3, &zero);
  if (n > f->xstrips.data[0].count) {
    for (int32_t i = 0; i < f->nx; i++) vectort_clear_bit(&f->xstrips.data[i], n);
    for (int32_t i = 0; i < f->ny; i++) vectort_clear_bit(&f->ystrips.data[i], n);
  }
  set_bit(&f->xstrips.data[ix - 1], n);
  set_bit(&f->ystrips.data[iy - 1], n);
  if (x) index_node(t, n);
  return n;
}
