// vectorld: (key, value) pairs of 32-bit keys and double values in parallel arrays,
// 1-based, keys kept ascending and unique by insert: one row of a sparse matrix.
//
// A row may borrow its arrays from storage it does not own (a matrix laying all its
// rows out in one block): its capacity is then negative, -capacity pairs of room. A
// borrowed row works in place within its room, takes arrays of its own (its pairs
// copied) when it must hold more, and free only forgets the borrowed arrays.
#pragma once
#include <cstdint>
#include <cstdio>

struct vectorld {
  int32_t count;     // pairs in use, numbered 1..count
  int32_t capacity;  // pairs allocated in both arrays (negative: borrowed room)
  int32_t *keys;     // pair i is (keys[i-1], values[i-1])
  double *values;
};

int vectorld_init();

// As the simple vectors: new twice is "NEW VECTOR ALREADY ALLOCATED", a null
// vector to resize is "INVALID VECTOR", one_more grows by capacity*6/5+10.
void vectorld_new(vectorld *v, int32_t n, int32_t cap);
void vectorld_resize(vectorld *v, int32_t n, int32_t cap);
void vectorld_free(vectorld *v);
// Pairs the arrays have room for, borrowed or owned.
inline int32_t vectorld_room(const vectorld *v) { return v->capacity < 0 ? -v->capacity : v->capacity; }
void vectorld_copyto_0(vectorld *dst, const vectorld *src);
// As copyto_0 with every value multiplied by s.
void vectorld_copyto_1(vectorld *dst, const vectorld *src, double s);
int32_t vectorld_one_more(vectorld *v, int32_t key, double value);
// Replaces the value of an equal key, else inserts the pair before the first
// greater key, else appends it.
void vectorld_insert(vectorld *v, int32_t key, double value);
void vectorld_negate(vectorld *v);
int32_t vectorld_inlist(const vectorld *v, int32_t key);
// Sums from 0.0 in index order; norm_l2 is the sum of squares (no root).
double vectorld_rowsum(const vectorld *v);
double vectorld_norm_l1(const vectorld *v);
double vectorld_norm_l2(const vectorld *v);
// Exchange sorts by ascending key or by ascending value; ties are never exchanged.
void vectorld_map_sort(vectorld *v);
void vectorld_data_sort(vectorld *v);

void vectorld_print_1(FILE *f, const vectorld *v, const char *name);
void vectorld_print_0(const vectorld *v, const char *name);
