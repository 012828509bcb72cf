// appwin: the application windows' calls made from the layers below them (run
// control, the solve drivers, plots and the batch reader), as a table the windows
// install at start-up. Until then every entry does nothing and asks answer No.
#pragma once
#include <cstdint>

#include "runtime/strings.h"
#include "runtime/vectorn.h"

struct pde;
struct PlotSet;
struct Switches;
struct WindowState;

struct AppWindows {
  void (*graphinit)();                 // start-up: menus, classes, main window
  void (*root_caption)(const String *name);  // the main window's caption
  void (*pde_window)(pde *p);          // the problem's window, once
  void (*edit_pde)(pde *p);            // the editor on the descriptor
  void (*build_windows)(pde *p);       // the plot windows of a run
  void (*close_plots)(pde *p);         // kills every plot window of the problem
  void (*check_save)(pde *p);          // offers to save a modified descriptor
  bool (*warngrid)(pde *p, int32_t cells, double maxerr);  // true: more grids wanted
  void (*haltmenu)(pde *p);            // "HaltedMenu"
  void (*runmenu)(pde *p);             // "RunningMenu"
  // The tiling of a problem's plot windows (app/windower.h).
  void (*get_tile_params)(WindowState *w, int32_t n);
  void (*tile_plots)(WindowState *w, const PlotSet *set, const vectorn *plots, int32_t first);
  void (*tile_eig_plots)(WindowState *w, const PlotSet *set, const vectorn *plots, int32_t first, uint16_t modes);
  void (*tile_time_windows)(WindowState *w, const PlotSet *set);
  void (*enable_plots)(WindowState *w, const PlotSet *set, const Switches *run, uint16_t modes);
  void (*enable_monitors)(WindowState *w, const PlotSet *set, const Switches *run, uint16_t modes);
  bool (*view_pde)(const String *path);  // opens a recorded plot file in a viewer
  void (*close_all)();                 // closes every viewer
};

// The table in use; entries the windows have not installed are harmless no-ops.
extern AppWindows appwin;
