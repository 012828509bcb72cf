// treeclas: classification of expression trees.
#include "model/treeclas.h"

#include <initializer_list>

#include "model/fits.h"
#include "model/formulas.h"
#include "model/params.h"
#include "model/model_view.h"
#include "runtime/debug.h"
#include "runtime/owner.h"
#include "runtime/report.h"
#include "runtime/rtlib.h"

uint16_t treeclas_debug;

int treeclas_init() {
  TRACE("treeclas");
  return 0;
}

void treeclas_parse_error(pde *p, TreeNode *node, const char *text) {
  Owner<String, strings_free_0> s;
  strings_copyto_1(s.get(), text);
  report_parse_err_1(p, node, s.get());
}

void treeclas_trapop(TreeNode *node) {
  TRACE("treeclas_trapop");
  Owner<String, strings_free_0> s, name;
  strings_copyto_1(s.get(), "ILLEGAL OPERATOR: ");
  trees_treename(name.get(), node);
  strings_addto_0(s.get(), name.get());
  report_parse_err_1(report_current, node, s.get());
}

// The node's tree to the debug log under the message, then the parse error.
[[noreturn]] static void trap_with_tree(TreeNode *node, const char *text) {
  if (debug_file) trees_print_tree(debug_file, node, text);
  treeclas_parse_error(report_current, node, text);
}
[[noreturn]] static void trapscalar(TreeNode *node) {
  TRACE("trapscalar");
  trap_with_tree(node, "RESULT IS NOT SCALAR");
}
[[noreturn]] static void traptag(TreeNode *node) {
  TRACE("traptag");
  trap_with_tree(node, "TYPE CONFLICT");
}

// The definition tree of a param or stageparam leaf (stage parameters are stored per
// stage after the first), or of the user function of an fparam node.
static TreeNode *definition(pde *p, const TreeNode *n, uint16_t region) {
  const model_view v = model_view_of(p);
  uint16_t k = n->index;
  if (n->opcode == op::stageparam && v.stages > 0 && v.stage > 1) k = uint16_t(k + v.stage - 1);
  return params_find_param_tree(&v.formulas->definitions, k, region);
}

// ---- Right-hand-side class ---------------------------------------------------------------------------

int32_t treeclas_merge_rhs(int32_t opcode, int32_t a, int32_t b) {
  int32_t m = a > b ? a : b;
  if (opcode != op::mulop && m == lamdex && (a == varex || b == varex)) return varex;
  return m;
}

static int32_t tableclass(pde *p, uint16_t key, uint16_t region) {
  TRACE("tableclass");
  const model_view v = model_view_of(p);
  if (key == 0) return constex;
  if (key <= 4) return coordex;
  if (key <= 100) return varex;
  TreeNode *def = params_find_param_tree(&v.formulas->definitions, uint16_t(key - 100), region);
  if (!def) return constex;
  if (def->rhsclass == no_rhsclass) treeclas_classify_rhs(p, def, region);
  return def->rhsclass;
}

static int32_t rhs(pde *p, TreeNode *n, uint16_t region);

// The rhs class of a fit's tree for the region, classified when unset; at least coordex.
static int32_t fitclass(pde *p, TreeNode *n, uint16_t region) {
  const model_view v = model_view_of(p);
  uint16_t layer = n->opcode == op::evalop ? n->deriv[1] : 0;
  TreeNode *t = fits_find_fit_tree(&v.formulas->fits, n->index, region, layer);
  int32_t c = t ? (t->rhsclass == no_rhsclass ? rhs(p, t, region) : t->rhsclass) : constex;
  return c > coordex ? c : coordex;
}

static int32_t rhs_leaf(pde *p, TreeNode *n, uint16_t region) {
  const model_view v = model_view_of(p);
  switch (n->opcode) {
    case op::realzero: case op::realval: case op::stageval: case op::fargop: case op::treestring:
    case op::sumvar:
      return constex;
    case op::xcoord: case op::ycoord: case op::zcoord: case op::tcoord: case op::voljac: case op::febasis:
    case op::xferval: case op::deltat:
      return coordex;
    case op::undef: case op::varble: case op::vardot: case op::eigvec: return varex;
    case op::lambda: return lamdex;
    case op::param:
    case op::stageparam: {
      TreeNode *def = definition(p, n, region);
      if (!def) return constex;
      return def->rhsclass == no_rhsclass ? rhs(p, def, region) : def->rhsclass;
    }
    case op::tableval: {
      const tablelist &tl = v.formulas->definitions.tables;
      if (n->index < 1 || n->index > tl.count) return coordex;
      bool var = false, coord = false;
      for (uint16_t key : tl.items[n->index - 1].keys) {
        int32_t k = tableclass(p, key, region);
        var = var || k == varex;
        coord = coord || k == coordex;
      }
      return var ? varex : coord ? coordex : constex;
    }
    case op::fitfun: case op::savefun: case op::globalmin: case op::globalmax: case op::volint:
    case op::surfint: case op::bdryint: case op::minspot: case op::maxspot: case op::jelem:
    case op::evalop:
      return fitclass(p, n, region);
    default: treeclas_trapop(n);
  }
}

static int32_t merge_children(pde *p, TreeNode *n, uint16_t region, std::initializer_list<int> order) {
  int32_t c = no_rhsclass;
  for (int k : order)
    if (k < n->arity && n->child[k]) c = treeclas_merge_rhs(n->opcode, c, rhs(p, n->child[k], region));
  return c;
}

static int32_t rhs(pde *p, TreeNode *n, uint16_t region) {
  int32_t c;
  switch (n->group) {
    case leafop: c = rhs_leaf(p, n, region); break;
    case unop:
    case derivop: c = rhs(p, n->child[0], region); break;
    case binop: c = merge_children(p, n, region, {0, 1}); break;
    case integrop: c = rhs(p, n->child[0], region), c = c > coordex ? c : coordex; break;
    case complexop:
      if (n->opcode == op::complex0) c = constex;
      else if (n->opcode == op::complexf) c = merge_children(p, n, region, {0, 1});
      else c = rhs(p, n->child[0], region);
      break;
    case vectorop: {
      TreeNode *a = n->child[0];
      if (n->opcode == op::nullvector) c = constex;
      else if (n->opcode == op::vxcomp) c = rhs(p, a, region);
      else if ((n->opcode == op::vycomp || n->opcode == op::vzcomp) && a && a->opcode == op::vector) {
        int k = n->opcode == op::vycomp ? 1 : 2;
        if (a->arity <= k) treeclas_parse_error(p, a, k == 1 ? "Illegal Y-Component" : "Illegal Z-Component");
        c = a->rhsclass = rhs(p, a->child[k], region);
      } else if (n->opcode == op::vycomp || n->opcode == op::vzcomp) c = rhs(p, a, region);
      else c = merge_children(p, n, region, {0, 1, 2});
      break;
    }
    case weirdop:
      switch (n->opcode) {
        case op::ifthen: case op::sumop: c = merge_children(p, n, region, {2, 0, 1}); break;
        case op::pointval: c = coordex; break;
        case op::fparam: {
          TreeNode *def = definition(p, n, region);
          c = def ? (def->rhsclass == no_rhsclass ? rhs(p, def, region) : def->rhsclass) : constex;
          for (int k = 0; k < n->arity; k++)
            if (n->child[k]) c = treeclas_merge_rhs(n->opcode, c, rhs(p, n->child[k], region));
          break;
        }
        case op::fevalop: case op::subdef: c = rhs(p, n->child[0], region); break;
        case op::subref: c = n->target ? rhs(p, n->target, region) : constex; break;
        default: treeclas_trapop(n);
      }
      break;
    default: treeclas_trapop(n);
  }
  return n->rhsclass = c;
}

void treeclas_classify_rhs(pde *p, TreeNode *tree, uint16_t region) {
  TRACE("treeclas_classify_rhs");
  if (tree) rhs(p, tree, region);
}

// ---- Time class ---------------------------------------------------------------------------------

static int32_t time_of(pde *p, TreeNode *n, uint16_t region);

// A leaf that reads a rate: a variable with a time derivative among its selectors (as
// carrying out a definition's or a derivative's dt leaves it), or a rate itself.
static bool rate_leaf(const TreeNode *n) {
  if (n->opcode == op::vardot) return true;
  if (n->opcode != op::varble && n->opcode != op::eigvec) return false;
  return n->deriv[0] == 4 || n->deriv[1] == 4 || n->deriv[2] == 4;
}

static int32_t classmerge_time(pde *p, TreeNode *n, uint16_t region, std::initializer_list<int> order) {
  int32_t c = spacex;
  for (int k : order)
    if (k < n->arity && n->child[k] && time_of(p, n->child[k], region) == timex) c = timex;
  return c;
}

static int32_t time_of(pde *p, TreeNode *n, uint16_t region) {
  int32_t c;
  switch (n->group) {
    case leafop: c = n->opcode == op::lambda || rate_leaf(n) ? timex : spacex; break;
    case unop: c = time_of(p, n->child[0], region); break;
    case binop: c = classmerge_time(p, n, region, {0, 1}); break;
    case derivop:
      c = time_of(p, n->child[0], region);
      if (n->deriv[0] == 4) c = timex;
      break;
    case complexop:
      if (n->opcode == op::complex0) c = spacex;
      else if (n->opcode == op::complexf) c = classmerge_time(p, n, region, {0, 1});
      else c = time_of(p, n->child[0], region);
      break;
    case vectorop: c = classmerge_time(p, n, region, {0, 1, 2}); break;
    case weirdop:
      switch (n->opcode) {
        case op::ifthen: c = classmerge_time(p, n, region, {0, 1}); break;
        case op::sumop: c = classmerge_time(p, n, region, {0, 1, 2}); break;
        case op::fparam: {
          TreeNode *def = definition(p, n, region);
          c = def ? (def->timeclass == no_timeclass ? time_of(p, def, region) : def->timeclass) : spacex;
          break;
        }
        case op::pointval: case op::fevalop: c = spacex; break;
        default: treeclas_trapop(n);
      }
      break;
    default: treeclas_trapop(n);
  }
  return n->timeclass = c;
}

void treeclas_classify_time(pde *p, TreeNode *tree, uint16_t region) {
  TRACE("treeclas_classify_time");
  if (tree) time_of(p, tree, region);
}

// ---- Order class --------------------------------------------------------------------------------

static int32_t order_of(pde *p, TreeNode *n, uint16_t region);

static int32_t classmerge_order(int32_t a, int32_t b) { return a > b ? a : b; }

// The number of coordinate selectors of a leaf: a time derivative adds no spatial order.
static int32_t selectors(const TreeNode *n) {
  int32_t k = 0;
  for (int i = 0; i < 3; i++) k += n->deriv[i] >= 1 && n->deriv[i] <= 3;
  return k;
}

static int32_t order_of(pde *p, TreeNode *n, uint16_t region) {
  int32_t c = order0;
  switch (n->group) {
    case leafop:
      switch (n->opcode) {
        case op::varble: case op::vardot: case op::eigvec: case op::param: case op::stageparam:
          c = order0 + selectors(n);
          break;
        default: break;
      }
      break;
    case unop: c = order_of(p, n->child[0], region); break;
    case binop: c = classmerge_order(order_of(p, n->child[0], region), order_of(p, n->child[1], region)); break;
    case derivop: {
      TreeNode *a = n->child[0];
      c = order_of(p, a, region);
      // A derivative's operand built since the last classification (a product the volume
      // element was distributed into) takes its class here: whether it reads the unknowns
      // decides whether the derivative raises the order.
      if (a->rhsclass == no_rhsclass) rhs(p, a, region);
      if (a->rhsclass == no_rhsclass) treeclas_parse_error(p, n, "UNCLASSIFIABLE EXPRESSION");
      if (a->rhsclass == varex) {
        c += n->opcode == op::deriv ? selectors(n) : n->deriv[2] ? 3 : (n->deriv[1] ? 2 : 1);
        if (c > order3) c = order3;
      }
      break;
    }
    case vectorop: {
      int32_t first = no_orderclass;
      for (int k = 0; k < n->arity; k++) {
        if (!n->child[k]) continue;
        int32_t o = order_of(p, n->child[k], region);
        if (first == no_orderclass) first = o;
        else if (o != first) treeclas_parse_error(p, n, "UNBALANCED ORDER");
      }
      return n->orderclass;
    }
    case weirdop:
      switch (n->opcode) {
        case op::ifthen:
          c = order0;
          for (int k : {2, 0, 1})
            if (n->child[k]) c = classmerge_order(c, order_of(p, n->child[k], region));
          break;
        case op::fparam: {
          TreeNode *def = definition(p, n, region);
          c = def ? (def->orderclass == no_orderclass ? order_of(p, def, region) : def->orderclass) : order0;
          break;
        }
        case op::sumop: c = order_of(p, n->child[2], region); break;
        case op::fevalop: c = order0; break;
        default: treeclas_trapop(n);
      }
      break;
    default: treeclas_trapop(n);
  }
  return n->orderclass = c;
}

void treeclas_classify_order(pde *p, TreeNode *tree, uint16_t region) {
  TRACE("treeclas_classify_order");
  if (tree) order_of(p, tree, region);
}

// ---- Value kind ---------------------------------------------------------------------------------

int32_t treeclas_value_kind(int32_t opcode, int32_t a, int32_t b) {
  enum : int32_t { s = vtag::scalar, v = vtag::vector, c = vtag::complex, cv = vtag::cvector, bad = vtag::badtag };
  static const int32_t sums[4][4] = {{s, bad, c, bad}, {bad, v, bad, cv}, {c, bad, c, bad}, {bad, cv, bad, cv}};
  static const int32_t prods[4][4] = {{s, v, c, cv}, {v, bad, bad, bad}, {c, bad, c, cv}, {cv, bad, cv, bad}};
  static const int32_t quots[4][4] = {{s, bad, c, bad}, {v, bad, cv, bad}, {c, bad, c, bad}, {cv, bad, cv, bad}};
  if (a < s || a > cv || b < s || b > cv) return bad;
  switch (opcode) {
    case op::addop: case op::subop: return sums[a][b];
    case op::mulop: return prods[a][b];
    case op::divop: return quots[a][b];
    case op::complexf:
      if (a == s && b == s) return c;
      if (a == v && (b == s || b == v)) return cv;
      return bad;
    default: return bad;
  }
}

static int32_t value_of(pde *p, TreeNode *n, uint16_t region, int32_t basis);

static int32_t scalar_operand(pde *p, TreeNode *n, int k, uint16_t region, int32_t basis) {
  if (value_of(p, n->child[k], region, basis) != vtag::scalar) trapscalar(n);
  return vtag::scalar;
}

static int32_t value_of(pde *p, TreeNode *n, uint16_t region, int32_t basis) {
  const model_view v = model_view_of(p);
  if (!n) return vtag::scalar;
  int32_t c = vtag::scalar;
  TreeNode *a = n->child[0];
  switch (n->group) {
    case leafop:
      if (n->opcode == op::param || n->opcode == op::stageparam) {
        TreeNode *def = definition(p, n, region);
        c = def ? def->valuetag : vtag::scalar;
      } else if (n->opcode == op::febasis) {
        c = basis;
      }
      break;
    case unop:
      c = value_of(p, a, region, basis);
      if (c == vtag::scalar || n->opcode == op::negateop) break;
      if (n->opcode == op::square) {
        if (c == vtag::vector) c = vtag::scalar;
        break;
      }
      trapscalar(n);
    case binop:
      if (n->opcode <= op::divop) {
        c = treeclas_value_kind(n->opcode, value_of(p, a, region, basis), value_of(p, n->child[1], region, basis));
        if (c == vtag::badtag) traptag(n);
      } else {
        scalar_operand(p, n, 0, region, basis);
        scalar_operand(p, n, 1, region, basis);
      }
      break;
    case integrop: scalar_operand(p, n, 0, region, basis); break;
    case derivop: {
      int32_t k = value_of(p, a, region, basis);
      switch (n->opcode) {
        case op::vdiv:
          if (k != vtag::vector) treeclas_trapop(n);
          break;
        case op::grad:
          if (k != vtag::scalar) treeclas_trapop(n);
          c = vtag::vector;
          break;
        case op::vcurl:
        case op::scurl: c = k == vtag::vector && v.dimension != 3 ? vtag::scalar : vtag::vector; break;
        default: c = k;
      }
      break;
    }
    case complexop:
      switch (n->opcode) {
        case op::complex0: c = vtag::complex; break;
        case op::complexf:
          c = treeclas_value_kind(n->opcode, value_of(p, a, region, basis), value_of(p, n->child[1], region, basis));
          if (c == vtag::badtag) traptag(n);
          break;
        default:
          if (value_of(p, a, region, basis) != vtag::complex) treeclas_trapop(n);
          c = n->opcode == op::cexpf ? vtag::complex : vtag::scalar;
      }
      break;
    case vectorop:
      switch (n->opcode) {
        case op::nullvector: c = vtag::vector; break;
        case op::vector:
          for (int k = 0; k < n->arity; k++) value_of(p, n->child[k], region, basis);
          c = vtag::vector;
          break;
        case op::vdot:
        case op::vcross: {
          int32_t x = value_of(p, a, region, basis), y = value_of(p, n->child[1], region, basis);
          bool zero = (a && a->opcode == op::realzero) || (n->child[1] && n->child[1]->opcode == op::realzero);
          if (!zero && (x != vtag::vector || y != vtag::vector)) treeclas_trapop(n);
          break;
        }
        default: value_of(p, a, region, basis);
      }
      break;
    case weirdop:
      switch (n->opcode) {
        case op::ifthen: {
          scalar_operand(p, n, 2, region, basis);
          c = value_of(p, a, region, basis);
          if (value_of(p, n->child[1], region, basis) != c) traptag(n);
          break;
        }
        case op::sumop: scalar_operand(p, n, 2, region, basis); break;
        case op::fevalop: scalar_operand(p, n, 0, region, basis); break;
        case op::fparam: {
          TreeNode *def = definition(p, n, region);
          c = def ? value_of(p, def, region, basis) : vtag::scalar;
          break;
        }
        case op::pointval: break;
        // The shared subexpressions of a finished tree keep the kind of what they share.
        case op::subdef: c = value_of(p, a, region, basis); break;
        case op::subref: c = n->target ? n->target->valuetag : vtag::scalar; break;
        default: treeclas_trapop(n);
      }
      break;
    default: treeclas_trapop(n);
  }
  return n->valuetag = c;
}

void treeclas_classify_value(pde *p, TreeNode *tree, uint16_t region, int32_t basis) {
  TRACE("treeclas_classify_value");
  if (tree) value_of(p, tree, region, basis);
}
