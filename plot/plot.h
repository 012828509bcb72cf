// plot: the plot records of a problem: one plotrec per plot, monitor, history or
// export, the plotdata that holds its plot meshes (shared by plots whose meshes would be
// identical), the timerec time selections, their growth, sharing and release.
#pragma once
#include <cstdint>
#include <cstdio>
#include <vector>

#include "model/plot_records.h"
#include "model/trees.h"
#include "plot/trimesh.h"
#include "runtime/matrixn.h"
#include "runtime/point3d.h"
#include "runtime/strings.h"
#include "runtime/textin.h"
#include "runtime/vector2d.h"
#include "runtime/vector2t.h"
#include "runtime/vector3d.h"
#include "runtime/vector4d.h"
#include "runtime/vectorb.h"
#include "runtime/vectord.h"
#include "runtime/vectorn.h"

struct Domain;
struct Mesh;
struct pde;
struct plotframe;
struct rect3d;

// The working data of one plot mesh.
struct plotdata {
  uint8_t valid;          // the plot mesh matches the current solution
  uint8_t cut;            // 1 after ON equation (a plane cut)
  uint8_t zoomed;         // 1 after ZOOM(...)
  uint8_t line;           // 1 after FROM/TO or ON a straight named boundary
  uint8_t vector;         // 1 for VECTOR
  uint8_t fill;           // painted
  uint8_t created;        // 1 at creation; 0 after ZOOM(...) or ON equation
  uint8_t spare;
  uint8_t paintregions;   // GRID painted by region (1) or material (0)
  uint8_t grid;           // 1 for GRID
  int32_t planeaxis;      // plane cut: 1, 2 or 3
  int32_t lineaxis;       // line plot: the axis the direction follows within 0.95; else 0
  uint16_t points[3];     // resolution
  uint16_t boundary;      // ON a named boundary (ELEVATION): its loop
  uint16_t region;        // ON REGION
  uint16_t surface;       // ON SURFACE
  uint16_t layer;         // ON LAYER
  double box[6];          // x1, y1, z1, x2, y2, z2
  double lineplane[4];    // FROM/TO: a plane holding the line, normal and offset
  double linecross[3];    // the unit direction crossed with that normal
  double linelength;      // distance between the ends
  double lineends[6];     // FROM point, TO point
  double direction[3];    // unit direction of the line
  double plane[4];        // ON equation: unit normal and offset of a x + b y + c z + d = 0
  double inplane[12];     // two unit vectors in the plane, then the 3 x 2 map back
  double spacing[3];      // dx, dy, dz of export grids
  String axislabels[3];   // x, y and z labels
  vector2t strips[2];     // per group, the marks of the solution cells and of the solution nodes
  tmeshlist meshes;       // one plot mesh per region piece
  // Plot-mesh building.
  uint8_t linearize;      // plot meshes made of straight three-node cells
  uint8_t nodensify;      // keep the solution mesh's resolution
  uint8_t domainbox;      // the data box is the domain's box
  uint8_t closed;         // a traced boundary path ends where it began
  uint16_t groups;        // groups of solution cells (second ids or regions)
  uint16_t order;         // path meshes: polynomial order of the plot cells
  uint32_t sbasis, pbasis;  // solution and plot basis
  double nodespacing;     // node spacing asked of densify
  double window[4];       // plot window x1, y1, x2, y2
  double surfbox[4];      // hull of the plotted nodes x1, y1, x2, y2
  double hrange[2];       // path meshes: range of the horizontal coordinate
  double drange[2];       // path meshes: range of the distance along the segment
  Mesh *mesh;             // the solution mesh the plot meshes were taken from
  vector2d nodevalues;    // per-node values of the plot mesh
  vectorb nodeflags;      // per-node flags
};

int plot_init();

// The PLOT debug switch of the current problem.
extern uint8_t plot_debug;

// Appends a zeroed record (plot and plot-data vectors grow by 16) and returns the new
// count. More than 65535 records is the fatal error "TOO MANY PLOTS".
uint16_t plot_one_more_1(plotvector *v);
// The caption of the plot's window and of its recorded drawing: its first title line,
// or the word SUMMARY for a summary without a title.
void plot_caption(String *out, const plotrec *r);
uint16_t plot_one_more_0(plotdatavector *v);
// Appends a zeroed timerec, growing to capacity * 6 / 5 + 10, and returns the new count.
uint16_t plot_one_more_2(timevector *v);
// Reallocate to the capacity (at least the count), copying the records and keeping
// XMEM in step; records past the old count are zero.
void plot_resize_0(plotvector *v, int32_t count, int32_t capacity);
void plot_resize_1(timevector *v, int32_t count, int32_t capacity);
void plot_resize_2(plotdatavector *v, int32_t count, int32_t capacity);
// Release every record with what it owns, then the array; count and capacity become 0.
void plot_free_0(plotvector *v);
void plot_free_1(timevector *v);
void plot_free_2(plotdatavector *v);
// Releases the plot lists with the records they hold.
void plotset_release(PlotSet *s);

// The number the newest plotdata shall use: an earlier record with the same keys
// (resolution, the four selectors, every flag byte, and the box, line ends and plane
// under the zoom, line and cut flags) when there is one, the newest then dropped;
// otherwise the newest itself.
uint16_t plot_assign_plot_mesh(plotdatavector *v);

// Sizes the plot data's per-group marks: groups cell and node bit vectors of the given
// lengths, all clear.
void plot_size_marks(plotdata *d, int32_t groups, int32_t cells, int32_t nodes);

// Keep the history samples across a re-parse for a new stage.
void plot_save_histories(plotvector *plots, vectord *times);
void plot_restore_histories(plotvector *plots, vectord *times);

// Sets the colour bytes of a drawing settings block for a colour mode (0 colour,
// 1 gray, 2 black; other modes leave them): curve, mark, axis, text, background,
// spectrum count and first spectrum colour from the colour roles, then a after them
// (the spectrum cycle) and b in the block's own colour (the accent). A null block is
// left alone.
void plot_fixcolors(plotframe *block, int32_t mode = 0, uint8_t a = 0, uint8_t b = 0);

// The value range of a plot: low becomes the smaller of the lower bounds and high the
// larger of the upper ones; a range narrower than 0.0001 of the larger magnitude M is
// widened to its midpoint +- 0.00005 M and the level count becomes
// trunc(width * 10000 / M * levels) + 2 (width before widening); on a logarithmic value
// axis low is raised to high / 10^decades. A plot with a fixed range (bit 8) keeps the
// first bounds as given. Returns the level count.
int32_t plot_ranger(double *low, double low2, double *high, double high2, int32_t levels, const plotrec *plot);
// A viewpoint with x = y = 0 becomes the default: 3 box diagonals from the centre of
// the box's x-y extent at the angle 1.375 pi, elevation pi/3.
void plot_validate_viewpoint(double *viewpoint, const rect3d *box);

// The tag of series k of an expression: its letter (a..z, then A..), after the
// expression's digit when the plot has several expressions.
void plot_series_tag(String *tag, int32_t k, int32_t expr, int32_t exprs);
// Scales a text legend's view to lines of text and sets its text size: on pages s lines
// at s / 1.2 (the frame's title size s); on the screen, where that comes out a few
// pixels high, as few lines as hold the used ones (three fifths of s at least) and
// characters as large as the contour legends', less where the widest of the texts would
// not fit (never smaller than on the page). Text is spaced evenly by the width of "m".
// Returns the number of lines: the first is drawn at it less 2.
double plot_legend_lines(uint16_t view, const plotframe *f, double s, int32_t used,
                         const std::vector<const String *> &texts, bool screen);
// Line plots: series k of sets (y values over x) in table colour k, tagged. The first
// maps the box of x and all series with 5 % margins (on a log axis 5 % of each bound),
// log x for scale codes 4, 5, 7 and log y for 2, 3, 7, and draws the axes. yrange,
// when given, is the value range instead of the series' own. The colours are those of
// offset + k out of total series (0: the set's count).
void plot_line_plot(uint16_t view, plotframe *f, const plotrec *plot, const vectord *x, const vector2d *sets,
                    int32_t expr, const String *xtitle, const String *ytitle, const double *yrange = nullptr,
                    int32_t total = 0);
void plot_add_line_plot(uint16_t view, plotframe *f, const plotrec *plot, const vectord *x, const vector2d *sets,
                        int32_t expr, int32_t offset = 0, int32_t total = 0);

// ---- Drawing of domains and meshes (none records anything) ---------------------------
// View 0 is no view: the routines then draw nothing.
// One boundary edge: lines between the joints, arcs traced with a step of 0.03 (zoomed
// 0.1) of the smaller side of their box, polylines through their mesh nodes; deleted
// edges are skipped; grey when the edge is marked, else colour, else black.
void plot_show_segment_0(uint16_t view, Domain *d, uint16_t edge, uint8_t colour);
void plot_show_zoomed_segment(uint16_t view, Domain *d, uint16_t edge, uint8_t colour, const rect3d *box);
// Every edge of the domain, clipped to the box when zoomed. Null domains draw nothing.
void plot_show_domain_1(uint16_t view, Domain *d, uint8_t zoomed, const rect3d *box);
void plot_show_domain_0(uint16_t view, Domain *d, const rect3d *box);
// Maps the region's box onto the view and draws the edges of its loops.
void plot_show_region_0(uint16_t view, plotframe *styles, Domain *d, uint16_t region);
// Extruded domains: the edges at height z projected through the 3D debug mapping
// (plot3d_frame); the zoomed forms clip them to the box first.
void plot_show_domain_3d(uint16_t view, Domain *d, double z);
void show_segment_3d(uint16_t view, Domain *d, uint16_t edge, double z);
void warp_line_3d(uint16_t view, const pointd *a, const pointd *b, double z);
void plot_show_domain_zoomed_3d(uint16_t view, Domain *d, double z, const rect3d *box);
void show_segment_zoomed_3d(uint16_t view, Domain *d, uint16_t edge, double z, const rect3d *box);
// Every live cell (or those of one region): unpainted as sides in the region's table
// colour, each side once (by the cell whose number exceeds its neighbour across) unless
// one region is drawn, curved sides through their side nodes; painted as filled patches.
// x and y hold the node positions; regions is the colour table's count.
void plot_draw_mesh_0(uint16_t view, plotframe *colours, Mesh *m, int32_t basis, const vectord *x, const vectord *y,
                      uint16_t region, uint8_t painted, uint16_t regions);
void plot_draw_mesh_1(uint16_t view, plotframe *colours, Mesh *m, int32_t basis, uint16_t region, uint8_t painted,
                      uint16_t regions);
// Clears the view, frames the box and draws the mesh.
void plot_show_mesh(uint16_t view, plotframe *styles, const rect3d *box, Mesh *m, int32_t basis, uint8_t fill,
                    uint8_t paintregions, uint16_t regions);
// Mesher debug views: the mesh and domain around a boundary piece (ten times its
// half-extent) or around a side from node a to node b (five times).
void plot_show_mesh_segment(uint16_t view, plotframe *styles, Mesh *m, uint16_t edge, int32_t basis);
void plot_show_mesh_leg_0(uint16_t view, plotframe *styles, Mesh *m, int32_t a, int32_t b, int32_t basis);
// Clears the view, maps the box with room for labels and draws the axes.
void plot_show_frame(uint16_t view, plotframe *styles, const rect3d *box, int32_t a, int32_t b, const String *xlabel,
                     const String *ylabel);
