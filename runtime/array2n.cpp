// array2n: the fixed array of rows of 16-bit integers.
#include "runtime/array2n.h"

#include "runtime/vectorbase.h"

ARRBASE_LIFE(array2n, ARRAY2_NEW_TWICE, arrayn_free)
