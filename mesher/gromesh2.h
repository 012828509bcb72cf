// gromesh2: the two-dimensional advancing front: boundary nodes laid out along every
// meshed edge by its spacing feature, then every include region filled with tri3 cells
// by closing front legs onto existing nodes or onto new nodes placed ahead of them.
#pragma once
#include <cstdint>

struct Mesh;
struct pde;

int gromesh2_init();

// Places the boundary nodes: one on every joint that bounds a meshed edge (or is a
// fixed point), and along every edge nodes spaced by its feature item; periodic source
// edges copy their image edge's layout. The spacing features must be built.
void gromesh2_grid_edges(pde *p, Mesh *m);
// Fills every include region, last to first, with cells; then links the cells and
// inserts the fixed points no leg reached. A stop or error request ends it early
// (the caller tests the problem's flags).
void gromesh2_growfront(pde *p, Mesh *m);
// The cells the front will fill the regions with, estimated from their areas and the base
// spacing before it runs, with a bound from below in *least; 0 (and 0) unless every region
// asks the base spacing everywhere. The boundary nodes must be placed.
double gromesh2_first_mesh_cells(pde *p, Mesh *m, double *least);
// The front's last step: every fixed point (a node of the domain's unattached list) that
// no cell uses is marked dead, then joined to the cell holding it strictly inside by a
// radial split and marked alive. One at a vertex (grid tolerance) gives its joint that
// vertex instead; one on an interior side splits both cells at it and is alive.
void gromesh2_insert_points(Mesh *m);

// The user's MESH_SPACING and MESH_DENSITY at a point, as the front asks for it;
// dominpde_user_feature unless a test puts its own in.
extern double (*gromesh2_user_feature)(pde *p, const double *point, uint16_t region, uint16_t edge);
