// pdedat: the problem table and its records, the error reports on the current
// problem (editor or batch log), log time prefixes, status layouts, group headers.
#include "control/pdedat.h"
#include "model/pdedat_record.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <initializer_list>
#include <string>

#include "control/control.h"
#include "control/verdat.h"
#include "domain/domain.h"
#include "graphics/display.h"
#include "graphics/gag.h"
#include "graphics/gag1d.h"
#include "model/trees.h"
#include "model/window_record.h"
#include "plot/plot.h"
#include "plot/styles.h"
#include "reader/rdbatch.h"
#include "runtime/bopmem.h"
#include "runtime/debug.h"
#include "runtime/except.h"
#include "runtime/rtlib.h"
#include "runtime/settings.h"
#include "runtime/textin.h"
#include "runtime/vectord.h"
#include "runtime/vectorl.h"
#include "solver/sparsemx.h"
#include "solver/system.h"

pde *pdedat_table[PDEDAT_MAX_PDES + 1];
uint16_t pdedat_count;

static int clear_nesting, free_nesting;

// Counts one level of nesting for as long as the scope lives, so that a report
// that jumps out of a clear or a free leaves the counter as it found it.
struct Nesting {
  int &n;
  explicit Nesting(int &c) : n(c) { ++n; }
  ~Nesting() { --n; }
};

// A String over a literal text, never written or freed.
static String lit(const char *c) {
  uint16_t n = uint16_t(strlen(c));
  return String{n, n, const_cast<char *>(c)};
}

static const char *text_of(const String *s) { return (s && s->text) ? s->text : ""; }

int pdedat_init() {
  TRACE("pdedat");
  settings.separator = '/';
  report_hooks = pdedat_reports;
  report_panel = pdedat_panel;
  return 0;
}

// True for a record that can be reported on: present and not freed.
static bool live(const pde *p) { return p && p->phase != 0; }

// A message box on the view, or in a batch run a batch-log line with the clock time;
// marks nothing. Used where there is no problem to report on.
static void show_message(uint16_t view, const char *message, const char *caption) {
  if (settings.batch) {
    FILE *f = settings.batchlog ? settings.batchlog : stderr;
    pdedat_log_time_0(f);
    fprintf(f, " %s: %s\n", caption, message);
    fflush(f);
    return;
  }
  String m = lit(message), c = lit(caption);
  control_services.message(view, &m, &c);
}

// Marks the batch entry now running as done (failed).
static void batch_failed() {
  if (pdedat_batch_states && pdedat_batch_index >= 1 && pdedat_batch_index <= pdedat_batch_count)
    pdedat_batch_states[pdedat_batch_index - 1] = 2;
}

// Where reports on problem p go when they go to a log: its run log once open (in a
// batch run that is the batch log), else the batch log, else standard error.
static FILE *report_stream(const pde *p) {
  if (live(p) && p->logopen && p->log) return p->log;
  return settings.batchlog ? settings.batchlog : stderr;
}

// The time prefix of problem p (time since its start) on a stream. A problem whose
// run has not started yet (a failed load) has no start time: the clock time stands in.
// Returns the characters written.
static int time_prefix(FILE *f, pde *p) {
  if (p->starttime.mday == 0) return pdedat_log_time_0(f);
  String t{};
  timefun_timestr_1(&t, &p->starttime);
  int n = fprintf(f, " %s| ", text_of(&t));
  strings_free_0(&t);
  return n;
}

void pdedat_log_time_1(pde *p) {
  TRACE("pdedat_log_time_1");
  if (p->log) time_prefix(p->log, p);
}

int pdedat_log_time_0(FILE *stream) {
  TRACE("pdedat_log_time_0");
  String t{};
  timefun_timestr_0(&t);
  int n = fprintf(stream, " %s| ", text_of(&t));
  strings_free_0(&t);
  return n;
}

// ---- Records -------------------------------------------------------------------

pde *pdedat_new_pde(const String *name) {
  TRACE("pdedat_new_pde_0");
  pde *p = nullptr;
  for (int k = 1; k <= pdedat_count && !p; k++)
    if (pdedat_table[k]->phase == 0) {
      // Freeing leaves the record zeroed, and releases anything a record that lost
      // its phase without being freed still holds.
      p = pdedat_table[k];
      pdedat_free_pde(p);
    }
  if (!p) {
    if (pdedat_count >= PDEDAT_MAX_PDES) {
      // Refused with a message: the caller does nothing with a null record, and no
      // unrelated problem is reported on.
      show_message(0, "Too Many Open PDE's", "ERROR");
      return nullptr;
    }
    bopmemalloc(&p, 1, sizeof(pde));
    XMEM += sizeof(pde);
    pdedat_table[++pdedat_count] = p;
  }
  if (!p->mesh.domain) {
    bopmemalloc(&p->mesh.domain, 1, sizeof(Domain));
    XMEM += sizeof(Domain);
    domain_clear(p->mesh.domain);  // a new domain: empty box, no tolerance yet
    p->mesh.ownsdomain = 1;
  }
  p->mesh.nodestep = 4096;
  p->mesh.cellstep = 4096;
  p->work.count = 0;
  p->work.capacity = 0;
  pdedat_setpdename(p, name);
  p->phase = 1;
  styles_set_textsize(p, 35, 42);
  styles_set_font(p, 1);
  p->labelcolour = colour_black;
  p->worklist = &p->firstblock;
  if (settings.batch) {
    p->log = settings.batchlog;
    p->logopen = 1;
  } else {
    p->logopen = 0;
  }
  return p;
}

void pdedat_open_named(const String *path, uint8_t runflag) {
  pde *p = pdedat_new_pde(path);
  if (p) {
    control_services.set_cwd(&p->directory);
    p->runflag = runflag;
  }
}

void pdedat_run_without_display(bool edit_only) {
  for (int i = 1; i <= pdedat_count; i++) {
    pde *p = pdedat_table[i];
    if (!p) continue;
    if (edit_only)
      fprintf(stderr, "quendar: no display to edit %s on: nothing is run (-R or -B runs it)\n",
              p->name.text ? p->name.text : "");
    else p->runflag = 1;
  }
}

bool pdedat_records_into(const String *file, const String *directory) {
  for (int k = 1; k <= pdedat_count; k++) {
    const pde *p = pdedat_table[k];
    if (!p || !p->phase) continue;
    String own{};
    strings_copyto_0(&own, &p->name);
    strings_addto_1(&own, ".");
    strings_addto_0(&own, &verdat_plotext);
    bool same = strings_compare_0(&own, file) == 0 && strings_compare_0(&p->directory, directory) == 0;
    strings_free_0(&own);
    if (same) return true;
  }
  return false;
}

void pdedat_setpdename(pde *p, const String *path) {
  TRACE("pdedat_setpdename_0");
  String work{}, ext{};
  strings_copyto_0(&work, path);
  while (work.length > 1 && work.text[work.length - 1] == ' ') work.length--;
  work.text[work.length] = 0;
  strings_stripname(&work, &p->directory, &p->name, &ext, settings.separator);
  // A relative directory is made absolute before it becomes the current directory,
  // so that directory + name still names the file afterwards.
  if (p->directory.length == 0 || p->directory.text[0] != settings.separator) {
    String cwd{};
    control_services.get_cwd(&cwd);
    strings_addto_0(&cwd, &p->directory);
    strings_copyto_0(&p->directory, &cwd);
    strings_free_0(&cwd);
  }
  control_services.set_cwd(&p->directory);
  strings_copyto_0(&p->logname, &p->directory);
  strings_addto_0(&p->logname, &p->name);
  strings_addto_1(&p->logname, ".log");
  strings_free_0(&work);
  strings_free_0(&ext);
}

void pdedat_clear_pde(pde *p) {
  TRACE("pdedat_clear_pde_0");
  Nesting nest(clear_nesting);
  if (clear_nesting > 1) {
    debug_printf("RECURSIVE CLEAR_PDE\n");
    rtlib_traceback();
    return;
  }
  String label = lit("Freeing Memory");
  uint16_t line = display_report_num(&p->status, 0, &label, int32_t(XMEM / 1024));
  pdedat_clear_model(p);
  // The time run's step matrix and the assembly.
  sparsemx_free(&p->jmatrix, 1);
  system_release(p);
  domain_clear(p->mesh.domain);  // every parse builds the domain afresh
  // The plot records with what they hold, and their lists.
  plotset_release(p);
  display_force_num(&p->status, line, int32_t(XMEM / 1024));
  display_unreport(&p->status, line);
}

// The batch reader frees the holding problem through this entry, set as soon as the
// problem records are part of the program.
static const bool free_installed = (rdbatch_free_pde = pdedat_free_pde, true);

// Releases the problem's window state (model/window_record.h): the status panel, the
// windows (those the problem window owns first, then the problem window itself), the
// plot file with its names, the Save As folder and the deferred show requests.
static void release_windows(WindowState *w) {
  display_free(&w->status);
  for (uint16_t *v : {&w->eigview, &w->domainview, &w->editview, &w->meshview, &w->pdeview}) {
    if (*v) gag_killview(*v);
    *v = 0;
  }
  filio_close_put(&w->plotfile);
  strings_free_0(&w->plotfile.name);
  strings_free_0(&w->plotfile.temp);
  strings_free_0(&w->fallback);
  vectorn_free(&w->deferred);
}

void pdedat_free_pde(pde *p) {
  TRACE("pdedat_free_pde_0");
  Nesting nest(free_nesting);
  if (free_nesting > 1) return;
  pdedat_clear_pde(p);
  release_windows(p);
  if (p->log && p->log != settings.batchlog) pdedat_close_log(p->log);
  system_release(p);
  pdedat_free_model(p);
  memset(static_cast<void *>(p), 0, sizeof(pde));
  // The modules' work storage is sized by the problems that used it: with none
  // open any more it goes too, and the count is back where it began.
  for (int k = 1; k <= pdedat_count; k++)
    if (pdedat_table[k] && pdedat_table[k]->phase != PHASE_FREE) return;
  bopmem_release_work();
}

void pdedat_close_log(FILE *log) {
  TRACE("pdedat_close_log");
  int err = rtlib_close_stream(log);
  if (!err) return;
  // The log cannot carry its own failure: standard error in a batch run, else a box.
  control_failed = 1;
  char text[200];
  snprintf(text, sizeof text, "Can't Write Log File: %s", rtlib_errno_text_of(err));
  if (settings.batch) {
    fprintf(stderr, "ERROR: %s\n", text);
    return;
  }
  show_message(0, text, "ERROR");
}

// ---- Error reports -------------------------------------------------------------

// The report on no problem (none current, or a freed one): only the message, then
// the jump back to the loop.
[[noreturn]] static void report_without_problem(const String *message) {
  show_message(0, text_of(message), "ERROR");
  except_jump(EXCEPT_REPORTED, text_of(message));
}

// The editor could not take the text: the message on the problem window, the
// error flag (the after-step rules then close the problem), and the jump.
[[noreturn]] static void editor_failed(pde *p, const String *message) {
  String caption = lit("ERROR");
  control_services.message(p->pdeview, message, &caption);
  p->error = 1;
  except_jump(EXCEPT_REPORTED, text_of(message));
}

// The source line at loc, a caret under its column and "Line n KIND: message", on the
// batch log.
static void list_located(pde *p, const TextLoc *loc, const char *kind, const String *message) {
  FILE *f = report_stream(p);
  String line{};
  const StringList *body = loc->file ? textin_text_body(loc->file) : nullptr;
  // Columns are those of the macro generator's expansion while it is on: its line is shown.
  String expanded{};
  if (body && textin_macro_line && textin_macro_line(loc->file, loc->line, &expanded)) strings_copyto_0(&line, &expanded);
  else if (body && loc->line >= 1 && int64_t{loc->line} <= body->count) textin_extract_1(&line, loc->file, loc->line);
  // A place in a text other than the descriptor (an included, table or transfer file,
  // the configuration file) names that file first. The configuration file is opened,
  // and may fail, before the descriptor is.
  if (loc->file && loc->file != p->desctext && textin_text_name(loc->file)) {
    String file{};
    textin_textfile_name(&file, loc->file);
    const char *name = text_of(&file), *slash = strrchr(name, '/');
    name = slash ? slash + 1 : name;
    if (p->desctext || strcmp(name, "quendar.cfg") == 0) fprintf(f, "           In %s:\n", name);
    strings_free_0(&file);
  }
  // The "*" stands under the column of the line, after the time prefix. The column
  // counts bytes; the caret counts characters, so that UTF-8 text before it does not
  // push it right. Tabs are written as the blanks up to the next stop of 8 of the
  // line's own columns, so that the caret stands under them as a reader sees them.
  int prefix = time_prefix(f, p);
  int before = std::max<int>(loc->column, 1) - 1, shown = -1, width = 0;
  std::string text;
  for (int k = 0; k < line.length; k++) {
    if (k == before) shown = width;
    char c = line.text[k];
    if (c == '\t') {
      do text += ' ';
      while (++width % 8 != 0);
      continue;
    }
    text += c;
    if ((uint8_t(c) & 0xC0) != 0x80) width++;
  }
  if (shown < 0) shown = width + std::max(0, before - line.length);
  fprintf(f, "%s\n", text.c_str());
  strings_free_0(&line);
  fprintf(f, "%*s*\n", std::max(prefix, 0) + shown, "");
  // The end of an empty text stands before its first line: that is line 1.
  const int line_no = loc->file && loc->line == 0 ? 1 : int(loc->line);
  fprintf(f, "           Line %d %s: %s\n", line_no, kind, text_of(message));
  fflush(f);
}

void pdedat_parse_warning(pde *p, const TextLoc *loc, const String *message) {
  TRACE("pdedat_parse_warning");
  if (live(p) && verdat_reports_in_log()) return list_located(p, loc, "WARNING", message);
  std::string m = "Line " + std::to_string(loc->line) + ": " + text_of(message);
  show_message(live(p) ? p->pdeview : 0, m.c_str(), "Warning");
}

void pdedat_parse_err_0(pde *p, const TextLoc *loc, const String *message) {
  TRACE("pdedat_parse_err_0");
  if (!live(p)) report_without_problem(message);
  if (!verdat_reports_in_log()) {
    gag_showwindow(p->editview, 3);
    if (!control_services.edit_text(loc->file, p->editview, loc)) {
      debug_printf("FAILED EDITING FILE %d, LINE %d COL %d\n", loc->file, int(loc->line),
                   loc->column);
      editor_failed(p, message);
    }
    p->phase = 2;
    p->edittext = loc->file;
    String caption = lit("ERROR");
    control_services.message(p->editview, message, &caption);
    rtlib_traceback();
  } else {
    batch_failed();
    p->error = 1;
    list_located(p, loc, "ERROR", message);
  }
  except_jump(EXCEPT_REPORTED, text_of(message));
}

void pdedat_parse_err_1(pde *p, TreeNode *tree, const String *message) {
  TRACE("pdedat_parse_err_1");
  TextLoc loc{};
  if (tree) {
    trees_find_loc(tree);
    loc = tree->loc;
  }
  pdedat_parse_err_0(p, &loc, message);
}

void pdedat_text_err(const TextLoc *loc, const String *message) {
  TRACE("pdedat_text_err");
  pde *p = report_current;
  if (live(p)) {
    batch_failed();
    p->error = 1;
    // A text that fails while the problem loads: its run log starts here.
    if (p->phase == PHASE_LOAD && verdat_reports_in_log()) control_start_log(p);
  }
  pdedat_parse_err_0(p, loc, message);
}

// The message of the last question the batch log answered No (without its closing
// " Continue?"), until an error report takes it.
static std::string batch_question;

void pdedat_exec_err_0(pde *p, const String *message) {
  TRACE("pdedat_exec_err_0");
  rtlib_traceback();
  // A request to end the program (SIGINT, SIGTERM) asks nothing of the user: no box
  // waits on the screen, and the stop goes to the log as it does in batch.
  const bool ending = rtlib_interrupt_signal() != 0;
  if (!live(p) && ending && !verdat_reports_in_log()) except_jump(EXCEPT_REPORTED, text_of(message));
  if (!live(p)) report_without_problem(message);
  if (!verdat_reports_in_log() && !ending) {
    gag_showwindow(p->editview, 3);
    TextLoc start{p->desctext, 1, 1};
    if (!control_services.edit_text(p->desctext, p->editview, &start)) {
      debug_printf("FAILED EDITING FILE %d\n", p->desctext);
      editor_failed(p, message);
    }
    p->phase = 2;
    p->edittext = p->desctext;
    String caption = lit("ERROR");
    pdedat_error_message(p->editview, message, &caption);
  } else {
    batch_failed();
    p->error = 1;
    // A question answered No in the batch log has already written this message; the
    // stop it leads to is not written again.
    std::string text = text_of(message);
    bool asked = !batch_question.empty() && text.compare(0, batch_question.size(), batch_question) == 0;
    batch_question.clear();
    if (!asked) {
      pde *q = live(report_current) ? report_current : p;
      FILE *f = report_stream(q);
      time_prefix(f, q);
      fprintf(f, "ERROR: %s\n", text.c_str());
      fflush(f);
    }
  }
  except_jump(EXCEPT_REPORTED, text_of(message));
}

void pdedat_exec_err_1(const String *message) {
  TRACE("pdedat_exec_err_1");
  pdedat_exec_err_0(report_current, message);
}

void pdedat_error_message(uint16_t view, const String *message, const String *caption) {
  TRACE("pdedat_error_message_0");
  if (!verdat_reports_in_log()) {
    control_services.message(view, message, caption);
    return;
  }
  FILE *f = report_stream(report_current);
  if (live(report_current)) time_prefix(f, report_current);
  else
    pdedat_log_time_0(f);
  fprintf(f, " %s: %s\n", text_of(caption), text_of(message));
  fflush(f);
  batch_failed();
  if (live(report_current)) report_current->error = 1;
}

uint8_t pdedat_yesno_message(uint16_t view, const String *message, const String *caption) {
  TRACE("pdedat_yesno_message_0");
  if (settings.batch) {
    pdedat_error_message(view, message, caption);
    batch_question = text_of(message);
    const std::string ask = " Continue?";
    if (batch_question.size() >= ask.size() &&
        batch_question.compare(batch_question.size() - ask.size(), ask.size(), ask) == 0)
      batch_question.resize(batch_question.size() - ask.size());
    return 0;
  }
  return control_services.yesno(view, message, caption) != 0;
}

const ReportHooks pdedat_reports = {pdedat_parse_err_0,   pdedat_parse_err_1,   pdedat_exec_err_0,
                                    pdedat_exec_err_1,    pdedat_parse_warning, pdedat_error_message,
                                    pdedat_yesno_message};

// ---- Status panel ----------------------------------------------------------------

void pdedat_report_time(pde *p, uint16_t line) {
  TRACE("pdedat_report_time_0");
  String t{};
  timefun_timestr_1(&t, &p->starttime);
  p->lines.elapsed = display_report(&p->status, line, &t);
  strings_free_0(&t);
}

// Clears the panel, sizes its text, and writes the name and elapsed-time lines.
static void status_head(pde *p) {
  pad *d = &p->status;
  display_clearpad(d, 0);
  rectd user = {0, 0, 0, 0};
  gag_asksize(uint16_t(d->view), &user);
  gag_textsize(uint16_t(d->view), float(user.y2 - user.y1), 0.7f);
  p->lines.name = display_report(d, 0, &p->name);
  pdedat_report_time(p, 0);
}

static uint16_t num(pde *p, const char *label, int32_t v) {
  String l = lit(label);
  return display_report_num(&p->status, 0, &l, v);
}

static uint16_t real(pde *p, const char *label, double v) {
  String l = lit(label);
  return display_report_real(&p->status, 0, &l, v);
}

// The mesh lines every layout shares: NODES, CELLS, DoF, MEM(K), RMS and MAX Error.
static void status_mesh(pde *p) {
  p->lines.nodes = num(p, "NODES", p->mesh.nodes.count);
  p->lines.cells = num(p, "CELLS", p->mesh.cells.count);
  p->lines.dof = num(p, "DoF", int32_t(p->nvars) * p->mesh.nodes.count);
  p->lines.mem = num(p, "MEM(K)", int32_t(XMEM / 1024));
  p->lines.rms = real(p, "RMS Error", p->rmserr);
  p->lines.max = real(p, "MAX Error", p->maxerr);
}

void pdedat_ss_status(pde *p) {
  TRACE("pdedat_ss_status_0");
  status_head(p);
  if (p->stages > 0) p->lines.stage = num(p, "STAGE", p->stage);
  p->lines.grid = num(p, "GRID", p->regrids);
  status_mesh(p);
}

void pdedat_tr_status(pde *p) {
  TRACE("pdedat_tr_status_0");
  status_head(p);
  p->lines.cycle = num(p, "CYCLE", int32_t(p->cycle));
  status_mesh(p);
  p->lines.time = real(p, "TIME", p->time);
  p->lines.dt = real(p, "DT", p->dt);
}

void pdedat_eig_status(pde *p) {
  TRACE("pdedat_eig_status_0");
  status_head(p);
  p->lines.grid = num(p, "GRID", p->regrids);
  status_mesh(p);
}

void pdedat_do_status(pde *p, uint16_t kind) {
  TRACE("pdedat_do_status_0");
  if (kind == 1) pdedat_ss_status(p);
  if (kind == 2) pdedat_tr_status(p);
  if (kind == 3) pdedat_eig_status(p);
}

// A status line of the run's own on its panel (the analysis of the equations posts one).
static uint16_t post_status(pde *p, const char *text) {
  String s = lit(text);
  return display_report(&p->status, 0, &s);
}
static void drop_status(pde *p, uint16_t line) { display_unreport(&p->status, line); }

const ReportPanel pdedat_panel = {pdedat_do_status,   pdedat_ss_status,  pdedat_tr_status, pdedat_eig_status,
                                  pdedat_report_time, pdedat_log_time_1, post_status,      drop_status};

// ---- Plot file, switches, text styles ------------------------------------------

uint8_t pdedat_setif(int32_t setting, uint8_t current) {
  return setting == 2 ? 1 : setting == 1 ? 0 : current;
}

void pdedat_construction_trap() { rtlib_fatal_in("pdedat_construction_trap", "UNDER CONSTRUCTION"); }

void pdedat_set_locator() {}
