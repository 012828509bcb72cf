// pointv2d: a nested container whose members are pointd list records.
#include "runtime/pointv2d.h"

#include "runtime/vectornest.h"

NEST_LIFE(pointv2d, "NEW VECTOR2 ALREADY ALLOCATED", pointd_free_1, pointd_print_0, pointd_copyto_2)
