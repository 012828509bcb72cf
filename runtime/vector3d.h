// vector3d: the vector of vector2d records (a ragged three-level array of doubles) and its
// member-wise arithmetic.
#pragma once
#include <cstdint>
#include <cstdio>

#include "runtime/vector2d.h"

struct vector3d {
  int32_t count;     // members in use, numbered 1..count
  int32_t capacity;  // member records allocated
  vector2d *data;  // member i is data[i-1]
};

int vector3d_init();
// new stops with "NEW VECTOR3 ALREADY ALLOCATED" when v holds storage; resize grows
// the outer storage, moving every member record (members beyond the count keep their
// storage), and sets the count; free with flag set frees members 1..capacity first.
void vector3d_new(vector3d *v, int32_t n, int32_t cap);
void vector3d_resize(vector3d *v, int32_t n, int32_t cap);
void vector3d_free(vector3d *v, uint8_t flag);
// Each member's listing under the label name[i].
void vector3d_print(FILE *f, const vector3d *v, const char *name);
void vector3d_copyto_0(vector3d *dst, const vector3d *src);
void vector3d_copyto_1(vector3d *v, double x);

// Member-wise arithmetic over members 1..count of x; unequal counts of x and y
// (and, for dot, of any pair of members) are "VECTOR3 LENGTH ERROR". A result
// whose capacity is short of x's count is resized to x's count and capacity first.
void vector3d_add(vector3d *z, const vector3d *x, const vector3d *y);
void vector3d_sub(vector3d *z, const vector3d *x, const vector3d *y);
void vector3d_mul(vector3d *z, const vector3d *x, const vector3d *y);
void vector3d_div(vector3d *z, const vector3d *x, const vector3d *y);
void vector3d_addto_0(vector3d *x, const vector3d *y);
void vector3d_subto_0(vector3d *x, const vector3d *y);
void vector3d_multo_0(vector3d *x, const vector3d *y);
void vector3d_divto_0(vector3d *x, const vector3d *y);
void vector3d_addto_1(vector3d *x, double s);
void vector3d_subto_1(vector3d *x, double s);
void vector3d_multo_1(vector3d *x, double s);
void vector3d_divto_1(vector3d *x, double s);
void vector3d_negate(vector3d *x);
void vector3d_zaxpy(vector3d *z, double a, const vector3d *x, const vector3d *y);
double vector3d_dot(const vector3d *x, const vector3d *y);
