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

// ---- Plots of a window, rotation windows ---------------------------------------------------

// The problem, plot (index, 0 none) and mode shown in a window; the current problem
// and no plot when nothing matches.
struct gui_found {
  pde *p;
  uint16_t plot, mode;
};
gui_found find_plot(uint16_t window);

// Commands of the rotation windows, and Rotate of a 3D plot window.
enum { GUI_ROTATE = 404, GUI_REDRAW = 600, GUI_CANCEL = 601, GUI_ALLMODES = 602 };

// A rotation window over a plot window (free while its window is 0): the angles in
// degrees (the elevation 0..180, the azimuth 0..360 after showrotation), the eye's
// distance from the box centre in box diagonals, the view angles in radians (azimuth
// of the eye seen from the centre, elevation), and the plot it turns.
struct rotation {
  uint16_t window, plotwindow;
  int32_t elevation, azimuth;
  double distance;
  double angles[2];
  double eye;
  uint16_t mode;
  gui_found found;
  double centre[2], diagonal;  // the box the plot's eye circles
};
extern rotation gui_rotations[4];

// Opens a rotation window inside the plot window: the record number 1-4, 0 when all
// four are in use or the window's plot is neither a 3D GRID nor a SURFACE plot
// ("BAD ROTATE").
int32_t buildrotation(uint16_t plotwindow);
// Brings the record's angles into range, sets the scroll bars and draws the
// orientation model.
void showrotation(int32_t k);
int32_t rotationwinfunc(uint16_t view, int16_t event, intptr_t a, intptr_t b);
// Draws the plot again seen from the record's angles (every mode's window with all
// modes) and appends the pictures to the plot file as one group, unless the plot is
// one the plot file does not record.
void redraw(uint16_t plotview, int32_t k, uint8_t allmodes);
