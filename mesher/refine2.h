// refine2: local changes of a two-dimensional triangle mesh: the conforming bisection of
// cells across their longest sides and its undoing, the radial split of a cell around a
// point inside it, the flip and relaxation passes that finish a fresh mesh, and
// the estimate factor the split operations apply.
#pragma once
#include <cstdint>

#include "runtime/vectorvd.h"

struct Mesh;
struct plotframe;

int refine2_init();

// Multiplied into the estimates of the cells a split makes; the refinement driver sets
// it to 0.25 at each call, and it holds 0.25 from the start.
extern double refine2_estimate_factor;
// Set from DEBUG(REFINE): split sides are drawn in the mesh's debug view.
extern uint8_t refine2_debug;

// The side of cell c to bisect: the longest (curved sides of a higher-order cell weighted
// by 1 + L/R^2; ties to the lower side), unless a side shared with the asking neighbour
// r exceeds 0.81 of it.
uint16_t longest(Mesh *m, int32_t c, int32_t r);
// Bisects cell c across its longest side, splitting first whatever neighbours keep the
// mesh conforming. basis 4, 5 or 6 (else fatal "BAD ORDER"); values are the per-node
// fields interpolated at the new nodes (may be null); log appends split histories;
// insert puts new boundary nodes into their edges' lists.
void refine2_subdivide2(Mesh *m, int32_t c, int32_t basis, vectorvd *values, uint8_t log, uint8_t insert);
// Bisect side s of c, and side s2 of its neighbour r across it when r > 0. A boundary
// node that cannot enter its edge's list stops with "Tangled Boundary List".
void split_tri3(Mesh *m, int32_t c, uint16_t s, int32_t r, uint16_t s2, vectorvd *values, uint8_t log,
                uint8_t insert);
void split_tri6(Mesh *m, int32_t c, uint16_t s, int32_t r, uint16_t s2, vectorvd *values, uint8_t log,
                uint8_t insert);
void split_tri9(Mesh *m, int32_t c, uint16_t s, int32_t r, uint16_t s2, vectorvd *values, uint8_t log,
                uint8_t insert);
[[noreturn]] void trap_bnode();
// Undoes the last split of c's group when every cell of it is at or below the threshold
// and names the same node last; returns the cells removed (0, 1 or 2). Fatal "BAD
// ORDER" for a basis other than 4, 5, 6.
uint16_t refine2_mergecell2(Mesh *m, int32_t c, int32_t basis, double threshold);
// The merges of the four cells around an interior node P, or the two at a boundary node.
void merge_tri3(Mesh *m, int32_t P);
void merge_tri6(Mesh *m, int32_t P);
void merge_tri9(Mesh *m, int32_t P);
void bmerge_tri3(Mesh *m, int32_t P);
void bmerge_tri6(Mesh *m, int32_t P);
void bmerge_tri9(Mesh *m, int32_t P);

// Splits the tri3 cell c into three around node P (inside it): c keeps (V1, V2, P), new
// cells take (V2, V3, P) and (V3, V1, P); neighbours, node-cell lists, side ids,
// centroids and estimates follow.
void refine2_radial_split_tri3(Mesh *m, int32_t c, int32_t P);
// The flip and relaxation passes of a fresh tri3 mesh: a flip pass and a relaxation,
// up to two more flip passes (each relaxed when it flipped) ending at the first that
// flips nothing or at a stop request (*stop set), and a last flip pass when the second still
// flipped; a debug run shows the mesh in the text styles.
void refine2_relax_hooks(plotframe *styles, const uint8_t *stop, Mesh *m);
