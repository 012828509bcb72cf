// treeval: values of expression trees at a point of a cell (scalar, vector, complex,
// and arrays over the basis functions of a cell), and the integrals over a cell or
// one of its sides that assembly, plots and global integrals are made of.
#pragma once
#include <cstdint>

#include "elements/elements.h"
#include "elements/evalpoint.h"
#include "model/complexd.h"
#include "model/trees.h"

struct pde;
struct constraint;

// The region whose definitions apply at a point without a cell (the reader's and the
// domain's constant trees); 0 the global ones. Callers set and restore it.
extern uint16_t treeval_region;
extern uint8_t treeval_debug;  // DEBUG(TREEVAL)
// Set while a solver evaluates a trial point it may reject: an exponential past its
// range is then infinite rather than an error, and the trial is judged by that.
extern uint8_t treeval_trial;

// Sets up the EVAL and transfer points with their work cells; returns 0.
int treeval_init();

// ---- Values at a point ------------------------------------------------------------------
// The tree's scalar value at the point; a null tree is 0. Failures are located errors at
// the offending node ("DIVIDE BY ZERO", "RESULT IS NOT SCALAR", "ILLEGAL OPERATOR: "
// + name ...); they do not return. Allocates nothing.
double treeval_eval(pde *p, const TreeNode *tree, const evalpoint *point);
// The three components of a tree; returns its value tag (0 scalar: (value, 0, 0)).
int32_t treeval_eval_vec(pde *p, double out[3], const TreeNode *tree, const evalpoint *point);
// The complex value of a tree of value tag 2; returns the tag evaluated, 0 for null.
int32_t treeval_eval_complex(pde *p, complexd *out, const TreeNode *tree, const evalpoint *point);

// ---- Basis arrays ----------------------------------------------------------------------
// The tree's value for every trial function of the basis code at once (the tree being
// linear in the trial function its basis leaves stand for): returns the count, 1 for a
// single value that stands for every function, else the code's function count. At a
// rule point (quadrature index above 0) basis rows come from the problem's tables.
int32_t treeval_eval_ba(pde *p, double *out, const TreeNode *tree, evalpoint *point, int32_t code);
// The row of a constraint over the cell's functions: marks the point as forming the
// constraint's Jacobian (both marks stay) and returns treeval_eval_ba's count; 0 for null.
int32_t treeval_constraint_jacobian(pde *p, double *out, const TreeNode *tree, evalpoint *point, int32_t code,
                                    constraint *c);

// ---- Integrals over the point's localised cell ---------------------------------------------
// While one lives, the volume residual sweeps keep their integrands' compiled programs from
// one cell to the next, for a loop over the cells in which no tree changes; its end
// forgets them.
struct TreevalProgramsKept {
  TreevalProgramsKept();
  ~TreevalProgramsKept();
  TreevalProgramsKept(const TreevalProgramsKept &) = delete;
  TreevalProgramsKept &operator=(const TreevalProgramsKept &) = delete;
};

// Every loop below overwrites the point's quadrature index, local and global
// coordinates at each rule point, leaves the quadrature index 0 and the side as given.
// The scalar integral of the tree over the cell with the volume rule, and over the
// point's side with the side-rule set.
double treeval_vol_integrate(pde *p, const TreeNode *tree, evalpoint *point, int32_t rule);
double treeval_surf_integrate(pde *p, const TreeNode *tree, evalpoint *point, int32_t set);
// Residuals: out[i] for test function i of the code; returns the entries filled.
// A volume term is a sum of integral nodes, a side term of bintegral nodes.
int32_t treeval_vol_galerkin(pde *p, double *out, const TreeNode *term, evalpoint *point, int32_t code);
// The same for several terms against several codes in one loop over the rule points,
// each term's integrands evaluated once per point for all the codes: row (t, k) of term
// t and code k is out[(t*ncodes + k)*20 ...], the sums as treeval_vol_galerkin's.
// Returns the most entries a row holds.
int32_t treeval_vol_galerkin_set(pde *p, double *out, const TreeNode *const *terms, int nterms, evalpoint *point,
                                 const int32_t *codes, int ncodes);
// The same for nsets sets of values at once (as for several solutions on one cell): at
// each rule point, use(ctx, s) makes set s current before its terms are evaluated, so
// the point's coordinates, Jacobian and test rows are formed once for all sets. Set s
// fills rows from out[s*nterms*ncodes*20]; each set's sums are those of a call of its own.
int32_t treeval_vol_galerkin_sets(pde *p, double *out, const TreeNode *const *terms, int nterms, evalpoint *point,
                                  const int32_t *codes, int ncodes, int nsets, void (*use)(void *, int), void *ctx);
int32_t treeval_surf_galerkin(pde *p, double *out, const TreeNode *term, evalpoint *point, int32_t code);
// Jacobians: out[(i-1)*ncol + j] for test function i of row, trial function j of col.
// A null volume term gives zeros. The side Jacobian fills entries test-major and
// returns how many (nrow for a coefficient that does not depend on the trial function).
int32_t treeval_vol_jacobian(pde *p, double *out, const TreeNode *term, evalpoint *point, int32_t row,
                             int32_t col);
int32_t treeval_surf_jacobian(pde *p, double *out, const TreeNode *term, evalpoint *point, int32_t row,
                              int32_t col);
// The side integral (over the point's side, by its length) of the tree times each test
// function's value of the test tree (an array over the basis row): with col < 0 the
// tree's value, an array over row's functions; else the tree's array over col's trial
// functions, a row x col matrix.
int32_t treeval_surf_tested(pde *p, double *out, const TreeNode *value, const TreeNode *test, evalpoint *point,
                            int32_t row, int32_t col);
// The streamline upwind term of residual R (or Jacobian coefficient) with diffusion D,
// velocity V (a vector tree) and cell size H (null: the cell measure's root of the
// dimension), scaled by f.
int32_t treeval_upwind_galerkin(pde *p, double *out, const TreeNode *r, const TreeNode *d, const TreeNode *v,
                                const TreeNode *h, evalpoint *point, int32_t code, double f);
int32_t treeval_upwind_jacobian(pde *p, double *out, const TreeNode *coef, const TreeNode *d,
                                const TreeNode *v, const TreeNode *h, evalpoint *point, int32_t row,
                                int32_t col, double f);
// The upwind coefficient for diffusion d, velocity (vx, vy, vz) and cell size h.
double treeval_upweight(pde *p, double d, double vx, double vy, double vz, double h);
// The side factor of a boundary term on side s of the frame: selector 0 the side's
// length (2D) or area (3D), 1..3 the component of its size-weighted outward normal.
double treeval_side_factor(int dim, int s1, const ElementFrame *f, int side);
