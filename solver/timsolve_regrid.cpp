// timsolve_regrid: the regrid policy of a time run: when the mesh may change, the start taken
// off and put back around a refinement, and the replay of the first steps on a refined start.
// The path of a time run: timsolve_run (solver/timsolve.cpp) calls through timsolve_stepper
// layout, first_udot and start_residual (timsolve_step.cpp) at the start and on every new mesh;
// per step onestep (timsolve_step.cpp), check_timestep (timsolve_error.cpp), measure
// (measures_time.cpp) and regrid (timsolve_regrid.cpp, with the start replay).
#include "solver/timsolve_internal.h"

#include "model/bcs.h"
#include "solver/coupling_internal.h"


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
// The variables (bit k - 1 for variable k) whose start a rate reads through its derivatives
// alone (see read_phase_kept): their start is taken in energy (init_start_in_energy) on every
// mesh a regrid makes, where the nodes' values would give the rate a first-order Laplacian.
static uint32_t start_in_energy(pde *p, TimeRun *run) {
  if (run->start_of_place != 1 || !read_phase_kept(p, run)) return 0;
  uint32_t mask = 0;
  for (int32_t j : run->rate_reads)
    if (j >= 1 && j <= 32) mask |= 1u << (j - 1);
  return mask;
}

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
    init_start_in_energy(p, start, t0, start_in_energy(p, run));
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
    init_start_in_energy(p, start, t0, start_in_energy(p, run));
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

// Whether the run is a decay: on cells of order 2 or more, its residual linear with fixed
// coefficients and fixed sources, every variable diffused and held at zero by a value
// condition, no jump, front or resolve request, and every variable's largest magnitude fallen
// below its start's. The error its mesh makes shrinks with the solution it is made in, so an
// estimate that asked no split asks none while the values keep shrinking (see estimate_kept).
static bool decaying(pde *p, TimeRun *run) {
  int32_t F = std::min<int32_t>(p->nfield, p->solution.count);
  if (run->start_size.empty()) {
    run->start_size.assign(size_t(std::max(F, 0)), 0.0);
    for (int32_t k = 1; k <= F && k <= p->uold.count; k++) {
      const vectord &u = p->uold.data[k - 1];
      for (int32_t n = 0; n < u.count; n++)
        run->start_size[size_t(k - 1)] = std::max(run->start_size[size_t(k - 1)], std::fabs(u.data[n]));
    }
  }
  bool decay = F > 0 && run->fixed.linear && run->fixed.sources && !run->fixed.timed && run->undamped == 0 &&
               !p->startjump && !(run->jump_error > 0) && p->fronts.count == 0 && p->resolves.count == 0 &&
               p->nscalar == 0 && !p->moving && elements_order[p->mesh.meshbasis] >= 2;
  for (int32_t k = 1; k <= F && decay; k++) {
    const vectord &u = p->solution.data[k - 1];
    double size = 0, start = size_t(k) <= run->start_size.size() ? run->start_size[size_t(k - 1)] : 0.0;
    for (int32_t n = 0; n < u.count; n++) size = std::max(size, std::fabs(u.data[n]));
    decay = start > 0 && size < start && k <= p->valuenodes.count && p->valuenodes.data[k - 1].count > 0;
    const vectorl &held = k <= p->valuenodes.count ? p->valuenodes.data[k - 1] : vectorl{};
    for (int32_t i = 0; i < held.count && decay; i++) {
      int32_t n = held.data[i];
      decay = n < 1 || n > u.count || !p->mesh.nodes.data[n - 1].alive || std::fabs(u.data[n - 1]) <= 1e-12 * start;
    }
  }
  return decay;
}

// Whether the run's rest is zero: no equation has a source and every boundary condition is a
// value or a natural one of zero. Only then does the whole of its values fade, and the mesh's
// error with them: a source or a flux holds a state of its own whose error stays, though the
// values' largest magnitude falls toward it as a decay's does (a heat mode over a steady one of
// the same shape falls from 2 to 1 along its own values).
static bool rests_at_zero(pde *p) {
  for (uint16_t k = 1; k <= eqcount(p); k++) {
    const treevector &v = eqn(p, k)->source;
    for (int32_t r = 0; r < v.count; r++)
      if (!zero_integral(v.data[r])) return false;
  }
  const bcset &bcs = p->formulas.bcs;
  for (int32_t b = 0; b < bcs.count; b++) {
    const bc *c = bcs.items[b];
    if ((c->type != valuebc && c->type != naturalbc) || !zero_tree(c->tree)) return false;
  }
  return true;
}

// The factor on ERRLIM a decay's spatial estimate is held to. A decay damps its mesh's error with
// its values: what a cell's error leaves in an answer is its size now times the decay of the
// values until the next output time (at most ENDTIME), read from the last step's decay of their
// largest magnitude. The estimate is held so that, by the start's calibration (calibrate_by_start,
// measures_time.cpp), the true error is within ERRLIM at that output, and within nine ERRLIM now
// (a fast mode's decay read off a step does not excuse any mesh). Held to ERRLIM everywhere, a
// square's smooth decay refined its start to 34,000 nodes whose error at the output was a
// seventieth of the steps'. A decay whose rest is not zero takes the calibration alone; a run that
// does not decay, or was not calibrated, 1.
//
// *steps is the factor on ERRLIM its steps are held to. The answer's error is the mesh's and the
// steps' together; quadratic cells pay for the mesh's part as its -2/3 power in nodes, second
// order steps for theirs as its -1/2 power in steps, so the cheapest run gives the mesh a little
// over half. With the mesh within three ERRLIM now and the steps held to ERRLIM, the square's
// decay at ERRLIM 1e-6 and 3e-7 took five sixths of its error from the steps (the mesh's part
// measured with fixed steps a fifth of the length) on 3.0 and 3.4 times the nodes a uniform mesh
// of the same error needs. Once the fading lets the mesh past three ERRLIM now (the values' rest
// is zero and the next output far enough ahead), the steps are held to half ERRLIM for the rest
// of the run; while outputs near at hand keep the mesh within three, the steps keep ERRLIM (a
// decay with early outputs took a fifth more steps for the same mesh). Elsewhere 1.
static double spatial_share(pde *p, TimeRun *run, double *steps) {
  const bool mesh_held_beyond = *steps < 1.0;
  *steps = 1.0;
  if (!run->decaying || !(run->start_calibration > 0)) return 1.0;
  if (!rests_at_zero(p)) return 1.0 / run->start_calibration;
  double now = 0, before = 0, h = p->time - p->told;
  for (int32_t k = 1; k <= p->nfield && k <= p->solution.count && k <= p->uold.count; k++) {
    for (int32_t n = 0; n < p->solution.data[k - 1].count; n++)
      now = std::max(now, std::fabs(p->solution.data[k - 1].data[n]));
    for (int32_t n = 0; n < p->uold.data[k - 1].count; n++)
      before = std::max(before, std::fabs(p->uold.data[k - 1].data[n]));
  }
  double rate = h > 0 && now > 0 && before > now ? std::log(before / now) / h : 0.0;
  double ahead = std::max(timsolve_next_plot_time(p, p->time) - p->time, 0.0);
  double damped = std::isfinite(rate * ahead) ? std::exp(std::min(rate * ahead, 10.0)) : 1.0;
  double share = std::clamp(damped, 1.0, 9.0);
  if (share > 3.0 || mesh_held_beyond) *steps = 0.5;
  return share / run->start_calibration;
}

// Refines and merges by the cell errors; every level goes with the mesh. Returns the
// refiner's count of changes.
int32_t regrid(pde *p, TimeRun *run, bool hit) {
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
  run->decaying = decaying(p, run);
  run->spatial_share = spatial_share(p, run, &run->step_share);
  double split_at = p->errlim * run->spatial_share;
  if (!(p->rmserr > split_at) && !(p->maxerr > 4 * split_at)) split_at = HUGE_VAL;
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
  int32_t changes = may_change ? refiner_refine({p->dimension, p->errlim, &p->work, &p->sortindex}, &p->mesh, split_at,
                                                p->errlim * merge, p->nodelimit, &p->carried, uint8_t(p->merge && !hit))
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

std::vector<char> near_value_conditions(pde *p) {
  int32_t V = std::min<int32_t>(p->nfield, nvariables(p));
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
  return near;
}

// Whether each field variable's own equation holds a spatial operator on it: its rows of the
// step matrix, over its own columns, are not one multiple of its rows of the time matrix (a
// reaction, or no term of its own, is). Rows about value conditions, which lose columns to
// them, are not judged. Nothing damps the error a coarse mesh leaves in a variable its own
// equation does not diffuse, as the rate of a wave written as two variables.
std::vector<char> diffused_variables(pde *p) {
  int32_t V = std::min<int32_t>(p->nfield, nvariables(p));
  std::vector<char> out(size_t(std::max(V, 0)) + 1, 0);
  std::vector<int32_t> owner(size_t(std::max(p->nt, 0)) + 1, 0);
  for (int32_t k = 1; k <= V; k++) {
    const vectorl &r = rows_of(p, k);
    for (int32_t i = 0; i < r.count; i++)
      if (r.data[i] >= 1 && r.data[i] <= p->nt) owner[size_t(r.data[i])] = k;
  }
  std::vector<char> near = near_value_conditions(p);
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

bool start_replayable(pde *p, TimeRun *run) {
  int32_t n = int32_t(run->start_steps.size());
  return run->undamped == 1 && !run->left_start && n > 0 && n <= start_replay_steps &&
         run->replayed + n <= replay_budget && !p->startjump && !p->smoothinit && p->nscalar == 0 && !p->fixdt &&
         p->formulas.initregion.count >= p->nfield && !halted(p);
}

// The levels move back one step: the present becomes the old, the old the one before, and
// so on; the times with them.
void shift_levels(pde *p) {
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

void replay_start(pde *p, TimeRun *run, const timsolve_ops &ops) {
  const double t0 = p->starttime_value, tt[2] = {t0, t0};
  const double dt = p->dt, dtnext = p->dtnext, dtlast = p->dtlast;
  init_start_again(p, &p->solution, tt);
  init_start_in_energy(p, &p->solution, tt, start_in_energy(p, run));
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
