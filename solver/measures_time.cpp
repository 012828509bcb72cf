// measures_time: the spatial error of a time step by the problem's estimator, beside the
// estimators of a steady solution (measures*.cpp).
// The path of a time run: timsolve_run (solver/timsolve.cpp) calls through timsolve_stepper
// layout, first_udot and start_residual (timsolve_step.cpp) at the start and on every new mesh;
// per step onestep (timsolve_step.cpp), check_timestep (timsolve_error.cpp), measure
// (measures_time.cpp) and regrid (timsolve_regrid.cpp, with the start replay).
#include "solver/timsolve_internal.h"

#include "solver/init.h"


// The residual of the step, cell by cell, smoothed through the nodes (estimator 1): sets
// every live cell's error and returns the RMS error. The abort flag ends it with 1.0.
static double tmeasure(pde *p, TimeRun *run, double t, double tnew) {
  Mesh *m = &p->mesh;
  int32_t V = nvariables(p), live = 0;
  double theta = p->theta, total = 0, sum = 0;
  vectord *e = vector2d_get_work(&p->work, p->nt);
  vectord_copyto_1(e, 0.0);
  String label{};
  strings_copyto_1(&label, "Measuring Error");
  uint16_t line = display_report_num(&p->status, 0, &label, m->cells.count);
  static LocalCell own;
  if (!cell) cell = cellnode_work ? cellnode_work : &own;
  evalpoint ep{};
  ep.cell = cell;
  ep.rates = &p->udot;
  run->fixed.sourced = false;  // tsource serves as the cells' work rows below
  double result = 1.0;
  bool aborted = false;
  for (int32_t c = 1; c <= m->cells.count && !aborted; c++) {
    MeshCell *mc = &m->cells.data[c - 1];
    if (!mc->alive) continue;
    live++;
    mc->error = 0;
    meshes_localize(m, mc, cell, 0);
    ep.cellno = uint32_t(c), ep.region = mc->region, ep.side = 0, ep.qpoint = 0;
    int32_t nn = elements_functions[mc->basis];
    for (int32_t k = 1; k <= V; k++)
      for (int32_t a = 0; a < (k <= p->nfield ? nn : 1); a++) {
        int32_t j = rows_of(p, k).data[k <= p->nfield ? mc->nodes.data[a] - 1 : 0] - 1;
        p->rold.data[j] = p->rnew.data[j] = p->mold.data[j] = p->mnew.data[j] = p->tsource.data[j] = 0;
      }
    ep.values = &p->uold, ep.t = t;
    coupling_cell_operate(p, &p->rold, &p->mold, c, mc, &ep, 1, 1, p->upwind);
    ep.values = &p->solution, ep.t = tnew;
    coupling_cell_operate(p, &p->rnew, &p->mnew, c, mc, &ep, 2, 1, p->upwind);
    coupling_cell_source(p, &p->tsource, c, mc, &ep, t, tnew, p->upwind, 0);
    double measure = std::fabs(cell->frame.measure);
    total += measure;
    double w = std::sqrt(measure);
    for (int32_t k = 1; k <= p->nfield && k <= V; k++)
      for (int32_t a = 0; a < nn; a++) {
        int32_t j = rows_of(p, k).data[mc->nodes.data[a] - 1] - 1;
        // A row without a rate is weighed as its step weighs it: theta times its residual at t_new.
        double rho = algebraic_row(run, j + 1) ? theta * (p->rnew.data[j] + p->mnew.data[j] - p->tsource.data[j])
                                               : (1 - theta) * (p->mold.data[j] + p->rold.data[j]) +
                                                     theta * (p->rnew.data[j] + p->mnew.data[j]) - p->tsource.data[j];
        double g = std::fabs(p->firstscale.data[j] * p->stepscale.data[j]) * rho;
        e->data[j] += g * g * w;
      }
    if (c % 1000 == 0) display_update_num(&p->status, line, m->cells.count - c);
    aborted = p->error != 0;
  }
  if (!aborted) {
    // Node shares to the cells around each node.
    for (int32_t k = 1; k <= p->nfield && k <= V; k++)
      for (int32_t n = 1; n <= m->nodes.count; n++) {
        const MeshNode &nd = m->nodes.data[n - 1];
        if (!nd.alive || nd.nodecell.count == 0) continue;
        double share = e->data[rows_of(p, k).data[n - 1] - 1] / nd.nodecell.count;
        for (int32_t i = 0; i < nd.nodecell.count; i++) m->cells.data[nd.nodecell.data[i] - 1].error += share;
      }
    double q = std::sqrt(live / std::max(total, 1e-300)) / std::max(V, 1);
    for (int32_t c = 1; c <= m->cells.count; c++) {
      MeshCell *mc = &m->cells.data[c - 1];
      if (!mc->alive) continue;
      sum += mc->error;
      mc->error = std::sqrt(q * mc->error) * p->sensitivity * 0.4;
    }
    result = std::sqrt(q * sum / std::max(live, 1)) * 0.4;
  }
  vector2d_free_work(e);
  display_unreport(&p->status, line);
  strings_free_0(&label);
  return result;
}

// The step residual integrated over each cell against its bubble (estimator 2): per
// cell and equation the residual and time terms at t (u_old) and t_new (u), weighed
// as the step weighs them, less the source over the step's time nodes, scaled by the
// largest row scale of the cell's unknowns. Sets every live cell's error and returns
// the RMS error; the abort flag ends it with 1.0.
static double tzmeasure(pde *p, double t, double tnew) {
  Mesh *m = &p->mesh;
  int32_t E = std::min<int32_t>(p->neqs, p->formulas.equations.count), live = 0, ncells = m->cells.count;
  int32_t bubble = p->dimension == 3 ? 13 : 12;
  double theta = p->theta, h = tnew - t, total = 0, sum = 0;
  vectord *e = vector2d_get_work(&p->work, std::max(ncells * std::max(E, 1), 1));
  vectord_copyto_1(e, 0.0);
  String label{};
  strings_copyto_1(&label, "Measuring Error");
  uint16_t line = display_report_num(&p->status, 0, &label, ncells);
  static LocalCell own;
  if (!cell) cell = cellnode_work ? cellnode_work : &own;
  evalpoint ep{};
  ep.cell = cell;
  ep.rates = &p->udot;
  // The integral of one tree against the bubble at time at with the values u.
  auto integral = [&](TreeNode *tree, vector2d *u, double at) {
    double v[20] = {};
    if (!tree) return 0.0;
    ep.values = u, ep.t = at;
    if (treeval_vol_galerkin(p, v, tree, &ep, bubble) != 1) rtlib_fatal_in("tzmeasure", "ZGalerkin Failed!");
    return v[0];
  };
  static const double one = 1.0;
  bool aborted = false;
  for (int32_t c = 1; c <= ncells && !aborted; c++) {
    MeshCell *mc = &m->cells.data[c - 1];
    if (!mc->alive) continue;
    live++;
    meshes_localize(m, mc, cell, 0);
    ep.cellno = uint32_t(c), ep.region = mc->region, ep.side = 0, ep.qpoint = 0;
    double measure = std::fabs(cell->frame.measure), w = std::sqrt(measure);
    total += measure;
    int32_t nn = elements_functions[mc->basis];
    for (int32_t v = 1; v <= E; v++) {
      equation *eq = p->formulas.equations.items[v - 1];
      auto tree = [&](const treevector &l) { return mc->region <= l.count ? l.data[mc->region - 1] : nullptr; };
      TreeNode *vol = tree(eq->volume), *tim = has_rate(p, v) ? tree(eq->timeint) : nullptr, *src = tree(eq->source);
      auto residual = [&](vector2d *u, double at) { return integral(vol, u, at) + integral(tim, u, at); };
      double old = has_rate(p, v) ? residual(&p->uold, t) : 0.0, now = residual(&p->solution, tnew), source = 0;
      int32_t count = 1;
      const double *tau = &one, *wt = &one;
      if (has_rate(p, v) && v <= p->tcount.count) {
        count = p->tcount.data[v - 1];
        tau = p->tnodes.data[v - 1].data, wt = p->tweights.data[v - 1].data;
      }
      for (int32_t k = 0; k < count; k++) source += wt[k] * integral(src, &p->solution, t + tau[k] * h);
      double scale = 0;
      for (int32_t a = 0; a < nn; a++) {
        int32_t j = rows_of(p, v).data[mc->nodes.data[a] - 1] - 1;
        scale = std::max(scale, std::fabs(p->firstscale.data[j] * p->stepscale.data[j]));
      }
      // An equation without a rate holds at t_new alone, weighed by theta as its step weighs it.
      double r = scale * (has_rate(p, v) ? theta * now + (1 - theta) * old - source : theta * (now - source));
      e->data[(c - 1) * E + v - 1] += r * r * w;
    }
    if (c % 1000 == 0) display_update_num(&p->status, line, ncells - c);
    aborted = p->error != 0;
  }
  double result = 1.0;
  if (!aborted) {
    double norm = std::sqrt(total / std::max(live, 1)) * std::max(E, 1);
    for (int32_t c = 1; c <= ncells; c++) {
      MeshCell *mc = &m->cells.data[c - 1];
      if (!mc->alive) continue;
      double q = 0;
      for (int32_t v = 1; v <= E; v++) q += e->data[(c - 1) * E + v - 1];
      q /= norm;
      sum += q;
      mc->error = std::sqrt(q) * p->sensitivity * 0.5;
    }
    result = std::sqrt(sum / std::max(live, 1));
  }
  vector2d_free_work(e);
  display_unreport(&p->status, line);
  strings_free_0(&label);
  return result;
}

// The ranges the spatial estimates read while a time step is measured: each variable's size
// over the run (step_range, the size its step error is measured against), in place of the
// range its matrices were scaled with. That one is a unit for a variable that starts at rest,
// so a field that grows from zero to a size far below 1 (a source switched on, a row without a
// rate following a source in t) was measured against the unit and its mesh kept coarse where
// the same field in a steady run refines to its limit. A variable still at zero keeps its range.
struct MeasuredRanges {
  pde *p;
  std::vector<double> held;
  MeasuredRanges(pde *q, TimeRun *run) : p(q), held(q->ranges.data, q->ranges.data + q->ranges.count) {
    for (int32_t k = 1; k <= p->ranges.count && k <= nvariables(p); k++) {
      double r = step_range(p, run, k, &p->solution);
      if (r > 0 && std::isfinite(r)) p->ranges.data[k - 1] = r;
    }
  }
  ~MeasuredRanges() { std::copy(held.begin(), held.end(), p->ranges.data); }
  MeasuredRanges(const MeasuredRanges &) = delete;
  MeasuredRanges &operator=(const MeasuredRanges &) = delete;
};

// The estimate reads the mesh's error only as far as its model of the cells goes (on a smooth
// start of quadratic cells it read three times the true error). At the first step of a plane
// run that regrids from a start without a jump, the start's true misfit on the mesh (its
// expressions less the start's values, interpolated) is at hand: its ratio to the estimate of
// the same mesh, over each variable's range as measured, is kept for the regrids that weigh the
// estimate against what it does at the outputs (spatial_share). Never above 1, nor below a
// quarter.
static void calibrate_by_start(pde *p, TimeRun *run) {
  if (p->cycle != 1 || !p->regrid || p->startjump || p->dimension != 2 || p->nfield <= 0 || !(p->rmserr > 0) ||
      p->formulas.initregion.count < p->nfield)
    return;
  std::vector<double> misfit = init_start_misfit(p, &p->uold, p->starttime_value);
  double most = 0;
  for (int32_t k = 1; k <= int32_t(misfit.size()) && k <= p->ranges.count; k++)
    if (p->ranges.data[k - 1] > 0) most = std::max(most, misfit[size_t(k - 1)] / p->ranges.data[k - 1]);
  double c = most / p->rmserr;
  run->start_calibration = std::isfinite(c) ? std::clamp(c, 0.25, 1.0) : 1.0;
}

// The spatial error by the problem's estimator (0 curvature, 1 the step residual, 2
// the step residual against the cell bubbles) held up by the third derivatives, the fronts,
// the resolve requests and the largest cell error, each variable against its size in the run.
void measure(pde *p, TimeRun *run, double t, double tnew) {
  MeasuredRanges ranges(p, run);
  // The floor reads the second derivatives the curvature estimate took of the same values.
  std::vector<double> seconds;
  if (p->estimator == 0) p->rmserr = measures_measure_curvature_keeping(p, &p->solution, &seconds);
  else if (p->estimator == 1) p->rmserr = tmeasure(p, run, t, tnew);
  else if (p->estimator == 2) {
    ScalarsAtEnd at_end(p, run);
    p->rmserr = tzmeasure(p, t, tnew);
  }
  // A feature narrower than the cells, which none of these sees, reads by its third derivatives
  // (not while a start's jump is held: the hold ends by the estimate it was held by). Its small
  // cells are weighed against the mean cell of the first mesh measured, which refinement does not
  // shrink.
  if (!(run->floor_area > 0)) run->floor_area = measures_mean_cell(p);
  if (!(run->jump_error > 0) && p->nfield > 0)
    p->rmserr = measures_floor_by_third_derivatives(p, &p->solution, run->floor_area, p->rmserr, &seconds);
  if (p->fronts.count > 0) p->rmserr = measures_map_fronts(p, p->rmserr);
  if (p->resolves.count > 0) measures_resolve(p, tnew);
  calibrate_by_start(p, run);
  p->maxerr = measures_max_measure(&p->mesh.cells) / (p->sensitivity > 0 ? p->sensitivity : 1.0);
}
