// domain: the problem's geometry record (elements/domain_record.h): its joints, edges,
// faces, loops, regions and periodic declarations, the snapping grid with the geometric
// tolerance, the surfaces and layers of an extruded problem, and the record-wide copy,
// clear and print. The name lookups over its tables are in elements/domain_names.h.
#pragma once
#include <cstdint>
#include <cstdio>

#include "domain/features.h"
#include "elements/domain_names.h"
#include "elements/domain_record.h"
#include "model/trees.h"
#include "runtime/bounding.h"
#include "runtime/geom3d.h"
#include "runtime/rect3d.h"
#include "runtime/strings.h"
#include "runtime/textin.h"
#include "runtime/vector2n.h"
#include "runtime/vectorb.h"
#include "runtime/vectorl.h"
#include "runtime/vectorn.h"

int domain_init();

// A deep copy of the geometry (see domain.cpp for what is left behind), allocated
// with its bytes counted in XMEM.
Domain *domain_domain_copy(const Domain *d);
// Releases everything the domain holds and leaves it as a new domain (the record itself
// and the growth factor stay). A null domain is ignored.
void domain_clear(Domain *d);
// The domain's report: dimension, counts, bounds and every record.
void domain_print(FILE *f, const Domain *d);
// The DOMAIN and EDGES debug switches of the current problem.
extern uint8_t domain_debug, edges_debug;
// The listings the switches ask for, in the debug log while it is open: with DOMAIN
// the domain's report, with EDGES every loop and edge as the mesher receives them.
void domain_debug_listing(const Domain *d);
// Whether the plane point lies in the region: strictly inside its box, then an odd
// number of crossings of the ray towards -x with the edges of the region's loops.
bool test_region(const Domain *d, const double *p, uint16_t region);
// Whether the point lies in one of the exclude regions.
bool exclude_point(const Domain *d, const double *p);
// The region of a plane point, moved off the grid lines first: 0 inside an exclude
// region, else the highest-numbered include region holding it, else 0.
uint16_t domain_find_region(const Domain *d, const double *p);
// Every region's box: the union of its loops' edge boxes, widened by 0.1% of its extent.
void domain_bound_regions(Domain *d);
// Tags every edge with the regions to its left and right (side_regions 1 and 2), probed
// at its middle a little off the curve; feature when both sides agree, external when
// both are outside.
void domain_tag_edges(Domain *d);

// Appends a zeroed record to a domain table and returns its number. The tables grow by
// 32 records (periodic declarations to capacity * 6 / 5 + 4) into a new zeroed block
// counted in XMEM; a table stops with "TABLE FULL IN where" rather than pass 65535
// records. Every table module of the domain appends through it.
uint16_t domain_grow_table(void **data, uint16_t *count, uint16_t *capacity, size_t size, const char *where,
                           bool periodic);
template <class Table>
uint16_t domain_table_append(Table *t, const char *where, bool periodic = false) {
  return domain_grow_table(reinterpret_cast<void **>(&t->data), &t->count, &t->capacity, sizeof(*t->data), where,
                           periodic);
}
// Frees a table's block (its records' own storage already released) and empties it.
void domain_drop_table(void **data, uint16_t *count, uint16_t *capacity, size_t size);
template <class Table>
void domain_table_drop(Table *t) {
  domain_drop_table(reinterpret_cast<void **>(&t->data), &t->count, &t->capacity, sizeof(*t->data));
}
