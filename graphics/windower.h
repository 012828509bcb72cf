// windower: the main window's caption and the layout of a problem's plot windows.
#pragma once
#include <cstdint>

#include "runtime/strings.h"

struct pde;

int windower_init();

// Sets the main window's caption from the product name and the problem name
// (an empty name: no problem).
void windower_root_caption(const String *name);
void windower_get_tile_params(pde *p, int32_t windows);
void windower_tile_plots(pde *p, void *plots, int32_t first);
void windower_tile_eig_plots(pde *p, void *plots, int32_t first);
void windower_enable_plots(pde *p);
