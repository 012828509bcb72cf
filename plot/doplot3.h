// doplot3: the drawing of three-dimensional meshes and plots (headless for now: the mesh
// display of an extruded problem draws nothing).
#pragma once
#include <cstdint>

struct Mesh;
struct pde;

int doplot3_init();

// Draws the tetrahedral mesh in the view, painted by region or by material.
void doplot3_show_3d_mesh(pde *p, uint16_t view, Mesh *m, uint8_t paintregions);
