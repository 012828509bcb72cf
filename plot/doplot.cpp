// doplot, headless: no plots are drawn or recorded.
#include "plot/doplot.h"
#include "runtime/rtlib.h"

void doplot_history_point(pde *, vectord *, double) {}
void doplot_show_plots(pde *, vectorn *) {}
void doplot_do_exports(pde *, vectorn *) {}
void doplot_status_mesh(pde *) {}
void doplot_show_monitors(pde *, vectorn *, int32_t) {}
void doplot_show_eig_monitors(pde *, vectorn *, uint16_t) {}

int doplot_init() {
  TRACE("doplot");
  return 0;
}
