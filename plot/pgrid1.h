// pgrid1: the plot meshes of elevation plots: the pieces of the solution mesh along a
// straight segment, or along a boundary path traced edge by edge, as segment meshes
// whose nodes carry their distance along the path and their position.
#pragma once
#include <cstdint>

#include "plot/plot.h"

struct LocalCell;
struct pde;

int pgrid1_init();

// Builds the plot meshes of d when it is not valid yet (from the segment FROM ... TO,
// or from the boundary path d->boundary) and sets the axis title: the name of
// coordinate 1, 2 or 3 for those axis kinds, else "Distance". Returns the valid byte:
// 1 when the meshes hold cells. In extruded problems the segment is skewered through
// the tetrahedra.
uint8_t pgrid1_validate_1dplot_mesh(pde *p, plotdata *d);
// The distance of a point along the segment: (P - O) . D.
double pgrid1_elevation_project(const double *point, const plotdata *d);
// The horizontal coordinate of node n (1-based) of a plot mesh by the axis kind: its
// x, y or z for kinds 1, 2, 3, otherwise its distance along the path.
double pgrid1_node_spot(const plotdata *d, const tmesh *t, int32_t n);
// Where the segment's line meets face f of the localised tetrahedron lc, into the
// crossing list (face code f): the 4 x 4 system of the straight cell, skipped when its
// determinant is below 1e-9 of the cell's measure (a face along the line); on curved
// cells t is refined on the curved face. Kept for -L <= t <= 2L and barycentrics in
// [-eps, 1 + eps]; the plot cell made from the crossings is cut back to the segment.
void pgrid1_face_cut_3d(const plotdata *d, int32_t cell, int32_t face, LocalCell *lc, double eps);
// (k - 0.5) h for x >= 0 and (0.5 - k) h below, with k = trunc(|x| / h).
double pgrid1_fround(double x, double h);
