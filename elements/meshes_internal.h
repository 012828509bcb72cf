// meshes_internal: the cell and node accessors that the mesh module's files share.
#pragma once
#include <cstdint>

#include "elements/meshes.h"

MeshCell &cell_at(Mesh *m, int32_t c);
MeshNode &node_at(Mesh *m, int32_t n);
int functions(int32_t basis);
int node_span(const MeshCell &c, int n);

// The side nodes of a quadratic cell that halve its sides, one row {side node, end,
// end} (1-based positions in the cell's node list) per side; the row count, 0 and no
// rows for other bases. tri6 node 3+s halves side s (opposite vertex s); tet10 nodes
// 5..10 halve the edges 2-3, 3-1, 1-2, 1-4, 2-4, 3-4.
int midside_rows(int32_t basis, const uint8_t (**rows)[3]);
// Whether c lies at the midpoint of the side from a to b, to within tol in each
// coordinate besides rounding of the side.
bool halves_side(const double *c, const double *a, const double *b, double tol);
