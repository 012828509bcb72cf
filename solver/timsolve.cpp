// timsolve: the implicit theta time stepper with adaptive steps. The step loop (levels,
// attempts, step control, timed output, regrids) is here; the assembly, solve and mesh
// work of a step go through timsolve_stepper.
// The path of a time run: timsolve_run (solver/timsolve.cpp) calls through timsolve_stepper
// layout, first_udot and start_residual (timsolve_step.cpp) at the start and on every new mesh;
// per step onestep (timsolve_step.cpp), check_timestep (timsolve_error.cpp), measure
// (measures_time.cpp) and regrid (timsolve_regrid.cpp, with the start replay).
#include "solver/timsolve_internal.h"

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
#include "solver/measures.h"
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


int timsolve_init() {
  TRACE("timsolve");
  cell = cellnode_work;
  return 0;
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

// ---- The stepper -------------------------------------------------------------------------------

timsolve_ops timsolve_stepper{layout, first_udot, start_residual, onestep, check_timestep, measure, regrid};

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
// the run began are back when it ends by any way. The trap hook takes no context, so the
// hook it wraps waits here while the run's guard lives; the guard puts it back, and
// nothing carries to the next run.
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

// The largest magnitude of any field variable's values.
static double largest_magnitude(pde *p) {
  double most = 0;
  for (int32_t k = 1; k <= p->nfield && k <= p->solution.count; k++) {
    const vectord &u = p->solution.data[k - 1];
    for (int32_t n = 0; n < u.count; n++) most = std::max(most, std::fabs(u.data[n]));
  }
  return most;
}

// A decay (see decaying, timsolve_regrid.cpp) whose last estimate asked no split keeps it
// while its values only shrink: the mesh's error shrinks with them, so no regrid can split,
// and a merge waits for the next reading. The estimate is read again every measure_every
// steps, at outputs and at the end (estimate_read), and at once when a value has grown. (Read
// at every step, the estimate was a third of a cooling square's work.)
static bool estimate_kept(pde *p, TimeRun *run, bool final) {
  constexpr int32_t measure_every = 8;
  double level = p->errlim * run->spatial_share;
  if (final || !run->decaying || !p->regrid || run->measured_cycle <= 0 ||
      int32_t(p->cycle) - run->measured_cycle >= measure_every || !(p->rmserr <= level) || !(p->maxerr <= 4 * level))
    return false;
  for (int32_t k = 1; k <= p->timerecs.count; k++)
    if (output_due(p, &p->timerecs.data[k - 1], p->time, p->dtnext, int32_t(p->cycle), false)) return false;
  return largest_magnitude(p) <= run->measured_size;
}

static void end_of_step(pde *p, TimeRun *run, int32_t cycle, bool final) {
  // While a start's jump is held its layer is not resolved, and the step's overshoot there
  // is no size of the solution's.
  hold_ranges(p, run, run->jump_error > 0 ? nullptr : &p->solution, false);
  bool measured = estimate_read(p, cycle, final) && !estimate_kept(p, run, final);
  if (measured) timsolve_stepper.measure(p, run, p->told, p->time);
  if (measured) run->measured_cycle = cycle, run->measured_size = largest_magnitude(p);
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
  for (vectord *v : {&pass_sizes, &fixed.u, &fixed.udot, &fixed.f, &run_ranges, &run_sizes, &source_old, &source_end,
                     &last_correction})
    vectord_free(v);
  // The split sources and their fixed part serve the run's steps alone.
  vectord_free(&step_fixed_source);
  coupling_release_split(this);
  vector2d_free(&step_rates, 1);
  vector2d_free(&start_values, 1);
  vector2d_free(&source_error, 1);
}

// After a switch the values bend: the levels before it belong to the sources before it. The
// step error reads the next steps' differences over the levels, so the two levels it reads
// with the switch's own are set along the new rate, as though the run had always gone so:
// the first steps past the switch are judged by their own bend, as the run's first steps
// are (by the change of rate), not by the switch's.
static void levels_along_rate(pde *p) {
  for (int32_t k = 1; k <= p->solution.count && k <= p->udot.count; k++) {
    const vectord &u = p->solution.data[k - 1], &d = p->udot.data[k - 1];
    for (auto [level, t] : {std::make_pair(&p->uold, p->told), std::make_pair(&p->um1, p->tm1)}) {
      if (k > level->count) continue;
      vectord &v = level->data[k - 1];
      for (int32_t i = 0; i < v.count && i < u.count && i < d.count; i++)
        v.data[i] = u.data[i] - (p->time - t) * d.data[i];
    }
  }
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
  run->decaying = false;
  run->start_size.clear();
  run->measured_cycle = 0;
  run->measured_size = 0;
  run->left_start = false;
  run->start_of_place = -1;
  run->start_current = false;
  run->start_steps.clear();
  run->replayed = 0;
  run->undamped = -1;
  run->phase_kept = -1;
  run->mesh_steps = 1 << 30;
  run->unstable_current = false;
  run->start_calibration = 0;
  run->spatial_share = 1;
  run->step_share = 1;
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
  // The floor's small cells are weighed against the mean cell of the mesh the start's refinement
  // began from, which its cells keep where the start did not split them. A start's jump held at
  // the walls fills the start's mesh with the layer's small cells (the start's node cap is ten
  // times the first mesh, most of it at the walls): weighed against their own mean, the layer
  // kept splitting after the hold and its cells merged late or never (a cube kept 17,574 of its
  // 20,630 nodes to the end, a cooled square 5,622 where 2,749 hold its answers as closely).
  if (p->startjump) run->floor_area = measures_mean_cell(p, true);
  // 6-7. The start's residual, history sample and plots.
  bool rebuild = true;
  ops.start_residual(p, run, p->told, p->dt);
  doplot_history_point(p, p->solution.data, p->starttime_value);
  timsolve_showplots(p, p->told, p->dt, 0);
  // The loop's end test also before the first step: an empty range makes no step.
  bool ended = !(p->time + 0.0001 * p->dt <= p->endtime) || halted(p);
  // Without HALT, a step that has collapsed to a billionth of the time range and a
  // millionth of the longest step taken ends the run as a step below HALT does: the
  // solution runs away (an ill-posed equation, a feedback that blows up in finite time)
  // and each rejection would only halve the step and refine the mesh again, without end.
  double widest = 0, span = std::fabs(p->endtime - p->starttime_value);
  // A step cut at a switch ends on the switch's last time before the change; the step after
  // it first crosses the change alone, to the time just past it (a billionth of the cut step).
  bool crossing = false;
  double crossing_to = 0;
  while (!ended) {
    // 1. Shift the levels.
    p->cycle++;
    shift_levels(p);
    p->dtlast = p->dt;
    bool hit = false, last = false, crossed = false, cross = crossing;
    // 2. Attempts.
    for (;;) {
      report_panel.tr_status(p);
      // Without HALT, repeated rejections end where the step no longer moves the time,
      // has fallen twelve orders below the run's first step or has collapsed: the same
      // message, not a step of 0.
      bool collapsed = !(p->haltdt > 0) && p->dtnext < 1e-9 * span && p->dtnext < 1e-6 * widest;
      if (p->dtnext < p->haltdt || !(p->told + p->dtnext > p->told) || p->dtnext < run->least_step || collapsed) {
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
      crossing = false;
      crossed = cross && crossing_to > p->told;
      cross = false;  // once: a crossing rejected is cut as any step
      if (crossed) {
        p->dt = std::min(p->dt, crossing_to - p->told);
        hit = true;
      } else {
        double cut = coupling_next_switch(p, run->switches, p->told, p->told + p->dt);
        if (cut < p->told + p->dt) {
          // The cut lies within a billionth of the step before the change.
          crossing = true;
          crossing_to = cut + 1e-9 * p->dt;
          p->dt = cut - p->told;
          hit = true;
        }
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
      // A decay whose mesh takes the larger share of the error holds its steps to the rest (see
      // spatial_share, timsolve_regrid.cpp).
      double ratio = ops.check_timestep(p, run) / run->step_share;
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
    widest = std::max(widest, p->dt);
    // The crossing of a switch is too short to carry error, and its ratio, read over its own
    // length, would forecast none for the steps after it.
    if (!p->fixdt && !last && !crossed) limit_carried_error(p, run);
    if (!p->fixdt && !last) hold_step(p, run, hit);
    run->after_implicit = run->implicit_step;
    run->implicit_step = false;
    if (!run->left_start && run->start_steps.size() <= size_t(start_replay_steps)) run->start_steps.push_back(p->time);
    // 3-4. Spatial error, status, log, histories and plots.
    end_of_step(p, run, int32_t(p->cycle), last || !(p->time + 0.0001 * p->dt <= p->endtime) || halted(p));
    // The spatial error the carried limit reads: measured at every step of a run that regrids,
    // else that of the first step's fixed mesh (not of whichever step an output measured).
    // A decay's estimate is held to what it leaves at the next output (spatial_share): that is the
    // part the answers carry.
    if (p->regrid || p->cycle == 1) run->carried_mesh_error = p->rmserr / run->spatial_share;
    if (last) break;
    // 5-6. Regrid.
    rebuild = p->nonlinear || run->fixed.timed;
    if (crossed) {
      // The next step starts from the rate of the switched sources, not from the rate
      // before the switch: the step error would read that jump as the step's own, at any
      // step length. The rate's solve overwrote D, so the next step builds it again.
      switched_udot(p, run, p->time);
      levels_along_rate(p);
      rebuild = true;
    }
    int32_t live = p->mesh.nodes.count - p->mesh.delnodes;
    if (p->regrid && run->undamped < 0 && !run->left_start) {
      std::vector<char> diffused = diffused_variables(p);
      run->undamped = std::find(diffused.begin(), diffused.end(), 0) != diffused.end();
    }
    if (p->regrid && !halted(p) && ops.regrid(p, run, hit) > 0) {
      run->mesh_steps = 0;  // the next steps' differences read interpolated levels
      rebuild = true;
      run->implicit_step = run->stiff_start;
      if (p->mesh.nodes.count - p->mesh.delnodes > live && start_replayable(p, run)) {
        replay_start(p, run, ops);
        run->mesh_steps = 1 << 30;  // the levels were solved again on the new mesh
      }
    }
    // 7. Next step.
    ended = !(p->time + 0.0001 * p->dt <= p->endtime) || halted(p);
  }
  p->dt = p->dtnext;
  report_panel.tr_status(p);
  return 8;
}
