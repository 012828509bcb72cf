// arrayd: the fixed 1-based array of doubles; its length changes only by resize.
#pragma once
#include <cstdint>

struct arrayd {
  int32_t count;  // elements, numbered 1..count; 0 when empty
  double *data;   // element i is data[i-1]
};

int arrayd_init();

// new on an array with elements is "NEW ARRAY ALREADY ALLOCATED"; resize always
// reallocates, keeping elements 1..count (n below count stops); free releases
// everything.
void arrayd_new(arrayd *a, int32_t n);
void arrayd_resize(arrayd *a, int32_t n);
void arrayd_free(arrayd *a);
