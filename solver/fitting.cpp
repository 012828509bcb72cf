// fitting, headless: there are no fitted values to mark.
#include "solver/fitting.h"

void fitting_invalidate_fits(pde *, int32_t) {}
