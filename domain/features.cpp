// features: the release of a domain's mesh-spacing feature block. The items are one
// block of `count` records allocated with bopmemalloc and counted in XMEM.
#include "domain/features.h"

#include <cstdio>

#include "domain/domain.h"
#include "runtime/bopmem.h"
#include "runtime/debug.h"
#include "runtime/rtlib.h"

uint8_t features_debug = 0;

int features_init() {
  TRACE("features");
  return 0;
}

void features_free(Domain *d) {
  TRACE("features_free");
  featureblock &b = d->features;
  for (uint16_t k = 0; k < b.count && b.items; k++) {
    featureitem &it = b.items[k];
    pointd_free_1(&it.samples);
    vectord_free(&it.spacings);
    vectord_free(&it.distances);
  }
  if (b.items) {
    XMEM -= int64_t(b.count) * sizeof(featureitem);
    bopmemfree(&b.items);
  }
  b.count = 0;
  arrayd_free(&b.jointspacing);
}

void features_debug_listing(const Domain *d) {
  TRACE("features_debug_listing");
  if (!features_debug || !debug_file) return;
  const featureblock &b = d->features;
  fprintf(debug_file, "FEATURES: %d ITEMS, BASE SPACING %g, MIN SPACING %g\n", b.count, b.basespacing,
          b.minspacing);
  for (uint16_t k = 0; k < b.count && b.items; k++) {
    const featureitem &it = b.items[k];
    char title[48];
    snprintf(title, sizeof title, "EDGE %d DISTANCES", it.edge);
    vectord_print_1(debug_file, &it.distances, title);
    snprintf(title, sizeof title, "EDGE %d SPACINGS", it.edge);
    vectord_print_1(debug_file, &it.spacings, title);
  }
  fflush(debug_file);
}
