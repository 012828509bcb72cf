// arrays: the fixed 1-based array of single floats; its length changes only by resize.
#pragma once
#include <cstdint>

struct arrays {
  int32_t count;  // elements, numbered 1..count; 0 when empty
  float *data;    // element i is data[i-1]
};

int arrays_init();

// new on an array with elements is "NEW ARRAY ALREADY ALLOCATED"; resize always
// reallocates, keeping elements 1..count (n below count stops); free releases
// everything.
void arrays_new(arrays *a, int32_t n);
void arrays_resize(arrays *a, int32_t n);
void arrays_free(arrays *a);
