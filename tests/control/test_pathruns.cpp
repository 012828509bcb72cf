// The sanitized build's runs of the paths that only its long program runs reached. Its ctest
// leaves out the runs of scripts/plain_only_tests.txt, which take minutes under the
// sanitizers, and runs here the few of their descriptors that reach the library lines no
// other test of that build reaches (by a coverage build's counts): each must end as it ends
// in its table, with no sanitizer report. The plain build runs the tables whole and checks
// every answer; this file is compiled only under the sanitizers.
#include <filesystem>

#include "tests/control/doubles.h"

#ifdef QUENDAR_SANITIZE
namespace {

namespace fs = std::filesystem;

struct PathRun {
  const char *name;
  int status;
  const char *text;  // a line of the log the run must write
};

struct PathRuns : ProgramRun {
  // Runs each descriptor of tests/data/FOLDER (with the files named like it) in batch.
  void expect_ends(const char *folder, std::initializer_list<PathRun> runs) {
    for (const PathRun &r : runs) {
      for (const auto &e : fs::directory_iterator(fs::path(QUENDAR_DATA) / folder))
        if (e.path().stem() == r.name) fs::copy_file(e.path(), fs::path(dir) / e.path().filename());
      std::string pde = std::string(r.name) + ".pde";
      EXPECT_EQ(shell("prlimit --cpu=600 timeout 6000 '" QUENDAR_EXE "' -B -R -X " + pde), r.status) << r.name << "\n"
                                                                                                     << out();
      std::string log = slurp(dir + "/" + r.name + ".log");
      EXPECT_NE(log.find(r.text), std::string::npos) << r.name << "\n" << log;
      // A run that ends in an error may leave its message's text unfreed (a String its
      // error's jump left), nothing else: the arrays of a routine the error left (a diverging
      // run's overflow traps inside the matrix products) are released however it ends. Any
      // other report fails, and so does a leak of a run that ends well.
      std::string said = out();
      for (const char *report : {"ERROR: AddressSanitizer", "runtime error:", "LeakSanitizer"})
        if (r.status == 0 || std::string(report) != "LeakSanitizer")
          EXPECT_EQ(said.find(report), std::string::npos) << r.name << "\n" << said;
      for (size_t at = said.find("leak of "); at != std::string::npos; at = said.find("leak of ", at + 1)) {
        std::string block = said.substr(at, said.find("\n\n", at) - at);
        EXPECT_NE(block.find("(String*"), std::string::npos) << r.name << "\n" << block;
      }
    }
  }
};

// Of the two time-run tables (Answers.TimeRuns...).
TEST_F(PathRuns, TimeDriverEndsAsInItsTables) {
  expect_ends("answers", {
                             // a value condition that reads the solution; a dynamic Robin side;
                             // an antiperiodic link; a Robin coefficient in t
                             {"solution_dependent_value_in_time", 0, "--DONE--"},
                             {"dynamic_boundary_robin", 0, "--DONE--"},
                             {"antiperiodic_in_time", 0, "--DONE--"},
                             {"robin_coefficient_in_time", 0, "--DONE--"},
                             // a start refined to the node limit in a square and in a cube
                             {"square_step_node_limit", 0, "| NODE LIMIT\n"},
                             {"cube_step_node_limit", 0, "--DONE--"},
                             // merges of linear cells under the cell-centre estimate; a noisy start
                             {"heat_mode_centre_error", 0, "--DONE--"},
                             {"noise_start_decays", 0, "--DONE--"},
                             // a source read through a TABLE in t
                             {"source_table_in_time", 0, "--DONE--"},
                             // runs that end as their values grow past any size
                             {"blowup_fixed_steps", 1, "ERROR: Solution Diverged"},
                             {"blowup_in_time", 1, "ERROR: Solution Diverged at t = 0.60"},
                         });
}

// Of Checked.NewtonOverflowIsANewtonFailure: the line search where the residual overflows
// (its third run, past the fold of a Bratu problem, is checked there alone).
TEST_F(PathRuns, NewtonOverflowEndsAsInItsTable) {
  expect_ends("checked", {{"exp_conductivity_far_start", 3, "| NEWTON DIVERGED: NOT CONVERGED\n"},
                          {"exp_conductivity_overflow", 0, "--DONE--"}});
}

}  // namespace
#endif
