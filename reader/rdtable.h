// rdtable: the TABLE and TRANSFER references of the descriptor parser and the readers
// of their data files: tables of one to three axes into the problem's table list, and
// transferred meshes with their node values into its transfer list.
#pragma once
#include <cstdint>

struct parse_node;

// DEBUG(XFER): trace lines of the TRANSFER reader.
extern uint8_t rdtable_debug;

int rdtable_init();

// Handlers: r is the result (a copy of $1 on entry), v[1..n] the right-hand values.
// Errors in a data file are reported at their place in that file, errors of the
// reference at its place in the descriptor; none returns. A data file is closed when
// it has been read and on every way out of its load.
//
// TABLE ( "file": a new table entry, its file opened (as written, else in the
// descriptor's folder; "\" read as "/"; "missing table file"); the result is a
// tableval leaf of the entry's number, placed at the string.
void rdtable_table1(parse_node *r, parse_node *const *v);
// Each further name: the key of a coordinate, variable or definition fills the next
// free axis slot ("Bad dependency selector" for other names).
void rdtable_table2(parse_node *r, parse_node *const *v);
// The closing parenthesis: the file is read into the entry's lintab.
void rdtable_tablex(parse_node *r, parse_node *const *v);
// TRANSFER ( "file": a new transfer entry; the file ("Missing Transfer File") read into
// the entry's own mesh, domain and node values, and its cell finder built. The result
// carries the transfer number.
void rdtable_transfer1(parse_node *r, parse_node *const *v);
// Each name that follows is defined as the file's next variable (an xferval leaf);
// more names than variables: "No Data For This Name".
void rdtable_transfer2(parse_node *r, parse_node *const *v);
void rdtable_transferx(parse_node *r, parse_node *const *v);
