// bigmatx: row maps of the variables and block transfers into the global matrix.
#include "solver/bigmatx.h"

#include <algorithm>

#include "runtime/bopmem.h"
#include "runtime/rtlib.h"
#include "runtime/vectorld.h"
#include "solver/sparsemx.h"

int bigmatx_init() {
  TRACE("bigmatx");
  return 0;
}

void bigmatx_resize(bigmatx *b, const vectorl *counts) {
  TRACE("bigmatx_resize");
  int32_t v = counts->count;
  vector2l_resize(&b->maps, v, std::max(v, b->maps.capacity));
  for (int32_t k = 0; k < v; k++) {
    vectorl *m = &b->maps.data[k];
    int32_t n = counts->data[k];
    vectorl_resize(m, n, std::max(n, m->capacity));
    std::fill(m->data, m->data + n, 0);
  }
}

void bigmatx_replicate(bigmatx *b, sparsemx *A, const sparsemx *link, const vectorl *perm,
                       const vectorl *invperm, uint16_t nfield, int32_t extra) {
  TRACE("bigmatx_replicate");
  (void)perm;
  int32_t n = link->rows;
  int32_t rows = n * nfield + extra;
  // The field rows in one block, each with room for the extra columns.
  vectorl room{};
  vectorl_resize(&room, rows, rows);
  for (int32_t p = 1; p <= n; p++)
    for (uint16_t k = 1; k <= nfield; k++)
      room.data[(p - 1) * nfield + k - 1] = link->data[p - 1].count * nfield + extra;
  for (int32_t r = n * nfield + 1; r <= rows; r++) room.data[r - 1] = 0;
  sparsemx_lay_out(A, rows, &room);
  vectorl_free(&room);
  int32_t counter = 0;
  for (int32_t p = 1; p <= n; p++) {
    int32_t node = invperm->count > 0 ? invperm->data[p - 1] : p;
    const vectorld *lr = &link->data[p - 1];
    int32_t want = lr->count * nfield;
    for (uint16_t k = 1; k <= nfield; k++) {
      counter++;
      b->maps.data[k - 1].data[node - 1] = counter;
      vectorld *r = &A->data[counter - 1];
      vectorld_resize(r, want, want + extra);
      int32_t e = 0;
      for (int32_t a = 0; a < lr->count; a++)
        for (uint16_t m = 1; m <= nfield; m++) {
          r->keys[e] = (lr->keys[a] - 1) * nfield + m;
          r->values[e++] = 0.0;
        }
      if (e != want || r->count != want) rtlib_fatal_in("bigmatx_replicate", "COUNT MISMATCH");
    }
  }
}

int32_t bigmatx_find(const int32_t *keys, int32_t count, int32_t c) {
  const int32_t *e = keys + count;
  const int32_t *at = std::lower_bound(keys, e, c);
  return at != e && *at == c ? int32_t(at - keys) : -1;
}

// The position of each column in the global row being filled: slot[c] holds the
// place of column c's first occurrence. Slots of other rows stay behind; a slot is
// only trusted when the row's key at that place is c, so the list is never cleared.
static vectorl slot;
static BopmemWork slot_work([] { vectorl_free(&slot); });

// The transfer shared by copyto and addto. Each global row's columns are spread into
// the slot list once, and each block entry then finds its place by one look-up: the
// place a search would find (the next place after the previous entry when it holds
// the column, else the column's first place in the row).
static void transfer(bigmatx *b, sparsemx *A, uint16_t i, uint16_t j, const sparsemx *block, bool add,
                     const char *where) {
  if (!A || !A->data || !block || (block->rows > 0 && !block->data)) rtlib_fatal_in(where, "BAD MATRIX");
  if (i < 1 || i > b->maps.count) rtlib_fatal_in(where, "BLOCK ROW RANGE");
  if (j < 1 || j > b->maps.count) rtlib_fatal_in(where, "BLOCK COLUMN RANGE");
  const vectorl *mi = &b->maps.data[i - 1], *mj = &b->maps.data[j - 1];
  int32_t rows = std::min(block->rows, mi->count);
  int32_t width = A->rows + 1;
  if (slot.count < width) {
    vectorl_resize(&slot, width, std::max(width, slot.capacity));
    std::fill(slot.data, slot.data + width, 0);
  }
  int32_t *place = slot.data;
  for (int32_t n = 1; n <= rows; n++) {
    const vectorld *br = &block->data[n - 1];
    int32_t g = mi->data[n - 1];
    if (g < 1 || g > A->rows) rtlib_fatal_in(where, "BLOCK ROW RANGE");
    vectorld *gr = &A->data[g - 1];
    // The rows a few block rows on are asked for now (the global rows lie scattered).
    if (n + 4 <= rows) {
      int32_t ahead = mi->data[n + 3];
      if (ahead >= 1 && ahead <= A->rows) __builtin_prefetch(&A->data[ahead - 1]);
    }
    if (n + 2 <= rows) {
      int32_t next = mi->data[n + 1];
      if (next >= 1 && next <= A->rows) {
        const vectorld *nr = &A->data[next - 1];
        __builtin_prefetch(nr->keys);
        __builtin_prefetch(nr->values);
        __builtin_prefetch(nr->values + 8);
      }
    }
    const int32_t *keys = gr->keys;
    int32_t count = gr->count;
    // Backwards, so that a repeated column keeps its first place.
    for (int32_t k = count - 1; k >= 0; k--)
      if (uint32_t(keys[k]) < uint32_t(width)) place[keys[k]] = k;
    int32_t last = -1;  // entries of one block row mostly map to ascending columns
    for (int32_t e = 0; e < br->count; e++) {
      int32_t q = br->keys[e];
      if (q < 1 || q > mj->count) rtlib_fatal_in(where, "BLOCK COLUMN RANGE");
      int32_t c = mj->data[q - 1];
      int32_t at = -1;
      if (last >= 0 && last + 1 < count && keys[last + 1] == c) {
        at = last + 1;
      } else if (uint32_t(c) < uint32_t(width)) {
        int32_t k = place[c];
        if (k >= 0 && k < count && keys[k] == c) at = k;
      } else {
        at = bigmatx_find(keys, count, c);
      }
      if (at < 0) rtlib_fatal_in(where, "MISSING ELEMENT");
      if (add) gr->values[at] += br->values[e];
      else gr->values[at] = br->values[e];
      last = at;
    }
  }
}

void bigmatx_copyto(bigmatx *b, sparsemx *A, uint16_t i, uint16_t j, const sparsemx *block) {
  TRACE("bigmatx_copyto");
  transfer(b, A, i, j, block, false, "bigmatx_copyto");
}

void bigmatx_addto(bigmatx *b, sparsemx *A, uint16_t i, uint16_t j, const sparsemx *block) {
  TRACE("bigmatx_addto");
  transfer(b, A, i, j, block, true, "bigmatx_addto");
}

void bigmatx_free(bigmatx *b) {
  vector2l_free(&b->maps, 1);
  vectorl_free(&slot);
}
