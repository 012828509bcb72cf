// lintabs: release of the lintab record.
#include "model/lintabs.h"

#include "runtime/rtlib.h"

int lintabs_init() {
  TRACE("lintabs");
  return 0;
}

void lintabs_free(lintab *t) {
  TRACE("lintabs_free_0");
  if (t->dimension > 3) rtlib_fatal_in("lintabs_free_0", "Illegal Dimensionality");
  for (int k = 0; k < t->dimension; k++) arrays_free(&t->axis[k]);
  if (t->dimension == 1) arrays_free(&t->data1);
  if (t->dimension == 2) array2s_free(&t->data2);
  if (t->dimension == 3) array3s_free(&t->data3);
  t->dimension = 0;
}
