// gagmap: the coordinate mappings and view helpers that the graphics layer's own
// files share: user to relative units, relative units to pixels, safe pixel
// integers, and the text metrics of a view. Not for callers outside the layer.
#pragma once
#include <cstdint>
#include <cstring>

#include "graphics/gag.h"
#include "runtime/bopmem.h"
#include "runtime/rtlib.h"

// A pixel value in double kept within +-1e7; NaN becomes -1e7.
inline double gagmap_bound(double d) {
  d = d > -1e7 ? d : -1e7;
  return d < 1e7 ? d : 1e7;
}
// A double as a pixel integer, bounded as above.
inline int32_t gagmap_int(double d) { return int32_t(gagmap_bound(d)); }
// A user point in relative units, not clamped, or clamped into the user window first.
inline points gagmap_free(const viewrec *v, double x, double y) {
  return {float((x - v->usr.x1) * v->scale.x), float((y - v->usr.y1) * v->scale.y)};
}
inline points gagmap_point(const viewrec *v, double x, double y) {
  x = x > v->usr.x2 ? v->usr.x2 : x;
  x = x < v->usr.x1 ? v->usr.x1 : x;
  y = y > v->usr.y2 ? v->usr.y2 : y;
  y = y < v->usr.y1 ? v->usr.y1 : y;
  return gagmap_free(v, x, y);
}
// A relative point in the layer's pixel coordinates (rows downward), formed in
// double and bounded, so that no value read from a stream can overflow.
inline points gagmap_pixel(const viewrec *v, points rel) {
  return {float(gagmap_bound(v->pixwin.x1 + double(rel.x) * v->pscale.x)),
          float(gagmap_bound(v->pixwin.y1 + double(rel.y) * v->pscale.y))};
}
// Sets the device clip to a relative rectangle.
void gagmap_clip(viewrec *v, const rects *r);
// Character size in user units, the base and text matrices, and the character
// size in pixels, from the view's size, aspect and angle; a size of 0 changes nothing.
void gagmap_textmetrics(viewrec *v);
void gagmap_textmatrix(viewrec *v);
void gagmap_charpixels(viewrec *v, float size, float aspect);
// The pixel rectangle (left, bottom row, right, top row) of a surface printed on a
// page, and the page width it uses.
rectl gagmap_printfit(pointl page, pointl surface, int32_t *used_width);
// Forgets the current view when its record goes.
void gagmap_uncache(const viewrec *v);

// Display-list recording: a pair, a block of 4 or 8 values, a copy of a point
// list, a copy of a text, a font number (in the colour byte).
void gaglist_pair(viewrec *v, uint32_t op, float a, float b);
void gaglist_values(viewrec *v, uint32_t op, const float *values);
void gaglist_points(viewrec *v, uint32_t op, const points *p, int32_t n);
void gaglist_text(viewrec *v, const String *text);
void gaglist_font(viewrec *v, uint16_t font);

// A new entry of a table of records numbered from 1 (views, window classes): the
// first free number, else count + 1 with the table grown by 10 slots; a zeroed
// record goes into the slot. Memory is counted in XMEM; a full table stops with
// the fatal error full.
template <class T>
uint16_t gagmap_newslot(T ***table, uint16_t *count, uint16_t *capacity, const char *where,
                        const char *full) {
  uint16_t n = 0;
  for (uint16_t i = 1; i <= *count && !n; i++)
    if (!(*table)[i - 1]) n = i;
  if (!n) {
    if (*count == 65535) rtlib_fatal_in(where, full);
    n = uint16_t(*count + 1);
    if (n > *capacity) {
      uint32_t cap = *capacity + 10u > 65535 ? 65535 : *capacity + 10u;
      T **fresh = nullptr;
      bopmemalloc(&fresh, int32_t(cap), sizeof(T *));
      XMEM += int64_t(cap - *capacity) * int64_t(sizeof(T *));
      if (*table) {
        memcpy(fresh, *table, *capacity * sizeof(T *));
        bopmemfree(table);
      }
      *table = fresh;
      *capacity = uint16_t(cap);
    }
    *count = n;
  }
  T *r = nullptr;
  bopmemalloc(&r, 1, sizeof(T));
  XMEM += int64_t(sizeof(T));
  (*table)[n - 1] = r;
  return n;
}
