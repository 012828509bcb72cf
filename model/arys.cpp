// arys: ARRAY definitions.
#include "model/arys.h"

#include "model/reclist.h"

uint16_t arys_debug = 0;

int arys_init() {
  TRACE("arys");
  return 0;
}

uint16_t arys_new_array(arylist *list, const String *name) {
  TRACE("arys_new_array_0");
  arydef *a = reclist_push(list, 32, "arys_new_array_0");
  strings_copyto_0(&a->name, name);
  return list->count;
}

static arydef *get(arylist *list, uint16_t number, const char *where) {
  if (number < 1 || number > list->count) rtlib_fatal_in(where, "Bad Array Identifier");
  return &list->items[number - 1];
}

uint16_t arys_define_array(arylist *list, uint16_t number, double value) {
  TRACE("arys_define_array_0");
  vectord *v = &get(list, number, "arys_define_array_0")->values;
  vectord_resize(v, 1, v->capacity > 16 ? v->capacity : 16);
  v->data[0] = value;
  return number;
}

int32_t arys_next_array(arylist *list, uint16_t number, double value) {
  TRACE("arys_next_array_0");
  vectord *v = &get(list, number, "arys_next_array_0")->values;
  vectord_resize(v, v->count + 1, v->count < v->capacity ? v->capacity : v->capacity + 16);
  v->data[v->count - 1] = value;
  return v->count;
}

vectord *arys_find_array_def(arylist *list, uint16_t number) {
  TRACE("arys_find_array_def_0");
  return &get(list, number, "arys_find_array_def_0")->values;
}

void arys_free(arylist *list) {
  TRACE("arys_free_0");
  reclist_free_all(list, [](arydef *a) {
    strings_free_0(&a->name);
    vectord_free(&a->values);
  });
}
