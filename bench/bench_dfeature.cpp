// The spacing at an interior point and the region of a point on a unit disk drawn as n
// equal arcs, n from 100 to 10,000: both scan every edge once per query, so the time per
// query grows linearly with n (a log-log slope near 1). Then the set-up of a square
// holding m x m square regions (400 at m = 20): the boundary spacing at both ends of
// every edge, as the feature build sweeps them, with and without the domain's lookups;
// and the making of n joints. bench_setup times the whole set-up of such domains.
#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <optional>
#include <vector>

#include "runtime/bounding.h"
#include "domain/dfeature.h"
#include "domain/domain.h"
#include "domain/edges.h"
#include "domain/joints.h"
#include "domain/regions.h"
#include "domain/spatial.h"
#include "runtime/bopmem.h"
#include "runtime/math.h"

namespace {

// A feature record per edge that asks for the spacing h at both of its ends.
void end_spacings(Domain &d, double h) {
  featureblock &f = d.features;
  f.count = d.edges.count;
  bopmemalloc(reinterpret_cast<char **>(&f.items), f.count, sizeof(featureitem));
  XMEM += int64_t(f.count) * sizeof(featureitem);
  for (uint16_t k = 0; k < f.count; k++) {
    featureitem &it = f.items[k];
    const Edge &e = d.edges.data[k];
    it.edge = uint16_t(k + 1);
    for (uint16_t q : {e.joint1, e.joint2})
      pointd_one_more_1(&it.samples, d.joints.data[q - 1].x, d.joints.data[q - 1].y);
    vectord_one_more(&it.distances, 0), vectord_one_more(&it.distances, e.length);
    vectord_one_more(&it.spacings, h), vectord_one_more(&it.spacings, h);
  }
}

struct Disk {
  Domain d{};
  explicit Disk(int n) {
    bounding_init();
    math_init();
    domain_clear(&d);
    d.grofac = 0.25;
    std::vector<uint16_t> j;
    for (int k = 0; k < n; k++) {
      double a = 2 * std::numbers::pi * k / n;
      j.push_back(joints_make_joint_1(&d.joints, std::cos(a), std::sin(a), &d.grid));
    }
    uint16_t r = regions_new_region(&d.regions, 0, 0, 0), l = edges_new_loop(&d.loops);
    for (int k = 0; k < n; k++)
      edges_add_to_loop(
          &d.loops, l,
          edges_make_arc_edge(&d.edges, &d.joints, j[k], j[(k + 1) % n], 0, ARC_TWO_POINT_CENTER, 0, 0, 0, 0, &d.grid));
    vectorn_one_more(&d.regions.data[r - 1].loops, l);
    joints_quantize(&d.joints, &d.grid);
    domain_bound_regions(&d);
    // Every edge wants 0.01 at both ends.
    d.features.basespacing = 0.2;
    end_spacings(d, 0.01);
  }
  ~Disk() { domain_clear(&d); }
};

void SpaceFeature(benchmark::State &state) {
  Disk disk(int(state.range(0)));
  double p[2] = {0.3, 0.2};
  for (auto _ : state) benchmark::DoNotOptimize(dfeature_space_feature(&disk.d, p, nullptr));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(SpaceFeature)->RangeMultiplier(10)->Range(100, 10000)->Complexity();

void FindRegion(benchmark::State &state) {
  Disk disk(int(state.range(0)));
  double p[2] = {0.3, 0.2};
  for (auto _ : state) benchmark::DoNotOptimize(domain_find_region(&disk.d, p));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(FindRegion)->RangeMultiplier(10)->Range(100, 10000)->Complexity();

// The unit-spaced square [0, m]^2 (region 1) holding an m x m grid of half-unit squares
// (regions 2..m^2+1), every edge a line with spacing 0.01 at both ends.
struct Squares {
  Domain d{};
  explicit Squares(int m) {
    bounding_init();
    math_init();
    domain_clear(&d);
    d.grofac = 0.25;
    auto square = [&](double x, double y, double a) {
      uint16_t r = regions_new_region(&d.regions, 0, 0, 0), l = edges_new_loop(&d.loops);
      double px[4] = {x, x + a, x + a, x}, py[4] = {y, y, y + a, y + a};
      uint16_t j[4];
      for (int k = 0; k < 4; k++) j[k] = joints_make_joint_1(&d.joints, px[k], py[k], &d.grid);
      for (int k = 0; k < 4; k++)
        edges_add_to_loop(&d.loops, l, edges_make_line_edge(&d.edges, &d.joints, j[k], j[(k + 1) % 4], &d.grid));
      vectorn_one_more(&d.regions.data[r - 1].loops, l);
    };
    square(0, 0, m);
    for (int i = 0; i < m; i++)
      for (int k = 0; k < m; k++) square(i + 0.25, k + 0.25, 0.5);
    joints_quantize(&d.joints, &d.grid);
    domain_bound_regions(&d);
    d.features.basespacing = 0.2;
    d.features.aspect = 1;
    end_spacings(d, 0.2);
  }
  ~Squares() { domain_clear(&d); }
};

// With lookups 1, the queries run as the feature build runs them, with the domain's
// lookups lent; with 0, over every edge and region.
void BdryFeatureSquares(benchmark::State &state) {
  Squares sq(int(state.range(0)));
  const featureblock &f = sq.d.features;
  std::optional<DomainIndexScope> lookups;
  if (state.range(1)) lookups.emplace(&sq.d);
  for (auto _ : state)
    for (uint16_t k = 0; k < f.count; k++)
      for (int32_t i = 0; i < f.items[k].samples.count; i++)
        benchmark::DoNotOptimize(
            dfeature_bdry_feature(&sq.d, &f.items[k].samples.data[i].x, f.items[k].edge, f.items[k].spacings.data[i]));
  state.counters["regions"] = sq.d.regions.count;
}
BENCHMARK(BdryFeatureSquares)
    ->ArgsProduct({{10, 20}, {0, 1}})
    ->ArgNames({"m", "lookups"})
    ->Unit(benchmark::kMillisecond);

void MakeJoints(benchmark::State &state) {
  int n = int(state.range(0));
  for (auto _ : state) {
    Domain d{};
    bounding_init();
    domain_clear(&d);
    for (int k = 0; k < n; k++) {
      double a = 2 * std::numbers::pi * k / n;
      joints_make_joint_1(&d.joints, std::cos(a), std::sin(a), &d.grid);
    }
    domain_clear(&d);
  }
}
BENCHMARK(MakeJoints)->Arg(1000)->Arg(10000)->Arg(30000)->Unit(benchmark::kMillisecond);

}  // namespace
