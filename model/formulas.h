// formulas: the FormulaSet, the part of a problem record that holds everything the
// descriptor says in formulas, and its release.
#pragma once
#include <cstdint>

#include "model/arys.h"
#include "model/bcs.h"
#include "model/constrn.h"
#include "model/eqns.h"
#include "model/fits.h"
#include "model/forloops.h"
#include "model/params.h"
#include "model/trees.h"

struct FormulaSet {
  paramset definitions;    // with the problem's tables and the evaluation order
  eqnlist equations;       // the EQUATIONS section, one per variable
  eqnlist initeqns;        // equations given with the initial values
  treevector initial;      // initial-value tree by variable
  treevectors initregion;  // initial values per unknown, then region (built by analysis)
  bcset bcs;               // boundary conditions with their tags
  conlist constraints;     // the CONSTRAINTS section
  conlist scalars;         // the equation of each scalar variable, in their order
  fitlist fits;            // derived globals
  arylist arrays;          // ARRAY definitions
  looplist loops;          // open FOR loops while parsing
  treevector spacing;      // mesh-spacing and mesh-density formulas
};

int formulas_init();

// Frees every member with all its trees; the set is left all zero.
void formulas_free(FormulaSet *set);
