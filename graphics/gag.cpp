// gag: the view table, creating, mapping, remapping and killing views, and the
// debug dumps. A view's relative frame has its origin at the lower-left corner, y
// upward, and the shorter side of its pixel rectangle 1.0 long; pixel rows run
// downward, so a window's bottom row is its client height.
#include "graphics/gag.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "graphics/gagmap.h"
#include "graphics/gagscren.h"
#include "runtime/bopmem.h"
#include "runtime/debug.h"
#include "runtime/rtlib.h"

uint16_t gag_viewcount;
uint16_t gag_viewcapacity;
viewrec **gag_views;
uint8_t gag_replayswitch = 1;
uint8_t gag_drawtextswitch;
uint16_t gag_debugflags;

uint8_t colour_cyan, colour_red, colour_white_1, colour_grey_1, colour_spectrum, colour_grey242,
    colour_grey229, colour_grey192, colour_grey160, colour_grey127, colour_grey63, colour_white,
    colour_black, colour_band_red, colour_band_orange, colour_band_yellow, colour_band_green,
    colour_band_cyan, colour_band_blue, colour_band_violet;

void gag_default_roles() {
  colour_cyan = 1;
  colour_red = 2;
  colour_white_1 = 0;
  colour_grey_1 = 6;
  colour_spectrum = 11;
  colour_grey242 = 9;
  colour_grey229 = 8;
  colour_grey192 = 7;
  colour_grey160 = 6;
  colour_grey127 = 5;
  colour_grey63 = 4;
  colour_white = 0;
  colour_black = 3;
  colour_band_red = 11;
  colour_band_orange = 14;
  colour_band_yellow = 18;
  colour_band_green = 24;
  colour_band_cyan = 31;
  colour_band_blue = 37;
  colour_band_violet = 42;
}

static const bool roles_set = [] {
  gag_default_roles();
  return true;
}();

// The current view: its number and record.
static uint16_t current;
static viewrec *current_rec;

void gagmap_uncache(const viewrec *v) {
  if (v == current_rec) {
    current_rec = nullptr;
    current = 0;
  }
}

// ---- Mappings --------------------------------------------------------------------

void gagmap_clip(viewrec *v, const rects *r) {
  points a = gagmap_pixel(v, {r->x1, r->y1}), b = gagmap_pixel(v, {r->x2, r->y2});
  gagscren_screenclip(v, &a, &b);
}

// ---- The table -------------------------------------------------------------------

bool checkview(uint16_t n) { return n >= 1 && n <= gag_viewcount && gag_views[n - 1]; }

viewrec *getview(uint16_t n) {
  if (n == current && current_rec && current_rec->number == n) return current_rec;
  if (!checkview(n)) rtlib_fatal_in("getview", "Bad View!");
  current = n;
  current_rec = gag_views[n - 1];
  gagscren_screencolor_1(current_rec, current_rec->colour, current_rec->colour2);
  gagmap_clip(current_rec, &current_rec->clipwin);
  return current_rec;
}

// Allocates a number and a zeroed record; a nested view starts as a copy of its
// parent and becomes the parent's last child.
static viewrec *vpalloc(viewrec *parent, uint16_t owner) {
  uint16_t n = gagmap_newslot(&gag_views, &gag_viewcount, &gag_viewcapacity, "vpalloc",
                              "TOO MANY VIEWS");
  viewrec *v = gag_views[n - 1];
  if (parent) {
    *v = *parent;
    v->displaylist = v->toplist = v->showlist = nullptr;
    v->showindex = 0;
    v->child = v->sibling = 0;
    v->parent = parent->number;
    if (parent->held) v->device = parent->held;
    v->surfaces = GAG_ALL;
    v->held = nullptr;
    if (!parent->child) {
      parent->child = n;
    } else {
      viewrec *last = gag_views[parent->child - 1];
      while (last->sibling) last = gag_views[last->sibling - 1];
      last->sibling = n;
    }
  }
  v->owner = owner;
  v->number = n;
  return v;
}

// The pixel scale from PIXWIN; a zero width or height counts as one pixel.
static void pixscale(viewrec *v) {
  int32_t w = v->pixwin.x2 - v->pixwin.x1, h = v->pixwin.y2 - v->pixwin.y1;
  v->pixwid = {w, h};
  double aw = std::max(std::fabs(double(w)), 1.0), ah = std::max(std::fabs(double(h)), 1.0);
  double sign = h < 0 ? -1.0 : 1.0;
  double unit = aw <= ah ? aw : ah, full = unit;
  // A window narrower than the width its picture was laid out in keeps that width: the
  // legend and header at its right stay in the window, the picture and its text smaller.
  if (!v->parent && v->drawnwidth > 0 && aw / ah < v->drawnwidth) unit = std::min(unit, aw / v->drawnwidth);
  v->shrink = unit / full;
  v->ppu = int16_t(unit > 32767 ? 32767 : unit);
  v->pscale = {float(unit), float(unit * sign)};
  v->relbox = {0, 0, float(aw / unit), float(ah / unit)};
}

// The pixel rectangle of a nested view inside its parent's.
static void place(viewrec *v, const viewrec *p) {
  double u = p->ppu;
  v->pixwin.x1 = gagmap_int(u * v->context.x1 + p->pixwin.x1);
  v->pixwin.x2 = gagmap_int(u * v->context.x2 + p->pixwin.x1);
  v->pixwin.y1 = gagmap_int(p->pixwin.y1 - u * v->context.y1);
  v->pixwin.y2 = gagmap_int(p->pixwin.y1 - u * v->context.y2);
}

static void vpinit(viewrec *v, const rects *rect, uint8_t norecord, const viewrec *parent) {
  v->context = *rect;
  if (parent) place(v, parent);
  pixscale(v);
  v->clipwin = v->relbox;
  v->usr = {v->relbox.x1, v->relbox.y1, v->relbox.x2, v->relbox.y2};
  v->scale = {1, 1};
  v->angle = 0;
  v->dirsin = 0;
  v->dircos = 1;
  if (!parent) {
    v->font = v->altfont = 1;
    v->size = 40;
    v->aspect = 1;
    v->centre = {0, 0};
    v->cellheight = 256;
    v->rcell = 1.0f / 256;
  }
  gagmap_textmetrics(v);
  v->uniform = 0;
  v->lastusr = {0, 0};
  v->showlist = nullptr;
  v->showindex = 0;
  v->permanent = !norecord && gag_replayswitch;
}

uint16_t gag_newview_0(uint16_t parent, const rectd *rect, uint8_t norecord) {
  TRACE("gag_newview_0");
  if (parent && !checkview(parent)) rtlib_fatal_in("gag_newview_0", "Invalid Parent Viewport");
  viewrec *p = parent ? gag_views[parent - 1] : nullptr;
  rects r = {0, 0, 1, 1};
  if (p) {
    points a = gagmap_point(p, rect->x1, rect->y1), b = gagmap_point(p, rect->x2, rect->y2);
    r = {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
    r.x1 = std::clamp(r.x1, p->relbox.x1, p->relbox.x2);
    r.x2 = std::clamp(r.x2, p->relbox.x1, p->relbox.x2);
    r.y1 = std::clamp(r.y1, p->relbox.y1, p->relbox.y2);
    r.y2 = std::clamp(r.y2, p->relbox.y1, p->relbox.y2);
  }
  viewrec *v = vpalloc(p, 0);
  vpinit(v, &r, norecord, p);
  return v->number;
}

uint16_t gag_newview_1(uint16_t parent, double x0, double y0, double x1, double y1,
                       uint8_t norecord) {
  rectd r = {x0, y0, x1, y1};
  return gag_newview_0(parent, &r, norecord);
}

void gag_fitview(uint16_t view) {
  if (!checkview(view)) return;
  viewrec *v = gag_views[view - 1];
  if (!v->parent || !checkview(v->parent)) return;
  v->context = gag_views[v->parent - 1]->relbox;
  gag_remap(v);
  rectd usr = v->usr;
  gag_scaleview_0(view, &usr);
  gagmap_textmetrics(v);
}

uint16_t gag_newwindow_1(uint16_t owner, uint16_t wclass, int16_t x, int16_t y, uint16_t width,
                         uint16_t height, const String *caption, uint8_t norecord, int show) {
  TRACE("gag_newwindow_1");
  if (wclass < 1 || wclass > gag_classcount || !gag_classes[wclass - 1]) {
    debug_printf("Bad Class\n");
    rtlib_fatal_in("gag_newwindow_1", "Bad WindowClass");
  }
  viewrec *v = vpalloc(nullptr, owner);
  current = v->number;
  current_rec = v;
  v->wclass = wclass;
  gagscren_screenwindow(v, gag_classes[wclass - 1], x, y, width, height, caption);
  rects zero = {0, 0, 0, 0};
  vpinit(v, &zero, norecord, nullptr);
  gagscren_screenshowwindow(v, show);
  return v->number;
}

uint16_t gag_newwindow_0(uint16_t owner, uint16_t wclass, int16_t x, int16_t y, uint16_t width,
                         uint16_t height, const String *caption, uint8_t norecord) {
  return gag_newwindow_1(owner, wclass, x, y, width, height, caption, norecord, 3);
}

uint16_t gag_newwindow_2(uint16_t owner, uint16_t wclass, uint16_t width, uint16_t height,
                         const String *caption, uint8_t norecord) {
  return gag_newwindow_1(owner, wclass, -1, -1, width, height, caption, norecord, 3);
}

// ---- User windows ----------------------------------------------------------------

void gag_scaleview_0(uint16_t view, const rectd *rect) {
  TRACE("gag_scaleview_0");
  if (!checkview(view)) return;
  viewrec *v = gag_views[view - 1];
  rectd r = *rect;
  if (r.x2 < r.x1) std::swap(r.x1, r.x2);
  if (r.y2 < r.y1) std::swap(r.y1, r.y2);
  v->scale = {v->relbox.x2 / (r.x2 - r.x1), v->relbox.y2 / (r.y2 - r.y1)};
  v->usr = r;
  v->lastusr = {float(r.x1), float(r.y1)};
}

void gag_scaleview_1(uint16_t view, double x0, double y0, double x1, double y1) {
  rectd r = {x0, y0, x1, y1};
  gag_scaleview_0(view, &r);
}

// Fits u onto r, with the view's whole relative box as the frame that r lies in.
void gag_scalerect(uint16_t view, const rects *rel, const rectd *user) {
  TRACE("gag_scalerect");
  if (!checkview(view)) return;
  viewrec *v = gag_views[view - 1];
  rects r = *rel;
  rectd u = *user;
  if (r.x2 < r.x1) std::swap(r.x1, r.x2);
  if (r.y2 < r.y1) std::swap(r.y1, r.y2);
  if (u.x2 < u.x1) std::swap(u.x1, u.x2);
  if (u.y2 < u.y1) std::swap(u.y1, u.y2);
  v->scale = {(double(r.x2) - r.x1) / (u.x2 - u.x1), (double(r.y2) - r.y1) / (u.y2 - u.y1)};
  v->usr.x1 = u.x1 - r.x1 / v->scale.x;
  v->usr.y1 = u.y1 - r.y1 / v->scale.y;
  v->usr.x2 = (double(v->relbox.x2) - r.x2) / v->scale.x + u.x2;
  v->usr.y2 = (double(v->relbox.y2) - r.y2) / v->scale.y + u.y2;
  v->lastusr = {float(u.x1), float(u.y1)};
}

void gag_askpos(uint16_t view, const pointd *p, points *rel) {
  if (checkview(view)) *rel = gagmap_free(gag_views[view - 1], p->x, p->y);
}

void gag_remappoint_0(uint16_t target, pointd *out, uint16_t source, const pointd *p) {
  TRACE("gag_remappoint_0");
  if (!checkview(target) || !checkview(source)) return;
  const viewrec *t = gag_views[target - 1];
  points r = gagmap_point(gag_views[source - 1], p->x, p->y);
  out->x = r.x / t->scale.x + t->usr.x1;
  out->y = r.y / t->scale.y + t->usr.y1;
}

void gag_remappoint_1(uint16_t target, pointd *out, uint16_t source, double x, double y) {
  pointd p = {x, y};
  gag_remappoint_0(target, out, source, &p);
}

void gag_asksize(uint16_t view, rectd *size) {
  if (checkview(view)) *size = gag_views[view - 1]->usr;
}

void gag_askcontext(uint16_t view, rectd *c) {
  if (!checkview(view)) return;
  const rects &r = gag_views[view - 1]->context;
  *c = {r.x1, r.y1, r.x2, r.y2};
}

void gag_askrelsize(uint16_t view, pointd *size) {
  if (checkview(view)) *size = {gag_views[view - 1]->relbox.x2, gag_views[view - 1]->relbox.y2};
}

void gag_askpixsize(uint16_t view, pointl *size) {
  if (checkview(view)) gagscren_screenpixsize(size, gag_views[view - 1]);
}

void gag_askdot() {}

bool gag_ifvisible(uint16_t view) { return checkview(view) && !gag_views[view - 1]->hidden; }

// ---- Remapping -------------------------------------------------------------------

void gag_remap(viewrec *v) {
  if (v->parent && checkview(v->parent)) {
    const viewrec *p = gag_views[v->parent - 1];
    place(v, p);
    v->client = p->client;
  }
  rects box = v->relbox;
  pixscale(v);
  // A view clipped to its whole box stays so when the box changes; the device's clip
  // is set again at the view's next use.
  const rects &c = v->clipwin;
  if (c.x1 == box.x1 && c.y1 == box.y1 && c.x2 == box.x2 && c.y2 == box.y2) v->clipwin = v->relbox;
  gagmap_uncache(v);
  if (v->size != 0) gagmap_charpixels(v, v->size, v->aspect);
  v->stale = 1;
  for (uint16_t c = v->child; c && checkview(c); c = gag_views[c - 1]->sibling)
    gag_remap(gag_views[c - 1]);
}

void gag_movewindow(uint16_t view, int16_t x, int16_t y, uint16_t width, uint16_t height) {
  TRACE("gag_movewindow");
  if (!checkview(view)) return;
  viewrec *v = gag_views[view - 1];
  gagscren_screenmovewindow(v, x, y, width, height);
  gag_remap(v);
  gag_replay(view);
}

// ---- Killing ---------------------------------------------------------------------

static void release(uint16_t n) {
  viewrec *v = gag_views[n - 1];
  gagmap_uncache(v);
  XMEM -= int64_t(sizeof(viewrec));
  bopmemfree(&v);
  gag_views[n - 1] = nullptr;
  if (n == gag_viewcount) gag_viewcount--;
}

// Kills a view with every view nested in it.
static void kill_tree(uint16_t n) {
  viewrec *v = gag_views[n - 1];
  for (uint16_t c = v->child; c && checkview(c);) {
    uint16_t next = gag_views[c - 1]->sibling;
    kill_tree(c);
    c = next;
  }
  v = gag_views[n - 1];
  freelist(v);
  if (!v->parent && v->window) {
    gagscren_screenclose(v);
    if (!checkview(n)) return;  // an event handler has killed it already
  }
  release(n);
}

void gag_killview(uint16_t n) {
  TRACE("gag_killview");
  if (!checkview(n)) return;
  viewrec *v = gag_views[n - 1];
  if (v->parent && checkview(v->parent)) {
    viewrec *p = gag_views[v->parent - 1];
    if (p->child == n) {
      p->child = v->sibling;
    } else {
      for (uint16_t c = p->child; c && checkview(c); c = gag_views[c - 1]->sibling)
        if (gag_views[c - 1]->sibling == n) {
          gag_views[c - 1]->sibling = v->sibling;
          break;
        }
    }
  }
  kill_tree(n);
}

void gag_closegraph() {
  TRACE("gag_closegraph");
  for (uint16_t n = 1; n <= gag_viewcount; n++) {
    viewrec *v = gag_views[n - 1];
    if (!v) continue;
    freelist(v);
    if (!v->parent && v->window) gagscren_screenclose(v);
    if (gag_views[n - 1]) release(n);
  }
  gagscren_screenrelease();
  if (gag_views) {
    XMEM -= int64_t(gag_viewcapacity) * int64_t(sizeof(viewrec *));
    bopmemfree(&gag_views);
  }
  gag_viewcount = gag_viewcapacity = 0;
}

// ---- Debug dumps -------------------------------------------------------------------

static void dump(const char *label, double a, double b, double c, double d) {
  debug_printf("%s (%g %g) (%g %g)\n", label, a, b, c, d);
}

static unsigned addr(const void *p) { return unsigned(uintptr_t(p)); }

void gag_showview(uint16_t view) {
  if (!checkview(view)) return;
  const viewrec *v = gag_views[view - 1];
  debug_printf("\nVIEWREC #%d @ %x owner=%d permanent=%d\n", v->number, addr(v), v->owner,
               v->permanent);
  debug_printf("parent=%d child=%d, sibling=%d\n", v->parent, v->child, v->sibling);
  dump("USR =", v->usr.x1, v->usr.y1, v->usr.x2, v->usr.y2);
  dump("CONTEXT = ", v->context.x1, v->context.y1, v->context.x2, v->context.y2);
  dump("SCALE,PSCALE=", v->scale.x, v->scale.y, v->pscale.x, v->pscale.y);
  dump("CLIPWIN =", v->clipwin.x1, v->clipwin.y1, v->clipwin.x2, v->clipwin.y2);
  dump("LASTUSR, LASTREL=", v->lastusr.x, v->lastusr.y, v->lastrel.x, v->lastrel.y);
  dump("PIXWIN", v->pixwin.x1, v->pixwin.y1, v->pixwin.x2, v->pixwin.y2);
  dump("PIXWID", v->pixwid.x, v->pixwid.y, v->client.x, v->client.y);
  debug_printf("FONTS: %d(%x) %d(%x)\n", v->font, addr(v->fontimage), v->altfont,
               addr(v->altimage));
  dump("RELBOX", v->relbox.x1, v->relbox.y1, v->relbox.x2, v->relbox.y2);
  debug_printf("DISPLAYLIST->%x  TOPLIST->%x  SHOWLIST->%x\n", addr(v->displaylist),
               addr(v->toplist), addr(v->showlist));
}

void gag_dbview(uint16_t view, const char *label) {
  if (!checkview(view)) return;
  const viewrec *v = gag_views[view - 1];
  debug_printf("%s View=%x font=%x alt=%x\n", label, addr(v), v->font, v->altfont);
}

int gag_init() {
  TRACE("gag");
  gagscren_sethooks(window_func, edit_func);
  gag_fontlibrary_default();
  return 0;
}
