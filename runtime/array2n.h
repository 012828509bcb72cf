// array2n: the fixed 1-based array of rows of 16-bit integers: each element is a
// complete `arrayn` record in place, with its own storage; rows may differ in length.
#pragma once
#include <cstdint>

#include "runtime/arrayn.h"

struct array2n {
  int32_t count;  // elements, numbered 1..count; 0 when empty
  arrayn *data;   // element i is data[i-1]
};

int array2n_init();

// new on an array with elements is "NEW ARRAY2: ALREADY ALLOCATED"; resize always
// reallocates, keeping elements 1..count (n below count stops); free releases
// everything.
void array2n_new(array2n *a, int32_t n);
void array2n_resize(array2n *a, int32_t n);
void array2n_free(array2n *a);
