// The element frame (Jacobian, inverse, measure, forward and inverse maps) and global
// derivatives and interpolation in a cell, against analytic values.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <algorithm>
#include <functional>
#include <random>

#include "elements/basisfun.h"
#include "elements/quature.h"
#include "tests/elements/check.h"

namespace {

using Frame = ElementTables;

// Node positions of a code on the reference cell mapped by x = A L (plus a bend).
void nodes_of(int code, double (*xyz)[3], const double (*corner)[3]) {
  const LocalPoint *p = basisfun_node_table(code);
  int dim = elements_dimension[code];
  for (int k = 0; k < elements_functions[code]; k++)
    for (int r = 0; r < 3; r++) {
      xyz[k][r] = 0;
      for (int v = 0; v <= dim; v++) xyz[k][r] += p[k].L[v] * corner[v][r];
    }
}

ElementFrame frame_of(int code, const double (*xyz)[3]) {
  ElementFrame f = {};
  elements_localize(&f, xyz, code, code);
  return f;
}

const double right_tri[3][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
const double unit_tet[4][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};

}  // namespace

TEST_F(Frame, UnitTriangleAndItsClockwiseTwin) {
  using D = std::vector<double>;
  auto K = [](const ElementFrame &f) { return D{f.K[0][0], f.K[0][1], f.K[1][0], f.K[1][1], f.K[2][0], f.K[2][1]}; };
  ElementFrame f = frame_of(tri3, right_tri);
  EXPECT_EQ((D{double(f.curved), double(f.gbasis), f.absdet, f.measure}), (D{1, tri3, 1, 0.5}));
  EXPECT_EQ(K(f), (D{-1, -1, 1, 0, 0, 1}));
  const double cw[3][3] = {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}};
  ElementFrame g = frame_of(tri3, cw);
  EXPECT_EQ(g.measure, 0.5);
  // The exact inverse of the clockwise map is K with rows (-1,-1), (0,1), (1,0); the
  // frame holds its negative.
  EXPECT_EQ(K(g), (D{1, 1, 0, -1, -1, 0}));
  // The unit tetrahedron's volume is the stored sixth, not 1/6.
  ElementFrame t = frame_of(tet4, unit_tet);
  EXPECT_EQ((D{t.absdet, t.measure}), (D{1, 0.16666666666667}));
}

// The frame of any cell is taken at the triangle centroid (the 2D table row), also
// for a tetrahedron; curved cells show the difference.
TEST_F(Frame, LocalizeTakesTheJacobianAtTheTriangleCentroid) {
  double xyz[20][3];
  nodes_of(tet10, xyz, unit_tet);
  xyz[4][0] += 0.1, xyz[7][2] -= 0.08;
  ElementFrame f = frame_of(tet10, xyz), g = f, h = f;
  elements_jacobian(elements_centroid[2].L, &g);
  elements_jacobian(elements_centroid[3].L, &h);
  EXPECT_EQ(memcmp(f.J, g.J, sizeof f.J), 0);
  EXPECT_NE(memcmp(f.J, h.J, sizeof f.J), 0);
}

// On affine cells of positive orientation K is the inverse of J in the independent
// coordinates, and the measure is the cell's length, area or volume.
TEST_F(Frame, AffineCellsHaveTheExactInverse) {
  std::mt19937 gen(3);
  std::uniform_real_distribution<double> u(-1, 1);
  for (int code : {lin2, lin3, tri3, tri6, tri10, tet4, tet10, tet20}) {
    int dim = elements_dimension[code];
    for (int t = 0; t < 5; t++) {
      double corner[4][3] = {}, xyz[20][3];
      for (int v = 0; v <= dim; v++)
        for (int r = 0; r < dim; r++) corner[v][r] = u(gen) + (v == r + 1 ? 2 : 0);
      nodes_of(code, xyz, corner);
      ElementFrame f = frame_of(code, xyz);
      double e[3][3] = {};  // edges from vertex dim+1, unit rows above the dimension
      for (int c = 0; c < 3; c++)
        for (int r = 0; r < 3; r++) e[c][r] = c < dim ? corner[c][r] - corner[dim][r] : c == r;
      double det = det3(e[0], e[1], e[2]), vol = std::fabs(det) / factorial(dim);
      EXPECT_NEAR(f.measure, vol, 1e-12 * (1 + vol)) << elements_names[code];
      double sign = (dim == 3 ? det < 0 : det > 0) ? 1 : -1;
      for (int c = 0; c < dim; c++)
        for (int r = 0; r < dim; r++) {
          double s = 0;
          for (int k = 0; k < dim; k++) s += f.K[c][k] * f.J[k][r];
          EXPECT_NEAR(s, c == r ? sign : 0, 1e-12) << elements_names[code];
        }
    }
  }
}

// Archimedes: bending the hypotenuse of the unit right triangle out by d along
// (1,1)/sqrt 2 adds a parabolic segment of 2/3 * base * height.
TEST_F(Frame, CurvedTri6AreaIsTheParabolicSegment) {
  const QuadRule *r = quature_rule(8);
  for (double d : {0.1, -0.05, 0.2}) {
    double xyz[6][3];
    nodes_of(tri6, xyz, right_tri);
    xyz[3][0] += d / std::sqrt(2.0), xyz[3][1] += d / std::sqrt(2.0);
    ElementFrame f = frame_of(tri6, xyz);
    double area = 0;
    for (int q = 0; q < r->count; q++) {
      elements_jacobian(r->points[q].L, &f);
      area += r->points[q].weight * f.measure;
    }
    EXPECT_NEAR(area, 0.5 + 2.0 / 3 * std::sqrt(2.0) * d, 1e-13) << d;
  }
}

// A point mapped forward and back returns to its local coordinates: tetrahedra to
// rounding, triangles to the single precision their inverse map rounds to (about
// 1e-7; the points are arbitrary, not ones single precision holds exactly). The first
// cell of each code is unbent and marked straight, as localising a mesh cell marks it:
// its inverse map is the affine one.
TEST_F(Frame, ForwardAndInverseMapsRoundTripOnCurvedCells) {
  std::mt19937 gen(9);
  std::uniform_real_distribution<double> bend(-0.06, 0.06), u(0.02, 1);
  for (int code : {tri3, tri6, tri9, tri10, tet4, tet10, tet20}) {
    int dim = elements_dimension[code], n = elements_functions[code];
    const double (*corner)[3] = dim == 2 ? right_tri : unit_tet;
    for (int t = 0; t < 4; t++) {
      double xyz[20][3];
      nodes_of(code, xyz, corner);
      for (int k = dim + 1; k < n && t > 0; k++)
        for (int r = 0; r < dim; r++) xyz[k][r] += bend(gen);
      ElementFrame f = frame_of(code, xyz);
      if (t == 0) f.curved = 0;
      for (int p = 0; p < 10; p++) {
        double L[4] = {0, 0, 0, 0}, X[3], Y[3], back[4], sum = 0;
        for (int c = 0; c <= dim; c++) sum += L[c] = u(gen);
        for (int c = 0; c <= dim; c++) L[c] /= sum;
        elements_get_gcoords(X, L, &f);
        elements_interp(Y, code, L, &f, xyz);
        for (int r = 0; r < 3; r++) EXPECT_NEAR(X[r], Y[r], 1e-15);
        elements_get_lcoords(back, X, &f, 1e-6);
        for (int k = 0; k <= dim; k++)
          EXPECT_NEAR(back[k], L[k], dim == 2 ? 1.2e-7 : 1e-12) << elements_names[code] << " point " << p;
      }
    }
  }
}

TEST_F(Frame, InverseMapOfStraightTrianglesRoundsToSinglePrecision) {
  ElementFrame f = frame_of(tri3, right_tri);
  // On this cell x = L2 and y = L3: a point 1e-12 left of the side x = 0.
  double L[4];
  const double X[3] = {-1e-12, 0.4, 0};
  elements_get_lcoords(L, X, &f, 1e-6);
  EXPECT_EQ(L[1], 0);
  EXPECT_EQ(L[2], 1 - L[0] - L[1]);
  EXPECT_NEAR(L[2], 0.4, 6e-8);
  const double X2[3] = {0.123456789, 1e-12, 0};
  elements_get_lcoords(L, X2, &f, 1e-6);
  for (double v : {L[0], L[1]}) EXPECT_EQ(v * 8388608, std::floor(v * 8388608));
  EXPECT_EQ((std::vector<double>{limitsp(-1e-12), limitsp(1e-12), limitsp(0.25)}), (std::vector<double>{0, 0, 0.25}));
  EXPECT_EQ(limitsp(0.1) * 8388608, std::floor(limitsp(0.1) * 8388608));
  EXPECT_NEAR(limitsp(0.1), 0.1, 6e-8);
}

// Newton stops as soon as the point is outside by more than tol across any side: a
// point 1.5 beyond each side in turn is left short of its true coordinate there.
TEST_F(Frame, NewtonStopsForPointsOutsideAnySide) {
  double xyz[6][3];
  nodes_of(tri6, xyz, right_tri);  // straight: x = L2, y = L3
  ElementFrame f = frame_of(tri6, xyz);
  const double far[3][3] = {{1.5, 1.5, 0}, {-1.5, 0.5, 0}, {0.5, -1.5, 0}};  // L1, L2, L3 = -2, -1.5, -1.5
  for (int side = 0; side < 3; side++) {
    double L[4];
    elements_get_lcoords(L, far[side], &f, 1e-6);
    EXPECT_LT(L[side], -1e-6) << side;
    EXPECT_GT(L[side], -1.2) << "stopped early across side " << side;
    EXPECT_NEAR(L[0] + L[1] + L[2], 1, 1e-15);
  }
}

// A sliver whose local coordinates no float holds: the inverse map answers outside
// instead of tripping the overflow trap.
TEST_F(Frame, SliverTriangleAnswersOutside) {
  const double sliver[3][3] = {{0, 0, 0}, {1, 0, 0}, {0.5, 1e-300, 0}};
  ElementFrame f = frame_of(tri3, sliver);
  const double X[3] = {0.5, 0.25, 0};
  double L[4] = {0, 0, 0, 0};
  rtlib_startup(0, nullptr);  // the floating-point traps armed
  EXPECT_EQ(fatal_stop([&] { elements_get_lcoords(L, X, &f, 1e-6); }), "");
  rtlib_release_signals();
  EXPECT_LT(std::min({L[0], L[1], L[2]}), -1);
}

// A tolerance of -10 makes every point "outside" after one step, which exposes that
// step: at most 0.3 long in local coordinates, in the Newton direction.
TEST_F(Frame, OneNewtonStepIsLimitedToLengthPointThree) {
  double xyz[6][3];
  nodes_of(tri6, xyz, right_tri);  // straight: x = L2, y = L3
  ElementFrame f = frame_of(tri6, xyz);
  const double far[3] = {40, 40, 0}, near[3] = {0.25, 0.375, 0};
  double L[4];
  elements_get_lcoords(L, far, &f, -10);
  const double c = 0.333333333333, step[3] = {L[0] - c, L[1] - c, L[2] - c};
  EXPECT_NEAR(std::sqrt(step[0] * step[0] + step[1] * step[1] + step[2] * step[2]), 0.3, 3e-7);
  EXPECT_NEAR(step[1], step[2], 3e-7);  // towards (40, 40): equal parts of L2 and L3
  elements_get_lcoords(L, near, &f, -10);  // a short step lands exactly
  EXPECT_EQ(L[1], 0.25);
  EXPECT_EQ(L[2], 0.375);
}

// Line cells: both coordinates, L1 = 1 at node 1 and 0 at node 2, either orientation.
TEST_F(Frame, LineCellInverseMapGivesBothCoordinates) {
  for (double x1 : {2.0, 7.0}) {
    const double xyz[3][3] = {{x1, 0, 0}, {5, 0, 0}, {(x1 + 5) / 2, 0, 0}};
    ElementFrame f = frame_of(lin3, xyz);
    EXPECT_NEAR(f.measure, std::fabs(x1 - 5), 1e-14);
    double L[4] = {9, 9, 9, 9}, X[3];
    const double n1[3] = {x1, 0, 0}, n2[3] = {5, 0, 0};
    elements_get_lcoords(L, n1, &f, 1e-6);
    EXPECT_EQ(L[0] * 10 + L[1], 10);
    elements_get_lcoords(L, n2, &f, 1e-6);
    EXPECT_EQ(L[0] * 10 + L[1], 1);
    const double P[4] = {0.3, 0.7, 0, 0};
    elements_get_gcoords(X, P, &f);
    elements_get_lcoords(L, X, &f, 1e-6);
    EXPECT_NEAR(L[0], 0.3, 1e-15);
    EXPECT_NEAR(L[1], 0.7, 1e-15);
    // u = x^2: value, slope (signed by the orientation, as on clockwise triangles)
    // and curvature at P.
    double u[3], row[20], x = X[0], sign = x1 > 5 ? 1 : -1;
    for (int k = 0; k < 3; k++) u[k] = xyz[k][0] * xyz[k][0];
    EXPECT_NEAR(elements_interpu(lin3, P, &f, u), x * x, 1e-14);
    EXPECT_NEAR(elements_interpux(lin3, P, &f, u), sign * 2 * x, 1e-13);
    EXPECT_NEAR(elements_interpuxx(lin3, P, &f, u), 2, 1e-13);
    elements_basisxx(row, lin3, P, &f);
    EXPECT_NEAR(elements_bsum(row, u, 3), 2, 1e-13);
  }
}

// ---- Global derivatives -----------------------------------------------------------------

// Nodal data of a quadratic on a straight tri6 gives exact first and second
// derivatives through every selector pair.
TEST_F(Frame, QuadraticDataOnStraightTrianglesAndTetrahedra) {
  const double tri[3][3] = {{0.2, 0.1, 0}, {1.3, 0.4, 0}, {0.5, 1.2, 0}};
  const double tet[4][3] = {{0.1, 0, 0}, {1, 0.2, 0.1}, {0.2, 1.1, 0}, {0.3, 0.2, 1.2}};
  auto u = [](const double *p) { return 1 + 2 * p[0] - p[1] + 0.5 * p[2] + p[0] * p[1] + 3 * p[0] * p[0] - p[1] * p[2] + 2 * p[2] * p[2]; };
  // Exact derivatives by selector: [s2][s1].
  auto exact = [](const double *p, int s1, int s2) {
    double g[4] = {0, 2 + p[1] + 6 * p[0], -1 + p[0] - p[2], 0.5 - p[1] + 4 * p[2]};
    double h[4][4] = {{0}, {0, 6, 1, 0}, {0, 1, 0, -1}, {0, 0, -1, 4}};
    return s2 == 0 ? g[s1] : h[s1][s2];
  };
  for (int code : {tri6, tet10}) {
    int dim = elements_dimension[code], n = elements_functions[code];
    double xyz[20][3], val[20];
    nodes_of(code, xyz, dim == 2 ? tri : tet);
    // A positively oriented tetrahedron has det < 0: keep this one so, or swap.
    ElementFrame f = frame_of(code, xyz);
    for (int k = 0; k < n; k++) val[k] = u(xyz[k]);
    const double L[4] = {0.2, 0.3, dim == 2 ? 0.5 : 0.1, dim == 2 ? 0 : 0.4};
    double X[3];
    elements_get_gcoords(X, L, &f);
    EXPECT_NEAR(elements_interpu_sel(code, 0, 0, L, &f, val), u(X), 1e-12);
    for (int s1 = 1; s1 <= dim; s1++) {
      EXPECT_NEAR(elements_interpu_sel(code, s1, 0, L, &f, val), exact(X, s1, 0), 1e-11) << s1;
      for (int s2 = 1; s2 <= dim; s2++)
        EXPECT_NEAR(elements_interpu_sel(code, s1, s2, L, &f, val), exact(X, s1, s2), 1e-10) << s1 << s2;
    }
    // A second selector of 4 or more asks for nothing: 0, no stop.
    for (int16_t s2 : {4, 5}) {
      double v = 1;
      EXPECT_EQ(fatal_stop([&] { v = elements_interpu_sel(code, 1, s2, L, &f, val); }), "");
      EXPECT_EQ(v, 0);
    }
    // All second derivatives at once: the exact Hessian, zero past the dimension.
    double H[3][3];
    elements_interp_seconds(code, L, &f, val, H);
    for (int r = 0; r < 3; r++)
      for (int s = 0; s < 3; s++)
        EXPECT_NEAR(H[r][s], r < dim && s < dim ? exact(X, r + 1, s + 1) : 0, 1e-10) << r << s;
    double grad[3];
    elements_gradient(grad, code, L, &f, val);
    for (int r = 0; r < dim; r++) EXPECT_NEAR(grad[r], exact(X, r + 1, 0), 1e-11);
    // The basis rows give the same derivatives as the data routines (2D second ones too).
    double row[20];
    for (int s1 = 1; s1 <= dim; s1++) {
      elements_basis_sel(row, s1, 0, code, L, &f);
      EXPECT_NEAR(elements_bsum(row, val, n), exact(X, s1, 0), 1e-11);
      if (dim == 2)
        for (int s2 = 1; s2 <= 2; s2++) {
          elements_basis_sel(row, s1, s2, code, L, &f);
          EXPECT_NEAR(elements_bsum(row, val, n), exact(X, s1, s2), 1e-10);
        }
    }
  }
}

// The second derivative rows of the basis are the slopes of its gradient rows: central
// differences along each local coordinate, taken to x, y, z through K, on straight and
// curved cells in 2D and 3D (where the map's own second derivatives enter); the selector
// pairs are symmetric and name the same rows as the named routines.
TEST_F(Frame, BasisSecondDerivativesAreTheSlopesOfTheGradients) {
  typedef int (*Second)(double *, int32_t, const double *, ElementFrame *);
  const Second named[3][3] = {{elements_basisxx, elements_basisxy, basisxz},
                              {elements_basisxy, elements_basisyy, basisyz},
                              {basisxz, basisyz, basiszz}};
  const double tri[3][3] = {{0.2, 0.1, 0}, {1.3, 0.4, 0}, {0.5, 1.2, 0}};
  const double tet[4][3] = {{0.1, 0, 0}, {1, 0.2, 0.1}, {0.2, 1.1, 0}, {0.3, 0.2, 1.2}};
  std::mt19937 gen(12);
  std::uniform_real_distribution<double> bend(-0.05, 0.05);
  for (int code : {tri6, tri10, tet4, tet10, tet20})
    for (bool curved : {false, true}) {
      int dim = elements_dimension[code], n = elements_functions[code];
      double xyz[20][3];
      nodes_of(code, xyz, dim == 2 ? tri : tet);
      for (int k = dim + 1; k < n && curved; k++)
        for (int r = 0; r < dim; r++) xyz[k][r] += bend(gen);
      ElementFrame f = frame_of(code, xyz);
      const double L0[4] = {0.3, 0.2, dim == 2 ? 0.5 : 0.15, dim == 2 ? 0 : 0.35}, h = 1e-4;
      // Gradient rows along x_r at L0 moved by t along local coordinate c (the last one
      // taking up the change).
      auto grad = [&](double *row, int r, int c, double t) {
        double L[4] = {L0[0], L0[1], L0[2], L0[3]};
        L[c] += t, L[dim] -= t;
        elements_jacobian(L, &f);
        elements_basis_sel(row, uint8_t(r + 1), 0, code, L, &f);
      };
      for (int r = 0; r < dim; r++)
        for (int s = 0; s < dim; s++) {
          double slope[20] = {0}, up[20], down[20], K[3];
          for (int c = 0; c < dim; c++) {
            grad(up, r, c, h);
            grad(down, r, c, -h);
            elements_jacobian(L0, &f);
            K[c] = f.K[c][s];
            for (int i = 0; i < n; i++) slope[i] += (up[i] - down[i]) / (2 * h) * K[c];
          }
          double row[20], twin[20], by_name[20];
          ASSERT_EQ(elements_basis_sel(row, uint8_t(r + 1), uint8_t(s + 1), code, L0, &f), n);
          elements_basis_sel(twin, uint8_t(s + 1), uint8_t(r + 1), code, L0, &f);
          named[r][s](by_name, code, L0, &f);
          double size = 0;
          for (int i = 0; i < n; i++) size = std::max(size, std::fabs(slope[i]));
          for (int i = 0; i < n; i++) {
            EXPECT_NEAR(row[i], slope[i], 1e-6 * (1 + size)) << elements_names[code] << curved << r << s << i;
            EXPECT_EQ(row[i], twin[i]);
            EXPECT_EQ(row[i], by_name[i]);
          }
        }
    }
}

// The coordinates as nodal data differentiate to the identity on curved cells, at any
// point where the Jacobian is taken; clockwise cells give the opposite sign.
TEST_F(Frame, CoordinatesDifferentiateToTheIdentity) {
  std::mt19937 gen(4);
  std::uniform_real_distribution<double> bend(-0.05, 0.05);
  for (int code : {tri6, tri9, tet10, tet20}) {
    int dim = elements_dimension[code], n = elements_functions[code];
    double xyz[20][3], comp[3][20];
    nodes_of(code, xyz, dim == 2 ? right_tri : unit_tet);
    for (int k = dim + 1; k < n; k++)
      for (int r = 0; r < dim; r++) xyz[k][r] += bend(gen);
    for (int k = 0; k < n; k++)
      for (int r = 0; r < 3; r++) comp[r][k] = xyz[k][r];
    ElementFrame f = frame_of(code, xyz);
    const double L[4] = {0.3, 0.2, dim == 2 ? 0.5 : 0.15, dim == 2 ? 0 : 0.35};
    elements_jacobian(L, &f);
    for (int a = 0; a < dim; a++)
      for (int b = 0; b < dim; b++)
        EXPECT_NEAR(elements_interpu_sel(code, b + 1, 0, L, &f, comp[a]), a == b, 1e-12) << elements_names[code];
  }
  const double cw[3][3] = {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}};
  ElementFrame g = frame_of(tri3, cw);
  const double x[3] = {0, 0, 1}, L[4] = {0.2, 0.3, 0.5, 0};
  EXPECT_EQ(elements_interpux(tri3, L, &g, x), -1);
}

// The local derivative rows serve the x and the y derivative at one point; a new
// point or another basis forms them anew, and the Jacobian's rows of the geometry
// basis serve only at their own point.
TEST_F(Frame, DerivativesFollowThePointAndTheBasis) {
  double xyz[20][3], u[20], v[20];
  nodes_of(tri6, xyz, right_tri);
  ElementFrame f = frame_of(tri6, xyz);
  // u = x^2 + 3xy - y on the tri6 nodes; v = 2x - y on the tri3 corners.
  for (int k = 0; k < 6; k++) {
    double x = xyz[k][0], y = xyz[k][1];
    u[k] = x * x + 3 * x * y - y, v[k] = k < 3 ? 2 * x - y : 100;  // tri3 reads the corners only
  }
  const double P[3][4] = {{0.3, 0.2, 0.5, 0}, {0.1, 0.7, 0.2, 0}, {0.3, 0.2, 0.5, 0}};
  for (int i = 0; i < 3; i++) {
    const double *L = P[i];
    // The Jacobian's geometry rows (tri6, as the data) taken at the point before
    // (cyclically): they serve only where that point is this one (the first point
    // is also the last).
    elements_jacobian(P[(i + 2) % 3], &f);
    double x = L[1], y = L[2];
    EXPECT_NEAR(elements_interpux(tri6, L, &f, u), 2 * x + 3 * y, 1e-13);
    EXPECT_NEAR(elements_interpuy(tri6, L, &f, u), 3 * x - 1, 1e-13);
    EXPECT_NEAR(elements_interpuy(tri3, L, &f, v), -1, 1e-13);
    EXPECT_NEAR(elements_interpux(tri3, L, &f, v), 2, 1e-13);
    double row[20];
    ASSERT_EQ(elements_basis_sel(row, 1, 0, tri6, L, &f), 6);
    double s = 0;
    for (int k = 0; k < 6; k++) s += row[k] * u[k];
    EXPECT_NEAR(s, 2 * x + 3 * y, 1e-13);
    EXPECT_EQ(f.dbasis, tri6);
  }
}

TEST_F(Frame, EveryStopText) {
  double xyz[20][3];
  nodes_of(tri6, xyz, right_tri);
  ElementFrame s = frame_of(tri6, xyz);
  const double lx[3][3] = {{1, 0, 0}, {0, 0, 0}};
  ElementFrame l = frame_of(lin2, lx);
  double row[20], u[20] = {0}, d[3][20] = {{0}};
  const double L[4] = {0.25, 0.25, 0.25, 0.25};
  struct Stop {
    const char *text;
    std::function<void()> call;
  };
  const Stop stops[] = {
      {"BASISY: NOT 2D IN elements_basisy_0", [&] { elements_basisy(row, lin2, d, &l); }},
      {"BASISZ: NOT 3D IN elements_basisz_0", [&] { elements_basisz(row, tri6, d, &s); }},
      {"BASISXY, NOT 2D IN elements_basisxy_0", [&] { elements_basisxy(row, lin2, L, &l); }},
      {"BASISYY, NOT 2D IN elements_basisyy_0", [&] { elements_basisyy(row, lin2, L, &l); }},
      {"BASISXZ, NOT 3D IN basisxz_0", [&] { basisxz(row, tri6, L, &s); }},
      {"BASISYZ, NOT 3D IN basisyz_0", [&] { basisyz(row, lin2, L, &l); }},
      {"BASISZZ, NOT 3D IN basiszz_0", [&] { basiszz(row, tri6, L, &s); }},
      {"BAD BASIS SELECTOR IN trap_deriv_0", [&] { elements_basis_sel(row, 4, 0, tri6, L, &s); }},
      {"BAD BASIS SELECTOR IN trap_deriv_0", [&] { elements_basis_sel(row, 1, 4, tri6, L, &s); }},
      {"UY, NOT 2D IN elements_interpuy_0", [&] { elements_interpuy(lin2, L, &l, u); }},
      {"UZ, NOT 3D IN elements_interpuz_0", [&] { elements_interpuz(tri6, L, &s, u); }},
      {"UXY, NOT 2D IN elements_interpuxy_0", [&] { elements_interpuxy(lin2, L, &l, u); }},
      {"UYY, NOT 2D IN elements_interpuyy_0", [&] { elements_interpuyy(lin2, L, &l, u); }},
      {"UXZ, NOT 3D IN elements_interpuxz_0", [&] { elements_interpuxz(tri6, L, &s, u); }},
      {"UYZ, NOT 3D IN elements_interpuyz_0", [&] { elements_interpuyz(tri6, L, &s, u); }},
      {"UZZ, NOT 3D IN elements_interpuzz_0", [&] { elements_interpuzz(lin2, L, &l, u); }},
      {"Bad Derivative selector IN elements_interpu_sel_0", [&] { elements_interpu_sel(tri6, 4, 0, L, &s, u); }},
      {"unimplemented IN elements_extremum_0", [&] { elements_extremum(tri3, row, &s, u); }},
      {"ILLEGAL BASIS=14 IN traporder_0",
       [&] {
         ElementFrame e = s;
         e.gbasis = trierr1;
         elements_jacobian(L, &e);
       }},
      {"ILLEGAL BASIS=21 IN traporder_0",
       [&] {
         ElementFrame e = {};
         elements_localize(&e, xyz, 21, tri6);
       }},
      {"ILLEGAL BASIS=22 IN traporder_0",
       [&] {
         ElementFrame e = s;
         e.gbasis = 22;
         elements_get_lcoords(row, L, &e, 0);
       }},
  };
  for (const Stop &x : stops) expect_fatal(x.text, x.call);
  ElementFrame e = s;
  e.gbasis = no_basis;
  expect_fatal("ILLEGAL JACOBIAN IN elements_jacobian_0", [&] { elements_jacobian(L, &e); });
}

TEST_F(Frame, ExtremumOfAQuadraticOnTri6) {
  double xyz[6][3], u[6], L[4] = {-1, -1, -1, -1};
  nodes_of(tri6, xyz, right_tri);
  ElementFrame f = frame_of(tri6, xyz);
  auto set = [&](double cx, double cy) {
    for (int k = 0; k < 6; k++) u[k] = (xyz[k][0] - cx) * (xyz[k][0] - cx) + 2 * (xyz[k][1] - cy) * (xyz[k][1] - cy);
  };
  set(0.2, 0.3);  // x = L2, y = L3 on this cell
  ASSERT_EQ(elements_extremum(tri6, L, &f, u), 1);
  const double want[3] = {0.5, 0.2, 0.3};
  for (int c = 0; c < 3; c++) EXPECT_NEAR(L[c], want[c], 1e-14);
  set(2, 0.3);
  EXPECT_EQ(elements_extremum(tri6, L, &f, u), 0);
  for (int k = 0; k < 6; k++) u[k] = xyz[k][0];  // linear: no stationary point
  EXPECT_EQ(elements_extremum(tri6, L, &f, u), 0);
}
