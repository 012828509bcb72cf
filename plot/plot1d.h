// plot1d: elevation plots: expression values at the nodes of the plot meshes
// along a segment or boundary path, their line integrals, the log-axis check,
// and the drawing with its location picture, legend and path marks.
#pragma once
#include <cstdint>

#include "plot/contour.h"

struct Domain;
struct Mesh;
struct PlotSet;
struct WindowState;
struct metric;
struct pde;
struct plotrec;

int plot1d_init();

// values receives per expression a vector2d (one vectord per plot mesh) of the
// plot's expressions at every node, each node evaluated once; range the
// smallest and largest value with their distance along the path. The plot's data is
// in set, its cells those of the problem's mesh m.
void plot1d_build_line_data(pde *p, PlotSet *set, Mesh *m, plotrec *plot, int32_t index, plotrange *range,
                            vector3d *values);
// The line integral of every expression into integrals (one entry per
// expression), weighted by 2 pi r in the cylindrical systems 5 and 6 of the coordinates.
void plot1d_integrate_plot_1d(PlotSet *set, const metric *coords, plotrec *plot, vectord *integrals,
                              const vector3d *values);
// Turns off the log scaling of an axis (1 x, up to 2 y, up to 3 z) whose data
// reach 0 or below, with a message box and a debug-log line (silent in batch
// runs).
void plot1d_check_logs(uint16_t view, plotrec *plot, double x, double y, double z, int32_t axes);
// The value the log check of a plot's value axis sees: the lower of the data's least
// and the RANGE's lower bound, since the ranger raises the low end of a log axis above
// 0; under a FIXED RANGE of two bounds, which replaces the data's, its top.
double plot1d_log_probe(const plotrec *plot, double datamin);
// The elevation plot in the plot view and its location picture and legend in
// the location view, in the text styles of the window state w, over the domain dom (may be
// null); contours is the CONTOURS switch.
void plot1d_elevation(WindowState *w, PlotSet *set, Domain *dom, int32_t contours, uint16_t view, uint16_t locview,
                      uint16_t number, const plotrange *range, const vector3d *values);
// The location picture and legend; the curves; the horizontal position of a
// point and of the first and last node of a plot mesh.
void lineout_labeling(WindowState *w, PlotSet *set, Domain *dom, plotrec *plot, uint16_t locview);
void poly_lineout(WindowState *w, PlotSet *set, plotrec *plot, uint16_t view, plotframe *f, const vector3d *values,
                  double lower);
double plot_spot(const plotdata *d, const point3d *q);
double first_spot(const plotdata *d, const tmesh *t);
double last_spot(const plotdata *d, const tmesh *t);
