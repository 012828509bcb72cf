// refine3: edge bisection of tetrahedral meshes and its undoing.
//
// Every node of a tet4, tet10 or tet20 cell sits at a point of the cell's barycentric
// lattice (numerators over the order p). Both halves of a bisected cell are lattices of
// the parent at twice the resolution, so each slot of a half is found by its position
// in the parent (numerators over 2p): a parent node when the parent has one there, else
// a new node, made once per ring and shared by the cells that meet at it. A merge reads
// the same positions the other way round.
#include "mesher/refine3.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "domain/domain.h"
#include "elements/elements.h"
#include "elements/meshes.h"
#include "elements/mfinder.h"
#include "elements/quature.h"
#include "mesher/mesh3.h"
#include "mesher/meshpde3.h"
#include "mesher/refine1.h"
#include "mesher/refine2.h"
#include "runtime/math.h"
#include "runtime/rtlib.h"

int refine3_init() {
  TRACE("refine3");
  return 0;
}

namespace {

MeshCell &cell_at(Mesh *m, int32_t c) { return m->cells.data[c - 1]; }
MeshNode &node_at(Mesh *m, int32_t n) { return m->nodes.data[n - 1]; }

// Edge slots 5..10: corners (2,3), (3,1), (1,2), (1,4), (2,4), (3,4), 0-based.
const int kSlotEdge[6][2] = {{1, 2}, {2, 0}, {0, 1}, {0, 3}, {1, 3}, {2, 3}};

// Barycentric numerators of every node slot, over the order p.
const uint8_t kLat4[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
const uint8_t kLat10[10][4] = {{2, 0, 0, 0}, {0, 2, 0, 0}, {0, 0, 2, 0}, {0, 0, 0, 2}, {0, 1, 1, 0},
                               {1, 0, 1, 0}, {1, 1, 0, 0}, {1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}};
// tet20: 5..10 at one third of the edges (2,3), (3,1), (1,2), (4,1), (4,2), (4,3) from
// the first-named corner, 11..16 at two thirds, 17..20 the centres of the faces
// opposite corners 1..4.
const uint8_t kLat20[20][4] = {{3, 0, 0, 0}, {0, 3, 0, 0}, {0, 0, 3, 0}, {0, 0, 0, 3}, {0, 2, 1, 0},
                               {1, 0, 2, 0}, {2, 1, 0, 0}, {1, 0, 0, 2}, {0, 1, 0, 2}, {0, 0, 1, 2},
                               {0, 1, 2, 0}, {2, 0, 1, 0}, {1, 2, 0, 0}, {2, 0, 0, 1}, {0, 2, 0, 1},
                               {0, 0, 2, 1}, {0, 1, 1, 1}, {1, 0, 1, 1}, {1, 1, 0, 1}, {1, 1, 1, 0}};

struct Lattice {
  int p, n;
  const uint8_t (*lat)[4];
};
bool lattice_of(int32_t basis, Lattice *L) {
  switch (basis) {
    case tet4: *L = {1, 4, kLat4}; return true;
    case tet10: *L = {2, 10, kLat10}; return true;
    case tet20: *L = {3, 20, kLat20}; return true;
    default: return false;
  }
}
using Pos = std::array<int, 4>;  // numerators over 2p
// The slot (0-based) at a position, -1 when no node of the lattice sits there.
int slot_at(const Lattice &L, const Pos &q) {
  for (int s = 0; s < L.n; s++) {
    bool same = true;
    for (int k = 0; k < 4 && same; k++) same = 2 * L.lat[s][k] == q[k];
    if (same) return s;
  }
  return -1;
}

int corner_of(Mesh *m, int32_t c, int32_t n) {
  for (int i = 0; i < 4; i++)
    if (cell_at(m, c).nodes.data[i] == n) return i;
  return -1;
}
double dist2(Mesh *m, int32_t u, int32_t v) {
  const MeshNode &a = node_at(m, u), &b = node_at(m, v);
  return (a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) + (a.z - b.z) * (a.z - b.z);
}
bool has(const std::vector<int32_t> &v, int32_t x) { return std::find(v.begin(), v.end(), x) != v.end(); }
bool boundary(const MeshNode &n) { return n.kind >= 1 && n.kind <= 3; }

// ---- The nesting stack ------------------------------------------------------------------

// One level: a ring of cells around an edge and the edge's slot in each.
struct Level {
  std::vector<int32_t> ring;
  std::vector<uint16_t> codes;
};
std::vector<std::unique_ptr<Level>> levels;
int32_t depth = 0;

// Pushes k levels (the stack grows by 32 when full); the guard pops them on every exit.
struct Nest {
  int32_t k, base;
  explicit Nest(int32_t n) : k(n), base(depth) {
    if (depth + k > int32_t(levels.size()))
      for (int i = 0; i < 32; i++) levels.push_back(std::make_unique<Level>());
    depth += k;
  }
  ~Nest() { depth -= k; }
  Level &at(int i) { return *levels[base + i]; }
};

// ---- Edges, rings ----------------------------------------------------------------------

// The edge slot (5..10) of the cell to split: the longest edge (the first maximum in
// slot order), unless the edge (p, q) is longer than 0.9 of it.
uint16_t longest(Mesh *m, int32_t c, int32_t p, int32_t q) {
  const int32_t *n = cell_at(m, c).nodes.data;
  double L[6];
  int best = 0;
  for (int e = 0; e < 6; e++) {
    L[e] = dist2(m, n[kSlotEdge[e][0]], n[kSlotEdge[e][1]]);
    if (L[e] > L[best]) best = e;
  }
  if (p >= 1)
    for (int e = 0; e < 6; e++) {
      int32_t u = n[kSlotEdge[e][0]], v = n[kSlotEdge[e][1]];
      if (((u == p && v == q) || (u == q && v == p)) && L[e] > 0.81 * L[best]) return uint16_t(5 + e);
    }
  return uint16_t(5 + best);
}

uint16_t slot_of(int i, int j) {
  for (int e = 0; e < 6; e++)
    if ((kSlotEdge[e][0] == i && kSlotEdge[e][1] == j) || (kSlotEdge[e][0] == j && kSlotEdge[e][1] == i))
      return uint16_t(5 + e);
  return 0;
}

// The even permutation (0-based) that begins with corners i, j.
const uint8_t *rotation(int i, int j) {
  for (const auto &r : elements_tet_rotations)
    if (r[0] == i + 1 && r[1] == j + 1) return r;
  return nullptr;
}

// Cell c's even permutation of its corners that begins with a's corner and b's (1-based
// corners), null when c lacks either node.
const uint8_t *turn_at(Mesh *m, int32_t c, int32_t a, int32_t b) {
  int i = corner_of(m, c, a), j = corner_of(m, c, b);
  return i < 0 || j < 0 ? nullptr : rotation(i, j);
}

// The cells around edge (a, b) in walking order with the edge's slot in each: each step
// crosses the face opposite the last corner of the even permutation that starts at a, b.
// An open ring is walked from its one end that covers it. An edge where two parts of the
// domain touch (two prisms of an extruded bow-tie along their common line) has its cells
// in several open fans that share no face: each is walked from its own end, one after the
// other, and the split links the halves within a fan only. No candidates: an empty ring.
void order_cells(std::vector<int32_t> &ring, std::vector<uint16_t> &codes, Mesh *m, int32_t a, int32_t b) {
  ring.clear(), codes.clear();
  std::vector<int32_t> cand;
  const vectorl &la = node_at(m, a).nodecell, &lb = node_at(m, b).nodecell;
  for (int32_t i = 0; i < la.count; i++)
    if (vectorl_inlist(&lb, la.data[i]) && cell_at(m, la.data[i]).alive) cand.push_back(la.data[i]);
  if (cand.empty()) return;
  // Walks from start until the walk leaves the candidates or meets a cell it holds.
  auto walk = [&](int32_t start) {
    for (int32_t x = start; int32_t(ring.size()) < int32_t(cand.size());) {
      const uint8_t *r = turn_at(m, x, a, b);
      if (!r || has(ring, x)) break;
      ring.push_back(x);
      codes.push_back(slot_of(r[0] - 1, r[1] - 1));
      int32_t next = cell_at(m, x).neighbour[r[3] - 1];
      if (next <= 0) break;
      x = next;
    }
  };
  for (int32_t start : cand) {
    ring.clear(), codes.clear();
    walk(start);
    if (ring.size() == cand.size()) return;
  }
  // No one walk covers them: the open fans, each from the cell no other candidate steps to.
  // Every fan must begin and end on the domain's boundary (a face with an id and no cell
  // beyond, or a periodic face); a fan that ends inside is a broken mesh.
  ring.clear(), codes.clear();
  std::vector<int32_t> reached;
  bool open = true;
  auto outward = [&](int32_t x, int corner) {
    const MeshCell &C = cell_at(m, x);
    return C.neighbour[corner - 1] < 0 || (C.neighbour[corner - 1] == 0 && C.bdid[corner - 1] != 0);
  };
  for (int32_t x : cand)
    if (const uint8_t *r = turn_at(m, x, a, b)) reached.push_back(cell_at(m, x).neighbour[r[3] - 1]);
  for (int32_t start : cand) {
    if (has(reached, start) || has(ring, start)) continue;
    size_t from = ring.size();
    walk(start);
    if (ring.size() == from) {
      open = false;
      break;
    }
    int32_t last = ring.back();
    open = open && outward(start, turn_at(m, start, a, b)[2]) && outward(last, turn_at(m, last, a, b)[3]);
  }
  if (open && ring.size() == cand.size()) return;
  char what[80];
  snprintf(what, sizeof what, "NO RING ORDER FOR EDGE %d-%d", a, b);
  rtlib_fatal_in("order_cells", what);
}

// ---- New nodes ----------------------------------------------------------------------------

// One ring cell before the split: its corner order (a, b, c, d), nodes, face ids,
// localised copy and old neighbours.
struct RingCell {
  int32_t cell;
  int ia, ib, ic, id;
  std::vector<int32_t> nodes;
  uint16_t bdid[4];
  int32_t nbr[4];
  LocalCell local;
};

// The new nodes of one split, by their position: corner nodes and numerators over 2p.
struct Made {
  std::array<int32_t, 8> key;
  int32_t node;
  double at[3];  // the parent's curved map at the position, before any push onto the domain
};
std::vector<Made> made;

std::array<int32_t, 8> key_of(const RingCell &r, const Pos &q) {
  std::array<std::pair<int32_t, int32_t>, 4> k;
  for (int i = 0; i < 4; i++) k[i] = {q[i] ? r.nodes[i] : 0, q[i]};
  std::sort(k.begin(), k.end());
  std::array<int32_t, 8> out;
  for (int i = 0; i < 4; i++) out[2 * i] = k[i].first, out[2 * i + 1] = k[i].second;
  return out;
}

void push_point(Mesh *m, int32_t n, bool on_edge, double scale) {
  MeshNode &N = node_at(m, n);
  double p[3] = {N.x, N.y, N.z};
  if (on_edge)
    meshpde3_push_to_edge(m->domain, N.id, p);
  else
    meshpde3_push_to_face(m->domain, N.id, p, scale);
  MeshNode &M = node_at(m, n);
  M.x = p[0], M.y = p[1], M.z = p[2];
}

// A new node on the split edge between its lattice neighbours u and v (toward a and
// toward b) at the straight point x: an edge node inserted between them when they share
// a domain edge, else a face node when they share a domain face, else interior.
int32_t split_node(Mesh *m, const double *x, int32_t u, int32_t v) {
  TRACE("split_node");
  int32_t n = meshes_new_node_1(m, x[0], x[1], x[2], 0);
  node_at(m, n).spacing = float(std::sqrt(dist2(m, u, v)));
  if (!boundary(node_at(m, u)) && !boundary(node_at(m, v))) return n;
  if (uint16_t e = mesh3_common_edge(m, u, v)) {
    node_at(m, n).kind = 2, node_at(m, n).id = e;
    meshes_place_bnode(m, e, u, v, n);
    int32_t shape = m->domain->edges.data[e - 1].shape;
    if (m->curvegrid && shape != SHAPE_LINE && shape != SHAPE_LINE3) push_point(m, n, true, 0);
  } else if (uint16_t f = mesh3_common_face_0(m, u, v)) {
    node_at(m, n).kind = 3, node_at(m, n).id = f;
    meshes_insert_fnode(m, f, n);
    if (m->curvegrid) push_point(m, n, false, node_at(m, n).spacing);
  }
  return n;
}

// A new node off the split edge at x: a face node of the domain face fc when it is not 0.
int32_t face_node(Mesh *m, const double *x, uint16_t fc, double spacing) {
  TRACE("face_node");
  int32_t n = meshes_new_node_1(m, x[0], x[1], x[2], 0);
  node_at(m, n).spacing = float(spacing);
  if (fc) {
    node_at(m, n).kind = 3, node_at(m, n).id = fc;
    meshes_insert_fnode(m, fc, n);
    if (m->curvegrid) push_point(m, n, false, spacing);
  }
  return n;
}

// The node of ring cell r at position q (numerators over 2p in r's corner order): the
// parent's node there, or the ring's new node there, made now when it is the first.
int32_t node_for(Mesh *m, const Lattice &L, RingCell &r, const Pos &q, vectorvd *values) {
  int s = slot_at(L, q);
  if (s >= 0) return r.nodes[s];
  auto key = key_of(r, q);
  for (const Made &x : made)
    if (x.key == key) return x.node;
  // Every new node starts on the straight map of the half that holds it, whose corners are
  // a, b, c, d and the split point M: a half's inner edges are straight, and a bend of the
  // parent (which may fold it) is not handed down. A node on a domain face or edge is then
  // pushed onto it.
  const int ia = r.ia, ib = r.ib;
  Pos qm{0, 0, 0, 0};
  qm[ia] = qm[ib] = L.p;
  double lam[4], lm = 0, xyz[3] = {0, 0, 0}, Mp[3] = {0, 0, 0};
  for (int k = 0; k < 4; k++) lam[k] = q[k];
  if (q != qm) {
    lm = 2.0 * std::min(q[ia], q[ib]);
    lam[ia] -= lm / 2, lam[ib] -= lm / 2;
    const MeshNode &M = node_at(m, node_for(m, L, r, qm, values));
    Mp[0] = M.x, Mp[1] = M.y, Mp[2] = M.z;
  }
  for (int k = 0; k < 4; k++) {
    const MeshNode &C = node_at(m, r.nodes[k]);
    xyz[0] += lam[k] * C.x, xyz[1] += lam[k] * C.y, xyz[2] += lam[k] * C.z;
  }
  for (int t = 0; t < 3; t++) xyz[t] = (xyz[t] + lm * Mp[t]) / (2.0 * L.p);
  int support = 0, off = -1;
  for (int k = 0; k < 4; k++) {
    support += q[k] != 0;
    if (!q[k]) off = k;
  }
  int32_t n;
  if (support == 2) {
    // On the split edge: between its lattice neighbours toward a and toward b.
    Pos qa = q, qb = q;
    qa[ia]++, qa[ib]--, qb[ia]--, qb[ib]++;
    n = split_node(m, xyz, r.nodes[slot_at(L, qa)], r.nodes[slot_at(L, qb)]);
  } else if (q[ia] == q[ib] && support == 3) {
    // On an inner edge from the midpoint, between the lattice points beside it.
    int j = 6 - ia - ib - off;
    const MeshNode &A = node_at(m, r.nodes[ia]), &B = node_at(m, r.nodes[ib]), &C = node_at(m, r.nodes[j]);
    double span = std::hypot(A.x + B.x - 2 * C.x, A.y + B.y - 2 * C.y, A.z + B.z - 2 * C.z) / L.p;
    n = face_node(m, xyz, r.bdid[off], span);
  } else {
    // A face centre or an inner point.
    double v = std::fabs(r.local.frame.measure);
    n = face_node(m, xyz, support == 3 ? r.bdid[off] : 0, v > 0 ? std::cbrt(v) : 0);
  }
  made.push_back({key, n, {xyz[0], xyz[1], xyz[2]}});
  if (values && values->count) meshes_nodalu(m, n, values, &r.local, m->meshbasis);
  return n;
}

// ---- Splitting -------------------------------------------------------------------------

// Positions (over 2) of the corners of each half in the parent's corner order: the kept
// half (a, M, c, d) in the parent's own order with b replaced by M, and the new half
// (b, M, d, c).
void half_corners(const RingCell &r, bool kept, Pos w[4]) {
  auto unit = [](int k) {
    Pos p{0, 0, 0, 0};
    p[k] = 2;
    return p;
  };
  Pos mid{0, 0, 0, 0};
  mid[r.ia] = 1, mid[r.ib] = 1;
  if (kept) {
    for (int k = 0; k < 4; k++) w[k] = unit(k);
    w[r.ib] = mid;
  } else {
    w[0] = unit(r.ib), w[1] = mid, w[2] = unit(r.id), w[3] = unit(r.ic);
  }
}

void half_nodes(Mesh *m, const Lattice &L, RingCell &r, bool kept, vectorvd *values, std::vector<int32_t> *out) {
  Pos w[4];
  half_corners(r, kept, w);
  out->resize(L.n);
  for (int s = 0; s < L.n; s++) {
    Pos q{0, 0, 0, 0};
    for (int k = 0; k < 4; k++)
      for (int j = 0; j < 4; j++) q[j] += L.lat[s][k] * w[k][j];
    (*out)[s] = node_for(m, L, r, q, values);
  }
}

void set_nodes(Mesh *m, int32_t c, const std::vector<int32_t> &nodes) {
  vectorl &l = cell_at(m, c).nodes;
  if (l.count < int32_t(nodes.size()) || l.capacity < int32_t(nodes.size()))
    vectorl_resize(&l, int32_t(nodes.size()), std::max(l.capacity, int32_t(nodes.size())));
  l.count = int32_t(nodes.size());
  std::copy(nodes.begin(), nodes.end(), l.data);
}

// The sign of the determinant of the frame's last Jacobian (columns dx/dL1..dx/dL3).
double jacobian_det(const ElementFrame &f) {
  const double(*J)[4] = f.J;
  return J[0][0] * (J[1][1] * J[2][2] - J[1][2] * J[2][1]) - J[0][1] * (J[1][0] * J[2][2] - J[1][2] * J[2][0]) +
         J[0][2] * (J[1][0] * J[2][1] - J[1][1] * J[2][0]);
}

// Whether the cell on these nodes has a Jacobian of the given sign at every corner and at
// every point of the interior rule the solver integrates with.
bool keeps_sign(Mesh *m, const std::vector<int32_t> &nodes, double sign, int32_t basis) {
  static const LocalPoint corners[4] = {{{1, 0, 0, 0}}, {{0, 1, 0, 0}}, {{0, 0, 1, 0}}, {{0, 0, 0, 1}}};
  double xyz[20][3];
  for (size_t k = 0; k < nodes.size() && k < 20; k++) {
    const MeshNode &N = node_at(m, nodes[k]);
    xyz[k][0] = N.x, xyz[k][1] = N.y, xyz[k][2] = N.z;
  }
  ElementFrame f;
  elements_localize(&f, xyz, basis, basis);
  auto good = [&](const double *L) {
    elements_jacobian(L, &f);
    return jacobian_det(f) * sign > 0;
  };
  for (const LocalPoint &c : corners)
    if (!good(c.L)) return false;
  if (basis == tet4) return true;
  const QuadRule *r = quature_rule(11);
  for (int q = 0; q < r->count; q++)
    if (!good(r->points[q].L)) return false;
  return true;
}

// Whether the curved cell's Jacobian changes sign (or vanishes) at its corners or rule points.
bool folded(Mesh *m, int32_t c) {
  const MeshCell &C = cell_at(m, c);
  if (C.basis != tet10 && C.basis != tet20) return false;
  LocalCell local;
  meshes_localize(m, &C, &local, 0);
  if (!local.frame.curved) return false;
  double sign = jacobian_det(local.frame);
  std::vector<int32_t> nodes(C.nodes.data, C.nodes.data + elements_functions[C.basis]);
  return sign == 0 || !keeps_sign(m, nodes, sign, C.basis);
}

// The deepest nesting at which a folded half is split again.
const int32_t kFoldDepth = 24;

// A new node pushed onto a curved domain face or edge leaves the parent's map, and where
// the sheet is steep against the cell that can fold a half (its Jacobian changes sign
// inside). Every half is checked at its rule points; while one folds, the pushed nodes are
// drawn back toward the parent's map, where the halves tile the parent exactly and keep its
// Jacobian's sign, and their field values are interpolated anew.
void keep_halves_sound(Mesh *m, const std::vector<RingCell> &rc, const std::vector<std::vector<int32_t>> &kept,
                       const std::vector<std::vector<int32_t>> &born, const std::vector<double> &sign, size_t k,
                       int32_t basis, vectorvd *values) {
  std::vector<std::array<double, 3>> pushed;
  bool any = false;
  for (const Made &x : made) {
    const MeshNode &N = node_at(m, x.node);
    pushed.push_back({N.x, N.y, N.z});
    any = any || N.x != x.at[0] || N.y != x.at[1] || N.z != x.at[2];
  }
  if (!any) return;
  auto folded = [&] {
    int count = 0;
    for (size_t i = 0; i < k; i++) {
      if (sign[i] == 0) continue;  // a degenerate parent is no worse for the split
      count += !keeps_sign(m, kept[i], sign[i], basis);
      count += !keeps_sign(m, born[i], sign[i], basis);
    }
    return count;
  };
  auto place = [&](double s) {
    for (size_t i = 0; i < made.size(); i++) {
      MeshNode &P = node_at(m, made[i].node);
      const double *a = made[i].at;
      P.x = a[0] + s * (pushed[i][0] - a[0]), P.y = a[1] + s * (pushed[i][1] - a[1]),
      P.z = a[2] + s * (pushed[i][2] - a[2]);
    }
  };
  const int on_domain = folded();
  if (!on_domain) return;
  // A fold the parent's own nodes make stays whatever the new nodes do: they stay pushed.
  place(0);
  if (folded() >= on_domain) {
    place(1);
    return;
  }
  for (double s = 0.5; s >= 1.0 / 64; s /= 2) {
    place(s);
    if (!folded()) break;
    if (s < 1.0 / 32) place(0);
  }
  if (!values || !values->count) return;
  for (size_t i = 0; i < made.size(); i++) {
    const MeshNode &P = node_at(m, made[i].node);
    if (P.x == pushed[i][0] && P.y == pushed[i][1] && P.z == pushed[i][2]) continue;
    for (size_t c = 0; c < k; c++)
      if (has(kept[c], made[i].node) || has(born[c], made[i].node)) {
        meshes_nodalu(m, made[i].node, values, const_cast<LocalCell *>(&rc[c].local), m->meshbasis);
        break;
      }
  }
}

// Bisects edge (a, b) in every cell of the ring: each old cell O keeps a (b becomes the
// midpoint M) and a new cell takes (b, M, d, c).
// Returns the first new cell; the k new cells are numbered on from it.
int32_t split_ring(Mesh *m, const Lattice &L, const std::vector<int32_t> &ring, const std::vector<uint16_t> &codes,
                   int32_t a, int32_t b, vectorvd *values, uint8_t log) {
  size_t k = ring.size();
  // Module work vectors, kept between splits (a split does not nest).
  static std::vector<RingCell> rc;
  static std::vector<std::vector<int32_t>> kept, born;
  if (rc.size() < k) rc.resize(k), kept.resize(k), born.resize(k);
  std::vector<double> sign(k);
  for (size_t i = 0; i < k; i++) {
    RingCell &r = rc[i];
    r.cell = ring[i];
    const MeshCell &O = cell_at(m, r.cell);
    int e = codes[i] - 5;
    const uint8_t *row = nullptr;
    for (const uint8_t *t : {elements_tet_rotations[2 * e], elements_tet_rotations[2 * e + 1]})
      if (O.nodes.data[t[0] - 1] == a && O.nodes.data[t[1] - 1] == b) row = t;
    if (!row) rtlib_fatal_in("split_tet4", "MISMATCH");
    r.ia = row[0] - 1, r.ib = row[1] - 1, r.ic = row[2] - 1, r.id = row[3] - 1;
    r.nodes.assign(O.nodes.data, O.nodes.data + L.n);
    for (int f = 0; f < 4; f++) r.bdid[f] = O.bdid[f], r.nbr[f] = O.neighbour[f];
    meshes_localize(m, &O, &r.local, 0);
    sign[i] = jacobian_det(r.local.frame);
  }
  // 1. The new cells; the nodes of both halves of every ring cell.
  made.clear();
  int32_t first = 0;
  for (size_t i = 0; i < k; i++) {
    int32_t c = meshes_new_cell_0(m);
    if (i == 0) first = c;
  }
  for (size_t i = 0; i < k; i++) {
    half_nodes(m, L, rc[i], true, values, &kept[i]);
    half_nodes(m, L, rc[i], false, values, &born[i]);
  }
  keep_halves_sound(m, rc, kept, born, sign, k, L.p == 1 ? tet4 : L.p == 2 ? tet10 : tet20, values);
  bool closed = k > 1 && rc[k - 1].nbr[rc[k - 1].id] == ring[0];
  // 2. Corners, neighbours, node-cell lists, estimates, flags and histories.
  for (size_t i = 0; i < k; i++) {
    const RingCell &r = rc[i];
    int32_t O = r.cell, Nw = first + int32_t(i);
    {
      MeshCell &N = cell_at(m, Nw);
      const MeshCell &P = cell_at(m, O);
      N.region = P.region, N.region2 = P.region2, N.basis = tet4, N.changed = 1;
      N.bytes.count = 0;
    }
    set_nodes(m, Nw, born[i]);
    int32_t outer = r.nbr[r.ia];
    // The ring may hold several open fans one after the other: a half is linked to the next
    // cell's half only where the parent was linked to the next cell.
    int32_t next = i + 1 < k ? (r.nbr[r.id] == ring[i + 1] ? Nw + 1 : 0) : (closed ? first : 0);
    int32_t prev = i > 0 ? (rc[i - 1].nbr[rc[i - 1].id] == r.cell ? Nw - 1 : 0) : (closed ? first + int32_t(k) - 1 : 0);
    int32_t nb[4] = {O, outer, next, prev};
    for (int f = 0; f < 4; f++) cell_at(m, Nw).neighbour[f] = nb[f];
    if (outer) meshes_fix_nabor(m, outer, O, Nw);
    set_nodes(m, O, kept[i]);
    MeshCell &C = cell_at(m, O);
    C.neighbour[r.ia] = Nw;
    C.changed = 1;
    // The nodes only the new half holds pass to it; the rest gain the halves they lack.
    for (int32_t n : r.nodes)
      if (!has(kept[i], n)) meshes_fix_nodecell(m, n, O, Nw);
    for (int32_t n : kept[i])
      if (!has(r.nodes, n)) meshes_new_nodecell(m, n, O);
    for (int32_t n : born[i]) meshes_new_nodecell(m, n, Nw);
    cell_at(m, O).error *= refine2_estimate_factor;
    cell_at(m, Nw).error = cell_at(m, O).error;
    cell_at(m, O).split = cell_at(m, Nw).split = 1;
    if (log) {
      refine1_log_split(m, O, uint8_t(r.ia + 1), uint8_t(r.ib + 1));
      refine1_log_split(m, Nw, 1, 2);
    }
  }
  // 3. Face ids, centroids, the finder.
  for (size_t i = 0; i < k; i++)
    for (int32_t c : {ring[i], first + int32_t(i)}) {
      mesh3_fix_bdid3(m, c);
      meshes_set_centroid_1(m, c);
    }
  if (m->finder.built)
    for (size_t i = 0; i < k; i++) mfinder_map_finder_cell(&m->finder, m, first + int32_t(i));
  return first;
}

int32_t split_tet4(Mesh *m, const std::vector<int32_t> &r, const std::vector<uint16_t> &c, int32_t a, int32_t b,
                   vectorvd *values, uint8_t log) {
  TRACE("split_tet4");
  return split_ring(m, {1, 4, kLat4}, r, c, a, b, values, log);
}
int32_t split_tet10(Mesh *m, const std::vector<int32_t> &r, const std::vector<uint16_t> &c, int32_t a, int32_t b,
                    vectorvd *values, uint8_t log) {
  TRACE("split_tet10");
  return split_ring(m, {2, 10, kLat10}, r, c, a, b, values, log);
}
int32_t split_tet20(Mesh *m, const std::vector<int32_t> &r, const std::vector<uint16_t> &c, int32_t a, int32_t b,
                    vectorvd *values, uint8_t log) {
  TRACE("split_tet20");
  return split_ring(m, {3, 20, kLat20}, r, c, a, b, values, log);
}

void split_leg(Mesh *m, int32_t a, int32_t b, int32_t basis, vectorvd *values, uint8_t log) {
  TRACE("split_leg");
  if (basis != tet4 && basis != tet10 && basis != tet20) rtlib_fatal_in("split_leg", "BAD ORDER");
  Nest nest(1);
  // Split first every ring cell that prefers another edge, until all prefer (a, b).
  for (;;) {
    Level &lv = nest.at(0);
    order_cells(lv.ring, lv.codes, m, a, b);
    if (lv.ring.empty()) return;  // the edge went with an image split
    int32_t other = 0;
    for (size_t i = 0; i < lv.ring.size() && !other; i++)
      if (longest(m, lv.ring[i], a, b) != lv.codes[i]) other = lv.ring[i];
    if (!other) break;
    refine3_subdivide3(m, other, basis, values, log);
  }
  Level &lv = nest.at(0);
  int32_t first;
  switch (basis) {
    case tet4: first = split_tet4(m, lv.ring, lv.codes, a, b, values, log); break;
    case tet10: first = split_tet10(m, lv.ring, lv.codes, a, b, values, log); break;
    default: first = split_tet20(m, lv.ring, lv.codes, a, b, values, log); break;
  }
  // A curved half that still folds (its parent did, or its sheet bends more than it is
  // thick) is split again, down to a bounded depth: halving a cell quarters the bend of
  // its sheet against its size, until its map keeps one sign.
  if (basis == tet4 || depth >= kFoldDepth) return;
  std::vector<int32_t> halves(lv.ring);
  for (size_t i = 0; i < lv.ring.size(); i++) halves.push_back(first + int32_t(i));
  for (int32_t c : halves)
    if (cell_at(m, c).alive && folded(m, c)) refine3_subdivide3(m, c, basis, values, log);
}

// ---- Merging -----------------------------------------------------------------------------

uint8_t last_byte(const MeshCell &c) { return c.bytes.data[c.bytes.count - 1]; }

// The corner (0-based) a history byte's high or low four bits name, -1 when out of range.
int32_t named(const MeshCell &c, bool high) {
  int k = high ? last_byte(c) / 16 : last_byte(c) % 16;
  return k >= 1 && k <= 4 ? c.nodes.data[k - 1] : -1;
}

// One ring of a merge: the cells that stay with their siblings, and each stayer's
// restored node list.
struct Group {
  std::vector<int32_t> keep, gone;
  int32_t end = 0, other = 0, mid = 0;  // the stayers' end, the siblings' end, M
  std::vector<std::vector<int32_t>> nodes;
};

// The node list of the cell K and its sibling S restored to their parent: K's corners
// with M replaced by the sibling's end g; false when a position finds no node.
bool restore(Mesh *m, const Lattice &L, int32_t K, int32_t S, int32_t e, int32_t g, int32_t M,
             std::vector<int32_t> *out) {
  int iE = corner_of(m, K, e), iM = corner_of(m, K, M), jG = corner_of(m, S, g), jM = corner_of(m, S, M);
  if (iE < 0 || iM < 0 || jG < 0 || jM < 0) return false;
  int map[4];
  for (int k = 0; k < 4; k++) {
    map[k] = k == iE ? jM : k == iM ? jG : corner_of(m, S, cell_at(m, K).nodes.data[k]);
    if (map[k] < 0) return false;
  }
  out->assign(L.n, 0);
  for (int s = 0; s < L.n; s++) {
    Pos b{}, q{0, 0, 0, 0};
    for (int k = 0; k < 4; k++) b[k] = 2 * L.lat[s][k];
    int32_t node;
    if (b[iE] >= b[iM]) {
      for (int k = 0; k < 4; k++) q[k] = b[k];
      q[iE] = b[iE] - b[iM], q[iM] = 2 * b[iM];
      int t = slot_at(L, q);
      if (t < 0) return false;
      node = cell_at(m, K).nodes.data[t];
    } else {
      for (int k = 0; k < 4; k++) q[map[k]] = b[k];
      q[map[iM]] = b[iM] - b[iE], q[map[iE]] = 2 * b[iE];
      int t = slot_at(L, q);
      if (t < 0) return false;
      node = cell_at(m, S).nodes.data[t];
    }
    (*out)[s] = node;
  }
  return true;
}

// Whether the split that made edge (e, M) can be undone at this threshold; fills the
// group (the list whose first cell has the smaller number stays).
bool mergeable(Mesh *m, const Lattice &L, int32_t e, int32_t M, double threshold, Level &ring, Level &sibs,
               Group *g) {
  TRACE("mergeable");
  order_cells(ring.ring, ring.codes, m, e, M);
  if (ring.ring.empty()) return false;
  sibs.ring.clear();
  int32_t other = 0;
  for (int32_t K : ring.ring) {
    const MeshCell &C = cell_at(m, K);
    if (!C.alive || C.error > threshold || C.split || C.merge || !C.bytes.count) return false;
    if (named(C, true) != e || named(C, false) != M) return false;
    int32_t S = C.neighbour[corner_of(m, K, e)];
    if (S <= 0) return false;
    const MeshCell &D = cell_at(m, S);
    if (!D.alive || D.split || D.merge || !D.bytes.count || named(D, false) != M) return false;
    int32_t o = named(D, true);
    if (o <= 0 || o == e || (other && o != other)) return false;
    other = o;
    sibs.ring.push_back(S);
  }
  bool swap = sibs.ring[0] < ring.ring[0];
  g->keep = swap ? sibs.ring : ring.ring;
  g->gone = swap ? ring.ring : sibs.ring;
  g->end = swap ? other : e, g->other = swap ? e : other, g->mid = M;
  g->nodes.assign(g->keep.size(), {});
  for (size_t i = 0; i < g->keep.size(); i++)
    if (!restore(m, L, g->keep[i], g->gone[i], g->end, g->other, M, &g->nodes[i])) return false;
  return true;
}

// Removes every entry of the node from the boundary lists it may stand in, then the node.
void drop_node(Mesh *m, int32_t n) {
  const MeshNode &N = node_at(m, n);
  auto purge = [n](vectorl &l) {
    while (vectorl_inlist(&l, n)) vectorl_delete(&l, n);
  };
  if (N.kind == 2 && N.id >= 1 && N.id <= m->domain->edges.count) {
    if (N.id <= m->edgenodes.count) purge(m->edgenodes.data[N.id - 1]);
    const Edge &E = m->domain->edges.data[N.id - 1];
    for (int32_t k = 0; k < E.face_list.count; k++)
      if (uint16_t f = E.face_list.data[k]; f >= 1 && f <= m->facenodes.count) purge(m->facenodes.data[f - 1]);
  } else if (N.kind == 3 && N.id >= 1 && N.id <= m->facenodes.count) {
    purge(m->facenodes.data[N.id - 1]);
  }
  meshes_delete_node(m, n);
}

// Each stayer K takes back its sibling S: the parent's nodes, S's outer neighbour, the
// node-cell lists, the summed estimate; S and the nodes only the split had made go.
void merge_ring(Mesh *m, const Group &g) {
  std::vector<int32_t> drop;
  for (size_t i = 0; i < g.keep.size(); i++) {
    int32_t K = g.keep[i], S = g.gone[i];
    const std::vector<int32_t> &P = g.nodes[i];
    std::vector<int32_t> kn(cell_at(m, K).nodes.data, cell_at(m, K).nodes.data + P.size());
    std::vector<int32_t> sn(cell_at(m, S).nodes.data, cell_at(m, S).nodes.data + P.size());
    int32_t outer = cell_at(m, S).neighbour[corner_of(m, S, g.mid)];
    cell_at(m, K).neighbour[corner_of(m, K, g.end)] = outer;
    if (outer) meshes_fix_nabor(m, outer, S, K);
    for (int32_t n : sn) {
      if (!has(P, n)) meshes_delete_nodecell(m, n, S);
      else if (vectorl_inlist(&node_at(m, n).nodecell, K)) meshes_delete_nodecell(m, n, S);
      else meshes_fix_nodecell(m, n, S, K);
    }
    for (int32_t n : kn)
      if (!has(P, n)) meshes_delete_nodecell(m, n, K);
    for (int32_t n : kn)
      if (!has(P, n) && !has(drop, n)) drop.push_back(n);
    for (int32_t n : sn)
      if (!has(P, n) && !has(drop, n)) drop.push_back(n);
    set_nodes(m, K, P);
    MeshCell &C = cell_at(m, K);
    C.error += cell_at(m, S).error;
    C.merge = 1, C.changed = 1;
    C.bytes.count--;
    mesh3_fix_bdid3(m, K);
    meshes_set_centroid_1(m, K);
    if (m->finder.built) {
      mfinder_map_finder_cell(&m->finder, m, K);
      mfinder_unmap_finder_cell(&m->finder, m, S);
    }
  }
  // Highest first, so that cells at the end of the table leave it.
  std::vector<int32_t> gone = g.gone;
  std::sort(gone.rbegin(), gone.rend());
  for (int32_t S : gone) {
    for (int f = 0; f < 4; f++) cell_at(m, S).neighbour[f] = 0;
    meshes_delete_cell(m, S);
  }
  for (int32_t n : drop) drop_node(m, n);
}

void merge_tet4(Mesh *m, const Group &g) { TRACE("merge_tet4"); merge_ring(m, g); }
void merge_tet10(Mesh *m, const Group &g) { TRACE("merge_tet10"); merge_ring(m, g); }
void merge_tet20(Mesh *m, const Group &g) { TRACE("merge_tet20"); merge_ring(m, g); }

void merge_by(Mesh *m, const Group &g) {
  switch (m->meshbasis) {
    case tet4: merge_tet4(m, g); break;
    case tet10: merge_tet10(m, g); break;
    default: merge_tet20(m, g); break;
  }
}

}  // namespace

int32_t refine3_depth() { return depth; }

int32_t refine3_seat_nodes(Mesh *m, double mark, vectorvd *values) {
  TRACE("refine3_seat_nodes");
  if (!m->curvegrid || !m->domain || (m->meshbasis != tet10 && m->meshbasis != tet20)) return 0;
  int32_t seated = 0;
  std::vector<double> signs;
  for (int32_t n = 1; n <= m->nodes.count; n++) {
    const MeshNode &N = node_at(m, n);
    if (!N.alive || (N.kind != 2 && N.kind != 3) || !N.nodecell.count) continue;
    const double was[3] = {N.x, N.y, N.z};
    double p[3] = {N.x, N.y, N.z};
    if (N.kind == 2) meshpde3_push_to_edge(m->domain, N.id, p);
    else meshpde3_push_to_face(m->domain, N.id, p, N.spacing);
    double moved = std::hypot(p[0] - was[0], p[1] - was[1], p[2] - was[2]);
    if (!(moved > 1e-9 * std::max(double(node_at(m, n).spacing), 1e-30))) continue;
    // The cells around it, each with its Jacobian's sign before the move.
    const vectorl &around = node_at(m, n).nodecell;
    std::vector<int32_t> cells(around.data, around.data + around.count);
    signs.clear();
    std::vector<LocalCell> before(cells.size());
    for (size_t i = 0; i < cells.size(); i++) {
      meshes_localize(m, &cell_at(m, cells[i]), &before[i], 0);
      signs.push_back(jacobian_det(before[i].frame));
    }
    // The straight inner edges from the node stay straight: the midpoint of each (an inner
    // node at the middle of the node and the edge's other end) goes half the way along.
    struct Drag {
      int32_t node;
      size_t cell;
      double was[3];
    };
    std::vector<Drag> drags;
    if (m->meshbasis == tet10)
      for (size_t i = 0; i < cells.size(); i++) {
        const MeshCell &C = cell_at(m, cells[i]);
        if (!C.alive || C.nodes.count < 10) continue;
        for (int e = 0; e < 6; e++) {
          int32_t u = C.nodes.data[kSlotEdge[e][0]], v = C.nodes.data[kSlotEdge[e][1]], h = C.nodes.data[4 + e];
          if ((u != n && v != n) || h < 1 || node_at(m, h).kind != 0) continue;
          const MeshNode &O = node_at(m, u == n ? v : u), &H = node_at(m, h);
          double mid[3] = {(was[0] + O.x) / 2, (was[1] + O.y) / 2, (was[2] + O.z) / 2};
          bool seen = false;
          for (const Drag &g : drags) seen = seen || g.node == h;
          if (seen || std::hypot(H.x - mid[0], H.y - mid[1], H.z - mid[2]) > 1e-9 * (moved + double(N.spacing)))
            continue;
          drags.push_back({h, i, {H.x, H.y, H.z}});
        }
      }
    MeshNode &M = node_at(m, n);
    M.x = p[0], M.y = p[1], M.z = p[2];
    for (const Drag &g : drags) {
      MeshNode &H = node_at(m, g.node);
      H.x += (p[0] - was[0]) / 2, H.y += (p[1] - was[1]) / 2, H.z += (p[2] - was[2]) / 2;
    }
    bool sound = true;
    for (size_t i = 0; i < cells.size() && sound; i++) {
      const MeshCell &C = cell_at(m, cells[i]);
      if (!C.alive || signs[i] == 0) continue;
      std::vector<int32_t> nodes(C.nodes.data, C.nodes.data + elements_functions[C.basis]);
      sound = keeps_sign(m, nodes, signs[i], C.basis);
    }
    if (sound) {
      seated++;
      for (int32_t c : cells) meshes_set_centroid_1(m, c);
      // The fields at the nodes' new places, from cells around them as they stood before.
      if (values && values->count) {
        meshes_nodalu(m, n, values, &before[0], m->meshbasis);
        for (const Drag &g : drags) meshes_nodalu(m, g.node, values, &before[g.cell], m->meshbasis);
      }
    } else {
      node_at(m, n).x = was[0], node_at(m, n).y = was[1], node_at(m, n).z = was[2];
      for (const Drag &g : drags) {
        MeshNode &H = node_at(m, g.node);
        H.x = g.was[0], H.y = g.was[1], H.z = g.was[2];
      }
      for (int32_t c : cells) cell_at(m, c).error = std::max(cell_at(m, c).error, mark);
    }
  }
  return seated;
}

bool refine3_folded(Mesh *m, int32_t c) { return cell_at(m, c).alive && folded(m, c); }

double refine3_bend_error(Mesh *m, int32_t c) {
  TRACE("refine3_bend_error");
  const MeshCell &C = cell_at(m, c);
  if (!C.alive || !C.hasbound || (C.basis != tet10 && C.basis != tet20) || !m->curvegrid || !m->domain) return 0;
  LocalCell local;
  meshes_localize(m, &C, &local, 0);
  double worst = 0;
  for (int f = 0; f < 4; f++) {
    uint16_t id = C.bdid[f];
    if (!id) continue;
    // The face's centre under the cell's map, and the same point pushed onto the face.
    double L[4] = {1.0 / 3, 1.0 / 3, 1.0 / 3, 1.0 / 3}, at[3], on[3], h = 0;
    L[f] = 0;
    elements_get_gcoords(at, L, &local.frame);
    for (int i = 0; i < 4; i++)
      for (int j = i + 1; j < 4; j++)
        if (i != f && j != f) h = std::max(h, std::sqrt(dist2(m, C.nodes.data[i], C.nodes.data[j])));
    if (!(h > 0)) continue;
    std::copy(at, at + 3, on);
    meshpde3_push_to_face(m->domain, id, on, h);
    worst = std::max(worst, std::hypot(on[0] - at[0], on[1] - at[1], on[2] - at[2]) / h);
  }
  return worst;
}

// The node made in (from, to] nearest the middle of leg (a, b), within a tenth of the leg
// (a curved cell's middle node sits on its sheet); 0 when there is none.
static int32_t middle_of(Mesh *m, int32_t a, int32_t b, int32_t from, int32_t to) {
  const MeshNode &A = node_at(m, a), &B = node_at(m, b);
  double x = 0.5 * (A.x + B.x), y = 0.5 * (A.y + B.y), z = 0.5 * (A.z + B.z), best = 0.01 * dist2(m, a, b);
  int32_t found = 0;
  for (int32_t n = from + 1; n <= to; n++) {
    const MeshNode &N = node_at(m, n);
    double d = (N.x - x) * (N.x - x) + (N.y - y) * (N.y - y) + (N.z - z) * (N.z - z);
    if (N.alive && N.kind >= 1 && d < best) best = d, found = n;
  }
  return found;
}

void refine3_subdivide3(Mesh *m, int32_t cell, int32_t basis, vectorvd *values, uint8_t log) {
  TRACE("refine3_subdivide3");
  uint16_t e = longest(m, cell, 0, 0);
  const int32_t *n = cell_at(m, cell).nodes.data;
  int32_t a = n[kSlotEdge[e - 5][0]], b = n[kSlotEdge[e - 5][1]];
  int32_t before = m->nodes.count;
  split_leg(m, a, b, basis, values, log);
  int32_t ia = node_at(m, a).image, ib = node_at(m, b).image;
  if (ia >= 1 && ib >= 1) {
    int32_t after = m->nodes.count;
    split_leg(m, ia, ib, basis, values, log);
    // The two new middles are each other's images at once: a later split in this pass of a
    // leg that ends at one of them splits the image leg too (the pass's matching of new
    // periodic nodes comes only at its end).
    int32_t own = middle_of(m, a, b, before, after), image = middle_of(m, ia, ib, before, m->nodes.count);
    if (own >= 1 && image >= 1) node_at(m, own).image = image, node_at(m, image).image = own;
  }
}

uint16_t refine3_mergecell3(Mesh *m, int32_t cell, int32_t, double threshold) {
  TRACE("refine3_mergecell3");
  Lattice L;
  if (!lattice_of(m->meshbasis, &L)) rtlib_fatal_in("refine3_mergecell3", "BAD ORDER");
  const MeshCell &C = cell_at(m, cell);
  if (!C.alive || C.split || C.merge || !C.bytes.count) return 0;
  int32_t e = named(C, true), M = named(C, false);
  if (e <= 0 || M <= 0) return 0;
  Nest nest(2);
  Group own, image;
  if (!mergeable(m, L, e, M, threshold, nest.at(0), nest.at(1), &own)) return 0;
  int32_t ie = node_at(m, e).image, iM = node_at(m, M).image;
  bool periodic = m->domain && m->domain->periodics.count && ie >= 1 && iM >= 1;
  if (periodic && !mergeable(m, L, ie, iM, threshold, nest.at(0), nest.at(1), &image)) return 0;
  uint16_t count = 0;
  if (periodic) {
    merge_by(m, image);
    count = uint16_t(image.gone.size());
  }
  merge_by(m, own);
  return uint16_t(count + own.gone.size());
}
