// basisfun: shape functions, their local derivatives and the basis node coordinates.
// Every function is held as an exact polynomial in L1..L4 (a few monomial terms);
// values use the coordinates as given, derivatives are taken with the last coordinate
// of the cell's dimension replaced by 1 minus the others, by the chain rule.
#include "elements/basisfun.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "runtime/bopmem.h"
#include "runtime/vectorbase.h"
#include "runtime/rtlib.h"

int basisfun_init() {
  TRACE("basisfun");
  return 0;
}

int32_t basisfun_pick_basis(uint16_t dim, uint16_t order) {
  TRACE("basisfun_pick_basis_0");
  static const int32_t pick[3][3] = {{lin2, lin3, lin4}, {tri3, tri6, tri9}, {tet4, tet10, tet20}};
  if (dim < 1 || dim > 3) rtlib_fatal_in("basisfun_pick_basis_0", "ILLEGAL DIMENSIONALITY");
  if (order < 1 || order > 3) rtlib_fatal_in("basisfun_pick_basis_0", "ILLEGAL ORDER");
  return pick[dim - 1][order - 1];
}

void traporder(int32_t code) {
  TRACE("traporder_0");
  char text[40];
  snprintf(text, sizeof text, "ILLEGAL BASIS=%d", code);
  rtlib_fatal_in("traporder_0", text);
}

// ---- The polynomial tables -------------------------------------------------------------

namespace {
struct Term {
  double c;
  uint8_t e[4];  // powers of L1..L4
};
struct Poly {
  uint8_t n;
  Term t[4];
};
struct Basis {
  uint8_t n;
  Poly f[20];
};

constexpr Poly operator+(Poly a, const Poly &b) {
  for (int i = 0; i < b.n; i++) a.t[a.n++] = b.t[i];
  return a;
}
// c times the product of the listed coordinates (1-based, repeats allowed).
constexpr Poly term(double c, int a = 0, int b = 0, int d = 0, int e = 0) {
  Poly p{};
  p.n = 1;
  p.t[0].c = c;
  for (int k : {a, b, d, e})
    if (k > 0) p.t[0].e[k - 1]++;
  return p;
}
// Quadratic vertex function (2Lk - 1)Lk.
constexpr Poly quad(int k) { return term(2, k, k) + term(-1, k); }
// Cubic vertex function (3L - 1)(3L - 2)L/2.
constexpr Poly cub(int k) { return term(4.5, k, k, k) + term(-4.5, k, k) + term(1, k); }
// Cubic edge function 4.5(3La - 1)La Lb, 1 at the third-point of a-b nearer a.
constexpr Poly edg(int a, int b) { return term(13.5, a, a, b) + term(-4.5, a, b); }

// The stored sixth of the serendipity cubic triangle (the decimal, not 1/6).
constexpr double tri9_s = 0.16666666666667;

constexpr Basis make(std::initializer_list<Poly> fs) {
  Basis b{};
  for (const Poly &p : fs) b.f[b.n++] = p;
  return b;
}

struct Table {
  Basis b[ELEMENTS_CODES];
};

constexpr Table build() {
  Table t{};
  const Poly B4 = term(6.75, 1, 2, 3), sB = term(-27 * tri9_s, 1, 2, 3);
  t.b[no_basis] = make({term(1)});
  t.b[lin2] = make({term(1, 1), term(1, 2)});
  t.b[lin3] = make({term(1, 1, 1) + term(-1, 1, 2), term(1, 2, 2) + term(-1, 1, 2), term(4, 1, 2)});
  t.b[lin4] = make({cub(1), cub(2), edg(1, 2), edg(2, 1)});
  t.b[tri3] = make({term(1, 1), term(1, 2), term(1, 3)});
  t.b[tri6] = make({quad(1), quad(2), quad(3), term(4, 2, 3), term(4, 1, 3), term(4, 1, 2)});
  t.b[tri9] = make({cub(1) + sB, cub(2) + sB, cub(3) + sB, edg(2, 3) + B4, edg(3, 1) + B4,
                    edg(1, 2) + B4, edg(3, 2) + B4, edg(1, 3) + B4, edg(2, 1) + B4});
  t.b[tri10] = make({cub(1), cub(2), cub(3), edg(2, 3), edg(3, 1), edg(1, 2), edg(3, 2), edg(1, 3),
                     edg(2, 1), term(27, 1, 2, 3)});
  t.b[tet4] = make({term(1, 1), term(1, 2), term(1, 3), term(1, 4)});
  t.b[tet10] = make({quad(1), quad(2), quad(3), quad(4), term(4, 2, 3), term(4, 1, 3), term(4, 1, 2),
                     term(4, 1, 4), term(4, 2, 4), term(4, 3, 4)});
  t.b[tet20] = make({cub(1), cub(2), cub(3), cub(4), edg(2, 3), edg(3, 1), edg(1, 2), edg(4, 1),
                     edg(4, 2), edg(4, 3), edg(3, 2), edg(1, 3), edg(2, 1), edg(1, 4), edg(2, 4),
                     edg(3, 4), term(27, 2, 3, 4), term(27, 1, 3, 4), term(27, 1, 2, 4),
                     term(27, 1, 2, 3)});
  t.b[linerr] = make({term(4, 1, 2)});
  t.b[trierr] = make({term(9, 1, 2, 3)});
  t.b[teterr] = make({term(16, 1, 2, 3, 4)});
  t.b[trierr1] = make({term(4, 2, 3)});
  t.b[trierr2] = make({term(4, 1, 3)});
  t.b[trierr3] = make({term(4, 1, 2)});
  t.b[teterr1] = make({term(9, 2, 3, 4)});
  t.b[teterr2] = make({term(9, 1, 3, 4)});
  t.b[teterr3] = make({term(9, 1, 2, 4)});
  t.b[teterr4] = make({term(9, 1, 2, 3)});
  return t;
}

constexpr Table bases = build();
}  // namespace

// ---- Pre-differentiated terms ------------------------------------------------------------
// Evaluation runs over terms already differentiated: each holds its coefficient (the
// powers brought down, in the order Li then Lj) and the coordinates to multiply by, in
// ascending order with repeats. The arithmetic is that of taking the derivative term
// by term at the point, operation for operation, so results do not depend on the path.

namespace {
struct Flat {
  double c;
  uint8_t n;     // factors
  uint8_t f[4];  // coordinate indexes 0..3
};
struct FlatPoly {
  uint8_t n;
  Flat t[4];
};
// Derivative selectors: 0 none, 1 + i for d/dLi.
constexpr int SELECTORS = 5;
struct FlatBasis {
  FlatPoly p[SELECTORS][SELECTORS][20];
};

constexpr FlatPoly flatten(const Poly &p, int i, int j) {
  FlatPoly out{};
  for (int k = 0; k < p.n; k++) {
    const Term &t = p.t[k];
    int e[4] = {t.e[0], t.e[1], t.e[2], t.e[3]};
    double c = t.c;
    if (i >= 0) c *= e[i]--;
    if (j >= 0) c *= e[j]--;
    if (c == 0) continue;
    Flat &f = out.t[out.n++];
    f.c = c;
    for (int m = 0; m < 4; m++)
      for (int q = 0; q < e[m]; q++) f.f[f.n++] = static_cast<uint8_t>(m);
  }
  return out;
}

constexpr FlatBasis flatten_basis(const Basis &b) {
  FlatBasis out{};
  for (int i = 0; i < SELECTORS; i++)
    for (int j = 0; j < SELECTORS; j++)
      for (int k = 0; k < b.n; k++) out.p[i][j][k] = flatten(b.f[k], i - 1, j - 1);
  return out;
}

// Built on first use, one code at a time.
const FlatBasis &flat_basis(int32_t code) {
  static FlatBasis table[ELEMENTS_CODES];
  static bool built[ELEMENTS_CODES];
  if (!built[code]) {
    table[code] = flatten_basis(bases.b[code]);
    built[code] = true;
  }
  return table[code];
}
}  // namespace

// The partial derivative of a flattened polynomial at M.
static inline double eval(const FlatPoly &p, const double *M) {
  double s = 0;
  for (int k = 0; k < p.n; k++) {
    const Flat &t = p.t[k];
    double c = t.c;
    for (int q = 0; q < t.n; q++) c *= M[t.f[q]];
    s += c;
  }
  return s;
}

// The point with the dependent coordinate (index dim) recomputed from the others.
static void dependent(double *M, const double *L, int dim) {
  double sum = 0;
  for (int c = 0; c < 4; c++) M[c] = L[c];
  for (int c = 0; c < dim; c++) sum += L[c];
  if (dim < 4) M[dim] = 1 - sum;
}

// First derivative of function k along independent coordinate a.
static inline double d1(const FlatBasis &f, int k, const double *M, int a, int dep) {
  return eval(f.p[a + 1][0][k], M) - eval(f.p[dep + 1][0][k], M);
}
// Second derivative of function k along independent coordinates a and b.
static inline double d2(const FlatBasis &f, int k, const double *M, int a, int b, int dep) {
  return eval(f.p[a + 1][b + 1][k], M) - eval(f.p[a + 1][dep + 1][k], M) - eval(f.p[dep + 1][b + 1][k], M) +
         eval(f.p[dep + 1][dep + 1][k], M);
}

int basisfun_basis_1(double *row, int32_t code, const double *L) {
  TRACE("basisfun_basis_1");
  if (code < 0 || code >= ELEMENTS_CODES) traporder(code);
  const FlatBasis &f = flat_basis(code);
  int n = bases.b[code].n;
  for (int i = 0; i < n; i++) row[i] = eval(f.p[0][0][i], L);
  return n;
}

double basisfun_basis_0(uint8_t k, int32_t code, const double *L) {
  TRACE("basisfun_basis_0");
  if (code < 0 || code >= ELEMENTS_CODES || code == tri10) traporder(code);
  if (k < 1 || k > bases.b[code].n) return 0;
  return eval(flat_basis(code).p[0][0][k - 1], L);
}

int basisfun_basis_p(double (*d)[20], int32_t code, const double *L) {
  TRACE("basisfun_basis_p_0");
  // The tetrahedron's face bubbles have derivatives too: the 3D error estimate tests its
  // residual against them. The triangle's side bubbles have none.
  if (code < 0 || code > teterr4 || (code > teterr && code < teterr1)) traporder(code);
  const Basis &b = bases.b[code];
  int dim = elements_dimension[code];
  if (dim == 0) {
    d[0][0] = 0;
    return b.n;
  }
  double M[4];
  dependent(M, L, dim);
  const FlatBasis &f = flat_basis(code);
  for (int c = 0; c < dim; c++)
    for (int i = 0; i < b.n; i++) d[c][i] = d1(f, i, M, c, dim);
  return b.n;
}

// Second-derivative rows of a code of dimension dim, in the order 11, 12, (13,) 22, ...
static int second(double (*d)[20], int32_t code, int dim, const double *L) {
  const Basis &b = bases.b[code];
  static const int pairs[3][6][2] = {{{0, 0}},
                                     {{0, 0}, {0, 1}, {1, 1}},
                                     {{0, 0}, {0, 1}, {0, 2}, {1, 1}, {1, 2}, {2, 2}}};
  static const int rows[4] = {0, 1, 3, 6};
  if (code == no_basis) {
    for (int r = 0; r < rows[dim]; r++) d[r][0] = 0;
    return b.n;
  }
  double M[4];
  dependent(M, L, dim);
  const FlatBasis &f = flat_basis(code);
  for (int r = 0; r < rows[dim]; r++)
    for (int i = 0; i < b.n; i++) d[r][i] = d2(f, i, M, pairs[dim - 1][r][0], pairs[dim - 1][r][1], dim);
  return b.n;
}

int basisfun_basis_pp1(double *d, int32_t code, const double *L) {
  TRACE("basisfun_basis_pp1_0");
  if (code < 0 || code > lin4) traporder(code);
  return second(reinterpret_cast<double(*)[20]>(d), code, 1, L);
}

int basisfun_basis_pp2(double (*d)[20], int32_t code, const double *L) {
  TRACE("basisfun_basis_pp2_0");
  if (code != no_basis && (code < tri3 || code > tri10)) traporder(code);
  return second(d, code, 2, L);
}

int basisfun_basis_pp3(double (*d)[20], int32_t code, const double *L) {
  TRACE("basisfun_basis_pp3_0");
  if (code != no_basis && (code < tet4 || code > tet20)) traporder(code);
  return second(d, code, 3, L);
}

// ---- Node coordinates -------------------------------------------------------------------

// Node local points by code, four digits a node: 0, 1, 2 = 0.5, 3 = third, 4 = two thirds.
static const char *const node_spec[tet20 + 1] = {
    nullptr,
    "1000 0100",
    "1000 0100 2200",
    "1000 0100 4300 3400",
    "1000 0100 0010",
    "1000 0100 0010 0220 2020 2200",
    "1000 0100 0010 0430 3040 4300 0340 4030 3400",
    "1000 0100 0010 0430 3040 4300 0340 4030 3400 3330",
    "1000 0100 0010 0001",
    "1000 0100 0010 0001 0220 2020 2200 2002 0202 0022",
    "1000 0100 0010 0001 0430 3040 4300 3004 0304 0034 0340 4030 3400 4003 0403 0043 "
    "0333 3033 3303 3330"};

static LocalPoint *node_table[tet20 + 1];

void basisfun_node_coords() {
  TRACE("basisfun_node_coords_0");
  static const double value[5] = {0, 1, 0.5, 0.33333333333333, 0.66666666666666};
  for (int code = lin2; code <= tet20; code++) {
    if (node_table[code]) continue;
    int n = elements_functions[code];
    bopmemalloc(&node_table[code], n, sizeof(LocalPoint));
    XMEM += n * static_cast<int64_t>(sizeof(LocalPoint));
    const char *s = node_spec[code];
    for (int k = 0; k < n; k++, s++)
      for (int c = 0; c < 4; c++) node_table[code][k].L[c] = value[*s++ - '0'];
  }
}

const LocalPoint *basisfun_node_table(int32_t code) {
  return code >= lin2 && code <= tet20 ? node_table[code] : nullptr;
}

// ---- Basis work containers ----------------------------------------------------------------

// Moves the container to new storage of cap elements holding the first n of the old
// ones, always (exact) or only when cap exceeds the present capacity; sets the count.
// A count beyond the storage stops rather than expose unheld slots.
template <class V> static void resize16(V *v, uint16_t n, uint16_t cap, bool exact, const char *where) {
  using E = vecbase_elem<V>;
  if (n > (exact ? cap : std::max(cap, v->capacity))) rtlib_fatal_in(where, VECTOR_COUNT);
  v->count = n;
  if (!exact && cap <= v->capacity) return;
  E *d = nullptr;
  bopmemalloc(&d, cap, sizeof(E));
  XMEM += int64_t(cap) * sizeof(E);
  if (v->capacity > 0) {
    size_t keep = std::min<size_t>(n, v->capacity);
    if (keep) memcpy(d, v->data, keep * sizeof(E));
    XMEM -= int64_t(v->capacity) * sizeof(E);
    bopmemfree(&v->data);
  }
  v->data = d;
  v->capacity = cap;
}

void basisfun_resize_0(BasisPointers *v, uint16_t n, uint16_t cap) {
  TRACE("basisfun_resize_0");
  resize16(v, n, cap, true, "basisfun_resize_0");
}

void basisfun_resize_1(BasisRows *v, uint16_t n, uint16_t cap) {
  TRACE("basisfun_resize_1");
  resize16(v, n, cap, true, "basisfun_resize_1");
}

void basisfun_free_0(BasisPointers *v) {
  TRACE("basisfun_free_0");
  vecbase_free(v);
}

void basisfun_free_1(BasisRows *v) {
  TRACE("basisfun_free_1");
  vecbase_free(v);
}

void basisfun_free_2(LocalPointList *v) {
  TRACE("basisfun_free_2");
  vecbase_free(v);
}

void basisfun_new(LocalPointList *v, uint16_t n, uint16_t cap) {
  TRACE("basisfun_new_0");
  vecbase_new(v, n, cap, "basisfun_new_0");
}

void basisfun_resize_2(LocalPointList *v, uint16_t n, uint16_t cap) {
  TRACE("basisfun_resize_2");
  if (!v) rtlib_fatal_in("basisfun_resize_2", VECTOR_INVALID);
  resize16(v, n, cap, false, "basisfun_resize_2");
}

// The 16-bit count stops at 65535 points rather than wrap. The point is copied first:
// it may lie in the list's own storage, which the growth releases.
int32_t basisfun_one_more(LocalPointList *v, const LocalPoint &p) {
  TRACE("basisfun_one_more_0");
  const LocalPoint q = p;
  if (v->count == v->capacity) {
    if (v->capacity == UINT16_MAX) rtlib_fatal_in("basisfun_one_more_0", VECTOR_COUNT);
    basisfun_resize_2(v, v->count, static_cast<uint16_t>(std::min(v->capacity * 6 / 5 + 10, int(UINT16_MAX))));
  }
  v->data[v->count++] = q;
  return v->count;
}

void basisfun_insert(LocalPointList *v, int32_t i, const LocalPoint &p) {
  TRACE("basisfun_insert_0");
  if (i < 1) rtlib_fatal_in("basisfun_insert_0", VECTOR_INDEX);
  if (i > v->count) {
    basisfun_one_more(v, p);
    return;
  }
  const LocalPoint q = p;  // p may lie in the storage that the append moves
  basisfun_one_more(v, v->data[v->count - 1]);
  memmove(v->data + i, v->data + i - 1, size_t(v->count - 1 - i) * sizeof(LocalPoint));
  v->data[i - 1] = q;
}

void basisfun_delete_index(LocalPointList *v, int32_t i) {
  TRACE("basisfun_delete_index_0");
  vecbase_delete_index(v, i, "basisfun_delete_index_0");
}

void basisfun_print(FILE *out, const LocalPointList *v, uint16_t ncoords, const String *title) {
  TRACE("basisfun_print_0");
  String t = {};
  fprintf(out, "\n        %s\n", title && title->text ? title->text : "");
  for (int k = 0; k < v->count; k++) {
    const double *L = v->data[k].L;
    int shown = ncoords > 2 ? 4 : ncoords > 1 ? 3 : 2;
    for (int c = 0; c < shown; c++) {
      strings_fmt(&t, L[c]);
      if (c == 0) fprintf(out, "%5u (%s", unsigned(k + 1), t.text);
      else fprintf(out, ",%s", t.text);
    }
    fprintf(out, ")\n");
  }
  strings_free_0(&t);
}

void basisfun_copyto(double *to, const double *from) {
  TRACE("basisfun_copyto_0");
  memcpy(to, from, sizeof(BasisRow));
}

void basisfun_clear(BasisRows *v) {
  TRACE("basisfun_clear_0");
  if (v->count) memset(v->data, 0, v->count * sizeof(BasisRow));
}

double basisfun_distance2(const double *a, const double *b, int32_t code) {
  TRACE("basisfun_distance2_0");
  if (code < 0 || code >= ELEMENTS_CODES) traporder(code);
  double s = 0;
  for (int c = 0; c <= elements_dimension[code] && c < 4; c++) s += (a[c] - b[c]) * (a[c] - b[c]);
  return s;
}

double basisfun_distance(const double *a, const double *b, int32_t code) {
  TRACE("basisfun_distance_0");
  return std::sqrt(basisfun_distance2(a, b, code));
}
