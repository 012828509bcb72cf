// pointv3d: the vector of pointv2d records (lists of lists of plane point lists).
#pragma once
#include <cstdint>
#include <cstdio>

#include "runtime/pointv2d.h"

struct pointv3d {
  int32_t count;     // members in use, numbered 1..count
  int32_t capacity;  // member records allocated
  pointv2d *data;  // member i is data[i-1]
};

int pointv3d_init();
// new stops with "NEW VECTOR3 ALREADY ALLOCATED" when v holds storage; resize grows
// the outer storage, moving every member record (members beyond the count keep their
// storage), and sets the count; free with flag set frees members 1..capacity first.
void pointv3d_new(pointv3d *v, int32_t n, int32_t cap);
void pointv3d_resize(pointv3d *v, int32_t n, int32_t cap);
void pointv3d_free(pointv3d *v, uint8_t flag);
// Each member's listing under the label name[i].
void pointv3d_print(FILE *f, const pointv3d *v, const char *name);
void pointv3d_copyto_0(pointv3d *dst, const pointv3d *src);
