// timsolve_internal: what the files of the time stepper share (timsolve.cpp, timsolve_step.cpp,
// timsolve_error.cpp, timsolve_regrid.cpp, measures_time.cpp).
// The path of a time run: timsolve_run (solver/timsolve.cpp) calls through timsolve_stepper
// layout, first_udot and start_residual (timsolve_step.cpp) at the start and on every new mesh;
// per step onestep (timsolve_step.cpp), check_timestep (timsolve_error.cpp), measure
// (measures_time.cpp) and regrid (timsolve_regrid.cpp, with the start replay).
#pragma once
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

// The module's localised cell: the program-wide work cell.
namespace timsolve_shared {
inline LocalCell *cell = nullptr;
}  // namespace timsolve_shared
using timsolve_shared::cell;


static inline bool halted(pde *p) { return p->stop || p->skipstages || p->error; }

static inline void copy_levels(vector2d *dst, const vector2d *src) {
  vector2d_resize(dst, src->count, std::max(src->count, dst->capacity));
  for (int32_t k = 1; k <= src->count; k++) vectord_copyto_0(&dst->data[k - 1], &src->data[k - 1]);
}

static inline int32_t nvariables(pde *p) { return std::min<int32_t>(p->nfield + p->nscalar, p->layout.maps.count); }
static inline bool has_rate(pde *p, int32_t k) { return k <= p->vars.count && p->vars.items[k - 1].timeflag; }
static inline double range_of(pde *p, int32_t k) {
  return k <= p->ranges.count && p->ranges.data[k - 1] > 0 ? p->ranges.data[k - 1] : 1.0;
}
static inline const vectorl &rows_of(pde *p, int32_t k) { return p->layout.maps.data[k - 1]; }

// Whether global row j (from 1) is a row without a rate.
static inline bool algebraic_row(const TimeRun *run, int32_t j) {
  return run->algebraic_any && j >= 1 && size_t(j) <= run->algebraic.size() && run->algebraic[size_t(j - 1)];
}

// While it lives, the old level of each scalar multiplier (TimeRun::end_scalars)
// holds its new value: the old end of a step reads such a scalar at the step's end.
struct ScalarsAtEnd {
  pde *p;
  const TimeRun *run;
  std::vector<double> held;
  ScalarsAtEnd(pde *q, const TimeRun *r) : p(q), run(r) {
    for (int32_t k : run->end_scalars) {
      vectord &old = p->uold.data[k - 1];
      const vectord &now = p->solution.data[k - 1];
      held.insert(held.end(), old.data, old.data + old.count);
      std::copy(now.data, now.data + std::min(now.count, old.count), old.data);
    }
  }
  ~ScalarsAtEnd() {
    size_t at = 0;
    for (int32_t k : run->end_scalars) {
      vectord &old = p->uold.data[k - 1];
      std::copy(held.begin() + std::ptrdiff_t(at), held.begin() + std::ptrdiff_t(at + size_t(old.count)), old.data);
      at += size_t(old.count);
    }
  }
  ScalarsAtEnd(const ScalarsAtEnd &) = delete;
  ScalarsAtEnd &operator=(const ScalarsAtEnd &) = delete;
};

// The replay of a refined start: see timsolve_regrid.cpp.
constexpr int32_t start_replay_steps = 128, replay_budget = 256;

// What the files call across (each is described where it is defined).
// timsolve_step.cpp
void layout(pde *p, TimeRun *run);
double first_udot(pde *p, TimeRun *run, double t);
// After a step that crosses a switch in t: the rate at t solved again, with the switched
// sources; the run's ranges and rest state are kept.
void switched_udot(pde *p, TimeRun *run, double t);
void start_residual(pde *p, TimeRun *, double t, double dt);
int32_t onestep(pde *p, TimeRun *run, double t, double tnew, bool rebuild);
void hold_ranges(pde *p, TimeRun *run, const vector2d *u, bool scaled);
void hold_step(pde *p, TimeRun *run, bool hit);
void size_level(pde *p, vector2d *v);
double solve_cg(pde *p, vectord *x, const sparsemx *A, vectord *b, double rel, int32_t solver, int32_t precon,
                const vectord *D, const sparsecg_upper *U = nullptr, bool warm = false);
double step_range(pde *p, TimeRun *run, int32_t k, const vector2d *u);
// timsolve_error.cpp
double check_timestep(pde *p, TimeRun *run);
void limit_carried_error(pde *p, TimeRun *run);
bool read_phase_kept(pde *p, TimeRun *run);
// measures_time.cpp
void measure(pde *p, TimeRun *run, double t, double tnew);
// timsolve_regrid.cpp
int32_t regrid(pde *p, TimeRun *run, bool hit);
void replay_start(pde *p, TimeRun *run, const timsolve_ops &ops);
void shift_levels(pde *p);
bool start_replayable(pde *p, TimeRun *run);
std::vector<char> diffused_variables(pde *p);
// Per node (from 1), whether it is a node of a cell that holds a value-condition node.
std::vector<char> near_value_conditions(pde *p);
