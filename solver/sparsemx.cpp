// sparsemx: sparse matrices as 1-based rows of (column, value) pairs.
//
// One concern in one file past 1,000 lines: the matrix type with every operation that reads
// its row storage directly (the one-block store, the rows' column order, the cached
// diagonal positions and column index): arithmetic, products, and the diagonal and
// incomplete factors built on the same rows. The solvers that use the factors are in
// sparsecg.cpp; the complete factors in sparsechol.cpp and sparselu.cpp.
#include "solver/sparsemx.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <immintrin.h>
#include <initializer_list>
#include <utility>
#include <vector>

#include "graphics/display.h"
#include "runtime/bopmem.h"
#include "runtime/debug.h"
#include "runtime/math.h"
#include "runtime/owner.h"
#include "runtime/rtlib.h"
#include "solver/bandmxd.h"
#include "runtime/matrixd.h"
#include "solver/pairs.h"

uint8_t sparsemx_debug = 0;
uint8_t sparsemx_block_lanes = 0;

// Module scratch, grown on demand and never shrunk: the diagonal positions of the
// rows being factored, the rows of every column (incomplete LU), a dense work column,
// and the dense block with its root (block preconditioner).
static vectorl diagpos;
static vectorl colstart, colrows;
static vectord work;
static matrixd block, root;
static BopmemWork scratch_work([] {
  for (vectorl *v : {&diagpos, &colstart, &colrows}) vectorl_free(v);
  vectord_free(&work);
  matrixd_free(&block);
  matrixd_free(&root);
});

int sparsemx_init() {
  TRACE("sparsemx");
  return 0;
}

static inline vectorld *row(const sparsemx *M, int32_t i) { return &M->data[i - 1]; }

// A String over a literal text, never written or freed.
static String lit(const char *c) {
  uint16_t n = uint16_t(strlen(c));
  return String{n, n, const_cast<char *>(c)};
}

[[noreturn]] static void trap_matrix(const char *where) { rtlib_fatal_in(where, "BAD MATRIX"); }
[[noreturn]] static void trap_row(const char *where) { rtlib_fatal_in(where, "BAD MATRIX MAP ROW"); }
[[noreturn]] static void trap_mismatch(const char *where) { rtlib_fatal_in(where, "MATRIX SIZE MISMATCH"); }
[[noreturn]] static void trap_length(const char *where, int32_t length, int32_t rows) {
  debug_printf("%s %d :: %d\n", "VECTOR LENGTH ERROR", length, rows);
  rtlib_fatal_in(where, "VECTOR LENGTH ERROR");
}

static void check_length(const char *where, const vectord *x, int32_t n) {
  if (x->count != n) trap_length(where, x->count, n);
}

// Grows a scratch list to n entries (kept values are not cleared).
static void scratch(vectorl *v, int32_t n) { vectorl_resize(v, n, std::max(n, v->capacity)); }
static void scratch(vectord *v, int32_t n) { vectord_resize(v, n, std::max(n, v->capacity)); }

// Position (0-based) of the diagonal entry of row i: the first entry not left of the
// diagonal, the last when all are; -1 for an empty row.
static int32_t diag_at(const vectorld *r, int32_t i) {
  if (r->count == 0) return -1;
  int32_t k = 0;
  while (k < r->count - 1 && r->keys[k] < i) k++;
  return k;
}

// Position (0-based) of column j in the row, or -1.
static int32_t find(const vectorld *r, int32_t j) {
  if (r->count == 0 || j < r->keys[0] || j > r->keys[r->count - 1]) return -1;
  for (int32_t k = 0; k < r->count; k++) {
    if (r->keys[k] == j) return k;
    if (r->keys[k] > j) break;
  }
  return -1;
}

// ---- Lifetime and shape ---------------------------------------------------------------

void sparsemx_new(sparsemx *M, int32_t n, int32_t c) {
  TRACE("sparsemx_new_0");
  if (M->data) rtlib_fatal_in("sparsemx_new_0", "NEW LMAP ALREADY ALLOCATED");
  if (c > 0) {
    bopmemalloc(&M->data, c, sizeof(vectorld));
    XMEM += int64_t(c) * int64_t(sizeof(vectorld));
  }
  M->capacity = std::max(c, 0);
  M->rows = n;
}

void sparsemx_resize_0(sparsemx *M, int32_t n, int32_t c) {
  TRACE("sparsemx_resize_0");
  if (n > c) c = n;  // rows beyond the records would be written through
  if (c > M->capacity) {
    vectorld *d = nullptr;
    bopmemalloc(&d, c, sizeof(vectorld));
    XMEM += int64_t(c) * int64_t(sizeof(vectorld));
    if (M->data) {
      memcpy(d, M->data, size_t(M->capacity) * sizeof(vectorld));
      XMEM -= int64_t(M->capacity) * int64_t(sizeof(vectorld));
      bopmemfree(&M->data);
    }
    M->data = d;
    M->capacity = c;
  }
  M->rows = n;
}

// ---- Storage in one block --------------------------------------------------------------

// Every record's storage released: arrays of its own freed, borrowed ones forgotten.
static void release_rows(sparsemx *M) {
  for (int32_t i = 1; i <= M->capacity; i++) vectorld_free(row(M, i));
}

static void release_block(sparsemx *M) {
  XMEM -= int64_t(M->blocksize) * int64_t(sizeof(int32_t) + sizeof(double));
  bopmemfree(&M->keyblock);
  bopmemfree(&M->valblock);
  M->blocksize = 0;
}

// M := n empty rows, row i borrowing room(i) pairs of the block, one after another.
template <class F> static void lay_out(sparsemx *M, int32_t n, F room, const char *where) {
  int64_t total = 0;
  for (int32_t i = 1; i <= n; i++) total += room(i);
  if (total > INT32_MAX) rtlib_fatal_in(where, "MEMORY OVERFLOW");
  sparsemx_resize_0(M, n, std::max(n, M->capacity));
  release_rows(M);
  if (total > M->blocksize || 2 * total < M->blocksize) {
    release_block(M);
    if (total > 0) {
      bopmemalloc(&M->keyblock, int32_t(total), sizeof(int32_t));
      bopmemalloc(&M->valblock, int32_t(total), sizeof(double));
      XMEM += total * int64_t(sizeof(int32_t) + sizeof(double));
      M->blocksize = int32_t(total);
    }
  }
  int64_t at = 0;
  for (int32_t i = 1; i <= n; i++) {
    int32_t m = room(i);
    if (m <= 0) continue;
    vectorld *r = row(M, i);
    r->keys = M->keyblock + at;
    r->values = M->valblock + at;
    r->capacity = -m;
    at += m;
  }
}

void sparsemx_lay_out(sparsemx *M, int32_t n, const vectorl *room) {
  TRACE("sparsemx_lay_out_0");
  if (room->count < n) rtlib_fatal_in("sparsemx_lay_out_0", "SIZE MISMATCH");
  lay_out(M, n, [room](int32_t i) { return room->data[i - 1]; }, "sparsemx_lay_out_0");
}

// M := N's rows and counts laid out in one block, each row with room for its pairs.
static void lay_out_like(sparsemx *M, const sparsemx *N, const char *where) {
  lay_out(M, N->rows, [N](int32_t i) { return row(N, i)->count; }, where);
  for (int32_t i = 1; i <= N->rows; i++) row(M, i)->count = row(N, i)->count;
}

void sparsemx_resize_1(sparsemx *M, const sparsemx *N) {
  TRACE("sparsemx_resize_1");
  if (M != N) lay_out_like(M, N, "sparsemx_resize_1");
}

void sparsemx_image(sparsemx *M, const sparsemx *N) {
  TRACE("sparsemx_image_0");
  if (M == N) {
    sparsemx_clear(M);
    return;
  }
  lay_out_like(M, N, "sparsemx_image_0");
  for (int32_t i = 1; i <= N->rows; i++) {
    vectorld *m = row(M, i), *r = row(N, i);
    if (r->count == 0) continue;
    memcpy(m->keys, r->keys, size_t(r->count) * sizeof(int32_t));
    std::fill(m->values, m->values + r->count, 0.0);
  }
}

int64_t sparsemx_entries(const sparsemx *M) {
  int64_t nz = 0;
  for (int32_t i = 1; i <= M->rows; i++) nz += row(M, i)->count;
  return nz;
}

void sparsemx_free(sparsemx *M, uint8_t rows) {
  TRACE("sparsemx_free_0");
  if (rows) release_rows(M);
  release_block(M);
  if (M->capacity >= 1) XMEM -= int64_t(M->capacity) * int64_t(sizeof(vectorld));
  bopmemfree(&M->data);
  M->rows = M->capacity = 0;
}

// M := N laid out in one block, every value passed through f.
template <class F> static void copy_rows(sparsemx *M, const sparsemx *N, F f, const char *where) {
  if (M == N) {
    for (int32_t i = 1; i <= M->rows; i++)
      for (int32_t k = 0; k < row(M, i)->count; k++) row(M, i)->values[k] = f(row(M, i)->values[k]);
    return;
  }
  lay_out_like(M, N, where);
  for (int32_t i = 1; i <= N->rows; i++) {
    vectorld *m = row(M, i);
    const vectorld *r = row(N, i);
    if (r->count == 0) continue;
    memcpy(m->keys, r->keys, size_t(r->count) * sizeof(int32_t));
    for (int32_t k = 0; k < r->count; k++) m->values[k] = f(r->values[k]);
  }
}

void sparsemx_copyto_0(sparsemx *M, const sparsemx *N) {
  TRACE("sparsemx_copyto_0");
  copy_rows(M, N, [](double x) { return x; }, "sparsemx_copyto_0");
}

void sparsemx_copyto_1(sparsemx *M, const sparsemx *N, double s) {
  TRACE("sparsemx_copyto_1");
  copy_rows(M, N, [s](double x) { return x * s; }, "sparsemx_copyto_1");
}

void sparsemx_pack(sparsemx *M) {
  TRACE("sparsemx_pack_0");
  sparsemx packed{};
  sparsemx_copyto_0(&packed, M);
  sparsemx_free(M, 1);
  *M = packed;
}

void sparsemx_explode(matrixd *D, const sparsemx *M) {
  TRACE("sparsemx_explode_0");
  matrixd_resize(D, M->rows, M->rows);
  matrixd_copyto_1(D, 0.0);
  for (int32_t i = 1; i <= M->rows; i++) {
    const vectorld *r = row(M, i);
    for (int32_t k = 0; k < r->count; k++) D->data[int64_t(i - 1) * D->cols + r->keys[k] - 1] = r->values[k];
  }
}

// ---- Entries ------------------------------------------------------------------------

double sparsemx_fetch(const sparsemx *M, int32_t i, int32_t j) {
  TRACE("sparsemx_fetch_0");
  if (i < 1 || i > M->rows || !M->data) return 0.0;
  const vectorld *r = row(M, i);
  int32_t k = find(r, j);
  return k < 0 ? 0.0 : r->values[k];
}

// The row of (i, j) for writing, checked.
static vectorld *target(sparsemx *M, int32_t i, const char *where) {
  if (!M || !M->data) trap_matrix(where);
  if (i < 1 || i > M->rows) trap_row(where);
  return row(M, i);
}

void sparsemx_store(sparsemx *M, int32_t i, int32_t j, double x) {
  TRACE("sparsemx_store_0");
  vectorld *r = target(M, i, "sparsemx_store_0");
  int32_t k = find(r, j);
  if (k >= 0) r->values[k] = x;
  else vectorld_insert(r, j, x);
}

double sparsemx_addto_0(sparsemx *M, int32_t i, int32_t j, double x) {
  TRACE("sparsemx_addto_0");
  vectorld *r = target(M, i, "sparsemx_addto_0");
  int32_t k = find(r, j);
  if (k >= 0) return r->values[k] += x;
  vectorld_insert(r, j, x);
  return x;
}

// ---- Whole-matrix arithmetic ------------------------------------------------------------

void sparsemx_addto_1(sparsemx *M, const sparsemx *N, double s) {
  TRACE("sparsemx_addto_1");
  if (M->rows != N->rows) {
    debug_printf("ADDTO LMATRIX DEST.LENGTH=%d SRC.LENGTH=%d\n", M->rows, N->rows);
    trap_mismatch("sparsemx_addto_1");
  }
  for (int32_t i = 1; i <= N->rows; i++) {
    vectorld *m = row(M, i);
    const vectorld *r = row(N, i);
    if (m->count < r->count) {
      debug_printf("ADDTO LMATRIX SRC ROW=%d DROW.LENGTH=%d SROW.LENGTH=%d\n", i, m->count, r->count);
      trap_mismatch("sparsemx_addto_1");
    }
    for (int32_t k = 0; k < r->count; k++) m->values[k] += s * r->values[k];
  }
}

void sparsemx_clear(sparsemx *M) {
  TRACE("sparsemx_clear_0");
  for (int32_t i = 1; i <= M->rows; i++) std::fill(row(M, i)->values, row(M, i)->values + row(M, i)->count, 0.0);
}

void sparsemx_clear_row(sparsemx *M, int32_t i) {
  TRACE("sparsemx_clear_row_0");
  if (i < 1 || i > M->rows) return;
  std::fill(row(M, i)->values, row(M, i)->values + row(M, i)->count, 0.0);
}

void sparsemx_clear_col(sparsemx *M, int32_t j) {
  TRACE("sparsemx_clear_col_0");
  if (j < 1 || j > M->rows) return;
  const vectorld *r = row(M, j);
  for (int32_t k = 0; k < r->count; k++) sparsemx_store(M, r->keys[k], j, 0.0);
}

void sparsemx_clear_rowcol(sparsemx *M, int32_t i, double d) {
  TRACE("sparsemx_clear_rowcol_0");
  vectorld *r = target(M, i, "sparsemx_clear_rowcol_0");
  for (int32_t k = 0; k < r->count; k++) {
    int32_t c = r->keys[k];
    r->values[k] = 0.0;
    if (c != i) sparsemx_store(M, c, i, 0.0);
  }
  sparsemx_store(M, i, i, d);
}

void sparsemx_negate(sparsemx *M) {
  TRACE("sparsemx_negate_0");
  for (int32_t i = 1; i <= M->rows; i++) vectorld_negate(row(M, i));
}

void sparsemx_offset(sparsemx *M, double s) {
  TRACE("sparsemx_offset_0");
  for (int32_t i = 1; i <= M->rows; i++) {
    int32_t k = diag_at(row(M, i), i);
    if (k >= 0) row(M, i)->values[k] += s;
  }
}

void sparsemx_emphasize(sparsemx *M, double s) {
  TRACE("sparsemx_emphasize_0");
  for (int32_t i = 1; i <= M->rows; i++) {
    int32_t k = diag_at(row(M, i), i);
    if (k >= 0) row(M, i)->values[k] *= 1.0 + s;
  }
}

void sparsemx_symmetrize(sparsemx *M, const sparsemx *N) {
  TRACE("sparsemx_symmetrize_0");
  sparsemx_resize_1(M, N);
  for (int32_t i = 1; i <= N->rows; i++) {
    const vectorld *r = row(N, i);
    vectorld *m = row(M, i);
    for (int32_t k = 0; k < r->count; k++) {
      m->keys[k] = r->keys[k];
      m->values[k] = (r->values[k] + sparsemx_fetch(N, r->keys[k], i)) / 2;
    }
  }
}

// Row i (by_row) or column c times f(v(i or c)).
template <class F> static void scale(sparsemx *M, const vectord *v, bool by_row, F f, const char *where) {
  if (v->count < M->rows) trap_length(where, v->count, M->rows);
  for (int32_t i = 1; i <= M->rows; i++) {
    vectorld *r = row(M, i);
    for (int32_t k = 0; k < r->count; k++) {
      int32_t c = by_row ? i : r->keys[k];
      if (c > v->count) trap_length(where, v->count, c);
      r->values[k] = f(r->values[k], v->data[c - 1]);
    }
  }
}

void sparsemx_pre_scale_matrix(sparsemx *M, const vectord *v) {
  TRACE("sparsemx_pre_scale_matrix_0");
  scale(M, v, true, [](double a, double s) { return a * s; }, "sparsemx_pre_scale_matrix_0");
}

void sparsemx_post_scale_matrix(sparsemx *M, const vectord *v) {
  TRACE("sparsemx_post_scale_matrix_0");
  scale(M, v, false, [](double a, double s) { return a * s; }, "sparsemx_post_scale_matrix_0");
}

void sparsemx_pre_unscale_matrix(sparsemx *M, const vectord *v) {
  TRACE("sparsemx_pre_unscale_matrix_0");
  scale(M, v, true, [](double a, double s) { return a * (1.0 / s); }, "sparsemx_pre_unscale_matrix_0");
}

void sparsemx_post_unscale_matrix(sparsemx *M, const vectord *v) {
  TRACE("sparsemx_post_unscale_matrix_0");
  scale(M, v, false, [](double a, double s) { return a / s; }, "sparsemx_post_unscale_matrix_0");
}

void sparsemx_copy_remap(sparsemx *M, const sparsemx *N) {
  TRACE("sparsemx_copy_remap_0");
  for (int32_t i = 1; i <= std::max(M->rows, N->rows); i++) {
    vectorld *m = i <= M->rows ? row(M, i) : nullptr;
    const vectorld *r = i <= N->rows ? row(N, i) : nullptr;
    int32_t a = 0, na = m ? m->count : 0, nb = r ? r->count : 0;
    for (int32_t b = 0; b < nb; b++) {
      while (a < na && m->keys[a] < r->keys[b]) m->values[a++] = 0.0;
      if (a < na && m->keys[a] == r->keys[b]) m->values[a++] = r->values[b];
      else if (r->values[b] != 0.0) rtlib_fatal_in("sparsemx_copy_remap_0", "CAN'T COPYTO");
    }
    while (a < na) m->values[a++] = 0.0;
  }
}

void sparsemx_copy_reorder(sparsemx *M, const sparsemx *N, const vectorl *p) {
  TRACE("sparsemx_copy_reorder_0");
  if (M->rows != N->rows || p->count != N->rows) rtlib_fatal_in("sparsemx_copy_reorder_0", "SIZE MISMATCH");
  for (int32_t i = 1; i <= N->rows; i++) {
    int32_t pi = p->data[i - 1];
    sparsemx_clear_row(M, pi);
    const vectorld *r = row(N, i);
    for (int32_t k = 0; k < r->count; k++) sparsemx_store(M, pi, p->data[r->keys[k] - 1], r->values[k]);
  }
}

// ---- Products ---------------------------------------------------------------------------

// The kernels below work on W vectors at once, stored interleaved with stride w (entry
// i of vector t at [i*w + t]); every vector sees the operations of a single one in the
// same order, so a block gives each vector the bits it would get alone. The W vectors
// go through the matrix in one pass: each row is taken by tiles of few vectors whose
// sums stay in registers, V lanes at a time, the row's entries read again from cache
// for each tile.

// The width of the first tile of R vectors: up to 20 in one tile, wider passes in tiles
// of 10, as more sums than that no longer stay in registers.
static constexpr int tile_width(int R) { return R <= 20 ? R : 10; }

// V doubles taken as one value (V = 1, 2 or 4); arithmetic on them is lane by lane.
template <int V> struct Vec { typedef double type __attribute__((vector_size(8 * V), aligned(8), may_alias)); };
template <> struct Vec<1> { typedef double type; };

// The running sums of a tile of T vectors, V lanes at a time and the rest in narrower
// ones; each lane does the IEEE operations of the scalar loop.
template <int T, int V> struct Lanes {
  static constexpr int N = T / V;
  using vec = typename Vec<V>::type;
  vec p[N > 0 ? N : 1];
  // V doubles read and written where they stand: the arrays hold no more than doubles'
  // alignment, which a reference to the vector type does not carry to every compiler.
  [[gnu::always_inline]] static vec get(const double *a) {
    vec t;
    std::memcpy(&t, a, sizeof t);
    return t;
  }
  [[gnu::always_inline]] static void put(double *a, vec t) { std::memcpy(a, &t, sizeof t); }
  Lanes<T % V, V / 2> rest;
  [[gnu::always_inline]] void zero() {
    for (int j = 0; j < N; j++) p[j] = vec{} + 0.0;
    rest.zero();
  }
  [[gnu::always_inline]] void load(const double *a) {
    for (int j = 0; j < N; j++) p[j] = get(a + V * j);
    rest.load(a + V * N);
  }
  // sum += v * a, or sum -= v * a.
  template <bool Minus> [[gnu::always_inline]] void add(double v, const double *a) {
    for (int j = 0; j < N; j++) p[j] = Minus ? p[j] - v * get(a + V * j) : p[j] + v * get(a + V * j);
    rest.template add<Minus>(v, a + V * N);
  }
  // out = (from ? from - sum : sum) * v.
  [[gnu::always_inline]] void store(double *out, const double *from, double v) {
    for (int j = 0; j < N; j++) put(out + V * j, (from ? get(from + V * j) - p[j] : p[j]) * v);
    rest.store(out + V * N, from ? from + V * N : nullptr, v);
  }
  // out = (keep ? out : 0) + (scaled ? sum * v : sum).
  [[gnu::always_inline]] void store_sum(double *out, double v, bool scaled, bool keep) {
    for (int j = 0; j < N; j++) {
      vec t = scaled ? p[j] * v : p[j];
      put(out + V * j, keep ? get(out + V * j) + t : t);
    }
    rest.store_sum(out + V * N, v, scaled, keep);
  }
};
template <int V> struct Lanes<0, V> {
  void zero() {}
  void load(const double *) {}
  template <bool Minus> void add(double, const double *) {}
  void store(double *, const double *, double) {}
  void store_sum(double *, double, bool, bool) {}
};

// Calls f.template operator()<T, O>() for the tiles of R vectors, T wide at offset O.
template <int R, int O = 0, class F> [[gnu::always_inline]] static inline void each_tile(F &f) {
  if constexpr (R > 0) {
    constexpr int T = tile_width(R);
    f.template operator()<T, O>();
    each_tile<R - T, O + T>(f);
  }
}

// y(i) = (keep ? y(i) : 0) + s * (row i . x), the row sum taken from 0.0 in column order.
template <int W, int V = 2>
[[gnu::always_inline]] static inline void rows_times(double *y, const sparsemx *A, const double *x, double s, bool keep,
                                         bool scaled, int32_t w = 1) {
  const double *x1 = x - w;
  for (int32_t i = 0, n = A->rows; i < n; i++) {
    const vectorld *r = &A->data[i];
    const int32_t *c = r->keys;
    const double *v = r->values;
    const int32_t m = r->count;
    double *yi = y + int64_t(i) * w;
    auto tile = [&]<int T, int O>() [[gnu::always_inline]] {
      Lanes<T, V> t;
      t.zero();
      for (int32_t k = 0; k < m; k++) t.template add<false>(v[k], x1 + int64_t(c[k]) * w + O);
      t.store_sum(yi + O, s, scaled, keep);
    };
    each_tile<W>(tile);
  }
}

// y(c) += s * x(i) * A(i, c) over every entry.
[[gnu::noinline]] static void rows_scatter(double *y, const sparsemx *A, const double *x, double s, bool scaled) {
  double *y1 = y - 1;
  for (int32_t i = 0, n = A->rows; i < n; i++) {
    const vectorld *r = &A->data[i];
    const int32_t *c = r->keys;
    const double *v = r->values;
    double xi = scaled ? s * x[i] : x[i];
    for (int32_t k = 0, m = r->count; k < m; k++) y1[c[k]] += xi * v[k];
  }
}

// rows_times for one vector (y apart from x): four rows at a time, their sums
// independent chains that overlap where one row alone waits on each addition; each
// row's sum from 0.0 in column order, stored as rows_times stores it.
[[gnu::noinline]] static void rows_times_one(double *y, const sparsemx *A, const double *x, double s, bool keep,
                                             bool scaled) {
  const double *x1 = x - 1;
  auto put = [&](int32_t i, double sum) {
    double t = scaled ? sum * s : sum;
    y[i] = keep ? y[i] + t : t;
  };
  int32_t i = 0, n = A->rows;
  for (; i + 4 <= n; i += 4) {
    double s4[4];
    sparsemx_four_rows(A->data + i, x1, s4);
    put(i, s4[0]), put(i + 1, s4[1]), put(i + 2, s4[2]), put(i + 3, s4[3]);
  }
  for (; i < n; i++) {
    const vectorld &row = A->data[i];
    double sum = 0.0;
    for (int32_t k = 0; k < row.count; k++) sum += row.values[k] * x1[row.keys[k]];
    put(i, sum);
  }
}

static void product(vectord *y, double s, const sparsemx *A, const vectord *x, bool keep, bool transpose,
                    bool scaled, const char *where) {
  check_length(where, x, A->rows);
  vectord_resize(y, A->rows, std::max(A->rows, y->capacity));
  if (transpose) {
    if (!keep) std::fill(y->data, y->data + A->rows, 0.0);
    rows_scatter(y->data, A, x->data, s, scaled);
  } else if (y->data != x->data) {
    rows_times_one(y->data, A, x->data, s, keep, scaled);
  } else {
    rows_times<1>(y->data, A, x->data, s, keep, scaled);
  }
}

void sparsemx_mv_0(vectord *y, const sparsemx *A, const vectord *x) {
  TRACE("sparsemx_mv_0");
  product(y, 1.0, A, x, false, false, false, "sparsemx_mv_0");
}
void sparsemx_mv_1(vectord *y, double s, const sparsemx *A, const vectord *x) {
  TRACE("sparsemx_mv_1");
  product(y, s, A, x, false, false, true, "sparsemx_mv_1");
}
void sparsemx_mvsum_0(vectord *y, const sparsemx *A, const vectord *x) {
  TRACE("sparsemx_mvsum_0");
  product(y, 1.0, A, x, true, false, false, "sparsemx_mvsum_0");
}
void sparsemx_mvsum_1(vectord *y, double s, const sparsemx *A, const vectord *x) {
  TRACE("sparsemx_mvsum_1");
  product(y, s, A, x, true, false, true, "sparsemx_mvsum_1");
}
void sparsemx_mtv_0(vectord *y, const sparsemx *A, const vectord *x) {
  TRACE("sparsemx_mtv_0");
  product(y, 1.0, A, x, false, true, false, "sparsemx_mtv_0");
}
void sparsemx_mtv_1(vectord *y, double s, const sparsemx *A, const vectord *x) {
  TRACE("sparsemx_mtv_1");
  product(y, s, A, x, false, true, true, "sparsemx_mtv_1");
}
void sparsemx_mtvsum_0(vectord *y, const sparsemx *A, const vectord *x) {
  TRACE("sparsemx_mtvsum_0");
  product(y, 1.0, A, x, true, true, false, "sparsemx_mtvsum_0");
}
void sparsemx_mtvsum_1(vectord *y, double s, const sparsemx *A, const vectord *x) {
  TRACE("sparsemx_mtvsum_1");
  product(y, s, A, x, true, true, true, "sparsemx_mtvsum_1");
}

// Rows r[0..3] of A and b[0..3] of B (the same columns) times x1 and z1: the eight sums
// independent chains, each from 0.0 in column order.
[[gnu::always_inline]] static inline void four_row_pairs(const vectorld *r, const vectorld *b, const double *x1,
                                                         const double *z1, double s[4], double t[4]) {
  const int32_t *c0 = r[0].keys, *c1 = r[1].keys, *c2 = r[2].keys, *c3 = r[3].keys;
  const double *v0 = r[0].values, *v1 = r[1].values, *v2 = r[2].values, *v3 = r[3].values;
  const double *w0 = b[0].values, *w1 = b[1].values, *w2 = b[2].values, *w3 = b[3].values;
  int32_t m0 = r[0].count, m1 = r[1].count, m2 = r[2].count, m3 = r[3].count;
  int32_t m = std::min(std::min(m0, m1), std::min(m2, m3)), k = 0;
  double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0, t0 = 0.0, t1 = 0.0, t2 = 0.0, t3 = 0.0;
  for (; k < m; k++) {
    int32_t a0 = c0[k], a1 = c1[k], a2 = c2[k], a3 = c3[k];
    s0 += v0[k] * x1[a0], t0 += w0[k] * z1[a0];
    s1 += v1[k] * x1[a1], t1 += w1[k] * z1[a1];
    s2 += v2[k] * x1[a2], t2 += w2[k] * z1[a2];
    s3 += v3[k] * x1[a3], t3 += w3[k] * z1[a3];
  }
  for (int32_t e = k; e < m0; e++) s0 += v0[e] * x1[c0[e]], t0 += w0[e] * z1[c0[e]];
  for (int32_t e = k; e < m1; e++) s1 += v1[e] * x1[c1[e]], t1 += w1[e] * z1[c1[e]];
  for (int32_t e = k; e < m2; e++) s2 += v2[e] * x1[c2[e]], t2 += w2[e] * z1[c2[e]];
  for (int32_t e = k; e < m3; e++) s3 += v3[e] * x1[c3[e]], t3 += w3[e] * z1[c3[e]];
  s[0] = s0, s[1] = s1, s[2] = s2, s[3] = s3;
  t[0] = t0, t[1] = t1, t[2] = t2, t[3] = t3;
}

void sparsemx_mv_pair(vectord *y, const sparsemx *A, const vectord *x, const sparsemx *B, const vectord *z) {
  TRACE("sparsemx_mv_pair");
  check_length("sparsemx_mv_pair", x, A->rows);
  check_length("sparsemx_mv_pair", z, A->rows);
  if (B->rows != A->rows) rtlib_fatal_in("sparsemx_mv_pair", "MATRIX SIZE MISMATCH");
  vectord_resize(y, A->rows, std::max(A->rows, y->capacity));
  const double *x1 = x->data - 1, *z1 = z->data - 1;
  double *out = y->data;
  int32_t i = 0, n = A->rows;
  for (; i + 4 <= n; i += 4) {
    double s[4], t[4];
    four_row_pairs(A->data + i, B->data + i, x1, z1, s, t);
    for (int j = 0; j < 4; j++) out[i + j] = s[j], out[i + j] = out[i + j] + t[j];
  }
  for (; i < n; i++) {
    const vectorld &a = A->data[i], &b = B->data[i];
    double s = 0.0, t = 0.0;
    for (int32_t k = 0; k < a.count; k++) s += a.values[k] * x1[a.keys[k]], t += b.values[k] * z1[a.keys[k]];
    out[i] = s + t;
  }
}

bool sparsemx_same_layout(const sparsemx *A, const sparsemx *B) {
  if (A->rows != B->rows) return false;
  for (int32_t i = 0; i < A->rows; i++) {
    const vectorld &a = A->data[i], &b = B->data[i];
    if (a.count != b.count || !std::equal(a.keys, a.keys + a.count, b.keys)) return false;
  }
  return true;
}

void sparsemx_rowsum(vectord *v, const sparsemx *M) {
  TRACE("sparsemx_rowsum_0");
  vectord_resize(v, M->rows, std::max(M->rows, v->capacity));
  for (int32_t i = 1; i <= M->rows; i++) v->data[i - 1] = vectorld_rowsum(row(M, i));
}

void sparsemx_colsum(vectord *v, const sparsemx *M) {
  TRACE("sparsemx_colsum_0");
  vectord_resize(v, M->rows, std::max(M->rows, v->capacity));
  std::fill(v->data, v->data + M->rows, 0.0);
  for (int32_t i = 1; i <= M->rows; i++) {
    const vectorld *r = row(M, i);
    for (int32_t k = 0; k < r->count; k++) v->data[r->keys[k] - 1] += r->values[k];
  }
}

double sparsemx_norm_l1(const sparsemx *M, vectord *v) {
  TRACE("sparsemx_norm_l1_0");
  debug_printf("NORM_L1 (%d)\n", M->rows);
  vectord_resize(v, M->rows, std::max(M->rows, v->capacity));
  double big = 0.0;
  for (int32_t i = 1; i <= M->rows; i++) {
    v->data[i - 1] = vectorld_norm_l1(row(M, i));
    big = std::max(big, v->data[i - 1]);
  }
  return big;
}

// ---- Diagonal preconditioners -----------------------------------------------------------

// x := sqrt(1 / x) for x > 0, four at a time: the division and the root are each rounded
// once, as the scalar ones are.
[[gnu::noinline, gnu::target("avx2")]] static void inverse_roots_wide(double *x, int32_t n) {
  const __m256d one = _mm256_set1_pd(1.0);
  int32_t i = 0;
  for (; i + 4 <= n; i += 4) _mm256_storeu_pd(x + i, _mm256_sqrt_pd(_mm256_div_pd(one, _mm256_loadu_pd(x + i))));
  for (; i < n; i++) x[i] = std::sqrt(1.0 / x[i]);
}

static void diag_dip(vectord *D, const sparsemx *A, const double *diag, uint8_t sym);

void sparsemx_diag_dip(vectord *D, const sparsemx *A, uint8_t sym) {
  TRACE("sparsemx_diag_dip_0");
  diag_dip(D, A, nullptr, sym);
}

void sparsemx_diag_dip_given(vectord *D, const sparsemx *A, const double *diag, uint8_t sym) {
  TRACE("sparsemx_diag_dip_given");
  diag_dip(D, A, diag, sym);
}

// sparsemx_diag_dip, the diagonal read from diag where given, else found in each row.
static void diag_dip(vectord *D, const sparsemx *A, const double *diag, uint8_t sym) {
  vectord_resize(D, A->rows, std::max(A->rows, D->capacity));
  static const bool avx = __builtin_cpu_supports("avx2");
  // The rows whose diagonal is not positive take their entry here; the others hold their
  // diagonal until the pass below.
  std::vector<std::pair<int32_t, double>> others;
  bool wide = sym && avx;
  for (int32_t i = 1; i <= A->rows; i++) {
    const vectorld *r = row(A, i);
    double d;
    if (diag) {
      d = diag[i - 1];
    } else {
      int32_t k = find(r, i);
      d = k < 0 ? 0.0 : r->values[k];
    }
    if (d > 0) {
      D->data[i - 1] = wide ? d : sym ? std::sqrt(std::fabs(1.0 / d)) : 1.0 / d;
      continue;
    }
    // The row's norm stands in for a diagonal that is not positive.
    double s = vectorld_norm_l2(r);
    double x = s == 0 ? 1.0 : 1.0 / std::sqrt(s);
    x = sym ? std::sqrt(std::fabs(x)) : x;
    D->data[i - 1] = 1.0;
    if (wide) others.push_back({i - 1, x});
    else D->data[i - 1] = x;
  }
  if (!wide) return;
  inverse_roots_wide(D->data, A->rows);
  for (const auto &o : others) D->data[o.first] = o.second;
}

// D(j) := the sum of squares of column j, then its inverse (or inverse root).
static void column_norms(vectord *D, const sparsemx *A, const sparsemx *B, double a, double b, uint8_t sym) {
  vectord_resize(D, A->rows, std::max(A->rows, D->capacity));
  std::fill(D->data, D->data + A->rows, 0.0);
  for (int32_t i = 1; i <= A->rows; i++) {
    const vectorld *r = row(A, i), *q = B ? row(B, i) : nullptr;
    if (q && q->count < r->count) trap_mismatch("sparsemx_ata_dip_1");
    for (int32_t k = 0; k < r->count; k++) {
      double x = q ? a * r->values[k] + b * q->values[k] : r->values[k];
      if (r->keys[k] <= A->rows) D->data[r->keys[k] - 1] += x * x;
    }
  }
  for (int32_t j = 0; j < A->rows; j++) {
    double &d = D->data[j];
    d = d == 0 ? 1.0 : sym ? 1.0 / std::sqrt(d) : 1.0 / d;
  }
}

void sparsemx_ata_dip_0(vectord *D, const sparsemx *A, uint8_t sym) {
  TRACE("sparsemx_ata_dip_0");
  column_norms(D, A, nullptr, 1.0, 0.0, sym);
}

void sparsemx_ata_dip_1(vectord *D, const sparsemx *A, const sparsemx *B, double a, double b, uint8_t sym) {
  TRACE("sparsemx_ata_dip_1");
  if (a == 0) {
    sparsemx_ata_dip_0(D, B, sym);
    if (b != 1) vectord_multo_1(D, sym ? 1.0 / b : 1.0 / (b * b));
    return;
  }
  if (B->rows != A->rows) trap_mismatch("sparsemx_ata_dip_1");
  column_norms(D, A, B, a, b, sym);
}

void sparsemx_diag_bip(sparsemx *M, const sparsemx *A, const vectord *v, uint16_t m, int32_t nb, uint8_t sym) {
  TRACE("sparsemx_diag_bip_0");
  int32_t n = A->rows;
  if (int64_t(nb) * m > n) trap_mismatch("sparsemx_diag_bip_0");
  if (nb * m < n && v->count < n) trap_length("sparsemx_diag_bip_0", v->count, n);
  lay_out(M, n, [nb, m](int32_t i) { return i <= nb * m ? int32_t(m) : 1; }, "sparsemx_diag_bip_0");
  for (int32_t k = 0; k < nb; k++) {
    int32_t base = k * m;
    // 1. The block of A, zeros elsewhere.
    matrixd_resize(&block, m, m);
    matrixd_copyto_1(&block, 0.0);
    for (int32_t i = 1; i <= m; i++) {
      const vectorld *r = row(A, base + i);
      for (int32_t e = 0; e < r->count; e++)
        if (r->keys[e] > base && r->keys[e] <= base + m) block.data[(i - 1) * m + r->keys[e] - base - 1] = r->values[e];
    }
    // 2. Its inverse or inverse square root.
    const matrixd *b = &block;
    if (!sym) {
      if (!matrixd_invert(&block)) rtlib_fatal("Singular Block");  // a user's text: no routine named
    } else {
      matrixd_insqrt(&root, &block, 1);
      b = &root;
    }
    // 3. Every value of the block, zeros included.
    for (int32_t i = 1; i <= m; i++)
      for (int32_t j = 1; j <= m; j++) sparsemx_store(M, base + i, base + j, b->data[(i - 1) * m + j - 1]);
  }
  for (int32_t r = nb * m + 1; r <= n; r++) {
    double x = v->data[r - 1] / nb;
    sparsemx_store(M, r, r, sym ? std::sqrt(x) : x);
  }
}

// ---- Incomplete Cholesky ------------------------------------------------------------------

// A progress line on the panel, when there is one.
struct Progress {
  pad *panel;
  uint16_t line = 0;
  Progress(pad *p, const char *label, int32_t count) : panel(p) {
    if (!panel) return;
    String l = lit(label);
    line = display_report_num(panel, 0, &l, count);
  }
  void show(int32_t count) {
    if (panel) display_update_num(panel, line, count);
  }
  void relabel(const char *label, int32_t count) {
    if (!panel) return;
    String l = lit(label);
    display_report_num(panel, line, &l, count);
  }
  ~Progress() {
    if (panel) display_unreport(panel, line);
  }
};

// The sum of L(i,k) L(j,k) over the columns k < j of both rows, by a merge of the two
// sorted rows; row i, merged up to column j, must stop on column j.
static double rowdot(const sparsemx *M, int32_t i, int32_t j) {
  const vectorld *a = row(M, i), *b = row(M, j);
  int32_t p = 0, q = 0, na = a->count, nb = b->count;
  double s = 0.0;
  while (p < na && q < nb && a->keys[p] < j && b->keys[q] < j) {
    int32_t ka = a->keys[p], kb = b->keys[q];
    if (ka == kb) s += a->values[p++] * b->values[q++];
    else if (ka < kb) p++;
    else q++;
  }
  while (p < na && a->keys[p] < j) p++;
  if (p >= na || a->keys[p] != j) {
    debug_printf("NO ROWDOT ELEMENT, LISTI=%d, COL=%d, LIM=%d\n", i, j, p < na ? a->keys[p] : 0);
    rtlib_fatal_in("rowdot", "NO ROWDOT ELEMENT");
  }
  return s;
}

bool sparsemx_inchol_factor_1(sparsemx *M, int32_t nf, pad *panel) {
  TRACE("sparsemx_inchol_factor_1");
  int32_t n = M->rows;
  scratch(&diagpos, n);
  int32_t *dp = diagpos.data - 1;
  Progress progress(panel, "Factoring", n);
  // 1. Row by row, the entries up to the diagonal.
  for (int32_t i = 1; i <= n; i++) {
    progress.show(n - i);
    vectorld *r = row(M, i);
    bool diagonal = false;
    for (int32_t k = 0; k < r->count && r->keys[k] <= i; k++) {
      int32_t j = r->keys[k];
      double s = r->values[k] - rowdot(M, i, j);
      if (j < i) {
        r->values[k] = s * row(M, j)->values[dp[j]];
        continue;
      }
      dp[i] = k;
      diagonal = true;
      if (s == 0) {
        debug_printf("SINGULAR MATRIX IN INCHOL_FAC ROW %d = %g\n", i, s);
        return false;
      }
      if (s < 0) {
        debug_printf("NEGATIVE MATRIX IN INCHOL_FAC ROW %d = %g\n", i, s);
        if (i <= nf) return false;
        s = -s;
      }
      r->values[k] = 1.0 / std::sqrt(s);
    }
    // A row without its diagonal has no pivot at all.
    if (!diagonal) {
      debug_printf("SINGULAR MATRIX IN INCHOL_FAC ROW %d = %g\n", i, 0.0);
      return false;
    }
  }
  // 2. The upper part receives the transpose of the lower.
  progress.relabel("Transpose", n);
  for (int32_t i = 1; i <= n; i++) {
    progress.show(n - i);
    vectorld *r = row(M, i);
    for (int32_t k = dp[i] + 1; k < r->count; k++) {
      int32_t q = find(row(M, r->keys[k]), i);
      if (q < 0) rtlib_fatal_in("sparsemx_inchol_factor_1", "NONSYMMETRIC MAP");
      r->values[k] = row(M, r->keys[k])->values[q];
    }
  }
  return true;
}

bool sparsemx_inchol_factor_0(sparsemx *M, int32_t nf) {
  TRACE("sparsemx_inchol_factor_0");
  return sparsemx_inchol_factor_1(M, nf, nullptr);
}

template <int W, int V = 2>
[[gnu::always_inline]] static inline void forward_kernel(double *y, const sparsemx *L, const double *b, int32_t w = 1) {
  double *y1 = y - w;
  for (int32_t i = 1, n = L->rows; i <= n; i++) {
    const vectorld *r = &L->data[i - 1];
    const int32_t *c = r->keys;
    const double *v = r->values;
    int32_t d = 0;
    while (c[d] < i) d++;
    const double *bi = b + int64_t(i - 1) * w;
    double *yi = y1 + int64_t(i) * w;
    auto tile = [&]<int T, int O>() [[gnu::always_inline]] {
      Lanes<T, V> s;
      s.load(bi + O);
      for (int32_t k = 0; k < d; k++) s.template add<true>(v[k], y1 + int64_t(c[k]) * w + O);
      s.store(yi + O, nullptr, v[d]);
    };
    each_tile<W>(tile);
  }
}

template <int W, int V = 2>
[[gnu::always_inline]] static inline void back_kernel(double *x, const sparsemx *L, const double *y, int32_t w = 1) {
  double *x1 = x - w;
  for (int32_t i = L->rows; i >= 1; i--) {
    const vectorld *r = &L->data[i - 1];
    const int32_t *c = r->keys;
    const double *v = r->values;
    int32_t d = r->count - 1;
    while (c[d] > i) d--;
    const double *yi = y + int64_t(i - 1) * w;
    double *xi = x1 + int64_t(i) * w;
    auto tile = [&]<int T, int O>() [[gnu::always_inline]] {
      Lanes<T, V> s;
      s.zero();
      for (int32_t k = r->count - 1; k > d; k--) s.template add<false>(v[k], x1 + int64_t(c[k]) * w + O);
      s.store(xi + O, yi + O, v[d]);
    };
    each_tile<W>(tile);
  }
}

template <int W, int V>
[[gnu::always_inline]] static inline void times_kernel(double *y, const sparsemx *A, const double *x, int32_t w) {
  rows_times<W, V>(y, A, x, 1.0, false, false, w);
}

// Each block kernel comes in two builds: two lanes at a time, and four on processors
// with 256-bit vector instructions (chosen when the processor has them). Both do the
// same multiplications and additions, never fused, in the same order: the same bits.
#define BLOCK_KERNEL(Name, kernel)                                                                   \
  template <int W> struct Name {                                                                     \
    [[gnu::noinline]] static void run(double *out, const double *in, const sparsemx *M, int32_t w) { \
      kernel<W, 2>(out, M, in, w);                                                                   \
    }                                                                                                \
    [[gnu::noinline, gnu::target("avx2")]] static void wide(double *out, const double *in,           \
                                                            const sparsemx *M, int32_t w) {          \
      kernel<W, 4>(out, M, in, w);                                                                   \
    }                                                                                                \
  };
BLOCK_KERNEL(Times, times_kernel)
BLOCK_KERNEL(Forward, forward_kernel)
BLOCK_KERNEL(Back, back_kernel)
#undef BLOCK_KERNEL

// Runs kernel<W> over the w interleaved vectors: up to 32 in one pass, wider blocks in
// passes of 16 first.
constexpr int32_t widest_pass = 32;
template <template <int> class K> static void by_groups(int32_t w, double *out, const double *in, const sparsemx *M) {
  using Run = void (*)(double *, const double *, const sparsemx *, int32_t);
  static const bool avx = __builtin_cpu_supports("avx2");
  const bool wide = sparsemx_block_lanes == 0 ? avx : sparsemx_block_lanes == 4;
  static constexpr auto table = []<size_t... I>(std::index_sequence<I...>) {
    return std::array<Run, 2 * sizeof...(I)>{&K<int(I) + 1>::run..., &K<int(I) + 1>::wide...};
  }(std::make_index_sequence<widest_pass>{});
  const Run *runs = table.data() + (wide ? widest_pass : 0);
  int32_t t = 0;
  for (; w - t > widest_pass; t += 16) runs[15](out + t, in + t, M, w);
  if (t < w) runs[w - t - 1](out + t, in + t, M, w);
}

void sparsemx_mv_block(double *y, const sparsemx *A, const double *x, int32_t w) {
  by_groups<Times>(w, y, x, A);
}
void sparsemx_inchol_forward_block(double *y, const sparsemx *L, const double *b, int32_t w) {
  by_groups<Forward>(w, y, b, L);
}
void sparsemx_inchol_back_block(double *x, const sparsemx *L, const double *y, int32_t w) {
  by_groups<Back>(w, x, y, L);
}

void sparsemx_inchol_forward(vectord *y, const sparsemx *L, const vectord *b) {
  TRACE("sparsemx_inchol_forward_0");
  check_length("sparsemx_inchol_forward_0", b, L->rows);
  vectord_resize(y, L->rows, std::max(L->rows, y->capacity));
  forward_kernel<1>(y->data, L, b->data);
}

void sparsemx_inchol_back(vectord *x, const sparsemx *L, const vectord *y) {
  TRACE("sparsemx_inchol_back_0");
  check_length("sparsemx_inchol_back_0", y, L->rows);
  vectord_resize(x, L->rows, std::max(L->rows, x->capacity));
  back_kernel<1>(x->data, L, y->data);
}

void sparsemx_inchol_solve(vectord *x, const sparsemx *L, const vectord *b) {
  TRACE("sparsemx_inchol_solve_0");
  sparsemx_inchol_forward(x, L, b);
  sparsemx_inchol_back(x, L, x);
}

// ---- Incomplete LU ----------------------------------------------------------------------

// Position (0-based) of the first entry of the row at or right of column j.
static int32_t lower_bound(const vectorld *r, int32_t j) {
  return int32_t(std::lower_bound(r->keys, r->keys + r->count, j) - r->keys);
}

// The rows that hold each column, ascending: rows of column c are
// colrows[colstart(c) .. colstart(c+1) - 1].
static void column_lists(const sparsemx *M) {
  int32_t n = M->rows;
  int64_t nnz = sparsemx_entries(M);
  if (nnz > INT32_MAX) rtlib_fatal_in("sparsemx_inclu_factor_1", "MATRIX SIZE MISMATCH");
  scratch(&colstart, n + 2);
  scratch(&colrows, int32_t(std::max<int64_t>(nnz, 1)));
  int32_t *cs = colstart.data;
  std::fill(cs, cs + n + 2, 0);
  for (int32_t i = 1; i <= n; i++) {
    const vectorld *r = row(M, i);
    for (int32_t k = 0; k < r->count; k++)
      if (r->keys[k] >= 1 && r->keys[k] <= n) cs[r->keys[k] + 1]++;
  }
  for (int32_t c = 1; c <= n + 1; c++) cs[c] += cs[c - 1];
  for (int32_t i = 1; i <= n; i++) {
    const vectorld *r = row(M, i);
    for (int32_t k = 0; k < r->count; k++)
      if (r->keys[k] >= 1 && r->keys[k] <= n) colrows.data[cs[r->keys[k]]++] = i;
  }
  for (int32_t c = n + 1; c >= 1; c--) cs[c] = cs[c - 1];
  cs[0] = cs[1] = 0;
}

// The sum of w(k) M(i,k) over the entries lo <= k < lim of row i: the work column is
// zero below lo, so the terms there add nothing.
static double partial(const vectorld *r, const double *w1, int32_t lo, int32_t lim) {
  double t = 0.0;
  for (int32_t k = lower_bound(r, lo); k < r->count && r->keys[k] < lim; k++) t += w1[r->keys[k]] * r->values[k];
  return t;
}

bool sparsemx_inclu_factor_1(sparsemx *M, vectord *D, pad *panel) {
  TRACE("sparsemx_inclu_factor_1");
  int32_t n = M->rows;
  vectord_resize(D, n, std::max(n, D->capacity));
  column_lists(M);
  scratch(&work, n);
  double *w1 = work.data - 1;
  const int32_t *cs = colstart.data, *cr = colrows.data;
  Progress progress(panel, "Factoring", n);
  for (int32_t j = 1; j <= n; j++) {
    progress.show(n - j);
    // Rows above the first row holding column j see a zero work column and hold no
    // entry of it: their work value is 0 and they are passed over.
    int32_t lo = cs[j + 1] > cs[j] ? cr[cs[j]] : j;
    if (lo > j) lo = j;
    // 1. U's column j down to the diagonal, in the work column.
    for (int32_t i = lo; i <= j; i++) {
      vectorld *r = row(M, i);
      if (r->count == 0 || r->keys[r->count - 1] < j) {
        w1[i] = 0.0;
        continue;
      }
      double t = partial(r, w1, lo, i);
      int32_t k = find(r, j);
      if (k >= 0) w1[i] = r->values[k] -= t;
      else w1[i] = -t;
    }
    // 2. The pivot.
    D->data[j - 1] = w1[j];
    if (w1[j] == 0) {
      debug_printf("SINGULAR MATRIX IN INCLU_FAC ROW %d = %g\n", j, w1[j]);
      return false;
    }
    // 3. L's column j below the diagonal.
    for (int32_t p = cs[j]; p < cs[j + 1]; p++) {
      int32_t i = cr[p];
      if (i <= j) continue;
      vectorld *r = row(M, i);
      int32_t k = find(r, j);
      r->values[k] = (r->values[k] - partial(r, w1, lo, j)) / w1[j];
    }
  }
  return true;
}

bool sparsemx_inclu_factor_0(sparsemx *M, vectord *D) {
  TRACE("sparsemx_inclu_factor_0");
  return sparsemx_inclu_factor_1(M, D, nullptr);
}

void sparsemx_inclu_solve(vectord *x, const sparsemx *LU, const vectord *D, const vectord *b) {
  TRACE("sparsemx_inclu_solve_0");
  int32_t n = LU->rows;
  check_length("sparsemx_inclu_solve_0", b, n);
  check_length("sparsemx_inclu_solve_0", D, n);
  vectord_resize(x, n, std::max(n, x->capacity));
  double *x1 = x->data - 1;
  const double *b1 = b->data - 1;
  for (int32_t i = 1; i <= n; i++) {
    const vectorld *r = row(LU, i);
    double s = b1[i];
    for (int32_t k = 0; k < r->count && r->keys[k] < i; k++) s -= r->values[k] * x1[r->keys[k]];
    x1[i] = s;
  }
  for (int32_t i = n; i >= 1; i--) {
    const vectorld *r = row(LU, i);
    double s = x1[i];
    for (int32_t k = r->count - 1; k >= 0 && r->keys[k] > i; k--) s -= r->values[k] * x1[r->keys[k]];
    x1[i] = s / D->data[i - 1];
  }
}

void sparsemx_inclu_solvet(vectord *x, const sparsemx *LU, const vectord *D, const vectord *b) {
  TRACE("sparsemx_inclu_solvet_0");
  int32_t n = LU->rows;
  check_length("sparsemx_inclu_solvet_0", b, n);
  check_length("sparsemx_inclu_solvet_0", D, n);
  if (x != b) vectord_copyto_0(x, b);
  double *x1 = x->data - 1;
  // Ut z = b: column i of U is spread over the rows k < i, so each finished z(k)
  // is taken off the later right-hand sides at once.
  for (int32_t i = 1; i <= n; i++) {
    const vectorld *r = row(LU, i);
    double z = x1[i] /= D->data[i - 1];
    for (int32_t k = r->count - 1; k >= 0 && r->keys[k] > i; k--) x1[r->keys[k]] -= r->values[k] * z;
  }
  // Lt x = z, backward in the same way.
  for (int32_t i = n; i >= 1; i--) {
    const vectorld *r = row(LU, i);
    double xi = x1[i];
    for (int32_t k = 0; k < r->count && r->keys[k] < i; k++) x1[r->keys[k]] -= r->values[k] * xi;
  }
}

// ---- Patterns and reordering ------------------------------------------------------------

void sparsemx_make_band_0(sparsemx *M, const sparsemx *A, uint16_t bandwidth, pad *panel) {
  TRACE("sparsemx_make_band_0");
  int32_t n = A->rows, h = bandwidth / 2;
  Progress progress(panel, "Banding Matrix", n);
  auto width = [n, h](int32_t i) { return std::min(n, i + h) - std::max(1, i - h) + 1; };
  lay_out(M, n, width, "sparsemx_make_band_0");
  for (int32_t i = 1; i <= n; i++) {
    progress.show(n - i);
    int32_t lo = std::max(1, i - h), hi = std::min(n, i + h);
    vectorld *m = row(M, i);
    m->count = width(i);
    for (int32_t c = lo; c <= hi; c++) {
      m->keys[c - lo] = c;
      m->values[c - lo] = 0.0;
    }
    const vectorld *r = row(A, i);
    for (int32_t k = 0; k < r->count; k++)
      if (r->keys[k] >= lo && r->keys[k] <= hi) m->values[r->keys[k] - lo] = r->values[k];
  }
}

void sparsemx_make_band_1(bandmxd *B, const sparsemx *A, uint16_t bandwidth, pad *panel) {
  TRACE("sparsemx_make_band_1");
  int32_t n = A->rows, h = bandwidth / 2;
  Progress progress(panel, "Banding Matrix", n);
  bandmxd_resize(B, n, bandwidth);
  bandmxd_copyto_1(B, 0.0);
  for (int32_t i = 1; i <= n; i++) {
    progress.show(n - i);
    const vectorld *r = row(A, i);
    for (int32_t k = 0; k < r->count; k++)
      if (std::abs(r->keys[k] - i) <= h) bandmxd_store(B, i, r->keys[k], r->values[k]);
  }
}

void sparsemx_map_fillin_1(sparsemx *M, const sparsemx *A, pad *panel) {
  TRACE("sparsemx_map_fillin_1");
  int32_t n = A->rows;
  Progress progress(panel, "Matrix Fill-in", n);
  // lo(i), the smallest first column of rows i..n, is kept in the scratch list.
  scratch(&diagpos, n + 1);
  int32_t *lo = diagpos.data - 1;
  lo[n + 1] = INT32_MAX;
  for (int32_t i = n; i >= 1; i--) {
    const vectorld *r = row(A, i);
    lo[i] = std::min(lo[i + 1], r->count ? r->keys[0] : INT32_MAX);
  }
  sparsemx_resize_0(M, n, std::max(n, M->capacity));
  int32_t hi = 0;
  for (int32_t i = 1; i <= n; i++) {
    progress.show(n - i);
    const vectorld *r = row(A, i);
    if (r->count) hi = std::max(hi, r->keys[r->count - 1]);
    int32_t w = lo[i] <= hi ? hi - lo[i] + 1 : 0;
    vectorld *m = row(M, i);
    vectorld_resize(m, w, std::max(w, m->capacity));
    for (int32_t k = 0; k < w; k++) {
      m->keys[k] = lo[i] + k;
      m->values[k] = 0.0;
    }
  }
}

void sparsemx_map_fillin_0(sparsemx *M, const sparsemx *A) {
  TRACE("sparsemx_map_fillin_0");
  sparsemx_map_fillin_1(M, A, nullptr);
}

void sparsemx_bandmin(vectorl *perm, vectorl *invperm, sparsemx *G, uint16_t mode) {
  TRACE("sparsemx_bandmin_0");
  int32_t n = G->rows;
  vectorl_resize(perm, n, std::max(n, perm->capacity));
  vectorl_resize(invperm, n, std::max(n, invperm->capacity));
  for (int32_t i = 1; i <= n; i++) perm->data[i - 1] = invperm->data[i - 1] = i;
  for (int32_t r = 1; r <= n; r++)
    if (row(G, r)->count == 0) rtlib_fatal_in("sparsemx_bandmin_0", "UNLINKED NODE");
  // The passes renumber a flat copy of the links, kept in the first numbering and in
  // each row's stored order: a row's centroid at position r sums the present numbers
  // of its links in that order, as it would with the rows moved and relabelled. G
  // itself is permuted once at the end. Released however the reordering ends.
  struct Scratch {
    vectord key{};
    vectorl ord{}, pos{}, inv{}, start{}, links{};
    ~Scratch() {
      vectord_free(&key);
      for (vectorl *v : {&ord, &pos, &inv, &start, &links}) vectorl_free(v);
    }
  } lists;
  vectord &key = lists.key;
  vectorl &ord = lists.ord, &pos = lists.pos, &inv = lists.inv;
  vectorl &start = lists.start, &links = lists.links;
  vectord_resize(&key, n, n);
  vectorl_resize(&pos, n, n);
  vectorl_resize(&inv, n, n);
  vectorl_resize(&start, n + 1, n + 1);
  start.data[0] = 0;
  for (int32_t r = 1; r <= n; r++) {
    int64_t next = int64_t(start.data[r - 1]) + row(G, r)->count;
    if (next > INT32_MAX) rtlib_fatal_in("sparsemx_bandmin_0", "VECTOR COUNT ERROR");
    start.data[r] = int32_t(next);
  }
  vectorl_resize(&links, start.data[n], start.data[n]);
  for (int32_t r = 1; r <= n; r++) {
    const vectorld *g = row(G, r);
    memcpy(links.data + start.data[r - 1], g->keys, size_t(g->count) * sizeof(int32_t));
  }
  int32_t *at = perm->data - 1, *from = invperm->data - 1;  // 1-based views
  int32_t minimum = mode == 1 ? 50 : 20;
  double previous = 1.00000000000002e300;
  // With unit weights the sums are of whole numbers; while every partial sum stays
  // below 2^53 the floating sums are exact, and integer sums give them bit for bit.
  int32_t widest = 0;
  for (int32_t o = 1; o <= n; o++) widest = std::max(widest, start.data[o] - start.data[o - 1]);
  bool whole = mode != 1 && double(n) * double(widest) < 9007199254740992.0;
  for (int32_t pass = 1;; pass++) {
    rtlib_poll_interrupt();  // the passes of a large system take long: a request ends them
    // 1. Each row's centroid.
    for (int32_t o = 1; o <= n; o++) {
      int32_t r = at[o];
      if (whole) {
        int64_t sum = 0;
        for (int32_t k = start.data[o - 1], e = start.data[o]; k < e; k++) sum += at[links.data[k]];
        key.data[r - 1] = double(sum) / double(start.data[o] - start.data[o - 1]);
        continue;
      }
      double sw = 0.0, swc = 0.0;
      for (int32_t k = start.data[o - 1], e = start.data[o]; k < e; k++) {
        int32_t c = at[links.data[k]];
        double w = (mode != 1 || c == r) ? 1.0 : 1.0 / std::abs(r - c);
        sw += w;
        swc += w * c;
      }
      key.data[r - 1] = swc / sw;
    }
    // 2. Rows in key order: numbers follow. The pass total is summed in the same
    // loop (in the order of the rows), its additions overlapping the moves.
    vectord_sortix_1(&ord, &key);
    double total = 0.0;
    for (int32_t k = 1; k <= n; k++) {
      total += std::fabs(key.data[k - 1] - k);
      pos.data[ord.data[k - 1] - 1] = k;
      inv.data[k - 1] = from[ord.data[k - 1]];
    }
    memcpy(invperm->data, inv.data, size_t(n) * sizeof(int32_t));
    for (int32_t i = 1; i <= n; i++) at[i] = pos.data[at[i] - 1];
    // 3. At least the minimum passes, then until a pass gains less than 1%.
    if (pass >= minimum && total >= 0.99 * previous) break;
    previous = total;
  }
  sparsemx_renumber(G, perm, invperm);
}

void sparsemx_move_rows(sparsemx *G, const vectorl *from) {
  TRACE("sparsemx_move_rows");
  int32_t n = G->rows;
  if (from->count != n) rtlib_fatal_in("sparsemx_move_rows", "VECTOR LENGTH ERROR");
  // Each row moves with its storage; the list of moved rows is released however
  // this ends.
  struct Spare {
    sparsemx rows{};
    ~Spare() { sparsemx_free(&rows, 0); }
  } spare;
  sparsemx_resize_0(&spare.rows, n, n);
  for (int32_t k = 1; k <= n; k++) spare.rows.data[k - 1] = G->data[from->data[k - 1] - 1];
  memcpy(G->data, spare.rows.data, size_t(n) * sizeof(vectorld));
}

void sparsemx_renumber(sparsemx *G, const vectorl *at, const vectorl *from) {
  TRACE("sparsemx_renumber");
  int32_t n = G->rows;
  if (at->count != n) rtlib_fatal_in("sparsemx_renumber", "VECTOR LENGTH ERROR");
  sparsemx_move_rows(G, from);
  const int32_t *to = at->data - 1;  // 1-based view
  for (int32_t r = 1; r <= n; r++) {
    vectorld *g = row(G, r);
    for (int32_t k = 0; k < g->count; k++) g->keys[k] = to[g->keys[k]];
    vectorld_map_sort(g);
  }
}

// FNV-1a over the size and each row's count, its entries (each key with its value's bits
// where the values are asked for) taken by four chains in turn, entry k of a row by chain
// k mod 4: the four multiplications overlap where one chain waits on each. The chains end
// mixed into the one of the counts. Each word is mixed with its upper half folded onto its
// lower one: a product carries a word's bits only upward, so two changes in the top bit alone
// (a symmetric pair of entries that changed sign) would otherwise cancel and leave the print.
static uint64_t matrix_print(const sparsemx *A, bool values) {
  constexpr uint64_t prime = 1099511628211ull;
  uint64_t h = 1469598103934665603ull ^ uint64_t(A->rows);
  uint64_t l[4] = {h ^ 1, h ^ 2, h ^ 3, h ^ 4};
  auto entry = [values](const vectorld &r, int32_t k) {
    uint64_t bits = 0;
    if (values) memcpy(&bits, &r.values[k], 8);
    uint64_t w = uint64_t(uint32_t(r.keys[k])) << 32 ^ bits;
    return w ^ w >> 32;
  };
  for (int32_t i = 0; i < A->rows; i++) {
    const vectorld &r = A->data[i];
    h = (h ^ uint64_t(r.count)) * prime;
    int32_t k = 0;
    for (; k + 4 <= r.count; k += 4)
      for (int j = 0; j < 4; j++) l[j] = (l[j] ^ entry(r, k + j)) * prime;
    for (int j = 0; k < r.count; k++, j++) l[j] = (l[j] ^ entry(r, k)) * prime;
  }
  for (uint64_t v : l) h = (h ^ v ^ v >> 32) * prime;
  return h;
}

uint64_t sparsemx_fingerprint(const sparsemx *A) { return matrix_print(A, true); }

uint64_t sparsemx_pattern_print(const sparsemx *A) { return matrix_print(A, false); }

// ---- Dominant eigenvalue --------------------------------------------------------------------

double sparsemx_big_eigen(const sparsemx *A, double s, double c, double tol, uint8_t normal) {
  TRACE("sparsemx_big_eigen_0");
  int32_t n = A->rows;
  // The start is released however this ends: the products of a matrix whose entries grew
  // past any size (a diverging run's) overflow, and the trap leaves from inside them.
  Owner<vectord, vectord_free> xo;
  vectord &x = *xo;
  vectord_resize(&x, n, n);
  for (int32_t i = 0; i < n; i++) x.data[i] = s == 0 ? ((i % 2) ? -c : c) : c + s * math_ranf();
  return sparsemx_big_eigen_from(A, &x, tol, normal);
}

double sparsemx_big_eigen_from(const sparsemx *A, vectord *start, double tol, uint8_t normal) {
  TRACE("sparsemx_big_eigen_1");
  int32_t n = A->rows;
  if (start->count != n) rtlib_fatal_in("sparsemx_big_eigen_1", "START SIZE");
  // The iterates are released however this ends, as above.
  Owner<vectord, vectord_free> yo, wo;
  vectord &x = *start, &y = *yo, &w = *wo;
  double lambda = 0.0, previous = 1.0;
  for (int32_t step = 1; step <= 101; step++) {
    double rho = vectord_dot(&x, &x);
    if (rho == 0) {
      lambda = 0.0;
      break;
    }
    if (normal) {
      sparsemx_mv_0(&w, A, &x);
      sparsemx_mtv_0(&y, A, &w);
    } else {
      sparsemx_mv_0(&y, A, &x);
    }
    lambda = vectord_dot(&x, &y) / rho;
    for (int32_t i = 0; i < n; i++) x.data[i] = y.data[i] / std::sqrt(rho);
    if (std::fabs(lambda - previous) < std::fabs(lambda) * tol) break;
    previous = lambda;
  }
  if (normal) {
    double sign = n ? vectord_dot(&y, &w) : 0.0;
    lambda = std::sqrt(lambda);
    if (sign < 0) lambda = -lambda;
  }
  return lambda;
}

void sparsemx_big_eigens(double pair[2], const sparsemx *A, double tol) {
  TRACE("sparsemx_big_eigens_0");
  int32_t n = A->rows;
  // Released however this ends, as above.
  Owner<vectord, vectord_free> xo, yo;
  vectord &x = *xo, &y = *yo;
  vectord_resize(&x, n, n);
  vectord_copyto_1(&x, 1.0);
  double lambda = 0.0, previous = 1.0;
  for (int32_t step = 1; step <= 11; step++) {
    double rho = vectord_dot(&x, &x);
    if (rho == 0) break;
    sparsemx_mv_0(&y, A, &x);
    double next = vectord_dot(&x, &y) / rho;
    for (int32_t i = 0; i < n; i++) x.data[i] = y.data[i] / std::sqrt(rho);
    if (step > 1) previous = lambda;
    lambda = next;
    if (std::fabs(std::fabs(lambda) - std::fabs(previous)) < (std::fabs(lambda) + std::fabs(previous)) * tol) break;
  }
  if ((lambda < 0) == (previous < 0)) {
    double rho = vectord_dot(&x, &x);
    if (rho == 0) {
      pair[0] = pair[1] = 0.0;
    } else {
      sparsemx_mv_0(&y, A, &x);
      pair[0] = vectord_dot(&x, &y) / rho;
      sparsemx_mtv_0(&y, A, &x);
      pair[1] = vectord_dot(&x, &y) / rho;
    }
  } else {
    pair[0] = lambda;
    pair[1] = previous;
  }
}

// ---- Debug listings -----------------------------------------------------------------------

static void title_line(FILE *f, const String *title) { fprintf(f, "\n%s\n", title && title->text ? title->text : ""); }

void sparsemx_print(FILE *f, const sparsemx *M, const String *title) {
  TRACE("sparsemx_print_0");
  title_line(f, title);
  if (!M->data) return;
  String s{};
  for (int32_t i = 1; i <= M->rows; i++) {
    const vectorld *r = row(M, i);
    fprintf(f, "ROW %u @%x\n", unsigned(i), unsigned(uintptr_t(r)));
    for (int32_t k = 0; k < r->count; k++) {
      strings_fmt(&s, r->values[k]);
      fprintf(f, "(%5d)%10s ", r->keys[k], s.text ? s.text : "");
      if (k % 5 == 4 || k == r->count - 1) fprintf(f, "\n");
    }
  }
  strings_free_0(&s);
}

void sparsemx_print_map(FILE *f, const sparsemx *M, const String *title) {
  TRACE("sparsemx_print_map_0");
  title_line(f, title);
  if (!M->data) return;
  for (int32_t i = 1; i <= M->rows; i++) {
    const vectorld *r = row(M, i);
    fprintf(f, "ROW %u\n", unsigned(i));
    for (int32_t k = 0; k < r->count; k++) {
      fprintf(f, "%5d ", r->keys[k]);
      if (k % 10 == 9 || k == r->count - 1) fprintf(f, "\n");
    }
  }
}

void sparsemx_map_map(FILE *f, const sparsemx *M, const String *title) {
  TRACE("sparsemx_map_map_0");
  title_line(f, title);
  int32_t n = M->rows;
  if (!M->data || n == 0) return;
  int32_t g = (n + 119) / 120, width = (n + g - 1) / g;
  char line[122];
  memset(line, ' ', sizeof line);
  for (int32_t i = 1; i <= n; i++) {
    const vectorld *r = row(M, i);
    for (int32_t k = 0; k < r->count; k++) {
      int32_t cell = (r->keys[k] - 1) / g;
      if (cell >= 0 && cell < width) line[cell] = 'X';
    }
    if (i % g == 0) {
      fprintf(f, "%.*s\n", int(width), line);
      memset(line, ' ', sizeof line);
    }
  }
}

void sparsemx_map_diag(FILE *f, const sparsemx *M, const String *title) {
  TRACE("sparsemx_map_diag_0");
  title_line(f, title);
  if (!M->data) return;
  char line[121];
  for (int32_t i = 1; i <= M->rows; i++) {
    memset(line, ' ', 120);
    line[120] = 0;
    const vectorld *r = row(M, i);
    for (int32_t k = 0; k < r->count; k++) {
      int32_t d = r->keys[k] - i;
      if (d != 0 && std::abs(d) <= 59) line[59 + d] = 'X';
    }
    line[59] = 'O';
    fprintf(f, "%s\n", line);
  }
}
