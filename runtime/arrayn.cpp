// arrayn: the fixed array of 16-bit integers.
#include "runtime/arrayn.h"

#include "runtime/vectorbase.h"

int arrayn_init() {
  TRACE("arrayn");
  return 0;
}

void arrayn_new(arrayn *a, int32_t n) {
  TRACE("arrayn_new_0");
  arrbase_new(a, n, "arrayn_new_0", "NEW ARRAY ALREADY ALLOCATED");
}

void arrayn_resize(arrayn *a, int32_t n) {
  TRACE("arrayn_resize_0");
  arrbase_resize(a, n, "arrayn_resize_0");
}

void arrayn_free(arrayn *a) {
  TRACE("arrayn_free_0");
  arrbase_free(a);
}
