// cgsolve: steady solution drivers over the assembled system, with regridding.
//
// One concern in one file past 1,000 lines: the linear and the Newton driver run the same
// grid loop (set up the layout and conditions, solve, measure, refine or stop) through the
// same steps and checks (grid_setup, grid_end, the singular and constant-solve checks, the
// run record SteadyRun), and differ only in how a grid's solution is updated.
#include "solver/cgsolve.h"

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "model/pdedat_record.h"
#include "model/eqns.h"
#include "model/formulas.h"
#include "model/treeval.h"
#include "elements/meshes.h"
#include "graphics/appwin.h"
#include "graphics/display.h"
#include "solver/measures.h"
#include "mesher/refine2.h"
#include "mesher/refiner.h"
#include "plot/doplot.h"
#include "plot/plot2d.h"
#include "runtime/bopmem.h"
#include "runtime/debug.h"
#include "runtime/report.h"
#include "runtime/rtlib.h"
#include "runtime/settings.h"
#include "runtime/strings.h"
#include "solver/bigmatx.h"
#include "solver/cgsolve_unknowns.h"
#include "solver/coupling.h"
#include "solver/fitting.h"
#include "solver/loading.h"
#include "solver/sparsecg.h"
#include "solver/sparsemx.h"

int cgsolve_init() {
  TRACE("cgsolve");
  return 0;
}

static String lit(const char *c) {
  uint16_t n = uint16_t(strlen(c));
  return String{n, n, const_cast<char *>(c)};
}

static uint16_t report_real(pde *p, const char *label, double v) {
  String l = lit(label);
  return display_report_real(&p->status, 0, &l, v);
}

// Draws the monitors; returns the milliseconds they took.
static int32_t show_monitors(pde *p) {
  int32_t t = rtlib_elapsed_ms(0);
  doplot_show_monitors(p, &p->monitors, 0);
  return rtlib_elapsed_ms(t);
}

static bool stopkey(pde *p) { return display_checkkey(&p->status) != 0; }
static bool halted(const pde *p) { return p->stop || p->error || p->skipstages; }

// What a steady driver keeps while it runs, one per call of cgsolve_do_linear or
// cgsolve_do_nonlinear: its status line, its monitor delay and (the Newton driver's) the
// per-variable errors of its last residual measure.
struct SteadyRun {
  uint16_t phase_line = 0;     // the "Linear" or "Nonlinear" status line
  int32_t delay = 0;           // the monitor delay (milliseconds)
  vectord var_errors{};        // per-variable errors of the last residual measure
  RefineHistory refined;       // the cells far above the limit at the last refinement
  double miss = 0;             // what a constraint too stiff for the limit leaves (measures_constraint_miss)
  std::vector<uint16_t> tied;  // the variables that constraint ties
  double unsolved = 0;         // what the grid's linear solve leaves in the answer (solve_share)
  // The last grid's answer carried onto this mesh (empty on the first grid), the last grid's
  // RMS ERR, and per field variable the RMS of this grid's answer less the carried one,
  // relative to its range: what the last regrid moved it by.
  std::vector<std::vector<double>> carried;
  double earlier = -1;
  std::vector<double> moved;
  SteadyRun() = default;
  SteadyRun(const SteadyRun &) = delete;
  SteadyRun &operator=(const SteadyRun &) = delete;
  ~SteadyRun() { vectord_free(&var_errors); }
};

// ---- Error measures and refinement -----------------------------------------------------

// A residual or an update that is not a number or infinite cannot lead anywhere: the
// run ends with an execution error rather than with such an answer.
static void check_finite(pde *p, double v) {
  if (std::isfinite(v)) return;
  static String m;
  strings_copyto_1(&m, "Solution Diverged: NaN or Infinity in a Residual or Update");
  report_exec_err_0(p, &m);
}

static double res_norm(pde *p, vectord *errors) {
  double e = measures_res_norm(p, errors);
  check_finite(p, e);
  return e;
}
// The same where nobody reads the per-variable errors.
static double res_norm(pde *p) {
  struct Errors {
    vectord v{};
    ~Errors() { vectord_free(&v); }
  } errors;
  return res_norm(p, &errors.v);
}

// The grid's error estimate: the cell estimates, their largest over SENSITIVITY, and
// the resolve requests.
static double measure(pde *p) {
  double e = measures_measure(p, &p->solution, p->time, 1.0, 0);
  p->maxerr = measures_max_measure(&p->mesh.cells) / (p->sensitivity > 0 ? p->sensitivity : 1.0);
  if (p->resolves.count) measures_resolve(p, p->time);
  return e;
}
static int32_t count_splits(pde *p, double limit) { return refiner_count_splits(&p->mesh, limit); }
static int32_t refine(pde *p, double limit, double merge, RefineHistory *history) {
  refine2_debug = p->dbg_refine;
  return refiner_refine({p->dimension, p->errlim, &p->work, &p->sortindex}, &p->mesh, limit, merge, p->nodelimit,
                        &p->carried, p->merge, history);
}

// ---- Solution in global numbering ----------------------------------------------------


// ---- Interfaces --------------------------------------------------------------------------

void cgsolve_residual(pde *p, vectord *r, const vectord *F, const vectord *S) {
  TRACE("cgsolve_residual");
  int32_t n = F->count;
  vectord_resize(r, n, std::max(n, r->capacity));
  // A row whose source or operator nears the largest number (a constraint's value, a source)
  // overflows here: reported at its equation or constraint.
  const double top = std::numeric_limits<double>::max() / 2;
  for (int32_t i = 0; i < n; i++) {
    double s = i < S->count ? S->data[i] : 0.0;
    double w = i < p->firstscale.count ? p->firstscale.data[i] : 1.0;
    double room = top / std::max(std::fabs(w), 1.0);
    if (!(std::fabs(s) < room && std::fabs(F->data[i]) < room)) {
      TreesFpScope placed(coupling_trap_row(p, i));
      r->data[i] = (s - F->data[i]) * w;
      rtlib_trap_check();
    } else r->data[i] = (s - F->data[i]) * w;
  }
}

// The iteration budget of a solve: ITERATE (0 becomes 1000 for VANDENBERG, else 500)
// over d, at least one iteration and within the solver's 16-bit count.
static int32_t solve_limit(pde *p, int32_t d) {
  if (p->iterate == 0) p->iterate = p->solver == vandenberg ? 1000 : 500;
  return std::clamp(p->iterate / std::max(d, 1), 1, 65535);
}

void cgsolve_solve_block(pde *p, double *x, const double *b, int32_t w, double rel, double abs, int32_t d,
                         double *res) {
  TRACE("cgsolve_solve_block");
  String label = lit("Solving:");
  uint16_t line = display_report(&p->status, 0, &label);
  int32_t limit = solve_limit(p, d);
  coupling_ready_precon(p, w);
  sparsecg_cg_block(x, &p->matrix, &p->precmx, b, &p->precvec, &p->precband, &p->work, w, rel, abs,
                    uint16_t(limit), &p->status, p->solver, p->precon, p->nf, res);
  display_unreport(&p->status, line);
}

// Overflow and invalid operations do not trap while a step is measured or a trial step
// evaluated: a step whose miss or residual is not a number is one too long, which the
// solve takes again and the search shortens.
struct QuietOverflow {
  fenv_t env;
  uint8_t trial = treeval_trial;
  QuietOverflow() {
    rtlib_fpu_save(&env);
    fedisableexcept(FE_OVERFLOW | FE_INVALID);
    treeval_trial = 1;
  }
  ~QuietOverflow() {
    treeval_trial = trial;
    rtlib_fpu_restore(&env);
  }
};

// How far the step misses its system: |A delta - r| / |r| (0 when r is 0, infinite
// when a value is not a number).
static double solve_miss(pde *p) {
  QuietOverflow quiet;  // a step far out overflows in the sums of squares
  vectord *ad = vector2d_get_work(&p->work, p->nt);
  sparsemx_mv_0(ad, &p->matrix, &p->delta);
  double miss = 0, size = 0;
  for (int32_t i = 0; i < p->nt; i++) {
    double r = p->residual.data[i], e = ad->data[i] - r;
    miss += e * e, size += r * r;
  }
  vector2d_free_work(ad);
  if (!std::isfinite(miss) || !std::isfinite(size)) return HUGE_VAL;
  return miss > 0 ? std::sqrt(miss / size) : 0.0;
}

// The step by the complete factor of the matrix, kept when it meets the system better
// than the step in hand, which misses it by miss; returns the miss of the step kept.
static double complete_solve(pde *p, double miss) {
  int32_t n = p->nt;
  vectord *d0 = vector2d_get_work(&p->work, n);
  vectord_copyto_0(d0, &p->delta);
  double now = sparsecg_solve_complete(&p->delta, &p->matrix, &p->residual) ? solve_miss(p) : HUGE_VAL;
  if (!(now < miss)) vectord_copyto_0(&p->delta, d0);
  vector2d_free_work(d0);
  return std::min(now, miss);
}

// cgsolve_solve, and how far its step missed its system (see solve_miss) into *solved_miss.
static double solve_step(pde *p, double rel, double abs, int32_t d, double *solved_miss) {
  TRACE("cgsolve_solve");
  String label = lit("Solving:");
  uint16_t line = display_report(&p->status, 0, &label);
  int32_t limit = solve_limit(p, d);
  int32_t n = p->nt;
  vectord_resize(&p->delta, n, std::max(n, p->delta.capacity));
  bool indefinite = false;
  auto solve = [&] {
    std::fill(p->delta.data, p->delta.data + n, 0.0);
    coupling_ready_precon(p, 1);
    return sparsecg_cg(&p->delta, &p->matrix, &p->precmx, &p->residual, &p->precvec, &p->precband, &p->work, rel, abs,
                       uint16_t(limit), &p->status, p->solver, p->precon, p->nf, nullptr, false, &indefinite);
  };
  double result = solve();
  // CG on a matrix that is not positive definite may diverge with no sign from its own
  // test. A CG step worse than no step at all, from a matrix that showed a direction of
  // non-positive curvature, or far worse (a thousandfold, or not a number), is taken
  // again by LANCZOS, which takes this system and every later one.
  double miss = solve_miss(p);
  if (p->solver == 0 && miss > 1 && (indefinite || !(miss <= 1e3)) && !stopkey(p)) {
    p->symmetric = 0;
    coupling_take_nonsymmetric(p);
    coupling_build_precon(p, &p->matrix);
    result = solve();
    miss = solve_miss(p);
  }
  // A step that leaves more of its system than it found (an iterative solve stopped at
  // its limit, or stalled) is taken by the complete factor where that fits.
  if (!(miss <= 1) && !stopkey(p)) miss = complete_solve(p, miss);
  *solved_miss = miss;
  display_unreport(&p->status, line);
  double sum = 0;
  for (int32_t r = 0; r < n; r++) sum += std::fabs(p->delta.data[r]);
  check_finite(p, sum);
  return result;
}

double cgsolve_solve(pde *p, double rel, double abs, int32_t d) {
  double miss;
  return solve_step(p, rel, abs, d, &miss);
}

double cgsolve_lupdate(pde *p, vector2d *u) {
  TRACE("cgsolve_lupdate");
  cgsolve_each_unknown(p, [&](uint16_t k, int32_t n, int32_t r) {
    u->data[k - 1].data[n - 1] += p->secondscale.data[r - 1] * p->delta.data[r - 1];
  });
  measures_get_range(p, u);
  // The constraints' multipliers are no unknowns of the solution: each solve gives them whole
  // in their rows of delta. Their columns' load enters the residual kept for the next pass
  // with the rest of the step, so that pass solves for what is left of the system it
  // solved: left out, every pass read the multipliers' own load as its error (3e-4 where the
  // solve had met its system) and solved them whole again, and a looser check pass then
  // undid part of the grid's solve, which ended periodic channels with a constraint as
  // diverged.
  vectord *ad = vector2d_get_work(&p->work, p->nt);
  sparsemx_mv_0(ad, &p->matrix, &p->delta);
  vectord_subto_0(&p->residual, ad);
  for (int32_t r = p->ns + 1; r <= p->nt; r++) p->delta.data[r - 1] = 0;
  if ((p->dbg_solve || p->dbg_coupling) && debug_file) {
    vector2d_print(debug_file, u, "LUPDATE UVAR");
    vectord_print_1(debug_file, ad, "SPAM*DELTA");
    vectord_print_1(debug_file, &p->residual, "LUPDATE RHS");
  }
  vector2d_free_work(ad);
  return res_norm(p);
}

void cgsolve_log_linstep(pde *p) {
  TRACE("cgsolve_log_linstep");
  if (!p->log) return;
  report_panel.log_time_1(p);
  fprintf(p->log, "GRID %d Nodes=%d Cells=%d RMS ERR=", p->regrids, int(p->mesh.nodes.count),
          int(p->mesh.cells.count));
  // Beside the RMS of the cells' estimates, the largest of them: the figure the regrid
  // test compares with ERRLIM, so a grid line shows why the run goes on or stops.
  String e{}, x{};
  strings_pak(&e, p->rmserr);
  strings_pak(&x, measures_max_measure(&p->mesh.cells));
  fprintf(p->log, "%s MAX ERR=%s MEM=%d\n", e.text ? e.text : "", x.text ? x.text : "", int(XMEM / 1024));
  strings_free_0(&e);
  strings_free_0(&x);
  fflush(p->log);
}

void cgsolve_log_note(pde *p, const char *text) {
  if (!p->log) return;
  report_panel.log_time_1(p);
  fprintf(p->log, "%s\n", text);
  fflush(p->log);
}

void cgsolve_not_converged(pde *p, const char *note, const char *reason) {
  cgsolve_log_note(p, note);
  p->unconverged = reason;
}

// A steady run that ends with cells above the error limit names the variables whose own
// estimate stands there: each field variable's estimate alone (the others' ERRWEIGHT 0), and the
// count of cells it holds above the limit. The cells' estimates are put back as they were.
static std::string unmet_variables(pde *p) {
  std::string names;
  int32_t F = p->nfield;
  if (p->eigen || p->timedep || F < 2 || p->vars.count < F || p->varnames.count < F) return names;
  celltable &cells = p->mesh.cells;
  std::vector<double> kept(size_t(cells.count));
  for (int32_t i = 0; i < cells.count; i++) kept[size_t(i)] = cells.data[i].error;
  std::vector<double> weights(static_cast<size_t>(F), 1.0);
  for (int32_t v = 1; v <= F; v++) weights[size_t(v - 1)] = p->vars.items[v - 1].errweight;
  double sense = p->sensitivity > 0 ? p->sensitivity : 1.0;
  for (int32_t v = 1; v <= F; v++) {
    if (!(weights[size_t(v - 1)] > 0)) continue;
    for (int32_t w = 1; w <= F; w++) p->vars.items[w - 1].errweight = w == v ? 1.0 : 0.0;
    measures_measure(p, &p->solution, p->time, 1.0, 0);
    int32_t above = 0;
    for (int32_t i = 0; i < cells.count; i++)
      if (cells.data[i].alive && cells.data[i].error / sense > p->errlim) above++;
    const String *vn = &p->varnames.items[v - 1];
    if (above > 0 && vn->text) {
      char count[40];
      snprintf(count, sizeof count, " in %d %s", above, above == 1 ? "cell" : "cells");
      names += (names.empty() ? " " : ", ") + std::string(vn->text, vn->length) + count;
    }
  }
  for (int32_t v = 1; v <= F; v++) p->vars.items[v - 1].errweight = weights[size_t(v - 1)];
  for (int32_t i = 0; i < cells.count; i++) cells.data[i].error = kept[size_t(i)];
  return names;
}

// The line that says which variables hold the error limit unmet when a limit ends the run.
static void log_unmet(pde *p, const char *limit) {
  std::string names = unmet_variables(p);
  if (names.empty()) return;
  std::string line = std::string(limit) + ": ERRLIM not met:" + names;
  cgsolve_log_note(p, line.c_str());
}

int32_t cgsolve_split_check(pde *p, RefineHistory *history) {
  TRACE("cgsolve_split_check");
  int32_t n = count_splits(p, p->errlim);
  if (n <= 0) return n;
  if (p->regrids >= p->gridlimit) {
    if (!settings.batch && appwin.warngrid(p, n, p->maxerr)) p->gridlimit += p->gridinc;
    if (p->regrids >= p->gridlimit) {
      // The error limit is not met on the last grid.
      log_unmet(p, "GRID LIMIT");
      cgsolve_not_converged(p, "GRID LIMIT: NOT CONVERGED", "GRID LIMIT: NOT CONVERGED");
      return n;
    }
  }
  // Near the end of a run the refinement splits down to OVERSPLIT x ERRLIM, so that the cells a
  // split at ERRLIM would leave just above it (their estimates need not fall by the quarter per
  // split the refiner assumes) are split in this regrid rather than in one more whole grid. Near
  // the end: few cells are above the limit, or, on a plane mesh, the grid's RMS estimate lies
  // between OVERSPLIT x ERRLIM and ERRLIM (the bulk of the cells stands just below the limit,
  // and what is above it is local). An RMS far below the limit is an error held in a few cells
  // (a layer), whose estimates the next grids are still to confirm: a Peclet 1000 layer split
  // early ended 2.6 limits off where the grids at ERRLIM held it within 2. A tetrahedral mesh
  // split early grew by more than the grid it was to save (a cube's modes: 77,516 -> 120,327
  // nodes, and one more grid all the same).
  double tol = p->errlim;
  bool spread = p->rmserr <= p->errlim && p->rmserr > p->oversplit * p->errlim;
  bool near_end = n < p->mesh.cells.count / 20 || (p->dimension == 2 && spread);
  if (near_end) tol *= p->oversplit;
  if (p->mergerr < 0) p->mergerr = 0.01;
  int32_t r = refine(p, tol, p->mergerr * p->errlim, history);
  // Cells above the error limit that the refiner left as they were (it splits nothing past the
  // node limit): the last grid's answer stands, but its error limit is not met.
  if (r <= 0) {
    log_unmet(p, "NODE LIMIT");
    cgsolve_not_converged(p, "NODE LIMIT: NOT CONVERGED", "NODE LIMIT: NOT CONVERGED");
  }
  if (r > 0) {
    if ((p->printgrid || p->dbg_grid) && debug_file) {
      String t = lit("REFINED");
      meshes_print_1(debug_file, &p->mesh, &t);
    }
    doplot_status_mesh(p);
    fitting_invalidate_fits(p, 1);
    plot2d_invalidate_plotmeshes(p);
    report_panel.ss_status(p);
  }
  return r;
}

// ---- Driver steps ---------------------------------------------------------------------

// The node-value vectors of the field variables sized to the mesh (a new node starts
// at 0 until the refiner carries values), one value per scalar.
static void size_solution(pde *p) {
  uint16_t V = cgsolve_varcount(p);
  if (p->solution.count < V) vector2d_resize(&p->solution, V, std::max<int32_t>(V, p->solution.capacity));
  for (uint16_t k = 1; k <= V; k++) {
    vectord *x = &p->solution.data[k - 1];
    int32_t n = k <= p->nfield ? p->mesh.nodes.count : 1, old = x->count;
    vectord_resize(x, n, std::max(n, x->capacity));
    for (int32_t i = old; i < n; i++) x->data[i] = 0;
  }
}

static double times_of(const pde *p, double t[2]) { return t[0] = t[1] = p->time; }

// Grid set-up: layout, boundary values, derived globals and the Jacobian.
static void grid_setup(pde *p, SteadyRun &run, const char *label) {
  TRACE("grid_setup");
  double times[2];
  times_of(p, times);
  p->regrids++;
  report_panel.ss_status(p);
  size_solution(p);
  run.carried.clear();
  run.earlier = -1;
  if (p->regrids > 1 && p->regrid) {
    run.earlier = p->rmserr;
    for (uint16_t k = 1; k <= p->nfield; k++) {
      const vectord &x = p->solution.data[k - 1];
      run.carried.emplace_back(x.data, x.data + x.count);
    }
  }
  loading_map_matrix(p, 1);
  coupling_tabulate_bcs(p);
  coupling_set_bvals_0(p, &p->solution, times);
  fitting_validate_fits(p, &p->fitlist, &p->solution, times);
  String l = lit(label);
  run.phase_line = display_report_num(&p->status, 0, &l, 1);
  coupling_ss_matrix(p, &p->solution, times);
}

// The largest range of the field variables.
static double largest_range(const pde *p) {
  double big = 0;
  for (int32_t j = 0; j < p->nfield && j < p->ranges.count; j++) big = std::max(big, p->ranges.data[j]);
  return big;
}

// Variable v's (from 1) own range; 1 where it has none.
static double own_range(const pde *p, int32_t v) {
  return v <= p->ranges.count && p->ranges.data[v - 1] > 0 ? p->ranges.data[v - 1] : 1.0;
}

// The range field variable v is measured against: its own, but not below a hundredth of the
// largest, big (a variable zero in truth has the others' noise for its range).
static double measured_range(const pde *p, int32_t v, double big) { return std::max(own_range(p, v), 0.01 * big); }

// What the last regrid moved each field variable by: the RMS over the domain (nodes weighted
// by their cells' areas) of the answer less the last grid's answer carried onto this mesh,
// relative to the variable's range. A variable whose range is below a hundredth of the
// largest (zero in truth, its range the others' noise) is measured against that hundredth.
static void measure_moves(pde *p, SteadyRun &run) {
  run.moved.assign(run.carried.size(), 0.0);
  if (run.carried.empty()) return;
  Mesh *m = &p->mesh;
  std::vector<double> w(size_t(m->nodes.count), 0.0);
  double total = 0;
  for (int32_t i = 0; i < m->cells.count; i++) {
    const MeshCell &c = m->cells.data[i];
    if (!c.alive || c.nodes.count <= 0) continue;
    double a = std::fabs(meshes_cell_area_0(m, &c));
    for (int32_t j = 0; j < c.nodes.count; j++) {
      int32_t n = c.nodes.data[j] - 1;
      if (n >= 0 && n < m->nodes.count) w[size_t(n)] += a / c.nodes.count;
    }
    total += a;
  }
  // Cells of a basis with no area formula: every node counts alike.
  if (!(total > 0)) {
    std::fill(w.begin(), w.end(), 1.0);
    total = double(w.size());
  }
  double big = largest_range(p);
  for (size_t k = 0; k < run.carried.size(); k++) {
    const vectord &x = p->solution.data[k];
    const std::vector<double> &old = run.carried[k];
    double s2 = 0;
    for (int32_t n = 0; n < x.count && size_t(n) < old.size() && size_t(n) < w.size(); n++)
      s2 += w[size_t(n)] * (x.data[n] - old[size_t(n)]) * (x.data[n] - old[size_t(n)]);
    run.moved[k] = std::sqrt(s2 / total) / measured_range(p, int32_t(k) + 1, big);
  }
}

// The factor within which the cells' estimate reads the error of the answer (its calibration
// against exact answers, linear and quadratic cells, 2D and 3D).
static const double estimate_calibration = 3.0;

// Grid end: the error estimate of the grid, the status and the run-log line.
static void grid_end(pde *p, SteadyRun &run) {
  TRACE("grid_end");
  run.delay = std::max(run.delay, 10 * show_monitors(p));
  p->monitordelay = run.delay;
  p->rmserr = measure(p);
  // What the linear solve leaves: where the elements hold the answer exactly (a linear field),
  // the cells read nothing and the solve's error is all there is (a layered column read 1e-9
  // where its answer was 3e-6 of a range off).
  if (run.unsolved > 0) p->rmserr = std::hypot(p->rmserr, run.unsolved);
  // A constraint too stiff for the limit (measures_constraint_miss) leaves its combination at a
  // size no refinement changes: the answer's distance from the constrained one. Whether that is
  // an error depends on what the stiff term stands for: none for a nearly incompressible solid,
  // whose equations' own answer keeps that divergence; all of it for a penalty standing in for
  // incompressibility. The cells' estimate reads the error against the equations' own answer;
  // against the constrained one the error is that and the miss in quadrature (the one lies in
  // the cells, the other spread smoothly over the domain). No form tells the two apart, so the
  // figure is to hold both readings within the estimate's calibration factor: half of it (on a
  // log scale) is the cells' own reading's, the other half is left for the choice of answer.
  // While the sum is within that half of the cells' figure, the cells' figure reads both and
  // stands (taking the miss in read a solid's error 3.4 times); past it, the cells' figure
  // cannot stand for the constrained answer's distance, and the figure is the sum (a penalty
  // flow's cells read a fourth of its error against the incompressible answer). Where the miss
  // itself is above ERRLIM the run ends not converged on it (constraint_check): the stop has
  // taken the constrained reading, and the figure takes it too (a penalty channel's cells read
  // below the limit while the miss stood above it, and the grid took the near-end split).
  run.miss = measures_constraint_miss(p, &p->solution, &run.tied);
  double constrained = std::hypot(p->rmserr, run.miss);
  if (run.miss > p->errlim || (run.miss > 0 && constrained > std::sqrt(estimate_calibration) * p->rmserr))
    p->rmserr = constrained;
  report_panel.ss_status(p);
  cgsolve_log_linstep(p);
  measure_moves(p, run);
}

// Whether the sources follow the solution: the streamline weight of their upwind terms
// may depend on it in a nonlinear problem, so they are built with every residual.
static bool sources_follow(const pde *p) { return p->upwind && p->nonlinear; }

// Residual of the current solution: F, then r = (S - F) x row scale.
static void residual(pde *p) {
  double times[2];
  times_of(p, times);
  if (sources_follow(p)) coupling_build_source(p, &p->source, times[0], times[1], 1);
  coupling_operate(p, &p->operate, &p->toperate, &p->solution, nullptr, times[1], 0, 0);
  cgsolve_residual(p, &p->residual, &p->operate, &p->source);
}

// Source, residual and preconditioner of a new grid or a rebuilt Jacobian.
static void build_system(pde *p) {
  double times[2];
  times_of(p, times);
  coupling_defer_precon(p);
  if (!sources_follow(p)) coupling_build_source(p, &p->source, times[0], times[1], 1);
  measures_get_range(p, &p->solution);
  residual(p);
}

// A variable's error may lie in no cell's estimate (a slender beam's deflection is its
// rotation's error summed along the beam; the estimate reads it only through the rotation's,
// and on some grids at a twentieth of its size). What the last regrid moved a variable by is
// about the last grid's error in it: where that is more than this many times the last grid's
// estimate, the estimate did not see the variable, and its figure for this grid is not believed.
static const double unseen_factor = 2.0;

// The grid met its error limit: a variable the estimate did not see (above) is taken to be left
// with its move over the last regrid times the fall of the grid's estimate over it (what the
// refinement did to the errors the estimate reads); where that is above ERRLIM, the grid takes
// one more refinement, on the estimate's cells at a limit lowered by ERRLIM over that figure
// (or, where no cell reaches it, at half the largest cell's estimate). Where the grid or node
// limit, or a grid with no cell estimate at all, stops it, the run ends not converged and the
// log names the variable. Returns the cells split.
static int32_t refine_for_moves(pde *p, SteadyRun &run) {
  if (!(run.earlier > 0)) return 0;
  double fall = std::min(1.0, p->rmserr / run.earlier), most = 0;
  size_t which = 0;
  // A variable zero in truth (its range below a hundredth of the largest) that the estimate
  // measures on the floor of its scale has its error read there, cell by cell: what it moves by
  // is its noise, and the hundredth it is measured against here is far finer than that floor.
  // A Lame cylinder's W moved by 1.4e-4 of that hundredth, 1e-6 of U's range, and took two more
  // grids of 59,000 nodes at ERRLIM 1e-4 where U and V stood at a third of the limit.
  std::vector<double> floors = measures_noise_floors(p);
  double big = largest_range(p);
  for (size_t k = 0; k < run.moved.size(); k++) {
    double left = run.moved[k] * fall;
    bool noise = k < floors.size() && floors[k] < 1 && own_range(p, int32_t(k) + 1) < 0.01 * big;
    if (noise || !(run.moved[k] > unseen_factor * run.earlier)) continue;
    if (left > p->errlim && left > most) most = left, which = k;
  }
  if (most <= 0) return 0;
  const String *vn = which < size_t(p->varnames.count) ? &p->varnames.items[which] : nullptr;
  String c{}, e{}, l{};
  strings_pak(&c, run.moved[which]);
  strings_pak(&e, run.earlier);
  strings_pak(&l, most);
  char m[400];
  snprintf(m, sizeof m,
           "%.*s moved by%s of its range over the last regrid, where the grid before read%s: at the estimate's "
           "fall%s left, above ERRLIM",
           vn && vn->text ? int(vn->length) : 0, vn && vn->text ? vn->text : "", c.text ? c.text : "",
           e.text ? e.text : "", l.text ? l.text : "");
  strings_free_0(&c);
  strings_free_0(&e);
  strings_free_0(&l);
  std::string line(m);
  double limit = p->errlim * std::max(0.1, std::min(1.0, p->errlim / most));
  // Every cell already below that limit: the estimate's largest cells are split, so that the
  // next regrid tells whether this grid's answer holds.
  double largest = measures_max_measure(&p->mesh.cells);
  if (count_splits(p, limit) <= 0) limit = 0.5 * largest;
  int32_t n = 0;
  if (p->regrids >= p->gridlimit) {
    cgsolve_log_note(p, ("GRID LIMIT: " + line).c_str());
    cgsolve_not_converged(p, "GRID LIMIT: NOT CONVERGED", "GRID LIMIT: NOT CONVERGED");
  } else if (!(largest > 0) || count_splits(p, limit) <= 0) {
    cgsolve_log_note(p, ("NO CELL TO SPLIT: " + line).c_str());
    cgsolve_not_converged(p, "NO CELL TO SPLIT: NOT CONVERGED", "NO CELL TO SPLIT: NOT CONVERGED");
  } else {
    cgsolve_log_note(p, ("REFINE AGAIN: " + line).c_str());
    if (p->mergerr < 0) p->mergerr = 0.01;
    n = refine(p, limit, p->mergerr * p->errlim, &run.refined);
    if (n <= 0) {
      cgsolve_log_note(p, ("NODE LIMIT: " + line).c_str());
      cgsolve_not_converged(p, "NODE LIMIT: NOT CONVERGED", "NODE LIMIT: NOT CONVERGED");
    } else {
      doplot_status_mesh(p);
      fitting_invalidate_fits(p, 1);
      plot2d_invalidate_plotmeshes(p);
      report_panel.ss_status(p);
    }
  }
  return n;
}

// Ends a grid's solve: refinement when asked; returns 0 to go on with a new grid, else
// the next phase.
static int32_t after_grid(pde *p, SteadyRun &run) {
  int32_t n = 0;
  if (p->regrid && !halted(p)) n = cgsolve_split_check(p, &run.refined);
  if (n == 0 && p->regrid && !halted(p) && !p->unconverged) n = refine_for_moves(p, run);
  if (n < 1 || p->regrids >= p->gridlimit || halted(p) || stopkey(p)) {
    report_panel.ss_status(p);
    return p->stop || p->error ? p->phase : 8;
  }
  return 0;
}

// A run in a system holding a combination of its variables to zero by a coefficient too stiff
// for the limit (a penalty): where what that combination still holds leaves more than the limit
// in the answer, which no refinement removes, the run ends not converged, and the log names the
// variables, also where the grid or node limit ended it first (that miss is why).
static void constraint_check(pde *p, const SteadyRun &run) {
  if (halted(p) || !p->regrid) return;
  double miss = run.miss;
  if (!(miss > p->errlim)) return;
  std::string names;
  for (uint16_t v : run.tied) {
    const String *vn = v <= p->varnames.count ? &p->varnames.items[v - 1] : nullptr;
    if (vn && vn->text) names += " " + std::string(vn->text, vn->length);
  }
  String c{};
  strings_pak(&c, miss);
  char m[300];
  snprintf(m, sizeof m, "STIFF CONSTRAINT:%s keep a divergence of %s of their range, above ERRLIM", names.c_str(),
           c.text ? c.text : "");
  strings_free_0(&c);
  cgsolve_log_note(p, m);
  if (!p->unconverged) cgsolve_not_converged(p, "STIFF CONSTRAINT: NOT CONVERGED", "STIFF CONSTRAINT: NOT CONVERGED");
}

// The root mean square of the correction delta to each variable, relative to its own
// range, one value per variable (0 for a variable with no unknowns).
static std::vector<double> corrections(pde *p) {
  uint16_t V = cgsolve_varcount(p);
  std::vector<double> out(V, 0.0);
  for (uint16_t k = 1; k <= V && k <= p->layout.maps.count; k++) {
    const vectorl *mk = &p->layout.maps.data[k - 1];
    if (mk->count == 0) continue;
    double R = own_range(p, k), sum = 0;
    for (int32_t n = 0; n < mk->count; n++) {
      int32_t r = mk->data[n] - 1;
      double d = p->secondscale.data[r] * p->delta.data[r] / R;
      sum += d * d;
    }
    out[k - 1] = std::sqrt(sum / mk->count);
  }
  return out;
}

// The largest of the corrections c (see corrections); *which is its variable.
static double largest_correction(const std::vector<double> &c, uint16_t *which) {
  double most = 0;
  *which = 0;
  for (size_t k = 0; k < c.size(); k++)
    if (!(c[k] <= most)) most = c[k], *which = uint16_t(k + 1);
  return most;
}

// What a linear solve leaves in the answer, read as the grid's estimate reads its variables:
// the RMS over the field variables of their corrections c by the last pass (see corrections),
// each weighted by its ERRWEIGHT as the cells' estimates weigh it. The last pass's correction
// is about the error the pass found; what it leaves is no larger where the passes converge,
// and nearly as large where a variable's error is one the passes barely move. A variable whose
// range is below a hundredth of the largest (zero in truth, its range the others' noise) is
// measured against that hundredth.
static double solve_share(pde *p, const std::vector<double> &c) {
  double big = largest_range(p), T = 0, W = 0;
  for (int32_t v = 1; v <= p->nfield && size_t(v) <= c.size(); v++) {
    double x = c[size_t(v) - 1] * own_range(p, v) / measured_range(p, v, big);
    double w = v <= p->vars.count ? p->vars.items[v - 1].errweight : 1.0;
    T += w * w * x * x, W += w * w;
  }
  return W > 0 ? std::sqrt(T / W) : 0.0;
}

// The share of its system a grid's linear solve may leave: past it the answer is not
// believed (a Newton step's solve is held to the same share).
static const double solve_met = 1e-2;

// Whether the residual is no more than the rounding of the terms it balances (a solution
// carried exactly from the last grid): its solves' misses then measure noise.
static bool rounding_residual(pde *p) {
  double r = 0, scale = 0;
  for (int32_t i = 0; i < p->nt; i++) {
    double w = i < p->firstscale.count ? p->firstscale.data[i] : 1.0;
    double s = i < p->source.count ? p->source.data[i] : 0.0, f = i < p->operate.count ? p->operate.data[i] : 0.0;
    r += p->residual.data[i] * p->residual.data[i];
    scale += (std::fabs(s) + std::fabs(f)) * (std::fabs(s) + std::fabs(f)) * w * w;
  }
  return r <= 1e-24 * scale;
}

// A system no solve could meet: where no VALUE condition fixes a field variable, so
// that its constants solve the homogeneous system, and the net source over the domain
// does not balance, there is no solution. That is reported at the variable's equation.
//
// When the constant of variable k is also a left null vector of the operator (its
// columns sum to zero over k's rows, as for a symmetric one), the net of the residual
// over k's rows is the same for every solution, so it is taken from the residual a grid
// starts from, before any solve can carry the solution away: after solves that blew up
// (values of 1e20 and more) the rounding of the residual hides the net entirely.
// Whether the constant 1 of variable k solves the homogeneous system (A 1 = 0 within the
// rounding of its terms); *left tells whether it is a left null vector as well.
static bool constant_solves(pde *p, const vectorl *mk, bool *left) {
  int32_t n = p->nt;
  vectord *x = vector2d_get_work(&p->work, n), *y = vector2d_get_work(&p->work, n);
  vectord *c = vector2d_get_work(&p->work, n), *cs = vector2d_get_work(&p->work, n);
  std::fill(x->data, x->data + n, 0.0);
  std::fill(c->data, c->data + n, 0.0);
  std::fill(cs->data, cs->data + n, 0.0);
  for (int32_t i = 0; i < mk->count; i++) {
    int32_t r = mk->data[i] - 1;
    x->data[r] = 1.0 / p->secondscale.data[r];
  }
  sparsemx_mv_0(y, &p->matrix, x);
  double ay = 0, size = 0;
  for (int32_t r = 0; r < n; r++) {
    const vectorld &row = p->matrix.data[r];
    double w = std::fabs(p->firstscale.data[r]), a = 0;
    for (int32_t e = 0; e < row.count; e++) a += std::fabs(row.values[e] * x->data[row.keys[e] - 1]);
    ay += std::fabs(y->data[r]) / w, size += a / w;
  }
  // The rows of k weighted back to their unscaled sums, column by column.
  for (int32_t i = 0; i < mk->count; i++) {
    int32_t r = mk->data[i] - 1;
    const vectorld &row = p->matrix.data[r];
    double z = 1.0 / p->firstscale.data[r];
    for (int32_t e = 0; e < row.count; e++) {
      int32_t j = row.keys[e] - 1;
      c->data[j] += z * row.values[e], cs->data[j] += std::fabs(z * row.values[e]);
    }
  }
  // Every column must sum to zero within the rounding of its terms: a film condition, however
  // weak, adds its share to its boundary columns, and the system then has a solution for
  // every source.
  bool zero = true;
  for (int32_t j = 0; j < n && zero; j++) zero = std::fabs(c->data[j]) <= 1e-12 * cs->data[j];
  vector2d_free_work(cs);
  vector2d_free_work(c);
  vector2d_free_work(y);
  vector2d_free_work(x);
  *left = zero;
  return ay <= 1e-8 * size;
}

static void singular_error(pde *p, uint16_t k) {
  const String *vn = k <= p->varnames.count ? &p->varnames.items[k - 1] : nullptr;
  char m[400];
  snprintf(m, sizeof m,
           "Singular System: every condition on %.*s is natural and its net source is not zero: no solution exists",
           vn && vn->text ? int(vn->length) : 0, vn && vn->text ? vn->text : "");
  static String message;
  strings_copyto_1(&message, m);
  TreeNode *at = k <= p->formulas.equations.count ? p->formulas.equations.items[k - 1]->tree : nullptr;
  if (at) report_parse_err_1(p, at, &message);
  report_exec_err_0(p, &message);
}

// Before a grid's solves (start): the net of the residual over k's rows is the part of
// it no step can take away. A net past the run's error limit as a share of the gross
// source (the sums of |source| and |operator| over k's rows) is a source that does not
// balance: no solution exists and no solve is tried. A smaller net is what the sums of a
// balanced source leave on a mesh (a curved boundary's flux against the area's source):
// it is dropped from the residual, which then stays free of it through the updates
// (their A d has no net), so the solves meet the nearest system that has a solution
// rather than carry the solution off along the constant. After solves that missed their
// system (not start): a variable whose constant solves the system but whose rows do not
// sum to zero is tested on the net of the residual the solves left.
// A net between the error limit's share and a hundredth of the gross source may be the
// quadrature of a source the first meshes do not resolve (a peaked source against its
// boundary flux): it is dropped as a smaller one is and the variable is named in *held; the
// run reports it as singular only if the grid it ends on still leaves it.
static void check_singular(pde *p, bool start, uint16_t *held = nullptr) {
  double limit = std::max(1e-6, p->errlim), hard = held ? std::max(1e-2, limit) : limit;
  // The operator at the start less its part in the start's values (A u0): what the gross
  // source weighs is the data (a boundary flux), not the size of the start, whose part
  // has no net and could hide any net the data leaves.
  vectord *au = nullptr;
  auto start_part = [&]() {
    int32_t n = p->nt;
    vectord *x = vector2d_get_work(&p->work, n);
    au = vector2d_get_work(&p->work, n);
    std::fill(x->data, x->data + n, 0.0);
    for (uint16_t k = 1; k <= cgsolve_varcount(p) && k <= p->layout.maps.count && k <= p->solution.count; k++) {
      const vectorl *mk = &p->layout.maps.data[k - 1];
      const vectord &u = p->solution.data[k - 1];
      for (int32_t i = 0; i < mk->count && i < u.count; i++) {
        int32_t r = mk->data[i] - 1;
        x->data[r] = u.data[i] / p->secondscale.data[r];
      }
    }
    sparsemx_mv_0(au, &p->matrix, x);
    vector2d_free_work(x);
  };
  for (uint16_t k = 1; k <= p->nfield && k <= p->layout.maps.count && !p->error; k++) {
    if (k <= p->valuenodes.count && p->valuenodes.data[k - 1].count > 0) continue;
    const vectorl *mk = &p->layout.maps.data[k - 1];
    if (mk->count == 0) continue;
    bool left = false, right = constant_solves(p, mk, &left);
    if (left != start) continue;
    double net = 0, total = 0;
    if (start) {
      // Net and gross source of k's rows (unscaled).
      if (!au) start_part();
      double zz = 0;
      for (int32_t i = 0; i < mk->count; i++) {
        int32_t r = mk->data[i] - 1;
        double w = p->firstscale.data[r];
        double s = r < p->source.count ? p->source.data[r] : 0.0, f = r < p->operate.count ? p->operate.data[r] : 0.0;
        f -= au->data[r] / w;
        net += p->residual.data[r] / w, total += std::fabs(s) + std::fabs(f), zz += 1.0 / (w * w);
      }
      if (!(std::fabs(net) > hard * total)) {
        if (std::fabs(net) > limit * total && !*held) *held = k;
        // r - (z.r / z.z) z, z = 1 / row scale on k's rows: its net is zero.
        for (int32_t i = 0; i < mk->count && zz > 0; i++) {
          int32_t r = mk->data[i] - 1;
          p->residual.data[r] -= net / zz / p->firstscale.data[r];
        }
        continue;
      }
    } else {
      if (!right) continue;
      for (int32_t i = 0; i < mk->count; i++) {
        int32_t r = mk->data[i] - 1;
        double v = p->residual.data[r] / p->firstscale.data[r];
        net += v, total += std::fabs(v);
      }
      if (!(std::fabs(net) > 1e-6 * total)) continue;
    }
    singular_error(p, k);
  }
  if (au) vector2d_free_work(au);
}

int32_t cgsolve_do_linear(pde *p) {
  TRACE("cgsolve_do_linear");
  // 1. Counters, clock and delay; the first grid.
  p->regrids = 0;
  p->solvestart = rtlib_elapsed_ms(0);
  SteadyRun run;
  run.delay = std::max<int32_t>(p->deadtime, p->monitordelay);
  grid_setup(p, run, "Linear");
  bool first = true;
  // 2. One linear solve per grid, with update passes while the error is above the limit.
  while (!stopkey(p)) {
    int32_t k = 1;
    build_system(p);
    uint16_t held = 0;  // a variable whose source this grid's mesh leaves unbalanced
    check_singular(p, true, &held);
    if (p->error) break;
    double tau = p->errlim * p->overshoot, e, e0 = res_norm(p);
    double reach = 1;  // how far this grid's steps together leave the system: their misses' product
    double solved_miss = 0;
    if (first) {
      solve_step(p, 100 * tau, 0, 4, &solved_miss);
      reach *= solved_miss;
      if (stopkey(p)) break;
      e = cgsolve_lupdate(p, &p->solution);
      coupling_rescale_matrix(p, &p->solution, &p->residual);
      coupling_defer_precon(p);
      e0 = std::max(e, res_norm(p));  // the passes are measured in the new scaling
      first = false;
    } else {
      solve_step(p, tau, 0, 1, &solved_miss);
      reach *= solved_miss;
      e = cgsolve_lupdate(p, &p->solution);
    }
    // The update changed the solution: globals derived from it (integrals, values at
    // points) are taken again when next read. A solve exact enough to need no further
    // pass would otherwise leave them as the solution before it had them.
    fitting_invalidate_fits(p, 3);
    if (stopkey(p)) break;
    uint16_t eline = report_real(p, "Soln Error", e);
    while (e > tau) {
      if (k >= p->linupdate || p->stop || p->error) break;
      run.delay = std::max(run.delay, 10 * show_monitors(p));
      k++;
      report_panel.report_time(p, p->lines.elapsed);
      display_update_num(&p->status, run.phase_line, k);
      display_update_real(&p->status, eline, e);
      solve_step(p, tau, 0, 1, &solved_miss);
      reach *= solved_miss;
      if (stopkey(p)) return p->phase;
      e = cgsolve_lupdate(p, &p->solution);
      display_update_real(&p->status, eline, e);
      fitting_invalidate_fits(p, 3);
    }
    // The answer is believed only when the steps met the system they solved: a solve
    // that stopped at its iteration limit, or stalled, leaves the solution short of it
    // while its error measures may look small. The complete factor, where it fits,
    // takes what is left; otherwise the grid's answer is unconverged.
    bool missed = false;
    if (!(reach <= solve_met) && !rounding_residual(p) && !stopkey(p)) {
      std::fill(p->delta.data, p->delta.data + p->nt, 0.0);
      double m = complete_solve(p, HUGE_VAL);
      if (m < 1) {
        reach *= m;
        e = cgsolve_lupdate(p, &p->solution);
        fitting_invalidate_fits(p, 3);
      }
      // Where the factor does not fit, further passes while each takes the residual down
      // by half: the passes may have stopped on an error measure the loose first solve met.
      for (int32_t more = 0; more < p->linupdate && !(reach <= solve_met) && !rounding_residual(p) && !stopkey(p);
           more++) {
        solve_step(p, 0.01 * tau, 0, 1, &solved_miss);
        if (!(solved_miss < 0.5)) break;
        reach *= solved_miss;
        e = cgsolve_lupdate(p, &p->solution);
        fitting_invalidate_fits(p, 3);
      }
      if (!(reach <= solve_met) && !rounding_residual(p)) {
        check_singular(p, false);
        missed = true;
      }
    }
    // Each variable's own error: the residual measure above weighs the variables together
    // and reads the residual, which a stiff or ill-conditioned system (a large contrast, a
    // slender or layered solid) leaves small while the solution is still far off. A pass
    // on what is left measures each variable's remaining error directly, relative to its
    // own range: passes go on while some variable's correction is above a tenth of the
    // error limit (ERRLIM x OVERSHOOT x 100), up to three passes, each at ten times the
    // grid's tolerance and a quarter of its iteration budget (a check, not a new solve).
    uint16_t short_var = 0;
    double corr = 0;
    run.unsolved = 0;
    if (!missed && !rounding_residual(p) && !halted(p) && !stopkey(p)) {
      double limit = 100 * tau;
      for (int32_t more = 0; more < 3 && !stopkey(p); more++) {
        solve_step(p, 10 * tau, 0, 4, &solved_miss);
        // A check that stalled (took less than half its residual away: a stiff mode the
        // preconditioner hides, the residual at its rounding) measures nothing, and its small
        // correction is no sign that the solution holds; the complete factor, where it fits,
        // takes its place (a 1e9 contrast under the diagonal preconditioner stopped 2.3 ERRLIM
        // off on a grid whose check moved 2.6e-8 of the range, where the factor moved 1.8e-4).
        if (!(solved_miss < 0.5) && !stopkey(p)) solved_miss = complete_solve(p, solved_miss);
        std::vector<double> c = corrections(p);
        corr = largest_correction(c, &short_var);
        e = cgsolve_lupdate(p, &p->solution);
        fitting_invalidate_fits(p, 3);
        // The pass's correction is what the solve leaves, unless it took the residual to rounding.
        run.unsolved = rounding_residual(p) ? 0.0 : solve_share(p, c);
        if (!(corr > limit) || rounding_residual(p)) {
          short_var = 0;
          break;
        }
      }
      if (short_var) {
        const String *vn = short_var <= p->varnames.count ? &p->varnames.items[short_var - 1] : nullptr;
        String c{};
        strings_pak(&c, corr);
        char m[300];
        snprintf(m, sizeof m, "LINEAR SOLVE STOPPED SHORT: %.*s still changing by %s of its range",
                 vn && vn->text ? int(vn->length) : 0, vn && vn->text ? vn->text : "", c.text ? c.text : "");
        strings_free_0(&c);
        cgsolve_log_note(p, m);
        missed = true;
      }
    }
    // Passes that left the residual larger than they found it diverged: the run ends
    // rather than measure and refine on their result.
    if (!(e <= e0) && e > tau) {
      String m = lit("Linear Solve Diverged: the system may be singular or indefinite");
      report_exec_err_0(p, &m);
    }
    grid_end(p, run);
    if (stopkey(p)) break;
    if (int32_t next = after_grid(p, run)) {
      if (held && !halted(p) && !p->error) {
        singular_error(p, held);
        return p->phase;
      }
      // The run ends on this grid: say so when its solve did not meet the system.
      if (missed && !halted(p)) cgsolve_not_converged(p, "ITERATION LIMIT", "ITERATION LIMIT: NOT CONVERGED");
      constraint_check(p, run);
      return next;
    }
    grid_setup(p, run, "Linear");
  }
  return p->phase;
}

int32_t cgsolve_step_limit(int32_t newton, double changelim) {
  if (newton != 0) return newton;
  // A change limit of 0 (no clamp) counts as any limit above 2.
  if (changelim == 0) return 20;
  return 20 - int32_t(std::trunc(-2.0 / changelim));
}

// ---- Newton line search -------------------------------------------------------------------

// The trial update u = u0 + lambda x column scale x delta (clamped by c unless c is 0
// or 1000 and above), the change estimate, and the residual there; returns r.r / 2. Each
// variable's changes are measured against its range on the floor of its scale, floors
// (measures_noise_floors): a variable zero in truth, measured against its own noise, would
// have every step clamped to a share of that noise and creep.
static double res_test(pde *p, double lambda, const vectord *u0, double c, const std::vector<double> &floors) {
  TRACE("res_test");
  // A trial step far out (a source of 1e30) may overflow in its own sums as in the residual:
  // the search reads either as no residual there.
  QuietOverflow quiet;
  uint16_t V = cgsolve_varcount(p);
  vector2d *u = &p->solution;
  bool clamp = !(c == 0 || c >= 1000);
  double total = 0;
  int used = 0;
  for (uint16_t k = 1; k <= V && k <= p->layout.maps.count; k++) {
    const vectorl *mk = &p->layout.maps.data[k - 1];
    if (mk->count == 0) continue;
    double R = p->ranges.data[k - 1];
    if (k <= floors.size() && floors[k - 1] > 0) R /= floors[k - 1];
    double s = 0.01 * R;
    if (s == 0) s = 0.01;
    double q = 0;
    if (clamp) {
      for (int32_t n = 0; n < mk->count; n++) {
        int32_t r = mk->data[n] - 1;
        double v = u0->data[r] + p->secondscale.data[r] * p->delta.data[r] * lambda;
        q += v * v;
      }
      q = std::sqrt(q / mk->count);
    }
    double sum = 0;
    for (int32_t n = 0; n < mk->count; n++) {
      int32_t r = mk->data[n] - 1;
      double d = p->secondscale.data[r] * p->delta.data[r] * lambda;
      double &x = u->data[k - 1].data[n];
      // The change is measured against the magnitude: a value near -s would otherwise
      // make the change estimate blow up.
      if (!clamp) {
        x = u0->data[r] + d;
        double m = d / (s + std::fabs(x));
        sum += m * m;
      } else {
        double m = d / (std::fabs(u0->data[r]) + s);
        sum += m * m;
        double t = std::fabs(d / (q * c + s));
        x = u0->data[r] + d * (1 + t) / (1 + t + t * t);
      }
    }
    total += sum / mk->count;
    used++;
  }
  p->changeest = used ? std::sqrt(total / used) : 0.0;
  double times[2];
  times_of(p, times);
  fitting_invalidate_fits(p, 3);
  fitting_validate_fits(p, &p->fitlist, u, times);
  residual(p);
  double f = 0.5 * vectord_dot(&p->residual, &p->residual);
  return std::isfinite(f) && std::isfinite(p->changeest) ? f : HUGE_VAL;
}

// The backtracking line search along the Newton step; returns the step length taken.
// *step_overflow is set when no step along the Newton direction, however short, gave a
// residual that is a number: the iteration has diverged.
static double update(pde *p, bool *step_overflow, const std::vector<double> &floors) {
  TRACE("update");
  uint16_t line = report_real(p, "Optimizing Step", 1.0);
  vectord *u0 = vector2d_get_work(&p->work, p->nt);
  std::fill(u0->data, u0->data + p->nt, 0.0);
  cgsolve_each_unknown(p, [&](uint16_t k, int32_t n, int32_t r) { u0->data[r - 1] = p->solution.data[k - 1].data[n - 1]; });
  double f0, g;
  {
    QuietOverflow quiet;  // a residual or a step far out overflows in its square
    f0 = 0.5 * vectord_dot(&p->residual, &p->residual);
    vectord *at = vector2d_get_work(&p->work, p->nt);
    sparsemx_mtv_0(at, &p->matrix, &p->residual);
    g = -vectord_dot(at, &p->delta);
    vector2d_free_work(at);
  }
  // A step that overflows is not taken: the solution stays where it began.
  auto overflowed = [&]() {
    *step_overflow = true;
    vector2d_free_work(u0);
    display_unreport(&p->status, line);
    return 0.0;
  };
  *step_overflow = false;
  if (!std::isfinite(f0) || !std::isfinite(g)) return overflowed();  // no slope to search along
  double c = p->changelim * p->changeclamp;
  double l1 = 1.0, l2 = 0, f2 = 0;
  double f = res_test(p, l1, u0, c, floors);
  bool firstback = true;
  while (f > f0 + 0.01 * l1 * g) {
    double ln;
    if (f == HUGE_VAL) {
      // No residual there: a tenth of the step, the model of the search not yet begun.
      ln = 0.1 * l1;
      if (!(ln > 0.009)) break;
      l1 = ln;
      display_update_real(&p->status, line, ln);
      f = res_test(p, ln, u0, c, floors);
      continue;
    }
    QuietOverflow quiet;  // the model of a residual near overflow may itself overflow
    if (firstback) {
      ln = -g / (2 * (f - f0 - g));
    } else {
      double a1 = f - f0 - l1 * g, a2 = f2 - f0 - l2 * g;
      double a = (a1 / (l1 * l1) - a2 / (l2 * l2)) / (l1 - l2);
      double b = (-l2 * a1 / (l1 * l1) + l1 * a2 / (l2 * l2)) / (l1 - l2);
      if (a == 0) {
        ln = -g / (2 * b);
      } else {
        double D = b * b - 3 * a * g;
        ln = D >= 0 ? (-b + std::sqrt(D)) / (3 * a) : -0.5 * g / (f - f0 - g);
      }
      ln = std::min(ln, 0.5 * l1);
    }
    ln = std::isfinite(ln) ? std::max(ln, 0.1 * l1) : 0.1 * l1;
    firstback = false;
    if (!(ln > 0.009)) break;
    l2 = l1, f2 = f, l1 = ln;
    display_update_real(&p->status, line, ln);
    f = res_test(p, ln, u0, c, floors);
  }
  if (f == HUGE_VAL) {
    // Overflow however short the step: the solution is put back where the step began.
    res_test(p, 0.0, u0, 0, floors);
    return overflowed();
  }
  // The update clamped by the change limit, unless the clamp gives back the decrease the
  // search asked for: it bends the step off Newton's direction node by node, which a stiff
  // term (a penalty) turns into a residual larger than the one the step started from.
  if (p->changelim > 0 && p->changelim < 1000) {
    double fc = res_test(p, l1, u0, p->changelim, floors);
    if (fc > f0 + 0.01 * l1 * g && fc > f) res_test(p, l1, u0, c, floors);
  }
  vector2d_free_work(u0);
  display_unreport(&p->status, line);
  return l1;
}

// A Newton step's solve, taken again on what its step left of the residual while that
// is more than a hundredth of it and each pass lowers it: an iterative solve may stall
// far from the step on a stiff system, and Newton's convergence is only as good as it.
static void newton_solve(pde *p, double rel) {
  cgsolve_solve(p, rel, 0, 1);
  double miss = solve_miss(p);
  int32_t n = p->nt;
  for (int32_t pass = 0; pass < 4 && miss > 0.01 && !stopkey(p); pass++) {
    vectord *r0 = vector2d_get_work(&p->work, n), *d0 = vector2d_get_work(&p->work, n);
    vectord_copyto_0(r0, &p->residual);
    vectord_copyto_0(d0, &p->delta);
    sparsemx_mv_0(&p->residual, &p->matrix, d0);
    for (int32_t i = 0; i < n; i++) p->residual.data[i] = r0->data[i] - p->residual.data[i];
    cgsolve_solve(p, rel, 0, 1);
    for (int32_t i = 0; i < n; i++) p->delta.data[i] += d0->data[i];
    vectord_copyto_0(&p->residual, r0);
    double now = solve_miss(p);
    if (!(now < miss)) vectord_copyto_0(&p->delta, d0);
    vector2d_free_work(d0);
    vector2d_free_work(r0);
    if (!(now < miss)) break;
    miss = now;
  }
  // A step that still misses its system by more than that is no Newton step: it is
  // taken by the complete factor, where that fits, when the factor meets the system better.
  if (miss > 0.01 && !stopkey(p)) {
    vectord *d0 = vector2d_get_work(&p->work, n);
    vectord_copyto_0(d0, &p->delta);
    if (sparsecg_solve_complete(&p->delta, &p->matrix, &p->residual) && !(solve_miss(p) < miss))
      vectord_copyto_0(&p->delta, d0);
    vector2d_free_work(d0);
  }
}

// The first grid's start carried to its value conditions. The start comes as the
// descriptor gave it (often a constant); the value conditions then set its boundary
// nodes, which leaves a jump across the first layer of cells, steeper on a finer mesh.
// The Jacobian there sees gradients of order 1/h that belong to no solution (a source
// |grad phi|^2 of order 1/h^2), and Newton's first steps start far from where its model
// holds. So the boundary change d (the values set less the values given) is carried
// into the interior as the linear model at the given start carries it: the interior
// step solves A x = -(dF/du) d, the directional derivative taken as the difference of
// the residuals at the start and a small multiple of d along from it. The start then
// meets its value conditions and changes smoothly into them (a harmonic lift for a
// Laplacian), whatever the mesh. A start whose residual or lift is not a number stays
// as set.
static void lift_start(pde *p, const vector2d *given) {
  uint16_t V = cgsolve_varcount(p);
  if (given->count < V) return;
  bool moved = false;
  for (uint16_t k = 1; k <= V; k++) {
    const vectord &a = given->data[k - 1], &b = p->solution.data[k - 1];
    if (a.count != b.count) return;
    for (int32_t i = 0; i < a.count && !moved; i++) moved = a.data[i] != b.data[i];
  }
  if (!moved) return;
  int32_t n = p->nt;
  vector2d set{};
  vector2d_copyto_0(&set, &p->solution);
  double times[2];
  times_of(p, times);
  const double eps = 1e-6;
  auto at = [&](double w) {
    for (uint16_t k = 1; k <= V; k++) {
      const vectord &a = given->data[k - 1], &b = set.data[k - 1];
      vectord &u = p->solution.data[k - 1];
      for (int32_t i = 0; i < u.count; i++) u.data[i] = a.data[i] + w * (b.data[i] - a.data[i]);
    }
    fitting_invalidate_fits(p, 3);
    fitting_validate_fits(p, &p->fitlist, &p->solution, times);
  };
  auto finite = [&] {
    double sum = 0;
    for (int32_t i = 0; i < n; i++) sum += std::fabs(p->residual.data[i]);
    return std::isfinite(sum);
  };
  bool lifted = false;
  {
    // The start as given may not be a place the equations can be taken (a coefficient
    // 1/T where the start is 0 on a value node): then the start stays as set.
    QuietOverflow quiet;
    at(0);
    coupling_build_source(p, &p->source, times[0], times[1], 1);
    residual(p);
    if (finite()) {
      // The Jacobian and its scaling at the start as given, and the residual's change
      // along d.
      coupling_ss_matrix(p, &p->solution, times);
      coupling_defer_precon(p);
      residual(p);
      vectord *r0 = vector2d_get_work(&p->work, n);
      vectord_copyto_0(r0, &p->residual);
      at(eps);
      residual(p);
      for (int32_t i = 0; i < n; i++) p->residual.data[i] = (p->residual.data[i] - r0->data[i]) / eps;
      vector2d_free_work(r0);
      lifted = finite();
    }
  }
  if (lifted) {
    cgsolve_solve(p, p->errlim * p->overshoot, 0, 1);
    for (int32_t i = 0; i < n; i++) lifted = lifted && std::isfinite(p->delta.data[i]);
  }
  vector2d_copyto_0(&p->solution, &set);
  if (lifted)
    cgsolve_each_unknown(p, [&](uint16_t k, int32_t i, int32_t r) {
      p->solution.data[k - 1].data[i - 1] += p->secondscale.data[r - 1] * p->delta.data[r - 1];
    });
  coupling_set_bvals_0(p, &p->solution, times);
  vector2d_free(&set, 1);
  fitting_invalidate_fits(p, 3);
  fitting_validate_fits(p, &p->fitlist, &p->solution, times);
  coupling_ss_matrix(p, &p->solution, times);
}

// Newton's residual measure: each variable's scaled residual (res_norm) on the floor of its
// scale, floors (measures_noise_floors), as the grid's estimate reads it. A variable zero in
// truth has the others' noise for its range, and its residual against that noise stays near
// the inner solves' tolerance however close the steps come (a Lame cylinder with E = 1 + 2 Ur^2
// ran every grid to the step limit on Uz's noise, and refined to the grid limit).
static double newton_norm(pde *p, vectord *errors, const std::vector<double> &floors) {
  res_norm(p, errors);
  double sum = 0;
  for (int32_t v = 0; v < errors->count; v++) {
    if (size_t(v) < floors.size()) errors->data[v] *= floors[size_t(v)];
    sum += errors->data[v] * errors->data[v];
  }
  return errors->count ? std::sqrt(sum / errors->count) : 0.0;
}

static void log_newton(pde *p, int32_t k, double e) {
  if (!p->log) return;
  report_panel.log_time_1(p);
  String s{};
  strings_pak(&s, e);
  fprintf(p->log, "Newton Step %d Error=%s\n", int(k), s.text ? s.text : "");
  strings_free_0(&s);
  fflush(p->log);
}

int32_t cgsolve_do_nonlinear(pde *p) {
  TRACE("cgsolve_do_nonlinear");
  // 1. Counters, delay, clock, errors, the step limit; the first grid.
  p->regrids = 0;
  SteadyRun run;
  run.delay = std::max<int32_t>(p->deadtime, p->monitordelay);
  p->solvestart = rtlib_elapsed_ms(0);
  p->rmserr = p->maxerr = 1.0;
  int32_t L = cgsolve_step_limit(p->newton, p->changelim);
  bool step_overflow = false;  // the line search found no step whose residual is a number
  vector2d given{};
  vector2d_copyto_0(&given, &p->solution);
  grid_setup(p, run, "Nonlinear");
  lift_start(p, &given);
  vector2d_free(&given, 1);
  // 2. Newton's method on each grid.
  while (!p->error) {
    int32_t k = 1, j = 1;
    if (p->stop) break;
    build_system(p);
    std::vector<double> floors = measures_noise_floors(p);
    double tau = p->errlim * p->overshoot, e0 = newton_norm(p, &run.var_errors, floors);
    newton_solve(p, tau);
    if (stopkey(p)) return p->phase;
    double lambda = update(p, &step_overflow, floors);
    measures_get_range(p, &p->solution);
    double e = newton_norm(p, &run.var_errors, floors);
    uint16_t eline = report_real(p, "Step Error", e);
    // Each step's residual per variable, times the range it was measured against: a
    // variable that is still zero is measured against 1, and its residual jumps once it
    // takes a value and a range of its own (a scalar read only through a nonlinear
    // integrand moves first on the second step). The test for a diverging sequence takes
    // the earlier steps' residuals on the present ranges.
    std::vector<std::vector<double>> kept;
    auto keep = [&] {
      std::vector<double> a(size_t(run.var_errors.count));
      for (int32_t v = 0; v < run.var_errors.count; v++)
        a[size_t(v)] = run.var_errors.data[v] * (v < p->ranges.count ? p->ranges.data[v] : 1.0);
      kept.push_back(std::move(a));
    };
    auto earlier = [&] {
      double sum = 0;
      for (size_t i = 0; i + 1 < kept.size(); i++) {
        double t = 0;
        for (size_t v = 0; v < kept[i].size(); v++) {
          double r = int32_t(v) < p->ranges.count ? p->ranges.data[v] : 1.0, x = kept[i][v] / (r > 0 ? r : 1.0);
          t += x * x;
        }
        sum += kept[i].empty() ? 0.0 : t / double(kept[i].size());
      }
      return sum;
    };
    keep();
    log_newton(p, k, e);
    // Each variable's remaining correction after a step: what the damping left of the
    // Newton correction, (1 - lambda) |delta_k|, and what the steps still to come will
    // add, estimated from the step taken and its ratio to the one before (rho_k): a step
    // times rho / (1 - rho), with rho taken as 1/2 on the grid's first step and at most
    // 0.9. Every variable is held to it on its own range: a variable still creeping
    // (near a fold, where each step takes a fixed share of what is left) beside one that
    // has settled is not averaged away.
    std::vector<double> last;  // each variable's last step, relative to its range
    double remaining = 0;      // the largest remaining correction
    auto remaining_after = [&](double l) {
      std::vector<double> full = corrections(p);
      remaining = 0;
      for (size_t v = 0; v < full.size(); v++) {
        if (v < floors.size()) full[v] *= floors[v];
        double step = l * full[v], rho = v < last.size() && last[v] > 0 ? std::min(step / last[v], 0.9) : 0.5;
        remaining = std::max(remaining, (1 - l) * full[v] + step * rho / (1 - rho));
        full[v] = step;
      }
      last = full;
    };
    remaining_after(lambda);
    // Converged: the residual within the limit, and either every variable's remaining
    // correction within a tenth of the error limit (or a ten-millionth) or the last step
    // took the residual down a thousandfold, as Newton's steps do once they converge. Near
    // a fold the Jacobian is nearly singular: a small residual leaves the solution far
    // off, and the steps, each taking the residual down a little, still change it.
    double eprev = e0;
    auto unsettled = [&] { return e > tau || (remaining > std::max(0.1 * p->errlim, 1e-7) && !(e <= 1e-3 * eprev)); };
    while (unsettled() && k < L && !p->stop && !p->error && !step_overflow) {
      run.delay = std::max(run.delay, 10 * show_monitors(p));
      k++, j++;
      report_panel.report_time(p, p->lines.elapsed);
      display_update_num(&p->status, run.phase_line, k);
      display_update_real(&p->status, eline, e);
      // A short step, a large change or an old Jacobian: build it anew.
      if (lambda < 1.0 || p->changeest > 0.1 || j > 4) {
        vectord_divto_0(&p->residual, &p->firstscale);
        double times[2];
        times_of(p, times);
        coupling_ss_matrix(p, &p->solution, times);
        if (stopkey(p)) return p->phase;
        coupling_defer_precon(p);
        vectord_multo_0(&p->residual, &p->firstscale);
        floors = measures_noise_floors(p);
        j = 0;
      }
      newton_solve(p, 0.1 * tau);
      if (stopkey(p)) return p->phase;
      eprev = e;
      lambda = update(p, &step_overflow, floors);
      measures_get_range(p, &p->solution);
      e = newton_norm(p, &run.var_errors, floors);
      keep();
      remaining_after(lambda);
      display_update_real(&p->status, eline, e);
      log_newton(p, k, e);
      // A diverging sequence (or one whose steps overflow) ends the grid's iteration.
      if (e * e * k >= 100 * earlier() || step_overflow) break;
    }
    // The step limit or a diverging sequence, not the error, ended the iteration.
    const char *unconverged = unsettled() || step_overflow ? k >= L && !step_overflow ? "NEWTON LIMIT: NOT CONVERGED"
                                                                                      : "NEWTON DIVERGED: NOT CONVERGED"
                                                           : nullptr;
    fitting_invalidate_fits(p, 3);
    grid_end(p, run);
    if (stopkey(p)) return p->phase;
    if (step_overflow && !halted(p)) {
      // No finer grid can mend a step that overflows: the run ends on this one.
      cgsolve_not_converged(p, unconverged, unconverged);
      report_panel.ss_status(p);
      return 8;
    }
    if (int32_t next = after_grid(p, run)) {
      // The run ends on this grid: say so when its iteration did not converge.
      if (unconverged && !halted(p)) cgsolve_not_converged(p, unconverged, unconverged);
      constraint_check(p, run);
      return next;
    }
    grid_setup(p, run, "Nonlinear");
  }
  return p->phase;
}
