// vector4d: the vector of vector3d records (a ragged four-level array of doubles) and its
// member-wise arithmetic.
#pragma once
#include <cstdint>
#include <cstdio>

#include "runtime/vector3d.h"

struct vector4d {
  int32_t count;     // members in use, numbered 1..count
  int32_t capacity;  // member records allocated
  vector3d *data;  // member i is data[i-1]
};

int vector4d_init();
// new stops with "NEW VECTOR4 ALREADY ALLOCATED" when v holds storage; resize grows
// the outer storage, moving every member record (members beyond the count keep their
// storage), and sets the count; free with flag set frees members 1..capacity first.
void vector4d_new(vector4d *v, int32_t n, int32_t cap);
void vector4d_resize(vector4d *v, int32_t n, int32_t cap);
void vector4d_free(vector4d *v, uint8_t flag);
// Each member's listing under the label name[i].
void vector4d_print(FILE *f, const vector4d *v, const char *name);
void vector4d_copyto_0(vector4d *dst, const vector4d *src);
void vector4d_copyto_1(vector4d *v, double x);

// Member-wise arithmetic over members 1..count of x; unequal counts of x and y
// (and, for dot, of any pair of members) are "VECTOR4 LENGTH ERROR". A result
// whose capacity is short of x's count is resized to x's count and capacity first.
void vector4d_add(vector4d *z, const vector4d *x, const vector4d *y);
void vector4d_sub(vector4d *z, const vector4d *x, const vector4d *y);
void vector4d_mul(vector4d *z, const vector4d *x, const vector4d *y);
void vector4d_div(vector4d *z, const vector4d *x, const vector4d *y);
void vector4d_addto_0(vector4d *x, const vector4d *y);
void vector4d_subto_0(vector4d *x, const vector4d *y);
void vector4d_multo_0(vector4d *x, const vector4d *y);
void vector4d_divto_0(vector4d *x, const vector4d *y);
void vector4d_addto_1(vector4d *x, double s);
void vector4d_subto_1(vector4d *x, double s);
void vector4d_multo_1(vector4d *x, double s);
void vector4d_divto_1(vector4d *x, double s);
void vector4d_negate(vector4d *x);
void vector4d_zaxpy(vector4d *z, double a, const vector4d *x, const vector4d *y);
double vector4d_dot(const vector4d *x, const vector4d *y);
