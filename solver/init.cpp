// init, headless: there are no variables to set.
#include "solver/init.h"

void init_initial_val(pde *, double) {}
