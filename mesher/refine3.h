// refine3: local changes of a tetrahedral mesh for adaptive refinement: the conforming
// bisection of an edge together with every cell around it, and its undoing, for tet4,
// tet10 and tet20 cells. Node-cell lists, neighbours, boundary ids, boundary node lists,
// split histories, estimates and the cell finder are kept up to date.
#pragma once
#include <cstdint>

#include "runtime/vectorvd.h"

struct Mesh;

int refine3_init();

// Bisects the longest edge of the cell (first maximum in the order of the edge slots
// 5..10) and every cell around it, splitting first the ring cells that prefer a clearly
// longer edge; then the edge between the two ends' periodic images, when both have one.
// New cells take the parent's estimate times the estimate factor; values are the
// per-node fields interpolated at the new nodes (may be null); log appends split
// histories (kept end's corner high, midpoint's corner low). basis tet4, tet10 or tet20,
// else fatal "BAD ORDER". A ring of cells that no start walks through completely (a
// broken neighbour structure) stops with a fatal error naming the edge's two nodes.
void refine3_subdivide3(Mesh *m, int32_t cell, int32_t basis, vectorvd *values, uint8_t log);
// Undoes the last split of the cell (and of its periodic image) when every cell around
// the split edge is alive, unflagged, at or below the threshold and its sibling names
// the same midpoint and other end; returns the number of cells removed (0 when nothing
// was merged). The basis argument is not read; the mesh basis decides.
uint16_t refine3_mergecell3(Mesh *m, int32_t cell, int32_t basis, double threshold);
// Nesting levels in use: 0 between calls.
int32_t refine3_depth();
// Moves every boundary node of a curved mesh that stands off its domain face or edge
// (drawn back there by an earlier split to keep a cell from folding) onto it, where every
// cell around it then keeps its Jacobian's sign; the cells around a node that cannot be
// moved yet take at least the estimate mark, so that they are split. The fields in values
// (may be null) are interpolated anew at a moved node. Returns the number of nodes moved.
int32_t refine3_seat_nodes(Mesh *m, double mark, vectorvd *values);
// Whether the curved cell's Jacobian changes sign (or vanishes) at its corners or at the
// points of the finest tetrahedral rule.
bool refine3_folded(Mesh *m, int32_t cell);
// How far the cell's curved faces on the domain stray from the domain faces they stand
// for: the largest distance, over those faces, from the face's centre under the cell's
// map to the domain face, divided by the face's longest side. 0 for a straight cell.
double refine3_bend_error(Mesh *m, int32_t cell);
