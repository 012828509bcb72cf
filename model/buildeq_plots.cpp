// buildeq_plots: the plot expressions prepared for their regions.
#include "model/buildeq_internal.h"

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
