// measures_third: the floor every cell's estimate takes from its third derivatives.
#include "solver/measures_internal.h"

// ---- Third derivatives -----------------------------------------------------------------------

double measures_mean_cell(pde *p) {
  TRACE("measures_mean_cell");
  Mesh *m = &p->mesh;
  double A = 0;
  int32_t live = 0;
  for (int32_t i = 1; i <= m->cells.count; i++) {
    if (!cell_at(m, i).alive) continue;
    localize(p, i);
    A += std::fabs(work_cell.frame.measure), live++;
  }
  return live > 0 ? A / live : 0;
}

// A quadratic cell's second derivatives are constant, so the curvature estimate cannot see a
// feature narrower than the cell: the cell astride a front's inflection reads no curvature
// at all, while its values between the nodes miss by about h^3 |u'''|. The second derivatives
// of the cells about each vertex, averaged there, change along the cell's sides by its third
// derivatives (the average keeps a feature two cells wide and drops a wiggle from cell to
// cell). Each variable's estimate is that interpolation error over its range: the largest
// error of a quadratic along a side, 0.008 h^3 |u'''| with h the cell's longest side, weighed
// down in a cell smaller than the reference cell (the mean cell when reference is 0) by
// AREA_CUTOFF as the curvature estimate weighs small cells: a layer, whose third derivatives
// grow as its cells shrink, then ends its refinement. A reference that refinement does not
// shrink keeps that weight once most cells lie in the layer. Every cell's estimate is kept at
// least at it. Quadratic cells in one and two dimensions; other meshes keep their estimates.
double measures_floor_by_third_derivatives(pde *p, vector2d *values, double reference, double rms) {
  TRACE("measures_floor_by_third_derivatives");
  Mesh *m = &p->mesh;
  int32_t b = m->meshbasis ? m->meshbasis : m->cellbasis;
  int dim = elements_dimension[b], nv = dim + 1, nf = elements_functions[b];
  int32_t ncells = m->cells.count, nnodes = m->nodes.count;
  uint16_t nfield = p->nfield;
  double sens = p->sensitivity != 0 ? p->sensitivity : 1.0;
  auto squares = [&] {
    double S = 0;
    for (int32_t i = 1; i <= ncells; i++)
      if (cell_at(m, i).alive) S += (cell_at(m, i).error / sens) * (cell_at(m, i).error / sens);
    return S;
  };
  double before = squares();
  if (elements_order[b] == 2 && dim <= 2 && nfield > 0) {
    // Per cell its measure and longest side; per vertex the mean second derivatives (uxx,
    // uxy, uyy per variable) of the cells about it.
    size_t H = 3 * size_t(nfield);
    std::vector<double> size(2 * size_t(ncells), 0.0), hess(H * size_t(nnodes), 0.0);
    std::vector<int32_t> around(size_t(nnodes), 0);
    aim(p, values, p->time);
    const double *L = elements_centroid[dim].L;
    double u[20], A = 0;
    int32_t live = 0;
    for (int32_t i = 1; i <= ncells; i++) {
      MeshCell &cell = cell_at(m, i);
      if (!cell.alive || cell.basis != b) continue;
      localize(p, i);
      ElementFrame *f = &work_cell.frame;
      double h2 = 0;
      for (int a = 0; a < nv; a++)
        for (int c = a + 1; c < nv; c++) {
          double dx = f->nodes[a][0] - f->nodes[c][0], dy = f->nodes[a][1] - f->nodes[c][1];
          h2 = std::max(h2, dx * dx + dy * dy);
        }
      size[2 * size_t(i - 1)] = std::fabs(f->measure), size[2 * size_t(i - 1) + 1] = std::sqrt(h2);
      A += std::fabs(f->measure), live++;
      double d[3 * 32];
      for (uint16_t v = 1; v <= nfield && v <= 32; v++) {
        const vectord *uv = &values->data[v - 1];
        for (int k = 0; k < nf; k++) u[k] = uv->data[cell.nodes.data[k] - 1];
        double D[3][3];
        elements_interp_seconds(b, L, f, u, D);
        d[3 * (v - 1)] = D[0][0], d[3 * (v - 1) + 1] = D[0][1], d[3 * (v - 1) + 2] = D[1][1];
      }
      for (int a = 0; a < nv; a++) {
        int32_t n = cell.nodes.data[a];
        around[size_t(n - 1)]++;
        for (size_t k = 0; k < H && k < 3 * 32; k++) hess[size_t(n - 1) * H + k] += d[k];
      }
    }
    for (int32_t n = 1; n <= nnodes; n++)
      for (size_t k = 0; k < H && around[size_t(n - 1)] > 0; k++) hess[size_t(n - 1) * H + k] /= around[size_t(n - 1)];
    int cutoff = p->area_cutoff == 0 || p->area_cutoff == 1 ? p->area_cutoff : 2;
    double mean = reference > 0 ? reference : live > 0 ? A / live : 0;
    for (int32_t i = 1; i <= ncells; i++) {
      MeshCell &cell = cell_at(m, i);
      if (!cell.alive || cell.basis != b) continue;
      double T = 0, W = 0, h = size[2 * size_t(i - 1) + 1];
      for (uint16_t v = 1; v <= nfield && v <= 32; v++) {
        double D = 0;
        for (int a = 0; a < nv; a++)
          for (int c = a + 1; c < nv; c++) {
            int32_t na = cell.nodes.data[a], nc = cell.nodes.data[c];
            const MeshNode &pa = m->nodes.data[na - 1], &pc = m->nodes.data[nc - 1];
            const double *s = &hess[size_t(na - 1) * H + 3 * (v - 1)], *t = &hess[size_t(nc - 1) * H + 3 * (v - 1)];
            double dx = pa.x - pc.x, dy = pa.y - pc.y, dist = std::sqrt(dx * dx + dy * dy);
            double xx = t[0] - s[0], xy = t[1] - s[1], yy = t[2] - s[2];
            if (dist > 0) D = std::max(D, std::sqrt(xx * xx + 2 * xy * xy + yy * yy) / dist);
          }
        double w = weight_of(p, v), e = 0.008 * h * h * h * D / range_of(p, v);
        T += w * w * e * e;
        W += w * w;
      }
      double a = size[2 * size_t(i - 1)], weight = mean > 0 && a < mean ? std::pow(a / mean, 0.375 * cutoff) : 1.0;
      double e3 = W > 0 ? std::sqrt(T / W) * weight : 0;
      if (std::isfinite(e3) && e3 * sens > cell.error) cell.error = e3 * sens;
    }
  }
  // The estimator's RMS error grows as the cells' squares do: an estimator whose RMS is not that
  // of its cell errors (the cell-centre one halves its cells) keeps its own scale, and a mesh
  // the floor does not raise keeps its RMS error exactly.
  double after = squares();
  if (after == before) return rms;
  if (before > 0) return rms * std::sqrt(after / before);
  int32_t count = 0;
  for (int32_t i = 1; i <= ncells; i++) count += cell_at(m, i).alive ? 1 : 0;
  return count ? std::sqrt(after / count) : rms;
}
