// The run controller's main loop: phases, after-step rules, batch sequencing, the
// catch point, and requests injected through the message pump.
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <csignal>
#include <regex>

#include "runtime/bopmem.h"
#include "runtime/rtlib.h"
#include "tests/control/doubles.h"
#include "tests/runtime/harness.h"

namespace {

using V = std::vector<std::string>;

// The log with its variable parts replaced: the time prefix by "T| ", the start
// date by "DATE", the test directory by "DIR/".
std::string normalised(std::string log, const std::string &dir) {
  log = std::regex_replace(log, std::regex("(^|\n) \\d+:\\d\\d(:\\d\\d)?\\| "), "$1T| ");
  log = std::regex_replace(log, std::regex("\\d\\d:\\d\\d:\\d\\d \\d+/\\d+/\\d\\d"), "DATE");
  for (size_t k; (k = log.find(dir + "/")) != std::string::npos;) log.replace(k, dir.size() + 1, "DIR/");
  return log;
}

const char *descriptor = "TITLE 'test'\nSELECT bad here\nEND\n";

struct Run : RunFixture {
  // Writes the descriptors and opens them to run at once.
  std::vector<pde *> open(std::initializer_list<const char *> names) {
    std::vector<pde *> out;
    for (const char *n : names) {
      spit(path(n) + ".pde", descriptor);
      out.push_back(open_problem(path(n) + ".pde"));
      out.back()->runflag = 1;
    }
    return out;
  }
  std::string log(const char *name) { return normalised(slurp(path(name)), dir); }
};

struct Batch : Run {
  // Writes the descriptors and lists them as the batch section would.
  void list(std::initializer_list<const char *> names) {
    settings.batchlog = fopen(path("batch.log").c_str(), "w");
    for (const char *n : names) {
      spit(path(n) + ".pde", descriptor);
      OwnedString s(path(n) + ".pde");
      strings_one_more(&pdedat_batch_names, &s);
    }
    pdedat_batch_count = int32_t(names.size());
    bopmemalloc(&pdedat_batch_states, pdedat_batch_count, 1);
    settings.batch = verdat_exit = 1;
  }
  void expect_all_done() {
    for (int k = 0; k < pdedat_batch_count; k++) EXPECT_EQ(pdedat_batch_states[k], 2) << "entry " << k + 1;
    for (int k = 1; k <= pdedat_count; k++) EXPECT_EQ(pdedat_table[k]->phase, 0) << "slot " << k;
    EXPECT_EQ(quendar_running, 0);
    EXPECT_EQ(settings.batchlog, nullptr);
  }
};

TEST_F(Batch, ThreeProblemsOneFailingToParse) {
  list({"one", "two", "three"});
  scripts["one"].stages = 2;
  scripts["two"].parse_fails = true;
  spit(path("quendar.cfg"), "SELECT errlim=0.01\n");
  EXPECT_EQ(run_loop(), 1);  // the parse error is the one landing
  expect_all_done();
  EXPECT_EQ(control_parse_nesting * 10 + control_failed, 1);  // the run's exit code is 1
  EXPECT_EQ(log("batch.log"),
            "\nSTART DIR/one.pde  DATE\nT| END STAGE 1\nT| END STAGE 2\nT| --DONE--\nEND\n"
            "\nSTART DIR/two.pde  DATE\nT| SELECT bad here\n             *\n"
            "           Line 2 ERROR: SYNTAX ERROR\nT| TERMINATED\nEND\n"
            "\nSTART DIR/three.pde  DATE\nT| --DONE--\nEND\n");
  // The configuration first; stage 2 is analysed again on the same mesh.
  V one;
  for (auto &c : calls)
    if (c.find(" one") != std::string::npos) one.push_back(c);
  EXPECT_EQ(one, (V{"parse one 0", "parse one 1", "mesh one", "analyze one 1", "initial one", "linear one",
                    "analyze one 2", "initial one", "linear one"}));
  for (int w : waits) EXPECT_EQ(w, 0) << "a batch run never waits";
}

TEST_F(Batch, AMissingDescriptorIsSkippedAndFailsTheRun) {
  for (bool missing : {false, true}) {
    run_reset();
    list({"one", "two"});
    if (missing) remove((path("one") + ".pde").c_str());
    run_loop();
    expect_all_done();
    EXPECT_EQ(control_failed, missing);
  }
  std::string l = log("batch.log");
  EXPECT_NE(l.find(" ERROR: No Input File: DIR/one.pde\n"), std::string::npos) << l;
  EXPECT_NE(l.find("START DIR/two.pde"), std::string::npos) << l;
}

TEST_F(Batch, FloatingPointTrapInAStepIsReportedEveryTime) {
  list({"a", "b", "c"});
  scripts["a"].fpe_in_analysis = scripts["c"].fpe_in_analysis = true;
  EXPECT_EQ(run_loop(), 4);  // each trap lands as a fatal error, then as its report
  expect_all_done();
  EXPECT_EQ(rtlib_latch(), 0);
  const char *failed = "T| ERROR: Floating-Point Divide by Zero\nT| TERMINATED\nEND\n";
  EXPECT_EQ(log("batch.log"), std::string("\nSTART DIR/a.pde  DATE\n") + failed +
                                  "\nSTART DIR/b.pde  DATE\nT| --DONE--\nEND\n\nSTART DIR/c.pde  DATE\n" + failed);
}

TEST_F(Batch, UnwritableEigenvalueListingEndsTheProblem) {
  list({"e", "next"});
  scripts["e"].eigen = true;
  scripts["e"].modes = 1;
  ASSERT_EQ(mkdir(path("e.eig").c_str(), 0700), 0);  // the listing cannot be opened
  run_loop();
  expect_all_done();
  // Reported once: the end of the run writes the listing, the stop does not again.
  EXPECT_EQ(log("batch.log"), "\nSTART DIR/e.pde  DATE\nT| ERROR: Can't open Eigenvalue File\nT| TERMINATED\nEND\n"
                              "\nSTART DIR/next.pde  DATE\nT| --DONE--\nEND\n");
}

// The handler of SIGFPE now installed is the default one.
bool fpe_default() {
  struct sigaction sa;
  sigaction(SIGFPE, nullptr, &sa);
  return sa.sa_handler == SIG_DFL;
}

TEST_F(Batch, SignalHandlersAreInstalledAgainUnlessDefaultHandlingWasAsked) {
  for (uint8_t d : {0, 1}) {
    run_reset();
    list({"a"});
    scripts["a"].fpe_in_analysis = true;
    verdat_defsignals = d;
    EXPECT_EQ(run_loop(), 2);
    EXPECT_EQ(fpe_default(), d == 1);
  }
}

TEST_F(Batch, DxfImportLoadsItsDescriptorOrTerminates) {
  list({});
  pde *a = open_problem(path("drawing.dxf"));  // as the Import DXF command makes it
  a->phase = PHASE_DXF;
  run_loop();
  EXPECT_EQ(a->phase, PHASE_FREE);
  EXPECT_EQ(log("batch.log"), "T| TERMINATED\nEND\n");

  run_reset();
  dxf_result = 0;  // the drawing became drawing.pde, which is loaded next
  spit(path("drawing.pde"), descriptor);
  a = open_problem(path("drawing.dxf"));
  a->phase = PHASE_DXF;
  run_loop();
  EXPECT_EQ(a->phase, PHASE_EDIT);
  EXPECT_EQ(calls.at(0), "dxf " + path("drawing"));  // the drawing of the problem's folder and name
}

TEST_F(Run, TrapLeavesOtherProblemsUntouched) {
  auto p = open({"a", "b"});
  scripts["a"].fpe_in_analysis = true;
  EXPECT_EQ(run_loop(), 2);
  // The failing problem waits in the editor; the other ran to its end.
  EXPECT_EQ((V{std::to_string(p[0]->phase), std::to_string(p[1]->phase), std::to_string(p[1]->stopped),
               std::to_string(control_failed)}),
            (V{std::to_string(PHASE_EDIT), std::to_string(PHASE_DONE), "1", "0"}));
  // The editor's Run command: the same trap is reported the same way again.
  p[0]->phase = PHASE_START;
  quendar_running = 1;
  EXPECT_EQ(run_loop(), 2);
  EXPECT_EQ(p[0]->phase * 10 + rtlib_latch(), PHASE_EDIT * 10);
}

TEST_F(Run, IdleLoopEndsWhenNoMessageCanArrive) {
  EXPECT_EQ(run_loop(), 0);
  EXPECT_EQ(waits, (std::vector<int>{0}));
  quendar_running = 1;
  pde *a = open_problem(path("a.pde"));
  spit(path("a.pde"), descriptor);
  EXPECT_EQ(run_loop(), 0);
  EXPECT_EQ(a->phase * 10 + a->stage, PHASE_EDIT * 10 + 1);
  // Load, hand to the editor, then an idle pass that ends the headless loop.
  EXPECT_EQ(waits, (std::vector<int>{0, 0, 0, 0}));
}

TEST_F(Run, ExitOptionEndsTheRunWhenItsProblemCloses) {
  // Another problem waits in the editor and messages can still arrive: only the
  // close of the run with X ends the loop.
  spit(path("editing.pde"), descriptor);
  open_problem(path("editing.pde"));
  pde *a = open({"a"})[0];
  verdat_exit = 1;
  can_wait = 1;
  on_dispatch = [](int pass) {
    if (pass > 20) quendar_running = 0;
  };
  run_loop();
  EXPECT_EQ(a->phase, PHASE_FREE);
  EXPECT_LT(waits.size(), 20u) << "the loop went on after the run ended";
  std::string l = slurp(path("a.log"));
  EXPECT_EQ(l.rfind("Quendar Version 2.20d  15:00:39 4/8/01\n", 0), 0u) << l;
  EXPECT_NE(l.find("--DONE--\nEND\n"), std::string::npos) << l;
}

TEST_F(Run, StopFinishAndCloseRequestsFromTheMessagePump) {
  auto p = open({"stop", "finish", "close"});
  scripts["finish"].stages = 3;
  on_dispatch = [&p](int) {
    if (p[0]->phase == PHASE_ANALYSIS) p[0]->stop = 1;
    if (p[1]->phase == PHASE_STAGE_END) p[1]->skipstages = 1;
    if (p[2]->phase == PHASE_SOLVE) p[2]->stop = p[2]->close = 1;
  };
  run_loop();
  // Stop: the analysis step still runs, then the problem halts before the solve.
  EXPECT_EQ(p[0]->phase * 100 + p[0]->stopped * 10 + p[0]->stop, PHASE_SOLVE * 100 + 10);
  std::string l = log("stop.log");
  EXPECT_NE(l.find("\n--STOP--\n"), std::string::npos) << l;
  EXPECT_EQ(l.find("--DONE--"), std::string::npos) << l;
  // Finish: the remaining stages are skipped.
  EXPECT_EQ(p[1]->phase * 10 + p[1]->stage, PHASE_DONE * 10 + 1);
  l = log("finish.log");
  EXPECT_NE(l.find("T| END STAGE 1\nT| --DONE--\n"), std::string::npos) << l;
  // Close: the record is freed.
  EXPECT_EQ(p[2]->phase, PHASE_FREE);
  EXPECT_NE(slurp(path("close.log")).find("--STOP--\nEND\n"), std::string::npos);
}

TEST_F(Run, NextStageQuestion) {
  pde *a = open({"a"})[0];
  scripts["a"].stages = 2;
  scripts["a"].autostage = 0;
  run_loop();  // no answer: No
  EXPECT_EQ(a->phase * 10 + a->stage, PHASE_DONE * 10 + 1);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].message + "|" + shown[0].caption, "Start Next Stage?|PAUSE");
  answers.push_back(1);
  a->phase = PHASE_STAGE_END;
  a->stopped = 0;
  quendar_running = 1;
  run_loop();
  EXPECT_EQ(a->phase * 10 + a->stage, PHASE_DONE * 10 + 2);
}

TEST_F(Run, StageGridParsesEveryStageAgain) {
  pde *a = open({"a"})[0];
  scripts["a"].stages = 3;
  scripts["a"].stagegrid = true;
  run_loop();
  EXPECT_EQ(a->phase * 10 + a->stage, PHASE_DONE * 10 + 3);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "parse a 1"), 3);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "mesh a"), 3);
}

TEST_F(Run, SolverFollowsTheKindOfProblem) {
  open({"s", "n", "t", "e", "none"});
  scripts["n"].nonlinear = true;
  scripts["t"].timedep = true;
  scripts["e"].eigen = true;
  scripts["e"].modes = 3;
  scripts["e"].eigenvalues = {1.5, -2.25e-5, 12345.678901};
  scripts["none"].nvars = 0;  // no variables: from solve straight to plots
  run_loop();
  for (const char *c : {"linear s", "nonlinear n", "evolve t", "eigen e"})
    EXPECT_EQ(std::count(calls.begin(), calls.end(), c), 1) << c;
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "initial none"), 0);
  EXPECT_EQ(pdedat_table[5]->phase, PHASE_DONE);
  // The eigenvalue listing: header, blank line, title, "%4d: " and 10 digits.
  std::string l = log("e.eig");
  EXPECT_TRUE(std::regex_match(l, std::regex("e\\.pde  DATE\n\nEIGENVALUES\n   1: .*\n   2: .*\n   3: .*\n"))) << l;
  const double values[] = {1.5, -2.25e-5, 12345.678901};
  for (int i = 0; i < 3; i++) {
    size_t at = l.find(std::to_string(i + 1) + ": ") + 3;
    EXPECT_NEAR(strtod(l.c_str() + at, nullptr), values[i], 1e-9 * std::fabs(values[i])) << l;
  }
}

TEST_F(Run, FailedLoadFreesTheRecordAndItsTexts) {
  spit(path("quendar.cfg"), "SELECT errlim=0.01\n");
  // A first failed load sizes the program-wide tables (text files, messages) once.
  open_problem(path("missing.pde"));
  run_loop();
  quendar_running = 1;
  int64_t before = XMEM;
  pde *a = open_problem(path("missing.pde"));
  EXPECT_GT(XMEM, before);
  run_loop();
  EXPECT_TRUE(a->phase == PHASE_FREE && a->mesh.domain == nullptr);
  EXPECT_EQ(XMEM, before);  // the slot of the first load was reused; all else went back
  EXPECT_EQ(shown.back().message, "No Input File: " + path("missing.pde"));
  for (uint16_t n = 1; n < 64; n++) {
    TextFile *t = textin_text_name(n);
    EXPECT_FALSE(t && t->open && t->name.text && strstr(t->name.text, "quendar.cfg")) << "text " << n;
  }
}

TEST_F(Run, ParseOnlyAndExit) {
  open({"a"});
  verdat_parseonly = verdat_exit = 1;
  run_loop();
  EXPECT_EQ(pdedat_table[1]->phase * 10 + quendar_running, PHASE_FREE * 10);
  EXPECT_EQ(calls, (V{"parse a 1"}));
  EXPECT_EQ(log("a.log"), "Quendar Version 2.20d  DATE\n\nSTART DIR/a.pde  DATE\nEND\n");
}

TEST_F(Run, ViewAndOpenDialogActOnceOnEntry) {
  verdat_view = verdat_opendialog = 1;
  strings_copyto_1(&verdat_viewname, "plots.pgx");
  run_loop();
  EXPECT_EQ(verdat_view + verdat_opendialog, 0);
  strings_free_0(&verdat_viewname);
}

}  // namespace
