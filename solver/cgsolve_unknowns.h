// cgsolve_unknowns: the variable count and the walk over the unknowns in the layout's
// numbering, kept apart from cgsolve.h because they read the problem record itself.
#pragma once
#include <cstdint>

#include "model/pdedat_record.h"

// The number of variables: fields then scalars.
inline uint16_t cgsolve_varcount(const pde *p) { return uint16_t(p->nfield + p->nscalar); }

// Calls f(k, item, row) for every unknown of every variable, in the layout's numbering.
template <class F> void cgsolve_each_unknown(pde *p, F f) {
  uint16_t V = cgsolve_varcount(p);
  for (uint16_t k = 1; k <= V && k <= p->layout.maps.count; k++) {
    const vectorl *mk = &p->layout.maps.data[k - 1];
    for (int32_t n = 1; n <= mk->count; n++) f(k, n, mk->data[n - 1]);
  }
}
