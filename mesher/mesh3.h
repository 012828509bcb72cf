// mesh3: operations on tetrahedral meshes shared by the extrusion, the midside nodes, the
// 3D refinement and the transfer reader: face boundary ids, the domain face common to
// boundary nodes, the extrusion's node constructor, geometric neighbour links and the
// relaxation of interior nodes.
#pragma once
#include <cstdint>

struct Mesh;
struct pad;

int mesh3_init();

// Beside a tangent pinch two sheets share a node where the layer between them is thinner
// than this fraction of the node's spacing; the node keeps the lower sheet's face as its
// own and stands on the upper one as well.
inline constexpr double mesh3_shared_sheet = 1e-4;

// A status-panel line with a label and a number, shown while a 3D pass runs and removed
// on every way out; no panel shows nothing.
struct Mesh3Status {
  pad *panel;
  uint16_t line = 0;
  Mesh3Status(pad *p, const char *label, int32_t value);
  ~Mesh3Status();
};

// Sets the cell's four face boundary ids (the domain face each face lies on, 0 none), its
// boundary flag and its basis (tet4 for a straight cell, the mesh basis for one touching a
// curved face or edge under CURVEGRID, or for every cell under CURVEALL); adds the corners
// of its boundary faces to those faces' node lists.
void mesh3_fix_bdid3(Mesh *m, int32_t c);
// The domain face on which the three boundary nodes lie together and which borders the
// region; 0 when there is none or an interior node is among them. Where two sheets meet,
// the face of the layer holding the region; a node two sheets share where a layer pinches
// lies on the other sheet's face too where the layer opens toward the others. Fatal "Ambiguous Common_Face" when more than
// two faces qualify.
uint16_t mesh3_common_face_1(Mesh *m, int32_t a, int32_t b, int32_t c, uint16_t region);
// The domain edge on which the boundary nodes a and b lie together; 0 when there is none.
// Where two sheets share a node (a pinched layer), a side from it to a node of the other
// sheet's edge over the same base edge lies on that edge where the layer opens along it.
uint16_t mesh3_common_edge(Mesh *m, int32_t a, int32_t b);
// The first face of a's face list on which b lies too; 0 when none or either is interior.
uint16_t mesh3_common_face_0(Mesh *m, int32_t a, int32_t b);
// Appends a live interior node with the id and spacing; returns its number.
int32_t mesh3_new_layout_node_1(Mesh *m, double x, double y, double z, double spacing, uint16_t id);
// Links the open faces of cells whose corners coincide within 1% of the cell's size (cells
// that share no node numbers, as read from a file).
void mesh3_resolve_table_nabors3(Mesh *m);
// Moves every interior node half-way to the spacing-weighted mean of its cell neighbours,
// pass by pass, until a pass moves the nodes by less than 0.001 or after 21 passes.
void mesh3_relax_mesh3(Mesh *m);
// The smallest dihedral angle, in degrees, over the live four-node corners of the mesh's
// cells, and the cell that has it (0 without cells).
double mesh3_least_dihedral(Mesh *m, int32_t *cell);
