// vector2d: the vector of double vectors (a ragged two-level array), its member-wise
// arithmetic, and the pool of work vectors that the numerical code borrows from.
#pragma once
#include <cstdint>
#include <cstdio>

#include "runtime/vectord.h"

struct vector2d {
  int32_t count;     // members in use, numbered 1..count
  int32_t capacity;  // member records allocated
  vectord *data;  // member i is data[i-1]
};

int vector2d_init();
// new stops with "NEW VECTOR2 ALREADY ALLOCATED" when v holds storage; resize grows
// the outer storage, moving every member record (members beyond the count keep their
// storage), and sets the count; free with flag set frees members 1..capacity first.
void vector2d_new(vector2d *v, int32_t n, int32_t cap);
void vector2d_resize(vector2d *v, int32_t n, int32_t cap);
void vector2d_free(vector2d *v, uint8_t flag);
// Each member's listing under the label name[i].
void vector2d_print(FILE *f, const vector2d *v, const char *name);
void vector2d_copyto_0(vector2d *dst, const vector2d *src);
void vector2d_copyto_1(vector2d *v, double x);

// Member-wise arithmetic over members 1..count of x; unequal counts of x and y
// (and, for dot, of any pair of members) are "VECTOR2 LENGTH ERROR". A result
// whose capacity is short of x's count is resized to x's count and capacity first.
void vector2d_add(vector2d *z, const vector2d *x, const vector2d *y);
void vector2d_sub(vector2d *z, const vector2d *x, const vector2d *y);
void vector2d_mul(vector2d *z, const vector2d *x, const vector2d *y);
void vector2d_div(vector2d *z, const vector2d *x, const vector2d *y);
void vector2d_addto_0(vector2d *x, const vector2d *y);
void vector2d_subto_0(vector2d *x, const vector2d *y);
void vector2d_multo_0(vector2d *x, const vector2d *y);
void vector2d_divto_0(vector2d *x, const vector2d *y);
void vector2d_addto_1(vector2d *x, double s);
void vector2d_subto_1(vector2d *x, double s);
void vector2d_multo_1(vector2d *x, double s);
void vector2d_divto_1(vector2d *x, double s);
void vector2d_negate(vector2d *x);
void vector2d_zaxpy(vector2d *z, double a, const vector2d *x, const vector2d *y);
double vector2d_dot(const vector2d *x, const vector2d *y);

// The work pool: a vector2d whose capacity bounds the vectors borrowed at once. get_work
// lends the first idle member (count 0), or the next unused one, sized to n with its
// old values; "WORKSPACE OVERRUN" when every member is busy and the pool is full.
// free_work makes the member idle again; its storage stays for the next borrower.
vectord *vector2d_get_work(vector2d *pool, int32_t n);
void vector2d_free_work(vectord *member);
