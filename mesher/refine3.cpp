// refine3: the entries of tetrahedral split and merge; both stop until they exist.
#include "mesher/refine3.h"

#include "runtime/rtlib.h"

void refine3_subdivide3(Mesh *, int32_t, int32_t, vectorvd *, uint8_t) {
  TRACE("refine3_subdivide3");
  rtlib_fatal_in("refine3_subdivide3", "BAD ORDER");
}

uint16_t refine3_mergecell3(Mesh *, int32_t, int32_t, double) {
  TRACE("refine3_mergecell3");
  rtlib_fatal_in("refine3_mergecell3", "BAD ORDER");
}
