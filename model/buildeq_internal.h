// buildeq_internal: what the builders of the equation analysis share (buildeq.cpp,
// buildeq_fits.cpp, buildeq_equations.cpp, buildeq_bcs.cpp, buildeq_scalars.cpp,
// buildeq_plots.cpp): the working trees, the debug listings and the two chains.
#pragma once
#include "model/buildeq.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "model/pdedat_record.h"
#include "elements/domain_record.h"
#include "elements/basisfun.h"
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

static inline uint16_t region_count(const pde *p) { return p->mesh.domain ? p->mesh.domain->regions.count : 0; }
static inline const region *region_of(const pde *p, uint16_t r) { return &p->mesh.domain->regions.data[r - 1]; }
// Equations take part in include regions not marked excluded; everything else in
// every include region.
static inline bool takes_part(const pde *p, uint16_t r, bool equation) {
  const region *g = region_of(p, r);
  return g->type == 0 && (!equation || !g->excluded);
}
static inline uint16_t unknowns(const pde *p) { return uint16_t(p->nfield + p->nscalar); }

static inline bool is_zero(const TreeNode *n) {
  return n && (n->opcode == op::realzero || (n->opcode == op::realval && n->value == 0));
}
static inline TreeNode *zero_tree() {
  TreeNode *z = trees_new_0(op::realzero);
  z->rhsclass = constex;
  z->timeclass = spacex;
  z->orderclass = order0;
  z->valuetag = vtag::scalar;
  return z;
}

static inline void simplify(pde *p, Tree &t, uint16_t r) {
  (void)p;
  uint8_t ch = 0;
  treesimp_simplify_in(&t.t, r, &ch);
}
static inline void substitute(pde *p, Tree &t, uint16_t r) { t.t = treemods_copy_params(p, t.t, r, 1); }
static inline void expand(pde *p, Tree &t, uint16_t r) { t.t = treemods_expand_vecops(p, t.t, r); }
static inline void differ_all(pde *p, Tree &t, uint16_t r) { t.t = treedif_differ_tree(p, t.t, r); }

// Stores the tree as entry k of the list (lengthened when short), freeing an earlier one.
static inline void store(treevector *v, uint16_t k, TreeNode *tree) {
  TreeNode **slot = trees_slot(v, k);
  trees_free_0(*slot);
  *slot = tree;
}
// A list emptied of earlier trees and sized to n null entries.
static inline void fresh(treevector *v, uint16_t n) {
  trees_free_1(v, 1);
  if (n) trees_resize_0(v, n, n);
}
static inline void fresh(treevectors *v, uint16_t n) {
  trees_free_2(v, 1);
  if (n) trees_resize_1(v, n, n);
}
// Entry r of a per-region list of lists, emptied and sized to n.
static inline treevector *sized(treevectors *v, uint16_t r, uint16_t n) {
  if (v->count < r) trees_resize_1(v, r, r);
  treevector *e = &v->data[r - 1];
  fresh(e, n);
  return e;
}

// ---- Debug listings and the two chains ----------------------------------------------------------

// "\n<what> e  REGION r[  VARIABLE v]\n" and the tree under the label.
static inline void dblist(const char *what, uint16_t n, uint16_t r, uint16_t variable, const TreeNode *tree,
                          const char *label, bool flag) {
  if (!flag) return;
  debug_printf("\n%s %d  REGION %d", what, n, r);
  if (variable > 0) debug_printf("  VARIABLE %d", variable);
  debug_printf("\n");
  if (debug_file) trees_print_tree(debug_file, tree, label);
}
static inline void dbeq(uint16_t e, uint16_t r, uint16_t variable, const TreeNode *tree, const char *label, bool flag) {
  dblist("EQUATION", e, r, variable, tree, label, flag);
}
static inline void dbbc(uint16_t b, uint16_t r, uint16_t variable, const TreeNode *tree, const char *label, bool flag) {
  dblist("BC", b, r, variable, tree, label, flag);
}

static inline void print_tree(const TreeNode *tree, const char *title) {
  if (debug_file) trees_print_tree(debug_file, tree, title);
}

static inline void set_nonlin(pde *p, const char *) { p->nonlinear = 1; }

// A tree that reads a derived global of the unknowns (an integral, an extreme, a point
// value, a fit) couples every unknown its global reads, which no local Jacobian holds:
// the problem is solved by Newton's steps with the global taken anew at each.
// Returns whether it does.
static inline bool globals_nonlinear(pde *p, TreeNode *tree, uint16_t r) {
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
static inline void extremes_nonlinear(pde *p, TreeNode *tree) {
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
static inline void finish(pde *p, TreeNode *tree, uint16_t r) {
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
static inline TreeNode *jacobian(pde *p, const TreeNode *tree, uint16_t r, uint16_t k, Rhs rhs) {
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
static inline void jacobians(pde *p, const TreeNode *tree, uint16_t r, uint16_t n, treevector *list, Rhs rhs) {
  for (uint16_t k = 1; k <= n; k++) store(list, k, jacobian(p, tree, r, k, rhs));
}

// A copy of the tree for the region with definitions substituted, simplified, vector
// operators written out, classified and its derivatives carried out.
static inline TreeNode *written_out(pde *p, const TreeNode *tree, uint16_t r) {
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
static inline TreeNode *derived(pde *p, const TreeNode *tree, uint16_t r, vectorn *fits) {
  Tree t(written_out(p, tree, r));
  treemods_patch_basis(t.t);
  treemods_erase_dot(t.t);
  simplify(p, t, r);
  treeclas_classify_value(p, t.t, r, vtag::scalar);
  treemods_find_fits(p, fits, t.t, r);
  return t.release();
}

// The first and last line of the file on which the tree's nodes were written.
static inline void line_span(const TreeNode *t, uint16_t file, uint32_t &lo, uint32_t &hi) {
  if (!t) return;
  if (t->loc.file == file && t->loc.line) lo = std::min(lo, t->loc.line), hi = std::max(hi, t->loc.line);
  if (t->group == leafop || t->opcode == op::subref) return;
  for (int k = 0; k < t->arity && k < 3; k++) line_span(t->child[k], file, lo, hi);
}

// Nodes written outside the lines lo..hi of the file (substituted from definitions)
// take the place at: an error of a summary's value is told where it was asked for.
static inline void place_within(TreeNode *t, uint16_t file, uint32_t lo, uint32_t hi, const TextLoc &at) {
  if (!t) return;
  if (t->loc.file != file || t->loc.line < lo || t->loc.line > hi) t->loc = at;
  if (t->group == leafop || t->opcode == op::subref) return;
  for (int k = 0; k < t->arity && k < 3; k++) place_within(t->child[k], file, lo, hi, at);
}

// The compiled form of a tree written by the user keeps the places of its own text;
// what substitution brought in from definitions takes the written tree's place.
static inline void place_at_written(TreeNode *compiled, TreeNode *written) {
  if (!compiled || !written) return;
  trees_find_loc(written);
  uint32_t lo = UINT32_MAX, hi = 0;
  line_span(written, written->loc.file, lo, hi);
  if (written->loc.file && hi) place_within(compiled, written->loc.file, lo, hi, written->loc);
}


// What the builders call across (each is described where it is defined).
// buildeq_fits.cpp
void lock_params(pde *p);
void build_fits(pde *p);
void mark_rate(pde *p, uint16_t k);
// buildeq_equations.cpp
void time_jacobians(pde *p, const TreeNode *tree, uint16_t r, uint16_t v, treevector *list);
void time_residual(pde *p, Tree &t, uint16_t r);
void time_value_jacobians(pde *p, const TreeNode *body, uint16_t r, treevector *list);
// buildeq_scalars.cpp
void build_scalars(pde *p);
void build_init(pde *p);
