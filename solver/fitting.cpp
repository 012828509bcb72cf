// fitting: dependency closure of derived globals; the selections wait for assembly.
#include "solver/fitting.h"

#include "control/pdedat.h"
#include "runtime/rtlib.h"
#include "runtime/vectorn.h"

void fitting_validate_fits(pde *, const vectorn *, vector2d *, double, double) {}
void fitting_invalidate_fits(pde *, int32_t) {}

void fitting_fit_closure(pde *p, vectorn *list) {
  TRACE("fitting_fit_closure_0");
  const fitlist &fits = p->formulas.fits;
  for (int32_t i = 1; i <= list->count; i++) {
    uint16_t f = list->data[i - 1];
    if (f < 1 || f > fits.count) continue;
    const vectorn &deps = fits.items[f - 1]->deps;
    for (int32_t k = 1; k <= deps.count; k++)
      if (deps.data[k - 1]) vectorn_enlist(list, deps.data[k - 1]);
  }
}

void fitting_map_fit_regions(pde *, uint16_t) {}
void fitting_map_fit_faces(pde *, uint16_t) {}
void fitting_map_fit_boundaries(pde *, uint16_t) {}
void fitting_map_constraint_fits(pde *, constraint *) {}

int fitting_init() {
  TRACE("fitting");
  return 0;
}
