// formulas: release of the formula set.
#include "model/formulas.h"

#include "runtime/rtlib.h"

int formulas_init() {
  TRACE("formulas");
  return 0;
}

void formulas_free(FormulaSet *set) {
  TRACE("formulas_free_0");
  params_free_1(&set->definitions);
  eqns_free_1(&set->equations);
  eqns_free_1(&set->initeqns);
  trees_free_1(&set->initial, 1);
  trees_free_2(&set->initregion, 1);
  bcs_free_1(&set->bcs);
  constrn_free_1(&set->constraints);
  constrn_free_1(&set->scalars);
  fits_free_1(&set->fits);
  arys_free(&set->arrays);
  forloops_free(&set->loops);
  trees_free_1(&set->spacing, 1);
}
