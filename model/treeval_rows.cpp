// treeval_rows: the basis rows at a point for the walks and integrals of treeval: the
// value row and the global derivative rows of a basis code, read from the problem's
// quadrature tables where the point is one of their rule points and formed at the point
// otherwise, and kept once per rule point of a loop.
#include <cstring>
#include <initializer_list>

#include "model/pdedat_record.h"
#include "elements/basisfun.h"
#include "elements/elements.h"
#include "elements/quature.h"
#include "model/treeval_internal.h"
#include "runtime/rtlib.h"

// The table t serves the point when it is of the code and its row q is the point.
static bool serves(const QuadBasis *t, int32_t code, const evalpoint *pt) {
  return t->code == code && t->values && t->count >= pt->qpoint &&
         std::memcmp(t->points[pt->qpoint - 1].L, pt->local, sizeof(double) * 4) == 0;
}

// The problem's table of the code for the point's rule (volume at side 0, else the
// point's side), or null when there is none or its row at the quadrature index is not
// the point (the rows are then formed at the point).
static const QuadBasis *table_of(pde *p, int32_t code, const evalpoint *pt) {
  if (pt->qpoint == 0) return nullptr;
  if (pt->side == 0) {
    for (const QuadBasis *t : {&p->vquad, &p->vquad1, &p->vquaderr})
      if (serves(t, code, pt)) return t;
    return nullptr;
  }
  int32_t rs = quature_rule_side(pt->side);
  if (rs < 0 || rs > 3) return nullptr;
  for (const SideQuadBasis *s : {&p->squad, &p->squad1})
    if (serves(&s->side[rs], code, pt)) return &s->side[rs];
  return nullptr;
}

// Scratch rows for points off the tables.
static double scratch_values[20];
static double scratch_derivs[3][20];

static const double *value_row(pde *p, int32_t code, const evalpoint *pt) {
  if (const QuadBasis *t = table_of(p, code, pt)) return t->values[pt->qpoint - 1];
  basisfun_basis_1(scratch_values, code, pt->local);
  return scratch_values;
}

// Derivative rows of codes the problem keeps no table for (the error estimate's bubbles),
// by code and rule point index, with the local point they were formed at: a row is a
// function of the code and the point alone, so one formed at the same point again is
// read where it was kept rather than formed anew.
struct OffTableRows {
  double L[4];
  bool have;
  double d[3][20];
};
static OffTableRows off_table[ELEMENTS_CODES][32];

static const double (*deriv_rows(pde *p, int32_t code, const evalpoint *pt))[20] {
  if (const QuadBasis *t = table_of(p, code, pt)) return t->derivs[pt->qpoint - 1];
  if (pt->qpoint >= 1 && pt->qpoint <= 32 && code > 0 && code < ELEMENTS_CODES) {
    OffTableRows &o = off_table[code][pt->qpoint - 1];
    if (!o.have || std::memcmp(o.L, pt->local, sizeof o.L) != 0) {
      o.have = false;
      basisfun_basis_p(o.d, code, pt->local);
      std::memcpy(o.L, pt->local, sizeof o.L);
      o.have = true;
    }
    return o.d;
  }
  basisfun_basis_p(scratch_derivs, code, pt->local);
  return scratch_derivs;
}

// Rows at the rule point a loop has set are formed once per code and axis: the
// generation changes with every rule point a loop sets and when a loop starts or ends.
const evalpoint *loop_point = nullptr;
uint32_t rule_generation = 1;
RowCache row_cache[ELEMENTS_CODES][4];  // by code and axis (0 values, 1..3 x, y, z)

template <int DIM> static void global_dim(double *row, int n, int s, const double (*ld)[20], const double (*K)[3]) {
  for (int i = 0; i < n; i++) {
    double sum = 0;
    for (int c = 0; c < DIM; c++) sum += ld[c][i] * K[c][s - 1];
    row[i] = sum;
  }
}

// Global derivatives along axis s (1..3) of the code's functions from local rows ld,
// through the frame's inverse Jacobian (the sums of elements_basisx and its kin).
static void global_from(double *row, int32_t code, int s, const double (*ld)[20], const ElementFrame *f) {
  int dim = elements_dimension[code], n = elements_functions[code];
  if (s == 1 && dim == 1) global_dim<1>(row, n, s, ld, f->K);
  else if (s <= 2 && dim == 2) global_dim<2>(row, n, s, ld, f->K);
  else if (s <= 3 && dim == 3) global_dim<3>(row, n, s, ld, f->K);
  else if (s == 1) elements_basisx(row, code, ld, f);
  else if (s == 2) elements_basisy(row, code, ld, f);  // stops: no y in the cell
  else elements_basisz(row, code, ld, f);
}

// The value row (axis 0) or a global derivative row of the code at the point.
const double *form_row(pde *p, int32_t code, int axis, const evalpoint *pt) {
  RowCache *c = nullptr;
  if (pt == loop_point && pt->qpoint && code > 0 && code < ELEMENTS_CODES && axis >= 0 && axis <= 3) {
    c = &row_cache[code][axis];
    if (c->gen == rule_generation) return c->row;
    c->gen = rule_generation;
  }
  double *own = c ? c->own : scratch_values;
  const double *row;
  if (axis == 0) {
    row = value_row(p, code, pt);
    if (c && row == scratch_values) row = static_cast<const double *>(std::memcpy(own, row, sizeof c->own));
  } else {
    global_from(own, code, axis, deriv_rows(p, code, pt), &pt->cell->frame);
    row = own;
  }
  if (c) c->row = row;
  return row;
}

int global_row(pde *p, double *out, int32_t code, int s, const evalpoint *pt) {
  int n = elements_functions[code];
  std::memcpy(out, basis_row(p, code, s, pt), sizeof(double) * n);
  return n;
}

// basis_tab: the test functions (or their derivative along s1) at the rule point;
// the row lives until the next rule point.
static const double one_row[1] = {1};
int32_t basis_tab(pde *p, const double **out, int32_t code, int s1, int s2, const evalpoint *pt) {
  if (code == 0) {
    *out = one_row;
    return 1;
  }
  if (s2) rtlib_fatal_in("basis_tab_0", "HIGH-ORDER BASIS");
  *out = basis_row(p, code, s1, pt);
  return elements_functions[code];
}
