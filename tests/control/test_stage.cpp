// The stage work of the run controller, seen through the loop: the SELECT
// defaults of every parse, sizes, mesh generation, the plot-file header.
#include <algorithm>
#include <cmath>

#include "plot/doplot.h"
#include "plot/plot.h"
#include "solver/fitting.h"
#include "tests/control/doubles.h"

namespace {

struct Stage : RunFixture {
  pde *open(const char *name) {
    spit(path(name) + ".pde", "TITLE 'a'\nEND\n");
    pde *p = open_problem(path(name) + ".pde");
    p->runflag = 1;
    return p;
  }
};

TEST_F(Stage, EveryParseStartsFromTheSelectDefaults) {
  pde *p = open("a");
  ASSERT_EQ(control_loadup(p), PHASE_NEW);
  // Values an earlier parse could have left, and switches the preset must keep.
  p->stop = p->stopped = p->error = p->close = p->skipstages = p->runflag = 1;
  p->eigen = p->timedep = p->windowsbuilt = p->autostage = p->nonlinear = p->notifydone = 1;
  p->order = 3, p->errlim = 0.5, p->changelim = 4, p->overshoot = 9, p->symmetric = 0, p->paintregions = 1;
  p->stages = p->dimension = p->nvars = p->modes = 7, p->cycle = 99, p->time = 4;
  p->dbg_buildeq = p->dbg_treeval = p->dbg_solve = 1;
  p->ngridx = 17, p->exportgrid = 18, p->finderbins = 19, p->cscale = 2.5, p->starttime_value = 1.5;
  p->curveall = p->stagegrid = p->thermal_colors = p->diprecon = 1, p->stereo = 2;
  p->dbg_fitting = p->dbg_init = p->dbg_map = 1;
  p->ngrid = 9, p->deadtime = 0, p->option = 3, p->printcolour = 2, p->metafile = 1, p->overlay = p->hex = 1;
  p->printmatrix = p->printgrid = 1;
  p->domainonly = 1;  // the editor's Domain command started this parse
  strings_copyto_1(&p->axisname[3], "T");
  control_services.parse = [](pde *, uint16_t, uint8_t) {};
  control_parse_file(p);
  EXPECT_EQ(p->phase, PHASE_MESH);
#define F(field, want) {#field, double(want), double(p->field)}
  const struct {
    const char *name;
    double want, got;
  } table[] = {
      F(stop, 0), F(stopped, 0), F(error, 0), F(close, 0), F(skipstages, 0), F(runflag, 0), F(eigen, 0),
      F(timedep, 0), F(windowsbuilt, 0), F(basis, 5), F(stages, 0), F(dimension, 0), F(nvars, 0), F(modes, 0),
      F(cycle, 0), F(rmserr, 1), F(maxerr, 1), F(time, 0), F(initgrid, 30), F(mesh.domain->grofac, 0.25),
      F(angle, 2 * M_PI), F(statuslimit, 200), F(statusms, 30000), F(domainonly, 1),
      // Integers.
      F(order, 2), F(initgridlimit, 5), F(gridlimit, 8), F(nodelimit, 1000000), F(iterate, 0), F(linupdate, 5),
      F(newton, 0), F(torder, 1), F(nrupdate, 1), F(area_cutoff, 2), F(tnorm, 2), F(select_subspace, 0),
      F(font, 0), F(delay, 0), F(bandlu, 0), F(contourgrid, 51), F(surfacegrid, 51), F(vectorgrid, 41),
      F(elevationgrid, 401), F(cdfgrid, 51), F(contours, 15), F(colorcycle, 64), F(loglimit, 15),
      F(ngrid, 0), F(deadtime, 30000), F(option, 0), F(printcolour, 0), F(metafile, 0), F(overlay, 0), F(hex, 0),
      F(printmatrix, 0), F(printgrid, 0),
      // Reals; CHANGELIM and OVERSHOOT are chosen by sizes.
      F(errlim, 0.001), F(errfac, 0.5), F(aspect, 4), F(gridarc, 30), F(changelim, -1), F(changeclamp, 10),
      F(coersce, 100000), F(control2, std::sqrt(2.0)), F(deltat, 0), F(endtime, 0), F(extrap, 1),
      F(hysteresis, 0.5), F(mergerr, 0.01), F(minnlstep, 0.001), F(nlslope1, 0.1), F(nlslope2, 0.2),
      F(overshoot, -1), F(oversplit, 0.5), F(sensitivity, 1), F(steepness, 0.5), F(tcenter, 0.5), F(tgrowth, 1.4),
      F(upfactor, 1), F(deadshare, 0),
      // Switches on; PAINTMATERIALS on is the PAINTREGIONS byte off.
      F(autohist, 1), F(autostage, 1), F(cse, 1), F(curvegrid, 1), F(eispack, 1), F(merge, 1), F(paintgrid, 1),
      F(planking, 1), F(plotintegrate, 1), F(quantize, 1), F(regrid, 1), F(reorder, 1), F(rolltable, 1),
      F(scaling, 1), F(statusgrid, 1), F(surfplots, 1), F(upwind, 1), F(paintregions, 0),
      // Switches off; NONSYMMETRIC off is the symmetric byte set.
      F(busymon, 0), F(cdfdouble, 0), F(cdfextend, 0), F(dense, 0), F(fillin, 0), F(firstparts, 0), F(fixdt, 0),
      F(fullerr, 0), F(hardmonitor, 0), F(moving, 0), F(nbcmeasure, 0), F(nominmax, 0), F(nonlinear, 0),
      F(symmetric, 1), F(notifydone, 0), F(notips, 0), F(painted, 0), F(pauseplots, 0), F(plotmeshupdate, 0),
      F(printmerge, 0), F(rooterr, 0), F(smoothinit, 0), F(symscale, 0), F(triginit, 0), F(v216integral, 0),
      F(ataprecon, 0), F(biprecon, 0), F(fill_lu, 0), F(forcegrid, 0), F(galerkin_error, 0), F(center_error, 0),
      F(curvature_error, 0), F(iccg, 0), F(lanczos, 0), F(precondition, 0), F(vandenberg, 0),
      F(dbg_buildeq, 0), F(dbg_treeval, 0), F(dbg_solve, 0),
      // Left alone by the preset.
      F(ngridx, 17), F(exportgrid, 18), F(finderbins, 19), F(cscale, 2.5), F(starttime_value, 1.5),
      F(curveall, 1), F(stagegrid, 1), F(thermal_colors, 1), F(diprecon, 1), F(stereo, 2), F(dbg_fitting, 1),
      F(dbg_init, 1), F(dbg_map, 1),
  };
#undef F
  for (const auto &row : table) EXPECT_DOUBLE_EQ(row.got, row.want) << row.name;
  EXPECT_EQ(p->axisname[3].length, 0);
  // The kept FITTING switch reaches the fitting module's two flags.
  EXPECT_EQ(fitting_debug * 10 + fitting_debug2, 11);
  fitting_debug = fitting_debug2 = 0;
}

// DEBUG PLOT reaches the plot modules' two flags, the driver's one less above 1.
TEST_F(Stage, DebugPlotSetsThePlotFlags) {
  static uint8_t level;
  control_services.parse = [](pde *q, uint16_t, uint8_t) { q->dbg_plot = level; };
  const uint8_t rows[][3] = {{0, 0, 0}, {1, 1, 1}, {2, 2, 1}, {5, 5, 4}};
  pde *p = open("d");
  ASSERT_EQ(control_loadup(p), PHASE_NEW);
  for (const auto &r : rows) {
    level = r[0];
    control_parse_file(p);
    EXPECT_EQ(plot_debug, r[1]) << int(r[0]);
    EXPECT_EQ(doplot_debug, r[2]) << int(r[0]);
  }
  plot_debug = doplot_debug = 0;
}

// What sizes chose for one kind of problem, as the solver sees it.
// What sizes chose, as "basis basis1 | interior rule, points | side set | subspace |
// CHANGELIM OVERSHOOT ENDTIME | first centre coordinate | mesh count, pool".
std::string sized(const pde *p) {
  char t[200];
  snprintf(t, sizeof t, "%d %d|%d %d|%d|%d|%g %g %g|%.12f|%d %d", p->basis, p->basis1, p->vrule, p->vquad.count,
           p->sset, p->subspace, p->changelim, p->overshoot, p->endtime, p->cellcentre[0], p->meshcount,
           p->work.capacity);
  return t;
}

TEST_F(Stage, SizesFollowsDimensionOrderAndKind) {
  // Quadratic triangles: tri6 and tri3, the 7-point rule, the centre (1/3, 1/3, 1/3);
  // cubic: tri9, never tri10; tetrahedra: tet10 and tet4. Eigenvalue subspaces:
  // min(modes + 8, 2 modes) unless SUBSPACE is given.
  const struct {
    const char *name;
    Script s;
    const char *want;
  } cases[] = {
      {"quadratic", {}, "5 4|8 7|3|0|0.5 0.001 0|0.333333333333|10 20"},
      {"cubic_time", {.order = 3, .timedep = true, .endvalue = 7.5}, "6 4|9 13|4|0|2 0.001 7.5|0.333333333333|10 20"},
      {"tet", {.dimension = 3}, "9 8|10 5|8|0|0.5 0.001 0|0.250000000000|10 20"},
      {"eig4", {.modes = 4, .eigen = true}, "5 4|8 7|3|8|0.5 1e-06 0|0.333333333333|10 20"},
      {"eig20", {.modes = 20, .eigen = true}, "5 4|8 7|3|28|0.5 1e-06 0|0.333333333333|10 20"},
      {"eig_sub", {.modes = 20, .subspace = 5, .eigen = true}, "5 4|8 7|3|5|0.5 1e-06 0|0.333333333333|10 20"},
      {"kept", {.overshoot = 0.01, .changelim = 0.7}, "5 4|8 7|3|0|0.7 0.01 0|0.333333333333|10 20"},
      {"zero", {.overshoot = 0}, "5 4|8 7|3|0|0.5 0.001 0|0.333333333333|10 20"},
      {"ngrid", {.ngrid = 24}, "5 4|8 7|3|0|0.5 0.001 0|0.333333333333|24 20"},
  };
  for (const auto &c : cases) {
    scripts[c.name] = c.s;
    scripts[c.name].nvars = 0;  // sizes is what is looked at; no solve
    open(c.name);
  }
  run_loop();
  for (size_t k = 0; k < std::size(cases); k++) EXPECT_EQ(sized(pdedat_table[k + 1]), cases[k].want) << cases[k].name;
  EXPECT_EQ(pdedat_table[1]->squad.side[0].count, 3);  // 3-point line rules on the sides
}

TEST_F(Stage, OneDimensionalProblemIsRefused) {
  scripts["line"].dimension = 1;
  pde *p = open("line");
  run_loop();
  EXPECT_EQ(p->phase, PHASE_EDIT);
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown.back().message, "1D not implemented");
}

TEST_F(Stage, GridgenExtrudesA3DBaseMesh) {
  pde *p = open("a");
  scripts["a"].dimension = 3;
  scripts["a"].layers = 4;
  run_loop();
  EXPECT_EQ(p->phase * 10 + p->layers, PHASE_DONE * 10 + 4);
  EXPECT_EQ(calls[1] + ", " + calls[2], "mesh a, grid3d a");
}

TEST_F(Stage, MesherResultBecomesThePhase) {
  // A stop during meshing leaves the phase; a domain-only display goes back to
  // phase 4 without an extrusion.
  pde *stopped = open("stopped"), *domain = open("domain"), *failing = open("failing");
  scripts["domain"].dimension = 3;
  for (pde *p : {domain, failing}) {
    p->runflag = 0;
    p->phase = PHASE_START;  // the editor's Domain command
    p->domainonly = 1;
  }
  scripts["failing"].parse_fails = true;
  mesher = [](pde *p) {
    if (p->domainonly) return int32_t(PHASE_NEW);
    p->stop = 1;  // the Stop command, while the mesher pumped messages
    return p->phase;
  };
  run_loop();
  EXPECT_EQ(stopped->phase, PHASE_MESH);
  EXPECT_EQ(domain->phase * 10 + domain->domainonly, PHASE_EDIT * 10);  // back in the editor after the display
  EXPECT_EQ(failing->phase * 10 + failing->domainonly, PHASE_EDIT * 10) << "a failed parse drops the request";
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "grid3d domain"), 0);
  // The editor's Run command: a full mesh this time.
  mesher = nullptr;
  domain->phase = PHASE_START;
  quendar_running = 1;
  run_loop();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "grid3d domain"), 1);
}

// Little-endian fields read from raw bytes, independent of the binary-file module.
struct Bytes {
  std::string b;
  size_t at = 0;
  unsigned u16() {
    at += 2;
    return uint8_t(b[at - 2]) | uint8_t(b[at - 1]) << 8;
  }
  std::string str() {
    unsigned n = u16();
    at += n;
    return b.substr(at - n, n);
  }
};

TEST_F(Stage, PlotFileHeaderIsWrittenAtTheStart) {
  scripts["plain"] = {};
  scripts["staged"] = {.stages = 2, .modes = 2, .timedep = true};
  open("plain"), open("staged");
  run_loop();
  run_reset();  // freeing the records writes the plot files out
  for (const char *name : {"plain", "staged"}) {
    Bytes in{slurp(path(name) + ".pgx")};
    ASSERT_GT(in.b.size(), 20u) << name;
    EXPECT_EQ(in.str(), "Quendar 2.20d");
    EXPECT_EQ(in.str().rfind(std::string(name) + ".pde  ", 0), 0u);
    unsigned plots = in.u16(), stages = in.u16(), kind = in.u16();  // kind 257: staged and time-dependent
    bool s = name[0] == 's';
    EXPECT_EQ((std::vector<unsigned>{plots, stages, kind}), (std::vector<unsigned>{0, s ? 2u : 0u, s ? 257u : 0u}));
    // Then one group per plot phase: counts, errors, time, cycle, stage, regrids, an
    // announced count of 0 and the terminating 0.
    EXPECT_EQ(in.b[in.b.size() - 1] | in.b[in.b.size() - 2], 0) << name;
    if (!s) for (size_t at = in.at; at < in.b.size(); at += 34) {
      ASSERT_LE(at + 34, in.b.size());
      EXPECT_EQ(in.b[at + 30] | in.b[at + 31] | in.b[at + 32] | in.b[at + 33], 0) << name;
    }
  }
}

}  // namespace
