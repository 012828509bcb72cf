// plot2d: surface, vector and grid plots and integrals over the plot surface.
#include "plot/plot2d.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

#include "graphics/gag.h"
#include "graphics/gag1d.h"
#include "graphics/gag3d.h"
#include "graphics/gagscren.h"
#include "model/metrics.h"
#include "model/plot_records.h"
#include "model/treeval.h"
#include "runtime/geom3d.h"
#include "runtime/rtlib.h"
#include "runtime/vectort.h"

evalpoint plot2d_point;

int plot2d_init() {
  plot2d_point = {};
  return 0;
}

static bool has(const plotrec *plot, int code) { return (plot->flags & plot_bit(code)) != 0; }

static plotdata *data_of(PlotSet *set, const plotrec *plot) { return &set->plotdatas.data[plot->data - 1]; }

// The cells of mesh k that a vector plot uses: its selection when one was made.
static bool selected(const plotdata *d, int32_t k, int32_t c) {
  if (!d->vector || d->strips[0].count < k) return true;
  const vectort &marks = d->strips[0].data[k - 1];
  return c <= marks.count && vectort_if_bit(&marks, c);
}

void plot2d_build_vector_data(pde *p, PlotSet *set, Mesh *m, uint16_t dimension, plotrec *plot, vector2d *xs,
                              vector2d *ys, plotrange *range, int32_t expr) {
  TRACE("plot2d_build_vector_data");
  plotdata *d = data_of(set, plot);
  const tmeshlist &l = d->meshes;
  range->min = 1.0e37, range->max = -1.0e37;
  range->minat = range->maxat = {0, 0};
  vector2d_resize(xs, l.count, std::max(l.count, xs->capacity));
  vector2d_resize(ys, l.count, std::max(l.count, ys->capacity));
  evalpoint &pt = plot2d_point;
  vectort visited = {};
  for (int32_t k = 1; k <= l.count; k++) {
    const tmesh &t = l.data[k - 1];
    vectord &x = xs->data[k - 1], &y = ys->data[k - 1];
    vectord_resize(&x, t.nodes.count, std::max(t.nodes.count, x.capacity));
    vectord_resize(&y, t.nodes.count, std::max(t.nodes.count, y.capacity));
    auto keep = [&](int32_t c) { return selected(d, k, c); };
    contour_each_node(m, dimension, plot, &t, expr, &pt, &visited, keep, [&](int32_t n, const TreeNode *tree) {
      double v[3] = {0, 0, 0};
      treeval_eval_vec(p, v, tree, &pt);
      double u = v[0], w = v[1];
      if (d->cut && dimension >= 3) {
        // Onto the cut plane through its two in-plane unit
        // vectors.
        u = d->inplane[0] * v[0] + d->inplane[1] * v[1] + d->inplane[2] * v[2];
        w = d->inplane[3] * v[0] + d->inplane[4] * v[1] + d->inplane[5] * v[2];
      }
      x.data[n - 1] = u, y.data[n - 1] = w;
      contour_widen(range, std::hypot(u, w), &t.nodes.data[n - 1]);
    });
  }
  vectort_free(&visited);
}

static void draw_outlines(uint16_t view, plotframe *f, plotdata *d) {
  for (int32_t k = 0; k < d->meshes.count; k++)
    trimesh_draw_tboundary(view, f, &d->meshes.data[k], d->nodespacing, colour_black, colour_grey229);
}

void plot2d_vector_plot(uint16_t view, plotframe *f, PlotSet *set, int32_t contours, plotrec *plot, const rectd *box,
                        const plotrange *range, const vector2d *xs, const vector2d *ys, vectord *levels) {
  TRACE("plot2d_vector_plot");
  plotdata *d = data_of(set, plot);
  rectd clip;
  expand_box(&clip, box, 1.1);
  double s = d->nodespacing;
  bool fixed = has(plot, 8);
  double lo = range->min, hi = range->max;
  if (!fixed) {
    // The smallest positive and the largest magnitude over all nodes; none: [0,
    // 0].
    double small = 0, large = 0;
    for (int32_t k = 0; k < xs->count; k++)
      for (int32_t i = 0; i < xs->data[k].count; i++) {
        double m2 = xs->data[k].data[i] * xs->data[k].data[i] + ys->data[k].data[i] * ys->data[k].data[i];
        if (m2 > 0 && (small == 0 || m2 < small)) small = m2;
        large = std::max(large, m2);
      }
    lo = std::sqrt(small), hi = std::sqrt(large);
  }
  int32_t n = gag1d_getlevels(lo, hi, contours > 0 ? contours : 15, levels, 0);
  // A single level (one magnitude everywhere) has no spacing: every arrow is
  // band 1.
  double spacing = n >= 2 ? levels->data[1] - levels->data[0] : 0;
  if (plot->views[2] && checkview(plot->views[2]))
    gag1d_band_table_1(plot->views[2], f, levels, 1, 0, lo, hi, &plot->titles);
  if (!view) return;
  gag1d_plotmap(view, f, box->x1, box->y1, box->x2, box->y2, 0, has(plot, 16) ? 0 : 1, 0);
  gag1d_draw_axes(view, f, &d->axislabels[0], &d->axislabels[1]);
  gag1d_setclip(view, f, &clip);
  for (int32_t k = 1; k <= d->meshes.count; k++) {
    const tmesh &t = d->meshes.data[k - 1];
    for (int32_t c = 1; c <= t.source.count; c++) {
      if (!selected(d, k, c)) continue;
      pointd centre;
      trimesh_get_centroid(&centre, &t, c);
      double u = trimesh_get_centerval(&t, c, &xs->data[k - 1]), v = trimesh_get_centerval(&t, c, &ys->data[k - 1]);
      double m = std::hypot(u, v);
      if (!(m > 0)) continue;
      if (fixed && (m < lo || m > hi)) continue;
      int32_t band = spacing > 0 ? int32_t((m - lo) / spacing) + 1 : 1;
      gag1d_tablecolor_1(view, f, band, n);
      double dx = u * s, dy = v * s;
      if (has(plot, 7)) dx /= m, dy /= m;
      if (has(plot, 12)) {
        pointd a = {centre.x - dx / 2, centre.y - dy / 2}, b = {centre.x + dx / 2, centre.y + dy / 2};
        gag1d_drawline(view, f, &a, &b);
      } else {
        gag1d_arrow_1(view, &centre, dx, dy, 0.333);
      }
    }
  }
  draw_outlines(view, f, d);
  gag_fullclip(view);
}

void plot2d_view_string(String *out, const double *viewpoint) {
  String num = {};
  strings_copyto_1(out, "(");
  const double v[3] = {viewpoint[0], viewpoint[1], (M_PI / 2 - viewpoint[2]) * 180 / M_PI};
  for (int i = 0; i < 3; i++) {
    strings_formatreal(&num, v[i], 4, 1, 0);
    strings_addto_0(out, &num);
    strings_addto_1(out, i < 2 ? "," : ")");
  }
  strings_free_0(&num);
}

void plot2d_surface_plot(uint16_t view, plotframe *f, PlotSet *set, plotrec *plot, const rectd *box,
                         const plotrange *range, const vector2d *values, vectord *levels, int32_t nlevels) {
  TRACE("plot2d_surface_plot");
  plotdata *d = data_of(set, plot);
  double lo = range->min, hi = range->max;
  int32_t n = plot_ranger(&lo, plot->rangevalues[0], &hi, plot->rangevalues[1], nlevels, plot);
  rectd wide;
  expand_box(&wide, box, 1.05);
  rect3d box3 = {wide.x1, wide.y1, lo, wide.x2, wide.y2, hi};
  point3d eye = {plot->viewpoint[0], plot->viewpoint[1], plot->viewpoint[2]};
  double elevation = gag3d_plotmap3_1(f, &box3, &eye, int16_t(plot->scale), 1, 0, 0, 1.1);
  plot->viewpoint[0] = eye.x, plot->viewpoint[1] = eye.y;
  String vs = {};
  plot2d_view_string(&vs, plot->viewpoint);
  // The viewpoint line joins the titles for this drawing only.
  uint16_t line = strings_one_more(&plot->titles, &vs);
  strings_free_0(&vs);
  if (has(plot, 14))
    gag1d_getlevels(lo, hi, 2, levels, 0);
  else if (plot->scale & 1)
    gag1d_getlnlevels(lo, hi, n, levels, 0);
  else
    gag1d_getlevels(lo, hi, n, levels, 0);
  if (plot->views[2] && checkview(plot->views[2])) {
    if (has(plot, 14))
      gag1d_level_table_1(plot->views[2], f, levels, 1, 0, lo, hi, &plot->titles);
    else
      gag1d_band_table_1(plot->views[2], f, levels, 1, 0, lo, hi, &plot->titles);
  }
  if (view) {
    gag_scaleview_0(view, &f->box);
    String empty = {};
    gag3d_backing_box_1(view, f, &box3, lo, hi, &d->axislabels[0], &d->axislabels[1], &empty);
    double z = elevation >= M_PI / 2 ? hi : lo;
    if (f->logz && z > 0) z = std::log(z);
    trimesh_draw_3d_tboundary_1(view, &d->meshes, d->nodespacing, colour_black, colour_grey229, z, &f->transform);
    gag_setcolor_0(view, f->colours.axis);
    uint8_t pair[2] = {f->colours.axis, 0};
    show_surface(view, f, d, values, levels, plot->viewpoint, pair, 0);
    gag_fullclip(view);
  }
  strings_delete_index(&plot->titles, line);
}

void show_surface(uint16_t view, plotframe *f, plotdata *d, const vector2d *values, const vectord *levels,
                  const double *viewpoint, const uint8_t *colours, uint8_t meshonly) {
  TRACE("show_surface");
  (void)colours;
  // 1, 2. Consecutive numbers over all meshes; projected nodes and their keys.
  std::vector<int32_t> nodebase(size_t(d->meshes.count) + 1, 0);
  for (int32_t k = 0; k < d->meshes.count; k++)
    nodebase[size_t(k) + 1] = nodebase[size_t(k)] + d->meshes.data[k].nodes.count;
  std::vector<pointd> proj(size_t(nodebase.back()));
  std::vector<double> key(size_t(nodebase.back())), val(size_t(nodebase.back()));
  for (int32_t k = 0; k < d->meshes.count; k++) {
    const tmesh &t = d->meshes.data[k];
    for (int32_t i = 0; i < t.nodes.count; i++) {
      double x = t.nodes.data[i].x, y = t.nodes.data[i].y, v = values->data[k].data[i];
      size_t g = size_t(nodebase[size_t(k)] + i);
      key[g] = (x - viewpoint[0]) * (x - viewpoint[0]) + (y - viewpoint[1]) * (y - viewpoint[1]);
      val[g] = v;
      if (f->logx && x > 0) x = std::log(x);
      if (f->logy && y > 0) y = std::log(y);
      if (f->logz && v > 0) v = std::log(v);
      point3d q = {x, y, v};
      geom3d_project_0(&proj[g], &f->transform, &q);
    }
  }
  // 3. Cells keyed by their nearest corner, painted farthest first.
  struct Cell {
    double key;
    int32_t mesh, cell;
  };
  std::vector<Cell> cells;
  for (int32_t k = 0; k < d->meshes.count; k++) {
    const tmesh &t = d->meshes.data[k];
    for (int32_t c = 1; c <= t.source.count; c++) {
      const int32_t *cn = t.cells.data + (c - 1) * t.ncell;
      double m = 1e300;
      for (int j = 0; j < 3; j++) m = std::min(m, key[size_t(nodebase[size_t(k)] + cn[j] - 1)]);
      cells.push_back({m, k, c});
    }
  }
  std::stable_sort(cells.begin(), cells.end(), [](const Cell &a, const Cell &b) { return a.key < b.key; });
  for (auto it = cells.rbegin(); it != cells.rend(); ++it) {
    const tmesh &t = d->meshes.data[it->mesh];
    const int32_t *cn = t.cells.data + (it->cell - 1) * t.ncell;
    size_t g[3];
    for (int j = 0; j < 3; j++) g[j] = size_t(nodebase[size_t(it->mesh)] + cn[j] - 1);
    pointd tri[3] = {proj[g[0]], proj[g[1]], proj[g[2]]};
    if (meshonly) {
      double area = (tri[1].x - tri[0].x) * (tri[2].y - tri[0].y) - (tri[2].x - tri[0].x) * (tri[1].y - tri[0].y);
      if (area >= 0)
        gag3d_patch_0(view, tri, colour_grey229, colour_grey160);
      else
        gag3d_patch_0(view, tri, colour_white, colour_black);
    } else {
      gag3d_paint(view, f, &tri[0], &tri[1], &tri[2], val[g[0]], val[g[1]], val[g[2]], levels);
    }
  }
  gagscren_dispatch(0);
}

void plot2d_grid_plot(uint16_t view, plotframe *f, PlotSet *set, plotrec *plot, const rectd *box, const vector2d *xs,
                      const vector2d *ys, const plotrange *xrange, const plotrange *yrange) {
  TRACE("plot2d_grid_plot");
  plotdata *d = data_of(set, plot);
  rectd b = *box;
  if (!has(plot, 16)) b = {xrange->min, yrange->min, xrange->max, yrange->max};
  d->box[0] = b.x1, d->box[1] = b.y1, d->box[3] = b.x2, d->box[4] = b.y2;
  if (plot->views[2] && checkview(plot->views[2])) {
    vectord none = {};
    gag1d_level_table_1(plot->views[2], f, &none, 0, 0, 0, 0, &plot->titles);
  }
  if (!view) return;
  gag1d_plotmap(view, f, b.x1, b.y1, b.x2, b.y2, 0, has(plot, 16) ? 0 : 1, 0);
  gag1d_draw_axes(view, f, &d->axislabels[0], &d->axislabels[1]);
  gag1d_setclip(view, f, &b);
  int32_t n = d->meshes.count;
  for (int32_t k = 1; k <= n; k++) {
    // Painted: black cell outlines filled in colour k of n; otherwise outlines in colour k.
    uint8_t c = gag1d_tablecolor_0(f, k, n);
    bool painted = has(plot, 13);
    trimesh_draw_tmesh(view, &d->meshes.data[k - 1], &xs->data[k - 1], &ys->data[k - 1], painted ? colour_black : c,
                       painted ? c : 0);
  }
  gag_fullclip(view);
}

double plot2d_integrate_plot_2d(PlotSet *set, const metric *coords, plotrec *plot, const vector2d *values,
                                const vector2d *slopes) {
  TRACE("plot2d_integrate_plot_2d");
  plotdata *d = data_of(set, plot);
  bool cyl = coords->family == 2 && (coords->geometry == 5 || coords->geometry == 6) && has(plot, 22);
  double sum = 0;
  vectord w = {};
  // A zoomed plot integrates over its window, not over the whole cells that reach it.
  const rectd window = {d->box[0], d->box[1], d->box[3], d->box[4]};
  for (int32_t k = 1; k <= d->meshes.count && k <= values->count; k++) {
    const tmesh &t = d->meshes.data[k - 1];
    const vectord &u = values->data[k - 1];
    vectord_copyto_0(&w, &u);
    if (cyl) {
      for (int32_t i = 0; i < w.count; i++) {
        const pointd &q = t.nodes.data[i];
        w.data[i] *= 2 * M_PI * (coords->geometry == 5 ? q.y : q.x);
      }
    } else if (slopes && slopes->count >= k && slopes->data[k - 1].count == w.count) {
      for (int32_t i = 0; i < w.count; i++) w.data[i] *= slopes->data[k - 1].data[i];
    }
    sum += trimesh_tintegrate_in(&t, &w, d->zoomed ? &window : nullptr);
  }
  vectord_free(&w);
  return sum;
}

void plot2d_invalidate_plotmeshes(PlotSet *set) {
  for (int32_t i = 0; i < set->plotdatas.count; i++) set->plotdatas.data[i].valid = 0;
}
