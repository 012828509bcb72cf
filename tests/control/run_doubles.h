// Test doubles of the reader, mesher, analysis, solvers and message pump for the
// run-controller tests: each returns a scripted phase and records its call, and
// the message pump runs the events a test injects.
#pragma once
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "control/control.h"
#include "control/pdedat.h"
#include "control/quendar.h"
#include "control/verdat.h"

// What the doubles do for one problem, keyed by its name.
struct Script {
  int stages = 0;
  int nvars = 1;
  int dimension = 2;
  int order = 0;           // 0 keeps the preset ORDER
  bool eigen = false;
  int modes = 0;
  bool timedep = false;
  bool stagegrid = false;
  int autostage = -1;      // -1 keeps the preset AUTOSTAGE
  bool notify_done = false;
  bool parse_fails = false;  // a parse error at line 2, column 7 of the descriptor
  bool fpe_in_analysis = false;
  std::vector<double> eigenvalues;
};

extern std::map<std::string, Script> scripts;
extern std::vector<std::string> calls;       // "parse NAME PASS", "mesh NAME", ...
extern std::vector<int> waits;               // the wait argument of each dispatch
extern std::function<void(int)> on_dispatch; // the events of pass n (from 1)

// Puts the doubles into control_services and clears what they recorded.
void run_doubles_install();

// A clean run state: no open problem, no batch, interactive, running flag 1.
void run_reset();

// Runs the main loop under the catch point, with the main routine's name as home.
int run_loop();

// The text of a file.
std::string slurp(const std::string &path);
// Writes a descriptor file.
void write_file(const std::string &path, const std::string &text);
pde *open_problem(const std::string &path);

struct RunFixture : ::testing::Test {
  std::string dir;
  void SetUp() override;
  void TearDown() override;
  std::string path(const std::string &name) const { return dir + "/" + name; }
};
