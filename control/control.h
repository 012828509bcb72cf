// control: the run controller. One main loop gives every open problem one step of
// its phase per pass, acts on the stop, close and error requests, runs the batch
// list and pumps the window messages; beside it the stage work the phases call
// (loading, parsing with the SELECT defaults, sizes, mesh, solve, plot-file header
// and eigenvalue listing).
#pragma once
#include <cstdint>

#include "reader/ppde.h"
#include "runtime/strings.h"

struct pde;

// The services run control calls in other subsystems.
//
// Design: every call of run control (control, pdedat, verdat) into another
// subsystem whose result decides what run control does next, or whose effect a
// test has to see, goes through this one table: the reader and DXF import, the
// mesher, equation analysis, the solvers, the message pump, message boxes and
// questions, the editor, the current directory and the pens. Each entry points at
// the subsystem's own function from the start of the process; a test replaces
// single entries with doubles and control_default_services() puts the subsystems'
// own functions back. Nothing is replaced at link time, so the real subsystems can
// grow behind the table without touching the tests. Calls whose effect no test
// replaces (menus, plot windows, exports, the status panel's record) go straight
// to their modules.
struct TextLoc;
struct ControlServices {
  void (*parse)(pde *p, uint16_t text, uint8_t pass);  // parse one text into p
  int32_t (*import_dxf)(const String *path);           // directory and name; 0 when the drawing became a descriptor
  int32_t (*freshmesh)(pde *p, uint8_t meshing, int32_t meshcount);
  int32_t (*grid3d)(pde *p);
  int32_t (*analyze)(pde *p);
  void (*initial_values)(pde *p, double start);
  int32_t (*evolve)(pde *p);
  int32_t (*eigen)(pde *p);
  int32_t (*nonlinear)(pde *p);
  int32_t (*linear)(pde *p);
  void (*dispatch)(uint8_t wait);  // empty the message queue; wait 1: wait for one
  uint8_t (*can_wait)();           // 1 when a message can still arrive
  void (*message)(uint16_t view, const String *message, const String *caption);
  int16_t (*yesno)(uint16_t view, const String *message, const String *caption);  // nonzero: yes
  uint8_t (*edit_text)(uint16_t text, uint16_t view, const TextLoc *caret);       // 0: refused
  void (*get_cwd)(String *dir);    // the current directory, ending with the separator
  int (*set_cwd)(const String *dir);
  void (*create_pens)(float unit, int32_t width);
};
extern ControlServices control_services;
// Puts the subsystems' own entry points back into control_services.
void control_default_services();

extern uint16_t control_parse_nesting;  // parser nesting counter
// 1 once a problem of the run ended with an error or could not be opened; a batch
// run then ends with exit code 1.
extern uint8_t control_failed;
// Set when a run ended with an answer that did not converge.
extern uint8_t control_unconverged;

int control_init();

// The main loop; returns when the running flag is 0.
void control_control_loop();

// ---- Stage work called by the phases (the rest is private to control.cpp) ----------
// Reads the configuration and descriptor texts: 4 when the descriptor was read,
// 0 (with the "No Input File: " message) when it was not.
int32_t control_loadup(pde *p);
// Opens the problem's run log when it is not open (the version line first), builds
// the run header and writes the START line. False when the log cannot be created.
bool control_start_log(pde *p);
// Parses the configuration text (pass 0) and the descriptor (pass 1) over the
// SELECT defaults; phase 5 on success, a parse error jumps out.
void control_parse_file(pde *p);
