// gui: the application's windows: the main window with its banner, one problem
// window per open problem (status panel, halted or running menu), the descriptor
// editor, the domain window and the plot windows of a run, their window classes,
// menus and callbacks. Callbacks never run a phase: they set fields of the problem
// record (phase, stop, finish, close, domain only, modified) that the main loop acts on.
#pragma once
#include <cstdint>

#include "runtime/strings.h"

struct pde;
struct plotrec;

int gui_init();

// Program-wide: the main window and its banner view; the desktop work area, the
// caption height C and the top edge T of the problem windows (the main window's
// outer less its client height); the editor's place; the main window minimised;
// the counter of new problems.
extern uint16_t gui_rootview, gui_bannerview;
extern int32_t gui_screenwidth, gui_screenheight, gui_captionheight, gui_top;
extern int32_t gui_editx, gui_edity, gui_editwidth, gui_editheight;
extern uint8_t gui_rooticonized;
extern int32_t gui_newcount;

// Menu command ids.
enum {
  GUI_EXIT = 110, GUI_NEW = 101, GUI_OPEN = 102, GUI_IMPORT_DXF = 105, GUI_VIEW = 130, GUI_HELP = 120,
  GUI_CLOSE = 212, GUI_SAVE = 210, GUI_SAVEAS = 211, GUI_PRINTALL = 213, GUI_MODIFY = 201,
  GUI_CONTINUE = 202, GUI_STOP = 300, GUI_FINISH = 301,
  GUI_SETUP = 401, GUI_PRINT = 400, GUI_BLACKPRINT = 402, GUI_EXPORT = 403, GUI_ROTATE = 404,
  GUI_DOMAIN_RUN = 410, GUI_DOMAIN_EDIT = 411,
  GUI_EDIT_ABANDON = 501, GUI_EDIT_SAVE = 502, GUI_EDIT_SAVEAS = 503, GUI_EDIT_DOMAIN = 510,
  GUI_EDIT_RUN = 500
};

// Start-up: the named menus, the window classes, the main window (hidden, then
// shown) with its banner view, the geometry above, the panel text colour.
void gui_graphinit();
// The problem's windows, once: problem window (with its status panel of
// trunc(0.0625 x (480 - T)) lines and its full-area view), hidden editor and domain window.
void gui_pde_window(pde *p);
// Shows the editor on the descriptor: loaded, the stage becomes 1 (value 1.0), the
// phase 2 (the old one kept as previous) and the descriptor the edited text; too
// long for the editor, the error flag is set.
void gui_edit_pde(pde *p);
// The plot windows of a run (hidden), with the "Eigenvalues" window and one window
// per mode for eigenvalue problems; only when the problem has plots.
void gui_build_windows(pde *p);
// Kills every plot window of the problem (every mode's, and the eigenvalue window).
void gui_close_plots(pde *p);
// Offers to save the modified descriptor; afterwards it counts as unmodified.
void gui_check_save(pde *p);
// The grid-limit question: cells above the error limit and the largest cell error;
// true when the user wants more grids.
bool gui_warngrid(pde *p, int32_t cells, double maxerr);
// The problem window's menu: "HaltedMenu" / "RunningMenu".
void gui_haltmenu(pde *p);
void gui_runmenu(pde *p);

// Asks a running problem "Quit <name>?" (No: false, nothing changes); offers to
// save a modified descriptor; sets stop and close (and error for a running one).
// The result is the close flag.
bool close_pde(pde *p, uint16_t window);
// The Save As dialog for a descriptor, starting in the current directory, or when
// that is read-only in the problem's fallback folder (the temporary directory when
// it has none, which then becomes it); true on a non-empty choice, in path.
bool saveasname(String *path, pde *p, uint16_t window);
// The problem, plot (index, 0 none) and mode shown in a window; the current
// problem and no plot when nothing matches.
struct gui_found {
  pde *p;
  uint16_t plot, mode;
};
gui_found find_plot(uint16_t window);

// ---- Rotation windows ------------------------------------------------------------------------

// Commands of the rotation windows, and Rotate of a 3D plot window.
enum { GUI_REDRAW = 600, GUI_CANCEL = 601, GUI_ALLMODES = 602 };

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
