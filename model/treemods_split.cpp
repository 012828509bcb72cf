// treemods_split: the splits of a tree by right-hand-side and time class, by
// derivative order and by the coordinate of its derivatives.
#include <cstring>

#include "model/treeclas.h"
#include "model/treemods.h"
#include "model/treemods_internal.h"
#include "runtime/rtlib.h"

// ---- Splitting by right-hand-side and time class ---------------------------------------------------

// The split of both walks: the split node's opcode and the class it separates.
struct Split {
  int32_t k;  // op::kkkrhs or op::kkktime
  bool time;
  bool within = false;  // derivatives are split as the time split splits them
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
      if (!s.time && !s.within) return n;
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

TreeNode *treemods_segregate_rhs(TreeNode *tree, bool within) {
  TRACE("treemods_segregate_rhs");
  return segregate(Split{op::kkkrhs, false, within}, tree);
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

bool is_deriv(const TreeNode *n) { return is(n, op::deriv); }

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
TreeNode **xyz_slot(TreeNode *list, int selector) {
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
