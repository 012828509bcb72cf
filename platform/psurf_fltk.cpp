// psurf, screen surface: an off-screen X pixmap that a window copies on expose.
// Lines, polygons, rectangles, arcs and pixels go through a graphics context of the
// surface's own, so the mix modes are the X functions copy, and, or, xor and invert;
// text is drawn by FLTK in its Helvetica and Times faces, turned by the angle.
// Every call asks the window that shows the surface to copy it again.
#include <FL/Fl.H>
#include <FL/Fl_Widget.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/psurf.h"

namespace {

struct Backing {
  Fl_Offscreen pixmap;
  GC gc;
  int32_t width, height;
  uint8_t index;
  int32_t clip[4];  // left, top, right, bottom
  Fl_Widget *shown;  // the widget that copies the surface, or null
};

Backing *fltk_of(psurf *s) { return static_cast<Backing *>(s->data); }

// After drawing: the widget that shows the surface copies it at its next flush.
void touched(psurf *s) {
  if (Fl_Widget *w = fltk_of(s)->shown) w->damage(FL_DAMAGE_ALL);
}

unsigned long pixel_of(uint8_t index) {
  const uint8_t *c = psurf_palette[index < 43 ? index : 3];
  return fl_xpixel(c[0], c[1], c[2]);
}

void fltk_colour(psurf *s, uint8_t index, int mode) {
  static const int functions[] = {GXcopy, GXand, GXor, GXxor, GXinvert};
  Backing *r = fltk_of(s);
  r->index = index < 43 ? index : 3;
  XSetForeground(fl_display, r->gc, pixel_of(r->index));
  XSetFunction(fl_display, r->gc, functions[(mode >= 0 && mode <= 4) ? mode : 0]);
}

// Thin lines leave out their last point, as the pens the layer was drawn for do;
// wider ones are round at their ends and joints.
void fltk_pen(psurf *s, int32_t width) {
  Backing *r = fltk_of(s);
  if (width <= 1) XSetLineAttributes(fl_display, r->gc, 0, LineSolid, CapNotLast, JoinMiter);
  else XSetLineAttributes(fl_display, r->gc, unsigned(width), LineSolid, CapRound, JoinRound);
}

void fltk_line(psurf *s, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  XDrawLine(fl_display, fltk_of(s)->pixmap, fltk_of(s)->gc, x1, y1, x2, y2);
  touched(s);
}

std::vector<XPoint> xpoints(const psurf_point *p, int32_t n) {
  std::vector<XPoint> v(size_t(n > 0 ? n : 0));
  auto clamp = [](int32_t c) { return short(std::clamp(c, -32000, 32000)); };
  for (int32_t i = 0; i < n; i++) v[size_t(i)] = {clamp(p[i].x), clamp(p[i].y)};
  return v;
}

// Whether the points lie within one pixel: small text's dots (a decimal point) that
// the line and fill rules would leave out altogether are drawn as that pixel.
bool one_pixel(const std::vector<XPoint> &v) {
  for (const XPoint &q : v)
    if (q.x != v[0].x || q.y != v[0].y) return false;
  return !v.empty();
}

void fltk_polyline(psurf *s, const psurf_point *p, int32_t n) {
  if (n < 2) return;
  std::vector<XPoint> v = xpoints(p, n);
  if (one_pixel(v)) XDrawPoint(fl_display, fltk_of(s)->pixmap, fltk_of(s)->gc, v[0].x, v[0].y);
  else XDrawLines(fl_display, fltk_of(s)->pixmap, fltk_of(s)->gc, v.data(), n, CoordModeOrigin);
  touched(s);
}

// Filled with the even-odd rule, without an outline.
void fltk_polygon(psurf *s, const psurf_point *p, int32_t n) {
  if (n < 3) return;
  std::vector<XPoint> v = xpoints(p, n);
  if (one_pixel(v)) XDrawPoint(fl_display, fltk_of(s)->pixmap, fltk_of(s)->gc, v[0].x, v[0].y);
  else XFillPolygon(fl_display, fltk_of(s)->pixmap, fltk_of(s)->gc, v.data(), n, Complex, CoordModeOrigin);
  touched(s);
}

// Columns left..right - 1 and rows top..bottom - 1.
void fltk_rectangle(psurf *s, int32_t l, int32_t t, int32_t r, int32_t b) {
  if (r < l) std::swap(l, r);
  if (b < t) std::swap(t, b);
  if (r > l && b > t)
    XFillRectangle(fl_display, fltk_of(s)->pixmap, fltk_of(s)->gc, l, t, unsigned(r - l), unsigned(b - t));
  touched(s);
}

// The rays become angles of the ellipse (X counts them in 64ths of a degree,
// counter-clockwise from three o'clock, as parameters of the ellipse).
void fltk_arc(psurf *s, int32_t l, int32_t t, int32_t r, int32_t b, int32_t xs, int32_t ys, int32_t xe, int32_t ye) {
  if (r < l) std::swap(l, r);
  if (b < t) std::swap(t, b);
  double w = std::max(1, r - l), h = std::max(1, b - t), cx = (l + r) / 2.0, cy = (t + b) / 2.0;
  auto angle = [&](int32_t x, int32_t y) {
    double a = std::atan2(-(y - cy) / h, (x - cx) / w) * 180 / M_PI;
    return a < 0 ? a + 360 : a;
  };
  double a1 = angle(xs, ys), a2 = angle(xe, ye), sweep = a2 - a1;
  if (sweep <= 0) sweep += 360;
  XDrawArc(fl_display, fltk_of(s)->pixmap, fltk_of(s)->gc, l, t, unsigned(w), unsigned(h), int(std::lround(a1 * 64)),
           int(std::lround(sweep * 64)));
  touched(s);
}

void fltk_pixel(psurf *s, int32_t x, int32_t y) {
  XDrawPoint(fl_display, fltk_of(s)->pixmap, fltk_of(s)->gc, x, y);
  touched(s);
}

Fl_Font face(int kind) { return kind == 1 ? FL_HELVETICA : (kind == 2 ? FL_TIMES : FL_TIMES_ITALIC); }

// FLTK's font for the kind at the pixel height; the drawing surface must be current.
void set_font(int kind, int32_t height) { fl_font(face(kind), std::clamp(height, 1, 2000)); }

void fltk_text(psurf *s, int32_t x, int32_t y, const char *t, int32_t n, int32_t height, int32_t angle10, int kind,
               int align) {
  Backing *r = fltk_of(s);
  if (n <= 0) return;
  fl_begin_offscreen(r->pixmap);
  fl_push_clip(r->clip[0], r->clip[1], r->clip[2] - r->clip[0], r->clip[3] - r->clip[1]);
  set_font(kind, height);
  const uint8_t *c = psurf_palette[r->index];
  fl_color(c[0], c[1], c[2]);
  // The shift from the anchor to the baseline's left end, along and across the text.
  double along = align == 1 ? -fl_width(t, n) / 2 : (align == 2 ? -fl_width(t, n) : 0);
  double across = align == 3 ? -fl_descent() : 0;  // upward, in rows
  double a = angle10 * M_PI / 1800;
  int bx = int(std::lround(x + along * std::cos(a) - across * std::sin(a)));
  int by = int(std::lround(y - along * std::sin(a) - across * std::cos(a)));
  if (angle10 == 0) fl_draw(t, n, bx, by);
  else fl_draw(int(std::lround(angle10 / 10.0)), t, n, bx, by);
  fl_pop_clip();
  fl_end_offscreen();
  touched(s);
}

void fltk_extent(psurf *s, const char *t, int32_t n, int32_t height, int32_t *w, int32_t *h) {
  fl_begin_offscreen(fltk_of(s)->pixmap);
  set_font(1, height);
  *w = n > 0 ? int32_t(std::lround(fl_width(t, n))) : 0;
  *h = fl_height();
  fl_end_offscreen();
}

void fltk_clip(psurf *s, int32_t l, int32_t t, int32_t r, int32_t b) {
  Backing *q = fltk_of(s);
  l = std::max(l, 0), t = std::max(t, 0);
  r = std::max(r, l), b = std::max(b, t);
  q->clip[0] = l, q->clip[1] = t, q->clip[2] = r, q->clip[3] = b;
  XRectangle rect = {short(std::min(l, 32000)), short(std::min(t, 32000)),
                     uint16_t(std::min(r - l, 65535)), uint16_t(std::min(b - t, 65535))};
  XSetClipRectangles(fl_display, q->gc, 0, 0, &rect, 1, Unsorted);
}

void fltk_clear(psurf *s, uint8_t index) {
  Backing *r = fltk_of(s);
  fltk_colour(s, index, 0);
  XFillRectangle(fl_display, r->pixmap, r->gc, 0, 0, unsigned(r->width), unsigned(r->height));
  touched(s);
}

void fltk_page(psurf *) {}

void fltk_image(psurf *s, int32_t x, int32_t y, int32_t w, int32_t h, const uint8_t *rgb) {
  Backing *r = fltk_of(s);
  if (w <= 0 || h <= 0) return;
  fl_begin_offscreen(r->pixmap);
  fl_push_clip(r->clip[0], r->clip[1], r->clip[2] - r->clip[0], r->clip[3] - r->clip[1]);
  fl_draw_image(rgb, x, y, w, h, 3);
  fl_pop_clip();
  fl_end_offscreen();
  touched(s);
}

const psurf_ops fltk_ops = {fltk_colour,    fltk_pen,   fltk_line,  fltk_polyline, fltk_polygon,
                            fltk_rectangle, fltk_arc,   fltk_pixel, fltk_text,     fltk_extent,
                            fltk_clip,      fltk_clear, fltk_page,  fltk_image};

Fl_Offscreen white_pixmap(int32_t w, int32_t h, GC gc) {
  Fl_Offscreen p = fl_create_offscreen(std::max(w, 1), std::max(h, 1));
  XGCValues saved;
  XGetGCValues(fl_display, gc, GCForeground | GCFunction, &saved);
  XSetForeground(fl_display, gc, fl_xpixel(255, 255, 255));
  XSetFunction(fl_display, gc, GXcopy);
  XSetClipMask(fl_display, gc, None);
  XFillRectangle(fl_display, p, gc, 0, 0, unsigned(std::max(w, 1)), unsigned(std::max(h, 1)));
  XChangeGC(fl_display, gc, GCForeground | GCFunction, &saved);
  return p;
}

}  // namespace

psurf *psurf_screen_new(int32_t width, int32_t height) {
  Backing *r = new Backing{};
  r->gc = XCreateGC(fl_display, RootWindow(fl_display, fl_screen), 0, nullptr);
  r->width = std::max(width, 1);
  r->height = std::max(height, 1);
  r->pixmap = white_pixmap(r->width, r->height, r->gc);
  psurf *s = new psurf{&fltk_ops, r};
  fltk_clip(s, 0, 0, r->width, r->height);
  fltk_colour(s, 3, PSURF_COPY);
  fltk_pen(s, 1);
  return s;
}

void psurf_screen_resize(psurf *s, int32_t width, int32_t height) {
  Backing *r = fltk_of(s);
  width = std::max(width, 1), height = std::max(height, 1);
  if (width == r->width && height == r->height) return;
  Fl_Offscreen p = white_pixmap(width, height, r->gc);
  int function = 0;
  XGCValues saved;
  XGetGCValues(fl_display, r->gc, GCFunction, &saved);
  function = saved.function;
  XSetFunction(fl_display, r->gc, GXcopy);
  XSetClipMask(fl_display, r->gc, None);
  XCopyArea(fl_display, r->pixmap, p, r->gc, 0, 0, unsigned(std::min(width, r->width)),
            unsigned(std::min(height, r->height)), 0, 0);
  XSetFunction(fl_display, r->gc, function);
  fl_delete_offscreen(r->pixmap);
  r->pixmap = p;
  r->width = width, r->height = height;
  fltk_clip(s, 0, 0, width, height);
  touched(s);
}

void psurf_screen_show(psurf *s, void *widget) { fltk_of(s)->shown = static_cast<Fl_Widget *>(widget); }

void psurf_screen_copy(psurf *s, int32_t x, int32_t y) {
  Backing *r = fltk_of(s);
  fl_copy_offscreen(x, y, r->width, r->height, r->pixmap, 0, 0);
}

void psurf_screen_free(psurf **s) {
  if (!*s) return;
  Backing *r = fltk_of(*s);
  fl_delete_offscreen(r->pixmap);
  XFreeGC(fl_display, r->gc);
  delete r;
  delete *s;
  *s = nullptr;
}
