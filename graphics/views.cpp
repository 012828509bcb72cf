// views, headless: a recorded plot file has no viewer window to open in.
#include "graphics/views.h"
#include "runtime/rtlib.h"

void views_view_pde(const String *) {}

int views_init() {
  TRACE("views");
  return 0;
}
