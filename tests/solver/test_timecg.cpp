// Weighted-pair solvers: each of the four forms against the dense solution of the
// formed matrix F1 M1 + F0 M0 (+ C) and against sparsecg_cg on that matrix, the
// zero right-hand side and the refused inputs.
#include <gtest/gtest.h>

#include "solver/sparsecg.h"
#include "solver/timecg.h"
#include "tests/solver/sparse_fixture.h"

namespace {

const int M = 5;  // 25 unknowns
const double F1 = 10.0, F0 = 0.5;

// M1: a mass-like tridiagonal (SPD); M0 the 5-point operator; C a symmetric or
// nonsymmetric coupling of far unknowns.
Dense mass() {
  Dense a(M * M, std::vector<double>(M * M, 0.0));
  for (int i = 0; i < M * M; i++) {
    a[i][i] = 4.0 / 6;
    if (i > 0) a[i][i - 1] = a[i - 1][i] = 1.0 / 6;
  }
  return a;
}
Dense border(bool symmetric) {
  Dense c(M * M, std::vector<double>(M * M, 0.0));
  for (int i = 0; i + 7 < M * M; i += 3) {
    c[i][i + 7] = 0.3;
    c[i + 7][i] = symmetric ? 0.3 : -0.2;
  }
  return c;
}
Dense formed(const Dense &m1, const Dense &m0, const Dense *c) {
  Dense a = m0;
  for (size_t i = 0; i < a.size(); i++)
    for (size_t j = 0; j < a.size(); j++) a[i][j] = F1 * m1[i][j] + F0 * m0[i][j] + (c ? (*c)[i][j] : 0.0);
  return a;
}

enum Form { orth_tim, orth_bit, lanc_tim, lanc_bit };

struct Pair {
  Sparse m1, m0, c, p;
  Vec b, d, x;
  vector2d pool{};
  Pair(const Dense &a1, const Dense &a0, const Dense *cb) : m1(a1), m0(a0) {
    if (cb) new (&c) Sparse(*cb);
    int n = M * M;
    vectord_resize(&b, n, n);
    vectord_resize(&d, n, n);
    Dense pd(n, std::vector<double>(n, 0.0));  // a symmetric, nonsingular P
    for (int i = 0; i < n; i++) {
      b.data[i] = std::sin(i + 1.0);
      d.data[i] = 1.0 / std::sqrt(F1 * a1[i][i] + F0 * a0[i][i]);
      pd[i][i] = d.data[i];
      if (i > 0) pd[i][i - 1] = pd[i - 1][i] = 0.1 * d.data[i];
    }
    new (&p) Sparse(pd);
    vector2d_new(&pool, 0, 8);
  }
  ~Pair() { vector2d_free(&pool, 1); }
  double run(Form f, bool scaled, const vectord *bb) {
    const vectord *dd = scaled ? &d : nullptr;
    switch (f) {
      case orth_tim: return timecg_orthomin_tim(&x, &c, &m1, &m0, bb, dd, nullptr, &pool, F1, F0, 1e-13, 0, 200, nullptr);
      case orth_bit: return timecg_orthomin_bit(&x, &c, &m1, &m0, &p, bb, nullptr, &pool, F1, F0, 1e-13, 0, 200, nullptr);
      case lanc_tim: return timecg_lanczos_tim(&x, &c, &m1, &m0, bb, dd, nullptr, &pool, F1, F0, 1e-13, 0, 200, nullptr);
      default: return timecg_lanczos_bit(&x, &c, &m1, &m0, &p, bb, nullptr, &pool, F1, F0, 1e-13, 0, 200, nullptr);
    }
  }
};

}  // namespace

TEST(Timecg, EveryFormSolvesTheFormedMatrix) {
  for (bool symmetric : {true, false})
    for (bool bordered : {false, true})
      for (Form f : {orth_tim, orth_bit, lanc_tim, lanc_bit})
        for (bool scaled : {false, true}) {
          if (!symmetric && (f == orth_tim || f == orth_bit)) continue;  // CG needs an SPD pair
          Dense a1 = mass(), a0 = five_point(M, symmetric ? 0.0 : 0.6), cb = border(symmetric);
          Pair pr(a1, a0, bordered ? &cb : nullptr);
          Dense a = formed(a1, a0, bordered ? &cb : nullptr);
          std::vector<double> bs(pr.b.data, pr.b.data + pr.b.count);
          double rms = pr.run(f, scaled, &pr.b);
          std::string tag = std::to_string(f) + (symmetric ? " sym" : " nonsym") + (bordered ? " C" : "") +
                            (scaled ? " d" : "");
          EXPECT_LT(max_rel_error(pr.x, dense_solve(a, bs)), 1e-8) << tag;
          EXPECT_GT(rms, 0) << tag;
          // The general solver on the formed matrix.
          Sparse fa(a), none;
          Vec y;
          sparsecg_cg(&y, &fa, &none, &pr.b, nullptr, nullptr, &pr.pool, 1e-13, 0, 200, nullptr,
                      symmetric ? orthomin : lanczos, noprecon, fa.rows);
          EXPECT_LT(max_rel_error(pr.x, std::vector<double>(y.data, y.data + y.count)), 1e-8) << tag;
          for (int32_t i = 1; i <= pr.pool.count; i++) EXPECT_EQ(pr.pool.data[i - 1].count, 0) << tag;
        }
}

TEST(Timecg, ZeroRightHandSideAndRefusedInputs) {
  Dense a1 = mass(), a0 = five_point(M);
  Pair pr(a1, a0, nullptr);
  Vec zero;
  vectord_resize(&zero, M * M, M * M);
  vectord_copyto_1(&zero, 0.0);
  for (Form f : {lanc_tim, lanc_bit}) {
    vectord_copyto_1(&pr.x, 7.0);
    EXPECT_EQ(pr.run(f, true, &zero), 0.0);
    for (int32_t i = 0; i < pr.x.count; i++) EXPECT_EQ(pr.x.data[i], 0.0);
  }
  Vec shortb;
  vectord_resize(&shortb, 3, 3);
  sparsemx none{};
  EXPECT_EQ(fatal_stop([&] { pr.run(orth_tim, false, &shortb); }), "BAD RHS IN trap_rhs");
  EXPECT_EQ(fatal_stop([&] {
              timecg_lanczos_bit(&pr.x, &pr.c, &none, &pr.m0, &pr.p, &pr.b, nullptr, &pr.pool, F1, F0, 1e-8, 0, 10,
                                 nullptr);
            }),
            "BAD MATRIX IN trap_matrix");
}

// The diagonally scaled CG, whose product takes rows four at a time, on a matrix whose
// rows differ in length (the border) and whose row count is not a multiple of four:
// the dense answer, and every work vector given back.
TEST(Timecg, ScaledStepSolveMeetsTheDenseAnswer) {
  for (bool bordered : {false, true}) {
    Dense a1 = mass(), a0 = five_point(M), cb = border(true);
    Pair pr(a1, a0, bordered ? &cb : nullptr);
    Dense a = formed(a1, a0, bordered ? &cb : nullptr);
    Sparse fa(a), none;
    std::vector<double> bs(pr.b.data, pr.b.data + pr.b.count);
    sparsecg_cg(&pr.x, &fa, &none, &pr.b, &pr.d, nullptr, &pr.pool, 1e-13, 0, 200, nullptr, orthomin, diprecon,
                fa.rows);
    EXPECT_LT(max_rel_error(pr.x, dense_solve(a, bs)), 1e-8) << bordered;
    for (int32_t i = 1; i <= pr.pool.count; i++) EXPECT_EQ(pr.pool.data[i - 1].count, 0);
  }
}
