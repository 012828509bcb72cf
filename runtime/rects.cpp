// rects: rectangles of floats.
#include "runtime/rects.h"

#include "runtime/debug.h"
#include "runtime/pointd.h"
#include "runtime/points.h"
#include "runtime/rectbase.h"
#include "runtime/rtlib.h"
#include "runtime/strings.h"

// Nothing to set up; unlike most modules this one does not trace its start.
int rects_init() { return 0; }

void rects_setrect_0(rects *r, float x1, float y1, float x2, float y2) {
  TRACE("rects_setrect_0");
  *r = rects{x1, y1, x2, y2};
}

void rects_setrect_1(rects *r, const points *lo, const points *hi) {
  TRACE("rects_setrect_1");
  *r = rects{lo->x, lo->y, hi->x, hi->y};
}

// Four doubles, each rounded to single precision.
void rects_setrectd_0(rects *r, double x1, double y1, double x2, double y2) {
  TRACE("rects_setrectd_0");
  *r = rects{static_cast<float>(x1), static_cast<float>(y1), static_cast<float>(x2), static_cast<float>(y2)};
}

void rects_copyto_0(rects *d, const rects *s) {
  TRACE("rects_copyto_0");
  *d = *s;
}

// Both bounds count as inside; the float bounds are widened before comparing.
bool rects_inrect_2(const rects *r, double x, double y) {
  TRACE("rects_inrect_2");
  return rectbase_inside(r, x, y);
}

bool rects_inrect_0(const rects *r, const pointd *p) {
  TRACE("rects_inrect_0");
  return rects_inrect_2(r, p->x, p->y);
}

bool rects_inrect_1(const rects *r, const points *p) {
  TRACE("rects_inrect_1");
  return rects_inrect_2(r, p->x, p->y);
}

void rects_bound_box_0(rects *r, const rects *o) {
  TRACE("rects_bound_box_0");
  rectbase_union(r, o);
}

void rects_showdb_0(const rects *r, const String *name) {
  TRACE("rects_showdb_0");
  debug_printf("%s (%g %g %g %g)\n", name->text ? name->text : "", r->x1, r->y1, r->x2, r->y2);
}
