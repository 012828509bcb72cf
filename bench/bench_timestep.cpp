// Time steps of the decaying mode of the unit square, u = sin(pi x) sin(pi y)
// e^(-2 pi^2 t): ORDER 2 on an n x n tri6 grid, REGRID off, FIXDT, 100 steps of 0.001
// to t = 0.1. Reports the time per step, the relative error of u(1/2, 1/2) and the L2
// error at t = 0.1; beside it one solve of the step matrix alone on the same mesh. The peer
// (FreeFem++ doing the same Crank-Nicolson steps) is bench/decay_steps.edp, run by
// bench/compare_timestep.sh.
#include <benchmark/benchmark.h>

#include <chrono>

#include "solver/sparsecg.h"
#include "solver/timsolve.h"
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

// The L2 error of u against the mode times e^(-2 pi^2 t) over the tri6 cells: the
// quadratic interpolant of the nodal values (corners first, then the node in the
// middle of the side opposite each corner) by the 7-point rule of degree 5.
double l2_error(const pde *p, const vectord &u, double t) {
  static const double w[7] = {0.225, 0.1323941527885062, 0.1323941527885062, 0.1323941527885062,
                              0.1259391805448271, 0.1259391805448271, 0.1259391805448271};
  static const double a1 = 0.0597158717897698, b1 = 0.4701420641051151, a2 = 0.7974269853530873,
                      b2 = 0.1012865073234563;
  static const double L[7][3] = {{1 / 3., 1 / 3., 1 / 3.}, {a1, b1, b1}, {b1, a1, b1}, {b1, b1, a1},
                                 {a2, b2, b2}, {b2, a2, b2}, {b2, b2, a2}};
  double decay = std::exp(-2 * M_PI * M_PI * t), sum = 0;
  for (int32_t c = 1; c <= p->mesh.cells.count; c++) {
    const MeshCell &cell = p->mesh.cells.data[c - 1];
    if (!cell.alive) continue;
    const MeshNode *n[6];
    for (int k = 0; k < 6; k++) n[k] = &p->mesh.nodes.data[cell.nodes.data[k] - 1];
    double area = 0.5 * std::fabs((n[1]->x - n[0]->x) * (n[2]->y - n[0]->y) - (n[2]->x - n[0]->x) * (n[1]->y - n[0]->y));
    for (int q = 0; q < 7; q++) {
      const double *l = L[q];
      double x = 0, y = 0, uh = 0;
      for (int k = 0; k < 3; k++) {
        x += l[k] * n[k]->x, y += l[k] * n[k]->y;
        uh += l[k] * (2 * l[k] - 1) * u.data[cell.nodes.data[k] - 1] +
              4 * l[(k + 1) % 3] * l[(k + 2) % 3] * u.data[cell.nodes.data[3 + k] - 1];
      }
      double e = uh - decay * mode(x, y);
      sum += w[q] * area * e * e;
    }
  }
  return std::sqrt(sum);
}

void BM_DecaySteps(benchmark::State &state) {
  Run r(int(state.range(0)));
  double err = 0, l2 = 0, ms = 0;
  for (auto _ : state) {
    state.PauseTiming();
    int32_t centre = r.prepare(0.1, 1e-4, true, 2.0, false, mode, 0.5, 0.5);
    state.ResumeTiming();
    auto t0 = std::chrono::steady_clock::now();
    r.evolve();
    ms += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    err = r.p->solution.data[0].data[centre - 1] / 0.1389111331 - 1;
    l2 = l2_error(r.p, r.p->solution.data[0], r.p->time);
  }
  state.counters["run_s"] = ms / 1000 / double(state.iterations());
  state.counters["l2_error"] = l2;
  state.counters["unknowns"] = double(r.p->nt);
  state.counters["steps"] = double(r.p->cycle);
  state.counters["per_step_ms"] = ms / double(state.iterations()) / std::max<double>(r.p->cycle, 1);
  state.counters["rel_error"] = err;
}

// The same run with every step residual swept over the cells instead of formed from the
// stored matrices (the problem is linear with fixed coefficients): the same steps and
// errors, at the cost of the sweeps.
void BM_SweptSteps(benchmark::State &state) {
  timsolve_sweep = 1;
  BM_DecaySteps(state);
  timsolve_sweep = 0;
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
BENCHMARK(BM_SweptSteps)->Arg(76)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StepSolve)->Arg(76)->Arg(200)->Unit(benchmark::kMillisecond);
