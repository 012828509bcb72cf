// math: constants, special functions and the random-number generator.
#include "runtime/math.h"

#include <cmath>

#include "runtime/rtlib.h"

double math_pi, math_two_pi, math_half_pi, math_ln10, math_deg_to_rad, math_euler;
double math_r2, math_r3, math_r4, math_r5, math_r6, math_r7, math_r8, math_r9, math_r10, math_r12;

// Convergence limits shared by the incomplete gamma and exponential integrals.
static const double EPS = 1.0e-9;
static const double FPMIN = 1.0e-37;

// Sets the constants and fills the random generator's table from seed 0.
int math_init() {
  TRACE("math");
  math_pi = 4.0 * atan(1.0);
  math_two_pi = 2.0 * math_pi;
  math_half_pi = 0.5 * math_pi;
  math_ln10 = log(10.0);
  math_deg_to_rad = math_pi * (1.0 / 180.0);
  math_euler = 0.5772156649;
  math_r2 = 1.0 / 2;
  math_r3 = 1.0 / 3;
  math_r4 = 1.0 / 4;
  math_r5 = 1.0 / 5;
  math_r6 = 1.0 / 6;
  math_r7 = 1.0 / 7;
  math_r8 = 1.0 / 8;
  math_r9 = 1.0 / 9;
  math_r10 = 1.0 / 10;
  math_r12 = 1.0 / 12;
  math_seed_ranf_0(0);
  return 0;
}

// ---- Error function --------------------------------------------------------------

// erfc(x) by the five-term rational approximation (absolute error below 1.5e-7).
double math_erfc_0(double x) {
  TRACE("math_erfc_0");
  if (x >= 10.0) return 0.0;
  if (x < 0.0) return 2.0 - math_erfc_0(-x);
  double t = 1.0 / (1.0 + 0.3275911 * x);
  return t * (0.254829592 + t * (-0.284496736 + t * (1.421413741 + t * (-1.453152027 + 1.061405429 * t)))) *
         exp(-x * x);
}

// erfc(x)/2 with the shorter coefficients the evaluator was built with.
double math_erfx_0(double x) {
  TRACE("math_erfx_0");
  double z = fabs(x), e = 0.0;
  if (z <= 10.0) {
    double t = 1.0 / (1.0 + 0.3275911 * z);
    e = t * (0.254829592 + t * (-0.28449674 + t * (1.4214137 + t * (-1.453152 + 1.0614054 * t)))) * exp(-z * z);
  }
  if (x < 0.0) e = 2.0 - e;
  return 0.5 * e;
}

// ---- Geometry helpers --------------------------------------------------------------

// Direction of the vector from point 1 to point 2, in [0, 2 pi).
double math_rangle_0(double x1, double y1, double x2, double y2) {
  TRACE("math_rangle_0");
  double a = atan2(y2 - y1, x2 - x1);
  if (a < 0.0) a += math_two_pi;
  return a;
}

// Cube root of x by Newton steps from a nonzero guess near the root. A zero guess,
// or x = 0 (whose Newton steps only shrink the guess until 0/0), returns 0.
double math_croot_0(double x, double guess) {
  TRACE("math_croot_0");
  double g = guess;
  if (g == 0.0 || x == 0.0) return 0.0;
  double d;
  do {
    d = (x / (g * g) - g) * math_r3;
    g += d;
  } while (fabs(d) > 1.0e-9 * fabs(g));
  return g;
}

// ---- Gamma functions -----------------------------------------------------------------

// ln Gamma(x), x > 0, by the six-term Lanczos series (relative error near 2e-10).
double math_gamma_ln_0(double x) {
  TRACE("math_gamma_ln_0");
  static const double c[6] = {76.18009172947146,     -86.50532032941677,    24.01409824083091,
                              -1.231739572450155,    0.1208650973866179e-2, -0.5395239384953e-5};
  double tmp = x + 5.5;
  double ser = 1.000000000190015;
  for (int j = 0; j < 6; j++) ser += c[j] / (x + (j + 1));
  return log(2.506628274631 * ser / x) - (tmp - (x + 0.5) * log(tmp));
}

double math_gamma_0(double x) {
  TRACE("math_gamma_0");
  return exp(math_gamma_ln_0(x));
}

// P(a, x) by its power series; gln is ln Gamma(a).
double gammap_ser(double a, double x, double gln) {
  TRACE("gammap_ser_0");
  if (x < 0.0) rtlib_fatal_in("gammap_ser_0", "X < 0");
  if (x == 0.0) return 0.0;
  double ap = a, del = 1.0 / a, sum = del;
  for (int n = 1; n <= 100; n++) {
    ap += 1.0;
    del *= x / ap;
    sum += del;
    if (fabs(del) < fabs(sum) * EPS) return sum * exp(-x + a * log(x) - gln);
  }
  rtlib_fatal_in("gammap_ser_0", "Iteration failure");
}

// Q(a, x) by its continued fraction (modified Lentz); returns the last estimate
// when 101 rounds did not converge.
double gammaq_cf_0(double a, double x, double gln) {
  TRACE("gammaq_cf_0");
  double b = x + 1.0 - a, c = 1.0 / FPMIN, d = 1.0 / b, h = d;
  for (int i = 1; i <= 101; i++) {
    double an = -i * (i - a);
    b += 2.0;
    d = an * d + b;
    if (fabs(d) < FPMIN) d = FPMIN;
    c = b + an / c;
    if (fabs(c) < FPMIN) c = FPMIN;
    d = 1.0 / d;
    double del = d * c;
    h *= del;
    if (fabs(del - 1.0) < EPS) break;
  }
  return exp(-x + a * log(x) - gln) * h;
}

// Regularised lower incomplete gamma P(a, x): the series below a + 1, the continued
// fraction above, each where it converges fast.
double math_gammap(double a, double x) {
  TRACE("math_gammap_0");
  if (x < 0.0 || a <= 0.0) rtlib_fatal_in("math_gammap_0", "Illegal argument");
  double gln = math_gamma_ln_0(a);
  if (x < a + 1.0) return gammap_ser(a, x, gln);
  return 1.0 - gammaq_cf_0(a, x, gln);
}

// Q(a, x) with ln Gamma(a) supplied by the caller.
double gammaq1(double a, double x, double gln) {
  TRACE("gammaq1_0");
  if (x < 0.0 || a <= 0.0) rtlib_fatal_in("gammaq1_0", "Illegal argument");
  if (x < a + 1.0) return 1.0 - gammap_ser(a, x, gln);
  return gammaq_cf_0(a, x, gln);
}

// Regularised upper incomplete gamma Q(a, x) = 1 - P(a, x).
double math_gammaq(double a, double x) {
  TRACE("math_gammaq_0");
  if (x < 0.0 || a <= 0.0) rtlib_fatal_in("math_gammaq_0", "Illegal argument");
  return gammaq1(a, x, math_gamma_ln_0(a));
}

// Upper incomplete gamma Gamma(a, x) = Q(a, x) Gamma(a).
double math_gamma_1(double a, double x) {
  TRACE("math_gamma_1");
  return math_gammaq(a, x) * math_gamma_0(a);
}

// ---- Exponential integrals -----------------------------------------------------------

// E_n(x) by its continued fraction above 1 and its series below.
double math_expint(uint16_t n, double x) {
  TRACE("math_expint_0");
  int nm1 = n - 1;
  if (x < 0.0 || (x == 0.0 && (n == 0 || n == 1))) rtlib_fatal_in("math_expint_0", "Bad Arguments");
  if (n == 0) return exp(-x) / x;
  if (x == 0.0) return 1.0 / nm1;
  if (x > 1.0) {
    double b = x + n, c = 1.0 / FPMIN, d = 1.0 / b, h = d;
    for (int i = 1; i <= 99; i++) {
      double an = -i * (double)(nm1 + i);
      b += 2.0;
      d = 1.0 / (an * d + b);
      c = b + an / c;
      double del = c * d;
      h *= del;
      if (fabs(del - 1.0) < EPS) return h * exp(-x);
    }
    rtlib_fatal_in("math_expint_0", "Continued Fraction failed");
  }
  double ans = nm1 != 0 ? 1.0 / nm1 : -log(x) - math_euler;
  double fact = 1.0;
  for (int i = 1; i <= 99; i++) {
    fact = -fact * x / i;
    double del;
    if (i != nm1) {
      del = -fact / (i - nm1);
    } else {
      double psi = -math_euler;
      for (int k = 1; k <= nm1; k++) psi += 1.0 / k;
      del = fact * (-log(x) + psi);
    }
    ans += del;
    if (fabs(del) < fabs(ans) * EPS) return ans;
  }
  rtlib_fatal_in("math_expint_0", "Series failed");
}

// Ei(x), x > 0: the power series up to -ln EPS, the asymptotic series beyond. The
// asymptotic sum stops at its smallest term; a term that does not fall (equal to the
// previous one, as at x = k) ends it too, so no term is taken away twice.
double math_expint_ei(double x) {
  TRACE("math_expint_ei_0");
  if (x <= 0.0) rtlib_fatal_in("math_expint_ei_0", "Bad Argument");
  if (x < FPMIN) return log(x) + math_euler;
  if (x <= -log(EPS)) {
    double sum = 0.0, fact = 1.0;
    for (int k = 1; k <= 99; k++) {
      fact *= x / k;
      double term = fact / k;
      sum += term;
      if (term < EPS * sum) return sum + log(x) + math_euler;
    }
    rtlib_fatal_in("math_expint_ei_0", "Series failed");
  }
  double sum = 0.0, term = 1.0;
  for (int k = 1;; k++) {
    double prev = term;
    term = term * k / x;
    bool stop;
    if (term >= prev) {
      sum -= prev;
      stop = true;
    } else {
      sum += term;
      stop = term < EPS;
    }
    if (k >= 100) rtlib_fatal_in("math_expint_ei_0", "Series diverges");
    if (stop) break;
  }
  return exp(x) * (1.0 + sum) / x;
}

// ---- Random numbers --------------------------------------------------------------------

// Three congruential generators; the third picks a slot of the shuffle table that the
// first two refill. Every product and sum stays below 2^31.
static const int32_t IA1 = 7141, IC1 = 54772, M1 = 259200;
static const int32_t IA2 = 8121, IC2 = 28411, M2 = 134456;
static const int32_t IA3 = 4561, IC3 = 51349, M3 = 243000;
static int32_t ix1, ix2, ix3;
static double ranf_table[98];  // slots 1..97
static double RM1, RM2;

// Next uniform number in [0, 1); the same sequence in every run.
double math_ranf() {
  TRACE("math_ranf_0");
  ix1 = (IA1 * ix1 + IC1) % M1;
  ix2 = (IA2 * ix2 + IC2) % M2;
  ix3 = (IA3 * ix3 + IC3) % M3;
  int32_t j = 1 + (97 * ix3) / M3;
  if (j < 1 || j > 97) rtlib_fatal_in("math_ranf_0", "BAD RANF");
  double r = ranf_table[j];
  ranf_table[j] = (ix1 + ix2 * RM2) * RM1;
  return r;
}

// Refills the shuffle table from the seed; the generator state is left as it is.
// The seed is first brought into 0..M1-1 (a negative or huge seed would otherwise
// overflow or fill the table with negative numbers).
void math_seed_ranf_0(int32_t seed) {
  TRACE("math_seed_ranf_0");
  RM1 = 1.0 / M1;
  RM2 = 1.0 / M2;
  int32_t k1 = static_cast<int32_t>((static_cast<int64_t>(seed) + IC1) % M1);
  if (k1 < 0) k1 += M1;
  k1 = (IA1 * k1 + IC1) % M1;
  int32_t k2 = k1 % M2;
  k1 = (IA1 * k1 + IC1) % M1;
  for (int j = 1; j <= 97; j++) {
    k1 = (IA1 * k1 + IC1) % M1;
    k2 = (IA2 * k2 + IC2) % M2;
    ranf_table[j] = (k1 + k2 * RM2) * RM1;
  }
}
