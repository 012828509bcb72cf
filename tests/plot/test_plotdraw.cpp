// Plot records' routines: value ranges, viewpoints, series tags, histories kept across
// a re-parse, and the mesh drawn into a display list.
#include <cmath>

#include "elements/basisfun.h"
#include "elements/quature.h"
#include "graphics/gag1d.h"
#include "plot/plot.h"
#include "plot/plot1d.h"
#include "tests/graphics/fixture.h"
#include "tests/plot/plotgrid.h"

namespace {

TEST(PlotRoutines, ValueRanges) {
  plotrec r = {};
  r.kind = PLOT_CONTOUR;
  double lo = 100, hi = 100.005;
  EXPECT_EQ(plot_ranger(&lo, 100.001, &hi, 100.002, 20, &r), 11);
  EXPECT_NEAR(lo, 99.99749975, 1e-9);
  EXPECT_NEAR(hi, 100.00750025, 1e-9);
  // A logarithmic value axis shows the decades below the top.
  struct Case { int kind, scale; double low; };
  for (Case c : {Case{PLOT_CONTOUR, 1, 0.01}, Case{PLOT_CONTOUR, 2, 1e-6}, Case{PLOT_ELEVATION, 2, 0.01},
                 Case{PLOT_HISTORY, 1, 1e-6}}) {
    r.kind = c.kind, r.scale = c.scale, r.decades = 3;
    lo = 1e-6, hi = 10;
    EXPECT_EQ(plot_ranger(&lo, 1, &hi, 5, 20, &r), 20);
    EXPECT_DOUBLE_EQ(lo, c.low) << c.kind << " " << c.scale;
  }
  // A fixed range spans the range given, whatever the data; FIXED with no RANGE keeps
  // the data's range.
  r.flags = plot_bit(8);
  lo = 100, hi = 100.005;
  EXPECT_EQ(plot_ranger(&lo, 50, &hi, 200, 20, &r), 20);
  EXPECT_EQ(lo, 50);
  EXPECT_EQ(hi, 200);
  lo = 100, hi = 100.005;
  EXPECT_EQ(plot_ranger(&lo, 1e30, &hi, -1e30, 20, &r), 20);
  EXPECT_EQ(lo, 100);
  EXPECT_EQ(hi, 100.005);
  // A fixed range runs from the smaller of its values to the larger, is widened when
  // it has no width, and on a log axis shows the decades below its top, whatever the
  // data (0 to 5 here).
  struct Fixed {
    int scale;
    double low2, high2, low, high;
    int levels;
  };
  for (Fixed c : {Fixed{0, 1, 0, 0, 1, 20}, Fixed{0, 0.5, 0.5, 0.5 - 2.5e-5, 0.5 + 2.5e-5, 2},
                  Fixed{1, -1, 10, 0.01, 10, 20}, Fixed{1, 10, -1, 0.01, 10, 20}}) {
    r.kind = PLOT_CONTOUR, r.scale = c.scale, r.decades = 3;
    lo = 0, hi = 5;
    EXPECT_EQ(plot_ranger(&lo, c.low2, &hi, c.high2, 20, &r), c.levels) << c.low2 << " " << c.high2;
    EXPECT_NEAR(lo, c.low, 1e-12) << c.low2 << " " << c.high2;
    EXPECT_NEAR(hi, c.high, 1e-12) << c.low2 << " " << c.high2;
  }
  // The log check of a fixed range sees its top, which the ranger keeps above 0.
  r.scale = 2, r.kind = PLOT_ELEVATION, r.rangevalues[0] = -1, r.rangevalues[1] = 10;
  EXPECT_EQ(plot1d_log_probe(&r, -3), 10);
  r.flags = 0;
  EXPECT_EQ(plot1d_log_probe(&r, -3), -3);
}

TEST(PlotRoutines, ViewpointsAndTags) {
  rect3d box = {0, 0, 0, 1, 1, 1};
  double v[3] = {0, 0, 1};
  plot_validate_viewpoint(v, &box);
  EXPECT_NEAR(v[0], -1.1235883, 1e-7);
  EXPECT_NEAR(v[1], -3.4196889, 1e-7);
  EXPECT_DOUBLE_EQ(v[2], M_PI / 3);
  double w[3] = {0.2, 0, 1};
  plot_validate_viewpoint(w, &box);
  EXPECT_EQ(w[0] + w[2], 1.2);
  String tag = {};
  std::vector<std::string> tags;
  for (auto [k, e, n] : {std::array{1, 1, 1}, {26, 1, 1}, {27, 1, 1}, {1, 2, 2}, {28, 3, 3}}) {
    plot_series_tag(&tag, k, e, n);
    tags.emplace_back(tag.text, tag.length);
  }
  EXPECT_EQ(tags, (std::vector<std::string>{"a", "z", "A", "2a", "3B"}));
  strings_free_0(&tag);
}

TEST(PlotRoutines, HistoriesSurviveAReparse) {
  int64_t before = XMEM;
  plotvector plots = {};
  vectord times = {};
  auto history = [&](int exprs, int points, int samples) {
    plot_one_more_1(&plots);
    plotrec &r = plots.data[plots.count - 1];
    r.kind = PLOT_HISTORY;
    vector3d_new(&r.values, exprs, exprs);
    for (int e = 0; e < exprs; e++) {
      vector2d_new(&r.values.data[e], points, points);
      for (int i = 0; i < points; i++)
        for (int s = 0; s < samples; s++) vectord_one_more(&r.values.data[e].data[i], 100 * e + 10 * i + s);
    }
  };
  plot_one_more_1(&plots);  // a contour first
  history(2, 2, 3);
  for (double t : {0.1, 0.2, 0.3}) vectord_one_more(&times, t);
  plot_save_histories(&plots, &times);
  plot_free_0(&plots);
  vectord_free(&times);
  // Re-parsed: the same plots, empty.
  plot_one_more_1(&plots);
  history(2, 2, 0);
  plot_restore_histories(&plots, &times);
  ASSERT_EQ(times.count, 3);
  EXPECT_EQ(times.data[2], 0.3);
  const vector3d &h = plots.data[1].values;
  for (int e = 0; e < 2; e++)
    for (int i = 0; i < 2; i++) {
      ASSERT_EQ(h.data[e].data[i].count, 3);
      EXPECT_EQ(h.data[e].data[i].data[2], 100 * e + 10 * i + 2);
    }
  plot_free_0(&plots);
  vectord_free(&times);
  EXPECT_EQ(XMEM, before);
}

// The grid of the plot-mesh tests held by a drawing test.
struct GridHolder : PlotGrid {
  void TestBody() override {}
};

struct MeshDrawing : Graphics {
  GridHolder g;
  static void SetUpTestSuite() { PlotGrid::SetUpTestSuite(); }
  void SetUp() override {
    Graphics::SetUp();
    g.SetUp();
  }
  // Released without the grid's memory check: the display lists hold memory meanwhile.
  void TearDown() override {
    meshes_free(&g.M(), 0);
    domain_clear(&g.d);
    Graphics::TearDown();
  }
};

TEST_F(MeshDrawing, EverySideOnce) {
  g.grid(3, tri6);
  uint16_t w = window(400, 400);
  rect3d box = {0, 0, 0, 1, 1, 0};
  plotframe f;
  gag1d_init(&f);
  plot_show_frame(w, &f, &box, 0, 1, nullptr, nullptr);
  size_t before = entries(w, gldraw).size();
  plot_show_mesh(w, &f, &box, &g.M(), tri6, 0, 0, 1);
  // 33 sides, each through its middle node.
  EXPECT_EQ(entries(w, gldraw).size() - before, 66u);
  // One region alone draws the sides it shares too; painted cells are patches.
  before = entries(w, gldraw).size();
  plot_draw_mesh_1(w, &f, &g.M(), tri6, 1, 0, 1);
  EXPECT_EQ(entries(w, gldraw).size() - before, 18u * 6);
  before = entries(w, glpyfill).size();
  plot_draw_mesh_1(w, &f, &g.M(), tri6, 0, 1, 1);
  EXPECT_EQ(entries(w, glpyfill).size() - before, 18u);
}

}  // namespace

namespace {

TEST_F(MeshDrawing, LinePlotMargins) {
  uint16_t w = window(400, 300);
  plotframe f;
  gag1d_init(&f);
  plotrec r = {};
  r.kind = PLOT_HISTORY, r.scale = 2;
  vectord x = {};
  vector2d sets = {};
  vector2d_new(&sets, 2, 2);
  for (int i = 1; i <= 40; i++) {
    vectord_one_more(&x, i);
    vectord_one_more(&sets.data[0], i * i);
    vectord_one_more(&sets.data[1], 1600.0 / i);
  }
  plot_line_plot(w, &f, &r, &x, &sets, 1, nullptr, nullptr);
  size_t drawn = entries(w, glpydraw).size();
  plot_add_line_plot(w, &f, &r, &x, &sets, 2);
  EXPECT_GE(entries(w, glpydraw).size() - drawn, 2u);  // both curves again, on the same axes
  // Log y over 1 .. 1600 with 5 % of each bound: ln 0.95 .. ln 1680; x linear from -0.95.
  EXPECT_EQ(f.logy, 1);
  EXPECT_EQ(f.logx, 0);
  EXPECT_NEAR(f.box.y1, std::log(0.95), 1e-9);
  EXPECT_NEAR(f.box.y2, std::log(1680.0), 1e-9);
  EXPECT_NEAR(f.box.x1, -0.95, 1e-9);
  vectord_free(&x);
  vector2d_free(&sets, 1);
}

}  // namespace
