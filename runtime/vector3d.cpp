// vector3d: a nested container whose members are vector2d records.
#include "runtime/vector3d.h"

#include "runtime/vectornest.h"

static const char LENGTH[] = "VECTOR3 LENGTH ERROR";

NEST_LIFE(vector3d, "NEW VECTOR3 ALREADY ALLOCATED", [](vector2d *m) { vector2d_free(m, 1); },
          vector2d_print, vector2d_copyto_0)
NEST_FILL(vector3d, double, vector2d_copyto_1)
NEST_ARITH(vector3d, vector2d, LENGTH)
