// gpmin, headless: the macro generator passes text through unchanged.
#include "reader/gpmin.h"
#include "runtime/rtlib.h"

void gpmin_init_gpm() {}
void gpmin_close_gpm() {}

int gpmin_init() {
  TRACE("gpmin");
  return 0;
}
