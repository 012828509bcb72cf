// loading: the layout of the discrete system of a problem on its mesh (unknown counts
// and totals, the node adjacency, the optional band-minimising reordering and the
// global matrix pattern), the loading of one cell's element block into a node-numbered
// matrix, the choice of the cell in which a node value is evaluated, and the symmetry
// test of an assembled matrix.
#pragma once
#include <cstdint>

#include "runtime/vectord.h"

struct pde;
struct Mesh;
struct sparsemx;
struct LocalCell;
struct evalpoint;

extern uint8_t loading_debug;  // DEBUG(LOADING)

int loading_init();

// Every live cell takes the mesh basis: the side-node pass and refinement leave
// straight cells their first-order code, and assembly works on the mesh basis.
void loading_cells_take_mesh_basis(Mesh *m);
// The cells take the mesh basis; then counts, adjacency, reordering (REORDER on in a
// symmetric steady problem), row maps and the global matrix pattern of the problem
// (and the time matrix's in a time-dependent one); the status panel is rewritten for
// the run kind (1 steady, 2 time-dependent, 3 eigenvalue) after the pattern and after
// allocation.
void loading_map_matrix(pde *p, uint16_t kind);
// The node adjacency of the problem's mesh: row i every node sharing a cell with node
// i (itself included), {i} for a deleted node, periodic masters joined to the cells
// of their slaves.
void loading_link_matrix(pde *p, sparsemx *link, int32_t n, int32_t basis);
// Adds the nr x nc values (row-major: cell row node a, cell column node b) to the
// node-numbered matrix at (node of a, node of b); a missing entry dumps the row to the
// debug log and is "MISSING ELEMENT". Returns the count loaded.
int32_t loading_load_cell_block(sparsemx *M, int32_t nr, int32_t nc, const LocalCell *lc, const double *values);
// The one-row form: values added to row `row` at the cell's first count nodes.
int32_t loading_load_cell_row(sparsemx *M, int32_t row, int32_t count, const LocalCell *lc, const double *values);
// The cell in which node values of the node are evaluated: region 0, the first live
// cell of the highest region in the node's cell list; a region r, the last live cell of
// region r. 0 when none fits.
int32_t loading_node_cell(const Mesh *m, int32_t node, uint16_t region);
// Localises the cell in which node values of the node are evaluated into the point's
// cell: region 0, the first cell of the highest region in the node's cell list; a
// region r, the last cell of region r. Sets the point's coordinates, cell number,
// region and local coordinates to the node's, its basis function index (basisfn) to
// the node's place in the cell. Returns the cell, 0 when none fits.
int32_t loading_localize_node(evalpoint *ep, Mesh *m, int32_t node, uint16_t region);
// Four random trials of |A f x - A^t f x| against tol |A f x| with f the per-variable
// factor 1/sqrt|scale| on the field part (nfield variables node-major over n nodes).
bool loading_check_symmetry(const sparsemx *A, const vectord *scales, double tol, uint16_t nfield, int32_t n);
// Scales the field part of a global vector node-major: entry (p-1)*nfield + k by f(k).
void loading_escale(vectord *x, const vectord *f, uint16_t nfield, int32_t n);
