// trimesh_draw: drawing a plot mesh's cells, boundary and frame, and its debug dumps.
#include "plot/trimesh.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "elements/basisfun.h"
#include "elements/elements.h"
#include "elements/quature.h"
#include "graphics/gag.h"
#include "graphics/gag1d.h"
#include "graphics/gag3d.h"
#include "graphics/gagscren.h"
#include "plot/trimesh_internal.h"
#include "runtime/bopmem.h"
#include "runtime/rtlib.h"
#include "runtime/strings.h"

// ---- Drawing and dumps --------------------------------------------------------------

static pointdlist draw_points;  // the outline of one cell

void trimesh_draw_tcell(uint16_t view, const tmesh *t, int32_t c, const vectord *x, const vectord *y, uint8_t line,
                        uint8_t fill) {
  TRACE("trimesh_draw_tcell");
  static const uint8_t o3[] = {1, 2, 3, 1}, o6[] = {1, 6, 2, 4, 3, 5, 1}, o9[] = {1, 6, 9, 2, 4, 7, 3, 5, 8, 1};
  const uint8_t *order;
  int n;
  switch (t->ncell) {
    case 3: order = o3, n = 4; break;
    case 6: order = o6, n = 7; break;
    case 9: order = o9, n = 10; break;
    default: rtlib_fatal_in("trimesh_draw_tcell", "Illegal Basis");
  }
  const int32_t *cn = cell_nodes(t, c);
  draw_points.count = 0;
  for (int i = 0; i < n; i++)
    pointd_one_more_1(&draw_points, x->data[cn[order[i] - 1] - 1], y->data[cn[order[i] - 1] - 1]);
  if (fill) {
    gag_setcolor_0(view, fill);
    gag_polyfill(view, &draw_points);
  }
  gag_setcolor_0(view, line);
  gag_polyline(view, &draw_points);
}

void trimesh_draw_tmesh(uint16_t view, const tmesh *t, const vectord *x, const vectord *y, uint8_t line, uint8_t fill) {
  TRACE("trimesh_draw_tmesh");
  for (int32_t c = 1; c <= t->source.count; c++) trimesh_draw_tcell(view, t, c, x, y, line, fill);
}

// Points of side s of cell c as drawn: its end vertices for a straight cell; for a
// curved one max(trunc(D/step), order) pieces at equal steps of the local parameter
// between the end vertices, mapped through the cell's geometry.
static void tleg_points(const tmesh *t, int32_t c, int s, double step, pointdlist *out) {
  const uint8_t *row = elements_tri_sides[s - 1];
  const int32_t *cn = cell_nodes(t, c);
  const pointd &a = node_pos(t, cn[row[1] - 1]), &b = node_pos(t, cn[row[2] - 1]);
  out->count = 0;
  if (!(t->flags.data[c - 1] & TRIMESH_CURVED)) {
    pointd_one_more_0(out, &a);
    pointd_one_more_0(out, &b);
    return;
  }
  ElementFrame f;
  trimesh_tlocalize_0(&f, t, c);
  int32_t order = elements_order[t->basis];
  double D = pointd_distance_0(&a, &b);
  int32_t k = step > 0 ? std::max(int32_t(std::min(D / step, 1e6)), order) : order;
  LocalPoint La = vertex_point(row[1]), Lb = vertex_point(row[2]);
  for (int32_t j = 0; j <= k; j++) {
    double X[3];
    LocalPoint L = lerp(La, Lb, double(j) / k);
    elements_get_gcoords(X, L.L, &f);
    pointd_one_more_1(out, X[0], X[1]);
  }
}

// Calls draw(p, q) for every piece of every side that has the boundary bit and, as
// inside asks, the same-region bit; returns whether some side had the same-region bit.
template <class Draw> static bool each_boundary_piece(const tmesh *t, double step, bool inside, Draw draw) {
  static pointdlist pts;
  bool any = false;
  for (int32_t c = 1; c <= t->source.count; c++) {
    uint16_t fl = t->flags.data[c - 1];
    for (int s = 1; s <= 3; s++) {
      bool bnd = fl & (TRIMESH_BOUNDARY << (s - 1)), in = fl & (TRIMESH_INSIDE << (s - 1));
      any |= in;
      if (!bnd || in != inside) continue;
      tleg_points(t, c, s, step, &pts);
      for (int32_t j = 1; j < pts.count; j++) draw(pts.data[j - 1], pts.data[j]);
    }
  }
  return any;
}

// The boundary sides in colour, then (when some side has the bit) the lines inside
// regions in the second colour.
template <class Draw>
static void draw_boundary(uint16_t view, const tmesh *t, double step, uint8_t colour, uint8_t inside, Draw line) {
  gag_setcolor_0(view, colour);
  if (each_boundary_piece(t, step, false, line)) {
    gag_setcolor_0(view, inside);
    each_boundary_piece(t, step, true, line);
  }
}

void trimesh_draw_tboundary(uint16_t view, const plotframe *frame, const tmesh *t, double step, uint8_t colour,
                            uint8_t inside) {
  TRACE("trimesh_draw_tboundary");
  draw_boundary(view, t, step, colour, inside,
                [&](const pointd &p, const pointd &q) { gag1d_drawline(view, frame, &p, &q); });
}

void trimesh_draw_3d_tboundary_0(uint16_t view, const tmesh *t, double step, uint8_t colour, uint8_t inside, double z,
                                 const transform3d *T) {
  TRACE("trimesh_draw_3d_tboundary_0");
  draw_boundary(view, t, step, colour, inside, [&](const pointd &p, const pointd &q) {
    point3d a = {p.x, p.y, z}, b = {q.x, q.y, z};
    gag3d_drawline_3d(view, &a, &b, T);
  });
}

void trimesh_draw_3d_tboundary_1(uint16_t view, const tmeshlist *l, double step, uint8_t colour, uint8_t inside,
                                 double z, const transform3d *T) {
  TRACE("trimesh_draw_3d_tboundary_1");
  for (int32_t i = 0; i < l->count; i++) trimesh_draw_3d_tboundary_0(view, &l->data[i], step, colour, inside, z, T);
}

// Clears the view, maps the hull of the meshes' nodes onto it with room for labels and
// sets the line colour.
static void show_frame(uint16_t view, plotframe *frame, const tmesh *m, int32_t n, uint8_t line) {
  gag_clearview_0(view);
  double b[4] = {1e300, 1e300, -1e300, -1e300}, h[4];
  for (int32_t i = 0; i < n; i++) {
    if (m[i].nodes.count == 0) continue;
    node_hull(&m[i], h);
    b[0] = std::min(b[0], h[0]), b[1] = std::min(b[1], h[1]), b[2] = std::max(b[2], h[2]), b[3] = std::max(b[3], h[3]);
  }
  if (b[0] > b[2]) b[0] = b[1] = b[2] = b[3] = 0;
  gag1d_plotmap(view, frame, b[0], b[1], b[2], b[3], 0, 1, 0);
  gag_setcolor_0(view, line);
}

// The node positions of t into x and y.
static void node_vectors(const tmesh *t, vectord *x, vectord *y) {
  int32_t n = t->nodes.count;
  vectord_resize(x, n, std::max(n, x->capacity));
  vectord_resize(y, n, std::max(n, y->capacity));
  for (int32_t i = 0; i < n; i++) x->data[i] = t->nodes.data[i].x, y->data[i] = t->nodes.data[i].y;
}

void trimesh_show_tmesh(uint16_t view, plotframe *frame, const tmesh *t, vectord *x, vectord *y, uint8_t line,
                        uint8_t fill) {
  TRACE("trimesh_show_tmesh");
  show_frame(view, frame, t, 1, line);
  node_vectors(t, x, y);
  trimesh_draw_tmesh(view, t, x, y, line, fill);
}

void trimesh_show_tmeshes(uint16_t view, plotframe *frame, const tmeshlist *l, vectord *x, vectord *y, uint8_t line,
                          uint8_t fill) {
  TRACE("trimesh_show_tmeshes");
  show_frame(view, frame, l->data, l->count, line);
  for (int32_t i = 0; i < l->count; i++) {
    node_vectors(&l->data[i], x, y);
    trimesh_draw_tmesh(view, &l->data[i], x, y, line, fill);
  }
}

static const char *fmt(String *s, double x) {
  strings_fmt(s, x);
  return s->text ? s->text : "";
}

void trimesh_print_0(FILE *f, const tmesh *t, const char *name) {
  TRACE("trimesh_print_0");
  String a = {}, b = {}, c3 = {};
  fprintf(f, "TMESH %s\n", name);
  fprintf(f, "\n%5d NODES\n", t->nodes.count);
  fprintf(f, "%s\n", std::string(80, '-').c_str());
  for (int32_t i = 1; i <= t->nodes.count; i++) {
    const pointd &p = node_pos(t, i);
    fprintf(f, "%5d| %s", i, fmt(&a, p.x));
    fprintf(f, " %s |", fmt(&a, p.y));
    if (t->tags.count >= i) fprintf(f, " %d |", t->tags.data[i - 1]);
    if (t->nodes3.count >= i) {
      const point3d &q = t->nodes3.data[i - 1];
      fprintf(f, " %s", fmt(&a, q.x));
      fprintf(f, " %s", fmt(&b, q.y));
      fprintf(f, " %s", fmt(&c3, q.z));
    }
    fprintf(f, "\n");
  }
  fprintf(f, "\n%5d CELLS\n", t->source.count);
  fprintf(f, "%s\n", std::string(80, '-').c_str());
  for (int32_t c = 1; c <= t->source.count; c++) {
    const int32_t *cn = cell_nodes(t, c);
    fprintf(f, "%5d|", c);
    for (int j = 0; j < t->ncell; j++) fprintf(f, " %5d", cn[j]);
    if (elements_dimension[t->basis] == 2) {
      const pointd &p1 = node_pos(t, cn[0]), &p2 = node_pos(t, cn[1]), &p3 = node_pos(t, cn[2]);
      double area = 0.5 * ((p2.x - p1.x) * (p3.y - p1.y) - (p3.x - p1.x) * (p2.y - p1.y));
      fprintf(f, " | Aj %6.3e", area);
    }
    uint16_t fl = t->flags.data[c - 1];
    fprintf(f, " | ref %d | F%1x%1x%1x | ", t->source.data[c - 1], (fl >> 13) & 7, (fl >> 10) & 7, (fl >> 7) & 7);
    char letters[5] = {char(fl & TRIMESH_CURVED ? 'c' : '.'), 0, 0, 0, 0};
    for (int s = 3; s >= 1; s--) {
      bool bnd = fl & (1 << (s - 1)), in = fl & (16 << (s - 1));
      letters[4 - s] = bnd && in ? 'f' : bnd ? 'b' : '.';
    }
    fprintf(f, "%s\n", letters);
  }
  strings_free_0(&a), strings_free_0(&b), strings_free_0(&c3);
}

void trimesh_print_1(FILE *f, const tmeshlist *l, const char *name) {
  TRACE("trimesh_print_1");
  char label[300];
  for (int32_t i = 1; i <= l->count; i++) {
    snprintf(label, sizeof label, "%s[%d]", name, i);
    trimesh_print_0(f, &l->data[i - 1], label);
  }
}
