// The quendar program itself, started as a process in a fresh temporary directory.
// What the program's later subsystems would add to a run is not looked at here.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <regex>

#include "tests/control/doubles.h"

namespace {

struct Program : ProgramRun {
  void SetUp() override { ASSERT_EQ(mkdir((dir + "/tmp").c_str(), 0700), 0); }
  // Runs quendar with the words in the test directory; returns its exit code.
  int run(const std::string &words, const std::string &tmpdir = "/tmp") {
    return shell("TMPDIR='" + dir + tmpdir + "' '" QUENDAR_EXE "' " + words);
  }
  // The walker's reading of the problem's plot file, with the entry count of each plot.
  std::string walk_plots(const std::string &name) {
    std::string walk = dir + "/walk.txt";
    std::string cmd = "python3 '" QUENDAR_DATA "/../plot/pgxwalk.py' -n '" + dir + "/" + name + ".pgx' >'" + walk + "'";
    EXPECT_EQ(system(cmd.c_str()), 0) << name << "\n" << slurp(walk);
    return slurp(walk);
  }
};

TEST_F(Program, LogsOfABatchRun) {
  // A log of that name left by another user is not ours: ours goes beside it.
  std::string theirs = dir + "/tmp/quendar.dbg";
  spit(theirs, "theirs\n");
  bool other = chown(theirs.c_str(), 12345, 12345) == 0;
  std::string ours = other ? "tmp/quendar-" + std::to_string(geteuid()) + ".dbg" : "tmp/quendar.dbg";
  spit(dir + "/heat.pde", "TITLE 'heat'\nEND\n");
  run("-B -X -P heat.pde");
  std::vector<std::string> dbg = lines(ours);
  ASSERT_GE(dbg.size(), 4u) << out();
  // x87 control word after the runtime's setting: precision 64 bits (bits 8-9),
  // the reserved bit 6, every exception masked but divide by zero and overflow.
  EXPECT_TRUE(std::regex_match(dbg[0], std::regex("FP_CW\\[1\\]=373  FP_STATUS=[0-9a-f]+"))) << dbg[0];
  EXPECT_EQ(std::vector<std::string>(dbg.begin() + 1, dbg.begin() + 4),
            (std::vector<std::string>{"FP_CW[2]=373", "PARAM COUNT=4", "Quendar Version 2.20d  15:00:39 4/8/01"}));
  EXPECT_EQ(other ? slurp(theirs) : "theirs\n", "theirs\n");
  // The problem's own log: version, start line, and the end.
  std::vector<std::string> log = lines("heat.log");
  ASSERT_GE(log.size(), 3u) << out();
  EXPECT_EQ(log[0] + "|" + log[1], "Quendar Version 2.20d  15:00:39 4/8/01|");
  EXPECT_EQ(log[2].rfind("START " + dir + "/heat.pde  ", 0), 0u) << log[2];
  EXPECT_EQ(log.back(), "END");
}

// A batch list run with option B: one log, the list's, with a START ... END group
// for each listed descriptor (whose actions end the run of each with an error here;
// the third holds a list itself).
TEST_F(Program, BatchListOfThreeDescriptors) {
  for (const char *n : {"one", "two"}) spit(dir + "/" + n + ".pde", "TITLE 'x'\nEND\n");
  spit(dir + "/three.pde", "BATCH one\n");  // a list may not list a list
  spit(dir + "/list.pde", "BATCH one two, 'three'\nEND\n");
  run("-B -X list.pde");
  std::vector<std::string> groups;
  for (const std::string &l : lines("list.log"))
    if (l.rfind("START ", 0) == 0) groups.push_back(l.substr(6, l.find("  ") - 6));
    else if (l == "END") groups.push_back("END");
  EXPECT_EQ(groups, (std::vector<std::string>{dir + "/list.pde", dir + "/one.pde", "END", dir + "/two.pde", "END",
                                              dir + "/three.pde", "END"}))
      << out();
  for (const char *n : {"one", "two", "three"}) EXPECT_EQ(slurp(dir + "/" + n + ".log"), "<missing>");
  EXPECT_NE(slurp(dir + "/list.log").find("           Line 1 ERROR: Nested Batch lists\n"), std::string::npos);
}

TEST_F(Program, ExitCodes) {
  // A batch run whose problem could not be opened fails.
  EXPECT_EQ(run("-B -X nothere.pde"), 1) << out();
  EXPECT_NE(out().find("No Input File: " + dir + "/nothere.pde"), std::string::npos) << out();
  // No problem at all: a normal end, without waiting.
  EXPECT_EQ(run(""), 0) << out();
  EXPECT_EQ(lines("tmp/quendar.dbg").at(2), "PARAM COUNT=0");
  // No debug log: the start-up stops.
  EXPECT_EQ(run("", "/none"), 1);
  EXPECT_NE(out().find("Can't create " + dir + "/none/quendar.dbg"), std::string::npos) << out();
}

// A descriptor the reader cannot take (a 100,000-character name: a line past the
// 65535 a line may hold) is reported once with its place and the batch run ends; it
// is not loaded again on every pass.
TEST_F(Program, ALineTooLongEndsTheLoad) {
  spit(dir + "/long.pde", "TITLE 'long'\nVARIABLES u\nDEFINITIONS\n  " + std::string(100000, 'a') + " = 1\nEND\n");
  EXPECT_EQ(shell("TMPDIR='" + dir + "/tmp' timeout 60 '" QUENDAR_EXE "' -B -X long.pde"), 1) << out().substr(0, 400);
  EXPECT_NE(out().find("ERROR: " + dir + "/long.pde: line 4: Line longer than 65535 characters\n"), std::string::npos)
      << out().substr(0, 400);
}

}  // namespace

namespace {

// Every example runs in batch to its end, exits 0 and logs its grids or time steps.
TEST_F(Program, EveryExampleRunsToItsEnd) {
  int count = 0;
  for (const auto &e : std::filesystem::directory_iterator(QUENDAR_EXAMPLES)) {
    if (e.path().extension() != ".pde") continue;
    std::string name = e.path().stem().string();
    std::filesystem::copy_file(e.path(), dir + "/" + name + ".pde");
    EXPECT_EQ(run("-B -R -X " + name + ".pde"), 0) << name << "\n" << out();
    std::string log = slurp(dir + "/" + name + ".log");
    EXPECT_TRUE(std::regex_search(log, std::regex("(GRID|Step) 1 .*Nodes=\\d+ Cells=\\d+ RMS ERR="))) << name << "\n" << log;
    EXPECT_NE(log.find("--DONE--"), std::string::npos) << name;
    // Its plot file reads back to the last byte; the disk's field plots are drawn.
    if (std::filesystem::exists(dir + "/" + name + ".pgx")) {
      std::string read = walk_plots(name);
      std::smatch m;
      if (name == "disk") {
        ASSERT_TRUE(std::regex_search(read, m, std::regex("group 3 2:CONTOUR\\(u\\)\\[(\\d+)\\] 3:ELEVATION\\(u\\)\\[(\\d+)\\] 4:\\[")))
            << read;
        EXPECT_GT(std::stoi(m[1]), 500);
        EXPECT_GT(std::stoi(m[2]), 300);
      }
      // The heat example draws its plots at the end and exports its answer.
      if (name == "heat") {
        EXPECT_TRUE(std::regex_search(read, std::regex("group 3 2:CONTOUR\\(u\\)\\[\\d+\\] 3:ELEVATION\\(u\\)\\[\\d+\\] 4:\\[")))
            << read;
        std::string answers = slurp(dir + "/heat.p03");
        ASSERT_TRUE(std::regex_search(answers, m, std::regex(" centre= ([0-9.e+-]+)\n"))) << answers;
        EXPECT_NEAR(std::stod(m[1]), 0.0736713, 1e-5);
      }
    }
    count++;
  }
  EXPECT_GE(count, 4);
}

// A contour plot that only prints is recorded without drawing anything, and its print
// file (the third of the PLOTS list) holds the sampled grid.
TEST_F(Program, PrintOnlyPlotDrawsNothing) {
  std::string text = slurp(QUENDAR_EXAMPLES "/disk.pde");
  spit(dir + "/disk.pde", std::regex_replace(text, std::regex("\n  SUMMARY"), "\n  CONTOUR(u) PRINTONLY PRINT\n  SUMMARY"));
  ASSERT_EQ(run("-B -R -X disk.pde"), 0) << out();
  EXPECT_TRUE(std::regex_search(walk_plots("disk"), std::regex(" 4:CONTOUR\\(u\\)\\[0\\] 5:\\[")));
  std::string print = slurp(dir + "/disk.p03");
  EXPECT_NE(print.find("Title: CONTOUR(u)"), std::string::npos) << print.substr(0, 300);
  EXPECT_NE(print.find("\n X 51\n"), std::string::npos) << print.substr(0, 300);
}

// With the macro generator on (option M), an entry's labels are the expanded text the
// parser read, also when the lookahead already stands on a later line.
TEST_F(Program, MacroExpandedReportLabels) {
  spit(dir + "/mac.pde", "#(DEF,TEN,<10>)\nTITLE 'macros'\nVARIABLES u\nEQUATIONS div(grad(u)) + 1 = 0\n"
                         "BOUNDARIES REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH\n"
                         "PLOTS\n  SUMMARY PRINT\n    REPEAT i = 1 TO 2\n      REPORT #(TEN)*i\n    ENDREPEAT\n"
                         "    REPORT 99\n  TABLE(#(TEN)*u) PRINT\nEND\n");
  ASSERT_EQ(run("-B -R -X -M mac.pde"), 0) << out() << slurp(dir + "/mac.log");
  std::string summary = slurp(dir + "/mac.p01");
  EXPECT_NE(summary.find(" 10*i= 10\n 10*i= 20\n 99= 99\n"), std::string::npos) << summary;
  EXPECT_NE(slurp(dir + "/mac_01.tbl").find("Title: TABLE(10*u)\n"), std::string::npos);
}

// An extruded problem solves and draws its 3D grid plot (the boundary faces moved by
// three expressions) and a contour on a plane cut.
TEST_F(Program, ExtrudedPlotsAreDrawn) {
  spit(dir + "/cube.pde",
       "TITLE 'Cube'\nCOORDINATES cartesian3\nVARIABLES u\nEQUATIONS div(grad(u)) + 6 = 0\n"
       "EXTRUSION z = 0, 1\nBOUNDARIES SURFACE 1 VALUE(u) = 0 SURFACE 2 VALUE(u) = 0\n"
       "REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH\n"
       "PLOTS GRID(x+u, y, z) CONTOUR(u) ON z = 0.5\nEND\n");
  ASSERT_EQ(run("-B -R -X cube.pde"), 0) << out();
  std::smatch m;
  std::string w = walk_plots("cube");
  ASSERT_TRUE(std::regex_search(w, m, std::regex(R"(1:GRID\(x\+u, y, z\)\[(\d+)\] 2:CONTOUR\(u\)\[(\d+)\])"))) << w;
  EXPECT_GT(std::stoi(m[1]), 100) << w;
  EXPECT_GT(std::stoi(m[2]), 100) << w;
}

// Every mode of an eigenvalue run draws its contour's level table into its own
// legend view (the third view of each recorded plot), as the first mode does.
TEST_F(Program, EveryModeDrawsItsLevelTable) {
  spit(dir + "/modes.pde",
       "TITLE 'modes'\nSELECT MODES = 3\nVARIABLES u\nEQUATIONS div(grad(u)) + lambda*u = 0\n"
       "BOUNDARIES REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH\n"
       "PLOTS CONTOUR(u)\nEND\n");
  ASSERT_EQ(run("-B -R -X modes.pde"), 0) << out();
  std::string walk = dir + "/walk.txt";
  ASSERT_EQ(system(("python3 '" QUENDAR_DATA "/../plot/pgxwalk.py' -v '" + dir + "/modes.pgx' >'" + walk + "'").c_str()), 0);
  std::string w = slurp(walk);
  std::regex plot(R"((\d):CONTOUR\(u\)\[\d+/\d+/(\d+)\])");
  int modes = 0;
  for (std::sregex_iterator i(w.begin(), w.end(), plot), end; i != end; ++i, modes++)
    EXPECT_GT(std::stoi((*i)[2]), 100) << "mode " << (*i)[1] << ": " << w;
  EXPECT_EQ(modes, 3) << w;
}

}  // namespace
