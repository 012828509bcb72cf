// switches, until the SELECT switches, DEBUG and PRINT flags are built: the handlers build nothing.
#include "reader/switches.h"

#include "runtime/rtlib.h"

void switches_selector(parse_node *, parse_node *const *) {}
void switches_selectval(parse_node *, parse_node *const *) {}
void switches_selectdt(parse_node *, parse_node *const *) {}
void switches_selectlit(parse_node *, parse_node *const *) {}
void switches_selectalias(parse_node *, parse_node *const *) {}
void switches_setdebug(parse_node *, parse_node *const *) {}
void switches_setdebugint(parse_node *, parse_node *const *) {}
void switches_setdbgrid(parse_node *, parse_node *const *) {}
void switches_setdbgridint(parse_node *, parse_node *const *) {}
void switches_setprint(parse_node *, parse_node *const *) {}
void switches_setpgrid(parse_node *, parse_node *const *) {}

int switches_init() {
  TRACE("switches");
  return 0;
}
