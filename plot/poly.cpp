// poly: interpolating polynomials of plot cells and the roots of a quadratic.
#include "plot/poly.h"

#include <cmath>

#include "runtime/rtlib.h"

int poly_init() { return 0; }

void poly_poly_coef(double *c, const double *f, int32_t basis) {
  static const char *where = "poly_poly_coef";
  TRACE("poly_poly_coef");
  const double f1 = f[0], f2 = f[1], f3 = f[2];
  for (int i = 0; i <= 12; i++) c[i] = 0;
  c[0] = f3;
  switch (basis) {
    case 4:
      c[1] = f2 - f3;
      c[4] = f1 - f3;
      break;
    case 5: {
      const double f4 = f[3], f5 = f[4], f6 = f[5];
      c[1] = 4 * f4 - 3 * f3 - f2;
      c[2] = 2 * (f2 + f3) - 4 * f4;
      c[4] = 4 * f5 - 3 * f3 - f1;
      c[5] = 4 * (f3 - f4 - f5 + f6);
      c[8] = 2 * (f1 + f3) - 4 * f5;
      break;
    }
    case 6: {
      const double f4 = f[3], f5 = f[4], f6 = f[5], f7 = f[6], f8 = f[7], f9 = f[8];
      c[1] = 4.5 * (2 * f7 - f3 - f4) + f2 - f3;
      c[2] = 4.5 * (2 * f3 + 4 * f4 - 5 * f7 - f2);
      c[3] = 4.5 * (3 * (f7 - f4) + f2 - f3);
      c[4] = 4.5 * (2 * f5 - f3 - f8) + f1 - f3;
      c[5] = 2.25 * (5 * (f8 + f4) + f6 + f9 - 7 * (f7 + f5) + 6 * f3 - 2 * (f1 + f2));
      c[6] = 4.5 * (1.5 * (f5 + f9 - f8 - f6 + 3 * (f7 - f4)) + f1 + f2 - 2 * f3);
      c[8] = 4.5 * (4 * f8 + 2 * f3 - 5 * f5 - f1);
      c[9] = 4.5 * (1.5 * (f6 + f7 - f4 - f9 + 3 * (f5 - f8)) + f1 + f2 - 2 * f3);
      c[12] = 4.5 * (3 * (f5 - f8) + f1 - f3);
      break;
    }
    default: rtlib_fatal_in(where, "Illegal Basis");
  }
}

double poly_poly_eval(const double *c, double t, double s, int32_t basis) {
  static const char *where = "poly_poly_eval";
  TRACE("poly_poly_eval");
  switch (basis) {
    case 4: return c[0] + c[1] * s + c[4] * t;
    case 5: return (t * c[8] + s * c[5] + c[4]) * t + (s * c[2] + c[1]) * s + c[0];
    case 6:
      return ((t * c[12] + s * c[9] + c[8]) * t + (s * c[6] + c[5]) * s + c[4]) * t +
             ((s * c[3] + c[2]) * s + c[1]) * s + c[0];
    default: rtlib_fatal_in(where, "Illegal Basis");
  }
}

int poly_quadsolve(double *x, double a, double b, double c) {
  TRACE("poly_quadsolve");
  if (std::fabs(a * c) <= 1e-8 * b * b) {
    if (std::fabs(b) <= 1e-37 * std::fabs(c)) return 0;
    x[0] = -c / b;
    return 1;
  }
  double d = b * b - 4 * a * c;
  if (d > 0) {
    double r = std::sqrt(d);
    x[0] = (-b - r) / (2 * a);
    x[1] = (r - b) / (2 * a);
    return 2;
  }
  if (d == 0) {
    x[0] = -b / (2 * a);
    return 1;
  }
  return 0;
}
