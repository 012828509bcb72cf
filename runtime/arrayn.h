// arrayn: the fixed 1-based array of 16-bit integers; its length changes only by resize.
#pragma once
#include <cstdint>

struct arrayn {
  int32_t count;  // elements, numbered 1..count; 0 when empty
  uint16_t *data; // element i is data[i-1]
};

int arrayn_init();

// new on an array with elements is "NEW ARRAY ALREADY ALLOCATED"; resize always
// reallocates, keeping elements 1..count (n below count stops); free releases
// everything.
void arrayn_new(arrayn *a, int32_t n);
void arrayn_resize(arrayn *a, int32_t n);
void arrayn_free(arrayn *a);
