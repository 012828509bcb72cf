// matrixn: the small rows-by-columns matrix of 16-bit values, held as one run of
// rows x cols values whose order its users fix.
#pragma once
#include <cstdint>

struct matrixn {
  uint16_t rows;
  uint16_t cols;
  int32_t size;    // values allocated, at least rows * cols
  uint16_t *data;  // the values
};

int matrixn_init();

// new on a matrix holding storage is "NEW MATRIX ALREADY ALLOCATED"; resize grows
// the storage when rows * cols exceeds it (values kept in storage order) and takes
// the shape in every case; it never shrinks.
void matrixn_new(matrixn *m, uint16_t rows, uint16_t cols);
void matrixn_resize(matrixn *m, uint16_t rows, uint16_t cols);
void matrixn_free(matrixn *m);
// dst takes src's shape and values, keeping its storage when it is large enough.
void matrixn_copyto_0(matrixn *dst, const matrixn *src);
void matrixn_copyto_1(matrixn *m, uint16_t value);
