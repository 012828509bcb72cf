// pointv2d: the vector of plane point lists.
#pragma once
#include <cstdint>
#include <cstdio>

#include "runtime/pointd.h"

struct pointv2d {
  int32_t count;     // members in use, numbered 1..count
  int32_t capacity;  // member records allocated
  pointdlist *data;  // member i is data[i-1]
};

int pointv2d_init();
// new stops with "NEW VECTOR2 ALREADY ALLOCATED" when v holds storage; resize grows
// the outer storage, moving every member record (members beyond the count keep their
// storage), and sets the count; free with flag set frees members 1..capacity first.
void pointv2d_new(pointv2d *v, int32_t n, int32_t cap);
void pointv2d_resize(pointv2d *v, int32_t n, int32_t cap);
void pointv2d_free(pointv2d *v, uint8_t flag);
// Each member's listing under the label name[i].
void pointv2d_print(FILE *f, const pointv2d *v, const char *name);
void pointv2d_copyto_0(pointv2d *dst, const pointv2d *src);
