// windower: the main window's caption and the layout of a problem's plot windows.
#pragma once
#include <cstdint>

#include "runtime/strings.h"

struct pde;

int windower_init();

// Sets the main window's caption from the product name and the problem name
// (an empty name: no problem).
void windower_root_caption(const String *name);
// The tile grid for n >= 1 windows: rows and columns (a table up to 10, else the
// least r >= 2 with r(r + 1) >= n rows), tiles of the aspect 139:100 plus a caption,
// shrunk to fit the work area's height, the first at (150, T).
struct windower_grid {
  uint16_t rows, cols, width, height, x, y;
};
windower_grid windower_tile_grid(int32_t n);
void windower_get_tile_params(pde *p, int32_t windows);
void windower_tile_plots(pde *p, void *plots, int32_t first);
void windower_tile_eig_plots(pde *p, void *plots, int32_t first);
void windower_enable_plots(pde *p);
