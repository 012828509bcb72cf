// plot: the plot records of a problem; the history data kept across a re-parse.
#pragma once

struct plotlist;

int plot_init();

// Keep the history data across a re-parse for a new stage.
void plot_save_histories(plotlist *histories, plotlist *saved);
void plot_restore_histories(plotlist *histories, plotlist *saved);
