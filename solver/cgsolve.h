// cgsolve: the steady drivers (linear and Newton with a line search), the linear solve
// wrapper, the scaled residual, the run-log line of a grid and the regrid step.
#pragma once
#include <cstdint>

struct pde;
struct vectord;
struct vector2d;
struct RefineHistory;

int cgsolve_init();

// r := (S - F) x row scale, entry by entry (r sized to F).
void cgsolve_residual(pde *p, vectord *r, const vectord *F, const vectord *S);
// Solves A delta = r for the problem's Newton step with the chosen Krylov method and
// preconditioner; ITERATE 0 becomes 1000 (VANDENBERG) or 500. The iteration limit is
// ITERATE / d, at least 1 and at most 65535. A CG step that leaves a residual above the
// right-hand side's, on a matrix found not positive definite (or a thousandfold above
// it), is solved again by LANCZOS, which the problem keeps. Returns the solver's result.
double cgsolve_solve(pde *p, double rel, double abs, int32_t d);
// The same for w right-hand sides stored interleaved (entry i of column t at [i*w + t],
// the matrix's rows x w entries in b and x); res(t) gets column t's result.
void cgsolve_solve_block(pde *p, double *x, const double *b, int32_t w, double rel, double abs, int32_t d,
                         double *res);
// u += column scale x delta for every unknown; the residual loses A delta. Returns the
// error measure of what remains.
double cgsolve_lupdate(pde *p, vector2d *u);
// The run-log line of a finished grid: "GRID g Nodes=n Cells=c RMS ERR=e MEM=k".
void cgsolve_log_linstep(pde *p);
// A run-log line of its own after the time prefix: "GRID LIMIT", or a limit that ended
// an iteration before its convergence test was met ("NEWTON LIMIT: NOT CONVERGED").
void cgsolve_log_note(pde *p, const char *text);
// The run ends with an answer that has not converged: the note goes to the run log
// and the reason (a static text) stays on the problem for the run's end, its exports
// and its exit code.
void cgsolve_not_converged(pde *p, const char *note, const char *reason);
// Refinement after a grid: returns the refiner's count (> 0 when the mesh changed). A
// history kept over a run's grids lets cells whose estimates fall slowly split more.
int32_t cgsolve_split_check(pde *p, RefineHistory *history = nullptr);

// Each returns 8 (plots) after a normal end, else the problem's current phase.
int32_t cgsolve_do_nonlinear(pde *p);
int32_t cgsolve_do_linear(pde *p);

// The Newton step limit for NEWTON and CHANGELIM (exposed for its tests).
int32_t cgsolve_step_limit(int32_t newton, double changelim);
