// Export files: names, FORMAT lines, fill-in and headers in process; whole runs of the
// program whose tables, netCDF, TECPLOT and transfer files are read back by readers
// written from the published layouts (exportread.py, netCDF4, meshio, ncdump) and
// compared with the analytic solutions of the descriptors.
#include <dirent.h>
#include <sys/wait.h>

#include <cmath>
#include <fstream>
#include <regex>
#include <sstream>

#include "control/pdedat.h"
#include "plot/exporter.h"
#include "plot/plot.h"
#include "tests/runtime/harness.h"

namespace {

struct Exports : ::testing::Test {
  std::unique_ptr<pde> p{new pde{}};
  plotrec *r = nullptr;
  void SetUp() override {
    plot_one_more_1(&p->plotrecs);
    r = &p->plotrecs.data[0];
    r->listindex = 3, r->kind = PLOT_TABLE;
    strings_copyto_1(&p->directory, "/d/");
    strings_copyto_1(&p->name, "cool");
  }
  void TearDown() override {
    plot_free_0(&p->plotrecs);
    for (String *s : {&p->directory, &p->name, &p->header}) strings_free_0(s);
  }
};

TEST_F(Exports, FileNames) {
  struct { const char *ext; uint16_t mode; bool single; int timedep, stages, modes, outputs; const char *file, *want; } cases[] = {
      {".p", 1, false, 0, 0, 0, 1, "", "/d/cool.p03"},
      {".tbl", 2, false, 0, 0, 0, 1, "", "/d/cool_03.tbl"},
      {".tbl", 2, false, 1, 0, 0, 2, "", "/d/cool_03_2.tbl"},
      {".tbl", 2, true, 1, 0, 0, 2, "", "/d/cool_03.tbl"},
      {".dat", 2, false, 1, 3, 0, 2, "", "/d/cool_03_3.dat"},  // the stage before the output count
      {".cdf", 2, false, 0, 0, 4, 1, "", "/d/cool_03_2.cdf"},  // the current mode
      {".tbl", 2, false, 0, 0, 0, 1, "out.txt", "/d/out.txt"},
      {".tbl", 2, false, 0, 0, 0, 1, "/x/out.txt", "/x/out.txt"},
  };
  for (auto &c : cases) {
    p->timedep = uint8_t(c.timedep), p->stages = uint16_t(c.stages), p->stage = 3, p->modes = uint16_t(c.modes), p->mode = 2;
    r->outputs = uint16_t(c.outputs);
    strings_copyto_1(&r->file, c.file);
    r->flags = *c.file ? plot_bit(3) : 0;
    print_file_name(p.get(), r, c.ext, c.single, c.mode);
    EXPECT_STREQ(r->name.text, c.want);
  }
}

std::string format_line(const char *format, std::initializer_list<double> v, bool outside = false) {
  vectord values{};
  for (double x : v) vectord_one_more(&values, x);
  OwnedString f(format);
  double pq[2] = {0.25, 0.75}, x[3] = {0.5, 2, 3};
  std::string out = listing([&](FILE *s) { exporter_print_point(s, pq, x, 1.5, 7.25, &values, &f, nullptr, outside); });
  vectord_free(&values);
  return out;
}

TEST(ExportFormat, Lines) {
  struct { const char *format; std::initializer_list<double> values; const char *want; } cases[] = {
      {"#x#b#1#n", {7}, "0.5\t7\n\n"},
      {"#r#i#,#e", {1, 2, 3}, "1,2,3,\n"},
      {"#r#i#,", {1, 2}, "1,2,\n"},  // the end of the format closes the group
      {"#p;#Q;#d;#t;#y;#z", {}, "0.25;0.75;1.5;7.25;2;3\n"},
      {"#a", {4}, "4a\n"},
      {"50%#", {}, "50%#\n"},  // a final "#" is copied
  };
  for (auto &c : cases) EXPECT_EQ(format_line(c.format, c.values), c.want) << c.format;
  EXPECT_EQ(format_line("#1", {9}, true), "{ exterior: 9 }\n");
  // An index past the values, and #i outside a repeat group, are parse errors.
  for (const char *bad : {"#5", "#i"}) {
    HookScope hook;
    DebugCapture quiet;
    EXPECT_EQ(except_catch("format", [&] { format_line(bad, {1, 2, 3}); }), EXCEPT_REPORTED) << bad;
  }
}

TEST(ExportFillin, Rows) {
  const double O = EXPORTER_OUTSIDE;
  struct { std::vector<double> row, want; double first; } cases[] = {
      {{O, 2, O, 3, O}, {2, 2, 2, 3, 3}, 2},
      {{1, 2}, {1, 2}, 1},
      {{O, O}, {O, O}, O},
  };
  for (auto &c : cases) {
    vectord v{};
    for (double x : c.row) vectord_one_more(&v, x);
    EXPECT_EQ(fillin(&v), c.first);
    EXPECT_EQ(std::vector<double>(v.data, v.data + v.count), c.want);
    vectord_free(&v);
  }
}

TEST_F(Exports, HeaderIsOneBraceComment) {
  strings_copyto_1(&p->header, "cool.pde  {date}");
  String t = {};
  strings_copyto_1(&t, "a } b /* c");
  strings_one_more(&r->titles, &t);
  strings_free_0(&t);
  p->timedep = 1, p->time = 0.5;
  std::string h = listing([&](FILE *f) { exporter_print_header(p.get(), f, r); });
  EXPECT_NE(h.find("\ncool.pde  (date)\nTitle: a ) b / * c\n Time 0.5\n}\n"), std::string::npos) << h;
  EXPECT_EQ(h.find('}'), h.size() - 2);
}

int open_files() {
  int n = 0;
  DIR *d = opendir("/proc/self/fd");
  while (readdir(d)) n++;
  closedir(d);
  return n;
}

TEST_F(Exports, ErrorsLeaveNoFileOpen) {
  TempDir tmp;
  strings_copyto_1(&p->directory, (tmp.path + "/").c_str());
  p->dimension = 2;
  for (int k = 0; k < 2; k++) trees_one_more(&r->exprs, nullptr);
  HookScope hook;
  DebugCapture quiet;
  int before = open_files();
  // Two expressions without FORMAT: refused before the file is made.
  EXPECT_EQ(except_catch("table", [&] { exporter_table_export(p.get(), r, 2); }), EXCEPT_REPORTED);
  EXPECT_EQ(slurp(tmp.file("cool_03.tbl")), "<missing>");
  // A FORMAT error while the rows are written.
  r->flags |= plot_bit(19);
  strings_copyto_1(&r->format, "#5");
  r->points[0] = r->points[1] = 2;
  EXPECT_EQ(except_catch("table", [&] { exporter_table_export(p.get(), r, 2); }), EXCEPT_REPORTED);
  EXPECT_NE(slurp(tmp.file("cool_03.tbl")), "<missing>");
  EXPECT_EQ(open_files(), before);
  exporter_close_exports(p.get());
  exporter_close_exports(p.get());
}

// ---- Whole runs ---------------------------------------------------------------------

struct ExportRuns : ::testing::Test {
  TempDir tmp;
  // Runs the descriptor text as name.pde in the temporary folder; returns the exit code.
  int run(const std::string &name, const std::string &text) {
    spit(tmp.file((name + ".pde").c_str()), text);
    std::string cmd = "cd '" + tmp.path + "' && '" QUENDAR_EXE "' -B -R -X " + name + ".pde >out.txt 2>&1";
    int status = system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  // The reader's line about the file; empty when its Python module is missing.
  std::string read(const char *kind, const char *file) {
    std::string out = ::run("/usr/bin/python3 '" QUENDAR_SOURCE "/tests/plot/exportread.py' " + std::string(kind) + " '" +
                            tmp.file(file) + "' 2>&1");
    return out.find("ModuleNotFoundError") != std::string::npos ? "" : out;
  }
  static double field(const std::string &line, const char *name) {
    std::smatch m;
    return std::regex_search(line, m, std::regex(std::string("(^| )") + name + "=([^ ]+)")) ? std::stod(m[2]) : NAN;
  }
  static std::string example(const char *name) {
    std::ifstream in(std::string(QUENDAR_SOURCE "/examples/") + name + ".pde");
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
};

TEST_F(ExportRuns, DiskExportsHoldTheSolution) {
  std::string s = std::regex_replace(example("disk"), std::regex("\nVARIABLES"), "\nSELECT\n  ERRLIM = 1e-5\nVARIABLES");
  s = std::regex_replace(s, std::regex("\nEND"),
                         "\n  TABLE(u) POINTS=(11,11)\n  CDF(u)\n  TECPLOT(u)\n  TRANSFER(u, dx(u))\nEND");
  ASSERT_EQ(run("disk", s), 0) << slurp(tmp.file("out.txt"));
  std::string table = read("table", "disk_01.tbl");
  EXPECT_NE(table.find("axes=11x11 values=121 "), std::string::npos) << table;
  EXPECT_LT(field(table, "err"), 1e-4);
  EXPECT_EQ(field(table, "fill_bad"), 0);
  std::string transfer = read("transfer", "disk_04.dat");
  EXPECT_NE(transfer.find("vars=u dx_u_ basis=5 dof=6 blocks=1 "), std::string::npos) << transfer;
  EXPECT_LT(field(transfer, "err"), 1e-4);
  EXPECT_EQ(field(transfer, "mutual_bad"), 0);
  std::string tec = read("tecplot", "disk_03.dat");
  EXPECT_EQ(field(tec, "zones"), 1) << tec;
  EXPECT_LT(field(tec, "err"), 1e-4);
  EXPECT_EQ(field(tec, "bad"), 0);
  // 4 straight triangles per 6-node cell, one node per transfer node.
  EXPECT_EQ(field(tec, "elements"), 4 * field(transfer, "cells"));
  if (std::string m = read("meshio", "disk_03.dat"); !m.empty()) {
    EXPECT_EQ(field(m, "cells"), field(tec, "elements")) << m;
    EXPECT_EQ(field(m, "points"), field(transfer, "nodes"));
  }
  EXPECT_EQ(::run("ncdump -k '" + tmp.file("disk_02.cdf") + "'"), "classic");
  if (std::string c = read("cdf", "disk_02.cdf"); !c.empty()) {
    EXPECT_LT(field(c, "err"), 1e-4) << c;
    EXPECT_GT(field(c, "masked"), 0);  // the corners of the box lie outside
    EXPECT_EQ(field(c, "records"), 0);
  }
}

TEST_F(ExportRuns, TimedAndStagedCdfRecords) {
  std::string s = std::regex_replace(example("decay"), std::regex("FOR T = 0.05 0.1"), "FOR T = 0.05 0.075");
  s = std::regex_replace(s, std::regex("    CONTOUR\\(u\\)"), "    CONTOUR(u)\n    CDF(u) POINTS=(5,5)");
  ASSERT_EQ(run("decay", s), 0);
  if (std::string c = read("cdf", "decay_01.cdf"); !c.empty()) {
    // Two timed outputs and the end of the run; the range is the one observed.
    EXPECT_NE(c.find("times=0.05,0.075,0.1 records=3 range=0,0.372638 min=0 max=0.372638"), std::string::npos) << c;
  }
  // A staged run that re-parses its descriptor writes on into one file; two materials
  // give two zones and two transfer blocks whose neighbours across are minus the material.
  ASSERT_EQ(run("two", R"(TITLE 'Two materials'
SELECT STAGES = 3 STAGEGRID = ON
VARIABLES u
DEFINITIONS k = 1
EQUATIONS div(k*grad(u)) + STAGE = 0
BOUNDARIES
  REGION 1 START(0,0) VALUE(u)=0 LINE TO (2,0) TO (2,1) TO (0,1) TO FINISH
  REGION 2 k = 2 START(1,0) LINE TO (2,0) TO (2,1) TO (1,1) TO FINISH
PLOTS
  CDF(u) POINTS=(5,3)
  TECPLOT(u)
  TRANSFER(u)
END
)"), 0) << slurp(tmp.file("out.txt"));
  if (std::string c = read("cdf", "two_01.cdf"); !c.empty()) EXPECT_NE(c.find("times=1,2,3 records=3"), std::string::npos) << c;
  EXPECT_NE(read("tecplot", "two_02.dat").find("zones=2 materials=1,2 "), std::string::npos);
  std::string t = read("transfer", "two_03.dat");
  EXPECT_NE(t.find(" blocks=2 "), std::string::npos) << t;
  EXPECT_NE(t.find(" across=-2,-1"), std::string::npos) << t;
}

}  // namespace
