// array2d: the fixed array of rows of doubles.
#include "runtime/array2d.h"

#include "runtime/vectorbase.h"

int array2d_init() {
  TRACE("array2d");
  return 0;
}

void array2d_new(array2d *a, int32_t n) {
  TRACE("array2d_new_0");
  arrbase_new(a, n, "array2d_new_0", "NEW ARRAY2: ALREADY ALLOCATED");
}

void array2d_new_1(array2d *a, int32_t n, int32_t m) {
  TRACE("array2d_new_1");
  arrbase_new(a, n, "array2d_new_1", "NEW ARRAY2: ALREADY ALLOCATED");
  for (int32_t i = 0; i < n; i++) arrayd_new(&a->data[i], m);
}

void array2d_resize(array2d *a, int32_t n) {
  TRACE("array2d_resize_0");
  arrbase_resize(a, n, "array2d_resize_0");
}

void array2d_free(array2d *a) {
  TRACE("array2d_free_0");
  arrbase_free(a, arrayd_free);
}
