// mesher3: the extrusion of a base mesh into tetrahedra.
#pragma once
#include <cstdint>

struct pde;

int mesher3_init();

// Prepares the extrusion sheets before the base mesh is made.
void mesher3_treat_sheets(pde *p);
// Extrudes the base mesh; returns the next phase, 6 on success.
int32_t mesher3_grid3d(pde *p);
