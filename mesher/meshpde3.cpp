// meshpde3: node-cell lists, neighbours, midside nodes and node placement of tetrahedral
// meshes.
#include "mesher/meshpde3.h"

#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "runtime/bounding.h"
#include "domain/domain.h"
#include "domain/edges.h"
#include "elements/elements.h"
#include "elements/evalpoint.h"
#include "elements/meshes.h"
#include "graphics/display.h"
#include "graphics/msgpump.h"
#include "mesher/mesh3.h"
#include "mesher/refine3.h"
#include "model/treeval.h"
#include "runtime/report.h"
#include "runtime/rtlib.h"

int meshpde3_init() {
  TRACE("meshpde3");
  return 0;
}

namespace {

const int kFace[4][3] = {{1, 3, 2}, {2, 3, 0}, {3, 1, 0}, {0, 1, 2}};
const int kEdge[6][2] = {{1, 2}, {2, 0}, {0, 1}, {3, 0}, {3, 1}, {3, 2}};
// Face-centre slots 17-20 over the corner triples (2,3,4), (3,1,4), (1,2,4), (1,2,3).
const int kTriple[4][3] = {{1, 2, 3}, {2, 0, 3}, {0, 1, 3}, {0, 1, 2}};

// The evaluator's region for one evaluation, put back on every exit.
struct RegionScope {
  uint16_t saved = treeval_region;
  explicit RegionScope(uint16_t r) { treeval_region = r; }
  ~RegionScope() { treeval_region = saved; }
};

const TreeNode *surface_tree(const Domain *d, int t, uint16_t s, uint16_t r) {
  if (r >= 1 && s <= d->regiontrees[t].count) {
    const treevector &v = d->regiontrees[t].data[s - 1];
    if (r <= v.count && v.data[r - 1]) return v.data[r - 1];
  }
  return t == 0 && s <= d->surfacetrees.count ? d->surfacetrees.data[s - 1] : nullptr;
}

// The base region of the larger of a face's or an edge's two side regions.
uint16_t base_of(const Domain *d, uint16_t r1, uint16_t r2) {
  uint16_t r = r1 > r2 ? r1 : r2;
  uint16_t R = d->base ? d->base->regions.count : d->regions.count;
  if (r < 1 || r > d->regions.count || !R) return 0;
  return uint16_t((r - 1) % R + 1);
}

double dist2(const MeshNode &a, const double *p) {
  return (a.x - p[0]) * (a.x - p[0]) + (a.y - p[1]) * (a.y - p[1]) + (a.z - p[2]) * (a.z - p[2]);
}

// The node of the cell's slot: found in the cell, found in a cell around a, or made; a
// new node is classified by its link nodes (edge node) or by a, b, c (face node, c > 0).
int32_t check_generate(Mesh *m, int32_t a, int32_t b, int32_t c, int32_t cell, int slot, double t, int npc,
                       int32_t link1, int32_t link2) {
  if (int32_t have = m->cells.data[cell - 1].nodes.data[slot - 1]) return have;
  const MeshNode &A = m->nodes.data[a - 1], &B = m->nodes.data[b - 1];
  double P[3];
  if (c) {
    const MeshNode &C = m->nodes.data[c - 1];
    P[0] = (A.x + B.x + C.x) * 0.33333333333333;
    P[1] = (A.y + B.y + C.y) * 0.33333333333333;
    P[2] = (A.z + B.z + C.z) * 0.33333333333333;
  } else {
    P[0] = (1 - t) * A.x + t * B.x, P[1] = (1 - t) * A.y + t * B.y, P[2] = (1 - t) * A.z + t * B.z;
  }
  double d2 = (A.x - B.x) * (A.x - B.x) + (A.y - B.y) * (A.y - B.y) + (A.z - B.z) * (A.z - B.z);
  // 3. Reuse the node of the first cell around a that holds one here.
  const vectorl &around = m->nodes.data[a - 1].nodecell;
  for (int32_t i = 0; i < around.count; i++) {
    int32_t k = around.data[i];
    if (k < 1 || k == cell) continue;
    const MeshCell &K = m->cells.data[k - 1];
    double best = 1e37;
    int32_t nearest = 0;
    for (int s = 5; s <= npc && s <= K.nodes.count; s++) {
      int32_t n = K.nodes.data[s - 1];
      if (!n) continue;
      double q = dist2(m->nodes.data[n - 1], P);
      if (q < best) best = q, nearest = n;
    }
    if (nearest && best < 1e-8 * d2) {
      m->cells.data[cell - 1].nodes.data[slot - 1] = nearest;
      meshes_new_nodecell(m, nearest, cell);
      return nearest;
    }
  }
  // 4. A new node.
  int32_t n = meshes_new_node_1(m, P[0], P[1], P[2], m->cells.data[cell - 1].region);
  m->nodes.data[n - 1].spacing = float(std::sqrt(d2));
  m->cells.data[cell - 1].nodes.data[slot - 1] = n;
  meshes_new_nodecell(m, n, cell);
  // 5. Its kind.
  if (!c) {
    if (m->nodes.data[link1 - 1].kind == 0 || m->nodes.data[link2 - 1].kind == 0) return n;
    if (uint16_t e = mesh3_common_edge(m, link1, link2)) {
      m->nodes.data[n - 1].kind = 2, m->nodes.data[n - 1].id = e;
      meshes_place_bnode(m, e, link1, link2, n);
    } else if (uint16_t f = mesh3_common_face_0(m, link1, link2)) {
      m->nodes.data[n - 1].kind = 3, m->nodes.data[n - 1].id = f;
      meshes_insert_fnode(m, f, n);
    }
  } else if (uint16_t f = mesh3_common_face_1(m, a, b, c, m->cells.data[cell - 1].region)) {
    m->nodes.data[n - 1].kind = 3, m->nodes.data[n - 1].id = f;
    meshes_insert_fnode(m, f, n);
  }
  return n;
}

// Moves p along the surface's normal at p until z = f(x, y) (at most 11 steps).
void push_to_surface(double *p, const Domain *d, uint16_t s, uint16_t r, double h) {
  if (s == 0) return;
  double sx = d->shear[0], sy = d->shear[1];
  auto f = [&](const double *q) { return meshpde3_sheet_z(d, s, r, q[0] - q[2] * sx, q[1] - q[2] * sy); };
  // 1. The fixed direction: the unit normal at p.
  double g[3] = {};
  if (const TreeNode *grad = surface_tree(d, 1, s, r)) {
    RegionScope scope(r);
    evalpoint at{};
    at.x = p[0] - p[2] * sx, at.y = p[1] - p[2] * sy, at.region = r;
    treeval_eval_vec(report_current, g, grad, &at);
  }
  double len = std::sqrt(g[0] * g[0] + g[1] * g[1] + 1);
  double n[3] = {-g[0] / len, -g[1] / len, 1 / len};
  // 2.-3. Secant steps along the normal.
  double step = 0.01 * h, tol = 1e-6 * h;
  for (int it = 0; it < 11; it++) {
    double g0 = p[2] - f(p);
    for (int i = 0; i < 3; i++) p[i] += step * n[i];
    double g1 = p[2] - f(p);
    double slope = (g1 - g0) / step, dd = step;
    if (std::fabs(slope) > 0) {
      for (int i = 0; i < 3; i++) p[i] -= g1 / slope * n[i];
      dd = step - g1 / slope;
    }
    if (std::fabs(dd) < tol) break;
  }
}

void push_nodes(Mesh *m) {
  Domain *d = m->domain;
  for (int32_t k = 1; k <= m->nodes.count; k++) {
    MeshNode &N = m->nodes.data[k - 1];
    if (!N.alive || (N.kind != 2 && N.kind != 3)) continue;
    double p[3] = {N.x, N.y, N.z};
    if (N.kind == 2)
      meshpde3_push_to_edge(d, N.id, p);
    else
      meshpde3_push_to_face(d, N.id, p, N.spacing);
    N.x = p[0], N.y = p[1], N.z = p[2];
  }
}

// The layer (between sheets k and k + 1) and the base region of a region of an extruded
// domain.
bool layer_of(const Domain *d, uint16_t region, uint16_t *k, uint16_t *r) {
  uint16_t R = d->base ? d->base->regions.count : 0;
  if (!R || region < 1) return false;
  *k = uint16_t((region - 1) / R + 1), *r = uint16_t((region - 1) % R + 1);
  return *k + 1 <= d->surfacetrees.count;
}

// Whether a node's height is free: inside one layer's region (every cell around it in that
// region), in the layer or on a side face (which fixes only x and y).
bool height_free(const Mesh *m, const MeshNode &N, uint16_t region) {
  const Domain *d = m->domain;
  if (N.kind == 3 ? N.id < 1 || N.id > d->faces.count || d->faces.data[N.id - 1].type != 1 : N.kind != 0) return false;
  for (int32_t i = 0; i < N.nodecell.count; i++)
    if (m->cells.data[N.nodecell.data[i] - 1].region != region) return false;
  return true;
}

// The inner nodes of a cell at the layer's relative height: each at the weighted mean of
// its corners' heights in the layer, as fractions of the layer's thickness, taken at the
// node's own place. The cell's map then follows the sheets through the layer. A corner
// where the layer pinches (its two sheets share it) tells no height and is left out.
// Lists the nodes it moves.
void fit_to_layer(Mesh *m, int32_t c, std::vector<int32_t> &moved) {
  const Domain *d = m->domain;
  const MeshCell &C = m->cells.data[c - 1];
  uint16_t k, r;
  if (!layer_of(d, C.region, &k, &r) || C.nodes.count < elements_functions[C.basis]) return;
  const double sx = d->shear[0], sy = d->shear[1];
  double s[4];
  bool told[4];
  for (int i = 0; i < 4; i++) {
    const MeshNode &N = m->nodes.data[C.nodes.data[i] - 1];
    double x = N.x - N.z * sx, y = N.y - N.z * sy, zb = meshpde3_sheet_z(d, k, r, x, y);
    double T = meshpde3_sheet_z(d, uint16_t(k + 1), r, x, y) - zb;
    told[i] = T > std::max(d->grid.tolerance, mesh3_shared_sheet * double(N.spacing));
    s[i] = told[i] ? (N.z - zb) / T : 0;
  }
  // Each higher-order slot: its corners and their weights.
  struct Slot {
    int corner[3];
    double weight[3];
  };
  std::vector<Slot> slots;
  if (C.basis == tet10) {
    for (const auto &e : kEdge) slots.push_back({{e[0], e[1], -1}, {0.5, 0.5, 0}});
  } else if (C.basis == tet20) {
    for (const auto &e : kEdge) slots.push_back({{e[0], e[1], -1}, {2.0 / 3, 1.0 / 3, 0}});
    for (const auto &e : kEdge) slots.push_back({{e[0], e[1], -1}, {1.0 / 3, 2.0 / 3, 0}});
    for (const auto &t : kTriple) slots.push_back({{t[0], t[1], t[2]}, {1.0 / 3, 1.0 / 3, 1.0 / 3}});
  }
  for (size_t j = 0; j < slots.size(); j++) {
    int32_t n = C.nodes.data[4 + j];
    if (n < 1 || n > m->nodes.count || !height_free(m, m->nodes.data[n - 1], C.region)) continue;
    double w = 0, ws = 0;
    for (int a = 0; a < 3 && slots[j].corner[a] >= 0; a++)
      if (told[slots[j].corner[a]]) w += slots[j].weight[a], ws += slots[j].weight[a] * s[slots[j].corner[a]];
    if (!(w > 0)) continue;
    MeshNode &N = m->nodes.data[n - 1];
    double x = N.x - N.z * sx, y = N.y - N.z * sy, zb = meshpde3_sheet_z(d, k, r, x, y);
    double z = zb + ws / w * (meshpde3_sheet_z(d, uint16_t(k + 1), r, x, y) - zb);
    if (z == N.z) continue;
    N.z = z, N.x = x + z * sx, N.y = y + z * sy;
    moved.push_back(n);
  }
}

// Where a sheet bends across a cell as much as the layer beside it is thick (around a
// pinch), a curved cell whose inner nodes stay on their chords folds: its Jacobian changes
// sign inside, and every integral over it counts the fold twice (a layer's volume among
// them). Such cells of an extruded mesh take their inner nodes at the layer's relative
// height, and every cell around a moved node is curved from then on (a few passes: a moved
// node bends the cells around it).
void unfold_layers(Mesh *m) {
  const Domain *d = m->domain;
  if (!d || !d->base || (m->meshbasis != tet10 && m->meshbasis != tet20)) return;
  std::vector<int32_t> moved;
  for (int pass = 0; pass < 4; pass++) {
    moved.clear();
    for (int32_t c = 1; c <= m->cells.count; c++)
      if (refine3_folded(m, c)) fit_to_layer(m, c, moved);
    if (moved.empty()) break;
    for (int32_t n : moved) {
      const vectorl &around = m->nodes.data[n - 1].nodecell;
      for (int32_t i = 0; i < around.count; i++) m->cells.data[around.data[i] - 1].basis = m->meshbasis;
    }
  }
}

}  // namespace

double meshpde3_sheet_z(const Domain *d, uint16_t s, uint16_t r, double x, double y) {
  const TreeNode *t = surface_tree(d, 0, s, r);
  if (!t) return 0;
  RegionScope scope(r);
  evalpoint at{};
  at.x = x, at.y = y, at.region = r;
  return treeval_eval(report_current, t, &at);
}

void meshpde3_lift_to_surface(const Domain *d, double *p, uint16_t s, uint16_t r) {
  if (s == 0) return;
  double z = meshpde3_sheet_z(d, s, r, p[0], p[1]);
  p[2] = z;
  p[0] += z * d->shear[0], p[1] += z * d->shear[1];
}

void meshpde3_push_to_edge(Domain *d, uint16_t edge, double *p) {
  TRACE("meshpde3_push_to_edge");
  if (edge < 1 || edge > d->edges.count) return;
  const Edge &E = d->edges.data[edge - 1];
  if (E.shape != SHAPE_EXTRUD) return;
  const edgetable *base = static_cast<const edgetable *>(E.shapedata.base);
  p[0] -= p[2] * d->shear[0], p[1] -= p[2] * d->shear[1];
  if (base && E.source >= 1 && E.source <= base->count) edges_push_to_bdry(&base->data[E.source - 1], p);
  meshpde3_lift_to_surface(d, p, E.surface, base_of(d, E.side_regions[0], E.side_regions[1]));
  bounding_check_bounds_2(&d->grid, p[0], p[1], p[2]);
}

void meshpde3_push_to_face(Domain *d, uint16_t fc, double *p, double scale) {
  TRACE("meshpde3_push_to_face");
  if (fc < 1 || fc > d->faces.count) return;
  const face &F = d->faces.data[fc - 1];
  if (F.type == 0) {
    push_to_surface(p, d, F.level, base_of(d, F.regions[0], F.regions[1]), scale);
  } else if (F.type == 1) {
    const Domain *b = d->base ? d->base : d;
    if (F.base < 1 || F.base > b->edges.count) return;
    const Edge &E = b->edges.data[F.base - 1];
    if (E.shape == SHAPE_ARC || E.shape == SHAPE_ERC) {
      double sx = p[2] * d->shear[0], sy = p[2] * d->shear[1];
      p[0] -= sx, p[1] -= sy;
      edges_push_to_bdry(&E, p);
      p[0] += sx, p[1] += sy;
    } else if (E.shape != SHAPE_LINE) {
      rtlib_fatal_in("meshpde3_push_to_face", "BAD PUSH SHAPE");
    }
  } else {
    rtlib_fatal_in("meshpde3_push_to_face", "UNIMPLEMENTED");
  }
  bounding_check_bounds_2(&d->grid, p[0], p[1], p[2]);
}

void meshpde3_resolve_nodecells3(Mesh *m) {
  TRACE("meshpde3_resolve_nodecells3");
  for (int32_t n = 1; n <= m->nodes.count; n++) m->nodes.data[n - 1].nodecell.count = 0;
  for (int32_t c = 1; c <= m->cells.count; c++) {
    const MeshCell &C = m->cells.data[c - 1];
    if (!C.alive) continue;
    for (int i = 0; i < 4; i++) meshes_new_nodecell(m, C.nodes.data[i], c);
  }
  int32_t dead = 0;
  for (int32_t n = 1; n <= m->nodes.count; n++) {
    MeshNode &N = m->nodes.data[n - 1];
    if (N.nodecell.count == 0 && N.alive) N.alive = 0, dead++, m->delnodes++;
  }
  if (dead) meshes_node_compress_0(m);
}

void meshpde3_resolve_nabors3(Mesh *m) {
  TRACE("meshpde3_resolve_nabors3");
  // Whether each cell's volume is positive, found the first time a pair asks (-1: not
  // yet): a face is met at each of its three nodes, the cells do not change meanwhile.
  std::vector<int8_t> positive(size_t(m->cells.count) + 1, -1);
  auto sign = [&](int32_t c) {
    int8_t &s = positive[size_t(c)];
    if (s < 0) s = meshes_cell_area_1(m, c) > 0;
    return s != 0;
  };
  std::vector<std::array<int32_t, 4>> corners;  // the corners of the cells around a node
  for (int32_t n = 1; n <= m->nodes.count; n++) {
    const vectorl &list = m->nodes.data[n - 1].nodecell;
    corners.resize(size_t(list.count));
    for (int32_t i = 0; i < list.count; i++) {
      const int32_t *v = m->cells.data[list.data[i] - 1].nodes.data;
      corners[size_t(i)] = {v[0], v[1], v[2], v[3]};
    }
    for (int32_t i = 0; i < list.count; i++)
      for (int32_t j = i + 1; j < list.count; j++) {
        const std::array<int32_t, 4> &A = corners[size_t(i)], &B = corners[size_t(j)];
        int match = 0, fi = -1, fj = -1;
        for (int a = 0; a < 4; a++) {
          bool found = A[a] == B[0] || A[a] == B[1] || A[a] == B[2] || A[a] == B[3];
          if (found) match++;
          else fi = a;
        }
        if (match != 3) continue;
        for (int b = 0; b < 4; b++) {
          bool found = B[b] == A[0] || B[b] == A[1] || B[b] == A[2] || B[b] == A[3];
          if (!found) fj = b;
        }
        int32_t ci = list.data[i], cj = list.data[j];
        bool pa = sign(ci), pb = sign(cj);
        if (pa != pb) rtlib_fatal_in("meshpde3_resolve_nabors3", "BAMBOOZLED");
        m->cells.data[ci - 1].neighbour[fi] = cj;
        m->cells.data[cj - 1].neighbour[fj] = ci;
      }
  }
}

void meshpde3_midsides3(pde *p, Mesh *m, int32_t basis) {
  TRACE("meshpde3_midsides3");
  Mesh3Status status(m->status, "Midsides", m->cells.count);
  double t, t2 = 0;
  if (basis == tet10) {
    t = 0.5;
  } else if (basis == tet20) {
    t = 0.33333333333333;
    t2 = 2 * t;
  } else {
    rtlib_fatal_in("meshpde3_midsides3", "ILLEGAL ORDER");
  }
  int npc = elements_functions[basis];
  for (int32_t c = 1; c <= m->cells.count; c++) {
    if (!m->cells.data[c - 1].alive) continue;
    if (c % 1000 == 0) {
      if (m->status) display_update_num(m->status, status.line, m->cells.count - c);
      if (msgpump.can_wait()) msgpump.dispatch(0);
    }
    {
      vectorl &nodes = m->cells.data[c - 1].nodes;
      if (nodes.count < npc) {
        int32_t old = nodes.count;
        vectorl_resize(&nodes, npc, npc > nodes.capacity ? npc : nodes.capacity);
        for (int32_t i = old; i < npc; i++) nodes.data[i] = 0;
      }
    }
    auto corner = [&](int i) { return m->cells.data[c - 1].nodes.data[i]; };
    for (int e = 0; e < 6; e++) {
      int32_t a = corner(kEdge[e][0]), b = corner(kEdge[e][1]);
      check_generate(m, a, b, 0, c, 5 + e, t, npc, a, b);
    }
    if (basis != tet20) continue;
    for (int e = 0; e < 6; e++) {
      int32_t a = corner(kEdge[e][0]), b = corner(kEdge[e][1]);
      int32_t first = m->cells.data[c - 1].nodes.data[5 + e - 1];
      check_generate(m, a, b, 0, c, 11 + e, t2, npc, first, b);
    }
    for (int f = 0; f < 4; f++)
      check_generate(m, corner(kTriple[f][0]), corner(kTriple[f][1]), corner(kTriple[f][2]), c, 17 + f, 0, npc, 0,
                     0);
  }
  m->meshbasis = basis;
  if (m->curvegrid) {
    push_nodes(m);
    unfold_layers(m);
  }
  (void)p;
  (void)kFace;
}
