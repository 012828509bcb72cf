// cornergrid: an index of a mesh's cell corners by position, a grid of square (cubic)
// buckets held as a sorted key list, for finding the cells that have a corner near a
// point without scanning every cell.
#pragma once
#include <cstdint>
#include <utility>
#include <vector>

struct Mesh;

struct CornerGrid {
  double size;                                     // bucket side; queries reach one bucket around
  double origin[3];                                // the low corner of the nodes' box
  int dims;                                        // 2: x and y; 3: x, y and z
  std::vector<std::pair<uint64_t, int32_t>> keys;  // (bucket key, node) sorted
  std::vector<int32_t> first;                      // node k's cells: cells[first[k] .. first[k+1]-1]
  std::vector<int32_t> cells;                      // live cells, ascending per node
};

int cornergrid_init();

// Indexes the first `corners` nodes of every live cell, in buckets of side size (a
// query tolerance must not exceed it; a size that is not positive is taken as 1).
void cornergrid_build(CornerGrid *g, const Mesh *m, int corners, int dims, double size);
// The live cells numbered above `after` that have a corner within tol of p in every
// coordinate (a box, so a superset of those within the distance tol), ascending,
// without repeats.
void cornergrid_cells_near(const CornerGrid *g, const Mesh *m, const double *p, double tol, int32_t after,
                           std::vector<int32_t> *out);
