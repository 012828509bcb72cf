// tree_view: what the expression-tree routines (classification, simplification,
// substitution, differentiation) read of the problem, taken from the problem record in
// one place (model/pdedat_record.cpp), so that they need not know the record.
#pragma once
#include <cstdint>

struct FormulaSet;
struct Mesh;
struct metric;
struct pde;
struct vectorl;

// The problem's formulas (definitions, fits, tables), the basis code of each field
// variable's trial function, the coordinate system, the mesh, the dimension, the stage
// count and number, and whether the derivative of an integral is the integral of the
// derivative. The routines that take the problem as const only read through its view; no
// problem (null) has an empty view.
struct tree_view {
  FormulaSet *formulas;
  const vectorl *basiscodes;
  const metric *coords;
  Mesh *mesh;
  uint16_t dimension, stages, stage;
  uint8_t difintegrals;
};
tree_view tree_view_of(const pde *p);
