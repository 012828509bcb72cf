// acpde: dispatch of the semantic actions; the table itself is generated from the
// grammar with the parse tables.
#include "reader/acpde.h"

#include "runtime/rtlib.h"

void acpde_action(uint16_t code, parse_node *r, parse_node *const *v) {
  TRACE("acpde_action");
  acpde_handler h = code >= 1 && code <= ACPDE_CODES ? acpde_handlers[code] : nullptr;
  if (!h) rtlib_fatal_in("acpde_action", "BAD ACTION CODE");
  h(r, v);
}

int acpde_init() {
  TRACE("acpde");
  return 0;
}
