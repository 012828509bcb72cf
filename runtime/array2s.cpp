// array2s: the fixed array of rows of single floats.
#include "runtime/array2s.h"

#include "runtime/vectorbase.h"

ARRBASE_LIFE(array2s, ARRAY2_NEW_TWICE, arrays_free)

void array2s_new_1(array2s *a, int32_t n, int32_t m) {
  TRACE("array2s_new_1");
  arrbase_new(a, n, "array2s_new_1", ARRAY2_NEW_TWICE);
  for (int32_t i = 0; i < n; i++) arrays_new(&a->data[i], m);
}
