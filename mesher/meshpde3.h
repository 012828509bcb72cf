// meshpde3: the tetrahedral meshes of extruded problems: node-cell lists and face
// neighbours, the higher-order nodes of tet10 and tet20 cells, and the placement of
// boundary nodes on the true sheet surfaces and curved edges.
#pragma once
#include <cstdint>

struct Domain;
struct Mesh;
struct pde;

int meshpde3_init();

// Rebuilds every node's cell list from the cells' corners and removes (by compaction)
// the nodes no cell uses.
void meshpde3_resolve_nodecells3(Mesh *m);
// Links the cells sharing three corners across their faces. Fatal "BAMBOOZLED" when two
// such cells have opposite orientations.
void meshpde3_resolve_nabors3(Mesh *m);
// Adds the shared edge (and, for tet20, face) nodes of basis tet10 or tet20, classifies
// them as edge or face nodes of the domain, and under CURVEGRID places the boundary nodes
// on the true boundary; sets the mesh basis. Another basis is fatal "ILLEGAL ORDER".
void meshpde3_midsides3(pde *p, Mesh *m, int32_t basis);
// z of sheet s over base region r (the sheet's own tree for r = 0) at the base point.
double meshpde3_sheet_z(const Domain *d, uint16_t s, uint16_t r, double x, double y);
// Moves the point onto the sheet edge (extrusion edges only; vertical edges are straight).
void meshpde3_push_to_edge(Domain *d, uint16_t edge, double *p);
// Moves the point onto the face: a sheet along the surface's normal, a vertical face over
// an arc radially. Fatal "BAD PUSH SHAPE" for a vertical face over another curve,
// "UNIMPLEMENTED" for a face of another type.
void meshpde3_push_to_face(Domain *d, uint16_t fc, double *p, double scale);
// Sets the point's z from sheet s over base region r at its (x, y) and shears x and y.
void meshpde3_lift_to_surface(const Domain *d, double *p, uint16_t s, uint16_t r);
