// The eigenvalue driver: the small Rayleigh-Ritz problem at subspace sizes of 6 to 18
// on both paths, and whole runs of the unit-square modes (MODES 10, P2) as a process,
// with the passes to converge and the time per pass and per inverse-iteration solve
// read from the run. NGRID 160 gives about 100,000 unknowns. Three variables coupled
// without symmetry (a nonsymmetric matrix, solved against the subspace each pass) at
// ERRLIM 1e-3, 1e-4 and 1e-5, with the last grid's nodes read from the run.
#include <benchmark/benchmark.h>
#include <sys/wait.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <random>
#include <regex>
#include <sstream>
#include <string>

#include "control/pdedat.h"
#include "model/pdedat_record.h"
#include "solver/eigensol.h"

static void fill_spd(matrixd *m, int n, std::mt19937 &g, double shift) {
  std::uniform_real_distribution<double> u(-1, 1);
  matrixd_resize(m, n, n);
  for (int i = 0; i < n; i++)
    for (int j = 0; j <= i; j++) m->data[i * n + j] = m->data[j * n + i] = u(g) + (i == j ? shift : 0);
}

static void BM_SubEigs(benchmark::State &state) {
  int M = int(state.range(0));
  auto p = std::make_unique<pde>();
  EigenRun run;
  p->eispack = uint8_t(state.range(1));
  p->modes = uint16_t(M / 2);
  std::mt19937 g(7);
  matrixd a0{}, b0{}, a{}, b{}, q{};
  vectord lam{};
  fill_spd(&a0, M, g, M);
  fill_spd(&b0, M, g, M);
  for (auto _ : state) {
    matrixd_copyto_0(&a, &a0);
    matrixd_copyto_0(&b, &b0);
    sub_eigs(p.get(), &run, &lam, &q, &a, &b);
    benchmark::DoNotOptimize(lam.data);
  }
  for (matrixd *m : {&a0, &b0, &a, &b, &q}) matrixd_free(m);
  vectord_free(&lam);
}
BENCHMARK(BM_SubEigs)->ArgsProduct({{6, 12, 18}, {1, 0}})->Unit(benchmark::kMicrosecond);

static std::string slurp(const std::string &path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

static void BM_SquareModes(benchmark::State &state) {
  std::string dir = "/tmp/bench_eigen." + std::to_string(getpid());
  std::string s = slurp(QUENDAR_EXAMPLES "/square_modes.pde");
  s = std::regex_replace(s, std::regex("MODES = 6"), "MODES = 10");
  s = std::regex_replace(s, std::regex("NGRID = 20"), "NGRID = " + std::to_string(state.range(0)));
  (void)system(("mkdir -p " + dir).c_str());
  std::ofstream(dir + "/sq.pde") << s;
  int passes = 0;
  double seconds = 0;
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    (void)system(("cd " + dir + " && '" QUENDAR_EXE "' -B -R -X sq.pde >/dev/null 2>&1").c_str());
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::string log = slurp(dir + "/sq.log");
    static const std::regex pass("Pass \\d+");
    passes = int(std::distance(std::sregex_iterator(log.begin(), log.end(), pass), std::sregex_iterator()));
  }
  state.counters["passes"] = passes;
  state.counters["s_per_pass"] = passes ? seconds / passes : 0;
  state.counters["s_per_solve"] = passes ? seconds / passes / 18 : 0;  // M = 18 solves a pass
  (void)system(("rm -rf " + dir).c_str());
}
BENCHMARK(BM_SquareModes)->Arg(40)->Arg(160)->Iterations(1)->Unit(benchmark::kSecond);

static void BM_NonsymmetricModes(benchmark::State &state) {
  std::string dir = "/tmp/bench_eigen_ns." + std::to_string(getpid());
  (void)system(("mkdir -p " + dir).c_str());
  std::ofstream(dir + "/ns.pde") << "TITLE 'nonsymmetric triple'\nSELECT\n  MODES = 6\n  ERRLIM = 1e-" << state.range(0)
                                 << "\nVARIABLES\n  u\n  v\n  w\nEQUATIONS\n"
                                    "  u: div(grad(u)) + 2*v + lambda*u = 0\n"
                                    "  v: div(grad(v)) + 0.5*u + lambda*v = 0\n"
                                    "  w: div(grad(w)) + 3*v + lambda*w = 0\n"
                                    "BOUNDARIES\n  REGION 1\n    START(0,0) VALUE(u)=0 VALUE(v)=0 VALUE(w)=0\n"
                                    "    LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH\nEND\n";
  int nodes = 0;
  for (auto _ : state) {
    (void)system(("cd " + dir + " && '" QUENDAR_EXE "' -B -R -X ns.pde >/dev/null 2>&1").c_str());
    std::string log = slurp(dir + "/ns.log");
    static const std::regex grid("Nodes=(\\d+)");
    for (auto it = std::sregex_iterator(log.begin(), log.end(), grid); it != std::sregex_iterator(); ++it)
      nodes = std::stoi((*it)[1]);
  }
  state.counters["nodes"] = nodes;
  (void)system(("rm -rf " + dir).c_str());
}
BENCHMARK(BM_NonsymmetricModes)->DenseRange(3, 5)->Iterations(1)->Unit(benchmark::kSecond);
