// contour: contour plots: the values of an expression at the plot-mesh nodes,
// the levels traced cell by cell through the cell polynomials (straight pieces
// in linear cells, a curved predictor-corrector walk in quadratic and cubic
// ones), the pieces joined into long labelled polylines, and painted colour
// bands.
#pragma once
#include <algorithm>
#include <cstdint>

#include "elements/elements.h"
#include "elements/evalpoint.h"
#include "graphics/gagscren.h"
#include "plot/plot.h"
#include "runtime/pointd.h"
#include "runtime/rectd.h"
#include "runtime/vector2d.h"
#include "runtime/vectord.h"
#include "runtime/vectort.h"

struct Mesh;
struct PlotSet;
struct pde;
struct plotframe;
struct crossinglist;

// The smallest and largest value of a plot and where each occurs. Builders
// start them at 1e37 and -1e37.
struct plotrange {
  double min;
  pointd minat;
  double max;
  pointd maxat;
};

// Traced pieces: one pointd list per piece, 1-based, grown by 500 entries.
struct polylinelist {
  int32_t count, capacity;
  pointdlist *data;
};

int contour_init();

// Appends an empty piece and returns it.
pointdlist *contour_new_polyline(polylinelist *l);
// Empties every piece (their storage is kept); frees everything.
void contour_clear_polylines(polylinelist *l);
void contour_free_polylines(polylinelist *l);

// The tree of plot expression e for the region (its analysed tree when there is
// one).
const TreeNode *contour_tree(const plotrec *plot, int32_t e, uint16_t region);
// Localises the cell of the problem's mesh m under plot cell cell of t into the
// module's work cell and points pt at it; then places pt at node n of t with its local
// coordinates (tolerance 0.5; 3D positions for a problem of dimension 3).
void contour_locate(Mesh *m, const tmesh *t, int32_t cell, evalpoint *pt);
void contour_place(uint16_t dimension, const tmesh *t, int32_t n, evalpoint *pt);
// A strictly larger value becomes the maximum, a strictly smaller one the
// minimum.
void contour_widen(plotrange *r, double v, const pointd *at);

// Runs fn(n, tree) once for every node n of the plot cells c of t with keep(c),
// the point placed at the node in its problem cell and tree the expression's
// tree there; visited is the caller's work vector. Window messages every 1000
// nodes.
template <class Keep, class Fn> void contour_each_node(Mesh *m, uint16_t dimension, const plotrec *plot, const tmesh *t,
                                                       int32_t expr, evalpoint *pt, vectort *visited, Keep keep,
                                                       Fn fn) {
  vectort_resize(visited, t->nodes.count, std::max(t->nodes.count, visited->capacity));
  vectort_copyto_1(visited, 0);
  for (int32_t c = 1; c <= t->source.count; c++) {
    if (!keep(c)) continue;
    contour_locate(m, t, c, pt);
    const TreeNode *tree = contour_tree(plot, expr, pt->region);
    for (int j = 0; j < t->ncell; j++) {
      int32_t n = t->cells.data[(c - 1) * t->ncell + j];
      if (n <= 0 || vectort_if_bit(visited, n)) continue;
      contour_place(dimension, t, n, pt);
      fn(n, tree);
      if (n % 1000 == 0) gagscren_dispatch(0);
      vectort_set_bit(visited, n);
    }
  }
}

// Evaluates expression expr of the plot at every node of its plot meshes (each
// node once), one vector per mesh; with slope set and the plot on faces of a 3D
// problem, also the factor sqrt((a^2 + b^2 + c^2) / c^2) of the face normal (a,
// b, c). The plot's data is in set, its cells those of the problem's mesh m.
void plot2d_build_contour_data(pde *p, PlotSet *set, Mesh *m, uint16_t dimension, plotrec *plot, vector2d *values,
                               vector2d *slopes, plotrange *range, int32_t expr, uint8_t slope);
// A whole contour plot in the view: levels (logarithmic for scale codes 1, 3,
// 5, 7), the level or band table in the plot's legend view, the frame, lines
// with labels or (code 13) painted bands, the "o" and "x" marks of the range
// (unless code 23). levels receives the levels used.
void plot2d_contour_plot(uint16_t view, plotframe *f, pde *p, PlotSet *set, plotrec *plot, const rectd *box,
                         const plotrange *range, const vector2d *values, vectord *levels, int32_t nlevels);
// Unlabelled contour lines of a second expression over a plot already drawn.
void plot2d_add_contour_plot(uint16_t view, plotframe *f, pde *p, PlotSet *set, plotrec *plot, const rectd *box,
                             const plotrange *range, const vector2d *values, vectord *levels, int32_t nlevels);
// Traces and draws every level over every plot mesh with the tracing step h;
// with label set the pieces are joined and tagged.
void poly_contour(uint16_t view, plotframe *f, pde *p, plotdata *d, const vector2d *values, const vectord *levels,
                  double h, uint8_t label);
// Traces one level c through plot cell cell of t into the list; spacing is the
// level spacing used to round off noise (0: values used as they are). lc is a
// work frame.
void poly_cell(const vectord *values, pde *p, polylinelist *l, const tmesh *t, int32_t cell, double c, double spacing,
               ElementFrame *lc, double h);
// The curved walk from every entering crossing of a quadratic or cubic cell
// whose polynomial coefficients are coef (level c, step h).
void cell_contour(polylinelist *l, const crossinglist *x, const double *coef, int32_t basis, ElementFrame *lc, double c,
                  double h);
// The straight piece between the two crossings of a linear cell ("TOO MANY
// CROSSINGS" for more than two).
void line_contour(polylinelist *l, const crossinglist *x, const double *coef, ElementFrame *lc);
// Joins pieces whose last point lies within tau of another's first point; drops
// pieces shorter than tau / 64 end to end; the list keeps the joined, non-empty
// pieces in order.
void merge_polylines(polylinelist *l, double tau);
// Colour bands of the values between the levels over every plot mesh, then the
// outlines.
void poly_paint(uint16_t view, plotframe *f, pde *p, plotdata *d, const vector2d *values, const vectord *levels,
                const rectd *box);
// The box scaled by factor about its centre.
void expand_box(rectd *out, const rectd *box, double factor);
