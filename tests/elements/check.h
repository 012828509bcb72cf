// Test helpers for the element model: exact monomial means over the reference line,
// triangle and tetrahedron, a 3 x 3 determinant (and the fatal-stop check, through
// fatal_stop.h).
#pragma once
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "elements/basisfun.h"
#include "elements/quature.h"
#include "runtime/except.h"
#include "runtime/rtlib.h"
#include "tests/runtime/fatal_stop.h"

// Builds the rule and node tables once per suite.
struct ElementTables : ::testing::Test {
  static void SetUpTestSuite() {
    quature_init_quadrature();
    basisfun_node_coords();
  }
};

inline double factorial(int n) { return n <= 1 ? 1 : n * factorial(n - 1); }

// The mean of L1^e1 ... L(d+1)^e(d+1) over the reference cell of dimension d:
// d! e1! ... / (e1 + ... + d)!.
inline double monomial_mean(int dim, const int *e) {
  double num = factorial(dim);
  int sum = dim;
  for (int c = 0; c <= dim; c++) num *= factorial(e[c]), sum += e[c];
  return num / factorial(sum);
}

// The determinant of the rows a, b, c.
inline double det3(const double *a, const double *b, const double *c) {
  return a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0]) + a[2] * (b[0] * c[1] - b[1] * c[0]);
}

inline double monomial(const double *L, const int *e, int dim) {
  double v = 1;
  for (int c = 0; c <= dim; c++) v *= std::pow(L[c], e[c]);
  return v;
}
