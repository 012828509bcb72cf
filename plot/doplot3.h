// doplot3: the pictures of extruded problems: the boundary faces of the tetrahedral mesh
// projected from a viewpoint and painted far to near, and the GRID plot in 3D, which
// shows the same faces after moving every node to three plotted expressions.
#pragma once
#include <cstdint>

#include "runtime/pointd.h"
#include "runtime/vectord.h"
#include "runtime/vectorl.h"

struct Mesh;
struct pde;
struct plotdata;
struct plotframe;
struct String;
struct WindowState;
struct treevector;
struct vector2d;

// The boundary-face list, module-wide: per face the code cell * 8 + side (0: skipped),
// its depth (mean squared distance of its nodes from the eye) and its projected nodes
// (3 for the linear tetrahedron, 6 otherwise, in order round the face: corner, side
// node, corner, ...).
struct doplot3_facelist {
  vectorl codes;
  vectord depths;
  pointdlist points[6];
  vectorl order;       // the faces drawn last time (0-based indices), far to near
};
extern doplot3_facelist doplot3_faces;

int doplot3_init();

// The 3D mesh display of mesh m: maps the domain's box from the viewpoint (written back
// when it is moved, see plot3d_map_domain3d) into the problem's surface block (of its
// window state w), clears and
// scales the view, lists the boundary faces, drops those that face away from the eye
// and draws the rest far to near, painted (by region or by material) or outlined.
void doplot3_show_3d_mesh(WindowState *w, Mesh *m, uint16_t view, double *viewpoint, int32_t basis, uint8_t painted,
                          uint8_t byregion);
// The GRID plot in 3D: every node of the boundary faces moved to the values of the
// three trees of its cell's region (x, y and z lists, indexed by region; evaluated for
// the problem p with the solution values at time t), the mapping
// built around the moved box (zoom 1.1) into the surface block f, the backing box with the three coordinate
// names, the faces drawn with options a (painted) and b (by region). The plot data's
// box becomes the x-y part of the moved box.
void doplot3_grid_plot3(uint16_t view, pde *p, Mesh *m, plotframe *f, vector2d *values, double t, plotdata *d,
                        double *viewpoint, const treevector *x, const treevector *y, const treevector *z,
                        const String *names, uint8_t a, uint8_t b);

// Working steps: the faces of live cells whose neighbour across is 0 or negative (a
// boundary or a periodic image) in cell and side order; one face appended; the listed
// faces drawn far to near in the block's colours. Return the number of faces listed.
int32_t surface_list(Mesh *m);
void list_face(int32_t cell, int32_t side);
void draw_faces(uint16_t view, Mesh *m, plotframe *block, int32_t basis, uint8_t painted, uint8_t byregion);
