// vectorn: the vector of unsigned 16-bit node and index numbers.
#include "runtime/vectorn.h"

#include "runtime/vectorbase.h"

// Ten values a row as "  %6d", unsigned.
void vectorn_print_1(FILE *f, const vectorn *v, const char *name) {
  TRACE("vectorn_print_1");
  vecbase_print(f, v->count, 10, name, [&](int32_t i) { fprintf(f, "  %6d", int(v->data[i - 1])); });
}

VECBASE_LIFE(vectorn)
VECBASE_LIST(vectorn)
VECBASE_UNLIST(vectorn)
VECBASE_INLIST(vectorn)
VECBASE_INSERT_1(vectorn)
VECBASE_COUNT(vectorn)
VECBASE_BIGENDIAN(vectorn)
