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

// The FITTING debug switch: the first writes the fit matrices, the second the values.
extern uint8_t fitting_debug, fitting_debug2;

int fitting_init();

// Writes the fit index k and the mesh basis code into the prebuilt FIT trees.
void fitting_patch_fitrees(int32_t code, uint16_t k);

// The direction of side `side` (1..3) of a triangle against the edge's own direction:
// positive when they run the same way.
double edgedot(pde *p, const MeshCell *cell, int side, const Edge *e);
