// banner: the main window's sign-on strip, redrawn on every paint of the main window.
#include "graphics/banner.h"

#include "control/verdat.h"
#include "graphics/gag.h"
#include "runtime/rtlib.h"

static const char tagline[] = "Finite elements for PDEs in 2D and 3D";
static const char notice[] = "Free to study and share";

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
  // 4. The description, two lines per view height.
  gag_textsize(view, 2, 0.7f);
  strings_copyto_1(&s, tagline);
  gag_drawprinttext_1(view, 0.25 * width, 0.5, &s);
  // 5. The version and the notice, three lines per view height.
  gag_textsize(view, 3, 0.7f);
  strings_copyto_0(&s, &verdat_versiontext);
  strings_addto_1(&s, "     ");
  strings_addto_1(&s, notice);
  gag_drawprinttext_1(view, 0.25 * width, 0.1, &s);
  strings_free_0(&s);
}

int banner_init() {
  TRACE("banner");
  return 0;
}
