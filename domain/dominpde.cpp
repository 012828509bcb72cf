// dominpde, headless: a domain without regions has no materials to order.
#include "domain/dominpde.h"

void dominpde_sort_materials(Domain *) {}
