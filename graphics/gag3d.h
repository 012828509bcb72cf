// gag3d: 3D pictures through the 2D view layer: the 3D mapping held in a plotframe,
// projected lines, polylines, text and arcs, the backing box, filled patches, colour
// bands painted between contour levels, and stereo drawing in one view or two.
#pragma once
#include <cstdint>

#include "graphics/gag1d.h"
#include "runtime/rect3d.h"

// A stereo pair, owned by the caller: each eye's view, colour and transform.
struct stereorec {
  uint16_t left, right;          // view of each eye
  uint8_t leftcolour, rightcolour;
  uint8_t colour2;               // second colour byte given with every eye colour
  uint8_t fixed;                 // nonzero: gag3d_stereo_color leaves the colours alone
  transform3d lefttf, righttf;   // the frame's transform, the left eye's shift negated
};

// Module start-up: the work lists of band painting and patches.
int gag3d_init();

// Builds the 3D mapping: box (x1, y1, z1, x2, y2, z2) widened by the factor, the eye
// at distance (in box widths) and angles (radians), the view transform, the corners
// and the 2D window holding the projected box. Scale codes 4, 5, 7 ask for log x,
// 2, 3, 7 log y, 1, 5, 7 log z. A width of x or y that is not positive stops with
// "BAD X-Coordinate Range" or "BAD Y-Coordinate Range"; a flat z range is widened.
void gag3d_plotmap3_0(plotframe *f, const rect3d *box, double distance, double polar,
                      double azimuth, int16_t scale, uint8_t equalxy, uint8_t equalxz,
                      double eyeshift, double widening);
// The same with the eye given as (x, y, polar angle); an eye nearer the box centre than
// two diagonals of its x-y rectangle is moved out to two (written back). Returns the
// polar angle.
double gag3d_plotmap3_1(plotframe *f, const rect3d *box, point3d *eye, int16_t scale,
                        uint8_t equalxy, uint8_t equalxz, double eyeshift, double widening);

// Projected drawing.
void gag3d_drawline_3d(uint16_t view, const point3d *p, const point3d *q, const transform3d *T);
void gag3d_polyline_3d(uint16_t view, const point3dlist *points, const transform3d *T);
void gag3d_drawtext_3d(uint16_t view, const point3d *p, const String *text, const transform3d *T);
// Elliptic arcs in the plane z from the start point: half axes ax, ay, direction angle
// start and the sweep (radians), in chords of at most 10 degrees. The zoomed form draws
// only the parts of chords inside the clip box; the stereo form draws for both eyes.
void gag3d_warp_arc_3d(uint16_t view, double ax, double ay, const pointd *start, double z,
                       double angle, double sweep, const transform3d *T);
void gag3d_warp_arc_zoomed_3d(uint16_t view, double ax, double ay, const pointd *start, double z,
                              double angle, double sweep, const transform3d *T,
                              const rect3d *clip);
void gag3d_warp_arc(const stereorec *s, double ax, double ay, const pointd *start, double z,
                    double angle, double sweep);

// The box edges that do not meet the nearest corner; the second form labels an x, a y
// and a vertical edge with the box's bounds (lo, hi on the vertical) and the titles.
void gag3d_backing_box_0(const stereorec *s, const plotframe *f);
void gag3d_backing_box_1(uint16_t view, const plotframe *f, const rect3d *box, double lo,
                         double hi, const String *xtitle, const String *ytitle,
                         const String *vtitle);

// Paints the projected triangle in the colour bands between the ascending levels.
void gag3d_paint(uint16_t view, const plotframe *f, const pointd *p1, const pointd *p2,
                 const pointd *p3, double v1, double v2, double v3, const vectord *levels);

// Filled polygons of 3, 6 or 9 points with their outline; the odd forms take points,
// the others flat coordinate pairs x1, y1, x2, y2, ...
void gag3d_patch_0(uint16_t view, const pointd p[3], uint8_t fill, uint8_t outline);
void gag3d_patch_1(uint16_t view, const pointd p[6], uint8_t fill, uint8_t outline);
void gag3d_patch_2(uint16_t view, const pointd p[9], uint8_t fill, uint8_t outline);
void gag3d_patch_3(uint16_t view, const double xy[6], uint8_t fill, uint8_t outline);
void gag3d_patch_4(uint16_t view, const double xy[12], uint8_t fill, uint8_t outline);
void gag3d_patch_5(uint16_t view, const double xy[18], uint8_t fill, uint8_t outline);

// Stereo: both eyes in one view in the first two role colours (fixed), or in two views
// in the text colour; each eye view's user window becomes the frame's window.
void gag3d_stereo_rg(stereorec *s, uint16_t view, const plotframe *f);
void gag3d_stereo_x(stereorec *s, uint16_t left, uint16_t right, const plotframe *f);
void gag3d_stereo_color(stereorec *s, uint8_t colour);
void gag3d_drawline_stereo_1(const stereorec *s, const point3d *p, const point3d *q);
// Continues a polyline for both eyes from their last projected points, which it updates.
void gag3d_drawline_stereo_0(const stereorec *s, pointd *lastleft, pointd *lastright,
                             const point3d *p);
void gag3d_drawtext_stereo(const stereorec *s, const point3d *p, const String *text);
