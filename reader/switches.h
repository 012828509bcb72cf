// switches: the SELECT switches, DEBUG and PRINT flags of the descriptor parser.
// Until they are built, every handler keeps nothing: the parse driver releases
// the values it is given.
#pragma once

struct parse_node;

int switches_init();

// Handlers: r is the result (a copy of $1 on entry), v[1..n] the right-hand values.
void switches_selector(parse_node *r, parse_node *const *v);
void switches_selectval(parse_node *r, parse_node *const *v);
void switches_selectdt(parse_node *r, parse_node *const *v);
void switches_selectlit(parse_node *r, parse_node *const *v);
void switches_selectalias(parse_node *r, parse_node *const *v);
void switches_setdebug(parse_node *r, parse_node *const *v);
void switches_setdebugint(parse_node *r, parse_node *const *v);
void switches_setdbgrid(parse_node *r, parse_node *const *v);
void switches_setdbgridint(parse_node *r, parse_node *const *v);
void switches_setprint(parse_node *r, parse_node *const *v);
void switches_setpgrid(parse_node *r, parse_node *const *v);
