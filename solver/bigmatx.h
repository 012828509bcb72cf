// bigmatx: the block layout of the global system: one row map per variable from its
// node (or item) number to the global row, the numbering of the field unknowns node by
// node, and the copying and adding of node-numbered blocks into the global matrix.
#pragma once
#include <cstdint>

#include "model/matrix_records.h"
#include "runtime/vector2l.h"
#include "runtime/vectorl.h"

struct sparsemx;

int bigmatx_init();

// One row map per variable, member k sized to counts(k) (entries 0).
void bigmatx_resize(bigmatx *b, const vectorl *counts);
// Numbers the field unknowns node by node in the order invperm gives (identity when
// empty), fills the maps of variables 1..nfield and gives every field row the columns
// (q-1)*nfield + m for each position q of link row p and m = 1..nfield, values 0, with
// room for extra more entries. A row whose count is not the link row's length times
// nfield is "COUNT MISMATCH". A is sized to the field rows plus extra; the extra rows
// are left empty.
void bigmatx_replicate(bigmatx *b, sparsemx *A, const sparsemx *link, const vectorl *perm,
                       const vectorl *invperm, uint16_t nfield, int32_t extra);
// Global entry (map_i[n], map_j[q]) := v (copyto) or += v (addto) for every entry
// (q, v) of block row n. Only existing entries are stored: a missing one is "MISSING
// ELEMENT"; a block index beyond the maps "BLOCK ROW RANGE" or "BLOCK COLUMN RANGE",
// a matrix without rows "BAD MATRIX".
void bigmatx_copyto(bigmatx *b, sparsemx *A, uint16_t i, uint16_t j, const sparsemx *block);
void bigmatx_addto(bigmatx *b, sparsemx *A, uint16_t i, uint16_t j, const sparsemx *block);
// Position (0-based) of column c in a sorted row of count keys, or -1.
int32_t bigmatx_find(const int32_t *keys, int32_t count, int32_t c);
// Frees the maps.
void bigmatx_free(bigmatx *b);
