// Quadrature rules: exactness per rule against exact monomial means (which makes the
// line rules Gauss-Legendre), side sets, choice tables, per-basis tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <vector>

#include "elements/basisfun.h"
#include "elements/quature.h"
#include "runtime/bopmem.h"
#include "tests/elements/check.h"

namespace {

using Rules = ElementTables;

// Largest relative error of the rule over all monomials of total degree deg.
double worst_error(const QuadRule *r, int dim, int deg) {
  double worst = 0;
  int e[4] = {0, 0, 0, 0};
  // Enumerate exponents e0..edim with sum deg.
  std::vector<std::vector<int>> all;
  std::function<void(int, int)> rec = [&](int c, int left) {
    if (c == dim) {
      e[c] = left;
      all.push_back(std::vector<int>(e, e + 4));
      return;
    }
    for (int k = 0; k <= left; k++) e[c] = k, rec(c + 1, left - k);
  };
  rec(0, deg);
  for (auto &x : all) {
    double sum = 0;
    for (int q = 0; q < r->count; q++) sum += r->points[q].weight * monomial(r->points[q].L, x.data(), dim);
    double exact = monomial_mean(dim, x.data());
    worst = std::max(worst, std::fabs(sum - exact) / exact);
  }
  return worst;
}

}  // namespace

// rule, dimension, points, degree of exactness
struct Exactness {
  int rule, dim, points, degree;
};
static const Exactness table[] = {{1, 1, 2, 3},  {2, 1, 3, 5},  {3, 1, 5, 9},  {4, 1, 7, 13},
                                  {5, 1, 9, 17}, {6, 2, 3, 2},  {7, 2, 4, 3},  {8, 2, 7, 5},
                                  {9, 2, 13, 7}, {10, 3, 5, 3}, {11, 3, 15, 5}};

// An n-point line rule exact to degree 2n - 1 is the Gauss-Legendre rule: exactness
// pins its nodes and weights down.
TEST_F(Rules, EveryRuleIsExactToItsDegreeAndNotBeyond) {
  EXPECT_EQ(quature_rule(0)->count, 0);
  for (const Exactness &x : table) {
    const QuadRule *r = quature_rule(x.rule);
    ASSERT_EQ(r->count, x.points) << "rule " << x.rule;
    double sum = 0;
    for (int q = 0; q < r->count; q++) sum += r->points[q].weight;
    EXPECT_NEAR(sum, 1, 1e-12) << "rule " << x.rule;
    for (int d = 0; d <= x.degree; d++)
      EXPECT_LE(worst_error(r, x.dim, d), 1e-12) << "rule " << x.rule << " degree " << d;
    EXPECT_GT(worst_error(r, x.dim, x.degree + 1), 1e-6) << "rule " << x.rule;
    for (int q = 0; q < r->count; q++) {
      double s = 0;
      for (int c = 0; c < 4; c++) s += c > x.dim ? 9 * r->points[q].L[c] : r->points[q].L[c];
      EXPECT_NEAR(s, 1, 1e-15) << "coordinates sum to 1, those above the dimension are 0";
    }
  }
}

TEST_F(Rules, SideSetsLieOnTheirSidesAndIntegrateThere) {
  // Set 1: side 0 (opposite vertex 1) is the end L = (0, 1); side 1 the end (1, 0).
  const QuadRule *e0 = quature_side_rule(1, 0), *e1 = quature_side_rule(1, 1);
  ASSERT_EQ(e0->count, 1);
  EXPECT_EQ((std::vector<double>{e0->points[0].L[0], e0->points[0].L[1], e1->points[0].L[0], e1->points[0].L[1],
                                 e0->points[0].weight}),
            (std::vector<double>{0, 1, 1, 0, 1}));
  // Triangle sets 2-6 carry line rules 1-5 on sides opposite vertices 1, 2, 3.
  for (int k = 2; k <= 6; k++)
    for (int s = 0; s < 3; s++) {
      const QuadRule *r = quature_side_rule(k, s);
      const QuadRule *line = quature_rule(k - 1);
      ASSERT_EQ(r->count, line->count);
      int deg = table[k - 2].degree;
      for (int a = 0; a <= deg; a++) {
        int e[4] = {0, 0, 0, 0};
        e[(s + 1) % 3] = deg - a, e[(s + 2) % 3] = a;
        double sum = 0;
        for (int q = 0; q < r->count; q++) {
          EXPECT_EQ(r->points[q].L[s], 0);
          sum += r->points[q].weight * monomial(r->points[q].L, e, 2);
        }
        EXPECT_NEAR(sum, factorial(deg - a) * factorial(a) / factorial(deg + 1), 1e-12);
      }
      // Side 0 runs from vertex 2 towards vertex 3.
      EXPECT_GT(r->points[0].L[(s + 1) % 3], r->points[r->count - 1].L[(s + 1) % 3]);
    }
  // Set 8: the 7-point rule on all four tetrahedron faces; set 7's fourth entry is
  // set 8's first.
  for (int f = 0; f < 4; f++) {
    const QuadRule *r = quature_side_rule(8, f);
    ASSERT_EQ(r->count, 7);
    int e[4] = {0, 0, 0, 0};
    e[(f + 1) % 4] = 2, e[(f + 2) % 4] = 2, e[(f + 3) % 4] = 1;
    double sum = 0;
    for (int q = 0; q < 7; q++) {
      EXPECT_EQ(r->points[q].L[f], 0);
      sum += r->points[q].weight * monomial(r->points[q].L, e, 3);
    }
    EXPECT_NEAR(sum, 2 * factorial(2) * factorial(2) / factorial(7), 1e-13);
  }
  for (int f = 0; f < 3; f++) EXPECT_EQ(quature_side_rule(7, f)->count, 4);
  EXPECT_EQ(quature_side_rule(7, 3), quature_side_rule(8, 0));
  // A mesh side s lies opposite vertex s: its rule side is s - 1.
  for (int s = 1; s <= 4; s++) EXPECT_EQ(quature_side_rule(8, quature_rule_side(s))->points[0].L[s - 1], 0);
}

TEST_F(Rules, ChoiceTablesGiveEveryTwoAndThreeDimensionalProblemARule) {
  // {dim, order, steady interior, time interior, steady sides, time sides}
  static const int expect[][6] = {{2, 1, 7, 7, 3, 3},   {2, 2, 8, 8, 3, 3},
                                  {2, 3, 8, 9, 4, 4},   {3, 1, 10, 10, 8, 8},
                                  {3, 2, 10, 11, 8, 8}, {3, 3, 11, 11, 8, 8}};
  for (auto &x : expect)
    EXPECT_EQ((std::vector<int>{quature_interior_choice(0, x[0], x[1]), quature_interior_choice(1, x[0], x[1]),
                                quature_side_choice(0, x[0], x[1]), quature_side_choice(1, x[0], x[1])}),
              std::vector<int>(x + 2, x + 6));
  for (int order = 1; order <= 3; order++)
    for (int t = 0; t <= 1; t++) EXPECT_EQ(quature_interior_choice(t, 1, order) + quature_side_choice(t, 1, order), 0);
}

TEST_F(Rules, PerBasisTablesHoldValuesAndDerivativesAtEveryPoint) {
  int64_t before = XMEM;
  QuadBasis vt = {};
  quature_build_vquad_basis(&vt, 8, tri6);
  ASSERT_EQ(vt.count, 7);
  // Integrals of the basis through the table: tri6 vertices 0, edges 1/3 of the area.
  for (int i = 0; i < 6; i++) {
    double s = 0;
    for (int q = 0; q < 7; q++) s += quature_rule(8)->points[q].weight * vt.values[q][i];
    EXPECT_NEAR(s, i < 3 ? 0 : 1.0 / 3, 1e-12);
  }
  quature_build_vquad_basis(&vt, 9, tri6);  // a rebuild releases the old rows
  EXPECT_EQ(vt.count, 13);
  quature_free_vquad_basis(&vt);
  EXPECT_EQ(XMEM, before);

  SideQuadBasis st = {};
  quature_build_squad_basis(&st, 8, tet10);
  for (int f = 0; f < 4; f++) {
    ASSERT_EQ(st.side[f].count, 7);
    // Quadratic functions of the vertex opposite the face vanish on it.
    for (int q = 0; q < 7; q++) EXPECT_NEAR(st.side[f].values[q][f], 0, 1e-15);
  }
  // Rebuilt for a triangle, the fourth face goes; freeing releases every side.
  quature_build_squad_basis(&st, 3, tri6);
  EXPECT_EQ(st.side[3].values, nullptr);
  quature_free_squad_basis(&st, tri6);
  EXPECT_EQ(XMEM, before);
  quature_build_squad_basis(&st, 8, tet10);
  quature_free_squad_basis(&st, tri6);  // whatever the code given
  EXPECT_EQ(XMEM, before);
}

// The frame at a rule point taken from a table equals the frame evaluated at the
// point, bit for bit, for every cell code and every rule of its dimension; a table
// of another basis falls back to the evaluation.
TEST_F(Rules, FramesFromTablesEqualFramesAtThePoints) {
  for (int code = lin2; code <= tet20; code++) {
    int dim = elements_dimension[code];
    const LocalPoint *nodes = basisfun_node_table(code);
    double xyz[20][3];
    for (int k = 0; k < elements_functions[code]; k++)
      for (int r = 0; r < 3; r++) xyz[k][r] = nodes[k].L[r + 1] * (1 + 0.1 * r) + (k > dim ? 0.03 * ((k * 7 + r) % 5 - 2) : 0);
    for (int rule = 1; rule < QUATURE_RULES; rule++) {
      const QuadRule *r = quature_rule(rule);
      if (r->points[0].L[dim] == 0 || (dim < 3 && r->points[0].L[dim + 1] != 0)) continue;  // another dimension
      for (int32_t tcode : {code, elements_linear_code[dim]}) {
        QuadBasis t = {};
        quature_build_vquad_basis(&t, rule, tcode);
        ElementFrame a = {}, b = {};
        elements_localize(&a, xyz, code, code);
        b = a;
        for (int q = 0; q < t.count; q++) {
          double xa[3], xb[3];
          elements_jacobian_rule(&t, q, &a);
          elements_get_gcoords_rule(xa, &t, q, &a);
          elements_jacobian(r->points[q].L, &b);
          elements_get_gcoords(xb, r->points[q].L, &b);
          // The map's results (values is scratch that only evaluation fills).
          size_t tail = sizeof a - offsetof(ElementFrame, measure);
          ASSERT_TRUE(!memcmp(&a.measure, &b.measure, tail) && !memcmp(a.gderiv, b.gderiv, sizeof a.gderiv) &&
                      !memcmp(xa, xb, sizeof xa))
              << elements_names[code] << " rule " << rule << " point " << q;
        }
        quature_free_vquad_basis(&t);
      }
    }
  }
  QuadBasis t = {};
  ElementFrame f = {};
  f.gbasis = tri3;
  expect_fatal("NO SUCH RULE POINT IN elements_jacobian_rule_0", [&] { elements_jacobian_rule(&t, 0, &f); });
}
