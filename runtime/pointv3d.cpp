// pointv3d: a nested container whose members are pointv2d records.
#include "runtime/pointv3d.h"

#include "runtime/vectornest.h"

// Members are freed with the flag the caller passed.
NEST_LIFE(pointv3d, "NEW VECTOR3 ALREADY ALLOCATED", [flag](pointv2d *m) { pointv2d_free(m, flag); },
          pointv2d_print, pointv2d_copyto_0)
