// gagmap: the coordinate mappings and view helpers that the graphics layer's own
// files share: user to relative units, relative units to pixels, safe pixel
// integers, and the text metrics of a view. Not for callers outside the layer.
#pragma once
#include <cstdint>

#include "graphics/gag.h"

// A double as a pixel integer: non-finite values become 0, others stop at +-1e7.
int32_t gagmap_int(double d);
// A user point in relative units, clamped into the user window first, or not.
points gagmap_point(const viewrec *v, double x, double y);
points gagmap_free(const viewrec *v, double x, double y);
// A relative point in the layer's pixel coordinates (rows downward).
points gagmap_pixel(const viewrec *v, points rel);
// Sets the device clip to a relative rectangle.
void gagmap_clip(viewrec *v, const rects *r);
// Character size in user units, the base and text matrices, and the character
// size in pixels, from the view's size, aspect and angle; a size of 0 changes nothing.
void gagmap_textmetrics(viewrec *v);
void gagmap_textmatrix(viewrec *v);
void gagmap_charpixels(viewrec *v, float size, float aspect);
// Forgets the current view when its record goes.
void gagmap_uncache(const viewrec *v);

// Display-list recording: a pair, a block of 4 or 8 values, a copy of a point
// list, a copy of a text, a font number (in the colour byte).
void gaglist_pair(viewrec *v, uint32_t op, float a, float b);
void gaglist_values(viewrec *v, uint32_t op, const float *values);
void gaglist_points(viewrec *v, uint32_t op, const points *p, int32_t n);
void gaglist_text(viewrec *v, const String *text);
void gaglist_font(viewrec *v, uint16_t font);
