// report: the report hooks and status panel run control installs, the current problem,
// and the fallbacks that keep the layers below run control working (and testable)
// without it.
// The calls are not traced: the installed reports write the trace stack as their
// callers left it.
#include "runtime/report.h"

#include <cstdio>

#include "runtime/except.h"
#include "runtime/rtlib.h"
#include "runtime/strings.h"

ReportHooks report_hooks;
pde *report_current;

static void no_status(pde *, uint16_t) {}
static void no_panel(pde *) {}
static uint16_t no_post(pde *, const char *) { return 0; }
ReportPanel report_panel = {no_status, no_panel, no_panel, no_panel, no_status, no_panel, no_post, no_status};

static const char *text_of(const String *s) { return (s && s->text) ? s->text : ""; }

// The runtime log line "caption: message".
static void log_message(const char *caption, const String *message) {
  char line[300];
  snprintf(line, sizeof line, "%s: %.280s", caption, text_of(message));
  rtlib_log_line(line);
}

// No hook took the error: the line in the runtime log, and the command is abandoned.
[[noreturn]] static void unreported(const String *message) {
  log_message("ERROR", message);
  except_jump(EXCEPT_REPORTED, text_of(message));
}

void report_parse_err_0(pde *p, const TextLoc *loc, const String *message) {
  if (report_hooks.parse_err_0) report_hooks.parse_err_0(p, loc, message);
  unreported(message);
}

void report_parse_err_1(pde *p, TreeNode *tree, const String *message) {
  if (report_hooks.parse_err_1) report_hooks.parse_err_1(p, tree, message);
  unreported(message);
}

void report_exec_err_0(pde *p, const String *message) {
  if (report_hooks.exec_err_0) report_hooks.exec_err_0(p, message);
  unreported(message);
}

void report_exec_err_1(const String *message) {
  if (report_hooks.exec_err_1) report_hooks.exec_err_1(message);
  unreported(message);
}

void report_parse_warning(pde *p, const TextLoc *loc, const String *message) {
  if (report_hooks.parse_warning) return report_hooks.parse_warning(p, loc, message);
  log_message("Warning", message);
}

void report_error_message(uint16_t view, const String *message, const String *caption) {
  if (report_hooks.error_message) return report_hooks.error_message(view, message, caption);
  log_message(text_of(caption), message);
}

uint8_t report_yesno_message(uint16_t view, const String *message, const String *caption) {
  if (report_hooks.yesno_message) return report_hooks.yesno_message(view, message, caption);
  log_message(text_of(caption), message);
  return 0;
}
