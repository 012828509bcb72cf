// doplot: drawing the plots of a problem one by one and in lists, recording them in
// the problem's plot file, the monitors, the history samples and the summaries.
#pragma once
#include <cstdint>

#include "runtime/strings.h"

struct pde;
struct vectord;
struct vectorn;
struct plotframe;
struct plotrec;

int doplot_init();

// The plot driver's share of the PLOT debug switch: one less than a switch above 1.
extern uint8_t doplot_debug;

// History samples are compressed once there are more than this many, towards the target.
enum { DOPLOT_HISTORY_LIMIT = 12288, DOPLOT_HISTORY_TARGET = 8192 };

// Draws (or exports) one plot for one mode (1 without modes); with record set the
// plot's number, caption and window view are written to the plot file.
void doplot_do_plot(pde *p, uint16_t index, uint16_t mode, uint8_t record);
// Draws all plots of the list as one recorded group; the group always ends with the
// count of the plots written and its terminating 0, also after a stop or an error.
void doplot_show_plots(pde *p, vectorn *plots);
// Writes the export files (nothing recorded).
void doplot_do_exports(pde *p, vectorn *exports);
// The monitors, at most once per interval; returns the milliseconds the update took.
int32_t doplot_show_monitors(pde *p, vectorn *monitors, int32_t interval);
void doplot_show_eig_monitors(pde *p, vectorn *monitors, uint16_t mode);
// The current mesh in the status window; dimension 0 takes the problem's.
void doplot_status_mesh(pde *p, int32_t dimension = 0);
// Title, status and value lines of a plot.
void doplot_plot_labels(pde *p, plotframe *block, uint16_t window, uint16_t view, plotrec *plot, uint8_t values);
// The integrals of the plot's mode as the value line shows them.
void doplot_integral_text(String *line, pde *p, const plotrec *plot, uint16_t mode);
// "name:  Cycle=.. Time=.. dt=..  p2  Nodes=.. Cells=.. RMS Err=..".
void status_string(String *text, String *scratch, pde *p);

// Takes one sample of every history at the time t.
void doplot_history_point(pde *p, vectord *values, double t);
// Merges history samples into about DOPLOT_HISTORY_TARGET group means.
void compress_history(pde *p);
// Drops the last sample from the times and every series.
void doplot_delete_history(pde *p);
// The history plot of the plot and its print file.
void time_plot(pde *p, uint16_t index, double *range);
// The time integral of the samples: parabolas through pairs of intervals, a trapezoid
// for a last single interval; pieces holding a zero interval use trapezoids.
double simpsint(const vectord *times, const vectord *values);
// The REPORT lines of a SUMMARY plot.
void summary_plot(pde *p, uint16_t index);
