// sparsemx: the row-compressed sparse matrix of the global Jacobian, the mass and
// preconditioner matrices and the node adjacency, with the products, scalings,
// preconditioner builders, incomplete factorisations and reordering on it.
#pragma once
#include <cstdint>
#include <cstdio>

#include "model/matrix_records.h"
#include "runtime/strings.h"
#include "runtime/vectord.h"
#include "runtime/vectorl.h"
#include "runtime/vectorld.h"

struct pad;
struct matrixd;
struct bandmxd;

// Set from the problem's SPARSEMX debug switch.
extern uint8_t sparsemx_debug;

int sparsemx_init();

// ---- Lifetime and shape ---------------------------------------------------------------
// new stops with "NEW LMAP ALREADY ALLOCATED" when M holds a row array. resize_0 grows
// the row array to c records (records moved, not their storage) and sets the rows;
// resize_1 gives M N's rows and counts, laid out in one block (values undefined);
// image gives M N's pattern with zero values. free releases the row array and the
// block, and with rows set every row's storage. copyto_0 and copyto_1 (values times
// s) lay the copy out in one block.
void sparsemx_new(sparsemx *M, int32_t n, int32_t c);
void sparsemx_resize_0(sparsemx *M, int32_t n, int32_t c);
void sparsemx_resize_1(sparsemx *M, const sparsemx *N);
void sparsemx_image(sparsemx *M, const sparsemx *N);
void sparsemx_free(sparsemx *M, uint8_t rows);
// The stored entries of M's rows, summed over them.
int64_t sparsemx_entries(const sparsemx *M);
void sparsemx_copyto_0(sparsemx *M, const sparsemx *N);
void sparsemx_copyto_1(sparsemx *M, const sparsemx *N, double s);
// M gets n empty rows laid out one after another in one block, row i with room for
// room(i) pairs (room has n entries); M's former rows and block are released, the
// block reused when it is large enough and not more than twice the size.
void sparsemx_lay_out(sparsemx *M, int32_t n, const vectorl *room);
// M's rows, their pairs kept, moved into one block with room for just their pairs.
void sparsemx_pack(sparsemx *M);
// D := the dense n x n image of M.
void sparsemx_explode(matrixd *D, const sparsemx *M);

// ---- Entries ------------------------------------------------------------------------
// fetch reads 0 outside the rows and for an absent column. store and addto_0 insert an
// absent entry in column order; a matrix without rows is "BAD MATRIX", a row outside
// 1..rows "BAD MATRIX MAP ROW". addto_0 returns the entry's new value.
double sparsemx_fetch(const sparsemx *M, int32_t i, int32_t j);
void sparsemx_store(sparsemx *M, int32_t i, int32_t j, double x);
double sparsemx_addto_0(sparsemx *M, int32_t i, int32_t j, double x);

// ---- Whole-matrix arithmetic ------------------------------------------------------------
// M += s*N position by position; unequal row counts, or a row of M shorter than N's,
// write a debug line and stop with "MATRIX SIZE MISMATCH".
void sparsemx_addto_1(sparsemx *M, const sparsemx *N, double s);
// Four consecutive rows r[0..3] times x1 (keys are 1-based, so x1 is the vector less
// one): each row's sum from 0.0 in column order, the four sums independent chains that
// overlap where one row alone waits on each addition. The products' inner kernel.
[[gnu::always_inline]] inline void sparsemx_four_rows(const vectorld *r, const double *x1, double s[4]) {
  const int32_t *c0 = r[0].keys, *c1 = r[1].keys, *c2 = r[2].keys, *c3 = r[3].keys;
  const double *v0 = r[0].values, *v1 = r[1].values, *v2 = r[2].values, *v3 = r[3].values;
  int32_t m0 = r[0].count, m1 = r[1].count, m2 = r[2].count, m3 = r[3].count;
  int32_t m = m0 < m1 ? m0 : m1, k = 0;
  m = m < m2 ? m : m2;
  m = m < m3 ? m : m3;
  double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
  for (; k < m; k++) {
    s0 += v0[k] * x1[c0[k]];
    s1 += v1[k] * x1[c1[k]];
    s2 += v2[k] * x1[c2[k]];
    s3 += v3[k] * x1[c3[k]];
  }
  for (int32_t e = k; e < m0; e++) s0 += v0[e] * x1[c0[e]];
  for (int32_t e = k; e < m1; e++) s1 += v1[e] * x1[c1[e]];
  for (int32_t e = k; e < m2; e++) s2 += v2[e] * x1[c2[e]];
  for (int32_t e = k; e < m3; e++) s3 += v3[e] * x1[c3[e]];
  s[0] = s0, s[1] = s1, s[2] = s2, s[3] = s3;
}

void sparsemx_clear(sparsemx *M);
void sparsemx_clear_row(sparsemx *M, int32_t i);
// Zeroes column j through the symmetric pattern: (c, j) for every column c of row j.
void sparsemx_clear_col(sparsemx *M, int32_t j);
// Row i becomes d on the diagonal and 0 elsewhere, column i 0 off the diagonal.
void sparsemx_clear_rowcol(sparsemx *M, int32_t i, double d);
void sparsemx_negate(sparsemx *M);
// The diagonal entry of a row is its first entry not left of the diagonal (the last
// entry when all are): offset adds s to it, emphasize multiplies it by 1 + s.
void sparsemx_offset(sparsemx *M, double s);
void sparsemx_emphasize(sparsemx *M, double s);
// M (holding N's pattern) := (N + Nt)/2 on N's pattern.
void sparsemx_symmetrize(sparsemx *M, const sparsemx *N);
// Rows (pre) or columns (post) multiplied by v, or by 1/v (unscale); v shorter than
// the rows is "VECTOR LENGTH ERROR".
void sparsemx_pre_scale_matrix(sparsemx *M, const vectord *v);
void sparsemx_post_scale_matrix(sparsemx *M, const vectord *v);
void sparsemx_pre_unscale_matrix(sparsemx *M, const vectord *v);
void sparsemx_post_unscale_matrix(sparsemx *M, const vectord *v);
// N's values into M's pattern; M's entries absent from N become 0, a nonzero entry of
// N without a place in M is "CAN'T COPYTO".
void sparsemx_copy_remap(sparsemx *M, const sparsemx *N);
// M(p(i), p(c)) := N(i, c), each target row cleared first; "SIZE MISMATCH" unless M,
// N and p have one length.
void sparsemx_copy_reorder(sparsemx *M, const sparsemx *N, const vectorl *p);

// ---- Products (y resized to the rows; x must have rows entries, else a debug line
// and "VECTOR LENGTH ERROR"; y must not be x) -----------------------------------------------
void sparsemx_mv_0(vectord *y, const sparsemx *A, const vectord *x);
void sparsemx_mv_1(vectord *y, double s, const sparsemx *A, const vectord *x);
void sparsemx_mvsum_0(vectord *y, const sparsemx *A, const vectord *x);
void sparsemx_mvsum_1(vectord *y, double s, const sparsemx *A, const vectord *x);
void sparsemx_mtv_0(vectord *y, const sparsemx *A, const vectord *x);
void sparsemx_mtv_1(vectord *y, double s, const sparsemx *A, const vectord *x);
void sparsemx_mtvsum_0(vectord *y, const sparsemx *A, const vectord *x);
void sparsemx_mtvsum_1(vectord *y, double s, const sparsemx *A, const vectord *x);
// y := A x + B z, B laid out as A (sparsemx_same_layout): each row's two sums from 0.0 in
// column order, y as sparsemx_mv_0 by A then sparsemx_mvsum_0 by B leave it, in one sweep
// that reads the columns once. y must be neither x nor z.
void sparsemx_mv_pair(vectord *y, const sparsemx *A, const vectord *x, const sparsemx *B, const vectord *z);
// Whether A and B have the same rows with the same columns in each.
bool sparsemx_same_layout(const sparsemx *A, const sparsemx *B);
void sparsemx_rowsum(vectord *v, const sparsemx *M);
void sparsemx_colsum(vectord *v, const sparsemx *M);
// v(i) = sum of |row i|; returns the largest (0 for no rows); logs "NORM_L1 (n)".
double sparsemx_norm_l1(const sparsemx *M, vectord *v);

// ---- Preconditioners and factorisations -------------------------------------------------
// Diagonal scalings: 1/diagonal, else the inverse row norm (1 for an empty row);
// ata: the inverse column norms squared (1 for an empty column); with sym the roots.
void sparsemx_diag_dip(vectord *D, const sparsemx *A, uint8_t sym);
// The same where the caller has A's diagonal (diag[i - 1] the entry (i, i), 0 where absent).
void sparsemx_diag_dip_given(vectord *D, const sparsemx *A, const double *diag, uint8_t sym);
void sparsemx_ata_dip_0(vectord *D, const sparsemx *A, uint8_t sym);
// As ata_dip_0 for a*A + b*B on one pattern.
void sparsemx_ata_dip_1(vectord *D, const sparsemx *A, const sparsemx *B, double a, double b, uint8_t sym);
// Block-diagonal preconditioner: for nb blocks of m rows, the inverse (sym: the
// inverse square root) of A's block stored whole into M ("Singular Block" when a
// block cannot be inverted); each row r past the blocks gets v(r)/nb (sym: its root)
// on the diagonal.
void sparsemx_diag_bip(sparsemx *M, const sparsemx *A, const vectord *v, uint16_t m, int32_t nb, uint8_t sym);

// Incomplete Cholesky in place on the full symmetric pattern, without fill: the lower
// part becomes L, the upper part Lt, the diagonal 1/L(i,i). A zero pivot, a missing
// diagonal or a negative pivot in a row up to nf writes a debug line and returns false
// (M is then spoiled); a negative pivot past nf continues with its magnitude. A
// panel, when given, shows the progress.
bool sparsemx_inchol_factor_1(sparsemx *M, int32_t nf, pad *panel);
bool sparsemx_inchol_factor_0(sparsemx *M, int32_t nf);
// With the factor: forward y = L^-1 b, back x = L^-t y (x may be y), solve both.
void sparsemx_inchol_forward(vectord *y, const sparsemx *L, const vectord *b);
void sparsemx_inchol_back(vectord *x, const sparsemx *L, const vectord *y);
void sparsemx_inchol_solve(vectord *x, const sparsemx *L, const vectord *b);
// The same on w vectors of A's rows stored interleaved (entry i of vector t at
// [i*w + t]), each vector's result bit for bit its single one: y = A x, y = L^-1 b
// (y may be b), x = L^-t y (x may be y).
void sparsemx_mv_block(double *y, const sparsemx *A, const double *x, int32_t w);
// The lanes the block kernels work in: 0 chooses by the processor (four where it has
// 256-bit vector instructions, else two), 2 or 4 forces them. The bits are the same.
extern uint8_t sparsemx_block_lanes;
void sparsemx_inchol_forward_block(double *y, const sparsemx *L, const double *b, int32_t w);
void sparsemx_inchol_back_block(double *x, const sparsemx *L, const double *y, int32_t w);

// Incomplete LU (Crout, no pivoting, in M's pattern): M becomes L (unit diagonal
// implied) below and U above the diagonal, D U's diagonal. A zero pivot writes a
// debug line and returns false.
bool sparsemx_inclu_factor_1(sparsemx *M, vectord *D, pad *panel);
bool sparsemx_inclu_factor_0(sparsemx *M, vectord *D);
// x = (LU)^-1 b and x = (LU)^-t b.
void sparsemx_inclu_solve(vectord *x, const sparsemx *LU, const vectord *D, const vectord *b);
void sparsemx_inclu_solvet(vectord *x, const sparsemx *LU, const vectord *D, const vectord *b);

// ---- Patterns and reordering ------------------------------------------------------------
// M := the band |j - i| <= bandwidth/2 of A as full sparse rows.
void sparsemx_make_band_0(sparsemx *M, const sparsemx *A, uint16_t bandwidth, pad *panel);
// B := the band |j - i| <= bandwidth/2 of A as a band matrix.
void sparsemx_make_band_1(bandmxd *B, const sparsemx *A, uint16_t bandwidth, pad *panel);
// M := the envelope of A with zero values: row i from the smallest first column of
// rows i..n to the largest last column of rows 1..i.
void sparsemx_map_fillin_1(sparsemx *M, const sparsemx *A, pad *panel);
void sparsemx_map_fillin_0(sparsemx *M, const sparsemx *A);
// Band-minimising renumbering of the adjacency G by iterated centroids (mode 1 weights
// the neighbours by 1/distance): perm(i) is node i's new number, invperm(k) the node
// numbered k; G is renumbered. An empty row is "UNLINKED NODE".
void sparsemx_bandmin(vectorl *perm, vectorl *invperm, sparsemx *G, uint16_t mode);
// Renumbers G: row from(k) moves to place k and every key q becomes at(q), each row
// then sorted (at and from are inverse permutations, as sparsemx_bandmin's perm and
// invperm). sparsemx_move_rows only moves the rows, each with its storage.
void sparsemx_renumber(sparsemx *G, const vectorl *at, const vectorl *from);
void sparsemx_move_rows(sparsemx *G, const vectorl *from);

// Dominant eigenvalue by power iteration from c, -c, c, ... (spread 0) or c + s*random;
// with normal set the largest singular value, signed.
double sparsemx_big_eigen(const sparsemx *A, double s, double c, double tol, uint8_t normal);
// The same from the start vector x (A's rows long), which is left the last iterate: a start
// for a matrix near A, from which the iteration settles in fewer products.
double sparsemx_big_eigen_from(const sparsemx *A, vectord *x, double tol, uint8_t normal);
void sparsemx_big_eigens(double pair[2], const sparsemx *A, double tol);

// A fingerprint of the matrix's size, pattern and values: a factor kept for a matrix
// serves while the fingerprint stands.
uint64_t sparsemx_fingerprint(const sparsemx *A);
// The same of the size and pattern alone: an ordering made for a pattern serves a matrix
// of other values on it.
uint64_t sparsemx_pattern_print(const sparsemx *A);

// ---- Debug listings -----------------------------------------------------------------------
void sparsemx_print(FILE *f, const sparsemx *M, const String *title);
void sparsemx_print_map(FILE *f, const sparsemx *M, const String *title);
void sparsemx_map_map(FILE *f, const sparsemx *M, const String *title);
void sparsemx_map_diag(FILE *f, const sparsemx *M, const String *title);
