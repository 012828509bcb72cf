// vectort: the bit vector.
#include "runtime/vectort.h"

#include <bit>
#include <cstring>

#include "runtime/vectorbase.h"

static const char RESIZE[] = "vectort_resize_0";

static int32_t words_of(int32_t bits) { return bits > 0 ? (bits + 31) / 32 : 0; }

// The bits of the last word that lie within count (all ones for a full word).
static uint32_t tail_mask(int32_t count) {
  int r = count % 32;
  return r == 0 ? 0xffffffffu : ~(0xffffffffu >> r);
}

int vectort_init() {
  TRACE("vectort");
  return 0;
}

void vectort_new(vectort *v, int32_t n, int32_t cap) {
  TRACE("vectort_new_0");
  if (v->capacity != 0) rtlib_fatal_in("vectort_new_0", VECTOR_NEW_TWICE);
  if (n < 0 || n > std::max(cap, 0)) rtlib_fatal_in("vectort_new_0", VECTOR_COUNT);
  v->words = nullptr;
  bopmemalloc(&v->words, words_of(cap), 4);
  XMEM += int64_t(words_of(cap)) * 4;
  v->capacity = std::max(cap, 0);
  v->count = n;
}

static void resize(vectort *v, int32_t n, int32_t cap) {
  if (n < 0 || n > std::max(cap, v->capacity)) rtlib_fatal_in(RESIZE, VECTOR_COUNT);
  if (cap > v->capacity) {
    uint32_t *w = nullptr;
    bopmemalloc(&w, words_of(cap), 4);
    XMEM += int64_t(words_of(cap)) * 4;
    if (v->capacity > 0) {
      memcpy(w, v->words, size_t(words_of(v->count)) * 4);
      XMEM -= int64_t(words_of(v->capacity)) * 4;
      bopmemfree(&v->words);
    }
    v->words = w;
    v->capacity = cap;
  }
  v->count = n;
}

void vectort_resize(vectort *v, int32_t n, int32_t cap) {
  TRACE(RESIZE);
  resize(v, n, cap);
}

void vectort_free(vectort *v) {
  TRACE("vectort_free_0");
  XMEM -= int64_t(words_of(v->capacity)) * 4;
  bopmemfree(&v->words);
  v->count = v->capacity = 0;
}

void vectort_copyto_0(vectort *dst, const vectort *src) {
  TRACE("vectort_copyto_0");
  if (dst->capacity < src->count) {
    TRACE(RESIZE);
    resize(dst, src->count, src->capacity);
  }
  if (src->count > 0) memcpy(dst->words, src->words, size_t(words_of(src->count)) * 4);
  dst->count = src->count;
}

// Filling whole words with ones would also set the bits between count and the end
// of the last word, which later counts and searches would see; they stay 0.
void vectort_copyto_1(vectort *v, int32_t flag) {
  TRACE("vectort_copyto_1");
  int32_t nw = words_of(v->count);
  if (nw == 0) return;
  memset(v->words, flag ? 0xff : 0, size_t(nw) * 4);
  if (flag) v->words[nw - 1] &= tail_mask(v->count);
}

static void combine(vectort *x, const vectort *y, bool orr, const char *where) {
  if (y->count <= 0) return;
  if (x->count != y->count) rtlib_fatal_in(where, VECTOR_LENGTH);
  for (int32_t k = 0, nw = words_of(y->count); k < nw; k++)
    x->words[k] = orr ? x->words[k] | y->words[k] : x->words[k] & y->words[k];
}

void vectort_andto(vectort *x, const vectort *y) {
  TRACE("vectort_andto_0");
  combine(x, y, false, "vectort_andto_0");
}

void vectort_orto(vectort *x, const vectort *y) {
  TRACE("vectort_orto_0");
  combine(x, y, true, "vectort_orto_0");
}

// Makes bit i an element: the count rises to i, the storage to i*5/4+64 bits.
static void reach(vectort *v, int32_t i, const char *where) {
  if (i < 1) rtlib_fatal_in(where, VECTOR_INDEX);
  if (i > v->count) {
    if (i > v->capacity) {
      TRACE(RESIZE);
      resize(v, i, i * 5 / 4 + 64);
    }
    v->count = i;
  }
}

void vectort_set_bit(vectort *v, int32_t i) {
  TRACE("vectort_set_bit_0");
  reach(v, i, "vectort_set_bit_0");
  v->words[(i - 1) / 32] |= 0x80000000u >> ((i - 1) % 32);
}

void vectort_clear_bit(vectort *v, int32_t i) {
  TRACE("vectort_clear_bit_0");
  reach(v, i, "vectort_clear_bit_0");
  v->words[(i - 1) / 32] &= ~(0x80000000u >> ((i - 1) % 32));
}

uint8_t vectort_if_bit(const vectort *v, int32_t i) {
  TRACE("vectort_if_bit_0");
  if (i < 1) rtlib_fatal_in("vectort_if_bit_0", VECTOR_INDEX);
  if (i > v->count) return 0;
  return (v->words[(i - 1) / 32] & (0x80000000u >> ((i - 1) % 32))) != 0;
}

// Word k of the bits 1..count: the last word is masked, so that bits beyond count
// (left by a shorter resize or by word-wise operations) are never reported.
static uint32_t word(const vectort *v, int32_t k) {
  uint32_t w = v->words[k];
  return k == words_of(v->count) - 1 ? w & tail_mask(v->count) : w;
}

int32_t vectort_count(const vectort *v) {
  TRACE("vectort_count_0");
  int32_t n = 0;
  for (int32_t k = 0, nw = words_of(v->count); k < nw; k++)
    if (v->words[k]) n += std::popcount(word(v, k));
  return n;
}

int32_t vectort_next_bit(const vectort *v, int32_t i) {
  TRACE("vectort_next_bit_0");
  if (i < 0) rtlib_fatal_in("vectort_next_bit_0", VECTOR_INDEX);
  if (i >= v->count) return 0;
  // Bits after i in i's own word (0-based positions i, i+1, ...), then whole words.
  int32_t k = i / 32;
  uint32_t w = word(v, k) & (0xffffffffu >> (i % 32));
  for (int32_t nw = words_of(v->count);;) {
    if (w) return k * 32 + std::countl_zero(w) + 1;
    if (++k >= nw) return 0;
    w = word(v, k);
  }
}

// Ten words a row as "  %8x".
void vectort_print_1(FILE *f, const vectort *v, const char *name) {
  TRACE("vectort_print_1");
  vecbase_print(f, words_of(v->count), 10, name, [&](int32_t k) { fprintf(f, "  %8x", v->words[k - 1]); });
}

void vectort_print_0(const vectort *v, const char *name) {
  TRACE("vectort_print_0");
  vectort_print_1(stdout, v, name);
}
