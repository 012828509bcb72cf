// metrics: a problem's coordinate system: the geometry chosen by its keyword, the
// default names of the coordinates and the time, the coordinate names and derivative
// operators in the symbol table, and the eight metric-coefficient trees.
#pragma once
#include <cstdint>

#include "model/symtab.h"
#include "model/trees.h"
#include "runtime/strings.h"

// The trees, in two and three dimensions, with h1, h2, h3 the scale factors of the
// three coordinates: 1-3 h1, h2, h3; 4-6 h2 h3, h1 h3, h1 h2; 7 h1 h2 h3; 8 the weight
// of integrals (tree 7, times the angular factor in the two-dimensional cylinders).
struct metric {
  uint8_t coordsin;     // 1 once metrics_coords has entered the coordinates
  uint8_t timein;       // 1 once metrics_timecoord has entered the time
  uint16_t dimension;   // 1..3; 0 when the keyword was not recognised
  uint32_t family;      // 1 Cartesian, 2 cylindrical, 3 spherical
  uint32_t geometry;    // 1..13; 0 not yet chosen
  uint32_t axis;        // cylinders: 1 symmetric about the first axis, 2 about the second
  double angular;       // the angular factor of tree 8 in two-dimensional cylinders
  TreeNode *trees[8];   // trees 1..8 are trees[0..7] (owned)
};

int metrics_init();

// Recognises the keyword with the requested dimension (0: the default, 2): sets
// dimension, family, geometry, axis and the four default names (names is resized
// to 4). Returns the dimension; 0 for an unrecognised keyword, for "SPECIAL" without
// a dimension and for a dimension outside 1..3.
uint16_t metrics_get_metric(metric *m, const String *keyword, uint16_t dimension, StringList *names);
// Enters the coordinates under names 1..dimension with their derivative operators
// (DX, DXX, DY, DYY, DXY, DYX, ... and DT) into the scope root and builds the trees;
// a metric without a geometry becomes two-dimensional Cartesian first. "SPECIAL"
// stops with "USER METRIC UNIMPLEMENTED".
void metrics_coords(metric *m, idrec **root, StringList *names);
// Enters the time coordinate under names[4] once, and its derivative operator when
// the time is not named "T".
void metrics_timecoord(metric *m, idrec **root, StringList *names);
// The element of a side (a curve of the two-dimensional plane turned about the axis, a
// face in three dimensions) per unit of its measure in the coordinates, a new tree read
// at a side: sqrt(sum over k of (H_k n_k)^2), n the side's unit normal in the
// coordinates and H_k = h1 h2 h3 / h_k. With full_turn the angular factor of a
// two-dimensional system multiplies it. Null where tree 4 is that element on every side
// (Cartesian systems, the two-dimensional cylinders).
TreeNode *metrics_side_element(const metric *m, bool full_turn);
// Clears everything but the time flag and the angular factor, freeing the trees.
void metrics_clear_metric(metric *m);
