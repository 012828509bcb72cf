// The extrusion of the unit square's base mesh (NGRID 20 to 160) through four flat layers
// into tetrahedra: tetrahedra per second, and at the end the exponent of extrusion time
// against tetrahedra fitted by least squares.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <map>

#include "elements/basisfun.h"
#include "elements/elements.h"
#include "elements/quature.h"
#include "bench/extruded.h"
#include "domain/bounding.h"
#include "mesher/mesher3.h"
#include "runtime/math.h"

namespace {

double cpu_seconds() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

struct Run {
  double cells = 0, seconds = 0;
};
std::map<int, Run> runs;  // ngrid -> mean run

void Extrude(benchmark::State &state) {
  int ngrid = int(state.range(0));
  double cells = 0, seconds = 0;
  int n = 0;
  for (auto _ : state) {
    state.PauseTiming();
    pde *p = extruded_square(ngrid);
    state.ResumeTiming();
    double t0 = cpu_seconds();
    mesher3_grid3d(p);
    seconds += cpu_seconds() - t0;
    state.PauseTiming();
    cells += p->mesh.cells.count, n++;
    pdedat_free_pde(p);
    pdedat_current = nullptr;
    state.ResumeTiming();
  }
  runs[ngrid] = {cells / n, seconds / n};
  state.counters["tetrahedra"] = cells / n;
  state.counters["tetrahedra/s"] = cells / seconds;
}
BENCHMARK(Extrude)->Arg(20)->Arg(40)->Arg(80)->Arg(160)->ArgName("ngrid")->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char **argv) {
  math_init();
  bounding_init();
  quature_init_quadrature();
  basisfun_node_coords();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  double sx = 0, sy = 0, sxx = 0, sxy = 0;
  int k = 0;
  for (auto &[ngrid, r] : runs) {
    double x = std::log(r.cells), y = std::log(r.seconds);
    sx += x, sy += y, sxx += x * x, sxy += x * y, k++;
  }
  if (k >= 2)
    printf("extrusion: time ~ tetrahedra^%.3f over %d sizes; largest %.0f tetrahedra at %.0f tetrahedra/s\n",
           (k * sxy - sx * sy) / (k * sxx - sx * sx), k, runs.rbegin()->second.cells,
           runs.rbegin()->second.cells / runs.rbegin()->second.seconds);
  return 0;
}
