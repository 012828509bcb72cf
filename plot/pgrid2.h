// pgrid2: the plot meshes of contour, surface, vector and grid plots: the solution
// cells grouped by second id or region, copied (2D), cut by a plane or taken from an
// extrusion surface (3D) into one plot mesh per group, densified, linearised and
// trimmed to the plot window, with the axis labels.
#pragma once
#include <cstdint>

#include "plot/plot.h"

struct pde;
struct Domain;

int pgrid2_init();

// Rebuilds the plot meshes of d when its valid byte is 0: the data box (the domain's
// box when none is set or the domain box is asked for), the window (the box widened by
// 0.001 of its width and height on each side), the cell groups, the meshes, the nodes
// moved off a symmetry axis and the labels. A plane cut without a zoom window takes the
// plot-plane hull of the domain box's corners as its data box. Returns the valid byte:
// 1 when the meshes hold cells, 0 for an empty plot. Fatal: "Illegal Cut Pattern",
// "Illegal Basis", "no plot surface selector", "dead edge cut", "SURFACE PLOT MAP
// INCONSISTENCY", "SURFACE PLOT FACE CUT FAILED!".
uint8_t pgrid2_validate_plot_mesh(pde *p, plotdata *d);
// The plot-plane position (u, v) of a point in space through the plane's two in-plane
// rows, and the point of the plane at (u, v).
void pgrid2_project(double *uv, const plotdata *d, const double *point);
void pgrid2_unproject(double *point, const plotdata *d, const double *uv);
// Sets the two axis labels: the names of the first two coordinates; on a cut plane each
// label spells its projection row ("X+0.5*Z").
void pgrid2_fix_labels(pde *p, plotdata *d);
// Whether region r of a 3D domain matches the plot's ON REGION and ON LAYER selectors
// (0: any): every layer copy of a region answers to its base region's number.
bool pgrid2_region_matches(const plotdata *d, const Domain *dom, uint16_t r);
