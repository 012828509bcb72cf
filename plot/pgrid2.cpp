// pgrid2: plot meshes of 2D plots taken from the solution mesh.
#include "plot/pgrid2.h"

#include <algorithm>
#include <cmath>

#include "domain/domain.h"
#include "elements/evalpoint.h"
#include "elements/meshes.h"
#include "elements/mfinder.h"
#include "model/metrics.h"
#include "graphics/gagscren.h"
#include "plot/crossing.h"
#include "plot/pgrid1.h"
#include "plot/problem_view.h"
#include "runtime/bopmem.h"
#include "runtime/rtlib.h"

namespace {

// The working state of one rebuild of the plot meshes, created by each call of
// pgrid2_validate_plot_mesh, handed to the steps that use it and gone with the call: no
// cut pattern, node map or localised cell of one plot reaches the next.
struct CutState {
  vectorl nodemap{};     // solution node -> plot node of the group being copied
  LocalCell corner{};    // the cell found at a window corner
  vectorb patterns{};    // per solution cell its cut pattern (0 uncut)
  double cutrange[3]{};  // signed distance range over the data box corners, and 1e-8 of it
  LocalCell cutcell{};   // the solution cell being cut
  CutState() = default;
  CutState(const CutState &) = delete;
  CutState &operator=(const CutState &) = delete;
  ~CutState() {
    vectorl_free(&nodemap);
    vectorb_free(&patterns);
  }
};

bool threed(const problem_view &v) { return v.dimension == 3 || (v.mesh->domain && v.mesh->domain->threed); }

vectort &cell_marks(plotdata *d, int32_t g) { return d->strips[0].data[g - 1]; }
vectort &node_marks(plotdata *d, int32_t g) { return d->strips[1].data[g - 1]; }

// The group of a cell: its region when the plot groups by region, else its second id.
int32_t group_of(const plotdata *d, const MeshCell &c) { return d->paintregions ? c.region : c.region2; }

// The cell's bit and the bits of all its nodes in its group.
void include_cell(plotdata *d, const Mesh *m, int32_t c, int32_t g) {
  const MeshCell &cell = m->cells.data[c - 1];
  if (!cell.alive || g < 1 || g > d->groups) return;
  vectort_set_bit(&cell_marks(d, g), c);
  int nn = elements_functions[cell.basis];
  for (int j = 0; j < nn && j < cell.nodes.count; j++) vectort_set_bit(&node_marks(d, g), cell.nodes.data[j]);
}

// ---- Extruded meshes: plane cuts and extrusion surfaces ---------------------------------

bool threed_mesh(const Mesh *m) {
  return (m->domain && m->domain->threed) || (m->meshbasis >= tet4 && m->meshbasis <= tet20);
}

double plane_distance(const plotdata *d, const double *q) {
  const double *c = d->plane;
  return c[0] * q[0] + c[1] * q[1] + c[2] * q[2] + c[3];
}
double node_distance(const plotdata *d, const MeshNode &n) {
  const double q[3] = {n.x, n.y, n.z};
  return plane_distance(d, q);
}
// A vertex within the domain's tolerance of the plane lies on it: its distance is 0.
double snapped(double s, double tol) { return std::fabs(s) <= tol ? 0 : s; }
double cut_tolerance(const Mesh *m) { return m->domain ? m->domain->grid.tolerance : 0; }

// One corner of the domain box: its projection widens the data box, its signed
// distance the distance range.
void project_corner(CutState *state, plotdata *d, double x, double y, double z) {
  const double q[3] = {x, y, z};
  double uv[2];
  pgrid2_project(uv, d, q);
  double *b = d->box;
  b[0] = std::min(b[0], uv[0]), b[1] = std::min(b[1], uv[1]);
  b[3] = std::max(b[3], uv[0]), b[4] = std::max(b[4], uv[1]);
  double s = plane_distance(d, q);
  state->cutrange[0] = std::min(state->cutrange[0], s), state->cutrange[1] = std::max(state->cutrange[1], s);
}

// The data box of a plane cut: the plot-plane hull of the domain box's eight corners.
void project_box(CutState *state, plotdata *d, const rect3d &g) {
  double *b = d->box;
  b[0] = b[1] = 1e37, b[3] = b[4] = -1e37, b[2] = b[5] = 0;
  state->cutrange[0] = 1e37, state->cutrange[1] = -1e37;
  for (int k = 0; k < 8; k++) project_corner(state, d, k & 1 ? g.x2 : g.x1, k & 2 ? g.y2 : g.y1, k & 4 ? g.z2 : g.z1);
  state->cutrange[2] = 1e-8 * (state->cutrange[1] - state->cutrange[0]);
}

// Cut patterns by the mask of the vertices at or above the plane (bit k-1 for vertex k).
const uint8_t kPatternOf[16] = {0, 1, 2, 11, 3, 10, 9, 8, 4, 12, 13, 7, 14, 6, 5, 0};
// Per pattern the tetrahedron edges cut, in order (0 ends a list of three).
const uint8_t kCutEdges[15][4] = {{0, 0, 0, 0}, {2, 3, 4, 0}, {1, 5, 3, 0}, {1, 2, 6, 0}, {4, 5, 6, 0},
                                  {4, 3, 2, 0}, {3, 5, 1, 0}, {6, 2, 1, 0}, {6, 5, 4, 0}, {6, 5, 3, 2},
                                  {1, 3, 4, 6}, {5, 4, 2, 1}, {2, 3, 5, 6}, {1, 6, 4, 3}, {1, 2, 4, 5}};
// Per pattern the tetrahedron faces that hold sides 1, 2, 3 of triangle 1, then sides 1
// and 3 of triangle 2 (0 where a side runs inside the cell).
const uint8_t kCutFaces[15][6] = {{0}, {3, 2, 4}, {3, 4, 1}, {2, 1, 4}, {1, 2, 3}, {4, 2, 3},
                                  {1, 4, 3}, {4, 1, 2}, {3, 2, 1}, {3, 0, 1, 2, 0, 4},
                                  {3, 0, 4, 1, 0, 2}, {2, 0, 3, 1, 0, 4}, {3, 0, 4, 2, 0, 1},
                                  {2, 0, 1, 4, 0, 3}, {2, 0, 4, 1, 0, 3}};

bool in_window(const plotdata *d, const double *uv) {
  const double *w = d->window;
  return uv[0] >= w[0] && uv[0] <= w[2] && uv[1] >= w[1] && uv[1] <= w[3];
}

// Plane cut: every cut cell of the selected regions and layers gets its pattern and
// goes to its group with its nodes.
void map_cut_cells(CutState *state, plotdata *d) {
  Mesh *m = d->mesh;
  vectorb_resize(&state->patterns, m->cells.count, std::max(m->cells.count, state->patterns.capacity));
  std::fill_n(state->patterns.data, m->cells.count, uint8_t(0));
  double tol = cut_tolerance(m);
  for (int32_t c = 1; c <= m->cells.count; c++) {
    const MeshCell &cell = m->cells.data[c - 1];
    if (!cell.alive || !pgrid2_region_matches(d, m->domain, cell.region)) continue;
    int positive = 0;
    for (int k = 0; k < 4; k++)
      if (snapped(node_distance(d, m->nodes.data[cell.nodes.data[k] - 1]), tol) >= 0) positive |= 1 << k;
    if (positive == 0 || positive == 15) continue;
    if (d->zoomed) {
      bool inside = false;
      int nn = elements_functions[cell.basis];
      for (int j = 0; j < nn && !inside; j++) {
        const MeshNode &n = m->nodes.data[cell.nodes.data[j] - 1];
        const double q[3] = {n.x, n.y, n.z};
        double uv[2];
        pgrid2_project(uv, d, q);
        inside = in_window(d, uv);
      }
      if (!inside) continue;
    }
    uint8_t pattern = kPatternOf[positive];
    if (!pattern) rtlib_fatal_in("map_plot_cells", "Illegal Cut Pattern");
    state->patterns.data[c - 1] = pattern;
    include_cell(d, m, c, group_of(d, cell));
  }
}

// The surface number of a cell face: its boundary record's sheet when it lies on an
// extrusion surface, else 0.
uint16_t face_surface(const Mesh *m, const MeshCell &cell, int f) {
  uint16_t id = cell.bdid[f - 1];
  const Domain *dom = m->domain;
  if (!id || !dom || id > dom->faces.count) return 0;
  const face &F = dom->faces.data[id - 1];
  return F.type == 0 ? F.level : 0;
}

// The layer of a cell's region (0 when it has none).
uint16_t cell_layer(const Mesh *m, const MeshCell &cell) {
  const Domain *dom = m->domain;
  return dom && cell.region >= 1 && cell.region <= dom->regions.count ? dom->regions.data[cell.region - 1].layer : 0;
}

// Whether face f of a cell is plotted on the selected surface. A surface between two
// layers is met by the cells on both sides: it is taken once, from the cell above.
bool surface_face(const plotdata *d, const Mesh *m, const MeshCell &cell, int f) {
  if (face_surface(m, cell, f) != d->surface) return false;
  return !(cell_layer(m, cell) < d->surface && cell.neighbour[f - 1] > 0);
}

// Extrusion surface: the cells of the selected region with a face on the selected
// surface, and the nodes of those faces.
void map_surface_cells(plotdata *d) {
  Mesh *m = d->mesh;
  for (int32_t c = 1; c <= m->cells.count; c++) {
    const MeshCell &cell = m->cells.data[c - 1];
    if (!cell.alive || !pgrid2_region_matches(d, m->domain, cell.region)) continue;
    const uint8_t(*faces)[9] = elements_tet_faces(cell.basis);
    if (!faces) continue;
    int nf = elements_side_nodes[cell.basis];
    int32_t g = group_of(d, cell);
    if (g < 1 || g > d->groups) continue;
    for (int f = 1; f <= 4; f++) {
      if (!surface_face(d, m, cell, f)) continue;
      if (d->zoomed) {
        bool inside = false;
        for (int j = 0; j < nf && !inside; j++) {
          const MeshNode &n = m->nodes.data[cell.nodes.data[faces[f - 1][j] - 1] - 1];
          const double uv[2] = {n.x, n.y};
          inside = in_window(d, uv);
        }
        if (!inside) continue;
      }
      vectort_set_bit(&cell_marks(d, g), c);
      for (int j = 0; j < nf; j++) vectort_set_bit(&node_marks(d, g), cell.nodes.data[faces[f - 1][j] - 1]);
    }
  }
}

// Sorts the live cells into groups: all of them, those of the selected region (group 1),
// or, in a zoom window, those around the nodes inside it and those at its corners.
void map_plot_cells(CutState *state, plotdata *d) {
  Mesh *m = d->mesh;
  const Domain *dom = m->domain;
  int32_t groups = d->paintregions ? (dom ? dom->regions.count : 0) : (dom ? dom->materials : 0);
  // A cell whose id exceeds the domain's count still gets a group of its own.
  for (int32_t c = 1; c <= m->cells.count; c++)
    if (m->cells.data[c - 1].alive) groups = std::max(groups, group_of(d, m->cells.data[c - 1]));
  groups = std::max(groups, 1);
  d->groups = uint16_t(groups);
  plot_size_marks(d, groups, m->cells.count, m->nodes.count);
  if (threed_mesh(m)) {
    if (d->surface > 0) map_surface_cells(d);
    else map_cut_cells(state, d);
  } else if (d->region > 0) {
    for (int32_t c = 1; c <= m->cells.count; c++)
      if (m->cells.data[c - 1].region == d->region) include_cell(d, m, c, 1);
  } else if (!d->zoomed) {
    for (int32_t c = 1; c <= m->cells.count; c++) include_cell(d, m, c, group_of(d, m->cells.data[c - 1]));
  } else {
    const double *w = d->window;
    for (int32_t n = 1; n <= m->nodes.count; n++) {
      const MeshNode &node = m->nodes.data[n - 1];
      if (!node.alive || node.x < w[0] || node.x > w[2] || node.y < w[1] || node.y > w[3]) continue;
      for (int32_t k = 0; k < node.nodecell.count; k++) {
        int32_t c = node.nodecell.data[k];
        include_cell(d, m, c, group_of(d, m->cells.data[c - 1]));
      }
    }
    const double corners[4][2] = {{w[0], w[1]}, {w[0], w[3]}, {w[2], w[3]}, {w[2], w[1]}};
    for (const auto &q : corners) {
      evalpoint e{};
      e.x = q[0], e.y = q[1];
      e.cell = &state->corner;
      int32_t c = std::abs(mfinder_find_cell2(&e, m, 0.001));
      if (c > 0) include_cell(d, m, c, group_of(d, m->cells.data[c - 1]));
    }
  }
  gagscren_dispatch(0);
}

// The plot basis of a source basis: the triangle of the same order.
uint32_t plot_basis(int32_t sbasis) {
  switch (sbasis) {
    case tri3: case tet4: return tri3;
    case tri6: case tet10: return tri6;
    case tri9: case tet20: return tri9;
    default: rtlib_fatal_in("build_plot_meshes", "Illegal Basis");
  }
  return 0;
}

void widen_surface_box(plotdata *d, const pointd &p) {
  double *b = d->surfbox;
  b[0] = std::min(b[0], p.x), b[1] = std::min(b[1], p.y), b[2] = std::max(b[2], p.x), b[3] = std::max(b[3], p.y);
}

// The group's nodes and cells in increasing number, with the cells' side flags.
void copy_2d_cells(CutState *state, plotdata *d, tmesh *t, int32_t g) {
  const Mesh *m = d->mesh;
  const vectort &cells = cell_marks(d, g), &nodes = node_marks(d, g);
  for (int32_t n = vectort_next_bit(&nodes, 0); n > 0; n = vectort_next_bit(&nodes, n)) {
    pointd p = {m->nodes.data[n - 1].x, m->nodes.data[n - 1].y};
    state->nodemap.data[n - 1] = pointd_one_more_0(&t->nodes, &p);
    widen_surface_box(d, p);
  }
  for (int32_t c = vectort_next_bit(&cells, 0); c > 0; c = vectort_next_bit(&cells, c)) {
    const MeshCell &cell = m->cells.data[c - 1];
    uint16_t flags = cell.basis == tri3 ? 0 : TRIMESH_CURVED;
    for (int s = 0; s < 3; s++) {
      if (!cell.bdid[s]) continue;
      flags |= uint16_t(TRIMESH_BOUNDARY << s);
      int32_t nb = std::abs(cell.neighbour[s]);
      if (nb > 0 && m->cells.data[nb - 1].region2 == cell.region2) flags |= uint16_t(TRIMESH_INSIDE << s);
    }
    int32_t k = trimesh_new_tcell(t, c, flags);
    int32_t *cn = t->cells.data + (k - 1) * t->ncell;
    for (int j = 0; j < t->ncell && j < cell.nodes.count; j++) cn[j] = state->nodemap.data[cell.nodes.data[j] - 1];
  }
}

// ---- Building plot meshes of extruded problems ------------------------------------------

// One crossing of the cut: its local point, position in space and in the plot plane.
struct cutpoint {
  double L[4], xyz[3], uv[2];
};

// The signed distance along edge e (1..6) of the localised cell as a polynomial in the
// edge parameter, handed to the crossing finder as edge code e + 3. End distances within
// the tolerance are taken as 0, and the inner nodes keep their offsets from the straight
// edge, so that a vertex near the plane is met exactly at the vertex.
void edge_cut(CutState *state, const plotdata *d, const MeshCell &cell, int e, double tol) {
  const uint8_t *row = elements_tet_edges[std::clamp<int32_t>(cell.basis, tet4, tet20) - tet4][e - 1];
  auto raw = [&](int j) { return plane_distance(d, state->cutcell.frame.nodes[row[j] - 1]); };
  double a0 = raw(0), b0 = raw(1), da = snapped(a0, tol) - a0, db = snapped(b0, tol) - b0;
  // Inner node j of the edge lies at parameter j / (count - 1) from its start, the
  // start being row[0]: for 3 nodes the middle, for 4 the thirds.
  int inner = cell.basis == tet10 ? 1 : cell.basis == tet20 ? 2 : 0;
  auto g = [&](int j) {
    double t = j == 0 ? 0 : j == 1 ? 1 : double(j - 1) / (inner + 1);
    return raw(j) + da * (1 - t) + db * t;
  };
  uint16_t code = uint16_t(e + 3);
  double a = g(0), b = g(1);
  if (cell.basis == tet10) {
    double m = g(2);
    crossing_bcross2(2 * a + 2 * b - 4 * m, 4 * m - 3 * a - b, a, code, 1e-6);
  } else if (cell.basis == tet20) {
    double p = g(2), q = g(3);
    crossing_bcross3(4.5 * (b - a + 3 * (p - q)), 4.5 * (2 * a + 4 * q - 5 * p - b),
                     0.5 * (18 * p + 2 * b - 11 * a - 9 * q), a, code, 1e-6);
  } else {
    crossing_bcross1(b - a, a, code, 1e-6);
  }
}
// Patterns 1-8 cut three edges, 9-14 four.
void clip_vertex(CutState *state, const plotdata *d, const MeshCell &cell, int pattern, double tol) {
  for (int k = 0; k < 3; k++) edge_cut(state, d, cell, kCutEdges[pattern][k], tol);
}
void quad_cut(CutState *state, const plotdata *d, const MeshCell &cell, int pattern, double tol) {
  for (int k = 0; k < 4; k++) edge_cut(state, d, cell, kCutEdges[pattern][k], tol);
}

// The flags of a cut triangle: curved unless the source is a straight tetrahedron; per
// side lying in a tetrahedron face the face in its 3-bit code, the boundary bit when the
// face has a boundary number, and the same-region bit when also the cell across it
// exists with the same second id.
uint16_t bdry_flags(const Mesh *m, const MeshCell &cell, const uint8_t *faces) {
  uint16_t flags = cell.basis == tet4 ? 0 : TRIMESH_CURVED;
  for (int s = 0; s < 3; s++) {
    int f = faces[s];
    if (!f) continue;
    flags |= uint16_t(f << (TRIMESH_CODE_SHIFT + 3 * s));
    if (!cell.bdid[f - 1]) continue;
    flags |= uint16_t(TRIMESH_BOUNDARY << s);
    int32_t nb = std::abs(cell.neighbour[f - 1]);
    if (nb > 0 && m->cells.data[nb - 1].region2 == cell.region2) flags |= uint16_t(TRIMESH_INSIDE << s);
  }
  return flags;
}

cutpoint blend(const cutpoint &a, const cutpoint &b, double wa) {
  cutpoint r;
  for (int k = 0; k < 4; k++) r.L[k] = wa * a.L[k] + (1 - wa) * b.L[k];
  for (int k = 0; k < 3; k++) r.xyz[k] = wa * a.xyz[k] + (1 - wa) * b.xyz[k];
  for (int k = 0; k < 2; k++) r.uv[k] = wa * a.uv[k] + (1 - wa) * b.uv[k];
  return r;
}
// Side nodes of a six-node plot cell at the midpoints of its sides (node 3 + s on side
// s, from vertex s + 1 to s + 2); of a nine-node cell at the thirds, nearer the side's
// start at 3 + s and nearer its end at 6 + s.
void lmid6(cutpoint *p) {
  for (int s = 1; s <= 3; s++) p[2 + s] = blend(p[s % 3], p[(s + 1) % 3], 0.5);
}
void lmid9(cutpoint *p) {
  const double third = 0.33333333333333;
  for (int s = 1; s <= 3; s++) {
    p[2 + s] = blend(p[s % 3], p[(s + 1) % 3], 1 - third);
    p[5 + s] = blend(p[s % 3], p[(s + 1) % 3], third);
  }
}

// Appends the plot triangle through three crossings; vertices merge with existing plot
// nodes within the domain's merge tolerance, side nodes within half of it. A triangle
// whose vertices merged into one node is withdrawn.
void new_pcell(plotdata *d, tmesh *t, int32_t c, const MeshCell &cell, const cutpoint &a, const cutpoint &b,
               const cutpoint &e, const uint8_t *faces, double tol) {
  cutpoint p[9] = {a, b, e};
  if (t->ncell == 6) lmid6(p);
  else if (t->ncell == 9) lmid9(p);
  int32_t k = trimesh_new_tcell(t, c, bdry_flags(d->mesh, cell, faces));
  for (int j = 0; j < t->ncell; j++) {
    pointd q = {p[j].uv[0], p[j].uv[1]};
    int32_t before = t->nodes.count, n = trimesh_new_tnode(t, &q, j < 3 ? tol : tol / 2);
    t->cells.data[(k - 1) * t->ncell + j] = n;
    if (n > before) t->nodes3.data[n - 1] = {p[j].xyz[0], p[j].xyz[1], p[j].xyz[2]};
    widen_surface_box(d, q);
  }
  const int32_t *cn = t->cells.data + (k - 1) * t->ncell;
  if (cn[0] == cn[1] && cn[1] == cn[2]) trimesh_pop_tcell(t);
}

// Cuts the group's marked cells by the plane into plot triangles.
void cut_3d_cells(CutState *state, plotdata *d, tmesh *t, int32_t g) {
  Mesh *m = d->mesh;
  const double *w = d->window;
  rectd window = {w[0], w[1], w[2], w[3]};
  // Sized for the nodes a plane meets in a 3D mesh: N^(2/3).
  int32_t expected = std::max<int32_t>(int32_t(std::pow(double(m->nodes.count), 2.0 / 3.0)), 16);
  trimesh_clear_tnode_finder(t, &window, expected);
  double tol = cut_tolerance(m);
  const vectort &marks = cell_marks(d, g);
  for (int32_t c = vectort_next_bit(&marks, 0); c > 0; c = vectort_next_bit(&marks, c)) {
    const MeshCell &cell = m->cells.data[c - 1];
    int pattern = state->patterns.data[c - 1];
    if (!pattern) continue;
    state->cutcell.frame.curved = 0;
    meshes_localize(m, &cell, &state->cutcell, 0);
    crossing_list.count = 0;
    if (pattern <= 8) clip_vertex(state, d, cell, pattern, tol);
    else quad_cut(state, d, cell, pattern, tol);
    cutpoint x[CROSSING_MAX];
    int n = crossing_list.count;
    for (int i = 0; i < n; i++) {
      if (!crossing_list.live[i]) rtlib_fatal_in("cut_3d_cells", "dead edge cut");
      std::copy_n(crossing_list.L[i], 4, x[i].L);
      elements_get_gcoords(x[i].xyz, x[i].L, &state->cutcell.frame);
      // A crossing at a vertex taken onto the plane lies off it by up to the tolerance:
      // its place in space is the plane's point over its plot position.
      pgrid2_project(x[i].uv, d, x[i].xyz);
      pgrid2_unproject(x[i].xyz, d, x[i].uv);
    }
    const uint8_t *faces = kCutFaces[pattern];
    if (n >= 3) new_pcell(d, t, c, cell, x[0], x[1], x[2], faces, tol);
    if (n >= 4 && pattern >= 9) new_pcell(d, t, c, cell, x[2], x[3], x[0], faces + 3, tol);
  }
  gagscren_dispatch(0);
}

// The local coordinate of a point in the localised cell that vanishes on face f. The
// point may lie a little outside the cell: the inverse map is followed out to half a
// cell before it gives up.
double face_coordinate(CutState *state, const double *xyz, int f) {
  double L[4];
  elements_get_lcoords(L, xyz, &state->cutcell.frame, 0.5);
  return L[f - 1];
}

// Pushes plot node n of a cut cell onto tetrahedron face f along the side's normal in
// the plot plane (the side from a to b turned counter-clockwise).
void push_bdry(CutState *state, const plotdata *d, tmesh *t, int32_t n, int f, const pointd &a, const pointd &b) {
  double dir[2] = {-(b.y - a.y), b.x - a.x};
  double uv[2] = {t->nodes.data[n - 1].x, t->nodes.data[n - 1].y}, xyz[3];
  double last = 1e300;
  for (int it = 0; it < 11; it++) {
    pgrid2_unproject(xyz, d, uv);
    double gv = face_coordinate(state, xyz, f);
    if (!(std::fabs(gv) > 1e-5 && std::fabs(gv) < last)) break;
    last = std::fabs(gv);
    double probe[2] = {uv[0] + 0.01 * dir[0], uv[1] + 0.01 * dir[1]}, pxyz[3];
    pgrid2_unproject(pxyz, d, probe);
    double slope = 100 * (face_coordinate(state, pxyz, f) - gv);
    if (slope == 0) break;
    double s = std::clamp(-gv / slope, -0.1, 0.1);
    uv[0] += s * dir[0], uv[1] += s * dir[1];
    if (std::fabs(s) < 1e-6) break;
  }
  pgrid2_unproject(xyz, d, uv);
  t->nodes.data[n - 1] = {uv[0], uv[1]};
  t->nodes3.data[n - 1] = {xyz[0], xyz[1], xyz[2]};
}
// The side nodes of one side s of a six- or nine-node plot cell.
void push_mid6(CutState *state, const plotdata *d, tmesh *t, const int32_t *cn, int s, int f) {
  const pointd &a = t->nodes.data[cn[s % 3] - 1], &b = t->nodes.data[cn[(s + 1) % 3] - 1];
  push_bdry(state, d, t, cn[2 + s], f, a, b);
}
void push_mid9(CutState *state, const plotdata *d, tmesh *t, const int32_t *cn, int s, int f) {
  const pointd &a = t->nodes.data[cn[s % 3] - 1], &b = t->nodes.data[cn[(s + 1) % 3] - 1];
  push_bdry(state, d, t, cn[2 + s], f, a, b);
  push_bdry(state, d, t, cn[5 + s], f, a, b);
}
// Curved cut cells: the side nodes of sides that lie in a tetrahedron face are moved
// onto that face of the curved source cell.
void push_midsides(CutState *state, plotdata *d, tmesh *t) {
  if (t->ncell != 6 && t->ncell != 9) return;
  Mesh *m = d->mesh;
  for (int32_t c = 1; c <= t->source.count; c++) {
    uint16_t flags = t->flags.data[c - 1];
    if (!(flags & TRIMESH_CURVED)) continue;
    state->cutcell.frame.curved = 0;
    meshes_localize(m, &m->cells.data[t->source.data[c - 1] - 1], &state->cutcell, 0);
    const int32_t *cn = t->cells.data + (c - 1) * t->ncell;
    for (int s = 1; s <= 3; s++) {
      int f = (flags >> (TRIMESH_CODE_SHIFT + 3 * (s - 1))) & 7;
      if (!f) continue;
      if (t->ncell == 6) push_mid6(state, d, t, cn, s, f);
      else push_mid9(state, d, t, cn, s, f);
    }
  }
}

// The face nodes of face f of a cell as a plot triangle's nodes, vertices 2 and 3 (and
// their side nodes) swapped when the cell lies below the surface, so that every plot
// cell turns counter-clockwise in x-y.
void face_nodes(int32_t *out, const MeshCell &cell, int f, bool below, int nn) {
  const uint8_t *row = elements_tet_faces(cell.basis)[f - 1];
  int32_t n[9] = {};
  for (int j = 0; j < nn; j++) n[j] = cell.nodes.data[row[j] - 1];
  if (below) {
    std::swap(n[1], n[2]);
    if (nn == 6) std::swap(n[4], n[5]);
    if (nn == 9) {
      int32_t o[9];
      std::copy_n(n, 9, o);
      n[3] = o[6], n[6] = o[3], n[4] = o[8], n[7] = o[5], n[5] = o[7], n[8] = o[4];
    }
  }
  std::copy_n(n, nn, out);
}

// Whether the side between two surface nodes runs along the surface's rim: both ends
// on one domain edge, or at a joint and on an edge or joint next to it. A side whose
// ends lie on two different edges crosses the surface.
bool on_one_edge(const MeshNode &a, const MeshNode &b) {
  auto rim = [](const MeshNode &n) { return n.kind == 1 || n.kind == 2; };
  if (!rim(a) || !rim(b)) return false;
  return a.kind != 2 || b.kind != 2 || a.id == b.id;
}

// The selected surface: every marked face becomes a plot cell over the group's nodes.
void copy_3d_surface(CutState *state, plotdata *d, tmesh *t, int32_t g) {
  const Mesh *m = d->mesh;
  const vectort &cells = cell_marks(d, g), &nodes = node_marks(d, g);
  for (int32_t n = vectort_next_bit(&nodes, 0); n > 0; n = vectort_next_bit(&nodes, n)) {
    const MeshNode &N = m->nodes.data[n - 1];
    pointd p = {N.x, N.y};
    point3d q = {N.x, N.y, N.z};
    state->nodemap.data[n - 1] = pointd_one_more_0(&t->nodes, &p);
    point3d_one_more_0(&t->nodes3, &q);
    widen_surface_box(d, p);
  }
  for (int32_t c = vectort_next_bit(&cells, 0); c > 0; c = vectort_next_bit(&cells, c)) {
    const MeshCell &cell = m->cells.data[c - 1];
    bool below = cell_layer(m, cell) < d->surface;
    for (int f = 1; f <= 4; f++) {
      if (!surface_face(d, m, cell, f)) continue;
      int32_t fn[9];
      face_nodes(fn, cell, f, below, t->ncell);
      uint16_t flags = uint16_t(f << 8) | (cell.basis == tet4 ? 0 : TRIMESH_CURVED);
      for (int s = 1; s <= 3; s++) {
        const uint8_t *row = elements_tri_sides[s - 1];
        if (on_one_edge(m->nodes.data[fn[row[1] - 1] - 1], m->nodes.data[fn[row[2] - 1] - 1]))
          flags |= uint16_t(TRIMESH_BOUNDARY << (s - 1));
      }
      int32_t k = trimesh_new_tcell(t, c, flags);
      for (int j = 0; j < t->ncell; j++) t->cells.data[(k - 1) * t->ncell + j] = state->nodemap.data[fn[j] - 1];
    }
  }
}

// Nodes added by densify on a surface: each lies where the vertical line through its
// (x, y) meets the surface face of its cell's source cell.
void fix_refpos(CutState *state, plotdata *d, tmesh *t, int32_t last) {
  Mesh *m = d->mesh;
  std::vector<uint8_t> done(size_t(t->nodes.count + 1), 0);
  plotdata line{};
  for (int32_t c = 1; c <= t->source.count; c++) {
    const MeshCell &cell = m->cells.data[t->source.data[c - 1] - 1];
    int f = (t->flags.data[c - 1] >> 8) & 7;
    if (f < 1 || f > 4 || face_surface(m, cell, f) != d->surface)
      rtlib_fatal_in("fix_refpos", "SURFACE PLOT MAP INCONSISTENCY");
    const int32_t *cn = t->cells.data + (c - 1) * t->ncell;
    for (int j = 0; j < t->ncell; j++) {
      int32_t n = cn[j];
      if (n <= last || done[n]) continue;
      done[n] = 1;
      const pointd &p = t->nodes.data[n - 1];
      double lo = m->domain ? m->domain->grid.box.z1 : 0, hi = m->domain ? m->domain->grid.box.z2 : 1;
      double L = std::max(hi - lo, 1e-30) + 2;
      double ends[6] = {p.x, p.y, lo - 1, p.x, p.y, lo - 1 + L}, dir[3] = {0, 0, 1};
      std::copy_n(ends, 6, line.lineends);
      std::copy_n(dir, 3, line.direction);
      line.linelength = L;
      state->cutcell.frame.curved = 0;
      meshes_localize(m, &cell, &state->cutcell, 0);
      crossing_list.count = 0;
      pgrid1_face_cut_3d(&line, t->source.data[c - 1], f, &state->cutcell, 0.1);
      if (crossing_list.count != 1) rtlib_fatal_in("fix_refpos", "SURFACE PLOT FACE CUT FAILED!");
      double xyz[3];
      elements_get_gcoords(xyz, crossing_list.L[0], &state->cutcell.frame);
      t->nodes3.data[n - 1] = {xyz[0], xyz[1], xyz[2]};
    }
  }
}

// Samples the plot meshes on a grid over the window: the group marks are re-sized to
// the plot meshes and mark the cells (and their nodes) that hold a grid point.
void vector_plot_mesh(plotdata *d) {
  tmeshlist &l = d->meshes;
  trimesh_build_tfinder_1(&l);
  // A density below 2 has no grid step; take 2.
  int32_t nx = std::max<int32_t>(d->points[0], 2), ny = d->points[1] ? std::max<int32_t>(d->points[1], 2) : nx;
  const double *w = d->window;
  double width = w[2] - w[0], height = w[3] - w[1];
  double step = std::max(width / (nx - 1), height / (ny - 1));
  if (!(step > 0)) return;
  int32_t cx = std::max(int32_t(width / step), 2), cy = std::max(int32_t(height / step), 2);
  double x0 = (w[0] + w[2]) / 2 - cx * step / 2, y0 = (w[1] + w[3]) / 2 - cy * step / 2;
  for (int32_t g = 1; g <= l.count; g++) {
    const tmesh &t = l.data[g - 1];
    vectort_resize(&cell_marks(d, g), t.source.count, t.source.count);
    vectort_copyto_1(&cell_marks(d, g), 0);
    vectort_resize(&node_marks(d, g), t.nodes.count, t.nodes.count);
    vectort_copyto_1(&node_marks(d, g), 0);
  }
  for (int32_t i = 1; i <= nx - 1; i++)
    for (int32_t j = 1; j <= ny - 1; j++) {
      pointd p = {x0 + i * step, y0 + j * step};
      int32_t found = trimesh_find_tcell_1(&l, &p, 0.001);
      if (!found) continue;
      int32_t g = found >> 24, c = found & 0xffffff;
      const tmesh &t = l.data[g - 1];
      vectort_set_bit(&cell_marks(d, g), c);
      for (int k = 0; k < t.ncell; k++) vectort_set_bit(&node_marks(d, g), t.cells.data[(c - 1) * t.ncell + k]);
    }
}

// One plot mesh per group of marked cells; returns the number of plot cells.
int32_t build_plot_meshes(CutState *state, plotdata *d) {
  Mesh *m = d->mesh;
  tmeshlist &l = d->meshes;
  trimesh_free_1(&l, 1);
  trimesh_resize_1(&l, d->groups, d->groups);
  std::fill_n(l.data, d->groups, tmesh{});
  d->sbasis = uint32_t(m->meshbasis);
  d->pbasis = plot_basis(m->meshbasis);
  vectorl_resize(&state->nodemap, m->nodes.count, std::max(m->nodes.count, state->nodemap.capacity));
  const double *w = d->window;
  rectd window = {w[0], w[1], w[2], w[3]};
  int32_t n = d->points[0];
  if (n > 1) d->nodespacing = std::sqrt((w[2] - w[0]) * (w[3] - w[1])) / (n - 1);
  d->surfbox[0] = d->surfbox[1] = 1e37, d->surfbox[2] = d->surfbox[3] = -1e37;
  bool threed = threed_mesh(m);
  int32_t total = 0;
  for (int32_t g = 1; g <= d->groups; g++) {
    int32_t cells = vectort_count(&cell_marks(d, g)), nodes = vectort_count(&node_marks(d, g));
    if (cells == 0) {
      vectort_free(&cell_marks(d, g));
      vectort_free(&node_marks(d, g));
      continue;
    }
    tmesh *t = &l.data[g - 1];
    trimesh_resize_0(t, 0, nodes, threed ? nodes : 0, 0, cells, d->pbasis, d->sbasis);
    if (!threed) {
      copy_2d_cells(state, d, t, g);
    } else if (!d->cut) {
      if (d->surface == 0) rtlib_fatal_in("build_plot_meshes", "no plot surface selector");
      copy_3d_surface(state, d, t, g);
      std::copy_n(d->window, 4, d->surfbox);
    } else {
      cut_3d_cells(state, d, t, g);
      trimesh_tsquash(t);
      push_midsides(state, d, t);
    }
    if (n > 1 && !d->nodensify) {
      vectorl renumbered = {};
      int32_t last = trimesh_tdensify_1(t, d->nodespacing, &window, threed ? &renumbered : nullptr);
      vectorl_free(&renumbered);
      if (threed) {
        const point3d zero = {0, 0, 0};
        while (t->nodes3.count < t->nodes.count) point3d_one_more_0(&t->nodes3, &zero);
        t->nodes3.count = t->nodes.count;
        if (!d->cut) {
          fix_refpos(state, d, t, last);
        } else {
          for (int32_t k = last + 1; k <= t->nodes.count; k++) {
            double uv[2] = {t->nodes.data[k - 1].x, t->nodes.data[k - 1].y}, xyz[3];
            pgrid2_unproject(xyz, d, uv);
            t->nodes3.data[k - 1] = {xyz[0], xyz[1], xyz[2]};
          }
        }
      }
    }
    if (d->linearize) {
      trimesh_tlinearize_0(t);
      trimesh_ttrim(t, &window, nullptr);
    }
    total += t->source.count;
    gagscren_dispatch(0);
  }
  if (d->region > 0) std::copy_n(d->surfbox, 4, d->window);
  if (d->vector) vector_plot_mesh(d);
  vectorl_free(&state->nodemap);
  return total;
}

// In axisymmetric problems no plot node lies on the axis: its radius is at least the
// domain's tolerance.
void off_axis2(const problem_view &v, plotdata *d) {
  if (v.coords->family != 2 || (v.coords->geometry != 5 && v.coords->geometry != 6)) return;
  double tol = d->mesh->domain ? d->mesh->domain->grid.tolerance : 0;
  for (int32_t g = 0; g < d->meshes.count; g++) {
    pointdlist &nodes = d->meshes.data[g].nodes;
    for (int32_t i = 0; i < nodes.count; i++) {
      double &r = v.coords->geometry == 5 ? nodes.data[i].y : nodes.data[i].x;
      if (r <= tol) r = tol;
    }
  }
}

// Appends the name of coordinate k (0 based).
void add_coordinate_name(String *to, const problem_view &v, int k) {
  static const char *const plain[3] = {"X", "Y", "Z"};
  if (v.coordnames->count > k && v.coordnames->items[k].length) strings_addto_0(to, &v.coordnames->items[k]);
  else strings_addto_1(to, plain[k]);
}

}  // namespace

bool pgrid2_region_matches(const plotdata *d, const Domain *dom, uint16_t r) {
  if (!dom || r < 1 || r > dom->regions.count) return d->region == 0 && d->layer == 0;
  const region &R = dom->regions.data[r - 1];
  return (d->region == 0 || R.defregion == d->region) && (d->layer == 0 || R.layer == d->layer);
}

void pgrid2_project(double *uv, const plotdata *d, const double *point) {
  TRACE("pgrid2_project");
  const double *r = d->inplane;
  uv[0] = r[0] * point[0] + r[1] * point[1] + r[2] * point[2];
  uv[1] = r[3] * point[0] + r[4] * point[1] + r[5] * point[2];
}

void pgrid2_unproject(double *point, const plotdata *d, const double *uv) {
  TRACE("pgrid2_unproject");
  const double *b = d->inplane + 6, *c = d->plane;
  for (int k = 0; k < 3; k++) point[k] = b[2 * k] * uv[0] + b[2 * k + 1] * uv[1];
  double s = c[0] * point[0] + c[1] * point[1] + c[2] * point[2] + c[3];
  for (int k = 0; k < 3; k++) point[k] -= s * c[k];
}

void pgrid2_fix_labels(pde *p, plotdata *d) {
  TRACE("pgrid2_fix_labels");
  const problem_view v = view_of(p);
  if (!d->cut) {
    for (int k = 0; k < 2; k++) {
      strings_copyto_1(&d->axislabels[k], "");
      add_coordinate_name(&d->axislabels[k], v, k);
    }
    return;
  }
  String number = {};
  for (int r = 0; r < 2; r++) {
    String &label = d->axislabels[r];
    strings_copyto_1(&label, "");
    for (int k = 0; k < 3; k++) {
      double f = d->inplane[3 * r + k];
      if (!(std::fabs(f) > 1e-5)) continue;
      if (label.length) strings_addto_1(&label, "+");
      if (std::fabs(f - 1) > 1e-5) {
        strings_pak(&number, f);
        strings_addto_0(&label, &number);
        strings_addto_1(&label, "*");
      }
      add_coordinate_name(&label, v, k);
    }
  }
  strings_free_0(&number);
}

uint8_t pgrid2_validate_plot_mesh(pde *p, plotdata *d) {
  TRACE("pgrid2_validate_plot_mesh");
  if (d->valid) return d->valid;
  CutState record;  // this rebuild's working state
  CutState *state = &record;
  // 1. The data box: the domain's unless a box of its own is set.
  const problem_view v = view_of(p);
  const Domain *dom = v.mesh->domain;
  double *b = d->box;
  bool unset = std::all_of(b, b + 6, [](double v) { return v == 0; });
  if (dom && threed(v) && d->cut && !d->zoomed && !d->domainbox) {
    project_box(state, d, dom->grid.box);
  } else if ((d->domainbox || unset) && dom) {
    const rect3d &g = dom->grid.box;
    b[0] = g.x1, b[1] = g.y1, b[2] = g.z1, b[3] = g.x2, b[4] = g.y2, b[5] = g.z2;
  }
  // 2. The window: the box widened by 0.001 of its width and height.
  double dx = 0.001 * (b[3] - b[0]), dy = 0.001 * (b[4] - b[1]);
  d->window[0] = b[0] - dx, d->window[1] = b[1] - dy, d->window[2] = b[3] + dx, d->window[3] = b[4] + dy;
  d->mesh = v.mesh;
  // 3. Groups, meshes, the axis, labels.
  map_plot_cells(state, d);
  int32_t cells = build_plot_meshes(state, d);
  off_axis2(v, d);
  pgrid2_fix_labels(p, d);
  d->valid = cells > 0;
  return d->valid;
}

int pgrid2_init() {
  TRACE("pgrid2");
  return 0;
}
