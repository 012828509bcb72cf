// elements: cell-type tables, the element geometry frame (Jacobian, forward and inverse
// maps) and global derivatives and interpolation in one cell.
#include "elements/elements.h"

#include <cfloat>
#include <cmath>
#include <cstring>

#include "elements/basisfun.h"
#include "elements/quature.h"
#include "runtime/rtlib.h"

// ---- Cell-type tables --------------------------------------------------------------------

const uint8_t elements_functions[ELEMENTS_CODES] = {1, 2, 3, 4, 3, 6, 9, 10, 4, 10, 20,
                                                    1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
const uint8_t elements_dimension[ELEMENTS_CODES] = {0, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3,
                                                    1, 2, 3, 2, 2, 2, 3, 3, 3, 3};
const uint8_t elements_vertices[ELEMENTS_CODES] = {0, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4};
const uint8_t elements_order[ELEMENTS_CODES] = {0, 1, 2, 3, 1, 2, 3, 3, 1, 2, 3};
const uint8_t elements_side_nodes[ELEMENTS_CODES] = {0, 1, 1, 1, 2, 3, 4, 4, 3, 6, 10};
const uint8_t elements_subcells[ELEMENTS_CODES] = {0, 1, 2, 3, 1, 4, 9, 9, 1, 8, 27};
const char elements_names[ELEMENTS_CODES][10] = {
    "no_basis", "lin2",    "lin3",    "lin4",    "tri3",    "tri6",    "tri9",
    "tri10",    "tet4",    "tet10",   "tet20",   "linerr",  "trierr",  "teterr",
    "trierr1",  "trierr2", "trierr3", "teterr1", "teterr2", "teterr3", "teterr4"};

const LocalPoint elements_centroid[4] = {
    {{0, 0, 0, 0}},
    {{0.5, 0.5, 0, 0}},
    {{0.333333333333, 0.333333333333, 0.333333333333, 0}},
    {{0.25, 0.25, 0.25, 0.25}}};
const int32_t elements_linear_code[4] = {0, lin2, tri3, tet4};

const uint8_t elements_subcells_tri3[1][3] = {{1, 2, 3}};
const uint8_t elements_subcells_tri6[4][3] = {{1, 6, 5}, {2, 4, 6}, {3, 5, 4}, {4, 5, 6}};
const uint8_t elements_subcells_tri9[9][3] = {{1, 6, 8},  {2, 4, 9}, {3, 5, 7},
                                              {8, 6, 10}, {6, 9, 10}, {9, 4, 10},
                                              {4, 7, 10}, {7, 5, 10}, {5, 8, 10}};
const uint8_t elements_subcells_tet4[1][4] = {{1, 2, 3, 4}};
const uint8_t elements_subcells_tet10[8][4] = {{1, 7, 6, 8},  {2, 5, 7, 9},  {3, 6, 5, 10},
                                               {8, 9, 10, 4}, {7, 5, 6, 10}, {6, 7, 10, 8},
                                               {8, 9, 7, 10}, {7, 5, 10, 9}};

const uint8_t elements_tri_sides[3][9] = {
    {1, 2, 3, 4, 5, 6, 7, 8, 9}, {2, 3, 1, 5, 6, 4, 8, 9, 7}, {3, 1, 2, 6, 4, 5, 9, 7, 8}};

const uint8_t elements_tet4_faces[4][9] = {{2, 4, 3}, {3, 4, 1}, {4, 2, 1}, {1, 2, 3}};
const uint8_t elements_tet10_faces[4][9] = {
    {2, 4, 3, 10, 5, 9}, {3, 4, 1, 8, 6, 10}, {4, 2, 1, 7, 8, 9}, {1, 2, 3, 5, 6, 7}};
const uint8_t elements_tet20_faces[4][9] = {{2, 4, 3, 10, 11, 15, 16, 5, 9},
                                            {3, 4, 1, 8, 12, 16, 14, 6, 10},
                                            {4, 2, 1, 13, 14, 9, 7, 8, 15},
                                            {1, 2, 3, 5, 6, 7, 11, 12, 13}};

const uint8_t (*elements_tet_faces(int32_t code))[9] {
  switch (code) {
    case tet4: return elements_tet4_faces;
    case tet10: return elements_tet10_faces;
    case tet20: return elements_tet20_faces;
    default: return nullptr;
  }
}

const uint8_t elements_tet_edges[3][6][4] = {
    {{2, 3}, {3, 1}, {1, 2}, {4, 1}, {4, 2}, {4, 3}},
    {{2, 3, 5}, {3, 1, 6}, {1, 2, 7}, {4, 1, 8}, {4, 2, 9}, {4, 3, 10}},
    {{2, 3, 5, 11}, {3, 1, 6, 12}, {1, 2, 7, 13}, {4, 1, 8, 14}, {4, 2, 9, 15}, {4, 3, 10, 16}}};

const uint8_t elements_tet_rotations[12][4] = {
    {2, 3, 1, 4}, {3, 2, 4, 1}, {3, 1, 2, 4}, {1, 3, 4, 2}, {1, 2, 3, 4}, {2, 1, 4, 3},
    {4, 1, 3, 2}, {1, 4, 2, 3}, {4, 2, 1, 3}, {2, 4, 3, 1}, {4, 3, 2, 1}, {3, 4, 1, 2}};

int elements_init() {
  TRACE("elements");
  return 0;
}

// ---- Element geometry frame ----------------------------------------------------------------

// The stored sixth that turns |det J| into a tetrahedron's volume.
static const double volume_sixth = 0.16666666666667;

// J, its determinant, the measure and K from the geometry basis's local derivatives
// (rows gd), n functions, dimension DIM 1..3 (fixed at compile time, so that the
// small loops unroll; the arithmetic is the same for every dimension). N, when not 0,
// is n fixed at compile time as well: the sums of J then unroll side by side, each
// still taken in the order of the functions.
template <int DIM, int N = 0> static void jacobian_dim(const double (*gd)[20], int n, ElementFrame *f) {
  constexpr int dim = DIM;
  const int count = N ? N : n;
  if constexpr (dim == 3 && N > 0) {
    // The columns of J side by side, x and y of each in one pair of lanes and z on
    // its own: each entry still sums x_r * gd[c][i] over i in order from 0, but the
    // nine sums run at once instead of one after another.
    typedef double pair __attribute__((vector_size(16)));
    pair xy0 = {0.0, 0.0}, xy1 = {0.0, 0.0}, xy2 = {0.0, 0.0};
    double z0 = 0, z1 = 0, z2 = 0;
    for (int i = 0; i < N; i++) {
      pair xy;
      std::memcpy(&xy, f->nodes[i], sizeof xy);
      double z = f->nodes[i][2], g0 = gd[0][i], g1 = gd[1][i], g2 = gd[2][i];
      xy0 = xy0 + xy * g0, z0 = z0 + z * g0;
      xy1 = xy1 + xy * g1, z1 = z1 + z * g1;
      xy2 = xy2 + xy * g2, z2 = z2 + z * g2;
    }
    const double col[3][3] = {{xy0[0], xy1[0], xy2[0]}, {xy0[1], xy1[1], xy2[1]}, {z0, z1, z2}};
    for (int r = 0; r < 3; r++) {
      double last = 0;
      for (int c = 0; c < 3; c++) {
        f->J[r][c] = col[r][c];
        last -= col[r][c];
      }
      f->J[r][3] = last;
    }
  } else {
    for (int r = 0; r < dim; r++) {
      double last = 0;
      for (int c = 0; c < dim; c++) {
        double s = 0;
        for (int i = 0; i < count; i++) s += f->nodes[i][r] * gd[c][i];
        f->J[r][c] = s;
        last -= s;
      }
      f->J[r][dim] = last;
    }
  }
  double (*J)[4] = f->J, det;
  if constexpr (dim == 1) det = J[0][0];
  else if constexpr (dim == 2) det = J[0][0] * J[1][1] - J[0][1] * J[1][0];
  else
    det = J[0][0] * (J[1][1] * J[2][2] - J[1][2] * J[2][1]) -
          J[0][1] * (J[1][0] * J[2][2] - J[1][2] * J[2][0]) +
          J[0][2] * (J[1][0] * J[2][1] - J[1][1] * J[2][0]);
  f->absdet = std::fabs(det);
  double q = f->invdet = f->absdet == 0 ? 1 : 1 / f->absdet;
  f->measure = dim == 1 ? f->absdet : dim == 2 ? 0.5 * f->absdet : volume_sixth * f->absdet;
  double (*K)[3] = f->K;
  if constexpr (dim == 1) {
    K[0][0] = q;
    K[1][0] = -q;
    return;
  }
  // Column r of K, then its dependent entry K[dim][r] = -(sum of the others), summed
  // from the values at hand rather than read back from the stores. Unrolled, so that
  // the cyclic indices are constants.
#pragma GCC unroll 3
  for (int r = 0; r < dim; r++) {
    double k[3];
    if constexpr (dim == 2) {
      k[0] = r == 0 ? J[1][1] * q : -J[0][1] * q;
      k[1] = r == 0 ? -J[1][0] * q : J[0][0] * q;
    } else {
      // K = -adj(J) / |det|, the exact inverse when det < 0; adj[c][r] is the signed
      // cofactor of J[r][c], taken with cyclic indices.
#pragma GCC unroll 3
      for (int c = 0; c < 3; c++) {
        int r1 = (r + 1) % 3, r2 = (r + 2) % 3, c1 = (c + 1) % 3, c2 = (c + 2) % 3;
        k[c] = -(J[r1][c1] * J[r2][c2] - J[r1][c2] * J[r2][c1]) * q;
      }
    }
    double s = 0;
    for (int c = 0; c < dim; c++) K[c][r] = k[c], s += k[c];
    K[dim][r] = -s;
  }
}

static void jacobian_from(const double (*gd)[20], int n, int dim, ElementFrame *f) {
  if (dim == 1) jacobian_dim<1>(gd, n, f);
  else if (dim == 2 && n == 6) jacobian_dim<2, 6>(gd, n, f);
  else if (dim == 2) jacobian_dim<2>(gd, n, f);
  else if (n == 10) jacobian_dim<3, 10>(gd, n, f);
  else if (n == 4) jacobian_dim<3, 4>(gd, n, f);
  else jacobian_dim<3>(gd, n, f);
}

// Marks the geometry rows as those of the frame's geometry basis at L (n functions).
static void held_at(ElementFrame *f, const double *L, int n) {
  std::memcpy(f->gderiv_at, L, sizeof f->gderiv_at);
  f->gderiv_code = f->gbasis;
  f->gderiv_n = n;
}

void elements_jacobian(const double *L, ElementFrame *f) {
  TRACE("elements_jacobian_0");
  f->gderiv_n = 0;
  int n = basisfun_basis_p(f->gderiv, f->gbasis, L);
  int dim = elements_dimension[f->gbasis];
  if (dim < 1 || dim > 3) rtlib_fatal_in("elements_jacobian_0", "ILLEGAL JACOBIAN");
  held_at(f, L, n);
  jacobian_from(f->gderiv, n, dim, f);
}

void elements_jacobian_rule(const QuadBasis *t, int32_t q, ElementFrame *f) {
  TRACE("elements_jacobian_rule_0");
  if (q < 0 || q >= t->count) rtlib_fatal_in("elements_jacobian_rule_0", "NO SUCH RULE POINT");
  if (t->code != f->gbasis) {
    elements_jacobian(t->points[q].L, f);
    return;
  }
  int dim = elements_dimension[f->gbasis], n = elements_functions[f->gbasis];
  if (dim < 1 || dim > 3) rtlib_fatal_in("elements_jacobian_rule_0", "ILLEGAL JACOBIAN");
  const double (*gd)[20] = t->derivs[q];
  for (int c = 0; c < dim; c++)
    for (int i = 0; i < n; i++) f->gderiv[c][i] = gd[c][i];
  held_at(f, t->points[q].L, n);
  jacobian_from(gd, n, dim, f);
}

void elements_localize(ElementFrame *f, const double (*xyz)[3], int32_t nodecode, int32_t geocode) {
  TRACE("elements_localize_0");
  if (nodecode < 0 || nodecode >= ELEMENTS_CODES) traporder(nodecode);  // node count unknown
  f->curved = 1;
  f->dbasis = nodecode;
  f->gbasis = geocode;
  for (int i = 0; i < elements_functions[nodecode]; i++)
    for (int r = 0; r < 3; r++) f->nodes[i][r] = xyz[i][r];
  elements_jacobian(elements_centroid[2].L, f);
}

void elements_get_gcoords(double *xyz, const double *L, ElementFrame *f) {
  TRACE("elements_get_gcoords_0");
  xyz[0] = xyz[1] = xyz[2] = 0;
  int n = basisfun_basis_1(f->values, f->gbasis, L);
  int dim = elements_dimension[f->gbasis];
  for (int r = 0; r < dim; r++) {
    double s = 0;
    for (int i = 0; i < n; i++) s += f->values[i] * f->nodes[i][r];
    xyz[r] = s;
  }
}

void elements_get_gcoords_rule(double *xyz, const QuadBasis *t, int32_t q, ElementFrame *f) {
  TRACE("elements_get_gcoords_rule_0");
  if (q < 0 || q >= t->count) rtlib_fatal_in("elements_get_gcoords_rule_0", "NO SUCH RULE POINT");
  if (t->code != f->gbasis) {
    elements_get_gcoords(xyz, t->points[q].L, f);
    return;
  }
  xyz[0] = xyz[1] = xyz[2] = 0;
  const double *v = t->values[q];
  int n = elements_functions[f->gbasis], dim = elements_dimension[f->gbasis];
  for (int r = 0; r < dim; r++) {
    double s = 0;
    for (int i = 0; i < n; i++) s += v[i] * f->nodes[i][r];
    xyz[r] = s;
  }
}

// (x + 1) rounded to single precision, minus 1: snaps values near 0 to 0. The float is
// stored through a volatile so that no optimisation keeps the sum in double. A value
// that no float holds (a point far outside a sliver cell) is returned as it is: the
// conversion would trip the overflow trap, and the value is outside either way.
double limitsp(double x) {
  if (!(std::fabs(x + 1) <= FLT_MAX)) return x;
  volatile float single = static_cast<float>(x + 1);
  return static_cast<double>(single) - 1;
}

// Newton iteration for curved triangles (dim 2) and tetrahedra (dim 3), from the
// centroid, with steps no longer than 0.3 and at most 21 steps; it stops early once
// the point is found outside the cell by more than tol.
static void newton(double *L, const double *X, ElementFrame *f, double tol, int dim) {
  double M[4], x[3], r[3], dL[4], s;
  for (int c = 0; c < 4; c++) M[c] = elements_centroid[dim].L[c];
  int step = 0;
  bool inside;
  do {
    step++;
    elements_get_gcoords(x, M, f);
    for (int k = 0; k < dim; k++) r[k] = X[k] - x[k];
    elements_jacobian(M, f);
    s = 0;
    for (int c = 0; c <= dim; c++) {
      dL[c] = 0;
      for (int k = 0; k < dim; k++) dL[c] += f->K[c][k] * r[k];
      s += dL[c] * dL[c];
    }
    double scale = s > 0.09 ? 0.3 / std::sqrt(s) : 1;
    double sum = 0;
    for (int c = 0; c <= dim; c++) sum += M[c] += dL[c] * scale;
    if (dim == 3)
      for (int c = 0; c < 4; c++) M[c] /= sum;
    inside = true;
    for (int c = 0; c <= dim; c++) inside = inside && M[c] >= -tol;
  } while (s >= 1e-16 && inside && step <= 20);
  if (dim == 2) {
    L[0] = limitsp(M[0]);
    L[1] = limitsp(M[1]);
    L[2] = 1 - L[0] - L[1];
    L[3] = 0;
  } else {
    for (int c = 0; c < 4; c++) L[c] = M[c];
  }
}

void elements_get_lcoords(double *L, const double *X, ElementFrame *f, double tol) {
  TRACE("elements_get_lcoords_0");
  if (f->gbasis < 0 || f->gbasis >= ELEMENTS_CODES) traporder(f->gbasis);
  const double (*P)[3] = f->nodes;
  const double (*K)[3] = f->K;
  switch (elements_dimension[f->gbasis]) {
    case 1: {
      // Both coordinates from the end nodes: L1 = 1 at node 1, L1 = 0 at node 2.
      double span = P[0][0] - P[1][0];
      L[0] = span != 0 ? (X[0] - P[1][0]) / span : 0;
      L[1] = 1 - L[0];
      break;
    }
    case 2:
      // A cell of straight sides maps affinely: the inverse Jacobian takes the point
      // straight to its coordinates, with no iteration.
      if (f->gbasis == tri3 || !f->curved) {
        double dx = X[0] - P[2][0], dy = X[1] - P[2][1];
        L[0] = limitsp(K[0][0] * dx + K[0][1] * dy);
        L[1] = limitsp(K[1][0] * dx + K[1][1] * dy);
        L[2] = 1 - L[0] - L[1];
        L[3] = 0;
      } else {
        newton(L, X, f, tol, 2);
      }
      break;
    case 3:
      if (f->gbasis == tet4 || !f->curved) {
        double d[3] = {X[0] - P[3][0], X[1] - P[3][1], X[2] - P[3][2]};
        for (int c = 0; c < 3; c++) L[c] = K[c][0] * d[0] + K[c][1] * d[1] + K[c][2] * d[2];
        L[3] = 1 - L[0] - L[1] - L[2];
      } else {
        newton(L, X, f, tol, 3);
      }
      break;
    default: break;
  }
}

// ---- Global derivatives of basis functions ---------------------------------------------------

[[noreturn]] static void trap_deriv() {
  TRACE("trap_deriv_0");
  rtlib_fatal_in("trap_deriv_0", "BAD BASIS SELECTOR");
}

static int checked_dim(int32_t code) {
  if (code < 0 || code >= ELEMENTS_CODES) traporder(code);
  return elements_dimension[code];
}

// Row of dN/dx_r from local first derivatives: sum over the independent coordinates.
template <int DIM> static void first_dim(double *row, int n, const double (*ld)[20], const ElementFrame *f, int r) {
  for (int i = 0; i < n; i++) {
    double s = 0;
    for (int c = 0; c < DIM; c++) s += ld[c][i] * f->K[c][r];
    row[i] = s;
  }
}

static int basis_first(double *row, int32_t code, const double (*ld)[20], const ElementFrame *f,
                       int r) {
  int dim = checked_dim(code), n = elements_functions[code];
  switch (dim) {
    case 1: first_dim<1>(row, n, ld, f, r); break;
    case 2: first_dim<2>(row, n, ld, f, r); break;
    case 3: first_dim<3>(row, n, ld, f, r); break;
    default: first_dim<0>(row, n, ld, f, r); break;
  }
  return n;
}

int elements_basisx(double *row, int32_t code, const double (*ld)[20], const ElementFrame *f) {
  TRACE("elements_basisx_0");
  return basis_first(row, code, ld, f, 0);
}

int elements_basisy(double *row, int32_t code, const double (*ld)[20], const ElementFrame *f) {
  TRACE("elements_basisy_0");
  if (checked_dim(code) == 1) rtlib_fatal_in("elements_basisy_0", "BASISY: NOT 2D");
  return basis_first(row, code, ld, f, 1);
}

int elements_basisz(double *row, int32_t code, const double (*ld)[20], const ElementFrame *f) {
  TRACE("elements_basisz_0");
  if (checked_dim(code) < 3) rtlib_fatal_in("elements_basisz_0", "BASISZ: NOT 3D");
  return basis_first(row, code, ld, f, 2);
}

static int local_derivs(ElementFrame *f, int32_t code, const double *L);

// The second local derivatives of a curved cell's map at L: X[m][k] = d2 x_m / dL_a dL_b
// for the k-th pair (a, b) of the local second-derivative rows. False where the map is
// affine (a straight cell), when X is all zero.
static bool map_second(ElementFrame *f, const double *L, int dim, double X[3][6]) {
  if (!f->curved || elements_dimension[f->gbasis] != dim) return false;
  double d[6][20];
  int n = dim == 1   ? basisfun_basis_pp1(d[0], f->gbasis, L)
          : dim == 2 ? basisfun_basis_pp2(d, f->gbasis, L)
                     : basisfun_basis_pp3(d, f->gbasis, L);
  bool any = false;
  for (int m = 0; m < dim; m++)
    for (int k = 0; k < dim * (dim + 1) / 2; k++) {
      double x = 0;
      for (int i = 0; i < n; i++) x += f->nodes[i][m] * d[k][i];
      X[m][k] = x;
      any = any || x != 0;
    }
  return any;
}

// Local second derivatives of data taken to coordinate second derivatives need the map's
// own second derivatives in a curved cell: d2/dL_a dL_b = sum_rs d2/dx_r dx_s x_r,a x_s,b +
// sum_m d/dx_m x_m,ab. Rows k of D (count n) lose sum_m (d/dx_m of the same data) X[m][k],
// the first derivatives taken from the local rows ld through K.
static void less_map_second(double (*D)[20], int n, int dim, const double (*ld)[20], const ElementFrame *f,
                            const double X[3][6]) {
  for (int i = 0; i < n; i++)
    for (int m = 0; m < dim; m++) {
      double g = 0;
      for (int c = 0; c < dim; c++) g += ld[c][i] * f->K[c][m];
      for (int k = 0; k < dim * (dim + 1) / 2; k++) D[k][i] -= g * X[m][k];
    }
}

// Local second-derivative row of the pair (a, b) of independent coordinates, by dimension:
// one row in 1D (11), three in 2D (11, 12, 22), six in 3D (11, 12, 13, 22, 23, 33).
static const int second_row_of[4][3][3] = {{{0}}, {{0}}, {{0, 1}, {1, 2}}, {{0, 1, 2}, {1, 3, 4}, {2, 4, 5}}};

// Second derivative rows along x_r, x_s of a code of any dimension: the local second
// derivatives (less the map's own in a curved cell) taken through K on both sides.
static int basis_second(double *row, int32_t code, const double *L, ElementFrame *f, int r, int s) {
  int dim = elements_dimension[code];
  double d[6][20], X[3][6];
  const double (*K)[3] = f->K;
  if (dim == 0) {
    row[0] = 0;
    return elements_functions[code];
  }
  int n = dim == 1   ? basisfun_basis_pp1(d[0], code, L)
          : dim == 2 ? basisfun_basis_pp2(d, code, L)
                     : basisfun_basis_pp3(d, code, L);
  if (map_second(f, L, dim, X)) {
    local_derivs(f, code, L);
    less_map_second(d, n, dim, f->lderiv, f, X);
  }
  if (dim == 1) {
    for (int i = 0; i < n; i++) row[i] = K[0][r] * K[0][s] * d[0][i];
    return n;
  }
  if (dim == 2) {
    double a = K[0][r] * K[0][s], b = K[0][r] * K[1][s] + K[1][r] * K[0][s], c = K[1][r] * K[1][s];
    for (int i = 0; i < n; i++) row[i] = a * d[0][i] + b * d[1][i] + c * d[2][i];
    return n;
  }
  // 3D: the diagonal pairs once, the mixed ones with both orders.
  double w[6];
  for (int a = 0; a < 3; a++)
    for (int b = a; b < 3; b++)
      w[second_row_of[3][a][b]] = a == b ? K[a][r] * K[a][s] : K[a][r] * K[b][s] + K[b][r] * K[a][s];
  for (int i = 0; i < n; i++) {
    double v = 0;
    for (int k = 0; k < 6; k++) v += w[k] * d[k][i];
    row[i] = v;
  }
  return n;
}

int elements_basisxx(double *row, int32_t code, const double *L, ElementFrame *f) {
  TRACE("elements_basisxx_0");
  checked_dim(code);
  return basis_second(row, code, L, f, 0, 0);
}

// The second derivatives that need a y: none on a line.
static int basis_second_y(double *row, int32_t code, const double *L, ElementFrame *f, int r, const char *where,
                          const char *line) {
  if (checked_dim(code) == 1) rtlib_fatal_in(where, line);
  return basis_second(row, code, L, f, r, 1);
}

int elements_basisxy(double *row, int32_t code, const double *L, ElementFrame *f) {
  TRACE("elements_basisxy_0");
  return basis_second_y(row, code, L, f, 0, "elements_basisxy_0", "BASISXY, NOT 2D");
}

int elements_basisyy(double *row, int32_t code, const double *L, ElementFrame *f) {
  TRACE("elements_basisyy_0");
  return basis_second_y(row, code, L, f, 1, "elements_basisyy_0", "BASISYY, NOT 2D");
}

// The z forms of second derivatives: in 3D only (a code of dimension 0 gives none).
static int basis_z2(double *row, int32_t code, const double *L, ElementFrame *f, int r, const char *where,
                    const char *low) {
  int dim = checked_dim(code);
  if (dim == 0) return 0;
  if (dim < 3) rtlib_fatal_in(where, low);
  return basis_second(row, code, L, f, r, 2);
}

int basisxz(double *row, int32_t code, const double *L, ElementFrame *f) {
  TRACE("basisxz_0");
  return basis_z2(row, code, L, f, 0, "basisxz_0", "BASISXZ, NOT 3D");
}

int basisyz(double *row, int32_t code, const double *L, ElementFrame *f) {
  TRACE("basisyz_0");
  return basis_z2(row, code, L, f, 1, "basisyz_0", "BASISYZ, NOT 3D");
}

int basiszz(double *row, int32_t code, const double *L, ElementFrame *f) {
  TRACE("basiszz_0");
  return basis_z2(row, code, L, f, 2, "basiszz_0", "BASISZZ, NOT 3D");
}

// The local first derivatives of the basis code at L into the frame's rows: the rows
// already there are kept when they were formed for the same code and point (the
// derivatives of u along x and then y ask for them twice at each rule point), and
// the geometry rows of the Jacobian serve when they are of that code and point (the
// same rows: both are the basis's derivatives there).
static int local_derivs(ElementFrame *f, int32_t code, const double *L) {
  f->dbasis = code;
  if (f->lderiv_n > 0 && f->lderiv_code == code && std::memcmp(f->lderiv_at, L, sizeof f->lderiv_at) == 0)
    return f->lderiv_n;
  f->lderiv_n = 0;
  int n;
  if (f->gderiv_n > 0 && f->gderiv_code == code && std::memcmp(f->gderiv_at, L, sizeof f->gderiv_at) == 0) {
    n = f->gderiv_n;
    for (int c = 0, dim = elements_dimension[code]; c < dim; c++)
      std::memcpy(f->lderiv[c], f->gderiv[c], size_t(n) * sizeof(double));
  } else {
    n = basisfun_basis_p(f->lderiv, code, L);
  }
  std::memcpy(f->lderiv_at, L, sizeof f->lderiv_at);
  f->lderiv_code = code;
  f->lderiv_n = n;
  return n;
}

int elements_basis_sel(double *row, uint8_t s1, uint8_t s2, int32_t code, const double *L,
                       ElementFrame *f) {
  TRACE("elements_basis_sel_0");
  typedef int (*Second)(double *, int32_t, const double *, ElementFrame *);
  static const Second pairs[3][3] = {{elements_basisxx, elements_basisxy, basisxz},
                                     {elements_basisxy, elements_basisyy, basisyz},
                                     {basisxz, basisyz, basiszz}};
  if (s2 == 0) {
    if (s1 == 0) return basisfun_basis_1(row, code, L);
    if (s1 > 3) trap_deriv();
    local_derivs(f, code, L);
    if (s1 == 1) return elements_basisx(row, code, f->lderiv, f);
    if (s1 == 2) return elements_basisy(row, code, f->lderiv, f);
    return elements_basisz(row, code, f->lderiv, f);
  }
  if (s2 > 3 || s1 < 1 || s1 > 3) trap_deriv();
  return pairs[s2 - 1][s1 - 1](row, code, L, f);
}

// ---- Interpolation of nodal data -------------------------------------------------------------

double elements_interpu(int32_t code, const double *L, ElementFrame *f, const double *u) {
  TRACE("elements_interpu_0");
  int n = basisfun_basis_1(f->values, code, L);
  double s = 0;
  for (int i = 0; i < n; i++) s += f->values[i] * u[i];
  return s;
}

// du/dx_r: local first derivatives into the frame's scratch rows, then the chain rule.
static double interp_first(int32_t code, const double *L, ElementFrame *f, const double *u, int r) {
  int n = local_derivs(f, code, L), dim = elements_dimension[code];
  double s = 0;
  for (int i = 0; i < n; i++) {
    double g = 0;
    for (int c = 0; c < dim; c++) g += f->lderiv[c][i] * f->K[c][r];
    s += u[i] * g;
  }
  return s;
}

double elements_interpux(int32_t code, const double *L, ElementFrame *f, const double *u) {
  TRACE("elements_interpux_0");
  return interp_first(code, L, f, u, 0);
}

double elements_interpuy(int32_t code, const double *L, ElementFrame *f, const double *u) {
  TRACE("elements_interpuy_0");
  if (checked_dim(code) == 1) rtlib_fatal_in("elements_interpuy_0", "UY, NOT 2D");
  return interp_first(code, L, f, u, 1);
}

double elements_interpuz(int32_t code, const double *L, ElementFrame *f, const double *u) {
  TRACE("elements_interpuz_0");
  if (checked_dim(code) < 3) rtlib_fatal_in("elements_interpuz_0", "UZ, NOT 3D");
  return interp_first(code, L, f, u, 2);
}

// d2u/dx_r dx_s from the local second derivatives of the data, less the part the map's
// own second derivatives give in a curved cell.
// The local second derivatives of the data into U (by second_row_of); returns the dimension.
static int local_seconds(int32_t code, const double *L, ElementFrame *f, const double *u, double U[6]) {
  int dim = checked_dim(code), n;
  double d[6][20], X[3][6];
  std::fill(U, U + 6, 0.0);
  if (dim == 0) return 0;
  if (dim == 1) n = basisfun_basis_pp1(d[0], code, L);
  else if (dim == 2) n = basisfun_basis_pp2(d, code, L);
  else n = basisfun_basis_pp3(d, code, L);
  if (map_second(f, L, dim, X)) {
    local_derivs(f, code, L);
    less_map_second(d, n, dim, f->lderiv, f, X);
  }
  for (int k = 0; k < dim * (dim + 1) / 2; k++)
    for (int i = 0; i < n; i++) U[k] += u[i] * d[k][i];
  return dim;
}
static double global_second(const double U[6], const ElementFrame *f, int dim, int r, int s) {
  double sum = 0;
  for (int a = 0; a < dim; a++)
    for (int b = 0; b < dim; b++) sum += U[second_row_of[dim][a][b]] * f->K[a][r] * f->K[b][s];
  return sum;
}
static double interp_second(int32_t code, const double *L, ElementFrame *f, const double *u, int r, int s) {
  double U[6];
  int dim = local_seconds(code, L, f, u, U);
  return dim == 0 ? 0 : global_second(U, f, dim, r, s);
}

void elements_interp_seconds(int32_t code, const double *L, ElementFrame *f, const double *u, double out[3][3]) {
  TRACE("elements_interp_seconds");
  double U[6];
  int dim = local_seconds(code, L, f, u, U);
  for (int r = 0; r < 3; r++)
    for (int s = 0; s < 3; s++) out[r][s] = r < dim && s < dim ? global_second(U, f, dim, r, s) : 0.0;
}

double elements_interpuxx(int32_t code, const double *L, ElementFrame *f, const double *u) {
  TRACE("elements_interpuxx_0");
  return interp_second(code, L, f, u, 0, 0);
}

double elements_interpuxy(int32_t code, const double *L, ElementFrame *f, const double *u) {
  TRACE("elements_interpuxy_0");
  if (checked_dim(code) == 1) rtlib_fatal_in("elements_interpuxy_0", "UXY, NOT 2D");
  return interp_second(code, L, f, u, 0, 1);
}

double elements_interpuyy(int32_t code, const double *L, ElementFrame *f, const double *u) {
  TRACE("elements_interpuyy_0");
  if (checked_dim(code) == 1) rtlib_fatal_in("elements_interpuyy_0", "UYY, NOT 2D");
  return interp_second(code, L, f, u, 1, 1);
}

double elements_interpuxz(int32_t code, const double *L, ElementFrame *f, const double *u) {
  TRACE("elements_interpuxz_0");
  if (checked_dim(code) < 3) rtlib_fatal_in("elements_interpuxz_0", "UXZ, NOT 3D");
  return interp_second(code, L, f, u, 0, 2);
}

double elements_interpuyz(int32_t code, const double *L, ElementFrame *f, const double *u) {
  TRACE("elements_interpuyz_0");
  if (checked_dim(code) < 3) rtlib_fatal_in("elements_interpuyz_0", "UYZ, NOT 3D");
  return interp_second(code, L, f, u, 1, 2);
}

double elements_interpuzz(int32_t code, const double *L, ElementFrame *f, const double *u) {
  TRACE("elements_interpuzz_0");
  if (checked_dim(code) < 3) rtlib_fatal_in("elements_interpuzz_0", "UZZ, NOT 3D");
  return interp_second(code, L, f, u, 2, 2);
}

double elements_interpu_sel(int32_t code, uint16_t s1, int16_t s2, const double *L, ElementFrame *f,
                            const double *u) {
  TRACE("elements_interpu_sel_0");
  typedef double (*Interp)(int32_t, const double *, ElementFrame *, const double *);
  static const Interp first[4] = {elements_interpu, elements_interpux, elements_interpuy,
                                  elements_interpuz};
  static const Interp pairs[3][3] = {
      {elements_interpuxx, elements_interpuxy, elements_interpuxz},
      {elements_interpuxy, elements_interpuyy, elements_interpuyz},
      {elements_interpuxz, elements_interpuyz, elements_interpuzz}};
  if (s2 >= 4) return 0;
  if (s2 == 0 && s1 <= 3) return first[s1](code, L, f, u);
  if (s2 >= 1 && s1 >= 1 && s1 <= 3) return pairs[s2 - 1][s1 - 1](code, L, f, u);
  rtlib_fatal_in("elements_interpu_sel_0", "Bad Derivative selector");
}

void elements_interp(double *xyz, int32_t code, const double *L, ElementFrame *f,
                     const double (*nodes)[3]) {
  TRACE("elements_interp_0");
  int n = basisfun_basis_1(f->values, code, L);
  for (int r = 0; r < 3; r++) {
    double s = 0;
    for (int i = 0; i < n; i++) s += f->values[i] * nodes[i][r];
    xyz[r] = s;
  }
}

void elements_gradient(double *out, int32_t code, const double *L, ElementFrame *f, const double *u) {
  TRACE("elements_gradient_0");
  int dim = checked_dim(code);
  for (int r = 0; r < dim; r++) out[r] = interp_first(code, L, f, u, r);
}

double elements_bsum(const double *a, const double *b, int16_t n) {
  TRACE("elements_bsum_0");
  double s = 0;
  for (int i = 0; i < n; i++) s += a[i] * b[i];
  return s;
}

// The stationary point of a tri6 quadratic: its gradient in (L1, L2) is linear, so one
// 2x2 solve from the gradient at L1 = L2 = 0 and the constant second derivatives.
int elements_extremum(int32_t code, double *L, ElementFrame *f, const double *u) {
  TRACE("elements_extremum_0");
  if (code != tri6) rtlib_fatal_in("elements_extremum_0", "unimplemented");
  static const double origin[4] = {0, 0, 1, 0};
  double h[3][20], g[2] = {0, 0}, H[3] = {0, 0, 0};
  local_derivs(f, code, origin);
  basisfun_basis_pp2(h, code, origin);
  for (int i = 0; i < 6; i++) {
    g[0] += u[i] * f->lderiv[0][i], g[1] += u[i] * f->lderiv[1][i];
    for (int k = 0; k < 3; k++) H[k] += u[i] * h[k][i];
  }
  double det = H[0] * H[2] - H[1] * H[1];
  if (det == 0) return 0;
  double l1 = (-g[0] * H[2] + g[1] * H[1]) / det, l2 = (-g[1] * H[0] + g[0] * H[1]) / det;
  double l3 = 1 - l1 - l2;
  if (l1 < -1e-6 || l2 < -1e-6 || l3 < -1e-6) return 0;
  L[0] = l1, L[1] = l2, L[2] = l3, L[3] = 0;
  return 1;
}
