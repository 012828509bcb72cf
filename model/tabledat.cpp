// tabledat: the table list's storage, counted in XMEM.
#include "model/tabledat.h"

#include <cstring>

#include "runtime/bopmem.h"
#include "runtime/rtlib.h"
#include "runtime/vectorbase.h"

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
  if (count > capacity) rtlib_fatal_in("tabledat_resize_0", VECTOR_COUNT);
  uint16_t kept = list->capacity < capacity ? list->capacity : capacity;
  for (int k = kept; k < list->capacity; k++) free_entry(&list->items[k]);
  tableentry *d = nullptr;
  bopmemalloc(&d, capacity, sizeof(tableentry));
  if (kept > 0) memcpy(static_cast<void *>(d), list->items, kept * sizeof(tableentry));
  bopmemfree(&list->items);
  XMEM += (int64_t(capacity) - list->capacity) * int64_t(sizeof(tableentry));
  list->items = d;
  list->count = count;
  list->capacity = capacity;
}

void tabledat_free(tablelist *list) {
  TRACE("tabledat_free_0");
  for (int k = 0; k < list->capacity; k++) free_entry(&list->items[k]);
  XMEM -= int64_t(list->capacity) * int64_t(sizeof(tableentry));
  bopmemfree(&list->items);
  list->count = list->capacity = 0;
}
