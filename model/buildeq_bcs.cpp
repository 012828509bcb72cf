// buildeq_bcs: the boundary conditions' trees, their regions and their side fluxes.
#include "model/buildeq_internal.h"

// ---- Boundary conditions -------------------------------------------------------------------------

uint16_t (*buildeq_region_at)(const Domain *d, const double *p) = nullptr;

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
    if (bcs_find_edge_bc(d, k, c->variable, f) == b) edge_regions(k);
  for (uint16_t k = 1; k <= d->faces.count; k++)
    if (bcs_find_face_bc(d, k, c->variable, f) == b)
      for (uint16_t r : d->faces.data[k - 1].regions) insert_region(&c->regions, r);
  for (uint16_t k = 1; k <= d->joints.count; k++) {
    if (bcs_find_joint_bc(d, k, c->variable, f) != b) continue;
    const Joint &j = d->joints.data[k - 1];
    if (j.edges.count == 0) {
      double at[3] = {j.x, j.y, j.z};
      insert_region(&c->regions, buildeq_region_at(d, at));
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
