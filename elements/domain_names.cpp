// domain_names: the name and edge-list lookups over the domain record's tables.
#include "elements/domain_names.h"

#include "runtime/rtlib.h"

// The first entry equal to the name, case ignored: layer names of the list form of
// EXTRUSION are kept as written, the others upper-cased. The name is upper-cased.
static uint16_t listed_name(const StringList *l, String *name) {
  strings_upstring_0(name);
  for (int32_t k = 0; k < l->count; k++)
    if (l->items[k].length && strings_compare_ul_0(&l->items[k], name) == 0) return uint16_t(k + 1);
  return 0;
}

uint16_t domain_find_sheet_name(const Domain *d, String *name) {
  TRACE("domain_find_sheet_name");
  return listed_name(&d->sheetnames, name);
}

uint16_t domain_find_layer_name(const Domain *d, String *name) {
  TRACE("domain_find_layer_name");
  return listed_name(&d->layernames, name);
}

uint16_t edges_find_loop_name(const looptable *t, String *name) {
  TRACE("edges_find_loop_name");
  return domain_find_named(t, name, false);
}

uint16_t regions_find_region_name(const regiontable *t, String *name) {
  TRACE("regions_find_region_name");
  return domain_find_named(t, name, true);
}

uint16_t edges_if_edge(const Joint *j, uint16_t n) {
  for (int32_t k = 0; k < j->edges.count; k++)
    if (j->edges.data[k] == n) return uint16_t(k + 1);
  return 0;
}
