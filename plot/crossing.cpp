// crossing: zero crossings of a function along the edges of one cell.
#include "plot/crossing.h"

#include <algorithm>
#include <cmath>

#include "runtime/rtlib.h"

crossinglist crossing_list;

int crossing_init() { return 0; }

void crossing_aclist_0(double t, uint16_t code) {
  TRACE("crossing_aclist_0");
  crossinglist &l = crossing_list;
  if (l.count >= CROSSING_MAX) return;
  int i = l.count++;
  l.code[i] = code;
  l.live[i] = 1;
  double *L = l.L[i], s = 1 - t;
  switch (code) {
    case 1: L[0] = 0, L[1] = s, L[2] = t; break;
    case 2: L[0] = t, L[1] = 0, L[2] = s; break;
    case 3: L[0] = s, L[1] = t, L[2] = 0; break;
    case 4: L[0] = 0, L[1] = s, L[2] = t, L[3] = 0; break;
    case 5: L[0] = t, L[1] = 0, L[2] = s, L[3] = 0; break;
    case 6: L[0] = s, L[1] = t, L[2] = 0, L[3] = 0; break;
    case 7: L[0] = t, L[1] = 0, L[2] = 0, L[3] = s; break;
    case 8: L[0] = 0, L[1] = t, L[2] = 0, L[3] = s; break;
    case 9: L[0] = 0, L[1] = 0, L[2] = t, L[3] = s; break;
    default: break;
  }
}

static double distance2(const double *a, const double *b) {
  double s = 0;
  for (int k = 0; k < 3; k++) s += (a[k] - b[k]) * (a[k] - b[k]);
  return s;
}

void crossing_aclist_1(const double *L, uint16_t code) {
  TRACE("crossing_aclist_1");
  crossinglist &l = crossing_list;
  for (int i = 0; i < l.count; i++)
    if (distance2(l.L[i], L) < 1e-8) return;
  crossing_aclist_2(L, code);
}

void crossing_aclist_2(const double *L, uint16_t code) {
  TRACE("crossing_aclist_2");
  crossinglist &l = crossing_list;
  if (l.count >= CROSSING_MAX) return;
  int i = l.count++;
  for (int k = 0; k < 4; k++) l.L[i][k] = L[k];
  l.code[i] = code;
  l.live[i] = 1;
}

static void accept(double t, uint16_t code, double tol) {
  if (-tol < t && t < 1 + tol) crossing_aclist_0(t, code);
}

void crossing_bcross1(double a, double b, uint16_t code, double tol) {
  TRACE("crossing_bcross1");
  if (a != 0) accept(-b / a, code, tol);
}

void crossing_bcross2(double a, double b, double c, uint16_t code, double tol) {
  TRACE("crossing_bcross2");
  if (a != 0 && std::fabs(a) >= 1e-6 * std::fabs(b)) {
    double d = b * b - 4 * a * c;
    if (d >= 0) {
      double r = std::sqrt(d);
      accept((-b - r) / (2 * a), code, tol);
      accept((r - b) / (2 * a), code, tol);
    }
  } else if (b != 0) {
    accept(-c / b, code, tol);
  }
}

void crossing_bcross3(double a, double b, double c, double d, uint16_t code, double tol) {
  TRACE("crossing_bcross3");
  // A zero leading coefficient passes both ratio tests when b and c are 0 too: the
  // cubic is then at most quadratic.
  if (a == 0 || std::fabs(a) < 1e-6 * std::fabs(b) || std::fabs(a) < 1e-6 * std::fabs(c)) {
    crossing_bcross2(b, c, d, code, tol);
    return;
  }
  double p = b / a, q = c / a, r = d / a, p3 = p / 3;
  double Q = q / 3 - p3 * p3, R = (p * q - 3 * r) / 6 - p3 * p3 * p3, D = R * R + Q * Q * Q;
  if (D < 0) {
    // Rounding near a double root can push the cosine a hair past 1.
    double s = std::sqrt(-Q), angle = std::acos(std::clamp(R / std::sqrt(-Q * Q * Q), -1.0, 1.0)) / 3;
    accept(2 * s * std::cos(angle) - p3, code, tol);
    accept(-s * (std::cos(angle) + std::sqrt(3.0) * std::sin(angle)) - p3, code, tol);
    accept(-s * (std::cos(angle) - std::sqrt(3.0) * std::sin(angle)) - p3, code, tol);
  } else if (D == 0) {
    double u = std::cbrt(R);
    accept(2 * u - p3, code, tol);
    accept(-u - p3, code, tol);
  } else {
    double s = std::sqrt(D);
    accept(std::cbrt(R + s) + std::cbrt(R - s) - p3, code, tol);
  }
}

void crossing_clean_crossings(crossinglist *l) {
  TRACE("crossing_clean_crossings");
  for (int i = 0; i < l->count; i++) {
    if (!l->live[i]) continue;
    for (int j = i + 1; j < l->count; j++)
      if (l->live[j] && distance2(l->L[i], l->L[j]) < 1e-8) l->live[j] = 0;
  }
  int n = 0;
  for (int i = 0; i < l->count; i++) {
    if (!l->live[i]) continue;
    if (n != i) {
      for (int k = 0; k < 4; k++) l->L[n][k] = l->L[i][k];
      l->code[n] = l->code[i];
      l->live[n] = 1;
    }
    n++;
  }
  l->count = uint16_t(n);
}
