// array3s: the fixed array of planes of rows of single floats.
#include "runtime/array3s.h"

#include "runtime/vectorbase.h"

ARRBASE_LIFE(array3s, ARRAY3_NEW_TWICE, array2s_free)

void array3s_new_1(array3s *a, int32_t n, int32_t rows, int32_t cols) {
  TRACE("array3s_new_1");
  arrbase_new(a, n, "array3s_new_1", ARRAY3_NEW_TWICE);
  for (int32_t i = 0; i < n; i++) array2s_new_1(&a->data[i], rows, cols);
}
