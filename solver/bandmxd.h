// bandmxd: the square band matrix of doubles that holds the band LU preconditioner:
// band arithmetic, an in-place LU without pivoting and its solves, a dense Cholesky.
#pragma once
#include <cstdint>
#include <cstdio>

#include "model/matrix_records.h"
#include "runtime/vectord.h"

int bandmxd_init();

// Life cycle. A bandwidth b gives h = b/2 (an even b is rounded up to the odd width
// b+1). A half bandwidth above 32,767 (width above 65,535), a negative shape or more
// than 2^31 - 1 values stop with "MATRIX DIMENSION ERROR". new on a matrix holding
// storage is "NEW MATRIX ALREADY ALLOCATED". resize grows the storage when w*n
// exceeds it, the old values copied to the front in storage order; never shrinks.
void bandmxd_new(bandmxd *m, int32_t n, int32_t b);
void bandmxd_resize(bandmxd *m, int32_t n, int32_t b);
void bandmxd_free(bandmxd *m);

// Entries: outside the band fetch gives 0 and store does nothing.
double bandmxd_fetch(const bandmxd *m, int32_t i, int32_t j);
void bandmxd_store(bandmxd *m, int32_t i, int32_t j, double value);

// Copies and arithmetic over every stored value (positions outside columns 1..n
// included). Two matrices of unequal shape are "MATRIX DIMENSION ERROR"; c takes a's.
void bandmxd_copyto_0(bandmxd *m, const bandmxd *c);
void bandmxd_copyto_1(bandmxd *m, double value);
void bandmxd_add(bandmxd *c, const bandmxd *a, const bandmxd *b);
void bandmxd_sub(bandmxd *c, const bandmxd *a, const bandmxd *b);
void bandmxd_addto_0(bandmxd *a, const bandmxd *b);
void bandmxd_addto_1(bandmxd *a, double s);
void bandmxd_addto_2(bandmxd *a, const bandmxd *b, double s);
void bandmxd_subto(bandmxd *a, const bandmxd *b);
void bandmxd_subto_1(bandmxd *a, double s);
void bandmxd_multo_0(bandmxd *a, double s);
// Every row's diagonal entry becomes 1; the rest is left.
void bandmxd_identity(bandmxd *m);

// Products with a vector of length n ("MATRIX DIMENSION ERROR" otherwise); mvdif,
// mtv, mtvsum and mtvdif stop with "MATRIX OVERWRITE" when y is x, while mv with
// y == x goes through multo_1, which uses a module work vector.
void bandmxd_multo_1(vectord *x, const bandmxd *a);                    // x = a*x
void bandmxd_mv(vectord *y, const bandmxd *a, const vectord *x);       // y = a*x
void bandmxd_mvdif(vectord *y, const bandmxd *a, const vectord *x);    // y -= a*x
void bandmxd_mtv(vectord *y, const bandmxd *a, const vectord *x);      // y = a'*x
void bandmxd_mtvsum(vectord *y, const bandmxd *a, const vectord *x);   // y += a'*x
void bandmxd_mtvdif(vectord *y, const bandmxd *a, const vectord *x);   // y -= a'*x

// The title, then the band in blocks of ten positions, each headed by the
// positions' offsets from the diagonal.
void bandmxd_print(FILE *f, const bandmxd *m, const char *title);

// LU without pivoting, in place (unit lower factor not stored). false, after a
// debug-log line naming the row, when a pivot is exactly zero: the factor is then
// unusable. The solves need b of length n (x may be b); solvet solves with the
// transpose.
bool bandmxd_lu_factor(bandmxd *m);
void bandmxd_lu_solve(vectord *x, const bandmxd *m, const vectord *b);
void bandmxd_lu_solvet(vectord *x, const bandmxd *m, const vectord *b);

// Dense Cholesky of the n x n matrix held row after row with stride n in a's
// storage (not band storage): f is resized to hold n x n values, the layout of
// matrixd_chol_factor. A pivot <= 0 makes the result false. The solves use the same
// stride-n layout; chol_solve needs b of length n.
bool bandmxd_chol_factor(const bandmxd *a, bandmxd *f, bool negate);
void bandmxd_chol_forward(vectord *x, const bandmxd *f, const vectord *b);
void bandmxd_chol_back(vectord *x, const bandmxd *f, const vectord *b);
void bandmxd_chol_solve(vectord *x, const bandmxd *f, const vectord *b);
