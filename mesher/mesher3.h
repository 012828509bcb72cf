// mesher3: the extrusion of a base mesh into tetrahedra.
#pragma once
#include <cstdint>

struct pde;

int mesher3_init();

// Prepares the extrusion sheets before the base mesh is made.
void mesher3_treat_sheets(pde *p);
// Lays every curve inside the base domain along which a layer thins to nothing with its
// thickness tangent to zero (two sheets meeting without crossing) into the domain as a
// feature path, so that the base mesh has sides along it; returns the paths laid.
uint16_t mesher3_pinch_paths(pde *p);
// Extrudes the base mesh; returns the next phase, 6 on success.
int32_t mesher3_grid3d(pde *p);
