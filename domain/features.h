// features: the mesh-spacing feature block of a two-dimensional domain (its record is
// in elements/domain_record.h): sample points along every edge with the spacing wanted
// at each, and a spacing at every joint.
#pragma once
#include <cstdint>

#include "elements/domain_record.h"

// The FEAT debug switch of the current problem.
extern uint8_t features_debug;

int features_init();

// Releases the domain's feature block (items, their lists and the joint spacings) and
// empties it; the block's settings stay.
void features_free(Domain *d);
// With the FEAT switch, the block as built to the debug log while it is open: its
// spacings, then every edge's sample distances and the spacing wanted at each.
void features_debug_listing(const Domain *d);
