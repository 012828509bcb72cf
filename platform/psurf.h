// psurf: Quendar's drawing surface: colour and mix mode, pen, lines, polylines,
// filled polygons, rectangles, arcs, pixels, device-font text with its extent,
// clipping, clearing and pages, all in device pixels with rows running downward.
// A surface carries the table of its back end; the headless surface can keep
// every call for tests.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct psurf_point {
  int32_t x, y;
};

// Mix modes of the pen.
enum { PSURF_COPY = 0, PSURF_AND = 1, PSURF_OR = 2, PSURF_XOR = 3, PSURF_INVERT = 4 };

struct psurf;
struct psurf_ops {
  void (*colour)(psurf *s, uint8_t index, int mode);  // pen, brush and text colour
  void (*pen)(psurf *s, int32_t width);
  void (*line)(psurf *s, int32_t x1, int32_t y1, int32_t x2, int32_t y2);
  void (*polyline)(psurf *s, const psurf_point *p, int32_t n);
  void (*polygon)(psurf *s, const psurf_point *p, int32_t n);  // filled, no outline
  void (*rectangle)(psurf *s, int32_t left, int32_t top, int32_t right, int32_t bottom);  // filled
  // Arc in the box, counter-clockwise from the ray to (xs, ys) to the ray to (xe, ye).
  void (*arc)(psurf *s, int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t xs,
              int32_t ys, int32_t xe, int32_t ye);
  void (*pixel)(psurf *s, int32_t x, int32_t y);
  // Text in a device font (kind 1 sans, 2 serif, other serif italic) of the height,
  // turned by the angle in tenths of a degree; align: 0 baseline left, 1 baseline
  // centre, 2 baseline right, 3 bottom left.
  void (*text)(psurf *s, int32_t x, int32_t y, const char *text, int32_t n, int32_t height,
               int32_t angle10, int kind, int align);
  void (*extent)(psurf *s, const char *text, int32_t n, int32_t height, int32_t *w, int32_t *h);
  void (*clip)(psurf *s, int32_t left, int32_t top, int32_t right, int32_t bottom);
  void (*clear)(psurf *s, uint8_t index);
  void (*page)(psurf *s);
  // An image of w x h pixels, rows from the top, 3 bytes (red, green, blue) each,
  // copied unscaled with its top-left corner at x, y.
  void (*image)(psurf *s, int32_t x, int32_t y, int32_t w, int32_t h, const uint8_t *rgb);
};

struct psurf {
  const psurf_ops *ops;
  void *data;  // the back end's own
};

// The program palette, entries 0..42, that every surface draws its colour indexes
// with.
extern uint8_t psurf_palette[43][3];

// ---- Files back ends ---------------------------------------------------------------
// A PDF document of pages width x height pixels at 300 dots per inch with the title
// (a null path measures and writes nothing); the page call starts the next page. Closing ends
// the document: false when it could not be written. Null when it cannot be made.
psurf *psurf_pdf_new(const char *path, int32_t width, int32_t height, const char *title);
bool psurf_pdf_close(psurf **s);
// Metafiles of our own writers: an enhanced metafile described by the text (at most
// 29 characters kept), or a classic one with the placeable header, of a picture
// width x height pixels, which are its bounds; null when the file cannot be
// created. Closing writes the file (false when it could not be written).
psurf *psurf_emf_new(const char *path, int32_t width, int32_t height, const char *description);
psurf *psurf_wmf_new(const char *path, int32_t width, int32_t height);
bool psurf_meta_close(psurf **s);

// One kept call of a headless surface: its name, up to eight numbers, its text.
struct psurf_call {
  std::string op;
  std::vector<int32_t> v;
  std::string text;
};

// A headless surface of width x height pixels; free it with psurf_headless_free.
psurf *psurf_headless_new(int32_t width, int32_t height);
void psurf_headless_free(psurf **s);
// Starts (and clears) or stops keeping the calls; the calls kept so far.
void psurf_headless_record(psurf *s, bool on);
const std::vector<psurf_call> &psurf_headless_calls(const psurf *s);

// ---- Screen back end ----------------------------------------------------------------
// An off-screen surface of width x height pixels on the open display, white at
// first; resizing keeps what fits. The widget shown (an Fl_Widget, or null) is told
// to copy the surface after every call; copy puts the surface at x, y of the
// widget being drawn.
psurf *psurf_screen_new(int32_t width, int32_t height);
void psurf_screen_resize(psurf *s, int32_t width, int32_t height);
void psurf_screen_show(psurf *s, void *widget);
void psurf_screen_copy(psurf *s, int32_t x, int32_t y);
void psurf_screen_free(psurf **s);
