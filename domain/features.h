// features: the mesh-spacing feature block of a two-dimensional domain: sample points
// along every edge with the spacing wanted at each, and a spacing at every joint.
#pragma once
#include <cstdint>

#include "runtime/arrayd.h"
#include "runtime/pointd.h"
#include "runtime/vectord.h"

struct Domain;

// The samples of one edge, in order from its first joint.
struct featureitem {
  uint16_t edge;          // the edge it belongs to
  pointdlist samples;     // sample points
  vectord spacings;       // spacing wanted at each sample
  vectord distances;      // distance of each sample along the edge, increasing
};

struct featureblock {
  uint16_t count;         // items, one per edge (item k belongs to edge k)
  uint16_t joints;        // joint count when built
  double arcangle;        // GRIDARC, degrees
  double minspacing;      // the smallest spacing met while building
  double basespacing;     // grid size / NGRID
  double aspect;          // ASPECT
  arrayd jointspacing;    // spacing wanted at each joint
  featureitem *items;     // items 1..count: item k is items[k-1]
};

// The FEAT debug switch of the current problem.
extern uint8_t features_debug;

int features_init();

// Releases the domain's feature block (items, their lists and the joint spacings) and
// empties it; the block's settings stay.
void features_free(Domain *d);
// With the FEAT switch, the block as built to the debug log while it is open: its
// spacings, then every edge's sample distances and the spacing wanted at each.
void features_debug_listing(const Domain *d);
