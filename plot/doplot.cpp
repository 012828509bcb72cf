// doplot: the plot driver. Each plot of a list is drawn for its mode and recorded in
// the plot file as its number, caption and window view stream; the histories keep a
// sample per output time and are compressed to group means when they grow too long.
#include "plot/doplot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

#include "model/pdedat_record.h"
#include "domain/domain.h"
#include "elements/cellnode.h"
#include "elements/evalpoint.h"
#include "elements/mfinder.h"
#include "graphics/appwin.h"
#include "graphics/display.h"
#include "graphics/gag.h"
#include "graphics/gag1d.h"
#include "model/treeval.h"
#include "platform/pwin.h"
#include "plot/contour.h"
#include "plot/doplot3.h"
#include "plot/exporter.h"
#include "plot/pgrid1.h"
#include "plot/pgrid2.h"
#include "plot/plot.h"
#include "plot/plot1d.h"
#include "plot/plot2d.h"
#include "runtime/filio.h"
#include "runtime/owner.h"
#include "runtime/rect3d.h"
#include "runtime/report.h"
#include "runtime/rtlib.h"
#include "runtime/settings.h"
#include "runtime/vector2d.h"
#include "runtime/vector3d.h"
#include "model/fitting_book.h"

static const double BIG = 1.00000000000002e300;
static int32_t last_monitor = -1;  // clock milliseconds of the last monitor update; -1 none

// The shared evaluation point, which the plot data builders evaluate at: pointed at
// the time, the current solution and its rates.
static evalpoint &shared_point(pde *p, double t) {
  evalpoint &ep = plot2d_point;
  ep.t = t;
  ep.values = &p->solution;
  ep.rates = &p->udot;
  return ep;
}

static plotrec *plot_of(pde *p, uint16_t index) {
  return index >= 1 && index <= p->plotrecs.count ? &p->plotrecs.data[index - 1] : nullptr;
}

// ---- Histories --------------------------------------------------------------------

// A series shorter than the times belongs to the latest times: its first sample
// stands at time index n - s + 1.
static int32_t series_offset(const vectord *times, const vectord *series) {
  return std::max(0, times->count - series->count);
}

double simpsint(const vectord *times, const vectord *values) {
  TRACE("simpsint");
  int32_t n = std::min(times->count, values->count);
  const double *t = times->data + (times->count - n), *v = values->data;
  double sum = 0;
  auto trap = [&](int32_t i) { return (t[i] - t[i - 1]) * (v[i - 1] + v[i]) * 0.5; };
  int32_t i = 1;
  for (; i + 1 < n; i += 2) {
    double h1 = t[i] - t[i - 1], h2 = t[i + 1] - t[i], H = h1 + h2;
    if (h1 == 0 || h2 == 0) {
      sum += trap(i) + trap(i + 1);
      continue;
    }
    double a = (v[i] - v[i - 1]) / h1, b = ((v[i + 1] - v[i - 1]) / H - a) / h2;
    sum += ((a - b * h1) * 0.5 + 0.33333333333333 * b * H) * H * H + v[i - 1] * H;
  }
  if (i < n) sum += trap(i);
  return sum;
}

template <class F> static void each_series(pde *p, F f) {
  for (int32_t k = 1; k <= p->histories.count; k++) {
    plotrec *r = plot_of(p, p->histories.data[k - 1]);
    if (!r) continue;
    for (int32_t e = 0; e < r->values.count; e++)
      for (int32_t q = 0; q < r->values.data[e].count; q++) f(&r->values.data[e].data[q]);
  }
}

void compress_history(pde *p) {
  TRACE("compress_history");
  vectord *t = &p->histtimes;
  int32_t n = t->count;
  if (n < 2) return;
  double dt = (t->data[n - 1] - t->data[0]) / (DOPLOT_HISTORY_TARGET - 1);
  // Group ends (0-based, inclusive) in time order.
  std::vector<int32_t> ends;
  for (int32_t i = 0; i < n;) {
    int32_t j = i;
    while (t->data[j] - t->data[i] < dt && j < n - 1) j++;
    ends.push_back(j);
    i = j + 1;
  }
  auto merge = [&](vectord *s, int32_t offset) {
    int32_t m = 0, start = 0;
    for (int32_t j : ends) {
      double sum = 0;
      int32_t c = 0;
      for (int32_t i = std::max(start, offset); i <= j; i++, c++) sum += s->data[i - offset];
      if (c) s->data[m++] = sum / c;
      start = j + 1;
    }
    s->count = m;
  };
  each_series(p, [&](vectord *s) { merge(s, series_offset(t, s)); });
  merge(t, 0);
}

void doplot_delete_history(pde *p) {
  TRACE("doplot_delete_history");
  if (p->histtimes.count < 1) return;
  p->histtimes.count--;
  each_series(p, [](vectord *s) { s->count = std::max(0, s->count - 1); });
}

static void size_series(plotrec *r, int32_t points) {
  if (r->values.count < r->exprs.count) vector3d_resize(&r->values, r->exprs.count, r->exprs.count);
  for (int32_t e = 0; e < r->values.count; e++)
    if (r->values.data[e].count < points) vector2d_resize(&r->values.data[e], points, points);
}

static LocalCell history_cell;  // the cell a history point lies in

void doplot_history_point(pde *p, vectord *, double t) {
  TRACE("doplot_history_point");
  if (p->histories.count == 0) return;
  vectord_one_more(&p->histtimes, t);
  evalpoint ep = shared_point(p, t);
  for (int32_t k = 1; k <= p->histories.count; k++) {
    plotrec *r = plot_of(p, p->histories.data[k - 1]);
    if (!r) continue;
    fitting_validate_fits(p, &r->fits, &p->solution, t, t);
    int32_t points = std::max(1, r->at.count);
    size_series(r, points);
    for (int32_t e = 0; e < r->exprs.count; e++) {
      const treevector *trees = e < r->compiled.count ? &r->compiled.data[e] : nullptr;
      for (int32_t q = 0; q < points; q++) {
        double value = 0;
        if (r->at.count) {
          ep.x = r->at.data[q].x, ep.y = r->at.data[q].y, ep.z = r->at.data[q].z;
          ep.cell = &history_cell;
          int32_t c = mfinder_find_cell(&ep, &p->mesh, 0.01);
          if (c < 0) c = -c;
          uint16_t region = c ? p->mesh.cells.data[c - 1].region : 1;
          ep.cellno = uint32_t(c), ep.region = region;
          if (c != 0 && trees && trees->count)
            value = treeval_eval(p, trees->data[std::min<int32_t>(region, trees->count) - 1], &ep);
        } else if (trees && trees->count) {
          value = treeval_eval(p, trees->data[0], &ep);
        }
        vectord_one_more(&r->values.data[e].data[q], value);
      }
    }
  }
  if (p->histtimes.count > DOPLOT_HISTORY_LIMIT) compress_history(p);
}

// ---- Labels ---------------------------------------------------------------------

static void add_num(String *s, const char *format, double v) {
  char b[64];
  snprintf(b, sizeof b, format, v);
  strings_addto_1(s, b);
}

void status_string(String *text, String *, pde *p) {
  TRACE("status_string");
  strings_copyto_0(text, &p->name);
  strings_addto_1(text, ":  ");
  if (p->timedep) {
    add_num(text, "Cycle=%.0f", double(p->cycle));
    add_num(text, "  Time=%.6g", p->time);
    add_num(text, "  dt=%.6g", p->dt);
    strings_addto_1(text, "  ");
  } else {
    add_num(text, "Grid#%.0f", double(p->regrids));  // the number the log and the panel show
    strings_addto_1(text, "  ");
  }
  add_num(text, "p%.0f", double(p->order));
  add_num(text, "  Nodes=%.0f", double(p->mesh.nodes.count));
  add_num(text, " Cells=%.0f", double(p->mesh.cells.count));
  add_num(text, " RMS Err=%.6g", p->rmserr);
}

// The integrals of the mode on the value line: a prefix naming what was integrated in
// the axisymmetric systems (or on a surface), then "Integral= " for one integral, else
// "Integral(a)= " with each integral's tag letter.
void doplot_integral_text(String *line, pde *p, const plotrec *plot, uint16_t mode) {
  if (!(plot->flags & plot_bit(4)) || mode < 1 || mode > plot->integrals.count) return;
  const vectord *v = &plot->integrals.data[mode - 1];
  bool bit22 = plot->flags & plot_bit(22), axi = p->coords.geometry == 5 || p->coords.geometry == 6;
  const plotdata *d = plot->data >= 1 && plot->data <= uint32_t(p->plotdatas.count) ? &p->plotdatas.data[plot->data - 1] : nullptr;
  const char *prefix = "";
  if (axi && plot->kind == PLOT_ELEVATION) prefix = bit22 ? "Surf_" : "Line_";
  else if (axi && (plot->kind == PLOT_CONTOUR || plot->kind == PLOT_SURFACE)) prefix = bit22 ? "Vol_" : "Area_";
  else if (!axi && d && d->surface) prefix = "Surf_";
  for (int32_t k = 0; k < v->count; k++) {
    strings_addto_1(line, prefix);
    if (v->count == 1) {
      strings_addto_1(line, "Integral= ");
    } else {
      String tag = {};
      plot_series_tag(&tag, k + 1, 0, 1);
      strings_addto_1(line, "Integral(");
      strings_addto_0(line, &tag);
      strings_addto_1(line, ")= ");
      strings_free_0(&tag);
    }
    add_num(line, "%.8g ", v->data[k]);
  }
}

// Label text: the problem's label colour with the block's font and title size.
static void label_style(pde *p, const plotframe *f, uint16_t view) {
  gag_setcolor_0(view, p->labelcolour);
  gag_textfont(view, f->font);
  gag_textsize(view, f->titlesize, f->titleaspect);
  gag_textangle(view, 0);
}

// The problem's date line and, below it, the version text, right-aligned at x = 1.33.
static void date_lines(pde *p, uint16_t view, double y, double step) {
  gag_textcenter(view, 1, 0);
  gag_printtext_1(view, 1.33, y, &p->header);
  gag_printtext_1(view, 1.33, y - step, &settings.versiontext);
  gag_textcenter(view, 0, 0);
}

// A label line at (x, y), made smaller when it would run past the view's right edge
// on the screen, as the status panel's labels are.
static void print_line(uint16_t view, const plotframe *f, double x, double y, const String *line) {
  pointd rel = {1, 1};
  gag_askrelsize(view, &rel);
  float size = gag_printfitsize(view, line, rel.x - x - 0.01);
  if (size != f->titlesize) gag_textsize(view, size, f->titleaspect);
  gag_printtext_1(view, x, y, line);
  if (size != f->titlesize) gag_textsize(view, f->titlesize, f->titleaspect);
}

void doplot_plot_labels(pde *p, plotframe *f, uint16_t window, uint16_t, plotrec *plot, uint8_t values) {
  TRACE("doplot_plot_labels");
  if (!checkview(window)) return;
  label_style(p, f, window);
  gag_textcenter(window, 0, 0);
  String line = {}, scratch = {};
  // On the screen a long title is made smaller to end before the right-aligned header.
  double header = std::max(gag_printtextwidth(window, &p->header), gag_printtextwidth(window, &settings.versiontext));
  float size = header > 0 ? gag_printfitsize(window, &p->title, 1.33 - header - 0.05) : f->titlesize;
  if (size != f->titlesize) gag_textsize(window, size, f->titleaspect);
  gag_printtext_1(window, 0.02, 0.97, &p->title);
  if (size != f->titlesize) gag_textsize(window, f->titlesize, f->titleaspect);
  date_lines(p, window, 0.97, 0.03);
  status_string(&line, &scratch, p);
  print_line(window, f, 0.02, 0.06, &line);
  strings_copyto_1(&line, "");
  if (p->modes) {
    add_num(&line, "Mode %.0f", double(p->mode));
    double lambda = p->mode >= 1 && p->mode <= p->eigenvalues.count ? p->eigenvalues.data[p->mode - 1] : 0;
    add_num(&line, "  Lambda=%.6g  ", lambda);
  }
  if (p->stages) add_num(&line, "Stage %.0f  ", double(p->stage));
  if (values && plot) {
    for (int32_t k = 0; k < plot->reportnames.count; k++) {
      strings_addto_0(&line, &plot->reportnames.items[k]);
      if (k < plot->reportcompiled.count && plot->reportcompiled.data[k]) {
        evalpoint ep = shared_point(p, p->time);
        add_num(&line, "= %.8g", treeval_eval(p, plot->reportcompiled.data[k], &ep));
      }
      strings_addto_1(&line, "  ");
    }
  }
  if (plot) doplot_integral_text(&line, p, plot, p->modes ? p->mode : 1);
  print_line(window, f, 0.02, 0.03, &line);
  strings_free_0(&line);
  strings_free_0(&scratch);
}

// ---- One plot ---------------------------------------------------------------------

// A plot that cannot be drawn says why in its window, in red across the middle; a batch
// run, whose windows no one sees, also says it in the log under the plot's caption.
static void show_message(uint16_t view, const plotrec *r, const char *text) {
  if (settings.batch && settings.batchlog) {
    StringOwner caption;
    plot_caption(caption.get(), r);
    fprintf(settings.batchlog, "%s: %s\n", caption.get()->text ? caption.get()->text : "", text);
  }
  if (!checkview(view)) return;
  String m = {};
  strings_copyto_1(&m, text);
  gag_scaleview_1(view, 0, 0, 2, 2);
  gag_textcenter(view, 0.5, 0.5);
  gag_textsize(view, 20, 1);
  gag_setcolor_0(view, colour_band_red);
  gag_printtext_1(view, 1, 1, &m);
  strings_free_0(&m);
}

// The drawing settings block of a kind: grid and vector, elevation, contour, surface,
// history, summary.
static plotframe *block_of(pde *p, int32_t kind) {
  switch (kind) {
    case PLOT_ELEVATION: return &p->styles[1];
    case PLOT_CONTOUR: return &p->styles[2];
    case PLOT_SURFACE: case PLOT_GRID3: return &p->styles[3];
    case PLOT_HISTORY: return &p->styles[4];
    case PLOT_SUMMARY: return &p->styles[5];
    default: return &p->styles[0];
  }
}

// GRID in 3D: the boundary faces moved by the plot's three compiled component trees
// (nodes of a missing component keep their coordinate), drawn with options bits 13
// and 24; the view string is the last title line while the labels are drawn.
static void grid3_plot(pde *p, plotrec *r, plotdata *d, const uint16_t *views, bool exportonly) {
  if (exportonly || !checkview(views[1])) return;
  const treevector *t[3] = {};
  for (int k = 0; k < 3 && k < r->compiled.count; k++) t[k] = &r->compiled.data[k];
  String names[3] = {};
  for (int k = 0; k < 3; k++)
    if (k < p->coordnames.count) names[k] = p->coordnames.items[k];
  doplot3_grid_plot3(views[1], p, &p->mesh, &p->styles[3], &p->solution, p->time, d, r->viewpoint, t[0], t[1], t[2],
                     names, (r->flags & plot_bit(13)) != 0, (r->flags & plot_bit(24)) != 0);
  plotframe *f = block_of(p, r->kind);
  String eye = {};
  plot2d_view_string(&eye, r->viewpoint);
  int32_t added = strings_one_more(&r->titles, &eye);
  auto drop = owner_guard([&] {
    if (r->titles.count == added) strings_delete_index(&r->titles, added);
    strings_free_0(&eye);
  });
  doplot_plot_labels(p, f, views[0], views[1], r, 1);
  // The legend: an empty level table carrying the title lines, the view string last.
  if (checkview(views[2])) {
    vectord none = {};
    gag1d_level_table_1(views[2], f, &none, 0, 0, 0, 0, &r->titles);
  }
  if (r->flags & plot_bit(21)) exporter_emf_plot(views[0], p, r);
}

// The integrals of the mode's value line; null when the plot keeps none for it.
static vectord *mode_integrals(plotrec *r, uint16_t mode) {
  return mode >= 1 && mode <= r->integrals.count ? &r->integrals.data[mode - 1] : nullptr;
}

// Kinds drawn over a plot mesh: the mesh is validated first, and a plot without a
// domain says so unless it only exports. Integrals are kept per mode; print files and
// metafiles go to the exporter.
static void draw_field_plot(pde *p, plotrec *r, const uint16_t views[3], uint16_t mode, bool exportonly) {
  plotdata *d = r->data >= 1 && r->data <= uint32_t(p->plotdatas.count) ? &p->plotdatas.data[r->data - 1] : nullptr;
  if (r->kind == PLOT_GRID3) {
    grid3_plot(p, r, d, views, exportonly);
    return;
  }
  if (r->kind > PLOT_VECTOR || !d) return;
  uint16_t view = exportonly ? 0 : views[1];
  uint8_t ok = r->kind == PLOT_ELEVATION ? pgrid1_validate_1dplot_mesh(p, d) : pgrid2_validate_plot_mesh(p, d);
  if (!ok) {
    if (!exportonly) show_message(views[1], r, "EMPTY PLOT DOMAIN");
    // A print asked for and not written is said at the plot's line.
    if ((r->flags & plot_bit(1)) && r->exprs.count && r->exprs.data[0]) {
      String m = {};
      strings_copyto_1(&m, r->kind == PLOT_ELEVATION ? "ELEVATION path lies wholly outside the domain: nothing printed"
                                                     : "EMPTY PLOT DOMAIN: nothing printed");
      report_parse_warning(p, &r->exprs.data[0]->loc, &m);
      strings_free_0(&m);
    }
    return;
  }
  plotframe *f = block_of(p, r->kind);
  bool integrate = r->flags & plot_bit(4), print = r->flags & plot_bit(1);
  vectord *integrals = integrate ? mode_integrals(r, mode) : nullptr;
  plotrange range = {}, range2 = {};
  rectd box = {d->box[0], d->box[1], d->box[3], d->box[4]};
  rect3d box3 = {};
  rect3d_setrect_0(&box3, d->box[0], d->box[1], d->box[2], d->box[3], d->box[4], d->box[5]);
  vectord levels = {};
  vector2d values = {}, second = {}, slopes = {};
  vector3d lines = {};
  auto release = owner_guard([&] {
    vectord_free(&levels);
    for (vector2d *v : {&values, &second, &slopes}) vector2d_free(v, 1);
    vector3d_free(&lines, 1);
  });
  switch (r->kind) {
    case PLOT_ELEVATION: {
      plot1d_build_line_data(p, p, &p->mesh, r, mode, &range, &lines);
      if (integrals) plot1d_integrate_plot_1d(p, &p->coords, r, integrals, &lines);
      if (view) plot1d_elevation(p, p, p->mesh.domain, p->contours, view, views[2], r->number, &range, &lines);
      if (print) exporter_print_lineout(p, r, &lines, integrals);
      break;
    }
    case PLOT_GRID: {
      // The displaced positions: the first two expressions at every plot node.
      plot2d_build_contour_data(p, p, &p->mesh, p->dimension, r, &values, &slopes, &range, 1, 0);
      plot2d_build_contour_data(p, p, &p->mesh, p->dimension, r, &second, &slopes, &range2, r->exprs.count >= 2 ? 2 : 1,
                                0);
      if (view) plot2d_grid_plot(view, f, p, r, &box, &values, &second, &range, &range2);
      break;
    }
    case PLOT_CONTOUR: case PLOT_SURFACE: {
      // An integral over a surface of a 3D problem takes each node's slope factor.
      uint8_t slope = integrals ? 1 : 0;
      plot2d_build_contour_data(p, p, &p->mesh, p->dimension, r, &values, &slopes, &range, 1, slope);
      bool two = r->kind == PLOT_CONTOUR && r->exprs.count > 1;
      if (two) plot2d_build_contour_data(p, p, &p->mesh, p->dimension, r, &second, &slopes, &range2, 2, slope);
      if (integrals) {
        vectord_resize(integrals, two ? 2 : 1, std::max(integrals->capacity, 2));
        integrals->data[0] = plot2d_integrate_plot_2d(p, &p->coords, r, &values, &slopes);
        if (two) integrals->data[1] = plot2d_integrate_plot_2d(p, &p->coords, r, &second, &slopes);
      }
      if (view && r->kind == PLOT_SURFACE) {
        plot_validate_viewpoint(r->viewpoint, &box3);
        plot2d_surface_plot(view, f, p, r, &box, &range, &values, &levels, p->contours);
      } else if (view) {
        plot2d_contour_plot(view, f, p, p, r, &box, &range, &values, &levels, p->contours);
        if (two) plot2d_add_contour_plot(view, f, p, p, r, &box, &range2, &second, &levels, p->contours);
      }
      if (print) exporter_print_2dplot(p, r, &box3, &values, mode);
      break;
    }
    case PLOT_VECTOR:
      plot2d_build_vector_data(p, p, &p->mesh, p->dimension, r, &values, &second, &range, 1);
      if (view) plot2d_vector_plot(view, f, p, p->contours, r, &box, &range, &values, &second, &levels);
      break;
    default: break;
  }
  if (exportonly) return;
  doplot_plot_labels(p, f, views[0], views[1], r, 1);
  if (r->flags & plot_bit(21)) exporter_emf_plot(views[0], p, r);
}

namespace {
// "Plotting" on the status panel while a plot is made, removed on every way out.
struct progress {
  pad *panel;
  uint16_t line;
  explicit progress(pad *d) : panel(d) {
    String label = {};
    strings_copyto_1(&label, "Plotting");
    line = display_report(panel, 0, &label);
    strings_free_0(&label);
  }
  ~progress() { display_unreport(panel, line); }
};
}  // namespace

void doplot_do_plot(pde *p, uint16_t index, uint16_t mode, uint8_t record) {
  TRACE("doplot_do_plot");
  plotrec *r = plot_of(p, index);
  if (!r) return;
  shared_point(p, p->time);
  fitting_validate_fits(p, &r->fits, &p->solution, p->time, p->time);
  if (r->data > uint32_t(p->plotdatas.count)) {
    static String m;  // the report jumps away
    strings_copyto_1(&m, "BAD MESH NUMBER");
    report_exec_err_0(p, &m);
  }
  progress plotting(&p->status);
  uint16_t views[3] = {r->views[0], r->views[1], r->views[2]};
  if (p->modes && mode >= 1 && r->modeviews.rows >= mode && r->modeviews.cols >= 2) {
    // Per mode a row of window, drawing and legend views.
    for (int j = 0; j < 3 && j < r->modeviews.cols; j++) views[j] = r->modeviews.data[(mode - 1) * r->modeviews.cols + j];
  }
  // The drawing routines read the record's own views (the legend among them): while
  // a mode past the first is drawn, the record holds that mode's views.
  struct mode_views {
    plotrec *r;
    uint16_t saved[3];
    mode_views(plotrec *rec, const uint16_t *v) : r(rec) {
      for (int j = 0; j < 3; j++) saved[j] = r->views[j], r->views[j] = v[j];
    }
    ~mode_views() {
      for (int j = 0; j < 3; j++) r->views[j] = saved[j];
    }
  } held(r, views);
  uint16_t window = views[0], view = views[1];
  double range[2] = {BIG, -BIG};
  for (int k = 0; k < 2; k++)
    if (r->range[k]) {
      evalpoint ep = shared_point(p, p->time);
      range[k] = treeval_eval(p, r->range[k], &ep);
    }
  r->rangevalues[0] = range[0], r->rangevalues[1] = range[1];
  if (checkview(window)) gag_clearview_0(window);
  // The colours of the plot's block for the larger of the problem's colour mode (SELECT
  // BLACK) and the plot's own (MONO, GRAY, BLACK); the spectrum cycle and accent stay.
  plotframe *block = block_of(p, r->kind);
  plot_fixcolors(block, std::max<int32_t>(p->printcolour, r->colour), block->colours.spectrum_cycle, block->colours.accent);
  bool exportonly = r->flags & plot_bit(2);
  switch (r->kind) {
    case PLOT_HISTORY: case PLOT_SUMMARY:
      if (r->kind == PLOT_HISTORY) time_plot(p, index, range);
      else summary_plot(p, index);
      doplot_plot_labels(p, block_of(p, r->kind), window, view, r, r->kind == PLOT_HISTORY);
      // A history of fewer than two times draws no curve: no metafile for it.
      if ((r->flags & plot_bit(21)) && (r->kind != PLOT_HISTORY || p->histtimes.count >= 2))
        exporter_emf_plot(window, p, r);
      break;
    case PLOT_STREAMLINE: show_message(view, r, "UNIMPLEMENTED PLOT FORM"); break;
    case PLOT_CDF: exporter_cdf_export(p, r); break;
    case PLOT_TECPLOT: exporter_tecp_export(p, r); break;
    case PLOT_TABLE: exporter_table_export(p, r, 2); break;
    case PLOT_TRANSFER: exporter_transfer_export(p, r); break;
    default: {
      // A drawing whose coordinates or values pass what the graphics hold (past 1e38)
      // overflows there: reported at the plot's line.
      TreesFpScope placed(r->exprs.count ? r->exprs.data[0] : nullptr);
      draw_field_plot(p, r, views, mode, exportonly);
      rtlib_trap_check();
      break;
    }
  }
  if (record) {
    IOfile *f = &p->plotfile;
    uint16_t number = p->modes ? uint16_t((index - 1) * p->modes + mode) : index;
    filio_put_ushort(f, number);
    StringOwner caption;
    plot_caption(caption.get(), r);
    filio_put_string(f, caption.get());
    gag_writeview(f, window);
  }
}

// ---- Lists ------------------------------------------------------------------------

// An open group of the plot file: announced with a count, it is closed on every way
// out with the count of the plots actually written and the terminating 0, unless the
// file itself failed (a full disk): the failure closed it, and nothing may report a
// second error while the first unwinds.
struct plotgroup {
  pde *p;
  int64_t countat;
  uint16_t announced, written = 0;
  plotgroup(pde *q, uint16_t count) : p(q), announced(count) {
    pdedat_put_group(p, count);
    countat = filio_get_file_pos(&p->plotfile) - 2;
  }
  ~plotgroup() {
    if (p->plotfile.state != FILIO_WRITING) return;
    if (written != announced) filio_put_patch(&p->plotfile, countat, &written, 2);
    filio_put_ushort(&p->plotfile, 0);
  }
};

static bool stopped(pde *p) { return display_checkkey(&p->status) != 0; }

static void set_mode(pde *p, uint16_t m) {
  p->mode = m;
  fitting_invalidate_fits(p, 3);
}

static void eig_listing(pde *p, uint8_t record);

// Plots are recorded while the problem's plot file is open for writing.
static bool plotfile_open(pde *p) { return p->plotfile.state == FILIO_WRITING; }

void doplot_show_plots(pde *p, vectorn *plots) {
  TRACE("doplot_show_plots");
  appwin.enable_plots(p, p, p, p->modes);
  bool ended = false, record = plotfile_open(p);
  {
    uint16_t modes = p->modes ? p->modes : 1;
    std::optional<plotgroup> g;
    if (record) g.emplace(p, uint16_t(p->modes ? modes * plots->count + 1 : plots->count));
    if (p->modes) {
      eig_listing(p, record);
      if (g) g->written++;
    }
    for (uint16_t m = 1; m <= modes; m++) {
      if (p->modes) set_mode(p, m);
      for (int32_t k = 1; k <= plots->count; k++) {
        doplot_do_plot(p, plots->data[k - 1], m, record);
        if (g) g->written++;
        if (stopped(p)) goto out;
      }
    }
    ended = true;
  out:;
  }
  if (record) filio_put_buffer(&p->plotfile);
  // A batch run has no one to press the key.
  if (ended && p->pauseplots && !settings.batch) display_waitkey(1);
}

void doplot_do_exports(pde *p, vectorn *exports) {
  TRACE("doplot_do_exports");
  uint16_t modes = p->modes ? p->modes : 1;
  for (uint16_t m = 1; m <= modes; m++) {
    if (p->modes) set_mode(p, m);
    for (int32_t k = 1; k <= exports->count; k++) {
      doplot_do_plot(p, exports->data[k - 1], m, 0);
      if (stopped(p)) return;
    }
  }
}

int32_t doplot_show_monitors(pde *p, vectorn *monitors, int32_t interval) {
  TRACE("doplot_show_monitors");
  if (monitors->count == 0) return 0;
  if (last_monitor >= 0 && rtlib_elapsed_ms(last_monitor) < interval) return 0;
  int32_t start = rtlib_elapsed_ms(0);
  // The monitor windows come forward for their update; histories keep their own tiles.
  if (monitors != &p->histories && !p->monitorsshown) appwin.enable_monitors(p, p, p, p->modes);
  bool recorded = p->hardmonitor && plotfile_open(p);
  {
    uint16_t modes = p->modes ? p->modes : 1;
    std::optional<plotgroup> g;
    if (recorded) g.emplace(p, uint16_t(p->modes ? modes * monitors->count + 1 : monitors->count));
    for (uint16_t m = 1; m <= modes; m++) {
      if (p->modes) set_mode(p, m);
      for (int32_t k = 1; k <= monitors->count; k++) {
        doplot_do_plot(p, monitors->data[k - 1], m, recorded);
        if (g) g->written++;
        if (!p->modes && stopped(p)) goto out;
      }
      if (p->modes && stopped(p)) goto out;
    }
    if (p->modes) {
      // The listing is recorded with the group so that the group holds what it announces.
      eig_listing(p, recorded);
      if (g) g->written++;
    }
  out:;
  }
  last_monitor = rtlib_elapsed_ms(0);
  if (recorded) filio_put_buffer(&p->plotfile);
  return last_monitor - start;
}

void doplot_show_eig_monitors(pde *p, vectorn *monitors, uint16_t mode) {
  TRACE("doplot_show_eig_monitors");
  if (monitors->count == 0) return;
  if (mode == 1) eig_listing(p, 0);
  for (int32_t k = 1; k <= monitors->count; k++) {
    doplot_do_plot(p, monitors->data[k - 1], mode, 0);
    if (stopped(p)) return;
  }
}

static void eig_listing(pde *p, uint8_t record) {
  TRACE("eig_listing");
  // The listing's own window, made with the plot windows of an eigenvalue problem.
  uint16_t view = p->eigview;
  if (checkview(view)) {
    gag_clearview_0(view);
    label_style(p, &p->styles[0], view);
    gag_textcenter(view, 0, 0);
    gag_printtext_1(view, 0.02, 0.95, &p->title);
    date_lines(p, view, 0.95, 0.033);
    String s = {};
    strings_copyto_1(&s, "Eigenvalues:");
    gag_printtext_1(view, 0.1, 0.9, &s);
    double x = 0.1, y = 0.834;
    for (uint16_t m = 1; m <= p->modes; m++) {
      char b[64];
      double lambda = m <= p->eigenvalues.count ? p->eigenvalues.data[m - 1] : 0;
      snprintf(b, sizeof b, "%3d: %.10g", m, lambda);
      strings_copyto_1(&s, b);
      gag_printtext_1(view, x, y, &s);
      y -= 0.033;
      if (y < 0.1) y = 0.834, x += 0.3;
    }
    String scratch = {};
    status_string(&s, &scratch, p);
    gag_printtext_1(view, 0.02, 0.04333, &s);
    strings_free_0(&s);
    strings_free_0(&scratch);
  }
  if (record) {
    String caption = {};
    strings_copyto_1(&caption, "Eigenvalues:");
    // The slot after every plot record's modes: monitors and plots share the numbering.
    filio_put_ushort(&p->plotfile, uint16_t(p->plotrecs.count * p->modes + 1));
    filio_put_string(&p->plotfile, &caption);
    gag_writeview(&p->plotfile, view);
    strings_free_0(&caption);
  }
}

void doplot_status_mesh(pde *p, int32_t dimension) {
  TRACE("doplot_status_mesh");
  Mesh *m = &p->mesh;
  if (dimension == 0) dimension = p->dimension;
  // A batch run without a display never shows its windows: its status mesh would be
  // drawn for no one.
  if (!p->meshview || !m->domain || (settings.batch && !pwin_display_opened())) return;
  if (dimension >= 3) {
    doplot3_show_3d_mesh(p, &p->mesh, p->meshview, p->viewpoint, m->meshbasis, 0, p->paintregions);
    return;
  }
  Domain *d = m->domain;
  plot_show_mesh(p->meshview, p->styles, &d->grid.box, m, m->meshbasis, 0, p->paintregions, d->regions.count);
  plot_show_domain_0(p->meshview, d, &d->grid.box);
}

// ---- History and summary drawings ----------------------------------------------

// The times a series belongs to (the latest ones when it is shorter); not owned.
static vectord times_of(const vectord *times, const vectord *series) {
  int32_t offset = series_offset(times, series);
  return {times->count - offset, times->count - offset, times->data + offset};
}

// A print file, closed when its writer is left by any way.
static void close_file(FILE **f) {
  if (*f) fclose(*f);
  *f = nullptr;
}
using FileOwner = Owner<FILE *, close_file>;


// The location picture: the domain outline with each history point's tag letter.
static void history_points(pde *p, plotrec *r, plotframe *f, uint16_t legend) {
  Domain *dom = p->mesh.domain;
  rectd box = {0, 0, 1, 1};
  if (dom) rect3d_xyrect_0(&box, &dom->grid.box);
  gag1d_border_map(legend, f, &box, 0, 1);
  plot_show_domain_0(legend, dom, nullptr);
  gag_textsize(legend, 40, 0.7f);
  gag_textcenter(legend, 0.5f, 0.5f);
  String tag = {};
  for (int32_t q = 1; q <= r->at.count; q++) {
    gag1d_tablecolor_1(legend, f, q, r->at.count);
    strings_copyto_1(&tag, "");
    strings_append(&tag, uint8_t(gag1d_tag_char(q)));
    pointd at = {r->at.data[q - 1].x, r->at.data[q - 1].y};
    gag_drawtext_0(legend, &at, &tag);
  }
  strings_free_0(&tag);
}

// "HISTORY" and a line per expression, its digit and label in its first series' colour.
// Drawn for pages at their sizes, then for the screen as large as a contour legend.
static void history_legend(plotrec *r, plotframe *f, uint16_t legend) {
  double H = f->titlesize > 0 ? f->titlesize : 20;
  int32_t E = r->exprs.count, P = std::max(1, r->at.count);
  // "HISTORY", then one line per expression.
  std::vector<String> lines(size_t(E + 1), String{});
  strings_copyto_1(&lines[0], "HISTORY");
  for (int32_t k = 1; k <= E; k++) {
    char digit[16];
    snprintf(digit, sizeof digit, "%d: ", int(k));
    strings_copyto_1(&lines[size_t(k)], digit);
    if (k <= r->labels.count) strings_addto_0(&lines[size_t(k)], &r->labels.items[k - 1]);
  }
  std::vector<const String *> texts;
  for (const String &l : lines) texts.push_back(&l);
  for (uint8_t to : {GAG_PAGE, GAG_SCREEN}) {
    gag_surfaces(legend, to);
    double y = plot_legend_lines(legend, f, H, 3 + E, texts, to == GAG_SCREEN) - 2;
    gag_textcenter(legend, 0, 0);
    gag_setcolor_0(legend, f->colours.text);
    gag_drawtext_1(legend, 1, y, &lines[0]);
    y -= 2;
    for (int32_t k = 1; k <= E; k++, y -= 1) {
      gag1d_tablecolor_1(legend, f, (k - 1) * P + 1, E * P);
      gag_drawtext_1(legend, 1, y, &lines[size_t(k)]);
    }
  }
  gag_surfaces(legend, GAG_ALL);
  for (String &l : lines) strings_free_0(&l);
}

void time_plot(pde *p, uint16_t index, double *range) {
  TRACE("time_plot");
  plotrec *r = plot_of(p, index);
  if (!r) return;
  // Each drawing counts as an output of its own, so that its metafile does not take the
  // name of the one before.
  const vectord *T = &p->histtimes;
  if (T->count < 2) return;
  plotframe *f = block_of(p, PLOT_HISTORY);
  uint16_t view = r->views[1], legend = r->views[2];
  if (!checkview(view)) view = 0;
  if (!checkview(legend)) legend = 0;
  if (legend) history_points(p, r, f, legend);
  bool integrate = r->flags & plot_bit(4), format = r->flags & plot_bit(19);
  FileOwner file;
  FILE *out = *file = r->flags & plot_bit(1) ? exporter_get_print_file(p, r, 1) : nullptr;
  if (out) {
    exporter_print_header(p, out, r);
    if (!format) {
      fprintf(out, "\n %s  %d\n", p->axisname[3].text ? p->axisname[3].text : "", int(T->count));
      exporter_print_values(out, T->data, T->count);
    }
  }
  double lo = BIG, hi = -BIG;
  for (int32_t e = 0; e < r->values.count; e++)
    for (int32_t q = 0; q < r->values.data[e].count; q++) {
      const vectord *s = &r->values.data[e].data[q];
      for (int32_t i = 0; i < s->count; i++) lo = std::min(lo, s->data[i]), hi = std::max(hi, s->data[i]);
      double integral = integrate ? simpsint(T, s) : 0;
      // Per expression, per point (the reader sizes them so).
      if (integrate && e < r->integrals.count && q < r->integrals.data[e].count) r->integrals.data[e].data[q] = integral;
      if (!out || format) continue;
      const char *title = r->titles.count && r->titles.items[0].text ? r->titles.items[0].text : "";
      const char *label = e < r->labels.count && r->labels.items[e].text ? r->labels.items[e].text : "";
      if (r->at.count) {
        const point3d &a = r->at.data[q];
        fprintf(out, "\n DATA { %s : %s AT (%g", title, label, a.x);
        if (p->dimension >= 2) fprintf(out, ",%g", a.y);
        if (p->dimension >= 3) fprintf(out, ",%g", a.z);
        fputs(") }\n", out);
      } else {
        fprintf(out, "\n DATA { %s : %s }\n", title, label);
      }
      if (integrate) fprintf(out, "{ Integral=%14.10e }\n", integral);
      exporter_print_values(out, s->data, s->count);
    }
  if (out && format) {
    // One formatted line per expression and sample: the values of every point then.
    Owner<vectord, vectord_free> row;
    for (int32_t e = 0; e < r->values.count; e++) {
      const vector2d &series = r->values.data[e];
      int32_t n = series.count ? series.data[0].count : 0, offset = T->count - n;
      for (int32_t i = 0; i < n; i++) {
        vectord_resize(row.get(), series.count, std::max(series.count, row->capacity));
        for (int32_t q = 0; q < series.count; q++) row->data[q] = i < series.data[q].count ? series.data[q].data[i] : 0;
        double t = T->data[offset + i], pq[2] = {0, 0}, x[3] = {0, 0, 0};
        exporter_print_point(out, pq, x, t, t, row.get(), &r->format, &r->formatloc, false);
      }
    }
  }
  exporter_close_file(p, r, file.get());
  if (r->flags & plot_bit(8)) lo = range[0], hi = range[1];
  else lo = std::min(lo, range[0]), hi = std::max(hi, range[1]);
  r->rangevalues[2] = lo, r->rangevalues[3] = hi;
  if (legend) history_legend(r, f, legend);
  if (!view) return;
  // Expression k's series take the colours after those of the expressions before it.
  int32_t P = std::max(1, r->at.count), total = r->values.count * P;
  double yrange[2] = {lo, hi};
  for (int32_t e = 0; e < r->values.count; e++) {
    const vector2d *sets = &r->values.data[e];
    if (!sets->count) continue;
    vectord x = times_of(T, &sets->data[0]);
    if (e == 0)
      plot_line_plot(view, f, r, &x, sets, 1, &p->axisname[3], nullptr, yrange, total);
    else
      plot_add_line_plot(view, f, r, &x, sets, e + 1, e * P, total);
  }
}

void summary_plot(pde *p, uint16_t index) {
  TRACE("summary_plot");
  plotrec *r = plot_of(p, index);
  if (!r) return;
  uint16_t view = checkview(r->views[1]) ? r->views[1] : 0;
  FileOwner file;
  FILE *out = *file = r->flags & plot_bit(1) ? exporter_get_print_file(p, r, 1) : nullptr;
  if (out) exporter_print_header(p, out, r);
  plotframe *f = block_of(p, PLOT_SUMMARY);
  double H = f->titlesize > 0 ? f->titlesize : 20, y = H - 2;
  if (view) {
    gag_scaleview_1(view, 0, 0, 80, H);
    gag_setclip_1(view, 0, 0, 100, H);
    gag_textsize(view, float(H / 1.2), f->titleaspect);
    gag_setcolor_0(view, f->colours.text);
  }
  StringOwner owned;
  String &line = *owned;
  auto put = [&](const String *text, double step) {
    if (view) gag_printtext_1(view, 1, y, text);
    if (out) fprintf(out, " %s\n", text->text ? text->text : "");
    y -= step;
  };
  if (r->titles.count && r->titles.items[0].length) put(&r->titles.items[0], 2);
  for (int32_t k = 0; k < r->reportnames.count; k++) {
    strings_copyto_0(&line, &r->reportnames.items[k]);
    if (k < r->reportcompiled.count && r->reportcompiled.data[k]) {
      // A summary has no point of its own: not the last one another plot left, and
      // coordinates without a value, which the evaluator refuses.
      evalpoint ep = shared_point(p, p->time);
      ep.cell = nullptr;
      ep.x = ep.y = ep.z = std::nan("");
      add_num(&line, "= %.8g", treeval_eval(p, r->reportcompiled.data[k], &ep));
    }
    put(&line, 1);
  }
  exporter_close_file(p, r, file.get());
}

uint8_t doplot_debug = 0;

int doplot_init() {
  TRACE("doplot");
  last_monitor = -1;
  return 0;
}
