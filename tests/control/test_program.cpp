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
  // A run that loops is stopped after 20 seconds of CPU time (200 of wall time if it waits).
  int run(const std::string &words, const std::string &tmpdir = "/tmp") {
    return shell("TMPDIR='" + dir + tmpdir + "' prlimit --cpu=20 timeout 200 '" QUENDAR_EXE "' " + words);
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
  EXPECT_NE(slurp(dir + "/nothere.log").find("No Input File: " + dir + "/nothere.pde"), std::string::npos) << out();
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
  EXPECT_EQ(shell("TMPDIR='" + dir + "/tmp' prlimit --cpu=60 timeout 600 '" QUENDAR_EXE "' -B -X long.pde"), 1)
      << out().substr(0, 400);
  EXPECT_NE(slurp(dir + "/long.log").find("Line 4 ERROR: Line longer than 65535 characters\n"), std::string::npos)
      << out().substr(0, 400);
}

// A descriptor that is not there: the message reaches the user in a run without a
// batch log too, and a run that ends by itself (option X) fails.
TEST_F(Program, MissingDescriptorIsReportedAndFails) {
  EXPECT_EQ(run("-R -X typo.pde"), 1) << out();
  EXPECT_NE(slurp(dir + "/typo.log").find("ERROR: No Input File: " + dir + "/typo.pde\n"), std::string::npos) << out();
  // A batch list run without X ends with its box on the main window.
  spit(dir + "/list.pde", "BATCH typo\nEND\n");
  EXPECT_EQ(run("-B list.pde"), 1) << out();
  EXPECT_NE(out().find("DONE: BATCH DONE\nClick to Exit\n"), std::string::npos) << out();
}

// A line of 65,536 characters in the descriptor, its folder's quendar.cfg, an INCLUDE
// file or a TABLE file ends the problem at once with the line's number, and the run
// fails; nothing is loaded again and again.
TEST_F(Program, OverlongLineEndsTheProblem) {
  const std::string line(70000, 'a');
  const std::string good = "TITLE 'x'\nVARIABLES u\nEQUATIONS u = 1\n";
  struct Case {
    const char *name, *where;  // where: the file the long line is in
    std::string descriptor;
    int line;
  } cases[] = {
      {"descriptor", "desc.pde", "TITLE 'x'\n{" + line + "}\nEND\n", 2},
      {"configuration", "quendar.cfg", good + "END\n", 3},
      {"include", "inc.txt", "TITLE 'x'\n#INCLUDE 'inc.txt'\nEND\n", 4},
      {"table", "t.dat", good + "DEFINITIONS f = TABLE('t.dat')\nEND\n", 5},
  };
  for (const Case &c : cases) {
    std::filesystem::remove_all(dir + "/case");
    std::filesystem::create_directory(dir + "/case");
    spit(dir + "/case/desc.pde", c.descriptor);
    std::string text = "{ 1 }\n{ 2 }\n{ 3 }\n";
    text = text.substr(0, size_t(c.line - 1) * 6) + "{" + line + "}\n";
    if (std::string(c.where) == "t.dat") text = "x 2 0 1\n{ }\n{ }\n{ }\n" + line + "\n";
    if (std::string(c.where) != "desc.pde") spit(dir + "/case/" + c.where, text);
    EXPECT_EQ(run("-B -R -X case/desc.pde"), 1) << c.name;
    std::string report = out() + slurp(dir + "/case/desc.log");
    EXPECT_NE(report.find("Line " + std::to_string(c.line) + " ERROR: Line longer than 65535 characters\n"),
              std::string::npos)
        << c.name << "\n" << report.substr(0, 300);
    // A file other than the descriptor is named.
    if (std::string(c.where) != "desc.pde")
      EXPECT_NE(report.find(std::string("In ") + c.where + ":\n"), std::string::npos) << c.name << "\n" << report.substr(0, 300);
    // One report, not one per reload.
    EXPECT_EQ(report.find("Line longer", report.find("Line longer") + 1), std::string::npos) << c.name;
  }
}

// A plot file on a full disk, filled in the middle of a plot group (the disk) or only
// when it is closed (a problem without plots): the entry fails with the system's text,
// its log ends as every failed entry's does, and the next entry still runs.
TEST_F(Program, PlotFileOnAFullDiskFailsItsEntryOnly) {
  // The disk fills inside a plot group with this name's header length.
  std::filesystem::copy_file(QUENDAR_EXAMPLES "/disk.pde", dir + "/b.pde");
  spit(dir + "/small.pde", "TITLE 'x'\nVARIABLES u\nEQUATIONS div(grad(u)) + 1 = 0\n"
                           "BOUNDARIES REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) TO (0,1) TO FINISH\nEND\n");
  spit(dir + "/next.pde", slurp(dir + "/small.pde"));
  for (const char *full : {"b", "small"}) {
    std::string pgx = dir + "/" + full + ".pgx";
    std::filesystem::remove(pgx);
    ASSERT_EQ(symlink("/dev/full", pgx.c_str()), 0);
    spit(dir + "/list.pde", std::string("BATCH ") + full + " next\nEND\n");
    EXPECT_EQ(run("-B -X list.pde"), 1) << full << "\n" << out();
    std::string log = std::regex_replace(slurp(dir + "/list.log"), std::regex(R"(\n \d+:\d\d\| )"), "\nT| ");
    for (size_t k; (k = log.find(dir + "/")) != std::string::npos;) log.replace(k, dir.size() + 1, "DIR/");
    size_t at = log.find(std::string("START DIR/") + full + ".pde");
    ASSERT_NE(at, std::string::npos) << log;
    std::string rest = log.substr(at);
    EXPECT_TRUE(std::regex_search(
        rest,
        std::regex(
            std::string(R"(\nT\| ERROR: DIR/)") + full +
            R"(\.pgx: No space left on device\nT\| TERMINATED\nEND\n\nSTART DIR/next\.pde  [^\n]*\n([^\n]*\n)*T\| --DONE--\nEND\n$)")))
        << full << "\n"
        << rest.substr(0, 600);
  }
}

// A run log that cannot be written fails the run and says why on standard error.
TEST_F(Program, UnwritableRunLogFailsTheRun) {
  spit(dir + "/a.pde", "TITLE 'x'\nVARIABLES u\nEQUATIONS div(grad(u)) + 1 = 0\n"
                       "BOUNDARIES REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) TO (0,1) TO FINISH\nEND\n");
  ASSERT_EQ(symlink("/dev/full", (dir + "/a.log").c_str()), 0);
  EXPECT_EQ(run("-B -R -X a.pde"), 1) << out();
  EXPECT_NE(out().find("ERROR: Can't Write Log File: No space left on device"), std::string::npos) << out();
  EXPECT_EQ(run("-R -X a.pde"), 1) << out();
  EXPECT_NE(out().find("ERROR: Can't Write Log File"), std::string::npos) << out();
}

// A region without area, a domain too small or too large for doubles, a constant
// division by zero and one definition too many: each is reported at its line.
TEST_F(Program, LimitsAndDegenerateDomainsAreReportedAtTheirLine) {
  auto descriptor = [](const std::string &defs, const std::string &source, const std::string &path) {
    return "TITLE 'x'\nVARIABLES u\n" + defs + "EQUATIONS div(grad(u)) + " + source +
           " = 0\nBOUNDARIES REGION 1 START(0,0) VALUE(u)=0 LINE TO " + path + " TO FINISH\nEND\n";
  };
  std::string many = "DEFINITIONS\n";
  for (int k = 0; k < 65536; k++) many += " a" + std::to_string(k) + " = 1\n";
  const struct {
    std::string text, report;
  } cases[] = {
      {descriptor("", "1", "(1,0) TO (2,0)"), "Line 4 ERROR: Region 1 has no area"},
      {descriptor("", "1", "(1e-300,0) TO (1e-300,1e-300) TO (0,1e-300)"),
       "Line 4 ERROR: Line segment too short (under 1e-40)"},
      {descriptor("", "1", "(1e300,0) TO (1e300,1e300) TO (0,1e300)"),
       "Line 4 ERROR: Line segment too long (over 1e150)"},
      {descriptor("DEFINITIONS s = 1/0\n", "s", "(1,0) TO (0,1)"), "Line 3 ERROR: DIVIDE BY ZERO!"},
      {descriptor(many, "1", "(1,0) TO (0,1)"), "Line 65539 ERROR: Too many definitions (limit 65535)"},
  };
  for (const auto &c : cases) {
    spit(dir + "/limit.pde", c.text);
    EXPECT_EQ(run("-B -R -X limit.pde"), 1) << c.report;
    std::string log = slurp(dir + "/limit.log");
    EXPECT_NE(log.find("*\n           " + c.report + "\n"), std::string::npos) << log.substr(log.size() > 400 ? log.size() - 400 : 0);
  }
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
        ASSERT_TRUE(std::regex_search(read, m, std::regex("group 3 2:CONTOUR\\(u\\)\\[(\\d+)\\] 3:ELEVATION\\(u\\)\\[(\\d+)\\] 4:SUMMARY\\[")))
            << read;
        EXPECT_GT(std::stoi(m[1]), 500);
        EXPECT_GT(std::stoi(m[2]), 300);
      }
      // The heat example draws its plots at the end and exports its answer.
      if (name == "heat") {
        EXPECT_TRUE(std::regex_search(read, std::regex("group 3 2:CONTOUR\\(u\\)\\[\\d+\\] 3:ELEVATION\\(u\\)\\[\\d+\\] 4:SUMMARY\\[")))
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
  EXPECT_TRUE(std::regex_search(walk_plots("disk"), std::regex(" 4:CONTOUR\\(u\\)\\[0\\] 5:SUMMARY\\[")));
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
  std::regex plot(R"((\d):CONTOUR\(u\)<\d+/\d+/(\d+)>)");
  int modes = 0;
  for (std::sregex_iterator i(w.begin(), w.end(), plot), end; i != end; ++i, modes++)
    EXPECT_GT(std::stoi((*i)[2]), 100) << "mode " << (*i)[1] << ": " << w;
  EXPECT_EQ(modes, 3) << w;
}

}  // namespace
