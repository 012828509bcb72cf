// rect3s: boxes of floats.
#include "runtime/rect3s.h"

#include "runtime/debug.h"
#include "runtime/point3s.h"
#include "runtime/points.h"
#include "runtime/rects.h"
#include "runtime/rectbase.h"
#include "runtime/rtlib.h"
#include "runtime/strings.h"

// Nothing to set up; unlike most modules this one does not trace its start.
int rect3s_init() { return 0; }

void rect3s_setrect_0(rect3s *r, float x1, float y1, float z1, float x2, float y2, float z2) {
  TRACE("rect3s_setrect_0");
  *r = rect3s{x1, y1, z1, x2, y2, z2};
}

void rect3s_setrect_1(rect3s *r, const point3s *lo, const point3s *hi) {
  TRACE("rect3s_setrect_1");
  *r = rect3s{lo->x, lo->y, lo->z, hi->x, hi->y, hi->z};
}

// The projections of the box on the coordinate planes.
void rect3s_xyrect_0(rects *d, const rect3s *b) {
  TRACE("rect3s_xyrect_0");
  *d = rects{b->x1, b->y1, b->x2, b->y2};
}

void rect3s_yzrect_0(rects *d, const rect3s *b) {
  TRACE("rect3s_yzrect_0");
  *d = rects{b->y1, b->z1, b->y2, b->z2};
}

void rect3s_zxrect_0(rects *d, const rect3s *b) {
  TRACE("rect3s_zxrect_0");
  *d = rects{b->z1, b->x1, b->z2, b->x2};
}

void rect3s_copyto_0(rect3s *d, const rect3s *s) {
  TRACE("rect3s_copyto_0");
  *d = *s;
}

bool rect3s_inrect_1(const rect3s *r, float x, float y, float z) {
  TRACE("rect3s_inrect_1");
  return rectbase_inside3(r, x, y, z);
}

bool rect3s_inrect_0(const rect3s *r, const point3s *p) {
  TRACE("rect3s_inrect_0");
  return rectbase_inside3(r, p->x, p->y, p->z);
}

// Grows the box to hold the point.
void rect3s_bound_box_0(rect3s *r, const point3s *p) {
  TRACE("rect3s_bound_box_0");
  rectbase_grow3(r, p);
}

// Grows x and y only, to hold a plane point.
void rect3s_bound_box_1(rect3s *r, const points *p) {
  TRACE("rect3s_bound_box_1");
  rectbase_grow(r, p);
}

// Union with another box.
void rect3s_bound_box_2(rect3s *r, const rect3s *o) {
  TRACE("rect3s_bound_box_2");
  rectbase_union3(r, o);
}

void rect3s_showdb_0(const rect3s *r, const String *name) {
  TRACE("rect3s_showdb_0");
  debug_printf("%s (%g,%g,%g)(%g,%g,%g)\n", name->text ? name->text : "", r->x1, r->y1, r->z1, r->x2, r->y2,
               r->z2);
}
