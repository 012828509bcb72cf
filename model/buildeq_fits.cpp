// buildeq_fits: the definitions locked in their expanded forms and the fits they read.
#include "model/buildeq_internal.h"

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

void lock_params(pde *p) {
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

void build_fits(pde *p) {
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
void mark_rate(pde *p, uint16_t k) {
  if (p->timedep && k >= 1 && k <= p->vars.count) p->vars.items[k - 1].timeflag = 1;
}
