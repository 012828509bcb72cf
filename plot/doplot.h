// doplot: drawing the plots of a problem, its histories and its exports.
#pragma once
#include <cstdint>

struct pde;
struct vectord;
struct vectorn;

int doplot_init();

// Adds a point at the stage value to every history.
void doplot_history_point(pde *p, vectord *values, double stagevalue);
// Draws all plots of the problem and records them in the plot file.
void doplot_show_plots(pde *p, vectorn *plots);
// Shows the monitors of the list (interval: the monitor interval, 0 every time).
void doplot_show_monitors(pde *p, vectorn *monitors, int32_t interval);
// Writes the export files.
void doplot_do_exports(pde *p, vectorn *exports);
// Redraws the mesh on the problem's status view after a change of the mesh.
void doplot_status_mesh(pde *p);
// The monitors of eigenmode `mode` (the eigenvalue listing first for mode 1).
void doplot_show_eig_monitors(pde *p, vectorn *list, uint16_t mode);
