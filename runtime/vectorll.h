// vectorll: (key, value) pairs of 32-bit integers in parallel arrays, 1-based, with
// keys kept ascending and unique by insert.
#pragma once
#include <cstdint>
#include <cstdio>

struct vectorll {
  int32_t count;     // pairs in use, numbered 1..count
  int32_t capacity;  // pairs allocated in both arrays
  int32_t *keys;     // pair i is (keys[i-1], values[i-1])
  int32_t *values;
};

int vectorll_init();

// As the simple vectors: new twice is "NEW VECTOR ALREADY ALLOCATED", a null
// vector to resize is "INVALID VECTOR", one_more grows by capacity*6/5+10.
void vectorll_new(vectorll *v, int32_t n, int32_t cap);
void vectorll_resize(vectorll *v, int32_t n, int32_t cap);
void vectorll_free(vectorll *v);
void vectorll_copyto_0(vectorll *dst, const vectorll *src);
int32_t vectorll_one_more(vectorll *v, int32_t key, int32_t value);
// Replaces the value of an equal key, else inserts the pair before the first
// greater key, else appends it.
void vectorll_insert(vectorll *v, int32_t key, int32_t value);
// Removes the first pair matching both key and value.
void vectorll_delete(vectorll *v, int32_t key, int32_t value);
void vectorll_delete_index(vectorll *v, int32_t i);
// Exchange sort by ascending key; pairs of equal keys are never exchanged.
void vectorll_sort(vectorll *v);

void vectorll_print_1(FILE *f, const vectorll *v, const char *name);
void vectorll_print_0(const vectorll *v, const char *name);
