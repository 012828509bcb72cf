// exporter, headless: no export file is ever written.
#include "plot/exporter.h"
#include "runtime/rtlib.h"

FILE *exporter_get_print_file(pde *, plotrec *, uint16_t) { return nullptr; }
void exporter_print_header(pde *, FILE *, plotrec *) {}
void exporter_print_point(FILE *, const double *, const double *, double, double, const vectord *, const String *,
                          const TextLoc *, bool) {}
void exporter_print_2dplot(pde *, plotrec *, const rect3d *, const vector2d *, uint16_t) {}
void exporter_print_lineout(pde *, plotrec *, const vector3d *, const vectord *) {}
void exporter_emf_plot(uint16_t, pde *, plotrec *) {}
void exporter_close_exports(pde *) {}

int exporter_init() {
  TRACE("exporter");
  return 0;
}
