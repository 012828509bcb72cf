// styles: the problem's six plot-frame text styles (the record's styles), their font and
// their text size, set by the reader's SELECT FONT and TEXTSIZE and when a record is made.
#pragma once
#include <cstdint>

struct pde;

// Sets the font of every style.
void styles_set_font(pde *p, int16_t font);
// Starts every style afresh with its tick type and the label sizes height and width.
void styles_set_textsize(pde *p, float height, float width);
