// quendar: the main routine. It installs the error hook, opens the debug log,
// prepares the program-wide texts, reads the command line, starts the graphics
// layer and the reader's and element tables, and then runs the run controller
// under the one catch point until the program is asked to end.
#include "control/quendar.h"

#include <csignal>
#include <cstdio>
#include <cstring>

#include "control/control.h"
#include "control/pdedat.h"
#include "control/verdat.h"
#include "elements/basisfun.h"
#include "elements/quature.h"
#include "graphics/appwin.h"
#include "graphics/gag.h"
#include "model/buildeq.h"
#include "platform/pwin.h"
#include "reader/rdpde.h"
#include "runtime/bopmem.h"
#include "runtime/debug.h"
#include "runtime/except.h"
#include "runtime/filio.h"
#include "runtime/rtlib.h"
#include "runtime/textin.h"

uint8_t quendar_running = 0;
StringList quendar_skeleton;

static const char *const skeleton_lines[13] = {
    "TITLE ' '", "SELECT",   "VARIABLES", "DEFINITIONS", "INITIAL VALUES", "EQUATIONS", "CONSTRAINTS",
    "BOUNDARIES", "TIME",    "MONITORS",  "PLOTS",       "HISTORIES",      "END"};

const char *const quendar_home = "quendar";
static const char *const home = quendar_home;

// Releases the texts the main routine built, so that a normal end leaves nothing
// behind.
static void free_texts() {
  strings_free_1(&quendar_skeleton, 1);
  strings_free_0(&fatal_message);
  strings_free_1(&pdedat_batch_names, 1);
  bopmemfree(&pdedat_batch_states);
}

int quendar_catch_loop() {
  int landings = 0, code = 0;
  // A handled signal leaves the default handling in place; the landing installs
  // the handlers again unless default handling was asked for (option D).
  except_set_rearm_signals(!verdat_defsignals);
  // A text that cannot be read is a located error on the problem being worked on.
  textin_set_report(pdedat_text_err);
  // A file that cannot be written is an error on that problem, with the file's whole name.
  filio_set_report(pdedat_exec_err_1);
  for (;;) {
    code = except_catch(home, [&code] {
      if (code == EXCEPT_FATAL) {
        // The first fatal error of the run reached the hook: it becomes an
        // execution error on the current problem, whose report jumps back here.
        pdedat_exec_err_1(&fatal_message);
      }
      control_control_loop();
    });
    if (code == 0) {
      filio_set_report(nullptr);
      return landings;
    }
    landings++;
  }
}

int quendar_main() {
  TRACE(home);
  // 1. The fatal-error hook. A write past the file-size limit fails (EFBIG) and is
  // reported as a full disk is, rather than end the process by its signal.
  rtlib_set_uncle_hook(except_uncle);
  signal(SIGXFSZ, SIG_IGN);

  // 2. The debug log in the temporary directory. No catch point exists yet, so
  // a failure here ends the program through the terminating path of the hook.
  // The folder is shared: a log of that name that another user left is not ours,
  // and a name with our user number is taken beside it.
  String dir = {};
  gag_gettempdirectory(&dir);
  if (dir.length > 0 && dir.text[dir.length - 1] != settings.separator) strings_append(&dir, settings.separator);
  const char *path = debug_log_path(dir.text ? dir.text : "");
  strings_free_0(&dir);
  if (!debug_debug_on(path)) {
    char what[300];
    snprintf(what, sizeof what, "Can't create %s", path);
    rtlib_fatal_in(home, what);
  }

  // 3. The text reader echoes descriptor lines into the debug log.
  textin_text_echo(debug_file);

  // 4. Floating-point words before and after asking for 64-bit precision.
  fprintf(debug_file, "FP_CW[1]=%x  FP_STATUS=%x\n", rtlib_fpu_control_word(), rtlib_fpu_status_word());
  rtlib_fpu_precision64();
  fprintf(debug_file, "FP_CW[2]=%x\n", rtlib_fpu_control_word());

  // 5. The command-line word count.
  fprintf(debug_file, "PARAM COUNT=%d\n", rtlib_arg_count());

  // 6. The text of a new descriptor.
  for (const char *line : skeleton_lines) {
    String s = {};
    strings_copyto_1(&s, line);
    strings_one_more(&quendar_skeleton, &s);
    strings_free_0(&s);
  }

  // 7. Program-wide switches and names.
  pdedat_count = 0;
  verdat_macro = 0;
  strings_copyto_1(&verdat_product, "Quendar");
  strings_copyto_1(&verdat_product2, "Quendar");
  strings_copyto_1(&verdat_pdeext, "pde");
  strings_copyto_1(&verdat_plotext, "pgx");

  // 8. Version texts and command line; a named problem becomes the first one.
  verdat_get_version();
  verdat_get_params();

  // 9. Graphics layer and main window, on the display unless the run is a batch
  // run; there the loop may wait for the user while a window is up.
  if (!settings.batch && pwin_use_screen()) control_services.can_wait = [] { return uint8_t(pwin_screen_live()); };
  else if (!settings.batch) {
    // Without a display no one can press Run: the problem named runs as with -R, its
    // reports in its log; asked only to be opened (-E), it is not run, and says so.
    verdat_nodisplay = 1;
    pdedat_run_without_display(verdat_edit_only);
    // A plot file is still opened (one that cannot be read fails the run), but no
    // window can show it.
    if (verdat_view)
      fprintf(stderr, "quendar: no display to view %s on: nothing is shown\n",
              verdat_viewname.text ? verdat_viewname.text : "");
  }
  appwin.graphinit();
  quendar_running = 1;
  String none = {};
  appwin.root_caption(&none);

  // 10. Reader and symbol tables, quadrature rules, basis node coordinates, the
  // template trees of the fitting code.
  rdpde_init_parse();
  quature_init_quadrature();
  basisfun_node_coords();
  buildeq_make_fitrees();

  // 11-13. The catch point and the main loop.
  quendar_catch_loop();

  // 14. Normal end. A batch run, a run without a display or a run that ends by itself
  // (option X) in which a problem failed or could not be opened says so in its exit
  // code, for the scripts that start it.
  appwin.close_all();
  gag_closegraph();
  debug_debug_off();
  free_texts();
  // A run whose answer did not converge, with no failure, has an exit code of its own.
  // A run ended by an interrupt or termination request says so the shell's way.
  if (int sig = rtlib_interrupt_signal()) return 128 + sig;
  if (!verdat_reports_in_log() && !verdat_exit) return 0;
  return control_failed ? 1 : control_unconverged ? QUENDAR_UNCONVERGED : 0;
}
