// windower: the layout of a problem's plot windows in a grid of tiles right of the
// column of problem windows, the show and hide requests deferred while a window is
// minimised, and the main window's caption.
#pragma once
#include <cstdint>

#include "runtime/strings.h"
#include "runtime/vectorn.h"

struct PlotSet;
struct Switches;
struct WindowState;

int windower_init();

enum { WINDOWER_HIDE = 4096 };  // added to a view in the deferred list: hide it

// The tile grid for n >= 1 windows: rows and columns (a table up to 10, else the
// least r >= 2 with r(r + 1) >= n rows), tiles of the aspect 139:100 plus a caption,
// shrunk to fit the work area's height, the first at (150, T).
struct windower_grid {
  uint16_t rows, cols, width, height, x, y;
};
windower_grid windower_tile_grid(int32_t n);
// The grid into the problem's tile parameters; nothing for n = 0.
void windower_get_tile_params(WindowState *w, int32_t n);
// Moves the windows of the listed plots (numbers into the set's records) to tiles first, first + 1, ... (row by row)
// and shows them, menu bars on for tiles 301 pixels high or more; while the main
// window or the problem is minimised the show is deferred instead.
void windower_tile_plots(WindowState *w, const PlotSet *set, const vectorn *plots, int32_t first);
// The same for every mode's window (mode 1's plots first), then the eigenvalue window.
void windower_tile_eig_plots(WindowState *w, const PlotSet *set, const vectorn *plots, int32_t first, uint16_t modes);
// Drops the listed plots' display lists and hides their windows (deferred while minimised).
void windower_hide_plots(WindowState *w, const PlotSet *set, const vectorn *plots);
void windower_hide_eig_plots(WindowState *w, const PlotSet *set, const vectorn *plots, uint16_t modes);
// Shows the plots and hides the monitors, or the other way round; a time-dependent
// problem's histories keep their tiles after either set; an eigenvalue problem (the
// run's eigen switch) shows each plot once a mode.
void windower_enable_plots(WindowState *w, const PlotSet *set, const Switches *run, uint16_t modes);
void windower_enable_monitors(WindowState *w, const PlotSet *set, const Switches *run, uint16_t modes);
// Lays out a time-dependent problem's windows: the set shown now (plots, or monitors
// while they are shown), then the histories.
void windower_tile_time_windows(WindowState *w, const PlotSet *set);
// Carries out the deferred requests in order, pumping after each, and empties the list.
void windower_do_tiling(WindowState *w);
// The main window's caption: "name: " (when the name is not empty), the product
// name, a blank, the version and " 3D".
void windower_root_caption(const String *name);
