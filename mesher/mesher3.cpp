// mesher3: the three-dimensional mesh driver: the surface trees of the sheets, and the
// extrusion of the base mesh finished with conditions, materials, boundary ids,
// relaxation, higher-order nodes, periodic images and the display.
#include "mesher/mesher3.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "model/pdedat_record.h"
#include "domain/domain.h"
#include "domain/dominpde.h"
#include "domain/edges.h"
#include "domain/joints.h"
#include "domain/regions.h"
#include "elements/elements.h"
#include "elements/evalpoint.h"
#include "elements/meshes.h"
#include "mesher/extrude3.h"
#include "mesher/mesh3.h"
#include "mesher/mesher2.h"
#include "mesher/meshpde3.h"
#include "mesher/refine2.h"
#include "model/treeclas.h"
#include "model/treedif.h"
#include "model/treemods.h"
#include "model/treesimp.h"
#include "model/treeval.h"
#include "plot/doplot3.h"
#include "plot/plot.h"
#include "runtime/debug.h"
#include "runtime/report.h"
#include "runtime/rtlib.h"

int mesher3_init() {
  TRACE("mesher3");
  return 0;
}

static void build_sheet_trees(pde *p);

void mesher3_treat_sheets(pde *p) {
  TRACE("mesher3_treat_sheets");
  build_sheet_trees(p);
  // A curve along which a layer pinches becomes a path of the base domain: the trees are
  // then made for its region too.
  if (mesher3_pinch_paths(p)) build_sheet_trees(p);
}

static void build_sheet_trees(pde *p) {
  Domain *d = p->mesh.domain;
  uint16_t S = d->surfacetrees.count, R = d->regions.count;
  // 1. Flat flags and the three tables, emptied.
  vectorb_resize(&d->flat, S, S);
  for (int t = 0; t < 3; t++) {
    trees_free_2(&d->regiontrees[t], 1);
    if (S) trees_resize_1(&d->regiontrees[t], S, S);
    for (uint16_t s = 0; s < S; s++) {
      treevector &v = d->regiontrees[t].data[s];
      v.count = 0;
      if (R) trees_resize_0(&v, R, R);
      for (uint16_t r = 0; r < R; r++) v.data[r] = nullptr;
    }
  }
  // 2. Per sheet and region: the surface, its gradient and the gradient's divergence.
  for (uint16_t s = 1; s <= S; s++) {
    d->flat.data[s - 1] = 1;
    for (uint16_t r = 1; r <= R; r++) {
      TreeNode *z = treemods_copy_params(p, trees_copy(d->surfacetrees.data[s - 1]), r, 0);
      uint8_t changed = 0;
      treesimp_simplify_in(&z, r, &changed);
      treeclas_classify_rhs(p, z, r);
      d->regiontrees[0].data[s - 1].data[r - 1] = z;
      if (z->rhsclass != constex) d->flat.data[s - 1] = 0;
      TreeNode *g = treedif_gradient2(z);
      d->regiontrees[1].data[s - 1].data[r - 1] = g;
      TreeNode *div = treedif_div2v(g);
      treesimp_simplify_in(&div, r, &changed);
      treeclas_classify_value(p, div, r, vtag::scalar);
      if (p->cse) {
        treemods_find_common(div, div);
        treemods_link_common(div, &p->cseslots);
      }
      d->regiontrees[2].data[s - 1].data[r - 1] = div;
    }
  }
}

namespace {

// A curved sheet must bend little across a base cell: the tetrahedra of a column bend
// with their sheet, and bisecting one later pushes its new sheet nodes out by that bend
// (halved lengths quarter it), which a cell thin against it cannot take without folding
// or leaving the node off its sheet. Where a sheet's bend across a side (its height at the
// middle against the side's chord) exceeds this fraction of the side's length, the base
// cell is bisected before the extrusion, so that its columns follow the sheet from the
// first mesh on.
const double kSheetBend = 0.1;

bool bends(const Domain *d, const Mesh *m, int32_t c) {
  const MeshCell &C = m->cells.data[c - 1];
  uint16_t S = d->surfacetrees.count, r = C.region;
  for (int e = 0; e < 3; e++) {
    const MeshNode &A = m->nodes.data[C.nodes.data[e] - 1], &B = m->nodes.data[C.nodes.data[(e + 1) % 3] - 1];
    double mx = (A.x + B.x) / 2, my = (A.y + B.y) / 2, len = std::hypot(B.x - A.x, B.y - A.y);
    // Each sheet's height at the ends and the middle; a side where layers pinch (a sheet
    // bends more than the layer beside it is thick) is left alone: no length follows a
    // sheet running into another.
    std::vector<double> za(S + 1), zm(S + 1), zb(S + 1);
    for (uint16_t s = 1; s <= S; s++)
      za[s] = meshpde3_sheet_z(d, s, r, A.x, A.y), zm[s] = meshpde3_sheet_z(d, s, r, mx, my),
      zb[s] = meshpde3_sheet_z(d, s, r, B.x, B.y);
    bool split = false;
    for (uint16_t s = 1; s <= S; s++) {
      if (s <= d->flat.count && d->flat.data[s - 1]) continue;
      double bend = std::fabs(zm[s] - (za[s] + zb[s]) / 2);
      if (!(bend > kSheetBend * len)) continue;
      for (uint16_t t = 1; t < S; t++)
        if (!(std::min({za[t + 1] - za[t], zm[t + 1] - zm[t], zb[t + 1] - zb[t]}) > bend)) return false;
      split = true;
    }
    if (split) return true;
  }
  return false;
}

// Bisects the base cells across which a curved sheet bends too much (a few passes,
// within a share of the node limit).
void follow_sheets(pde *p, Mesh *m) {
  const Domain *d = m->domain;
  bool flat = true;
  for (int32_t s = 0; s < d->flat.count; s++) flat = flat && d->flat.data[s];
  if (flat || d->surfacetrees.count < 2) return;
  // A base node stands for about p^2 (p (S - 1) + 1) nodes of order p over S sheets; the
  // first mesh keeps within half the node limit.
  const int32_t order = p->basis == tet20 ? 3 : p->basis == tet10 ? 2 : 1, S = d->surfacetrees.count;
  const double per = double(order * order) * (order * (S - 1) + 1);
  const int32_t cap = int32_t(std::max<int32_t>(p->nodelimit, 1) * 0.5 / per);
  const int32_t before = m->nodes.count;
  for (int pass = 0; pass < 8; pass++) {
    std::vector<int32_t> marked;
    for (int32_t c = 1; c <= m->cells.count; c++)
      if (m->cells.data[c - 1].alive && bends(d, m, c)) marked.push_back(c);
    if (marked.empty()) break;
    bool full = false;
    for (int32_t c : marked) {
      if ((full = m->nodes.count - m->delnodes >= cap)) break;
      if (m->cells.data[c - 1].alive && bends(d, m, c)) refine2_subdivide2(m, c, tri3, nullptr, 0, 1);
    }
    if (full) break;
  }
  // New nodes on a periodic side find their images, as after any refinement.
  if (d->periodics.count > 0 && m->nodes.count > before) meshes_match_periodics(m, before);
}

// ---- Pinch curves ----------------------------------------------------------------------------------------
// Where a sheet runs into the next one tangentially along a curve inside the domain, the
// layer between them thins to nothing along that curve. A curved cell that the curve
// crosses cannot follow a layer that vanishes inside it without folding, and the layer's
// volume goes to its neighbour; refinement only halves the cells the curve crosses. The
// curve is found on a fine lattice over each region, where the layer's thickness has a
// minimum of zero along a lattice line, and laid into the base domain as a feature path, so
// that the cells' sides follow it on the first mesh and through every refinement.

// The thickness of the layer between sheets s and s + 1 over base region r, and its
// gradient.
struct LayerGap {
  const Domain *d;
  uint16_t s, r;
  double at(double x, double y) const { return meshpde3_sheet_z(d, s + 1, r, x, y) - meshpde3_sheet_z(d, s, r, x, y); }
  void slope(double x, double y, double g[2]) const {
    g[0] = g[1] = 0;
    for (int k = 0; k < 2; k++) {
      uint16_t sheet = uint16_t(s + 1 - k);
      const treevector &v = d->regiontrees[1].data[sheet - 1];
      if (r > v.count || !v.data[r - 1]) continue;
      double out[3] = {};
      uint16_t saved = treeval_region;
      treeval_region = r;
      evalpoint e{};
      e.x = x, e.y = y, e.region = r;
      treeval_eval_vec(report_current, out, v.data[r - 1], &e);
      treeval_region = saved;
      g[0] += k ? -out[0] : out[0], g[1] += k ? -out[1] : out[1];
    }
  }
};

// Whether a point lies inside region r (and in no excluded region).
bool inside(const Domain *d, uint16_t r, double x, double y) {
  const double p[2] = {x, y};
  return test_region(d, p, r) && !exclude_point(d, p);
}

// The nearest crossing of the segment a-b with an edge of the domain, into q.
bool first_crossing(const Domain *d, const double a[2], const double b[2], double q[2], uint16_t *edge) {
  pointdlist found{};
  double best = HUGE_VAL;
  for (uint16_t e = 1; e <= d->edges.count; e++) {
    uint16_t n = edges_cross_edge(&found, &d->edges.data[e - 1], &d->joints, a, b, 1e-9);
    for (uint16_t k = 0; k < n; k++) {
      double dist = std::hypot(found.data[k].x - a[0], found.data[k].y - a[1]);
      if (dist < best) best = dist, q[0] = found.data[k].x, q[1] = found.data[k].y, *edge = e;
    }
  }
  pointd_free_1(&found);
  return best < HUGE_VAL;
}

// The points of one pinch curve of a layer over a region, in order along it.
using Chain = std::vector<std::array<double, 2>>;

// The curves along which the layer over region r thins to zero tangentially: lattice lines
// h apart (offset from the region's box, so that no line runs along a side drawn on round
// numbers) are searched for a minimum of the thickness between two lattice points (its
// derivative along the line turning from falling to rising), kept where the thickness
// there is zero to a billionth of the layer's greatest; the points are then chained,
// neighbour to neighbour, as long as the thickness halfway between them is zero too.
std::vector<Chain> pinch_curves(const LayerGap &L, double h) {
  const Domain *d = L.d;
  const rect3d &box = d->regions.data[L.r - 1].box;
  const double ox = box.x1 + 0.3183 * h, oy = box.y1 + 0.2719 * h;
  const double lx = std::ceil((box.x2 - ox) / h) + 1, ly = std::ceil((box.y2 - oy) / h) + 1;
  std::vector<Chain> curves;
  // A region far longer one way than the domain's spacing measures (a side drawn out to 1e30)
  // has no lattice to search: its layers are left as drawn.
  if (!(lx >= 1 && ly >= 1 && lx * ly <= 1 << 20)) return curves;
  const int nx = int(lx), ny = int(ly);
  std::vector<std::array<double, 2>> slope(size_t(nx) * ny);
  std::vector<char> in(size_t(nx) * ny);
  double most = 0;
  for (int i = 0; i < nx; i++)
    for (int j = 0; j < ny; j++) {
      double x = ox + i * h, y = oy + j * h;
      size_t k = size_t(i) * ny + j;
      if (!(in[k] = inside(d, L.r, x, y))) continue;
      L.slope(x, y, slope[k].data());
      most = std::max(most, std::fabs(L.at(x, y)));
    }
  if (!(most > 0) || !std::isfinite(most)) return curves;
  const double zero = 1e-9 * most;
  // The minima along the lattice lines: u the line's direction (0 along x, 1 along y).
  Chain points;
  for (int i = 0; i < nx; i++)
    for (int j = 0; j < ny; j++)
      for (int u = 0; u < 2; u++) {
        int i2 = i + (u == 0), j2 = j + (u == 1);
        if (i2 >= nx || j2 >= ny) continue;
        size_t k1 = size_t(i) * ny + j, k2 = size_t(i2) * ny + j2;
        if (!in[k1] || !in[k2] || !(slope[k1][u] < 0 && slope[k2][u] > 0)) continue;
        double a = 0, b = h, p[2] = {ox + i * h, oy + j * h}, g[2];
        bool lost = false;
        for (int it = 0; it < 60 && !lost; it++) {
          double m = (a + b) / 2, q[2] = {p[0] + (u == 0 ? m : 0), p[1] + (u == 1 ? m : 0)};
          if (!inside(d, L.r, q[0], q[1])) lost = true;
          L.slope(q[0], q[1], g);
          (g[u] < 0 ? a : b) = m;
        }
        double m = (a + b) / 2, q[2] = {p[0] + (u == 0 ? m : 0), p[1] + (u == 1 ? m : 0)};
        if (lost || !(std::fabs(L.at(q[0], q[1])) <= zero)) continue;
        // A minimum on a side of the domain is the side's own: it is drawn already.
        bool side = false;
        for (uint16_t e = 1; e <= d->edges.count && !side; e++) {
          double foot[2];
          side = edges_edge_distance(&d->edges.data[e - 1], &d->joints, q, foot, 0) < 0.05 * h;
        }
        if (!side) points.push_back({q[0], q[1]});
      }
  // Chaining: from each point not yet taken, the nearest further point within 2.5 h that
  // goes on the way the curve goes, with the layer closed halfway.
  std::vector<char> taken(points.size());
  auto joined = [&](const std::array<double, 2> &a, const std::array<double, 2> &b) {
    double mx = (a[0] + b[0]) / 2, my = (a[1] + b[1]) / 2;
    return inside(d, L.r, mx, my) && std::fabs(L.at(mx, my)) <= 1e3 * zero;
  };
  auto next = [&](const std::array<double, 2> &end, const double *dir) {
    int best = -1;
    double dmin = 2.5 * h;
    for (size_t k = 0; k < points.size(); k++) {
      if (taken[k]) continue;
      double dx = points[k][0] - end[0], dy = points[k][1] - end[1], dist = std::hypot(dx, dy);
      if (!(dist < dmin) || dist == 0) continue;
      if (dir && dx * dir[0] + dy * dir[1] < 0.3 * dist) continue;
      if (!joined(end, points[k])) continue;
      best = int(k), dmin = dist;
    }
    return best;
  };
  auto grow = [&](Chain &c) {
    for (;;) {
      double dir[2] = {0, 0};
      bool known = c.size() > 1;
      if (known) {
        const auto &a = c[c.size() - 2], &b = c.back();
        double len = std::hypot(b[0] - a[0], b[1] - a[1]);
        dir[0] = (b[0] - a[0]) / len, dir[1] = (b[1] - a[1]) / len;
      }
      int k = next(c.back(), known ? dir : nullptr);
      if (k < 0) return;
      taken[size_t(k)] = 1;
      c.push_back(points[size_t(k)]);
      // Points found twice about a lattice point close to the curve are the same place.
      for (size_t q = 0; q < points.size(); q++)
        if (!taken[q] && std::hypot(points[q][0] - c.back()[0], points[q][1] - c.back()[1]) < 0.25 * h) taken[q] = 1;
    }
  };
  for (size_t s = 0; s < points.size(); s++) {
    if (taken[s]) continue;
    taken[s] = 1;
    Chain c{points[s]};
    grow(c);
    std::reverse(c.begin(), c.end());
    grow(c);
    if (c.size() >= 3) curves.push_back(c);
  }
  // Each open end goes on to the side it runs into, where the thickness is least along it.
  for (Chain &c : curves) {
    bool closed = c.size() >= 6 && std::hypot(c.back()[0] - c.front()[0], c.back()[1] - c.front()[1]) < 2.5 * h &&
                  joined(c.back(), c.front());
    if (closed) {
      c.push_back(c.front());
      continue;
    }
    for (int end = 0; end < 2; end++) {
      const auto e = c.back(), f = c[c.size() - 2];
      double len = std::hypot(e[0] - f[0], e[1] - f[1]), a[2] = {e[0], e[1]};
      double b[2] = {e[0] + 3 * h * (e[0] - f[0]) / len, e[1] + 3 * h * (e[1] - f[1]) / len}, q[2] = {};
      uint16_t edge = 0;
      if (first_crossing(d, a, b, q, &edge)) {
        const Edge &E = d->edges.data[edge - 1];
        if (E.shape == SHAPE_LINE) {
          const Joint &A = d->joints.data[E.joint1 - 1], &B = d->joints.data[E.joint2 - 1];
          double lx = B.x - A.x, ly = B.y - A.y, ll = std::hypot(lx, ly);
          double t0 = ((q[0] - A.x) * lx + (q[1] - A.y) * ly) / ll;
          double lo = std::max(0.0, t0 - h), hi = std::min(ll, t0 + h);
          // Golden-section search of the thickness along the side.
          const double gr = (std::sqrt(5.0) - 1) / 2;
          auto gap = [&](double t) { return L.at(A.x + t * lx / ll, A.y + t * ly / ll); };
          double c1 = hi - gr * (hi - lo), c2 = lo + gr * (hi - lo), f1 = gap(c1), f2 = gap(c2);
          for (int it = 0; it < 80 && hi - lo > 1e-14 * ll; it++) {
            if (f1 < f2) {
              hi = c2, c2 = c1, f2 = f1, c1 = hi - gr * (hi - lo), f1 = gap(c1);
            } else {
              lo = c1, c1 = c2, f1 = f2, c2 = lo + gr * (hi - lo), f2 = gap(c2);
            }
          }
          double t = (lo + hi) / 2;
          if (std::fabs(gap(t)) <= std::fabs(gap(t0))) q[0] = A.x + t * lx / ll, q[1] = A.y + t * ly / ll;
        }
        c.push_back({q[0], q[1]});
      }
      std::reverse(c.begin(), c.end());
    }
  }
  return curves;
}

}  // namespace

int32_t mesher3_grid3d(pde *p) {
  TRACE("mesher3_grid3d");
  Mesh *m = &p->mesh;
  Domain *d = m->domain;
  if (m->curvegrid && d->extrusion) follow_sheets(p, m);
  // 1. The base mesh keeps the 2D mesh, its boundary lists and its own 2D domain.
  meshes_mesh_copy(&p->basemesh, m, 1);
  vectorl_copyto_0(&p->basemesh.jointnodes, &m->jointnodes);
  vector2l_copyto_0(&p->basemesh.edgenodes, &m->edgenodes);
  p->basemesh.status = m->status;
  p->basemesh.curvegrid = m->curvegrid;
  p->basemesh.domain->threed = 0;
  d->base = p->basemesh.domain;
  // 2. Bases.
  m->meshbasis = m->cellbasis = p->basis;
  int32_t phase = 6;
  // 3. The extrusion, its conditions and materials.
  if (d->extrusion) {
    phase = extrude3_extrude(p, &p->mesh, &p->basemesh);
    dominpde_edge_bcs(p);
    dominpde_joint_bcs(p);
    dominpde_sort_materials(d, &p->formulas.definitions);
    for (int32_t c = 1; c <= m->cells.count; c++) {
      MeshCell &C = m->cells.data[c - 1];
      if (C.region >= 1 && C.region <= d->regmaterials.count) C.region2 = d->regmaterials.data[C.region - 1];
    }
  }
  // 4.-5. The mesh basis again; boundary ids and one relaxation.
  m->meshbasis = p->basis;
  for (int32_t c = 1; c <= m->cells.count; c++)
    if (m->cells.data[c - 1].alive) mesh3_fix_bdid3(m, c);
  mesh3_relax_mesh3(m);
  // 6. Higher-order nodes: the base mesh's side nodes first.
  if (p->basis != tet4) {
    if (p->basis == tet10) mesher2_midsides(p, &p->basemesh, tri6);
    if (p->basis == tet20) mesher2_midsides(p, &p->basemesh, tri9);
    meshpde3_midsides3(p, m, p->basis);
  }
  // 7. Periodic images; off the grid lines. The base nodes still hold the plane mesh's
  // pairs, keyed from either side of a pair: every node of the solid, the base sheet's
  // too, is paired afresh from its joint, edge or face, the slave always the key.
  m->images.count = 0;
  for (int32_t n = 1; n <= m->nodes.count; n++) m->nodes.data[n - 1].image = 0;
  meshes_match_periodics(m, 0);
  if (p->quantize) meshes_quantize_mesh(m, 3);
  // The check of links, node lists and every cell's volume: no run goes on with a
  // tetrahedron turned inside out. The smallest dihedral angle goes to the debug log.
  meshes_check_mesh(m, m->meshbasis, 1, 0);
  if (debug_open) {
    int32_t worst = 0;
    double least = mesh3_least_dihedral(m, &worst);
    debug_printf("SMALLEST DIHEDRAL ANGLE %g DEGREES IN CELL %d\n", least, worst);
  }
  // 8. The display.
  plot_fixcolors(nullptr);
  if (p->meshview) doplot3_show_3d_mesh(p, &p->mesh, p->meshview, p->viewpoint, m->meshbasis, 0, p->paintregions);
  return phase;
}

uint16_t mesher3_pinch_paths(pde *p) {
  TRACE("mesher3_pinch_paths");
  Domain *d = p->mesh.domain;
  const uint16_t S = d->surfacetrees.count, R = d->regions.count;
  // A periodic domain would need the path's image as well: its layers are left as drawn.
  if (!d->extrusion || S < 2 || d->periodics.count || d->perextrude || !(d->grid.size > 0)) return 0;
  bool curved = false;
  for (uint16_t s = 1; s <= S && s <= d->flat.count; s++) curved = curved || !d->flat.data[s - 1];
  if (!curved) return 0;
  domain_bound_regions(d);
  // The lattice is a quarter of the base spacing (at most 256 lines a side); the path's
  // segments are about the base spacing long.
  const double H = d->grid.size / std::max<int>(1, p->meshcount);
  const double h = std::max(std::min(H / 4, d->grid.size / 64), d->grid.size / 256);
  const uint16_t drawn = d->joints.count;
  uint16_t laid = 0;
  for (uint16_t s = 1; s < S; s++) {
    if (s + 1 <= d->flat.count && d->flat.data[s - 1] && d->flat.data[s]) continue;
    for (uint16_t r = 1; r <= R; r++) {
      if (d->regions.data[r - 1].type != 0) continue;
      for (const Chain &c : pinch_curves(LayerGap{d, s, r}, h)) {
        std::vector<double> along(c.size(), 0.0);
        for (size_t k = 1; k < c.size(); k++)
          along[k] = along[k - 1] + std::hypot(c[k][0] - c[k - 1][0], c[k][1] - c[k - 1][1]);
        const bool closed = c.front() == c.back();
        const int n = std::max(closed ? 3 : 1, int(std::lround(along.back() / H)));
        std::vector<size_t> kept{0};
        for (int k = 1; k < n; k++) {
          size_t at = size_t(std::lower_bound(along.begin(), along.end(), along.back() * k / n) - along.begin());
          if (at > kept.back() && at + 1 < c.size()) kept.push_back(at);
        }
        kept.push_back(c.size() - 1);
        std::vector<int32_t> path;
        bool fresh = false;
        uint16_t prev = 0;
        for (size_t k : kept) {
          // A point of the path within a tenth of the spacing of a joint of the drawing is
          // taken as that joint: a path end a little beside a corner left a side too short
          // for any cell of the spacing.
          uint16_t j = 0;
          double near = 0.1 * H;
          for (uint16_t q = 1; q <= drawn; q++) {
            double dist = std::hypot(d->joints.data[q - 1].x - c[k][0], d->joints.data[q - 1].y - c[k][1]);
            if (dist < near) near = dist, j = q;
          }
          if (!j) j = joints_make_joint_1(&d->joints, c[k][0], c[k][1], &d->grid);
          if (prev && j != prev) {
            uint16_t before = d->edges.count;
            path.push_back(edges_make_line_edge(&d->edges, &d->joints, prev, j, &d->grid));
            fresh = fresh || d->edges.count > before;
          }
          prev = j;
        }
        // A path met before (the mesh made again from the same domain) is not laid twice.
        if (!fresh) continue;
        uint16_t loop = edges_new_loop(&d->loops);
        for (int32_t e : path) edges_add_to_loop(&d->loops, loop, e);
        uint16_t reg = regions_new_region(&d->regions, 2, 0, 1);
        vectorn_enlist(&d->regions.data[reg - 1].loops, loop);
        laid++;
      }
    }
  }
  return laid;
}
