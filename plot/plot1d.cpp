// plot1d: elevation plots along segments and boundary paths.
#include "plot/plot1d.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "domain/domain.h"
#include "elements/cellnode.h"
#include "elements/meshes.h"
#include "graphics/gag.h"
#include "graphics/gag1d.h"
#include "graphics/gagscren.h"
#include "model/metrics.h"
#include "model/plot_records.h"
#include "model/treeval.h"
#include "model/window_record.h"
#include "plot/pgrid1.h"
#include "plot/plot2d.h"
#include "runtime/bopmem.h"
#include "runtime/debug.h"
#include "runtime/rect3d.h"
#include "runtime/rtlib.h"
#include "runtime/settings.h"
#include "runtime/vectort.h"

namespace {
LocalCell line_cell;  // the problem cell of the node being evaluated
String label;         // one-character labels
BopmemWork label_work([] { strings_free_0(&label); });

String text(const char *c) { return {uint16_t(strlen(c)), 0, const_cast<char *>(c)}; }

void put_label(uint16_t view, const pointd &at, char ch) {
  strings_copyto_1(&label, "");
  strings_append(&label, uint8_t(ch));
  gag_drawprinttext_0(view, &at, &label);
}
}  // namespace

int plot1d_init() { return 0; }

static plotdata *data_of(PlotSet *set, const plotrec *plot) { return &set->plotdatas.data[plot->data - 1]; }

void plot1d_build_line_data(pde *p, PlotSet *set, Mesh *m, plotrec *plot, int32_t, plotrange *range, vector3d *values) {
  TRACE("plot1d_build_line_data");
  plotdata *d = data_of(set, plot);
  const tmeshlist &l = d->meshes;
  int32_t nexpr = plot->exprs.count;
  evalpoint &pt = plot2d_point;
  pt.nx = d->lineplane[0], pt.ny = d->lineplane[1], pt.nz = d->lineplane[2];
  range->min = 1e37, range->max = -1e37;
  range->minat = range->maxat = {0, 0};
  vector3d_resize(values, nexpr, std::max(nexpr, values->capacity));
  for (int32_t e = 0; e < nexpr; e++)
    vector2d_resize(&values->data[e], l.count, std::max(l.count, values->data[e].capacity));
  vectort visited = {};
  for (int32_t k = 1; k <= l.count; k++) {
    const tmesh &t = l.data[k - 1];
    for (int32_t e = 0; e < nexpr; e++) {
      vectord &u = values->data[e].data[k - 1];
      vectord_resize(&u, t.nodes.count, std::max(t.nodes.count, u.capacity));
    }
    vectort_resize(&visited, t.nodes.count, std::max(t.nodes.count, visited.capacity));
    vectort_copyto_1(&visited, 0);
    for (int32_t c = 1; c <= t.source.count; c++) {
      int32_t sc = t.source.data[c - 1];
      const MeshCell &mc = m->cells.data[sc - 1];
      meshes_localize(m, &mc, &line_cell, 0);
      pt.cell = &line_cell, pt.cellno = uint32_t(sc), pt.region = mc.region;
      pt.side = d->boundary ? uint8_t(t.flags.data[c - 1] & 7) : 0;
      for (int j = 0; j < t.ncell; j++) {
        int32_t n = t.cells.data[(c - 1) * t.ncell + j];
        if (n <= 0 || vectort_if_bit(&visited, n)) continue;
        const point3d &q = t.nodes3.data[n - 1];
        double xyz[3] = {q.x, q.y, q.z};
        pt.x = q.x, pt.y = q.y, pt.z = q.z;
        elements_get_lcoords(pt.local, xyz, &line_cell.frame, 0.5);
        pointd at = {t.nodes.data[n - 1].x, 0};
        for (int32_t e = 1; e <= nexpr; e++) {
          double v = treeval_eval(p, contour_tree(plot, e, pt.region), &pt);
          values->data[e - 1].data[k - 1].data[n - 1] = v;
          contour_widen(range, v, &at);
        }
        if (n % 1000 == 0) gagscren_dispatch(0);
        vectort_set_bit(&visited, n);
      }
    }
  }
  vectort_free(&visited);
}

void plot1d_integrate_plot_1d(PlotSet *set, const metric *coords, plotrec *plot, vectord *integrals,
                              const vector3d *values) {
  TRACE("plot1d_integrate_plot_1d");
  plotdata *d = data_of(set, plot);
  bool cyl = coords->family == 2 && (coords->geometry == 5 || coords->geometry == 6) && (plot->flags & plot_bit(22));
  vectord_resize(integrals, values->count, std::max(values->count, integrals->capacity));
  vectord w = {};
  for (int32_t e = 0; e < values->count; e++) {
    double sum = 0;
    for (int32_t k = 0; k < d->meshes.count && k < values->data[e].count; k++) {
      const tmesh &t = d->meshes.data[k];
      vectord_copyto_0(&w, &values->data[e].data[k]);
      if (cyl)
        for (int32_t i = 0; i < w.count; i++)
          w.data[i] *= 2 * M_PI * (coords->geometry == 5 ? t.nodes3.data[i].y : t.nodes3.data[i].x);
      sum += trimesh_tintegrate(&t, &w);
    }
    integrals->data[e] = sum;
  }
  vectord_free(&w);
}

static void revert(uint16_t view, const char *axis, double v) {
  if (settings.batch) return;
  char m[64];
  snprintf(m, sizeof m, "Negative %s reverts to Linear scale", axis);
  String ms = text(m), title = text("Error");
  if (view) gag_showmessage(view, &ms, &title);
  debug_printf("Negative %s (%g) reverts to Linear scale\n", axis, v);
}

void plot1d_check_logs(uint16_t view, plotrec *plot, double x, double y, double z, int32_t axes) {
  TRACE("plot1d_check_logs");
  int32_t &s = plot->scale;
  if (s >= 4 && s <= 7 && x <= 0) revert(view, "X", x), s &= 3;
  if (axes >= 2 && (s == 2 || s == 3 || s == 7) && y <= 0) revert(view, "Y", y), s &= 5;
  if (axes >= 3 && (s == 1 || s == 3 || s == 5 || s == 7) && z <= 0) revert(view, "Z", z), s &= 6;
}

double plot1d_log_probe(const plotrec *plot, double datamin) {
  const double *given = plot->rangevalues;
  if ((plot->flags & plot_bit(8)) && given[0] < 1e30 && given[1] > -1e30) return std::max(given[0], given[1]);
  return std::min(datamin, given[0]);
}

double plot_spot(const plotdata *d, const point3d *q) {
  if (d->lineaxis >= 1 && d->lineaxis <= 3) return d->lineaxis == 1 ? q->x : d->lineaxis == 2 ? q->y : q->z;
  double xyz[3] = {q->x, q->y, q->z};
  return pgrid1_elevation_project(xyz, d);
}

double first_spot(const plotdata *d, const tmesh *t) { return pgrid1_node_spot(d, t, 1); }
double last_spot(const plotdata *d, const tmesh *t) { return pgrid1_node_spot(d, t, t->nodes.count); }

// The segment's ends as drawn: its start and end points of the distance range.
static void segment_end(const plotdata *d, int end, point3d *q) {
  double t = d->drange[end];
  q->x = d->lineends[0] + t * d->direction[0];
  q->y = d->lineends[1] + t * d->direction[1];
  q->z = d->lineends[2] + t * d->direction[2];
}

void lineout_labeling(WindowState *w, PlotSet *set, Domain *dom, plotrec *plot, uint16_t view) {
  TRACE("lineout_labeling");
  if (!view) return;
  plotdata *d = data_of(set, plot);
  plotframe *f = &w->styles[1];
  // a. The domain outline.
  rectd box = {0, 0, 1, 1};
  if (dom) rect3d_xyrect_0(&box, &dom->grid.box);
  gag1d_border_map(view, f, &box, 0, 1);
  plot_show_domain_0(view, dom, nullptr);
  // b. The path marks, twelve lines to the picture's height (legible at the smallest
  // tile): set here, they do not take whatever size the view was left at.
  gag_setcolor_0(view, 11);
  gag_textsize(view, 12, f->titleaspect);
  gag_textcenter(view, 0.5f, 0.5f);
  if (d->line) {
    point3d a, b;
    segment_end(d, 0, &a), segment_end(d, 1, &b);
    pointd pa = {a.x, a.y}, pb = {b.x, b.y};
    gag_drawline_0(view, &pa, &pb);
    put_label(view, pa, '1');
    put_label(view, pb, '2');
    d->closed = 0;
  } else if (d->meshes.count > 0) {
    for (int32_t k = 1; k <= d->meshes.count; k++) {
      const point3d &q = d->meshes.data[k - 1].nodes3.data[0];
      put_label(view, {q.x, q.y}, gag1d_hex_char(k));
    }
    const tmesh &last = d->meshes.data[d->meshes.count - 1];
    const point3d &e = last.nodes3.data[last.nodes3.count - 1], &s = d->meshes.data[0].nodes3.data[0];
    double diag = std::hypot(box.x2 - box.x1, box.y2 - box.y1);
    d->closed = std::hypot(e.x - s.x, e.y - s.y) <= 0.001 * diag ? 1 : 0;
    if (!d->closed) put_label(view, {e.x, e.y}, gag1d_hex_char(d->meshes.count + 1));
  }
  // c. The legend: caption lines, then each expression in its colour; drawn for pages at
  // their sizes, then for the screen as large as a contour legend.
  int32_t n = plot->labels.count;
  std::vector<String> lines(size_t(n), String{});
  std::vector<const String *> texts;
  for (int32_t i = 1; i <= plot->titles.count; i++) texts.push_back(&plot->titles.items[i - 1]);
  for (int32_t k = 1; k <= n; k++) {
    String &line = lines[size_t(k - 1)];
    strings_append(&line, uint8_t(gag1d_tag_char(k)));
    strings_addto_1(&line, ": ");
    strings_addto_0(&line, &plot->labels.items[k - 1]);
    texts.push_back(&line);
  }
  for (uint8_t to : {GAG_PAGE, GAG_SCREEN}) {
    gag_surfaces(view, to);
    double y = plot_legend_lines(view, f, f->titlesize, plot->titles.count + 2 + n, texts, to == GAG_SCREEN) - 2;
    gag_setcolor_0(view, f->colours.text);
    gag_textcenter(view, 0, 0);
    for (int32_t i = 1; i <= plot->titles.count; i++, y -= 1) gag_drawtext_1(view, 1, y, &plot->titles.items[i - 1]);
    y -= 2;
    for (int32_t k = 1; k <= n; k++, y -= 1) {
      gag_setcolor_0(view, gag1d_tablecolor_0(&w->styles[2], k, n));
      gag_drawtext_1(view, 1, y, &lines[size_t(k - 1)]);
    }
  }
  gag_surfaces(view, GAG_ALL);
  for (String &line : lines) strings_free_0(&line);
}

void poly_lineout(WindowState *w, PlotSet *set, plotrec *plot, uint16_t view, plotframe *f, const vector3d *values,
                  double lower) {
  TRACE("poly_lineout");
  plotdata *d = data_of(set, plot);
  gag_setclip_0(view, &f->box);
  int32_t n = values->count;
  pointdlist tags = {};
  vectord x = {};
  String tag = {};
  for (int32_t e = 1; e <= n; e++) {
    uint8_t colour = gag1d_tablecolor_0(&w->styles[2], e, n);
    strings_copyto_1(&tag, " ");
    strings_append(&tag, uint8_t(gag1d_tag_char(e)));
    for (int32_t k = 1; k <= d->meshes.count && k <= values->data[e - 1].count; k++) {
      const tmesh &t = d->meshes.data[k - 1];
      vectord_resize(&x, t.nodes.count, std::max(t.nodes.count, x.capacity));
      for (int32_t i = 0; i < t.nodes.count; i++) x.data[i] = pgrid1_node_spot(d, &t, i + 1);
      gag_setcolor_0(view, colour);
      const vectord &y = values->data[e - 1].data[k - 1];
      if (t.tags.count >= t.nodes.count)
        gag1d_draw_tagged_1(view, f, &x, &y, &tags, &tag, &t.tags);
      else
        gag1d_draw_tagged_0(view, f, &x, &y, &tags, &tag);
    }
  }
  gag_setcolor_0(view, 7);
  String caret = text("^");
  for (int32_t k = 0; k < d->meshes.count; k++) {
    const tmesh &t = d->meshes.data[k];
    for (int32_t i = 0; i < t.tags.count && i < t.nodes.count; i++)
      if (t.tags.data[i] == 2 || t.tags.data[i] == 3) {
        pointd at = {t.nodes.data[i].x, lower};
        gag1d_drawtext(view, f, &at, &caret);
      }
  }
  gag_fullclip(view);
  strings_free_0(&tag);
  vectord_free(&x);
  pointd_free_1(&tags);
}

void plot1d_elevation(WindowState *w, PlotSet *set, Domain *dom, int32_t contours, uint16_t view, uint16_t locview,
                      uint16_t number, const plotrange *range, const vector3d *values) {
  TRACE("plot1d_elevation");
  plotrec *plot = &set->plotrecs.data[number - 1];
  plotdata *d = data_of(set, plot);
  plotframe *f = &w->styles[1];
  lineout_labeling(w, set, dom, plot, locview);
  if (!view) return;
  plot1d_check_logs(view, plot, d->hrange[0], plot1d_log_probe(plot, range->min), 0, 2);
  double lo = range->min, hi = range->max;
  plot_ranger(&lo, plot->rangevalues[0], &hi, plot->rangevalues[1], contours > 0 ? contours : 15, plot);
  rectd box = {d->hrange[0], lo, d->hrange[1], hi};
  double lower = gag1d_border_map(view, f, &box, int16_t(plot->scale), 0);
  String none = {};
  gag1d_draw_axes(view, f, &d->axislabels[0], plot->titles.count ? &plot->titles.items[0] : &none);
  poly_lineout(w, set, plot, view, f, values, lower);
  // Path marks under the axis.
  gag_setcolor_0(view, 3);
  gag_textsize(view, f->titlesize, f->titleaspect);
  gag_textcenter(view, 0.5f, 0);
  // In the view's coordinates: logarithms on log axes.
  double y = f->logy && lower > 0 ? std::log(lower) : lower;
  auto mark = [&](double h, char ch) { put_label(view, {f->logx && h > 0 ? std::log(h) : h, y}, ch); };
  if (d->line) {
    point3d a, b;
    segment_end(d, 0, &a), segment_end(d, 1, &b);
    mark(plot_spot(d, &a), '1');
    mark(plot_spot(d, &b), '2');
  } else if (d->meshes.count > 0) {
    for (int32_t k = 1; k <= d->meshes.count; k++) mark(first_spot(d, &d->meshes.data[k - 1]), gag1d_hex_char(k));
    mark(last_spot(d, &d->meshes.data[d->meshes.count - 1]), d->closed ? '1' : gag1d_hex_char(d->meshes.count + 1));
  }
}
