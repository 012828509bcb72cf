// Plot meshes from 10^4 to 10^6 cells: copy, densify, squash of a mesh with many
// collapsed cells, linearise, and 10^5 point lookups; the lookups once more through the
// plain strips alone (to 2*10^5 cells) as the baseline. Run with
// --benchmark_counters_tabular=true and compare time against cells.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

#include "elements/elements.h"
#include "bench/plotgrid.h"
#include "plot/trimesh.h"

namespace {


void Copy(benchmark::State &state) {
  setup();
  for (auto _ : state) {
    tmesh t = {};
    grid(&t, side_of(state.range(0)), tri3);
    benchmark::DoNotOptimize(t.cells.data);
    trimesh_free_0(&t);
  }
  state.counters["cells"] = double(state.range(0));
}

// A quarter of the cells, refined so that every side halves: about the given count.
void Densify(benchmark::State &state) {
  setup();
  int n = side_of(state.range(0) / 4);
  rectd window = {-1, -1, 2, 2};
  int32_t cells = 0;
  for (auto _ : state) {
    state.PauseTiming();
    tmesh t = {};
    grid(&t, n, tri3);
    state.ResumeTiming();
    trimesh_tdensify_1(&t, 0.5 / n, &window, nullptr);
    cells = t.source.count;
    state.PauseTiming();
    trimesh_free_0(&t);
    state.ResumeTiming();
  }
  state.counters["cells"] = cells;
}

// Every fifth cell collapsed at one side, its other sides flagged, as a plane cut
// through nodes leaves them.
void Squash(benchmark::State &state) {
  setup();
  int32_t cells = 0;
  for (auto _ : state) {
    state.PauseTiming();
    tmesh t = {};
    grid(&t, side_of(state.range(0)), tri3);
    for (int32_t c = 1; c <= t.source.count; c += 5) {
      t.cells.data[3 * (c - 1) + 1] = t.cells.data[3 * (c - 1)];
      t.flags.data[c - 1] = 1 | 2;
    }
    state.ResumeTiming();
    trimesh_tsquash(&t);
    cells = t.source.count;
    state.PauseTiming();
    trimesh_free_0(&t);
    state.ResumeTiming();
  }
  state.counters["cells"] = double(state.range(0));
  state.counters["kept"] = cells;
}

// Fresh storage, or (room) storage for the sub-cells made beforehand: above some size
// the allocator hands out fresh pages, whose first touch then dominates.
void linearise(benchmark::State &state, int room) {
  setup();
  for (auto _ : state) {
    state.PauseTiming();
    tmesh t = {};
    grid(&t, side_of(state.range(0)), tri6, room);
    state.ResumeTiming();
    trimesh_tlinearize_0(&t);
    state.PauseTiming();
    trimesh_free_0(&t);
    state.ResumeTiming();
  }
  state.counters["cells"] = double(state.range(0));
}
void Linearise(benchmark::State &state) { linearise(state, 1); }
void LineariseInRoom(benchmark::State &state) { linearise(state, 4); }

// 10^5 lookups of random points; strips_only hides the bucket grid from the lookups.
void lookups(benchmark::State &state, bool strips_only) {
  setup();
  tmesh t = {};
  grid(&t, side_of(state.range(0)), tri3);
  trimesh_build_tfinder_0(&t);
  tfinder_index *kept = t.finder.index;
  if (strips_only) t.finder.index = nullptr;
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> u(0, 1);
  std::vector<pointd> points(100000);
  for (pointd &p : points) p = {u(rng), u(rng)};
  for (auto _ : state) {
    int64_t sum = 0;
    for (const pointd &p : points) sum += trimesh_find_tcell_0(&t, &p, 0);
    benchmark::DoNotOptimize(sum);
  }
  t.finder.index = kept;
  trimesh_free_0(&t);
  state.counters["cells"] = double(state.range(0));
}

void Lookup(benchmark::State &state) { lookups(state, false); }
void LookupStrips(benchmark::State &state) { lookups(state, true); }

}  // namespace

#define SIZES ->Arg(10000)->Arg(30000)->Arg(100000)->Arg(300000)->Arg(1000000)->Unit(benchmark::kMillisecond)
BENCHMARK(Copy) SIZES;
BENCHMARK(Densify) SIZES;
BENCHMARK(Squash) SIZES;
BENCHMARK(Linearise) SIZES;
BENCHMARK(LineariseInRoom) SIZES;
BENCHMARK(Lookup) SIZES;
BENCHMARK(LookupStrips)->Arg(10000)->Arg(30000)->Arg(100000)->Arg(200000)->Unit(benchmark::kMillisecond);
