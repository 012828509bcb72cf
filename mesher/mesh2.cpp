// mesh2: side ids, diagonal swaps, relaxation, neighbour resolution and ring order of
// two-dimensional triangle meshes.
#include "mesher/mesh2.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "domain/domain.h"
#include "elements/meshes.h"
#include "mesher/cornergrid.h"
#include "graphics/gag.h"
#include "runtime/bopmem.h"
#include "runtime/debug.h"
#include "runtime/rtlib.h"

const uint8_t mesh2_sides[3][9] = {{1, 2, 3, 4, 5, 6, 7, 8, 9}, {2, 3, 1, 5, 6, 4, 8, 9, 7}, {3, 1, 2, 6, 4, 5, 9, 7, 8}};

// The side crossed from the node's place when walking around it: the side that ends at
// a vertex, the side a side node lies on.
static const uint8_t ring[10] = {0, 2, 3, 1, 1, 2, 3, 1, 2, 3};

static MeshCell &cell_at(Mesh *m, int32_t c) { return m->cells.data[c - 1]; }
static MeshNode &node_at(Mesh *m, int32_t n) { return m->nodes.data[n - 1]; }
static int32_t &place(MeshCell &c, int p) { return c.nodes.data[p - 1]; }

int mesh2_init() {
  TRACE("mesh2");
  return 0;
}

static bool curved(const Mesh *m, uint16_t e) {
  return m->domain && e >= 1 && e <= m->domain->edges.count && m->domain->edges.data[e - 1].shape != SHAPE_LINE;
}

void mesh2_fix_bdid2(Mesh *m, int32_t c) {
  TRACE("mesh2_fix_bdid2_0");
  MeshCell &cell = cell_at(m, c);
  cell.hasbound = 0;
  if (m->curveall) cell.basis = m->meshbasis;
  int32_t v[3] = {place(cell, 1), place(cell, 2), place(cell, 3)};
  int bounded = 0;
  for (int i = 0; i < 3; i++) bounded += node_at(m, v[i]).kind != 0;
  for (int s = 0; s < 3; s++) cell.bdid[s] = 0;
  if (bounded >= 2)
    for (int s = 0; s < 3; s++) cell.bdid[s] = meshes_common_edge(m, v[(s + 1) % 3], v[(s + 2) % 3]);
  for (int s = 0; s < 3; s++) {
    if (!cell.bdid[s]) continue;
    cell.hasbound = 1;
    if (m->curvegrid && m->meshbasis != cell.basis && curved(m, cell.bdid[s])) {
      cell.basis = m->meshbasis;
      for (int o = 1; o <= 2; o++) {
        int32_t n = cell.neighbour[(s + o) % 3];
        if (n > 0) cell_at(m, n).basis = m->meshbasis;
      }
    }
  }
}

// ---- Diagonal swaps ----------------------------------------------------------------------

static double cross(const MeshNode &o, const MeshNode &u, const MeshNode &v) {
  return (u.x - o.x) * (v.y - o.y) - (u.y - o.y) * (v.x - o.x);
}

// The ratio of the smaller area to the larger, 0 when the larger is not positive.
static double ratio(double a1, double a2) {
  if (std::fabs(a1) <= std::fabs(a2)) return a2 > 0 ? a1 / a2 : 0;
  return a2 / a1;
}

uint16_t mesh2_best_leg(Mesh *m, int32_t basis, vectorvd *values) {
  TRACE("mesh2_best_leg_0");
  uint16_t swaps = 0;
  for (int32_t c = 1; c <= m->cells.count; c++) {
    if (!cell_at(m, c).alive) continue;
    for (uint16_t s = 1; s <= 3; s++) {
      MeshCell &cc = cell_at(m, c);
      int32_t n = cc.neighbour[s - 1];
      if (n <= 0) continue;
      const uint8_t *row = mesh2_sides[s - 1];
      int32_t a = place(cc, row[0]), p = place(cc, row[1]), q = place(cc, row[2]);
      const MeshNode &A = node_at(m, a), &P = node_at(m, p), &Q = node_at(m, q);
      if (!(P.kind == 0 || Q.kind == 0 || meshes_common_edge(m, p, q) == 0)) continue;
      MeshCell &nc = cell_at(m, n);
      if (nc.region != cc.region) continue;
      uint16_t t = 0;
      for (uint16_t k = 1; k <= 3 && !t; k++)
        if (nc.neighbour[k - 1] == c) t = k;
      if (!t) continue;
      const MeshNode &B = node_at(m, place(nc, mesh2_sides[t - 1][0]));
      double D = (A.x - B.x) * (A.x - B.x) + (A.y - B.y) * (A.y - B.y);
      double L = (P.x - Q.x) * (P.x - Q.x) + (P.y - Q.y) * (P.y - Q.y);
      double a1 = cross(P, Q, A), a2 = cross(P, B, Q), a3 = cross(A, B, Q), a4 = cross(A, P, B);
      double r1 = ratio(a1, a2), r2 = ratio(a3, a4);
      if (!(r1 > 0 && r2 > 0 && (D < 0.81 * L || r2 > 1.2 * r1) && ((D / L < r2 && D < 2 * L) || r2 > 10 * r1)))
        continue;
      switch (basis) {
        case tri3: rehook_tri3(m, c, s, n, t); break;
        case tri6: rehook_tri6(m, c, s, n, t, values); break;
        case tri9: rehook_tri9(m, c, s, n, t, values); break;
        default: rtlib_fatal_in("mesh2_best_leg_0", "BAD BASIS");
      }
      swaps++;
      break;
    }
  }
  return swaps;
}

void rehook_tri3(Mesh *m, int32_t c, uint16_t s, int32_t n, uint16_t t) {
  TRACE("rehook_tri3_0");
  MeshCell &cc = cell_at(m, c), &nc = cell_at(m, n);
  const uint8_t *rs = mesh2_sides[s - 1], *rt = mesh2_sides[t - 1];
  int32_t a = place(cc, rs[0]), p = place(cc, rs[1]), q = place(cc, rs[2]), b = place(nc, rt[0]);
  // 1. The cells become (a, p, b) and (b, q, a).
  place(cc, rs[2]) = b;
  place(nc, rt[2]) = a;
  // 2. Neighbours across the four outer sides follow their sides.
  int32_t x = cc.neighbour[rs[1] - 1], y = nc.neighbour[rt[1] - 1];
  cc.neighbour[s - 1] = y, cc.neighbour[rs[1] - 1] = n;
  nc.neighbour[t - 1] = x, nc.neighbour[rt[1] - 1] = c;
  meshes_fix_nabor(m, x, c, n);
  meshes_fix_nabor(m, y, n, c);
  // 3. Node-cell lists.
  meshes_delete_nodecell(m, q, c);
  meshes_delete_nodecell(m, p, n);
  meshes_new_nodecell(m, a, n);
  meshes_new_nodecell(m, b, c);
  // 4. Marks and side ids.
  cell_at(m, c).changed = cell_at(m, n).changed = 1;
  mesh2_fix_bdid2(m, c);
  mesh2_fix_bdid2(m, n);
  // 5. The new diagonal.
  if (m->drawing && m->meshview) {
    pointd pa = {node_at(m, a).x, node_at(m, a).y}, pb = {node_at(m, b).x, node_at(m, b).y};
    gag_setcolor_0(m->meshview, 2);
    gag_drawline_0(m->meshview, &pa, &pb);
  }
}

// The outer side nodes that change cells in a swap: the side nodes of n's side p-b go to
// c, those of c's side q-a to n. k is the number of side nodes per side (1 or 2).
static void carry_side_nodes(Mesh *m, int32_t c, uint16_t s, int32_t n, uint16_t t, int k, int32_t toc[2],
                             int32_t ton[2]) {
  MeshCell &cc = cell_at(m, c), &nc = cell_at(m, n);
  const uint8_t *rs = mesh2_sides[s - 1], *rt = mesh2_sides[t - 1];
  for (int j = 0; j < k; j++) {
    toc[j] = place(nc, rt[4 + 3 * j]);
    ton[j] = place(cc, rs[4 + 3 * j]);
    meshes_fix_nodecell(m, toc[j], n, c);
    meshes_fix_nodecell(m, ton[j], c, n);
  }
}

void rehook_tri6(Mesh *m, int32_t c, uint16_t s, int32_t n, uint16_t t, vectorvd *values) {
  TRACE("rehook_tri6_0");
  const uint8_t *rs = mesh2_sides[s - 1], *rt = mesh2_sides[t - 1];
  LocalCell lc{};
  if (values) meshes_localize(m, &cell_at(m, c), &lc, 0);
  int32_t mid = place(cell_at(m, c), rs[3]);
  int32_t toc[2], ton[2];
  carry_side_nodes(m, c, s, n, t, 1, toc, ton);
  int32_t a = place(cell_at(m, c), rs[0]), b = place(cell_at(m, n), rt[0]);
  rehook_tri3(m, c, s, n, t);
  MeshCell &cc = cell_at(m, c), &nc = cell_at(m, n);
  place(cc, rs[3]) = toc[0], place(cc, rs[4]) = mid;
  place(nc, rt[3]) = ton[0], place(nc, rt[4]) = mid;
  MeshNode &M = node_at(m, mid);
  M.x = 0.5 * (node_at(m, a).x + node_at(m, b).x);
  M.y = 0.5 * (node_at(m, a).y + node_at(m, b).y);
  if (values) meshes_nodalu(m, mid, values, &lc, tri6);
}

void rehook_tri9(Mesh *m, int32_t c, uint16_t s, int32_t n, uint16_t t, vectorvd *values) {
  TRACE("rehook_tri9_0");
  const uint8_t *rs = mesh2_sides[s - 1], *rt = mesh2_sides[t - 1];
  LocalCell lc{};
  if (values) meshes_localize(m, &cell_at(m, c), &lc, 0);
  int32_t m1 = place(cell_at(m, c), rs[3]), m2 = place(cell_at(m, c), rs[6]);
  int32_t toc[2], ton[2];
  carry_side_nodes(m, c, s, n, t, 2, toc, ton);
  int32_t a = place(cell_at(m, c), rs[0]), b = place(cell_at(m, n), rt[0]);
  rehook_tri3(m, c, s, n, t);
  MeshCell &cc = cell_at(m, c), &nc = cell_at(m, n);
  // c's side p-b and n's side q-a take the carried nodes; the diagonal runs b to a in c
  // and a to b in n, m1 a third of the way from a, m2 two thirds.
  place(cc, rs[3]) = toc[0], place(cc, rs[6]) = toc[1];
  place(nc, rt[3]) = ton[0], place(nc, rt[6]) = ton[1];
  place(cc, rs[4]) = m2, place(cc, rs[7]) = m1;
  place(nc, rt[4]) = m1, place(nc, rt[7]) = m2;
  const MeshNode &A = node_at(m, a), &B = node_at(m, b);
  // Both values come from the old cell before either node's value is replaced.
  vectord out[2] = {};
  for (int k = 0; k < 2; k++) {
    MeshNode &N = node_at(m, k ? m2 : m1);
    double f = (k + 1) / 3.0;
    N.x = (1 - f) * A.x + f * B.x;
    N.y = (1 - f) * A.y + f * B.y;
    if (values) meshes_pointu_0(&out[k], N.x, N.y, values, &lc, tri9);
  }
  for (int k = 0; k < 2; k++) {
    if (values) meshes_copyu(values, k ? m2 : m1, &out[k]);
    vectord_free(&out[k]);
  }
}

// ---- Relaxation -----------------------------------------------------------------------------

void mesh2_relax_mesh(Mesh *m) {
  TRACE("mesh2_relax_mesh_0");
  int32_t nn = m->nodes.count;
  // Flat copies of what the passes read: the live cells' vertices, and per side the
  // target's distance factor sqrt(3) h and its weight, which do not change.
  std::vector<int32_t> corner;
  std::vector<double> rise, weight;
  corner.reserve(3 * size_t(m->cells.count)), rise.reserve(3 * size_t(m->cells.count));
  weight.reserve(3 * size_t(m->cells.count));
  // The node spacings in one run, read in the cells' scattered order.
  std::vector<float> spacing(size_t(std::max(nn, 0)));
  for (int32_t n = 0; n < nn; n++) spacing[size_t(n)] = m->nodes.data[n].spacing;
  for (int32_t c = 1; c <= m->cells.count; c++) {
    const MeshCell &cell = cell_at(m, c);
    if (!cell.alive || cell.nodes.count < 3) continue;
    for (int v = 0; v < 3; v++) {
      float si = spacing[size_t(cell.nodes.data[(v + 1) % 3] - 1)],
            sj = spacing[size_t(cell.nodes.data[(v + 2) % 3] - 1)];
      double h = (double(si) + double(sj)) / 2;
      corner.push_back(cell.nodes.data[v] - 1);
      rise.push_back(h > 0 ? std::sqrt(3.0) * h : 0);
      weight.push_back(h > 0 ? 1 / h : 1);
    }
  }
  // Positions and sums side by side, for fewer cache misses in the scattered updates.
  struct Pos {
    double x, y;
  };
  struct Sum {
    double x, y, w;
  };
  std::vector<Pos> P(nn);
  std::vector<Sum> T(nn);
  std::vector<uint8_t> interior(nn);
  for (int32_t n = 0; n < nn; n++) P[n] = {m->nodes.data[n].x, m->nodes.data[n].y}, interior[n] = m->nodes.data[n].kind == 0;
  size_t sides = corner.size();
  // The cells around every node (as offsets into the corner list), and the sine of a
  // cell's smallest angle with the node moved to Q: a move is taken only when it leaves
  // the smallest angle around the node no smaller than before, or above 30 degrees.
  // Where the node spacings ask for sides other than the ones the front made, the
  // targets overshoot and unguarded moves draw nodes together into needles.
  // The cells' vertices are copied into the ring, node by node, so that a node's cells
  // are read in one run.
  struct Three {
    int32_t v[3];
  };
  std::vector<int32_t> first(size_t(nn) + 2, 0);
  std::vector<Three> ring(sides);
  for (size_t k = 0; k < sides; k++) first[size_t(corner[k]) + 1]++;
  for (int32_t n = 0; n <= nn; n++) first[size_t(n) + 1] += first[size_t(n)];
  {
    std::vector<int32_t> fill(first.begin(), first.end() - 1);
    for (size_t k = 0; k < sides; k++) {
      const int32_t *v = &corner[k - k % 3];
      ring[size_t(fill[size_t(corner[k])]++)] = {{v[0], v[1], v[2]}};
    }
  }
  auto least_sine = [&](int32_t n, Pos Q) {
    double least = 1;
    for (int32_t r = first[size_t(n)]; r < first[size_t(n) + 1]; r++) {
      const int32_t *v = ring[size_t(r)].v;
      Pos a = v[0] == n ? Q : P[v[0]], b = v[1] == n ? Q : P[v[1]], c = v[2] == n ? Q : P[v[2]];
      double area2 = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
      double l0 = (b.x - c.x) * (b.x - c.x) + (b.y - c.y) * (b.y - c.y),
             l1 = (c.x - a.x) * (c.x - a.x) + (c.y - a.y) * (c.y - a.y),
             l2 = (a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y);
      // The two longer sides' squares, chosen without branches: the middle and the largest.
      double mid = std::max(std::min(l0, l1), std::min(std::max(l0, l1), l2)), top = std::max(std::max(l0, l1), l2);
      least = std::min(least, mid > 0 ? area2 / std::sqrt(mid * top) : -1.0);
    }
    return least;
  };
  const double enough = 0.5;  // sin 30 degrees
  // The passes end when no node steps further than 0.65% of its own side length (the
  // mean length of the sides facing it in the mesh as it came). A measure in the mesh's
  // own lengths ends a mesh drawn in millimetres and the same mesh drawn in kilometres
  // after the same passes, and does not grow with the node count; by then the spread of
  // cell shapes has settled (squares stop after about 15 passes).
  const double settled = 0.0065;
  std::vector<double> still(size_t(std::max(nn, 0)), 0);
  {
    std::vector<int32_t> facing(size_t(std::max(nn, 0)), 0);
    for (size_t k = 0; k < sides; k += 3) {
      const Pos &A = P[corner[k]], &B = P[corner[k + 1]], &C = P[corner[k + 2]];
      still[corner[k]] += std::hypot(C.x - B.x, C.y - B.y), facing[corner[k]]++;
      still[corner[k + 1]] += std::hypot(A.x - C.x, A.y - C.y), facing[corner[k + 1]]++;
      still[corner[k + 2]] += std::hypot(B.x - A.x, B.y - A.y), facing[corner[k + 2]]++;
    }
    // Kept squared, as the step is measured.
    for (int32_t n = 0; n < nn; n++) {
      double side = facing[n] ? still[n] / facing[n] * settled : 0;
      still[n] = side * side;
    }
  }
  for (int pass = 1; pass <= 41; pass++) {
    std::fill(T.begin(), T.end(), Sum{0, 0, 0});
    for (size_t k = 0; k < sides; k += 3) {
      int32_t v[3] = {corner[k], corner[k + 1], corner[k + 2]};
#pragma GCC unroll 3
      for (int s = 0; s < 3; s++) {
        const Pos &I = P[v[(s + 1) % 3]], &J = P[v[(s + 2) % 3]];
        double dx = J.x - I.x, dy = J.y - I.y, mx = (I.x + J.x) / 2, my = (I.y + J.y) / 2;
        double f = rise[k + s] > 0 ? rise[k + s] / std::sqrt(dx * dx + dy * dy) : 1.732050808, wt = weight[k + s];
        Sum &t = T[v[s]];
        t.x += wt * (mx - f * dy);
        t.y += wt * (my + f * dx);
        t.w += wt;
      }
    }
    bool moving = false;
    for (int32_t n = 0; n < nn; n++) {
      if (!interior[n] || !(T[n].w > 0)) continue;
      double gx = T[n].x / T[n].w, gy = T[n].y / T[n].w;
      Pos Q = {(gx + P[n].x) / 2, (gy + P[n].y) / 2};
      // At least the smaller of the two, the one at P[n] sought only when needed.
      double q = least_sine(n, Q);
      if (q >= enough || q >= least_sine(n, P[n])) {
        double ex = Q.x - P[n].x, ey = Q.y - P[n].y;
        moving = moving || !(ex * ex + ey * ey <= still[n]);
        P[n] = Q;
      }
    }
    if (!moving) break;
  }
  // A cell the moves turned over (a long boundary side beside small cells can pull a
  // node across it) gets its interior nodes back where they were, until none is.
  auto area2 = [&](const int32_t *v, bool before) {
    auto at = [&](int32_t n) { return before ? Pos{m->nodes.data[n].x, m->nodes.data[n].y} : P[n]; };
    Pos a = at(v[0]), b = at(v[1]), c = at(v[2]);
    return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
  };
  for (bool undone = true; undone;) {
    undone = false;
    for (size_t k = 0; k < sides; k += 3) {
      const int32_t *v = &corner[k];
      if (area2(v, false) > 0 || !(area2(v, true) > 0)) continue;
      for (int i = 0; i < 3; i++) {
        const MeshNode &N = m->nodes.data[v[i]];
        if (!interior[v[i]] || (P[v[i]].x == N.x && P[v[i]].y == N.y)) continue;
        P[v[i]] = {N.x, N.y};
        undone = true;
      }
    }
  }
  for (int32_t n = 0; n < nn; n++) m->nodes.data[n].x = P[n].x, m->nodes.data[n].y = P[n].y;
}

// ---- Neighbours --------------------------------------------------------------------------

void mesh2_resolve_nabors2(Mesh *m, uint8_t mark) {
  TRACE("mesh2_resolve_nabors2_0");
  // Per node the sides of its cells (side s runs from vertex s + 1 to vertex s + 2), read
  // once into one run before its pairs are tried (the links written below change no vertex).
  struct Sides {
    int32_t p[3], q[3];
  };
  static std::vector<Sides> v;
  for (int32_t n = 1; n <= m->nodes.count; n++) {
    MeshNode &node = node_at(m, n);
    const vectorl &l = node.nodecell;
    if (l.count > 1) {
      v.resize(size_t(l.count));
      for (int32_t i = 0; i < l.count; i++) {
        const int32_t *x = cell_at(m, l.data[i]).nodes.data;
        v[size_t(i)] = {{x[1], x[2], x[0]}, {x[2], x[0], x[1]}};
      }
    }
    for (int32_t i = 0; i + 1 < l.count; i++) {
      const Sides &a = v[size_t(i)];
      for (int32_t j = i + 1; j < l.count; j++) {
        const Sides &b = v[size_t(j)];
        for (int sa = 0; sa < 3; sa++)
          for (int sb = 0; sb < 3; sb++)
            if (b.p[sb] == a.q[sa] && b.q[sb] == a.p[sa]) {
              cell_at(m, l.data[i]).neighbour[sa] = l.data[j];
              cell_at(m, l.data[j]).neighbour[sb] = l.data[i];
            }
      }
    }
    if (mark && l.count) {
      uint16_t r = cell_at(m, l.data[0]).region;
      for (int32_t i = 1; i < l.count; i++)
        if (cell_at(m, l.data[i]).region != r) node.kind = 2;
    }
  }
}

void mesh2_resolve_table_nabors2(Mesh *m) {
  TRACE("mesh2_resolve_table_nabors2_0");
  auto near = [&](int32_t u, int32_t v, double tol) {
    const MeshNode &U = node_at(m, u), &V = node_at(m, v);
    return std::hypot(U.x - V.x, U.y - V.y) < tol;
  };
  // Each open side is linked to the first later cell (lowest number, then lowest side)
  // whose side has coinciding ends; such a cell has a corner near the side's first
  // end, so only the cells the corner index gives for that end are tried.
  std::vector<double> tols(size_t(m->cells.count) + 1, 0);
  double widest = 0;
  for (int32_t c = 1; c <= m->cells.count; c++)
    if (cell_at(m, c).alive) widest = std::max(widest, tols[c] = 0.01 * std::sqrt(std::fabs(meshes_cell_area_1(m, c))));
  CornerGrid grid;
  cornergrid_build(&grid, m, 3, 2, widest);
  std::vector<int32_t> candidates;
  for (int32_t c = 1; c <= m->cells.count; c++) {
    for (int s = 0; s < 3; s++) {
      MeshCell &C = cell_at(m, c);
      if (!C.alive || C.neighbour[s] >= 1) continue;
      int32_t p = C.nodes.data[(s + 1) % 3], q = C.nodes.data[(s + 2) % 3];
      double tol = tols[c];
      const MeshNode &P = node_at(m, p);
      double at[3] = {P.x, P.y, 0};
      cornergrid_cells_near(&grid, m, at, tol, c, &candidates);
      bool found = false;
      for (size_t i = 0; i < candidates.size() && !found; i++) {
        int32_t d = candidates[i];
        MeshCell &Dc = cell_at(m, d);
        for (int t = 0; t < 3 && !found; t++) {
          int32_t q2 = Dc.nodes.data[(t + 1) % 3], p2 = Dc.nodes.data[(t + 2) % 3];
          if (near(p, p2, tol) && near(q, q2, tol)) {
            C.neighbour[s] = d;
            Dc.neighbour[t] = c;
            found = true;
          }
        }
      }
    }
  }
}

// ---- Ring order ----------------------------------------------------------------------------

static vectorl saved_cells;  // the node's list as it was; program-wide work storage
static BopmemWork saved_cells_work([] { vectorl_free(&saved_cells); });

[[noreturn]] static void bad_order(Mesh *m, int32_t node, int32_t built, const char *what) {
  const vectorl &l = node_at(m, node).nodecell;
  debug_printf("NODE %d, CELLS: ", node);
  for (int32_t i = 0; i < saved_cells.count; i++) debug_printf(" %d", saved_cells.data[i]);
  debug_printf("\nREORDERED CELLS: ");
  for (int32_t i = 0; i < built && i < l.count; i++) debug_printf(" %d", l.data[i]);
  debug_printf("\n");
  rtlib_fatal_in("bad_order_nodecells_0", what);
}

// The side crossed from the node's place in the cell, 0 when the node is not in it.
static int crossing(Mesh *m, int32_t c, int32_t node) {
  MeshCell &cell = cell_at(m, c);
  int k = std::min<int>(cell.nodes.count, elements_functions[cell.basis]);
  for (int i = 1; i <= k && i <= 9; i++)
    if (place(cell, i) == node) return ring[i];
  return 0;
}

int32_t mesh2_order_nodecells(Mesh *m, int32_t node) {
  TRACE("mesh2_order_nodecells_0");
  vectorl &l = node_at(m, node).nodecell;
  int32_t k = l.count;
  vectorl_copyto_0(&saved_cells, &l);
  bool interior = node_at(m, node).kind == 0;
  for (int32_t i = 1; i <= k; i++) {
    l.data[0] = saved_cells.data[i - 1];
    int32_t filled = 1, beyond = 0;
    while (true) {
      int side = crossing(m, l.data[filled - 1], node);
      beyond = side ? cell_at(m, l.data[filled - 1]).neighbour[side - 1] : 0;
      if (filled == k || beyond < 1) break;
      l.data[filled++] = beyond;
    }
    if (filled == k) {
      if (interior && beyond != l.data[0]) bad_order(m, node, filled, "NODECELLS NOT CLOSED");
      return beyond;
    }
    if (interior || i == k) bad_order(m, node, filled, "BAD NODECELL ORDER");
  }
  return 0;
}
