// array2l: the fixed array of rows of 32-bit integers.
#include "runtime/array2l.h"

#include "runtime/vectorbase.h"

int array2l_init() {
  TRACE("array2l");
  return 0;
}

void array2l_new(array2l *a, int32_t n) {
  TRACE("array2l_new_0");
  arrbase_new(a, n, "array2l_new_0", "NEW ARRAY2: ALREADY ALLOCATED");
}

void array2l_resize(array2l *a, int32_t n) {
  TRACE("array2l_resize_0");
  arrbase_resize(a, n, "array2l_resize_0");
}

void array2l_free(array2l *a) {
  TRACE("array2l_free_0");
  arrbase_free(a, arrayl_free);
}
