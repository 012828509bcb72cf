// gagscren: the graphics layer's back end. Windows of views are platform windows
// whose user word holds the view number; their messages become layer events
// through the two hooks the layer installs. Drawing goes to the surface held in the
// view, in device pixels with rows running downward, exactly as the layer gives them.
#include "graphics/gagscren.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "graphics/gag.h"
#include "graphics/gagscren_internal.h"
#include "platform/pwin.h"
#include "runtime/debug.h"
#include "runtime/rtlib.h"

int32_t gagscren_colour;
int32_t gagscren_fillcolour;
pointl gagscren_position;

static gagscren_hook window_hook, edit_hook;
static int32_t pen_width = 1, pen_size = 1024;
static float pen_factor = 0.001f;
ScreenOutput screen_output;

void gagscren_reset_output() { screen_output = ScreenOutput{}; }
static std::map<std::string, uint32_t> named_menus;
static std::vector<psurf_point> pixel_points;
// The RGB table: slots 0-10 fixed, 11-43 the spectrum (slot 43 lies outside the
// palette, which holds slots 0-42 in psurf_palette).
static uint8_t rgb[44][3] = {{255, 255, 255}, {0, 255, 255},   {255, 0, 0},     {0, 0, 0},
                             {63, 63, 63},    {127, 127, 127}, {160, 160, 160}, {192, 192, 192},
                             {229, 229, 229}, {242, 242, 242}, {0, 0, 0}};

static const char *event_names[] = {"msg_close", "msg_destroy", "msg_iconize", "msg_key",
                                    "msg_menu",  "msg_paint",   "msg_quit",    "msg_size"};

int gagscren_init() {
  TRACE("gagscren");
  gagscren_default_colors();
  return 0;
}

void gagscren_sethooks(gagscren_hook w, gagscren_hook e) {
  window_hook = w;
  edit_hook = e;
}

void gagscren_dispatch(uint8_t wait) {
  TRACE("gagscren_dispatch");
  // Every long computation pumps messages here: an interrupt is acted on here.
  rtlib_poll_interrupt();
  if (wait) {
    pwin->wait();
    rtlib_poll_interrupt();
  }
  gagscren_pump();
}

void gagscren_pump() {
  pwin_msg m;
  while (pwin->peek(&m)) pwin->dispatch(&m);
}

void gagscren_create_pens(float factor, int32_t size) {
  TRACE("gagscren_create_pens");
  pen_factor = factor;
  pen_size = size;
  pen_width = int32_t(float(size) * factor);
}

void gagscren_pens(float *factor, int32_t *size) {
  *factor = pen_factor;
  *size = pen_size;
}

// Surfaces fill with the palette colour of the index itself, so a brush is the
// palette entry; nothing is held per brush.
void gagscren_create_brushes() {}

// ---- Window procedures ---------------------------------------------------------

// The view of a platform window, or 0 when it names no live view.
static uint16_t view_of(pwin_handle w) {
  uint32_t n = pwin->user(w);
  return (n == 0 || n > gag_viewcount || !checkview(uint16_t(n))) ? 0 : uint16_t(n);
}

static intptr_t out_of_space(intptr_t a) {
  int note = int((a >> 16) & 0xffff);
  if (note == PWIN_EDIT_ERRSPACE || note == PWIN_EDIT_MAXTEXT)
    pwin->message_box(0, "Edit Control Out Of Space!", "EDIT", PWIN_MB_OK | PWIN_MB_STOP);
  return 0;
}

static intptr_t window_proc(pwin_handle w, int msg, intptr_t a, intptr_t b) {
  uint16_t n = view_of(w);
  if (n == 0 || !window_hook) return pwin->default_proc(w, msg, a, b);
  switch (msg) {
    case PWIN_CLOSE: return window_hook(n, msg_close, a, b);
    case PWIN_DESTROY: return window_hook(n, msg_destroy, a, b);
    case PWIN_SIZE: {
      if (a == PWIN_SIZE_MINIMISED) {
        window_hook(n, msg_iconize, 0, 0);
        return 0;
      }
      int32_t cw, ch;
      pwin->client_size(w, &cw, &ch);
      // The new size is stored before the window hears of it: the views it lays out
      // again (the status panel sizes its labels by it) take their size from it.
      bool drawn = checkview(n) && gag_views[n - 1]->device;
      if (drawn) gag_views[n - 1]->client = {cw, ch};
      window_hook(n, msg_size, cw, ch);
      if (drawn && checkview(n)) pwin->invalidate(w);
      return 0;
    }
    case PWIN_PAINT: return window_hook(n, msg_paint, a, b);
    case PWIN_COMMAND:
      if (b == 1) return out_of_space(a);
      return window_hook(n, msg_menu, a, b);
    case PWIN_HSCROLL: return window_hook(n, msg_hscroll, a & 0xffff, (a >> 16) & 0xffff);
    case PWIN_VSCROLL: return window_hook(n, msg_vscroll, a & 0xffff, (a >> 16) & 0xffff);
    case PWIN_PALETTE: return 0;
    default: return pwin->default_proc(w, msg, a, b);
  }
}

// The frame of an edit window; its edit control is the platform's.
static intptr_t edit_proc(pwin_handle w, int msg, intptr_t a, intptr_t b) {
  uint16_t n = uint16_t(pwin->user(w));
  if (!edit_hook) return pwin->default_proc(w, msg, a, b);
  switch (msg) {
    case PWIN_SIZE: return 0;
    case PWIN_CLOSE: return edit_hook(n, msg_close, a, b);
    case PWIN_DESTROY: return edit_hook(n, msg_destroy, a, b);
    case PWIN_COMMAND:
      if (b != 0) return out_of_space(a);
      switch (a & 0xffff) {
        case 2000:
          if (!pwin->edit_can(w, 0))
            pwin->message_box(w, "Nothing to Undo.", "Undo notification", PWIN_MB_OK);
          else
            pwin->edit_command(w, 0);
          return 0;
        case 2001:
        case 2002:
        case 2003: pwin->edit_command(w, int(a & 0xffff) - 2000); return 0;
        case 2010: gagscren_edwindowprint(w); return 0;
        default: return edit_hook(n, msg_menu, a, b);
      }
    case PWIN_INITMENU:
      // Undo, Cut, Copy and Paste are greyed when there is nothing for them to do.
      for (int k = 0; k < 4; k++)
        pwin->enable_menu_item(pwin_handle(a), uint16_t(2000 + k), pwin->edit_can(w, k));
      return pwin->default_proc(w, msg, a, b);
    default: return pwin->default_proc(w, msg, a, b);
  }
}

// ---- Bitmaps ----------------------------------------------------------------------
// The bitmaps the program carries: the main window's background tile, a soft
// blue-grey weave drawn here.

namespace {
struct Bitmap {
  const char *name;
  int32_t width, height;
  std::vector<uint8_t> rgb;
};

const std::vector<Bitmap> &bitmaps() {
  static const std::vector<Bitmap> all = [] {
    Bitmap tile{"KessimUran", 48, 48, {}};
    for (int32_t y = 0; y < 48; y++)
      for (int32_t x = 0; x < 48; x++) {
        int weave = ((x / 6 + y / 6) % 2) ? (x % 6) : (y % 6);
        tile.rgb.push_back(uint8_t(196 + 2 * weave));
        tile.rgb.push_back(uint8_t(206 + 2 * weave));
        tile.rgb.push_back(uint8_t(222 + 2 * weave));
      }
    return std::vector<Bitmap>{tile};
  }();
  return all;
}

// The bitmap's number from 1, 0 for none.
uint32_t find_bitmap(const String *name) {
  if (!name || !name->text) return 0;
  for (size_t i = 0; i < bitmaps().size(); i++)
    if (strcmp(bitmaps()[i].name, name->text) == 0) return uint32_t(i + 1);
  return 0;
}
}  // namespace

bool gagscren_screenwindowclass(windowclass *c) {
  TRACE("gagscren_screenwindowclass");
  c->image = find_bitmap(&c->imagename);
  uint32_t flags = PWIN_CLASS_DRAWING | ((c->style & GAG_NOCLOSE) ? PWIN_CLASS_NOCLOSE : 0);
  c->registration = pwin->register_class(c->name.text, window_proc, flags);
  return c->registration != 0;
}

bool gagscren_editwindowclass(windowclass *c) {
  TRACE("gagscren_editwindowclass");
  uint32_t flags = PWIN_CLASS_EDIT | ((c->style & GAG_NOCLOSE) ? PWIN_CLASS_NOCLOSE : 0);
  c->registration = pwin->register_class(c->name.text, edit_proc, flags);
  if (!c->registration) rtlib_fatal_in("gagscren_editwindowclass", "EdWindowClass Failed.");
  return true;
}

bool gagscren_screenwindow(viewrec *v, const windowclass *c, int16_t x, int16_t y, uint16_t w,
                           uint16_t h, const String *caption) {
  TRACE("gagscren_screenwindow");
  // 1. A negative position is the platform's choice.
  int32_t px = (x < 0 || y < 0) ? -1 : x, py = (x < 0 || y < 0) ? -1 : y;
  // 2. Style and owner: an owned window is a pop-up; one of a child class has a
  //    dialog frame and is placed relative to its owner's client area.
  uint32_t style = PWIN_WS_CAPTION;
  pwin_handle owner = 0;
  bool owned = v->owner != 0 && checkview(v->owner) && gag_views[v->owner - 1]->window;
  if (owned && !(c->style & GAG_TOPLEVEL)) {
    owner = gag_views[v->owner - 1]->window;
    if (c->style & GAG_CHILD) {
      style = PWIN_WS_POPUP | PWIN_WS_DLGFRAME;
      int32_t ox, oy;
      pwin->origin(owner, &ox, &oy);
      if (px >= 0) {
        px += ox;
        py += oy;
      }
    } else {
      style = PWIN_WS_POPUP | PWIN_WS_CAPTION;
    }
  }
  // 3. Boxes and scroll bars.
  if (!(c->style & GAG_NOMIN)) style |= PWIN_WS_MINIMIZEBOX;
  if (!(c->style & GAG_NOMAX)) style |= PWIN_WS_MAXIMIZEBOX | PWIN_WS_THICKFRAME;
  if (c->style & GAG_SCROLL) style |= PWIN_WS_HSCROLL | PWIN_WS_VSCROLL;
  // 4. The class's menu.
  if (c->menuname.length) v->menu = gagscren_findmenu(&c->menuname);
  // 5. The window; its view number is known to it from the first message on.
  pwin_handle win = pwin->create(c->registration, caption && caption->text ? caption->text : "",
                                 style, px, py, w, h, owner, v->menu, v->number);
  if (!win) {
    debug_printf("%s: %s\n", "CreateWindow Failed", rtlib_errno_text());
    rtlib_fatal_in("gagscren_screenwindow", "CreateWindow FAILED!");
  }
  v->window = win;
  // 6. Its surface.
  v->device = pwin->surface(win);
  // 7. The pixel mapping (as given) and the client size.
  v->xorigin = v->yorigin = 0;
  v->xscale = v->yscale = 1.0f;
  int32_t cw, ch;
  pwin->client_size(win, &cw, &ch);
  v->client = {cw, ch};
  return true;
}

void gagscren_screenshowwindow(viewrec *v, int state) {
  TRACE("gagscren_screenshowwindow");
  if (!v->window) {
    debug_printf("ShowWindow view=%d state=%d handle=%u\n", v->number, state, v->window);
    rtlib_fatal_in("gagscren_screenshowwindow", "BAD ShowWindow!");
  }
  static const int commands[] = {0, PWIN_SHOWDEFAULT, PWIN_HIDE, PWIN_SHOWNORMAL,
                                 PWIN_SHOWMINNOACTIVE, PWIN_SHOWNA};
  v->hidden = state == 2;
  if (state >= 1 && state <= 5) pwin->show(v->window, commands[state]);
  pwin->update(v->window);
  gagscren_dispatch(0);
}

void gagscren_screendestroywindow(viewrec *v) {
  TRACE("gagscren_screendestroywindow");
  pwin_handle w = v->window;
  if (v->device == screen_output.pen_device) screen_output.pen_device = nullptr;
  v->device = nullptr;
  if (w) pwin->destroy(w);
  v->window = 0;
}

void gagscren_screenclose(viewrec *v) {
  TRACE("gagscren_screenclose");
  gagscren_screendestroywindow(v);
  gagscren_dispatch(0);
}

void gagscren_screenmovewindow(viewrec *v, int16_t x, int16_t y, uint16_t w, uint16_t h) {
  TRACE("gagscren_screenmovewindow");
  if (!v->window) return;
  pwin->move(v->window, x, y, w, h);
  v->xorigin = v->yorigin = 0;
  v->xscale = v->yscale = 1.0f;
  int32_t cw, ch;
  pwin->client_size(v->window, &cw, &ch);
  v->client = {cw, ch};
}

void gagscren_screensetcaption(viewrec *v, const String *caption) {
  TRACE("gagscren_screensetcaption");
  if (v->window) pwin->set_caption(v->window, caption->text ? caption->text : "");
}

void gagscren_screenflush() {}

// The palette, pens and brushes are the palette table and the surfaces' own state,
// so nothing is left to delete.
void gagscren_screenrelease() {
  TRACE("gagscren_screenrelease");
  pwin->post_quit();
  pwin_msg m;
  pwin->peek(&m);
}

// ---- Menus and scroll bars -------------------------------------------------------

uint32_t gagscren_screennewmenu() { return pwin->new_menu(false); }
uint32_t gagscren_screennewsubmenu() { return pwin->new_menu(true); }

void gagscren_screennewmenuitem(uint32_t menu, uint16_t id, uint32_t submenu, const String *text) {
  TRACE("gagscren_screennewmenuitem");
  pwin->append_menu(menu, id, submenu, text && text->text ? text->text : "");
}

void gagscren_screenenablemenuitem(viewrec *, uint32_t menu, uint16_t id, uint8_t on) {
  TRACE("gagscren_screenenablemenuitem");
  pwin->enable_menu_item(menu, id, on != 0);
}

void gagscren_screensetmenu_0(viewrec *v, uint32_t menu) {
  TRACE("gagscren_screensetmenu_0");
  if (v->window) pwin->set_menu(v->window, menu);
  if (menu) v->menu = menu;
}

void gagscren_screensetmenu_1(viewrec *v, const String *name) {
  TRACE("gagscren_screensetmenu_1");
  uint32_t menu = gagscren_findmenu(name);
  if (v->window) pwin->set_menu(v->window, menu);
  v->menu = menu;
}

void gagscren_definemenu(const char *name, uint32_t menu) { named_menus[name] = menu; }

uint32_t gagscren_findmenu(const String *name) {
  if (!name || !name->text) return 0;
  auto it = named_menus.find(name->text);
  return it == named_menus.end() ? 0 : it->second;
}

void gagscren_hscrollset(viewrec *v, int32_t min, int32_t max, int32_t page, int32_t pos) {
  if (v->window) pwin->set_scroll(v->window, PWIN_SB_HORZ, min, max, page, pos);
}

void gagscren_vscrollset(viewrec *v, int32_t min, int32_t max, int32_t page, int32_t pos) {
  if (v->window) pwin->set_scroll(v->window, PWIN_SB_VERT, min, max, page, pos);
}

// ---- The editor's edit control ------------------------------------------------------

enum { EDIT_LIMIT = 30000 };

static bool word_char(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool gagscren_filleditbuffer(viewrec *v, StringList *lines, int32_t line, int32_t column) {
  TRACE("gagscren_filleditbuffer");
  // 1. The limit counts every line with two characters for its break.
  int64_t total = 0;
  for (int32_t k = 0; k < lines->count; k++) total += lines->items[k].length + 2;
  if (total > EDIT_LIMIT) {
    debug_printf("FillEditBuffer length = %d\n", int(total));
    pwin->message_box(v->window, "File Too Long To Edit", "ERROR", PWIN_MB_OK);
    return false;
  }
  // 2. The text, each line ended by a line feed (the edit controls here break
  // lines with one character); the start of each line kept for step 3.
  std::string text;
  text.reserve(size_t(total) + 20);
  std::vector<size_t> starts;
  for (int32_t k = 0; k < lines->count; k++) {
    starts.push_back(text.size());
    if (lines->items[k].text) text.append(lines->items[k].text, lines->items[k].length);
    text += '\n';
  }
  pwin->edit_set(v->window, text.c_str());
  // 3. The word before the position: back over blanks, back to the nearest letter
  // or digit, back over letters and digits.
  if (line >= 1 && line <= lines->count) {
    int64_t at = int64_t(starts[size_t(line - 1)]) + column;
    int64_t end = std::min<int64_t>(std::max<int64_t>(at, 0), int64_t(text.size()));
    while (end > 0 && uint8_t(text[size_t(end - 1)]) <= 32) end--;
    int64_t from = end;
    while (from > 0 && !word_char(text[size_t(from - 1)])) from--;
    while (from > 0 && word_char(text[size_t(from - 1)])) from--;
    // The edit control takes offsets that count every line break as two characters.
    auto handed = [&](int64_t at) { return int32_t(at + std::count(text.begin(), text.begin() + at, '\n')); };
    pwin->edit_select(v->window, handed(from), handed(end));
  }
  return true;
}

bool gagscren_geteditbuffer(viewrec *v, StringList *lines) {
  TRACE("gagscren_geteditbuffer");
  std::string text = pwin->edit_get(v->window);
  // Lines end at line feeds (a carriage return before one is part of the break);
  // a last line without a break is a line too.
  std::vector<std::pair<size_t, size_t>> spans;
  for (size_t from = 0; from < text.size();) {
    size_t nl = text.find('\n', from);
    size_t end = nl == std::string::npos ? text.size() : nl;
    size_t len = end - from;
    if (nl != std::string::npos && len > 0 && text[end - 1] == '\r') len--;
    spans.push_back({from, len});
    from = nl == std::string::npos ? text.size() : nl + 1;
  }
  bool changed = false;
  int32_t count = int32_t(spans.size());
  if (count != lines->count) {
    strings_resize_1(lines, count, std::max(count, lines->capacity));
    changed = true;
  }
  for (int32_t k = 0; k < count; k++) {
    String *s = &lines->items[k];
    const char *c = text.c_str() + spans[size_t(k)].first;
    size_t len = std::min<size_t>(spans[size_t(k)].second, 65535);
    if (s->length != len || (len && memcmp(s->text, c, len) != 0)) {
      std::string one(c, len);
      strings_copyto_1(s, one.c_str());
      changed = true;
    }
  }
  return changed;
}

// The key ring. Nothing writes into it: keys reach the program through menus and
// the edit control, so it always reads as empty.
static uint8_t key_ring[80];
static uint16_t ring_read, ring_write;

bool gagscren_kbhit() { return ring_read != ring_write; }

uint8_t gagscren_getch() {
  if (ring_read == ring_write) return 0;
  uint8_t c = key_ring[ring_read];
  ring_read = uint16_t(ring_read == 79 ? 0 : ring_read + 1);
  return c;
}

// ---- Screen and events -----------------------------------------------------------

void gagscren_askscreen(int32_t *width, int32_t *height) { pwin->work_area(width, height); }
int32_t gagscren_askheader() { return pwin->caption_height(); }
void gagscren_screenpixsize(pointl *size, const viewrec *v) { *size = v->client; }

int32_t gagscren_screendefaultfunc(viewrec *v, int16_t event, intptr_t a, intptr_t b) {
  TRACE("gagscren_screendefaultfunc");
  int msg;
  switch (event) {
    case msg_close: msg = PWIN_CLOSE; break;
    case msg_destroy: msg = PWIN_DESTROY; break;
    case msg_iconize: msg = PWIN_SIZE, a = PWIN_SIZE_MINIMISED, b = 0; break;
    case msg_size: msg = PWIN_SIZE, b = (a << 16) | (b & 0xffff), a = 0; break;
    case msg_menu: msg = PWIN_COMMAND; break;
    case msg_paint: msg = PWIN_PAINT; break;
    default:
      debug_printf("screendefaultfunc(%s,%d,%d)\n",
                   event >= 0 && event <= 7 ? event_names[event] : "?", int(a), int(b));
      rtlib_fatal_in("gagscren_screendefaultfunc", "Default Unknown Function");
  }
  return int32_t(pwin->default_proc(v->window, msg, a, b));
}

int32_t gagscren_fakevarcall(gagscren_hook hook, uint16_t view, int16_t event, intptr_t a,
                             intptr_t b) {
  return hook(view, event, a, b);
}

// ---- Pixels and colours ----------------------------------------------------------

static psurf_point pix(const viewrec *v, const points *p) { return gagscren_pixelize(v, p->x, p->y); }

static int32_t reduce(int32_t c) {
  while (c > 42) c -= 42;
  return c < 0 ? 0 : c;
}

static void select(viewrec *v, int32_t colour, int mode) {
  gagscren_colour = reduce(colour);
  if (!v->device) return;
  if (v->device != screen_output.pen_device || pen_width != screen_output.pen_device_width) {
    v->device->ops->pen(v->device, pen_width);
    screen_output.pen_device = v->device;
    screen_output.pen_device_width = pen_width;
  }
  v->device->ops->colour(v->device, uint8_t(gagscren_colour), mode);
}

void gagscren_screencolor_0(viewrec *v, int32_t colour) { select(v, colour, PSURF_COPY); }

void gagscren_screencolor_1(viewrec *v, int32_t colour, int32_t mode) {
  select(v, colour, (mode >= 0 && mode <= 4) ? mode : PSURF_COPY);
}

void gagscren_screenbackcolor(viewrec *v, int32_t colour) { select(v, colour, PSURF_COPY); }
void gagscren_screenandrop(viewrec *v) { select(v, gagscren_colour, PSURF_AND); }
void gagscren_screencopyrop(viewrec *v) { select(v, gagscren_colour, PSURF_COPY); }

void gagscren_screenclear(viewrec *v, int32_t colour) {
  select(v, colour, PSURF_COPY);
  if (!v->device) return;
  const windowclass *c = v->wclass >= 1 && v->wclass <= gag_classcount ? gag_classes[v->wclass - 1]
                                                                        : nullptr;
  if (c && c->image >= 1 && c->image <= bitmaps().size()) {
    const Bitmap &b = bitmaps()[c->image - 1];
    for (int32_t y = 0; y < v->client.y; y += b.height)
      for (int32_t x = 0; x < v->client.x; x += b.width)
        v->device->ops->image(v->device, x, y, b.width, b.height, b.rgb.data());
  } else {
    v->device->ops->clear(v->device, uint8_t(gagscren_colour));
  }
  gagscren_fillcolour = gagscren_colour;
}

void gagscren_screendrawbitmap(viewrec *v, const points *p, const String *name) {
  uint32_t n = find_bitmap(name);
  if (!v->device || !n) return;
  const Bitmap &b = bitmaps()[n - 1];
  psurf_point q = pix(v, p);
  v->device->ops->image(v->device, q.x, q.y, b.width, b.height, b.rgb.data());
}

void gagscren_screendot(viewrec *v, const points *p) {
  if (!v->device) return;
  psurf_point q = pix(v, p);
  v->device->ops->pixel(v->device, q.x, q.y);
}

void gagscren_screenmoveto(viewrec *v, const points *p) {
  psurf_point q = pix(v, p);
  gagscren_position = {q.x, q.y};
}

void gagscren_screenlineto(viewrec *v, const points *p) {
  psurf_point q = pix(v, p);
  if (v->device)
    v->device->ops->line(v->device, gagscren_position.x, gagscren_position.y, q.x, q.y);
  gagscren_position = {q.x, q.y};
}

void gagscren_screenline(viewrec *v, const points *a, const points *b) {
  if (!v->device) return;
  psurf_point p = pix(v, a), q = pix(v, b);
  v->device->ops->line(v->device, p.x, p.y, q.x, q.y);
  gagscren_position = {q.x, q.y};
}

void gagscren_screenrect(viewrec *v, const points *a, const points *b) {
  if (!v->device) return;
  psurf_point p = pix(v, a), q = pix(v, b);
  const psurf_ops *o = v->device->ops;
  o->line(v->device, p.x, p.y, q.x, p.y);
  o->line(v->device, q.x, p.y, q.x, q.y);
  o->line(v->device, q.x, q.y, p.x, q.y);
  o->line(v->device, p.x, q.y, p.x, p.y);
  gagscren_position = {p.x, p.y};
}

void gagscren_screenrectfill(viewrec *v, const points *a, const points *b) {
  if (!v->device) return;
  psurf_point p = pix(v, a), q = pix(v, b);
  v->device->ops->rectangle(v->device, p.x, q.y, q.x, p.y);
  gagscren_fillcolour = gagscren_colour;
}

void gagscren_screenviewfill(viewrec *v) {
  if (!v->device) return;
  v->device->ops->rectangle(v->device, v->pixwin.x1, v->pixwin.y2, v->pixwin.x2, v->pixwin.y1);
  gagscren_fillcolour = gagscren_colour;
}

void gagscren_screenarc(viewrec *v, const points *a, const points *b, const points *start,
                        const points *end) {
  if (!v->device) return;
  psurf_point p = pix(v, a), q = pix(v, b), s = pix(v, start), e = pix(v, end);
  v->device->ops->arc(v->device, p.x, q.y, q.x, p.y, s.x, s.y, e.x, e.y);
}

static const psurf_point *pixel_list(const viewrec *v, const points *p, int32_t n) {
  if (int32_t(pixel_points.size()) < n) pixel_points.resize(size_t(n));
  for (int32_t i = 0; i < n; i++) pixel_points[size_t(i)] = pix(v, &p[i]);
  return pixel_points.data();
}

void gagscren_screenpolyfill(viewrec *v, const points *p, int32_t n) {
  const psurf_point *q = pixel_list(v, p, n);
  if (v->device) v->device->ops->polygon(v->device, q, n);
}

void gagscren_screenpolyline(viewrec *v, const points *p, int32_t n) {
  const psurf_point *q = pixel_list(v, p, n);
  if (v->device) v->device->ops->polyline(v->device, q, n);
}

void gagscren_screenellipse(viewrec *v, const points *a, const points *b) {
  pix(v, a);
  pix(v, b);
}

void gagscren_screenflood(viewrec *v, const points *p) { pix(v, p); }

void gagscren_screenclip(viewrec *v, const points *a, const points *b) {
  if (!v->device) return;
  psurf_point p = pix(v, a), q = pix(v, b);
  v->device->ops->clip(v->device, p.x - 1 > 0 ? p.x - 1 : 0, q.y - 1 > 0 ? q.y - 1 : 0, q.x + 1,
                       p.y + 1);
}

void gagscren_screenfullclip(viewrec *v) {
  if (v->device) v->device->ops->clip(v->device, 0, 0, v->client.x, v->client.y);
}

void gagscren_screentextextent(viewrec *v, const String *text, pointl *extent) {
  extent->x = extent->y = 0;
  if (v->device)
    v->device->ops->extent(v->device, text->text ? text->text : "", text->length, v->charpixh,
                           &extent->x, &extent->y);
}

// A pixel product of the text layout, clamped into the integer range.
static int32_t clamp_pixel(double d) {
  if (!std::isfinite(d)) return 0;
  return int32_t(d > 1e7 ? 1e7 : (d < -1e7 ? -1e7 : d));
}

void gagscren_screenprint(viewrec *v, const String *text) {
  TRACE("gagscren_screenprint");
  if (!v->device) return;
  v->stale = 0;
  const char *t = text->text ? text->text : "";
  pointl ext;
  gagscren_screentextextent(v, text, &ext);
  float ha = v->centre.x, va = v->centre.y;
  int32_t x = gagscren_position.x, y = gagscren_position.y;
  int align = 3;
  if (va == 0) {
    align = ha == 0.5f ? 1 : (ha == 1.0f ? 2 : 0);
  } else if (v->angle == 0) {
    x = clamp_pixel(x - ext.x * double(ha));
    if (va >= 0) y = clamp_pixel(ext.y * double(va) + y);
  } else if (v->angle == 90) {
    int32_t x0 = x;
    x = clamp_pixel(ext.y * double(va) + x0);
    y = clamp_pixel(ext.x * double(ha) + y);
  } else {
    align = 0;
  }
  v->device->ops->text(v->device, x, y, t, text->length, v->charpixh,
                       clamp_pixel(10.0 * double(v->angle)), v->font, align);
}

void gagscren_screenalign(const viewrec *v, points *p) {
  p->x = float(gagscren_topixel(p->x, v->xscale)) / v->xscale;
  p->y = float(gagscren_topixel(p->y, v->yscale)) / v->yscale;
}

void gagscren_screensetcolor(uint16_t index, uint8_t r, uint8_t g, uint8_t b) {
  if (index >= 43) return;
  rgb[index][0] = psurf_palette[index][0] = r;
  rgb[index][1] = psurf_palette[index][1] = g;
  rgb[index][2] = psurf_palette[index][2] = b;
}

// An EGA code: per component a high bit worth level 2 and a low bit worth level 1.
void gagscren_screensetcolorega(uint16_t index, uint8_t code) {
  auto level = [code](int hi, int lo) {
    return uint8_t(85 * (2 * ((code >> hi) & 1) + ((code >> lo) & 1)));
  };
  gagscren_screensetcolor(index, level(2, 5), level(1, 4), level(0, 3));
}

void gagscren_screenreadcolor(uint16_t index, uint8_t out[3]) {
  if (index >= 43) return;
  memcpy(out, rgb[index], 3);
}

// ---- Palette -----------------------------------------------------------------------

// The ramp of one component: trunc((1 - |i - c| / w) x h) within 0..230.
static int ramp(int i, double c, double w, double h) {
  double v = std::trunc((1 - std::fabs(i - c) / w) * h);
  return int(v < 0 ? 0 : (v > 230 ? 230 : v));
}

// The spectrum of n + 1 colours from slot first: red through yellow, green and blue
// to violet.
static void color_table(uint8_t table[][3], int n, int first) {
  double s = 0.2 * n, w = 2 * s + 1, h = 230 * w / (w - s);
  for (int i = 0; i <= n; i++) {
    uint8_t *c = table[first + i];
    c[0] = uint8_t(ramp(i, 6 * s, 1.1 * w, h) + ramp(i, 0, 1.1 * w, h));
    c[1] = uint8_t(std::trunc(0.9 * ramp(i, 2 * s, w, h)));
    c[2] = uint8_t(ramp(i, 4 * s, w, h));
  }
}

static void default_palette() {
  gag_default_roles();
  color_table(rgb, 32, 11);
  memcpy(psurf_palette, rgb, sizeof psurf_palette);
}

void gagscren_default_colors() {
  TRACE("gagscren_default_colors");
  default_palette();
  gagscren_create_pens(0.001f, 1024);
  gagscren_create_brushes();
}

// Colours from the first spectrum colour to 42 become greys, darker for higher
// bands. The pens keep the width in force.
void gagscren_gray_colors() {
  TRACE("gagscren_gray_colors");
  int k0 = colour_spectrum;
  double m = (k0 + 42) / 2.0;
  debug_printf("GRAY PARAMETERS N1=%d NN=%d A=%g B=%g C=%g P0=%g\n", k0, 42, 125.0, -115.0, 0.2,
               0.8);
  for (int k = k0; k <= 42; k++) {
    double x = m < 42 ? (k - m) / (42 - m) : 0;
    int j = int(std::trunc(125 - 115 * x * (0.8 + 0.2 * x * x)));
    debug_printf("COLOR %d X=%g j=%d\n", k, x, j);
    gagscren_screensetcolor(uint16_t(k), uint8_t(j), uint8_t(j), uint8_t(j));
  }
  gagscren_create_pens(pen_factor, pen_size);
  gagscren_create_brushes();
}

// ---- Metafiles ---------------------------------------------------------------------

psurf *gagscren_exportstart(viewrec *v, const String *name, int kind) {
  TRACE("gagscren_exportstart");
  const char *path = name && name->text ? name->text : "";
  std::string caption = caption_of(v, 29);
  psurf *m = kind == 0 ? psurf_emf_new(path, v->client.x, v->client.y, caption.c_str())
                        : psurf_wmf_new(path, v->client.x, v->client.y);
  if (!m) return nullptr;
  if (v->window) pwin->set_enabled(v->window, false);
  return m;
}

bool gagscren_exportfinish(viewrec *v, psurf **device) {
  TRACE("gagscren_exportfinish");
  if (v->window) pwin->set_enabled(v->window, true);
  screen_output.pen_device = nullptr;  // a later surface may take the same address
  return psurf_meta_close(device);
}
