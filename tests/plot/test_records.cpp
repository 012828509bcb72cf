// Growth, sharing and release of the plot records.
#include <gtest/gtest.h>

#include "model/trees.h"
#include "plot/plot.h"
#include "runtime/bopmem.h"

namespace {

TEST(PlotRecords, GrowthAndRelease) {
  int64_t before = XMEM;
  plotvector plots = {};
  timevector times = {};
  std::vector<int> caps;
  for (int k = 1; k <= 17; k++) {
    ASSERT_EQ(plot_one_more_1(&plots), k);
    plots.data[k - 1].number = uint16_t(k);
  }
  caps.push_back(plots.capacity);
  for (int k = 1; k <= 11; k++) plot_one_more_2(&times);
  caps.push_back(times.capacity);  // 0 -> 10 -> 22
  EXPECT_EQ(caps, (std::vector<int>{32, 22}));
  EXPECT_EQ(plots.data[16].number + plots.data[0].number, 18);  // records kept across the move
  // Everything a record holds goes with it.
  plotrec &r = plots.data[2];
  trees_one_more(&r.exprs, trees_new_real_0(1));
  r.range[0] = trees_new_real_0(2);
  vector4d_new(&r.lines, 2, 2);
  vector3d_new(&r.lines.data[1], 3, 3);
  strings_copyto_1(&r.file, "out.tbl");
  vectord_one_more(&times.data[4].times, 0.5);
  plot_free_0(&plots);
  plot_free_1(&times);
  EXPECT_EQ(plots.count + plots.capacity + times.count + times.capacity, 0);
  EXPECT_EQ(XMEM, before);
}

TEST(PlotRecords, SharingKeys) {
  plotdatavector v = {};
  auto add = [&](auto change) {
    plot_one_more_0(&v);
    plotdata &d = v.data[v.count - 1];
    d.created = 1;
    d.points[0] = 51;
    change(d);
    return plot_assign_plot_mesh(&v);
  };
  auto none = [](plotdata &) {};
  EXPECT_EQ(add(none), 1);
  EXPECT_EQ(add(none), 1);
  EXPECT_EQ(add([](plotdata &d) { d.fill = 1; }), 2);
  EXPECT_EQ(add([](plotdata &d) { d.box[0] = 5; }), 1);  // the box counts only under the zoom flag
  EXPECT_EQ(add([](plotdata &d) { d.zoomed = 1, d.box[3] = 1; }), 3);
  EXPECT_EQ(add([](plotdata &d) { d.zoomed = 1, d.box[3] = 1; }), 3);
  EXPECT_EQ(add([](plotdata &d) { d.zoomed = 1, d.box[3] = 1, d.box[4] = -0.0; }), 3);
  EXPECT_EQ(add([](plotdata &d) { d.boundary = 2; }), 4);
  EXPECT_EQ(add([](plotdata &d) { d.cut = 1, d.plane[2] = 1; }), 5);
  EXPECT_EQ(add([](plotdata &d) { d.cut = 1, d.plane[2] = 1, d.plane[3] = 1e-300; }), 6);
  EXPECT_EQ(v.count, 6);
  plot_free_2(&v);
}

}  // namespace
