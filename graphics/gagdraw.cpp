// gag: drawing in user coordinates, colours and the text settings of a view. Each
// drawing operation maps into relative units, clips, draws through the back end
// and, when the view records, appends its display-list entries.
#include <cmath>
#include <vector>

#include "graphics/gag.h"
#include "graphics/gagmap.h"
#include "graphics/gagscren.h"
#include "runtime/clipping.h"
#include "runtime/rtlib.h"

// The program-wide points buffer: user lists mapped into relative units, then
// relative points into pixels.
static std::vector<points> rel_points, pix_points;

static points to_pixels(const viewrec *v, points r) { return gagmap_pixel(v, r); }

// ---- Lines ------------------------------------------------------------------------

void gag_moveto_0(uint16_t view, const pointd *p) {
  TRACE("gag_moveto_0");
  viewrec *v = getview(view);
  points r = gagmap_point(v, p->x, p->y);
  v->lastrel = r;
  v->lastusr = {float(p->x), float(p->y)};
  points q = to_pixels(v, r);
  gagscren_screenmoveto(v, &q);
  if (v->permanent) gaglist_pair(v, glmove, r.x, r.y);
}

void gag_moveto_1(uint16_t view, double x, double y) {
  pointd p = {x, y};
  gag_moveto_0(view, &p);
}

// Draws the clipped segment a-b; with move, records the start as well.
static void segment(viewrec *v, points a, points b, bool move) {
  v->lastrel = b;
  if (clipping_clipline_3(&a, &b, &v->clipwin, &a, &b) == CLIP_OUTSIDE) return;
  if (v->device) {
    points p = to_pixels(v, a), q = to_pixels(v, b);
    gagscren_screenline(v, &p, &q);
  }
  if (!v->permanent) return;
  if (move) gaglist_pair(v, glmove, a.x, a.y);
  gaglist_pair(v, gldraw, b.x, b.y);
}

void gag_drawline_0(uint16_t view, const pointd *a, const pointd *b) {
  TRACE("gag_drawline_0");
  viewrec *v = getview(view);
  segment(v, gagmap_point(v, a->x, a->y), gagmap_point(v, b->x, b->y), true);
  v->lastusr = {float(b->x), float(b->y)};
}

void gag_drawline_1(uint16_t view, double x0, double y0, double x1, double y1) {
  pointd a = {x0, y0}, b = {x1, y1};
  gag_drawline_0(view, &a, &b);
}

void gag_drawto_0(uint16_t view, const pointd *p) {
  TRACE("gag_drawto_0");
  viewrec *v = getview(view);
  segment(v, v->lastrel, gagmap_point(v, p->x, p->y), false);
  v->lastusr = {float(p->x), float(p->y)};
}

void gag_drawto_1(uint16_t view, double x, double y) {
  pointd p = {x, y};
  gag_drawto_0(view, &p);
}

// Maps a list without clamping; true when some part of it lies in the clip window.
static bool map_list(const viewrec *v, const pointdlist *list) {
  int32_t n = list->count;
  if (int32_t(rel_points.size()) < n) rel_points.resize(size_t(n)), pix_points.resize(size_t(n));
  for (int32_t i = 0; i < n; i++) {
    rel_points[size_t(i)] = gagmap_free(v, list->data[i].x, list->data[i].y);
    pix_points[size_t(i)] = to_pixels(v, rel_points[size_t(i)]);
  }
  pointslist l = {n, n, rel_points.data()};
  return clipping_checkpolyline_1(&l, &v->clipwin);
}

static void poly(uint16_t view, const pointdlist *list, uint32_t op) {
  viewrec *v = getview(view);
  if (list->count < 2 || !map_list(v, list)) return;
  if (op == glpyfill) gagscren_screenpolyfill(v, pix_points.data(), list->count);
  else gagscren_screenpolyline(v, pix_points.data(), list->count);
  if (v->permanent) gaglist_points(v, op, rel_points.data(), list->count);
}

void gag_polyline(uint16_t view, const pointdlist *list) {
  TRACE("gag_polyline");
  poly(view, list, glpydraw);
}

void gag_polyfill(uint16_t view, const pointdlist *list) {
  TRACE("gag_polyfill");
  poly(view, list, glpyfill);
}

// ---- Rectangles, arcs, dots ----------------------------------------------------------

static void rect(uint16_t view, const rectd *r, uint32_t op) {
  viewrec *v = getview(view);
  points a = gagmap_point(v, r->x1, r->y1), b = gagmap_point(v, r->x2, r->y2);
  points p = to_pixels(v, a), q = to_pixels(v, b);
  if (op == glrect) gagscren_screenrect(v, &p, &q);
  else if (op == glrfill) gagscren_screenrectfill(v, &p, &q);
  else gagscren_screenellipse(v, &p, &q);
  float values[8] = {a.x, a.y, b.x, b.y, 0, 0, 0, 0};
  if (v->permanent) gaglist_values(v, op, values);
}

void gag_drawrect_0(uint16_t view, const rectd *r) {
  TRACE("gag_drawrect_0");
  rect(view, r, glrect);
}

void gag_drawrect_1(uint16_t view, double x0, double y0, double x1, double y1) {
  rectd r = {x0, y0, x1, y1};
  gag_drawrect_0(view, &r);
}

void gag_fillrect(uint16_t view, const rectd *r) {
  TRACE("gag_fillrect");
  rect(view, r, glrfill);
}

void gag_drawellipse(uint16_t view, const rectd *box) {
  TRACE("gag_drawellipse");
  rect(view, box, glellips);
}

void gag_drawarc(uint16_t view, const rectd *box, const pointd *start, const pointd *end) {
  TRACE("gag_drawarc");
  viewrec *v = getview(view);
  points a = gagmap_point(v, box->x1, box->y1), b = gagmap_point(v, box->x2, box->y2);
  points s = gagmap_point(v, start->x, start->y), e = gagmap_point(v, end->x, end->y);
  points pa = to_pixels(v, a), pb = to_pixels(v, b), ps = to_pixels(v, s), pe = to_pixels(v, e);
  gagscren_screenarc(v, &pa, &pb, &ps, &pe);
  float values[8] = {a.x, a.y, b.x, b.y, s.x, s.y, e.x, e.y};
  if (v->permanent) gaglist_values(v, glarcdraw, values);
}

// An arc as line segments of at most 10 degrees and about the chord length.
void gag_tracearc(uint16_t view, const pointd *p, double rx, double ry, double theta, double sweep,
                  double chord) {
  TRACE("gag_tracearc");
  if (sweep == 0) return;
  double step = std::min(std::fabs(sweep * 0.2), 0.17453);
  double rmin = std::sqrt(std::min(rx * rx, ry * ry));
  // A chord of no length (an arc whose box is flat) leaves the step at its angle bound.
  if (rmin > 0 && chord > 0) step = std::min(step, chord / rmin);
  double count = std::fabs(sweep / step);
  if (!(count >= 1) || count > 1e6) return;
  int32_t n = int32_t(count);
  double d = sweep / n;
  double hs = std::sin(d / 2), hc = std::cos(d / 2);
  double s = std::sin(theta), c = std::cos(theta);
  pointd a = *p;
  for (int32_t i = 0; i < n; i++) {
    double ms = s * hc + c * hs, mc = c * hc - s * hs;  // half a step on
    pointd b = {a.x - ms * d * rx, a.y + mc * d * ry};
    gag_drawline_0(view, &a, &b);
    a = b;
    s = ms * hc + mc * hs;  // the rest of the step
    c = mc * hc - ms * hs;
  }
}

void gag_drawdot(uint16_t view, const pointd *p) {
  TRACE("gag_drawdot");
  viewrec *v = getview(view);
  points r = gagmap_point(v, p->x, p->y), q = to_pixels(v, r);
  gagscren_screendot(v, &q);
  if (v->permanent) gaglist_pair(v, gldot, r.x, r.y);
}

void gag_drawbitmap(uint16_t view, const rectd *r, const String *name) {
  TRACE("gag_drawbitmap");
  viewrec *v = getview(view);
  points q = to_pixels(v, gagmap_point(v, r->x1, r->y2));
  gagscren_screendrawbitmap(v, &q, name);
}

// ---- Device-font text -----------------------------------------------------------

void gag_printtext_0(uint16_t view, const pointd *p, const String *text) {
  TRACE("gag_printtext_0");
  gag_moveto_0(view, p);
  viewrec *v = getview(view);
  gagscren_screenprint(v, text);
  if (v->permanent) gaglist_text(v, text);
}

void gag_printtext_1(uint16_t view, double x, double y, const String *text) {
  pointd p = {x, y};
  gag_printtext_0(view, &p, text);
}

void gag_drawprinttext_0(uint16_t view, const pointd *p, const String *text) {
  if (gag_drawtextswitch) gag_drawtext_0(view, p, text);
  else gag_printtext_0(view, p, text);
}

void gag_drawprinttext_1(uint16_t view, double x, double y, const String *text) {
  pointd p = {x, y};
  gag_drawprinttext_0(view, &p, text);
}

// ---- Clipping and clearing -------------------------------------------------------

static void set_clip(viewrec *v, rects r) {
  v->clipwin = r;
  gagmap_clip(v, &r);
  if (!v->permanent) return;
  gaglist_pair(v, glcliporg, r.x1, r.y1);
  gaglist_pair(v, glclipwin, r.x2, r.y2);
}

void gag_setclip_0(uint16_t view, const rectd *r) {
  TRACE("gag_setclip_0");
  viewrec *v = getview(view);
  points a = gagmap_point(v, r->x1, r->y1), b = gagmap_point(v, r->x2, r->y2);
  set_clip(v, {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)});
}

void gag_setclip_1(uint16_t view, double x0, double y0, double x1, double y1) {
  rectd r = {x0, y0, x1, y1};
  gag_setclip_0(view, &r);
}

void gag_fullclip(uint16_t view) {
  TRACE("gag_fullclip");
  viewrec *v = getview(view);
  set_clip(v, v->relbox);
}

void gag_clearview_1(uint16_t view, uint8_t colour) {
  TRACE("gag_clearview_1");
  viewrec *v = getview(view);
  if (v->permanent) gag_forget_rec(v);
  if (v->parent) {
    gagscren_screencolor_0(v, colour);
    gagscren_screenviewfill(v);
    gagscren_screencolor_1(v, v->colour, v->colour2);
  } else {
    gagscren_screenclear(v, colour);
    v->drawnwidth = v->relbox.x2;
  }
  v->backcolour = colour;
}

void gag_clearview_0(uint16_t view) { gag_clearview_1(view, 0); }

// ---- Colours ---------------------------------------------------------------------

void gag_setcolor_1(uint16_t view, uint8_t colour, uint8_t colour2) {
  TRACE("gag_setcolor_1");
  viewrec *v = getview(view);
  v->colour = colour;
  v->colour2 = colour2;
  gagscren_screencolor_1(v, colour, colour2);
}

void gag_setcolor_0(uint16_t view, uint8_t colour) { gag_setcolor_1(view, colour, 0); }

uint8_t gag_setcolor_2(uint16_t view, uint8_t colour) {
  uint8_t old = getview(view)->colour;
  gag_setcolor_1(view, colour, 0);
  return old;
}

int32_t gag_limitcolor(int32_t c, int32_t n) {
  if (n <= 0) return c;
  c = (c - 1) % n;
  return (c < 0 ? c + n : c) + 1;
}

void gag_linestyle(uint16_t view, uint8_t style) {
  if (checkview(view)) gag_views[view - 1]->linestyle = style;
}

void gag_setcolormap_0(uint16_t index, uint8_t r, uint8_t g, uint8_t b) {
  gagscren_screensetcolor(index, r, g, b);
}
void gag_setcolormap_1(uint16_t index, const uint8_t rgb[3]) {
  gagscren_screensetcolor(index, rgb[0], rgb[1], rgb[2]);
}
void gag_setcolormapega(uint16_t index, uint8_t code) { gagscren_screensetcolorega(index, code); }
void gag_readcolormap(uint16_t index, uint8_t rgb[3]) { gagscren_screenreadcolor(index, rgb); }

// ---- Text settings -----------------------------------------------------------------

static int32_t clamp_range(double d, int32_t lo, int32_t hi) {
  int32_t k = gagmap_int(d);
  return k < lo ? lo : (k > hi ? hi : k);
}

void gagmap_charpixels(viewrec *v, float size, float aspect) {
  double h = std::fabs(double(v->pixwid.y)) * (v->shrink > 0 ? v->shrink : 1) / size;
  v->charpixh = int16_t(clamp_range(h, -32768, 32767));
  v->charpixw = uint16_t(clamp_range(double(v->charpixh) * aspect * 0.5, 0, 65535));
}

void gagmap_textmatrix(viewrec *v) {
  const float *b = v->basematrix;
  float s = v->dirsin, c = v->dircos;
  v->matrix[0] = c * b[0] - s * b[1];
  v->matrix[1] = s * b[0] + c * b[1];
  v->matrix[2] = c * b[2] - s * b[3];
  v->matrix[3] = s * b[2] + c * b[3];
}

// A character cell is 1/size relative units high and aspect/size wide, in any view.
void gagmap_textmetrics(viewrec *v) {
  if (v->size == 0) return;
  v->charsize.y = float((v->usr.y2 - v->usr.y1) / v->size);
  v->charsize.x = float((v->usr.x2 - v->usr.x1) * v->aspect / v->size);
  double sy = double(v->cellheight) * v->size;
  double ratio = double(v->pscale.x) / (std::fabs(double(v->pscale.y)) * v->aspect);
  double sx = sy * ratio;
  v->basematrix[0] = (sx != 0 && std::isfinite(sx)) ? float(1 / sx) : 0;
  v->basematrix[1] = v->basematrix[2] = 0;
  v->basematrix[3] = sy != 0 ? float(1 / sy) : 0;
  gagmap_textmatrix(v);
  gagmap_charpixels(v, v->size, v->aspect);
}

void gag_textsize(uint16_t view, float size, float aspect) {
  TRACE("gag_textsize");
  if (!checkview(view) || size == 0) return;
  viewrec *v = gag_views[view - 1];
  v->size = size;
  v->aspect = aspect;
  gagmap_textmetrics(v);
  if (v->permanent) gaglist_pair(v, gltxsize, size, aspect);
  v->stale = 1;
}

float gag_printfitsize(uint16_t view, const String *text, double room) {
  if (!checkview(view)) return 0;
  viewrec *v = getview(view);
  if (!v->device || v->printing || v->size == 0 || room <= 0) return v->size;
  // The device font comes in whole pixel heights: the largest that fits.
  double pixels = room * std::fabs(double(v->pscale.x));
  int16_t keep = v->charpixh;
  pointl ext{};
  gagscren_screentextextent(v, text, &ext);
  while (ext.x > pixels && v->charpixh > 1) {
    v->charpixh--;
    gagscren_screentextextent(v, text, &ext);
  }
  int16_t fits = v->charpixh;
  v->charpixh = keep;
  return fits < keep ? float(std::fabs(double(v->pixwid.y)) / (fits + 0.5)) : v->size;
}

double gag_printtextwidth(uint16_t view, const String *text) {
  if (!checkview(view)) return 0;
  viewrec *v = getview(view);
  if (!v->device || v->printing || v->size == 0 || v->pscale.x == 0) return 0;
  pointl ext{};
  gagscren_screentextextent(v, text, &ext);
  return ext.x / std::fabs(double(v->pscale.x));
}

void gag_textcenter(uint16_t view, float h, float vc) {
  if (!checkview(view)) return;
  viewrec *v = gag_views[view - 1];
  v->centre = {h, vc};
  if (v->permanent) gaglist_pair(v, gltxcent, h, vc);
}

static void set_angle(viewrec *v, float degrees, double s, double c) {
  v->angle = degrees;
  v->dirsin = float(s);
  v->dircos = float(c);
  gagmap_textmatrix(v);
  if (v->permanent) gaglist_pair(v, gltxang, degrees, 0);
  v->stale = 1;
}

void gag_textangle(uint16_t view, float degrees) {
  TRACE("gag_textangle");
  if (!checkview(view)) return;
  double a = std::fmod(double(degrees), 360.0);
  if (a < 0) a += 360;
  double r = a * M_PI / 180;
  set_angle(gag_views[view - 1], degrees, std::sin(r), std::cos(r));
}

void gag_textdir_1(uint16_t view, const pointd *a, const pointd *b) {
  TRACE("gag_textdir_1");
  if (!checkview(view)) return;
  double dx = b->x - a->x, dy = b->y - a->y, len = std::hypot(dx, dy);
  if (!(len > 0)) return;  // no direction between equal points
  set_angle(gag_views[view - 1], float(std::atan2(dy, dx) * 180 / M_PI), dy / len, dx / len);
}

void gag_textdir_0(uint16_t view, const points *a, const points *b) {
  pointd p = {a->x, a->y}, q = {b->x, b->y};
  gag_textdir_1(view, &p, &q);
}

void gag_textfill(uint16_t view, uint8_t on) {
  if (checkview(view)) gag_views[view - 1]->fillmask = on ? 128 : 0;
}

uint16_t gag_textuniform_1(uint16_t view, uint16_t width) {
  if (!checkview(view)) return 0;
  uint16_t old = gag_views[view - 1]->uniform;
  gag_views[view - 1]->uniform = width;
  return old;
}

void gag_askcharsize(uint16_t view, pointd *size) {
  if (checkview(view)) *size = {gag_views[view - 1]->charsize.x, gag_views[view - 1]->charsize.y};
}

void gag_asktcenter(uint16_t view, pointd *centre) {
  if (checkview(view)) *centre = {gag_views[view - 1]->centre.x, gag_views[view - 1]->centre.y};
}

void gag_asktsize(uint16_t view, pointd *size) {
  if (checkview(view)) *size = {gag_views[view - 1]->size, gag_views[view - 1]->aspect};
}
