// vectort: the growable vector of bits numbered from 1, packed 32 to a word; bit i
// lies in word (i-1)/32 under the mask 0x80000000 >> ((i-1) mod 32).
#pragma once
#include <cstdint>
#include <cstdio>

struct vectort {
  int32_t count;     // bits in use, numbered 1..count
  int32_t capacity;  // bits for which storage exists, as requested
  uint32_t *words;   // (capacity + 31) / 32 words
};

int vectort_init();

// new on a vector holding storage is "NEW VECTOR ALREADY ALLOCATED"; resize grows the
// storage to cap bits when cap is larger and sets the count. Never shrinks.
void vectort_new(vectort *v, int32_t n, int32_t cap);
void vectort_resize(vectort *v, int32_t n, int32_t cap);
void vectort_free(vectort *v);
void vectort_copyto_0(vectort *dst, const vectort *src);
// Sets bits 1..count to 1 when flag is nonzero, else to 0; bits beyond count are 0.
void vectort_copyto_1(vectort *v, int32_t flag);
// x &= y and x |= y word by word; y of count 0 changes nothing, otherwise unequal
// counts are "VECTOR LENGTH ERROR".
void vectort_andto(vectort *x, const vectort *y);
void vectort_orto(vectort *x, const vectort *y);

// set_bit and clear_bit raise the count to i, growing to i*5/4+64 bits when needed.
void vectort_set_bit(vectort *v, int32_t i);
void vectort_clear_bit(vectort *v, int32_t i);
uint8_t vectort_if_bit(const vectort *v, int32_t i);
// Number of set bits among 1..count.
int32_t vectort_count(const vectort *v);
// Index of the first set bit after bit i (i = 0: the first one) up to count, or 0.
int32_t vectort_next_bit(const vectort *v, int32_t i);

void vectort_print_1(FILE *f, const vectort *v, const char *name);
void vectort_print_0(const vectort *v, const char *name);
