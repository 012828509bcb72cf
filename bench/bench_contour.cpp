// Contour tracing and joining: 20 levels of a smooth field and of
// sin(m pi x) sin(m pi y) (m = 20 at 10^4 cells, growing as the root of the cells) on
// plot meshes of 10^4 to 10^6 linear and quadratic cells. Time against cells should grow
// about linearly: a fixed field's pieces per level grow only as the root of the cells.
// Run with --benchmark_counters_tabular=true; the fitted exponent is printed as BigO.
#include <benchmark/benchmark.h>

#include <cmath>

#include "bench/plotgrid.h"
#include "plot/contour.h"

namespace {

void trace(benchmark::State &state, uint32_t basis, bool wavy) {
  setup();
  tmesh t = {};
  int n = side_of(state.range(0));
  grid(&t, n, basis);
  if (basis == tri6)
    for (int32_t c = 0; c < t.flags.count; c++) t.flags.data[c] = TRIMESH_CURVED;
  double m = 20 * std::sqrt(double(state.range(0)) / 1e4);
  vectord u = {};
  vectord_new(&u, t.nodes.count, t.nodes.count);
  for (int32_t i = 0; i < t.nodes.count; i++) {
    double x = t.nodes.data[i].x, y = t.nodes.data[i].y;
    u.data[i] = wavy ? std::sin(m * M_PI * x) * std::sin(m * M_PI * y) : x * x + y * y + 0.3 * x * y;
  }
  double lo = wavy ? -1 : 0, hi = wavy ? 1 : 2.3, h = 1.0 / n / 4;
  polylinelist l = {};
  ElementFrame f;
  int64_t pieces = 0;
  for (auto _ : state) {
    for (int k = 1; k <= 20; k++) {
      double c = lo + (hi - lo) * (k - 0.5) / 20;
      contour_clear_polylines(&l);
      for (int32_t cell = 1; cell <= t.source.count; cell++)
        poly_cell(&u, nullptr, &l, &t, cell, c, (hi - lo) / 20, &f, h);
      pieces += l.count;
      merge_polylines(&l, h * 0.1);
    }
  }
  state.counters["pieces"] = benchmark::Counter(double(pieces), benchmark::Counter::kAvgIterations);
  state.SetComplexityN(state.range(0));
  contour_free_polylines(&l);
  vectord_free(&u);
  trimesh_free_0(&t);
}

void SmoothLinear(benchmark::State &s) { trace(s, tri3, false); }
void WavyLinear(benchmark::State &s) { trace(s, tri3, true); }
void SmoothQuadratic(benchmark::State &s) { trace(s, tri6, false); }
void WavyQuadratic(benchmark::State &s) { trace(s, tri6, true); }

#define CELLS ->RangeMultiplier(10)->Range(10000, 1000000)->Unit(benchmark::kMillisecond)->Complexity()
BENCHMARK(SmoothLinear) CELLS;
BENCHMARK(WavyLinear) CELLS;
BENCHMARK(SmoothQuadratic) CELLS;
BENCHMARK(WavyQuadratic) CELLS;

}  // namespace
