// windower, headless: there is no main window to caption and no plot window to lay out.
#include "graphics/windower.h"
#include "platform/pwin.h"
#include "runtime/rtlib.h"

// The headless desktop's work area with the captions' height as the top edge.
windower_grid windower_tile_grid(int32_t n) {
  static const uint16_t rows[] = {1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3}, cols[] = {1, 1, 2, 2, 2, 3, 3, 3, 3, 3, 4};
  windower_grid g{};
  if (n < 1) n = 1;
  if (n <= 10) {
    g.rows = rows[n], g.cols = cols[n];
  } else {
    g.rows = 2;
    while (g.rows * (g.rows + 1) < n) g.rows++;
    g.cols = uint16_t((n + g.rows - 1) / g.rows);
  }
  int32_t w = 0, h = 0;
  pwin->work_area(&w, &h);
  int32_t c = pwin->caption_height(), top = c;
  int32_t width = (w - 150) / g.cols, height = width * 100 / 139 + c;
  if (g.rows * height > h - top) {
    height = (h - top) / g.rows;
    width = (height - c) * 139 / 100;
  }
  g.width = uint16_t(width), g.height = uint16_t(height), g.x = 150, g.y = uint16_t(top);
  return g;
}

void windower_root_caption(const String *) {}
void windower_get_tile_params(pde *, int32_t) {}
void windower_tile_plots(pde *, void *, int32_t) {}
void windower_tile_eig_plots(pde *, void *, int32_t) {}
void windower_enable_plots(pde *) {}

int windower_init() {
  TRACE("windower");
  return 0;
}
