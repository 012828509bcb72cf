// rdtable: the TABLE and TRANSFER references of the descriptor parser.
// Until they are built, every handler keeps nothing: the parse driver releases
// the values it is given.
#pragma once
#include <cstdint>

struct parse_node;

// DEBUG(XFER): trace lines of the TRANSFER reader.
extern uint8_t rdtable_debug;

int rdtable_init();

// Handlers: r is the result (a copy of $1 on entry), v[1..n] the right-hand values.
void rdtable_transferx(parse_node *r, parse_node *const *v);
void rdtable_tablex(parse_node *r, parse_node *const *v);
void rdtable_table1(parse_node *r, parse_node *const *v);
void rdtable_table2(parse_node *r, parse_node *const *v);
void rdtable_transfer1(parse_node *r, parse_node *const *v);
void rdtable_transfer2(parse_node *r, parse_node *const *v);
