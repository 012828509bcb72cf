// gag3d: projection of 3D points through a frame's view transform into the 2D view
// layer; band painting cuts triangles at the levels with module-wide work lists.
#include "graphics/gag3d.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "graphics/gag.h"
#include "runtime/bopmem.h"
#include "runtime/debug.h"
#include "runtime/rtlib.h"

// Work lists: the polygon being cut (z holds the value), the part below the current
// level, the 2D polygon to fill.
static point3dlist cut;
static point3dlist below;
static pointdlist fill;
static String label_number;
// Grown by a problem's plots, the lists go back to their first size.
static BopmemWork lists_work([] {
  for (point3dlist *l : {&cut, &below}) {
    point3d_free_1(l);
    point3d_new_1(l, 10);
  }
  pointd_free_1(&fill);
  pointd_new_1(&fill, 10);
  strings_free_0(&label_number);
});

int gag3d_init() {
  TRACE("gag3d");
  if (!cut.capacity) point3d_new_1(&cut, 10);
  if (!below.capacity) point3d_new_1(&below, 10);
  if (!fill.capacity) pointd_new_1(&fill, 10);
  return 0;
}

// ---- Mapping -------------------------------------------------------------------------

static bool in_set(int16_t s, std::initializer_list<int16_t> set) {
  return s < 32 && std::find(set.begin(), set.end(), s) != set.end();
}

[[noreturn]] static void bad_range(const char *axis, double lo, double hi) {
  char text[32];
  snprintf(text, sizeof text, "BAD %s-Coordinate Range", axis);
  debug_printf("%s (%g,%g)\n", text, lo, hi);
  rtlib_fatal_in("gag3d_plotmap3_0", text);
}

void gag3d_plotmap3_0(plotframe *f, const rect3d *box, double distance, double polar,
                      double azimuth, int16_t scale, uint8_t equalxy, uint8_t equalxz,
                      double eyeshift, double widening) {
  TRACE("gag3d_plotmap3_0");
  f->state[0] = 1, f->state[1] = 0, f->state[2] = 1;
  double lo[3] = {box->x1, box->y1, box->z1}, hi[3] = {box->x2, box->y2, box->z2};
  uint8_t *logs[3] = {&f->logx, &f->logy, &f->logz};
  bool wanted[3] = {in_set(scale, {4, 5, 7}), in_set(scale, {2, 3, 7}), in_set(scale, {1, 5, 7})};
  double c[3], w[3];
  for (int a = 0; a < 3; a++) {
    *logs[a] = wanted[a] && lo[a] > 0;
    if (*logs[a]) lo[a] = std::log(lo[a]), hi[a] = std::log(hi[a]);
    c[a] = (lo[a] + hi[a]) / 2;
    w[a] = (hi[a] - lo[a]) * widening;
  }
  if (!(w[0] > 0)) bad_range("X", lo[0], hi[0]);
  if (!(w[1] > 0)) bad_range("Y", lo[1], hi[1]);
  if (w[2] <= 1e-37) {
    w[2] = std::fabs(c[2] * 1.01 - c[2] * 0.99);
    if (w[2] <= 1e-37) w[2] = 0.002;
  }
  if (equalxy && f->logx == f->logy) w[0] = w[1] = std::max(w[0], w[1]);
  if (equalxz && f->logx == f->logz) {
    if (w[2] < w[0])
      w[2] = w[0];
    else
      w[0] = w[1] = w[2];
  }
  double ca = std::cos(azimuth), sa = std::sin(azimuth), sp = std::sin(polar);
  f->eye = {ca * sp * distance * w[0] + c[0], sa * sp * distance * w[1] + c[1],
            std::cos(polar) * distance * w[2] + c[2]};
  f->azsin = float(sa), f->azcos = float(ca);
  f->cx = c[0], f->cy = c[1], f->cz = c[2];
  f->wx = w[0], f->wy = w[1];
  for (int k = 0; k < 8; k++) {
    // Corners 1-4 go round the bottom from (x1, y1), 5-8 round the top.
    int b = k % 4;
    f->corners[k] = {c[0] + ((b == 1 || b == 2) ? 0.5 : -0.5) * w[0],
                     c[1] + ((b >= 2) ? 0.5 : -0.5) * w[1], c[2] + (k >= 4 ? 0.5 : -0.5) * w[2]};
  }
  transform3d *T = &f->transform;
  geom3d_identity(T);
  geom3d_translate(T, c[0], c[1], c[2]);
  geom3d_scale(T, 1 / w[0], 1 / w[1], 1 / w[2]);
  geom3d_zrotate_0(T, azimuth + M_PI / 2);
  geom3d_xrotate_0(T, polar - M_PI / 2);
  T->t[12] = distance;
  T->t[13] = distance * eyeshift;
  double r = 0;
  for (int k = 0; k < 8; k++) {
    geom3d_project_0(&f->projected[k], T, &f->corners[k]);
    r = std::max(r, std::hypot(f->projected[k].x, f->projected[k].y));
  }
  f->box = {-r * widening, -r * widening, r * widening, r * widening};
}

double gag3d_plotmap3_1(plotframe *f, const rect3d *box, point3d *eye, int16_t scale,
                        uint8_t equalxy, uint8_t equalxz, double eyeshift, double widening) {
  TRACE("gag3d_plotmap3_1");
  double cx = (box->x1 + box->x2) / 2, cy = (box->y1 + box->y2) / 2;
  double diagonal = std::hypot(box->x2 - box->x1, box->y2 - box->y1);
  double dx = eye->x - cx, dy = eye->y - cy, h = std::hypot(dx, dy);
  double azimuth = h > 0 ? std::atan2(dy, dx) : 0;
  double distance = diagonal > 0 ? h / diagonal : 0;
  if (distance < 2) {
    distance = 2;
    eye->x = cx + 2 * diagonal * std::cos(azimuth);
    eye->y = cy + 2 * diagonal * std::sin(azimuth);
  }
  gag3d_plotmap3_0(f, box, distance, eye->z, azimuth, scale, equalxy, equalxz, eyeshift, widening);
  return eye->z;
}

// ---- Projected drawing -------------------------------------------------------------------

static pointd project(const transform3d *T, const point3d *p) {
  pointd out;
  geom3d_project_0(&out, T, p);
  return out;
}

void gag3d_drawline_3d(uint16_t view, const point3d *p, const point3d *q, const transform3d *T) {
  pointd a = project(T, p), b = project(T, q);
  gag_drawline_0(view, &a, &b);
}

void gag3d_polyline_3d(uint16_t view, const point3dlist *points, const transform3d *T) {
  for (int32_t i = 0; i < points->count; i++) {
    pointd a = project(T, &points->data[i]);
    if (i == 0)
      gag_moveto_0(view, &a);
    else
      gag_drawto_0(view, &a);
  }
}

void gag3d_drawtext_3d(uint16_t view, const point3d *p, const String *text, const transform3d *T) {
  pointd a = project(T, p);
  gag_drawtext_0(view, &a, text);
}

// Cuts segment a-b to the box (Liang-Barsky); false when no part lies inside.
static bool clip3d(point3d *a, point3d *b, const rect3d *r) {
  double t0 = 0, t1 = 1, d[3] = {b->x - a->x, b->y - a->y, b->z - a->z};
  double p0[3] = {a->x, a->y, a->z}, lo[3] = {r->x1, r->y1, r->z1}, hi[3] = {r->x2, r->y2, r->z2};
  for (int k = 0; k < 3; k++) {
    if (d[k] == 0) {
      if (p0[k] < lo[k] || p0[k] > hi[k]) return false;
      continue;
    }
    double ta = (lo[k] - p0[k]) / d[k], tb = (hi[k] - p0[k]) / d[k];
    if (ta > tb) std::swap(ta, tb);
    t0 = std::max(t0, ta), t1 = std::min(t1, tb);
    if (t0 > t1) return false;
  }
  *b = {p0[0] + t1 * d[0], p0[1] + t1 * d[1], p0[2] + t1 * d[2]};
  *a = {p0[0] + t0 * d[0], p0[1] + t0 * d[1], p0[2] + t0 * d[2]};
  return true;
}

// Walks the arc's chords, handing each to chord(from, to).
template <class F>
static void walk_arc(double ax, double ay, const pointd *start, double z, double angle,
                     double sweep, F chord) {
  if (ax == 0 || ay == 0 || sweep == 0) return;
  double step = sweep * 0.2;
  if (std::fabs(step) > 0.17453) step = std::copysign(0.17453, step);
  int32_t n = int32_t(std::fabs(sweep / step));
  if (n == 0) return;
  double delta = sweep / n, cd = std::cos(delta), sd = std::sin(delta);
  double c = std::cos(angle + delta / 2), s = std::sin(angle + delta / 2);
  point3d p = {start->x, start->y, z};
  for (int32_t k = 0; k < n; k++) {
    point3d q = {p.x - s * delta * ax, p.y + c * delta * ay, z};
    chord(p, q);
    p = q;
    double c2 = c * cd - s * sd;
    s = s * cd + c * sd, c = c2;
  }
}

void gag3d_warp_arc_3d(uint16_t view, double ax, double ay, const pointd *start, double z,
                       double angle, double sweep, const transform3d *T) {
  TRACE("gag3d_warp_arc_3d");
  bool first = true;
  walk_arc(ax, ay, start, z, angle, sweep, [&](const point3d &p, const point3d &q) {
    if (first) {
      pointd a = project(T, &p);
      gag_moveto_0(view, &a);
      first = false;
    }
    pointd b = project(T, &q);
    gag_drawto_0(view, &b);
  });
}

void gag3d_warp_arc_zoomed_3d(uint16_t view, double ax, double ay, const pointd *start, double z,
                              double angle, double sweep, const transform3d *T,
                              const rect3d *clip) {
  TRACE("gag3d_warp_arc_zoomed_3d");
  walk_arc(ax, ay, start, z, angle, sweep, [&](point3d p, point3d q) {
    if (clip3d(&p, &q, clip)) gag3d_drawline_3d(view, &p, &q, T);
  });
}

void gag3d_warp_arc(const stereorec *s, double ax, double ay, const pointd *start, double z,
                    double angle, double sweep) {
  TRACE("gag3d_warp_arc");
  walk_arc(ax, ay, start, z, angle, sweep,
           [&](const point3d &p, const point3d &q) { gag3d_drawline_stereo_1(s, &p, &q); });
}

// ---- Backing box ------------------------------------------------------------------------

static const int box_edges[12][2] = {{1, 2}, {2, 3}, {3, 4}, {4, 1}, {1, 5}, {2, 6},
                                     {3, 7}, {4, 8}, {5, 6}, {6, 7}, {7, 8}, {8, 5}};

// The corner nearest the eye (the lower number on a tie).
static int nearest_corner(const plotframe *f) {
  int best = 1;
  double d = 0;
  for (int k = 1; k <= 8; k++) {
    pointd out;
    double depth = geom3d_project_0(&out, &f->transform, &f->corners[k - 1]);
    if (k == 1 || depth < d) best = k, d = depth;
  }
  return best;
}

// v in the 6-digit packed form without its leading blanks. A value below a millionth of
// the span it ends is shown as 0: mesh nodes are moved off the grid lines by a few
// quanta, so a box edge at 0 lies at -2.8e-9 or the like.
static const String *label_six_digits(double v, double span) {
  static String shown;
  if (std::fabs(v) <= 1e-6 * std::fabs(span)) v = 0;
  strings_formatreal(&label_number, v, 6, 1, 0);
  uint16_t k = 0;
  while (k < label_number.length && label_number.text[k] == ' ') k++;
  shown = {uint16_t(label_number.length - k), 0, label_number.text + k};
  return &shown;
}

// One edge label from projected corner a to b: the title at the middle, va at a and
// vb at b, offset to one side of the edge.
static void edge_label(uint16_t view, const pointd &a, const pointd &b, double va, double vb,
                       const String *title, bool vertical) {
  gag_textdir_1(view, &a, &b);
  double dx = b.x - a.x, dy = b.y - a.y;
  pointd off = vertical ? pointd{-0.05 * dy, 0.05 * dx} : pointd{0.05 * dy, -0.05 * dx};
  float vc = vertical ? 0.0f : 1.0f;
  if (title && title->length) {
    gag_textcenter(view, 0.5f, vc);
    gag_drawtext_1(view, (a.x + b.x) / 2 + off.x, (a.y + b.y) / 2 + off.y, title);
  }
  gag_textcenter(view, 0, vc);
  gag_drawtext_1(view, a.x + off.x, a.y + off.y, label_six_digits(va, vb - va));
  gag_textcenter(view, 1, vc);
  gag_drawtext_1(view, b.x + off.x, b.y + off.y, label_six_digits(vb, vb - va));
}

void gag3d_backing_box_1(uint16_t view, const plotframe *f, const rect3d *box, double lo,
                         double hi, const String *xtitle, const String *ytitle,
                         const String *vtitle) {
  TRACE("gag3d_backing_box_1");
  gag_setcolor_0(view, f->colours.axis);
  pointd P[9];
  for (int k = 1; k <= 8; k++) P[k] = project(&f->transform, &f->corners[k - 1]);
  int near = nearest_corner(f);
  for (const auto &e : box_edges)
    if (e[0] != near && e[1] != near) gag_drawline_0(view, &P[e[0]], &P[e[1]]);
  // Per nearest corner: the x edge, the y edge and the vertical edge's bottom corner.
  static const int labels[9][5] = {{},           {4, 3, 3, 2, 4}, {4, 3, 1, 4, 1},
                                   {2, 1, 1, 4, 2}, {2, 1, 3, 2, 3}, {1, 2, 4, 1, 4},
                                   {1, 2, 2, 3, 1}, {3, 4, 2, 3, 2}, {3, 4, 4, 1, 3}};
  const int *L = labels[near];
  auto xof = [&](int k) { return (k == 2 || k == 3 || k == 6 || k == 7) ? box->x2 : box->x1; };
  auto yof = [&](int k) { return (k == 3 || k == 4 || k == 7 || k == 8) ? box->y2 : box->y1; };
  gag_setcolor_0(view, f->colours.text);
  edge_label(view, P[L[0]], P[L[1]], xof(L[0]), xof(L[1]), xtitle, false);
  edge_label(view, P[L[2]], P[L[3]], yof(L[2]), yof(L[3]), ytitle, false);
  edge_label(view, P[L[4]], P[L[4] + 4], lo, hi, vtitle, true);
}

void gag3d_backing_box_0(const stereorec *s, const plotframe *f) {
  TRACE("gag3d_backing_box_0");
  int near = nearest_corner(f);
  for (const auto &e : box_edges)
    if (e[0] != near && e[1] != near)
      gag3d_drawline_stereo_1(s, &f->corners[e[0] - 1], &f->corners[e[1] - 1]);
}

// ---- Band painting and patches ---------------------------------------------------------------

void gag3d_paint(uint16_t view, const plotframe *f, const pointd *p1, const pointd *p2,
                 const pointd *p3, double v1, double v2, double v3, const vectord *levels) {
  int32_t n = levels->count;
  const double *L = levels->data - 1;  // L[1..n]
  double t = std::max({v1, v2, v3});
  if (n == 0 || t < L[1]) return;
  int32_t k = n;
  while (k > 1 && L[k] > t) k--;
  cut.count = 0;
  point3d tri[3] = {{p1->x, p1->y, v1}, {p2->x, p2->y, v2}, {p3->x, p3->y, v3}};
  for (const point3d &p : tri) point3d_one_more_0(&cut, &p);
  for (; k >= 1; k--) {
    double c = L[k], delta = k < n ? L[k + 1] - L[k] : L[k];
    fill.count = 0;
    below.count = 0;
    for (int32_t i = 0; i < cut.count; i++) {
      const point3d &P = cut.data[i], &Q = cut.data[i == 0 ? cut.count - 1 : i - 1];
      if ((Q.z <= c) != (P.z <= c)) {
        double s = (c - Q.z) / (P.z - Q.z);
        point3d X = {Q.x + s * (P.x - Q.x), Q.y + s * (P.y - Q.y), c - 0.001 * delta};
        pointd_one_more_1(&fill, X.x, X.y);
        point3d_one_more_0(&below, &X);
      }
      if (P.z > c)
        pointd_one_more_1(&fill, P.x, P.y);
      else
        point3d_one_more_0(&below, &P);
    }
    if (fill.count) pointd_one_more_0(&fill, &fill.data[0]);
    // Above the top boundary (values past the last level, at the maxima) the top band
    // goes on: left unpainted it shows as a white disc.
    if (fill.count && n >= 2) {
      gag1d_tablecolor_1(view, f, std::min(k, n - 1), n - 1);
      gag_polyfill(view, &fill);
    }
    std::swap(cut, below);
    if (!cut.count) return;
  }
  // What is left lies below the first level.
  fill.count = 0;
  for (int32_t i = 0; i < cut.count; i++) pointd_one_more_1(&fill, cut.data[i].x, cut.data[i].y);
  gag1d_tablecolor_1(view, f, 1, n - 1);
  gag_polyfill(view, &fill);
}

// Fills the closed polygon of the work list, then outlines it.
static void patch(uint16_t view, uint8_t fillcolour, uint8_t outline) {
  gag_setcolor_0(view, fillcolour);
  gag_polyfill(view, &fill);
  pointd_one_more_0(&fill, &fill.data[0]);
  gag_setcolor_0(view, outline);
  gag_polyline(view, &fill);
}

static void patch_points(uint16_t view, const pointd *p, int n, uint8_t f, uint8_t o) {
  fill.count = 0;
  for (int i = 0; i < n; i++) pointd_one_more_0(&fill, &p[i]);
  patch(view, f, o);
}

static void patch_pairs(uint16_t view, const double *xy, int n, uint8_t f, uint8_t o) {
  fill.count = 0;
  for (int i = 0; i < n; i++) pointd_one_more_1(&fill, xy[2 * i], xy[2 * i + 1]);
  patch(view, f, o);
}

void gag3d_patch_0(uint16_t view, const pointd p[3], uint8_t f, uint8_t o) { patch_points(view, p, 3, f, o); }
void gag3d_patch_1(uint16_t view, const pointd p[6], uint8_t f, uint8_t o) { patch_points(view, p, 6, f, o); }
void gag3d_patch_2(uint16_t view, const pointd p[9], uint8_t f, uint8_t o) { patch_points(view, p, 9, f, o); }
void gag3d_patch_3(uint16_t view, const double xy[6], uint8_t f, uint8_t o) { patch_pairs(view, xy, 3, f, o); }
void gag3d_patch_4(uint16_t view, const double xy[12], uint8_t f, uint8_t o) { patch_pairs(view, xy, 6, f, o); }
void gag3d_patch_5(uint16_t view, const double xy[18], uint8_t f, uint8_t o) { patch_pairs(view, xy, 9, f, o); }

// ---- Stereo ---------------------------------------------------------------------------------

static void stereo_setup(stereorec *s, uint16_t left, uint16_t right, const plotframe *f) {
  s->lefttf = s->righttf = f->transform;
  s->lefttf.t[13] = -s->lefttf.t[13];
  s->left = left, s->right = right;
  gag_scaleview_0(left, &f->box);
  if (right != left) gag_scaleview_0(right, &f->box);
}

void gag3d_stereo_rg(stereorec *s, uint16_t view, const plotframe *f) {
  TRACE("gag3d_stereo_rg");
  stereo_setup(s, view, view, f);
  s->leftcolour = colour_cyan, s->rightcolour = colour_red;
  s->colour2 = 1, s->fixed = 1;
}

void gag3d_stereo_x(stereorec *s, uint16_t left, uint16_t right, const plotframe *f) {
  TRACE("gag3d_stereo_x");
  stereo_setup(s, left, right, f);
  s->leftcolour = s->rightcolour = colour_black;
  s->colour2 = 0, s->fixed = 0;
}

void gag3d_stereo_color(stereorec *s, uint8_t colour) {
  if (!s->fixed) s->leftcolour = s->rightcolour = colour;
}

// Calls draw(view, transform) for each eye in its view and colour.
template <class F> static void each_eye(const stereorec *s, F draw) {
  gag_setcolor_1(s->left, s->leftcolour, s->colour2);
  draw(s->left, &s->lefttf, 0);
  gag_setcolor_1(s->right, s->rightcolour, s->colour2);
  draw(s->right, &s->righttf, 1);
}

void gag3d_drawline_stereo_1(const stereorec *s, const point3d *p, const point3d *q) {
  each_eye(s, [&](uint16_t v, const transform3d *T, int) { gag3d_drawline_3d(v, p, q, T); });
}

void gag3d_drawline_stereo_0(const stereorec *s, pointd *lastleft, pointd *lastright,
                             const point3d *p) {
  each_eye(s, [&](uint16_t v, const transform3d *T, int eye) {
    pointd *last = eye ? lastright : lastleft, a = project(T, p);
    gag_drawline_0(v, last, &a);
    *last = a;
  });
}

void gag3d_drawtext_stereo(const stereorec *s, const point3d *p, const String *text) {
  each_eye(s, [&](uint16_t v, const transform3d *T, int) { gag3d_drawtext_3d(v, p, text, T); });
}
