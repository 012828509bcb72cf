// timecg: ORTHOMIN and bi-Lanczos iterations on F1 M1 + F0 M0 (+ C), every product
// taken with the two matrices separately, scaled by a diagonal or by a sparse P on
// both sides.
#include "solver/timecg.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "graphics/display.h"
#include "runtime/debug.h"
#include "runtime/rtlib.h"
#include "solver/sparsecg.h"

int timecg_init() {
  TRACE("timecg");
  return 0;
}

namespace {

// The weighted pair and its two-sided scaling.
struct Op {
  const sparsemx *C, *M1, *M0, *P;
  const vectord *d;
  double F1, F0;
  vectord *t;  // work: the scaled argument

  bool scaled() const { return d && d->count > 0; }
  // y := F0 M0 x + F1 M1 x (+ C x), or the transposed products.
  void raw(vectord *y, const vectord *x, bool transposed) const {
    if (transposed) {
      sparsemx_mtv_1(y, F0, M0, x);
      sparsemx_mtvsum_1(y, F1, M1, x);
      if (C && C->rows > 0) sparsemx_mtvsum_0(y, C, x);
    } else {
      sparsemx_mv_1(y, F0, M0, x);
      sparsemx_mvsum_1(y, F1, M1, x);
      if (C && C->rows > 0) sparsemx_mvsum_0(y, C, x);
    }
  }
  // y := S A S x with S the diagonal or P (S A^T S for the shadow sequence).
  void apply(vectord *y, const vectord *x, bool transposed) const {
    if (P) {
      sparsemx_mv_0(t, P, x);
      raw(y, t, transposed);
      sparsemx_mv_0(t, P, y);
      vectord_copyto_0(y, t);
    } else if (scaled()) {
      vectord_mul(t, d, x);
      raw(y, t, transposed);
      vectord_multo_0(y, d);
    } else {
      raw(y, x, transposed);
    }
  }
  // v := S v.
  void side(vectord *v) const {
    if (P) {
      sparsemx_mv_0(t, P, v);
      vectord_copyto_0(v, t);
    } else if (scaled()) {
      vectord_multo_0(v, d);
    }
  }
};

void axpy(vectord *y, double a, const vectord *x) {
  for (int32_t i = 0; i < y->count; i++) y->data[i] += a * x->data[i];
}
void xpay(vectord *p, double b, const vectord *r) {
  for (int32_t i = 0; i < p->count; i++) p->data[i] = r->data[i] + b * p->data[i];
}

// sqrt(sum |s_i x_i| / n).
double xnorm(const vectord *x, const vectord *s) {
  double sum = 0;
  for (int32_t i = 0; i < x->count; i++) sum += std::fabs(s && s->count > i ? x->data[i] * s->data[i] : x->data[i]);
  return x->count ? std::sqrt(sum / x->count) : 0.0;
}

void check(const sparsemx *M1, const sparsemx *M0, const vectord *b) {
  if (!M1 || !M0 || !M1->data || !M0->data) rtlib_fatal_in("trap_matrix", "BAD MATRIX");
  if (b->count != M0->rows) rtlib_fatal_in("trap_rhs", "BAD RHS");
}

// The panel's method and convergence lines.
struct Lines {
  pad *panel;
  uint16_t line = 0, conv = 0;
  Lines(pad *p, const char *name) : panel(p) {
    if (!panel) return;
    String n = {uint16_t(strlen(name)), 0, const_cast<char *>(name)};
    String c = {11, 0, const_cast<char *>("Convergence")};
    line = display_report_num(panel, 0, &n, 0);
    conv = display_report_real(panel, 0, &c, 1.0);
  }
  void show(int32_t k, double ratio) {
    if (!panel) return;
    display_update_num(panel, line, k);
    display_update_real(panel, conv, ratio);
  }
  bool stop() { return panel && display_checkkey(panel); }
  ~Lines() {
    if (panel) display_unreport(panel, line);
  }
};

// The stop test shared by both iterations; grows the tolerances past maxit.
struct Stop {
  double rel, abs, rel0, abs0;
  int32_t maxit;
  Asymptote hist;  // this solve's convergence history
  bool done(int32_t k, double xn) {
    if (k > maxit) {
      rel += rel0;
      abs += abs0;
    }
    double c = hist.step(k, xn);
    return k > 12 && c <= rel * xn + abs;
  }
};

double run_orthomin(vectord *x, const Op &op0, const vectord *b, const vectord *s, vector2d *work, double rel,
                double abs, uint16_t maxit, pad *panel) {
  int32_t n = b->count;
  Op op = op0;
  vectord *r = vector2d_get_work(work, n), *p = vector2d_get_work(work, n), *q = vector2d_get_work(work, n);
  op.t = vector2d_get_work(work, n);
  vectord_resize(x, n, std::max(n, x->capacity));
  vectord_copyto_1(x, 0.0);
  vectord_copyto_0(r, b);
  op.side(r);
  vectord_copyto_0(p, r);
  double rho = vectord_dot(r, r), rho0 = rho, alpha = 0, beta = 0, xn = 0;
  Lines lines(panel, "Orthomin");
  Stop stop{rel, abs, rel, abs, std::max<int32_t>(maxit, 1)};
  int32_t k = 0;
  while (++k <= 4 * stop.maxit) {
    op.apply(q, p, false);
    double sigma = vectord_dot(p, q);
    if (sigma == 0) {
      if (rho != 0) rtlib_fatal_in("timecg_orthomin", "ORTHOMIN FAILURE!");
      alpha = rho;
    } else {
      alpha = rho / sigma;
    }
    axpy(x, alpha, p);
    axpy(r, -alpha, q);
    double rho1 = vectord_dot(r, r);
    beta = rho != 0 ? rho1 / rho : 0.0;
    xpay(p, beta, r);
    rho = rho1;
    lines.show(k, rho0 != 0 ? rho / rho0 : 0.0);
    xn = xnorm(x, s);
    if (stop.done(k, xn) || lines.stop()) break;
  }
  op.side(x);
  debug_printf("ITERATION %d, RDOTR=%g, XNORM=%g, ALPHA=%g, BETA=%g\n", k, rho, xn, alpha, beta);
  for (vectord *v : {r, p, q, op.t}) vector2d_free_work(v);
  return xn;
}

double run_lanczos(vectord *x, const Op &op0, const vectord *b, const vectord *s, vector2d *work, double rel,
               double abs, uint16_t maxit, pad *panel) {
  int32_t n = b->count;
  Op op = op0;
  vectord_resize(x, n, std::max(n, x->capacity));
  vectord_copyto_1(x, 0.0);
  vectord *r = vector2d_get_work(work, n), *p = vector2d_get_work(work, n), *q = vector2d_get_work(work, n);
  vectord *rt = vector2d_get_work(work, n), *pt = vector2d_get_work(work, n), *qt = vector2d_get_work(work, n);
  op.t = vector2d_get_work(work, n);
  vectord_copyto_0(r, b);
  op.side(r);
  vectord_copyto_0(rt, r);
  vectord_copyto_0(p, r);
  vectord_copyto_0(pt, rt);
  double rho = vectord_dot(rt, r), rho0 = rho, alpha = 0, beta = 0, xn = 0;
  int32_t k = 0;
  if (rho != 0) {
    Lines lines(panel, "Lanczos");
    Stop stop{rel, abs, rel, abs, std::max<int32_t>(maxit, 1)};
    while (++k <= 2 * stop.maxit) {
      op.apply(qt, pt, true);
      op.apply(q, p, false);
      double sigma = vectord_dot(pt, q);
      if (std::fabs(sigma) < 1e-18 * std::fabs(rho)) rtlib_fatal_in("timecg_lanczos", "LANCZOS BLOWUP");
      alpha = rho / sigma;
      if (std::fabs(alpha) < 1e-18) rtlib_fatal_in("timecg_lanczos", "LANCZOS FAILURE");
      axpy(x, alpha, p);
      axpy(r, -alpha, q);
      axpy(rt, -alpha, qt);
      double rho1 = vectord_dot(rt, r);
      beta = rho != 0 ? rho1 / rho : 0.0;
      xpay(p, beta, r);
      xpay(pt, beta, rt);
      rho = rho1;
      lines.show(k, std::fabs(rho / rho0));
      xn = xnorm(x, s);
      // r~.r = 0 leaves nothing to divide by: the residual (or its shadow) is gone.
      if (rho == 0 || stop.done(k, xn) || lines.stop()) break;
    }
    op.side(x);
  }
  debug_printf("ITERATION %d, RTDOTR=%g, XNORM=%g, ALPHA=%g, BETA=%g\n", k, rho, xn, alpha, beta);
  for (vectord *v : {r, p, q, rt, pt, qt, op.t}) vector2d_free_work(v);
  return xn;
}

}  // namespace

// The checks and the opening debug line, then the iteration.
static double enter(bool lanczos, const char *tag, vectord *x, const Op &op, const vectord *b, const vectord *s,
                    vector2d *work, double rel, double abs, uint16_t maxit, pad *panel) {
  check(op.M1, op.M0, b);
  if (lanczos) {
    debug_printf("%s\n", tag);
    return run_lanczos(x, op, b, s, work, rel, abs, maxit, panel);
  }
  debug_printf("%s F1=%g, F0=%g, REL=%g, ABS=%g\n", tag, op.F1, op.F0, rel, abs);
  return run_orthomin(x, op, b, s, work, rel, abs, maxit, panel);
}

double timecg_orthomin_tim(vectord *x, const sparsemx *C, const sparsemx *M1, const sparsemx *M0, const vectord *b,
                           const vectord *d, const vectord *s, vector2d *work, double F1, double F0, double rel,
                           double abs, uint16_t maxit, pad *panel) {
  TRACE("timecg_orthomin_tim");
  return enter(false, "ORTHOMIN_TIM", x, Op{C, M1, M0, nullptr, d, F1, F0, nullptr}, b, s, work, rel, abs, maxit, panel);
}

double timecg_orthomin_bit(vectord *x, const sparsemx *C, const sparsemx *M1, const sparsemx *M0, const sparsemx *P,
                           const vectord *b, const vectord *s, vector2d *work, double F1, double F0, double rel,
                           double abs, uint16_t maxit, pad *panel) {
  TRACE("timecg_orthomin_bit");
  return enter(false, "ORTHOMIN_BIT", x, Op{C, M1, M0, P, nullptr, F1, F0, nullptr}, b, s, work, rel, abs, maxit, panel);
}

double timecg_lanczos_tim(vectord *x, const sparsemx *C, const sparsemx *M1, const sparsemx *M0, const vectord *b,
                          const vectord *d, const vectord *s, vector2d *work, double F1, double F0, double rel,
                          double abs, uint16_t maxit, pad *panel) {
  TRACE("timecg_lanczos_tim");
  return enter(true, "LANCZOS_TIM", x, Op{C, M1, M0, nullptr, d, F1, F0, nullptr}, b, s, work, rel, abs, maxit, panel);
}

double timecg_lanczos_bit(vectord *x, const sparsemx *C, const sparsemx *M1, const sparsemx *M0, const sparsemx *P,
                          const vectord *b, const vectord *s, vector2d *work, double F1, double F0, double rel,
                          double abs, uint16_t maxit, pad *panel) {
  TRACE("timecg_lanczos_bit");
  return enter(true, "LANCZOS_BIT", x, Op{C, M1, M0, P, nullptr, F1, F0, nullptr}, b, s, work, rel, abs, maxit, panel);
}
