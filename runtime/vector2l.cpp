// vector2l: a nested container whose members are vectorl records.
#include "runtime/vector2l.h"

#include "runtime/vectornest.h"

NEST_LIFE(vector2l, "NEW VECTOR2 ALREADY ALLOCATED", vectorl_free, vectorl_print_1, vectorl_copyto_0)
NEST_FILL(vector2l, int32_t, vectorl_copyto_1)
