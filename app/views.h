// views: the viewer of a recorded plot file. A viewer window with its status panel
// shows one recorded group at a time in tiled plot windows, steps forward and back,
// restarts, prints a group, exports a plot and plays the groups as a movie, of all
// plots or of one plot window. Several viewers can be open at once.
#pragma once
#include <cstdint>

#include "graphics/display.h"
#include "runtime/filio.h"
#include "runtime/strings.h"
#include "runtime/vectorl.h"
#include "runtime/vectorn.h"

int views_init();

// Viewer commands: the viewer window's and the viewer plot windows' menus.
enum {
  VIEWS_NEXT = 700, VIEWS_PREVIOUS = 701, VIEWS_RESTART = 702, VIEWS_PRINTALL = 703,
  VIEWS_MOVIE = 704, VIEWS_STOP = 705,
  VIEWS_PLOT_PRINT = 400, VIEWS_PLOT_SETUP = 401, VIEWS_PLOT_BLACKPRINT = 402,
  VIEWS_PLOT_EXPORT = 403, VIEWS_PLOT_MOVIE = 404, VIEWS_PLOT_STOP = 405
};

// Opens the recorded plot file at the path (trailing blanks dropped) in a new viewer
// and shows its first group. A file of an open problem, or one that will not open,
// gets a message instead and the result is false.
bool views_view_pde(const String *path);
// Closes every open viewer with its windows and file (the program's end).
void views_close_all();
// Registers the classes "viewwin" and "vplotwin" with the viewer's menus (done by
// the first viewer when start-up has not).
void views_view_class();

// The pause between the frames of a movie of one plot window (display_delay;
// tests count the frames instead of waiting).
extern void (*views_delay)(uint16_t ms);

// One open viewer (window 0: a free record).
struct viewer {
  uint16_t window;                  // the viewer window
  uint8_t timed, staged, iconized;  // from the header flags; the window minimised
  uint8_t busy, movie, movierequest, stop;
  uint8_t closing;                  // closed while busy: closed when the show ends
  String name, directory, path;     // the file's name, its directory, the whole path
  String title, problem;            // the header's two Strings
  uint16_t slots, current, modes;
  uint16_t step, stage, grid;
  int32_t nodes, cells;
  double time, rms;
  uint16_t pendnext, pendprevious, pendrestart;
  uint16_t moviewindow;             // 0: a movie of all plots
  uint16_t requestwindow;           // the window of a movie asked for while busy
  vectorn windows;                  // per slot its plot window (slots + 1 entries, 0 none)
  vectorn group;                    // the slots of the current group
  vectorl positions;                // file position of each group read so far
  pad panel;
  uint16_t exports;                 // metafiles exported so far
  IOfile file;
};

// The viewer of a viewer window or of one of its plot windows (null: none); the
// viewer records in use or free, 1-based.
viewer *views_find(uint16_t window);
viewer *views_record(int32_t k);
int32_t views_record_count();
