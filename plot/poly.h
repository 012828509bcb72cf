// poly: the polynomial that interpolates a plot cell's nodal values in the local
// coordinates s (of vertex 2) and t (of vertex 1), its value, and quadratic roots.
#pragma once
#include <cstdint>

int poly_init();
// c[0..12]: the coefficients of s^i t^j that the basis uses (4: c0 c1 c4; 5: adds c2 c5
// c8; 6: adds c3 c6 c9 c12); f holds the nodal values f1..fn. "Illegal Basis" for
// bases other than 4, 5, 6.
void poly_poly_coef(double *c, const double *f, int32_t basis);
double poly_poly_eval(const double *c, double t, double s, int32_t basis);
// Real roots of a x^2 + b x + c = 0 into x[0..1]; returns their number (0, 1 or 2).
int poly_quadsolve(double *x, double a, double b, double c);
