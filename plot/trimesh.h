// trimesh: the plot mesh (triangles, or segments along a path) on which a plot is drawn,
// its strip finder for points and coincident nodes, refinement to a node spacing,
// squash, trim and compression, linearisation, integration, dumps and drawing.
#pragma once
#include <cstdint>
#include <cstdio>

#include "runtime/point3d.h"
#include "runtime/pointd.h"
#include "runtime/rectd.h"
#include "runtime/vector2l.h"
#include "runtime/vector2t.h"
#include "runtime/vectorb.h"
#include "runtime/vectord.h"
#include "runtime/vectorl.h"
#include "runtime/vectorn.h"

struct ElementFrame;
struct plotframe;
struct transform3d;

// Cell flag bits; side s = 1..3 lies opposite vertex s.
enum {
  TRIMESH_BOUNDARY = 1,   // 1 << (s-1): the side carries a boundary number
  TRIMESH_CURVED = 8,     // the cell maps through the full basis, else through its vertices
  TRIMESH_INSIDE = 16,    // 16 << (s-1): a boundary line inside one region
  TRIMESH_CODE_SHIFT = 7  // 3-bit side codes: side s at bits 7+3(s-1) .. 9+3(s-1)
};

struct tfinder_index;

// Strip finder of one plot mesh: in cell mode one bit per cell, in node mode one bit
// per node, in each strip along x and each strip along y. A bucket grid kept beside
// the strips answers most queries without reading whole strips, with the same results.
struct tfinder {
  uint8_t ready;      // cell mode built
  uint8_t nodemode;   // node mode built
  uint16_t nx, ny;    // strips along x and along y
  double size;        // strip size relative to the box (0 means 0.05)
  double dx, dy;      // strip width and height
  double box[4];      // x min, y min, x max, y max
  vector2t xstrips;   // strip i holds the items that reach x strip i
  vector2t ystrips;
  tfinder_index *index;  // bucket grid of the mode built last, owned (freed by free_2)
};

struct tmesh {
  uint32_t basis;        // 4, 5, 6 triangles of 3, 6, 9 nodes; 1-3 segments of 2-4 nodes
  uint32_t sbasis;       // basis of the solution mesh it was taken from
  uint16_t ncell;        // nodes per cell
  pointdlist nodes;      // plot-plane node positions, 1-based
  point3dlist nodes3;    // positions in space (as long as nodes once in use)
  vectorl source;        // per cell the solution cell it came from
  vectorl cells;         // ncell node numbers per cell, cell after cell
  vectorn flags;         // per cell the TRIMESH_ bits and side codes
  vectorb tags;          // per node (meshes along a path): 1 inner or both, 2 start, 3 end
  tfinder finder;
};

struct tmeshlist {
  int32_t count;     // members in use, 1..count
  int32_t capacity;  // members allocated
  tmesh *data;       // member i is data[i-1]
};

int trimesh_init();

// ---- Records ------------------------------------------------------------------------
// Sets the bases and node count per cell; sizes node positions, cell sources, cell
// nodes and flags; the 3D node list gets (nodes, cap3) when cap3 >= 1, else count 0.
void trimesh_resize_0(tmesh *t, int32_t nodes, int32_t nodecap, int32_t cap3, int32_t cells,
                      int32_t cellcap, uint32_t basis, uint32_t sbasis);
// Grows the list storage to exactly cap when larger (records moved); sets the count.
void trimesh_resize_1(tmeshlist *l, int32_t n, int32_t cap);
void trimesh_free_0(tmesh *t);
void trimesh_free_1(tmeshlist *l, uint8_t members);
// Frees both strip vectors and clears both mode bytes.
void free_2(tfinder *f);
// Appends a cell (nodes 0) and returns its number; a full mesh grows to cap*5/4+256.
int32_t trimesh_new_tcell(tmesh *t, int32_t source, uint16_t flags);
void trimesh_pop_tcell(tmesh *t);
// Cell c's node j becomes nodes[j] where that is positive.
void trimesh_renode(tmesh *t, int32_t c, const int32_t *nodes);
// Cell c of a 2D mesh as an element frame: the mesh basis for curved cells, else the
// linear triangle; the Jacobian at the centroid. _1 also copies the cell's values.
void trimesh_tlocalize_0(ElementFrame *f, const tmesh *t, int32_t c);
void trimesh_tlocalize_1(ElementFrame *f, const tmesh *t, int32_t c, double *values, const vectord *u);
// Centroid of cell c / the value there; "Illegal Basis" for other than 3, 6, 9 nodes.
void trimesh_get_centroid(pointd *p, const tmesh *t, int32_t c);
double trimesh_get_centerval(const tmesh *t, int32_t c, const vectord *u);

// ---- Strip finder -------------------------------------------------------------------
// Cell mode: built once (ready); lookups need it ("No Finder!"). A lookup returns the
// lowest-numbered cell with all local coordinates >= -1e-6, else (tol > 0) the cell
// whose smallest coordinate is largest above -tol, else 0.
void trimesh_build_tfinder_0(tmesh *t);
void trimesh_build_tfinder_1(tmeshlist *l);
void trimesh_build_tfinder_2(tmeshlist *l, rectd *box);
void trimesh_invalidate_tfinder(tmeshlist *l);
int32_t trimesh_find_tcell_0(tmesh *t, const pointd *p, double tol);
// (member << 24) + cell; every member strictly first, then with the tolerance.
int32_t trimesh_find_tcell_1(tmeshlist *l, const pointd *p, double tol);
// Node mode: new_tnode returns the lowest-numbered node closer than tol to p, else
// appends p ("Not Node Mode" without the node finder).
void trimesh_build_tnode_finder(tmesh *t);
void trimesh_clear_tnode_finder(tmesh *t, const rectd *box, int32_t expected);
int32_t trimesh_new_tnode(tmesh *t, const pointd *p, double tol);

// ---- Refinement and clean-up --------------------------------------------------------
// Refines a 2D mesh until no side is longer than about the spacing; trims to the
// window after each level. Returns the new number of the last node that existed before.
int32_t trimesh_tdensify_1(tmesh *t, double spacing, const rectd *window, vectorl *nodemap);
// Refines the segments of a mesh along a path to the spacing.
void trimesh_tdensify_1d(tmesh *t, double spacing);
// Drops collapsed cells, handing their boundary sides to the cells across.
void trimesh_tsquash(tmesh *t);
// Keeps the cells with a node inside the window (inclusive), then compresses.
void trimesh_ttrim(tmesh *t, const rectd *window, vectorl *nodemap);
// Keeps the cells whose bit is set and the nodes they use, in order; nodemap[old] is
// the new node number (0 dropped). Both finder modes are cleared.
void trimesh_tcompress_0(tmesh *t, const vectort *keep, vectorl *nodemap);
void trimesh_tcompress_1(tmeshlist *l, const vector2t *keep, vector2l *nodemaps);
// Six- and nine-node meshes become three-node meshes of straight sub-triangles
// ("BAD ORDER" for other bases); _1 splits one cell into out with its values.
void trimesh_tlinearize_0(tmesh *t);
void trimesh_tlinearize_1(tmesh *out, vectord *outvalues, const tmesh *t, int32_t c, const vectord *u);
// Integral of nodal values over the mesh (2D cells or segments along a path).
double trimesh_tintegrate(const tmesh *t, const vectord *u);
// The same over the part of the mesh inside the box (the whole mesh when box is null).
double trimesh_tintegrate_in(const tmesh *t, const vectord *u, const rectd *box);
// Meshes along a path: nodes renumbered by increasing x; node tags set.
void trimesh_order_1d(tmesh *t);
void trimesh_tag_tmesh(tmesh *t);

// ---- Drawing and dumps --------------------------------------------------------------
// Outlines (and first fills when fill is not 0) through the given node coordinates.
void trimesh_draw_tcell(uint16_t view, const tmesh *t, int32_t c, const vectord *x, const vectord *y,
                        uint8_t line, uint8_t fill);
void trimesh_draw_tmesh(uint16_t view, const tmesh *t, const vectord *x, const vectord *y, uint8_t line,
                        uint8_t fill);
// Sides with the boundary bit in colour, then those that also have the same-region bit
// in inside; a curved side in max(trunc(length/step), order) straight pieces. In plot
// coordinates through the frame, or lifted to height z and projected through T.
void trimesh_draw_tboundary(uint16_t view, const plotframe *frame, const tmesh *t, double step, uint8_t colour,
                            uint8_t inside);
void trimesh_draw_3d_tboundary_0(uint16_t view, const tmesh *t, double step, uint8_t colour, uint8_t inside,
                                 double z, const transform3d *T);
void trimesh_draw_3d_tboundary_1(uint16_t view, const tmeshlist *l, double step, uint8_t colour, uint8_t inside,
                                 double z, const transform3d *T);
// Clears the view, maps the nodes' hull onto it with room for labels (frame), copies
// the node positions into x and y and draws every cell.
void trimesh_show_tmesh(uint16_t view, plotframe *frame, const tmesh *t, vectord *x, vectord *y, uint8_t line,
                        uint8_t fill);
void trimesh_show_tmeshes(uint16_t view, plotframe *frame, const tmeshlist *l, vectord *x, vectord *y,
                          uint8_t line, uint8_t fill);
void trimesh_print_0(FILE *f, const tmesh *t, const char *name);
void trimesh_print_1(FILE *f, const tmeshlist *l, const char *name);
