// plot3d: the 3D view mapping of an extruded domain and the debug views of 3D meshing:
// cells, the domain's edges at two heights, the base mesh, all tetrahedra, the shell of
// a front, drawn through the 3D transform or in stereo in the mesh's debug view.
#pragma once
#include <cstdint>

#include "graphics/gag1d.h"
#include "graphics/gag3d.h"

struct Domain;
struct Mesh;
struct WindowState;
struct rect3d;

int plot3d_init();

// The debug views' mapping and their stereo pair.
extern plotframe plot3d_frame;
extern stereorec plot3d_stereo;

// Builds the 3D mapping of the box into the problem's surface block: a default
// viewpoint when none is set; the viewpoint pushed out along its own direction to twice
// the box's x-y diagonal from the centre when nearer (written back; at the centre itself
// the default direction 1.375 pi); azimuth and distance factor from it.
void plot3d_map_domain3d(WindowState *p, Mesh *m, double *viewpoint, const rect3d *box);
// An eye at the x-y centre of the box has no direction: it moves to the default
// azimuth 1.375 pi at twice the diagonal. Other eyes are left alone.
void plot3d_away_from_centre(point3d *eye, const rect3d *box);

// The debug mapping around one cell's nodes: distance 3, elevation pi/3, azimuth 1.25 pi.
void plot3d_db_cell3d(Mesh *m, int32_t cell);
// The stereo mode of the problem's debug view: red-green in the view itself (stereo
// 0 or 1), or two side-by-side views 0.65 and 1.3 wide (2: left eye first, 3: right); view
// is the debug view (none: nothing), stereo the STEREO switch.
void plot3d_dbstereo(uint16_t view, uint8_t stereo);
// The domain's edges at heights z1 and z2 (and the joints' verticals) in stereo; one
// edge at height z.
void plot3d_show_domain(const stereorec *s, Domain *d, double z1, double z2);
void show_segment(const stereorec *s, Domain *d, uint16_t edge, double z);
// The backing box and the domain over the domain's z range.
void plot3d_plot_domain(Mesh *m);
// Maps the domain from the plot set's default viewpoint, draws it (in the stereo mode
// the STEREO switch asks) and the base mesh at the bottom; with ask, the message box
// "DOMAIN".
void plot3d_dbgrid3d(const double *defaultview, uint8_t stereo, Mesh *base, Mesh *m, uint8_t ask);
// A triangle (a, b, c) or a tetrahedron (a, b, c, e) by its edges: through the frame's
// transform into the view (_0, _1) or in stereo (_2, _3).
void plot3d_draw_cell_0(uint16_t view, const Mesh *m, int32_t a, int32_t b, int32_t c);
void plot3d_draw_cell_1(uint16_t view, const Mesh *m, int32_t a, int32_t b, int32_t c, int32_t e);
void plot3d_draw_cell_2(const stereorec *s, const Mesh *m, int32_t a, int32_t b, int32_t c);
void plot3d_draw_cell_3(const stereorec *s, const Mesh *m, int32_t a, int32_t b, int32_t c, int32_t e);
// The base mesh's triangles at height z; every live tetrahedron; the live faces of a
// shell (node triples, alive flags).
void plot3d_showbase(const stereorec *s, const Mesh *base, double z);
void plot3d_show_mesh3(const stereorec *s, const Mesh *m);
void plot3d_show_shell(const stereorec *s, const Mesh *m, const int32_t (*faces)[3], const uint8_t *alive,
                       int32_t count);
// Writes the front to the debug log: the header "\n %s FRONT(%d):\n" (name, live shell
// faces), a SHELL line per live shell face and a CELL line per open side (no neighbour,
// no boundary) of a live cell, drawing each in stereo; with ask, "Continue?" and on No
// the fatal stop "Done.".
void plot3d_show_front(const stereorec *s, const Mesh *m, const char *name, const int32_t (*faces)[3],
                       const uint8_t *alive, int32_t count, uint8_t ask);
