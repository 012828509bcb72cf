// gag1d: the text styles of a problem's plots: tick type, label size, frame font.
#pragma once
#include <cstdint>

int gag1d_init();

struct textstyle {
  int16_t ticktype;
  float height, haspect;  // label height and its aspect
  float width, waspect;   // label width and its aspect
  int16_t font;           // frame font
};

void gag1d_init(textstyle *s);
void gag1d_set_tick_type(textstyle *s, int16_t type);
void gag1d_set_label_size(textstyle *s, float height, float haspect, float width, float waspect);
void gag1d_set_frame_font(textstyle *s, int16_t font);
