// eigensol: the eigenvalue driver.
#pragma once
#include <cstdint>

struct pde;

int eigensol_init();

// Solves the eigenvalue problem; returns 8 after the final regrid and solve.
int32_t eigensol_do_eigen(pde *p);
