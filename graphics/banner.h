// banner: the sign-on strip along the top of the main window: the product name,
// its one-line description, the version and a notice.
#pragma once
#include <cstdint>

int banner_init();

// Paints the banner into its view (whose user window is (0, 0)-(width, 1), width
// being the view's width in heights): cleared in colour_grey242, text in colour_black
// with stroke font 3.
void banner_show_banner(uint16_t view);
