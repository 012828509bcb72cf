// fitting: the derived global values (fits and integrals) of a problem.
#pragma once
#include <cstdint>

struct pde;

int fitting_init();

// Marks the problem's fitted values stale (for a new stage).
void fitting_invalidate_fits(pde *p, int32_t flag);
