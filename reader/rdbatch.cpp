// rdbatch, until the batch-list actions are built: the handlers build nothing.
#include "reader/rdbatch.h"

#include "reader/acpde.h"
#include "runtime/rtlib.h"

void rdbatch_batch(parse_node *, parse_node *const *) { acpde_actions_unavailable(); }
void rdbatch_batchlist1(parse_node *, parse_node *const *) {}
void rdbatch_batcheck1(parse_node *, parse_node *const *) {}
void rdbatch_batcheck2(parse_node *, parse_node *const *) {}
void rdbatch_batchname(parse_node *, parse_node *const *) {}
void rdbatch_batchcat(parse_node *, parse_node *const *) {}
void rdbatch_batchcat2(parse_node *, parse_node *const *) {}

int rdbatch_init() {
  TRACE("rdbatch");
  return 0;
}
