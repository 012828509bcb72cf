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
#include "model/pdedat_record.h"
#include "graphics/display.h"
#include "plot/exporter.h"
#include "plot/plot.h"
#include "plot/trimesh.h"
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
    plot_free_2(&p->plotdatas);
    display_free(&p->status);
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
  struct owned : vectord {
    ~owned() { vectord_free(this); }
  } values{};
  for (double x : v) vectord_one_more(&values, x);
  OwnedString f(format);
  double pq[2] = {0.25, 0.75}, x[3] = {0.5, 2, 3};
  return listing([&](FILE *s) { exporter_print_point(s, pq, x, 1.5, 7.25, &values, &f, nullptr, outside); });
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

// A plot data record of the plot with one plot mesh of the basis, nodes and cells.
plotdata &plot_mesh(pde *p, plotrec *r, int32_t pieces) {
  plot_one_more_0(&p->plotdatas);
  r->data = 1;
  plotdata &d = p->plotdatas.data[0];
  trimesh_resize_1(&d.meshes, pieces, pieces);
  return d;
}

void set_mesh(tmesh *t, uint32_t basis, std::vector<pointd> nodes, std::vector<int32_t> cells) {
  int32_t n = int32_t(nodes.size()), k = elements_functions[basis], c = int32_t(cells.size()) / k;
  trimesh_resize_0(t, n, n, n, c, c, basis, basis);
  for (int32_t i = 0; i < n; i++) t->nodes.data[i] = nodes[i], t->nodes3.data[i] = {nodes[i].x, nodes[i].y, 0};
  std::copy(cells.begin(), cells.end(), t->cells.data);
}

std::vector<double> numbers_after(const std::string &text, const char *word) {
  std::istringstream in(text.substr(text.find(word) + strlen(word)));
  std::vector<double> v;
  for (double x; in >> x;) v.push_back(x);
  return v;
}

TEST_F(Exports, ContourPrintInterpolatesInThePlotMesh) {
  TempDir tmp;
  strings_copyto_1(&p->directory, (tmp.path + "/").c_str());
  plotdata &d = plot_mesh(p.get(), r, 1);
  set_mesh(&d.meshes.data[0], tri3, {{0, 0}, {1, 0}, {1, 1}, {0, 1}}, {1, 2, 3, 1, 3, 4});
  vector2d values{};
  vector2d_resize(&values, 1, 1);
  for (double u : {0.0, 1.0, 3.0, 2.0}) vectord_one_more(&values.data[0], u);  // x + 2 y
  r->points[0] = 3, r->points[1] = 3;
  rect3d box = {0, 0, 0, 1, 1, 0};
  exporter_print_2dplot(p.get(), r, &box, &values, 1);
  EXPECT_EQ(numbers_after(slurp(tmp.file("cool.p03")), "DATA"), (std::vector<double>{0, 0.5, 1, 1, 1.5, 2, 2, 2.5, 3}));
  // A grid reaching past the mesh: outside points are flagged and take the value to their left.
  box = {0, 0, 0, 2, 1, 0};
  r->points[1] = 2, r->flags = plot_bit(19), r->kind = PLOT_CONTOUR;
  strings_copyto_1(&r->format, "#p #q #x #1");
  exporter_print_2dplot(p.get(), r, &box, &values, 1);
  std::string f = slurp(tmp.file("cool.p03"));
  EXPECT_EQ(f.substr(f.find("}\n") + 2), "0 0 0 0\n1 0 1 1\n{ exterior: 2 0 2 1 }\n0 1 0 2\n1 1 1 3\n{ exterior: 2 1 2 3 }\n");
  vector2d_free(&values, 1);
}

TEST_F(Exports, LineoutMergesThePiecesByKey) {
  TempDir tmp;
  strings_copyto_1(&p->directory, (tmp.path + "/").c_str());
  plotdata &d = plot_mesh(p.get(), r, 2);
  // Piece 1 holds two runs, 0..1 and 2..2.5; piece 2 lies between them.
  set_mesh(&d.meshes.data[0], lin2, {{0, 0}, {0.5, 0}, {1, 0}, {2, 0}, {2.5, 0}}, {1, 2, 2, 3, 4, 5});
  set_mesh(&d.meshes.data[1], lin2, {{1.2, 0}, {1.5, 0}}, {1, 2});
  for (uint8_t tag : {2, 1, 3, 2, 3}) vectorb_one_more(&d.meshes.data[0].tags, tag);
  std::vector<std::pair<int32_t, int32_t>> want = {{1, 1}, {1, 2}, {1, 3}, {2, 1}, {2, 2}, {1, 4}, {1, 5}};
  EXPECT_EQ(merge_lineout(&d), want);
  strings_copyto_1(&d.axislabels[0], "X");
  vector3d values{};
  vector3d_resize(&values, 1, 1);
  vector2d_resize(&values.data[0], 2, 2);
  for (int k = 0; k < 2; k++)
    for (int32_t n = 0; n < d.meshes.data[k].nodes.count; n++)
      vectord_one_more(&values.data[0].data[k], 10 * d.meshes.data[k].nodes.data[n].x);
  String label = {};
  strings_copyto_1(&label, "u");
  strings_one_more(&r->labels, &label);
  strings_free_0(&label);
  trees_one_more(&r->exprs, nullptr);
  vectord integrals{};
  vectord_one_more(&integrals, 1.0 / 3);
  r->flags = plot_bit(4);
  exporter_print_lineout(p.get(), r, &values, &integrals);
  std::string f = slurp(tmp.file("cool.p03"));
  EXPECT_NE(f.find("\n X  7\n"), std::string::npos) << f;
  EXPECT_NE(f.find("\n DATA { u }\n{ Integral=3.3333333333e-01 }\n"), std::string::npos) << f;
  EXPECT_EQ(numbers_after(f, "}\n{ Integral=3.3333333333e-01 }"), (std::vector<double>{0, 5, 10, 12, 15, 20, 25}));
  vector3d_free(&values, 1);
  vectord_free(&integrals);
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
  // The rows written before the error do not stand as a file, nor as a temporary one.
  EXPECT_EQ(slurp(tmp.file("cool_03.tbl")), "<missing>");
  EXPECT_EQ(system(("ls '" + tmp.path + "' | grep -q qtmp").c_str()) == 0, false);
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
    std::string out = ::run("/usr/bin/python3 -W ignore '" QUENDAR_SOURCE "/tests/plot/exportread.py' " + std::string(kind) + " '" +
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
  s = std::regex_replace(s, std::regex("TO \\(1,0\\)\n  SUMMARY\n"), "TO (1,0) PRINT\n  SUMMARY PRINT\n");
  s = std::regex_replace(s, std::regex("\nEND"),
                         "\n  TABLE(u) POINTS=(11,11)\n  CDF(u)\n  TECPLOT(u)\n  TRANSFER(u, dx(u))\n"
                         "  TABLE(u) ZOOM(0.5,0.5,1,1) POINTS=(3,3) FORMAT '#x #y #1'\n"
                         "  TABLE(u) ZOOM(-1.2,-1.2,2.4,2.4) POINTS=(5,5)\n"
                         "  CDF(u) ZOOM(0.8,0.8,1,1) POINTS=(2,2)\n  CDF(x, x)\nEND");
  ASSERT_EQ(run("disk", s), 0) << slurp(tmp.file("out.txt"));
  // The print files of the elevation (its integral along y = 0 is 1/3) and of the summary.
  std::string elevation = slurp(tmp.file("disk.p02")), summary = slurp(tmp.file("disk.p03"));
  auto first = [](const std::string &text, const char *marker) {
    std::vector<double> v = numbers_after(text, marker);
    return v.empty() ? NAN : v[0];
  };
  EXPECT_NEAR(first(elevation, "{ Integral="), 1.0 / 3, 1e-4) << elevation;
  EXPECT_NEAR(first(summary, "EVAL(u, 0, 0)="), 0.25, 1e-4) << summary;
  EXPECT_NEAR(first(summary, "INTEGRAL(u)="), M_PI / 8, 1e-4) << summary;
  std::string table = read("table", "disk_01.tbl");
  EXPECT_NE(table.find("axes=11x11 values=121 "), std::string::npos) << table;
  EXPECT_LT(field(table, "err"), 1e-4);
  EXPECT_EQ(field(table, "fill_bad"), 0);
  std::string transfer = read("transfer", "disk_04.dat");
  EXPECT_NE(transfer.find("vars=u dx_u_ basis=5 dof=6 blocks=1 "), std::string::npos) << transfer;
  EXPECT_LT(field(transfer, "err"), 1e-4);
  EXPECT_EQ(field(transfer, "mutual_bad"), 0);
  // The program's own TRANSFER declaration reads the file back.
  ASSERT_EQ(run("back", R"(TITLE 'Read back'
VARIABLES v
DEFINITIONS TRANSFER('disk_04.dat', ut)
EQUATIONS div(grad(v)) + 1 = 0
BOUNDARIES REGION 1 START(1,0) VALUE(v)=0 ARC(CENTER=0,0) ANGLE=360 TO FINISH
PLOTS SUMMARY PRINT REPORT EVAL(ut, 0.5, 0.3) REPORT INTEGRAL(ut)
END
)"), 0) << slurp(tmp.file("out.txt"));
  std::string back = slurp(tmp.file("back.p01"));
  EXPECT_NEAR(first(back, "EVAL(ut, 0.5, 0.3)="), 0.165, 1e-4) << back;
  EXPECT_NEAR(first(back, "INTEGRAL(ut)="), M_PI / 8, 1e-4) << back;
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
  // Rows wholly outside move toward the middle by tenths of their spacing: the first
  // row of the second box meets the disk at y = -0.96 (u = 0.0196); in the first box the
  // middle row meets it at y = 0.85, and so does the last, which moves on until it meets
  // the disk: no row is left outside.
  std::string moved = slurp(tmp.file("disk_06.tbl"));
  std::vector<double> data = numbers_after(moved, "DATA");
  ASSERT_EQ(data.size(), 25u);
  for (int i = 0; i < 5; i++) EXPECT_NEAR(data[i], 0.0196, 1e-4);
  EXPECT_LT(field(read("table", "disk_06.tbl"), "err"), 1e-4);
  auto u = [](double x, double y) { return (1 - x * x - y * y) / 4; };
  struct Row {
    bool exterior;
    double x, y, u;
  };
  const Row rows[] = {{0, 0.5, 0.5, u(0.5, 0.5)},   {1, 1, 0.5, u(0.5, 0.5)},   {1, 1.5, 0.5, u(0.5, 0.5)},
                      {0, 0.5, 0.85, u(0.5, 0.85)}, {1, 1, 0.85, u(0.5, 0.85)}, {1, 1.5, 0.85, u(0.5, 0.85)},
                      {0, 0.5, 0.85, u(0.5, 0.85)}, {1, 1, 0.85, u(0.5, 0.85)}, {1, 1.5, 0.85, u(0.5, 0.85)}};
  std::string lines = slurp(tmp.file("disk_05.tbl"));
  std::istringstream in(lines.substr(lines.find("}\n") + 2));
  for (auto &w : rows) {
    std::string line;
    std::getline(in, line);
    bool exterior = line.rfind("{ exterior: ", 0) == 0;
    double x, y, v;
    std::istringstream(exterior ? line.substr(12) : line) >> x >> y >> v;
    EXPECT_EQ(exterior, w.exterior) << line;
    EXPECT_NEAR(x, w.x, 1e-9);
    EXPECT_NEAR(y, w.y, 1e-9);
    EXPECT_NEAR(v, w.u, 1e-4 * std::max(1.0, w.u)) << line;
  }
  EXPECT_EQ(::run("ncdump -k '" + tmp.file("disk_02.cdf") + "'"), "classic");
  // One name per variable: the second x is renamed.
  std::string h = ::run("ncdump -h '" + tmp.file("disk_08.cdf") + "'");
  EXPECT_NE(h.find("float x(X, Y) ;"), std::string::npos) << h;
  EXPECT_NE(h.find("float x_2(X, Y) ;"), std::string::npos) << h;
  // No point of this box lies inside: the range stays open and every value is masked.
  if (std::string c = read("cdf", "disk_07.cdf"); !c.empty()) {
    EXPECT_NE(c.find("range=-9.9e+36,9.9e+36 "), std::string::npos) << c;
    EXPECT_EQ(field(c, "masked"), 4) << c;
  }
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
    // Two timed outputs and the end of the run; the range is the one observed: from the
    // sides' 0 to the largest value, the centre's at t = 0.05 (exact 0.3727078 =
    // exp(-pi^2/10), held to 20 ERRLIM of it as the time runs' answers are).
    EXPECT_NE(c.find("times=0.05,0.075,0.1 records=3 "), std::string::npos) << c;
    std::smatch r;
    ASSERT_TRUE(std::regex_search(c, r, std::regex(" range=([^,]+),([^ ]+) "))) << c;
    EXPECT_EQ(std::stod(r[1]), 0.0) << c;
    EXPECT_EQ(field(c, "min"), 0.0) << c;
    EXPECT_EQ(std::stod(r[2]), field(c, "max")) << c;
    EXPECT_NEAR(field(c, "max"), std::exp(-M_PI * M_PI / 10), 20 * 1e-5 * 0.3727078) << c;
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

// Export and history headers, and the plot file's names of the histories, carry the
// entry's whole caption through its closing bracket.
TEST_F(ExportRuns, HeadersCarryTheWholeCaption) {
  ASSERT_EQ(run("cap", R"(TITLE 'Captions'
SELECT STAGES = 2
VARIABLES u
DEFINITIONS v = 2*u
EQUATIONS div(grad(u)) + STAGE = 0
BOUNDARIES REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  TABLE(u)
  TRANSFER(u, v)
HISTORIES
  HISTORY(val(u,0.5,0.5)) PRINT
  HISTORY(u, 2*u) AT (0.5,0.5) (0.2,0.2) PRINT
END
)"), 0) << slurp(tmp.file("out.txt"));
  auto title = [&](const char *file) {
    std::string text = slurp(tmp.file(file));
    size_t at = text.find("Title: ");
    return at == std::string::npos ? text.substr(0, 200) : text.substr(at, text.find('\n', at) - at);
  };
  EXPECT_EQ(title("cap_01_2.tbl"), "Title: TABLE(u)");
  EXPECT_EQ(title("cap_02.dat"), "Title: TRANSFER(u, v)");
  EXPECT_EQ(title("cap.p01"), "Title: HISTORY(val(u,0.5,0.5))");
  EXPECT_EQ(title("cap.p02"), "Title: HISTORY(u, 2*u)");
  std::string walk = ::run("python3 '" QUENDAR_SOURCE "/tests/plot/pgxwalk.py' -n '" + tmp.file("cap.pgx") + "' 2>&1");
  EXPECT_NE(walk.find(" 3:HISTORY(val(u,0.5,0.5))[") , std::string::npos) << walk;
  EXPECT_NE(walk.find(" 4:HISTORY(u, 2*u)["), std::string::npos) << walk;
}

// u = x on the unit square: the normal component of grad(u) at points of the boundary
// is the outward normal's x (1 on the right, -1 on the left, 0 below); inside there is
// no normal, and a summary, which has no point, does not report a field value.
TEST_F(ExportRuns, NormalComponentsAtPointsAndReportsOfVectors) {
  const std::string head = R"(TITLE 'u = x'
VARIABLES u
EQUATIONS div(grad(u)) = 0
BOUNDARIES REGION 1 START(0,0) VALUE(u)=x LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
)";
  ASSERT_EQ(run("nrm", head + R"(  CONTOUR(u) PRINT REPORT(magnitude(grad(u)))
  SUMMARY PRINT
    REPORT(val(normal(grad(u)), 1, 0.5))
    REPORT(eval(normal(grad(u)), 0, 0.5))
    REPORT(val(normal(grad(u)), 0.5, 0))
    REPORT(val(tangential(grad(u)), 0.5, 0))
    REPORT(val(magnitude(grad(u)), 0.3, 0.7))
END
)"), 0) << slurp(tmp.file("out.txt"));
  std::string summary = slurp(tmp.file("nrm.p02"));
  const std::pair<const char *, double> want[] = {{"val(normal(grad(u)), 1, 0.5)=", 1},
                                                  {"eval(normal(grad(u)), 0, 0.5)=", -1},
                                                  {"val(normal(grad(u)), 0.5, 0)=", 0},
                                                  {"val(tangential(grad(u)), 0.5, 0)=", 1},
                                                  {"val(magnitude(grad(u)), 0.3, 0.7)=", 1}};
  for (auto [label, value] : want) {
    std::vector<double> v = numbers_after(summary, label);
    ASSERT_FALSE(v.empty()) << label << "\n" << summary;
    EXPECT_NEAR(v[0], value, 1e-6) << label;
  }
  // The contour's value line carries the report.
  std::string pgx = slurp(tmp.file("nrm.pgx"));
  EXPECT_NE(pgx.find("magnitude(grad(u))= 1 "), std::string::npos);
  // Inside, and a field in a summary: located errors, the run ends with them.
  const struct {
    const char *entry, *message;
  } errors[] = {
      {"  SUMMARY PRINT REPORT(val(normal(grad(u)), 0.5, 0.5))\n", "Line 6 ERROR: normal() MUST BE EVALUATED ON A BOUNDARY."},
      {"  CONTOUR(u)\n  SUMMARY PRINT REPORT(magnitude(grad(u)))\n",
       "Line 7 ERROR: VALUE NEEDS A POINT: USE VAL(expression, x, y)"}};
  for (auto [entry, message] : errors) {
    EXPECT_EQ(run("bad", head + entry + "END\n"), 1) << entry;
    std::string log = slurp(tmp.file("bad.log"));
    EXPECT_NE(log.find(message), std::string::npos) << log;
  }
}

TEST_F(ExportRuns, ExtrudedCubeExports) {
  ASSERT_EQ(run("cube", R"(TITLE 'Cube'
COORDINATES CARTESIAN3
VARIABLES u
EQUATIONS div(grad(u)) + 6 = 0
EXTRUSION z = 0, 1
BOUNDARIES
  SURFACE 1 VALUE(u) = 3 - x*x - y*y - z*z
  SURFACE 2 VALUE(u) = 3 - x*x - y*y - z*z
  REGION 1 START(0,0) VALUE(u) = 3 - x*x - y*y - z*z LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  TABLE(u) POINTS=(3,3,3)
  TECPLOT(u)
  TRANSFER(u)
END
)"), 0) << slurp(tmp.file("out.txt"));
  // Three axes, then the layers over z of rows over y, x fastest.
  std::vector<double> data = numbers_after(slurp(tmp.file("cube_01.tbl")), "DATA");
  ASSERT_EQ(data.size(), 27u);
  for (int i = 0; i < 27; i++) {
    double x = (i % 3) * 0.5, y = (i / 3 % 3) * 0.5, z = (i / 9) * 0.5;
    EXPECT_NEAR(data[i], 3 - x * x - y * y - z * z, 1e-6) << i;
  }
  std::string transfer = read("transfer", "cube_03.dat"), tec = read("tecplot", "cube_02.dat");
  EXPECT_NE(transfer.find("basis=9 dof=10 blocks=1 "), std::string::npos) << transfer;
  EXPECT_EQ(field(transfer, "mutual_bad"), 0);
  EXPECT_EQ(field(tec, "elements"), 8 * field(transfer, "cells")) << tec;  // 8 tetrahedra per 10-node cell
  EXPECT_EQ(field(tec, "bad"), 0);
  if (std::string m = read("meshio", "cube_02.dat"); !m.empty()) EXPECT_EQ(field(m, "cells"), field(tec, "elements")) << m;
}

// Exports that cannot be written leave no file behind and say why at their line: a
// vector in a netCDF export or a table, and PRINT on arrows or a displaced mesh end the
// run before solving. (A table of a cut plane of a 3D problem is written: PrintRuns.)
TEST_F(ExportRuns, RefusedExportsLeaveNoFile) {
  const std::string square = R"(TITLE 'Refused'
VARIABLES u
EQUATIONS div(grad(u)) + 1 = 0
BOUNDARIES REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
)";
  const struct {
    std::string text;
    const char *message, *file;
    int exit = 1;
  } rows[] = {
      {square + "  CDF(grad(u))\nEND\n", "Line 6 ERROR: RESULT IS NOT SCALAR", "no_01.cdf"},
      {square + "  CONTOUR(u)\n  TABLE(u, grad(u)) FORMAT '#1'\nEND\n", "Line 7 ERROR: RESULT IS NOT SCALAR",
       "no_01.tbl"},
      // Arrows and displaced meshes have no print file.
      {square + "  VECTOR(grad(u)) PRINT\nEND\n", "Line 6 ERROR: PRINT not available for VECTOR and GRID plots",
       "no.p01"},
      {square + "  GRID(x + u, y) PRINT(5)\nEND\n", "Line 6 ERROR: PRINT not available for VECTOR and GRID plots",
       "no.p01"},
  };
  for (const auto &r : rows) {
    EXPECT_EQ(run("no", r.text), r.exit) << r.text;
    std::string log = slurp(tmp.file("no.log"));
    EXPECT_NE(log.find(r.message), std::string::npos) << log;
    EXPECT_EQ(slurp(tmp.file(r.file)), "<missing>") << r.text;
    if (std::string(r.file) == "no_01.cdf") EXPECT_EQ(log.find("GRID"), std::string::npos) << log;  // before solving
  }
}

}  // namespace
