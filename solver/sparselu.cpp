// sparselu: the complete sparse LU factor of a nonsymmetric matrix solved many times.

#include "solver/sparselu.h"

#include <algorithm>
#include <vector>

#include "runtime/debug.h"
#include "solver/sparsechol.h"

#ifdef QUENDAR_HAVE_UMFPACK
#include <umfpack.h>

namespace {

// The kept factor, of which matrix, and whether it could be made at all.
struct Kept {
  void *numeric = nullptr;
  const sparsemx *A = nullptr;
  uint64_t print = 0;
  bool usable = false;
  bool costly = false;  // declined for its operations alone: it fits
  void drop() {
    if (numeric) umfpack_di_free_numeric(&numeric);
    numeric = nullptr, A = nullptr, print = 0, usable = false, costly = false;
  }
  ~Kept() { drop(); }
};
Kept kept;

// The ordering of the last factor's pattern, kept beside it: a matrix of the same pattern
// (a Newton step's or a time step's Jacobian) is factored again without ordering it anew.
struct Ordering {
  void *symbolic = nullptr;
  uint64_t print = 0;
  int32_t n = 0;
  size_t nz = 0;
  double lunz = 0, flops = 0, fill = 0;
  bool dissected = false, costly = false;
  void drop() {
    if (symbolic) umfpack_di_free_symbolic(&symbolic);
    symbolic = nullptr, print = 0, n = 0, nz = 0;
  }
  ~Ordering() { drop(); }
};
Ordering ordering;

// The least estimate of the reciprocal condition of a factor that is used.
const double least_rcond = 1e-12;

// The most operations the factor may take per entry of the matrix, i.e. sweeps of the
// matrix an iteration could make in its stead. A plane mesh's factor takes about a
// thousand (50000 rows, quadratic cells); a solid's fits in memory but takes tens of
// thousands (25000 rows of cubic cells: 25000 to 41000, ten times the iteration's time
// with the library's BLAS), each Newton step again.
const double most_flops_per_entry = 10000.0;
// From this many operations an entry the nested dissection ordering is tried too.
const double solid_flops_per_entry = 3000.0;

// The library's settings: the assembled pattern is symmetric (a value condition clears
// its row and column in place), so the symmetric strategy orders A + A' by AMD and
// pivots on the diagonal where it can. The solves refine nothing: the matrix is not
// kept beside its factor.
void settings(double *control) {
  umfpack_di_defaults(control);
  control[UMFPACK_STRATEGY] = UMFPACK_STRATEGY_SYMMETRIC;
  control[UMFPACK_IRSTEP] = 0;
}

// The factor of A if it fits. A's rows are given to the library as columns: it holds
// the transpose, and solves with it transposed.
bool factor(const sparsemx *A, double fill, bool any_cost) {
  // Large blocks stay in the heap from the first factor on: a nonlinear time run makes a
  // factor of a few megabytes anew at every step.
  static const bool blocks_kept = (sparsechol_keep_large_blocks(), true);
  (void)blocks_kept;
  // One complete factor is kept at a time: a Cholesky factor kept from an earlier
  // matrix goes before this one is made.
  kept.drop();
  sparsechol_release();
  int32_t n = A->rows;
  size_t nz = size_t(sparsemx_entries(A));
  if (nz > size_t(INT32_MAX)) return false;
  std::vector<int> start(size_t(n) + 1), cols(nz);
  std::vector<double> values(nz);
  size_t at = 0;
  for (int32_t i = 0; i < n; i++) {
    start[size_t(i)] = int(at);
    const vectorld &r = A->data[i];
    for (int32_t k = 0; k < r.count; k++) cols[at] = r.keys[k] - 1, values[at++] = r.values[k];
  }
  start[size_t(n)] = int(at);
  double control[UMFPACK_CONTROL], info[UMFPACK_INFO];
  settings(control);
  uint64_t print = sparsemx_pattern_print(A);
  if (ordering.symbolic && ordering.print == print && ordering.n == n && ordering.nz == nz && ordering.fill == fill) {
    // Declined for its cost as the first was, but where any cost is taken.
    if (ordering.costly && !any_cost) {
      kept.costly = true;
      return false;
    }
    if (ordering.dissected) control[UMFPACK_ORDERING] = UMFPACK_ORDERING_METIS;
    int status =
        umfpack_di_numeric(start.data(), cols.data(), values.data(), ordering.symbolic, &kept.numeric, control, info);
    bool ok = status == UMFPACK_OK && info[UMFPACK_RCOND] > least_rcond;
    if (debug_file)
      debug_printf("SPARSELU N=%d NZ=%zu LUNZ=%g FLOPS=%g %s\n", n, nz, ordering.lunz, ordering.flops,
                   ok ? "FACTORED" : "DECLINED");
    if (!ok) kept.drop();
    return ok;
  }
  ordering.drop();
  void *symbolic = nullptr;
  int status = umfpack_di_symbolic(n, n, start.data(), cols.data(), values.data(), &symbolic, control, info);
  bool dissected = false;
  // The entries of L and U, and the operations to make them, by the ordering without
  // pivoting.
  double lunz = info[UMFPACK_SYMMETRIC_LUNZ], flops = info[UMFPACK_SYMMETRIC_FLOPS];
  bool fits = status == UMFPACK_OK && lunz <= fill * double(nz);
  bool costly = fits && flops > most_flops_per_entry * double(nz);
  bool ok = fits && (any_cost || !costly);
  // A factor taken whose minimum degree ordering costs thousands of operations an entry
  // (a solid's) may cost fewer by nested dissection: the cheaper ordering is kept. The
  // test above reads the minimum degree's figures, which the iteration was weighed
  // against.
  if (ok && flops > solid_flops_per_entry * double(nz)) {
    double dissect[UMFPACK_CONTROL], dinfo[UMFPACK_INFO];
    settings(dissect);
    dissect[UMFPACK_ORDERING] = UMFPACK_ORDERING_METIS;
    void *other = nullptr;
    if (umfpack_di_symbolic(n, n, start.data(), cols.data(), values.data(), &other, dissect, dinfo) == UMFPACK_OK &&
        dinfo[UMFPACK_SYMMETRIC_FLOPS] < flops) {
      umfpack_di_free_symbolic(&symbolic);
      symbolic = other, other = nullptr;
      lunz = dinfo[UMFPACK_SYMMETRIC_LUNZ], flops = dinfo[UMFPACK_SYMMETRIC_FLOPS];
      for (int i = 0; i < UMFPACK_CONTROL; i++) control[i] = dissect[i];
      dissected = true;
    }
    if (other) umfpack_di_free_symbolic(&other);
  }
  if (ok) {
    status = umfpack_di_numeric(start.data(), cols.data(), values.data(), symbolic, &kept.numeric, control, info);
    // A matrix singular but for rounding is left to the iteration, whose steps its null
    // space does not swamp.
    ok = status == UMFPACK_OK && info[UMFPACK_RCOND] > least_rcond;
  }
  if (ok && symbolic) {
    // Kept for the next matrix of this pattern: only a factor that was made is asked again.
    ordering.symbolic = symbolic, symbolic = nullptr;
    ordering.print = print, ordering.n = n, ordering.nz = nz;
    ordering.lunz = lunz, ordering.flops = flops, ordering.fill = fill;
    ordering.dissected = dissected, ordering.costly = costly;
  }
  if (symbolic) umfpack_di_free_symbolic(&symbolic);
  if (debug_file)
    debug_printf("SPARSELU N=%d NZ=%zu LUNZ=%g FLOPS=%g %s\n", n, nz, lunz, flops, ok ? "FACTORED" : "DECLINED");
  if (!ok) kept.drop();
  kept.costly = costly && !ok;
  return ok;
}

}  // namespace

bool sparselu_factor(const sparsemx *A, double fill, bool any_cost) {
  if (A->rows < 1) return false;
  uint64_t print = sparsemx_fingerprint(A);
  if (kept.A != A || kept.print != print || (any_cost && !kept.usable && kept.costly)) {
    kept.usable = factor(A, fill, any_cost);
    kept.A = A, kept.print = print;
  }
  return kept.usable;
}

bool sparselu_solve(double *x, const sparsemx *A, const double *b, double fill, bool any_cost) {
  return sparselu_solve_block(x, A, b, 1, fill, any_cost);
}

bool sparselu_solve_block(double *x, const sparsemx *A, const double *b, int32_t w, double fill, bool any_cost) {
  int32_t n = A->rows;
  if (w < 1 || !sparselu_factor(A, fill, any_cost)) return false;
  double control[UMFPACK_CONTROL], info[UMFPACK_INFO];
  settings(control);
  // Each column gathered, solved and scattered on its own: x may be b.
  std::vector<double> c(static_cast<size_t>(n)), y(static_cast<size_t>(n));
  for (int32_t t = 0; t < w; t++) {
    for (int32_t i = 0; i < n; i++) c[size_t(i)] = b[size_t(i) * w + t];
    if (umfpack_di_solve(UMFPACK_At, nullptr, nullptr, nullptr, y.data(), c.data(), kept.numeric, control, info) !=
        UMFPACK_OK)
      return false;
    for (int32_t i = 0; i < n; i++) x[size_t(i) * w + t] = y[size_t(i)];
  }
  return true;
}

void sparselu_release() {
  kept.drop();
  ordering.drop();
}

bool sparselu_declined_on_cost() { return !kept.usable && kept.costly; }

#else

bool sparselu_factor(const sparsemx *, double, bool) { return false; }
bool sparselu_solve(double *, const sparsemx *, const double *, double, bool) { return false; }
bool sparselu_solve_block(double *, const sparsemx *, const double *, int32_t, double, bool) { return false; }
bool sparselu_declined_on_cost() { return false; }
void sparselu_release() {}

#endif
