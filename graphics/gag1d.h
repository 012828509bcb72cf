// gag1d: the plot frame of every plot: the settings record, the mapping of a data box
// onto a view with linear or logarithmic axes, ticks, numbers and titles, curves with
// letter tags, arrows, contour levels, spectrum colours and the level and band legends.
#pragma once
#include <cstdint>

#include "runtime/geom3d.h"
#include "runtime/point3d.h"
#include "runtime/pointd.h"
#include "runtime/rectd.h"
#include "runtime/strings.h"
#include "runtime/vectorb.h"
#include "runtime/vector2d.h"
#include "runtime/vectord.h"

// The nine colour bytes of a frame, in the order the setters take them.
struct framecolors {
  uint8_t accent;          // kept for callers
  uint8_t curve;           // a single curve
  uint8_t mark;            // kept for callers
  uint8_t axis;            // frame rectangle and ticks
  uint8_t text;            // numbers, titles, legend text
  uint8_t background;      // the plot view is cleared to it
  uint8_t spectrum_count;  // number of spectrum colours
  uint8_t spectrum_first;  // palette index of the first spectrum colour
  uint8_t spectrum_cycle;  // most distinct colours handed out before they repeat
};

// A plot's settings and mapping, owned by the caller. Logarithmic axes hold natural
// logarithms in box, centres and widths. The 3D fields are filled by gag3d.
struct plotframe {
  uint8_t state[3];         // 0, 0, 1 after a 2D mapping; 1, 0, 1 after a 3D one
  uint8_t reverse;          // spectrum colours are handed out from the top down
  uint8_t logx, logy, logz;
  uint16_t xticks, xminor;  // target major intervals on x; nonzero: minor ticks
  uint16_t yticks, yminor;
  uint16_t xvertical;       // x numbers turned by 90 degrees
  uint16_t yhorizontal;     // y numbers written horizontally
  int32_t tickstyle;        // 0..5; other values draw no ticks
  framecolors colours;
  uint8_t font;             // stroke font of all frame text
  rectd box;                // the mapped data window (the projected window in 3D)
  double cx, cy, cz;        // centre of the data box
  double wx, wy;            // width and height of the data box
  point3d eye;              // 3D: eye position in data units
  float azsin, azcos;       // 3D: sine and cosine of the azimuth
  float titlesize, titleaspect;  // lines per view height, character aspect
  float labelsize, labelaspect;
  pointd charsize;          // one character in user units, as last asked
  transform3d transform;    // 3D: the view transform
  point3d corners[8];       // 3D: corners of the widened data box
  pointd projected[8];      // 3D: the corners projected
};

// Tick positions chosen by the tickers: tick k stands at k * step * scale.
struct tickspec {
  double step;       // label multiplier of one interval
  double scale;      // power of ten
  int32_t first, last;  // tick (or decade) indices
  int32_t density;   // log ticker: 1..4, which mantissas a decade marks
  int32_t exponent;  // decimal exponent moved out of the labels
  int32_t minor;     // minor subdivisions of one interval
};

// Module start-up: the default colours from the palette's colour roles, the work
// lists, the tag generator seeded with 1.
int gag1d_init();

// ---- Settings ----------------------------------------------------------------------
// Default ticks, label sizes, colours and font 1.
void gag1d_init(plotframe *f);
void gag1d_default_ticks(plotframe *f);
void gag1d_set_ticks(plotframe *f, uint16_t xticks, uint16_t xminor, uint16_t xvertical,
                     uint16_t yticks, uint16_t yminor, uint16_t yhorizontal);
// Style 6 restores the default ticks; any other value is stored.
void gag1d_set_tick_type(plotframe *f, int32_t style);
// Sizes outside (1, 100] and aspects outside (0.1, 10] take their defaults.
void gag1d_set_label_size(plotframe *f, float titlesize, float titleaspect, float labelsize,
                          float labelaspect);
// Eight bytes in field order (spectrum cycle becomes the count); all nine.
void gag1d_set_frame_colors_1(plotframe *f, uint8_t accent, uint8_t curve, uint8_t mark,
                              uint8_t axis, uint8_t text, uint8_t background, uint8_t count,
                              uint8_t first);
void gag1d_set_frame_colors_0(plotframe *f, const framecolors *c);
void gag1d_set_frame_font(plotframe *f, uint8_t font);
// The module's default colours (copied from the colour roles at start-up).
extern framecolors gag1d_default_colors;

// ---- Mapping -----------------------------------------------------------------------
// Maps the data box onto the view with room for numbers and titles. Scale codes 4-7
// ask for log x, 2, 3, 6, 7 for log y (codes from 32 on for neither); a log axis over
// data that are not positive stays linear after a message (none in batch runs).
void gag1d_plotmap(uint16_t view, plotframe *f, double x1, double y1, double x2, double y2,
                   int16_t scale, uint8_t equal, uint8_t square);
// The box widened by 5 % on every side (on the logarithms for x codes 4-7 and y codes
// 2, 3, 7), mapped square; returns the lower edge of the widened box.
double gag1d_border_map(uint16_t view, plotframe *f, const rectd *box, int16_t scale,
                        uint8_t equal);
void gag1d_scale_with_axes(uint16_t view, plotframe *f, uint8_t square);

// ---- Drawing -----------------------------------------------------------------------
// Frame rectangle, ticks, numbers and titles (empty titles are not drawn).
void gag1d_draw_axes(uint16_t view, plotframe *f, const String *xtitle, const String *ytitle);
// Polylines through the points (logarithms on log axes); unequal x and y counts stop
// with "LENGTH ERROR".
void gag1d_draw_curve_0(uint16_t view, plotframe *f, const vectord *x, const vectord *y);
void gag1d_draw_curve_1(uint16_t view, plotframe *f, const pointdlist *p);
// Curves with a tag text placed where it keeps clear of the tags in the list (which
// receives the new one). Masked forms: a 0 byte hides a point and ends a run, 3 ends a
// run after its point; every run is a curve of its own. Short lists are "LENGTH ERROR".
void gag1d_draw_tagged_0(uint16_t view, plotframe *f, const vectord *x, const vectord *y,
                         pointdlist *tags, const String *tag);
void gag1d_draw_tagged_1(uint16_t view, plotframe *f, const vectord *x, const vectord *y,
                         pointdlist *tags, const String *tag, const vectorb *mask);
void gag1d_draw_tagged_2(uint16_t view, plotframe *f, const pointdlist *p, pointdlist *tags,
                         const String *tag);
void gag1d_draw_tagged_3(uint16_t view, plotframe *f, const pointdlist *p, pointdlist *tags,
                         const String *tag, const vectorb *mask);
// Whole plots: clear, map x from the first to the last value and y over all values,
// axes, then the curve (or curve k of n in spectrum colour k with tag letter k).
void gag1d_plot_curve(uint16_t view, plotframe *f, const vectord *x, const vectord *y,
                      int16_t scale, uint8_t square, const String *xtitle, const String *ytitle);
void gag1d_plot_many(uint16_t view, plotframe *f, const vectord *x, const vector2d *curves,
                     int16_t scale, uint8_t square, const String *xtitle, const String *ytitle);
// A shaft and two head strokes of head fraction of its length.
void gag1d_arrow_0(uint16_t view, const pointd *from, const pointd *to, double head);
void gag1d_arrow_1(uint16_t view, const pointd *p, double dx, double dy, double head);
// The layer's operations in data coordinates (logarithms taken on log axes).
void gag1d_setclip(uint16_t view, const plotframe *f, const rectd *box);
void gag1d_drawline(uint16_t view, const plotframe *f, const pointd *p, const pointd *q);
void gag1d_moveto(uint16_t view, const plotframe *f, const pointd *p);
void gag1d_drawto(uint16_t view, const plotframe *f, const pointd *p);
void gag1d_drawtext(uint16_t view, const plotframe *f, const pointd *p, const String *text);
// Tag letter of curve k ('a'.. for 1..26, 'A'.. from 27); hexadecimal digit of d.
char gag1d_tag_char(int32_t k);
char gag1d_hex_char(int32_t d);
// The tag placement's generator: the next value 0..32767 of one program-wide sequence.
int32_t gag1d_rand();

// ---- Ticks and levels ------------------------------------------------------------------
// Nice ticks over [a, b] for about n intervals; a tick within slack intervals outside
// still counts. A degenerate range gives one tick at the value.
void gag1d_ticker(double a, double b, int32_t n, double slack, tickspec *t);
// Decades over natural logarithms a, b and the mantissa density for n.
void gag1d_logticker(double a, double b, int32_t n, tickspec *t);
// Evenly spaced and per-decade levels in ascending order; extend makes them enclose
// the range. Both return the count (at least one level).
int16_t gag1d_getlevels(double lo, double hi, int32_t n, vectord *levels, uint8_t extend);
int16_t gag1d_getlnlevels(double lo, double hi, int32_t n, vectord *levels, uint8_t extend);
// Palette index of level or band k of n; the second sets it as the view's colour.
uint8_t gag1d_tablecolor_0(const plotframe *f, int32_t k, int32_t n);
void gag1d_tablecolor_1(uint16_t view, const plotframe *f, int32_t k, int32_t n);
// Decimal exponent that scales legend numbers.
int16_t scale_size(double v);

// ---- Legends (each fills the view it is given) -----------------------------------------
void gag1d_level_table_1(uint16_t view, plotframe *f, const vectord *levels, uint8_t range,
                         uint8_t ownscales, double lo, double hi, const StringList *titles);
void gag1d_level_table_0(uint16_t view, plotframe *f, const vectord *levels, uint8_t range,
                         uint8_t ownscales, double lo, double hi, const String *title1,
                         const String *title2);
void gag1d_band_table_1(uint16_t view, plotframe *f, const vectord *bounds, uint8_t range,
                        uint8_t ownscales, double lo, double hi, const StringList *titles);
void gag1d_band_table_0(uint16_t view, plotframe *f, const vectord *bounds, uint8_t range,
                        uint8_t ownscales, double lo, double hi, const String *title1,
                        const String *title2);
