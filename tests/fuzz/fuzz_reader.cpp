// Fuzz target of the descriptor parser: any bytes are parsed as the descriptor of a
// problem in batch mode, as the run controller does, with the macro generator off and
// on; then, as the data file of a TABLE reference and of a TRANSFER reference of a
// fixed descriptor; then, as files on disk that the run controller's loop loads: the
// descriptor, an INCLUDE file and the folder's quendar.cfg. A run passes when the parse is accepted or ends in an error reported at a place
// (in the batch log the source line, the "*" line and "Line N ERROR: ..."), or hands a
// BATCH list over to the run controller, without a crash, trap, leak or hang.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "control/control.h"
#include "control/pdedat.h"
#include "model/pdedat_record.h"
#include "control/quendar.h"
#include "control/verdat.h"
#include "reader/gpmin.h"
#include "reader/ppde.h"
#include "reader/rdpde.h"
#include "runtime/bopmem.h"
#include "runtime/except.h"
#include "runtime/rtlib.h"
#include "tests/fuzz/fuzzlog.h"
#include "runtime/textin.h"

namespace {

// Terminals one input may read: a legal REPEAT loop can run long without hanging.
constexpr uint32_t kBudget = 200000;
uint32_t symbols = 0;
FILE *batch_log = nullptr;

uint16_t budgeted(parse_node *node) {
  if (++symbols > kBudget) {
    (void)node;
    TextLoc loc = {};
    textin_textloc(&loc, rdpde_problem->desctext);
    String m = {};
    strings_copyto_1(&m, "Symbol budget exceeded");
    pdedat_parse_err_0(rdpde_problem, &loc, &m);
  }
  return rdpde_readsymbol(node);
}

// The data file the table and transfer modes read, in a folder of its own.
std::string data_file() {
  static std::string path = [] { return fuzz_temp_folder("fuzz_reader") + "/fuzz.dat"; }();
  return path;
}

std::string referencing(const char *reference, const char *names) {
  return std::string("TITLE 'data'\nVARIABLES\n  u\nDEFINITIONS\n  ") + reference + "('" + data_file() + "'" + names +
         ")\nEQUATIONS\n  u = 0\nBOUNDARIES\n  REGION 1 START(0,0) LINE TO (1,0) TO (0,1) TO FINISH\nEND\n";
}

void parse(const std::string &bytes, bool macros) {
  if (ftruncate(fileno(batch_log), 0) != 0) abort();
  rewind(batch_log);
  symbols = 0;
  String name = {};
  strings_copyto_1(&name, "fuzz.pde");
  pde *p = pdedat_new_pde(&name);
  strings_free_0(&name);
  report_current = p;
  verdat_macro = macros;
  // The text is taken inside the catch point: a line too long is reported there.
  int code = except_catch("fuzz_reader", [p, &bytes] {
    String none = {};
    p->desctext = textin_preset_text(&none, 0, bytes.c_str());
    control_parse_file(p);
  });
  if (code == EXCEPT_REPORTED && p->phase == 0) {
    // A BATCH list handed over: its record is freed with its texts, and the list
    // is dropped again, so that the next input is not a nested list.
    strings_free_1(&pdedat_batch_names, 1);
    bopmemfree(&pdedat_batch_states);
    pdedat_batch_count = 0;
    settings.batchlog = batch_log;
    control_parse_nesting = 0;
    if (macros) gpmin_close_gpm();
    verdat_macro = 0;
    report_current = nullptr;
    return;
  }
  if (code) {
    // What the main routine's catch point does for an abandoned parse.
    control_parse_nesting = 0;
    if (macros) gpmin_close_gpm();
    std::string log = fuzz_log_text(batch_log);
    bool located = log.find("*\n") != std::string::npos && log.find(" ERROR: ") != std::string::npos;
    if (code != EXCEPT_REPORTED || !located) {
      fprintf(stderr, "parse ended with code %d and log:\n%s\n", code, log.c_str());
      abort();
    }
  }
  verdat_macro = 0;
  rdpde_close_includes(p);
  textin_close_text(p->desctext);
  p->desctext = 0;
  pdedat_free_pde(p);
  report_current = nullptr;
}

// The bytes as one of the files the run controller reads from a problem's folder:
// the descriptor itself, an INCLUDE file of a fixed descriptor, or the folder's
// quendar.cfg, each opened through the text reader from disk. The problem is loaded
// and parsed by the run controller's own loop (batch, parse only); a text it cannot
// read ends the problem with a located error, and the loop must come back.
void run_files(const std::string &bytes, int mode) {
  static const std::string folder = [] { return fuzz_temp_folder("fuzz_reader_files") + "/"; }();
  for (const char *name : {"fuzz.pde", "fuzz.inc", "quendar.cfg", "fuzz.log", "fuzz.pgx"})
    unlink((folder + name).c_str());
  const std::string fixed = "TITLE 'files'\n#INCLUDE 'fuzz.inc'\nEND\n";
  const char *file = mode == 0 ? "fuzz.pde" : mode == 1 ? "fuzz.inc" : "quendar.cfg";
  for (const auto &[name, text] : {std::pair<std::string, std::string>{file, bytes}, {"fuzz.pde", fixed}}) {
    if (access((folder + name).c_str(), F_OK) == 0) continue;
    FILE *f = fopen((folder + name).c_str(), "wb");
    if (!f) abort();
    fwrite(text.data(), 1, text.size(), f);
    fclose(f);
  }
  // Opening the problem makes its folder current; libFuzzer's paths are relative.
  char cwd[4096];
  if (!getcwd(cwd, sizeof cwd)) abort();
  FILE *log = tmpfile();
  settings.batchlog = log;
  verdat_parseonly = verdat_exit = 1;
  quendar_running = 1;
  String name = {};
  strings_copyto_1(&name, (folder + "fuzz.pde").c_str());
  pdedat_new_pde(&name);
  strings_free_0(&name);
  {
    TRACE(quendar_home);  // the catch point unwinds to the main routine's name
    quendar_catch_loop();
  }
  verdat_parseonly = verdat_exit = 0;
  if (chdir(cwd) != 0) abort();
  // A BATCH list the bytes held has run; it is dropped with its states.
  strings_free_1(&pdedat_batch_names, 1);
  bopmemfree(&pdedat_batch_states);
  pdedat_batch_count = 0;
  // The loop closed the problem, with its log, and the batch log.
  std::string text = settings.batchlog ? fuzz_log_text(settings.batchlog) : "";
  if (settings.batchlog) fclose(settings.batchlog);
  settings.batchlog = batch_log;
  for (int k = 1; k <= pdedat_count; k++)
    if (pdedat_table[k] && pdedat_table[k]->phase != 0) {
      fprintf(stderr, "problem %d left open in phase %d\n%s\n", k, pdedat_table[k]->phase, text.c_str());
      abort();
    }
  control_parse_nesting = 0;
  control_failed = 0;
  verdat_macro = 0;
  report_current = nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static const bool ready = [] {
    rtlib_set_uncle_hook(except_uncle);
    rdpde_init();
    rdpde_init_parse();
    textin_set_report(pdedat_text_err);  // as the main routine's catch point sets it
    report_hooks = pdedat_reports;  // as pdedat_init installs them
    // The names and texts the main routine prepares, for the loop's own loads.
    strings_copyto_1(&verdat_product, "Quendar");
    strings_copyto_1(&verdat_pdeext, "pde");
    strings_copyto_1(&verdat_plotext, "pgx");
    verdat_get_version();
    settings.batch = 1;
    batch_log = tmpfile();
    settings.batchlog = batch_log;
    ppde_input.read = budgeted;
    return true;
  }();
  (void)ready;
  std::string bytes(reinterpret_cast<const char *>(data), size);
  // The bytes as a descriptor, an INCLUDE file and a configuration read from disk.
  for (int mode = 0; mode < 3; mode++) run_files(bytes, mode);
  parse(bytes, false);
  parse(bytes, true);
  // The bytes as a table file (its names looked up in the descriptor) and as a
  // transfer file (two names bound to its variables).
  FILE *f = fopen(data_file().c_str(), "wb");
  if (!f) abort();
  fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
  parse(referencing("f = TABLE", ""), false);
  parse(referencing("TRANSFER", ", u0, u1"), false);
  return 0;
}
