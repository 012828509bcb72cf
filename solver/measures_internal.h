// measures_internal: what the error estimators share (measures.cpp, measures_curvature.cpp,
// measures_third.cpp, measures_galerkin.cpp, measures_fronts.cpp): the cell every estimator
// localises into and the point aimed at it (one pair for all: the fronts read the values the
// estimator before them aimed at), the status line, work vectors and the store of estimates.
#pragma once
#include "solver/measures.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "model/pdedat_record.h"
#include "domain/dominpde.h"
#include "elements/basisfun.h"
#include "elements/meshes.h"
#include "model/bcs.h"
#include "model/eqns.h"
#include "model/fits.h"
#include "model/matrix_records.h"
#include "model/treeval.h"
#include "runtime/rtlib.h"
#include "model/fitting_book.h"

// The cell every estimator localises into, and the point aimed at it.
namespace measures_shared {
inline LocalCell work_cell;
inline evalpoint point;
}  // namespace measures_shared
using measures_shared::point;
using measures_shared::work_cell;

static inline MeshCell &cell_at(Mesh *m, int32_t c) { return m->cells.data[c - 1]; }
static inline double &at(vectord *v, int32_t i) { return v->data[i - 1]; }
static inline int32_t row_of(pde *p, uint16_t v, int32_t n) { return bigmatx_row(&p->layout, v, n); }
static inline double range_of(pde *p, uint16_t v) { return v <= p->ranges.count ? p->ranges.data[v - 1] : 1.0; }
static inline double weight_of(pde *p, uint16_t v) { return v <= p->vars.count ? p->vars.items[v - 1].errweight : 1.0; }
static inline int32_t basis_of(pde *p, uint16_t v) {
  int32_t c = v <= p->basiscodes.count ? p->basiscodes.data[v - 1] : 0;
  return c ? c : p->mesh.meshbasis;
}
static inline TreeNode *region_tree(const treevector *t, uint16_t r) {
  return r >= 1 && r <= t->count ? t->data[r - 1] : nullptr;
}
static inline equation *eqn(pde *p, uint16_t v) {
  return v <= p->formulas.equations.count ? p->formulas.equations.items[v - 1] : nullptr;
}

// Aims the static point at the static cell with the given values and time.
static inline void aim(pde *p, vector2d *values, double time) {
  point = evalpoint{};
  point.cell = &work_cell;
  point.values = values;
  point.t = time;
  point.qpoint = 0;
  (void)p;
}

// The second derivatives kept per variable: uxx, uxy, uyy, and in three dimensions also uzz, uxz, uyz.
static inline size_t seconds_width(const pde *p) { return p->dimension == 3 ? 6 : 3; }

// What the third-derivative floor reads of a cell, kept by the curvature estimate: its
// measure, its longest side, then the second derivatives at its centre for each of the first 32 variables.
static inline size_t kept_width(const pde *p) { return 2 + seconds_width(p) * size_t(std::min<int>(p->nfield, 32)); }

// The longest side between the first nv nodes of a cell's frame: in the plane, or in space
// when dim is 3.
static inline double longest_side(const ElementFrame *f, int nv, int dim = 2) {
  double h2 = 0;
  for (int a = 0; a < nv; a++)
    for (int c = a + 1; c < nv; c++) {
      double s = 0;
      for (int r = 0; r < (dim == 3 ? 3 : 2); r++)
        s += (f->nodes[a][r] - f->nodes[c][r]) * (f->nodes[a][r] - f->nodes[c][r]);
      h2 = std::max(h2, s);
    }
  return std::sqrt(h2);
}

static inline void localize(pde *p, int32_t c) {
  MeshCell &cell = cell_at(&p->mesh, c);
  meshes_localize(&p->mesh, &cell, &work_cell, 0);
  point.cellno = uint32_t(c);
  point.region = cell.region;
  point.side = 0;
  point.qpoint = 0;
}

// A work vector of n entries (at least one, so that the pool keeps it taken), zeroed.
static inline vectord *work(pde *p, int32_t n) {
  vectord *v = vector2d_get_work(&p->work, std::max<int32_t>(n, 1));
  std::fill(v->data, v->data + v->count, 0.0);
  return v;
}

// The "Measuring Error" line with the count of cell slots still to visit.
struct Status {
  pad *panel;
  uint16_t line;
  Status(pad *d, int32_t n) : panel(d) {
    String label = {15, 0, const_cast<char *>("Measuring Error")};
    line = display_report_num(panel, 0, &label, n);
  }
  void update(int32_t n) { display_update_num(panel, line, n); }
  void plain() {
    display_unreport(panel, line);
    String label = {15, 0, const_cast<char *>("Measuring Error")};
    line = display_report(panel, 0, &label);
  }
  ~Status() { display_unreport(panel, line); }
};

// A work vector returned to the pool on every exit.
struct Work {
  vectord *v;
  explicit Work(vectord *w) : v(w) {}
  ~Work() { vector2d_free_work(v); }
};

// Every live cell's estimate from its weighted sum T over weights W: sqrt(T/W), or with
// add combined with the old one; returns the RMS of the new estimates.
template <class Terms> static inline double store(Mesh *m, uint8_t add, Terms terms) {
  double S = 0;
  int32_t count = 0;
  for (int32_t i = 1; i <= m->cells.count; i++) {
    MeshCell &cell = cell_at(m, i);
    if (!cell.alive) continue;
    double T = 0, W = 0;
    terms(i, cell, T, W);
    double t = W > 0 ? T / W : 0;
    cell.error = add ? std::sqrt(t + cell.error * cell.error) : std::sqrt(t);
    S += cell.error * cell.error;
    count++;
  }
  return count ? std::sqrt(S / count) : 0.0;
}
