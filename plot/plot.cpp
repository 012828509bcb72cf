// plot, headless: there is no history data to keep.
#include "plot/plot.h"
#include "runtime/rtlib.h"

void plot_save_histories(plotlist *, plotlist *) {}
void plot_restore_histories(plotlist *, plotlist *) {}

int plot_init() {
  TRACE("plot");
  return 0;
}

// ---- Mesh and domain drawing used by the mesher: headless, nothing is drawn ----------
void plot_fixcolors(plotrec *) {}
void plot_show_frame(uint16_t, plotframe *, const rect3d *, int32_t, int32_t, const String *, const String *) {}
void plot_show_domain_0(uint16_t, Domain *, const rect3d *) {}
void plot_show_segment_0(uint16_t, Domain *, uint16_t, uint8_t) {}
void plot_show_region_0(uint16_t, plotframe *, Domain *, uint16_t) {}
void plot_show_mesh(uint16_t, plotframe *, const rect3d *, Mesh *, int32_t, uint8_t, uint8_t, uint16_t) {}
void plot_show_mesh_leg_0(uint16_t, plotframe *, Mesh *, int32_t, int32_t, int32_t) {}
