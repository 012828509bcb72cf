// pwin_fltk_internal: what the files of the screen back end share: the record of each
// window, the widgets of its frame (the menu bar, the client area: a canvas or the text
// editor, the scroll bars) and the functions the service table of pwin_fltk.cpp names.
#pragma once
#include <cfenv>

#include <FL/Fl.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_Scrollbar.H>
#include <FL/Fl_Text_Editor.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/psurf.h"
#include "platform/pwin.h"
#include "platform/pwin_queue.h"

// FLTK's switch that makes its text drawing and measuring take "&x" as an underlined x.
extern char fl_draw_shortcut;

namespace pwin_fltk {

inline constexpr int bar_height = 25;
inline constexpr int edit_limit = 30000;  // characters, counting a line break as two

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

extern std::map<pwin_handle, Win> windows;
extern std::map<pwin_handle, Fl_Window *> notices;  // hidden once cancelled
extern pwin_handle next_handle;

Win *lookup(pwin_handle w);
inline constexpr auto post = pwin_queue_post;
intptr_t send(pwin_handle w, int msg, intptr_t a, intptr_t b);
inline bool captioned(uint32_t style) { return (style & PWIN_WS_CAPTION) == PWIN_WS_CAPTION; }

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

  Frame(pwin_handle h, int x, int y, int w, int h_, bool edit);
  ~Frame() override;
  // Places the bar, the client area and the scroll bars.
  void layout();
  void resize(int X, int Y, int W, int H) override;
  int handle(int e) override;
};

// Whether the clipboard may hold text (see pwin_fltk_edit.cpp).
extern int clipboard_text;

// The menu bar (pwin_fltk_menubar.cpp).
void menu_chosen(Fl_Widget *w, void *id);
void build_bar(Win &r);
void enable_menu_item(pwin_handle menu, uint16_t id, bool on);
void set_menu(pwin_handle w, pwin_handle menu);

// Windows (pwin_fltk_window.cpp).
pwin_handle create(pwin_handle cls, const char *caption, uint32_t style, int32_t x, int32_t y, int32_t w, int32_t h,
                   pwin_handle owner, pwin_handle menu, uint32_t user);
uint32_t user(pwin_handle w);
bool show(pwin_handle w, int cmd);
void destroy(pwin_handle w);
void move(pwin_handle w, int32_t x, int32_t y, int32_t width, int32_t height);
void client_size(pwin_handle w, int32_t *cw, int32_t *ch);
void origin(pwin_handle w, int32_t *x, int32_t *y);
void set_caption(pwin_handle w, const char *text);
void set_enabled(pwin_handle w, bool on);
void invalidate(pwin_handle w);
void update(pwin_handle w);
intptr_t default_proc(pwin_handle w, int msg, intptr_t, intptr_t);
psurf *surface(pwin_handle w);
void wait();
bool peek(pwin_msg *m);
intptr_t dispatch(const pwin_msg *m);
void post_quit();
void send_size(pwin_handle w);
void set_scroll(pwin_handle w, int bar, int32_t min, int32_t max, int32_t page, int32_t pos);
void work_area(int32_t *w, int32_t *h);
int32_t caption_height();
const char *caption(pwin_handle w);

// Message boxes and the notice (pwin_fltk_box.cpp).
void over(Fl_Window *box, pwin_handle owner);
int message_box(pwin_handle owner, const char *text, const char *caption, int style);
pwin_handle notice(pwin_handle owner, const char *text);
bool notice_cancelled(pwin_handle n);
void kill_notice(pwin_handle n);
void beep(int kind);

// The dialog service (pwin_fltk_dialog.cpp).
int32_t dialog(pwin_handle owner, const char *resource, pwin_dialog_proc proc);
void dialog_end(pwin_handle d, int32_t result);
const char *dialog_get(pwin_handle d, uint16_t item);
void dialog_set(pwin_handle d, uint16_t item, const char *text);
void dialog_check(pwin_handle d, uint16_t item, bool on);

// File choosers (pwin_fltk_chooser.cpp).
bool open_file(pwin_handle owner, const char *ext, const char *dir, char *path, int size);
bool save_file(pwin_handle owner, const char *ext, const char *dir, char *path, int size);

// Help (pwin_fltk_help.cpp).
void help(pwin_handle, const char *file);

// The edit control (pwin_fltk_edit.cpp).
void clipboard_changed(int source, void *);
void edit_set(pwin_handle w, const char *text);
const char *edit_get(pwin_handle w);
void edit_select(pwin_handle w, int32_t from, int32_t to);
bool edit_can(pwin_handle w, int command);
void edit_command(pwin_handle w, int command);

}  // namespace pwin_fltk
