// mesher2: fresh generation of the two-dimensional mesh of a problem.
#pragma once
#include <cstdint>

struct pde;

int mesher2_init();

// Makes the initial mesh; returns the next phase: 6 when the mesh was made, 4 after
// a domain-only display, otherwise the problem's current phase (a stop).
int32_t mesher2_freshmesh(pde *p, uint8_t meshswitch, int32_t meshcount);
