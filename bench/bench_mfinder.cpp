// Point location in a mesh of 20,000 jittered triangles: 100,000 seeded random queries
// through the cell finder, against a scan that localises every cell for a sample of
// the same points; the counters give both rates and their ratio.
#include <benchmark/benchmark.h>

#include <chrono>
#include <random>
#include <vector>

#include "elements/evalpoint.h"
#include "elements/meshes.h"
#include "elements/mfinder.h"

namespace {

// A 101 x 101 grid of nodes on the unit square, inner nodes moved by up to a fifth of
// a spacing, two triangles per square.
void grid_mesh(Mesh *m) {
  const int n = 100;
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> jitter(-0.2 / n, 0.2 / n);
  m->meshbasis = m->cellbasis = tri3;
  m->nodestep = m->cellstep = 500;
  for (int j = 0; j <= n; j++)
    for (int i = 0; i <= n; i++) {
      bool inner = i > 0 && i < n && j > 0 && j < n;
      meshes_new_node_0(m, double(i) / n + (inner ? jitter(rng) : 0), double(j) / n + (inner ? jitter(rng) : 0), 0);
    }
  for (int j = 0; j < n; j++)
    for (int i = 0; i < n; i++) {
      int32_t a = j * (n + 1) + i + 1, b = a + 1, c = a + n + 2, d = a + n + 1;
      for (auto [p, q, r] : {std::tuple{a, b, c}, {a, c, d}}) {
        int32_t k = meshes_new_cell_0(m);
        m->cells.data[k - 1].basis = tri3;
        meshes_renode3_1(&m->cells, k, p, q, r);
      }
    }
}

int32_t scan(Mesh *m, evalpoint *p) {
  double xyz[3] = {p->x, p->y, 0};
  for (int32_t c = 1; c <= m->cells.count; c++) {
    meshes_localize(m, &m->cells.data[c - 1], p->cell, 0);
    elements_get_lcoords(p->local, xyz, &p->cell->frame, 0.5);
    if (p->local[0] > -1e-6 && p->local[1] > -1e-6 && p->local[2] > -1e-6) return c;
  }
  return 0;
}

void BM_FinderAgainstScan(benchmark::State &state) {
  Mesh m{};
  grid_mesh(&m);
  LocalCell lc{};
  evalpoint p{};
  p.cell = &lc;
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> u(0, 1);
  std::vector<std::pair<double, double>> pts(100000);
  for (auto &[x, y] : pts) x = u(rng), y = u(rng);
  mfinder_build_finder(&m);
  double finder_s = 0, scan_s = 0;
  int64_t found = 0, scanned = 0;
  const size_t sample = 200;
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    for (auto [x, y] : pts) p.x = x, p.y = y, found += mfinder_find_cell2(&p, &m, 0) > 0;
    auto t1 = std::chrono::steady_clock::now();
    for (size_t i = 0; i < sample; i++) p.x = pts[i].first, p.y = pts[i].second, scanned += scan(&m, &p) > 0;
    auto t2 = std::chrono::steady_clock::now();
    finder_s += std::chrono::duration<double>(t1 - t0).count();
    scan_s += std::chrono::duration<double>(t2 - t1).count();
  }
  double iters = double(state.iterations());
  state.counters["cells"] = m.cells.count;
  state.counters["finder_qps"] = iters * pts.size() / finder_s;
  state.counters["scan_qps"] = iters * sample / scan_s;
  state.counters["ratio"] = (iters * pts.size() / finder_s) / (iters * sample / scan_s);
  state.counters["found"] = double(found) / iters;
  meshes_free(&m, 0);
}
BENCHMARK(BM_FinderAgainstScan)->Unit(benchmark::kMillisecond);

}  // namespace
