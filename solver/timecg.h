// timecg: conjugate-direction (ORTHOMIN) and bi-Lanczos solvers for a system whose
// matrix is the weighted pair F1 M1 + F0 M0 (+ C), applied without forming the sum.
#pragma once
#include <cstdint>

#include "runtime/vector2d.h"
#include "runtime/vectord.h"
#include "solver/sparsemx.h"

struct pad;

int timecg_init();

// Solve (F1 M1 + F0 M0 + C) x = b; C takes part when it has rows. The _tim forms
// iterate on D A D with D = diag(d) (no scaling when d is null or empty), the _bit
// forms on P A P with the sparse matrix P. x is resized to b's count and starts at 0.
// The convergence norm is sqrt(sum |s_i x_i| / n) (s null: no weights); past 12
// iterations the run stops when its change measure (Asymptote, solver/sparsecg.h) falls to
// rel x norm + abs. Past maxit iterations rel and abs grow by their first values at
// every iteration; ORTHOMIN stops at 4 maxit iterations, Lanczos at 2 maxit; the
// panel's stop key ends either. Work vectors come from the pool and go back to it.
// Returns the last norm (a Lanczos form with b = 0 returns 0 and leaves x = 0).
// Fatal: "BAD MATRIX" (M1 or M0 missing), "BAD RHS" (b's count is not M0's rows),
// "ORTHOMIN FAILURE!" (p.Ap = 0 with r.r != 0), "LANCZOS BLOWUP" (breakdown of the
// shadow product), "LANCZOS FAILURE" (vanishing step).
double timecg_orthomin_tim(vectord *x, const sparsemx *C, const sparsemx *M1, const sparsemx *M0, const vectord *b,
                           const vectord *d, const vectord *s, vector2d *work, double F1, double F0, double rel,
                           double abs, uint16_t maxit, pad *panel);
double timecg_orthomin_bit(vectord *x, const sparsemx *C, const sparsemx *M1, const sparsemx *M0, const sparsemx *P,
                           const vectord *b, const vectord *s, vector2d *work, double F1, double F0, double rel,
                           double abs, uint16_t maxit, pad *panel);
double timecg_lanczos_tim(vectord *x, const sparsemx *C, const sparsemx *M1, const sparsemx *M0, const vectord *b,
                          const vectord *d, const vectord *s, vector2d *work, double F1, double F0, double rel,
                          double abs, uint16_t maxit, pad *panel);
double timecg_lanczos_bit(vectord *x, const sparsemx *C, const sparsemx *M1, const sparsemx *M0, const sparsemx *P,
                          const vectord *b, const vectord *s, vector2d *work, double F1, double F0, double rel,
                          double abs, uint16_t maxit, pad *panel);
