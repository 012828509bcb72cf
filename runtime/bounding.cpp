// bounding: grid rounding, quantum, tolerance and box growth of a domain's grid.
#include "runtime/bounding.h"

#include <cmath>

#include "runtime/rtlib.h"

// Offsets beyond this many quanta are reduced in steps of it, so that the unsigned
// 32-bit step below never overflows.
static double reduction = 0;

int bounding_init() {
  TRACE("bounding");
  reduction = 4294967280.0;
  return 0;
}

// |v| / q split into n whole reductions and a rest in (0, R]; the count is taken at
// once, which gives the same rest as subtracting R n times below 2^53 quanta.
static double reduce(double v, double q, double *n) {
  const double r = reduction > 0 ? reduction : 4294967280.0;
  double a = std::fabs(v / q);
  *n = 0;
  if (a > r) {
    *n = std::ceil(a / r) - 1;
    a -= *n * r;
    if (a <= 0) a += r, *n -= 1;
    while (a > r) a -= r, *n += 1;  // rounding of the division may leave one step
  }
  return a;
}

// Shared tail: k (+ half) quanta plus the reductions, with the sign of v.
static double finish(double v, double q, double cells, double n) {
  const double r = reduction > 0 ? reduction : 4294967280.0;
  double out = cells * q + n * (r * q);
  return v < 0 ? -out : out;
}

// Whether v is 2^53 quanta or more: a whole number of them as it stands (quanta are
// powers of two), so its own rounding, where v / q could overflow.
static bool whole(double v, double q) { return std::fabs(v) / 0x1p53 >= std::fabs(q); }

double ong(double v, double q) {
  if (q == 0 || whole(v, q)) return v;
  double n, a = reduce(v, q, &n);
  return finish(v, q, double(uint32_t(a + 0.5)), n);
}

double ing(double v, double q) {
  if (q == 0 || whole(v, q)) return v;
  double n, a = reduce(v, q, &n);
  return finish(v, q, double(uint32_t(a)), n);
}

double offg(double v, double q) {
  if (q == 0 || whole(v, q)) return v;
  double n, a = reduce(v, q, &n);
  return finish(v, q, double(uint32_t(a + 0.5)) + 0.5, n);
}

double bounding_qround(double x, double t) {
  if (x == 0 || t == 0) return x;
  double s = t;
  while (std::fabs(x) > s * 1e8) s *= 10;
  double k = double(int32_t(std::fabs(x) / s + 0.499)) * s;
  return x < 0 ? -k : k;
}

void bounding_get_quantum(BoundingGrid *g) {
  int e = 0;
  std::frexp(g->size * std::ldexp(1.0, -30), &e);
  g->quantum = std::ldexp(1.0, e);
}

void bounding_on_grid_0(const BoundingGrid *g, double *p) {
  p[0] = g->ox + ong(p[0] - g->ox, g->quantum);
  p[1] = g->oy + ong(p[1] - g->oy, g->quantum);
  p[2] = g->oz + ong(p[2] - g->oz, g->quantum);
}

void bounding_in_grid_0(const BoundingGrid *g, double *p) { bounding_in_grid_2(p, g, p); }

void bounding_in_grid_2(double *r, const BoundingGrid *g, const double *p) {
  r[0] = g->ox + ing(p[0] - g->ox, g->quantum);
  r[1] = g->oy + ing(p[1] - g->oy, g->quantum);
  r[2] = g->oz + ing(p[2] - g->oz, g->quantum);
}

void bounding_off_grid_0(const BoundingGrid *g, double *p) {
  bounding_off_grid_1(g, p);
  p[2] = g->oz + offg(p[2] - g->oz, g->quantum);
}

void bounding_off_grid_1(const BoundingGrid *g, double *p) {
  p[0] = g->ox + offg(p[0] - g->ox, g->quantum);
  p[1] = g->oy + offg(p[1] - g->oy, g->quantum);
}

// The tolerance brought to between 1e-7 and 1e-6 of the size, starting from 1e-6 when
// none was set.
static void retune(BoundingGrid *g) {
  if (g->size <= 0) return;
  double t = g->tolerance != 0 ? g->tolerance : 1e-6;
  while (t < g->size * 1e-7) t *= 10;
  while (t > g->size * 1e-6) t *= 0.1;
  g->tolerance = t;
}

void bounding_check_bounds_0(BoundingGrid *g, double x, double y) {
  rect3d &b = g->box;
  if (b.x1 <= x && x <= b.x2 && b.y1 <= y && y <= b.y2) return;
  b.x1 = std::fmin(b.x1, x), b.x2 = std::fmax(b.x2, x);
  b.y1 = std::fmin(b.y1, y), b.y2 = std::fmax(b.y2, y);
  g->width = b.x2 - b.x1;
  g->height = b.y2 - b.y1;
  g->size = std::fmax(g->width, g->height);
  retune(g);
  g->coarse = 0.001;
}

void bounding_check_bounds_2(BoundingGrid *g, double x, double y, double z) {
  rect3d &b = g->box;
  if (b.x1 <= x && x <= b.x2 && b.y1 <= y && y <= b.y2 && b.z1 <= z && z <= b.z2) return;
  b.x1 = std::fmin(b.x1, x), b.x2 = std::fmax(b.x2, x);
  b.y1 = std::fmin(b.y1, y), b.y2 = std::fmax(b.y2, y);
  b.z1 = std::fmin(b.z1, z), b.z2 = std::fmax(b.z2, z);
  g->width = b.x2 - b.x1;
  g->height = b.y2 - b.y1;
  g->depth = b.z2 - b.z1;
  g->size = std::fmax(g->width, std::fmax(g->height, g->depth));
  double t = g->tolerance;
  g->ox = bounding_qround((b.x1 + b.x2) / 2, t);
  g->oy = bounding_qround((b.y1 + b.y2) / 2, t);
  g->oz = bounding_qround((b.z1 + b.z2) / 2, t);
  retune(g);
  g->coarse = 1e-6;
}

void bounding_check_bounds_3(BoundingGrid *g, const rect3d *box) {
  bounding_check_bounds_2(g, box->x1, box->y1, box->z1);
  bounding_check_bounds_2(g, box->x2, box->y2, box->z2);
}
