// lintabs: the lintab record, a TABLE file's values on a grid of one to three axes,
// and its multilinear interpolation (held constant outside the grid).
#pragma once
#include <cstdint>

#include "runtime/array2s.h"
#include "runtime/array3s.h"
#include "runtime/arrays.h"

struct lintab {
  uint16_t dimension;  // 1, 2 or 3; 0: empty
  uint16_t cache[3];   // per axis, the interval the last look-up found
  arrays axis[3];      // grid coordinates of axes 1..3, ascending
  arrays data1;        // one axis: values over axis 1
  array2s data2;       // two axes: rows by axis 2, each over axis 1
  array3s data3;       // three axes: planes by axis 3, each a set of rows
};

int lintabs_init();

// The value at the point (coordinates 1..dimension of p are used); an empty table
// gives 0. Each axis is searched from its cached interval, which the look-up updates;
// the interval found is always the one a search from the first would find, so the
// result does not depend on earlier look-ups. An axis of fewer than two points is
// constant along itself.
float lintabs_linterp(lintab *t, const float *p);
// The derivative along axis 1..3 at the point: the slope of the multilinear
// interpolant, 0 outside the grid along that axis. An axis beyond the dimension stops
// with "WRONG DERIVATIVE".
float lintabs_linderiv(lintab *t, const float *p, uint16_t axis);
// The derivative along the count (1..3) axes at the point: the multilinear interpolant's
// mixed slope along distinct axes, 0 along any axis taken twice (the interpolant is
// linear along each axis between grid points) or outside the grid along one of them.
float lintabs_linderiv_n(lintab *t, const float *p, const uint8_t *axes, int count);
// Frees the axes and the data; a dimension outside 0..3 stops with "Illegal Dimensionality".
void lintabs_free(lintab *t);
