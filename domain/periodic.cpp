// periodic: the periodic declarations of a domain.
#include "domain/periodic.h"

#include "model/trees.h"
#include "runtime/rtlib.h"

int periodic_init() {
  TRACE("periodic");
  return 0;
}

uint16_t periodic_one_more(periodictable *t) {
  TRACE("periodic_one_more");
  return domain_table_append(t, "NEW_PERIODIC", true);
}

void periodic_free(periodictable *t) {
  TRACE("periodic_free");
  for (int32_t k = 0; k < t->capacity; k++) {
    periodic &p = t->data[k];
    p.mapping = trees_free_0(p.mapping);
    vectorn_free(&p.images);
    vectorn_free(&p.sources);
    vectorn_free(&p.lists[0]);
    vectorn_free(&p.lists[1]);
  }
  domain_table_drop(t);
}
