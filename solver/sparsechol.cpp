// sparsechol: the complete sparse Cholesky factor of a matrix solved many times.

#include "solver/sparsechol.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <malloc.h>
#include <vector>

#include "runtime/debug.h"
#include "runtime/rtlib.h"
#include "solver/sparselu.h"

// A factor takes and gives back blocks of hundreds of megabytes (at 500,000 unknowns the
// factor's values, the permuted matrix, the library's workspace). The allocator would map
// each such block afresh and unmap it when freed, so every page of the next one is faulted
// in and zeroed again by the kernel: a fifth of plane strain's time. From the first factor
// on, large blocks come from the heap and its free top is kept, so the next block reuses
// pages already mapped. The peak stays what it was. The same holds for the LU factor a
// nonlinear time run makes anew at every step (a few megabytes each: a tenth of its time
// went to faulting them in).
void sparsechol_keep_large_blocks() {
  mallopt(M_MMAP_MAX, 0);
  mallopt(M_TRIM_THRESHOLD, std::numeric_limits<int>::max());
}

#ifdef QUENDAR_HAVE_CHOLMOD
#include <cholmod.h>
#include <dlfcn.h>
#include <sys/resource.h>

namespace {

// The ordering and symbolic analysis of the last pattern analysed: a matrix of other values
// on the same pattern (a time step's J for a new step length, on the same mesh) is factored
// again without ordering it anew. Each factor is made in a copy of it, so that the analysis
// stays as the library made it (a block solve turns its factor simplicial).
struct Analysis {
  cholmod_factor *symbolic = nullptr;  // null: none kept
  uint64_t pattern = 0;                // the fingerprint of the pattern analysed
  int32_t n = 0;
  int64_t entries = 0;  // the matrix's stored entries
  size_t nz = 0;        // the entries of its lower triangle, off the diagonal
  double fill = 0;      // the bound it was weighed against
  double lnz = 0, fl = 0;
};

// The kept factor: of which matrix, and whether it could be made at all; and the analysis
// it was made from. Both are caches, each serving only the matrix, or the pattern, whose
// fingerprint it was made with.
struct Kept {
  cholmod_common c{};
  bool started = false;
  cholmod_factor *L = nullptr;
  const sparsemx *A = nullptr;
  uint64_t print = 0;
  bool usable = false;
  Analysis analysis;
  void drop() {
    if (L) cholmod_free_factor(&L, &c);
    L = nullptr, A = nullptr, print = 0, usable = false;
  }
  void forget() {
    if (analysis.symbolic) cholmod_free_factor(&analysis.symbolic, &c);
    analysis = Analysis{};
  }
  ~Kept() {
    drop();
    forget();
    if (started) cholmod_finish(&c);
  }
};
Kept kept;

// The least estimate of the reciprocal condition (the squared ratio of the factor's
// least and largest pivots) of a factor that is used.
const double least_rcond = 1e-10;

// The order, and the operations of AMD's factor per entry of the matrix, from which nested
// dissection is tried beside AMD: for a simplicial factor, and for a supernodal one, whose
// dense blocks go through the BLAS some eight times faster.
const int32_t large_order = 20000;
const double heavy_simplicial = 3000, heavy_supernodal = 20000;

// The library's supernodal factor runs loops of its own on a fixed number of threads (its
// OpenMP runtime, where it was built with one). The program is single-threaded and its CPU
// time is what counts: those threads only spin on a busy machine (a plane strain factor of
// 4 CPU-seconds took 290). The runtime's parallel regions are made inactive before any runs,
// so that they run on the calling thread alone. The call is looked up in whichever runtime
// the library brought in: linking one here would, under clang, bring clang's own runtime
// beside the library's, and set the limit in the wrong one.
void one_thread() {
  if (auto *set = reinterpret_cast<void (*)(int)>(dlsym(RTLD_DEFAULT, "omp_set_max_active_levels"))) set(0);
}

// Whether the process's address space is capped (ulimit -v). The BLAS under the supernodal
// factor maps a large work buffer at its first call and, where the cap refuses it, retries
// for ever: a capped run uses the simplicial factor, which allocates only what it needs and
// fails cleanly where that does not fit.
bool address_space_capped() {
  struct rlimit r {};
  return getrlimit(RLIMIT_AS, &r) == 0 && r.rlim_cur != RLIM_INFINITY;
}

// The lower triangle of P A P' by columns (P A P' is A without a permutation, pinv null;
// otherwise row i of A is row pinv[i] of P A P'), read from the upper part of A's rows,
// with its values or with its pattern alone. Without a permutation column i is row i's
// upper part, in order; with one, each entry goes to its column as the rows come, so a
// column's rows are not sorted, which the supernodal factor does not need. Built from the
// rows at once, the permuted matrix saves the library the two transposes by which it
// would make it from the unpermuted one.
cholmod_sparse *lower_triangle(const sparsemx *A, const int *pinv, bool values) {
  int32_t n = A->rows;
  size_t nz = 0;
  for (int32_t i = 0; i < n; i++) {
    const vectorld &r = A->data[i];
    for (int32_t k = 0; k < r.count; k++) nz += r.keys[k] >= i + 1;
  }
  cholmod_sparse *S = cholmod_allocate_sparse(size_t(n), size_t(n), nz, pinv == nullptr, 1, -1,
                                              values ? CHOLMOD_REAL : CHOLMOD_PATTERN, &kept.c);
  if (!S) return nullptr;
  int *p = static_cast<int *>(S->p), *ix = static_cast<int *>(S->i);
  double *v = values ? static_cast<double *>(S->x) : nullptr;
  if (!pinv) {
    size_t at = 0;
    for (int32_t i = 0; i < n; i++) {
      p[i] = int(at);
      const vectorld &r = A->data[i];
      for (int32_t k = 0; k < r.count; k++)
        if (r.keys[k] >= i + 1) {
          ix[at] = r.keys[k] - 1;
          if (v) v[at] = r.values[k];
          at++;
        }
    }
    p[n] = int(at);
    return S;
  }
  // Each column's count at p[column + 1], then its start at p[column]; the fill moves each
  // start to its column's end, which is the next column's start.
  std::fill(p, p + n + 1, 0);
  for (int32_t i = 0; i < n; i++) {
    const vectorld &r = A->data[i];
    for (int32_t k = 0; k < r.count; k++)
      if (r.keys[k] >= i + 1) p[std::min(pinv[i], pinv[r.keys[k] - 1]) + 1]++;
  }
  for (int32_t j = 0; j < n; j++) p[j + 1] += p[j];
  for (int32_t i = 0; i < n; i++) {
    const vectorld &r = A->data[i];
    for (int32_t k = 0; k < r.count; k++)
      if (r.keys[k] >= i + 1) {
        int a = pinv[i], b = pinv[r.keys[k] - 1];
        int at = p[std::min(a, b)]++;
        ix[at] = std::max(a, b);
        if (v) v[at] = r.values[k];
      }
  }
  for (int32_t j = n; j > 0; j--) p[j] = p[j - 1];
  p[0] = 0;
  return S;
}

// The supernodal factor of P A P' into L, from that matrix built directly.
bool factor_supernodal(const sparsemx *A, cholmod_factor *L) {
  int32_t n = A->rows;
  std::vector<int> pinv(static_cast<size_t>(n));
  const int *perm = static_cast<const int *>(L->Perm);
  for (int32_t k = 0; k < n; k++) pinv[size_t(perm[k])] = k;
  cholmod_sparse *S = lower_triangle(A, pinv.data(), true);
  if (!S) return false;
  double zero[2] = {0, 0};
  bool ok = cholmod_super_numeric(S, nullptr, zero, L, &kept.c);
  cholmod_free_sparse(&S, &kept.c);
  return ok;
}

// The ordering and symbolic analysis of A's pattern (lower triangle by columns from the rows'
// upper parts) into `a`; false where the library could not make it.
bool analyse(const sparsemx *A, double fill, Analysis &a) {
  int32_t n = A->rows;
  cholmod_sparse *S = lower_triangle(A, nullptr, false);
  if (!S) return false;
  size_t nz = static_cast<const int *>(S->p)[n];
  kept.c.nmethods = 1;
  kept.c.method[0].ordering = CHOLMOD_AMD;
  kept.c.postorder = 1;
  cholmod_factor *L = cholmod_analyze(S, &kept.c);
  // The library's analysis chooses the simplicial or the supernodal factor: the latter
  // where the factor's operations per entry (at least 40) make its dense blocks pay.
  // AMD orders a matrix well and fast. Where its factor costs many operations per entry of
  // the matrix, or does not fit, nested dissection is tried too and the lighter factor
  // kept. The dissection costs some 0.4 to 1.2 microseconds per entry; a simplicial factor
  // runs near 1.2e9 operations a second, a supernodal one near 1e10: plane strain at
  // 180,000 unknowns (3,700 per entry) factors in 4.5e9 operations after the dissection
  // where AMD's took 8.0e9, a saving of 3 s simplicial for 0.9 s, but of 0.3 s supernodal;
  // the scalar problem of 600,000 unknowns (4,800 per entry) would save 0.7 s for 4.7 s.
  const double heavy = L && L->is_super ? heavy_supernodal : heavy_simplicial;
  double fl = kept.c.fl, lnz = kept.c.lnz;
  if (L && n >= large_order && (fl > heavy * double(nz) || lnz > fill * double(nz))) {
    kept.c.method[0].ordering = CHOLMOD_METIS;
    cholmod_factor *M = cholmod_analyze(S, &kept.c);
    if (M && kept.c.fl < fl) {
      cholmod_free_factor(&L, &kept.c);
      L = M, fl = kept.c.fl, lnz = kept.c.lnz;
    } else if (M) {
      cholmod_free_factor(&M, &kept.c);
    }
  }
  cholmod_free_sparse(&S, &kept.c);
  if (!L) return false;
  a.symbolic = L, a.n = n, a.nz = nz, a.fill = fill, a.lnz = lnz, a.fl = fl;
  return true;
}

// The factor of A if it fits, from the kept analysis where A's pattern is the one analysed.
bool factor(const sparsemx *A, double fill) {
  if (!kept.started) {
    one_thread();
    sparsechol_keep_large_blocks();
    cholmod_start(&kept.c);
    kept.c.print = 0;
    kept.c.error_handler = nullptr;
    kept.c.supernodal = address_space_capped() ? CHOLMOD_SIMPLICIAL : CHOLMOD_AUTO;
    kept.c.final_ll = 1;
    // The factor's room is its columns' exact counts, with no slack to grow into.
    kept.c.grow0 = 1.0, kept.c.grow1 = 1.0, kept.c.grow2 = 0;
    kept.started = true;
  }
  kept.drop();
  sparselu_release();  // one complete factor is kept at a time
  int32_t n = A->rows;
  uint64_t pattern = sparsemx_pattern_print(A);
  int64_t entries = sparsemx_entries(A);
  Analysis &a = kept.analysis;
  if (!(a.symbolic && a.pattern == pattern && a.n == n && a.entries == entries && a.fill == fill)) {
    kept.forget();
    if (!analyse(A, fill, a)) {
      kept.forget();
      return false;
    }
    a.pattern = pattern, a.entries = entries;
  }
  // The simplicial factor takes the values of A's lower triangle, the supernodal one those
  // of the permuted matrix built for it.
  bool ok = a.lnz <= fill * double(a.nz);
  cholmod_factor *L = ok ? cholmod_copy_factor(a.symbolic, &kept.c) : nullptr;
  ok = L != nullptr;
  if (ok && L->is_super) ok = factor_supernodal(A, L);
  else if (ok) {
    cholmod_sparse *S = lower_triangle(A, nullptr, true);
    ok = S && cholmod_factorize(S, L, &kept.c);
    if (S) cholmod_free_sparse(&S, &kept.c);
  }
  ok = ok && kept.c.status == CHOLMOD_OK && L->minor == size_t(n);
  // A matrix singular but for rounding (a problem fixed nowhere by a value) factors with
  // a vanishing pivot, and its exact solves would be swamped by the null space: it is
  // left to the iteration, which does not amplify it.
  if (ok) ok = cholmod_rcond(L, &kept.c) > least_rcond;
  const char *kind = a.symbolic->is_super ? "SUPERNODAL" : "SIMPLICIAL";
  if (ok) kept.L = L;
  else if (L) cholmod_free_factor(&L, &kept.c);
  if (debug_file)
    debug_printf("SPARSECHOL N=%d NZ=%zu LNZ=%g FL=%g %s %s\n", n, a.nz, a.lnz, a.fl, kind,
                 ok ? "FACTORED" : "DECLINED");
  return ok;
}

typedef double quad4 __attribute__((vector_size(32), aligned(8), may_alias));
#define QUAD4(a) (*reinterpret_cast<quad4 *>(a))
#define CQUAD4(a) (*reinterpret_cast<const quad4 *>(a))

// y := (y - the sum over e < count of v[e] z(k[e])) / d for the w lanes of y, with z(k)
// at z + k*w: each lane's terms in order of e, eight or four lanes at a time in registers
// where the processor has them.
inline __attribute__((always_inline)) void row_solve(double *y, const double *z, int32_t w, const int *k,
                                                     const double *v, int32_t count, double d) {
  quad4 dd = {d, d, d, d};
  int32_t c = 0;
  for (; c + 8 <= w; c += 8) {
    quad4 a0 = CQUAD4(y + c), a1 = CQUAD4(y + c + 4);
    for (int32_t e = 0; e < count; e++) {
      const double *zr = z + size_t(k[e]) * w + c;
      quad4 s = {v[e], v[e], v[e], v[e]};
      a0 -= CQUAD4(zr) * s, a1 -= CQUAD4(zr + 4) * s;
    }
    QUAD4(y + c) = a0 / dd, QUAD4(y + c + 4) = a1 / dd;
  }
  if (c + 4 <= w) {
    quad4 a0 = CQUAD4(y + c);
    for (int32_t e = 0; e < count; e++) {
      quad4 s = {v[e], v[e], v[e], v[e]};
      a0 -= CQUAD4(z + size_t(k[e]) * w + c) * s;
    }
    QUAD4(y + c) = a0 / dd, c += 4;
  }
  for (; c < w; c++) {
    double a = y[c];
    for (int32_t e = 0; e < count; e++) a -= z[size_t(k[e]) * w + c] * v[e];
    y[c] = a / d;
  }
}

// a[t] -= b[t] s for t < w, four lanes at a time where the processor has them.
inline __attribute__((always_inline)) void sub_scaled(double *a, const double *b, double s, int32_t w) {
  quad4 v = {s, s, s, s};
  int32_t t = 0;
  for (; t + 4 <= w; t += 4) QUAD4(a + t) -= CQUAD4(b + t) * v;
  for (; t < w; t++) a[t] -= b[t] * s;
}

// x := A^-1 b for the w columns interleaved in b and x (row i at i*w) by the kept factor
// L L' = P A P' of a simplicial factor: up to 24 columns at a time go through L and
// L' together, eight in registers at a time, so the factor is read once for them and no
// column is copied out alone.
// L' sums each row in registers (by the columns of L); x may be b.
#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target_clones("avx2", "default")))
#endif
void solve_interleaved(double *x, const double *b, int32_t n, int32_t w) {
  const cholmod_factor *L = kept.L;
  const int *Lp = static_cast<const int *>(L->p), *Li = static_cast<const int *>(L->i);
  const int *Lnz = static_cast<const int *>(L->nz), *P = static_cast<const int *>(L->Perm);
  const double *Lx = static_cast<const double *>(L->x);
  // The factor (a few times the matrix) is read from memory once for every chunk: a
  // subspace block of up to 24 columns goes through it at once.
  const int32_t chunk = 24;
  // A chunk's lanes are padded with zero columns to a multiple of four: the lanes are
  // independent, and four-lane groups take fewer steps than lanes one by one.
  std::vector<double> y(size_t(n) * ((std::min(w, chunk) + 3) & ~3));
  for (int32_t c0 = 0; c0 < w; c0 += chunk) {
    int32_t mw = std::min(chunk, w - c0), m = (mw + 3) & ~3;
    for (int32_t k = 0; k < n; k++) {
      double *yk = y.data() + size_t(k) * m;
      std::copy_n(b + size_t(P[k]) * w + c0, mw, yk);
      std::fill(yk + mw, yk + m, 0.0);
    }
    for (int32_t j = 0; j < n; j++) {
      double *yj = y.data() + size_t(j) * m, d = Lx[Lp[j]];
      for (int32_t t = 0; t < m; t++) yj[t] /= d;
      for (int32_t q = Lp[j] + 1; q < Lp[j] + Lnz[j]; q++) sub_scaled(y.data() + size_t(Li[q]) * m, yj, Lx[q], m);
    }
    for (int32_t j = n - 1; j >= 0; j--)
      row_solve(y.data() + size_t(j) * m, y.data(), m, Li + Lp[j] + 1, Lx + Lp[j] + 1, Lnz[j] - 1, Lx[Lp[j]]);
    for (int32_t k = 0; k < n; k++) std::copy_n(y.data() + size_t(k) * m, mw, x + size_t(P[k]) * w + c0);
  }
}

// The kept factor of A, made anew unless it was made for A with the fingerprint `print`.
bool factor_printed(const sparsemx *A, uint64_t print, double fill) {
  if (A->rows < 1) return false;
  if (kept.A != A || kept.print != print) {
    kept.usable = factor(A, fill);
    kept.A = A, kept.print = print;
  }
  return kept.usable;
}

}  // namespace

bool sparsechol_factor(const sparsemx *A, double fill) {
  return A->rows >= 1 && factor_printed(A, sparsemx_fingerprint(A), fill);
}

bool sparsechol_solve_block(double *x, const sparsemx *A, const double *b, int32_t w, double fill) {
  return A->rows >= 1 && w >= 1 && sparsechol_solve_printed(x, A, sparsemx_fingerprint(A), b, w, fill);
}

bool sparsechol_solve_printed(double *x, const sparsemx *A, uint64_t print, const double *b, int32_t w, double fill) {
  int32_t n = A->rows;
  if (n < 1 || w < 1) return false;
  if (!factor_printed(A, print, fill)) return false;
  // A block solved by a supernodal factor: the factor is made simplicial once, whose
  // interleaved solve below runs at about twice the speed of the library's solve by blocks.
  if (w >= 2 && kept.L->is_super) cholmod_change_factor(CHOLMOD_REAL, 1, 0, 1, 1, kept.L, &kept.c);
  const cholmod_factor *L = kept.L;
  if (w >= 2 && L->is_ll && !L->is_super && L->xtype == CHOLMOD_REAL && L->itype == CHOLMOD_INT && L->Perm) {
    rtlib_may_trap(solve_interleaved)(x, b, n, w);
    return true;
  }
  // A few columns at a time, through the same dense blocks, so that the solve's copies
  // and workspace stay small beside the w columns of the caller.
  const int32_t chunk = 4;
  int32_t cw = std::min(w, chunk);
  cholmod_dense *B = cholmod_allocate_dense(size_t(n), size_t(cw), size_t(n), CHOLMOD_REAL, &kept.c);
  cholmod_dense *X = nullptr, *Y = nullptr, *E = nullptr;
  bool ok = B != nullptr;
  for (int32_t j0 = 0; ok && j0 < w; j0 += chunk) {
    int32_t m = std::min(chunk, w - j0);
    B->ncol = size_t(m);
    double *bb = static_cast<double *>(B->x);
    for (int32_t i = 0; i < n; i++)
      for (int32_t j = 0; j < m; j++) bb[size_t(j) * n + i] = b[size_t(i) * w + j0 + j];
    ok = cholmod_solve2(CHOLMOD_A, kept.L, B, nullptr, &X, nullptr, &Y, &E, &kept.c);
    if (!ok) break;
    const double *xx = static_cast<const double *>(X->x);
    for (int32_t i = 0; i < n; i++)
      for (int32_t j = 0; j < m; j++) x[size_t(i) * w + j0 + j] = xx[size_t(j) * n + i];
  }
  for (cholmod_dense **d : {&B, &X, &Y, &E})
    if (*d) cholmod_free_dense(d, &kept.c);
  return ok;
}

void sparsechol_release() {
  kept.drop();
  kept.forget();
}

bool sparsechol_rescaled(const sparsemx *A, uint64_t before, const double *e) {
  if (!kept.usable || !kept.L || kept.A != A || kept.print != before) return false;
  cholmod_factor *L = kept.L;
  if (!L->is_ll || L->xtype != CHOLMOD_REAL || L->itype != CHOLMOD_INT) return false;
  const int *perm = static_cast<const int *>(L->Perm);
  double *Lx = static_cast<double *>(L->x);
  // Row k of L (row perm[k] of A) takes the factor of that row.
  if (L->is_super) {
    const int *super = static_cast<const int *>(L->super), *pi = static_cast<const int *>(L->pi);
    const int *px = static_cast<const int *>(L->px), *Ls = static_cast<const int *>(L->s);
    for (size_t s = 0; s < L->nsuper; s++) {
      int nrow = pi[s + 1] - pi[s], ncol = super[s + 1] - super[s];
      for (int c = 0; c < ncol; c++)
        for (int r = 0; r < nrow; r++) Lx[size_t(px[s]) + size_t(c) * nrow + r] *= e[perm[Ls[pi[s] + r]]];
    }
  } else {
    const int *Lp = static_cast<const int *>(L->p), *Li = static_cast<const int *>(L->i);
    const int *Lnz = static_cast<const int *>(L->nz);
    for (size_t j = 0; j < L->n; j++)
      for (int q = Lp[j]; q < Lp[j] + Lnz[j]; q++) Lx[q] *= e[perm[Li[q]]];
  }
  kept.print = sparsemx_fingerprint(A);
  if (debug_file) debug_printf("SPARSECHOL N=%d RESCALED\n", A->rows);
  return true;
}

#else

bool sparsechol_factor(const sparsemx *, double) { return false; }
bool sparsechol_solve_block(double *, const sparsemx *, const double *, int32_t, double) { return false; }
bool sparsechol_solve_printed(double *, const sparsemx *, uint64_t, const double *, int32_t, double) { return false; }
void sparsechol_release() {}
bool sparsechol_rescaled(const sparsemx *, uint64_t, const double *) { return false; }

#endif
