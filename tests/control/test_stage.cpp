// The stage work of the run controller: loading, parsing order, the SELECT
// defaults, sizes, the run header, the plot-file header and the eigenvalue listing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <regex>
#include <sstream>
#include <string>

#include "control/control.h"
#include "control/pdedat.h"
#include "control/quendar.h"
#include "control/verdat.h"
#include "graphics/gui.h"
#include "runtime/except.h"
#include "tests/control/run_doubles.h"

namespace {

struct Stage : RunFixture {
  pde *p = nullptr;
  void SetUp() override {
    RunFixture::SetUp();
    write_file(path("a.pde"), "TITLE 'a'\nEND\n");
    p = open_problem(path("a.pde"));
    ASSERT_TRUE(p);
  }
  // Runs sizes after a parse that left the given dimension, order and kind.
  void sized(int dim, int order, bool timedep = false, bool eigen = false, int modes = 0) {
    preset(p);
    p->dimension = static_cast<uint16_t>(dim);
    p->order = order;
    p->timedep = timedep;
    p->eigen = eigen;
    p->modes = static_cast<uint16_t>(modes);
    sizes(p);
  }
};

// Little-endian reads from raw bytes, independent of the binary-file module.
struct Bytes {
  std::string b;
  size_t at = 0;
  unsigned u16() {
    unsigned v = static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8;
    at += 2;
    return v;
  }
  std::string str() {
    unsigned n = u16();
    std::string s = b.substr(at, n);
    at += n;
    return s;
  }
};

}  // namespace

TEST_F(Stage, PresetSetsEverySelectDefault) {
  // Values an earlier parse could have left, and switches the preset must keep.
  p->stop = p->stopped = p->error = p->close = p->skipstages = p->runflag = p->domainonly = 1;
  p->eigen = p->timedep = p->windowsbuilt = p->autostage = p->nonlinear = p->notifydone = 1;
  p->order = 3, p->errlim = 0.5, p->changelim = 4, p->overshoot = 9, p->symmetric = 0, p->paintregions = 1;
  p->stages = p->dimension = p->nvars = p->modes = 7, p->cycle = 99, p->time = 4;
  p->dbg_buildeq = p->dbg_treeval = p->dbg_solve = 1;
  p->ngridx = 17, p->exportgrid = 18, p->finderbins = 19, p->cscale = 2.5, p->starttime_value = 1.5;
  p->curveall = p->stagegrid = p->thermal_colors = p->diprecon = 1, p->stereo = 2;
  p->dbg_fitting = p->dbg_init = p->dbg_map = 1;
  strings_copyto_1(&p->axisname[3], "T");
  preset(p);

  const struct {
    const char *name;
    double want, got;
  } table[] = {
      {"stop", 0, double(p->stop)}, {"stopped", 0, double(p->stopped)}, {"error", 0, double(p->error)},
      {"close", 0, double(p->close)}, {"skip", 0, double(p->skipstages)}, {"runflag", 0, double(p->runflag)},
      {"domainonly", 0, double(p->domainonly)}, {"eigen", 0, double(p->eigen)}, {"timedep", 0, double(p->timedep)},
      {"windowsbuilt", 0, double(p->windowsbuilt)}, {"basis", 5, double(p->basis)},
      {"stages", 0, double(p->stages)}, {"dimension", 0, double(p->dimension)}, {"nvars", 0, double(p->nvars)},
      {"modes", 0, double(p->modes)}, {"cycle", 0, double(p->cycle)}, {"rms", 1, p->rmserr}, {"max", 1, p->maxerr},
      {"time", 0, p->time}, {"initgrid", 30, p->initgrid}, {"grofac", 0.25, p->mesh.domain->grofac},
      {"angle", 2 * M_PI, p->angle}, {"statuslimit", 200, double(p->statuslimit)},
      {"statusms", 30000, double(p->statusms)},
      // Integers.
      {"ORDER", 2, double(p->order)}, {"INITGRIDLIMIT", 5, double(p->initgridlimit)},
      {"GRIDLIMIT", 8, double(p->gridlimit)}, {"NODELIMIT", 1000000, double(p->nodelimit)},
      {"ITERATE", 0, double(p->iterate)}, {"LINUPDATE", 5, double(p->linupdate)}, {"NEWTON", 0, double(p->newton)},
      {"TORDER", 1, double(p->torder)}, {"NRUPDATE", 1, double(p->nrupdate)},
      {"AREA_CUTOFF", 2, double(p->area_cutoff)}, {"TNORM", 2, double(p->tnorm)},
      {"SUBSPACE", 0, double(p->select_subspace)}, {"FONT", 0, double(p->font)}, {"DELAY", 0, double(p->delay)},
      {"BANDLU", 0, double(p->bandlu)}, {"CONTOURGRID", 51, double(p->contourgrid)},
      {"SURFACEGRID", 51, double(p->surfacegrid)}, {"VECTORGRID", 41, double(p->vectorgrid)},
      {"ELEVATIONGRID", 401, double(p->elevationgrid)}, {"CDFGRID", 51, double(p->cdfgrid)},
      {"CONTOURS", 15, double(p->contours)}, {"COLORCYCLE", 64, double(p->colorcycle)},
      {"LOGLIMIT", 15, double(p->loglimit)},
      // Reals.
      {"ERRLIM", 0.001, p->errlim}, {"ERRFAC", 0.5, p->errfac}, {"ASPECT", 4, p->aspect},
      {"GRIDARC", 30, p->gridarc}, {"CHANGELIM", -1, p->changelim}, {"CHANGECLAMP", 10, p->changeclamp},
      {"COERSCE", 100000, p->coersce}, {"CONTROL2", std::sqrt(2.0), p->control2}, {"DELTAT", 0, p->deltat},
      {"ENDTIME", 0, p->endtime}, {"EXTRAP", 1, p->extrap}, {"HYSTERESIS", 0.5, p->hysteresis},
      {"MERGERR", 0.01, p->mergerr}, {"MINNLSTEP", 0.001, p->minnlstep}, {"NLSLOPE1", 0.1, p->nlslope1},
      {"NLSLOPE2", 0.2, p->nlslope2}, {"OVERSHOOT", -1, p->overshoot}, {"OVERSPLIT", 0.5, p->oversplit},
      {"SENSITIVITY", 1, p->sensitivity}, {"STEEPNESS", 0.5, p->steepness}, {"TCENTER", 0.5, p->tcenter},
      {"TGROWTH", 1.4, p->tgrowth}, {"UPFACTOR", 1, p->upfactor}, {"DEADSHARE", 0, p->deadshare},
      // Switches on.
      {"AUTOHIST", 1, double(p->autohist)}, {"AUTOSTAGE", 1, double(p->autostage)}, {"CSE", 1, double(p->cse)},
      {"CURVEGRID", 1, double(p->curvegrid)}, {"EISPACK", 1, double(p->eispack)}, {"MERGE", 1, double(p->merge)},
      {"PAINTGRID", 1, double(p->paintgrid)}, {"PLANKING", 1, double(p->planking)},
      {"PLOTINTEGRATE", 1, double(p->plotintegrate)}, {"QUANTIZE", 1, double(p->quantize)},
      {"REGRID", 1, double(p->regrid)}, {"REORDER", 1, double(p->reorder)}, {"ROLLTABLE", 1, double(p->rolltable)},
      {"SCALING", 1, double(p->scaling)}, {"STATUSGRID", 1, double(p->statusgrid)},
      {"SURFPLOTS", 1, double(p->surfplots)}, {"UPWIND", 1, double(p->upwind)},
      {"PAINTMATERIALS on (PAINTREGIONS byte)", 0, double(p->paintregions)},
      // Switches off; NONSYMMETRIC off is the symmetric byte set.
      {"BUSYMON", 0, double(p->busymon)}, {"CDFDOUBLE", 0, double(p->cdfdouble)},
      {"CDFEXTEND", 0, double(p->cdfextend)}, {"DENSE", 0, double(p->dense)}, {"FILLIN", 0, double(p->fillin)},
      {"FIRSTPARTS", 0, double(p->firstparts)}, {"FIXDT", 0, double(p->fixdt)}, {"FULLERR", 0, double(p->fullerr)},
      {"HARDMONITOR", 0, double(p->hardmonitor)}, {"MOVING", 0, double(p->moving)},
      {"NBCMEASURE", 0, double(p->nbcmeasure)}, {"NOMINMAX", 0, double(p->nominmax)},
      {"NONLINEAR", 0, double(p->nonlinear)}, {"NONSYMMETRIC", 1, double(p->symmetric)},
      {"NOTIFY_DONE", 0, double(p->notifydone)}, {"NOTIPS", 0, double(p->notips)},
      {"PAINTED", 0, double(p->painted)}, {"PAUSEPLOTS", 0, double(p->pauseplots)},
      {"PLOTMESHUPDATE", 0, double(p->plotmeshupdate)}, {"PRINTMERGE", 0, double(p->printmerge)},
      {"ROOTERR", 0, double(p->rooterr)}, {"SMOOTHINIT", 0, double(p->smoothinit)},
      {"SYMSCALE", 0, double(p->symscale)}, {"TRIGINIT", 0, double(p->triginit)},
      {"V216INTEGRAL", 0, double(p->v216integral)}, {"ATAPRECON", 0, double(p->ataprecon)},
      {"BIPRECON", 0, double(p->biprecon)}, {"FILL_LU", 0, double(p->fill_lu)},
      {"FORCEGRID", 0, double(p->forcegrid)}, {"GALERKIN_ERROR", 0, double(p->galerkin_error)},
      {"CENTER_ERROR", 0, double(p->center_error)}, {"CURVATURE_ERROR", 0, double(p->curvature_error)},
      {"ICCG", 0, double(p->iccg)}, {"LANCZOS", 0, double(p->lanczos)},
      {"PRECONDITION", 0, double(p->precondition)}, {"VANDENBERG", 0, double(p->vandenberg)},
      {"debug BUILDEQ", 0, double(p->dbg_buildeq)}, {"debug TREEVAL", 0, double(p->dbg_treeval)},
      {"debug SOLVE", 0, double(p->dbg_solve)},
      // Left alone by the preset.
      {"NGRIDX", 17, double(p->ngridx)}, {"EXPORTGRID", 18, double(p->exportgrid)},
      {"FINDERBINS", 19, double(p->finderbins)}, {"CSCALE", 2.5, p->cscale},
      {"STARTTIME", 1.5, p->starttime_value}, {"CURVEALL", 1, double(p->curveall)},
      {"STAGEGRID", 1, double(p->stagegrid)}, {"THERMAL_COLORS", 1, double(p->thermal_colors)},
      {"DIPRECON", 1, double(p->diprecon)}, {"stereo", 2, double(p->stereo)},
      {"debug FITTING", 1, double(p->dbg_fitting)}, {"debug INIT", 1, double(p->dbg_init)},
      {"debug MAP", 1, double(p->dbg_map)},
  };
  for (const auto &row : table) EXPECT_DOUBLE_EQ(row.got, row.want) << row.name;
  EXPECT_EQ(p->axisname[3].length, 0);
}

TEST_F(Stage, SizesChoosesBasisRulesAndLimits) {
  sized(2, 2);
  EXPECT_EQ(p->basis, 5);  // tri6
  EXPECT_EQ(p->basis1, 4); // tri3
  EXPECT_EQ(p->vrule, 8);  // the 7-point triangle rule
  EXPECT_EQ(p->sset, 3);   // 3-point line rules on the sides
  EXPECT_EQ(p->vquad.count, 7);
  EXPECT_EQ(p->vquad1.count, 7);
  EXPECT_EQ(p->vquaderr.count, 7);
  EXPECT_EQ(p->squad.side[0].count, 3);
  EXPECT_DOUBLE_EQ(p->cellcentre[0], 0.333333333333);
  EXPECT_DOUBLE_EQ(p->cellcentre[3], 0.0);
  EXPECT_EQ(p->meshcount, 10);
  EXPECT_DOUBLE_EQ(p->changelim, 0.5);
  EXPECT_DOUBLE_EQ(p->overshoot, 0.001);
  EXPECT_EQ(p->work.count, 0);
  EXPECT_EQ(p->work.capacity, 20);

  sized(2, 3, true);
  EXPECT_EQ(p->basis, 6);  // tri9, never tri10
  EXPECT_EQ(p->vrule, 9);
  EXPECT_EQ(p->sset, 4);
  EXPECT_EQ(p->vquad.count, 13);
  EXPECT_DOUBLE_EQ(p->changelim, 2.0);

  sized(3, 2);
  EXPECT_EQ(p->basis, 9);   // tet10
  EXPECT_EQ(p->basis1, 8);  // tet4
  EXPECT_EQ(p->vrule, 10);
  EXPECT_EQ(p->sset, 8);
  EXPECT_EQ(p->vquad.count, 5);
  EXPECT_DOUBLE_EQ(p->cellcentre[3], 0.25);
}

TEST_F(Stage, SizesOfEigenvalueProblems) {
  sized(2, 2, false, true, 4);
  EXPECT_EQ(p->subspace, 8);  // min(4 + 8, 2 * 4)
  EXPECT_DOUBLE_EQ(p->overshoot, 1e-6);
  EXPECT_DOUBLE_EQ(p->changelim, 0.5);
  sized(2, 2, false, true, 20);
  EXPECT_EQ(p->subspace, 28);  // min(20 + 8, 40)
  preset(p);
  p->dimension = 2, p->eigen = 1, p->modes = 20, p->select_subspace = 5;
  sizes(p);
  EXPECT_EQ(p->subspace, 5);
}

TEST_F(Stage, SizesKeepsChosenLimitsAndTakesTheParsedEndTime) {
  preset(p);
  p->dimension = 2, p->timedep = 1, p->changelim = 0.7, p->overshoot = 0.01, p->endvalue = 7.5;
  sizes(p);
  EXPECT_DOUBLE_EQ(p->changelim, 0.7);
  EXPECT_DOUBLE_EQ(p->overshoot, 0.01);
  EXPECT_DOUBLE_EQ(p->endtime, 7.5);
  p->endtime = 3;
  sizes(p);
  EXPECT_DOUBLE_EQ(p->endtime, 3);
}

TEST_F(Stage, OneDimensionalProblemIsRefused) {
  verdat_batch = 1;
  pdedat_batch_log = fopen(path("batch.log").c_str(), "w");
  pdedat_current = p;
  int code = except_catch(quendar_home, [this] { sized(1, 2); });
  EXPECT_EQ(code, EXCEPT_REPORTED);
  EXPECT_EQ(p->error, 1);
  fflush(pdedat_batch_log);
  EXPECT_NE(slurp(path("batch.log")).find("ERROR: 1D not implemented\n"), std::string::npos);
}

TEST_F(Stage, LoadupReadsTheConfigurationFirst) {
  EXPECT_EQ(control_loadup(p), PHASE_NEW);
  EXPECT_NE(p->desctext, 0);
  EXPECT_EQ(p->cfgtext, 0);
  control_parse_file(p);
  EXPECT_EQ(p->phase, PHASE_MESH);
  EXPECT_EQ(calls, (std::vector<std::string>{"parse a 1"}));
  EXPECT_EQ(control_parse_nesting, 0);

  write_file(path("quendar.cfg"), "SELECT errlim=0.01\n");
  calls.clear();
  pde *b = open_problem(path("a.pde"));
  EXPECT_EQ(control_loadup(b), PHASE_NEW);
  EXPECT_NE(b->cfgtext, 0);
  control_parse_file(b);
  EXPECT_EQ(calls, (std::vector<std::string>{"parse a 0", "parse a 1"}));
}

TEST_F(Stage, LoadupOfAMissingDescriptor) {
  pde *b = open_problem(path("missing.pde"));
  EXPECT_EQ(control_loadup(b), PHASE_FREE);
  EXPECT_EQ(b->desctext, 0);
}

TEST_F(Stage, HeaderNamesTheDescriptorAndTheStart) {
  gui_pde_window(p);
  build_header(p);
  EXPECT_TRUE(std::regex_match(std::string(p->header.text), std::regex("a\\.pde  \\d\\d:\\d\\d:\\d\\d \\d+/\\d+/\\d\\d")))
      << p->header.text;
  EXPECT_STREQ(p->status.labels[p->lines.name - 1].text, "a");
}

TEST_F(Stage, PlotFileHeaderBytes) {
  strings_copyto_1(&p->header, "a.pde  12:00:00 1/2/03");
  p->nplots = 3, p->modes = 2, p->stages = 2, p->timedep = 1;
  plotfile_header(p);
  filio_close_put(&p->plotfile);
  Bytes in{slurp(path("a.pgx"))};
  EXPECT_EQ(in.str(), "Quendar 2.20d");
  EXPECT_EQ(in.str(), "a.pde  12:00:00 1/2/03");
  EXPECT_EQ(in.u16(), 3u);
  EXPECT_EQ(in.u16(), 2u);
  EXPECT_EQ(in.u16(), 257u);  // staged and time-dependent
  EXPECT_EQ(in.at, in.b.size());

  p->stages = 0, p->timedep = 0, p->nplots = 1, p->modes = 0;
  plotfile_header(p);
  filio_close_put(&p->plotfile);
  Bytes again{slurp(path("a.pgx"))};
  again.str(), again.str(), again.u16(), again.u16();
  EXPECT_EQ(again.u16(), 0u);
}

TEST_F(Stage, EigenvalueListing) {
  strings_copyto_1(&p->header, "a.pde  12:00:00 1/2/03");
  p->modes = 3;
  const double values[] = {1.5, -2.25e-5, 12345.678901};
  for (double v : values) vectord_one_more(&p->eigenvalues, v);
  eig_write(p);
  std::istringstream in(slurp(path("a.eig")));
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "a.pde  12:00:00 1/2/03");
  std::getline(in, line);
  EXPECT_EQ(line, "");
  std::getline(in, line);
  EXPECT_EQ(line, "EIGENVALUES");
  for (int i = 1; i <= 3; i++) {
    ASSERT_TRUE(std::getline(in, line));
    char number[5];
    snprintf(number, sizeof number, "%4d", i);
    EXPECT_EQ(line.substr(0, 6), std::string(number) + ": ") << line;
    double v = strtod(line.c_str() + 6, nullptr);
    EXPECT_NEAR(v, values[i - 1], 1e-7 * std::fabs(values[i - 1])) << line;
  }
  EXPECT_FALSE(std::getline(in, line));
}

TEST_F(Stage, GridgenExtrudesA3DBaseMesh) {
  sized(2, 2);
  gridgen(p);
  EXPECT_EQ(p->phase, PHASE_ANALYSIS);
  EXPECT_EQ(calls, (std::vector<std::string>{"mesh a"}));

  calls.clear();
  p->mesh.domain->threed = 1;
  strings_resize_1(&p->mesh.domain->layernames, 4, 4);
  sized(3, 2);
  p->layers = 0;
  gridgen(p);
  EXPECT_EQ(p->phase, PHASE_ANALYSIS);
  EXPECT_EQ(calls, (std::vector<std::string>{"mesh a", "grid3d a"}));
  EXPECT_EQ(p->layers, 4);
}

TEST_F(Stage, GridgenPassesAStopOrADomainDisplayOn) {
  sized(2, 2);
  p->phase = PHASE_MESH;
  control_services.freshmesh = [](pde *q, uint8_t, int32_t) { return q->phase; };  // stopped while meshing
  gridgen(p);
  EXPECT_EQ(p->phase, PHASE_MESH);
  control_services.freshmesh = [](pde *, uint8_t, int32_t) { return int32_t(PHASE_NEW); };  // domain only
  p->mesh.domain->threed = 1;
  control_services.grid3d = [](pde *) -> int32_t {
    ADD_FAILURE() << "no extrusion without a base mesh";
    return PHASE_ANALYSIS;
  };
  gridgen(p);
  EXPECT_EQ(p->phase, PHASE_NEW);
}
