// The eigenvalue driver's small steps on hand-built pencils and subspaces: the ordering
// of the Rayleigh-Ritz values (infinite ones last), the pass error and the new subspace.
#include <cmath>
#include <limits>
#include <memory>

#include "control/pdedat.h"
#include "model/pdedat_record.h"
#include "control/verdat.h"
#include "runtime/except.h"
#include "solver/eigensol.h"
#include "tests/control/reports.h"
#include "tests/runtime/dense.h"
#include "tests/tempfiles.h"

namespace {

const double inf = std::numeric_limits<double>::infinity();

struct Small : ::testing::Test {
  ControlReports reports;
  std::unique_ptr<pde> p = std::make_unique<pde>();
  EigenRun run;
  FILE *batch = tmpfile();
  void SetUp() override {
    p->eispack = 1;
    settings.batch = 1;
    settings.batchlog = batch;
  }
  void TearDown() override {
    settings.batchlog = nullptr;
    settings.batch = 0;
    fclose(batch);
  }
  // sub_eigs on copies; the jump code (0 when it returned) and the batch log's text.
  int solve(const Mat &a0, const Mat &b0, Vec *lam, Mat *q) {
    Mat a, b;
    matrixd_copyto_0(&a, &a0);
    matrixd_copyto_0(&b, &b0);
    return except_catch("Small", [&] { sub_eigs(p.get(), &run, lam, q, &a, &b); });
  }
  std::string said() {
    fflush(batch);
    rewind(batch);
    return slurp_stream(batch);
  }
};

TEST_F(Small, ValuesAscendInMagnitudeWithTheirVectors) {
  // A = diag(-4, 1, 4, -2), B = I, both paths: values by magnitude, equal magnitudes
  // (-4 before 4 as the small solver gave them) in their order, each column a unit
  // vector on its value's coordinate.
  for (uint8_t eispack : {1, 0}) {
    p->eispack = eispack;
    p->modes = 4;
    Mat a(4, 4, {-4, 0, 0, 0, 0, 1, 0, 0, 0, 0, 4, 0, 0, 0, 0, -2}), b(4, 4);
    matrixd_identity(&b);
    Vec lam;
    Mat q;
    ASSERT_EQ(solve(a, b, &lam, &q), 0);
    std::vector<double> got(lam.data, lam.data + 4);
    if (eispack) {
      EXPECT_EQ(got, (std::vector<double>{1, -2, -4, 4}));
    } else {  // the Cholesky path orders its own way first: only magnitudes are fixed
      for (int i = 0; i < 4; i++) EXPECT_EQ(std::fabs(got[i]), (std::vector<double>{1, 2, 4, 4})[i]);
    }
    for (int j = 1; j <= 4; j++) {
      int at = got[j - 1] == 1 ? 2 : got[j - 1] == -2 ? 4 : got[j - 1] == -4 ? 1 : 3;
      EXPECT_NEAR(std::fabs(q(at, j)), 1.0, 1e-12) << j;
    }
  }
}

TEST_F(Small, EqualMagnitudesOfOppositeSignKeepTheSolversOrder) {
  // The QZ routines give -3 then 3 for this pencil (upper triangular A, B = I keeps the
  // diagonal order); sorting by magnitude must not exchange them.
  p->modes = 2;
  Mat a(3, 3, {-3, 1, 0, 0, 3, 1, 0, 0, 5}), b(3, 3);
  matrixd_identity(&b);
  Vec lam;
  Mat q;
  ASSERT_EQ(solve(a, b, &lam, &q), 0);
  EXPECT_EQ(std::vector<double>(lam.data, lam.data + 3), (std::vector<double>{-3, 3, 5}));
}

TEST_F(Small, InfiniteEigenvalueGoesLastOrStopsTheRun) {
  // A = [[2,1],[1,3]], B = diag(1, 0): 5/3 and beta = 0, whichever order QZ gives.
  Mat a(2, 2, {2, 1, 1, 3}), b(2, 2, {1, 0, 0, 0});
  Vec lam;
  Mat q;
  p->modes = 1;
  ASSERT_EQ(solve(a, b, &lam, &q), 0);
  EXPECT_NEAR(lam(1), 5.0 / 3.0, 1e-14);
  EXPECT_EQ(lam(2), inf);
  // The finite value's vector solves the pencil: (A - 5/3 B) q1 = 0.
  EXPECT_NEAR((2 - 5.0 / 3.0) * q(1, 1) + q(2, 1), 0, 1e-12);
  p->modes = 2;
  EXPECT_EQ(solve(a, b, &lam, &q), EXCEPT_REPORTED);
  EXPECT_NE(said().find("ERROR: Infinite Eigenvalue"), std::string::npos) << said();
}

TEST_F(Small, CholeskyPathNeedsADefiniteB) {
  p->eispack = 0;
  p->modes = 1;
  Mat a(2, 2, {2, 0, 0, 3}), b(2, 2, {1, 0, 0, -1});
  Vec lam;
  Mat q;
  EXPECT_EQ(solve(a, b, &lam, &q), EXCEPT_REPORTED);
  EXPECT_NE(said().find("ERROR: Choleski Factorization Failed"), std::string::npos) << said();
}

TEST(PassError, RelativeChangeAndItsGuards) {
  struct Case {
    std::vector<double> lam, old;
    double err;
  } cases[] = {
      {{2, 4}, {1, 1}, std::sqrt((0.25 + 0.5625) / 2)},  // sqrt(sum ((l - o) / l)^2 / m)
      {{10, -10}, {10, -10}, 0},
      {{0, 5}, {1, 5}, 1 / (1e-12 * 5) / std::sqrt(2)},  // a constant mode: finite
      {{0, 0}, {1, 1}, 1},                              // all zero: the absolute change
  };
  for (const Case &c : cases) {
    double e = eigensol_pass_error(c.lam.data(), c.old.data(), int32_t(c.lam.size()));
    EXPECT_TRUE(std::isfinite(e));
    EXPECT_NEAR(e, c.err, 1e-12 * std::max(1.0, c.err)) << c.lam[0];
  }
}

TEST_F(Small, NewSubspaceCombinesOldVectorsToMeanSquareOne) {
  // Two vectors of one variable on four nodes; Q mixes them (sum and difference):
  // X1 = (1,1,1,1) and X2 = (1,-1,1,-1) become 2(1,0,1,0) and 2(0,1,0,1), scaled to
  // mean square 1: sqrt(2) (1,0,1,0) and sqrt(2) (0,1,0,1).
  p->nfield = 1;
  p->subspace = 2;
  vector2d sets[2] = {};
  p->modesets = sets;
  p->nmodesets = 2;
  double start[2][4] = {{1, 1, 1, 1}, {1, -1, 1, -1}};
  for (int j = 0; j < 2; j++) {
    vector2d_resize(&sets[j], 1, 1);
    vectord_resize(&sets[j].data[0], 4, 4);
    std::copy(start[j], start[j] + 4, sets[j].data[0].data);
  }
  Mat q(2, 2, {1, 1, 1, -1});
  eig_expand(p.get(), &run, &q);
  const double r = std::sqrt(2.0);
  double want[2][4] = {{r, 0, r, 0}, {0, r, 0, r}};
  for (int j = 0; j < 2; j++)
    for (int i = 0; i < 4; i++) EXPECT_NEAR(sets[j].data[0].data[i], want[j][i], 1e-15) << j << i;
  for (vector2d &s : sets) vector2d_free(&s, 1);
  p->modesets = nullptr;
  p->nmodesets = 0;
}

}  // namespace
