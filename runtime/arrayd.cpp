// arrayd: the fixed array of doubles.
#include "runtime/arrayd.h"

#include "runtime/vectorbase.h"

ARRBASE_LIFE(arrayd, ARRAY_NEW_TWICE)
