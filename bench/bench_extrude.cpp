// The extrusion of the unit square's base mesh (NGRID 20 to 160) through four flat layers
// into tetrahedra: tetrahedra per second, and at the end the exponent of extrusion time
// against tetrahedra fitted by least squares.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>

#include "elements/elements.h"
#include "bench/extruded.h"
#include "mesher/mesh3.h"
#include "mesher/mesher3.h"

namespace {

std::map<int, TetRun> runs;  // ngrid -> mean run

void Extrude(benchmark::State &state) {
  int ngrid = int(state.range(0));
  double cells = 0, seconds = 0, least = 180;
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
    int32_t worst = 0;
    least = std::min(least, mesh3_least_dihedral(&p->mesh, &worst));
    pdedat_free_pde(p);
    report_current = nullptr;
    state.ResumeTiming();
  }
  runs[ngrid] = {cells / n, seconds / n};
  state.counters["tetrahedra"] = cells / n;
  state.counters["tetrahedra/s"] = cells / seconds;
  state.counters["least dihedral"] = least;
}
BENCHMARK(Extrude)->Arg(20)->Arg(40)->Arg(80)->Arg(160)->ArgName("ngrid")->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char **argv) { return run_and_fit(argc, argv, "extrusion", runs); }
