// meshes: the mesh of one problem: cells and nodes with the relation kept both ways,
// neighbours, boundary node lists, periodic images and the cell finder; their upkeep
// (compaction, centroids, periodic pairing, node merging), localised cells, cell
// measures, point tests and nodal values at nodes and points; mesh files (meshfile.cpp),
// the invariant checks and the grid report (meshchk.cpp).
#pragma once
#include <cstdint>
#include <cstdio>

#include "elements/cellnode.h"
#include "elements/domain_record.h"
#include "elements/finder.h"
#include "runtime/pointd.h"
#include "runtime/strings.h"
#include "runtime/vector2l.h"
#include "runtime/vectorl.h"
#include "runtime/vectorll.h"
#include "runtime/vectorvd.h"

struct evalpoint;
struct IOfile;
struct pad;

struct Mesh {
  Domain *domain;          // the geometry the mesh was built from
  uint16_t nodestep;       // node slots the node table grows by
  uint16_t cellstep;       // cell slots the cell table grows by
  int32_t delcells;        // cells deleted since the last cell compaction
  int32_t delnodes;        // nodes deleted since the last node compaction
  uint16_t workword;       // copied with the mesh
  uint16_t meshview;       // display view of the problem's windows
  uint16_t debugview;      // view in which the mesh checks ask their question
  uint32_t workbox[4];     // copied with the mesh
  nodetable nodes;
  celltable cells;
  vectorl jointnodes;      // node of each joint; renumbered by node compaction
  vectorll images;         // periodic pairs (slave, master) in key order
  vector2l edgenodes;      // per domain edge, its nodes in order from the first joint
  vector2l facenodes;      // per domain face, its nodes
  int32_t meshbasis;       // basis of the cells as they now stand
  int32_t cellbasis;       // basis new cells are sized for
  uint8_t ownsdomain;      // 1: the mesh frees its domain with itself
  uint8_t workflag;        // copied with the mesh
  uint8_t changed;         // set when cells are rewired
  uint8_t workflags[2];    // cleared by a copy
  struct finder finder;    // the cell finder, built on first use
  float compaction;        // fraction of dead entries at which the mesher compacts
  uint8_t curvegrid;       // side nodes follow curved boundaries
  uint8_t curveall;        // every cell takes the mesh basis
  uint8_t printgrid;       // report the grid as it is made
  uint8_t drawing;         // draw swapped diagonals and split sides
  pad *status;             // the problem's status panel
};

int meshes_init();

// ---- Cells ------------------------------------------------------------------------
// Appends a live cell with cleared neighbours and history and a node list sized for the
// cell basis; the caller sets basis, region, bdids and nodes. Returns its number.
int32_t meshes_new_cell_0(Mesh *m);
// The same on a bare table, growing it by 500 slots, with nn nodes.
int32_t meshes_new_cell_1(celltable *t, uint16_t nn);
// Copies every field of src into dst (dst's own lists reused) and its first nn nodes.
void meshes_copy_cell(MeshCell *dst, const MeshCell *src, uint16_t nn);
// Appends a copy of src (which may lie in the mesh's own table); returns its number.
int32_t meshes_clone_cell(Mesh *m, const MeshCell *src, uint16_t nn);
// Marks the cell dead, unlinks it from its positive neighbours and clears its nodes;
// the node-cell lists are left to the caller.
void meshes_delete_cell(Mesh *m, int32_t c);
// Sets each neighbour given as a positive number; marks the mesh changed.
void meshes_renabor(Mesh *m, int32_t c, int32_t n1, int32_t n2, int32_t n3, int32_t n4);
// In cell c (if positive) replaces every neighbour entry old by nw.
void meshes_find_renabor(celltable *t, int32_t c, int32_t old, int32_t nw);
// Replaces old by nw among the first count node entries.
void meshes_find_renode(MeshCell *cell, int32_t old, int32_t nw, uint16_t count);
// Set the corners (positive entries only); 3 and 4 also set the basis tri3 or tet4.
void meshes_renode3_0(Mesh *m, int32_t c, int32_t a, int32_t b, int32_t d);
void meshes_renode3_1(celltable *t, int32_t c, int32_t a, int32_t b, int32_t d);
void meshes_renode4(Mesh *m, int32_t c, int32_t a, int32_t b, int32_t d, int32_t e);
void meshes_renode6(Mesh *m, int32_t c, const int32_t *n);
void meshes_renode9(Mesh *m, int32_t c, const int32_t *n);
// Replaces neighbour old by nw in cell c; c < 0 is a periodic link stored negated.
// Fatal "BAD NABOR PATCH" when old is not there.
void meshes_fix_nabor(Mesh *m, int32_t c, int32_t old, int32_t nw);
// The side (1..3) of cell c whose neighbour is nabor, 0 if none.
uint16_t meshes_find_side_0(celltable *t, int32_t c, int32_t nabor);
// The triangle side running from node a to node b, 0 if none.
uint16_t meshes_find_side_1(Mesh *m, int32_t c, int32_t a, int32_t b);
// The first cell of a's node-cell list that is also in b's, 0 if none.
int32_t meshes_common_cell(Mesh *m, int32_t a, int32_t b);

// ---- Nodes ------------------------------------------------------------------------
// Append a live interior node; return its number.
int32_t meshes_new_node_0(Mesh *m, double x, double y, uint16_t id);
int32_t meshes_new_node_1(Mesh *m, double x, double y, double z, uint16_t id);
// The first node within tol in x and y, else a new interior node.
int32_t meshes_make_node(Mesh *m, double x, double y, double tol);
// Append a copy of a node (of this mesh, or of any mesh); return its number.
int32_t meshes_copy_node_0(Mesh *m, int32_t n);
int32_t meshes_copy_node_1(Mesh *m, const MeshNode *src);
// Marks a node dead and takes it out of its boundary list and the image map.
void meshes_delete_node(Mesh *m, int32_t n);
// Adds cell c to the node's list once; c < 1 is ignored; fatal "BAD NODECELL" for a
// node out of range.
void meshes_new_nodecell(Mesh *m, int32_t n, int32_t c);
void meshes_new_nodecell2(Mesh *m, int32_t c, int32_t a, int32_t b);
void meshes_new_nodecell3(Mesh *m, int32_t c, int32_t a, int32_t b, int32_t d);
void meshes_new_nodecell4(Mesh *m, int32_t c, int32_t a, int32_t b, int32_t d, int32_t e);
void meshes_new_nodecell6(Mesh *m, int32_t c, const int32_t *n);
// Renames (fatal "BAD NODECELL PATCH ") or removes (fatal "BAD NODECELL DELETE ") a
// cell of the node's list.
void meshes_fix_nodecell(Mesh *m, int32_t n, int32_t old, int32_t nw);
void meshes_delete_nodecell(Mesh *m, int32_t n, int32_t c);
// The first count nodes of every cell around node n, ascending, without repeats.
void meshes_list_nodes(Mesh *m, int32_t n, vectorl *out, uint16_t count);
// The domain edge number two boundary nodes share, 0 if none.
uint16_t meshes_common_edge(Mesh *m, int32_t a, int32_t b);

// ---- Whole mesh -------------------------------------------------------------------
// Copies src into dst with the same numbering (dead entries included) and empty
// boundary lists; dst owns a copy of src's domain when copydomain is set.
void meshes_mesh_copy(Mesh *dst, Mesh *src, uint8_t copydomain);
// Frees everything the mesh holds (m may be null); its own domain too when freedomain.
void meshes_free(Mesh *m, uint8_t freedomain);
// The domain library's release, copy and report of a domain record, whose trees and
// tables that library owns: a mesh frees and copies the domain it owns, and the grid
// report prints it, through these. The domain library fills them when it is linked into
// the program (and again in domain_init); calling one in a program without that library
// is a fault.
struct MeshDomainCalls {
  void (*clear)(Domain *d);                 // domain_clear
  Domain *(*copy)(const Domain *d);         // domain_domain_copy
  void (*print)(FILE *f, const Domain *d);  // domain_print
};
extern MeshDomainCalls meshes_domain_calls;
// out[i] = in[map[i]].
void meshes_data_remap(vectord *out, const vectorl *map, const vectord *in);

// ---- Upkeep -----------------------------------------------------------------------
// Inserts nw between the adjacent nodes a and b of the edge's list; false (after a
// debug report) when they are not adjacent.
bool meshes_insert_bnode(Mesh *m, uint16_t edge, int32_t a, int32_t b, int32_t nw);
// The same, where a node that cannot be placed between a and b (the edge's list no longer
// holds them side by side: cells folded over it) ends the run "Mesh is tangled near" it.
void meshes_place_bnode(Mesh *m, uint16_t edge, int32_t a, int32_t b, int32_t nw);
// Appends a node to the face's list.
void meshes_insert_fnode(Mesh *m, uint16_t fc, int32_t n);
// Remove dead cells or nodes and renumber every reference; map gets each old node's
// new number (0 removed); _1 moves the nodal fields along.
void meshes_cell_compress(Mesh *m);
void meshes_node_compress_2(Mesh *m, vectorl *map);
void meshes_node_compress_1(Mesh *m, vectorvd *fields);
void meshes_node_compress_0(Mesh *m);
// The cell's centroid from its nodes; fatal "Illegal Basis" for other bases.
void meshes_set_centroid_0(Mesh *m, MeshCell *cell);
void meshes_set_centroid_1(Mesh *m, int32_t c);
// Pair the nodes across periodic boundaries and link their cells with negated
// neighbours: edge pairs of a 2D mesh, or nodes above first of a 3D mesh.
void meshes_map_periodics(Mesh *m);
void meshes_match_periodics(Mesh *m, int32_t first);
// Moves every node off the domain's grid lines (3D when dim is 3), then the side nodes
// that halved straight sides of quadratic cells back to the midpoints of their ends.
void meshes_quantize_mesh(Mesh *m, uint16_t dim);
// Replace node old by nw in a triangle mesh, deleting cells that collapse.
void meshes_replace_node(Mesh *m, int32_t old, int32_t nw);
// Merges two boundary nodes sharing a domain edge; false when they may not merge.
bool meshes_merge_nodes(Mesh *m, int32_t a, int32_t b);
// fields[i] at node n := values[i].
void meshes_copyu(vectorvd *fields, int32_t n, const vectord *values);

// ---- Localised cells --------------------------------------------------------------
// Fills lc from the cell; mode 2 keeps the frame's node coordinates.
void meshes_localize(Mesh *m, const MeshCell *cell, LocalCell *lc, uint16_t mode);
// Signed area (triangles) or volume (tetrahedra) of a cell; 0 for other bases.
double meshes_cell_area_0(Mesh *m, const MeshCell *cell);
double meshes_cell_area_1(Mesh *m, int32_t c);
// The point's local coordinates in its cell, stored in it; true when every one exceeds
// -fuzz (three in 2D, four in 3D).
bool meshes_incell_1(evalpoint *p, double fuzz);
bool meshes_incell3(evalpoint *p, double fuzz);
// True when p lies in triangle a, b, c within the fraction f of its doubled area.
bool meshes_incell_0(const pointd *a, const pointd *b, const pointd *c, const pointd *p, double f);
// Each field's value at node n, interpolated with basis in the localised cell.
void meshes_nodalu(Mesh *m, int32_t n, vectorvd *fields, LocalCell *lc, int32_t basis);
// out[i] := field i at (x, y) or (x, y, z) in the localised cell.
void meshes_pointu_0(vectord *out, double x, double y, vectorvd *fields, LocalCell *lc, int32_t basis);
void meshes_pointu_1(vectord *out, double x, double y, double z, vectorvd *fields, LocalCell *lc,
                     int32_t basis);

// ---- Files --------------------------------------------------------------------------
// Writes the mesh's cells, nodes, node list and edge node lists, least significant byte
// first, with 32-bit indexes when the node or cell count reaches 32767, else 16-bit
// (a negative neighbour as its low 16 bits). Fatal "MESH LIST TOO LONG" when a list
// does not fit its length field (255 for node-cell and byte lists, else 65535).
void meshes_write_mesh(IOfile *f, Mesh *m);
// Reads such a file into the mesh, replacing its tables: 0; -1, -2, -3 for a wrong
// first, second or third tag; 1 or 2 when a side count is not the basis's vertex count,
// 4 for the nodes per cell, 8 for the dimension; -4 when an index lies outside the
// counts read or the file ends early. What was read stays in the mesh.
int16_t meshes_read_mesh(IOfile *f, Mesh *m);
// Writes a tag's characters; reads as many bytes and tells whether all matched.
void put_tag(IOfile *f, const String *tag);
bool get_tag(IOfile *f, const String *tag);

// ---- Checks and the grid report ---------------------------------------------------------
// Checks the record's invariants with the counts of basis: reciprocal neighbours (and,
// when shared is set, a side's worth of shared nodes), boundary ids on open sides (when
// bdids is set), cells listed at their nodes and back, and no inverted cell. A
// violation writes the grid report to the debug log and asks whether to continue (the
// runtime's yes/no report, run control's question once installed): yes
// silences the rest of this check, no is a fatal stop with the message.
void meshes_check_mesh(Mesh *m, int32_t basis, uint8_t shared, uint8_t bdids);
// The grid report under the title: nodes, cells, the domain and its boundary node
// lists; the cell table alone; one node line.
void meshes_print_1(FILE *f, Mesh *m, const String *title);
void meshes_print_0(FILE *f, Mesh *m, celltable *cells);
void meshes_print_node(FILE *f, Mesh *m, int32_t n);
