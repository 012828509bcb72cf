// rect3s: boxes of floats.
#include "runtime/rect3s.h"

#include <algorithm>

#include "runtime/debug.h"
#include "runtime/point3s.h"
#include "runtime/points.h"
#include "runtime/rects.h"
#include "runtime/rtlib.h"
#include "runtime/strings.h"

int rect3s_init() {
  TRACE("rect3s");
  return 0;
}

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

// Inclusive on every bound; float values are widened before comparing.
static bool inbox(const rect3s *r, double x, double y, double z) {
  return r->x1 <= x && x <= r->x2 && r->y1 <= y && y <= r->y2 && r->z1 <= z && z <= r->z2;
}

bool rect3s_inrect_1(const rect3s *r, float x, float y, float z) {
  TRACE("rect3s_inrect_1");
  return inbox(r, x, y, z);
}

bool rect3s_inrect_0(const rect3s *r, const point3s *p) {
  TRACE("rect3s_inrect_0");
  return inbox(r, p->x, p->y, p->z);
}

// Grows the box to hold the point.
void rect3s_bound_box_0(rect3s *r, const point3s *p) {
  TRACE("rect3s_bound_box_0");
  r->x1 = std::min(r->x1, p->x);
  r->y1 = std::min(r->y1, p->y);
  r->z1 = std::min(r->z1, p->z);
  r->x2 = std::max(r->x2, p->x);
  r->y2 = std::max(r->y2, p->y);
  r->z2 = std::max(r->z2, p->z);
}

// Grows x and y only, to hold a plane point.
void rect3s_bound_box_1(rect3s *r, const points *p) {
  TRACE("rect3s_bound_box_1");
  r->x1 = std::min(r->x1, p->x);
  r->y1 = std::min(r->y1, p->y);
  r->x2 = std::max(r->x2, p->x);
  r->y2 = std::max(r->y2, p->y);
}

// Union with another box.
void rect3s_bound_box_2(rect3s *r, const rect3s *o) {
  TRACE("rect3s_bound_box_2");
  r->x1 = std::min(r->x1, o->x1);
  r->y1 = std::min(r->y1, o->y1);
  r->z1 = std::min(r->z1, o->z1);
  r->x2 = std::max(r->x2, o->x2);
  r->y2 = std::max(r->y2, o->y2);
  r->z2 = std::max(r->z2, o->z2);
}

void rect3s_showdb_0(const rect3s *r, const String *name) {
  TRACE("rect3s_showdb_0");
  debug_printf("%s (%g,%g,%g)(%g,%g,%g)\n", name->text ? name->text : "", r->x1, r->y1, r->z1, r->x2, r->y2,
               r->z2);
}
