// array2l: the fixed 1-based array of rows of 32-bit integers: each element is a
// complete `arrayl` record in place, with its own storage; rows may differ in length.
#pragma once
#include <cstdint>

#include "runtime/arrayl.h"

struct array2l {
  int32_t count;  // elements, numbered 1..count; 0 when empty
  arrayl *data;   // element i is data[i-1]
};

int array2l_init();

// new on an array with elements is "NEW ARRAY2: ALREADY ALLOCATED"; resize always
// reallocates, keeping elements 1..count (n below count stops); free releases
// everything.
void array2l_new(array2l *a, int32_t n);
void array2l_resize(array2l *a, int32_t n);
void array2l_free(array2l *a);
