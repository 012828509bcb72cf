// plot: the plot records of a problem; the history data kept across a re-parse.
#pragma once

struct plotlist;

int plot_init();

// Keep the history data across a re-parse for a new stage.
void plot_save_histories(plotlist *histories, plotlist *saved);
void plot_restore_histories(plotlist *histories, plotlist *saved);

// ---- Mesh and domain drawing used by the mesher --------------------------------------
// Headless bodies: they draw nothing until the plot drawing is built.
#include <cstdint>

struct Domain;
struct Mesh;
struct plotframe;
struct plotrec;
struct rect3d;
struct String;

// Sets a plot's colour bytes for its colour mode before a mesh is drawn.
void plot_fixcolors(plotrec *plot);
// Clears a view and frames it in user coordinates over the box, with the axis labels.
void plot_show_frame(uint16_t view, plotframe *styles, const rect3d *box, int32_t a, int32_t b, const String *xlabel,
                     const String *ylabel);
// The domain's boundary; one edge in a colour; one region.
void plot_show_domain_0(uint16_t view, Domain *d, const rect3d *box);
void plot_show_segment_0(uint16_t view, Domain *d, uint16_t edge, uint8_t colour);
void plot_show_region_0(uint16_t view, plotframe *styles, Domain *d, uint16_t region);
// A mesh within the box, regions painted on request; one mesh side.
void plot_show_mesh(uint16_t view, plotframe *styles, const rect3d *box, Mesh *m, int32_t basis, uint8_t fill,
                    uint8_t paintregions, uint16_t regions);
void plot_show_mesh_leg_0(uint16_t view, plotframe *styles, Mesh *m, int32_t a, int32_t b, int32_t basis);
