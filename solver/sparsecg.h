// sparsecg: the preconditioned Krylov solvers of every linear solve (conjugate
// gradients, bi-conjugate gradients, conjugate gradients on the normal equations),
// judged by the stagnation of the solution's RMS value.
#pragma once
#include <cstdint>
#include <vector>

#include "runtime/vector2d.h"
#include "runtime/vectord.h"
#include "solver/sparsemx.h"

struct pad;
struct bandmxd;

// Solver families and preconditioners; their pair picks one of the methods.
enum { orthomin = 0, lanczos = 1, vandenberg = 2, filllu = 3 };
enum { noprecon = 0, diprecon = 1, ataprecon = 2, biprecon = 3, luprecon = 4, bluprecon = 5, undefprecon = 6 };

// Set from the problem's SPARSECG debug switch.
extern uint8_t sparsecg_debug;

int sparsecg_init();

// Solves A x = b (n = b's length) with the method of (family, precon): M is the block
// preconditioner or the incomplete factor, D the diagonal preconditioner or the
// incomplete LU's diagonal, B the band LU factor. Work vectors come from the pool (4,
// 7 for lanczos) and go back to it. Iterates until, after 12 iterations, the change
// measure of the RMS of x(1..nl) falls to rel x its mean + abs; past maxit iterations
// the tolerances grow by 2^(100/maxit) per iteration, and 4 maxit iterations or the
// panel's stop key end it. Returns that RMS. With sparsecg_complete set, ICCG and BCCG
// on a large system solve it by A's complete sparse Cholesky factor where it fits, the
// nonsymmetric families by A's complete sparse LU factor. The filllu family, or a number outside
// the tables, is "Bad CG Method"; vandenberg with luprecon "BAD CG METHOD".
// U, when given and made from A (sparsecg_take_upper), serves the diagonally scaled
// conjugate gradients' products in A's place; with warm they start from the x given (of
// b's length) rather than from zero. *indefinite, when given, says whether a conjugate-gradient
// solve (family orthomin) met a direction p with p.Ap <= 0: its matrix is not positive definite.
struct sparsecg_upper;
double sparsecg_cg(vectord *x, const sparsemx *A, const sparsemx *M, const vectord *b, const vectord *D,
                   const bandmxd *B, vector2d *work, double rel, double abs, uint16_t maxit, pad *panel, int32_t family,
                   int32_t precon, int32_t nl, const sparsecg_upper *U = nullptr, bool warm = false,
                   bool *indefinite = nullptr);

// The upper triangle, the diagonal with it, of a symmetric matrix, row after row in one
// block (0-based columns): a product reads each entry off the diagonal once for both of
// its places, half the entries a whole matrix's product reads.
struct sparsecg_upper {
  int32_t rows = 0;
  std::vector<double> diag;          // the diagonal
  std::vector<int32_t> start, cols;  // row i's entries right of it: start[i] .. start[i + 1]
  // A triangle taken for the products of many solves (sparsecg_take_upper) whose rows'
  // columns rise by at most 65535 from the diagonal and from each other holds each entry's
  // column as that rise, cols left empty: two bytes an entry where a column takes four.
  std::vector<uint16_t> rises;
  std::vector<double> values;
};
// Whether every entry of A equals its mirror (an absent entry's mirror 0) to within 1e-12
// of the geometric mean of their two diagonal entries (an assembly's roundoff), and every
// row's columns rise within 1..rows.
bool sparsecg_symmetric(const sparsemx *A);
// U := the upper triangle of A, which sparsecg_symmetric accepts (or a sum of such).
void sparsecg_take_upper(sparsecg_upper *U, const sparsemx *A);

// Solves A X = B for w right-hand sides stored interleaved (entry i of column t at
// [i*w + t]; x and b hold A's rows x w entries) with the method of sparsecg_cg. For
// ICCG and BCCG with sparsecg_complete set, two columns or more are solved by A's
// complete sparse Cholesky factor where it fits, and for the LANCZOS and VANDENBERG
// families by A's complete sparse LU factor (res(t) then the RMS of column t's
// x(1..nl)); otherwise ICCG and BCCG run all columns at once, each with its own
// recurrence and stop test, so each column gets the bits of its own single solve; any
// other method solves the columns one by one. res(t) gets column t's result.
extern uint8_t sparsecg_complete;
// Solves A x = b (n = b's length) by A's complete sparse LU factor, kept while A
// stands, where it fits and sparsecg_complete is set; false, x untouched, otherwise.
bool sparsecg_solve_complete(vectord *x, const sparsemx *A, const vectord *b);
// Whether sparsecg_cg with (family, precon) first tries the complete factor on a system
// of n rows. The layout asks it too: the factor orders the rows itself, so the band
// reordering that serves the incomplete factor is then skipped.
bool sparsecg_takes_complete(int32_t family, int32_t precon, int32_t n);
// Whether sparsecg_cg_block would solve w columns of A by the complete factor, which is
// made here: the incomplete factor M is then never read.
bool sparsecg_block_factored(const sparsemx *A, int32_t family, int32_t precon, int32_t w);
// Whether a block of w columns is solved by the complete factor (should it fit its fill bound).
bool sparsecg_block_takes_complete(int32_t family, int32_t precon, int32_t w);
// Whether sparsecg_cg would solve A by the complete factor, which is made here: M is
// then never read, and may be left empty.
bool sparsecg_single_factored(const sparsemx *A, int32_t family, int32_t precon);
void sparsecg_cg_block(double *x, const sparsemx *A, const sparsemx *M, const double *b, const vectord *D,
                       const bandmxd *B, vector2d *work, int32_t w, double rel, double abs, uint16_t maxit,
                       pad *panel, int32_t family, int32_t precon, int32_t nl, double *res);

// A convergence history (newest first) and the mean of its latest values. Each solve
// keeps its own (a column of a block solve too): the stop test at iteration k > 12 reads
// the values of iterations 1..k only.
struct Asymptote {
  double h[12] = {};
  double mean = 1.0;
  // The measure at iteration k of the value v: the RMS change over the last 13 values
  // once k >= 12, else v itself.
  double step(int32_t k, double v);
};

// One CG step's update of the iterate and the residual: x += alpha p and r -= alpha q
// over n entries in one sweep; returns |r|^2 and sets *xx to |x(1..nl)|^2, each sum from
// 0.0 in index order.
double sparsecg_step_sweep(double *x, double *r, const double *p, const double *q, double alpha, int32_t n, int32_t nl,
                           double *xx);
