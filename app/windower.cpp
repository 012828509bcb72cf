// windower: tiles of plot windows, deferred show requests and the main caption.
#include "app/windower.h"

#include <algorithm>

#include "control/verdat.h"
#include "graphics/appwin.h"
#include "graphics/gag.h"
#include "graphics/gagscren.h"
#include "app/gui.h"
#include "model/plot_records.h"
#include "model/switches.h"
#include "model/window_record.h"
#include "runtime/rtlib.h"

enum { COLUMN = 150 };  // the width of the column of problem windows

windower_grid windower_tile_grid(int32_t n) {
  static const uint16_t rows[11] = {0, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3};
  static const uint16_t cols[11] = {0, 1, 2, 2, 2, 3, 3, 3, 3, 3, 4};
  int32_t r, c;
  if (n <= 10) {
    r = rows[n], c = cols[n];
  } else {
    for (r = 2; r * (r + 1) < n; r++) {}
    c = (n + r - 1) / r;
  }
  int32_t w = (gui_screenwidth - COLUMN) / c;
  int32_t h = w * 100 / 139 + gui_captionheight;
  if (r * h > gui_screenheight - gui_top) {
    h = (gui_screenheight - gui_top) / r;
    w = (h - gui_captionheight) * 139 / 100;
  }
  return {uint16_t(r), uint16_t(c), uint16_t(w), uint16_t(h), COLUMN, uint16_t(gui_top)};
}

void windower_get_tile_params(WindowState *p, int32_t n) {
  TRACE("windower_get_tile_params");
  if (n <= 0) return;
  windower_grid g = windower_tile_grid(n);
  p->tilerows = g.rows, p->tilecols = g.cols;
  p->tilewidth = g.width, p->tileheight = g.height;
  p->tilex = g.x, p->tiley = g.y;
}

static bool minimised(const WindowState *p) { return gui_rooticonized || p->iconized; }

// Tile t (from 1, row by row) for one window.
static void place(WindowState *p, uint16_t window, int32_t t) {
  if (!checkview(window) || p->tilecols == 0) return;
  int32_t row = (t + p->tilecols - 1) / p->tilecols, col = t - (row - 1) * p->tilecols;
  gag_movewindow(window, int16_t(p->tilex + (col - 1) * p->tilewidth),
                 int16_t(p->tiley + (row - 1) * p->tileheight), p->tilewidth, p->tileheight);
  if (minimised(p)) {
    vectorn_one_more(&p->deferred, window);
    return;
  }
  if (p->tileheight >= 301) gag_enablemenu_0(window);
  else gag_disablemenu(window);
  gag_showwindow(window, 3);
}

static void hide(WindowState *p, uint16_t window) {
  if (!checkview(window)) return;
  gag_forget(window);
  if (minimised(p)) vectorn_one_more(&p->deferred, uint16_t(window + WINDOWER_HIDE));
  else gag_showwindow(window, 2);
}

static const plotrec *plot_of(const PlotSet *p, uint16_t index) {
  return index >= 1 && index <= p->plotrecs.count ? &p->plotrecs.data[index - 1] : nullptr;
}

// The window of the plot's mode (mode 1 without a mode table: the plot's own).
static uint16_t mode_window(const plotrec *r, uint16_t mode) {
  if (r->modeviews.rows >= mode && r->modeviews.cols >= 1)
    return r->modeviews.data[(mode - 1) * r->modeviews.cols];
  return mode == 1 ? r->views[0] : 0;
}

void windower_tile_plots(WindowState *p, const PlotSet *set, const vectorn *plots, int32_t first) {
  TRACE("windower_tile_plots");
  for (int32_t k = 1; k <= plots->count; k++)
    if (const plotrec *r = plot_of(set, plots->data[k - 1])) place(p, r->views[0], first + k - 1);
}

void windower_tile_eig_plots(WindowState *p, const PlotSet *set, const vectorn *plots, int32_t first, uint16_t modes) {
  TRACE("windower_tile_eig_plots");
  int32_t t = first;
  for (uint16_t m = 1; m <= modes; m++)
    for (int32_t k = 1; k <= plots->count; k++)
      if (const plotrec *r = plot_of(set, plots->data[k - 1])) place(p, mode_window(r, m), t++);
  place(p, p->eigview, t);
}

void windower_hide_plots(WindowState *p, const PlotSet *set, const vectorn *plots) {
  TRACE("windower_hide_plots");
  for (int32_t k = 1; k <= plots->count; k++)
    if (const plotrec *r = plot_of(set, plots->data[k - 1])) hide(p, r->views[0]);
}

void windower_hide_eig_plots(WindowState *p, const PlotSet *set, const vectorn *plots, uint16_t modes) {
  TRACE("windower_hide_eig_plots");
  for (int32_t k = 1; k <= plots->count; k++)
    if (const plotrec *r = plot_of(set, plots->data[k - 1]))
      for (uint16_t m = 1; m <= modes; m++) hide(p, mode_window(r, m));
  hide(p, p->eigview);
}

// A time-dependent problem's grid has room for the larger of its plot and monitor
// sets, then its histories, so that either set takes the same tiles beside them.
static int32_t set_room(const PlotSet *set) { return std::max(set->plots.count, set->monitors.count); }

void windower_tile_time_windows(WindowState *p, const PlotSet *set) {
  TRACE("windower_tile_time_windows");
  windower_get_tile_params(p, set_room(set) + set->histories.count);
  windower_tile_plots(p, set, p->monitorsshown ? &set->monitors : &set->plots, 1);
  windower_tile_plots(p, set, &set->histories, set_room(set) + 1);
}

// Shows one set and hides the other.
static void switch_sets(WindowState *p, const PlotSet *set, const Switches *run, uint16_t modes, const vectorn *show,
                        const vectorn *other) {
  if (run->eigen) {
    windower_hide_eig_plots(p, set, other, modes);
    windower_get_tile_params(p, modes * show->count + 1);
    windower_tile_eig_plots(p, set, show, 1, modes);
  } else if (run->timedep) {
    windower_hide_plots(p, set, other);
    windower_get_tile_params(p, set_room(set) + set->histories.count);
    windower_tile_plots(p, set, show, 1);
  } else {
    windower_hide_plots(p, set, other);
    windower_get_tile_params(p, show->count);
    windower_tile_plots(p, set, show, 1);
  }
}

void windower_enable_plots(WindowState *p, const PlotSet *set, const Switches *run, uint16_t modes) {
  TRACE("windower_enable_plots");
  switch_sets(p, set, run, modes, &set->plots, &set->monitors);
  p->plotsshown = 1;
  p->monitorsshown = 0;
}

void windower_enable_monitors(WindowState *p, const PlotSet *set, const Switches *run, uint16_t modes) {
  TRACE("windower_enable_monitors");
  switch_sets(p, set, run, modes, &set->monitors, &set->plots);
  p->monitorsshown = 1;
  p->plotsshown = 0;
}

void windower_do_tiling(WindowState *p) {
  TRACE("windower_do_tiling");
  for (int32_t k = 1; k <= p->deferred.count; k++) {
    uint16_t e = p->deferred.data[k - 1];
    if (e >= WINDOWER_HIDE) gag_showwindow(uint16_t(e - WINDOWER_HIDE), 2);
    else gag_showwindow(e, 3);
    gagscren_dispatch(0);
  }
  p->deferred.count = 0;
}

void windower_root_caption(const String *name) {
  TRACE("windower_root_caption");
  String c{};
  if (name && name->length) {
    strings_copyto_0(&c, name);
    strings_addto_1(&c, ": ");
  }
  strings_addto_0(&c, &verdat_product);
  strings_addto_1(&c, " ");
  strings_addto_0(&c, &verdat_version);
  strings_addto_1(&c, " 3D");
  // The main loop sets it before every step: the window is told only of a change.
  static String shown;
  static uint32_t shown_on;  // the platform window it was shown on
  if (checkview(gui_rootview)) {
    uint32_t window = gag_views[gui_rootview - 1]->window;
    if (shown_on != window || strings_compare_0(&c, &shown) != 0) {
      gag_setcaption(gui_rootview, &c);
      strings_copyto_0(&shown, &c);
      shown_on = window;
    }
  }
  strings_free_0(&c);
}

int windower_init() {
  TRACE("windower");
  appwin.root_caption = windower_root_caption;
  appwin.get_tile_params = windower_get_tile_params;
  appwin.tile_plots = windower_tile_plots;
  appwin.tile_eig_plots = windower_tile_eig_plots;
  appwin.tile_time_windows = windower_tile_time_windows;
  appwin.enable_plots = windower_enable_plots;
  appwin.enable_monitors = windower_enable_monitors;
  return 0;
}
