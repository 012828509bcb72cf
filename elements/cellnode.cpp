// cellnode: gathering nodal fields onto a localised cell and interpolating them, and
// the growth and release of the cell and node tables.
#include "elements/cellnode.h"

#include <cstring>

#include "elements/evalpoint.h"
#include "runtime/bopmem.h"
#include "runtime/rtlib.h"

static LocalCell work_cell;
LocalCell *cellnode_work = nullptr;

// The field's values at the cell's first n nodes, where n is the code's function count.
static void gather(double *u, int32_t code, const LocalCell *c, const vectord *f) {
  int n = elements_functions[code];
  for (int i = 0; i < n; i++) u[i] = f->data[c->nodes[i] - 1];
}

double cellnode_interpu_0(int32_t code, evalpoint *p, const vectord *u) {
  TRACE("cellnode_interpu_0");
  double g[20];
  gather(g, code, p->cell, u);
  return elements_interpu(code, p->local, &p->cell->frame, g);
}

double cellnode_interpu_1(int32_t code, const double *L, LocalCell *c, const vectord *u) {
  TRACE("cellnode_interpu_1");
  double g[20];
  gather(g, code, c, u);
  return elements_interpu(code, L, &c->frame, g);
}

double cellnode_interpu_sel(int32_t code, uint16_t s1, int16_t s2, evalpoint *p, const vectord *u) {
  TRACE("cellnode_interpu_sel_0");
  double g[20];
  gather(g, code, p->cell, u);
  return elements_interpu_sel(code, s1, s2, p->local, &p->cell->frame, g);
}

uint16_t cellnode_min_ac2(const double *L) {
  if (L[0] < L[1] && L[0] < L[2]) return 1;
  if (L[1] <= L[0] && L[1] < L[2]) return 2;
  return 3;
}

uint16_t cellnode_min_ac3(const double *L) {
  uint16_t k = 1;
  if (L[1] <= L[k - 1]) k = 2;
  if (L[2] <= L[k - 1]) k = 3;
  if (L[3] <= L[k - 1]) k = 4;
  return k;
}

void cellnode_move_close(evalpoint *p, uint16_t dim) {
  TRACE("cellnode_move_close_0");
  if (dim == 1) rtlib_fatal_in("cellnode_move_close_0", "1D not implemented");
  if (dim == 2) {
    uint16_t k = cellnode_min_ac2(p->local);
    for (int c = 0; c < 3; c++) p->local[c] = c + 1 == k ? 0 : 0.5;
    p->local[3] = 0;
  } else {
    uint16_t k = cellnode_min_ac3(p->local);
    for (int c = 0; c < 4; c++) p->local[c] = c + 1 == k ? 0 : 0.3333333333;
  }
  double xyz[3];
  elements_get_gcoords(xyz, p->local, &p->cell->frame);
  p->x = xyz[0], p->y = xyz[1], p->z = xyz[2];
}

// Grows a table of records to cap zeroed slots, moving every old slot whole (slots past
// the count may still own lists), and sets the count.
template <class Table>
static void resize_table(Table *t, int32_t n, int32_t cap) {
  if (cap > t->capacity) {
    decltype(t->data) grown = nullptr;
    bopmemalloc(&grown, cap, sizeof(*grown));
    if (t->capacity) std::memcpy(static_cast<void *>(grown), t->data, size_t(t->capacity) * sizeof(*grown));
    bopmemfree(&t->data);
    XMEM += int64_t(cap - t->capacity) * sizeof(*grown);
    t->data = grown;
    t->capacity = cap;
  }
  t->count = n;
}

void cellnode_resize_0(celltable *t, int32_t n, int32_t cap) {
  TRACE("cellnode_resize_0");
  resize_table(t, n, cap);
}

void cellnode_resize_1(nodetable *t, int32_t n, int32_t cap) {
  TRACE("cellnode_resize_1");
  resize_table(t, n, cap);
}

void cellnode_resize_2(celltables *t, uint16_t n, uint16_t cap) {
  TRACE("cellnode_resize_2");
  resize_table(t, n, cap);
}

void cellnode_free_1(celltable *t) {
  TRACE("cellnode_free_1");
  for (int32_t k = 0; k < t->capacity; k++) {
    vectorb_free(&t->data[k].bytes);
    vectorl_free(&t->data[k].nodes);
  }
  XMEM -= int64_t(t->capacity) * sizeof(MeshCell);
  bopmemfree(&t->data);
  t->count = t->capacity = 0;
}

void cellnode_free_2(nodetable *t) {
  TRACE("cellnode_free_2");
  for (int32_t k = 0; k < t->capacity; k++) vectorl_free(&t->data[k].nodecell);
  XMEM -= int64_t(t->capacity) * sizeof(MeshNode);
  bopmemfree(&t->data);
  t->count = t->capacity = 0;
}

void cellnode_free_0(celltables *t, uint8_t flag) {
  TRACE("cellnode_free_0");
  if (flag)
    for (int32_t k = 0; k < t->capacity; k++) cellnode_free_1(&t->data[k]);
  XMEM -= int64_t(t->capacity) * sizeof(celltable);
  bopmemfree(&t->data);
  t->count = t->capacity = 0;
}

int cellnode_init() {
  TRACE("cellnode");
  cellnode_work = &work_cell;
  work_cell.region = 0;
  return 0;
}
