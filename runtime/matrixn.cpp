// matrixn: the small matrix of 16-bit values.
#include "runtime/matrixn.h"

#include <cstring>

#include "runtime/bopmem.h"
#include "runtime/rtlib.h"

static const char RESIZE[] = "matrixn_resize_0";

int matrixn_init() {
  TRACE("matrixn");
  return 0;
}

// rows * cols, which the 32-bit size holds only up to 2^31 - 1 values.
static int32_t values_of(uint16_t rows, uint16_t cols, const char *where) {
  int64_t n = int64_t(rows) * cols;
  if (n > INT32_MAX) rtlib_fatal_in(where, "MATRIX SIZE ERROR");
  return int32_t(n);
}

void matrixn_new(matrixn *m, uint16_t rows, uint16_t cols) {
  TRACE("matrixn_new_0");
  if (m->size != 0) rtlib_fatal_in("matrixn_new_0", "NEW MATRIX ALREADY ALLOCATED");
  int32_t n = values_of(rows, cols, "matrixn_new_0");
  m->data = nullptr;
  bopmemalloc(&m->data, n, 2);
  XMEM += int64_t(n) * 2;
  m->rows = rows;
  m->cols = cols;
  m->size = n;
}

static void resize(matrixn *m, uint16_t rows, uint16_t cols) {
  int32_t n = values_of(rows, cols, RESIZE);
  if (n > m->size) {
    uint16_t *d = nullptr;
    bopmemalloc(&d, n, 2);
    XMEM += int64_t(n) * 2;
    if (m->size > 0) {
      memcpy(d, m->data, size_t(m->rows) * m->cols * 2);
      XMEM -= int64_t(m->size) * 2;
      bopmemfree(&m->data);
    }
    m->data = d;
    m->size = n;
  }
  m->rows = rows;
  m->cols = cols;
}

void matrixn_resize(matrixn *m, uint16_t rows, uint16_t cols) {
  TRACE(RESIZE);
  resize(m, rows, cols);
}

void matrixn_free(matrixn *m) {
  TRACE("matrixn_free_0");
  if (m->size > 0) XMEM -= int64_t(m->size) * 2;
  bopmemfree(&m->data);
  m->rows = m->cols = 0;
  m->size = 0;
}

void matrixn_copyto_0(matrixn *dst, const matrixn *src) {
  TRACE("matrixn_copyto_0");
  int32_t n = int32_t(src->rows) * src->cols;
  if (n > dst->size) {
    TRACE(RESIZE);
    resize(dst, src->rows, src->cols);
  }
  if (n > 0) memcpy(dst->data, src->data, size_t(n) * 2);
  dst->rows = src->rows;
  dst->cols = src->cols;
}

void matrixn_copyto_1(matrixn *m, uint16_t value) {
  TRACE("matrixn_copyto_1");
  for (int32_t i = 0, n = int32_t(m->rows) * m->cols; i < n; i++) m->data[i] = value;
}
