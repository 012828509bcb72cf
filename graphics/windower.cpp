// windower, headless: there is no main window to caption and no plot window to lay out.
#include "graphics/windower.h"
#include "runtime/rtlib.h"

void windower_root_caption(const String *) {}
void windower_get_tile_params(pde *, int32_t) {}
void windower_tile_plots(pde *, void *, int32_t) {}
void windower_tile_eig_plots(pde *, void *, int32_t) {}
void windower_enable_plots(pde *) {}

int windower_init() {
  TRACE("windower");
  return 0;
}
