// regions: the region table.
#include "domain/regions.h"

#include "runtime/rtlib.h"

int regions_init() {
  TRACE("regions");
  return 0;
}

uint16_t regions_new_region(regiontable *t, int32_t type, uint16_t defregion, uint16_t layer) {
  TRACE("regions_new_region");
  uint16_t n = domain_table_append(t, "NEW_REGION");
  region &r = t->data[n - 1];
  r.number = r.tag = n;
  r.defregion = defregion ? defregion : n;
  r.layer = layer;
  r.type = type;
  return n;
}

uint16_t regions_copy_region(regiontable *t, const region *src) {
  TRACE("regions_copy_region");
  region s = *src;  // the source may lie in the table that grows
  uint16_t n = regions_new_region(t, s.type, s.defregion, s.layer);
  region &r = t->data[n - 1];
  r.tag = s.tag;
  strings_copyto_0(&r.name, &s.name);
  r.box = s.box;
  vectorn_copyto_0(&r.loops, &s.loops);
  vectorn_copyto_0(&r.lists[0], &s.lists[0]);
  return n;
}

void regions_free(regiontable *t) {
  TRACE("regions_free");
  for (int32_t k = 0; k < t->capacity; k++) {
    region &r = t->data[k];
    strings_free_0(&r.name);
    vectorn_free(&r.loops);
    vectorn_free(&r.lists[0]);
    vectorn_free(&r.lists[1]);
  }
  domain_table_drop(t);
}

void regions_print(FILE *f, const regiontable *t, uint16_t n) {
  TRACE("regions_print");
  static const char *const types[] = {"include", "exclude", "feature"};
  const region &r = t->data[n - 1];
  fprintf(f, "Region %4d (Tag=%d) has %4d Loops, type=%s", r.number, r.tag, r.loops.count,
          r.type >= 0 && r.type <= 2 ? types[r.type] : "?");
  if (r.name.length)
    fprintf(f, ", name=%s\n", r.name.text);
  else
    fputs("\n", f);
  for (int32_t k = 0; k < r.loops.count; k++) {
    fprintf(f, "%5d", r.loops.data[k]);
    if ((k + 1) % 10 == 0 || k + 1 == r.loops.count) fputs("\n", f);
  }
}
