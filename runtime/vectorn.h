// vectorn: the growable 1-based vector of unsigned 16-bit node and index numbers; 0 is a
// free slot.
#pragma once
#include <cstdint>
#include <cstdio>

struct vectorn {
  int32_t count;     // elements in use, numbered 1..count
  int32_t capacity;  // slots allocated; 0 when no storage is held
  uint16_t *data;    // element i is data[i-1]
};

int vectorn_init();

// Life cycle and copies, as for vectord (growth capacity*6/5+10; new on a container
// that holds storage is "NEW VECTOR ALREADY ALLOCATED").
void vectorn_new(vectorn *v, int32_t n, int32_t cap);
void vectorn_resize(vectorn *v, int32_t n, int32_t cap);
void vectorn_free(vectorn *v);
int32_t vectorn_one_more(vectorn *v, uint16_t x);
void vectorn_copyto_0(vectorn *dst, const vectorn *src);
void vectorn_copyto_1(vectorn *v, uint16_t x);

// Lists: enlist takes the first equal element, else the first 0 slot, else appends;
// insert_0 keeps the vector ascending without duplicates.
int32_t vectorn_enlist(vectorn *v, uint16_t x);
void vectorn_unlist(vectorn *v, uint16_t x);
int32_t vectorn_inlist(const vectorn *v, uint16_t x);
void vectorn_insert_0(vectorn *v, uint16_t x);
void vectorn_insert_1(vectorn *v, int32_t i, uint16_t x);
void vectorn_delete(vectorn *v, uint16_t x);
void vectorn_delete_index(vectorn *v, int32_t i);
void vectorn_sort(vectorn *v);

// Histogram counters: element k up (the vector grows to k) or down (never below 0).
void vectorn_count(vectorn *v, int32_t k);
void vectorn_uncount(vectorn *v, int32_t k);
void vectorn_bigendian(vectorn *v);

// Debug listing (print_0 on standard output).
void vectorn_print_1(FILE *f, const vectorn *v, const char *name);
void vectorn_print_0(const vectorn *v, const char *name);
