// treemods_cse: shared subexpressions, found by hashing each root's walk and linked to
// the slots of the subref list.
#include <cstdint>
#include <cstring>
#include <functional>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "model/treemods.h"
#include "model/treemods_internal.h"
#include "runtime/rtlib.h"

// ---- Common subexpressions -----------------------------------------------------------------------

// The pass walks each root's subtrees in the order a search for an earlier equal
// subtree meets them: children before their node, left to right, not into fevalop
// nodes, and of an ifthen only into its condition. Rather than searching that walk
// again for every node (quadratic in the tree's size), the walk is listed once per
// root and its nodes filed by a hash that every pair trees_compare finds equal
// shares; a node is then compared only with the earlier nodes of its hash.

namespace {

uint64_t mix(uint64_t h, uint64_t v) {
  h ^= v + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2);
  return h;
}

struct CommonPass {
  std::unordered_map<const TreeNode *, uint64_t> hashes;
  std::unordered_set<const TreeNode *> freed;  // released by an earlier subref
  uint64_t unique = 0;                         // for nodes that equal none but themselves

  // Equal trees (by trees_compare) get equal hashes: commutative operands combine in
  // either order, a subref hashes as its target, and a leaf by what its comparison reads.
  uint64_t hash(const TreeNode *n) {
    if (!n) return 0x51ed27;
    if (n->opcode == op::subref) return n->target ? hash(n->target) : 0x5b7ef;
    auto found = hashes.find(n);
    if (found != hashes.end()) return found->second;
    uint64_t h = mix(0x1234567, uint64_t(n->opcode));
    auto ordered = [&](int count) {
      for (int k = 0; k < count && k < 3; k++) h = mix(h, hash(n->child[k]));
    };
    auto either = [&]() {
      uint64_t a = hash(n->child[0]), b = hash(n->child[1]);
      h = mix(h, a + b), h = mix(h, a ^ b);
    };
    switch (n->group) {
      case leafop:
        switch (n->opcode) {
          case op::undef: case op::realzero: case op::xcoord: case op::ycoord: case op::zcoord: case op::tcoord:
          case op::stageval: case op::voljac: case op::lambda: case op::deltat: case op::treestring:
            break;
          case op::realval: h = mix(h, n->value == 0 ? 0 : std::hash<double>{}(n->value)); break;
          case op::varble: case op::vardot: case op::eigvec: case op::param: case op::stageparam: case op::febasis:
          case op::tableval: case op::fitfun: case op::savefun: case op::evalop: case op::xferval:
            h = mix(h, n->index);
            for (uint8_t d : n->deriv) h = mix(h, d);
            break;
          case op::partfun: case op::jelem: h = mix(h, ++unique); break;
          default: h = mix(h, n->index);
        }
        break;
      case unop:
        if (n->opcode == op::randomf) h = mix(h, ++unique);
        if (n->opcode == op::intpower || n->opcode == op::besjf || n->opcode == op::besyf || n->opcode == op::arrayref)
          h = mix(h, n->index);
        ordered(1);
        break;
      case binop:
        if (trees_optable[n->opcode].commutative) either();
        else ordered(2);
        break;
      case integrop: h = mix(h, n->deriv[0]), ordered(1); break;
      case derivop:
        for (uint8_t d : n->deriv) h = mix(h, d);
        ordered(1);
        break;
      case vectorop:
        h = mix(h, n->arity);
        if (n->opcode == op::vdot) either();
        else ordered(n->arity);
        break;
      case weirdop:
        if (n->opcode == op::ifthen || n->opcode == op::pointvec || n->opcode == op::pointval || n->opcode == op::sumop)
          ordered(3);
        else if (n->opcode == op::fparam) h = mix(mix(h, n->index), n->arity), ordered(n->arity);
        else h = mix(h, ++unique);
        break;
      default: h = mix(h, ++unique);
    }
    hashes[n] = h;
    return h;
  }

  // One root's walk: each node's position, and the positions of each hash in order.
  struct Walk {
    std::unordered_map<const TreeNode *, size_t> position;
    std::unordered_map<uint64_t, std::vector<std::pair<size_t, TreeNode *>>> byhash;
  };

  void list(Walk &w, TreeNode *t) {
    if (!t) return;
    if (!is(t, op::fevalop)) {
      if (is(t, op::ifthen)) list(w, t->child[2]);
      else
        for (int k = 0; k < children(t); k++) list(w, t->child[k]);
    }
    size_t at = w.position.size();
    w.position[t] = at;
    w.byhash[hash(t)].push_back({at, t});
  }

  // The first node of the walk before node (all of it when node is not in the walk)
  // that equals node and is still in the tree.
  TreeNode *earlier(Walk &w, const TreeNode *node) {
    auto at = w.position.find(node);
    size_t end = at == w.position.end() ? SIZE_MAX : at->second;
    auto bucket = w.byhash.find(hash(node));
    if (bucket == w.byhash.end()) return nullptr;
    for (auto [k, t] : bucket->second) {
      if (k >= end) break;
      if (!freed.count(t) && trees_compare(t, node)) return t;
    }
    return nullptr;
  }

  void forget(const TreeNode *t) {
    for (int k = 0; k < children(t); k++)
      if (t->child[k]) freed.insert(t->child[k]), forget(t->child[k]);
  }

  void find(Walk &w, TreeNode *node) {
    if (!node) return;
    for (int k = 0; k < children(node); k++) {
      bool own = (is(node, op::ifthen) && k < 2) || (is(node, op::fevalop) && k == 0) || (is(node, op::sumop) && k == 2);
      if (own) {
        Walk inner;
        list(inner, node->child[k]);
        find(inner, node->child[k]);
      } else {
        find(w, node->child[k]);
      }
    }
    if (is_value(node) || is(node, op::subref)) return;
    TreeNode *copy = earlier(w, node);
    if (!copy) return;
    forget(node);
    trees_free_leaves(node);
    trees_modify(node, op::subref);
    node->target = copy;
    node->index = 0;
    memset(node->deriv, 0, sizeof node->deriv);
  }
};

}  // namespace

void treemods_find_common(TreeNode *root, TreeNode *node) {
  if (!node) return;
  CommonPass pass;
  CommonPass::Walk w;
  pass.list(w, root);
  pass.find(w, node);
}

// The position of the node in the slot list, entered when new.
static uint16_t enlist_node(treevector *slots, TreeNode *node, bool *added) {
  for (uint16_t k = 1; k <= slots->count; k++)
    if (slots->data[k - 1] == node) return *added = false, k;
  *added = true;
  return trees_one_more(slots, node);
}

void treemods_link_common(TreeNode *tree, treevector *slots) {
  if (!tree) return;
  for (int k = 0; k < children(tree); k++) treemods_link_common(tree->child[k], slots);
  if (!is(tree, op::subref)) return;
  TreeNode *t = tree->target;
  if (!t) rtlib_fatal_in("treemods_link_common_0", "INVALID SUBREF");
  bool added;
  tree->index = enlist_node(slots, t, &added);
  if (!added) return;
  // The target's content moves into a new node under the target, now a subdef.
  TreeNode *content = trees_new_0(t->opcode);
  *content = *t;
  memset(t->child, 0, sizeof t->child);
  trees_modify(t, op::subdef);
  t->child[0] = content;
  t->index = tree->index;
  memset(t->deriv, 0, sizeof t->deriv);
}
