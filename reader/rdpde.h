// rdpde: the reader's tables, its input selection and its reserved names.
#pragma once
#include <cstdint>

#include "runtime/strings.h"

struct pde;

int rdpde_init();

// Builds the character classes and the reserved-word hash, and the program-wide
// operator tree of the symbol table; called once at start-up.
void rdpde_init_parse();
// Makes in-memory text textnum the parser's input for the problem's symbol table.
void rdpde_select_input_1(uint16_t textnum, pde *p);
// Makes a reserved name ("LAMBDA") an ordinary name again.
void rdpde_disable_name(const String *name);
