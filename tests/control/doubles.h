// Test doubles of every service run control calls through control_services, each
// recording its call, and the fixture of the run-control tests.
#pragma once
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <sstream>

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "control/control.h"
#include "control/pdedat.h"
#include "model/pdedat_record.h"
#include "control/quendar.h"
#include "control/verdat.h"
#include "runtime/textin.h"
#include "tests/tempfiles.h"

// What the reader, analysis and solver doubles do for one problem, keyed by its name.
struct Script {
  int stages = 0, nvars = 1, dimension = 2, order = 0, modes = 0, subspace = 0;
  int layers = 0;      // layers of the domain the parse leaves (an extruded problem's)
  int autostage = -1;  // -1 keeps the preset AUTOSTAGE
  bool eigen = false, timedep = false, stagegrid = false, nonlinear = false;
  bool parse_fails = false;  // a parse error at line 2, column 7 of the descriptor
  bool fpe_in_analysis = false;
  double overshoot = -1, changelim = -1, endvalue = 0;  // as the SELECT section left them
  std::vector<double> eigenvalues = {};
  int ngrid = 0;  // NGRID as the SELECT section left it
};

struct Shown {
  uint16_t view;
  std::string message, caption;
};

extern std::map<std::string, Script> scripts;
extern std::vector<std::string> calls;        // "parse NAME PASS", "mesh NAME", ...
extern std::vector<int> waits;                // the wait argument of each dispatch
extern std::function<void(int)> on_dispatch;  // the events of pass n (from 1)
extern std::function<int32_t(pde *)> mesher;  // the mesher's result (default 6)
extern uint8_t can_wait;                      // what can_wait answers
extern std::vector<Shown> shown;              // message boxes and questions
extern std::deque<int16_t> answers;           // answers to questions (No when empty)
extern bool editor_takes;                     // whether the editor takes a text
extern std::vector<TextLoc> edits;            // carets of the texts sent to the editor
extern std::vector<std::string> cwd_set;      // directories made current
extern std::vector<float> pens;               // pen widths created
extern int32_t dxf_result;

// A clean run state (no open problem, no batch, interactive, running) with the
// doubles installed and their records cleared.
void run_reset();
// Runs the main loop under the catch point, with the main routine's name as home.
int run_loop();
pde *open_problem(const std::string &path);
// The status panel's lines "label=value".
std::vector<std::string> panel_lines(const pad *d);
// The debug log's text written since a mark taken with debug_mark().
long debug_mark();
std::string debug_since(long mark);

// The quendar program run as a process in a fresh temporary directory.
struct ProgramRun : ::testing::Test {
  TempDir tmp;
  std::string dir = tmp.path;
  // Runs the shell command in the directory, its output to out.txt; the exit code.
  int shell(const std::string &command) {
    int status = system(("cd '" + dir + "' && " + command + " >'" + dir + "/out.txt' 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string out() { return slurp(dir + "/out.txt"); }
  std::vector<std::string> lines(const std::string &file) {
    std::istringstream in(slurp(dir + "/" + file));
    std::vector<std::string> v;
    for (std::string l; std::getline(in, l);) v.push_back(l);
    return v;
  }
};

// A temporary directory, the hook installed and the signal handlers armed.
struct RunFixture : ::testing::Test {
  TempDir tmp;
  std::string dir = tmp.path;
  void SetUp() override;
  void TearDown() override;
  std::string path(const std::string &name) const { return dir + "/" + name; }
};
