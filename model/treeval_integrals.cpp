// treeval_integrals: the integrals over a cell and its sides built on the tree walks:
// rule points, cell integrals, element residuals and Jacobians, upwinding.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <vector>

#include "model/pdedat_record.h"
#include "elements/basisfun.h"
#include "model/treeval.h"
#include "model/treeval_internal.h"
#include "runtime/debug.h"
#include "runtime/rtlib.h"

// ---- Rule points -----------------------------------------------------------------------

// Sets the point at rule point q (1-based) of the rule: local and global coordinates
// and, for a curved cell, the Jacobian there; returns the frame's measure there.
static double rule_point(evalpoint *pt, const QuadRule *rule, const QuadBasis *geo, int q) {
  ElementFrame *f = &pt->cell->frame;
  rule_generation++;
  pt->qpoint = uint8_t(q);
  std::memcpy(pt->local, rule->points[q - 1].L, sizeof pt->local);
  double xyz[3] = {0, 0, 0};
  if (geo && geo->code == f->gbasis) {
    // The forward map from the table's value row, as elements_get_gcoords_rule forms it.
    const double *v = geo->values[q - 1];
    int n = elements_functions[f->gbasis], dim = elements_dimension[f->gbasis];
    for (int r = 0; r < dim; r++) {
      double s = 0;
      for (int i = 0; i < n; i++) s += v[i] * f->nodes[i][r];
      xyz[r] = s;
    }
  } else if (geo) {
    elements_get_gcoords_rule(xyz, geo, q - 1, f);
  } else {
    elements_get_gcoords(xyz, pt->local, f);
  }
  pt->x = xyz[0], pt->y = xyz[1], pt->z = xyz[2];
  if (f->curved) {
    if (geo) elements_jacobian_rule(geo, q - 1, f);
    else elements_jacobian(pt->local, f);
  }
  return f->measure;
}

// A table of the rule's points (any code serves the coordinates; the frame's own code
// also serves its Jacobian), or null.
static const QuadBasis *geometry_table(pde *p, const QuadRule *rule, const evalpoint *pt, bool side) {
  const QuadBasis *found = nullptr;
  if (!side) {
    for (const QuadBasis *t : {&p->vquad, &p->vquad1})
      if (t->values && t->count == rule->count && t->points &&
          std::memcmp(t->points[0].L, rule->points[0].L, sizeof(double) * 4) == 0)
        if (!found || t->code == pt->cell->frame.gbasis) found = t;
    return found;
  }
  int32_t rs = quature_rule_side(pt->side);
  if (rs < 0 || rs > 3) return nullptr;
  for (const SideQuadBasis *s : {&p->squad, &p->squad1}) {
    const QuadBasis *t = &s->side[rs];
    if (t->values && t->count == rule->count && t->points &&
        std::memcmp(t->points[0].L, rule->points[0].L, sizeof(double) * 4) == 0)
      if (!found || t->code == pt->cell->frame.gbasis) found = t;
  }
  return found;
}

// Keeps the point's side for the loop (0 for volume loops) and restores it on every
// exit, leaving the quadrature index 0.
struct LoopScope {
  evalpoint *pt;
  const evalpoint *outer = loop_point;
  uint8_t side;
  LoopScope(evalpoint *point, uint8_t loop_side) : pt(point), side(point->side) {
    pt->side = loop_side;
    loop_point = pt;
    rule_generation++;
  }
  ~LoopScope() {
    pt->side = side;
    pt->qpoint = 0;
    loop_point = outer;
    rule_generation++;
  }
};

static const QuadRule *side_rule(int32_t set, const evalpoint *pt) {
  return quature_side_rule(set, quature_rule_side(pt->side));
}

static int dim_of(pde *p, const evalpoint *pt) {
  int d = elements_dimension[pt->cell->frame.gbasis];
  return d >= 1 && d <= 3 ? d : (p->dimension == 3 ? 3 : 2);
}

double treeval_side_factor(int dim, int s1, const ElementFrame *f, int side) {
  if (dim == 1) {
    // A line cell's sides are its end points: size 1, normal along x away from the
    // other end (side 1 lies at vertex 2; J holds x1 - x2).
    if (s1 == 0) return 1;
    double away = side == 1 ? -f->J[0][0] : f->J[0][0];
    return s1 == 1 ? (away < 0 ? -1 : 1) : 0;
  }
  // Vertex positions relative to the last vertex, from the Jacobian's columns.
  double P[4][3] = {};
  for (int c = 0; c < dim; c++)
    for (int r = 0; r < 3; r++) P[c][r] = r < dim ? f->J[r][c] : 0;
  if (dim == 2) {
    int a = side % 3, b = (side + 1) % 3;  // vertices side+1, side+2 (0-based)
    double dx = P[b][0] - P[a][0], dy = P[b][1] - P[a][1];
    if (s1 == 0) return std::sqrt(dx * dx + dy * dy);
    double nx = dy, ny = -dx;
    const double *o = P[side - 1];
    if (nx * (o[0] - P[a][0]) + ny * (o[1] - P[a][1]) > 0) nx = -nx, ny = -ny;
    return s1 == 1 ? nx : s1 == 2 ? ny : 0;
  }
  const uint8_t *c = elements_tet4_faces[side - 1];
  const double *A = P[c[0] - 1], *B = P[c[1] - 1], *C = P[c[2] - 1], *o = P[side - 1];
  double u[3] = {B[0] - A[0], B[1] - A[1], B[2] - A[2]}, v[3] = {C[0] - A[0], C[1] - A[1], C[2] - A[2]};
  double n[3] = {0.5 * (u[1] * v[2] - u[2] * v[1]), 0.5 * (u[2] * v[0] - u[0] * v[2]), 0.5 * (u[0] * v[1] - u[1] * v[0])};
  if (s1 == 0) return std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  double away = n[0] * (o[0] - A[0]) + n[1] * (o[1] - A[1]) + n[2] * (o[2] - A[2]);
  double s = away > 0 ? -1 : 1;
  return s1 >= 1 && s1 <= 3 ? s * n[s1 - 1] : 0;
}

static double side_factor(pde *p, int s1, const evalpoint *pt) {
  return treeval_side_factor(dim_of(p, pt), s1, &pt->cell->frame, pt->side);
}

// ---- Cell integrals ------------------------------------------------------------------------

double treeval_vol_integrate(pde *p, const TreeNode *tree, evalpoint *point, int32_t rule) {
  TRACE("treeval_vol_integrate_0");
  LoopScope loop(point, 0);
  const QuadRule *r = quature_rule(rule);
  const QuadBasis *geo = geometry_table(p, r, point, false);
  double s = 0;
  for (int q = 1; q <= r->count; q++) {
    double w = r->points[q - 1].weight * rule_point(point, r, geo, q);
    s += eval(p, tree, point) * w;
  }
  return s;
}

double treeval_surf_integrate(pde *p, const TreeNode *tree, evalpoint *point, int32_t set) {
  TRACE("treeval_surf_integrate_0");
  LoopScope loop(point, point->side);
  const QuadRule *r = side_rule(set, point);
  const QuadBasis *geo = geometry_table(p, r, point, true);
  double s = 0;
  for (int q = 1; q <= r->count; q++) {
    rule_point(point, r, geo, q);
    s += eval(p, tree, point) * r->points[q - 1].weight * side_factor(p, 0, point);
  }
  return s;
}

// Adds w times the array (count 1 or n) into out's n entries; false on another count.
static bool spread(double *out, const double *a, int32_t count, int32_t n, double w) {
  if (count == 1) {
    for (int32_t i = 0; i < n; i++) out[i] += w * a[0];
  } else if (count == n) {
    for (int32_t i = 0; i < n; i++) out[i] += w * a[i];
  } else {
    return false;
  }
  return true;
}

int32_t unweighted_integral(pde *p, double *out, const TreeNode *n, evalpoint *pt, int32_t code) {
  int32_t m = functions_of(code);
  for (int32_t i = 0; i < m; i++) out[i] = 0;
  constraint *c = pt->constr;
  double a[20];
  if (n->opcode == op::integral) {
    if (!c || !vectort_if_bit(&c->sets[0], pt->region)) return m;
    LoopScope loop(pt, 0);
    const QuadRule *r = quature_rule(p->vrule);
    const QuadBasis *geo = geometry_table(p, r, pt, false);
    for (int q = 1; q <= r->count; q++) {
      double w = r->points[q - 1].weight * rule_point(pt, r, geo, q);
      int32_t k = treeval_eval_ba(p, a, n->child[0], pt, code);
      if (!spread(out, a, k, m, w)) rtlib_fatal_in("unweighted_integral_0", "MATRIX MISMATCH");
    }
    return m;
  }
  if (n->opcode != op::bintegral) trapop(p, n);
  if (!c || !vectort_if_bit(&c->sets[1], pt->region)) return m;
  if (pt->cellno < 1 || int32_t(pt->cellno) > p->mesh.cells.count) return m;
  const MeshCell *cell = &p->mesh.cells.data[pt->cellno - 1];
  int dim = dim_of(p, pt);
  LoopScope loop(pt, 0);
  for (int s = 1; s <= dim + 1; s++) {
    uint16_t b = cell->bdid[s - 1];
    if (!b || !(vectort_if_bit(&c->sets[2], b) || vectort_if_bit(&c->sets[3], b))) continue;
    pt->side = uint8_t(s);
    const QuadRule *r = side_rule(p->sset, pt);
    const QuadBasis *geo = geometry_table(p, r, pt, true);
    for (int q = 1; q <= r->count; q++) {
      rule_point(pt, r, geo, q);
      double w = r->points[q - 1].weight * side_factor(p, 0, pt);
      int32_t k = treeval_eval_ba(p, a, n->child[0], pt, code);
      if (!spread(out, a, k, m, w)) rtlib_fatal_in("unweighted_integral_0", "MATRIX MISMATCH");
    }
  }
  return m;
}

int32_t treeval_constraint_jacobian(pde *p, double *out, const TreeNode *tree, evalpoint *point, int32_t code,
                                    constraint *c) {
  TRACE("treeval_constraint_jacobian_0");
  if (!tree) return 0;
  point->constr = c;
  point->constrflag = 1;
  return treeval_eval_ba(p, out, tree, point, code);
}

// ---- Element residuals and Jacobians --------------------------------------------------------

// Sums and differences of arrays: one side single spreads over the other.
static int32_t combine(pde *p, const TreeNode *n, double *out, const double *l, int32_t L, const double *r,
                       int32_t R) {
  if (L != R && L != 1 && R != 1) trapmismatch(p, n, L, R);
  int32_t m = L == 1 ? R : L;
  double s = n->opcode == op::addop ? 1 : -1;
  for (int32_t i = 0; i < m; i++) out[i] = l[L == 1 ? 0 : i] + s * r[R == 1 ? 0 : i];
  return m;
}

// The shapes every term walker shares: null, constants, negation, passive and sums
// (right holds the right operand's array); -1 for any other node.
template <class Walk>
static int32_t term_shape(pde *p, double *out, double *right, const TreeNode *n, Walk walk) {
  if (!n) {
    out[0] = 0;
    return 1;
  }
  switch (n->opcode) {
    case op::realzero: out[0] = 0; return 1;
    case op::realval: out[0] = n->value; return 1;
    case op::negateop: case op::passive: {
      int32_t m = walk(out, n->child[0]);
      if (n->opcode == op::negateop)
        for (int32_t i = 0; i < m; i++) out[i] = -out[i];
      return m;
    }
    case op::addop: case op::subop: {
      int32_t L = walk(out, n->child[0]);
      int32_t R = walk(right, n->child[1]);
      return combine(p, n, out, out, L, right, R);
    }
    default: return -1;
  }
}

// The values of a term's integrands at one rule point, kept by the first walk of the
// term and given back, in the same order, to the walks for the other test codes.
struct IntegrandMemo {
  double value[16];
  int count = 0, next = 0;
  bool replay = false;
  TreePrograms *programs = nullptr;  // the sweep's flattened integrands, or null
};

// eval_vg: a volume term as an array over the test functions at the rule point.
static int32_t eval_vg(pde *p, double *out, const TreeNode *n, evalpoint *pt, int32_t code, IntegrandMemo *memo) {
  auto walk = [&](double *o, const TreeNode *c) { return eval_vg(p, o, c, pt, code, memo); };
  if (n && n->opcode == op::integral) {
    double c;
    if (memo->replay && memo->next < memo->count) {
      c = memo->value[memo->next++];
    } else {
      int k = memo->programs ? memo->programs->find(n->child[0]) : -1;
      c = k >= 0 ? memo->programs->run(p, k, pt) : eval(p, n->child[0], pt);
      if (!memo->replay && memo->count < 16) memo->value[memo->count++] = c;
    }
    const double *test;
    int32_t m = basis_tab(p, &test, code, n->deriv[0], n->deriv[1], pt);
    for (int32_t i = 0; i < m; i++) out[i] = test[i] * c;
    return m;
  }
  if (n && n->opcode == op::square) {
    int32_t m = walk(out, n->child[0]);
    for (int32_t i = 0; i < m; i++) out[i] *= out[i];
    return m;
  }
  double right[20];
  int32_t m = term_shape(p, out, right, n, walk);
  if (m < 0) trapop(p, n);
  return m;
}

// The volume loop over the problem's volume rule; add(w) adds one rule point's term.
template <class Add> static void volume_loop(pde *p, evalpoint *pt, Add add) {
  const QuadRule *r = quature_rule(p->vrule);
  const QuadBasis *geo = geometry_table(p, r, pt, false);
  for (int q = 1; q <= r->count; q++) add(r->points[q - 1].weight * rule_point(pt, r, geo, q));
}

// ---- Values kept over a sweep ------------------------------------------------------------

namespace {

// A node's class in a sweep: what it reads.
enum : uint8_t { reads_position = 1, reads_time = 2, reads_more = 4, classed = 8 };

// The operations whose value is a function of their operands alone.
bool plain_node(const TreeNode *n) {
  if (n->group == unop) return n->opcode != op::randomf && n->opcode != op::arrayref;
  return n->group == binop || n->opcode == op::subdef;
}

// The marks of one sweep: the slots of the nodes that keep their values, and the nodes
// classed, whose marks are cleared when the sweep ends.
struct SweepMarks {
  std::vector<TreeNode *> touched;
  std::vector<const TreeNode *> nodes;
  std::vector<uint8_t> position;
  std::vector<int32_t> beneath;
  std::vector<double> values;
  SweepMemo memo;

  // Classes n and its plain operands, each before its node (the order the walk meets a
  // shared subexpression's definition before its references).
  uint8_t classify(TreeNode *n) {
    uint8_t c = 0;
    if (n->group == leafop) {
      switch (n->opcode) {
        case op::realzero:
        case op::realval: c = 0; break;
        case op::xcoord:
        case op::ycoord:
        case op::zcoord: c = reads_position; break;
        case op::tcoord: c = reads_time; break;
        default: c = reads_more;
      }
    } else if (n->opcode == op::subref) {
      const TreeNode *t = n->target;
      c = t && (t->sweep & classed) ? uint8_t(t->sweep & 7) : reads_more;
    } else if (plain_node(n)) {
      for (int k = 0; k < n->arity && k < 3; k++) c = uint8_t(c | (n->child[k] ? classify(n->child[k]) : reads_more));
    } else {
      c = reads_more;
    }
    n->sweep = uint8_t(c | classed);
    touched.push_back(n);
    return c;
  }

  static bool kept(uint8_t c) { return !(c & reads_more) && (c & 3) != 3; }

  void slot(TreeNode *n, uint8_t c) {
    nodes.push_back(n);
    position.push_back(!(c & reads_time));
    beneath.push_back(int32_t(nodes.size()));
    n->memo = uint16_t(std::min<size_t>(nodes.size(), 65535));
  }

  // Gives a slot to each greatest subtree that keeps its value, not a bare leaf or
  // reference, and to each shared subexpression defined inside one; returns whether a
  // definition lies at or beneath n.
  bool mark(TreeNode *n, bool inside) {
    uint8_t c = uint8_t(n->sweep & 7);
    if (!inside && n->group != leafop && n->opcode != op::subref && kept(c) && nodes.size() < 30000) {
      slot(n, c);
      size_t s = nodes.size() - 1;
      bool d = mark_children(n, true) || n->opcode == op::subdef;
      beneath[s] = int32_t(nodes.size());
      return d;
    }
    if (inside && n->opcode == op::subdef) {
      slot(n, c);
      size_t s = nodes.size() - 1;
      mark_children(n, inside);
      beneath[s] = int32_t(nodes.size());
      return true;
    }
    return mark_children(n, inside) || n->opcode == op::subdef;
  }
  bool mark_children(TreeNode *n, bool inside) {
    bool d = false;
    if (!plain_node(n)) return false;
    for (int k = 0; k < n->arity && k < 3; k++)
      if (n->child[k]) d = mark(n->child[k], inside) || d;
    return d;
  }

  // The integrands of a term (the walk of eval_vg) that have no program.
  void term(TreeNode *n, const TreePrograms *programs) {
    if (!n) return;
    if (n->opcode == op::integral) {
      if (TreeNode *c = n->child[0]; c && programs->find(c) < 0) {
        classify(c);
        mark(c, false);
      }
      return;
    }
    switch (n->opcode) {
      case op::negateop:
      case op::passive:
      case op::square: term(n->child[0], programs); break;
      case op::addop:
      case op::subop: term(n->child[0], programs), term(n->child[1], programs); break;
      default: break;
    }
  }

  void start() {
    values.assign(nodes.size() * sweep_times, 0.0);
    memo.nodes = nodes.data(), memo.position = position.data(), memo.beneath = beneath.data();
    memo.values = values.data();
    memo.set = 0, memo.first_point = true;
    sweep_memo = &memo;
  }

  ~SweepMarks() {
    if (sweep_memo == &memo) sweep_memo = nullptr;
    for (TreeNode *n : touched) n->sweep = 0, n->memo = 0;
  }
};

// Gives each integrand of a term its program. A bare leaf or reference (a field, a
// coordinate, a constant) has none: its program would be one call of the walk, which the
// sweep then makes itself without the program's bookkeeping.
void compile_term(TreePrograms *programs, const TreeNode *n) {
  if (!n) return;
  switch (n->opcode) {
    case op::integral:
      if (const TreeNode *c = n->child[0]; c && c->group != leafop && c->opcode != op::subref && programs->find(c) < 0)
        programs->add(c);
      break;
    case op::negateop:
    case op::passive:
    case op::square: compile_term(programs, n->child[0]); break;
    case op::addop:
    case op::subop: compile_term(programs, n->child[0]), compile_term(programs, n->child[1]); break;
    default: break;
  }
}

// The programs of a sweep, from a small pool kept between sweeps so that a sweep allocates
// nothing once the pool has grown; a sweep nested deeper than the pool has none. Where the
// loop around keeps programs (TreevalProgramsKept), an outermost sweep takes those of its
// terms, compiled at the first cell that sweeps them.
struct KeptPrograms {
  std::vector<const TreeNode *> terms;
  int nsets;
  TreePrograms programs;
};
int kept_depth = 0;
std::vector<std::unique_ptr<KeptPrograms>> kept_programs;

struct SweepPrograms {
  static TreePrograms pool[4];
  static int depth;
  TreePrograms *programs = nullptr;
  SweepPrograms(const TreeNode *const *terms, int nterms, int nsets) {
    if (depth == 0 && kept_depth > 0) {
      programs = kept(terms, nterms, nsets);
    } else if (depth < 4) {
      programs = &pool[depth];
      programs->clear(nsets);
      for (int t = 0; t < nterms; t++) compile_term(programs, terms[t]);
    }
    depth++;
  }
  ~SweepPrograms() { depth--; }
  SweepPrograms(const SweepPrograms &) = delete;
  SweepPrograms &operator=(const SweepPrograms &) = delete;

  static TreePrograms *kept(const TreeNode *const *terms, int nterms, int nsets) {
    for (auto &k : kept_programs)
      if (k->nsets == nsets && k->terms.size() == size_t(nterms) &&
          std::equal(terms, terms + nterms, k->terms.begin())) {
        k->programs.restart();
        return &k->programs;
      }
    if (kept_programs.size() >= 64) return nullptr;
    kept_programs.push_back(std::make_unique<KeptPrograms>());
    KeptPrograms &k = *kept_programs.back();
    k.terms.assign(terms, terms + nterms), k.nsets = nsets;
    k.programs.clear(nsets);
    for (int t = 0; t < nterms; t++) compile_term(&k.programs, terms[t]);
    k.programs.keep_positions();
    return &k.programs;
  }
};
TreePrograms SweepPrograms::pool[4];
int SweepPrograms::depth = 0;

}  // namespace

int32_t treeval_vol_galerkin_sets(pde *p, double *out, const TreeNode *const *terms, int nterms, evalpoint *point,
                                  const int32_t *codes, int ncodes, int nsets, void (*use)(void *, int), void *ctx) {
  TRACE("treeval_vol_galerkin_0");
  int32_t most = 0;
  for (int k = 0; k < ncodes; k++) most = std::max(most, functions_of(codes[k]));
  int rows = nterms * ncodes;
  for (int s = 0; s < nsets; s++)
    for (int t = 0; t < nterms; t++)
      for (int k = 0; k < ncodes; k++)
        for (int32_t i = 0; i < functions_of(codes[k]); i++) out[(s * rows + t * ncodes + k) * 20 + i] = 0;
  LoopScope loop(point, 0);
  double a[20];
  // Over several times a subtree of the position alone is computed once a point, one of
  // the time alone once a time; not where a sweep already runs (an integral inside).
  SweepPrograms sweep(terms, nterms, nsets);
  TreePrograms *programs = sweep.programs;
  TreePrograms none;
  SweepMarks marks;
  bool keep = !sweep_memo && nsets > 1 && nsets <= sweep_times;
  if (keep) {
    for (int t = 0; t < nterms; t++) marks.term(const_cast<TreeNode *>(terms[t]), programs ? programs : &none);
    keep = !marks.nodes.empty() && marks.nodes.size() < 65000;
    if (keep) marks.start();
  }
  bool first = true;
  volume_loop(p, point, [&](double w) {
    marks.memo.first_point = first;
    first = false;
    for (int s = 0; s < nsets; s++) {
      marks.memo.set = s;
      if (programs) programs->set = s;
      if (use) use(ctx, s);
      for (int t = 0; t < nterms; t++) {
        IntegrandMemo memo;
        memo.programs = programs;
        for (int k = 0; k < ncodes; k++) {
          memo.replay = k > 0, memo.next = 0;
          double *o = out + (s * rows + t * ncodes + k) * 20;
          int32_t m = eval_vg(p, a, terms[t], point, codes[k], &memo);
          if (!spread(o, a, m, functions_of(codes[k]), w)) rtlib_fatal_in("treeval_vol_galerkin_0", "ARRAY MISMATCH");
        }
      }
    }
  });
  return most;
}

TreevalProgramsKept::TreevalProgramsKept() { kept_depth++; }
TreevalProgramsKept::~TreevalProgramsKept() {
  if (--kept_depth == 0) kept_programs.clear();
}

int32_t treeval_vol_galerkin_set(pde *p, double *out, const TreeNode *const *terms, int nterms, evalpoint *point,
                                 const int32_t *codes, int ncodes) {
  return treeval_vol_galerkin_sets(p, out, terms, nterms, point, codes, ncodes, 1, nullptr, nullptr);
}

int32_t treeval_vol_galerkin(pde *p, double *out, const TreeNode *term, evalpoint *point, int32_t code) {
  int32_t n = functions_of(code);
  double row[20];
  treeval_vol_galerkin_set(p, row, &term, 1, point, &code, 1);
  for (int32_t i = 0; i < n; i++) out[i] = row[i];
  return n;
}

// eval_sg: a side term's scalar value at the rule point.
static double eval_sg(pde *p, const TreeNode *n, evalpoint *pt) {
  if (!n) return 0;
  switch (n->opcode) {
    case op::realzero: return 0;
    case op::realval: return n->value;
    case op::negateop: return -eval_sg(p, n->child[0], pt);
    case op::passive: return eval_sg(p, n->child[0], pt);
    case op::addop: return eval_sg(p, n->child[0], pt) + eval_sg(p, n->child[1], pt);
    case op::subop: return eval_sg(p, n->child[0], pt) - eval_sg(p, n->child[1], pt);
    case op::bintegral: return eval(p, n->child[0], pt) * side_factor(p, n->deriv[0], pt);
    default: trapop(p, n);
  }
}

// The side loop over the problem's side set on the point's side.
template <class Add> static void side_loop(pde *p, evalpoint *pt, Add add) {
  const QuadRule *r = side_rule(p->sset, pt);
  const QuadBasis *geo = geometry_table(p, r, pt, true);
  for (int q = 1; q <= r->count; q++) {
    rule_point(pt, r, geo, q);
    add(r->points[q - 1].weight);
  }
}

// All test functions at the point's local coordinates (the constant 1 for no basis).
static int32_t test_values(double *out, int32_t code, const evalpoint *pt) {
  if (code == 0) {
    out[0] = 1;
    return 1;
  }
  return basisfun_basis_1(out, code, pt->local);
}

int32_t treeval_surf_galerkin(pde *p, double *out, const TreeNode *term, evalpoint *point, int32_t code) {
  TRACE("treeval_surf_galerkin_0");
  int32_t n = functions_of(code);
  for (int32_t i = 0; i < n; i++) out[i] = 0;
  LoopScope loop(point, point->side);
  double N[20];
  side_loop(p, point, [&](double w) {
    double v = eval_sg(p, term, point);
    n = test_values(N, code, point);
    for (int32_t i = 0; i < n; i++) out[i] += v * N[i] * w;
  });
  return n;
}

int32_t treeval_surf_tested(pde *p, double *out, const TreeNode *value, const TreeNode *test, evalpoint *point,
                            int32_t row, int32_t col) {
  TRACE("treeval_surf_tested");
  int32_t nr = functions_of(row), nc = col < 0 ? 1 : functions_of(col);
  for (int32_t i = 0; i < nr * nc; i++) out[i] = 0;
  LoopScope loop(point, point->side);
  double T[20], V[20];
  side_loop(p, point, [&](double w) {
    double ds = w * side_factor(p, 0, point);
    int32_t nt = treeval_eval_ba(p, T, test, point, row), nv = 1;
    if (col < 0) V[0] = eval(p, value, point);
    else nv = treeval_eval_ba(p, V, value, point, col);
    for (int32_t a = 0; a < nr; a++) {
      double t = ds * (nt == 1 ? T[0] : a < nt ? T[a] : 0.0);
      for (int32_t b = 0; b < nc; b++) out[a * nc + b] += t * (nv == 1 ? V[0] : b < nv ? V[b] : 0.0);
    }
  });
  return nr * nc;
}

// eval_vj: adds w times a volume Jacobian term, a matrix over test and trial functions,
// into out. A sum of terms adds each with its sign, which gives the sum's matrix times
// w (every integral's matrix has all the entries, so no counts can mismatch); a
// constant adds to every entry.
static void eval_vj(pde *p, double *out, const TreeNode *n, evalpoint *pt, int32_t row, int32_t col, double w) {
  if (!n) return;
  int32_t ncol = functions_of(col);
  switch (n->opcode) {
    case op::integral: {
      double own[20];
      const double *test, *coef = own;
      const TreeNode *c = n->child[0];
      int32_t cc;
      if (c && c->opcode == op::febasis && c->deriv[1] == 0 && pt->qpoint && pt == loop_point) {
        // A bare trial function: its row as the basis-array walk would copy it.
        coef = basis_row(p, c->index, c->deriv[0], pt);
        cc = elements_functions[c->index];
      } else {
        cc = treeval_eval_ba(p, own, c, pt, col);
      }
      int32_t nt = basis_tab(p, &test, row, n->deriv[0], n->deriv[1], pt);
      if (cc != 1 && cc != ncol) rtlib_fatal_in("treeval_vol_jacobian_0", "MATRIX MISMATCH");
      // rowcol: entry (i, j) = test[i] * coef[j], one coefficient for every j.
      for (int32_t i = 0; i < nt; i++) {
        double wt = w * test[i];
        double *o = out + i * ncol;
        if (cc == 1)
          for (int32_t j = 0; j < ncol; j++) o[j] += wt * coef[0];
        else
          for (int32_t j = 0; j < ncol; j++) o[j] += wt * coef[j];
      }
      return;
    }
    case op::bintegral: case op::realzero: return;  // side terms are not part of the volume matrix
    case op::realval: {
      int32_t m = functions_of(row) * ncol;
      for (int32_t i = 0; i < m; i++) out[i] += w * n->value;
      return;
    }
    case op::negateop: eval_vj(p, out, n->child[0], pt, row, col, -w); return;
    case op::passive: eval_vj(p, out, n->child[0], pt, row, col, w); return;
    case op::addop: case op::subop:
      eval_vj(p, out, n->child[0], pt, row, col, w);
      eval_vj(p, out, n->child[1], pt, row, col, n->opcode == op::addop ? w : -w);
      return;
    default: trapop(p, n);
  }
}

int32_t treeval_vol_jacobian(pde *p, double *out, const TreeNode *term, evalpoint *point, int32_t row,
                             int32_t col) {
  TRACE("treeval_vol_jacobian_0");
  int32_t m = functions_of(row) * functions_of(col);
  for (int32_t i = 0; i < m; i++) out[i] = 0;
  if (!term) return m;
  LoopScope loop(point, 0);
  volume_loop(p, point, [&](double w) { eval_vj(p, out, term, point, row, col, w); });
  return m;
}

// eval_sj: a side Jacobian term as an array over the trial functions.
static int32_t eval_sj(pde *p, double *out, const TreeNode *n, evalpoint *pt, int32_t col) {
  auto walk = [&](double *o, const TreeNode *c) { return eval_sj(p, o, c, pt, col); };
  if (n && n->opcode == op::bintegral) {
    int32_t m = treeval_eval_ba(p, out, n->child[0], pt, col);
    double F = side_factor(p, n->deriv[0], pt);
    for (int32_t i = 0; i < m; i++) out[i] *= F;
    return m;
  }
  if (n && n->opcode == op::integral) {
    out[0] = 0;
    return 1;
  }
  double right[20];
  int32_t m = term_shape(p, out, right, n, walk);
  if (m < 0) trapop(p, n);
  return m;
}

int32_t treeval_surf_jacobian(pde *p, double *out, const TreeNode *term, evalpoint *point, int32_t row,
                              int32_t col) {
  TRACE("treeval_surf_jacobian_0");
  int32_t m = functions_of(row) * functions_of(col), last = 0;
  for (int32_t i = 0; i < m; i++) out[i] = 0;
  LoopScope loop(point, point->side);
  double coef[20], N[20];
  side_loop(p, point, [&](double w) {
    int32_t cc = eval_sj(p, coef, term, point, col);
    int32_t nr = test_values(N, row, point);
    int32_t k = 0;
    for (int32_t i = 0; i < nr; i++)
      for (int32_t j = 0; j < cc; j++) out[k++] += coef[j] * N[i] * w;
    last = k;
  });
  return last;
}

// ---- Upwinding ------------------------------------------------------------------------------

double treeval_upweight(pde *p, double d, double vx, double vy, double vz, double h) {
  double s = std::sqrt(vx * vx + vy * vy + vz * vz);
  if (s == 0) return 0;
  double P = s * h, xi;
  if (P <= 10 * std::fabs(d)) {
    double pe = std::fabs(P * 0.5 / d);
    if (pe >= 0.1) {
      double e = std::exp(2 * pe);
      xi = (e + 1) / (e - 1) - 1 / pe;
    } else {
      xi = (pe / 3) * (1 - pe * pe * 0.06666666666666667);
    }
  } else {
    xi = 1 - 2 * std::fabs(d) / P;
  }
  int dim = p->dimension >= 1 && p->dimension <= 3 ? p->dimension : 2;
  return xi * p->upfactor * h * 0.5 / (dim * s);
}

// The integrals of D and V over the cell, and the size h, as both upwind terms use them.
struct UpwindSums {
  double D = 0, V[3] = {0, 0, 0}, h = 0;
};

static void upwind_point(pde *p, UpwindSums *u, const TreeNode *d, const TreeNode *v, evalpoint *pt, double w) {
  u->D += w * eval(p, d, pt);
  double vel[3];
  if (treeval_eval_vec(p, vel, v, pt) != vtag::vector) {
    if (debug_file) trees_print_tree(debug_file, v, "TUPV");
    rtlib_fatal_in("upwind_point_0", "VECTOR EXPECTED");
  }
  for (int k = 0; k < 3; k++) u->V[k] += w * vel[k];
}

static double upwind_tau(pde *p, UpwindSums *u, const TreeNode *h, evalpoint *pt, double f) {
  int dim = dim_of(p, pt);
  double measure = pt->cell->frame.measure;
  u->h = h ? eval(p, h, pt) : dim == 2 ? std::sqrt(measure) : dim == 3 ? std::cbrt(measure) : measure;
  return treeval_upweight(p, u->D, u->V[0], u->V[1], u->V[2], u->h) * f;
}

static const TreeNode *unwrap(const TreeNode *r) { return r && r->opcode == op::integral ? r->child[0] : r; }

int32_t treeval_upwind_galerkin(pde *p, double *out, const TreeNode *r, const TreeNode *d, const TreeNode *v,
                                const TreeNode *h, evalpoint *point, int32_t code, double f) {
  TRACE("treeval_upwind_galerkin_0");
  int32_t n = functions_of(code);
  int dim = dim_of(p, point);
  double A[3][20] = {}, g[20];
  UpwindSums u;
  r = unwrap(r);
  LoopScope loop(point, 0);
  volume_loop(p, point, [&](double w) {
    upwind_point(p, &u, d, v, point, w);
    double rho = w * eval(p, r, point);
    for (int k = 0; k < dim; k++) {
      global_row(p, g, code, k + 1, point);
      for (int32_t i = 0; i < n; i++) A[k][i] += rho * g[i];
    }
  });
  double tau = upwind_tau(p, &u, h, point, f);
  for (int32_t i = 0; i < n; i++) {
    double s = 0;
    for (int k = 0; k < dim; k++) s += A[k][i] * u.V[k];
    out[i] = tau * s;
  }
  return n;
}

int32_t treeval_upwind_jacobian(pde *p, double *out, const TreeNode *coef, const TreeNode *d,
                                const TreeNode *v, const TreeNode *h, evalpoint *point, int32_t row,
                                int32_t col, double f) {
  TRACE("treeval_upwind_jacobian_0");
  int32_t nr = functions_of(row), nc = functions_of(col);
  int dim = dim_of(p, point);
  static double A[3][400];
  for (int k = 0; k < 3; k++)
    for (int32_t i = 0; i < nr * nc; i++) A[k][i] = 0;
  double g[20], c[20];
  UpwindSums u;
  coef = unwrap(coef);
  LoopScope loop(point, 0);
  volume_loop(p, point, [&](double w) {
    upwind_point(p, &u, d, v, point, w);
    int32_t cc = treeval_eval_ba(p, c, coef, point, col);
    if (cc != 1 && cc != nc) rtlib_fatal_in("treeval_upwind_jacobian_0", "MATRIX MISMATCH");
    for (int k = 0; k < dim; k++) {
      global_row(p, g, row, k + 1, point);
      // rowcolsum: entry (i, j) gains w * dN_i * coef[j].
      for (int32_t i = 0; i < nr; i++)
        for (int32_t j = 0; j < nc; j++) A[k][i * nc + j] += w * g[i] * c[cc == 1 ? 0 : j];
    }
  });
  double tau = upwind_tau(p, &u, h, point, f);
  for (int32_t e = 0; e < nr * nc; e++) {
    double s = 0;
    for (int k = 0; k < dim; k++) s += A[k][e] * u.V[k];
    out[e] = tau * s;
  }
  return nr * nc;
}
