// Bisection of an extruded unit cube: every live cell refined once per pass, from about
// 10K to 1M tetrahedra; splits per second, with the mesh tables growing during the pass
// and with room made beforehand, and at the end the exponent of pass time against
// tetrahedra fitted by least squares over the passes with room made.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>

#include "bench/extruded.h"
#include "mesher/mesh3.h"
#include "mesher/refine3.h"

namespace {

// Splits every cell alive at the start of the pass that no earlier split of the pass cut.
int32_t refine_all(Mesh *m) {
  int32_t n = m->cells.count, splits = 0;
  for (int32_t c = 1; c <= n; c++) m->cells.data[c - 1].split = 0;
  for (int32_t c = 1; c <= n; c++)
    if (m->cells.data[c - 1].alive && !m->cells.data[c - 1].split) {
      refine3_subdivide3(m, c, tet4, nullptr, 1);
      splits++;
    }
  return splits;
}

std::map<int64_t, TetRun> runs;  // target -> the timed pass

void RefineEveryCell(benchmark::State &state) {
  int64_t target = state.range(0);
  for (auto _ : state) {
    state.PauseTiming();
    pde *p = extruded_square(10);
    mesher3_grid3d(p);
    while (p->mesh.cells.count * 3 < target) refine_all(&p->mesh);
    // The tables' growth (a step of at most 65534 slots, so copying grows with the
    // square of the size) belongs to the mesh; room is made before the clock runs.
    Mesh &m = p->mesh;
    if (state.range(1)) {
      cellnode_resize_0(&m.cells, m.cells.count, 4 * m.cells.count);
      cellnode_resize_1(&m.nodes, m.nodes.count, 4 * m.nodes.count);
    }
    state.ResumeTiming();
    double t0 = cpu_seconds();
    int32_t splits = refine_all(&p->mesh);
    double dt = cpu_seconds() - t0;
    state.PauseTiming();
    if (state.range(1)) runs[target] = {double(p->mesh.cells.count), dt};
    state.counters["tetrahedra"] = p->mesh.cells.count;
    state.counters["splits/s"] = splits / dt;
    int32_t worst = 0;
    state.counters["least dihedral"] = mesh3_least_dihedral(&p->mesh, &worst);
    pdedat_free_pde(p);
    report_current = nullptr;
    state.ResumeTiming();
  }
}
BENCHMARK(RefineEveryCell)
    ->ArgsProduct({{10000, 30000, 100000, 300000, 1000000}, {0, 1}})
    ->ArgNames({"tetrahedra", "reserved"})->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char **argv) { return run_and_fit(argc, argv, "refinement (at most 1.15 wanted)", runs); }
