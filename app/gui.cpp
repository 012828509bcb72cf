// gui: the application's window classes, menus, windows and callbacks.
#include "app/gui.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "control/control.h"
#include "control/pdedat.h"
#include "model/pdedat_record.h"
#include "control/quendar.h"
#include "control/verdat.h"
#include "graphics/banner.h"
#include "graphics/display.h"
#include "graphics/appwin.h"
#include "graphics/gag.h"
#include "graphics/gag1d.h"
#include "graphics/gagscren.h"
#include "graphics/textman.h"
#include "app/views.h"
#include "app/windower.h"
#include "platform/pwin.h"
#include "plot/plot.h"
#include "runtime/owner.h"
#include "runtime/matrixn.h"
#include "runtime/rtlib.h"
#include "runtime/textin.h"
#include "graphics/gag3d.h"
#include "plot/doplot.h"
#include "solver/fitting.h"
#include "domain/domain.h"

#include <cmath>

static void rotation_classes();

uint16_t gui_rootview, gui_bannerview;
int32_t gui_screenwidth = 1024, gui_screenheight = 768, gui_captionheight, gui_top;
int32_t gui_editx, gui_edity, gui_editwidth, gui_editheight;
uint8_t gui_rooticonized;
int32_t gui_newcount;

static uint16_t rootclass, pdeclass, plotclass, editclass;

// A String over a literal, for the calls that only read it.
static String lit(const char *c) { return {uint16_t(strlen(c)), 0, const_cast<char *>(c)}; }

// The program title: the product name.
static const char *title() { return verdat_product.text ? verdat_product.text : "Quendar"; }

static bool live(const pde *p) { return p && p->phase != 0; }

// ---- Menus -------------------------------------------------------------------------------

struct MenuItem {
  const char *text;
  uint16_t id;
  std::vector<MenuItem> popup;  // a pop-up's items (id 0)
};

static uint32_t build_menu(const std::vector<MenuItem> &items, bool popup) {
  uint32_t menu = popup ? gag_newsubmenu() : gag_newmenu();
  for (const MenuItem &i : items) {
    String t = lit(i.text);
    gag_newmenuitem(menu, i.id, i.popup.empty() ? 0 : build_menu(i.popup, true), &t);
  }
  return menu;
}

static void define_menus() {
  const std::vector<MenuItem> plot = {
      {"&Setup", GUI_SETUP, {}}, {"&Print", GUI_PRINT, {}}, {"&Black_Print", GUI_BLACKPRINT, {}},
      {"E&xport", 0, {{"&EMF", GUI_EXPORT, {}}}}};
  std::vector<MenuItem> plot3d = plot, domain = plot;
  plot3d.push_back({"&Rotate", GUI_ROTATE, {}});
  domain.push_back({"&Run", GUI_DOMAIN_RUN, {}});
  domain.push_back({"&Edit", GUI_DOMAIN_EDIT, {}});
  const std::pair<const char *, std::vector<MenuItem>> menus[] = {
      {"RootMenu",
       {{"E&xit", GUI_EXIT, {}}, {"&New", GUI_NEW, {}}, {"&Open", GUI_OPEN, {}},
        {"&Import", 0, {{"&DXF", GUI_IMPORT_DXF, {}}}}, {"&View", GUI_VIEW, {}}, {"&Help", GUI_HELP, {}}}},
      {"HaltedMenu",
       {{"&File", 0,
         {{"&Close", GUI_CLOSE, {}}, {"&Save", GUI_SAVE, {}}, {"Save &As...", GUI_SAVEAS, {}},
          {"&Print All", GUI_PRINTALL, {}}}},
        {"&Modify", GUI_MODIFY, {}},
        {"&Continue", GUI_CONTINUE, {}}}},
      {"RunningMenu", {{"&Stop", GUI_STOP, {}}, {"&Finish", GUI_FINISH, {}}}},
      {"PlotMenu", plot},
      {"PlotMenu3d", plot3d},
      {"DomainMenu", domain},
      {"EditMenu",
       {{"A&bandon", GUI_EDIT_ABANDON, {}},
        {"&Edit", 0,
         {{"&Undo\tCtrl+Z", 2000, {}}, {"-", 0, {}}, {"Cu&t\tCtrl+X", 2001, {}},
          {"&Copy\tCtrl+C", 2002, {}}, {"&Paste\tCtrl+V", 2003, {}}}},
        {"&Save", GUI_EDIT_SAVE, {}},
        {"Save &As...", GUI_EDIT_SAVEAS, {}},
        {"&Domain", GUI_EDIT_DOMAIN, {}},
        {"&Run", GUI_EDIT_RUN, {}},
        {"&Print", 2010, {}}}},
  };
  for (const auto &[name, items] : menus) gagscren_definemenu(name, build_menu(items, false));
}

// ---- Questions -----------------------------------------------------------------------------

// A yes/no question over the view, else over the main window, else with no owner.
static bool ask(uint16_t view, const char *text, const char *title) {
  return gag_yesnomessageindirect(view, text, title) != 0;
}

// ---- Finding problems -----------------------------------------------------------------------

template <typename F>
static pde *find_pde(F matches) {
  for (int k = 1; k <= pdedat_count; k++)
    if (live(pdedat_table[k]) && matches(pdedat_table[k])) return pdedat_table[k];
  return nullptr;
}

// True when a problem can be opened; otherwise the user is told why on the view.
static bool slot_free(uint16_t view) {
  if (pdedat_count < PDEDAT_MAX_PDES) return true;
  for (int k = 1; k <= pdedat_count; k++)
    if (!pdedat_table[k] || pdedat_table[k]->phase == 0) return true;
  String m = lit("Too Many Open PDE's"), c = lit("ERROR");
  gag_showmessage(view, &m, &c);
  return false;
}

// The window of a plot's mode (mode 1 without a mode table: the plot's own).
static uint16_t mode_window(const plotrec *r, uint16_t mode) {
  if (r->modeviews.rows >= mode && r->modeviews.cols >= 1) return r->modeviews.data[(mode - 1) * r->modeviews.cols];
  return mode == 1 ? r->views[0] : 0;
}

gui_found find_plot(uint16_t window) {
  for (int k = 1; k <= pdedat_count; k++) {
    pde *p = pdedat_table[k];
    if (!live(p)) continue;
    if (p->domainview == window) return {p, 0, 0};
    if (p->eigen && p->eigview == window) return {p, 0, 0};
    for (int32_t i = 1; i <= p->plotrecs.count; i++) {
      const plotrec *r = &p->plotrecs.data[i - 1];
      uint16_t modes = p->eigen && p->modes ? p->modes : 1;
      for (uint16_t m = 1; m <= modes; m++)
        if (mode_window(r, m) == window) return {p, uint16_t(i), uint16_t(p->eigen ? m : 0)};
    }
  }
  return {report_current, 0, 0};
}

// ---- Problems ---------------------------------------------------------------------------------

static void close_log(pde *p) {
  if (!p->logopen || !p->log) return;
  if (p->log != settings.batchlog) pdedat_close_log(p->log);
  p->log = nullptr;
  p->logopen = 0;
}

static void retitle(pde *p) {
  gag_setcaption(p->pdeview, &p->name);
  if (checkview(p->editview)) {
    String c{};
    strings_copyto_0(&c, &p->name);
    strings_addto_1(&c, ".");
    strings_addto_0(&c, &verdat_pdeext);
    gag_setcaption(p->editview, &c);
    strings_free_0(&c);
  }
}

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
      retitle(p);
    }
  }
  p->modified = 0;
  for (String *s : {&m, &ext, &choice}) strings_free_0(s);
}

// Takes the descriptor's text back from the editor while the editor shows it, so
// that what was typed there counts as a change; the text it edits otherwise (an
// INCLUDE or TABLE file) is left to its own Save.
static void read_back_editor(pde *p) {
  if (!checkview(p->editview) || !gag_ifvisible(p->editview)) return;
  uint16_t text = p->edittext ? p->edittext : p->desctext;
  if (textman_get_edit_text(text, p->editview) && text == p->desctext) p->modified = 1;
}

bool close_pde(pde *p, uint16_t window) {
  TRACE("close_pde");
  read_back_editor(p);
  if (p->phase != 0 && p->phase != 10 && !p->error) {
    std::string q = std::string("Quit ") + (p->name.text ? p->name.text : "") + "?";
    if (!ask(window, q.c_str(), title())) return false;
    if (p->modified) gui_check_save(p);
    p->error = 1;
  } else if (p->modified) {
    gui_check_save(p);
  }
  p->stop = 1;
  p->close = 1;
  return p->close != 0;
}

bool saveasname(String *path, pde *p, uint16_t window) {
  TRACE("saveasname");
  String dir{}, ext{};
  gag_getcurrentdirectory(&dir);
  if (gagscren_if_readonly(dir.text ? dir.text : "")) {
    if (p->fallback.length == 0) gag_gettempdirectory(&p->fallback);
    strings_copyto_0(&dir, &p->fallback);
  }
  strings_copyto_0(path, &dir);
  strings_addto_0(path, &p->name);
  strings_copyto_0(&ext, &verdat_pdeext);
  bool ok = gag_getsavefilename(checkview(window) ? window : p->pdeview, &ext, path, &ext) && path->length > 0;
  strings_free_0(&dir);
  strings_free_0(&ext);
  return ok;
}

// ---- Windows ----------------------------------------------------------------------------------

void gui_haltmenu(pde *p) {
  String m = lit("HaltedMenu");
  gag_setmenu_1(p->pdeview, &m);
}

void gui_runmenu(pde *p) {
  String m = lit("RunningMenu");
  gag_setmenu_1(p->pdeview, &m);
}

void gui_pde_window(pde *p) {
  TRACE("gui_pde_window");
  if (p->pdeview || !pdeclass) return;
  // 1. The problem window, a column 150 wide under the main window's menu.
  int32_t height = 480 - gui_top;
  p->pdeview = gag_newwindow_1(gui_rootview, pdeclass, 0, int16_t(gui_top), 150, uint16_t(height), &p->name, 0, 3);
  p->windowopen = 1;
  // 2. The status panel over the whole window (drawn again on every paint, so it
  // records nothing), and the full-area view.
  pointd rel{};
  gag_askrelsize(p->pdeview, &rel);
  uint16_t panel = gag_newview_1(p->pdeview, 0, 0, rel.x, rel.y, 1);
  display_initpad(&p->status, uint16_t(0.0625 * height), panel);
  p->status.key = &p->stop;
  p->meshview = gag_newview_1(p->pdeview, 0, 0, 1, 1, 0);
  // 3. The editor, hidden.
  String caption{};
  strings_copyto_0(&caption, &p->name);
  strings_addto_1(&caption, ".");
  strings_addto_0(&caption, &verdat_pdeext);
  p->editview = gag_newwindow_1(p->pdeview, editclass, int16_t(gui_editx), int16_t(gui_edity), uint16_t(gui_editwidth),
                                uint16_t(gui_editheight), &caption, 0, 2);
  strings_free_0(&caption);
  // 4. The domain window, hidden.
  p->domainview = gag_newwindow_1(p->pdeview, plotclass, 150, int16_t(gui_top), 640, 480, &p->name, 0, 2);
}

void gui_edit_pde(pde *p) {
  TRACE("gui_edit_pde");
  gag_showwindow(p->editview, 3);
  // Through the run controller's editor service, which is textman's unless a
  // test replaces it; position 0 selects nothing.
  TextLoc start{p->desctext, 0, 0};
  if (control_services.edit_text(p->desctext, p->editview, &start)) {
    p->stagevalue = 1.0;
    p->prevphase = p->phase;
    p->phase = 2;
    p->edittext = p->desctext;
    p->stage = 1;
  } else {
    p->error = 1;
  }
}

// One hidden plot window with its frame and legend views (relative units of a 4:3
// window); a SUMMARY's text runs across the legend's place.
static void plot_window(pde *p, const plotrec *r, uint16_t out[3]) {
  StringOwner title;
  plot_caption(title.get(), r);
  out[0] = gag_newwindow_1(p->pdeview, plotclass, 0, 0, 640, 480, title.get(), 0, 2);
  if (r->kind == PLOT_GRID3 || r->kind == PLOT_SURFACE) {
    String m = lit("PlotMenu3d");
    gag_setmenu_1(out[0], &m);
  }
  out[1] = gag_newview_1(out[0], 0.04, 0.11, r->kind == PLOT_SUMMARY ? 1.35 : 0.89, 0.96, 0);
  out[2] = gag_newview_1(out[0], 0.9, 0.1, 1.35, 0.94, 0);
}

void gui_build_windows(pde *p) {
  TRACE("gui_build_windows");
  if (p->plotrecs.count == 0 || !plotclass) return;
  // 1. The eigenvalue window.
  if (p->eigen) {
    String c = lit("Eigenvalues");
    p->eigview = gag_newwindow_1(p->pdeview, plotclass, 0, 0, 640, 480, &c, 0, 2);
  }
  // 2.-3. A window per plot, and per mode of an eigenvalue problem.
  for (int32_t k = 1; k <= p->plotrecs.count; k++) {
    plotrec *r = &p->plotrecs.data[k - 1];
    plot_window(p, r, r->views);
    if (p->eigen && p->modes) {
      matrixn_resize(&r->modeviews, p->modes, 3);
      for (int j = 0; j < 3; j++) r->modeviews.data[j] = r->views[j];
      for (uint16_t m = 2; m <= p->modes; m++) plot_window(p, r, &r->modeviews.data[(m - 1) * 3]);
    }
  }
  // 4.
  p->windowsbuilt = 1;
}

// Every plot record's windows go, not only those of the monitors and plots, so that
// no window outlives the records a new parse makes.
void gui_close_plots(pde *p) {
  TRACE("gui_close_plots");
  for (int32_t k = 1; k <= p->plotrecs.count; k++) {
    plotrec *r = &p->plotrecs.data[k - 1];
    for (int32_t m = 2; m <= r->modeviews.rows; m++) gag_killview(r->modeviews.data[(m - 1) * r->modeviews.cols]);
    gag_killview(r->views[0]);
    r->views[0] = r->views[1] = r->views[2] = 0;
    matrixn_free(&r->modeviews);
  }
  if (p->eigview) gag_killview(p->eigview);
  p->eigview = 0;
  p->deferred.count = 0;
  p->windowsbuilt = 0;
}

bool gui_warngrid(pde *p, int32_t cells, double maxerr) {
  TRACE("gui_warngrid");
  char text[160];
  snprintf(text, sizeof text, "Exceeded Regrid Limit.\n%d Cells exceed errlim\nMax err is %g\nContinue gridding?",
           int(cells), maxerr);
  String m = lit(text), c = lit("GRID LIMIT");
  return pdedat_yesno_message(p->pdeview, &m, &c) != 0;
}

// ---- Callbacks: the main window --------------------------------------------------------------

// The name of the next new problem: PROBn.pde in the current directory, skipping
// numbers whose file exists so that nothing is written over.
static void new_name(String *name) {
  String dir{};
  gag_getcurrentdirectory(&dir);
  for (;;) {
    char tail[32];
    snprintf(tail, sizeof tail, "PROB%d.", int(++gui_newcount));
    strings_copyto_0(name, &dir);
    strings_addto_1(name, tail);
    strings_addto_0(name, &verdat_pdeext);
    if (access(name->text, F_OK) != 0) break;
  }
  strings_free_0(&dir);
}

// The open dialog for an extension; true on a non-empty choice, in path.
static bool choose(uint16_t view, const char *extension, String *path) {
  String ext = lit(extension);
  gag_getcurrentdirectory(path);
  return gag_getopenfilename(view, &ext, path) && path->length > 0;
}

static int32_t root_command(uint16_t view, int32_t id) {
  String path{};
  switch (id) {
    case GUI_NEW: {
      if (!slot_free(view)) break;
      new_name(&path);
      pde *p = pdedat_new_pde(&path);
      if (!p) break;
      gui_pde_window(p);
      p->desctext = textin_create_text_1(&path, 1, &quendar_skeleton);
      p->runflag = 0;
      p->phase = 4;
      break;
    }
    case GUI_OPEN:
    case GUI_IMPORT_DXF:
      if (!slot_free(view) || !choose(view, id == GUI_OPEN ? "pde" : "DXF", &path)) break;
      if (pde *p = pdedat_new_pde(&path)) {
        p->runflag = 0;
        if (id == GUI_IMPORT_DXF) p->phase = 12;
      }
      break;
    case GUI_HELP:
      strings_copyto_0(&path, &verdat_product);
      strings_addto_1(&path, ".HLP");
      gag_showhelp(view, &path);
      break;
    case GUI_VIEW:
      if (choose(view, "pgx", &path)) views_view_pde(&path);
      break;
    default: break;
  }
  strings_free_0(&path);
  return 0;
}

static int32_t rootwinfunc(uint16_t view, int16_t event, intptr_t a, intptr_t b) {
  switch (event) {
    case msg_menu:
      if ((a & 0xffff) != GUI_EXIT) return root_command(view, int32_t(a & 0xffff));
      [[fallthrough]];
    case msg_close:
      for (int k = 1; k <= pdedat_count; k++)
        if (live(pdedat_table[k]) && !close_pde(pdedat_table[k], view)) return 0;
      if (!settings.batch || ask(view, "Abandon Batch Run?", title())) quendar_running = 0;
      return 0;
    case msg_destroy: quendar_running = 0; break;
    case msg_iconize:
      if (!gui_rooticonized) {
        gui_rooticonized = 1;
        for (int k = 1; k <= pdedat_count; k++)
          if (live(pdedat_table[k])) pdedat_table[k]->iconized = 1;
      }
      break;
    case msg_size: gui_rooticonized = 0; break;
    case msg_paint: banner_show_banner(gui_bannerview); return 0;
    default: break;
  }
  return gag_defaultwinfunc(view, event, a, b);
}

// ---- Callbacks: the problem window -----------------------------------------------------------

static void log_request(pde *p, const char *line) {
  if (!p->logopen || !p->log) return;
  pdedat_log_time_1(p);
  fputs(line, p->log);
  fflush(p->log);
}

// Every visible plot window (with every visible mode window), then the visible
// eigenvalue window once, as one landscape document.
static void print_all(pde *p) {
  std::vector<uint16_t> pages;
  for (int32_t k = 1; k <= p->plotrecs.count; k++) {
    const plotrec *r = &p->plotrecs.data[k - 1];
    uint16_t modes = p->eigen && p->modes ? p->modes : 1;
    for (uint16_t m = 1; m <= modes; m++)
      if (gag_ifvisible(mode_window(r, m))) pages.push_back(mode_window(r, m));
  }
  if (p->eigen && gag_ifvisible(p->eigview)) pages.push_back(p->eigview);
  for (size_t i = 0; i < pages.size(); i++) gag_printwindow_2(pages[i], 2, 0, i == 0, i + 1 == pages.size());
}

static void write_descriptor(pde *p, const String *path) {
  if (path) textin_write_text_1(p->desctext, path);
  else textin_write_text_0(p->desctext);
  p->modified = 0;
}

static int32_t probwinfunc(uint16_t view, int16_t event, intptr_t a, intptr_t b) {
  pde *p = find_pde([view](pde *q) { return q->pdeview == view; });
  if (!p) return 0;
  switch (event) {
    case msg_close:
      if (!close_pde(p, view)) return 0;
      break;
    case msg_destroy: p->windowopen = 0; break;
    case msg_iconize: p->iconized = 1; break;
    case msg_paint: display_redisplay(&p->status); return 0;
    case msg_size:
      if (p->iconized && p->deferred.count) windower_do_tiling(p);
      p->iconized = 0;
      gag_fitview(uint16_t(p->status.view));  // the panel fills what the menu bar leaves
      break;
    case msg_menu: {
      String path{};
      switch (a & 0xffff) {
        case GUI_MODIFY:
          if (p->domainonly) {
            p->domainonly = 0;
            p->goon = 0;
          } else if (p->phase != 2) {
            p->stop = p->stopped = 0;
            gui_edit_pde(p);
          }
          break;
        case GUI_CONTINUE:
          if (p->phase != 10) {
            gui_runmenu(p);
            p->stop = p->stopped = 0;
          }
          break;
        case GUI_SAVE: write_descriptor(p, nullptr); break;
        case GUI_SAVEAS:
          if (saveasname(&path, p, view)) {
            write_descriptor(p, &path);
            pdedat_setpdename(p, &path);
            retitle(p);
            close_log(p);
          }
          break;
        case GUI_CLOSE: close_pde(p, view); break;
        case GUI_PRINTALL: print_all(p); break;
        case GUI_STOP:
          log_request(p, "USER STOP\n");
          p->stop = 1;
          break;
        case GUI_FINISH:
          log_request(p, "USER FINISH\n");
          p->skipstages = 1;
          break;
        default: strings_free_0(&path); return gag_defaultwinfunc(view, event, a, b);
      }
      strings_free_0(&path);
      return 0;
    }
    default: break;
  }
  return gag_defaultwinfunc(view, event, a, b);
}

// ---- Callbacks: plot windows --------------------------------------------------------------------

static void export_window(uint16_t view) {
  gui_found f = find_plot(view);
  if (!f.p) return;
  char number[8];
  snprintf(number, sizeof number, "%02d", int(f.plot));
  String name{}, ext = lit(f.p->metafile ? "WMF" : "EMF");
  strings_copyto_0(&name, &f.p->name);
  strings_addto_1(&name, number);
  if (gag_getsavefilename(view, &ext, &name, &ext) && name.length > 0) {
    pointl size{};
    gag_askpixsize(view, &size);
    gag_exportwindow(view, &name, f.p->metafile ? 1 : 0, size.x > 0 ? size.x : 640);
  }
  strings_free_0(&name);
}

static int32_t plotwinfunc(uint16_t view, int16_t event, intptr_t a, intptr_t b) {
  switch (event) {
    case msg_destroy: return 0;
    case msg_size:
      if (b >= 321) gag_enablemenu_0(view);
      else if (b < 280) gag_disablemenu(view);
      break;
    case msg_menu:
      switch (a & 0xffff) {
        case GUI_PRINT: gag_printwindow_2(view, 2, 0, 1, 1); return 0;
        case GUI_BLACKPRINT: gag_printwindow_2(view, 2, 1, 1, 1); return 0;
        case GUI_SETUP: gag_printsetup_0(view); return 0;
        case GUI_EXPORT: export_window(view); return 0;
        case GUI_ROTATE: {
          int32_t k = buildrotation(view);
          if (k) showrotation(k);
          return 0;
        }
        case GUI_DOMAIN_RUN:
        case GUI_DOMAIN_EDIT: {
          gui_found f = find_plot(view);
          if (f.p) {
            f.p->domainonly = 0;
            f.p->goon = (a & 0xffff) == GUI_DOMAIN_RUN;
          }
          return 0;
        }
        default: break;
      }
      break;
    default: break;
  }
  return gag_defaultwinfunc(view, event, a, b);
}

// ---- Callbacks: the editor --------------------------------------------------------------------

static int32_t edit_command(pde *p, uint16_t view, int32_t id) {
  String path{};
  uint16_t text = p->edittext ? p->edittext : p->desctext;
  bool descriptor = text == p->desctext;
  switch (id) {
    case GUI_EDIT_ABANDON:
      if (close_pde(p, view)) gag_showwindow(view, 2);
      break;
    case GUI_EDIT_SAVE:
      textman_get_edit_text(text, view);
      textin_write_text_0(text);
      if (descriptor) p->modified = 0;
      break;
    case GUI_EDIT_SAVEAS:
      if (!saveasname(&path, p, view)) break;
      textman_get_edit_text(text, view);
      textin_write_text_1(text, &path);
      if (descriptor) {
        p->modified = 0;
        pdedat_setpdename(p, &path);
        retitle(p);
        close_log(p);
      }
      break;
    case GUI_EDIT_RUN:
    case GUI_EDIT_DOMAIN: {
      p->domainonly = id == GUI_EDIT_DOMAIN;
      bool changed = textman_get_edit_text(text, view);
      if (descriptor) {
        // Edits not yet saved stay offered for saving over later runs.
        p->modified = p->modified || changed;
        if (changed) {
          strings_copyto_0(&path, &p->directory);
          strings_addto_1(&path, "run_temp.pde");
          textin_copy_text(p->desctext, &path);
        }
      } else {
        textin_write_text_0(text);
      }
      gui_close_plots(p);
      p->phase = 3;
      gag_showwindow(view, 2);
      break;
    }
    default: break;
  }
  strings_free_0(&path);
  return 0;
}

static int32_t editwinfunc(uint16_t view, int16_t event, intptr_t a, intptr_t b) {
  pde *p = find_pde([view](pde *q) { return q->editview == view; });
  if (!p) return gag_defaultwinfunc(view, event, a, b);
  switch (event) {
    case msg_close: {
      // The text is read back first, so that Modify shows what was typed.
      read_back_editor(p);
      gag_showwindow(view, 2);
      p->phase = 10;
      gui_haltmenu(p);
      return 0;
    }
    case msg_menu: return edit_command(p, view, int32_t(a & 0xffff));
    default: return gag_defaultwinfunc(view, event, a, b);
  }
}

// ---- Start-up ---------------------------------------------------------------------------------

static uint16_t register_class(gag_callback f, const char *name, const char *menu, const char *image,
                               uint32_t style) {
  String n = lit(name), m = lit(menu ? menu : ""), i = lit(image ? image : "");
  return gag_newwindowclass_5(f, &n, menu ? &m : nullptr, image ? &i : nullptr, style);
}

void gui_graphinit() {
  TRACE("gui_graphinit");
  // 1. The desktop, and recording on.
  gagscren_askscreen(&gui_screenwidth, &gui_screenheight);
  gui_captionheight = gagscren_askheader();
  gag_setreplay(1);
  define_menus();
  // 2. The main window with its banner strip (1/15 of its width high, along the top).
  rootclass = register_class(rootwinfunc, "rootwin", "RootMenu", "KessimUran", GAG_NOMAX);
  int32_t height = verdat_fullheight ? gui_screenheight : gui_screenwidth / 14 + 40;
  String title{};
  strings_copyto_0(&title, &verdat_product);
  gui_rootview = gag_newwindow_1(0, rootclass, 1, 1, uint16_t(gui_screenwidth), uint16_t(height), &title, 0, 2);
  gag_mainview = gui_rootview;
  strings_free_0(&title);
  pointd rel{};
  gag_askrelsize(gui_rootview, &rel);
  gui_bannerview = gag_newview_1(gui_rootview, 0, rel.y - rel.x / 15, rel.x, rel.y, 1);
  gag_scaleview_1(gui_bannerview, 0, 0, 15, 1);
  gag_showwindow(gui_rootview, 3);
  // 3. The top edge of the problem windows.
  pointl client{};
  gag_askpixsize(gui_rootview, &client);
  gui_top = height - client.y;
  // 4. The other classes.
  pdeclass = register_class(probwinfunc, "pdewin", "HaltedMenu", nullptr, GAG_NOMAX);
  plotclass = register_class(plotwinfunc, "plotwin", "PlotMenu", nullptr, GAG_NOCLOSE | GAG_NOMIN);
  rotation_classes();
  views_view_class();
  gag1d_init();
  editclass = register_class(editwinfunc, "editwin", "EditMenu", nullptr, GAG_EDIT);
  // 5. The editor's place.
  gui_editx = 150;
  if (gui_screenwidth - 150 < 640) {
    gui_editx = gui_screenwidth - 640 > 0 ? gui_screenwidth - 640 : 0;
    gui_editwidth = gui_screenwidth - gui_editx < 640 ? gui_screenwidth - gui_editx : 640;
  } else {
    gui_editwidth = 640;
  }
  gui_edity = gui_top;
  gui_editheight = gui_screenheight - gui_top - 40;
  // 6.
  display_textcolour = colour_black;
}

int gui_init() {
  TRACE("gui");
  // The calls run control, the drivers and the readers make of these windows.
  appwin.graphinit = gui_graphinit;
  appwin.pde_window = gui_pde_window;
  appwin.edit_pde = gui_edit_pde;
  appwin.build_windows = gui_build_windows;
  appwin.close_plots = gui_close_plots;
  appwin.check_save = gui_check_save;
  appwin.warngrid = gui_warngrid;
  appwin.haltmenu = gui_haltmenu;
  appwin.runmenu = gui_runmenu;
  return 0;
}

// ---- Rotation windows ------------------------------------------------------------------------

rotation gui_rotations[4];
static uint16_t rotclass, roteigclass;
static constexpr double degree = 0.017453292;

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
