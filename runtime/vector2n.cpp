// vector2n: a nested container whose members are vectorn records. Freeing with the
// flag frees every member 1..capacity, like the other kinds, so that members kept
// beyond the count by a resize are not lost.
#include "runtime/vector2n.h"

#include "runtime/vectornest.h"

NEST_LIFE(vector2n, "NEW VECTOR2 ALREADY ALLOCATED", vectorn_free, vectorn_print_1, vectorn_copyto_0)
NEST_FILL(vector2n, uint16_t, vectorn_copyto_1)
