// rdbatch: the BATCH section of a descriptor: the list of descriptors to run one
// after another, collected into the run controller's batch state and handed over.
#pragma once

struct parse_node;
struct pde;

int rdbatch_init();

// Handlers: r is the result (a copy of $1 on entry), v[1..n] the right-hand values.
//
// rdbatch_batchlist1: the BATCH heading. "Nested Batch lists" while a list is
// running; otherwise the current problem's directory and log become the batch
// directory and log, and the names are emptied.
void rdbatch_batchlist1(parse_node *r, parse_node *const *v);
// A quoted name, or the first name of an unquoted path (as written), starts a new
// entry; a backslash in it is read as the path separator.
void rdbatch_batchname(parse_node *r, parse_node *const *v);
// ":" or the backslash, then a name, added to the entry being read.
void rdbatch_batchcat(parse_node *r, parse_node *const *v);
// ":" and the backslash, then a name (a drive prefix).
void rdbatch_batchcat2(parse_node *r, parse_node *const *v);
// The entry is complete (second form: after a comma): it becomes the batch directory
// (unless its own folder is absolute), its folder, its base name and ".pde"; a name
// that names no regular file is "Missing File" at the name.
void rdbatch_batcheck1(parse_node *r, parse_node *const *v);
void rdbatch_batcheck2(parse_node *r, parse_node *const *v);
// The end of the list: offers to save a modified text, turns batch runs on, frees
// the holding problem (its log stays open as the batch log) and abandons the
// current command; the run controller then runs the list. Does not return.
[[noreturn]] void rdbatch_batch(parse_node *r, parse_node *const *v);
// Frees the holding problem's record once its list is read: run control's
// pdedat_free_pde, which run control installs.
extern void (*rdbatch_free_pde)(pde *p);
