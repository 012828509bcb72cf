// constrn: constraint records and lists.
#include "model/constrn.h"

#include "model/reclist.h"

uint16_t constrn_debug = 0;

int constrn_init() {
  TRACE("constrn");
  return 0;
}

uint16_t constrn_new_constraint(conlist *list) {
  TRACE("constrn_new_constraint_0");
  return reclist_append(list, 4, "constrn_new_constraint_0");
}

void constrn_define_constraint(conlist *list, uint16_t number, TreeNode *tree) {
  TRACE("constrn_define_constraint_0");
  if (number < 1 || number > list->count) rtlib_fatal_in("constrn_define_constraint_0", "UNDEFINED CONSTRAINT");
  constraint *c = list->items[number - 1];
  if (c->tree != tree) trees_free_0(c->tree);
  c->tree = tree;
  c->written = trees_free_0(c->written);
}

void constrn_free_0(constraint *c) {
  TRACE("constrn_free_0");
  strings_free_0(&c->name1);
  strings_free_0(&c->name2);
  c->tree = trees_free_0(c->tree);
  c->second = trees_free_0(c->second);
  c->written = trees_free_0(c->written);
  trees_free_1(&c->list, 1);
  trees_free_2(&c->perregion, 1);
  for (vectort &s : c->sets) vectort_free(&s);
}

void constrn_free_1(conlist *list) {
  TRACE("constrn_free_1");
  reclist_free(list, constrn_free_0);
}
