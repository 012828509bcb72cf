// eigensol: the eigenvalue driver. The m eigenvalues of smallest magnitude of
// K x = lambda B x (K the Jacobian, B x the lambda side of the equations for a mode)
// by subspace iteration on M >= m vectors with a Rayleigh-Ritz step through a small
// dense generalized eigenproblem, the modes' error measure and regridding.
#pragma once
#include <cstdint>
#include <vector>

#include "runtime/vectord.h"
#include "runtime/matrixd.h"

struct pde;
struct TreeNode;

int eigensol_init();

// The lambda side as a sparse matrix in global numbering: row r holds the columns
// start[r]..start[r+1]-1 of cols (0-based, ascending) with their values.
struct LambdaSide {
  int32_t n = 0;  // rows; 0 when the problem's sources could not be probed
  std::vector<int32_t> start, cols;
  std::vector<double> vals;
};

// The state of one eigenvalue run, made by eigensol_do_eigen and handed to its steps:
// the small problem, sized M x M at each start; the lambda side as a matrix and its
// checks; the sources the projection carries over to the next sweep; the shift; the
// interleaved blocks of a pass, kept from pass to pass so that their pages are not taken
// afresh each time.
struct EigenRun {
  matrixd amat{}, bmat{}, qmat{};
  vectord lambda{}, alfr{}, alfi{}, beta{};
  LambdaSide lside;
  int32_t lside_checked = 0;     // products confirmed by a sweep on this grid
  const TreeNode *lside_trap{};  // where a trap in the sweep of the sources is reported
  std::vector<double> held;      // B X_j in row r at r*M + j
  bool held_projected = false;   // held = B X for the vectors subspace saw
  bool held_current = false;     // held = B X for the current vectors
  double shift = 0;
  bool solves_held = true;  // the last sweep's solves met their right-hand sides
  std::vector<double> block_rhs, block_sol, block_vectors;
  EigenRun() = default;
  EigenRun(const EigenRun &) = delete;
  EigenRun &operator=(const EigenRun &) = delete;
  ~EigenRun();
};

// Solves the eigenvalue problem: 8 when the run completed; the problem's phase
// unchanged when a stop request or the abort flag is set at the end.
int32_t eigensol_do_eigen(pde *p);

// One inverse-iteration sweep: X_j := K^-1 B X_j for every subspace vector; returns
// the RMS of the linear-solve results.
double e_solve(pde *p, EigenRun *run);
// The Rayleigh-Ritz projection: a = X^T K X, b(i,j) = X_i . (B X_j), both M x M.
void subspace(pde *p, EigenRun *run, matrixd *a, matrixd *b);
// a q = lambda b q for all M pairs (a and b destroyed), then the values ordered by
// ascending magnitude, equal magnitudes in their earlier order, the columns of q moved
// along. An infinite eigenvalue (beta 0) is never divided by and goes after every
// finite one (its entry is +infinity); one among the first MODES values is the
// execution error "Infinite Eigenvalue". EISPACK off: b symmetrized, the Cholesky path,
// "Choleski Factorization Failed" when it fails. Returns true on success.
bool sub_eigs(pde *p, EigenRun *run, vectord *lambda, matrixd *q, matrixd *a, matrixd *b);
// The new subspace X_j := sum_i q(i,j) X_i, each scaled to mean square 1.
void eig_expand(pde *p, EigenRun *run, const matrixd *q);
// The relative change of the first m estimates: sqrt(sum ((l - old) / d)^2 / m) with
// d = max(|l_i|, 1e-12 x the largest |l_j|, least), or the absolute change when all are
// 0. A shifted iteration passes the shift's size as least: a zero mode's estimate is
// settled when it moves little against the shift.
double eigensol_pass_error(const double *lambda, const double *old, int32_t m, double least = 0);
// Builds B for the current layout, value conditions and mesh from each cell's source
// terms for its unknowns' unit vectors, or, where one source sweep disagrees (a lambda
// term outside the cells), by one sweep per colour of the cells' unknowns (the first
// subspace vector carries each probe and is put back); false, with B->n = 0, when the sources may be nonlocal or not linear in
// the mode (scalar or constraint unknowns, periodic folding, derived globals,
// streamline terms).
bool eigensol_probe_lambda(pde *p, LambdaSide *B);
// y := B x for the w vectors interleaved in x and y (entry r of vector t at r*w + t;
// global numbering, unscaled), each row's sum in column order.
void eigensol_lambda_times(const LambdaSide *B, const double *x, double *y, int32_t w);
// One set of per-variable vectors per subspace vector (field variables one value per
// node, scalars one), and the carried fields: the field vectors of every set.
void eigensol_size_sets(pde *p);
