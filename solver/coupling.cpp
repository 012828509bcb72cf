// coupling, headless: nothing is assembled.
#include "solver/coupling.h"

void coupling_build_weights(pde *) {}
void coupling_set_method(pde *) {}
