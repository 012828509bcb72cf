// vectortf: the growable 1-based vector of byte true/false flags.
#pragma once
#include <cstdint>
#include <cstdio>

struct vectortf {
  int32_t count;     // elements in use, numbered 1..count
  int32_t capacity;  // slots allocated; 0 when no storage is held
  uint8_t *data;     // element i is data[i-1]
};

int vectortf_init();

// Life cycle and copies, as for vectord (growth capacity*6/5+10; new on a container
// that holds storage is "NEW VECTOR ALREADY ALLOCATED").
void vectortf_new(vectortf *v, int32_t n, int32_t cap);
void vectortf_resize(vectortf *v, int32_t n, int32_t cap);
void vectortf_free(vectortf *v);
int32_t vectortf_one_more(vectortf *v, uint8_t x);
void vectortf_copyto_0(vectortf *dst, const vectortf *src);
void vectortf_copyto_1(vectortf *v, uint8_t x);

// Debug listing (print_0 on standard output).
void vectortf_print_1(FILE *f, const vectortf *v, const char *name);
void vectortf_print_0(const vectortf *v, const char *name);
