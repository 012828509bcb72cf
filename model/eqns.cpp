// eqns: equation records and lists.
#include "model/eqns.h"

#include <initializer_list>

#include "model/reclist.h"

uint16_t eqns_debug = 0;

int eqns_init() {
  TRACE("eqns");
  return 0;
}

uint16_t eqns_new_equation(eqnlist *list) {
  TRACE("eqns_new_equation_0");
  return reclist_append(list, 8, "eqns_new_equation_0");
}

static equation *get(const eqnlist *list, uint16_t number, const char *where) {
  if (number < 1 || number > list->count) rtlib_fatal_in(where, "UNDEFINED EQUATION");
  return list->items[number - 1];
}

void eqns_define_equation_0(eqnlist *list, uint16_t number, TreeNode *tree) {
  TRACE("eqns_define_equation_0");
  eqns_define_equation_1(list, number, tree, nullptr);
}

void eqns_define_equation_1(eqnlist *list, uint16_t number, TreeNode *tree, TreeNode *second) {
  TRACE("eqns_define_equation_1");
  equation *e = get(list, number, "eqns_define_equation_1");
  // Both trees are owned: an earlier second tree is freed too, not dropped.
  if (e->second != second && e->second != tree) trees_free_0(e->second);
  if (e->tree != tree && e->tree != second) trees_free_0(e->tree);
  e->tree = tree;
  e->second = second;
}

TreeNode *eqns_find_equation_tree(const eqnlist *list, uint16_t number, uint16_t region) {
  TRACE("eqns_find_equation_tree_0");
  const equation *e = get(list, number, "eqns_find_equation_tree_0");
  if (region == 0) return e->tree;
  const treevector &v = e->steady;
  return region <= v.count ? v.data[region - 1] : nullptr;
}

void eqns_define_initial(treevector *v, uint16_t variable, TreeNode *tree) {
  TRACE("eqns_define_initial_0");
  TreeNode **at = trees_slot(v, variable);
  if (*at != tree) trees_free_0(*at);
  *at = tree;
}

void eqns_free_0(equation *e) {
  TRACE("eqns_free_0");
  strings_free_0(&e->name1);
  strings_free_0(&e->name2);
  e->tree = trees_free_0(e->tree);
  e->second = trees_free_0(e->second);
  for (treevector *v : {&e->steady, &e->source, &e->volume, &e->surface, &e->timeint, &e->spare, &e->uptime,
                        &e->upwind, &e->diffusion, &e->velocity, &e->upspare})
    trees_free_1(v, 1);
  for (treevectors *v : {&e->voljac, &e->surfjac, &e->timejac, &e->uptimejac, &e->upjac}) trees_free_2(v, 1);
}

void eqns_free_1(eqnlist *list) {
  TRACE("eqns_free_1");
  reclist_free(list, eqns_free_0);
}
