// psurf, PDF pages through cairo: device pixels at 300 dots per inch become points
// (72 per inch), rows running downward as on the page. Colours come from the
// program palette; mix modes map onto the nearest blend operators.
#include <cairo-pdf.h>
#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <cmath>
#include <cstring>
#include <string>

#include "platform/psurf.h"
#include "platform/pwin.h"

uint8_t psurf_palette[43][3];

namespace {

// The font machinery that text loads stays until the program ends; it is handed
// back then, so that leak checks see only what the program itself still holds.
// Only while no document is open, and fontconfig itself only when no display was
// opened: the screen's font layer keeps fontconfig's caches to the end, and
// finishing fontconfig under it aborts the process.
bool fonts_used;
int open_documents;
struct FontRelease {
  ~FontRelease() {
    if (!fonts_used || open_documents) return;
    cairo_debug_reset_static_data();
    if (!pwin_display_opened()) FcFini();
  }
} font_release;

struct Pdf {
  cairo_surface_t *surface;
  cairo_t *cr;
  int32_t width, height;
  double pen;
  uint8_t colour;
};

Pdf *pdf_of(psurf *s) { return static_cast<Pdf *>(s->data); }

void source(Pdf *p, uint8_t index) {
  const uint8_t *c = psurf_palette[index < 43 ? index : 0];
  cairo_set_source_rgb(p->cr, c[0] / 255.0, c[1] / 255.0, c[2] / 255.0);
}

void pdf_colour(psurf *s, uint8_t index, int mode) {
  Pdf *p = pdf_of(s);
  p->colour = index;
  static const cairo_operator_t ops[] = {CAIRO_OPERATOR_OVER, CAIRO_OPERATOR_MULTIPLY,
                                         CAIRO_OPERATOR_LIGHTEN, CAIRO_OPERATOR_DIFFERENCE,
                                         CAIRO_OPERATOR_DIFFERENCE};
  cairo_set_operator(p->cr, ops[mode >= 0 && mode <= 4 ? mode : 0]);
  if (mode == 4) cairo_set_source_rgb(p->cr, 1, 1, 1);
  else source(p, index);
}

// A pen of width 0 or 1 draws one device pixel wide.
void pdf_pen(psurf *s, int32_t width) {
  Pdf *p = pdf_of(s);
  p->pen = width > 1 ? width : 1;
  cairo_set_line_width(p->cr, p->pen);
}

void pdf_line(psurf *s, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  cairo_t *cr = pdf_of(s)->cr;
  cairo_move_to(cr, x1, y1);
  cairo_line_to(cr, x2, y2);
  cairo_stroke(cr);
}

void path(cairo_t *cr, const psurf_point *pt, int32_t n) {
  cairo_move_to(cr, pt[0].x, pt[0].y);
  for (int32_t i = 1; i < n; i++) cairo_line_to(cr, pt[i].x, pt[i].y);
}

void pdf_polyline(psurf *s, const psurf_point *pt, int32_t n) {
  if (n < 1) return;
  path(pdf_of(s)->cr, pt, n);
  cairo_stroke(pdf_of(s)->cr);
}

// A polygon painted over the page is outlined in its own colour as well, two device
// pixels (half a point) wide: a viewer smooths the edges of each fill alone, and
// polygons that abut (the triangles of a painted plot) would show the page through
// hairline seams.
void pdf_polygon(psurf *s, const psurf_point *pt, int32_t n) {
  if (n < 1) return;
  cairo_t *cr = pdf_of(s)->cr;
  path(cr, pt, n);
  cairo_close_path(cr);
  if (cairo_get_operator(cr) != CAIRO_OPERATOR_OVER) {
    cairo_fill(cr);
    return;
  }
  cairo_fill_preserve(cr);
  cairo_set_line_width(cr, 2);
  cairo_stroke(cr);
  cairo_set_line_width(cr, pdf_of(s)->pen);
}

void pdf_rectangle(psurf *s, int32_t l, int32_t t, int32_t r, int32_t b) {
  cairo_rectangle(pdf_of(s)->cr, l, t, r - l, b - t);
  cairo_fill(pdf_of(s)->cr);
}

void pdf_arc(psurf *s, int32_t l, int32_t t, int32_t r, int32_t b, int32_t xs, int32_t ys, int32_t xe, int32_t ye) {
  cairo_t *cr = pdf_of(s)->cr;
  double cx = (l + r) / 2.0, cy = (t + b) / 2.0, rx = std::fabs(r - l) / 2.0,
         ry = std::fabs(b - t) / 2.0;
  if (rx <= 0 || ry <= 0) return;
  // Counter-clockwise on the page is decreasing angle with rows running downward.
  double a0 = std::atan2((ys - cy) / ry, (xs - cx) / rx),
         a1 = std::atan2((ye - cy) / ry, (xe - cx) / rx);
  cairo_save(cr);
  cairo_translate(cr, cx, cy);
  cairo_scale(cr, rx, ry);
  cairo_new_path(cr);
  cairo_arc_negative(cr, 0, 0, 1, a0, a1);
  cairo_restore(cr);
  cairo_stroke(cr);
}

void pdf_pixel(psurf *s, int32_t x, int32_t y) {
  cairo_rectangle(pdf_of(s)->cr, x, y, 1, 1);
  cairo_fill(pdf_of(s)->cr);
}

void font(cairo_t *cr, int32_t height, int kind) {
  fonts_used = true;
  cairo_select_font_face(cr, kind == 1 ? "sans-serif" : "serif",
                         kind == 1 || kind == 2 ? CAIRO_FONT_SLANT_NORMAL : CAIRO_FONT_SLANT_ITALIC,
                         CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, height > 0 ? height : 1);
}

void pdf_text(psurf *s, int32_t x, int32_t y, const char *t, int32_t n, int32_t height, int32_t angle10, int kind,
              int align) {
  if (n <= 0) return;
  cairo_t *cr = pdf_of(s)->cr;
  std::string str(t, size_t(n));
  font(cr, height, kind);
  cairo_text_extents_t e;
  cairo_text_extents(cr, str.c_str(), &e);
  cairo_font_extents_t f;
  cairo_font_extents(cr, &f);
  double dx = align == 1 ? -e.x_advance / 2 : (align == 2 ? -e.x_advance : 0);
  double dy = align == 3 ? -f.descent : 0;
  cairo_save(cr);
  cairo_translate(cr, x, y);
  cairo_rotate(cr, -angle10 * M_PI / 1800);
  cairo_move_to(cr, dx, dy);
  cairo_show_text(cr, str.c_str());
  cairo_restore(cr);
  cairo_new_path(cr);
}

void pdf_extent(psurf *s, const char *t, int32_t n, int32_t height, int32_t *w, int32_t *h) {
  cairo_t *cr = pdf_of(s)->cr;
  font(cr, height, 1);
  std::string str(t, size_t(n > 0 ? n : 0));
  cairo_text_extents_t e;
  cairo_text_extents(cr, str.c_str(), &e);
  cairo_font_extents_t f;
  cairo_font_extents(cr, &f);
  *w = int32_t(std::lround(e.x_advance));
  *h = int32_t(std::lround(f.height));
}

void pdf_clip(psurf *s, int32_t l, int32_t t, int32_t r, int32_t b) {
  cairo_t *cr = pdf_of(s)->cr;
  cairo_reset_clip(cr);
  cairo_rectangle(cr, l, t, r - l, b - t);
  cairo_clip(cr);
}

// Paper is white: clearing to white marks nothing.
void pdf_clear(psurf *s, uint8_t index) {
  Pdf *p = pdf_of(s);
  const uint8_t *c = psurf_palette[index < 43 ? index : 0];
  if (c[0] == 255 && c[1] == 255 && c[2] == 255) return;
  cairo_save(p->cr);
  cairo_reset_clip(p->cr);
  cairo_set_operator(p->cr, CAIRO_OPERATOR_SOURCE);
  source(p, index);
  cairo_paint(p->cr);
  cairo_restore(p->cr);
}

void pdf_page(psurf *s) { cairo_show_page(pdf_of(s)->cr); }

void pdf_image(psurf *s, int32_t x, int32_t y, int32_t w, int32_t h, const uint8_t *rgb) {
  if (w <= 0 || h <= 0) return;
  cairo_surface_t *img = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
  cairo_surface_flush(img);
  unsigned char *data = cairo_image_surface_get_data(img);
  int stride = cairo_image_surface_get_stride(img);
  for (int32_t r = 0; r < h; r++)
    for (int32_t c = 0; c < w; c++) {
      const uint8_t *p = rgb + 3 * (size_t(r) * size_t(w) + size_t(c));
      uint32_t v = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
      memcpy(data + size_t(r) * size_t(stride) + 4 * size_t(c), &v, 4);
    }
  cairo_surface_mark_dirty(img);
  cairo_t *cr = pdf_of(s)->cr;
  cairo_save(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_set_source_surface(cr, img, x, y);
  cairo_rectangle(cr, x, y, w, h);
  cairo_fill(cr);
  cairo_restore(cr);
  source(pdf_of(s), pdf_of(s)->colour);
  cairo_surface_destroy(img);
}

const psurf_ops pdf_ops = {pdf_colour, pdf_pen,  pdf_line,   pdf_polyline, pdf_polygon, pdf_rectangle, pdf_arc,
                           pdf_pixel,  pdf_text, pdf_extent, pdf_clip,     pdf_clear,   pdf_page,      pdf_image};

}  // namespace

psurf *psurf_pdf_new(const char *path, int32_t width, int32_t height, const char *title) {
  const double k = 72.0 / 300;
  cairo_surface_t *surface = cairo_pdf_surface_create(path, width * k, height * k);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return nullptr;
  }
  if (title && *title) cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_TITLE, title);
  cairo_t *cr = cairo_create(surface);
  cairo_scale(cr, k, k);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_set_line_width(cr, 1);
  cairo_set_source_rgb(cr, 0, 0, 0);
  open_documents++;
  return new psurf{&pdf_ops, new Pdf{surface, cr, width, height, 1, 3}};
}

bool psurf_pdf_close(psurf **s) {
  if (!*s) return false;
  Pdf *p = pdf_of(*s);
  cairo_destroy(p->cr);
  cairo_surface_finish(p->surface);
  bool ok = cairo_surface_status(p->surface) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(p->surface);
  open_documents--;
  delete p;
  delete *s;
  *s = nullptr;
  return ok;
}
