// Basis functions and cell-type tables: node deltas, partition of unity, polynomial
// reproduction, derivatives against central differences, basis integrals against
// exact fractions, the side/face/edge/rotation tables against node coordinates.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <set>

#include "elements/basisfun.h"
#include "elements/quature.h"
#include "runtime/bopmem.h"
#include "tests/elements/check.h"

namespace {

using Basis = ElementTables;

// A random point inside the reference cell of the dimension (coordinates sum to 1).
void random_point(std::mt19937 &g, int dim, double *L) {
  std::uniform_real_distribution<double> u(0.05, 1);
  double s = 0;
  for (int c = 0; c < 4; c++) L[c] = c <= dim ? u(g) : 0, s += L[c];
  for (int c = 0; c <= dim; c++) L[c] /= s;
}

const int cell_codes[] = {lin2, lin3, lin4, tri3, tri6, tri9, tri10, tet4, tet10, tet20};

}  // namespace

TEST_F(Basis, PickBasisAndItsStops) {
  static const int expect[3][3] = {{1, 2, 3}, {4, 5, 6}, {8, 9, 10}};
  for (int d = 1; d <= 3; d++)
    for (int p = 1; p <= 3; p++) EXPECT_EQ(basisfun_pick_basis(d, p), expect[d - 1][p - 1]);
  expect_fatal("ILLEGAL ORDER IN basisfun_pick_basis_0", [&] { basisfun_pick_basis(2, 4); });
  expect_fatal("ILLEGAL DIMENSIONALITY IN basisfun_pick_basis_0", [&] { basisfun_pick_basis(4, 1); });
}

TEST_F(Basis, CodeTables) {
  EXPECT_EQ(elements_functions[no_basis], 1);
  for (int c = linerr; c <= teterr4; c++) {
    EXPECT_EQ(elements_functions[c], 1);
    EXPECT_EQ(elements_vertices[c] + elements_order[c] + elements_side_nodes[c], 0);
  }
  // Nodes per side agree with the node table: nodes with one coordinate 0 (side 1).
  for (int code : cell_codes) {
    int dim = elements_dimension[code], on = 0;
    const LocalPoint *p = basisfun_node_table(code);
    for (int k = 0; k < elements_functions[code]; k++) on += p[k].L[0] == 0;
    EXPECT_EQ(on, elements_side_nodes[code]) << elements_names[code];
    EXPECT_EQ(elements_vertices[code], dim + 1);
  }
  // The node tables are built once: a second call keeps them where they are.
  const LocalPoint *t20 = basisfun_node_table(tet20);
  int64_t held = XMEM;
  basisfun_node_coords();
  EXPECT_EQ(basisfun_node_table(tet20), t20);
  EXPECT_EQ(XMEM, held);
}

// One function at a time agrees with the whole row and is 0 past its end; tri10 is
// no basis of a single function.
TEST_F(Basis, SingleFunctionsAgreeWithTheRow) {
  const double L[4] = {0.2, 0.3, 0.1, 0.4};
  double row[20];
  for (int code = no_basis; code < ELEMENTS_CODES; code++) {
    if (code == tri10) continue;
    int n = basisfun_basis_1(row, code, L);
    for (int k = 1; k <= n; k++) EXPECT_EQ(basisfun_basis_0(k, code, L), row[k - 1]) << elements_names[code];
    EXPECT_EQ(basisfun_basis_0(n + 1, code, L), 0);
  }
  // lin3 uses both coordinates as given: N1 = (L1 - L2) L1.
  const double off[4] = {0.5, 0.3, 0, 0};
  EXPECT_DOUBLE_EQ(basisfun_basis_0(1, lin3, off), 0.1);
  expect_fatal("ILLEGAL BASIS=7 IN traporder_0", [&] { basisfun_basis_0(1, tri10, L); });
}

TEST_F(Basis, EveryFunctionIsOneAtItsNodeAndZeroAtTheOthers) {
  double row[20];
  for (int code : cell_codes) {
    const LocalPoint *p = basisfun_node_table(code);
    int n = elements_functions[code];
    for (int k = 0; k < n; k++) {
      ASSERT_EQ(basisfun_basis_1(row, code, p[k].L), n);
      for (int i = 0; i < n; i++)
        EXPECT_NEAR(row[i], i == k ? 1 : 0, 1e-12) << elements_names[code] << " node " << k + 1;
    }
  }
}

// Interpolating a polynomial from its node values reproduces it inside the cell (the
// constant 1 among them: the values sum to one).
TEST_F(Basis, PolynomialsOfTheOrderAreReproduced) {
  std::mt19937 g(11);
  double row[20], L[4];
  for (int code : cell_codes) {
    int dim = elements_dimension[code], p = elements_order[code], n = elements_functions[code];
    const LocalPoint *nodes = basisfun_node_table(code);
    // All monomials of the independent coordinates of total degree <= p, except that
    // tri9 (nine functions) holds the quadratics and the edge cubics La Lb (La - Lb).
    std::vector<std::function<double(const double *)>> polys;
    for (int a = 0; a <= p; a++)
      for (int b = 0; a + b <= p && (dim > 1 || b == 0); b++)
        for (int c = 0; a + b + c <= p && (dim > 2 || c == 0); c++) {
          if (code == tri9 && a + b + c == 3) continue;
          polys.push_back([=](const double *x) { return std::pow(x[0], a) * std::pow(x[1], b) * std::pow(x[2], c); });
        }
    if (code == tri9)
      for (int s = 0; s < 3; s++)
        polys.push_back([=](const double *x) {
          double X[3] = {x[0], x[1], 1 - x[0] - x[1]}, u = X[s], v = X[(s + 1) % 3];
          return u * v * (u - v);
        });
    for (auto &f : polys) {
      double u[20];
      for (int k = 0; k < n; k++) u[k] = f(nodes[k].L);
      for (int t = 0; t < 5; t++) {
        random_point(g, dim, L);
        basisfun_basis_1(row, code, L);
        double s = 0;
        for (int i = 0; i < n; i++) s += row[i] * u[i];
        EXPECT_NEAR(s, f(L), 1e-12) << elements_names[code];
      }
    }
  }
}

// First derivatives against central differences along e_c - e_dependent, second
// derivatives against central differences of the first.
TEST_F(Basis, DerivativesMatchCentralDifferences) {
  std::mt19937 g(5);
  const double h = 1e-5;
  double L[4], d[3][20], dp[3][20], dm[3][20], rp[20], rm[20], second[6][20], Lp[4], Lm[4];
  // L moved by +-h along e_c - e_dependent.
  auto shift = [&](int c, int dim) {
    for (int k = 0; k < 4; k++) Lp[k] = Lm[k] = L[k];
    Lp[c] += h, Lp[dim] -= h, Lm[c] -= h, Lm[dim] += h;
  };
  for (int code = 0; code <= teterr; code++) {
    int dim = elements_dimension[code], n = elements_functions[code];
    for (int t = 0; t < 5; t++) {
      random_point(g, dim, L);
      ASSERT_EQ(basisfun_basis_p(d, code, L), n);
      if (code == no_basis) {
        EXPECT_EQ(d[0][0], 0);
        continue;
      }
      for (int c = 0; c < dim; c++) {
        shift(c, dim);
        basisfun_basis_1(rp, code, Lp);
        basisfun_basis_1(rm, code, Lm);
        for (int i = 0; i < n; i++)
          EXPECT_NEAR(d[c][i], (rp[i] - rm[i]) / (2 * h), 1e-8) << elements_names[code];
      }
      if (code > tet20) continue;
      static const int pairs[3][6][2] = {{{0, 0}},
                                         {{0, 0}, {0, 1}, {1, 1}},
                                         {{0, 0}, {0, 1}, {0, 2}, {1, 1}, {1, 2}, {2, 2}}};
      if (dim == 1) basisfun_basis_pp1(second[0], code, L);
      if (dim == 2) basisfun_basis_pp2(second, code, L);
      if (dim == 3) basisfun_basis_pp3(second, code, L);
      for (int r = 0; r < dim * (dim + 1) / 2; r++) {
        int a = pairs[dim - 1][r][0], b = pairs[dim - 1][r][1];
        shift(b, dim);
        basisfun_basis_p(dp, code, Lp);
        basisfun_basis_p(dm, code, Lm);
        for (int i = 0; i < n; i++)
          EXPECT_NEAR(second[r][i], (dp[a][i] - dm[a][i]) / (2 * h), 1e-7) << elements_names[code];
      }
    }
  }
}

// Integrals of the basis functions as fractions of the cell measure, by rules exact
// for their degree.
TEST_F(Basis, BasisIntegralsAreTheKnownFractions) {
  struct Case {
    int code, rule;
    std::vector<double> fraction;  // per function
  };
  const double v9 = 1.0 / 30 - 0.16666666666667 * 0.45, e9 = 3.0 / 40 + 0.45 / 4;
  const std::vector<Case> cases = {
      {lin2, 5, {0.5, 0.5}},
      {lin3, 5, {1.0 / 6, 1.0 / 6, 2.0 / 3}},
      {lin4, 5, {1.0 / 8, 1.0 / 8, 3.0 / 8, 3.0 / 8}},
      {tri3, 9, {1.0 / 3, 1.0 / 3, 1.0 / 3}},
      {tri6, 9, {0, 0, 0, 1.0 / 3, 1.0 / 3, 1.0 / 3}},
      {tri9, 9, {v9, v9, v9, e9, e9, e9, e9, e9, e9}},
      {tri10, 9, {1.0 / 30, 1.0 / 30, 1.0 / 30, 3.0 / 40, 3.0 / 40, 3.0 / 40, 3.0 / 40, 3.0 / 40, 3.0 / 40, 9.0 / 20}},
      {tet4, 11, {0.25, 0.25, 0.25, 0.25}},
      {tet10, 11, {-0.05, -0.05, -0.05, -0.05, 0.2, 0.2, 0.2, 0.2, 0.2, 0.2}},
      {tet20, 11, {0.025, 0.025, 0.025, 0.025, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0.225, 0.225, 0.225, 0.225}},
      {linerr, 5, {2.0 / 3}},
      {trierr, 9, {0.15}},
      {teterr, 11, {2.0 / 105}},
      {trierr1, 9, {1.0 / 3}},
      {trierr3, 9, {1.0 / 3}},
      {teterr2, 11, {3.0 / 40}},
      {teterr4, 11, {3.0 / 40}}};
  EXPECT_NEAR(v9, -1.0 / 24, 1e-14);
  EXPECT_NEAR(e9, 3.0 / 16, 1e-14);
  double row[20];
  for (const Case &c : cases) {
    const QuadRule *r = quature_rule(c.rule);
    std::vector<double> s(c.fraction.size(), 0);
    for (int q = 0; q < r->count; q++) {
      ASSERT_EQ(basisfun_basis_1(row, c.code, r->points[q].L), (int)s.size());
      for (size_t i = 0; i < s.size(); i++) s[i] += r->points[q].weight * row[i];
    }
    for (size_t i = 0; i < s.size(); i++)
      EXPECT_NEAR(s[i], c.fraction[i], 1e-12) << elements_names[c.code] << " function " << i + 1;
  }
}

// ---- Side, face, edge and rotation tables ------------------------------------------------

TEST_F(Basis, TriangleSideTableMatchesTheNodes) {
  const LocalPoint *t9 = basisfun_node_table(tri9), *t6 = basisfun_node_table(tri6);
  for (int s = 1; s <= 3; s++) {
    const uint8_t *row = elements_tri_sides[s - 1];
    int from = row[1], to = row[2];
    // The tri6 midpoint of side s, the tri9 third-points near its start and its end.
    EXPECT_EQ((std::vector<double>{t6[row[3] - 1].L[s - 1], t6[row[3] - 1].L[from - 1], t9[row[3] - 1].L[from - 1],
                                   t9[row[6] - 1].L[to - 1]}),
              (std::vector<double>{0, 0.5, 0.66666666666666, 0.66666666666666}));
    // The rotated rows are the next sides' places.
    for (int k = 0; k < 9; k++) EXPECT_EQ(row[k], k / 3 * 3 + (s - 1 + k) % 3 + 1);
  }
}

// Each face row, read as a triangle of its own (tri3, tri6 or tri9 order), places every
// node at the local point the triangle's node table gives, on the face opposite f.
TEST_F(Basis, TetrahedronFaceTablesMatchTheNodes) {
  const int tri_of[3] = {tri3, tri6, tri9}, used[3] = {3, 6, 9};
  const double X[4][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  for (int k = 0; k < 3; k++) {
    int code = tet4 + k;
    const uint8_t(*faces)[9] = elements_tet_faces(code);
    const LocalPoint *tet = basisfun_node_table(code), *tri = basisfun_node_table(tri_of[k]);
    for (int f = 1; f <= 4; f++) {
      const uint8_t *row = faces[f - 1];
      for (int m = 0; m < 9; m++) {
        if (m >= used[k]) {
          EXPECT_EQ(row[m], 0);
          continue;
        }
        const double *L = tet[row[m] - 1].L;
        EXPECT_EQ(L[f - 1], 0) << "face " << f;
        for (int v = 0; v < 3; v++) EXPECT_EQ(L[row[v] - 1], tri[m].L[v]) << "face " << f << " place " << m;
      }
      // Every face is seen the same way: its normal points into the cell.
      const double *a = X[row[0] - 1], *b = X[row[1] - 1], *c = X[row[2] - 1], *o = X[f - 1];
      double u[3], v[3], w[3];
      for (int r = 0; r < 3; r++) u[r] = b[r] - a[r], v[r] = c[r] - a[r], w[r] = o[r] - a[r];
      double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
      EXPECT_GT(n[0] * w[0] + n[1] * w[1] + n[2] * w[2], 0) << "face " << f;
    }
  }
  EXPECT_EQ(elements_tet_faces(tri6), nullptr);
  // The tet20 face centres are nodes 17-20.
  const LocalPoint *t20 = basisfun_node_table(tet20);
  for (int f = 1; f <= 4; f++) EXPECT_EQ(t20[16 + f - 1].L[f - 1], 0);
}

TEST_F(Basis, TetrahedronEdgeAndRotationTables) {
  const int pairs[6][2] = {{2, 3}, {3, 1}, {1, 2}, {4, 1}, {4, 2}, {4, 3}};
  const LocalPoint *t10 = basisfun_node_table(tet10), *t20 = basisfun_node_table(tet20);
  for (int e = 0; e < 6; e++) {
    int i = pairs[e][0], j = pairs[e][1];
    for (int k = 0; k < 3; k++) EXPECT_EQ(elements_tet_edges[k][e][0] * 10 + elements_tet_edges[k][e][1], i * 10 + j);
    EXPECT_EQ(elements_tet_edges[0][e][2], 0);
    const double *m = t10[elements_tet_edges[1][e][2] - 1].L;
    EXPECT_EQ((std::vector<double>{m[i - 1], m[j - 1], t20[elements_tet_edges[2][e][2] - 1].L[i - 1],
                                   t20[elements_tet_edges[2][e][3] - 1].L[j - 1]}),
              (std::vector<double>{0.5, 0.5, 0.66666666666666, 0.66666666666666}));
  }
  std::set<std::vector<int>> seen;
  for (int r = 0; r < 12; r++) {
    const uint8_t *p = elements_tet_rotations[r];
    std::vector<int> v(p, p + 4);
    seen.insert(v);
    int inversions = 0;
    for (int a = 0; a < 4; a++)
      for (int b = a + 1; b < 4; b++) inversions += p[a] > p[b];
    EXPECT_EQ(inversions % 2, 0) << "rotation " << r + 1;
  }
  EXPECT_EQ(seen.size(), 12u);
}

// Display sub-cells tile the reference cell, all with the cell's orientation.
TEST_F(Basis, DisplaySubCellsTileTheCell) {
  auto area = [](const double *a, const double *b, const double *c) {
    return 0.5 * ((b[0] - a[0]) * (c[1] - a[1]) - (c[0] - a[0]) * (b[1] - a[1]));
  };
  struct Tri {
    int code, count;
    const uint8_t (*cells)[3];
  };
  const Tri tris[] = {{tri3, 1, elements_subcells_tri3}, {tri6, 4, elements_subcells_tri6}, {tri9, 9, elements_subcells_tri9}};
  for (const Tri &t : tris) {
    const LocalPoint *p = basisfun_node_table(t.code);
    EXPECT_EQ(elements_subcells[t.code], t.count);
    double xy[10][2];
    for (int k = 0; k < elements_functions[t.code]; k++) xy[k][0] = p[k].L[0], xy[k][1] = p[k].L[1];
    xy[9][0] = xy[9][1] = 1.0 / 3;
    double sum = 0;
    for (int c = 0; c < t.count; c++) {
      double a = area(xy[t.cells[c][0] - 1], xy[t.cells[c][1] - 1], xy[t.cells[c][2] - 1]);
      EXPECT_GT(a, 0) << elements_names[t.code] << " sub-cell " << c + 1;
      sum += a;
    }
    EXPECT_NEAR(sum, 0.5, 1e-13);
  }
  // The tetrahedra: oriented as the cell, one volume each, every point in just one.
  const LocalPoint *p = basisfun_node_table(tet10);
  auto vol6 = [&](int c, int skip, const double *q) {  // 6 x volume, corner skip moved to q
    const double *v[4];
    for (int k = 0; k < 4; k++) v[k] = k == skip ? q : p[elements_subcells_tet10[c][k] - 1].L + 1;
    double u[3][3];
    for (int k = 0; k < 3; k++)
      for (int r = 0; r < 3; r++) u[k][r] = v[k + 1][r] - v[0][r];
    return det3(u[0], u[1], u[2]);
  };
  for (int c = 0; c < 8; c++) EXPECT_NEAR(vol6(c, -1, nullptr), 1.0 / 8, 1e-15) << "sub-cell " << c + 1;
  std::mt19937 g(2);
  for (int t = 0; t < 200; t++) {
    double L[4];
    random_point(g, 3, L);
    int in = 0;
    for (int c = 0; c < 8; c++)
      in += vol6(c, 0, L + 1) > 0 && vol6(c, 1, L + 1) > 0 && vol6(c, 2, L + 1) > 0 && vol6(c, 3, L + 1) > 0;
    EXPECT_EQ(in, 1) << L[1] << " " << L[2] << " " << L[3];
  }
}
