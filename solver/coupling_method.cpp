// coupling_method: the method choice of a problem: its estimator, solver and preconditioner,
// and the preconditioner's build, deferred where the complete factor serves.
#include "solver/coupling.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <vector>

#include "model/pdedat_record.h"
#include "domain/dominpde.h"
#include "elements/basisfun.h"
#include "elements/evalpoint.h"
#include "elements/meshes.h"
#include "graphics/display.h"
#include "model/params.h"
#include "model/treeval.h"
#include "runtime/debug.h"
#include "runtime/report.h"
#include "runtime/rtlib.h"
#include "runtime/vectorld.h"
#include "solver/bandmxd.h"
#include "solver/bigmatx.h"
#include "solver/coupling_internal.h"
#include "solver/loading.h"
#include "solver/sparsecg.h"
#include "solver/sparsemx.h"

// ---- Method ------------------------------------------------------------------------------------------

bool on(uint8_t s) { return s == 2; }
static bool off(uint8_t s) { return s == 1; }
uint8_t block_or(const pde *p, uint8_t other) { return off(p->biprecon) || eqcount(p) < 2 ? other : 3; }

void coupling_set_method(pde *p) {
  TRACE("coupling_set_method");
  // Estimator.
  if (on(p->center_error)) p->estimator = 2;
  else if (on(p->galerkin_error)) p->estimator = 1;
  else if (on(p->curvature_error)) p->estimator = 0;
  else p->estimator = p->timedep ? 0 : 2;
  // Preconditioner, first pass.
  if (off(p->precondition)) p->precon = 0;
  else if (on(p->diprecon)) p->precon = 1;
  else if (on(p->iccg)) p->precon = 4, p->reorder = 1;
  else if (p->bandlu > 0) {
    if (p->formulas.constraints.count > 0) {
      String m = lit("BANDLU Cannot Support Constraints");
      report_exec_err_0(p, &m);
    }
    p->precon = 5, p->reorder = 1;
  } else if (on(p->ataprecon)) p->precon = 2;
  else if (on(p->biprecon)) p->precon = 3;
  else p->precon = 6;
  // Solver, and the automatic preconditioner.
  bool automatic = p->precon == 6;
  if (on(p->fill_lu)) {
    p->solver = 3;
  } else if (on(p->vandenberg)) {
    p->solver = 2;
    if (automatic) p->precon = block_or(p, 2);
  } else if (!on(p->lanczos)) {
    p->solver = 0;
    if (automatic) p->precon = !off(p->iccg) && !p->timedep && p->dimension != 3 ? 4 : block_or(p, 1);
  } else {
    p->solver = 1;
    if (automatic) p->precon = block_or(p, 1);
  }
}

void coupling_build_precon(pde *p, const sparsemx *A, const double *diag) {
  TRACE("coupling_build_precon");
  p->precon_waits = 0;
  if (p->solver == 3) return;
  uint8_t sym = p->solver == 0;
  int32_t N = p->mesh.nodes.count;
  for (;;) {
    bool ok = true;
    switch (p->precon) {
      case 0: vectord_resize(&p->precvec, 0, p->precvec.capacity); break;
      case 1:
        if (diag) sparsemx_diag_dip_given(&p->precvec, A, diag, sym);
        else sparsemx_diag_dip(&p->precvec, A, sym);
        break;
      case 2: sparsemx_ata_dip_0(&p->precvec, A, sym); break;
      case 3: sparsemx_diag_bip(&p->precmx, A, &p->precscale, p->nfield, N, sym); break;
      case 4:
        sparsemx_copyto_0(&p->precmx, A);
        ok = sym ? sparsemx_inchol_factor_1(&p->precmx, p->nf, &p->status)
                 : sparsemx_inclu_factor_1(&p->precmx, &p->precvec, &p->status);
        break;
      case 5:
        if (sym) {
          sparsemx_make_band_0(&p->precmx, A, uint16_t(p->bandlu), &p->status);
          ok = sparsemx_inchol_factor_1(&p->precmx, p->nf, &p->status);
        } else {
          sparsemx_make_band_1(&p->precband, A, uint16_t(p->bandlu), &p->status);
          ok = bandmxd_lu_factor(&p->precband);
        }
        break;
      default: break;
    }
    if (ok) return;
    // A factorisation that broke down: its copy goes, the simpler preconditioner serves.
    sparsemx_free(&p->precmx, 1);
    bandmxd_free(&p->precband);
    p->precon = block_or(p, 1);
  }
}

void coupling_defer_precon(pde *p) {
  // The incomplete factor is read only where the complete one declines the matrix; a
  // single solve of the plane systems at hand mostly takes the complete one.
  if (p->solver != 3 && p->matrix.rows == p->nt && sparsecg_takes_complete(p->solver, p->precon, p->nt)) {
    sparsemx_free(&p->precmx, 1);
    p->precon_waits = 1;
    return;
  }
  coupling_build_precon(p, &p->matrix);
}

void coupling_ready_precon(pde *p, int32_t w) {
  if (!p->precon_waits) return;
  const sparsemx *A = &p->matrix;
  bool factored =
      w >= 2 ? sparsecg_block_factored(A, p->solver, p->precon, w) : sparsecg_single_factored(A, p->solver, p->precon);
  if (!factored) coupling_build_precon(p, A);
}
