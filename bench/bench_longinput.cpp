// Long input lines run as a process: a sum of 50,000 terms and a name of 100,000
// characters (both past the 65535 characters a line may hold), the longest sum the
// reader takes (4000 terms, its depth limit), a sum of 32,000 terms on one line (too
// deep), and a balanced sum of 4000 different terms. Each run should end, done or with
// its located error, well within a second: "done" and "located" say how it ended.
// Beside them, the shared-subexpression pass alone on balanced sums of 1000 to 8000
// different terms, whose fitted growth shows its cost per node pair.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "model/treemods.h"
#include "model/trees.h"

namespace {

std::string slurp(const std::string &path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A balanced sum of the terms k*x for k from first to first + n - 1, as text.
std::string balanced_text(int first, int n) {
  if (n == 1) return std::to_string(first) + "*x";
  return "(" + balanced_text(first, n / 2) + "+" + balanced_text(first + n / 2, n - n / 2) + ")";
}

std::string descriptor(int kind) {
  std::string line;
  switch (kind) {
    case 0: case 2: case 3: {
      int terms = kind == 0 ? 50000 : kind == 2 ? 4000 : 32000;
      line = "s = x";
      for (int k = 1; k < terms; k++) line += "+x";
      break;
    }
    case 1: line = std::string(100000, 'a') + " = 1 s = 1"; break;
    default: line = "s = " + balanced_text(1, 4000);
  }
  return "TITLE 'long input'\nVARIABLES u\nDEFINITIONS\n  " + line +
         "\nEQUATIONS div(grad(u)) + s = 0\n"
         "BOUNDARIES REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH\nEND\n";
}

void BM_LongInput(benchmark::State &state) {
  std::string dir = "/tmp/bench_longinput." + std::to_string(getpid());
  (void)system(("mkdir -p " + dir).c_str());
  std::ofstream(dir + "/long.pde") << descriptor(int(state.range(0)));
  std::string cmd = "cd " + dir + " && TMPDIR=" + dir + " '" QUENDAR_EXE "' -B -R -X long.pde >out.txt 2>&1";
  std::string out, log;
  for (auto _ : state) {
    (void)system(("rm -f " + dir + "/long.log").c_str());
    int status = system(cmd.c_str());
    benchmark::DoNotOptimize(status);
    state.PauseTiming();
    out = slurp(dir + "/out.txt");
    log = slurp(dir + "/long.log");
    state.ResumeTiming();
  }
  state.counters["done"] = log.find("--DONE--") != std::string::npos;
  state.counters["located"] =
      log.find("Line 4 ERROR: ") != std::string::npos || out.find("long.pde: line 4: ") != std::string::npos;
  (void)system(("rm -rf " + dir).c_str());
}

// A balanced sum of the terms k*x as a tree.
TreeNode *balanced_tree(int first, int n) {
  if (n == 1) {
    TreeNode *t = trees_new_0(op::mulop);
    t->arity = 2;
    t->child[0] = trees_new_real_0(first);
    t->child[1] = trees_new_0(op::xcoord);
    return t;
  }
  TreeNode *t = trees_new_0(op::addop);
  t->arity = 2;
  t->child[0] = balanced_tree(first, n / 2);
  t->child[1] = balanced_tree(first + n / 2, n - n / 2);
  return t;
}

void BM_CommonSubexpressions(benchmark::State &state) {
  int n = int(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    TreeNode *t = balanced_tree(1, n);
    state.ResumeTiming();
    treemods_find_common(t, t);
    state.PauseTiming();
    trees_free_0(t);
    state.ResumeTiming();
  }
  state.SetComplexityN(n);
}

}  // namespace

BENCHMARK(BM_LongInput)->DenseRange(0, 4)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CommonSubexpressions)->RangeMultiplier(2)->Range(1000, 8000)->Unit(benchmark::kMillisecond)->Complexity();
