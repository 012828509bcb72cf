// DXF import of n separate lines that join end to end into one path, drawn in a
// shuffled order: joining the open ends goes through a grid of cells, so the time per
// line stays flat as n grows (the fitted complexity is reported).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "reader/rddxf.h"

namespace {

void BM_ImportSeparateLines(benchmark::State &state) {
  const int n = int(state.range(0));
  char tmpl[] = "/tmp/bench_dxf_XXXXXX";
  std::string base = std::string(mkdtemp(tmpl)) + "/lines";
  FILE *f = fopen((base + ".dxf").c_str(), "w");
  fputs("0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nLAYER\n70\n2\n0\nLAYER\n2\n0\n0\nLAYER\n2\na\n0\nENDTAB\n0\nENDSEC\n", f);
  fputs("0\nSECTION\n2\nENTITIES\n", f);
  for (int k = 0; k < n; k++) {
    long j = long(k) * 7919 % n;  // 7919 is prime: every segment once
    fprintf(f, "0\nLINE\n8\na\n10\n%ld\n20\n0\n11\n%ld\n21\n0\n", j, j + 1);
  }
  fputs("0\nENDSEC\n0\nEOF\n", f);
  fclose(f);
  String path = {};
  strings_copyto_1(&path, base.c_str());
  for (auto _ : state) benchmark::DoNotOptimize(rddxf_scan_dxf(&path));
  strings_free_0(&path);
  state.SetComplexityN(n);
  state.counters["lines/s"] = benchmark::Counter(double(n) * double(state.iterations()), benchmark::Counter::kIsRate);
  (void)system(("rm -rf " + base.substr(0, base.rfind('/'))).c_str());
}
BENCHMARK(BM_ImportSeparateLines)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond)->Complexity();

}  // namespace
