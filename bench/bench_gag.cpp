// Recording lines in a view's display list against the least that recording must
// do: map both ends into relative units, clip them and append them to a
// std::vector. 10^6 lines a run, a third of them partly outside the clip window.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "graphics/gag.h"
#include "runtime/clipping.h"

namespace {

constexpr int kLines = 1000000;

// End points in the window's user coordinates (0..1.5 x 0..1), some beyond the clip.
std::vector<rectd> lines() {
  std::vector<rectd> out(kLines);
  for (int i = 0; i < kLines; i++) {
    double t = (i % 997) / 997.0, u = (i % 991) / 991.0;
    out[size_t(i)] = {1.5 * t, u, 1.5 * u, (i % 3 == 0) ? 1.4 * t + 0.5 : t};
  }
  return out;
}

int32_t quiet(uint16_t, int16_t, intptr_t, intptr_t) { return 0; }

void BM_RecordLines(benchmark::State &state) {
  gag_init();
  String name = {5, 0, const_cast<char *>("bench")};
  static uint16_t cls = gag_newwindowclass_0(quiet, &name);
  uint16_t w = gag_newwindow_2(0, cls, 600, 450, &name, 0);
  gag_setclip_1(w, 0.1, 0.1, 1.4, 0.9);
  std::vector<rectd> l = lines();
  for (auto _ : state) {
    for (const rectd &r : l) gag_drawline_1(w, r.x1, r.y1, r.x2, r.y2);
    state.PauseTiming();
    gag_forget(w);
    state.ResumeTiming();
  }
  gag_closegraph();
  state.SetItemsProcessed(state.iterations() * kLines);
}

// The same recording in a free viewport, which has no surface to draw on: the
// display list's own cost.
void BM_RecordLinesOnly(benchmark::State &state) {
  uint16_t v = gag_newview_1(0, 0, 0, 1, 1, 0);
  gag_scaleview_1(v, 0, 0, 1.5, 1);
  gag_setclip_1(v, 0.1, 0.1, 1.4, 0.9);
  std::vector<rectd> l = lines();
  for (auto _ : state) {
    for (const rectd &r : l) gag_drawline_1(v, r.x1, r.y1, r.x2, r.y2);
    state.PauseTiming();
    gag_forget(v);
    state.ResumeTiming();
  }
  gag_closegraph();
  state.SetItemsProcessed(state.iterations() * kLines);
}

// The same mapping (clamped into the user window, scaled), the same clipping, and
// the two end points appended to a vector.
void BM_MapClipVector(benchmark::State &state) {
  const rectd usr = {0, 0, 1.5, 1};
  const rects clip = {0.1f, 0.1f, 1.4f, 0.9f};
  auto map = [&usr](double x, double y) {
    x = std::clamp(x, usr.x1, usr.x2);
    y = std::clamp(y, usr.y1, usr.y2);
    return points{float(x - usr.x1), float(y - usr.y1)};
  };
  std::vector<rectd> l = lines();
  for (auto _ : state) {
    std::vector<points> out;
    for (const rectd &r : l) {
      points a = map(r.x1, r.y1), b = map(r.x2, r.y2);
      if (clipping_clipline_3(&a, &b, &clip, &a, &b) == CLIP_OUTSIDE) continue;
      out.push_back(a);
      out.push_back(b);
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * kLines);
}

}  // namespace

BENCHMARK(BM_RecordLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RecordLinesOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MapClipVector)->Unit(benchmark::kMillisecond);
