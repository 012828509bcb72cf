// exporter, headless: no export file is ever open.
#include "plot/exporter.h"

void exporter_close_exports(pde *) {}
