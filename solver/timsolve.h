// timsolve: the time integration driver.
#pragma once
#include <cstdint>

struct pde;

int timsolve_init();

// Runs the time range; returns 8 when it was run, 10 (with "Timestep is below
// threshhold" and the stop request) when the step size fell below its limit.
int32_t timsolve_evolve(pde *p, int32_t flag);
