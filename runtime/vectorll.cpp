// vectorll: integer (key, value) pairs.
#include "runtime/vectorll.h"

#include "runtime/vectorbase.h"

KVBASE_LIFE(vectorll)

void vectorll_delete(vectorll *v, int32_t key, int32_t value) {
  TRACE("vectorll_delete_0");
  for (int32_t i = 0; i < v->count; i++)
    if (v->keys[i] == key && v->values[i] == value) return kvbase_delete_index(v, i + 1);
}

// An index outside 1..count would move pairs from beyond the storage and lower the
// count below the pairs held; it stops instead.
void vectorll_delete_index(vectorll *v, int32_t i) {
  TRACE("vectorll_delete_index_0");
  if (i < 1 || i > v->count) rtlib_fatal_in("vectorll_delete_index_0", VECTOR_INDEX);
  kvbase_delete_index(v, i);
}

void vectorll_sort(vectorll *v) {
  TRACE("vectorll_sort_0");
  kvbase_sort(v, false);
}

// Ten pairs a row as " (%5d)%5d".
void vectorll_print_1(FILE *f, const vectorll *v, const char *name) {
  TRACE("vectorll_print_1");
  vecbase_print(f, v->count, 10, name,
                [&](int32_t i) { fprintf(f, " (%5d)%5d", v->keys[i - 1], v->values[i - 1]); });
}
