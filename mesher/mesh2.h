// mesh2: operations on a two-dimensional triangle mesh shared by the mesher, the
// refinement and the transfer reader: side boundary ids, the diagonal-swap pass, the
// relaxation of interior nodes, neighbour resolution and the ring order of a node's cells.
#pragma once
#include <cstdint>

#include "runtime/vectorvd.h"

struct Mesh;

int mesh2_init();

// Node places of a triangle seen from side s (row s-1): the opposite vertex, the side's
// two ends (from, to), then the tri6 side-node places and the tri9 second third-points
// rotated the same way, so that entry 3 is side s's own first side node.
extern const uint8_t mesh2_sides[3][9];

// Recomputes the cell's side boundary ids (the edge both ends of a side lie on), its
// boundary flag and, under CURVEGRID or CURVEALL, its basis and its neighbours'.
void mesh2_fix_bdid2(Mesh *m, int32_t c);
// One pass of diagonal swaps over the live cells (at most one per cell); basis 4, 5 or 6
// picks the variant, any other stops with "BAD BASIS" in "mesh2_best_leg_0". values are
// the per-node fields the higher-order variants interpolate (may be null). Returns the
// number of swaps.
uint16_t mesh2_best_leg(Mesh *m, int32_t basis, vectorvd *values);
// Swap the diagonal shared by cell c (its side s) and cell n (its side t).
void rehook_tri3(Mesh *m, int32_t c, uint16_t s, int32_t n, uint16_t t);
void rehook_tri6(Mesh *m, int32_t c, uint16_t s, int32_t n, uint16_t t, vectorvd *values);
void rehook_tri9(Mesh *m, int32_t c, uint16_t s, int32_t n, uint16_t t, vectorvd *values);
// Moves the interior nodes toward well-shaped triangles (at most 41 passes).
void mesh2_relax_mesh(Mesh *m);
// Links the cells that share a side, node by node; with mark, a node whose cells lie in
// more than one region becomes an edge node (kind 2).
void mesh2_resolve_nabors2(Mesh *m, uint8_t mark);
// Links open sides whose ends coincide within 1% of the cell's size (cells that share
// no nodes).
void mesh2_resolve_table_nabors2(Mesh *m);
// Orders the node's cell list around it; returns the neighbour beyond the last cell (the
// first cell again for an interior node). Fatal "BAD NODECELL ORDER" or "NODECELLS NOT
// CLOSED" in "bad_order_nodecells_0" when the cells form no fan or ring.
int32_t mesh2_order_nodecells(Mesh *m, int32_t node);
