// buildeq_equations: the field equations' residual, time and Jacobian trees, and the
// eigenvalue equations' two sides.
#include "model/buildeq_internal.h"

// ---- Field equations ---------------------------------------------------------------------------------

// Entries 1..v of list: the coefficients of the time derivatives of each field variable
// in tree (the constant zero where the tree has none).
void time_jacobians(pde *p, const TreeNode *tree, uint16_t r, uint16_t v, treevector *list) {
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
void time_residual(pde *p, Tree &t, uint16_t r) {
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
void time_value_jacobians(pde *p, const TreeNode *body, uint16_t r, treevector *list) {
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
      Tree q, time;            // the steady rest and the time part kept for upwinding
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
