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
// 1 when the meshes hold cells. Extruded problems give an empty plot until their
// meshes along a path are built.
uint8_t pgrid1_validate_1dplot_mesh(pde *p, plotdata *d);
// The distance of a point along the segment: (P - O) . D.
double pgrid1_elevation_project(const double *point, const plotdata *d);
// Where the segment's line meets face f of a tetrahedron, into the crossing list.
// Extruded problems come later: nothing is added yet.
void pgrid1_face_cut_3d(const plotdata *d, int32_t cell, int32_t face, LocalCell *lc, double eps);
// (k - 0.5) h for x >= 0 and (0.5 - k) h below, with k = trunc(|x| / h).
double pgrid1_fround(double x, double h);
