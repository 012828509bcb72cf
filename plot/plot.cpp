// plot, headless: there is no history data to keep.
#include "plot/plot.h"

void plot_save_histories(plotlist *, plotlist *) {}
void plot_restore_histories(plotlist *, plotlist *) {}
