// gag1d: the text styles are plain records that the plots read.
#include "graphics/gag1d.h"
#include "runtime/rtlib.h"

void gag1d_init(textstyle *s) { *s = textstyle{}; }
void gag1d_set_tick_type(textstyle *s, int16_t type) { s->ticktype = type; }
void gag1d_set_label_size(textstyle *s, float height, float haspect, float width,
                          float waspect) {
  s->height = height;
  s->haspect = haspect;
  s->width = width;
  s->waspect = waspect;
}
void gag1d_set_frame_font(textstyle *s, int16_t font) { s->font = font; }

int gag1d_init() {
  TRACE("gag1d");
  return 0;
}
