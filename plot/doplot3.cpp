// doplot3, headless: three-dimensional drawing is not built yet; nothing is drawn.
#include "plot/doplot3.h"

#include "runtime/rtlib.h"

int doplot3_init() {
  TRACE("doplot3");
  return 0;
}

void doplot3_show_3d_mesh(pde *, uint16_t, Mesh *, uint8_t) {}
