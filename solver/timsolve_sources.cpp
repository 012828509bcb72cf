// timsolve_sources: what a time run reads of its equations' sources and coefficients: whether
// the problem is linear with fixed coefficients, the sources split by what they read, the
// sources and coefficients that read the time and the switches in t that end a step.
#include "solver/coupling.h"
#include "solver/timsolve.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <vector>

#include "model/pdedat_record.h"
#include "model/fits.h"
#include "domain/dominpde.h"
#include "elements/basisfun.h"
#include "elements/evalpoint.h"
#include "elements/meshes.h"
#include "graphics/display.h"
#include "model/params.h"
#include "model/treeval.h"
#include "runtime/debug.h"
#include "runtime/report.h"
#include "runtime/rtlib.h"
#include "runtime/vectorld.h"
#include "solver/bandmxd.h"
#include "solver/bigmatx.h"
#include "solver/coupling_internal.h"
#include "solver/loading.h"
#include "solver/sparsecg.h"
#include "solver/sparsemx.h"

// ---- Fixed linear problems -------------------------------------------------------------------

// How a tree depends on the unknowns: not at all, affinely (a sum of terms each with
// one unknown, or one of its derivatives, times a factor free of them), or otherwise.
// Anything that may change while the mesh stands (the time, the step, random values,
// tables, fits, integrals, globals, user functions, eigen values) counts as otherwise,
// as does an unknown or a rate the caller does not admit (bit 1 unknowns, bit 2 rates).
enum class Dep { none, affine, other };

static Dep either(Dep a, Dep b) { return a > b ? a : b; }

static Dep dependence(pde *p, const TreeNode *n, uint16_t region, int admit, int depth = 0) {
  if (!n) return Dep::none;
  if (depth > 200) return Dep::other;
  auto dep = [&](int k) { return dependence(p, n->child[k], region, admit, depth + 1); };
  // An operator of operands free of the unknowns is free of them; any other is not affine.
  auto fixed_only = [&] {
    for (int k = 0; k < n->arity; k++)
      if (dep(k) != Dep::none) return Dep::other;
    return Dep::none;
  };
  switch (n->opcode) {
    case op::realzero:
    case op::realval:
    case op::xcoord:
    case op::ycoord:
    case op::zcoord:
    case op::voljac:
    case op::febasis:
    case op::nullvector: return Dep::none;
    case op::varble: return admit & 1 ? Dep::affine : Dep::other;
    case op::vardot: return admit & 2 ? Dep::affine : Dep::other;
    case op::tcoord:
    case op::deltat: return admit & 4 ? Dep::none : Dep::other;
    case op::param: {
      if (n->index < 1 || n->index > p->formulas.definitions.count) return Dep::other;
      const TreeNode *d = params_find_param_tree(&p->formulas.definitions, n->index, region);
      return d ? dependence(p, d, region, admit, depth + 1) : Dep::other;
    }
    case op::negateop:
    case op::integral:
    case op::bintegral:
    case op::deriv:
    case op::vdiv:
    case op::grad:
    case op::vcurl:
    case op::scurl:
    case op::del2:
    case op::vxcomp:
    case op::vycomp:
    case op::vzcomp:
    case op::subdef: return n->arity == 1 ? dep(0) : Dep::other;
    case op::addop:
    case op::subop:
    case op::vector: {
      Dep d = Dep::none;
      for (int k = 0; k < n->arity; k++) d = either(d, dep(k));
      return d;
    }
    case op::mulop:
    case op::vdot:
    case op::vcross: {
      if (n->arity != 2) return Dep::other;
      Dep a = dep(0), b = dep(1);
      if (a == Dep::none) return b;
      return b == Dep::none ? a : Dep::other;
    }
    case op::divop: return n->arity == 2 && dep(1) == Dep::none ? dep(0) : Dep::other;
    case op::subref: return n->target ? dependence(p, n->target, region, admit, depth + 1) : Dep::other;
    case op::ifthen:
      if (n->arity != 3 || dep(0) != Dep::none) return Dep::other;
      return either(dep(1), dep(2));
    default: break;
  }
  switch (n->group) {
    case unop:
      if (n->opcode == op::randomf || n->opcode == op::upfactor || n->opcode == op::arrayref) return Dep::other;
      return fixed_only();
    case binop: return fixed_only();
    default: return Dep::other;
  }
}

// Every tree of the per-region list depends on the unknowns at most as allowed.
static bool trees_within(pde *p, const treevector *v, int admit, Dep most) {
  for (uint16_t r = 1; r <= v->count; r++)
    if (dependence(p, v->data[r - 1], r, admit) > most) return false;
  return true;
}
static bool jacobians_fixed(pde *p, const treevectors *v) {
  for (uint16_t r = 1; r <= v->count; r++)
    for (uint16_t j = 1; j <= v->data[r - 1].count; j++)
      if (dependence(p, v->data[r - 1].data[j - 1], r, 0) != Dep::none) return false;
  return true;
}

bool coupling_fixed_linear(pde *p) {
  TRACE("coupling_fixed_linear");
  const Mesh *m = &p->mesh;
  uint16_t E = eqcount(p);
  if (!p->timedep || p->nonlinear || p->moving || p->nscalar || p->nconstraints || E == 0 || E != p->nfield)
    return false;
  // Integrals and other derived globals the equations, conditions or initial values reach
  // change with the solution; those only reports read do not touch the residual.
  if (p->formulas.constraints.count || p->formulas.scalars.count || p->fitlist.count || p->jacfits.count) return false;
  if (m->images.count || m->delnodes) return false;
  for (uint16_t k = 1; k <= E; k++) {
    equation *eq = eqn(p, k);
    if (!timeflag(p, k) || vbasis(p, k) != m->meshbasis) return false;
    if (p->upwind && eq->velocity.count) return false;
    // The residual: the volume terms affine in the unknowns, the time terms in their
    // rates; their Jacobians, K's and D's entries, free of both.
    if (!trees_within(p, &eq->volume, 1, Dep::affine) || !trees_within(p, &eq->timeint, 2, Dep::affine)) return false;
    if (!jacobians_fixed(p, &eq->voljac) || !jacobians_fixed(p, &eq->timejac)) return false;
  }
  for (uint16_t b = 1; b <= p->formulas.bcs.count; b++) {
    const bc *r = bcrec(p, b);
    switch (r->type) {
      case nobc: break;
      case valuebc:
      case valuept:
        if (r->varying) return false;
        break;
      case naturalbc:
        for (uint16_t i = 1; i <= r->regions.count && i <= r->lists[1].count; i++)
          if (dependence(p, r->lists[1].data[i - 1], uint16_t(r->regions.data[i - 1]), 1) > Dep::affine) return false;
        for (uint16_t i = 1; i <= r->regions.count && i <= r->perregion.count; i++)
          for (uint16_t j = 1; j <= r->perregion.data[i - 1].count; j++)
            if (dependence(p, r->perregion.data[i - 1].data[j - 1], uint16_t(r->regions.data[i - 1]), 0) != Dep::none)
              return false;
        // A dynamic boundary's time part as the equations' time terms.
        for (uint16_t i = 1; i <= r->regions.count && i <= r->rates.count; i++)
          if (dependence(p, r->rates.data[i - 1], uint16_t(r->regions.data[i - 1]), 2) > Dep::affine) return false;
        for (uint16_t i = 1; i <= r->regions.count && i <= r->ratejac.count; i++)
          for (uint16_t j = 1; j <= r->ratejac.data[i - 1].count; j++)
            if (dependence(p, r->ratejac.data[i - 1].data[j - 1], uint16_t(r->regions.data[i - 1]), 0) != Dep::none)
              return false;
        break;
      default: return false;
    }
  }
  return true;
}

bool coupling_fixed_source(pde *p) {
  TRACE("coupling_fixed_source");
  for (uint16_t k = 1; k <= eqcount(p); k++) {
    equation *eq = eqn(p, k);
    if (p->upwind && eq->velocity.count) return false;
    if (!trees_within(p, &eq->source, 0, Dep::none)) return false;
  }
  return true;
}

// ---- Sources split by what they read ---------------------------------------------------------

// Each equation's source per region as two trees whose sum it is: the part that reads
// nothing of the solution (coordinates, the time and the step, definitions of those) and
// the rest (the unknowns, integrals, point values and other derived globals). A time step
// whose globals are corrected pass by pass builds the first part once and only the rest
// again. The trees own their nodes; a part that is empty is null.
struct SourceParts {
  const TreeNode *of = nullptr;  // the source tree split
  TreeNode *fixed = nullptr, *rest = nullptr;
};
struct SourceSplit {
  std::vector<std::vector<SourceParts>> parts;  // [equation][region]
  bool usable = false;
  void clear() {
    for (auto &eqparts : parts)
      for (SourceParts &r : eqparts) r.fixed = trees_free_0(r.fixed), r.rest = trees_free_0(r.rest);
    parts.clear();
    usable = false;
  }
};
// The run's split, made at its first use; the run releases it (TimeRun::~TimeRun) before the
// tree allocator's own statics are gone.
static SourceSplit &split_of(TimeRun *run) {
  if (!run->source_split) run->source_split = new SourceSplit;
  return *run->source_split;
}

// A copy of the tree with every shared subexpression written out where it is read, so
// that either part of a split evaluates on its own; null past budget nodes.
static TreeNode *written_out(const TreeNode *n, int32_t &budget, int depth = 0) {
  if (!n) return nullptr;
  if (--budget < 0 || depth > 400) return nullptr;
  if (n->opcode == op::subref || n->opcode == op::subdef) {
    const TreeNode *t = n->opcode == op::subdef ? n->child[0] : n->target;
    if (t && t->opcode == op::subdef) t = t->child[0];
    return t ? written_out(t, budget, depth + 1) : nullptr;
  }
  if (n->group == leafop) return trees_copy(n);
  TreeNode *c = trees_new_0(n->opcode);
  trees_node_copy(c, n);
  bool whole = true;
  for (int k = 0; k < n->arity && k < 3; k++) {
    c->child[k] = n->child[k] ? written_out(n->child[k], budget, depth + 1) : nullptr;
    if (n->child[k] && !c->child[k]) whole = false;
  }
  if (!whole) return trees_free_0(c);
  return c;
}

// A scalar operator node with the given children (b null for one).
static TreeNode *joined(int32_t opcode, TreeNode *a, TreeNode *b) {
  TreeNode *n = trees_new_0(opcode);
  n->valuetag = vtag::scalar;
  n->arity = b ? 2 : 1;
  n->child[0] = a;
  if (b) n->child[1] = b;
  return n;
}

// a op b where either may be null (no term): a sum or difference of what there is.
static TreeNode *sum_of(int32_t opcode, TreeNode *a, TreeNode *b) {
  if (!b) return a;
  if (!a) return opcode == op::subop ? joined(op::negateop, b, nullptr) : b;
  return joined(opcode, a, b);
}

// Splits n into fixed + rest (copies, owned by the caller). A product or quotient by a
// fixed factor splits its other operand; any other node that reads the solution is rest.
static void split_tree(pde *p, const TreeNode *n, uint16_t region, TreeNode **fixed, TreeNode **rest) {
  *fixed = *rest = nullptr;
  if (!n) return;
  if (dependence(p, n, region, 4) == Dep::none) {
    *fixed = trees_copy(n);
    return;
  }
  TreeNode *f[2] = {nullptr, nullptr}, *r[2] = {nullptr, nullptr};
  auto copy_node = [&](TreeNode *a, TreeNode *b) {
    if (!a && !b) return static_cast<TreeNode *>(nullptr);
    TreeNode *c = trees_new_0(n->opcode);
    trees_node_copy(c, n);
    c->child[0] = a;
    if (n->arity > 1) c->child[1] = b;
    return c;
  };
  switch (n->opcode) {
    case op::addop:
    case op::subop:
      if (n->arity != 2 || n->valuetag != vtag::scalar) break;
      split_tree(p, n->child[0], region, &f[0], &r[0]);
      split_tree(p, n->child[1], region, &f[1], &r[1]);
      *fixed = sum_of(n->opcode, f[0], f[1]);
      *rest = sum_of(n->opcode, r[0], r[1]);
      return;
    case op::negateop:
    case op::passive:
    case op::integral:
      if (n->arity != 1) break;
      split_tree(p, n->child[0], region, &f[0], &r[0]);
      *fixed = copy_node(f[0], nullptr);
      *rest = copy_node(r[0], nullptr);
      return;
    case op::mulop:
    case op::divop: {
      if (n->arity != 2 || n->valuetag != vtag::scalar) break;
      int by = dependence(p, n->child[1], region, 4) == Dep::none                             ? 1
               : n->opcode == op::mulop && dependence(p, n->child[0], region, 4) == Dep::none ? 0
                                                                                              : -1;
      if (by < 0) break;
      split_tree(p, n->child[1 - by], region, &f[0], &r[0]);
      auto with = [&](TreeNode *part) {
        if (!part) return static_cast<TreeNode *>(nullptr);
        TreeNode *factor = trees_copy(n->child[by]);
        return by == 1 ? copy_node(part, factor) : copy_node(factor, part);
      };
      *fixed = with(f[0]);
      *rest = with(r[0]);
      return;
    }
    default: break;
  }
  *rest = trees_copy(n);
}

bool coupling_split_source(pde *p, TimeRun *run) {
  TRACE("coupling_split_source");
  SourceSplit &source_split = split_of(run);
  uint16_t E = eqcount(p);
  // The split stands while every source tree is the one split.
  bool same = source_split.parts.size() == E;
  for (uint16_t k = 1; k <= E && same; k++) {
    const treevector &v = eqn(p, k)->source;
    same = source_split.parts[k - 1].size() == size_t(v.count);
    for (uint16_t r = 1; r <= v.count && same; r++) same = source_split.parts[k - 1][r - 1].of == v.data[r - 1];
  }
  if (same) return source_split.usable;
  source_split.clear();
  source_split.parts.resize(E);
  bool usable = true;
  for (uint16_t k = 1; k <= E; k++) {
    equation *eq = eqn(p, k);
    // The streamline term of a source reads the solution's velocity: no split.
    if (p->upwind && eq->velocity.count) usable = false;
    source_split.parts[k - 1].resize(eq->source.count);
    for (uint16_t r = 1; r <= eq->source.count; r++) {
      SourceParts &s = source_split.parts[k - 1][r - 1];
      s.of = eq->source.data[r - 1];
      int32_t budget = 200000;
      TreeNode *whole = usable && s.of ? written_out(s.of, budget) : nullptr;
      if (s.of && !whole) {
        usable = false;
        continue;
      }
      split_tree(p, whole, r, &s.fixed, &s.rest);
      trees_free_0(whole);
    }
  }
  source_split.usable = usable;
  if (debug_file) {
    int rests = 0;
    for (auto &eqparts : source_split.parts)
      for (SourceParts &r : eqparts) rests += r.rest != nullptr;
    debug_printf("SOURCE SPLIT %s, %d PARTS READ THE SOLUTION\n", usable ? "MADE" : "DECLINED", rests);
  }
  return usable;
}

void coupling_release_split(TimeRun *run) {
  if (run->source_split) run->source_split->clear();
  delete run->source_split;
  run->source_split = nullptr;
}

void coupling_build_source_part(pde *p, TimeRun *run, vectord *S, double told, double tnew, bool fixed) {
  TRACE("coupling_build_source_part");
  SourceSplit &source_split = split_of(run);
  zero(S, p->nt);
  Mesh *m = &p->mesh;
  context(&p->solution, nullptr, tnew);
  uint16_t E = eqcount(p);
  if (!source_split.usable || source_split.parts.size() != E) rtlib_fatal_in("coupling_build_source_part", "NO SPLIT");
  auto part = [&](uint16_t k, uint16_t R) -> const TreeNode * {
    const std::vector<SourceParts> &v = source_split.parts[k - 1];
    return R >= 1 && R <= v.size() ? (fixed ? v[R - 1].fixed : v[R - 1].rest) : nullptr;
  };
  bool any = false;
  for (uint16_t k = 1; k <= E && !any; k++)
    for (uint16_t r = 1; r <= source_split.parts[k - 1].size() && !any; r++) any = !zero_integral(part(k, r));
  static const double one = 1.0;
  for (int32_t c = 1; any && c <= m->cells.count; c++) {
    if (!m->cells.data[c - 1].alive) continue;
    const MeshCell *cell = localize(p, c, 0);
    for (uint16_t k = 1; k <= E; k++) {
      const TreeNode *tree = part(k, cell->region);
      if (zero_integral(tree)) continue;
      int32_t count = 1;
      const double *tau = &one, *w = &one;
      if (timeflag(p, k) && k <= p->tcount.count) {
        count = p->tcount.data[k - 1];
        tau = p->tnodes.data[k - 1].data;
        w = p->tweights.data[k - 1].data;
      }
      source_nodes(p, S, k, tree, &ep, told, tnew, count, tau, w);
    }
    ep.t = tnew;
  }
  for (uint16_t k = 1; k <= E; k++) {
    const vectorl *nodes = &p->valuenodes.data[k - 1];
    for (int32_t i = 0; i < nodes->count; i++) S->data[row_of(p, k, nodes->data[i]) - 1] = 0;
    fold_rows(p, S, k);
  }
}

// Whether a tree reads the time or the step (directly or through a definition).
// With tables, a TABLE with an axis in the time (or in a definition that reads it) reads
// the time too.
static bool reads_time(pde *p, const TreeNode *n, uint16_t region, int depth = 0, bool tables = false) {
  if (!n) return false;
  if (depth > 200) return true;
  if (n->opcode == op::tcoord || n->opcode == op::deltat) return true;
  auto definition = [&](int32_t index) {
    if (index < 1 || index > p->formulas.definitions.count) return false;
    const TreeNode *d = params_find_param_tree(&p->formulas.definitions, uint16_t(index), region);
    return reads_time(p, d, region, depth + 1, tables);
  };
  if (n->opcode == op::param) return definition(n->index);
  if (tables && n->opcode == op::tableval) {
    const tablelist &tl = p->formulas.definitions.tables;
    if (n->index < 1 || n->index > tl.count) return false;
    for (uint16_t key : tl.items[n->index - 1].keys)
      if (key == 4 || (key > 100 && definition(key - 100))) return true;
    return false;
  }
  if (n->opcode == op::subref) return reads_time(p, n->target, region, depth + 1, tables);
  if (n->group == leafop) return false;
  for (int k = 0; k < n->arity && k < 3; k++)
    if (reads_time(p, n->child[k], region, depth + 1, tables)) return true;
  return false;
}

static bool any_reads_time(pde *p, const treevectors *v) {
  for (uint16_t r = 1; r <= v->count; r++)
    for (uint16_t j = 1; j <= v->data[r - 1].count; j++)
      if (reads_time(p, v->data[r - 1].data[j - 1], r)) return true;
  return false;
}

// Whether Jacobian tree t (by unknown k, in region r) can be other than zero: a point value's
// is a tagged node whose own tree is its fit's derivative by k.
static bool jacobian_reads(pde *p, const TreeNode *t, uint16_t k, uint16_t r) {
  if (zero_tree(t)) return false;
  switch (t->opcode) {
    case op::evalop: {
      if (t->deriv[3] != k || t->index < 1 || t->index > p->formulas.fits.count) return true;
      const fit *f = p->formulas.fits.items[t->index - 1];
      return !zero_tree(jac_tree(&f->jacobians, r, k)) || !zero_tree(jac_tree(&f->jacobians, 1, k));
    }
    case op::negateop: return jacobian_reads(p, t->child[0], k, r);
    case op::addop:
    case op::subop: return jacobian_reads(p, t->child[0], k, r) || jacobian_reads(p, t->child[1], k, r);
    case op::mulop: return jacobian_reads(p, t->child[0], k, r) && jacobian_reads(p, t->child[1], k, r);
    default: return true;
  }
}

bool coupling_scalar_reads_itself(pde *p, uint16_t s) {
  if (s < 1 || s > p->formulas.scalars.count) return false;
  const treevectors &v = p->formulas.scalars.items[s - 1]->perregion;
  uint16_t k = uint16_t(p->nfield + s);
  for (uint16_t r = 1; r <= v.count; r++)
    if (jacobian_reads(p, jac_tree(&v, r, k), k, r)) return true;
  return false;
}

bool coupling_source_reads_time(pde *p) {
  TRACE("coupling_source_reads_time");
  for (uint16_t k = 1; k <= eqcount(p); k++) {
    const treevector &v = eqn(p, k)->source;
    for (int32_t r = 0; r < v.count; r++)
      if (reads_time(p, v.data[r], uint16_t(r + 1), 0, true)) return true;
  }
  return false;
}

// Whether a tree reads nothing but the time and constants (through definitions too): its
// value is one function of the time alone.
static bool time_only(pde *p, const TreeNode *n, uint16_t region, int depth = 0) {
  if (!n || depth > 200) return false;
  if (n->opcode == op::realzero || n->opcode == op::realval || n->opcode == op::tcoord) return true;
  if (n->opcode == op::param) {
    if (n->index < 1 || n->index > p->formulas.definitions.count) return false;
    return time_only(p, params_find_param_tree(&p->formulas.definitions, n->index, region), region, depth + 1);
  }
  if (n->opcode == op::subref) return time_only(p, n->target, region, depth + 1);
  if (n->group == leafop || n->opcode == op::randomf || n->group == integrop || n->group == derivop) return false;
  for (int k = 0; k < n->arity && k < 3; k++)
    if (!time_only(p, n->child[k], region, depth + 1)) return false;
  return true;
}

// The switches of tree n (and of the definitions it reads) into out: comparisons, steps and
// signs of the time alone.
static void find_switches(pde *p, const TreeNode *n, uint16_t region, std::vector<CouplingSwitch> &out, int depth = 0) {
  if (!n || depth > 200) return;
  bool cut = n->opcode == op::ltnop || n->opcode == op::leqop || n->opcode == op::gtrop || n->opcode == op::geqop ||
             n->opcode == op::equop || n->opcode == op::neqop || n->opcode == op::ustepf || n->opcode == op::signf;
  if (cut && reads_time(p, n, region) && time_only(p, n, region)) {
    for (const CouplingSwitch &s : out)
      if (s.tree == n && s.region == region) return;
    out.push_back({n, region});
    return;
  }
  if (n->opcode == op::param) {
    if (n->index >= 1 && n->index <= p->formulas.definitions.count)
      find_switches(p, params_find_param_tree(&p->formulas.definitions, n->index, region), region, out, depth + 1);
    return;
  }
  if (n->opcode == op::subref || n->group == leafop) return;
  for (int k = 0; k < n->arity && k < 3; k++) find_switches(p, n->child[k], region, out, depth + 1);
}

std::vector<CouplingSwitch> coupling_time_switches(pde *p) {
  TRACE("coupling_time_switches");
  std::vector<CouplingSwitch> out;
  for (uint16_t k = 1; k <= eqcount(p); k++) {
    equation *eq = eqn(p, k);
    for (const treevector *v : {&eq->source, &eq->volume, &eq->timeint, &eq->surface})
      for (int32_t r = 0; r < v->count; r++) find_switches(p, v->data[r], uint16_t(r + 1), out);
  }
  for (uint16_t b = 1; b <= p->formulas.bcs.count; b++) {
    bc *r = bcrec(p, b);
    if (r->type == nobc) continue;
    for (int32_t i = 0; i < r->regions.count && i < r->lists[0].count; i++)
      find_switches(p, r->lists[0].data[i], uint16_t(r->regions.data[i]), out);
  }
  return out;
}

double coupling_next_switch(pde *p, const std::vector<CouplingSwitch> &switches, double told, double tnew) {
  if (switches.empty() || !(tnew > told)) return tnew;
  evalpoint pt{};
  pt.values = &p->solution;
  pt.rates = &p->udot;
  auto value = [&](const CouplingSwitch &s, double t) {
    pt.t = t, pt.region = s.region;
    return treeval_eval(p, s.tree, &pt);
  };
  // Each switch is read at a few times over the step: the first change is then narrowed
  // to the last time that still reads as the step's start does.
  const int looks = 4;
  double h = tnew - told, cut = tnew;
  for (const CouplingSwitch &s : switches) {
    double a = told, va = value(s, told), b = told;
    bool changed = false;
    for (int i = 1; i <= looks && !changed; i++) {
      b = i == looks ? tnew : told + h * i / looks;
      changed = value(s, b) != va;
      if (!changed) a = b;
    }
    if (!changed || !(a < cut)) continue;
    while (b - a > 1e-9 * h) {
      double m = 0.5 * (a + b);
      if (!(m > a && m < b)) break;
      (value(s, m) == va ? a : b) = m;
    }
    // A change at the step's very start is the last step's cut: nothing to cut here.
    if (a - told > 1e-6 * h) cut = std::min(cut, a);
  }
  return cut;
}

bool coupling_jacobians_follow_time(pde *p) {
  TRACE("coupling_jacobians_follow_time");
  for (uint16_t k = 1; k <= eqcount(p); k++) {
    equation *eq = eqn(p, k);
    for (const treevectors *v : {&eq->voljac, &eq->surfjac, &eq->timejac, &eq->uptimejac, &eq->upjac})
      if (any_reads_time(p, v)) return true;
  }
  for (uint16_t b = 1; b <= p->formulas.bcs.count; b++) {
    bc *r = bcrec(p, b);
    if (r->type == nobc) continue;
    for (const treevectors *v : {&r->perregion, &r->ratejac})
      for (uint16_t i = 1; i <= r->regions.count && i <= v->count; i++)
        for (uint16_t j = 1; j <= v->data[i - 1].count; j++)
          if (reads_time(p, v->data[i - 1].data[j - 1], uint16_t(r->regions.data[i - 1]))) return true;
  }
  return false;
}
