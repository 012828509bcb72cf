// verdat: the version texts, and the command line: option letters switch run
// modes, the last other word names the problem file to open.
#include "control/verdat.h"

#include <sys/stat.h>

#include <cctype>
#include <cstring>

#include "control/control.h"
#include "control/pdedat.h"
#include "runtime/debug.h"
#include "runtime/except.h"
#include "runtime/rtlib.h"
#include "runtime/settings.h"
#include "runtime/textin.h"

String verdat_product, verdat_product2, verdat_pdeext, verdat_plotext;
const char *verdat_buildtime = "15:00:39 4/8/01";
String verdat_version, verdat_prodversion, verdat_versionline;

uint8_t verdat_defsignals, verdat_fullheight = 1, verdat_macro,
    verdat_opendialog, verdat_parseonly, verdat_view, verdat_exit, verdat_runflag;
String verdat_viewname;
uint8_t verdat_nodisplay;

uint8_t verdat_edit_only = 0;
bool verdat_reports_in_log() { return settings.batch || verdat_nodisplay; }

int verdat_init() {
  TRACE("verdat");
  return 0;
}

void verdat_get_version() {
  TRACE("verdat_get_version_0");
  strings_copyto_1(&verdat_version, "2.20d");
  strings_copyto_0(&verdat_prodversion, &verdat_product);
  strings_addto_1(&verdat_prodversion, " ");
  strings_addto_0(&verdat_prodversion, &verdat_version);
  strings_copyto_1(&verdat_versionline, " Version ");
  strings_addto_0(&verdat_versionline, &verdat_version);
  strings_addto_1(&verdat_versionline, "  ");
  strings_addto_1(&verdat_versionline, verdat_buildtime);
  strings_copyto_0(&settings.versiontext, &verdat_product);
  strings_addto_0(&settings.versiontext, &verdat_versionline);
}

// Whether a command-line word is an option. "-" always introduces one; a word
// beginning with "/" is one only in an option's form (one letter, or W and digits)
// and when no such path exists, so that absolute file names stay file names.
static bool is_option(const char *w) {
  if (w[0] == '-') return true;
  if (w[0] != '/') return false;
  const char *r = w + 1;
  bool form = isalpha((unsigned char)r[0]) && r[1] == 0;
  if (toupper((unsigned char)r[0]) == 'W') {
    form = true;
    for (const char *c = r + 1; *c; c++) form = form && isdigit((unsigned char)*c);
  }
  struct stat st;
  return form && stat(w, &st) != 0;
}

// Acts on the first letter of an option word (the "-" or "/" removed).
static void option(const char *w) {
  String u{};
  strings_copyto_1(&u, w + 1);
  strings_upstring_0(&u);
  switch (u.length ? u.text[0] : 0) {
    case 'B': settings.batch = 1; break;
    case 'D':
      rtlib_release_signals();
      except_set_rearm_signals(false);
      verdat_defsignals = 1;
      break;
    case 'E':
      verdat_runflag = 0;
      verdat_edit_only = 1;
      break;
    case 'F': verdat_fullheight = 1; break;
    case 'M': verdat_macro = !verdat_macro; break;
    case 'N': verdat_fullheight = 0; break;
    case 'O': verdat_opendialog = 1; break;
    case 'P': verdat_parseonly = 1; break;
    case 'R': verdat_runflag = 1; break;
    case 'V': verdat_view = 1; break;
    case 'W': {
      String digits{};
      strings_copyto_1(&digits, u.text + 1);
      control_services.create_pens(0.001f, strings_intval(&digits));
      strings_free_0(&digits);
      break;
    }
    case 'X': verdat_exit = 1; break;
    default: break;
  }
  strings_free_0(&u);
}

void verdat_get_params() {
  TRACE("verdat_get_params_0");
  String file{};
  // 1. Options act at once; the last other word is the file.
  for (int16_t i = 1; i <= rtlib_arg_count(); i++) {
    const char *w = rtlib_arg_text(i);
    if (!w) continue;
    if (is_option(w))
      option(w);
    else
      strings_copyto_1(&file, w);
  }
  // 2. The file: a plot file to view, a problem to open, or where the dialog starts.
  if (file.length > 0) {
    if (verdat_view) {
      strings_copyto_0(&verdat_viewname, &file);
    } else if (!verdat_opendialog) {
      pdedat_open_named(&file, verdat_runflag);
    } else {
      control_services.set_cwd(&file);
    }
  }
  strings_free_0(&file);
  // 3. The debug log, in the current directory unless the main routine opened it.
  if (!debug_open) {
    if (!debug_debug_on("quendar.dbg")) rtlib_fatal_in("verdat_get_params_0", "Can't create Quendar.dbg");
    textin_text_echo(debug_file);
  }
  // 4. The version text heads the debug log.
  debug_printf("%s\n", settings.versiontext.text ? settings.versiontext.text : "");
}
