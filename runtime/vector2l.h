// vector2l: the vector of 32-bit integer lists.
#pragma once
#include <cstdint>
#include <cstdio>

#include "runtime/vectorl.h"

struct vector2l {
  int32_t count;     // members in use, numbered 1..count
  int32_t capacity;  // member records allocated
  vectorl *data;  // member i is data[i-1]
};

int vector2l_init();
// new stops with "NEW VECTOR2 ALREADY ALLOCATED" when v holds storage; resize grows
// the outer storage, moving every member record (members beyond the count keep their
// storage), and sets the count; free with flag set frees members 1..capacity first.
void vector2l_new(vector2l *v, int32_t n, int32_t cap);
void vector2l_resize(vector2l *v, int32_t n, int32_t cap);
void vector2l_free(vector2l *v, uint8_t flag);
// Each member's listing under the label name[i].
void vector2l_print(FILE *f, const vector2l *v, const char *name);
void vector2l_copyto_0(vector2l *dst, const vector2l *src);
void vector2l_copyto_1(vector2l *v, int32_t x);
