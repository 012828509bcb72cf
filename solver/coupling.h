// coupling: the discrete system of an analysed problem on its mesh: the residual
// vectors (operator part F, time part Ft, sources S) assembled cell by cell, the
// boundary tables, the Jacobian A and time matrix T assembled block by block with
// their borders, value rows, periodic rows, symmetry check and scaling, the time
// weights of the sources, and the choice and building of solver and preconditioner.
//
// Global rows are the layout's (loading_map_matrix); per-variable node tables are
// vector2d lists with one vectord per variable.
#pragma once
#include <cstdint>
#include <vector>

#include "runtime/vector2d.h"
#include "runtime/vectord.h"

struct pde;
struct TimeRun;
struct sparsemx;
struct MeshCell;
struct evalpoint;
struct TreeNode;

extern uint8_t coupling_debug;  // DEBUG(COUPLING)

int coupling_init();

// ---- Time weights and method ----------------------------------------------------------------
// Quantises TCENTER (kept as theta, theta1 = 1 - theta) and gives every variable with a
// time derivative the five-point rule of its weight row, every other one the node 1.
void coupling_build_weights(pde *p);
// Estimator, solver and preconditioner codes from the method switches; ICCG and BANDLU
// switch REORDER on. BANDLU with constraints is "BANDLU Cannot Support Constraints".
void coupling_set_method(pde *p);
// Builds the preconditioner of the current codes for the scaled matrix; a failed
// incomplete or band factorisation falls back to the diagonal or node-block one. diag, where
// given, is A's diagonal (0 where absent), which the diagonal preconditioner then need not find.
void coupling_build_precon(pde *p, const sparsemx *A, const double *diag = nullptr);
// The preconditioner of p->matrix where its solves may need it: one that the complete
// factor will solve waits, unmade, until coupling_ready_precon finds the factor declined.
void coupling_defer_precon(pde *p);
// Makes a waiting preconditioner unless the complete factor solves p->matrix against w
// columns.
void coupling_ready_precon(pde *p, int32_t w);
// LANCZOS and its preconditioner in place of CG, as for a matrix that fails the
// symmetry check.
void coupling_take_nonsymmetric(pde *p);

// ---- Residual -----------------------------------------------------------------------------
// F (and Ft in a time-dependent problem) for the solution u and rates udot at time t;
// h > 0 divides the constraint rows by h. Mode 0 all variables, 1 only those with a
// time derivative, 2 all, with moving cells localised in place.
void coupling_operate(pde *p, vectord *F, vectord *Ft, vector2d *u, vector2d *udot, double t, double h,
                      uint16_t mode);
// One localised cell's terms (the point's cell); with bflag clear every side of the
// cell takes the equation's surface term instead of the natural conditions.
void coupling_cell_operate(pde *p, vectord *F, vectord *Ft, int32_t c, const MeshCell *cell, evalpoint *ep,
                           uint16_t mode, uint8_t bflag, uint8_t upflag);
// Whether an eigenvalue problem has a LAMBDA side: an equation's source in some region, or
// a condition that holds LAMBDA.
bool coupling_lambda_present(pde *p);
// S on [t_old, t_new]: time nodes and weights per variable, or once at t_new (single).
void coupling_build_source(pde *p, vectord *S, double told, double tnew, uint8_t single);
void coupling_cell_source(pde *p, vectord *S, int32_t c, const MeshCell *cell, evalpoint *ep, double told,
                          double tnew, uint8_t upflag, uint8_t single);
// Value rows cleared, periodic rows folded, solution-dependent value rows added.
void vbc_operate(pde *p, vectord *F, vectord *Ft, uint16_t mode);
// Point loads added.
void lbc_operate(pde *p, vectord *F, uint16_t mode);
// The boundary tables of the current mesh.
void coupling_tabulate_bcs(pde *p);
// Enters the cells around node n into the sorted list once each.
void list_bccells(pde *p, vectorl *list, int32_t n);
// Whether the residual of the time problem is affine in the unknowns and their rates
// with coefficients free of them and of the time, on a mesh that keeps its nodes:
// F(u, u') = F(u0, u0') + K (u - u0) + D (u' - u0') with the stored K and D. Decided
// from the equation and condition trees, conservatively: scalars, constraints, fits,
// integrals, tables, upwinding, periodic or moving meshes, point loads, solution-dependent
// value conditions and rateless variables all answer no. The values of value conditions
// are not asked about: the caller compares them.
bool coupling_fixed_linear(pde *p);
// Whether the sources are free of the unknowns and of the time (no upwinding of them).
bool coupling_fixed_source(pde *p);
// Splits every equation's source into the part that reads nothing of the solution and
// the rest (kept in the run while the source trees stand); false where they cannot be split (a
// shared subexpression, a streamline term of the source).
bool coupling_split_source(pde *p, TimeRun *run);
// S on [t_old, t_new] as coupling_build_source builds it, from the fixed part or the rest
// of the split sources alone: the two parts sum to the whole source.
void coupling_build_source_part(pde *p, TimeRun *run, vectord *S, double told, double tnew, bool fixed);
// Frees the run's split (its trees are the run's own).
void coupling_release_split(TimeRun *run);
// Whether a Jacobian of the equations or the conditions reads the time or the step: the
// matrices of a time run then change from step to step though the problem is linear.
bool coupling_jacobians_follow_time(pde *p);
// Whether an equation's source reads the time or the step (directly, through a definition or
// through a TABLE with an axis in the time).
bool coupling_source_reads_time(pde *p);
// Whether scalar equation s reads its own unknown (its Jacobian by it is not zero in some
// region): such a scalar is given by its equation at each time; one whose equation does not
// read it is held only through the rows it enters (a multiplier, as of a mean or a point value).
bool coupling_scalar_reads_itself(pde *p, uint16_t s);
// Where a floating-point trap in the steady system of variable k (its block of the matrix,
// its residual) is reported: k's equation, a scalar variable's own; none in a time run,
// where the trap is the run's divergence at the time reached, nor past the equations.
const TreeNode *coupling_trap_equation(const pde *p, int32_t k);
// The same for the variable of global row i (from 0) of the steady system, or its constraint.
const TreeNode *coupling_trap_row(const pde *p, int32_t i);
// The equation of the variable of largest range: the place of a trap in work on the whole
// scaled system (its scales, its squares, the solves of an eigenvalue sweep).
const TreeNode *coupling_trap_widest(const pde *p);
// A condition of the time alone in the equations or the conditions (a comparison, ustep
// or sign that reads only the time and constants): where its value jumps, the source or a
// coefficient it selects jumps too.
struct CouplingSwitch {
  const TreeNode *tree;
  uint16_t region;
};
// Every such condition of the problem, once per region it is read in.
std::vector<CouplingSwitch> coupling_time_switches(pde *p);
// The step from told to tnew ends where the first of switches changes its value within it:
// the last time that still reads as told does (to a billionth of the step); tnew when
// none changes, or when the change is at the step's very start.
double coupling_next_switch(pde *p, const std::vector<CouplingSwitch> &switches, double told, double tnew);
// Values of the conditions that do not depend on the solution into the per-variable
// node tables (time pair: old, new; evaluated at new); a solution-dependent one makes
// the problem unsymmetric. _1: value and point-value conditions into a global vector.
void coupling_set_bvals_0(pde *p, vector2d *table, const double times[2]);
void coupling_set_bvals_1(pde *p, vectord *table, const double times[2]);
// The point's normal for a normal or tangential condition at the node: the unit
// outward normal of the first boundary side around the node that carries condition
// bcix for variable k. None: "BNORMAL CRASH".
void bnormal(pde *p, evalpoint *ep, int32_t node, uint16_t k, uint16_t bcix);
// Per-variable tables from a global vector.
void coupling_unmap(const vectord *g, pde *p, vector2d *tables);

// ---- Jacobian -----------------------------------------------------------------------------
// A for the steady and eigenvalue drivers (scaled; firstscale, secondscale and precscale
// set); times: old, new.
void coupling_ss_matrix(pde *p, vector2d *u, const double times[2]);
// T (and A first with withspace) for the time driver. With scale_starts (the run's, one
// iterate per variable) A's scaling iterations start from the last step's iterates and leave
// theirs there; they are forgotten without withspace (the run takes its rates anew) and
// where the mesh has changed.
void coupling_tr_matrix(pde *p, vector2d *u, const double times[2], uint8_t withspace,
                        std::vector<std::vector<double>> *scale_starts = nullptr);
// Value-condition rows of A (and of T with timeflag).
void coupling_vbc_matrix(pde *p, uint8_t timeflag);
// A unscaled, residual unscaled, scales rebuilt from the ranges of u, both scaled again.
void coupling_rescale_matrix(pde *p, vector2d *u, vectord *residual);
