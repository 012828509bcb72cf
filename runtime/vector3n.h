// vector3n: the vector of vector2n records (lists of lists of 16-bit node numbers).
#pragma once
#include <cstdint>
#include <cstdio>

#include "runtime/vector2n.h"

struct vector3n {
  int32_t count;     // members in use, numbered 1..count
  int32_t capacity;  // member records allocated
  vector2n *data;  // member i is data[i-1]
};

int vector3n_init();
// new stops with "NEW VECTOR3 ALREADY ALLOCATED" when v holds storage; resize grows
// the outer storage, moving every member record (members beyond the count keep their
// storage), and sets the count; free with flag set frees members 1..capacity first.
void vector3n_new(vector3n *v, int32_t n, int32_t cap);
void vector3n_resize(vector3n *v, int32_t n, int32_t cap);
void vector3n_free(vector3n *v, uint8_t flag);
// Each member's listing under the label name[i].
void vector3n_print(FILE *f, const vector3n *v, const char *name);
void vector3n_copyto_0(vector3n *dst, const vector3n *src);
void vector3n_copyto_1(vector3n *v, uint16_t x);
