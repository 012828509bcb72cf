// buildeq: equation analysis into weak-form residual and Jacobian trees.
#include "model/buildeq.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "model/pdedat_record.h"
#include "elements/domain_record.h"
#include "elements/domcalls.h"
#include "elements/basisfun.h"
#include "graphics/display.h"
#include "model/metrics.h"
#include "model/params.h"
#include "model/plot_records.h"
#include "model/symtab.h"
#include "model/treeclas.h"
#include "model/treedif.h"
#include "model/treemods.h"
#include "model/treesimp.h"
#include "runtime/debug.h"
#include "runtime/report.h"
#include "runtime/rtlib.h"
#include "runtime/vectorb.h"
#include "runtime/vectorl.h"
#include "runtime/vectort.h"
#include "model/fitting_book.h"

uint16_t buildeq_debug;
TreeNode *buildeq_fitrees[9];

int buildeq_init() {
  TRACE("buildeq");
  return 0;
}

// ---- Working trees --------------------------------------------------------------------------------

// A tree the analysis works on: freed when an error abandons the work, handed on with
// release(). Every step below keeps the tree whole between operations.
struct Tree {
  TreeNode *t = nullptr;
  explicit Tree(TreeNode *x = nullptr) : t(x) {}
  Tree(const Tree &) = delete;
  Tree &operator=(const Tree &) = delete;
  ~Tree() { trees_free_0(t); }
  TreeNode *release() { return std::exchange(t, nullptr); }
};

static uint16_t region_count(const pde *p) { return p->mesh.domain ? p->mesh.domain->regions.count : 0; }
static const region *region_of(const pde *p, uint16_t r) { return &p->mesh.domain->regions.data[r - 1]; }
// Equations take part in include regions not marked excluded; everything else in
// every include region.
static bool takes_part(const pde *p, uint16_t r, bool equation) {
  const region *g = region_of(p, r);
  return g->type == 0 && (!equation || !g->excluded);
}
static uint16_t unknowns(const pde *p) { return uint16_t(p->nfield + p->nscalar); }

static bool is_zero(const TreeNode *n) {
  return n && (n->opcode == op::realzero || (n->opcode == op::realval && n->value == 0));
}
static TreeNode *zero_tree() {
  TreeNode *z = trees_new_0(op::realzero);
  z->rhsclass = constex;
  z->timeclass = spacex;
  z->orderclass = order0;
  z->valuetag = vtag::scalar;
  return z;
}

static void simplify(pde *p, Tree &t, uint16_t r) {
  (void)p;
  uint8_t ch = 0;
  treesimp_simplify_in(&t.t, r, &ch);
}
static void substitute(pde *p, Tree &t, uint16_t r) { t.t = treemods_copy_params(p, t.t, r, 1); }
static void expand(pde *p, Tree &t, uint16_t r) { t.t = treemods_expand_vecops(p, t.t, r); }
static void differ_all(pde *p, Tree &t, uint16_t r) { t.t = treedif_differ_tree(p, t.t, r); }

// Stores the tree as entry k of the list (lengthened when short), freeing an earlier one.
static void store(treevector *v, uint16_t k, TreeNode *tree) {
  TreeNode **slot = trees_slot(v, k);
  trees_free_0(*slot);
  *slot = tree;
}
// A list emptied of earlier trees and sized to n null entries.
static void fresh(treevector *v, uint16_t n) {
  trees_free_1(v, 1);
  if (n) trees_resize_0(v, n, n);
}
static void fresh(treevectors *v, uint16_t n) {
  trees_free_2(v, 1);
  if (n) trees_resize_1(v, n, n);
}
// Entry r of a per-region list of lists, emptied and sized to n.
static treevector *sized(treevectors *v, uint16_t r, uint16_t n) {
  if (v->count < r) trees_resize_1(v, r, r);
  treevector *e = &v->data[r - 1];
  fresh(e, n);
  return e;
}

// ---- Debug listings and the two chains ----------------------------------------------------------

// "\n<what> e  REGION r[  VARIABLE v]\n" and the tree under the label.
static void dblist(const char *what, uint16_t n, uint16_t r, uint16_t variable, const TreeNode *tree,
                   const char *label, bool flag) {
  if (!flag) return;
  debug_printf("\n%s %d  REGION %d", what, n, r);
  if (variable > 0) debug_printf("  VARIABLE %d", variable);
  debug_printf("\n");
  if (debug_file) trees_print_tree(debug_file, tree, label);
}
static void dbeq(uint16_t e, uint16_t r, uint16_t variable, const TreeNode *tree, const char *label, bool flag) {
  dblist("EQUATION", e, r, variable, tree, label, flag);
}
static void dbbc(uint16_t b, uint16_t r, uint16_t variable, const TreeNode *tree, const char *label, bool flag) {
  dblist("BC", b, r, variable, tree, label, flag);
}

static void print_tree(const TreeNode *tree, const char *title) {
  if (debug_file) trees_print_tree(debug_file, tree, title);
}

static void set_nonlin(pde *p, const char *) { p->nonlinear = 1; }

// A tree that reads a derived global of the unknowns (an integral, an extreme, a point
// value, a fit) couples every unknown its global reads, which no local Jacobian holds:
// the problem is solved by Newton's steps with the global taken anew at each.
// Returns whether it does.
static bool globals_nonlinear(pde *p, TreeNode *tree, uint16_t r) {
  vectorn list = {};
  treemods_find_fits(p, &list, tree, r);
  const fitlist &fits = p->formulas.fits;
  bool reads = false;
  for (int32_t i = 0; i < list.count; i++) {
    uint16_t f = list.data[i];
    if (f >= 1 && f <= fits.count && fits.items[f - 1]->rhsclass == varex) reads = true;
  }
  vectorn_free(&list);
  if (reads) set_nonlin(p, "GLOBAL");
  return reads;
}

// A scalar equation that reads an extreme of the unknowns: its row holds the basis
// values at the extreme's place, which moves with the solution.
static void extremes_nonlinear(pde *p, TreeNode *tree) {
  vectorn list = {};
  treemods_find_fits(p, &list, tree, 0);
  const fitlist &fits = p->formulas.fits;
  for (int32_t i = 0; i < list.count; i++) {
    uint16_t f = list.data[i];
    if (f < 1 || f > fits.count || fits.items[f - 1]->rhsclass != varex) continue;
    uint32_t k = fits.items[f - 1]->kind;
    if (k == op::globalmax || k == op::globalmin || k == op::minspot || k == op::maxspot) set_nonlin(p, "EXTREME");
  }
  vectorn_free(&list);
}

// Finishing: the value kind, then the shared subexpressions when CSE is on.
static void finish(pde *p, TreeNode *tree, uint16_t r) {
  if (!tree) return;
  treeclas_classify_value(p, tree, r, vtag::scalar);
  if (p->cse) {
    treemods_find_common(tree, tree);
    treemods_link_common(tree, &p->cseslots);
  }
}

// How a Jacobian chain ends: classify (and mark the problem nonlinear) before or after
// finishing, or not at all.
enum class Rhs { before, after, none };

// The derivative of a copy of tree with respect to unknown k, simplified, classified
// and finished.
static TreeNode *jacobian(pde *p, const TreeNode *tree, uint16_t r, uint16_t k, Rhs rhs) {
  Tree d(treedif_differ(p, trees_copy(tree), int16_t(-k), r));
  simplify(p, d, r);
  auto classify = [&] {
    treeclas_classify_rhs(p, d.t, r);
    if (d.t && d.t->rhsclass == varex) set_nonlin(p, "JACOBIAN");
  };
  if (rhs == Rhs::before) classify();
  finish(p, d.t, r);
  if (rhs == Rhs::after) classify();
  return d.release();
}

// Entries 1..n of list: the Jacobians of tree.
static void jacobians(pde *p, const TreeNode *tree, uint16_t r, uint16_t n, treevector *list, Rhs rhs) {
  for (uint16_t k = 1; k <= n; k++) store(list, k, jacobian(p, tree, r, k, rhs));
}

// A copy of the tree for the region with definitions substituted, simplified, vector
// operators written out, classified and its derivatives carried out.
static TreeNode *written_out(pde *p, const TreeNode *tree, uint16_t r) {
  Tree t(trees_copy(tree));
  substitute(p, t, r);
  simplify(p, t, r);
  expand(p, t, r);
  treeclas_classify_rhs(p, t.t, r);
  differ_all(p, t, r);
  return t.release();
}

// A value to show or start from (initial values, plots): written out, basis leaves and
// time marks removed, simplified, its kind classified and its fits entered in the list.
static TreeNode *derived(pde *p, const TreeNode *tree, uint16_t r, vectorn *fits) {
  Tree t(written_out(p, tree, r));
  treemods_patch_basis(t.t);
  treemods_erase_dot(t.t);
  simplify(p, t, r);
  treeclas_classify_value(p, t.t, r, vtag::scalar);
  treemods_find_fits(p, fits, t.t, r);
  return t.release();
}

// The first and last line of the file on which the tree's nodes were written.
static void line_span(const TreeNode *t, uint16_t file, uint32_t &lo, uint32_t &hi) {
  if (!t) return;
  if (t->loc.file == file && t->loc.line) lo = std::min(lo, t->loc.line), hi = std::max(hi, t->loc.line);
  if (t->group == leafop || t->opcode == op::subref) return;
  for (int k = 0; k < t->arity && k < 3; k++) line_span(t->child[k], file, lo, hi);
}

// Nodes written outside the lines lo..hi of the file (substituted from definitions)
// take the place at: an error of a summary's value is told where it was asked for.
static void place_within(TreeNode *t, uint16_t file, uint32_t lo, uint32_t hi, const TextLoc &at) {
  if (!t) return;
  if (t->loc.file != file || t->loc.line < lo || t->loc.line > hi) t->loc = at;
  if (t->group == leafop || t->opcode == op::subref) return;
  for (int k = 0; k < t->arity && k < 3; k++) place_within(t->child[k], file, lo, hi, at);
}

// The compiled form of a tree written by the user keeps the places of its own text;
// what substitution brought in from definitions takes the written tree's place.
static void place_at_written(TreeNode *compiled, TreeNode *written) {
  if (!compiled || !written) return;
  trees_find_loc(written);
  uint32_t lo = UINT32_MAX, hi = 0;
  line_span(written, written->loc.file, lo, hi);
  if (written->loc.file && hi) place_within(compiled, written->loc.file, lo, hi, written->loc);
}

// ---- Definitions and fits ---------------------------------------------------------------------------

// The expanded form of a written definition: simplified, substituted, simplified,
// derivatives carried out, classified.
static TreeNode *expanded(pde *p, const TreeNode *def, uint16_t r) {
  Tree t(trees_copy(def));
  simplify(p, t, r);
  t.t = treemods_copy_params(p, t.t, r, 0);
  simplify(p, t, r);
  differ_all(p, t, r);
  treeclas_classify_value(p, t.t, r, vtag::scalar);
  treeclas_classify_rhs(p, t.t, r);
  return t.release();
}

// A definition that ends a chain of this many definitions, each substituted into the
// next, is shared when it is plain (see treemods_plain): the expansions then hold at
// most this many links each, and memory grows with the chain's length, not its square.
// Chains in the descriptors people write stay far shorter.
enum { CHAIN_LINKS = 32 };

// Whether definition k, its global expansion made, is to be shared; links holds the
// length of the unshared chain that ends at each definition expanded so far.
static bool shared_link(pde *p, uint16_t k, std::vector<uint16_t> &links) {
  const paramset *defs = &p->formulas.definitions;
  const param *d = defs->items[k - 1];
  uint16_t longest = 0;
  for (int32_t i = 0; i < d->deps.count; i++) {
    uint16_t j = d->deps.data[i];
    if (j >= 1 && j <= defs->count && j != k && !defs->items[j - 1]->shared) longest = std::max(longest, links[j]);
  }
  links[k] = uint16_t(longest + 1);
  if (links[k] < CHAIN_LINKS || d->region || d->kind != paramnam || !treemods_plain(p, d->expglobal)) return false;
  links[k] = 0;
  return true;
}

static void lock_params(pde *p) {
  TRACE("lock_params_0");
  paramset *defs = &p->formulas.definitions;
  for (uint16_t k = 1; k <= defs->count; k++) defs->items[k - 1]->shared = 0;
  std::vector<uint16_t> links(defs->count + 1u, 0);
  for (int32_t i = 1; i <= defs->order.count; i++) {
    uint16_t k = defs->order.data[i - 1];
    if (k < 1 || k > defs->count) continue;
    param *d = defs->items[k - 1];
    if (d->kind != paramnam && d->kind != sparamnam) continue;
    if (TreeNode *g = params_find_param_def(defs, k, 0, 0)) {
      params_define_expanded_param(defs, k, 0, expanded(p, g, 0));
      d->shared = shared_link(p, k, links);
    }
    if (!d->region) continue;
    for (uint16_t r = 1; r <= region_count(p); r++) {
      if (!takes_part(p, r, false)) continue;
      const region *g = region_of(p, r);
      if (TreeNode *def = params_find_param_def(defs, k, g->defregion, g->layer))
        params_define_expanded_param(defs, k, r, expanded(p, def, r));
    }
  }
}

static void build_fits(pde *p) {
  TRACE("build_fits_0");
  fitlist &fits = p->formulas.fits;
  uint16_t f = fits.count, regions = region_count(p);
  debug_printf("BUILD %d FITS.\n", f);
  vector2d_resize(&p->fitvalues, f, f);
  vectorb_resize(&p->fitflags, f, f);
  vectord_resize(&p->fitscalars, f, f);
  point3d_resize_1(&p->fitpoints, f, f);
  vectorl_resize(&p->fitwords, f, f);
  for (int32_t k = 1; k <= f; k++) p->fitwords.data[k - 1] = 0;
  for (uint16_t n = 1; n <= f; n++) {
    fit *ft = fits.items[n - 1];
    // 1. Dependencies are collected anew.
    vectorn_resize(&ft->deps, 0, ft->deps.capacity);
    ft->rhsclass = constex;
    // 2. The selections of the integrals.
    if (ft->kind == op::volint) fitting_map_fit_regions(p, n);
    else if (ft->kind == op::surfint) fitting_map_fit_faces(p, n);
    else if (ft->kind == op::bdryint) fitting_map_fit_boundaries(p, n);
    // 3. One prepared tree per region of its set (every region for an empty set).
    fresh(&ft->byregion, regions);
    bool all = vectort_count(&ft->regions) == 0;
    for (uint16_t r = 1; r <= regions; r++) {
      if (!takes_part(p, r, false) || (!all && !vectort_if_bit(&ft->regions, r))) continue;
      Tree t(written_out(p, ft->tree, r));
      simplify(p, t, r);
      treemods_erase_dot(t.t);
      treeclas_classify_value(p, t.t, r, vtag::scalar);
      treeclas_classify_rhs(p, t.t, r);
      if (t.t && t.t->rhsclass > ft->rhsclass) ft->rhsclass = t.t->rhsclass;
      treemods_find_fits(p, &ft->deps, t.t, r);
      place_at_written(t.t, ft->tree);
      store(&ft->byregion, r, t.release());
    }
    // 4. Closed under dependency.
    fitting_fit_closure(p, &ft->deps);
  }
}

// The unknown k has a rate: its equation holds a time derivative wherever it was written
// (in a definition the equation reads as well as in the equation's own text).
static void mark_rate(pde *p, uint16_t k) {
  if (p->timedep && k >= 1 && k <= p->vars.count) p->vars.items[k - 1].timeflag = 1;
}

// ---- Field equations ---------------------------------------------------------------------------------

// Entries 1..v of list: the coefficients of the time derivatives of each field variable
// in tree (the constant zero where the tree has none).
static void time_jacobians(pde *p, const TreeNode *tree, uint16_t r, uint16_t v, treevector *list) {
  for (uint16_t j = 1; j <= v; j++) {
    Tree d(treedif_differ(p, trees_copy(tree), int16_t(-j), r));
    simplify(p, d, r);
    if (p->timedep && !treemods_erase_dot(d.t)) {
      trees_free_0(d.release());
      d.t = zero_tree();
    }
    simplify(p, d, r);
    treeclas_classify_rhs(p, d.t, r);
    if (d.t && d.t->rhsclass == varex) set_nonlin(p, "TIME JACOBIAN");
    finish(p, d.t, r);
    store(list, j, d.release());
  }
}

// The tree with its time derivatives read as rates, finished.
static void time_residual(pde *p, Tree &t, uint16_t r) {
  if (p->timedep) treemods_erase_dot(t.t);
  simplify(p, t, r);
  finish(p, t.t, r);
}

// The body integral less the volume integrals of the fluxes the Galerkin split left in
// the surface lists (a time derivative under a divergence): the surface integrals
// themselves are the natural conditions' to give.
static void with_fluxes(pde *p, Tree &body, Tree &surface) {
  bool any = false;
  for (TreeNode *c : surface.t->child) any = any || (c && !is_zero(c));
  if (!any) return;
  TreeNode *s = trees_new_1(op::subop, &body.t->loc);
  s->child[0] = body.release();
  s->child[1] = treemods_combine_xyz(p, surface.t, nullptr, op::integral);
  body.t = s;
}

// A Jacobian of the time integral read by the unknowns themselves: the trial leaves of
// the rates (a time selector) dropped, the rates left as rates.
static void keep_value_trials(TreeNode *n) {
  if (!n) return;
  bool timed = n->deriv[0] == 4 || n->deriv[1] == 4 || n->deriv[2] == 4;
  if (n->opcode == op::febasis) {
    if (timed) trees_replace(n, 0);
    return;
  }
  if (n->opcode == op::varble || n->opcode == op::eigvec) {
    if (timed) treemods_erase_dot(n);
    return;
  }
  if (n->group == leafop) return;
  for (int k = 0; k < n->arity && k < 3; k++) keep_value_trials(n->child[k]);
}

// Entries 1..n of list: the derivatives of the time integral by the unknowns where the
// integral reads them besides their rates (a rate in a coefficient, u·dt(u)), or null.
// They join the space Jacobians, as the step weighs both alike.
static void time_value_jacobians(pde *p, const TreeNode *body, uint16_t r, treevector *list) {
  uint16_t n = unknowns(p);
  fresh(list, n);
  for (uint16_t j = 1; j <= n; j++) {
    Tree d(treedif_differ(p, trees_copy(body), int16_t(-j), r));
    simplify(p, d, r);
    keep_value_trials(d.t);
    simplify(p, d, r);
    if (!d.t || is_zero(d.t) || (d.t->opcode == op::integral && is_zero(d.t->child[0]))) continue;
    treeclas_classify_rhs(p, d.t, r);
    if (d.t->rhsclass == varex) set_nonlin(p, "TIME JACOBIAN");
    finish(p, d.t, r);
    store(list, j, d.release());
  }
}

// The space Jacobians of region r take the time integral's derivatives by the unknowns.
static void add_time_value_jacobians(equation *eq, uint16_t r, treevector *list) {
  if (r > eq->voljac.count) return;
  treevector *vj = &eq->voljac.data[r - 1];
  for (uint16_t j = 1; j <= list->count && j <= vj->count; j++) {
    TreeNode *&d = list->data[j - 1];
    if (!d) continue;
    TreeNode *&entry = vj->data[j - 1];
    if (!entry || is_zero(entry)) {
      trees_free_0(entry);
      entry = std::exchange(d, nullptr);
      continue;
    }
    TreeNode *sum = trees_new_1(op::addop, &entry->loc);
    sum->rhsclass = entry->rhsclass > d->rhsclass ? entry->rhsclass : d->rhsclass;
    sum->timeclass = spacex;
    sum->orderclass = entry->orderclass;
    sum->valuetag = vtag::scalar;
    sum->child[0] = entry, sum->child[1] = std::exchange(d, nullptr);
    entry = sum;
  }
}

// Builds the time integral of the time part in region r. With UPWIND on, a copy of the
// time part as written at a point (derivatives carried out) is left in strong for the
// upwind terms.
static void build_timedep(pde *p, equation *eq, TreeNode *time, uint16_t e, uint16_t r, Tree &strong,
                          treevector *values) {
  TRACE("build_timedep_0");
  uint16_t regions = region_count(p), v = p->nfield;
  Tree t(time);
  // 1. The time list exists from the first time part on.
  if (eq->timeint.count == 0) fresh(&eq->timeint, regions);
  // 2. Derivatives outward, classified, carried out.
  t.t = treemods_pullup(t.t, r);
  treeclas_classify_order(p, t.t, r);
  // Coordinate derivatives of rates make the damping matrix unsymmetric.
  if (t.t && t.t->orderclass > order0) p->symmetric = 0;
  differ_all(p, t, r);
  simplify(p, t, r);
  if (p->upwind && t.t && !is_zero(t.t)) strong.t = trees_copy(t.t);
  // 3. Distributed over a body integral; first-order terms are not taken by parts, the
  // fluxes of the second-order ones are integrated against the test function's slopes.
  Tree body(trees_new_1(op::integral, t.t ? &t.t->loc : nullptr)), surface(trees_new_0(op::kkkxyz));
  treemods_galerkinize(t.release(), body.t, surface.t, r, 0);
  with_fluxes(p, body, surface);
  // 4. The body with its derivatives carried out.
  if (eq->timejac.count < regions) trees_resize_1(&eq->timejac, regions, regions);
  treevector *jac = sized(&eq->timejac, r, v);
  differ_all(p, body, r);
  simplify(p, body, r);
  dbeq(e, r, 0, body.t, "TIME GALERKIN", true);
  // 5. Time Jacobians: the coefficients of the time derivatives of each variable, and
  // the derivatives by the variables themselves.
  time_jacobians(p, body.t, r, v, jac);
  time_value_jacobians(p, body.t, r, values);
  // 6. The residual without its time marks.
  time_residual(p, body, r);
  store(&eq->timeint, r, body.release());
}

// The streamline terms of the equation in region r: the residual of its steady parts of
// every order, and of its time part (so that a solution of the equation leaves the
// upwind terms at zero, the source's own going with the source), with the velocity and
// diffusion they are weighted by.
static void build_upwind(pde *p, equation *eq, Tree &z0, Tree &z1, Tree &z2, Tree &time, uint16_t e, uint16_t r) {
  TRACE("build_upwind_0");
  if (!z1.t) return;
  uint16_t regions = region_count(p), n = unknowns(p);
  // 1. The upwind residual U = Z0 + Z1 + Z2: the whole equation at a point, so that the
  // exact solution leaves it at zero. Without its second-order part it is not, wherever the
  // elements have curvature of their own (quadratic and higher): the streamline weight of
  // the diffusion left out acts as a third-order term that lags an advected pulse (by
  // 5e-4 in a step of 0.8 at ERRLIM 1e-5, a hundred times the time stepping's error).
  Tree u(trees_copy(z1.t));
  if (z0.t) {
    TreeNode *sum = trees_new_1(op::addop, &z0.t->loc);
    sum->child[0] = z0.release(), sum->child[1] = u.release();
    u.t = sum;
  }
  if (z2.t) {
    TreeNode *sum = trees_new_1(op::addop, &z2.t->loc);
    sum->child[0] = u.release(), sum->child[1] = trees_copy(z2.t);
    u.t = sum;
  }
  // 2. Velocity: the coefficient of the derivative of the variable along each coordinate.
  auto components = [&](Tree &part, bool second) {
    Tree xyz(trees_new_0(op::kkkxyz));
    part.t = treemods_pullup(part.t, r);
    treeclas_classify_order(p, part.t, r);
    treemods_segregate_coord(part.release(), xyz.t, e, 1);
    for (TreeNode *&c : xyz.t->child)
      if (!c) c = zero_tree();
    differ_all(p, xyz, r);
    simplify(p, xyz, r);
    for (int k = 1; k <= 3; k++) {
      TreeNode *&c = xyz.t->child[k - 1];
      if (!treemods_erase_var(c, e, uint8_t(k), uint8_t(second ? k : 0)) && !second) trees_replace(c, 0);
    }
    simplify(p, xyz, r);
    return xyz.release();
  };
  Tree velocity(components(z1, false));
  // 3. Without any velocity component the equation takes no upwind terms here.
  if (is_zero(velocity.t->child[0]) && is_zero(velocity.t->child[1]) && is_zero(velocity.t->child[2])) return;
  // 4. The velocity is a vector of the problem's dimension.
  uint8_t dim = uint8_t(p->dimension > 3 ? 3 : p->dimension);
  for (int k = dim; k < 3; k++) velocity.t->child[k] = trees_free_0(velocity.t->child[k]);
  trees_modify(velocity.t, op::vector);
  velocity.t->arity = dim;
  velocity.t->valuetag = vtag::vector;
  // 5. Diffusion: the sum of the coefficients of the second derivatives.
  Tree diffusion(z2.t ? treemods_component_sum(components(z2, true)) : nullptr);
  simplify(p, diffusion, r);
  // 6. The upwind lists exist from the first upwind term on.
  if (eq->upwind.count == 0)
    for (treevector *v : {&eq->upwind, &eq->diffusion, &eq->velocity, &eq->upspare, &eq->uptime}) fresh(v, regions);
  // 7. The residual, the velocity and the diffusion.
  differ_all(p, u, r);
  simplify(p, u, r);
  dbeq(e, r, 0, u.t, "UPWIND GALERKIN", true);
  finish(p, velocity.t, r);
  finish(p, diffusion.t, r);
  store(&eq->diffusion, r, diffusion.release());
  store(&eq->velocity, r, velocity.release());
  // 8. Its Jacobians.
  if (eq->upjac.count < regions) trees_resize_1(&eq->upjac, regions, regions);
  jacobians(p, u.t, r, n, sized(&eq->upjac, r, n), Rhs::none);
  // 9. The residual itself.
  finish(p, u.t, r);
  store(&eq->upwind, r, u.release());
  // 10. The time part's residual and its time Jacobians.
  if (!time.t) return;
  simplify(p, time, r);
  dbeq(e, r, 0, time.t, "UPWIND TIME", true);
  if (eq->uptimejac.count < regions) trees_resize_1(&eq->uptimejac, regions, regions);
  time_jacobians(p, time.t, r, p->nfield, sized(&eq->uptimejac, r, p->nfield));
  time_residual(p, time, r);
  store(&eq->uptime, r, time.release());
}

// 1.-5. The weak form of a tree: split by derivative order, every part distributed over the
// body and the surface lists (the divergence terms integrated by parts), giving the volume
// integral and the surface integral of the side fluxes, shown under the two labels; keep
// (three trees, or none) takes the parts by order for upwinding.
static void weak_integrals(pde *p, equation *eq, TreeNode *tree, uint16_t e, uint16_t r, const char *const labels[2],
                           Tree &volume, Tree &surface, Tree *keep) {
  Tree q(tree);
  // 1. Split by derivative order.
  q.t = treemods_pullup(q.t, r);
  treeclas_classify_rhs(p, q.t, r);
  treeclas_classify_order(p, q.t, r);
  q.t = treemods_segregate_order(q.t);
  simplify(p, q, r);
  Tree z[3];  // order 0, 1, 2 (and 3)
  if (q.t && q.t->opcode == op::kkkord) {
    for (int k = 0; k < 3; k++) z[2 - k].t = std::exchange(q.t->child[k], nullptr);
    trees_free_0(q.release());
  } else if (q.t) {
    treeclas_classify_rhs(p, q.t, r);
    treeclas_classify_order(p, q.t, r);
    int32_t c = q.t->orderclass;
    // A third-order equation counts as second order, as it does beside other terms.
    if (c >= order0) z[c >= order2 ? 2 : c - order0].t = q.release();
  }
  // 2.-3. Every part distributed over the body and the surface lists.
  Tree body(trees_new_1(op::integral, &eq->tree->loc)), x[3];
  for (int k = 0; k < 3; k++) {
    x[k].t = trees_new_0(op::kkkxyz);
    if (!z[k].t || is_zero(z[k].t)) continue;
    if (keep) keep[k].t = trees_copy(z[k].t);
    if (k == 1) p->symmetric = 0;
    treemods_galerkinize(z[k].release(), body.t, x[k].t, r, p->firstparts);
  }
  // 4. Zero-order terms never reach a surface list.
  for (TreeNode *c : x[0].t->child)
    if (c) rtlib_fatal_in("field_equation_0", "ZERO-ORDER BODY TERMS!");
  // 5. The volume and surface integrals.
  for (Tree *t : {&body, &x[1], &x[2]}) simplify(p, *t, r);
  auto prepare = [&](Tree &t, const char *label) {
    simplify(p, t, r);
    differ_all(p, t, r);
    simplify(p, t, r);
    treemods_erase_dot(t.t);
    dbeq(e, r, 0, t.t, label, true);
  };
  volume.t = trees_new_1(op::subop, &body.t->loc);
  volume.t->child[0] = body.release();
  volume.t->child[1] = treemods_combine_xyz(p, x[1].t, x[2].t, op::integral);
  prepare(volume, labels[0]);
  surface.t = treemods_combine_xyz(p, x[1].t, x[2].t, op::bintegral);
  prepare(surface, labels[1]);
}

static void field_equation(pde *p, equation *eq, TreeNode *steady, Tree &time, uint16_t e, uint16_t r) {
  TRACE("field_equation_0");
  uint16_t n = unknowns(p);
  static const char *const labels[2] = {"GALERKIN INTEGRAL", "SURFACE GALERKIN"};
  Tree volume, surface, keep[3];
  weak_integrals(p, eq, steady, e, r, labels, volume, surface, p->upwind ? keep : nullptr);
  // 6. Their Jacobians.
  treevector *vj = sized(&eq->voljac, r, n), *sj = sized(&eq->surfjac, r, n);
  for (uint16_t j = 1; j <= n; j++) {
    store(vj, j, jacobian(p, volume.t, r, j, Rhs::before));
    store(sj, j, jacobian(p, surface.t, r, j, Rhs::before));
  }
  // 7. The residuals.
  finish(p, volume.t, r);
  store(&eq->volume, r, volume.release());
  // The side flux before sharing: a normal-derivative condition takes it as its own.
  store(&eq->spare, r, trees_copy(surface.t));
  finish(p, surface.t, r);
  store(&eq->surface, r, surface.release());
  // 8. Upwinding from the kept parts.
  if (p->upwind) build_upwind(p, eq, keep[0], keep[1], keep[2], time, e, r);
}

// Basis codes of the field variables, settled before any equation is built.
static void settle_bases(pde *p) {
  uint16_t v = p->nfield;
  if (p->basiscodes.count < v) vectorl_resize(&p->basiscodes, v, v);
  if (p->basisflags.count < v) vectorb_resize(&p->basisflags, v, v);
  for (uint16_t i = 1; i <= v; i++) {
    int32_t &code = p->basiscodes.data[i - 1];
    int32_t old = code;
    if (code == 0 && i <= p->vars.count) code = p->vars.items[i - 1].order == 4 ? 4 : 0;
    if (code == 0 && !p->basisflags.data[i - 1]) code = p->basis;
    if (code == 4) code = basisfun_pick_basis(p->dimension, 1);
    debug_printf("ORDER(%s) WAS %d IS %d\n", i <= p->vars.count ? p->vars.items[i - 1].name.text : "", old, code);
  }
}

// ---- Eigenvalue equations ------------------------------------------------------------------------

// The degrees of a tree as a polynomial in LAMBDA and in the unknowns; poly is false (and
// at the first node found that is no polynomial in them) where either sits inside a
// function, a denominator, a condition or a non-integer power.
struct Degree {
  int lambda = 0, unknown = 0;
  const TreeNode *bad = nullptr;
  bool poly() const { return bad == nullptr; }
  bool none() const { return poly() && lambda == 0 && unknown == 0; }
};

static Degree degree(const TreeNode *n) {
  Degree d;
  if (!n) return d;
  auto either = [](Degree a, const Degree &b) {
    if (!a.bad) a.bad = b.bad;
    a.lambda = std::max(a.lambda, b.lambda), a.unknown = std::max(a.unknown, b.unknown);
    return a;
  };
  auto times = [](Degree a, const Degree &b) {
    if (!a.bad) a.bad = b.bad;
    a.lambda += b.lambda, a.unknown += b.unknown;
    return a;
  };
  auto opaque = [&](const Degree &a) {
    Degree r = a;
    if (!a.none() && !r.bad) r.bad = n;
    r.lambda = r.unknown = 0;
    return r;
  };
  auto kids = [&](int from) {
    Degree r;
    for (int k = from; k < n->arity && k < 3; k++) r = either(r, degree(n->child[k]));
    return r;
  };
  switch (n->group) {
    case leafop:
      if (n->opcode == op::lambda) d.lambda = 1;
      else if (n->opcode == op::varble || n->opcode == op::vardot || n->opcode == op::eigvec) d.unknown = 1;
      return d;
    case derivop:
    case integrop: return kids(0);
    case unop:
      if (n->opcode == op::negateop) return kids(0);
      if (n->opcode == op::square) return times(kids(0), kids(0));
      if (n->opcode == op::intpower && n->index > 0) {
        Degree a = kids(0), r;
        for (int k = 0; k < int16_t(n->index); k++) r = times(r, a);
        return r;
      }
      return opaque(kids(0));
    case binop: {
      Degree a = degree(n->child[0]), b = n->arity > 1 ? degree(n->child[1]) : Degree{};
      switch (n->opcode) {
        case op::addop:
        case op::subop: return either(a, b);
        case op::mulop: return times(a, b);
        case op::divop: return times(a, opaque(b));
        case op::powerop: {
          const TreeNode *e = n->child[1];
          double x = e && e->opcode == op::realval ? e->value : -1;
          if (b.none() && x >= 0 && x == std::floor(x) && x <= 16) {
            Degree r;
            for (int k = 0; k < int(x); k++) r = times(r, a);
            return r;
          }
          return opaque(either(a, b));
        }
        default: return opaque(either(a, b));
      }
    }
    case vectorop:
      if (n->opcode == op::vdot || n->opcode == op::vcross) return times(degree(n->child[0]), degree(n->child[1]));
      if (n->opcode == op::vlength || n->opcode == op::vlength2) return opaque(kids(0));
      return kids(0);
    case weirdop:
      if (n->opcode == op::ifthen) return either(opaque(degree(n->child[0])), kids(1));
      return kids(0);
    default: return kids(0);
  }
}

// An eigenvalue problem K x = lambda B x: the equation's lambda side (before lambda is
// set to 1) must be linear in lambda and in the unknowns, its other side linear in the
// unknowns and free of lambda. Either fault is a parse error at the offending term.
static void check_eigen_side(pde *p, const equation *eq, const TreeNode *tree, bool lambda_side) {
  Degree d = degree(tree);
  const TreeNode *at = d.bad;
  if (!at && (d.unknown > 1 || d.lambda > (lambda_side ? 1 : 0))) at = tree;
  if (at) {
    TreeNode *where = const_cast<TreeNode *>(at->loc.file ? at : eq->tree);
    treeclas_parse_error(p, where, "An eigenvalue equation must be linear in the variables and in LAMBDA");
  }
}

void buildeq_build_equations(pde *p) {
  TRACE("buildeq_build_equations_0");
  eqnlist &eqs = p->formulas.equations;
  uint16_t regions = region_count(p);
  debug_printf("BUILD %d EQUATIONS in %d REGIONS. (dbbuildeq=%d)\n", eqs.count, regions, buildeq_debug & 0xFF);
  settle_bases(p);
  for (uint16_t e = 1; e <= p->nfield && e <= eqs.count; e++) {
    equation *eq = eqs.items[e - 1];
    for (treevector *v : {&eq->steady, &eq->source, &eq->volume, &eq->surface, &eq->spare}) fresh(v, regions);
    for (treevector *v : {&eq->timeint, &eq->upwind, &eq->diffusion, &eq->velocity, &eq->upspare, &eq->uptime})
      fresh(v, 0);
    for (treevectors *v : {&eq->voljac, &eq->surfjac}) fresh(v, regions);
    for (treevectors *v : {&eq->timejac, &eq->upjac, &eq->uptimejac}) fresh(v, 0);
    for (uint16_t r = 1; r <= regions; r++) {
      if (!takes_part(p, r, true)) continue;
      // a. The equation, weighted by the volume element outside plain Cartesian coordinates.
      Tree t(trees_copy(eq->tree));
      if (p->coords.geometry != 1 && p->coords.trees[6]) {
        TreeNode *m = trees_new_1(op::mulop, &t.t->loc);
        m->child[0] = t.release();
        m->child[1] = trees_copy(p->coords.trees[6]);
        t.t = m;
        simplify(p, t, r);
      }
      // b. Definitions substituted, classified, fits collected.
      substitute(p, t, r);
      simplify(p, t, r);
      treeclas_classify_value(p, t.t, r, vtag::scalar);
      treemods_find_fits(p, &p->fitlist, t.t, r);
      globals_nonlinear(p, t.t, r);
      treeclas_classify_rhs(p, t.t, r);
      // c. The variable part P and the source.
      t.t = treemods_segregate_rhs(t.t, p->eigen);
      simplify(p, t, r);
      Tree part, source;
      if (t.t && t.t->opcode == op::kkkrhs) {
        part.t = std::exchange(t.t->child[0], nullptr);
        source.t = trees_insert(std::exchange(t.t->child[1], nullptr), op::negateop);
        trees_free_0(t.release());
      } else {
        treeclas_classify_rhs(p, t.t, r);
        if (!t.t || t.t->rhsclass != varex) {
          std::string m = "Equation is Empty in Region " + std::to_string(r);
          treeclas_parse_error(p, eq->tree, m.c_str());
        }
        part.t = t.release();
        source.t = zero_tree();
      }
      // d. The source integral. An eigenvalue equation's source is its LAMBDA side (LAMBDA
      // set to 1), whose weak form is the operator's: its divergence terms integrated by
      // parts, their side fluxes joined to the operator's, which a natural condition gives.
      expand(p, source, r);
      treeclas_classify_rhs(p, source.t, r);
      if (p->eigen) {
        check_eigen_side(p, eq, source.t, true);
        treemods_erase_lambda(source.t);
        simplify(p, source, r);
        static const char *const labels[2] = {"LAMBDA INTEGRAL", "LAMBDA SURFACE"};
        Tree side;
        weak_integrals(p, eq, source.release(), e, r, labels, source, side, nullptr);
      } else {
        differ_all(p, source, r);
        simplify(p, source, r);
      }
      finish(p, source.t, r);
      if (!p->eigen) source.t = trees_insert(source.t, op::integral);
      dbeq(e, r, 0, source.t, "SOURCE", true);
      store(&eq->source, r, source.release());
      // e. The time part goes its own way; Q is the steady rest.
      simplify(p, part, r);
      expand(p, part, r);
      if (p->eigen) check_eigen_side(p, eq, part.t, false);
      treeclas_classify_rhs(p, part.t, r);
      simplify(p, part, r);
      treeclas_classify_time(p, part.t, r);
      part.t = treemods_segregate_time(part.t);
      simplify(p, part, r);
      Tree q, time;  // the steady rest and the time part kept for upwinding
      treevector values = {};  // the time integral's derivatives by the unknowns
      struct Freed {
        treevector *v;
        ~Freed() { trees_free_1(v, 1); }
      } freed{&values};
      if (part.t && part.t->opcode == op::kkktime) {
        q.t = std::exchange(part.t->child[1], nullptr);
        mark_rate(p, e);
        build_timedep(p, eq, std::exchange(part.t->child[0], nullptr), e, r, time, &values);
      } else {
        treeclas_classify_time(p, part.t, r);
        if (part.t && part.t->timeclass == timex) {
          mark_rate(p, e);
          build_timedep(p, eq, part.release(), e, r, time, &values);
          q.t = zero_tree();
        } else {
          q.t = part.release();
          if (p->timedep) build_timedep(p, eq, zero_tree(), e, r, time, &values);
        }
      }
      // f. The steady part, kept and taken into weak form.
      treeclas_classify_time(p, q.t, r);
      store(&eq->steady, r, trees_copy(q.t));
      field_equation(p, eq, q.release(), time, e, r);
      add_time_value_jacobians(eq, r, &values);
    }
  }
}

// ---- Boundary conditions -------------------------------------------------------------------------

// Enters the region in the ascending list once.
static void insert_region(vectorn *list, uint16_t r) {
  if (!r) return;
  int32_t at = 1;
  while (at <= list->count && list->data[at - 1] < r) at++;
  if (at <= list->count && list->data[at - 1] == r) return;
  vectorn_insert_1(list, at, r);
}

static void touched_regions(pde *p, uint16_t b, bc *c) {
  Domain *d = p->mesh.domain;
  vectorn_resize(&c->regions, 0, c->regions.capacity);
  if (!d) return;
  const FormulaSet *f = &p->formulas;
  auto edge_regions = [&](uint16_t k) {
    for (uint16_t r : d->edges.data[k - 1].side_regions) insert_region(&c->regions, r);
  };
  for (uint16_t k = 1; k <= d->edges.count; k++)
    if (domcalls.find_edge_bc(d, k, c->variable, f) == b) edge_regions(k);
  for (uint16_t k = 1; k <= d->faces.count; k++)
    if (domcalls.find_face_bc(d, k, c->variable, f) == b)
      for (uint16_t r : d->faces.data[k - 1].regions) insert_region(&c->regions, r);
  for (uint16_t k = 1; k <= d->joints.count; k++) {
    if (domcalls.find_joint_bc(d, k, c->variable, f) != b) continue;
    const Joint &j = d->joints.data[k - 1];
    if (j.edges.count == 0) {
      double at[3] = {j.x, j.y, j.z};
      insert_region(&c->regions, domcalls.find_region(d, at));
    }
    for (int32_t i = 1; i <= j.edges.count; i++)
      if (j.edges.data[i - 1] >= 1 && j.edges.data[i - 1] <= d->edges.count) edge_regions(j.edges.data[i - 1]);
  }
}

// The weight of a natural condition: the side's own element from the metric where
// sides of different kinds have different elements, else tree 4.
static TreeNode *side_element(pde *p) {
  if (TreeNode *e = metrics_side_element(&p->coords, false)) return e;
  return p->coords.trees[3] ? trees_copy(p->coords.trees[3]) : trees_new_real_0(1);
}

// ---- Normal derivatives in the side flux ---------------------------------------------------------
//
// A normal derivative held at the nodes in place of their equations is only as good as the
// gradient there, a degree below the solution, and the error estimate never sees it. Where
// the equation's own side flux reads the variable's slope, the condition goes into that flux
// instead: the slope grad(u) becomes grad(u) + (g - n.grad(u)) n, whose normal part is the
// given g while its tangential part stays the solution's, and the side integral is
// assembled as a natural condition's, the equations staying in every row.

static TreeNode *binary(int32_t opcode, TreeNode *a, TreeNode *b) {
  TreeNode *n = trees_new_1(opcode, &a->loc);
  n->arity = 2;
  n->child[0] = a, n->child[1] = b;
  return n;
}

// The unit outward normal's component k (1..dim) at a side: the normal component of the
// unit vector along coordinate k.
static TreeNode *normal_component(int k, int dim) {
  TreeNode *v = trees_new_0(op::vector);
  v->arity = uint8_t(dim);
  v->valuetag = vtag::vector;
  for (int i = 0; i < dim; i++) v->child[i] = trees_new_real_0(i == k - 1 ? 1 : 0);
  TreeNode *n = trees_insert(v, op::vncomp);
  n->arity = 1;
  return n;
}

// A first derivative of variable v (its mode in an eigenvalue problem) along a coordinate,
// with no time selector.
static bool slope_leaf(const TreeNode *t, uint16_t v, int dim) {
  return t && (t->opcode == op::varble || t->opcode == op::eigvec) && t->index == v && t->deriv[0] >= 1 &&
         t->deriv[0] <= dim && t->deriv[1] == 0 && t->deriv[2] == 0;
}
static const TreeNode *first_slope(const TreeNode *t, uint16_t v, int dim, int depth = 0) {
  if (!t || depth > 400) return nullptr;
  if (slope_leaf(t, v, dim)) return t;
  if (t->group == leafop || t->opcode == op::subref) return nullptr;
  for (int k = 0; k < t->arity && k < 3; k++)
    if (const TreeNode *s = first_slope(t->child[k], v, dim, depth + 1)) return s;
  return nullptr;
}

// Every slope leaf of v along coordinate j becomes itself plus c n_j.
static TreeNode *lift_slopes(TreeNode *t, uint16_t v, int dim, const TreeNode *c) {
  if (!t) return t;
  if (slope_leaf(t, v, dim))
    return binary(op::addop, t, binary(op::mulop, trees_copy(c), normal_component(t->deriv[0], dim)));
  if (t->group == leafop || t->opcode == op::subref) return t;
  for (int k = 0; k < t->arity && k < 3; k++) t->child[k] = lift_slopes(t->child[k], v, dim, c);
  return t;
}

// The side flux of the condition's equation in region r (the unshared surface integral);
// null where it reads no slope of the variable, or where the mesh coordinates are not
// lengths (a normal derivative there is not the coordinates' one).
static const TreeNode *flux_of(pde *p, const bc *c, uint16_t r) {
  int dim = p->dimension;
  if (dim < 2 || dim > 3 || !(p->coords.family == 1 || (p->coords.family == 2 && dim == 2))) return nullptr;
  uint16_t v = c->variable;
  if (v < 1 || v > p->nfield || v > p->formulas.equations.count) return nullptr;
  const treevector &s = p->formulas.equations.items[v - 1]->spare;
  const TreeNode *t = r >= 1 && r <= s.count ? s.data[r - 1] : nullptr;
  return first_slope(t, v, dim) ? t : nullptr;
}

// Whether every region the normal-derivative condition touches has such a flux.
static bool flux_form(pde *p, const bc *c) {
  if (c->type != normalbc || c->regions.count == 0) return false;
  for (int32_t i = 0; i < c->regions.count; i++)
    if (!flux_of(p, c, uint16_t(c->regions.data[i]))) return false;
  return true;
}

// The side integral of the flux with the normal slope g put in, for region r.
static TreeNode *flux_with(pde *p, const bc *c, uint16_t r, const TreeNode *g) {
  int dim = p->dimension;
  uint16_t v = c->variable;
  const TreeNode *flux = flux_of(p, c, r), *leaf = first_slope(flux, v, dim);
  // n.grad(u), then g less it.
  TreeNode *dn = nullptr;
  for (int j = 1; j <= dim; j++) {
    TreeNode *l = trees_copy(leaf);
    l->deriv[0] = uint8_t(j);
    TreeNode *term = binary(op::mulop, normal_component(j, dim), l);
    dn = dn ? binary(op::addop, dn, term) : term;
  }
  Tree lift(binary(op::subop, g ? trees_copy(g) : zero_tree(), dn));
  Tree t(lift_slopes(trees_copy(flux), v, dim, lift.t));
  simplify(p, t, r);
  return t.release();
}

// Whether the tree holds a time derivative: a rate of an unknown, or a derivative in time.
static bool holds_rate(const TreeNode *t, int depth = 0) {
  if (!t || depth > 400) return false;
  if (t->opcode == op::vardot) return true;
  if (t->group == derivop || t->opcode == op::varble)
    for (int k = 0; k < 3; k++)
      if (t->deriv[k] == 4) return true;
  if (t->group == leafop || t->opcode == op::subref) return false;
  for (int k = 0; k < t->arity && k < 3; k++)
    if (holds_rate(t->child[k], depth + 1)) return true;
  return false;
}

static void refuse_rate(pde *p, bc *c) {
  String message = {};
  strings_copyto_1(&message, "A time derivative in a boundary condition is not supported");
  struct Freed {
    String *s;
    ~Freed() { strings_free_0(s); }
  } freed{&message};
  report_parse_err_1(p, c->tree, &message);
}

// The time part of natural condition c in region r (its entry i) taken out of t: as a side
// integral of the surface element, with its Jacobians by the rates of the unknowns. The
// step weighs it as it weighs the equation's time integral. A part that reads the unknowns
// besides their rates is left in t (and refused there). Entry i of b's lists.
static void side_rates(pde *p, bc *c, uint16_t b, Tree &t, uint16_t r, uint16_t i) {
  uint16_t count = uint16_t(c->regions.count), v = p->nfield;
  if (c->rates.count < count) {
    fresh(&c->rates, count);
    fresh(&c->ratejac, count);
  }
  Tree split(trees_copy(t.t));
  expand(p, split, r);
  treeclas_classify_rhs(p, split.t, r);
  treeclas_classify_time(p, split.t, r);
  split.t = treemods_segregate_time(split.t);
  simplify(p, split, r);
  Tree time, rest;
  if (split.t && split.t->opcode == op::kkktime) {
    time.t = std::exchange(split.t->child[0], nullptr);
    rest.t = std::exchange(split.t->child[1], nullptr);
  } else {
    treeclas_classify_time(p, split.t, r);
    if (!split.t || split.t->timeclass != timex) return;
    time.t = split.release();
  }
  if (!rest.t) rest.t = zero_tree();
  // The side integral of the part times the surface element.
  TreeNode *m = trees_new_1(op::mulop, time.t ? &time.t->loc : nullptr);
  m->child[0] = time.release();
  m->child[1] = side_element(p);
  Tree body(trees_insert(m, op::bintegral));
  differ_all(p, body, r);
  simplify(p, body, r);
  treevector values = {};
  struct Freed {
    treevector *v;
    ~Freed() { trees_free_1(v, 1); }
  } freed{&values};
  time_value_jacobians(p, body.t, r, &values);
  for (uint16_t j = 1; j <= values.count; j++)
    if (values.data[j - 1]) return;
  dbbc(b, r, 0, body.t, "SURFACE TIME BC", true);
  time_jacobians(p, body.t, r, v, &c->ratejac.data[i - 1]);
  time_residual(p, body, r);
  store(&c->rates, i, body.release());
  trees_free_0(t.release());
  t.t = rest.release();
  simplify(p, t, r);
}

void buildeq_build_bcs(pde *p) {
  TRACE("buildeq_build_bcs_0");
  bcset &set = p->formulas.bcs;
  uint16_t n = unknowns(p);
  debug_printf("BUILD %d BC's.\n", set.count);
  for (uint16_t b = 1; b <= set.count; b++) {
    bc *c = set.items[b - 1];
    // 1.-2. The tree and the regions the condition touches.
    debug_printf("\nBC TREE #%d\n", b);
    print_tree(c->tree, "");
    touched_regions(p, b, c);
    // 3. One entry per touched region.
    uint16_t count = uint16_t(c->regions.count);
    fresh(&c->lists[0], count);
    fresh(&c->lists[1], count);
    fresh(&c->perregion, count);
    c->weak = flux_form(p, c) || (c->type == tanglbc && p->dimension == 2);
    c->varying = c->type == tanglbc || (c->type == normalbc && !c->weak);
    fresh(&c->slopes, bcs_along_side(c) ? count : 0);
    fresh(&c->rates, 0);
    fresh(&c->ratejac, 0);
    for (uint16_t i = 1; i <= count; i++) {
      uint16_t r = c->regions.data[i - 1];
      // a. The prepared formula.
      Tree t(written_out(p, c->tree, r));
      simplify(p, t, r);
      // A natural condition of a variable with a rate may hold rates (a dynamic boundary):
      // they are split off and weighed with the equation's time terms. A rate anywhere
      // else would be taken without its place in the step matrix.
      if (p->timedep && holds_rate(t.t)) {
        if (c->type == naturalbc && c->variable >= 1 && c->variable <= p->vars.count &&
            p->vars.items[c->variable - 1].timeflag)
          side_rates(p, c, b, t, r, i);
        if (holds_rate(t.t)) refuse_rate(p, c);
      }
      store(&c->lists[0], i, trees_copy(t.t));
      treemods_find_fits(p, &p->fitlist, t.t, r);
      // A value that reads a global of the unknowns follows the solution: it is no preset.
      if (globals_nonlinear(p, t.t, r) && (c->type == valuebc || c->type == valuept)) c->varying = 1;
      // An eigenvalue problem's modes are defined up to a factor: a value it holds them to
      // must be zero wherever it does not follow the variables.
      if (p->eigen && (c->type == valuebc || c->type == valuept) && !is_zero(t.t) && (!t.t || t.t->rhsclass != varex))
        treeclas_parse_error(p, c->tree, "An eigenvalue problem takes only zero VALUE conditions");
      // b. A natural condition is a boundary integral over the surface element; a normal
      // derivative in flux form, the equation's side integral with the slope put in.
      if (c->type == normalbc && c->weak) {
        TreeNode *w = flux_with(p, c, r, t.t);
        trees_free_0(t.release());
        t.t = w;
      } else if (c->type == naturalbc) {
        TreeNode *m = trees_new_1(op::mulop, t.t ? &t.t->loc : nullptr);
        m->child[0] = t.release();
        m->child[1] = side_element(p);
        t.t = trees_insert(m, op::bintegral);
        simplify(p, t, r);
      }
      // c.-d. Listing and Jacobians.
      dbbc(b, r, 0, t.t, "SURFACE GALERKIN BC", true);
      treevector *jac = &c->perregion.data[i - 1];
      fresh(jac, n);
      jacobians(p, t.t, r, n, jac, Rhs::before);
      if (c->type == valuebc || c->type == valuept)
        for (uint16_t k = 1; k <= n; k++)
          if (!is_zero(jac->data[k - 1])) c->varying = 1;
      // e. In value form the residual is the variable (or its normal or tangential
      // derivative) minus the value.
      if (c->varying) {
        TreeNode *v = trees_new_1(op::varble, t.t ? &t.t->loc : nullptr);
        v->index = c->variable;
        v->rhsclass = varex;
        Tree left(v);
        if (c->type == normalbc || c->type == tanglbc) {
          TreeNode *g = trees_insert(left.release(), op::grad);
          left.t = trees_insert(g, c->type == normalbc ? op::vncomp : op::vtcomp);
          expand(p, left, r);
          differ_all(p, left, r);
          simplify(p, left, r);
          if (bcs_along_side(c)) {
            Tree slope(treedif_differ(p, trees_copy(left.t), int16_t(-c->variable), r));
            simplify(p, slope, r);
            store(&c->slopes, i, slope.release());
          }
        }
        for (uint16_t k = 1; k <= n; k++) {
          TreeNode *&entry = jac->data[k - 1];
          if (k == c->variable) {
            TreeNode *d = treedif_differ(p, trees_copy(left.t), int16_t(-k), r);
            TreeNode *s = trees_new_1(op::subop, &d->loc);
            s->child[0] = d, s->child[1] = entry;
            entry = s;
          } else {
            entry = trees_insert(entry, op::negateop);
          }
        }
        TreeNode *s = trees_new_1(op::subop, left.t ? &left.t->loc : nullptr);
        s->child[0] = left.release();
        s->child[1] = trees_copy(c->lists[0].data[i - 1]);
        trees_free_0(t.release());
        t.t = s;
      }
      // f. The final tree.
      finish(p, t.t, r);
      store(&c->lists[1], i, t.release());
    }
  }
}

// ---- Constraints, scalar equations, initial values ------------------------------------------------

// The Jacobians of a constraint or scalar tree in every include region: a copy
// substituted and simplified, its fits collected.
static void region_jacobians(pde *p, constraint *c, const TreeNode *tree, bool classify) {
  uint16_t regions = region_count(p), n = unknowns(p);
  fresh(&c->perregion, regions);
  for (uint16_t r = 1; r <= regions; r++) {
    if (!takes_part(p, r, false)) continue;
    Tree t(trees_copy(tree));
    substitute(p, t, r);
    simplify(p, t, r);
    if (classify) {
      treeclas_classify_rhs(p, t.t, r);
      treeclas_classify_value(p, t.t, r, vtag::scalar);
    }
    treemods_find_fits(p, &p->fitlist, t.t, r);
    treevector *jac = &c->perregion.data[r - 1];
    fresh(jac, n);
    jacobians(p, t.t, r, n, jac, Rhs::after);
  }
}

void buildeq_build_constraints(pde *p) {
  TRACE("buildeq_build_constraints_0");
  conlist &list = p->formulas.constraints;
  debug_printf("BUILD %d CONSTRAINTS.\n", list.count);
  for (uint16_t k = 1; k <= list.count; k++) {
    constraint *c = list.items[k - 1];
    debug_printf("CONSTRAINT #%d\n", k);
    print_tree(c->tree, "CONSTRAINT");
    // The derivative of an integral is the integral of the derivative from here on.
    p->difintegrals = 1;
    region_jacobians(p, c, c->tree, false);
    fitting_map_constraint_fits(p, c);
  }
}

// The time term of a scalar equation and its Jacobians by the scalar unknowns.
static void scalar_timedep(pde *p, constraint *c, TreeNode *time) {
  TRACE("scalar_timedep_0");
  Tree t(time);
  t.t = treemods_pullup(t.t, 0);
  treeclas_classify_order(p, t.t, 0);
  differ_all(p, t, 0);
  simplify(p, t, 0);
  uint16_t s = p->nscalar;
  fresh(&c->list, s);
  for (uint16_t k = 1; k <= s; k++) {
    Tree d(treedif_differ(p, trees_copy(t.t), int16_t(-(p->nfield + k)), 0));
    simplify(p, d, 0);
    simplify(p, d, 0);
    treeclas_classify_rhs(p, d.t, 0);
    if (d.t && d.t->rhsclass == varex) set_nonlin(p, "SCALAR TIME JACOBIAN");
    finish(p, d.t, 0);
    store(&c->list, k, d.release());
  }
  treemods_erase_dot(t.t);
  trees_free_0(c->second);
  c->second = t.release();
}

static void build_scalars(pde *p) {
  TRACE("build_scalars_0");
  conlist &list = p->formulas.scalars;
  p->difintegrals = 1;
  debug_printf("BUILD %d SCALARS.\n", list.count);
  for (uint16_t k = 1; k <= list.count; k++) {
    constraint *c = list.items[k - 1];
    // 1. Substituted, listed, classified, its time terms split off. The equation as
    // written is kept: a later stage builds it again with its own staged values.
    if (!c->written) c->written = std::exchange(c->tree, nullptr);
    trees_free_0(std::exchange(c->tree, nullptr));
    Tree t(trees_copy(c->written));
    substitute(p, t, 0);
    debug_printf("SCALAR #%d\n", k);
    print_tree(t.t, "SCALAR");
    treeclas_classify_rhs(p, t.t, 0);
    treeclas_classify_value(p, t.t, 0, vtag::scalar);
    treeclas_classify_time(p, t.t, 0);
    t.t = treemods_segregate_time(t.t);
    simplify(p, t, 0);
    // 2. The steady tree replaces the scalar's tree.
    Tree steady;
    if (t.t && t.t->opcode == op::kkktime) {
      steady.t = std::exchange(t.t->child[1], nullptr);
      TreeNode *time = std::exchange(t.t->child[0], nullptr);
      trees_free_0(t.release());
      mark_rate(p, uint16_t(p->nfield + k));
      scalar_timedep(p, c, time);
    } else {
      treeclas_classify_time(p, t.t, 0);
      if (t.t && t.t->timeclass == timex) {
        mark_rate(p, uint16_t(p->nfield + k));
        scalar_timedep(p, c, t.release());
        steady.t = zero_tree();
      } else {
        steady.t = t.release();
        if (p->timedep) scalar_timedep(p, c, zero_tree());
      }
    }
    c->tree = steady.release();
    // An extreme the scalar reads moves with the solution: its row is taken anew.
    extremes_nonlinear(p, c->tree);
    // 3. Jacobians per region.
    region_jacobians(p, c, c->tree, true);
    // 4. Its derivatives carried out, its integrals mapped.
    c->tree = treedif_differ_tree(p, c->tree, 0);
    fitting_map_constraint_fits(p, c);
  }
  p->difintegrals = 0;
}

static void build_init(pde *p) {
  TRACE("build_init_0");
  FormulaSet &f = p->formulas;
  uint16_t n = unknowns(p), regions = region_count(p);
  debug_printf("BUILD %d INITIAL VALUES.\n", n);
  if (f.initial.count < n) trees_resize_0(&f.initial, n, n);
  fresh(&f.initregion, n);
  vectorn_resize(&p->initfits, 0, p->initfits.capacity);
  for (uint16_t u = 1; u <= n; u++) {
    TreeNode *&init = f.initial.data[u - 1];
    if (!init) init = zero_tree();
    treevector *list = &f.initregion.data[u - 1];
    fresh(list, regions);
    for (uint16_t r = 1; r <= regions; r++) {
      if (!takes_part(p, r, false)) continue;
      Tree t(derived(p, init, r, &p->initfits));
      finish(p, t.t, r);
      store(list, r, t.release());
    }
  }
  fitting_fit_closure(p, &p->initfits);
}

// ---- Plots ----------------------------------------------------------------------------------------

// A plot expression prepared for the region, with the shared-subexpression pass when
// asked (per-region trees) and CSE is on.
static TreeNode *plot_tree(pde *p, const TreeNode *tree, uint16_t r, vectorn *fits, bool cse) {
  Tree t(derived(p, tree, r, fits));
  if (cse) finish(p, t.t, r);
  return t.release();
}

void buildeq_build_plots(pde *p) {
  TRACE("buildeq_build_plots_0");
  plotvector &plots = p->plotrecs;
  uint16_t regions = region_count(p);
  debug_printf("BUILD %d PLOTS.\n", plots.count);
  for (int32_t k = 1; k <= plots.count; k++) {
    plotrec *pr = &plots.data[k - 1];
    // Each expression once per include region.
    uint16_t count = pr->exprs.count;
    fresh(&pr->compiled, count);
    for (uint16_t i = 1; i <= count; i++) {
      treevector *list = &pr->compiled.data[i - 1];
      fresh(list, regions);
      const TreeNode *e = pr->exprs.data[i - 1];
      for (uint16_t r = 1; r <= regions; r++)
        if (e && takes_part(p, r, false)) {
          TreeNode *t = plot_tree(p, e, r, &pr->fits, true);
          store(list, r, t);
          // The exports write one number per expression and point: a vector is refused
          // at its line before any file is made.
          if (pr->kind >= PLOT_CDF && t) {
            treeclas_classify_value(p, t, r, vtag::scalar);
            if (t->valuetag != vtag::scalar) {
              static String message;
              strings_copyto_1(&message, "RESULT IS NOT SCALAR");
              report_parse_err_1(p, const_cast<TreeNode *>(e), &message);
            }
          }
        }
    }
    // The region-free trees.
    fresh(&pr->reportcompiled, pr->reports.count);
    for (uint16_t i = 1; i <= pr->reports.count; i++)
      if (TreeNode *e = pr->reports.data[i - 1]) {
        TreeNode *t = plot_tree(p, e, 0, &pr->fits, false);
        place_at_written(t, e);
        store(&pr->reportcompiled, i, t);
      }
    fitting_fit_closure(p, &pr->fits);
  }
}

// ---- The driver -------------------------------------------------------------------------------------

int32_t buildeq_analyze_eq(pde *p) {
  TRACE("buildeq_analyze_eq_0");
  // 1. The status line.
  String text = {};
  strings_copyto_1(&text, "Analyzing Equations");
  uint16_t line = display_report(&p->status, 0, &text);
  strings_free_0(&text);
  // 2. Shared subexpressions start anew.
  vector2d_free(&p->slotvalues, 1);
  trees_free_1(&p->cseslots, 0);
  vectorn_resize(&p->fitlist, 0, p->fitlist.capacity);
  // 3. The definitions in order; a cycle is reported at its first definition.
  paramset *defs = &p->formulas.definitions;
  int32_t cycle = params_param_dependencies(defs);
  if (cycle > 0) {
    uint16_t r = uint16_t(cycle >> 16), k = uint16_t(cycle & 0xFFFF);
    std::string m = "Recursive Definition of ";
    if (k >= 1 && k <= defs->count) m.append(defs->items[k - 1]->name.text ? defs->items[k - 1]->name.text : "");
    TreeNode *at = k >= 1 && k <= defs->count ? params_find_param_tree(defs, k, r) : nullptr;
    String message = {};
    strings_copyto_1(&message, m.c_str());
    struct Freed {
      String *s;
      ~Freed() { strings_free_0(s); }
    } freed{&message};
    if (at) report_parse_err_1(p, at, &message);
    report_parse_err_0(p, nullptr, &message);
  }
  // 4. The steps.
  lock_params(p);
  build_fits(p);
  buildeq_build_equations(p);
  buildeq_build_bcs(p);
  build_scalars(p);
  buildeq_build_constraints(p);
  build_init(p);
  fitting_fit_closure(p, &p->fitlist);
  buildeq_build_plots(p);
  // 5. Room for the shared values; the status line goes.
  vector2d_resize(&p->slotvalues, p->cseslots.count, p->cseslots.capacity);
  display_unreport(&p->status, line);
  return 7;
}

// ---- Template trees ------------------------------------------------------------------------------------

static TreeNode *leaf(int32_t opcode, uint8_t k) {
  TreeNode *n = trees_new_0(opcode);
  n->deriv[0] = k;
  return n;
}
static TreeNode *over(int32_t opcode, TreeNode *a, uint8_t k = 0) {
  TreeNode *n = trees_insert(a, opcode);
  n->deriv[0] = k;
  return n;
}
static TreeNode *pair(int32_t opcode, TreeNode *a, TreeNode *b) {
  TreeNode *n = trees_new_0(opcode);
  n->child[0] = a, n->child[1] = b;
  return n;
}

void buildeq_make_fitrees() {
  TRACE("buildeq_make_fitrees_0");
  if (buildeq_fitrees[1]) return;
  int32_t kinds[2] = {op::fitfun, op::febasis};
  for (int k = 0; k < 2; k++) {
    int32_t f = kinds[k];
    buildeq_fitrees[1 + k] = over(op::integral, leaf(f, 0));
    buildeq_fitrees[3 + k] = pair(op::addop, over(op::integral, leaf(f, 1), 1), over(op::integral, leaf(f, 2), 2));
    buildeq_fitrees[5 + k] = pair(op::addop, over(op::bintegral, leaf(f, 1), 1), over(op::bintegral, leaf(f, 2), 2));
    TreeNode *v = pair(op::vector, leaf(f, 1), leaf(f, 2));
    buildeq_fitrees[7 + k] = over(op::bintegral, over(op::vncomp, v));
  }
}
