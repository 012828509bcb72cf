// eispack: the QZ algorithm for the real generalized eigenproblem. The arithmetic
// follows the classic reference routines step by step and in the same order, so that
// eigenvalues and vectors agree with them to roundoff; the comments name each step.
#include "solver/eispack.h"

#include <algorithm>
#include <cmath>

#include "runtime/rtlib.h"

// Opens a traced operation whose name also names it in its fatal errors.
#define ENTER(n)              \
  static const char here[] = n; \
  TRACE(here)

int eispack_init() {
  TRACE("eispack");
  return 0;
}

double epslon(double x) { return std::fabs(x) * 2.220446049250313e-16; }

// 1-based element access to a matrix's row-major storage.
namespace {
struct El {
  double *d;
  int cols;
  explicit El(matrixd *m) : d(m ? m->data : nullptr), cols(m ? m->cols : 0) {}
  double &operator()(int i, int j) const { return d[(i - 1) * cols + j - 1]; }
};
struct Vl {
  double *d;
  explicit Vl(const vectord *v) : d(v->data) {}
  double &operator()(int i) const { return d[i - 1]; }
};

// The elementary reflector I + v u' with u = (1, u2, u3) that maps (x1, x2, x3)
// onto a multiple of the first unit vector; order 2 leaves u3, v3 unused.
struct Reflector {
  double u2, u3, v1, v2, v3;
};
enum Side { ROWS, COLS };  // where a reflector is applied: rows from the left, columns from the right
}  // namespace

// |x| with the sign of y (y = -0 counts as positive).
static inline double sign(double x, double y) { return y >= 0.0 ? std::fabs(x) : -std::fabs(x); }

// The reflector of (x1, x2); false when both are 0 (nothing to do).
static bool reflector2(double x1, double x2, Reflector *h) {
  double s = std::fabs(x1) + std::fabs(x2);
  if (s == 0.0) return false;
  double u1 = x1 / s, u2 = x2 / s;
  double r = sign(std::sqrt(u1 * u1 + u2 * u2), u1);
  h->v1 = -(u1 + r) / r;
  h->v2 = -u2 / r;
  h->u2 = h->v2 / h->v1;
  return true;
}

// The reflector of (x1, x2, x3); false when all are 0.
static bool reflector3(double x1, double x2, double x3, Reflector *h) {
  double s = std::fabs(x1) + std::fabs(x2) + std::fabs(x3);
  if (s == 0.0) return false;
  double u1 = x1 / s, u2 = x2 / s, u3 = x3 / s;
  double r = sign(std::sqrt(u1 * u1 + u2 * u2 + u3 * u3), u1);
  h->v1 = -(u1 + r) / r;
  h->v2 = -u2 / r;
  h->v3 = -u3 / r;
  h->u2 = h->v2 / h->v1;
  h->u3 = h->v3 / h->v1;
  return true;
}

// The reflector applied to the lines p, q (and r when r > 0) of m at positions
// from..to: to rows from the left (ROWS) or to columns from the right (COLS).
static void reflect(const El &m, Side side, int p, int q, int r, int from, int to, const Reflector &h) {
  for (int k = from; k <= to; k++) {
    double &x = side == ROWS ? m(p, k) : m(k, p);
    double &y = side == ROWS ? m(q, k) : m(k, q);
    if (r == 0) {
      double t = x + h.u2 * y;
      x = x + t * h.v1;
      y = y + t * h.v2;
    } else {
      double &w = side == ROWS ? m(r, k) : m(k, r);
      double t = x + h.u2 * y + h.u3 * w;
      x = x + t * h.v1;
      y = y + t * h.v2;
      w = w + t * h.v3;
    }
  }
}

// The order of the pencil after its shapes are checked: b must have a's shape, a
// must be square, z (when given) n x n.
static int order_of(const matrixd *a, const matrixd *b, const matrixd *z, const char *where) {
  if (b->rows != a->rows || b->cols != a->cols) rtlib_fatal_in(where, "B: Size Mismatch");
  if (a->cols != a->rows || (z && (z->rows != a->rows || z->cols != a->rows)))
    rtlib_fatal_in(where, "MATRIX DIMENSION ERROR");
  return a->rows;
}
static void check_values(const vectord *alfr, const vectord *alfi, const vectord *beta, int n, const char *where) {
  if (alfr->count != n || alfi->count != n || beta->count != n) rtlib_fatal_in(where, "VECTOR LENGTH ERROR");
}

void eispack_rgg(matrixd *a, matrixd *b, vectord *alfr, vectord *alfi, vectord *beta, uint16_t vectors,
                 matrixd *z, uint16_t *ierr) {
  ENTER("eispack_rgg");
  int n = order_of(a, b, nullptr, here);
  vectord_resize(alfr, n, n);
  vectord_resize(alfi, n, n);
  vectord_resize(beta, n, n);
  matrixd_resize(z, n, n);
  qzhes(a, b, vectors, z);
  qzit(a, b, 0.0, vectors, z, ierr);
  qzval(a, b, alfr, alfi, beta, vectors, z);
  if (vectors && *ierr == 0) qzvec(a, b, alfr, alfi, beta, z);
}

void qzhes(matrixd *a, matrixd *b, uint16_t vectors, matrixd *z) {
  ENTER("qzhes");
  const int n = order_of(a, b, vectors ? z : nullptr, here);
  const El A(a), B(b), Z(vectors ? z : nullptr);
  Reflector h;
  // 1. z starts as the identity.
  if (vectors) {
    for (int j = 1; j <= n; j++) {
      for (int i = 1; i <= n; i++) Z(i, j) = 0.0;
      Z(j, j) = 1.0;
    }
  }
  if (n <= 1) return;
  // 2. b to upper triangular form by Householder reflections from the left, applied
  // to a as well.
  for (int l = 1; l <= n - 1; l++) {
    int l1 = l + 1;
    double s = 0.0;
    for (int i = l1; i <= n; i++) s = s + std::fabs(B(i, l));
    if (s == 0.0) continue;
    s = s + std::fabs(B(l, l));
    double r = 0.0;
    for (int i = l; i <= n; i++) {
      B(i, l) = B(i, l) / s;
      r = r + B(i, l) * B(i, l);
    }
    r = sign(std::sqrt(r), B(l, l));
    B(l, l) = B(l, l) + r;
    double rho = r * B(l, l);
    for (int j = l1; j <= n; j++) {
      double t = 0.0;
      for (int i = l; i <= n; i++) t = t + B(i, l) * B(i, j);
      t = -t / rho;
      for (int i = l; i <= n; i++) B(i, j) = B(i, j) + t * B(i, l);
    }
    for (int j = 1; j <= n; j++) {
      double t = 0.0;
      for (int i = l; i <= n; i++) t = t + B(i, l) * A(i, j);
      t = -t / rho;
      for (int i = l; i <= n; i++) A(i, j) = A(i, j) + t * B(i, l);
    }
    B(l, l) = -s * r;
    for (int i = l1; i <= n; i++) B(i, l) = 0.0;
  }
  // 3. a to upper Hessenberg form column by column, each rotation of rows chased
  // back out of b's lower triangle by one of columns.
  for (int k = 1; k <= n - 2; k++) {
    for (int l = n - 1; l >= k + 1; l--) {
      int l1 = l + 1;
      if (!reflector2(A(l, k), A(l1, k), &h)) continue;
      reflect(A, ROWS, l, l1, 0, k, n, h);
      A(l1, k) = 0.0;
      reflect(B, ROWS, l, l1, 0, l, n, h);
      if (!reflector2(B(l1, l1), B(l1, l), &h)) continue;
      reflect(B, COLS, l1, l, 0, 1, l1, h);
      B(l1, l) = 0.0;
      reflect(A, COLS, l1, l, 0, 1, n, h);
      if (vectors) reflect(Z, COLS, l1, l, 0, 1, n, h);
    }
  }
}

void qzit(matrixd *a, matrixd *b, double eps1, uint16_t vectors, matrixd *z, uint16_t *ierr) {
  ENTER("qzit");
  const int n = order_of(a, b, vectors ? z : nullptr, here);
  const El A(a), B(b), Z(vectors ? z : nullptr);
  Reflector h;
  int l = 0, l1, lm1 = 0, ld, ll, en, na, enm2, ish, its = 0, itn, lor1, enorn;
  double r, s, t, a1 = 0, a2 = 0, a3 = 0, sh = 0, a11, a12, a21, a22, a33, a34, a43, a44;
  double b11, b12, b22, b33, b34, b44, ep, epsa, epsb, anorm = 0.0, bnorm = 0.0;
  *ierr = 0;
  // 1. The norms (of the Hessenberg and triangular parts) and the tolerances.
  for (int i = 1; i <= n; i++) {
    double ani = i != 1 ? std::fabs(A(i, i - 1)) : 0.0, bni = 0.0;
    for (int j = i; j <= n; j++) {
      ani = ani + std::fabs(A(i, j));
      bni = bni + std::fabs(B(i, j));
    }
    if (ani > anorm) anorm = ani;
    if (bni > bnorm) bnorm = bni;
  }
  if (anorm == 0.0) anorm = 1.0;
  if (bnorm == 0.0) bnorm = 1.0;
  ep = eps1 > 0.0 ? eps1 : epslon(1.0);
  epsa = ep * anorm;
  epsb = ep * bnorm;
  // 2. QZ steps on the active block rows/columns 1..en until it has split into 1 x 1
  // and 2 x 2 blocks; without vectors only the active block is transformed.
  lor1 = 1;
  enorn = n;
  en = n;
  itn = 30 * n;
next_block:
  if (en <= 2) goto done;
  if (!vectors) enorn = en;
  its = 0;
  na = en - 1;
  enm2 = na - 1;
next_step:
  ish = 2;
  // Look upward for a negligible subdiagonal element of a.
  for (ll = 1; ll <= en; ll++) {
    lm1 = en - ll;
    l = lm1 + 1;
    if (l == 1) goto block_top;
    if (std::fabs(A(l, lm1)) <= epsa) break;
  }
split:
  A(l, lm1) = 0.0;
  if (l >= na) {  // a 1 x 1 or 2 x 2 block is isolated
    en = lm1;
    goto next_block;
  }
block_top:
  ld = l;
check_b:
  // A negligible diagonal element of b at the top: rotate it to the bottom of a
  // deflated block.
  l1 = l + 1;
  b11 = B(l, l);
  if (std::fabs(b11) <= epsb) {
    B(l, l) = 0.0;
    if (reflector2(A(l, l), A(l1, l), &h)) {
      reflect(A, ROWS, l, l1, 0, l, enorn, h);
      reflect(B, ROWS, l, l1, 0, l, enorn, h);
    }
    if (l != 1) A(l, lm1) = -A(l, lm1);
    lm1 = l;
    l = l1;
    goto split;
  }
  a11 = A(l, l) / b11;
  a21 = A(l1, l) / b11;
  if (ish == 1) goto single_shift;
  // 3. The shift: the limit, an exceptional shift after 10 steps, else a single
  // shift for real eigenvalues of the trailing 2 x 2 pencil, a double shift otherwise.
  if (itn == 0) goto failed;
  if (its == 10) {
    a1 = 0.0;
    a2 = 1.0;
    a3 = 1.1605;
    goto sweep;
  }
  b22 = B(l1, l1);
  if (std::fabs(b22) < epsb) b22 = epsb;
  b33 = B(na, na);
  if (std::fabs(b33) < epsb) b33 = epsb;
  b44 = B(en, en);
  if (std::fabs(b44) < epsb) b44 = epsb;
  a33 = A(na, na) / b33;
  a34 = A(na, en) / b44;
  a43 = A(en, na) / b33;
  a44 = A(en, en) / b44;
  b34 = B(na, en) / b44;
  t = 0.5 * (a43 * b34 - a33 - a44);
  r = t * t + a34 * a43 - a33 * a44;
  if (r >= 0.0) {
    ish = 1;
    r = std::sqrt(r);
    sh = -t + r;
    s = -t - r;
    if (std::fabs(s - a44) < std::fabs(sh - a44)) sh = s;
    // Look for two consecutive small subdiagonal elements to start lower down.
    for (ll = ld; ll <= enm2; ll++) {
      l = enm2 + ld - ll;
      if (l == ld) goto single_shift;
      lm1 = l - 1;
      l1 = l + 1;
      t = A(l, l);
      if (std::fabs(B(l, l)) > epsb) t = t - sh * B(l, l);
      if (std::fabs(A(l, lm1)) <= std::fabs(t / A(l1, l)) * epsa) goto check_b;
    }
  single_shift:
    a1 = a11 - sh;
    a2 = a21;
    if (l != ld) A(l, lm1) = -A(l, lm1);
  } else {
    a12 = A(l, l1) / b22;
    a22 = A(l1, l1) / b22;
    b12 = B(l, l1) / b22;
    a1 = ((a33 - a11) * (a44 - a11) - a34 * a43 + a43 * b34 * a11) / a21 + a12 - a11 * b12;
    a2 = (a22 - a11) - a21 * b12 - (a33 - a11) - (a44 - a11) + a43 * b34;
    a3 = A(l1 + 1, l1) / b22;
  }
sweep:
  // 4. The sweep: a's bulge chased down by reflections from the left, each fill of
  // b's lower triangle removed by reflections from the right.
  its = its + 1;
  itn = itn - 1;
  if (!vectors) lor1 = ld;
  for (int k = l; k <= na; k++) {
    bool notlas = k != na && ish == 2;
    int k1 = k + 1, k2 = k + 2, km1 = std::max(k - 1, l);
    ll = std::min(en, k1 + ish);
    if (!notlas) {
      // Zero a(k+1,k-1).
      if (k != l) {
        a1 = A(k, km1);
        a2 = A(k1, km1);
      }
      if (!reflector2(a1, a2, &h)) goto next_step;
      reflect(A, ROWS, k, k1, 0, km1, enorn, h);
      reflect(B, ROWS, k, k1, 0, km1, enorn, h);
      if (k != l) A(k1, km1) = 0.0;
    } else {
      // Zero a(k+1,k-1) and a(k+2,k-1).
      if (k != l) {
        a1 = A(k, km1);
        a2 = A(k1, km1);
        a3 = A(k2, km1);
      }
      if (!reflector3(a1, a2, a3, &h)) continue;
      reflect(A, ROWS, k, k1, k2, km1, enorn, h);
      reflect(B, ROWS, k, k1, k2, km1, enorn, h);
      if (k != l) {
        A(k1, km1) = 0.0;
        A(k2, km1) = 0.0;
      }
      // Zero b(k+2,k+1) and b(k+2,k).
      if (reflector3(B(k2, k2), B(k2, k1), B(k2, k), &h)) {
        reflect(A, COLS, k2, k1, k, lor1, ll, h);
        reflect(B, COLS, k2, k1, k, lor1, ll, h);
        B(k2, k) = 0.0;
        B(k2, k1) = 0.0;
        if (vectors) reflect(Z, COLS, k2, k1, k, 1, n, h);
      }
    }
    // Zero b(k+1,k).
    if (!reflector2(B(k1, k1), B(k1, k), &h)) continue;
    reflect(A, COLS, k1, k, 0, lor1, ll, h);
    reflect(B, COLS, k1, k, 0, lor1, ll, h);
    B(k1, k) = 0.0;
    if (vectors) reflect(Z, COLS, k1, k, 0, 1, n, h);
  }
  goto next_step;
failed:
  *ierr = uint16_t(en);
done:
  // 5. b's tolerance kept below its diagonal for the later steps.
  if (n > 1) B(n, 1) = epsb;
}

// The complex rotation (c real, s = sr + i si, c^2 + |s|^2 = 1) built from
// (a1 + i a1i, a2 + i a2i); the plain exchange c = 0, s = 1 when the first is 0.
static void complex_rotation(double a1, double a1i, double a2, double a2i, double *c, double *sr, double *si) {
  double cc = std::sqrt(a1 * a1 + a1i * a1i);
  if (cc == 0.0) {
    *c = cc;
    *sr = 1.0;
    *si = 0.0;
    return;
  }
  double sr1 = (a1 * a2 + a1i * a2i) / cc, si1 = (a1 * a2i - a1i * a2) / cc;
  double r = std::sqrt(cc * cc + sr1 * sr1 + si1 * si1);
  *c = cc / r;
  *sr = sr1 / r;
  *si = si1 / r;
}

void qzval(matrixd *a, matrixd *b, vectord *alfr, vectord *alfi, vectord *beta, uint16_t vectors, matrixd *z) {
  ENTER("qzval");
  const int n = order_of(a, b, vectors ? z : nullptr, here);
  check_values(alfr, alfi, beta, n, here);
  if (n == 0) return;
  const El A(a), B(b), Z(vectors ? z : nullptr);
  const Vl ALFR(alfr), ALFI(alfi), BETA(beta);
  Reflector h;
  // b's tolerance is taken out of b(n,1), which reads as 0 meanwhile: for n = 2 it lies
  // in the 2 x 2 block that the rotations below mix, and would leave an infinite
  // eigenvalue a beta of roundoff size instead of 0.
  double epsb = B(n, 1);
  if (n > 1) B(n, 1) = 0.0;
  int isw = 1;
  // The blocks from the bottom up; isw = 2 skips the upper row of a 2 x 2 block.
  for (int en = n; en >= 1; en--) {
    int na = en - 1;
    if (isw == 2) {
      isw = 3 - isw;
      continue;
    }
    // 1. A 1 x 1 block: one real root, beta made nonnegative.
    if (en == 1 || A(en, na) == 0.0) {
      ALFR(en) = A(en, en);
      if (B(en, en) < 0.0) ALFR(en) = -ALFR(en);
      BETA(en) = std::fabs(B(en, en));
      ALFI(en) = 0.0;
      continue;
    }
    // 2. A 2 x 2 block: the eigenvalues of the scaled 2 x 2 pencil.
    double a1, a2, an = 0.0, bn = 0.0, e = 0.0;
    bool rotate_rows = true;
    if (std::fabs(B(na, na)) <= epsb) {
      a1 = A(na, na);
      a2 = A(en, na);
    } else {
      if (std::fabs(B(en, en)) <= epsb) {
        a1 = A(en, en);
        a2 = A(en, na);
        bn = 0.0;
      } else {
        an = std::fabs(A(na, na)) + std::fabs(A(na, en)) + std::fabs(A(en, na)) + std::fabs(A(en, en));
        bn = std::fabs(B(na, na)) + std::fabs(B(na, en)) + std::fabs(B(en, en));
        double a11 = A(na, na) / an, a12 = A(na, en) / an, a21 = A(en, na) / an, a22 = A(en, en) / an;
        double b11 = B(na, na) / bn, b12 = B(na, en) / bn, b22 = B(en, en) / bn;
        e = a11 / b11;
        double ei = a22 / b22;
        double s = a21 / (b11 * b22);
        double t = (a22 - e * b22) / b22;
        if (std::fabs(e) > std::fabs(ei)) {
          e = ei;
          t = (a11 - e * b11) / b11;
        }
        double c = 0.5 * (t - s * b12);
        double d = c * c + s * (a12 - e * b12);
        if (d < 0.0) {
          // 3. Two complex roots: the diagonals that the complex unitary reduction
          // would give, without applying it; the one with positive imaginary part
          // goes first.
          e = e + c;
          ei = std::sqrt(-d);
          double a11r = a11 - e * b11, a11i = ei * b11;
          double a12r = a12 - e * b12, a12i = ei * b12;
          double a22r = a22 - e * b22, a22i = ei * b22;
          double a1i, a2i, cz, szr, szi, cq, sqr, sqi;
          if (std::fabs(a11r) + std::fabs(a11i) + std::fabs(a12r) + std::fabs(a12i) <
              std::fabs(a21) + std::fabs(a22r) + std::fabs(a22i)) {
            a1 = a22r;
            a1i = a22i;
            a2 = -a21;
            a2i = 0.0;
          } else {
            a1 = a12r;
            a1i = a12i;
            a2 = -a11r;
            a2i = -a11i;
          }
          // The complex z, then the complex q.
          complex_rotation(a1, a1i, a2, a2i, &cz, &szr, &szi);
          if (an < (std::fabs(e) + ei) * bn) {
            a1 = cz * a11 + szr * a12;
            a1i = szi * a12;
            a2 = cz * a21 + szr * a22;
            a2i = szi * a22;
          } else {
            a1 = cz * b11 + szr * b12;
            a1i = szi * b12;
            a2 = szr * b22;
            a2i = szi * b22;
          }
          complex_rotation(a1, a1i, a2, a2i, &cq, &sqr, &sqi);
          double ssr = sqr * szr + sqi * szi;
          double ssi = sqr * szi - sqi * szr;
          for (int pass = 1; pass <= 2; pass++) {
            double tr, ti, dr, di;
            if (pass == 1) {
              tr = cq * cz * a11 + cq * szr * a12 + sqr * cz * a21 + ssr * a22;
              ti = cq * szi * a12 - sqi * cz * a21 + ssi * a22;
              dr = cq * cz * b11 + cq * szr * b12 + ssr * b22;
              di = cq * szi * b12 + ssi * b22;
            } else {
              tr = ssr * a11 - sqr * cz * a12 - cq * szr * a21 + cq * cz * a22;
              ti = -ssi * a11 - sqi * cz * a12 + cq * szi * a21;
              dr = ssr * b11 - sqr * cz * b12 + cq * cz * b22;
              di = -ssi * b11 - sqi * cz * b12;
            }
            double tt = ti * dr - tr * di;
            int j = tt < 0.0 ? en : na;
            double r = std::sqrt(dr * dr + di * di);
            BETA(j) = bn * r;
            ALFR(j) = an * (tr * dr + ti * di) / r;
            ALFI(j) = an * tt / r;
          }
          isw = 3 - isw;
          continue;
        }
        // 4. Two real roots: the shift that zeroes a(en,na) and b(en,na) together.
        e = e + (c + sign(std::sqrt(d), c));
        a11 = a11 - e * b11;
        a12 = a12 - e * b12;
        a22 = a22 - e * b22;
        if (std::fabs(a11) + std::fabs(a12) < std::fabs(a21) + std::fabs(a22)) {
          a1 = a22;
          a2 = a21;
        } else {
          a1 = a12;
          a2 = a11;
        }
      }
      // The real z, from the right.
      if (reflector2(a1, a2, &h)) {
        reflect(A, COLS, en, na, 0, 1, en, h);
        reflect(B, COLS, en, na, 0, 1, en, h);
        if (vectors) reflect(Z, COLS, en, na, 0, 1, n, h);
      }
      if (bn == 0.0) {
        rotate_rows = false;
      } else if (an < std::fabs(e) * bn) {
        a1 = A(na, na);
        a2 = A(en, na);
      } else {
        a1 = B(na, na);
        a2 = B(en, na);
      }
    }
    // The real q, from the left.
    if (rotate_rows && reflector2(a1, a2, &h)) {
      reflect(A, ROWS, na, en, 0, na, n, h);
      reflect(B, ROWS, na, en, 0, na, n, h);
    }
    A(en, na) = 0.0;
    B(en, na) = 0.0;
    ALFR(na) = A(na, na);
    ALFR(en) = A(en, en);
    if (B(na, na) < 0.0) ALFR(na) = -ALFR(na);
    if (B(en, en) < 0.0) ALFR(en) = -ALFR(en);
    BETA(na) = std::fabs(B(na, na));
    BETA(en) = std::fabs(B(en, en));
    ALFI(en) = 0.0;
    ALFI(na) = 0.0;
    isw = 3 - isw;
  }
  B(n, 1) = epsb;
}

// (tr + i ti) / (dr + i di) into t1 + i t2, scaled by the larger part of the divisor.
static void cdiv(double tr, double ti, double dr, double di, double *t1, double *t2) {
  if (std::fabs(di) > std::fabs(dr)) {
    double rr = dr / di, d = dr * rr + di;
    *t1 = (tr * rr + ti) / d;
    *t2 = (ti * rr - tr) / d;
  } else {
    double rr = di / dr, d = dr + di * rr;
    *t1 = (tr + ti * rr) / d;
    *t2 = (ti - tr * rr) / d;
  }
}

void qzvec(matrixd *a, matrixd *b, const vectord *alfr, const vectord *alfi, const vectord *beta, matrixd *z) {
  ENTER("qzvec");
  const int n = order_of(a, b, z, here);
  check_values(alfr, alfi, beta, n, here);
  if (n == 0) return;
  const El A(a), B(b), Z(z);
  const Vl ALFR(alfr), ALFI(alfi), BETA(beta);
  double epsb = B(n, 1);
  int isw = 1;
  // 1. Back-substitution for the eigenvectors of the triangular pencil, stored in
  // b's upper triangle, from the last eigenvalue up.
  for (int en = n; en >= 1; en--) {
    int na = en - 1;
    if (isw == 2) {
      isw = 3 - isw;
      continue;
    }
    if (ALFI(en) == 0.0) {
      // A real vector; a 2 x 2 block on the way is solved as a pair of rows.
      int m = en;
      B(en, en) = 1.0;
      double alfm = ALFR(m), betm = BETA(m), zz = 0.0, s = 0.0;
      for (int i = en - 1; i >= 1; i--) {
        double w = betm * A(i, i) - alfm * B(i, i);
        double r = 0.0;
        for (int j = m; j <= en; j++) r = r + (betm * A(i, j) - alfm * B(i, j)) * B(j, en);
        if (i != 1 && isw != 2 && betm * A(i, i - 1) != 0.0) {
          zz = w;
          s = r;
          isw = 3 - isw;
          continue;
        }
        m = i;
        if (isw == 2) {
          double x = betm * A(i, i + 1) - alfm * B(i, i + 1);
          double y = betm * A(i + 1, i);
          double q = w * zz - x * y;
          double t = (x * s - zz * r) / q;
          B(i, en) = t;
          if (std::fabs(x) > std::fabs(zz))
            B(i + 1, en) = (-r - w * t) / x;
          else
            B(i + 1, en) = (-s - y * t) / zz;
          isw = 3 - isw;
        } else {
          double t = w;
          if (w == 0.0) t = epsb;
          B(i, en) = -r / t;
        }
      }
      continue;
    }
    // A complex vector (columns na and en: real and imaginary part), its last
    // component chosen imaginary so that the vector matrix stays triangular.
    int m = na;
    double almr = ALFR(m), almi = ALFI(m), betm = BETA(m);
    double y = betm * A(en, na);
    B(na, na) = -almi * B(en, en) / y;
    B(na, en) = (almr * B(en, en) - betm * A(en, en)) / y;
    B(en, na) = 0.0;
    B(en, en) = 1.0;
    double zz = 0.0, z1 = 0.0, r = 0.0, s = 0.0;
    for (int i = na - 1; i >= 1; i--) {
      double w = betm * A(i, i) - almr * B(i, i);
      double w1 = -almi * B(i, i);
      double ra = 0.0, sa = 0.0, t1, t2;
      for (int j = m; j <= en; j++) {
        double x = betm * A(i, j) - almr * B(i, j);
        double x1 = -almi * B(i, j);
        ra = ra + x * B(j, na) - x1 * B(j, en);
        sa = sa + x * B(j, en) + x1 * B(j, na);
      }
      if (i != 1 && isw != 2 && betm * A(i, i - 1) != 0.0) {
        zz = w;
        z1 = w1;
        r = ra;
        s = sa;
        isw = 2;
        continue;
      }
      m = i;
      if (isw == 2) {
        // A complex 2 x 2 block: rows i and i+1 together.
        double x = betm * A(i, i + 1) - almr * B(i, i + 1);
        double x1 = -almi * B(i, i + 1);
        y = betm * A(i + 1, i);
        double tr = y * ra - w * r + w1 * s;
        double ti = y * sa - w * s - w1 * r;
        double dr = w * zz - w1 * z1 - x * y;
        double di = w * z1 + w1 * zz - x1 * y;
        if (dr == 0.0 && di == 0.0) dr = epsb;
        cdiv(tr, ti, dr, di, &t1, &t2);
        B(i + 1, na) = t1;
        B(i + 1, en) = t2;
        isw = 1;
        if (std::fabs(y) > std::fabs(w) + std::fabs(w1)) {
          t1 = (-r - zz * B(i + 1, na) + z1 * B(i + 1, en)) / y;
          t2 = (-s - zz * B(i + 1, en) - z1 * B(i + 1, na)) / y;
        } else {
          tr = -ra - x * B(i + 1, na) + x1 * B(i + 1, en);
          ti = -sa - x * B(i + 1, en) - x1 * B(i + 1, na);
          cdiv(tr, ti, w, w1, &t1, &t2);
        }
      } else {
        cdiv(-ra, -sa, w, w1, &t1, &t2);
      }
      B(i, na) = t1;
      B(i, en) = t2;
    }
    isw = 3 - isw;
  }
  // 2. Back to the starting coordinates: z := z times b's upper triangle, last
  // column first so that each column still reads untouched ones.
  for (int j = n; j >= 1; j--) {
    for (int i = 1; i <= n; i++) {
      double zz = 0.0;
      for (int k = 1; k <= j; k++) zz = zz + Z(i, k) * B(k, j);
      Z(i, j) = zz;
    }
  }
  // 3. Each vector scaled so that its component of largest modulus has modulus 1.
  for (int j = 1; j <= n; j++) {
    double d = 0.0;
    if (isw == 2) {
      for (int i = 1; i <= n; i++) {
        double r = std::fabs(Z(i, j - 1)) + std::fabs(Z(i, j));
        if (r != 0.0) r = r * std::sqrt((Z(i, j - 1) / r) * (Z(i, j - 1) / r) + (Z(i, j) / r) * (Z(i, j) / r));
        if (r > d) d = r;
      }
      for (int i = 1; i <= n; i++) {
        Z(i, j - 1) = Z(i, j - 1) / d;
        Z(i, j) = Z(i, j) / d;
      }
    } else if (ALFI(j) == 0.0) {
      for (int i = 1; i <= n; i++)
        if (std::fabs(Z(i, j)) > d) d = std::fabs(Z(i, j));
      for (int i = 1; i <= n; i++) Z(i, j) = Z(i, j) / d;
      continue;
    }
    isw = 3 - isw;
  }
}
