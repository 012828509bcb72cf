// pwin, screen back end on FLTK 1.3: one FLTK window per platform window, holding a
// menu bar at its top (rows of 25 pixels: titles that do not fit the width wrap to
// the next row, so every item stays reachable in a narrow window), the client area (a canvas that copies the
// window's off-screen surface, or the text editor of an edit window) and, for
// classes with scroll bars, a scroll bar at the right and at the bottom. FLTK's
// callbacks put messages on the window queue, which peek empties after letting
// FLTK handle what the display sent. The surface keeps the whole picture, so an
// expose only copies it; paint messages follow showing, resizing and invalidating.
// Message boxes, file choosers, the notice and help are FLTK windows of our own.
#include <cfenv>

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_File_Chooser.H>
#include <FL/Fl_Help_Dialog.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/Fl_Scrollbar.H>
#include <FL/Fl_Text_Editor.H>
#include <FL/Fl_Window.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>
#include <FL/x.H>
#include <X11/Xatom.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/psurf.h"
#include "platform/pwin.h"
#include "platform/pwin_menu.h"
#include "platform/pwin_queue.h"

// FLTK's switch that makes its text drawing and measuring take "&x" as an underlined x.
extern char fl_draw_shortcut;

namespace {

constexpr int bar_height = 25;
constexpr int edit_limit = 30000;  // characters, counting a line break as two

class Frame;
struct Win {
  pwin_handle cls, owner, menu;
  uint32_t user, style;
  int32_t x, y;  // the position asked for
  std::string caption, text;
  Frame *frame;
  psurf *surface;
  bool edited;  // the editor's text changed since it was set
  bool placed;  // shown once at the position asked for
  int32_t scroll[2][4];
  std::vector<Fl_Menu_Item> items;  // the menu bar's items
  std::deque<std::string> labels;   // their texts
};

std::map<pwin_handle, Win> windows;
std::map<pwin_handle, Fl_Window *> notices;  // hidden once cancelled
pwin_handle next_handle = 1;

Win *lookup(pwin_handle w) {
  auto it = windows.find(w);
  return it == windows.end() ? nullptr : &it->second;
}

constexpr auto post = pwin_queue_post;

intptr_t send(pwin_handle w, int msg, intptr_t a, intptr_t b) {
  Win *r = lookup(w);
  return r ? pwin_class_of(r->cls)->proc(w, msg, a, b) : 0;
}

bool captioned(uint32_t style) { return (style & PWIN_WS_CAPTION) == PWIN_WS_CAPTION; }

int32_t caption_height();

// The client area: the canvas or the editor.
class Canvas : public Fl_Widget {
 public:
  psurf *surface = nullptr;
  Canvas() : Fl_Widget(0, 0, 1, 1) { box(FL_NO_BOX); }
  void draw() override {
    if (surface) psurf_screen_copy(surface, x(), y());
  }
};

// FLTK's own arithmetic may divide by zero (scroll sizes of an empty or tiny text
// area), which the program's trapping floating-point modes would turn into a fault:
// calls into FLTK that lay out or draw run with the traps held off.
struct FpHold {
  fenv_t env;
  FpHold() { feholdexcept(&env); }
  ~FpHold() { fesetenv(&env); }
};

class Editor : public Fl_Text_Editor {
 public:
  pwin_handle handle_ = 0;
  Editor() : Fl_Text_Editor(0, 0, 1, 1) {}
  // The text's size with every line break counted as two characters.
  int size() {
    Fl_Text_Buffer *b = buffer();
    return b->length() + b->count_lines(0, b->length());
  }
  int handle(int e) override;
};

// The menu bar: its top-level titles laid out left to right in rows of bar_height,
// a title that would pass the right edge starting the next row. Sends the opening
// notice of the menus, so the window can grey items first.
class Bar : public Fl_Menu_Bar {
 public:
  pwin_handle handle_ = 0;
  struct Title {
    const Fl_Menu_Item *item;
    int x, y, w;
  };
  Bar() : Fl_Menu_Bar(0, 0, 1, bar_height) {}
  // The titles of the top-level items for a bar of the given width, in bar coordinates.
  std::vector<Title> titles(int width) const {
    std::vector<Title> out;
    if (!menu()) return out;
    fl_font(textfont(), textsize());
    int x = 0, y = 0;
    for (const Fl_Menu_Item *m = menu(); m && m->label(); m = m->next()) {
      int w = 0, h = 0;
      fl_draw_shortcut = 1;
      fl_measure(m->label(), w, h, 0);
      fl_draw_shortcut = 0;
      w += 12;
      if (x > 0 && x + w > width) x = 0, y += bar_height;
      out.push_back({m, x, y, w});
      x += w;
    }
    return out;
  }
  // Rows the titles take in a bar of the given width (at least one).
  int rows(int width) const {
    std::vector<Title> t = titles(width);
    return t.empty() ? 1 : t.back().y / bar_height + 1;
  }
  void draw() override;
  int handle(int e) override;
  // Opens the menu of a title below it, or chooses a title without a menu.
  int open(const Title &t);
};

class Frame : public Fl_Window {
 public:
  pwin_handle handle_;
  Bar bar;
  Fl_Widget *client;
  Fl_Scrollbar bars[2] = {Fl_Scrollbar(0, 0, 1, 1), Fl_Scrollbar(0, 0, 1, 1)};
  bool has_bar = false, has_scroll = false, quiet = false, own_hide = false, iconic = false;

  Frame(pwin_handle h, int x, int y, int w, int h_, bool edit)
      : Fl_Window(x, y, w, h_), handle_(h), client(nullptr) {
    // Fl_Window's constructor opened this group; its children are added here.
    add(bar);
    if (edit) {
      Editor *e = new Editor();
      e->handle_ = h;
      e->buffer(new Fl_Text_Buffer());
      client = e;
    } else {
      client = new Canvas();
    }
    add(client);
    bars[0].type(FL_HORIZONTAL);
    for (Fl_Scrollbar &b : bars) b.linesize(1);
    for (Fl_Scrollbar &b : bars) add(b);
    end();
    resizable(nullptr);
  }
  ~Frame() override {
    // The bars are members: FLTK must not delete them with the group.
    remove(bar);
    for (Fl_Scrollbar &b : bars) remove(b);
    if (Editor *e = dynamic_cast<Editor *>(client)) {
      Fl_Text_Buffer *b = e->buffer();
      e->buffer(nullptr);
      delete b;
    }
  }
  // Places the bar, the client area and the scroll bars.
  void layout() {
    int top = has_bar ? bar.rows(w()) * bar_height : 0, s = has_scroll ? Fl::scrollbar_size() : 0;
    int cw = std::max(w() - s, 0), ch = std::max(h() - top - s, 0);
    if (has_bar) bar.show();
    else bar.hide();
    bar.resize(0, 0, w(), std::max(top, bar_height));
    client->resize(0, top, cw, ch);
    for (Fl_Scrollbar &b : bars) {
      if (has_scroll) b.show();
      else b.hide();
    }
    bars[0].resize(0, top + ch, cw, s);
    bars[1].resize(cw, top, s, ch);
    Win *r = lookup(handle_);
    if (r && r->surface) psurf_screen_resize(r->surface, cw, ch);
    redraw();
  }
  void resize(int X, int Y, int W, int H) override {
    bool sized = W != w() || H != h();
    Fl_Window::resize(X, Y, W, H);
    layout();
    if (sized && !quiet) {
      post(handle_, PWIN_SIZE, 0, (intptr_t(client->w()) << 16) | client->h());
      pwin_queue_paint(handle_);
    }
  }
  int handle(int e) override {
    // An unmap the program did not ask for is an iconify; the next map restores.
    if (e == FL_HIDE && !own_hide && shown() && !iconic) {
      iconic = true;
      post(handle_, PWIN_SIZE, PWIN_SIZE_MINIMISED, 0);
    } else if (e == FL_SHOW && iconic) {
      iconic = false;
      post(handle_, PWIN_SIZE, 0, (intptr_t(client->w()) << 16) | client->h());
    }
    return Fl_Window::handle(e);
  }
};

// Whether the clipboard may hold text: asked of the X server once when the display
// opens, then kept by the server's change notices and our own Cut and Copy. Asking
// at each menu opening waited on the server while dispatching events, and the
// click that opened the menu was lost in that wait.
int clipboard_text = 0;

void clipboard_changed(int source, void *) {
  if (source == 1) clipboard_text = 1;
}

int Editor::handle(int e) {
  // Text that would pass the limit is refused, and the window told so.
  int n = 0;
  if (e == FL_KEYBOARD && !(Fl::event_state() & (FL_CTRL | FL_ALT | FL_META))) {
    int k = Fl::event_key();
    n = (k == FL_Enter || k == FL_KP_Enter) ? 2 : Fl::event_length();
  } else if (e == FL_PASTE) {
    const char *t = Fl::event_text();
    n = Fl::event_length();
    for (int i = 0; t && i < Fl::event_length(); i++) n += t[i] == '\n';
  }
  if (e == FL_KEYBOARD && (Fl::event_state() & FL_CTRL) &&
      (Fl::event_key() == 'c' || Fl::event_key() == 'x'))
    clipboard_text = 1;  // the editor's own Copy and Cut keys fill the clipboard
  if (n > 0) {
    Fl_Text_Buffer *b = buffer();
    int start, end;
    int taken = b->selection_position(&start, &end) ? end - start : 0;
    if (size() - taken + n > edit_limit) {
      post(handle_, PWIN_COMMAND, intptr_t(PWIN_EDIT_ERRSPACE) << 16, 1);
      return 1;
    }
  }
  return Fl_Text_Editor::handle(e);
}

int Bar::handle(int e) {
  // The window readies its menu (greys what cannot be done) before it opens; the
  // readying asks nothing of the X server (see clipboard_text), so the press's
  // release is never dispatched away under it.
  if ((e == FL_PUSH || e == FL_SHORTCUT) && handle_) {
    Win *r = lookup(handle_);
    if (r) send(handle_, PWIN_INITMENU, intptr_t(r->menu), 0);
  }
  if (!menu()) return 0;
  std::vector<Title> t = titles(w());
  if (e == FL_PUSH) {
    int ex = Fl::event_x() - x(), ey = Fl::event_y() - y();
    for (const Title &k : t)
      if (ex >= k.x && ex < k.x + k.w && ey >= k.y && ey < k.y + bar_height) return open(k);
    return 1;
  }
  // A top-level menu opens by its access letter, a top-level item without a menu of
  // its own ("&Stop") is chosen by it; other keys are the items' own shortcuts.
  if (e == FL_SHORTCUT && visible_r()) {
    const Fl_Menu_Item *v = menu()->find_shortcut(nullptr, true);
    for (const Title &k : t)
      if (v && k.item == v) return open(k);
    return test_shortcut() != nullptr;
  }
  return Fl_Menu_Bar::handle(e);
}

int Bar::open(const Title &t) {
  if (!t.item->active()) return 1;
  if (!t.item->submenu()) return picked(t.item) != nullptr;
  redraw();
  const Fl_Menu_Item *chosen = (t.item + 1)->pulldown(x() + t.x, y() + t.y, t.w, bar_height, nullptr, this);
  redraw();
  if (chosen) picked(chosen);
  return 1;
}

void Bar::draw() {
  draw_box(box() ? box() : FL_UP_BOX, x(), y(), w(), h(), color());
  fl_font(textfont(), textsize());
  for (const Title &k : titles(w())) {
    fl_color(k.item->active() ? textcolor() : fl_inactive(textcolor()));
    fl_draw_shortcut = 1;
    fl_draw(k.item->label(), x() + k.x + 6, y() + k.y, k.w - 6, bar_height, FL_ALIGN_LEFT);
    fl_draw_shortcut = 0;
  }
}

// ---- Menus -------------------------------------------------------------------------

void menu_chosen(Fl_Widget *w, void *id) {
  Bar *b = static_cast<Bar *>(w);
  post(b->handle_, PWIN_COMMAND, intptr_t(id) & 0xffff, 0);
}

// "&Copy\tCtrl+C": the text before the tab is the label ("&" marks the access
// letter, as in FLTK); a "Ctrl+" key after it is the item's shortcut.
int shortcut_of(const std::string &text) {
  size_t tab = text.find('\t');
  if (tab == std::string::npos) return 0;
  std::string key = text.substr(tab + 1);
  if (key.size() == 6 && key.compare(0, 5, "Ctrl+") == 0) return FL_CTRL | tolower(key[5]);
  return 0;
}

void build_items(Win &r, pwin_handle menu, int depth) {
  const std::vector<pwin_item> *items = pwin_menu_items(menu);
  if (!items || depth > 8) return;
  size_t first = r.items.size();
  for (const pwin_item &i : *items) {
    // "-" is a separator: a divider line under the item before it, never an item.
    if (i.text == "-") {
      if (r.items.size() > first && r.items.back().text) r.items.back().flags |= FL_MENU_DIVIDER;
      continue;
    }
    r.labels.push_back(i.text.substr(0, i.text.find('\t')));
    const char *label = r.labels.back().c_str();
    int flags = i.enabled ? 0 : FL_MENU_INACTIVE;
    if (i.sub) {
      r.items.push_back({label, 0, nullptr, nullptr, flags | FL_SUBMENU, 0, 0, 0, 0});
      build_items(r, i.sub, depth + 1);
      r.items.push_back({nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0});
    } else {
      r.items.push_back({label, shortcut_of(i.text), menu_chosen,
                         reinterpret_cast<void *>(intptr_t(i.id)), flags, 0, 0, 0, 0});
    }
  }
}

void build_bar(Win &r) {
  r.items.clear();
  r.labels.clear();
  build_items(r, r.menu, 0);
  r.items.push_back({nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0});
  r.frame->bar.menu(r.items.data());
  r.frame->bar.redraw();
}

// ---- Windows -----------------------------------------------------------------------

void close_box(Fl_Widget *w, void *) {
  Frame *f = static_cast<Frame *>(w);
  if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) return;  // not a close
  Win *r = lookup(f->handle_);
  if (r && !(pwin_class_of(r->cls)->flags & PWIN_CLASS_NOCLOSE)) post(f->handle_, PWIN_CLOSE, 0, 0);
}

void scrolled(Fl_Widget *w, void *data) {
  pwin_handle h = pwin_handle(intptr_t(data) >> 1);
  int bar = int(intptr_t(data) & 1);
  Win *r = lookup(h);
  if (!r) return;
  Fl_Scrollbar *s = static_cast<Fl_Scrollbar *>(w);
  int32_t *st = r->scroll[bar];
  int32_t now = int32_t(s->value()), was = st[3], step = now - was;
  int msg = bar ? PWIN_VSCROLL : PWIN_HSCROLL;
  auto put = [&](int code, int32_t pos) { post(h, msg, code | (intptr_t(pos & 0xffff) << 16), 0); };
  if (Fl::event() == FL_RELEASE) {
    if (step != 0) put(4, now);  // thumb position
    put(8, 0);                   // end of scrolling
  } else if (Fl::event() == FL_DRAG) {
    put(5, now);  // thumb tracking
  } else if (step == -1 || step == 1) {
    put(step < 0 ? 0 : 1, 0);  // line up, down
  } else if (step != 0) {
    put(step < 0 ? 2 : 3, 0);  // page up, down
  }
  // The program moves the bar itself when it takes the step.
  s->value(st[3], std::max(st[2], 1), st[0], std::max(st[1] - st[0] + 1, 1));
}

void send_size(pwin_handle w) {
  Win *r = lookup(w);
  if (r) send(w, PWIN_SIZE, 0, (intptr_t(r->frame->client->w()) << 16) | r->frame->client->h());
}

pwin_handle create(pwin_handle cls, const char *caption, uint32_t style, int32_t x, int32_t y,
                   int32_t w, int32_t h, pwin_handle owner, pwin_handle menu, uint32_t user) {
  FpHold hold;
  if (!pwin_class_of(cls) || (owner && !lookup(owner))) return 0;
  pwin_handle id = next_handle++;
  Win &r = windows[id];
  r.cls = cls, r.owner = owner, r.menu = menu, r.user = user, r.style = style;
  r.x = x, r.y = y;
  r.caption = caption ? caption : "";
  int32_t ch = std::max(h - (captioned(style) ? caption_height() : 0), 1);
  bool edit = (pwin_class_of(cls)->flags & 0xff) == PWIN_CLASS_EDIT;
  Fl_Group::current(nullptr);
  r.frame = new Frame(id, x < 0 ? 0 : x, y < 0 ? 0 : y, std::max(w, 1), ch, edit);
  if (x < 0 || y < 0) r.frame->free_position();
  r.frame->copy_label(r.caption.c_str());
  r.frame->callback(close_box);
  if (!captioned(style)) r.frame->border(0);
  if (!(style & PWIN_WS_THICKFRAME)) r.frame->size_range(r.frame->w(), ch, r.frame->w(), ch);
  r.frame->bar.handle_ = id;
  r.frame->has_bar = menu != 0;
  r.frame->has_scroll = (style & (PWIN_WS_HSCROLL | PWIN_WS_VSCROLL)) != 0;
  for (int b = 0; b < 2; b++) {
    r.frame->bars[b].callback(scrolled, reinterpret_cast<void *>(intptr_t(id) << 1 | b));
    r.frame->bars[b].when(FL_WHEN_CHANGED | FL_WHEN_RELEASE_ALWAYS);
  }
  r.surface = psurf_screen_new(1, 1);
  if (Canvas *c = dynamic_cast<Canvas *>(r.frame->client)) {
    c->surface = r.surface;
    psurf_screen_show(r.surface, c);
  } else if (Editor *e = dynamic_cast<Editor *>(r.frame->client)) {
    e->buffer()->add_modify_callback(
        [](int, int, int, int, const char *, void *data) {
          if (Win *q = lookup(pwin_handle(intptr_t(data)))) q->edited = true;
        },
        reinterpret_cast<void *>(intptr_t(id)));
  }
  if (menu) build_bar(r);
  r.frame->layout();
  send_size(id);
  return id;
}

uint32_t user(pwin_handle w) {
  Win *r = lookup(w);
  return r ? r->user : 0;
}

void invalidate(pwin_handle w) {
  Win *r = lookup(w);
  if (r && r->frame->shown() && r->frame->visible()) pwin_queue_paint(w);
}

bool show(pwin_handle w, int cmd) {
  FpHold hold;
  Win *r = lookup(w);
  if (!r) return false;
  Frame *f = r->frame;
  if (cmd == PWIN_HIDE) {
    f->own_hide = true;
    f->hide();
    f->own_hide = false;
    return true;
  }
  f->show();
  // FLTK keeps a new framed window 20 rows below the top of the screen; the
  // program's own position holds.
  if (!r->placed && r->x >= 0 && r->y >= 0) XMoveWindow(fl_display, fl_xid(f), r->x, r->y);
  r->placed = true;
  Win *o = lookup(r->owner);
  if (o && o->frame->shown())
    XSetTransientForHint(fl_display, fl_xid(f), fl_xid(o->frame));
  if (cmd == PWIN_SHOWMINNOACTIVE) f->iconize();
  else if (Editor *e = dynamic_cast<Editor *>(f->client)) e->take_focus();  // keys go to the text
  invalidate(w);
  return true;
}

void destroy(pwin_handle w) {
  FpHold hold;
  if (!lookup(w)) return;
  std::vector<pwin_handle> owned;
  for (auto &[id, r] : windows)
    if (r.owner == w) owned.push_back(id);
  for (pwin_handle o : owned) destroy(o);
  send(w, PWIN_DESTROY, 0, 0);
  Win *r = lookup(w);
  if (!r) return;
  r->frame->own_hide = true;
  r->frame->hide();
  if (Canvas *c = dynamic_cast<Canvas *>(r->frame->client)) c->surface = nullptr;
  delete r->frame;
  psurf_screen_free(&r->surface);
  windows.erase(w);
  pwin_queue_drop(w);
}

void move(pwin_handle w, int32_t x, int32_t y, int32_t width, int32_t height) {
  FpHold hold;
  Win *r = lookup(w);
  if (!r) return;
  int32_t ch = std::max(height - (captioned(r->style) ? caption_height() : 0), 1);
  r->frame->quiet = true;
  if (!(r->style & PWIN_WS_THICKFRAME)) r->frame->size_range(width, ch, width, ch);
  r->frame->resize(x, y, std::max(width, 1), ch);
  r->x = x, r->y = y;  // a window moved before it is first shown is shown there
  r->frame->quiet = false;
  send_size(w);
  invalidate(w);
}

void client_size(pwin_handle w, int32_t *cw, int32_t *ch) {
  *cw = *ch = 0;
  if (Win *r = lookup(w)) *cw = r->frame->client->w(), *ch = r->frame->client->h();
}

void origin(pwin_handle w, int32_t *x, int32_t *y) {
  *x = *y = 0;
  if (Win *r = lookup(w)) *x = r->frame->x(), *y = r->frame->y() + r->frame->client->y();
}

void set_caption(pwin_handle w, const char *text) {
  if (Win *r = lookup(w)) {
    r->caption = text ? text : "";
    r->frame->copy_label(r->caption.c_str());
  }
}

void set_enabled(pwin_handle w, bool on) {
  if (Win *r = lookup(w)) {
    if (on) r->frame->activate();
    else r->frame->deactivate();
  }
}

void update(pwin_handle w) {
  if (pwin_queue_take_paint(w)) send(w, PWIN_PAINT, 0, 0);
}

intptr_t default_proc(pwin_handle w, int msg, intptr_t, intptr_t) {
  if (msg == PWIN_CLOSE) destroy(w);
  return 0;
}

psurf *surface(pwin_handle w) {
  Win *r = lookup(w);
  return r ? r->surface : nullptr;
}

// One blocking wait for the display, unless messages are already queued.
void wait() {
  FpHold hold;
  if (pwin_queue_empty()) Fl::wait();
}

bool peek(pwin_msg *m) {
  FpHold hold;
  if (pwin_queue_empty()) {
    // Everything the display has sent, then what is left to draw; the round trip
    // lets the display draw it and send what that caused (exposures, sizes), which
    // the next look takes.
    Fl::wait(0);
    for (int k = 0; k < 1000 && Fl::ready(); k++) Fl::wait(0);
    Fl::flush();
    if (fl_display) XSync(fl_display, False);
  }
  return pwin_queue_pop(m);
}

intptr_t dispatch(const pwin_msg *m) { return send(m->window, m->msg, m->a, m->b); }

void post_quit() {}

// The item changes in place in every bar built from a menu that holds it: the bar's
// array stays where FLTK holds it, even while a menu of it is open.
void enable_menu_item(pwin_handle menu, uint16_t id, bool on) {
  pwin_item *i = pwin_menu_find(menu, id);
  if (!i || i->enabled == on) return;
  i->enabled = on;
  for (auto &[h, r] : windows) {
    if (!r.menu || !r.frame->has_bar || pwin_menu_find(r.menu, id) != i) continue;
    for (Fl_Menu_Item &m : r.items)
      if (m.text && m.callback_ == menu_chosen && intptr_t(m.user_data_) == id) {
        if (on) m.flags &= ~FL_MENU_INACTIVE;
        else m.flags |= FL_MENU_INACTIVE;
      }
    r.frame->bar.redraw();
  }
}

// No menu takes the bar away; the client area grows or shrinks with its rows.
void set_menu(pwin_handle w, pwin_handle menu) {
  FpHold hold;
  Win *r = lookup(w);
  if (!r) return;
  r->menu = menu;
  if (menu) build_bar(*r);
  int before = r->frame->client->h();
  r->frame->has_bar = menu != 0;
  r->frame->layout();
  if (before != r->frame->client->h()) {
    send_size(w);
    invalidate(w);
  }
}

// Disabled rather than hidden when the page holds the whole range.
void set_scroll(pwin_handle w, int bar, int32_t min, int32_t max, int32_t page, int32_t pos) {
  Win *r = lookup(w);
  if (!r || bar < 0 || bar > 1) return;
  int32_t *s = r->scroll[bar];
  s[0] = min, s[1] = max, s[2] = page, s[3] = pos;
  Fl_Scrollbar &b = r->frame->bars[bar];
  b.value(pos, std::max(page, 1), min, std::max(max - min + 1, 1));
  if (page > max - min) b.deactivate();
  else b.activate();
  b.redraw();
}

void work_area(int32_t *w, int32_t *h) {
  int x, y, ww, hh;
  Fl::screen_work_area(x, y, ww, hh, 0);
  *w = x + ww;
  *h = y + hh;
}

// The window manager's title bar: the top of the frame it put around a window of
// ours; 0 without a window manager.
int32_t caption_height() {
  Atom check = XInternAtom(fl_display, "_NET_SUPPORTING_WM_CHECK", True);
  Atom extents = XInternAtom(fl_display, "_NET_FRAME_EXTENTS", True);
  if (check == None || extents == None) return 0;
  for (auto &[h, r] : windows) {
    if (!r.frame->shown() || !captioned(r.style)) continue;
    Atom type;
    int format;
    unsigned long n, left;
    unsigned char *data = nullptr;
    if (XGetWindowProperty(fl_display, fl_xid(r.frame), extents, 0, 4, False, XA_CARDINAL, &type,
                           &format, &n, &left, &data) == Success && data && n == 4) {
      int32_t top = int32_t(reinterpret_cast<long *>(data)[2]);
      XFree(data);
      return top;
    }
    if (data) XFree(data);
  }
  return 0;
}

// ---- Boxes and dialogs -----------------------------------------------------------

// Places a window over the middle of its owner's window, or of the screen.
void over(Fl_Window *box, pwin_handle owner) {
  Win *o = lookup(owner);
  int x, y, w, h;
  if (o && o->frame->shown()) x = o->frame->x(), y = o->frame->y(), w = o->frame->w(), h = o->frame->h();
  else Fl::screen_work_area(x, y, w, h, 0);
  box->position(x + (w - box->w()) / 2, y + (h - box->h()) / 2);
}

struct Answer {
  int *result;
  int value;
};

void answered(Fl_Widget *w, void *data) {
  Answer *a = static_cast<Answer *>(data);
  *a->result = a->value;
  w->window()->hide();
}

// A modal box with the text and buttons, each with its answer; closing it answers
// the last button's.
int ask(pwin_handle owner, const char *text, const char *caption,
        std::vector<std::pair<const char *, int>> buttons) {
  fl_font(FL_HELVETICA, 14);
  int tw = 360, th = 0;
  fl_measure(text, tw, th, 0);
  tw = std::clamp(tw, 200, 600);
  int bw = 80, w = std::max(tw + 20, int(buttons.size()) * (bw + 10) + 10), h = th + 70;
  int result = buttons.back().second;
  Fl_Group::current(nullptr);
  Fl_Window box(w, h);
  box.copy_label(caption);
  Fl_Box message(10, 10, w - 20, th + 10);
  message.copy_label(text);
  message.align(FL_ALIGN_INSIDE | FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_WRAP);
  std::vector<std::unique_ptr<Fl_Button>> keep;
  std::vector<Answer> answers(buttons.size());
  for (size_t i = 0; i < buttons.size(); i++) {
    int x = w - int(buttons.size() - i) * (bw + 10);
    keep.push_back(std::make_unique<Fl_Button>(x, h - 40, bw, 30, buttons[i].first));
    answers[i] = {&result, buttons[i].second};
    keep.back()->callback(answered, &answers[i]);
  }
  box.end();
  Answer closing = {&result, buttons.back().second};
  box.callback([](Fl_Widget *w, void *data) { answered(static_cast<Fl_Window *>(w)->child(0), data); },
               &closing);
  box.set_modal();
  over(&box, owner);
  box.show();
  keep.front()->take_focus();
  while (box.shown()) Fl::wait();
  return result;
}

int message_box(pwin_handle owner, const char *text, const char *caption, int style) {
  const char *t = text ? text : "", *c = caption ? caption : "Error";
  switch (style & 0x0f) {
    case PWIN_MB_YESNO: return ask(owner, t, c, {{"&Yes", PWIN_IDYES}, {"&No", PWIN_IDNO}});
    case PWIN_MB_OKCANCEL: return ask(owner, t, c, {{"OK", PWIN_IDOK}, {"Cancel", PWIN_IDCANCEL}});
    default: return ask(owner, t, c, {{"OK", PWIN_IDOK}});
  }
}

// A box that stays up while the program works on, with the text and Cancel.
pwin_handle notice(pwin_handle owner, const char *text) {
  Fl_Group::current(nullptr);
  Fl_Window *box = new Fl_Window(240, 100);
  box->copy_label(text ? text : "");
  Fl_Box *say = new Fl_Box(10, 10, 220, 30);
  say->copy_label(text ? text : "");
  Fl_Button *cancel = new Fl_Button(80, 55, 80, 30, "Cancel");
  cancel->callback([](Fl_Widget *w, void *) { w->window()->hide(); });
  box->end();
  box->set_non_modal();
  over(box, owner);
  box->show();
  pwin_handle id = next_handle++;
  notices[id] = box;
  return id;
}

bool notice_cancelled(pwin_handle n) {
  auto it = notices.find(n);
  return it != notices.end() && !it->second->shown();
}

void kill_notice(pwin_handle n) {
  auto it = notices.find(n);
  if (it == notices.end()) return;
  delete it->second;
  notices.erase(it);
}

// Dialogs: a modal window of the resource's items; a button or check box pressed, or
// the box closed (Cancel), goes to the procedure, and the box stays until ended.
struct Dialog {
  Fl_Window *box = nullptr;
  std::map<uint16_t, Fl_Widget *> items;
  pwin_dialog_proc proc = nullptr;
  bool ended = false;
  int32_t result = 0;
};
std::map<pwin_handle, Dialog> dialogs;
std::string dialog_text;

struct Press {
  pwin_handle dialog;
  uint16_t id;
};

void pressed(pwin_handle d, uint16_t id) {
  auto it = dialogs.find(d);
  if (it != dialogs.end() && !it->second.ended) it->second.proc(id, 0, d);
}

int32_t dialog(pwin_handle owner, const char *resource, pwin_dialog_proc proc) {
  const pwin_dialog_resource *r = pwin_dialog_find(resource);
  if (!r) return -1;
  pwin_handle id = next_handle++;
  Dialog &d = dialogs[id];
  d.proc = proc;
  std::vector<std::unique_ptr<Press>> presses;
  Fl_Group::current(nullptr);
  Fl_Window box(r->width, r->height);
  box.copy_label(r->caption.c_str());
  for (const pwin_dialog_item &i : r->items) {
    Fl_Widget *w = nullptr;
    switch (i.kind) {
      case PWIN_DLG_EDIT: w = new Fl_Input(i.x, i.y, i.width, i.height); break;
      case PWIN_DLG_BUTTON: w = new Fl_Button(i.x, i.y, i.width, i.height); break;
      case PWIN_DLG_CHECK: w = new Fl_Check_Button(i.x, i.y, i.width, i.height); break;
      default: w = new Fl_Box(i.x, i.y, i.width, i.height); break;
    }
    if (i.kind == PWIN_DLG_EDIT) static_cast<Fl_Input *>(w)->value(i.text.c_str());
    else w->copy_label(i.text.c_str());
    if (i.kind == PWIN_DLG_BUTTON || i.kind == PWIN_DLG_CHECK) {
      presses.push_back(std::make_unique<Press>(Press{id, i.id}));
      w->callback([](Fl_Widget *, void *p) { pressed(static_cast<Press *>(p)->dialog, static_cast<Press *>(p)->id); },
                  presses.back().get());
    }
    d.items[i.id] = w;
  }
  box.end();
  Press cancel = {id, PWIN_IDCANCEL};
  box.callback([](Fl_Widget *, void *p) { pressed(static_cast<Press *>(p)->dialog, PWIN_IDCANCEL); }, &cancel);
  box.set_modal();
  over(&box, owner);
  d.box = &box;
  proc(1, 0, id);
  if (!dialogs[id].ended) box.show();
  while (!dialogs[id].ended) Fl::wait();
  box.hide();
  int32_t result = dialogs[id].result;
  dialogs.erase(id);
  return result;
}

void dialog_end(pwin_handle d, int32_t result) {
  auto it = dialogs.find(d);
  if (it != dialogs.end()) it->second.ended = true, it->second.result = result;
}

Fl_Widget *dialog_item(pwin_handle d, uint16_t item) {
  auto it = dialogs.find(d);
  if (it == dialogs.end()) return nullptr;
  auto w = it->second.items.find(item);
  return w == it->second.items.end() ? nullptr : w->second;
}

const char *dialog_get(pwin_handle d, uint16_t item) {
  Fl_Widget *w = dialog_item(d, item);
  if (Fl_Input *in = dynamic_cast<Fl_Input *>(w)) dialog_text = in->value();
  else if (Fl_Check_Button *c = dynamic_cast<Fl_Check_Button *>(w)) dialog_text = c->value() ? "1" : "0";
  else dialog_text = w && w->label() ? w->label() : "";
  return dialog_text.c_str();
}

void dialog_set(pwin_handle d, uint16_t item, const char *text) {
  Fl_Widget *w = dialog_item(d, item);
  if (Fl_Input *in = dynamic_cast<Fl_Input *>(w)) in->value(text ? text : "");
  else if (w) w->copy_label(text ? text : "");
}

void dialog_check(pwin_handle d, uint16_t item, bool on) {
  if (Fl_Check_Button *c = dynamic_cast<Fl_Check_Button *>(dialog_item(d, item))) c->value(on ? 1 : 0);
}

// Our own help page: the file named, with ".html" in place of its extension,
// beside the program unless the name carries a folder.
void help(pwin_handle, const char *file) {
  std::string name = file ? file : "";
  size_t dot = name.rfind('.');
  if (dot != std::string::npos && name.find('/', dot) == std::string::npos) name.resize(dot);
  name += ".html";
  if (name.find('/') == std::string::npos) {
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) {
      std::string dir(exe, size_t(n));
      name = dir.substr(0, dir.rfind('/') + 1) + name;
    }
  }
  static Fl_Help_Dialog *viewer;
  if (!viewer) viewer = new Fl_Help_Dialog();
  viewer->load(name.c_str());
  viewer->show();
}

void beep(int kind) {
  static const int kinds[] = {FL_BEEP_DEFAULT, FL_BEEP_MESSAGE, FL_BEEP_NOTIFICATION, FL_BEEP_ERROR,
                              FL_BEEP_DEFAULT};
  fl_beep(kinds[(kind >= 0 && kind <= 4) ? kind : 0]);
}

// The chooser's filter: the extension in either case.
std::string filter_of(const char *ext) {
  if (!ext || !*ext) return "All Files (*)";
  std::string pattern;
  for (const char *c = ext; *c; c++)
    if (isalpha(static_cast<unsigned char>(*c))) pattern += {'[', char(tolower(*c)), char(toupper(*c)), ']'};
    else pattern += *c;
  return std::string(ext) + " Files (*." + pattern + ")";
}

bool choose(pwin_handle owner, const char *ext, const char *dir, char *path, int size, bool save) {
  if (size <= 0) return false;
  std::string start = dir && *dir ? dir : ".";
  // A proposed name is filled in over its folder: the chooser lists the folder,
  // which the name itself (a file not yet written) is not.
  std::string proposal;
  if (save && *path) proposal = path[0] == '/' ? std::string(path) : start + "/" + path;
  if (!proposal.empty()) start = proposal.substr(0, proposal.rfind('/') + 1);
  std::string filter = filter_of(ext);
  Fl_File_Chooser chooser(start.c_str(), filter.c_str(),
                          save ? Fl_File_Chooser::CREATE : Fl_File_Chooser::SINGLE,
                          save ? "Save As" : "Open");
  if (!proposal.empty()) chooser.value(proposal.c_str());
  for (;;) {
    chooser.show();
    while (chooser.shown()) Fl::wait();
    if (!chooser.value()) return false;
    std::string p = chooser.value();
    std::string base = p.substr(p.rfind('/') + 1);
    if (save && ext && *ext && base.find('.') == std::string::npos) p += std::string(".") + ext;
    struct stat st;
    bool exists = stat(p.c_str(), &st) == 0;
    if (!save && !exists) {
      message_box(owner, (p + "\nFile not found.").c_str(), "Open", PWIN_MB_OK);
      continue;
    }
    if (save && exists) {
      if (access(p.c_str(), W_OK) != 0) {
        message_box(owner, (p + "\nThis file is read-only. Choose another name.").c_str(),
                    "Save As", PWIN_MB_OK);
        continue;
      }
      if (message_box(owner, (p + " already exists.\nDo you want to replace it?").c_str(),
                      "Save As", PWIN_MB_YESNO) != PWIN_IDYES)
        continue;
    }
    snprintf(path, size_t(size), "%s", p.c_str());
    return true;
  }
}

bool open_file(pwin_handle owner, const char *ext, const char *dir, char *path, int size) {
  return choose(owner, ext, dir, path, size, false);
}
bool save_file(pwin_handle owner, const char *ext, const char *dir, char *path, int size) {
  return choose(owner, ext, dir, path, size, true);
}

// ---- The edit control ------------------------------------------------------------
// Its text is handed over with each line break as carriage return and line feed.

Editor *editor_of(pwin_handle w) {
  Win *r = lookup(w);
  return r ? dynamic_cast<Editor *>(r->frame->client) : nullptr;
}

void edit_set(pwin_handle w, const char *text) {
  FpHold hold;
  Editor *e = editor_of(w);
  if (!e) return;
  std::string t;
  for (const char *c = text ? text : ""; *c; c++)
    if (*c != '\r' || c[1] != '\n') t += *c;
  e->buffer()->text(t.c_str());
  lookup(w)->edited = false;
}

const char *edit_get(pwin_handle w) {
  Editor *e = editor_of(w);
  if (!e) return "";
  Win *r = lookup(w);
  char *t = e->buffer()->text();
  r->text.clear();
  for (const char *c = t; *c; c++) {
    if (*c == '\n') r->text += '\r';
    r->text += *c;
  }
  free(t);
  return r->text.c_str();
}

// Offsets in the handed-over text (line breaks two characters) into the buffer's.
int buffer_offset(Fl_Text_Buffer *b, int32_t at) {
  int pos = 0;
  for (int32_t k = 0; pos < b->length() && k < at; pos++) k += b->byte_at(pos) == '\n' ? 2 : 1;
  return pos;
}

void edit_select(pwin_handle w, int32_t from, int32_t to) {
  Editor *e = editor_of(w);
  if (!e) return;
  Fl_Text_Buffer *b = e->buffer();
  int f = buffer_offset(b, from), t = buffer_offset(b, to);
  b->select(f, t);
  e->insert_position(t);
  e->show_insert_position();
}

const char *caption(pwin_handle w) {
  Win *r = lookup(w);
  return r ? r->caption.c_str() : "";
}

// 0 undo, 1 cut, 2 copy, 3 paste.
bool edit_can(pwin_handle w, int command) {
  Editor *e = editor_of(w);
  if (!e) return false;
  switch (command) {
    case 0: return lookup(w)->edited;
    case 1:
    case 2: return e->buffer()->selected() != 0;
    case 3: return clipboard_text != 0;
    default: return false;
  }
}

void edit_command(pwin_handle w, int command) {
  Editor *e = editor_of(w);
  if (!e) return;
  switch (command) {
    case 0: Fl_Text_Editor::kf_undo(0, e); break;
    case 1: Fl_Text_Editor::kf_cut(0, e), clipboard_text = 1; break;
    case 2: Fl_Text_Editor::kf_copy(0, e), clipboard_text = 1; break;
    case 3: Fl_Text_Editor::kf_paste(0, e); break;
  }
}

pwin_service screen = {
    "screen",    pwin_class_register, create,      user,          show,          destroy,
    move,        client_size,    origin,      set_caption,   set_enabled,   invalidate,
    update,      default_proc,
    surface,     wait,           peek,        dispatch,      post_quit,     pwin_menu_new,
    pwin_menu_append, enable_menu_item, set_menu,  set_scroll,    work_area,     caption_height,
    message_box, notice,         kill_notice, help,          beep,          open_file,
    save_file,   edit_set,       edit_get,    edit_select,   caption,       edit_can,
    edit_command, notice_cancelled, dialog, dialog_end, dialog_get, dialog_set, dialog_check,
};

// The program's icon: a blue tile with a white triangle of a mesh on it.
void set_icon() {
  static uint8_t pixels[32 * 32 * 3];
  for (int y = 0; y < 32; y++)
    for (int x = 0; x < 32; x++) {
      uint8_t *p = pixels + 3 * (32 * y + x);
      bool edge = (y == 26 && x >= 5 && x <= 26) || (x >= 5 && x <= 16 && y == 26 - 2 * (x - 5)) ||
                  (x >= 16 && x <= 26 && y == 4 + 2 * (x - 16)) || (x == 16 && y >= 4 && y <= 26);
      p[0] = edge ? 255 : 40, p[1] = edge ? 255 : 90, p[2] = edge ? 255 : 170;
    }
  static Fl_RGB_Image icon(pixels, 32, 32, 3);
  Fl_Window::default_icon(&icon);
}

}  // namespace

// Xlib, fontconfig and FLTK keep their caches until the process ends; a build with
// the leak checker does not count them against the program (or its tests).
extern "C" const char *__lsan_default_suppressions() {
  return "leak:libX11\nleak:libfontconfig\nleak:libXft\nleak:libfltk\nleak:libxcb\n";
}

bool pwin_use_screen() {
  const char *name = getenv("DISPLAY");
  if (!name || !*name) return false;
  if (!fl_display) {
    Display *d = XOpenDisplay(nullptr);
    if (!d) {
      fprintf(stderr, "Cannot open display \"%s\": running without windows\n", name);
      return false;
    }
    fl_open_display(d);
    if (!fl_gc) fl_gc = XCreateGC(fl_display, RootWindow(fl_display, fl_screen), 0, nullptr);
    clipboard_text = Fl::clipboard_contains(Fl::clipboard_plain_text);
    Fl::add_clipboard_notify(clipboard_changed);
    set_icon();
  }
  pwin = &screen;
  return true;
}

// The display's state answers for the platform layer once this back end is linked in.
static const bool display_probe_set = (
    pwin_display_probe = [] { return fl_display != nullptr; }, true);

bool pwin_screen_live() { return pwin == &screen && Fl::first_window() != nullptr; }
