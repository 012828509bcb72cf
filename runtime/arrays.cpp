// arrays: the fixed array of single floats.
#include "runtime/arrays.h"

#include "runtime/vectorbase.h"

int arrays_init() {
  TRACE("arrays");
  return 0;
}

void arrays_new(arrays *a, int32_t n) {
  TRACE("arrays_new_0");
  arrbase_new(a, n, "arrays_new_0", "NEW ARRAY ALREADY ALLOCATED");
}

void arrays_resize(arrays *a, int32_t n) {
  TRACE("arrays_resize_0");
  arrbase_resize(a, n, "arrays_resize_0");
}

void arrays_free(arrays *a) {
  TRACE("arrays_free_0");
  arrbase_free(a);
}
