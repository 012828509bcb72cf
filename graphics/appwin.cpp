// appwin: the table of application-window calls, with no-op defaults so that the
// layers below the windows run (and are tested) without them.
#include "graphics/appwin.h"

static void none() {}
static void none_name(const String *) {}
static void none_pde(pde *) {}
static bool no_grids(pde *, int32_t, double) { return false; }
static void none_tile(WindowState *, int32_t) {}
static void none_list(WindowState *, const PlotSet *, const vectorn *, int32_t) {}
static void none_modes(WindowState *, const PlotSet *, const vectorn *, int32_t, uint16_t) {}
static void none_set(WindowState *, const PlotSet *) {}
static void none_show(WindowState *, const PlotSet *, const Switches *, uint16_t) {}
static bool no_view(const String *) { return false; }

AppWindows appwin = {none,     none_name, none_pde,  none_pde,   none_pde, none_pde,  none_pde,  no_grids, none_pde,
                     none_pde, none_tile, none_list, none_modes, none_set, none_show, none_show, no_view,  none};
