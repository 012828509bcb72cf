// gag1d: plot frames. Everything is drawn through the view layer, so it lands in the
// view's display list; log axes hand natural logarithms to the layer.
#include "graphics/gag1d.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "graphics/gag.h"
#include "runtime/bopmem.h"
#include "runtime/rects.h"
#include "runtime/rtlib.h"
#include "runtime/settings.h"

framecolors gag1d_default_colors;

static const double LN10 = 2.302585092994046;

// Work data: mapped curve points, the tags placed by plot_many, the one-letter tag,
// number and label text, the two-title list of the legends.
static pointdlist mapped;
static pointdlist many_tags;
static String letter;
static String number;
static StringList two_titles;
// Grown by a problem's plots, the point lists go back to their first size.
static BopmemWork work([] {
  for (pointdlist *l : {&mapped, &many_tags}) {
    pointd_free_1(l);
    pointd_new_1(l, 10);
  }
  strings_free_0(&letter);
  strings_free_0(&number);
});

// The tag generator's state: one sequence for the whole program.
static uint32_t next_random = 1;

// Decade mantissas by density 1..4: as digits and as single-precision logarithms.
static const int32_t mantissa_count[5] = {0, 1, 2, 4, 9};
static const int32_t mantissas[5][9] = {
    {}, {1}, {1, 2}, {1, 2, 3, 6}, {1, 2, 3, 4, 5, 6, 7, 8, 9}};
static float ln_mantissas[5][9];

int gag1d_init() {
  TRACE("gag1d");
  gag1d_default_colors = {colour_band_violet, colour_black,  colour_grey127,
                          colour_band_blue,   colour_black,  colour_white,
                          uint8_t(43 - colour_spectrum), colour_spectrum,
                          uint8_t(43 - colour_spectrum)};
  for (int d = 1; d <= 4; d++)
    for (int i = 0; i < mantissa_count[d]; i++) ln_mantissas[d][i] = float(std::log(mantissas[d][i]));
  if (!mapped.capacity) pointd_new_1(&mapped, 10);
  if (!many_tags.capacity) pointd_new_1(&many_tags, 10);
  if (!two_titles.capacity) strings_new_1(&two_titles, 2, 2);
  next_random = 1;
  return 0;
}

int32_t gag1d_rand() {
  next_random = next_random * 1103515245u + 12345u;
  return int32_t((next_random / 65536) % 32768);
}

// ---- Settings ----------------------------------------------------------------------

void gag1d_default_ticks(plotframe *f) {
  f->tickstyle = 2;
  f->xticks = 5, f->xminor = 5, f->xvertical = 0;
  f->yticks = 5, f->yminor = 5, f->yhorizontal = 1;
}

void gag1d_init(plotframe *f) {
  TRACE("gag1d_init");
  gag1d_default_ticks(f);
  gag1d_set_label_size(f, 0, 0, 0, 0);
  gag1d_set_frame_colors_0(f, &gag1d_default_colors);
  f->font = 1;
}

void gag1d_set_ticks(plotframe *f, uint16_t xticks, uint16_t xminor, uint16_t xvertical,
                     uint16_t yticks, uint16_t yminor, uint16_t yhorizontal) {
  f->xticks = xticks, f->xminor = xminor, f->xvertical = xvertical;
  f->yticks = yticks, f->yminor = yminor, f->yhorizontal = yhorizontal;
}

void gag1d_set_tick_type(plotframe *f, int32_t style) {
  if (style == 6)
    gag1d_default_ticks(f);
  else
    f->tickstyle = style;
}

// The size the numbers and curve tags of a frame are drawn at (lines per view height,
// as gag_textsize takes it): the frame's label size over 1.2, but never smaller
// characters than the legend's beside them. The legend's rows on the screen are 0.6 of
// the title size's lines over 0.84 of the view's height at a line and a quarter each, some
// 20 lines per view height at the default sizes; the label size 42 gives 35, numbers 5
// pixels high at the 483 x 347 tile where the legend's are 9.
static float number_size(const plotframe *f) {
  const float kLegible = 20;
  return std::min(f->labelsize / 1.2f, kLegible);
}

// The size the axis titles are drawn at: the frame's title size over 1.2, but held to the
// numbers' size where those are held to the legend's, in the proportion the frame's title
// and label sizes give them and never smaller. At the default sizes the titles' 25 lines
// per view height drew characters 7 pixels high beside numbers of 9 at the 483 x 347 tile
// (a lower-case title shorter still); held, they are 15, a third larger than the numbers.
static float axis_title_size(const plotframe *f) {
  return std::min(f->titlesize / 1.2f, number_size(f) * std::min(1.0f, f->titlesize / f->labelsize));
}

void gag1d_set_label_size(plotframe *f, float titlesize, float titleaspect, float labelsize,
                          float labelaspect) {
  auto size = [](float s, float fallback) { return s > 1 && s <= 100 ? s : fallback; };
  auto aspect = [](float a) { return a > 0.1f && a <= 10 ? a : 1.0f; };
  f->titlesize = size(titlesize, 30);
  f->titleaspect = aspect(titleaspect);
  f->labelsize = size(labelsize, 40);
  f->labelaspect = aspect(labelaspect);
}

void gag1d_set_frame_colors_1(plotframe *f, uint8_t accent, uint8_t curve, uint8_t mark,
                              uint8_t axis, uint8_t text, uint8_t background, uint8_t count,
                              uint8_t first) {
  f->colours = {accent, curve, mark, axis, text, background, count, first, count};
}

void gag1d_set_frame_colors_0(plotframe *f, const framecolors *c) { f->colours = *c; }

void gag1d_set_frame_font(plotframe *f, uint8_t font) { f->font = font; }

// ---- Mapping -----------------------------------------------------------------------

static bool log_x_code(int16_t s) { return s < 32 && s >= 4 && s <= 7; }
static bool log_y_code(int16_t s) { return s < 32 && (s == 2 || s == 3 || s == 6 || s == 7); }

static void log_warning(uint16_t view, const char *text) {
  if (settings.batch) return;
  String m = {uint16_t(strlen(text)), 0, const_cast<char *>(text)};
  String t = {5, 0, const_cast<char *>("Error")};
  gag_showmessage(view, &m, &t);
}

// A width raised to a thousandth of the larger bound, or to 1 when still 0.
static double widen(double w, double a, double b) {
  w = std::max(w, 0.001 * std::fabs(b));
  w = std::max(w, 0.001 * std::fabs(a));
  return w == 0 ? 1.0 : w;
}

void gag1d_plotmap(uint16_t view, plotframe *f, double x1, double y1, double x2, double y2,
                   int16_t scale, uint8_t equal, uint8_t square) {
  TRACE("gag1d_plotmap");
  f->state[0] = 0, f->state[1] = 0, f->state[2] = 1;
  if (x2 < x1) std::swap(x1, x2);
  if (y2 < y1) std::swap(y1, y2);
  f->logx = f->logy = 0;
  if (log_x_code(scale)) {
    if (x1 > 0)
      f->logx = 1;
    else
      log_warning(view, "Negative X reverts to linear scale");
  }
  if (log_y_code(scale)) {
    if (y1 > 0)
      f->logy = 1;
    else
      log_warning(view, "Negative Y reverts to linear scale");
  }
  if (f->logx) x1 = std::log(x1), x2 = std::log(x2);
  if (f->logy) y1 = std::log(y1), y2 = std::log(y2);
  f->cx = (x1 + x2) / 2;
  f->cy = (y1 + y2) / 2;
  double wx = widen(x2 - x1, x1, x2), wy = widen(y2 - y1, y1, y2);
  if (equal && f->logx == f->logy) wx = wy = std::max(wx, wy);
  f->wx = wx, f->wy = wy;
  f->box = {f->cx - wx / 2, f->cy - wy / 2, f->cx + wx / 2, f->cy + wy / 2};
  gag1d_scale_with_axes(view, f, equal || square);
}

// lo..hi widened by 5 % on each side, on the logarithms when log is set and lo > 0.
static void margin(double *lo, double *hi, bool log) {
  if (*hi < *lo) std::swap(*lo, *hi);
  if (log && *lo > 0) {
    double a = std::log(*lo), b = std::log(*hi), m = 0.05 * (b - a);
    *lo = std::exp(a - m), *hi = std::exp(b + m);
  } else {
    double m = 0.05 * (*hi - *lo);
    *lo -= m, *hi += m;
  }
}

double gag1d_border_map(uint16_t view, plotframe *f, const rectd *box, int16_t scale,
                        uint8_t equal) {
  TRACE("gag1d_border_map");
  double x1 = box->x1, x2 = box->x2, y1 = box->y1, y2 = box->y2;
  margin(&x1, &x2, log_x_code(scale));
  margin(&y1, &y2, scale < 32 && (scale == 2 || scale == 3 || scale == 7));
  gag1d_plotmap(view, f, x1, y1, x2, y2, scale, equal, 1);
  return y1;
}

void gag1d_scale_with_axes(uint16_t view, plotframe *f, uint8_t square) {
  TRACE("gag1d_scale_with_axes");
  pointd size = {1, 1};
  gag_askrelsize(view, &size);
  // Two lines of numbers (four when written across the axis) and two of titles left of
  // and below the frame, a line of the title size right of and above it.
  double a = 1.0 / f->titlesize, b = 1.0 / (1.2 * number_size(f)), t = 1.0 / (1.2 * axis_title_size(f));
  double left = ((f->yhorizontal || f->logy) ? 4 : 2) * f->labelaspect * b + 2 * f->titleaspect * t;
  double bottom = ((f->xvertical || f->logx) ? 4 : 2) * b + 2 * t;
  double w = size.x - left - a, h = size.y - bottom - a;
  if (square) w = h = std::min(w, h);
  rects r = {float(left), float(bottom), float(left + w), float(bottom + h)};
  gag_scalerect(view, &r, &f->box);
}

// ---- Ticks ---------------------------------------------------------------------------

void gag1d_ticker(double a, double b, int32_t n, double slack, tickspec *t) {
  t->scale = 1.0, t->exponent = 0, t->minor = 5, t->density = 0;
  double hi = std::max(a, b), lo = std::min(a, b);
  double m = std::max(std::fabs(hi), std::fabs(lo));
  if (m == 0) m = 1.0;
  if (!(std::fabs(hi - lo) >= 1e-6 * m) || !std::isfinite(hi - lo) || n < 1) {
    t->step = hi, t->first = t->last = 1;
    return;
  }
  double r = (hi - lo) / (1.5 * n);
  while (r < 1) r *= 10, t->scale *= 0.1, t->exponent--;
  while (r >= 7.071) r *= 0.1, t->scale *= 10, t->exponent++;
  t->step = r > 3.162 ? 5 : r > 1.732 ? 3 : r > 1.414 ? 2 : 1;
  if (t->step == 3) t->minor = 3;
  double s = t->step * t->scale;
  t->first = int32_t(std::fabs(lo / s) + 0.9999) * (lo < 0 ? -1 : 1);
  if (lo > (t->first + slack) * s) t->first++;
  t->last = int32_t(std::fabs(hi / s) + 0.9999) * (hi < 0 ? -1 : 1);
  if (hi < (t->last - slack) * s) t->last--;
  while (std::fabs(t->first * t->step) >= 10 && std::fabs(t->last * t->step) >= 10)
    t->step *= 0.1, t->scale *= 10, t->exponent++;
  while (std::fabs(t->first * t->step) < 1 && std::fabs(t->last * t->step) < 1)
    t->step *= 10, t->scale *= 0.1, t->exponent--;
}

void gag1d_logticker(double a, double b, int32_t n, tickspec *t) {
  double lo = std::min(a, b), hi = std::max(a, b);
  *t = tickspec{1.0, 1.0, 0, 0, 1, 0, 5};
  if (!std::isfinite(lo) || !std::isfinite(hi)) return;
  t->first = int16_t(std::floor(lo / LN10));
  t->last = int16_t(std::ceil(hi / LN10));
  double R = (hi - lo) / LN10;
  t->density = R > n ? 1 : R > n / 2.0 ? 2 : R > n / 4.0 ? 3 : 4;
}

// ---- Text helpers ----------------------------------------------------------------------

static String text_of(const char *c) { return {uint16_t(strlen(c)), 0, const_cast<char *>(c)}; }

static void draw_at(uint16_t view, double x, double y, const char *c) {
  String s = text_of(c);
  gag_drawtext_1(view, x, y, &s);
}

// value in the 6-digit packed form, leading blanks removed, into the number buffer.
static const char *six_digits(double value) {
  strings_formatreal(&number, value, 6, 1, 0);
  const char *c = number.text ? number.text : "";
  while (*c == ' ') c++;
  return c;
}

// ---- Axes ------------------------------------------------------------------------------

// One tick at position u along an axis, joining the frame edges p and q at v = p_edge
// and v = q_edge; len points into the box. Major ticks differ in styles 4 and 5.
static void tick(uint16_t view, const plotframe *f, bool xaxis, double u, double len, bool major) {
  double p = xaxis ? f->box.y1 : f->box.x1, q = xaxis ? f->box.y2 : f->box.x2;
  auto line = [&](double v0, double v1) {
    if (xaxis)
      gag_drawline_1(view, u, v0, u, v1);
    else
      gag_drawline_1(view, v0, u, v1, u);
  };
  int style = f->tickstyle;
  if (major && style == 4) return line(p, q);
  if (major && style == 5) return line(p - len, q + len);
  if (style == 4) style = 1;
  if (style == 5) style = 3;
  switch (style) {
    case 0: line(p, p + len); break;
    case 1: line(p, p + len), line(q, q - len); break;
    case 2: line(p, p - len); break;
    case 3: line(p, p - len), line(q, q + len); break;
    default: break;
  }
}

// The numbers of an axis: place along it, text, and whether a major tick goes there.
struct axislabel {
  double u;
  std::string text;
  bool major;
};

// A linear axis's numbers, with the exponent moved out of them when it is below -1 or
// above 2 (the exponent, or 0, is returned).
static int32_t linear_labels(const plotframe *f, bool xaxis, tickspec *t, std::vector<axislabel> *out) {
  double lo = xaxis ? f->box.x1 : f->box.y1, hi = xaxis ? f->box.x2 : f->box.y2;
  gag1d_ticker(lo, hi, xaxis ? f->xticks : f->yticks, 0.01, t);
  double s = t->step * t->scale, mult = s;
  bool moved = t->exponent < -1 || t->exponent > 2;
  if (moved) mult = t->step;
  for (int32_t k = t->first; k <= t->last; k++) out->push_back({k * s, six_digits(k * mult), true});
  return moved ? t->exponent : 0;
}

// A log axis's decade labels and mantissa digits ("1e%d" padded to four characters; a
// longer one is written whole). Decades on the box's ends count as inside despite
// rounding of the logarithms.
static void log_labels(const plotframe *f, bool xaxis, std::vector<axislabel> *out) {
  double lo = xaxis ? f->box.x1 : f->box.y1, hi = xaxis ? f->box.x2 : f->box.y2;
  tickspec t;
  gag1d_logticker(lo, hi, 5, &t);
  double tol = 1e-9 * (hi - lo);
  for (int32_t d = t.first; d <= t.last; d++) {
    double u = d * LN10;
    if (u >= lo - tol && u <= hi + tol) {
      char c[24];
      snprintf(c, sizeof c, "1e%d   ", int(d));
      int n = std::max(4, snprintf(nullptr, 0, "1e%d", int(d)));
      c[n] = 0;
      out->push_back({u, c, true});
    }
    for (int32_t i = 2; i <= mantissa_count[t.density]; i++) {
      float v = float(d * LN10) + ln_mantissas[t.density][i - 1];
      if (v >= lo - tol && v <= hi + tol) {
        char c[4];
        snprintf(c, sizeof c, "%d", int(mantissas[t.density][i - 1]));
        out->push_back({v, c, false});
      }
    }
  }
}

// Every how many ticks a linear axis writes its number, at the text size, angle and
// font the view has for them: the numbers' extent along the axis with a character's
// advance between neighbours (half a character's height between numbers written across
// the axis) must fit between the ticks that carry them, so every second, fifth, tenth
// ... tick is written when the spacing s between ticks is narrower, those on multiples
// of it, to stay round.
static int32_t label_stride(uint16_t view, const std::vector<axislabel> &labels, bool xaxis, bool turned, double s) {
  pointd rel = {1, 1}, size = {0, 0};
  rectd usr = {0, 0, 1, 1};
  gag_askrelsize(view, &rel);
  gag_asksize(view, &usr);
  if (!(usr.x2 > usr.x1 && usr.y2 > usr.y1 && rel.x > 0 && rel.y > 0 && s > 0)) return 1;
  // Lengths along y in user units as lengths along x.
  double ytox = (usr.x2 - usr.x1) / rel.x * rel.y / (usr.y2 - usr.y1), widest = 0;
  for (const axislabel &l : labels) {
    String c = text_of(l.text.c_str());
    gag_asktextsize(view, &c, &size);
    // The text runs along the axis unless turned across it, where its height does; a
    // character's advance apart, or half a height.
    double along = turned ? 1.5 * size.y : size.x * (l.text.size() + 1) / std::max<size_t>(l.text.size(), 1);
    if (xaxis && turned) along *= ytox;
    if (!xaxis && !turned) along /= ytox;
    widest = std::max(widest, along);
  }
  for (int32_t stride = 1;; stride *= 10)
    for (int32_t m : {1, 2, 5})
      if (m * stride * s >= widest || m * stride > 1000000) return m * stride;
}

// A linear axis: numbers, the exponent text, then major and minor ticks.
static void linear_axis(uint16_t view, const plotframe *f, bool xaxis, pointd cs, bool turned) {
  double lo = xaxis ? f->box.x1 : f->box.y1, hi = xaxis ? f->box.x2 : f->box.y2;
  double along = xaxis ? cs.y : cs.x, across = xaxis ? cs.x : cs.y;
  tickspec t;
  std::vector<axislabel> labels;
  int32_t exponent = linear_labels(f, xaxis, &t, &labels);
  double len = 0.2 * along, e = 0.01 * across, s = t.step * t.scale;
  if (exponent) {
    char ex[16];
    snprintf(ex, sizeof ex, "e%d", int(exponent));
    // Numbers written across the y axis end where the exponent would stand: it goes
    // left of the top number, a character clear of it, but inside the view: held a
    // quarter character from the view's left side, and a line lower when it would then
    // come within a quarter character of the top number (the margin holds four
    // characters of numbers and the title's two lines).
    pointd lcs = {0, 0}, top = {0, 0}, wide = {0, 0};
    gag_askcharsize(view, &lcs);
    if (!xaxis && turned && !labels.empty()) {
      String t = text_of(labels.back().text.c_str()), et = text_of(ex);
      gag_asktextsize(view, &t, &top);
      gag_asktextsize(view, &et, &wide);
    }
    if (xaxis)
      draw_at(view, f->box.x2, f->box.y1 - 2 * cs.y, ex);
    else if (turned) {
      rectd usr = {0, 0, 1, 1};
      gag_asksize(view, &usr);
      double numbers = f->box.x1 - 0.5 * cs.x - top.x, end = numbers - lcs.x, y = f->box.y2;
      double least = usr.x1 + 0.25 * lcs.x + wide.x;
      if (end < least) end = least;
      if (end > numbers - 0.25 * lcs.x) y -= 1.25 * lcs.y;
      draw_at(view, end, y, ex);
    } else draw_at(view, f->box.x1 - 2 * cs.x, f->box.y2, ex);
  }
  int32_t stride = label_stride(view, labels, xaxis, turned, s);
  for (size_t i = 0; i < labels.size(); i++) {
    const axislabel &l = labels[i];
    if ((t.first + int32_t(i)) % stride != 0) continue;
    if (xaxis)
      draw_at(view, l.u, f->box.y1 - 0.5 * cs.y, l.text.c_str());
    else
      draw_at(view, f->box.x1 - 0.5 * cs.x, l.u, l.text.c_str());
  }
  gag_setcolor_0(view, f->colours.axis);
  bool minor = xaxis ? f->xminor : f->yminor;
  for (int32_t k = t.first - 1; k <= t.last; k++) {
    double u = k * s;
    if (u - lo > -e) tick(view, f, xaxis, u, 2 * len, true);
    if (!minor) continue;
    for (int32_t j = 1; j < t.minor; j++) {
      double m = u + j * s / t.minor;
      if (m > lo - e && m < hi + e) tick(view, f, xaxis, m, len, false);
    }
  }
}

// A log axis: decade labels and major ticks, mantissa digits and minor ticks.
static void log_axis(uint16_t view, plotframe *f, bool xaxis) {
  gag_textsize(view, number_size(f), f->labelaspect);
  pointd cs = {0, 0};
  gag_askcharsize(view, &cs);
  double len = 0.2 * (xaxis ? cs.y : cs.x);
  std::vector<axislabel> labels;
  log_labels(f, xaxis, &labels);
  for (const axislabel &l : labels) {
    gag_setcolor_0(view, f->colours.text);
    if (xaxis)
      draw_at(view, l.u, f->box.y1 - 0.5 * cs.y, l.text.c_str());
    else
      draw_at(view, f->box.x1 - 0.5 * cs.x, l.u, l.text.c_str());
    gag_setcolor_0(view, f->colours.axis);
    tick(view, f, xaxis, l.u, len, l.major);
  }
}

// The x at which the y title's baseline stands clear of the y numbers written across
// the axis: the frame's place for it (1.2 title characters in from the view's left),
// moved left when a number beside the title would come within half of the
// title's height of it, but not so far that the title leaves the view. The title is
// turned: its height runs along x, its width along y, its depth towards the numbers.
static double y_title_place(uint16_t view, const plotframe *f, const String *title, pointd cs,
                            const rectd &usr) {
  double x = usr.x1 + 1.2 * cs.x / f->titleaspect;
  if (!f->yhorizontal && !f->logy) return x;
  pointd rel = {1, 1}, size = {0, 0};
  gag_askrelsize(view, &rel);
  // Lengths along y in user units as lengths along x.
  double ytox = (usr.x2 - usr.x1) / rel.x * rel.y / (usr.y2 - usr.y1), depth = 0;
  gag_asktextsize(view, title, &size, &depth);
  double tall = size.y * ytox, gap = tall / 2, half = size.x / ytox / 2 + gap / ytox;
  std::vector<axislabel> labels;
  tickspec t;
  if (f->logy) log_labels(f, false, &labels);
  else linear_labels(f, false, &t, &labels);
  // Sizes at the title's size, made those at the numbers' size (without setting it,
  // which the view would record). Log numbers end half a number's character left of
  // the frame, linear ones half a title character.
  double k = double(axis_title_size(f)) / number_size(f), kx = k * f->labelaspect / f->titleaspect;
  double end = f->box.x1 - 0.5 * cs.x * (f->logy ? kx : 1), left = HUGE_VAL;
  for (const axislabel &l : labels) {
    String c = text_of(l.text.c_str());
    gag_asktextsize(view, &c, &size);
    if (std::fabs(l.u - f->cy) < half + k * size.y / 2) left = std::min(left, end - kx * size.x);
  }
  if (x + depth * ytox + gap > left) x = std::max(left - depth * ytox - gap, usr.x1 + tall);
  return x;
}

void gag1d_draw_axes(uint16_t view, plotframe *f, const String *xtitle, const String *ytitle) {
  TRACE("gag1d_draw_axes");
  gag_setcolor_0(view, f->colours.axis);
  gag_textfont(view, f->font);
  gag_textsize(view, f->titlesize / 1.2f, f->titleaspect);
  gag_askcharsize(view, &f->charsize);
  gag_drawrect_0(view, &f->box);
  rectd usr = {0, 0, 1, 1};
  gag_asksize(view, &usr);
  for (int axis = 0; axis < 2; axis++) {
    bool xaxis = axis == 0;
    const String *title = xaxis ? xtitle : ytitle;
    gag_textsize(view, axis_title_size(f), f->titleaspect);
    pointd cs = {0, 0};
    gag_askcharsize(view, &cs);
    gag_setcolor_0(view, f->colours.text);
    gag_textcenter(view, 0.5f, 0);
    gag_textangle(view, xaxis ? 0 : 90);
    if (title && title->length) {
      if (xaxis)
        gag_drawtext_1(view, f->cx, usr.y1 + 0.2 * cs.y, title);
      else
        gag_drawtext_1(view, y_title_place(view, f, title, cs, usr), f->cy, title);
    }
    gag_textsize(view, number_size(f), f->labelaspect);
    bool log = xaxis ? f->logx : f->logy;
    bool turned = xaxis ? (f->xvertical || f->logx) : (f->yhorizontal || f->logy);
    if (xaxis) {
      gag_textcenter(view, turned ? 1.0f : 0.5f, turned ? 0.5f : 1.0f);
      gag_textangle(view, turned ? 90 : 0);
    } else {
      gag_textcenter(view, turned ? 1.0f : 0.5f, turned ? 0.5f : 0);
      gag_textangle(view, turned ? 0 : 90);
    }
    if (log)
      log_axis(view, f, xaxis);
    else linear_axis(view, f, xaxis, cs, turned);
  }
  gag_setcolor_0(view, f->colours.text);
}

// ---- Curves -----------------------------------------------------------------------------

static pointd data_point(const plotframe *f, double x, double y) {
  return {f->logx ? std::log(x) : x, f->logy ? std::log(y) : y};
}

static void length_check(const vectord *x, const vectord *y, const vectorb *mask, const char *where) {
  if (x->count != y->count || (mask && mask->count < x->count)) rtlib_fatal_in(where, "LENGTH ERROR");
}

// Fills the work list with the mapped points.
static void map_points(const plotframe *f, const vectord *x, const vectord *y) {
  pointd_resize_1(&mapped, x->count, std::max(mapped.capacity, x->count));
  for (int32_t i = 0; i < x->count; i++) mapped.data[i] = data_point(f, x->data[i], y->data[i]);
}

static void map_points(const plotframe *f, const pointdlist *p) {
  pointd_resize_1(&mapped, p->count, std::max(mapped.capacity, p->count));
  for (int32_t i = 0; i < p->count; i++) mapped.data[i] = data_point(f, p->data[i].x, p->data[i].y);
}

// Points first..last (1-based) of the work list as a polyline.
static void polyline(uint16_t view, int32_t first, int32_t last) {
  if (last <= first) return;
  pointdlist part = {last - first + 1, last - first + 1, mapped.data + first - 1};
  gag_polyline(view, &part);
}

void gag1d_draw_curve_0(uint16_t view, plotframe *f, const vectord *x, const vectord *y) {
  TRACE("gag1d_draw_curve_0");
  length_check(x, y, nullptr, "gag1d_draw_curve_0");
  map_points(f, x, y);
  polyline(view, 1, mapped.count);
}

void gag1d_draw_curve_1(uint16_t view, plotframe *f, const pointdlist *p) {
  TRACE("gag1d_draw_curve_1");
  map_points(f, p);
  polyline(view, 1, mapped.count);
}

// Points first..first+n-1 of the work list as one curve with its tag.
static void tagged_run(uint16_t view, const plotframe *f, int32_t first, int32_t n,
                       pointdlist *tags, const String *tag) {
  const pointd *P = mapped.data + first - 2;  // P[1..n]
  if (n < 4) return polyline(view, first, first + n - 1);
  gag_textsize(view, number_size(f), f->labelaspect);
  pointd cs = {1, 1};
  gag_askcharsize(view, &cs);
  if (!(cs.x > 0 && cs.y > 0)) cs = {1, 1};  // a view without text metrics
  auto D = [&](const pointd &p, const pointd &q) {
    double dx = (q.x - p.x) / cs.x, dy = (q.y - p.y) / cs.y;
    return dx * dx + dy * dy;
  };
  int32_t i = n / 2;
  if (n > 7) i += int32_t((gag1d_rand() - 16383) * double(n - 3) * 0.47 / 16384);
  bool found = tags->count == 0;
  for (int32_t k = 1; !found && 1 < i && i <= n - 2; k++) {
    double nearest = 1e300;
    for (int32_t t = 0; t < tags->count; t++) nearest = std::min(nearest, D(P[i], tags->data[t]));
    if (nearest > 2.0) {
      found = true;
      break;
    }
    i = i <= n / 2 ? i + k : i - k;
  }
  if (!found) return polyline(view, first, first + n - 1);
  int32_t j = i + 1;
  while (j < n && D(P[i], P[j]) < 1) j++;
  pointd T = j - i > 1 ? P[(i + j) / 2] : pointd{(P[i].x + P[j].x) / 2, (P[i].y + P[j].y) / 2};
  if (i > 1) polyline(view, first, first + i - 1);
  if (j < n) polyline(view, first + j - 1, first + n - 1);
  for (const pointd *from : {&P[i], &P[j]}) {
    pointd q = T;
    for (int k = 0; k <= 10; k++) {
      q = {from->x + 0.1 * k * (T.x - from->x), from->y + 0.1 * k * (T.y - from->y)};
      if (D(q, T) <= 0.25) break;
    }
    gag_drawline_0(view, from, &q);
  }
  gag_textcenter(view, 0.5f, 0.5f);
  gag_drawtext_0(view, &T, tag);
  pointd_one_more_0(tags, &T);
}

// Every run of the work list under the mask (or the whole list) as a tagged curve.
// Hidden points are dropped from the list in place, so each run lies contiguous.
static void tagged_runs(uint16_t view, const plotframe *f, pointdlist *tags, const String *tag,
                        const vectorb *mask) {
  if (!mask) return tagged_run(view, f, 1, mapped.count, tags, tag);
  int32_t kept = 0, start = 1;
  for (int32_t i = 1; i <= mapped.count; i++) {
    uint8_t m = mask->data[i - 1];
    if (m) mapped.data[kept++] = mapped.data[i - 1];
    if (m == 0 || m == 3 || i == mapped.count) {
      if (kept >= start) tagged_run(view, f, start, kept - start + 1, tags, tag);
      start = kept + 1;
    }
  }
}

void gag1d_draw_tagged_0(uint16_t view, plotframe *f, const vectord *x, const vectord *y,
                         pointdlist *tags, const String *tag) {
  TRACE("gag1d_draw_tagged_0");
  length_check(x, y, nullptr, "gag1d_draw_tagged_0");
  map_points(f, x, y);
  tagged_runs(view, f, tags, tag, nullptr);
}

void gag1d_draw_tagged_1(uint16_t view, plotframe *f, const vectord *x, const vectord *y,
                         pointdlist *tags, const String *tag, const vectorb *mask) {
  TRACE("gag1d_draw_tagged_1");
  length_check(x, y, mask, "gag1d_draw_tagged_1");
  map_points(f, x, y);
  tagged_runs(view, f, tags, tag, mask);
}

void gag1d_draw_tagged_2(uint16_t view, plotframe *f, const pointdlist *p, pointdlist *tags,
                         const String *tag) {
  TRACE("gag1d_draw_tagged_2");
  map_points(f, p);
  tagged_runs(view, f, tags, tag, nullptr);
}

void gag1d_draw_tagged_3(uint16_t view, plotframe *f, const pointdlist *p, pointdlist *tags,
                         const String *tag, const vectorb *mask) {
  TRACE("gag1d_draw_tagged_3");
  if (mask->count < p->count) rtlib_fatal_in("gag1d_draw_tagged_3", "LENGTH ERROR");
  map_points(f, p);
  tagged_runs(view, f, tags, tag, mask);
}

// Widens lo..hi (any: already holding a value) to hold the values of y.
static void value_range(const vectord *y, double *lo, double *hi, bool *any) {
  for (int32_t i = 0; i < y->count; i++) {
    double v = y->data[i];
    *lo = *any ? std::min(*lo, v) : v, *hi = *any ? std::max(*hi, v) : v, *any = true;
  }
}

// Clears the view, maps x from its first to its last value and y over lo..hi, axes.
static void whole_plot(uint16_t view, plotframe *f, const vectord *x, double lo, double hi,
                       int16_t scale, uint8_t square, const String *xtitle, const String *ytitle) {
  gag_clearview_1(view, f->colours.background);
  double x1 = x->count ? x->data[0] : 0, x2 = x->count ? x->data[x->count - 1] : 0;
  gag1d_plotmap(view, f, x1, lo, x2, hi, scale, 0, square);
  gag1d_draw_axes(view, f, xtitle, ytitle);
}

void gag1d_plot_curve(uint16_t view, plotframe *f, const vectord *x, const vectord *y,
                      int16_t scale, uint8_t square, const String *xtitle, const String *ytitle) {
  TRACE("gag1d_plot_curve");
  double lo = 0, hi = 0;
  bool any = false;
  value_range(y, &lo, &hi, &any);
  whole_plot(view, f, x, lo, hi, scale, square, xtitle, ytitle);
  gag_setcolor_0(view, f->colours.curve);
  gag1d_draw_curve_0(view, f, x, y);
}

void gag1d_plot_many(uint16_t view, plotframe *f, const vectord *x, const vector2d *curves,
                     int16_t scale, uint8_t square, const String *xtitle, const String *ytitle) {
  TRACE("gag1d_plot_many");
  many_tags.count = 0;
  double lo = 0, hi = 0;
  bool any = false;
  for (int32_t k = 0; k < curves->count; k++) value_range(&curves->data[k], &lo, &hi, &any);
  whole_plot(view, f, x, lo, hi, scale, square, xtitle, ytitle);
  for (int32_t k = 1; k <= curves->count; k++) {
    gag1d_tablecolor_1(view, f, k, curves->count);
    char c[2] = {gag1d_tag_char(k), 0};
    strings_copyto_1(&letter, c);
    gag1d_draw_tagged_0(view, f, x, &curves->data[k - 1], &many_tags, &letter);
  }
}

// ---- Arrows and forwards -------------------------------------------------------------------

static const double ARROW_COS = 0.943, ARROW_SIN = 0.333;

static void arrow_head(uint16_t view, const pointd *tip, double hx, double hy) {
  gag_drawline_1(view, tip->x, tip->y, tip->x - (ARROW_COS * hx - ARROW_SIN * hy),
                 tip->y - (ARROW_SIN * hx + ARROW_COS * hy));
  gag_drawline_1(view, tip->x, tip->y, tip->x - (ARROW_COS * hx + ARROW_SIN * hy),
                 tip->y - (-ARROW_SIN * hx + ARROW_COS * hy));
}

void gag1d_arrow_0(uint16_t view, const pointd *from, const pointd *to, double head) {
  TRACE("gag1d_arrow_0");
  float hx = float((to->x - from->x) * head), hy = float((to->y - from->y) * head);
  gag_drawline_0(view, from, to);
  arrow_head(view, to, hx, hy);
}

void gag1d_arrow_1(uint16_t view, const pointd *p, double dx, double dy, double head) {
  TRACE("gag1d_arrow_1");
  pointd tip = {p->x + dx, p->y + dy};
  gag_drawline_0(view, p, &tip);
  arrow_head(view, &tip, dx * head, dy * head);
}

void gag1d_setclip(uint16_t view, const plotframe *f, const rectd *box) {
  if (!f->logx && !f->logy) return gag_setclip_0(view, box);
  pointd a = data_point(f, box->x1, box->y1), b = data_point(f, box->x2, box->y2);
  gag_setclip_1(view, a.x, a.y, b.x, b.y);
}

void gag1d_drawline(uint16_t view, const plotframe *f, const pointd *p, const pointd *q) {
  pointd a = data_point(f, p->x, p->y), b = data_point(f, q->x, q->y);
  gag_drawline_0(view, &a, &b);
}

void gag1d_moveto(uint16_t view, const plotframe *f, const pointd *p) {
  pointd a = data_point(f, p->x, p->y);
  gag_moveto_0(view, &a);
}

void gag1d_drawto(uint16_t view, const plotframe *f, const pointd *p) {
  pointd a = data_point(f, p->x, p->y);
  gag_drawto_0(view, &a);
}

void gag1d_drawtext(uint16_t view, const plotframe *f, const pointd *p, const String *text) {
  pointd a = data_point(f, p->x, p->y);
  gag_drawtext_0(view, &a, text);
}

char gag1d_tag_char(int32_t k) { return char(k < 27 ? k + 96 : k + 38); }
char gag1d_hex_char(int32_t d) { return char(d < 10 ? '0' + d : d + 55); }

// ---- Levels and spectrum colours ----------------------------------------------------------

int16_t gag1d_getlevels(double lo, double hi, int32_t n, vectord *levels, uint8_t extend) {
  TRACE("gag1d_getlevels");
  tickspec t;
  gag1d_ticker(lo, hi, n, 0.01, &t);
  double s = t.step * t.scale;
  if (extend) {
    if (lo < t.first * s) t.first--;
    if (t.last * s < hi) t.last++;
  }
  int32_t count = t.last - t.first + 1;
  if (count <= 0) {
    vectord_resize(levels, 1, std::max(levels->capacity, 1));
    levels->data[0] = lo;
    return 1;
  }
  vectord_resize(levels, count, std::max(levels->capacity, count));
  for (int32_t j = 1; j <= count; j++) levels->data[j - 1] = (t.first + j - 1) * t.step * t.scale;
  return int16_t(count);
}

int16_t gag1d_getlnlevels(double lo, double hi, int32_t n, vectord *levels, uint8_t extend) {
  TRACE("gag1d_getlnlevels");
  levels->count = 0;
  if (!(hi > 0) || !std::isfinite(hi) || std::isnan(lo)) {  // no decades: the one level lo
    vectord_one_more(levels, lo);
    return 1;
  }
  double low = std::max(lo, hi * 1e-18);
  tickspec t;
  gag1d_logticker(std::log(low), std::log(hi), n, &t);
  double v = 0, previous = hi;
  int32_t d = t.first;
  do {
    int32_t i = 1;
    do {
      v = std::exp(d * LN10 + ln_mantissas[t.density][i - 1]);
      if (v >= low) {
        if (extend && previous < low) vectord_one_more(levels, previous);
        vectord_one_more(levels, v);
      }
      previous = v;
      i++;
    } while (i <= mantissa_count[t.density] && v <= hi);
    d++;
  } while (v <= hi && (d <= t.last || extend));
  return int16_t(levels->count);
}

uint8_t gag1d_tablecolor_0(const plotframe *f, int32_t k, int32_t n) {
  const framecolors &c = f->colours;
  if (!c.spectrum_count) return c.spectrum_first;
  int32_t i = f->reverse ? n - k + 1 : k;
  int32_t e = n > 0 ? std::min<int32_t>(n, c.spectrum_cycle) : c.spectrum_cycle;
  double ratio = e > 0 ? std::max(double(c.spectrum_count) / e, 1.0) : 1.0;
  int32_t index = int32_t((i - 1) * ratio) % c.spectrum_count;
  if (index < 0) index += c.spectrum_count;
  return uint8_t(c.spectrum_first + index);
}

void gag1d_tablecolor_1(uint16_t view, const plotframe *f, int32_t k, int32_t n) {
  gag_setcolor_0(view, gag1d_tablecolor_0(f, k, n));
}

int16_t scale_size(double v) {
  double a = std::fabs(v);
  if (a == 0) return 0;
  if (a > 999.999) return int16_t(std::log10(a));
  if (a < 0.1) return int16_t(-1 - int32_t(std::fabs(std::log10(a))));
  return 0;
}

// ---- Legends ------------------------------------------------------------------------------

// The page of a legend: one user unit is one text line.
struct legendpage {
  double W;        // page width in lines
  double lines;    // page height in lines
  double top;      // the line after the last title
  int32_t digits;  // significant digits of the values
  int16_t E;       // common exponent (0 with own scales)
  double factor;   // 10^-E
  bool two;        // two columns
  float size;      // text size
  uint16_t uniform;  // the uniform width to restore
};

// The digits and the common exponent of a legend's values.
static legendpage legend_numbers(const vectord *levels, uint8_t ownscales) {
  legendpage pg{};
  int32_t n = levels->count;
  double A = n ? std::max(std::fabs(levels->data[0]), std::fabs(levels->data[n - 1])) : 0;
  pg.digits = 4;
  pg.E = ownscales ? 0 : scale_size(A);
  pg.factor = rtlib_pow10(int16_t(-pg.E));
  if (n >= 2) {
    // A list of one repeated value counts as one level.
    double spacing = std::fabs(levels->data[n - 1] - levels->data[0]) / (n - 1);
    if (spacing > 0 && A > 0) pg.digits = std::max(4, int32_t(std::log10(A / spacing) + 2.999999));
    // Unevenly spaced levels (a logarithmic scale) are written wide enough to show
    // two digits of the smallest: its leading zeros take places of the field.
    double least = 0;
    bool even = true;
    for (int32_t k = 0; k < n; k++) {
      double a = std::fabs(levels->data[k]) * pg.factor;
      if (a > 0 && (least == 0 || a < least)) least = a;
      if (k && std::fabs(std::fabs(levels->data[k] - levels->data[k - 1]) - spacing) > 0.001 * spacing) even = false;
    }
    if (!ownscales && !even && least > 0 && least < 1) {
      int32_t whole = std::max(1, int32_t(std::floor(std::log10(A * pg.factor))) + 1);
      pg.digits = std::max(pg.digits, whole + 2 - int32_t(std::floor(std::log10(least))));
    }
  }
  return pg;
}

// v rounded to the page's digits (less its own exponent e), in the number buffer.
static const char *legend_value(const legendpage &pg, double v, uint8_t ownscales) {
  int16_t e = ownscales ? scale_size(v) : 0;
  double p = rtlib_pow10(int16_t(pg.digits - e));
  if (std::fabs(p * v) < 1e9) v = std::round(p * v) / p;
  strings_formatreal(&number, v, int16_t(e ? pg.digits + 3 : pg.digits), 1, e ? 1 : 0);
  // A small negative value whose places shown are all zero reads 0, not "-0.0".
  char *t = number.text;
  if (t && strchr(t, '-') && !strchr(t, 'e') && !strpbrk(t, "123456789")) *strchr(t, '-') = ' ';
  return number.text ? number.text : "";
}

// Levels that differ but would read alike beside each other ("0.14", "0.14" for 0.135
// and 0.14) are written with more digits, ten at most.
static void distinct_digits(legendpage *pg, const vectord *levels, uint8_t ownscales) {
  for (; pg->digits < 10; pg->digits++) {
    std::string last;
    bool alike = false;
    for (int32_t k = 0; k < levels->count && !alike; k++) {
      std::string t = legend_value(*pg, levels->data[k] * pg->factor, ownscales);
      alike = k > 0 && t == last && levels->data[k] != levels->data[k - 1];
      last = t;
    }
    if (!alike) return;
  }
}

// The lines of a legend beside its titles: how many, the room before the text of
// each (in lines) and the texts of the widest kind (label, a blank and the value).
struct legendrows {
  int32_t count;
  double lead;                     // the room left of a row's text (a band's swatch)
  std::vector<std::string> texts;  // the rows' texts, written after the lead
  std::string note;                // the scale note, below every row across the page
};

static double text_width(uint16_t view, const std::string &t) {
  String s = text_of(t.c_str());
  pointd size = {0, 0};
  gag_asktextsize(view, &s, &size);
  return size.x;
}

// The page of the legend view with its titles and rule. Printed pages and metafiles
// take title size lines at s / 1.2 with the frame's aspect (more, smaller lines when
// the rows need more than that in their columns). On the screen, where
// those characters come out a few pixels high, the page has as few lines as hold the
// rows in its columns (three fifths of them at least) and its characters are a line
// and a quarter high, less where the widest row would not fit its column; never
// smaller than on the page. A title too wide for the screen's page is made smaller,
// down to its size on the page.
static legendpage legend_page(uint16_t view, plotframe *f, const vectord *levels,
                              uint8_t ownscales, const StringList *titles,
                              const legendrows &rows, bool screen) {
  legendpage pg = legend_numbers(levels, ownscales);
  distinct_digits(&pg, levels, ownscales);
  gag_textfont(view, f->font);
  double s = f->titlesize;
  pointd rel = {1, 1};
  gag_askrelsize(view, &rel);
  pg.two = rel.x / rel.y * s / f->titleaspect > 10;
  int32_t ntitles = titles ? titles->count : 0;
  // The lines the rows take in their columns, with the titles and the room below: more
  // rows than s lines hold get more, smaller lines, so that no column is written twice.
  int32_t columns = pg.two ? 2 : 1, rowlines = (rows.count + columns - 1) / columns;
  double need = double(rowlines + 6 + ntitles);
  pg.lines = std::max(s, need);
  pg.size = float(pg.lines / 1.2);
  if (screen) pg.lines = std::max(need, std::min(s, std::max(std::ceil(0.6 * s), need)));
  pg.W = rel.x / rel.y * pg.lines / f->titleaspect;
  gag_scaleview_1(view, 0, 0, pg.W, pg.lines);
  if (screen) {
    // The text size is in characters per relative unit; the page is rel.y high.
    float tall = float(pg.lines / (1.25 * rel.y));
    gag_textsize(view, tall, f->titleaspect);
    uint16_t keep = gag_textuniform_0(view, '0');
    double column = pg.two ? pg.W / 2 : pg.W, room = column - rows.lead - 0.3;
    // The widest text against the room it has: the rows after their lead, the scale
    // note from the column's start.
    double scale = 1;
    for (const std::string &t : rows.texts) scale = std::max(scale, text_width(view, t) / room);
    if (!rows.note.empty()) scale = std::max(scale, text_width(view, rows.note) / (pg.W - 1.3));
    gag_textuniform_1(view, keep);
    if (scale > 1 && room > 0) tall = float(tall * scale);
    pg.size = std::min(tall, pg.size);
  }
  gag_textsize(view, pg.size, f->titleaspect);
  gag_setcolor_0(view, f->colours.text);
  gag_textcenter(view, 0, 0);
  double y = pg.lines - 2;
  for (int32_t t = 0; t < ntitles; t++, y -= 1) {
    const String *title = &titles->items[t];
    pointd size = {0, 0};
    if (screen) gag_asktextsize(view, title, &size);
    double room = pg.W - 1.3;
    bool fit = size.x > room && room > 0;
    if (fit) gag_textsize(view, std::min(float(pg.size * size.x / room), float(s / 1.2)), f->titleaspect);
    gag_drawtext_1(view, 1, y, title);
    if (fit) gag_textsize(view, pg.size, f->titleaspect);
  }
  pg.top = y;
  gag_drawline_1(view, 1, y + 0.5, pg.W, y + 0.5);
  pg.uniform = gag_textuniform_0(view, '0');
  return pg;
}

// One legend line: the label left-aligned at x, the value right-aligned at edge.
static void num_label(uint16_t view, const legendpage &pg, const char *label, double v, double x,
                      double edge, double line, uint8_t ownscales) {
  gag_textcenter(view, 0, 0);
  draw_at(view, x, line, label);
  const char *c = legend_value(pg, v, ownscales);
  gag_textcenter(view, 1, 0);
  draw_at(view, edge, line, c);
}

// A band boundary's value, vertically centred on its line.
static void band_label(uint16_t view, const legendpage &pg, double v, double edge, double line,
                       uint8_t ownscales) {
  const char *c = legend_value(pg, v, ownscales);
  gag_textcenter(view, 1, 0.5f);
  draw_at(view, edge, line, c);
}

// "Scale = E" and the exponent, after one blank line below the last line drawn.
static const char *scale_text(const legendpage &pg) {
  static char c[32];
  snprintf(c, sizeof c, "Scale = E%d", int(pg.E));
  return c;
}

static void scale_note(uint16_t view, const plotframe *f, const legendpage &pg, double x,
                       double last) {
  if (!pg.E) return;
  gag_setcolor_0(view, f->colours.text);
  gag_textcenter(view, 0, 0);
  draw_at(view, x, last - 2, scale_text(pg));
}

// The rows of a legend's values with their labels (none for bands), and its scale note.
static legendrows legend_rows(const vectord *levels, uint8_t ownscales, const char *label,
                              double lead, int32_t extra, const double *range) {
  legendrows rows{levels->count + extra, lead, {}};
  legendpage pg = legend_numbers(levels, ownscales);
  distinct_digits(&pg, levels, ownscales);
  std::string l = label ? std::string(label) + " " : "";
  for (int32_t k = 0; k < levels->count; k++)
    rows.texts.push_back(l + legend_value(pg, levels->data[k] * pg.factor, ownscales));
  for (int32_t k = 0; range && k < 2; k++)
    rows.texts.push_back(l + legend_value(pg, range[k] * pg.factor, ownscales));
  if (pg.E) rows.note = scale_text(pg);
  return rows;
}

static void level_table(uint16_t view, plotframe *f, const vectord *levels, uint8_t range,
                        uint8_t ownscales, double lo, double hi, const StringList *titles, bool screen) {
  double ends[2] = {lo, hi};
  legendrows rows = legend_rows(levels, ownscales, "a :", 1, range ? 2 : 0, range ? ends : nullptr);
  legendpage pg = legend_page(view, f, levels, ownscales, titles, rows, screen);
  double x = 1, edge = pg.two ? pg.W / 2 : pg.W, line = pg.top - 1, lowest = line;
  if (range) num_label(view, pg, "max", hi * pg.factor, x, edge, line--, ownscales);
  for (int32_t k = levels->count; k >= 1; k--) {
    gag1d_tablecolor_1(view, f, k, levels->count);
    char label[4] = {gag1d_tag_char(k), ' ', ':', 0};
    num_label(view, pg, label, levels->data[k - 1] * pg.factor, x, edge, line--, ownscales);
    lowest = std::min(lowest, line + 1);
    if (line < 4 && pg.two) x = pg.W / 2 + 1, edge = pg.W, line = pg.top - 1;
  }
  if (range) {
    gag_setcolor_0(view, f->colours.text);
    num_label(view, pg, "min", lo * pg.factor, x, edge, line--, ownscales);
    lowest = std::min(lowest, line + 1);
  }
  scale_note(view, f, pg, 1, lowest);
  gag_textuniform_1(view, pg.uniform);
}

static void band_table(uint16_t view, plotframe *f, const vectord *bounds, uint8_t ownscales,
                       const StringList *titles, bool screen) {
  legendrows rows = legend_rows(bounds, ownscales, nullptr, 4.2, 1, nullptr);
  legendpage pg = legend_page(view, f, bounds, ownscales, titles, rows, screen);
  int32_t n = bounds->count;
  double x = 1, edge = pg.two ? pg.W / 2 : pg.W, line = pg.top - 0.5, lowest = line;
  auto boundary = [&](int32_t k) {
    gag_setcolor_0(view, f->colours.text);
    gag_drawline_1(view, x + 2, line, x + 3, line);
    band_label(view, pg, bounds->data[k - 1] * pg.factor, edge, line, ownscales);
  };
  if (n >= 1) boundary(n);
  for (int32_t k = n - 1; k >= 1; k--) {
    line -= 1;
    gag1d_tablecolor_1(view, f, k, n - 1);
    rectd swatch = {x, line, x + 2, line + 1};
    gag_fillrect(view, &swatch);
    boundary(k);
    lowest = std::min(lowest, line);
    if (k > 1 && line - 1 < 4 && pg.two) {
      x = pg.W / 2 + 1, edge = pg.W, line = pg.top - 0.5;
      boundary(k);
    }
  }
  scale_note(view, f, pg, 1, lowest);
  gag_textuniform_1(view, pg.uniform);
}

// Legends are drawn twice: at the sizes above for pages and metafiles, then for the
// screen.
void gag1d_level_table_1(uint16_t view, plotframe *f, const vectord *levels, uint8_t range,
                         uint8_t ownscales, double lo, double hi, const StringList *titles) {
  TRACE("gag1d_level_table_1");
  for (uint8_t to : {GAG_PAGE, GAG_SCREEN}) {
    gag_surfaces(view, to);
    level_table(view, f, levels, range, ownscales, lo, hi, titles, to == GAG_SCREEN);
  }
  gag_surfaces(view, GAG_ALL);
}

void gag1d_band_table_1(uint16_t view, plotframe *f, const vectord *bounds, uint8_t /*range*/,
                        uint8_t ownscales, double /*lo*/, double /*hi*/, const StringList *titles) {
  TRACE("gag1d_band_table_1");
  for (uint8_t to : {GAG_PAGE, GAG_SCREEN}) {
    gag_surfaces(view, to);
    band_table(view, f, bounds, ownscales, titles, to == GAG_SCREEN);
  }
  gag_surfaces(view, GAG_ALL);
}

// Fills the module's two-title list.
static const StringList *two(const String *a, const String *b) {
  strings_copyto_0(&two_titles.items[0], a);
  strings_copyto_0(&two_titles.items[1], b);
  two_titles.count = 2;
  return &two_titles;
}

void gag1d_level_table_0(uint16_t view, plotframe *f, const vectord *levels, uint8_t range,
                         uint8_t ownscales, double lo, double hi, const String *title1,
                         const String *title2) {
  gag1d_level_table_1(view, f, levels, range, ownscales, lo, hi, two(title1, title2));
}

void gag1d_band_table_0(uint16_t view, plotframe *f, const vectord *bounds, uint8_t range,
                        uint8_t ownscales, double lo, double hi, const String *title1,
                        const String *title2) {
  gag1d_band_table_1(view, f, bounds, range, ownscales, lo, hi, two(title1, title2));
}
