// plot: creation, growth, sharing and release of the plot, plot-data and time records.
#include "plot/plot.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <type_traits>
#include <vector>

#include "domain/domain.h"
#include "elements/elements.h"
#include "elements/meshes.h"
#include "graphics/gag.h"
#include "graphics/gag1d.h"
#include "graphics/gag3d.h"
#include "plot/exporter.h"
#include "plot/netcdf.h"
#include "plot/plot3d.h"
#include "runtime/clipping.h"
#include "runtime/bopmem.h"
#include "runtime/rtlib.h"

namespace {

// Moves a record vector into new storage of the capacity (records past count zero).
template <class V>
void resize(V *v, int32_t count, int32_t capacity, const char *where) {
  using R = std::remove_pointer_t<decltype(v->data)>;
  if (count < 0 || capacity < count) rtlib_fatal_in(where, "VECTOR LENGTH ERROR");
  if (capacity != v->capacity) {
    R *grown = nullptr;
    if (capacity > 0) {
      bopmemalloc(&grown, capacity, sizeof(R));
      XMEM += int64_t(capacity) * sizeof(R);
    }
    int32_t keep = v->count < capacity ? v->count : capacity;
    if (keep > 0) memcpy(static_cast<void *>(grown), v->data, size_t(keep) * sizeof(R));
    if (v->data) {
      XMEM -= int64_t(v->capacity) * sizeof(R);
      bopmemfree(&v->data);
    }
    v->data = grown;
    v->capacity = capacity;
  }
  if (count > v->count) memset(static_cast<void *>(v->data + v->count), 0, size_t(count - v->count) * sizeof(R));
  v->count = count;
}

template <class V>
uint16_t one_more(V *v, int32_t capacity, void (*grow)(V *, int32_t, int32_t), const char *where) {
  if (v->count >= 65535) rtlib_fatal_in(where, "TOO MANY PLOTS");
  if (v->count >= v->capacity) grow(v, v->count, capacity);
  grow(v, v->count + 1, v->capacity);
  return uint16_t(v->count);
}

void free_record(plotrec *r) {
  matrixn_free(&r->modeviews);
  for (TreeNode *&t : r->range) t = trees_free_0(t);
  trees_free_1(&r->exprs, 1);
  trees_free_2(&r->compiled, 1);
  for (String *s : {&r->name, &r->file, &r->format}) strings_free_0(s);
  for (StringList *l : {&r->titles, &r->labels, &r->reportnames}) strings_free_1(l, 1);
  vectorn_free(&r->fits);
  trees_free_1(&r->reports, 1);
  trees_free_1(&r->reportcompiled, 1);
  vector2d_free(&r->integrals, 1);
  if (r->stream) fclose(r->stream);
  vector4d_free(&r->lines, 1);
  vector3d_free(&r->values, 1);
  point3d_free_1(&r->at);
  for (vectord &c : r->cdf) vectord_free(&c);
}

void free_data(plotdata *d) {
  for (String &s : d->axislabels) strings_free_0(&s);
  for (vector2t &s : d->strips) vector2t_free(&s, 1);
  trimesh_free_1(&d->meshes, 1);
  vector2d_free(&d->nodevalues, 1);
  vectorb_free(&d->nodeflags);
}

// Whether two plot-data records would build the same plot mesh.
bool same_mesh(const plotdata &a, const plotdata &b) {
  auto same = [](const auto &x, const auto &y) { return memcmp(&x, &y, sizeof x) == 0; };
  // Doubles compare exactly, as numbers (so 0 and -0 agree).
  auto equal = [](const double *x, const double *y, int n) {
    for (int k = 0; k < n; k++)
      if (!(x[k] == y[k])) return false;
    return true;
  };
  if (a.cut != b.cut || a.zoomed != b.zoomed || a.line != b.line || a.vector != b.vector || a.fill != b.fill ||
      a.created != b.created || a.paintregions != b.paintregions || a.grid != b.grid ||
      a.linearize != b.linearize || a.nodensify != b.nodensify || a.domainbox != b.domainbox)
    return false;
  if (!same(a.points, b.points) || a.boundary != b.boundary || a.region != b.region || a.surface != b.surface ||
      a.layer != b.layer)
    return false;
  if (a.zoomed && !equal(a.box, b.box, 6)) return false;
  if (a.line && !equal(a.lineends, b.lineends, 6)) return false;
  if (a.cut && !equal(a.plane, b.plane, 4)) return false;
  return true;
}

}  // namespace

void plot_caption(String *out, const plotrec *r) {
  if (r->titles.count && r->titles.items[0].length) strings_copyto_0(out, &r->titles.items[0]);
  else strings_copyto_1(out, r->kind == PLOT_SUMMARY ? "SUMMARY" : "");
}

uint16_t plot_one_more_1(plotvector *v) {
  TRACE("plot_one_more_1");
  return one_more(v, v->capacity + 16, plot_resize_0, "plot_one_more_1");
}

uint16_t plot_one_more_0(plotdatavector *v) {
  TRACE("plot_one_more_0");
  return one_more(v, v->capacity + 16, plot_resize_2, "plot_one_more_0");
}

uint16_t plot_one_more_2(timevector *v) {
  TRACE("plot_one_more_2");
  return one_more(v, v->capacity * 6 / 5 + 10, plot_resize_1, "plot_one_more_2");
}

void plot_resize_0(plotvector *v, int32_t count, int32_t capacity) {
  TRACE("plot_resize_0");
  resize(v, count, capacity, "plot_resize_0");
}

void plot_resize_1(timevector *v, int32_t count, int32_t capacity) {
  TRACE("plot_resize_1");
  resize(v, count, capacity, "plot_resize_1");
}

void plot_resize_2(plotdatavector *v, int32_t count, int32_t capacity) {
  TRACE("plot_resize_2");
  resize(v, count, capacity, "plot_resize_2");
}

void plot_free_0(plotvector *v) {
  TRACE("plot_free_0");
  for (int32_t k = 0; k < v->count; k++) free_record(&v->data[k]);
  resize(v, 0, 0, "plot_free_0");
}

void plot_free_1(timevector *v) {
  TRACE("plot_free_1");
  for (int32_t k = 0; k < v->count; k++) {
    vectord_free(&v->data[k].times);
    vectorn_free(&v->data[k].plots);
  }
  resize(v, 0, 0, "plot_free_1");
}

void plot_free_2(plotdatavector *v) {
  TRACE("plot_free_2");
  for (int32_t k = 0; k < v->count; k++) free_data(&v->data[k]);
  resize(v, 0, 0, "plot_free_2");
}

void plotset_release(PlotSet *s) {
  plot_free_0(&s->plotrecs);
  plot_free_1(&s->timerecs);
  plot_free_2(&s->plotdatas);
  for (vectorn *v : {&s->monitors, &s->plots, &s->histories, &s->exports, &s->otherplots}) vectorn_free(v);
  vectord_free(&s->histtimes);
}

uint16_t plot_assign_plot_mesh(plotdatavector *v) {
  TRACE("plot_assign_plot_mesh");
  int32_t n = v->count;
  if (n < 1) rtlib_fatal_in("plot_assign_plot_mesh", "NO PLOT DATA");
  for (int32_t k = 1; k < n; k++)
    if (same_mesh(v->data[k - 1], v->data[n - 1])) {
      free_data(&v->data[n - 1]);
      memset(static_cast<void *>(&v->data[n - 1]), 0, sizeof(plotdata));
      v->count--;
      return uint16_t(k);
    }
  return uint16_t(n);
}

void plot_size_marks(plotdata *d, int32_t groups, int32_t cells, int32_t nodes) {
  TRACE("plot_size_marks");
  for (vector2t &s : d->strips) vector2t_resize(&s, groups, std::max(groups, s.capacity));
  for (int32_t g = 0; g < groups; g++) {
    vectort_resize(&d->strips[0].data[g], cells, cells);
    vectort_copyto_1(&d->strips[0].data[g], 0);
    vectort_resize(&d->strips[1].data[g], nodes, nodes);
    vectort_copyto_1(&d->strips[1].data[g], 0);
  }
}

// ---- Histories across a re-parsed stage ----------------------------------------------

namespace {

// The history samples saved before a re-parse: the times and, by position in the plot
// vector, every series of every HISTORY plot (empty for other plots).
using series_store = std::vector<std::vector<std::vector<double>>>;  // expression, point, samples
std::vector<double> saved_times;
std::vector<series_store> saved_series;
bool saved = false;

// The open netCDF file of a CDF export, kept by position like the series: a staged
// run that re-parses its descriptor goes on writing records into the same file.
struct cdf_state {
  uint16_t handle = 0, outputs = 0;
  std::vector<double> low, high;
};
std::vector<cdf_state> saved_cdf;

}  // namespace

void plot_save_histories(plotvector *plots, vectord *times) {
  TRACE("plot_save_histories");
  saved_times.assign(times->data, times->data + times->count);
  saved_series.assign(size_t(plots->count), {});
  saved_cdf.assign(size_t(plots->count), {});
  for (int32_t k = 0; k < plots->count; k++) {
    const plotrec &r = plots->data[k];
    if (r.kind == PLOT_CDF && r.exportid) {
      saved_cdf[k] = {r.exportid, r.outputs, std::vector<double>(r.cdf[1].data, r.cdf[1].data + r.cdf[1].count),
                      std::vector<double>(r.cdf[2].data, r.cdf[2].data + r.cdf[2].count)};
    }
    if (r.kind != PLOT_HISTORY) continue;
    series_store &s = saved_series[k];
    s.resize(size_t(r.values.count));
    for (int32_t e = 0; e < r.values.count; e++) {
      const vector2d &pts = r.values.data[e];
      s[e].resize(size_t(pts.count));
      for (int32_t i = 0; i < pts.count; i++) s[e][i].assign(pts.data[i].data, pts.data[i].data + pts.data[i].count);
    }
  }
  saved = true;
}

// The re-parsed plot at the same position gets its series back; every series of it is
// as long as the time samples: a series it did not have before is padded with zeros.
void plot_restore_histories(plotvector *plots, vectord *times) {
  TRACE("plot_restore_histories");
  if (!saved) return;
  int32_t n = int32_t(saved_times.size());
  vectord_resize(times, n, std::max(n, times->capacity));
  std::copy(saved_times.begin(), saved_times.end(), times->data);
  for (int32_t k = 0; k < plots->count && k < int32_t(saved_series.size()); k++) {
    plotrec &r = plots->data[k];
    const series_store &s = saved_series[k];
    if (r.kind != PLOT_HISTORY || s.empty()) continue;
    int32_t ne = std::max<int32_t>(r.values.count, int32_t(s.size()));
    vector3d_resize(&r.values, ne, std::max(ne, r.values.capacity));
    for (int32_t e = 0; e < ne; e++) {
      vector2d &pts = r.values.data[e];
      int32_t np = std::max<int32_t>(pts.count, e < int32_t(s.size()) ? int32_t(s[e].size()) : 0);
      np = std::max<int32_t>(np, r.at.count);
      vector2d_resize(&pts, np, std::max(np, pts.capacity));
      for (int32_t i = 0; i < np; i++) {
        vectord &v = pts.data[i];
        vectord_resize(&v, n, std::max(n, v.capacity));
        std::fill_n(v.data, n, 0.0);
        if (e < int32_t(s.size()) && i < int32_t(s[e].size()))
          std::copy_n(s[e][i].begin(), std::min<size_t>(s[e][i].size(), size_t(n)), v.data);
      }
    }
  }
  // A CDF export at the same position takes its file back; other files are closed.
  for (size_t k = 0; k < saved_cdf.size(); k++) {
    cdf_state &c = saved_cdf[k];
    if (!c.handle) continue;
    plotrec *r = int32_t(k) < plots->count ? &plots->data[k] : nullptr;
    if (!r || r->kind != PLOT_CDF || r->exportid || int32_t(c.low.size()) != r->exprs.count) {
      exporter_cdf_close(c.handle);
      continue;
    }
    r->exportid = c.handle, r->outputs = c.outputs;
    for (int i = 1; i <= 2; i++) {
      const std::vector<double> &v = i == 1 ? c.low : c.high;
      vectord_resize(&r->cdf[i], int32_t(v.size()), std::max<int32_t>(int32_t(v.size()), r->cdf[i].capacity));
      std::copy(v.begin(), v.end(), r->cdf[i].data);
    }
  }
  saved_cdf.clear();
  saved_times.clear();
  saved_series.clear();
  saved = false;
}

// ---- Colours, ranges and viewpoints --------------------------------------------------

void plot_fixcolors(plotframe *block, int32_t mode, uint8_t a, uint8_t b) {
  TRACE("plot_fixcolors");
  if (!block) return;
  framecolors &c = block->colours;
  switch (mode) {
    case 0:
      c.curve = colour_black, c.mark = colour_grey127, c.axis = colour_band_blue, c.text = colour_black;
      c.background = colour_white, c.spectrum_count = 32, c.spectrum_first = colour_band_red;
      break;
    case 1:
      c.curve = colour_black, c.mark = colour_grey127, c.axis = colour_grey127, c.text = colour_black;
      c.background = colour_white, c.spectrum_count = 5, c.spectrum_first = colour_black;
      break;
    case 2:
      c.curve = colour_black, c.mark = colour_black, c.axis = colour_black, c.text = colour_black;
      c.background = colour_white, c.spectrum_count = 1, c.spectrum_first = colour_black;
      break;
    default:
      break;
  }
  c.spectrum_cycle = a;
  c.accent = b;
}

// Whether the value axis of a plot is logarithmic.
static bool log_values(const plotrec *plot) {
  int32_t s = plot->scale;
  if (plot->kind == PLOT_ELEVATION || plot->kind == PLOT_HISTORY) return s == 2 || s == 6;
  return s == 1 || s == 3 || s == 5 || s == 7;
}

int32_t plot_ranger(double *low, double low2, double *high, double high2, int32_t levels, const plotrec *plot) {
  TRACE("plot_ranger");
  // A fixed range replaces the data's, from the smaller to the larger of its two
  // values, and is widened and clamped as the data's would be. A bound left unset (at
  // its far extreme) is the data's; FIXED with neither keeps the data's range as it is.
  double lo, hi;
  if (plot->flags & plot_bit(8)) {
    bool haslow = (low2 < 1e30), hashigh = (high2 > -1e30);
    if (!haslow && !hashigh) return levels;
    double a = haslow ? low2 : *low, b = hashigh ? high2 : *high;
    lo = std::min(a, b), hi = std::max(a, b);
  } else {
    lo = std::min(*low, low2), hi = std::max(*high, high2);
  }
  double M = std::max(std::fabs(lo), std::fabs(hi));
  if (hi - lo < 0.0001 * M) {
    double mid = (lo + hi) / 2, w = hi - lo;
    lo = mid - 0.00005 * M, hi = mid + 0.00005 * M;
    levels = int32_t(w * 10000 / M * levels) + 2;
  }
  if (log_values(plot)) {
    double floor = hi / std::pow(10.0, plot->decades);
    if (lo < floor) lo = floor;
  }
  *low = lo, *high = hi;
  return levels;
}

double plot_legend_lines(uint16_t view, const plotframe *f, double s, int32_t used,
                         const std::vector<const String *> &texts, bool screen) {
  double lines = s;
  float page = float(s / 1.2), size = page;
  pointd rel = {1, 1};
  gag_askrelsize(view, &rel);
  if (screen && rel.y > 0) lines = std::min(s, std::max(std::ceil(0.6 * s), double(used + 4)));
  double W = 20 * lines / s;
  gag_scaleview_1(view, 0, 0, W, lines);
  if (screen && rel.y > 0) {
    float tall = float(lines / (1.25 * rel.y));
    gag_textsize(view, tall, f->titleaspect);
    gag_textuniform_0(view, 'm');
    double widest = 0, room = W - 1.3;
    for (const String *t : texts) {
      pointd size2 = {0, 0};
      gag_asktextsize(view, t, &size2);
      widest = std::max(widest, size2.x);
    }
    if (widest > room && room > 0) tall = float(tall * widest / room);
    size = std::min(tall, page);
  }
  gag_textsize(view, size, f->titleaspect);
  gag_textuniform_0(view, 'm');
  return lines;
}

void plot_validate_viewpoint(double *viewpoint, const rect3d *box) {
  TRACE("plot_validate_viewpoint");
  if (std::fabs(viewpoint[0]) + std::fabs(viewpoint[1]) != 0) return;
  double w = box->x2 - box->x1, h = box->y2 - box->y1, d = std::sqrt(w * w + h * h);
  double a = 1.375 * M_PI;
  viewpoint[0] = (box->x1 + box->x2) / 2 + 3 * d * std::cos(a);
  viewpoint[1] = (box->y1 + box->y2) / 2 + 3 * d * std::sin(a);
  viewpoint[2] = M_PI / 3;
}

// ---- Line plots ----------------------------------------------------------------------

namespace {
pointdlist line_tags;  // tags placed on the current line plot
}

void plot_series_tag(String *tag, int32_t k, int32_t expr, int32_t exprs) {
  char text[16];
  int n = 0;
  if (exprs > 1) n = snprintf(text, sizeof text, "%d", int(expr));
  text[n++] = char(k < 27 ? k + 96 : k + 38);
  text[n] = 0;
  strings_copyto_1(tag, text);
}

// Draws the series of one expression in table colours with their tags.
static void draw_series(uint16_t view, plotframe *f, const plotrec *plot, const vectord *x, const vector2d *sets,
                        int32_t expr, int32_t offset, int32_t total) {
  String tag = {};
  int32_t exprs = plot->exprs.count;
  for (int32_t k = 1; k <= sets->count; k++) {
    gag1d_tablecolor_1(view, f, offset + k, total > 0 ? total : sets->count);
    plot_series_tag(&tag, k, expr, exprs);
    gag1d_draw_tagged_0(view, f, x, &sets->data[k - 1], &line_tags, &tag);
  }
  strings_free_0(&tag);
}

void plot_line_plot(uint16_t view, plotframe *f, const plotrec *plot, const vectord *x, const vector2d *sets,
                    int32_t expr, const String *xtitle, const String *ytitle, const double *yrange, int32_t total) {
  TRACE("plot_line_plot");
  if (!view) return;  // no view: nothing to draw
  int32_t s = plot->scale;
  bool logx = s == 4 || s == 5 || s == 7, logy = s == 2 || s == 3 || s == 7;
  double b[4] = {1e300, 1e300, -1e300, -1e300};
  for (int32_t i = 0; i < x->count; i++) b[0] = std::min(b[0], x->data[i]), b[2] = std::max(b[2], x->data[i]);
  for (int32_t k = 0; k < sets->count; k++)
    for (int32_t i = 0; i < sets->data[k].count; i++)
      b[1] = std::min(b[1], sets->data[k].data[i]), b[3] = std::max(b[3], sets->data[k].data[i]);
  if (yrange) b[1] = yrange[0], b[3] = yrange[1];
  if (b[0] > b[2]) b[0] = b[2] = 0;
  if (b[1] > b[3]) b[1] = b[3] = 0;
  // 5 % of the range on each side; on a logarithmic axis 5 % of each bound itself.
  for (int a = 0; a < 2; a++) {
    double &lo = b[a], &hi = b[a + 2];
    if (a == 0 ? logx : logy) {
      lo -= 0.05 * lo, hi += 0.05 * hi;
    } else {
      double m = 0.05 * (hi - lo);
      lo -= m, hi += m;
    }
  }
  int16_t code = int16_t(logx && logy ? 6 : logx ? 4 : logy ? 2 : 0);
  gag1d_plotmap(view, f, b[0], b[1], b[2], b[3], code, 0, 0);
  gag1d_draw_axes(view, f, xtitle, ytitle);
  pointd_resize_1(&line_tags, 0, std::max(line_tags.capacity, 10));
  draw_series(view, f, plot, x, sets, expr, 0, total);
}

void plot_add_line_plot(uint16_t view, plotframe *f, const plotrec *plot, const vectord *x, const vector2d *sets,
                        int32_t expr, int32_t offset, int32_t total) {
  TRACE("plot_add_line_plot");
  if (!view) return;  // no view: nothing to draw
  draw_series(view, f, plot, x, sets, expr, offset, total);
}

// ---- Domains ---------------------------------------------------------------------------

static const Joint &joint(const Domain *d, uint16_t j) { return d->joints.data[j - 1]; }

// One edge: arcs traced with the given fraction of the smaller side of their box.
static void show_edge(uint16_t view, Domain *d, uint16_t e, uint8_t colour, double arcstep) {
  if (!d || e < 1 || e > d->edges.count) return;
  const Edge &E = d->edges.data[e - 1];
  if (E.deleted || E.joint1 < 1 || E.joint2 < 1) return;
  gag_setcolor_0(view, E.marked ? colour_grey192 : colour ? colour : colour_black);
  const Joint &a = joint(d, E.joint1), &b = joint(d, E.joint2);
  if (E.shape == SHAPE_ARC || E.shape == SHAPE_ERC) {
    const arcrec &r = E.shapedata.arc;
    double side = std::min(E.box.x2 - E.box.x1, E.box.y2 - E.box.y1);
    pointd p = {a.x, a.y};
    gag_tracearc(view, &p, r.rx, r.ry, r.start, r.sweep, arcstep * side);
    return;
  }
  // An edge of an extruded domain lifts an edge of the base domain: seen from above it is
  // that edge, an arc drawn as an arc.
  if (E.shape == SHAPE_EXTRUD && E.shapedata.base) {
    const edgetable *base = static_cast<const edgetable *>(E.shapedata.base);
    const Edge *B = E.source >= 1 && E.source <= base->count ? &base->data[E.source - 1] : nullptr;
    if (B && (B->shape == SHAPE_ARC || B->shape == SHAPE_ERC)) {
      const arcrec &r = B->shapedata.arc;
      double side = std::min(B->box.x2 - B->box.x1, B->box.y2 - B->box.y1);
      pointd p = {r.cx + r.rx * std::cos(r.start), r.cy + r.ry * std::sin(r.start)};
      gag_tracearc(view, &p, r.rx, r.ry, r.start, r.sweep, arcstep * side);
      return;
    }
  }
  // Lines, and the shapes this program does not build, between their joints.
  gag_drawline_1(view, a.x, a.y, b.x, b.y);
}

void plot_show_segment_0(uint16_t view, Domain *d, uint16_t edge, uint8_t colour) {
  TRACE("plot_show_segment_0");
  if (!view) return;  // no view: nothing to draw
  show_edge(view, d, edge, colour, 0.03);
}

void plot_show_zoomed_segment(uint16_t view, Domain *d, uint16_t edge, uint8_t colour, const rect3d *box) {
  TRACE("plot_show_zoomed_segment");
  if (!view) return;  // no view: nothing to draw
  if (!d) return;
  rectd clip = {box->x1, box->y1, box->x2, box->y2};
  gag_setclip_0(view, &clip);
  show_edge(view, d, edge, colour, 0.1);
}

void plot_show_domain_1(uint16_t view, Domain *d, uint8_t zoomed, const rect3d *box) {
  TRACE("plot_show_domain_1");
  if (!view) return;  // no view: nothing to draw
  if (!d) return;
  for (uint16_t e = 1; e <= d->edges.count; e++)
    if (zoomed) plot_show_zoomed_segment(view, d, e, 0, box);
    else plot_show_segment_0(view, d, e, 0);
  if (zoomed) gag_fullclip(view);
}

void plot_show_domain_0(uint16_t view, Domain *d, const rect3d *box) {
  TRACE("plot_show_domain_0");
  plot_show_domain_1(view, d, 0, box);
}

void plot_show_region_0(uint16_t view, plotframe *styles, Domain *d, uint16_t region) {
  TRACE("plot_show_region_0");
  if (!view) return;  // no view: nothing to draw
  if (!d || region < 1 || region > d->regions.count) return;
  const struct region &r = d->regions.data[region - 1];
  rectd box = {r.box.x1, r.box.y1, r.box.x2, r.box.y2};
  gag1d_border_map(view, styles, &box, 0, 1);
  for (int32_t i = 0; i < r.loops.count; i++) {
    uint16_t l = r.loops.data[i];
    if (l < 1 || l > d->loops.count) continue;
    const Loop &L = d->loops.data[l - 1];
    for (int32_t k = 0; k < L.edges.count; k++)
      plot_show_segment_0(view, d, uint16_t(std::abs(L.edges.data[k])), 0);
  }
}

// ---- Extruded domains at a height, through the 3D debug mapping ---------------------------

void warp_line_3d(uint16_t view, const pointd *a, const pointd *b, double z) {
  TRACE("warp_line_3d");
  if (!view) return;  // no view: nothing to draw
  point3d p = {a->x, a->y, z}, q = {b->x, b->y, z};
  gag3d_drawline_3d(view, &p, &q, &plot3d_frame.transform);
}

// One edge at height z: lines between the joints, arcs as projected chords; clipped to
// the box when one is given (nothing when z lies outside it).
static void show_edge_3d(uint16_t view, Domain *d, uint16_t e, double z, const rect3d *box) {
  if (!view || !d || e < 1 || e > d->edges.count) return;
  const Edge &E = d->edges.data[e - 1];
  if (E.deleted || E.joint1 < 1 || E.joint2 < 1) return;
  if (box && (z < box->z1 || z > box->z2)) return;
  const Joint &a = joint(d, E.joint1), &b = joint(d, E.joint2);
  pointd p = {a.x, a.y}, q = {b.x, b.y};
  if (E.shape == SHAPE_ARC || E.shape == SHAPE_ERC) {
    const arcrec &r = E.shapedata.arc;
    if (box) gag3d_warp_arc_zoomed_3d(view, r.rx, r.ry, &p, z, r.start, r.sweep, &plot3d_frame.transform, box);
    else gag3d_warp_arc_3d(view, r.rx, r.ry, &p, z, r.start, r.sweep, &plot3d_frame.transform);
    return;
  }
  if (box) {
    rectd clip = {box->x1, box->y1, box->x2, box->y2};
    if (clipping_clipline_0(&p, &q, &clip) == 4) return;
  }
  warp_line_3d(view, &p, &q, z);
}

void show_segment_3d(uint16_t view, Domain *d, uint16_t edge, double z) {
  TRACE("show_segment_3d");
  show_edge_3d(view, d, edge, z, nullptr);
}

void show_segment_zoomed_3d(uint16_t view, Domain *d, uint16_t edge, double z, const rect3d *box) {
  TRACE("show_segment_zoomed_3d");
  show_edge_3d(view, d, edge, z, box);
}

void plot_show_domain_3d(uint16_t view, Domain *d, double z) {
  TRACE("plot_show_domain_3d");
  if (!d) return;
  for (uint16_t e = 1; e <= d->edges.count; e++) show_edge_3d(view, d, e, z, nullptr);
}

void plot_show_domain_zoomed_3d(uint16_t view, Domain *d, double z, const rect3d *box) {
  TRACE("plot_show_domain_zoomed_3d");
  if (!d) return;
  for (uint16_t e = 1; e <= d->edges.count; e++) show_edge_3d(view, d, e, z, box);
}

// ---- Meshes ----------------------------------------------------------------------------

void plot_draw_mesh_0(uint16_t view, plotframe *colours, Mesh *m, int32_t basis, const vectord *x, const vectord *y,
                      uint16_t region, uint8_t painted, uint16_t regions) {
  TRACE("plot_draw_mesh_0");
  if (!view) return;  // no view: nothing to draw
  if (!m || basis < tri3 || basis > tri9) return;
  int nn = elements_functions[basis];
  double xy[18];
  auto X = [&](int32_t n) { return x->data[n - 1]; };
  auto Y = [&](int32_t n) { return y->data[n - 1]; };
  for (int32_t c = 1; c <= m->cells.count; c++) {
    const MeshCell &cell = m->cells.data[c - 1];
    if (!cell.alive || (region > 0 && cell.region != region)) continue;
    uint8_t colour = gag1d_tablecolor_0(colours, cell.region, regions);
    const int32_t *n = cell.nodes.data;
    if (painted) {
      for (int j = 0; j < nn; j++) xy[2 * j] = X(n[j]), xy[2 * j + 1] = Y(n[j]);
      if (nn == 3) gag3d_patch_3(view, xy, colour, colour);
      else if (nn == 6) gag3d_patch_4(view, xy, colour, colour);
      else gag3d_patch_5(view, xy, colour, colour);
      continue;
    }
    gag_setcolor_0(view, colour);
    for (int s = 1; s <= 3; s++) {
      if (region == 0 && !(c > cell.neighbour[s - 1])) continue;
      const uint8_t *row = elements_tri_sides[s - 1];
      int32_t a = n[row[1] - 1], b = n[row[2] - 1];
      gag_moveto_1(view, X(a), Y(a));
      if (basis == tri6) {
        gag_drawto_1(view, X(n[row[3] - 1]), Y(n[row[3] - 1]));
      } else if (basis == tri9) {
        gag_drawto_1(view, X(n[row[3] - 1]), Y(n[row[3] - 1]));
        gag_drawto_1(view, X(n[row[6] - 1]), Y(n[row[6] - 1]));
      }
      gag_drawto_1(view, X(b), Y(b));
    }
  }
}

void plot_draw_mesh_1(uint16_t view, plotframe *colours, Mesh *m, int32_t basis, uint16_t region, uint8_t painted,
                      uint16_t regions) {
  TRACE("plot_draw_mesh_1");
  if (!view) return;  // no view: nothing to draw
  if (!m) return;
  vectord x = {}, y = {};
  int32_t n = m->nodes.count;
  vectord_new(&x, n, n), vectord_new(&y, n, n);
  for (int32_t i = 0; i < n; i++) x.data[i] = m->nodes.data[i].x, y.data[i] = m->nodes.data[i].y;
  plot_draw_mesh_0(view, colours, m, basis, &x, &y, region, painted, regions);
  vectord_free(&x), vectord_free(&y);
}

void plot_show_frame(uint16_t view, plotframe *styles, const rect3d *box, int32_t a, int32_t b, const String *xlabel,
                     const String *ylabel) {
  TRACE("plot_show_frame");
  if (!view) return;  // no view: nothing to draw
  gag_clearview_0(view);
  gag1d_plotmap(view, styles, box->x1, box->y1, box->x2, box->y2, int16_t(a), uint8_t(b), 0);
  gag1d_draw_axes(view, styles, xlabel, ylabel);
}

void plot_show_mesh(uint16_t view, plotframe *styles, const rect3d *box, Mesh *m, int32_t basis, uint8_t fill,
                    uint8_t paintregions, uint16_t regions) {
  TRACE("plot_show_mesh");
  if (!view) return;  // no view: nothing to draw
  plot_show_frame(view, styles, box, 0, 1, nullptr, nullptr);
  plot_draw_mesh_1(view, styles, m, basis, 0, uint8_t(fill || paintregions), regions);
}

// Shows the window and draws mesh and domain outline in a square of half-width h
// around (cx, cy).
static void show_around(uint16_t view, plotframe *styles, Mesh *m, int32_t basis, double cx, double cy, double h) {
  gag_showwindow(view, 3);
  if (!(h > 0)) h = 1;
  rect3d box = {cx - h, cy - h, 0, cx + h, cy + h, 0};
  plot_show_frame(view, styles, &box, 0, 1, nullptr, nullptr);
  rectd clip = {box.x1, box.y1, box.x2, box.y2};
  gag_setclip_0(view, &clip);
  uint16_t regions = m->domain ? m->domain->regions.count : 1;
  plot_draw_mesh_1(view, styles, m, basis, 0, 0, regions);
  plot_show_domain_1(view, m->domain, 0, &box);
  gag_fullclip(view);
}

void plot_show_mesh_segment(uint16_t view, plotframe *styles, Mesh *m, uint16_t edge, int32_t basis) {
  TRACE("plot_show_mesh_segment");
  if (!view) return;  // no view: nothing to draw
  if (!m || !m->domain || edge < 1 || edge > m->domain->edges.count) return;
  const rect3d &b = m->domain->edges.data[edge - 1].box;
  double h = std::max(b.x2 - b.x1, b.y2 - b.y1) / 2;
  show_around(view, styles, m, basis, (b.x1 + b.x2) / 2, (b.y1 + b.y2) / 2, 10 * h);
}

void plot_show_mesh_leg_0(uint16_t view, plotframe *styles, Mesh *m, int32_t a, int32_t b, int32_t basis) {
  TRACE("plot_show_mesh_leg_0");
  if (!view) return;  // no view: nothing to draw
  if (!m || a < 1 || b < 1 || a > m->nodes.count || b > m->nodes.count) return;
  const MeshNode &p = m->nodes.data[a - 1], &q = m->nodes.data[b - 1];
  double h = std::max(std::fabs(q.x - p.x), std::fabs(q.y - p.y)) / 2;
  show_around(view, styles, m, basis, (p.x + q.x) / 2, (p.y + q.y) / 2, 5 * h);
}

uint8_t plot_debug = 0;

int plot_init() {
  TRACE("plot");
  return 0;
}
