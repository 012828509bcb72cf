// contour: gathering plot values, tracing contour levels through plot cells,
// joining the pieces and painting colour bands.
#include "plot/contour.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "elements/cellnode.h"
#include "elements/meshes.h"
#include "graphics/gag.h"
#include "graphics/gag1d.h"
#include "graphics/gag3d.h"
#include "graphics/gagscren.h"
#include "model/plot_records.h"
#include "model/treeval.h"
#include "plot/crossing.h"
#include "plot/plot1d.h"
#include "plot/plot2d.h"
#include "plot/poly.h"
#include "runtime/bopmem.h"
#include "runtime/owner.h"
#include "runtime/report.h"
#include "runtime/rtlib.h"
#include "runtime/vectort.h"

namespace {
LocalCell work_cell;  // the problem cell of the node being evaluated
polylinelist pieces;  // the pieces of the level being traced
constexpr int MAX_POINTS = 401;
}  // namespace

int contour_init() { return 0; }

pointdlist *contour_new_polyline(polylinelist *l) {
  if (l->count >= l->capacity) {
    int32_t cap = l->capacity + 500;
    pointdlist *data = nullptr;
    bopmemalloc(&data, cap, sizeof(pointdlist));
    XMEM += int64_t(cap) * int64_t(sizeof(pointdlist));
    if (l->count) memcpy(static_cast<void *>(data), l->data, size_t(l->count) * sizeof(pointdlist));
    memset(static_cast<void *>(data + l->count), 0, size_t(cap - l->count) * sizeof(pointdlist));
    if (l->data) {
      XMEM -= int64_t(l->capacity) * int64_t(sizeof(pointdlist));
      bopmemfree(&l->data);
    }
    l->data = data, l->capacity = cap;
  }
  pointdlist *q = &l->data[l->count++];
  q->count = 0;
  return q;
}

void contour_clear_polylines(polylinelist *l) {
  for (int32_t i = 0; i < l->count; i++) l->data[i].count = 0;
  l->count = 0;
}

void contour_free_polylines(polylinelist *l) {
  for (int32_t i = 0; i < l->capacity; i++)
    if (l->data[i].capacity) pointd_free_1(&l->data[i]);
  if (l->data) {
    XMEM -= int64_t(l->capacity) * int64_t(sizeof(pointdlist));
    bopmemfree(&l->data);
  }
  *l = {};
}

// ---- Gathering values
// ----------------------------------------------------------------------

// The tree of expression e (1-based) for the region: the analysed tree when
// there is one.
const TreeNode *contour_tree(const plotrec *plot, int32_t e, uint16_t region) {
  if (e >= 1 && e <= plot->compiled.count) {
    const treevector &v = plot->compiled.data[e - 1];
    if (region >= 1 && region <= v.count && v.data[region - 1]) return v.data[region - 1];
    if (v.count >= 1 && v.data[0]) return v.data[0];
  }
  return e >= 1 && e <= plot->exprs.count ? plot->exprs.data[e - 1] : nullptr;
}

void contour_locate(Mesh *m, const tmesh *t, int32_t cell, evalpoint *pt) {
  int32_t c = t->source.data[cell - 1];
  const MeshCell &mc = m->cells.data[c - 1];
  meshes_localize(m, &mc, &work_cell, 0);
  pt->cell = &work_cell;
  pt->cellno = uint32_t(c);
  pt->region = mc.region;
  pt->side = 0;
}

// The smallest of the first dim + 1 local coordinates.
static double lowest(const double *L, int dim) {
  double m = L[0];
  for (int c = 1; c <= dim; c++) m = std::min(m, L[c]);
  return m;
}

// The local coordinates of X in a curved cell by Newton's iteration from each of
// several starts (near each corner, each side's middle, the centre): the one start the
// general search uses can converge, in a thin cell with a strongly bent side, to a root
// of the cell's map outside the cell although X is a point of the cell, even one of its
// nodes. Keeps L when no start finds X inside the cell.
static void relocate(double *L, const double *X, ElementFrame *f, int dim) {
  double size = 0;
  for (int i = 1; i <= dim; i++)
    for (int k = 0; k < dim; k++) size = std::max(size, std::fabs(f->nodes[i][k] - f->nodes[0][k]));
  double best = 1e-10 * size, found[4] = {0, 0, 0, 0};
  bool any = false;
  const int corners = dim + 1;
  for (int start = 0; start < corners * 2 + 1; start++) {
    double M[4] = {0, 0, 0, 0};
    for (int c = 0; c < corners; c++) M[c] = 1.0 / corners;
    if (start < corners) {
      for (int c = 0; c < corners; c++) M[c] = c == start ? 0.85 : 0.15 / dim;
    } else if (start < 2 * corners) {
      for (int c = 0; c < corners; c++) M[c] = c == start - corners ? 0.05 : 0.95 / dim;
    }
    double x[3], r[3], res = 0;
    for (int step = 0; step < 40; step++) {
      elements_get_gcoords(x, M, f);
      for (int k = 0; k < dim; k++) r[k] = X[k] - x[k];
      elements_jacobian(M, f);
      double dL[4] = {0, 0, 0, 0}, s = 0;
      for (int c = 0; c <= dim; c++) {
        for (int k = 0; k < dim; k++) dL[c] += f->K[c][k] * r[k];
        s += dL[c] * dL[c];
      }
      double scale = s > 0.09 ? 0.3 / std::sqrt(s) : 1;
      for (int c = 0; c <= dim; c++) M[c] += dL[c] * scale;
      if (s < 1e-28) break;
    }
    elements_get_gcoords(x, M, f);
    for (int k = 0; k < dim; k++) res = std::max(res, std::fabs(X[k] - x[k]));
    if (res <= best && lowest(M, dim) >= -1e-9) best = res, any = true, std::copy_n(M, 4, found);
  }
  // A corner of the cell is its own local point, whatever the map does near it (a side
  // bent by a quarter of the cell's height folds the map at the corners it joins).
  for (int i = 0; i <= dim && !any; i++) {
    double d = 0;
    for (int k = 0; k < dim; k++) d = std::max(d, std::fabs(X[k] - f->nodes[i][k]));
    if (d > 1e-9 * size) continue;
    for (int c = 0; c < 4; c++) found[c] = c == i ? 1 : 0;
    any = true;
  }
  if (any) std::copy_n(found, 4, L);
  elements_jacobian(L, f);
}

// Sets the point at node n of t and finds its local coordinates in the located
// cell.
void contour_place(uint16_t dimension, const tmesh *t, int32_t n, evalpoint *pt) {
  double xyz[3] = {t->nodes.data[n - 1].x, t->nodes.data[n - 1].y, 0};
  if (dimension >= 3 && t->nodes3.count >= n)
    xyz[0] = t->nodes3.data[n - 1].x, xyz[1] = t->nodes3.data[n - 1].y, xyz[2] = t->nodes3.data[n - 1].z;
  pt->x = xyz[0], pt->y = xyz[1], pt->z = xyz[2];
  ElementFrame *f = &work_cell.frame;
  elements_get_lcoords(pt->local, xyz, f, 0.5);
  int dim = elements_dimension[f->gbasis];
  // A node of a plot cell lies in the cell it was made from.
  if (f->curved && (dim == 2 || dim == 3) && lowest(pt->local, dim) < -1e-6) relocate(pt->local, xyz, f, dim);
}

void contour_widen(plotrange *r, double v, const pointd *at) {
  if (v > r->max) r->max = v, r->maxat = *at;
  if (v < r->min) r->min = v, r->minat = *at;
}

// The face of a problem cell that carries a node of a surface plot: among the faces on
// which the node lies (smallest local coordinate, within rounding) the one on the
// plotted surface. A node at a corner or an edge lies on several faces, and only the
// surface's own face gives the surface's slope.
static int surface_face_of(const Mesh *m, const plotdata *d, uint32_t c, const double *L) {
  int smallest = cellnode_min_ac3(L);
  const MeshCell &cell = m->cells.data[c - 1];
  const Domain *dom = m->domain;
  for (int f = 1; f <= 4; f++) {
    uint16_t id = cell.bdid[f - 1];
    if (L[f - 1] > L[smallest - 1] + 1e-9 || !id || !dom || id > dom->faces.count) continue;
    const face &F = dom->faces.data[id - 1];
    if (F.type == 0 && F.level == d->surface) return f;
  }
  return smallest;
}

// The normal of face f (opposite vertex f) of a tetrahedron at local point L: the cross
// product of two tangents of the face there, taken through the cell's geometry map, so
// that a curved face gives the slope of the surface it follows at the point, not that of
// its corners' plane.
static void face_normal(double *n, ElementFrame *f, int face, const double *L) {
  elements_jacobian(L, f);
  // dx/dL_c of the independent coordinates L1..L3; the dependent L4 moves with none.
  auto column = [&](int v, double *g) {
    for (int r = 0; r < 3; r++) g[r] = v < 4 ? f->J[r][v - 1] : 0;
  };
  int k = 0, on[3];
  for (int v = 1; v <= 4; v++)
    if (v != face) on[k++] = v;
  double g0[3], g1[3], g2[3];
  column(on[0], g0), column(on[1], g1), column(on[2], g2);
  double a[3] = {g1[0] - g0[0], g1[1] - g0[1], g1[2] - g0[2]};
  double b[3] = {g2[0] - g0[0], g2[1] - g0[1], g2[2] - g0[2]};
  n[0] = a[1] * b[2] - a[2] * b[1], n[1] = a[2] * b[0] - a[0] * b[2], n[2] = a[0] * b[1] - a[1] * b[0];
}

void plot2d_build_contour_data(pde *p, PlotSet *set, Mesh *m, uint16_t dimension, plotrec *plot, vector2d *values,
                               vector2d *slopes, plotrange *range, int32_t expr, uint8_t slope) {
  TRACE("plot2d_build_contour_data");
  plotdata *d = &set->plotdatas.data[plot->data - 1];
  const tmeshlist &l = d->meshes;
  range->min = 1.0e37, range->max = -1.0e37;
  range->minat = range->maxat = {0, 0};
  vector2d_resize(values, l.count, std::max(l.count, values->capacity));
  bool faces = slope && dimension >= 3 && d->surface > 0;
  if (slope) vector2d_resize(slopes, l.count, std::max(l.count, slopes->capacity));
  evalpoint &pt = plot2d_point;
  vectort visited = {};
  for (int32_t k = 1; k <= l.count; k++) {
    const tmesh &t = l.data[k - 1];
    vectord &u = values->data[k - 1];
    vectord_resize(&u, t.nodes.count, std::max(t.nodes.count, u.capacity));
    if (slope) {
      vectord &w = slopes->data[k - 1];
      vectord_resize(&w, t.nodes.count, std::max(t.nodes.count, w.capacity));
      for (int32_t i = 0; i < w.count; i++) w.data[i] = 1;
    }
    contour_each_node(
        m, dimension, plot, &t, expr, &pt, &visited, [](int32_t) { return true; },
        [&](int32_t n, const TreeNode *tree) {
          double v = treeval_eval(p, tree, &pt);
          u.data[n - 1] = v;
          if (faces) {
            double nrm[3];
            face_normal(nrm, &work_cell.frame, surface_face_of(m, d, pt.cellno, pt.local), pt.local);
            double a = nrm[0], b = nrm[1], cc = nrm[2];
            slopes->data[k - 1].data[n - 1] = cc != 0 ? std::sqrt((a * a + b * b + cc * cc) / (cc * cc)) : 1;
          }
          contour_widen(range, v, &t.nodes.data[n - 1]);
        });
  }
  vectort_free(&visited);
}

// ---- Drawing a plot
// -------------------------------------------------------------------------

void expand_box(rectd *out, const rectd *box, double factor) {
  double cx = (box->x1 + box->x2) / 2, cy = (box->y1 + box->y2) / 2;
  double hx = (box->x2 - box->x1) / 2 * factor, hy = (box->y2 - box->y1) / 2 * factor;
  *out = {cx - hx, cy - hy, cx + hx, cy + hy};
}

static bool has(const plotrec *plot, int code) { return (plot->flags & plot_bit(code)) != 0; }

// The plot's range and levels; the scale code may lose its log bits.
static int32_t get_levels(uint16_t view, plotrec *plot, const rectd *box, const plotrange *range, vectord *levels,
                          int32_t nlevels) {
  plot1d_check_logs(view, plot, box->x1, box->y1, plot1d_log_probe(plot, range->min), 3);
  double lo = range->min, hi = range->max;
  int32_t n = plot_ranger(&lo, plot->rangevalues[0], &hi, plot->rangevalues[1], nlevels, plot);
  if (plot->scale & 1)
    gag1d_getlnlevels(lo, hi, n, levels, 0);
  else
    gag1d_getlevels(lo, hi, n, levels, 0);
  return n;
}

static void legend(plotframe *f, plotrec *plot, const vectord *levels, const plotrange *range, bool bands) {
  uint16_t v = plot->views[2];
  if (!v || !checkview(v)) return;
  if (bands)
    gag1d_band_table_1(v, f, levels, 1, 0, range->min, range->max, &plot->titles);
  else
    gag1d_level_table_1(v, f, levels, 1, 0, range->min, range->max, &plot->titles);
}

void plot2d_contour_plot(uint16_t view, plotframe *f, pde *p, PlotSet *set, plotrec *plot, const rectd *box,
                         const plotrange *range, const vector2d *values, vectord *levels, int32_t nlevels) {
  TRACE("plot2d_contour_plot");
  plotdata *d = &set->plotdatas.data[plot->data - 1];
  get_levels(view, plot, box, range, levels, nlevels);
  bool painted = has(plot, 13);
  legend(f, plot, levels, range, painted);
  if (!view) return;
  gag1d_plotmap(view, f, box->x1, box->y1, box->x2, box->y2, int16_t(plot->scale & 6), has(plot, 16) ? 0 : 1, 0);
  gag1d_draw_axes(view, f, &d->axislabels[0], &d->axislabels[1]);
  rectd clip;
  expand_box(&clip, box, 1.05);
  gag1d_setclip(view, f, &clip);
  if (painted)
    poly_paint(view, f, p, d, values, levels, box);
  else
    poly_contour(view, f, p, d, values, levels, d->nodespacing, 1);
  gag_fullclip(view);
  if (has(plot, 23)) return;
  gag_setcolor_0(view, f->colours.text);
  gag_textcenter(view, 0.5f, 0.5f);
  String o = {1, 0, const_cast<char *>("o")}, x = {1, 0, const_cast<char *>("x")};
  gag1d_drawtext(view, f, &range->minat, &o);
  gag1d_drawtext(view, f, &range->maxat, &x);
}

void plot2d_add_contour_plot(uint16_t view, plotframe *f, pde *p, PlotSet *set, plotrec *plot, const rectd *box,
                             const plotrange *range, const vector2d *values, vectord *levels, int32_t nlevels) {
  TRACE("plot2d_add_contour_plot");
  plotdata *d = &set->plotdatas.data[plot->data - 1];
  get_levels(view, plot, box, range, levels, nlevels);
  if (!view) return;
  rectd clip;
  expand_box(&clip, box, 1.05);
  gag1d_setclip(view, f, &clip);
  poly_contour(view, f, p, d, values, levels, d->nodespacing, 0);
  gag_fullclip(view);
}

static void outlines(uint16_t view, plotframe *f, plotdata *d) {
  for (int32_t k = 0; k < d->meshes.count; k++)
    trimesh_draw_tboundary(view, f, &d->meshes.data[k], d->nodespacing, colour_black, colour_grey229);
}

void poly_contour(uint16_t view, plotframe *f, pde *p, plotdata *d, const vector2d *values, const vectord *levels,
                  double h, uint8_t label) {
  TRACE("poly_contour");
  // The traced pieces are given back after each plot, on every way out: kept, their
  // grown capacities would pile up from plot to plot and problem to problem.
  auto release = owner_guard([] { contour_free_polylines(&pieces); });
  int32_t n = levels->count;
  ElementFrame lc;
  pointdlist tags = {};
  for (int32_t k = 1; k <= n; k++) {
    if (view) gag1d_tablecolor_1(view, f, k, n);
    contour_clear_polylines(&pieces);
    // With a single level there is no spacing to round the values to.
    double spacing = n < 2   ? 0
                     : k < n ? levels->data[k] - levels->data[k - 1]
                             : levels->data[n - 1] - levels->data[n - 2];
    for (int32_t m = 1; m <= d->meshes.count; m++) {
      const tmesh &t = d->meshes.data[m - 1];
      for (int32_t c = 1; c <= t.source.count; c++) {
        poly_cell(&values->data[m - 1], p, &pieces, &t, c, levels->data[k - 1], spacing, &lc, h);
        if (c % 1000 == 0) gagscren_dispatch(0);
      }
    }
    if (label) merge_polylines(&pieces, h * 0.1);
    if (view) {
      String tag = {};
      strings_append(&tag, uint8_t(gag1d_tag_char(k)));
      for (int32_t i = 0; i < pieces.count; i++) {
        if (label)
          gag1d_draw_tagged_2(view, f, &pieces.data[i], &tags, &tag);
        else
          gag1d_draw_curve_1(view, f, &pieces.data[i]);
      }
      strings_free_0(&tag);
    }
    gagscren_dispatch(0);
  }
  pointd_free_1(&tags);
  if (view) outlines(view, f, d);
}

// ---- One cell
// -------------------------------------------------------------------------------

// The level's crossings on the three sides of the cell polynomial (as a
// polynomial in the side parameter of the crossing list's codes 1..3).
static void side_crossings(const double *coef, int32_t basis, double c) {
  crossing_list.count = 0;
  int deg = basis == tri3 ? 1 : basis == tri6 ? 2 : 3;
  for (uint16_t side = 1; side <= 3; side++) {
    // Samples at t = 0, 1/3, 2/3, 1 and the monomial coefficients of the
    // interpolant.
    double v[4];
    for (int i = 0; i <= 3; i++) {
      double t = i / 3.0, s = 1 - t, L1, L2;
      if (side == 1)
        L1 = 0, L2 = s;
      else if (side == 2)
        L1 = t, L2 = 0;
      else
        L1 = s, L2 = t;
      v[i] = poly_poly_eval(coef, L1, L2, basis) - c;
    }
    // Newton divided differences on nodes 0, 1/3, 2/3, 1, converted to
    // monomials.
    double h = 1.0 / 3;
    double d1 = (v[1] - v[0]) / h, d2 = (v[2] - v[1]) / h, d3 = (v[3] - v[2]) / h;
    double e1 = (d2 - d1) / (2 * h), e2 = (d3 - d2) / (2 * h);
    double f1 = (e2 - e1) / (3 * h);
    // p(t) = v0 + d1 t + e1 t (t - h) + f1 t (t - h)(t - 2h)
    double a3 = f1, a2 = e1 - 3 * h * f1, a1 = d1 - h * e1 + 2 * h * h * f1, a0 = v[0];
    // A straight side crosses the level only where its ends lie on both sides of it (or
    // one on it): the tolerance of the root test would also take a root just past an
    // end whose value lies a rounding's width from the level, a third crossing of the
    // cell where the level runs along one of its sides.
    if (deg == 1 && ((v[0] > 0 && v[3] > 0) || (v[0] < 0 && v[3] < 0))) continue;
    if (deg == 1)
      crossing_bcross1(v[3] - v[0], v[0], side, 1e-6);
    else if (deg == 2)
      crossing_bcross2(a2, a1, a0, side, 1e-6);
    else
      crossing_bcross3(a3, a2, a1, a0, side, 1e-6);
  }
  crossing_clean_crossings(&crossing_list);
}

void poly_cell(const vectord *values, pde *p, polylinelist *l, const tmesh *t, int32_t cell, double c, double spacing,
               ElementFrame *lc, double h) {
  TRACE("poly_cell");
  double v[20], coef[13];
  trimesh_tlocalize_1(lc, t, cell, v, values);
  if (spacing != 0 && std::isfinite(spacing))
    for (int j = 0; j < t->ncell; j++) v[j] = ((v[j] / spacing + 1) - 1) * spacing;
  int32_t basis = int32_t(t->basis);
  if (basis != tri3 && basis != tri6 && basis != tri9) {
    String m = {13, 0, const_cast<char *>("Illegal Basis")};
    report_exec_err_0(p, &m);
  }
  poly_poly_coef(coef, v, basis);
  side_crossings(coef, basis, c);
  if (basis == tri3)
    line_contour(l, &crossing_list, coef, lc);
  else
    cell_contour(l, &crossing_list, coef, basis, lc, c, h);
}

static pointd global(ElementFrame *lc, double r, double s) {
  double L[4] = {r, s, 1 - r - s, 0}, xyz[3];
  elements_get_gcoords(xyz, L, lc);
  return {xyz[0], xyz[1]};
}

void line_contour(polylinelist *l, const crossinglist *x, const double *coef, ElementFrame *lc) {
  TRACE("line_contour");
  int32_t live = 0;
  const double *ends[2] = {};
  for (int i = 0; i < x->count; i++)
    if (x->live[i]) {
      if (live < 2) ends[live] = x->L[i];
      live++;
    }
  if (live < 2) return;
  if (live > 2) rtlib_fatal_in("line_contour", "TOO MANY CROSSINGS");
  // Oriented as the curved walk: along (P_s, -P_r), so that pieces meet end to
  // start.
  double dr = ends[1][0] - ends[0][0], ds = ends[1][1] - ends[0][1];
  if (dr * coef[1] - ds * coef[4] < 0) std::swap(ends[0], ends[1]);
  pointdlist *q = contour_new_polyline(l);
  for (const double *L : ends) {
    pointd g = global(lc, L[0], L[1]);
    pointd_one_more_0(q, &g);
  }
}

namespace {
// The cell polynomial's derivatives in (r, s) = (L1, L2).
struct Derivs {
  double P, Pr, Ps, Prr, Prs, Pss;
};

Derivs derivs(const double *coef, int32_t basis, double r, double s) {
  // P = sum c[i + 4 j] s^i r^j (s of vertex 2, r of vertex 1).
  Derivs d{};
  for (int j = 0; j <= 3; j++)
    for (int i = 0; i + j <= 3; i++) {
      double a = coef[i + 4 * j];
      if (a == 0) continue;
      auto pw = [](double x, int n) { return n <= 0 ? 1.0 : n == 1 ? x : n == 2 ? x * x : x * x * x; };
      d.P += a * pw(s, i) * pw(r, j);
      if (j >= 1) d.Pr += a * j * pw(s, i) * pw(r, j - 1);
      if (i >= 1) d.Ps += a * i * pw(s, i - 1) * pw(r, j);
      if (j >= 2) d.Prr += a * j * (j - 1) * pw(s, i) * pw(r, j - 2);
      if (i >= 1 && j >= 1) d.Prs += a * i * j * pw(s, i - 1) * pw(r, j - 1);
      if (i >= 2) d.Pss += a * i * (i - 1) * pw(s, i - 2) * pw(r, j);
    }
  (void)basis;
  return d;
}

// Unit tangent (P_s, -P_r) / |grad P| and curvature vector at (r, s); false for
// a vanishing gradient.
bool tangent(const double *coef, int32_t basis, double r, double s, double t[2], double k[2], double *grad) {
  Derivs d = derivs(coef, basis, r, s);
  double g = std::hypot(d.Pr, d.Ps);
  *grad = g;
  if (g < 1e-37) return false;
  t[0] = d.Ps / g, t[1] = -d.Pr / g;
  double tHt = t[0] * t[0] * d.Prr + 2 * t[0] * t[1] * d.Prs + t[1] * t[1] * d.Pss;
  // The tangent turns toward minus the unit gradient by tHt / |grad P|.
  double n0 = d.Pr / g, n1 = d.Ps / g;
  k[0] = -tHt / g * n0, k[1] = -tHt / g * n1;
  return true;
}

// Whether a path f(w) = c0 + b w + a w^2 along a side coordinate f moves into
// the cell at w = 0 from the side: forward when its slope is clearly positive,
// and where the path runs along the side (a level touching it) by the way it
// bends.
bool moves_in(double a, double b) { return b > 1e-9 || (b >= -1e-9 && a > 0); }

// The smallest w >= 0 at which f(w) = a w^2 + b w + c0 turns negative (the path
// leaving through the side whose coordinate is f); -1 when none. A start on the
// side that does not move inward (a level touching a vertex) leaves at once: 0.
double leave_at(double a, double b, double c0) {
  if (std::fabs(c0) < 1e-12 && !moves_in(a, b)) return 0;
  double x[2];
  int n = poly_quadsolve(x, a, b, c0);
  double best = -1;
  for (int i = 0; i < n; i++) {
    double w = x[i];
    if (w <= 1e-12) continue;
    if (2 * a * w + b >= 0) continue;  // entering or grazing, not leaving
    if (best < 0 || w < best) best = w;
  }
  return best;
}
}  // namespace

void cell_contour(polylinelist *l, const crossinglist *x, const double *coef, int32_t basis, ElementFrame *lc, double c,
                  double h) {
  TRACE("cell_contour");
  for (int i = 0; i < x->count; i++) {
    if (!x->live[i]) continue;
    double r = x->L[i][0], s = x->L[i][1], t[2], k[2], g;
    if (!tangent(coef, basis, r, s, t, k, &g)) continue;
    uint16_t side = x->code[i];
    // Side 1 is r = 0, side 2 s = 0, side 3 r + s = 1.
    bool enters = side == 1   ? moves_in(k[0] / 2, t[0])
                  : side == 2 ? moves_in(k[1] / 2, t[1])
                              : moves_in(-(k[0] + k[1]) / 2, -(t[0] + t[1]));
    if (!enters) continue;
    pointdlist *q = contour_new_polyline(l);
    pointd p0 = global(lc, r, s);
    pointd_one_more_0(q, &p0);
    while (q->count < MAX_POINTS) {
      // a. The local step of global length h.
      double jx = lc->J[0][0] * t[0] + lc->J[0][1] * t[1], jy = lc->J[1][0] * t[0] + lc->J[1][1] * t[1];
      double u = h / std::max(std::hypot(jx, jy), 1e-37);
      // b. Shorter where the tangent turns fast.
      double tp[2], kp[2], gp;
      if (tangent(coef, basis, r + u * (t[0] + u * k[0] / 2), s + u * (t[1] + u * k[1] / 2), tp, kp, &gp))
        for (int m = 0; m < 2; m++) {
          double diff = std::fabs(tp[m] - t[m]);
          if (diff > 0) u = std::min(u, std::sqrt(0.001 / diff));
        }
      // c. The trial step, cut where the parabola leaves the cell.
      double w = 1.1 * u;
      bool onside = false;
      double lims[3] = {leave_at(k[0] / 2, t[0], r), leave_at(k[1] / 2, t[1], s),
                        leave_at(-(k[0] + k[1]) / 2, -(t[0] + t[1]), 1 - r - s)};
      for (double lim : lims)
        if (lim >= 0 && lim < w) w = lim, onside = true;
      // d. Midpoint tangent.
      double tm[2], km[2], gm;
      if (!tangent(coef, basis, r + w / 2 * t[0] + w * w / 8 * k[0], s + w / 2 * t[1] + w * w / 8 * k[1], tm, km, &gm))
        tm[0] = t[0], tm[1] = t[1];
      double nr = r + w * tm[0], ns = s + w * tm[1];
      // e. Back onto the level along the start's normal.
      Derivs dn = derivs(coef, basis, nr, ns);
      double gn = std::hypot(dn.Pr, dn.Ps);
      if (gn != 0) {
        double delta = std::clamp((c - dn.P) / gn, -w, w);
        nr -= delta * t[1], ns += delta * t[0];
      }
      r = nr, s = ns;
      // f. Append.
      pointd g2 = global(lc, r, s);
      pointd_one_more_0(q, &g2);
      // g. Stop on a side, when stuck, or outside.
      if (onside || w == 0 || r < 0 || s < 0 || 1 - r - s < 0) break;
      if (!tangent(coef, basis, r, s, t, k, &g)) break;
    }
  }
}

// ---- Joining
// --------------------------------------------------------------------------------


void merge_polylines(polylinelist *l, double tau) {
  TRACE("merge_polylines");
  int32_t n = l->count;
  // 1. Drop pieces shorter than tau / 64 end to end.
  for (int32_t i = 0; i < n; i++) {
    pointdlist &q = l->data[i];
    if (q.count >= 1 && pointd_distance_0(&q.data[0], &q.data[q.count - 1]) < tau / 64) q.count = 0;
  }
  double x1 = 1e300, y1 = 1e300, x2 = -1e300, y2 = -1e300;
  int32_t live = 0;
  for (int32_t i = 0; i < n; i++) {
    const pointdlist &q = l->data[i];
    if (!q.count) continue;
    live++;
    for (const pointd *e : {&q.data[0], &q.data[q.count - 1]})
      x1 = std::min(x1, e->x), y1 = std::min(y1, e->y), x2 = std::max(x2, e->x), y2 = std::max(y2, e->y);
  }
  // 2. Above 20 pieces a grid of buckets over the box widened by tau: at least 20 x 20
  // (fewer where a bucket would be narrower than tau), finer as the pieces grow, so that
  // a bucket holds a few pieces and the search stays linear. A piece is registered under
  // every bucket of its first point shifted by -tau, 0 and tau in x and y: any first point
  // within tau of a query point is then in the query point's bucket, and the nearest
  // one found is the nearest of all whenever it is close enough to link.
  bool grid = live > 20;
  int32_t nx = 1, ny = 1;
  double gx = 0, gy = 0, dx = 1, dy = 1;
  std::vector<std::vector<int32_t>> buckets;
  auto col = [&](double x) { return std::clamp(int32_t((x - gx) / dx), 0, nx - 1); };
  auto row = [&](double y) { return std::clamp(int32_t((y - gy) / dy), 0, ny - 1); };
  if (grid) {
    gx = x1 - tau, gy = y1 - tau;
    double w = x2 - x1 + 2 * tau, hgt = y2 - y1 + 2 * tau, m = std::max(w, hgt);
    double k = std::max(20.0, std::sqrt(double(live)));
    nx = int32_t(std::clamp(std::min(k * w / m, w / tau), 1.0, 4096.0));
    ny = int32_t(std::clamp(std::min(k * hgt / m, hgt / tau), 1.0, 4096.0));
    dx = w / nx, dy = hgt / ny;
    buckets.resize(size_t(nx) * size_t(ny));
    for (int32_t i = 0; i < n; i++) {
      const pointdlist &q = l->data[i];
      if (q.count < 2) continue;
      int32_t cs[3], rs[3];
      for (int o = 0; o < 3; o++) cs[o] = col(q.data[0].x + (o - 1) * tau), rs[o] = row(q.data[0].y + (o - 1) * tau);
      for (int a2 = 0; a2 < 3; a2++)
        for (int b2 = 0; b2 < 3; b2++) {
          if ((a2 && cs[a2] == cs[a2 - 1]) || (a2 == 2 && cs[2] == cs[0])) continue;
          if ((b2 && rs[b2] == rs[b2 - 1]) || (b2 == 2 && rs[2] == rs[0])) continue;
          buckets[size_t(rs[b2]) * size_t(nx) + size_t(cs[a2])].push_back(i);
        }
    }
  }
  // 3, 4. Nearest first point to every last point; one predecessor per piece.
  std::vector<int32_t> next(size_t(n), -1), pred(size_t(n), -1);
  std::vector<double> dist(size_t(n), 0);
  auto consider = [&](int32_t i, int32_t j, int32_t &best, double &bd) {
    if (j == i || l->data[j].count < 2) return;
    double d = pointd_distance_0(&l->data[i].data[l->data[i].count - 1], &l->data[j].data[0]);
    if (best < 0 || d < bd) best = j, bd = d;
  };
  for (int32_t i = 0; i < n; i++) {
    const pointdlist &q = l->data[i];
    if (q.count < 2) continue;
    int32_t best = -1;
    double bd = 0;
    if (grid) {
      const pointd &e = q.data[q.count - 1];
      for (int32_t j : buckets[size_t(row(e.y)) * size_t(nx) + size_t(col(e.x))]) consider(i, j, best, bd);
    } else {
      for (int32_t j = 0; j < n; j++) consider(i, j, best, bd);
    }
    if (best < 0 || bd >= tau) continue;
    int32_t pj = pred[size_t(best)];
    if (pj >= 0) {
      if (dist[size_t(pj)] <= bd) continue;
      next[size_t(pj)] = -1;
    }
    next[size_t(i)] = best, pred[size_t(best)] = i, dist[size_t(i)] = bd;
  }
  // 5. Chains from pieces without a predecessor, then the rings left.
  std::vector<uint8_t> used(size_t(n), 0);
  for (int pass = 0; pass < 2; pass++)
    for (int32_t i = 0; i < n; i++) {
      if (used[size_t(i)] || l->data[i].count == 0) continue;
      if (pass == 0 && pred[size_t(i)] >= 0) continue;
      used[size_t(i)] = 1;
      pointdlist &head = l->data[i];
      for (int32_t j = next[size_t(i)]; j >= 0 && j != i && !used[size_t(j)]; j = next[size_t(j)]) {
        used[size_t(j)] = 1;
        pointdlist &f = l->data[j];
        for (int32_t m = 2; m <= f.count; m++) pointd_one_more_0(&head, &f.data[m - 1]);
        f.count = 0;
      }
    }
  // 6. Keep the non-empty pieces in order.
  int32_t k = 0;
  for (int32_t i = 0; i < n; i++)
    if (l->data[i].count) {
      if (k != i) std::swap(l->data[k], l->data[i]);
      k++;
    }
  l->count = k;
}

// ---- Painting
// -------------------------------------------------------------------------------

void poly_paint(uint16_t view, plotframe *f, pde *, plotdata *d, const vector2d *values, const vectord *levels,
                const rectd *box) {
  TRACE("poly_paint");
  if (d->meshes.count > d->meshes.capacity) rtlib_fatal_in("poly_paint", "PMESH SIZE MISMATCH");
  if (values->count != d->meshes.count) rtlib_fatal_in("poly_paint", "UPLOT SIZE MISMATCH");
  tmesh sub = {};
  vectord subv = {};
  int32_t done = 0;
  for (int32_t m = 1; m <= d->meshes.count; m++) {
    const tmesh &t = d->meshes.data[m - 1];
    const vectord &u = values->data[m - 1];
    auto paint = [&](const tmesh &s, const vectord &w, int32_t c, bool inbox) {
      const int32_t *cn = s.cells.data + (c - 1) * s.ncell;
      const pointd &a = s.nodes.data[cn[0] - 1], &b = s.nodes.data[cn[1] - 1], &e = s.nodes.data[cn[2] - 1];
      if (inbox) {
        double cx = (a.x + b.x + e.x) / 3, cy = (a.y + b.y + e.y) / 3;
        if (cx < box->x1 || cx > box->x2 || cy < box->y1 || cy > box->y2) return;
      }
      if (view) gag3d_paint(view, f, &a, &b, &e, w.data[cn[0] - 1], w.data[cn[1] - 1], w.data[cn[2] - 1], levels);
    };
    if (t.basis == tri3) {
      for (int32_t c = 1; c <= t.source.count; c++) {
        paint(t, u, c, false);
        if (++done % 1000 == 0) gagscren_dispatch(0);
      }
    } else {
      for (int32_t c = t.source.count; c >= 1; c--) {
        trimesh_tlinearize_1(&sub, &subv, &t, c, &u);
        for (int32_t k = 1; k <= sub.source.count; k++) paint(sub, subv, k, true);
        if (++done % 1000 == 0) gagscren_dispatch(0);
      }
    }
  }
  trimesh_free_0(&sub);
  vectord_free(&subv);
  if (view) outlines(view, f, d);
}
