// Uniform refinement of the unit square: a grid of N jittered triangles, every estimate
// above the limit, split once each by the refinement driver (N from 4K to 1M cells).
// The counter gives the time per split; the fitted complexity its growth with N.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <tuple>

#include "control/pdedat.h"
#include "model/pdedat_record.h"
#include "elements/meshes.h"
#include "mesher/mesh2.h"
#include "solver/measures.h"
#include "mesher/refiner.h"

namespace {

// About n triangles: a k x k grid of squares, inner nodes moved by up to a fifth of a
// spacing, two triangles per square, neighbours linked.
void grid_mesh(Mesh *m, int32_t n) {
  int k = int(std::lround(std::sqrt(n / 2.0)));
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> jitter(-0.2 / k, 0.2 / k);
  m->meshbasis = m->cellbasis = tri3;
  m->nodestep = m->cellstep = 500;
  for (int j = 0; j <= k; j++)
    for (int i = 0; i <= k; i++) {
      bool inner = i > 0 && i < k && j > 0 && j < k;
      meshes_new_node_0(m, double(i) / k + (inner ? jitter(rng) : 0), double(j) / k + (inner ? jitter(rng) : 0), 0);
    }
  for (int j = 0; j < k; j++)
    for (int i = 0; i < k; i++) {
      int32_t a = j * (k + 1) + i + 1, b = a + 1, c = a + k + 2, d = a + k + 1;
      for (auto [p, q, r] : {std::tuple{a, b, c}, {a, c, d}}) {
        int32_t t = meshes_new_cell_0(m);
        m->cells.data[t - 1].basis = tri3;
        m->cells.data[t - 1].region = 1;
        meshes_renode3_0(m, t, p, q, r);
        meshes_new_nodecell3(m, t, p, q, r);
      }
    }
  mesh2_resolve_nabors2(m, 0);
}

void BM_UniformSplit(benchmark::State &state) {
  static pde P{};
  P.dimension = 2;
  if (!P.work.capacity) vector2d_resize(&P.work, 0, 20);
  int64_t splits = 0;
  for (auto _ : state) {
    state.PauseTiming();
    Mesh &m = P.mesh;
    meshes_free(&m, 0);
    m = Mesh{};
    grid_mesh(&m, int32_t(state.range(0)));
    for (int32_t c = 1; c <= m.cells.count; c++) m.cells.data[c - 1].error = 1.5;
    state.ResumeTiming();
    splits += refiner_refine({P.dimension, P.errlim, &P.work, &P.sortindex}, &m, 1.0, 0.0, 1 << 30, nullptr, 0);
  }
  state.counters["per_split"] =
      benchmark::Counter(double(splits), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_UniformSplit)->RangeMultiplier(4)->Range(4096, 1 << 20)->Unit(benchmark::kMillisecond)->Complexity();

// The curvature estimate of a smooth field over the same grids: time per measured cell.
void BM_CurvatureMeasure(benchmark::State &state) {
  static pde P{};
  P.dimension = 2, P.nfield = 1, P.area_cutoff = 2, P.sensitivity = 1, P.errlim = 0.01;
  if (!P.work.capacity) vector2d_resize(&P.work, 0, 20);
  Mesh &m = P.mesh;
  meshes_free(&m, 0);
  m = Mesh{};
  grid_mesh(&m, int32_t(state.range(0)));
  vector2d u{};
  vector2d_resize(&u, 1, 1);
  vectord_resize(&u.data[0], m.nodes.count, m.nodes.count);
  for (int32_t n = 1; n <= m.nodes.count; n++) u.data[0].data[n - 1] = std::sin(3 * m.nodes.data[n - 1].x) * m.nodes.data[n - 1].y;
  measures_get_range(&P, &u);
  for (auto _ : state) benchmark::DoNotOptimize(measures_measure_curvature(&P, &u, 0, 0));
  state.counters["per_cell"] = benchmark::Counter(double(m.cells.count) * state.iterations(),
                                                  benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.SetComplexityN(state.range(0));
  vector2d_free(&u, 1);
}
BENCHMARK(BM_CurvatureMeasure)->RangeMultiplier(4)->Range(4096, 1 << 20)->Unit(benchmark::kMillisecond)->Complexity();

}  // namespace
