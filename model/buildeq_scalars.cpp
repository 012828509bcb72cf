// buildeq_scalars: the constraints, the scalar equations and the initial values.
#include "model/buildeq_internal.h"

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

void build_scalars(pde *p) {
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

void build_init(pde *p) {
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
