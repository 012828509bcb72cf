// The time driver's test problems on analysed descriptors: the decaying mode of the
// unit square and runs from given initial values on a structured mesh.
#pragma once
#include <cmath>
#include <memory>

#include "control/control.h"
#include "solver/timsolve.h"
#include "tests/model/symfix.h"
#include "tests/solver/assembly.h"


struct Timestep : Assembly {
  uint8_t galerkin = 0;  // GALERKIN_ERROR as given (2 on)
  uint8_t regrid = 0;    // REGRID
  // The square's mode decaying to ENDTIME on an n x n tri6 grid; u at the centre.
  double decay(int n, double end, double errlim, bool fixdt = false, double changelim = 2.0, bool nonlinear = false) {
    std::string src = "VARIABLES u EQUATIONS div(grad(u)) = dt(u) BOUNDARIES REGION 1 START(0,0) "
                      "VALUE(u) = 0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH TIME 0 TO " +
                      std::to_string(end);
    EXPECT_EQ(setup(src), "ok");
    grid(n, n, tri6);
    return run(end, errlim, fixdt, changelim, nonlinear, [](double x, double y) {
      return std::sin(M_PI * x) * std::sin(M_PI * y);
    }, 0.5, 0.5);
  }
  // Runs from u0 to ENDTIME; returns u at the node (x, y).
  template <class F>
  double run(double end, double errlim, bool fixdt, double changelim, bool nonlinear, F u0, double x, double y) {
    int32_t at = prepare(end, errlim, fixdt, changelim, nonlinear, u0, x, y);
    EXPECT_EQ(evolve(), 8);
    EXPECT_NEAR(p->time, end, 1e-12);
    EXPECT_EQ(p->solution.data[0].count, p->mesh.nodes.count);
    return at ? p->solution.data[0].data[at - 1] : 0.0;
  }
  // The switches of a time run and u0 at the nodes; returns the node at (x, y).
  template <class F>
  int32_t prepare(double end, double errlim, bool fixdt, double changelim, bool nonlinear, F u0, double x, double y) {
    p->timedep = 1;
    coupling_build_weights(p);
    p->galerkin_error = galerkin;
    coupling_set_method(p);
    p->errlim = errlim, p->starttime_value = 0, p->endtime = end, p->deltat = fixdt ? 0.001 : 0;
    p->fixdt = fixdt, p->tgrowth = 1.4, p->extrap = 1, p->nrupdate = 1, p->tnorm = 2, p->control2 = M_SQRT2;
    p->overshoot = 0.001, p->changelim = changelim, p->regrid = regrid, p->haltdt = -1, p->nonlinear = nonlinear;
    p->iterate = 0;
    loading_map_matrix(p, 2);
    vector2d_resize(&p->solution, 1, 1);
    int32_t N = p->mesh.nodes.count, centre = 0;
    vectord_resize(&p->solution.data[0], N, N);
    for (int32_t i = 1; i <= N; i++) {
      const MeshNode &nd = p->mesh.nodes.data[i - 1];
      p->solution.data[0].data[i - 1] = u0(nd.x, nd.y);
      if (std::fabs(nd.x - x) < 1e-9 && std::fabs(nd.y - y) < 1e-9) centre = i;
    }
    EXPECT_GT(centre, 0);
    return centre;
  }
  // The record of the last run, kept after it for the tests that read its state.
  std::unique_ptr<TimeRun> time_run;
  // The driver under the catch point, on a fresh record; its phase, 0 after a fatal stop.
  int32_t evolve() {
    int32_t phase = 0;
    HookScope hook;
    pde *q = p;
    time_run = std::make_unique<TimeRun>();
    TimeRun *r = time_run.get();
    EXPECT_EQ(except_catch("evolve", [&] { phase = timsolve_run(q, r); }), 0);
    return phase;
  }
};

