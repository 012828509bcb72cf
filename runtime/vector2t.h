// vector2t: the vector of bit vectors.
#pragma once
#include <cstdint>
#include <cstdio>

#include "runtime/vectort.h"

struct vector2t {
  int32_t count;     // members in use, numbered 1..count
  int32_t capacity;  // member records allocated
  vectort *data;  // member i is data[i-1]
};

int vector2t_init();
// new stops with "NEW VECTOR2 ALREADY ALLOCATED" when v holds storage; resize grows
// the outer storage, moving every member record (members beyond the count keep their
// storage), and sets the count; free with flag set frees members 1..capacity first.
void vector2t_new(vector2t *v, int32_t n, int32_t cap);
void vector2t_resize(vector2t *v, int32_t n, int32_t cap);
void vector2t_free(vector2t *v, uint8_t flag);
// Each member's listing under the label name[i].
void vector2t_print(FILE *f, const vector2t *v, const char *name);
void vector2t_copyto_0(vector2t *dst, const vector2t *src);
void vector2t_copyto_1(vector2t *v, int32_t x);
