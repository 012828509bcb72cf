// The plot driver's recorded groups read back by an independent walker, the history
// store's compression and deletion, and the time integral against exact integrals.
#include <cmath>
#include <cstdlib>
#include <string>

#include "control/pdedat.h"
#include "model/pdedat_record.h"
#include "plot/doplot.h"
#include "plot/plot.h"
#include "runtime/except.h"
#include "runtime/filio.h"
#include "tests/graphics/fixture.h"

namespace {

double square_integral(std::initializer_list<double> ts) {
  vectord t{}, v{};
  for (double x : ts) vectord_one_more(&t, x), vectord_one_more(&v, x * x);
  double s = simpsint(&t, &v);
  vectord_free(&t), vectord_free(&v);
  return s;
}

TEST(Simpsint, SquareOverTime) {
  struct { std::initializer_list<double> t; double want; } cases[] = {
      {{0, 0.5}, 0.0625},
      {{0, 0.5, 1}, 1.0 / 3},
      {{0, 0.5, 1, 1.5}, 1.0 / 3 + 0.8125},
      {{0, 0.1, 0.25, 0.5, 0.6, 0.8, 1}, 1.0 / 3},
      {{0, 0, 1}, 0.5},  // a repeated time: trapezoids, no division by zero
  };
  for (auto &c : cases) EXPECT_NEAR(square_integral(c.t), c.want, 1e-13 * c.want);
}

struct Histories : ::testing::Test {
  std::unique_ptr<pde> p{new pde{}};
  plotrec *r = nullptr;
  void SetUp() override {
    plot_one_more_1(&p->plotrecs);
    r = &p->plotrecs.data[0];
    r->number = 1, r->kind = PLOT_HISTORY;
    vectorn_one_more(&p->histories, 1);
    vector3d_resize(&r->values, 1, 1);
    vector2d_resize(&r->values.data[0], 2, 2);
  }
  void TearDown() override {
    vectord_free(&p->histtimes);
    vectorn_free(&p->histories);
    plot_free_0(&p->plotrecs);
  }
  void fill(int n, int shortby) {
    for (int i = 1; i <= n; i++) {
      vectord_one_more(&p->histtimes, i);
      vectord_one_more(&r->values.data[0].data[0], double(i) * i);
      if (i > shortby) vectord_one_more(&r->values.data[0].data[1], 1.0);
    }
  }
};

TEST_F(Histories, CompressionToGroupMeans) {
  fill(12289, 12000);
  compress_history(p.get());
  const vectord &t = p->histtimes, &s = r->values.data[0].data[0], &late = r->values.data[0].data[1];
  ASSERT_EQ(t.count, 4097);
  EXPECT_EQ(t.data[0], 2);
  EXPECT_EQ(t.data[1], 5);
  EXPECT_EQ(t.data[4095], 12287);
  EXPECT_EQ(t.data[4096], 12289);
  ASSERT_EQ(s.count, 4097);
  EXPECT_NEAR(s.data[0], 14.0 / 3, 1e-12);
  // The late series (289 samples, from t = 12001) keeps its own alignment with the latest times.
  EXPECT_EQ(late.count, 4097 - 12000 / 3);
  EXPECT_EQ(late.data[0], 1.0);
}

TEST_F(Histories, TheLimitTriggersCompressionAndDeleteDropsOneSample) {
  fill(12288, 0);
  vector3d_free(&r->values, 1);  // no expressions: only the times are sampled
  doplot_history_point(p.get(), nullptr, 12288.5);
  EXPECT_EQ(p->histtimes.count, 12289 / 3 + 1);
  vectord_resize(&p->histtimes, 0, 0);
  for (int i = 1; i <= 12287; i++) vectord_one_more(&p->histtimes, i);
  doplot_history_point(p.get(), nullptr, 12288);
  EXPECT_EQ(p->histtimes.count, 12288);
  vector3d_resize(&r->values, 1, 1);
  vector2d_resize(&r->values.data[0], 1, 1);
  vectord_one_more(&r->values.data[0].data[0], 3);
  doplot_delete_history(p.get());
  EXPECT_EQ(p->histtimes.count, 12287);
  EXPECT_EQ(r->values.data[0].data[0].count, 0);
}

// Each series' time integral is kept per expression and point: t^2 over 1..3 is 26/3,
// the late series of ones (at t = 2, 3) 1. One sample draws and integrates nothing.
TEST_F(Histories, IntegralsPerPointAndNothingFromOneSample) {
  r->flags = plot_bit(4);
  vector2d_resize(&r->integrals, 1, 1);
  vectord_resize(&r->integrals.data[0], 2, 2);
  double range[2] = {1e300, -1e300};
  fill(1, 0);
  time_plot(p.get(), 1, range);
  EXPECT_EQ(r->integrals.data[0].data[0], 0);
  // A drawing that writes no file leaves the output count to the files it writes.
  EXPECT_EQ(r->outputs, 0);
  doplot_delete_history(p.get());
  fill(3, 1);
  time_plot(p.get(), 1, range);
  EXPECT_NEAR(r->integrals.data[0].data[0], 26.0 / 3, 1e-12);
  EXPECT_NEAR(r->integrals.data[0].data[1], 1, 1e-12);
  EXPECT_EQ(r->rangevalues[2], 1);
  EXPECT_EQ(r->rangevalues[3], 9);
}

TEST(StatusLine, SteadyAndTimeRuns) {
  std::unique_ptr<pde> p{new pde{}};
  strings_copyto_1(&p->name, "disk");
  p->order = 2, p->rmserr = 1e-5, p->regrids = 2;
  String s = {}, scratch = {};
  status_string(&s, &scratch, p.get());
  EXPECT_STREQ(s.text, "disk:  Grid#2  p2  Nodes=0 Cells=0 RMS Err=1e-05");  // as the log says GRID 2
  p->timedep = 1, p->cycle = 3, p->time = 0.05, p->dt = 0.001;
  status_string(&s, &scratch, p.get());
  EXPECT_STREQ(s.text, "disk:  Cycle=3  Time=0.05  dt=0.001  p2  Nodes=0 Cells=0 RMS Err=1e-05");
  for (String *t : {&s, &scratch, &p->name}) strings_free_0(t);
}

TEST(ValueLine, IntegralsWithPrefixesAndTags) {
  std::unique_ptr<pde> p{new pde{}};
  plotrec r{};
  r.kind = PLOT_CONTOUR, r.flags = plot_bit(4);
  vector2d_resize(&r.integrals, 1, 1);
  vectord_one_more(&r.integrals.data[0], 0.39269908);
  String s = {};
  doplot_integral_text(&s, p.get(), &r, 1);
  EXPECT_STREQ(s.text, "Integral= 0.39269908 ");
  vectord_one_more(&r.integrals.data[0], 2);
  p->coords.geometry = 5, r.flags |= plot_bit(22);
  strings_copyto_1(&s, "");
  doplot_integral_text(&s, p.get(), &r, 1);
  EXPECT_STREQ(s.text, "Vol_Integral(a)= 0.39269908 Vol_Integral(b)= 2 ");
  strings_free_0(&s);
  vector2d_free(&r.integrals, 1);
}

// Recorded groups read back by the walker.
struct Recording : Graphics {
  std::unique_ptr<pde> p{new pde{}};
  std::string path;
  void SetUp() override {
    Graphics::SetUp();
    doplot_init();
    path = dir.file("t.pgx");
    String name = {};
    strings_copyto_1(&name, path.c_str());
    filio_open_put_1(&p->plotfile, 4096, &name);
    strings_free_0(&name);
    String s = {};
    strings_copyto_1(&s, "version");
    filio_put_string(&p->plotfile, &s);
    filio_put_string(&p->plotfile, &s);
    strings_free_0(&s);
  }
  void plots(int n, int modes) {
    filio_put_ushort(&p->plotfile, uint16_t(n));
    filio_put_ushort(&p->plotfile, uint16_t(modes));
    filio_put_ushort(&p->plotfile, 0);
    p->modes = uint16_t(modes);
    for (int k = 1; k <= n; k++) {
      plot_one_more_1(&p->plotrecs);
      plotrec &r = p->plotrecs.data[k - 1];
      r.number = uint16_t(k), r.kind = PLOT_SUMMARY;
      String c = {};
      strings_copyto_1(&c, ("plot " + std::to_string(k)).c_str());
      uint16_t w = gag_newwindow_2(0, cls, 200, 200, &c, 0);
      r.views[0] = r.views[1] = w;
      if (modes) {
        r.modeviews.rows = uint16_t(modes), r.modeviews.cols = 2;
        r.modeviews.size = 2 * modes;
        r.modeviews.data = static_cast<uint16_t *>(calloc(size_t(2 * modes), 2));
        for (int m = 0; m < modes; m++) r.modeviews.data[2 * m] = r.modeviews.data[2 * m + 1] = w;
      }
      strings_resize_1(&r.titles, 1, 1);
      strings_copyto_0(&r.titles.items[0], &c);
      strings_free_0(&c);
      vectorn_one_more(&p->plots, uint16_t(k));
    }
    if (modes) {
      String c = {};
      strings_copyto_1(&c, "Eigenvalues");
      p->eigview = gag_newwindow_2(0, cls, 200, 200, &c, 0);
      strings_free_0(&c);
    }
  }
  std::string walk() {
    filio_close_put(&p->plotfile);
    std::string cmd = "python3 " + test_data_dir() + "/../plot/pgxwalk.py " + path;
    FILE *f = popen(cmd.c_str(), "r");
    std::string out;
    char buf[256];
    while (fgets(buf, sizeof buf, f)) out += buf;
    EXPECT_EQ(pclose(f), 0) << out;
    return out;
  }
  void TearDown() override {
    filio_close_put(&p->plotfile);
    for (int k = 0; k < p->plotrecs.count; k++) {
      free(p->plotrecs.data[k].modeviews.data);
      p->plotrecs.data[k].modeviews = {};
    }
    plot_free_0(&p->plotrecs);
    vectorn_free(&p->plots);
    strings_free_0(&p->plotfile.name);
    strings_free_0(&p->plotfile.temp);
    display_free(&p->status);
    Graphics::TearDown();
  }
};

TEST_F(Recording, Groups) {
  plots(3, 0);
  doplot_show_plots(p.get(), &p->plots);
  vectorn none{};
  doplot_show_plots(p.get(), &none);
  // A stop after the first plot: the group holds one plot and is terminated.
  p->status.key = &p->stop;
  p->stop = 1;
  doplot_show_plots(p.get(), &p->plots);
  // An error in the second plot: the group holds the first and is terminated.
  p->stop = 0;
  p->plotrecs.data[1].data = 9;
  EXPECT_NE(except_catch("TestBody", [&] { doplot_show_plots(p.get(), &p->plots); }), 0);
  EXPECT_EQ(walk(), "header 3 0 0\ngroup 3 1:plot 1 2:plot 2 3:plot 3\ngroup 0\ngroup 1 1:plot 1\ngroup 1 1:plot 1\n");
}

TEST_F(Recording, MonitorsWithinTheirIntervalDrawNothing) {
  plots(1, 0);
  p->hardmonitor = 1;
  doplot_show_monitors(p.get(), &p->plots, 100000);
  EXPECT_EQ(doplot_show_monitors(p.get(), &p->plots, 100000), 0);
  // Only the first call recorded its group.
  EXPECT_EQ(walk(), "header 1 0 0\ngroup 1 1:plot 1\n");
}

TEST_F(Recording, ModesAndTheEigenvalueListing) {
  plots(2, 3);
  doplot_show_plots(p.get(), &p->plots);
  // Recorded monitors: the listing comes last and is part of the group it counts in.
  p->hardmonitor = 1;
  doplot_show_monitors(p.get(), &p->plots, 0);
  EXPECT_EQ(walk(), "header 2 3 0\ngroup 7 7:Eigenvalues: 1:plot 1 4:plot 2 2:plot 1 5:plot 2 3:plot 1 6:plot 2\n"
                    "group 7 1:plot 1 4:plot 2 2:plot 1 5:plot 2 3:plot 1 6:plot 2 7:Eigenvalues:\n");
}

}  // namespace
