// gagscren, headless: no message queue and no pens.
#include "graphics/gagscren.h"
#include "runtime/rtlib.h"

void gagscren_dispatch(uint8_t) {}
void gagscren_create_pens(float, int32_t) {}

int gagscren_init() {
  TRACE("gagscren");
  return 0;
}
