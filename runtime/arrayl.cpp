// arrayl: the fixed array of 32-bit integers.
#include "runtime/arrayl.h"

#include "runtime/vectorbase.h"

ARRBASE_LIFE(arrayl, ARRAY_NEW_TWICE)
