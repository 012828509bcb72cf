// measures: the choice of estimator and its blend with the curvature estimate, and the ranges
// and residual norms of the solution; the estimators themselves are measures_curvature.cpp,
// measures_third.cpp, measures_galerkin.cpp and measures_fronts.cpp.
#include "solver/measures_internal.h"

#include "model/trees.h"
#include "runtime/rtlib.h"
#include "solver/coupling.h"

uint8_t measures_debug = 0;

int measures_init() {
  TRACE("measures");
  return 0;
}

// The centre-Galerkin residual is weighed by the Jacobian's scales, so an error in a mode the
// dominant terms of an equation do not see (a divergence-free flow under a penalty pressure)
// reads as small as those terms are large. Every cell's estimate is therefore kept at least at
// its curvature estimate, which measures each variable's interpolation error against its own
// range and does not depend on the equations' scales; a variable zero in truth is measured on
// the floor of its scale, as the centre-Galerkin estimate measures it (against its own noise
// its curvature never falls, and a Lame cylinder with E = 1 + 2 Ur^2 refined on Uz to the grid
// limit). Returns the RMS of the new estimates.
static double floor_by_curvature(pde *p, vector2d *values) {
  Mesh *m = &p->mesh;
  int32_t ncells = m->cells.count;
  Work ew(work(p, ncells));
  for (int32_t i = 1; i <= ncells; i++) at(ew.v, i) = cell_at(m, i).error;
  measures_measure_curvature_floored(p, values);
  double sens = p->sensitivity != 0 ? p->sensitivity : 1.0;
  return store(m, 0, [&](int32_t i, MeshCell &cell, double &T, double &W) {
    double e = std::max(at(ew.v, i), cell.error / sens);
    T = e * e;
    W = 1;
  });
}

double measures_measure(pde *p, vector2d *values, double time, double factor, uint8_t add) {
  TRACE("measures_measure");
  double g;
  switch (p->estimator) {
    case 0: g = measures_measure_curvature(p, values, add, 0); break;
    case 1: g = measure_galerkin(p, values, time, factor, add); break;
    default: g = measure_zgalerkin(p, values, time, factor, add); break;
  }
  // A steady nonlinear solution's centre-Galerkin estimate is held up by its curvature estimate.
  if (p->estimator == 2 && p->nonlinear && !p->eigen && !p->timedep && !add) g = floor_by_curvature(p, values);
  if (p->fronts.count > 0) g = measures_map_fronts(p, g);
  return g;
}

double measures_max_measure(const celltable *cells) {
  double mx = 0.0;
  for (int32_t i = 0; i < cells->count; i++)
    if (cells->data[i].alive) mx = std::max(mx, cells->data[i].error);
  return mx;
}

// ---- Ranges and residuals ------------------------------------------------------------------------

static void size_to(vectord *v, int32_t n) {
  if (v->count < n) {
    int32_t old = v->count;
    vectord_resize(v, n, std::max(n, v->capacity));
    std::fill(v->data + old, v->data + n, 0.0);
  }
}

void measures_get_range(pde *p, vector2d *values) {
  TRACE("measures_get_range");
  int32_t V = p->nvars ? p->nvars : p->nfield + p->nscalar;
  size_to(&p->magnitudes, V), size_to(&p->minima, V), size_to(&p->maxima, V), size_to(&p->ranges, V);
  for (int32_t v = 1; v <= V && v <= values->count; v++) {
    const vectord *u = &values->data[v - 1];
    double &M = at(&p->magnitudes, v), &lo = at(&p->minima, v), &hi = at(&p->maxima, v);
    if (v <= p->nfield) {
      double s = 0;
      lo = u->count ? u->data[0] : 0, hi = lo;
      for (int32_t i = 0; i < u->count; i++) {
        s += std::fabs(u->data[i]);
        lo = std::min(lo, u->data[i]), hi = std::max(hi, u->data[i]);
      }
      M = u->count ? s / u->count : 0;
    } else if (u->count) {
      double x = u->data[0];
      M = std::max(M, std::fabs(x)), lo = std::min(lo, x), hi = std::max(hi, x);
    }
    double R = hi - lo, width = v <= p->vars.count ? p->vars.items[v - 1].width : 0;
    R = std::max(R, 0.1 * width);
    if (R == 0) R = M;
    R = std::max(R, M * p->errlim);
    if (R == 0) R = 1.0;
    at(&p->ranges, v) = R;
  }
}

void (*measures_mtv)(vectord *y, const sparsemx *A, const vectord *x);

void measures_scale_res(pde *p, vectord *out, const vectord *res) {
  TRACE("measures_scale_res");
  int32_t n = res->count;
  // A residual near the largest number overflows as its row is scaled: the equation of
  // the row's variable is the place of the report, set before the row is scaled.
  std::vector<int32_t> owner(size_t(n) + 1, 0);
  for (int32_t v = 1; v <= p->layout.maps.count; v++) {
    const vectorl &map = p->layout.maps.data[v - 1];
    for (int32_t k = 0; k < map.count; k++)
      if (map.data[k] >= 1 && map.data[k] <= n) owner[size_t(map.data[k])] = v;
  }
  TreesFpScope placed(trees_fp_node);
  int32_t current = -1;
  auto place = [&](int32_t i) {
    if (owner[size_t(i)] == current) return;
    rtlib_trap_check();  // while the earlier row's equation is the place
    current = owner[size_t(i)];
    trees_fp_node = current ? coupling_trap_equation(p, current) : placed.saved;
  };
  if (p->fullerr) {
    vectord t = {0, 0, nullptr};
    measures_mtv(&t, &p->matrix, res);
    vectord_resize(out, n, std::max(n, out->capacity));
    for (int32_t i = 1; i <= n; i++) place(i), at(out, i) = at(&p->precscale, i) * at(&t, i);
    vectord_free(&t);
  } else {
    if (out != res) vectord_resize(out, n, std::max(n, out->capacity));
    for (int32_t i = 1; i <= n; i++) place(i), at(out, i) = at(&p->precscale, i) * res->data[i - 1];
  }
  for (int32_t i = 1; i <= n; i++) place(i), at(out, i) *= at(&p->secondscale, i);
  for (int32_t v = 1; v <= p->layout.maps.count; v++) {
    const vectorl &map = p->layout.maps.data[v - 1];
    double R = range_of(p, uint16_t(v));
    for (int32_t k = 0; k < map.count; k++)
      if (map.data[k] >= 1 && map.data[k] <= n) place(map.data[k]), at(out, map.data[k]) /= R;
  }
  rtlib_trap_check();
}

double measures_res_norm(pde *p, vectord *out) {
  TRACE("measures_res_norm");
  int32_t V = p->layout.maps.count;
  vectord_resize(out, V, std::max(V, out->capacity));
  Work sw(work(p, p->residual.count));
  vectord *s = sw.v;
  measures_scale_res(p, s, &p->residual);
  double sum = 0;
  for (int32_t v = 1; v <= V; v++) {
    const vectorl &map = p->layout.maps.data[v - 1];
    // A residual too large to square (a source near the largest number) overflows here.
    TreesFpScope placed(coupling_trap_equation(p, v));
    double t = 0;
    int32_t k = 0;
    for (; k < map.count; k++) t += at(s, map.data[k]) * at(s, map.data[k]);
    rtlib_trap_check();  // while the equation is the trap's place
    at(out, v) = k ? t / k : 0;
    sum += at(out, v);
    at(out, v) = std::sqrt(at(out, v));
  }
  return V ? std::sqrt(sum / V) : 0.0;
}
