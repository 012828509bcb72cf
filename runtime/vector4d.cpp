// vector4d: a nested container whose members are vector3d records.
#include "runtime/vector4d.h"

#include "runtime/vectornest.h"

static const char LENGTH[] = "VECTOR4 LENGTH ERROR";

NEST_LIFE(vector4d, "NEW VECTOR4 ALREADY ALLOCATED", [](vector3d *m) { vector3d_free(m, 1); },
          vector3d_print, vector3d_copyto_0)
NEST_FILL(vector4d, double, vector3d_copyto_1)
NEST_ARITH(vector4d, vector3d, LENGTH)
