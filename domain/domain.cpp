// domain: the geometry record's tables, its copy, clear and print, and the sheet and
// layer name lookups.
#include "domain/domain.h"

#include <algorithm>
#include <cstring>

#include "runtime/bounding.h"
#include "domain/dominpde.h"
#include "domain/edges.h"
#include "domain/faces.h"
#include "domain/features.h"
#include "domain/joints.h"
#include "domain/periodic.h"
#include "domain/regions.h"
#include "elements/meshes.h"
#include "domain/spatial.h"
#include "model/buildeq.h"
#include "model/trees.h"
#include "runtime/bopmem.h"
#include "runtime/debug.h"
#include "runtime/rtlib.h"

uint8_t domain_debug = 0, edges_debug = 0;

// Fills the calls through which the mesh record and the model reach the domain.
static bool install_calls() {
  meshes_domain_calls = {domain_clear, domain_domain_copy, domain_print};
  buildeq_region_at = domain_find_region;
  return true;
}

// Installed as soon as the domain library is part of the program (every domain record
// passes through this file), so no caller depends on the order of the start-up calls.
static const bool calls_installed = install_calls();

int domain_init() {
  TRACE("domain");
  install_calls();
  return 0;
}

uint16_t domain_grow_table(void **data, uint16_t *count, uint16_t *capacity, size_t size, const char *where,
                           bool periodic) {
  if (*count == UINT16_MAX) rtlib_fatal_in(where, "TABLE FULL");
  if (*count + 1 > *capacity) {
    // Growth by half the table at least 32 records keeps appending linear in the count.
    int32_t cap = periodic ? *capacity * 6 / 5 + 4 : *capacity + std::max<int32_t>(32, *capacity / 2);
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

void domain_debug_listing(const Domain *d) {
  TRACE("domain_debug_listing");
  if (!debug_file) return;
  if (domain_debug) domain_print(debug_file, d);
  if (edges_debug) {
    for (uint16_t k = 1; k <= d->loops.count; k++) edges_print_1(debug_file, &d->loops, k);
    for (uint16_t k = 1; k <= d->edges.count; k++) edges_print_0(debug_file, &d->edges, k);
  }
  fflush(debug_file);
}

bool test_region(const Domain *d, const double *p, uint16_t region) {
  const struct region &r = d->regions.data[region - 1];
  if (!(r.box.x1 < p[0] && p[0] < r.box.x2 && r.box.y1 < p[1] && p[1] < r.box.y2)) return false;
  if (const DomainIndex *x = spatial_index(d)) return x->regions.crossings(d, region, p) & 1;
  int32_t crossings = 0;
  for (int32_t k = 1; k <= r.loops.count; k++) {
    const Loop &l = d->loops.data[r.loops.data[k - 1] - 1];
    for (int32_t i = 1; i <= l.edges.count; i++) {
      int32_t e = l.edges.data[i - 1];
      if (e == 0) continue;
      crossings += edges_cross_yline(&d->edges.data[(e < 0 ? -e : e) - 1], &d->joints, p);
    }
  }
  return crossings & 1;
}

bool exclude_point(const Domain *d, const double *p) {
  for (int32_t k = 1; k <= d->excluded.count; k++)
    if (test_region(d, p, d->excluded.data[k - 1])) return true;
  return false;
}

uint16_t domain_find_region(const Domain *d, const double *p) {
  double q[2] = {p[0], p[1]};
  bounding_off_grid_1(&d->grid, q);
  if (d->excluded.count && exclude_point(d, q)) return 0;
  // Only regions whose box holds the point can hold it.
  const std::vector<uint16_t> &at = spatial_regions_at(d, q);
  for (auto k = at.rbegin(); k != at.rend(); ++k)
    if (d->regions.data[*k - 1].type == 0 && test_region(d, q, *k)) return *k;
  return 0;
}

void domain_bound_regions(Domain *d) {
  TRACE("domain_bound_regions");
  for (uint16_t k = 0; k < d->regions.count; k++) {
    region &r = d->regions.data[k];
    rect3d b;
    rect3d_setrect_0(&b, DOMAIN_HUGE, DOMAIN_HUGE, DOMAIN_HUGE, -DOMAIN_HUGE, -DOMAIN_HUGE, -DOMAIN_HUGE);
    for (int32_t i = 1; i <= r.loops.count; i++) {
      const Loop &l = d->loops.data[r.loops.data[i - 1] - 1];
      for (int32_t m = 1; m <= l.edges.count; m++) {
        int32_t e = l.edges.data[m - 1];
        if (e) rect3d_bound_box_2(&b, &d->edges.data[(e < 0 ? -e : e) - 1].box);
      }
    }
    double dx = (b.x2 - b.x1) * 0.001, dy = (b.y2 - b.y1) * 0.001, dz = (b.z2 - b.z1) * 0.001;
    if (b.x1 <= b.x2) b.x1 -= dx, b.x2 += dx;
    if (b.y1 <= b.y2) b.y1 -= dy, b.y2 += dy;
    if (b.z1 <= b.z2) b.z1 -= dz, b.z2 += dz;
    r.box = b;
  }
}

// Shapes whose distance and points along the curve are known.
static bool planar(const Edge &e) { return e.shape == SHAPE_LINE || e.shape == SHAPE_ARC || e.shape == SHAPE_ERC; }

void domain_tag_edges(Domain *d) {
  TRACE("domain_tag_edges");
  DomainIndexScope lookups(d);
  for (uint16_t k = 0; k < d->edges.count; k++) {
    Edge &e = d->edges.data[k];
    if (!planar(e)) continue;
    double L = e.length, P[2], Q[2], foot[2];
    edges_move_dist(&e, &d->joints, L / 2, P);
    double dmin = L;
    // Only edges within L of P can lower dmin.
    for (uint16_t n : spatial_edges_near(d, P, L)) {
      uint16_t f = uint16_t(n - 1);
      if (f != k && planar(d->edges.data[f]))
        dmin = std::min(dmin, edges_edge_distance(&d->edges.data[f], &d->joints, P, foot, d->grid.tolerance));
    }
    edges_move_dist(&e, &d->joints, L / 2 + 0.01 * dmin, Q);
    double dx = Q[0] - P[0], dy = Q[1] - P[1];
    double left[2] = {P[0] - dy, P[1] + dx}, right[2] = {P[0] + dy, P[1] - dx};
    e.side_regions[0] = domain_find_region(d, left);
    e.side_regions[1] = domain_find_region(d, right);
    e.feature = e.side_regions[0] == e.side_regions[1];
    e.external = e.side_regions[0] == 0 && e.side_regions[1] == 0;
  }
}
