// The two-dimensional mesher on the unit square and the L-shape (-1,1)^2 minus
// [0,1]x[-1,0] at NGRID 20 to 340: triangles per second, and at the end the exponent of
// time against triangles fitted by least squares over the runs of each domain.
#include <benchmark/benchmark.h>

#include <ctime>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "bench/polygon.h"
#include "control/pdedat.h"
#include "model/pdedat_record.h"
#include "control/verdat.h"
#include "runtime/bounding.h"
#include "domain/edges.h"
#include "domain/joints.h"
#include "domain/regions.h"
#include "elements/basisfun.h"
#include "elements/quature.h"
#include "mesher/mesher2.h"
#include "model/symtab.h"
#include "runtime/math.h"
#include "runtime/vectorn.h"

namespace {

// Processor time of this process, in seconds: steadier than the wall clock on a
// shared machine.
double cpu_seconds() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

struct Run {
  double cells = 0, seconds = 0;
};
std::map<int, std::map<int, Run>> runs;  // domain -> ngrid -> mean run


const std::vector<std::pair<double, double>> domains[] = {
    {{0, 0}, {1, 0}, {1, 1}, {0, 1}},
    {{-1, -1}, {0, -1}, {0, 0}, {1, 0}, {1, 1}, {-1, 1}},
};

void Mesh2(benchmark::State &state) {
  int which = int(state.range(0)), ngrid = int(state.range(1));
  double cells = 0, seconds = 0;
  int n = 0;
  for (auto _ : state) {
    state.PauseTiming();
    pde *p = polygon_problem("/tmp/bench_mesh2.pde", domains[which], 4);
    p->phase = 5;
    state.ResumeTiming();
    double t0 = cpu_seconds();
    mesher2_freshmesh(p, 1, uint16_t(ngrid));
    seconds += cpu_seconds() - t0;
    state.PauseTiming();
    cells += p->mesh.cells.count, n++;
    pdedat_free_pde(p);
    report_current = nullptr;
    state.ResumeTiming();
  }
  runs[which][ngrid] = {cells / n, seconds / n};
  state.counters["triangles"] = cells / n;
  state.counters["triangles/s"] = benchmark::Counter(cells, benchmark::Counter::kIsRate);
}
BENCHMARK(Mesh2)
    ->ArgsProduct({{0, 1}, {20, 40, 80, 160, 240, 340}})
    ->ArgNames({"Lshape", "ngrid"})
    ->Unit(benchmark::kMillisecond);

}  // namespace

// "--write DOMAIN NGRID FILE": meshes one domain once and writes the seconds taken, the
// node count with their coordinates and the triangles (1-based corners) as plain text,
// for the side-by-side comparison script.
int write_mesh(int which, int ngrid, const char *file) {
  pde *p = polygon_problem("/tmp/bench_mesh2.pde", domains[which], 4);
  p->phase = 5;
  double t0 = cpu_seconds();
  mesher2_freshmesh(p, 1, uint16_t(ngrid));
  double seconds = cpu_seconds() - t0;
  FILE *f = fopen(file, "w");
  if (!f) return 1;
  Mesh &m = p->mesh;
  fprintf(f, "%.6f\n%d\n", seconds, m.nodes.count);
  for (int32_t n = 0; n < m.nodes.count; n++) fprintf(f, "%.17g %.17g\n", m.nodes.data[n].x, m.nodes.data[n].y);
  int32_t live = 0;
  for (int32_t c = 0; c < m.cells.count; c++) live += m.cells.data[c].alive;
  fprintf(f, "%d\n", live);
  for (int32_t c = 0; c < m.cells.count; c++)
    if (m.cells.data[c].alive)
      fprintf(f, "%d %d %d\n", m.cells.data[c].nodes.data[0], m.cells.data[c].nodes.data[1], m.cells.data[c].nodes.data[2]);
  fclose(f);
  pdedat_free_pde(p);
  return 0;
}

int main(int argc, char **argv) {
  math_init();
  bounding_init();
  quature_init_quadrature();
  basisfun_node_coords();
  if (argc == 5 && std::string(argv[1]) == "--write") return write_mesh(atoi(argv[2]), atoi(argv[3]), argv[4]);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  const char *names[] = {"square", "L-shape"};
  for (auto &[which, byn] : runs) {
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    int k = 0;
    for (auto &[ngrid, r] : byn) {
      if (r.cells < 1000) continue;  // start-up costs dominate the small meshes
      double x = std::log(r.cells), y = std::log(r.seconds);
      sx += x, sy += y, sxx += x * x, sxy += x * y, k++;
    }
    if (k >= 2)
      printf("%s: time ~ triangles^%.3f over %d sizes; largest %.0f triangles at %.0f triangles/s\n", names[which],
             (k * sxy - sx * sy) / (k * sxx - sx * sx), k, byn.rbegin()->second.cells,
             byn.rbegin()->second.cells / byn.rbegin()->second.seconds);
  }
  return 0;
}
