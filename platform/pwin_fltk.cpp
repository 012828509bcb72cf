// pwin, screen back end on FLTK 1.3: one FLTK window per platform window, holding a
// menu bar at its top (rows of 25 pixels: titles that do not fit the width wrap to
// the next row, so every item stays reachable in a narrow window), the client area (a canvas that copies the
// window's off-screen surface, or the text editor of an edit window) and, for
// classes with scroll bars, a scroll bar at the right and at the bottom. FLTK's
// callbacks put messages on the window queue, which peek empties after letting
// FLTK handle what the display sent. The surface keeps the whole picture, so an
// expose only copies it; paint messages follow showing, resizing and invalidating.
// Message boxes, file choosers, the notice and help are FLTK windows of our own.
#include <FL/Fl_RGB_Image.H>
#include <FL/x.H>

#include <cstdlib>

#include "platform/pwin_fltk_internal.h"
#include "platform/pwin_menu.h"

namespace pwin_fltk {

std::map<pwin_handle, Win> windows;
std::map<pwin_handle, Fl_Window *> notices;
pwin_handle next_handle = 1;

Win *lookup(pwin_handle w) {
  auto it = windows.find(w);
  return it == windows.end() ? nullptr : &it->second;
}

intptr_t send(pwin_handle w, int msg, intptr_t a, intptr_t b) {
  Win *r = lookup(w);
  return r ? pwin_class_of(r->cls)->proc(w, msg, a, b) : 0;
}

namespace {

pwin_service screen = {
    "screen",
    pwin_class_register,
    create,
    user,
    show,
    destroy,
    move,
    client_size,
    origin,
    set_caption,
    set_enabled,
    invalidate,
    update,
    default_proc,
    surface,
    wait,
    peek,
    dispatch,
    post_quit,
    pwin_menu_new,
    pwin_menu_append,
    enable_menu_item,
    set_menu,
    set_scroll,
    work_area,
    caption_height,
    message_box,
    notice,
    kill_notice,
    help,
    beep,
    open_file,
    save_file,
    edit_set,
    edit_get,
    edit_select,
    caption,
    edit_can,
    edit_command,
    notice_cancelled,
    dialog,
    dialog_end,
    dialog_get,
    dialog_set,
    dialog_check,
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
}  // namespace pwin_fltk

using namespace pwin_fltk;

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
