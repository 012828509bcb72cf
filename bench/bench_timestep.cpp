// Time steps of the decaying mode of the unit square, u = sin(pi x) sin(pi y)
// e^(-2 pi^2 t): ORDER 2 on an n x n tri6 grid, REGRID off, FIXDT, 100 steps of 0.001
// to t = 0.1. Reports the time per step and the relative error of u(1/2, 1/2) at
// t = 0.1; beside it one solve of the step matrix alone on the same mesh. The peer
// (FreeFem++ doing the same Crank-Nicolson steps) is bench/decay_steps.edp, run by
// bench/compare_timestep.sh.
#include <benchmark/benchmark.h>

#include <chrono>

#include "solver/sparsecg.h"
#include "tests/solver/timestep.h"

namespace {

struct Run : Timestep {
  void TestBody() override {}
  explicit Run(int n) {
    SetUpTestSuite();
    SetUp();
    setup("VARIABLES u EQUATIONS div(grad(u)) = dt(u) BOUNDARIES REGION 1 START(0,0) "
          "VALUE(u) = 0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH TIME 0 TO 0.1");
    grid(n, n, tri6);
  }
  ~Run() override { TearDown(); }
};

double mode(double x, double y) { return std::sin(M_PI * x) * std::sin(M_PI * y); }

void BM_DecaySteps(benchmark::State &state) {
  Run r(int(state.range(0)));
  double err = 0, ms = 0;
  for (auto _ : state) {
    state.PauseTiming();
    int32_t centre = r.prepare(0.1, 1e-4, true, 2.0, false, mode, 0.5, 0.5);
    state.ResumeTiming();
    auto t0 = std::chrono::steady_clock::now();
    r.evolve();
    ms += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    err = r.p->solution.data[0].data[centre - 1] / 0.1389111331 - 1;
  }
  state.counters["unknowns"] = double(r.p->nt);
  state.counters["steps"] = double(r.p->cycle);
  state.counters["per_step_ms"] = ms / double(state.iterations()) / std::max<double>(r.p->cycle, 1);
  state.counters["rel_error"] = err;
}

// One solve of the last step matrix with the run's method, from a fresh right side.
void BM_StepSolve(benchmark::State &state) {
  Run r(int(state.range(0)));
  r.prepare(0.002, 1e-4, true, 2.0, false, mode, 0.5, 0.5);
  r.evolve();
  pde *p = r.p;
  vectord x{};
  for (auto _ : state)
    sparsecg_cg(&x, &p->jmatrix, &p->precmx, &p->tresid, &p->precvec, &p->precband, &p->work, 1e-7, 0, 500,
                nullptr, p->solver, p->precon, p->nt);
  state.counters["unknowns"] = double(p->nt);
  vectord_free(&x);
}

}  // namespace

BENCHMARK(BM_DecaySteps)->Arg(76)->Arg(200)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StepSolve)->Arg(76)->Arg(200)->Unit(benchmark::kMillisecond);
