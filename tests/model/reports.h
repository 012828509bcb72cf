// A problem record and error reports at the model's level, for the tests of the layers
// below run control that need a problem: the record is opened and released with the
// model's helpers, and the reports list "Line n ERROR: message" (a run error
// "ERROR: message") in the given log, mark the problem failed and jump back to the
// catch point, as run control's batch reports do.
#pragma once
#include <cstdio>
#include <string>

#include "graphics/gag.h"
#include "model/pdedat_record.h"
#include "model/trees.h"
#include "runtime/bopmem.h"
#include "runtime/except.h"
#include "runtime/report.h"

// The log the reports below write to.
inline FILE *model_report_log = nullptr;

inline const char *model_report_text(const String *s) { return s && s->text ? s->text : ""; }

inline void model_report_line(const char *head, const char *kind, const String *message) {
  FILE *f = model_report_log ? model_report_log : stderr;
  fprintf(f, "%s%s: %s\n", head, kind, model_report_text(message));
  fflush(f);
}

[[noreturn]] inline void model_report_failed(pde *p, const std::string &head, const String *message) {
  model_report_line(head.c_str(), "ERROR", message);
  if (p) p->error = 1;
  except_jump(EXCEPT_REPORTED, model_report_text(message));
}

inline std::string model_report_at(const TextLoc *loc) { return "Line " + std::to_string(loc ? loc->line : 0) + " "; }

[[noreturn]] inline void model_parse_err_0(pde *p, const TextLoc *loc, const String *message) {
  model_report_failed(p, model_report_at(loc), message);
}
[[noreturn]] inline void model_parse_err_1(pde *p, TreeNode *tree, const String *message) {
  TextLoc loc{};
  if (tree) trees_find_loc(tree), loc = tree->loc;
  model_parse_err_0(p, &loc, message);
}
[[noreturn]] inline void model_exec_err_0(pde *p, const String *message) { model_report_failed(p, "", message); }
[[noreturn]] inline void model_exec_err_1(const String *message) { model_exec_err_0(report_current, message); }
inline void model_parse_warning(pde *, const TextLoc *loc, const String *message) {
  model_report_line(model_report_at(loc).c_str(), "WARNING", message);
}
inline void model_error_message(uint16_t, const String *message, const String *caption) {
  model_report_line(" ", model_report_text(caption), message);
}
// A question is answered No, as in a batch run.
inline uint8_t model_yesno_message(uint16_t view, const String *message, const String *caption) {
  model_error_message(view, message, caption);
  return 0;
}

// The reports above installed, writing to log, for as long as the scope lives.
struct ModelReports {
  ReportHooks saved = report_hooks;
  FILE *savedlog = model_report_log;
  explicit ModelReports(FILE *log) {
    model_report_log = log;
    report_hooks = {model_parse_err_0,   model_parse_err_1,   model_exec_err_0,   model_exec_err_1,
                    model_parse_warning, model_error_message, model_yesno_message};
  }
  ~ModelReports() { report_hooks = saved, model_report_log = savedlog; }
  ModelReports(const ModelReports &) = delete;
  ModelReports &operator=(const ModelReports &) = delete;
};

// A new problem record in its load phase, whose run log is log, made current.
inline pde *model_new_problem(FILE *log) {
  pde *p = nullptr;
  bopmemalloc(&p, 1, sizeof(pde));
  XMEM += sizeof(pde);
  p->mesh.nodestep = p->mesh.cellstep = 4096;
  p->phase = PHASE_LOAD;
  p->worklist = &p->firstblock;
  p->log = log;
  p->logopen = 1;
  report_current = p;
  return p;
}

// Releases everything the record holds, and the record.
inline void model_free_problem(pde *p) {
  if (report_current == p) report_current = nullptr;
  pdedat_clear_model(p);
  pdedat_free_model(p);
  bopmemfree(&p);
  XMEM -= sizeof(pde);
  bopmem_release_work();
}
