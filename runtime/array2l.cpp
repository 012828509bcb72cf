// array2l: the fixed array of rows of 32-bit integers.
#include "runtime/array2l.h"

#include "runtime/vectorbase.h"

ARRBASE_LIFE(array2l, ARRAY2_NEW_TWICE, arrayl_free)
