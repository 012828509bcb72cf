// rdexpr_sections: the section actions (variables, definitions, functions, stages,
// equations, repeats and sums) and the coordinate set-up.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "model/pdedat_record.h"
#include "model/arys.h"
#include "model/constrn.h"
#include "model/eqns.h"
#include "model/fits.h"
#include "model/forloops.h"
#include "model/metrics.h"
#include "model/params.h"
#include "reader/rdexpr.h"
#include "reader/rdexpr_internal.h"
#include "reader/rdpde.h"
#include "runtime/bopmem.h"
#include "runtime/debug.h"
#include "runtime/rtlib.h"
#include "runtime/textin.h"

// ---- Sections ------------------------------------------------------------------------------------

namespace {

// The list EQUATIONS (1) or INITIAL EQUATIONS (2) fill; 0 before either.
uint8_t current_section = 0;
eqnlist *current_list() {
  return current_section == 1 ? &F().equations : current_section == 2 ? &F().initeqns : nullptr;
}
uint16_t equation_counter = 0;    // equations read in the current list
uint16_t group_counter = 0;       // equations of the current THEN group
uint16_t stage_counter = 0;       // values of the STAGED list being read
uint16_t shortest_staged = 0;     // values of the shortest STAGED list read, 0 before any
uint16_t function_args = 0;       // formal arguments read so far
idrec *function_arglist[4] = {};  // and their symbols

void check_new(const parse_node *n) {
  if (n->id && n->id->kind != nullid) err(&n->loc, "MULTIPLY DEFINED");
}

pdevar &var(uint16_t k) { return P()->vars.items[k - 1]; }

// Simplified and classified, left in n until it is stored.
TreeNode *prepared(parse_node *r, parse_node *n) {
  n->tree = take(r, n);
  simplify_in(&n->tree);
  classify(n->tree);
  return n->tree;
}

void define(parse_node *r, parse_node *const *v, bool replace) {
  TRACE("rdexpr_define");
  pde *p = P();
  paramset *set = &F().definitions;
  TreeNode *t = prepared(r, v[3]);
  idrec *g = global_id(&v[1]->id->name);
  idrec *id = g ? g : v[1]->id;
  if (rdexpr_region != 0) {
    if (id->kind == nullid) err(&v[1]->loc, "UNDEFINED NAME");
    if (id->kind != paramnam) err(&v[1]->loc, "IDENTIFIER CANNOT BE REDEFINED");
    v[3]->tree = nullptr;
    if (params_define_param(set, id->index, rdexpr_region, rdexpr_layer, t)) err(&v[1]->loc, "MULTIPLY DEFINED");
  } else {
    if (id->kind != paramnam && id->kind != nullid) err(&v[1]->loc, "MULTIPLY DEFINED");
    if (id->kind == paramnam) {
      const TreeNode *old = params_find_param_def(set, id->index, 0, 0);
      if (old && old->opcode != op::undef && !replace) err(&v[1]->loc, "MULTIPLY DEFINED");
      vectorn_delete(&p->declared, id->index);
    } else {
      id = enter(r, v[1], top_scope());
      symtab_defineid(id, paramnam, new_param(set, &id->name, &v[1]->loc), 0, 0, nullptr);
      note_declaration(id, &v[1]->loc);
    }
    v[3]->tree = nullptr;
    params_define_param(set, id->index, 0, 0, t);
  }
  id->value = t;
  r->loc = v[3]->loc;
}

// Declares the next variable under the symbol id.
void newvar(idrec *id) {
  pde *p = P();
  pdevars &vs = p->vars;
  if (vs.count >= vs.capacity) {
    uint16_t cap = uint16_t(vs.capacity + 8);
    pdevar *items = nullptr;
    bopmemalloc(&items, cap, sizeof(pdevar));
    if (vs.count) memcpy(static_cast<void *>(items), vs.items, vs.count * sizeof(pdevar));
    if (vs.items) bopmemfree(&vs.items);
    XMEM += int64_t(cap - vs.capacity) * sizeof(pdevar);
    vs.items = items;
    vs.capacity = cap;
  }
  uint16_t k = ++vs.count;
  p->nvars = k;
  symtab_defineid(id, varbnam, k, 0, 0, nullptr);
  pdevar &x = var(k);
  x = {};
  strings_copyto_0(&x.name, &id->name);
  strings_one_more(&p->varnames, &x.name);
  x.errweight = 1.0;
  if (rdexpr_section == 2) {
    p->nscalar++;
    x.scalar = 1;
  } else {
    p->nfield++;
  }
}

void section_range(parse_node *a, parse_node *b) {
  double lo = a ? rdexpr_constize(a) : 0, hi = rdexpr_constize(b);
  pdevar &x = var(P()->vars.count);
  x.low = lo;
  x.high = hi;
  x.width = hi - lo;
}

// Stores equation n of the current list (or scalar equation n) with its time flag.
// DEBUG(TREES) writes its diagram as read.
void store_equation(uint16_t n, bool scalar, TreeNode *t) {
  pde *p = P();
  if (trees_debug && debug_file) {
    char title[40];
    snprintf(title, sizeof title, "%sEQUATION %d", scalar ? "SCALAR " : "", n);
    trees_print_tree(debug_file, t, title);
  }
  if (scalar) {
    constrn_define_constraint(&F().scalars, n, t);
    var(uint16_t(p->nfield + n)).timeflag = rdexpr_timederiv;
  } else {
    eqns_define_equation_0(current_list(), n, t);
    if (n <= p->vars.count) var(n).timeflag = rdexpr_timederiv;
    if (rdexpr_section == 4) {
      if (p->eqmap.count < n) vectorn_resize(&p->eqmap, n, n + 8);
      p->eqmap.data[n - 1] = n;
    }
  }
  rdexpr_timederiv = 0;
}

// How a tree depends on variable k: 0 not at all, 1 as a polynomial of degree one (a
// sum of terms each of which is k times a factor free of it), 2 otherwise or unknown
// (a derivative of k, another variable, a definition whose content is not known here).
int degree_in(const TreeNode *n, uint16_t k) {
  if (!n) return 0;
  switch (n->group) {
    case leafop:
      if (n->opcode == op::varble) return n->index == k && !n->deriv[0] && !n->deriv[1] && !n->deriv[2] ? 1 : 2;
      if (n->opcode == op::vardot || n->opcode == op::param || n->opcode == op::stageparam || n->opcode == op::eigvec ||
          n->opcode == op::fitfun || n->opcode == op::tableval || n->opcode == op::xferval || n->opcode == op::evalop)
        return 2;
      return 0;
    case unop: {
      int d = degree_in(n->child[0], k);
      return n->opcode == op::negateop || d == 0 ? d : 2;
    }
    case binop: {
      int a = degree_in(n->child[0], k), b = degree_in(n->child[1], k);
      if (n->opcode == op::addop || n->opcode == op::subop) return std::max(a, b);
      if (n->opcode == op::mulop) return a + b > 1 ? 2 : a + b;
      if (n->opcode == op::divop) return b ? 2 : a;
      return a || b ? 2 : 0;
    }
    default:
      for (int c = 0; c < n->arity && c < 3; c++)
        if (degree_in(n->child[c], k)) return 2;
      return n->group == derivop || n->opcode == op::fparam ? 2 : 0;
  }
}

// A copy of the tree with variable k replaced by the value.
TreeNode *with_value(const TreeNode *t, uint16_t k, double value) {
  TreeNode *c = trees_copy(t);
  std::vector<TreeNode *> todo{c};
  while (!todo.empty()) {
    TreeNode *n = todo.back();
    todo.pop_back();
    if (n->group == leafop) {
      if (n->opcode == op::varble && n->index == k) trees_replace(n, value);
      continue;
    }
    for (int i = 0; i < n->arity && i < 3; i++)
      if (n->child[i]) todo.push_back(n->child[i]);
  }
  return c;
}

TreeNode *binary_tree(int32_t opcode, TreeNode *a, TreeNode *b, const TextLoc *loc) {
  TreeNode *n = trees_new_1(opcode, loc);
  n->arity = 2;
  n->child[0] = a, n->child[1] = b;
  return n;
}

// The start that initial equation k, f(u) = 0 with f of degree one in its variable u,
// gives: u = f(0) / (f(0) - f(1)). An equation that is not of that form is refused at
// its place rather than left unused.
void solve_initial(uint16_t k, const TreeNode *t, const TextLoc *at) {
  if (k > P()->vars.count) err(at, "More INITIAL EQUATIONS than VARIABLES");
  if (degree_in(t, k) != 1)
    err(at,
        "INITIAL EQUATIONS: each must be of degree one in its own variable, with no derivative, other "
        "variable or definition");
  TreeNode *f0 = with_value(t, k, 0), *f0b = with_value(t, k, 0), *f1 = with_value(t, k, 1);
  TreeNode *start = binary_tree(op::divop, f0, binary_tree(op::subop, f0b, f1, at), at);
  eqns_define_initial(&F().initial, k, start);
}

TreeNode *difference(parse_node *r, parse_node *left, parse_node *right) {
  uint32_t d = std::max(depth_of(left), depth_of(right)) + 1;
  TreeNode *t = trees_new_1(op::subop, &right->loc);
  t->child[0] = take(r, left);
  t->child[1] = take(r, right);
  if (d > RDEXPR_MAX_DEPTH) {
    trees_free_0(t);
    err(&right->loc, "Expression nested too deeply");
  }
  return t;
}

void equations_check(parse_node *n) {
  pde *p = P();
  bool ok = F().equations.count == p->nfield && F().scalars.count == p->nscalar;
  for (uint16_t k = 0; ok && k < F().equations.count; k++) ok = F().equations.items[k]->tree != nullptr;
  for (uint16_t k = 0; ok && k < F().scalars.count; k++) ok = F().scalars.items[k]->tree != nullptr;
  if (!ok) err(&n->loc, "WRONG NUMBER OF EQUATIONS");
}

void add_constraint(parse_node *r, parse_node *left, parse_node *right) {
  const TreeNode *l = left->tree;
  if (!l || !kind_is_integral(l->opcode)) err(&left->loc, "INTEGRAL CONSTRAINTS ONLY");
  TreeNode *t = difference(r, left, right);
  uint16_t n = constrn_new_constraint(&F().constraints);
  constrn_define_constraint(&F().constraints, n, t);
}

// The limit of a loop travels in the record's two reader words.
void put_limit(forloop &l, double limit) {
  uint64_t bits;
  memcpy(&bits, &limit, 8);
  l.word1 = uint32_t(bits >> 32);
  l.word2 = uint32_t(bits);
}
double get_limit(const forloop &l) {
  uint64_t bits = uint64_t(l.word1) << 32 | l.word2;
  double limit;
  memcpy(&limit, &bits, 8);
  return limit;
}

// A REPEAT header; the body begins after last, the header's last expression.
void repeat(parse_node *r, parse_node *const *v, parse_node *start, parse_node *step, parse_node *limit,
            parse_node *last) {
  TRACE("rdexpr_repeat");
  check_new(v[2]);
  push_scope();
  idrec *id = enter(r, v[2], top_scope());
  double a = rdexpr_constize(start);
  double s = step ? rdexpr_constize(step) : 1.0;
  double b = rdexpr_constize(limit);
  const TextLoc *at = step ? &step->loc : &v[2]->loc;
  if (s == 0 || a + s == a) err(at, "Zero loop increment");
  looplist *loops = &F().loops;
  uint16_t n = forloops_new_forloop(loops, &id->name, a, s, 0, 0, &last->loc);
  put_limit(loops->items[n - 1], b);
  symtab_defineid(id, forvarnam, n, 0, 0, nullptr);
}

}  // namespace

void rdexpr_reset() {
  for (idrec *&r : closed) r = symtab_deleteall(r);
  closed.clear();
  rdexpr_section = 0;
  rdexpr_region = rdexpr_layer = 0;
  rdexpr_timederiv = 0;
  rdexpr_streamline = trees_free_0(rdexpr_streamline);
  current_section = 0;
  equation_counter = group_counter = stage_counter = function_args = 0;
  shortest_staged = 0;
  declared_at.clear();
}

uint16_t rdexpr_shortest_staged() { return shortest_staged; }

// A STAGED list is complete: the shortest so far is remembered for a STAGES given later.
static void staged_read() {
  if (shortest_staged == 0 || stage_counter < shortest_staged) shortest_staged = stage_counter;
}

void rdexpr_build_coords(const TextLoc *loc) {
  TRACE("rdexpr_build_coords");
  pde *p = P();
  if (p->coords.coordsin) return;
  // The names the system enters must still be free: a variable or definition of a
  // coordinate's name, or of one of its derivative operators, is refused here.
  if (p->coords.geometry == 0) {
    String w = {};
    strings_copyto_1(&w, "CARTESIAN");
    metrics_get_metric(&p->coords, &w, 2, &p->coordnames);
    strings_free_0(&w);
  }
  static const uint8_t pairs[][2] = {{1, 0}, {1, 1}, {2, 0}, {2, 2}, {1, 2}, {2, 1},
                                     {3, 0}, {3, 3}, {1, 3}, {3, 1}, {2, 3}, {3, 2}};
  const int npairs[4] = {0, 2, 6, 12};
  for (int k = 0; k < npairs[std::min<int>(p->coords.dimension, 3)]; k++) {
    String d = {};
    trees_dlabel(&d, "D", pairs[k][0], pairs[k][1], 0, 0, &p->coordnames, nullptr);
    bool taken = global_id(&d) != nullptr;
    strings_free_0(&d);
    if (taken) err(loc, "MULTIPLY DEFINED");
  }
  for (int c = 0; c < p->coords.dimension && c < p->coordnames.count; c++)
    if (const idrec *id = global_id(&p->coordnames.items[c]); id && id->kind != nullid && id->kind != coordnam)
      err(loc, "MULTIPLY DEFINED");
  metrics_coords(&p->coords, &p->scopes.roots[0], &p->coordnames);
  p->dimension = p->coords.dimension;
  if (Domain *d = p->mesh.domain) {
    d->onedee = p->dimension == 1;
    d->twodee = p->dimension == 2;
    d->threed = p->dimension == 3;
  }
  p->timerange = 0;
}

void rdexpr_titlestring(parse_node *, parse_node *const *v) {
  strings_free_0(&P()->title);
  P()->title = take_string(v[2]);
  rdexpr_region = 0;
  rdexpr_section = 0;
}

void rdexpr_startvar(parse_node *, parse_node *const *v) {
  if (P()->nvars > P()->nfield) err(&v[1]->loc, "DUPLICATE SECTION");
  rdexpr_section = 1;
}
void rdexpr_scalarvar(parse_node *, parse_node *const *) { rdexpr_section = 2; }
void rdexpr_endvar(parse_node *, parse_node *const *) {}

void rdexpr_newvar1(parse_node *r, parse_node *const *v) {
  check_new(v[1]);
  idrec *id = enter(r, v[1], top_scope());
  newvar(id);
  note_declaration(id, &v[1]->loc);
}
void rdexpr_newvarrg1(parse_node *, parse_node *const *v) { section_range(nullptr, v[4]); }
void rdexpr_newvarrg2(parse_node *, parse_node *const *v) { section_range(v[4], v[5]); }
void rdexpr_newvarex1(parse_node *, parse_node *const *v) { section_range(nullptr, v[3]); }
void rdexpr_newvarex2(parse_node *, parse_node *const *v) { section_range(v[3], v[4]); }

void rdexpr_errwtvar(parse_node *, parse_node *const *v) {
  uint16_t k = P()->vars.count;
  var(k).errweight = rdexpr_constize(v[4]);
  if (rdexpr_debug) debug_printf("ERRWT VAR %d = %g\n", k, var(k).errweight);
}

void rdexpr_buggervar(parse_node *, parse_node *const *) {
  uint16_t k = P()->vars.count;
  var(k).order = 4;
  if (rdexpr_debug) debug_printf("SIMPLEX FORCES ORDER(%d)=%d\n", k, 4);
}

void rdexpr_startdef(parse_node *, parse_node *const *v) {
  rdexpr_build_coords(&v[1]->loc);
  rdexpr_region = 0;
  rdexpr_section = 0;
}

void rdexpr_declare(parse_node *r, parse_node *const *v) {
  check_new(v[1]);
  idrec *id = enter(r, v[1], top_scope());
  paramset *set = &F().definitions;
  uint16_t k = new_param(set, &id->name, &v[1]->loc);
  TreeNode *t = trees_new_1(op::undef, &v[1]->loc);
  params_define_param(set, k, 0, 0, t);
  symtab_defineid(id, paramnam, k, 0, 0, t);
  vectorn_one_more(&P()->declared, k);
}

void rdexpr_define(parse_node *r, parse_node *const *v) { define(r, v, false); }
void rdexpr_redefine(parse_node *r, parse_node *const *v) { define(r, v, true); }

void rdexpr_deffunc(parse_node *r, parse_node *const *v) {
  check_new(v[1]);
  idrec *id = enter(r, v[1], top_scope());
  uint16_t k = new_param(&F().definitions, &id->name, &v[1]->loc);
  symtab_defineid(id, fparamnam, k, 0, 0, nullptr);
  id->argcounts = 0;
  r->value.integer = k;
  push_scope();
  function_args = 0;
}

static void formal(parse_node *r, parse_node *n) {
  check_new(n);
  if (function_args >= 3) err(&n->loc, "Wrong Number of Arguments");
  idrec *id = enter(r, n, top_scope());
  function_args++;
  function_arglist[function_args] = id;
  symtab_defineid(id, fargnam, uint16_t(4 * r->value.integer + function_args), 0, 0, nullptr);
}
void rdexpr_defarg1(parse_node *r, parse_node *const *v) { formal(r, v[2]); }
void rdexpr_defarg2(parse_node *r, parse_node *const *v) { formal(r, v[3]); }
void rdexpr_lastarg(parse_node *, parse_node *const *) {}

static void end_function() {
  function_args = 0;
  pop_scope();
}

void rdexpr_fdefine(parse_node *r, parse_node *const *v) {
  TRACE("rdexpr_fdefine");
  uint16_t k = uint16_t(r->value.integer);
  if (k == 0 || !r->id) err(&v[1]->loc, "BAD DEFINITION");
  TreeNode *t = prepared(r, v[3]);
  r->id->argcounts = 0x80000000u >> function_args;
  v[3]->tree = nullptr;
  params_define_param(&F().definitions, k, 0, 0, t);
  F().definitions.items[k - 1]->kind = 6;
  r->id->value = t;
  end_function();
}

void rdexpr_sdefine(parse_node *r, parse_node *const *v) {
  uint16_t k = uint16_t(r->value.integer);
  if (k == 0 || !r->id) err(&v[1]->loc, "BAD DEFINITION");
  String s = take_string(v[3]);
  bool known = params_define_string_param(&F().definitions, k, 0, 0, &s);
  strings_free_0(&s);
  if (known) err(&v[1]->loc, "MULTIPLY DEFINED");
  r->id->kind = strfuncnam;
  end_function();
}

void rdexpr_stage1(parse_node *r, parse_node *const *v) {
  if (P()->timedep) err(&v[1]->loc, "Time Dependent Problems Cannot Be Staged.");
  if (rdexpr_region) err(&v[1]->loc, "CONSTRUCT NOT ALLOWED HERE.");
  check_new(v[1]);
  TreeNode *t = prepared(r, v[5]);
  idrec *id = enter(r, v[1], top_scope());
  paramset *set = &F().definitions;
  uint16_t k = new_param(set, &id->name, &v[1]->loc);
  v[5]->tree = nullptr;
  params_define_param(set, k, 0, 0, t);
  set->items[k - 1]->kind = 5;
  symtab_defineid(id, sparamnam, k, 0, 0, t);
  stage_counter = 1;
}

void rdexpr_stage2(parse_node *r, parse_node *const *v) {
  TreeNode *t = prepared(r, v[3]);
  paramset *set = &F().definitions;
  String none = {};
  uint16_t k = new_param(set, &none, &r->loc);
  v[3]->tree = nullptr;
  params_define_param(set, k, 0, 0, t);
  set->items[k - 1]->kind = 5;
  stage_counter++;
}

void rdexpr_stagex(parse_node *, parse_node *const *v) {
  pde *p = P();
  staged_read();
  p->maxstages = std::max(p->maxstages, stage_counter);
  if (p->stages == 0) p->stages = p->maxstages;
  if (stage_counter < p->stages) err(&v[2]->loc, "NOT ENOUGH STAGE VALUES.");
}

// A STAGED list in SELECT (ERRLIM = STAGED(...)): as in DEFINITIONS, with the counts named.
void rdexpr_selectstagex(parse_node *, parse_node *const *v) {
  pde *p = P();
  staged_read();
  p->maxstages = std::max(p->maxstages, stage_counter);
  if (p->stages == 0) p->stages = p->maxstages;
  if (stage_counter < p->stages) {
    static std::string text;  // the report does not return: the text lives on
    text =
        "NOT ENOUGH STAGE VALUES: " + std::to_string(stage_counter) + " given, STAGES = " + std::to_string(p->stages);
    err(&v[3]->loc, text.c_str());
  }
}

void rdexpr_array1(parse_node *r, parse_node *const *v) {
  if (rdexpr_region) err(&v[1]->loc, "CONSTRUCT NOT ALLOWED HERE.");
  check_new(v[1]);
  double first = rdexpr_constize(v[5]);
  idrec *id = enter(r, v[1], top_scope());
  uint16_t n = arys_new_array(&F().arrays, &id->name);
  symtab_defineid(id, arraynam, n, 0, 0, nullptr);
  arys_define_array(&F().arrays, n, first);
  r->value.integer = n;
}

void rdexpr_array2(parse_node *r, parse_node *const *v) {
  arys_next_array(&F().arrays, uint16_t(r->value.integer), rdexpr_constize(v[3]));
}
void rdexpr_arrayx(parse_node *, parse_node *const *) {}

void rdexpr_startiv(parse_node *, parse_node *const *v) {
  rdexpr_build_coords(&v[1]->loc);
  rdexpr_section = 9;
}

void rdexpr_initial(parse_node *r, parse_node *const *v) {
  if (!v[1]->id || v[1]->id->kind != varbnam) err(&v[1]->loc, "VARIABLE NAME REQUIRED");
  eqns_define_initial(&F().initial, v[1]->id->index, take(r, v[3]));
}

void rdexpr_startiniteq(parse_node *, parse_node *const *v) {
  rdexpr_build_coords(&v[1]->loc);
  rdexpr_section = 10;
  current_section = 2;
  equation_counter = 0;
  rdexpr_timederiv = 0;
}

void rdexpr_starteq(parse_node *, parse_node *const *v) {
  rdexpr_build_coords(&v[1]->loc);
  rdexpr_section = 4;
  rdexpr_timederiv = 0;
  equation_counter = 0;
  current_section = 1;
  rdexpr_streamline = trees_free_0(rdexpr_streamline);
  if (current_list()->count > 0) err(&v[1]->loc, "DUPLICATE SECTION");
}

void rdexpr_groupeq(parse_node *, parse_node *const *v) {
  rdexpr_timederiv = 0;
  group_counter = 0;
  if (current_list() && current_list()->count > 0) err(&v[2]->loc, "DUPLICATE SECTION");
}

void rdexpr_equation(parse_node *r, parse_node *const *v) {
  TRACE("rdexpr_equation");
  pde *p = P();
  if (!current_list()) rdexpr_section_err(&v[1]->loc);
  TreeNode *t = difference(r, v[1], v[2]);
  r->tree = t;  // owned by the result until stored
  uint16_t k = ++equation_counter;
  group_counter++;
  bool scalar = rdexpr_section == 4 && k <= p->vars.count && var(k).scalar;
  uint16_t n = scalar ? constrn_new_constraint(&F().scalars) : eqns_new_equation(current_list());
  if (n != (scalar ? k - p->nfield : k)) err(&v[2]->loc, "Equations count mismatch");
  r->tree = nullptr;
  store_equation(n, scalar, t);
  r->loc = v[2]->loc;
  if (current_section == 2) solve_initial(k, t, &v[2]->loc);
}

void rdexpr_equation2(parse_node *r, parse_node *const *v) {
  TRACE("rdexpr_equation2");
  pde *p = P();
  if (rdexpr_section != 4 || !current_list()) err(&v[1]->loc, "Illegal Context");
  if (!v[1]->id || v[1]->id->kind != varbnam) err(&v[1]->loc, "VARIABLE NAME REQUIRED");
  uint16_t k = v[1]->id->index;
  TreeNode *t = difference(r, v[3], v[4]);
  equation_counter = k;
  bool scalar = var(k).scalar;
  uint16_t n = scalar ? uint16_t(k - p->nfield) : k;
  if (scalar)
    while (F().scalars.count < n) constrn_new_constraint(&F().scalars);
  else
    while (current_list()->count < n) eqns_new_equation(current_list());
  // A variable has one equation: a second one would replace the first unseen.
  bool given = scalar ? F().scalars.items[n - 1]->tree != nullptr : current_list()->items[n - 1]->tree != nullptr;
  if (given) {
    trees_free_0(t);
    static std::string text;  // the report does not return: the text lives on
    text =
        "A second equation for " + std::string(v[1]->id->name.text, v[1]->id->name.length) + ": each variable has one";
    err(&v[1]->loc, text.c_str());
  }
  store_equation(n, scalar, t);
  r->loc = v[4]->loc;
}

void rdexpr_eqnum(parse_node *, parse_node *const *v) { equations_check(v[1]); }
void rdexpr_eqnum1(parse_node *, parse_node *const *v) { equations_check(v[1]); }

void rdexpr_startconstraint(parse_node *, parse_node *const *) { rdexpr_section = 8; }
void rdexpr_constraint1(parse_node *r, parse_node *const *v) { add_constraint(r, v[2], v[3]); }
void rdexpr_constraint2(parse_node *r, parse_node *const *v) { add_constraint(r, v[3], v[4]); }

void rdexpr_resolve1(parse_node *r, parse_node *const *v) {
  TreeNode *t = take(r, v[2]);
  fitlist *list = &F().fits;
  vectorn_one_more(&P()->resolves, fit_kept(list, fits_make_fit_0(list, t, 0, 0, op::fitfun), t));
}

void rdexpr_resolvewt(parse_node *r, parse_node *const *v) {
  TreeNode *w = prepared(r, v[4]);
  v[4]->tree = nullptr;
  TreeNode *t = take(r, v[2]);
  fitlist *list = &F().fits;
  vectorn_one_more(&P()->resolves, fit_kept(list, fits_make_fit_2(list, t, w, op::fitfun), t, w));
}

void rdexpr_frontdef(parse_node *r, parse_node *const *v) {
  TreeNode *t = take(r, v[2]), *delta = take(r, v[4]);
  fitlist *list = &F().fits;
  uint16_t n = fit_kept(list, fits_make_fit_2(list, t, delta, 0), t, delta);
  vectorn_one_more(&P()->fronts, n);
  fit *f = list->items[n - 1];
  simplify_in(&f->second);
  classify(f->second);
}

void rdexpr_repeater(parse_node *r, parse_node *const *v) { repeat(r, v, v[4], nullptr, v[6], v[6]); }
void rdexpr_repeatbyto(parse_node *r, parse_node *const *v) { repeat(r, v, v[4], v[6], v[8], v[8]); }
void rdexpr_repeattoby(parse_node *r, parse_node *const *v) { repeat(r, v, v[4], v[8], v[6], v[8]); }

void rdexpr_endrepeat(parse_node *, parse_node *const *v) {
  TRACE("rdexpr_endrepeat");
  looplist *loops = &F().loops;
  if (loops->count == 0) err(&v[1]->loc, "Unmatched ENDREPEAT");
  forloop &l = loops->items[loops->count - 1];
  // The loop is repeated by reading its text again from the REPEAT: both ends lie in
  // one file.
  if (l.loc.file != v[1]->loc.file)
    err(&v[1]->loc, "ENDREPEAT closes a REPEAT of another file: a REPEAT and its ENDREPEAT must be in one file");
  double next = l.current + l.step;
  if (next == l.current) err(&v[1]->loc, "Zero loop increment");
  l.current = next;
  double limit = get_limit(l);
  if ((l.step > 0 && next > limit) || (l.step < 0 && next < limit)) {
    forloops_pop(loops);
    pop_scope();
  } else {
    TextLoc at = l.loc;
    textin_text_seek(&at);
  }
}

static void renamed(parse_node *const *v) { err(&v[1]->loc, "FOR..ENDFOR has been renamed to REPEAT..ENDREPEAT"); }
void rdexpr_frepeater(parse_node *, parse_node *const *v) { renamed(v); }
void rdexpr_frepeatbyto(parse_node *, parse_node *const *v) { renamed(v); }
void rdexpr_frepeattoby(parse_node *, parse_node *const *v) { renamed(v); }
void rdexpr_fendrepeat(parse_node *, parse_node *const *v) { renamed(v); }

void rdexpr_sumheader(parse_node *r, parse_node *const *v) {
  TRACE("rdexpr_sumheader");
  check_new(v[3]);
  push_scope();
  idrec *id = enter(r, v[3], top_scope());
  vectord &values = P()->sumvalues;
  int32_t n = values.count + 1;
  vectord_resize(&values, n, (n + 15) / 16 * 16);
  values.data[n - 1] = 0;
  symtab_defineid(id, sumvarnam, uint16_t(n), 0, 0, nullptr);
  uint32_t d = std::max(depth_of(v[5]), depth_of(v[7])) + 1;
  TreeNode *t = trees_new_1(op::sumop, &v[1]->loc);
  t->index = uint16_t(n);
  t->child[0] = take(r, v[5]);
  t->child[1] = take(r, v[7]);
  give(r, t, d, &v[7]->loc);
}

void rdexpr_sumend(parse_node *r, parse_node *const *v) {
  if (P()->sumvalues.count == 0 || !r->tree || r->tree->opcode != op::sumop) err(&v[3]->loc, "Unmatched SUMEND");
  uint32_t d = std::max(depth_of(v[1]), depth_of(v[2]) + 1);
  r->tree->child[2] = take(r, v[2]);
  pop_scope();
  r->loc = v[3]->loc;
  give(r, r->tree, d, &v[3]->loc);
}
