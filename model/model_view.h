// model_view: what the model's expression-tree routines (classification, simplification,
// substitution, differentiation) and its bookkeeping of derived globals read of the
// problem, taken from the problem record in one place (model/pdedat_record.cpp), so that
// they need not know the record.
#pragma once
#include <cstdint>

struct FormulaSet;
struct Mesh;
struct metric;
struct pde;
struct pdeglobals;
struct vectorl;

// The problem's formulas (definitions, fits, tables), its derived global values, the basis
// code of each field variable's trial function, the coordinate system, the mesh, the
// dimension, the stage count and number, and whether the derivative of an integral is
// the integral of the derivative. The routines that take the problem as const only read
// through its view; no problem (null) has an empty view.
struct model_view {
  FormulaSet *formulas;
  pdeglobals *globals;
  const vectorl *basiscodes;
  const metric *coords;
  Mesh *mesh;
  uint16_t dimension, stages, stage;
  uint8_t difintegrals;
};
model_view model_view_of(const pde *p);
