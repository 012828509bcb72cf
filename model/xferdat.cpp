// xferdat: the transfer list's storage, counted in XMEM.
#include "model/xferdat.h"

#include "model/reclist.h"

int xferdat_init() {
  TRACE("xferdat");
  return 0;
}

static void free_record(xferdat *x) {
  strings_free_0(&x->name);
  meshes_free(&x->mesh, 1);
  vector2d_free(&x->values, 1);
}

void xferdat_resize(xferlist *list, uint16_t count, uint16_t capacity) {
  TRACE("xferdat_resize_0");
  reclist_move(list, count, capacity, free_record, "xferdat_resize_0");
}

void xferdat_free(xferlist *list) {
  TRACE("xferdat_free_0");
  reclist_free_all(list, free_record);
}
