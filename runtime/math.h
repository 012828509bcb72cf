// math: the program-wide mathematical constants, the special functions of the
// descriptor language (erfc, gamma, incomplete gamma, exponential integrals), the
// direction angle and cube root, and the reproducible random-number generator.
#pragma once
#include <cstdint>

// Constants, set by math_init.
extern double math_pi, math_two_pi, math_half_pi, math_ln10, math_deg_to_rad;
extern double math_euler;  // 0.5772156649, the constant the series below were tuned with
extern double math_r2, math_r3, math_r4, math_r5, math_r6, math_r7, math_r8, math_r9, math_r10, math_r12;

int math_init();

double math_erfc_0(double x);
double math_erfx_0(double x);
double math_rangle_0(double x1, double y1, double x2, double y2);
double math_croot_0(double x, double guess);

double math_gamma_ln_0(double x);
double math_gamma_0(double x);
double math_gammap(double a, double x);
double math_gammaq(double a, double x);
double gammaq1(double a, double x, double gln);
double math_gamma_1(double a, double x);
double gammap_ser(double a, double x, double gln);
double gammaq_cf_0(double a, double x, double gln);

double math_expint(uint16_t n, double x);
double math_expint_ei(double x);

double math_ranf();
void math_seed_ranf_0(int32_t seed);
