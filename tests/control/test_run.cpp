// The run controller's main loop: phases, after-step rules, batch sequencing, the
// catch point, and requests injected through the message pump.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <csignal>

#include <algorithm>
#include <regex>
#include <string>

#include "control/control.h"
#include "control/pdedat.h"
#include "control/quendar.h"
#include "control/verdat.h"
#include "graphics/gag.h"
#include "platform/pwin.h"
#include "runtime/bopmem.h"
#include "runtime/rtlib.h"
#include "runtime/textin.h"
#include "tests/control/run_doubles.h"

namespace {

// The log with its variable parts replaced: the time prefix by "T| ", the start
// date by "DATE", the test directory by "DIR/".
std::string normalised(std::string log, const std::string &dir) {
  log = std::regex_replace(log, std::regex("(^|\n) \\d+:\\d\\d(:\\d\\d)?\\| "), "$1T| ");
  log = std::regex_replace(log, std::regex("\\d\\d:\\d\\d:\\d\\d \\d+/\\d+/\\d\\d"), "DATE");
  size_t k;
  while ((k = log.find(dir + "/")) != std::string::npos) log.replace(k, dir.size() + 1, "DIR/");
  return log;
}

const char *descriptor = "TITLE 'test'\nSELECT bad here\nEND\n";

struct Batch : RunFixture {
  // Writes the descriptors and lists them as the batch section would.
  void list(std::initializer_list<const char *> names) {
    pdedat_batch_log = fopen(path("batch.log").c_str(), "w");
    for (const char *n : names) {
      write_file(path(n) + ".pde", descriptor);
      String s = {};
      strings_copyto_1(&s, (path(n) + ".pde").c_str());
      strings_one_more(&pdedat_batch_names, &s);
      strings_free_0(&s);
    }
    pdedat_batch_count = static_cast<int32_t>(names.size());
    bopmemalloc(&pdedat_batch_states, pdedat_batch_count, 1);
    verdat_batch = 1;
    verdat_exit = 1;
  }
  void expect_all_done() {
    for (int k = 0; k < pdedat_batch_count; k++) EXPECT_EQ(pdedat_batch_states[k], 2) << "entry " << k + 1;
    for (int k = 1; k <= pdedat_count; k++) EXPECT_EQ(pdedat_table[k]->phase, 0) << "slot " << k;
    EXPECT_EQ(quendar_running, 0);
    EXPECT_EQ(pdedat_batch_log, nullptr);
  }
};

}  // namespace

TEST_F(Batch, ThreeProblemsOneFailingToParse) {
  list({"one", "two", "three"});
  scripts["one"].stages = 2;
  scripts["two"].parse_fails = true;
  EXPECT_EQ(run_loop(), 1);  // the parse error is the one landing
  expect_all_done();
  EXPECT_EQ(control_parse_nesting, 0);
  EXPECT_EQ(normalised(slurp(path("batch.log")), dir),
            "\nSTART DIR/one.pde  DATE\n"
            "T| END STAGE 1\n"
            "T| END STAGE 2\n"
            "T| --DONE--\n"
            "END\n"
            "\nSTART DIR/two.pde  DATE\n"
            "T| SELECT bad here\n"
            "                 *\n"
            "           Line 2 ERROR: SYNTAX ERROR\n"
            "T| TERMINATED\n"
            "END\n"
            "\nSTART DIR/three.pde  DATE\n"
            "T| --DONE--\n"
            "END\n");
  // Stage 2 of the first problem is analysed again on the same mesh.
  std::vector<std::string> one;
  for (auto &c : calls)
    if (c.find(" one") != std::string::npos) one.push_back(c);
  EXPECT_EQ(one, (std::vector<std::string>{"parse one 1", "mesh one", "analyze one 1", "initial one", "linear one",
                                           "analyze one 2", "initial one", "linear one"}));
  // A batch run never waits for a message.
  for (int w : waits) EXPECT_EQ(w, 0);
}

TEST_F(Batch, MissingDescriptorIsSkipped) {
  list({"one", "two"});
  remove((path("one") + ".pde").c_str());
  run_loop();
  expect_all_done();
  std::string log = normalised(slurp(path("batch.log")), dir);
  EXPECT_NE(log.find(" ERROR: No Input File: DIR/one.pde\n"), std::string::npos) << log;
  EXPECT_NE(log.find("START DIR/two.pde"), std::string::npos) << log;
}

TEST_F(Batch, FloatingPointTrapInAStepIsReportedEveryTime) {
  list({"a", "b", "c"});
  scripts["a"].fpe_in_analysis = true;
  scripts["c"].fpe_in_analysis = true;
  EXPECT_EQ(run_loop(), 4);  // each trap lands as a fatal error, then as its report
  expect_all_done();
  EXPECT_EQ(rtlib_latch(), 0);
  EXPECT_EQ(normalised(slurp(path("batch.log")), dir),
            "\nSTART DIR/a.pde  DATE\n"
            "T| ERROR: Floating-Point Divide by Zero\n"
            "T| TERMINATED\n"
            "END\n"
            "\nSTART DIR/b.pde  DATE\n"
            "T| --DONE--\n"
            "END\n"
            "\nSTART DIR/c.pde  DATE\n"
            "T| ERROR: Floating-Point Divide by Zero\n"
            "T| TERMINATED\n"
            "END\n");
}

TEST_F(Batch, UnwritableEigenvalueListingEndsTheProblem) {
  list({"e", "next"});
  scripts["e"].eigen = true;
  scripts["e"].modes = 1;
  ASSERT_EQ(mkdir(path("e.eig").c_str(), 0700), 0);  // the listing cannot be opened
  run_loop();
  expect_all_done();
  std::string log = normalised(slurp(path("batch.log")), dir);
  EXPECT_NE(log.find("T| ERROR: Can't open Eigenvalue File\n"), std::string::npos) << log;
  EXPECT_NE(log.find("START DIR/next.pde"), std::string::npos) << log;
}

TEST_F(Batch, ParseOnlyClosesAfterTheParse) {
  list({"one"});
  verdat_parseonly = 1;
  run_loop();
  expect_all_done();
  EXPECT_EQ(normalised(slurp(path("batch.log")), dir), "\nSTART DIR/one.pde  DATE\nEND\n");
  EXPECT_EQ(calls, (std::vector<std::string>{"parse one 1"}));
}

TEST_F(RunFixture, TrapLeavesOtherProblemsUntouched) {
  write_file(path("a.pde"), descriptor);
  write_file(path("b.pde"), descriptor);
  scripts["a"].fpe_in_analysis = true;
  pde *a = open_problem(path("a.pde"));
  pde *b = open_problem(path("b.pde"));
  a->runflag = b->runflag = 1;
  EXPECT_EQ(run_loop(), 2);
  // The failing problem waits in the editor; the other ran to its end.
  EXPECT_EQ(a->phase, PHASE_EDIT);
  EXPECT_EQ(b->phase, PHASE_DONE);
  EXPECT_EQ(b->stopped, 1);
  // The editor's Run command: the same trap is reported the same way again.
  a->phase = PHASE_START;
  quendar_running = 1;
  EXPECT_EQ(run_loop(), 2);
  EXPECT_EQ(a->phase, PHASE_EDIT);
  EXPECT_EQ(b->phase, PHASE_DONE);
  EXPECT_EQ(rtlib_latch(), 0);
}

TEST_F(RunFixture, InteractiveProblemWaitsInTheEditorAndTheIdleLoopEnds) {
  write_file(path("a.pde"), descriptor);
  pde *a = open_problem(path("a.pde"));
  EXPECT_EQ(run_loop(), 0);
  EXPECT_EQ(a->phase, PHASE_EDIT);
  EXPECT_EQ(a->stage, 1);
  EXPECT_EQ(quendar_running, 0);
  // Load, then hand to the editor, then a pass with nothing to do, which ends the
  // headless loop instead of waiting forever.
  EXPECT_EQ(waits, (std::vector<int>{0, 0, 0}));
}

TEST_F(RunFixture, NoProblemEndsAtOnce) {
  EXPECT_EQ(run_loop(), 0);
  EXPECT_EQ(waits.size(), 1u);
}

TEST_F(RunFixture, ExitOptionClosesAndEndsAfterTheRun) {
  write_file(path("a.pde"), descriptor);
  pde *a = open_problem(path("a.pde"));
  a->runflag = 1;
  verdat_exit = 1;
  run_loop();
  EXPECT_EQ(a->phase, PHASE_FREE);
  EXPECT_EQ(quendar_running, 0);
  std::string log = slurp(path("a.log"));
  EXPECT_EQ(log.rfind("Quendar Version 2.20d  15:00:39 4/8/01\n", 0), 0u) << log;
  EXPECT_NE(log.find("--DONE--\nEND\n"), std::string::npos) << log;
}

TEST_F(RunFixture, StopRequestFromTheMessagePump) {
  write_file(path("a.pde"), descriptor);
  pde *a = open_problem(path("a.pde"));
  a->runflag = 1;
  on_dispatch = [a](int) {
    if (a->phase == PHASE_ANALYSIS) a->stop = 1;
  };
  run_loop();
  // The analysis step still runs, then the stop halts the problem before the solve.
  EXPECT_EQ(a->phase, PHASE_SOLVE);
  EXPECT_EQ(a->stopped, 1);
  EXPECT_EQ(a->stop, 0);
  std::string log = slurp(path("a.log"));
  EXPECT_NE(log.find("\n--STOP--\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("--DONE--"), std::string::npos) << log;
}

TEST_F(RunFixture, FinishRequestSkipsTheRemainingStages) {
  write_file(path("a.pde"), descriptor);
  scripts["a"].stages = 3;
  pde *a = open_problem(path("a.pde"));
  a->runflag = 1;
  on_dispatch = [a](int) {
    if (a->phase == PHASE_STAGE_END) a->skipstages = 1;
  };
  run_loop();
  EXPECT_EQ(a->phase, PHASE_DONE);
  EXPECT_EQ(a->stage, 1);
  std::string log = normalised(slurp(path("a.log")), dir);
  EXPECT_NE(log.find("T| END STAGE 1\nT| --DONE--\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("END STAGE 2"), std::string::npos) << log;
}

TEST_F(RunFixture, CloseRequestFreesTheProblem) {
  write_file(path("a.pde"), descriptor);
  pde *a = open_problem(path("a.pde"));
  a->runflag = 1;
  on_dispatch = [a](int) {
    if (a->phase == PHASE_SOLVE) a->stop = a->close = 1;
  };
  run_loop();
  EXPECT_EQ(a->phase, PHASE_FREE);
  std::string log = slurp(path("a.log"));
  EXPECT_NE(log.find("--STOP--\nEND\n"), std::string::npos) << log;
}

TEST_F(RunFixture, NextStageQuestionAnsweredNoEndsTheRun) {
  write_file(path("a.pde"), descriptor);
  scripts["a"].stages = 2;
  scripts["a"].autostage = 0;
  pde *a = open_problem(path("a.pde"));
  // The question is asked in the problem's window.
  String name = {7, 0, const_cast<char *>("problem")};
  uint16_t cls = gag_newwindowclass_0([](uint16_t, int16_t, intptr_t, intptr_t) { return 0; }, &name);
  a->pdeview = gag_newwindow_2(0, cls, 200, 100, &name, 0);
  a->runflag = 1;
  run_loop();  // the headless question is answered No
  EXPECT_EQ(a->phase, PHASE_DONE);
  EXPECT_EQ(a->stage, 1);
  pwin_script_answer(PWIN_IDYES);
  a->phase = PHASE_STAGE_END;
  a->stopped = 0;
  quendar_running = 1;
  run_loop();
  EXPECT_EQ(a->stage, 2);
  EXPECT_EQ(a->phase, PHASE_DONE);
}

TEST_F(RunFixture, StageGridParsesEveryStageAgain) {
  write_file(path("a.pde"), descriptor);
  scripts["a"].stages = 3;
  scripts["a"].stagegrid = true;
  pde *a = open_problem(path("a.pde"));
  a->runflag = 1;
  run_loop();
  EXPECT_EQ(a->phase, PHASE_DONE);
  EXPECT_EQ(a->stage, 3);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "parse a 1"), 3);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "mesh a"), 3);
}

TEST_F(RunFixture, ProblemWithoutVariablesGoesFromSolveToPlots) {
  write_file(path("a.pde"), descriptor);
  scripts["a"].nvars = 0;
  pde *a = open_problem(path("a.pde"));
  a->runflag = 1;
  run_loop();
  EXPECT_EQ(a->phase, PHASE_DONE);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "linear a"), 0);
}

TEST_F(RunFixture, SolverFollowsTheKindOfProblem) {
  const char *names[] = {"s", "n", "t", "e"};
  for (const char *n : names) write_file(path(n) + ".pde", descriptor);
  scripts["t"].timedep = true;
  scripts["e"].eigen = true;
  scripts["e"].modes = 2;
  scripts["e"].eigenvalues = {1.5, 2.5};
  for (const char *n : names) open_problem(path(n) + ".pde")->runflag = 1;
  // The preset clears NONLINEAR, so the double's parse cannot carry it: set it
  // after the parse through the event seam.
  on_dispatch = [](int) {
    for (int k = 1; k <= pdedat_count; k++) {
      pde *p = pdedat_table[k];
      if (p->phase == PHASE_MESH && std::string(p->name.text) == "n") p->nonlinear = 1;
    }
  };
  run_loop();
  for (const char *c : {"linear s", "nonlinear n", "evolve t", "eigen e"})
    EXPECT_EQ(std::count(calls.begin(), calls.end(), c), 1) << c;
  // The eigenvalue problem leaves its listing.
  EXPECT_NE(slurp(path("e.eig")).find("EIGENVALUES"), std::string::npos);
}

TEST_F(RunFixture, FailedLoadFreesTheRecordAndItsTexts) {
  write_file(path("quendar.cfg"), "SELECT errlim=0.01\n");
  // A first failed load sizes the program-wide tables (text files, messages) once.
  open_problem(path("missing.pde"));
  run_loop();
  quendar_running = 1;
  int64_t before = XMEM;
  pde *a = open_problem(path("missing.pde"));
  int64_t opened = XMEM;
  EXPECT_GT(opened, before);
  run_loop();
  EXPECT_EQ(a->phase, PHASE_FREE);
  EXPECT_EQ(a->mesh.domain, nullptr);
  EXPECT_EQ(a->name.text, nullptr);
  // The configuration text that the load had opened is closed again.
  bool cfg_open = false;
  for (uint16_t n = 1; n < 64; n++) {
    TextFile *t = textin_text_name(n);
    if (t && t->open && t->name.text && std::string(t->name.text).find("quendar.cfg") != std::string::npos)
      cfg_open = true;
  }
  EXPECT_FALSE(cfg_open);
  // The slot of the first failed load was reused; everything else went back.
  EXPECT_EQ(XMEM, before);
}

TEST_F(RunFixture, ParseOnlyAndExitInteractive) {
  write_file(path("a.pde"), descriptor);
  pde *a = open_problem(path("a.pde"));
  a->runflag = 1;
  verdat_parseonly = 1;
  verdat_exit = 1;
  run_loop();
  EXPECT_EQ(a->phase, PHASE_FREE);
  EXPECT_EQ(quendar_running, 0);
  EXPECT_EQ(calls, (std::vector<std::string>{"parse a 1"}));
  std::string log = normalised(slurp(path("a.log")), dir);
  EXPECT_EQ(log, "Quendar Version 2.20d  DATE\n\nSTART DIR/a.pde  DATE\nEND\n");
}

TEST_F(RunFixture, ViewAndOpenDialogActOnceOnEntry) {
  verdat_view = 1;
  strings_copyto_1(&verdat_viewname, "plots.pgx");
  verdat_opendialog = 1;
  run_loop();
  EXPECT_EQ(verdat_view, 0);
  EXPECT_EQ(verdat_opendialog, 0);
  strings_free_0(&verdat_viewname);
}

// The handler of SIGFPE now installed: the default, or the runtime's own.
static bool fpe_default() {
  struct sigaction sa;
  sigaction(SIGFPE, nullptr, &sa);
  return sa.sa_handler == SIG_DFL;
}

TEST_F(Batch, SignalHandlersAreInstalledAgainUnlessDefaultHandlingWasAsked) {
  list({"a"});
  scripts["a"].fpe_in_analysis = true;
  run_loop();
  EXPECT_FALSE(fpe_default());

  run_reset();
  run_doubles_install();
  list({"a"});
  scripts["a"].fpe_in_analysis = true;
  verdat_defsignals = 1;
  EXPECT_EQ(run_loop(), 2);
  EXPECT_TRUE(fpe_default());
  verdat_defsignals = 0;
}

TEST_F(Batch, FailedDxfImportTerminatesTheProblem) {
  list({});
  pde *a = open_problem(path("drawing.dxf"));  // as the Import DXF command makes it
  a->phase = PHASE_DXF;
  run_loop();
  EXPECT_EQ(a->phase, PHASE_FREE);
  EXPECT_EQ(normalised(slurp(path("batch.log")), dir), "T| TERMINATED\nEND\n");
}
