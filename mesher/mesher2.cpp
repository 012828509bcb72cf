// mesher2, headless: no mesh is made; the run goes on to the analysis.
#include "mesher/mesher2.h"
#include "runtime/rtlib.h"

int32_t mesher2_freshmesh(pde *, uint8_t, int32_t) { return 6; }

int mesher2_init() {
  TRACE("mesher2");
  return 0;
}
