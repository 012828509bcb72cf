// arrays: the fixed array of single floats.
#include "runtime/arrays.h"

#include "runtime/vectorbase.h"

ARRBASE_LIFE(arrays, ARRAY_NEW_TWICE)
