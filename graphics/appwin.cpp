// appwin: the table of application-window calls, with no-op defaults so that the
// layers below the windows run (and are tested) without them.
#include "graphics/appwin.h"

static void none() {}
static void none_name(const String *) {}
static void none_pde(pde *) {}
static bool no_grids(pde *, int32_t, double) { return false; }
static void none_tile(pde *, int32_t) {}
static void none_list(pde *, const vectorn *, int32_t) {}
static bool no_view(const String *) { return false; }

AppWindows appwin = {none, none_name, none_pde, none_pde, none_pde, none_pde, none_pde, no_grids,
                     none_pde, none_pde, none_tile, none_list, none_list, none_pde, none_pde,
                     none_pde, no_view, none};
