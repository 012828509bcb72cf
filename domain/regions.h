// regions: the region table of a domain with its append, copy, free and print (its name
// lookup is in elements/domain_names.h).
#pragma once
#include "domain/domain.h"

int regions_init();

// Appends a region of the type (0 include, 1 exclude, 2 feature) whose definitions are
// those of defregion (its own number when 0) in the layer; its tag is its number.
// The table stops with "TABLE FULL IN NEW_REGION" beyond 65535 regions.
uint16_t regions_new_region(regiontable *t, int32_t type, uint16_t defregion, uint16_t layer);
// A new region with the source's type, definition region, layer, tag, name, box, loop
// list and first further list.
uint16_t regions_copy_region(regiontable *t, const region *src);
void regions_free(regiontable *t);
void regions_print(FILE *f, const regiontable *t, uint16_t n);
