// init: the starting values of a problem's solution before a driver runs: the initial-
// value expressions at every node, or the start vectors of the eigenvalue iteration.
#pragma once

#include <cstdint>
#include <vector>

struct pde;
struct vector2d;

int init_init();

// On stage 1, or on every stage with STAGEGRID: the initial values ("Initial Values")
// of a steady or time-dependent problem (init_ss) or the eigenvalue start vectors
// (init_eigen). Later stages without STAGEGRID keep the previous stage's solution.
void init_initial_val(pde *p, double start);
// The initial-value trees at every node (scalars at the first cell's centroid); a
// time-dependent problem refines until they are resolved.
void init_ss(pde *p, const double times[2]);
// Edge-node smoothing of a quadratic or tri9 start; another basis warns once and turns
// SMOOTHINIT off.
void smoothinit(pde *p);
// The initial-value trees at every live node of the mesh as it is now, into the field
// variables of u (sized to the mesh; its scalars are read as they stand), node by node and
// variable by variable as the start takes them. Value conditions are not applied. A start
// that reads a TABLE along the place is read at the table's own resolution (init.cpp).
void init_start_values(pde *p, vector2d *u, const double times[2]);
// The start of a time run on the mesh as it is now, as init_ss leaves it on its own mesh: the
// initial values at the nodes with the value conditions held, or, where the mesh does not
// resolve them to the start's limit, their projection. Leaves each cell's start error set.
void init_start_again(pde *p, vector2d *u, const double times[2]);
// Per field variable, the RMS over the mesh of its initial expressions at time t less the
// values u holds at the nodes, interpolated over the cells: how far the mesh holds the start.
std::vector<double> init_start_misfit(pde *p, vector2d *u, double t);
// The start of the field variables in the mask which (bit k - 1 for variable k) on a plane mesh,
// projected in energy: node values whose gradients meet those of the initial expressions
// against every basis function, the nodes of value conditions held as u has them.
void init_start_in_energy(pde *p, vector2d *u, const double times[2], uint32_t which);
// Start vectors of the subspace iteration: random, or sines with TRIGINIT.
void init_eigen(pde *p);
