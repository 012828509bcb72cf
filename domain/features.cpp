// features, headless: no features are built, so none are released.
#include "domain/features.h"

void features_free(Domain *) {}
