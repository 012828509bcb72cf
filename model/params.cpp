// params: the definition set. Records and their pointer array count in XMEM here;
// trees, lists and names count in their own modules.
#include "model/params.h"

#include <algorithm>
#include <vector>

#include "model/reclist.h"
#include "runtime/bopmem.h"
#include "runtime/debug.h"
#include "runtime/rtlib.h"

uint16_t params_debug = 0;

int params_init() {
  TRACE("params");
  return 0;
}

[[noreturn]] static void trapparam() {
  TRACE("trapparam");
  rtlib_fatal_in("trapparam", "UNDEFINED PARAM");
}

static param *get(const paramset *set, uint16_t number) {
  if (number < 1 || number > set->count) trapparam();
  return set->items[number - 1];
}

uint16_t params_new_param(paramset *set, const String *name) {
  TRACE("params_new_param_0");
  if (set->count == UINT16_MAX) trapparam();
  uint16_t n = reclist_append(set, 32, "params_new_param_0");
  param *p = set->items[n - 1];
  strings_copyto_0(&p->name, name);
  p->kind = 4;
  return set->count;
}

// The capacity a list that must reach n entries grows to: by the smallest multiple of 8.
static uint16_t grown(uint16_t capacity, uint16_t n) {
  return n <= capacity ? capacity : uint16_t(capacity + (n - capacity + 7) / 8 * 8);
}

// Stores tree at its place; true when a region or layer tree replaced another.
static bool store(param *p, uint16_t region, uint16_t layer, TreeNode *tree) {
  TreeNode **at;
  if (region == 0) {
    at = &p->global;
  } else if (layer == 0) {
    at = trees_slot(&p->byregion, region);
  } else {
    if (p->bylayer.count < layer) trees_resize_1(&p->bylayer, layer, grown(p->bylayer.capacity, layer));
    at = trees_slot(&p->bylayer.data[layer - 1], region);
  }
  bool replaced = region != 0 && *at != nullptr;
  trees_free_0(*at);
  *at = tree;
  if (region != 0) p->region = 1;
  return replaced;
}

bool params_define_param(paramset *set, uint16_t number, uint16_t region, uint16_t layer, TreeNode *tree) {
  TRACE("params_define_param_0");
  param *p = get(set, number);
  p->kind = 4;
  return store(p, region, layer, tree);
}

bool params_define_string_param(paramset *set, uint16_t number, uint16_t region, uint16_t layer,
                                const String *text) {
  TRACE("params_define_string_param_0");
  param *p = get(set, number);
  bool replaced = store(p, region, layer, nullptr);
  strings_copyto_0(&p->strvalue, text);
  p->kind = 8;
  return replaced;
}

void params_define_expanded_param(paramset *set, uint16_t number, uint16_t region, TreeNode *tree) {
  TRACE("params_define_expanded_param_0");
  param *p = get(set, number);
  TreeNode **at = region == 0 ? &p->expglobal : trees_slot(&p->expregion, region);
  trees_free_0(*at);
  *at = tree;
}

static TreeNode *entry(const treevector *v, uint16_t n) {
  return n >= 1 && n <= v->count ? v->data[n - 1] : nullptr;
}

TreeNode *params_find_param_def(paramset *set, uint16_t number, uint16_t region, uint16_t layer) {
  TRACE("params_find_param_def_0");
  param *p = get(set, number);
  TreeNode *t = p->global;
  if (p->region && entry(&p->byregion, region)) t = entry(&p->byregion, region);
  if (layer != 0 && layer <= p->bylayer.count && entry(&p->bylayer.data[layer - 1], region))
    t = entry(&p->bylayer.data[layer - 1], region);
  return t;
}

TreeNode *params_find_param_tree(paramset *set, uint16_t number, uint16_t region) {
  TRACE("params_find_param_tree_0");
  param *p = get(set, number);
  if (region != 0 && p->region) {
    TreeNode *t = region <= p->expregion.count ? entry(&p->expregion, region) : entry(&p->byregion, region);
    if (t) return t;
  }
  return p->expglobal ? p->expglobal : p->global;
}

bool params_check_definition(paramset *set, uint16_t number, uint16_t region) {
  TRACE("params_check_definition_0");
  param *p = get(set, number);
  return region == 0 || entry(&p->byregion, region) != nullptr;
}

bool params_check_layer_definition(paramset *set, uint16_t number, uint16_t region, uint16_t layer) {
  TRACE("params_check_layer_definition_0");
  param *p = get(set, number);
  if (region == 0) return true;
  return layer >= 1 && layer <= p->bylayer.count && entry(&p->bylayer.data[layer - 1], region) != nullptr;
}

bool params_param_is_global(paramset *set, uint16_t number) {
  TRACE("params_param_is_global_0");
  return number >= 1 && number <= set->count && !set->items[number - 1]->region;
}

// ---- Dependencies -----------------------------------------------------------------------------------

namespace {
struct Analysis {
  paramset *set;
  uint16_t selfnum = 0, selfregion = 0;  // the recorded self-reference
};
}  // namespace

// Direct dependencies of definition i found in tree t of region r.
static void scan(Analysis &an, uint16_t i, const TreeNode *t, uint16_t r) {
  if (!t) return;
  param *p = an.set->items[i - 1];
  if (t->opcode == op::param || t->opcode == op::stageparam) {
    if (t->index == i) {
      an.selfnum = i, an.selfregion = r;
    } else if (t->index != 0) {
      vectorn_insert_0(&p->deps, t->index);
    }
  } else if (t->opcode == op::tableval) {
    const tablelist &tl = an.set->tables;
    if (t->index >= 1 && t->index <= tl.count)
      for (uint16_t key : tl.items[t->index - 1].keys)
        if (key > 100) vectorn_insert_0(&p->deps, uint16_t(key - 100));
  }
  if (t->group == leafop || t->opcode == op::subref) return;
  for (int k = 0; k < t->arity && k < 3; k++) scan(an, i, t->child[k], r);
}

int32_t params_param_dependencies(paramset *set) {
  TRACE("params_param_dependencies_0");
  Analysis an{set};
  uint16_t n = set->count;
  // 2. Direct dependencies: the global tree, then by region and by layer when the
  // definition has region trees. Layer trees belong to a region as much as the
  // by-region trees do, so a cycle through one is found too.
  for (uint16_t i = 1; i <= n; i++) {
    param *p = set->items[i - 1];
    p->deps.count = 0;
    if (!p->global) continue;
    scan(an, i, p->global, 0);
    if (!p->region) continue;
    for (uint16_t r = 1; r <= p->byregion.count; r++) scan(an, i, p->byregion.data[r - 1], r);
    for (uint16_t l = 1; l <= p->bylayer.count; l++) {
      const treevector &v = p->bylayer.data[l - 1];
      for (uint16_t r = 1; r <= v.count; r++) scan(an, i, v.data[r - 1], r);
    }
  }
  // 3. The strongly connected groups of the dependency graph (Tarjan's walk, kept on
  // explicit stacks so that a long chain cannot exhaust the call stack), definitions
  // and their dependencies in ascending order. A group is complete only after every
  // group it depends on, so the groups come out in an order of evaluation. Each list
  // keeps the definitions named directly; one that lies on a cycle of other
  // definitions also holds its own number.
  const int32_t none = -1;
  std::vector<int32_t> index(n + 1, none), low(n + 1, 0);
  std::vector<uint16_t> stack, group;
  std::vector<char> on_stack(n + 1, 0), region_reached(n + 1, 0);
  struct Frame {
    uint16_t i;
    int32_t next;  // the next dependency to follow
  };
  std::vector<Frame> walk;
  int32_t counter = 0;
  vectorn_resize(&set->order, 0, n);
  bool cycle_found = false;
  auto valid = [&](uint16_t d) { return d >= 1 && d <= n; };
  for (uint16_t root = 1; root <= n; root++) {
    if (index[root] != none) continue;
    walk.push_back({root, 0});
    index[root] = low[root] = counter++;
    stack.push_back(root), on_stack[root] = 1;
    while (!walk.empty()) {
      Frame &f = walk.back();
      const vectorn &deps = set->items[f.i - 1]->deps;
      if (f.next < deps.count) {
        uint16_t d = deps.data[f.next++];
        if (!valid(d) || d == f.i) continue;
        if (index[d] == none) {
          index[d] = low[d] = counter++;
          stack.push_back(d), on_stack[d] = 1;
          walk.push_back({d, 0});
        } else if (on_stack[d]) {
          low[f.i] = std::min(low[f.i], index[d]);
        }
        continue;
      }
      uint16_t i = f.i;
      walk.pop_back();
      if (!walk.empty()) low[walk.back().i] = std::min(low[walk.back().i], low[i]);
      if (low[i] != index[i]) continue;
      // i heads a complete group: take it off the stack.
      group.clear();
      uint16_t m;
      do {
        m = stack.back();
        stack.pop_back(), on_stack[m] = 0;
        group.push_back(m);
      } while (m != i);
      // 4. Region dependence: the group reaches a region tree when a member has one or
      // names a definition (already complete) that reaches one.
      bool reached = false;
      for (uint16_t g : group) {
        const param *p = set->items[g - 1];
        reached = reached || p->region;
        for (int32_t k = 0; k < p->deps.count && !reached; k++)
          if (valid(p->deps.data[k]) && region_reached[p->deps.data[k]]) reached = true;
      }
      std::sort(group.begin(), group.end());
      for (uint16_t g : group) {
        region_reached[g] = reached;
        if (reached) set->items[g - 1]->region = 1;
      }
      // 5. Order: a definition on no cycle is listed; a cycle records its lowest
      // member, when no self-reference is recorded yet, and none of its members.
      if (group.size() == 1) {
        vectorn_one_more(&set->order, i);
        continue;
      }
      for (uint16_t g : group) vectorn_insert_0(&set->items[g - 1]->deps, g);
      if (!cycle_found && an.selfnum == 0) an.selfnum = group.front(), an.selfregion = 0;
      cycle_found = true;
    }
  }
  // 6.
  return an.selfnum ? (int32_t(an.selfregion) << 16) + an.selfnum : 0;
}

// ---- Freeing and listing ----------------------------------------------------------------------------

void params_free_0(param *p) {
  TRACE("params_free_0");
  if (!p) return;
  strings_free_0(&p->name);
  strings_free_0(&p->strvalue);
  p->global = trees_free_0(p->global);
  p->expglobal = trees_free_0(p->expglobal);
  vectorn_free(&p->deps);
  trees_free_1(&p->byregion, 1);
  trees_free_1(&p->expregion, 1);
  for (uint16_t l = 1; l <= p->bylayer.count; l++) {
    const treevector &v = p->bylayer.data[l - 1];
    for (uint16_t r = 1; r <= v.count; r++) {
      if (!v.data[r - 1] || !debug_file) continue;
      char title[] = "LAYERFORM[0,0]";
      title[10] = char('0' + l);
      title[12] = char('0' + r);
      trees_print_tree(debug_file, v.data[r - 1], title);
    }
  }
  trees_free_2(&p->bylayer, 1);
}

void params_free_1(paramset *set) {
  TRACE("params_free_1");
  tabledat_free(&set->tables);
  vectorn_free(&set->order);
  reclist_free(set, params_free_0);
}

void params_print_params(FILE *f, const paramset *set) {
  TRACE("params_print_params_0");
  if (!f) return;
  fprintf(f, "\n %d PARAMETERS\n", set->count);
  char title[128];
  for (int k = 0; k < set->count; k++) {
    const param *p = set->items[k];
    const char *name = p->name.text ? p->name.text : "";
    snprintf(title, sizeof title, "(GLOBAL) %s", name);
    trees_print_tree(f, p->global, title);
    for (int r = 1; r <= p->byregion.count; r++) {
      if (!p->byregion.data[r - 1]) continue;
      snprintf(title, sizeof title, "(REGION %d) %s", r, name);
      trees_print_tree(f, p->byregion.data[r - 1], title);
    }
    for (int l = 1; l <= p->bylayer.count; l++) {
      const treevector &v = p->bylayer.data[l - 1];
      for (int r = 1; r <= v.count; r++) {
        if (!v.data[r - 1]) continue;
        snprintf(title, sizeof title, "(LAYER %d)(REGION %d) %s", l, r, name);
        trees_print_tree(f, v.data[r - 1], title);
      }
    }
  }
}
