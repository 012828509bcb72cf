// pointl: integer plane points and their arrays and lists.
#include "runtime/pointl.h"

#include <cmath>

#include "runtime/debug.h"
#include "runtime/pointlist.h"
#include "runtime/strings.h"

// Nothing to set up; unlike most modules this one does not trace its start.
int pointl_init() { return 0; }

POINTLIST_OPERATIONS(pointl, pointl, pointllist)

void pointl_setpoint_0(pointl *p, int32_t x, int32_t y) {
  TRACE("pointl_setpoint_0");
  p->x = x;
  p->y = y;
}

void pointl_showdb_0(const pointl *p, const String *name) {
  TRACE("pointl_showdb_0");
  debug_printf("%s (%d %d)\n", name->text ? name->text : "", p->x, p->y);
}

void pointl_showdb_1(const pointl *p, const pointl *q, const String *name) {
  TRACE("pointl_showdb_1");
  debug_printf("%s (%d %d) (%d %d)\n", name->text ? name->text : "", p->x, p->y, q->x, q->y);
}
