// buildeq: equation analysis into weak-form residual and Jacobian trees: the driver and the
// template trees; the builders are buildeq_fits.cpp, buildeq_equations.cpp, buildeq_bcs.cpp,
// buildeq_scalars.cpp and buildeq_plots.cpp.
#include "model/buildeq_internal.h"

uint16_t buildeq_debug;
TreeNode *buildeq_fitrees[9];

int buildeq_init() {
  TRACE("buildeq");
  return 0;
}

// ---- The driver -------------------------------------------------------------------------------------

int32_t buildeq_analyze_eq(pde *p) {
  TRACE("buildeq_analyze_eq_0");
  // 1. The status line.
  uint16_t line = report_panel.post_status(p, "Analyzing Equations");
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
  report_panel.drop_status(p, line);
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
