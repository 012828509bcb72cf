// acpde: the semantic action of every grammar rule: one handler per action code,
// called by the parse driver at each reduction through the generated dispatch table.
#pragma once
#include <cstdint>

#include "reader/rdpde.h"

enum { ACPDE_CODES = 296 };  // action codes 1..296; 0 is no action

// A handler: r is the result $$ (a copy of $1 on entry), v[1..n] the right-hand values
// $1..$n in rule order (v[0] is r). It writes its result into r; a value of v[2..n] that
// it keeps it clears there, and the driver releases what is left.
using acpde_handler = void (*)(parse_node *r, parse_node *const *v);

// The handler of each code (null for the two unused codes), and its name.
extern acpde_handler acpde_handlers[ACPDE_CODES + 1];
extern const char *const acpde_handler_names[ACPDE_CODES + 1];

int acpde_init();

// Calls the handler of code (1..ACPDE_CODES) with r and v; a code without a handler
// is the fatal error "BAD ACTION CODE IN acpde_action".
void acpde_action(uint16_t code, parse_node *r, parse_node *const *v);
