// timsolve: the implicit theta time stepper with adaptive steps. The step loop (levels,
// attempts, step control, timed output, regrids) is here; the assembly, solve and mesh
// work of a step go through timsolve_stepper.
#include "solver/timsolve.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "control/pdedat.h"
#include "elements/cellnode.h"
#include "plot/doplot.h"
#include "runtime/bopmem.h"
#include "runtime/debug.h"
#include "runtime/rtlib.h"
#include "solver/fitting.h"

timsolve_ops timsolve_stepper{};

// The step-ratio history (newest first) and its fill count, reset at each run.
static double ratios[5];
static uint16_t nratios = 0;
// The module's localised cell: the program-wide work cell.
static LocalCell *cell = nullptr;

int timsolve_init() {
  TRACE("timsolve");
  cell = cellnode_work;
  return 0;
}

// ---- Norm helpers, third difference -------------------------------------------------------

double timsolve_weight(double x, int32_t selector) {
  TRACE("timsolve_weight");
  double x2 = x * x;
  switch (selector) {
    case 0: case 1: return x2;
    case 2: return x2 * x2;
    case 3: return x2 * x2 * x2 * x2;
    case 4: { double x8 = x2 * x2 * x2 * x2; return x8 * x8; }
  }
  rtlib_fatal_in("timsolve_weight", "Bad Norm Selector");
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

double timsolve_third_difference(double a, double b, double c, double A, double B, double C, double D) {
  double q = (c - b) / a - (c - a) / b + (b - a) / c;
  double k = c * c / (a * b * q);
  return k * ((A - C) * (c - b) / a - (B - C) * (c - a) / b + (D - C) * (b - a) / c);
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

void timsolve_showplots(pde *p, double time, double step, int32_t cycle) {
  TRACE("timsolve_showplots");
  double saved = p->time;
  p->time = time;
  bool any = false;
  for (int32_t k = 1; k <= p->timerecs.count; k++) {
    timerec *r = &p->timerecs.data[k - 1];
    bool due = false;
    if (r->cycle > 0) {
      if (cycle >= int32_t(r->nextcycle)) {
        due = true;
        r->nextcycle = uint16_t(r->nextcycle + r->cycle);
      }
    } else {
      if (r->position < 1) r->position = 1;
      if (int32_t(r->position) <= r->times.count &&
          (r->times.data[r->position - 1] < time + 0.01 * step || p->error)) {
        due = true;
        r->position++;
      }
    }
    if (!due) continue;
    any = true;
    if (r->monitor) {
      doplot_show_monitors(p, &r->plots, 0);
    } else {
      doplot_show_plots(p, &r->plots);
      doplot_do_exports(p, &p->exports);
    }
  }
  if (any && p->autohist && p->histories.count > 0) doplot_show_monitors(p, &p->histories, 0);
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
  pdedat_log_time_1(p);
  fprintf(p->log, "Step %d Time=%.*s Dt=%.*s Nodes=%d Cells=%d RMS ERR=%.*s MEM=%d\n", int32_t(p->cycle),
          int(t.length), t.text, int(dt.length), dt.text, p->mesh.nodes.count, p->mesh.cells.count,
          int(rms.length), rms.text, int32_t(XMEM / 1024));
  strings_free_0(&t);
  strings_free_0(&dt);
  strings_free_0(&rms);
}

// ---- The step loop ---------------------------------------------------------------------------

static bool halted(pde *p) { return p->stop || p->skipstages || p->error; }

static void copy_levels(vector2d *dst, const vector2d *src) {
  vector2d_resize(dst, src->count, std::max(src->count, dst->capacity));
  for (int32_t k = 1; k <= src->count; k++) vectord_copyto_0(&dst->data[k - 1], &src->data[k - 1]);
}

// The first step: DELTAT, else a ten-thousandth of the range, else 0.0001.
static double first_step(pde *p) {
  double dt = p->deltat > 0 ? p->deltat : 0.0;
  if (dt == 0) dt = (p->endtime - p->starttime_value) * 0.0001;
  if (dt == 0) dt = 0.0001;
  return dt;
}

static void end_of_step(pde *p, int32_t cycle) {
  timsolve_stepper.measure(p, p->told, p->time);
  pdedat_tr_status(p);
  timsolve_log_step(p);
  fitting_invalidate_fits(p, 3);
  if (p->histories.count > 0) doplot_history_point(p, p->solution.data, p->time);
  timsolve_showplots(p, p->time, p->dtnext, cycle);
}

int32_t timsolve_evolve(pde *p, int32_t) {
  TRACE("timsolve_evolve");
  const timsolve_ops &ops = timsolve_stepper;
  // 1-3. Counters, the first step, the start time.
  p->cycle = 0;
  nratios = 0;
  if (p->iterate == 0) p->iterate = 500;
  double dt = first_step(p);
  p->told = p->time = p->tm1 = p->tm2 = p->starttime_value;
  p->dt = p->dtnext = dt;
  // 4-5. Layout and the initial slope, which may cut the first step.
  ops.layout(p);
  double slope = ops.first_udot(p, p->told);
  if (!p->fixdt && slope > 0 && p->dt > p->errlim / slope) {
    double cut = p->errlim / slope;
    debug_printf("INITIAL TIMESTEP CUT FROM %g TO %g BECAUSE OF INITIAL SLOPE=%g\n", p->dt, cut, slope);
    p->dt = p->dtnext = cut;
  }
  // 6-7. The start's residual, history sample and plots.
  bool rebuild = true;
  ops.start_residual(p, p->told, p->dt);
  doplot_history_point(p, p->solution.data, p->starttime_value);
  timsolve_showplots(p, p->told, p->dt, 0);
  // The loop's end test also before the first step: an empty range makes no step.
  bool ended = !(p->time + 0.0001 * p->dt <= p->endtime) || halted(p);
  while (!ended) {
    // 1. Shift the levels.
    p->cycle++;
    copy_levels(&p->um2, &p->um1);
    copy_levels(&p->um1, &p->uold);
    copy_levels(&p->uold, &p->solution);
    copy_levels(&p->udotold, &p->udot);
    vectord_copyto_0(&p->rold, &p->rnew);
    vectord_copyto_0(&p->mold, &p->mnew);
    p->tm2 = p->tm1;
    p->tm1 = p->told;
    p->told = p->time;
    p->dtlast = p->dt;
    bool hit = false, last = false;
    // 2. Attempts.
    for (;;) {
      pdedat_tr_status(p);
      if (p->dtnext < p->haltdt) {
        String msg{}, cap{};
        strings_copyto_1(&msg, "Timestep is below threshhold");
        strings_copyto_1(&cap, "HALT");
        pdedat_error_message(p->pdeview, &msg, &cap);
        strings_free_0(&msg);
        strings_free_0(&cap);
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
      p->time = p->told + p->dt;
      pdedat_report_time(p, p->lines.elapsed);
      if (p->lines.dt) display_force_real(&p->status, p->lines.dt, p->dt);
      ops.onestep(p, p->told, p->time, rebuild);
      if (p->stop || p->error) {
        p->dt = p->dtnext;
        pdedat_tr_status(p);
        return 8;
      }
      double proposal = p->dtnext;
      if (p->fixdt) break;
      nratios = uint16_t(std::min(nratios + 1, 4));
      for (int32_t k = nratios; k >= 1; k--) ratios[k] = ratios[k - 1];
      double ratio = ops.check_timestep(p);
      ratios[0] = ratio;
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
        for (int32_t k = 0; k < nratios; k++) mean += ratios[k];
        mean /= nratios;
        candidate = mean >= 1 ? proposal : mean > 0 ? p->dtnext / std::sqrt(mean) : p->tgrowth * p->dtnext;
      }
      p->dtnext = std::min(candidate, p->tgrowth * p->dtnext);
      break;
    }
    // 3-4. Spatial error, status, log, histories and plots.
    end_of_step(p, int32_t(p->cycle));
    if (last) break;
    // 5-6. Regrid.
    rebuild = p->nonlinear;
    if (p->regrid && !halted(p) && ops.regrid(p, hit) > 0) rebuild = true;
    // 7. Next step.
    ended = !(p->time + 0.0001 * p->dt <= p->endtime) || halted(p);
  }
  p->dt = p->dtnext;
  pdedat_tr_status(p);
  return 8;
}
