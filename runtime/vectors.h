// vectors: the growable 1-based vector of single floats, with the arithmetic, sums and
// index sorts of vectord.
#pragma once
#include <cstdint>
#include <cstdio>

struct vectorn;
struct vectorl;

struct vectors {
  int32_t count;     // elements in use, numbered 1..count
  int32_t capacity;  // slots allocated; 0 when no storage is held
  float *data;       // element i is data[i-1]
};

int vectors_init();

// Life cycle and copies, as for vectord (growth capacity*6/5+10; new on a container
// that holds storage is "NEW VECTOR ALREADY ALLOCATED").
void vectors_new(vectors *v, int32_t n, int32_t cap);
void vectors_resize(vectors *v, int32_t n, int32_t cap);
void vectors_free(vectors *v);
int32_t vectors_one_more(vectors *v, float x);
void vectors_copyto_0(vectors *dst, const vectors *src);
void vectors_copyto_1(vectors *v, float x);

// Lists: enlist takes the first equal element, else the first 0 slot, else appends;
// insert_0 keeps the vector ascending without duplicates.
int32_t vectors_enlist(vectors *v, float x);
void vectors_unlist(vectors *v, float x);
void vectors_insert_0(vectors *v, float x);
void vectors_delete(vectors *v, float x);
void vectors_delete_index(vectors *v, int32_t i);
void vectors_sort(vectors *v);

// Element-wise arithmetic ("VECTOR LENGTH ERROR" on unequal counts), sums in double
// from 0.0 (norm_l2 without the root), and the heapsort of an index vector.
void vectors_add(vectors *z, const vectors *x, const vectors *y);
void vectors_sub(vectors *z, const vectors *x, const vectors *y);
void vectors_mul(vectors *z, const vectors *x, const vectors *y);
void vectors_div(vectors *z, const vectors *x, const vectors *y);
void vectors_addto_0(vectors *x, const vectors *y);
void vectors_addto_1(vectors *x, float s);
void vectors_subto_0(vectors *x, const vectors *y);
void vectors_subto_1(vectors *x, float s);
void vectors_multo_0(vectors *x, const vectors *y);
void vectors_multo_1(vectors *x, float s);
void vectors_divto_0(vectors *x, const vectors *y);
void vectors_divto_1(vectors *x, float s);
void vectors_negate(vectors *x);
void vectors_zaxpy(vectors *z, float a, const vectors *x, const vectors *y);
double vectors_dot(const vectors *x, const vectors *y);
double vectors_rowsum(const vectors *v);
double vectors_norm_l1(const vectors *v);
double vectors_norm_l2(const vectors *v);
void vectors_sortix_0(vectorn *ix, const vectors *v);
void vectors_sortix_1(vectorl *ix, const vectors *v);
void vectors_bigendian(vectors *v);

// Debug listing (print_0 on standard output).
void vectors_print_1(FILE *f, const vectors *v, const char *name);
void vectors_print_0(const vectors *v, const char *name);
