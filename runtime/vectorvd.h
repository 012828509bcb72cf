// vectorvd: a vector of references to double vectors that belong to other records
// (for example the members of a vector2d); it owns only its slots.
#pragma once
#include <cstdint>
#include <cstdio>

#include "runtime/vectord.h"

struct vectorvd {
  int32_t count;     // references in use, numbered 1..count
  int32_t capacity;  // slots allocated (XMEM counts each as a vectord record)
  vectord **data;    // reference i is data[i-1]
};

int vectorvd_init();
// new stops with "NEW VECTORV ALREADY ALLOCATED" when v holds storage; resize grows the
// slots, moving references 1..count, and sets the count. free with flag set also frees
// every referenced vector 1..capacity (the system frees with the flag clear).
void vectorvd_new(vectorvd *v, int32_t n, int32_t cap);
void vectorvd_resize(vectorvd *v, int32_t n, int32_t cap);
void vectorvd_free(vectorvd *v, uint8_t flag);
void vectorvd_print(FILE *f, const vectorvd *v, const char *name);
