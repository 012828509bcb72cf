// lintabs: interval search and multilinear interpolation of tables.
#include "model/lintabs.h"

#include <algorithm>

#include "runtime/rtlib.h"

int lintabs_init() {
  TRACE("lintabs");
  return 0;
}

// The interval of v on the axis a[1..n]: 0 below the first point, n above the last,
// otherwise k with a[k] <= v <= a[k+1], the smallest such k (a grid point a[k+1]
// lies in interval k). The search tries the cached interval and its neighbours,
// then bisects; the result never depends on the cache.
static uint16_t locate(float v, const arrays &axis, uint16_t &cache) {
  const float *a = axis.data;  // a[i-1] is grid point i
  int32_t n = axis.count;
  int32_t k = cache;
  if (k >= 2 && k < n && v <= a[k] && v > a[k - 1]) return uint16_t(k);  // successive nearby points
  if (n < 2) return cache = 0;
  if (v < a[0]) return cache = 0;
  if (v > a[n - 1]) return cache = uint16_t(n);
  // Interval k holds v when v <= a[k+1] and, beyond the first, v > a[k].
  auto holds = [&](int32_t k) { return v <= a[k] && (k == 1 || v > a[k - 1]); };
  k = std::clamp<int32_t>(k, 1, n - 1);
  if (!holds(k)) {
    if (k + 1 <= n - 1 && holds(k + 1)) k = k + 1;
    else if (k > 1 && holds(k - 1)) k = k - 1;
    else k = int32_t(std::lower_bound(a + 1, a + n, v) - a);  // the first j >= 2 with v <= a[j], as j - 1
  }
  return cache = uint16_t(k);
}

// ((a2 - v) f1 + (v - a1) f2) / (a2 - a1) in double precision.
static double lin1(double v, double a1, double f1, double a2, double f2) {
  return ((a2 - v) * f1 + (v - a1) * f2) / (a2 - a1);
}

static float at(const arrays &r, int32_t i) { return i >= 1 && i <= r.count ? r.data[i - 1] : 0.0f; }

// Value and slope along axis 1 over one row of values. A row shorter than the axis
// (or an empty axis) reads 0 beyond its end; a full row is read directly.
static bool short_row(const arrays &a, const arrays &row) { return row.count < a.count || a.count == 0; }
static double row_value(const arrays &a, const arrays &row, float x, uint16_t k) {
  if (short_row(a, row)) {
    if (k == 0) return at(row, 1);
    if (k >= a.count) return at(row, a.count);
    return lin1(x, a.data[k - 1], at(row, k), a.data[k], at(row, k + 1));
  }
  if (k == 0) return row.data[0];
  if (k >= a.count) return row.data[a.count - 1];
  return lin1(x, a.data[k - 1], row.data[k - 1], a.data[k], row.data[k]);
}
static double row_slope(const arrays &a, const arrays &row, uint16_t k) {
  if (k == 0 || k >= a.count) return 0;
  if (short_row(a, row)) return (double(at(row, k + 1)) - at(row, k)) / (double(a.data[k]) - a.data[k - 1]);
  return (double(row.data[k]) - row.data[k - 1]) / (double(a.data[k]) - a.data[k - 1]);
}

static const arrays &row_of(const array2s &d, int32_t j) {
  static const arrays none = {};
  return j >= 1 && j <= d.count ? d.data[j - 1] : none;
}
static const array2s &plane_of(const array3s &d, int32_t j) {
  static const array2s none = {};
  return j >= 1 && j <= d.count ? d.data[j - 1] : none;
}

// Value of a set of rows at (x, y) with intervals kx, ky, or its derivative along
// axis 1 (along 1) or axis 2 (along 2).
static double plane_eval(const lintab *t, const array2s &d, float x, float y, uint16_t kx, uint16_t ky, int along) {
  const arrays &ax = t->axis[0], &ay = t->axis[1];
  auto row = [&](int32_t j) { return along == 1 ? row_slope(ax, row_of(d, j), kx) : row_value(ax, row_of(d, j), x, kx); };
  int32_t ny = ay.count;
  if (ky == 0 || ky >= ny) {
    if (along == 2) return 0;
    return row(ky == 0 ? 1 : ny);
  }
  double lo = row(ky), hi = row(ky + 1);
  if (along == 2) return (hi - lo) / (double(ay.data[ky]) - ay.data[ky - 1]);
  return lin1(y, ay.data[ky - 1], lo, ay.data[ky], hi);
}

// The value (along 0) or the derivative along axis 1..3 at p.
static double evaluate(lintab *t, const float *p, int along) {
  switch (t->dimension) {
    case 0:
      return 0;
    case 1: {
      uint16_t k = locate(p[0], t->axis[0], t->cache[0]);
      return along ? row_slope(t->axis[0], t->data1, k) : row_value(t->axis[0], t->data1, p[0], k);
    }
    case 2: {
      uint16_t kx = locate(p[0], t->axis[0], t->cache[0]), ky = locate(p[1], t->axis[1], t->cache[1]);
      return plane_eval(t, t->data2, p[0], p[1], kx, ky, along);
    }
    case 3: {
      uint16_t kx = locate(p[0], t->axis[0], t->cache[0]), ky = locate(p[1], t->axis[1], t->cache[1]);
      uint16_t kz = locate(p[2], t->axis[2], t->cache[2]);
      const arrays &az = t->axis[2];
      int in_plane = along == 3 ? 0 : along;
      auto plane = [&](int32_t j) { return plane_eval(t, plane_of(t->data3, j), p[0], p[1], kx, ky, in_plane); };
      int32_t nz = az.count;
      if (kz == 0 || kz >= nz) {
        if (along == 3) return 0;
        return plane(kz == 0 ? 1 : nz);
      }
      double lo = plane(kz), hi = plane(kz + 1);
      if (along == 3) return (hi - lo) / (double(az.data[kz]) - az.data[kz - 1]);
      return lin1(p[2], az.data[kz - 1], lo, az.data[kz], hi);
    }
    default:
      rtlib_fatal_in("lintabs_linterp_0", "Illegal Dimensionality");
  }
}

float lintabs_linterp(lintab *t, const float *p) {
  TRACE("lintabs_linterp_0");
  return float(evaluate(t, p, 0));
}

float lintabs_linderiv(lintab *t, const float *p, uint16_t axis) {
  TRACE("lintabs_linderiv_0");
  if (axis < 1 || axis > t->dimension) rtlib_fatal_in("lintabs_linderiv_0", "WRONG DERIVATIVE");
  return float(evaluate(t, p, axis));
}

void lintabs_free(lintab *t) {
  TRACE("lintabs_free_0");
  if (t->dimension > 3) rtlib_fatal_in("lintabs_free_0", "Illegal Dimensionality");
  for (int k = 0; k < t->dimension; k++) arrays_free(&t->axis[k]);
  if (t->dimension == 1) arrays_free(&t->data1);
  if (t->dimension == 2) array2s_free(&t->data2);
  if (t->dimension == 3) array3s_free(&t->data3);
  t->dimension = 0;
}
