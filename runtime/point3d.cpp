// point3d: space points of doubles and their arrays and lists.
#include "runtime/point3d.h"

#include <cmath>

#include "runtime/debug.h"
#include "runtime/pointlist.h"
#include "runtime/point3s.h"
#include "runtime/strings.h"

// Nothing to set up; unlike most modules this one does not trace its start.
int point3d_init() { return 0; }

POINTLIST_OPERATIONS(point3d, point3d, point3dlist)
POINTLIST_PRINT(point3d, point3dlist)

void point3d_setpoint_0(point3d *p, double x, double y, double z) {
  TRACE("point3d_setpoint_0");
  p->x = x;
  p->y = y;
  p->z = z;
}

// From a float point.
void point3d_copyto_0(point3d *d, const point3s *s) {
  TRACE("point3d_copyto_0");
  d->x = s->x;
  d->y = s->y;
  d->z = s->z;
}

// To a float point.
void point3d_copyto_1(point3s *d, const point3d *s) {
  TRACE("point3d_copyto_1");
  d->x = static_cast<float>(s->x);
  d->y = static_cast<float>(s->y);
  d->z = static_cast<float>(s->z);
}

void point3d_copyto_2(point3dlist *d, const point3dlist *s) {
  TRACE("point3d_copyto_2");
  vecbase_copy(d, s, "point3d_resize_1");
}

// Writes the point at i when i <= count, moving points i..count up; beyond the
// count nothing happens (unlike the plane form, this never appends).
void point3d_insert_0(point3dlist *v, int32_t i, const point3d *p) {
  TRACE("point3d_insert_0");
  if (i > v->count) return;
  pointlist_insert(v, i, *p, "point3d_insert_0", "point3d_resize_1");
}

// Removes point i when i <= count.
void point3d_delete_0(point3dlist *v, int32_t i) {
  TRACE("point3d_delete_0");
  if (i > v->count) return;
  pointlist_delete(v, i, "point3d_delete_0");
}

double point3d_distance_0(const point3d *p, const point3d *q) {
  TRACE("point3d_distance_0");
  return sqrt(pointlist_distance2(p, q));
}

double point3d_distance2_0(const point3d *p, const point3d *q) {
  TRACE("point3d_distance2_0");
  return pointlist_distance2(p, q);
}

double point3d_distance_1(double x1, double y1, double z1, double x2, double y2, double z2) {
  TRACE("point3d_distance_1");
  point3d p = {x1, y1, z1}, q = {x2, y2, z2};
  return sqrt(pointlist_distance2(&p, &q));
}

double point3d_distance2_1(double x1, double y1, double z1, double x2, double y2, double z2) {
  TRACE("point3d_distance2_1");
  point3d p = {x1, y1, z1}, q = {x2, y2, z2};
  return pointlist_distance2(&p, &q);
}

void point3d_showdb_0(const point3d *p, const String *name) {
  TRACE("point3d_showdb_0");
  debug_printf("%s (%g %g %g)\n", name->text ? name->text : "", p->x, p->y, p->z);
}

void point3d_showdb_1(const point3d *p, const point3d *q, const String *name) {
  TRACE("point3d_showdb_1");
  debug_printf("%s (%g %g %g) (%g %g %g)\n", name->text ? name->text : "", p->x, p->y, p->z, q->x, q->y, q->z);
}
