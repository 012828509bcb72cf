// pgrid1: plot meshes along a segment or a boundary path.
#include "plot/pgrid1.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <utility>

#include "domain/domain.h"
#include "elements/elements.h"
#include "elements/meshes.h"
#include "graphics/gag3d.h"
#include "graphics/gagscren.h"
#include "model/metrics.h"
#include "plot/crossing.h"
#include "plot/pgrid2.h"
#include "plot/problem_view.h"
#include "runtime/bopmem.h"
#include "runtime/rtlib.h"
#include "runtime/matrixd.h"

namespace {

constexpr double EMPTY = 1.00000000000002e300;

LocalCell work;                            // the cell being cut
std::multimap<double, int32_t> by_distance;  // plot nodes of the mesh being built, by distance
std::set<std::pair<int32_t, int32_t>> pieces;  // end nodes of its cells, the smaller first
// The stretches of the path taken by the plot meshes built so far, with their group: a
// path along a face between two regions is taken once, by the first region.
struct stretch {
  double a, b;
  int32_t group;
};
std::vector<stretch> taken;

vectort &cell_marks(plotdata *d, int32_t g) { return d->strips[0].data[g - 1]; }
vectort &node_marks(plotdata *d, int32_t g) { return d->strips[1].data[g - 1]; }

const double *origin(const plotdata *d) { return d->lineends; }
double plane_value(const plotdata *d, const MeshNode &n) {
  const double *c = d->lineplane;
  return c[0] * n.x + c[1] * n.y + c[2] * n.z + c[3];
}
double along(const plotdata *d, const double *p) {
  const double *O = origin(d), *D = d->direction;
  return (p[0] - O[0]) * D[0] + (p[1] - O[1]) * D[1] + (p[2] - O[2]) * D[2];
}

// Polynomial order of the plot cells for a solution basis.
int32_t order_of(int32_t basis) {
  switch (basis) {
    case tri3: case tet4: return 1;
    case tri6: case tet10: return 2;
    case tri9: case tet20: return 3;
    default: rtlib_fatal_in("build_1dplot_mesh", "Illegal Basis");
  }
  return 0;
}

// The horizontal coordinate of a plot node by the axis kind.
double horizontal(const plotdata *d, double t, const double *xyz) {
  return d->lineaxis >= 1 && d->lineaxis <= 3 ? xyz[d->lineaxis - 1] : t;
}

void widen(double *range, double v) { range[0] = std::min(range[0], v), range[1] = std::max(range[1], v); }

// The plot node at distance t: an existing one within tol, else a new one.
int32_t plot_node(plotdata *d, tmesh *t, double s, const double *xyz, double tol, bool *made) {
  auto it = by_distance.lower_bound(s - tol);
  if (it != by_distance.end() && it->first < s + tol) {
    *made = false;
    return it->second;
  }
  pointd p = {s, 0};
  point3d q = {xyz[0], xyz[1], xyz[2]};
  int32_t n = pointd_one_more_0(&t->nodes, &p);
  point3d_one_more_0(&t->nodes3, &q);
  by_distance.emplace(s, n);
  widen(d->hrange, horizontal(d, s, xyz));
  *made = true;
  return n;
}

void start_mesh() {
  by_distance.clear();
  pieces.clear();
}

// The value of the second plane that holds the segment: normal D x n1 through O.
double second_plane_value(const plotdata *d, const MeshNode &n) {
  const double *c = d->linecross, *O = origin(d);
  return c[0] * (n.x - O[0]) + c[1] * (n.y - O[1]) + c[2] * (n.z - O[2]);
}

// Marks the live cells (of the region filter) that the segment passes: vertices on both
// sides of (or on) its plane (of both planes for tetrahedra), and distances reaching
// [0, L].
void mark_cells(plotdata *d, int32_t regions, bool threed) {
  Mesh *m = d->mesh;
  double L = d->linelength, eps = 1e-6 * L;
  plot_size_marks(d, regions, m->cells.count, m->nodes.count);
  for (int32_t c = 1; c <= m->cells.count; c++) {
    const MeshCell &cell = m->cells.data[c - 1];
    if (!cell.alive || cell.region < 1) continue;
    if (threed ? !pgrid2_region_matches(d, m->domain, cell.region) : d->region && cell.region != d->region) continue;
    int above = 0, below = 0, above2 = threed ? 0 : 1, below2 = above2, after = 0, before = 0;
    for (int k = 0; k < (threed ? 4 : 3); k++) {
      const MeshNode &n = m->nodes.data[cell.nodes.data[k] - 1];
      double s = plane_value(d, n), p[3] = {n.x, n.y, n.z}, t = along(d, p);
      above += s >= -eps, below += s < eps;
      if (threed) {
        double s2 = second_plane_value(d, n);
        above2 += s2 >= -eps, below2 += s2 < eps;
      }
      after += t >= -eps, before += t <= L + eps;
    }
    if (!above || !below || !above2 || !below2 || !after || !before) continue;
    vectort_set_bit(&cell_marks(d, cell.region), c);
    int nn = elements_functions[cell.basis];
    for (int j = 0; j < nn; j++) vectort_set_bit(&node_marks(d, cell.region), cell.nodes.data[j]);
  }
}

// One crossing of a cell: its local point, position and distance along the segment.
struct crossing_at {
  double L[4], xyz[3], t;
};

// The crossings of the working cell with their positions and distances; dead ones are
// skipped (2D) or fatal (3D). With more than two, only the outermost bound the piece
// (a line through a vertex or an edge meets several sides there). Returns the count.
int gather_crossings(const plotdata *d, crossing_at *x, bool fatal_dead) {
  int k = 0;
  for (int i = 0; i < crossing_list.count; i++) {
    if (!crossing_list.live[i]) {
      if (fatal_dead) rtlib_fatal_in("skewer_3d_cells", "dead edge cut");
      continue;
    }
    std::copy_n(crossing_list.L[i], 4, x[k].L);
    elements_get_gcoords(x[k].xyz, x[k].L, &work.frame);
    x[k].t = along(d, x[k].xyz);
    k++;
  }
  if (k > 2) {
    auto [lo, hi] = std::minmax_element(x, x + k, [](const crossing_at &p, const crossing_at &q) { return p.t < q.t; });
    crossing_at a = *lo, b = *hi;
    x[0] = a, x[1] = b, k = 2;
  }
  return k;
}

// A plot cell from the piece between two crossings of mesh cell c, clipped to the
// segment. A piece whose end nodes both exist is dropped only when a cell with those
// ends exists: pieces made out of order along the path are kept.
void new_1dpcell(plotdata *d, tmesh *t, int32_t c, crossing_at a, crossing_at b, double tol) {
  double L = d->linelength;
  if (a.t > b.t) std::swap(a, b);
  if (b.t < 0 || a.t > L) return;
  if (a.t < 0) {
    std::copy_n(origin(d), 3, a.xyz);
    elements_get_lcoords(a.L, a.xyz, &work.frame, 1e-6);
    a.t = 0;
  }
  if (b.t > L) {
    std::copy_n(d->lineends + 3, 3, b.xyz);
    elements_get_lcoords(b.L, b.xyz, &work.frame, 1e-6);
    b.t = L;
  }
  int32_t group = d->mesh->cells.data[c - 1].region;
  for (const stretch &s : taken)
    if (s.group != group && a.t >= s.a - tol && b.t <= s.b + tol) return;
  bool made_a, made_b, made;
  int32_t ends[2] = {plot_node(d, t, a.t, a.xyz, tol, &made_a), plot_node(d, t, b.t, b.xyz, tol, &made_b)};
  if (ends[0] == ends[1]) return;  // a piece shorter than the tolerance
  std::pair<int32_t, int32_t> key = std::minmax(ends[0], ends[1]);
  if (!made_a && !made_b && pieces.count(key)) return;
  pieces.insert(key);
  taken.push_back({a.t, b.t, group});
  widen(d->drange, a.t), widen(d->drange, b.t);
  int32_t k = trimesh_new_tcell(t, c, 0);
  int32_t *cn = t->cells.data + (k - 1) * t->ncell;
  cn[0] = ends[0], cn[1] = ends[1];
  int order = t->ncell - 1;
  for (int i = 1; i < order; i++) {
    double u = double(i) / order, Li[4], xyz[3];
    for (int j = 0; j < 4; j++) Li[j] = (1 - u) * a.L[j] + u * b.L[j];
    elements_get_gcoords(xyz, Li, &work.frame);
    cn[1 + i] = plot_node(d, t, a.t + u * (b.t - a.t), xyz, tol, &made);
  }
}

// The side polynomials of the plane along the three sides of each marked cell, their
// crossings, and a plot cell between the outermost two.
void cut_2d_cells(plotdata *d, tmesh *t, int32_t g, double tol) {
  Mesh *m = d->mesh;
  const double *pl = d->lineplane;
  const vectort &marks = cell_marks(d, g);
  for (int32_t c = vectort_next_bit(&marks, 0); c > 0; c = vectort_next_bit(&marks, c)) {
    const MeshCell &cell = m->cells.data[c - 1];
    meshes_localize(m, &cell, &work, 0);
    crossing_list.count = 0;
    auto value = [&](int32_t node) {
      const MeshNode &n = m->nodes.data[node - 1];
      return pl[0] * n.x + pl[1] * n.y;
    };
    const int32_t *n = cell.nodes.data;
    for (int s = 1; s <= 3; s++) {
      const uint8_t *row = elements_tri_sides[s - 1];
      double A = value(n[row[1] - 1]), B = value(n[row[2] - 1]), d0 = A + pl[3];
      if (cell.basis == tri6) {
        double M = value(n[row[3] - 1]);
        crossing_bcross2(2 * A + 2 * B - 4 * M, 4 * M - 3 * A - B, d0, uint16_t(s), 1e-6);
      } else if (cell.basis == tri9) {
        double P = value(n[row[3] - 1]), Q = value(n[row[6] - 1]);
        crossing_bcross3(4.5 * (B - A + 3 * (P - Q)), 4.5 * (2 * A - 5 * P + 4 * Q - B),
                         0.5 * (18 * P - 11 * A - 9 * Q + 2 * B), d0, uint16_t(s), 1e-6);
      } else {
        crossing_bcross1(B - A, d0, uint16_t(s), 1e-6);
      }
    }
    crossing_clean_crossings(&crossing_list);
    crossing_at x[CROSSING_MAX];
    if (gather_crossings(d, x, false) == 2) new_1dpcell(d, t, c, x[0], x[1], tol);
  }
  trimesh_order_1d(t);
  trimesh_tag_tmesh(t);
  gagscren_dispatch(0);
}

// ---- Skewering tetrahedra ---------------------------------------------------------------

matrixd facesystem;     // the 4 x 4 system of a face cut
const plotframe *meshframe;  // the 3D mapping of the problem's mesh view
vectord facerhs, facescale;
vectorn facepivots;
BopmemWork face_work([] {
  matrixd_free(&facesystem);
  vectord_free(&facerhs);
  vectord_free(&facescale);
  vectorn_free(&facepivots);
});


// On a curved tetrahedron: moves the straight-cell crossing along the line until the
// face's local coordinate vanishes in the curved cell.
void cut_curve(const plotdata *d, LocalCell *lc, int face, double *L, double *t) {
  const double *O = origin(d), *D = d->direction;
  double xyz[3] = {O[0] + *t * D[0], O[1] + *t * D[1], O[2] + *t * D[2]};
  // The point may lie a little outside the curved cell: the inverse map follows it.
  elements_get_lcoords(L, xyz, &lc->frame, 0.5);
  for (int it = 0; it < 11; it++) {
    elements_jacobian(L, &lc->frame);
    // The gradient of L_face from the inverse Jacobian: K is the inverse for cells of
    // negative determinant (the mesh's orientation) and its negative otherwise.
    const double(*J)[4] = lc->frame.J;
    double det = J[0][0] * (J[1][1] * J[2][2] - J[1][2] * J[2][1]) - J[0][1] * (J[1][0] * J[2][2] - J[1][2] * J[2][0]) +
                 J[0][2] * (J[1][0] * J[2][1] - J[1][1] * J[2][0]);
    double g[3];
    for (int r = 0; r < 3; r++) g[r] = (det > 0 ? -1 : 1) * lc->frame.K[face - 1][r];
    double slope = g[0] * D[0] + g[1] * D[1] + g[2] * D[2];
    if (slope == 0) break;
    double dt = -L[face - 1] / slope;
    *t += dt;
    for (int k = 0; k < 3; k++) xyz[k] = O[k] + *t * D[k];
    elements_get_lcoords(L, xyz, &lc->frame, 0.5);
    if (std::fabs(dt) < 1e-12 * d->linelength) break;
  }
}

// The pieces of the segment in the region's marked tetrahedra: two crossings of the
// faces per piece, drawn into the problem's mesh view when it has one.
void skewer_3d_cells(plotdata *d, tmesh *t, int32_t g, double tol) {
  Mesh *m = d->mesh;
  const vectort &marks = cell_marks(d, g);
  for (int32_t c = vectort_next_bit(&marks, 0); c > 0; c = vectort_next_bit(&marks, c)) {
    const MeshCell &cell = m->cells.data[c - 1];
    work.frame.curved = 0;
    meshes_localize(m, &cell, &work, 0);
    crossing_list.count = 0;
    for (int f = 1; f <= 4; f++) pgrid1_face_cut_3d(d, c, f, &work, 1e-6);
    crossing_at x[CROSSING_MAX];
    int k = gather_crossings(d, x, true);
    if (k != 2) continue;
    if (m->meshview && meshframe) {
      point3d a = {x[0].xyz[0], x[0].xyz[1], x[0].xyz[2]}, b = {x[1].xyz[0], x[1].xyz[1], x[1].xyz[2]};
      gag3d_drawline_3d(m->meshview, &a, &b, &meshframe->transform);
    }
    new_1dpcell(d, t, c, x[0], x[1], tol);
  }
  trimesh_order_1d(t);
  trimesh_tag_tmesh(t);
  gagscren_dispatch(0);
}

const uint32_t segment_basis[4] = {0, lin2, lin3, lin4};

// One plot mesh per region with marked cells; returns the number of plot cells.
int32_t build_1dplot_mesh(plotdata *d, int32_t regions, double tol, bool threed) {
  d->order = uint16_t(order_of(d->mesh->meshbasis));
  d->sbasis = uint32_t(d->mesh->meshbasis), d->pbasis = segment_basis[d->order];
  trimesh_free_1(&d->meshes, 1);
  trimesh_resize_1(&d->meshes, regions, regions);
  std::fill_n(d->meshes.data, regions, tmesh{});
  int32_t total = 0;
  taken.clear();
  for (int32_t g = 1; g <= regions; g++) {
    int32_t cells = vectort_count(&cell_marks(d, g));
    if (cells == 0) {
      vectort_free(&cell_marks(d, g));
      vectort_free(&node_marks(d, g));
      continue;
    }
    tmesh *t = &d->meshes.data[g - 1];
    int32_t nodes = (d->order + 1) * cells;
    trimesh_resize_0(t, 0, nodes, nodes, 0, cells, d->pbasis, d->sbasis);
    start_mesh();
    if (threed) skewer_3d_cells(d, t, g, tol);
    else cut_2d_cells(d, t, g, tol);
    if (d->points[0] > 0) trimesh_tdensify_1d(t, d->linelength / d->points[0]);
    trimesh_order_1d(t);
    total += t->source.count;
    gagscren_dispatch(0);
  }
  return total;
}

// Whether a domain edge borders the region (any region when 0).
bool borders(const Edge &e, uint16_t region) {
  return !region || e.side_regions[0] == region || e.side_regions[1] == region;
}

// The mesh cell and side that carry the boundary piece from node a to node b.
int32_t piece_cell(const Mesh *m, int32_t a, int32_t b, uint16_t region, int *side) {
  const vectorl &cells = m->nodes.data[a - 1].nodecell;
  for (int32_t k = 0; k < cells.count; k++) {
    const MeshCell &cell = m->cells.data[cells.data[k] - 1];
    if (!cell.alive || (region && cell.region != region)) continue;
    for (int s = 1; s <= 3; s++) {
      const uint8_t *row = elements_tri_sides[s - 1];
      int32_t p = cell.nodes.data[row[1] - 1], q = cell.nodes.data[row[2] - 1];
      if ((p == a && q == b) || (p == b && q == a)) {
        *side = s;
        return cells.data[k];
      }
    }
  }
  *side = 0;
  return 0;
}

double node_distance(const Mesh *m, int32_t a, int32_t b) {
  const MeshNode &p = m->nodes.data[a - 1], &q = m->nodes.data[b - 1];
  return std::sqrt((q.x - p.x) * (q.x - p.x) + (q.y - p.y) * (q.y - p.y) + (q.z - p.z) * (q.z - p.z));
}

// The boundary path: one plot mesh per accepted edge, the distance running on from
// edge to edge. Returns the number of plot cells.
int32_t trace_loop(plotdata *d) {
  Mesh *m = d->mesh;
  const Domain *dom = m->domain;
  d->order = uint16_t(order_of(m->meshbasis));
  d->sbasis = uint32_t(m->meshbasis), d->pbasis = segment_basis[d->order];
  int32_t step = d->order;
  trimesh_free_1(&d->meshes, 1);
  d->meshes.count = 0;
  if (!dom || d->boundary < 1 || d->boundary > dom->loops.count) return 0;
  const Loop &loop = dom->loops.data[d->boundary - 1];
  // The accepted edges and their chains of boundary nodes.
  std::vector<int32_t> accepted;
  double total = 0;
  for (int32_t k = 0; k < loop.edges.count; k++) {
    int32_t e = loop.edges.data[k], a = std::abs(e);
    if (a < 1 || a > dom->edges.count || a > m->edgenodes.count) continue;
    const Edge &E = dom->edges.data[a - 1];
    if (E.deleted || !borders(E, d->region)) continue;
    const vectorl &chain = m->edgenodes.data[a - 1];
    for (int32_t i = 1; i < chain.count; i++) total += node_distance(m, chain.data[i - 1], chain.data[i]);
    accepted.push_back(e);
  }
  int32_t count = int32_t(accepted.size());
  trimesh_resize_1(&d->meshes, count, count);
  std::fill_n(d->meshes.data, count, tmesh{});
  double run = 0;
  int32_t cells = 0, first = 0, last = 0;
  for (int32_t i = 0; i < count; i++) {
    int32_t e = accepted[i];
    const vectorl &chain = m->edgenodes.data[std::abs(e) - 1];
    int32_t nm = chain.count, pieces_n = (nm - 1) / step;
    auto node_at = [&](int32_t j) { return e > 0 ? chain.data[j] : chain.data[nm - 1 - j]; };
    tmesh *t = &d->meshes.data[i];
    trimesh_resize_0(t, 0, nm, nm, 0, pieces_n, d->pbasis, d->sbasis);
    std::vector<double> dist(nm, run);
    for (int32_t j = 1; j < nm; j++) dist[j] = dist[j - 1] + node_distance(m, node_at(j - 1), node_at(j));
    std::vector<int32_t> made(nm, 0);
    auto plot_at = [&](int32_t j) {
      if (made[j]) return made[j];
      if (t->nodes.count >= t->nodes.capacity) rtlib_fatal_in("trace_loop", "overrun");
      const MeshNode &n = m->nodes.data[node_at(j) - 1];
      pointd p = {dist[j], 0};
      point3d q = {n.x, n.y, n.z};
      made[j] = pointd_one_more_0(&t->nodes, &p);
      point3d_one_more_0(&t->nodes3, &q);
      return made[j];
    };
    for (int32_t k = 0; k < pieces_n; k++) {
      int32_t j0 = k * step, j1 = j0 + step, side;
      int32_t c = piece_cell(m, node_at(j0), node_at(j1), d->region, &side);
      int32_t slot = trimesh_new_tcell(t, c, uint16_t(side));
      int32_t *cn = t->cells.data + (slot - 1) * t->ncell;
      cn[0] = plot_at(j0), cn[1] = plot_at(j1);
      for (int32_t j = 1; j < step; j++) cn[1 + j] = plot_at(j0 + j);
    }
    if (nm > 0) {
      if (i == 0) first = node_at(0);
      last = node_at(nm - 1);
    }
    run = dist[nm - 1 < 0 ? 0 : nm - 1];
    if (d->points[0] > 0) trimesh_tdensify_1d(t, total / d->points[0]);
    trimesh_order_1d(t);
    trimesh_tag_tmesh(t);
    cells += t->source.count;
    gagscren_dispatch(0);
  }
  d->closed = count > 0 && first == last;
  d->hrange[0] = 0, d->hrange[1] = total;
  d->drange[0] = 0, d->drange[1] = total;
  return cells;
}

// In axisymmetric problems no plot node lies on the axis.
void off_axis1(const metric *coords, plotdata *d, double tol) {
  if (coords->family != 2 || (coords->geometry != 5 && coords->geometry != 6)) return;
  for (int32_t g = 0; g < d->meshes.count; g++) {
    point3dlist &q = d->meshes.data[g].nodes3;
    for (int32_t i = 0; i < q.count; i++) {
      double &r = coords->geometry == 5 ? q.data[i].y : q.data[i].x;
      r = std::max(r, tol);
    }
  }
}

}  // namespace

double pgrid1_elevation_project(const double *point, const plotdata *d) {
  TRACE("pgrid1_elevation_project");
  return along(d, point);
}

double pgrid1_node_spot(const plotdata *d, const tmesh *t, int32_t n) {
  if (d->lineaxis >= 1 && d->lineaxis <= 3 && t->nodes3.count >= n) {
    const point3d &q = t->nodes3.data[n - 1];
    double xyz[3] = {q.x, q.y, q.z};
    return horizontal(d, 0, xyz);
  }
  return t->nodes.data[n - 1].x;
}

void pgrid1_face_cut_3d(const plotdata *d, int32_t, int32_t face, LocalCell *lc, double eps) {
  TRACE("pgrid1_face_cut_3d");
  if (!facesystem.capacity) {
    matrixd_new(&facesystem, 4, 4);
    vectord_new(&facerhs, 4, 4);
    vectord_new(&facescale, 4, 4);
    vectorn_new(&facepivots, 4, 4);
  }
  // P4 + xi (P1 - P4) + eta (P2 - P4) + zeta (P3 - P4) - t D = O, and the face's row.
  const double (*P)[3] = lc->frame.nodes;
  const double *O = origin(d), *D = d->direction, L = d->linelength;
  matrixd_resize(&facesystem, 4, 4);
  double *A = facesystem.data;
  for (int r = 0; r < 3; r++) {
    for (int k = 0; k < 3; k++) A[4 * r + k] = P[k][r] - P[3][r];
    A[4 * r + 3] = -D[r];
    facerhs.data[r] = O[r] - P[3][r];
  }
  for (int k = 0; k < 4; k++) A[12 + k] = face == 4 ? (k < 3) : (k == face - 1);
  facerhs.data[3] = face == 4 ? 1 : 0;
  double parity = matrixd_lu_fac(&facesystem, &facescale, &facepivots);
  if (!(std::fabs(matrixd_det(&facesystem, parity)) > 1e-9 * lc->frame.measure)) return;  // parallel
  vectord x = {};
  vectord_new(&x, 4, 4);
  matrixd_lu_sol_0(&x, &facesystem, &facerhs, &facepivots);
  double Lc[4] = {x.data[0], x.data[1], x.data[2], 1 - x.data[0] - x.data[1] - x.data[2]}, t = x.data[3];
  vectord_free(&x);
  if (t < -L || t > 2 * L) return;
  if (lc->frame.gbasis != tet4) cut_curve(d, lc, face, Lc, &t);
  // Crossings before the start or beyond the end stay: the piece of a cell that holds
  // an end of the segment is cut back to that end when its plot cell is made.
  if (t < -L || t > 2 * L) return;
  for (double v : Lc)
    if (v < -eps || v > 1 + eps) return;
  // Two faces met a little apart (a path close to an edge passes through thin wedges
  // of the cells around it) are two crossings: only the outermost two bound the piece.
  crossing_aclist_2(Lc, uint16_t(face));
}

double pgrid1_fround(double x, double h) {
  double k = std::trunc(std::fabs(x) / h);
  return x >= 0 ? (k - 0.5) * h : (0.5 - k) * h;
}

uint8_t pgrid1_validate_1dplot_mesh(pde *p, plotdata *d) {
  TRACE("pgrid1_validate_1dplot_mesh");
  if (d->valid) return d->valid;
  const problem_view v = view_of(p);
  d->mesh = v.mesh;
  Mesh *m = d->mesh;
  const Domain *dom = m->domain;
  double tol = dom ? dom->grid.tolerance : 0;
  if (!(tol > 0)) tol = 1e-6 * std::max(d->linelength, 1e-300);
  d->hrange[0] = d->drange[0] = EMPTY, d->hrange[1] = d->drange[1] = -EMPTY;
  bool threed = v.dimension == 3 || (dom && dom->threed);
  int32_t cells = 0;
  meshframe = &v.styles[3];
  if (d->boundary == 0) {
    int32_t regions = dom ? dom->regions.count : 0;
    for (int32_t c = 1; c <= m->cells.count; c++)
      if (m->cells.data[c - 1].alive) regions = std::max<int32_t>(regions, m->cells.data[c - 1].region);
    mark_cells(d, regions, threed);
    cells = build_1dplot_mesh(d, regions, tol, threed);
  } else {
    cells = trace_loop(d);
  }
  off_axis1(v.coords, d, dom ? dom->grid.tolerance : 0);
  String &title = d->axislabels[0];
  int k = d->lineaxis;
  if (k >= 1 && k <= 3 && v.coordnames->count >= k && v.coordnames->items[k - 1].length) {
    strings_copyto_0(&title, &v.coordnames->items[k - 1]);
  } else if (k >= 1 && k <= 3) {
    strings_copyto_1(&title, k == 1 ? "X" : k == 2 ? "Y" : "Z");
  } else {
    strings_copyto_1(&title, "Distance");
  }
  d->valid = cells > 0;
  return d->valid;
}

int pgrid1_init() {
  TRACE("pgrid1");
  return 0;
}
