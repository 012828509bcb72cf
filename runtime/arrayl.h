// arrayl: the fixed 1-based array of 32-bit integers; its length changes only by resize.
#pragma once
#include <cstdint>

struct arrayl {
  int32_t count;  // elements, numbered 1..count; 0 when empty
  int32_t *data;  // element i is data[i-1]
};

int arrayl_init();

// new on an array with elements is "NEW ARRAY ALREADY ALLOCATED"; resize always
// reallocates, keeping elements 1..count (n below count stops); free releases
// everything.
void arrayl_new(arrayl *a, int32_t n);
void arrayl_resize(arrayl *a, int32_t n);
void arrayl_free(arrayl *a);
