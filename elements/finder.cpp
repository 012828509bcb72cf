// finder: release of the cell finder's slabs.
#include "elements/finder.h"

#include "runtime/rtlib.h"

uint8_t finder_debug = 0;

void finder_free(finder *f) {
  TRACE("finder_free_0");
  vector2t_free(&f->slabsx, 1);
  vector2t_free(&f->slabsy, 1);
  vector2t_free(&f->slabsz, 1);
  f->built = 0;
}

int finder_init() {
  TRACE("finder");
  return 0;
}
