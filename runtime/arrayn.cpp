// arrayn: the fixed array of 16-bit integers.
#include "runtime/arrayn.h"

#include "runtime/vectorbase.h"

ARRBASE_LIFE(arrayn, ARRAY_NEW_TWICE)
