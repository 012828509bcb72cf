// Every construct of the BOUNDARIES and PLOTS sections, and the bounded counts of SELECT,
// either changes the problem that is built, seen in a reported value against its exact
// answer, or is refused with an error at its line: none is accepted and then ignored.
#include <cmath>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>

#include "tests/control/doubles.h"

namespace {

namespace fs = std::filesystem;

struct Constructs : ProgramRun {
  // The descriptor: a file of tests/data/constructs (with the files of its .d folder),
  // or the text given.
  int run(const std::string &name, const std::string &text) {
    fs::path data = fs::path(QUENDAR_DATA) / "constructs";
    if (text.empty()) {
      fs::copy_file(data / (name + ".pde"), fs::path(dir) / (name + ".pde"), fs::copy_options::overwrite_existing);
      if (fs::exists(data / (name + ".d")))
        for (const auto &e : fs::directory_iterator(data / (name + ".d")))
          fs::copy_file(e.path(), fs::path(dir) / e.path().filename(), fs::copy_options::overwrite_existing);
    } else {
      spit(dir + "/" + name + ".pde", text);
    }
    return shell("env -u DISPLAY '" QUENDAR_EXE "' -B -R -X " + name + ".pde");
  }
  // "label= value" lines of a summary file.
  std::map<std::string, double> values(const std::string &file) {
    std::map<std::string, double> out;
    std::istringstream in(slurp(dir + "/" + file));
    std::smatch m;
    for (std::string l; std::getline(in, l);)
      if (std::regex_match(l, m, std::regex(" *(.*?)= *(\\S+)"))) out[m[1]] = std::stod(m[2]);
    return out;
  }
};

const char *square = "START(0,0) LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH";

std::string with(const std::string &boundaries, const std::string &plots, const std::string &select = "") {
  return "TITLE 't' SELECT ERRLIM=1e-4 " + select + "\nVARIABLES u\nEQUATIONS div(grad(u))+1=0\nBOUNDARIES\n" +
         boundaries + "\nPLOTS\n" + plots + "\nEND\n";
}

// 400 labels of 200 characters: more than one line of reports can hold.
std::string long_reports() {
  std::string plots = "SUMMARY\n";
  for (int k = 0; k < 400; k++) plots += "REPORT 1 AS '" + std::string(196, 'a') + std::to_string(1000 + k) + "'\n";
  return with(std::string("REGION 1 VALUE(u)=0 ") + square, plots);
}

// A chain of n definitions a_k = a_(k-1) + x from a0 = x (a_n = (n+1) x) with the
// source given in the equation.
std::string chain(int n, const std::string &source) {
  std::string text = "TITLE 'chain'\nVARIABLES u\nDEFINITIONS\na0 = x\n";
  for (int k = 1; k <= n; k++) text += "a" + std::to_string(k) + " = a" + std::to_string(k - 1) + " + x\n";
  std::string last = "a" + std::to_string(n);
  return text + "EQUATIONS div(grad(u)) + " + source + " = 0\nBOUNDARIES REGION 1 VALUE(u)=0 " + square +
         "\nPLOTS SUMMARY EXPORT FILE 's.txt' REPORT val(u,0.5,0.5) AS 'c' REPORT val(" + last +
         ",0.3,0.5) AS 'a' REPORT val(dx(" + last + "),0.3,0.5) AS 'dxa'\nEND\n";
}

TEST_F(Constructs, EachIsBuiltOrRefusedAtItsLine) {
  const std::string area = "SUMMARY EXPORT FILE 's.txt' REPORT integral(1) AS 'a'";
  struct Row {
    const char *name;
    std::string text;  // empty: the descriptor of tests/data/constructs
    const char *file, *label;
    double value, tol;
    const char *error;  // the start of the log's error line; null for a value
  };
  const Row rows[] = {
      // A condition written before the first region holds on the paths that follow:
      // the unit square's centre under -lap u = 1, u = 0 (series).
      {"bc_before_region", "", "bc_before_region.p01", "c", 0.0736713, 2e-3, nullptr},
      // LINE LIST is the polyline through its points (a polygon of area 1.25).
      {"linelist_noop", "", "linelist_noop.p01", "area", 1.25, 1e-6, nullptr},
      {"spline_noop", "", nullptr, nullptr, 0, 0, "Line 3 ERROR: SPLINE segments are not supported"},
      // The corners and holes the paths cut change the area: a fillet of radius 0.2
      // takes (1 - pi/4) 0.04, a bevel cut 0.2 long a right triangle of legs 0.2/sqrt(2),
      // 0.01; an excluded quarter 0.25.
      {"fillet",
       with(std::string("REGION 1 VALUE(u)=0 START(0,0) LINE TO (1,0) FILLET=0.2 TO (1,1) TO (0,1) TO FINISH"), area),
       "s.txt", "a", 1 - (1 - M_PI / 4) * 0.04, 1e-3, nullptr},
      {"bevel",
       with(std::string("REGION 1 VALUE(u)=0 START(0,0) LINE TO (1,0) BEVEL=0.2 TO (1,1) TO (0,1) TO FINISH"), area),
       "s.txt", "a", 0.99, 1e-6, nullptr},
      {"exclude",
       with(std::string("REGION 1 VALUE(u)=0 ") + square +
                " EXCLUDE START(0.25,0.25) LINE TO (0.75,0.25) TO (0.75,0.75) TO (0.25,0.75) TO FINISH",
            area),
       "s.txt", "a", 0.75, 1e-6, nullptr},
      {"circle", with("REGION 1 VALUE(u)=0 START(1,0) ARC(CENTER=0,0) ANGLE=360", area), "s.txt", "a", M_PI, 1e-4,
       nullptr},
      // A natural condition: -lap u = 0 with u = 0 at x = 0 and a unit outward flux at
      // x = 1 is u = x.
      {"natural",
       "TITLE 'n' SELECT ERRLIM=1e-4\nVARIABLES u\nEQUATIONS div(grad(u))=0\nBOUNDARIES REGION 1 START(0,0) "
       "NATURAL(u)=0 LINE TO (1,0) NATURAL(u)=1 LINE TO (1,1) NATURAL(u)=0 LINE TO (0,1) VALUE(u)=0 LINE TO FINISH\n"
       "PLOTS SUMMARY EXPORT FILE 's.txt' REPORT val(u,0.7,0.4) AS 'u'\nEND\n",
       "s.txt", "u", 0.7, 1e-6, nullptr},
      // Layers named 'lower' and 'upper' are those layers: the flux out of each is the
      // integral of lap u = 2 over its volume.
      {"layer_named_upper", "", "c_sum.txt", "flux lower", 1.6, 1e-3, nullptr},
      {"layer_named_upper", "", "c_sum.txt", "flux upper", 2.4, 1e-3, nullptr},
      // Plots with nothing to draw on or along.
      {"elevation_no_path", "", nullptr, nullptr, 0, 0, "Line 6 ERROR: CUT is a FEATURE"},
      {"elevation_region", with(std::string("REGION 1 VALUE(u)=0 ") + square, "CONTOUR(u)\nELEVATION(u) ON REGION 1"),
       nullptr, nullptr, 0, 0, "Line 8 ERROR: ELEVATION needs a path"},
      {"elevation_bare", with(std::string("REGION 1 VALUE(u)=0 ") + square, "CONTOUR(u)\nELEVATION(u)"), nullptr,
       nullptr, 0, 0, "Line 8 ERROR: ELEVATION needs a path"},
      {"contour_on_feature", "", nullptr, nullptr, 0, 0, "Line 5 ERROR: CUT is a FEATURE"},
      // Values that depend on the place, reported with none.
      {"report_table_transfer", "", nullptr, nullptr, 0, 0, "Line 6 ERROR: VALUE NEEDS A POINT"},
      // INITIAL EQUATIONS give the start: u - x y = 0 is u = x y, 0.25 at the centre at
      // t = 0; one not of degree one in its variable is refused at its line.
      {"initial_equations", "", "initial_equations.p01_1", "u0", 0.25, 1e-9, nullptr},
      {"initial_square",
       "TITLE 'i'\nVARIABLES u\nINITIAL EQUATIONS u^2 - x*y = 0\nEQUATIONS div(grad(u))+1=dt(u)\nBOUNDARIES REGION 1 "
       "START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH\nTIME 0 TO 0.01\nPLOTS FOR T = 0 "
       "SUMMARY\nEND\n",
       nullptr, nullptr, 0, 0, "Line 3 ERROR: INITIAL EQUATIONS: each must be of degree one"},
      // A variable's second tagged equation would replace its first.
      {"tagged_twice",
       "TITLE 'e'\nVARIABLES u v\nEQUATIONS\nu: div(grad(u))+1=0\nv: div(grad(v))+u=0\nu: div(grad(u))+2=0\nBOUNDARIES "
       "REGION 1 START(0,0) VALUE(u)=0 VALUE(v)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH\nEND\n",
       nullptr, nullptr, 0, 0, "Line 6 ERROR: A second equation for U"},
      // A REPEAT is read again from its place: its ENDREPEAT must be in its file.
      {"repeat_in_include", "", nullptr, nullptr, 0, 0, "Line 6 ERROR: ENDREPEAT closes a REPEAT of another file"},
      // Counts, bounded where they are read.
      {"font99", "", nullptr, nullptr, 0, 0, "Line 1 ERROR: FONT must be 0 to "},
      {"for_by_tiny", "", nullptr, nullptr, 0, 0, "Line 7 ERROR: Too many plot times"},
      // The same where the span itself is near the largest number: the count is not made by
      // a division that would overflow.
      {"for_by_far_end",
       "TITLE 'tby'\nVARIABLES u\nINITIAL VALUES u = 0\nEQUATIONS div(grad(u))+1=dt(u)\nBOUNDARIES REGION 1 "
       "START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH\nTIME 0 TO 1\nPLOTS FOR T = 0 BY 1e-9 TO "
       "1e308 CONTOUR(u)\nEND\n",
       nullptr, nullptr, 0, 0, "Line 7 ERROR: Too many plot times"},
      {"points_grid", with(std::string("REGION 1 VALUE(u)=0 ") + square, "CONTOUR(u) POINTS=4000"), nullptr, nullptr, 0,
       0, "Line 7 ERROR: POINTS too many"},
      // An export over a volume samples POINTS in each of three directions.
      {"points_cube",
       "TITLE 'c'\nCOORDINATES cartesian3\nVARIABLES u\nEXTRUSION z = 0, 1\nEQUATIONS div(grad(u))+1=0\nBOUNDARIES "
       "REGION 1 VALUE(u)=0 " +
           std::string(square) + "\nPLOTS\nTABLE(u) POINTS=200\nEND\n",
       nullptr, nullptr, 0, 0, "Line 8 ERROR: POINTS too many: an export over a volume"},
      {"long_reports", long_reports(), nullptr, nullptr, 0, 0, "ERROR: REPORT texts too long"},
      {"staged_errlim_short", "", nullptr, nullptr, 0, 0, "Line 4 ERROR: NOT ENOUGH STAGE VALUES: 2 given, STAGES = 3"},
      {"staged_then_stages",
       "TITLE 's'\nSELECT ERRLIM = STAGED(1e-2, 1e-5)\nSTAGES = 3\nVARIABLES u\nEQUATIONS div(grad(u))+1=0\n"
       "BOUNDARIES REGION 1 VALUE(u)=0 " +
           std::string(square) + "\nEND\n",
       nullptr, nullptr, 0, 0, "Line 3 ERROR: NOT ENOUGH STAGE VALUES: 2 given, STAGES = 3"},
      {"subspace_below_modes", "", nullptr, nullptr, 0, 0, "Line 7 ERROR: SUBSPACE must be 0 or MODES (6) to 32767"},
      {"subspace_negative", "", nullptr, nullptr, 0, 0, "Line 7 ERROR: SUBSPACE must be 0 to 32767"},
      // Long chains of definitions: the source a_n/(n+1) = x gives half the unit
      // source's centre value; dx(a_n)/(n+1) = 1 gives it whole.
      {"chain_10000", chain(10000, "a10000/10001"), "s.txt", "c", 0.0736713 / 2, 2e-3, nullptr},
      {"chain_10000", chain(10000, "a10000/10001"), "s.txt", "a", 3000.3, 1e-9, nullptr},
      {"chain_dx", chain(100, "dx(a100)/101"), "s.txt", "c", 0.0736713, 2e-3, nullptr},
      {"chain_dx", chain(100, "dx(a100)/101"), "s.txt", "dxa", 101, 1e-9, nullptr},
  };
  for (const Row &r : rows) {
    int code = run(r.name, r.text);
    std::string log = slurp(dir + "/" + r.name + ".log");
    if (r.error) {
      EXPECT_EQ(code, 1) << r.name << "\n" << log;
      EXPECT_NE(log.find(r.error), std::string::npos) << r.name << "\n" << log;
      continue;
    }
    ASSERT_EQ(code, 0) << r.name << "\n" << log;
    auto v = values(r.file);
    ASSERT_TRUE(v.count(r.label)) << r.name << ": " << r.label << "\n" << slurp(dir + "/" + r.file);
    EXPECT_NEAR(v[r.label], r.value, r.tol * std::fabs(r.value)) << r.name << ": " << r.label;
  }
}

// Every vector operator on every kind of operand, in every place an expression stands,
// in the plane and in an extrusion: the run gives the operator's exact value or ends in
// an error at a line of the descriptor, and no internal routine's name reaches the log.
// u = x^2 + y^2 (held on the boundary, lap u = 4) is exact on quadratic cells, so a
// value at the centre is checked against the analytic one.
TEST_F(Constructs, EveryOperatorOnEveryOperandRunsOrIsRefusedAtItsLine) {
  const char *ops[] = {"grad(@)",        "div(@)",         "curl(@)",  "del2(@)",   "xcomp(@)",  "ycomp(@)",
                       "zcomp(@)",       "magnitude(@)",   "dx(@)",    "dz(@)",     "normal(@)", "tangential(@)",
                       "xcomp(curl(@))", "zcomp(curl(@))", "dot(@,@)", "cross(@,@)"};
  const char *operands[] = {"u", "vector(u,u)", "vector(u,u,u)", "grad(vector(u,u))"};
  const char *contexts[] = {"definition", "equation", "condition", "REPORT", "EVAL"};
  // The analytic values at the centre, in the plane and in the unit cube (u has no z). A
  // scalar is a vector of one component, u; the curl of a plane vector and the cross
  // product of two are the scalar normal to the plane.
  const std::map<std::string, double> exact = {{"div(vector(u,u))", 2},
                                               {"div(vector(u,u,u))", 2},
                                               {"del2(u)", 4},
                                               {"xcomp(u)", 0.5},
                                               {"xcomp(vector(u,u))", 0.5},
                                               {"xcomp(vector(u,u,u))", 0.5},
                                               {"ycomp(u)", 0},
                                               {"ycomp(vector(u,u))", 0.5},
                                               {"ycomp(vector(u,u,u))", 0.5},
                                               {"zcomp(u)", 0},
                                               {"zcomp(vector(u,u,u))", 0.5},
                                               {"magnitude(u)", 0.5},
                                               {"magnitude(vector(u,u))", 0.5 * std::sqrt(2.0)},
                                               {"magnitude(vector(u,u,u))", 0.5 * std::sqrt(3.0)},
                                               {"dx(u)", 1},
                                               {"dz(u)", 0},
                                               {"curl(vector(u,u))", 0},
                                               {"xcomp(curl(vector(u,u,u)))", 1},
                                               {"zcomp(curl(vector(u,u,u)))", 0},
                                               {"zcomp(curl(vector(u,u)))", 0},
                                               {"xcomp(curl(u))", 1},
                                               {"xcomp(curl(vector(u,u)))", 0},
                                               {"cross(vector(u,u),vector(u,u))", 0},
                                               {"dot(u,u)", 0.25},
                                               {"dot(vector(u,u),vector(u,u))", 0.5},
                                               {"dot(vector(u,u,u),vector(u,u,u))", 0.75}};
  const std::regex located("Line ([0-9]+) ERROR: (.*)"), internal(" IN [a-z]|\\b[a-z][a-z0-9]*_[a-z0-9_]+\\b");
  int rows = 0, answers = 0, refused = 0;
  for (int dim : {2, 3}) {
    for (const char *op : ops) {
      for (const char *operand : operands) {
        std::string e = std::regex_replace(op, std::regex("@"), operand);
        for (const char *ctx : contexts) {
          std::string c = ctx, pt = dim == 3 ? "0.5,0.5,0.5" : "0.5,0.5";
          std::vector<std::string> lines;
          int at = 0, use = 0;  // the lines of the construct and of the report
          auto put = [&](const std::string &l, bool construct = false) {
            lines.push_back(l);
            if (construct) at = int(lines.size());
          };
          put("TITLE 'sweep'");
          if (dim == 3) put("COORDINATES CARTESIAN3");
          put("SELECT NGRID=2 REGRID=OFF");
          put("VARIABLES u");
          if (c == "definition") put("DEFINITIONS"), put("w = " + e, true);
          put("EQUATIONS");
          put("div(grad(u)) - 4 + " + (c == "equation" ? e : "0") + " = 0", c == "equation");
          if (dim == 3) put("EXTRUSION z = 0, 1");
          put("BOUNDARIES");
          put("REGION 1 START(0,0)");
          put("VALUE(u) = " + (c == "condition" ? e : std::string("x^2+y^2")), c == "condition");
          put("LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH");
          put("PLOTS");
          put("SUMMARY EXPORT FILE 's.txt'");
          std::string report = c == "definition" ? "val(w," + pt + ")"
                               : c == "REPORT"   ? e
                               : c == "EVAL"     ? "eval(" + e + "," + pt + ")"
                                                 : "val(u," + pt + ")";
          put("REPORT " + report + " AS 'r'", c == "REPORT" || c == "EVAL");
          use = int(lines.size());
          lines.push_back("END");
          std::string text;
          for (const std::string &l : lines) text += l + "\n";
          rows++;
          std::string what = std::to_string(dim) + "D " + c + ": " + e;
          fs::remove(fs::path(dir) / "s.txt");
          int code = run("sweep", text);
          std::string log = slurp(dir + "/sweep.log");
          std::smatch m;
          if (code == 0) {
            auto v = values("s.txt");
            ASSERT_TRUE(v.count("r")) << what << "\n" << log;
            EXPECT_TRUE(std::isfinite(v["r"])) << what;
            answers++;
            if (c == "definition" || c == "EVAL") {
              auto k = exact.find(e);
              if (k == exact.end()) ADD_FAILURE() << what << ": an answer with no known value, " << v["r"];
              else EXPECT_NEAR(v["r"], k->second, 1e-6) << what;
            }
            continue;
          }
          refused++;
          EXPECT_EQ(code, 1) << what << "\n" << log;
          ASSERT_TRUE(std::regex_search(log, m, located)) << what << ": an error at no line\n" << log;
          int line = std::stoi(m[1]);
          EXPECT_TRUE(line == at || line == use) << what << ": at line " << line << ", not " << at << "\n" << text;
          EXPECT_FALSE(std::regex_search(std::string(m[2]), internal)) << what << ": " << m[2];
        }
      }
    }
  }
  // 2 dimensions x 16 operators x 4 operands x 5 places.
  EXPECT_EQ(rows, 640);
  EXPECT_GT(answers, 0);
  EXPECT_GT(refused, 0);
}

// A plot that cannot be drawn says so in its window in the spectrum's red, and a batch
// run, whose windows no one sees, says it in the log: a path outside the domain and a
// STREAMLINE plot, beside a contour that draws its own text in black.
TEST_F(Constructs, PlotsThatCannotBeDrawnSayWhyInRedAndInTheLog) {
  ASSERT_EQ(run("undrawn", with(std::string("REGION 1 VALUE(u)=0 ") + square,
                                "ELEVATION(u) FROM (2,2) TO (3,3)\nSTREAMLINE(dx(u), dy(u))\nCONTOUR(u)")),
            0)
      << out();
  std::string log = slurp(dir + "/undrawn.log");
  EXPECT_NE(log.find("\nELEVATION(u): EMPTY PLOT DOMAIN\n"), std::string::npos) << log;
  EXPECT_NE(log.find("\nSTREAMLINE(dx(u), dy(u)): UNIMPLEMENTED PLOT FORM\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("CONTOUR(u):"), std::string::npos) << log;
  // The text colours of each plot's recorded view: 11 is the spectrum's red, 3 black.
  ASSERT_EQ(shell("python3 '" QUENDAR_DATA "/../plot/pgxwalk.py' -t undrawn.pgx"), 0) << out();
  EXPECT_EQ(out(), "header 3 0 0\ngroup 3 1:ELEVATION(u){11} 2:STREAMLINE(dx(u), dy(u)){11} 3:CONTOUR(u){3}\n");
}

}  // namespace
