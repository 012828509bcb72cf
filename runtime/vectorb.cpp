// vectorb: the vector of unsigned bytes.
#include "runtime/vectorb.h"

#include "runtime/vectorbase.h"

// Ten values a row as "  %6d", unsigned.
void vectorb_print_1(FILE *f, const vectorb *v, const char *name) {
  TRACE("vectorb_print_1");
  vecbase_print(f, v->count, 10, name, [&](int32_t i) { fprintf(f, "  %6d", int(v->data[i - 1])); });
}

VECBASE_LIFE(vectorb)
VECBASE_LIST(vectorb)
VECBASE_UNLIST(vectorb)
VECBASE_INSERT_1(vectorb)
