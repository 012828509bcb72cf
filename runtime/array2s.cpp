// array2s: the fixed array of rows of single floats.
#include "runtime/array2s.h"

#include "runtime/vectorbase.h"

int array2s_init() {
  TRACE("array2s");
  return 0;
}

void array2s_new(array2s *a, int32_t n) {
  TRACE("array2s_new_0");
  arrbase_new(a, n, "array2s_new_0", "NEW ARRAY2: ALREADY ALLOCATED");
}

void array2s_new_1(array2s *a, int32_t n, int32_t m) {
  TRACE("array2s_new_1");
  arrbase_new(a, n, "array2s_new_1", "NEW ARRAY2: ALREADY ALLOCATED");
  for (int32_t i = 0; i < n; i++) arrays_new(&a->data[i], m);
}

void array2s_resize(array2s *a, int32_t n) {
  TRACE("array2s_resize_0");
  arrbase_resize(a, n, "array2s_resize_0");
}

void array2s_free(array2s *a) {
  TRACE("array2s_free_0");
  arrbase_free(a, arrays_free);
}
