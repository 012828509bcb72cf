// trees: expression-tree nodes, the operator table, tree vectors and the diagram.
// Every node and every tree-vector slot is counted in XMEM by this module.
#include "model/trees.h"

#include <cmath>
#include <cstring>
#include <vector>
#include <string>

#include "runtime/bopmem.h"
#include "runtime/rtlib.h"
#include "runtime/vectorbase.h"

uint16_t trees_debug = 0;
const TreeNode *trees_fp_node = nullptr;
const char trees_divide_by_zero[] = "DIVIDE BY ZERO";
const char trees_constant_divide[] = "DIVIDE BY ZERO!";

#define ROW(ar, grp, comm, nm) {ar, grp, comm, nm}
const OpRow trees_optable[op::lastop + 1] = {
    // leafop
    ROW(0, leafop, 0, "undef"), ROW(0, leafop, 0, "realzero"), ROW(0, leafop, 0, "realval"),
    ROW(0, leafop, 0, "xcoord"), ROW(0, leafop, 0, "ycoord"), ROW(0, leafop, 0, "zcoord"),
    ROW(0, leafop, 0, "tcoord"), ROW(0, leafop, 0, "varble"), ROW(0, leafop, 0, "vardot"),
    ROW(0, leafop, 0, "eigvec"), ROW(0, leafop, 0, "param"), ROW(0, leafop, 0, "stageparam"),
    ROW(0, leafop, 0, "stageval"), ROW(0, leafop, 0, "fargop"), ROW(0, leafop, 0, "voljac"),
    ROW(0, leafop, 0, "lambda"), ROW(0, leafop, 0, "febasis"), ROW(0, leafop, 0, "treestring"),
    ROW(0, leafop, 0, "tableval"), ROW(0, leafop, 0, "xferval"), ROW(0, leafop, 0, "fitfun"),
    ROW(0, leafop, 0, "savefun"), ROW(0, leafop, 0, "partfun"), ROW(0, leafop, 0, "globalmin"),
    ROW(0, leafop, 0, "globalmax"), ROW(0, leafop, 0, "areaint"), ROW(0, leafop, 0, "volint"),
    ROW(0, leafop, 0, "surfint"), ROW(0, leafop, 0, "bdryint"), ROW(0, leafop, 0, "minspot"),
    ROW(0, leafop, 0, "maxspot"), ROW(0, leafop, 0, "jelem"), ROW(0, leafop, 0, "deltat"),
    ROW(0, leafop, 0, "evalop"), ROW(0, leafop, 0, "sumvar"),
    // unop
    ROW(1, unop, 0, "negateop"), ROW(1, unop, 0, "intpower"), ROW(1, unop, 0, "square"),
    ROW(1, unop, 0, "sqrt"), ROW(1, unop, 0, "absf"), ROW(1, unop, 0, "acosf"),
    ROW(1, unop, 0, "asinf"), ROW(1, unop, 0, "atanf"), ROW(1, unop, 0, "besjf"),
    ROW(1, unop, 0, "besyf"), ROW(1, unop, 0, "cosf"), ROW(1, unop, 0, "coshf"),
    ROW(1, unop, 0, "erfcf"), ROW(1, unop, 0, "erff"), ROW(1, unop, 0, "expf"),
    ROW(1, unop, 0, "log10"), ROW(1, unop, 0, "logf"), ROW(1, unop, 0, "recipf"),
    ROW(1, unop, 0, "signf"), ROW(1, unop, 0, "sinf"), ROW(1, unop, 0, "sinhf"),
    ROW(1, unop, 0, "tanf"), ROW(1, unop, 0, "tanhf"), ROW(1, unop, 0, "ustepf"),
    ROW(1, unop, 0, "upfactor"), ROW(1, unop, 0, "lognot"), ROW(1, unop, 0, "passive"),
    ROW(1, unop, 0, "gamma"), ROW(1, unop, 0, "eifun"), ROW(1, unop, 0, "gammai"),
    ROW(1, unop, 0, "expint"), ROW(1, unop, 0, "randomf"), ROW(1, unop, 0, "arrayref"),
    // binop
    ROW(2, binop, 1, "addop"), ROW(2, binop, 0, "subop"), ROW(2, binop, 1, "mulop"),
    ROW(2, binop, 0, "divop"), ROW(2, binop, 0, "modf"), ROW(2, binop, 0, "powerop"),
    ROW(2, binop, 0, "atan2f"), ROW(2, binop, 1, "minf"), ROW(2, binop, 1, "maxf"),
    ROW(2, binop, 0, "urampf"), ROW(2, binop, 0, "upulsef"), ROW(2, binop, 0, "ltnop"),
    ROW(2, binop, 0, "leqop"), ROW(2, binop, 1, "equop"), ROW(2, binop, 1, "neqop"),
    ROW(2, binop, 0, "geqop"), ROW(2, binop, 0, "gtrop"), ROW(2, binop, 1, "logor"),
    ROW(2, binop, 1, "logand"),
    // integrop, derivop
    ROW(1, integrop, 0, "integral"), ROW(1, integrop, 0, "bintegral"),
    ROW(1, derivop, 0, "deriv"), ROW(1, derivop, 0, "vdiv"), ROW(1, derivop, 0, "grad"),
    ROW(1, derivop, 0, "vcurl"), ROW(1, derivop, 0, "scurl"), ROW(1, derivop, 0, "del2"),
    // complexop
    ROW(0, complexop, 0, "complex0"), ROW(2, complexop, 0, "complexf"),
    ROW(1, complexop, 0, "clength"), ROW(1, complexop, 0, "creal"), ROW(1, complexop, 0, "cimag"),
    ROW(1, complexop, 0, "cexpf"),
    // vectorop
    ROW(0, vectorop, 0, "nullvector"), ROW(2, vectorop, 0, "vector"), ROW(2, vectorop, 1, "vdot"),
    ROW(2, vectorop, 0, "vcross"), ROW(1, vectorop, 0, "vlength"), ROW(1, vectorop, 0, "vlength2"),
    ROW(1, vectorop, 0, "vxcomp"), ROW(1, vectorop, 0, "vycomp"), ROW(1, vectorop, 0, "vzcomp"),
    ROW(1, vectorop, 0, "vncomp"), ROW(1, vectorop, 0, "vtcomp"),
    // weirdop
    ROW(3, weirdop, 0, "ifthen"), ROW(3, weirdop, 0, "pointvec"), ROW(3, weirdop, 0, "pointval"),
    ROW(2, weirdop, 0, "fparam"), ROW(3, weirdop, 0, "sumop"), ROW(2, weirdop, 0, "fevalop"),
    ROW(1, weirdop, 0, "subdef"), ROW(0, weirdop, 0, "subref"), ROW(2, weirdop, 0, "kkkrhs"),
    ROW(2, weirdop, 0, "kkktime"), ROW(3, weirdop, 0, "kkkord"), ROW(3, weirdop, 0, "kkkxyz"),
    ROW(0, weirdop, 0, "lastop"),
};
#undef ROW

const char trees_groupnames[9][10] = {"leafop",    "unop",     "binop",   "integrop", "derivop",
                                      "complexop", "vectorop", "weirdop", "?"};
static const char rhs_names[5][12] = {"no_rhsclass", "constex", "coordex", "varex", "lamdex"};
static const char time_names[3][13] = {"no_timeclass", "spacex", "timex"};
static const char order_names[5][14] = {"no_orderclass", "order0", "order1", "order2", "order3"};
static const char tag_names[5][8] = {"scalar", "vector", "complex", "cvector", "badtag"};

static const StringList *label_coords = nullptr;
static const StringList *label_vars = nullptr;

int trees_init() {
  TRACE("trees");
  return 0;
}

[[noreturn]] static void traptree() {
  TRACE("traptree");
  rtlib_fatal_in("traptree", "INVALID TREE ADDRESS");
}

static bool valid_opcode(int32_t opcode) { return opcode >= 0 && opcode < op::lastop; }

// ---- Construction -----------------------------------------------------------------------------

TreeNode *trees_new_0(int32_t opcode) {
  TRACE("trees_new_0");
  TreeNode *n = nullptr;
  bopmemalloc(&n, 1, sizeof(TreeNode));
  XMEM += sizeof(TreeNode);
  trees_modify(n, opcode);
  return n;
}

TreeNode *trees_new_1(int32_t opcode, const TextLoc *loc) {
  TRACE("trees_new_1");
  TreeNode *n = trees_new_0(opcode);
  if (loc) n->loc = *loc;
  return n;
}

TreeNode *trees_new_real_0(double value) {
  TRACE("trees_new_real_0");
  TreeNode *n = trees_new_0(op::realval);
  n->value = value;
  return n;
}

TreeNode *trees_new_real_1(double value, const TextLoc *loc) {
  TRACE("trees_new_real_1");
  TreeNode *n = trees_new_1(op::realval, loc);
  n->value = value;
  return n;
}

TreeNode *trees_insert(TreeNode *tree, int32_t opcode) {
  TRACE("trees_insert_0");
  TreeNode *n = trees_new_0(opcode);
  n->child[0] = tree;
  if (tree) {
    n->rhsclass = tree->rhsclass;
    n->timeclass = tree->timeclass;
    n->orderclass = tree->orderclass;
    n->valuetag = tree->valuetag;
    n->loc = tree->loc;
  }
  return n;
}

// Opcodes outside the table keep group and arity 0, so that no walker descends.
void trees_modify(TreeNode *node, int32_t opcode) {
  TRACE("trees_modify_0");
  node->opcode = opcode;
  bool ok = opcode >= 0 && opcode <= op::lastop;
  node->group = ok ? trees_optable[opcode].group : 0;
  node->arity = ok ? uint8_t(trees_optable[opcode].arity) : 0;
}

void trees_node_copy(TreeNode *dest, const TreeNode *src) {
  TRACE("trees_node_copy_0");
  dest->opcode = src->opcode;
  dest->group = src->group;
  dest->index = src->index;
  dest->arity = src->arity;
  dest->rhsclass = src->rhsclass;
  dest->timeclass = src->timeclass;
  dest->orderclass = src->orderclass;
  dest->valuetag = src->valuetag;
  memcpy(dest->deriv, src->deriv, sizeof dest->deriv);
  dest->loc = src->loc;
}

// ---- Copy, compare, free ----------------------------------------------------------------------

// The children a walker may descend into: an operator's 1..arity. Leaves hold
// their payload in the same words, so they have none whatever their arity says.
static int children(const TreeNode *n) { return n->group == leafop || n->opcode == op::subref ? 0 : n->arity; }

TreeNode *trees_copy(const TreeNode *tree) {
  TRACE("trees_copy_0");
  if (!tree) return nullptr;
  TreeNode *n = nullptr;
  bopmemalloc(&n, 1, sizeof(TreeNode));
  XMEM += sizeof(TreeNode);
  memcpy(static_cast<void *>(n), tree, sizeof(TreeNode));
  if (tree->opcode == op::treestring) {
    n->text = String{};
    strings_copyto_0(&n->text, &tree->text);
  }
  for (int k = 0; k < children(tree); k++) n->child[k] = trees_copy(tree->child[k]);
  return n;
}

double trees_gamma_order(const TreeNode *n) {
  float fraction;
  static_assert(sizeof fraction == sizeof n->deriv);
  memcpy(&fraction, n->deriv, sizeof fraction);
  return n->index + double(fraction);
}

void trees_set_gamma_order(TreeNode *n, double order) {
  n->index = uint16_t(order);
  float fraction = float(order - std::trunc(order));
  memcpy(n->deriv, &fraction, sizeof fraction);
}

static bool same_selectors(const TreeNode *a, const TreeNode *b) {
  return memcmp(a->deriv, b->deriv, sizeof a->deriv) == 0;
}

static bool children_equal(const TreeNode *a, const TreeNode *b, std::initializer_list<int> order) {
  for (int k : order)
    if (!trees_compare(a->child[k], b->child[k])) return false;
  return true;
}

static bool compare_leaf(const TreeNode *a, const TreeNode *b) {
  switch (a->opcode) {
    case op::undef: case op::realzero: case op::xcoord: case op::ycoord: case op::zcoord:
    case op::tcoord: case op::stageval: case op::voljac: case op::lambda: case op::deltat:
      return true;
    case op::realval:
      return a->value == b->value;
    case op::varble: case op::vardot: case op::eigvec: case op::param: case op::stageparam:
    case op::febasis: case op::tableval: case op::fitfun: case op::savefun: case op::evalop:
      return a->index == b->index && same_selectors(a, b);
    case op::treestring:
      return strings_compare_0(&a->text, &b->text) == 0;
    case op::xferval:
      return a->index == b->index && a->key == b->key && same_selectors(a, b);
    case op::partfun: case op::jelem:
      return false;
    default:  // fargop, global extremes, integrals, spots, sumvar
      return a->index == b->index;
  }
}

bool trees_compare(const TreeNode *a, const TreeNode *b) {
  TRACE("trees_compare_0");
  if (a == b) return true;
  if (!a || !b) return false;
  if (a->opcode != b->opcode)
    return (a->opcode == op::subref && a->target == b) || (b->opcode == op::subref && b->target == a);
  switch (a->group) {
    case leafop:
      return compare_leaf(a, b);
    case unop:
      if (a->opcode == op::randomf) return false;
      if (a->opcode == op::intpower || a->opcode == op::besjf || a->opcode == op::besyf ||
          a->opcode == op::arrayref || a->opcode == op::gammai || a->opcode == op::expint)
        if (a->index != b->index || !same_selectors(a, b)) return false;
      return trees_compare(a->child[0], b->child[0]);
    case binop:
      if (children_equal(a, b, {0, 1})) return true;
      return trees_optable[a->opcode].commutative && trees_compare(a->child[0], b->child[1]) &&
             trees_compare(a->child[1], b->child[0]);
    case integrop:
      return a->deriv[0] == b->deriv[0] && trees_compare(a->child[0], b->child[0]);
    case derivop:
      return same_selectors(a, b) && trees_compare(a->child[0], b->child[0]);
    case complexop:
      return false;
    case vectorop:
      if (a->arity != b->arity) return false;
      for (int k = 0; k < a->arity && k < 3; k++)
        if (!trees_compare(a->child[k], b->child[k])) {
          return a->opcode == op::vdot && trees_compare(a->child[0], b->child[1]) &&
                 trees_compare(a->child[1], b->child[0]);
        }
      return true;
    case weirdop:
      switch (a->opcode) {
        case op::ifthen: case op::pointvec: case op::pointval: case op::sumop:
          return children_equal(a, b, {2, 0, 1});
        case op::subref:
          return a->target == b->target;
        case op::fparam:
          if (a->index != b->index || a->arity != b->arity) return false;
          for (int k = 0; k < a->arity && k < 3; k++)
            if (!trees_compare(a->child[k], b->child[k])) return false;
          return true;
        default:
          return false;
      }
    default:
      return false;
  }
}

// The descendants are released from a list of those still pending rather than by
// nesting, so a tree as deep as a long chain of definitions frees in constant stack
// depth. The list is kept between calls; a call made while it is in use (none is
// expected) takes a list of its own.
void trees_free_leaves(TreeNode *node) {
  TRACE("trees_free_leaves_0");
  if (!node) return;
  if (node->opcode == op::treestring) {
    strings_free_0(&node->text);
    return;
  }
  static std::vector<TreeNode *> shared;
  static bool busy = false;
  std::vector<TreeNode *> own;
  std::vector<TreeNode *> &pending = busy ? own : shared;
  bool outer = !busy;
  busy = true;
  for (int k = 0; k < children(node); k++) {
    if (node->child[k]) pending.push_back(node->child[k]);
    node->child[k] = nullptr;
  }
  while (!pending.empty()) {
    TreeNode *n = pending.back();
    pending.pop_back();
    if (n->opcode == op::treestring) {
      strings_free_0(&n->text);
    } else {
      for (int k = 0; k < children(n); k++)
        if (n->child[k]) pending.push_back(n->child[k]);
    }
    trees_free_node(n);
  }
  if (outer) busy = false;
}

void trees_free_node(TreeNode *node) {
  TRACE("trees_free_node_0");
  if (!node) return;
  XMEM -= sizeof(TreeNode);
  bopmemfree(&node);
}

TreeNode *trees_free_0(TreeNode *tree) {
  TRACE("trees_free_0");
  if (!tree) return nullptr;
  trees_free_leaves(tree);
  trees_free_node(tree);
  return nullptr;
}

// ---- Rewrites ------------------------------------------------------------------------------------

void trees_replace(TreeNode *node, double value) {
  TRACE("trees_replace_0");
  if (!node) traptree();
  trees_free_leaves(node);
  node->group = 0;
  node->arity = 0;
  memset(node->deriv, 0, sizeof node->deriv);
  node->opcode = value == 0 ? op::realzero : op::realval;
  node->value = value;
}

TreeNode *trees_select_leaf(TreeNode *node, int32_t k) {
  TRACE("trees_select_leaf_0");
  if (!node || k < 1 || k > children(node)) traptree();
  TreeNode *keep = node->child[k - 1];
  node->child[k - 1] = nullptr;
  trees_free_0(node);
  return keep;
}

// op(a, op2(c...)) with a on side `side` (0 left, 1 right) of every product.
static TreeNode *distribute(TreeNode *node, int side) {
  if (!node || children(node) < 2) traptree();
  TreeNode *inner = node->child[1 - side];
  if (!inner || children(inner) < 2) traptree();
  TreeNode *a = node->child[side];
  for (int k = 1; k < children(inner); k++) {
    TreeNode *c = inner->child[k];
    TreeNode *m = trees_insert(c, node->opcode);
    m->child[side] = trees_copy(a);
    m->child[1 - side] = c;
    inner->child[k] = m;
  }
  node->child[1 - side] = inner->child[0];
  inner->child[0] = node;
  return inner;
}

TreeNode *trees_distribute_left(TreeNode *node) {
  TRACE("trees_distribute_left_0");
  return distribute(node, 0);
}

TreeNode *trees_distribute_right(TreeNode *node) {
  TRACE("trees_distribute_right_0");
  return distribute(node, 1);
}

static void find_loc(TreeNode *n) {
  if (!n || n->loc.file != 0 || children(n) == 0) return;
  TreeNode *c1 = n->child[0];
  find_loc(c1);
  if (c1 && c1->loc.file != 0) {
    n->loc = c1->loc;
  } else if (children(n) >= 2 && n->child[1]) {
    find_loc(n->child[1]);
    n->loc = n->child[1]->loc;
  }
}

void trees_find_loc(TreeNode *tree) {
  TRACE("trees_find_loc_0");
  find_loc(tree);
}

// ---- Tree vectors ----------------------------------------------------------------------------------

template <class V> static void vec_grow(V *v, uint16_t count, uint16_t capacity, const char *where) {
  if (count > (capacity > v->capacity ? capacity : v->capacity)) rtlib_fatal_in(where, VECTOR_COUNT);
  if (capacity > v->capacity) {
    decltype(v->data) d = nullptr;
    bopmemalloc(&d, capacity, sizeof(*d));
    XMEM += int64_t(capacity) * sizeof(*d);
    if (v->capacity > 0) {
      memcpy(static_cast<void *>(d), v->data, size_t(v->count) * sizeof(*d));
      XMEM -= int64_t(v->capacity) * sizeof(*d);
      bopmemfree(&v->data);
    }
    v->data = d;
    v->capacity = capacity;
  }
  v->count = count;
}

// Storage for a new vector; the vector must hold none.
template <class V> static void vec_new(V *v, uint16_t count, uint16_t capacity, const char *where) {
  if (v->capacity != 0) rtlib_fatal_in(where, "NEW TREEVECTOR ALREADY ALLOCATED");
  *v = V{};
  vec_grow(v, count, capacity, where);
}

// Releases the storage after free_entry has run on the first n entries.
template <class V, class F> static void vec_free(V *v, int32_t n, F free_entry) {
  if (!v) return;
  if (v->capacity > 0) {
    for (int k = 0; k < n; k++) free_entry(&v->data[k]);
    XMEM -= int64_t(v->capacity) * sizeof(*v->data);
    bopmemfree(&v->data);
  }
  v->count = v->capacity = 0;
}

void trees_new_2(treevector *v, uint16_t count, uint16_t capacity) {
  TRACE("trees_new_2");
  vec_new(v, count, capacity, "trees_new_2");
}

void trees_resize_0(treevector *v, uint16_t count, uint16_t capacity) {
  TRACE("trees_resize_0");
  vec_grow(v, count, capacity, "trees_resize_0");
}

uint16_t trees_one_more(treevector *v, TreeNode *tree) {
  TRACE("trees_one_more_0");
  if (v->count == UINT16_MAX) rtlib_fatal_in("trees_one_more_0", VECTOR_COUNT);
  if (v->count >= v->capacity) {
    int32_t cap = v->capacity + 10;
    vec_grow(v, v->count, uint16_t(cap > UINT16_MAX ? UINT16_MAX : cap), "trees_resize_0");
  }
  v->data[v->count++] = tree;
  return v->count;
}

void trees_free_1(treevector *v, uint8_t free_trees) {
  TRACE("trees_free_1");
  vec_free(v, v && free_trees ? v->count : 0, [](TreeNode **t) { *t = trees_free_0(*t); });
}

TreeNode **trees_slot(treevector *v, uint16_t n) {
  TRACE("trees_slot_0");
  if (n == 0) rtlib_fatal_in("trees_slot_0", VECTOR_INDEX);
  if (v->count < n) {
    int32_t cap = n <= v->capacity ? v->capacity : v->capacity + (n - v->capacity + 7) / 8 * 8;
    vec_grow(v, n, uint16_t(cap > UINT16_MAX ? UINT16_MAX : cap), "trees_slot_0");
  }
  return &v->data[n - 1];
}

void trees_new_3(treevectors *v, uint16_t count, uint16_t capacity) {
  TRACE("trees_new_3");
  vec_new(v, count, capacity, "trees_new_3");
}

void trees_resize_1(treevectors *v, uint16_t count, uint16_t capacity) {
  TRACE("trees_resize_1");
  vec_grow(v, count, capacity, "trees_resize_1");
}

// Inner vectors above the count may still hold storage from a longer past; all
// slots of the capacity are released.
void trees_free_2(treevectors *v, uint8_t free_trees) {
  TRACE("trees_free_2");
  vec_free(v, v ? v->capacity : 0, [free_trees](treevector *t) { trees_free_1(t, free_trees); });
}

// ---- Names and printing -------------------------------------------------------------------------------

void trees_set_tree_labels(const StringList *coords, const StringList *vars) {
  TRACE("trees_set_tree_labels_0");
  label_coords = coords;
  label_vars = vars;
}

void trees_opname(String *s, int32_t opcode) {
  TRACE("trees_opname_0");
  strings_copyto_1(s, valid_opcode(opcode) ? trees_optable[opcode].name : "BAD OPCODE");
}

void trees_treename(String *s, const TreeNode *node) {
  TRACE("trees_treename_0");
  trees_opname(s, node ? node->opcode : op::lastop);
}

static const String *list_entry(const StringList *list, int k) {
  return list && k >= 1 && k <= list->count && list->items[k - 1].length > 0 ? &list->items[k - 1] : nullptr;
}

void trees_dlabel(String *s, const char *prefix, uint8_t d1, uint8_t d2, uint8_t d3, uint8_t v,
                  const StringList *coords, const StringList *vars) {
  TRACE("trees_dlabel_0");
  strings_copyto_1(s, prefix);
  for (uint8_t d : {d1, d2, d3}) {
    if (d == 0) continue;
    if (const String *c = list_entry(coords, d)) strings_addto_0(s, c);
    else strings_append(s, d <= 4 ? "?XYZT"[d] : '?');
  }
  if (v != 0) {
    if (const String *n = list_entry(vars, v)) {
      strings_addto_0(s, n);
    } else {
      char buf[8];
      snprintf(buf, sizeof buf, "A%d", v);
      strings_addto_1(s, buf);
    }
  }
}

// The symbol of an operator, or its label word; null for the rest.
static const char *fixed_label(int32_t opcode) {
  switch (opcode) {
    case op::realzero: return "ZERO ";
    case op::undef: return "UNDEFINED";
    case op::addop: return "+ ";
    case op::subop: return "- ";
    case op::mulop: return "* ";
    case op::divop: return "/ ";
    case op::powerop: return "**";
    case op::ltnop: return "< ";
    case op::leqop: return "<=";
    case op::equop: return "= ";
    case op::neqop: return "<>";
    case op::geqop: return ">=";
    case op::gtrop: return "> ";
    case op::logor: return "OR ";
    case op::logand: return "AND ";
    case op::negateop: return "Neg ";
    case op::lognot: return "Not ";
    case op::square: return "SQR ";
    case op::vdot: return "<.> ";
    case op::vcross: return "<x> ";
    case op::stageval: return "STAGE";
    case op::fargop: return "Arg";
    case op::voljac: return "VOLJ ";
    case op::lambda: return "LAMBDA ";
    case op::febasis: return "BETA";
    case op::tableval: return "TABLE";
    case op::xferval: return "XFER";
    case op::fitfun: return "FIT";
    case op::savefun: return "SAVE";
    case op::partfun: return "PARTS";
    case op::globalmin: return "GMIN";
    case op::globalmax: return "GMAX";
    case op::areaint: return "AREAINT";
    case op::volint: return "VOLINT";
    case op::surfint: return "SURFINT";
    case op::bdryint: return "BDRYINT";
    case op::deltat: return "DELTAT ";
    case op::evalop: return "VAL";
    case op::sumvar: return "SUMix";
    case op::intpower: return "POW";
    case op::upfactor: return "UPFACT";
    case op::passive: return "Passive ";
    case op::integral: return "<V>";
    case op::bintegral: return "<S>";
    case op::complex0: return "CPX(0,0) ";
    case op::complexf: return "COMPLEX";
    case op::nullvector: return "VEC(0,0) ";
    case op::vlength: return "LENGTH ";
    case op::vlength2: return "VSQR ";
    case op::ifthen: return "ifthen";
    case op::pointvec: return "vpoint";
    case op::pointval: return "point";
    case op::fparam: return "Fparam";
    case op::sumop: return "SUM";
    case op::fevalop: return "EVAL ";
    case op::subdef: return "DEF";
    case op::subref: return "REF";
    case op::kkkrhs: return "KKKRHS ";
    case op::kkktime: return "KKKTIME ";
    case op::kkkord: return "KKKORD ";
    case op::kkkxyz: return "KKKXYZ ";
    default: return nullptr;
  }
}

static void add_derivative(String *s, const char *prefix, const TreeNode *n) {
  String d{};
  trees_dlabel(&d, prefix, n->deriv[0], n->deriv[1], n->deriv[2], n->deriv[3], label_coords, label_vars);
  strings_addto_0(s, &d);
  strings_free_0(&d);
}

static void label_node(String *s, const TreeNode *n) {
  char buf[64];
  int32_t c = n->opcode;
  bool numbered = false;  // the label carries the node's index
  if (!valid_opcode(c)) {
    snprintf(buf, sizeof buf, "ILLEGAL(%d)", c);
    strings_copyto_1(s, buf);
    return;
  }
  if (c == op::realval) {
    snprintf(buf, sizeof buf, "%.6g", n->value);
    strings_copyto_1(s, buf);
  } else if (c >= op::xcoord && c <= op::tcoord) {
    int k = c - op::xcoord + 1;
    if (const String *name = list_entry(label_coords, k)) strings_copyto_0(s, name);
    else strings_copyto_1(s, std::string(1, "XYZT"[k - 1]).c_str());
  } else if (c == op::varble || c == op::vardot || c == op::eigvec) {
    strings_copyto_1(s, c == op::eigvec ? "%" : "");
    if (const String *name = list_entry(label_vars, n->index)) {
      strings_addto_0(s, name);
    } else {
      snprintf(buf, sizeof buf, "A%d", n->index);
      strings_addto_1(s, buf);
    }
    if (c == op::vardot) strings_addto_1(s, "DOT");
  } else if (c == op::param || c == op::stageparam) {
    if (n->name) strings_copyto_0(s, n->name);
    else strings_copyto_1(s, "?");
  } else if (c == op::treestring) {
    strings_copyto_1(s, "<");
    strings_addto_0(s, &n->text);
    strings_addto_1(s, ">");
  } else if (n->group == derivop || c == op::minspot || c == op::maxspot || c == op::jelem) {
    const char *prefix = n->group == derivop ? "D" : c == op::minspot ? "GMIN_" : c == op::maxspot ? "GMAX_" : "JELEM_";
    strings_copyto_1(s, "");
    add_derivative(s, prefix, n);
    return;
  } else {
    const char *fixed = fixed_label(c);
    strings_copyto_1(s, fixed ? fixed : trees_optable[c].name);
    numbered = n->index != 0;
  }
  if (numbered) {
    int number = c == op::fargop ? n->index % 4 + 10 * (n->index / 4) : n->index;
    snprintf(buf, sizeof buf, "#%d", number);
    strings_addto_1(s, buf);
  }
  if (n->group == leafop && n->deriv[0] != 0) {
    strings_addto_1(s, ".");
    add_derivative(s, "", n);
  }
}

// One node at depth d: "|" and the label right-aligned in the column; the last
// child on the same line, the earlier ones each on a new line one column in.
// Levels of a diagram drawn; a deeper subtree is one "..." leaf. Each level indents
// its lines by ten columns, so a long chain (a sum of thousands of terms) would
// otherwise write a diagram quadratic in its length.
static const int PRINT_DEPTH = 100;

static void print_node(FILE *f, const TreeNode *n, int depth) {
  if (depth >= PRINT_DEPTH) {
    fprintf(f, "|%9s\n", "...");
    return;
  }
  String label{};
  if (n) label_node(&label, n);
  else strings_copyto_1(&label, "NIL");
  fprintf(f, "|%9s", label.text ? label.text : "");
  strings_free_0(&label);
  int k = n ? children(n) : 0;
  if (k == 0) {
    fputc('\n', f);
    return;
  }
  print_node(f, n->child[k - 1], depth + 1);
  for (int j = k - 1; j >= 1; j--) {
    fprintf(f, "%*s", 9 + 10 * (depth + 1), "");
    print_node(f, n->child[j - 1], depth + 1);
  }
}

void trees_print_tree(FILE *f, const TreeNode *tree, const char *title) {
  TRACE("trees_print_tree_0");
  if (!f) return;
  if (title && *title) fprintf(f, "%s\n", title);
  fprintf(f, "%9s", "");
  print_node(f, tree, 0);
  fprintf(f, "\n----------------------------------------\n");
}

static unsigned address(const void *p) { return unsigned(reinterpret_cast<uintptr_t>(p)); }

static const char *opname_of(const TreeNode *n) {
  return n && valid_opcode(n->opcode) ? trees_optable[n->opcode].name : nullptr;
}

template <size_t N, size_t W> static const char *class_name(const char (&names)[N][W], int32_t k) {
  return k >= 0 && size_t(k) < N ? names[k] : "?";
}

void trees_tag_name(FILE *f, const TreeNode *node) {
  TRACE("trees_tag_name_0");
  fprintf(f, " %s ", node ? class_name(tag_names, node->valuetag) : "?");
}

void trees_print_name_0(FILE *f, const TreeNode *node, const char *text) {
  TRACE("trees_print_name_0");
  if (const char *name = opname_of(node)) fprintf(f, "%x %s %s", address(node), name, text);
  else fprintf(f, "%x BAD OPCODE %s", address(node), text);
}

void trees_print_name_1(FILE *f, const TreeNode *node, const String *text) {
  TRACE("trees_print_name_1");
  trees_print_name_0(f, node, text && text->text ? text->text : "");
}

void trees_print_rhs(FILE *f, const TreeNode *node, const char *text) {
  TRACE("trees_print_rhs_0");
  fprintf(f, " %s %s", node ? class_name(rhs_names, node->rhsclass) : "?", text);
}

void trees_print_class(FILE *f, const TreeNode *node, const char *text) {
  TRACE("trees_print_class_0");
  const char *name = opname_of(node);
  if (!name) {
    fprintf(f, "%x BAD OPCODE %s", address(node), text);
    return;
  }
  fprintf(f, "%x %s(%s,%s,%s,%s) %s", address(node), name, class_name(rhs_names, node->rhsclass),
          class_name(time_names, node->timeclass), class_name(order_names, node->orderclass),
          class_name(tag_names, node->valuetag), text);
}

void trees_print_group(FILE *f, const TreeNode *node, const char *text) {
  TRACE("trees_print_group_0");
  const char *name = opname_of(node);
  if (!name) {
    fprintf(f, "%x BAD OPCODE %s", address(node), text);
    return;
  }
  int32_t g = node->group >= 0 && node->group < 8 ? node->group : 8;
  fprintf(f, "%x %s(%s) %s", address(node), name, trees_groupnames[g], text);
}
