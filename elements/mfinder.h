// mfinder: locating points in a mesh through its cell finder: the slab index over the
// mesh's box, kept current cell by cell, and the search for the cell holding a point.
#pragma once
#include <cstdint>

struct evalpoint;
struct finder;
struct Mesh;

int mfinder_init();

// Builds the mesh's finder: the box of every node with a margin of 0.001 of its extent,
// slabs of the finder's size (0: 0.05) per axis, none thinner than a tenth of the
// widest, and every live cell mapped. On a built finder it only sizes every slab's bit
// vector to the cell count. A mesh without nodes or live cells gets 0 slabs.
void mfinder_build_finder(Mesh *m);
// Sets (map) or clears (unmap) cell c's bit in every slab its box overlaps; dead cells
// and numbers outside the table are skipped.
void mfinder_map_finder_cell(finder *f, Mesh *m, int32_t c);
void mfinder_unmap_finder_cell(finder *f, Mesh *m, int32_t c);

// The cell holding the point (x, y), or (x, y, z) for _3: its number when every local
// coordinate exceeds -1e-6 (the lowest such candidate); otherwise, with tol > 0, the
// negated number of the candidate whose local coordinates all exceed -tol and whose
// negative ones sum highest (the earlier wins a tie); else 0. Builds the finder when
// it is not built. The point's local cell and local coordinates are left in the cell
// returned. A query allocates nothing.
int32_t mfinder_find_cell2(evalpoint *p, Mesh *m, double tol);
int32_t mfinder_find_cell3(evalpoint *p, Mesh *m, double tol);
// _3 when the mesh's domain is three-dimensional, else _2.
int32_t mfinder_find_cell(evalpoint *p, Mesh *m, double tol);
// Whether the line through pos along axis a (0 x, 1 y, 2 z; in two dimensions a is 0
// or 1) may meet a cell: false only when no cell's box overlaps the line's slabs on the
// other axes, or the line passes outside the finder's box on one of them, so that
// mfinder_find_cell finds nothing at any point of the line. One scan of the slabs'
// words answers for the whole line. Builds the finder when it is not built.
bool mfinder_line_may_meet(Mesh *m, int a, const double pos[3]);
// Sets the located point's normal (nx, ny, nz) to the unit outward normal of the
// boundary side (face) on which the point lies, looked for among the sides of cell c and of the cells that share a vertex with it
// (a point at a boundary node may be found in a cell that touches the boundary only
// there). A side lies on the boundary when it has no neighbour (periodic sides do not
// count); the point lies on it within 0.02 of the side's size, taken against its
// straight chord or plane, or, for a side on an arc or an elliptic arc (in 3D a wall
// extruded from one), against that curve, whose own normal is then given. Returns
// false, with the normal zero, when no such side holds the point.
bool mfinder_boundary_normal(const Mesh *m, int32_t c, evalpoint *p);
