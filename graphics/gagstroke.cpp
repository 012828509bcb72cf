// gag, stroke text: until the stroke fonts are built, stroke text is drawn and
// recorded as device-font text at the same point.
#include "graphics/gag.h"

void gag_drawtext_0(uint16_t view, const pointd *p, const String *text) {
  gag_printtext_0(view, p, text);
}

void gag_drawtext_1(uint16_t view, double x, double y, const String *text) {
  pointd p = {x, y};
  gag_drawtext_0(view, &p, text);
}
