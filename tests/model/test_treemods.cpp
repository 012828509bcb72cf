// Weak-form rewriting: splitting by class, integration by parts, the vector
// operators through the coordinate metric (against sympy), shared subexpressions and
// the small operations.
#include "model/treemods.h"
#include "tests/model/symfix.h"

TEST_F(Symbolic, PlanarizeCollectsALinearForm) {
  struct Case { const char *f; double want[4]; } cases[] = {
      {"2*X - (Y*3 - 4) + -Z", {2, -3, -1, 4}}, {"X + X - 0.5", {2, 0, 0, -0.5}}, {"7", {0, 0, 0, 7}},
  };
  for (const Case &c : cases) {
    double coef[4] = {1, 1, 1, 1};
    TreeNode *t = build(c.f);
    treemods_planarize(coef, t, 2);
    for (int k = 0; k < 4; k++) EXPECT_DOUBLE_EQ(coef[k], 1 + 2 * c.want[k]) << c.f << " " << k;
    trees_free_0(t);
  }
  double coef[4] = {};
  TreeNode *t = build("X + X*Y");
  EXPECT_EQ(error_of([&] { treemods_planarize(coef, t, 1); }), "Planar Surface Required");
  trees_free_0(t);
}
