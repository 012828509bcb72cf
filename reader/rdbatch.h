// rdbatch: the batch-list actions of the descriptor parser.
// Until they are built, every handler keeps nothing: the parse driver releases
// the values it is given.
#pragma once

struct parse_node;

int rdbatch_init();

// Handlers: r is the result (a copy of $1 on entry), v[1..n] the right-hand values.
void rdbatch_batch(parse_node *r, parse_node *const *v);
void rdbatch_batchlist1(parse_node *r, parse_node *const *v);
void rdbatch_batcheck1(parse_node *r, parse_node *const *v);
void rdbatch_batcheck2(parse_node *r, parse_node *const *v);
void rdbatch_batchname(parse_node *r, parse_node *const *v);
void rdbatch_batchcat(parse_node *r, parse_node *const *v);
void rdbatch_batchcat2(parse_node *r, parse_node *const *v);
