// Reading TRANSFER files of n nodes: a square grid of triangles in two blocks whose
// seam is linked by position. Node and cell tables grow once per block and the seam
// search goes through the corner index, so the time per node stays flat as n grows
// (the fitted complexity is reported; a per-node growth would show as n^2, a scan of
// every later cell for each open side as n^1.5).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "control/pdedat.h"
#include "model/pdedat_record.h"
#include "control/verdat.h"
#include "model/xferdat.h"
#include "reader/rdpde.h"
#include "reader/rdtable.h"

namespace {

// A side of k cells split into two blocks of columns; u = x + y at every node.
void write_square(const std::string &path, int k) {
  FILE *f = fopen(path.c_str(), "w");
  fputs("Quendar v2 Transfer File\nbench\n 2 DIMENSIONS\nX\nY\n 4 BASIS\n 3 DOF\n 1 VARIABLES\nU\n", f);
  int half = k / 2;
  for (int b = 0; b < 2; b++) {
    int c0 = b ? half : 0, c1 = b ? k : half, cols = c1 - c0 + 1, rows = k + 1;
    fprintf(f, " %d NODES\n", cols * rows);
    for (int i = c0; i <= c1; i++)
      for (int j = 0; j <= k; j++) fprintf(f, "%g %g %g\n", double(i) / k, double(j) / k, double(i + j) / k);
    fprintf(f, " %d CELLS\n", 2 * (cols - 1) * k);
    auto node = [&](int i, int j) { return (i - c0) * rows + j + 1; };
    for (int i = c0; i < c1; i++)
      for (int j = 0; j < k; j++) {
        fprintf(f, " 4 %d %d %d : 0 0 0\n", node(i, j), node(i + 1, j), node(i + 1, j + 1));
        fprintf(f, " 4 %d %d %d : 0 0 0\n", node(i, j), node(i + 1, j + 1), node(i, j + 1));
      }
  }
  fputs(" 0 NODES\n", f);
  fclose(f);
}

void BM_ReadTransfer(benchmark::State &state) {
  const int k = int(std::lround(std::sqrt(double(state.range(0)))));
  char tmpl[] = "/tmp/bench_transfer_XXXXXX";
  std::string folder = mkdtemp(tmpl), path = folder + "/square.xfr";
  write_square(path, k);
  rdpde_init();
  rdpde_init_parse();
  settings.batch = 1;
  String name = {};
  strings_copyto_1(&name, (folder + "/run.pde").c_str());
  pde *p = pdedat_new_pde(&name);
  report_current = rdpde_problem = p;
  parse_node file = {}, *v[4] = {nullptr, nullptr, nullptr, &file};
  file.token = SYM_STRING;
  strings_copyto_1(&file.value.string, path.c_str());
  for (auto _ : state) {
    parse_node r = {};
    rdtable_transfer1(&r, v);
    benchmark::DoNotOptimize(p->transfers.items[0].mesh.cells.count);
    xferdat_free(&p->transfers);
  }
  state.SetComplexityN(state.range(0));
  state.counters["nodes/s"] = benchmark::Counter(double(state.range(0)) * double(state.iterations()), benchmark::Counter::kIsRate);
  strings_free_0(&file.value.string);
  strings_free_0(&name);
  pdedat_free_pde(p);
  (void)system(("rm -rf " + folder).c_str());
}
BENCHMARK(BM_ReadTransfer)->RangeMultiplier(10)->Range(10000, 1000000)->Unit(benchmark::kMillisecond)->Complexity();

}  // namespace
