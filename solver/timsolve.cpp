// timsolve, headless: nothing to integrate; the run goes on to the plots.
#include "solver/timsolve.h"

int32_t timsolve_evolve(pde *, int32_t) { return 8; }
