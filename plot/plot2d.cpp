// plot2d, headless: there are no plot meshes to mark.
#include "plot/plot2d.h"
#include "runtime/rtlib.h"

void plot2d_invalidate_plotmeshes(pde *) {}

int plot2d_init() {
  TRACE("plot2d");
  return 0;
}
