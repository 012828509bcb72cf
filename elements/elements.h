// elements: the cell types and their constant tables (basis codes, node layouts of
// sides, faces and edges, rotations), the element geometry frame of one cell with its
// maps, and global derivatives and interpolation of bases and nodal data in a cell.
#pragma once
#include <cstdint>

// Basis codes: 1-10 are cell types, 11-20 single error-estimation bubbles.
enum {
  no_basis = 0, lin2, lin3, lin4, tri3, tri6, tri9, tri10, tet4, tet10, tet20,
  linerr, trierr, teterr, trierr1, trierr2, trierr3, teterr1, teterr2, teterr3, teterr4,
  ELEMENTS_CODES
};

// A local point: barycentric L1..L4 (L[0] is L1); entries beyond the cell's
// dimension are 0, and vertex k is the point where Lk = 1.
struct LocalPoint {
  double L[4];
};

// ---- Constant tables indexed by basis code 0..20 ------------------------------------
extern const uint8_t elements_functions[ELEMENTS_CODES];  // basis functions = nodes
extern const uint8_t elements_dimension[ELEMENTS_CODES];
extern const uint8_t elements_vertices[ELEMENTS_CODES];
extern const uint8_t elements_order[ELEMENTS_CODES];
extern const uint8_t elements_side_nodes[ELEMENTS_CODES];  // per side or face, vertices included
extern const uint8_t elements_subcells[ELEMENTS_CODES];    // straight display sub-cells
extern const char elements_names[ELEMENTS_CODES][10];      // NUL-padded ten-byte fields
// Reference centroids by dimension 1..3 (row 0 unused; 2D is the decimal 0.333333333333).
extern const LocalPoint elements_centroid[4];
// Linear code of dimension 1..3 (1-based: entry 0 unused): lin2, tri3, tet4.
extern const int32_t elements_linear_code[4];

// Display sub-cells, 1-based node numbers (tri9 node 10 is the cell centre, which the
// user of the table supplies).
extern const uint8_t elements_subcells_tri3[1][3];
extern const uint8_t elements_subcells_tri6[4][3];
extern const uint8_t elements_subcells_tri9[9][3];
extern const uint8_t elements_subcells_tet4[1][4];
extern const uint8_t elements_subcells_tet10[8][4];

// Triangle side table: row s-1 for mesh side s (opposite vertex s): the opposite
// vertex, the side's start and end vertices (s+1 to s+2, cyclic), the three tri6
// side-node places rotated so the side's own midpoint (3+s) comes first, and the three
// tri9 second third-points rotated likewise (the first third-points are the tri6
// places: side s holds 3+s near its start and 6+s near its end).
extern const uint8_t elements_tri_sides[3][9];

// Tetrahedron faces, row f-1 for face f (opposite vertex f): corners (2,4,3), (3,4,1),
// (4,2,1), (1,2,3), each a triangle seen with its own node order: the three corners
// a, b, c; for tet10 the midpoints of the face sides opposite a, b, c; for tet20 the
// first third-points of the sides b->c, c->a, a->b (nearer b, c, a), then the second
// ones, as a tri9 cell orders them; unused places are 0. The tet20 face centre is node
// 16 + f.
extern const uint8_t elements_tet4_faces[4][9];
extern const uint8_t elements_tet10_faces[4][9];
extern const uint8_t elements_tet20_faces[4][9];
// The face table of a tetrahedron code (tet4, tet10, tet20), null for others.
const uint8_t (*elements_tet_faces(int32_t code))[9];

// Tetrahedron edges (2,3), (3,1), (1,2), (4,1), (4,2), (4,3): the two corners, then
// the inner nodes from the first corner on (none for tet4, one for tet10, two for tet20).
extern const uint8_t elements_tet_edges[3][6][4];  // [code - tet4][edge - 1]

// The 12 rotations of a tetrahedron as corner orders (even permutations): rows 2e-1
// and 2e (1-based) begin with edge e's corners (i, j) and (j, i).
extern const uint8_t elements_tet_rotations[12][4];

// ---- Element geometry frame -----------------------------------------------------------
struct ElementFrame {
  uint8_t curved;          // Jacobian varies inside the cell: recompute per point
  int32_t gbasis;          // geometry basis: maps the cell
  int32_t dbasis;          // basis of the last local-derivative rows computed here
  double nodes[20][3];     // x, y, z of each node in basis node order
  double gderiv[3][20];    // local derivatives of the geometry basis at the last Jacobian
  double gderiv_at[4];     // the point of the rows in gderiv, for basis gderiv_code ...
  int32_t gderiv_code = -1;
  int32_t gderiv_n = 0;    // ... and their count; 0: none held
  double values[20];       // scratch: basis values
  double lderiv[3][20];    // scratch: local first derivatives
  double lderiv_at[4];     // the point of the rows in lderiv, for basis lderiv_code ...
  int32_t lderiv_code = -1;
  int32_t lderiv_n = 0;    // ... and their count; 0: none held
  double measure;          // length, area or volume from the last Jacobian
  double absdet;           // |det J|
  double invdet;           // 1/|det J|, or 1 for a degenerate cell
  double J[3][4];          // J[r][c] = dx_r/dLc, dependent column = -(sum of others)
  double K[4][3];          // K[c][r] = dLc/dx_r scaled by 1/|det J|
};

struct QuadBasis;

int elements_init();
void elements_jacobian(const double *L, ElementFrame *f);
// The Jacobian and the forward map at rule point q (0-based) of a per-basis rule
// table: taken from the table's rows when it was built for the frame's geometry
// basis, else evaluated at the point. Either way the results are those of
// elements_jacobian and elements_get_gcoords at the point, bit for bit.
void elements_jacobian_rule(const QuadBasis *t, int32_t q, ElementFrame *f);
void elements_get_gcoords_rule(double *xyz, const QuadBasis *t, int32_t q, ElementFrame *f);
void elements_localize(ElementFrame *f, const double (*xyz)[3], int32_t nodecode, int32_t geocode);
void elements_get_gcoords(double *xyz, const double *L, ElementFrame *f);
void elements_get_lcoords(double *L, const double *xyz, ElementFrame *f, double tol);
double limitsp(double x);

// ---- Global derivatives and interpolation ---------------------------------------------
int elements_basisx(double *row, int32_t code, const double (*ld)[20], const ElementFrame *f);
int elements_basisy(double *row, int32_t code, const double (*ld)[20], const ElementFrame *f);
int elements_basisz(double *row, int32_t code, const double (*ld)[20], const ElementFrame *f);
int elements_basisxx(double *row, int32_t code, const double *L, ElementFrame *f);
int elements_basisxy(double *row, int32_t code, const double *L, ElementFrame *f);
int elements_basisyy(double *row, int32_t code, const double *L, ElementFrame *f);
int basisxz(double *row, int32_t code, const double *L, ElementFrame *f);
int basisyz(double *row, int32_t code, const double *L, ElementFrame *f);
int basiszz(double *row, int32_t code, const double *L, ElementFrame *f);
int elements_basis_sel(double *row, uint8_t s1, uint8_t s2, int32_t code, const double *L,
                       ElementFrame *f);

double elements_interpu(int32_t code, const double *L, ElementFrame *f, const double *u);
double elements_interpux(int32_t code, const double *L, ElementFrame *f, const double *u);
double elements_interpuy(int32_t code, const double *L, ElementFrame *f, const double *u);
double elements_interpuz(int32_t code, const double *L, ElementFrame *f, const double *u);
double elements_interpuxx(int32_t code, const double *L, ElementFrame *f, const double *u);
// Every second derivative out[r][s] = d2u/dx_r dx_s at L in one pass over the data, each as
// the single ones give it (0 past the cell's dimension).
void elements_interp_seconds(int32_t code, const double *L, ElementFrame *f, const double *u, double out[3][3]);
double elements_interpuxy(int32_t code, const double *L, ElementFrame *f, const double *u);
double elements_interpuxz(int32_t code, const double *L, ElementFrame *f, const double *u);
double elements_interpuyy(int32_t code, const double *L, ElementFrame *f, const double *u);
double elements_interpuyz(int32_t code, const double *L, ElementFrame *f, const double *u);
double elements_interpuzz(int32_t code, const double *L, ElementFrame *f, const double *u);
double elements_interpu_sel(int32_t code, uint16_t s1, int16_t s2, const double *L, ElementFrame *f,
                            const double *u);
void elements_interp(double *xyz, int32_t code, const double *L, ElementFrame *f,
                     const double (*nodes)[3]);
void elements_gradient(double *out, int32_t code, const double *L, ElementFrame *f, const double *u);
double elements_bsum(const double *a, const double *b, int16_t n);
int elements_extremum(int32_t code, double *L, ElementFrame *f, const double *u);
