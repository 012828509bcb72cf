// rectd: rectangles of doubles.
#include "runtime/rectd.h"

#include "runtime/debug.h"
#include "runtime/pointd.h"
#include "runtime/points.h"
#include "runtime/rects.h"
#include "runtime/rectbase.h"
#include "runtime/rtlib.h"
#include "runtime/strings.h"

// Nothing to set up; unlike most modules this one does not trace its start.
int rectd_init() { return 0; }

void rectd_setrect_0(rectd *r, double x1, double y1, double x2, double y2) {
  TRACE("rectd_setrect_0");
  *r = rectd{x1, y1, x2, y2};
}

void rectd_setrect_1(rectd *r, const pointd *lo, const pointd *hi) {
  TRACE("rectd_setrect_1");
  *r = rectd{lo->x, lo->y, hi->x, hi->y};
}

void rectd_copyto_0(rectd *d, const rectd *s) {
  TRACE("rectd_copyto_0");
  *d = *s;
}

// To a float rectangle.
void rectd_copyto_1(rects *d, const rectd *s) {
  TRACE("rectd_copyto_1");
  *d = rects{static_cast<float>(s->x1), static_cast<float>(s->y1), static_cast<float>(s->x2),
             static_cast<float>(s->y2)};
}

// From a float rectangle.
void rectd_copyto_2(rectd *d, const rects *s) {
  TRACE("rectd_copyto_2");
  *d = rectd{s->x1, s->y1, s->x2, s->y2};
}

// Both bounds count as inside.
bool rectd_inrect_2(const rectd *r, double x, double y) {
  TRACE("rectd_inrect_2");
  return rectbase_inside(r, x, y);
}

bool rectd_inrect_0(const rectd *r, const pointd *p) {
  TRACE("rectd_inrect_0");
  return rectd_inrect_2(r, p->x, p->y);
}

bool rectd_inrect_1(const rectd *r, const points *p) {
  TRACE("rectd_inrect_1");
  return rectd_inrect_2(r, p->x, p->y);
}

// Union with another rectangle.
void rectd_bound_box_0(rectd *r, const rectd *o) {
  TRACE("rectd_bound_box_0");
  rectbase_union(r, o);
}

// Grows the rectangle to hold the point.
void rectd_bound_box_1(rectd *r, const pointd *p) {
  TRACE("rectd_bound_box_1");
  rectbase_grow(r, p);
}

// "name (x1,y1) (x2,y2)" with each number by the number formatter.
void rectd_print_0(FILE *f, const rectd *r, const String *name) {
  TRACE("rectd_print_0");
  const double v[4] = {r->x1, r->y1, r->x2, r->y2};
  static const char *const after[4] = {"%s,", "%s) (", "%s,", "%s)\n"};
  fprintf(f, "%s (", name->text ? name->text : "");
  String text = {};
  for (int k = 0; k < 4; k++) {
    strings_fmt(&text, v[k]);
    fprintf(f, after[k], text.text);
  }
  strings_free_0(&text);
}

// The same line on the debug log, while it is open.
void rectd_showdb_0(const rectd *r, const String *name) {
  TRACE("rectd_showdb_0");
  if (debug_file) rectd_print_0(debug_file, r, name);
}
