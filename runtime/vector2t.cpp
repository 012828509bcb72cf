// vector2t: a nested container whose members are vectort records.
#include "runtime/vector2t.h"

#include "runtime/vectornest.h"

NEST_LIFE(vector2t, "NEW VECTOR2 ALREADY ALLOCATED", vectort_free, vectort_print_1, vectort_copyto_0)
NEST_FILL(vector2t, int32_t, vectort_copyto_1)
