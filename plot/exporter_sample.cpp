// exporter_sample: the grid samplers of the exports: the grid of an export, the value
// of an expression at a located point, the rows filled across outside points, and the
// point in space of a plot cell's local coordinates.
#include "plot/exporter_internal.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <exception>
#include <memory>
#include <vector>

#include "domain/domain.h"
#include "elements/basisfun.h"
#include "elements/cellnode.h"
#include "elements/elements.h"
#include "elements/evalpoint.h"
#include "elements/meshes.h"
#include "elements/mfinder.h"
#include "graphics/display.h"
#include "graphics/gag.h"
#include "graphics/gagscren.h"
#include "model/treeval.h"
#include "plot/netcdf.h"
#include "plot/pgrid1.h"
#include "plot/pgrid2.h"
#include "plot/plot.h"
#include "runtime/filio.h"
#include "runtime/rect3d.h"
#include "runtime/report.h"
#include "runtime/rtlib.h"
#include "runtime/settings.h"
#include "runtime/vector2d.h"
#include "runtime/vector3d.h"
#include "runtime/vectord.h"

using namespace exporting;

namespace exporting {

// The value of expression e at a located point (cell and region set).
double eval_expr(pde *p, plotrec *r, int32_t e, evalpoint *ep) {
  if (e >= r->compiled.count) return 0;
  const treevector *t = &r->compiled.data[e];
  if (t->count == 0) return 0;
  int32_t k = std::clamp<int32_t>(ep->region, 1, t->count);
  return treeval_eval(p, t->data[k - 1], ep);
}

grid export_grid(pde *p, plotrec *r, plotdata *d) {
  grid g = {};
  uint16_t dp[3] = {0, 0, 0};
  double box[6] = {0, 0, 0, 0, 0, 0};
  if (d) std::copy(d->points, d->points + 3, dp), std::copy(d->box, d->box + 6, box);
  int32_t nx = r->points[0] ? r->points[0] : dp[0];
  if (nx == 0) nx = DEFAULT_POINTS;
  int32_t ny = r->points[1] ? r->points[1] : dp[1] ? dp[1] : nx;
  int32_t nz = r->points[2] ? r->points[2] : dp[2] ? dp[2] : nx;
  const Mesh *mesh = view_of(p).mesh;
  if (box[3] - box[0] == 0 && mesh->domain) {
    const rect3d &b = mesh->domain->grid.box;
    double db[6] = {b.x1, b.y1, b.z1, b.x2, b.y2, b.z2};
    std::copy(db, db + 6, box);
  }
  if (!threed(p)) nz = 1, box[2] = box[5] = 0;
  int32_t n[3] = {nx, ny, nz};
  for (int a = 0; a < 3; a++) {
    g.n[a] = std::max<int32_t>(n[a], 1);
    g.lo[a] = box[a];
    g.step[a] = g.n[a] > 1 ? (box[a + 3] - box[a]) / (g.n[a] - 1) : 0;
  }
  return g;
}

void fill_row(double *v, int32_t n) {
  int32_t first = 0;
  while (first < n && v[first] == EXPORTER_OUTSIDE) first++;
  if (first == n) return;
  for (int32_t i = 0; i < first; i++) v[i] = v[first];
  for (int32_t i = first + 1; i < n; i++)
    if (v[i] == EXPORTER_OUTSIDE) v[i] = v[i - 1];
}

// The point of cell c of plot mesh t at local L in space: on cut planes and surfaces of
// 3D problems the plot mesh's space positions taken through the basis of the cell's
// nodes (code), as its values are, so that a point of a curved cell lies where its value
// belongs, not on the chord triangle of its vertices; in 2D (x, y, 0).
void surface_point(double *xyz, uint16_t dimension, const tmesh *t, int32_t c, const double *L, int32_t code,
                   const pointd *pt) {
  xyz[0] = pt->x, xyz[1] = pt->y, xyz[2] = 0;
  if (dimension < 3 || t->nodes3.count < t->nodes.count || t->nodes3.count == 0) return;
  const int32_t *cn = t->cells.data + (c - 1) * t->ncell;
  double v[20];
  int32_t k = std::min<int32_t>(basisfun_basis_1(v, code, L), t->ncell);
  xyz[0] = xyz[1] = xyz[2] = 0;
  for (int j = 0; j < k; j++) {
    const point3d &q = t->nodes3.data[cn[j] - 1];
    xyz[0] += v[j] * q.x, xyz[1] += v[j] * q.y, xyz[2] += v[j] * q.z;
  }
}

// The local coordinates of X in a plot cell to full precision: the general inverse map
// keeps single precision, which shows in the printed values; one more step in double
// corrects them.
void full_lcoords(double *L, const double *X, ElementFrame *f) {
  elements_get_lcoords(L, X, f, 0.01);
  double x[3];
  elements_get_gcoords(x, L, f);
  if (f->curved) elements_jacobian(L, f);
  const double r[2] = {X[0] - x[0], X[1] - x[1]};
  for (int c = 0; c < 3; c++) L[c] += f->K[c][0] * r[0] + f->K[c][1] * r[1];
}

progress::progress(pde *q, const char *text) : p(q) {
  String s = {};
  strings_copyto_1(&s, text);
  line = display_report(view_of(p).status, 0, &s);
  strings_free_0(&s);
}
progress::~progress() { display_unreport(view_of(p).status, line); }

sampler::sampler(pde *q, plotrec *rec) : p(q), view(view_of(q)), r(rec), d(data_of(q, rec)), g(export_grid(q, rec, d)) {
  ep.values = view.solution;
  ep.t = view.time;
  ep.cell = &cell;
  // A cut reaches a grid export only in 2D (3D tables and CDF files of a cut are
  // refused), where its plane has no z term: the normal is (a, b, 0).
  if (d && d->cut) ep.nx = d->plane[0], ep.ny = d->plane[1];
  values.assign(size_t(r->exprs.count), {});
}

int32_t sampler::locate(double x, double y, double z, double tol) {
  ep.x = x, ep.y = y, ep.z = z;
  ep.cell = &cell;
  int32_t c = mfinder_find_cell(&ep, view.mesh, tol);
  if (c < 0) c = -c;
  if (c) ep.cellno = uint32_t(c), ep.region = view.mesh->cells.data[c - 1].region;
  return c;
}

void sampler::line(int a, int m, int32_t jm, double *pos, double tol, double outside, int m2, int32_t jm2) {
  int32_t n = g.n[a];
  for (auto &v : values) v.assign(size_t(n), outside);
  found.assign(size_t(n), 0);
  int32_t moves = moves_across(jm, g.n[m]);
  if (m2 >= 0) moves = std::max(moves, moves_across(jm2, g.n[m2]));
  for (int32_t move = 0;; move++) {
    bool any = false;
    // A line that meets no cell of the finder is wholly outside without a search
    // at each of its points: lines outside a concave domain move many times.
    int32_t searched = mfinder_line_may_meet(view.mesh, a, pos) ? n : 0;
    if (!searched) pos[a] = coord(a, n - 1);
    for (int32_t i = 0; i < searched; i++) {
      pos[a] = coord(a, i);
      if (!locate(pos[0], pos[1], pos[2], tol)) {
        found[i] = 0;
        for (auto &v : values) v[i] = outside;
        continue;
      }
      found[i] = 1, any = true;
      for (int32_t e = 0; e < int32_t(values.size()); e++) values[e][i] = eval_expr(p, r, e, &ep);
    }
    if (any || move >= moves || (g.step[m] == 0 && (m2 < 0 || g.step[m2] == 0))) return;
    pos[m] += (jm < g.n[m] / 2 ? 0.1 : -0.1) * g.step[m];
    if (m2 >= 0) pos[m2] += (jm2 < g.n[m2] / 2 ? 0.1 : -0.1) * g.step[m2];
  }
}

}  // namespace exporting
