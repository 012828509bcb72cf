// styles: the problem's six plot-frame text styles (its window state's styles), their font and
// their text size, set by the reader's SELECT FONT and TEXTSIZE and when a record is made.
#pragma once
#include <cstdint>

struct WindowState;

// Sets the font of every style.
void styles_set_font(WindowState *w, int16_t font);
// Starts every style afresh with its tick type and the label sizes height and width.
void styles_set_textsize(WindowState *w, float height, float width);
