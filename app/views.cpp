// views: the viewer of a recorded plot file. The file is read group by group through
// one reader; the position of every group read so far is kept, so stepping back or
// restarting seeks there and reads again. Commands that arrive while a group is read
// or drawn (the pump runs inside both) only count up, and are carried out in turn
// once the group is complete.
#include "app/views.h"

#include <cstdio>
#include <deque>

#include "control/pdedat.h"
#include "control/verdat.h"
#include "graphics/display.h"
#include "graphics/appwin.h"
#include "graphics/gag.h"
#include "graphics/gagscren.h"
#include "app/gui.h"
#include "app/windower.h"
#include "platform/pwin.h"
#include "runtime/rtlib.h"

void (*views_delay)(uint16_t ms) = display_delay;

static std::deque<viewer> viewers;  // 1-based through views_record; records never move
static uint16_t viewclass, plotclass;

static String lit(const char *c) { return {uint16_t(strings_length_1(c)), 0, const_cast<char *>(c)}; }

static void message(uint16_t view, const char *text, const String *caption) {
  String t = lit(text);
  gag_showmessage(view, &t, caption);
}
static void error(uint16_t view, const char *text) {
  String c = lit("ERROR");
  message(view, text, &c);
}
static void setmenu(uint16_t view, const char *name) {
  String n = lit(name);
  if (checkview(view)) gag_setmenu_1(view, &n);
}

viewer *views_record(int32_t k) { return k >= 1 && k <= int32_t(viewers.size()) ? &viewers[size_t(k - 1)] : nullptr; }
int32_t views_record_count() { return int32_t(viewers.size()); }

viewer *views_find(uint16_t window) {
  if (!window) return nullptr;
  for (viewer &v : viewers) {
    if (!v.window) continue;
    if (v.window == window) return &v;
    for (int32_t i = 1; i <= v.group.count; i++)
      if (v.windows.data[v.group.data[i - 1]] == window) return &v;
  }
  return nullptr;
}

// ---- Reading ------------------------------------------------------------------------------

// The plot window of a slot, made on first use: hidden, a frame view and a legend view.
static uint16_t slot_window(viewer *v, uint16_t slot) {
  uint16_t &w = v->windows.data[slot];
  if (w && checkview(w)) return w;
  w = gag_newwindow_1(v->window, plotclass, 0, 0, 640, 480, &v->name, 0, 0);
  gag_newview_1(w, 0.04, 0.11, 0.89, 0.96, 0);
  gag_newview_1(w, 0.9, 0.1, 1.35, 0.94, 0);
  if (v->timed || v->staged) setmenu(w, "VPlotMenuT");
  return w;
}

// Reads the group after the current one; the number of its plots, 0 at the end of the
// file or when the group does not read whole (garbled set: the message was shown).
static int32_t read_group(viewer *v, bool *garbled) {
  TRACE("read_group");
  IOfile *f = &v->file;
  int32_t g = v->current + 1;
  if (g > v->positions.count) {
    int64_t at = filio_get_file_pos(f);
    if (at > INT32_MAX) return 0;
    vectorl_one_more(&v->positions, int32_t(at));
  }
  int32_t nodes = filio_get_long(f);
  if (nodes <= 0 || filio_eof(f)) return 0;
  int32_t cells = filio_get_long(f);
  double rms = filio_get_double(f), time = filio_get_double(f);
  uint16_t step = filio_get_ushort(f), stage = filio_get_ushort(f), grid = filio_get_ushort(f);
  uint16_t n = filio_get_ushort(f);
  auto garble = [&]() {
    *garbled = true;
    error(v->window, "GARBLED PLOTFILE");
    return 0;
  };
  if (filio_eof(f) || n > v->slots) return garble();
  String label = lit("Frame");
  uint16_t line = display_report_num(&v->panel, 0, &label, 1);
  v->group.count = 0;
  String caption{};
  bool ok = true;
  for (uint16_t i = 1; i <= n && ok; i++) {
    display_update_num(&v->panel, line, i);
    uint16_t slot = filio_get_ushort(f);
    // A slot indexes the window table: one outside it is no plot of this file.
    if (slot == 0 || slot > v->slots || filio_eof(f)) {
      ok = false;
      break;
    }
    vectorn_one_more(&v->group, slot);
    uint16_t w = slot_window(v, slot);
    filio_get_string(f, &caption);
    gag_setcaption(w, &caption);
    ok = gag_readview(f, w) && !filio_eof(f);
    display_checkkey(&v->panel);
  }
  strings_free_0(&caption);
  uint16_t mark = ok ? filio_get_ushort(f) : 1;
  if (line) display_unreport(&v->panel, line);
  if (!ok || mark != 0 || filio_eof(f)) {
    v->group.count = 0;
    return garble();
  }
  v->current = uint16_t(g);
  v->nodes = nodes, v->cells = cells, v->rms = rms, v->time = time;
  v->step = step, v->stage = stage, v->grid = grid;
  return n;
}

// ---- Showing ------------------------------------------------------------------------------

static void status(viewer *v) {
  pad *d = &v->panel;
  display_clearpad(d, 1);
  display_report(d, 1, &v->name);
  auto num = [d](const char *label, int32_t value) {
    String l = lit(label);
    display_report_num(d, 0, &l, value);
  };
  auto real = [d](const char *label, double value) {
    String l = lit(label);
    display_report_real(d, 0, &l, value);
  };
  if (v->stage) num("STAGE", v->stage);
  if (v->grid) num("GRID", v->grid);
  if (v->modes) num("MODES", v->modes);
  if (v->timed) {
    num("STEP", v->step);
    real("TIME", v->time);
  }
  num("NODES", v->nodes);
  num("CELLS", v->cells);
  real("RMS Error", v->rms);
}

// The group's windows in tiles right of the problem column, as a run lays them out.
static void tile(viewer *v) {
  if (v->group.count == 0) return;  // a group without plots has no tiles
  windower_grid t = windower_tile_grid(v->group.count);
  for (int32_t k = 1; k <= v->group.count; k++) {
    uint16_t w = v->windows.data[v->group.data[k - 1]];
    int32_t row = (k - 1) / t.cols + 1, col = k - (row - 1) * t.cols;
    gag_movewindow(w, int16_t(t.x + (col - 1) * t.width), int16_t(t.y + (row - 1) * t.height), t.width,
                   t.height);
    if (t.height > 300) gag_enablemenu_0(w);
    else gag_disablemenu(w);
    gag_showwindow(w, 3);
  }
}

static void end_movie(viewer *v) {
  v->movie = v->stop = 0;
  setmenu(v->window, "ViewMenuT");
  setmenu(v->moviewindow, "VPlotMenuT");
  v->moviewindow = 0;
}

static void start_movie(viewer *v, uint16_t window) {
  v->movie = 1;
  v->moviewindow = window;
  setmenu(v->window, "ViewMenuM");
  setmenu(window, "VPlotMenuM");
}

static void close_viewer(viewer *v);

// Shows group g, then whatever the commands given meanwhile ask for, one group at a
// time: a movie's next frame, a requested movie, Restart, Next, Previous.
static void show_group(viewer *v, uint16_t g) {
  TRACE("show_group");
  v->busy = 1;
  for (;;) {
    bool garbled = false;
    if (g >= 1 && g <= v->current && g <= v->positions.count) {
      filio_seek_file(&v->file, v->positions.data[g - 1]);
      v->current = uint16_t(g - 1);
    }
    String label = lit("Reading...");
    uint16_t line = display_report(&v->panel, 0, &label);
    while (v->current < g && !v->closing && read_group(v, &garbled) > 0) {}
    bool found = g >= 1 && v->current == g;
    if (!found) {
      if (v->movie) end_movie(v);
      else if (!v->closing) message(v->window, "No More Plot Data", &v->name);
      // The windows hold what was read of the bad group: read the last good one again.
      if (garbled && v->current >= 1) {
        filio_seek_file(&v->file, v->positions.data[v->current - 1]);
        v->current--;
        bool again = false;
        read_group(v, &again);
      }
    } else {
      // The group's values replace the panel; the progress line goes below them.
      status(v);
      label = lit("Plotting...");
      line = display_report(&v->panel, 0, &label);
      if (v->moviewindow) {
        for (int32_t k = 1; k <= v->group.count; k++) {
          uint16_t w = v->windows.data[v->group.data[k - 1]];
          if (w != v->moviewindow) continue;
          setmenu(w, "VPlotMenuM");
          gag_replay(w);
          views_delay(200);
        }
      } else {
        tile(v);
      }
    }
    if (line) display_unreport(&v->panel, line);
    uint16_t at = found ? g : v->current;
    if (v->closing) break;
    if (v->movie) {
      if (v->stop || !found) {
        end_movie(v);
        break;
      }
      g = uint16_t(g + 1);
    } else if (v->movierequest) {
      v->movierequest = 0;
      start_movie(v, v->requestwindow);
      g = 1;
    } else if (v->pendrestart) {
      v->pendrestart--;
      g = 1;
    } else if (v->pendnext) {
      v->pendnext--;
      g = uint16_t(at + 1);
    } else if (v->pendprevious) {
      v->pendprevious--;
      if (at <= 1) break;
      g = uint16_t(at - 1);
    } else {
      break;
    }
  }
  v->busy = 0;
  v->stop = 0;
  if (v->closing) close_viewer(v);
}

// ---- Opening and closing --------------------------------------------------------------------

void views_close_all() {
  TRACE("views_close_all");
  for (viewer &v : viewers)
    if (v.window) close_viewer(&v);
}

static viewer *free_record() {
  for (viewer &v : viewers)
    if (!v.window) return &v;
  viewers.emplace_back();
  return &viewers.back();
}

static void close_viewer(viewer *v) {
  TRACE("close_viewer");
  for (int32_t s = 1; s < v->windows.count; s++)
    if (v->windows.data[s] && checkview(v->windows.data[s])) gag_killview(v->windows.data[s]);
  uint16_t w = v->window;
  v->window = 0;
  if (v->file.state == FILIO_READING || v->file.state == FILIO_AT_EOF) filio_close_get(&v->file);
  display_free(&v->panel);
  for (String *s : {&v->name, &v->directory, &v->path, &v->title, &v->problem, &v->file.name})
    strings_free_0(s);
  vectorn_free(&v->windows);
  vectorn_free(&v->group);
  vectorl_free(&v->positions);
  if (checkview(w)) gag_killview(w);
  *v = viewer{};
}

// Whether an open problem records into this file.
static bool still_active(const viewer *v) { return pdedat_records_into(&v->name, &v->directory); }

bool views_view_pde(const String *path) {
  TRACE("views_view_pde");
  if (!viewclass) views_view_class();
  viewer *v = free_record();
  // The path without trailing blanks (one character at least), split at the last
  // separator; a bare name is in the current directory.
  strings_copyto_0(&v->path, path);
  while (v->path.length > 1 && v->path.text[v->path.length - 1] == ' ') strings_set_length(&v->path, v->path.length - 1);
  uint16_t cut = 0;
  for (uint16_t i = 0; i < v->path.length; i++)
    if (v->path.text[i] == '/') cut = uint16_t(i + 1);
  if (cut) {
    strings_substring_0(&v->directory, &v->path, 1, cut);
  } else {
    gag_getcurrentdirectory(&v->directory);
    String whole{};
    strings_copyto_0(&whole, &v->directory);
    strings_addto_0(&whole, &v->path);
    strings_moveto(&v->path, &whole);
  }
  strings_substring_0(&v->name, &v->path, uint16_t(v->directory.length + 1), uint16_t(v->path.length - v->directory.length));
  if (still_active(v)) {
    String m{};
    strings_copyto_0(&m, &v->name);
    strings_addto_1(&m, " is still active");
    // No window of the viewer exists yet: the box has no owner.
    pwin_message_box(m.text, "ERROR", PWIN_MB_OK);
    strings_free_0(&m);
    close_viewer(v);
    return false;
  }
  windower_root_caption(&v->name);
  int32_t height = 480 - gui_top > 20 ? 480 - gui_top : 20;
  v->window = gag_newwindow_1(gui_rootview, viewclass, 0, int16_t(gui_top), 150, uint16_t(height), &v->name, 0, 3);
  pointd rel{};
  gag_askrelsize(v->window, &rel);
  uint16_t panelview = gag_newview_1(v->window, 0, 0, rel.x, rel.y, 1);
  display_initpad(&v->panel, uint16_t(height * 0.0625), panelview);
  v->panel.key = &v->stop;
  filio_initialize(&v->file);
  if (!filio_open_get(&v->file, 32768, &v->path)) {
    message(v->window, "Can't open file", &v->path);
    close_viewer(v);
    return false;
  }
  filio_get_string(&v->file, &v->title);
  filio_get_string(&v->file, &v->problem);
  uint16_t plots = filio_get_ushort(&v->file);
  v->modes = filio_get_ushort(&v->file);
  uint16_t flags = filio_get_ushort(&v->file);
  v->timed = (flags & 0xff) != 0;
  v->staged = (flags >> 8) != 0;
  // Every eigenvalue file carries the eigenvalue listing after the modes' plots.
  int64_t slots = v->modes >= 1 ? int64_t(v->modes) * plots + 1 : plots;
  if (slots > 65535) {
    error(v->window, "GARBLED PLOTFILE");
    close_viewer(v);
    return false;
  }
  v->slots = uint16_t(slots);
  if (v->timed || v->staged) setmenu(v->window, "ViewMenuT");
  v->current = 0;
  vectorn_new(&v->windows, v->slots + 1, v->slots + 1);
  for (int32_t s = 0; s <= v->slots; s++) v->windows.data[s] = 0;
  vectorl_new(&v->positions, 0, 10);
  show_group(v, 1);
  return true;
}

// ---- Callbacks ------------------------------------------------------------------------------

static int32_t viewwinfunc(uint16_t view, int16_t event, intptr_t a, intptr_t b) {
  viewer *v = views_find(view);
  if (!v || v->window != view) return gag_defaultwinfunc(view, event, a, b);
  switch (event) {
    case msg_close:
      // Closed while a group is shown: the show ends first and closes it.
      if (v->busy) v->closing = v->stop = 1;
      else close_viewer(v);
      return 0;
    case msg_iconize: v->iconized = 1; break;
    case msg_size:
      v->iconized = 0;
      gag_fitview(uint16_t(v->panel.view));  // the panel fills what the menu bar leaves
      break;
    case msg_paint: display_redisplay(&v->panel); return 0;
    case msg_menu:
      switch (a & 0xffff) {
        case VIEWS_NEXT:
          if (v->busy) v->pendnext++;
          else show_group(v, uint16_t(v->current + 1));
          return 0;
        case VIEWS_PREVIOUS:
          if (v->busy) v->pendprevious++;
          else if (v->current >= 2) show_group(v, uint16_t(v->current - 1));
          else message(v->window, "No More Plot Data", &v->name);
          return 0;
        case VIEWS_RESTART:
          if (v->busy) v->pendrestart++;
          else show_group(v, 1);
          return 0;
        case VIEWS_PRINTALL: {
          uint8_t first = 1;
          for (int32_t k = 1; k <= v->group.count; k++) {
            uint16_t w = v->windows.data[v->group.data[k - 1]];
            if (!gag_ifvisible(w)) continue;
            gag_printwindow_2(w, 2, 0, first, 0);
            first = 0;
          }
          if (!first) gag_printwindow_2(0, 2, 0, 0, 1);
          return 0;
        }
        case VIEWS_MOVIE:
          if (v->busy) {
            v->movierequest = 1;
            v->requestwindow = 0;
          } else {
            start_movie(v, 0);
            show_group(v, 1);
          }
          return 0;
        case VIEWS_STOP:
          if (v->busy) v->stop = 1;
          return 0;
        default: break;
      }
      break;
    default: break;
  }
  return gag_defaultwinfunc(view, event, a, b);
}

static void export_plot(viewer *v, uint16_t view) {
  v->exports++;
  char number[8];
  snprintf(number, sizeof number, "%02d", int(v->exports % 100));
  String name{}, ext = lit("EMF"), stem{}, dir{}, suffix{};
  strings_stripname(&v->name, &dir, &stem, &suffix, '/');
  strings_copyto_0(&name, &stem);
  strings_addto_1(&name, number);
  if (gag_getsavefilename(view, &ext, &name, &ext) && name.length > 0) {
    pointl size{};
    gag_askpixsize(view, &size);
    gag_exportwindow(view, &name, 0, size.x > 0 ? size.x : 640);
  } else {
    v->exports--;
  }
  for (String *s : {&name, &stem, &dir, &suffix}) strings_free_0(s);
}

static int32_t vplotwinfunc(uint16_t view, int16_t event, intptr_t a, intptr_t b) {
  if (event == msg_destroy) return 0;
  if (event == msg_size) {
    if (b >= 321) gag_enablemenu_0(view);
    else if (b < 280) gag_disablemenu(view);
    return gag_defaultwinfunc(view, event, a, b);
  }
  if (event != msg_menu) return gag_defaultwinfunc(view, event, a, b);
  viewer *v = views_find(view);
  if (!v) {
    error(view, "Unidentifiable Plot");
    return 0;
  }
  switch (a & 0xffff) {
    case VIEWS_PLOT_PRINT: gag_printwindow_2(view, 2, 0, 1, 1); return 0;
    case VIEWS_PLOT_BLACKPRINT: gag_printwindow_2(view, 2, 1, 1, 1); return 0;
    case VIEWS_PLOT_SETUP: gag_printsetup_0(view); return 0;
    case VIEWS_PLOT_EXPORT: export_plot(v, view); return 0;
    case VIEWS_PLOT_MOVIE:
      if (v->busy) {
        v->movierequest = 1;
        v->requestwindow = view;
      } else {
        start_movie(v, view);
        show_group(v, 1);
      }
      return 0;
    case VIEWS_PLOT_STOP:
      if (v->busy) v->stop = 1;
      return 0;
    default: break;
  }
  return gag_defaultwinfunc(view, event, a, b);
}

// ---- Start-up ------------------------------------------------------------------------------

struct item {
  const char *text;
  uint16_t id;
};

static void define_menu(const char *name, std::initializer_list<item> items, bool export_popup = false) {
  uint32_t menu = gag_newmenu();
  for (const item &i : items) {
    String t = lit(i.text);
    if (i.id) {
      gag_newmenuitem(menu, i.id, 0, &t);
    } else if (export_popup) {
      uint32_t sub = gag_newsubmenu();
      String e = lit("&EMF");
      gag_newmenuitem(sub, VIEWS_PLOT_EXPORT, 0, &e);
      gag_newmenuitem(menu, 0, sub, &t);
    }
  }
  gagscren_definemenu(name, menu);
}

void views_view_class() {
  TRACE("views_view_class");
  define_menu("ViewMenu", {{"&Restart", VIEWS_RESTART}, {"&Previous", VIEWS_PREVIOUS}, {"&Next", VIEWS_NEXT},
                           {"Print &All", VIEWS_PRINTALL}});
  define_menu("ViewMenuT", {{"&Restart", VIEWS_RESTART}, {"&Previous", VIEWS_PREVIOUS}, {"&Next", VIEWS_NEXT},
                            {"Print &All", VIEWS_PRINTALL}, {"&Movie", VIEWS_MOVIE}});
  define_menu("ViewMenuM", {{"&Stop", VIEWS_STOP}});
  define_menu("VPlotMenuT", {{"&Setup", VIEWS_PLOT_SETUP}, {"&Print", VIEWS_PLOT_PRINT},
                             {"&Black_Print", VIEWS_PLOT_BLACKPRINT}, {"E&xport", 0}, {"&Movie", VIEWS_PLOT_MOVIE}},
              true);
  define_menu("VPlotMenuM", {{"&Stop", VIEWS_PLOT_STOP}});
  String name = lit("viewwin"), menu = lit("ViewMenu");
  viewclass = gag_newwindowclass_3(viewwinfunc, &name, &menu, GAG_NOMAX);
  name = lit("vplotwin");
  menu = lit("PlotMenu");
  plotclass = gag_newwindowclass_3(vplotwinfunc, &name, &menu, GAG_NOCLOSE | GAG_NOMIN);
}

int views_init() {
  TRACE("views");
  appwin.view_pde = views_view_pde;
  appwin.close_all = views_close_all;
  return 0;
}
