// array3s: the fixed array of planes of rows of single floats.
#include "runtime/array3s.h"

#include "runtime/vectorbase.h"

int array3s_init() {
  TRACE("array3s");
  return 0;
}

void array3s_new(array3s *a, int32_t n) {
  TRACE("array3s_new_0");
  arrbase_new(a, n, "array3s_new_0", "NEW ARRAY3: ALREADY ALLOCATED");
}

void array3s_new_1(array3s *a, int32_t n, int32_t rows, int32_t cols) {
  TRACE("array3s_new_1");
  arrbase_new(a, n, "array3s_new_1", "NEW ARRAY3: ALREADY ALLOCATED");
  for (int32_t i = 0; i < n; i++) array2s_new_1(&a->data[i], rows, cols);
}

void array3s_resize(array3s *a, int32_t n) {
  TRACE("array3s_resize_0");
  arrbase_resize(a, n, "array3s_resize_0");
}

void array3s_free(array3s *a) {
  TRACE("array3s_free_0");
  arrbase_free(a, array2s_free);
}
