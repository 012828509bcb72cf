// Table look-ups on a 1000-point axis: lintabs_linterp, which walks from the cached
// interval and bisects when the point is farther, against a plain std::upper_bound
// search with the same interpolation, for nearby (a quadrature point's neighbours)
// and random sequences of points.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "model/lintabs.h"

namespace {

const int points = 1000;

struct Table {
  lintab t = {};
  std::vector<float> axis, values, nearby, random;
  Table() {
    t.dimension = 1;
    arrays_new(&t.axis[0], points);
    arrays_new(&t.data1, points);
    for (int i = 0; i < points; i++) {
      float x = float(i) + 0.3f * float(i % 5);  // non-uniform
      axis.push_back(x), values.push_back(x * x);
      t.axis[0].data[i] = x, t.data1.data[i] = x * x;
    }
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> any(-1, float(points) + 2);
    for (int i = 0; i < 4096; i++) {
      nearby.push_back(100.0f + 0.37f * float(i % 2048));  // a step or two apart
      random.push_back(any(rng));
    }
  }
  ~Table() { lintabs_free(&t); }
  // The reference: a fresh binary search for every point.
  float plain(float x) const {
    size_t j = std::upper_bound(axis.begin(), axis.end(), x) - axis.begin();
    if (j == 0) return values.front();
    if (j >= axis.size()) return values.back();
    double a1 = axis[j - 1], a2 = axis[j];
    return float(((a2 - x) * values[j - 1] + (x - a1) * values[j]) / (a2 - a1));
  }
};

Table &table() {
  static Table t;
  return t;
}

void run_lintab(benchmark::State &state, const std::vector<float> &xs) {
  Table &t = table();
  size_t i = 0;
  for (auto _ : state) {
    float x = xs[i++ & 4095];
    benchmark::DoNotOptimize(lintabs_linterp(&t.t, &x));
  }
}

void run_plain(benchmark::State &state, const std::vector<float> &xs) {
  Table &t = table();
  size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(t.plain(xs[i++ & 4095]));
}

void BM_LintabNearby(benchmark::State &s) { run_lintab(s, table().nearby); }
void BM_UpperBoundNearby(benchmark::State &s) { run_plain(s, table().nearby); }
void BM_LintabRandom(benchmark::State &s) { run_lintab(s, table().random); }
void BM_UpperBoundRandom(benchmark::State &s) { run_plain(s, table().random); }

}  // namespace

BENCHMARK(BM_LintabNearby);
BENCHMARK(BM_UpperBoundNearby);
BENCHMARK(BM_LintabRandom);
BENCHMARK(BM_UpperBoundRandom);
