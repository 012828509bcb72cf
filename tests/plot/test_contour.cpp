// Contour tracing against exact level curves (lines and circles), joining
// against a known cut-up of random chains, and integrals over plot meshes and
// segments.
#include <algorithm>
#include <cmath>
#include <random>

#include "model/treeval.h"
#include "plot/contour.h"
#include "plot/pgrid1.h"
#include "plot/pgrid2.h"
#include "plot/plot1d.h"
#include "plot/plot2d.h"
#include "tests/model/treebuild.h"
#include "tests/plot/plotgrid.h"

namespace {

struct Plots : PlotGrid {
  static void SetUpTestSuite() {
    PlotGrid::SetUpTestSuite();
    treeval_init();
    plot2d_init();
  }
  vector2d values{}, slopes{};
  vector3d lines{};
  plotrange range{};
  polylinelist l{};
  void TearDown() override {
    vector2d_free(&values, 1);
    vector2d_free(&slopes, 1);
    vector3d_free(&lines, 1);
    contour_free_polylines(&l);
    plot_free_0(&p->plotrecs);
    plot_free_2(&p->plotdatas);
    PlotGrid::TearDown();
  }
  // A plot of the expressions over a plot mesh of the density (a segment when
  // given).
  plotrec &plot(std::initializer_list<const char *> exprs, int density, const double *seg = nullptr) {
    plot_one_more_1(&p->plotrecs);
    plotrec &r = p->plotrecs.data[p->plotrecs.count - 1];
    r.number = uint16_t(p->plotrecs.count);
    for (const char *e : exprs) trees_one_more(&r.exprs, treebuild(e));
    plot_one_more_0(&p->plotdatas);
    r.data = uint32_t(p->plotdatas.count);
    plotdata &g = data(r);
    g.points[0] = uint16_t(density);
    if (seg) {
      std::swap(v, p->plotdatas);  // the grid's segment helper sets the newest
                                   // plot data of v
      segment(seg[0], seg[1], seg[2], seg[3]);
      std::swap(v, p->plotdatas);
      EXPECT_EQ(pgrid1_validate_1dplot_mesh(p.get(), &g), 1);
    } else {
      EXPECT_EQ(pgrid2_validate_plot_mesh(p.get(), &g), 1);
    }
    return r;
  }
  plotdata &data(const plotrec &r) { return p->plotdatas.data[r.data - 1]; }
  // Every cell of every plot mesh traced at level c; joined with tau when
  // positive.
  void trace(const plotrec &r, double c, double spacing, double h, double tau) {
    contour_clear_polylines(&l);
    ElementFrame f;
    const plotdata &g = data(r);
    for (int32_t k = 1; k <= g.meshes.count; k++)
      for (int32_t cell = 1; cell <= g.meshes.data[k - 1].source.count; cell++)
        poly_cell(&values.data[k - 1], p.get(), &l, &g.meshes.data[k - 1], cell, c, spacing, &f, h);
    if (tau > 0) merge_polylines(&l, tau);
  }
  double length(const pointdlist &q) {
    double s = 0;
    for (int32_t i = 1; i < q.count; i++) s += pointd_distance_0(&q.data[i - 1], &q.data[i]);
    return s;
  }
};

TEST_F(Plots, StraightLevelsOfALinearField) {
  grid(4, tri3);
  plotrec &r = plot({"X+2*Y"}, 20);
  plot2d_build_contour_data(p.get(), p.get(), &p->mesh, p->dimension, &r, &values, &slopes, &range, 1, 0);
  EXPECT_NEAR(range.min, 0, 1e-12);
  EXPECT_NEAR(range.max, 3, 1e-12);
  EXPECT_NEAR(range.maxat.x + range.maxat.y, 2, 1e-12);
  for (double c : {0.37, 1.23, 2.61}) {
    trace(r, c, 0.2, 0.05, 0.005);
    double total = 0;
    for (int32_t i = 0; i < l.count; i++) {
      for (int32_t j = 0; j < l.data[i].count; j++)
        EXPECT_NEAR(l.data[i].data[j].x + 2 * l.data[i].data[j].y, c, 1e-12);
      total += length(l.data[i]);
    }
    double chord = (std::min(1.0, c) - std::max(0.0, c - 2)) * std::sqrt(1.25);
    EXPECT_NEAR(total, chord, 1e-12) << c;
    EXPECT_EQ(l.count, 1) << c;  // joined into one labelled line
  }
}

TEST_F(Plots, CurvedLevelsOfAQuadraticField) {
  for (int basis : {tri6, tri9}) {
    grid(5, basis);
    plotrec &r = plot({"X^2+Y^2"}, 1);
    plot2d_build_contour_data(p.get(), p.get(), &p->mesh, p->dimension, &r, &values, &slopes, &range, 1, 0);
    double h = 0.01;
    for (double c : {0.05, 0.25, 0.7, 1.3}) {
      trace(r, c, 0.05, h, h * 0.1);
      for (int32_t i = 0; i < l.count; i++)
        for (int32_t j = 0; j < l.data[i].count; j++) {
          const pointd &q = l.data[i].data[j];
          EXPECT_LE(std::fabs(q.x * q.x + q.y * q.y - c), 1e-8 * std::max(1.0, c))
              << basis << " " << c << " " << j << "/" << l.data[i].count;
        }
      if (c == 0.25) {
        ASSERT_EQ(l.count, 1) << basis;
        EXPECT_NEAR(length(l.data[0]), M_PI / 4, 1e-3);
      }
    }
    plot_free_0(&p->plotrecs), plot_free_2(&p->plotdatas);
    meshes_free(&M(), 0), domain_clear(&d), d = {};
  }
  // A closed ring on cells smaller than 0.1 joins in the second pass.
  grid(12, tri6);
  plotrec &r = plot({"(X-0.5)^2+(Y-0.5)^2"}, 1);
  plot2d_build_contour_data(p.get(), p.get(), &p->mesh, p->dimension, &r, &values, &slopes, &range, 1, 0);
  trace(r, 0.04, 0.01, 0.01, 0.001);
  ASSERT_EQ(l.count, 1);
  const pointdlist &ring = l.data[0];
  EXPECT_LT(pointd_distance_0(&ring.data[0], &ring.data[ring.count - 1]), 0.001);
  EXPECT_NEAR(length(ring), 2 * M_PI * 0.2, 1e-3);
}

TEST_F(Plots, OneValuedFieldsTraceWithoutSpacing) {
  grid(2, tri6);
  plotrec &r = plot({"0"}, 1);
  plot2d_build_contour_data(p.get(), p.get(), &p->mesh, p->dimension, &r, &values, &slopes, &range, 1, 0);
  vectord levels = {};
  vectord_one_more(&levels, 0);
  poly_contour(0, nullptr, p.get(), &data(r), &values, &levels, 0.1, 1);
  trace(r, 0.5, 0, 0.1, 0.01);
  EXPECT_EQ(l.count, 0);
  vectord_free(&levels);
}

// Random chains cut into pieces and shuffled: more than 20 pieces take the
// joining grid, with junctions up to tau / 2 apart in both directions across
// its lines.
TEST(MergePolylines, RecoversShuffledChains) {
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> u(0, 1), jit(-0.004, 0.004);
  for (int chains : {2, 6, 30}) {
    polylinelist l = {};
    std::vector<int32_t> sizes;
    std::vector<std::vector<pointd>> all;
    for (int c = 0; c < chains; c++) {
      // A walk of 3..8 pieces of 4 points each, far from the others.
      int pieces = 3 + int(u(gen) * 6);
      pointd at = {c * 2.0 + u(gen), u(gen) * 3};
      sizes.push_back(pieces * 3 + 1);
      for (int k = 0; k < pieces; k++) {
        std::vector<pointd> piece = {at};
        for (int j = 0; j < 3; j++) at.x += 0.05 + 0.1 * u(gen), at.y += 0.2 * (u(gen) - 0.5), piece.push_back(at);
        at.x += jit(gen),
            at.y += jit(gen);  // the next piece starts a little off
        all.push_back(piece);
      }
    }
    std::shuffle(all.begin(), all.end(), gen);
    for (auto &piece : all) {
      pointdlist *q = contour_new_polyline(&l);
      for (auto &pt : piece) pointd_one_more_0(q, &pt);
    }
    merge_polylines(&l, 0.01);
    std::vector<int32_t> got;
    for (int32_t i = 0; i < l.count; i++) got.push_back(l.data[i].count);
    std::sort(got.begin(), got.end()), std::sort(sizes.begin(), sizes.end());
    EXPECT_EQ(got, sizes) << chains;
    contour_free_polylines(&l);
  }
}

TEST_F(Plots, IntegralsOverPlotsAndSegments) {
  grid(4, tri6);
  plotrec &one = plot({"1", "X^2+Y^2"}, 1);
  plot2d_build_contour_data(p.get(), p.get(), &p->mesh, p->dimension, &one, &values, &slopes, &range, 1, 0);
  EXPECT_NEAR(plot2d_integrate_plot_2d(p.get(), &p->coords, &one, &values, nullptr), 1, 1e-12);
  // In cylinders about the x axis (radius y) under code 22, 1 integrates to pi.
  p->coords.family = 2, p->coords.geometry = 5;
  one.flags = plot_bit(22);
  EXPECT_NEAR(plot2d_integrate_plot_2d(p.get(), &p->coords, &one, &values, nullptr), M_PI, 1e-12);
  p->coords.family = 1, p->coords.geometry = 1;
  plot2d_build_contour_data(p.get(), p.get(), &p->mesh, p->dimension, &one, &values, &slopes, &range, 2, 0);
  EXPECT_NEAR(plot2d_integrate_plot_2d(p.get(), &p->coords, &one, &values, nullptr), 2.0 / 3, 1e-12);
  // x^2 along y = 0.5; the node shared by two cells is evaluated once (same
  // value).
  const double seg[4] = {0, 0.5, 1, 0.5};
  plotrec &e = plot({"X^2", "X/2"}, 10, seg);
  plot1d_build_line_data(p.get(), p.get(), &p->mesh, &e, 1, &range, &lines);
  vectord in = {};
  plot1d_integrate_plot_1d(p.get(), &p->coords, &e, &in, &lines);
  EXPECT_NEAR(in.data[0], 1.0 / 3, 1e-9);
  EXPECT_NEAR(in.data[1], 0.25, 1e-12);
  EXPECT_NEAR(range.max, 1, 1e-12);
  EXPECT_NEAR(range.maxat.x, 1, 1e-12);
  vectord_free(&in);
}

}  // namespace
