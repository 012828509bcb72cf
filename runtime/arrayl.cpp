// arrayl: the fixed array of 32-bit integers.
#include "runtime/arrayl.h"

#include "runtime/vectorbase.h"

int arrayl_init() {
  TRACE("arrayl");
  return 0;
}

void arrayl_new(arrayl *a, int32_t n) {
  TRACE("arrayl_new_0");
  arrbase_new(a, n, "arrayl_new_0", "NEW ARRAY ALREADY ALLOCATED");
}

void arrayl_resize(arrayl *a, int32_t n) {
  TRACE("arrayl_resize_0");
  arrbase_resize(a, n, "arrayl_resize_0");
}

void arrayl_free(arrayl *a) {
  TRACE("arrayl_free_0");
  arrbase_free(a);
}
