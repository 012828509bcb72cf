// refiner: adapts a mesh to the error estimates in its cells: merges groups of cells far
// below the limit back into the cells they came from, and splits the cells above it.
#pragma once
#include <cstdint>
#include <vector>

#include "runtime/vectorvd.h"

struct Mesh;
struct vector2d;
struct vectorl;

int refiner_init();

// What the refiner takes from the problem: its dimension (which cell shapes split and merge),
// its ERRLIM (the history's caps read it), its pool of work vectors and its sort index (the
// cells in ascending order of estimate, whose room one refinement leaves for the next).
struct RefinerUse {
  uint16_t dimension;
  double errlim;
  vector2d *work;
  vectorl *sortindex;
};

// What a run keeps of one refinement for the next: the triangles then far above the limit,
// with their estimates and areas. A triangle at a corner of the domain whose estimate has
// fallen by less than half per split since its parent's (but by a fifth or more), on two
// refinements running (as at a re-entrant corner, where the answer's gradient is infinite), is
// split as often as that fall asks to bring it to the limit, not as often as a quarter per
// split would, where it stands more than four error limits over ERRLIM (nearer, one split at a
// quarter brings it there: a lid's corner, whose held values jump, falls at a corner's rate too,
// and splitting it deeper only adds a grid). (Away from the corners a slow fall is more often a
// layer not yet resolved; and
// an estimate that falls by less than a fifth, at a point load or a jump of the held values,
// does not come to the limit by splitting harder: there the quarter stands.)
struct RefineHistory {
  struct Parent {
    double x[3], y[3];   // vertices
    double error, area;  // estimate and area when it was refined
    bool slow;           // its estimate had fallen by less than half per split since its parent's
  };
  std::vector<Parent> parents;
};

// Merges (when merging is allowed) groups whose estimates lie below the merge threshold
// and splits, in passes, the cells above the limit while the live nodes stay within the
// node limit; values are the per-node fields that follow the mesh. Estimates are first
// capped at limit x 16.16 (in 2D, with a history, but for the triangles it finds falling
// slowly: those at most six splits deep). Returns the cells removed by merging plus the cells split at
// the driver's request (not those split only to keep a neighbour conforming).
int32_t refiner_refine(const RefinerUse &use, Mesh *m, double limit, double merge_threshold, int32_t node_limit,
                       vectorvd *values, uint8_t merge_allowed, RefineHistory *history = nullptr);
// Whether the refiner splits cells whatever their estimates: curved quadratic or cubic
// tetrahedra that fold, or whose faces stray from the domain's sheets.
bool refiner_splits_unasked(const Mesh *m);
// The number of live cells whose estimate is strictly above the limit.
int32_t refiner_count_splits(Mesh *m, double limit);
