// bounding: the snapping grid of a geometry: rounding of coordinates onto, inside and off
// the grid lines, the quantum and tolerance that follow the domain's extent, and the
// growth of the domain's box as points are added.
#pragma once
#include "runtime/rect3d.h"

// The snapping grid and the geometric tolerance.
struct BoundingGrid {
  rect3d box;                    // the box of every joint seen
  double width, height, depth;
  double ox, oy, oz;             // grid origin
  double seed;                   // spacing seed: the shortest edge bounded
  double tolerance;              // distance under which two points are one
  double coarse;                 // coarse tolerance
  double quantum;                // grid line spacing; 0 until the joints are snapped
  double size;                   // largest side of the box
  double scale;                  // nearness distance of splitting and surface checks
};

int bounding_init();

// One offset v (a coordinate minus the grid origin) with quantum q: ong rounds to the
// nearest grid line (halves away from the origin), ing truncates toward the origin,
// offg moves to the middle of the grid cell half a quantum beyond the nearest line.
// Quantum 0 (nothing snapped yet) leaves v unchanged.
double ong(double v, double q);
double ing(double v, double q);
double offg(double v, double q);

// x rounded to a multiple of a power-of-ten multiple of t, so that |x| keeps about 8
// significant digits over t; x itself when x or t is 0.
double bounding_qround(double x, double t);
// Sets the quantum: the smallest power of two above size / 2^30.
void bounding_get_quantum(BoundingGrid *g);

// A point (x, y, z) rounded in place relative to the grid origin with ong, ing or offg;
// in_grid_2 writes into r; off_grid_1 rounds x and y of a plane point only.
void bounding_on_grid_0(const BoundingGrid *g, double *p);
void bounding_in_grid_0(const BoundingGrid *g, double *p);
void bounding_in_grid_2(double *r, const BoundingGrid *g, const double *p);
void bounding_off_grid_0(const BoundingGrid *g, double *p);
void bounding_off_grid_1(const BoundingGrid *g, double *p);

// Grows the box to hold (x, y) and retunes the tolerance to between 1e-7 and 1e-6 of
// the size; the coarse tolerance becomes 0.001.
void bounding_check_bounds_0(BoundingGrid *g, double x, double y);
// The same in three dimensions; also moves the origin to the box centre (rounded to the
// tolerance before the call); the coarse tolerance becomes 1e-6.
void bounding_check_bounds_2(BoundingGrid *g, double x, double y, double z);
// check_bounds_2 on both corners of a box.
void bounding_check_bounds_3(BoundingGrid *g, const rect3d *box);
