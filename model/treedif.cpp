// treedif: symbolic differentiation.
#include "model/treedif.h"

#include <cmath>
#include <cstring>
#include <utility>

#include "model/fits.h"
#include "model/formulas.h"
#include "model/params.h"
#include "model/model_view.h"
#include "model/treeclas.h"
#include "model/treemods.h"
#include "model/treesimp.h"
#include "runtime/report.h"
#include "runtime/rtlib.h"
#include "runtime/vectort.h"

uint16_t treedif_debug;

int treedif_init() {
  TRACE("treedif");
  return 0;
}

namespace {

// Builds the nodes of a derivative at the position of the node being differentiated.
struct Build {
  TextLoc loc;
  TreeNode *node(int32_t opcode, TreeNode *a, TreeNode *b = nullptr, TreeNode *c = nullptr) const {
    TreeNode *n = trees_new_1(opcode, &loc);
    n->child[0] = a;
    n->child[1] = b;
    n->child[2] = c;
    return n;
  }
  TreeNode *num(double v) const { return trees_new_real_1(v, &loc); }
  TreeNode *mul(TreeNode *a, TreeNode *b) const { return node(op::mulop, a, b); }
  TreeNode *div(TreeNode *a, TreeNode *b) const { return node(op::divop, a, b); }
  TreeNode *add(TreeNode *a, TreeNode *b) const { return node(op::addop, a, b); }
  TreeNode *sub(TreeNode *a, TreeNode *b) const { return node(op::subop, a, b); }
  TreeNode *neg(TreeNode *a) const { return node(op::negateop, a); }
  TreeNode *fn(int32_t opcode, TreeNode *a) const { return node(opcode, a); }
  TreeNode *sq(TreeNode *a) const { return node(op::square, a); }
};

TreeNode *copy(const TreeNode *t) { return trees_copy(t); }

}  // namespace

static TreeNode *differ(pde *p, TreeNode *n, int16_t s, uint16_t region);

[[noreturn]] static void differ_error(TreeNode *n) {
  TRACE("differ_error");
  treeclas_parse_error(report_current, n, "Can't Differentiate Function");
}

// Marks a leaf with a derivative: a coordinate in the first free of the three
// coordinate slots, an unknown in the fourth.
static TreeNode *tag_deriv(TreeNode *n, int16_t s) {
  TRACE("tag_deriv");
  if (s < 0) {
    if (n->deriv[3]) rtlib_fatal_in("tag_deriv", "TOO MANY DERIVATIVES");
    n->deriv[3] = uint8_t(-s);
    return n;
  }
  // The time selector stays last: a coordinate derivative of a rate is written before
  // it, so that taking the leaf apart by coordinates leaves the rate whole.
  for (int k = 0; k < 3; k++)
    if (!n->deriv[k] || (s != 4 && n->deriv[k] == 4)) {
      if (n->deriv[2]) break;
      for (int j = 2; j > k; j--) n->deriv[j] = n->deriv[j - 1];
      n->deriv[k] = uint8_t(s);
      return n;
    }
  treeclas_parse_error(report_current, n, "Too Many Derivatives");
}

static TreeNode *zero(TreeNode *n) {
  trees_replace(n, 0);
  return n;
}

// The trial basis leaf of unknown k (a new node), or 1 when k has none.
static TreeNode *basis_leaf(pde *p, uint16_t k, const TextLoc *loc) {
  const vectorl *codes = model_view_of(p).basiscodes;
  int32_t code = codes && k <= codes->count ? codes->data[k - 1] : 0;
  if (code == 0) return trees_new_real_1(1, loc);
  TreeNode *b = trees_new_1(op::febasis, loc);
  b->index = uint16_t(code);
  return b;
}

// The fit record of a fit leaf.
static fit *fit_of(pde *p, const TreeNode *n) {
  const model_view v = model_view_of(p);
  fitlist &fl = v.formulas->fits;
  if (n->index < 1 || n->index > fl.count) rtlib_fatal_in("treedif_differ", "UNDEFINED FIT");
  return fl.items[n->index - 1];
}

// A region or boundary integral: the integral of the derivative of its integrand
// while the integral-differentiation flag is set and the fit covers the region.
static TreeNode *differ_integral(pde *p, TreeNode *n, int16_t s, uint16_t region, int32_t opcode) {
  const model_view v = model_view_of(p);
  fit *f = fit_of(p, n);
  if (!v.difintegrals || !vectort_if_bit(&f->regions, region)) return zero(n);
  TreeNode *t = fits_find_fit_tree(&v.formulas->fits, n->index, region, 0);
  TreeNode *r = trees_new_1(opcode, &n->loc);
  r->index = n->index;
  r->child[0] = differ(p, copy(t), s, region);
  trees_free_0(n);
  return r;
}

// EVAL of a fit with respect to unknown k: the derivative of the fit's tree is kept
// in the fit's Jacobian list [region][k] and the leaf is marked with the unknown.
static TreeNode *differ_eval(pde *p, TreeNode *n, int16_t s, uint16_t region) {
  const model_view v = model_view_of(p);
  if (s >= 0) return zero(n);
  fit *f = fit_of(p, n);
  uint16_t k = uint16_t(-s), r = region ? region : 1;
  if (f->jacobians.count < r) trees_resize_1(&f->jacobians, r, r);
  treevector *row = &f->jacobians.data[r - 1];
  TreeNode **slot = trees_slot(row, k);
  trees_free_0(*slot);
  TreeNode *t = fits_find_fit_tree(&v.formulas->fits, n->index, region, 0);
  *slot = treedif_differ(p, copy(t), s, region);
  treeclas_classify_rhs(p, *slot, region);
  f->hasjac = 1;
  return tag_deriv(n, s);
}

// The derivative of table key `key` (0 none, 1..4 x y z t, 5..100 variable key-4,
// above 100 definition key-100).
static TreeNode *differ_arg(pde *p, uint16_t key, int16_t s, uint16_t region, const TextLoc *loc) {
  TRACE("differ_arg");
  const model_view v = model_view_of(p);
  if (key >= 1 && key <= 4) return trees_new_real_1(s == key ? 1 : 0, loc);
  if (key >= 5 && key <= 100) {
    uint16_t v = uint16_t(key - 4);
    if (s < 0) return -s == v ? basis_leaf(p, v, loc) : trees_new_real_1(0, loc);
    if (s == 0) return trees_new_real_1(0, loc);
    // A coordinate derivative of a variable key: the variable's own derivative.
    TreeNode *u = trees_new_1(op::varble, loc);
    u->index = v;
    return tag_deriv(u, s);
  }
  if (key > 100) {
    TreeNode *def = params_find_param_tree(&v.formulas->definitions, uint16_t(key - 100), region);
    if (!def) return trees_new_real_1(0, loc);
    uint8_t ch = 0;
    TreeNode *t = treemods_copy_params(p, copy(def), region, 0);
    t = treesimp_simplify(t, region, &ch);
    t = treedif_differ_tree(p, t, region);
    t = treesimp_simplify(t, region, &ch);
    return differ(p, t, s, region);
  }
  return trees_new_real_1(0, loc);
}

// A table: the sum over its keys of the table's slope along the key (a copy of the
// leaf with that key's number as its next selector) times the key's derivative.
static TreeNode *differ_table(pde *p, TreeNode *n, int16_t s, uint16_t region) {
  TRACE("differ_table");
  const model_view v = model_view_of(p);
  const tablelist &tl = v.formulas->definitions.tables;
  if (n->index < 1 || n->index > tl.count) return n;
  const uint16_t *keys = tl.items[n->index - 1].keys;
  if (keys[0] == 0) return n;
  Build b{n->loc};
  TreeNode *sum = nullptr;
  for (int i = 0; i < 3 && keys[i]; i++) {
    TreeNode *term = b.mul(tag_deriv(copy(n), int16_t(i + 1)), differ_arg(p, keys[i], s, region, &n->loc));
    sum = sum ? b.add(sum, term) : term;
  }
  trees_free_0(n);
  return sum;
}

static bool shared(const pde *p, const TreeNode *n) {
  const model_view v = model_view_of(p);
  const paramset &defs = v.formulas->definitions;
  return n->index >= 1 && n->index <= defs.count && defs.items[n->index - 1]->shared;
}

static void check(const pde *p, TreeNode *n, int16_t s);

// A shared definition is plain: free of the unknowns and the time, its coordinate
// derivatives those of its expansion.
static TreeNode *differ_shared(pde *p, TreeNode *n, int16_t s, uint16_t region) {
  const model_view v = model_view_of(p);
  if (!shared(p, n)) treeclas_trapop(n);
  if (s == 0) return n;
  if (s < 0 || s > 3) return zero(n);
  struct Held {
    TreeNode *t;
    ~Held() { trees_free_0(t); }
  } held{copy(params_find_param_tree(&v.formulas->definitions, n->index, region))};
  check(p, held.t, s);
  trees_free_0(n);
  return differ(p, std::exchange(held.t, nullptr), s, region);
}

static TreeNode *differ_leaf(pde *p, TreeNode *n, int16_t s, uint16_t region) {
  switch (n->opcode) {
    case op::undef: case op::realzero: case op::realval: case op::stageval: case op::voljac: case op::lambda:
    case op::treestring: case op::globalmin: case op::globalmax: case op::minspot: case op::maxspot: case op::jelem:
    case op::sumvar:  // a SUM's index is a whole number that no coordinate moves
      return zero(n);
    case op::xcoord: case op::ycoord: case op::zcoord: case op::tcoord:
      trees_replace(n, s == n->opcode - op::xcoord + 1 ? 1 : 0);
      return n;
    case op::varble: case op::vardot: case op::eigvec: {
      if (s > 0) return tag_deriv(n, s);
      if (s == 0) return n;
      if (n->index != -s) return zero(n);
      TreeNode *r = basis_leaf(p, n->index, &n->loc);
      if (r->opcode == op::febasis) memcpy(r->deriv, n->deriv, sizeof r->deriv);
      if (n->opcode == op::vardot) r = Build{n->loc}.div(r, trees_new_1(op::deltat, &n->loc));
      trees_free_0(n);
      return r;
    }
    case op::febasis:
      if (s <= 0) rtlib_fatal_in("treedif_differ", "BASIS.U");
      return tag_deriv(n, s);
    case op::xferval:
      if (s < 0) return zero(n);
      return s ? tag_deriv(n, s) : n;
    case op::fitfun:
    case op::savefun:
      if (s < 0) return zero(n);
      return s ? tag_deriv(n, s) : n;
    case op::volint: return differ_integral(p, n, s, region, op::integral);
    case op::surfint:
    case op::bdryint: return differ_integral(p, n, s, region, op::bintegral);
    case op::evalop: return differ_eval(p, n, s, region);
    case op::tableval: return differ_table(p, n, s, region);
    case op::param: return differ_shared(p, n, s, region);
    case op::stageparam: treeclas_trapop(n);
    default: differ_error(n);
  }
}

static TreeNode *differ_intpower(const Build &b, TreeNode *a, TreeNode *da, int16_t e) {
  TRACE("differ_intpower");
  switch (e) {
    case 0: trees_free_0(a); trees_free_0(da); return b.num(0);
    case 1: trees_free_0(a); return da;
    case 2: return b.mul(b.num(2), b.mul(a, da));
    case 3: return b.mul(b.num(3), b.mul(b.sq(a), da));
    default: {
      TreeNode *pw = b.fn(op::intpower, a);
      pw->index = uint16_t(int16_t(e - 1));
      return b.mul(b.num(e), b.mul(pw, da));
    }
  }
}

// d a^b = b·a^(b-1)·a' (finite where a vanishes), plus a^b·ln(a)·b' where the
// exponent varies in the direction of differentiation.
static TreeNode *differ_power(pde *p, const Build &b, TreeNode *n, int16_t s, uint16_t region) {
  TRACE("differ_power");
  TreeNode *a = n->child[0], *e = n->child[1];
  treeclas_classify_rhs(p, e, region);
  bool varies = e->rhsclass != constex && (s > 0 || (s < 0 && e->rhsclass == varex));
  TreeNode *r = b.mul(copy(e), b.mul(b.node(op::powerop, copy(a), b.sub(copy(e), b.num(1))),
                                     differ(p, copy(a), s, region)));
  if (varies)
    r = b.add(r, b.mul(copy(n), b.mul(b.fn(op::logf, copy(a)), differ(p, copy(e), s, region))));
  trees_free_0(n);
  return r;
}

static TreeNode *two_over_sqrt_pi_exp(const Build &b, TreeNode *a) {
  return b.mul(b.num(2 / std::sqrt(M_PI)), b.fn(op::expf, b.neg(b.sq(a))));
}

// Bessel functions: a'·((n/a)·B_n(a) - B_(n+1)(a)).
static TreeNode *differ_bes(const Build &b, TreeNode *n, TreeNode *a, TreeNode *da) {
  TRACE("differ_bes");
  TreeNode *bn = b.fn(n->opcode, copy(a)), *bn1 = b.fn(n->opcode, copy(a));
  bn->index = n->index;
  bn1->index = uint16_t(n->index + 1);
  return b.mul(da, b.sub(b.mul(b.div(b.num(n->index), a), bn), bn1));
}

static TreeNode *differ_unary(pde *p, TreeNode *n, int16_t s, uint16_t region) {
  Build b{n->loc};
  int32_t o = n->opcode;
  switch (o) {
    case op::signf: case op::ustepf: case op::lognot: case op::arrayref: return zero(n);
    case op::upfactor: case op::gamma: case op::eifun: case op::gammai: case op::expint: case op::randomf:
      differ_error(n);
    case op::passive:
      if (s <= 0) return zero(n);
      break;
    default: break;
  }
  TreeNode *a = n->child[0];
  n->child[0] = nullptr;
  // The operand itself is differentiated where the derivative does not repeat it.
  bool linear = o == op::negateop || o == op::passive;
  TreeNode *da = differ(p, linear ? a : copy(a), s, region), *r;
  switch (o) {
    case op::negateop: r = b.fn(o, da); break;
    case op::passive: r = da; break;
    case op::intpower: r = differ_intpower(b, a, da, int16_t(n->index)); break;
    case op::square: r = b.mul(b.num(2), b.mul(a, da)); break;
    case op::sqrt: r = b.mul(b.num(0.5), b.div(da, b.fn(op::sqrt, a))); break;
    case op::absf: r = b.mul(b.fn(op::signf, a), da); break;
    case op::acosf: r = b.neg(b.div(da, b.fn(op::sqrt, b.sub(b.num(1), b.sq(a))))); break;
    case op::asinf: r = b.div(da, b.fn(op::sqrt, b.sub(b.num(1), b.sq(a)))); break;
    case op::atanf: r = b.div(da, b.add(b.num(1), b.sq(a))); break;
    case op::besjf: case op::besyf: r = differ_bes(b, n, a, da); break;
    case op::cosf: r = b.mul(b.neg(b.fn(op::sinf, a)), da); break;
    case op::coshf: r = b.mul(b.fn(op::sinhf, a), da); break;
    case op::erfcf: r = b.neg(b.mul(da, two_over_sqrt_pi_exp(b, a))); break;
    case op::erff: r = b.mul(da, two_over_sqrt_pi_exp(b, a)); break;
    case op::expf: r = b.mul(b.fn(op::expf, a), da); break;
    case op::log10: r = b.mul(b.num(1 / M_LN10), b.mul(b.fn(op::recipf, a), da)); break;
    case op::logf: r = b.mul(b.fn(op::recipf, a), da); break;
    case op::recipf: r = b.neg(b.div(da, b.sq(a))); break;
    case op::sinf: r = b.mul(b.fn(op::cosf, a), da); break;
    case op::sinhf: r = b.mul(b.fn(op::coshf, a), da); break;
    case op::tanf: r = b.div(da, b.sq(b.fn(op::cosf, a))); break;
    // a'·(1 - tanh²(a)): the same value as a'/cosh²(a), without the overflow of cosh
    // at large arguments, where the slope vanishes.
    case op::tanhf: r = b.mul(da, b.sub(b.num(1), b.sq(b.fn(op::tanhf, a)))); break;
    default:
      n->child[0] = a;
      trees_free_0(da);
      differ_error(n);
  }
  trees_free_0(n);
  return r;
}

static TreeNode *differ_binary(pde *p, TreeNode *n, int16_t s, uint16_t region) {
  Build b{n->loc};
  int32_t o = n->opcode;
  if (o >= op::ltnop && o <= op::logand) differ_error(n);
  if (o == op::upulsef) return zero(n);
  if (o == op::powerop) return differ_power(p, b, n, s, region);
  TreeNode *a = n->child[0], *c = n->child[1];
  auto d = [&](const TreeNode *t) { return differ(p, copy(t), s, region); };
  TreeNode *r;
  if (o >= op::addop && o <= op::divop) {
    // The operands move into the derivative, which uses each of them once more.
    n->child[0] = n->child[1] = nullptr;
    trees_free_0(n);
    if (o == op::addop || o == op::subop) return b.node(o, differ(p, a, s, region), differ(p, c, s, region));
    TreeNode *da = d(a), *dc = d(c);
    if (o == op::mulop) return b.add(b.mul(a, dc), b.mul(da, c));
    return b.sub(b.div(da, copy(c)), b.mul(dc, b.div(a, b.sq(c))));
  }
  switch (o) {
    case op::modf:
      // a' - trunc(a/b)·b': the remainder falls by b each time the quotient steps.
      r = b.sub(d(a), b.mul(b.div(b.sub(copy(a), copy(n)), copy(c)), d(c)));
      break;
    case op::atan2f:
      r = b.div(b.sub(b.mul(copy(c), d(a)), b.mul(copy(a), d(c))), b.add(b.sq(copy(a)), b.sq(copy(c))));
      break;
    case op::minf: case op::maxf:
      r = b.node(op::ifthen, d(a), d(c), b.node(o == op::minf ? op::ltnop : op::gtrop, copy(a), copy(c)));
      break;
    case op::urampf: {
      // A ramp between equal operands is a step: its slope part is never taken.
      if (trees_compare(a, c)) return zero(n);
      TreeNode *slope = differ(p, b.div(copy(a), b.sub(copy(a), copy(c))), s, region);
      r = b.node(op::ifthen, b.num(0), b.node(op::ifthen, slope, b.num(0), b.node(op::ltnop, copy(c), b.num(0))),
                 b.node(op::ltnop, copy(a), b.num(0)));
      break;
    }
    default: differ_error(n);
  }
  trees_free_0(n);
  return r;
}

// The sum of c_i·c_i' over the components of a vector node.
static TreeNode *differ_vlength(pde *p, const Build &b, TreeNode *v, int16_t s, uint16_t region) {
  TRACE("differ_vlength");
  if (!v || v->opcode != op::vector) return nullptr;
  TreeNode *sum = nullptr;
  for (int k = 0; k < v->arity; k++) {
    TreeNode *t = b.mul(copy(v->child[k]), differ(p, copy(v->child[k]), s, region));
    sum = sum ? b.add(sum, t) : t;
  }
  return sum;
}

static TreeNode *differ(pde *p, TreeNode *n, int16_t s, uint16_t region) {
  if (!n) return n;
  Build b{n->loc};
  switch (n->group) {
    case leafop: return differ_leaf(p, n, s, region);
    case unop: return differ_unary(p, n, s, region);
    case binop: return differ_binary(p, n, s, region);
    case integrop: n->child[0] = differ(p, n->child[0], s, region); return n;
    case derivop: {
      if (n->opcode != op::deriv) differ_error(n);
      uint8_t sel[3] = {n->deriv[2], n->deriv[1], n->deriv[0]};
      TreeNode *r = trees_select_leaf(n, 1);
      for (uint8_t k : sel)
        if (k) r = treedif_differ(p, r, k, region);
      return differ(p, r, s, region);
    }
    case vectorop:
      switch (n->opcode) {
        case op::nullvector: return n;
        case op::vector:
          for (int k = 0; k < n->arity; k++) n->child[k] = differ(p, n->child[k], s, region);
          return n;
        case op::vdot: case op::vcross: {
          TreeNode *a = n->child[0], *c = n->child[1];
          TreeNode *r = b.add(b.node(n->opcode, copy(a), differ(p, copy(c), s, region)),
                              b.node(n->opcode, differ(p, copy(a), s, region), copy(c)));
          trees_free_0(n);
          return r;
        }
        case op::vlength2: case op::vlength: {
          TreeNode *sum = differ_vlength(p, b, n->child[0], s, region);
          if (!sum) differ_error(n);
          if (n->opcode == op::vlength2) {
            trees_free_0(n);
            return b.mul(b.num(2), sum);
          }
          return b.div(sum, n);
        }
        case op::vncomp: case op::vtcomp: n->child[0] = differ(p, n->child[0], s, region); return n;
        default: differ_error(n);
      }
    case weirdop:
      switch (n->opcode) {
        case op::kkkxyz:
          for (int k = 0; k < n->arity; k++) n->child[k] = differ(p, n->child[k], s, region);
          return n;
        case op::ifthen:
          for (int k = 0; k < 2; k++) n->child[k] = differ(p, n->child[k], s, region);
          return n;
        case op::pointval: case op::fevalop: return zero(n);
        case op::sumop: n->child[2] = differ(p, n->child[2], s, region); return n;
        default: differ_error(n);
      }
    default: differ_error(n);
  }
}

// Reports the user errors differentiation would meet before any node is built, so
// that an error leaves the tree whole (for treedif_differ to free).
static void check(const pde *p, TreeNode *n, int16_t s) {
  if (!n) return;
  switch (n->group) {
    case leafop:
      switch (n->opcode) {
        case op::param:
          if (p && shared(p, n)) return;
          treeclas_trapop(n);
        case op::stageparam: treeclas_trapop(n);
        case op::fargop: case op::partfun: case op::areaint: case op::deltat: differ_error(n);
        default: return;
      }
    case unop:
      switch (n->opcode) {
        case op::upfactor: case op::gamma: case op::eifun: case op::gammai: case op::expint: case op::randomf:
          differ_error(n);
        case op::signf: case op::ustepf: case op::lognot: case op::arrayref: return;
        case op::passive:
          if (s <= 0) return;
          break;
        default: break;
      }
      return check(p, n->child[0], s);
    case binop:
      if (n->opcode >= op::ltnop && n->opcode <= op::logand) differ_error(n);
      if (n->opcode == op::upulsef) return;
      check(p, n->child[0], s);
      return check(p, n->child[1], s);
    case integrop: return check(p, n->child[0], s);
    case derivop:
      if (n->opcode != op::deriv) differ_error(n);
      return check(p, n->child[0], s);
    case vectorop:
      switch (n->opcode) {
        case op::nullvector: return;
        case op::vlength: case op::vlength2:
          if (!n->child[0] || n->child[0]->opcode != op::vector) differ_error(n);
          return check(p, n->child[0], s);
        case op::vector: case op::vdot: case op::vcross: case op::vncomp: case op::vtcomp:
          for (int k = 0; k < n->arity; k++) check(p, n->child[k], s);
          return;
        default: differ_error(n);
      }
    case weirdop:
      switch (n->opcode) {
        case op::kkkxyz: case op::ifthen:
          for (int k = 0; k < (n->opcode == op::ifthen ? 2 : n->arity); k++) check(p, n->child[k], s);
          return;
        case op::pointval: case op::fevalop: return;
        case op::sumop: return check(p, n->child[2], s);
        default: differ_error(n);
      }
    default: differ_error(n);
  }
}

TreeNode *treedif_differ(pde *p, TreeNode *tree, int16_t s, uint16_t region) {
  TRACE("treedif_differ");
  // The tree is released when it cannot be differentiated, the derivative when its
  // simplification reports an error.
  struct Held {
    TreeNode *t;
    ~Held() { trees_free_0(t); }
  } held{tree};
  check(p, tree, s);
  held.t = differ(p, std::exchange(held.t, nullptr), s, region);
  uint8_t ch = 0;
  treesimp_simplify_in(&held.t, region, &ch);
  return std::exchange(held.t, nullptr);
}

// The operand of a deriv node differentiated by the node's selectors. The node stays in
// its tree, emptied, until the derivative is made: an error on the way frees the operand
// and leaves the tree whole for its owner to free.
static TreeNode *carry_out(pde *p, TreeNode *n, uint16_t region) {
  uint8_t sel[4];
  memcpy(sel, n->deriv, sizeof sel);
  TreeNode *r = std::exchange(n->child[0], nullptr);
  for (int k = 2; k >= 0; k--)
    if (sel[k]) r = treedif_differ(p, r, sel[k], region);
  if (sel[3]) r = treedif_differ(p, r, int16_t(-sel[3]), region);
  trees_free_0(n);
  return r;
}

static TreeNode *differ_tree(pde *p, TreeNode *n, uint16_t region) {
  if (!n) return n;
  if (n->opcode == op::deriv && !(n->child[0] && n->child[0]->opcode == op::fargop)) n = carry_out(p, n, region);
  if (n && n->group != leafop && n->opcode != op::subref)
    for (int k = 0; k < n->arity && k < 3; k++) n->child[k] = differ_tree(p, n->child[k], region);
  return n;
}

TreeNode *treedif_differ_tree(pde *p, TreeNode *tree, uint16_t region) {
  TRACE("treedif_differ_tree");
  return differ_tree(p, tree, region);
}

TreeNode *treedif_gradient2(const TreeNode *tree) {
  TRACE("treedif_gradient2");
  TreeNode *v = trees_new_1(op::vector, &tree->loc);
  v->arity = 2;
  for (int k = 0; k < 2; k++) v->child[k] = treedif_differ(report_current, trees_copy(tree), int16_t(k + 1), 0);
  return v;
}

TreeNode *treedif_div2v(const TreeNode *vec) {
  TRACE("treedif_div2v");
  TreeNode *sum = trees_new_1(op::addop, &vec->loc);
  for (int k = 0; k < 2; k++) sum->child[k] = treedif_differ(report_current, trees_copy(vec->child[k]), int16_t(k + 1), 0);
  uint8_t ch = 0;
  return treesimp_simplify(sum, 0, &ch);
}
