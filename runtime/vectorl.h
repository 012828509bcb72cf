// vectorl: the growable 1-based vector of signed 32-bit integers; 0 is a free slot for
// enlist, unlist and compress.
#pragma once
#include <cstdint>
#include <cstdio>

struct vectorl {
  int32_t count;     // elements in use, numbered 1..count
  int32_t capacity;  // slots allocated; 0 when no storage is held
  int32_t *data;     // element i is data[i-1]
};

int vectorl_init();

// Life cycle and copies, as for vectord (growth capacity*6/5+10; new on a container
// that holds storage is "NEW VECTOR ALREADY ALLOCATED").
void vectorl_new(vectorl *v, int32_t n, int32_t cap);
void vectorl_resize(vectorl *v, int32_t n, int32_t cap);
void vectorl_free(vectorl *v);
int32_t vectorl_one_more(vectorl *v, int32_t x);
void vectorl_copyto_0(vectorl *dst, const vectorl *src);
void vectorl_copyto_1(vectorl *v, int32_t x);

// Lists: enlist takes the first equal element, else the first 0 slot, else appends;
// insert_0 keeps the vector ascending without duplicates.
int32_t vectorl_enlist(vectorl *v, int32_t x);
void vectorl_unlist(vectorl *v, int32_t x);
int32_t vectorl_inlist(const vectorl *v, int32_t x);
void vectorl_insert_0(vectorl *v, int32_t x);
void vectorl_insert_1(vectorl *v, int32_t i, int32_t x);
void vectorl_delete(vectorl *v, int32_t x);
void vectorl_delete_index(vectorl *v, int32_t i);
void vectorl_sort(vectorl *v);

// Histogram counters: element k up (the vector grows to k) or down (never below 0).
void vectorl_count(vectorl *v, int32_t k);
void vectorl_uncount(vectorl *v, int32_t k);
// Removes every 0 element, keeping the order of the others.
void vectorl_compress(vectorl *v);
void vectorl_bigendian(vectorl *v);

// Debug listing (print_0 on standard output).
void vectorl_print_1(FILE *f, const vectorl *v, const char *name);
void vectorl_print_0(const vectorl *v, const char *name);
