// plot2d: surface, vector and grid plots, integrals over the plot surface, the
// viewpoint text of surface plots, and the invalidation of plot meshes.
#pragma once
#include <cstdint>

#include "elements/evalpoint.h"
#include "plot/contour.h"
#include "runtime/strings.h"

struct PlotSet;
struct metric;
struct plotframe;

// The point at which plot values are evaluated: the caller (the plot driver)
// sets its solution values, rates and time; the builders set position, cell and
// local coordinates.
extern evalpoint plot2d_point;

int plot2d_init();

// The vector expression expr at every node of the selected cells of each plot
// mesh: x and y components (projected onto a cut plane), the range of their
// magnitude. The plot's data is in set, its cells those of the problem's mesh m;
// dimension is the problem's (a cut plane of a 3D problem projects).
void plot2d_build_vector_data(pde *p, PlotSet *set, Mesh *m, uint16_t dimension, plotrec *plot, vector2d *xs,
                              vector2d *ys, plotrange *range, int32_t expr);
// Arrows at the cell centroids, scaled by the node spacing, coloured by
// magnitude band (codes 7 unit length, 8 range of the plot, 12 plain centred
// lines); contours is the CONTOURS switch (15 bands when not positive).
void plot2d_vector_plot(uint16_t view, plotframe *f, PlotSet *set, int32_t contours, plotrec *plot, const rectd *box,
                        const plotrange *range, const vector2d *xs, const vector2d *ys, vectord *levels);
// The value as a surface seen from the plot's viewpoint, painted far to near.
void plot2d_surface_plot(uint16_t view, plotframe *f, PlotSet *set, plotrec *plot, const rectd *box,
                         const plotrange *range, const vector2d *values, vectord *levels, int32_t nlevels);
// Paints the cells of every plot mesh, sorted by their nearest corner's
// horizontal distance from the viewpoint, farthest first; mesh-only draws grey
// front faces and white back faces with outlines of the colour pair.
void show_surface(uint16_t view, plotframe *f, plotdata *d, const vector2d *values, const vectord *levels,
                  const double *viewpoint, const uint8_t *colours, uint8_t meshonly);
// Every plot mesh drawn with its nodes moved to (x value, y value).
void plot2d_grid_plot(uint16_t view, plotframe *f, PlotSet *set, plotrec *plot, const rectd *box, const vector2d *xs,
                      const vector2d *ys, const plotrange *xrange, const plotrange *yrange);
// The integral of the values over the plot meshes: weighted by 2 pi r in
// cylindrical systems 5 and 6 (of the problem's coordinates) under code 22, else by
// the slope factors when given (slopes may be null or empty).
double plot2d_integrate_plot_2d(PlotSet *set, const metric *coords, plotrec *plot, const vector2d *values,
                                const vector2d *slopes);
// "(x,y,elevation in degrees)" of a viewpoint (x, y, stored angle).
void plot2d_view_string(String *out, const double *viewpoint);
// Marks every plot data record of the problem stale, so that its plot meshes
// are rebuilt before the next plot; the solvers call it after every change of
// the mesh.
void plot2d_invalidate_plotmeshes(PlotSet *set);
