// Whole runs of the quendar program on descriptors off the examples' path, each with
// an exact answer stated in its comment (tests/data/answers): the reported values are
// compared with those answers, and failing runs with the located error they must give.
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>

#include "tests/control/doubles.h"

namespace {

namespace fs = std::filesystem;

struct Answers : ProgramRun {
  // Copies the descriptors (and any file beside them) into the test directory and runs
  // the first in batch mode; the exit code.
  int run(std::initializer_list<const char *> names, const std::string &options = "-B -R -X") {
    for (const char *n : names) fs::copy_file(fs::path(QUENDAR_DATA) / "answers" / n, fs::path(dir) / n);
    return shell("'" QUENDAR_EXE "' " + options + " " + *names.begin());
  }
  // The values of the last summary file whose name starts with name + ".p01" ("label=
  // value" lines), by label.
  std::map<std::string, double> report(const std::string &name) {
    std::string last;
    for (const auto &e : fs::directory_iterator(dir)) {
      std::string f = e.path().filename().string();
      if (f.rfind(name.find(".p01") == std::string::npos ? name + ".p01" : name, 0) == 0 && f > last) last = f;
    }
    std::map<std::string, double> out;
    if (last.empty()) ADD_FAILURE() << "no summary of " << name;
    std::istringstream in(slurp(dir + "/" + last));
    std::smatch m;
    for (std::string l; std::getline(in, l);)
      if (std::regex_match(l, m, std::regex(" (.*)= (\\S+)"))) out[m[1]] = std::stod(m[2]);
    return out;
  }
  std::string log(const std::string &name) { return slurp(dir + "/" + name + ".log"); }
};

// With upwinding on (the default), the streamline terms of the source and of the time
// derivative go with those of the operator: exactly representable states stay exact,
// and an advected pulse keeps its peak.
TEST_F(Answers, UpwindingKeepsExactSolutionsAndThePeak) {
  ASSERT_EQ(run({"upwind_source.pde"}), 0) << out();
  auto s = report("upwind_source");
  EXPECT_NEAR(s.at("EVAL(u,0.5,0.025)"), 1.5, 1e-6);
  EXPECT_NEAR(s.at("EVAL(u,0.9,0.025)"), 1.9, 1e-6);
  EXPECT_LT(s.at("GLOBALMAX(abs(u-1-x))"), 1e-6) << log("upwind_source");
  ASSERT_EQ(run({"upwind_time.pde"}), 0) << out();
  auto t = report("upwind_time");
  EXPECT_NEAR(t.at("EVAL(u,0.5,0.025)"), 0.0, 1e-6);
  EXPECT_NEAR(t.at("EVAL(u,0.9,0.025)"), 0.4, 1e-6);
  EXPECT_LT(t.at("GLOBALMAX(abs(u-x+t))"), 1e-6) << log("upwind_time");
  ASSERT_EQ(run({"upwind_pulse.pde"}), 0) << out();
  auto q = report("upwind_pulse");
  EXPECT_EQ(q.at("t"), 0.5);
  EXPECT_NEAR(q.at("EVAL(u,0.75,0.025)"), 1 / std::sqrt(1.8), 0.01 / std::sqrt(1.8));
  EXPECT_NEAR(q.at("EVAL(ue,0.75,0.025)"), 1 / std::sqrt(1.8), 1e-6);
  // A velocity that depends on the solution.
  ASSERT_EQ(run({"upwind_nonlinear.pde"}), 0) << out();
  auto n = report("upwind_nonlinear");
  EXPECT_NEAR(n.at("EVAL(u,0.5,0.025)"), 0.5, 1e-5);
  EXPECT_LT(n.at("GLOBALMAX(abs(u-x))"), 1e-5) << log("upwind_nonlinear");
  ASSERT_EQ(run({"upwind_nonlinear_time.pde"}), 0) << out() << log("upwind_nonlinear_time");
  EXPECT_LT(report("upwind_nonlinear_time").at("GLOBALMAX(abs(u-x+t))"), 1e-4);
}

// An antiperiodic pair folds the source with the antiperiodic sign, as it folds the
// operator: the amplitude converges to the exact one (it stayed O(h) off before).
TEST_F(Answers, AntiperiodicSourcesFoldWithTheirSign) {
  ASSERT_EQ(run({"antiperiodic_source_3d.pde"}), 0) << out();
  auto a = report("antiperiodic_source_3d");
  EXPECT_NEAR(a.at("VAL(u,0.5,0.5,0)"), 1.0, 2e-3);
  EXPECT_NEAR(a.at("VAL(u,0.5,0.5,1)"), -1.0, 2e-3);
  EXPECT_LT(a.at("sqrt(INTEGRAL((u-ex)^2))"), 1e-3);
  ASSERT_EQ(run({"antiperiodic_source_2d.pde"}), 0) << out();
  auto b = report("antiperiodic_source_2d");
  EXPECT_NEAR(b.at("VAL(u,0,0.5)"), 1.0, 1e-3);
  EXPECT_NEAR(b.at("VAL(u,1,0.5)"), -1.0, 1e-3);
  EXPECT_LT(b.at("sqrt(INTEGRAL((u-ex)^2))"), 1e-3);
}

// A geometry that depends on a staged definition is meshed again at every stage, with
// or without STAGEGRID.
TEST_F(Answers, StagedGeometryIsMeshedAgainAtEachStage) {
  ASSERT_EQ(run({"staged_geometry.pde"}), 0) << out();
  for (int stage = 1; stage <= 3; stage++) {
    double L = 1 << (stage - 1);
    auto s = report("staged_geometry.p01_" + std::to_string(stage));
    EXPECT_EQ(s.at("stage"), stage);
    EXPECT_EQ(s.at("L"), L);
    EXPECT_NEAR(s.at("EVAL(u, L/2, 0.05)"), L * L / 8, 1e-6 * L * L) << log("staged_geometry");
    EXPECT_NEAR(s.at("INTEGRAL(u)/0.1"), L * L * L / 12, 1e-6 * L * L * L);
  }
}

// A differentiation error in a plot expression is one located error that ends its
// problem (exit code 1) and not the process: a batch goes on with its next problem. A
// definition under a derivative inside EVAL is substituted before differentiating.
TEST_F(Answers, DifferentiationErrorsEndOnlyTheirProblem) {
  const std::string error = "  SUMMARY PRINT REPORT INTEGRAL(dx(random(x)))\n"
                            "                                                   *\n"
                            "           Line 14 ERROR: Can't Differentiate Function\n";
  EXPECT_EQ(run({"differentiate_error.pde"}), 1) << out();
  std::string l = log("differentiate_error");
  EXPECT_NE(l.find(error), std::string::npos) << l;
  EXPECT_EQ(l.find("ERROR"), l.rfind("ERROR")) << l;
  EXPECT_NE(l.find("| TERMINATED\nEND\n"), std::string::npos) << l;
  ASSERT_EQ(run({"eval_derivative.pde"}), 0) << out();
  EXPECT_NEAR(report("eval_derivative").at("EVAL(dy(ue),0.5,0.5)"), 0.5, 1e-12) << log("eval_derivative");
  fs::remove(fs::path(dir) / "differentiate_error.pde");
  EXPECT_EQ(run({"batch_after_error.pde", "differentiate_error.pde", "robin.pde"}), 1) << out();
  std::string b = log("batch_after_error");
  size_t robin = b.find("START " + dir + "/robin.pde");
  ASSERT_NE(robin, std::string::npos) << b;
  EXPECT_LT(b.find(error), robin) << b;
  EXPECT_NE(b.find("| --DONE--\nEND\n", robin), std::string::npos) << b;
  auto r = report("robin");
  EXPECT_NEAR(r.at("EVAL(u,1,0.1)"), (std::sqrt(5.0) - 1) / 2, 1e-5);
  EXPECT_NEAR(r.at("EVAL(u,0.5,0.1)"), (std::sqrt(5.0) + 1) / 4, 1e-5);
  EXPECT_NEAR(r.at("BINTEGRAL(NORMAL(grad(u)))"), 0.0, 1e-6);
}

// A missing include file is a located error naming it, not a different problem solved
// without it; with the file in place the included region takes part.
TEST_F(Answers, MissingIncludeFileIsAnError) {
  EXPECT_EQ(run({"include_region.pde"}), 1) << out();
  std::string l = log("include_region");
  EXPECT_NE(l.find("  #INCLUDE 'region2.inc'\n                               *\n"
                   "           Line 17 ERROR: Can't Find Include File region2.inc\n"),
            std::string::npos)
      << l;
  EXPECT_EQ(l.find("DONE"), std::string::npos) << l;
  fs::remove(fs::path(dir) / "include_region.pde");
  ASSERT_EQ(run({"include_region.pde", "region2.inc"}), 0) << out();
  EXPECT_NEAR(report("include_region").at("EVAL(u,0.5,0.1)"), 100.0 / 101, 1e-6);
}

// A CDF export on a cut plane in 3D is refused with a warning at its line; the run
// goes on to its end and writes its summary.
TEST_F(Answers, CdfOnACutIsRefusedWhereWritten) {
  ASSERT_EQ(run({"cdf_on_cut_3d.pde"}), 0) << out();
  std::string l = log("cdf_on_cut_3d");
  EXPECT_NE(l.find("  CDF(u) ON y = 0.5 POINTS=(5,5)\n"), std::string::npos) << l;
  EXPECT_NE(l.find("           Line 15 WARNING: CDF on Surface not yet implemented.\n"), std::string::npos) << l;
  EXPECT_NE(l.find("| --DONE--\nEND\n"), std::string::npos) << l;
  EXPECT_NEAR(report("cdf_on_cut_3d").at("VAL(u,0.5,0.5,0.5)"), 0.0562127, 1e-4 * 0.0562127);
  for (const auto &e : fs::directory_iterator(dir)) EXPECT_NE(e.path().extension(), ".cdf");
}

// An indefinite symmetric system: CG diverges, LANCZOS takes this system and every later
// one, on a refined and on a uniform mesh.
TEST_F(Answers, IndefiniteSystemTakesLanczos) {
  for (const char *name : {"mixed_plate", "mixed_plate_uniform"}) {
    ASSERT_EQ(run({(std::string(name) + ".pde").c_str()}), 0) << out() << log(name);
    EXPECT_NEAR(report(name).at("wc"), 0.00126532, 2e-3 * 0.00126532) << log(name);
  }
}

// Newton on a stiff nonlinear system converges when each step's linear solve is taken
// on until it meets the step's residual.
TEST_F(Answers, NewtonOnAStiffSystemConverges) {
  ASSERT_EQ(run({"cavity_newton.pde"}), 0) << out();
  std::string l = log("cavity_newton");
  EXPECT_EQ(l.find("NOT CONVERGED"), std::string::npos) << l;
  EXPECT_NE(l.find("--DONE--"), std::string::npos) << l;
}

}  // namespace
