// tabledat: the table list's storage, counted in XMEM.
#include "model/tabledat.h"

#include "model/reclist.h"

int tabledat_init() {
  TRACE("tabledat");
  return 0;
}

static void free_entry(tableentry *e) {
  strings_free_0(&e->name);
  lintabs_free(&e->table);
}

void tabledat_resize(tablelist *list, uint16_t count, uint16_t capacity) {
  TRACE("tabledat_resize_0");
  reclist_move(list, count, capacity, free_entry, "tabledat_resize_0");
}

void tabledat_free(tablelist *list) {
  TRACE("tabledat_free_0");
  reclist_free_all(list, free_entry);
}
