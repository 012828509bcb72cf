// coupling: the assembly weights and the choice of the assembly method.
#pragma once

struct pde;

int coupling_init();

// Builds the assembly weights after the quadrature rules are chosen.
void coupling_build_weights(pde *p);
// Chooses the assembly method from the switches.
void coupling_set_method(pde *p);
