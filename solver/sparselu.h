// sparselu: a complete sparse LU factor, with its own fill-reducing ordering, for a
// nonsymmetric matrix solved more than once (the Jacobian of Newton steps that keep it).
// The factor is kept with a fingerprint of the matrix, so repeated solves with the same
// matrix factor it once.
#pragma once
#include <cstdint>

#include "solver/sparsemx.h"

// Solves A x = b by the complete LU factor of A, where the factor fits: its estimated
// entries at most `fill` times those of A. False, with x untouched, where the factor is
// not available, does not fit, or A is singular but for rounding; the caller then
// iterates. A factor that fits but costs more operations than the iteration would take is
// declined too, unless any_cost: then it is made (the iteration did not serve).
bool sparselu_solve(double *x, const sparsemx *A, const double *b, double fill, bool any_cost = false);
// Solves A X = B for w right-hand sides stored interleaved (entry i of column t at
// [i*w + t]; x may be b) by the one kept factor, as sparselu_solve; false where the factor
// is not there (x untouched) or a solve fails (x may hold part of an answer).
bool sparselu_solve_block(double *x, const sparsemx *A, const double *b, int32_t w, double fill, bool any_cost = false);
// Makes (or keeps) the complete factor of A where it fits, as the solve would; true when
// it is there to solve with.
bool sparselu_factor(const sparsemx *A, double fill, bool any_cost = false);
// Whether the last matrix's factor was declined for its cost alone (it fits).
bool sparselu_declined_on_cost();

// Drops the kept factor.
void sparselu_release();
