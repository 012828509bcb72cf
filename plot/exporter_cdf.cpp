// exporter_cdf: netCDF exports: one record per output (time, stage or mode) of the
// expressions on the export grid, into a file kept open until the run's exports close.
#include "plot/exporter_internal.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <exception>
#include <memory>
#include <vector>

#include "domain/domain.h"
#include "elements/basisfun.h"
#include "elements/cellnode.h"
#include "elements/elements.h"
#include "elements/evalpoint.h"
#include "elements/meshes.h"
#include "elements/mfinder.h"
#include "graphics/display.h"
#include "graphics/gag.h"
#include "graphics/gagscren.h"
#include "model/treeval.h"
#include "plot/netcdf.h"
#include "plot/pgrid1.h"
#include "plot/pgrid2.h"
#include "plot/plot.h"
#include "runtime/filio.h"
#include "runtime/rect3d.h"
#include "runtime/report.h"
#include "runtime/rtlib.h"
#include "runtime/settings.h"
#include "runtime/vector2d.h"
#include "runtime/vector3d.h"
#include "runtime/vectord.h"

using namespace exporting;

namespace exporting {

const double CDF_MISSING = 1e37;
const double CDF_RANGE = 9.9e36;

// The record dimension's name: the time variable, "Stage" or "Mode"; null for none.
const char *record_name(pde *p) {
  const problem_view pv = view_of(p);
  if (pv.timedep) return coordinate_name(p, 3);
  if (pv.stages >= 2) return "Stage";
  if (pv.modes) return "Mode";
  return nullptr;
}

double record_value(pde *p) {
  const problem_view pv = view_of(p);
  if (pv.timedep) return pv.time;
  if (pv.stages >= 2) return pv.stage;
  return pv.mode;
}

// The netCDF variable of expression e: after the record coordinate and the grid's.
int32_t cdf_var_of(pde *p, int32_t e) { return (record_name(p) ? 1 : 0) + (threed(p) ? 3 : 2) + e + 1; }

// The range attributes take the variable's own type: readers that honour them ignore
// attributes they cannot hold in the variable's type.
void put_range(pde *p, int32_t h, int32_t v, double lo, double hi) {
  const problem_view pv = view_of(p);
  if (pv.cdfdouble) netcdf_cdf_def_attr_double_1(h, v, "valid_range", lo, hi);
  else netcdf_cdf_def_attr_single_1(h, v, "valid_range", lo, hi);
}

void fix_put(pde *p, int32_t h, double v) {
  const problem_view pv = view_of(p);
  if (pv.cdfdouble) netcdf_cdf_put_3(h, v);
  else netcdf_cdf_put_single(h, v);
}

void cdf_init(pde *p, plotrec *r, const grid &g) {
  TRACE("cdf_init");
  const problem_view pv = view_of(p);
  print_file_name(p, r, ".cdf", true, 2);
  // A file another open export writes (the same FILE given twice) is not opened again.
  for (int32_t k = 0; k < pv.plotrecs->count; k++) {
    const plotrec *q = &pv.plotrecs->data[k];
    if (q != r && q->exportid && strcmp(text_of(&q->name), text_of(&r->name)) == 0)
      exec_error(p, "Can't open CDF output file");
  }
  int32_t h = netcdf_cdf_create(text_of(&r->name), 32768);
  if (!h) exec_error(p, "Can't open CDF output file");
  r->exportid = uint16_t(h);
  r->outputs = 0;
  uint32_t type = pv.cdfdouble ? CDF_DOUBLE : CDF_FLOAT;
  netcdf_cdf_def_attr_text(h, 0, "title", text_of(pv.title));
  if (pv.unconverged) netcdf_cdf_def_attr_text(h, 0, "status", pv.unconverged);
  int dims = threed(p) ? 3 : 2;
  vectorn shape = {};
  if (const char *rec = record_name(p)) {
    int32_t id = netcdf_cdf_def_dim(h, rec, 0);
    netcdf_cdf_def_var_1(h, rec, type, uint16_t(id));
    vectorn_one_more(&shape, uint16_t(id));
  }
  for (int a = 0; a < dims; a++) {
    int32_t id = netcdf_cdf_def_dim(h, coordinate_name(p, a), g.n[a]);
    netcdf_cdf_def_var_1(h, coordinate_name(p, a), type, uint16_t(id));
    vectorn_one_more(&shape, uint16_t(id));
  }
  for (int k = 1; k <= 2; k++)
    vectord_resize(&r->cdf[k], r->exprs.count, std::max<int32_t>(r->exprs.count, r->cdf[k].capacity));
  for (int32_t e = 0; e < r->exprs.count; e++) {
    int32_t v = netcdf_cdf_def_var_0(h, e < r->labels.count ? text_of(&r->labels.items[e]) : "u", type, &shape);
    put_range(p, h, v, -CDF_RANGE, CDF_RANGE);
    if (pv.cdfdouble) netcdf_cdf_def_attr_double_0(h, v, "missing_value", CDF_MISSING);
    else netcdf_cdf_def_attr_single_0(h, v, "missing_value", CDF_MISSING);
    r->cdf[1].data[e] = CDF_MISSING;
    r->cdf[2].data[e] = -CDF_MISSING;
  }
  vectorn_free(&shape);
  if (!netcdf_cdf_enddef(h, 0)) exec_error(p, "CDF Initialization Failure");
  for (int a = 0; a < dims; a++)
    for (int32_t i = 0; i < g.n[a]; i++) fix_put(p, h, g.lo[a] + i * g.step[a]);
}

// An output of a netCDF file left half written by an error (an expression that cannot
// be valued, a file that cannot be written) keeps no file: the one being written is
// abandoned, and any earlier file of its name stays as it was.
struct cdf_output {
  plotrec *r;
  int held = std::uncaught_exceptions();
  explicit cdf_output(plotrec *rec) : r(rec) {}
  cdf_output(const cdf_output &) = delete;
  cdf_output &operator=(const cdf_output &) = delete;
  ~cdf_output() {
    if (std::uncaught_exceptions() > held && r->exportid) netcdf_cdf_abandon(r->exportid), r->exportid = 0;
  }
};

// While a netCDF file is written or closed, a write the system refuses (a full disk, a
// file-size limit) is reported as any export's: the export's words before the file's
// "name: system text", through the report the run had installed.
FilioReport outer_report = nullptr;
void cdf_write_failed(const String *m) {
  static String t;  // the report jumps away
  strings_copyto_1(&t, WRITE_FAILED);
  strings_addto_0(&t, m);
  outer_report(&t);
}
struct cdf_reports {
  FilioReport was = filio_set_report(nullptr);
  cdf_reports() {
    if (was && was != cdf_write_failed) outer_report = was;
    filio_set_report(was ? cdf_write_failed : nullptr);
  }
  cdf_reports(const cdf_reports &) = delete;
  cdf_reports &operator=(const cdf_reports &) = delete;
  ~cdf_reports() { filio_set_report(was); }
};

}  // namespace exporting

void exporter_cdf_close(int32_t h) {
  TRACE("exporter_cdf_close");
  cdf_reports reports;
  netcdf_cdf_close(h);
}

void exporter_cdf_export(pde *p, plotrec *r) {
  TRACE("exporter_cdf_export");
  cdf_reports reports;
  progress bar(p, "Writing CDF File");
  cdf_output writing(r);
  sampler s(p, r);
  grid &g = s.g;
  bool three = threed(p);
  if (three && s.d && (s.d->cut || s.d->surface)) return;  // refused where the descriptor asked for it
  if (!r->exportid) cdf_init(p, r, g);
  int32_t h = r->exportid;
  r->outputs++;
  bool record = record_name(p) != nullptr;
  if (record) fix_put(p, h, record_value(p));
  // Columns over y (2D) or z (3D), the coordinate beside each moving when it is outside.
  int a = three ? 2 : 1, m = three ? 1 : 0;
  std::vector<std::vector<std::vector<double>>> columns;  // per column, per expression
  for (int32_t i = 0; i < g.n[0]; i++)
    for (int32_t j = 0; j < (three ? g.n[1] : 1); j++) {
      double pos[3] = {s.coord(0, i), three ? s.coord(1, j) : 0, 0};
      s.line(a, m, three ? j : i, pos, 0.1, CDF_MISSING);
      columns.push_back(s.values);
    }
  for (int32_t e = 0; e < r->exprs.count; e++)
    for (auto &col : columns)
      for (double v : col[e]) {
        fix_put(p, h, v);
        if (v != CDF_MISSING)
          r->cdf[1].data[e] = std::min(r->cdf[1].data[e], v), r->cdf[2].data[e] = std::max(r->cdf[2].data[e], v);
      }
  netcdf_cdf_sync(h);
  netcdf_cdf_redefine(h);
  for (int32_t e = 0; e < r->exprs.count; e++) {
    double lo = r->cdf[1].data[e], hi = r->cdf[2].data[e];
    if (lo > hi) lo = -CDF_RANGE, hi = CDF_RANGE;  // nothing inside yet
    put_range(p, h, cdf_var_of(p, e), lo, hi);
  }
  if (!netcdf_cdf_enddef(h, record ? r->outputs : 0)) exec_error(p, "CDF Header Error");
}

void exporter_close_exports(pde *p) {
  TRACE("exporter_close_exports");
  if (!p) return;
  const problem_view pv = view_of(p);
  // Monitors write netCDF files too.
  for (int32_t k = 0; k < pv.plotrecs->count; k++) {
    plotrec *r = &pv.plotrecs->data[k];
    if (r->kind != PLOT_CDF || !r->exportid) continue;
    int32_t h = r->exportid;
    r->exportid = 0;
    exporter_cdf_close(h);
  }
}
