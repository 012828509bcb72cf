// vector2n: the vector of 16-bit node lists.
#pragma once
#include <cstdint>
#include <cstdio>

#include "runtime/vectorn.h"

struct vector2n {
  int32_t count;     // members in use, numbered 1..count
  int32_t capacity;  // member records allocated
  vectorn *data;  // member i is data[i-1]
};

int vector2n_init();
// new stops with "NEW VECTOR2 ALREADY ALLOCATED" when v holds storage; resize grows
// the outer storage, moving every member record (members beyond the count keep their
// storage), and sets the count; free with flag set frees members 1..capacity first.
void vector2n_new(vector2n *v, int32_t n, int32_t cap);
void vector2n_resize(vector2n *v, int32_t n, int32_t cap);
void vector2n_free(vector2n *v, uint8_t flag);
// Each member's listing under the label name[i].
void vector2n_print(FILE *f, const vector2n *v, const char *name);
void vector2n_copyto_0(vector2n *dst, const vector2n *src);
void vector2n_copyto_1(vector2n *v, uint16_t x);
