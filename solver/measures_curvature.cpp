// measures_curvature: the curvature estimate from the second derivatives at the cells' centroids.
#include "solver/measures_internal.h"

// ---- Curvature ----------------------------------------------------------------------------

static double curvature(pde *p, vector2d *values, uint8_t add, uint8_t blend, std::vector<double> *seconds, bool timed,
                        const std::vector<double> *floors = nullptr);

double measures_measure_curvature(pde *p, vector2d *values, uint8_t add, uint8_t blend) {
  return curvature(p, values, add, blend, nullptr, false);
}

double measures_measure_curvature_floored(pde *p, vector2d *values) {
  std::vector<double> floors = measures_noise_floors(p);
  return curvature(p, values, 0, 0, nullptr, false, &floors);
}

double measures_measure_curvature_keeping(pde *p, vector2d *values, std::vector<double> *seconds) {
  return curvature(p, values, 0, 0, seconds, true);
}

static double curvature(pde *p, vector2d *values, uint8_t add, uint8_t blend, std::vector<double> *seconds, bool timed,
                        const std::vector<double> *floors) {
  TRACE("measures_measure_curvature");
  Mesh *m = &p->mesh;
  // The cells carry the mesh basis; an extruded mesh keeps the vertex basis it was
  // built with as its basis for new cells, whose second derivatives all vanish.
  int32_t b = p->mesh.meshbasis ? p->mesh.meshbasis : p->mesh.cellbasis;
  int nf = elements_functions[b], dim = elements_dimension[b], ord = elements_order[b];
  int32_t ncells = m->cells.count, nnodes = m->nodes.count;
  Work qw(work(p, ncells)), nw(work(p, nnodes));
  vectord *q = qw.v, *nodal = nw.v;
  aim(p, values, p->time);
  Status status(&p->status, ncells);
  // The floor reads quadratic cells.
  size_t K = kept_width(p), SW = seconds_width(p);
  if (seconds) {
    if (ord == 2 && (SW == 6 ? dim == 3 : dim <= 2) && p->nfield > 0) seconds->assign(K * size_t(ncells), 0.0);
    else seconds->clear();
    if (seconds->empty()) seconds = nullptr;
  }
  // 1. Squared extents and the weighted second derivatives per cell.
  int cutoff = p->area_cutoff == 0 || p->area_cutoff == 1 ? p->area_cutoff : 2;
  const double *L = elements_centroid[dim].L;
  double A = 0, u[20];
  for (int32_t i = 1; i <= ncells; i++) {
    status.update(ncells - i);
    MeshCell &cell = cell_at(m, i);
    at(q, i) = 0;
    if (!cell.alive) continue;
    localize(p, i);
    ElementFrame *f = &work_cell.frame;
    double meas = f->measure;
    A += meas;
    double H[3] = {0, 0, 0};
    for (int r = 0; r < dim; r++)
      for (int k = 0; k <= dim; k++) H[r] = std::max(H[r], f->J[r][k] * f->J[r][k]);
    double W = 0, *keep = seconds ? seconds->data() + K * size_t(i - 1) : nullptr;
    if (keep) keep[0] = std::fabs(meas), keep[1] = longest_side(f, dim + 1, dim);
    for (uint16_t v = 1; v <= p->nfield; v++) {
      const vectord *uv = &values->data[v - 1];
      for (int k = 0; k < nf; k++) u[k] = uv->data[cell.nodes.data[k] - 1];
      double R = range_of(p, v), e = 0, D[3][3];
      if (floors && v <= floors->size() && (*floors)[v - 1] > 0) R /= (*floors)[v - 1];
      elements_interp_seconds(b, L, f, u, D);
      if (keep && v <= 32) {
        double *kv = keep + 2 + SW * (v - 1);
        kv[0] = D[0][0], kv[1] = D[0][1], kv[2] = D[1][1];
        if (SW == 6) kv[3] = D[2][2], kv[4] = D[0][2], kv[5] = D[1][2];
      }
      double d2[3] = {D[0][0], D[1][1], D[2][2]};
      for (int r = 0; r < dim; r++) e += (H[r] * d2[r] / R) * (H[r] * d2[r] / R);
      double w = weight_of(p, v);
      at(q, i) += w * w * e;
      W += w * w;
    }
    if (cutoff == 1) at(q, i) *= std::sqrt(std::fabs(meas));
    else if (cutoff == 2) at(q, i) *= std::fabs(meas);
    if (W > 0) at(q, i) /= dim * W;
    if (p->error) {
      if (seconds) seconds->clear();
      return 1.0;
    }
  }
  status.plain();
  // 2. Nodal smoothing and normalisation.
  for (int32_t n = 1; n <= nnodes; n++) {
    const vectorl &l = m->nodes.data[n - 1].nodecell;
    double s = 0;
    for (int32_t k = 0; k < l.count; k++) s += at(q, l.data[k]);
    at(nodal, n) = l.count ? s / l.count : 0;
  }
  double C = cutoff == 0 ? 1.0 : cutoff == 1 ? std::sqrt(A / ncells) : A / ncells;
  // A time step's estimate on quadratic tetrahedra read about 1.5 times what it reads on
  // triangles against the true error of the same field (a slab and a cube decaying, on the
  // run's own meshes: 1.37 and 0.88 of the true RMS error where triangles read 0.87 and 0.60),
  // and the floor of the third derivatives on top took the whole to 2.0-2.1 where triangles read
  // 1.6; a slab that varies across its thickness refined to twice the cells its twin needs per
  // unit of the other directions. Halved, the whole estimate on tetrahedra reads 1.8-2.0.
  // Steady runs keep their factor.
  const double scale = timed && dim == 3 && ord == 2 ? 0.5 : 1.0;
  double fac = (ord == 2 ? 0.004 : 0.002) * scale, B = p->hysteresis * p->hysteresis, S = 0;
  int32_t count = 0;
  for (int32_t i = 1; i <= ncells; i++) {
    MeshCell &cell = cell_at(m, i);
    if (!cell.alive) continue;
    double s = 0;
    for (int k = 0; k < nf; k++) s += at(nodal, cell.nodes.data[k]);
    double qi = s / nf / C, r = std::sqrt(qi);
    qi = fac * fac * r * r * r;
    double &E = cell.error;
    if (add) E = std::sqrt(E * E + qi);
    else if (blend) E = std::sqrt(std::max((1 - B) * qi + B * E * E, qi));
    else E = std::sqrt(qi);
    S += E * E;
    count++;
    E *= p->sensitivity;
  }
  return count ? std::sqrt(S / count) : 0.0;
}
