// extrude3: extruded domain entities, node columns and the split of prism stacks into
// tetrahedra.
#include "mesher/extrude3.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "runtime/bounding.h"
#include "domain/domain.h"
#include "domain/dominpde.h"
#include "domain/edges.h"
#include "domain/faces.h"
#include "domain/joints.h"
#include "domain/regions.h"
#include "elements/elements.h"
#include "elements/meshes.h"
#include "graphics/display.h"
#include "mesher/mesh1.h"
#include "mesher/mesh3.h"
#include "mesher/mesher2.h"
#include "model/pdedat_record.h"
#include "mesher/meshpde3.h"
#include "runtime/bopmem.h"
#include "runtime/debug.h"
#include "runtime/geom3d.h"
#include "runtime/point3d.h"
#include "runtime/report.h"
#include "runtime/rtlib.h"

int extrude3_init() {
  TRACE("extrude3");
  return 0;
}

namespace {

// The work data of one extrusion, released on every way out.
struct Work {
  pde *p;
  Mesh *m;        // the 3D mesh
  Mesh *base;     // the base mesh
  Domain *d;      // the 3D domain
  uint16_t S, R, E, J;
  int32_t N;
  std::vector<std::vector<int32_t>> sheetnode;  // [sheet][base node]: 3D node
  std::vector<std::vector<int32_t>> stud;       // [base node]: column through the layer
  std::vector<std::vector<uint8_t>> order[3];   // [side][base cell]: choices along the side
  double thickest = 0;                          // the layer being built: its greatest thickness
};
Work *W = nullptr;

uint16_t &map_at(Domain *d, int which, uint16_t s, uint16_t i) { return d->maps[which].data[s - 1].data[i - 1]; }

MeshNode &node3(int32_t n) { return W->m->nodes.data[n - 1]; }

// The base region of a region of the 3D domain.
uint16_t base_region(const Domain *d, uint16_t r) {
  if (r < 1 || r > d->regions.count || !W->R) return 0;
  return uint16_t((r - 1) % W->R + 1);
}

uint16_t layer_region(uint16_t k, uint16_t r) { return r ? uint16_t((k - 1) * W->R + r) : 0; }

bool excluded(const Domain *d, uint16_t r) { return r >= 1 && r <= d->regions.count && d->regions.data[r - 1].excluded; }

// Room for extra more cells (nodes), growing by half at least, so that the tables of a
// large extrusion are not copied once per fixed growth step.
void reserve_cells(Mesh *m, int64_t extra) {
  int64_t want = m->cells.count + extra;
  if (want > m->cells.capacity)
    cellnode_resize_0(&m->cells, m->cells.count, int32_t(std::max<int64_t>(want, int64_t(m->cells.capacity) * 3 / 2)));
}
void reserve_nodes(Mesh *m, int64_t extra) {
  int64_t want = m->nodes.count + extra;
  if (want > m->nodes.capacity)
    cellnode_resize_1(&m->nodes, m->nodes.count, int32_t(std::max<int64_t>(want, int64_t(m->nodes.capacity) * 3 / 2)));
}

void grow(double x, double y, double z) { bounding_check_bounds_2(&W->d->grid, x, y, z); }

// Lists a region in the edge's four side-region slots (once; dropped when all are taken).
void list_region(Edge *e, uint16_t r) {
  if (!r) return;
  for (auto s : e->side_regions)
    if (s == r) return;
  for (auto &s : e->side_regions)
    if (!s) {
      s = r;
      return;
    }
}

void enlist_face(Domain *d, uint16_t edge, uint16_t f) {
  if (!f || !edge) return;
  Edge &E = d->edges.data[edge - 1];
  vectorn_enlist(&E.face_list, f);
  vectorn_enlist(&d->joints.data[E.joint1 - 1].faces, f);
  vectorn_enlist(&d->joints.data[E.joint2 - 1].faces, f);
}

// The region in which the surfaces are evaluated at a node.
uint16_t node_region(const Domain *d, const MeshNode &n) {
  switch (n.kind) {
    case 0: return n.id;
    case 1: {
      const Joint &j = d->joints.data[n.id - 1];
      return j.regions.count ? j.regions.data[0] : 0;
    }
    case 2: {
      const Edge &e = d->edges.data[n.id - 1];
      return std::max(e.side_regions[0], e.side_regions[1]);
    }
    case 3: {
      if (n.id < 1 || n.id > d->faces.count) return 0;
      const face &f = d->faces.data[n.id - 1];
      return std::max(f.regions[0], f.regions[1]);
    }
    default: return 0;
  }
}

double sheet_z(uint16_t s, uint16_t r, double x, double y) { return meshpde3_sheet_z(W->d, s, r, x, y); }

[[noreturn]] void mapping_error(uint16_t P, const char *what) {
  String m{uint16_t(strlen(what)), 0, const_cast<char *>(what)};
  report_parse_err_1(W->p, W->d->periodics.data[P - 1].mapping, &m);
}

double distance(const Joint &a, const point3d &b) {
  point3d q = {a.x, a.y, a.z};
  return point3d_distance_0(&q, &b);
}

// ---- Entities -----------------------------------------------------------------------------

void base_periodics() {
  if (W->d->periodics.count) dominpde_get_transforms(W->p, 3);
}

void base_grid() {
  Domain *d = W->d;
  const Domain *b = d->base;
  double sx = d->shear[0], sy = d->shear[1];
  // 1. The z range starts empty.
  d->grid.box.z1 = DOMAIN_HUGE, d->grid.box.z2 = -DOMAIN_HUGE;
  if (debug_file && d->surfacetrees.count) trees_print_tree(debug_file, d->surfacetrees.data[0], "BASE SHEET");
  // 2. Joints on sheet 1.
  for (uint16_t j = 1; j <= W->J; j++) {
    Joint &J = d->joints.data[j - 1];
    const Joint &B = b->joints.data[j - 1];
    double z = sheet_z(1, J.regions.count ? J.regions.data[0] : 0, B.x, B.y);
    J.z = z, J.x = B.x + z * sx, J.y = B.y + z * sy;
    map_at(d, EXTRUDE3_JOINT, 1, j) = j;
  }
  // 3. Edges on sheet 1 become extrusion edges of the base edges.
  for (uint16_t e = 1; e <= W->E; e++) {
    Edge &E = d->edges.data[e - 1];
    map_at(d, EXTRUDE3_EDGE, 1, e) = e;
    E.source = e, E.surface = 1, E.shape = SHAPE_EXTRUD;
    E.shapedata.base = &b->edges;
  }
  // 4. The bottom faces of the include regions.
  for (uint16_t r = 1; r <= W->R; r++) {
    region &Rg = d->regions.data[r - 1];
    Rg.layer = 1;
    map_at(d, EXTRUDE3_REGION, 1, r) = r;
    if (Rg.type != 0) continue;
    uint16_t f = faces_new_face(&d->faces, 0);
    face &F = d->faces.data[f - 1];
    F.base = r, F.level = 1, F.regions[0] = 0, F.regions[1] = r;
    F.bytes[0] = d->flat.count ? d->flat.data[0] : 1;
    // A periodic extrusion's top maps onto its bottom: as a periodic side's image in the
    // plane, the bottom drops the conditions written on it and the link holds there.
    if (Rg.lists[0].count && !(d->perextrude && d->periodics.count)) F.bctag = Rg.lists[0].data[0];
    map_at(d, EXTRUDE3_FACE, 1, r) = f;
  }
  // 5. Base nodes on sheet 1; interior nodes become nodes of their region's bottom face.
  for (int32_t n = 1; n <= W->N; n++) {
    MeshNode &N = node3(n);
    W->sheetnode[1][n] = n;
    if (!N.alive) continue;
    const MeshNode &B = W->base->nodes.data[n - 1];
    uint16_t r = node_region(d, N);
    grow(N.x, N.y, sheet_z(W->S, r, B.x, B.y));
    double z = sheet_z(1, r, B.x, B.y);
    N.z = z, N.x = B.x + z * sx, N.y = B.y + z * sy;
    grow(N.x, N.y, N.z);
    if (N.kind == 0) {
      N.kind = 3;
      N.id = r >= 1 && r <= W->R ? map_at(d, EXTRUDE3_FACE, 1, r) : 0;
    }
  }
  // 6. Edges and joints list the bottom faces beside them.
  for (uint16_t e = 1; e <= W->E; e++)
    for (int s = 0; s < 2; s++)
      if (uint16_t r = d->edges.data[e - 1].side_regions[s]; r >= 1 && r <= W->R)
        enlist_face(d, e, map_at(d, EXTRUDE3_FACE, 1, r));
}

const double kThinnest = 0.1, kLeast = mesh3_shared_sheet;

// The thickness below which layer k counts as pinched at base node n, its two sheets
// sharing the node there. A layer thinner than a tenth of the node's spacing would hold
// tetrahedra as flat as it is thin; it shares the node where it vanishes within a quarter
// of the spacing along its steepest fall (a pinch at an angle, whose sheets meet by the
// node: refining such flat cells across a kink inverts them). Beside a tangent pinch the
// layer thins as the square of the distance: the node is shared only below a
// ten-thousandth of the spacing (columns thinner still split into tetrahedra too flat to
// keep their neighbours), or the layer above would take the layer's volume (a tenth of
// the spacing lost 6% of a layer under 0.5 x^2); so is a layer thin by the node but not
// vanishing near it. A layer thin
// everywhere (a plate thinner than the base spacing) is no pinch: it is measured against
// its own greatest thickness.
double thinnest(uint16_t k, int32_t n) {
  double tol = W->d->grid.tolerance;
  if (n < 1 || n > W->base->nodes.count) return tol;
  const MeshNode &B = W->base->nodes.data[n - 1];
  double h = std::min(double(B.spacing), W->thickest), bound = std::max(tol, kThinnest * h);
  uint16_t r = base_region(W->d, node_region(W->d, node3(n)));
  auto T = [&](double x, double y) { return sheet_z(uint16_t(k + 1), r, x, y) - sheet_z(k, r, x, y); };
  double t = T(B.x, B.y), e = 1e-3 * h;
  if (!(t < bound) || !(e > 0)) return bound;
  double gx = (T(B.x + e, B.y) - T(B.x - e, B.y)) / (2 * e), gy = (T(B.x, B.y + e) - T(B.x, B.y - e)) / (2 * e);
  double g = std::hypot(gx, gy), least = std::max(tol, kLeast * h);
  if (!(t < 0.25 * g * h)) return least;
  // Along the fall the layer's curvature tells the two apart: t t'' / t'^2 is 0 where it
  // thins in proportion to the distance, 1/2 where it thins as its square.
  double ux = gx / g, uy = gy / g;
  double c = (T(B.x + e * ux, B.y + e * uy) - 2 * t + T(B.x - e * ux, B.y - e * uy)) / (e * e);
  return t * c < 0.25 * g * g ? bound : least;
}

void copy_joints(uint16_t k, bool last) {
  Domain *d = W->d;
  const Domain *b = d->base;
  double sx = d->shear[0], sy = d->shear[1], tol = d->grid.tolerance;
  for (uint16_t j = 1; j <= W->J; j++) {
    uint16_t jk = map_at(d, EXTRUDE3_JOINT, k, j);
    const Joint &B = b->joints.data[j - 1];
    const Joint &J1 = d->joints.data[j - 1];
    double z = sheet_z(k + 1, J1.regions.count ? J1.regions.data[0] : 0, B.x, B.y);
    int32_t bn = j <= W->base->jointnodes.count ? W->base->jointnodes.data[j - 1] : 0;
    if (z - d->joints.data[jk - 1].z >= std::max(tol, thinnest(k, bn))) {
      uint16_t nj = joints_new_joint_1(&d->joints, B.x + z * sx, B.y + z * sy, z);
      map_at(d, EXTRUDE3_JOINT, k + 1, j) = nj;
      grow(d->joints.data[nj - 1].x, d->joints.data[nj - 1].y, z);
      uint16_t ve = uint16_t(std::abs(edges_make_line3_edge(&d->edges, &d->joints, jk, nj, &d->grid)));
      vectorn_enlist(&d->joints.data[jk - 1].edges, ve);
      vectorn_enlist(&d->joints.data[nj - 1].edges, ve);
      map_at(d, EXTRUDE3_VEDGE, k, j) = ve;
    } else {
      map_at(d, EXTRUDE3_JOINT, k + 1, j) = jk;
      map_at(d, EXTRUDE3_VEDGE, k, j) = 0;
    }
  }
  if (!d->periodics.count) return;
  if (!d->perextrude) {
    // Lateral images: the joints of the new sheet pair as their base joints do.
    for (uint16_t j = 1; j <= W->J; j++) {
      const Joint &B = d->joints.data[j - 1];
      uint16_t P = B.periodic, img = B.image;
      if (!P || !img || P > d->periodics.count || img > W->J) continue;
      uint16_t nj = map_at(d, EXTRUDE3_JOINT, k + 1, j), np = map_at(d, EXTRUDE3_JOINT, k + 1, img);
      Joint &NJ = d->joints.data[nj - 1];
      NJ.periodic = P, NJ.image = np;
      point3d at = {NJ.x, NJ.y, NJ.z}, q;
      geom3d_rotate_0(&q, &d->periodics.data[P - 1].forward, &at);
      if (distance(d->joints.data[np - 1], q) > d->grid.tolerance) mapping_error(P, "Periodic Boundaries Don't Match");
      uint16_t ve = map_at(d, EXTRUDE3_VEDGE, k, j), vp = map_at(d, EXTRUDE3_VEDGE, k, img);
      if (ve && vp) d->edges.data[ve - 1].periodic = P, d->edges.data[ve - 1].image = vp;
    }
  } else if (last) {
    // Top onto bottom.
    for (uint16_t j = 1; j <= W->J; j++) {
      uint16_t top = map_at(d, EXTRUDE3_JOINT, W->S, j);
      if (top == j) continue;
      Joint &T = d->joints.data[top - 1];
      T.periodic = 1, T.image = j;
      point3d at = {T.x, T.y, T.z}, q;
      geom3d_rotate_0(&q, &d->periodics.data[0].forward, &at);
      if (distance(d->joints.data[j - 1], q) > d->grid.tolerance) mapping_error(1, "Periodic Surfaces Don't Match");
    }
  }
}

// Whether layer k has no thickness anywhere along base edge e: at its base nodes (the
// sheet-k node against sheet k+1), not only at its two joints.
bool edge_pinched(uint16_t k, uint16_t e) {
  const Domain *d = W->d;
  const vectorl &l = W->base->edgenodes.data[e - 1];
  for (int32_t i = 0; i < l.count; i++) {
    int32_t n = l.data[i], below = n >= 1 && n <= W->N ? W->sheetnode[k][n] : 0;
    if (!below) continue;
    const MeshNode &B = W->base->nodes.data[n - 1];
    uint16_t r = base_region(d, node_region(d, node3(n)));
    if (sheet_z(uint16_t(k + 1), r, B.x, B.y) - node3(below).z >= thinnest(k, n)) return false;
  }
  return true;
}

void copy_edges(uint16_t k, bool last) {
  Domain *d = W->d;
  Mesh *m = W->m;
  for (uint16_t e = 1; e <= W->E; e++) {
    uint16_t a = d->edges.data[e - 1].joint1, b = d->edges.data[e - 1].joint2;
    uint16_t sr[2] = {layer_region(k, d->edges.data[e - 1].side_regions[0]),
                      layer_region(k, d->edges.data[e - 1].side_regions[1])};
    uint16_t ek = map_at(d, EXTRUDE3_EDGE, k, e);
    uint16_t ak = map_at(d, EXTRUDE3_JOINT, k, a), bk = map_at(d, EXTRUDE3_JOINT, k, b);
    uint16_t a1 = map_at(d, EXTRUDE3_JOINT, k + 1, a), b1 = map_at(d, EXTRUDE3_JOINT, k + 1, b);
    if (a1 == ak && b1 == bk && (e > W->base->edgenodes.count || edge_pinched(k, e))) {
      for (uint16_t r : sr) list_region(&d->edges.data[ek - 1], r);
      map_at(d, EXTRUDE3_EDGE, k + 1, e) = ek;
      map_at(d, EXTRUDE3_VFACE, k, e) = 0;
      continue;
    }
    uint16_t ne = uint16_t(
        std::abs(edges_make_extrud_edge(&d->edges, &d->joints, a1, b1, &d->grid, &d->base->edges, e, uint16_t(k + 1))));
    vectorn_enlist(&d->joints.data[a1 - 1].edges, ne);
    vectorn_enlist(&d->joints.data[b1 - 1].edges, ne);
    const Edge &B = d->edges.data[e - 1];
    Edge &N = d->edges.data[ne - 1];
    N.feature = B.feature, N.external = B.external, N.length = B.length;
    strings_copyto_0(&N.name, &B.name);
    for (uint16_t r : sr) list_region(&N, r);
    map_at(d, EXTRUDE3_EDGE, k + 1, e) = ne;
    if (m->edgenodes.count >= ne) vectorl_copyto_0(&m->edgenodes.data[ne - 1], &W->base->edgenodes.data[e - 1]);
    // The face the edge sweeps; a per-layer condition list too short for this layer
    // leaves the edge's own condition.
    uint16_t f = faces_new_face(&d->faces, 1);
    face &F = d->faces.data[f - 1];
    const Edge &B2 = d->edges.data[e - 1];
    F.base = e, F.level = k, F.regions[0] = sr[0], F.regions[1] = sr[1];
    F.bctag = B2.layer_tags.count >= k ? B2.layer_tags.data[k - 1] : B2.bctag;
    map_at(d, EXTRUDE3_VFACE, k, e) = f;
    enlist_face(d, ne, f);
    enlist_face(d, ek, f);
    for (uint16_t ve : {map_at(d, EXTRUDE3_VEDGE, k, a), map_at(d, EXTRUDE3_VEDGE, k, b)})
      if (ve) vectorn_enlist(&d->edges.data[ve - 1].face_list, f);
  }
  if (!d->periodics.count) return;
  if (!d->perextrude) {
    for (uint16_t e = 1; e <= W->E; e++) {
      const Edge &B = d->edges.data[e - 1];
      uint16_t P = B.periodic, img = B.image;
      if (!P || !img || img > W->E) continue;
      uint16_t ne = map_at(d, EXTRUDE3_EDGE, k + 1, e);
      d->edges.data[ne - 1].periodic = P, d->edges.data[ne - 1].image = map_at(d, EXTRUDE3_EDGE, k + 1, img);
      uint16_t vf = map_at(d, EXTRUDE3_VFACE, k, e), vp = map_at(d, EXTRUDE3_VFACE, k, img);
      if (vf && vp) d->faces.data[vf - 1].periodic = P, d->faces.data[vf - 1].image = vp;
    }
  } else if (last) {
    for (uint16_t e = 1; e <= W->E; e++) {
      uint16_t top = map_at(d, EXTRUDE3_EDGE, W->S, e);
      if (top != e) d->edges.data[top - 1].periodic = 1, d->edges.data[top - 1].image = e;
    }
  }
}

void copy_regions(uint16_t k, bool last) {
  Domain *d = W->d;
  uint16_t R = W->R;
  for (uint16_t r = 1; r <= R; r++) {
    int32_t type = d->regions.data[r - 1].type;
    uint16_t rk = k == 1 ? r : regions_new_region(&d->regions, type, r, k);
    region &Rk = d->regions.data[rk - 1];
    const region &Rb = d->regions.data[r - 1];
    map_at(d, EXTRUDE3_REGION, k, r) = rk;
    if (type != 0) continue;
    Rk.excluded = vectorl_inlist(&d->voids, int32_t(k) * 512 + r) ? 1 : 0;
    Rk.layer = k;
    if (k > 1) {
      Rk.defregion = r;
      strings_copyto_0(&Rk.name, &Rb.name);
    }
    uint16_t f = faces_new_face(&d->faces, 0);
    face &F = d->faces.data[f - 1];
    F.base = r, F.level = k + 1;
    F.regions[0] = rk;
    F.regions[1] = k + 1 < W->S ? uint16_t(rk + R) : 0;
    F.bytes[0] = k < d->flat.count ? d->flat.data[k] : 1;
    const vectorn &bcs = d->regions.data[r - 1].lists[0];
    if (bcs.count > k) F.bctag = bcs.data[k];
    map_at(d, EXTRUDE3_FACE, k + 1, r) = f;
    if (d->perextrude && last && d->periodics.count) F.periodic = 1, F.image = map_at(d, EXTRUDE3_FACE, 1, r);
  }
  // The new sheet's edges and joints list the faces of the regions beside them.
  for (uint16_t e = 1; e <= W->E; e++) {
    uint16_t ne = map_at(d, EXTRUDE3_EDGE, k + 1, e);
    for (int s = 0; s < 2; s++)
      if (uint16_t rs = d->edges.data[e - 1].side_regions[s]; rs >= 1 && rs <= R)
        enlist_face(d, ne, map_at(d, EXTRUDE3_FACE, k + 1, rs));
  }
}

// ---- Layers ------------------------------------------------------------------------------------

// Mean thicknesses below, through and above layer k over the base cells around n.
void thickness(double out[3], uint16_t r, uint16_t k, int32_t n) {
  Mesh *b = W->base;
  const vectorl &cells = b->nodes.data[n - 1].nodecell;
  double sum[3] = {0, 0, 0};
  int32_t count = 0;
  for (int32_t i = 0; i < cells.count; i++) {
    const MeshCell &C = b->cells.data[cells.data[i] - 1];
    if (!C.alive) continue;
    double x = 0, y = 0;
    for (int v = 0; v < 3; v++) x += b->nodes.data[C.nodes.data[v] - 1].x, y += b->nodes.data[C.nodes.data[v] - 1].y;
    x /= 3, y /= 3;
    double zk = sheet_z(k, r, x, y), zk1 = sheet_z(k + 1, r, x, y);
    sum[1] += zk1 - zk;
    if (k > 1) sum[0] += zk - sheet_z(k - 1, r, x, y);
    if (k + 1 < W->S) sum[2] += sheet_z(k + 2, r, x, y) - zk1;
    count++;
  }
  double h0 = W->d->features.basespacing > 0 ? W->d->features.basespacing : DOMAIN_HUGE;
  for (int i = 0; i < 3; i++) out[i] = std::min(count ? sum[i] / count : 0.0, h0);
}

const double kTallest = 3;

void build_stud(int32_t a, int32_t b, const double t[3], std::vector<int32_t> &stud, int32_t kind, uint16_t id,
                uint16_t vedge) {
  Mesh *m = W->m;
  vectorl *list = vedge && vedge <= m->edgenodes.count ? &m->edgenodes.data[vedge - 1] : nullptr;
  stud.clear();
  stud.push_back(a);
  if (list) vectorl_one_more(list, a);
  point3d A = {node3(a).x, node3(a).y, node3(a).z}, B = {node3(b).x, node3(b).y, node3(b).z};
  double L = point3d_distance_0(&A, &B);
  // A layer whose mean thickness around the column is not positive (the sheets cross in a
  // cell beside a pinched node) takes the column's own length as its spacing cap.
  // Thicknesses within the grid tolerance (coinciding sheets) count as none.
  // A column rises by steps of at most a few times its base node's spacing, so that the
  // prisms over small base cells stay stout enough to split into sound tetrahedra.
  double tol = W->d->grid.tolerance;
  double cap = node3(a).spacing > 0 ? kTallest * node3(a).spacing : DOMAIN_HUGE;
  double mid = std::min(t[1] > tol ? t[1] : L, cap);
  static vectord pos, sp;
  static BopmemWork work([] {
    vectord_free(&pos);
    vectord_free(&sp);
  });
  // A thin layer beside asks for steps no finer than the column's own spacing (or the
  // layer's): finer first steps would only make flat cells above a thin layer.
  double least = std::min(mid, node3(a).spacing > 0 ? double(node3(a).spacing) : mid);
  double below = t[0] > tol ? std::max(std::min(t[0], cap), least) : mid;
  double above = t[2] > tol ? std::max(std::min(t[2], cap), least) : mid;
  // No step along the column is longer than mid, so it takes at least L / mid of them: a
  // column taller than the node limit can hold (a layer 1e12 thick over a unit base) is
  // refused by that count before its points are spread.
  double steps = L / mid, limit = W->p->nodelimit > 0 ? double(W->p->nodelimit) : 1e9;
  if (!(steps <= limit)) mesher2_refuse_first_mesh(W->p, int64_t(std::min(steps, 9.0e18)), true);
  mesh1_spreadout(&pos, &sp, below, mid, above, L, 1.0);
  int32_t M = pos.count;
  reserve_nodes(m, M);
  float h = node3(a).spacing;
  for (int32_t i = 1; i < M; i++) {
    double f = pos.data[i - 1] / L;
    int32_t n = mesh3_new_layout_node_1(m, A.x + f * (B.x - A.x), A.y + f * (B.y - A.y), A.z + f * (B.z - A.z), h, id);
    node3(n).kind = kind;
    stud.push_back(n);
    if (list) vectorl_one_more(list, n);
  }
  stud.push_back(b);
  if (list) vectorl_one_more(list, b);
}

// The neighbour's choices along side s of base cell c, in c's corner codes.
std::vector<int32_t> map_links(int32_t c, int s) {
  std::vector<int32_t> out;
  Mesh *b = W->base;
  int32_t link = b->cells.data[c - 1].neighbour[s - 1], nb = std::abs(link);
  if (nb < 1 || nb > b->cells.count) return out;
  // The side that links back the same way: a cell of a coarse mesh may meet one neighbour
  // both across an inner side and across a periodic one (stored negated on both sides).
  int back = 0;
  for (int t = 1; t <= 3 && !back; t++)
    if (b->cells.data[nb - 1].neighbour[t - 1] == (link < 0 ? -c : c)) back = t;
  if (!back) return out;
  int n1 = back % 3 + 1, n2 = n1 % 3 + 1;                 // neighbour's corners s'+1, s'+2
  int c1 = s % 3 + 1, c2 = c1 % 3 + 1;                    // c's corners s+1, s+2
  for (uint8_t code : W->order[back - 1][nb]) out.push_back(code == n1 ? c2 : code == n2 ? c1 : code);
  return out;
}

void brick_up(int32_t c, uint16_t region) {
  Mesh *b = W->base;
  const MeshCell &C = b->cells.data[c - 1];
  const int32_t *col[3];
  int32_t len[3];
  for (int i = 0; i < 3; i++) {
    const std::vector<int32_t> &s = W->stud[C.nodes.data[i]];
    if (s.empty()) return;
    col[i] = s.data(), len[i] = int32_t(s.size());
  }
  double tol = 1e-6 * std::sqrt(std::fabs(meshes_cell_area_1(b, c)));
  std::vector<int32_t> links[3];
  BrickSides sides{};
  std::vector<uint8_t> room[3];
  for (int s = 0; s < 3; s++) {
    links[s] = map_links(c, s + 1);
    sides.link[s] = links[s].data(), sides.linkcount[s] = int32_t(links[s].size());
    room[s].resize(size_t(len[0] + len[1] + len[2]));
    sides.order[s] = room[s].data();
  }
  if (!extrude3_brick(W->m, col, len, tol, region, &sides)) {
    char what[64];
    snprintf(what, sizeof what, "NO COLUMN MAY RISE IN BASE CELL %d", int(c));
    rtlib_fatal_in("brick_up", what);
  }
  for (int s = 0; s < 3; s++) W->order[s][c].assign(room[s].begin(), room[s].begin() + sides.ordercount[s]);
}

// The base node that is the periodic image of base node n, 0 when it has none: the node
// of the partner joint, or the node of the partner edge that the declaration's map (either
// way) carries n onto. Either edge of a pair may be the one that records the other.
int32_t base_image(int32_t n) {
  // Sheet 1 holds the base joints and edges in place, with their periodic partners.
  const Mesh *b = W->base;
  const Domain *bd = W->d;
  if (n < 1 || n > b->nodes.count) return 0;
  const MeshNode &N = b->nodes.data[n - 1];
  if (N.kind == 1) {
    if (N.id < 1 || N.id > W->J) return 0;
    uint16_t j = bd->joints.data[N.id - 1].image;
    return j >= 1 && j <= W->J && j <= b->jointnodes.count ? b->jointnodes.data[j - 1] : 0;
  }
  if (N.kind != 2 || N.id < 1 || N.id > W->E) return 0;
  uint16_t partner = 0, dec = 0;
  const Edge &E = bd->edges.data[N.id - 1];
  if (E.image && E.image <= W->E) partner = E.image, dec = E.periodic;
  for (uint16_t e = 1; e <= W->E && !partner; e++)
    if (bd->edges.data[e - 1].image == N.id) partner = e, dec = bd->edges.data[e - 1].periodic;
  if (!partner || partner > b->edgenodes.count || dec < 1 || dec > bd->periodics.count) return 0;
  const periodic &P = bd->periodics.data[dec - 1];
  point3d p{N.x, N.y, 0}, f{}, g{};
  geom3d_rotate_0(&f, &P.forward, &p);
  geom3d_rotate_0(&g, &P.inverse, &p);
  const double tol = W->d->grid.tolerance;
  const vectorl &l = b->edgenodes.data[partner - 1];
  for (int32_t i = 0; i < l.count; i++) {
    const MeshNode &M = b->nodes.data[l.data[i] - 1];
    if (std::hypot(M.x - f.x, M.y - f.y) < tol || std::hypot(M.x - g.x, M.y - g.y) < tol) return l.data[i];
  }
  return 0;
}

void grid_layer(uint16_t k) {
  Domain *d = W->d;
  Mesh *m = W->m;
  double sx = d->shear[0], sy = d->shear[1], tol = d->grid.tolerance;
  std::vector<int32_t> &below = W->sheetnode[k], &above = W->sheetnode[k + 1];
  // 1. The nodes of sheet k+1.
  reserve_nodes(m, W->N);
  for (int32_t n = 1; n <= W->N; n++) {
    above[n] = 0;
    int32_t prev = below[n];
    if (!prev) continue;
    const MeshNode &B = W->base->nodes.data[n - 1];
    uint16_t r = base_region(d, node_region(d, node3(n)));
    double z = sheet_z(k + 1, r, B.x, B.y), zp = node3(prev).z;
    double at[2] = {B.x, B.y};
    if (zp - z > tol) sheet_error(uint16_t(k + 1), "INTERSECTS", at);
    if (z - zp < thinnest(k, n)) {
      above[n] = prev;
      continue;
    }
    int32_t nn = mesh3_new_layout_node_1(m, B.x + z * sx, B.y + z * sy, z, node3(n).spacing, 0);
    grow(node3(nn).x, node3(nn).y, z);
    const MeshNode &S1 = node3(n);
    MeshNode &NN = node3(nn);
    NN.alive = S1.alive, NN.kind = S1.kind;
    if (S1.kind == 1) {
      NN.id = map_at(d, EXTRUDE3_JOINT, k + 1, S1.id);
      if (NN.id > m->jointnodes.count) vectorl_resize(&m->jointnodes, NN.id, std::max<int32_t>(NN.id, m->jointnodes.capacity));
      m->jointnodes.data[NN.id - 1] = nn;
    } else if (S1.kind == 2) {
      NN.id = map_at(d, EXTRUDE3_EDGE, k + 1, S1.id);
    } else if (S1.kind == 3) {
      uint16_t rb = S1.id >= 1 && S1.id <= d->faces.count ? d->faces.data[S1.id - 1].base : 0;
      NN.id = rb >= 1 && rb <= W->R ? map_at(d, EXTRUDE3_FACE, k + 1, rb) : 0;
    } else {
      rtlib_fatal_in("grid_layer", "Garbled Node");
    }
    above[n] = nn;
  }
  // 2. The columns.
  for (int32_t n = 1; n <= W->N; n++) {
    std::vector<int32_t> &stud = W->stud[n];
    stud.clear();
    int32_t a = below[n], b = above[n];
    if (!a) continue;
    if (a == b) {
      stud.push_back(a);
      continue;
    }
    const MeshNode &S1 = node3(n);
    uint16_t r = base_region(d, node_region(d, S1));
    int32_t kind = 0;
    uint16_t id = 0, vedge = 0;
    if (S1.kind == 1) {
      vedge = map_at(d, EXTRUDE3_VEDGE, k, S1.id);
      if (vedge) {
        kind = 2, id = vedge;
        if (vedge <= m->edgenodes.count) m->edgenodes.data[vedge - 1].count = 0;
      }
    } else if (S1.kind == 2) {
      if (uint16_t vf = map_at(d, EXTRUDE3_VFACE, k, S1.id)) kind = 3, id = vf;
    } else if (r >= 1 && r <= W->R && excluded(d, map_at(d, EXTRUDE3_REGION, k, r))) {
      continue;
    }
    double t[3];
    thickness(t, r, k, n);
    // A node of a periodic side and its image take the same column: the thinner of the
    // two sides' thicknesses, so that the faces built on both sides match node for node.
    int32_t im = base_image(n);
    if (im >= 1 && im <= W->N && im != n && below[im]) {
      double u[3];
      thickness(u, base_region(d, node_region(d, node3(im))), k, im);
      for (int i = 0; i < 3; i++) t[i] = std::min(t[i], u[i]);
    }
    build_stud(a, b, t, stud, kind, id, vedge);
  }
  // 3. Trim the columns at steps of the sheets.
  vectorl around{};
  for (int32_t n = 1; n <= W->N; n++) {
    int32_t a = below[n], b = above[n];
    if (!a || !W->base->nodes.data[n - 1].alive || !W->base->nodes.data[n - 1].nodecell.count) continue;
    meshes_list_nodes(W->base, n, &around, 3);
    for (int32_t i = 0; i < around.count; i++) {
      std::vector<int32_t> &s = W->stud[around.data[i]];
      if (s.size() > 2 && node3(s[2]).z < node3(a).z) {
        meshes_delete_node(m, s[1]);
        s.erase(s.begin() + 1);
      }
      size_t c = s.size();
      if (c > 2 && node3(b).z < node3(s[c - 3]).z) {
        meshes_delete_node(m, s[c - 2]);
        s.erase(s.begin() + long(c - 2));
      }
    }
  }
  vectorl_free(&around);
  // 4. Split the prisms of every cell whose region is in this layer.
  for (int s = 0; s < 3; s++)
    for (auto &o : W->order[s]) o.clear();
  int64_t cells = 0;
  for (int32_t c = 1; c <= W->base->cells.count; c++) {
    const MeshCell &C = W->base->cells.data[c - 1];
    if (C.alive)
      for (int i = 0; i < 3; i++) cells += std::max<int64_t>(int64_t(W->stud[C.nodes.data[i]].size()) - 1, 0);
  }
  reserve_cells(m, cells);
  for (int32_t c = 1; c <= W->base->cells.count; c++) {
    const MeshCell &C = W->base->cells.data[c - 1];
    if (!C.alive || C.region < 1 || C.region > W->R) continue;
    uint16_t rk = map_at(d, EXTRUDE3_REGION, k, C.region);
    if (!excluded(d, rk)) brick_up(c, rk);
  }
}

void layering() {
  Domain *d = W->d;
  Mesh *m = W->m;
  uint16_t S = W->S;
  // 1. Room for every edge's and joint's nodes.
  int32_t edges = (S - 1) * W->J + S * W->E, joints = S * W->J;
  int32_t old = m->edgenodes.count;
  vector2l_resize(&m->edgenodes, edges, std::max(edges, m->edgenodes.capacity));
  for (int32_t e = old; e < edges; e++) m->edgenodes.data[e].count = 0;
  old = m->jointnodes.count;
  vectorl_resize(&m->jointnodes, joints, std::max(joints, m->jointnodes.capacity));
  for (int32_t j = old; j < joints; j++) m->jointnodes.data[j] = 0;
  // 2. Layer by layer.
  Mesh3Status status(m->status, "Extrude Layer", 1);
  for (uint16_t k = 1; k < S; k++) {
    if (m->status) display_update_num(m->status, status.line, k);
    bool last = k + 1 == S;
    W->thickest = 0;
    for (int32_t n = 1; n <= W->N; n++)
      if (int32_t below = W->sheetnode[k][n]) {
        const MeshNode &B = W->base->nodes.data[n - 1];
        uint16_t r = base_region(d, node_region(d, node3(n)));
        W->thickest = std::max(W->thickest, sheet_z(uint16_t(k + 1), r, B.x, B.y) - node3(below).z);
      }
    copy_joints(k, last);
    copy_edges(k, last);
    copy_regions(k, last);
    grid_layer(k);
    for (uint16_t e = 1; e <= W->E; e++) {
      uint16_t ek = map_at(d, EXTRUDE3_EDGE, k, e), e1 = map_at(d, EXTRUDE3_EDGE, k + 1, e);
      if (ek == e1 || e1 > m->edgenodes.count) continue;
      vectorl &l = m->edgenodes.data[e1 - 1];
      for (int32_t i = 0; i < l.count; i++)
        if (l.data[i] >= 1 && l.data[i] <= W->N) l.data[i] = W->sheetnode[k + 1][l.data[i]];
    }
  }
  // 3. Excluded regions leave their faces open on that side.
  for (uint16_t f = 1; f <= d->faces.count; f++)
    for (auto &r : d->faces.data[f - 1].regions)
      if (excluded(d, r)) r = 0;
  // 4. Every edge lists the regions of its faces.
  for (uint16_t e = 1; e <= d->edges.count; e++) {
    Edge &E = d->edges.data[e - 1];
    for (int32_t i = 0; i < E.face_list.count; i++) {
      uint16_t f = E.face_list.data[i];
      if (f < 1 || f > d->faces.count) continue;
      for (uint16_t r : d->faces.data[f - 1].regions) list_region(&E, r);
    }
  }
}

// The work data in W for the length of the extrusion.
struct WorkScope {
  Work w;
  WorkScope() { W = &w; }
  ~WorkScope() { W = nullptr; }
};

}  // namespace

uint16_t extrude3_map(const Domain *d, int which, uint16_t s, uint16_t i) {
  const vector2n &m = d->maps[which];
  if (s < 1 || s > m.count) return 0;
  const vectorn &row = m.data[s - 1];
  return i >= 1 && i <= row.count ? row.data[i - 1] : 0;
}

bool extrude3_brick(Mesh *m, const int32_t *const col[3], const int32_t len[3], double tol, uint16_t region,
                    BrickSides *sides) {
  int32_t at[3] = {0, 0, 0}, lpos[3] = {0, 0, 0};
  for (int s = 0; s < 3; s++) sides->ordercount[s] = 0;
  // The link list of side s allows code when it is used up or reads code.
  auto allows = [&](int s, int code) {
    return !sides->link[s] || lpos[s] >= sides->linkcount[s] || sides->link[s][lpos[s]] == code;
  };
  // Sides holding corner i's column: A (0) sides 2, 3; B sides 3, 1; C sides 1, 2.
  const int holds[3][2] = {{1, 2}, {2, 0}, {0, 1}};
  while (at[0] < len[0] - 1 || at[1] < len[1] - 1 || at[2] < len[2] - 1) {
    int best = -1;
    double zbest = 1e37;
    int32_t nbest = INT32_MAX;
    for (int i = 0; i < 3; i++) {
      if (at[i] >= len[i] - 1 || !allows(holds[i][0], i + 1) || !allows(holds[i][1], i + 1)) continue;
      int32_t next = col[i][at[i] + 1];
      double z = m->nodes.data[next - 1].z;
      if (best < 0 || z < zbest - tol || (z < zbest + tol && next < nbest)) best = i, zbest = z, nbest = next;
    }
    if (best < 0) return false;
    int32_t c = meshes_new_cell_0(m);
    m->cells.data[c - 1].region = region;
    meshes_renode4(m, c, col[0][at[0]], col[1][at[1]], col[2][at[2]], nbest);
    at[best]++;
    for (int h = 0; h < 2; h++) {
      int s = holds[best][h];
      sides->order[s][sides->ordercount[s]++] = uint8_t(best + 1);
      if (sides->link[s] && lpos[s] < sides->linkcount[s] && sides->link[s][lpos[s]] == best + 1) lpos[s]++;
    }
  }
  return true;
}

int32_t extrude3_extrude(pde *p, Mesh *m, Mesh *base) {
  TRACE("extrude3_extrude");
  WorkScope scope;
  Work &w = scope.w;
  Domain *d = m->domain;
  w.p = p, w.m = m, w.base = base, w.d = d;
  // 1. The 2D cells go; the nodes stay, base node n being 3D node n on sheet 1.
  w.N = m->nodes.count;
  w.S = uint16_t(d->surfacetrees.count);
  const Domain *b = d->base;
  w.R = b->regions.count, w.E = b->edges.count, w.J = b->joints.count;
  m->meshbasis = m->cellbasis = tet4;
  cellnode_free_1(&m->cells);
  // 2. The maps and the work data.
  const uint16_t sizes[6] = {w.J, w.E, w.R, w.R, w.E, w.J};
  for (int k = 0; k < 6; k++) {
    vector2n_free(&d->maps[k], 1);
    vector2n_resize(&d->maps[k], w.S, w.S);
    for (uint16_t s = 0; s < w.S; s++) {
      vectorn &row = d->maps[k].data[s];
      row.count = 0;
      vectorn_resize(&row, sizes[k], std::max<int32_t>(sizes[k], row.capacity));
      for (int32_t i = 0; i < sizes[k]; i++) row.data[i] = 0;
    }
  }
  w.sheetnode.assign(size_t(w.S) + 1, std::vector<int32_t>(size_t(w.N) + 1, 0));
  w.stud.assign(size_t(w.N) + 1, {});
  for (auto &o : w.order) o.assign(size_t(w.base->cells.count) + 1, {});
  // 3. The entities of sheet 1, then every layer.
  base_periodics();
  base_grid();
  layering();
  // No cell at all: the sheets enclose no volume anywhere, and nothing could be solved.
  int32_t live = 0;
  for (int32_t c = 1; c <= m->cells.count; c++) live += m->cells.data[c - 1].alive != 0;
  if (!live && w.S >= 2 && w.N >= 1) {
    const MeshNode &B = w.base->nodes.data[0];
    double at[2] = {B.x, B.y};
    sheet_error(w.S, "ENCLOSES NO VOLUME", at);
  }
  // 4. Node-cell lists and neighbours.
  {
    Mesh3Status status(m->status, "Neighbor Cells", 0);
    meshpde3_resolve_nodecells3(m);
    meshpde3_resolve_nabors3(m);
  }
  return 6;
}
