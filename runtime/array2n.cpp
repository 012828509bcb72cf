// array2n: the fixed array of rows of 16-bit integers.
#include "runtime/array2n.h"

#include "runtime/vectorbase.h"

int array2n_init() {
  TRACE("array2n");
  return 0;
}

void array2n_new(array2n *a, int32_t n) {
  TRACE("array2n_new_0");
  arrbase_new(a, n, "array2n_new_0", "NEW ARRAY2: ALREADY ALLOCATED");
}

void array2n_resize(array2n *a, int32_t n) {
  TRACE("array2n_resize_0");
  arrbase_resize(a, n, "array2n_resize_0");
}

void array2n_free(array2n *a) {
  TRACE("array2n_free_0");
  arrbase_free(a, arrayn_free);
}
