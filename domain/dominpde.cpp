// dominpde, headless: a domain without regions has no materials to order.
#include "domain/dominpde.h"
#include "runtime/rtlib.h"

void dominpde_sort_materials(Domain *) {}

int dominpde_init() {
  TRACE("dominpde");
  return 0;
}
