// trimesh: plot meshes, their refinement, clean-up, linearisation and integration (the
// strip finders are in trimesh_strips.cpp, drawing and dumps in trimesh_draw.cpp).
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

// ---- Module state: work buffers reused between calls --------------------------------

namespace {
// One point of a refined cell outline: its node, local point in the cell, the cell side
// (or diagonal) it lies on and that side's bits in side-1 position (1 boundary, 16 inside).
struct OutlinePoint {
  int32_t node;
  LocalPoint L;
  int32_t side;
  uint16_t bits;
};
// A segment of the polygon that tconnect cuts: nodes between its ends, side, bits.
struct Segment {
  int32_t inner[2];
  int32_t side;
  uint16_t bits;
};
}  // namespace

static std::vector<OutlinePoint> outline;    // densify: the refined outline of one cell

int trimesh_init() { return 0; }

// ---- Records ------------------------------------------------------------------------

void trimesh_resize_0(tmesh *t, int32_t nodes, int32_t nodecap, int32_t cap3, int32_t cells,
                      int32_t cellcap, uint32_t basis, uint32_t sbasis) {
  TRACE("trimesh_resize_0");
  t->basis = basis;
  t->sbasis = sbasis;
  t->ncell = basis < ELEMENTS_CODES ? elements_functions[basis] : 0;
  pointd_resize_1(&t->nodes, nodes, nodecap);
  if (cap3 >= 1) point3d_resize_1(&t->nodes3, nodes, cap3);
  else point3d_resize_1(&t->nodes3, 0, t->nodes3.capacity);
  vectorl_resize(&t->source, cells, cellcap);
  vectorl_resize(&t->cells, cells * t->ncell, cellcap * t->ncell);
  vectorn_resize(&t->flags, cells, cellcap);
}

void trimesh_resize_1(tmeshlist *l, int32_t n, int32_t cap) {
  TRACE("trimesh_resize_1");
  if (cap > l->capacity) {
    tmesh *d = nullptr;
    bopmemalloc(&d, cap, sizeof(tmesh));
    XMEM += int64_t(cap) * sizeof(tmesh);
    if (l->capacity > 0) {
      memcpy(d, l->data, size_t(l->capacity) * sizeof(tmesh));
      XMEM -= int64_t(l->capacity) * sizeof(tmesh);
      bopmemfree(&l->data);
    }
    l->data = d;
    l->capacity = cap;
  }
  l->count = n;
}

void free_2(tfinder *f) {
  TRACE("free_2");
  delete f->index;
  f->index = nullptr;
  vector2t_free(&f->xstrips, 1);
  vector2t_free(&f->ystrips, 1);
  f->ready = f->nodemode = 0;
}

void trimesh_free_0(tmesh *t) {
  TRACE("trimesh_free_0");
  pointd_free_1(&t->nodes);
  point3d_free_1(&t->nodes3);
  vectorl_free(&t->source);
  vectorl_free(&t->cells);
  vectorn_free(&t->flags);
  vectorb_free(&t->tags);
  free_2(&t->finder);
}

void trimesh_free_1(tmeshlist *l, uint8_t members) {
  TRACE("trimesh_free_1");
  if (members)
    for (int32_t i = 0; i < l->capacity; i++) trimesh_free_0(&l->data[i]);
  if (l->capacity > 0) {
    XMEM -= int64_t(l->capacity) * sizeof(tmesh);
    bopmemfree(&l->data);
  }
  l->data = nullptr;
  l->count = l->capacity = 0;
}

int32_t trimesh_new_tcell(tmesh *t, int32_t source, uint16_t flags) {
  TRACE("trimesh_new_tcell");
  int32_t n = t->source.count + 1;
  if (n > t->source.capacity) {
    int32_t cap = t->source.capacity * 5 / 4 + 256;
    vectorl_resize(&t->source, t->source.count, cap);
    vectorn_resize(&t->flags, t->flags.count, cap);
    vectorl_resize(&t->cells, t->cells.count, cap * t->ncell);
  }
  vectorl_resize(&t->source, n, t->source.capacity);
  vectorn_resize(&t->flags, n, t->flags.capacity);
  vectorl_resize(&t->cells, n * t->ncell, t->cells.capacity);
  t->source.data[n - 1] = source;
  t->flags.data[n - 1] = flags;
  std::fill_n(cell_nodes(t, n), t->ncell, 0);
  return n;
}

void trimesh_pop_tcell(tmesh *t) {
  TRACE("trimesh_pop_tcell");
  if (t->source.count < 1) return;
  t->source.count--;
  t->flags.count--;
  t->cells.count -= t->ncell;
}

void trimesh_renode(tmesh *t, int32_t c, const int32_t *nodes) {
  TRACE("trimesh_renode");
  int32_t *cn = cell_nodes(t, c);
  for (int j = 0; j < t->ncell; j++)
    if (nodes[j] > 0) cn[j] = nodes[j];
}

void trimesh_tlocalize_0(ElementFrame *f, const tmesh *t, int32_t c) {
  TRACE("trimesh_tlocalize_0");
  double xyz[20][3];
  const int32_t *cn = cell_nodes(t, c);
  for (int j = 0; j < t->ncell; j++) {
    const pointd &p = node_pos(t, cn[j]);
    xyz[j][0] = p.x, xyz[j][1] = p.y, xyz[j][2] = 0;
  }
  bool curved = t->flags.data[c - 1] & TRIMESH_CURVED;
  int32_t geo = curved ? int32_t(t->basis) : elements_linear_code[elements_dimension[t->basis]];
  elements_localize(f, xyz, t->basis, geo);
  f->curved = curved ? 1 : 0;
}

void trimesh_tlocalize_1(ElementFrame *f, const tmesh *t, int32_t c, double *values, const vectord *u) {
  TRACE("trimesh_tlocalize_1");
  trimesh_tlocalize_0(f, t, c);
  const int32_t *cn = cell_nodes(t, c);
  for (int j = 0; j < t->ncell; j++) values[j] = u->data[cn[j] - 1];
}

// The weights of the cell's nodes at its centre.
static const double *centre_weights(uint16_t n, const char *where) {
  static const double w3[3] = {0.33333333333333, 0.33333333333333, 0.33333333333333};
  static const double v6 = -(0.33333333333333 * 0.33333333333333), m6 = 4 * (0.33333333333333 * 0.33333333333333);
  static const double w6[6] = {v6, v6, v6, m6, m6, m6};
  static const double w9[9] = {-0.16666666666667, -0.16666666666667, -0.16666666666667, 0.25, 0.25, 0.25,
                               0.25, 0.25, 0.25};
  if (n == 3) return w3;
  if (n == 6) return w6;
  if (n == 9) return w9;
  rtlib_fatal_in(where, "Illegal Basis");
}

void trimesh_get_centroid(pointd *p, const tmesh *t, int32_t c) {
  TRACE("trimesh_get_centroid");
  const double *w = centre_weights(t->ncell, "trimesh_get_centroid");
  const int32_t *cn = cell_nodes(t, c);
  p->x = p->y = 0;
  for (int j = 0; j < t->ncell; j++) {
    p->x += w[j] * node_pos(t, cn[j]).x;
    p->y += w[j] * node_pos(t, cn[j]).y;
  }
}

double trimesh_get_centerval(const tmesh *t, int32_t c, const vectord *u) {
  TRACE("trimesh_get_centerval");
  const double *w = centre_weights(t->ncell, "trimesh_get_centerval");
  const int32_t *cn = cell_nodes(t, c);
  double s = 0;
  for (int j = 0; j < t->ncell; j++) s += w[j] * u->data[cn[j] - 1];
  return s;
}

// ---- Densify ------------------------------------------------------------------------

// The node at local point L of the cell in frame f, merged within tol; a new node also
// gets its position in space through the cell's basis.
static int32_t place_node(tmesh *t, ElementFrame *f, int32_t c, const LocalPoint &L, double tol) {
  double X[3];
  elements_get_gcoords(X, L.L, f);
  pointd p = {X[0], X[1]};
  int32_t before = t->nodes.count;
  int32_t n = trimesh_new_tnode(t, &p, tol);
  if (n > before) {
    double v[20];
    int32_t code = f->gbasis, k = basisfun_basis_1(v, code, L.L);
    const int32_t *cn = cell_nodes(t, c);
    point3d &q = t->nodes3.data[n - 1];
    q = {0, 0, 0};
    for (int j = 0; j < k; j++) {
      const point3d &r = t->nodes3.data[cn[j] - 1];
      q.x += v[j] * r.x, q.y += v[j] * r.y, q.z += v[j] * r.z;
    }
  }
  return n;
}

// Appends side s of cell c to the outline: its own nodes when it stays whole, else
// k*order new points through the cell's geometry. Returns whether it was divided.
static bool densify_tleg(tmesh *t, ElementFrame *f, int32_t c, int s, double h, int order) {
  const uint8_t *row = elements_tri_sides[s - 1];
  const int32_t *cn = cell_nodes(t, c);
  int a = row[1], b = row[2];
  double D = pointd_distance_0(&node_pos(t, cn[a - 1]), &node_pos(t, cn[b - 1]));
  // New points merge with the same points placed by the neighbour across the side,
  // which differ only by rounding; nodes of thin neighbouring cells may lie closer to
  // the side than any fixed part of its length.
  double tol = 1e-9 * D;
  int32_t k = int32_t(D / h + 0.5) / order;
  uint16_t fl = t->flags.data[c - 1];
  uint16_t bits = uint16_t(((fl >> (s - 1)) & 1) | (((fl >> (s + 3)) & 1) << 4));
  const LocalPoint *table = basisfun_node_table(t->basis);
  if (k < 2) {
    int inner[2] = {row[3], row[6]};
    for (int i = 0; i < order - 1; i++) outline.push_back({cn[inner[i] - 1], table[inner[i] - 1], s, bits});
    outline.push_back({cn[b - 1], vertex_point(b), s, bits});
    return false;
  }
  LocalPoint La = vertex_point(a), Lb = vertex_point(b);
  int32_t m = k * order;
  for (int32_t j = 1; j <= m; j++) {
    LocalPoint L = lerp(La, Lb, double(j) / m);
    outline.push_back({place_node(t, f, c, L, tol), L, s, bits});
  }
  return true;
}

// Flag bits of a segment moved from side-1 position to side s.
static inline uint16_t side_bits(uint16_t bits, int s) {
  return uint16_t(((bits & 1) << (s - 1)) | ((bits & 16) << (s - 1)));
}

// Triangulates the refined outline of cell c by cutting off the ear with the shortest
// diagonal (the first on ties); the first triangle takes the cell's slot.
static void tconnect(tmesh *t, ElementFrame *f, int32_t c, int order) {
  int32_t m = int32_t(outline.size()) - 1, nv = m / order;
  std::vector<int32_t> next(nv), prev(nv);
  std::vector<Segment> seg(nv);
  std::vector<double> value(nv);
  for (int32_t i = 0; i < nv; i++) {
    next[i] = (i + 1) % nv, prev[i] = (i + nv - 1) % nv;
    const OutlinePoint &first = outline[i * order + 1];
    seg[i] = {{0, 0}, first.side, first.bits};
    for (int j = 1; j < order; j++) seg[i].inner[j - 1] = outline[i * order + j].node;
  }
  auto vnode = [&](int32_t i) { return outline[i * order].node; };
  auto eval = [&](int32_t i) {
    value[i] = seg[prev[i]].side == seg[i].side
                   ? 1e300
                   : pointd_distance2_0(&node_pos(t, vnode(prev[i])), &node_pos(t, vnode(next[i])));
  };
  for (int32_t i = 0; i < nv; i++) eval(i);
  uint16_t fl = t->flags.data[c - 1];
  uint16_t base = uint16_t((fl & 0xFF00) | (f->curved ? TRIMESH_CURVED : 0));
  int32_t source = t->source.data[c - 1], left = nv, head = 0, diagonals = 0, slot = c;
  double tol = 1e-9 * std::sqrt(f->measure);
  while (left >= 3) {
    int32_t v = head;
    for (int32_t i = next[head]; i != head; i = next[i])
      if (value[i] < value[v]) v = i;
    int32_t nx = next[v], pv = prev[v];
    Segment diag = {{0, 0}, 3 + ++diagonals, 0};
    if (left == 3) {
      diag = seg[nx];
    } else if (order > 1) {
      const LocalPoint &Ln = outline[nx * order].L, &Lp = outline[pv * order].L;
      for (int j = 1; j < order; j++) {
        // From the next vertex towards the previous one.
        diag.inner[j - 1] = place_node(t, f, c, lerp(Ln, Lp, double(j) / order), tol);
      }
    }
    int32_t nodes[9] = {vnode(v), vnode(nx), vnode(pv)};
    if (order == 2) {
      nodes[3] = diag.inner[0], nodes[4] = seg[pv].inner[0], nodes[5] = seg[v].inner[0];
    } else if (order == 3) {
      // Side 1 runs from the next vertex to the previous one, as a cut diagonal is
      // placed and as the remaining segment runs.
      nodes[3] = diag.inner[0], nodes[6] = diag.inner[1];
      nodes[4] = seg[pv].inner[0], nodes[7] = seg[pv].inner[1];
      nodes[5] = seg[v].inner[0], nodes[8] = seg[v].inner[1];
    }
    uint16_t flags = uint16_t(base | side_bits(seg[v].bits, 3) | side_bits(seg[pv].bits, 2));
    if (left == 3) flags |= side_bits(diag.bits, 1);
    if (slot == 0) slot = trimesh_new_tcell(t, source, flags);
    t->flags.data[slot - 1] = flags;
    std::copy_n(nodes, t->ncell, cell_nodes(t, slot));
    slot = 0;
    if (left == 3) break;
    // The diagonal replaces the previous vertex's segment, running previous to next.
    if (order == 3) std::swap(diag.inner[0], diag.inner[1]);
    seg[pv] = diag;
    next[pv] = nx, prev[nx] = pv;
    if (head == v) head = nx;
    left--;
    eval(pv), eval(nx);
  }
}

// Refines cell c to the side length h; returns 1 when the cell was split.
static int tdensify_0(tmesh *t, int32_t c, double h) {
  int order = elements_order[t->basis];
  ElementFrame f;
  trimesh_tlocalize_0(&f, t, c);
  outline.clear();
  outline.push_back({cell_nodes(t, c)[0], vertex_point(1), 0, 0});
  bool split = false;
  for (int s : {3, 1, 2}) split |= densify_tleg(t, &f, c, s, h, order);
  if (!split) return 0;
  tconnect(t, &f, c, order);
  return 1;
}

int32_t trimesh_tdensify_1(tmesh *t, double spacing, const rectd *window, vectorl *nodemap) {
  TRACE("trimesh_tdensify_1");
  int order = elements_order[t->basis];
  int32_t last = t->nodes.count;
  // A spacing that is not positive would divide sides without end.
  if (!(spacing > 0)) return last;
  double L = 0;
  for (int32_t c = 1; c <= t->source.count; c++) {
    const int32_t *cn = cell_nodes(t, c);
    for (int s = 0; s < 3; s++)
      L = std::max(L, pointd_distance_0(&node_pos(t, cn[s]), &node_pos(t, cn[(s + 1) % 3])));
  }
  double h = L / (4 * order - 0.5);
  h = std::max(h, spacing);
  h = 4 * h;
  do {
    trimesh_build_tnode_finder(t);
    h = std::max(h / 4, spacing);
    bool any = false;
    for (bool split = true; split;) {
      split = false;
      for (int32_t c = 1; c <= t->source.count; c++) split |= tdensify_0(t, c, h) != 0;
      any |= split;
    }
    if (any) {
      gagscren_dispatch(0);
      trimesh_ttrim(t, window, nodemap);
      if (nodemap && last >= 1 && last <= nodemap->count) last = nodemap->data[last - 1];
    }
  } while (h > spacing);
  free_2(&t->finder);
  return last;
}

void trimesh_tdensify_1d(tmesh *t, double spacing) {
  TRACE("trimesh_tdensify_1d");
  if (!(spacing > 0)) return;  // as in trimesh_tdensify_1
  int order = elements_order[t->basis];
  int32_t cells = t->source.count;
  std::vector<int32_t> points;
  for (int32_t c = 1; c <= cells; c++) {
    int32_t own[4];
    std::copy_n(cell_nodes(t, c), t->ncell, own);
    double xa = node_pos(t, own[0]).x, xb = node_pos(t, own[1]).x, w = std::fabs(xb - xa);
    double tol = 0.001 * w;
    int32_t k = int32_t(w / spacing) / order;
    if (k <= 1) continue;
    int32_t m = k * order;
    points.assign(m + 1, 0);
    for (int32_t j = 0; j <= m; j++) {
      double u = double(j) / m, L[4] = {1 - u, u, 0, 0}, v[4];
      basisfun_basis_1(v, t->basis, L);
      pointd p = {0, 0};
      point3d q = {0, 0, 0};
      bool has3 = t->nodes3.count >= t->nodes.count && t->nodes3.count > 0;
      for (int i = 0; i < t->ncell; i++) {
        p.x += v[i] * node_pos(t, own[i]).x, p.y += v[i] * node_pos(t, own[i]).y;
        if (has3) {
          const point3d &r = t->nodes3.data[own[i] - 1];
          q.x += v[i] * r.x, q.y += v[i] * r.y, q.z += v[i] * r.z;
        }
      }
      for (int i = 0; i < t->ncell && !points[j]; i++)
        if (std::fabs(node_pos(t, own[i]).x - p.x) < tol) points[j] = own[i];
      if (!points[j]) {
        points[j] = pointd_one_more_0(&t->nodes, &p);
        if (has3) point3d_one_more_0(&t->nodes3, &q);
        if (t->tags.count > 0) vectorb_one_more(&t->tags, 1);
      }
    }
    uint16_t fl = t->flags.data[c - 1];
    int32_t src = t->source.data[c - 1];
    for (int32_t s = 1; s <= k; s++) {
      int32_t slot = s == 1 ? c : trimesh_new_tcell(t, src, fl);
      int32_t *cn = cell_nodes(t, slot), a = (s - 1) * order;
      cn[0] = points[a], cn[1] = points[a + order];
      for (int i = 1; i < order; i++) cn[1 + i] = points[a + i];
    }
  }
}

// ---- Squash, trim, compress ---------------------------------------------------------

void trimesh_tsquash(tmesh *t) {
  TRACE("trimesh_tsquash");
  int32_t nc = t->source.count, n = t->ncell;
  // Every directed side (start, end) of every input cell, sorted, to find the cell
  // that runs a given side.
  struct Side {
    int32_t a, b, cell;
    int8_t side;
  };
  std::vector<Side> sides;
  sides.reserve(size_t(nc) * 3);
  for (int32_t c = 1; c <= nc; c++) {
    const int32_t *cn = cell_nodes(t, c);
    for (int s = 1; s <= 3; s++) {
      const uint8_t *row = elements_tri_sides[s - 1];
      sides.push_back({cn[row[1] - 1], cn[row[2] - 1], c, int8_t(s)});
    }
  }
  auto key = [](const Side &x, const Side &y) {
    return x.a != y.a ? x.a < y.a : x.b != y.b ? x.b < y.b : x.cell < y.cell;
  };
  std::sort(sides.begin(), sides.end(), key);
  std::vector<uint8_t> dropped(nc + 1, 0);
  std::vector<int32_t> newslot(nc + 1, 0);
  int32_t kept = 0;
  for (int32_t c = 1; c <= nc; c++) {
    int32_t *cn = cell_nodes(t, c);
    int32_t v1 = cn[0], v2 = cn[1], v3 = cn[2];
    int collapse = v1 == v2 ? 3 : v2 == v3 ? 1 : v3 == v1 ? 2 : 0;
    if (collapse) {
      dropped[c] = 1;
      uint16_t fl = t->flags.data[c - 1];
      if (!(v1 == v2 && v2 == v3))
        for (int s = 1; s <= 3; s++) {
          if (s == collapse || !(fl & (1 << (s - 1)))) continue;
          const uint8_t *row = elements_tri_sides[s - 1];
          Side want = {cn[row[1] - 1], cn[row[2] - 1], 0, 0};
          // First the kept cells before this one, in order, then the later cells.
          auto it = std::lower_bound(sides.begin(), sides.end(), want, key);
          // Entries of one side are in increasing cell order: the first one that is
          // neither this cell nor an earlier dropped one is the neighbour.
          const Side *hit = nullptr;
          for (auto j = it; j != sides.end() && j->a == want.a && j->b == want.b && !hit; ++j)
            if (j->cell != c && !(j->cell < c && dropped[j->cell])) hit = &*j;
          if (!hit) continue;
          // Kept cells before this one have moved down to their new slots.
          int32_t slot = hit->cell < c ? newslot[hit->cell] : hit->cell;
          uint16_t &hf = t->flags.data[slot - 1];
          int hs = hit->side;
          hf |= uint16_t(1 << (hs - 1));
          if (fl & (16 << (s - 1))) hf |= uint16_t(16 << (hs - 1));
          int shift = TRIMESH_CODE_SHIFT + 3 * (hs - 1);
          if (t->source.data[slot - 1] == t->source.data[c - 1] && ((hf >> shift) & 7) == 0)
            hf |= uint16_t(((fl >> (TRIMESH_CODE_SHIFT + 3 * (s - 1))) & 7) << shift);
        }
      continue;
    }
    // Cells move down in place: a kept cell's slot is never above its input slot.
    newslot[c] = ++kept;
    if (kept != c) {
      std::copy_n(cn, n, cell_nodes(t, kept));
      t->source.data[kept - 1] = t->source.data[c - 1];
      t->flags.data[kept - 1] = t->flags.data[c - 1];
    }
  }
  t->source.count = t->flags.count = kept;
  t->cells.count = kept * n;
  t->finder.ready = t->finder.nodemode = 0;
}

void trimesh_ttrim(tmesh *t, const rectd *window, vectorl *nodemap) {
  TRACE("trimesh_ttrim");
  vectort keep = {};
  vectort_resize(&keep, t->source.count, t->source.count);
  vectort_copyto_1(&keep, 0);
  // A cell stays when its node box meets the window: a cell across a corner of the
  // window may have no node inside it.
  for (int32_t c = 1; c <= t->source.count; c++) {
    double b[4];
    node_box(t, c, b);
    if (b[0] <= window->x2 && b[2] >= window->x1 && b[1] <= window->y2 && b[3] >= window->y1) set_bit(&keep, c);
  }
  trimesh_tcompress_0(t, &keep, nodemap);
  vectort_free(&keep);
}

void trimesh_tcompress_0(tmesh *t, const vectort *keep, vectorl *nodemap) {
  TRACE("trimesh_tcompress_0");
  int32_t nc = t->source.count, nn = t->nodes.count, n = t->ncell, kept = 0;
  for (int32_t c = 1; c <= nc; c++) {
    if (!vectort_if_bit(keep, c)) continue;
    kept++;
    if (kept != c) {
      std::copy_n(cell_nodes(t, c), n, cell_nodes(t, kept));
      t->source.data[kept - 1] = t->source.data[c - 1];
      t->flags.data[kept - 1] = t->flags.data[c - 1];
    }
  }
  t->source.count = t->flags.count = kept;
  t->cells.count = kept * n;
  std::vector<int32_t> map(nn + 1, 0);
  for (int32_t i = 0; i < t->cells.count; i++) map[t->cells.data[i]] = 1;
  bool has3 = t->nodes3.count >= nn, tags = t->tags.count >= nn;
  int32_t used = 0;
  for (int32_t i = 1; i <= nn; i++) {
    if (!map[i]) continue;
    map[i] = ++used;
    t->nodes.data[used - 1] = t->nodes.data[i - 1];
    if (has3) t->nodes3.data[used - 1] = t->nodes3.data[i - 1];
    if (tags) t->tags.data[used - 1] = t->tags.data[i - 1];
  }
  for (int32_t i = 0; i < t->cells.count; i++) t->cells.data[i] = map[t->cells.data[i]];
  t->nodes.count = used;
  if (has3) t->nodes3.count = used;
  if (tags) t->tags.count = used;
  if (nodemap) {
    vectorl_resize(nodemap, nn, std::max(nn, nodemap->capacity));
    std::copy(map.begin() + 1, map.end(), nodemap->data);
  }
  t->finder.ready = t->finder.nodemode = 0;
}

void trimesh_tcompress_1(tmeshlist *l, const vector2t *keep, vector2l *nodemaps) {
  TRACE("trimesh_tcompress_1");
  for (int32_t i = 0; i < l->count; i++)
    trimesh_tcompress_0(&l->data[i], &keep->data[i], nodemaps ? &nodemaps->data[i] : nullptr);
}

// ---- Linearise ----------------------------------------------------------------------

static const uint8_t sub6[4][3] = {{1, 6, 5}, {2, 4, 6}, {3, 5, 4}, {4, 5, 6}};
static const uint8_t sub9[9][3] = {{1, 6, 8}, {2, 4, 9}, {3, 5, 7}, {4, 7, 10}, {5, 8, 10},
                                   {6, 9, 10}, {7, 5, 10}, {8, 6, 10}, {9, 4, 10}};
// Boundary bits of sub-triangle k from the parent's three bits p.
static const uint8_t subbits[6][8] = {{0, 0, 2, 2, 4, 4, 6, 6}, {0, 4, 0, 4, 2, 6, 2, 6},
                                      {0, 2, 4, 6, 0, 2, 4, 6}, {0, 4, 0, 4, 0, 4, 0, 4},
                                      {0, 0, 4, 4, 0, 0, 4, 4}, {0, 0, 0, 0, 4, 4, 4, 4}};

static uint16_t sub_flags(uint16_t fl, int k, int nsub) {
  if (k >= (nsub == 4 ? 3 : 6)) return uint16_t(fl & 0xFF00);
  return uint16_t((fl & 0xFF00) | subbits[k][fl & 7] | (subbits[k][(fl >> 4) & 7] << 4));
}

// The sub-triangle table of a basis; "BAD ORDER" for other than 4, 5, 6.
static int sub_table(uint32_t basis, const uint8_t (**tab)[3]) {
  if (basis == tri6) return *tab = sub6, 4;
  if (basis == tri9) return *tab = sub9, 9;
  if (basis == tri3) return *tab = nullptr, 1;
  rtlib_fatal_in("trimesh_tlinearize", "BAD ORDER");
}

static const double centre_vertex = -0.16666666666667, centre_side = 0.25;

void trimesh_tlinearize_0(tmesh *t) {
  TRACE("trimesh_tlinearize_0");
  const uint8_t (*tab)[3];
  int nsub = sub_table(t->basis, &tab);
  if (nsub == 1) return;
  int32_t nc = t->source.count, nn = t->nodes.count, n = nc * nsub;
  int ncell = t->ncell;
  // Sized once; the cells are then split from the last one down, so that every cell is
  // read before its sub-cells overwrite it (a cell's sub-cells never start before it).
  vectorl_resize(&t->source, n, std::max(n, t->source.capacity));
  vectorn_resize(&t->flags, n, std::max(n, t->flags.capacity));
  vectorl_resize(&t->cells, 3 * n, std::max(3 * n, t->cells.capacity));
  bool has3 = nsub == 9 && t->nodes3.count >= nn && nn > 0;
  if (nsub == 9) {
    pointd_resize_1(&t->nodes, nn + nc, std::max(t->nodes.capacity, nn + nc));
    if (has3) point3d_resize_1(&t->nodes3, nn + nc, std::max(t->nodes3.capacity, nn + nc));
  }
  for (int32_t c = nc; c >= 1; c--) {
    int32_t ids[10];
    std::copy_n(t->cells.data + int64_t(c - 1) * ncell, ncell, ids);
    if (nsub == 9) {
      // The centre node of cell c is node nn + c, as if appended cell by cell.
      pointd p = {0, 0};
      point3d q = {0, 0, 0};
      for (int j = 0; j < 9; j++) {
        double w = j < 3 ? centre_vertex : centre_side;
        p.x += w * node_pos(t, ids[j]).x, p.y += w * node_pos(t, ids[j]).y;
        if (has3) {
          const point3d &r = t->nodes3.data[ids[j] - 1];
          q.x += w * r.x, q.y += w * r.y, q.z += w * r.z;
        }
      }
      ids[9] = nn + c;
      t->nodes.data[nn + c - 1] = p;
      if (has3) t->nodes3.data[nn + c - 1] = q;
    }
    uint16_t fl = t->flags.data[c - 1];
    int32_t src = t->source.data[c - 1];
    for (int k = nsub - 1; k >= 0; k--) {
      int64_t d = int64_t(c - 1) * nsub + k;
      for (int j = 0; j < 3; j++) t->cells.data[3 * d + j] = ids[tab[k][j] - 1];
      t->source.data[d] = src;
      t->flags.data[d] = sub_flags(fl, k, nsub);
    }
  }
  t->basis = tri3;
  t->ncell = 3;
  t->finder.ready = t->finder.nodemode = 0;
}

void trimesh_tlinearize_1(tmesh *out, vectord *outvalues, const tmesh *t, int32_t c, const vectord *u) {
  TRACE("trimesh_tlinearize_1");
  const uint8_t (*tab)[3];
  int nsub = sub_table(t->basis, &tab);
  int nn = nsub == 9 ? 10 : t->ncell;
  trimesh_resize_0(out, nn, nn, 0, nsub, nsub, tri3, t->sbasis);
  vectord_resize(outvalues, nn, std::max(nn, outvalues->capacity));
  const int32_t *cn = cell_nodes(t, c);
  for (int j = 0; j < t->ncell; j++) {
    out->nodes.data[j] = node_pos(t, cn[j]);
    outvalues->data[j] = u->data[cn[j] - 1];
  }
  if (nsub == 9) {
    pointd p = {0, 0};
    double v = 0;
    for (int j = 0; j < 9; j++) {
      double w = j < 3 ? centre_vertex : centre_side;
      p.x += w * out->nodes.data[j].x, p.y += w * out->nodes.data[j].y, v += w * outvalues->data[j];
    }
    out->nodes.data[9] = p;
    outvalues->data[9] = v;
  }
  uint16_t fl = t->flags.data[c - 1];
  for (int k = 0; k < nsub; k++) {
    out->source.data[k] = t->source.data[c - 1];
    if (nsub == 1) {
      out->flags.data[k] = fl;
      for (int j = 0; j < 3; j++) out->cells.data[j] = j + 1;
    } else {
      out->flags.data[k] = sub_flags(fl, k, nsub);
      for (int j = 0; j < 3; j++) out->cells.data[3 * k + j] = tab[k][j];
    }
  }
}

// ---- Integration and meshes along a path --------------------------------------------

double trimesh_tintegrate(const tmesh *t, const vectord *u) {
  TRACE("trimesh_tintegrate");
  double total = 0;
  if (elements_dimension[t->basis] == 1) {
    for (int32_t c = 1; c <= t->source.count; c++) {
      const int32_t *cn = cell_nodes(t, c);
      double w = std::fabs(node_pos(t, cn[1]).x - node_pos(t, cn[0]).x), f[4];
      for (int j = 0; j < t->ncell; j++) f[j] = u->data[cn[j] - 1];
      if (t->ncell == 2) total += w * (f[0] + f[1]) / 2;
      else if (t->ncell == 3) total += w * (f[0] + f[1] + 4 * f[2]) * 0.16666666666667;
      else total += w * (f[0] + f[1] + 3 * (f[2] + f[3])) / 8;
    }
    return total;
  }
  return trimesh_tintegrate_in(t, u, nullptr);
}

namespace {

using Local3 = std::array<double, 3>;

// The integral of the cell's values over the triangle of local points A, B, C: the
// rule's points mapped into it, the weights (summing to 1) times its local area.
double local_integral(ElementFrame *f, const tmesh *t, const double *vals, const Local3 &A, const Local3 &B,
                      const Local3 &C) {
  const QuadRule *rule = quature_rule(7);
  double b[20], s = 0;
  for (int q = 0; q < rule->count; q++) {
    const double *m = rule->points[q].L;
    double L[4] = {0, 0, 0, 0};
    for (int k = 0; k < 3; k++) L[k] = m[0] * A[k] + m[1] * B[k] + m[2] * C[k];
    int n = basisfun_basis_1(b, t->basis, L);
    double v = 0;
    for (int j = 0; j < n; j++) v += b[j] * vals[j];
    if (f->curved) elements_jacobian(L, f);
    s += rule->points[q].weight * v * f->absdet;
  }
  double area = 0.5 * std::fabs((B[0] - A[0]) * (C[1] - A[1]) - (B[1] - A[1]) * (C[0] - A[0]));
  return s * area;
}

// The part of the triangle P (its vertices' plot positions) inside the box, as a
// polygon, clipped side by side.
std::vector<pointd> clip_to_box(const pointd *P, const rectd &box) {
  std::vector<pointd> poly(P, P + 3);
  for (int side = 0; side < 4; side++) {
    auto inside = [&](const pointd &q) {
      return side == 0 ? q.x >= box.x1 : side == 1 ? q.x <= box.x2 : side == 2 ? q.y >= box.y1 : q.y <= box.y2;
    };
    auto meet = [&](const pointd &a, const pointd &b) {
      double s = side < 2 ? ((side == 0 ? box.x1 : box.x2) - a.x) / (b.x - a.x) : ((side == 2 ? box.y1 : box.y2) - a.y) / (b.y - a.y);
      return pointd{a.x + s * (b.x - a.x), a.y + s * (b.y - a.y)};
    };
    std::vector<pointd> out;
    for (size_t i = 0; i < poly.size(); i++) {
      const pointd &a = poly[i], &b = poly[(i + 1) % poly.size()];
      if (inside(a)) out.push_back(a);
      if (inside(a) != inside(b)) out.push_back(meet(a, b));
    }
    poly.swap(out);
    if (poly.empty()) break;
  }
  return poly;
}

}  // namespace

double trimesh_tintegrate_in(const tmesh *t, const vectord *u, const rectd *box) {
  TRACE("trimesh_tintegrate_in");
  double total = 0;
  ElementFrame f;
  double vals[20];
  const Local3 corner[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  for (int32_t c = 1; c <= t->source.count; c++) {
    trimesh_tlocalize_1(&f, t, c, vals, u);
    double cb[4];
    node_box(t, c, cb);
    if (!box || (cb[0] >= box->x1 && cb[2] <= box->x2 && cb[1] >= box->y1 && cb[3] <= box->y2)) {
      total += local_integral(&f, t, vals, corner[0], corner[1], corner[2]);
      continue;
    }
    if (cb[2] < box->x1 || cb[0] > box->x2 || cb[3] < box->y1 || cb[1] > box->y2) continue;
    // A cell across the box's edge: the part inside through its vertices' straight map.
    const int32_t *cn = cell_nodes(t, c);
    pointd P[3] = {node_pos(t, cn[0]), node_pos(t, cn[1]), node_pos(t, cn[2])};
    double det = (P[0].x - P[2].x) * (P[1].y - P[2].y) - (P[1].x - P[2].x) * (P[0].y - P[2].y);
    if (det == 0) continue;
    auto local = [&](const pointd &q) {
      double l0 = ((q.x - P[2].x) * (P[1].y - P[2].y) - (P[1].x - P[2].x) * (q.y - P[2].y)) / det;
      double l1 = ((P[0].x - P[2].x) * (q.y - P[2].y) - (q.x - P[2].x) * (P[0].y - P[2].y)) / det;
      return Local3{l0, l1, 1 - l0 - l1};
    };
    std::vector<pointd> poly = clip_to_box(P, *box);
    for (size_t i = 2; i < poly.size(); i++) total += local_integral(&f, t, vals, local(poly[0]), local(poly[i - 1]), local(poly[i]));
  }
  return total;
}

void trimesh_order_1d(tmesh *t) {
  TRACE("trimesh_order_1d");
  int32_t nn = t->nodes.count;
  if (nn == 0) return;
  vectorl ix = {};
  pointd_sortix(&ix, &t->nodes, 1);
  std::vector<int32_t> inv(nn + 1);
  std::vector<pointd> p(t->nodes.data, t->nodes.data + nn);
  bool has3 = t->nodes3.count >= nn, tags = t->tags.count >= nn;
  std::vector<point3d> q(has3 ? t->nodes3.data : nullptr, has3 ? t->nodes3.data + nn : nullptr);
  std::vector<uint8_t> g(tags ? t->tags.data : nullptr, tags ? t->tags.data + nn : nullptr);
  for (int32_t i = 1; i <= nn; i++) {
    int32_t old = ix.data[i - 1];
    inv[old] = i;
    t->nodes.data[i - 1] = p[old - 1];
    if (has3) t->nodes3.data[i - 1] = q[old - 1];
    if (tags) t->tags.data[i - 1] = g[old - 1];
  }
  for (int32_t i = 0; i < t->cells.count; i++) t->cells.data[i] = inv[t->cells.data[i]];
  vectorl_free(&ix);
}

void trimesh_tag_tmesh(tmesh *t) {
  TRACE("trimesh_tag_tmesh");
  int32_t nn = t->nodes.count;
  vectorb_resize(&t->tags, nn, std::max(nn, t->tags.capacity));
  std::vector<uint8_t> role(nn + 1, 0);  // 1 starts, 2 ends, 4 inner
  for (int32_t c = 1; c <= t->source.count; c++) {
    const int32_t *cn = cell_nodes(t, c);
    role[cn[0]] |= 1, role[cn[1]] |= 2;
    for (int j = 2; j < t->ncell; j++) role[cn[j]] |= 4;
  }
  for (int32_t i = 1; i <= nn; i++)
    t->tags.data[i - 1] = role[i] == 1 ? 2 : role[i] == 2 ? 3 : role[i] ? 1 : 0;
}
