// vectori: the growable 1-based vector of signed 16-bit integers; 0 is a free slot.
#pragma once
#include <cstdint>
#include <cstdio>

struct vectori {
  int32_t count;     // elements in use, numbered 1..count
  int32_t capacity;  // slots allocated; 0 when no storage is held
  int16_t *data;     // element i is data[i-1]
};

int vectori_init();

// Life cycle and copies, as for vectord (growth capacity*6/5+10; new on a container
// that holds storage is "NEW VECTOR ALREADY ALLOCATED").
void vectori_new(vectori *v, int32_t n, int32_t cap);
void vectori_resize(vectori *v, int32_t n, int32_t cap);
void vectori_free(vectori *v);
int32_t vectori_one_more(vectori *v, int16_t x);
void vectori_copyto_0(vectori *dst, const vectori *src);
void vectori_copyto_1(vectori *v, int16_t x);

// Lists: enlist takes the first equal element, else the first 0 slot, else appends;
// insert_0 keeps the vector ascending without duplicates.
int32_t vectori_enlist(vectori *v, int16_t x);
void vectori_unlist(vectori *v, int16_t x);
int32_t vectori_inlist(const vectori *v, int16_t x);
void vectori_insert_0(vectori *v, int16_t x);
void vectori_delete(vectori *v, int16_t x);
void vectori_delete_index(vectori *v, int32_t i);
void vectori_sort(vectori *v);
void vectori_bigendian(vectori *v);

// Debug listing (print_0 on standard output).
void vectori_print_1(FILE *f, const vectori *v, const char *name);
void vectori_print_0(const vectori *v, const char *name);
