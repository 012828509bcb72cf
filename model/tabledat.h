// tabledat: a problem's list of TABLE references, each with its keys and loaded lintab.
#pragma once
#include <cstdint>

#include "model/lintabs.h"
#include "runtime/strings.h"

struct tableentry {
  uint16_t number;   // the entry's own position in the list
  uint16_t file;     // text-file number the TABLE file was opened under
  uint16_t keys[3];  // per axis: 0 none, 1..4 x y z t, 5..100 variable key-4, above 100 definition key-100
  String name;       // the file name as resolved
  lintab table;
};

// Entries 1..count (entry k is items[k-1]); the reader grows it by 8.
struct tablelist {
  uint16_t count;
  uint16_t capacity;
  tableentry *items;
};

int tabledat_init();

// Moves the entries to new storage of the capacity and sets count and capacity;
// entries that no longer fit are freed.
void tabledat_resize(tablelist *list, uint16_t count, uint16_t capacity);
// Frees every entry's name and table, then the storage.
void tabledat_free(tablelist *list);
