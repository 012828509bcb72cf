// timsolve: the implicit theta time stepper with adaptive steps. The step loop (levels,
// attempts, step control, timed output, regrids) is here; the assembly, solve and mesh
// work of a step go through timsolve_stepper.
#include "solver/timsolve.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <utility>
#include <vector>

#include "model/pdedat_record.h"
#include "elements/cellnode.h"
#include "plot/doplot.h"
#include "solver/init.h"
#include "plot/plot.h"
#include "plot/plot2d.h"
#include "runtime/bopmem.h"
#include "runtime/debug.h"
#include "runtime/report.h"
#include "runtime/rtlib.h"
#include "elements/elements.h"
#include "elements/evalpoint.h"
#include "graphics/display.h"
#include "mesher/measures.h"
#include "mesher/refiner.h"
#include "model/eqns.h"
#include "model/treeval.h"
#include "runtime/settings.h"
#include "solver/cgsolve.h"
#include "solver/coupling.h"
#include "solver/fitting.h"
#include "solver/loading.h"
#include "solver/sparsecg.h"


uint8_t timsolve_debug = 0;

// The module's localised cell: the program-wide work cell.
static LocalCell *cell = nullptr;

int timsolve_init() {
  TRACE("timsolve");
  cell = cellnode_work;
  return 0;
}

// ---- Norm helpers, third difference -------------------------------------------------------

// x^2, x^4, x^8 or x^16 by the norm selector; false for a selector outside 0-4.
static inline bool weigh(double x, int32_t selector, double *w) {
  double x2 = x * x;
  switch (selector) {
    case 0:
    case 1: *w = x2; return true;
    case 2: *w = x2 * x2; return true;
    case 3: *w = x2 * x2 * x2 * x2; return true;
    case 4: {
      double x8 = x2 * x2 * x2 * x2;
      *w = x8 * x8;
      return true;
    }
  }
  return false;
}

double timsolve_weight(double x, int32_t selector) {
  TRACE("timsolve_weight");
  double w;
  if (!weigh(x, selector, &w)) rtlib_fatal_in("timsolve_weight", "Bad Norm Selector");
  return w;
}

double timsolve_unweight(double y, int32_t selector) {
  TRACE("timsolve_unweight");
  switch (selector) {
    case 0: case 1: return std::sqrt(y);
    case 2: return std::sqrt(std::sqrt(y));
    case 3: return std::sqrt(std::sqrt(std::sqrt(y)));
    case 4: return std::sqrt(std::sqrt(std::sqrt(std::sqrt(y))));
  }
  rtlib_fatal_in("timsolve_unweight", "Bad Norm Selector");
}

namespace {
// The step differences of one step, whose times a, b, c (from t) are the same for every
// node: the factors that depend on them alone are taken once.
struct StepDifference {
  double off, a, b, c, k, offcc;
  StepDifference(double off_, double a_, double b_, double c_) : off(off_), a(a_), b(b_), c(c_) {
    double q = (c - b) / a - (c - a) / b + (b - a) / c;
    k = c * c / (a * b * q);
    offcc = off * c * c;
  }
  double third(double A, double B, double C, double D) const {
    return k * ((A - C) * (c - b) / a - (B - C) * (c - a) / b + (D - C) * (b - a) / c);
  }
  // off c^2 u'' / 2, u'' from the second difference over t_m1, t, t_new.
  double step(double A, double B, double C, double D) const {
    double second = offcc * ((D - C) / c - (B - C) / b) / (c - b);
    return third(A, B, C, D) + second;
  }
};
}  // namespace

double timsolve_third_difference(double a, double b, double c, double A, double B, double C, double D) {
  return StepDifference(0.0, a, b, c).third(A, B, C, D);
}

double timsolve_step_difference(double off, double a, double b, double c, double A, double B, double C, double D) {
  return StepDifference(off, a, b, c).step(A, B, C, D);
}

// ---- Timed output ---------------------------------------------------------------------------

double timsolve_next_plot_time(pde *p, double t) {
  TRACE("timsolve_next_plot_time");
  double T = p->endtime;
  for (int32_t k = 1; k <= p->timerecs.count; k++) {
    timerec *r = &p->timerecs.data[k - 1];
    if (r->cycle > 0) continue;
    if (r->position < 1) r->position = 1;
    while (int32_t(r->position) <= r->times.count && r->times.data[r->position - 1] <= t) r->position++;
    if (int32_t(r->position) <= r->times.count) T = std::min(T, r->times.data[r->position - 1]);
  }
  return T;
}

// Whether the timed record's output is due at time (or cycle); with advance, its next
// output is then counted from this one.
static bool output_due(pde *p, timerec *r, double time, double step, int32_t cycle, bool advance) {
  if (r->cycle > 0) {
    if (cycle < int32_t(r->nextcycle)) return false;
    if (advance) r->nextcycle = uint16_t(r->nextcycle + r->cycle);
    return true;
  }
  if (r->position < 1) r->position = 1;
  if (int32_t(r->position) > r->times.count || !(r->times.data[r->position - 1] < time + 0.01 * step || p->error))
    return false;
  if (advance) r->position++;
  return true;
}

void timsolve_showplots(pde *p, double time, double step, int32_t cycle) {
  TRACE("timsolve_showplots");
  double saved = p->time;
  p->time = time;
  bool any = false;
  // The histories drawn with their plots here are not drawn again below.
  std::vector<uint16_t> drawn;
  for (int32_t k = 1; k <= p->timerecs.count; k++) {
    timerec *r = &p->timerecs.data[k - 1];
    if (!output_due(p, r, time, step, cycle, true)) continue;
    any = true;
    if (r->monitor) {
      doplot_show_monitors(p, &r->plots, 0);
    } else {
      // The record's list holds its plots and its exports: each is written once,
      // the exports by the export driver.
      struct lists {
        vectorn plots = {}, exports = {};
        ~lists() { vectorn_free(&plots), vectorn_free(&exports); }
      } l;
      vectorn &plots = l.plots, &exports = l.exports;
      for (int32_t i = 1; i <= r->plots.count; i++) {
        uint16_t n = r->plots.data[i - 1];
        if (n < 1 || n > p->plotrecs.count) continue;
        plotrec &pr = p->plotrecs.data[n - 1];
        vectorn_one_more(pr.kind >= PLOT_CDF ? &exports : &plots, n);
        if (pr.kind == PLOT_HISTORY) drawn.push_back(n);
        pr.timed = 1, pr.timedat = time;
      }
      doplot_show_plots(p, &plots);
      doplot_do_exports(p, &exports);
    }
  }
  if (any && p->autohist && p->histories.count > 0) {
    vectorn rest = {};
    for (int32_t i = 0; i < p->histories.count; i++)
      if (std::find(drawn.begin(), drawn.end(), p->histories.data[i]) == drawn.end()) vectorn_one_more(&rest, p->histories.data[i]);
    if (rest.count > 0) doplot_show_monitors(p, &rest, 0);
    vectorn_free(&rest);
  }
  p->time = saved;
}

// ---- Run log ---------------------------------------------------------------------------------

void timsolve_log_step(pde *p) {
  TRACE("timsolve_log_step");
  if (!p->log) return;
  String t{}, dt{}, rms{};
  strings_fmt(&t, p->time);
  strings_fmt(&dt, p->dt);
  strings_fmt(&rms, p->rmserr);
  report_panel.log_time_1(p);
  fprintf(p->log, "Step %d Time=%.*s Dt=%.*s Nodes=%d Cells=%d RMS ERR=%.*s MEM=%d\n", int32_t(p->cycle),
          int(t.length), t.text, int(dt.length), dt.text, p->mesh.nodes.count, p->mesh.cells.count,
          int(rms.length), rms.text, int32_t(XMEM / 1024));
  strings_free_0(&t);
  strings_free_0(&dt);
  strings_free_0(&rms);
}


// ---- Levels ---------------------------------------------------------------------------------

static bool halted(pde *p) { return p->stop || p->skipstages || p->error; }

static void copy_levels(vector2d *dst, const vector2d *src) {
  vector2d_resize(dst, src->count, std::max(src->count, dst->capacity));
  for (int32_t k = 1; k <= src->count; k++) vectord_copyto_0(&dst->data[k - 1], &src->data[k - 1]);
}

// ---- The assembly's stepper ------------------------------------------------------------------

uint8_t timsolve_sweep = 0;


// K, D or their scales are rebuilt: the reference no longer fits them.
static void matrices_changed(TimeRun *run) {
  run->jmatrix_current = run->jmatrix_laid = false;
  run->fixed.current = false;
  run->unstable_current = false;
}

static int32_t nvariables(pde *p) { return std::min<int32_t>(p->nfield + p->nscalar, p->layout.maps.count); }
static bool has_rate(pde *p, int32_t k) { return k <= p->vars.count && p->vars.items[k - 1].timeflag; }
static double range_of(pde *p, int32_t k) {
  return k <= p->ranges.count && p->ranges.data[k - 1] > 0 ? p->ranges.data[k - 1] : 1.0;
}
static const vectorl &rows_of(pde *p, int32_t k) { return p->layout.maps.data[k - 1]; }

// One vector per variable: node count for field variables, one entry for scalars;
// stored values are kept by index.
static void size_level(pde *p, vector2d *v) {
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

static void layout(pde *p, TimeRun *run) {
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
static void hold_ranges(pde *p, TimeRun *run, const vector2d *u, bool scaled) {
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

static bool algebraic_row(const TimeRun *run, int32_t j);

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
static double step_range(pde *p, TimeRun *run, int32_t k, const vector2d *u) {
  double r = k <= run->run_sizes.count ? run->run_sizes.data[k - 1] : 0.0;
  if (u && r == 0 && k <= p->nfield && has_rate(p, k) && k <= p->udot.count) {
    const vectord &d = p->udot.data[k - 1];
    r = rest_floor(p, run, k, d.data, d.count);
    if (r > 0) run->run_sizes.data[k - 1] = r;  // held as a start's floor is
  }
  if (u) r = std::max(r, magnitude(p, k, u));
  return r > 0 && std::isfinite(r) ? r : range_of(p, k);
}

static double solve_cg(pde *p, vectord *x, const sparsemx *A, vectord *b, double rel, int32_t solver, int32_t precon,
                       const vectord *D) {
  if (p->work.capacity < 20) vector2d_resize(&p->work, p->work.count, 20);
  // The step matrix changes with the step, so a complete factor would serve one solve:
  // each step iterates.
  struct Iterate {
    uint8_t was = sparsecg_complete;
    Iterate() { sparsecg_complete = 0; }
    ~Iterate() { sparsecg_complete = was; }
  } iterate;
  return sparsecg_cg(x, A, &p->precmx, b, D, &p->precband, &p->work, rel, 0.0, uint16_t(p->iterate), &p->status,
                     solver, precon, p->nt);
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
}

// Whether global row j (from 1) is a row without a rate.
static bool algebraic_row(const TimeRun *run, int32_t j) {
  return run->algebraic_any && j >= 1 && size_t(j) <= run->algebraic.size() && run->algebraic[size_t(j - 1)];
}

static double first_udot(pde *p, TimeRun *run, double t) {
  const double tt[2] = {t, t};
  size_level(p, &p->udot);
  fitting_validate_fits(p, &p->fitlist, &p->solution, tt);
  coupling_build_source(p, &p->tsource, t, t, 1);
  run->fixed.sourced = false;  // these are the sources at t alone
  coupling_set_bvals_0(p, &p->solution, tt);
  hold_varying_values(p, t);
  measures_get_range(p, &p->solution);
  coupling_tr_matrix(p, &p->solution, tt, 0);
  matrices_changed(run);
  mark_algebraic(p, run);
  // A variable whose capacity vanishes somewhere has no start rate D alone can give: where
  // the capacity ends inside a cell D is singular on the cell's nodes, and its solve gives
  // rates without bound (1e18 beside a capacity switched off by IF). Its start rate is then
  // that of the first step, taken implicit at its end (see onestep): (D + h K) u' = S - F,
  // which K holds where D does not. That step needs no cut by the start's slope.
  bool stiff = false;
  for (int32_t k = 1; k <= nvariables(p) && !stiff; k++) {
    const vectorl &r = rows_of(p, k);
    stiff = has_rate(p, k) && std::any_of(r.data, r.data + r.count, [&](int32_t j) { return algebraic_row(run, j); });
  }
  run->stiff_start = run->implicit_step = stiff;
  run->after_implicit = false;
  if (stiff) {
    coupling_tr_matrix(p, &p->solution, tt, 1);
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

static void start_residual(pde *p, TimeRun *, double t, double dt) {
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

// J := D/h + theta K on the first pass (its scaling and preconditioner rebuilt), then
// J du = r; returns the RMS of du before du takes the column scale.
static double tsolve(pde *p, TimeRun *run, double invh, double theta, double rel, bool first) {
  // J and its preconditioner stand while K, D and h do.
  if (first && !(run->jmatrix_current && invh == run->jmatrix_invh)) {
    run->jmatrix_current = true;
    run->jmatrix_invh = invh;
    if (run->jmatrix_laid) {
      step_values(&p->jmatrix, &p->tmatrix, &p->matrix, invh, theta);
    } else {
      sparsemx_copyto_1(&p->jmatrix, &p->tmatrix, invh);
      sparsemx_addto_1(&p->jmatrix, &p->matrix, theta);
      run->jmatrix_laid = true;
    }
    // The step's row scales serve the step-residual estimates alone.
    if (p->estimator != 0) sparsemx_ata_dip_0(&p->stepscale, &p->jmatrix, 1);
    coupling_build_precon(p, &p->jmatrix);
    // The check reads K and D alone, not the step: it stands while they do.
    if (!run->unstable_current || run->unstable_rows_of != p->nt) run->unstable = unstable_rows(p);
    run->unstable_current = true, run->unstable_rows_of = p->nt;
  }
  // Where the state is unstable an iteration's leftover, smooth modes first, grows with
  // the solution: the complete factor, where it fits, leaves only roundoff.
  if (run->unstable) rel = std::min(rel, unstable_tolerance);
  if (!(run->unstable && sparsecg_solve_complete(&p->correction, &p->jmatrix, &p->tresid))) {
    // The iteration stops when the RMS of its preconditioned unknowns stands still. Where
    // the diagonal scales differ by orders (a conductivity of 1e6 in one part), the stiff
    // part's unknowns, divided by its small scales, make that RMS: the soft part's
    // leftover, in its slow modes, goes unjudged and is carried on step after step (a run
    // to the steady state ended 1.7% off after 3111 steps held small by it). The
    // tolerance is taken down by the last solve's weight of the correction itself in that
    // RMS, so that it holds for the values: about 1 on an ordinary mesh.
    rel *= std::max(std::min(1.0, run->solve_weight), least_solve_weight);
    double m = solve_cg(p, &p->correction, &p->jmatrix, &p->tresid, rel, p->solver, p->precon, &p->precvec);
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
    offsets(p, x, theta, &p->solution, 1 - theta, &p->uold, &run->fixed.u);
    sparsemx_mv_0(y, &p->matrix, x);
    offsets(p, x, 1.0, &p->udot, 0.0, &p->udot, &run->fixed.udot);
    sparsemx_mvsum_0(y, &p->tmatrix, x);
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
  coupling_operate(p, &p->rold, &p->mold, &p->uold, &p->udot, t, h, 1);
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
  }
  return false;
}

// The sources over the step with the derived globals at t (kept from the step's start)
// and at t_new (taken from the values being corrected), weighed as the step weighs its
// two ends.
static const int32_t consistent_passes = 10;

// Where the sources split (coupling_split_source), the part that reads nothing of the
// solution is built once a step and kept here; each pass builds only the rest.
static vectord step_fixed_source{};

static void split_source(pde *p, double t, double tnew, bool anew) {
  if (anew) coupling_build_source_part(p, &step_fixed_source, t, tnew, true);
  coupling_build_source_part(p, &p->tsource, t, tnew, false);
  for (int32_t j = 0; j < p->nt; j++) p->tsource.data[j] += step_fixed_source.data[j];
}

static void step_source(pde *p, TimeRun *run, double t, double tnew, bool split) {
  const double tt[2] = {t, tnew};
  globals_at(p, &p->solution, tt);
  if (split) split_source(p, t, tnew, false);
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
static int32_t onestep(pde *p, TimeRun *run, double t, double tnew, bool rebuild) {
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
    coupling_tr_matrix(p, &p->uold, run->fixed.timed ? tt : told, 1);
    mark_algebraic(p, run);
    if (!run->rest_rates.empty()) hold_rest_floors(p, run);
    hold_ranges(p, run, nullptr, true);
  }
  // Derived globals of the solution (integrals, fits) couple every unknown and have no
  // Jacobian: the step is corrected until its sources, taken with the globals at both
  // ends, agree with the values it ends on.
  bool coupled = p->fitlist.count > 0 && !run->fixed.linear;
  bool split = coupled && coupling_split_source(p);
  if (split) split_source(p, t, tnew, true);
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

// The error a source that reads the time adds to a step's values. The step takes the
// source's mean over the step by its time weights, the operator at its two ends weighed by
// theta; with the source taken at the ends as the operator is, the step's error would be
// what the values' third difference reads. The difference of the two rules, through the
// step matrix, is the error the step carries besides: for a source that moves fast against
// the solution's own decay it is most of the step's error, and the third difference does
// not read it. Per variable and node, twice it (the third difference is twice the local
// error), into run->source_error; false when there is none to add.
static bool source_step_error(pde *p, TimeRun *run) {
  // With theta 1 the source is taken at the step's end alone, as the operator is: nothing to add.
  if (!run->source_timed || p->theta >= 1 || p->cycle < 3 || p->fitlist.count > 0 || p->jmatrix.rows != p->nt)
    return false;
  int32_t n = p->nt;
  double theta = p->theta;
  vectord a{}, b{}, x{};
  // The source at the step's start is the one the step before ended on, while the layout stands.
  vectord &start = run->source_end;
  if (!(run->source_end_current && run->source_end_time == p->told && start.count == n))
    coupling_build_source(p, &start, p->told, p->told, 1);
  coupling_build_source(p, &b, p->time, p->time, 1);
  vectord_resize(&a, n, n);
  vectord_resize(&x, n, n);
  for (int32_t j = 0; j < n; j++) {
    a.data[j] = (p->tsource.data[j] - (1 - theta) * start.data[j] - theta * b.data[j]) * p->firstscale.data[j];
    x.data[j] = 0;
  }
  std::swap(start, b);
  run->source_end_time = p->time;
  run->source_end_current = true;
  solve_cg(p, &x, &p->jmatrix, &a, 1e-3, p->solver, p->precon, &p->precvec);
  size_level(p, &run->source_error);
  bool finite = true;
  for (int32_t k = 1; k <= nvariables(p); k++) {
    const vectorl &r = rows_of(p, k);
    vectord &e = run->source_error.data[k - 1];
    for (int32_t i = 0; i < r.count && i < e.count; i++) {
      int32_t j = r.data[i] - 1;
      e.data[i] = 2 * x.data[j] * p->secondscale.data[j];
      finite = finite && std::isfinite(e.data[i]);
    }
  }
  for (vectord *v : {&a, &b, &x}) vectord_free(v);
  return finite;
}

// The step error over its allowance (see the step-control notes above evolve).
static double check_timestep(pde *p, TimeRun *run) {
  int32_t sel = p->tnorm;
  double a = p->tm2 - p->told, b = p->tm1 - p->told, c = p->time - p->told, h = p->dt;
  double sum = 0;
  int32_t terms = 0;
  double off = 2 * p->theta - 1;  // the one-node scheme errs by h^2 u'' / 2 per step
  auto weight = [sel](double x) {
    double w;
    if (!weigh(x, sel, &w)) rtlib_fatal_in("timsolve_weight", "Bad Norm Selector");
    return w;
  };
  const bool sourced = source_step_error(p, run);
  for (int32_t k = 1; k <= nvariables(p); k++) {
    // The step is measured against the variable's range with the step's new values in.
    double range = step_range(p, run, k, &p->solution);
    const vectord &u = p->solution.data[k - 1], &uo = p->uold.data[k - 1];
    double term = 0;
    int32_t count = 0;
    if (p->cycle < 3) {
      // After a step taken implicit at its end (see onestep), the rows beside a vanishing
      // capacity leave its rate at once: the change to the next step is no error of that step.
      if (!has_rate(p, k) || run->after_implicit) continue;
      const vectord &d = p->udot.data[k - 1], &d0 = p->udotold.data[k - 1];
      const vectorl &rows = rows_of(p, k);
      for (int32_t i = 0; i < d.count; i++) {
        if (i < rows.count && algebraic_row(run, rows.data[i])) continue;
        term += weight((d.data[i] - d0.data[i]) * h / (range * p->errlim));
        count++;
      }
    } else if (k <= p->nfield && has_rate(p, k)) {
      if (run->after_implicit) continue;
      const vectord &u2 = p->um2.data[k - 1], &u1 = p->um1.data[k - 1];
      const StepDifference diff(off, a, b, c);
      for (int32_t e = 1; e <= p->mesh.cells.count; e++) {
        const MeshCell &cell = p->mesh.cells.data[e - 1];
        if (!cell.alive) continue;  // dead cells hold stale nodes
        // Nodes without a rate hold their equation at each step's end: no step error.
        int32_t nn = 0;
        double A = 0, B = 0, C = 0, D = 0;
        double S = 0;
        for (int32_t j = 0; j < elements_functions[cell.basis]; j++) {
          int32_t n = cell.nodes.data[j] - 1;
          if (algebraic_row(run, rows_of(p, k).data[n])) continue;
          A += u2.data[n], B += u1.data[n], C += uo.data[n], D += u.data[n];
          if (sourced) S += run->source_error.data[k - 1].data[n];
          nn++;
        }
        if (nn == 0) continue;
        term += weight((diff.step(A, B, C, D) + S) / (range * p->errlim * nn));
        count++;
      }
    } else if (k <= p->nfield) {
      if (p->changelim <= 0) continue;  // no change unit: no term
      for (int32_t i = 0; i < u.count; i++, count++) term += weight((u.data[i] - uo.data[i]) / (range * p->changelim));
    } else if (has_rate(p, k)) {
      term = weight(StepDifference(off, a, b, c)
                        .step(p->um2.data[k - 1].data[0], p->um1.data[k - 1].data[0], uo.data[0], u.data[0]) /
                    (range * p->errlim));
      count = 1;
    }
    if (count == 0) continue;
    sum += term / count;
    terms++;
  }
  double ratio = terms ? timsolve_unweight(sum / terms, sel) : 0.0;
  if (p->control2 > 0) ratio *= p->control2 * std::sqrt(std::max(16 * p->theta - 7, 0.0));
  // A step whose error is not a number is rejected, not taken.
  run->step_error_none = ratio == 0;
  if (std::isnan(ratio)) return HUGE_VAL;
  return ratio == 0 ? 0.5 : ratio;
}

// The local limit alone lets the errors of a slowly decaying solution add up: each step's
// error persists as long as the solution does, so the answer drifts to many times ERRLIM.
// Each accepted step's local error (its ratio to the allowance) is carried on, damped by
// the decay of the local error's own size over the step: the third derivative, the step's
// ratio over h^3. The fast modes of a jump decay within a few steps and leave nothing
// carried; a slow mode's errors add up. When the carried part would pass its limit, the
// next step is made smaller so that its share fits. The limit is a few allowances, or the
// spatial error the run carries, when that is larger: time steps finer than the mesh's
// error gain the answer nothing.
// The carried limit in step allowances (an allowance holds about a third of ERRLIM times
// the range: the step estimate is twice the local error and the control factor is sqrt 2),
// and the least share of it a next step keeps.
constexpr double carried_limit = 2.0, carried_floor = 0.1;
static void limit_carried_error(pde *p, TimeRun *run) {
  // A step that measured no error at all stands in with 0.5 for the step size rule; it
  // carries nothing (a constant ratio would shrink every step by the same factor).
  double r = run->step_error_none ? 0.0 : run->ratios[0], h = p->dt;
  if (p->cycle < 3 || !(r > 0) || !std::isfinite(r) || !(h > 0)) {
    run->carried = 0;
    run->carried_density[0] = run->carried_density[1] = run->carried_span = 0;
    return;
  }
  // The decay is read over the last two steps: one step's estimate alone swings with the
  // pattern of the steps before it.
  double q = r / (h * h * h), q2 = run->carried_density[1], span = run->carried_span + h;
  double decay = q2 > 0 ? std::min(std::pow(q / q2, h / span), 1.0) : 1.0;
  run->carried_density[1] = run->carried_density[0];
  run->carried_density[0] = q;
  run->carried_span = h;
  run->carried = run->carried * decay + r;
  double e = run->carried_mesh_error, spatial = std::isfinite(e) && e < 1 ? e / p->errlim : 0;
  double limit = carried_limit * std::max(1.0, spatial);
  // The next step decays the carried part as this one did and adds its own ratio, which
  // grows with the cube of the step.
  double room = std::max(limit - run->carried * decay, carried_floor * limit);
  double next = r * std::pow(p->dtnext / h, 3);
  if (next > room) p->dtnext *= std::cbrt(room / next);
}

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

// The spatial error by the problem's estimator (0 curvature, 1 the step residual, 2
// the step residual against the cell bubbles) held up by the third derivatives, the fronts,
// the resolve requests and the largest cell error.
static void measure(pde *p, TimeRun *run, double t, double tnew) {
  if (p->estimator == 0) p->rmserr = measures_measure_curvature(p, &p->solution, 0, 0);
  else if (p->estimator == 1) p->rmserr = tmeasure(p, run, t, tnew);
  else if (p->estimator == 2) p->rmserr = tzmeasure(p, t, tnew);
  // A feature narrower than the cells, which none of these sees, reads by its third derivatives
  // (not while a start's jump is held: the hold ends by the estimate it was held by). Its small
  // cells are weighed against the mean cell of the first mesh measured, which refinement does not
  // shrink.
  if (!(run->floor_area > 0)) run->floor_area = measures_mean_cell(p);
  if (!(run->jump_error > 0) && p->nfield > 0)
    p->rmserr = measures_floor_by_third_derivatives(p, &p->solution, run->floor_area, p->rmserr);
  if (p->fronts.count > 0) p->rmserr = measures_map_fronts(p, p->rmserr);
  if (p->resolves.count > 0) measures_resolve(p, tnew);
  p->maxerr = measures_max_measure(&p->mesh.cells) / (p->sensitivity > 0 ? p->sensitivity : 1.0);
}

// At the node limit (within a hundredth of it) a regrid splits only into the room its merges
// make. A trade of a few cells changes little of the mesh, yet a new mesh costs the matrices'
// layout and assembly, several steps' work on a large mesh. After a trade of less than a
// hundredth of the cells the mesh is kept while it stays at the limit and the RMS error stays
// between half and 1.1 times its value at that trade (a moving feature raises it); 0 when no
// mesh is held. (A cube cooled from a jump at the default limit otherwise traded a few hundred of
// its 700,000 cells at every step, each such step costing four times a step on a kept mesh.)

static bool at_node_limit(pde *p) {
  return 100 * int64_t(p->mesh.nodes.count - p->mesh.delnodes) >= 99 * int64_t(p->nodelimit);
}

// A start holding a jump keeps its mesh while the step error falls by itself: the jump's layer
// widens faster than refinement follows it, so refining it at the first tiny steps buys nothing
// at later times (a cube cooled from a jump took the mesh to the node limit, a slab heated from
// one went to 13,000 nodes, each ending with the answers of its start mesh). The first step whose
// error does not fall, or meets ERRLIM, ends the hold for the rest of the run. The last held
// step's error; 0 when no hold.

// A start that is a function of place has the same values at the nodes until the mesh
// changes: they are evaluated once for each mesh, not at every regrid that may change it (a
// decaying run has cells below the merge threshold at every step), and kept in the run at its
// live nodes. Not on a moving mesh, whose nodes move at every step.
static void keep_start(pde *p, TimeRun *run, const vector2d *start) {
  run->start_current = !p->moving;
  if (run->start_current) copy_levels(&run->start_values, start);
}

// The start's values at the nodes of the present mesh in start, the other variables' and the
// dead nodes' those of the present solution.
static void start_at_nodes(pde *p, TimeRun *run, vector2d *start) {
  copy_levels(start, &p->solution);
  int32_t F = std::min<int32_t>(p->nfield, start->count);
  if (!run->start_current) {
    const double t0[2] = {p->starttime_value, p->starttime_value};
    init_start_values(p, start, t0);
    keep_start(p, run, start);
    return;
  }
  const Mesh &m = p->mesh;
  for (int32_t k = 1; k <= F && k <= run->start_values.count; k++) {
    vectord &s = start->data[k - 1];
    const vectord &kept = run->start_values.data[k - 1];
    for (int32_t n = 0; n < s.count && n < kept.count && n < m.nodes.count; n++)
      if (m.nodes.data[n].alive) s.data[n] = kept.data[n];
  }
}

// A split hands the new nodes the parent cell's polynomial, and with it what the coarse state
// holds that the finer mesh resolves as short modes: a centred step carries those undamped (in
// a wave's rate they grow with their frequency), the estimate reads them as error, and each
// regrid asks for the next (a damped wave at ERRLIM 1e-5 went to 8,000 nodes, its rate 2e-3
// off). While a variable is still near its start (its change on the last two levels under a
// quarter of the start's size), its levels are carried as the start's expressions at the new
// nodes plus the carried change since the start, so the new mesh takes the start it would
// have started from and only the change's short modes. Returns per field variable whether it
// is so carried, its levels then holding the change; start holds the start on the old mesh.
static std::vector<bool> take_start_off(pde *p, TimeRun *run, vector2d *start) {
  int32_t F = std::min<int32_t>(p->nfield, p->solution.count);
  std::vector<bool> near(size_t(std::max(F, 0)), false);
  if (run->left_start || F <= 0 || p->startjump || p->smoothinit || p->formulas.initregion.count < F) return near;
  copy_levels(start, &p->solution);
  const double t0[2] = {p->starttime_value, p->starttime_value};
  if (run->start_of_place < 0) {
    init_start_values(p, start, t0);
    // The start is carried so only when its expressions are a function of place: evaluated
    // again over the values they just gave, they give the same. A start that draws random
    // numbers, or reads the variables' present values, would otherwise be taken off as one
    // field and put back as another, at every node of every regrid (noise of 0.01 in a heat
    // run was drawn anew at each regrid and grew to 0.05 where it should decay).
    vector2d again{};
    copy_levels(&again, start);
    init_start_values(p, &again, t0);
    bool same = true;
    for (int32_t k = 1; k <= F && same; k++)
      same =
          again.data[k - 1].count == start->data[k - 1].count &&
          std::equal(again.data[k - 1].data, again.data[k - 1].data + again.data[k - 1].count, start->data[k - 1].data);
    vector2d_free(&again, 1);
    run->start_of_place = same;
    if (!same) {
      run->left_start = true;
      return near;
    }
    keep_start(p, run, start);
  } else {
    start_at_nodes(p, run, start);
  }
  vector2d *levels[] = {&p->solution, &p->uold, &p->um1, &p->um2};
  for (int32_t k = 1; k <= F; k++) {
    const vectord &s = start->data[k - 1];
    double size = 0, change = 0;
    for (int32_t n = 0; n < s.count; n++) size = std::max(size, std::fabs(s.data[n]));
    for (vector2d *l : {&p->solution, &p->uold}) {
      if (l->count < k || l->data[k - 1].count != s.count) change = HUGE_VAL;
      else
        for (int32_t n = 0; n < s.count; n++) change = std::max(change, std::fabs(l->data[k - 1].data[n] - s.data[n]));
    }
    if (!(std::isfinite(size) && size > 0 && change <= 0.25 * size)) continue;
    near[size_t(k - 1)] = true;
    for (vector2d *l : levels)
      if (l->count >= k && l->data[k - 1].count == s.count)
        for (int32_t n = 0; n < s.count; n++) l->data[k - 1].data[n] -= s.data[n];
  }
  run->left_start = std::find(near.begin(), near.end(), true) == near.end();
  return near;
}

// The start added back to the levels take_start_off took it off: evaluated at the nodes of
// the new mesh when the mesh changed, else the one taken off.
static void put_start_back(pde *p, TimeRun *run, vector2d *start, const std::vector<bool> &near, bool changed) {
  if (std::find(near.begin(), near.end(), true) == near.end()) return;
  if (changed) start_at_nodes(p, run, start);
  vector2d *levels[] = {&p->solution, &p->uold, &p->um1, &p->um2};
  for (size_t k = 0; k < near.size(); k++) {
    if (!near[k]) continue;
    const vectord &s = start->data[k];
    for (vector2d *l : levels)
      if (size_t(l->count) > k && l->data[k].count == s.count)
        for (int32_t n = 0; n < s.count; n++) l->data[k].data[n] += s.data[n];
  }
}

// Refines and merges by the cell errors; every level goes with the mesh. Returns the
// refiner's count of changes.
static int32_t regrid(pde *p, TimeRun *run, bool hit) {
  double merge = p->mergerr < 0 ? 0.1 : p->mergerr;
  if (run->jump_error > 0) {
    if (p->rmserr > p->errlim && p->rmserr < run->jump_error) {
      run->jump_error = p->rmserr;
      return 0;
    }
    run->jump_error = 0;
  }
  if (run->held_error > 0 && at_node_limit(p) && p->rmserr >= 0.5 * run->held_error &&
      p->rmserr <= 1.1 * run->held_error)
    return 0;
  run->held_error = 0;
  // A mesh that meets the limit as a whole (its RMS error) is kept unless a cell is four times
  // past it (a feature arriving): splitting the few cells a little above it at every step
  // makes new short modes each time, which the estimate then reads.
  double split_at = p->errlim;
  if (!(p->rmserr > p->errlim) && !(p->maxerr > 4 * p->errlim)) split_at = HUGE_VAL;
  // The start is taken off, and the refiner run, only for a regrid that may change the mesh (a
  // cell to split or to merge, or curved cells the refiner splits whatever their estimate).
  bool may_change = refiner_splits_unasked(&p->mesh);
  for (int32_t c = 1; c <= p->mesh.cells.count && !may_change; c++) {
    const MeshCell &mc = p->mesh.cells.data[c - 1];
    may_change = mc.alive && (mc.error > split_at || (p->merge && !hit && mc.error < p->errlim * merge));
  }
  vector2d start{};
  std::vector<bool> near;
  if (may_change) near = take_start_off(p, run, &start);
  int32_t changes = may_change ? refiner_refine(p, &p->mesh, split_at, p->errlim * merge, p->nodelimit, &p->carried,
                                                uint8_t(p->merge && !hit))
                               : 0;
  if (changes > 0) layout(p, run);
  if (changes > 0) run->start_current = false;
  put_start_back(p, run, &start, near, changes > 0);
  vector2d_free(&start, 1);
  if (changes > 0 && at_node_limit(p) && 100 * int64_t(changes) < p->mesh.cells.count - p->mesh.delcells)
    run->held_error = p->rmserr;
  if (p->mesh.nodes.count - p->mesh.delnodes >= p->nodelimit && !run->node_limit_met) {
    run->node_limit_met = true;
    cgsolve_log_note(p, "NODE LIMIT");
  }
  if (changes > 0) {
    // New boundary nodes hold their value conditions on every level, each at its time.
    const std::pair<vector2d *, double> levels[] = {
        {&p->solution, p->time}, {&p->uold, p->told}, {&p->um1, p->tm1}, {&p->um2, p->tm2}};
    for (const auto &[level, at] : levels) {
      const double tt[2] = {at, at};
      coupling_set_bvals_0(p, level, tt);
    }
    doplot_status_mesh(p);  // the status panel pictures the mesh it reports
    fitting_invalidate_fits(p, 1);
    plot2d_invalidate_plotmeshes(p);  // plots of a later time are cut from the new mesh
    report_panel.tr_status(p);
  }
  return changes;
}

timsolve_ops timsolve_stepper{layout, first_udot, start_residual, onestep, check_timestep, measure, regrid};

// A mesh that a regrid of the start's first steps refined is given the state it would have had
// from the start: the start evaluated at its nodes and the steps taken so far solved again on
// it (no outputs, histories or log lines). Carried over instead, the state holds what the
// coarser meshes before got wrong, which the finer mesh keeps: in a wave nothing damps it (a
// damped wave kept the 75-node start's error of 3e-4 in its rate on a mesh whose own error
// was 4e-5, and read it as error to refine further). Only in a run with such a variable (a
// diffused one damps what the coarse meshes left, and solving again a run whose layers asked
// for 90,000 nodes cost it five times its steps), while the run is near its start
// (see take_start_off), within its first start_replay_steps steps, and up to replay_budget
// steps solved again in all; a regrid that only merges keeps the state it carries (merging a
// few cells at each step, a mode on a square took five times as long solving again).
constexpr int32_t start_replay_steps = 128, replay_budget = 256;

// Whether each field variable's own equation holds a spatial operator on it: its rows of the
// step matrix, over its own columns, are not one multiple of its rows of the time matrix (a
// reaction, or no term of its own, is). Rows about value conditions, which lose columns to
// them, are not judged. Nothing damps the error a coarse mesh leaves in a variable its own
// equation does not diffuse, as the rate of a wave written as two variables.
static std::vector<char> diffused_variables(pde *p) {
  int32_t V = std::min<int32_t>(p->nfield, nvariables(p));
  std::vector<char> out(size_t(std::max(V, 0)) + 1, 0);
  std::vector<int32_t> owner(size_t(std::max(p->nt, 0)) + 1, 0);
  for (int32_t k = 1; k <= V; k++) {
    const vectorl &r = rows_of(p, k);
    for (int32_t i = 0; i < r.count; i++)
      if (r.data[i] >= 1 && r.data[i] <= p->nt) owner[size_t(r.data[i])] = k;
  }
  std::vector<char> near(size_t(p->mesh.nodes.count) + 1, 0);
  for (int32_t k = 1; k <= V && k <= p->valuenodes.count; k++) {
    const vectorl &nodes = p->valuenodes.data[k - 1];
    for (int32_t i = 0; i < nodes.count; i++) {
      const MeshNode &nd = p->mesh.nodes.data[nodes.data[i] - 1];
      for (int32_t c = 0; c < nd.nodecell.count; c++) {
        const MeshCell &cell = p->mesh.cells.data[nd.nodecell.data[c] - 1];
        for (int32_t a = 0; a < cell.nodes.count; a++) near[size_t(cell.nodes.data[a])] = 1;
      }
    }
  }
  auto entry = [](const vectorld &row, int32_t c) {
    for (int32_t e = 0; e < row.count; e++)
      if (row.keys[e] == c) return row.values[e];
    return 0.0;
  };
  for (int32_t k = 1; k <= V; k++) {
    const vectorl &rows = rows_of(p, k);
    for (int32_t n = 1; n <= rows.count && n <= p->mesh.nodes.count && !out[size_t(k)]; n++) {
      int32_t r = rows.data[n - 1];
      if (near[size_t(n)] || !p->mesh.nodes.data[n - 1].alive || r < 1 || r > p->nt || r > p->matrix.rows ||
          r > p->tmatrix.rows)
        continue;
      const vectorld &a = p->matrix.data[r - 1], &t = p->tmatrix.data[r - 1];
      double d = entry(t, r);
      if (d == 0) continue;
      double lambda = entry(a, r) / d, size = 0, off = 0;
      for (int32_t e = 0; e < a.count; e++)
        if (a.keys[e] <= p->nt && owner[size_t(a.keys[e])] == k) {
          size += std::fabs(a.values[e]);
          off = std::max(off, std::fabs(a.values[e] - lambda * entry(t, a.keys[e])));
        }
      for (int32_t e = 0; e < t.count; e++)
        if (t.keys[e] <= p->nt && owner[size_t(t.keys[e])] == k) {
          size += std::fabs(lambda * t.values[e]);
          off = std::max(off, std::fabs(entry(a, t.keys[e]) - lambda * t.values[e]));
        }
      out[size_t(k)] = off > 1e-8 * size;
    }
  }
  out.erase(out.begin());
  return out;
}

static bool start_replayable(pde *p, TimeRun *run) {
  int32_t n = int32_t(run->start_steps.size());
  return run->undamped == 1 && !run->left_start && n > 0 && n <= start_replay_steps &&
         run->replayed + n <= replay_budget && !p->startjump && !p->smoothinit && p->nscalar == 0 && !p->fixdt &&
         p->formulas.initregion.count >= p->nfield && !halted(p);
}

// The levels move back one step: the present becomes the old, the old the one before, and
// so on; the times with them.
static void shift_levels(pde *p) {
  copy_levels(&p->um2, &p->um1);
  copy_levels(&p->um1, &p->uold);
  copy_levels(&p->uold, &p->solution);
  copy_levels(&p->udotold, &p->udot);
  vectord_copyto_0(&p->rold, &p->rnew);
  vectord_copyto_0(&p->mold, &p->mnew);
  p->tm2 = p->tm1;
  p->tm1 = p->told;
  p->told = p->time;
}

static void replay_start(pde *p, TimeRun *run, const timsolve_ops &ops) {
  const double t0 = p->starttime_value, tt[2] = {t0, t0};
  const double dt = p->dt, dtnext = p->dtnext, dtlast = p->dtlast;
  init_start_again(p, &p->solution, tt);
  for (vector2d *l : {&p->uold, &p->um1, &p->um2}) copy_levels(l, &p->solution);
  p->told = p->time = p->tm1 = p->tm2 = t0;
  p->dt = run->start_steps.front() - t0;
  ops.first_udot(p, run, t0);
  ops.start_residual(p, run, t0, p->dt);
  double t = t0;
  bool rebuild = true;
  for (double tnew : run->start_steps) {
    shift_levels(p);
    p->time = tnew;
    p->dt = tnew - t;
    ops.onestep(p, run, t, tnew, rebuild);
    if (halted(p)) break;
    hold_ranges(p, run, &p->solution, false);
    rebuild = p->nonlinear || run->fixed.timed;
    run->replayed++;
    t = tnew;
  }
  p->dt = dt, p->dtnext = dtnext, p->dtlast = dtlast;
  fitting_invalidate_fits(p, 3);
}

// ---- The step loop ---------------------------------------------------------------------------

// The first step: DELTAT, else a ten-thousandth of the range, else 0.0001.
static double first_step(pde *p) {
  double dt = p->deltat > 0 ? p->deltat : 0.0;
  if (dt == 0) dt = (p->endtime - p->starttime_value) * 0.0001;
  if (dt == 0) dt = 0.0001;
  return dt;
}

// The spatial error estimate of a step is read by the regrid, the status panel on
// screen, and the plots and exports (their titles and files carry it). A batch run that
// does not regrid measures its first step, the steps whose outputs are due and its last
// one; the run log's lines between carry the estimate last measured. (The step-residual
// estimates reuse the step's rows as work space, so they run after every step.)
static bool estimate_read(pde *p, int32_t cycle, bool final) {
  if (p->regrid || p->estimator != 0 || !settings.batch || cycle <= 1 || final || p->error || p->stop) return true;
  for (int32_t k = 1; k <= p->timerecs.count; k++)
    if (output_due(p, &p->timerecs.data[k - 1], p->time, p->dtnext, cycle, false)) return true;
  return false;
}

// The divergence stop, with the time the run reached.
[[noreturn]] static void diverged(pde *p) {
  char text[160];
  snprintf(text, sizeof text,
           "Solution Diverged at t = %g: values or their error estimate past any sense in a time step", p->time);
  String m{};
  strings_copyto_1(&m, text);
  report_exec_err_0(p, &m);
}

// A step whose values are not numbers, or 1e20 times the largest the variable had at the
// start, or whose spatial error estimate exceeds a million times the solution's range, has
// left any meaning behind: the run ends with an error rather than with such an answer.
static void check_diverged(pde *p, TimeRun *run, bool measured) {
  bool sane = true;
  int32_t V = run->run_ranges.count / 2;
  for (int32_t k = 1; k <= nvariables(p) && sane; k++) {
    const vectord &u = p->solution.data[k - 1];
    double start = k <= V ? run->run_ranges.data[V + k - 1] : 0.0, most = 1e20 * (start > 0 ? start : 1.0);
    for (int32_t i = 0; i < u.count && sane; i++) sane = std::fabs(u.data[i]) <= most;
  }
  if (sane && !(measured && !(p->rmserr <= 1e6))) return;
  diverged(p);
}

// A floating-point trap while a time run steps that no expression of the descriptor
// places (an overflow in the matrices of a solution that blows up) is the run's
// divergence at the time it reached, not an internal failure. The hooks in force when
// the run began are back when it ends by any way.
static RtlibFpHook outer_trap_report = nullptr;
static void step_trap(const char *text) {
  if (outer_trap_report) outer_trap_report(text);  // reports a trap an expression places
  if (report_current) diverged(report_current);
}
struct TrapsDiverge {
  RtlibFpHold hold;
  RtlibFpHook report, outer;
  TrapsDiverge() {
    rtlib_get_fp_hook(&hold, &report);
    outer = outer_trap_report;
    outer_trap_report = report;
    rtlib_set_fp_hook(hold, step_trap);
  }
  ~TrapsDiverge() {
    rtlib_set_fp_hook(hold, report);
    outer_trap_report = outer;
  }
  TrapsDiverge(const TrapsDiverge &) = delete;
  TrapsDiverge &operator=(const TrapsDiverge &) = delete;
};

// The outputs of a step read each rate at the step's end, not the step's mean rate (which
// is the rate half a step earlier: a mode decaying by 7% over the step read 7% off). The end
// rate is the derivative at the step's end of the polynomial through the last levels (four
// once there are, else three); the first step, or one that restored its start, keeps the
// step's rate. The step's rates are saved in step_rates and p->udot takes the end rates;
// false when they are the same.
static bool take_end_rates(pde *p, TimeRun *run) {
  const double t[4] = {p->time, p->told, p->tm1, p->tm2};
  int n = !(t[0] > t[1]) || !(t[1] > t[2]) ? 0 : t[2] > t[3] ? 4 : 3;
  if (n == 0) return false;
  // c[j]: the weight of level j in the derivative at t[0] of the interpolating polynomial.
  double c[4] = {0, 0, 0, 0};
  for (int m = 1; m < n; m++) c[0] += 1 / (t[0] - t[m]);
  for (int j = 1; j < n; j++) {
    double num = 1, den = 1;
    for (int m = 1; m < n; m++)
      if (m != j) num *= t[0] - t[m];
    for (int m = 0; m < n; m++)
      if (m != j) den *= t[j] - t[m];
    c[j] = num / den;
  }
  copy_levels(&run->step_rates, &p->udot);
  for (int32_t k = 1; k <= nvariables(p); k++) {
    if (!has_rate(p, k)) continue;
    const vectord *u[4] = {&p->solution.data[k - 1], &p->uold.data[k - 1], &p->um1.data[k - 1], &p->um2.data[k - 1]};
    vectord &r = p->udot.data[k - 1];
    for (int32_t i = 0; i < r.count; i++) {
      double d = 0;
      for (int j = 0; j < n; j++) d += c[j] * (i < u[j]->count ? u[j]->data[i] : 0.0);
      r.data[i] = d;
    }
  }
  return true;
}

static void end_of_step(pde *p, TimeRun *run, int32_t cycle, bool final) {
  // While a start's jump is held its layer is not resolved, and the step's overshoot there
  // is no size of the solution's.
  hold_ranges(p, run, run->jump_error > 0 ? nullptr : &p->solution, false);
  bool measured = estimate_read(p, cycle, final);
  if (measured) timsolve_stepper.measure(p, run, p->told, p->time);
  check_diverged(p, run, measured);
  report_panel.tr_status(p);
  timsolve_log_step(p);
  fitting_invalidate_fits(p, 3);
  bool ends = take_end_rates(p, run);
  if (p->histories.count > 0) doplot_history_point(p, p->solution.data, p->time);
  timsolve_showplots(p, p->time, p->dtnext, cycle);
  // The next step goes on from the step's rates; what was derived from the end rates is stale.
  if (ends) {
    copy_levels(&p->udot, &run->step_rates);
    fitting_invalidate_fits(p, 3);
  }
}

int32_t timsolve_evolve(pde *p, int32_t) {
  TrapsDiverge traps;
  TimeRun run;
  return timsolve_run(p, &run);
}

TimeRun::~TimeRun() {
  for (vectord *v : {&pass_sizes, &fixed.u, &fixed.udot, &fixed.f, &run_ranges, &run_sizes, &source_old, &source_end})
    vectord_free(v);
  // The split sources and their fixed part serve the run's steps alone.
  vectord_free(&step_fixed_source);
  coupling_release_split();
  vector2d_free(&step_rates, 1);
  vector2d_free(&start_values, 1);
  vector2d_free(&source_error, 1);
}

int32_t timsolve_run(pde *p, TimeRun *run) {
  TRACE("timsolve_evolve");
  const timsolve_ops &ops = timsolve_stepper;
  // 1-3. Counters, the first step, the start time.
  p->cycle = 0;
  run->nratios = 0;
  run->node_limit_met = false;
  run->held_error = 0;
  run->jump_error = p->startjump ? HUGE_VAL : 0;
  run->left_start = false;
  run->start_of_place = -1;
  run->start_current = false;
  run->start_steps.clear();
  run->replayed = 0;
  run->undamped = -1;
  run->unstable_current = false;
  if (p->iterate == 0) p->iterate = 500;
  double dt = first_step(p);
  p->told = p->time = p->tm1 = p->tm2 = p->starttime_value;
  p->dt = p->dtnext = dt;
  // 4-5. Layout and the initial slope, which may cut the first step.
  ops.layout(p, run);
  double slope = ops.first_udot(p, run, p->told);
  if (!p->fixdt && slope > 0 && p->dt > p->errlim / slope) {
    double cut = p->errlim / slope;
    if (timsolve_debug)
      debug_printf("INITIAL TIMESTEP CUT FROM %g TO %g BECAUSE OF INITIAL SLOPE=%g\n", p->dt, cut, slope);
    p->dt = p->dtnext = cut;
  }
  run->least_step = 1e-12 * p->dt;
  // 6-7. The start's residual, history sample and plots.
  bool rebuild = true;
  ops.start_residual(p, run, p->told, p->dt);
  doplot_history_point(p, p->solution.data, p->starttime_value);
  timsolve_showplots(p, p->told, p->dt, 0);
  // The loop's end test also before the first step: an empty range makes no step.
  bool ended = !(p->time + 0.0001 * p->dt <= p->endtime) || halted(p);
  while (!ended) {
    // 1. Shift the levels.
    p->cycle++;
    shift_levels(p);
    p->dtlast = p->dt;
    bool hit = false, last = false;
    // 2. Attempts.
    for (;;) {
      report_panel.tr_status(p);
      // Without HALT, repeated rejections end where the step no longer moves the time
      // or has fallen twelve orders below the run's first step: the same message, not
      // a step of 0.
      if (p->dtnext < p->haltdt || !(p->told + p->dtnext > p->told) || p->dtnext < run->least_step) {
        String msg{}, cap{};
        strings_copyto_1(&msg, "Timestep is below threshhold");
        strings_copyto_1(&cap, "HALT");
        report_error_message(p->pdeview, &msg, &cap);
        strings_free_0(&msg);
        strings_free_0(&cap);
        // The run ends here: what the histories sampled so far is shown and printed.
        if (p->histories.count > 0) doplot_show_plots(p, &p->histories);
        p->stop = 1;
        return 10;
      }
      p->dt = p->dtnext;
      hit = false;
      double T = timsolve_next_plot_time(p, p->told);
      if (T - p->told < 1.1 * p->dt) {
        p->dt = T - p->told;
        hit = true;
      }
      // A step ends where a condition of the time switches a source or a coefficient.
      double cut = coupling_next_switch(p, run->switches, p->told, p->told + p->dt);
      if (cut < p->told + p->dt) {
        p->dt = cut - p->told;
        hit = true;
      }
      p->time = p->told + p->dt;
      report_panel.report_time(p, p->lines.elapsed);
      if (p->lines.dt) display_force_real(&p->status, p->lines.dt, p->dt);
      ops.onestep(p, run, p->told, p->time, rebuild);
      if (p->stop || p->error) {
        p->dt = p->dtnext;
        report_panel.tr_status(p);
        return 8;
      }
      double proposal = p->dtnext;
      if (p->fixdt) break;
      run->nratios = uint16_t(std::min(run->nratios + 1, 4));
      for (int32_t k = run->nratios; k >= 1; k--) run->ratios[k] = run->ratios[k - 1];
      double ratio = ops.check_timestep(p, run);
      run->ratios[0] = ratio;
      if (ratio > 1) {
        double dtp = p->dt / std::sqrt(ratio);
        if (dtp >= 0.5 * p->dt) {
          p->dtnext = std::min(dtp, p->tgrowth * p->dtnext);
          break;
        }
        p->dtnext = dtp < 0.01 * p->dt ? 0.1 * p->dt : 0.5 * p->dt;
        copy_levels(&p->solution, &p->uold);
        copy_levels(&p->udot, &p->udotold);
        // The restored solution belongs to t, also for the output of a stop.
        p->time = p->told;
        if (halted(p)) {
          p->dtnext = std::min(dtp, p->tgrowth * p->dtnext);
          last = true;
          break;
        }
        continue;
      }
      double candidate;
      if (hit) {
        candidate = proposal;
      } else {
        double mean = 0;
        for (int32_t k = 0; k < run->nratios; k++) mean += run->ratios[k];
        mean /= run->nratios;
        candidate = mean >= 1 ? proposal : mean > 0 ? p->dtnext / std::sqrt(mean) : p->tgrowth * p->dtnext;
      }
      p->dtnext = std::min(candidate, p->tgrowth * p->dtnext);
      break;
    }
    if (!p->fixdt && !last) limit_carried_error(p, run);
    run->after_implicit = run->implicit_step;
    run->implicit_step = false;
    if (!run->left_start && run->start_steps.size() <= size_t(start_replay_steps)) run->start_steps.push_back(p->time);
    // 3-4. Spatial error, status, log, histories and plots.
    end_of_step(p, run, int32_t(p->cycle), last || !(p->time + 0.0001 * p->dt <= p->endtime) || halted(p));
    // The spatial error the carried limit reads: measured at every step of a run that regrids,
    // else that of the first step's fixed mesh (not of whichever step an output measured).
    if (p->regrid || p->cycle == 1) run->carried_mesh_error = p->rmserr;
    if (last) break;
    // 5-6. Regrid.
    rebuild = p->nonlinear || run->fixed.timed;
    int32_t live = p->mesh.nodes.count - p->mesh.delnodes;
    if (p->regrid && run->undamped < 0 && !run->left_start) {
      std::vector<char> diffused = diffused_variables(p);
      run->undamped = std::find(diffused.begin(), diffused.end(), 0) != diffused.end();
    }
    if (p->regrid && !halted(p) && ops.regrid(p, run, hit) > 0) {
      rebuild = true;
      run->implicit_step = run->stiff_start;
      if (p->mesh.nodes.count - p->mesh.delnodes > live && start_replayable(p, run)) replay_start(p, run, ops);
    }
    // 7. Next step.
    ended = !(p->time + 0.0001 * p->dt <= p->endtime) || halted(p);
  }
  p->dt = p->dtnext;
  report_panel.tr_status(p);
  return 8;
}
