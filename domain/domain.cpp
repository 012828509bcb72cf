// domain: the geometry record's tables, its copy, clear and print, and the sheet and
// layer name lookups.
#include "domain/domain.h"

#include <cstring>

#include "domain/edges.h"
#include "domain/faces.h"
#include "domain/features.h"
#include "domain/joints.h"
#include "domain/periodic.h"
#include "domain/regions.h"
#include "model/trees.h"
#include "runtime/bopmem.h"
#include "runtime/debug.h"
#include "runtime/rtlib.h"

int domain_init() {
  TRACE("domain");
  return 0;
}

uint16_t domain_grow_table(void **data, uint16_t *count, uint16_t *capacity, size_t size, const char *where,
                           bool periodic) {
  if (*count == UINT16_MAX) rtlib_fatal_in(where, "TABLE FULL");
  if (*count + 1 > *capacity) {
    int32_t cap = periodic ? *capacity * 6 / 5 + 4 : *capacity + 32;
    if (cap > UINT16_MAX) cap = UINT16_MAX;
    void *block = nullptr;
    bopmemalloc(reinterpret_cast<char **>(&block), cap, uint32_t(size));
    if (!block) debug_nomem(where);
    XMEM += int64_t(cap - *capacity) * int64_t(size);
    if (*count) std::memcpy(block, *data, size_t(*count) * size);
    bopmemfree(reinterpret_cast<char **>(data));
    *data = block;
    *capacity = uint16_t(cap);
  }
  void *rec = static_cast<char *>(*data) + size_t(*count) * size;
  std::memset(rec, 0, size);
  return ++*count;
}

void domain_drop_table(void **data, uint16_t *count, uint16_t *capacity, size_t size) {
  XMEM -= int64_t(*capacity) * int64_t(size);
  bopmemfree(reinterpret_cast<char **>(data));
  *count = *capacity = 0;
}

// A deep copy of a tree vector.
static void copy_trees(treevector *d, const treevector *s) {
  trees_resize_0(d, s->count, s->count);
  for (uint16_t k = 0; k < s->count; k++) d->data[k] = trees_copy(s->data[k]);
}

// The copy holds its own tables and lists. Periodic declarations, spacing features,
// surface places, flat flags, the growth rate, the void list, the extrusion maps and the
// base domain are left behind: a copy serves the mesh it goes with, which re-derives
// those when it needs them.
Domain *domain_domain_copy(const Domain *d) {
  TRACE("domain_domain_copy_0");
  Domain *c = nullptr;
  bopmemalloc(&c, 1, sizeof(Domain));
  XMEM += sizeof(Domain);
  domain_clear(c);
  c->grofac = 0;
  c->onedee = d->onedee, c->twodee = d->twodee, c->threed = d->threed;
  c->extrusion = d->extrusion;
  for (int k = 0; k < 4; k++) c->reader[k] = d->reader[k];
  c->surfaces = d->surfaces;
  c->materials = d->materials;
  for (uint16_t k = 0; k < d->joints.count; k++) joints_copy_joint(&c->joints, &d->joints.data[k]);
  for (uint16_t k = 0; k < d->edges.count; k++) edges_copy_edge(&c->edges, &d->edges.data[k]);
  for (uint16_t k = 0; k < d->faces.count; k++) faces_copy_face(&c->faces, &d->faces.data[k]);
  for (uint16_t k = 0; k < d->loops.count; k++) edges_copy_loop(&c->loops, &d->loops.data[k]);
  for (uint16_t k = 0; k < d->regions.count; k++) regions_copy_region(&c->regions, &d->regions.data[k]);
  c->grid = d->grid;
  vectorn_copyto_0(&c->excluded, &d->excluded);
  vectorl_copyto_0(&c->unattached, &d->unattached);
  c->shear[0] = d->shear[0], c->shear[1] = d->shear[1];
  vectorn_copyto_0(&c->regmaterials, &d->regmaterials);
  if (d->regiontrees[0].count) {
    copy_trees(&c->surfacetrees, &d->surfacetrees);
    strings_copyto_2(&c->sheetnames, &d->sheetnames);
    strings_copyto_2(&c->layernames, &d->layernames);
    for (int t = 0; t < 3; t++) {
      const treevectors &s = d->regiontrees[t];
      trees_resize_1(&c->regiontrees[t], s.count, s.count);
      for (uint16_t k = 0; k < s.count; k++) copy_trees(&c->regiontrees[t].data[k], &s.data[k]);
    }
  }
  return c;
}

void domain_clear(Domain *d) {
  TRACE("domain_clear_0");
  if (!d) return;
  joints_free(&d->joints);
  edges_free_0(&d->edges);
  faces_free(&d->faces);
  edges_free_1(&d->loops);
  regions_free(&d->regions);
  periodic_free(&d->periodics);
  features_free(d);
  vectorn_free(&d->excluded);
  vectorl_free(&d->unattached);
  trees_free_1(&d->surfacetrees, 1);
  for (int t = 0; t < 3; t++) trees_free_2(&d->regiontrees[t], 1);
  vectorb_free(&d->flat);
  strings_free_1(&d->sheetnames, 1);
  strings_free_1(&d->layernames, 1);
  textin_free(&d->surfplaces);
  for (int k = 0; k < 7; k++) vector2n_free(&d->maps[k], 1);
  vectorn_free(&d->regmaterials);
  vectorl_free(&d->voids);
  // Everything else, the grid's tolerance, quantum, origin and scale included, is as in
  // a new record, so that a second parse snaps and merges joints as the first did.
  double grofac = d->grofac;
  std::memset(static_cast<void *>(d), 0, sizeof(Domain));
  d->grofac = grofac;
  rect3d_setrect_0(&d->grid.box, DOMAIN_HUGE, DOMAIN_HUGE, DOMAIN_HUGE, -DOMAIN_HUGE, -DOMAIN_HUGE, -DOMAIN_HUGE);
  d->grid.seed = DOMAIN_HUGE;
}

void domain_print(FILE *f, const Domain *d) {
  TRACE("domain_print_0");
  fputs(d->threed ? "3D " : "2D ", f);
  fprintf(f, "DOMAIN has %5d Regions, %5d Loops, %5d Faces, %5d Edges, %5d Joints\n", d->regions.count,
          d->loops.count, d->faces.count, d->edges.count, d->joints.count);
  const rect3d &b = d->grid.box;
  fprintf(f, "Bounds (%g,%g,%g) (%g,%g,%g)\n", b.x1, b.y1, b.z1, b.x2, b.y2, b.z2);
  for (uint16_t k = 1; k <= d->regions.count; k++) regions_print(f, &d->regions, k);
  for (uint16_t k = 1; k <= d->loops.count; k++) edges_print_1(f, &d->loops, k);
  for (uint16_t k = 1; k <= d->faces.count; k++) faces_print(f, &d->faces, k);
  for (uint16_t k = 1; k <= d->edges.count; k++) edges_print_0(f, &d->edges, k);
  for (uint16_t k = 1; k <= d->joints.count; k++) joints_print(f, &d->joints, k);
}

static uint16_t find_name(const StringList *l, String *name) {
  strings_upstring_0(name);
  for (int32_t k = 0; k < l->count; k++)
    if (l->items[k].length && strings_compare_0(&l->items[k], name) == 0) return uint16_t(k + 1);
  return 0;
}

uint16_t domain_find_sheet_name(const Domain *d, String *name) {
  TRACE("domain_find_sheet_name");
  return find_name(&d->sheetnames, name);
}

uint16_t domain_find_layer_name(const Domain *d, String *name) {
  TRACE("domain_find_layer_name");
  return find_name(&d->layernames, name);
}
