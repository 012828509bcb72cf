// pwin_fltk_frame: the FLTK window of a platform window: the menu bar at its top, the
// client area and the scroll bars, laid out again as it is resized; an unmap the program
// did not ask for is taken as an iconify.
#include <algorithm>

#include "platform/pwin_fltk_internal.h"

namespace pwin_fltk {

Frame::Frame(pwin_handle h, int x, int y, int w, int h_, bool edit)
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

Frame::~Frame() {
  // The bars are members: FLTK must not delete them with the group.
  remove(bar);
  for (Fl_Scrollbar &b : bars) remove(b);
  if (Editor *e = dynamic_cast<Editor *>(client)) {
    Fl_Text_Buffer *b = e->buffer();
    e->buffer(nullptr);
    delete b;
  }
}

void Frame::layout() {
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

void Frame::resize(int X, int Y, int W, int H) {
  bool sized = W != w() || H != h();
  Fl_Window::resize(X, Y, W, H);
  layout();
  if (sized && !quiet) {
    post(handle_, PWIN_SIZE, 0, (intptr_t(client->w()) << 16) | client->h());
    pwin_queue_paint(handle_);
  }
}

int Frame::handle(int e) {
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

}  // namespace pwin_fltk
