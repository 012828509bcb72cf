// array2s: the fixed 1-based array of rows of single floats: each element is a complete
// `arrays` record in place, with its own storage; rows may differ in length.
#pragma once
#include <cstdint>

#include "runtime/arrays.h"

struct array2s {
  int32_t count;  // elements, numbered 1..count; 0 when empty
  arrays *data;   // element i is data[i-1]
};

int array2s_init();

// new on an array with elements is "NEW ARRAY2: ALREADY ALLOCATED"; resize always
// reallocates, keeping elements 1..count (n below count stops); free releases
// everything.
void array2s_new(array2s *a, int32_t n);
// new, then every row created with arrays_new(row, m).
void array2s_new_1(array2s *a, int32_t n, int32_t m);
void array2s_resize(array2s *a, int32_t n);
void array2s_free(array2s *a);
