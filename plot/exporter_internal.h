// exporter_internal: what the export writers share: their reports, the guards of an
// export file, a value list and a status line, the grid of an export and its sampler,
// and the point of a plot cell in space. The writers: exporter.cpp (file names, headers,
// FORMAT lines, metafiles), exporter_table.cpp (TABLE), exporter_print.cpp (print files
// of drawn plots), exporter_cdf.cpp (netCDF), exporter_mesh.cpp (TECPLOT and TRANSFER);
// the grid samplers in exporter_sample.cpp.
#pragma once
#include "plot/exporter.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <vector>

#include "elements/cellnode.h"
#include "elements/evalpoint.h"
#include "elements/mfinder.h"
#include "graphics/display.h"
#include "plot/plot.h"
#include "plot/problem_view.h"
#include "runtime/vectord.h"

struct ElementFrame;
struct tmesh;
struct pointd;

namespace exporting {

// The words before "name: system text" when an export file cannot be written whole.
const char *const WRITE_FAILED = "Can't Write Export File ";
const int MOVES_PER_STEP = 10;      // moves of a row wholly outside per grid step
const int32_t DEFAULT_POINTS = 51;  // grid count of an export without POINTS or EXPORTGRID

[[noreturn]] void exec_error(pde *p, const char *text, const String *name = nullptr);
[[noreturn]] void parse_error(pde *p, const TextLoc *loc, const char *text);
const char *text_of(const String *s);
plotdata *data_of(pde *p, plotrec *r);
bool threed(pde *p);
const char *coordinate_name(pde *p, int k);
// The problem's time: the time of the values an export writes.
double time_of(const pde *p);

// The moves of a tenth of a step that take line j of n, moving toward the middle of the
// box (forward before the middle line, backward from it on), to the far side of the box.
inline int32_t moves_across(int32_t j, int32_t n) { return MOVES_PER_STEP * (j < n / 2 ? n - 1 - j : j); }

// An export file: closed, with its writes checked, when its writer is done; only
// closed when an error report leaves the writer.
class stream {
 public:
  stream(FILE *f, pde *p, const plotrec *r) : f_(f), p_(p), r_(r) {}
  stream(const stream &) = delete;
  stream &operator=(const stream &) = delete;
  ~stream() noexcept(false) {
    if (!f_) return;
    if (std::uncaught_exceptions() > 0) {
      fclose(f_);
      return;
    }
    exporter_close_file(p_, r_, &f_);
  }
  FILE *get() const { return f_; }
  explicit operator bool() const { return f_ != nullptr; }

 private:
  FILE *f_;
  pde *p_;
  const plotrec *r_;
};

// A value list freed on every way out: a FORMAT error jumps out of the writers.
struct valuelist : vectord {
  explicit valuelist(int32_t n) : vectord{} { vectord_resize(this, n, n); }
  ~valuelist() { vectord_free(this); }
};

// A line on the status panel while a file is written.
struct progress {
  pde *p;
  uint16_t line;
  progress(pde *q, const char *text);
  ~progress();
};

// The value of expression e at a located point (cell and region set).
double eval_expr(pde *p, plotrec *r, int32_t e, evalpoint *ep);

// The grid of an export: counts, lower corner and spacing per axis.
struct grid {
  int32_t n[3];
  double lo[3], step[3];
};

grid export_grid(pde *p, plotrec *r, plotdata *d);

// The grid of a plot and the located point at which its expressions are evaluated.
struct sampler {
  pde *p;
  problem_view view;
  plotrec *r;
  plotdata *d;
  grid g;
  LocalCell cell = {};
  evalpoint ep = {};
  std::vector<std::vector<double>> values;
  std::vector<char> found;

  sampler(pde *q, plotrec *rec);
  double coord(int a, int32_t i) const { return g.lo[a] + i * g.step[a]; }

  // Locates the point; its cell number (0 outside).
  int32_t locate(double x, double y, double z, double tol);

  // Samples the expressions along axis a (the grid's points) through pos; values[e]
  // and found come back per point. When no point of the line lies in the domain, the
  // coordinate of axis m moves by a tenth of its spacing toward the middle of the box
  // (forward for lines before the middle line, jm < n/2) until it meets the domain, at
  // most across the box; with a second axis m2 (a row of a 3D
  // table, whose layer may lie above a sloping top) the line moves toward the middle
  // along that axis too.
  void line(int a, int m, int32_t jm, double *pos, double tol, double outside, int m2 = -1, int32_t jm2 = 0);
};

// Fills the outside entries of a row as fillin does.
void fill_row(double *v, int32_t n);

// The point in space of cell c of plot mesh t at local L, and the local coordinates of
// X in a plot cell to full precision (exporter_sample.cpp).
void surface_point(double *xyz, uint16_t dimension, const tmesh *t, int32_t c, const double *L, int32_t code,
                   const pointd *pt);
void full_lcoords(double *L, const double *X, ElementFrame *f);

}  // namespace exporting
