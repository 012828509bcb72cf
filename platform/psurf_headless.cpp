// psurf, headless surface: draws nothing; while asked to, it keeps every call with
// its pixel arguments so that tests can read what would have been drawn. Text is
// measured as cells half as wide as they are high.
#include <cstring>
#include <initializer_list>

#include "platform/psurf.h"

namespace {

struct Headless {
  int32_t width, height;
  bool keeping;
  std::vector<psurf_call> calls;
};

Headless *of(psurf *s) { return static_cast<Headless *>(s->data); }

// Nothing is built unless the calls are being kept, so drawing costs no allocation.
void keep(psurf *s, const char *op, std::initializer_list<int32_t> v, const char *text = "",
          int32_t n = 0) {
  Headless *h = of(s);
  if (h->keeping) h->calls.push_back({op, std::vector<int32_t>(v), std::string(text, size_t(n))});
}

void keep_points(psurf *s, const char *op, const psurf_point *p, int32_t n) {
  Headless *h = of(s);
  if (!h->keeping) return;
  std::vector<int32_t> v;
  for (int32_t i = 0; i < n; i++) {
    v.push_back(p[i].x);
    v.push_back(p[i].y);
  }
  h->calls.push_back({op, std::move(v), {}});
}

void colour(psurf *s, uint8_t index, int mode) { keep(s, "colour", {index, mode}); }
void pen(psurf *s, int32_t width) { keep(s, "pen", {width}); }
void line(psurf *s, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  keep(s, "line", {x1, y1, x2, y2});
}
void polyline(psurf *s, const psurf_point *p, int32_t n) { keep_points(s, "polyline", p, n); }
void polygon(psurf *s, const psurf_point *p, int32_t n) { keep_points(s, "polygon", p, n); }
void rectangle(psurf *s, int32_t l, int32_t t, int32_t r, int32_t b) {
  keep(s, "rectangle", {l, t, r, b});
}
void arc(psurf *s, int32_t l, int32_t t, int32_t r, int32_t b, int32_t xs, int32_t ys, int32_t xe,
         int32_t ye) {
  keep(s, "arc", {l, t, r, b, xs, ys, xe, ye});
}
void pixel(psurf *s, int32_t x, int32_t y) { keep(s, "pixel", {x, y}); }
void text(psurf *s, int32_t x, int32_t y, const char *t, int32_t n, int32_t height, int32_t angle10,
          int kind, int align) {
  keep(s, "text", {x, y, height, angle10, kind, align}, t, n > 0 ? n : 0);
}
void extent(psurf *, const char *, int32_t n, int32_t height, int32_t *w, int32_t *h) {
  *w = n * (height / 2);
  *h = height;
}
void clip(psurf *s, int32_t l, int32_t t, int32_t r, int32_t b) { keep(s, "clip", {l, t, r, b}); }
void clear(psurf *s, uint8_t index) {
  keep(s, "clear", {index, 0, 0, of(s)->width, of(s)->height});
}
void page(psurf *s) { keep(s, "page", {}); }
void image(psurf *s, int32_t x, int32_t y, int32_t w, int32_t h, const uint8_t *) {
  keep(s, "image", {x, y, w, h});
}

const psurf_ops ops = {colour, pen,  line,   polyline, polygon, rectangle, arc,
                       pixel,  text, extent, clip,     clear,   page,      image};

}  // namespace

psurf *psurf_headless_new(int32_t width, int32_t height) {
  return new psurf{&ops, new Headless{width, height, false, {}}};
}

void psurf_headless_free(psurf **s) {
  if (!*s) return;
  delete of(*s);
  delete *s;
  *s = nullptr;
}

void psurf_headless_record(psurf *s, bool on) {
  of(s)->keeping = on;
  of(s)->calls.clear();
}

const std::vector<psurf_call> &psurf_headless_calls(const psurf *s) {
  return static_cast<const Headless *>(s->data)->calls;
}
