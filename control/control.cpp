// control: the run controller's main loop and phases, and the stage work they call.
#include "control/control.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <algorithm>
#include <cstring>

#include "control/pdedat.h"
#include "model/pdedat_record.h"
#include "control/quendar.h"
#include "control/verdat.h"
#include "domain/domain.h"
#include "domain/dominpde.h"
#include "domain/features.h"
#include "elements/finder.h"
#include "elements/basisfun.h"
#include "elements/elements.h"
#include "elements/quature.h"
#include "graphics/appwin.h"
#include "graphics/display.h"
#include "graphics/gag.h"
#include "graphics/gagscren.h"
#include "graphics/msgpump.h"
#include "graphics/textman.h"
#include "mesher/mesher2.h"
#include "solver/measures.h"
#include "mesher/refine2.h"
#include "mesher/mesher3.h"
#include "model/buildeq.h"
#include "model/symtab.h"
#include "model/treeclas.h"
#include "model/treedif.h"
#include "model/treemods.h"
#include "model/trees.h"
#include "model/treesimp.h"
#include "model/treeval.h"
#include "plot/doplot.h"
#include "plot/exporter.h"
#include "plot/plot.h"
#include "reader/gpmin.h"
#include "reader/ppde.h"
#include "reader/rddxf.h"
#include "reader/rdexpr.h"
#include "runtime/owner.h"
#include "reader/rdomain.h"
#include "reader/rdpde.h"
#include "reader/rdplot.h"
#include "runtime/bopmem.h"
#include "runtime/debug.h"
#include "runtime/filio.h"
#include "runtime/owner.h"
#include "runtime/rtlib.h"
#include "runtime/textin.h"
#include "runtime/timefun.h"
#include "solver/cgsolve.h"
#include "solver/coupling.h"
#include "solver/loading.h"
#include "solver/eigensol.h"
#include "solver/fitting.h"
#include "solver/init.h"
#include "solver/loading.h"
#include "solver/sparsecg.h"
#include "solver/sparsemx.h"
#include "solver/timsolve.h"

uint16_t control_parse_nesting = 0;
uint8_t control_failed = 0;
uint8_t control_unconverged = 0;

[[noreturn]] static void exec_error(pde *p, const char *message);

// Stage work private to the run controller.
static void preset(pde *p);
static void set_debug(pde *p);
static void aliases(pde *p);
static void build_header(pde *p);
static uint16_t find_magic(pde *p, const String *name);
static void sizes(pde *p);
static void gridgen(pde *p);
static void show_windows(pde *p);
static void runjob(pde *p);
static void check_errlim(pde *p);
static void plotfile_header(pde *p);
static void eig_write(pde *p);
static void path_of(String *d, const pde *p, const char *tail);

// ---- Default services ----------------------------------------------------------------

// The reader's own parse of one text: select it as input, set the pass flag.
static void parse_text(pde *p, uint16_t text, uint8_t pass) {
  rdpde_select_input_1(text, p);
  control_parse_pass = pass;
  ppde_parse();
}

// The headless window layer has no source of messages.
static uint8_t can_wait_default() { return 0; }

static const ControlServices default_services = {
    .parse = parse_text,
    .import_dxf = rddxf_scan_dxf,
    .freshmesh = mesher2_freshmesh,
    .grid3d = mesher3_grid3d,
    .analyze = buildeq_analyze_eq,
    .initial_values = init_initial_val,
    .evolve = [](pde *p) { return timsolve_evolve(p, 0); },
    .eigen = eigensol_do_eigen,
    .nonlinear = cgsolve_do_nonlinear,
    .linear = cgsolve_do_linear,
    .dispatch = gagscren_dispatch,
    .can_wait = can_wait_default,
    .message = gag_showmessage,
    .yesno = gag_yesnomessage,
    .edit_text = textman_send_edit_text_1,
    .get_cwd = gag_getcurrentdirectory,
    .set_cwd = gag_setcurrentdirectory,
    .create_pens = gagscren_create_pens,
};

ControlServices control_services = default_services;

void control_default_services() { control_services = default_services; }

// The pump of the loops below run control goes through control_services, so that a
// replaced dispatch or wait test reaches them too.
static void pump_dispatch(uint8_t wait) {
  if (control_services.dispatch) control_services.dispatch(wait);
}
static uint8_t pump_can_wait() { return control_services.can_wait ? control_services.can_wait() : 0; }
static bool install_pump() {
  msgpump = {pump_dispatch, pump_can_wait};
  return true;
}
// Installed as soon as run control is part of the program, whatever the start-up order.
static const bool pump_installed = install_pump();

int control_init() {
  TRACE("control");
  return 0;
}

// ---- Run log ---------------------------------------------------------------------------

// A line of the problem's run log, after the time prefix when timed; nothing while
// no log is open.
static void log_line(pde *p, const char *text, bool timed) {
  if (!p->logopen || !p->log) return;
  if (timed) pdedat_log_time_1(p);
  fputs(text, p->log);
  fflush(p->log);
}

// The batch entry now running is done (finished, failed or never loaded).
static void batch_entry_done() {
  if (settings.batch && pdedat_batch_states && pdedat_batch_index >= 1 && pdedat_batch_index <= pdedat_batch_count)
    pdedat_batch_states[pdedat_batch_index - 1] = 2;
}

// A message box on a window (headless: standard error).
static void show_text(uint16_t view, const char *message, const char *caption) {
  String m = {}, c = {};
  strings_copyto_1(&m, message);
  strings_copyto_1(&c, caption);
  control_services.message(view, &m, &c);
  strings_free_0(&m);
  strings_free_0(&c);
}

// The report jumps away, so its text lives in one static string.
[[noreturn]] static void exec_error(pde *p, const char *message) {
  static String m;
  strings_copyto_1(&m, message);
  pdedat_exec_err_0(p, &m);
}

// ---- Phases ------------------------------------------------------------------------------

// The main window's caption names no problem once its problem is gone.
static void clear_caption() {
  String none = {};
  appwin.root_caption(&none);
}

// Phase 1: a failed load frees the record at once, with every text it had opened.
static void step_load(pde *p) {
  p->phase = control_loadup(p);
  if (p->phase == PHASE_NEW) {
    appwin.pde_window(p);
    return;
  }
  if (p->cfgtext) textin_close_text(p->cfgtext);
  p->cfgtext = 0;
  // A run that reports in its log ends the failed load there as it ends any failure.
  if (p->logopen && p->log) {
    log_line(p, "TERMINATED\n", true);
    log_line(p, "END\n", false);
  }
  pdedat_free_pde(p);
  clear_caption();
  control_failed = 1;
  batch_entry_done();
}

bool control_start_log(pde *p) {
  TRACE("control_start_log");
  if (!p->logopen || !p->log) {
    p->log = rtlib_open_stream(p->logname.text, "w");
    if (!p->log) return false;
    // Each line reaches the file as it is written: a run that is killed or that
    // stops the machine leaves its log complete up to that moment.
    setvbuf(p->log, nullptr, _IOLBF, BUFSIZ);
    fprintf(p->log, "%s\n", settings.versiontext.text);
    p->logopen = 1;
    // A batch run of a descriptor named on the command line has no batch list:
    // the problem's own log is its batch log.
    if (settings.batch && !settings.batchlog) settings.batchlog = p->log;
  }
  build_header(p);
  fprintf(p->log, "\nSTART %s%s\n", p->directory.text ? p->directory.text : "", p->header.text);
  fflush(p->log);
  return true;
}

// Phase 3: open the log, write the start line, parse.
static void step_start(pde *p) {
  TRACE("start_0");
  if (!control_start_log(p))
    exec_error(p, errno == EACCES ? "Problem folder is not writable\n Use Save_As to move to a writable folder"
                                  : "Can't Open Log File");
  if (p->stage <= 1) p->unconverged = nullptr;
  control_parse_file(p);
  if (p->stage == 1) plotfile_header(p);
  String errlim = {};
  strings_copyto_1(&errlim, "ERRLIM");
  p->errlimsym = find_magic(p, &errlim);
  strings_free_0(&errlim);
  if (verdat_parseonly) {
    p->phase = PHASE_DONE;
    p->stop = 1;
    p->close = 1;
  }
}

// Phase 4: to the editor, or straight to a run.
static void step_new(pde *p) {
  if (!settings.batch && !p->runflag) {
    appwin.edit_pde(p);
    return;
  }
  p->stagevalue = 1.0;
  p->phase = PHASE_START;
  p->stage = 1;
}

static void step_solve(pde *p) {
  if (p->stage > 1 && pdedat_stage_regrids(p)) plot_restore_histories(&p->plotrecs, &p->histtimes);
  show_windows(p);
  runjob(p);
}

// The plots of a list that a time run has not yet drawn or exported at the current
// time: the time driver's output at the end time is the run's final output.
static void not_yet_timed(pde *p, const vectorn *list, vectorn *out) {
  for (int32_t k = 1; k <= list->count; k++) {
    uint16_t n = list->data[k - 1];
    const plotrec *r = n >= 1 && n <= p->plotrecs.count ? &p->plotrecs.data[n - 1] : nullptr;
    if (!r || !r->timed || std::fabs(r->timedat - p->time) > 1e-12 * std::max(1.0, std::fabs(p->time)))
      vectorn_one_more(out, n);
  }
}

static void step_plots(pde *p) {
  if (p->stages > 1) doplot_history_point(p, nullptr, p->stagevalue);
  appwin.enable_plots(p, p, p, p->modes);
  if (!p->timedep) {
    doplot_show_plots(p, &p->plots);
    doplot_do_exports(p, &p->exports);
  } else {
    vectorn plots = {}, exports = {};
    auto release = owner_guard([&] { vectorn_free(&plots), vectorn_free(&exports); });
    not_yet_timed(p, &p->plots, &plots);
    not_yet_timed(p, &p->exports, &exports);
    if (plots.count || !p->plots.count) doplot_show_plots(p, &plots);
    doplot_do_exports(p, &exports);
  }
  p->phase = PHASE_STAGE_END;
}

// Phase 9: the next stage, or the end of the run.
static void step_stage_end(pde *p) {
  TRACE("stage_end_0");
  if (p->stages > 1) {
    char line[40];
    snprintf(line, sizeof line, "END STAGE %d\n", p->stage);
    log_line(p, line, true);
  }
  if (p->stage < p->stages) {
    control_services.dispatch(0);
    bool go_on = false;
    if (!p->skipstages) {
      if (p->autostage || settings.batch) {
        go_on = true;
      } else {
        String m = {}, c = {};
        strings_copyto_1(&m, "Start Next Stage?");
        strings_copyto_1(&c, "PAUSE");
        go_on = control_services.yesno(p->pdeview, &m, &c) != 0;
        strings_free_0(&m);
        strings_free_0(&c);
      }
    }
    if (go_on) {
      // A staged eigenvalue run lists each stage's eigenvalues in a file of the stage's own.
      if (p->eigen) eig_write(p);
      p->stage++;
      p->stagevalue = p->stage;
      if (pdedat_stage_regrids(p)) {
        plot_save_histories(&p->plotrecs, &p->histtimes);
        p->phase = PHASE_START;
      } else {
        p->phase = PHASE_ANALYSIS;
      }
      fitting_invalidate_fits(p, 1);
      return;
    }
  }
  p->phase = PHASE_DONE;
  p->stop = 1;
  if (settings.batch) p->close = 1;
  if (p->eigen) eig_write(p);
  exporter_close_exports(p);
  pdedat_do_status(p, p->timedep ? 2 : p->eigen ? 3 : 1);
  String done = {};
  // An answer that did not converge says so above the end mark, and in the exit code.
  if (p->unconverged) {
    strings_copyto_1(&done, p->unconverged);
    display_report(&p->status, 0, &done);
    control_unconverged = 1;
  }
  strings_copyto_1(&done, "--DONE--");
  display_report(&p->status, 0, &done);
  strings_free_0(&done);
  log_line(p, "--DONE--\n", true);
  if (!settings.batch) {
    // With no display the run ends once nothing is left to step; the problem is
    // closed here as with X, so that its plot file is completed under its own name.
    if (verdat_exit || verdat_nodisplay) {
      p->close = 1;
    } else if (p->notifydone) {
      show_text(p->pdeview, "DONE\nClick to continue", p->name.text);
    }
  }
}

// Phase 12: the drawing of the problem's directory and name becomes its descriptor.
static void step_dxf(pde *p) {
  StringOwner path;  // an import that fails reports and jumps out
  path_of(path.get(), p, p->name.text ? p->name.text : "");
  int32_t result = control_services.import_dxf(path.get());
  if (result == 0) {
    p->phase = PHASE_LOAD;
  } else {
    p->error = 1;
  }
}

// One step of the problem's current phase; phases 2, 10 and 11 have none.
static bool step(pde *p) {
  switch (p->phase) {
    case PHASE_LOAD: step_load(p); return true;
    case PHASE_START: step_start(p); return true;
    case PHASE_NEW: step_new(p); return true;
    case PHASE_MESH:
      sizes(p);
      gridgen(p);
      return true;
    case PHASE_ANALYSIS:
      p->phase = control_services.analyze(p);
      // The analysis marks the rates it finds in definitions: the time weights of the
      // sources follow the rates as marked.
      coupling_build_weights(p);
      return true;
    case PHASE_SOLVE: step_solve(p); return true;
    case PHASE_PLOTS: step_plots(p); return true;
    case PHASE_STAGE_END: step_stage_end(p); return true;
    case PHASE_DXF: step_dxf(p); return true;
    default: return false;
  }
}

// The requests a step or the user left on the problem, in their fixed order.
static void after_step(pde *p, uint8_t *idle) {
  // A failed run's plot file is closed before its log says TERMINATED: a file that
  // cannot be finished is reported then, and the log still ends once.
  if (p->error && !verdat_parseonly) filio_close_put(&p->plotfile);
  if (p->error) log_line(p, "TERMINATED\n", true);
  if (p->stop) {
    *idle = 0;
    // The request is taken before the listing is written: a listing that cannot be
    // written reports and jumps out, and must not be tried again on every pass.
    p->stop = 0;
    p->stopped = 1;
    if (!verdat_parseonly) {
      // A run that reached its end (phase 10) wrote its listing in that step.
      if (p->eigen && p->phase != PHASE_DONE) eig_write(p);
      exporter_close_exports(p);
      appwin.haltmenu(p);
      if (p->phase != PHASE_DONE) {
        String s = {};
        strings_copyto_1(&s, "--STOP--");
        display_report(&p->status, 0, &s);
        strings_free_0(&s);
        log_line(p, "--STOP--\n", false);
      }
    }
  }
  if (p->close || p->error) {
    *idle = 0;
    if (p->error) control_failed = 1;
    if (p->modified) appwin.check_save(p);
    // The plot file's last bytes reach the disk before the log ends: a failure is
    // reported on the problem, which then ends on the next pass (the file is closed).
    if (!verdat_parseonly) {
      exporter_close_exports(p);  // a failed run keeps the netCDF outputs it completed
      appwin.close_plots(p);
      filio_close_put(&p->plotfile);
    }
    log_line(p, "END\n", false);
    if (p->desctext) textin_close_text(p->desctext);
    if (p->cfgtext) textin_close_text(p->cfgtext);
    if (p->edittext) textin_close_text(p->edittext);
    rdpde_close_includes(p);
    p->desctext = p->cfgtext = p->edittext = 0;
    pdedat_free_pde(p);
    debug_printf("AFTER FREE_PDE, MEMUSED=%dK\n", static_cast<int>(XMEM / 1024));
    clear_caption();
    if (!settings.batch && verdat_exit) quendar_running = 0;
    batch_entry_done();
  }
}

static bool any_open() {
  for (int i = 1; i <= pdedat_count; i++)
    if (pdedat_table[i] && pdedat_table[i]->phase != PHASE_FREE) return true;
  return false;
}

// Batch sequencing: the next waiting entry starts when none is running; the run
// ends when nothing is left to start and no problem is open any more. Starting an
// entry is work: the pass that does it is not idle.
static bool batch_step() {
  if (settings.batchlog) fflush(settings.batchlog);
  for (int k = 1; k <= pdedat_batch_count; k++)
    if (pdedat_batch_states[k - 1] == 1) return false;
  for (int k = 1; k <= pdedat_batch_count; k++) {
    if (pdedat_batch_states[k - 1] != 0) continue;
    pdedat_batch_index = static_cast<uint16_t>(k);
    pdedat_batch_states[k - 1] = 1;
    // A record refused for want of a slot leaves the entry done, not running.
    if (!pdedat_new_pde(&pdedat_batch_names.items[k - 1])) {
      pdedat_batch_states[k - 1] = 2;
      control_failed = 1;
    }
    return true;
  }
  if (any_open()) return false;
  quendar_running = 0;
  if (settings.batchlog) {
    pdedat_close_log(settings.batchlog);
    settings.batchlog = nullptr;
  }
  return false;
}

// After an interrupt: every problem still open ends as a failed one does (TERMINATED,
// END, its plot file closed), the batch log is closed and the loop stops.
static void end_all_problems() {
  for (int i = 1; i <= pdedat_count; i++) {
    pde *p = pdedat_table[i];
    if (!p || p->phase == PHASE_FREE) continue;
    report_current = p;
    p->error = 1;
    uint8_t idle = 0;
    after_step(p, &idle);
  }
  control_failed = 1;
  quendar_running = 0;
  if (settings.batchlog) {
    pdedat_close_log(settings.batchlog);
    settings.batchlog = nullptr;
  }
}

// The loop's end tests. Waiting for a message that can never come would never end.
static bool nothing_can_arrive() { return !control_services.can_wait(); }
// A batch or X run has nothing left to wait for once no problem is open.
static bool run_is_over() { return (settings.batch || verdat_exit) && !any_open(); }

void control_control_loop() {
  TRACE("control_control_loop_0");
  // On entry: a plot file to view, or the open-file dialog.
  if (verdat_view) {
    // A plot file that cannot be shown fails the run as a problem that cannot be loaded.
    if (!appwin.view_pde(&verdat_viewname)) control_failed = 1;
    verdat_view = 0;
  }
  if (verdat_opendialog) {
    String ext = {}, chosen = {};
    strings_copyto_1(&ext, "pde");
    if (gag_getopenfilename(0, &ext, &chosen) && chosen.length > 0) pdedat_new_pde(&chosen);
    strings_free_0(&ext);
    strings_free_0(&chosen);
    verdat_opendialog = 0;
  }
  while (quendar_running) {
    // 1. The pass is idle until some problem works.
    uint8_t idle = 1;
    // 2. Every open problem: one step of its phase, then the requests it left.
    for (int i = 1; i <= pdedat_count; i++) {
      pde *p = pdedat_table[i];
      if (!p) continue;
      report_current = p;
      if (!p->error && !p->stopped && p->phase != PHASE_FREE) {
        appwin.root_caption(&p->name);
        if (step(p)) idle = 0;
      }
      if (p->phase != PHASE_FREE) after_step(p, &idle);
    }
    // An interrupt or termination request ends every open problem as a failure and
    // the run with it; no further batch entry starts.
    if (rtlib_interrupt_signal()) {
      // Not acted on yet (it came while a box waited, say): reported on the current
      // problem first, so that its log holds the one error before TERMINATED and END.
      rtlib_poll_interrupt();
      end_all_problems();
      return;
    }
    // 3. Batch: the next entry starts when none is running.
    if (settings.batch && batch_step()) idle = 0;
    // 4. A run asked to end does not wait; neither does an idle one that can get no
    // message or has nothing left to run: it ends as if the main window had closed.
    if (!quendar_running) idle = 0;
    if (idle && (nothing_can_arrive() || run_is_over())) {
      quendar_running = 0;
      idle = 0;
    }
    // 5. Window messages, waiting for one only when the pass was idle.
    control_services.dispatch(idle);
    // 6. The end of the run, or the next pass.
    if (!quendar_running) {
      if (settings.batch && !verdat_exit) show_text(0, "BATCH DONE\nClick to Exit", "DONE");
      return;
    }
  }
}

// ---- Loading and parsing --------------------------------------------------------------------

// Builds directory + tail into d.
static void path_of(String *d, const pde *p, const char *tail) {
  strings_copyto_0(d, &p->directory);
  strings_addto_1(d, tail);
}

int32_t control_loadup(pde *p) {
  TRACE("control_loadup_0");
  // Owned: a text that cannot be read (a line too long) reports and jumps out.
  StringOwner path, file;
  // 1. The optional configuration text from the descriptor's folder.
  path_of(path.get(), p, "quendar.cfg");
  p->cfgtext = textin_open_text(path.get(), 1);
  // 2. The descriptor itself.
  strings_copyto_0(file.get(), &p->name);
  strings_addto_1(file.get(), ".");
  strings_addto_0(file.get(), &verdat_pdeext);
  strings_copyto_0(path.get(), &p->directory);
  strings_addto_0(path.get(), file.get());
  p->desctext = textin_open_text(path.get(), 1);
  if (p->desctext) return PHASE_NEW;
  // 3. No descriptor: say so on the main window, or in the run log of a run that
  // reports there.
  if (verdat_reports_in_log()) control_start_log(p);
  String m = {}, c = {};
  strings_copyto_1(&m, "No Input File: ");
  strings_addto_0(&m, path.get());
  strings_copyto_1(&c, "ERROR");
  pdedat_error_message(0, &m, &c);
  strings_free_0(&m);
  strings_free_0(&c);
  return PHASE_FREE;
}

void control_parse_file(pde *p) {
  TRACE("control_parse_file_0");
  // 1. Only the outermost call parses. The nesting count is undone on every way
  // out, a parse error's jump to the catch point included.
  struct Nesting {
    Nesting() { control_parse_nesting++; }
    ~Nesting() { control_parse_nesting--; }
  } nesting;
  if (control_parse_nesting == 1) {
    // 2.-3. Fresh record with the SELECT defaults. The domain-only request of the
    // editor's Domain command is for the mesher after this parse: it is put back
    // once the parse has succeeded, and gridgen clears it after use.
    uint8_t domainonly = p->domainonly;
    if (verdat_macro) gpmin_init_gpm();
    appwin.close_plots(p);
    pdedat_clear_pde(p);
    preset(p);
    trees_set_tree_labels(&p->coordnames, &p->varnames);
    symtab_resize(&p->scopes, 1, 10);
    rdexpr_reset();
    rdomain_reset(p);
    rdplot_reset();
    // 4. The configuration text, then 5. the descriptor, with the same grammar.
    // A configuration text that reads the descriptor through BODY has parsed it.
    p->bodyread = 0;
    if (p->cfgtext) control_services.parse(p, p->cfgtext, 0);
    if (!p->bodyread) control_services.parse(p, p->desctext, 1);
    // 6.-7.
    if (verdat_macro) gpmin_close_gpm();
    set_debug(p);
    aliases(p);
    p->domainonly = domainonly;
    p->phase = PHASE_MESH;
  }
}

// ---- Stage work ------------------------------------------------------------------------------

// The SELECT defaults and cleared requests every parse starts from. Switches that
// the preset leaves alone keep what an earlier parse of the same problem set.
static void preset(pde *p) {
  TRACE("preset_0");
  p->stop = p->stopped = p->error = p->close = p->skipstages = 0;
  p->runflag = p->domainonly = 0;
  p->windowsbuilt = 0;
  p->basis = 5;
  for (uint16_t k = 0; k < p->scopes.capacity; k++) p->scopes.roots[k] = symtab_deleteall(p->scopes.roots[k]);
  for (String &a : p->axisname) a.length = 0, a.text ? a.text[0] = 0 : 0;
  String lambda = {};
  strings_copyto_1(&lambda, "LAMBDA");
  rdpde_disable_name(&lambda);
  strings_free_0(&lambda);
  p->stages = p->dimension = p->nvars = p->modes = 0;
  p->neqns[0] = p->neqns[1] = p->neqns[2] = 0;
  p->cycle = 0;
  p->rmserr = p->maxerr = 1.0;
  p->time = 0;
  p->initgrid = 30.0;
  if (p->mesh.domain) p->mesh.domain->grofac = 0.25;
  p->angle = 2 * M_PI;
  p->viewpoint[0] = p->viewpoint[1] = p->viewpoint[2] = 0;  // the plots choose one
  p->coords.angular = p->angle;
  p->statuslimit = 200;
  p->statusms = 30000;
  // The switches' defaults; ERRLIM's default until check_errlim reads its definition.
  p->preset();
  p->errlim = Switches::errlim_default;
}

// Hands the problem's debug switches to the modules' own flags. The modules that
// read them (equation analysis, assembly, meshing, plotting, the reader) add their
// flag here as they are built; INIT, MAP and SOLVE are read from the record.
static void set_debug(pde *p) {
  TRACE("set_debug_0");
  sparsemx_debug = p->dbg_sparsemx;
  sparsecg_debug = p->dbg_sparsecg;
  symtab_debug = p->dbg_symtab;
  trees_debug = p->dbg_trees;
  treesimp_debug = p->dbg_treesimp;
  treeclas_debug = p->dbg_treeclas;
  treedif_debug = p->dbg_treedif;
  treemods_debug = p->dbg_treemods;
  buildeq_debug = p->dbg_buildeq;
  params_debug = eqns_debug = bcs_debug = constrn_debug = p->dbg_formulas;
  fits_debug = arys_debug = forloops_debug = p->dbg_formulas;
  treeval_debug = p->dbg_treeval;
  refine2_debug = p->dbg_refine;
  measures_debug = p->dbg_measure;
  coupling_debug = p->dbg_coupling;
  loading_debug = p->dbg_loading;
  rdexpr_debug = p->dbg_read;
  domain_debug = p->dbg_domain;
  edges_debug = p->dbg_edges;
  features_debug = p->dbg_feat;
  finder_debug = p->dbg_finder;
  mesher2_debug = p->dbg_grid;
  timsolve_debug = p->dbg_timedep;
  fitting_debug = fitting_debug2 = p->dbg_fitting;
  plot_debug = p->dbg_plot;
  doplot_debug = uint8_t(p->dbg_plot > 1 ? p->dbg_plot - 1 : p->dbg_plot);
}

// Axis names the descriptor left empty come from the coordinate system; the time
// axis of a staged problem is the stage.
static void aliases(pde *p) {
  TRACE("aliases_0");
  for (int k = 0; k < 4; k++) {
    if (p->axisname[k].length != 0) continue;
    if (k == 3 && p->stages > 0) strings_copyto_1(&p->axisname[3], "STAGE");
    else if (k < p->coordnames.count) strings_copyto_0(&p->axisname[k], &p->coordnames.items[k]);
  }
}

static void build_header(pde *p) {
  TRACE("build_header_0");
  strings_copyto_0(&p->header, &p->name);
  strings_addto_1(&p->header, ".");
  strings_addto_0(&p->header, &verdat_pdeext);
  strings_addto_1(&p->header, "  ");
  timefun_get_time(&p->starttime);
  timefun_fdate(&p->startdate);
  strings_addto_0(&p->header, &p->startdate);
  display_clearpad(&p->status, 0);
  p->lines.name = display_report(&p->status, 0, &p->name);
  pdedat_report_time(p, 0);
}

static void sizes(pde *p) {
  TRACE("sizes_0");
  Domain *d = p->mesh.domain;
  // 1. Counts the parser left; the problem's basis and its first-order basis.
  if (p->dimension == 1) exec_error(p, "1D not implemented");
  p->layers = domain_layer_count(d);
  p->materials = static_cast<uint16_t>(d->materials);
  p->basis = basisfun_pick_basis(p->dimension, static_cast<uint16_t>(p->order));
  p->basis1 = basisfun_pick_basis(p->dimension, 1);
  p->totals[0] = static_cast<uint16_t>(p->neqns[0] + p->neqns[1]);
  p->totals[1] = static_cast<uint16_t>(p->totals[0] + p->neqns[2]);
  // The mesh count is NGRID, 10 when the descriptor leaves it 0 (or sets it negative).
  p->meshcount = p->ngrid > 0 ? uint16_t(p->ngrid) : 10;
  // 2. The cell centre.
  memcpy(p->cellcentre, elements_centroid[p->dimension].L, sizeof p->cellcentre);
  // 3. Interior and side rules for both bases, the interior rule of the error
  // basis; the assembly weights.
  int t = p->timedep ? 1 : 0;
  p->vrule = quature_interior_choice(t, p->dimension, p->order);
  p->sset = quature_side_choice(t, p->dimension, p->order);
  quature_build_vquad_basis(&p->vquad, p->vrule, p->basis);
  quature_build_squad_basis(&p->squad, p->sset, p->basis);
  quature_build_vquad_basis(&p->vquad1, p->vrule, p->basis1);
  quature_build_squad_basis(&p->squad1, p->sset, p->basis1);
  quature_build_vquad_basis(&p->vquaderr, p->vrule, p->dimension == 2 ? 12 : 13);
  coupling_build_weights(p);
  // 4. Per-variable value sets.
  if (p->vars.capacity < p->nvars) exec_error(p, "VARIABLE COUNT ERROR");
  vector2d_resize(&p->solution, p->nvars, std::max<int32_t>(p->nvars, p->solution.capacity));
  vector2d_resize(&p->errors, p->nvars, std::max<int32_t>(p->nvars, p->errors.capacity));
  // 5. The carried fields (the solution's node vectors), the subspace of an eigenvalue
  // problem, the change limit by problem kind; the FIT solve settings.
  vectorvd_resize(&p->carried, p->nfield, std::max<int32_t>(p->nfield, p->carried.capacity));
  for (uint16_t k = 1; k <= p->nfield; k++) p->carried.data[k - 1] = &p->solution.data[k - 1];
  p->gridinc = p->gridlimit;
  p->fittol = 1e-6;
  p->fititer = 500;
  if (p->eigen) {
    int m = p->modes;
    p->subspace = static_cast<uint16_t>(p->select_subspace ? p->select_subspace : std::min(m + 8, 2 * m));
    p->eigpasslimit = 20;
    eigensol_size_sets(p);
  }
  if (p->changelim < 0) p->changelim = p->timedep ? 2.0 : 0.5;
  // 6. Assembly method, end time, overshoot, the work pool.
  coupling_set_method(p);
  if (p->endtime == 0) p->endtime = p->endvalue;
  if (p->overshoot <= 0) p->overshoot = p->eigen ? 1e-6 : 0.001;
  vector2d_resize(&p->work, 0, 20);
}

static void gridgen(pde *p) {
  TRACE("gridgen_0");
  Domain *d = p->mesh.domain;
  if (!d->threed) {
    p->phase = control_services.freshmesh(p, d->twodee, p->meshcount);
  } else {
    pdedat_set_locator();
    mesher3_treat_sheets(p);
    int32_t next = control_services.freshmesh(p, d->twodee, p->meshcount ? p->meshcount : 1);
    if (next == PHASE_ANALYSIS) {
      next = control_services.grid3d(p);
      p->layers = domain_layer_count(d);
    }
    p->phase = next;
  }
  p->domainonly = 0;
  features_free(d);
}

static void show_windows(pde *p) {
  TRACE("show_windows_0");
  appwin.runmenu(p);
  if (!p->windowsbuilt) appwin.build_windows(p);
  if (p->timedep) {
    appwin.tile_time_windows(p, p);
  } else if (p->eigen) {
    appwin.get_tile_params(p, p->modes * p->plots.count + 1);
    appwin.tile_eig_plots(p, p, &p->plots, 1, p->modes);
  } else {
    appwin.get_tile_params(p, p->plots.count);
    appwin.tile_plots(p, p, &p->plots, 1);
  }
  display_clearpad(&p->status, 0);
  p->lines.name = display_report(&p->status, 0, &p->name);
  p->statusstart = rtlib_elapsed_ms(0) - 30000;
}

static void runjob(pde *p) {
  TRACE("runjob_0");
  // 1. Nothing to solve.
  if (p->nvars == 0) {
    p->phase = PHASE_PLOTS;
    return;
  }
  // 2. Solution and error vectors; the unknown layout list (one more slot for the
  // parser's further count); the materials of the domain.
  vector2d_resize(&p->solution, p->nvars, std::max<int32_t>(p->nvars, p->solution.capacity));
  vector2d_resize(&p->errors, p->nvars, std::max<int32_t>(p->nvars, p->errors.capacity));
  int32_t slots = p->nvars + (p->extracount ? 1 : 0);
  vectorl_resize(&p->unknowns, slots, std::max(slots, p->unknowns.capacity));
  dominpde_sort_materials(p->mesh.domain, &p->formulas.definitions);
  // 3. Initial values and the error limit; the start of a time run is resolved to the
  // stage's limit, so it is read before the values too.
  check_errlim(p);
  control_services.initial_values(p, p->starttime_value);
  check_errlim(p);
  // 4. The solver for the kind of problem.
  if (p->timedep) {
    p->phase = control_services.evolve(p);
  } else if (p->eigen) {
    p->phase = control_services.eigen(p);
  } else if (p->nonlinear) {
    p->phase = control_services.nonlinear(p);
  } else {
    p->phase = control_services.linear(p);
  }
}

// Without an ERRLIM definition the limit is 0.001; else the definition's value, of
// the current stage when the definition is staged.
static void check_errlim(pde *p) {
  TRACE("check_errlim_0");
  if (!p->errlimsym) {
    p->errlim = Switches::errlim_default;
    return;
  }
  uint16_t k = p->errlimsym;
  paramset *defs = &p->formulas.definitions;
  if (k < 1 || k > defs->count) return;
  if (defs->items[k - 1]->kind == 5 && p->stages > 0) k = uint16_t(k - 1 + p->stage);
  if (k > defs->count) return;
  evalpoint pt{};
  pt.t = p->time;
  double v = treeval_eval(p, params_find_param_tree(defs, k, 0), &pt);
  // A limit past 1e30 is no limit, as that one is: held there, the measures the
  // solvers scale by it stay numbers.
  if (v > 0) p->errlim = std::min(v, 1e30);
}

// The number of the object a name stands for in the problem's scopes, innermost
// first; 0 when the name is absent.
static uint16_t find_magic(pde *p, const String *name) {
  TRACE("find_magic_0");
  uint16_t hash = strings_hashfn_0(name);
  for (int k = p->scopes.count; k >= 1 && k >= p->scopes.floor; k--)
    if (const idrec *r = symtab_lookupid(p->scopes.roots[k - 1], name, hash)) return r->index;
  return 0;
}

static void plotfile_header(pde *p) {
  TRACE("plotfile_header_0");
  filio_close_put(&p->plotfile);
  {
    StringOwner path;  // a file that cannot be opened is a fatal error that jumps out
    path_of(path.get(), p, p->name.text ? p->name.text : "");
    strings_addto_1(path.get(), ".");
    strings_addto_0(path.get(), &verdat_plotext);
    filio_open_put_2(&p->plotfile, 32768, path.get());
  }
  filio_put_string(&p->plotfile, &verdat_prodversion);
  filio_put_string(&p->plotfile, &p->header);
  filio_put_ushort(&p->plotfile, uint16_t(p->plotrecs.count));
  filio_put_ushort(&p->plotfile, p->modes);
  filio_put_ushort(&p->plotfile, static_cast<uint16_t>((p->stages > 0 ? 256 : 0) + (p->timedep ? 1 : 0)));
}

static void eig_write(pde *p) {
  TRACE("eig_write_0");
  String path = {};
  strings_copyto_0(&path, &p->directory);
  strings_addto_0(&path, &p->name);
  strings_addto_1(&path, ".eig");
  if (p->stages >= 2) {
    char k[16];
    snprintf(k, sizeof k, "_%d", p->stage);
    strings_addto_1(&path, k);
  }
  FILE *f = filio_open_stream(path.text, false);
  if (!f) {
    strings_free_0(&path);
    exec_error(p, "Can't open Eigenvalue File");
  }
  fprintf(f, "%s\n", p->header.text ? p->header.text : "");
  fputs("\nEIGENVALUES\n", f);
  String v = {};
  for (int i = 1; i <= p->modes; i++) {
    strings_formatreal(&v, i <= p->eigenvalues.count ? p->eigenvalues.data[i - 1] : 0.0, 10, 0, 0);
    fprintf(f, "%4d: %s\n", i, v.text);
  }
  strings_free_0(&v);
  // A listing that did not reach the disk is an error on the problem, in the
  // system's words.
  if (int err = rtlib_close_stream(f)) {
    strings_addto_1(&path, ": ");
    strings_addto_1(&path, rtlib_errno_text_of(err));
    char text[400];
    snprintf(text, sizeof text, "Can't Write Eigenvalue File %s", path.text);
    strings_free_0(&path);
    exec_error(p, text);
  }
  strings_free_0(&path);
}
