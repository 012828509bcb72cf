// features, headless: no features are built, so none are released.
#include "domain/features.h"
#include "runtime/rtlib.h"

void features_free(Domain *) {}

int features_init() {
  TRACE("features");
  return 0;
}
