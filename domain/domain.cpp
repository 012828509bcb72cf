// domain: copying and releasing the geometry record with its tables, the position of
// an edge at a joint, and moving points off the snapping grid.
#include "domain/domain.h"

#include <cmath>
#include <cstring>

#include "runtime/bopmem.h"
#include "runtime/rtlib.h"

// Offsets beyond this many quanta are reduced in steps of it, so that the unsigned
// 32-bit step below never overflows.
static const double reduction = 4294967280.0;

// Each record's own storage, released with the record or made its own in a copy.
static void own_name(String &n, bool copy) {
  if (copy) {
    String s = n;
    n = String{};
    if (s.length) strings_copyto_0(&n, &s);
  } else {
    strings_free_0(&n);
  }
}
template <class V>
static void own(V &v, bool copy, void (*copyto)(V *, const V *), void (*release)(V *)) {
  if (copy) {
    V s = v;
    v = V{};
    copyto(&v, &s);
  } else {
    release(&v);
  }
}
static void own_list(vectorn &v, bool copy) { own(v, copy, vectorn_copyto_0, vectorn_free); }
static void own_list(vectorl &v, bool copy) { own(v, copy, vectorl_copyto_0, vectorl_free); }
static void own_list(vectori &v, bool copy) { own(v, copy, vectori_copyto_0, vectori_free); }
static void own_lists(Joint &j, bool copy) {
  own_list(j.edges, copy);
  own_list(j.faces, copy);
  own_list(j.regions, copy);
}
static void own_lists(Edge &e, bool copy) {
  own_name(e.name, copy);
  own_list(e.face_list, copy);
  own_list(e.layer_tags, copy);
}
static void own_lists(face &f, bool copy) { own_name(f.name, copy); }
static void own_lists(Loop &l, bool copy) {
  own_name(l.name, copy);
  own_list(l.edges, copy);
}
static void own_lists(region &r, bool copy) {
  own_name(r.name, copy);
  own_list(r.loops, copy);
  own_list(r.lists[0], copy);
  own_list(r.lists[1], copy);
}
static void own_lists(periodic &p, bool copy) {
  own_list(p.images, copy);
  own_list(p.sources, copy);
  own_list(p.lists[0], copy);
  own_list(p.lists[1], copy);
  // The mapping tree belongs to the problem's formulas until the tree module owns it.
  if (copy) p.mapping = nullptr;
}

// Frees a table's records' own storage, then the records; count and capacity become 0.
template <class Table>
static void free_table(Table *t) {
  for (int32_t k = 0; k < t->capacity; k++) own_lists(t->data[k], false);
  XMEM -= int64_t(t->capacity) * sizeof(*t->data);
  bopmemfree(&t->data);
  t->count = t->capacity = 0;
}

// Replaces a table that shares the source's records with a deep copy of them.
template <class Table>
static void copy_table(Table *t) {
  auto *src = t->data;
  t->data = nullptr;
  if (!t->capacity) return;
  bopmemalloc(&t->data, t->capacity, sizeof(*t->data));
  XMEM += int64_t(t->capacity) * sizeof(*t->data);
  std::memcpy(static_cast<void *>(t->data), src, t->capacity * sizeof(*t->data));
  for (int32_t k = 0; k < t->capacity; k++) own_lists(t->data[k], true);
}

template <class Table>
static void own_table(Table *t, bool copy) {
  if (copy)
    copy_table(t);
  else
    free_table(t);
}

// Frees, or replaces by copies of their own, everything a domain's record points to.
static void own_all(Domain *d, bool copy) {
  own_table(&d->joints, copy);
  own_table(&d->edges, copy);
  own_table(&d->faces, copy);
  own_table(&d->loops, copy);
  own_table(&d->regions, copy);
  own_table(&d->periodics, copy);
  own_list(d->excluded, copy);
  own_list(d->regmaterials, copy);
  own_list(d->unattached, copy);
  own_list(d->voids, copy);
}

Domain *domain_domain_copy(const Domain *d) {
  TRACE("domain_domain_copy_0");
  Domain *c = nullptr;
  bopmemalloc(&c, 1, sizeof(Domain));
  XMEM += sizeof(Domain);
  *c = *d;
  own_all(c, true);
  return c;
}

void domain_clear(Domain *d) {
  TRACE("domain_clear_0");
  own_all(d, false);
  d->base = nullptr;
}

void domain_print(FILE *f, const Domain *d) {
  TRACE("domain_print_0");
  fputs(d->threed ? "3D \n" : "2D \n", f);
}

uint16_t edges_if_edge(const Joint *j, uint16_t edge) {
  for (int32_t k = 1; k <= j->edges.count; k++)
    if (j->edges.data[k - 1] == edge) return uint16_t(k);
  return 0;
}

// The offset v moved to the middle of its grid cell, half a quantum beyond the
// nearest grid line, away from the origin.
static double offg(double v, double q) {
  double a = std::fabs(v / q);
  int n = 0;
  while (a > reduction) a -= reduction, n++;
  double r = (double(uint32_t(a + 0.5)) + 0.5) * q;
  for (int k = 0; k < n; k++) r += reduction * q;
  return v < 0 ? -r : r;
}

void bounding_off_grid_0(const BoundingGrid *g, double *p) {
  TRACE("bounding_off_grid_0");
  if (g->quantum <= 0) return;
  p[0] = g->ox + offg(p[0] - g->ox, g->quantum);
  p[1] = g->oy + offg(p[1] - g->oy, g->quantum);
  p[2] = g->oz + offg(p[2] - g->oz, g->quantum);
}

void bounding_off_grid_1(const BoundingGrid *g, double *p) {
  TRACE("bounding_off_grid_1");
  if (g->quantum <= 0) return;
  p[0] = g->ox + offg(p[0] - g->ox, g->quantum);
  p[1] = g->oy + offg(p[1] - g->oy, g->quantum);
}

int domain_init() {
  TRACE("domain");
  return 0;
}
