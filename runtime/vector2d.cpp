// vector2d: a nested container whose members are vectord records.
#include "runtime/vector2d.h"

#include "runtime/vectornest.h"

static const char LENGTH[] = "VECTOR2 LENGTH ERROR";

NEST_LIFE(vector2d, "NEW VECTOR2 ALREADY ALLOCATED", vectord_free, vectord_print_1, vectord_copyto_0)
NEST_FILL(vector2d, double, vectord_copyto_1)
NEST_ARITH(vector2d, vectord, LENGTH)

vectord *vector2d_get_work(vector2d *pool, int32_t n) {
  TRACE("vector2d_get_work_0");
  vectord *m = nullptr;
  for (int32_t i = 0; i < pool->count && !m; i++)
    if (pool->data[i].count == 0) m = &pool->data[i];
  if (!m) {
    if (pool->count + 1 > pool->capacity) rtlib_fatal_in("vector2d_get_work_0", "WORKSPACE OVERRUN");
    m = &pool->data[pool->count++];
  }
  vectord_resize(m, n, n);
  return m;
}

void vector2d_free_work(vectord *member) {
  TRACE("vector2d_free_work_0");
  member->count = 0;
}
