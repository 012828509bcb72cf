// globals_record: the problem's derived global values (fits, integrals, extrema, values at
// points) as the solvers keep them; the problem record holds them, the model's
// bookkeeping (fitting_book) marks them valid or not.
#pragma once
#include <cstdint>

#include "runtime/vectord.h"

// One derived global value: a fit, an integral, an extremum or a value at a point.
struct pdeglobal {
  uint8_t valid;  // the value below is current
  double value;
  double location[3];  // where an extremum lies
  int32_t basis;       // basis code of a fitted global's nodal values
  vectord values;      // a fitted global's nodal values by node number
};
// Derived globals 1..count by fit number (global k is items[k-1]).
struct pdeglobals {
  uint16_t count, capacity;
  pdeglobal *items;
};
