// Test doubles of the run-control services, the fixture, and the tests' main.
#include "tests/control/doubles.h"

#include <unistd.h>

#include "app/gui.h"
#include "app/views.h"
#include "app/windower.h"
#include "elements/basisfun.h"
#include "elements/quature.h"
#include "runtime/bopmem.h"
#include "runtime/debug.h"
#include "runtime/except.h"
#include "runtime/rtlib.h"

std::map<std::string, Script> scripts;
std::vector<std::string> calls;
std::vector<int> waits;
std::function<void(int)> on_dispatch;
std::function<int32_t(pde *)> mesher;
uint8_t can_wait;
std::vector<Shown> shown;
std::deque<int16_t> answers;
bool editor_takes;
std::vector<TextLoc> edits;
std::vector<std::string> cwd_set;
std::vector<float> pens;
int32_t dxf_result;

static volatile double zero = 0.0, sink;

static std::string str(const String *s) { return (s && s->text) ? std::string(s->text, s->length) : ""; }

static void parse(pde *p, uint16_t text, uint8_t pass) {
  std::string n = str(&p->name);
  calls.push_back("parse " + n + " " + std::to_string(pass));
  if (pass == 0) return;
  const Script &s = scripts[n];
  if (s.parse_fails) {
    TextLoc loc{text, 7, 2};
    static String m;
    strings_copyto_1(&m, "SYNTAX ERROR");
    pdedat_parse_err_0(p, &loc, &m);
  }
  p->stages = uint16_t(s.stages), p->nvars = uint16_t(s.nvars), p->dimension = uint16_t(s.dimension);
  // The declared variables, as the VARIABLES section leaves them (capacity in eights).
  if (!p->vars.items && s.nvars > 0) {
    uint16_t cap = uint16_t((s.nvars + 7) / 8 * 8);
    bopmemalloc(&p->vars.items, cap, sizeof(pdevar));
    XMEM += int64_t(cap) * sizeof(pdevar);
    p->vars.capacity = cap;
    p->vars.count = uint16_t(s.nvars);
    p->nfield = uint16_t(s.nvars);
  }
  if (s.order) p->order = s.order;
  p->eigen = s.eigen, p->modes = uint16_t(s.modes), p->select_subspace = s.subspace;
  p->timedep = s.timedep, p->stagegrid = s.stagegrid, p->nonlinear = s.nonlinear;
  if (s.autostage >= 0) p->autostage = uint8_t(s.autostage);
  p->overshoot = s.overshoot, p->changelim = s.changelim, p->endvalue = s.endvalue;
  p->ngrid = s.ngrid;
  // The domain, which every parse builds afresh.
  Domain *d = p->mesh.domain;
  d->twodee = s.dimension == 2, d->threed = s.dimension == 3;
  if (s.layers) strings_resize_1(&d->layernames, s.layers, s.layers);
}

static int32_t analyze(pde *p) {
  TRACE("analyze_double_0");
  calls.push_back("analyze " + str(&p->name) + " " + std::to_string(p->stage));
  if (scripts[str(&p->name)].fpe_in_analysis) sink = 1.0 / zero;
  return PHASE_SOLVE;
}
// A call recorded as "what NAME", returning the phase.
static int32_t called(const char *what, pde *p, int32_t phase) {
  calls.push_back(std::string(what) + " " + str(&p->name));
  return phase;
}

static const ControlServices doubles = {
    .parse = parse,
    .import_dxf = [](const String *path) { return calls.push_back("dxf " + str(path)), dxf_result; },
    .freshmesh = [](pde *p, uint8_t, int32_t) { return called("mesh", p, mesher ? mesher(p) : PHASE_ANALYSIS); },
    .grid3d = [](pde *p) { return called("grid3d", p, PHASE_ANALYSIS); },
    .analyze = analyze,
    .initial_values = [](pde *p, double) { called("initial", p, 0); },
    .evolve = [](pde *p) { return called("evolve", p, PHASE_PLOTS); },
    .eigen =
        [](pde *p) {
          for (double v : scripts[str(&p->name)].eigenvalues) vectord_one_more(&p->eigenvalues, v);
          return called("eigen", p, PHASE_PLOTS);
        },
    .nonlinear = [](pde *p) { return called("nonlinear", p, PHASE_PLOTS); },
    .linear = [](pde *p) { return called("linear", p, PHASE_PLOTS); },
    .dispatch = [](uint8_t wait) { waits.push_back(wait), on_dispatch ? on_dispatch(int(waits.size())) : void(); },
    .can_wait = [] { return can_wait; },
    .message = [](uint16_t view, const String *m, const String *c) { shown.push_back({view, str(m), str(c)}); },
    .yesno =
        [](uint16_t view, const String *m, const String *c) {
          shown.push_back({view, str(m), str(c)});
          int16_t a = answers.empty() ? 0 : answers.front();
          if (!answers.empty()) answers.pop_front();
          return a;
        },
    .edit_text = [](uint16_t, uint16_t, const TextLoc *caret) { return edits.push_back(*caret), uint8_t(editor_takes); },
    .get_cwd = [](String *d) { strings_copyto_1(d, "/fake/cwd/"); },
    .set_cwd = [](const String *d) { return cwd_set.push_back(str(d)), 0; },
    .create_pens = [](float unit, int32_t width) { pens.push_back(unit * float(width)); },
};

void run_reset() {
  for (int k = 1; k <= pdedat_count; k++) {
    pde *p = pdedat_table[k];
    if (!p || p->phase == PHASE_FREE) continue;
    for (uint16_t t : {p->desctext, p->cfgtext, p->edittext})
      if (t) textin_close_text(t);
    pdedat_free_pde(p);
  }
  report_current = nullptr;
  if (settings.batchlog) fclose(settings.batchlog);
  settings.batchlog = nullptr;
  strings_free_1(&pdedat_batch_names, 1);
  bopmemfree(&pdedat_batch_states);
  pdedat_batch_count = pdedat_batch_index = 0;
  settings.batch = verdat_defsignals = verdat_macro = verdat_opendialog = 0;
  verdat_parseonly = verdat_view = verdat_exit = verdat_runflag = verdat_nodisplay = 0;
  verdat_fullheight = 1;
  control_parse_nesting = 0;
  control_failed = control_unconverged = 0;
  quendar_running = 1;
  control_services = doubles;
  scripts.clear(), calls.clear(), waits.clear(), shown.clear(), answers.clear(), edits.clear();
  cwd_set.clear(), pens.clear();
  on_dispatch = nullptr, mesher = nullptr;
  can_wait = 0, editor_takes = true, dxf_result = 1;
}

int run_loop() {
  TRACE(quendar_home);
  return quendar_catch_loop();
}

pde *open_problem(const std::string &path) {
  String s = {};
  strings_copyto_1(&s, path.c_str());
  pde *p = pdedat_new_pde(&s);
  strings_free_0(&s);
  return p;
}

std::vector<std::string> panel_lines(const pad *d) {
  std::vector<std::string> out;
  for (int k = 0; k < d->last; k++) out.push_back(str(&d->labels.items[k]) + "=" + str(&d->values.items[k]));
  return out;
}

static std::string debug_log;

long debug_mark() {
  fflush(debug_file);
  return long(slurp(debug_log).size());
}

std::string debug_since(long mark) {
  fflush(debug_file);
  return slurp(debug_log).substr(size_t(mark));
}

void RunFixture::SetUp() {
  run_reset();
  rtlib_set_uncle_hook(except_uncle);
  rtlib_latch_rearm();
  rtlib_unwinding = 0;
  rtlib_fpu_default();
  rtlib_catch_signals();
}

void RunFixture::TearDown() {
  run_reset();
  control_default_services();
  rtlib_release_signals();
  rtlib_set_uncle_hook(nullptr);
  rtlib_latch_rearm();
}

// The tests share one debug log in a temporary directory.
int main(int argc, char **argv) {
  ::testing::InitGoogleTest(&argc, argv);
  TempDir logdir;
  debug_log = logdir.file("quendar.dbg");
  if (!debug_debug_on(debug_log.c_str())) return 2;
  pdedat_init();
  gui_init(), windower_init(), views_init();  // the window calls run control makes
  quature_init_quadrature();
  basisfun_node_coords();
  strings_copyto_1(&verdat_product, "Quendar");
  strings_copyto_1(&verdat_pdeext, "pde");
  strings_copyto_1(&verdat_plotext, "pgx");
  verdat_get_version();
  int rc = RUN_ALL_TESTS();
  debug_debug_off();
  return rc;
}
