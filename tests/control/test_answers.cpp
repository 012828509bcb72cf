// Whole runs of the quendar program on descriptors off the examples' path, each with
// an exact answer stated in its comment (tests/data/answers): the reported values are
// compared with those answers, and failing runs with the located error they must give.
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <regex>

#include "tests/control/answer_rows.h"
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
  // The descriptor name.pde as expect_answers runs it, and its reported values.
  int run_answer(const std::string &name) { return run({(name + ".pde").c_str()}); }
  std::map<std::string, double> report_answer(const std::string &name) { return report(name); }
};

// The number a log's last match of pattern captures (a grid's number or its nodes), 0 if none.
static int last_count(const std::string &l, const char *pattern) {
  std::regex re(pattern);
  int n = 0;
  for (auto it = std::sregex_iterator(l.begin(), l.end(), re); it != std::sregex_iterator(); ++it)
    n = std::stoi((*it)[1]);
  return n;
}

// The RMS error estimate of a log's last grid line, 0 if none.
static double last_rms(const std::string &l) {
  std::regex re(R"(RMS ERR= *(\S+))");
  double e = 0;
  for (auto it = std::sregex_iterator(l.begin(), l.end(), re); it != std::sregex_iterator(); ++it)
    e = std::stod((*it)[1]);
  return e;
}

// The largest number a log's matches of pattern capture (a run's most nodes), 0 if none.
static int most_count(const std::string &l, const char *pattern) {
  std::regex re(pattern);
  int n = 0;
  for (auto it = std::sregex_iterator(l.begin(), l.end(), re); it != std::sregex_iterator(); ++it)
    n = std::max(n, std::stoi((*it)[1]));
  return n;
}

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
  // In an extrusion the streamline residual's diffusion takes the tetrahedra's second
  // derivatives: quadratic and cubic answers the cells hold stay exact.
  expect_answers(*this, {{"convective_quadratic_cube_exact", "maxerr", 0.0, 1e-6},
                         {"convective_cubic_cube_exact", "maxerr", 0.0, 1e-6}});
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

// Time runs (and steady runs in 3D and with a constraint) against their exact answers.
TEST_F(Answers, TimeRunsMeetTheirExactAnswers) {
  // clang-format off
  expect_answers(*this, {
      {"constraint_in_time_strip", "u_left", 3.6104980, 3e-3},
      {"constraint_in_time_strip", "u_right", 2.3895020, 3e-3},
      {"constraint_in_time_strip", "int_u", 6.0, 1e-4},
      {"constraint_sign_steady", "corner", 2.0, 1e-4},
      {"constraint_sign_steady", "int_u", 1.0, 1e-6},
      {"antiperiodic_in_time", "u0", 0.0192963, 1e-4},
      {"antiperiodic_in_time", "u1", -0.0192963, 1e-4},
      {"antiperiodic_in_time", "L2", 0.0, 1e-4},
      {"integral_source_in_time", "u", 1.2130613, 5e-4},
      {"integral_decay_in_time", "u", 0.2706706, 2.5e-3},
      // A source whose time factor two position factors share, each at every time of the step.
      {"shared_source_in_time", "centre", 0.1353353, 2e-3},
      {"shared_source_in_time", "rel", 0.0, 0.015},
      {"front_initial_resolution", "maxdev", 0.0, 5e-3},
      {"front_spurious_second_front", "pos30", 63.15174, 1.0},
      {"front_spurious_second_front", "u99", 0.0, 1e-3},
      {"front_default_errlim", "u99", 0.0, 1e-3},
      {"front_default_errlim", "umin", 0.0, 1e-3},
      {"time_value_regrid_halt", "u0", 1.2, 1e-4},
      {"time_value_regrid_halt", "L2", 0.0, 1e-4},
      {"wave_regrid_runaway", "u_half_period", -1.0, 2e-3},
      {"wave_regrid_runaway", "energy_half", 4.9348022, 5e-3},
      {"damped_wave_regrid", "u", 0.0155921, 2e-4},
      {"damped_wave_regrid", "v", -1.2114002, 2e-4},
      // The first steps' coarse meshes leave no error in the rate that the finer meshes keep.
      {"damped_wave_regrid_two", "u", -0.6060444, 2e-4},
      {"damped_wave_regrid_two", "v", 0.1138562, 2e-4},
      {"damped_wave_tight", "u", 0.6302352, 5e-5},
      {"damped_wave_tight", "v", -1.1155362, 5e-5},
      // Linear cells measured by the cell-centre estimate keep that estimate's RMS error.
      {"heat_mode_centre_error", "rell2", 0.0, 1.55e-3},
      // A decay keeps its spatial estimate between readings while its values shrink.
      {"heat_mode_decay_mesh", "rell2", 0.0, 1.2e-4},
      {"heat_mode_decay_mesh", "relc", 0.0, 2.5e-4},
      // A decay's mesh is held to the error it leaves at the output, not to ERRLIM of its start.
      {"heat_mode_damped_start", "l2", 0.0, 2e-5},
      // ... and its steps to half ERRLIM, the mesh taking the larger share (2.20e-6 before).
      {"heat_mode_damped_tight", "l2", 0.0, 2.1e-6},
      // A coarse limit still measures the rate's mesh error.
      {"damped_wave_coarse", "u", 0.0155921, 2e-4},
      {"damped_wave_coarse", "v", -1.2114002, 2e-4},
      // The layer a held jump leaves stops refining as its cells shrink.
      {"halfplanes_jump_coarse", "u03", 0.8025873, 2e-4},
      {"halfplanes_jump_coarse", "u06", 0.0801183, 2e-4},
      // Noise drawn by the start decays: its spread starts under 0.01 and only falls.
      {"noise_start_decays", "spread", 0.0, 2e-3},
      {"noise_start_decays", "var", 0.0, 1e-7},
      {"heat2d_regrid_estimate_jump", "centre", 0.1249933, 1e-5},
      {"square_step_node_limit", "centre", 0.2251384, 2e-3},
      {"cube_step_node_limit", "centre", 0.4606570, 2e-3},
      {"cube_step_jump_hold", "centre", 0.4606570, 2e-3},
      {"cube_step_jump_hold", "total", 0.1219591, 1e-3},
      {"bump_in_cube", "peak", 1.0, 3e-3},
      {"cube_poisson_constant", "centre", 0.3372770, 1e-4},
  });
  // clang-format on
  if (HasFatalFailure()) return;
  // The damped start's mesh: 8,229 nodes when its start was held to ERRLIM.
  EXPECT_LE(last_count(log("heat_mode_damped_start"), "Nodes=(\\d+)"), 4000) << log("heat_mode_damped_start");
  // At ERRLIM 1e-6: 9,852 nodes when the steps took five sixths of the error.
  EXPECT_LE(last_count(log("heat_mode_damped_tight"), "Nodes=(\\d+)"), 7000) << log("heat_mode_damped_tight");
  // A start refined up to the node limit says so, then steps.
  EXPECT_NE(log("square_step_node_limit").find("| NODE LIMIT\n"), std::string::npos) << log("square_step_node_limit");
  // A start holding a jump keeps its mesh while the jump smooths: the wall layer does not take
  // the first steps' meshes to the node limit.
  EXPECT_EQ(log("cube_step_jump_hold").find("NODE LIMIT"), std::string::npos) << log("cube_step_jump_hold");
  // At the node limit a regrid that would trade a few cells keeps the mesh: of the cube's 47
  // steps, few change the node count (each change costs a new layout and assembly).
  std::string cube = log("cube_step_node_limit");
  std::regex nodes("Nodes=(\\d+)");
  int changes = 0;
  std::string last;
  for (auto it = std::sregex_iterator(cube.begin(), cube.end(), nodes); it != std::sregex_iterator(); ++it)
    changes += (*it)[1] != last, last = (*it)[1];
  EXPECT_LE(changes, 6) << cube;
  // A wave whose mesh meets its limit keeps it: the run does not split a few cells at every
  // step (it went past 7000 nodes by t = 1, each split feeding the next).
  // The regrid's band (a mesh that meets its limit is split only where a cell is four times
  // past it) and the carried error's decay decide the cost: each wave stays within a quarter
  // of the steps and nodes it takes today (448 steps and 1,471 nodes; 291 and 2,159), and the
  // heat mode, whose carried error decays with it, within an eighth of its 93 steps (116 when
  // the carried error does not decay).
  const struct {
    const char *name;
    int steps, nodes;
  } ceilings[] = {
      {"damped_wave_regrid", 560, 1840}, {"damped_wave_tight", 365, 2700}, {"heat_mode_centre_error", 105, 2500}};
  for (const auto &c : ceilings) {
    std::string damped = log(c.name);
    int most = 0, steps = 0;
    for (auto it = std::sregex_iterator(damped.begin(), damped.end(), nodes); it != std::sregex_iterator(); ++it)
      most = std::max(most, std::stoi((*it)[1]));
    std::regex step("Step (\\d+) ");
    for (auto it = std::sregex_iterator(damped.begin(), damped.end(), step); it != std::sregex_iterator(); ++it)
      steps = std::max(steps, std::stoi((*it)[1]));
    EXPECT_LT(most, 4000) << damped;
    EXPECT_LE(most, c.nodes) << c.name;
    EXPECT_GT(steps, 0) << damped;
    EXPECT_LE(steps, c.steps) << c.name;
  }
  // Its first steps' meshes stay under 5000 nodes (8400 when small cells were weighed against
  // the mean cell, which fell with them).
  std::string jump = log("halfplanes_jump_coarse");
  int most = 0;
  for (auto it = std::sregex_iterator(jump.begin(), jump.end(), nodes); it != std::sregex_iterator(); ++it)
    most = std::max(most, std::stoi((*it)[1]));
  EXPECT_LT(most, 5000) << jump;
}

// Time runs with rows that have no rate (an equation without dt, a capacity of zero by
// region or by value, a scalar unknown without dt) or a source switched by the time, against
// their exact answers.
TEST_F(Answers, TimeRunsRowsWithoutRateAndSwitchedSources) {
  // clang-format off
  expect_answers(*this, {
      // the source of a row without a rate was divided by the time centre (v doubled)
      {"static_potential_beside_heat", "v", 0.0736713, 2e-5},
      {"static_potential_beside_heat", "u", 0.1389111, 3e-4},
      // the row without a rate counted in the mean of the variables' step errors and halved the
      // diffusing one's share: u ended 3.04 ERRLIM of its range off at ERRLIM 1e-5
      {"static_potential_beside_heat_fine", "u", 0.1389111, 2.85e-5},
      {"static_potential_beside_heat_fine", "v", 0.0736713, 7e-7},
      {"quasistatic_source_centred", "u", 0.0398048, 1e-5},
      // a field without a rate that grows from zero was measured against a unit, not its own
      // size, and its mesh kept coarse: 5 ERRLIM of its range off at ERRLIM 1e-5
      {"quasistatic_source_refined", "u", 0.0619923, 1.9e-6},
      // a region without capacity ended the program with a signal; a capacity switched off by
      // IF wandered 3e-4 about its steady value
      {"capacity_zero_inner_region", "u", 0.0736713, 1e-5},
      {"capacity_zero_by_value", "u", 0.0736713, 1e-5},
      // refined while it runs: each new mesh breaks what the rows without a rate hold
      {"capacity_zero_by_value_fine", "u", 0.0736713, 2e-6},
      // the step across the switch was taken whole, 6e-5 off
      {"source_switched_midway", "u", 0.0090748968, 1.5e-5},
      // a field at rest until the switch was measured against a unit, twenty times its size
      {"source_switched_grows", "u", 0.0459186664, 1.4e-5},
      // the steps after a switch started from the rate before it: each read the jump in rate as
      // its error, whatever its length, and was cut tenfold to 1e-11 (124 steps; a finer mesh
      // ended in "Timestep is below threshhold")
      {"source_switched_fixed_mesh", "u", 0.0317789921, 1.5e-6},
      // a scalar unknown without a rate held by a mean or a point value swung about its step
      // mean (-2.0 where 12 is exact), or the start, which does not meet the point value on the
      // mesh, ended in "Timestep is below threshhold"
      {"time_scalar_mean_channel", "G", 12.0, 1e-3},
      {"time_scalar_mean_channel", "mid", 1.4151950, 5e-4},
      {"time_scalar_point_channel", "G", 12.0, 5e-3},
      {"time_scalar_point_channel", "bottom", 1.6389111, 5e-4},
      {"time_scalar_point_box", "G", 12.0, 0.03},
      {"time_scalar_point_box", "y0", 1.8727078, 4e-3},
      // a scalar its own equation gives keeps the step's weights (at the step's end alone it
      // would be first order: 0.3894 at ERRLIM 1e-3)
      {"time_scalar_derived_decay", "G", 0.36787944, 2e-4},
      {"time_scalar_derived_decay", "u", 0.36787944, 2e-4},
      // fixed steps keep DELTAT to the end
      {"fixdt_output_time", "dt", 0.05, 1e-12},
      {"fixdt_output_time", "time", 0.2, 1e-12},
      {"fixdt_output_time", "u", 0.81873075, 1e-4},
  });
  // clang-format on
  int steps = last_count(log("source_switched_fixed_mesh"), "Step (\\d+) Time");
  EXPECT_GT(steps, 0);
  EXPECT_LE(steps, 105) << log("source_switched_fixed_mesh");
  // A time range that ends at or before its start is refused at its line (it ran no step
  // and wrote the start's values under the end time).
  for (const char *name : {"time_range_reversed", "time_range_empty"}) {
    EXPECT_NE(run({(std::string(name) + ".pde").c_str()}), 0) << out();
    EXPECT_NE(log(name).find("Line 8 ERROR: TIME Range Ends Before It Starts"), std::string::npos) << log(name);
  }
}

// Time runs whose coefficients follow the time, that start stiff or at rest, or whose value
// conditions read the solution, against their exact answers.
TEST_F(Answers, TimeRunsFollowTheTimeTheirStartAndTheirConditions) {
  // clang-format off
  expect_answers(*this, {
      {"time_coefficient_frozen", "mid", 0.0087613, 1e-3},
      {"time_coefficient_frozen_fixdt", "mid", 0.0087613, 3e-4},
      {"robin_coefficient_in_time", "mid", 0.5518192, 1e-4},
      {"stiff_start_at_rest", "u", 0.9806063, 1e-3},
      {"zero_start_film", "uend", 0.8669679, 1e-4},
      {"solution_dependent_value_in_time", "u1", 2.0 / 3, 1e-3},
      {"solution_dependent_value_in_time", "umid", 1.0 / 3, 1e-3},
      {"value_reads_val_in_time", "u1", 2.0 / 3, 1e-3},
      {"value_reads_val_in_time", "umid", 1.0 / 3, 1e-3},
      {"value_nonlinear_in_time", "u1", 0.8507811, 1e-3},
      {"value_nonlinear_in_time", "umid", 0.4253905, 1e-3},
      {"antiperiodic_3d_in_time", "u0", 0.6738254, 1e-4},
      {"antiperiodic_3d_in_time", "u1", -0.6738254, 1e-4},
      {"wave_from_rest_regrid", "u_half", -1.0, 2e-3},
      {"wave_from_rest_regrid", "energy", 4.9348022, 5e-3},
      {"dynamic_boundary", "u0", 0.1277182, 1e-4},
      {"dynamic_boundary_robin", "u0", 0.8717998, 1e-5},
      {"dynamic_boundary_robin", "u1", 0.6799369, 1e-5},
      {"halfplanes_contact", "u03", 0.5761501, 2e-4},
      {"halfplanes_contact", "heat", 0.5, 2e-5},
      {"pulse_advected_centre", "xc", 0.8, 1e-4},
      {"pulse_advected_centre", "mass", 0.0628154, 2e-5},
      {"pulse_advected_centre", "peak", 0.2, 3e-4},
      {"rate_of_decaying_mode", "u", 0.1389111, 5e-4},
      {"rate_of_decaying_mode", "ut", -1.3709979, 3e-3},
      // A decaying mode whose mesh and steps adapt: within 3 ERRLIM at the end, on a mesh no finer
      // than its error asks (its node count below)
      {"heat_mode_adaptive_mesh", "l2", 0.0, 3e-5},
      // A solution at rest measures no step error: its steps grow and reach the end.
      {"heat_at_rest_in_time", "centre", 0.0, 1e-12},
      {"heat_at_rest_in_time", "time", 90.0, 1e-9},
      // The errors of a slowly decaying mode add up over its steps; the carried part is
      // held to about ERRLIM (it was 2.5 times that off).
      {"square_cooling_jump", "centre", 0.0839313, 1.2e-4},
      {"square_cooling_jump", "total", 0.0340163, 5e-5},
      // A front moving through a mesh that regrids at each step: the regrids' spikes in the step
      // error are not read as decay of what the steps carried (the area was 1.9e-3 off).
      {"allen_cahn_circle_shrinking", "area", 0.1182264, 1.5e-3},
      // k = 1e6 in a part: the steps' solves are judged on the values, not on the stiff part's unknowns
      {"contrast_time_steady", "centre", 0.0523909, 1.5e-4},
      // A front 0.005 wide in the start: every cell of the start is fitted, not the sum over all
      {"narrow_initial_front", "u2", 0.1192029, 3e-3},
      {"narrow_initial_front", "maxdev", 0.0, 0.06},
      // A source that swings in time is taken over the step by the time weights, the operator
      // at the step's ends: the rules' difference is measured with the step's error (it was
      // ten times ERRLIM off, the third difference of the values not reading it)
      {"source_in_time", "centre", -0.6536436, 2e-4},
      {"source_switched_on", "mid", 0.6272922, 2.5e-4},
      // A travelling front of cells about as wide as it is: its third derivatives refine it
      // (it stayed on its coarse start, 3e-3 off two units ahead of it)
      {"front_travelling_nagumo", "u2", 0.1955703, 3e-4},
      {"front_travelling_nagumo", "l2", 0.0, 1e-3},
      // The same in an extruded slab: quadratic tetrahedra read their third derivatives too (the
      // run stayed on its first 225 nodes, the centre 6.8e-3 off and the RMS error 2.8e-3)
      {"fisher_slab_front_3d", "centre", 0.25, 4e-3},
      {"fisher_slab_front_3d", "rms", 0.0, 2e-3},
      // The same front in the plane with adaptive steps: each step's error in the front's position
      // stays, so the steps' phase errors add up (the centre was 11.5 ERRLIM off, RMS 4.1)
      {"fisher_front_adaptive_steps", "centre", 0.25, 3e-4},
      {"fisher_front_adaptive_steps", "rms", 0.0, 2e-4},
      // A smooth cube decay whose first mesh holds its start: the floor does not split it (it
      // read three times the true error and took the run from 8,589 to 14,460 nodes; see below)
      {"smooth_cube_decay_merges", "centre", 0.0569100, 1.5e-3},
      {"smooth_cube_decay_merges", "offc", 0.0284566, 1.5e-3},
      // A cube cooled from a jump at its faces: the start's refinement crowds the faces, and once
      // the layer has spread its cells merge (the floor weighed them against the crowded start's
      // own mean cell: the run kept 17,574 of its 20,630 nodes to the end; see below)
      {"cube_jump_start_merges", "centre", 0.1068253, 3e-3},
      {"cube_jump_start_merges", "offc", 0.0534392, 3e-3},
      {"cube_jump_start_merges", "total", 0.0275759, 1e-3},
      // A slab that varies across its thickness only: its tetrahedra's estimate is calibrated to
      // read as its triangles' twin does (see below)
      {"slab_decay_3d_mesh", "centre", 0.3726385, 3e-3},
      {"slab_decay_3d_mesh", "l2", 0.0, 3e-3},
      // A layer a few cells of the start wide (the surface of a long strip held from u = 0):
      // u(0.5) was below zero, 2e-3 off, on cells the curvature read as resolved
      {"surface_step_erfc", "u01", 0.4795001, 1e-4},
      {"surface_step_erfc", "u05", 0.000406952, 1e-4},
      // A wave as a pair over a period: nothing damps a step's error in the phase, so the steps'
      // errors add up whole (u and v were 7 and 9 ERRLIM of their ranges off)
      {"wave_pair_one_period", "u", 0.7373689, 6e-4},
      {"wave_pair_one_period", "v", -4.7451942, 4.2e-3},
      // The mesh's error in the rate, which reads u's derivatives alone, is measured through them
      // (the curvature read 3-4e-5 while v was 3.3 ERRLIM of its range off, 9.3e-3 in L2)
      {"wave_pair_rate_error", "ev", 0.0, 7e-3},
      // The rate's start is the Laplacian of u's start on the refined mesh: taken at the nodes it
      // was first-order right and v was 9e-4 off in L2 by t = 0.01 (ERRLIM of its range: 1e-4)
      {"wave_pair_start_rate", "ev", 0.0, 1e-4},
  });
  // clang-format on
  EXPECT_LE(last_count(log("smooth_cube_decay_merges"), "Nodes=(\\d+)"), 10000) << log("smooth_cube_decay_merges");
  EXPECT_LE(last_count(log("cube_jump_start_merges"), "Nodes=(\\d+)"), 10000) << log("cube_jump_start_merges");
  // The square cooled from a jump at its sides (above) likewise: its layer's cells merge once it
  // has spread (the run ended on 5,622 nodes where 2,749 hold its answers as closely).
  EXPECT_LE(last_count(log("square_cooling_jump"), "Nodes=(\\d+)"), 4000) << log("square_cooling_jump");
  // The front's phase held by smaller steps, not by very many of them (164 steps; 67 before).
  EXPECT_LE(last_count(log("fisher_front_adaptive_steps"), "Step (\\d+)"), 250) << log("fisher_front_adaptive_steps");
  // A velocity that starts at rest and is only the rate of another variable is measured
  // against the size its start's rate carries it to, not against the unit of its rest:
  // the wave's smooth mode ends on a modest mesh (it refined to some 19000 nodes).
  std::string wave = log("wave_from_rest_regrid");
  std::regex grid("Nodes=(\\d+)");
  int most = 0;
  for (auto it = std::sregex_iterator(wave.begin(), wave.end(), grid); it != std::sregex_iterator(); ++it)
    most = std::max(most, std::stoi((*it)[1]));
  EXPECT_LT(most, 3000) << wave;
  // The mode's spatial estimate reads 0.9 to 1.2 times its exact error on the meshes it refines
  // (measured at fixed small steps), and those meshes hold it to about ERRLIM: 8,229 nodes. A mesh
  // much finer buys error the steps' error hides.
  std::string mode = log("heat_mode_adaptive_mesh");
  int mode_nodes = 0;
  for (auto it = std::sregex_iterator(mode.begin(), mode.end(), grid); it != std::sregex_iterator(); ++it)
    mode_nodes = std::max(mode_nodes, std::stoi((*it)[1]));
  EXPECT_GT(mode_nodes, 0) << mode;
  EXPECT_LT(mode_nodes, 9000) << mode;
  // The slab's tetrahedra read their curvature about 1.5 times as high as triangles read the
  // same field and refined twice too far: 64,722 nodes where 30,373 hold it within ERRLIM (its
  // twin in the plane takes its 409-node start to 997).
  int slab_nodes = most_count(log("slab_decay_3d_mesh"), "Nodes=(\\d+)");
  EXPECT_GT(slab_nodes, 0) << log("slab_decay_3d_mesh");
  EXPECT_LE(slab_nodes, 45000) << log("slab_decay_3d_mesh");
}

// Time runs that start near rest, read their start or their source from a TABLE, or blow up:
// each ends on its exact answer or with its located stop.
TEST_F(Answers, TimeRunsNearRestFromTablesAndBlowingUp) {
  std::regex grid("Nodes=(\\d+)");
  // A start a billionth of the size the source drives the solution to is not its scale: the
  // run reaches its end (it crawled at steps of 1e-13 on a mesh of 300000 nodes).
  fs::copy_file(fs::path(QUENDAR_DATA) / "answers" / "heating_near_rest.pde", fs::path(dir) / "heating_near_rest.pde");
  ASSERT_EQ(shell("prlimit --cpu=300 timeout 3000 '" QUENDAR_EXE "' -B -R -X heating_near_rest.pde"), 0)
      << log("heating_near_rest");
  EXPECT_NEAR(report("heating_near_rest").at("u"), 0.0431403, 5e-5) << log("heating_near_rest");
  // A source that reads the time through a TABLE in t is measured as one that reads it
  // directly (its step error was not, and the centre ended 1e-3 off).
  for (const char *f : {"source_table_in_time.pde", "source_table_in_time.tab"})
    fs::copy_file(fs::path(QUENDAR_DATA) / "answers" / f, fs::path(dir) / f);
  ASSERT_EQ(shell("prlimit --cpu=300 timeout 3000 '" QUENDAR_EXE "' -B -R -X source_table_in_time.pde"), 0)
      << log("source_table_in_time");
  EXPECT_NEAR(report("source_table_in_time").at("centre"), -0.6536436, 2e-4) << log("source_table_in_time");
  // A start read from a TABLE is read at the table's own resolution: the kinks of its linear
  // blend, sampled at the nodes, put short modes in a wave's rate that every finer mesh sampled
  // anew (a damped wave from a 401-point table passed 200,000 nodes by t = 0.001, its 19th
  // step). A heat decay from a 101 x 101 table keeps the share of its mode the blend holds.
  for (const char *f : {"damped_wave_table_start.pde", "damped_wave_table_start.tbl", "heat_decay_table_start.pde",
                        "heat_decay_table_start.tbl", "heat_jump_beside_table.pde", "heat_jump_beside_table.tbl",
                        "damped_wave_table_by_definition.pde"})
    fs::copy_file(fs::path(QUENDAR_DATA) / "answers" / f, fs::path(dir) / f);
  ASSERT_EQ(shell("prlimit --cpu=300 timeout 3000 '" QUENDAR_EXE "' -B -R -X damped_wave_table_start.pde"), 0)
      << log("damped_wave_table_start");
  auto tabled = report("damped_wave_table_start");
  EXPECT_NEAR(tabled.at("u"), 0.0155921, 2e-5) << log("damped_wave_table_start");
  EXPECT_NEAR(tabled.at("v"), -1.2114002, 2.4e-5) << log("damped_wave_table_start");
  std::string table_wave = log("damped_wave_table_start");
  int most = 0;
  for (auto it = std::sregex_iterator(table_wave.begin(), table_wave.end(), grid); it != std::sregex_iterator(); ++it)
    most = std::max(most, std::stoi((*it)[1]));
  EXPECT_LT(most, 3000) << table_wave;
  // The same table keyed by a definition of the place is read at its resolution too (its blend
  // was read as it stands, and the run went past 600 s).
  ASSERT_EQ(shell("prlimit --cpu=300 timeout 3000 '" QUENDAR_EXE "' -B -R -X damped_wave_table_by_definition.pde"), 0)
      << log("damped_wave_table_by_definition");
  auto along = report("damped_wave_table_by_definition");
  EXPECT_NEAR(along.at("u"), 0.0155921, 2e-5) << log("damped_wave_table_by_definition");
  EXPECT_NEAR(along.at("v"), -1.2114002, 2.4e-5) << log("damped_wave_table_by_definition");
  EXPECT_LT(last_count(log("damped_wave_table_by_definition"), "Nodes=(\\d+)"), 3000);
  ASSERT_EQ(shell("prlimit --cpu=300 timeout 3000 '" QUENDAR_EXE "' -B -R -X heat_decay_table_start.pde"), 0)
      << log("heat_decay_table_start");
  EXPECT_NEAR(report("heat_decay_table_start").at("centre"), 0.1388883, 2e-4) << log("heat_decay_table_start");
  // Only the region whose start reads the table is read at its resolution: a jump in the region
  // beside it is its own (it was read as box means 0.1 wide, 2.3e-3 off at ERRLIM 1e-4).
  ASSERT_EQ(shell("prlimit --cpu=300 timeout 3000 '" QUENDAR_EXE "' -B -R -X heat_jump_beside_table.pde"), 0)
      << log("heat_jump_beside_table");
  auto beside = report("heat_jump_beside_table");
  EXPECT_NEAR(beside.at("u077"), 0.6726396, 3e-4) << log("heat_jump_beside_table");
  EXPECT_NEAR(beside.at("u08"), 0.8682238, 3e-4) << log("heat_jump_beside_table");
  // A run whose values grow past any size ends with an error, not with its numbers.
  EXPECT_NE(run({"blowup_fixed_steps.pde"}), 0) << out();
  EXPECT_NE(log("blowup_fixed_steps").find("ERROR: Solution Diverged"), std::string::npos) << log("blowup_fixed_steps");
  // An overflow in the matrices of a step (no expression's) is the same stop, at the time reached.
  EXPECT_EQ(run({"blowup_in_time.pde"}), 1) << out();
  EXPECT_NE(log("blowup_in_time").find("ERROR: Solution Diverged at t = 0.60"), std::string::npos)
      << log("blowup_in_time");
  EXPECT_EQ(log("blowup_in_time").find("Floating-Point"), std::string::npos) << log("blowup_in_time");
  // Without HALT, a step that collapses near a finite-time blow-up (c = 1/(1 - t)) ends the
  // run as a step below HALT does, short of t = 1 (the steps crawled at 1e-15 on a mesh of
  // 70000 nodes).
  fs::copy_file(fs::path(QUENDAR_DATA) / "answers" / "scalar_blowup_in_time.pde",
                fs::path(dir) / "scalar_blowup_in_time.pde");
  EXPECT_EQ(shell("prlimit --cpu=300 timeout 3000 '" QUENDAR_EXE "' -B -R -X scalar_blowup_in_time.pde"), 1)
      << log("scalar_blowup_in_time");
  EXPECT_NE(log("scalar_blowup_in_time").find("HALT: Timestep is below threshhold"), std::string::npos)
      << log("scalar_blowup_in_time");
  EXPECT_NE(log("scalar_blowup_in_time").find("Time= 0.99"), std::string::npos) << log("scalar_blowup_in_time");
  // A rate in the condition of a variable whose equation has none is refused at its line.
  EXPECT_NE(run({"dynamic_boundary_refused.pde"}), 0) << out();
  EXPECT_NE(
      log("dynamic_boundary_refused").find("Line 8 ERROR: A time derivative in a boundary condition is not supported"),
      std::string::npos)
      << log("dynamic_boundary_refused");
}

// A wave as a pair keeps every step's error in its phase: the limit on what the steps carry is
// spread over the run, so the answers half way and at the end are each within 1.5 ERRLIM of
// their ranges (2 and 14.05), and not by steps beyond need (u(1) and v(1) were 2.3 and 2.8
// ERRLIM off, v(0.5) 2.8, in 351 steps; 363 now).
TEST_F(Answers, WavePairHoldsItsPhaseAtEveryOutputTime) {
  ASSERT_EQ(run_answer("wave_pair_phase_held"), 0) << out();
  // The two output times' summaries, by the name of each.
  std::map<std::string, double> half = report("wave_pair_phase_held.p01_1"), end = report("wave_pair_phase_held.p01_2");
  std::string l = log("wave_pair_phase_held");
  EXPECT_NEAR(half.at("u"), -0.9320324, 3e-4) << l;
  EXPECT_NEAR(half.at("v"), 2.5456165, 2.1e-3) << l;
  EXPECT_NEAR(end.at("u"), 0.7373689, 3e-4) << l;
  EXPECT_NEAR(end.at("v"), -4.7451942, 2.1e-3) << l;
  int steps = last_count(l, "Step (\\d+) Time");
  EXPECT_GT(steps, 0) << l;
  EXPECT_LE(steps, 450) << l;
}

// A steady run to an error limit ends within a few times that limit of its exact answer, in a
// cube as in its twin in a square: the tetrahedra's estimate reads on the triangles' scale.
TEST_F(Answers, ErrorLimitBoundsTheErrorIn2DAnd3D) {
  expect_answers(*this, {{"sine_cube_errlim", "L2", 0.0, 2.5e-4},
                         {"sine_square_errlim", "L2", 0.0, 2.5e-4},
                         // The cube's RMS error (its range is 1) within the limit itself: the
                         // tetrahedra's estimate reads the error at its own size (it stopped at 1.5e-4).
                         {"sine_cube_errlim", "L2", 0.0, 1e-4}});
  // The grid line's RMS of the cells' estimates lies between their largest over the root of
  // the cell count and that largest itself.
  for (const char *name : {"sine_square_errlim", "sine_cube_errlim"}) {
    std::string l = log(name);
    std::smatch m;
    std::string last;
    std::regex grid(R"(Cells=(\d+) RMS ERR= *(\S+) MAX ERR= *(\S+))");
    for (auto it = std::sregex_iterator(l.begin(), l.end(), grid); it != std::sregex_iterator(); ++it) last = it->str();
    ASSERT_TRUE(std::regex_search(last, m, grid)) << l;
    double cells = std::stod(m[1]), rms = std::stod(m[2]), most = std::stod(m[3]);
    EXPECT_GE(rms, most / std::sqrt(cells)) << last;
    EXPECT_LE(rms, most) << last;
  }
  // On quadratic triangles the grid's RMS estimate reads the RMS error against the answer (range
  // 1) within a factor of three, in the square and in a slender strip: the cells' bubble means of
  // a smooth residual converge faster than the error, and the residual against the cells' side
  // functions holds the estimate up (they read 0.333 and 0.318 of the error). So too in a strip
  // whose answer decays from one end on a mesh graded towards it: the grid's figure weighs each
  // cell by its area, as the error's RMS does (it read 4.6 times the error); and in a square with
  // three free sides, one of them Robin's: the cells along them are scaled by the rows of their
  // nodes inside, not by the free sides' rows of half a cell's support (it read 3.6 times).
  // On quadratic tetrahedra it reads at least half of the RMS error and at most twice it, in
  // the cube and in a slender slab, on the meshes the refinement splits (they read 0.39 and
  // 0.49 of it).
  expect_answers(*this, {{"slender_sine_errlim", "rms", 0.0, 1e-4},
                         {"decaying_strip_errlim", "rms", 0.0, 1e-4},
                         {"robin_square_errlim", "rms", 0.0, 1e-3},
                         {"slender_slab_errlim", "rms", 0.0, 1e-3}});
  // The square's and the cube's L2 errors are their RMS errors: their measure is 1. A penalty
  // flow's locking factor stands for the flow's soft stiffness, its viscosity, and the cells
  // along its walls are measured by the penalty's rows: a Couette flow between circles reads the
  // RMS error of each velocity within a factor of three (it read 5.2 times it). Where the elements
  // hold the answer exactly (a layered column's linear field), the error is the linear solve's,
  // which the grid's figure reads with the cells' estimates: within a factor of three of the
  // variable the solve leaves furthest off (it read 6e-4 of it). An L-shape's answer is singular at
  // its re-entrant corner, whose cells hold half the squared error in the flux jumps across their
  // sides: the cells there read those jumps (it read 0.32 of the error). A solid so nearly
  // incompressible that its divergence is held as a constraint keeps a divergence of its own,
  // which is no error of its answer: the grid's figure reads its error within a factor of three
  // (it took that divergence in as an error and read 3.4 times it). An L-shape extruded in z has
  // a re-entrant edge along which the answer is singular: its tetrahedra read the RMS error
  // within a factor of three without reading the jumps there (1.24 times it).
  ASSERT_EQ(run({"penalty_couette_annulus.pde"}), 0) << out();
  ASSERT_EQ(run({"extruded_lshape_edge_estimate.pde"}), 0) << out();
  ASSERT_EQ(run({"lshape_estimate_errlim.pde"}), 0) << out();
  ASSERT_EQ(run({"layered_column_solve.pde"}), 0) << out();
  ASSERT_EQ(run({"lame_quarter_annulus_estimate.pde"}), 0) << out();
  struct Read {
    const char *name, *label;
    double low, high;
  };
  for (Read r :
       {Read{"sine_square_errlim", "L2", 1.0 / 3, 3.0}, Read{"slender_sine_errlim", "rms", 1.0 / 3, 3.0},
        Read{"decaying_strip_errlim", "rms", 1.0 / 3, 3.0}, Read{"robin_square_errlim", "rms", 1.0 / 3, 3.0},
        Read{"sine_cube_errlim", "L2", 0.5, 2.0}, Read{"slender_slab_errlim", "rms", 0.5, 2.0},
        Read{"penalty_couette_annulus", "rms_u", 1.0 / 3, 3.0}, Read{"penalty_couette_annulus", "rms_v", 1.0 / 3, 3.0},
        Read{"layered_column_solve", "rms_v", 1.0 / 3, 3.0}, Read{"lshape_estimate_errlim", "rms", 1.0 / 3, 3.0},
        Read{"lame_quarter_annulus_estimate", "rms_u", 1.0 / 3, 3.0},
        Read{"lame_quarter_annulus_estimate", "rms_v", 1.0 / 3, 3.0},
        Read{"extruded_lshape_edge_estimate", "rms", 1.0 / 3, 3.0}}) {
    double truth = report(r.name)[r.label], estimate = last_rms(log(r.name));
    EXPECT_GE(estimate / truth, r.low) << r.name << " estimate " << estimate << " error " << truth;
    EXPECT_LE(estimate / truth, r.high) << r.name << " estimate " << estimate << " error " << truth;
  }
}

// A run's RMS error against its exact answer, over the answer's range and ERRLIM ('ratio'), lies
// between 0.15 and 1: the linear triangles' estimate reads the error at its own size, so the run
// does not refine far past its limit (their side jumps read twice the error: 0.13 before). The
// same of a convective layer on quadratic triangles, between 0.1 and 1 (its side jumps read six
// times the error: 0.039 before).
TEST_F(Answers, ErrorLimitHoldsTheTrueErrorNearTheLimit) {
  expect_answers(*this,
                 {{"errlim_linear_sine", "ratio", 0.575, 0.425}, {"convection_layer_errlim", "ratio", 0.55, 0.45}});
}

// A re-entrant corner to an error limit: its cells' estimates fall more slowly per split than
// elsewhere (the answer's gradient is infinite there), so the corner is split as often a grid
// as that fall asks, and the run ends converged within its grid limit with the answer's error
// within the limit (it ended at the grid limit, 3.6e-5 off beside the corner).
TEST_F(Answers, ReEntrantCornerMeetsItsErrorLimit) {
  expect_answers(*this,
                 {{"wedge_corner_errlim", "L2", 0.0, 1.2e-6}, {"wedge_corner_errlim", "u_near", 0.0229453856, 2.4e-6}});
}

// The L-shape's corner to an error limit: its grid that already meets the limit in RMS but not at
// the corner is split to OVERSPLIT, so the run ends on six grids, not on seven that split a few
// cells left just above the limit, with the same answer within its limit. Beside the corner the
// error swings in sign within each cell: on the circle through the point checked, 1.4e-3 from the
// corner, it reaches 2.7 times the limit's share of the range (its RMS there 1.5 times), so the
// point is held to three times that share.
TEST_F(Answers, LShapeCornerMeetsItsErrorLimitInSixGrids) {
  expect_answers(
      *this, {{"lshape_corner_errlim", "L2", 0.0, 1.26e-6}, {"lshape_corner_errlim", "u_near", 0.0125992105, 3.78e-6}});
  std::string l = log("lshape_corner_errlim");
  EXPECT_EQ(l.find("NOT CONVERGED"), std::string::npos) << l;
  EXPECT_LE(last_count(l, "GRID (\\d+) Nodes="), 6) << l;
}

// A penalty p = -K div(U) too soft for the error limit leaves the answer further from the
// incompressible one than the limit, in no residual the estimate reads: the run ends not
// converged and its log names the variables (it ended converged, 4.3 limits off Poiseuille's
// answer). One stiff enough for the limit ends converged on Poiseuille's answer.
TEST_F(Answers, PenaltyTooSoftForTheLimitEndsNotConverged) {
  EXPECT_EQ(run({"penalty_channel_soft.pde"}), 3) << out();
  EXPECT_NE(log("penalty_channel_soft").find("STIFF CONSTRAINT: U V keep a divergence of"), std::string::npos)
      << log("penalty_channel_soft");
  EXPECT_GT(report("penalty_channel_soft").at("rms_u"), 1e-4);
  // Ended by its grid limit first, the run still names the variables the penalty holds.
  EXPECT_EQ(run({"penalty_channel_soft_two_grids.pde"}), 3) << out();
  EXPECT_NE(log("penalty_channel_soft_two_grids").find("STIFF CONSTRAINT: U V keep a divergence of"), std::string::npos)
      << log("penalty_channel_soft_two_grids");
  // With the flow's convection (a nonlinear system) the penalty is read as well.
  EXPECT_EQ(run({"penalty_channel_soft_convected.pde"}), 3) << out();
  EXPECT_NE(log("penalty_channel_soft_convected").find("STIFF CONSTRAINT: U V keep a divergence of"), std::string::npos)
      << log("penalty_channel_soft_convected");
  expect_answers(*this, {{"penalty_channel_stiff", "u_mid", 1.0, 1e-4}, {"penalty_channel_stiff", "p_mid", 8.0, 1e-3}});
  // Softer than its limit needs but within it, the run ends converged, and its last grid's RMS
  // estimate reads the penalty's error (the cells' estimates alone read a third of it).
  struct Row {
    const char *name;
    double errlim, low, high;
  };
  for (Row r : {Row{"penalty_channel_estimate", 1e-3, 0.5, 2.0}}) {
    EXPECT_EQ(run({(std::string(r.name) + ".pde").c_str()}), 0) << out();
    std::string l = log(r.name);
    std::smatch m;
    std::string last;
    std::regex grid(R"(RMS ERR= *(\S+) MAX ERR)");
    for (auto it = std::sregex_iterator(l.begin(), l.end(), grid); it != std::sregex_iterator(); ++it) last = it->str();
    ASSERT_TRUE(std::regex_search(last, m, grid)) << l;
    double rms = report(r.name).at("rms_u");
    EXPECT_LT(rms, r.errlim) << r.name;
    EXPECT_GT(std::stod(m[1]), r.low * rms) << r.name << ": " << last;
    EXPECT_LT(std::stod(m[1]), r.high * rms) << r.name << ": " << last;
  }
}

// Linear cells to an error limit: their error lies in the flux jumps across the sides (all of
// it for a harmonic answer, whose cells' interior residual is zero), so each run refines until
// its largest error against the exact answer is within the limit's share of the answer's range;
// in a cube too, where the tetrahedra's edges read the jumps.
TEST_F(Answers, LinearCellsMeetTheirErrorLimit) {
  expect_answers(*this, {{"linear_harmonic_errlim", "maxerr", 0.0, 2e-4},
                         {"linear_source_errlim", "maxerr", 0.0, 2e-3},
                         {"linear_cube_errlim", "maxerr", 0.0, 1.5e-2},
                         {"linear_periodic_seam", "maxerr", 0.0, 1.5e-2}});
  // Held to a node limit below what its error limit needs, the run keeps its last grid and
  // says the limit was not met (it ended as converged).
  EXPECT_EQ(run({"linear_cube_node_limit.pde"}), 3) << out();
  EXPECT_NE(log("linear_cube_node_limit").find("NODE LIMIT: NOT CONVERGED"), std::string::npos)
      << log("linear_cube_node_limit");
}

// A scalar unknown read only through a nonlinear integral of the field starts where its
// Jacobian row is zero and takes its first value on Newton's second step: the residual it
// then shows on its own range is no sign of divergence, and Newton goes on to the answer.
TEST_F(Answers, ScalarsOfNonlinearIntegralsConverge) {
  // clang-format off
  expect_answers(*this, {
      {"scalar_integral_of_square", "c", 0.0017031, 2e-6},
      {"scalar_integral_of_square", "u", 0.0736838, 2e-5},
      {"scalar_square_of_integral", "c", 0.0012354, 2e-6},
      {"scalar_square_of_integral", "u", 0.0736804, 2e-5},
  });
  // clang-format on
}

// Steady runs in which one variable is zero or tiny in truth (a plane-strain displacement, the
// cross displacement of a symmetric load, passive scalars): the zero variable's noise does not
// set its error scale, so each ends on a modest mesh with its exact answer.
TEST_F(Answers, ZeroOrTinyVariablesEndOnTheirExactAnswers) {
  // clang-format off
  expect_answers(*this, {
      {"lame_plane_strain", "ur_a", 1.9066667e-3, 2e-6},
      {"lame_plane_strain", "ur_b", 1.2133333e-3, 1.2e-6},
      {"lame_plane_strain", "srr_mid", -0.2592593, 5e-4},
      {"lame_plane_strain", "uz_max", 0.0, 1e-6},
      {"bar_symmetric_load", "u_end", 0.0952381, 1e-5},
      {"bar_symmetric_load", "u_mid", 0.0654762, 1e-5},
      {"bar_symmetric_load", "v_max", 0.0, 1e-5},
      {"passive_scalar_tiny", "u_mid", 1.0, 1e-6},
      {"passive_scalar_tiny", "c_mid", 7.5858180e-8, 1e-9},
      {"passive_scalar_tiny", "c_08", 3.6359135e-7, 1e-9},
      {"passive_scalar_tiny", "z_max", 0.0, 1e-12},
  });
  // clang-format on
  for (const char *name : {"lame_plane_strain", "bar_symmetric_load", "passive_scalar_tiny"}) {
    std::string l = log(name);
    EXPECT_LT(last_count(l, "Nodes=(\\d+)"), 30000) << l;
    EXPECT_EQ(l.find("NOT CONVERGED"), std::string::npos) << l;
    // Each grid line shows the largest cell estimate, which the regrid test compares with
    // ERRLIM (1e-4 here): above it on every grid but the last, within it on the last.
    std::regex line("GRID (\\d+) .*RMS ERR= *([0-9.e+-]+) MAX ERR= *([0-9.e+-]+) MEM=");
    std::vector<double> most;
    for (auto it = std::sregex_iterator(l.begin(), l.end(), line); it != std::sregex_iterator(); ++it) {
      most.push_back(std::stod((*it)[3]));
      EXPECT_GE(most.back(), std::stod((*it)[2])) << (*it)[0];
    }
    ASSERT_FALSE(most.empty()) << l;
    for (size_t k = 0; k + 1 < most.size(); k++) EXPECT_GT(most[k], 1e-4) << name << " grid " << k + 1;
    EXPECT_LE(most.back(), 1e-4) << l;
  }
}

// A thick cylinder in YCYLINDER held in plane strain: Uz is zero in truth and its discrete
// range (the others' discretisation error) is within the error limit of the coupled scale.
// It does not drive refinement: the run ends near its first mesh (it took 8 grids and 2,375
// nodes) on Lame's answers. Nor in a stiffening material solved by Newton's method, whose
// steps and curvature estimate measured Uz against its own noise (every grid ran to the
// step limit, and the mesh to the grid limit).
TEST_F(Answers, ZeroVariableAtTheErrorLimitDoesNotDriveRefinement) {
  expect_answers(*this, {{"ycyl_zero_variable", "ur_a", 1.9066667, 2e-3},
                         {"ycyl_zero_variable", "ur_b", 1.2133333, 2e-3},
                         {"ycyl_zero_variable", "sr_mid", -0.2592593, 2e-3},
                         {"ycyl_stiffening_zero_variable", "ur_a", 0.897831057, 3e-4},
                         {"ycyl_stiffening_zero_variable", "ur_b", 0.581524836, 3e-4},
                         {"ycyl_stiffening_zero_variable", "ur_mid", 0.677584577, 3e-4}});
  for (const char *name : {"ycyl_zero_variable", "ycyl_stiffening_zero_variable"}) {
    std::string l = log(name);
    EXPECT_LE(last_count(l, "Nodes=(\\d+)"), 820) << l;
    EXPECT_EQ(l.find("NOT CONVERGED"), std::string::npos) << l;
  }
  // The same cylinder in 3D, W zero in truth: what W's noise moves by over a regrid does not
  // ask for another grid (it took a third, "REFINE AGAIN: W moved by ...").
  expect_answers(*this, {{"lame_cylinder_3d_zero_w", "ur_a", 1.9066667, 2e-3},
                         {"lame_cylinder_3d_zero_w", "ur_b", 1.2133333, 2e-3},
                         {"lame_cylinder_3d_zero_w", "err_Ur", 0.0, 1e-3}});
  std::string l = log("lame_cylinder_3d_zero_w");
  EXPECT_EQ(l.find("REFINE AGAIN"), std::string::npos) << l;
  EXPECT_LE(last_count(l, "GRID (\\d+)"), 2) << l;
}

// A start that is 1 but for roundoff (sin^2 + cos^2): its range over the nodes is a few ulps,
// and the start's fit must not read that roundoff as a front (it refined 409 nodes to 13,914
// and logged INITIAL VALUES NOT RESOLVED).
TEST_F(Answers, StartConstantButForRoundoffIsResolved) {
  expect_answers(*this, {{"roundoff_constant_start", "u", 1.0, 1e-12}, {"roundoff_constant_start", "dev", 0.0, 1e-12}});
  std::string l = log("roundoff_constant_start");
  EXPECT_EQ(l.find("INITIAL VALUES NOT RESOLVED"), std::string::npos) << l;
  size_t at = l.find("Nodes=");
  ASSERT_NE(at, std::string::npos) << l;
  EXPECT_LT(std::stoi(l.substr(at + 6)), 1000) << l;
}

// Natural convection in a heated cavity as stream function, vorticity and temperature: the
// vorticity transport equation is listed under psi and psi's Poisson equation under omega, so
// each of those rows is chiefly about another variable. Their residuals are measured in the
// scale of the variable they hold, and the run ends within its limit on the published values
// (they ended at the grid limit, their largest estimate far above the error).
TEST_F(Answers, RowsListedUnderAnotherVariableEndOnThePublishedValues) {
  expect_answers(*this, {
                            {"natural_convection_ra1e3", "Nu_mean", 1.118, 2.5e-3},
                            {"natural_convection_ra1e3", "psi_mid", -1.174, 2.5e-3},
                            {"natural_convection_ra1e4", "Nu_mean", 2.243, 5e-3},
                            {"natural_convection_ra1e4", "psi_mid", -5.071, 1e-2},
                        });
  for (const char *name : {"natural_convection_ra1e3", "natural_convection_ra1e4"}) {
    std::string l = log(name), last;
    EXPECT_EQ(l.find("NOT CONVERGED"), std::string::npos) << l;
    std::regex most("MAX ERR= *([0-9.e+-]+)");
    for (auto it = std::sregex_iterator(l.begin(), l.end(), most); it != std::sregex_iterator(); ++it) last = (*it)[1];
    ASSERT_FALSE(last.empty()) << l;
    EXPECT_LE(std::stod(last), 2e-3) << l;
  }
}

// A nearly incompressible cantilever (plane strain, lambda/mu = 1e4 and 1e2) locks: its error
// lies in the divergence-free displacements, which the rows' own stiffness (lambda + 2 mu)
// reads lambda/mu too small. The estimate scales by the locking ratio, so each run refines
// until its tip holds (they ended on one and two grids, 5% and 2% off). References: an
// independent P2 solution on a 4N x N mesh, N = 160 (N = 40, 80, 160 give
// -66.114, -66.164, -66.186 and -66.820, -66.859, -66.876 at the tip: within 0.03 of the limit).
// And the pressurised thick cylinder at Poisson's ratio 0.4999 against its exact displacements
// (it ended on one grid with u_r(1) 8e-6 off).
TEST_F(Answers, LockingSolidsRefineUntilTheirTipHolds) {
  expect_answers(*this, {
                            {"elasticity_locking_1e4", "tip", -66.1855, 0.07},
                            {"elasticity_locking_1e4", "utop", 11.8267, 0.04},
                            {"elasticity_locking_1e2", "tip", -66.8763, 0.07},
                            {"elasticity_locking_1e2", "utop", 11.9533, 0.04},
                            {"lame_quarter_annulus_incompressible", "ur1", 1.99996666e-3, 2e-7},
                            {"lame_quarter_annulus_incompressible", "ur2", 1.00013332e-3, 1e-7},
                            {"reaction_coupled_pair", "u", 1.0, 1e-4},
                            {"reaction_coupled_pair", "l2", 0.0, 5e-4},
                            {"cross_diffusion_pair", "u", 1.0, 1e-3},
                            {"cross_diffusion_pair", "l2v", 0.0, 1e-3},
                        });
  // A pair tied by a zeroth-order term, or by strong cross diffusion, does not lock: it is
  // measured as before, on a modest mesh, and converges (the cross diffusion pair ended at the
  // grid limit, NOT CONVERGED, when its slow combination was read as a locking).
  std::string l = log("reaction_coupled_pair");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(l, m, std::regex("GRID 1 Nodes=(\\d+)"))) << l;
  EXPECT_EQ(l.find("GRID 3 "), std::string::npos) << l;
}

// A slender cantilever in plane stress held at its clamp to the beam answer (u cubic in y there).
// With one cell through the depth its parabolic shear misses the free sides' zero traction, and
// the misfit turns the whole beam; the steady estimate reads the natural sides' misfit and the
// held cubic's between the clamp's nodes, and the run refines through the depth (it ended on
// 115 nodes with the tip 6.7e-4 off, the shear 21% off and u 2 limits off its range).
TEST_F(Answers, SlenderCantileverMeetsTheBeamAnswer) {
  expect_answers(*this, {
                            {"cantilever_held_beam", "tip", 4.0, 4e-4},
                            {"cantilever_held_beam", "shear", -1.44, 0.07},
                            {"cantilever_held_beam", "shear_rms", 0.0, 0.1},
                            {"cantilever_held_beam", "rms_u", 0.0, 1e-4},
                            {"cantilever_held_beam", "rms_v", 0.0, 1e-4},
                        });
  EXPECT_LE(last_count(log("cantilever_held_beam"), "Nodes=(\\d+)"), 1500) << log("cantilever_held_beam");
  // At ERRLIM 1.5e-4 the estimate met the limit on the third grid while v was 2.3 ERRLIM of its
  // range off and the tip 2.3e-3 (its deflection is the rotation's error summed along the beam,
  // in no cell's estimate): the last regrid moved v by 2.7 times the estimate before it, so the
  // run refines again and says why; held to three grids, it ends not converged naming v.
  expect_answers(*this, {
                            {"cantilever_held_beam_coarse", "tip", 4.0, 6e-4},
                            {"cantilever_held_beam_coarse", "rms_u", 0.0, 1.5e-4},
                            {"cantilever_held_beam_coarse", "rms_v", 0.0, 1.5e-4},
                        });
  EXPECT_NE(log("cantilever_held_beam_coarse").find("REFINE AGAIN: V moved by"), std::string::npos)
      << log("cantilever_held_beam_coarse");
  EXPECT_EQ(run({"cantilever_held_beam_grid_limit.pde"}), 3) << out();
  EXPECT_NE(log("cantilever_held_beam_grid_limit").find("GRID LIMIT: V moved by"), std::string::npos)
      << log("cantilever_held_beam_grid_limit");
}

// A large nonsymmetric system whose complete factor is declined for its cost: where the
// iteration does not converge within its budget (an indefinite operator), the factor is
// taken after all, and a solution the cells hold exactly comes out exact (it was 3% off,
// three times the limit, reported as converged).
TEST_F(Answers, CostlyFactorIsTakenWhereTheIterationFails) {
  expect_answers(*this, {
                            {"indefinite_solid_helmholtz", "u", 0.28, 1e-6},
                            {"indefinite_solid_helmholtz", "rel", 0.0, 1e-6},
                        });
}

// Convection-dominated boundary layers against their exact profiles: the estimate reads the
// flux jumps across the cells' sides, where a layer's error lives, so the run refines the layer
// until its values hold (they stayed 20-40 times the limit off). At ERRLIM 1e-4 the Peclet 500
// layer may end at the grid limit, but then says so: NOT CONVERGED with its largest estimate
// still above the limit.
TEST_F(Answers, BoundaryLayersAreResolvedToTheirLimit) {
  expect_answers(*this, {
                            {"boundary_layer_pe1000", "u0998", 0.2706706, 4e-3},
                            {"boundary_layer_pe1000", "u0996", 0.0366313, 4e-3},
                            {"boundary_layer_pe1000", "u099", 0.0000908, 4e-3},
                        });
  int rc = run({"boundary_layer_pe500.pde"});
  std::string l = log("boundary_layer_pe500");
  ASSERT_TRUE(rc == 0 || rc == 3) << out() << l;
  auto s = report("boundary_layer_pe500");
  EXPECT_NEAR(s.at("u0998"), 0.7357589, 6e-4) << l;
  EXPECT_NEAR(s.at("u0996"), 0.2706706, 6e-4) << l;
  EXPECT_NEAR(s.at("u099"), 0.0134759, 6e-4) << l;
  std::string last;
  std::regex most("MAX ERR= *([0-9.e+-]+)");
  for (auto it = std::sregex_iterator(l.begin(), l.end(), most); it != std::sregex_iterator(); ++it) last = (*it)[1];
  ASSERT_FALSE(last.empty()) << l;
  EXPECT_EQ(rc == 3, std::stod(last) >= 1e-4) << l;
  EXPECT_EQ(rc == 3, l.find("NOT CONVERGED") != std::string::npos) << l;
  // A quadratic answer the cells hold exactly ends on the first grid with an estimate of
  // rounding size: each side's shares cancel only when joined across the side with their sign.
  expect_answers(*this, {{"convective_quadratic_exact", "maxerr", 0.0, 1e-5}});
  std::string q = log("convective_quadratic_exact");
  EXPECT_EQ(q.find("GRID 2 "), std::string::npos) << q;
  std::smatch m;
  ASSERT_TRUE(std::regex_search(q, m, most)) << q;
  EXPECT_LT(std::stod(m[1]), 1e-5) << q;
}

// Periodic problems, whose slaves' columns fold into their masters' with the rows: the
// answers of the symmetric fold, in 2D and in a periodic extrusion; linear cells refined
// far enough that splits across the periodic sides follow one another in a pass; lateral
// periodic sides in extrusions from coarse first meshes.
TEST_F(Answers, PeriodicProblemsMeetTheirExactAnswers) {
  // clang-format off
  expect_answers(*this, {
      {"periodic_source_2d", "left", 0.2955202, 1e-3},
      {"periodic_source_2d", "right", 0.2955202, 1e-3},
      {"periodic_source_2d", "quarter", 0.9553365, 1e-3},
      {"periodic_source_2d", "L2", 0.0, 5e-4},
      {"periodic_extrusion_source", "bottom", 0.2955202, 1e-2},
      {"periodic_extrusion_source", "top", 0.2955202, 1e-2},
      {"periodic_extrusion_source", "quarter", 0.9553365, 1e-2},
      {"periodic_extrusion_source", "L2", 0.0, 2e-3},
      {"periodic_extrusion_coarse", "int", 0.0338266, 1e-4},
      {"antiperiodic_extrusion_coarse", "int", 0.0205117, 6e-5},
      {"periodic_extrusion_ngrid2", "int", 0.0597521, 1.5e-4},
      {"periodic_slab_thin", "mid", 0.0736713, 7e-5},
      {"periodic_duct", "Q", 0.0351443, 3.5e-5},
      {"periodic_duct", "centre", 0.0736714, 7e-5},
      {"periodic_linear_refine_2d", "left", 0.2955202, 2e-4},
      {"periodic_linear_refine_2d", "right", 0.2955202, 2e-4},
      {"periodic_linear_refine_2d", "quarter", 0.9553365, 2e-4},
      {"periodic_linear_refine_2d", "L2", 0.0, 3e-4},
      {"antiperiodic_linear_refine_sphere2", "u", 0.7464873, 1.5e-4},
      {"antiperiodic_linear_refine_sphere2", "left", 1.3, 2.6e-4},
      {"antiperiodic_linear_refine_sphere2", "right", -1.3, 2.6e-4},
      {"antiperiodic_linear_refine_sphere2", "rel", 0.0, 1e-4},
  });
  // clang-format on
}

// The borders of a periodic system fold with its rows: a scalar unknown's column and a point
// load on the image side reach the master's row, and the slave's row stays its tie.
TEST_F(Answers, PeriodicBordersFoldWithTheRows) {
  expect_answers(*this, {{"periodic_scalar_channel", "G", 12.0, 1e-4},
                         {"periodic_scalar_channel", "y01", 1.5, 1e-5},
                         {"periodic_scalar_channel", "y09", 1.5, 1e-5},
                         {"periodic_scalar_channel", "L2", 0.0, 1e-5},
                         // A constraint beside the pair, its multiplier solved whole at every pass:
                         // within two error limits of a unit range.
                         {"periodic_constraint_channel", "y0", 1.0, 2e-3},
                         {"periodic_constraint_channel", "y1", 1.0, 2e-3},
                         {"periodic_constraint_channel", "p", 0.25, 2e-3},
                         {"periodic_constraint_channel", "L2", 0.0, 2e-3},
                         {"antiperiodic_constraint_channel", "y0", 1.0, 2e-4},
                         {"antiperiodic_constraint_channel", "y1", -1.0, 2e-4},
                         {"antiperiodic_constraint_channel", "p", 0.6545085, 2e-4},
                         {"antiperiodic_constraint_channel", "L2", 0.0, 2e-4}});
  // The load's singularity keeps its run above the limit (exit 3): its values away from it, on
  // the grid-limited mesh within three ERRLIM (a folding slip moves them by 0.03 and more; the
  // cells at the load's corner, split as often as their slowly falling estimates ask, leave the
  // values beside it at y = 0.1 2.4e-3 off, where they were 7e-4); the antiperiodic pair's
  // image of the load is turned.
  struct Load {
    const char *name;
    std::vector<std::pair<const char *, double>> want;
  } loads[] = {
      {"periodic_point_load_image",
       {{"mid", 0.140274963}, {"y03", 0.132155648}, {"y07", 0.132155648}, {"y01", 0.326107065}, {"y09", 0.326107065}}},
      {"antiperiodic_point_load",
       {{"mid", 0.0}, {"y03", 0.0663337}, {"y07", -0.0663337}, {"y01", 0.2681890}, {"y09", -0.2681890}}}};
  for (const Load &l : loads) {
    std::string file = std::string(l.name) + ".pde";
    EXPECT_EQ(run({file.c_str()}), 3) << log(l.name);
    std::map<std::string, double> v = report(l.name);
    for (const auto &[label, want] : l.want)
      EXPECT_NEAR(v[label], want, 3e-3) << l.name << " " << label << "\n" << log(l.name);
  }
}

// A periodic side's image drops the conditions written on it in 3D as in the plane: a box
// periodic in y with a VALUE on its image side, and a periodic extrusion with one on its bottom.
TEST_F(Answers, PeriodicLinkHoldsOnTheImageSideIn3D) {
  expect_answers(*this, {{"periodic3d_image_heat", "y0", 0.4864765, 4e-3},
                         {"periodic3d_image_heat", "y1", 0.2589391, 2e-3},
                         {"periodic_extrusion_bottom_value", "bottom", 0.2955202, 1e-2},
                         {"periodic_extrusion_bottom_value", "top", 0.2955202, 1e-2},
                         {"periodic_extrusion_bottom_value", "quarter", 0.9553365, 1e-2},
                         {"periodic_extrusion_bottom_value", "L2", 0.0, 2e-3}});
}

// An extruded box periodic in y pairs every sheet's nodes once, the base sheet's too (it kept
// the plane mesh's pairs as well, keyed from either side, and lost the bottom's equations): a
// scalar unknown beside the pair gives its exact answer on the first grid (in time within two
// error limits of its range), and a point load on the bottom of the image side acts as half that
// load on its twin halved at the symmetry plane (within two error limits of a unit range, away
// from the load).
TEST_F(Answers, PeriodicBoxPairsItsBaseSheetOnce) {
  expect_answers(*this, {{"periodic3d_scalar_box", "G", 12.0, 1e-6},
                         {"periodic3d_scalar_box", "y0z0", 1.5, 1e-6},
                         {"periodic3d_scalar_box", "y1z0", 1.5, 1e-6},
                         {"periodic3d_scalar_box", "top", 1.5, 1e-6},
                         {"periodic3d_scalar_box", "L2", 0.0, 1e-6},
                         {"periodic3d_heat_scalar", "y0", 1.8727078, 4e-3},
                         {"periodic3d_heat_scalar", "y1", 1.8727078, 4e-3},
                         {"periodic3d_heat_scalar", "y5", 1.1272922, 4e-3},
                         {"periodic3d_heat_scalar", "G", 12.0, 0.03}});
  EXPECT_EQ(run({"periodic3d_point_load_half.pde"}), 3) << log("periodic3d_point_load_half");
  std::map<std::string, double> twin = report("periodic3d_point_load_half");
  EXPECT_EQ(run({"periodic3d_point_load_image.pde"}), 3) << log("periodic3d_point_load_image");
  std::map<std::string, double> v = report("periodic3d_point_load_image");
  for (auto [label, mirror] : {std::pair{"mid", "mid"}, {"a0", "a0i"}, {"a1", "a1"}, {"b", "bi"}, {"c", "c"}}) {
    EXPECT_NEAR(v[label], twin[label], 2e-3) << label << "\n" << log("periodic3d_point_load_image");
    EXPECT_NEAR(v[mirror], twin[label], 2e-3) << mirror << "\n" << log("periodic3d_point_load_image");
  }
}

// A penalty-form lid-driven cavity at Re 100 and ERRLIM 1e-4. The lid's corners, where the held
// values jump, keep cells above the limit on every grid, so the grid limit ends the run (exit 3)
// and names both velocities; away from them the answer is the limit's. Against the published
// centreline table (Ghia, Ghia and Shin 1982) to the 0.01 it holds, and against the same equations
// solved in mixed form (div U + p/K = 0, Taylor-Hood P2/P1 on uniform 128 x 128 and 256 x 256
// meshes, extrapolated: their lid corners make their error fall as h, which a 192 x 192 mesh
// confirms) to 3e-4, 2.5 limits of u's range. The run that read the penalty's locking too small
// ended converged in seven grids 5.4e-4 off u there and 8.0e-4 off v.
TEST_F(Answers, PenaltyCavityMeetsThePublishedTable) {
  struct Row {
    const char *label;
    double table, reference;
  } rows[] = {{"u_y0.4531", -0.21090, -0.2139408}, {"u_y0.1719", -0.10150, -0.1017364},
              {"u_y0.8516", 0.23151, 0.2365283},   {"u_y0.9531", 0.68717, 0.6910112},
              {"v_x0.2344", 0.17527, 0.1795331},   {"v_x0.8047", -0.24533, -0.2535234},
              {"v_x0.5", 0.05454, 0.0575238},      {"v_x0.9063", -0.16914, -0.1770747}};
  // The same cavity under K/nu = 1e6 at ERRLIM 1e-3, within one limit of u's range (the penalty
  // of K/nu = 1e6 was read as no locking at all, and the run ended converged 7e-3 off).
  struct Run {
    const char *name;
    double tol;
  } runs[] = {{"cavity_centrelines", 3e-4}, {"cavity_centrelines_stiff", 1.2e-3}};
  for (const Run &r : runs) {
    std::string file = std::string(r.name) + ".pde";
    EXPECT_EQ(run({file.c_str()}), 3) << out();
    std::string l = log(r.name);
    std::smatch m;
    EXPECT_TRUE(std::regex_search(l, m, std::regex("GRID LIMIT: ERRLIM not met: U in \\d+ cells, V in \\d+ cells")))
        << l;
    std::map<std::string, double> v = report(r.name);
    for (const Row &w : rows) {
      ASSERT_TRUE(v.count(w.label)) << r.name << " " << w.label << "\n" << l;
      EXPECT_NEAR(v[w.label], w.table, 0.01) << r.name << " " << w.label << "\n" << l;
      EXPECT_NEAR(v[w.label], w.reference, r.tol) << r.name << " " << w.label << "\n" << l;
    }
  }
}

// A time run that halts (its solution blows up at t = 1/12) prints the histories it
// sampled up to the halt.
TEST_F(Answers, HaltedTimeRunPrintsItsHistories) {
  EXPECT_EQ(run({"halt_loses_history.pde"}), 1) << out();
  EXPECT_NE(log("halt_loses_history").find("HALT: Timestep is below threshhold"), std::string::npos);
  std::smatch m;
  std::string h = slurp(dir + "/halt_loses_history.p01");
  ASSERT_TRUE(std::regex_search(h, m, std::regex("Title: HISTORY.*\n Time (\\S+)"))) << h;
  EXPECT_NEAR(std::stod(m[1]), 1.0 / 12, 2e-3);
}

// normal() and tangential() at a point of a curved boundary are taken against the
// curve's own normal, not a chord's: on and just inside arcs, and on an extruded
// cylinder's wall.
TEST_F(Answers, NormalsOnCurvedBoundariesAreTheCurvesOwn) {
  ASSERT_EQ(run({"normal_on_arc_exact.pde"}), 0) << out();
  ASSERT_EQ(run({"normal_on_arc_inside.pde"}), 0) << out();
  ASSERT_EQ(run({"normal_cyl3d.pde"}), 0) << out();
  auto e = report("normal_on_arc_exact"), i = report("normal_on_arc_inside"), c = report("normal_cyl3d");
  for (int k = 0; k < 12; k++) {
    std::string n = std::to_string(k);
    EXPECT_NEAR(e.at("N" + n), 1, 1e-9) << k;
    EXPECT_NEAR(e.at("T" + n), 0, 1e-9) << k;
    EXPECT_NEAR(i.at("N" + n), 0.999, 1e-9) << k;
    EXPECT_NEAR(i.at("T" + n), 0, 1e-9) << k;
  }
  EXPECT_NEAR(c.at("n inside 0.999"), 0.999, 1e-9);
  EXPECT_NEAR(c.at("t inside 0"), 0, 1e-9);
  // At random points of a circle, an ellipse and a cylinder wall, the normal
  // derivative of a known field against the exact outward normal.
  struct Wall {
    const char *name, *geometry;
    double rx, ry;
    bool solid;
    int points;
  };
  const Wall walls[] = {
      {"circle", "START(1,0) VALUE(u)=0 ARC(CENTER=0,0) ANGLE=360 TO FINISH", 1, 1, false, 70},
      {"ellipse",
       "START(2,0) VALUE(u)=0 ARC(CENTER=0,0) TO (0,1) ARC(CENTER=0,0) TO (-2,0)"
       " ARC(CENTER=0,0) TO (0,-1) ARC(CENTER=0,0) TO FINISH",
       2, 1, false, 70},
      {"cylinder", "START(1,0) VALUE(u)=0 ARC(CENTER=0,0) ANGLE=360 TO FINISH", 1, 1, true, 60}};
  std::mt19937 random(70);
  std::uniform_real_distribution<double> turn(0, 2 * M_PI), height(0.05, 0.95);
  for (const Wall &w : walls) {
    std::ostringstream pde, at;
    std::vector<double> exact;
    pde << "TITLE 'wall'\n" << (w.solid ? "COORDINATES CARTESIAN3\n" : "") << "VARIABLES u\nDEFINITIONS\n"
        << "  f = x^2 - x*y + 3*y" << (w.solid ? " + z^2" : "") << "\nEQUATIONS div(grad(u)) = 0\n"
        << (w.solid ? "EXTRUSION z = 0, 1\n" : "") << "BOUNDARIES\n"
        << (w.solid ? "  SURFACE 1 VALUE(u)=0 SURFACE 2 VALUE(u)=0\n" : "") << "  REGION 1 " << w.geometry
        << "\nPLOTS\n  SUMMARY PRINT\n";
    for (int k = 0; k < w.points; k++) {
      double a = turn(random), x = w.rx * std::cos(a), y = w.ry * std::sin(a), z = height(random);
      double nx = x / (w.rx * w.rx), ny = y / (w.ry * w.ry), n = std::hypot(nx, ny);
      exact.push_back(((2 * x - y) * nx + (3 - x) * ny) / n);
      pde.precision(17);
      pde << "    REPORT VAL(normal(grad(f)), " << x << ", " << y;
      if (w.solid) pde << ", " << z;
      pde << ") AS 'p" << k << "'\n";
    }
    pde << "END\n";
    std::ofstream(dir + "/" + w.name + ".pde") << pde.str();
    ASSERT_EQ(shell("'" QUENDAR_EXE "' -B -R -X " + std::string(w.name) + ".pde"), 0) << out() << log(w.name);
    auto r = report(w.name);
    for (int k = 0; k < w.points; k++) EXPECT_NEAR(r.at("p" + std::to_string(k)), exact[k], 1e-6) << w.name << k;
  }
}

// Expressions a user reports, each with its exact value (within a tolerance) or the
// located error it must give: point values of definitions that hold derivatives and of
// rates, and what has no value, said where it is written.
TEST_F(Answers, ReportedExpressionsHaveTheirValueOrALocatedError) {
  const double ex = std::exp(-0.2 * M_PI * M_PI) * 4 / (M_PI * M_PI);  // integral of the exact u at t = 0.1
  struct Row {
    const char *file, *label;
    double value, tol;
    const char *error;  // the log's error line; null for a value
  };
  const Row rows[] = {
      {"eval_vector_def", "EVAL(magnitude(g), 0.5, 0.25)", std::sqrt(5.0), 1e-6, nullptr},
      {"eval_vector_def", "EVAL(d2, 0.5, 0.25)", 10, 1e-5, nullptr},
      {"report_dt", "dt(u)", -2 * M_PI * M_PI * 0.13891113, 0.05, nullptr},
      {"report_dt", "integral dt", -2 * M_PI * M_PI * ex, 0.03, nullptr},
      {"sum_wrap", "sum(i,1,70000,1)", 70000, 0, nullptr},
      {"sum_wrap", "partial", M_PI * M_PI / 6 - 1 / 4e4 + 1 / (2 * 4e4 * 4e4), 1e-7, nullptr},
      {"def_chain_500", "d499", 500, 0, nullptr},
      {"sum_under_derivative", "VAL(dx(g), 0.3, 0.6)", 3.6, 1e-7, nullptr},
      // Values against published tables: erf, erfc, E1(1) and Gamma(3, 1) = 5/e.
      {"special_functions", "erf0", 0, 1e-15, nullptr},
      {"special_functions", "erf small", 1.1283791633342e-05, 1e-7, nullptr},
      {"special_functions", "erfc5", 1.5374597944280e-12, 1e-7, nullptr},
      {"special_functions", "erf half", -0.52049987781305, 1e-7, nullptr},
      {"special_functions", "E1", 0.21938393439552, 1e-7, nullptr},
      {"special_functions", "gamma3", 5 / M_E, 1e-7, nullptr},
      {"special_functions", "tiny quotient", 1, 0, nullptr},
      {"special_functions", "orders apart", -3 / M_E, 1e-7, nullptr},
      // Gamma(a + 1, x) = a Gamma(a, x) + x^a exp(-x), from Gamma(1/2, x) = sqrt(pi) erfc(sqrt(x)).
      {"special_functions", "real order", 1.5 * (0.5 * std::sqrt(M_PI) * std::erfc(1) + 1 / M_E) + 1 / M_E, 1e-7,
       nullptr},
      {"special_functions", "half order", std::sqrt(M_PI) * std::erfc(std::sqrt(1.5)), 1e-7, nullptr},
      {"sphere2_volume", "vol", 2 * M_PI * 7 / 24 * (std::cos(0.5) - std::cos(2.5)), 1e-7, nullptr},
      {"gamma_order", "", 0, 0, "Line 12 ERROR: VALUE NEEDS A POINT"},
      {"report_bare_x", "", 0, 0, "Line 13 ERROR: VALUE NEEDS A POINT: USE VAL(expression, x, y)"},
      {"report_definition", "", 0, 0,
       "    REPORT k\n                   *\n           Line 13 ERROR: VALUE NEEDS A POINT"},
      {"derivative_name_defined", "", 0, 0, "Line 5 ERROR: DX is a derivative operator"},
      {"recip_zero_def", "", 0, 0, "Line 13 ERROR: DIVIDE BY ZERO!"},
      {"fpe_unlocated", "", 0, 0, "Line 14 ERROR: DIVIDE BY ZERO\n"},
      {"const_overflow", "", 0, 0, "Line 11 ERROR: Floating-Point Overflow"},
      {"power_overflow", "", 0, 0, "Line 11 ERROR: Floating-Point Overflow"},
      {"bessel_origin", "", 0, 0, "Line 11 ERROR: DIVIDE BY ZERO\n"},
      {"bessel_order_origin", "", 0, 0, "Line 11 ERROR: DIVIDE BY ZERO\n"},  // trapped inside the math library
      {"bessel_fraction", "", 0, 0, "Line 11 ERROR: Illegal argument"},
      {"zero_divisor_definition", "", 0, 0, "  s = 1/a\n               *\n           Line 6 ERROR: DIVIDE BY ZERO!"},
      // Three components under DIV or CURL in a plane problem, refused at the operator.
      {"vector3_in_2d", "", 0, 0,
       "  w = div(vector(u,u,u))\n                               *\n           Line 6 ERROR: "
       "Three-Component Vector in 2D"},
      {"curl3_in_2d", "", 0, 0, "Line 12 ERROR: Three-Component Vector in 2D"},
      // A constant 0/0 folds to 0, as it evaluates at run time; a nonzero over 0 written
      // as constants is refused where it stands, one found while evaluating is told in
      // the evaluator's words.
      {"zero_over_zero_fold", "z", 0, 0, nullptr},
      {"zero_over_zero_fold", "z3", 3, 0, nullptr},
      {"zero_over_zero_fold", "zr", 0, 0, nullptr},
      {"constant_nonzero_over_zero", "", 0, 0, "Line 12 ERROR: DIVIDE BY ZERO!"},
      {"runtime_divide_text", "", 0, 0, "Line 12 ERROR: DIVIDE BY ZERO\n"},
      // SURFACE with a number inside EXTRUSION is told the form EXTRUSION takes.
      {"extrusion_surface_number", "", 0, 0,
       "Line 6 ERROR: Illegal Symbol: EXTRUSION writes each surface as SURFACE z = value, or SURFACE 'name' z = value"},
      {"diff_rules", "", 0, 0,
       "    REPORT VAL(dx(g2), 0, 0.6)\n                            *\n           Line 47 ERROR: DIVIDE BY ZERO\n"},
  };
  std::map<std::string, std::map<std::string, double>> reports;
  for (const Row &r : rows) {
    std::string name = r.file;
    if (!reports.count(name)) {
      fs::copy_file(fs::path(QUENDAR_DATA) / "answers" / (name + ".pde"), fs::path(dir) / (name + ".pde"));
      int code = shell("'" QUENDAR_EXE "' -B -R -X " + name + ".pde");
      EXPECT_EQ(code, r.error ? 1 : 0) << name << "\n" << log(name);
      reports[name] = r.error ? std::map<std::string, double>{} : report(name);
    }
    if (r.error) {
      EXPECT_NE(log(name).find(r.error), std::string::npos) << name << "\n" << log(name);
      continue;
    }
    ASSERT_TRUE(reports[name].count(r.label)) << name << ": " << r.label << "\n" << log(name);
    // tol is relative, or absolute for a value of 0.
    EXPECT_NEAR(reports[name][r.label], r.value, r.value ? r.tol * std::fabs(r.value) : r.tol) << name << ": " << r.label;
  }
}

// Transfer data over a domain larger than its own mesh: an integral that meets a point
// without data is a located error, not a sum of no-value markers.
TEST_F(Answers, TransferDataOutsideItsMeshIsNotSummed) {
  ASSERT_EQ(run({"transfer_source.pde"}), 0) << out();
  EXPECT_EQ(run({"transfer_wider.pde"}), 1) << out();
  std::string l = log("transfer_wider");
  EXPECT_NE(l.find("Line 13 ERROR: NO TRANSFER DATA AT THIS POINT"), std::string::npos) << l;
  // A VALUE condition on a side outside the data's mesh: the same error, at the data's name.
  EXPECT_EQ(run({"transfer_value_outside.pde"}), 1) << out();
  l = log("transfer_value_outside");
  EXPECT_NE(l.find("Line 7 ERROR: NO TRANSFER DATA AT THIS POINT"), std::string::npos) << l;
  // Data that hold a value as large as the no-data marker: no datum either.
  std::string data = slurp(dir + "/transfer_source.dat");
  size_t at = data.find("0.0499999989 0.0499999989 ");
  ASSERT_NE(at, std::string::npos);
  size_t end = data.find('\n', at);
  data.replace(at, end - at, "0.0499999989 0.0499999989 1e308");
  spit(dir + "/transfer_huge.dat", data);
  EXPECT_EQ(run({"transfer_huge.pde"}), 1) << out();
  l = log("transfer_huge");
  EXPECT_NE(l.find("Line 7 ERROR: NO TRANSFER DATA AT THIS POINT"), std::string::npos) << l;
}

// An indefinite symmetric system: CG diverges, LANCZOS takes this system and every later
// one, on a refined and on a uniform mesh. The refined run stops at its grid limit
// before its error limit, so it ends as unconverged, with its answer reported.
TEST_F(Answers, IndefiniteSystemTakesLanczos) {
  for (auto [name, rc] : {std::pair<const char *, int>{"mixed_plate", QUENDAR_UNCONVERGED}, {"mixed_plate_uniform", 0}}) {
    ASSERT_EQ(run({(std::string(name) + ".pde").c_str()}), rc) << out() << log(name);
    EXPECT_NEAR(report(name).at("wc"), 0.00126532, 2e-3 * 0.00126532) << log(name);
  }
}

// Newton on a stiff nonlinear system converges when each step's linear solve is taken
// on until it meets the step's residual, and when the change limit's clamp does not undo
// the decrease the line search found.
TEST_F(Answers, NewtonOnAStiffSystemConverges) {
  for (const char *name : {"cavity_newton", "cavity_newton_clamp"}) {
    ASSERT_EQ(run({(std::string(name) + ".pde").c_str()}), 0) << out();
    std::string l = log(name);
    EXPECT_EQ(l.find("NOT CONVERGED"), std::string::npos) << l;
    EXPECT_NE(l.find("--DONE--"), std::string::npos) << l;
  }
}

// A coupled problem whose coefficient 1/T turns over where T passes zero, from a constant
// start that meets its value conditions only after a jump across the first layer of cells:
// Newton converges from the default first mesh and from coarse and fine ones, to
// Kohlrausch's relation T^2 + phi^2 = 5 (before, the first grid's steps carried T
// through zero and the run ended unconverged, 70 times off, on most first meshes).
TEST_F(Answers, JouleHeatingConvergesFromEveryFirstMesh) {
  const double tmax = std::sqrt(5.0);
  expect_answers(*this, {{"joule_kohlrausch", "Tmax", tmax, 2e-3},
                         {"joule_kohlrausch", "rms", 0.0, 5e-3},
                         {"joule_kohlrausch_ngrid3", "Tmax", tmax, 2e-3},
                         {"joule_kohlrausch_ngrid3", "rms", 0.0, 5e-3},
                         {"joule_kohlrausch_ngrid11", "Tmax", tmax, 2e-3},
                         {"joule_kohlrausch_ngrid11", "rms", 0.0, 5e-3},
                         {"joule_kohlrausch_ngrid20", "Tmax", tmax, 2e-3},
                         {"joule_kohlrausch_ngrid20", "rms", 0.0, 5e-3}});
}

// A linear solve ends when each variable's own remaining error is below its share of
// the error limit, whatever the preconditioner: a layered 3D column whose U is small
// beside W (it stopped 1e-3 of U's range off), and a contrast of 1e9 under the diagonal
// and block preconditioners and LANCZOS (3 ERRLIM off before).
TEST_F(Answers, LinearSolvesMeetEachVariablesOwnError) {
  expect_answers(*this, {{"layered_column_solve", "u_stiff", 0.2, 2e-5},
                         {"layered_column_solve", "u_soft", 0.2, 2e-5},
                         {"layered_column_solve", "w_top", -3, 1e-4},
                         {"contrast_diagonal_precon", "centre", 0.0523909, 1e-5},
                         {"contrast_block_precon", "centre", 0.0523909, 1e-5},
                         {"contrast_lanczos", "centre", 0.0523909, 1e-5}});
}

// Newton's stop reads each variable's remaining correction: a variable creeping near a
// fold beside one that has settled ends within its error limit (it stopped 3.5 ERRLIM
// short on a small residual before). The two branches of one reaction solved side by side
// share each damped step: each ends within the error limit (1e-4) of its own range.
TEST_F(Answers, NewtonStopsOnEachVariablesRemainingCorrection) {
  expect_answers(*this, {{"fold_beside_settled", "u", 1.0851589, 1.1e-3},
                         {"fold_beside_settled", "v", 0.1405392, 2e-4},
                         {"branches_side_by_side", "u", 1.0851589, 1.09e-4},
                         {"branches_side_by_side", "v", 1.2945855, 1.29e-4}});
}

}  // namespace
