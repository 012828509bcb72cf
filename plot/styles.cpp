// styles: the problem's plot-frame text styles.
#include "plot/styles.h"

#include "graphics/gag1d.h"
#include "model/window_record.h"
#include "runtime/rtlib.h"

void styles_set_font(WindowState *w, int16_t font) {
  TRACE("pdedat_allfonts_0");
  for (plotframe &s : w->styles) gag1d_set_frame_font(&s, uint8_t(font));
}

void styles_set_textsize(WindowState *w, float height, float width) {
  TRACE("pdedat_set_textsize_0");
  for (int k = 0; k < 6; k++) {
    plotframe *s = &w->styles[k];
    gag1d_init(s);
    gag1d_set_tick_type(s, (k == 0 || k == 2 || k == 3) ? 3 : 5);
    gag1d_set_label_size(s, height, 0.7f, width, 0.7f);
  }
}
