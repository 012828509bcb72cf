// treemods_vector: div, grad, curl and del2 written out in derivatives through the
// problem's metric, and dot and cross products multiplied out.
#include <initializer_list>
#include <utility>

#include "model/metrics.h"
#include "model/treeclas.h"
#include "model/treemods.h"
#include "model/treemods_internal.h"
#include "model/treesimp.h"
#include "runtime/debug.h"
#include "runtime/report.h"
#include "runtime/rtlib.h"

// ---- Vector operators ----------------------------------------------------------------------------------

namespace {
// What the operators are written out through: the problem (whose definitions name the
// vectors a product multiplies), its metric and its dimension.
struct Problem {
  pde *problem;
  const metric *coords;
  uint16_t dimension;
};
}  // namespace

// Metric coefficient k (1..8) of the problem, a copy.
static TreeNode *metric_tree(const Problem *p, int k) {
  const TreeNode *m = p->coords->trees[k - 1];
  return m ? trees_copy(m) : trees_new_real_0(1);
}
static bool weighted(const Problem *p) { return p->coords->geometry != 1; }
static TreeNode *mul(TreeNode *a, TreeNode *b, const TreeNode *at) { return make(op::mulop, a, b, at); }
static TreeNode *quot(TreeNode *a, TreeNode *b, const TreeNode *at) { return make(op::divop, a, b, at); }
static TreeNode *minus(TreeNode *a, TreeNode *b, const TreeNode *at) { return make(op::subop, a, b, at); }

// d_k(M_m·a) when the metric weighs, else d_k(a).
static TreeNode *dweighted(const Problem *p, int k, int m, TreeNode *a, const TreeNode *at) {
  return deriv(k, weighted(p) ? mul(metric_tree(p, m), a, at) : a);
}
// M_m·a when the metric weighs, else a.
static TreeNode *scaled(const Problem *p, int m, TreeNode *a, const TreeNode *at) {
  return weighted(p) ? mul(metric_tree(p, m), a, at) : a;
}
// The tree over M7 when the metric weighs.
static TreeNode *per_volume(const Problem *p, TreeNode *a, const TreeNode *at) {
  return weighted(p) ? quot(a, metric_tree(p, 7), at) : a;
}
static TreeNode *vector_of(std::initializer_list<TreeNode *> c, const TreeNode *at) {
  TreeNode *v = trees_new_1(op::vector, &at->loc);
  v->arity = 0;
  for (TreeNode *x : c) v->child[v->arity++] = x;
  v->valuetag = vtag::vector;
  return v;
}

// IF c THEN vector(a..) ELSE vector(b..) as vector(IF c THEN a ELSE b, ..): the
// divergence takes its components. Branches of another kind are left as they are.
static TreeNode *branches_inside(TreeNode *n) {
  TreeNode *a = n->child[0], *b = n->child[1];
  if (!is(a, op::vector) || !is(b, op::vector) || a->arity != b->arity) return n;
  TreeNode *v = trees_new_1(op::vector, &n->loc);
  v->arity = a->arity;
  v->valuetag = vtag::vector;
  for (int k = 0; k < a->arity; k++) {
    TreeNode *c = trees_new_1(op::ifthen, &n->loc);
    c->child[0] = std::exchange(a->child[k], nullptr);
    c->child[1] = std::exchange(b->child[k], nullptr);
    c->child[2] = trees_copy(n->child[2]);
    v->child[k] = c;
  }
  trees_free_0(n);
  return v;
}

// A plane problem has no third coordinate to differentiate along: a vector of three
// components under DIV or CURL is refused at the operator.
static void plane_components(const Problem *p, const TreeNode *a, TreeNode *n) {
  if (p->dimension == 2 && a->arity > 2) treeclas_parse_error(report_current, n, "Three-Component Vector in 2D");
}

static TreeNode *divergence(const Problem *p, TreeNode *n) {
  TreeNode *a = n->child[0];
  if (!is(a, op::vector)) a = n->child[0] = treesimp_vectorize(p->problem, a, 0);
  if (is(a, op::ifthen)) a = n->child[0] = branches_inside(a);
  if (!is(a, op::vector)) treeclas_parse_error(report_current, n, "Divergence of Scalar");
  int count = a->arity;
  plane_components(p, a, n);
  if (count < 1 || count > 3) rtlib_fatal_in("treemods_expand_vecops_0", "BAD METRIC");
  TreeNode *sum = nullptr;
  for (int k = 1; k <= count; k++) {
    TreeNode *c = a->child[k - 1] ? a->child[k - 1] : zero_leaf();
    a->child[k - 1] = nullptr;
    sum = plus(sum, dweighted(p, k, k + 3, c, n), n);
  }
  return per_volume(p, sum, n);
}

static TreeNode *gradient(const Problem *p, TreeNode *u, const TreeNode *at) {
  if (p->dimension == 0) rtlib_fatal_in("treemods_expand_vecops_0", "NULL DIMENSION");
  if (is(u, op::vector) || u->valuetag == vtag::vector)
    treeclas_parse_error(report_current, const_cast<TreeNode *>(at), "Gradient of Vector");
  TreeNode *v = trees_new_1(op::vector, &at->loc);
  v->valuetag = vtag::vector;
  v->arity = uint8_t(p->dimension > 3 ? 3 : p->dimension);
  for (int k = 1; k <= v->arity; k++) {
    TreeNode *d = deriv(k, k == v->arity ? u : trees_copy(u));
    v->child[k - 1] = weighted(p) ? quot(d, metric_tree(p, k), at) : d;
  }
  return v;
}

static TreeNode *curl(const Problem *p, TreeNode *n) {
  TreeNode *a = n->child[0];
  if (!is(a, op::vector)) {
    // The curl of a scalar u, the vector (d_y(u), -d_x(u)) in the plane.
    if (p->dimension != 2) treeclas_parse_error(report_current, n, "Curl of Scalar in 3D");
    n->child[0] = nullptr;
    TreeNode *c1 = per_volume(p, scaled(p, 1, dweighted(p, 2, 3, trees_copy(a), n), n), n);
    TreeNode *c2 = negate(per_volume(p, scaled(p, 2, dweighted(p, 1, 3, a, n), n), n));
    return vector_of({c1, c2}, n);
  }
  plane_components(p, a, n);
  auto c = [&](int k) { return trees_copy(a->child[k - 1]); };
  // h_k·(d_i(h_j·A_j) - d_j(h_i·A_i)) over M7: the component normal to coordinates i, j.
  auto rot = [&](int k, int i, int j) {
    return scaled(p, k, minus(dweighted(p, i, j, c(j), n), dweighted(p, j, i, c(i), n), n), n);
  };
  TreeNode *r;
  switch (a->arity) {
    case 1: r = zero_leaf(); break;
    case 2: r = per_volume(p, rot(3, 1, 2), n); break;
    case 3: {
      TreeNode *v = vector_of({rot(1, 2, 3), rot(2, 3, 1), rot(3, 1, 2)}, n);
      if (weighted(p))
        for (TreeNode *&x : v->child) x = per_volume(p, x, n);
      r = v;
      break;
    }
    default: rtlib_fatal_in("treemods_expand_vecops_0", "BAD METRIC");
  }
  return r;
}

// del2 of an explicit vector in Cartesian coordinates: the vector of its components'
// Laplacians (null for anything else). In other coordinates the vector Laplacian mixes
// the components; it is refused at its place.
static TreeNode *vector_laplacian(const Problem *p, TreeNode *n) {
  TreeNode *a = n->child[0];
  if (!is(a, op::vector)) return nullptr;
  if (p->coords->family != 1)
    treeclas_parse_error(report_current, n, "Laplacian of Vector Needs Cartesian Coordinates");
  TreeNode *v = trees_new_1(op::vector, &n->loc);
  v->arity = a->arity;
  v->valuetag = vtag::vector;
  for (int k = 0; k < a->arity; k++) {
    TreeNode *g = trees_new_1(op::vdiv, &n->loc);
    g->child[0] = gradient(p, a->child[k] ? std::exchange(a->child[k], nullptr) : zero_leaf(), n);
    v->child[k] = divergence(p, g);
    trees_free_0(g);
  }
  return v;
}

static TreeNode *expand(const Problem *p, TreeNode *n, uint16_t region) {
  if (!n) return n;
  switch (n->group) {
    case leafop: return n;
    case unop: case integrop: n->child[0] = expand(p, n->child[0], region); return n;
    case binop:
      for (int k = 0; k < 2; k++) n->child[k] = expand(p, n->child[k], region);
      return n;
    case complexop:
      debug_printf("TRAP ILLEGAL EXPAND_VECOPS\n");
      treeclas_trapop(n);
    case vectorop: {
      if (n->opcode == op::nullvector) return n;
      int count = n->opcode == op::vector ? n->arity : n->opcode == op::vdot || n->opcode == op::vcross ? 2 : 1;
      for (int k = 0; k < count; k++) n->child[k] = expand(p, n->child[k], region);
      if (n->opcode != op::vdot && n->opcode != op::vcross) return n;
      for (int k = 0; k < 2; k++) n->child[k] = treesimp_vectorize(p->problem, n->child[k], region);
      uint8_t ch = 0;
      return treesimp_v_products(n, &ch);
    }
    case weirdop:
      switch (n->opcode) {
        case op::ifthen: case op::sumop:
          for (int k = 0; k < 3; k++) n->child[k] = expand(p, n->child[k], region);
          return n;
        case op::fevalop: n->child[0] = expand(p, n->child[0], region); return n;
        case op::pointval: return n;
        default:
          debug_printf("TRAP ILLEGAL EXPAND_VECOPS\n");
          treeclas_trapop(n);
      }
    case derivop: break;
    default:
      debug_printf("TRAP ILLEGAL EXPAND_VECOPS\n");
      treeclas_trapop(n);
  }
  if (n->opcode == op::deriv || n->opcode == op::scurl) {
    n->child[0] = expand(p, n->child[0], region);
    return n;
  }
  uint8_t ch = 0;
  n->child[0] = treesimp_simplify(expand(p, n->child[0], region), region, &ch);
  TreeNode *r;
  switch (n->opcode) {
    case op::vdiv: r = divergence(p, n); break;
    case op::grad: r = gradient(p, n->child[0], n), n->child[0] = nullptr; break;
    case op::vcurl: r = curl(p, n); break;
    case op::del2: {
      if (TreeNode *v = vector_laplacian(p, n)) {
        r = v;
        break;
      }
      TreeNode *g = trees_new_1(op::vdiv, &n->loc);
      g->child[0] = gradient(p, n->child[0], n);
      n->child[0] = nullptr;
      r = divergence(p, g);
      trees_free_0(g);
      break;
    }
    default: treeclas_trapop(n);
  }
  trees_free_0(n);
  return r;
}

TreeNode *treemods_vector_expand(pde *p, const metric *coords, uint16_t dimension, TreeNode *tree, uint16_t region) {
  const Problem problem = {p, coords, dimension};
  return expand(&problem, tree, region);
}
