// exporter_table: TABLE exports: the expressions sampled on the plot's grid, in 2D and
// 3D, and over the plot's own coordinates on a cut plane or a surface of a 3D problem.
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

// A table over a cut plane or a surface of a 3D problem: the grid runs over the plot's
// two coordinates (p, q) in its box; each grid point is taken to its point in space
// through the plot mesh, located in the problem's mesh and valued there. A row wholly
// off the plot moves toward the middle, as a row of a plane table does.
static void surface_table(pde *p, plotrec *r, plotdata *d, FILE *f, bool format) {
  if (!pgrid2_validate_plot_mesh(p, d) || d->meshes.count == 0) return;
  sampler s(p, r);
  grid &g = s.g;
  if (!format) {
    pgrid2_fix_labels(p, d);
    for (int a = 0; a < 2; a++) {
      fprintf(f, "\n %s %d\n", text_of(&d->axislabels[a]), g.n[a]);
      std::vector<double> c(size_t(g.n[a]));
      for (int32_t i = 0; i < g.n[a]; i++) c[i] = s.coord(a, i);
      exporter_print_values(f, c.data(), g.n[a]);
    }
  }
  trimesh_build_tfinder_1(&d->meshes);
  int32_t n = g.n[0], exprs = r->exprs.count;
  std::vector<std::vector<double>> rows(size_t(g.n[1]), std::vector<double>(size_t(n * exprs), EXPORTER_OUTSIDE));
  std::vector<std::vector<std::array<double, 5>>> at(size_t(g.n[1]), std::vector<std::array<double, 5>>(size_t(n)));
  std::vector<std::vector<char>> found(size_t(g.n[1]), std::vector<char>(size_t(n), 0));
  for (int32_t j = 0; j < g.n[1]; j++) {
    double q = s.coord(1, j);
    for (int32_t move = 0, moves = moves_across(j, g.n[1]);; move++) {
      bool any = false;
      for (int32_t i = 0; i < n; i++) {
        pointd pt = {s.coord(0, i), q};
        at[j][i] = {pt.x, pt.y, 0, 0, 0};
        int32_t k = trimesh_find_tcell_1(&d->meshes, &pt, 0.01);
        int32_t member = k >> 24, c = k & 0xffffff;
        if (!k || member < 1 || member > d->meshes.count) continue;
        const tmesh *t = &d->meshes.data[member - 1];
        ElementFrame fr = {};
        trimesh_tlocalize_0(&fr, t, c);
        double L[4] = {0, 0, 0, 0}, X[3] = {pt.x, pt.y, 0}, xyz[3];
        full_lcoords(L, X, &fr);
        surface_point(xyz, s.view.dimension, t, c, L, t->ncell == 6 ? tri6 : t->ncell == 9 ? tri9 : tri3, &pt);
        if (!s.locate(xyz[0], xyz[1], xyz[2], 0.01)) continue;
        at[j][i] = {pt.x, pt.y, xyz[0], xyz[1], xyz[2]};
        for (int32_t e = 0; e < exprs; e++) rows[j][size_t(e * n + i)] = eval_expr(p, r, e, &s.ep);
        found[j][i] = 1, any = true;
      }
      if (any || move >= moves || g.step[1] == 0) break;
      q += (j < g.n[1] / 2 ? 0.1 : -0.1) * g.step[1];
    }
    for (int32_t e = 0; e < exprs; e++) fill_row(rows[j].data() + size_t(e) * n, n);
    gagscren_dispatch(0);
  }
  if (!format) {
    for (int32_t e = 0; e < exprs; e++) {
      fputs("\n DATA \n", f);
      for (int32_t j = 0; j < g.n[1]; j++) {
        exporter_print_values(f, rows[j].data() + size_t(e) * n, n);
        fputc('\n', f);
      }
    }
    return;
  }
  valuelist list(exprs);
  for (int32_t j = 0; j < g.n[1]; j++)
    for (int32_t i = 0; i < n; i++) {
      for (int32_t e = 0; e < exprs; e++) list.data[e] = rows[j][size_t(e * n + i)];
      const std::array<double, 5> &a = at[j][i];
      exporter_print_point(f, a.data(), a.data() + 2, 0, time_of(p), &list, &r->format, &r->formatloc, !found[j][i]);
    }
}

void exporter_table_export(pde *p, plotrec *r, uint16_t mode) {
  TRACE("exporter_table_export");
  progress bar(p, "Writing File");
  bool format = r->flags & plot_bit(19);
  static String m;
  if (r->exprs.count > 1 && !format) {
    strings_copyto_1(&m, "Too Many Table Functions");
    report_parse_err_1(p, r->exprs.data[r->exprs.count - 1], &m);
  }
  stream f(exporter_get_print_file(p, r, mode), p, r);
  exporter_print_header(p, f.get(), r);
  // A table of a cut plane or a surface of a 3D problem lies over the plot's own
  // coordinates.
  if (plotdata *d = data_of(p, r); threed(p) && d && (d->cut || d->surface)) {
    surface_table(p, r, d, f.get(), format);
    return;
  }
  sampler s(p, r);
  grid &g = s.g;
  if (!format) {
    if (s.d) pgrid2_fix_labels(p, s.d);
    for (int a = 0; a < 2; a++) {
      const char *label = s.d && s.d->axislabels[a].length ? s.d->axislabels[a].text : coordinate_name(p, a);
      fprintf(f.get(), "\n %s %d\n", label, g.n[a]);
      std::vector<double> c(size_t(g.n[a]));
      for (int32_t i = 0; i < g.n[a]; i++) c[i] = s.coord(a, i);
      exporter_print_values(f.get(), c.data(), g.n[a]);
    }
  }
  if (threed(p)) {
    if (!format) {
      fprintf(f.get(), "\n %s %d\n", coordinate_name(p, 2), g.n[2]);
      std::vector<double> c(size_t(g.n[2]));
      for (int32_t i = 0; i < g.n[2]; i++) c[i] = s.coord(2, i);
      exporter_print_values(f.get(), c.data(), g.n[2]);
    }
  }
  double t = time_of(p);
  if (!format) {
    for (int32_t e = 0; e < r->exprs.count; e++) {
      fputs("\n DATA \n", f.get());
      for (int32_t k = 0; k < g.n[2]; k++)
        for (int32_t j = 0; j < g.n[1]; j++) {
          double pos[3] = {0, s.coord(1, j), s.coord(2, k)};
          s.line(0, 1, j, pos, 0.01, EXPORTER_OUTSIDE, threed(p) ? 2 : -1, k);
          fill_row(s.values[e].data(), g.n[0]);
          exporter_print_values(f.get(), s.values[e].data(), g.n[0]);
          fputc('\n', f.get());
          gagscren_dispatch(0);
        }
    }
    return;
  }
  valuelist list(r->exprs.count);
  for (int32_t k = 0; k < g.n[2]; k++)
    for (int32_t j = 0; j < g.n[1]; j++) {
      double pos[3] = {0, s.coord(1, j), s.coord(2, k)};
      s.line(0, 1, j, pos, 0.1, EXPORTER_OUTSIDE, threed(p) ? 2 : -1, k);
      for (auto &v : s.values) fill_row(v.data(), g.n[0]);
      for (int32_t i = 0; i < g.n[0]; i++) {
        double x[3] = {s.coord(0, i), pos[1], pos[2]};
        for (int32_t e = 0; e < r->exprs.count; e++) list.data[e] = s.values[e][i];
        exporter_print_point(f.get(), x, x, 0, t, &list, &r->format, &r->formatloc, !s.found[i]);
      }
      gagscren_dispatch(0);
    }
}
