// point3s: space points of floats and their arrays and lists.
#include "runtime/point3s.h"

#include <cmath>

#include "runtime/debug.h"
#include "runtime/pointlist.h"
#include "runtime/strings.h"

// Nothing to set up; unlike most modules this one does not trace its start.
int point3s_init() { return 0; }

POINTLIST_OPERATIONS(point3s, point3s, point3slist)

void point3s_setpoint_0(point3s *p, float x, float y, float z) {
  TRACE("point3s_setpoint_0");
  p->x = x;
  p->y = y;
  p->z = z;
}

double point3s_distance_0(const point3s *p, const point3s *q) {
  TRACE("point3s_distance_0");
  return sqrt(pointlist_distance2(p, q));
}

double point3s_distance2_0(const point3s *p, const point3s *q) {
  TRACE("point3s_distance2_0");
  return pointlist_distance2(p, q);
}

void point3s_showdb_0(const point3s *p, const String *name) {
  TRACE("point3s_showdb_0");
  debug_printf("%s (%g %g %g)\n", name->text ? name->text : "", p->x, p->y, p->z);
}

void point3s_showdb_1(const point3s *p, const point3s *q, const String *name) {
  TRACE("point3s_showdb_1");
  debug_printf("%s (%g %g %g) (%g %g %g)\n", name->text ? name->text : "", p->x, p->y, p->z, q->x, q->y, q->z);
}
