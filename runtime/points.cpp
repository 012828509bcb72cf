// points: plane points of floats and their arrays and lists.
#include "runtime/points.h"

#include <cmath>

#include "runtime/debug.h"
#include "runtime/pointlist.h"
#include "runtime/strings.h"

// Nothing to set up; unlike most modules this one does not trace its start.
int points_init() { return 0; }

POINTLIST_OPERATIONS(points, points, pointslist)
POINTLIST_PRINT(points, pointslist)

void points_setpoint_0(points *p, float x, float y) {
  TRACE("points_setpoint_0");
  p->x = x;
  p->y = y;
}

int32_t points_one_more_1(pointslist *v, double x, double y) {
  TRACE("points_one_more_1");
  return vecbase_one_more(v, points{static_cast<float>(x), static_cast<float>(y)}, "points_resize_1");
}

void points_showdb_0(const points *p, const String *name) {
  TRACE("points_showdb_0");
  debug_printf("%s (%g %g)\n", name->text ? name->text : "", p->x, p->y);
}

void points_showdb_1(const points *p, const points *q, const String *name) {
  TRACE("points_showdb_1");
  debug_printf("%s (%g %g) (%g %g)\n", name->text ? name->text : "", p->x, p->y, q->x, q->y);
}
