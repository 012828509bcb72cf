// features: the release of a domain's mesh-spacing feature block. The items are one
// block of `count` records allocated with bopmemalloc and counted in XMEM.
#include "domain/features.h"

#include "domain/domain.h"
#include "runtime/bopmem.h"
#include "runtime/rtlib.h"

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
