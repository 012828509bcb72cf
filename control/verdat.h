// verdat: the program's version texts and the command line's options and file name.
#pragma once
#include <cstdint>

#include "runtime/settings.h"
#include "runtime/strings.h"

// The program-wide texts the main routine sets before the version texts are built.
extern String verdat_product;      // "Quendar": captions, headers and version texts
extern String verdat_product2;     // "Quendar"
extern String verdat_pdeext;       // "pde"
extern String verdat_plotext;      // "pgx"
extern const char *verdat_buildtime;  // the build time of the main module

// The version texts built by verdat_get_version.
extern String verdat_version;      // "2.20d"
extern String verdat_prodversion;  // product, a blank, the version number
extern String verdat_versionline;  // " Version ", the number, two blanks, the build time

// Option flags (0 at start, except the full-height flag).
// B, a batch run, is the runtime's settings.batch; the product and version line
// verdat_get_version builds is settings.versiontext.
extern uint8_t verdat_defsignals;  // D
extern uint8_t verdat_fullheight;  // F (1), N (0)
extern uint8_t verdat_macro;       // M, toggled by each M
extern uint8_t verdat_opendialog;  // O
extern uint8_t verdat_parseonly;   // P
extern uint8_t verdat_view;        // V
extern uint8_t verdat_exit;        // X
extern uint8_t verdat_edit_only;   // E given: the problem named is opened, not run
extern uint8_t verdat_runflag;     // E (0) or R (1), for the problem named
extern String verdat_viewname;     // the plot file to view (option V)
// No display and no B: nobody can answer a window, so every failure is reported as
// in a batch run (in the run log) and the exit code says so.
extern uint8_t verdat_nodisplay;
// True when failures go to the run log rather than to windows: B, or no display.
bool verdat_reports_in_log();

int verdat_init();
// Builds the four version texts.
void verdat_get_version();
// Reads the command line: options, and the last other word as the problem file.
void verdat_get_params();
