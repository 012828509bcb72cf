// cgsolve: the steady nonlinear and linear drivers.
#pragma once
#include <cstdint>

struct pde;

int cgsolve_init();

// Each returns 8 after the final regrid and solve.
int32_t cgsolve_do_nonlinear(pde *p);
int32_t cgsolve_do_linear(pde *p);
