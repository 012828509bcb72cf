// Chained definitions run as a process: d0 = 1, dk = d(k-1) + 1 up to d(n-1), with the
// last reported in a summary. Ordering the definitions by their dependencies should
// grow about linearly with n; "value" is the reported d(n-1), which must be n.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string descriptor(int n) {
  std::ostringstream s;
  s << "TITLE 'chain'\nVARIABLES u\nDEFINITIONS\n  d0 = 1\n";
  for (int k = 1; k < n; k++) s << "  d" << k << " = d" << k - 1 << " + 1\n";
  s << "EQUATIONS div(grad(u)) + 1 = 0\n"
       "BOUNDARIES REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH\n"
       "PLOTS SUMMARY PRINT REPORT d"
    << n - 1 << " AS 'last'\nEND\n";
  return s.str();
}

void BM_DefinitionChain(benchmark::State &state) {
  int n = int(state.range(0));
  std::string dir = "/tmp/bench_defchain." + std::to_string(getpid());
  (void)system(("mkdir -p " + dir + " && rm -f " + dir + "/chain.p01").c_str());
  std::ofstream(dir + "/chain.pde") << descriptor(n);
  std::string cmd = "cd " + dir + " && TMPDIR=" + dir + " '" QUENDAR_EXE "' -B -R -X chain.pde >out.txt 2>&1";
  for (auto _ : state) benchmark::DoNotOptimize(system(cmd.c_str()));
  std::ifstream in(dir + "/chain.p01");
  double value = 0;
  for (std::string l; std::getline(in, l);)
    if (l.rfind(" last= ", 0) == 0) value = std::stod(l.substr(7));
  state.counters["value"] = value;
  state.SetComplexityN(n);
  (void)system(("rm -rf " + dir).c_str());
}
BENCHMARK(BM_DefinitionChain)->Arg(250)->Arg(500)->Arg(1000)->Arg(2000)->Arg(5000)->Unit(benchmark::kMillisecond)
    ->Iterations(1)->UseRealTime()->Complexity();

}  // namespace
