// Whole runs of descriptors (tests/data/prints) whose print files are read back by a
// reader written apart from the writer (printcheck.py) and checked against the exact
// fields at the printed points; plot integrals against the surface integrals of the
// same runs; the path order, outside rows and staged files of prints.
#include <sys/wait.h>

#include <cmath>
#include <regex>
#include <sstream>

#include "tests/runtime/harness.h"

namespace {

struct PrintRuns : ::testing::Test {
  TempDir tmp;
  // Runs the descriptor of the data folder (or the text given) as name.pde in the
  // temporary folder; the exit code.
  int run(const std::string &name, const std::string &text = "") {
    spit(tmp.file((name + ".pde").c_str()),
         text.empty() ? slurp(QUENDAR_SOURCE "/tests/data/prints/" + name + ".pde") : text);
    std::string cmd = "cd '" + tmp.path + "' && '" QUENDAR_EXE "' -B -R -X " + name + ".pde >out.txt 2>&1";
    int status = system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string file(const std::string &name) { return slurp(tmp.file(name.c_str())); }
  std::string check(const std::string &print, const char *columns, const char *field) {
    return ::run("/usr/bin/python3 '" QUENDAR_SOURCE "/tests/plot/printcheck.py' '" + tmp.file(print.c_str()) + "' '" +
                 columns + "' '" + field + "' 2>&1");
  }
  static double value(const std::string &line, const char *name) {
    std::smatch m;
    std::regex at(std::string("(^| )") + name + "= ?([^ ,\n]+)");
    return std::regex_search(line, m, at) ? std::stod(m[2]) : NAN;
  }
  // The two ends of a "name=lo,hi" range.
  static std::pair<double, double> range(const std::string &line, const char *name) {
    std::smatch m;
    if (!std::regex_search(line, m, std::regex(std::string("(^| )") + name + "=([^ ,]+),([^ ]+)"))) return {NAN, NAN};
    return {std::stod(m[2]), std::stod(m[3])};
  }
};

const char *const quad2 = "x*x - y*y + x*y + 2*x", *const quad3 = "x*x + y*y - 2*z*z + x*z";

// FORMAT prints of contour and surface plots: the printed point (#x #y #z) is where
// the printed value belongs, on straight and curved cells, in 2D and on cuts and
// surfaces in 3D; a 2D point is (x, y, 0). A TABLE on a cut or a surface is written over
// the plot's coordinates, each value the field's at its point.
TEST_F(PrintRuns, FormatPrintsStandWhereTheirValuesBelong) {
  struct Row {
    const char *descriptor, *print, *columns, *field;
    double tol;
    std::pair<double, double> z;  // the range of the printed z
  } rows[] = {
      {"format_xy_zero", "format_xy_zero.p01", "x y u", "x + 2*y", 1e-6, {NAN, NAN}},
      {"square_quadratic", "square_quadratic.p01", "x y z p q u", quad2, 1e-6, {0, 0}},
      {"square_quadratic", "square_quadratic.p02", "x y z p q u", quad2, 1e-6, {0, 0}},
      // The FE solution of curved cells is itself a few 1e-4 off next to the arc.
      {"disk_quadratic", "disk_quadratic.p01", "x y z p q u", quad2, 5e-4, {0, 0}},
      {"disk_quadratic", "disk_quadratic.p02", "x y z p q u", quad2, 1e-4, {0, 0}},
      {"cube_quadratic", "cube_quadratic.p01", "x y z p q u", quad3, 1e-6, {0.5, 0.5}},
      {"cube_quadratic", "cube_quadratic.p02", "x y z p q u", quad3, 1e-6, {1, 1.5}},
      {"cube_quadratic", "cube_quadratic.p03", "x y z p q u", quad3, 1e-6, {0, 1.5}},
      {"cube_quadratic", "cube_quadratic_01.tbl", "x y z p q u", quad3, 1e-6, {1, 1.5}},  // a TABLE on the top
      {"cylinder_quadratic", "cylinder_quadratic.p01", "x y z p q u", quad3, 5e-4, {0.5, 0.5}},
      {"cylinder_quadratic", "cylinder_quadratic.p02", "x y z p q u", quad3, 5e-4, {1, 1}},
      {"cylinder_quadratic", "cylinder_quadratic.p03", "x y z p q u", quad3, 5e-4, {0, 1}},
      {"cylinder_quadratic", "cylinder_quadratic_01.tbl", "x y z p q u", quad3, 1e-3, {0.5, 0.5}},
  };
  std::string ran;
  for (const Row &r : rows) {
    if (ran != r.descriptor) ASSERT_EQ(run(r.descriptor), 0) << r.descriptor << file("out.txt");
    ran = r.descriptor;
    std::string got = check(r.print, r.columns, r.field);
    EXPECT_GT(value(got, "n"), 100) << r.print << ": " << got;
    EXPECT_LT(value(got, "err"), r.tol) << r.print << ": " << got;
    // The points spread over the plot, not at the origin (on the cut x = 0.3, over y).
    auto [x0, x1] = range(got, "x");
    auto [y0, y1] = range(got, "y");
    EXPECT_GT(std::max(x1 - x0, y1 - y0), 0.5) << r.print << ": " << got;
    if (!std::isnan(r.z.first)) {
      auto [z0, z1] = range(got, "z");
      EXPECT_NEAR(z0, r.z.first, 1e-6) << r.print << ": " << got;
      EXPECT_NEAR(z1, r.z.second, 1e-6) << r.print << ": " << got;
    }
  }
  // Next to a concave arc of quadratic cells the plot's values are the field's as
  // closely as the TABLE's (a node of a cell whose map folds near its corner was valued
  // at another root of the map, 0.06 off).
  ASSERT_EQ(run("concave_plot_values"), 0) << file("out.txt");
  const char *concave = "x*x + 3*x*y - y*y + 2*x";
  EXPECT_LT(value(check("concave_plot_values.p01", "x y u", concave), "err"), 3e-3);
  EXPECT_LT(value(check("concave_plot_values_01.tbl", "x y u", concave), "err"), 3e-3);
}

// The integral of a plot on a surface of a 3D problem takes the surface's slope, as
// SINTEGRAL does: flat, sloped and curved tops.
TEST_F(PrintRuns, SurfaceIntegralsMatchSintegral) {
  struct Row {
    const char *top;
    int order;
    double area, areau, tol;  // exact integrals of 1 and 1 + x over the top
  } rows[] = {
      {"1", 1, 1, 1.5, 1e-6},
      {"1 + 0.5*x", 1, std::sqrt(1.25), 1.5 * std::sqrt(1.25), 1e-6},
      {"1 + 0.5*x", 2, std::sqrt(1.25), 1.5 * std::sqrt(1.25), 1e-6},
      // sqrt(1 + x^2) integrated: (sqrt 2 + asinh 1) / 2, and x sqrt(1 + x^2): (2^1.5 - 1) / 3.
      {"1 + 0.5*x^2", 2, (std::sqrt(2.0) + std::asinh(1.0)) / 2,
       (std::sqrt(2.0) + std::asinh(1.0)) / 2 + (std::pow(2.0, 1.5) - 1) / 3, 2e-5},
  };
  for (const Row &r : rows) {
    std::string text = slurp(QUENDAR_SOURCE "/tests/data/prints/surface_slope.pde");
    text = std::regex_replace(text, std::regex("z = 1 \\+ 0.5\\*x"), std::string("z = ") + r.top);
    text = std::regex_replace(text, std::regex("COORDINATES CARTESIAN3"),
                              "COORDINATES CARTESIAN3\nSELECT ORDER = " + std::to_string(r.order));
    ASSERT_EQ(run("slope", text), 0) << r.top << file("out.txt");
    std::string summary = file("slope.p04");
    double sarea = value(summary, "toparea"), sareau = value(summary, "topu");
    EXPECT_NEAR(sarea, r.area, r.tol) << r.top << summary;
    EXPECT_NEAR(sareau, r.areau, r.tol) << r.top << summary;
    for (int plot = 1; plot <= 3; plot++) {
      std::string texts = ::run("python3 '" QUENDAR_SOURCE "/tests/plot/pgxwalk.py' -s " + std::to_string(plot) + " '" +
                                tmp.file("slope.pgx") + "' 2>&1");
      std::smatch m;
      ASSERT_TRUE(std::regex_search(texts, m, std::regex("Surf_Integral= (\\S+)"))) << texts;
      EXPECT_NEAR(std::stod(m[1]), plot == 1 ? sarea : sareau, r.tol) << r.top << " plot " << plot;
    }
  }
}

// Prints and exports that must keep every value: an elevation in order along its path
// also when it runs down its axis; no TABLE value "outside"; a contour on a cut of a
// linear 3D run; an elevation wholly outside said at its line; a merged summary of a
// staged geometry with every stage.
TEST_F(PrintRuns, PrintsKeepTheirOrderAndEveryValue) {
  ASSERT_EQ(run("elevation_reversed"), 0) << file("out.txt");
  std::string rev = file("elevation_reversed.p04");
  std::istringstream in(std::regex_replace(rev, std::regex("\\{[^}]*\\}"), " "));
  std::string axis;
  int n = 0;
  in >> axis >> n;
  std::vector<double> keys(size_t(std::max(n, 0)));
  for (double &k : keys) in >> k;
  ASSERT_GT(n, 100) << rev;
  EXPECT_NEAR(keys.front(), 3, 1e-6);
  EXPECT_NEAR(keys.back(), 0, 1e-6);
  for (size_t i = 1; i < keys.size(); i++) ASSERT_LE(keys[i], keys[i - 1]) << i;

  ASSERT_EQ(run("table_outside_rows"), 0) << file("out.txt");
  std::string table = file("table_outside_rows_01.tbl");
  EXPECT_EQ(table.find("e+300"), std::string::npos) << table;
  EXPECT_EQ(run("contour_cut_crossings"), 3) << file("out.txt");  // GRID LIMIT, solved
  EXPECT_EQ(file("out.txt").find("CROSSINGS"), std::string::npos) << file("out.txt");
  EXPECT_NE(file("cc.txt").find(" centre= 0.06"), std::string::npos) << file("cc.txt");

  ASSERT_EQ(run("elevation_outside"), 0) << file("out.txt");
  EXPECT_NE(file("elevation_outside.log").find("Line 13 WARNING: ELEVATION path lies wholly outside the domain"),
            std::string::npos)
      << file("elevation_outside.log");

  ASSERT_EQ(run("staged_merge_summary"), 0) << file("out.txt");
  std::string merged = file("c_sum.txt");
  for (const char *w : {" w= 1\n area= 1\n", " w= 2\n area= 2\n", " w= 3\n area= 3\n"})
    EXPECT_NE(merged.find(w), std::string::npos) << w << merged;
}

}  // namespace
