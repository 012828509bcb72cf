// lintabs: the lintab record, a TABLE file's values on a grid of one to three axes.
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

// Frees the axes and the data; a dimension outside 0..3 stops with "Illegal Dimensionality".
void lintabs_free(lintab *t);
