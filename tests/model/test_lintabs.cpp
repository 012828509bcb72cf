// Table interpolation: exact multilinear cases in one to three axes, one-point axes,
// and look-up sequences that must not depend on the cached intervals.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "model/lintabs.h"
#include "runtime/bopmem.h"
#include "tests/runtime/fatal_stop.h"

namespace {

void fill(arrays *a, const std::vector<float> &v) {
  arrays_new(a, int32_t(v.size()));
  for (size_t i = 0; i < v.size(); i++) a->data[i] = v[i];
}

using Axis = std::vector<float>;

// A table of the axes given with values f at the grid points.
template <class F> lintab make(const std::vector<Axis> &axes, F f) {
  lintab t{};
  t.dimension = uint16_t(axes.size());
  for (size_t k = 0; k < axes.size(); k++) fill(&t.axis[k], axes[k]);
  Axis one = {0};
  const Axis &ax = axes[0], &ay = axes.size() > 1 ? axes[1] : one, &az = axes.size() > 2 ? axes[2] : one;
  auto row = [&](arrays *r, float y, float z) {
    Axis v;
    for (float x : ax) v.push_back(f(x, y, z));
    fill(r, v);
  };
  if (t.dimension == 1) row(&t.data1, 0, 0);
  if (t.dimension == 2) {
    array2s_new(&t.data2, int32_t(ay.size()));
    for (size_t j = 0; j < ay.size(); j++) row(&t.data2.data[j], ay[j], 0);
  }
  if (t.dimension == 3) {
    array3s_new(&t.data3, int32_t(az.size()));
    for (size_t k = 0; k < az.size(); k++) {
      array2s_new(&t.data3.data[k], int32_t(ay.size()));
      for (size_t j = 0; j < ay.size(); j++) row(&t.data3.data[k].data[j], ay[j], az[k]);
    }
  }
  return t;
}

}  // namespace

TEST(Lintabs, ExactCasesInOneToThreeAxes) {
  int64_t before = XMEM;
  Axis xs = {0, 1, 2};
  Axis v1 = {10, 20, 40};
  lintab t1 = make({xs}, [&](float x, float, float) { return v1[size_t(x)]; });
  struct { float x, value, slope; } one[] = {{1.5, 30, 20}, {-5, 10, 0}, {7, 40, 0}, {1, 20, 10}, {0, 10, 10}, {2, 40, 20}};
  for (auto &c : one) {
    EXPECT_EQ(lintabs_linterp(&t1, &c.x), c.value) << c.x;
    EXPECT_EQ(lintabs_linderiv(&t1, &c.x, 1), c.slope) << c.x;
  }
  float p[3] = {1.5f, 0.25f, 0};
  EXPECT_EQ(fatal_stop([&] { lintabs_linderiv(&t1, p, 2); }), "WRONG DERIVATIVE IN lintabs_linderiv_0");

  float rows[2][3] = {{0, 1, 4}, {1, 3, 9}};
  lintab t2 = make({xs, {0, 1}}, [&](float x, float y, float) { return rows[size_t(y)][size_t(x)]; });
  EXPECT_EQ(lintabs_linterp(&t2, p), 3.375f);
  EXPECT_EQ(lintabs_linderiv(&t2, p, 1), 3.75f);
  EXPECT_EQ(lintabs_linderiv(&t2, p, 2), 3.5f);

  // x + 2y + 3z + xyz is multilinear: the interpolant is exact on any grid.
  lintab t3 = make({{0, 0.25f, 1}, {0, 0.5f, 1.5f}, {-1, 0.1f, 0.5f}},
                   [](float x, float y, float z) { return x + 2 * y + 3 * z + x * y * z; });
  float q[3] = {0.3f, 0.6f, 0.2f};
  EXPECT_NEAR(lintabs_linterp(&t3, q), 2.136, 1e-5);
  double slopes[3] = {1.12, 2.06, 3.18};
  for (uint16_t a = 1; a <= 3; a++) EXPECT_NEAR(lintabs_linderiv(&t3, q, a), slopes[a - 1], 1e-5) << a;
  // Mixed slopes of x + 2y + 3z + xyz: yz, xz, xy, xyz; along one axis twice, 0.
  const struct {
    uint8_t axes[3];
    int count;
    double value;
  } mixed[] = {{{1, 2}, 2, 0.2},  {{1, 3}, 2, 0.6}, {{2, 3}, 2, 0.3},
               {{1, 2, 3}, 3, 1}, {{1, 1}, 2, 0},   {{2, 3, 2}, 3, 0}};
  for (const auto &m : mixed) EXPECT_NEAR(lintabs_linderiv_n(&t3, q, m.axes, m.count), m.value, 1e-5) << m.count;
  float below[3] = {0.3f, 0.6f, -4};  // held at the first plane: no slope along z
  EXPECT_NEAR(lintabs_linterp(&t3, below), 0.3 + 1.2 - 3 - 0.18, 1e-5);
  EXPECT_EQ(lintabs_linderiv(&t3, below, 3), 0);

  // A one-point axis is constant along itself.
  lintab t4 = make({xs, {0.5f}}, [](float x, float, float) { return 2 * x; });
  lintab t5 = make({{3}}, [](float, float, float) { return 7.0f; });
  float r[2] = {1.25f, -9};
  EXPECT_EQ(lintabs_linterp(&t4, r), 2.5f);
  EXPECT_EQ(lintabs_linderiv(&t4, r, 1), 2);
  EXPECT_EQ(lintabs_linderiv(&t4, r, 2), 0);
  EXPECT_EQ(lintabs_linterp(&t5, r), 7);
  EXPECT_EQ(lintabs_linderiv(&t5, r, 1), 0);
  for (lintab *t : {&t1, &t2, &t3, &t4, &t5}) lintabs_free(t);
  EXPECT_EQ(XMEM, before);
}

TEST(Lintabs, LookUpsDoNotDependOnTheCache) {
  // A non-uniform axis with a repeated point, and values with a kink at every point,
  // so that the interval chosen at a grid point shows in the slope.
  Axis xs;
  for (int i = 0; i < 40; i++) xs.push_back(i == 20 ? xs.back() : float(i * i) / 16);
  lintab t = make({xs, {0, 1, 3}}, [](float x, float y, float) { return x * x + y * (x + 1) * (x + 1); });
  std::mt19937 rng(17);
  std::uniform_int_distribution<int> pick(0, 39);
  std::uniform_real_distribution<float> any(-5, 110), ys(-1, 4);
  for (int n = 0; n < 4000; n++) {
    float p[2] = {n % 3 == 0 ? xs[size_t(pick(rng))] : any(rng), n % 5 == 0 ? 1.0f : ys(rng)};
    lintab fresh = t;
    fresh.cache[0] = fresh.cache[1] = 0;
    ASSERT_EQ(lintabs_linterp(&t, p), lintabs_linterp(&fresh, p)) << p[0] << " " << p[1];
    for (uint16_t a = 1; a <= 2; a++) {
      fresh.cache[0] = fresh.cache[1] = 0;
      ASSERT_EQ(lintabs_linderiv(&t, p, a), lintabs_linderiv(&fresh, p, a)) << p[0] << " " << p[1] << " " << a;
    }
  }
  // A grid point belongs to the interval below it from either side.
  float at[2] = {xs[10], 0}, high[2] = {100, 0}, low[2] = {-1, 0};
  float slope_below = (xs[10] * xs[10] - xs[9] * xs[9]) / (xs[10] - xs[9]);
  lintabs_linterp(&t, high);
  EXPECT_FLOAT_EQ(lintabs_linderiv(&t, at, 1), slope_below);
  lintabs_linterp(&t, low);
  EXPECT_FLOAT_EQ(lintabs_linderiv(&t, at, 1), slope_below);
  lintabs_free(&t);
}
