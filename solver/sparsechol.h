// sparsechol: a complete sparse Cholesky factor, with its own fill-reducing ordering,
// for a symmetric positive definite matrix solved against many right-hand sides. The
// factor is kept with a fingerprint of the matrix, so repeated solves with the same
// matrix factor it once; its ordering and symbolic analysis are kept with the fingerprint
// of the matrix's pattern, so a matrix of new values on the same pattern is only factored
// anew, not ordered anew.
#pragma once
#include <cstdint>

#include "solver/sparsemx.h"

// Solves A X = B for w right-hand sides stored interleaved (entry i of column t at
// [i*w + t]) by the complete factor of A, where the factor fits: at most `fill` times
// the entries of A's lower triangle. False where the factor is not
// available, does not fit, or A is not positive definite or singular but for rounding;
// the caller then iterates from the start (x may hold part of an answer).
bool sparsechol_solve_block(double *x, const sparsemx *A, const double *b, int32_t w, double fill);
// The same for a matrix whose maker took its fingerprint (sparsemx_fingerprint) after it last
// set A's values and holds it while A stands: the kept factor is checked against `print`, not
// against A read whole at every solve.
bool sparsechol_solve_printed(double *x, const sparsemx *A, uint64_t print, const double *b, int32_t w, double fill);

// Makes (or keeps) the complete factor of A where it fits, as the solve would; true when
// it is there to solve with.
bool sparsechol_factor(const sparsemx *A, double fill);

// The kept factor of A, made while A's fingerprint was `before`, serves A after its rows
// and columns were each multiplied by e (A := E A E, E = diag(e) > 0): L becomes E L.
// False where no such factor is kept; the next solve then factors A afresh.
bool sparsechol_rescaled(const sparsemx *A, uint64_t before, const double *e);

// Drops the kept factor and the kept analysis.
void sparsechol_release();

// From this call on, the large blocks a factor takes come from the heap and the heap's free
// top is kept, so that the next factor's blocks reuse pages already mapped. Called by the
// complete factors before their first.
void sparsechol_keep_large_blocks();
