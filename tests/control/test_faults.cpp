// Whole runs of descriptors that once went wrong in the reader (tests/data/reader): each
// gives its located error, or its reported values, as a user running it would see.
#include <cmath>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>

#include "reader/rddxf.h"
#include "tests/control/doubles.h"

namespace {

namespace fs = std::filesystem;

struct Faults : ProgramRun {
  // Copies the descriptor and the files it reads (a folder NAME.d beside it, when there
  // is one) into the test directory and runs it in batch mode; the exit code.
  int run(const std::string &name, const std::string &options = "-B -R -X") {
    fs::path data = fs::path(QUENDAR_DATA) / "reader";
    fs::copy_file(data / (name + ".pde"), fs::path(dir) / (name + ".pde"), fs::copy_options::overwrite_existing);
    if (fs::is_directory(data / (name + ".d")))
      fs::copy(data / (name + ".d"), dir, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    return shell("'" QUENDAR_EXE "' " + options + " " + name + ".pde");
  }
  std::string log(const std::string &name) { return slurp(dir + "/" + name + ".log"); }
  // "label= value" lines of the summary files of name, by label.
  std::map<std::string, double> report(const std::string &name) {
    std::map<std::string, double> out;
    for (const auto &e : fs::directory_iterator(dir)) {
      std::string f = e.path().filename().string();
      if (f.rfind(name + ".p", 0) != 0) continue;
      std::istringstream in(slurp(e.path().string()));
      std::smatch m;
      for (std::string l; std::getline(in, l);)
        if (std::regex_search(l, m, std::regex("^ *(\\w+)= (\\S+)"))) out[m[1]] = std::atof(m[2].str().c_str());
    }
    return out;
  }
};

// A count, size or tolerance out of its range, and an integral selecting nothing, is
// one located error at its line; nothing reaches the mesher or the solver.
TEST_F(Faults, OutOfRangeValuesAndEmptySelectionsAreLocated) {
  const std::pair<const char *, const char *> cases[] = {
      {"bint_path7", "Line 11 ERROR: Can't Find Boundary 7"},
      {"bint_region9", "Line 11 ERROR: Can't Find Region 9"},
      {"bint_outer_region5", "Line 11 ERROR: Can't Find Region 5"},
      {"contour_points1", "Line 12 ERROR: POINTS must be 2 to 65535"},
      {"contourgrid0", "Line 3 ERROR: CONTOURGRID must be 2 to 2048"},
      {"errlim0", "Line 3 ERROR: ERRLIM must be above 0"},
      {"order5", "Line 3 ERROR: ORDER must be 1 to 3"},
  };
  for (const auto &[name, error] : cases) {
    EXPECT_EQ(run(name), 1) << name << out();
    EXPECT_NE(log(name).find(error), std::string::npos) << log(name);
  }
}

// V216INTEGRAL leaves the angular factor out of the integrals of a cylinder: the surface
// integral of 1 round the unit square in (r, z) is the integral of r, 2 (not 4 pi).
TEST_F(Faults, V216IntegralDropsTheAngularFactor) {
  ASSERT_EQ(run("v216_sintegral"), 0) << out();
  auto s = report("v216_sintegral");
  EXPECT_NEAR(s.at("si"), 2.0, 1e-9);
  EXPECT_NEAR(s.at("vol"), 1.0, 1e-9);
  EXPECT_NEAR(s.at("ir"), 0.5, 1e-9);
}

// An error is listed at its own place: the file it stands in is named when it is not
// the descriptor, the caret stands under the expanded text of a macro, a star at its
// own line, and an empty descriptor's end is line 1.
TEST_F(Faults, ErrorsAreListedInTheirOwnFile) {
  struct Case {
    const char *name, *options, *listed;
  } cases[] = {
      {"incerr", "-B -R -X", "           In eq.inc:\n" " T|   div(grad(u)) + 1 = = 0\n" "                             *\n"
                             "           Line 2 ERROR: Illegal Symbol\n"},
      {"table_err_nofile", "-B -R -X", "           In t.tbl:\n"},
      {"table_err_nofile", "-B -R -X", "Line 2 ERROR: Table Coordinates must be Monotonic\n"},
      {"print_star_loc", "-B -R -X", "  CONTOUR(u) PRINT *\n" "                           *\n" "           Line 12 ERROR: *"},
      {"macro_caret", "-B -R -X -M", "  div(grad(u)) + 1 + qq = 0\n" "                              *\n"
                                     "           Line 6 ERROR: UNDEFINED NAME\n"},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(run(c.name, c.options), 1) << c.name << out();
    std::string l = std::regex_replace(log(c.name), std::regex(" \\d+:\\d\\d\\|"), " T|");
    EXPECT_NE(l.find(c.listed), std::string::npos) << l;
  }
  // A missing table file is named; so are the configuration file and an empty descriptor's line.
  std::string text = slurp(std::string(QUENDAR_DATA) + "/reader/table_err_nofile.pde");
  spit(dir + "/gone.pde", std::regex_replace(text, std::regex("t\\.tbl"), "gone.tbl"));
  EXPECT_EQ(shell("'" QUENDAR_EXE "' -B -R -X gone.pde"), 1);
  EXPECT_NE(log("gone").find("Line 5 ERROR: missing table file gone.tbl\n"), std::string::npos) << log("gone");
  spit(dir + "/quendar.cfg", "SELECT\n  ngrid = 2\n  nonsense\n");
  EXPECT_EQ(run("print_star_loc"), 1);
  EXPECT_NE(log("print_star_loc").find("           In quendar.cfg:\n"), std::string::npos) << log("print_star_loc");
  EXPECT_NE(log("print_star_loc").find("Line 3 ERROR: Undefined SELECTOR\n"), std::string::npos);
  fs::remove(fs::path(dir) / "quendar.cfg");
  spit(dir + "/empty.pde", "");
  EXPECT_EQ(shell("'" QUENDAR_EXE "' -B -R -X empty.pde"), 1);
  EXPECT_NE(log("empty").find("           Line 1 ERROR: Illegal Symbol\n"), std::string::npos) << log("empty");
}

// REPEAT ... ENDREPEAT in a batch list runs its entries once per turn; a REPEAT left
// open is a located error, not a body run once.
TEST_F(Faults, BatchListsRepeat) {
  EXPECT_EQ(run("batch_repeat"), 1) << out();
  EXPECT_NE(log("batch_repeat").find("Line 3 ERROR: Unclosed REPEAT loop\n"), std::string::npos) << log("batch_repeat");
  auto starts = [&](const std::string &list, const std::string &name) {
    std::string l = log(list);
    int n = 0;
    for (size_t k = l.find("START " + dir + "/" + name); k != std::string::npos; k = l.find("START " + dir + "/" + name, k + 1)) n++;
    return n;
  };
  spit(dir + "/twice.pde", "BATCH sub\\beta\n  REPEAT i = 1 TO 2\n    'a' + $i\n  ENDREPEAT\nEND\n");
  ASSERT_EQ(shell("'" QUENDAR_EXE "' -B -R -X twice.pde"), 0) << log("twice");
  EXPECT_EQ(starts("twice", "sub/beta.pde") * 100 + starts("twice", "a1.pde") * 10 + starts("twice", "a2.pde"), 111);
  spit(dir + "/thrice.pde", "BATCH\n  REPEAT i = 3 BY -1 TO 1 a1, 'a2' ENDREPEAT\n");
  ASSERT_EQ(shell("'" QUENDAR_EXE "' -B -R -X thrice.pde"), 0) << log("thrice");
  EXPECT_EQ(starts("thrice", "a1.pde") * 10 + starts("thrice", "a2.pde"), 33) << log("thrice");
}

// NOT is true where its operand is zero, in a definition, a folded constant and a
// condition of the equations.
TEST_F(Faults, NotEvaluatesInConditions) {
  ASSERT_EQ(run("not_lognot"), 0) << log("not_lognot");
  auto s = report("not_lognot");
  EXPECT_EQ(s.at("g7") * 10 + s.at("g3"), 21);
  std::string text = slurp(dir + "/not_lognot.pde");
  text = std::regex_replace(text, std::regex("1 = 0"), "(if not (x > 0.5) then 2 else 0) = 0");
  text = std::regex_replace(text, std::regex("\nEND"), "\n    REPORT (if not (1 < 0) then 5 else 6) AS 'c'\n"
                                                       "    REPORT integral(if not (x > 0.5) then 1 else 0) AS 'half'\n"
                                                       "    REPORT -bintegral(normal(grad(u))) AS 'source'\nEND");
  spit(dir + "/not2.pde", text);
  ASSERT_EQ(shell("'" QUENDAR_EXE "' -B -R -X not2.pde"), 0) << log("not2");
  auto t = report("not2");
  EXPECT_EQ(t.at("c"), 5);
  EXPECT_NEAR(t.at("half"), 0.5, 0.01);
  EXPECT_NEAR(t.at("source"), 1.0, 0.02);  // the source 2 on half the square leaves through the sides
}

// Drawings imported and run: a unit square whose side has bulge 1 or 2 gains the
// circular segment that side's arc cuts off.
TEST_F(Faults, ImportedDrawingsKeepTheirCurves) {
  auto import = [&](const std::string &name) {
    fs::copy_file(fs::path(QUENDAR_DATA) / "reader" / "dxf" / (name + ".dxf"), fs::path(dir) / (name + ".dxf"),
                  fs::copy_options::overwrite_existing);
    String path = {};
    strings_copyto_1(&path, (dir + "/" + name).c_str());
    int32_t rc = rddxf_scan_dxf(&path);
    strings_free_0(&path);
    return rc;
  };
  // A unit chord with bulge b: the turn t = 4 atan(b), radius 1 / (2 sin(t/2)); the
  // segment beyond the chord has area r^2 (t - sin t) / 2.
  for (auto [name, b] : {std::pair<const char *, double>{"b_p1", 1.0}, {"b_p2", 2.0}}) {
    ASSERT_EQ(import(name), 0) << name;
    ASSERT_EQ(shell("'" QUENDAR_EXE "' -B -R -X " + std::string(name) + ".pde"), 0) << log(name);
    double t = 4 * std::atan(b), r = 1 / (2 * std::sin(t / 2));
    EXPECT_NEAR(report(name).at("area"), 1 + r * r * (t - std::sin(t)) / 2, 2e-4) << name;
  }
  // A number that is not finite stops the import.
  EXPECT_EQ(import("dxf_infinite_value"), 1);
  // An ellipse of axes 2 and 1 turned by 45 degrees: area 2 pi.
  ASSERT_EQ(import("erot"), 0);
  ASSERT_EQ(shell("'" QUENDAR_EXE "' -B -R -X erot.pde"), 0) << log("erot") << slurp(dir + "/erot.pde");
  EXPECT_NEAR(report("erot").at("area"), 2 * M_PI, 1e-4);
}

// An arc whose angle is a full turn written to six digits closes on its start: the
// hole of radius 0.2 leaves 1 - 0.04 pi of the square; a tenth of a degree more is no arc.
TEST_F(Faults, RoundedFullTurnIsAFullTurn) {
  std::string text = slurp(std::string(QUENDAR_DATA) + "/reader/arc_full_turn_rounded.pde");
  text = std::regex_replace(text, std::regex("SUMMARY REPORT"), "SUMMARY EXPORT FILE 'area.txt' REPORT");
  for (const char *angle : {"6.28319 RADIANS", "-360.001", "359.999", "360.1"}) {
    spit(dir + "/turn.pde", std::regex_replace(text, std::regex("6\\.28319 RADIANS"), angle));
    fs::remove(fs::path(dir) / "area.txt");
    int rc = shell("'" QUENDAR_EXE "' -B -R -X turn.pde");
    if (std::string(angle) == "360.1") {
      EXPECT_EQ(rc, 1);
      EXPECT_NE(log("turn").find("Line 11 ERROR: BAD ARC SPECIFICATION"), std::string::npos) << log("turn");
      continue;
    }
    ASSERT_EQ(rc, 0) << angle << log("turn");
    std::smatch m;
    std::string area = slurp(dir + "/area.txt");
    ASSERT_TRUE(std::regex_search(area, m, std::regex("= (\\S+)"))) << area;
    EXPECT_NEAR(std::stod(m[1]), 1 - 0.04 * M_PI, 1e-4) << angle;
  }
}

}  // namespace
