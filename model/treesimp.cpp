// treesimp: algebraic simplification of expression trees.
#include "model/treesimp.h"

#include <cmath>
#include <initializer_list>

#include "model/formulas.h"
#include "model/params.h"
#include "model/simptree.h"
#include "model/model_view.h"
#include "model/treeclas.h"
#include "runtime/report.h"
#include "runtime/rtlib.h"

uint16_t treesimp_debug;

int treesimp_init() {
  TRACE("treesimp");
  return 0;
}

// ---- Small helpers -------------------------------------------------------------------------------

static bool isconst(const TreeNode *n) { return n && (n->opcode == op::realzero || n->opcode == op::realval); }
static double cval(const TreeNode *n) { return n->opcode == op::realzero ? 0 : n->value; }
static bool is_zero(const TreeNode *n) { return isconst(n) && cval(n) == 0; }
static bool isone(const TreeNode *n) { return isconst(n) && cval(n) == 1; }
static bool is(const TreeNode *n, int32_t opcode) { return n && n->opcode == opcode; }
static bool iscoord(const TreeNode *n) {
  return is(n, op::xcoord) || is(n, op::ycoord) || is(n, op::zcoord);
}
static bool issum(const TreeNode *n) { return is(n, op::addop) || is(n, op::subop); }
static int16_t exponent(const TreeNode *n) { return int16_t(n->index); }

// The node becomes the constant v in place (a scalar, whatever it stood for).
static TreeNode *fold(TreeNode *n, double v, uint8_t *ch) {
  trees_replace(n, v);
  n->valuetag = vtag::scalar;
  *ch = 1;
  return n;
}

// The node is replaced by its child k (from 1).
static TreeNode *keep(TreeNode *n, int k, uint8_t *ch) {
  *ch = 1;
  return trees_select_leaf(n, k);
}

// A new node of the opcode with children a and b, at the position of at.
static TreeNode *make(int32_t opcode, TreeNode *a, TreeNode *b, const TreeNode *at) {
  TreeNode *n = trees_new_1(opcode, &at->loc);
  n->child[0] = a;
  n->child[1] = b;
  return n;
}

static TreeNode *negate(TreeNode *a) { return trees_insert(a, op::negateop); }
// The operand of a negation; the negation node is freed.
static TreeNode *unneg(TreeNode *n) { return trees_select_leaf(n, 1); }

// Exchanges the two operands of a node.
static void swap(TreeNode *n) {
  TreeNode *t = n->child[0];
  n->child[0] = n->child[1];
  n->child[1] = t;
}

// The node's children are moved into a new node: n itself is then free to be reused.
static void retype(TreeNode *n, int32_t opcode, TreeNode *a, TreeNode *b) {
  trees_modify(n, opcode);
  n->child[0] = a;
  n->child[1] = b;
  n->child[2] = nullptr;
}

static TreeNode *zero_leaf() {
  TreeNode *z = trees_new_0(op::realzero);
  z->rhsclass = constex;
  z->orderclass = order0;
  return z;
}

[[noreturn]] static void divide_by_zero(TreeNode *n) { treeclas_parse_error(report_current, n, trees_constant_divide); }

// ---- Folding -------------------------------------------------------------------------------------

// The unary functions whose constant operands are folded.
static bool foldable(int32_t opcode) {
  switch (opcode) {
    case op::square: case op::sqrt: case op::absf: case op::acosf: case op::asinf: case op::atanf:
    case op::cosf: case op::coshf: case op::sinf: case op::sinhf: case op::tanf: case op::tanhf:
    case op::erfcf: case op::erff: case op::expf: case op::log10: case op::logf: case op::recipf:
    case op::signf: case op::ustepf: case op::lognot:
      return true;
    default: return false;
  }
}

// A folded constant that is not a number, as (-8)^(1/3), is an error at its place.
static double finite_fold(TreeNode *n, double v) {
  if (std::isnan(v)) treeclas_parse_error(report_current, n, "Invalid Floating-Point Operation");
  return v;
}

// The value of a unary function of a constant, as the fast evaluator computes it.
// Square roots and logarithms of negative constants and reciprocals of 0 are not
// folded (false), so that evaluation reports them where they occur.
static bool funeval(TreeNode *n, double *v) {
  TRACE("funeval");
  double c = cval(n->child[0]);
  switch (n->opcode) {
    case op::sqrt:
    case op::logf:
    case op::log10:
      if (c < 0) return false;
      break;
    case op::recipf:
      if (c == 0) return false;
      break;
    default:
      if (!foldable(n->opcode)) treeclas_trapop(n);
  }
  evalpoint p{};
  *v = finite_fold(n, simptree_simpeval(n, &p));
  return true;
}

// The value of a binary function of two constants.
static double funeval2(TreeNode *n) {
  TRACE("funeval2");
  switch (n->opcode) {
    case op::modf: case op::minf: case op::maxf: case op::urampf: case op::upulsef:
    case op::ltnop: case op::leqop: case op::equop: case op::neqop: case op::geqop: case op::gtrop:
    case op::logor: case op::logand: case op::addop: case op::subop: case op::mulop: case op::powerop:
      break;
    default: treeclas_trapop(n);
  }
  evalpoint p{};
  return finite_fold(n, simptree_simpeval(n, &p));
}

// ---- Rules by operator ---------------------------------------------------------------------------

static TreeNode *negations(TreeNode *n, uint8_t *ch) {
  TRACE("negations");
  TreeNode *a = n->child[0];
  if (isconst(a)) return fold(n, -cval(a), ch);
  if (is(a, op::negateop)) return unneg(keep(n, 1, ch));
  if (is(a, op::subop)) {
    swap(a);
    return keep(n, 1, ch);
  }
  if (is(a, op::mulop)) {
    for (int k : {1, 0}) {
      TreeNode *f = a->child[k];
      if (is(f, op::negateop)) a->child[k] = unneg(f);
      else if (is(f, op::subop)) swap(f);
      else continue;
      return keep(n, 1, ch);
    }
    return n;
  }
  if (is(a, op::complex0) || is(a, op::nullvector)) return keep(n, 1, ch);
  if (is(a, op::complexf) || is(a, op::vector)) {
    for (int k = 0; k < a->arity; k++)
      if (!is(a->child[k], op::negateop)) return n;
    for (int k = 0; k < a->arity; k++) a->child[k] = unneg(a->child[k]);
    return keep(n, 1, ch);
  }
  return n;
}

static TreeNode *intpowers(TreeNode *n, uint8_t *ch) {
  TRACE("intpowers");
  TreeNode *a = n->child[0];
  int16_t e = exponent(n);
  if (isconst(a)) {
    // A negative power of zero, or of a number whose power vanishes, divides by zero.
    double c = cval(a), r = rtlib_ipow(c, e < 0 && e > INT16_MIN ? int16_t(-e) : e);
    if (e >= 0) return fold(n, r, ch);
    if (r == 0) divide_by_zero(n);
    return fold(n, 1 / r, ch);
  }
  if (e == 0) return fold(n, 1, ch);
  if (e == 1) return keep(n, 1, ch);
  if (e == 2) {
    trees_modify(n, op::square);
    n->index = 0;
    *ch = 1;
  }
  return n;
}

static TreeNode *unary(TreeNode *n, uint8_t *ch) {
  TreeNode *a = n->child[0];
  double v = 0;
  if (isconst(a) && foldable(n->opcode)) return funeval(n, &v) ? fold(n, v, ch) : n;
  switch (n->opcode) {
    case op::square:
      if (is(a, op::negateop)) {
        n->child[0] = unneg(a);
        *ch = 1;
      } else if (is(a, op::vector)) {
        trees_modify(n, op::vlength2);
        *ch = 1;
      } else if (is(a, op::sqrt)) {
        return trees_select_leaf(keep(n, 1, ch), 1);
      }
      return n;
    case op::sqrt:
      if (is(a, op::vlength2) || is(a, op::square)) {
        trees_modify(a, is(a, op::square) ? op::absf : op::vlength);
        return keep(n, 1, ch);
      }
      return n;
    case op::absf: case op::cosf: case op::coshf:
      if (is(a, op::negateop)) {
        n->child[0] = unneg(a);
        *ch = 1;
      }
      return n;
    case op::asinf: case op::atanf: case op::erff: case op::recipf: case op::sinf: case op::sinhf:
    case op::tanf: case op::tanhf:
      if (is(a, op::negateop)) {
        // f(-a) is -f(a): the negation node moves above f.
        n->child[0] = a->child[0];
        a->child[0] = n;
        *ch = 1;
        return a;
      }
      return n;
    default: return n;
  }
}

// Componentwise sum or difference of two complexf or two vector nodes: a receives
// every component pair; a component of one side only is kept (negated on the right
// of a difference).
static TreeNode *componentwise(TreeNode *n, int32_t opcode, uint8_t *ch) {
  TreeNode *a = n->child[0], *b = n->child[1];
  int m = a->arity > b->arity ? a->arity : b->arity;
  for (int k = 0; k < m; k++) {
    TreeNode *x = k < a->arity ? a->child[k] : nullptr, *y = k < b->arity ? b->child[k] : nullptr;
    if (x && y) a->child[k] = make(opcode, x, y, n);
    else if (y) a->child[k] = opcode == op::subop ? negate(y) : y;
  }
  a->arity = uint8_t(m);
  b->arity = 0;
  trees_free_node(b);
  n->child[1] = nullptr;
  return keep(n, 1, ch);
}

static TreeNode *sums(TreeNode *n, uint8_t *ch) {
  TRACE("sums");
  TreeNode *a = n->child[0], *b = n->child[1];
  if (isconst(a) && isconst(b)) return fold(n, cval(a) + cval(b), ch);
  if (is_zero(a)) return keep(n, 2, ch);
  if (is_zero(b)) return keep(n, 1, ch);
  if (is(a, op::negateop) && is(b, op::negateop)) {
    n->child[0] = unneg(a);
    n->child[1] = unneg(b);
    *ch = 1;
    return negate(n);
  }
  if ((is(a, op::complexf) && is(b, op::complexf)) || (is(a, op::vector) && is(b, op::vector)))
    return componentwise(n, op::addop, ch);
  if (is(a, op::complex0) && is(b, op::complexf)) return keep(n, 2, ch);
  if (is(b, op::complex0) && is(a, op::complexf)) return keep(n, 1, ch);
  if (is(a, op::nullvector) && (is(b, op::vector) || is(b, op::nullvector))) return keep(n, 2, ch);
  if (is(b, op::nullvector) && is(a, op::vector)) return keep(n, 1, ch);
  if (is(a, op::negateop)) {
    retype(n, op::subop, b, unneg(a));
    *ch = 1;
  } else if (is(b, op::negateop)) {
    retype(n, op::subop, a, unneg(b));
    *ch = 1;
  }
  return n;
}

static TreeNode *differences(TreeNode *n, uint8_t *ch) {
  TRACE("differences");
  TreeNode *a = n->child[0], *b = n->child[1];
  if (isconst(a) && isconst(b)) return fold(n, cval(a) - cval(b), ch);
  if (is_zero(a)) {
    trees_free_0(a);
    retype(n, op::negateop, b, nullptr);
    *ch = 1;
    return n;
  }
  if (is_zero(b)) return keep(n, 1, ch);
  *ch = 1;
  if (is(a, op::negateop) && is(b, op::negateop)) {
    retype(n, op::subop, unneg(b), unneg(a));
    return n;
  }
  if (is(a, op::negateop)) {
    retype(n, op::addop, unneg(a), b);
    return negate(n);
  }
  if (is(b, op::negateop)) {
    retype(n, op::addop, a, unneg(b));
    return n;
  }
  if (is(a, op::subop) && trees_compare(a->child[0], b)) {
    trees_replace(a->child[0], 0);
    return keep(n, 1, ch);
  }
  if (is(b, op::subop) && trees_compare(b->child[0], a)) return trees_select_leaf(keep(n, 2, ch), 2);
  if (trees_compare(a, b)) return fold(n, 0, ch);
  if ((is(a, op::complexf) && is(b, op::complexf)) || (is(a, op::vector) && is(b, op::vector)))
    return componentwise(n, op::subop, ch);
  if ((is(a, op::complexf) && is(b, op::complex0)) || (is(a, op::vector) && is(b, op::nullvector)))
    return keep(n, 1, ch);
  if ((is(a, op::complex0) && is(b, op::complexf)) || (is(a, op::nullvector) && is(b, op::vector))) {
    for (int k = 0; k < b->arity; k++) b->child[k] = negate(b->child[k]);
    return keep(n, 2, ch);
  }
  *ch = 0;
  return n;
}

// The last factor of a nested product (searched left operand first) equal to d is
// removed from *slot; true when one was found.
static bool cancel(TreeNode **slot, const TreeNode *d) {
  TreeNode *m = *slot;
  for (int k = 0; k < 2; k++) {
    if (trees_compare(m->child[k], d)) {
      *slot = trees_select_leaf(m, 2 - k);
      return true;
    }
    if (is(m->child[k], op::mulop) && cancel(&m->child[k], d)) return true;
  }
  return false;
}

static bool left_cancel(TreeNode *n) {
  TRACE("left_cancel");
  return cancel(&n->child[0], n->child[1]);
}

// A product with one factor negated, or both: the signs move out.
static TreeNode *mult_signs(TreeNode *n, uint8_t *ch) {
  TRACE("mult_signs");
  bool na = is(n->child[0], op::negateop), nb = is(n->child[1], op::negateop);
  if (!na && !nb) return nullptr;
  if (na) n->child[0] = unneg(n->child[0]);
  if (nb) n->child[1] = unneg(n->child[1]);
  *ch = 1;
  return na && nb ? n : negate(n);
}

// The constant factor k of a product of a constant and another factor: its slot.
static TreeNode **constant_factor(TreeNode *m) {
  if (!is(m, op::mulop)) return nullptr;
  if (isconst(m->child[0])) return &m->child[0];
  if (isconst(m->child[1])) return &m->child[1];
  return nullptr;
}

// Each component of vector v multiplied by (a copy of) f, f on the left or right.
static TreeNode *scale_vector(TreeNode *n, int vslot, uint8_t *ch) {
  TreeNode *v = n->child[vslot], *f = n->child[1 - vslot];
  for (int k = 0; k < v->arity; k++) {
    TreeNode *g = k == 0 ? f : trees_copy(f);
    v->child[k] = vslot ? make(op::mulop, g, v->child[k], n) : make(op::mulop, v->child[k], g, n);
  }
  if (v->arity == 0) trees_free_0(f);
  n->child[1 - vslot] = nullptr;
  return keep(n, vslot + 1, ch);
}

// a·(b1/b2), or the mirror (b1/b2)·a when q is the left operand: the cancellations
// of the product rule.
static TreeNode *times_quotient(TreeNode *n, int qslot, uint8_t *ch) {
  TreeNode *q = n->child[qslot], *a = n->child[1 - qslot];
  TreeNode *num = q->child[0], *den = q->child[1];
  if (trees_compare(den, a)) {
    n->child[1 - qslot] = nullptr;
    trees_free_0(a);
    return trees_select_leaf(keep(n, qslot + 1, ch), 1);
  }
  if ((is(den, op::square) || is(den, op::intpower)) && trees_compare(den->child[0], a)) {
    // a·b1/a^m is b1/a^(m-1).
    int e = is(den, op::square) ? 2 : exponent(den);
    trees_free_0(den->child[0]);
    den->child[0] = a;
    trees_modify(den, op::intpower);
    den->index = uint16_t(int16_t(e - 1));
    n->child[1 - qslot] = nullptr;
    return keep(n, qslot + 1, ch);
  }
  if (is(den, op::square) || is(den, op::intpower)) return nullptr;
  // (a·b1)/b2, the operands of the product in the order they stood.
  q->child[0] = qslot ? make(op::mulop, a, num, n) : make(op::mulop, num, a, n);
  n->child[1 - qslot] = nullptr;
  return keep(n, qslot + 1, ch);
}

static TreeNode *products(TreeNode *n, uint8_t *ch) {
  TRACE("products");
  // 1. Signs.
  if (TreeNode *r = mult_signs(n, ch)) return r;
  TreeNode *a = n->child[0], *b = n->child[1];
  // 2. Constants, zero and null vectors.
  if (isconst(a) && isconst(b)) return fold(n, cval(a) * cval(b), ch);
  if (is_zero(a) || is_zero(b)) return fold(n, 0, ch);
  if (is(a, op::nullvector)) return keep(n, 1, ch);
  if (is(b, op::nullvector)) return keep(n, 2, ch);
  // 3, 4. A constant factor.
  for (int s = 0; s < 2; s++) {
    TreeNode *c = n->child[s], *o = n->child[1 - s];
    if (!isconst(c)) continue;
    if (isone(c)) return keep(n, 2 - s, ch);
    if (TreeNode **k = constant_factor(o)) {
      trees_replace(*k, cval(*k) * cval(c));
      return keep(n, 2 - s, ch);
    }
    if (is(o, op::vector)) return scale_vector(n, 1 - s, ch);
  }
  // 5, 6. A quotient factor.
  if (is(b, op::divop))
    if (TreeNode *r = times_quotient(n, 1, ch)) return r;
  if (is(a, op::divop))
    if (TreeNode *r = times_quotient(n, 0, ch)) return r;
  // 7. A negative integer power moves to a denominator.
  for (int s = 0; s < 2; s++) {
    TreeNode *p = n->child[s];
    if (is(p, op::intpower) && exponent(p) < 0) {
      p->index = uint16_t(int16_t(-exponent(p)));
      retype(n, op::divop, n->child[1 - s], p);
      *ch = 1;
      return n;
    }
  }
  // 8. A coordinate times a sum is distributed.
  if (iscoord(a) && issum(b)) return *ch = 1, trees_distribute_left(n);
  if (issum(a) && iscoord(b)) return *ch = 1, trees_distribute_right(n);
  // 9. Constant factors move outward.
  if (TreeNode **k = constant_factor(a)) {
    // (k·x)·b and (x·k)·b: k·(x·b).
    TreeNode *kk = *k, *x = kk == a->child[0] ? a->child[1] : a->child[0];
    a->child[0] = x;
    a->child[1] = b;
    n->child[0] = kk;
    n->child[1] = a;
    *ch = 1;
    return n;
  }
  if (TreeNode **k = constant_factor(b)) {
    // a·(k·x): k·(a·x); a·(x·k): k·(x·a).
    TreeNode *kk = *k;
    if (kk == b->child[0]) {
      b->child[0] = a;
    } else {
      b->child[1] = a;
    }
    n->child[0] = kk;
    *ch = 1;
    return n;
  }
  // 10. A vector factor distributes the other factor.
  if (is(a, op::vector)) return scale_vector(n, 0, ch);
  if (is(b, op::vector)) return scale_vector(n, 1, ch);
  return n;
}

static TreeNode *quotients(TreeNode *n, uint8_t *ch) {
  TRACE("quotients");
  if (TreeNode *r = mult_signs(n, ch)) return r;
  TreeNode *a = n->child[0], *b = n->child[1];
  if (isconst(a) && isconst(b)) {
    double c1 = cval(a), c2 = cval(b);
    // The quotient is the evaluator's: 0/0 folds to 0 as it evaluates at run time, and
    // a nonzero over a divisor too small for it (0 among them) is the user's error at
    // its place.
    double q;
    if (simptree_binop(op::divop, c1, c2, false, &q) == simptree_divzero) divide_by_zero(n);
    return fold(n, q, ch);
  }
  if (is_zero(a)) return fold(n, 0, ch);
  if (isone(a)) {
    trees_free_0(a);
    retype(n, op::intpower, b, nullptr);
    n->index = uint16_t(int16_t(-1));
    *ch = 1;
    return n;
  }
  if (isconst(a)) return n;
  if (is_zero(b)) divide_by_zero(n);
  if (isone(b)) return keep(n, 1, ch);
  if (isconst(b)) {
    trees_replace(b, 1 / cval(b));
    trees_modify(n, op::mulop);
    *ch = 1;
    return n;
  }
  if (is(a, op::mulop) && left_cancel(n)) return keep(n, 1, ch);
  if (issum(a) && iscoord(b)) return *ch = 1, trees_distribute_right(n);
  if (trees_compare(a, b)) return fold(n, 1, ch);
  return n;
}

static TreeNode *powerfuns(TreeNode *n, uint8_t *ch) {
  TRACE("powerfuns");
  TreeNode *a = n->child[0], *b = n->child[1];
  if (isconst(a) && isconst(b)) return fold(n, funeval2(n), ch);
  if (isone(a) || is_zero(b)) return fold(n, 1, ch);
  if (isone(b)) return keep(n, 1, ch);
  if (isconst(b)) {
    double c = cval(b);
    if (c == std::floor(c) && std::fabs(c) <= 32767) {
      trees_free_0(b);
      retype(n, op::intpower, a, nullptr);
      n->index = uint16_t(int16_t(c));
      *ch = 1;
      return intpowers(n, ch);
    }
  }
  return n;
}

static bool is_slot_ref(const TreeNode *a, const TreeNode *b) {
  return (is(a, op::subdef) || is(a, op::subref)) && is(b, op::subref) && a->index == b->index;
}

static TreeNode *relations(TreeNode *n, uint8_t *ch) {
  TRACE("relations");
  TreeNode *a = n->child[0], *b = n->child[1];
  if (isconst(a) && isconst(b)) return fold(n, funeval2(n), ch);
  if (is(a, op::negateop) && is(b, op::negateop)) {
    n->child[0] = unneg(b);
    n->child[1] = unneg(a);
    *ch = 1;
    return n;
  }
  if (is_slot_ref(a, b) || is_slot_ref(b, a)) {
    bool strict = n->opcode == op::ltnop || n->opcode == op::neqop || n->opcode == op::gtrop;
    return fold(n, strict ? 0 : 1, ch);
  }
  return n;
}

// -(op a) for an operator over a negated operand: the sign moves outward.
static TreeNode *pullneg(TreeNode *n, uint8_t *ch) {
  TRACE("pullneg");
  TreeNode *a = n->child[0];
  if (!is(a, op::negateop)) return n;
  n->child[0] = a->child[0];
  a->child[0] = n;
  *ch = 1;
  return a;
}

static TreeNode *vectorops(TreeNode *n, uint16_t region, uint8_t *ch) {
  TreeNode *a = n->child[0];
  switch (n->opcode) {
    case op::vector: {
      bool zeros = true, negs = true;
      for (int k = 0; k < n->arity; k++) {
        zeros = zeros && is_zero(n->child[k]);
        negs = negs && is(n->child[k], op::negateop);
      }
      if (zeros) {
        trees_free_leaves(n);
        trees_modify(n, op::nullvector);
        *ch = 1;
        return n;
      }
      if (negs && n->arity > 0) {
        for (int k = 0; k < n->arity; k++) n->child[k] = unneg(n->child[k]);
        *ch = 1;
        return negate(n);
      }
      return n;
    }
    case op::vdot:
    case op::vcross: return treesimp_v_products(n, ch);
    case op::vlength:
    case op::vlength2: {
      if (report_current && !is(a, op::vector)) {
        n->child[0] = a = treesimp_vectorize(report_current, a, region);
        if (is(a, op::vector)) *ch = 1;
      }
      if (is_zero(a) || is(a, op::nullvector)) return fold(n, 0, ch);
      if (is(a, op::negateop)) {
        n->child[0] = unneg(a);
        *ch = 1;
        return n;
      }
      if (is(a, op::vector) && a->arity > 0) {
        TreeNode *s = nullptr;
        for (int k = 0; k < a->arity; k++) {
          TreeNode *q = trees_insert(a->child[k], op::square);
          a->child[k] = nullptr;
          s = s ? make(op::addop, s, q, n) : q;
        }
        bool root = n->opcode == op::vlength;
        trees_free_0(n);
        *ch = 1;
        return root ? trees_insert(s, op::sqrt) : s;
      }
      return n;
    }
    case op::vxcomp: case op::vycomp: case op::vzcomp: {
      if (is_zero(a) || is(a, op::nullvector)) return fold(n, 0, ch);
      int k = n->opcode - op::vxcomp;
      if (is(a, op::vector) && k < a->arity) {
        TreeNode *c = a->child[k];
        a->child[k] = nullptr;
        trees_free_0(n);
        *ch = 1;
        return c;
      }
      return n;
    }
    case op::vncomp: case op::vtcomp:
      if (is_zero(a) || is(a, op::nullvector)) return fold(n, 0, ch);
      return pullneg(n, ch);
    default: return n;
  }
}

static TreeNode *weirdops(TreeNode *n, uint8_t *ch) {
  switch (n->opcode) {
    case op::ifthen: {
      TreeNode *c = n->child[2];
      if (isconst(c)) return keep(n, cval(c) == 0 ? 2 : 1, ch);
      if (trees_compare(n->child[0], n->child[1])) return keep(n, 1, ch);
      return n;
    }
    case op::sumop:
      if (is_zero(n->child[2])) return fold(n, 0, ch);
      return n;
    case op::subdef:
      if (isconst(n->child[0])) return fold(n, cval(n->child[0]), ch);
      return n;
    case op::subref:
      if (n->target && isconst(n->target)) {
        double v = cval(n->target);
        n->target = nullptr;
        return fold(n, v, ch);
      }
      return n;
    default: return n;
  }
}

// The node's own rule, its children already simplified.
static TreeNode *rule(TreeNode *n, uint16_t region, uint8_t *ch) {
  TreesFpScope at(n);  // a fold that traps is reported here
  switch (n->group) {
    case leafop:
      if (n->opcode == op::realval && n->value == 0) return fold(n, 0, ch);
      return n;
    case unop:
      if (n->opcode == op::negateop) return negations(n, ch);
      if (n->opcode == op::intpower) return intpowers(n, ch);
      return unary(n, ch);
    case binop:
      switch (n->opcode) {
        case op::addop: return sums(n, ch);
        case op::subop: return differences(n, ch);
        case op::mulop: return products(n, ch);
        case op::divop: return quotients(n, ch);
        case op::powerop: return powerfuns(n, ch);
        case op::modf: case op::minf: case op::maxf: case op::urampf: case op::upulsef:
        case op::logor: case op::logand:
          if (isconst(n->child[0]) && isconst(n->child[1])) return fold(n, funeval2(n), ch);
          return n;
        case op::ltnop: case op::leqop: case op::equop: case op::neqop: case op::geqop: case op::gtrop:
          return relations(n, ch);
        default: return n;
      }
    case integrop:
    case derivop:
      if (is_zero(n->child[0]) || (n->group == derivop && is(n->child[0], op::nullvector))) return fold(n, 0, ch);
      return pullneg(n, ch);
    case vectorop: return vectorops(n, region, ch);
    case weirdop: return weirdops(n, ch);
    default: return n;
  }
}

static int children(const TreeNode *n) { return n->group == leafop || n->opcode == op::subref ? 0 : n->arity; }

// The slot is rewritten after every rule, so that it holds a whole tree whenever an
// error leaves the simplification (a rule reports before it changes anything).
static void simplify(TreeNode **slot, uint16_t region, uint8_t *changed) {
  for (;;) {
    TreeNode *n = *slot;
    uint8_t ch = 0;
    for (int k = 0; k < children(n); k++) {
      if (!n->child[k]) n->child[k] = zero_leaf();
      simplify(&n->child[k], region, changed);
    }
    *slot = rule(n, region, &ch);
    if (!ch) return;
    *changed = 1;
  }
}

TreeNode *treesimp_simplify(TreeNode *tree, uint16_t region, uint8_t *changed) {
  TRACE("treesimp_simplify");
  treesimp_simplify_in(&tree, region, changed);
  return tree;
}

void treesimp_simplify_in(TreeNode **slot, uint16_t region, uint8_t *changed) {
  TRACE("treesimp_simplify_in");
  if (*slot) simplify(slot, region, changed);
}

// ---- Vectors -----------------------------------------------------------------------------------

TreeNode *treesimp_vectorize(pde *p, TreeNode *tree, uint16_t region) {
  TRACE("treesimp_vectorize");
  if (!tree) return nullptr;
  switch (tree->group) {
    case leafop:
      if (tree->opcode == op::param && p) {
        TreeNode *def = params_find_param_tree(&model_view_of(p).formulas->definitions, tree->index, region);
        if (!def) return tree;
        TreeNode *v = treesimp_vectorize(p, trees_copy(def), region);
        if (is(v, op::vector)) {
          trees_free_0(tree);
          return v;
        }
        trees_free_0(v);
      }
      return tree;
    case unop: tree->child[0] = treesimp_vectorize(p, tree->child[0], region); return tree;
    case binop: {
      for (int k = 0; k < 2; k++) tree->child[k] = treesimp_vectorize(p, tree->child[k], region);
      TreeNode *a = tree->child[0], *b = tree->child[1];
      uint8_t ch = 0;
      if (issum(tree)) return treesimp_simplify(tree, region, &ch);
      if (tree->opcode == op::mulop && is(b, op::vector) && b->arity >= 2) return trees_distribute_left(tree);
      if (tree->opcode == op::mulop && is(a, op::vector) && a->arity >= 2) return trees_distribute_right(tree);
      if (tree->opcode == op::divop && is(a, op::vector) && a->arity >= 2) return trees_distribute_right(tree);
      return tree;
    }
    case weirdop:
      if (tree->opcode == op::ifthen)
        for (int k = 0; k < 3; k++) tree->child[k] = treesimp_vectorize(p, tree->child[k], region);
      return tree;
    default: return tree;
  }
}

TreeNode *treesimp_v_products(TreeNode *node, uint8_t *changed) {
  TRACE("treesimp_v_products");
  TreeNode *a = node->child[0], *b = node->child[1];
  if (is(a, op::nullvector) || is(b, op::nullvector)) return fold(node, 0, changed);
  if (!is(a, op::vector) || !is(b, op::vector) || a->arity != b->arity || a->arity < 2) return node;
  auto mul = [&](int i, int j) { return make(op::mulop, trees_copy(a->child[i]), trees_copy(b->child[j]), node); };
  auto cross = [&](int i, int j) { return make(op::subop, mul(i, j), mul(j, i), node); };
  TreeNode *r;
  if (node->opcode == op::vdot) {
    r = mul(0, 0);
    for (int k = 1; k < a->arity; k++) r = make(op::addop, r, mul(k, k), node);
  } else if (a->arity == 2) {
    r = cross(0, 1);
  } else {
    r = trees_new_1(op::vector, &node->loc);
    r->arity = 3;
    r->child[0] = cross(1, 2);
    r->child[1] = cross(2, 0);
    r->child[2] = cross(0, 1);
  }
  trees_free_0(node);
  *changed = 1;
  return r;
}
