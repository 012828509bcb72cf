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
  // Interval j holds v when v <= a[j+1] and v > a[j], or v = a[1] for the first.
  auto holds = [&](int32_t j) { return bool((v <= a[j]) & ((v > a[j - 1]) | ((j == 1) & (v == a[0])))); };
  int32_t k = cache;
  if (uint32_t(k - 1) < uint32_t(std::max(n - 1, 0)) && holds(k)) return uint16_t(k);  // nearby points (1 <= k < n)
  if (n < 2) return cache = 0;
  if (v < a[0]) return cache = 0;
  if (v > a[n - 1]) return cache = uint16_t(n);
  // A step to the neighbour on v's side, else a bisection.
  k = std::clamp<int32_t>(k, 1, n - 1);
  int32_t j = v > a[k] ? std::min(k + 1, n - 1) : std::max(k - 1, 1);
  k = holds(j) ? j : int32_t(std::lower_bound(a + 1, a + n, v) - a);  // the first j >= 2 with v <= a[j], as j - 1
  return cache = uint16_t(k);
}

// ((a2 - v) f1 + (v - a1) f2) / (a2 - a1) in double precision.
static double lin1(double v, double a1, double f1, double a2, double f2) {
  return ((a2 - v) * f1 + (v - a1) * f2) / (a2 - a1);
}

static float at(const arrays &r, int32_t i) { return i >= 1 && i <= r.count ? r.data[i - 1] : 0.0f; }

// Along an axis with interval k at v, the value (slope false) or the slope of the
// blend of the levels k and k+1 (rows, planes or single values); outside the axis
// level 1 or n is held, with slope 0.
template <class L> static double blend(const arrays &ax, float v, uint16_t k, bool slope, L level) {
  int32_t n = ax.count;
  if (k == 0 || k >= n) return slope ? 0 : level(k == 0 ? 1 : n);
  double lo = level(k), hi = level(k + 1);
  if (slope) return (hi - lo) / (double(ax.data[k]) - ax.data[k - 1]);
  return lin1(v, ax.data[k - 1], lo, ax.data[k], hi);
}

// Along axis 1 over one row of values. A row shorter than the axis (or an empty
// axis) reads 0 beyond its end; a full row is read directly.
static double row_eval(const arrays &a, const arrays &row, float x, uint16_t k, bool slope) {
  if (row.count < a.count || a.count == 0) return blend(a, x, k, slope, [&](int32_t j) { return double(at(row, j)); });
  return blend(a, x, k, slope, [&](int32_t j) { return double(row.data[j - 1]); });
}

static const arrays &row_of(const array2s &d, int32_t j) {
  static const arrays none = {};
  return j >= 1 && j <= d.count ? d.data[j - 1] : none;
}
static const array2s &plane_of(const array3s &d, int32_t j) {
  static const array2s none = {};
  return j >= 1 && j <= d.count ? d.data[j - 1] : none;
}

// The axes a derivative is taken along: bit k-1 for axis k (0: the value).
static int bit(int axis) { return axis >= 1 && axis <= 3 ? 1 << (axis - 1) : 0; }

// A set of rows at (x, y) with intervals kx, ky: the value (along 0) or the slope
// along the axes of the bits of along.
static double plane_eval(const lintab *t, const array2s &d, const float *p, uint16_t kx, uint16_t ky, int along) {
  return blend(t->axis[1], p[1], ky, (along & 2) != 0,
               [&](int32_t j) { return row_eval(t->axis[0], row_of(d, j), p[0], kx, (along & 1) != 0); });
}

// The value (along 0) or the derivative along axis 1 of a one-axis table.
static double one_axis(lintab *t, const float *p, int along) {
  return row_eval(t->axis[0], t->data1, p[0], locate(p[0], t->axis[0], t->cache[0]), (along & 1) != 0);
}

// The value (along 0) or the derivative along the axes of the bits of along at p; kept
// apart from the one-axis case, which the callers take without its frame.
[[gnu::noinline]] static double evaluate(lintab *t, const float *p, int along) {
  if (t->dimension == 1) return one_axis(t, p, along);
  if (t->dimension == 0) return 0;
  if (t->dimension > 3) rtlib_fatal_in("lintabs_linterp_0", "Illegal Dimensionality");
  uint16_t kx = locate(p[0], t->axis[0], t->cache[0]), ky = locate(p[1], t->axis[1], t->cache[1]);
  if (t->dimension == 2) return plane_eval(t, t->data2, p, kx, ky, along);
  uint16_t kz = locate(p[2], t->axis[2], t->cache[2]);
  return blend(t->axis[2], p[2], kz, (along & 4) != 0,
               [&](int32_t j) { return plane_eval(t, plane_of(t->data3, j), p, kx, ky, along & 3); });
}

float lintabs_linterp(lintab *t, const float *p) {
  TRACE("lintabs_linterp_0");
  return float(t->dimension == 1 ? one_axis(t, p, 0) : evaluate(t, p, 0));
}

float lintabs_linderiv(lintab *t, const float *p, uint16_t axis) {
  TRACE("lintabs_linderiv_0");
  if (axis < 1 || axis > t->dimension) rtlib_fatal_in("lintabs_linderiv_0", "WRONG DERIVATIVE");
  return float(evaluate(t, p, bit(axis)));
}

float lintabs_linderiv_n(lintab *t, const float *p, const uint8_t *axes, int count) {
  TRACE("lintabs_linderiv_n");
  int along = 0;
  for (int k = 0; k < count; k++) {
    if (axes[k] < 1 || axes[k] > t->dimension) rtlib_fatal_in("lintabs_linderiv_0", "WRONG DERIVATIVE");
    // Multilinear: a second derivative along one axis vanishes inside every interval.
    if (along & bit(axes[k])) return 0;
    along |= bit(axes[k]);
  }
  return float(evaluate(t, p, along));
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
