// rdpde, headless: there are no reader tables to build.
#include "reader/rdpde.h"
#include "runtime/rtlib.h"

void rdpde_init_parse() {}
void rdpde_select_input_1(uint16_t, pde *) {}
void rdpde_disable_name(const String *) {}

int rdpde_init() {
  TRACE("rdpde");
  return 0;
}
