// array2d: the fixed 1-based array of rows of doubles: each element is a complete
// `arrayd` record in place, with its own storage; rows may differ in length.
#pragma once
#include <cstdint>

#include "runtime/arrayd.h"

struct array2d {
  int32_t count;  // elements, numbered 1..count; 0 when empty
  arrayd *data;   // element i is data[i-1]
};

int array2d_init();

// new on an array with elements is "NEW ARRAY2: ALREADY ALLOCATED"; resize always
// reallocates, keeping elements 1..count (n below count stops); free releases
// everything.
void array2d_new(array2d *a, int32_t n);
// new, then every row created with arrayd_new(row, m).
void array2d_new_1(array2d *a, int32_t n, int32_t m);
void array2d_resize(array2d *a, int32_t n);
void array2d_free(array2d *a);
