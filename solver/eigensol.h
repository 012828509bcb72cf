// eigensol: the eigenvalue driver.
#pragma once
#include <cstdint>

struct pde;

// Solves the eigenvalue problem; returns 8 after the final regrid and solve.
int32_t eigensol_do_eigen(pde *p);
