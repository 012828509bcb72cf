// exporter, headless: no export file is ever open.
#include "plot/exporter.h"
#include "runtime/rtlib.h"

void exporter_close_exports(pde *) {}

int exporter_init() {
  TRACE("exporter");
  return 0;
}
