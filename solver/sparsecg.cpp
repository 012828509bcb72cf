// sparsecg: preconditioned conjugate-gradient, bi-conjugate-gradient and
// normal-equation solvers over sparsemx.
#include "solver/sparsecg.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <utility>
#include <vector>

#include "graphics/display.h"
#include "runtime/rtlib.h"
#include "solver/bandmxd.h"
#include "solver/pairs.h"
#include "solver/sparsechol.h"
#include "solver/sparselu.h"

uint8_t sparsecg_debug = 0;

double Asymptote::step(int32_t k, double v) {
  double s = (v - h[0]) * (v - h[0]), g = 0.0;
  for (int32_t i = 0; i < 11; i++) {
    s += (h[i] - h[i + 1]) * (h[i] - h[i + 1]);
    g += h[i];
  }
  mean = g / 12;
  memmove(h + 1, h, 11 * sizeof(double));
  h[0] = v;
  return k >= 12 ? std::sqrt(s / 12) : v;
}

int sparsecg_init() {
  TRACE("sparsecg");
  return 0;
}

// The method of each (family, preconditioner); the filllu row has none.
static const uint8_t method_table[4][7] = {
    {1, 2, 2, 3, 4, 5, 1},
    {6, 7, 7, 8, 9, 10, 6},
    {11, 12, 12, 13, 14, 15, 11},
    {0, 0, 0, 0, 0, 0, 0},
};

// The method of a (family, preconditioner) pair; 0 for a pair outside the table.
static int32_t method_of(int32_t family, int32_t precon) {
  return (family >= 0 && family <= 3 && precon >= 0 && precon <= 6) ? method_table[family][precon] : 0;
}

static const char *const method_names[16] = {
    "",         "Orthomin",   "Orthomin",    "Orthomin",    "ICCG",       "BCCG",
    "Lanczos",  "Lanczos",    "Lanczos",     "ILU Lanczos", "BLU Lanczos", "Vandenberg",
    "Vandenberg", "Vandenberg", nullptr,     "BLU Vandenberg"};

// Sum of squares over all entries, and over the first count.
static double norm_l(const vectord *v, int32_t count) {
  double s = 0.0;
  for (int32_t i = 0; i < count; i++) s += v->data[i] * v->data[i];
  return s;
}
static double norm(const vectord *v) { return norm_l(v, v->count); }

// x += alpha p and r -= alpha q in one sweep; returns |r|^2 and sets *xx to
// |x(1..nl)|^2, the two sums independent chains, each taken in index order as norm and
// norm_l take it. A function of its own, so that both sums stay in registers (within
// the solver's loop one was kept in memory, each entry waiting on the last one's store).
// p := beta p + r and t := D p, entry by entry (separate vectors), four entries at a time
// where the processor has 256-bit vectors: the same two roundings of each entry.
typedef double cg_quad __attribute__((vector_size(32), aligned(8), may_alias));
#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target_clones("avx2", "default")))
#endif
static void
direction_sweep(double *__restrict pd, double *__restrict td, const double *__restrict rd, const double *__restrict dd,
                double beta, int32_t n) {
  const cg_quad b = {beta, beta, beta, beta};
  int32_t i = 0;
  for (; i + 4 <= n; i += 4) {
    cg_quad pv = *reinterpret_cast<const cg_quad *>(pd + i) * b + *reinterpret_cast<const cg_quad *>(rd + i);
    *reinterpret_cast<cg_quad *>(pd + i) = pv;
    *reinterpret_cast<cg_quad *>(td + i) = *reinterpret_cast<const cg_quad *>(dd + i) * pv;
  }
  for (; i < n; i++) {
    pd[i] = beta * pd[i] + rd[i];
    td[i] = dd[i] * pd[i];
  }
}

// The updates and squares of four entries at a time are vector operations (each entry
// rounded as alone); the two sums still take the squares one by one in index order.
typedef double sweep_quad __attribute__((vector_size(32), aligned(8), may_alias));
#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target_clones("avx2", "default")))
#endif
static double
step_sweep(double *xd, double *rd, const double *pd, const double *qd, double alpha, int32_t n, int32_t nl,
           double *xx) {
  double rr = 0.0, ss = 0.0, b = -alpha;
  int32_t i = 0;
  const sweep_quad a4 = {alpha, alpha, alpha, alpha}, b4 = {b, b, b, b};
  for (; i + 4 <= nl; i += 4) {
    sweep_quad x = *reinterpret_cast<const sweep_quad *>(xd + i) + a4 * *reinterpret_cast<const sweep_quad *>(pd + i);
    sweep_quad r = *reinterpret_cast<const sweep_quad *>(rd + i) + b4 * *reinterpret_cast<const sweep_quad *>(qd + i);
    *reinterpret_cast<sweep_quad *>(xd + i) = x;
    *reinterpret_cast<sweep_quad *>(rd + i) = r;
    sweep_quad r2 = r * r, x2 = x * x;
    rr += r2[0], ss += x2[0];
    rr += r2[1], ss += x2[1];
    rr += r2[2], ss += x2[2];
    rr += r2[3], ss += x2[3];
  }
  for (; i < nl; i++) {
    xd[i] += alpha * pd[i];
    rd[i] += b * qd[i];
    rr += rd[i] * rd[i];
    ss += xd[i] * xd[i];
  }
  for (; i < n; i++) {
    xd[i] += alpha * pd[i];
    rd[i] += b * qd[i];
    rr += rd[i] * rd[i];
  }
  *xx = ss;
  return rr;
}

// The public entry is not multiversioned itself: a declared function may not take clones
// after its declaration, so the loop lives in the file-local function above.
double sparsecg_step_sweep(double *xd, double *rd, const double *pd, const double *qd, double alpha, int32_t n,
                           int32_t nl, double *xx) {
  return rtlib_may_trap(step_sweep)(xd, rd, pd, qd, alpha, n, nl, xx);
}

namespace {

// One solve's operands and its method's preconditioner P.
struct Solve {
  int32_t method;
  const sparsemx *A, *M;
  const vectord *D;
  const bandmxd *B;

  // out := P v (transpose: Pt v); out is never v.
  void apply(vectord *out, const vectord *v, bool transpose) const {
    switch (method) {
      case 1: case 6: case 11:
        vectord_copyto_0(out, v);
        break;
      case 2: case 7: case 12:
        vectord_mul(out, D, v);
        break;
      case 3: case 8: case 13:
        if (transpose) sparsemx_mtv_0(out, M, v);
        else sparsemx_mv_0(out, M, v);
        break;
      case 9:
        if (transpose) sparsemx_inclu_solvet(out, M, D, v);
        else sparsemx_inclu_solve(out, M, D, v);
        break;
      case 10: case 15:
        if (transpose) bandmxd_lu_solvet(out, B, v);
        else bandmxd_lu_solve(out, B, v);
        break;
      default:
        rtlib_fatal_in("sparsecg_cg_0", "Bad CG Method");
    }
  }
};

// z := s*x + y in place on z = y, without the resize checks of the inner loops.
void axpy(vectord *y, double s, const vectord *x) {
  double *yd = y->data;
  const double *xd = x->data;
  for (int32_t i = 0, n = y->count; i < n; i++) yd[i] += s * xd[i];
}
// p := s*p + r.
void xpay(vectord *p, double s, const vectord *r) {
  double *pd = p->data;
  const double *rd = r->data;
  for (int32_t i = 0, n = p->count; i < n; i++) pd[i] = s * pd[i] + rd[i];
}

// The panel lines of a solve: the method's name with the iteration, "Convergence".
void report_lines(pad *panel, int32_t method, uint16_t *line, uint16_t *conv) {
  String name = {uint16_t(strlen(method_names[method])), 0, const_cast<char *>(method_names[method])};
  String label = {11, 0, const_cast<char *>("Convergence")};
  *line = display_report_num(panel, 0, &name, 1);
  *conv = display_report_real(panel, 0, &label, 1.0);
}

// The loops below take the interleaved columns row by row, all of them (in chunks of
// at most 32) in each row, so every vector is read once per call, and two columns at a
// time in explicit pairs; each column's sums still run from 0.0 in index order with the
// same operations, so every column gets the bits it would get alone. Each loop is built
// for every width FW up to 32, whose sums then stay in registers (FW = 1, a single
// solve, compiles to plain scalar loops); FW = 0 takes any width.
constexpr int32_t chunk = 32;

// out(t) := sum over i < n of a(i, t) * b(i, t) for the w interleaved columns.
template <int FW>
[[gnu::noinline]] void column_dots(double *out, const double *a, const double *b, int32_t n, int32_t w) {
  if (FW) w = FW;
  for (int32_t t = 0; t < w; t += chunk) {
    int32_t W = std::min(chunk, w - t), P = W & ~1;
    pair2 s[chunk / 2] = {};
    double s1 = 0.0;
    for (int32_t i = 0; i < n; i++) {
      const double *ai = a + size_t(i) * w + t, *bi = b + size_t(i) * w + t;
      for (int32_t j = 0; j < P; j += 2) s[j / 2] += load2(ai + j) * load2(bi + j);
      if (P < W) s1 += ai[P] * bi[P];
    }
    for (int32_t j = 0; j < P; j += 2) out[t + j] = s[j / 2][0], out[t + j + 1] = s[j / 2][1];
    if (P < W) out[t + P] = s1;
  }
}

// y += s(t) p and r -= s(t) q, column t by column, in one pass with the new sums of
// squares: rr(t) of r over all n rows, yy(t) of y over the first nl.
template <int FW>
[[gnu::noinline]] void advance(double *y, double *r, const double *p, const double *q, const double *s, int32_t n,
                               int32_t nl, int32_t w, double *rr, double *yy) {
  if (FW) w = FW;
  for (int32_t t = 0; t < w; t += chunk) {
    int32_t W = std::min(chunk, w - t), P = W & ~1;
    pair2 u[chunk / 2], sr[chunk / 2] = {}, sy[chunk / 2] = {};
    for (int32_t j = 0; j < P; j += 2) u[j / 2] = pair2{s[t + j], s[t + j + 1]};
    double u1 = P < W ? s[t + P] : 0.0, sr1 = 0.0, sy1 = 0.0;
    for (int32_t i = 0; i < n; i++) {
      size_t o = size_t(i) * w + t;
      double *yo = y + o, *ro = r + o;
      const double *po = p + o, *qo = q + o;
      for (int32_t j = 0; j < P; j += 2) {
        pair2 yv = load2(yo + j) + u[j / 2] * load2(po + j);
        pair2 rv = load2(ro + j) + -u[j / 2] * load2(qo + j);
        store2(yo + j, yv);
        store2(ro + j, rv);
        sr[j / 2] += rv * rv;
        if (i < nl) sy[j / 2] += yv * yv;
      }
      if (P < W) {
        yo[P] += u1 * po[P];
        ro[P] += -u1 * qo[P];
        sr1 += ro[P] * ro[P];
        if (i < nl) sy1 += yo[P] * yo[P];
      }
    }
    for (int32_t j = 0; j < P; j += 2) {
      rr[t + j] = sr[j / 2][0], rr[t + j + 1] = sr[j / 2][1];
      yy[t + j] = sy[j / 2][0], yy[t + j + 1] = sy[j / 2][1];
    }
    if (P < W) rr[t + P] = sr1, yy[t + P] = sy1;
  }
}

// p := beta(t) p + r, column t by column.
template <int FW>
[[gnu::noinline]] void redirect(double *p, const double *r, const double *beta, int32_t n, int32_t w) {
  if (FW) w = FW;
  for (int32_t t = 0; t < w; t += chunk) {
    int32_t W = std::min(chunk, w - t), P = W & ~1;
    pair2 u[chunk / 2];
    for (int32_t j = 0; j < P; j += 2) u[j / 2] = pair2{beta[t + j], beta[t + j + 1]};
    double u1 = P < W ? beta[t + P] : 0.0;
    for (int32_t i = 0; i < n; i++) {
      double *po = p + size_t(i) * w + t;
      const double *ro = r + size_t(i) * w + t;
      for (int32_t j = 0; j < P; j += 2) store2(po + j, u[j / 2] * load2(po + j) + load2(ro + j));
      if (P < W) po[P] = u1 * po[P] + ro[P];
    }
  }
}

// The loop f built for width w: f<w> up to 32, f<0> beyond.
#define BY_WIDTH(f, w)                                                                    \
  ([]<size_t... I>(std::index_sequence<I...>) {                                           \
    static constexpr decltype(&f<0>) built[] = {&f<int(I)>...};                         \
    return built;                                                                         \
  }(std::make_index_sequence<chunk + 1>{})[(w) <= chunk ? (w) : 0])

// Keeps the columns keep[0..kept) of the w interleaved ones, in place.
void compact(double *v, int32_t n, int32_t w, const int32_t *keep, int32_t kept) {
  for (int32_t i = 0; i < n; i++)
    for (int32_t t = 0; t < kept; t++) v[size_t(i) * kept + t] = v[size_t(i) * w + keep[t]];
}

// The width in [kept, was] that carries kept iterating columns at the least cost. The
// block products take the whole width in one pass, in lanes of four or two and a last
// single one; the cost counts each group of 16 and each of the 8, 4, 2 and 1 after them
// as eight columns. It keeps the width round and carries stopped columns as zeros
// rather than narrowing the block at every stop (measured faster than carrying exactly
// the kept columns).
int32_t carried_width(int32_t kept, int32_t was) {
  auto cost = [](int32_t v) { return 8 * (v / 16 + __builtin_popcount(unsigned(v % 16))) + v; };
  int32_t best = kept;
  for (int32_t v = kept + 1; v <= was; v++)
    if (cost(v) < cost(best)) best = v;
  return best;
}

// Conjugate gradients preconditioned by the incomplete Cholesky factor M on both sides
// (ICCG and BCCG) for w right-hand sides interleaved in b, each column with its own
// recurrence and stop test; a single solve keeps the history that spans calls. The
// columns still iterating are kept together (their original numbers in col), a column
// that stops leaves its result in x.
double iccg(double *x, const sparsemx *A, const sparsemx *M, const double *b, int32_t n, int32_t w, vector2d *work,
            double rel, double abs, uint16_t maxit, pad *panel, int32_t method, int32_t nl, double *res,
            bool *indefinite) {
  int32_t budget = std::max<int32_t>(maxit, 1);
  nl = std::max(1, std::min(nl, n));
  int32_t N = n * w;
  vectord *rv = vector2d_get_work(work, N), *pv = vector2d_get_work(work, N);
  vectord *qv = vector2d_get_work(work, N), *tv = vector2d_get_work(work, N);
  // The iterates: a single column is never compacted and works in x itself.
  vectord *yv = w > 1 ? vector2d_get_work(work, N) : nullptr;
  double *r = rv->data, *p = pv->data, *q = qv->data, *t2 = tv->data, *y = yv ? yv->data : x;
  std::vector<Asymptote> own(static_cast<size_t>(w));
  Asymptote *hist = own.data();
  const size_t cols = size_t(w);
  std::vector<double> rho(cols), sigma(cols), m(cols, 0.0), c(cols, 1.0), step(cols), beta(cols), sq(cols),
      yy(cols);
  std::vector<int32_t> col(cols), keep(cols);
  std::vector<char> met(cols);
  std::iota(col.begin(), col.end(), 0);
  // 2-4. Residual, direction and rho.
  sparsemx_inchol_forward_block(r, M, b, w);
  std::fill(y, y + N, 0.0);
  std::copy(r, r + N, p);
  // The vector loops for the current width.
  auto dots = [&](double *out, const double *a, const double *b, int32_t v) {
    BY_WIDTH(column_dots, v)(out, a, b, n, v);
  };
  dots(rho.data(), r, r, w);
  // 5. Growth of the tolerances past the budget; the panel lines.
  for (int32_t j = 0; j < w; j++) hist[j].mean = 1.0;
  double growth = std::pow(2.0, 100.0 / double(budget));
  uint16_t line = 0, conv = 0;
  if (panel) report_lines(panel, method, &line, &conv);
  int32_t wa = w;  // the columns still iterating: position a holds column col[a]
  for (int32_t k = 1; wa > 0; k++) {
    if (k > budget) {
      rel *= growth;
      abs *= growth;
    }
    if (panel) {
      double shown = 0;
      for (int32_t a = 0; a < wa; a++) shown = std::max(shown, c[size_t(a)]);
      display_update_num(panel, line, k);
      display_update_real(panel, conv, shown);
    }
    // 3. q := L^-1 A L^-t p.
    sparsemx_inchol_back_block(t2, M, p, wa);
    sparsemx_mv_block(q, A, t2, wa);
    sparsemx_inchol_forward_block(q, M, q, wa);
    // 4-5. Step.
    dots(sigma.data(), p, q, wa);
    for (int32_t a = 0; a < wa; a++)
      if (sigma[size_t(a)] <= 0 && rho[size_t(a)] != 0) *indefinite = true;
    for (int32_t a = 0; a < wa; a++) step[size_t(a)] = sigma[size_t(a)] == 0 ? rho[size_t(a)] : rho[size_t(a)] / sigma[size_t(a)];
    BY_WIDTH(advance, wa)(y, r, p, q, step.data(), n, nl, wa, sq.data(), yy.data());
    // 6-8. New rho and direction.
    for (int32_t a = 0; a < wa; a++) {
      beta[size_t(a)] = rho[size_t(a)] == 0 ? sq[size_t(a)] : sq[size_t(a)] / rho[size_t(a)];
      rho[size_t(a)] = sq[size_t(a)];
    }
    BY_WIDTH(redirect, wa)(p, r, beta.data(), n, wa);
    rtlib_poll_interrupt();  // a request to end does not wait for the iteration limit
    // 9-10. The RMS of the field unknowns and the stop tests, column by column: a
    // column stops when its test is met or its RMS is 0; the iteration limit and the
    // stop key, polled while a column goes on, stop them all.
    bool some = false;
    for (int32_t a = 0; a < wa; a++) {
      if (col[size_t(a)] < 0) continue;  // a zero column carried along
      Asymptote &h = hist[col[size_t(a)]];
      m[size_t(a)] = std::sqrt(yy[size_t(a)] / nl);
      c[size_t(a)] = h.step(k, m[size_t(a)]);
      met[size_t(a)] = k > 12 && c[size_t(a)] <= h.mean * rel + abs;
      some = some || !met[size_t(a)];
    }
    bool out = some && (k > 4 * budget || (panel && display_checkkey(panel)));
    int32_t kept = 0, spare = 0;
    for (int32_t a = 0; a < wa; a++) {
      int32_t j = col[size_t(a)];
      if (j >= 0 && (met[size_t(a)] || out || m[size_t(a)] == 0)) {
        res[j] = m[size_t(a)];
        for (int32_t i = 0; i < n; i++) x[size_t(i) * w + j] = y[size_t(i) * wa + a];
        col[size_t(a)] = j = -1;
      }
      if (j >= 0) kept++;
      else spare++;
    }
    if (kept == 0) break;
    if (spare > 0) {
      // The columns still iterating, carried in a width the products take in few
      // groups: stopped columns fill the rest as zeros, which stay zero.
      int32_t to = carried_width(kept, wa);
      int32_t zeros = to - kept, t = 0;
      for (int32_t a = 0; a < wa; a++) {
        if (col[size_t(a)] < 0) {
          if (zeros == 0) continue;
          zeros--;
        }
        keep[size_t(t)] = a;
        col[size_t(t)] = col[size_t(a)];
        rho[size_t(t)] = col[size_t(a)] >= 0 ? rho[size_t(a)] : 0.0;
        c[size_t(t)] = col[size_t(a)] >= 0 ? c[size_t(a)] : 0.0;
        t++;
      }
      if (to < wa)
        for (double *v : {r, p, y}) compact(v, n, wa, keep.data(), to);
      wa = to;
      for (int32_t a = 0; a < wa; a++)
        if (col[size_t(a)] < 0)
          for (double *v : {r, p, y})
            for (int32_t i = 0; i < n; i++) v[size_t(i) * wa + a] = 0.0;
    }
  }
  // End: undo the right preconditioning.
  sparsemx_inchol_back_block(t2, M, x, w);
  std::copy(t2, t2 + N, x);
  for (vectord *v : {rv, pv, qv, tv, yv})
    if (v) vector2d_free_work(v);
  if (panel) display_unreport(panel, line);
  return res[w - 1];
}

}  // namespace

// The complete factor's entries at most this many times those of the matrix's lower
// triangle (a plane mesh's factor fits, a solid's does not): past it the factor's memory
// and time outweigh what it saves. A single solve takes the Cholesky factor from
// chol_rows rows up: from there it, with the band reordering it spares the layout, costs
// less than the incomplete factor's iterations. The LU factor is taken from lu_rows up.
static const double chol_fill = 40.0;
static const int32_t chol_rows = 1000;
static const int32_t lu_rows = 20000;
uint8_t sparsecg_complete = 1;

bool sparsecg_takes_complete(int32_t family, int32_t precon, int32_t n) {
  int32_t method = method_of(family, precon);
  return (method == 4 || method == 5) && sparsecg_complete && n >= chol_rows;
}

bool sparsecg_solve_complete(vectord *x, const sparsemx *A, const vectord *b) {
  int32_t n = b->count;
  if (!sparsecg_complete || n < 1 || A->rows != n) return false;
  vectord_resize(x, n, std::max(n, x->capacity));
  return sparselu_solve(x->data, A, b->data, chol_fill);
}

// Whether a block of w columns solved by (family, precon) takes the complete LU factor:
// the nonsymmetric families' blocks, solved again every pass of the driver that asks.
static bool block_takes_lu(int32_t family, int32_t precon, int32_t w) {
  return (family == lanczos || family == vandenberg) && method_of(family, precon) != 0 && sparsecg_complete && w >= 2;
}

bool sparsecg_block_takes_complete(int32_t family, int32_t precon, int32_t w) {
  int32_t method = method_of(family, precon);
  return ((method == 4 || method == 5) && sparsecg_complete && w >= 2) || block_takes_lu(family, precon, w);
}

bool sparsecg_block_factored(const sparsemx *A, int32_t family, int32_t precon, int32_t w) {
  if (block_takes_lu(family, precon, w)) return sparselu_factor(A, chol_fill);
  return sparsecg_block_takes_complete(family, precon, w) && sparsechol_factor(A, chol_fill);
}

bool sparsecg_single_factored(const sparsemx *A, int32_t family, int32_t precon) {
  return sparsecg_takes_complete(family, precon, A->rows) && sparsechol_factor(A, chol_fill);
}

// The RMS of column j's x(1..nl) in a block of w interleaved columns.
static double column_rms(const double *x, int32_t n, int32_t nl, int32_t w, int32_t j) {
  int32_t l = std::max(1, std::min(nl, n));
  double s = 0;
  for (int32_t i = 0; i < l; i++) s += x[size_t(i) * w + j] * x[size_t(i) * w + j];
  return std::sqrt(s / l);
}

// Asks for the cache lines of the bytes [at + ahead, at + bytes + ahead) before they are
// read. A request names an address only and never faults, so one past the end of the
// storage is harmless.
static inline void ask_ahead(const void *at, size_t bytes, size_t ahead) {
  uintptr_t a = (reinterpret_cast<uintptr_t>(at) + ahead) & ~uintptr_t(63), e = a + bytes + 63;
  for (; a < e; a += 64) __builtin_prefetch(reinterpret_cast<const void *>(a));
}

// q_i := D_i (row i of A) . t and returns p . q: each row's sum from 0.0 in column order,
// the dot in row order. Rows go four at a time, their sums independent chains that
// overlap where one row alone waits on each addition. A matrix too large to stay in
// the cache between products (far) is read from memory, faster when asked for ahead
// than when the processor finds the streams itself: the entries some 160 places on
// (the rows lie one after another) are asked for as each four rows start. A matrix
// that stays in the cache would only pay for the asking.
[[gnu::noinline]] static double scaled_product(double *q, const sparsemx *A, const double *t, const double *D,
                                               const double *p, int32_t n, bool far) {
  const double *td = t - 1;  // keys are 1-based
  constexpr size_t ahead = 160;
  double dot = 0.0;
  int32_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const vectorld *r = A->data + i;
    const int32_t *c0 = r[0].keys, *c3 = r[3].keys;
    const double *v0 = r[0].values, *v3 = r[3].values;
    int32_t m3 = r[3].count;
    // The four rows' entries, where they lie one after another, asked for as one span.
    size_t mm = size_t(r[0].count) + r[1].count + r[2].count + m3;
    if (far && reinterpret_cast<uintptr_t>(v3 + m3) - reinterpret_cast<uintptr_t>(v0) == 8 * mm &&
        reinterpret_cast<uintptr_t>(c3 + m3) - reinterpret_cast<uintptr_t>(c0) == 4 * mm) {
      ask_ahead(v0, 8 * mm, 8 * ahead);
      ask_ahead(c0, 4 * mm, 4 * ahead);
    } else if (far) {
      for (int j = 0; j < 4; j++) {
        ask_ahead(r[j].values, 8 * size_t(r[j].count), 8 * ahead);
        ask_ahead(r[j].keys, 4 * size_t(r[j].count), 4 * ahead);
      }
    }
    double s[4];
    sparsemx_four_rows(r, td, s);
    q[i] = s[0] * D[i], q[i + 1] = s[1] * D[i + 1], q[i + 2] = s[2] * D[i + 2], q[i + 3] = s[3] * D[i + 3];
    dot += p[i] * q[i];
    dot += p[i + 1] * q[i + 1];
    dot += p[i + 2] * q[i + 2];
    dot += p[i + 3] * q[i + 3];
  }
  for (; i < n; i++) {
    const vectorld &row = A->data[i];
    double sum = 0.0;
    for (int32_t k = 0; k < row.count; k++) sum += row.values[k] * td[row.keys[k]];
    q[i] = sum * D[i];
    dot += p[i] * q[i];
  }
  return dot;
}

// Entries that differ from their mirrors by at most this much of the geometric mean of
// their two diagonal entries are taken as equal: the roundoff of an assembly that sums a
// cell's contributions to the two places in different orders.
static const double mirror_tolerance = 1e-12;

// S := the upper triangle of D A D (of A when D is absent), the diagonal with it. With
// judge, also whether A is symmetric: every entry equal to its mirror (an absent entry's
// mirror 0) to within the tolerance, every row's columns rising within 1..n. Each row's
// entries left of its diagonal meet their mirrors in the upper rows already taken, in order
// (pos[c]: the next entry of row c not yet met), where the compact copy is read rather than
// A's rows. The scaled entries meet the same test (D > 0 scales both sides by D_i D_c). The
// first misfit ends it and leaves S->rows = 0. Without judge the triangle is only copied;
// with rises, its columns are held as their rises (sparsecg_upper::rises), and a rise
// beyond them, or a column that does not rise, likewise ends it.
static bool upper_of(sparsecg_upper *S, const sparsemx *A, const double *D, bool judge, bool rises = false) {
  TRACE("sparsecg_upper_of");
  int32_t n = A->rows;
  S->rows = 0;
  S->diag.assign(size_t(n), 0.0);
  S->start.assign(size_t(n) + 1, 0);
  size_t room = size_t(std::max<int64_t>(0, (sparsemx_entries(A) - n) / 2 + n));
  S->cols.clear(), S->rises.clear(), S->values.clear();
  // The form not taken gives its room back.
  if (rises) S->cols.shrink_to_fit(), S->rises.reserve(room);
  else S->rises.shrink_to_fit(), S->cols.reserve(room);
  S->values.reserve(room);
  std::vector<int32_t> pos(size_t(n), 0);
  std::vector<double> root(size_t(n), 0.0);
  auto near = [&](double a, double b, int32_t i, int32_t c) {
    return std::fabs(a - b) <= root[size_t(i)] * root[size_t(c)];
  };
  bool ok = true;
  for (int32_t i = 0; i < n; i++) {
    const vectorld &row = A->data[i];
    double di = D ? D[i] : 1.0;
    int32_t d = 0, last = 0;
    for (; d < row.count && row.keys[d] - 1 < i; d++) ok = ok && (!judge || row.keys[d] > last), last = row.keys[d];
    int32_t e = d;
    if (e < row.count && row.keys[e] - 1 == i) {
      double v = di * row.values[e] * di;
      S->diag[size_t(i)] = v, root[size_t(i)] = std::sqrt(mirror_tolerance * std::fabs(v)), last = row.keys[e++];
    }
    for (int32_t l = 0; l < d && judge && ok; l++) {
      int32_t c = row.keys[l] - 1, &k = pos[size_t(c)], end = S->start[size_t(c) + 1];
      double v = di * row.values[l] * (D ? D[c] : 1.0);
      while (k < end && S->cols[size_t(k)] < i && near(S->values[size_t(k)], 0.0, i, c)) k++;
      if (k < end && S->cols[size_t(k)] == i) ok = near(S->values[size_t(k++)], v, i, c);
      else ok = near(v, 0.0, i, c);
      if (!ok) return false;
    }
    pos[size_t(i)] = int32_t(S->values.size());
    for (int32_t was = i; e < row.count; e++) {
      if (judge && (row.keys[e] > n || row.keys[e] <= last)) return false;
      last = row.keys[e];
      int32_t c = row.keys[e] - 1;
      if (rises && (c <= was || c - was > 65535)) return false;
      if (rises) S->rises.push_back(uint16_t(c - was)), was = c;
      else S->cols.push_back(c);
      S->values.push_back(di * row.values[e] * (D ? D[c] : 1.0));
    }
    S->start[size_t(i) + 1] = int32_t(S->values.size());
    if (!ok) return false;
  }
  // Every entry right of a diagonal met its mirror, or is 0.
  for (int32_t c = 0; c < n && ok && judge; c++)
    for (int32_t k = pos[size_t(c)]; k < S->start[size_t(c) + 1] && ok; k++)
      ok = near(S->values[size_t(k)], 0.0, S->cols[size_t(k)], c);
  if (ok) S->rows = n;
  return ok;
}

bool sparsecg_symmetric(const sparsemx *A) {
  TRACE("sparsecg_symmetric");
  if (!A->data) return false;
  sparsecg_upper U;
  return upper_of(&U, A, nullptr, true);
}

// U's values := those of A where U was laid out as A's upper triangle is now (each row's
// entries right of its diagonal at A's columns there, whatever U's rows say): the copy
// upper_of makes, without laying U out anew. False at the first misfit, U's values then
// partly rewritten.
static bool refill_upper(sparsecg_upper *U, const sparsemx *A) {
  int32_t n = A->rows;
  bool rises = !U->rises.empty();
  if (U->start.size() != size_t(n) + 1 || U->diag.size() != size_t(n) || U->start[0] != 0 ||
      size_t(U->start[size_t(n)]) != U->values.size() || (rises ? U->rises.size() : U->cols.size()) != U->values.size())
    return false;
  const int32_t *start = U->start.data(), *cols = U->cols.data();
  const uint16_t *rise = U->rises.data();
  double *values = U->values.data(), *diag = U->diag.data();
  for (int32_t i = 0; i < n; i++) {
    const vectorld &row = A->data[i];
    int32_t e = 0;
    while (e < row.count && row.keys[e] - 1 < i) e++;
    double d = 0.0;
    if (e < row.count && row.keys[e] - 1 == i) d = row.values[e++];
    int32_t f = start[i];
    if (row.count - e != start[i + 1] - f) return false;
    for (int32_t c = i; e < row.count; e++, f++) {
      c = rises ? c + rise[f] : cols[f];
      if (row.keys[e] - 1 != c) return false;
      values[f] = row.values[e];
    }
    diag[i] = d;
  }
  U->rows = n;
  return true;
}

void sparsecg_take_upper(sparsecg_upper *U, const sparsemx *A) {
  TRACE("sparsecg_take_upper");
  // A matrix taken again on the layout it was taken on (a new step length on the same
  // mesh) needs only its values.
  if (!refill_upper(U, A) && !upper_of(U, A, nullptr, false, true)) upper_of(U, A, nullptr, false);
}

// q_i := D_i (row i of A) . t and returns p . q as scaled_product does, A given by its upper
// triangle U: row i's entries right of the diagonal add to q_i and, as their mirrors, to the
// rows below, which are complete when their turn comes. With U the scaled upper triangle
// (upper_of with D) D is absent and t is p: q := S p.
template <bool scaled, bool rises>
[[gnu::noinline]] static double upper_product(double *__restrict q, const sparsecg_upper &U, const double *__restrict t,
                                              const double *D, const double *p, int32_t n) {
  const int32_t *start = U.start.data(), *cols = U.cols.data();
  const uint16_t *rise = U.rises.data();
  const double *values = U.values.data(), *diag = U.diag.data();
  std::fill(q, q + n, 0.0);
  double dot = 0.0;
  for (int32_t i = 0; i < n; i++) {
    double ti = t[i], s = diag[i] * ti;
    int32_t c = i;
    for (int32_t e = start[i], end = start[i + 1]; e < end; e++) {
      c = rises ? c + rise[e] : cols[e];
      s += values[e] * t[c];
      q[c] += values[e] * ti;
    }
    q[i] = scaled ? (q[i] + s) * D[i] : q[i] + s;
    dot += p[i] * q[i];
  }
  return dot;
}

// Whether the matrix's keys and values (12 bytes an entry) exceed what stays in the cache
// between products: 8 MB, half a common last-level cache.
static bool beyond_cache(const sparsemx *A) { return 12 * sparsemx_entries(A) > (int64_t(8) << 20); }

double sparsecg_cg(vectord *x, const sparsemx *A, const sparsemx *M, const vectord *b, const vectord *D,
                   const bandmxd *B, vector2d *work, double rel, double abs, uint16_t maxit, pad *panel, int32_t family,
                   int32_t precon, int32_t nl, const sparsecg_upper *U, bool warm, bool *indefinite) {
  TRACE("sparsecg_cg_0");
  bool unread = false;
  if (!indefinite) indefinite = &unread;
  *indefinite = false;
  int32_t n = b->count;
  // 1. The method; its work vectors.
  int32_t method = method_of(family, precon);
  if (method < 1 || method > 15) rtlib_fatal_in("sparsecg_cg_0", "Bad CG Method");
  if (method == 14) rtlib_fatal_in("sparsecg_cg_0", "BAD CG METHOD");
  Solve op{method, A, M, D, B};
  if (method == 4 || method == 5) {
    if (A->rows != n) rtlib_fatal_in("sparsecg_cg_0", "VECTOR LENGTH ERROR");
    vectord_resize(x, n, std::max(n, x->capacity));
    double m;
    // A large system solved once: the complete factor, where it fits, in place of the
    // iterations whose count grows with the mesh. The result is the RMS of x(1..nl).
    if (sparsecg_takes_complete(family, precon, n) && sparsechol_solve_block(x->data, A, b->data, 1, chol_fill)) {
      return column_rms(x->data, n, nl, 1, 0);
    }
    if (!M || M->rows != n) rtlib_fatal_in("sparsecg_cg_0", "VECTOR LENGTH ERROR");
    return iccg(x->data, A, M, b->data, n, 1, work, rel, abs, maxit, panel, method, nl, &m, indefinite);
  }
  // A large nonsymmetric system likewise by its complete LU factor, kept while the matrix
  // stands: Newton steps that keep their Jacobian solve with it again.
  // A factor declined for its cost alone is taken after all where the iteration does not
  // converge within its budget (an indefinite or ill-conditioned matrix).
  bool costly = false;
  if (sparsecg_complete && family != orthomin && n >= lu_rows && A->rows == n) {
    vectord_resize(x, n, std::max(n, x->capacity));
    if (sparselu_solve(x->data, A, b->data, chol_fill)) return column_rms(x->data, n, nl, 1, 0);
    costly = sparselu_declined_on_cost();
  }
  // A budget below 1 would make the growth factor divide by zero; the RMS is taken
  // over at least one and at most n unknowns.
  int32_t budget = std::max<int32_t>(maxit, 1);
  nl = std::max(1, std::min(nl, n));
  vectord *r = vector2d_get_work(work, n), *p = vector2d_get_work(work, n);
  vectord *t1 = vector2d_get_work(work, n), *t2 = vector2d_get_work(work, n);
  vectord *rt = nullptr, *pt = nullptr, *qt = nullptr;
  if (family == lanczos) {
    rt = vector2d_get_work(work, n);
    pt = vector2d_get_work(work, n);
    qt = vector2d_get_work(work, n);
  }
  // 2-4. Residual, direction and rho.
  bool left = (method >= 2 && method <= 5) || (method >= 7 && method <= 10);
  // A warm start x0 (the diagonally scaled orthomin alone): the iterate starts at x0 / D and
  // the residual at D (b - A x0).
  warm = warm && method == 2 && family == orthomin && x->count == n && D->count == n && A->rows == n;
  if (warm) {
    sparsemx_mv_0(t2, A, x);
    for (int32_t i = 0; i < n; i++) r->data[i] = D->data[i] * (b->data[i] - t2->data[i]), x->data[i] /= D->data[i];
  } else {
    if (left) op.apply(r, b, false);
    else vectord_copyto_0(r, b);
    vectord_resize(x, n, std::max(n, x->capacity));
    vectord_copyto_1(x, 0.0);
  }
  vectord_copyto_0(p, r);
  double rho;
  if (family == orthomin) {
    rho = norm(r);
  } else if (family == lanczos) {
    vectord_copyto_0(rt, r);
    vectord_copyto_0(pt, p);
    rho = vectord_dot(rt, r);
  } else {
    sparsemx_mtv_0(t2, A, r);
    if (method == 11) vectord_copyto_0(t1, t2);
    else op.apply(t1, t2, true);
    op.apply(p, t1, false);
    rho = norm(t1);
  }
  // 5. Growth of the tolerances past the budget; the panel lines.
  Asymptote hist;
  double growth = std::pow(2.0, 100.0 / double(budget));
  uint16_t line = 0, conv = 0;
  if (panel) report_lines(panel, method, &line, &conv);
  double m = 0.0, c = 1.0;
  bool have_sigma = false;  // p . q taken with the operator's last sweep
  bool have_dp = false;     // t2 = D p taken with the last direction's sweep
  double sigma_swept = 0.0;
  bool far = method == 2 && family == orthomin && A->rows == n && beyond_cache(A);
  // Such a matrix, symmetric as the method takes it to be, serves as the upper triangle of
  // D A D, made once here (unless the caller gave its upper triangle): each product then
  // reads half the entries, and neither D nor D p.
  sparsecg_upper S;
  if (far && !(U && U->rows == n) && D->count == n && !upper_of(&S, A, D->data, true)) S = sparsecg_upper();
  bool over = false;
  for (int32_t k = 1;; k++) {
    double rho_old = rho;
    if (k > budget) {
      over = true;
      rel *= growth;
      abs *= growth;
    }
    if (panel) {
      display_update_num(panel, line, k);
      display_update_real(panel, conv, c);
    }
    // 3. q := the operator applied to p (q lives in t1).
    vectord *q = t1;
    switch (method) {
      case 1: case 11: case 12: case 13: case 15:
        sparsemx_mv_0(q, A, p);
        break;
      case 2:
        if (!have_dp && S.rows != n) vectord_mul(t2, D, p);
        have_dp = false;
        if (family == orthomin && A->rows == n && q->count == n) {
          // The product, its right scaling and p . q in one sweep over the rows.
          if (S.rows == n) sigma_swept = upper_product<false, false>(q->data, S, p->data, nullptr, p->data, n);
          else if (U && U->rows == n && !U->rises.empty())
            sigma_swept = upper_product<true, true>(q->data, *U, t2->data, D->data, p->data, n);
          else if (U && U->rows == n)
            sigma_swept = upper_product<true, false>(q->data, *U, t2->data, D->data, p->data, n);
          else sigma_swept = scaled_product(q->data, A, t2->data, D->data, p->data, n, far);
          have_sigma = true;
          break;
        }
        sparsemx_mv_0(q, A, t2);
        vectord_multo_0(q, D);
        break;
      case 3:
        sparsemx_mv_0(t2, M, p);
        sparsemx_mv_0(q, A, t2);
        sparsemx_mv_0(t2, M, q);
        vectord_copyto_0(q, t2);
        break;
      default:  // lanczos
        if (method == 6) {
          sparsemx_mv_0(q, A, p);
          sparsemx_mtv_0(qt, A, pt);
        } else {
          sparsemx_mv_0(t2, A, p);
          op.apply(q, t2, false);
          op.apply(t2, pt, true);
          sparsemx_mtv_0(qt, A, t2);
        }
    }
    // 4-5. Step.
    double sigma = family == orthomin ? (have_sigma ? sigma_swept : vectord_dot(p, q))
                   : family == lanczos ? vectord_dot(pt, q) : norm(q);
    have_sigma = false;
    if (family == orthomin && sigma <= 0 && rho != 0) *indefinite = true;
    double alpha = sigma == 0 ? rho : rho / sigma;
    bool swept = family == orthomin;
    double xx = 0.0;
    if (swept) {
      // x, r, |r|^2 and |x(1..nl)|^2 in one sweep: the two sums are independent chains,
      // each taken in index order as norm and norm_l take it.
      rho = sparsecg_step_sweep(x->data, r->data, p->data, q->data, alpha, n, nl, &xx);
    } else {
      axpy(x, alpha, p);
      axpy(r, -alpha, q);
    }
    if (family == lanczos) axpy(rt, -alpha, qt);
    // 6-8. New rho and direction.
    if (family == orthomin) {
      // rho := |r|^2, taken in the sweep above.
    } else if (family == lanczos) {
      rho = vectord_dot(rt, r);
    } else {
      sparsemx_mtv_0(t2, A, r);
      if (method == 11) {
        vectord_copyto_0(t1, t2);
      } else {
        op.apply(t1, t2, true);
        op.apply(t2, t1, false);
      }
      rho = norm(t1);
    }
    double beta = rho_old == 0 ? rho : rho / rho_old;
    if (family == vandenberg) {
      xpay(p, beta, method == 11 ? t1 : t2);
    } else if (family == orthomin && method == 2 && D->count == n && t2->count == n && S.rows != n) {
      // The new direction and its scaled copy for the next product in one sweep.
      rtlib_may_trap(direction_sweep)(p->data, t2->data, r->data, D->data, beta, n);
      have_dp = true;
    } else {
      xpay(p, beta, r);
      if (family == lanczos) xpay(pt, beta, rt);
    }
    // 9-10. The RMS of the field unknowns and the stop tests.
    m = std::sqrt((swept ? xx : norm_l(x, nl)) / nl);
    c = hist.step(k, m);
    if (k > 12 && c <= hist.mean * rel + abs) break;
    if (k > 4 * budget) break;
    if (panel && display_checkkey(panel)) break;
    if (m == 0) break;
  }
  // End: undo the right preconditioning of the symmetric forms.
  if (method == 2) {
    vectord_multo_0(x, D);
  } else if (method == 3) {
    sparsemx_mv_0(t2, M, x);
    vectord_copyto_0(x, t2);
  }
  for (vectord *v : {r, p, t1, t2, rt, pt, qt})
    if (v) vector2d_free_work(v);
  if (panel) display_unreport(panel, line);
  if (over && costly && sparselu_solve(x->data, A, b->data, chol_fill, true)) return column_rms(x->data, n, nl, 1, 0);
  return m;
}


void sparsecg_cg_block(double *x, const sparsemx *A, const sparsemx *M, const double *b, const vectord *D,
                       const bandmxd *B, vector2d *work, int32_t w, double rel, double abs, uint16_t maxit,
                       pad *panel, int32_t family, int32_t precon, int32_t nl, double *res) {
  TRACE("sparsecg_cg_block");
  int32_t n = A->rows;
  int32_t method = method_of(family, precon);
  if (w < 1) return;
  if (method == 4 || method == 5) {
    // A symmetric matrix solved against a block of columns is, in the drivers that call
    // this, solved again and again (every subspace pass): its complete factor, where it
    // fits in a few times the matrix, serves every pass at a fraction of the iterations.
    if (sparsecg_complete && w >= 2 && sparsechol_solve_block(x, A, b, w, chol_fill)) {
      for (int32_t j = 0; j < w; j++) res[j] = column_rms(x, n, nl, w, j);
      return;
    }
    if (M && M->rows == n) {
      bool indefinite = false;
      iccg(x, A, M, b, n, w, work, rel, abs, maxit, panel, method, nl, res, &indefinite);
      return;
    }
  }
  // A nonsymmetric matrix solved against a block likewise, by its complete LU factor: the
  // iterations of a column cost more than its solve by the factor made once for all passes.
  if (block_takes_lu(family, precon, w) && sparselu_solve_block(x, A, b, w, chol_fill)) {
    for (int32_t j = 0; j < w; j++) res[j] = column_rms(x, n, nl, w, j);
    return;
  }
  // Any other method: the columns one by one. The diagonally scaled orthomin on a matrix
  // too large for the cache reads its upper triangle, taken once for all the columns.
  vectord *xj = vector2d_get_work(work, n), *bj = vector2d_get_work(work, n);
  sparsecg_upper U;
  if (method == 2 && family == orthomin && w >= 2 && beyond_cache(A)) upper_of(&U, A, nullptr, true);
  for (int32_t j = 0; j < w; j++) {
    for (int32_t i = 0; i < n; i++) bj->data[i] = b[size_t(i) * w + j];
    res[j] = sparsecg_cg(xj, A, M, bj, D, B, work, rel, abs, maxit, panel, family, precon, nl, &U);
    for (int32_t i = 0; i < n; i++) x[size_t(i) * w + j] = xj->data[i];
  }
  vector2d_free_work(bj);
  vector2d_free_work(xj);
}
