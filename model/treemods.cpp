// treemods: definition substitution and operator searches.
#include "model/treemods.h"

#include <utility>

#include "control/pdedat.h"
#include "model/params.h"
#include "model/treeclas.h"
#include "runtime/rtlib.h"

uint16_t treemods_debug;

int treemods_init() {
  TRACE("treemods");
  return 0;
}

// The argument frames of the user-function calls being expanded, innermost on top.
// A frame holds the call's arguments already substituted in the caller's context, so
// that an argument leaf of the function needs only a copy.
enum { MAX_FRAMES = 10 };
struct argframe {
  uint16_t function;  // the function's definition number
  uint16_t count;     // arguments in use
  TreeNode *args[3];  // the substituted argument trees
};
static argframe frames[MAX_FRAMES];
static uint16_t depth;

// The substituted arguments of one call, freed when the expansion ends or is abandoned.
struct ArgTrees {
  TreeNode *t[3] = {};
  ~ArgTrees() {
    for (TreeNode *a : t) trees_free_0(a);
  }
};

// Pushes a frame for the life of the expansion; an error that abandons the
// expansion pops it on the way out.
struct FramePush {
  FramePush(uint16_t function, uint16_t count, TreeNode *const *args) {
    argframe &f = frames[depth++];
    f.function = function;
    f.count = count;
    for (int k = 0; k < count; k++) f.args[k] = args[k];
  }
  ~FramePush() { depth--; }
};

static TreeNode *copy_params(pde *p, TreeNode *n, uint16_t region, uint8_t mark);

// A copy of definition k's tree for the region, substituted; null without a tree.
static TreeNode *definition(pde *p, uint16_t k, uint16_t region, uint8_t mark) {
  paramset *defs = &p->formulas.definitions;
  TreeNode *def = params_find_param_tree(defs, k, region);
  if (!def) return nullptr;
  if (mark) defs->items[k - 1]->used = 1;
  // The copy is released when an error abandons its substitution.
  struct Held {
    TreeNode *t;
    ~Held() { trees_free_0(t); }
  } held{trees_copy(def)};
  held.t = copy_params(p, held.t, region, mark);
  return std::exchange(held.t, nullptr);
}

static TreeNode *replace(TreeNode *n, TreeNode *by) {
  if (!by) return n;
  trees_free_0(n);
  return by;
}

static TreeNode *argument(TreeNode *n) {
  uint16_t f = n->index / 4, k = n->index % 4;
  for (int i = depth - 1; i >= 0; i--) {
    if (frames[i].function != f) continue;
    if (k < 1 || k > frames[i].count) return n;
    return replace(n, trees_copy(frames[i].args[k - 1]));
  }
  return n;
}

static TreeNode *call(pde *p, TreeNode *n, uint16_t region, uint8_t mark) {
  TreeNode *def = params_find_param_tree(&p->formulas.definitions, n->index, region);
  if (!def) return n;
  if (depth >= MAX_FRAMES) treeclas_parse_error(p, n, "Recursive Evaluation");
  ArgTrees args;
  uint16_t count = n->arity > 3 ? 3 : n->arity;
  for (int k = 0; k < count; k++) args.t[k] = copy_params(p, trees_copy(n->child[k]), region, mark);
  TreeNode *body;
  {
    FramePush frame(n->index, count, args.t);
    body = definition(p, n->index, region, mark);
  }
  return replace(n, body);
}

static TreeNode *copy_params(pde *p, TreeNode *n, uint16_t region, uint8_t mark) {
  if (!n) return n;
  int to = 0;  // the children to substitute: 1..to
  switch (n->group) {
    case leafop:
      switch (n->opcode) {
        case op::param: return replace(n, definition(p, n->index, region, mark));
        case op::stageparam: {
          uint16_t k = n->index;
          if (p->stages > 0 && p->stage > 1) k = uint16_t(k + p->stage - 1);
          return replace(n, definition(p, k, region, mark));
        }
        case op::fargop: return argument(n);
        default: return n;
      }
    case unop: case integrop: case derivop: to = 1; break;
    case binop: to = 2; break;
    case vectorop:
      if (n->opcode == op::vector) to = n->arity;
      else if (n->opcode == op::vdot || n->opcode == op::vcross) to = 2;
      else if (n->opcode != op::nullvector) to = 1;
      break;
    case weirdop:
      switch (n->opcode) {
        case op::ifthen: case op::pointval: case op::sumop: to = 3; break;
        case op::fparam: return call(p, n, region, mark);
        case op::fevalop: break;
        default: treeclas_trapop(n);
      }
      break;
    default: treeclas_trapop(n);
  }
  for (int k = 0; k < to; k++) n->child[k] = copy_params(p, n->child[k], region, mark);
  return n;
}

TreeNode *treemods_copy_params(pde *p, TreeNode *tree, uint16_t region, uint8_t mark) {
  TRACE("treemods_copy_params");
  return copy_params(p, tree, region, mark);
}

uint8_t treemods_find_op(const TreeNode *tree, int32_t opcode) {
  if (!tree) return 0;
  if (tree->opcode == opcode) return 1;
  if (tree->group == leafop || tree->opcode == op::subref) return 0;
  for (int k = 0; k < tree->arity && k < 3; k++)
    if (treemods_find_op(tree->child[k], opcode)) return 1;
  return 0;
}

// ---- Seam: the reduction to a linear form, until the weak-form rewriting lands -------
// Weak so that tests can supply the reduction; it adds nothing.
__attribute__((weak)) void treemods_planarize(double *, double *, double *, double *, TreeNode *, double) {}
