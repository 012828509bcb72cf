// arrayd: the fixed array of doubles.
#include "runtime/arrayd.h"

#include "runtime/vectorbase.h"

int arrayd_init() {
  TRACE("arrayd");
  return 0;
}

void arrayd_new(arrayd *a, int32_t n) {
  TRACE("arrayd_new_0");
  arrbase_new(a, n, "arrayd_new_0", "NEW ARRAY ALREADY ALLOCATED");
}

void arrayd_resize(arrayd *a, int32_t n) {
  TRACE("arrayd_resize_0");
  arrbase_resize(a, n, "arrayd_resize_0");
}

void arrayd_free(arrayd *a) {
  TRACE("arrayd_free_0");
  arrbase_free(a);
}
