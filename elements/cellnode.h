// cellnode: the mesh's growable tables of cells and nodes with their records, the
// localised cell, and the interpolation of nodal fields at located points.
#pragma once
#include <cstdint>

#include "elements/elements.h"
#include "runtime/vectorb.h"
#include "runtime/vectord.h"
#include "runtime/vectorl.h"

struct evalpoint;

// One cell of a mesh. Side s of a triangle is opposite vertex s (face s of a
// tetrahedron likewise); neighbour s and bdid s belong to it.
struct MeshCell {
  int32_t neighbour[4];   // cell across the side: 0 boundary, -c across a periodic boundary
  uint16_t bdid[4];       // domain edge (2D) or face (3D) the side lies on; 0 interior
  int32_t basis;          // basis code
  uint8_t changed, split, merge, hasbound;  // refiner and mesher marks
  uint8_t alive;          // 1 live, 0 deleted
  uint16_t region;        // region number
  uint16_t region2;       // second region: the material number after meshing
  double error;           // error estimate
  double area;            // cell area, kept by the mesher
  vectorb bytes;          // split history
  double centroid[3];     // set by meshes_set_centroid_0
  vectorl nodes;          // node numbers in basis order: vertices first
};

// One node of a mesh.
struct MeshNode {
  uint8_t work;           // kept through node compaction
  uint8_t alive;          // 1 live, 0 deleted
  uint8_t work2;          // cleared when the node is created
  int32_t kind;           // 0 interior, 1 joint, 2 edge, 3 face, 4 and 5 mesher kinds
  uint16_t id;            // joint, edge or face number by kind; 0 interior
  int32_t image;          // periodic image node; 0 none
  float spacing;          // mesh spacing at the node
  vectorl nodecell;       // cells that use the node, each once, in the order added
  double x, y, z;
};

// Tables of cells and nodes, 1-based: record k is data[k-1]. Bytes count in XMEM.
struct celltable {
  int32_t count, capacity;
  MeshCell *data;
};
struct nodetable {
  int32_t count, capacity;
  MeshNode *data;
};
struct celltables {
  uint16_t count, capacity;
  celltable *data;
};

// A working copy of one cell: its numbers and its geometry frame.
struct LocalCell {
  uint16_t region;
  int32_t neighbour[4];
  int32_t nodes[20];      // node numbers in basis order
  ElementFrame frame;
};

extern LocalCell *cellnode_work;  // the module's work cell

int cellnode_init();

// The field u (a vectord by node number) interpolated with basis code at a located
// point (its local coordinates and cell), or at local point L of cell c; _sel takes
// derivative selectors s1, s2 (0 none, 1 x, 2 y, 3 z). A field of a lower-order code
// than the cell gathers only the leading (vertex) nodes.
double cellnode_interpu_0(int32_t code, evalpoint *p, const vectord *u);
double cellnode_interpu_1(int32_t code, const double *L, LocalCell *c, const vectord *u);
double cellnode_interpu_sel(int32_t code, uint16_t s1, int16_t s2, evalpoint *p, const vectord *u);

// Position (1..3, 1..4) of the smallest local coordinate; ties go to the later one.
uint16_t cellnode_min_ac2(const double *L);
uint16_t cellnode_min_ac3(const double *L);
// Moves a located point to the middle of the side (face) nearest it, and recomputes
// its global coordinates. Fatal "1D not implemented" in one dimension.
void cellnode_move_close(evalpoint *p, uint16_t dim);

// Sets a table's count to n, first growing it to cap zeroed slots when cap exceeds
// its capacity (every old slot moves whole); the capacity never shrinks.
void cellnode_resize_0(celltable *t, int32_t n, int32_t cap);
void cellnode_resize_1(nodetable *t, int32_t n, int32_t cap);
void cellnode_resize_2(celltables *t, uint16_t n, uint16_t cap);
// Releases the lists of every slot, then the storage; count and capacity become 0.
// cellnode_free_0 frees the inner tables first when flag is set.
void cellnode_free_0(celltables *t, uint8_t flag);
void cellnode_free_1(celltable *t);
void cellnode_free_2(nodetable *t);
