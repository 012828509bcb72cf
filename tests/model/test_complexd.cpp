// Complex arithmetic against std::complex, with the result aliased to each operand.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>

#include "model/complexd.h"

namespace {
using cd = std::complex<double>;
complexd from(cd c) { return {c.real(), c.imag()}; }
void near(const complexd &got, cd want, const char *what) {
  double tol = 1e-12 * (1 + std::abs(want));
  EXPECT_NEAR(got.re, want.real(), tol) << what;
  EXPECT_NEAR(got.im, want.imag(), tol) << what;
}
}  // namespace

TEST(Complexd, AgreesWithTheStandardTypeUnderAliasing) {
  std::mt19937 gen(122);
  std::uniform_real_distribution<double> u(-3, 3);
  using Op2 = void (*)(complexd *, const complexd *, const complexd *);
  struct { const char *name; Op2 f; cd (*want)(cd, cd); } ops[] = {
      {"cadd", complexd_cadd, [](cd a, cd b) { return a + b; }},
      {"csub", complexd_csub, [](cd a, cd b) { return a - b; }},
      {"cmul", complexd_cmul, [](cd a, cd b) { return a * b; }},
      {"cdiv", complexd_cdiv, [](cd a, cd b) { return a / b; }},
  };
  for (int k = 0; k < 1000; k++) {
    cd a(u(gen), u(gen)), b(u(gen), u(gen));
    for (auto &o : ops) {
      complexd x = from(a), y = from(b), r;
      o.f(&r, &x, &y);
      near(r, o.want(a, b), o.name);
      o.f(&x, &x, &y);  // result in the first operand
      near(x, o.want(a, b), o.name);
      x = from(a);
      o.f(&y, &x, &y);  // result in the second operand
      near(y, o.want(a, b), o.name);
    }
    complexd x = from(a), y = from(b);
    near(*complexd_addto(&x, &y), a + b, "addto");
    near(*complexd_subto(&x, &y), a, "subto");
    near(*complexd_multo_0(&x, &y), a * b, "multo_0");
    near(*complexd_divto(&x, &y), a, "divto");
    near(*complexd_multo_1(&x, 2.5), a * 2.5, "multo_1");
    complexd_copyto(&x, &y);
    near(x, b, "copyto");
    EXPECT_NEAR(complexd_cabs(&x), std::abs(b), 1e-12);
    complexd_cexp(&x, &x);
    near(x, std::conj(std::exp(b)), "cexp");
  }
}
