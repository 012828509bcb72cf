// Whole runs whose answers depend on every solve being checked before it is believed
// (tests/data/checked): iterative solves stopped at their limit, globals of the unknowns
// read by equations and conditions, scalar unknowns in conditions and rows, singular
// systems and Newton steps that overflow. Each descriptor states its exact answer.
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>

#include "tests/control/answer_rows.h"
#include "tests/control/doubles.h"

namespace {

namespace fs = std::filesystem;

struct Checked : ProgramRun {
  // Copies the descriptor into the test directory and runs it in batch mode; the exit code.
  int run(const std::string &name) {
    fs::copy_file(fs::path(QUENDAR_DATA) / "checked" / (name + ".pde"), fs::path(dir) / (name + ".pde"),
                  fs::copy_options::overwrite_existing);
    return shell("'" QUENDAR_EXE "' -B -R -X " + name + ".pde");
  }
  // Writes a descriptor of its own and runs it.
  int run_text(const std::string &name, const std::string &text) {
    std::ofstream(dir + "/" + name + ".pde") << text;
    return shell("'" QUENDAR_EXE "' -B -R -X " + name + ".pde");
  }
  std::string log(const std::string &name) { return slurp(dir + "/" + name + ".log"); }
  // "label= value" lines of the summary files of name, by label.
  std::map<std::string, double> report(const std::string &name) {
    std::map<std::string, double> out;
    for (const auto &e : fs::directory_iterator(dir)) {
      std::string f = e.path().filename().string();
      if (f.rfind(name + ".p", 0) != 0 && f != "q.txt" && f != "m.txt") continue;
      std::istringstream in(slurp(e.path().string()));
      std::smatch m;
      for (std::string l; std::getline(in, l);)
        if (std::regex_search(l, m, std::regex("^ *(\\w+)= (\\S+)"))) out[m[1]] = std::atof(m[2].str().c_str());
    }
    return out;
  }
  // "label= value" lines of one stage's summary file of name (name.p01_<stage>).
  std::map<std::string, double> stage_report(const std::string &name, int stage) {
    std::map<std::string, double> out;
    std::istringstream in(slurp(dir + "/" + name + ".p01_" + std::to_string(stage)));
    std::smatch m;
    for (std::string l; std::getline(in, l);)
      if (std::regex_search(l, m, std::regex("^ *(\\w+)= (\\S+)"))) out[m[1]] = std::atof(m[2].str().c_str());
    return out;
  }
  // Eigenvalue k of name.eig ("   k:  value" lines).
  double eigenvalue(const std::string &name, int k) {
    std::smatch m;
    for (const std::string &l : lines(name + ".eig"))
      if (std::regex_match(l, m, std::regex(" *(\\d+): +(\\S+)")) && std::stoi(m[1]) == k) return std::stod(m[2]);
    return NAN;
  }
  // A run as expect_answers takes it; its reported values, the shared export files
  // removed so that the next descriptor's are its own.
  int run_answer(const std::string &name) { return run(name); }
  std::map<std::string, double> report_answer(const std::string &name) {
    std::map<std::string, double> got = report(name);
    fs::remove_all(fs::path(dir) / "q.txt"), fs::remove_all(fs::path(dir) / "m.txt");
    return got;
  }
};

// Iterative solves that stop at their iteration limit are not taken as the answer: the
// complete factor takes what they leave, in the linear and the eigenvalue drivers.
TEST_F(Checked, SolvesAtTheirLimitAreNotBelieved) {
  // clang-format off
  expect_answers(*this, {
      {"cg_limit_3d_bending", "errW", 0.0, 1e-6},  // the bending field is held exactly
      {"cg_limit_3d_bending", "rms", 0.0, 1e-6},
      {"precon_ata_contrast", "centre", 0.0523909, 2e-4},  // a second code's P2 answer
  });
  // clang-format on
  // Beam theory: 1.8751^4 EI/(rho A L^4) across the thickness and across the width.
  EXPECT_EQ(run("cg_limit_3d_modes"), 0) << log("cg_limit_3d_modes");
  EXPECT_NEAR(eigenvalue("cg_limit_3d_modes", 1), 2.5755e-5, 1e-2 * 2.5755e-5);
  EXPECT_NEAR(eigenvalue("cg_limit_3d_modes", 2), 1.0302e-4, 2e-2 * 1.0302e-4);
}

// Every solver path forced to its iteration limit (ITERATE = 2) on a contrast of 1e6 gives
// the answer of the converged solve on the same mesh: the complete factor takes the
// system the iterations left. A system no solve can meet is reported unconverged.
TEST_F(Checked, EverySolverPathAtItsLimitIsRightOrReported) {
  auto descriptor = [](const std::string &select, const std::string &equation) {
    return "TITLE 'contrast'\nSELECT ERRLIM=1e-4 REGRID=OFF " + select + "\nVARIABLES u\nDEFINITIONS k = 1\n" +
           "EQUATIONS " + equation + " = 0\nBOUNDARIES\n" +
           "REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH\n" +
           "REGION 2 k = 1e6 START(0.25,0.25) LINE TO (0.75,0.25) TO (0.75,0.75) TO (0.25,0.75) TO FINISH\n" +
           "PLOTS SUMMARY EXPORT REPORT val(u,0.5,0.5) AS 'centre' REPORT val(u,0.1,0.5) AS 'side'\nEND\n";
  };
  const std::string linear = "div(k*grad(u)) + 1", nonlinear = "div(k*(1+u^2)*grad(u)) + 1";
  ASSERT_EQ(run_text("ref", descriptor("", linear)), 0) << out();
  auto ref = report("ref");
  ASSERT_EQ(run_text("nref", descriptor("", nonlinear)), 0) << out();
  auto nref = report("nref");
  const std::pair<const char *, const char *> paths[] = {
      {"cg", "PRECONDITION=OFF"}, {"iccg", "ICCG"},      {"dip", "DIPRECON"},        {"ata", "ATAPRECON"},
      {"lanczos", "LANCZOS"},     {"vdb", "VANDENBERG"}, {"nonsym", "NONSYMMETRIC"}, {"band", "BANDLU=3"},
  };
  for (const auto &[name, select] : paths) {
    EXPECT_EQ(run_text(name, descriptor(std::string("ITERATE=2 ") + select, linear)), 0) << name << out();
    auto got = report(name);
    for (const char *l : {"centre", "side"}) EXPECT_NEAR(got[l], ref[l], 1e-6 * ref[l]) << name << " " << l;
  }
  EXPECT_EQ(run_text("newton", descriptor("ITERATE=2", nonlinear)), 0) << out();
  EXPECT_NEAR(report("newton")["centre"], nref["centre"], 1e-5 * nref["centre"]) << log("newton");
  // ITERATE = 2 without preconditioning once ended --DONE-- with RMS ERR 33.
  EXPECT_EQ(run("iterate2_done_rc0"), 0) << log("iterate2_done_rc0");
  EXPECT_NEAR(report("iterate2_done_rc0")["centre"], ref["centre"], 1e-6 * ref["centre"]);
  // Two all-natural variables coupled so that their common constant solves the homogeneous
  // system, with a net source: no solution, and no solve meets the system.
  EXPECT_EQ(run_text("coupled",
                     "TITLE 'coupled'\nVARIABLES u v\nEQUATIONS\n u: div(grad(u)) + (v - u) + 1 = 0\n"
                     " v: div(grad(v)) + (u - v) = 0\nBOUNDARIES\nREGION 1 START(0,0) NATURAL(u)=0 "
                     "NATURAL(v)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH\nEND\n"),
            3)
      << out();
  EXPECT_NE(log("coupled").find("| ITERATION LIMIT\n"), std::string::npos) << log("coupled");
  EXPECT_NE(slurp(dir + "/out.txt").find("quendar returns 3"), std::string::npos) << out();
}

// All conditions natural and a net source: the located error says why there is no solution.
TEST_F(Checked, SingularSystemIsALocatedError) {
  EXPECT_EQ(run("singular_neumann_no_solution"), 1);
  EXPECT_NE(log("singular_neumann_no_solution")
                .find("Line 4 ERROR: Singular System: every condition on U is natural and its net source is not "
                      "zero: no solution exists"),
            std::string::npos)
      << log("singular_neumann_no_solution");
}

// The same incompatible system on other meshes, and with a second variable that reads
// the singular one: the error does not depend on whether the iterative solves blew up
// (on some meshes they reached 1e22 and the run ended unconverged, diverged, or with an
// answer of 7e13 as if solved). Compatible pure natural problems solve: u = -x^2/2, its
// outflow on the right balancing the source (u(0,0) - u(1,0) = 1/2), and u = -r^2/4 on the
// unit disk, whose curved side's flux the mesh's sums balance only to 1e-6 of the source
// (u(0,0) - u(1/2,0) = 1/16; that imbalance once made it "Singular System").
TEST_F(Checked, SingularSystemIsALocatedErrorOnEveryMesh) {
  const char *square = "START(0,0) NATURAL(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH";
  const char *outflow =
      "START(0,0) NATURAL(u)=0 LINE TO (1,0) NATURAL(u)=-1 LINE TO (1,1) NATURAL(u)=0 LINE TO (0,1) TO FINISH";
  const char *disk = "START(1,0) NATURAL(u)=-0.5 ARC(CENTER=0,0) ANGLE=360 TO FINISH";
  const struct {
    const char *name, *select, *variables, *equations, *region, *far;
    double diff;  // u(0,0) - u(far); NAN: the located error at line 4
    double tol = 1e-6;
  } rows[] = {
      {"ngrid6", "NGRID=6", "u", "div(grad(u)) + 1 = 0", square, "1,0", NAN},
      {"ngrid9", "NGRID=9", "u", "div(grad(u)) + 1 = 0", square, "1,0", NAN},
      {"ngrid13", "NGRID=13", "u", "div(grad(u)) + 1 = 0", square, "1,0", NAN},
      {"ngrid15", "NGRID=15", "u", "div(grad(u)) + 1 = 0", square, "1,0", NAN},
      {"ngrid20", "NGRID=20", "u", "div(grad(u)) + 1 = 0", square, "1,0", NAN},
      {"read_by_v", "", "u v", "u: div(grad(u)) + 1 = 0\n v: div(grad(v)) + u = 0",
       "VALUE(v)=0 START(0,0) NATURAL(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH", "1,0", NAN},
      {"outflow", "", "u", "div(grad(u)) + 1 = 0", outflow, "1,0", 0.5},
      {"disk", "", "u", "div(grad(u)) + 1 = 0", disk, "0.5,0", 0.0625},
      // A large start has no net: it does not hide the source's (it was taken as gross source).
      {"large_start", "", "u INITIAL VALUES u = 1e4*x^2", "div(grad(u)) + 1 = 0", square, "1,0", NAN},
      // A film however weak makes the system regular: u = 1/(4h) - ((x-1/2)^2 + (y-1/2)^2)/4 + O(h).
      {"weak_film", "", "u", "div(grad(u)) + 1 = 0",
       "START(0,0) NATURAL(u)=1e-6*(0-u) LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH", "0.5,0.5", -0.125},
      // A peaked source balanced by its boundary flux, which the first meshes sum short by more
      // than ERRLIM (the answer of the same problem held at a corner point: 1.48097).
      {"peaked", "", "u", "div(grad(u)) + 300*exp(-300*((x-0.5)^2+(y-0.5)^2)) = 0",
       "START(0,0) NATURAL(u)=-pi*erf(sqrt(300)/2)^2/4 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH", "0.5,0.5", -1.48097,
       1e-3},
  };
  for (const auto &r : rows) {
    std::string text = std::string("TITLE 'pure natural'\nSELECT ERRLIM=1e-4 ") + r.select + "\nVARIABLES " +
                       r.variables + "\nEQUATIONS " + r.equations + "\nBOUNDARIES\nREGION 1 " + r.region +
                       "\nPLOTS SUMMARY EXPORT REPORT val(u,0,0)-val(u," + r.far + ") AS 'diff'\nEND\n";
    if (!std::isnan(r.diff)) {
      EXPECT_EQ(run_text(r.name, text), 0) << r.name << "\n" << log(r.name);
      EXPECT_NEAR(report(r.name)["diff"], r.diff, r.tol) << r.name << "\n" << log(r.name);
      continue;
    }
    EXPECT_EQ(run_text(r.name, text), 1) << r.name << "\n" << log(r.name);
    EXPECT_NE(log(r.name).find("Line 4 ERROR: Singular System: every condition on U is natural and its net source "
                               "is not zero: no solution exists"),
              std::string::npos)
        << r.name << "\n"
        << log(r.name);
  }
}

// Derived globals of the unknowns read by sources, coefficients, conditions and scalar
// equations, against their exact answers (each descriptor derives its own).
TEST_F(Checked, DerivedGlobalsInEquationsMeetExactAnswers) {
  // clang-format off
  expect_answers(*this, {
      // sources
      {"integral_source_taken_linear2", "u", 0.0313502, 3e-5},
      {"integral_source_taken_linear", "u", 0.35355339, 3.5e-4},
      {"global_val_source", "u", 0.0404217, 4e-5},
      {"global_max_source", "u", 0.0404217, 4e-5},
      {"global_fit_source", "u", 0.0313502, 3e-5},
      // a coefficient
      {"global_integral_coefficient", "u", 0.0712496, 7e-5},
      // conditions
      {"global_integral_value", "u", 5.0 / 9, 1e-5},
      {"global_val_natural", "u", 1.0 / 3, 1e-5},
      // scalar equations and scalar unknowns in conditions
      {"scalar_val_equation_diverges", "c", 13.57379, 1.4e-2},
      {"scalar_val_equation_diverges", "u", 1.0, 1e-3},
      {"scalar_reads_val_steady", "c", 0.0736713, 1e-5},
      {"scalar_globalmax_equation_hang", "c", 13.57379, 1.4e-2},
      {"scalar_integral_constraint", "S", 1.0, 1e-4},
      {"scalar_integral_constraint", "umid", 0.5, 1e-4},
      {"scalar_in_value", "umid", 1.0, 1e-4},
      {"scalar_in_natural", "umid", 1.0, 1e-4},
  });
  // clang-format on
}

// Newton steps that overflow past a fold or on a steep exponential end the run as a
// Newton failure (exit 3), not as an unlocated overflow. The steep exponential from a
// start held 40 above its solution overflows on its first step; from the constant start
// lifted smoothly to its value conditions it converges to the solution that the Kirchhoff
// transform w = exp(u) gives by one linear solve (lap w = -18 exp(3(x+y)), w = exp(3(x+y))
// on the sides: u(1/2,1/2) = ln w = 4.5530283).
TEST_F(Checked, NewtonOverflowIsANewtonFailure) {
  EXPECT_EQ(run("exp_conductivity_far_start"), 3) << log("exp_conductivity_far_start");
  EXPECT_NE(log("exp_conductivity_far_start").find("| NEWTON DIVERGED: NOT CONVERGED\n"), std::string::npos)
      << log("exp_conductivity_far_start");
  EXPECT_EQ(run("exp_conductivity_overflow"), 0) << log("exp_conductivity_overflow");
  EXPECT_NEAR(report("exp_conductivity_overflow")["u"], 4.5530283, 5e-5) << log("exp_conductivity_overflow");
  EXPECT_EQ(run("bratu_past_fold_overflow"), 3) << log("bratu_past_fold_overflow");
  EXPECT_NE(log("bratu_past_fold_overflow").find("NOT CONVERGED\n"), std::string::npos)
      << log("bratu_past_fold_overflow");
  EXPECT_EQ(log("bratu_past_fold_overflow").find("Overflow"), std::string::npos) << log("bratu_past_fold_overflow");
}

// A continuation stage near the fold starts with a residual already small: its Newton
// steps go on while they still change the solution, and the stage ends where a direct
// run ends (1.3234434; a second code's P2 answer 1.32345).
TEST_F(Checked, StagedContinuationMeetsItsErrorLimit) {
  EXPECT_EQ(run("staged_bratu_near_fold"), 0) << log("staged_bratu_near_fold");
  EXPECT_NEAR(report("staged_bratu_near_fold")["u"], 1.32345, 3e-5) << log("staged_bratu_near_fold");
}

// A scalar unknown read by a natural condition in a staged run: each stage's scalar
// equation holds that stage's staged value (c = 1 in both; u and its integral double).
TEST_F(Checked, StagedScalarInANaturalConditionFollowsItsStage) {
  ASSERT_EQ(run("scalar_staged_natural"), 0) << log("scalar_staged_natural");
  const struct {
    int stage;
    double c, u, integral;
  } exact[] = {{1, 1.0, 1.5040600313, 8.744428723}, {2, 1.0, 3.008120063, 17.48885745}};
  for (const auto &e : exact) {
    std::map<std::string, double> got = stage_report("scalar_staged_natural", e.stage);
    ASSERT_EQ(got.count("c") + got.count("u") + got.count("I"), 3u) << "stage " << e.stage;
    EXPECT_NEAR(got["c"], e.c, 1e-4) << "stage " << e.stage;
    EXPECT_NEAR(got["u"], e.u, 3e-4) << "stage " << e.stage;
    EXPECT_NEAR(got["I"], e.integral, 2e-3) << "stage " << e.stage;
  }
}

}  // namespace
