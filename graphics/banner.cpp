// banner: the main window's sign-on strip, redrawn on every paint of the main window.
#include "graphics/banner.h"

#include <algorithm>
#include <cmath>

#include "graphics/gag.h"
#include "graphics/gagscren.h"
#include "runtime/rtlib.h"
#include "runtime/settings.h"

static const char tagline[] = "Finite elements for PDEs in 2D and 3D";
static const char notice[] = "Free to study and share";

// The width of a text in the view's current font as a share of the view's width.
static double share(uint16_t view, const String *s) {
  viewrec *v = gag_views[view - 1];
  pointl extent{};
  gagscren_screentextextent(v, s, &extent);
  return v->pixwid.x != 0 ? extent.x / std::fabs(double(v->pixwid.x)) : 0;
}

// Text of the given lines per view height, made smaller where it would pass the
// view's right edge from x (a share of the width).
static void fit_size(uint16_t view, float lines, const String *s, double x) {
  double room = 0.985 - x;
  gag_textsize(view, lines, 0.7f);
  // Font sizes come in steps: measured again after each change.
  for (int k = 0; k < 4 && room > 0; k++) {
    double w = share(view, s);
    if (w <= room) break;
    lines = float(lines * w / room * 1.02);
    gag_textsize(view, lines, 0.7f);
  }
}

void banner_show_banner(uint16_t view) {
  TRACE("banner_show_banner");
  if (!checkview(view)) return;
  rectd user{};
  gag_asksize(view, &user);
  double width = user.x2 - user.x1;
  // 1.-2. The strip, and the pen for its text.
  gag_fullclip(view);
  gag_clearview_1(view, colour_grey242);
  gag_setcolor_0(view, colour_black);
  gag_textfont(view, 3);
  gag_textcenter(view, 0, 0);
  // 3. The product name, one line per view height.
  String s{};
  gag_textsize(view, 1, 0.7f);
  strings_copyto_1(&s, "Quendar");
  gag_drawprinttext_1(view, 0, 0.1, &s);
  // The lines beside the name start at a quarter of the width, or further right
  // where the name, drawn in the screen's font, reaches past that.
  double at = std::max(0.25, share(view, &s) + 0.015), beside = at * width;
  // 4. The description, two lines per view height.
  strings_copyto_1(&s, tagline);
  fit_size(view, 2, &s, at);
  gag_drawprinttext_1(view, beside, 0.5, &s);
  // 5. The version and the notice, three lines per view height.
  strings_copyto_0(&s, &settings.versiontext);
  strings_addto_1(&s, "     ");
  strings_addto_1(&s, notice);
  fit_size(view, 3, &s, at);
  gag_drawprinttext_1(view, beside, 0.1, &s);
  strings_free_0(&s);
}

int banner_init() {
  TRACE("banner");
  return 0;
}
