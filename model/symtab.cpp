// symtab: idrec records in height-balanced trees, the scope stack, the built-in
// functions of the operator tree and the listings. Records count in XMEM here,
// their names in the strings module.
#include "model/symtab.h"

#include <cmath>
#include <initializer_list>

#include "model/trees.h"
#include "runtime/bopmem.h"
#include "runtime/rtlib.h"

idrec *symtab_optree = nullptr;
uint16_t symtab_debug = 0;

const char symtab_kindnames[16][12] = {"nullid",    "literalnam", "coordnam", "varbnam",
                                       "paramnam",  "sparamnam",  "fparamnam", "fargnam",
                                       "strfuncnam", "funcnam",   "difopnam", "diffun",
                                       "arraynam",  "forvarnam",  "sumvarnam", "nokind"};

int symtab_init() {
  TRACE("symtab");
  return 0;
}

// The code set of argument counts: count i has the bit 0x80000000 >> i.
static uint32_t counts_set(std::initializer_list<int> counts) {
  uint32_t set = 0;
  for (int c : counts) set |= 0x80000000u >> c;
  return set;
}

// ---- Records and trees ---------------------------------------------------------------------------

idrec *symtab_newidrec(const String *name, uint16_t hash) {
  TRACE("symtab_newidrec_0");
  idrec *r = nullptr;
  bopmemalloc(&r, 1, sizeof(idrec));
  XMEM += sizeof(idrec);
  strings_copyto_0(&r->name, name);
  r->hash = hash;
  return r;
}

void symtab_defineid(idrec *r, uint32_t kind, uint16_t index, uint8_t a, uint8_t b, void *value) {
  TRACE("symtab_defineid_0");
  r->kind = kind;
  r->index = index;
  r->suba = a;
  r->subb = b;
  r->value = value;
}

// <0 when (hash, name) sorts before record r, 0 when equal, >0 after.
static int key_order(const String *name, uint16_t hash, const idrec *r) {
  if (hash != r->hash) return hash < r->hash ? -1 : 1;
  return strings_compare_0(name, &r->name);
}

idrec *symtab_lookupid(idrec *root, const String *name, uint16_t hash) {
  TRACE("symtab_lookupid_0");
  while (root) {
    int c = key_order(name, hash, root);
    if (c == 0) return root;
    root = c < 0 ? root->left : root->right;
  }
  return nullptr;
}

// Releases one record: its name, a constant's own value leaf, the record.
static void release(idrec *r) {
  strings_free_0(&r->name);
  if (r->kind == literalnam) trees_free_0(static_cast<TreeNode *>(r->value));
  XMEM -= sizeof(idrec);
  bopmemfree(&r);
}

idrec *symtab_enterid(idrec **root, idrec *r) {
  TRACE("symtab_enterid_0");
  r->left = r->right = nullptr;
  r->balance = 0;
  if (!*root) return *root = r;
  // 1.-3. Walk down, keeping the last unbalanced node S and its parent T.
  idrec *t = nullptr, *s = *root, *p = *root;
  for (;;) {
    int c = key_order(&r->name, r->hash, p);
    if (c == 0) {
      release(r);
      return p;
    }
    idrec *&next = c < 0 ? p->left : p->right;
    if (!next) {
      next = r;
      break;
    }
    if (next->balance != 0) t = p, s = next;
    p = next;
  }
  // 4. Balances on the path below S.
  uint8_t a = key_order(&r->name, r->hash, s) < 0 ? 1 : 2, b = 3 - a;
  idrec *rr = a == 1 ? s->left : s->right;
  for (p = rr; p != r;) {
    bool left = key_order(&r->name, r->hash, p) < 0;
    p->balance = left ? 1 : 2;
    p = left ? p->left : p->right;
  }
  // 5. At S.
  if (s->balance == 0) {
    s->balance = a;
    return r;
  }
  if (s->balance == b) {
    s->balance = 0;
    return r;
  }
  idrec *top;
  if (rr->balance == a) {  // single rotation
    if (a == 1) s->left = rr->right, rr->right = s;
    else s->right = rr->left, rr->left = s;
    s->balance = rr->balance = 0;
    top = rr;
  } else {  // double rotation around X
    idrec *x;
    if (a == 1) {
      x = rr->right;
      rr->right = x->left, x->left = rr;
      s->left = x->right, x->right = s;
    } else {
      x = rr->left;
      rr->left = x->right, x->right = rr;
      s->right = x->left, x->left = s;
    }
    s->balance = x->balance == a ? b : 0;
    rr->balance = x->balance == b ? a : 0;
    x->balance = 0;
    top = x;
  }
  if (!t) *root = top;
  else if (t->left == s) t->left = top;
  else t->right = top;
  return r;
}

void symtab_deleteid(idrec **root, idrec *r) {
  TRACE("symtab_deleteid_0");
  if (!r) return;
  if (*root == r) {
    *root = nullptr;
  } else {
    for (idrec *p = *root; p;) {
      if (p->left == r) {
        p->left = nullptr;
        break;
      }
      if (p->right == r) {
        p->right = nullptr;
        break;
      }
      p = key_order(&r->name, r->hash, p) < 0 ? p->left : p->right;
    }
  }
  release(r);
}

idrec *symtab_deleteall(idrec *root) {
  TRACE("symtab_deleteall_0");
  if (root) {
    symtab_deleteall(root->right);
    symtab_deleteall(root->left);
    release(root);
  }
  return nullptr;
}

// ---- Scope stack ----------------------------------------------------------------------------------

void symtab_resize(scopestack *s, uint16_t count, uint16_t capacity) {
  TRACE("symtab_resize_0");
  if (capacity < count) capacity = count;
  if (capacity > s->capacity) {
    idrec **d = nullptr;
    bopmemalloc(&d, capacity, sizeof(idrec *));
    XMEM += int64_t(capacity) * sizeof(idrec *);
    for (int k = 0; k < s->capacity; k++) d[k] = s->roots[k];
    if (s->capacity > 0) {
      XMEM -= int64_t(s->capacity) * sizeof(idrec *);
      bopmemfree(&s->roots);
    }
    s->roots = d;
    s->capacity = capacity;
  }
  s->count = count;
  s->floor = 1;
}

// Every slot of the capacity is cleared: a scope above the count may still hold a tree.
void symtab_free(scopestack *s, uint8_t delete_trees) {
  TRACE("symtab_free_0");
  if (s->capacity > 0) {
    if (delete_trees)
      for (int k = 0; k < s->capacity; k++) s->roots[k] = symtab_deleteall(s->roots[k]);
    XMEM -= int64_t(s->capacity) * sizeof(idrec *);
    bopmemfree(&s->roots);
  }
  s->count = s->capacity = s->floor = 0;
}

// ---- Built-ins ---------------------------------------------------------------------------------------

// Enters a new record for name; a name already there stops with what, in where.
static idrec *enter_new(idrec **root, const char *name, const char *where, const char *what) {
  String n{};
  strings_copyto_1(&n, name);
  uint16_t h = strings_hashfn_0(&n);
  idrec *r = symtab_lookupid(*root, &n, h) ? nullptr : symtab_enterid(root, symtab_newidrec(&n, h));
  strings_free_0(&n);
  if (!r) rtlib_fatal_in(where, what);
  return r;
}

idrec *symtab_newop(idrec **root, const char *name, uint16_t opcode, uint8_t a, uint8_t b, uint32_t counts,
                    uint8_t vecarg, uint8_t pointwise, uint32_t kind) {
  TRACE("symtab_newop_0");
  idrec *r = enter_new(root, name, "symtab_newop_0", "DUPLICATE OPERATOR NAME");
  symtab_defineid(r, kind, opcode, a, b, nullptr);
  r->argcounts = counts;
  r->vecarg = vecarg;
  r->pointwise = pointwise;
  return r;
}

idrec *symtab_newconst(idrec **root, const char *name, double value) {
  TRACE("symtab_newconst_0");
  idrec *r = enter_new(root, name, "symtab_newconst_0", "DUPLICATE BUILTIN NAME");
  symtab_defineid(r, literalnam, 0, 0, 0, trees_new_real_0(value));
  return r;
}

idrec *symtab_new_coord(idrec **root, const String *name, uint16_t number) {
  TRACE("symtab_new_coord_0");
  uint16_t h = strings_hashfn_0(name);
  idrec *r = symtab_lookupid(*root, name, h);
  if (r && r->kind != nullid) rtlib_fatal_in("symtab_new_coord_0", "DUPLICATE COORDINATE NAME");
  if (!r) r = symtab_enterid(root, symtab_newidrec(name, h));
  r->kind = coordnam;
  r->index = number;
  return r;
}

namespace {
struct Builtin {
  const char *name;
  uint16_t opcode;
  uint8_t a, b;
  std::initializer_list<int> counts;
  uint8_t vec, pw;
  uint32_t kind;
};
}  // namespace

void symtab_operators(idrec **root) {
  TRACE("symtab_operators_0");
  const std::initializer_list<int> one = {1}, two = {2}, upto3 = {1, 2, 3}, oneortwo = {1, 2};
  const Builtin table[] = {
      {"DEL2", op::del2, 1, 1, one, 0, 0, difopnam},
      {"DIV", op::vdiv, 1, 0, upto3, 1, 0, difopnam},
      {"GRAD", op::grad, 1, 0, one, 0, 0, difopnam},
      {"CURL", op::vcurl, 1, 0, upto3, 1, 0, difopnam},
      {"ABS", op::absf, 0, 0, one, 0, 1, funcnam},
      {"ARCCOS", op::acosf, 0, 0, one, 0, 1, funcnam},
      {"ARCSIN", op::asinf, 0, 0, one, 0, 1, funcnam},
      {"ARCTAN", op::atanf, 0, 0, one, 0, 1, funcnam},
      {"COS", op::cosf, 0, 0, one, 0, 1, funcnam},
      {"EXP", op::expf, 0, 0, one, 0, 1, funcnam},
      {"FIT", op::fitfun, 0, 0, oneortwo, 0, 0, funcnam},
      {"LN", op::logf, 0, 0, one, 0, 1, funcnam},
      {"SIN", op::sinf, 0, 0, one, 0, 1, funcnam},
      {"SQRT", op::sqrt, 0, 0, one, 0, 1, funcnam},
      {"TAN", op::tanf, 0, 0, one, 0, 1, funcnam},
      {"GLOBALMIN", op::globalmin, 0, 0, one, 0, 0, funcnam},
      {"GLOBALMAX", op::globalmax, 0, 0, one, 0, 0, funcnam},
      {"GLOBALMIN_X", op::minspot, 1, 0, one, 0, 0, funcnam},
      {"GLOBALMAX_X", op::maxspot, 1, 0, one, 0, 0, funcnam},
      {"GLOBALMIN_Y", op::minspot, 2, 0, one, 0, 0, funcnam},
      {"GLOBALMAX_Y", op::maxspot, 2, 0, one, 0, 0, funcnam},
      {"GLOBALMIN_Z", op::minspot, 3, 0, one, 0, 0, funcnam},
      {"GLOBALMAX_Z", op::maxspot, 3, 0, one, 0, 0, funcnam},
      {"NORMAL", op::vncomp, 0, 0, upto3, 1, 0, funcnam},
      {"TANGENTIAL", op::vtcomp, 0, 0, upto3, 1, 0, funcnam},
      {"XCOMP", op::vxcomp, 0, 0, upto3, 1, 0, funcnam},
      {"YCOMP", op::vycomp, 0, 0, upto3, 1, 0, funcnam},
      {"ZCOMP", op::vzcomp, 0, 0, upto3, 1, 0, funcnam},
      {"INTEGRAL", op::volint, 0, 0, upto3, 0, 0, funcnam},
      {"VINTEGRAL", op::volint, 0, 0, upto3, 0, 0, funcnam},
      {"VOL_INTEGRAL", op::volint, 0, 0, upto3, 0, 0, funcnam},
      {"SINTEGRAL", op::surfint, 0, 0, {1, 2, 3, 4}, 0, 0, funcnam},
      {"SURF_INTEGRAL", op::surfint, 0, 0, {1, 2, 3, 4}, 0, 0, funcnam},
      {"BINTEGRAL", op::bdryint, 0, 0, upto3, 0, 0, funcnam},
      {"LINE_INTEGRAL", op::bdryint, 0, 0, upto3, 0, 0, funcnam},
      {"AINTEGRAL", op::areaint, 0, 0, upto3, 0, 0, funcnam},
      {"AREA_INTEGRAL", op::areaint, 0, 0, upto3, 0, 0, funcnam},
      {"MAGNITUDE", op::vlength, 0, 0, upto3, 1, 0, funcnam},
      {"BESSJ", op::besjf, 0, 0, two, 0, 1, funcnam},
      {"BESSY", op::besyf, 0, 0, two, 0, 1, funcnam},
      {"COSH", op::coshf, 0, 0, one, 0, 1, funcnam},
      {"ERF", op::erff, 0, 0, one, 0, 1, funcnam},
      {"ERFC", op::erfcf, 0, 0, one, 0, 1, funcnam},
      {"LOG10", op::log10, 0, 0, one, 0, 1, funcnam},
      {"MAX", op::maxf, 0, 0, two, 0, 1, funcnam},
      {"MIN", op::minf, 0, 0, two, 0, 1, funcnam},
      {"MOD", op::modf, 0, 0, two, 0, 1, funcnam},
      {"SIGN", op::signf, 0, 0, one, 0, 1, funcnam},
      {"SINH", op::sinhf, 0, 0, one, 0, 1, funcnam},
      {"TANH", op::tanhf, 0, 0, one, 0, 1, funcnam},
      {"UPULSE", op::upulsef, 0, 0, two, 0, 1, funcnam},
      {"URAMP", op::urampf, 0, 0, two, 0, 1, funcnam},
      {"USTEP", op::ustepf, 0, 0, one, 0, 1, funcnam},
      {"VECTOR", op::vector, 0, 0, two, 0, 0, funcnam},
      {"DOT", op::vdot, 0, 0, two, 0, 1, funcnam},
      {"CROSS", op::vcross, 0, 0, two, 0, 1, funcnam},
      {"ATAN2", op::atan2f, 0, 0, two, 0, 1, funcnam},
      {"STREAMLINE", op::upfactor, 0, 0, one, 1, 0, funcnam},
      {"DIFF", op::deriv, 0, 0, two, 0, 0, funcnam},
      {"JACOBIAN", op::jelem, 0, 0, two, 0, 0, funcnam},
      {"SAVE", op::savefun, 0, 0, one, 0, 0, funcnam},
      {"PARTS", op::partfun, 0, 0, one, 0, 0, funcnam},
      {"GAMMAF", op::gamma, 0, 0, oneortwo, 0, 1, funcnam},
      {"EXPINT", op::expint, 0, 0, oneortwo, 0, 1, funcnam},
      {"PASSIVE", op::passive, 0, 0, one, 0, 0, funcnam},
      {"RANDOM", op::randomf, 0, 0, one, 0, 0, funcnam},
      {"EVAL", op::fevalop, 0, 0, {3, 4}, 0, 0, funcnam},
  };
  for (const Builtin &b : table)
    symtab_newop(root, b.name, b.opcode, b.a, b.b, counts_set(b.counts), b.vec, b.pw, b.kind);
}

void symtab_builtins(idrec **root) {
  TRACE("symtab_builtins_0");
  symtab_newconst(root, "PI", 4 * atan(1.0));
}

// ---- Listings -------------------------------------------------------------------------------------------

void symtab_showkind(String *s, uint32_t kind) {
  TRACE("symtab_showkind_0");
  if (kind >= 15) {
    strings_addto_1(s, " no kind");
    return;
  }
  strings_addto_1(s, " kind=");
  strings_addto_1(s, symtab_kindnames[kind]);
}

static unsigned address(const void *p) { return unsigned(reinterpret_cast<uintptr_t>(p)); }

static void list_node(FILE *f, const idrec *r, int depth) {
  if (!r) return;
  fprintf(f, "%6x hash=%4x  (%6x,%6x)%3d%2d  |%s\n", address(r), r->hash, address(r->left), address(r->right),
          depth, r->balance, r->name.text ? r->name.text : "");
  list_node(f, r->left, depth + 1);
  list_node(f, r->right, depth + 1);
}

void symtab_dbstable(FILE *f, const idrec *root) {
  TRACE("symtab_dbstable_0");
  if (f) list_node(f, root, 0);
}
