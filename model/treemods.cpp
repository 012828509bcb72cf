// treemods: definition substitution and operator searches.
#include "model/treemods.h"

#include <cstdint>
#include <cstring>
#include <functional>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "control/pdedat.h"
#include "model/params.h"
#include "model/treeclas.h"
#include "model/treesimp.h"
#include "runtime/debug.h"
#include "runtime/rtlib.h"

uint16_t treemods_debug;

int treemods_init() {
  TRACE("treemods");
  return 0;
}

// The argument frames of the user-function calls being expanded, innermost on top.
// A frame holds the call's arguments already substituted in the caller's context, so
// that an argument leaf of the function needs only a copy.
enum { MAX_FRAMES = 10 };
struct argframe {
  uint16_t function;  // the function's definition number
  uint16_t count;     // arguments in use
  TreeNode *args[3];  // the substituted argument trees
};
static argframe frames[MAX_FRAMES];
static uint16_t depth;

// The substituted arguments of one call, freed when the expansion ends or is abandoned.
struct ArgTrees {
  TreeNode *t[3] = {};
  ~ArgTrees() {
    for (TreeNode *a : t) trees_free_0(a);
  }
};

// Pushes a frame for the life of the expansion; an error that abandons the
// expansion pops it on the way out.
struct FramePush {
  FramePush(uint16_t function, uint16_t count, TreeNode *const *args) {
    argframe &f = frames[depth++];
    f.function = function;
    f.count = count;
    for (int k = 0; k < count; k++) f.args[k] = args[k];
  }
  ~FramePush() { depth--; }
};

static TreeNode *copy_params(pde *p, TreeNode *n, uint16_t region, uint8_t mark);

// A copy of definition k's tree for the region, substituted; null without a tree.
static TreeNode *definition(pde *p, uint16_t k, uint16_t region, uint8_t mark) {
  paramset *defs = &p->formulas.definitions;
  TreeNode *def = params_find_param_tree(defs, k, region);
  if (!def) return nullptr;
  if (mark) defs->items[k - 1]->used = 1;
  // The copy is released when an error abandons its substitution.
  struct Held {
    TreeNode *t;
    ~Held() { trees_free_0(t); }
  } held{trees_copy(def)};
  held.t = copy_params(p, held.t, region, mark);
  return std::exchange(held.t, nullptr);
}

static TreeNode *replace(TreeNode *n, TreeNode *by) {
  if (!by) return n;
  trees_free_0(n);
  return by;
}

static TreeNode *argument(TreeNode *n) {
  uint16_t f = n->index / 4, k = n->index % 4;
  for (int i = depth - 1; i >= 0; i--) {
    if (frames[i].function != f) continue;
    if (k < 1 || k > frames[i].count) return n;
    return replace(n, trees_copy(frames[i].args[k - 1]));
  }
  return n;
}

static TreeNode *call(pde *p, TreeNode *n, uint16_t region, uint8_t mark) {
  TreeNode *def = params_find_param_tree(&p->formulas.definitions, n->index, region);
  if (!def) return n;
  if (depth >= MAX_FRAMES) treeclas_parse_error(p, n, "Recursive Evaluation");
  ArgTrees args;
  uint16_t count = n->arity > 3 ? 3 : n->arity;
  for (int k = 0; k < count; k++) args.t[k] = copy_params(p, trees_copy(n->child[k]), region, mark);
  TreeNode *body;
  {
    FramePush frame(n->index, count, args.t);
    body = definition(p, n->index, region, mark);
  }
  return replace(n, body);
}

static TreeNode *copy_params(pde *p, TreeNode *n, uint16_t region, uint8_t mark);

// Whether the tree, or a definition it names (followed through the definitions it
// names in turn), holds a derivative or vector differential operator. seen keeps a
// cycle of definitions from looping; analysis reports such cycles.
static bool holds_derivative(pde *p, const TreeNode *n, uint16_t region, std::vector<char> &seen) {
  if (!n || n->opcode == op::subref) return false;
  if (n->group == derivop) return true;
  if (n->opcode == op::param || n->opcode == op::stageparam) {
    uint16_t k = n->index;
    if (n->opcode == op::stageparam && p->stages > 0 && p->stage > 1) k = uint16_t(k + p->stage - 1);
    if (k < 1 || k > seen.size() || seen[k - 1]) return false;
    seen[k - 1] = 1;
    return holds_derivative(p, params_find_param_tree(&p->formulas.definitions, k, region), region, seen);
  }
  if (n->group == leafop) return false;
  for (int k = 0; k < n->arity && k < 3; k++)
    if (holds_derivative(p, n->child[k], region, seen)) return true;
  return false;
}

// Inside an EVAL's expression the definitions are left to the evaluator, which takes
// them in the region of the point; those under a derivative, and those that hold a
// derivative themselves, are substituted, as a derivative is carried out symbolically
// by the same expansion that every other expression goes through.
static TreeNode *copy_derived_params(pde *p, TreeNode *n, uint16_t region, uint8_t mark) {
  if (!n || n->opcode == op::subref) return n;
  if (n->opcode == op::param || n->opcode == op::stageparam) {
    std::vector<char> seen(p->formulas.definitions.count, 0);
    return holds_derivative(p, n, region, seen) ? copy_params(p, n, region, mark) : n;
  }
  if (n->group == leafop) return n;
  if (n->group == derivop) return copy_params(p, n, region, mark);
  for (int k = 0; k < n->arity && k < 3; k++) n->child[k] = copy_derived_params(p, n->child[k], region, mark);
  return n;
}

static TreeNode *copy_params(pde *p, TreeNode *n, uint16_t region, uint8_t mark) {
  if (!n) return n;
  int to = 0;  // the children to substitute: 1..to
  switch (n->group) {
    case leafop:
      switch (n->opcode) {
        case op::param: return replace(n, definition(p, n->index, region, mark));
        case op::stageparam: {
          uint16_t k = n->index;
          if (p->stages > 0 && p->stage > 1) k = uint16_t(k + p->stage - 1);
          return replace(n, definition(p, k, region, mark));
        }
        case op::fargop: return argument(n);
        default: return n;
      }
    case unop: case integrop: case derivop: to = 1; break;
    case binop: to = 2; break;
    case vectorop:
      if (n->opcode == op::vector) to = n->arity;
      else if (n->opcode == op::vdot || n->opcode == op::vcross) to = 2;
      else if (n->opcode != op::nullvector) to = 1;
      break;
    case weirdop:
      switch (n->opcode) {
        case op::ifthen: case op::pointval: case op::sumop: to = 3; break;
        case op::fparam: return call(p, n, region, mark);
        case op::fevalop: n->child[0] = copy_derived_params(p, n->child[0], region, mark); return n;
        default: treeclas_trapop(n);
      }
      break;
    default: treeclas_trapop(n);
  }
  for (int k = 0; k < to; k++) n->child[k] = copy_params(p, n->child[k], region, mark);
  return n;
}

TreeNode *treemods_copy_params(pde *p, TreeNode *tree, uint16_t region, uint8_t mark) {
  TRACE("treemods_copy_params");
  return copy_params(p, tree, region, mark);
}

uint8_t treemods_find_op(const TreeNode *tree, int32_t opcode) {
  if (!tree) return 0;
  if (tree->opcode == opcode) return 1;
  if (tree->group == leafop || tree->opcode == op::subref) return 0;
  for (int k = 0; k < tree->arity && k < 3; k++)
    if (treemods_find_op(tree->child[k], opcode)) return 1;
  return 0;
}

static bool is_value(const TreeNode *n) { return n && (n->opcode == op::realval || n->opcode == op::realzero); }
static double value_of(const TreeNode *n) { return n->opcode == op::realzero ? 0 : n->value; }
static int coord_of(const TreeNode *n) {
  if (!n) return -1;
  switch (n->opcode) {
    case op::xcoord: return 0;
    case op::ycoord: return 1;
    case op::zcoord: return 2;
    default: return -1;
  }
}

// c[0..3] are a, b, c, d.
static void planarize(double *const c[4], TreeNode *n, double f) {
  if (!n) return;  // an absent operand counts as zero
  if (is_value(n)) {
    *c[3] += f * value_of(n);
    return;
  }
  if (coord_of(n) >= 0) {
    *c[coord_of(n)] += f;
    return;
  }
  switch (n->opcode) {
    case op::addop:
      planarize(c, n->child[0], f);
      planarize(c, n->child[1], f);
      return;
    case op::subop:
      planarize(c, n->child[0], f);
      planarize(c, n->child[1], -f);
      return;
    case op::negateop: planarize(c, n->child[0], -f); return;
    case op::mulop: {
      TreeNode *a = n->child[0], *b = n->child[1];
      if (is_value(b)) std::swap(a, b);
      if (is_value(a) && coord_of(b) >= 0) {
        *c[coord_of(b)] += f * value_of(a);
        return;
      }
      break;
    }
    default: break;
  }
  treeclas_parse_error(pdedat_current, n, "Planar Surface Required");
}

void treemods_planarize(double *a, double *b, double *c, double *d, TreeNode *tree, double f) {
  TRACE("treemods_planarize");
  double *const coef[4] = {a, b, c, d};
  planarize(coef, tree, f);
}

// ---- Shared helpers ---------------------------------------------------------------------------------

static bool is(const TreeNode *n, int32_t opcode) { return n && n->opcode == opcode; }
static bool is_sum(const TreeNode *n) { return is(n, op::addop) || is(n, op::subop); }
static int children(const TreeNode *n) { return n->group == leafop || n->opcode == op::subref ? 0 : n->arity; }

// A new node of the opcode over a and b, at the position of at, with classes merged
// from its operands, so that the splitting rules can test what they build.
static TreeNode *make(int32_t opcode, TreeNode *a, TreeNode *b, const TreeNode *at) {
  TreeNode *n = trees_new_1(opcode, at ? &at->loc : nullptr);
  n->child[0] = a;
  n->child[1] = b;
  const TreeNode *src = a ? a : b;
  if (src) {
    n->rhsclass = src->rhsclass, n->timeclass = src->timeclass, n->orderclass = src->orderclass;
    n->valuetag = src->valuetag;
    if (a && b) {
      n->rhsclass = treeclas_merge_rhs(opcode, a->rhsclass, b->rhsclass);
      n->timeclass = a->timeclass > b->timeclass ? a->timeclass : b->timeclass;
      n->orderclass = a->orderclass > b->orderclass ? a->orderclass : b->orderclass;
    }
  }
  return n;
}
static TreeNode *negate(TreeNode *a) { return trees_insert(a, op::negateop); }
static TreeNode *zero_leaf() {
  TreeNode *z = trees_new_0(op::realzero);
  z->rhsclass = constex;
  z->timeclass = spacex;
  z->orderclass = order0;
  return z;
}
// A derivative node with the one coordinate selector over a.
static TreeNode *deriv(int k, TreeNode *a) {
  TreeNode *d = trees_insert(a, op::deriv);
  d->deriv[0] = uint8_t(k);
  return d;
}
// a + b where an absent operand counts as zero.
static TreeNode *plus(TreeNode *a, TreeNode *b, const TreeNode *at) {
  if (!a) return b;
  if (!b) return a;
  return make(op::addop, a, b, at);
}
// A list grows by an addop or subop above its tree with the new term second; an
// empty list starts from an absent first operand.
static void enter(TreeNode **list, TreeNode *term, int sign) {
  *list = make(sign < 0 ? op::subop : op::addop, *list, term, term);
}
// Frees the node alone and gives back its child k (from 0).
static TreeNode *unwrap(TreeNode *n, int k) {
  TreeNode *c = n->child[k];
  n->child[k] = nullptr;
  trees_free_0(n);
  return c;
}

// ---- Splitting by right-hand-side and time class ---------------------------------------------------

// The split of both walks: the split node's opcode and the class it separates.
struct Split {
  int32_t k;  // op::kkkrhs or op::kkktime
  bool time;
  bool marked(const TreeNode *n) const { return n && (time ? n->timeclass == timex : n->rhsclass == varex); }
  bool split(const TreeNode *n) const { return is(n, k); }
};

// K(a, b) turned back into the sum a + b.
static TreeNode *merge2(TreeNode *n) {
  trees_modify(n, op::addop);
  return n;
}

// A new split node over a and b with the classes of the node it replaces.
static TreeNode *splitnode(const Split &s, TreeNode *a, TreeNode *b, const TreeNode *was) {
  TreeNode *k = trees_new_1(s.k, &was->loc);
  k->rhsclass = was->rhsclass, k->timeclass = was->timeclass, k->orderclass = was->orderclass;
  k->valuetag = was->valuetag;
  k->child[0] = a;
  k->child[1] = b;
  return k;
}

// op(K(a, b)) -> K(op(a), op(b)) for a one-child node n, its selectors copied.
static TreeNode *split_over(TreeNode *n) {
  TreeNode *k = n->child[0];
  TreeNode *twin = trees_insert(k->child[1], n->opcode);
  memcpy(twin->deriv, n->deriv, sizeof n->deriv);
  twin->index = n->index;
  n->child[0] = k->child[0];
  k->child[0] = n;
  k->child[1] = twin;
  return k;
}

static TreeNode *segregate(const Split &s, TreeNode *n);

static TreeNode *split_sum(const Split &s, TreeNode *n) {
  bool minus = n->opcode == op::subop;
  TreeNode *l = n->child[0] = segregate(s, n->child[0]);
  TreeNode *r = n->child[1] = segregate(s, n->child[1]);
  int32_t o = n->opcode;
  if (s.split(l) && s.split(r)) {
    // 1. K(a, b) op K(c, d) -> K(a op c, b op d).
    n->child[0] = l->child[0], n->child[1] = r->child[0];
    TreeNode *rest = make(o, l->child[1], r->child[1], n);
    trees_free_node(r);
    l->child[0] = n, l->child[1] = rest;
    return l;
  }
  if (s.split(l)) {
    // 2. K(a, b) op R.
    if (s.marked(r)) n->child[0] = l->child[0], l->child[0] = n;
    else n->child[0] = l->child[1], l->child[1] = n;
    return l;
  }
  if (s.split(r)) {
    // 3. L op K(c, d).
    TreeNode *c = r->child[0], *d = r->child[1];
    if (s.marked(l)) {
      n->child[1] = c;
      r->child[0] = n;
      r->child[1] = minus ? negate(d) : d;
    } else {
      n->child[1] = d;
      r->child[0] = minus ? negate(c) : c;
      r->child[1] = n;
    }
    return r;
  }
  // 4. Both plain.
  if (s.marked(l) && !s.marked(r)) {
    TreeNode *k = splitnode(s, l, minus ? negate(r) : r, n);
    trees_free_node(n);
    return k;
  }
  if (s.marked(r) && !s.marked(l)) {
    TreeNode *k = splitnode(s, minus ? negate(r) : r, l, n);
    trees_free_node(n);
    return k;
  }
  return n;
}

static TreeNode *segregate(const Split &s, TreeNode *n) {
  if (!n) return n;
  switch (n->group) {
    case leafop: case vectorop: return n;
    case complexop:
      if (s.time) treeclas_trapop(n);
      return n;
    case derivop:
      if (!s.time) return n;
      [[fallthrough]];
    case integrop:
      if (s.time && n->group == integrop) treeclas_trapop(n);
      n->child[0] = segregate(s, n->child[0]);
      return s.split(n->child[0]) ? split_over(n) : n;
    case weirdop:
      switch (n->opcode) {
        case op::ifthen: case op::pointval: case op::fevalop: return n;
        case op::sumop:
          if (s.time) treeclas_trapop(n);
          return n;
        default: treeclas_trapop(n);
      }
    case unop: {
      n->child[0] = segregate(s, n->child[0]);
      TreeNode *k = n->child[0];
      if (!s.split(k)) return n;
      if (n->opcode != op::negateop) {
        merge2(k);
        return n;
      }
      // -K(a, b) -> K(-a, -b).
      trees_free_node(n);
      k->child[0] = negate(k->child[0]);
      k->child[1] = negate(k->child[1]);
      return k;
    }
    case binop: {
      if (is_sum(n)) return split_sum(s, n);
      TreeNode *l = n->child[0] = segregate(s, n->child[0]);
      TreeNode *r = n->child[1] = segregate(s, n->child[1]);
      if (n->opcode == op::mulop) {
        if (!s.marked(l) && s.split(r)) return trees_distribute_left(n);
        if (s.split(l)) {
          if (!s.marked(r)) return trees_distribute_right(n);
          merge2(l);
        }
      } else if (n->opcode == op::divop) {
        if (s.split(l) && !s.marked(r)) return trees_distribute_right(n);
        if (s.split(l)) merge2(l);
      } else if (s.split(l)) {
        merge2(l);
      }
      if (s.split(r)) merge2(r);
      return n;
    }
    default: treeclas_trapop(n);
  }
}

TreeNode *treemods_segregate_rhs(TreeNode *tree) {
  TRACE("treemods_segregate_rhs");
  return segregate(Split{op::kkkrhs, false}, tree);
}

TreeNode *treemods_segregate_time(TreeNode *tree) {
  TRACE("treemods_segregate_time");
  return segregate(Split{op::kkktime, true}, tree);
}

// ---- Splitting by derivative order -----------------------------------------------------------------

// The slot of a kkkord node for an order class: 0 second or third order, 1 first, 2 zero.
static int order_slot(int32_t c) { return c >= order2 ? 0 : c == order1 ? 1 : 2; }

// kkkord(a, b, c) turned back into the sum (a + b) + c (absent slots left out).
static TreeNode *merge3(TreeNode *k) {
  TreeNode *s = plus(plus(k->child[0], k->child[1], k), k->child[2], k);
  k->child[0] = k->child[1] = k->child[2] = nullptr;
  if (!s) s = zero_leaf();
  s->orderclass = k->orderclass;
  s->timeclass = k->timeclass;
  trees_free_node(k);
  return s;
}

// The factor f multiplied into (or divided out of) every present slot of k: side 0
// f·slot, side 1 slot·f (opcode mulop or divop). The node n and f are consumed.
static TreeNode *spread(TreeNode *n, TreeNode *k, TreeNode *f, int side) {
  for (TreeNode *&c : k->child) {
    if (!c) continue;
    c = side == 0 ? make(n->opcode, trees_copy(f), c, n) : make(n->opcode, c, trees_copy(f), n);
  }
  trees_free_0(f);
  trees_free_node(n);
  return k;
}

static TreeNode *order_split(TreeNode *n) {
  if (!n) return n;
  switch (n->group) {
    case leafop: case derivop: case vectorop: return n;
    case weirdop:
      switch (n->opcode) {
        case op::ifthen: case op::pointval: case op::fevalop: return n;
        default: treeclas_trapop(n);
      }
    case unop: {
      TreeNode *k = n->child[0] = order_split(n->child[0]);
      if (!is(k, op::kkkord)) return n;
      if (n->opcode != op::negateop) {
        n->child[0] = merge3(k);
        return n;
      }
      trees_free_node(n);
      for (TreeNode *&c : k->child)
        if (c) c = negate(c);
      return k;
    }
    case binop: break;
    default: treeclas_trapop(n);
  }
  if (n->opcode == op::subop) {
    trees_modify(n, op::addop);
    n->child[1] = negate(n->child[1]);
  }
  TreeNode *l = n->child[0] = order_split(n->child[0]);
  TreeNode *r = n->child[1] = order_split(n->child[1]);
  bool kl = is(l, op::kkkord), kr = is(r, op::kkkord);
  switch (n->opcode) {
    case op::mulop:
      if (kr && !kl && l->orderclass == order0) return spread(n, r, l, 0);
      if (kl && !kr && r->orderclass == order0) return spread(n, l, r, 1);
      if (kl) n->child[0] = merge3(l);
      if (kr) n->child[1] = merge3(r);
      return n;
    case op::divop:
      if (kl && !kr && r->orderclass == order0) return spread(n, l, r, 1);
      return n;
    case op::addop: break;
    default:
      if (kl) n->child[0] = merge3(l);
      if (kr) n->child[1] = merge3(r);
      return n;
  }
  if (l->timeclass == timex) {
    n->child[0] = r, n->child[1] = l;
    return n;
  }
  if (r->timeclass == timex) return n;
  if (kl && kr) {
    // 1. Slotwise sums.
    for (int k = 0; k < 3; k++) l->child[k] = plus(l->child[k], r->child[k], n), r->child[k] = nullptr;
    trees_free_node(r);
    trees_free_node(n);
    return l;
  }
  if (kl || kr) {
    // 2., 3. The plain operand joins the slot of its class.
    TreeNode *k = kl ? l : r, *plain = kl ? r : l;
    int slot = order_slot(plain->orderclass);
    k->child[slot] = kl ? plus(k->child[slot], plain, n) : plus(plain, k->child[slot], n);
    trees_free_node(n);
    return k;
  }
  // 4. Both plain: different classes make a kkkord.
  int sl = order_slot(l->orderclass), sr = order_slot(r->orderclass);
  if (l->orderclass == r->orderclass) return n;
  TreeNode *k = trees_new_1(op::kkkord, &n->loc);
  k->rhsclass = n->rhsclass, k->timeclass = n->timeclass, k->orderclass = n->orderclass;
  k->valuetag = n->valuetag;
  if (sl == sr) {
    k->child[sl] = n;  // order2 and order3 share the first slot as their sum
    return k;
  }
  k->child[sl] = l;
  k->child[sr] = r;
  trees_free_node(n);
  return k;
}

TreeNode *treemods_segregate_order(TreeNode *tree) {
  TRACE("treemods_segregate_order");
  return order_split(tree);
}

// ---- Splitting by the coordinate of the derivative --------------------------------------------------

static bool is_deriv(const TreeNode *n) { return is(n, op::deriv); }

// The derivative factor of a term that chooses its coordinate, or null.
static const TreeNode *derivative_factor(const TreeNode *t, uint16_t variable) {
  const TreeNode *a = t->child[0], *b = t->child[1];
  auto inner = [&](const TreeNode *f) -> const TreeNode * {
    return is(f, op::mulop) || is(f, op::divop) ? derivative_factor(f, variable) : nullptr;
  };
  if (is(t, op::mulop)) {
    if (is_deriv(b) && a && a->orderclass == order0) return b;
    if (is_deriv(a) && b && b->orderclass == order0) return a;
    if (is_deriv(b) && b->child[0] && (is(b->child[0], op::varble) || is(b->child[0], op::eigvec)) &&
        b->child[0]->index == variable)
      return b;
    if (is_deriv(a)) return a;
    if (is_deriv(b)) return b;
    if (const TreeNode *f = inner(a)) return f;
    return inner(b);
  }
  if (is(t, op::divop)) {
    if (is_deriv(a)) return a;
    if (is_deriv(b)) return b;
    if (const TreeNode *f = inner(a)) return f;
    return inner(b);
  }
  return nullptr;
}

// The x, y or z list of a kkkxyz node for selector 1..3; null for any other.
static TreeNode **xyz_slot(TreeNode *list, int selector) {
  return selector >= 1 && selector <= 3 ? &list->child[selector - 1] : nullptr;
}

static void coord_split(TreeNode *n, TreeNode *list, uint16_t variable, int sign) {
  if (!n) return;
  if (is_sum(n) || is(n, op::negateop)) {
    bool neg = is(n, op::negateop), minus = is(n, op::subop);
    coord_split(n->child[0], list, variable, neg ? -sign : sign);
    if (!neg) coord_split(n->child[1], list, variable, minus ? -sign : sign);
    n->child[0] = n->child[1] = nullptr;
    trees_free_node(n);
    return;
  }
  const TreeNode *d = is_deriv(n) ? n : derivative_factor(n, variable);
  TreeNode **slot = d ? xyz_slot(list, d->deriv[0]) : nullptr;
  if (!slot) {
    trees_free_0(n);
    return;
  }
  enter(slot, n, sign);
}

void treemods_segregate_coord(TreeNode *tree, TreeNode *list, uint16_t variable, int sign) {
  TRACE("treemods_segregate_coord");
  coord_split(tree, list, variable, sign);
}

// ---- Moving derivatives outward ------------------------------------------------------------------

static TreeNode *pullup(TreeNode *n, uint16_t region);

static TreeNode *pull_children(TreeNode *n, uint16_t region, int count) {
  for (int k = 0; k < count; k++) n->child[k] = pullup(n->child[k], region);
  return n;
}

static int32_t order_class(TreeNode *n, uint16_t region) {
  treeclas_classify_order(pdedat_current, n, region);
  return n->orderclass;
}

static TreeNode *pull_product(TreeNode *n, uint16_t region) {
  TreeNode *l = n->child[0], *r = n->child[1];
  bool mul = n->opcode == op::mulop;
  if (mul && is_sum(r)) return pullup(trees_distribute_left(n), region);
  if (is_sum(l)) return pullup(trees_distribute_right(n), region);
  if (is(l, op::mulop)) {
    // (a·b) op c: the factor of lower order goes outward.
    order_class(n, region);
    TreeNode *a = l->child[0], *b = l->child[1];
    if (l->orderclass <= r->orderclass || a->orderclass == b->orderclass) return pull_children(n, region, 2);
    if (a->orderclass > b->orderclass) {
      n->child[0] = b;  // a·(b op c)
      l->child[1] = n;
    } else {
      n->child[0] = a;  // (a op c)·b
      l->child[0] = n;
    }
    return pullup(l, region);
  }
  if (mul && is(r, op::mulop)) {
    // c·(a·b).
    order_class(n, region);
    TreeNode *a = r->child[0], *b = r->child[1];
    if (r->orderclass <= l->orderclass || a->orderclass == b->orderclass) return pull_children(n, region, 2);
    if (a->orderclass > b->orderclass) {
      r->child[0] = l;  // a·(c·b)
      n->child[0] = a;
    } else {
      r->child[0] = a;  // b·(a·c)
      r->child[1] = l;
      n->child[0] = b;
    }
    return pullup(n, region);
  }
  return pull_children(n, region, 2);
}

static TreeNode *pullup(TreeNode *n, uint16_t region) {
  if (!n) return n;
  switch (n->group) {
    case leafop:
      if ((is(n, op::varble) || is(n, op::eigvec)) && n->deriv[0]) {
        // u with selectors (s1, s2, s3) becomes d_s1(u with (s2, s3)).
        uint8_t s1 = n->deriv[0];
        n->deriv[0] = n->deriv[1], n->deriv[1] = n->deriv[2], n->deriv[2] = 0;
        return deriv(s1, n);
      }
      return n;
    case derivop:
      if (n->opcode == op::deriv) {
        while (n->deriv[1]) {
          int s = n->deriv[2] ? 2 : 1;
          n->child[0] = deriv(n->deriv[s], n->child[0]);
          n->deriv[s] = 0;
        }
      }
      return n;
    case unop:
      if (n->opcode == op::negateop && n->child[0] && n->child[0]->group == derivop) {
        // -d(a) becomes d(-a).
        TreeNode *d = n->child[0];
        n->child[0] = d->child[0];
        d->child[0] = n;
        return pullup(d, region);
      }
      return pull_children(n, region, 1);
    case binop:
      if (is_sum(n)) {
        TreeNode *a = n->child[0] = pullup(n->child[0], region);
        TreeNode *b = n->child[1] = pullup(n->child[1], region);
        if (is(a, op::deriv) && is(b, op::deriv) && !memcmp(a->deriv, b->deriv, 3)) {
          n->child[0] = a->child[0];
          n->child[1] = unwrap(b, 0);
          a->child[0] = n;
          return a;
        }
        return n;
      }
      if (n->opcode == op::mulop || n->opcode == op::divop) return pull_product(n, region);
      return pull_children(n, region, 2);
    case integrop: case complexop: return n;
    case vectorop: return n->opcode == op::vector ? pull_children(n, region, n->arity) : n;
    case weirdop:
      switch (n->opcode) {
        case op::ifthen: return pull_children(n, region, 3);
        case op::fevalop: return n;
        default: treeclas_trapop(n);
      }
    default: treeclas_trapop(n);
  }
}

TreeNode *treemods_pullup(TreeNode *tree, uint16_t region) {
  TRACE("treemods_pullup");
  return pullup(tree, region);
}

// ---- Galerkin distribution ---------------------------------------------------------------------------

struct Galerkin {
  TreeNode *body;  // the integral node whose child is the body list
  TreeNode *list;  // the kkkxyz node of the surface lists
  bool firstparts;
};

static void to_slot(const Galerkin &g, int k, TreeNode *term, int sign) {
  TreeNode **slot = xyz_slot(g.list, k);
  if (slot) enter(slot, term, sign);
  else trees_free_0(term);
}

// One term, integrated by parts when its order asks for it.
static void galerkin_term(const Galerkin &g, TreeNode *t, int sign) {
  bool low = t->orderclass <= order0 || (t->orderclass == order1 && !g.firstparts);
  if (low) return enter(&g.body->child[0], t, sign);
  if (is_deriv(t)) {
    // 1. d_k(F): F to slot k.
    int k = t->deriv[0];
    return to_slot(g, k, unwrap(t, 0), sign);
  }
  if (is(t, op::mulop) && is_deriv(t->child[1]) && t->child[0]->orderclass == order0 && !is_deriv(t->child[0]))
    std::swap(t->child[0], t->child[1]);
  TreeNode *d = t->child[0], *c = t->group == binop ? t->child[1] : nullptr;
  if ((is(t, op::mulop) || is(t, op::divop)) && is_deriv(d) && c && c->orderclass == order0) {
    int k = d->deriv[0];
    TreeNode *f = t->child[0] = unwrap(d, 0);
    // The body takes -F·d_k(c) (2.) or -F·d_k(1/c) (3.).
    TreeNode *fc = is(t, op::mulop) ? trees_copy(c) : trees_insert(trees_copy(c), op::recipf);
    TreeNode *rest = make(op::mulop, trees_copy(f), deriv(k, fc), t);
    to_slot(g, k, t, sign);
    return enter(&g.body->child[0], rest, -sign);
  }
  enter(&g.body->child[0], t, sign);
}

static void galerkin_walk(const Galerkin &g, TreeNode *n, int sign) {
  if (is_sum(n) || is(n, op::negateop)) {
    bool neg = is(n, op::negateop), minus = is(n, op::subop);
    galerkin_walk(g, n->child[0], neg ? -sign : sign);
    if (!neg) galerkin_walk(g, n->child[1], minus ? -sign : sign);
    n->child[0] = n->child[1] = nullptr;
    trees_free_node(n);
    return;
  }
  if (n) galerkin_term(g, n, sign);
}

void treemods_galerkinize(TreeNode *tree, TreeNode *body, TreeNode *list, uint16_t region, uint8_t firstparts) {
  TRACE("treemods_galerkinize");
  tree = pullup(tree, region);
  treeclas_classify_order(pdedat_current, tree, region);
  galerkin_walk(Galerkin{body, list, firstparts != 0}, tree, 1);
}

TreeNode *treemods_combine_xyz(pde *p, TreeNode *a, TreeNode *b, int32_t opcode) {
  TRACE("treemods_combine_xyz");
  TreeNode *sum = nullptr;
  for (int k = 1; k <= p->dimension && k <= 3; k++) {
    TreeNode *ak = a && a->child[k - 1] ? trees_copy(a->child[k - 1]) : nullptr;
    TreeNode *bk = b && b->child[k - 1] ? trees_copy(b->child[k - 1]) : nullptr;
    TreeNode *in = plus(ak, bk, a);
    TreeNode *term = trees_insert(in ? in : zero_leaf(), opcode);
    term->deriv[0] = uint8_t(k);
    sum = plus(sum, term, a);
  }
  return sum ? sum : zero_leaf();
}

// ---- Vector operators ----------------------------------------------------------------------------------

// Metric coefficient k (1..8) of the problem, a copy.
static TreeNode *metric_tree(pde *p, int k) {
  const TreeNode *m = p->coords.trees[k - 1];
  return m ? trees_copy(m) : trees_new_real_0(1);
}
static bool weighted(const pde *p) { return p->coords.geometry != 1; }
static TreeNode *mul(TreeNode *a, TreeNode *b, const TreeNode *at) { return make(op::mulop, a, b, at); }
static TreeNode *quot(TreeNode *a, TreeNode *b, const TreeNode *at) { return make(op::divop, a, b, at); }
static TreeNode *minus(TreeNode *a, TreeNode *b, const TreeNode *at) { return make(op::subop, a, b, at); }

// d_k(M_m·a) when the metric weighs, else d_k(a).
static TreeNode *dweighted(pde *p, int k, int m, TreeNode *a, const TreeNode *at) {
  return deriv(k, weighted(p) ? mul(metric_tree(p, m), a, at) : a);
}
// M_m·a when the metric weighs, else a.
static TreeNode *scaled(pde *p, int m, TreeNode *a, const TreeNode *at) {
  return weighted(p) ? mul(metric_tree(p, m), a, at) : a;
}
// The tree over M7 when the metric weighs.
static TreeNode *per_volume(pde *p, TreeNode *a, const TreeNode *at) {
  return weighted(p) ? quot(a, metric_tree(p, 7), at) : a;
}
static TreeNode *vector_of(std::initializer_list<TreeNode *> c, const TreeNode *at) {
  TreeNode *v = trees_new_1(op::vector, &at->loc);
  v->arity = 0;
  for (TreeNode *x : c) v->child[v->arity++] = x;
  v->valuetag = vtag::vector;
  return v;
}

static TreeNode *divergence(pde *p, TreeNode *n) {
  TreeNode *a = n->child[0];
  if (!is(a, op::vector)) a = n->child[0] = treesimp_vectorize(p, a, 0);
  if (!is(a, op::vector)) rtlib_fatal_in("treemods_expand_vecops_0", "DIVERGENCE OF SCALAR");
  int count = a->arity;
  if (count < 1 || count > 3) rtlib_fatal_in("treemods_expand_vecops_0", "BAD METRIC");
  TreeNode *sum = nullptr;
  for (int k = 1; k <= count; k++) {
    TreeNode *c = a->child[k - 1] ? a->child[k - 1] : zero_leaf();
    a->child[k - 1] = nullptr;
    sum = plus(sum, dweighted(p, k, k + 3, c, n), n);
  }
  return per_volume(p, sum, n);
}

static TreeNode *gradient(pde *p, TreeNode *u, const TreeNode *at) {
  if (p->dimension == 0) rtlib_fatal_in("treemods_expand_vecops_0", "NULL DIMENSION");
  if (is(u, op::vector) || u->valuetag == vtag::vector) rtlib_fatal_in("treemods_expand_vecops_0", "GRADIENT OF VECTOR");
  TreeNode *v = trees_new_1(op::vector, &at->loc);
  v->valuetag = vtag::vector;
  v->arity = uint8_t(p->dimension > 3 ? 3 : p->dimension);
  for (int k = 1; k <= v->arity; k++) {
    TreeNode *d = deriv(k, k == v->arity ? u : trees_copy(u));
    v->child[k - 1] = weighted(p) ? quot(d, metric_tree(p, k), at) : d;
  }
  return v;
}

static TreeNode *curl(pde *p, TreeNode *n) {
  TreeNode *a = n->child[0];
  if (!is(a, op::vector)) {
    // The curl of a scalar u, the vector (d_y(u), -d_x(u)) in the plane.
    if (p->dimension != 2) rtlib_fatal_in("treemods_expand_vecops_0", "CURL OF SCALAR");
    n->child[0] = nullptr;
    TreeNode *c1 = per_volume(p, scaled(p, 1, dweighted(p, 2, 3, trees_copy(a), n), n), n);
    TreeNode *c2 = negate(per_volume(p, scaled(p, 2, dweighted(p, 1, 3, a, n), n), n));
    return vector_of({c1, c2}, n);
  }
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

static TreeNode *expand(pde *p, TreeNode *n, uint16_t region) {
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
      for (int k = 0; k < 2; k++) n->child[k] = treesimp_vectorize(p, n->child[k], region);
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

TreeNode *treemods_expand_vecops(pde *p, TreeNode *tree, uint16_t region) {
  TRACE("treemods_expand_vecops");
  return expand(p, tree, region);
}

// ---- Common subexpressions -----------------------------------------------------------------------

// The pass walks each root's subtrees in the order a search for an earlier equal
// subtree meets them: children before their node, left to right, not into fevalop
// nodes, and of an ifthen only into its condition. Rather than searching that walk
// again for every node (quadratic in the tree's size), the walk is listed once per
// root and its nodes filed by a hash that every pair trees_compare finds equal
// shares; a node is then compared only with the earlier nodes of its hash.

namespace {

uint64_t mix(uint64_t h, uint64_t v) {
  h ^= v + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2);
  return h;
}

struct CommonPass {
  std::unordered_map<const TreeNode *, uint64_t> hashes;
  std::unordered_set<const TreeNode *> freed;  // released by an earlier subref
  uint64_t unique = 0;                         // for nodes that equal none but themselves

  // Equal trees (by trees_compare) get equal hashes: commutative operands combine in
  // either order, a subref hashes as its target, and a leaf by what its comparison reads.
  uint64_t hash(const TreeNode *n) {
    if (!n) return 0x51ed27;
    if (n->opcode == op::subref) return n->target ? hash(n->target) : 0x5b7ef;
    auto found = hashes.find(n);
    if (found != hashes.end()) return found->second;
    uint64_t h = mix(0x1234567, uint64_t(n->opcode));
    auto ordered = [&](int count) {
      for (int k = 0; k < count && k < 3; k++) h = mix(h, hash(n->child[k]));
    };
    auto either = [&]() {
      uint64_t a = hash(n->child[0]), b = hash(n->child[1]);
      h = mix(h, a + b), h = mix(h, a ^ b);
    };
    switch (n->group) {
      case leafop:
        switch (n->opcode) {
          case op::undef: case op::realzero: case op::xcoord: case op::ycoord: case op::zcoord: case op::tcoord:
          case op::stageval: case op::voljac: case op::lambda: case op::deltat: case op::treestring:
            break;
          case op::realval: h = mix(h, n->value == 0 ? 0 : std::hash<double>{}(n->value)); break;
          case op::varble: case op::vardot: case op::eigvec: case op::param: case op::stageparam: case op::febasis:
          case op::tableval: case op::fitfun: case op::savefun: case op::evalop: case op::xferval:
            h = mix(h, n->index);
            for (uint8_t d : n->deriv) h = mix(h, d);
            break;
          case op::partfun: case op::jelem: h = mix(h, ++unique); break;
          default: h = mix(h, n->index);
        }
        break;
      case unop:
        if (n->opcode == op::randomf) h = mix(h, ++unique);
        if (n->opcode == op::intpower || n->opcode == op::besjf || n->opcode == op::besyf || n->opcode == op::arrayref)
          h = mix(h, n->index);
        ordered(1);
        break;
      case binop:
        if (trees_optable[n->opcode].commutative) either();
        else ordered(2);
        break;
      case integrop: h = mix(h, n->deriv[0]), ordered(1); break;
      case derivop:
        for (uint8_t d : n->deriv) h = mix(h, d);
        ordered(1);
        break;
      case vectorop:
        h = mix(h, n->arity);
        if (n->opcode == op::vdot) either();
        else ordered(n->arity);
        break;
      case weirdop:
        if (n->opcode == op::ifthen || n->opcode == op::pointvec || n->opcode == op::pointval || n->opcode == op::sumop)
          ordered(3);
        else if (n->opcode == op::fparam) h = mix(mix(h, n->index), n->arity), ordered(n->arity);
        else h = mix(h, ++unique);
        break;
      default: h = mix(h, ++unique);
    }
    hashes[n] = h;
    return h;
  }

  // One root's walk: each node's position, and the positions of each hash in order.
  struct Walk {
    std::unordered_map<const TreeNode *, size_t> position;
    std::unordered_map<uint64_t, std::vector<std::pair<size_t, TreeNode *>>> byhash;
  };

  void list(Walk &w, TreeNode *t) {
    if (!t) return;
    if (!is(t, op::fevalop)) {
      if (is(t, op::ifthen)) list(w, t->child[2]);
      else
        for (int k = 0; k < children(t); k++) list(w, t->child[k]);
    }
    size_t at = w.position.size();
    w.position[t] = at;
    w.byhash[hash(t)].push_back({at, t});
  }

  // The first node of the walk before node (all of it when node is not in the walk)
  // that equals node and is still in the tree.
  TreeNode *earlier(Walk &w, const TreeNode *node) {
    auto at = w.position.find(node);
    size_t end = at == w.position.end() ? SIZE_MAX : at->second;
    auto bucket = w.byhash.find(hash(node));
    if (bucket == w.byhash.end()) return nullptr;
    for (auto [k, t] : bucket->second) {
      if (k >= end) break;
      if (!freed.count(t) && trees_compare(t, node)) return t;
    }
    return nullptr;
  }

  void forget(const TreeNode *t) {
    for (int k = 0; k < children(t); k++)
      if (t->child[k]) freed.insert(t->child[k]), forget(t->child[k]);
  }

  void find(Walk &w, TreeNode *node) {
    if (!node) return;
    for (int k = 0; k < children(node); k++) {
      bool own = (is(node, op::ifthen) && k < 2) || (is(node, op::fevalop) && k == 0) || (is(node, op::sumop) && k == 2);
      if (own) {
        Walk inner;
        list(inner, node->child[k]);
        find(inner, node->child[k]);
      } else {
        find(w, node->child[k]);
      }
    }
    if (is_value(node) || is(node, op::subref)) return;
    TreeNode *copy = earlier(w, node);
    if (!copy) return;
    forget(node);
    trees_free_leaves(node);
    trees_modify(node, op::subref);
    node->target = copy;
    node->index = 0;
    memset(node->deriv, 0, sizeof node->deriv);
  }
};

}  // namespace

void treemods_find_common(TreeNode *root, TreeNode *node) {
  if (!node) return;
  CommonPass pass;
  CommonPass::Walk w;
  pass.list(w, root);
  pass.find(w, node);
}

// The position of the node in the slot list, entered when new.
static uint16_t enlist_node(treevector *slots, TreeNode *node, bool *added) {
  for (uint16_t k = 1; k <= slots->count; k++)
    if (slots->data[k - 1] == node) return *added = false, k;
  *added = true;
  return trees_one_more(slots, node);
}

void treemods_link_common(TreeNode *tree, treevector *slots) {
  if (!tree) return;
  for (int k = 0; k < children(tree); k++) treemods_link_common(tree->child[k], slots);
  if (!is(tree, op::subref)) return;
  TreeNode *t = tree->target;
  if (!t) rtlib_fatal_in("treemods_link_common_0", "INVALID SUBREF");
  bool added;
  tree->index = enlist_node(slots, t, &added);
  if (!added) return;
  // The target's content moves into a new node under the target, now a subdef.
  TreeNode *content = trees_new_0(t->opcode);
  *content = *t;
  memset(t->child, 0, sizeof t->child);
  trees_modify(t, op::subdef);
  t->child[0] = content;
  t->index = tree->index;
  memset(t->deriv, 0, sizeof t->deriv);
}

// ---- Fits, erasures and small operations ----------------------------------------------------------

void treemods_find_fits(pde *p, vectorn *list, TreeNode *tree, uint16_t region) {
  if (!tree) return;
  switch (tree->opcode) {
    case op::fitfun: case op::savefun: case op::globalmin: case op::globalmax: case op::volint: case op::surfint:
    case op::bdryint: case op::minspot: case op::maxspot: case op::jelem: case op::evalop:
      vectorn_enlist(list, tree->index);
      return;
    case op::param: case op::stageparam:
      treemods_find_fits(p, list, params_find_param_tree(&p->formulas.definitions, tree->index, region), region);
      return;
    default:
      for (int k = 0; k < children(tree); k++) treemods_find_fits(p, list, tree->child[k], region);
  }
}

static bool is_var(const TreeNode *n) { return is(n, op::varble) || is(n, op::eigvec); }

uint8_t treemods_erase_var(TreeNode *tree, uint16_t variable, uint8_t s1, uint8_t s2) {
  TreeNode *n = tree;
  if (!n) return 0;
  if (is_var(n)) {
    if (n->index != variable || n->deriv[0] != s1 || n->deriv[1] != s2) return 0;
    trees_replace(n, 1);
    return 1;
  }
  switch (n->opcode) {
    case op::addop: case op::subop: {
      uint8_t a = treemods_erase_var(n->child[0], variable, s1, s2);
      uint8_t b = treemods_erase_var(n->child[1], variable, s1, s2);
      if (a != b) trees_replace(n->child[a ? 1 : 0], 0);
      return a | b;
    }
    case op::mulop: {
      uint8_t a = treemods_erase_var(n->child[0], variable, s1, s2);
      return uint8_t(a | treemods_erase_var(n->child[1], variable, s1, s2));
    }
    case op::divop: case op::negateop: return treemods_erase_var(n->child[0], variable, s1, s2);
    default: return 0;
  }
}

uint8_t treemods_erase_dot(TreeNode *tree) {
  TreeNode *n = tree;
  if (!n) return 0;
  if (is_var(n)) {
    if (n->deriv[0] != 4) return 0;
    if (n->deriv[1] == 4) treeclas_parse_error(pdedat_current, n, "Illegal Second Time Derivative");
    trees_modify(n, op::vardot);
    n->deriv[0] = n->deriv[1], n->deriv[1] = n->deriv[2], n->deriv[2] = 0;
    return 0;
  }
  if (is(n, op::febasis)) {
    if (n->deriv[0] == 4) {
      n->deriv[0] = n->deriv[1], n->deriv[1] = n->deriv[2], n->deriv[2] = 0;
      return 1;
    }
    if (n->deriv[1] == 4) {
      n->deriv[1] = n->deriv[2], n->deriv[2] = 0;
      return 1;
    }
    trees_replace(n, 0);
    return 0;
  }
  if (is_sum(n)) {
    uint8_t a = treemods_erase_dot(n->child[0]), b = treemods_erase_dot(n->child[1]);
    if (a != b) trees_replace(n->child[a ? 1 : 0], 0);
    return a | b;
  }
  uint8_t found = 0;
  for (int k = 0; k < children(n); k++) found |= treemods_erase_dot(n->child[k]);
  return found;
}

// Every leaf of the opcode becomes a constant: by(leaf) gives its value.
template <class F> static void leaves_to_value(TreeNode *n, int32_t opcode, F by) {
  if (!n) return;
  if (n->opcode == opcode) return trees_replace(n, by(n));
  for (int k = 0; k < children(n); k++) leaves_to_value(n->child[k], opcode, by);
}

void treemods_erase_lambda(TreeNode *tree) {
  leaves_to_value(tree, op::lambda, [](const TreeNode *) { return 1.0; });
}

void treemods_patch_basis(TreeNode *tree) {
  leaves_to_value(tree, op::febasis, [](const TreeNode *n) { return n->deriv[0] ? 0.0 : 1.0; });
}

TreeNode *treemods_stagify(TreeNode *tree, double value) {
  leaves_to_value(tree, op::stageval, [value](const TreeNode *) { return value; });
  return tree;
}

TreeNode *treemods_component_sum(TreeNode *node) {
  TRACE("treemods_component_sum");
  for (int k = 0; k < (node->arity >= 3 ? 3 : 2); k++)
    if (!node->child[k]) node->child[k] = zero_leaf();
  TreeNode *first = make(op::addop, node->child[0], node->child[1], node);
  if (node->arity >= 3) {
    TreeNode *third = node->child[2];
    trees_modify(node, op::addop);
    node->child[0] = first, node->child[1] = third, node->child[2] = nullptr;
    return node;
  }
  node->child[0] = node->child[1] = node->child[2] = nullptr;
  trees_free_node(node);
  return first;
}

uint16_t treemods_vector_dim(const TreeNode *tree) {
  if (!tree) return 0;
  uint16_t most = is(tree, op::vector) ? tree->arity : 0;
  for (int k = 0; k < children(tree); k++) {
    uint16_t d = treemods_vector_dim(tree->child[k]);
    if (d > most) most = d;
  }
  return most;
}

// Rebuilds the tree children first: nodes of the opcode become by(node), every other
// node is simplified (region 0).
template <class F> static TreeNode *substitute(TreeNode *n, int32_t opcode, F by) {
  if (!n) return n;
  if (n->opcode == opcode) return by(n);
  for (int k = 0; k < children(n); k++) n->child[k] = substitute(n->child[k], opcode, by);
  uint8_t ch = 0;
  return treesimp_simplify(n, 0, &ch);
}

TreeNode *treemods_substitute_0(TreeNode *tree, int32_t opcode, double value) {
  TRACE("treemods_substitute_0");
  return substitute(tree, opcode, [value](TreeNode *n) {
    trees_replace(n, value);
    return n;
  });
}

TreeNode *treemods_substitute_1(TreeNode *tree, int32_t opcode, int32_t opcode2) {
  TRACE("treemods_substitute_1");
  return substitute(tree, opcode, [opcode2](TreeNode *n) {
    trees_modify(n, opcode2);
    return n;
  });
}

TreeNode *treemods_copy_substitute(const TreeNode *tree, int32_t opcode, double value) {
  TRACE("treemods_copy_substitute");
  return treemods_substitute_0(trees_copy(tree), opcode, value);
}
