// pdedat: the problem record `pde` of every open descriptor (at most 10, in one
// table whose slots are reused), and the error reports on the current problem.
#pragma once
#include <cstdint>
#include <cstdio>

#include "runtime/report.h"
#include "runtime/settings.h"
#include "runtime/strings.h"

struct pde;
struct TextLoc;
struct TreeNode;

// The most problems open at once.
enum { PDEDAT_MAX_PDES = 10 };

// Program-wide: the problem table (slots 1..10) and its count (the highest slot ever
// used; it never shrinks). The current problem, set before each step, is the runtime's
// report_current, which the layers below read; the path separator and the batch log are
// fields of the runtime's settings.
extern pde *pdedat_table[PDEDAT_MAX_PDES + 1];
extern uint16_t pdedat_count;

// The batch list (option B): its count, names and states (0 waiting, 1 running,
// 2 done, entries 1..count) and the entry now running.
extern int32_t pdedat_batch_count;
extern StringList pdedat_batch_names;
extern uint8_t *pdedat_batch_states;
extern uint16_t pdedat_batch_index;

// Installs pdedat_reports and pdedat_panel as the runtime's report hooks and status panel.
int pdedat_init();

// Opens a record for the descriptor path name in a free slot (phase 1). With all
// ten slots in use it shows "Too Many Open PDE's" and returns null; nothing changes.
pde *pdedat_new_pde(const String *name);
// Opens the problem named on the command line (as pdedat_new_pde), makes its folder the
// current directory and gives it the run flag; nothing more when no slot is free.
void pdedat_open_named(const String *path, uint8_t runflag);
// Without a display: every open problem runs at once (as with -R); asked only to edit
// (edit_only), none is run, and each says so on standard error.
void pdedat_run_without_display(bool edit_only);
// Whether an open problem records its plot file (name.pgx) as file in directory.
bool pdedat_records_into(const String *file, const String *directory);
// Releases the problem's computed data, keeping the record, its names, texts,
// windows and log. A nested call only writes "RECURSIVE CLEAR_PDE" to the debug log.
void pdedat_clear_pde(pde *p);
// Releases everything the record holds and frees its slot (the record is zeroed).
void pdedat_free_pde(pde *p);
// Sets directory, name and log name from a path.
void pdedat_setpdename(pde *p, const String *path);

// Error reports: in the editor (interactive) or in the batch log (option B); each
// ends with the jump to the catch point (code 11) and does not return.
[[noreturn]] void pdedat_parse_err_0(pde *p, const TextLoc *loc, const String *message);
// The same at the source position of an expression tree (its location is found first);
// its body comes with the expression trees, whose node holds the location.
[[noreturn]] void pdedat_parse_err_1(pde *p, TreeNode *tree, const String *message);
[[noreturn]] void pdedat_exec_err_0(pde *p, const String *message);
// A warning at a source position that lets the run go on: listed like a parse error
// ("Line n WARNING: ...") in the batch log, else a message box captioned "Warning".
void pdedat_parse_warning(pde *p, const TextLoc *loc, const String *message);
[[noreturn]] void pdedat_exec_err_1(const String *message);
// A text of the current problem that cannot be read (a line too long in its
// descriptor, configuration, INCLUDE or TABLE file): the located report, and the
// problem ends (error flag), so that it is not loaded again on the next pass.
[[noreturn]] void pdedat_text_err(const TextLoc *loc, const String *message);

// A message box on the view, or in a batch run a batch-log line that marks the
// current problem failed.
void pdedat_error_message(uint16_t view, const String *message, const String *caption);
// A yes/no question; answered No (0) in a batch run, with the same log line.
uint8_t pdedat_yesno_message(uint16_t view, const String *message, const String *caption);
// The reports above as the table of the runtime's report hooks.
extern const ReportHooks pdedat_reports;

// Closes a problem's log or the batch log. A log whose lines did not all reach the
// disk fails the run (the exit code) and says so on standard error (batch) or in a
// box on the main window.
void pdedat_close_log(FILE *log);
// " %s| " with the time since the problem's start, to its log.
void pdedat_log_time_1(pde *p);
// " %s| " with the clock time, to the stream; the characters written.
int pdedat_log_time_0(FILE *stream);

// The status panel: kind 1 steady, 2 time-dependent, 3 eigenvalue; others nothing.
void pdedat_do_status(pde *p, uint16_t kind);
void pdedat_ss_status(pde *p);
void pdedat_tr_status(pde *p);
void pdedat_eig_status(pde *p);
// The unlabelled line with the time since start, on the given line (0: the next).
void pdedat_report_time(pde *p, uint16_t line);
// The status panel and the log time prefix as the runtime's table of them.
extern const ReportPanel pdedat_panel;

// A tri-state switch value: 2 gives 1, 1 gives 0, anything else the current value.
uint8_t pdedat_setif(int32_t setting, uint8_t current);
[[noreturn]] void pdedat_construction_trap();
void pdedat_set_locator();
