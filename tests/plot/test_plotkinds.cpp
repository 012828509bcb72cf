// Vector, surface, contour and elevation plots read back from their display
// lists.
#include <cfenv>
#include <cmath>
#include <string>

#include "control/verdat.h"
#include "graphics/gag1d.h"
#include "graphics/gag3d.h"
#include "model/treeval.h"
#include "plot/pgrid1.h"
#include "plot/pgrid2.h"
#include "plot/plot1d.h"
#include "plot/plot2d.h"
#include "runtime/geom3d.h"
#include "tests/graphics/fixture.h"
#include "tests/model/treebuild.h"
#include "tests/plot/plotgrid.h"

namespace {

struct GridHolder : PlotGrid {
  void TestBody() override {}
};

struct PlotKinds : Graphics {
  GridHolder g;
  plotframe f;
  vector2d xs{}, ys{};
  vector3d lines{};
  plotrange range{};
  vectord levels{};
  static void SetUpTestSuite() {
    PlotGrid::SetUpTestSuite();
    treeval_init();
    plot2d_init();
  }
  void SetUp() override {
    Graphics::SetUp();
    g.SetUp();
    gag1d_init(&f);
    f.colours.spectrum_first = 11, f.colours.spectrum_count = 32, f.colours.spectrum_cycle = 32;
  }
  // Released without the grid's memory check: the display lists hold memory
  // meanwhile.
  void TearDown() override {
    vector2d_free(&xs, 1), vector2d_free(&ys, 1), vector3d_free(&lines, 1), vectord_free(&levels);
    plot_free_0(&g.p->plotrecs), plot_free_2(&g.p->plotdatas);
    meshes_free(&g.M(), 0);
    domain_clear(&g.d);
    Graphics::TearDown();
  }
  pde *P() { return g.p.get(); }
  // path 1: the segment y = 0.5; path 2: the square's boundary.
  plotrec &plot(std::initializer_list<const char *> exprs, int density, int path = 0) {
    plot_one_more_1(&P()->plotrecs);
    plotrec &r = P()->plotrecs.data[P()->plotrecs.count - 1];
    r.number = uint16_t(P()->plotrecs.count);
    r.rangevalues[0] = 1.00000000000002e300, r.rangevalues[1] = -1.00000000000002e300;
    for (const char *e : exprs) {
      trees_one_more(&r.exprs, treebuild(e));
      String s = text(e);
      strings_one_more(&r.labels, &s);
    }
    plot_one_more_0(&P()->plotdatas);
    r.data = uint32_t(P()->plotdatas.count);
    plotdata &d = data(r);
    d.points[0] = uint16_t(density);
    if (path == 1) {
      std::swap(g.v, P()->plotdatas);
      g.segment(0, 0.5, 1, 0.5);
      std::swap(g.v, P()->plotdatas);
    }
    d.boundary = path == 2;
    P()->styles[1] = f, P()->styles[2] = f;
    if (path) {
      EXPECT_EQ(pgrid1_validate_1dplot_mesh(P(), &d), 1);
      return r;
    }
    EXPECT_EQ(pgrid2_validate_plot_mesh(P(), &d), 1);
    d.nodespacing = 0.02;
    return r;
  }
  plotdata &data(const plotrec &r) { return P()->plotdatas.data[r.data - 1]; }
  // Node values of a function of position.
  template <class F>
  void fill(vector2d *v, const plotdata &d, F fn) {
    vector2d_resize(v, d.meshes.count, std::max(d.meshes.count, v->capacity));
    for (int32_t k = 0; k < d.meshes.count; k++) {
      const tmesh &t = d.meshes.data[k];
      vectord_resize(&v->data[k], t.nodes.count, t.nodes.count);
      for (int32_t i = 0; i < t.nodes.count; i++) v->data[k].data[i] = fn(t.nodes.data[i].x, t.nodes.data[i].y);
    }
  }
  // The lines drawn in spectrum colours (the arrows): their relative lengths
  // and colours.
  std::vector<std::pair<double, int>> arrows(uint16_t w) {
    std::vector<std::pair<double, int>> out;
    auto all = entries(w);
    for (size_t i = 1; i < all.size(); i++)
      if (all[i]->opcode == gldraw && all[i - 1]->opcode == glmove && all[i]->colour >= f.colours.spectrum_first &&
          all[i]->colour < f.colours.spectrum_first + f.colours.spectrum_count)
        out.push_back({std::hypot(all[i]->v[0] - all[i - 1]->v[0], all[i]->v[1] - all[i - 1]->v[1]), all[i]->colour});
    return out;
  }
  std::vector<std::string> texts(uint16_t w) {
    std::vector<std::string> out;
    for (const glop *e : entries(w, glprint)) out.emplace_back(e->text.text, e->text.length);
    return out;
  }
};

TEST_F(PlotKinds, VectorArrows) {
  g.grid(4, tri3);
  plotrec &r = plot({"0"}, 10);
  const plotdata &d = data(r);
  int32_t cells = d.meshes.data[0].source.count;
  rectd box = {0, 0, 1, 1};
  uint16_t w = window(400, 400);
  struct Case {
    uint32_t codes;
    double u0, ux;
    int drawn;
  };  // u = u0 + ux * x, v = 0
  for (Case k : {Case{plot_bit(7) | plot_bit(12), 0.2, 1, cells}, Case{0, 0, 0, 0}, Case{0, 1, 0, cells},
                 Case{plot_bit(8), 0, 3, -1}}) {
    r.flags = k.codes;
    fill(&xs, d, [&](double x, double) { return k.u0 + k.ux * x; });
    fill(&ys, d, [](double, double) { return 0.0; });
    if (k.drawn < 0) {  // the cells whose centroid magnitude lies in [1, 2]
      k.drawn = 0;
      for (int32_t c = 1; c <= cells; c++) {
        double m = trimesh_get_centerval(&d.meshes.data[0], c, &xs.data[0]);
        k.drawn += m >= 1 && m <= 2;
      }
      range.min = 1, range.max = 2;
    }
    gag_clearview_0(w);
    plot2d_vector_plot(w, &f, P(), P()->contours, &r, &box, &range, &xs, &ys, &levels);
    auto got = arrows(w);
    // Plain lines are one stroke, arrows three.
    EXPECT_EQ(int(got.size()), k.drawn * (k.codes & plot_bit(12) ? 1 : 3)) << k.codes;
    if (k.codes & plot_bit(7)) {
      points a, b;
      pointd p0 = {0, 0}, p1 = {0.02, 0};
      gag_askpos(w, &p0, &a), gag_askpos(w, &p1, &b);
      for (auto &[len, colour] : got) EXPECT_NEAR(len, b.x - a.x, 1e-4);
    }
    if (k.u0 == 1) {  // one magnitude: every arrow in band 1
      for (auto &[len, colour] : got) EXPECT_EQ(colour, gag1d_tablecolor_0(&f, 1, levels.count));
    }
  }
}

TEST_F(PlotKinds, SurfaceOrderAndViewText) {
  g.grid(4, tri3);
  plotrec &r = plot({"0"}, 10);
  plotdata &d = data(r);
  fill(&xs, d, [](double x, double y) { return x * y; });
  uint16_t w = window(400, 400);
  rect3d box = {0, 0, 0, 1, 1, 1};
  point3d eye = {-1, -0.6, 0.5};
  gag3d_plotmap3_1(&f, &box, &eye, 0, 1, 0, 0, 1.1);
  gag_scaleview_0(w, &f.box);
  double vp[3] = {eye.x, eye.y, 0.5};
  uint8_t pair[2] = {3, 0};
  show_surface(w, &f, &d, &xs, &levels, vp, pair, 1);
  // The last patch holds the corner nearest the viewpoint, the first the
  // farthest.
  auto fills = entries(w, glpyfill);
  ASSERT_EQ(int(fills.size()), d.meshes.data[0].source.count);
  auto holds = [&](const glop *e, double x, double y) {
    pointd q;
    point3d c = {x, y, x * y};
    geom3d_project_0(&q, &f.transform, &c);
    points rel;
    gag_askpos(w, &q, &rel);
    for (int32_t i = 0; i < e->list.count; i++)
      if (std::hypot(e->list.data[i].x - rel.x, e->list.data[i].y - rel.y) < 1e-4) return true;
    return false;
  };
  EXPECT_TRUE(holds(fills.back(), 0, 0));
  EXPECT_TRUE(holds(fills.front(), 1, 1));
  String s = {};
  double v[3] = {1, 2, M_PI / 6};
  plot2d_view_string(&s, v);
  std::string t(s.text, s.length);
  EXPECT_EQ(t.front(), '(');
  EXPECT_DOUBLE_EQ(std::stod(t.substr(t.rfind(',') + 1)), 60) << t;
  strings_free_0(&s);
}

TEST_F(PlotKinds, ElevationMarksAndLogFallback) {
  g.grid(4, tri6);
  plotrec &r = plot({"X^2"}, 10, 1);
  plot1d_build_line_data(P(), P(), &P()->mesh, &r, 1, &range, &lines);
  uint16_t w = window(400, 300), loc = window(200, 200);
  r.scale = 2;  // log y over values reaching 0
  plot1d_elevation(P(), P(), P()->mesh.domain, P()->contours, w, loc, r.number, &range, &lines);
  EXPECT_EQ(r.scale, 0);
  std::string boxes = boxes_text();
  size_t at = boxes.find("Negative Y reverts to Linear scale");
  EXPECT_NE(at, std::string::npos);
  EXPECT_EQ(boxes.find("Negative", at + 1), std::string::npos);  // once
  auto marks = texts(w);
  ASSERT_GE(marks.size(), 2u);
  EXPECT_EQ(marks[marks.size() - 2] + marks.back(), "12");
  auto picture = texts(loc);
  ASSERT_GE(picture.size(), 2u);
  EXPECT_EQ(picture[0] + picture[1], "12");
  // The square's boundary path: 1 2 3 4 and back to 1; in a batch run no
  // message.
  plotrec &b = plot({"X^2"}, 10, 2);
  plot1d_build_line_data(P(), P(), &P()->mesh, &b, 1, &range, &lines);
  b.scale = 2;
  settings.batch = 1;
  uint16_t w2 = window(400, 300), loc2 = window(200, 200);
  plot1d_elevation(P(), P(), P()->mesh.domain, P()->contours, w2, loc2, b.number, &range, &lines);
  settings.batch = 0;
  EXPECT_EQ(boxes_text().find("Negative", at + 1), std::string::npos);
  marks = texts(w2);
  ASSERT_GE(marks.size(), 5u);
  std::string tail;
  for (size_t i = marks.size() - 5; i < marks.size(); i++) tail += marks[i];
  EXPECT_EQ(tail, "12341");
}

// Fields equal to 0 and to 1 everywhere draw every plot kind without a
// floating-point trap.
TEST_F(PlotKinds, ConstantFieldsDrawWithoutTraps) {
  g.grid(3, tri6);
  uint16_t w = window(400, 400), loc = window(200, 200);
  rectd box = {0, 0, 1, 1};
  for (const char *e : {"0", "1"}) {
    plotrec &r = plot({e}, 5);
    plotrec &line = plot({e}, 10, 1);
    feenableexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
    plot2d_build_contour_data(P(), P(), &P()->mesh, P()->dimension, &r, &xs, &ys, &range, 1, 0);
    for (uint32_t codes : {0u, plot_bit(13)}) {
      r.flags = codes;
      plot2d_contour_plot(w, &f, P(), P(), &r, &box, &range, &xs, &levels, 15);
    }
    plot2d_surface_plot(w, &f, P(), &r, &box, &range, &xs, &levels, 15);
    plot2d_vector_plot(w, &f, P(), P()->contours, &r, &box, &range, &xs, &xs, &levels);
    plot1d_build_line_data(P(), P(), &P()->mesh, &line, 1, &range, &lines);
    plot1d_elevation(P(), P(), P()->mesh.domain, P()->contours, w, loc, line.number, &range, &lines);
    fedisableexcept(FE_ALL_EXCEPT);
  }
}

}  // namespace
