// refine1: split history bytes, list rotation, the empty one-dimensional split and merge.
#include "mesher/refine1.h"

#include "elements/meshes.h"
#include "runtime/rtlib.h"
#include "runtime/vectorb.h"

int refine1_init() {
  TRACE("refine1");
  return 0;
}

void refine1_log_split(Mesh *m, int32_t cell, uint8_t slot, uint8_t position) {
  TRACE("refine1_log_split_0");
  vectorb_one_more(&m->cells.data[cell - 1].bytes, refine1_history_byte(slot, position));
}

void refine1_rotate(vectorl *list) {
  TRACE("refine1_rotate_0");
  int32_t c = list->count;
  if (c < 2) return;
  int32_t first = list->data[0];
  for (int32_t i = 1; i < c; i++) list->data[i - 1] = list->data[i];
  list->data[c - 1] = first;
}

void refine1_subdivide1(Mesh *, int32_t, int32_t, vectorvd *, uint8_t) { TRACE("refine1_subdivide1_0"); }

uint16_t refine1_mergecell1(Mesh *, int32_t, int32_t, double) {
  TRACE("refine1_mergecell1_0");
  return 0;
}
