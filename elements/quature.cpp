// quature: the integration rules, built once at start-up into static tables, the rule
// choice tables, and the per-basis tables of values and derivatives at rule points.
#include "elements/quature.h"

#include <cmath>
#include <cstring>

#include "elements/basisfun.h"
#include "runtime/bopmem.h"
#include "runtime/rtlib.h"

static QuadPoint pool[256];
static int pool_used;
static QuadRule rules[QUATURE_RULES];
static QuadRule sides[QUATURE_SIDE_ENTRIES];
static int32_t interior_choice[18], side_choice[18];
static const QuadRule no_rule = {0, nullptr};

int quature_init() {
  TRACE("quature");
  return 0;
}

static QuadRule take(int count) {
  QuadRule r = {static_cast<uint16_t>(count), pool + pool_used};
  pool_used += count;
  memset(r.points, 0, count * sizeof(QuadPoint));
  return r;
}

// Gauss-Legendre points on [0, 1] up to the middle, as stored decimals: xi, weight.
static const double line_half[5][5][2] = {
    {{0.2113248654052, 0.5}},
    {{0.11270166537926, 0.27777777777775}, {0.5, 0.44444444444445}},
    {{0.04691007703067, 0.118463442528095},
     {0.23076534494716, 0.239314335249685},
     {0.5, 0.284444444444445}},
    {{0.02544604382862, 0.064742483084435},
     {0.129234407200305, 0.13985269574464},
     {0.2970774243113, 0.19091502525256},
     {0.5, 0.208979591836735}},
    {{0.015919880246185, 0.040637194180785},
     {0.08198444633668, 0.09032408034743},
     {0.193314283649705, 0.13030534820147},
     {0.337873288298095, 0.15617353852},
     {0.5, 0.16511967750063}}};

// Line rule k (1..5): the stored half and its mirror image, in increasing xi.
static void line_rule(int k) {
  static const int points[5] = {2, 3, 5, 7, 9};
  int n = points[k - 1], half = (n + 1) / 2;
  QuadRule r = take(n);
  for (int q = 0; q < n; q++) {
    bool mirror = q >= half;
    const double *h = line_half[k - 1][mirror ? n - 1 - q : q];
    r.points[q].L[0] = mirror ? 1 - h[0] : h[0];
    r.points[q].L[1] = 1 - r.points[q].L[0];
    r.points[q].weight = h[1];
  }
  rules[k] = r;
}

// A triangle (dim 2) or tetrahedron (dim 3) rule from its independent coordinates
// and weights; the last coordinate is 1 minus the others.
static void cell_rule(int k, int dim, int n, const double (*p)[4]) {
  QuadRule r = take(n);
  for (int q = 0; q < n; q++) {
    double s = 0;
    for (int c = 0; c < dim; c++) s += r.points[q].L[c] = p[q][c];
    r.points[q].L[dim] = 1 - s;
    r.points[q].weight = p[q][3];
  }
  rules[k] = r;
}

// Rule `from` placed on every side s of a cell: a line point (xi, 1 - xi) on triangle
// side s becomes L(s+2) = 1 - xi, L(s+3) = xi, L(s+1) = 0; a triangle point (t1, t2, t3)
// on tetrahedron face f becomes L(f+2) = t1, L(f+3) = t2, L(f+4) = t3, L(f+1) = 0
// (1-based indices, cyclic); weights are copied.
static void side_set(int set, int dim, int nsides, const QuadRule &from) {
  for (int s = 0; s < nsides; s++) {
    QuadRule r = take(from.count);
    for (int q = 0; q < from.count; q++) {
      const QuadPoint &p = from.points[q];
      if (dim == 2) {
        r.points[q].L[(s + 1) % 3] = p.L[1];
        r.points[q].L[(s + 2) % 3] = p.L[0];
      } else {
        for (int c = 0; c < 3; c++) r.points[q].L[(s + 1 + c) % 4] = p.L[c];
      }
      r.points[q].weight = p.weight;
    }
    sides[3 * set + s] = r;
  }
}

static int choice_index(int time, int dim, int order) {
  if (dim < 1 || dim > 3 || order < 1 || order > 3) return -1;
  return (time ? 1 : 0) + 2 * (3 * dim + order) - 8;
}

void quature_init_quadrature() {
  TRACE("quature_init_quadrature_0");
  pool_used = 0;
  for (int k = 1; k <= 5; k++) line_rule(k);

  const double t6 = 1.0 / 6, t3 = 1.0 / 3;
  const double r6[3][4] = {{t6, t6, 0, t3}, {2 * t3, t6, 0, t3}, {t6, 2 * t3, 0, t3}};
  cell_rule(6, 2, 3, r6);
  const double w7 = 0.5208333333333334;
  const double r7[4][4] = {{t3, t3, 0, -0.5625}, {0.6, 0.2, 0, w7}, {0.2, 0.6, 0, w7}, {0.2, 0.2, 0, w7}};
  cell_rule(7, 2, 4, r7);
  const double a8 = 0.1012865073235, b8 = 0.4701420641051, c8 = 0.7974269853531,
               d8 = 0.0597158717898, wa = 0.1259391805448, wb = 0.1323941527885;
  const double r8[7][4] = {{a8, a8, 0, wa}, {c8, a8, 0, wa}, {a8, c8, 0, wa}, {b8, d8, 0, wb},
                           {b8, b8, 0, wb}, {d8, b8, 0, wb}, {t3, t3, 0, 0.225}};
  cell_rule(8, 2, 7, r8);
  const double a9 = 0.0651301029022, c9 = 0.8697397941956, w1 = 0.0533472356088;
  const double p9 = 0.3128654960049, q9 = 0.0486903154253, s9 = 0.6384441885698, w2 = 0.0771137608903;
  const double u9 = 0.260345966079, v9 = 0.4793080678419, w3 = 0.1756152574332;
  const double r9[13][4] = {{a9, a9, 0, w1}, {c9, a9, 0, w1}, {a9, c9, 0, w1}, {p9, q9, 0, w2},
                            {s9, p9, 0, w2}, {q9, s9, 0, w2}, {s9, q9, 0, w2}, {p9, s9, 0, w2},
                            {q9, p9, 0, w2}, {u9, u9, 0, w3}, {v9, u9, 0, w3}, {u9, v9, 0, w3},
                            {t3, t3, 0, -0.1495700444677}};
  cell_rule(9, 2, 13, r9);
  const double r10[5][4] = {{0.25, 0.25, 0.25, -0.8}, {0.5, t6, t6, 0.45}, {t6, 0.5, t6, 0.45},
                            {t6, t6, 0.5, 0.45}, {t6, t6, t6, 0.45}};
  cell_rule(10, 3, 5, r10);
  const double r15 = std::sqrt(15.0);
  const double a1 = (7 - r15) / 34, b1 = (13 + 3 * r15) / 34, v1 = (2665 + 14 * r15) / 37800;
  const double a2 = (7 + r15) / 34, b2 = (13 - 3 * r15) / 34, v2 = (2665 - 14 * r15) / 37800;
  const double c = 0.025 * (10 - 2 * r15), d = 0.5 - c, v3 = 10.0 / 189;
  const double r11[15][4] = {{0.25, 0.25, 0.25, 0.11851851851851852},
                             {a1, a1, a1, v1}, {b1, a1, a1, v1}, {a1, b1, a1, v1}, {a1, a1, b1, v1},
                             {a2, a2, a2, v2}, {b2, a2, a2, v2}, {a2, b2, a2, v2}, {a2, a2, b2, v2},
                             {c, c, d, v3}, {c, d, c, v3}, {c, d, d, v3},
                             {d, c, c, v3}, {d, c, d, v3}, {d, d, c, v3}};
  cell_rule(11, 3, 15, r11);

  // Set 1: the ends of a line cell; side 0 (opposite vertex 1) is the end at vertex 2.
  QuadRule end0 = take(1), end1 = take(1);
  end0.points[0].L[1] = 1, end0.points[0].weight = 1;
  end1.points[0].L[0] = 1, end1.points[0].weight = 1;
  sides[3] = end0, sides[4] = end1;
  for (int k = 2; k <= 6; k++) side_set(k, 2, 3, rules[k - 1]);
  side_set(8, 3, 4, rules[8]);
  side_set(7, 3, 3, rules[7]);  // its fourth entry is set 8's first

  // Choice tables: (interior, sides) for dimension 2 and 3, orders 1..3, steady and
  // time-dependent. Linear tetrahedra take rule 10 and set 8; one dimension has none.
  static const int32_t choice[2][3][2][2] = {
      {{{7, 3}, {7, 3}}, {{8, 3}, {8, 3}}, {{8, 4}, {9, 4}}},
      {{{10, 8}, {10, 8}}, {{10, 8}, {11, 8}}, {{11, 8}, {11, 8}}}};
  memset(interior_choice, 0, sizeof interior_choice);
  memset(side_choice, 0, sizeof side_choice);
  for (int dim = 2; dim <= 3; dim++)
    for (int order = 1; order <= 3; order++)
      for (int time = 0; time <= 1; time++) {
        int i = choice_index(time, dim, order);
        interior_choice[i] = choice[dim - 2][order - 1][time][0];
        side_choice[i] = choice[dim - 2][order - 1][time][1];
      }
}

const QuadRule *quature_rule(int32_t rule) {
  return rule >= 0 && rule < QUATURE_RULES ? &rules[rule] : &no_rule;
}

const QuadRule *quature_side_rule(int32_t set, int32_t side) {
  int32_t i = 3 * set + side;
  return set >= 0 && side >= 0 && i < QUATURE_SIDE_ENTRIES ? &sides[i] : &no_rule;
}

int32_t quature_rule_side(int32_t mesh_side) { return mesh_side - 1; }

int32_t quature_interior_choice(int time, int dim, int order) {
  int i = choice_index(time, dim, order);
  return i < 0 ? 0 : interior_choice[i] & 0xffff;
}

int32_t quature_side_choice(int time, int dim, int order) {
  int i = choice_index(time, dim, order);
  return i < 0 ? 0 : side_choice[i] & 0xffff;
}

// ---- Per-basis tables ---------------------------------------------------------------------

static const int64_t point_bytes = sizeof(LocalPoint) + (20 + 60 + 120) * sizeof(double);

void quature_free_vquad_basis(QuadBasis *t) {
  TRACE("quature_free_vquad_basis_0");
  XMEM -= t->count * point_bytes;
  bopmemfree(&t->points);
  bopmemfree(&t->values);
  bopmemfree(&t->derivs);
  bopmemfree(&t->second);
  t->count = 0;
}

// The local second derivatives of a code at L into d (none for the error bubbles,
// whose second derivatives no caller takes).
static void second_at(double (*d)[20], int32_t code, const double *L) {
  if (code == no_basis) return;
  switch (elements_dimension[code]) {
    case 1:
      if (code <= lin4) basisfun_basis_pp1(d[0], code, L);
      break;
    case 2:
      if (code <= tri10) basisfun_basis_pp2(d, code, L);
      break;
    case 3:
      if (code <= tet20) basisfun_basis_pp3(d, code, L);
      break;
  }
}

static void build(QuadBasis *t, const QuadRule *r, int32_t code) {
  quature_free_vquad_basis(t);
  t->code = code;
  if (r->count == 0) return;
  bopmemalloc(&t->points, r->count, sizeof(LocalPoint));
  bopmemalloc(&t->values, r->count, 20 * sizeof(double));
  bopmemalloc(&t->derivs, r->count, 60 * sizeof(double));
  bopmemalloc(&t->second, r->count, 120 * sizeof(double));
  t->count = r->count;
  XMEM += t->count * point_bytes;
  for (int q = 0; q < r->count; q++) {
    memcpy(t->points[q].L, r->points[q].L, sizeof(LocalPoint));
    basisfun_basis_1(t->values[q], code, t->points[q].L);
    basisfun_basis_p(t->derivs[q], code, t->points[q].L);
    second_at(t->second[q], code, t->points[q].L);
  }
}

void quature_build_vquad_basis(QuadBasis *t, int32_t rule, int32_t code) {
  TRACE("quature_build_vquad_basis_0");
  build(t, quature_rule(rule), code);
}

// Sides 0..dimension are built; the others are released, so a table first built for
// a tetrahedron and rebuilt for a triangle keeps nothing of its fourth face.
void quature_build_squad_basis(SideQuadBasis *t, int32_t set, int32_t code) {
  TRACE("quature_build_squad_basis_0");
  int dim = code >= 0 && code < ELEMENTS_CODES ? elements_dimension[code] : 0;
  for (int s = 0; s < 4; s++) {
    if (s <= dim) build(&t->side[s], quature_side_rule(set, s), code);
    else quature_free_vquad_basis(&t->side[s]);
  }
}

// Every side is released, whatever basis built it (code is not needed for that).
void quature_free_squad_basis(SideQuadBasis *t, int32_t code) {
  TRACE("quature_free_squad_basis_0");
  (void)code;
  for (int s = 0; s < 4; s++) quature_free_vquad_basis(&t->side[s]);
}
