// rect3d: boxes of doubles.
#include "runtime/rect3d.h"

#include "runtime/debug.h"
#include "runtime/point3d.h"
#include "runtime/point3s.h"
#include "runtime/pointd.h"
#include "runtime/rect3s.h"
#include "runtime/rectd.h"
#include "runtime/rectbase.h"
#include "runtime/rtlib.h"
#include "runtime/strings.h"

// Nothing to set up; unlike most modules this one does not trace its start.
int rect3d_init() { return 0; }

void rect3d_setrect_0(rect3d *r, double x1, double y1, double z1, double x2, double y2, double z2) {
  TRACE("rect3d_setrect_0");
  *r = rect3d{x1, y1, z1, x2, y2, z2};
}

void rect3d_setrect_1(rect3d *r, const point3d *lo, const point3d *hi) {
  TRACE("rect3d_setrect_1");
  *r = rect3d{lo->x, lo->y, lo->z, hi->x, hi->y, hi->z};
}

// The projections of the box on the coordinate planes.
void rect3d_xyrect_0(rectd *d, const rect3d *b) {
  TRACE("rect3d_xyrect_0");
  *d = rectd{b->x1, b->y1, b->x2, b->y2};
}

void rect3d_yzrect_0(rectd *d, const rect3d *b) {
  TRACE("rect3d_yzrect_0");
  *d = rectd{b->y1, b->z1, b->y2, b->z2};
}

void rect3d_zxrect_0(rectd *d, const rect3d *b) {
  TRACE("rect3d_zxrect_0");
  *d = rectd{b->z1, b->x1, b->z2, b->x2};
}

void rect3d_copyto_0(rect3d *d, const rect3d *s) {
  TRACE("rect3d_copyto_0");
  *d = *s;
}

// From a rectangle, with z = 0 at both corners.
void rect3d_copyto_1(rect3d *d, const rectd *s) {
  TRACE("rect3d_copyto_1");
  *d = rect3d{s->x1, s->y1, 0.0, s->x2, s->y2, 0.0};
}

// To a float box.
void rect3d_copyto_2(rect3s *d, const rect3d *s) {
  TRACE("rect3d_copyto_2");
  *d = rect3s{static_cast<float>(s->x1), static_cast<float>(s->y1), static_cast<float>(s->z1),
              static_cast<float>(s->x2), static_cast<float>(s->y2), static_cast<float>(s->z2)};
}

// From a float box.
void rect3d_copyto_3(rect3d *d, const rect3s *s) {
  TRACE("rect3d_copyto_3");
  *d = rect3d{s->x1, s->y1, s->z1, s->x2, s->y2, s->z2};
}

bool rect3d_inrect_1(const rect3d *r, const point3s *p) {
  TRACE("rect3d_inrect_1");
  return rectbase_inside3(r, p->x, p->y, p->z);
}

bool rect3d_inrect_2(const rect3d *r, double x, double y, double z) {
  TRACE("rect3d_inrect_2");
  return rectbase_inside3(r, x, y, z);
}

bool rect3d_inrect_0(const rect3d *r, const point3d *p) {
  TRACE("rect3d_inrect_0");
  return rectbase_inside3(r, p->x, p->y, p->z);
}

// Grows the box to hold the point.
void rect3d_bound_box_0(rect3d *r, const point3d *p) {
  TRACE("rect3d_bound_box_0");
  rectbase_grow3(r, p);
}

// Grows x and y only, to hold a plane point.
void rect3d_bound_box_1(rect3d *r, const pointd *p) {
  TRACE("rect3d_bound_box_1");
  rectbase_grow(r, p);
}

// Union with another box.
void rect3d_bound_box_2(rect3d *r, const rect3d *o) {
  TRACE("rect3d_bound_box_2");
  rectbase_union3(r, o);
}

void rect3d_showdb_0(const rect3d *r, const String *name) {
  TRACE("rect3d_showdb_0");
  debug_printf("%s (%g,%g,%g)(%g,%g,%g)\n", name->text ? name->text : "", r->x1, r->y1, r->z1, r->x2, r->y2,
               r->z2);
}
