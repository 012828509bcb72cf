// rectl: rectangles of 32-bit integers.
#include "runtime/rectl.h"

#include "runtime/debug.h"
#include "runtime/pointl.h"
#include "runtime/rectbase.h"
#include "runtime/rtlib.h"
#include "runtime/strings.h"

// Nothing to set up; unlike most modules this one does not trace its start.
int rectl_init() { return 0; }

void rectl_setrect_0(rectl *r, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  TRACE("rectl_setrect_0");
  *r = rectl{x1, y1, x2, y2};
}

void rectl_setrect_1(rectl *r, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  TRACE("rectl_setrect_1");
  *r = rectl{x1, y1, x2, y2};
}

void rectl_setrect_2(rectl *r, const pointl *lo, const pointl *hi) {
  TRACE("rectl_setrect_2");
  *r = rectl{lo->x, lo->y, hi->x, hi->y};
}

void rectl_setrect_3(rectl *r, const pointl *lo, const pointl *hi) {
  TRACE("rectl_setrect_3");
  *r = rectl{lo->x, lo->y, hi->x, hi->y};
}

void rectl_copyto_0(rectl *d, const rectl *s) {
  TRACE("rectl_copyto_0");
  *d = *s;
}

// Reads s as origin and size and writes the corners.
void rectl_copyto_1(rectl *d, const rectl *s) {
  TRACE("rectl_copyto_1");
  *d = rectl{s->x1, s->y1, s->x1 + s->x2, s->y1 + s->y2};
}

// Reads s as corners and writes origin and size.
void rectl_copyto_2(rectl *d, const rectl *s) {
  TRACE("rectl_copyto_2");
  *d = rectl{s->x1, s->y1, s->x2 - s->x1, s->y2 - s->y1};
}

bool rectl_inrect_1(const rectl *r, int32_t x, int32_t y) {
  TRACE("rectl_inrect_1");
  return rectbase_inside(r, x, y);
}

bool rectl_inrect_0(const rectl *r, const pointl *p) {
  TRACE("rectl_inrect_0");
  return rectl_inrect_1(r, p->x, p->y);
}

void rectl_bound_box_0(rectl *r, const rectl *o) {
  TRACE("rectl_bound_box_0");
  rectbase_union(r, o);
}

void rectl_showdb_0(const rectl *r, const String *name) {
  TRACE("rectl_showdb_0");
  debug_printf("%s (%d %d %d %d)\n", name->text ? name->text : "", r->x1, r->y1, r->x2, r->y2);
}
