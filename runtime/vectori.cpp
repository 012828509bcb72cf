// vectori: the vector of signed 16-bit integers.
#include "runtime/vectori.h"

#include "runtime/vectorbase.h"

// Ten values a row as "  %6d", sign-extended.
void vectori_print_1(FILE *f, const vectori *v, const char *name) {
  TRACE("vectori_print_1");
  vecbase_print(f, v->count, 10, name, [&](int32_t i) { fprintf(f, "  %6d", int(v->data[i - 1])); });
}

VECBASE_LIFE(vectori)
VECBASE_LIST(vectori)
VECBASE_UNLIST(vectori)
VECBASE_INLIST(vectori)
VECBASE_BIGENDIAN(vectori)
