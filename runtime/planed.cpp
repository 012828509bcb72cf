// planed: plane and line geometry in space.
#include "runtime/planed.h"

#include <cmath>

#include "runtime/debug.h"
#include "runtime/lined.h"
#include "runtime/point3d.h"
#include "runtime/pointd.h"
#include "runtime/rtlib.h"
#include "runtime/vectorbase.h"

static const double BIG = 1.0e37;

// The parameter ranges of the two triangles' crossings with their common line.
static double range1[2], range2[2];

int planed_init() {
  TRACE("planed");
  return 0;
}

// The plane through three points. Collinear or coincident points have no plane: a
// debug-log line with the points, then the fatal stop "NULL PLANE".
void planed_plane_params(planerec *plane, const point3d *p1, const point3d *p2, const point3d *p3) {
  TRACE("planed_plane_params_0");
  double ax = p2->x - p1->x, ay = p2->y - p1->y, az = p2->z - p1->z;
  double bx = p3->x - p1->x, by = p3->y - p1->y, bz = p3->z - p1->z;
  double mx = ay * bz - az * by, my = az * bx - ax * bz, mz = ax * by - ay * bx;
  double L = sqrt(mx * mx + my * my + mz * mz);
  if (L == 0.0) {
    debug_printf("PLANE_PARAMS: NULL TRIANGLE  (%g,%g,%g) (%g,%g,%g) (%g,%g,%g)\n", p1->x, p1->y, p1->z, p2->x,
                 p2->y, p2->z, p3->x, p3->y, p3->z);
    rtlib_fatal_in("planed_plane_params_0", "NULL PLANE");
  }
  plane->nx = mx / L;
  plane->ny = my / L;
  plane->nz = mz / L;
  plane->offset = plane->nx * p1->x + plane->ny * p1->y + plane->nz * p1->z;
  plane->magnitude = L;
}

// Signed distance of q, positive on the side the normal points to.
double planed_plane_distance_0(const planerec *plane, const point3d *q) {
  TRACE("planed_plane_distance_0");
  return plane->nx * q->x + plane->ny * q->y + plane->nz * q->z - plane->offset;
}

double planed_plane_distance_1(const point3d *p1, const point3d *p2, const point3d *p3, const point3d *q) {
  TRACE("planed_plane_distance_1");
  planerec plane;
  planed_plane_params(&plane, p1, p2, p3);
  return planed_plane_distance_0(&plane, q);
}

// Where the line through a and b meets the plane. The point is written in every case;
// the result is true when it lies on the segment (0 <= t <= 1) or the whole line lies
// in the plane (the point is then a). Parallel off the plane: (1e37, 1e37, 1e37), false.
bool planed_intersect_0(point3d *out, const planerec *plane, const point3d *a, const point3d *b) {
  TRACE("planed_intersect_0");
  double ex = b->x - a->x, ey = b->y - a->y, ez = b->z - a->z;
  double den = plane->nx * ex + plane->ny * ey + plane->nz * ez;
  double num = plane->offset - (plane->nx * a->x + plane->ny * a->y + plane->nz * a->z);
  if (den != 0.0) {
    double t = num / den;
    *out = point3d{a->x + t * ex, a->y + t * ey, a->z + t * ez};
    return 0.0 <= t && t <= 1.0;
  }
  if (num != 0.0) {
    *out = point3d{BIG, BIG, BIG};
    return false;
  }
  *out = *a;
  return true;
}

// Widens range with the crossings of the triangle's three sides with the line.
static void triangle_range(double range[2], const linerec *line, const point3d *p1, const point3d *p2,
                           const point3d *p3) {
  double l[6] = {line->x, line->y, line->z, line->dx, line->dy, line->dz};
  double a[3] = {p1->x, p1->y, p1->z}, b[3] = {p2->x, p2->y, p2->z}, c[3] = {p3->x, p3->y, p3->z};
  range[0] = BIG;
  range[1] = -BIG;
  lined_intersect_0(range, l, a, b);
  lined_intersect_0(range, l, b, c);
  lined_intersect_0(range, l, c, a);
}

// Whether triangles p and q cut each other along a piece of their planes' common
// line at least tol long.
bool planed_intersect_1(const point3d *p1, const point3d *p2, const point3d *p3, const point3d *q1,
                        const point3d *q2, const point3d *q3, double tol) {
  TRACE("planed_intersect_1");
  planerec pp, pq;
  linerec line;
  planed_plane_params(&pp, p1, p2, p3);
  planed_plane_params(&pq, q1, q2, q3);
  if (!planed_line3_params(&line, &pp, &pq)) return false;
  triangle_range(range1, &line, p1, p2, p3);
  if (range1[1] - range1[0] < tol) return false;
  triangle_range(range2, &line, q1, q2, q3);
  if (range2[1] - range2[0] < tol) return false;
  return fmin(range1[1], range2[1]) - fmax(range1[0], range2[0]) >= tol;
}

// Cosine between the segment a -> b and the normal (a != b).
double planed_normality(const planerec *plane, const point3d *a, const point3d *b) {
  TRACE("planed_normality_0");
  double ex = b->x - a->x, ey = b->y - a->y, ez = b->z - a->z;
  return (ex * plane->nx + ey * plane->ny + ez * plane->nz) / sqrt(ex * ex + ey * ey + ez * ez);
}

// Minus the cosine between the normals: 1 for planes folded flat onto each other.
double planed_cosine_0(const planerec *plane1, const planerec *plane2) {
  TRACE("planed_cosine_0");
  return -(plane1->nx * plane2->nx + plane1->ny * plane2->ny + plane1->nz * plane2->nz);
}

double planed_cosine_1(const planerec *plane1, const point3d *p1, const point3d *p2, const point3d *p3) {
  TRACE("planed_cosine_1");
  planerec plane2;
  planed_plane_params(&plane2, p1, p2, p3);
  return planed_cosine_0(plane1, &plane2);
}

// sqrt(1 - cos^2), with 1 - cos^2 taken as 0 when rounding of the unit normals puts
// |cos| a hair above 1 (as for a plane with itself): a sine of 0, not a NaN.
static double sine_of(double c) {
  double s2 = 1.0 - c * c;
  return s2 > 0.0 ? sqrt(s2) : 0.0;
}

double planed_sine_0(const planerec *plane1, const planerec *plane2) {
  TRACE("planed_sine_0");
  return sine_of(planed_cosine_0(plane1, plane2));
}

double planed_sine_1(const planerec *plane1, const point3d *p1, const point3d *p2, const point3d *p3) {
  TRACE("planed_sine_1");
  return sine_of(planed_cosine_1(plane1, p1, p2, p3));
}

// The angle between the planes in [0, 2 pi), the sine taken negative when q lies on
// the negative side of plane 1.
double planed_angle(const planerec *plane1, const planerec *plane2, const point3d *q) {
  TRACE("planed_angle_0");
  double c = planed_cosine_0(plane1, plane2);
  if (c >= 1.0) return 0.0;
  if (c <= -1.0) return M_PI;
  double s = sqrt(1.0 - c * c);
  if (planed_plane_distance_0(plane1, q) < 0.0) s = -s;
  double a = atan2(s, c);
  if (a < 0.0) a += 2.0 * M_PI;
  return a;
}

// The line where two planes meet; false when they are parallel. The point has 0 in
// the coordinate of the direction's largest component (ties x, y, z) and solves both
// plane equations; the direction is unit with that component positive.
bool planed_line3_params(linerec *line, const planerec *plane1, const planerec *plane2) {
  TRACE("planed_line3_params_0");
  const planerec *a = plane1, *b = plane2;
  double mx = a->ny * b->nz - a->nz * b->ny, my = a->nz * b->nx - a->nx * b->nz;
  double mz = a->nx * b->ny - a->ny * b->nx;
  double L = sqrt(mx * mx + my * my + mz * mz);
  if (L == 0.0) return false;
  double o1 = a->offset, o2 = b->offset, sign;
  if (fabs(mx) >= fabs(my) && fabs(mx) >= fabs(mz)) {
    line->x = 0.0;
    line->y = (b->nz * o1 - a->nz * o2) / mx;
    line->z = (a->ny * o2 - b->ny * o1) / mx;
    sign = mx;
  } else if (fabs(my) >= fabs(mz)) {
    line->y = 0.0;
    line->z = (b->nx * o1 - a->nx * o2) / my;
    line->x = (a->nz * o2 - b->nz * o1) / my;
    sign = my;
  } else {
    line->z = 0.0;
    line->x = (b->ny * o1 - a->ny * o2) / mz;
    line->y = (a->nx * o2 - b->nx * o1) / mz;
    sign = mz;
  }
  double f = (sign < 0.0 ? -1.0 : 1.0) / L;
  line->dx = mx * f;
  line->dy = my * f;
  line->dz = mz * f;
  return true;
}

// Signed area of a plane triangle, positive when the points run counter-clockwise.
double planed_area_0(const pointd *p1, const pointd *p2, const pointd *p3) {
  TRACE("planed_area_0");
  return ((p2->x - p1->x) * (p3->y - p1->y) - (p2->y - p1->y) * (p3->x - p1->x)) / 2.0;
}

double planed_area_1(const point3d *p1, const point3d *p2, const point3d *p3) {
  TRACE("planed_area_1");
  double ax = p2->x - p1->x, ay = p2->y - p1->y, az = p2->z - p1->z;
  double bx = p3->x - p1->x, by = p3->y - p1->y, bz = p3->z - p1->z;
  double mx = ay * bz - az * by, my = az * bx - ax * bz, mz = ax * by - ay * bx;
  return sqrt(mx * mx + my * my + mz * mz) / 2.0;
}

// Grows the storage to capacity when that is larger, keeping the planes in use; sets
// the count (which must fit the storage).
void planed_resize(planevec *v, int32_t count, int32_t capacity) {
  TRACE("planed_resize_0");
  vecbase_resize(v, count, capacity, "planed_resize_0");
}

void planed_free(planevec *v) {
  TRACE("planed_free_0");
  vecbase_free(v);
}
