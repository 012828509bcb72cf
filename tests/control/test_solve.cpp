// Whole steady runs in process: the examples' descriptors parsed, meshed, analysed and
// solved by the real services, their answers read through point values and integrals
// and compared with the analytic solutions the descriptors state.
#include <strings.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "elements/meshes.h"
#include "model/buildeq.h"
#include "model/constrn.h"
#include "model/params.h"
#include "runtime/vectort.h"
#include "reader/rdpde.h"
#include "model/treeval.h"
#include "solver/bigmatx.h"
#include "solver/cgsolve.h"
#include "solver/coupling.h"
#include "solver/init.h"
#include "solver/loading.h"
#include "solver/fitting.h"
#include "plot/contour.h"
#include "plot/doplot.h"
#include "plot/plot2d.h"
#include "tests/control/doubles.h"

#ifndef QUENDAR_EXAMPLES
#define QUENDAR_EXAMPLES "examples"
#endif

namespace {

struct Solve : RunFixture {
  pde *p = nullptr;
  std::string cwd = std::filesystem::current_path().string();
  // A run makes its problem's folder current; the folder goes with the test.
  void TearDown() override {
    std::filesystem::current_path(cwd);
    RunFixture::TearDown();
  }
  void SetUp() override {
    RunFixture::SetUp();
    // What the program's start-up gives the reader and the evaluator.
    rdpde_init();
    rdpde_init_parse();
    treeval_init();
    buildeq_make_fitrees();
    for (int (*f)() : {loading_init, bigmatx_init, coupling_init, fitting_init, init_init, cgsolve_init}) f();
  }
  // Runs the example (its text edited by `edit`) to its end and keeps the record.
  void run(const std::string &name, const std::function<std::string(std::string)> &edit = nullptr,
           bool fails = false, const std::string &folder = QUENDAR_EXAMPLES) {
    std::ifstream in(folder + "/" + name + ".pde");
    std::stringstream text;
    text << in.rdbuf();
    std::string s = edit ? edit(text.str()) : text.str();
    spit(path(name) + ".pde", s);
    if (p) run_reset();
    control_default_services();
    settings.batch = fails;  // a failing run reports into its log
    p = open_problem(path(name) + ".pde");
    p->runflag = 1;
    run_loop();
    if (fails) return;
    ASSERT_FALSE(p->error) << log(name);
    ASSERT_EQ(p->phase, 10) << log(name) << " phase " << p->phase;
  }
  std::string log(const std::string &name) { return slurp(path(name + ".log")); }
  // After a three-dimensional run: the mesh checks pass and the cells fill the volume; the
  // smallest cell, whose number is returned.
  int32_t smallest_cell_sound(double volume) {
    static int questions;
    questions = 0;
    auto platform = report_hooks.yesno_message;
    report_hooks.yesno_message = [](uint16_t, const String *, const String *) -> uint8_t { return ++questions, 1; };
    meshes_check_mesh(&p->mesh, p->mesh.meshbasis, 1, 1);
    report_hooks.yesno_message = platform;
    EXPECT_EQ(questions, 0);
    double sum = 0, least = 1e300;
    int32_t smallest = 0;
    for (int32_t c = 1; c <= p->mesh.cells.count; c++) {
      if (!p->mesh.cells.data[c - 1].alive) continue;
      double v = meshes_cell_area_1(&p->mesh, c);
      sum += v;
      if (v < least) least = v, smallest = c;
    }
    EXPECT_NEAR(sum, volume, 1e-12 * volume);
    return smallest;
  }
  // The value of a global definition: its derived globals brought up to date first.
  // The derived global a definition's tree stands for.
  fit *global(const char *name, uint16_t *index) {
    paramset *defs = &p->formulas.definitions;
    for (uint16_t k = 1; k <= defs->count; k++)
      if (strcasecmp(defs->items[k - 1]->name.text, name) == 0) {
        *index = params_find_param_tree(defs, k, 0)->index;
        return p->formulas.fits.items[*index - 1];
      }
    return nullptr;
  }
  double value(const char *name) {
    paramset *defs = &p->formulas.definitions;
    for (uint16_t k = 1; k <= defs->count; k++) {
      if (strcasecmp(defs->items[k - 1]->name.text, name) != 0) continue;
      TreeNode *t = params_find_param_tree(defs, k, 0);
      vectorn all{};
      for (uint16_t f = 1; f <= p->formulas.fits.count; f++) vectorn_one_more(&all, f);
      double times[2] = {0, 0};
      fitting_validate_fits(p, &all, &p->solution, times);
      vectorn_free(&all);
      evalpoint pt{};
      pt.values = &p->solution;
      return treeval_eval(p, t, &pt);
    }
    ADD_FAILURE() << "no definition " << name;
    return NAN;
  }
};

std::string data_dir() { return std::string(QUENDAR_DATA) + "/solve"; }

std::string with_select(std::string text, const std::string &select) {
  return std::regex_replace(text, std::regex("\nVARIABLES"), "\nSELECT\n  " + select + "\nVARIABLES");
}

TEST_F(Solve, HeatInTheSquarePeaksAtTheSeriesValue) {
  run("heat", [](std::string s) {
    return std::regex_replace(s, std::regex("\nEQUATIONS"), "\nDEFINITIONS\n  mid = VAL(u,0.5,0.5)\nEQUATIONS");
  });
  EXPECT_NEAR(value("mid"), 0.0736713533, 1e-4 * 0.0736713533);
  EXPECT_TRUE(std::regex_search(log("heat"), std::regex("GRID 1 Nodes=\\d+ Cells=\\d+ RMS ERR=.* MAX ERR=.* "
                                                        "MEM=\\d+\n")));
}

TEST_F(Solve, ErrorLimitFromItsDefinitionOfTheStage) {
  auto define = [](const char *select, const char *value) {
    return [=](std::string s) {
      s = with_select(s, select);
      return std::regex_replace(s, std::regex("\nEQUATIONS"), std::string("\nDEFINITIONS\n  errlim = ") + value + "\nEQUATIONS");
    };
  };
  run("heat", define("NGRID=5", "2e-5"));
  EXPECT_EQ(p->errlim, 2e-5);
  run("heat", define("NGRID=5 STAGES=2", "STAGED(1e-3, 3e-4)"));
  EXPECT_EQ(p->errlim, 3e-4);
  EXPECT_EQ(p->stage, 2);
  // The refiner carries the solution's node vectors.
  ASSERT_EQ(p->carried.count, 1);
  EXPECT_EQ(p->carried.data[0], &p->solution.data[0]);
}

TEST_F(Solve, IntegralConstraintHoldsOnItsRegions) {
  run("heat", [](std::string s) {
    s = std::regex_replace(s, std::regex("\nEQUATIONS"), "\nDEFINITIONS\n  total = INTEGRAL(u)\nEQUATIONS");
    return std::regex_replace(s, std::regex("\nBOUNDARIES"), "\nCONSTRAINTS\n  INTEGRAL(u) = 0.05\nBOUNDARIES");
  });
  ASSERT_EQ(p->formulas.constraints.count, 1);
  const constraint *c = p->formulas.constraints.items[0];
  EXPECT_TRUE(vectort_if_bit(&c->sets[0], 1));
  EXPECT_EQ(vectort_count(&c->sets[3]), 0);
  EXPECT_NEAR(value("total"), 0.05, 1e-6);
}

TEST_F(Solve, DiskValueIntegralsAndBoundaryLength) {
  run("disk");
  EXPECT_NEAR(value("centre"), 0.25, 1e-4 * 0.25);
  EXPECT_NEAR(value("total"), M_PI / 8, 1e-4 * M_PI / 8);
  EXPECT_NEAR(value("area"), M_PI, 1e-4 * M_PI);
  EXPECT_NEAR(value("perimeter"), 2 * M_PI, 1e-4 * 2 * M_PI);
}

// The disk's plots after the run: the driver gives the plot point the solution, so the
// contour values are u = (1 - r^2)/4 at the plot nodes, the level u = 0.1 is traced as
// the circle r = sqrt(0.6), and the integrals are pi/8 (area) and 1/3 (along y = 0).
TEST_F(Solve, DiskPlotsFollowTheSolution) {
  run("disk");
  plotrec *contour = nullptr, *elevation = nullptr;
  for (int32_t k = 1; k <= p->plotrecs.count; k++) {
    plotrec *r = &p->plotrecs.data[k - 1];
    if (r->kind == PLOT_CONTOUR && !(r->flags & plot_bit(6))) contour = r;
    if (r->kind == PLOT_ELEVATION) elevation = r;
  }
  ASSERT_TRUE(contour && elevation);
  plot2d_point = {};
  doplot_do_plot(p, contour->number, 1, 0);
  doplot_do_plot(p, elevation->number, 1, 0);
  EXPECT_NEAR(contour->integrals.data[0].data[0], M_PI / 8, 1e-4 * M_PI / 8);
  EXPECT_NEAR(elevation->integrals.data[0].data[0], 1.0 / 3, 1e-4);
  vector2d values{}, slopes{};
  plotrange range{};
  plot2d_build_contour_data(p, p, &p->mesh, p->dimension, contour, &values, &slopes, &range, 1, 0);
  plotdata *d = &p->plotdatas.data[contour->data - 1];
  polylinelist lines{};
  ElementFrame frame;
  int32_t checked = 0;
  for (int32_t m = 1; m <= d->meshes.count; m++) {
    const tmesh &t = d->meshes.data[m - 1];
    for (int32_t n = 1; n <= t.nodes.count; n++, checked++) {
      double x = t.nodes.data[n - 1].x, y = t.nodes.data[n - 1].y;
      EXPECT_NEAR(values.data[m - 1].data[n - 1], (1 - x * x - y * y) / 4, 1e-4) << x << "," << y;
    }
    for (int32_t c = 1; c <= t.source.count; c++) poly_cell(&values.data[m - 1], p, &lines, &t, c, 0.1, 0, &frame, 0.02);
  }
  int32_t vertices = 0;
  for (int32_t i = 0; i < lines.count; i++)
    for (int32_t j = 0; j < lines.data[i].count; j++, vertices++)
      EXPECT_NEAR(std::hypot(lines.data[i].data[j].x, lines.data[i].data[j].y), std::sqrt(0.6), 1e-3);
  EXPECT_GT(checked, 100);
  EXPECT_GT(vertices, 30);
  contour_free_polylines(&lines);
  vector2d_free(&values, 1);
  vector2d_free(&slopes, 1);
}

TEST_F(Solve, SquareSineSolution) {
  run("square");
  EXPECT_NEAR(value("centre"), 1.0, 1e-4);
  EXPECT_NEAR(value("total"), 4 / (M_PI * M_PI), 1e-4 * 4 / (M_PI * M_PI));
}

// The extruded cube: the sine's centre value and integral; with a steep Gaussian source
// on a coarse mesh the driver bisects tetrahedra until the estimate falls below ERRLIM,
// each regrid lowering it, the refined mesh sound and the peak value found.
TEST_F(Solve, CubeSineAndSteepRefinement) {
  run("cube");
  EXPECT_NEAR(value("centre"), 1.0, 1e-3);
  EXPECT_NEAR(value("total"), 8 / (M_PI * M_PI * M_PI), 1e-3 * 8 / (M_PI * M_PI * M_PI));
  run("cube", [](std::string s) {
    s = std::regex_replace(s, std::regex("\nCOORDINATES"), "\nSELECT\n  NGRID=3 QUANTIZE=OFF ERRLIM=1e-4\nCOORDINATES");
    s = std::regex_replace(s, std::regex("exact = sin.*\n"), "r2 = (x-0.5)^2 + (y-0.5)^2 + (z-0.5)^2\n  exact = exp(-40*r2)\n");
    s = std::regex_replace(s, std::regex("3\\*pi\\^2\\*exact"), "(240 - 6400*r2)*exact");
    s = std::regex_replace(s, std::regex("VALUE\\(u\\)=0"), "VALUE(u)=exact");
    return s;
  });
  std::string l = log("cube");
  std::vector<double> errs;
  std::smatch g;
  for (auto it = l.cbegin(); std::regex_search(it, l.cend(), g, std::regex("RMS ERR= *([0-9.e+-]+)")); it = g.suffix().first)
    errs.push_back(std::stod(g[1]));
  ASSERT_GE(errs.size(), 3u) << l;
  for (size_t i = 1; i < errs.size(); i++) EXPECT_LT(errs[i], errs[i - 1]) << l;
  EXPECT_LT(errs.back(), 1e-4);
  EXPECT_NEAR(value("centre"), 1.0, 0.02);
  EXPECT_GT(smallest_cell_sound(1), 0);
}

// The L-shape (-1,1)^2 less [0,1]x[-1,0] extruded to z in [0,1], u = r^(2/3) sin(2 theta/3)
// on its sides: the driver grades the mesh toward the re-entrant edge x = y = 0.
TEST_F(Solve, ExtrudedLShapeGradesTowardTheReentrantEdge) {
  run("cube", [](std::string) {
    return "SELECT NGRID=3 QUANTIZE=OFF ERRLIM=3e-5 ORDER=2 COORDINATES CARTESIAN3 VARIABLES u DEFINITIONS "
           "uexact = (x^2+y^2)^(1/3)*SIN(2*ATAN2(y,x)/3) EQUATIONS div(grad(u)) = 0 EXTRUSION z = 0, 1 "
           "BOUNDARIES REGION 1 START(-1,-1) VALUE(u) = uexact LINE TO (0,-1) TO (0,0) TO (1,0) TO (1,1) "
           "TO (-1,1) TO FINISH END";
  });
  EXPECT_NE(log("cube").find("GRID 3 "), std::string::npos) << log("cube");
  int32_t c = smallest_cell_sound(3);
  ASSERT_GT(c, 0);
  // Every cell below twice the smallest volume lies within 0.1 of the edge.
  double least = meshes_cell_area_1(&p->mesh, c);
  int small = 0;
  for (int32_t k = 1; k <= p->mesh.cells.count; k++) {
    if (!p->mesh.cells.data[k - 1].alive || meshes_cell_area_1(&p->mesh, k) >= 2 * least) continue;
    small++;
    double d = 1e9;
    for (int i = 0; i < 4; i++) {
      const MeshNode &N = p->mesh.nodes.data[p->mesh.cells.data[k - 1].nodes.data[i] - 1];
      d = std::min(d, std::hypot(N.x, N.y));
    }
    EXPECT_LT(d, 0.1) << k;
  }
  EXPECT_GT(small, 3);
}

// Extruded descriptors whose answers their comments state: definitions given per layer
// and per region reach every layer copy of the region (series conduction through the
// layers and across the regions), and integrals select by region, layer, surface and
// path, each selected face once from one side.
TEST_F(Solve, ExtrudedLayersAndRegionsKeepTheirDefinitionsAndSelections) {
  struct Case {
    const char *file;
    std::vector<std::pair<const char *, double>> values;
  } cases[] = {
      {"box3d", {{"mid", 1.0 / 3}, {"peak", 25.0 / 72}, {"total", 11.0 / 24}}},
      {"lay3_2", {{"u1", 4.0 / 9}, {"u2", 5.0 / 9}}},
      {"reg3d", {{"low", 0.8}, {"high", 0.8}}},
      {"ex1", {{"all", 1.02}, {"r1", 0.924}, {"r2", 0.096}, {"kall", 1.524}, {"surf", 6.2 + std::sqrt(1.04)},
               {"r1l2", 0.504}, {"r2l2", 0.096}, {"kr1l2", 1.008}, {"l2", 0.6}, {"khigh", 2}, {"klow", 1}}},
      {"ex2", {{"kall", 1.5}, {"khigh", 2}, {"klow", 1}, {"umid", 1.0 / 12}, {"kr1l2", 1}, {"r1l1", 0.5}}},
      {"ex3", {{"kall", 2}, {"khigh", 2}, {"klow", 2}, {"umid", 0.0625}, {"kr1l2", 1}, {"r1l1", 0.5}}},
      {"r1_integral_layers", {{"all", 2.5}, {"outer", 1.5}, {"strip", 1}, {"voided", 0}, {"middle", 0.5},
                              {"outermid", 0.5}, {"stripmid", 0}, {"high", 1}}},
      {"selections", {{"cube", 6},    {"r1", 7.5},       {"top", 1},      {"mid", 1},         {"midinner", 0.25},
                      {"walls", 4},   {"wallslow", 2},   {"r2l2", 1.5},   {"r2high", 1.5},    {"r2l1", 1.5},
                      {"r2up", 0.25}, {"r2down", 0.25},  {"midup", 1},    {"topr2", 0.25},    {"midr2high", 0.25},
                      {"fmid", 1},    {"fmidup", -1},    {"fmidhigh", -1}, {"ftop", 1},       {"fall", 0},
                      {"vr2l2", 0.125}, {"vlow", 0.5},   {"vr2high", 0.125}}},
  };
  for (const Case &c : cases) {
    run(c.file, nullptr, false, std::string(QUENDAR_DATA) + "/extruded");
    for (const auto &[name, exact] : c.values)
      EXPECT_NEAR(value(name), exact, 1e-4 * std::max(1.0, std::fabs(exact))) << c.file << " " << name;
  }
  // Layers named in the list form, kept as written, are selected by name in any case.
  run("box3d", [](std::string s) {
    s = std::regex_replace(s, std::regex("z = 0, 1, 2"), "z = 0, 'lower' 1, 'upper' 2");
    return std::regex_replace(s, std::regex("LAYER 2 k"), "LAYER 'Upper' k");
  }, false, std::string(QUENDAR_DATA) + "/extruded");
  EXPECT_NEAR(value("mid"), 1.0 / 3, 1e-4);
}

// An elevation through both layers of region 1, selected ON REGION 1, runs the whole
// height: the integral of u along it is 11/24 (the layer below alone would give 1/4).
TEST_F(Solve, ExtrudedElevationOnARegionCrossesItsLayers) {
  run("box3d", [](std::string s) {
    return std::regex_replace(s, std::regex("\nEND"), "\nPLOTS ELEVATION(u) FROM (0.5,0.5,0) TO (0.5,0.5,2) ON REGION 1\nEND");
  }, false, std::string(QUENDAR_DATA) + "/extruded");
  ASSERT_EQ(p->plotrecs.count, 1);
  plotrec *elevation = &p->plotrecs.data[0];
  ASSERT_EQ(elevation->kind, PLOT_ELEVATION);
  plot2d_point = {};
  doplot_do_plot(p, elevation->number, 1, 0);
  EXPECT_NEAR(elevation->integrals.data[0].data[0], 11.0 / 24, 1e-4);
}

// Refinement in a layer pinched to zero thickness: a new corner pushed onto the kinked
// sheet must not flatten or invert a half. An independent reader of the transferred mesh
// finds no tetrahedron of non-positive volume, no two corners at one point and no face
// shared by three cells, and the cells fill the volume.
TEST_F(Solve, RefinedPinchedLayerKeepsEveryTetrahedronPositive) {
  run("e2n30000", nullptr, false, std::string(QUENDAR_DATA) + "/extruded");
  ASSERT_NE(log("e2n30000").find("GRID 2 "), std::string::npos) << log("e2n30000");
  std::string cmd = std::string("python3 ") + QUENDAR_MESHCHECK + " " + path("e2n30000.dat") + " --vol 0.96 2>&1";
  FILE *f = popen(cmd.c_str(), "r");
  ASSERT_TRUE(f);
  char line[512] = "";
  if (!fgets(line, sizeof line, f)) line[0] = 0;
  EXPECT_EQ(pclose(f), 0) << line;
  EXPECT_NE(std::string(line).find("inverted=0 coincident=0 overshared=0"), std::string::npos) << line;
}

TEST_F(Solve, SquareErrorFallsWithTheSpacing) {
  for (int order : {1, 2}) {
    std::vector<double> errs;
    for (double h : {0.1, 0.05, 0.025}) {
      std::ostringstream sel;
      sel << "REGRID=OFF ERRLIM=1e-9 ORDER=" << order << " NGRID=" << int(std::lround(1 / h));
      run("square", [&](std::string s) { return with_select(s, sel.str()); });
      errs.push_back(value("l2err"));
    }
    double rate = std::log2(errs[1] / errs[2]);
    if (getenv("SHOW")) printf("order %d errors %g %g %g rate %g\n", order, errs[0], errs[1], errs[2], rate);
    EXPECT_GE(rate, order == 2 ? 2.7 : 1.8) << "ORDER " << order << " errors " << errs[0] << " " << errs[1] << " "
                                             << errs[2];
  }
}

TEST_F(Solve, NonlinearStripMatchesTheImplicitSolution) {
  run("strip");
  EXPECT_NEAR(value("middle"), 0.5960716380, 1e-5);
  // The logged Newton errors fall.
  std::string l = log("strip");
  std::regex step("Newton Step (\\d+) Error= ?([0-9.eE+-]+)");
  std::vector<double> e;
  for (std::sregex_iterator it(l.begin(), l.end(), step), end; it != end; ++it) e.push_back(std::stod((*it)[2]));
  ASSERT_GE(e.size(), 2u);
  EXPECT_LT(e.back(), e.front());
}

// Settings the drivers must survive: no clamp, a tiny iteration budget, no refinement
// of the start, a Newton limit.
TEST_F(Solve, StripSolvesUnderDriverSettings) {
  for (const char *select : {"CHANGELIM=0", "ITERATE=3", "CHANGELIM=0 ITERATE=3", "INITGRIDLIMIT=0", "NEWTON=6"}) {
    run("strip", [&](std::string s) { return with_select(s, select); });
    EXPECT_NEAR(value("middle"), 0.5960716380, 1e-4) << select;
  }
  // The linear driver's first pass divides the budget by 4: ITERATE 3 still iterates.
  for (const char *select : {"ITERATE=3", "ITERATE=-5"}) {
    run("heat", [&](std::string s) { return with_select(s, select); });
    EXPECT_EQ(p->iterate, select[8] == '3' ? 3 : -5);
  }
}

// The run log with times and numbers masked.
std::string masked(const std::string &log) {
  std::string body = log.substr(log.find('\n', log.find("START")) + 1);
  body = std::regex_replace(body, std::regex("(^|\\n) *\\d+:\\d\\d(:\\d\\d)?\\| "), "$1T| ");
  return std::regex_replace(body, std::regex("= ?-?[0-9][0-9.eE+-]*"), "=#");
}

TEST_F(Solve, LinearProblemByNewtonConvergesWithFallingErrors) {
  run("heat", [](std::string s) {
    s = with_select(s, "NONLINEAR=ON REGRID=OFF");
    return std::regex_replace(s, std::regex("\nEQUATIONS"), "\nDEFINITIONS\n  mid = VAL(u,0.5,0.5)\nEQUATIONS");
  });
  EXPECT_NEAR(value("mid"), 0.0736713533, 1e-4 * 0.0736713533);
  std::string l = log("heat");
  std::regex step("Newton Step \\d+ Error= ?([0-9.eE+-]+)");
  double last = 1e300;
  for (std::sregex_iterator it(l.begin(), l.end(), step), end; it != end; ++it) {
    double e = std::stod((*it)[1]);
    EXPECT_LT(e, last);
    last = e;
  }
}

TEST_F(Solve, RunLogLines) {
  // NEWTON 1: at most one step on the grid, logged, then the grid line; one step leaves
  // the strip unconverged (its start, lifted to the value conditions, takes two), and the
  // log says so once.
  run("strip", [](std::string s) { return with_select(s, "NEWTON=1 REGRID=OFF"); });
  EXPECT_EQ(masked(log("strip")),
            "T| Newton Step 1 Error=#\n"
            "T| GRID 1 Nodes=# Cells=# RMS ERR=# MAX ERR=# MEM=#\nT| NEWTON LIMIT: NOT CONVERGED\nT| --DONE--\n");
  // Left to converge, the strip says nothing of limits.
  run("strip", [](std::string s) { return with_select(s, "REGRID=OFF"); });
  EXPECT_EQ(log("strip").find("NOT CONVERGED"), std::string::npos) << log("strip");
  // A start that already solves the problem: one Newton step on the grid.
  run("heat", [](std::string s) {
    s = with_select(s, "NONLINEAR=ON REGRID=OFF");
    s = std::regex_replace(s, std::regex("div\\(grad\\(u\\)\\) \\+ 1 = 0"), "div(grad(u)) = 0");
    s = std::regex_replace(s, std::regex("VALUE\\(u\\)=0"), "VALUE(u)=x+2*y");
    return std::regex_replace(s, std::regex("\nEQUATIONS"), "\nINITIAL VALUES\n  u = x + 2*y\nEQUATIONS");
  });
  EXPECT_EQ(masked(log("heat")),
            "T| Newton Step 1 Error=#\nT| GRID 1 Nodes=# Cells=# RMS ERR=# MAX ERR=# MEM=#\nT| --DONE--\n");
  // The linear driver logs only its grid.
  run("heat", [](std::string s) { return with_select(s, "REGRID=OFF"); });
  EXPECT_EQ(masked(log("heat")), "T| GRID 1 Nodes=# Cells=# RMS ERR=# MAX ERR=# MEM=#\nT| --DONE--\n");
}

TEST_F(Solve, RegridsUpToTheGridLimit) {
  // A tight limit refines until the grid limit stops it (the headless question says No).
  run("heat", [](std::string s) { return with_select(s, "ERRLIM=1e-7 GRIDLIMIT=2"); }, false);
  EXPECT_EQ(masked(log("heat")),
            "T| GRID 1 Nodes=# Cells=# RMS ERR=# MAX ERR=# MEM=#\nT| GRID 2 Nodes=# Cells=# RMS ERR=# MAX ERR=# MEM=#\n"
            "T| GRID LIMIT: NOT CONVERGED\nT| --DONE--\n");
  // Refinement keeps the answer.
  run("disk", [](std::string s) { return with_select(s, "ERRLIM=1e-5"); });
  EXPECT_NEAR(value("centre"), 0.25, 1e-4 * 0.25);
  EXPECT_GE(p->regrids, 2);
}

TEST_F(Solve, SmoothingKeepsLinearStartsAndRefusesOtherBases) {
  run("heat");
  vectord *u = &p->solution.data[0];
  for (int32_t n = 1; n <= p->mesh.nodes.count; n++)
    u->data[n - 1] = p->mesh.nodes.data[n - 1].x + 2 * p->mesh.nodes.data[n - 1].y;
  vectord before{};
  vectord_copyto_0(&before, u);
  p->smoothinit = 1;
  smoothinit(p);
  for (int32_t n = 0; n < u->count; n++) EXPECT_NEAR(u->data[n], before.data[n], 1e-8);
  EXPECT_EQ(p->smoothinit, 1);
  int32_t basis = p->mesh.meshbasis;
  p->mesh.meshbasis = 10;  // tet20
  smoothinit(p);
  p->mesh.meshbasis = basis;
  EXPECT_EQ(p->smoothinit, 0);
  for (int32_t n = 0; n < u->count; n++) EXPECT_NEAR(u->data[n], before.data[n], 1e-8);
  vectord_free(&before);
}


TEST_F(Solve, FitsSavedCopiesExtremesAndPointValues) {
  run("fits", nullptr, false, data_dir());
  // FIT of weight 0 is the L2 projection: a quadratic is reproduced by the quadratic
  // basis; smoothing leaves a linear function as it is; SAVE copies the nodal values.
  EXPECT_LT(value("errq"), 1e-7);
  EXPECT_LT(value("errl"), 1e-6);
  EXPECT_LT(value("errs"), 1e-9);
  // q - x is smallest at (0.5, 0) on the nodes; q is largest at (1, 1).
  EXPECT_NEAR(value("lo"), -0.25, 1e-7);
  EXPECT_NEAR(value("lox"), 0.5, 1e-7);
  EXPECT_NEAR(value("hi"), 4.0, 1e-7);
  EXPECT_NEAR(value("hix"), 1.0, 1e-7);
  EXPECT_NEAR(value("hiy"), 1.0, 1e-7);
  EXPECT_NEAR(value("inside"), 0.0625 + 0.125 + 0.5, 1e-7);
  // A point outside the domain leaves the value and the found cell as they were.
  uint16_t k = 0;
  fit *f = global("outside", &k);
  ASSERT_TRUE(f);
  EXPECT_EQ(value("outside"), 0.0);
  EXPECT_EQ(f->cell, 0u);
}

TEST_F(Solve, SelfDependentGlobalIsValidatedOnce) {
  run("fits", nullptr, false, data_dir());
  uint16_t k = 0;
  fit *f = global("hi", &k);
  ASSERT_TRUE(f);
  vectorn_one_more(&f->deps, k);
  fitting_invalidate_fits(p, 1);
  EXPECT_NEAR(value("hi"), 4.0, 1e-7);
  EXPECT_TRUE(p->globals.items[k - 1].valid);
}

TEST_F(Solve, SelectionErrorsAreLocated) {
  struct Case {
    const char *integral, *message;
  } cases[] = {
      {"INTEGRAL(u, 'nowhere')", "Can't Find Region NOWHERE"},
      {"BINTEGRAL(u, 'nowhere')", "Can't Find Boundary NOWHERE"},
      {"INTEGRAL(u, 'cut')", "CUT Does not Enclose a REGION"},
      {"INTEGRAL(u, 3)", "Can't Find Region 3"},
      {"INTEGRAL(u, 2)", "2 Does not Enclose a REGION"},
  };
  for (const Case &c : cases) {
    run("heat", [&](std::string s) {
      s = std::regex_replace(s, std::regex("\nEQUATIONS"), std::string("\nDEFINITIONS\n  w = ") + c.integral + "\nEQUATIONS");
      return std::regex_replace(s, std::regex("TO FINISH"), "TO FINISH\n  FEATURE 'cut' START(0.2,0.2) LINE TO (0.8,0.8)");
    }, true);
    EXPECT_NE(log("heat").find(c.message), std::string::npos) << c.integral << "\n" << log("heat");
  }
  // A region number that selects nothing does not integrate the whole domain; in 3D a
  // layer number beyond the layers neither.
  run("r4_empty_selection", nullptr, true, std::string(QUENDAR_DATA) + "/extruded");
  EXPECT_NE(log("r4_empty_selection").find("Line 11 ERROR: Can't Find Region 3"), std::string::npos)
      << log("r4_empty_selection");
  run("r1_integral_layers", [](std::string s) { return std::regex_replace(s, std::regex("INTEGRAL\\(1,2,2\\)"), "INTEGRAL(1,2,4)"); },
      true, std::string(QUENDAR_DATA) + "/extruded");
  EXPECT_NE(log("r1_integral_layers").find("Can't Find Layer 4"), std::string::npos) << log("r1_integral_layers");
}

// Every integral form on the two-region, two-layer box and its plane: a selection by
// names, numbers or any mix integrates what it names (hand values); one that names
// nothing, or names things that meet nowhere, is a located error saying what it read.
TEST_F(Solve, EveryIntegralSelectionIsCheckedOrExact) {
  struct Case {
    const char *file, *integral, *message;  // message null: the value is exact
    double exact;
  } cases[] = {
      {"selections", "INTEGRAL(1,'inner',2)", nullptr, 0.125},
      {"selections", "INTEGRAL(1,1,'high')", nullptr, 0.375},
      {"selections", "INTEGRAL(1,'ALL','low')", nullptr, 0.5},
      {"selections", "SINTEGRAL(1,'mid',2,'high')", nullptr, 0.25},
      {"selections", "SINTEGRAL(1,'top','inner',2)", nullptr, 0.25},
      {"selections", "SINTEGRAL(1,'mid',2,2)", nullptr, 0.25},
      {"selections", "SINTEGRAL(1,2,'UPPER',2)", nullptr, 0.25},
      {"selections", "SINTEGRAL(1,2,2,'UPPER')", nullptr, 0.25},
      {"selections", "INTEGRAL(1,'low')", "Can't Find Region LOW (selector 1 read as region; LOW is a layer)", 0},
      {"selections", "INTEGRAL(1,'inner','top')", "Can't Find Layer TOP (selector 2 read as layer; TOP is a surface)", 0},
      {"selections", "INTEGRAL(1,3)", "Can't Find Region 3 (selector 1)", 0},
      {"selections", "INTEGRAL(1,1,3)", "Can't Find Layer 3 (selector 2)", 0},
      {"selections", "SINTEGRAL(1,'nowhere')", "Can't Find Region NOWHERE (selector 1)", 0},
      {"selections", "SINTEGRAL(1,'mid',3)", "Can't Find Region 3 (selector 2)", 0},
      {"selections", "SINTEGRAL(1,'mid',2,3)", "Can't Find Layer 3 (selector 3)", 0},
      {"selections", "SINTEGRAL(1,'bot',2,'high')", "Can't Find Surface BOT, 2, HIGH", 0},
      {"selections_plane", "BINTEGRAL(1,2,1)", nullptr, 2},
      {"selections_plane", "SINTEGRAL(1,2)", nullptr, 2},
      {"selections_plane", "BINTEGRAL(1,7)", "Can't Find Boundary 7 (selector 1)", 0},
      {"selections_plane", "BINTEGRAL(1,1,9)", "Can't Find Region 9 (selector 2)", 0},
      {"selections_plane", "BINTEGRAL(1,'outer',5)", "Can't Find Region 5 (selector 2)", 0},
      {"selections_plane", "BINTEGRAL(1,'outer',2)", "Can't Find Boundary OUTER on Region 2", 0},
      {"selections_plane", "SINTEGRAL(1,'inner')", "INNER Does not Label a BOUNDARY", 0},
      {"selections_plane", "BINTEGRAL(1,'nowhere')", "Can't Find Boundary NOWHERE (selector 1)", 0},
      {"selections_plane", "INTEGRAL(1,1,2)", "Can't Find Layer 2 (selector 2)", 0},
  };
  for (const Case &c : cases) {
    run(c.file, [&](std::string s) {
      return std::regex_replace(s, std::regex("\nEQUATIONS"), std::string("\n  w = ") + c.integral + "\nEQUATIONS");
    }, c.message != nullptr, std::string(QUENDAR_DATA) + "/extruded");
    if (c.message) EXPECT_NE(log(c.file).find(std::string("ERROR: ") + c.message), std::string::npos) << c.integral << "\n" << log(c.file);
    else EXPECT_NEAR(value("w"), c.exact, 1e-6) << c.integral;
  }
}

TEST(SteadyDriver, NewtonStepLimit) {
  EXPECT_EQ(cgsolve_step_limit(0, 0.5), 24);
  EXPECT_EQ(cgsolve_step_limit(0, 2.0), 21);
  EXPECT_EQ(cgsolve_step_limit(0, 0.0), 20);
  EXPECT_EQ(cgsolve_step_limit(0, 5.0), 20);
  EXPECT_EQ(cgsolve_step_limit(3, 0.5), 3);
}

}  // namespace
