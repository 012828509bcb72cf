// lined: line geometry in the plane and in space.
#include "runtime/lined.h"

#include <cmath>

#include "runtime/rtlib.h"

int lined_init() {
  TRACE("lined");
  return 0;
}

// The line a x + b y + c = 0 through p1 and p2 with (a, b) the unit normal, so that
// a x + b y + c is the signed distance, positive on the right of p1 -> p2. Two equal
// points have no direction: that is the fatal stop "NULL LINE" rather than
// coefficients of 0/0 that would spread through every later test.
void lined_line_params(double coef[3], const double p1[2], const double p2[2]) {
  TRACE("lined_line_params_0");
  double x1 = p1[0], y1 = p1[1], x2 = p2[0], y2 = p2[1];
  double d = sqrt((x1 - x2) * (x1 - x2) + (y2 - y1) * (y2 - y1));
  if (d == 0.0) rtlib_fatal_in("lined_line_params_0", "NULL LINE");
  coef[0] = (y2 - y1) / d;
  coef[1] = (x1 - x2) / d;
  coef[2] = (y1 * x2 - y2 * x1) / d;
}

// The 3D line of an edge: its start point, then its end point.
void lined_line3_params_0(double line[6], const double p1[3], const double p2[3]) {
  TRACE("lined_line3_params_0");
  for (int k = 0; k < 3; k++) {
    line[k] = p1[k];
    line[3 + k] = p2[k];
  }
}

// Whether segments p1-p2 and p3-p4 cross away from their ends: the segment
// parameters must both lie strictly inside (eps, 1 - eps). Parallel segments (a zero
// determinant) never cross. The crossing point is written only when they do.
bool lined_insect_1(const double p1[2], const double p2[2], const double p3[2], const double p4[2],
                    double crossing[2], double eps) {
  TRACE("lined_insect_1");
  double d1x = p2[0] - p1[0], d1y = p2[1] - p1[1], d2x = p4[0] - p3[0], d2y = p4[1] - p3[1];
  double den = d2x * d1y - d2y * d1x;
  if (den == 0.0) return false;
  double ex = p3[0] - p1[0], ey = p3[1] - p1[1];
  double s = (ey * d2x - ex * d2y) / den, t = (ey * d1x - ex * d1y) / den;
  if (!(eps < s && s < 1.0 - eps && eps < t && t < 1.0 - eps)) return false;
  crossing[0] = p1[0] + s * d1x;
  crossing[1] = p1[1] + s * d1y;
  return true;
}

// Where the line L + u D (line = L then D) meets the segment p-q. A segment parallel
// to the line (|e x D|^2 < 1e-9 |e|^2 with e = q - p), or of zero length, gives false.
// Otherwise the segment parameter s comes from the largest component of e x D (ties
// to z, then x, then y); when -1e-10 <= s <= 1.0000000001 the crossing's line
// parameter u, from the largest component of D (ties to x, then y), widens range
// (low, high) and the result is true. A crossing beyond the ends leaves the range.
bool lined_intersect_0(double range[2], const double line[6], const double p[3], const double q[3]) {
  TRACE("lined_intersect_0");
  const double *L = line, *D = line + 3;
  double e[3] = {q[0] - p[0], q[1] - p[1], q[2] - p[2]};
  double n[3] = {e[1] * D[2] - e[2] * D[1], e[2] * D[0] - e[0] * D[2], e[0] * D[1] - e[1] * D[0]};
  double nn = n[0] * n[0] + n[1] * n[1] + n[2] * n[2], ee = e[0] * e[0] + e[1] * e[1] + e[2] * e[2];
  if (nn < 1e-9 * ee || ee == 0.0) return false;
  double ax = fabs(n[0]), ay = fabs(n[1]), az = fabs(n[2]), s;
  if (az >= ax && az >= ay)
    s = ((p[1] - L[1]) * D[0] - (p[0] - L[0]) * D[1]) / (e[0] * D[1] - e[1] * D[0]);
  else if (ax >= ay)
    s = ((p[2] - L[2]) * D[1] - (p[1] - L[1]) * D[2]) / (e[1] * D[2] - e[2] * D[1]);
  else
    s = ((p[0] - L[0]) * D[2] - (p[2] - L[2]) * D[0]) / (e[2] * D[0] - e[0] * D[2]);
  if (!(s >= -1e-10 && s <= 1.0000000001)) return false;
  double dx = fabs(D[0]), dy = fabs(D[1]), dz = fabs(D[2]);
  int k = (dx >= dz && dx >= dy) ? 0 : (dy >= dz ? 1 : 2);
  double u = (p[k] + s * e[k] - L[k]) / D[k];
  if (u < range[0]) range[0] = u;
  if (u > range[1]) range[1] = u;
  return true;
}

static double dist2(const double *a, const double *b, int dim) {
  double s = 0;
  for (int k = 0; k < dim; k++) s += (b[k] - a[k]) * (b[k] - a[k]);
  return s;
}

// Position of p's foot along a -> b in units of the segment (0 at a, 1 at b); a
// segment of zero length puts every foot at a.
double lined_line_projection(const double p[2], const double a[2], const double b[2]) {
  TRACE("lined_line_projection_0");
  double l2 = dist2(a, b, 2);
  if (l2 == 0.0) return 0.0;
  return ((p[0] - a[0]) * (b[0] - a[0]) + (p[1] - a[1]) * (b[1] - a[1])) / l2;
}

// Signed distance of p from the line a -> b in units of the segment length, positive
// on the left; 0 for a segment of zero length.
double lined_line_elevation(const double p[2], const double a[2], const double b[2]) {
  TRACE("lined_line_elevation_0");
  double l2 = dist2(a, b, 2);
  if (l2 == 0.0) return 0.0;
  return ((p[1] - a[1]) * (b[0] - a[0]) - (p[0] - a[0]) * (b[1] - a[1])) / l2;
}

void lined_line_relative(double result[2], const double p[2], const double a[2], const double b[2]) {
  TRACE("lined_line_relative_0");
  result[0] = lined_line_projection(p, a, b);
  result[1] = lined_line_elevation(p, a, b);
}

// Distance from p to the segment a-b in the plane (to a itself when a = b).
double lined_line_distance_0(const double p[2], const double a[2], const double b[2]) {
  TRACE("lined_line_distance_0");
  double l2 = dist2(a, b, 2);
  if (l2 == 0.0) return sqrt(dist2(p, a, 2));
  double t = lined_line_projection(p, a, b);
  if (t > 1.0) return sqrt(dist2(p, b, 2));
  if (t < 0.0) return sqrt(dist2(p, a, 2));
  return fabs((p[1] - a[1]) * (b[0] - a[0]) - (p[0] - a[0]) * (b[1] - a[1])) / sqrt(l2);
}

// Distance from p to the segment a-b in space (to a itself when a = b).
double lined_line_distance_1(const double p[3], const double a[3], const double b[3]) {
  TRACE("lined_line_distance_1");
  double l2 = dist2(a, b, 3);
  if (l2 == 0.0) return sqrt(dist2(p, a, 3));
  double t = ((p[0] - a[0]) * (b[0] - a[0]) + (p[1] - a[1]) * (b[1] - a[1]) + (p[2] - a[2]) * (b[2] - a[2])) / l2;
  if (t > 1.0) return sqrt(dist2(b, p, 3));
  if (t < 0.0) return sqrt(dist2(p, a, 3));
  double f[3] = {a[0] + t * (b[0] - a[0]), a[1] + t * (b[1] - a[1]), a[2] + t * (b[2] - a[2])};
  return sqrt(dist2(p, f, 3));
}
