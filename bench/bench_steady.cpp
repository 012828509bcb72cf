// A steady run of one descriptor in process, timed phase by phase: the whole run (wall
// and CPU seconds), the mesh, the assembly of the Jacobian and sources, and one
// linear solve from a zero start with the RMS it ends at; then the peak resident
// memory and the value of the descriptor's definition L2ERR. Used by peer_square.sh
// beside the peer solver.
#include <strings.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "bench/program.h"
#include "control/control.h"
#include "control/pdedat.h"
#include "model/pdedat_record.h"
#include "control/quendar.h"
#include "control/verdat.h"
#include "elements/basisfun.h"
#include "elements/quature.h"
#include "mesher/mesher2.h"
#include "model/buildeq.h"
#include "model/params.h"
#include "model/treeval.h"
#include "reader/rdpde.h"
#include "runtime/debug.h"
#include "runtime/rtlib.h"
#include "solver/bigmatx.h"
#include "solver/cgsolve.h"
#include "solver/coupling.h"
#include "solver/fitting.h"
#include "solver/init.h"
#include "solver/loading.h"
#include "solver/sparsecg.h"

static double now() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

static double mesh_s = 0, solve_s = 0;

// CPU seconds (user and system) of the process so far.
static double cpu_s() {
  struct rusage ru {};
  getrusage(RUSAGE_SELF, &ru);
  return double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) + 1e-6 * double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec);
}

int main(int argc, char **argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: bench_steady DESCRIPTOR.pde\n");
    return 2;
  }
  // 1. What the program's start-up gives a run.
  bench_program_start();
  // 2. The run with its mesh and solve timed.
  control_default_services();
  control_services.freshmesh = [](pde *p, uint8_t s, int32_t n) {
    double t = now();
    int32_t r = mesher2_freshmesh(p, s, n);
    mesh_s += now() - t;
    return r;
  };
  control_services.linear = [](pde *p) {
    double t = now();
    int32_t r = cgsolve_do_linear(p);
    solve_s += now() - t;
    return r;
  };
  String path{};
  strings_copyto_1(&path, argv[1]);
  pde *p = pdedat_new_pde(&path);
  p->runflag = 1;
  quendar_running = 1;
  double t0 = now(), c0 = cpu_s();
  {
    TRACE(quendar_home);
    quendar_catch_loop();
  }
  double run_s = now() - t0, run_cpu_s = cpu_s() - c0;
  if (p->error || p->phase != PHASE_DONE) {
    fprintf(stderr, "the run did not finish (phase %d)\n", p->phase);
    return 1;
  }
  // 3. The L2 error from the descriptor's definition.
  double l2 = -1;
  paramset *defs = &p->formulas.definitions;
  vectorn all{};
  for (uint16_t f = 1; f <= p->formulas.fits.count; f++) vectorn_one_more(&all, f);
  double times[2] = {0, 0};
  fitting_validate_fits(p, &all, &p->solution, times);
  for (uint16_t k = 1; k <= defs->count; k++)
    if (strcasecmp(defs->items[k - 1]->name.text, "L2ERR") == 0) {
      evalpoint pt{};
      pt.values = &p->solution;
      l2 = treeval_eval(p, params_find_param_tree(defs, k, 0), &pt);
    }
  // 4. Assembly and one solve from a zero start, again, on the final mesh.
  vector2d_copyto_1(&p->solution, 0.0);
  double ta = now();
  coupling_ss_matrix(p, &p->solution, times);
  coupling_build_source(p, &p->source, 0, 0, 1);
  coupling_operate(p, &p->operate, &p->toperate, &p->solution, nullptr, 0, 0, 0);
  double assembly_s = now() - ta;
  cgsolve_residual(p, &p->residual, &p->operate, &p->source);
  double tp = now();
  coupling_build_precon(p, &p->matrix);
  double precon_s = now() - tp;
  vectord_resize(&p->delta, p->nt, p->nt);
  vectord_copyto_1(&p->delta, 0.0);
  double ts = now();
  double tau = p->errlim * p->overshoot;
  double rms = sparsecg_cg(&p->delta, &p->matrix, &p->precmx, &p->residual, &p->precvec, &p->precband, &p->work, tau, 0,
              uint16_t(p->iterate ? p->iterate : 500), nullptr, p->solver, p->precon, p->nf);
  double one_solve_s = now() - ts;
  struct rusage ru {};
  getrusage(RUSAGE_SELF, &ru);
  printf("unknowns %d\n", int(p->nt));
  printf("run_s %.3f\nrun_cpu_s %.3f\nmesh_s %.3f\nsolve_phase_s %.3f\n", run_s, run_cpu_s, mesh_s, solve_s);
  printf("assembly_s %.3f\nprecon_s %.3f\nsolve_s %.3f\n", assembly_s, precon_s, one_solve_s);
  printf("solve_rms %.6e\n", rms);
  printf("peak_rss_mb %.1f\n", ru.ru_maxrss / 1024.0);
  printf("l2_error %.6e\n", l2);
  return 0;
}
