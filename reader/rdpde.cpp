// rdpde, headless: the reader's own tables come with the parser; the operator
// tree of the symbol table is built here.
#include "reader/rdpde.h"

#include "model/symtab.h"
#include "runtime/rtlib.h"

void rdpde_init_parse() {
  TRACE("rdpde_init_parse_0");
  symtab_optree = symtab_deleteall(symtab_optree);
  symtab_operators(&symtab_optree);
  symtab_builtins(&symtab_optree);
}
void rdpde_select_input_1(uint16_t, pde *) {}
void rdpde_disable_name(const String *) {}

int rdpde_init() {
  TRACE("rdpde");
  return 0;
}
