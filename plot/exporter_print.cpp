// exporter_print: the print files of drawn plots: CONTOUR and SURFACE plots sampled on
// a grid over the plot box through the plot mesh, ELEVATION plots along their path.
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

void exporter_print_2dplot(pde *p, plotrec *r, const rect3d *box, const vector2d *values, uint16_t mode) {
  TRACE("exporter_print_2dplot");
  (void)mode;
  progress bar(p, "Writing File");
  plotdata *d = data_of(p, r);
  if (!d || d->meshes.count == 0) return;
  stream f(exporter_get_print_file(p, r, 1), p, r);
  exporter_print_header(p, f.get(), r);
  // The grid over the box: PRINT(n, m), else the plot data's resolution.
  int32_t n[2];
  n[0] = r->points[0] ? r->points[0] : d->points[0] ? d->points[0] : DEFAULT_POINTS;
  n[1] = r->points[1] ? r->points[1] : d->points[1] ? d->points[1] : n[0];
  double lo[2] = {box->x1, box->y1}, step[2];
  double hi[2] = {box->x2, box->y2};
  for (int a = 0; a < 2; a++) n[a] = std::max<int32_t>(n[a], 1), step[a] = n[a] > 1 ? (hi[a] - lo[a]) / (n[a] - 1) : 0;
  bool format = r->flags & plot_bit(19);
  if (!format) {
    pgrid2_fix_labels(p, d);
    for (int a = 0; a < 2; a++) {
      fprintf(f.get(), "\n %s %d\n", text_of(&d->axislabels[a]), n[a]);
      std::vector<double> c(static_cast<size_t>(n[a]));
      for (int32_t i = 0; i < n[a]; i++) c[i] = lo[a] + i * step[a];
      exporter_print_values(f.get(), c.data(), n[a]);
    }
    fputs("\n DATA \n", f.get());
  }
  trimesh_build_tfinder_1(&d->meshes);
  const uint16_t dimension = view_of(p).dimension;
  std::vector<double> row(static_cast<size_t>(n[0]));
  std::vector<std::array<double, 3>> space(static_cast<size_t>(n[0]));
  std::vector<char> found(static_cast<size_t>(n[0]));
  valuelist one(1);
  for (int32_t j = 0; j < n[1]; j++) {
    double y = lo[1] + j * step[1];
    for (int32_t move = 0, moves = moves_across(j, n[1]);; move++) {
      bool any = false;
      for (int32_t i = 0; i < n[0]; i++) {
        pointd pt = {lo[0] + i * step[0], y};
        row[i] = EXPORTER_OUTSIDE, found[i] = 0;
        space[i] = {pt.x, pt.y, 0};
        int32_t k = trimesh_find_tcell_1(&d->meshes, &pt, 0.01);
        int32_t member = k >> 24, c = k & 0xffffff;
        if (!k || member < 1 || member > d->meshes.count || member > values->count) continue;
        const tmesh *t = &d->meshes.data[member - 1];
        ElementFrame fr = {};
        double cv[20], L[4] = {0, 0, 0, 0}, xyz[3] = {pt.x, pt.y, 0};
        trimesh_tlocalize_1(&fr, t, c, cv, &values->data[member - 1]);
        full_lcoords(L, xyz, &fr);
        int32_t code = t->ncell == 6 ? tri6 : t->ncell == 9 ? tri9 : tri3;
        row[i] = elements_interpu(code, L, &fr, cv);
        surface_point(space[i].data(), dimension, t, c, L, code, &pt);
        found[i] = 1, any = true;
      }
      if (any || move >= moves || step[1] == 0) break;
      y += (j < n[1] / 2 ? 0.1 : -0.1) * step[1];
    }
    fill_row(row.data(), n[0]);
    if (!format) {
      exporter_print_values(f.get(), row.data(), n[0]);
      fputc('\n', f.get());
    } else {
      for (int32_t i = 0; i < n[0]; i++) {
        double pq[2] = {lo[0] + i * step[0], y};
        one.data[0] = row[i];
        exporter_print_point(f.get(), pq, space[i].data(), 0, time_of(p), &one, &r->format, &r->formatloc, !found[i]);
      }
    }
    gagscren_dispatch(0);
  }
}

// The nodes of all pieces of a path mesh as one sequence by their distance along the
// path: repeatedly the piece whose next node lies nearest the start gives its nodes up to the end of a run
// or its last node. Returns (piece, node) pairs, 1-based.
std::vector<std::pair<int32_t, int32_t>> merge_lineout(const plotdata *d) {
  TRACE("merge_lineout");
  std::vector<std::pair<int32_t, int32_t>> out;
  int32_t pieces = d->meshes.count;
  std::vector<int32_t> next(size_t(pieces), 1);
  // The distance along the path: a path that runs down its axis has falling x, y or z.
  auto key = [&](int32_t k, int32_t n) { return d->meshes.data[k].nodes.data[n - 1].x; };
  for (;;) {
    int32_t best = -1;
    for (int32_t k = 0; k < pieces; k++)
      if (next[k] <= d->meshes.data[k].nodes.count && (best < 0 || key(k, next[k]) < key(best, next[best]))) best = k;
    if (best < 0) break;
    const tmesh &t = d->meshes.data[best];
    for (int32_t &n = next[best]; n <= t.nodes.count;) {
      out.push_back({best + 1, n});
      bool ends = n <= t.tags.count && t.tags.data[n - 1] == 3;
      n++;
      if (ends) break;
    }
  }
  return out;
}

void exporter_print_lineout(pde *p, plotrec *r, const vector3d *values, const vectord *integrals) {
  TRACE("exporter_print_lineout");
  progress bar(p, "Writing File");
  plotdata *d = data_of(p, r);
  if (!d) return;
  stream f(exporter_get_print_file(p, r, 1), p, r);
  exporter_print_header(p, f.get(), r);
  std::vector<std::pair<int32_t, int32_t>> seq = merge_lineout(d);
  int32_t exprs = std::min<int32_t>(r->exprs.count, values->count);
  auto value = [&](int32_t e, std::pair<int32_t, int32_t> at) {
    const vector2d &v = values->data[e];
    if (at.first > v.count || at.second > v.data[at.first - 1].count) return 0.0;
    return v.data[at.first - 1].data[at.second - 1];
  };
  if (r->flags & plot_bit(19)) {
    valuelist list(exprs);
    for (auto at : seq) {
      const tmesh &t = d->meshes.data[at.first - 1];
      double xyz[3] = {0, 0, 0};
      if (t.nodes3.count >= at.second) {
        const point3d &q = t.nodes3.data[at.second - 1];
        xyz[0] = q.x, xyz[1] = q.y, xyz[2] = q.z;
      }
      for (int32_t e = 0; e < exprs; e++) list.data[e] = value(e, at);
      exporter_print_point(f.get(), xyz, xyz, t.nodes.data[at.second - 1].x, time_of(p), &list, &r->format,
                           &r->formatloc, false);
    }
    return;
  }
  std::vector<double> keys, v(seq.size());
  for (auto at : seq) {
    keys.push_back(pgrid1_node_spot(d, &d->meshes.data[at.first - 1], at.second));
  }
  fprintf(f.get(), "\n %s  %d\n", text_of(&d->axislabels[0]), int(seq.size()));
  exporter_print_values(f.get(), keys.data(), int32_t(keys.size()));
  for (int32_t e = 0; e < exprs; e++) {
    fprintf(f.get(), "\n DATA { %s }\n", e < r->labels.count ? text_of(&r->labels.items[e]) : "");
    if ((r->flags & plot_bit(4)) && integrals && e < integrals->count)
      fprintf(f.get(), "{ Integral=%14.10e }\n", integrals->data[e]);
    for (size_t i = 0; i < seq.size(); i++) v[i] = value(e, seq[i]);
    exporter_print_values(f.get(), v.data(), int32_t(v.size()));
  }
}
