// vectors: the vector of single floats.
#include "runtime/vectors.h"

#include "runtime/vectorbase.h"
#include "runtime/vectorl.h"
#include "runtime/vectorn.h"

// Five values a row, each widened to double and shown by the number formatter.
void vectors_print_1(FILE *f, const vectors *v, const char *name) {
  TRACE("vectors_print_1");
  vecbase_print(f, v->count, 5, name, [&](int32_t i) { vecbase_print_real(f, v->data[i - 1]); });
}

VECBASE_LIFE(vectors)
VECBASE_LIST(vectors)
VECBASE_UNLIST(vectors)
VECBASE_ARITH(vectors)
VECBASE_BIGENDIAN(vectors)
