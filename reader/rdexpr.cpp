// rdexpr: the expression actions (the section actions are in rdexpr_sections.cpp). An
// action's result r starts as a copy of v[1] and so shares v[1]'s tree and string: every
// value taken from a right-hand node goes through take() so that no tree is owned twice.
#include "reader/rdexpr.h"
#include "reader/rdexpr_internal.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "model/pdedat_record.h"
#include "model/fits.h"
#include "model/params.h"
#include "model/treeclas.h"
#include "model/treemods.h"
#include "model/treesimp.h"
#include "model/treeval.h"
#include "reader/rdpde.h"
#include "reader/switches.h"
#include "runtime/bopmem.h"
#include "runtime/debug.h"
#include "runtime/report.h"
#include "runtime/rtlib.h"
#include "runtime/textin.h"


uint32_t rdexpr_section = 0;
uint16_t rdexpr_region = 0;
uint16_t rdexpr_layer = 0;
uint8_t rdexpr_timederiv = 0;
TreeNode *rdexpr_streamline = nullptr;
uint8_t rdexpr_debug = 0;

const evalpoint empty_point = {};

pde *P() { return rdpde_problem; }
FormulaSet &F() { return rdpde_problem->formulas; }

[[noreturn]] void err(const TextLoc *loc, const char *message) {
  String m{uint16_t(strlen(message)), uint16_t(strlen(message)), const_cast<char *>(message)};
  report_parse_err_0(P(), loc, &m);
}

// A new entry of the definitions, made for the text at loc; the list holds 65535.
// Where each variable and definition of the outer scope was declared, so that a later
// clash with a name the system enters can be reported at the declaration.
std::vector<std::pair<const idrec *, TextLoc>> declared_at;

void note_declaration(const idrec *id, const TextLoc *loc) { declared_at.emplace_back(id, *loc); }

static const TextLoc *declaration_of(const idrec *id) {
  for (const auto &[known, loc] : declared_at)
    if (known == id) return &loc;
  return nullptr;
}

uint16_t new_param(paramset *set, const String *name, const TextLoc *loc) {
  if (set->count == UINT16_MAX) err(loc, "Too many definitions (limit 65535)");
  return params_new_param(set, name);
}

// The tree of n, which the caller now owns; r forgets it too when it shares it.
TreeNode *take(parse_node *r, parse_node *n) {
  TreeNode *t = n->tree;
  n->tree = nullptr;
  if (r->tree == t) r->tree = nullptr;
  return t;
}
uint32_t depth_of(const parse_node *n) { return n->tree ? std::max<uint32_t>(n->depth, 1) : 0; }

// Gives r the tree t of height depth; a tree too deep is refused at loc.
void give(parse_node *r, TreeNode *t, uint32_t depth, const TextLoc *loc) {
  if (depth > RDEXPR_MAX_DEPTH) {
    trees_free_0(t);
    err(loc, "Expression nested too deeply");
  }
  r->tree = t;
  r->depth = uint16_t(depth);
}

// The string of n moved out (n keeps an empty one).
String take_string(parse_node *n) {
  String s = n->token == SYM_STRING ? n->value.string : String{};
  if (n->token == SYM_STRING) n->value.string = {};
  return s;
}

// The symbol of a name in the outermost scope, or null.
idrec *global_id(const String *name) {
  scopestack &s = P()->scopes;
  return s.count ? symtab_lookupid(s.roots[0], name, strings_hashfn_0(name)) : nullptr;
}
idrec **top_scope() { return &P()->scopes.roots[P()->scopes.count - 1]; }

// Scopes closed during the parse. The parser may already hold the next name, read
// while the scope was open, so their records live on, as undeclared names, until
// the next parse starts. The list itself is never destroyed, so that what it holds
// stays reachable to the end of the process.
std::vector<idrec *> &closed = *new std::vector<idrec *>;

static void forget(idrec *r) {
  for (; r; r = r->right) {
    forget(r->left);
    r->kind = nullid;
    r->index = 0;
    r->value = nullptr;
  }
}

// Enters the name of n into the scope; the node's entry is the stored one. A name
// of a closed scope is entered as a new record.
idrec *enter(parse_node *r, parse_node *n, idrec **root) {
  if (!n->fresh) {
    idrec *copy = symtab_newidrec(&n->id->name, n->id->hash);
    symtab_defineid(copy, nullid, 0, 0, 0, nullptr);
    if (r->id == n->id) r->id = copy;
    n->id = copy;
  }
  idrec *id = symtab_enterid(root, n->id);
  if (r->id == n->id) r->id = id, r->fresh = 0;
  n->id = id;
  n->fresh = 0;
  return id;
}

void push_scope() { symtab_resize(&P()->scopes, uint16_t(P()->scopes.count + 1), uint16_t(P()->scopes.count + 4)); }
void pop_scope() {
  scopestack &s = P()->scopes;
  if (s.count <= 1) return;
  forget(s.roots[s.count - 1]);
  closed.push_back(s.roots[s.count - 1]);
  s.roots[s.count - 1] = nullptr;
  s.count--;
}

// ---- Simplification, classification, constants ---------------------------------------------

// Simplifies the tree held in *slot in place: the slot holds a whole tree even when
// an error abandons the simplification, so that its owner releases it.
void simplify_in(TreeNode **slot) {
  uint8_t changed = 0;
  treesimp_simplify_in(slot, rdexpr_region, &changed);
}

void classify(TreeNode *t) {
  treeclas_classify_rhs(P(), t, rdexpr_region);
  treeclas_classify_value(P(), t, rdexpr_region, 0);
}

static bool is_constant(const TreeNode *t) { return t && t->rhsclass == constex; }

bool rdexpr_holds_definition(const TreeNode *t) {
  return treemods_find_op(t, op::param) || treemods_find_op(t, op::stageparam);
}

namespace {

// ---- Node builders ---------------------------------------------------------------------------

// op(a, b) located at the operator; the result at the right operand.
void binary(parse_node *r, parse_node *const *v, int32_t opcode) {
  uint32_t d = std::max(depth_of(v[1]), depth_of(v[3])) + 1;
  TreeNode *n = trees_new_1(opcode, &v[2]->loc);
  n->child[0] = take(r, v[1]);
  n->child[1] = take(r, v[3]);
  r->loc = v[3]->loc;
  give(r, n, d, &v[3]->loc);
}

// op over the operand v[k]; the result at the operand.
void unary(parse_node *r, parse_node *const *v, int k, int32_t opcode) {
  uint32_t d = depth_of(v[k]) + 1;
  TreeNode *n = trees_new_1(opcode, &v[1]->loc);
  n->child[0] = take(r, v[k]);
  r->loc = v[k]->loc;
  give(r, n, d, &v[k]->loc);
}

// r takes the whole value of v[k].
void pass(parse_node *r, parse_node *const *v, int k) {
  if (k == 1) return;
  TreeNode *t = take(r, v[k]);
  uint32_t d = std::max(uint32_t(v[k]->depth), t ? 1u : 0u);
  if (r->token == SYM_STRING) strings_free_0(&r->value.string);
  r->token = v[k]->token;
  r->value = v[k]->value;
  if (v[k]->token == SYM_STRING) v[k]->value.string = {};
  r->id = v[k]->id;
  r->fresh = v[k]->fresh;
  v[k]->fresh = 0;
  r->loc = v[k]->loc;
  r->tree = t;
  r->depth = uint16_t(d);
}

void leaf(parse_node *r, int32_t opcode) {
  give(r, trees_new_1(opcode, &r->loc), 1, &r->loc);
}

// ---- Function calls ---------------------------------------------------------------------------

struct Call {
  parse_node *r;
  parse_node *const *v;
  idrec *id;
  int n;             // argument count
  TextLoc close;     // the closing parenthesis
};

}  // namespace

bool kind_is_integral(int32_t opcode) {
  return opcode == op::volint || opcode == op::areaint || opcode == op::surfint || opcode == op::bdryint;
}

uint16_t fit_kept(fitlist *list, uint16_t n, TreeNode *tree, TreeNode *second) {
  if (list->items[n - 1]->tree != tree) {
    trees_free_0(tree);
    trees_free_0(second);
  }
  return n;
}

namespace {

void check_count(const Call &c) {
  if (c.n < 0 || c.n > 31 || !(c.id->argcounts & (0x80000000u >> c.n))) err(&c.close, "Wrong Number of Arguments");
}

// A leaf of opcode with index n, at the call's closing parenthesis.
void fit_leaf(const Call &c, int32_t opcode, uint16_t n) {
  TreeNode *t = trees_new_1(opcode, &c.close);
  t->index = n;
  c.r->loc = c.close;
  give(c.r, t, 1, &c.close);
}

// An integer argument: the folded value, saturated to the 64-bit range first.
int64_t integer_arg(parse_node *n) { return switches_cut(rdexpr_constize(n)); }

// The integrand with the volume-element weight the kind asks for.
TreeNode *weighted(TreeNode *integrand, int32_t kind) {
  bool weigh = kind == op::surfint || (kind == op::volint && !(P()->v216integral && rdexpr_section != 8));
  TreeNode *w = P()->coords.trees[7];
  if (!weigh || !w) return integrand;
  // A surface integral takes the element of each side, which in spheres and
  // three-dimensional cylinders differs from side to side.
  TreeNode *side = kind == op::surfint ? metrics_side_element(&P()->coords, true) : nullptr;
  TreeNode *m = trees_insert(integrand, op::mulop);
  m->child[1] = side ? side : trees_copy(w);
  m->arity = 2;
  return m;
}

// The fit of an integral with up to three selectors, each a key or a name (absent:
// key 0 and an empty name); the result is a leaf of the integral's opcode.
void integral(const Call &c, TreeNode *integrand, int nsel, const uint16_t *keys, String *names) {
  int32_t kind = int32_t(c.id->index);
  bool line = kind == op::bdryint;
  if (line && P()->dimension == 3) {
    trees_free_0(integrand);
    err(&c.close, "2D Only");
  }
  if (kind == op::areaint && c.n > 2) {
    trees_free_0(integrand);
    err(&c.close, "Wrong Number of Arguments");
  }
  integrand = weighted(integrand, kind);
  int32_t opcode = kind == op::areaint ? op::volint
                   : kind == op::surfint ? (P()->dimension == 3 ? op::surfint : op::bdryint)
                                         : kind;
  parse_node *held = c.v[3];  // the integrand's node owns it while it is simplified and classified
  held->tree = integrand;
  simplify_in(&held->tree);
  classify(held->tree);
  TreeNode *t = held->tree;
  held->tree = nullptr;
  fitlist *list = &F().fits;
  uint16_t n;
  if (nsel <= 1) {
    n = fits_make_fit_1(list, t, keys[0], &names[0], uint32_t(opcode));
  } else {
    StringList l = {};
    for (int k = 0; k < nsel; k++) strings_one_more(&l, &names[k]);
    n = fits_make_fit_3(list, t, keys[0], keys[1], &l, uint32_t(opcode));
    strings_free_1(&l, 1);
  }
  fit_kept(list, n, t);
  fit_leaf(c, opcode, n);
}

uint16_t order_arg(parse_node *n, const TextLoc *loc) {
  // The order is a whole number: a fraction is refused, not dropped.
  double a = rdexpr_constize(n);
  if (!(a >= 0 && a <= 65535 && a == std::trunc(a))) err(loc, "Illegal argument");
  return uint16_t(a);
}

bool variable_tree(const TreeNode *t) { return t && (t->opcode == op::varble || t->opcode == op::eigvec); }

// The node of opcode over the given children, with the function's name.
void node_of(const Call &c, int32_t opcode, TreeNode **kids, int n, uint32_t depth) {
  TreeNode *t = trees_new_1(opcode, &c.close);
  t->arity = uint8_t(n);
  for (int k = 0; k < n; k++) t->child[k] = kids[k];
  t->name = &c.id->name;
  c.r->loc = c.close;
  give(c.r, t, depth + 1, &c.close);
}

// The common start of every call: the symbol, the count check, user functions.
Call start_call(parse_node *r, parse_node *const *v, int n, int close) {
  Call c{r, v, v[1]->id, n, v[close]->loc};
  if (!c.id) rtlib_fatal_in("rdexpr_fcall", "BAD FUNCTION");
  if (c.id->kind == strfuncnam) err(&c.close, "ILLEGAL USE OF STRING FUNCTION");
  check_count(c);
  return c;
}

// A call whose arguments are all expressions, at v[3], v[5], v[7], v[9].
void expression_call(parse_node *r, parse_node *const *v, int n) {
  Call c = start_call(r, v, n, 2 * n + 2);
  const int32_t opcode = int32_t(c.id->index);
  uint32_t depth = 0;
  for (int k = 0; k < n; k++) depth = std::max(depth, depth_of(v[3 + 2 * k]));
  auto arg = [&](int k) { return take(r, v[1 + 2 * k]); };  // argument k from 1
  if (c.id->kind == fparamnam) {
    TreeNode *kids[4] = {};  // as many as the rule has argument places
    for (int k = 0; k < n; k++) kids[k] = arg(k + 1);
    node_of(c, op::fparam, kids, n, depth);
    r->tree->index = c.id->index;
    if (c.id->index >= 1 && c.id->index <= F().definitions.count)
      r->tree->name = &F().definitions.items[c.id->index - 1]->name;
    return;
  }
  if (kind_is_integral(opcode)) {
    uint16_t keys[3] = {};
    String names[3] = {};
    if (n == 4 && opcode != op::surfint) err(&c.close, "Illegal Function Call");
    if (n == 4 && P()->dimension != 3) err(&c.close, "3D Only");
    // Numeric selectors: the first two are keys; a third (surface integrals) is
    // carried as the name of its number.
    for (int k = 2; k <= n; k++) {
      int64_t key = integer_arg(v[1 + 2 * k]);
      if (k <= 3) keys[k - 2] = uint16_t(key);
      else strings_itos_1(&names[2], int32_t(key), 0);
    }
    TreeNode *t = arg(1);
    integral(c, t, n <= 2 ? 1 : n - 1, keys, names);
    for (String &s : names) strings_free_0(&s);
    return;
  }
  if (opcode == op::fevalop) {
    if (n < 3) err(&c.close, "Wrong Number of Arguments");
    TreeNode *pt = trees_new_1(op::pointval, &c.close);
    pt->child[0] = arg(2);
    pt->child[1] = arg(3);
    pt->child[2] = n == 4 ? arg(4) : trees_new_1(op::realzero, &c.close);
    TreeNode *kids[2] = {arg(1), pt};
    node_of(c, op::fevalop, kids, 2, depth + 1);
    return;
  }
  if (n == 4) err(&c.close, "What?");
  if (c.id->vecarg && n >= 2) {
    TreeNode *vec = trees_new_1(op::vector, &c.close);
    vec->arity = uint8_t(n);
    for (int k = 0; k < n; k++) vec->child[k] = arg(k + 1);
    TreeNode *kids[1] = {vec};
    node_of(c, opcode, kids, 1, depth + 1);
    return;
  }
  if (n == 1) {
    if (opcode == op::upfactor) {  // STREAMLINE
      if (rdexpr_section != 4) err(&c.close, "ALLOWED ONLY IN EQUATIONS");
      trees_free_0(rdexpr_streamline);
      rdexpr_streamline = arg(1);
      r->loc = c.close;
      give(r, trees_new_1(op::realzero, &c.close), 1, &c.close);
      return;
    }
    if (opcode == op::fitfun || opcode == op::savefun || opcode == op::globalmin || opcode == op::globalmax) {
      TreeNode *t = arg(1);
      fitlist *list = &F().fits;
      fit_leaf(c, opcode, fit_kept(list, fits_make_fit_0(list, t, 0, 0, uint32_t(opcode)), t));
      return;
    }
    if (opcode == op::minspot || opcode == op::maxspot) {
      TreeNode *t = arg(1);
      fitlist *list = &F().fits;
      uint32_t kind = opcode == op::minspot ? op::globalmin : op::globalmax;
      fit_leaf(c, opcode, fit_kept(list, fits_make_fit_0(list, t, 0, 0, kind), t));
      r->tree->deriv[0] = c.id->suba;
      return;
    }
    if (c.id->kind == difopnam && opcode == op::deriv) {
      TreeNode *kids[1] = {arg(1)};
      node_of(c, op::deriv, kids, 1, depth);
      r->tree->deriv[0] = c.id->suba;
      r->tree->deriv[1] = c.id->subb;
      if (c.id->suba == 4) {
        rdexpr_set_timedep(&c.close);
        rdexpr_timederiv = 1;
      }
      return;
    }
    TreeNode *kids[1] = {arg(1)};
    node_of(c, opcode == op::expint ? op::eifun : opcode, kids, 1, depth);
    return;
  }
  if (n == 2) {
    if (opcode == op::gamma) {  // the incomplete gamma function takes a real order
      double order = rdexpr_constize(v[3]);
      if (!(order >= 0 && order <= 65535)) err(&v[3]->loc, "Illegal argument");
      TreeNode *kids[1] = {arg(2)};
      node_of(c, op::gammai, kids, 1, depth);
      trees_set_gamma_order(r->tree, order);
      return;
    }
    if (opcode == op::besjf || opcode == op::besyf || opcode == op::expint) {
      uint16_t order = order_arg(v[3], &v[3]->loc);
      TreeNode *kids[1] = {arg(2)};
      node_of(c, opcode, kids, 1, depth);
      r->tree->index = order;
      return;
    }
    if (opcode == op::fitfun) {
      int64_t key = integer_arg(v[5]);
      TreeNode *t = arg(1);
      fitlist *list = &F().fits;
      fit_leaf(c, opcode, fit_kept(list, fits_make_fit_0(list, t, uint16_t(key), 0, op::fitfun), t));
      return;
    }
    if (opcode == op::jelem) {
      if (!variable_tree(v[3]->tree)) err(&v[3]->loc, "VARIABLE NAME REQUIRED");
      if (!variable_tree(v[5]->tree)) err(&v[5]->loc, "VARIABLE NAME REQUIRED");
      TreeNode *a = arg(1), *b = arg(2);
      fitlist *list = &F().fits;
      uint16_t k = fit_kept(list, fits_make_fit_2(list, a, b, op::jelem), a, b);
      vectorn_enlist(&P()->jacfits, k);
      fit_leaf(c, op::jelem, k);
      return;
    }
    if (opcode == op::deriv) {  // DIFF
      if (!variable_tree(v[5]->tree)) err(&v[5]->loc, "VARIABLE NAME REQUIRED");
      uint8_t var = uint8_t(v[5]->tree->index);
      trees_free_0(arg(2));
      TreeNode *kids[1] = {arg(1)};
      node_of(c, op::deriv, kids, 1, depth);
      r->tree->deriv[3] = var;
      return;
    }
    TreeNode *kids[2] = {arg(1), arg(2)};
    node_of(c, opcode, kids, 2, depth);
    return;
  }
  err(&c.close, "Illegal Function Call");
}

// A call with quoted strings among its selectors; which is a string is given by the
// letters: 's' a string, 'i' an integer expression, after the first argument.
void string_call(parse_node *r, parse_node *const *v, const char *letters) {
  const int n = int(strlen(letters)) + 1;
  Call c = start_call(r, v, n, 2 * n + 2);
  const int32_t opcode = int32_t(c.id->index);
  if (c.id->kind == fparamnam) err(&c.close, "Illegal Function Call");
  if (!kind_is_integral(opcode)) {
    if (n != 2) err(&c.close, n == 4 ? "Illegal Function Call" : "What?");
    TreeNode *s = trees_new_1(op::treestring, &v[5]->loc);
    s->text = take_string(v[5]);
    TreeNode *kids[2] = {take(r, v[3]), s};
    node_of(c, opcode, kids, 2, depth_of(v[3]) + 1);
    return;
  }
  if (n == 4 && opcode != op::surfint) err(&c.close, "Illegal Function Call");
  if (n == 4 && P()->dimension != 3) err(&c.close, "3D Only");
  if (opcode == op::bdryint && n == 3 && letters[0] == 'i' && letters[1] == 's') err(&c.close, "Illegal argument");
  uint16_t keys[3] = {};
  String names[3] = {};
  struct Names {
    String *s;
    ~Names() {
      for (int k = 0; k < 3; k++) strings_free_0(&s[k]);
    }
  } owner{names};
  for (int k = 0; k < n - 1; k++) {
    parse_node *a = v[5 + 2 * k];
    if (letters[k] == 's') {
      names[k] = take_string(a);
      strings_upstring_0(&names[k]);
    } else if (k < 2) {
      keys[k] = uint16_t(integer_arg(a));
    } else {  // a third selector travels as the name of its number
      strings_itos_1(&names[k], int32_t(uint16_t(integer_arg(a))), 0);
    }
  }
  integral(c, take(r, v[3]), n - 1, keys, names);
}

}  // namespace

// ---- Folding and errors -------------------------------------------------------------------------

bool rdexpr_constant_value(parse_node *n, double *value) {
  simplify_in(&n->tree);
  TreeNode *t = n->tree;
  classify(t);
  if (!is_constant(t)) return false;
  struct RegionScope {
    uint16_t saved = treeval_region;
    RegionScope() { treeval_region = rdexpr_region; }
    ~RegionScope() { treeval_region = saved; }
  } region;
  *value = treeval_eval(P(), t, &empty_point);
  return true;
}

double rdexpr_constize(parse_node *n) {
  TRACE("rdexpr_constize");
  double value = 0;
  if (!rdexpr_constant_value(n, &value)) err(&n->loc, "CONSTANT REQUIRED");
  n->tree = trees_free_0(n->tree);
  return value;
}

void rdexpr_section_err(const TextLoc *loc) { err(loc, "SECTION OUT OF ORDER"); }

void rdexpr_set_timedep(const TextLoc *loc) {
  TRACE("rdexpr_set_timedep");
  pde *p = P();
  if (p->stages > 0) err(loc, "Staged Problems Cannot Be Time Dependent.");
  if (p->timedep) return;
  p->timedep = 1;
  p->timeloc = *loc;
  if (p->coordnames.count < 4) strings_resize_1(&p->coordnames, 4, 4);
  const String *name = &p->coordnames.items[3];
  if (name->length == 0) strings_copyto_1(&p->coordnames.items[3], "T");
  idrec *known = global_id(name);
  if (known && known->kind != coordnam) {
    // The report does not return: the text lives in a buffer that the next one reuses.
    static std::string text;
    text.assign("Duplicate use of time variable ");
    text.append(name->text ? name->text : "", name->length);
    const TextLoc *declared = declaration_of(known);
    err(declared ? declared : loc, text.c_str());
  }
  if (!known) p->coords.timein = 0;
  metrics_timecoord(&p->coords, &p->scopes.roots[0], &p->coordnames);
}

void rdexpr_tcheck(const TextLoc *loc, uint8_t flag) {
  pde *p = P();
  if (!p->timedep || p->timerange) return;
  if (flag && p->endvalue > 0) {
    p->endtime = p->endvalue;
    return;
  }
  err(loc, "No Time Range Has been Specified");
}

// ---- Operators -------------------------------------------------------------------------------------

void rdexpr_plus(parse_node *r, parse_node *const *v) { binary(r, v, op::addop); }
void rdexpr_minus(parse_node *r, parse_node *const *v) { binary(r, v, op::subop); }
void rdexpr_times(parse_node *r, parse_node *const *v) { binary(r, v, op::mulop); }
void rdexpr_divide(parse_node *r, parse_node *const *v) { binary(r, v, op::divop); }
void rdexpr_power(parse_node *r, parse_node *const *v) { binary(r, v, op::powerop); }
void rdexpr_reland(parse_node *r, parse_node *const *v) { binary(r, v, op::logand); }
void rdexpr_relor(parse_node *r, parse_node *const *v) { binary(r, v, op::logor); }

void rdexpr_relation1(parse_node *r, parse_node *const *v) {
  int32_t opcode;
  switch (v[2]->token) {
    case SYM_LTN: opcode = op::ltnop; break;
    case SYM_GTR: opcode = op::gtrop; break;
    case SYM_NEQ: opcode = op::neqop; break;
    case SYM_LEQ: opcode = op::leqop; break;
    case SYM_GEQ: opcode = op::geqop; break;
    default: opcode = op::equop; break;
  }
  binary(r, v, opcode);
}

void rdexpr_relnot(parse_node *r, parse_node *const *v) { unary(r, v, 2, op::lognot); }
void rdexpr_minusterm(parse_node *r, parse_node *const *v) { unary(r, v, 2, op::negateop); }
void rdexpr_plusterm(parse_node *r, parse_node *const *v) { pass(r, v, 2); }
void rdexpr_equalex(parse_node *r, parse_node *const *v) { pass(r, v, 2); }
void rdexpr_commex(parse_node *r, parse_node *const *v) { pass(r, v, 2); }
void rdexpr_groupex(parse_node *r, parse_node *const *v) {
  pass(r, v, 2);
  r->loc = v[3]->loc;
}
void rdexpr_groupif(parse_node *r, parse_node *const *v) { rdexpr_groupex(r, v); }

void rdexpr_vec2(parse_node *r, parse_node *const *v) {
  uint32_t d = std::max(depth_of(v[3]), depth_of(v[5])) + 1;
  TreeNode *n = trees_new_1(op::vector, &v[6]->loc);
  n->arity = 2;
  n->child[0] = take(r, v[3]);
  n->child[1] = take(r, v[5]);
  r->loc = v[6]->loc;
  give(r, n, d, &v[6]->loc);
}

void rdexpr_vec3(parse_node *r, parse_node *const *v) {
  uint32_t d = std::max({depth_of(v[3]), depth_of(v[5]), depth_of(v[7])}) + 1;
  TreeNode *n = trees_new_1(op::vector, &v[8]->loc);
  n->arity = 3;
  n->child[0] = take(r, v[3]);
  n->child[1] = take(r, v[5]);
  n->child[2] = take(r, v[7]);
  r->loc = v[8]->loc;
  give(r, n, d, &v[8]->loc);
}

void rdexpr_ifex(parse_node *r, parse_node *const *v) {
  uint32_t d = depth_of(v[2]) + 1;
  TreeNode *n = trees_new_1(op::ifthen, &v[1]->loc);
  n->child[2] = take(r, v[2]);
  give(r, n, d, &v[2]->loc);
}

void rdexpr_ifthenelse(parse_node *r, parse_node *const *v) {
  uint32_t d = std::max({depth_of(v[1]), depth_of(v[3]) + 1, depth_of(v[5]) + 1});
  r->tree->child[0] = take(r, v[3]);
  r->tree->child[1] = take(r, v[5]);
  give(r, r->tree, d, &v[5]->loc);
}

void rdexpr_ifthenex(parse_node *, parse_node *const *v) { err(&v[3]->loc, "'ELSE' Clause Required."); }

// ---- Leaves ------------------------------------------------------------------------------------------

void rdexpr_literal(parse_node *r, parse_node *const *) {
  give(r, trees_new_real_1(r->value.real, &r->loc), 1, &r->loc);
}
void rdexpr_litint(parse_node *r, parse_node *const *) { r->value.real = double(r->value.integer); }
void rdexpr_litflt(parse_node *, parse_node *const *) {}
void rdexpr_onval(parse_node *r, parse_node *const *) { r->value.real = 1.0; }
void rdexpr_offval(parse_node *r, parse_node *const *) { r->value.real = 0.0; }
void rdexpr_lambdavar(parse_node *r, parse_node *const *) { leaf(r, op::lambda); }
void rdexpr_stagevar(parse_node *r, parse_node *const *) { leaf(r, op::stageval); }
void rdexpr_dtvar(parse_node *r, parse_node *const *) { leaf(r, op::deltat); }
void rdexpr_voljvar(parse_node *r, parse_node *const *) { leaf(r, op::voljac); }

// The tree a default name stands for, or null for a name that has none.
static TreeNode *default_tree(const String *name, const TextLoc *loc, double *value) {
  pde *p = P();
  auto coord = [&](int32_t opcode) { return trees_new_1(opcode, loc); };
  if (strcmp(name->text, "R") == 0) {
    TreeNode *vec = coord(op::vector);
    vec->child[0] = coord(op::xcoord);
    vec->arity = 1;
    if (p->dimension > 1) vec->child[vec->arity++] = coord(op::ycoord);
    if (p->dimension > 2) vec->child[vec->arity++] = coord(op::zcoord);
    TreeNode *len = coord(op::vlength);
    len->child[0] = vec;
    return len;
  }
  if (strcmp(name->text, "THETA") == 0) {
    TreeNode *a = coord(op::atan2f);
    a->child[0] = coord(op::ycoord);
    a->child[1] = coord(op::xcoord);
    return a;
  }
  if (strcmp(name->text, "STARTTIME") == 0) {
    rdexpr_tcheck(loc, 0);
    *value = p->starttime_value;
  } else if (strcmp(name->text, "ENDTIME") == 0) {
    rdexpr_tcheck(loc, 0);
    *value = p->endtime;
  } else if (strcmp(name->text, "ERRLIM") == 0) {
    *value = p->errlim;
  } else {
    return nullptr;
  }
  return trees_new_real_1(*value, loc);
}

void rdexpr_variable(parse_node *r, parse_node *const *v) {
  TRACE("rdexpr_variable");
  pde *p = P();
  idrec *id = v[1]->id;
  if (!id) rtlib_fatal_in("rdexpr_variable", "BAD IDENT");
  TreeNode *t = nullptr;
  switch (id->kind) {
    case nullid: {
      // The time of the coordinate system, then the default names.
      // Before a coordinate system names it, the time is T.
      bool named = p->coordnames.count >= 4 && p->coordnames.items[3].length;
      if (strcmp(named ? p->coordnames.items[3].text : "T", id->name.text) == 0) {
        rdexpr_set_timedep(&r->loc);
        metrics_timecoord(&p->coords, &p->scopes.roots[0], &p->coordnames);
        t = trees_new_1(op::tcoord, &r->loc);
        break;
      }
      double value = 0;
      TreeNode *d = default_tree(&id->name, &r->loc, &value);
      if (!d) err(&r->loc, "UNDEFINED NAME");
      r->value.real = value;
      idrec *g = enter(r, v[1], &p->scopes.roots[0]);
      uint16_t k = new_param(&F().definitions, &g->name, &r->loc);
      symtab_defineid(g, paramnam, k, 0, 0, d);
      params_define_param(&F().definitions, k, 0, 0, d);
      classify(d);
      t = trees_new_1(op::param, &r->loc);
      t->index = k;
      t->name = &F().definitions.items[k - 1]->name;
      break;
    }
    case literalnam: t = trees_copy(static_cast<TreeNode *>(id->value)); break;
    case coordnam: {
      static const int32_t leaves[6] = {op::realzero, op::xcoord, op::ycoord, op::zcoord, op::tcoord, op::stageval};
      t = trees_new_1(id->index <= 5 ? leaves[id->index] : op::realzero, &r->loc);
      t->name = &id->name;
      if (id->index == 4) rdexpr_set_timedep(&r->loc);
      break;
    }
    case varbnam:
      t = trees_new_1(p->eigen ? op::eigvec : op::varble, &r->loc);
      t->index = id->index;
      t->name = &id->name;
      break;
    case paramnam:
    case sparamnam:
      // The leaf names the definition's own name: a loop's scope may go first.
      t = trees_new_1(id->kind == paramnam ? op::param : op::stageparam, &r->loc);
      t->index = id->index;
      if (id->index >= 1 && id->index <= F().definitions.count) t->name = &F().definitions.items[id->index - 1]->name;
      break;
    case fargnam:
      t = trees_new_1(op::fargop, &r->loc);
      t->index = id->index;
      break;
    case forvarnam: {
      looplist &l = F().loops;
      double value = id->index >= 1 && id->index <= l.count ? l.items[id->index - 1].current : 0;
      t = trees_new_real_1(value, &r->loc);
      r->value.real = value;
      break;
    }
    case sumvarnam:
      t = trees_new_1(op::sumvar, &r->loc);
      t->index = id->index;
      break;
    case strfuncnam: err(&r->loc, "ILLEGAL USE OF STRING FUNCTION");
    default: err(&r->loc, "BAD IDENT CODE");
  }
  if (t && !t->loc.file && !t->loc.line) t->loc = r->loc;
  give(r, t, 1, &r->loc);
}

void rdexpr_indexed(parse_node *r, parse_node *const *v) {
  uint32_t d = depth_of(v[3]) + 1;
  TreeNode *n = trees_new_1(op::arrayref, &v[4]->loc);
  n->index = v[1]->id ? v[1]->id->index : 0;
  n->name = v[1]->id ? &v[1]->id->name : nullptr;
  n->child[0] = take(r, v[3]);
  r->loc = v[4]->loc;
  give(r, n, d, &v[4]->loc);
}

void rdexpr_fcall1(parse_node *r, parse_node *const *v) { expression_call(r, v, 1); }
void rdexpr_fcall2(parse_node *r, parse_node *const *v) { expression_call(r, v, 2); }
void rdexpr_fcall3(parse_node *r, parse_node *const *v) { expression_call(r, v, 3); }
void rdexpr_fcall4(parse_node *r, parse_node *const *v) { expression_call(r, v, 4); }
void rdexpr_fcall2s(parse_node *r, parse_node *const *v) { string_call(r, v, "s"); }
void rdexpr_fcall3ss(parse_node *r, parse_node *const *v) { string_call(r, v, "ss"); }
void rdexpr_fcall3is(parse_node *r, parse_node *const *v) { string_call(r, v, "is"); }
void rdexpr_fcall3si(parse_node *r, parse_node *const *v) { string_call(r, v, "si"); }
void rdexpr_fcall4sss(parse_node *r, parse_node *const *v) { string_call(r, v, "sss"); }
void rdexpr_fcall4iss(parse_node *r, parse_node *const *v) { string_call(r, v, "iss"); }
void rdexpr_fcall4sis(parse_node *r, parse_node *const *v) { string_call(r, v, "sis"); }
void rdexpr_fcall4ssi(parse_node *r, parse_node *const *v) { string_call(r, v, "ssi"); }
void rdexpr_fcall4sii(parse_node *r, parse_node *const *v) { string_call(r, v, "sii"); }
void rdexpr_fcall4isi(parse_node *r, parse_node *const *v) { string_call(r, v, "isi"); }
void rdexpr_fcall4iis(parse_node *r, parse_node *const *v) { string_call(r, v, "iis"); }

void rdexpr_valpt(parse_node *r, parse_node *const *v) {
  TRACE("rdexpr_valpt");
  v[3]->tree = take(r, v[3]);
  simplify_in(&v[3]->tree);
  TreeNode *e = take(r, v[3]);
  TreeNode *pt = trees_new_1(op::pointval, &v[5]->loc);
  for (int k = 0; k < 3; k++) pt->child[k] = trees_new_real_1(v[5]->value.xyz[k], &v[5]->loc);
  fitlist *list = &F().fits;
  uint16_t n = fits_make_fit_2(list, e, pt, op::evalop);
  TreeNode *kept = list->items[n - 1]->tree;
  classify(kept);
  TreeNode *t = trees_new_1(op::evalop, &v[6]->loc);
  t->index = n;
  t->rhsclass = kept ? kept->rhsclass : 0;
  t->valuetag = kept ? kept->valuetag : 0;
  fit_kept(list, n, e, pt);
  r->loc = v[6]->loc;
  give(r, t, 1, &v[6]->loc);
}

// ---- Strings -------------------------------------------------------------------------------------

void rdexpr_copystring(parse_node *r, parse_node *const *v) {
  String s = take_string(v[2]);
  if (r->token == SYM_STRING) strings_free_0(&r->value.string);
  r->token = SYM_STRING;
  r->value.string = s;
}

void rdexpr_sumstring(parse_node *r, parse_node *const *v) {
  String s = take_string(v[3]);
  strings_addto_0(&r->value.string, &s);
  strings_free_0(&s);
}

// INTSTRING and "$": the folded value cut to an integer, as decimal text.
static void number_text(parse_node *r, parse_node *n) {
  int64_t k = switches_cut(rdexpr_constize(n));
  r->token = SYM_STRING;
  r->value.string = {};
  strings_itos_1(&r->value.string, int32_t(std::clamp<int64_t>(k, INT32_MIN, INT32_MAX)), 0);
}

void rdexpr_intstring(parse_node *r, parse_node *const *v) { number_text(r, v[3]); }
void rdexpr_intstring1(parse_node *r, parse_node *const *v) { number_text(r, v[2]); }

int rdexpr_init() {
  TRACE("rdexpr");
  return 0;
}
