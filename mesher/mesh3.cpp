// mesh3: boundary ids, common faces, node construction, geometric neighbours and
// relaxation of tetrahedral meshes.
#include "mesher/mesh3.h"

#include <array>
#include <cmath>
#include <cstring>
#include <vector>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "domain/domain.h"
#include "domain/faces.h"
#include "elements/elements.h"
#include "elements/meshes.h"
#include "mesher/cornergrid.h"
#include "mesher/meshpde3.h"
#include "graphics/display.h"
#include "runtime/math.h"
#include "runtime/rtlib.h"

Mesh3Status::Mesh3Status(pad *p, const char *label, int32_t value) : panel(p) {
  if (!panel) return;
  String l{uint16_t(strlen(label)), 0, const_cast<char *>(label)};
  line = display_report_num(panel, 0, &l, value);
}
Mesh3Status::~Mesh3Status() {
  if (panel) display_unreport(panel, line);
}

int mesh3_init() {
  TRACE("mesh3");
  return 0;
}

namespace {

// Corners of face f (opposite corner f) and the six edges, 0-based.
const int kFace[4][3] = {{1, 3, 2}, {2, 3, 0}, {3, 1, 0}, {0, 1, 2}};
const int kEdge[6][2] = {{1, 2}, {2, 0}, {0, 1}, {3, 0}, {3, 1}, {3, 2}};

MeshNode &node_of(Mesh *m, int32_t n) { return m->nodes.data[n - 1]; }

// The faces a boundary node lies on: its joint's or edge's face list, or its own face.
struct FaceSpan {
  const uint16_t *data;
  int32_t count;
  uint16_t own;
};
FaceSpan faces_of(Mesh *m, const MeshNode &n) {
  const Domain *d = m->domain;
  if (n.kind == 1 && n.id >= 1 && n.id <= d->joints.count) {
    const vectorn &l = d->joints.data[n.id - 1].faces;
    return {l.data, l.count, 0};
  }
  if (n.kind == 2 && n.id >= 1 && n.id <= d->edges.count) {
    const vectorn &l = d->edges.data[n.id - 1].face_list;
    return {l.data, l.count, 0};
  }
  if (n.kind == 3) return {nullptr, 1, n.id};
  return {nullptr, 0, 0};
}
uint16_t face_at(const FaceSpan &s, int32_t i) { return s.data ? s.data[i] : s.own; }
// Whether node n, on sheet `own`, is a node that sheet shares with sheet `other` of the
// same base region r one level away, where the layer between them pinches (within the
// tolerance of its spacing the extrusion shares it by), and the layer is open at the
// middle of the side from n to o (where the sheets coincide along the side, it stays on
// n's own sheet).
bool pinched_toward(const Domain *d, const MeshNode &n, const MeshNode &o, uint16_t own, uint16_t other, uint16_t r) {
  if (std::abs(int(own) - int(other)) != 1) return false;
  const double sx = d->shear[0], sy = d->shear[1], tol = d->grid.tolerance;
  double x = n.x - n.z * sx, y = n.y - n.z * sy;
  if (!(std::fabs(meshpde3_sheet_z(d, other, r, x, y) - n.z) <= std::max(tol, mesh3_shared_sheet * double(n.spacing))))
    return false;
  double mx = (x + o.x - o.z * sx) / 2, my = (y + o.y - o.z * sy) / 2;
  return std::fabs(meshpde3_sheet_z(d, other, r, mx, my) - meshpde3_sheet_z(d, own, r, mx, my)) > tol;
}

// Whether the side from boundary node n to node o lies on sheet face f though n lies on
// another sheet's face (its own, or one of its edge's or joint's): n is a node the two
// sheets share where the layer between them pinches, and the layer is open along the side.
bool shared_by_sheet(Mesh *m, const MeshNode &n, const MeshNode &o, uint16_t f) {
  const Domain *d = m->domain;
  if (f < 1 || f > d->faces.count) return false;
  const face &F = d->faces.data[f - 1];
  if (F.type != 0) return false;
  FaceSpan s = faces_of(m, n);
  for (int32_t i = 0; i < s.count; i++) {
    uint16_t g = face_at(s, i);
    if (g < 1 || g > d->faces.count) continue;
    const face &O = d->faces.data[g - 1];
    if (O.type == 0 && O.base == F.base && pinched_toward(d, n, o, O.level, F.level, F.base)) return true;
  }
  return false;
}

// The base region of an extrusion edge: that of the larger of its first two regions.
uint16_t edge_base_region(const Domain *d, const Edge &E) {
  uint16_t r = std::max(E.side_regions[0], E.side_regions[1]);
  uint16_t R = d->base ? d->base->regions.count : 0;
  return r >= 1 && R ? uint16_t((r - 1) % R + 1) : 0;
}

// The edge of the side from edge node n to boundary node o where n is a node two sheets
// share: an edge of o's over the same base edge as n's, on the sheet one level away, which
// meets n's own where the layer pinches and parts from it along the side.
uint16_t edge_across_pinch(Mesh *m, const MeshNode &n, const MeshNode &o) {
  const Domain *d = m->domain;
  if (n.kind != 2 || n.id < 1 || n.id > d->edges.count) return 0;
  const Edge &N = d->edges.data[n.id - 1];
  if (N.shape != SHAPE_EXTRUD) return 0;
  const uint16_t *list = &o.id;
  int32_t count = o.kind == 2 ? 1 : 0;
  if (o.kind == 1 && o.id >= 1 && o.id <= d->joints.count)
    list = d->joints.data[o.id - 1].edges.data, count = d->joints.data[o.id - 1].edges.count;
  for (int32_t i = 0; i < count; i++) {
    uint16_t e = list[i];
    if (e < 1 || e > d->edges.count || e == n.id) continue;
    const Edge &E = d->edges.data[e - 1];
    if (E.shape != SHAPE_EXTRUD || E.source != N.source || E.shapedata.base != N.shapedata.base) continue;
    uint16_t r = edge_base_region(d, E);
    if (r && r == edge_base_region(d, N) && pinched_toward(d, n, o, N.surface, E.surface, r)) return e;
  }
  return 0;
}

bool lies_on(Mesh *m, const MeshNode &n, uint16_t f) {
  FaceSpan s = faces_of(m, n);
  for (int32_t i = 0; i < s.count; i++)
    if (face_at(s, i) == f) return true;
  return false;
}

bool boundary(const MeshNode &n) { return n.kind >= 1 && n.kind <= 3; }

// Whether the three nodes lie on face f together: each on it, or (where two sheets share
// a node) shared onto it from the sheet beside, with the layer open toward a node of the
// three that lies on f itself.
bool on_face(Mesh *m, const MeshNode *const n[3], uint16_t f) {
  bool on[3], any = false;
  for (int i = 0; i < 3; i++) any = (on[i] = lies_on(m, *n[i], f)) || any;
  if (!any) return false;
  for (int i = 0; i < 3; i++) {
    if (on[i]) continue;
    bool shared = false;
    for (int j = 0; j < 3 && !shared; j++) shared = on[j] && shared_by_sheet(m, *n[i], *n[j], f);
    if (!shared) return false;
  }
  return true;
}

// The shape of a domain edge, an extrusion edge giving its base edge's.
int32_t edge_shape(const Domain *d, uint16_t e) {
  const Edge &E = d->edges.data[e - 1];
  if (E.shape != SHAPE_EXTRUD) return E.shape;
  const edgetable *base = static_cast<const edgetable *>(E.shapedata.base);
  if (base && E.source >= 1 && E.source <= base->count) return base->data[E.source - 1].shape;
  return SHAPE_LINE;
}
bool straight(int32_t shape) { return shape == SHAPE_LINE || shape == SHAPE_LINE3; }

// Whether an extruded edge lies on a sheet that is not flat (where a sheet meets a side):
// a straight base edge lifted onto it is a curve.
bool on_bent_sheet(const Domain *d, uint16_t e) {
  const Edge &E = d->edges.data[e - 1];
  return E.shape == SHAPE_EXTRUD && E.surface >= 1 && E.surface <= d->flat.count && !d->flat.data[E.surface - 1];
}

// Whether a domain face is curved: a vertical face over a curved base edge, or a sheet
// face on a sheet that is not flat.
bool curved_face(const Domain *d, uint16_t f) {
  if (f < 1 || f > d->faces.count) return false;
  const face &F = d->faces.data[f - 1];
  if (F.type == 1) {
    const Domain *b = d->base ? d->base : d;
    if (F.base >= 1 && F.base <= b->edges.count) return b->edges.data[F.base - 1].shape != SHAPE_LINE;
    return false;
  }
  if (F.type == 0) return F.level >= 1 && F.level <= d->flat.count && !d->flat.data[F.level - 1];
  return false;
}

// The region of base region r in layer k (0 when the map is not there).
uint16_t layer_region(const Domain *d, uint16_t k, uint16_t r) {
  const vector2n &map = d->maps[3];
  if (k < 1 || k > map.count) return 0;
  const vectorn &row = map.data[k - 1];
  return r >= 1 && r <= row.count ? row.data[r - 1] : 0;
}

}  // namespace

uint16_t mesh3_common_face_1(Mesh *m, int32_t a, int32_t b, int32_t c, uint16_t region) {
  TRACE("mesh3_common_face_1");
  const Domain *d = m->domain;
  const MeshNode *n[3] = {&node_of(m, a), &node_of(m, b), &node_of(m, c)};
  for (auto *x : n)
    if (!boundary(*x)) return 0;
  // 2.-4. Candidates from every node's list, on all three nodes, bordering the region.
  uint16_t cand[64];
  int count = 0;
  for (auto *x : n) {
    FaceSpan s = faces_of(m, *x);
    for (int32_t i = 0; i < s.count; i++) {
      uint16_t f = face_at(s, i);
      if (f < 1 || f > d->faces.count) continue;
      bool seen = false;
      for (int k = 0; k < count; k++) seen = seen || cand[k] == f;
      if (seen) continue;
      if (!on_face(m, n, f)) continue;
      const face &F = d->faces.data[f - 1];
      if (F.regions[0] != region && F.regions[1] != region) continue;
      if (count == 64) rtlib_fatal_in("mesh3_common_face_1", "Ambiguous Common_Face");
      cand[count++] = f;
    }
  }
  // 5. One face; two sheets meeting: the face of the layer that holds the region.
  if (count == 0) return 0;
  if (count == 1) return cand[0];
  if (count > 2) rtlib_fatal_in("mesh3_common_face_1", "Ambiguous Common_Face");
  const face &F1 = d->faces.data[cand[0] - 1], &F2 = d->faces.data[cand[1] - 1];
  if (F1.type != 0 || F2.type != 0) return 0;
  uint16_t result = 0;
  for (uint16_t k = 1; k <= d->maps[3].count; k++) {
    if (layer_region(d, k, F1.base) == region)
      result = cand[0];
    else if (layer_region(d, k, F2.base) == region)
      result = cand[1];
  }
  return result;
}

uint16_t mesh3_common_edge(Mesh *m, int32_t a, int32_t b) {
  TRACE("mesh3_common_edge");
  if (uint16_t e = meshes_common_edge(m, a, b)) return e;
  // A node two sheets share lies on the lower sheet's edge: a side from it to a node of the
  // upper sheet's edge over the same base edge lies on that edge.
  if (!m->domain || !m->domain->base) return 0;
  const MeshNode &na = node_of(m, a), &nb = node_of(m, b);
  if (uint16_t e = edge_across_pinch(m, na, nb)) return e;
  return edge_across_pinch(m, nb, na);
}

uint16_t mesh3_common_face_0(Mesh *m, int32_t a, int32_t b) {
  TRACE("mesh3_common_face_0");
  const MeshNode &na = node_of(m, a), &nb = node_of(m, b);
  if (!boundary(na) || !boundary(nb)) return 0;
  FaceSpan s = faces_of(m, na);
  for (int32_t i = 0; i < s.count; i++)
    if (uint16_t f = face_at(s, i); f && lies_on(m, nb, f)) return f;
  // A node two sheets share lists the lower one: a side from it to a node of the upper
  // sheet lies on that sheet.
  for (int32_t i = 0; i < s.count; i++)
    if (uint16_t f = face_at(s, i); f && shared_by_sheet(m, nb, na, f)) return f;
  FaceSpan t = faces_of(m, nb);
  for (int32_t i = 0; i < t.count; i++)
    if (uint16_t f = face_at(t, i); f && shared_by_sheet(m, na, nb, f)) return f;
  return 0;
}

void mesh3_fix_bdid3(Mesh *m, int32_t c) {
  TRACE("mesh3_fix_bdid3");
  const Domain *d = m->domain;
  MeshCell &cell = m->cells.data[c - 1];
  // 1. Straight and inside until shown otherwise.
  for (auto &b : cell.bdid) b = 0;
  cell.basis = m->curveall ? m->meshbasis : tet4;
  cell.hasbound = 0;
  // 2. At least two boundary corners.
  int32_t corner[4];
  int bcount = 0;
  for (int i = 0; i < 4; i++) {
    corner[i] = cell.nodes.data[i];
    bcount += boundary(node_of(m, corner[i]));
  }
  if (bcount < 2) return;
  auto may_curve = [&] { return cell.basis != m->meshbasis && m->curvegrid && m->meshbasis != tet4; };
  // 3. The faces.
  for (int f = 0; f < 4; f++) {
    uint16_t id =
        mesh3_common_face_1(m, corner[kFace[f][0]], corner[kFace[f][1]], corner[kFace[f][2]], cell.region);
    MeshCell &C = m->cells.data[c - 1];
    C.bdid[f] = id;
    if (!id) continue;
    C.hasbound = 1;
    for (int i = 0; i < 3; i++) meshes_insert_fnode(m, id, corner[kFace[f][i]]);
    if (may_curve() && curved_face(d, id)) m->cells.data[c - 1].basis = m->meshbasis;
  }
  // 4. The edges.
  if (!may_curve()) return;
  for (const auto &e : kEdge) {
    int32_t a = corner[e[0]], b = corner[e[1]];
    if (!boundary(node_of(m, a)) || !boundary(node_of(m, b))) continue;
    bool curved = false;
    if (uint16_t de = mesh3_common_edge(m, a, b)) curved = !straight(edge_shape(d, de)) || on_bent_sheet(d, de);
    else if (uint16_t f = mesh3_common_face_0(m, a, b))
      curved = curved_face(d, f);
    if (curved) {
      m->cells.data[c - 1].basis = m->meshbasis;
      return;
    }
  }
}

int32_t mesh3_new_layout_node_1(Mesh *m, double x, double y, double z, double spacing, uint16_t id) {
  int32_t n = meshes_new_node_1(m, x, y, z, id);
  m->nodes.data[n - 1].spacing = float(spacing);
  return n;
}

void mesh3_resolve_table_nabors3(Mesh *m) {
  TRACE("mesh3_resolve_table_nabors3");
  auto P = [m](int32_t n) {
    const MeshNode &N = m->nodes.data[n - 1];
    return std::array<double, 3>{N.x, N.y, N.z};
  };
  auto near = [](const std::array<double, 3> &u, const std::array<double, 3> &v, double tol) {
    return std::fabs(u[0] - v[0]) <= tol && std::fabs(u[1] - v[1]) <= tol && std::fabs(u[2] - v[2]) <= tol;
  };
  int32_t count = m->cells.count;
  // Each open face is linked to the first later cell (lowest number, then lowest face)
  // with a coinciding face; such a cell has a corner near the face's first corner, so
  // only the cells the corner index gives for that corner are tried.
  std::vector<double> tols(size_t(count) + 1, 0);
  double widest = 0;
  for (int32_t i = 1; i <= count; i++) {
    const MeshCell &ci = m->cells.data[i - 1];
    if (!ci.alive) continue;
    auto e = P(ci.nodes.data[0]), g = P(ci.nodes.data[1]);
    double len = std::sqrt((e[0] - g[0]) * (e[0] - g[0]) + (e[1] - g[1]) * (e[1] - g[1]) + (e[2] - g[2]) * (e[2] - g[2]));
    double vol = std::fabs(meshes_cell_area_1(m, i));
    widest = std::max(widest, tols[i] = 0.01 * (vol > 0 ? math_croot_0(vol, len > 0 ? len : 1) : 0));
  }
  CornerGrid grid;
  cornergrid_build(&grid, m, 4, 3, widest);
  std::vector<int32_t> candidates;
  for (int32_t i = 1; i <= count; i++) {
    if (!m->cells.data[i - 1].alive) continue;
    for (int f = 0; f < 4; f++) {
      MeshCell &ci = m->cells.data[i - 1];
      if (ci.neighbour[f] > 0) continue;
      double tol = tols[i];
      auto p = P(ci.nodes.data[kFace[f][0]]), q = P(ci.nodes.data[kFace[f][1]]), r = P(ci.nodes.data[kFace[f][2]]);
      cornergrid_cells_near(&grid, m, p.data(), tol, i, &candidates);
      bool found = false;
      for (size_t k = 0; k < candidates.size() && !found; k++) {
        int32_t j = candidates[k];
        MeshCell &cj = m->cells.data[j - 1];
        for (int g2 = 0; g2 < 4 && !found; g2++) {
          auto A = P(cj.nodes.data[kFace[g2][0]]), B = P(cj.nodes.data[kFace[g2][1]]), C = P(cj.nodes.data[kFace[g2][2]]);
          if ((near(p, C, tol) && near(q, B, tol) && near(r, A, tol)) ||
              (near(p, B, tol) && near(q, A, tol) && near(r, C, tol)) ||
              (near(p, A, tol) && near(q, C, tol) && near(r, B, tol))) {
            m->cells.data[i - 1].neighbour[f] = j;
            cj.neighbour[g2] = i;
            found = true;
          }
        }
      }
    }
  }
}

// The volume of a tetrahedron over the cube of its mean edge length, scaled so that
// the regular one has 1; with the sign of its volume.
static double tet_shape(const double (*q)[3]) {
  double u[3][3], l2 = 0;
  for (int i = 0; i < 3; i++)
    for (int t = 0; t < 3; t++) u[i][t] = q[i + 1][t] - q[0][t];
  double v = (u[0][0] * (u[1][1] * u[2][2] - u[1][2] * u[2][1]) - u[0][1] * (u[1][0] * u[2][2] - u[1][2] * u[2][0]) +
              u[0][2] * (u[1][0] * u[2][1] - u[1][1] * u[2][0])) /
             6;
  for (const auto &e : kEdge)
    for (int t = 0; t < 3; t++) l2 += (q[e[0]][t] - q[e[1]][t]) * (q[e[0]][t] - q[e[1]][t]);
  double l = std::sqrt(l2 / 6);
  return l > 0 ? 6 * std::sqrt(2.0) * v / (l * l * l) : 0;
}

// Two lanes of doubles, each taking the scalar operations in the same order.
typedef double lanes2 __attribute__((vector_size(16)));

// tet_shape of two tetrahedra at once (corner i's coordinate t of tetrahedron j in
// q[i][t][j]), each lane with the bits tet_shape gives it: the long chain of the edge
// sum is walked once for both.
static void tet_shape2(const lanes2 (*q)[3], double out[2]) {
  lanes2 u[3][3], l2 = {0, 0};
  for (int i = 0; i < 3; i++)
    for (int t = 0; t < 3; t++) u[i][t] = q[i + 1][t] - q[0][t];
  lanes2 v = (u[0][0] * (u[1][1] * u[2][2] - u[1][2] * u[2][1]) - u[0][1] * (u[1][0] * u[2][2] - u[1][2] * u[2][0]) +
              u[0][2] * (u[1][0] * u[2][1] - u[1][1] * u[2][0])) /
             6;
#pragma GCC unroll 6
  for (const auto &e : kEdge)
#pragma GCC unroll 3
    for (int t = 0; t < 3; t++) {
      lanes2 d = q[e[0]][t] - q[e[1]][t];
      l2 += d * d;
    }
  lanes2 w = l2 / 6, l;
#ifdef __SSE2__
  l = _mm_sqrt_pd(w);
#else
  l = lanes2{std::sqrt(w[0]), std::sqrt(w[1])};
#endif
  // A lane with l = 0 takes 0 and divides by 1 instead.
  auto some = l > 0;
  lanes2 shape = 6 * std::sqrt(2.0) * v / (some ? l * l * l : lanes2{1, 1});
  for (int j = 0; j < 2; j++) out[j] = some[j] ? shape[j] : 0;
}

void mesh3_relax_mesh3(Mesh *m) {
  TRACE("mesh3_relax_mesh3");
  int32_t n = m->nodes.count;
  // Per node: its place over its spacing and the inverse spacing (each pair reads
  // them instead of dividing again), and the running sums; only nodes that move take
  // sums.
  struct Pull {
    double x, y, z, w;
  };
  std::vector<Pull> pull(n + 1), sum(n + 1);
  std::vector<uint8_t> moves(n + 1, 0);
  for (int32_t k = 1; k <= n; k++) {
    const MeshNode &N = m->nodes.data[k - 1];
    moves[k] = N.alive && N.kind == 0;
  }
  // The cells around every moving node, with the sign each had before relaxation: a
  // move is taken only when none of them turns over or falls below both the worst of
  // them before the move and a floor, so that relaxation never tangles the mesh.
  std::vector<int32_t> first(n + 2, 0), around;
  for (int32_t c = 1; c <= m->cells.count; c++)
    if (m->cells.data[c - 1].alive)
      for (int i = 0; i < 4; i++) first[m->cells.data[c - 1].nodes.data[i]]++;
  for (int32_t k = 1; k <= n + 1; k++) first[k] += first[k - 1];
  around.resize(size_t(first[n + 1]));
  for (int32_t c = m->cells.count; c >= 1; c--)
    if (m->cells.data[c - 1].alive)
      for (int i = 0; i < 4; i++) around[size_t(--first[m->cells.data[c - 1].nodes.data[i]])] = c;
  std::vector<int8_t> sign(size_t(m->cells.count) + 1, 1);
  // The places of the nodes and the corners of the cells, packed close: the passes
  // read them over and over, and the node and cell records hold much else.
  std::vector<std::array<double, 3>> place(size_t(n) + 1);
  for (int32_t k = 1; k <= n; k++) {
    const MeshNode &N = m->nodes.data[k - 1];
    place[size_t(k)] = {N.x, N.y, N.z};
  }
  std::vector<std::array<int32_t, 4>> corner(size_t(m->cells.count) + 1);
  for (int32_t c = 1; c <= m->cells.count; c++)
    if (m->cells.data[c - 1].alive)
      for (int i = 0; i < 4; i++) corner[size_t(c)][size_t(i)] = m->cells.data[c - 1].nodes.data[i];
  auto shape = [&place, &corner](int32_t c, int32_t k, const double *at) {
    double q[4][3];
    const int32_t *v = corner[size_t(c)].data();
    for (int i = 0; i < 4; i++) {
      const double *N = place[size_t(v[i])].data();
      q[i][0] = v[i] == k ? at[0] : N[0], q[i][1] = v[i] == k ? at[1] : N[1], q[i][2] = v[i] == k ? at[2] : N[2];
    }
    return tet_shape(q);
  };
  // shape for the cells a and b together, into out[0] and out[1].
  auto shape2 = [&place, &corner](int32_t a, int32_t b, int32_t k, const double *at, double out[2]) {
    lanes2 q[4][3];
    const int32_t *va = corner[size_t(a)].data(), *vb = corner[size_t(b)].data();
    for (int i = 0; i < 4; i++) {
      const double *A = va[i] == k ? at : place[size_t(va[i])].data();
      const double *B = vb[i] == k ? at : place[size_t(vb[i])].data();
      for (int t = 0; t < 3; t++) q[i][t] = lanes2{A[t], B[t]};
    }
    tet_shape2(q, out);
  };
  // Each cell's signed shape as the mesh stands, brought up to date with every move.
  std::vector<double> now(size_t(m->cells.count) + 1, 0.0), next;
  for (int32_t c = 1; c <= m->cells.count; c++)
    if (m->cells.data[c - 1].alive) {
      now[size_t(c)] = shape(c, 0, nullptr);
      sign[c] = now[size_t(c)] < 0 ? -1 : 1;
      now[size_t(c)] *= sign[c];
    }
  const double floor = 0.05;
  for (int pass = 1; pass <= 21; pass++) {
    // 1.-2. Spacing-weighted sums over every ordered pair of distinct corners.
    for (int32_t k = 1; k <= n; k++) {
      const MeshNode &B = m->nodes.data[k - 1];
      const double *P = place[size_t(k)].data();
      double h = B.spacing > 0 ? double(B.spacing) : 1.0;
      pull[k] = {P[0] / h, P[1] / h, P[2] / h, 1 / h};
    }
    std::fill(sum.begin(), sum.end(), Pull{0, 0, 0, 0});
    for (int32_t c = 1; c <= m->cells.count; c++) {
      if (!m->cells.data[c - 1].alive) continue;
      const int32_t *v = corner[size_t(c)].data();
      for (int i = 0; i < 4; i++) {
        if (!moves[v[i]]) continue;
        Pull &s = sum[v[i]];
        for (int j = 0; j < 4; j++) {
          if (i == j) continue;
          const Pull &b = pull[v[j]];
          s.x += b.x, s.y += b.y, s.z += b.z, s.w += b.w;
        }
      }
    }
    // 3. Interior nodes move half-way; the measure is the squared distance from each
    // node's old place to its weighted mean.
    double measure = 0;
    for (int32_t k = 1; k <= n; k++) {
      MeshNode &N = m->nodes.data[k - 1];
      if (!moves[k] || sum[k].w == 0) continue;
      double mx = sum[k].x / sum[k].w, my = sum[k].y / sum[k].w, mz = sum[k].z / sum[k].w;
      measure += (mx - N.x) * (mx - N.x) + (my - N.y) * (my - N.y) + (mz - N.z) * (mz - N.z);
      double to[3] = {(mx + N.x) / 2, (my + N.y) / 2, (mz + N.z) / 2};
      double before = floor, after = 1;
      next.clear();
      // The shapes two cells at a time (the last one alone paired with itself), all of
      // them before the least is taken, so that the pairs' long sums overlap.
      int32_t b = first[k], e = first[k + 1];
      next.resize(size_t(e - b) + 1);
      for (int32_t i = b; i < e; i += 2) {
        int32_t c = around[size_t(i)], d = i + 1 < e ? around[size_t(i) + 1] : c;
        shape2(c, d, k, to, &next[size_t(i - b)]);
      }
      for (int32_t i = b; i < e; i++) {
        int32_t c = around[size_t(i)];
        double &x = next[size_t(i - b)];
        x = sign[c] * x;
        before = std::min(before, now[size_t(c)]);
        after = std::min(after, x);
      }
      if (after > 0 && after >= before) {
        N.x = to[0], N.y = to[1], N.z = to[2];
        place[size_t(k)] = {to[0], to[1], to[2]};
        for (int32_t i = first[k]; i < first[k + 1]; i++) now[size_t(around[size_t(i)])] = next[size_t(i - first[k])];
      }
    }
    // 4. Stop once the nodes barely move.
    if (std::sqrt(measure) < 0.001) break;
  }
}

double mesh3_least_dihedral(Mesh *m, int32_t *cell) {
  TRACE("mesh3_least_dihedral");
  double least = 180;
  *cell = 0;
  for (int32_t c = 1; c <= m->cells.count; c++) {
    const MeshCell &C = m->cells.data[c - 1];
    if (!C.alive || C.nodes.count < 4) continue;
    double q[4][3];
    for (int i = 0; i < 4; i++) {
      const MeshNode &N = m->nodes.data[C.nodes.data[i] - 1];
      q[i][0] = N.x, q[i][1] = N.y, q[i][2] = N.z;
    }
    // At each edge, the angle between the normals of the two faces that meet there.
    for (const auto &e : kEdge) {
      int a = e[0], b = e[1], o[2], k = 0;
      for (int i = 0; i < 4; i++)
        if (i != a && i != b) o[k++] = i;
      double u[3], v[3], w[3], n1[3], n2[3];
      for (int t = 0; t < 3; t++) u[t] = q[b][t] - q[a][t], v[t] = q[o[0]][t] - q[a][t], w[t] = q[o[1]][t] - q[a][t];
      n1[0] = u[1] * v[2] - u[2] * v[1], n1[1] = u[2] * v[0] - u[0] * v[2], n1[2] = u[0] * v[1] - u[1] * v[0];
      n2[0] = u[1] * w[2] - u[2] * w[1], n2[1] = u[2] * w[0] - u[0] * w[2], n2[2] = u[0] * w[1] - u[1] * w[0];
      double x[3] = {n1[1] * n2[2] - n1[2] * n2[1], n1[2] * n2[0] - n1[0] * n2[2], n1[0] * n2[1] - n1[1] * n2[0]};
      double angle = std::atan2(std::sqrt(x[0] * x[0] + x[1] * x[1] + x[2] * x[2]),
                                n1[0] * n2[0] + n1[1] * n2[1] + n1[2] * n2[2]) * 180 / 3.14159265358979323846;
      if (angle < least) least = angle, *cell = c;
    }
  }
  return least;
}
