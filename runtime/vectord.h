// vectord: the growable 1-based vector of doubles, the fullest container kind:
// element-wise arithmetic, norms, search, ordered insertion, sorts and listings.
#pragma once
#include <cstdint>
#include <cstdio>

#include "runtime/vectorl.h"
#include "runtime/vectorn.h"
#include "runtime/vectors.h"

struct vectord {
  int32_t count;     // elements in use, numbered 1..count
  int32_t capacity;  // slots allocated; 0 when no storage is held
  double *data;      // element i is data[i-1]
};

// Out-record of vectord_minmax_0.
struct minmaxrec {
  int32_t imin, imax;
  double min, max;
};

int vectord_init();

// Life cycle. new stops with "NEW VECTOR ALREADY ALLOCATED" when v holds storage;
// resize grows to cap when cap is larger and sets the count (a null v is "INVALID
// VECTOR"); one_more appends and returns the new count, growing by capacity*6/5+10.
void vectord_new(vectord *v, int32_t n, int32_t cap);
void vectord_resize(vectord *v, int32_t n, int32_t cap);
void vectord_free(vectord *v);
int32_t vectord_one_more(vectord *v, double x);

void vectord_copyto_0(vectord *dst, const vectord *src);
void vectord_copyto_1(vectord *v, double x);
void vectord_copyto_2(vectord *dst, const vectors *src);
void vectord_copyto_3(vectors *dst, const vectord *src);

// Element-wise arithmetic; two-vector forms stop with "VECTOR LENGTH ERROR" on
// unequal counts; z takes x's count.
void vectord_add(vectord *z, const vectord *x, const vectord *y);
void vectord_sub(vectord *z, const vectord *x, const vectord *y);
void vectord_mul(vectord *z, const vectord *x, const vectord *y);
void vectord_div(vectord *z, const vectord *x, const vectord *y);
void vectord_addto_0(vectord *x, const vectord *y);
void vectord_subto_0(vectord *x, const vectord *y);
void vectord_multo_0(vectord *x, const vectord *y);
void vectord_divto_0(vectord *x, const vectord *y);
void vectord_addto_1(vectord *x, double s);
void vectord_subto_1(vectord *x, double s);
void vectord_multo_1(vectord *x, double s);
void vectord_divto_1(vectord *x, double s);
void vectord_negate(vectord *x);
void vectord_zaxpy(vectord *z, double a, const vectord *x, const vectord *y);
double vectord_dot(const vectord *x, const vectord *y);

// Reductions from 0.0 in index order. norm_l2 is the sum of squares (no root);
// norm(code): 1 sum of |x|, 2 sum of squares, 4 sum of fourth powers, else max |x|.
double vectord_rowsum(const vectord *v);
double vectord_norm_l1(const vectord *v);
double vectord_norm_l2(const vectord *v);
double vectord_norm(const vectord *v, uint16_t code);
void vectord_minmax_0(const vectord *v, minmaxrec *m);
void vectord_minmax_1(const vectord *v, double out[2]);

// Lists (0.0 is a free slot for enlist), ordered insertion and deletion, sorts.
int32_t vectord_enlist(vectord *v, double x);
void vectord_insert_0(vectord *v, double x);
void vectord_insert_1(vectord *v, int32_t i, double x);
void vectord_delete(vectord *v, double x);
void vectord_delete_index(vectord *v, int32_t i);
void vectord_sort(vectord *v);
void vectord_sortix_0(vectorn *ix, const vectord *v);
void vectord_sortix_1(vectorl *ix, const vectord *v);

void vectord_print_1(FILE *f, const vectord *v, const char *name);
void vectord_print_0(const vectord *v, const char *name);
void vectord_print_vector(FILE *f, const double *x, int32_t n, const char *name);
void vectord_bigendian(vectord *v);
