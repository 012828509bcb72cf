// matrixd: the small dense matrix of doubles (node blocks, projected eigenproblems,
// the little systems of the mesher and the path plots): arithmetic, LU, inversion,
// Cholesky and the symmetric and generalised symmetric eigenproblems.
#pragma once
#include <cstdint>
#include <cstdio>

#include "runtime/vectord.h"
#include "runtime/vectorn.h"

struct matrixd {
  uint16_t rows;      // numbered 1..rows
  uint16_t cols;      // numbered 1..cols
  int32_t capacity;   // values allocated; 0 when no storage is held
  double *data;       // row after row: element (i,j) is data[(i-1)*cols + j-1]
};

// Out-record of matrixd_minmax: the extremes and the first position of each.
struct matrixd_minmaxrec {
  uint16_t imin, jmin;  // row and column of the minimum
  uint16_t imax, jmax;  // row and column of the maximum
  double min, max;
};

int matrixd_init();

// Life cycle. A zeroed record is the empty matrix. Every shape above 65,535 rows or
// columns (or negative) stops with "MATRIX DIMENSION ERROR" rather than wrapping.
// new on a matrix holding storage is "NEW MATRIX ALREADY ALLOCATED". resize keeps
// the storage when r*c fits it (values not re-laid out), else grows it with the old
// values copied to the front in storage order; it never shrinks.
void matrixd_new(matrixd *m, int32_t r, int32_t c);
void matrixd_resize(matrixd *m, int32_t r, int32_t c);
void matrixd_free(matrixd *m);
// The counted value storage of both matrix kinds: grow keeps the first used values
// when it must reallocate to hold need values; free releases and zeroes.
void matrixd_grow_storage(double **data, int32_t *capacity, int32_t used, int32_t need);
void matrixd_free_storage(double **data, int32_t *capacity);

// Copies: copyto_0 takes n's shape and values; copyto_1 sets every element;
// copyblock_0 fills m from rows*cols values of a; copyblock_1 writes them to a.
void matrixd_copyto_0(matrixd *m, const matrixd *n);
void matrixd_copyto_1(matrixd *m, double value);
void matrixd_copyblock_0(matrixd *m, const double *a);
void matrixd_copyblock_1(double *a, const matrixd *m);

// Element-wise arithmetic. Unequal shapes are "MATRIX DIMENSION ERROR"; c takes
// a's shape. The block forms read rows*cols values of a plain array.
void matrixd_add(matrixd *c, const matrixd *a, const matrixd *b);
void matrixd_sub(matrixd *c, const matrixd *a, const matrixd *b);
void matrixd_addto_0(matrixd *a, const matrixd *b);
void matrixd_addto_1(matrixd *a, double s);
void matrixd_addto_2(matrixd *a, const matrixd *b, double s);
void matrixd_subto(matrixd *a, const matrixd *b);
void matrixd_subto_1(matrixd *a, double s);
void matrixd_multo_0(matrixd *a, double s);
void matrixd_addblock_0(matrixd *m, const double *a);
void matrixd_addblock_1(matrixd *m, const double *a, double s);
void matrixd_mulblock(matrixd *m, const double *a, double s);

// Products. Operands whose shapes do not fit are "MATRIX DIMENSION ERROR"; a result
// that is also an operand is "MATRIX OVERWRITE" (mv_1 with y == x goes through
// multo_1 instead). Results are resized, accumulating results must have the shape.
void matrixd_mm_2(matrixd *c, const matrixd *a, const matrixd *b);     // c = a*b
void matrixd_mmsum(matrixd *c, const matrixd *a, const matrixd *b);    // c += a*b
void matrixd_mmt(matrixd *c, const matrixd *a, const matrixd *b);      // c = a*b'
void matrixd_mmtsum_2(matrixd *c, const matrixd *a, const matrixd *b); // c += a*b'
void matrixd_multo_1(vectord *x, const matrixd *a);                    // x = a*x
void matrixd_mv_1(vectord *y, const matrixd *a, const vectord *x);     // y = a*x
void matrixd_mvsum_2(vectord *y, const matrixd *a, const vectord *x);  // y += a*x
void matrixd_mvdif_1(vectord *y, const matrixd *a, const vectord *x);  // y -= a*x
void matrixd_mtv_1(vectord *y, const matrixd *a, const vectord *x);    // y = a'*x
void matrixd_mtvsum_2(vectord *y, const matrixd *a, const vectord *x); // y += a'*x

// Kernels on plain row-major arrays; they check nothing. a is n x m, b as named.
void matrixd_mm_0(double *c, const double *a, const double *b, int32_t n, int32_t m, int32_t p);
void matrixd_mm_1(double *c, const double *a, const double *b, int32_t n);  // square n x n
void matrixd_mmtsum_0(double *c, const double *a, const double *b, int32_t n, int32_t m, int32_t p);
void matrixd_mmtsum_1(double *c, const double *a, const double *b, int32_t n);
void matrixd_mv_0(double *y, const double *a, const double *x, int32_t n, int32_t m);
void matrixd_mvsum_0(double *y, const double *a, const double *x, int32_t n, int32_t m);
void matrixd_mvsum_1(double *y, double s, const double *a, const double *x, int32_t n, int32_t m);
void matrixd_mvdif_0(double *y, const double *a, const double *x, int32_t n, int32_t m);
void matrixd_mtv_0(double *y, const double *a, const double *x, int32_t n, int32_t m);
void matrixd_mtvsum_0(double *y, const double *a, const double *x, int32_t n, int32_t m);
void matrixd_mtvsum_1(double *y, double s, const double *a, const double *x, int32_t n, int32_t m);
void matrixd_transpose_0(double *a, int32_t n);                          // in place, n x n
void matrixd_transpose_2(double *b, const double *a, int32_t n, int32_t m);  // b (m x n) = a'

// Shape operations: identity, transpose_1 and symmetrize need a square matrix
// ("MATRIX DIMENSION ERROR"); transpose_3 takes any shape and resizes b.
void matrixd_identity(matrixd *m);
void matrixd_transpose_1(matrixd *m);
void matrixd_transpose_3(matrixd *b, const matrixd *a);
void matrixd_symmetrize(matrixd *m);

// Reductions and clears. rowsum and rowsum2 give the row sums of the elements and
// of their squares; norm_l1 gives every column's sum of magnitudes in v and returns
// the largest (0 when empty); minmax finds the extremes, started at
// +-1.00000000000002e300, and their first positions. A row or column outside the
// matrix is "MATRIX DIMENSION ERROR".
void matrixd_rowsum(vectord *v, const matrixd *a);
void matrixd_rowsum2(vectord *v, const matrixd *a);
void matrixd_rowclear(matrixd *a, int32_t i);
void matrixd_colclear(matrixd *a, int32_t j);
void matrixd_minmax(const matrixd *a, matrixd_minmaxrec *r);
double matrixd_norm_l1(const matrixd *a, vectord *v);

// Listings: the title, then blocks of ten columns, each a header line of column
// labels and one line per row. print_labelled labels column j as first + j - 1.
void matrixd_print(FILE *f, const matrixd *a, const char *title);
void matrixd_print_matrix(FILE *f, const double *a, int32_t rows, int32_t cols, const char *title);
void matrixd_print_labelled(FILE *f, const double *a, int32_t rows, int32_t cols, int32_t first,
                            const char *title);

// LU with implicit row scaling and partial pivoting, in place. lu_fac returns the
// parity of the row exchanges (0 for an empty matrix); a zero row is the fatal
// "Singular Matrix in LU_FAC" and an exactly zero pivot becomes 1e-20. lu_sol_0
// solves with the factor, leaving b permuted (x may be b); lu_sol_1 solves for
// every column of b; lu_back solves with an unpivoted factor. A right-hand side of
// the wrong length is "MATRIX DIMENSION ERROR".
double matrixd_lu_fac(matrixd *a, vectord *s, vectorn *p);
double matrixd_det(const matrixd *lu, double parity);
void matrixd_lu_sol_0(vectord *x, const matrixd *lu, vectord *b, const vectorn *p);
void matrixd_lu_sol_1(matrixd *x, const matrixd *lu, const matrixd *b, const vectorn *p);
void matrixd_lu_back(vectord *x, const matrixd *lu, const vectord *b);

// In-place inverse: closed forms up to 3 x 3, Gauss-Jordan with full pivoting above.
// A singular matrix becomes the identity and the result is false; the debug log
// then says "Matrix is Singular at Checkpoint %d" (2, 3: closed forms; 4: a pivot
// column used twice; 5: a zero pivot).
bool matrixd_invert(matrixd *m);

// Cholesky of b (or of -b with negate) into l: the lower factor below the diagonal,
// its transpose above, the reciprocals of its diagonal on it. A pivot <= 0 makes the
// result false (its magnitude is used; an exact 0 gives a 0 reciprocal). forward
// and back solve with l and l'; chol_solve does both. x may be b.
bool matrixd_chol_factor(const matrixd *b, matrixd *l, bool negate);
void matrixd_chol_forward(vectord *x, const matrixd *l, const vectord *b);
void matrixd_chol_back(vectord *x, const matrixd *l, const vectord *b);
void matrixd_chol_solve(vectord *x, const matrixd *l, const vectord *b);
// The same on plain n x n row-major arrays, shared with bandmxd: the factor (l may
// be b), and the solves with it (mode 1 forward, 2 back, 3 both) for b of length n,
// else "MATRIX DIMENSION ERROR" naming where.
bool matrixd_chol_factor_kernel(double *l, const double *b, int32_t n, bool negate);
void matrixd_chol_apply(vectord *x, const double *l, int32_t n, const vectord *b, int mode, const char *where);

// Symmetric eigenproblems. jacobi destroys a and gives the unsorted eigenvalues d
// and the eigenvectors as the columns of v; more than 50 sweeps is the fatal
// "Convergence Failure.". insqrt sets r = a^(-1/2^k) (k = 1: inverse square root,
// k = 0: inverse); a zero eigenvalue contributes 1. tred2 reduces a to tridiagonal
// form (diagonal d, subdiagonal e(2..n)) leaving the transformation in a; tqli finds
// the eigenvalues of that form into d, accumulating eigenvectors in z, false after
// 30 iterations on one eigenvalue. sort_eig orders by ascending magnitude, moving
// the columns of v along.
void matrixd_jacobi(matrixd *a, vectord *d, matrixd *v);
void matrixd_insqrt(matrixd *r, const matrixd *a, int32_t k);
void matrixd_tred2(matrixd *a, vectord *d, vectord *e);
bool matrixd_tqli(vectord *d, vectord *e, matrixd *z);
void matrixd_sort_eig(vectord *d, matrixd *v);

// A x = lambda B x for symmetric a and definite b (negative definite when b(1,1) < 0):
// eigenvalues sorted by magnitude into d, unit eigenvectors as the columns of v.
// Unequal orders are the fatal "Dimension Error"; false when b is not definite or
// the QL iteration fails.
bool matrixd_gen_eig(vectord *d, matrixd *v, const matrixd *a, const matrixd *b);
