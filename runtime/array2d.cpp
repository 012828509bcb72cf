// array2d: the fixed array of rows of doubles.
#include "runtime/array2d.h"

#include "runtime/vectorbase.h"

ARRBASE_LIFE(array2d, ARRAY2_NEW_TWICE, arrayd_free)

void array2d_new_1(array2d *a, int32_t n, int32_t m) {
  TRACE("array2d_new_1");
  arrbase_new(a, n, "array2d_new_1", ARRAY2_NEW_TWICE);
  for (int32_t i = 0; i < n; i++) arrayd_new(&a->data[i], m);
}
