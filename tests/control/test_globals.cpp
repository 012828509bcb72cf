// Global unknowns and derived globals in whole runs of the quendar program: scalar
// variables in steady and time-dependent problems, an integral in a time-dependent
// equation, a constraint in time, the integrated residual measure of a time run, an
// integral only reported in a time run and an extruded time run that regrids. Each descriptor states its known answer and the
// tolerance; the answers are read from the summary exports a user would get.

#include <cmath>
#include <filesystem>
#include <map>
#include <regex>

#include "tests/control/doubles.h"

#ifndef QUENDAR_DATA
#define QUENDAR_DATA "tests/data"
#endif

namespace {

// Time (0 for a steady run) -> report name -> value.
using Reports = std::map<double, std::map<std::string, double>>;

struct Globals : ProgramRun {
  // The descriptor (a case of tests/data/globals, or the text itself) with its summaries
  // exported and the edits made, run in batch; returns the exit code.
  int run(const std::string &name, const std::vector<std::pair<std::string, std::string>> &edits = {},
          const std::string &text = "") {
    std::string s = text.empty() ? slurp(std::string(QUENDAR_DATA) + "/globals/" + name + ".pde") : text;
    s = std::regex_replace(s, std::regex("SUMMARY[ \t]*\n"), "SUMMARY EXPORT\n");
    for (const auto &[from, to] : edits) s = std::regex_replace(s, std::regex(from), to);
    spit(dir + "/" + name + ".pde", s);
    return shell("mkdir -p tmp && TMPDIR='" + dir + "/tmp' '" QUENDAR_EXE "' -B -R -X " + name + ".pde");
  }
  std::string log(const std::string &name) { return slurp(dir + "/" + name + ".log"); }
  Reports reports(const std::string &name) {
    Reports r;
    for (const auto &f : std::filesystem::directory_iterator(dir)) {
      std::string file = f.path().filename().string();
      if (!std::regex_match(file, std::regex(name + "\\.p\\d\\d(_\\d+)?"))) continue;
      double time = 0;
      std::smatch m;
      for (const std::string &l : lines(file)) {
        if (std::regex_match(l, m, std::regex(" Time (\\S+)"))) time = std::stod(m[1]);
        else if (std::regex_match(l, m, std::regex(" (\\S+)= *(\\S+)"))) r[time][m[1]] = std::stod(m[2]);
      }
    }
    return r;
  }
  // The RMS ERR values of the run log's lines.
  std::vector<double> errors(const std::string &name) {
    std::vector<double> v;
    std::string l = log(name);
    std::smatch g;
    for (auto it = l.cbegin(); std::regex_search(it, l.cend(), g, std::regex("RMS ERR= *([0-9.e+-]+)")); it = g.suffix().first)
      v.push_back(std::stod(g[1]));
    return v;
  }
};

void expect_rel(double got, double want, double tol, const std::string &what) {
  EXPECT_NEAR(got / want, 1.0, tol) << what << ": " << got << " against " << want;
}

}  // namespace

TEST_F(Globals, SteadyScalarUnknownsMeetTheirExactValues) {
  // The integral and centre value of u for a unit source in the unit square.
  const double I0 = 0.0351442537, C0 = 0.0736713533;
  struct Case {
    const char *name, *scalar;
    double value, tol;  // the scalar, its tolerance
    const char *integral, *centre;
    double factor;      // the source: u = factor x the unit-source solution
  } cases[] = {
      {"scal", "c", 1.0756025, 1e-4, "INTEGRAL(u)", "EVAL(u,0.5,0.5)", 1.0756025},
      {"scal_b", "c", 3.0, 1e-9, "INTEGRAL(u)", "EVAL(u,0.5,0.5)", 3.0},
      {"scal_a", "c", 1.0, 1e-3, "INTEGRAL(u)", "EVAL(u,0.5,0.5)", 1.0},
      {"sc_a", "s", 2.0, 1e-9, "integral", "centre", 2.0},
      {"sc_b", "s", 2.0, 1e-9, "integral", "centre", 2.0},
      {"sc_c", "s", 28.4541538, 1e-3 * 28.4541538, "integral", "centre", 1 / I0},
      {"sc_d", "s", 28.4541538, 1e-3 * 28.4541538, "integral", "centre", 1 / I0},
      {"scalar", "s", 28.4541538, 1e-3 * 28.4541538, "integral", "centre", 1 / I0},
  };
  for (const Case &c : cases) {
    ASSERT_EQ(run(c.name), 0) << c.name << "\n" << out();
    std::string l = log(c.name);
    EXPECT_EQ(l.find("ERROR"), std::string::npos) << l;
    EXPECT_NE(l.find("--DONE--"), std::string::npos) << l;
    // The default settings settle on a few grids of modest size.
    std::vector<double> e = errors(c.name);
    EXPECT_LE(e.size(), 3u) << l;
    Reports r = reports(c.name);
    ASSERT_EQ(r.size(), 1u) << c.name;
    auto &v = r.begin()->second;
    EXPECT_NEAR(v.at(c.scalar), c.value, c.tol) << c.name;
    expect_rel(v.at(c.integral), c.factor * I0, 1e-3, std::string(c.name) + " integral");
    expect_rel(v.at(c.centre), c.factor * C0, 1e-3, std::string(c.name) + " centre");
  }
}

TEST_F(Globals, ScalarOdeInTimeStartsFromItsInitialValue) {
  ASSERT_EQ(run("scal_t"), 0) << out();
  Reports r = reports("scal_t");
  ASSERT_EQ(r.count(0.0) + r.count(0.5) + r.count(1.0), 3u) << log("scal_t");
  for (double t : {0.0, 0.01, 0.5, 1.0}) {
    EXPECT_NEAR(r[t].at("c"), std::exp(-t), 1e-3) << "T=" << t;
    EXPECT_NEAR(r[t].at("EVAL(u,0.5,0.5)"), t * std::exp(-t), 2e-3) << "T=" << t;
  }
}

TEST_F(Globals, IntegralInATimeDependentEquation) {
  ASSERT_EQ(run("fitt"), 0) << out() << log("fitt");
  EXPECT_EQ(log("fitt").find("INVALID GLOBAL REFERENCE"), std::string::npos) << log("fitt");
  Reports r = reports("fitt");
  EXPECT_NEAR(r[1.0].at("EVAL(u,0.5,0.5)"), std::exp(-1.0), 5e-3);
}

TEST_F(Globals, ConstraintHoldsInTime) {
  auto u = [](double t) { return 1 + std::exp(-2 * M_PI * M_PI * t); };
  // The constraint the start already meets: the decaying cosine mode.
  ASSERT_EQ(run("constr_t"), 0) << out() << log("constr_t");
  Reports r = reports("constr_t");
  for (double t : {0.05, 0.1}) {
    EXPECT_NEAR(r[t].at("EVAL(u,0,0)"), u(t), 2e-3) << "T=" << t;
    EXPECT_NEAR(r[t].at("INTEGRAL(u)"), 1.0, 1e-4) << "T=" << t;
  }
  // Without the constraint the run takes the same steps to the same values.
  ASSERT_EQ(run("free", {{"CONSTRAINTS\\s+INTEGRAL\\(u\\) = 1\\s+", ""}}, slurp(std::string(QUENDAR_DATA) + "/globals/constr_t.pde")), 0);
  EXPECT_NEAR(reports("free")[0.1].at("EVAL(u,0,0)"), r[0.1].at("EVAL(u,0,0)"), 1e-6);
  // A tighter error limit: within 1e-3.
  ASSERT_EQ(run("constr_t", {{"REGRID=off", "REGRID=off ERRLIM=1e-4"}}), 0);
  EXPECT_NEAR(reports("constr_t")[0.1].at("EVAL(u,0,0)"), u(0.1), 1e-3);
  // A uniform source the constraint takes up: the same answer, the integral held at 1.
  ASSERT_EQ(run("constr_t", {{"div\\(grad\\(u\\)\\) = dt\\(u\\)", "div(grad(u)) + 1 = dt(u)"}}), 0)
      << log("constr_t");
  r = reports("constr_t");
  for (double t : {0.05, 0.1}) {
    EXPECT_NEAR(r[t].at("EVAL(u,0,0)"), u(t), 2e-3) << "T=" << t;
    EXPECT_NEAR(r[t].at("INTEGRAL(u)"), 1.0, 1e-4) << "T=" << t;
  }
}

TEST_F(Globals, CenterErrorMeasuresEveryTimeStep) {
  ASSERT_EQ(run("decay_ce"), 0) << out();
  std::vector<double> e = errors("decay_ce");
  ASSERT_GE(e.size(), 5u);
  std::sort(e.begin(), e.end());
  EXPECT_GT(e.front(), 0.0);
  EXPECT_LT(e.back(), 1.0);
  EXPECT_GE(std::unique(e.begin(), e.end()) - e.begin(), 5) << log("decay_ce");
  Reports r = reports("decay_ce");
  expect_rel(r[0.05].at("EVAL(u,0.5,0.5)"), 0.3727078389, 5e-3, "T=0.05");
  expect_rel(r[0.1].at("EVAL(u,0.5,0.5)"), 0.1389111331, 5e-3, "T=0.1");
}

// An integral that only a report reads: the run meets the mode's answer, and the run
// log's closing estimate is the one a run with an output at every step measures.
TEST_F(Globals, ReportedIntegralLeavesTheTimeRunsAnswer) {
  ASSERT_EQ(run("decay_report"), 0) << out();
  Reports r = reports("decay_report");
  EXPECT_LT(r[0.1].at("l2err"), 1e-4);
  expect_rel(r[0.1].at("centre"), 0.1389111331, 1e-3, "T=0.1");
  std::vector<double> e = errors("decay_report");
  ASSERT_EQ(run("decay_report", {{"FOR T = 0.1", "FOR CYCLE = 1"}}), 0) << out();
  std::vector<double> every = errors("decay_report");
  ASSERT_EQ(e.size(), every.size()) << log("decay_report");
  EXPECT_GT(e.back(), 0.0);
  EXPECT_EQ(e.back(), every.back());
}

// The decaying mode of the unit cube, extruded: u(1/2,1/2,1/2) = exp(-3 pi^2 t). The
// time driver measures the 3D error, which lies above ERRLIM at the start, and regrids.
TEST_F(Globals, ExtrudedTimeRunMeasuresAndRegrids) {
  ASSERT_EQ(run("cube", {}, "TITLE 'cube' SELECT NGRID=1 ERRLIM=1e-3 COORDINATES CARTESIAN3 VARIABLES u "
                             "INITIAL VALUES u = sin(pi*x)*sin(pi*y)*sin(pi*z) EQUATIONS div(grad(u)) = dt(u) "
                             "EXTRUSION z = 0, 1 BOUNDARIES SURFACE 1 VALUE(u)=0 SURFACE 2 VALUE(u)=0 "
                             "REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH "
                             "TIME 0 TO 0.02 PLOTS FOR T = 0.02 SUMMARY\n REPORT EVAL(u,0.5,0.5,0.5) AS 'centre' END"),
            0)
      << out();
  std::string l = log("cube");
  std::vector<double> e = errors("cube");
  ASSERT_GE(e.size(), 3u) << l;
  for (double x : e) EXPECT_GT(x, 0.0) << l;
  EXPECT_GT(e.front(), 1e-3);
  std::smatch m;
  std::vector<int> nodes;
  for (auto it = l.cbegin(); std::regex_search(it, l.cend(), m, std::regex("Nodes=(\\d+)")); it = m.suffix().first)
    nodes.push_back(std::stoi(m[1]));
  EXPECT_GT(nodes.back(), nodes.front()) << l;
  expect_rel(reports("cube")[0.02].at("centre"), std::exp(-3 * M_PI * M_PI * 0.02), 1e-2, "centre");
}
