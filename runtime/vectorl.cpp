// vectorl: the vector of signed 32-bit integers.
#include "runtime/vectorl.h"

#include "runtime/vectorbase.h"

// Ten values a row as "  %6d".
void vectorl_print_1(FILE *f, const vectorl *v, const char *name) {
  TRACE("vectorl_print_1");
  vecbase_print(f, v->count, 10, name, [&](int32_t i) { fprintf(f, "  %6d", v->data[i - 1]); });
}

VECBASE_LIFE(vectorl)
VECBASE_LIST(vectorl)
VECBASE_UNLIST(vectorl)
VECBASE_INLIST(vectorl)
VECBASE_INSERT_1(vectorl)
VECBASE_COUNT(vectorl)
VECBASE_BIGENDIAN(vectorl)

void vectorl_compress(vectorl *v) {
  TRACE("vectorl_compress_0");
  int32_t kept = 0;
  for (int32_t i = 0; i < v->count; i++)
    if (v->data[i] != 0) v->data[kept++] = v->data[i];
  v->count = kept;
}
