// pointd: plane points of doubles and their arrays and lists.
#include "runtime/pointd.h"

#include <cmath>

#include "runtime/debug.h"
#include "runtime/pointlist.h"
#include "runtime/points.h"
#include "runtime/strings.h"
#include "runtime/vectord.h"
#include "runtime/vectorl.h"

// Nothing to set up; unlike most modules this one does not trace its start.
int pointd_init() { return 0; }

POINTLIST_OPERATIONS(pointd, pointd, pointdlist)
POINTLIST_PRINT(pointd, pointdlist)

void pointd_setpoint_0(pointd *p, double x, double y) {
  TRACE("pointd_setpoint_0");
  p->x = x;
  p->y = y;
}

int32_t pointd_one_more_1(pointdlist *v, double x, double y) {
  TRACE("pointd_one_more_1");
  return vecbase_one_more(v, pointd{x, y}, "pointd_resize_1");
}

// From a float point.
void pointd_copyto_0(pointd *d, const points *s) {
  TRACE("pointd_copyto_0");
  d->x = s->x;
  d->y = s->y;
}

void pointd_copyto_1(pointd *d, const pointd *s) {
  TRACE("pointd_copyto_1");
  *d = *s;
}

void pointd_copyto_2(pointdlist *d, const pointdlist *s) {
  TRACE("pointd_copyto_2");
  vecbase_copy(d, s, "pointd_resize_1");
}

// Writes the point at i (1..count+1), moving points i..count up; count+1 appends.
void pointd_insert_0(pointdlist *v, int32_t i, const pointd *p) {
  TRACE("pointd_insert_0");
  pointlist_insert(v, i, *p, "pointd_insert_0", "pointd_resize_1");
}

void pointd_insert_1(pointdlist *v, int32_t i, double x, double y) {
  TRACE("pointd_insert_1");
  pointlist_insert(v, i, pointd{x, y}, "pointd_insert_1", "pointd_resize_1");
}

void pointd_delete_0(pointdlist *v, int32_t i) {
  TRACE("pointd_delete_0");
  pointlist_delete(v, i, "pointd_delete_0");
}

void pointd_delete_index_0(pointdlist *v, int32_t i) {
  TRACE("pointd_delete_index_0");
  pointlist_delete(v, i, "pointd_delete_index_0");
}

double pointd_distance_0(const pointd *p, const pointd *q) {
  TRACE("pointd_distance_0");
  return sqrt(pointd_distance2_1(p->x, p->y, q->x, q->y));
}

double pointd_distance2_0(const pointd *p, const pointd *q) {
  TRACE("pointd_distance2_0");
  return pointd_distance2_1(p->x, p->y, q->x, q->y);
}

double pointd_distance_1(double x1, double y1, double x2, double y2) {
  TRACE("pointd_distance_1");
  return sqrt(pointd_distance2_1(x1, y1, x2, y2));
}

double pointd_distance2_1(double x1, double y1, double x2, double y2) {
  TRACE("pointd_distance2_1");
  double dx = x2 - x1, dy = y2 - y1;
  return dx * dx + dy * dy;
}

void pointd_showdb_0(const pointd *p, const String *name) {
  TRACE("pointd_showdb_0");
  debug_printf("%s (%g %g)\n", name->text ? name->text : "", p->x, p->y);
}

void pointd_showdb_1(const pointd *p, const pointd *q, const String *name) {
  TRACE("pointd_showdb_1");
  debug_printf("%s (%g %g) (%g %g)\n", name->text ? name->text : "", p->x, p->y, q->x, q->y);
}

// The index heapsort of the doubles, keyed on one coordinate of each point; an empty
// list leaves ix as it was.
void pointd_sortix(vectorl *ix, const pointdlist *v, uint16_t axis) {
  TRACE("pointd_sortix_0");
  if (v->count == 0) return;
  vectord keys = {};
  vectord_resize(&keys, v->count, v->count);
  for (int32_t i = 0; i < v->count; i++) keys.data[i] = axis == 1 ? v->data[i].x : v->data[i].y;
  vectord_sortix_1(ix, &keys);
  vectord_free(&keys);
}
