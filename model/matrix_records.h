// matrix_records: the records of the global system's matrices that the problem record
// holds: the row-compressed sparse matrix, the band matrix of the band preconditioner
// and the block layout's row maps. The solver works on them (solver/sparsemx.h,
// solver/bandmxd.h, solver/bigmatx.h).
#pragma once
#include <cstdint>

#include "runtime/vector2l.h"
#include "runtime/vectorld.h"

// A matrix whose pattern is set (a copy, an image, the global matrix as laid out)
// keeps its rows one after another in one block of keys and one of values: the rows
// borrow their room from it (see vectorld), so the products and solves stream
// through memory. A row grown past its room takes arrays of its own.
struct sparsemx {
  int32_t rows;       // rows in use, numbered 1..rows
  int32_t capacity;   // row records allocated; rows past rows keep their storage
  vectorld *data;     // row i is data[i-1]: columns strictly ascending, 1-based
  int32_t blocksize;  // pairs in the block the rows borrow from (0: no block)
  int32_t *keyblock;  // the block's keys and values
  double *valblock;
};

// The square band matrix of doubles: row i holds columns i-h .. i+h.
struct bandmxd {
  uint16_t half;     // half bandwidth h: row i holds columns i-h .. i+h
  uint16_t width;    // values per row, 2h + 1
  int32_t rows;      // order n
  int32_t capacity;  // values allocated; 0 when no storage is held
  double *data;      // row after row: (i,j) is data[(i-1)*width + j-i+h]
};

// Row maps 1..maps.count: member k maps item n of variable k to its global row.
struct bigmatx {
  vector2l maps;
};
// Global row of item n of variable k.
inline int32_t bigmatx_row(const bigmatx *b, uint16_t k, int32_t n) { return b->maps.data[k - 1].data[n - 1]; }
