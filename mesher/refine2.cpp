// refine2: longest-side bisection and its undoing, the radial split of a cell, the
// finishing passes of a fresh mesh, the estimate factor.
#include "mesher/refine2.h"

#include <algorithm>
#include <initializer_list>
#include <vector>

#include "elements/meshes.h"
#include "elements/mfinder.h"
#include "graphics/display.h"
#include "graphics/gag.h"
#include "domain/edges.h"
#include "mesher/mesh2.h"
#include "mesher/refine1.h"
#include "mesher/mesher2.h"
#include "plot/plot.h"
#include "runtime/rtlib.h"

double refine2_estimate_factor = 0.25;
uint8_t refine2_debug = 0;

static MeshCell &cell_at(Mesh *m, int32_t c) { return m->cells.data[c - 1]; }
static MeshNode &node_at(Mesh *m, int32_t n) { return m->nodes.data[n - 1]; }

int refine2_init() {
  TRACE("refine2");
  return 0;
}

// A new cell with c's basis, region and second id, the changed flag and nodes (a, b, d).
static int32_t made_like(Mesh *m, int32_t c, int32_t a, int32_t b, int32_t d) {
  int32_t n = meshes_new_cell_0(m);
  MeshCell &nc = cell_at(m, n), &oc = cell_at(m, c);
  nc.basis = oc.basis, nc.region = oc.region, nc.region2 = oc.region2, nc.changed = 1;
  nc.bytes.count = 0;
  nc.nodes.data[0] = a, nc.nodes.data[1] = b, nc.nodes.data[2] = d;
  return n;
}

void refine2_radial_split_tri3(Mesh *m, int32_t c, int32_t P) {
  TRACE("refine2_radial_split_tri3_0");
  int32_t v1 = cell_at(m, c).nodes.data[0], v2 = cell_at(m, c).nodes.data[1], v3 = cell_at(m, c).nodes.data[2];
  // 1. The two new cells and their neighbours.
  node_at(m, P).nodecell.count = 0;
  int32_t c2 = made_like(m, c, v2, v3, P), c3 = made_like(m, c, v3, v1, P);
  MeshCell &C = cell_at(m, c), &C2 = cell_at(m, c2), &C3 = cell_at(m, c3);
  int32_t n1 = C.neighbour[0], n2 = C.neighbour[1];
  C2.neighbour[0] = c3, C2.neighbour[1] = c, C2.neighbour[2] = n1;
  C3.neighbour[0] = c, C3.neighbour[1] = c2, C3.neighbour[2] = n2;
  meshes_fix_nabor(m, n1, c, c2);
  meshes_fix_nabor(m, n2, c, c3);
  // 2. c keeps the side V1-V2.
  C.nodes.data[2] = P;
  C.neighbour[0] = c2, C.neighbour[1] = c3;
  C.changed = 1;
  meshes_new_nodecell(m, P, c);
  meshes_new_nodecell(m, P, c2);
  meshes_new_nodecell(m, P, c3);
  meshes_new_nodecell(m, v1, c3);
  meshes_new_nodecell(m, v2, c2);
  meshes_fix_nodecell(m, v3, c, c2);
  meshes_new_nodecell(m, v3, c3);
  // 3. Side ids, centroids, estimates, the finder and the drawing.
  for (int32_t k : {c, c2, c3}) {
    mesh2_fix_bdid2(m, k);
    meshes_set_centroid_1(m, k);
  }
  cell_at(m, c).error *= refine2_estimate_factor;
  cell_at(m, c2).error = cell_at(m, c3).error = cell_at(m, c).error;
  cell_at(m, c).split = cell_at(m, c2).split = cell_at(m, c3).split = 1;
  if (m->finder.built) {
    mfinder_map_finder_cell(&m->finder, m, c2);
    mfinder_map_finder_cell(&m->finder, m, c3);
  }
  if (m->drawing && m->meshview) {
    const MeshNode &p = node_at(m, P);
    for (int32_t v : {v1, v2, v3}) gag_drawline_1(m->meshview, node_at(m, v).x, node_at(m, v).y, p.x, p.y);
  }
}

static void show(plotframe *styles, Mesh *m) {
  plot_show_mesh(m->meshview, styles, &m->domain->grid.box, m, tri3, 0, 0, m->domain->regions.count);
}

void refine2_relax_hooks(plotframe *styles, const uint8_t *stop, Mesh *m) {
  TRACE("refine2_relax_hooks_0");
  // 1. A flip pass and a relaxation.
  mesh2_best_leg(m, tri3, nullptr);
  mesh2_relax_mesh(m);
  show(styles, m);
  if (mesher2_debug > 1) display_waitkey(0);
  // 2. Up to two more flip passes, relaxed when they flipped.
  uint16_t flipped = 0;
  for (int pass = 1; pass <= 2; pass++) {
    if (m->meshview) gag_setcolor_0(m->meshview, 4);
    flipped = mesh2_best_leg(m, tri3, nullptr);
    if (flipped) {
      mesh2_relax_mesh(m);
      if (mesher2_debug) {
        show(styles, m);
        if (mesher2_debug > 1) display_waitkey(0);
      }
    }
    if (*stop || !flipped) return;
  }
  // 3. The second still flipped: one last pass without relaxation.
  mesh2_best_leg(m, tri3, nullptr);
}

// ---- Longest-side bisection ----------------------------------------------------------------

[[noreturn]] void trap_bnode() { rtlib_fatal_in("trap_bnode", "Tangled Boundary List"); }

static const uint8_t *row_of_side(int s) { return mesh2_sides[s - 1]; }
static int32_t place_node(Mesh *m, int32_t c, int k) { return cell_at(m, c).nodes.data[k - 1]; }
static void set_place(Mesh *m, int32_t c, int k, int32_t n) { cell_at(m, c).nodes.data[k - 1] = n; }

static double dist2(const MeshNode &p, const MeshNode &q) {
  return (p.x - q.x) * (p.x - q.x) + (p.y - q.y) * (p.y - q.y);
}

uint16_t longest(Mesh *m, int32_t c, int32_t r) {
  TRACE("longest_0");
  MeshCell &cell = cell_at(m, c);
  double L[3];
  for (int s = 1; s <= 3; s++) {
    const uint8_t *row = row_of_side(s);
    const MeshNode &a = node_at(m, place_node(m, c, row[1])), &b = node_at(m, place_node(m, c, row[2]));
    L[s - 1] = dist2(a, b);
    uint16_t d = cell.bdid[s - 1];
    if (cell.basis == tri3 || !d || !m->domain || d > m->domain->edges.count) continue;
    const Edge *e = &m->domain->edges.data[d - 1];
    if (e->shape == SHAPE_LINE) continue;
    double R;
    if (e->shape == SHAPE_ERC) {
      double pa[2] = {a.x, a.y}, pb[2] = {b.x, b.y};
      R = 0.5 * (edges_erc_rad(e, pa) + edges_erc_rad(e, pb));
    } else {
      R = e->shapedata.arc.rx;
    }
    if (R != 0) L[s - 1] *= 1 + L[s - 1] / (R * R);
  }
  uint16_t best = 1;
  for (uint16_t s = 2; s <= 3; s++)
    if (L[s - 1] > L[best - 1]) best = s;
  if (r > 0) {
    double lim = 0.81 * L[best - 1];
    uint16_t pick = best;
    for (uint16_t s = 1; s <= 3; s++)
      if ((cell.neighbour[s - 1] == r || cell.neighbour[s - 1] == -r) && L[s - 1] > lim) pick = s;
    best = pick;
  }
  return best;
}

// Work cells for interpolating the new nodes' values: the cell split and its neighbour.
static LocalCell split_cells[2];

// A new node at (x, y) like the split's opposite vertex A (spacing), tagged with the
// region; on a boundary side an edge node of d.
static int32_t new_node(Mesh *m, double x, double y, int32_t c, int32_t A, uint16_t d) {
  int32_t n = meshes_new_node_0(m, x, y, cell_at(m, c).region);
  MeshNode &nd = node_at(m, n);
  nd.spacing = node_at(m, A).spacing;
  if (d) nd.kind = 2, nd.id = d;
  return n;
}
static void insert_bnode(Mesh *m, uint16_t d, int32_t a, int32_t b, int32_t n, uint8_t insert) {
  if (insert && d && !meshes_insert_bnode(m, d, a, b, n)) trap_bnode();
}
static bool curved_edge(Mesh *m, uint16_t d) {
  if (!d || !m->curvegrid || !m->domain || d > m->domain->edges.count) return false;
  return m->domain->edges.data[d - 1].shape != SHAPE_LINE;
}
static void push(Mesh *m, uint16_t d, int32_t n) {
  if (!curved_edge(m, d)) return;
  MeshNode &nd = node_at(m, n);
  double p[2] = {nd.x, nd.y};
  edges_push_to_bdry(&m->domain->edges.data[d - 1], p);
  nd.x = p[0], nd.y = p[1];
}
static void push_xy(Mesh *m, uint16_t d, double *x, double *y) {
  if (!curved_edge(m, d)) return;
  double p[2] = {*x, *y};
  edges_push_to_bdry(&m->domain->edges.data[d - 1], p);
  *x = p[0], *y = p[1];
}
// The node at weight w of the way from node p to node q (straight).
static int32_t node_between(Mesh *m, int32_t p, int32_t q, double w, int32_t c, int32_t A, uint16_t d) {
  const MeshNode &P = node_at(m, p), &Q = node_at(m, q);
  return new_node(m, (1 - w) * P.x + w * Q.x, (1 - w) * P.y + w * Q.y, c, A, d);
}

// The side of cell c (1..3) whose neighbour is n, 0 when none.
static int side_to(Mesh *m, int32_t c, int32_t n) {
  for (int s = 1; s <= 3; s++)
    if (cell_at(m, c).neighbour[s - 1] == n) return s;
  return 0;
}

// A cell made by a split: c's basis, region and second id, the changed flag.
static int32_t split_cell_like(Mesh *m, int32_t c) {
  int32_t n = meshes_new_cell_0(m);
  MeshCell &nc = cell_at(m, n), &oc = cell_at(m, c);
  nc.basis = oc.basis, nc.region = oc.region, nc.region2 = oc.region2, nc.changed = 1;
  nc.bytes.count = 0;
  vectorl_resize(&nc.nodes, oc.nodes.count, std::max(oc.nodes.count, nc.nodes.capacity));
  for (int32_t k = 0; k < oc.nodes.count; k++) nc.nodes.data[k] = oc.nodes.data[k];
  return n;
}

// Side nodes by their ends: the nodes of the side from u to v in that order.
struct SideNodes {
  int32_t u, v, n[2];
};
static std::vector<SideNodes> side_table;

static void side_put(int32_t u, int32_t v, int32_t n1, int32_t n2) { side_table.push_back({u, v, {n1, n2}}); }
// Gives side t of cell y the nodes listed for its ends, when there are any.
static void side_set(Mesh *m, int32_t y, int t, int32_t basis) {
  const uint8_t *row = row_of_side(t);
  int32_t f = place_node(m, y, row[1]), g = place_node(m, y, row[2]);
  for (const SideNodes &e : side_table) {
    bool fw = e.u == f && e.v == g, bw = e.u == g && e.v == f;
    if (!fw && !bw) continue;
    if (basis == tri6) set_place(m, y, row[3], e.n[0]);
    else set_place(m, y, row[3], fw ? e.n[0] : e.n[1]), set_place(m, y, row[6], fw ? e.n[1] : e.n[0]);
    return;
  }
}
// Records side t of cell y (its nodes as they stand) in the table.
static void side_get(Mesh *m, int32_t y, int t, int32_t basis) {
  const uint8_t *row = row_of_side(t);
  side_put(place_node(m, y, row[1]), place_node(m, y, row[2]), place_node(m, y, row[3]),
           basis == tri9 ? place_node(m, y, row[6]) : 0);
}

// Cuts x across side s at the new vertex mv: x keeps the end at place pk, a new cell x2
// (returned) takes the other end's place pg; x2 takes x's outer side opposite pk.
static int32_t cut(Mesh *m, int32_t x, int pk, int pg, int32_t mv) {
  int32_t x2 = split_cell_like(m, x);
  MeshCell &X = cell_at(m, x), &X2 = cell_at(m, x2);
  int32_t opp = place_node(m, x, 6 - pk - pg), gone = place_node(m, x, pg);
  X2.nodes.data[pk - 1] = mv;
  X2.neighbour[pk - 1] = X.neighbour[pk - 1];
  X2.neighbour[pg - 1] = x;
  X2.neighbour[6 - pk - pg - 1] = 0;
  if (X2.neighbour[pk - 1]) meshes_fix_nabor(m, X2.neighbour[pk - 1], x, x2);
  X.nodes.data[pg - 1] = mv;
  X.neighbour[pk - 1] = x2;
  X.changed = 1;
  meshes_new_nodecell(m, opp, x2);
  meshes_fix_nodecell(m, gone, x, x2);
  meshes_new_nodecell(m, mv, x);
  meshes_new_nodecell(m, mv, x2);
  return x2;
}

static void finish_cells(Mesh *m, std::initializer_list<int32_t> cells) {
  for (int32_t k : cells) {
    if (k <= 0) continue;
    mesh2_fix_bdid2(m, k);
    meshes_set_centroid_1(m, k);
  }
}

static uint8_t position_in(Mesh *m, int32_t c, int32_t n) {
  const vectorl &l = cell_at(m, c).nodes;
  for (int32_t k = 0; k < l.count; k++)
    if (l.data[k] == n) return uint8_t(k + 1);
  return 0;
}

static void draw_side(Mesh *m, int32_t p, int32_t q) {
  const MeshNode &P = node_at(m, p), &Q = node_at(m, q);
  if (m->drawing && m->meshview) {
    gag_setcolor_0(m->meshview, colour_red);
    gag_drawline_1(m->meshview, P.x, P.y, Q.x, Q.y);
  }
  if (refine2_debug && m->debugview) gag_drawline_1(m->debugview, P.x, P.y, Q.x, Q.y);
}

static bool listed(const vectorl &l, int32_t x) {
  for (int32_t i = 0; i < l.count; i++)
    if (l.data[i] == x) return true;
  return false;
}

// Adds cell y to the lists of its side nodes (places 4 on).
static void list_side_nodes(Mesh *m, int32_t y) {
  const vectorl &l = cell_at(m, y).nodes;
  for (int32_t k = 3; k < l.count; k++) meshes_new_nodecell(m, l.data[k], y);
}

// The bisection of side s of c (and the same side s2 of r > 0), for every basis.
static void split_any(Mesh *m, int32_t c, uint16_t s, int32_t r, uint16_t s2, vectorvd *values, uint8_t log,
                      uint8_t insert, int32_t basis) {
  const uint8_t *row = row_of_side(s);
  int32_t A = place_node(m, c, row[0]), a = place_node(m, c, row[1]), b = place_node(m, c, row[2]);
  const uint8_t *rr = r > 0 ? row_of_side(s2) : row;
  int32_t N = r > 0 ? place_node(m, r, rr[0]) : 0;
  uint16_t d = cell_at(m, c).bdid[s - 1];
  // 1. Localise for interpolation.
  meshes_localize(m, &cell_at(m, c), &split_cells[0], 0);
  if (r > 0) meshes_localize(m, &cell_at(m, r), &split_cells[1], 0);
  // 2. The new vertex and the side nodes, by basis; the table lists the new sides' nodes.
  side_table.clear();
  int32_t mv = 0;
  std::vector<int32_t> fromc, fromr;  // new nodes, by the cell they are interpolated in
  if (basis == tri3) {
    mv = node_between(m, a, b, 0.5, c, A, d);
    insert_bnode(m, d, a, b, mv, insert);
    push(m, d, mv);
    fromc = {mv};
  } else if (basis == tri6) {
    mv = place_node(m, c, row[3]);
    int32_t na = node_between(m, a, mv, 0.5, c, A, d), nb = node_between(m, mv, b, 0.5, c, A, d);
    insert_bnode(m, d, a, mv, na, insert);
    insert_bnode(m, d, mv, b, nb, insert);
    push(m, d, na), push(m, d, nb);
    int32_t i1 = node_between(m, A, mv, 0.5, c, A, 0);
    side_put(a, mv, na, 0), side_put(mv, b, nb, 0), side_put(A, mv, i1, 0);
    fromc = {na, nb, i1};
    if (r > 0) {
      int32_t i2 = node_between(m, N, mv, 0.5, r, N, 0);
      side_put(N, mv, i2, 0);
      fromr = {i2};
    }
  } else {
    int32_t ta = place_node(m, c, row[3]), tb = place_node(m, c, row[6]);
    double x = 0.5 * (node_at(m, a).x + node_at(m, b).x), y = 0.5 * (node_at(m, a).y + node_at(m, b).y);
    push_xy(m, d, &x, &y);
    mv = new_node(m, x, y, c, A, d);
    int32_t na = node_between(m, a, mv, 1.0 / 3, c, A, d), nb = node_between(m, b, mv, 1.0 / 3, c, A, d);
    insert_bnode(m, d, a, ta, na, insert);
    insert_bnode(m, d, tb, b, nb, insert);
    insert_bnode(m, d, ta, tb, mv, insert);
    push(m, d, na), push(m, d, nb);
    int32_t j1 = node_between(m, A, mv, 1.0 / 3, c, A, 0), j2 = node_between(m, A, mv, 2.0 / 3, c, A, 0);
    side_put(a, mv, na, ta), side_put(mv, b, tb, nb), side_put(A, mv, j1, j2);
    fromc = {mv, na, nb, j1, j2};
    if (r > 0) {
      int32_t k1 = node_between(m, N, mv, 1.0 / 3, r, N, 0), k2 = node_between(m, N, mv, 2.0 / 3, r, N, 0);
      side_put(N, mv, k1, k2);
      fromr = {k1, k2};
    }
  }
  // 3. Values at the new nodes, from the cell each lies in.
  if (values && values->count) {
    for (int32_t n : fromc) meshes_nodalu(m, n, values, &split_cells[0], basis);
    for (int32_t n : fromr) meshes_nodalu(m, n, values, &split_cells[1], basis);
  }
  // 4. The cells: c keeps a (its from end), r keeps a (its to end).
  if (basis == tri6) meshes_delete_nodecell(m, mv, c), r > 0 ? meshes_delete_nodecell(m, mv, r) : void();
  int32_t c2 = cut(m, c, row[1], row[2], mv), r2 = 0;
  if (r > 0) {
    r2 = cut(m, r, rr[2], rr[1], mv);
    cell_at(m, c2).neighbour[s - 1] = r2;
    cell_at(m, r2).neighbour[s2 - 1] = c2;
  }
  // 5. Side nodes of the new sides.
  if (basis != tri3)
    for (int32_t y : {c, c2, r, r2}) {
      if (y <= 0) continue;
      for (int t = 1; t <= 3; t++) side_set(m, y, t, basis);
      list_side_nodes(m, y);
    }
  if (basis != tri3) {
    // c2 took over c's side nodes on its outer side: those leave c's list.
    const vectorl &l2 = cell_at(m, c2).nodes;
    for (int32_t k = 3; k < l2.count; k++)
      if (!position_in(m, c, l2.data[k]) && listed(node_at(m, l2.data[k]).nodecell, c))
        meshes_delete_nodecell(m, l2.data[k], c);
    if (r2)
      for (int32_t k = 3; k < cell_at(m, r2).nodes.count; k++) {
        int32_t n = cell_at(m, r2).nodes.data[k];
        if (!position_in(m, r, n) && listed(node_at(m, n).nodecell, r)) meshes_delete_nodecell(m, n, r);
      }
  }
  // 6. Side ids, centroids, estimates and flags.
  finish_cells(m, {c, c2, r, r2});
  for (int32_t x : {c, r}) {
    if (x <= 0) continue;
    int32_t x2 = x == c ? c2 : r2;
    cell_at(m, x).error *= refine2_estimate_factor;
    cell_at(m, x2).error = cell_at(m, x).error;
    cell_at(m, x).split = cell_at(m, x2).split = 1;
  }
  // 7. History: the cells in their order around m.
  if (log) {
    if (r > 0) {
      refine1_log_split(m, c, 1, position_in(m, c, mv));
      refine1_log_split(m, r, 2, position_in(m, r, mv));
      refine1_log_split(m, r2, 3, position_in(m, r2, mv));
      refine1_log_split(m, c2, 4, position_in(m, c2, mv));
    } else {
      refine1_log_split(m, c2, 1, position_in(m, c2, mv));
      refine1_log_split(m, c, 2, position_in(m, c, mv));
    }
  }
  // 8. Finder and drawing.
  if (m->finder.built) {
    mfinder_map_finder_cell(&m->finder, m, c2);
    if (r2) mfinder_map_finder_cell(&m->finder, m, r2);
  }
  draw_side(m, A, mv);
  if (r > 0) draw_side(m, N, mv);
}

void split_tri3(Mesh *m, int32_t c, uint16_t s, int32_t r, uint16_t s2, vectorvd *values, uint8_t log,
                uint8_t insert) {
  TRACE("split_tri3_0");
  split_any(m, c, s, r, s2, values, log, insert, tri3);
}
void split_tri6(Mesh *m, int32_t c, uint16_t s, int32_t r, uint16_t s2, vectorvd *values, uint8_t log,
                uint8_t insert) {
  TRACE("split_tri6_0");
  split_any(m, c, s, r, s2, values, log, insert, tri6);
}
void split_tri9(Mesh *m, int32_t c, uint16_t s, int32_t r, uint16_t s2, vectorvd *values, uint8_t log,
                uint8_t insert) {
  TRACE("split_tri9_0");
  split_any(m, c, s, r, s2, values, log, insert, tri9);
}

static void split_by(Mesh *m, int32_t c, uint16_t s, int32_t r, uint16_t s2, vectorvd *values, uint8_t log,
                     uint8_t insert, int32_t basis) {
  switch (basis) {
    case tri3: split_tri3(m, c, s, r, s2, values, log, insert); break;
    case tri6: split_tri6(m, c, s, r, s2, values, log, insert); break;
    case tri9: split_tri9(m, c, s, r, s2, values, log, insert); break;
    default: rtlib_fatal_in("refine2_subdivide2", "BAD ORDER");
  }
}

// The side of q holding the periodic images of side s of c, 0 when none.
static uint16_t image_side(Mesh *m, int32_t c, uint16_t s, int32_t q) {
  const uint8_t *row = row_of_side(s);
  int32_t a = place_node(m, c, row[1]), b = place_node(m, c, row[2]);
  int32_t ia = node_at(m, a).image, ib = node_at(m, b).image;
  uint16_t t = meshes_find_side_1(m, q, ib, ia);
  return t ? t : meshes_find_side_1(m, q, ia, ib);
}

// Makes the nodes of side s of x and those of side t of y (its periodic image) images of
// each other: the ends, and the side nodes in the same order along the side.
static void pair_side_images(Mesh *m, int32_t x, uint16_t s, int32_t y, uint16_t t, int32_t basis) {
  const uint8_t *rx = row_of_side(s), *ry = row_of_side(t);
  int32_t xa = place_node(m, x, rx[1]), xb = place_node(m, x, rx[2]);
  int32_t ya = place_node(m, y, ry[1]), yb = place_node(m, y, ry[2]);
  bool same = node_at(m, xa).image == ya || node_at(m, xb).image == yb;
  auto link = [m](int32_t p, int32_t q) {
    if (p <= 0 || q <= 0) return;
    node_at(m, p).image = q;
    node_at(m, q).image = p;
  };
  link(xa, same ? ya : yb);
  link(xb, same ? yb : ya);
  if (basis == tri6) link(place_node(m, x, rx[3]), place_node(m, y, ry[3]));
  if (basis == tri9) {
    link(place_node(m, x, rx[3]), place_node(m, y, same ? ry[3] : ry[6]));
    link(place_node(m, x, rx[6]), place_node(m, y, same ? ry[6] : ry[3]));
  }
}

void refine2_subdivide2(Mesh *m, int32_t c, int32_t basis, vectorvd *values, uint8_t log, uint8_t insert) {
  TRACE("refine2_subdivide2_0");
  if (basis != tri3 && basis != tri6 && basis != tri9) rtlib_fatal_in("refine2_subdivide2", "BAD ORDER");
  uint16_t s, s2 = 0;
  int32_t r;
  for (;;) {
    s = longest(m, c, 0);
    r = cell_at(m, c).neighbour[s - 1];
    if (r == 0) break;
    if (r > 0) {
      s2 = longest(m, r, c);
      if (cell_at(m, r).neighbour[s2 - 1] == c) break;
      refine2_subdivide2(m, r, basis, values, log, insert);
    } else {
      uint16_t t = image_side(m, c, s, -r);
      if (!t) rtlib_fatal_in("refine2_subdivide2", "Unmatched Periodic Node");
      if (t == longest(m, -r, c)) break;
      refine2_subdivide2(m, -r, basis, values, log, insert);
    }
  }
  if (r >= 0) {
    split_by(m, c, s, r, s2, values, log, insert, basis);
    return;
  }
  // Across a periodic side: the image cell is bisected along the side holding the images
  // of a and b (found before c is cut), and each half is linked to the image half that
  // holds its own end's image.
  int32_t q = -r;
  const uint8_t *row = row_of_side(s);
  int32_t a = place_node(m, c, row[1]);
  uint16_t t = image_side(m, c, s, q);
  int32_t ia = node_at(m, a).image;
  split_by(m, c, s, 0, 0, values, log, insert, basis);
  int32_t c2 = m->cells.count;  // the half of c holding b
  split_by(m, q, t, 0, 0, values, log, insert, basis);
  int32_t q2 = m->cells.count;
  int32_t qa = position_in(m, q, ia) ? q : q2, qb = qa == q ? q2 : q;
  // c's half-side (a, m) and c2's (m, b) are side s of each; the image halves' sides are t.
  cell_at(m, c).neighbour[s - 1] = -qa, cell_at(m, qa).neighbour[t - 1] = -c;
  cell_at(m, c2).neighbour[s - 1] = -qb, cell_at(m, qb).neighbour[t - 1] = -c2;
  // The new nodes on both sides are images of each other from now on, not only from the
  // matching that ends the pass: a later split in this pass across one of the halves
  // looks for its image side through them.
  pair_side_images(m, c, s, qa, t, basis);
  pair_side_images(m, c2, s, qb, t, basis);
}

// ---- Merging -------------------------------------------------------------------------------

// The third-point of side t of cell y next to node P (the side's nearer one).
static int32_t near_node(Mesh *m, int32_t y, int t, int32_t P, int32_t basis) {
  const uint8_t *row = row_of_side(t);
  if (basis == tri6) return place_node(m, y, row[3]);
  return place_node(m, y, row[1]) == P ? place_node(m, y, row[3]) : place_node(m, y, row[6]);
}

// x (kept) takes back the half x2 of the cell they were split from, around node P.
static void absorb(Mesh *m, int32_t x, int32_t x2, int32_t P, int32_t basis) {
  int px = position_in(m, x, P), px2 = position_in(m, x2, P);
  int si = side_to(m, x, x2);
  int sh = 6 - px - si;                       // x's half of the bisected side
  int32_t g = 0;                              // the end that went to x2
  for (int k = 1; k <= 3; k++)
    if (!position_in(m, x, place_node(m, x2, k))) g = place_node(m, x2, k);
  int32_t kend = place_node(m, x, row_of_side(sh)[1]) == P ? place_node(m, x, row_of_side(sh)[2])
                                                           : place_node(m, x, row_of_side(sh)[1]);
  int sh2 = 6 - px2 - side_to(m, x2, x);      // x2's half of it
  if (basis != tri3) {
    side_get(m, x2, px2, basis);
    int32_t t1 = basis == tri6 ? P : near_node(m, x, sh, P, basis);
    int32_t t2 = basis == tri6 ? 0 : near_node(m, x2, sh2, P, basis);
    side_put(kend, g, t1, t2);
  }
  int32_t outer = cell_at(m, x2).neighbour[px2 - 1];
  set_place(m, x, px, g);
  cell_at(m, x).neighbour[si - 1] = outer;
  if (outer) meshes_fix_nabor(m, outer, x2, x);
  MeshCell &X = cell_at(m, x);
  X.error += cell_at(m, x2).error;
  X.merge = 1;
  if (X.bytes.count) X.bytes.count--;
}

static void merge_group(Mesh *m, int32_t P, int32_t basis, bool interior) {
  const vectorl &l = node_at(m, P).nodecell;
  int32_t q[4] = {l.data[0], l.data[1], interior ? l.data[2] : 0, interior ? l.data[3] : 0};
  std::vector<int32_t> kept = interior ? std::vector<int32_t>{q[0], q[1]} : std::vector<int32_t>{q[1]};
  std::vector<int32_t> gone = interior ? std::vector<int32_t>{q[3], q[2]} : std::vector<int32_t>{q[0]};
  std::vector<int32_t> before;
  for (int32_t y : q)
    if (y)
      for (int32_t k = 0; k < cell_at(m, y).nodes.count; k++) before.push_back(cell_at(m, y).nodes.data[k]);
  side_table.clear();
  for (size_t i = 0; i < kept.size(); i++) absorb(m, kept[i], gone[i], P, basis);
  if (basis != tri3)
    for (int32_t x : kept)
      for (int t = 1; t <= 3; t++) side_set(m, x, t, basis);
  for (int32_t g : gone) {
    if (m->finder.built) mfinder_unmap_finder_cell(&m->finder, m, g);
    for (int s = 0; s < 3; s++) cell_at(m, g).neighbour[s] = 0;
  }
  // Node-cell lists: the group leaves every node it used; the kept cells come back.
  for (int32_t n : before)
    for (int32_t y : q)
      if (y && listed(node_at(m, n).nodecell, y)) meshes_delete_nodecell(m, n, y);
  for (int32_t x : kept)
    for (int32_t k = 0; k < cell_at(m, x).nodes.count; k++) meshes_new_nodecell(m, cell_at(m, x).nodes.data[k], x);
  for (int32_t g : gone) meshes_delete_cell(m, g);
  // The nodes only the split had made go.
  std::sort(before.begin(), before.end());
  before.erase(std::unique(before.begin(), before.end()), before.end());
  for (int32_t n : before) {
    bool used = false;
    for (int32_t x : kept) used |= position_in(m, x, n) != 0;
    if (!used && node_at(m, n).alive) meshes_delete_node(m, n);
  }
  for (int32_t x : kept) {
    finish_cells(m, {x});
    if (m->finder.built) mfinder_map_finder_cell(&m->finder, m, x);
  }
}

void merge_tri3(Mesh *m, int32_t P) { TRACE("merge_tri3_0"); merge_group(m, P, tri3, true); }
void merge_tri6(Mesh *m, int32_t P) { TRACE("merge_tri6_0"); merge_group(m, P, tri6, true); }
void merge_tri9(Mesh *m, int32_t P) { TRACE("merge_tri9_0"); merge_group(m, P, tri9, true); }
void bmerge_tri3(Mesh *m, int32_t P) { TRACE("bmerge_tri3_0"); merge_group(m, P, tri3, false); }
void bmerge_tri6(Mesh *m, int32_t P) { TRACE("bmerge_tri6_0"); merge_group(m, P, tri6, false); }
void bmerge_tri9(Mesh *m, int32_t P) { TRACE("bmerge_tri9_0"); merge_group(m, P, tri9, false); }

uint16_t refine2_mergecell2(Mesh *m, int32_t c, int32_t basis, double threshold) {
  TRACE("refine2_mergecell2_0");
  if (basis != tri3 && basis != tri6 && basis != tri9) rtlib_fatal_in("refine2_mergecell2", "BAD ORDER");
  MeshCell &C = cell_at(m, c);
  if (!C.alive || C.split || C.bytes.count == 0) return 0;
  uint8_t h = C.bytes.data[C.bytes.count - 1];
  int slot = h / 16, pos = h % 16;
  if (pos < 1 || pos > C.nodes.count) return 0;
  int32_t P = C.nodes.data[pos - 1];
  vectorl &l = node_at(m, P).nodecell;
  int32_t k = l.count;
  if (k != 4 && k != 2) return 0;
  for (int32_t i = 0; i < k; i++) {
    MeshCell &q = cell_at(m, l.data[i]);
    if (!q.alive || q.error > threshold || q.bytes.count == 0 || q.merge) return 0;
    uint8_t hq = q.bytes.data[q.bytes.count - 1];
    int pq = hq % 16;
    if (pq < 1 || pq > q.nodes.count || q.nodes.data[pq - 1] != P) return 0;
    // A half of a periodic side is linked across to the other side's halves: not undone.
    for (int s = 1; s <= 3; s++)
      if (s != pq && q.neighbour[s - 1] < 0) return 0;
  }
  int32_t beyond = mesh2_order_nodecells(m, P);
  bool closed = beyond == l.data[0];
  if (!(closed && k == 4) && !(!closed && k == 2)) return 0;
  if (slot < 1 || slot > k) return 0;
  for (int32_t i = 0; i < k && l.data[slot - 1] != c; i++) refine1_rotate(&l);
  if (l.data[slot - 1] != c) return 0;
  // Every cell must sit at the slot its history names.
  for (int32_t i = 0; i < k; i++) {
    const MeshCell &q = cell_at(m, l.data[i]);
    if (q.bytes.data[q.bytes.count - 1] / 16 != i + 1) return 0;
  }
  if (k == 4) {
    switch (basis) {
      case tri3: merge_tri3(m, P); break;
      case tri6: merge_tri6(m, P); break;
      default: merge_tri9(m, P); break;
    }
    return 2;
  }
  switch (basis) {
    case tri3: bmerge_tri3(m, P); break;
    case tri6: bmerge_tri6(m, P); break;
    default: bmerge_tri9(m, P); break;
  }
  return 1;
}
