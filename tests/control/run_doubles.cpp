// Test doubles of the services the run controller's steps call, and the fixture.
#include "tests/control/run_doubles.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "elements/basisfun.h"
#include "elements/quature.h"
#include "runtime/bopmem.h"
#include "runtime/debug.h"
#include "runtime/except.h"
#include "runtime/rtlib.h"
#include "runtime/textin.h"

std::map<std::string, Script> scripts;
std::vector<std::string> calls;
std::vector<int> waits;
std::function<void(int)> on_dispatch;

static volatile double zero = 0.0;
static volatile double sink;

static std::string name_of(const pde *p) { return p->name.text ? std::string(p->name.text, p->name.length) : ""; }

static void parse(pde *p, uint16_t text, uint8_t pass) {
  std::string n = name_of(p);
  calls.push_back("parse " + n + " " + std::to_string(pass));
  if (pass == 0) return;
  const Script &s = scripts[n];
  if (s.parse_fails) {
    TextLoc loc{text, 7, 2};
    static String m;
    strings_copyto_1(&m, "SYNTAX ERROR");
    pdedat_parse_err_0(p, &loc, &m);
  }
  p->stages = static_cast<uint16_t>(s.stages);
  p->nvars = static_cast<uint16_t>(s.nvars);
  p->dimension = static_cast<uint16_t>(s.dimension);
  if (s.order) p->order = s.order;
  p->eigen = s.eigen;
  p->modes = static_cast<uint16_t>(s.modes);
  p->timedep = s.timedep;
  p->stagegrid = s.stagegrid;
  if (s.autostage >= 0) p->autostage = static_cast<uint8_t>(s.autostage);
  p->notifydone = s.notify_done;
}

static int32_t mesh(pde *p, uint8_t, int32_t) {
  calls.push_back("mesh " + name_of(p));
  return PHASE_ANALYSIS;
}
static int32_t grid3d(pde *p) {
  calls.push_back("grid3d " + name_of(p));
  return PHASE_ANALYSIS;
}
static int32_t analyze(pde *p) {
  TRACE("analyze_double_0");
  calls.push_back("analyze " + name_of(p) + " " + std::to_string(p->stage));
  if (scripts[name_of(p)].fpe_in_analysis) sink = 1.0 / zero;
  return PHASE_SOLVE;
}
static void initial(pde *p, double) { calls.push_back("initial " + name_of(p)); }
static int32_t solved(pde *p, const char *kind) {
  calls.push_back(std::string(kind) + " " + name_of(p));
  return PHASE_PLOTS;
}
static int32_t evolve(pde *p) { return solved(p, "evolve"); }
static int32_t eigen(pde *p) {
  for (double v : scripts[name_of(p)].eigenvalues) vectord_one_more(&p->eigenvalues, v);
  return solved(p, "eigen");
}
static int32_t nonlinear(pde *p) { return solved(p, "nonlinear"); }
static int32_t linear(pde *p) { return solved(p, "linear"); }
static void dispatch(uint8_t wait) {
  waits.push_back(wait);
  if (on_dispatch) on_dispatch(static_cast<int>(waits.size()));
}
static uint8_t cannot_wait() { return 0; }

void run_doubles_install() {
  control_default_services();
  control_services.parse = parse;
  control_services.freshmesh = mesh;
  control_services.grid3d = grid3d;
  control_services.analyze = analyze;
  control_services.initial_values = initial;
  control_services.evolve = evolve;
  control_services.eigen = eigen;
  control_services.nonlinear = nonlinear;
  control_services.linear = linear;
  control_services.dispatch = dispatch;
  control_services.can_wait = cannot_wait;
  scripts.clear();
  calls.clear();
  waits.clear();
  on_dispatch = nullptr;
}

void run_reset() {
  for (int k = 1; k <= pdedat_count; k++) {
    pde *p = pdedat_table[k];
    if (!p || p->phase == PHASE_FREE) continue;
    for (uint16_t t : {p->desctext, p->cfgtext, p->edittext})
      if (t) textin_close_text(t);
    pdedat_free_pde(p);
  }
  pdedat_current = nullptr;
  if (pdedat_batch_log) fclose(pdedat_batch_log);
  pdedat_batch_log = nullptr;
  strings_free_1(&pdedat_batch_names, 1);
  bopmemfree(&pdedat_batch_states);
  pdedat_batch_count = 0;
  pdedat_batch_index = 0;
  verdat_batch = verdat_defsignals = verdat_macro = verdat_opendialog = 0;
  verdat_parseonly = verdat_view = verdat_exit = verdat_runflag = 0;
  control_parse_nesting = 0;
  quendar_running = 1;
}

int run_loop() {
  TRACE(quendar_home);
  return quendar_catch_loop();
}

std::string slurp(const std::string &path) {
  std::string out;
  FILE *f = fopen(path.c_str(), "rb");
  if (!f) return out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  fclose(f);
  return out;
}

void write_file(const std::string &path, const std::string &text) {
  FILE *f = fopen(path.c_str(), "wb");
  ASSERT_TRUE(f) << path;
  fputs(text.c_str(), f);
  fclose(f);
}

pde *open_problem(const std::string &path) {
  String s = {};
  strings_copyto_1(&s, path.c_str());
  pde *p = pdedat_new_pde(&s);
  strings_free_0(&s);
  return p;
}

void RunFixture::SetUp() {
  char t[] = "/tmp/quendar-run-XXXXXX";
  dir = mkdtemp(t);
  run_reset();
  run_doubles_install();
  rtlib_set_uncle_hook(except_uncle);
  rtlib_latch_rearm();
  rtlib_unwinding = 0;
  rtlib_fpu_default();
  rtlib_catch_signals();
}

void RunFixture::TearDown() {
  run_reset();
  if (chdir("/") != 0) ADD_FAILURE() << "chdir";
  control_default_services();
  rtlib_release_signals();
  rtlib_set_uncle_hook(nullptr);
  rtlib_latch_rearm();
  std::string cmd = "rm -rf '" + dir + "'";
  if (system(cmd.c_str()) != 0) ADD_FAILURE() << cmd;
}

// The tests share one debug log in a temporary directory.
int main(int argc, char **argv) {
  ::testing::InitGoogleTest(&argc, argv);
  char t[] = "/tmp/quendar-rundbg-XXXXXX";
  std::string d = mkdtemp(t);
  std::string log = d + "/quendar.dbg";
  if (!debug_debug_on(log.c_str())) return 2;
  pdedat_init();
  control_init();
  quature_init_quadrature();
  basisfun_node_coords();
  strings_copyto_1(&verdat_product, "Quendar");
  strings_copyto_1(&verdat_pdeext, "pde");
  strings_copyto_1(&verdat_plotext, "pgx");
  verdat_get_version();
  int rc = RUN_ALL_TESTS();
  debug_debug_off();
  remove(log.c_str());
  rmdir(d.c_str());
  return rc;
}
