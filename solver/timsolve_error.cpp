// timsolve_error: the error of a time step against its allowance, the error a source that
// reads the time adds, and the limit on the error carried over the run.
// The path of a time run: timsolve_run (solver/timsolve.cpp) calls through timsolve_stepper
// layout, first_udot and start_residual (timsolve_step.cpp) at the start and on every new mesh;
// per step onestep (timsolve_step.cpp), check_timestep (timsolve_error.cpp), measure
// (measures_time.cpp) and regrid (timsolve_regrid.cpp, with the start replay).
#include "solver/timsolve_internal.h"

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
    case 0:
    case 1: return std::sqrt(y);
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

// A step's error has a part along the step's own change, u(t_new) - u(t): the values of a time
// a little off, an error in the phase. Nothing damps it while the solution keeps moving as it
// does: the phase error of a travelling front is its position, which every later step carries
// on whole, so the steps' phase errors add up over the run (a Fisher front took steps of a fifth
// of an allowance each and ended 7 to 28 ERRLIM off at its centre, more the finer ERRLIM, since
// finer limits take more steps). While the change neither fades nor grows over the run, a step's
// phase error is held to the share of its length in the run's span.
// The allowances the phase errors of a whole run may fill together (about ERRLIM of the range).
constexpr double phase_allowance = 10.0 / 3;
// The largest multiple of the step's change (the time shift over the step) still read as an
// error in the phase.
constexpr double phase_shift_most = 0.1;
// The most a change that travels may fade or grow over the run (in e-folds): the change's size
// read over cells of unequal sizes swings as a front passes from coarse cells into fine ones.
constexpr double phase_fade_most = 1;
// The least angle's cosine between the change and the values at which the change is a decay of
// the values themselves (a mode), not their travel.
constexpr double phase_mode_cosine = 0.98;
// How many times the run's time so far a change is known to last.
constexpr double phase_known_lasting = 10;

// The factor on a step's phase error (its part along the step's change) that makes it a share
// of the allowance: the time the phase error lasts over the step, weighed by its share of the
// span, over the part of the allowance the phase errors fill; 0 for a change that fades or
// grows over the run. The change's fade rate is read
// from its sizes over this step and the one before (norms Svv and Sww of the changes, b and c
// the times of the last two levels from t), elapsed the run's time at the step's end; 0 when it
// cannot be read.
static double phase_error_factor(double Svv, double Sww, double b, double c, double h, double span, double elapsed) {
  if (!(Svv > 0) || !(Sww > 0) || !(span > 0) || !(h > 0) || !(b < 0) || !(c > 0)) return 0;
  double rate_new = std::sqrt(Svv) / c, rate_old = std::sqrt(Sww) / -b;
  double fade = std::log(rate_old / rate_new) / ((c - b) / 2);
  // A change that fades over the run is a decay, whose errors fade with it and which the carried
  // limit holds; one that grows is no steady travel either (a blow-up, a wave's swing).
  if (!std::isfinite(fade) || std::fabs(fade) * span > phase_fade_most) return 0;
  // A change is known to last a few times as long as it has gone on, no more: the first tiny
  // steps of a stiff start see a change that has not yet faded, and read as lasting the span
  // they would shrink without end.
  double lasts = std::min(span, phase_known_lasting * elapsed);
  return lasts / h * (lasts / span) / phase_allowance;
}

// The step error over its allowance (see the step-control notes above evolve).
double check_timestep(pde *p, TimeRun *run) {
  int32_t sel = p->tnorm;
  double a = p->tm2 - p->told, b = p->tm1 - p->told, c = p->time - p->told, h = p->dt;
  double sum = 0, rated_sum = 0;
  int32_t terms = 0, rated_terms = 0;
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
      double Sxv = 0, Svv = 0, Sww = 0, Wv = 0, Suv = 0, Suu = 0;
      const double *v2 = u2.data, *v1 = u1.data, *vo = uo.data, *vn = u.data;
      const double *se = sourced ? run->source_error.data[k - 1].data : nullptr;
      const int32_t *rows = rows_of(p, k).data;
      const bool any_algebraic = run->algebraic_any;
      const MeshCell *cells = p->mesh.cells.data;
      const int32_t ncells = p->mesh.cells.count;
      // Each cell's node numbers lie apart from the cell's record: those of a cell a few ahead
      // are asked for while this one is summed, or the sweep waits on each of them in turn.
      constexpr int32_t ahead = 4;
      for (int32_t e = 1; e <= ncells; e++) {
        if (e + ahead <= ncells) __builtin_prefetch(cells[e + ahead - 1].nodes.data);
        const MeshCell &cell = cells[e - 1];
        if (!cell.alive) continue;  // dead cells hold stale nodes
        // Nodes without a rate hold their equation at each step's end: no step error.
        int32_t nn = 0;
        double A = 0, B = 0, C = 0, D = 0;
        double S = 0;
        const int32_t *nodes = cell.nodes.data, functions = elements_functions[cell.basis];
        for (int32_t j = 0; j < functions; j++) {
          int32_t n = nodes[j] - 1;
          if (any_algebraic && algebraic_row(run, rows[n])) continue;
          A += v2[n], B += v1[n], C += vo[n], D += vn[n];
          if (se) S += se[n];
          nn++;
        }
        if (nn == 0) continue;
        double unit = range * p->errlim * nn, x = (diff.step(A, B, C, D) + S) / unit;
        double v = (D - C) / unit, w = (C - B) / unit;
        term += weight(x);
        Sxv += x * v, Svv += v * v, Sww += w * w, Wv += weight(v);
        Suv += D / unit * v, Suu += D / unit * D / unit;
        count++;
      }
      // The phase error: the least-squares multiple of the step's change in the step's error.
      // A run that keeps its phase (a wave as a pair) has its every step's error carried whole.
      double f = phase_error_factor(Svv, Sww, b, c, h, std::fabs(p->endtime - p->starttime_value),
                                    std::fabs(p->time - p->starttime_value));
      // Only a shift well inside the step is an error in the phase: a step whose error is a tenth
      // of its change does not resolve the change (a run settling to a steady state, whose change
      // fades to nothing), and its local error rules it.
      // A change along the values themselves is a mode's decay or growth, whose errors the carried
      // limit holds.
      double shift = Svv > 0 ? Sxv / Svv : 0;
      bool mode = !(Suu > 0) || std::fabs(Suv) >= phase_mode_cosine * std::sqrt(Suu * Svv);
      if (run->phase_kept != 1 && f > 0 && !mode && std::fabs(shift) < phase_shift_most)
        term = std::max(term, weight(shift * f) * Wv);
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
    if (has_rate(p, k)) rated_sum += term / count, rated_terms++;
  }
  // A variable without a rate holds its equation at each step's end and makes no step error of
  // its own: its change term, counted in the mean, thins out the error of the variables with a
  // rate (beside a static field, a diffusing one's error was read at 2^(-1/4) of its size and
  // its answer ended 3 ERRLIM off where alone it ended 2). The mean over the variables with a
  // rate rules when it is the larger.
  double mean = terms ? sum / terms : 0.0;
  if (rated_terms > 0) mean = std::max(mean, rated_sum / rated_terms);
  double ratio = terms ? timsolve_unweight(mean, sel) : 0.0;
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
// A regrid hands the new mesh levels interpolated from the old one, and the third difference
// of the next three steps, which reads them, reads the interpolation's change besides the
// step's own error: a spike that then falls away, which read as decay would clear what was
// carried at every regrid (a front moving through a mesh that merges behind it at each step
// carried nothing, and its answer drifted to twice ERRLIM). Those steps read no decay and keep
// the densities of the last steps before the regrid; each carries no more than that density
// gives for its own length.
// A run whose variables with a rate have no term of their own (a wave written as two variables)
// keeps the error of each step for the rest of the run: a step's error in its phase never
// decays, while the size of its third derivatives swings with the phase and reads as decay
// half the time. Such a run carries every step's error on undamped, and what is left of the
// limit is spread over the time left: the next step's share is that of its length in it, so
// the error grows about evenly to the limit at the end and stays within it at every output
// time on the way. A step that took more than its share leaves less to the next ones. Taking
// the room at once (as a damped run does) and then a share of the span lets the steps pile up
// twice the limit: a wave pair ended 4 ERRLIM of its ranges off.
// The carried limit in step allowances (an allowance holds about a third of ERRLIM times
// the range: the step estimate is twice the local error and the control factor is sqrt 2),
// and the least share of it a next step keeps.
constexpr double carried_limit = 2.0, carried_floor = 0.1;
// The steps whose third difference reads a level interpolated by a regrid.
constexpr int32_t regrid_read_steps = 3;

// The field variable (from 1) each global row (from 1, up to n) belongs to.
static std::vector<int32_t> row_owners(pde *p, int32_t n) {
  std::vector<int32_t> owner(size_t(std::max(n, 0)) + 1, 0);
  int32_t V = std::min<int32_t>(p->nfield, nvariables(p));
  for (int32_t k = 1; k <= V; k++) {
    const vectorl &r = rows_of(p, k);
    for (int32_t i = 0; i < r.count; i++)
      if (r.data[i] >= 1 && r.data[i] <= n) owner[size_t(r.data[i])] = k;
  }
  return owner;
}

// The global rows (from 1, up to n) of the field variables' value-condition nodes, marked.
static std::vector<char> held_rows(pde *p, int32_t n) {
  std::vector<char> held(size_t(std::max(n, 0)) + 1, 0);
  int32_t V = std::min<int32_t>(p->nfield, nvariables(p));
  for (int32_t k = 1; k <= V && k <= p->valuenodes.count; k++) {
    const vectorl &nodes = p->valuenodes.data[k - 1];
    for (int32_t i = 0; i < nodes.count; i++) {
      int32_t j = rows_of(p, k).data[nodes.data[i] - 1];
      if (j >= 1 && j <= n) held[size_t(j)] = 1;
    }
  }
  return held;
}

// Whether no variable with a rate has a term of its own in its equations: the rows of each, away
// from its value conditions, hold no entry of the spatial matrix in its own columns (a wave
// written as a pair, dt(u) = v, dt(v) = div(grad(u))). Nothing then damps any of its modes; a
// diffusion, a reaction or a damping term of its own does.
static bool no_own_terms(pde *p) {
  int32_t V = std::min<int32_t>(p->nfield, nvariables(p)), n = std::min(p->nt, p->matrix.rows);
  std::vector<int32_t> owner = row_owners(p, n);
  bool any = false;
  for (int32_t k = 1; k <= V; k++) any = any || has_rate(p, k);
  if (!any || p->nscalar > 0) return false;
  std::vector<char> held = held_rows(p, n);
  for (int32_t k = 1; k <= V; k++) {
    if (!has_rate(p, k)) continue;
    const vectorl &r = rows_of(p, k);
    for (int32_t i = 0; i < r.count; i++) {
      int32_t j = r.data[i];
      if (j < 1 || j > n || held[size_t(j)]) continue;
      const vectorld &row = p->matrix.data[j - 1];
      for (int32_t e = 0; e < row.count; e++)
        if (row.keys[e] >= 1 && row.keys[e] <= n && owner[size_t(row.keys[e])] == k && row.values[e] != 0) return false;
    }
  }
  return true;
}

// Whether the run keeps its phase (no_own_terms), read once per run from the first spatial
// matrix it measures; with it, for each variable with a rate, the other variable whose
// derivatives alone it reads: nine rows in ten of those that read that variable, away from the
// cells of value conditions (whose columns the layout may drop), sum its columns to nothing (a
// constant in it gives no rate), as div(grad(u)) does in dt(v) and unlike dt(u) = v, which
// reads v's values.
bool read_phase_kept(pde *p, TimeRun *run) {
  if (run->phase_kept >= 0) return run->phase_kept == 1;
  if (p->matrix.rows <= 0) return false;
  run->phase_kept = no_own_terms(p);
  run->rate_reads.clear();
  if (run->phase_kept != 1) return false;
  int32_t V = std::min<int32_t>(p->nfield, nvariables(p)), n = std::min(p->nt, p->matrix.rows);
  std::vector<int32_t> owner = row_owners(p, n);
  std::vector<char> near = near_value_conditions(p);
  run->rate_reads.assign(size_t(V) + 1, 0);
  for (int32_t k = 1; k <= V; k++) {
    if (!has_rate(p, k)) continue;
    std::vector<int32_t> reading(size_t(V) + 1, 0), level(size_t(V) + 1, 0);
    std::vector<double> sum(size_t(V) + 1), size(size_t(V) + 1);
    const vectorl &r = rows_of(p, k);
    for (int32_t i = 0; i < r.count && i < p->mesh.nodes.count; i++) {
      int32_t j = r.data[i];
      if (j < 1 || j > n || near[size_t(i + 1)] || !p->mesh.nodes.data[i].alive) continue;
      std::fill(sum.begin(), sum.end(), 0.0);
      std::fill(size.begin(), size.end(), 0.0);
      const vectorld &row = p->matrix.data[j - 1];
      for (int32_t e = 0; e < row.count; e++) {
        int32_t c = row.keys[e];
        if (c < 1 || c > n || owner[size_t(c)] == 0) continue;
        sum[size_t(owner[size_t(c)])] += row.values[e];
        size[size_t(owner[size_t(c)])] += std::fabs(row.values[e]);
      }
      for (int32_t o = 1; o <= V; o++) {
        if (o == k || !(size[size_t(o)] > 0)) continue;
        reading[size_t(o)]++;
        if (std::fabs(sum[size_t(o)]) <= 1e-9 * size[size_t(o)]) level[size_t(o)]++;
      }
    }
    for (int32_t o = 1; o <= V; o++)
      if (reading[size_t(o)] > 0 && 10 * level[size_t(o)] >= 9 * reading[size_t(o)] &&
          (run->rate_reads[size_t(k)] == 0 || reading[size_t(o)] > reading[size_t(run->rate_reads[size_t(k)])]))
        run->rate_reads[size_t(k)] = o;
  }
  return true;
}

void limit_carried_error(pde *p, TimeRun *run) {
  // A step that measured no error at all stands in with 0.5 for the step size rule; it
  // carries nothing (a constant ratio would shrink every step by the same factor).
  double r = run->step_error_none ? 0.0 : run->ratios[0], h = p->dt;
  if (run->mesh_steps <= regrid_read_steps) run->mesh_steps++;
  if (p->cycle < 3 || !(r > 0) || !std::isfinite(r) || !(h > 0)) {
    run->carried = 0;
    run->carried_density[0] = run->carried_density[1] = run->carried_span = 0;
    return;
  }
  const bool undamped = read_phase_kept(p, run);
  double q = r / (h * h * h), decay = 1.0;
  if (run->mesh_steps <= regrid_read_steps) {
    double q0 = run->carried_density[0];
    if (q0 > 0) r = std::min(r, q0 * h * h * h);
    run->carried_span += h;
  } else {
    // The decay is read over the last two steps: one step's estimate alone swings with the
    // pattern of the steps before it.
    double q2 = run->carried_density[1], span = run->carried_span + h;
    decay = q2 > 0 && !undamped ? std::min(std::pow(q / q2, h / span), 1.0) : 1.0;
    run->carried_density[1] = run->carried_density[0];
    run->carried_density[0] = q;
    run->carried_span = h;
  }
  run->carried = run->carried * decay + r;
  double e = run->carried_mesh_error, spatial = std::isfinite(e) && e < 1 ? e / p->errlim : 0;
  double limit = carried_limit * std::max(1.0, spatial);
  // The next step decays the carried part as this one did and adds its own ratio, which
  // grows with the cube of the step.
  double next = r * std::pow(p->dtnext / h, 3);
  if (undamped) {
    // The share shrinks with the step and the error with its cube. A run that has spent its
    // limit keeps moving on the least share, of the floor by its length in the span (their sum
    // over the run is the floor).
    double span = std::fabs(p->endtime - p->starttime_value), left = std::max(p->endtime - p->time, 0.0);
    double spare = std::max(limit - run->carried, 0.0), step = p->dtnext;
    double share =
        std::max(left > step ? spare * step / left : spare, span > 0 ? carried_floor * limit * step / span : 0.0);
    if (next > share) p->dtnext *= std::sqrt(share / next);
    return;
  }
  double room = std::max(limit - run->carried * decay, carried_floor * limit);
  if (next > room) p->dtnext *= std::cbrt(room / next);
}
