// views, headless: a recorded plot file has no viewer window to open in.
#include "graphics/views.h"

void views_view_pde(const String *) {}
