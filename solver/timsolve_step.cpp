// timsolve_step: the step of a time run, its assembly and solve: the layout and level sizes,
// the start values and their rates, the growth check, the step matrix and its solve, the step
// residual and the split sources.
// The path of a time run: timsolve_run (solver/timsolve.cpp) calls through timsolve_stepper
// layout, first_udot and start_residual (timsolve_step.cpp) at the start and on every new mesh;
// per step onestep (timsolve_step.cpp), check_timestep (timsolve_error.cpp), measure
// (measures_time.cpp) and regrid (timsolve_regrid.cpp, with the start replay).
#include "solver/timsolve_internal.h"

#include "solver/sparsechol.h"

// ---- The assembly's stepper ------------------------------------------------------------------

uint8_t timsolve_sweep = 0;


// K, D or their scales are rebuilt: the reference no longer fits them.
static void matrices_changed(TimeRun *run) {
  run->jmatrix_current = run->jmatrix_laid = run->upper_laid = run->jmatrix_printed = false;
  run->parts_symmetric = -1;
  run->fixed.current = false;
  run->unstable_current = false;
}


// One vector per variable: node count for field variables, one entry for scalars;
// stored values are kept by index.
void size_level(pde *p, vector2d *v) {
  int32_t V = nvariables(p), N = p->mesh.nodes.count;
  vector2d_resize(v, V, std::max(V, v->capacity));
  for (int32_t k = 1; k <= V; k++) {
    vectord *x = &v->data[k - 1];
    int32_t n = k <= p->nfield ? N : 1, old = x->count;
    vectord_resize(x, n, std::max({n, x->capacity, k <= p->nfield ? p->mesh.nodes.capacity : 1}));
    for (int32_t i = old; i < n; i++) x->data[i] = 0.0;
  }
}

static void size_time(pde *p, TimeRun *run) {
  for (vector2d *v : {&p->solution, &p->um1, &p->uold, &p->udotold, &p->udot}) size_level(p, v);
  int32_t n = p->nt, cap = std::max(p->nt, p->mesh.nodes.capacity);
  for (vectord *v : {&p->rold, &p->rnew, &p->mold, &p->mnew, &p->tsource, &p->tresid, &p->correction}) {
    vectord_resize(v, n, std::max(cap, v->capacity));
  }
  if (p->nrupdate == 0) p->nrupdate = p->neqs;
  vectord_resize(&run->pass_sizes, std::max(p->nrupdate, 1), std::max(p->nrupdate, 1));
  // Every level follows the mesh, so the predictor and the divided differences see the
  // same nodes after a regrid.
  if (p->um2.count != p->solution.count) {
    vector2d_free(&p->um2, 1);
    copy_levels(&p->um2, &p->um1);
  }
  size_level(p, &p->um2);
  int32_t V = p->solution.count, c = 0;
  vectorvd_resize(&p->carried, 6 * V, std::max(6 * V, p->carried.capacity));
  for (vector2d *v : {&p->solution, &p->um2, &p->um1, &p->uold, &p->udotold, &p->udot})
    for (int32_t k = 1; k <= V; k++) p->carried.data[c++] = &v->data[k - 1];
}

void layout(pde *p, TimeRun *run) {
  loading_map_matrix(p, 2);
  coupling_tabulate_bcs(p);
  size_time(p, run);
  run->fixed.linear = coupling_fixed_linear(p);
  run->fixed.sources = run->fixed.linear && coupling_fixed_source(p);
  run->fixed.timed = coupling_jacobians_follow_time(p);
  run->source_timed = coupling_source_reads_time(p);
  run->switches = coupling_time_switches(p);
  run->source_end_current = false;
  run->fixed.current = run->fixed.sourced = false;
  vectord_resize(&run->last_correction, 0, run->last_correction.capacity);  // a new mesh starts cold
  // An extruded mesh's factor fills far past the bound (20 and more times J's entries on a cube of
  // quadratic cells, against about 6 on a plane mesh): its analysis alone is not tried.
  run->factor_fits = p->dimension == 3 ? 0 : -1;
}

// Global vector g into, or added onto, the per-variable values.
static void scatter(pde *p, vector2d *v, const vectord *g) {
  for (int32_t k = 1; k <= nvariables(p); k++) {
    const vectorl &r = rows_of(p, k);
    for (int32_t i = 0; i < r.count && i < v->data[k - 1].count; i++) v->data[k - 1].data[i] = g->data[r.data[i] - 1];
  }
}

// Periodic slaves take their master's rate, antiperiodic ones its negative, as their
// values are tied.
static void slave_rates(pde *p) {
  double sign = p->persign != 0.0 ? p->persign : 1.0;
  for (int32_t n = 1; n <= p->mesh.nodes.count; n++) {
    int32_t m = p->mesh.nodes.data[n - 1].image;
    if (m <= 0 || m == n) continue;
    for (int32_t k = 1; k <= p->nfield && k <= p->udot.count; k++)
      p->udot.data[k - 1].data[n - 1] = sign * p->udot.data[k - 1].data[m - 1];
  }
}

// The ranges by which a time run measures its steps and its cells (p->ranges, which the
// spatial measures read), held since the run began so that a variable passing through zero
// is not measured against a vanishing scale: the largest magnitude the variable's own
// values have had (its declared range where that is larger; a unit for a variable that
// starts at rest, as its matrices are scaled). One that grows is measured against what it
// grows to, never against the run's span. V entries, then V for the ranges at the start.

static double magnitude(pde *p, int32_t k, const vector2d *u) {
  double r = k <= p->vars.count ? p->vars.items[k - 1].width : 0.0;
  if (!(r > 0)) r = 0;
  if (k <= u->count) {
    const vectord &x = u->data[k - 1];
    for (int32_t i = 0; i < x.count; i++) r = std::max(r, std::fabs(x.data[i]));
  }
  return r;
}

// The run's ranges take in the values u and, when scaled (p->ranges holds the ranges the
// matrices were just scaled with), those; p->ranges then holds the run's ranges.
void hold_ranges(pde *p, TimeRun *run, const vector2d *u, bool scaled) {
  int32_t V = std::min(p->ranges.count, nvariables(p));
  if (run->run_ranges.count < 2 * V) {
    int32_t old = run->run_ranges.count;
    vectord_resize(&run->run_ranges, 2 * V, std::max(2 * V, run->run_ranges.capacity));
    for (int32_t k = old; k < 2 * V; k++) run->run_ranges.data[k] = k < V ? 0 : -1;
  }
  if (run->run_sizes.count < V) {
    int32_t old = run->run_sizes.count;
    vectord_resize(&run->run_sizes, V, std::max(V, run->run_sizes.capacity));
    for (int32_t k = old; k < V; k++) run->run_sizes.data[k] = 0;
  }
  for (int32_t k = 0; k < V; k++) {
    double &r = run->run_ranges.data[k], &s = run->run_ranges.data[V + k];
    if (scaled) r = std::max(r, p->ranges.data[k]);
    if (u) r = std::max(r, magnitude(p, k + 1, u));
    if (u) run->run_sizes.data[k] = std::max(run->run_sizes.data[k], magnitude(p, k + 1, u));
    if (s < 0) s = r;
    if (std::isfinite(r)) p->ranges.data[k] = r;
  }
}

// A variable that starts at rest has no size of its own yet. Its start's rate, carried
// for as long as its own equation lets it run before its own terms hold it (the ratio of
// its row's time term to its own spatial and reaction terms; the run's span where these
// are absent, as for a variable that is only the time rate of another), is the size it
// may reach: a floor for its range, taken in at the first build of the step matrices. A
// start smaller than the error limit times that size is at rest to the accuracy asked,
// and takes the floor too. Rates per variable with a rate, kept from the start until then
// (the run's rest_rates, rest_size and rest_span).

static double diagonal(const sparsemx &A, int32_t r) {
  if (r < 1 || r > A.rows) return 0;
  const vectorld &row = A.data[r - 1];
  for (int32_t e = 0; e < row.count; e++)
    if (row.keys[e] == r) return row.values[e];
  return 0;
}

// The size the rates of variable k (one per row) carry it to before its own terms hold it.
static double rest_floor(pde *p, TimeRun *run, int32_t k, const double *rate, int32_t count) {
  const vectorl &rows = rows_of(p, k);
  if (count != rows.count) return 0;
  std::vector<char> held(size_t(count), 0);
  if (k <= p->valuenodes.count) {
    const vectorl &nodes = p->valuenodes.data[k - 1];
    for (int32_t i = 0; i < nodes.count; i++)
      if (nodes.data[i] >= 1 && nodes.data[i] <= rows.count) held[size_t(nodes.data[i] - 1)] = 1;
  }
  double floor = 0;
  for (int32_t i = 0; i < rows.count; i++) {
    if (held[size_t(i)] || rate[i] == 0 || algebraic_row(run, rows.data[i])) continue;
    double d = std::fabs(diagonal(p->tmatrix, rows.data[i])), a = std::fabs(diagonal(p->matrix, rows.data[i]));
    double tau = a > 0 && d > 0 ? std::min(run->rest_span, d / a) : run->rest_span;
    floor = std::max(floor, std::fabs(rate[i]) * tau);
  }
  return std::isfinite(floor) ? floor : 0;
}

static void hold_rest_floors(pde *p, TimeRun *run) {
  int32_t V = run->run_ranges.count / 2;
  for (int32_t k = 1; k <= V && k <= int32_t(run->rest_rates.size()); k++) {
    const std::vector<double> &rate = run->rest_rates[size_t(k - 1)];
    if (rate.empty()) continue;
    double floor = rest_floor(p, run, k, rate.data(), int32_t(rate.size()));
    // A start below the error limit of that size is rest at the accuracy asked.
    if (run->rest_size[size_t(k - 1)] <= p->errlim * floor) {
      run->run_ranges.data[k - 1] = std::max(run->run_ranges.data[k - 1], floor);
      if (k <= run->run_sizes.count) run->run_sizes.data[k - 1] = std::max(run->run_sizes.data[k - 1], floor);
    }
  }
  run->rest_rates.clear();
}

// The range a step of variable k is measured against, with the values u in. A variable at
// rest until this step (a source switched on, a boundary value that starts to move) is
// measured against the size its rates now carry it to, as a start at rest is: its first
// values alone would make every step's error as large as the step.
double step_range(pde *p, TimeRun *run, int32_t k, const vector2d *u) {
  double r = k <= run->run_sizes.count ? run->run_sizes.data[k - 1] : 0.0;
  if (u && r == 0 && k <= p->nfield && has_rate(p, k) && k <= p->udot.count) {
    const vectord &d = p->udot.data[k - 1];
    r = rest_floor(p, run, k, d.data, d.count);
    if (r > 0) run->run_sizes.data[k - 1] = r;  // held as a start's floor is
  }
  if (u) r = std::max(r, magnitude(p, k, u));
  return r > 0 && std::isfinite(r) ? r : range_of(p, k);
}

double solve_cg(pde *p, vectord *x, const sparsemx *A, vectord *b, double rel, int32_t solver, int32_t precon,
                const vectord *D, const sparsecg_upper *U, bool warm) {
  if (p->work.capacity < 20) vector2d_resize(&p->work, p->work.count, 20);
  // The step matrix changes with the step, so a complete factor would serve one solve:
  // each step iterates.
  struct Iterate {
    uint8_t was = sparsecg_complete;
    Iterate() { sparsecg_complete = 0; }
    ~Iterate() { sparsecg_complete = was; }
  } iterate;
  return sparsecg_cg(x, A, &p->precmx, b, D, &p->precband, &p->work, rel, 0.0, uint16_t(p->iterate), &p->status, solver,
                     precon, p->nt, U, warm);
}

static void globals_at(pde *p, vector2d *u, const double times[2]);

// The value conditions that read the solution are made to hold at the start, as those
// that do not are when the start is set: Newton's iteration on each such node's own
// value, the derivative taken by a difference, the rest of the start kept. A start that
// broke them would otherwise jump at the first step by what no step can make smaller.
static void hold_varying_values(pde *p, double t) {
  struct Node {
    int32_t k, n, row;
  };
  std::vector<Node> nodes;
  for (int32_t k = 1; k <= nvariables(p) && k <= p->valuenodes.count && k <= p->valuebcs.count; k++) {
    const vectorl &nk = p->valuenodes.data[k - 1], &bk = p->valuebcs.data[k - 1];
    for (int32_t i = 0; i < nk.count && i < bk.count; i++) {
      int32_t b = bk.data[i];
      if (b < 1 || b > p->formulas.bcs.count || !p->formulas.bcs.items[b - 1]->varying) continue;
      nodes.push_back({k, nk.data[i], rows_of(p, k).data[nk.data[i] - 1]});
    }
  }
  if (nodes.empty()) return;
  const double tt[2] = {t, t};
  auto residual = [&](std::vector<double> &c) {
    globals_at(p, &p->solution, tt);
    coupling_operate(p, &p->rnew, &p->mnew, &p->solution, &p->udot, t, 0, 0);
    c.resize(nodes.size());
    for (size_t i = 0; i < nodes.size(); i++) c[i] = p->rnew.data[nodes[i].row - 1];
  };
  auto value = [&](const Node &d) -> double & { return p->solution.data[d.k - 1].data[d.n - 1]; };
  std::vector<double> c, cd;
  for (int32_t pass = 0; pass < 10; pass++) {
    residual(c);
    std::vector<double> step(nodes.size(), 0.0);
    for (size_t i = 0; i < nodes.size(); i++) step[i] = 1e-7 * std::max(1.0, std::fabs(value(nodes[i])));
    for (size_t i = 0; i < nodes.size(); i++) value(nodes[i]) += step[i];
    residual(cd);
    double most = 0, size = 0;
    for (size_t i = 0; i < nodes.size(); i++) {
      double &u = value(nodes[i]);
      u -= step[i];
      double d = (cd[i] - c[i]) / step[i];
      if (d == 0 || !std::isfinite(d)) continue;
      double move = -c[i] / d;
      u += move;
      most = std::max(most, std::fabs(move)), size = std::max(size, std::fabs(u));
    }
    if (most <= 1e-12 * std::max(size, 1e-300)) break;
  }
  globals_at(p, &p->solution, tt);
}

// The rows without a rate (TimeRun::algebraic) of the time matrix just built: every row of
// a variable without a time derivative, and each row of one with it whose row of D holds no
// value, as where the capacity is zero on every cell about the node (by region, by node or
// by a coefficient's value). Value-condition rows follow their conditions and periodic
// slaves their masters: neither is marked.
static void mark_algebraic(pde *p, TimeRun *run) {
  int32_t n = std::max(p->nt, 0);
  run->algebraic.assign(size_t(n), 0);
  run->algebraic_any = false;
  for (int32_t k = 1; k <= nvariables(p); k++) {
    const vectorl &r = rows_of(p, k);
    bool rate = has_rate(p, k);
    for (int32_t i = 0; i < r.count; i++) {
      int32_t j = r.data[i];
      if (j < 1 || j > n) continue;
      if (k <= p->nfield && i < p->mesh.nodes.count) {
        int32_t m = p->mesh.nodes.data[i].image;
        if (m > 0 && m != i + 1) continue;
      }
      bool none = !rate;
      if (rate && j <= p->tmatrix.rows) {
        const vectorld &row = p->tmatrix.data[j - 1];
        none = std::all_of(row.values, row.values + row.count, [](double v) { return v == 0; });
      }
      run->algebraic[size_t(j - 1)] = none;
    }
  }
  for (int32_t k = 1; k <= nvariables(p) && k <= p->valuenodes.count; k++) {
    const vectorl &nodes = p->valuenodes.data[k - 1];
    for (int32_t i = 0; i < nodes.count; i++) {
      int32_t j = rows_of(p, k).data[nodes.data[i] - 1];
      if (j >= 1 && j <= n) run->algebraic[size_t(j - 1)] = 0;
    }
  }
  run->algebraic_any = std::find(run->algebraic.begin(), run->algebraic.end(), 1) != run->algebraic.end();
  run->end_scalars.clear();
  for (int32_t k = p->nfield + 1; k <= nvariables(p); k++)
    if (!has_rate(p, k) && !coupling_scalar_reads_itself(p, uint16_t(k - p->nfield))) run->end_scalars.push_back(k);
}

// The columns of the scalar multipliers (TimeRun::end_scalars) take K at full weight in every row
// with a rate of J = D/h + theta K (the rows without one are theta K throughout).
static void end_columns(pde *p, TimeRun *run, double theta) {
  if (run->end_scalars.empty() || theta >= 1) return;
  std::vector<int32_t> cols;
  for (int32_t k : run->end_scalars) {
    const vectorl &r = rows_of(p, k);
    cols.insert(cols.end(), r.data, r.data + r.count);
  }
  for (int32_t i = 1; i <= p->jmatrix.rows && i <= p->matrix.rows; i++) {
    if (algebraic_row(run, i)) continue;
    vectorld &row = p->jmatrix.data[i - 1];
    const vectorld &k = p->matrix.data[i - 1];
    for (int32_t e = 0; e < row.count; e++) {
      if (std::find(cols.begin(), cols.end(), row.keys[e]) == cols.end()) continue;
      for (int32_t f = 0; f < k.count; f++)
        if (k.keys[f] == row.keys[e]) row.values[e] += (1 - theta) * k.values[f];
    }
  }
}

// The rate at t from the state at t: D u' = S - F. At the start the value conditions that
// read the solution are first made to hold. Returns whether the rate was taken by the
// implicit first step's matrix (a capacity that vanishes somewhere).
static bool solve_rate_at(pde *p, TimeRun *run, double t, bool start) {
  const double tt[2] = {t, t};
  size_level(p, &p->udot);
  fitting_validate_fits(p, &p->fitlist, &p->solution, tt);
  coupling_build_source(p, &p->tsource, t, t, 1);
  run->fixed.sourced = false;  // these are the sources at t alone
  coupling_set_bvals_0(p, &p->solution, tt);
  if (start) hold_varying_values(p, t);
  measures_get_range(p, &p->solution);
  coupling_tr_matrix(p, &p->solution, tt, 0, &run->scale_starts);
  matrices_changed(run);
  mark_algebraic(p, run);
  // A variable whose capacity vanishes somewhere has no start rate D alone can give: where
  // the capacity ends inside a cell D is singular on the cell's nodes, and its solve gives
  // rates without bound (1e18 beside a capacity switched off by IF). Its start rate is then
  // that of the first step, taken implicit at its end (see onestep): (D + h K) u' = S - F,
  // which K holds where D does not. That step needs no cut by the start's slope. So does a
  // scalar multiplier: its equation, which the start need not meet on the mesh (a value at a
  // point between nodes), is met by the first step at once.
  bool stiff = !run->end_scalars.empty();
  for (int32_t k = 1; k <= nvariables(p) && !stiff; k++) {
    const vectorl &r = rows_of(p, k);
    stiff = has_rate(p, k) && std::any_of(r.data, r.data + r.count, [&](int32_t j) { return algebraic_row(run, j); });
  }
  run->stiff_start = run->implicit_step = stiff;
  run->after_implicit = false;
  if (stiff) {
    coupling_tr_matrix(p, &p->solution, tt, 1, &run->scale_starts);
    mark_algebraic(p, run);
    sparsemx_copyto_1(&p->jmatrix, &p->tmatrix, 1.0);
    sparsemx_addto_1(&p->jmatrix, &p->matrix, p->dt);
  }
  // Rows without a rate, the constraint block's too, get a unit diagonal, so that D can be
  // solved; their rate starts at 0 (an empty row of D has an empty column too).
  for (int32_t k = 1; k <= p->layout.maps.count; k++) {
    const vectorl &r = rows_of(p, k);
    for (int32_t i = 0; i < r.count; i++)
      if (!has_rate(p, k) || algebraic_row(run, r.data[i])) sparsemx_store(&p->tmatrix, r.data[i], r.data[i], 1.0);
  }
  // So do the rows of value-condition nodes, whose D rows the conditions cleared: their
  // values follow the conditions, not the equations, and start at rest here.
  for (int32_t k = 1; k <= nvariables(p) && k <= p->valuenodes.count; k++) {
    const vectorl &nodes = p->valuenodes.data[k - 1];
    for (int32_t i = 0; i < nodes.count; i++) {
      int32_t r = rows_of(p, k).data[nodes.data[i] - 1];
      sparsemx_store(&p->tmatrix, r, r, 1.0);
    }
  }
  sparsemx_diag_dip(&p->stepscale, &p->tmatrix, 1);
  coupling_operate(p, &p->rnew, &p->mnew, &p->solution, &p->udot, t, p->dt, 0);
  for (int32_t j = 0; j < p->nt; j++)
    p->tresid.data[j] = (p->tsource.data[j] - p->rnew.data[j]) * p->firstscale.data[j];
  for (int32_t k = 1; k <= nvariables(p) && k <= p->valuenodes.count; k++) {
    const vectorl &nodes = p->valuenodes.data[k - 1];
    for (int32_t i = 0; i < nodes.count; i++) p->tresid.data[rows_of(p, k).data[nodes.data[i] - 1] - 1] = 0;
  }
  if (stiff) {
    // Rows without a rate keep their equations: the first step solves them at its end.
    vectord scale{};
    sparsemx_diag_dip(&scale, &p->jmatrix, 1);
    solve_cg(p, &p->correction, &p->jmatrix, &p->tresid, 1e-4, p->solver, diprecon, &scale);
    vectord_free(&scale);
  } else {
    for (int32_t j = 1; j <= p->nt; j++)
      if (algebraic_row(run, j)) p->tresid.data[j - 1] = 0;
    solve_cg(p, &p->correction, &p->tmatrix, &p->tresid, 1e-4, orthomin, diprecon, &p->stepscale);
  }
  vectord_multo_0(&p->correction, &p->secondscale);
  scatter(p, &p->udot, &p->correction);
  slave_rates(p);
  return stiff;
}

void switched_udot(pde *p, TimeRun *run, double t) {
  // A stiff rate is taken over the step to come, not over the crossing just made.
  double dt = p->dt;
  p->dt = p->dtnext;
  solve_rate_at(p, run, t, false);
  p->dt = dt;
  coupling_operate(p, &p->rnew, &p->mnew, &p->solution, &p->udot, t, 0, 2);
}

double first_udot(pde *p, TimeRun *run, double t) {
  bool stiff = solve_rate_at(p, run, t, true);
  // The run's ranges start from the start's values (a variable at rest has none yet, and
  // its rate is measured against the unit its matrices were scaled with).
  vectord_resize(&run->run_ranges, 0, run->run_ranges.capacity);
  vectord_resize(&run->run_sizes, 0, run->run_sizes.capacity);
  hold_ranges(p, run, &p->solution, true);
  run->rest_rates.assign(size_t(p->nfield), {});
  run->rest_size.assign(size_t(p->nfield), 0.0);
  run->rest_span = std::fabs(p->endtime - t);
  for (int32_t k = 1; k <= p->nfield && k <= nvariables(p); k++) {
    const vectord &d = p->udot.data[k - 1];
    if (!has_rate(p, k)) continue;
    run->rest_rates[size_t(k - 1)].assign(d.data, d.data + d.count);
    // A row without a rate is held by its equation at once: its rate carries it nowhere.
    const vectorl &r = rows_of(p, k);
    for (int32_t i = 0; i < r.count && i < d.count; i++)
      if (algebraic_row(run, r.data[i])) run->rest_rates[size_t(k - 1)][size_t(i)] = 0;
    run->rest_size[size_t(k - 1)] = magnitude(p, k, &p->solution);
  }
  if (stiff) return 0.0;
  double sum = 0;
  int32_t count = 0;
  for (int32_t k = 1; k <= nvariables(p); k++) {
    const vectord &d = p->udot.data[k - 1];
    double r = step_range(p, run, k, nullptr);
    const vectorl &rows = rows_of(p, k);
    for (int32_t i = 0; i < d.count; i++) {
      if (!has_rate(p, k) || (i < rows.count && algebraic_row(run, rows.data[i]))) continue;
      sum += std::pow(d.data[i] / r, 4);
      count++;
    }
  }
  return count ? std::pow(sum / count, 0.25) : 0.0;
}

void start_residual(pde *p, TimeRun *, double t, double dt) {
  coupling_operate(p, &p->rnew, &p->mnew, &p->solution, &p->udot, t, dt, 2);
}

// Value-condition nodes follow their conditions: udot := (u - u_old) / h there.
static void set_bdot(pde *p, double h) {
  for (int32_t k = 1; k <= p->neqs && k <= p->valuenodes.count; k++) {
    const vectorl &nodes = p->valuenodes.data[k - 1];
    for (int32_t i = 0; i < nodes.count; i++) {
      int32_t n = nodes.data[i];
      p->udot.data[k - 1].data[n - 1] = (p->solution.data[k - 1].data[n - 1] - p->uold.data[k - 1].data[n - 1]) / h;
    }
  }
  slave_rates(p);
}

// Whether the spatial terms make the state grow somewhere: a field row whose K row sum
// over its own variable's columns (the operator on a uniform change of that variable)
// opposes its D row sum, as a reaction term feeding on the solution does. Noise the
// step's solve leaves there grows with the solution, so such steps are solved to a far
// tighter tolerance.
static bool unstable_rows(pde *p) {
  std::vector<int32_t> owner(std::max(p->nt, 0) + 1, 0);
  for (int32_t k = 1; k <= p->nfield && k <= nvariables(p); k++) {
    const vectorl &r = rows_of(p, k);
    for (int32_t i = 0; i < r.count; i++) owner[r.data[i]] = k;
  }
  auto own_sum = [&](const sparsemx &M, int32_t r) {
    const vectorld &row = M.data[r - 1];
    double s = 0, a = 0;
    for (int32_t i = 0; i < row.count; i++)
      if (row.keys[i] <= p->nt && owner[row.keys[i]] == owner[r]) s += row.values[i], a += std::fabs(row.values[i]);
    return std::make_pair(s, a);
  };
  // A row that meets a value condition's node lost that column to the condition, so its
  // sums are the boundary's, not a reaction's: a plain diffusion's rows beside its
  // fixed values would read as growth. Such rows are not judged.
  std::vector<char> near(std::max(p->nt, 0) + 1, 0);
  auto mark_around = [&](int32_t node) {
    const MeshNode &nd = p->mesh.nodes.data[node - 1];
    for (int32_t c = 0; c < nd.nodecell.count; c++) {
      const MeshCell &cell = p->mesh.cells.data[nd.nodecell.data[c] - 1];
      for (int32_t a = 0; a < cell.nodes.count; a++)
        for (int32_t j = 1; j <= p->nfield && j <= nvariables(p); j++) {
          const vectorl &rj = rows_of(p, j);
          int32_t n = cell.nodes.data[a];
          if (n >= 1 && n <= rj.count && rj.data[n - 1] >= 1 && rj.data[n - 1] <= p->nt) near[rj.data[n - 1]] = 1;
        }
    }
  };
  for (int32_t k = 1; k <= p->nfield && k <= nvariables(p) && k <= p->valuenodes.count; k++) {
    const vectorl &nodes = p->valuenodes.data[k - 1];
    for (int32_t i = 0; i < nodes.count; i++) mark_around(nodes.data[i]);
  }
  // So does a row an antiperiodic tie folds a slave's row into: a uniform change is no
  // state there (the tie flips its sign), and the folded sums read as growth.
  if (p->persign < 0)
    for (int32_t n = 1; n <= p->mesh.nodes.count; n++) {
      int32_t m = p->mesh.nodes.data[n - 1].image;
      if (m <= 0 || m == n || m > p->mesh.nodes.count) continue;
      mark_around(n), mark_around(m);
    }
  for (int32_t r = 1; r <= p->nf && r <= p->matrix.rows && r <= p->tmatrix.rows; r++) {
    if (!owner[r] || near[r]) continue;
    auto [d, da] = own_sum(p->tmatrix, r);
    auto [k, ka] = own_sum(p->matrix, r);
    if (d != 0 && k * d < 0 && std::fabs(k) > 1e-8 * ka) return true;
  }
  return false;
}
static const double unstable_tolerance = 1e-13;

// J := D invh + theta K on J's own layout, entry by entry as the copy and the sum that
// laid it out take them.
static void step_values(sparsemx *J, const sparsemx *D, const sparsemx *K, double invh, double theta) {
  for (int32_t i = 0; i < J->rows; i++) {
    double *v = J->data[i].values;
    const vectorld &d = D->data[i], &k = K->data[i];
    int32_t both = std::min(d.count, k.count), e = 0;
    for (; e < both; e++) v[e] = d.values[e] * invh + theta * k.values[e];
    for (; e < d.count; e++) v[e] = d.values[e] * invh;
  }
}

// step_values, with U's values and diagonal (U taken from J on its present layout, where
// each row's entries right of its diagonal are its last ones) copied from each row as it
// is made. False where a row's diagonal is not where U's row length puts it: U is then to
// be taken anew (J's values are made all the same).
static bool step_values_upper(sparsemx *J, sparsecg_upper *U, const sparsemx *D, const sparsemx *K, double invh,
                              double theta) {
  if (U->start.size() != size_t(J->rows) + 1 || U->diag.size() != size_t(J->rows) ||
      size_t(U->start.back()) != U->values.size()) {
    step_values(J, D, K, invh, theta);
    return false;
  }
  const int32_t *start = U->start.data();
  double *values = U->values.data(), *diag = U->diag.data();
  bool fits = true;
  for (int32_t i = 0; i < J->rows; i++) {
    vectorld &j = J->data[i];
    double *v = j.values;
    const vectorld &d = D->data[i], &k = K->data[i];
    int32_t both = std::min(d.count, k.count), e = 0;
    // The row's entries from `after` on are U's row.
    int32_t after = j.count - (start[i + 1] - start[i]);
    bool here = j.count == d.count && after >= 1 && j.keys[after - 1] == i + 1;
    fits = fits && here;
    int32_t stop = here ? after : d.count;
    for (; e < std::min(both, stop); e++) v[e] = d.values[e] * invh + theta * k.values[e];
    for (; e < stop; e++) v[e] = d.values[e] * invh;
    if (!here) continue;
    double *u = values + start[i] - after;
    for (; e < both; e++) u[e] = v[e] = d.values[e] * invh + theta * k.values[e];
    for (; e < d.count; e++) u[e] = v[e] = d.values[e] * invh;
    diag[i] = v[after - 1];
  }
  return fits;
}

// The RMS of the correction over the RMS m of the unknowns the solve iterated, times the
// largest of the diagonal scales that turn the one into the other: at most 1, and small
// where the iterated unknowns' RMS is made by the rows of small scale. 1 when unknown.
static double correction_weight(pde *p, double m) {
  const vectord &s = p->precvec, &x = p->correction;
  if (s.count != x.count || !(m > 0) || !std::isfinite(m)) return 1.0;
  double most = 0;
  for (int32_t i = 0; i < s.count; i++) most = std::max(most, std::fabs(s.data[i]));
  double rms = std::sqrt(vectord_dot(&x, &x) / std::max(x.count, 1)), w = rms / (m * most);
  return w > 0 && std::isfinite(w) ? std::min(w, 1.0) : 1.0;
}
static const double least_solve_weight = 1e-4;
// The least system a kept complete factor solves, and the most fill (factor entries over J's
// lower triangle) it may take.
static const int32_t step_factor_rows = 1000;
static const double step_factor_fill = 12.0;

// A linear step whose J the kept factor may solve (see tsolve) keeps its length while the
// next step's proposal is at most a quarter longer: J then stands and the factor made for it
// solves the steps after. A held step is never longer than its proposal, so its error is no
// larger; a step cut short to meet an output time is not held to, nor one on a layout whose
// factor was found not to fit.
void hold_step(pde *p, TimeRun *run, bool hit) {
  constexpr double band = 1.25, grown = 0.9;
  if (hit || p->nonlinear || run->fixed.timed || run->jmatrix_upper.rows != p->nt || p->nt < step_factor_rows ||
      run->factor_fits == 0)
    return;
  if (p->dtnext >= p->dt && p->dtnext < band * p->dt) p->dtnext = p->dt;
  // A step that leaves the band for a longer one (not by the growth limit) reads a larger error
  // than the short steps its proposal was made from, and the next proposal falls back by up to
  // a tenth: taken a tenth short, the new length stands.
  else if (p->dtnext >= band * p->dt && p->dtnext < p->tgrowth * p->dt) p->dtnext *= grown;
}

// Whether two reciprocal step lengths differ by no more than the rounding of the times they
// are taken from.
static bool same_step_length(double invh, double was) {
  return invh == was || std::fabs(invh - was) <= 1e-12 * std::fabs(was);
}

// J := D/h + theta K on the first pass (its scaling and preconditioner rebuilt), then
// J du = r; returns the RMS of du before du takes the column scale.
static double tsolve(pde *p, TimeRun *run, double invh, double theta, double rel, bool first) {
  // J and its preconditioner stand while K, D and h do. A held step's length, read back as
  // t_new - t, differs from the held length by the rounding of t (a few units in the last
  // place): J for the held length stands for it, and so does its kept factor, where J built
  // anew for each such length would be solved by the iteration twice, for that step and the
  // next, as a new matrix.
  if (first && !(run->jmatrix_current && same_step_length(invh, run->jmatrix_invh))) {
    run->jmatrix_current = true;
    run->jmatrix_invh = invh;
    run->jmatrix_solves = 0;
    run->jmatrix_printed = false;
    // J's upper triangle, where taken on J's present layout, is made with J's values.
    bool upper = p->solver == orthomin && p->precon == diprecon && run->end_scalars.empty() && run->parts_symmetric > 0;
    bool upper_made = false;
    if (run->jmatrix_laid && upper && run->upper_laid) {
      upper_made = step_values_upper(&p->jmatrix, &run->jmatrix_upper, &p->tmatrix, &p->matrix, invh, theta);
    } else if (run->jmatrix_laid) {
      step_values(&p->jmatrix, &p->tmatrix, &p->matrix, invh, theta);
    } else {
      sparsemx_copyto_1(&p->jmatrix, &p->tmatrix, invh);
      sparsemx_addto_1(&p->jmatrix, &p->matrix, theta);
      run->jmatrix_laid = true;
    }
    end_columns(p, run, theta);
    // The step's row scales serve the step-residual estimates alone.
    if (p->estimator != 0) sparsemx_ata_dip_0(&p->stepscale, &p->jmatrix, 1);
    coupling_build_precon(p, &p->jmatrix, upper_made ? run->jmatrix_upper.diag.data() : nullptr);
    // The diagonally scaled iteration's products read J's upper triangle where J is symmetric,
    // as J = D/h + theta K is where D and K are: they are checked once for each build.
    run->jmatrix_upper.rows = 0;
    if (p->solver == orthomin && p->precon == diprecon && run->end_scalars.empty()) {
      if (run->parts_symmetric < 0)
        run->parts_symmetric = sparsecg_symmetric(&p->tmatrix) && sparsecg_symmetric(&p->matrix);
      if (upper_made) run->jmatrix_upper.rows = p->nt;
      else if (run->parts_symmetric) sparsecg_take_upper(&run->jmatrix_upper, &p->jmatrix);
      run->upper_laid = run->jmatrix_upper.rows == p->nt;
    }
    // The check reads K and D alone, not the step: it stands while they do.
    if (!run->unstable_current || run->unstable_rows_of != p->nt) run->unstable = unstable_rows(p);
    run->unstable_current = true, run->unstable_rows_of = p->nt;
  }
  // Where the state is unstable an iteration's leftover, smooth modes first, grows with
  // the solution: the complete factor, where it fits, leaves only roundoff.
  if (run->unstable) rel = std::min(rel, unstable_tolerance);
  bool solved = run->unstable && sparsecg_solve_complete(&p->correction, &p->jmatrix, &p->tresid);
  // A symmetric J that stood for the last step's solve too is likely to stand for several more
  // (the step holds its length while the proposals stay near it, see hold_step): its complete
  // factor, made once and kept while J stands, solves each of them for the cost of two
  // triangular sweeps, where the iteration's count grows with the mesh. A J solved once keeps
  // the iteration: its factor would serve one solve.
  // The factor's fill is bounded so that making it costs no more than a few of the iterations
  // it spares; one that does not fit is not tried again on the same layout.
  if (!solved && run->jmatrix_current && run->jmatrix_upper.rows == p->nt && run->jmatrix_solves >= 1 &&
      p->nt >= step_factor_rows && run->factor_fits != 0) {
    vectord_resize(&p->correction, p->nt, std::max(p->nt, p->correction.capacity));
    // J's fingerprint is taken once for each build: J is written nowhere else while it stands,
    // and the kept factor is checked against the fingerprint, not J read whole at each solve.
    if (!run->jmatrix_printed) run->jmatrix_print = sparsemx_fingerprint(&p->jmatrix), run->jmatrix_printed = true;
    solved = sparsechol_solve_printed(p->correction.data, &p->jmatrix, run->jmatrix_print, p->tresid.data, 1,
                                      step_factor_fill);
    run->factor_fits = solved;
    if (solved && first) vectord_copyto_0(&run->last_correction, &p->correction);
  }
  if (run->jmatrix_current) run->jmatrix_solves++;
  if (!solved) {
    // The iteration stops when the RMS of its preconditioned unknowns stands still. Where
    // the diagonal scales differ by orders (a conductivity of 1e6 in one part), the stiff
    // part's unknowns, divided by its small scales, make that RMS: the soft part's
    // leftover, in its slow modes, goes unjudged and is carried on step after step (a run
    // to the steady state ended 1.7% off after 3111 steps held small by it). The
    // tolerance is taken down by the last solve's weight of the correction itself in that
    // RMS, so that it holds for the values: about 1 on an ordinary mesh.
    rel *= std::max(std::min(1.0, run->solve_weight), least_solve_weight);
    // The first pass starts from the last step's first correction on the same unknowns:
    // the steps' corrections change little from one step to the next, and the iteration
    // starts nearer its answer than from zero (a fifth fewer iterations in a decay).
    bool warm = first && run->last_correction.count == p->nt;
    if (warm) vectord_copyto_0(&p->correction, &run->last_correction);
    double m = solve_cg(p, &p->correction, &p->jmatrix, &p->tresid, rel, p->solver, p->precon, &p->precvec,
                        run->jmatrix_current ? &run->jmatrix_upper : nullptr, warm);
    if (first) vectord_copyto_0(&run->last_correction, &p->correction);
    run->solve_weight = correction_weight(p, m);
  }
  double size = std::sqrt(vectord_dot(&p->correction, &p->correction) / std::max(p->correction.count, 1));
  vectord_multo_0(&p->correction, &p->secondscale);
  return size;
}

// The derived globals of the equations made anew for the solution u at times[1]: the
// residual at each end of a step reads them at its own level, so that integrals in the
// equations and the constraints follow the solution being corrected.
static void globals_at(pde *p, vector2d *u, const double times[2]) {
  if (p->fitlist.count == 0) return;
  fitting_invalidate_fits(p, 3);
  fitting_validate_fits(p, &p->fitlist, u, times);
}

// Per variable and node: x := a (u - u0) + b (v - u0) over the column scale, u0 the
// reference (by global row).
static void offsets(pde *p, vectord *x, double a, const vector2d *u, double b, const vector2d *v, const vectord *u0) {
  vectord_resize(x, p->nt, std::max(p->nt, x->capacity));
  for (int32_t k = 1; k <= nvariables(p); k++) {
    const vectorl &r = rows_of(p, k);
    const vectord &uk = u->data[k - 1], &vk = v->data[k - 1];
    for (int32_t i = 0; i < r.count && i < uk.count; i++) {
      int32_t j = r.data[i] - 1;
      double d = a * (uk.data[i] - u0->data[j]);
      if (b != 0) d += b * (vk.data[i] - u0->data[j]);
      x->data[j] = d / p->secondscale.data[j];
    }
  }
}

// Per variable and node: g := u by global row.
static void gather(pde *p, vectord *g, const vector2d *u) {
  vectord_resize(g, p->nt, std::max(p->nt, g->capacity));
  for (int32_t k = 1; k <= nvariables(p); k++) {
    const vectorl &r = rows_of(p, k);
    for (int32_t i = 0; i < r.count && i < u->data[k - 1].count; i++) g->data[r.data[i] - 1] = u->data[k - 1].data[i];
  }
}

// Whether every value-condition node holds the reference's value in u and u_old and its
// rate in u': K and D have those columns cleared, so only there may nothing move.
static bool values_held(pde *p, TimeRun *run) {
  for (int32_t k = 1; k <= nvariables(p) && k <= p->valuenodes.count; k++) {
    const vectorl &nodes = p->valuenodes.data[k - 1];
    for (int32_t i = 0; i < nodes.count; i++) {
      int32_t n = nodes.data[i] - 1, j = rows_of(p, k).data[n] - 1;
      double u0 = run->fixed.u.data[j];
      if (p->solution.data[k - 1].data[n] != u0 || p->uold.data[k - 1].data[n] != u0 ||
          p->udot.data[k - 1].data[n] != run->fixed.udot.data[j])
        return false;
    }
  }
  return true;
}

bool timsolve_step_residual(pde *p, TimeRun *run, double t, double tnew, int32_t pass) {
  TRACE("timsolve_step_residual");
  double h = tnew - t, theta = p->theta;
  const double told[2] = {t, t}, tt[2] = {t, tnew};
  int32_t n = p->nt;
  if (run->fixed.linear && run->fixed.current && !timsolve_sweep && values_held(p, run)) {
    // S - F_0 - K (theta u + (1 - theta) u_old - u0) - D (u' - u0'), rows scaled.
    vectord *x = vector2d_get_work(&p->work, n), *y = vector2d_get_work(&p->work, n);
    {
      ScalarsAtEnd at_end(p, run);
      offsets(p, x, theta, &p->solution, 1 - theta, &p->uold, &run->fixed.u);
    }
    if (run->fixed.alike) {
      // K and D on one layout: both products in one sweep that reads the columns once. The
      // rates' offsets stand in tresid, which the residual then overwrites.
      offsets(p, &p->tresid, 1.0, &p->udot, 0.0, &p->udot, &run->fixed.udot);
      sparsemx_mv_pair(y, &p->matrix, x, &p->tmatrix, &p->tresid);
    } else {
      sparsemx_mv_0(y, &p->matrix, x);
      offsets(p, x, 1.0, &p->udot, 0.0, &p->udot, &run->fixed.udot);
      sparsemx_mvsum_0(y, &p->tmatrix, x);
    }
    for (int32_t j = 0; j < n; j++)
      p->tresid.data[j] = p->tsource.data[j] * p->firstscale.data[j] - run->fixed.f.data[j] - y->data[j];
    if (run->algebraic_any) {
      // A row without a rate holds at the step's end alone: theta (S - F_0 - K (u - u0)).
      offsets(p, x, 1.0, &p->solution, 0.0, &p->solution, &run->fixed.u);
      for (int32_t j = 1; j <= n; j++) {
        if (!algebraic_row(run, j)) continue;
        const vectorld &row = p->matrix.data[j - 1];
        double ku = 0;
        for (int32_t e = 0; e < row.count; e++)
          if (row.keys[e] <= n) ku += row.values[e] * x->data[row.keys[e] - 1];
        p->tresid.data[j - 1] =
            theta * (p->tsource.data[j - 1] * p->firstscale.data[j - 1] - run->fixed.f.data[j - 1] - ku);
      }
    }
    vector2d_free_work(y);
    vector2d_free_work(x);
    return true;
  }
  if (pass > 1) globals_at(p, &p->uold, told);
  {
    ScalarsAtEnd at_end(p, run);
    coupling_operate(p, &p->rold, &p->mold, &p->uold, &p->udot, t, h, 1);
  }
  globals_at(p, &p->solution, tt);
  // The constraints hold at t_new: their rows carry the bare constraint values, so
  // that the row theta x (constraint Jacobian) of J corrects them to 0.
  coupling_operate(p, &p->rnew, &p->mnew, &p->solution, &p->udot, tnew, 0, 2);
  for (int32_t j = 0; j < n; j++)
    p->tresid.data[j] = (p->tsource.data[j] - theta * (p->mnew.data[j] + p->rnew.data[j]) -
                         (1 - theta) * (p->rold.data[j] + p->mold.data[j])) *
                        p->firstscale.data[j];
  // A row without a rate has no old end: its equation holds at t_new, its source at full
  // weight. Its row of J is theta times K's, so it carries theta times its residual, and
  // one pass solves a linear step.
  for (int32_t j = 1; j <= n; j++)
    if (algebraic_row(run, j))
      p->tresid.data[j - 1] =
          theta * (p->tsource.data[j - 1] - p->mnew.data[j - 1] - p->rnew.data[j - 1]) * p->firstscale.data[j - 1];
  // A value condition holds at t_new, as the constraints do: its row, theta times the
  // condition's Jacobian in J, carries theta times the bare condition at t_new. Weighed
  // with its value at t, a condition the start breaks would be broken the other way at
  // every step after.
  for (int32_t k = 1; k <= nvariables(p) && k <= p->valuenodes.count; k++) {
    const vectorl &nodes = p->valuenodes.data[k - 1];
    for (int32_t i = 0; i < nodes.count; i++) {
      int32_t j = rows_of(p, k).data[nodes.data[i] - 1] - 1;
      p->tresid.data[j] = (p->tsource.data[j] - theta * (p->mnew.data[j] + p->rnew.data[j])) * p->firstscale.data[j];
    }
  }
  if (run->fixed.linear) {
    // The new end's residual is the reference for the steps to come.
    vectord_resize(&run->fixed.f, n, std::max(n, run->fixed.f.capacity));
    for (int32_t j = 0; j < n; j++) run->fixed.f.data[j] = (p->rnew.data[j] + p->mnew.data[j]) * p->firstscale.data[j];
    gather(p, &run->fixed.u, &p->solution);
    gather(p, &run->fixed.udot, &p->udot);
    run->fixed.current = true;
    run->fixed.alike = sparsemx_same_layout(&p->matrix, &p->tmatrix);
  }
  return false;
}

// The sources over the step with the derived globals at t (kept from the step's start)
// and at t_new (taken from the values being corrected), weighed as the step weighs its
// two ends.
static const int32_t consistent_passes = 10;

// Where the sources split (coupling_split_source), the part that reads nothing of the
// solution is built once a step and kept in the run (step_fixed_source); each pass builds
// only the rest.
static void split_source(pde *p, TimeRun *run, double t, double tnew, bool anew) {
  if (anew) coupling_build_source_part(p, run, &run->step_fixed_source, t, tnew, true);
  coupling_build_source_part(p, run, &p->tsource, t, tnew, false);
  for (int32_t j = 0; j < p->nt; j++) p->tsource.data[j] += run->step_fixed_source.data[j];
}

static void step_source(pde *p, TimeRun *run, double t, double tnew, bool split) {
  const double tt[2] = {t, tnew};
  globals_at(p, &p->solution, tt);
  if (split) split_source(p, run, t, tnew, false);
  else coupling_build_source(p, &p->tsource, t, tnew, 0);
  double theta = p->theta;
  for (int32_t j = 0; j < p->nt; j++)
    p->tsource.data[j] = (1 - theta) * run->source_old.data[j] + theta * p->tsource.data[j];
}

static int32_t onestep_at(pde *p, TimeRun *run, double t, double tnew, bool rebuild);

// Where the capacity of a variable with a rate vanishes, its start breaks what its rows
// without a rate hold (where the capacity ends inside a cell, D is singular there and those
// are combinations of rows, not rows). A centred step would carry that break on, turned
// over at every step; the first step, and the first on each new mesh, is taken implicit at
// its end alone (theta 1), which ends on values that hold them, and the centred steps keep them.
int32_t onestep(pde *p, TimeRun *run, double t, double tnew, bool rebuild) {
  if (!run->implicit_step || p->theta >= 1) return onestep_at(p, run, t, tnew, rebuild);
  struct Hold {
    pde *p;
    TimeRun *run;
    double theta = p->theta, theta1 = p->theta1;
    Hold(pde *q, TimeRun *r) : p(q), run(r) { p->theta = 1, p->theta1 = 0, run->jmatrix_current = false; }
    ~Hold() { p->theta = theta, p->theta1 = theta1, run->jmatrix_current = false, run->fixed.current = false; }
  } hold(p, run);
  return onestep_at(p, run, t, tnew, rebuild);
}

static int32_t onestep_at(pde *p, TimeRun *run, double t, double tnew, bool rebuild) {
  double h = tnew - t, theta = p->theta;
  const double told[2] = {t, t}, tt[2] = {t, tnew};
  uint16_t line = 0;
  String label{};
  if (p->nonlinear) {
    strings_copyto_1(&label, "NonLinear");
    line = display_report_num(&p->status, 0, &label, 1);
  }
  globals_at(p, &p->uold, told);
  if (rebuild) {
    matrices_changed(run);
    measures_get_range(p, &p->uold);
    // Matrices that read the time are those of the step's new end, whose residual the
    // correction drives to zero: a linear step is then solved exactly in one pass.
    coupling_tr_matrix(p, &p->uold, run->fixed.timed ? tt : told, 1, &run->scale_starts);
    mark_algebraic(p, run);
    if (!run->rest_rates.empty()) hold_rest_floors(p, run);
    hold_ranges(p, run, nullptr, true);
  }
  // Derived globals of the solution (integrals, fits) couple every unknown and have no
  // Jacobian: the step is corrected until its sources, taken with the globals at both
  // ends, agree with the values it ends on.
  bool coupled = p->fitlist.count > 0 && !run->fixed.linear;
  bool split = coupled && coupling_split_source(p, run);
  if (split) split_source(p, run, t, tnew, true);
  else if (!run->fixed.sourced) coupling_build_source(p, &p->tsource, t, tnew, 0);
  run->fixed.sourced = run->fixed.sources && !timsolve_sweep;
  if (coupled) vectord_copyto_0(&run->source_old, &p->tsource);
  // Predictor along the rate.
  for (int32_t k = 1; k <= nvariables(p); k++) {
    vectord &u = p->solution.data[k - 1], &uo = p->uold.data[k - 1], &ud = p->udot.data[k - 1];
    for (int32_t i = 0; i < u.count; i++) {
      if (has_rate(p, k)) {
        u.data[i] = uo.data[i] + p->extrap * h * ud.data[i];
      } else {
        u.data[i] = uo.data[i];
        ud.data[i] = 0.0;
      }
    }
  }
  coupling_set_bvals_0(p, &p->solution, tt);
  set_bdot(p, h);
  double tol = 10 * p->errlim;
  vectord_copyto_1(&p->rold, 0.0);
  vectord_copyto_1(&p->mold, 0.0);
  int32_t pass = 0;
  for (;;) {
    pass++;
    if (line && pass > 1) display_update_num(&p->status, line, pass);
    if (coupled) step_source(p, run, t, tnew, split);
    timsolve_step_residual(p, run, t, tnew, pass);
    vectord_copyto_1(&p->correction, 0.0);
    double size = tsolve(p, run, 1.0 / h, theta, tol * p->overshoot, pass == 1);
    if (pass <= run->pass_sizes.count) run->pass_sizes.data[pass - 1] = size;
    // Clamped update; CHANGELIM 0 is no limit.
    for (int32_t k = 1; k <= nvariables(p); k++) {
      double c = p->nonlinear && p->changelim > 0 ? range_of(p, k) * p->changelim : 1e37;
      const vectorl &r = rows_of(p, k);
      vectord &u = p->solution.data[k - 1], &ud = p->udot.data[k - 1];
      for (int32_t i = 0; i < r.count && i < u.count; i++) {
        double d = std::clamp(p->correction.data[r.data[i] - 1], -c, c);
        u.data[i] += d;
        ud.data[i] += d / h;
      }
    }
    int32_t most = coupled ? std::max<int32_t>(p->nrupdate, consistent_passes) : p->nrupdate;
    if (pass >= most || !(p->nonlinear || coupled) || tol * run->pass_sizes.data[0] > size ||
        display_checkkey(&p->status))
      break;
  }
  if (line) display_unreport(&p->status, line);
  strings_free_0(&label);
  return pass;
}
