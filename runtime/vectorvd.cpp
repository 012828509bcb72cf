// vectorvd: references to double vectors held elsewhere.
#include "runtime/vectorvd.h"

#include "runtime/vectornest.h"

int vectorvd_init() {
  TRACE("vectorvd");
  return 0;
}

void vectorvd_new(vectorvd *v, int32_t n, int32_t cap) {
  TRACE("vectorvd_new_0");
  nest_new(v, n, cap, "vectorvd_new_0", "NEW VECTORV ALREADY ALLOCATED");
}

void vectorvd_resize(vectorvd *v, int32_t n, int32_t cap) {
  TRACE("vectorvd_resize_0");
  nest_resize(v, n, cap, v->count, "vectorvd_resize_0");
}

// An empty slot (never set) is skipped when the referenced vectors are freed.
void vectorvd_free(vectorvd *v, uint8_t flag) {
  TRACE("vectorvd_free_0");
  nest_free(v, flag, [](vectord **r) {
    if (*r) vectord_free(*r);
  });
}

void vectorvd_print(FILE *f, const vectorvd *v, const char *name) {
  TRACE("vectorvd_print_0");
  nest_print(f, v, name, [](FILE *out, vectord *const *r, const char *label) {
    if (*r) vectord_print_1(out, *r, label);
  });
}
