// vector3n: a nested container whose members are vector2n records.
#include "runtime/vector3n.h"

#include "runtime/vectornest.h"

NEST_LIFE(vector3n, "NEW VECTOR3 ALREADY ALLOCATED", [](vector2n *m) { vector2n_free(m, 1); },
          vector2n_print, vector2n_copyto_0)
NEST_FILL(vector3n, uint16_t, vector2n_copyto_1)
