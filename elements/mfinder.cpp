// mfinder: the slab index of a mesh's cell finder and the point search over it.
#include "elements/mfinder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdio>

#include "elements/evalpoint.h"
#include "elements/meshes.h"
#include "runtime/debug.h"
#include "runtime/rtlib.h"

static bool threed(const Mesh *m) { return m->domain && m->domain->threed; }

// The slab (1..bins) of a coordinate: whole part of (v - low) / width, plus 1, held to
// the axis's slabs, since a width raised to a tenth of the widest can leave the high
// end of the box in a slab past the last.
static int32_t slab(double v, double low, double width, uint16_t bins) {
  double k = std::floor((v - low) / width);
  if (!(k >= 0)) return 1;
  return k >= bins ? bins : int32_t(k) + 1;
}

// Number of slabs over an extent: whole part of extent / width + 0.99999, 0 when that
// is not a positive number.
static uint16_t bins_of(double extent, double width) {
  double b = std::floor(extent / width + 0.99999);
  return b >= 1 ? uint16_t(std::min(b, 65535.0)) : 0;
}

// Sizes every slab of one axis to n bits; cleared when clear is set.
static void size_slabs(vector2t *slabs, int32_t n, bool clear) {
  for (int32_t i = 0; i < slabs->count; i++) {
    vectort *v = &slabs->data[i];
    vectort_resize(v, std::max(n, v->count), std::max(n, v->capacity));
    if (clear) vectort_copyto_1(v, 0);
  }
}

static void make_slabs(vector2t *slabs, uint16_t bins, int32_t cells) {
  vector2t_resize(slabs, bins, std::max<int32_t>(bins, slabs->capacity));
  size_slabs(slabs, cells, true);
}

void mfinder_build_finder(Mesh *m) {
  TRACE("mfinder_build_finder_0");
  finder *f = &m->finder;
  bool is3 = threed(m);
  if (f->built) {
    size_slabs(&f->slabsx, m->cells.count, false);
    size_slabs(&f->slabsy, m->cells.count, false);
    if (is3) size_slabs(&f->slabsz, m->cells.count, false);
    return;
  }
  // 1-2. The size, and the box of every node, dead ones included.
  if (f->size == 0) f->size = 0.05;
  rect3d &b = f->box;
  b = {1e300, 1e300, 1e300, -1e300, -1e300, -1e300};
  for (int32_t n = 0; n < m->nodes.count; n++) {
    const MeshNode &node = m->nodes.data[n];
    b.x1 = std::min(b.x1, node.x), b.y1 = std::min(b.y1, node.y), b.z1 = std::min(b.z1, node.z);
    b.x2 = std::max(b.x2, node.x), b.y2 = std::max(b.y2, node.y), b.z2 = std::max(b.z2, node.z);
  }
  bool live = false;
  for (int32_t c = 0; c < m->cells.count && !live; c++) live = m->cells.data[c].alive;
  // 3. The margin.
  double dx = b.x2 - b.x1, dy = b.y2 - b.y1, dz = b.z2 - b.z1;
  b.x1 -= 0.001 * dx, b.x2 += 0.001 * dx;
  b.y1 -= 0.001 * dy, b.y2 += 0.001 * dy;
  b.z1 -= 0.001 * dz, b.z2 += 0.001 * dz;
  f->plane = {b.x1, b.y1, b.x2, b.y2};
  // 4-5. Slab widths, none below a tenth of the widest.
  double n = double(uint16_t(1.0 / f->size)) - 0.0001;
  f->widthx = (b.x2 - b.x1) / n;
  f->widthy = (b.y2 - b.y1) / n;
  f->widthz = is3 ? (b.z2 - b.z1) / n : std::max(f->widthx, f->widthy);
  double w = 0.1 * std::max({f->widthx, f->widthy, f->widthz});
  for (double *x : {&f->widthx, &f->widthy, &f->widthz}) *x = std::max(*x, w);
  // 6. Slab counts from the extents before the margin; none without nodes or cells.
  f->binsx = f->binsy = f->binsz = 0;
  if (m->nodes.count && live) {
    f->binsx = bins_of(dx, f->widthx);
    f->binsy = bins_of(dy, f->widthy);
    f->binsz = bins_of(dz, f->widthz);
  }
  // 7-8. The slabs, and every cell mapped into them.
  make_slabs(&f->slabsx, f->binsx, m->cells.count);
  make_slabs(&f->slabsy, f->binsy, m->cells.count);
  if (is3) make_slabs(&f->slabsz, f->binsz, m->cells.count);
  for (int32_t c = 1; c <= m->cells.count; c++) mfinder_map_finder_cell(f, m, c);
  f->built = 1;
  if (finder_debug && debug_file) {
    fprintf(debug_file, "FINDER: %d CELLS, BINS %d,%d,%d, WIDTHS %g,%g,%g\n", m->cells.count, f->binsx, f->binsy,
            f->binsz, f->widthx, f->widthy, f->widthz);
    vector2t_print(debug_file, &f->slabsx, "SLABS X");
    vector2t_print(debug_file, &f->slabsy, "SLABS Y");
    if (is3) vector2t_print(debug_file, &f->slabsz, "SLABS Z");
    fflush(debug_file);
  }
}

// The slab ranges [lo, hi] of a live cell's box on each axis; false for a dead cell,
// a number outside the table, or a finder without slabs.
static bool cell_slabs(const finder *f, Mesh *m, int32_t c, int32_t lo[3], int32_t hi[3]) {
  if (c < 1 || c > m->cells.count || !f->binsx || !f->binsy) return false;
  const MeshCell &cell = m->cells.data[c - 1];
  if (!cell.alive) return false;
  double low[3] = {1e300, 1e300, 1e300}, high[3] = {-1e300, -1e300, -1e300};
  int nf = std::min<int>(elements_functions[m->meshbasis], cell.nodes.count);
  for (int i = 0; i < nf; i++) {
    int32_t k = cell.nodes.data[i];
    if (k < 1 || k > m->nodes.count) continue;
    const MeshNode &node = m->nodes.data[k - 1];
    double xyz[3] = {node.x, node.y, node.z};
    for (int a = 0; a < 3; a++) low[a] = std::min(low[a], xyz[a]), high[a] = std::max(high[a], xyz[a]);
  }
  if (low[0] > high[0]) return false;
  const double box[3] = {f->box.x1, f->box.y1, f->box.z1}, width[3] = {f->widthx, f->widthy, f->widthz};
  const uint16_t bins[3] = {f->binsx, f->binsy, f->binsz};
  for (int a = 0; a < 3; a++)
    lo[a] = slab(low[a], box[a], width[a], bins[a]), hi[a] = slab(high[a], box[a], width[a], bins[a]);
  return true;
}

// Sets or clears bit c in slabs lo..hi of one axis.
static void mark(vector2t *slabs, int32_t lo, int32_t hi, int32_t c, bool set) {
  for (int32_t i = lo; i <= hi && i <= slabs->count; i++)
    set ? vectort_set_bit(&slabs->data[i - 1], c) : vectort_clear_bit(&slabs->data[i - 1], c);
}

void mfinder_map_finder_cell(finder *f, Mesh *m, int32_t c) {
  TRACE("mfinder_map_finder_cell_0");
  int32_t lo[3], hi[3];
  if (!cell_slabs(f, m, c, lo, hi)) return;
  bool is3 = threed(m) && f->binsz;
  // A cell beyond the slabs' length lengthens every slab, so all stay one length.
  if (c > f->slabsx.data[0].count) {
    for (vector2t *s : {&f->slabsx, &f->slabsy, &f->slabsz})
      for (int32_t i = 0; i < s->count && (s != &f->slabsz || is3); i++) vectort_clear_bit(&s->data[i], c);
  }
  mark(&f->slabsx, lo[0], hi[0], c, true);
  mark(&f->slabsy, lo[1], hi[1], c, true);
  if (is3) mark(&f->slabsz, lo[2], hi[2], c, true);
}

void mfinder_unmap_finder_cell(finder *f, Mesh *m, int32_t c) {
  TRACE("mfinder_unmap_finder_cell_0");
  int32_t lo[3], hi[3];
  if (!cell_slabs(f, m, c, lo, hi)) return;
  mark(&f->slabsx, lo[0], hi[0], c, false);
  mark(&f->slabsy, lo[1], hi[1], c, false);
  if (threed(m) && f->binsz) mark(&f->slabsz, lo[2], hi[2], c, false);
}

// The search over the candidates of the point's slabs (two, or three with z), with k
// local coordinates per test. The candidates are taken word by word from the AND of
// the slabs' words, lowest cell number first, so nothing is allocated.
static int32_t find(evalpoint *p, Mesh *m, double tol, int dims) {
  finder *f = &m->finder;
  if (!f->built) mfinder_build_finder(m);
  if (!f->binsx || !f->binsy || (dims == 3 && !f->binsz)) return 0;
  const rect3d &b = f->box;
  if (!(p->x >= b.x1 && p->x <= b.x2 && p->y >= b.y1 && p->y <= b.y2)) return 0;
  if (dims == 3 && !(p->z >= b.z1 && p->z <= b.z2)) return 0;
  const vectort *sx = &f->slabsx.data[slab(p->x, b.x1, f->widthx, f->binsx) - 1];
  const vectort *sy = &f->slabsy.data[slab(p->y, b.y1, f->widthy, f->binsy) - 1];
  const vectort *sz = dims == 3 ? &f->slabsz.data[slab(p->z, b.z1, f->widthz, f->binsz) - 1] : sy;
  int32_t bits = std::min({sx->count, sy->count, sz->count, m->cells.count});
  int k = dims + 1;
  double xyz[3] = {p->x, p->y, dims == 3 ? p->z : 0};
  int32_t best = 0;
  double best_score = -1e300;
  for (int32_t w = 0; w < (bits + 31) / 32; w++) {
    uint32_t word = sx->words[w] & sy->words[w] & sz->words[w];
    if (w == (bits - 1) / 32 && bits % 32) word &= ~(0xffffffffu >> (bits % 32));
    while (word) {
      int bit = std::countl_zero(word);
      word &= ~(0x80000000u >> bit);
      int32_t c = w * 32 + bit + 1;
      const MeshCell &cell = m->cells.data[c - 1];
      if (!cell.alive) continue;
      meshes_localize(m, &cell, p->cell, 0);
      elements_get_lcoords(p->local, xyz, &p->cell->frame, 0.5);
      if (std::all_of(p->local, p->local + k, [](double L) { return L > -1e-6; })) return c;
      if (tol > 0 && std::all_of(p->local, p->local + k, [tol](double L) { return L > -tol; })) {
        double score = 0;
        for (int i = 0; i < k; i++) score += std::min(p->local[i], 0.0);
        if (score > best_score) best = c, best_score = score;
      }
    }
  }
  if (best > 0) {
    meshes_localize(m, &m->cells.data[best - 1], p->cell, 0);
    elements_get_lcoords(p->local, xyz, &p->cell->frame, 0.5);
  }
  return -best;
}

int32_t mfinder_find_cell2(evalpoint *p, Mesh *m, double tol) {
  TRACE("mfinder_find_cell2_0");
  return find(p, m, tol, 2);
}

int32_t mfinder_find_cell3(evalpoint *p, Mesh *m, double tol) {
  TRACE("mfinder_find_cell3_0");
  return find(p, m, tol, 3);
}

int32_t mfinder_find_cell(evalpoint *p, Mesh *m, double tol) {
  TRACE("mfinder_find_cell_0");
  return threed(m) ? mfinder_find_cell3(p, m, tol) : mfinder_find_cell2(p, m, tol);
}

bool mfinder_line_may_meet(Mesh *m, int a, const double pos[3]) {
  TRACE("mfinder_line_may_meet");
  finder *f = &m->finder;
  if (!f->built) mfinder_build_finder(m);
  int dims = threed(m) ? 3 : 2;
  if (!f->binsx || !f->binsy || (dims == 3 && !f->binsz)) return false;
  const double low[3] = {f->box.x1, f->box.y1, f->box.z1}, high[3] = {f->box.x2, f->box.y2, f->box.z2};
  const double width[3] = {f->widthx, f->widthy, f->widthz};
  const uint16_t bins[3] = {f->binsx, f->binsy, f->binsz};
  const vector2t *slabs[3] = {&f->slabsx, &f->slabsy, &f->slabsz};
  // The slabs of the other axes; with one other axis (a line of a plane mesh) it
  // stands twice.
  const vectort *s[2] = {nullptr, nullptr};
  int k = 0;
  for (int b = 0; b < dims; b++) {
    if (b == a) continue;
    if (!(pos[b] >= low[b] && pos[b] <= high[b])) return false;
    s[k++] = &slabs[b]->data[slab(pos[b], low[b], width[b], bins[b]) - 1];
  }
  if (k == 0) return true;
  if (k == 1) s[1] = s[0];
  int32_t bits = std::min({s[0]->count, s[1]->count, m->cells.count});
  for (int32_t w = 0; w < (bits + 31) / 32; w++) {
    uint32_t word = s[0]->words[w] & s[1]->words[w];
    if (w == (bits - 1) / 32 && bits % 32) word &= ~(0xffffffffu >> (bits % 32));
    if (word) return true;
  }
  return false;
}

// The boundary curve under side s of cell k when it is an arc or an elliptic arc: in
// 2D the domain edge of the side, in 3D the base edge of an extruded wall. Null for
// straight sides and plane faces.
static const Edge *side_curve(const Mesh *m, const MeshCell &k, int s, bool solid) {
  const Domain *d = m->domain;
  uint16_t id = k.bdid[s - 1];
  if (!d || id == 0) return nullptr;
  const Edge *e = nullptr;
  if (!solid) {
    if (id <= d->edges.count) e = &d->edges.data[id - 1];
  } else if (id <= d->faces.count && d->faces.data[id - 1].type == 1) {
    const Domain *b = d->base ? d->base : d;
    uint16_t be = d->faces.data[id - 1].base;
    if (be >= 1 && be <= b->edges.count) e = &b->edges.data[be - 1];
  }
  return e && (e->shape == SHAPE_ARC || e->shape == SHAPE_ERC) ? e : nullptr;
}

// Distance of q from the curve e (3D: the wall that lifts e along the extrusion, with
// its shear) and the curve's unit normal there, of either sign. The foot is the radial
// one, where the ellipse's normal is the gradient of its equation.
static double curve_distance(const Domain *d, const Edge &e, bool solid, const double q[3], double n[3]) {
  const arcrec &a = e.shapedata.arc;
  double sx = solid ? d->shear[0] : 0, sy = solid ? d->shear[1] : 0, z = solid ? q[2] : 0;
  double dx = q[0] - z * sx - a.cx, dy = q[1] - z * sy - a.cy;
  double rho = std::sqrt(dx * dx / (a.rx * a.rx) + dy * dy / (a.ry * a.ry));
  if (!(rho > 0)) return HUGE_VAL;
  double gx = dx / (a.rx * a.rx), gy = dy / (a.ry * a.ry);
  // The wall's normal is the plane normal (gx, gy) crossed with nothing along z but the
  // shear: (gx, gy, -(gx sx + gy sy)) is normal to the tangent along the curve and to
  // the extrusion direction (sx, sy, 1).
  double gz = solid ? -(gx * sx + gy * sy) : 0, g = std::sqrt(gx * gx + gy * gy + gz * gz);
  n[0] = gx / g, n[1] = gy / g, n[2] = gz / g;
  double off = 1 - 1 / rho;  // the foot is centre + (q - centre) / rho
  return std::fabs(off) * std::sqrt(dx * dx + dy * dy) * std::sqrt(1 - n[2] * n[2]);
}

// Distance of point q from side s of cell k (2D: the segment; 3D: the triangle, taken
// as its plane with the foot inside the face), relative to the side's size; the unit
// outward normal in n. Infinity when the foot falls outside the side. A side on an arc
// or an elliptic arc (in 3D, on a wall extruded from one) measures the distance from
// that curve and gives the curve's own normal at the foot, not the chord's.
static double side_distance(const Mesh *m, const MeshCell &k, int s, bool solid, const double q[3], double n[3]) {
  auto at = [&](int v) {
    const MeshNode &d = m->nodes.data[k.nodes.data[v] - 1];
    return std::array<double, 3>{d.x, d.y, solid ? d.z : 0};
  };
  auto sub = [](const std::array<double, 3> &a, const std::array<double, 3> &b) {
    return std::array<double, 3>{a[0] - b[0], a[1] - b[1], a[2] - b[2]};
  };
  auto dot = [](const std::array<double, 3> &a, const std::array<double, 3> &b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
  };
  const double inf = HUGE_VAL, slack = 0.02;
  std::array<double, 3> p = {q[0], q[1], solid ? q[2] : 0}, o = at(s - 1), A, N;
  double size;
  if (!solid) {
    A = at(s % 3);
    std::array<double, 3> B = at((s + 1) % 3), d = sub(B, A);
    size = std::sqrt(dot(d, d));
    if (!(size > 0)) return inf;
    double along = dot(sub(p, A), d) / (size * size);
    if (along < -slack || along > 1 + slack) return inf;
    N = {d[1] / size, -d[0] / size, 0};
  } else {
    const uint8_t *f = elements_tet4_faces[s - 1];
    A = at(f[0] - 1);
    std::array<double, 3> u = sub(at(f[1] - 1), A), v = sub(at(f[2] - 1), A);
    N = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
    double area2 = std::sqrt(dot(N, N));
    if (!(area2 > 0)) return inf;
    for (double &x : N) x /= area2;
    size = std::sqrt(std::max(dot(u, u), dot(v, v)));
    // Barycentric coordinates of the foot in the face.
    std::array<double, 3> w = sub(p, A);
    double uu = dot(u, u), uv = dot(u, v), vv = dot(v, v), wu = dot(w, u), wv = dot(w, v), det = uu * vv - uv * uv;
    double a = (vv * wu - uv * wv) / det, b = (uu * wv - uv * wu) / det;
    if (a < -slack || b < -slack || a + b > 1 + slack) return inf;
  }
  if (dot(N, sub(o, A)) > 0) N = {-N[0], -N[1], -N[2]};  // away from the opposite vertex
  if (const Edge *e = side_curve(m, k, s, solid)) {
    std::array<double, 3> C = {0, 0, 0};
    double d = curve_distance(m->domain, *e, solid, q, C.data());
    if (dot(C, N) < 0) C = {-C[0], -C[1], -C[2]};
    n[0] = C[0], n[1] = C[1], n[2] = C[2];
    return d / size;
  }
  n[0] = N[0], n[1] = N[1], n[2] = N[2];
  return std::fabs(dot(N, sub(p, A))) / size;
}

bool mfinder_boundary_normal(const Mesh *m, int32_t c, evalpoint *p) {
  TRACE("mfinder_boundary_normal");
  const double at[3] = {p->x, p->y, p->z};
  double n[3] = {0, 0, 0};
  p->nx = p->ny = p->nz = 0;
  if (c < 1 || c > m->cells.count) return false;
  bool solid = threed(m);
  int vertices = solid ? 4 : 3;
  double best = 0.02, w[3];
  auto try_cell = [&](int32_t k) {
    if (k < 1 || k > m->cells.count || !m->cells.data[k - 1].alive) return;
    const MeshCell &cell = m->cells.data[k - 1];
    if (cell.nodes.count < vertices) return;
    for (int s = 1; s <= vertices; s++) {
      if (cell.neighbour[s - 1] != 0) continue;
      double d = side_distance(m, cell, s, solid, at, w);
      if (d <= best) best = d, n[0] = w[0], n[1] = w[1], n[2] = w[2];
    }
  };
  try_cell(c);
  const MeshCell &cell = m->cells.data[c - 1];
  for (int v = 0; v < vertices && v < cell.nodes.count; v++) {
    const vectorl &around = m->nodes.data[cell.nodes.data[v] - 1].nodecell;
    for (int32_t i = 0; i < around.count; i++) try_cell(around.data[i]);
  }
  p->nx = n[0], p->ny = n[1], p->nz = n[2];
  return n[0] != 0 || n[1] != 0 || n[2] != 0;
}

int mfinder_init() {
  TRACE("mfinder");
  return 0;
}
