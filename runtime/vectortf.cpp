// vectortf: the vector of byte true/false flags.
#include "runtime/vectortf.h"

#include "runtime/vectorbase.h"

// Ten flags a row as "  %d".
void vectortf_print_1(FILE *f, const vectortf *v, const char *name) {
  TRACE("vectortf_print_1");
  vecbase_print(f, v->count, 10, name, [&](int32_t i) { fprintf(f, "  %d", int(v->data[i - 1])); });
}

VECBASE_LIFE(vectortf)
