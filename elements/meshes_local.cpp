// meshes_local: localised cells (node coordinates and frame of one cell) with the cached
// basis rows their Jacobians are taken from, cell measures and values at points.
#include "elements/meshes.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "runtime/bounding.h"
#include "elements/basisfun.h"
#include "elements/evalpoint.h"
#include "elements/meshes_internal.h"
#include "elements/quature.h"
#include "runtime/bopmem.h"
#include "runtime/debug.h"
#include "runtime/geom3d.h"
#include "runtime/planed.h"
#include "runtime/point3d.h"
#include "runtime/rtlib.h"

// ---- Localised cells ----------------------------------------------------------------

// The local derivative rows of a basis at fixed points (the rule a curved cell's
// measure is summed by, or the centroid a cell's frame is taken at), formed once per
// basis: the Jacobian there then takes them from the table instead of evaluating the
// basis (the same rows). A table is keyed by its points' values, never by where they
// are stored: a rule laid out again, or another set of points at the address of a freed
// one, can only meet the rows of the points it holds.
namespace {
struct FixedRows {
  std::vector<LocalPoint> points;  // the points the rows were formed at
  std::vector<double> derivs;      // 60 per point: 3 rows of 20
  QuadBasis table{};
};
// The rows of every basis at its measure rule and at its centroid. Nothing is reset:
// a table whose points differ from those asked for is formed again.
struct RuleRows {
  FixedRows measure[ELEMENTS_CODES], centroid[ELEMENTS_CODES];
};
RuleRows rule_rows;
}  // namespace

// The table of code at the count points whose coordinates at(q) gives, formed again
// unless it holds exactly those points (a rule read before the rules were laid out has
// none, and is formed again once they are).
template <class At> static const QuadBasis *fixed_table(FixedRows &t, int32_t code, int count, At at) {
  bool same = t.table.code == code && t.points.size() == size_t(count);
  for (int q = 0; same && q < count; q++) same = std::equal(at(q), at(q) + 4, t.points[size_t(q)].L);
  if (!same) {
    t.points.resize(size_t(count));
    t.derivs.assign(size_t(count) * 60, 0.0);
    auto *d = reinterpret_cast<double (*)[3][20]>(t.derivs.data());
    for (int q = 0; q < count; q++) {
      std::copy(at(q), at(q) + 4, t.points[size_t(q)].L);
      basisfun_basis_p(d[q], code, t.points[size_t(q)].L);
    }
    t.table = QuadBasis{};
    t.table.count = uint16_t(count);
    t.table.code = code;
    t.table.points = t.points.data();
    t.table.derivs = d;
  }
  return &t.table;
}

int midside_rows(int32_t basis, const uint8_t (**rows)[3]) {
  static const uint8_t tri_mid[3][3] = {{4, 2, 3}, {5, 3, 1}, {6, 1, 2}};
  static const uint8_t tet_mid[6][3] = {{5, 2, 3}, {6, 3, 1}, {7, 1, 2}, {8, 1, 4}, {9, 2, 4}, {10, 3, 4}};
  *rows = basis == tri6 ? tri_mid : basis == tet10 ? tet_mid : nullptr;
  return basis == tri6 ? 3 : basis == tet10 ? 6 : 0;
}

bool halves_side(const double *c, const double *a, const double *b, double tol) {
  double len = 0, off = 0;
  for (int r = 0; r < 3; r++) {
    len = std::max(len, std::fabs(b[r] - a[r]));
    off = std::max(off, std::fabs(c[r] - 0.5 * (a[r] + b[r])));
  }
  return off <= 1e-13 * len + tol;
}

// Whether a quadratic cell's side nodes lie at the midpoints of their sides (to
// rounding): its map from the reference cell is then affine, its Jacobian the same at
// every point.
static bool straight_sides(int32_t basis, const double (*x)[3]) {
  const uint8_t(*mid)[3];
  int count = midside_rows(basis, &mid);
  if (!count) return false;
  for (int e = 0; e < count; e++)
    if (!halves_side(x[mid[e][0] - 1], x[mid[e][1] - 1], x[mid[e][2] - 1], 0)) return false;
  return true;
}

void meshes_localize(Mesh *m, const MeshCell *cell, LocalCell *lc, uint16_t mode) {
  TRACE("meshes_localize_0");
  int32_t basis = cell->basis;
  lc->region = cell->region;
  lc->frame.gbasis = basis;
  if (elements_order[basis] > 1) lc->frame.curved = 1;
  for (int s = 0; s < elements_vertices[basis]; s++) lc->neighbour[s] = cell->neighbour[s];
  int nm = node_span(*cell, functions(m->meshbasis));
  for (int i = 0; i < nm; i++) lc->nodes[i] = cell->nodes.data[i];
  if (mode != 2) {
    int nc = node_span(*cell, functions(basis));
    for (int i = 0; i < nc; i++) {
      const MeshNode &n = node_at(m, cell->nodes.data[i]);
      lc->frame.nodes[i][0] = n.x, lc->frame.nodes[i][1] = n.y, lc->frame.nodes[i][2] = n.z;
    }
    if (lc->frame.curved && straight_sides(basis, lc->frame.nodes)) lc->frame.curved = 0;
  }
  int dim = elements_dimension[basis];
  if (dim >= 1 && dim <= 3) {
    const double *L = elements_centroid[dim].L;
    if (basis > 0 && basis < ELEMENTS_CODES)
      elements_jacobian_rule(fixed_table(rule_rows.centroid[basis], basis, 1, [L](int) { return L; }), 0, &lc->frame);
    else
      elements_jacobian(L, &lc->frame);
  }
}

// Measure of a curved cell: the rule's weighted |det J| times the reference measure. A
// quadratic cell whose sides are straight has one Jacobian throughout: its measure is the
// frame's, the one its integrals take.
static double curved_measure(Mesh *m, const MeshCell *cell, int32_t rule, double ref) {
  static LocalCell work;
  meshes_localize(m, cell, &work, 0);
  if (!work.frame.curved) return work.frame.measure;
  const QuadRule *r = quature_rule(rule);
  const QuadBasis *t =
      fixed_table(rule_rows.measure[cell->basis], cell->basis, r->count, [r](int q) { return r->points[q].L; });
  double s = 0;
  for (int q = 0; q < r->count; q++) {
    elements_jacobian_rule(t, q, &work.frame);
    s += r->points[q].weight * work.frame.absdet * ref;
  }
  return s;
}

double meshes_cell_area_0(Mesh *m, const MeshCell *cell) {
  TRACE("meshes_cell_area_0");
  auto corner = [&](int i) -> const MeshNode & { return node_at(m, cell->nodes.data[i]); };
  switch (cell->basis) {
    case tri3: {
      const MeshNode &a = corner(0), &b = corner(1), &c = corner(2);
      return 0.5 * ((c.y - a.y) * (b.x - a.x) - (c.x - a.x) * (b.y - a.y));
    }
    case tri6:
    case tri9: return curved_measure(m, cell, 7, 0.5);
    case tet4: {
      point3d p[4];
      for (int i = 0; i < 4; i++) p[i] = {corner(i).x, corner(i).y, corner(i).z};
      planerec plane;
      planed_plane_params(&plane, &p[0], &p[1], &p[2]);
      return 0.16666666666667 * plane.magnitude * planed_plane_distance_0(&plane, &p[3]);
    }
    case tet10:
    case tet20: return curved_measure(m, cell, 10, 0.16666666666667);
    default: return 0;
  }
}

double meshes_cell_area_1(Mesh *m, int32_t c) {
  TRACE("meshes_cell_area_1");
  return meshes_cell_area_0(m, &cell_at(m, c));
}

// The point's local coordinates in its cell; true when the first k exceed -fuzz.
static bool incell(evalpoint *p, double fuzz, int k) {
  double xyz[3] = {p->x, p->y, p->z};
  elements_get_lcoords(p->local, xyz, &p->cell->frame, 0.5);
  for (int c = 0; c < k; c++)
    if (!(p->local[c] > -fuzz)) return false;
  return true;
}

bool meshes_incell_1(evalpoint *p, double fuzz) {
  TRACE("meshes_incell_1");
  return incell(p, fuzz, 3);
}

bool meshes_incell3(evalpoint *p, double fuzz) {
  TRACE("meshes_incell3_0");
  return incell(p, fuzz, 4);
}

bool meshes_incell_0(const pointd *a, const pointd *b, const pointd *c, const pointd *p, double f) {
  double t = f * ((c->y - a->y) * (b->x - a->x) - (c->x - a->x) * (b->y - a->y));
  return (p->x - a->x) * (b->y - a->y) - (p->y - a->y) * (b->x - a->x) <= t &&
         (c->y - b->y) * (p->x - b->x) - (p->y - b->y) * (c->x - b->x) <= t &&
         (a->y - c->y) * (p->x - c->x) - (a->x - c->x) * (p->y - c->y) <= t;
}

// Makes a field hold every node: grown to the node table's capacity when short.
static void field_to_nodes(Mesh *m, vectord *f) {
  if (f->capacity < m->nodes.count) vectord_resize(f, m->nodes.count, m->nodes.capacity);
  f->count = m->nodes.count;
}

void meshes_nodalu(Mesh *m, int32_t n, vectorvd *fields, LocalCell *lc, int32_t basis) {
  TRACE("meshes_nodalu_0");
  const MeshNode &node = node_at(m, n);
  double xyz[3] = {node.x, node.y, node.z}, L[4] = {0, 0, 0, 0};
  elements_get_lcoords(L, xyz, &lc->frame, 0.5);
  if (lc->frame.curved) elements_jacobian(L, &lc->frame);
  for (int32_t i = 0; i < fields->count; i++) {
    vectord *f = fields->data[i];
    field_to_nodes(m, f);
    f->data[n - 1] = cellnode_interpu_1(basis, L, lc, f);
  }
}

void meshes_pointu_1(vectord *out, double x, double y, double z, vectorvd *fields, LocalCell *lc,
                     int32_t basis) {
  TRACE("meshes_pointu_1");
  if (lc->frame.curved) {
    int dim = elements_dimension[basis];
    if (dim >= 1 && dim <= 3) elements_jacobian(elements_centroid[dim].L, &lc->frame);
  }
  double xyz[3] = {x, y, z}, L[4] = {0, 0, 0, 0};
  elements_get_lcoords(L, xyz, &lc->frame, 0.5);
  if (out->capacity < fields->count) vectord_resize(out, fields->count, fields->count);
  out->count = fields->count;
  for (int32_t i = 0; i < fields->count; i++)
    out->data[i] = cellnode_interpu_1(basis, L, lc, fields->data[i]);
}

void meshes_pointu_0(vectord *out, double x, double y, vectorvd *fields, LocalCell *lc, int32_t basis) {
  TRACE("meshes_pointu_0");
  meshes_pointu_1(out, x, y, 0, fields, lc, basis);
}
