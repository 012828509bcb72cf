// extrude3: the extrusion of a two-dimensional base mesh through the sheets of an extruded
// domain: the 3D joints, edges, faces and regions of every sheet and layer, the node
// columns through every layer and the split of every prism stack into tetrahedra.
#pragma once
#include <cstdint>

struct Domain;
struct Mesh;
struct pde;

int extrude3_init();

// The domain's entity maps (domain maps[]): per sheet the 3D joint, edge and face of each
// base joint, edge and region; per layer the 3D region of each base region, the face an
// edge sweeps and the edge a joint sweeps (0 where the layer has no thickness there).
enum { EXTRUDE3_JOINT, EXTRUDE3_EDGE, EXTRUDE3_FACE, EXTRUDE3_REGION, EXTRUDE3_VFACE, EXTRUDE3_VEDGE };
// Entry i of map which for sheet or layer s (0 when absent).
uint16_t extrude3_map(const Domain *d, int which, uint16_t s, uint16_t i);

// Extrudes the problem's mesh m (the 2D mesh, whose copy is the problem's base mesh base)
// into tetrahedra through every layer and links the cells' neighbours; p is the problem
// the parse errors name. Returns 6. Failures:
// "Periodic Boundaries Don't Match", "Periodic Surfaces Don't Match" and "SURFACE s
// INTERSECTS AT (x,y)" as parse errors; fatal "Garbled Node" and a blocked column merge.
int32_t extrude3_extrude(pde *p, Mesh *m, Mesh *base);
// Splits the prism stack over a triangle with columns A, B, C (node lists from the bottom,
// of lengths na, nb, nc) into tetrahedra of the region, appended to m, obeying the link
// lists (the choices made along each side by neighbours, 0-terminated vectors given as
// pointer and length; null for none), and records its own choices in order[3]. Returns
// false when no column may rise (the caller reports it).
struct BrickSides {
  const int32_t *link[3];  // per side, the neighbour's choices in this cell's corner codes
  int32_t linkcount[3];
  uint8_t *order[3];       // per side, room for the choices made (na + nb + nc entries)
  int32_t ordercount[3];
};
bool extrude3_brick(Mesh *m, const int32_t *const col[3], const int32_t len[3], double tol, uint16_t region,
                    BrickSides *sides);
