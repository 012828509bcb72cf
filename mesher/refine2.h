// refine2: local changes of a two-dimensional triangle mesh: the radial split of a cell
// around a point inside it, the flip and relaxation passes that finish a fresh mesh, and
// the estimate factor the split operations apply.
#pragma once
#include <cstdint>

struct Mesh;
struct pde;

int refine2_init();

// Multiplied into the estimates of the cells a split makes; the refinement driver sets
// it to 0.25 at each call, and it holds 0.25 from the start.
extern double refine2_estimate_factor;

// Splits the tri3 cell c into three around node P (inside it): c keeps (V1, V2, P), new
// cells take (V2, V3, P) and (V3, V1, P); neighbours, node-cell lists, side ids,
// centroids and estimates follow.
void refine2_radial_split_tri3(Mesh *m, int32_t c, int32_t P);
// The flip and relaxation passes of a fresh tri3 mesh: a flip pass and a relaxation,
// up to two more flip passes (each relaxed when it flipped) ending at the first that
// flips nothing or at a stop request, and a last flip pass when the second still flipped.
void refine2_relax_hooks(pde *p, Mesh *m);
