// xferdat: a problem's TRANSFER data sets, each a mesh with its cell finder and the
// nodal values of the variables it carries.
#pragma once
#include <cstdint>

#include "elements/meshes.h"
#include "runtime/strings.h"
#include "runtime/vector2d.h"

struct xferdat {
  uint16_t number;    // the record's own position in the list
  uint16_t file;      // text-file number the TRANSFER file was opened under
  uint16_t dimension; // coordinates the file holds (0 to 3)
  uint16_t bound;     // names bound to the file's variables so far
  String name;        // the file name as resolved
  Mesh mesh;          // the transferred mesh with its own domain (the box of its nodes) and finder
  vector2d values;    // per variable, nodal values by node number
};

// Records 1..count stored in place (record k is items[k-1]); the reader grows it by 1.
struct xferlist {
  uint16_t count;
  uint16_t capacity;
  xferdat *items;
};

int xferdat_init();

// Moves the records to new storage of the capacity and sets count and capacity;
// records that no longer fit are freed. A count above the capacity stops.
void xferdat_resize(xferlist *list, uint16_t count, uint16_t capacity);
// Frees every record's name, mesh (with the domain it owns) and values, then the storage.
void xferdat_free(xferlist *list);
