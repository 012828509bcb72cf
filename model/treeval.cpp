// treeval: evaluation of reader trees: definitions are substituted into a copy, the
// vector forms are written as scalar ones, and the copy goes to the scalar evaluator.
#include "model/treeval.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "control/pdedat.h"
#include "model/simptree.h"
#include "runtime/rtlib.h"

uint16_t treeval_region = 0;
uint8_t treeval_debug = 0;

int treeval_init() {
  TRACE("treeval");
  return 0;
}

// The definition a param or stageparam leaf stands for: a staged name's values are
// consecutive definitions from its own, one per stage.
static const TreeNode *definition(pde *p, const TreeNode *leaf) {
  paramset *set = &p->formulas.definitions;
  uint16_t k = leaf->index;
  if (leaf->opcode == op::stageparam) k = uint16_t(k + std::max<uint16_t>(p->stage, 1) - 1);
  if (k < 1 || k > set->count) rtlib_fatal_in("treeval_eval", "UNDEFINED PARAM");
  return params_find_param_tree(set, k, treeval_region);
}

static TreeNode *scalar(pde *p, const TreeNode *n, int depth);
// Nodes copied by the current evaluation, and their limit.
static uint32_t copied = 0;
static const uint32_t copy_budget = 1000000;

// sqrt(a*a + b*b [+ c*c]) of a VECTOR's components.
static TreeNode *length(pde *p, const TreeNode *v, int depth) {
  TreeNode *sum = nullptr;
  for (int k = 0; k < v->arity; k++) {
    TreeNode *sq = trees_new_0(op::mulop);
    sq->child[0] = scalar(p, v->child[k], depth);
    sq->child[1] = trees_copy(sq->child[0]);
    if (!sum) {
      sum = sq;
    } else {
      TreeNode *add = trees_new_0(op::addop);
      add->child[0] = sum;
      add->child[1] = sq;
      sum = add;
    }
  }
  TreeNode *root = trees_new_0(op::sqrt);
  root->child[0] = sum ? sum : trees_new_real_0(0);
  return root;
}

// A copy of n with definitions substituted and vector lengths written out.
static TreeNode *scalar(pde *p, const TreeNode *n, int depth) {
  // A definition that refers to itself, or copies beyond the budget, leave an
  // undefined leaf, which the evaluator refuses.
  if (++copied > copy_budget || depth >= 256) return trees_new_0(op::undef);
  if (n->opcode == op::param || n->opcode == op::stageparam) {
    const TreeNode *d = definition(p, n);
    return d ? scalar(p, d, depth + 1) : trees_new_0(op::undef);
  }
  if (n->opcode == op::vlength && n->arity == 1 && n->child[0]->opcode == op::vector)
    return length(p, n->child[0], depth);
  if (n->group == leafop || n->opcode == op::subref) return trees_copy(n);
  TreeNode *c = trees_new_0(n->opcode);
  trees_node_copy(c, n);
  c->name = n->name;
  for (int k = 0; k < n->arity; k++) c->child[k] = scalar(p, n->child[k], depth);
  return c;
}

// 0 when the expanded tree holds a leaf other than a constant or a coordinate, -1
// when some quotient divides a nonzero value by zero, else 1. Each quotient's
// operands are checked before they are evaluated.
static int checked(const TreeNode *n, const evalpoint *point) {
  if (n->group == leafop) {
    switch (n->opcode) {
      case op::realval: case op::realzero: case op::xcoord: case op::ycoord: case op::zcoord: case op::tcoord:
        return 1;
      default: return 0;
    }
  }
  // The operators the scalar evaluator takes; any other is not a constant here.
  static const int32_t taken[] = {
      op::negateop, op::intpower, op::square, op::sqrt, op::absf, op::acosf, op::asinf, op::atanf, op::cosf,
      op::coshf, op::sinf, op::sinhf, op::tanf, op::tanhf, op::besjf, op::besyf, op::erfcf, op::erff, op::expf,
      op::log10, op::logf, op::recipf, op::signf, op::ustepf, op::addop, op::subop, op::mulop, op::divop,
      op::modf, op::powerop, op::atan2f, op::minf, op::maxf, op::urampf, op::upulsef, op::ltnop, op::leqop,
      op::equop, op::neqop, op::geqop, op::gtrop, op::logor, op::logand, op::ifthen};
  if (std::find(std::begin(taken), std::end(taken), n->opcode) == std::end(taken) || n->valuetag != vtag::scalar)
    return 0;
  for (int k = 0; k < n->arity; k++)
    if (int c = checked(n->child[k], point); c != 1) return c;
  if (n->opcode == op::divop) {
    double a = simptree_simpeval(n->child[0], point), b = simptree_simpeval(n->child[1], point);
    if (a != 0 && !(std::fabs(b) >= std::fabs(a) * 1e-300)) return -1;
  }
  return 1;
}

// The expanded copy of a tree, released with the holder.
struct Expanded {
  TreeNode *t;
  Expanded(pde *p, const TreeNode *tree) : t((copied = 0, scalar(p, tree, 0))) {}
  ~Expanded() { trees_free_0(t); }
};

int treeval_try_eval(pde *p, const TreeNode *tree, const evalpoint *point, double *value) {
  TRACE("treeval_try_eval");
  *value = 0;
  if (!tree) return 1;
  Expanded c(p, tree);
  evalpoint origin = {};
  const evalpoint *at = point ? point : &origin;
  int ok = checked(c.t, at);
  if (ok == 1) *value = simptree_simpeval(c.t, at);
  return ok;
}

double treeval_eval(pde *p, const TreeNode *tree, const evalpoint *point) {
  TRACE("treeval_eval");
  if (!tree) return 0;
  Expanded c(p, tree);
  return simptree_simpeval(c.t, point);
}

void treeval_eval_vec(pde *p, double result[3], const TreeNode *tree, const evalpoint *point) {
  TRACE("treeval_eval_vec");
  result[0] = result[1] = result[2] = 0;
  if (tree && tree->opcode == op::vector) {
    for (int k = 0; k < tree->arity && k < 3; k++) result[k] = treeval_eval(p, tree->child[k], point);
  } else {
    result[0] = treeval_eval(p, tree, point);
  }
}
