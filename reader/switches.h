// switches: the SELECT vocabulary of the descriptor parser: the run switches with
// their conversions and the settings they set, the DEBUG and PRINT lists and ALIAS.
#pragma once
#include <cstdint>

struct parse_node;

// Program-wide settings that outlast the problem that set them.
extern double switches_delaminate;  // SELECT DELAMINATE
extern double switches_leglimit3;   // SELECT LEGLIMIT3
extern uint8_t switches_endtime;    // 1 once some SELECT gave an ENDTIME
extern uint8_t switches_treelocs;   // DEBUG(TREELOCS)

int switches_init();

// The switch value of a real: cut toward zero (saturating; NaN is 0), then the low
// 16 bits read as a signed 16-bit integer.
int16_t switches_value16(double value);
// The cut alone, saturated to the 64-bit range (NaN is 0).
int64_t switches_cut(double value);

// Handlers: r is the result (a copy of $1 on entry), v[1..n] the right-hand values.
// An unknown SELECT name is "Undefined SELECTOR", an unknown DEBUG name "BAD DEBUG
// FLAG", both at the name; an unknown PRINT name only writes a debug-log line.
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
