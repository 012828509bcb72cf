// plot2d: the plot meshes of the 2D contour, surface, vector and grid plots.
#pragma once

struct pde;

int plot2d_init();

// Marks every plot mesh of the problem stale after the mesh or the solution changed.
void plot2d_invalidate_plotmeshes(pde *p);
