// appwin: the application windows' calls made from the layers below them (run
// control, the solve drivers, plots and the batch reader), as a table the windows
// install at start-up. Until then every entry does nothing and asks answer No.
#pragma once
#include <cstdint>

#include "runtime/strings.h"
#include "runtime/vectorn.h"

struct pde;

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
  void (*get_tile_params)(pde *p, int32_t n);
  void (*tile_plots)(pde *p, const vectorn *plots, int32_t first);
  void (*tile_eig_plots)(pde *p, const vectorn *plots, int32_t first);
  void (*tile_time_windows)(pde *p);
  void (*enable_plots)(pde *p);
  void (*enable_monitors)(pde *p);
  bool (*view_pde)(const String *path);  // opens a recorded plot file in a viewer
  void (*close_all)();                 // closes every viewer
};

// The table in use; entries the windows have not installed are harmless no-ops.
extern AppWindows appwin;
