// init, headless: there are no variables to set.
#include "solver/init.h"
#include "runtime/rtlib.h"

void init_initial_val(pde *, double) {}

int init_init() {
  TRACE("init");
  return 0;
}
