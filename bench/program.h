// What the program's start-up gives a run, for the benchmarks that run descriptors in
// process; and the processor time of this process.
#pragma once
#include <ctime>

#include "control/verdat.h"
#include "control/pdedat.h"
#include "model/pdedat_record.h"
#include "elements/basisfun.h"
#include "elements/quature.h"
#include "model/buildeq.h"
#include "model/treeval.h"
#include "reader/rdpde.h"
#include "runtime/debug.h"
#include "solver/bigmatx.h"
#include "solver/cgsolve.h"
#include "solver/coupling.h"
#include "solver/fitting.h"
#include "solver/init.h"
#include "solver/loading.h"

inline void bench_program_start() {
  debug_debug_on("/dev/null");
  pdedat_init();
  quature_init_quadrature();
  basisfun_node_coords();
  strings_copyto_1(&verdat_product, "Quendar");
  strings_copyto_1(&verdat_pdeext, "pde");
  strings_copyto_1(&verdat_plotext, "pgx");
  verdat_get_version();
  rdpde_init();
  rdpde_init_parse();
  treeval_init();
  buildeq_make_fitrees();
  for (int (*f)() : {loading_init, bigmatx_init, coupling_init, fitting_init, init_init, cgsolve_init}) f();
}

// Processor time of this process, in seconds: steadier than the wall clock on a shared
// machine.
inline double cpu_seconds() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}
