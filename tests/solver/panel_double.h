// The status panel double of the sparse-matrix tests (panel_double.cpp): it defines every
// function and variable of graphics/display.h, so the display's own object never joins the
// test program whichever other objects of the libraries it links, and it keeps the last
// value written to each line of the panel.
#pragma once
#include <cstdint>

// The last value written to line n of any panel (0 when none was).
double panel_double_value(uint16_t line);
