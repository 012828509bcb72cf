// plot, headless: there is no history data to keep.
#include "plot/plot.h"
#include "runtime/rtlib.h"

void plot_save_histories(plotlist *, plotlist *) {}
void plot_restore_histories(plotlist *, plotlist *) {}

int plot_init() {
  TRACE("plot");
  return 0;
}
