// rdtable, until the TABLE and TRANSFER references are built: the handlers build nothing.
#include "reader/rdtable.h"

#include "runtime/rtlib.h"

void rdtable_transferx(parse_node *, parse_node *const *) {}
void rdtable_tablex(parse_node *, parse_node *const *) {}
void rdtable_table1(parse_node *, parse_node *const *) {}
void rdtable_table2(parse_node *, parse_node *const *) {}
void rdtable_transfer1(parse_node *, parse_node *const *) {}
void rdtable_transfer2(parse_node *, parse_node *const *) {}

uint8_t rdtable_debug = 0;

int rdtable_init() {
  TRACE("rdtable");
  return 0;
}
