// gag: window classes, the delivery of events to their callbacks, and the window
// services of views: showing, captions, menus, scroll bars, boxes, notices, help,
// file dialogs and directories.
#include <cstring>

#include "graphics/gag.h"
#include "graphics/gagmap.h"
#include "graphics/gagscren.h"
#include "runtime/bopmem.h"
#include "runtime/debug.h"
#include "runtime/rtlib.h"
#include "runtime/textin.h"

uint16_t gag_classcount;
static uint16_t class_capacity;
windowclass **gag_classes;

static const char *chars_of(const String *s) { return s && s->text ? s->text : ""; }

// ---- Classes ----------------------------------------------------------------------

uint16_t gag_newwindowclass_5(gag_callback f, const String *name, const String *menu,
                              const String *image, uint32_t style) {
  TRACE("gag_newwindowclass_5");
  uint16_t n = gagmap_newslot(&gag_classes, &gag_classcount, &class_capacity,
                              "gag_newwindowclass_5", "TOO MANY CLASSES");
  windowclass *c = gag_classes[n - 1];
  strings_copyto_0(&c->name, name);
  c->style = style;
  c->callback = f;
  if (menu) strings_copyto_0(&c->menuname, menu);
  if (image) strings_copyto_0(&c->imagename, image);
  if (style & GAG_EDIT) gagscren_editwindowclass(c);
  else gagscren_screenwindowclass(c);
  return n;
}

uint16_t gag_newwindowclass_3(gag_callback f, const String *name, const String *menu,
                              uint32_t style) {
  return gag_newwindowclass_5(f, name, menu, nullptr, style);
}
uint16_t gag_newwindowclass_4(gag_callback f, const String *name, const String *menu,
                              const String *image) {
  return gag_newwindowclass_5(f, name, menu, image, 0);
}
uint16_t gag_newwindowclass_2(gag_callback f, const String *name, const String *menu) {
  return gag_newwindowclass_5(f, name, menu, nullptr, 0);
}
uint16_t gag_newwindowclass_1(gag_callback f, const String *name, uint32_t style) {
  return gag_newwindowclass_5(f, name, nullptr, nullptr, style);
}
uint16_t gag_newwindowclass_0(gag_callback f, const String *name) {
  return gag_newwindowclass_5(f, name, nullptr, nullptr, 0);
}

// ---- Events ------------------------------------------------------------------------

static int32_t call_class(viewrec *v, uint16_t view, int16_t event, intptr_t a, intptr_t b,
                          const char *who) {
  uint16_t c = v->wclass;
  if (c < 1 || c > gag_classcount || !gag_classes[c - 1] || !gag_classes[c - 1]->callback) {
    debug_printf("GAG %s: Bad Class %d in View %d\n", who, c, view);
    return 0;
  }
  return gag_classes[c - 1]->callback(view, event, a, b);
}

// The window is going: the view and the views nested in it, which share its
// window and surface, keep neither.
static void forget_window(viewrec *v) {
  v->window = 0;
  v->device = nullptr;
  for (uint16_t c = v->child; checkview(c); c = gag_views[c - 1]->sibling)
    forget_window(gag_views[c - 1]);
}

int32_t window_func(uint16_t view, int16_t event, intptr_t a, intptr_t b) {
  TRACE("window_func");
  if (!checkview(view)) {
    debug_printf("GAG Window_Func: Bad View %d\n", view);
    return 0;
  }
  viewrec *v = gag_views[view - 1];
  switch (event) {
    case msg_paint:
      if (!v->hidden) gag_replay(view);
      break;
    case msg_destroy: forget_window(v); break;
    case msg_size:
      v->pixwin = {0, int32_t(b), int32_t(a), 0};
      gag_remap(v);
      break;
    case msg_iconize: v->iconized = 1; break;
    default: break;
  }
  return call_class(v, view, event, a, b, "Window_Func");
}

int32_t edit_func(uint16_t view, int16_t event, intptr_t a, intptr_t b) {
  TRACE("edit_func");
  if (!checkview(view)) {
    debug_printf("GAG Edit_Func: Bad View %d\n", view);
    return 0;
  }
  viewrec *v = gag_views[view - 1];
  if (event == msg_destroy) forget_window(v);
  if (event == msg_iconize) v->iconized = 1;
  return call_class(v, view, event, a, b, "Edit_Func");
}

int32_t gag_defaultwinfunc(uint16_t view, int16_t event, intptr_t a, intptr_t b) {
  if (!checkview(view)) return 0;
  return gagscren_screendefaultfunc(gag_views[view - 1], event, a, b);
}

// ---- Windows and menus ---------------------------------------------------------------

void gag_destroywindow(uint16_t view) {
  TRACE("gag_destroywindow");
  if (checkview(view)) gagscren_screendestroywindow(gag_views[view - 1]);
}

void gag_showwindow(uint16_t view, int show) {
  TRACE("gag_showwindow");
  if (!checkview(view)) {
    debug_printf("Bad View\n");
    return;
  }
  gagscren_screenshowwindow(gag_views[view - 1], show);
}

void gag_setcaption(uint16_t view, const String *caption) {
  if (checkview(view)) gagscren_screensetcaption(gag_views[view - 1], caption);
}

void gag_setmenu_1(uint16_t view, const String *name) {
  if (checkview(view)) gagscren_screensetmenu_1(gag_views[view - 1], name);
}

void gag_setmenu_0(uint16_t view, uint32_t menu) {
  if (checkview(view)) gagscren_screensetmenu_0(gag_views[view - 1], menu);
}

uint32_t gag_newmenu() { return gagscren_screennewmenu(); }
uint32_t gag_newsubmenu() { return gagscren_screennewsubmenu(); }

void gag_newmenuitem(uint32_t menu, uint16_t id, uint32_t submenu, const String *text) {
  gagscren_screennewmenuitem(menu, submenu ? 0 : id, submenu, text);
}

// Takes the menu bar off the window; the view keeps its menu to put back.
void gag_disablemenu(uint16_t view) {
  if (!checkview(view)) return;
  viewrec *v = gag_views[view - 1];
  uint32_t keep = v->menu;
  gagscren_screensetmenu_0(v, 0);
  v->menu = keep;
}

void gag_enablemenu_0(uint16_t view) {
  if (checkview(view)) gagscren_screensetmenu_0(gag_views[view - 1], gag_views[view - 1]->menu);
}

void gag_enablemenu_1(uint16_t view, uint16_t id, uint8_t on) {
  if (!checkview(view)) return;
  viewrec *v = gag_views[view - 1];
  gagscren_screenenablemenuitem(v, v->menu, id, on);
}

void gag_scrollseth(uint16_t view, int32_t min, int32_t max, int32_t pos, int32_t page) {
  if (checkview(view)) gagscren_hscrollset(gag_views[view - 1], min, max, page, pos);
}

void gag_scrollsetv(uint16_t view, int32_t min, int32_t max, int32_t pos, int32_t page) {
  if (checkview(view)) gagscren_vscrollset(gag_views[view - 1], min, max, page, pos);
}

// ---- Boxes and notices --------------------------------------------------------------

// The record a box or dialog is shown over: the view's while it exists, else the
// main window's (view 0 is the main window), else none, and the box has no owner.
// A message is never dropped for want of a window.
uint16_t gag_mainview;

static viewrec *owner_of(uint16_t view) {
  if (!checkview(view)) view = gag_mainview;
  return checkview(view) ? gag_views[view - 1] : nullptr;
}

void gag_showmessage(uint16_t view, const String *message, const String *caption) {
  gagscren_screenmessage(owner_of(view), chars_of(message), chars_of(caption));
}

void gag_showmessageindirect(uint16_t view, const char *message, const char *caption) {
  gagscren_screenmessage(owner_of(view), message, caption);
}

int16_t gag_yesnomessage(uint16_t view, const String *message, const String *caption) {
  return gagscren_screenyesnomessage(owner_of(view), chars_of(message), chars_of(caption));
}

int16_t gag_yesnomessageindirect(uint16_t view, const char *message, const char *caption) {
  return gagscren_screenyesnomessage(owner_of(view), message, caption);
}

int8_t gag_okcancelmessage(uint16_t view, const String *message, const String *caption) {
  return int8_t(gagscren_screenokcancelmessage(owner_of(view), chars_of(message), chars_of(caption)));
}

uint32_t gag_postnotice(uint16_t view, const String *text) {
  if (!checkview(view)) return 0;
  return gagscren_screennotice(gag_views[view - 1], chars_of(text));
}

void gag_killnotice(uint32_t notice) { gagscren_screenkillnotice(notice); }

void gag_showhelp(uint16_t view, const String *topic) {
  if (!checkview(view)) {
    debug_printf("Bad View %d\n", view);
    return;
  }
  gagscren_screenshowhelp(gag_views[view - 1], topic);
}

// ---- Dialogs and directories -----------------------------------------------------------

uint8_t gag_getopenfilename(uint16_t view, const String *filter, String *name) {
  TRACE("gag_getopenfilename");
  return gagscren_screenopenfilename(owner_of(view), filter, name);
}

// A chosen name without an extension takes the default one.
uint8_t gag_getsavefilename(uint16_t view, const String *filter, String *name, const String *ext) {
  TRACE("gag_getsavefilename");
  if (!checkview(view)) return 0;
  String initial{};
  strings_copyto_0(&initial, name);
  bool ok = gagscren_screensavefilename(gag_views[view - 1], filter, &initial, name);
  strings_free_0(&initial);
  if (ok && name->length && ext && ext->length && !strchr(name->text, '.')) {
    strings_addto_1(name, ".");
    strings_addto_0(name, ext);
  }
  return ok;
}

void gag_getcurrentdirectory(String *dir) { gagscren_get_directory(dir); }
void gag_gettempdirectory(String *dir) { gagscren_get_temp_directory(dir); }
int gag_setcurrentdirectory(const String *dir) { return gagscren_screensetcurrentdirectory(dir); }

void gag_gflush() {
  gagscren_screenflush();
  gagscren_dispatch(0);
}

void gag_gdebug(uint16_t flags) { gag_debugflags = flags; }

// ---- The edit control ----------------------------------------------------------------

bool gag_filleditbuffer_1(uint16_t view, uint16_t text, int32_t line, int32_t column) {
  TRACE("gag_filleditbuffer_1");
  StringList *body = text ? textin_text_body(text) : nullptr;
  if (!checkview(view) || !body) return false;
  return gagscren_filleditbuffer(gag_views[view - 1], body, line, column);
}

bool gag_filleditbuffer_0(uint16_t view, uint16_t text) { return gag_filleditbuffer_1(view, text, 0, 0); }

bool gag_geteditbuffer(uint16_t view, uint16_t text) {
  TRACE("gag_geteditbuffer");
  StringList *body = text ? textin_text_body(text) : nullptr;
  if (!checkview(view) || !body) return false;
  return gagscren_geteditbuffer(gag_views[view - 1], body);
}
