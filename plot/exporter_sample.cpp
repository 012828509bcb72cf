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

#include "model/pdedat_record.h"
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
  if (box[3] - box[0] == 0 && p->mesh.domain) {
    const rect3d &b = p->mesh.domain->grid.box;
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
void surface_point(double *xyz, const pde *p, const tmesh *t, int32_t c, const double *L, int32_t code,
                   const pointd *pt) {
  xyz[0] = pt->x, xyz[1] = pt->y, xyz[2] = 0;
  if (p->dimension < 3 || t->nodes3.count < t->nodes.count || t->nodes3.count == 0) return;
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

}  // namespace exporting
