// cgsolve: the steady drivers (linear and Newton with a line search), the linear solve
// wrapper, the scaled residual, the run-log line of a grid and the regrid step.
#pragma once
#include <cstdint>

struct pde;
struct vectord;
struct vector2d;

int cgsolve_init();

// r := (S - F) x row scale, entry by entry (r sized to F).
void cgsolve_residual(pde *p, vectord *r, const vectord *F, const vectord *S);
// Solves A delta = r for the problem's Newton step with the chosen Krylov method and
// preconditioner; ITERATE 0 becomes 1000 (VANDENBERG) or 500. The iteration limit is
// ITERATE / d, at least 1 and at most 65535. Returns the solver's result.
double cgsolve_solve(pde *p, double rel, double abs, int32_t d);
// u += column scale x delta for every unknown; the residual loses A delta. Returns the
// error measure of what remains.
double cgsolve_lupdate(pde *p, vector2d *u);
// The run-log line of a finished grid: "GRID g Nodes=n Cells=c RMS ERR=e MEM=k".
void cgsolve_log_linstep(pde *p);
// Refinement after a grid: returns the refiner's count (> 0 when the mesh changed).
int32_t cgsolve_split_check(pde *p);

// Each returns 8 (plots) after a normal end, else the problem's current phase.
int32_t cgsolve_do_nonlinear(pde *p);
int32_t cgsolve_do_linear(pde *p);

// The Newton step limit for NEWTON and CHANGELIM (exposed for its tests).
int32_t cgsolve_step_limit(int32_t newton, double changelim);
