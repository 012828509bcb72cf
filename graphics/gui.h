// gui: the application's windows as run control drives them: the main window, the
// problem window, the editor, the plot windows. Headless bodies until they are built.
#pragma once
#include <cstdint>

struct pde;

int gui_init();

// Starts the graphics layer and creates the main window.
void gui_graphinit();
// Creates the problem window with its status panel.
void gui_pde_window(pde *p);
// Opens the editor on the descriptor: when the editor takes the text, the current
// stage becomes 1, the stage value 1.0, the phase is kept as the previous phase and
// becomes 2; otherwise the error flag is set.
void gui_edit_pde(pde *p);
void gui_haltmenu(pde *p);
void gui_runmenu(pde *p);
void gui_build_windows(pde *p);
void gui_close_plots(pde *p);
// Offers to save a modified descriptor text.
void gui_check_save(pde *p);
// The grid-limit question: cells above the error limit and the largest cell error; true
// when the user wants more grids.
bool gui_warngrid(pde *p, int32_t cells, double maxerr);
