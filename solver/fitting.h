// fitting: the derived global values of a problem (fits, saved copies, extremes,
// integrals, values at points) computed on demand; the model's fitting_book keeps them
// valid until the mesh or the solution changes and maps the integrals' selections.
#pragma once
#include <cstdint>

#include "model/fitting_book.h"

struct pde;
struct vectorn;
struct vector2d;
struct constraint;
struct MeshCell;
struct Edge;
struct treevector;
struct vectord;

// The FITTING debug switch: the first writes the fit matrices, the second the values.
extern uint8_t fitting_debug, fitting_debug2;

int fitting_init();

// The node values x of the mass-matrix projection of the per-region trees (the L2 fit
// of the expression onto the mesh basis), the trees read with the values u at time t;
// x holds the start of the iteration and keeps the values of nodes no live cell holds.
void fitting_project(pde *p, const treevector *byregion, vector2d *u, double t, vectord *x);

// Writes the fit index k and the mesh basis code into the prebuilt FIT trees.
void fitting_patch_fitrees(int32_t code, uint16_t k);

// The direction of side `side` (1..3) of a triangle against the edge's own direction:
// positive when they run the same way.
double edgedot(pde *p, const MeshCell *cell, int side, const Edge *e);
