// gui, headless: no windows; the editor is a line buffer that always takes the text.
#include "graphics/gui.h"

#include <cmath>
#include <cstdio>
#include <initializer_list>

#include "control/pdedat.h"
#include "control/verdat.h"
#include "graphics/display.h"
#include "graphics/gag.h"
#include "graphics/gag3d.h"
#include "graphics/gagscren.h"
#include "plot/doplot.h"
#include "solver/fitting.h"
#include "domain/domain.h"
#include "plot/plot.h"
#include "runtime/matrixn.h"
#include "runtime/rtlib.h"
#include "runtime/textin.h"

void gui_graphinit() {}

void gui_pde_window(pde *p) {
  display_initpad(&p->status, 20, p->pdeview);
  p->status.key = &p->stop;
}

void gui_edit_pde(pde *p) {
  p->stage = 1;
  p->stagevalue = 1.0;
  p->prevphase = p->phase;
  p->phase = 2;
}

void gui_haltmenu(pde *) {}
void gui_runmenu(pde *) {}
static int32_t plot_events(uint16_t view, int16_t event, intptr_t a, intptr_t) {
  if (event == msg_menu && (a & 0xffff) == GUI_ROTATE) {
    int32_t k = buildrotation(view);
    if (k) showrotation(k);
  }
  return 0;
}

// One hidden plot window with its frame and legend views (relative units of a 4:3
// window); SUMMARY text runs across the legend's place.
static void plot_window(const String *title, int32_t kind, uint16_t out[3]) {
  static uint16_t plotclass = 0;
  if (!plotclass) {
    String name = {};
    strings_copyto_1(&name, "plotwin");
    plotclass = gag_newwindowclass_1(plot_events, &name, 0);
    strings_free_0(&name);
  }
  out[0] = gag_newwindow_1(0, plotclass, 0, 0, 640, 480, title, 0, 0);
  out[1] = gag_newview_1(out[0], 0.04, 0.11, kind == PLOT_SUMMARY ? 1.35 : 0.89, 0.96, 0);
  out[2] = gag_newview_1(out[0], 0.9, 0.1, 1.35, 0.94, 0);
}

// Headless plot windows: drawn into and recorded, never shown.
void gui_build_windows(pde *p) {
  TRACE("gui_build_windows");
  for (int32_t k = 1; k <= p->plotrecs.count; k++) {
    plotrec *r = &p->plotrecs.data[k - 1];
    String empty = {};
    plot_window(r->titles.count ? &r->titles.items[0] : &empty, r->kind, r->views);
    if (p->modes) {
      matrixn_resize(&r->modeviews, p->modes, 3);
      for (int j = 0; j < 3; j++) r->modeviews.data[j] = r->views[j];
      for (uint16_t m = 2; m <= p->modes; m++)
        plot_window(r->titles.count ? &r->titles.items[0] : &empty, r->kind, &r->modeviews.data[(m - 1) * 3]);
    }
  }
  p->windowsbuilt = 1;
}

// Kills the plot windows with their views.
void gui_close_plots(pde *p) {
  TRACE("gui_close_plots");
  for (int32_t k = 1; k <= p->plotrecs.count; k++) {
    plotrec *r = &p->plotrecs.data[k - 1];
    for (int32_t m = 2; m <= r->modeviews.rows; m++)
      if (checkview(r->modeviews.data[(m - 1) * r->modeviews.cols])) gag_killview(r->modeviews.data[(m - 1) * r->modeviews.cols]);
    if (checkview(r->views[0])) gag_killview(r->views[0]);
    r->views[0] = r->views[1] = r->views[2] = 0;
    matrixn_free(&r->modeviews);
  }
}
// Asks, titled with the product name, whether to save the modified descriptor; on
// Yes the save dialog offers the problem's name, and a chosen name receives the text
// and becomes the problem's name. The text counts as unmodified afterwards.
void gui_check_save(pde *p) {
  TRACE("gui_check_save");
  String m{}, ext{}, choice{};
  strings_copyto_0(&m, &p->name);
  strings_addto_1(&m, " has been modified.\nDo you want to save the changes?");
  if (pdedat_yesno_message(p->pdeview, &m, &verdat_product)) {
    strings_copyto_0(&ext, &verdat_pdeext);
    strings_copyto_0(&choice, &p->name);
    if (gag_getsavefilename(p->pdeview, &ext, &choice, &ext) && choice.length > 0 && p->desctext) {
      textin_write_text_1(p->desctext, &choice);
      pdedat_setpdename(p, &choice);
    }
  }
  p->modified = 0;
  for (String *s : {&m, &ext, &choice}) strings_free_0(s);
}

// Asks whether to refine beyond the grid limit: cells is the count of cells above the
// error limit, maxerr the largest cell error. True for Yes.
bool gui_warngrid(pde *p, int32_t cells, double maxerr) {
  TRACE("gui_warngrid");
  char text[160];
  snprintf(text, sizeof text, "Exceeded Regrid Limit.\n%d Cells exceed errlim\nMax err is %g\nContinue gridding?",
           int(cells), maxerr);
  String m{}, c{};
  strings_copyto_1(&m, text);
  strings_copyto_1(&c, "GRID LIMIT");
  bool yes = pdedat_yesno_message(p->pdeview, &m, &c) != 0;
  strings_free_0(&m);
  strings_free_0(&c);
  return yes;
}

int gui_init() {
  TRACE("gui");
  return 0;
}

// The problem's plot and mode of a window: each plot's window, or its window of a mode.
static uint16_t mode_window(const plotrec *r, uint16_t mode) {
  if (r->modeviews.rows >= mode && r->modeviews.cols >= 1) return r->modeviews.data[(mode - 1) * r->modeviews.cols];
  return mode == 1 ? r->views[0] : 0;
}

gui_found find_plot(uint16_t window) {
  for (int k = 1; k <= pdedat_count; k++) {
    pde *p = pdedat_table[k];
    if (!p || !p->phase) continue;
    for (int32_t i = 1; i <= p->plotrecs.count; i++) {
      const plotrec *r = &p->plotrecs.data[i - 1];
      uint16_t modes = p->eigen && p->modes ? p->modes : 1;
      for (uint16_t m = 1; m <= modes; m++)
        if (mode_window(r, m) == window) return {p, uint16_t(i), uint16_t(p->eigen ? m : 0)};
    }
  }
  return {pdedat_current, 0, 0};
}

// ---- Rotation windows ------------------------------------------------------------------------

rotation gui_rotations[4];
static uint16_t rotclass, roteigclass;
static constexpr double degree = 0.017453292;

static String lit(const char *c) { return {uint16_t(strings_length_1(c)), 0, const_cast<char *>(c)}; }

static void rotation_menu(const char *name, bool eig) {
  uint32_t menu = gag_newmenu();
  String cancel = lit("&Cancel"), again = lit("&Redraw"), all = lit("&All_Modes");
  gag_newmenuitem(menu, GUI_CANCEL, 0, &cancel);
  gag_newmenuitem(menu, GUI_REDRAW, 0, &again);
  if (eig) gag_newmenuitem(menu, GUI_ALLMODES, 0, &all);
  gagscren_definemenu(name, menu);
}

// The two classes of rotation windows, the second for eigenvalue problems.
static void rotation_classes() {
  if (rotclass) return;
  rotation_menu("RotateMenu", false);
  rotation_menu("RotateEigMenu", true);
  String name = lit("rotationwin"), menu = lit("RotateMenu");
  rotclass = gag_newwindowclass_3(rotationwinfunc, &name, &menu, GAG_CHILD | GAG_NOMAX | GAG_SCROLL);
  menu = lit("RotateEigMenu");
  roteigclass = gag_newwindowclass_3(rotationwinfunc, &name, &menu, GAG_CHILD | GAG_NOMAX | GAG_SCROLL);
}

static plotrec *plot_of(const gui_found &f) {
  return f.p && f.plot >= 1 && f.plot <= f.p->plotrecs.count ? &f.p->plotrecs.data[f.plot - 1] : nullptr;
}

static void rotation_error(uint16_t view, const char *text) {
  String m = lit(text), c = lit("ERROR");
  gag_showmessage(view, &m, &c);
}

int32_t buildrotation(uint16_t plotwindow) {
  TRACE("buildrotation");
  rotation_classes();
  int32_t k = 1;
  while (k <= 4 && gui_rotations[k - 1].window) k++;
  if (k > 4) return 0;
  gui_found f = find_plot(plotwindow);
  plotrec *r = plot_of(f);
  if (!r || (r->kind != PLOT_GRID3 && r->kind != PLOT_SURFACE)) {
    rotation_error(plotwindow, "BAD ROTATE");
    return 0;
  }
  pde *p = f.p;
  // The box the eye circles: the plot data's, or the domain's when that is empty.
  const plotdata *d = r->data >= 1 && r->data <= uint32_t(p->plotdatas.count) ? &p->plotdatas.data[r->data - 1] : nullptr;
  rect3d box = {};
  if (d && (d->box[3] > d->box[0] || d->box[4] > d->box[1]))
    box = {d->box[0], d->box[1], d->box[2], d->box[3], d->box[4], d->box[5]};
  else if (p->mesh.domain && p->mesh.domain->grid.box.x2 >= p->mesh.domain->grid.box.x1)
    box = p->mesh.domain->grid.box;
  plot_validate_viewpoint(r->viewpoint, &box);
  rotation &o = gui_rotations[k - 1];
  o = rotation{};
  String caption = lit("Rotate");
  o.window = gag_newwindow_1(plotwindow, p->eigen ? roteigclass : rotclass, 0, 0, 200, 200, &caption, 0, 3);
  o.plotwindow = plotwindow;
  o.found = f;
  o.mode = f.mode ? f.mode : 1;
  o.centre[0] = (box.x1 + box.x2) / 2, o.centre[1] = (box.y1 + box.y2) / 2;
  o.diagonal = std::hypot(box.x2 - box.x1, box.y2 - box.y1);
  double dx = r->viewpoint[0] - o.centre[0], dy = r->viewpoint[1] - o.centre[1];
  // A box without extent leaves the eye at the plots' default of three diagonals.
  o.distance = o.diagonal > 0 ? std::hypot(dx, dy) / o.diagonal : 3;
  o.eye = std::atan2(dy, dx);
  o.angles[0] = o.eye, o.angles[1] = r->viewpoint[2];
  o.azimuth = int32_t(std::trunc(o.eye / degree)) + 180;
  o.elevation = int32_t(std::trunc(r->viewpoint[2] / degree));
  return k;
}

void showrotation(int32_t k) {
  TRACE("showrotation");
  if (k < 1 || k > 4 || !checkview(gui_rotations[k - 1].window)) return;
  rotation &o = gui_rotations[k - 1];
  // Past the zenith or below the horizon the eye goes over to the other side.
  if (o.elevation > 180) o.elevation -= 180, o.azimuth += 180;
  if (o.elevation < 0) o.elevation += 180, o.azimuth -= 180;
  if (o.azimuth > 360) o.azimuth -= 360;
  if (o.azimuth < 0) o.azimuth += 360;
  gag_scrollseth(o.window, 0, 360, o.azimuth, 10);
  gag_scrollsetv(o.window, 0, 180, o.elevation, 10);
  o.angles[0] = (o.azimuth - 180) * degree;
  o.angles[1] = o.elevation * degree;
  // The orientation model: the unit cube seen from the new direction.
  plotframe f{};
  gag1d_init(&f);
  rect3d unit = {0, 0, 0, 1, 1, 1};
  gag3d_plotmap3_0(&f, &unit, o.distance, o.angles[1], o.angles[0], 0, 0, 0, 0, 1.1);
  gag_scaleview_0(o.window, &f.box);
  gag_clearview_1(o.window, 0);
  const transform3d *T = &f.transform;
  auto line = [&](point3d a, point3d b) { gag3d_drawline_3d(o.window, &a, &b, T); };
  static const point3d far[11] = {{1, 0, 1}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 1, 1}, {0, 0, 1},
                                  {1, 0, 1}, {1, 1, 1}, {1, 1, 0}, {1, 1, 1}, {0, 1, 1}};
  point3dlist edges = {};
  for (const point3d &q : far) point3d_one_more_0(&edges, &q);
  gag_setcolor_0(o.window, colour_grey192);
  gag3d_polyline_3d(o.window, &edges, T);
  point3d_free_1(&edges);
  // Arrows along the axes: the shaft to 1, the head reaching 1.15.
  auto arrow = [&](int axis) {
    point3d tip{}, l{}, r{};
    double *t = &tip.x, *a = &l.x, *b = &r.x;
    int side = axis == 2 ? 0 : 2 - axis;  // the head opens across a neighbouring axis
    t[axis] = 1.15, a[axis] = b[axis] = 1.0;
    a[side] = -0.05, b[side] = 0.05;
    line({0, 0, 0}, tip);
    line(l, tip);
    line(r, tip);
  };
  gag_setcolor_0(o.window, colour_black);
  arrow(0);
  arrow(1);
  gag_setcolor_0(o.window, colour_band_blue);
  arrow(2);
  gag_setcolor_0(o.window, colour_band_red);
  for (point3d c : {point3d{0, 0, 0}, point3d{1, 0, 0}, point3d{1, 1, 0}, point3d{0, 1, 0}}) line({0.5, 0.5, 1}, c);
}

static int32_t find_rotation(uint16_t view) {
  for (int32_t k = 1; k <= 4; k++)
    if (view && gui_rotations[k - 1].window == view) return k;
  return 0;
}

// Frees the record and the window's view with it.
static void release_rotation(int32_t k) {
  uint16_t w = gui_rotations[k - 1].window;
  gui_rotations[k - 1] = rotation{};
  if (checkview(w)) gag_killview(w);
}

int32_t rotationwinfunc(uint16_t view, int16_t event, intptr_t a, intptr_t b) {
  int32_t k = find_rotation(view);
  if (event == msg_destroy) {
    // The window is gone: its record is free again.
    if (k) gui_rotations[k - 1] = rotation{};
    return 0;
  }
  if (event != msg_hscroll && event != msg_vscroll && event != msg_menu) return gag_defaultwinfunc(view, event, a, b);
  if (!k) {
    rotation_error(view, "Lost Rotation Box");
    return 0;
  }
  rotation &o = gui_rotations[k - 1];
  if (event == msg_menu) {
    switch (a & 0xffff) {
      case GUI_REDRAW: redraw(o.plotwindow, k, 0); return 0;
      case GUI_ALLMODES: redraw(o.plotwindow, k, 1); return 0;
      case GUI_CANCEL: release_rotation(k); return 0;
      default: return gag_defaultwinfunc(view, event, a, b);
    }
  }
  // Scroll codes (a): 0 line back, 1 line on, 2 page back, 3 page on, 4 thumb
  // position, 5 thumb tracking (the position in b), 8 end of scroll.
  int32_t &angle = event == msg_hscroll ? o.azimuth : o.elevation;
  switch (a) {
    case 0: angle -= 1; break;
    case 1: angle += 1; break;
    case 2: angle -= 10; break;
    case 3: angle += 10; break;
    case 4: case 5: angle = int32_t(b); break;
    default: return 0;
  }
  showrotation(k);
  return 0;
}

void redraw(uint16_t, int32_t k, uint8_t allmodes) {
  TRACE("redraw");
  if (k < 1 || k > 4 || !gui_rotations[k - 1].window) return;
  rotation &o = gui_rotations[k - 1];
  plotrec *r = plot_of(o.found);
  if (!r) return;
  pde *p = o.found.p;
  r->viewpoint[0] = o.centre[0] + std::cos(o.angles[0]) * o.distance * o.diagonal;
  r->viewpoint[1] = o.centre[1] + std::sin(o.angles[0]) * o.distance * o.diagonal;
  r->viewpoint[2] = o.angles[1];
  // Monitors go to the plot file only when the problem records monitors.
  bool record = p->plotfile.state == FILIO_WRITING && !((r->flags & plot_bit(6)) && !p->hardmonitor);
  uint16_t modes = allmodes && p->modes ? p->modes : 1, first = allmodes ? 1 : o.mode, oldmode = p->mode;
  // Drawn again only: the plot's print file and metafile are not written once more.
  uint32_t flags = r->flags;
  r->flags &= ~(plot_bit(1) | plot_bit(21));
  if (record) pdedat_put_group(p, modes);
  for (uint16_t m = first; m < first + modes; m++) {
    if (p->modes) {
      p->mode = m;
      fitting_invalidate_fits(p, 3);
    }
    doplot_do_plot(p, o.found.plot, m, record);
  }
  r->flags = flags;
  if (p->modes && p->mode != oldmode) {
    p->mode = oldmode;
    fitting_invalidate_fits(p, 3);
  }
  if (record) {
    filio_put_ushort(&p->plotfile, 0);
    filio_put_buffer(&p->plotfile);
  }
}
