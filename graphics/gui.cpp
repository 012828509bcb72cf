// gui, headless: no windows; the editor is a line buffer that always takes the text.
#include "graphics/gui.h"

#include <cstdio>
#include <initializer_list>

#include "control/pdedat.h"
#include "control/verdat.h"
#include "graphics/display.h"
#include "graphics/gag.h"
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
static int32_t plot_events(uint16_t, int16_t, intptr_t, intptr_t) { return 0; }

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
