// treemods: definition substitution and operator searches, moving derivatives outward,
// Galerkin distribution, fits and erasures (splits, vector operators and shared
// subexpressions in treemods_split.cpp, treemods_vector.cpp and treemods_cse.cpp).
#include "model/treemods.h"
#include "model/treemods_internal.h"

#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "elements/evalpoint.h"
#include "elements/meshes.h"
#include "elements/mfinder.h"
#include "model/formulas.h"
#include "model/params.h"
#include "model/model_view.h"
#include "model/treeclas.h"
#include "model/treesimp.h"
#include "runtime/debug.h"
#include "runtime/report.h"
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
  const model_view v = model_view_of(p);
  paramset *defs = &v.formulas->definitions;
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
  const model_view v = model_view_of(p);
  TreeNode *def = params_find_param_tree(&v.formulas->definitions, n->index, region);
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
  const model_view v = model_view_of(p);
  if (!n || n->opcode == op::subref) return false;
  if (n->group == derivop) return true;
  if (n->opcode == op::param || n->opcode == op::stageparam) {
    uint16_t k = n->index;
    if (n->opcode == op::stageparam && v.stages > 0 && v.stage > 1) k = uint16_t(k + v.stage - 1);
    if (k < 1 || k > seen.size() || seen[k - 1]) return false;
    seen[k - 1] = 1;
    return holds_derivative(p, params_find_param_tree(&v.formulas->definitions, k, region), region, seen);
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
  const model_view v = model_view_of(p);
  if (!n || n->opcode == op::subref) return n;
  if (n->opcode == op::param || n->opcode == op::stageparam) {
    std::vector<char> seen(v.formulas->definitions.count, 0);
    if (!holds_derivative(p, n, region, seen)) return n;
    if (n->opcode == op::stageparam) return copy_params(p, n, region, mark);
    // Its written tree in the region; the definitions it reads outside a derivative stay
    // for the evaluator, which takes them in the region of the point where the point moves.
    uint16_t defregion = 0, layer = 0;
    const Domain *d = v.mesh->domain;
    if (d && region >= 1 && region <= d->regions.count)
      defregion = d->regions.data[region - 1].defregion, layer = d->regions.data[region - 1].layer;
    TreeNode *def = params_find_param_def(&v.formulas->definitions, n->index, defregion, layer);
    if (!def) def = params_find_param_def(&v.formulas->definitions, n->index, 0, 0);
    if (!def) return copy_params(p, n, region, mark);
    if (mark) v.formulas->definitions.items[n->index - 1]->used = 1;
    struct Held {
      TreeNode *t;
      ~Held() { trees_free_0(t); }
    } held{trees_copy(def)};
    held.t = copy_derived_params(p, held.t, region, mark);
    return replace(n, std::exchange(held.t, nullptr));
  }
  if (n->group == leafop) return n;
  // A user function is written out with its arguments, as everywhere else.
  if (n->group == derivop || n->opcode == op::fparam) return copy_params(p, n, region, mark);
  for (int k = 0; k < n->arity && k < 3; k++) n->child[k] = copy_derived_params(p, n->child[k], region, mark);
  return n;
}

// A written number (or its negative) as a value.
static bool constant(const TreeNode *n, double &v) {
  if (!n) return false;
  if (n->opcode == op::realzero) return v = 0, true;
  if (n->opcode == op::realval) return v = n->value, true;
  if (n->opcode == op::negateop && constant(n->child[0], v)) return v = -v, true;
  return false;
}

// The region (and layer) of the mesh cell holding the point of an EVAL when its
// coordinates are written numbers; else the region the expression is prepared for.
// The definitions of an EVAL's expression are those of the point, as its evaluation
// takes them.
static uint16_t point_region(pde *p, const TreeNode *at, uint16_t region) {
  const model_view v = model_view_of(p);
  double c[3];
  if (!at || at->opcode != op::pointval || v.mesh->cells.count == 0) return region;
  for (int k = 0; k < 3; k++)
    if (!constant(at->child[k], c[k])) return region;
  LocalCell cell{};
  evalpoint e{};
  e.cell = &cell;
  e.x = c[0], e.y = c[1], e.z = c[2];
  int32_t k = v.dimension == 3 ? mfinder_find_cell3(&e, v.mesh, 0.1) : mfinder_find_cell2(&e, v.mesh, 0.1);
  if (k < 0) k = -k;
  return k >= 1 && k <= v.mesh->cells.count ? v.mesh->cells.data[k - 1].region : region;
}

static TreeNode *copy_params(pde *p, TreeNode *n, uint16_t region, uint8_t mark) {
  const model_view v = model_view_of(p);
  if (!n) return n;
  int to = 0;  // the children to substitute: 1..to
  switch (n->group) {
    case leafop:
      switch (n->opcode) {
        case op::param: {
          // A link of a long chain of definitions stays a reference: copying its
          // expansion into every later definition would cost the square of the chain.
          param *d = n->index >= 1 && n->index <= v.formulas->definitions.count
                         ? v.formulas->definitions.items[n->index - 1]
                         : nullptr;
          if (d && d->shared) {
            if (mark) d->used = 1;
            return n;
          }
          return replace(n, definition(p, n->index, region, mark));
        }
        case op::stageparam: {
          uint16_t k = n->index;
          if (v.stages > 0 && v.stage > 1) k = uint16_t(k + v.stage - 1);
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
        case op::fevalop:
          n->child[0] = copy_derived_params(p, n->child[0], point_region(p, n->child[1], region), mark);
          return n;
        default: treeclas_trapop(n);
      }
      break;
    default: treeclas_trapop(n);
  }
  for (int k = 0; k < to; k++) n->child[k] = copy_params(p, n->child[k], region, mark);
  return n;
}

TreeNode *treemods_expand_vecops(pde *p, TreeNode *tree, uint16_t region) {
  TRACE("treemods_expand_vecops");
  const model_view v = model_view_of(p);
  return treemods_vector_expand(p, v.coords, v.dimension, tree, region);
}

TreeNode *treemods_copy_params(pde *p, TreeNode *tree, uint16_t region, uint8_t mark) {
  TRACE("treemods_copy_params");
  return copy_params(p, tree, region, mark);
}

bool treemods_plain(const pde *p, const TreeNode *tree) {
  TRACE("treemods_plain");
  const model_view v = model_view_of(p);
  // Taken from a pending list, not by recursion: a link's tree may be deep.
  std::vector<const TreeNode *> pending{tree};
  while (!pending.empty()) {
    const TreeNode *n = pending.back();
    pending.pop_back();
    if (!n || n->valuetag != vtag::scalar) return false;
    switch (n->group) {
      case leafop:
        switch (n->opcode) {
          case op::realval:
          case op::realzero:
          case op::xcoord:
          case op::ycoord:
          case op::zcoord: break;
          case op::param:
            if (n->deriv[0] || n->index < 1 || n->index > v.formulas->definitions.count ||
                !v.formulas->definitions.items[n->index - 1]->shared)
              return false;
            break;
          default: return false;
        }
        break;
      case unop:
        if (n->opcode == op::upfactor || n->opcode == op::passive || n->opcode == op::randomf ||
            n->opcode == op::arrayref)
          return false;
        pending.push_back(n->child[0]);
        break;
      case binop:
        pending.push_back(n->child[0]);
        pending.push_back(n->child[1]);
        break;
      default: return false;
    }
  }
  return true;
}

uint8_t treemods_find_op(const TreeNode *tree, int32_t opcode) {
  if (!tree) return 0;
  if (tree->opcode == opcode) return 1;
  if (tree->group == leafop || tree->opcode == op::subref) return 0;
  for (int k = 0; k < tree->arity && k < 3; k++)
    if (treemods_find_op(tree->child[k], opcode)) return 1;
  return 0;
}

bool is_value(const TreeNode *n) { return n && (n->opcode == op::realval || n->opcode == op::realzero); }
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
  treeclas_parse_error(report_current, n, "Planar Surface Required");
}

void treemods_planarize(double *a, double *b, double *c, double *d, TreeNode *tree, double f) {
  TRACE("treemods_planarize");
  double *const coef[4] = {a, b, c, d};
  planarize(coef, tree, f);
}

// ---- Shared helpers ---------------------------------------------------------------------------------

bool is(const TreeNode *n, int32_t opcode) { return n && n->opcode == opcode; }
bool is_sum(const TreeNode *n) { return is(n, op::addop) || is(n, op::subop); }
int children(const TreeNode *n) { return n->group == leafop || n->opcode == op::subref ? 0 : n->arity; }

// A new node of the opcode over a and b, at the position of at, with classes merged
// from its operands, so that the splitting rules can test what they build.
TreeNode *make(int32_t opcode, TreeNode *a, TreeNode *b, const TreeNode *at) {
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
TreeNode *negate(TreeNode *a) { return trees_insert(a, op::negateop); }
TreeNode *zero_leaf() {
  TreeNode *z = trees_new_0(op::realzero);
  z->rhsclass = constex;
  z->timeclass = spacex;
  z->orderclass = order0;
  return z;
}
// A derivative node with the one coordinate selector over a.
TreeNode *deriv(int k, TreeNode *a) {
  TreeNode *d = trees_insert(a, op::deriv);
  d->deriv[0] = uint8_t(k);
  return d;
}
// a + b where an absent operand counts as zero.
TreeNode *plus(TreeNode *a, TreeNode *b, const TreeNode *at) {
  if (!a) return b;
  if (!b) return a;
  return make(op::addop, a, b, at);
}
// A list grows by an addop or subop above its tree with the new term second; an
// empty list starts from an absent first operand.
void enter(TreeNode **list, TreeNode *term, int sign) {
  *list = make(sign < 0 ? op::subop : op::addop, *list, term, term);
}
// Frees the node alone and gives back its child k (from 0).
static TreeNode *unwrap(TreeNode *n, int k) {
  TreeNode *c = n->child[k];
  n->child[k] = nullptr;
  trees_free_0(n);
  return c;
}

// ---- Moving derivatives outward ------------------------------------------------------------------

static TreeNode *pullup(TreeNode *n, uint16_t region);

static TreeNode *pull_children(TreeNode *n, uint16_t region, int count) {
  for (int k = 0; k < count; k++) n->child[k] = pullup(n->child[k], region);
  return n;
}

static int32_t order_class(TreeNode *n, uint16_t region) {
  treeclas_classify_order(report_current, n, region);
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
  if (mul && (is(l, op::divop) || is(r, op::divop))) {
    // (a/b)·c or c·(a/b) with a of the highest order: a·(c/b), so that a derivative in a
    // quotient (an operator written out over a volume element that multiplies it) reaches
    // the outside of its term and is taken by parts.
    order_class(n, region);
    bool left = is(l, op::divop);
    TreeNode *q = left ? l : r, *c = left ? r : l, *a = q->child[0], *b = q->child[1];
    if (a->orderclass > b->orderclass && a->orderclass > c->orderclass) {
      q->child[0] = c;
      q->rhsclass = treeclas_merge_rhs(op::divop, c->rhsclass, b->rhsclass);
      q->orderclass = c->orderclass > b->orderclass ? c->orderclass : b->orderclass;
      n->child[0] = a, n->child[1] = q;
      return pullup(n, region);
    }
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
  // A time derivative is no flux: it stays in the body whatever its order.
  bool low = t->orderclass <= order0 || (t->orderclass == order1 && !g.firstparts) || (is_deriv(t) && t->deriv[0] == 4);
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
  treeclas_classify_order(report_current, tree, region);
  galerkin_walk(Galerkin{body, list, firstparts != 0}, tree, 1);
}

TreeNode *treemods_combine_xyz(pde *p, TreeNode *a, TreeNode *b, int32_t opcode) {
  TRACE("treemods_combine_xyz");
  const model_view v = model_view_of(p);
  TreeNode *sum = nullptr;
  for (int k = 1; k <= v.dimension && k <= 3; k++) {
    TreeNode *ak = a && a->child[k - 1] ? trees_copy(a->child[k - 1]) : nullptr;
    TreeNode *bk = b && b->child[k - 1] ? trees_copy(b->child[k - 1]) : nullptr;
    TreeNode *in = plus(ak, bk, a);
    TreeNode *term = trees_insert(in ? in : zero_leaf(), opcode);
    term->deriv[0] = uint8_t(k);
    sum = plus(sum, term, a);
  }
  return sum ? sum : zero_leaf();
}

// ---- Fits, erasures and small operations ----------------------------------------------------------

void treemods_find_fits(pde *p, vectorn *list, TreeNode *tree, uint16_t region) {
  const model_view v = model_view_of(p);
  if (!tree) return;
  switch (tree->opcode) {
    case op::fitfun: case op::savefun: case op::globalmin: case op::globalmax: case op::volint: case op::surfint:
    case op::bdryint: case op::minspot: case op::maxspot: case op::jelem: case op::evalop:
      vectorn_enlist(list, tree->index);
      return;
    case op::param: case op::stageparam:
      treemods_find_fits(p, list, params_find_param_tree(&v.formulas->definitions, tree->index, region), region);
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

// The slot of the leaf's time selector, or -1.
static int time_selector(const TreeNode *n) {
  for (int k = 0; k < 3; k++)
    if (n->deriv[k] == 4) return k;
  return -1;
}
static void drop_selector(TreeNode *n, int at) {
  for (int k = at; k < 2; k++) n->deriv[k] = n->deriv[k + 1];
  n->deriv[2] = 0;
}

uint8_t treemods_erase_dot(TreeNode *tree) {
  TreeNode *n = tree;
  if (!n) return 0;
  if (is_var(n)) {
    // The rate of the variable, with the coordinate derivatives written beside its time
    // derivative wherever it stands among them.
    int at = time_selector(n);
    if (at < 0) return 0;
    drop_selector(n, at);
    if (time_selector(n) >= 0) treeclas_parse_error(report_current, n, "Illegal Second Time Derivative");
    trees_modify(n, op::vardot);
    return 0;
  }
  if (is(n, op::febasis)) {
    int at = time_selector(n);
    if (at >= 0) {
      drop_selector(n, at);
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
