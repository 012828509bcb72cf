// Rotation windows over the plot windows of a problem: the angles brought into range,
// the scroll bars, the orientation model's recorded lines, the four records, and the
// redrawn plots appended to the plot file as read back by the independent walker.
#include <cmath>

#include "control/pdedat.h"
#include "model/pdedat_record.h"
#include "app/gui.h"
#include "plot/doplot.h"
#include "plot/plot.h"
#include "tests/graphics/fixture.h"

namespace {

struct Rotation : Graphics {
  std::unique_ptr<pde> p{new pde{}};
  std::string path;
  void SetUp() override {
    Graphics::SetUp();
    doplot_init();
    p->phase = 1;
    pdedat_table[++pdedat_count] = p.get();
  }
  // Plots of the kind, each with a window per mode; the plot file opened with its header.
  void plots(int n, int modes, int32_t kind = PLOT_SURFACE) {
    path = dir.file("t.pgx");
    String name = text(path.c_str());
    filio_open_put_1(&p->plotfile, 4096, &name);
    String v = text("version");
    filio_put_string(&p->plotfile, &v);
    filio_put_string(&p->plotfile, &v);
    for (int x : {n, modes, 0}) filio_put_ushort(&p->plotfile, uint16_t(x));
    p->modes = uint16_t(modes);
    p->eigen = modes > 0;
    for (int k = 1; k <= n; k++) {
      plot_one_more_1(&p->plotrecs);
      plotrec &r = p->plotrecs.data[k - 1];
      r.number = uint16_t(k), r.kind = kind;
      std::string title = "S" + std::to_string(k);
      String c = text(title.c_str());
      strings_resize_1(&r.titles, 1, 1);
      strings_copyto_0(&r.titles.items[0], &c);
      r.views[0] = r.views[1] = window(400, 300);
      if (modes) {
        matrixn_resize(&r.modeviews, uint16_t(modes), 3);
        for (int m = 1; m <= modes; m++)
          for (int j = 0; j < 3; j++) r.modeviews.data[(m - 1) * 3 + j] = m == 1 ? r.views[0] : window(400, 300);
      }
    }
  }
  void TearDown() override {
    for (int k = 1; k <= 4; k++)
      if (gui_rotations[k - 1].window) window_func(gui_rotations[k - 1].window, msg_menu, GUI_CANCEL, 0);
    if (p->plotfile.state) filio_close_put(&p->plotfile);
    for (int k = 0; k < p->plotrecs.count; k++) matrixn_free(&p->plotrecs.data[k].modeviews);
    plot_free_0(&p->plotrecs);
    plot_free_2(&p->plotdatas);
    strings_free_0(&p->plotfile.name);
    strings_free_0(&p->plotfile.temp);
    display_free(&p->status);
    pdedat_table[pdedat_count--] = nullptr;
    Graphics::TearDown();
  }
  uint16_t plot_window(int plot, int mode = 1) {
    const plotrec &r = p->plotrecs.data[plot - 1];
    return r.modeviews.rows ? r.modeviews.data[(mode - 1) * 3] : r.views[0];
  }
  std::string walk() {
    filio_close_put(&p->plotfile);
    return run("python3 " QUENDAR_SOURCE_DIR "/tests/plot/pgxwalk.py " + path + " | tr '\\n' ';'");
  }
};

TEST_F(Rotation, AnglesComeIntoRange) {
  plots(1, 0);
  // The eye 10 units east of the box centre (2, 1.5), 30 degrees up: distance 2 diagonals.
  plot_one_more_0(&p->plotdatas);
  double box[6] = {0, 0, 0, 4, 3, 1};
  memcpy(p->plotdatas.data[0].box, box, sizeof box);
  p->plotrecs.data[0].data = 1;
  double *eye = p->plotrecs.data[0].viewpoint;
  eye[0] = 12, eye[1] = 1.5, eye[2] = 30.5 * 0.017453292;
  int32_t k = buildrotation(plot_window(1));
  ASSERT_EQ(k, 1);
  rotation &o = gui_rotations[0];
  EXPECT_EQ(std::make_pair(o.azimuth, o.elevation), std::make_pair(180, 30));
  EXPECT_DOUBLE_EQ(o.distance, 2);
  const struct {
    int16_t event;
    intptr_t code, position;
    int32_t elevation, azimuth;  // before the event
    int32_t want_elevation, want_azimuth;
  } cases[] = {
      {msg_vscroll, 5, 181, 90, 90, 1, 270},   // dragged past the zenith
      {msg_vscroll, 0, 0, 0, 200, 179, 20},    // a line below the horizon
      {msg_vscroll, 0, 0, 0, 100, 179, 280},
      {msg_hscroll, 1, 0, 45, 360, 45, 1},     // a line past a full turn
      {msg_hscroll, 2, 0, 45, 5, 45, 355},     // a page back past 0
      {msg_hscroll, 4, 123, 45, 5, 45, 123},   // thumb position
      {msg_hscroll, 8, 0, 45, 77, 45, 77},     // end of scrolling: nothing
  };
  for (const auto &c : cases) {
    o.elevation = c.elevation, o.azimuth = c.azimuth;
    window_func(o.window, c.event, c.code, c.position);
    EXPECT_EQ(std::make_pair(o.elevation, o.azimuth), std::make_pair(c.want_elevation, c.want_azimuth)) << c.code;
  }
  pwin_window_state w = pwin_headless_window(rec(o.window)->window);
  EXPECT_EQ(std::vector<int32_t>(w.scroll[0], w.scroll[0] + 4), (std::vector<int32_t>{0, 360, 10, 123}));
  EXPECT_EQ(std::vector<int32_t>(w.scroll[1], w.scroll[1] + 4), (std::vector<int32_t>{0, 180, 10, 45}));
  EXPECT_NEAR(o.angles[0], (123 - 180) * 0.017453292, 1e-12);
  EXPECT_NEAR(o.angles[1], 45 * 0.017453292, 1e-12);
}

// The orientation model: the far edges as one line of 11 points, the arrows and the roof.
TEST_F(Rotation, OrientationModel) {
  plots(1, 0);
  int32_t k = buildrotation(plot_window(1));
  ASSERT_EQ(k, 1);
  showrotation(k);
  showrotation(k);  // cleared before it is drawn again
  uint16_t w = gui_rotations[0].window;
  std::map<uint8_t, int> draws, moves;
  for (const glop *e : entries(w, gldraw)) draws[e->colour]++;
  for (const glop *e : entries(w, glmove)) moves[e->colour]++;
  EXPECT_EQ(draws[colour_grey192], 10);
  EXPECT_EQ(moves[colour_grey192], 1);
  EXPECT_EQ(draws[colour_black], 6);
  EXPECT_EQ(draws[colour_band_blue], 3);
  EXPECT_EQ(draws[colour_band_red], 4);
}

TEST_F(Rotation, FourRecordsFreedByCancelAndDestruction) {
  plots(2, 0);
  uint16_t w = plot_window(1);
  for (int k = 1; k <= 4; k++) EXPECT_EQ(buildrotation(w), k);
  EXPECT_EQ(buildrotation(w), 0);
  window_func(gui_rotations[2].window, msg_menu, GUI_CANCEL, 0);
  EXPECT_EQ(gui_rotations[2].window, 0);
  EXPECT_EQ(buildrotation(plot_window(2)), 3);
  // The window destroyed with its plot window: the record is free.
  uint16_t lost = gui_rotations[3].window;
  gag_destroywindow(lost);
  EXPECT_EQ(gui_rotations[3].window, 0);
  EXPECT_EQ(buildrotation(w), 4);
  EXPECT_EQ(boxes_text(), "");
}

TEST_F(Rotation, OnlySurfaceAndGrid3Plots) {
  plots(1, 0, PLOT_CONTOUR);
  EXPECT_EQ(buildrotation(plot_window(1)), 0);
  EXPECT_EQ(boxes_text(), "ERROR: BAD ROTATE\n");
  EXPECT_EQ(gui_rotations[0].window, 0);
}

// Redraw appends a group of the redrawn window, All_Modes one of every mode's window,
// both numbered as the plot driver numbers them; a plot not recorded appends nothing.
TEST_F(Rotation, RedrawRecords) {
  plots(2, 3);
  int32_t k = buildrotation(plot_window(2, 2));
  ASSERT_EQ(k, 1);
  showrotation(k);
  EXPECT_EQ(gui_rotations[0].mode, 2);
  window_func(gui_rotations[0].window, msg_menu, GUI_REDRAW, 0);
  window_func(gui_rotations[0].window, msg_menu, GUI_ALLMODES, 0);
  p->plotrecs.data[1].flags |= plot_bit(6);  // a monitor, monitors not recorded
  window_func(gui_rotations[0].window, msg_menu, GUI_REDRAW, 0);
  window_func(gui_rotations[0].window, msg_menu, GUI_ALLMODES, 0);
  EXPECT_EQ(walk(), "header 2 3 0;group 1 5:S2;group 3 4:S2 5:S2 6:S2;");
  // The eye moved to the rotation's direction.
  const double *eye = p->plotrecs.data[1].viewpoint;
  EXPECT_NEAR(eye[2], gui_rotations[0].elevation * 0.017453292, 1e-12);
}

}  // namespace
