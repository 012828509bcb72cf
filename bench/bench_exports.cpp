// Grid exports of an L-shaped extrusion run as a process: the same problem with no
// export, with a TABLE and with a netCDF file of 51^3 points, at two mesh spacings
// (about 13,000 and 44,000 nodes). The grid's columns over the missing quarter lie
// wholly outside and move toward the middle a tenth of a step at a time, so an export
// should cost about what its points do, not what its outside moves do. "nodes" is the
// mesh's node count read from the log.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>

namespace {

const char *const kExports[] = {"", "  TABLE(u)\n", "  CDF(u)\n"};

std::string descriptor(int kind, double spacing) {
  std::ostringstream s;
  s << "TITLE 'L extrusion export'\nCOORDINATES CARTESIAN3\nSELECT REGRID=OFF\nVARIABLES u\n"
       "EQUATIONS div(grad(u)) + 1 = 0\nEXTRUSION z = 0, 1\nBOUNDARIES\n  SURFACE 1 VALUE(u)=0\n"
       "  SURFACE 2 VALUE(u)=0\n  REGION 1\n    MESH_SPACING = "
    << spacing << "\n    START(0,0) VALUE(u)=0 LINE TO (2,0) TO (2,1) TO (1,1) TO (1,2) TO (0,2) TO FINISH\nPLOTS\n"
    << kExports[kind] << "END\n";
  return s.str();
}

void BM_LExport(benchmark::State &state) {
  int kind = int(state.range(0));
  double spacing = state.range(1) / 100.0;
  std::string dir = "/tmp/bench_exports." + std::to_string(getpid());
  (void)system(("mkdir -p " + dir).c_str());
  std::ofstream(dir + "/l.pde") << descriptor(kind, spacing);
  std::string cmd = "cd " + dir + " && TMPDIR=" + dir + " '" QUENDAR_EXE "' -B -R -X l.pde >out.txt 2>&1";
  for (auto _ : state) benchmark::DoNotOptimize(system(cmd.c_str()));
  std::stringstream log;
  log << std::ifstream(dir + "/l.log").rdbuf();
  std::smatch m;
  std::string text = log.str();
  state.counters["nodes"] = std::regex_search(text, m, std::regex("Nodes=(\\d+)")) ? std::stod(m[1]) : 0;
  state.SetLabel(kind == 0 ? "none" : kind == 1 ? "TABLE" : "netCDF");
  (void)system(("rm -rf " + dir).c_str());
}
BENCHMARK(BM_LExport)
    ->ArgsProduct({{0, 1, 2}, {10, 6}})
    ->ArgNames({"export", "spacing%"})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
