// report: how the layers below run control report errors, warnings and messages on
// the current problem, ask a yes/no question, find the current problem and show a
// run's progress, through the report and status functions run control installs at
// start-up.
#pragma once
#include <cstdint>

struct String;
struct TextLoc;
struct TreeNode;
struct pde;

// The report functions of run control; a null entry takes the fallback given below.
// The four error reports end with the jump to the catch point and do not return.
struct ReportHooks {
  void (*parse_err_0)(pde *p, const TextLoc *loc, const String *message);  // at a source position
  void (*parse_err_1)(pde *p, TreeNode *tree, const String *message);      // at an expression's position
  void (*exec_err_0)(pde *p, const String *message);                       // on problem p
  void (*exec_err_1)(const String *message);                               // on the current problem
  void (*parse_warning)(pde *p, const TextLoc *loc, const String *message);
  void (*error_message)(uint16_t view, const String *message, const String *caption);
  uint8_t (*yesno_message)(uint16_t view, const String *message, const String *caption);
};

// The hooks in use; all null until run control installs its own.
extern ReportHooks report_hooks;

// The problem being worked on, set by run control before each step; null when none.
// Opaque here: the record belongs to run control.
extern pde *report_current;

// An error at a source position (or at the position of an expression tree), or in
// the run of problem p (or of the current problem). Each goes to the installed hook;
// with none installed the message goes to the runtime log and the command is
// abandoned by the jump back to the catch point (code 11).
[[noreturn]] void report_parse_err_0(pde *p, const TextLoc *loc, const String *message);
[[noreturn]] void report_parse_err_1(pde *p, TreeNode *tree, const String *message);
[[noreturn]] void report_exec_err_0(pde *p, const String *message);
[[noreturn]] void report_exec_err_1(const String *message);
// A warning at a source position that lets the run go on; with no hook, a runtime log line.
void report_parse_warning(pde *p, const TextLoc *loc, const String *message);
// A message to the user; with no hook, a runtime log line.
void report_error_message(uint16_t view, const String *message, const String *caption);
// A yes/no question: 1 yes, 0 no; with no hook, a runtime log line and No.
uint8_t report_yesno_message(uint16_t view, const String *message, const String *caption);

// The status panel of a run and the time prefix of its log lines, as run control
// draws them; the solve drivers call them through report_panel. Each does nothing
// until run control installs its own.
struct ReportPanel {
  void (*do_status)(pde *p, uint16_t kind);    // kind 1 steady, 2 time-dependent, 3 eigenvalue
  void (*ss_status)(pde *p);                   // the steady layout
  void (*tr_status)(pde *p);                   // the time-dependent layout
  void (*eig_status)(pde *p);                  // the eigenvalue layout
  void (*report_time)(pde *p, uint16_t line);  // the elapsed-time line (0: the next)
  void (*log_time_1)(pde *p);                  // the time prefix of a line of the run log
  uint16_t (*post_status)(pde *p, const char *text);  // a status line on the panel; its number
  void (*drop_status)(pde *p, uint16_t line);         // that line taken off the panel
};

extern ReportPanel report_panel;
