// pwin_fltk_window: creating, showing, moving and destroying windows, their scroll
// bars, the message loop over FLTK, and the window manager's caption height.
#include <FL/x.H>
#include <X11/Xatom.h>

#include <algorithm>

#include "platform/pwin_fltk_internal.h"

namespace pwin_fltk {

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

pwin_handle create(pwin_handle cls, const char *caption, uint32_t style, int32_t x, int32_t y, int32_t w, int32_t h,
                   pwin_handle owner, pwin_handle menu, uint32_t user) {
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
  if (o && o->frame->shown()) XSetTransientForHint(fl_display, fl_xid(f), fl_xid(o->frame));
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
    if (XGetWindowProperty(fl_display, fl_xid(r.frame), extents, 0, 4, False, XA_CARDINAL, &type, &format, &n, &left,
                           &data) == Success &&
        data && n == 4) {
      int32_t top = int32_t(reinterpret_cast<long *>(data)[2]);
      XFree(data);
      return top;
    }
    if (data) XFree(data);
  }
  return 0;
}

const char *caption(pwin_handle w) {
  Win *r = lookup(w);
  return r ? r->caption.c_str() : "";
}

}  // namespace pwin_fltk
