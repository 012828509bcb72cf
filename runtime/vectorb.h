// vectorb: the growable 1-based vector of unsigned bytes; 0 is a free slot.
#pragma once
#include <cstdint>
#include <cstdio>

struct vectorb {
  int32_t count;     // elements in use, numbered 1..count
  int32_t capacity;  // slots allocated; 0 when no storage is held
  uint8_t *data;     // element i is data[i-1]
};

int vectorb_init();

// Life cycle and copies, as for vectord (growth capacity*6/5+10; new on a container
// that holds storage is "NEW VECTOR ALREADY ALLOCATED").
void vectorb_new(vectorb *v, int32_t n, int32_t cap);
void vectorb_resize(vectorb *v, int32_t n, int32_t cap);
void vectorb_free(vectorb *v);
int32_t vectorb_one_more(vectorb *v, uint8_t x);
void vectorb_copyto_0(vectorb *dst, const vectorb *src);
void vectorb_copyto_1(vectorb *v, uint8_t x);

// Lists: enlist takes the first equal element, else the first 0 slot, else appends;
// insert_0 keeps the vector ascending without duplicates.
int32_t vectorb_enlist(vectorb *v, uint8_t x);
void vectorb_unlist(vectorb *v, uint8_t x);
void vectorb_insert_0(vectorb *v, uint8_t x);
void vectorb_insert_1(vectorb *v, int32_t i, uint8_t x);
void vectorb_delete(vectorb *v, uint8_t x);
void vectorb_delete_index(vectorb *v, int32_t i);
void vectorb_sort(vectorb *v);

// Debug listing (print_0 on standard output).
void vectorb_print_1(FILE *f, const vectorb *v, const char *name);
void vectorb_print_0(const vectorb *v, const char *name);
