// array3s: the fixed 1-based array of planes of rows of single floats: each element is a
// complete `array2s` record in place, with its own storage; rows may differ in length.
#pragma once
#include <cstdint>

#include "runtime/array2s.h"

struct array3s {
  int32_t count;  // elements, numbered 1..count; 0 when empty
  array2s *data;  // element i is data[i-1]
};

int array3s_init();

// new on an array with elements is "NEW ARRAY3: ALREADY ALLOCATED"; resize always
// reallocates, keeping elements 1..count (n below count stops); free releases
// everything.
void array3s_new(array3s *a, int32_t n);
// new, then every plane created with array2s_new_1(plane, rows, cols).
void array3s_new_1(array3s *a, int32_t n, int32_t rows, int32_t cols);
void array3s_resize(array3s *a, int32_t n);
void array3s_free(array3s *a);
