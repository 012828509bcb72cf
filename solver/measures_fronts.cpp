// measures_fronts: the FRONT declarations' error where a front changes sign, and the RESOLVE
// expressions' raise of the estimates.
#include "solver/measures_internal.h"

// The resolve trees, rebuilt at every call: fit leaf, difference, square, weighted.
static TreeNode rfit, rdiff, rsquare, rweight;

// ---- Fronts and resolve ---------------------------------------------------------------------------

double measures_map_fronts(pde *p, double G) {
  TRACE("measures_map_fronts");
  Mesh *m = &p->mesh;
  vector2d *values = point.values;
  aim(p, values, p->time);
  int32_t n = 0;
  double D = 0;
  for (uint16_t k = 1; k <= p->fronts.count; k++) {
    uint16_t fno = p->fronts.data[k - 1];
    if (fno < 1 || fno > p->formulas.fits.count) continue;
    const fit *f = p->formulas.fits.items[fno - 1];
    for (int32_t c = 1; c <= m->cells.count; c++) {
      MeshCell &cell = cell_at(m, c);
      if (!cell.alive) continue;
      localize(p, c);
      int32_t b = cell.basis;
      int nf = elements_functions[b], dim = elements_dimension[b];
      // The width is taken at the cell's centroid.
      std::copy(elements_centroid[dim].L, elements_centroid[dim].L + 4, point.local);
      double xyz[3] = {0, 0, 0};
      elements_get_gcoords(xyz, point.local, &work_cell.frame);
      point.x = xyz[0], point.y = xyz[1], point.z = xyz[2];
      double delta = treeval_eval(p, f->second, &point);
      double lo = 1e37, hi = -1e37;
      const LocalPoint *lp = basisfun_node_table(b);
      for (int j = 0; j < nf; j++) {
        if (lp) std::copy(lp[j].L, lp[j].L + 4, point.local);
        const MeshNode &nd = m->nodes.data[cell.nodes.data[j] - 1];
        point.x = nd.x, point.y = nd.y, point.z = nd.z;
        double y = treeval_eval(p, fits_find_fit_tree(&p->formulas.fits, fno, cell.region, 0), &point);
        lo = std::min(lo, y), hi = std::max(hi, y);
      }
      if (hi > 0 && lo < 0) {
        n++;
        double d = (hi - lo) * p->errlim / delta;
        d *= d;
        cell.error = std::sqrt(cell.error * cell.error + d);
        D += d;
      }
    }
  }
  return n > 0 ? std::sqrt(G * G + D / n) : G;
}

void measures_resolve(pde *p, double time) {
  TRACE("measures_resolve");
  Mesh *m = &p->mesh;
  String label = {9, 0, const_cast<char *>("Resolving")};
  uint16_t line = display_report(&p->status, 0, &label);
  vector2d *values = point.values;
  aim(p, values, time);
  fitting_validate_fits(p, &p->resolves, values, time, time);
  // The trees (F - expression)^2 [* weight], nodes of the module.
  rfit = TreeNode{}, rdiff = TreeNode{}, rsquare = TreeNode{}, rweight = TreeNode{};
  trees_modify(&rfit, op::fitfun);
  trees_modify(&rdiff, op::subop);
  trees_modify(&rsquare, op::square);
  trees_modify(&rweight, op::mulop);
  rdiff.child[0] = &rfit;
  rsquare.child[0] = &rdiff;
  rweight.child[0] = &rsquare;
  int32_t ncells = m->cells.count;
  for (int32_t i = 1; i <= ncells; i++) {
    MeshCell &cell = cell_at(m, i);
    if (cell.alive) cell.error *= cell.error;
  }
  Work yw(work(p, ncells));
  vectord *y = yw.v;
  for (uint16_t k = 1; k <= p->resolves.count; k++) {
    uint16_t fno = p->resolves.data[k - 1];
    if (fno < 1 || fno > p->formulas.fits.count) continue;
    const fit *r = p->formulas.fits.items[fno - 1];
    rfit.index = fno;
    double T = 0, A = 0;
    for (int32_t i = 1; i <= ncells; i++) {
      MeshCell &cell = cell_at(m, i);
      at(y, i) = 0;
      if (!cell.alive) continue;
      localize(p, i);
      double meas = work_cell.frame.measure;
      A += meas;
      TreeNode *expr = fits_find_fit_tree(&p->formulas.fits, fno, cell.region, 0);
      double I = treeval_vol_integrate(p, expr, &point, p->vrule);
      rdiff.child[1] = expr;
      if (r->second) {
        rweight.child[1] = r->second;
        at(y, i) = treeval_vol_integrate(p, &rweight, &point, p->vrule) / meas;
      } else {
        at(y, i) = treeval_vol_integrate(p, &rsquare, &point, p->vrule) / meas;
      }
      T += I * I / meas;
    }
    if (T > 0)
      for (int32_t i = 1; i <= ncells; i++) {
        MeshCell &cell = cell_at(m, i);
        if (cell.alive) cell.error = std::max(cell.error, at(y, i) / (T / A));
      }
  }
  for (int32_t i = 1; i <= ncells; i++) {
    MeshCell &cell = cell_at(m, i);
    if (cell.alive) cell.error = std::sqrt(cell.error);
  }
  rdiff.child[1] = rweight.child[1] = nullptr;
  display_unreport(&p->status, line);
}
