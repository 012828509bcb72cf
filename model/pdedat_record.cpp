// pdedat: the problem record's helpers that the layers below run control use: whether
// a stage meshes again, the mode sets, the plot-group header and the text styles.
#include <cstring>

#include "model/pdedat_record.h"
#include "graphics/gag1d.h"
#include "runtime/bopmem.h"
#include "runtime/debug.h"
#include "runtime/filio.h"
#include "runtime/rtlib.h"

bool pdedat_stage_regrids(const pde *p) { return p->stagegrid || p->stagedgeom; }

void pdedat_grow_modesets(pde *p, uint16_t P) {
  if (p->nmodesets >= P) return;
  vector2d *sets = nullptr;
  bopmemalloc(&sets, P, sizeof(vector2d));
  XMEM += int64_t(P) * sizeof(vector2d);
  if (p->modesets) {
    memcpy(sets, p->modesets, sizeof(vector2d) * p->nmodesets);
    XMEM -= int64_t(p->nmodesets) * sizeof(vector2d);
    bopmemfree(&p->modesets);
  }
  p->modesets = sets;
  p->nmodesets = P;
}

void pdedat_put_group(pde *p, uint16_t value) {
  TRACE("pdedat_put_group_0");
  IOfile *f = &p->plotfile;
  filio_put_long(f, p->mesh.nodes.count);
  filio_put_long(f, p->mesh.cells.count);
  filio_put_double(f, p->rmserr);
  filio_put_double(f, p->time);
  filio_put_ushort(f, uint16_t(p->cycle));
  filio_put_ushort(f, p->stages ? p->stage : 0);
  filio_put_ushort(f, p->regrids);
  filio_put_ushort(f, value);
}

void pdedat_allfonts(pde *p, int16_t font) {
  TRACE("pdedat_allfonts_0");
  for (plotframe &s : p->styles) gag1d_set_frame_font(&s, uint8_t(font));
}

void pdedat_set_textsize(pde *p, float height, float width) {
  TRACE("pdedat_set_textsize_0");
  for (int k = 0; k < 6; k++) {
    plotframe *s = &p->styles[k];
    gag1d_init(s);
    gag1d_set_tick_type(s, (k == 0 || k == 2 || k == 3) ? 3 : 5);
    gag1d_set_label_size(s, height, 0.7f, width, 0.7f);
  }
}
