// The unit square extruded through four flat layers, as a batch problem meshed in 2D, for
// the three-dimensional benchmarks.
#pragma once
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <map>

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
#include "mesher/mesher3.h"
#include "model/symtab.h"
#include "model/trees.h"
#include "runtime/math.h"
#include "runtime/vectorn.h"

// A batch problem: the unit square extruded through the sheets z = 0, 0.25, ..., 1,
// meshed in 2D.
inline pde *extruded_square(int ngrid) {
  pde *p = polygon_problem("/tmp/bench_extrude.pde", {{0, 0}, {1, 0}, {1, 1}, {0, 1}}, tet4);
  p->curvegrid = 1;
  Domain *d = p->mesh.domain;
  d->threed = 1, d->extrusion = 1, d->twodee = 0;
  for (int s = 0; s <= 4; s++) trees_one_more(&d->surfacetrees, trees_new_real_0(0.25 * s));
  d->surfaces = 5;
  p->phase = 5;
  mesher3_treat_sheets(p);
  mesher2_freshmesh(p, 0, uint16_t(ngrid));
  return p;
}


inline double cpu_seconds() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

// One timed run: the tetrahedra it ended with and its seconds.
struct TetRun {
  double cells = 0, seconds = 0;
};

// Runs the registered benchmarks with the modules they need set up, then prints the
// exponent of time against tetrahedra fitted by least squares over the runs.
template <class Key> int run_and_fit(int argc, char **argv, const char *what, const std::map<Key, TetRun> &runs) {
  math_init();
  bounding_init();
  quature_init_quadrature();
  basisfun_node_coords();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  double sx = 0, sy = 0, sxx = 0, sxy = 0;
  int k = 0;
  for (auto &[key, r] : runs) {
    double x = std::log(r.cells), y = std::log(r.seconds);
    sx += x, sy += y, sxx += x * x, sxy += x * y, k++;
  }
  if (k >= 2)
    printf("%s: time ~ tetrahedra^%.3f over %d sizes; largest %.0f tetrahedra at %.0f tetrahedra/s\n", what,
           (k * sxy - sx * sy) / (k * sxx - sx * sx), k, runs.rbegin()->second.cells,
           runs.rbegin()->second.cells / runs.rbegin()->second.seconds);
  return 0;
}
