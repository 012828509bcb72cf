// doplot3: boundary faces of tetrahedral meshes, culled, depth-sorted and painted.
#include "plot/doplot3.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

#include "domain/domain.h"
#include "elements/basisfun.h"
#include "elements/elements.h"
#include "elements/meshes.h"
#include "graphics/gag.h"
#include "graphics/gag1d.h"
#include "graphics/gag3d.h"
#include "model/treeval.h"
#include "model/window_record.h"
#include "plot/plot.h"
#include "plot/plot3d.h"
#include "runtime/bopmem.h"
#include "runtime/geom3d.h"
#include "runtime/rtlib.h"

doplot3_facelist doplot3_faces;
static BopmemWork faces_work([] {
  doplot3_facelist &L = doplot3_faces;
  vectorl_free(&L.codes);
  vectord_free(&L.depths);
  for (auto &p : L.points) pointd_free_1(&p);
  vectorl_free(&L.order);
});

namespace {

// Per face its nodes' positions in space (displaced in a grid plot), in list order.
std::vector<point3d> facenodes;

int face_node_count(int32_t basis) { return basis == tet4 ? 3 : 6; }

// The local node numbers of side s of a cell, in order round the face: its corners, and
// for curved bases the points on its sides that the ten-node numbering names (for the
// twenty-node cell these are points on the same sides, which is all a patch needs).
void side_nodes(int *out, int32_t basis, int s) {
  const uint8_t(*faces)[9] = elements_tet_faces(basis == tet4 ? tet4 : tet10);
  const uint8_t *row = faces[s - 1];
  if (basis == tet4) {
    out[0] = row[0], out[1] = row[1], out[2] = row[2];
  } else {
    // Corners a, b, c; side nodes opposite a, b, c at 3, 4, 5.
    out[0] = row[0], out[1] = row[5], out[2] = row[1], out[3] = row[3], out[4] = row[2], out[5] = row[4];
  }
}

point3d node_point(const Mesh *m, int32_t n) {
  const MeshNode &N = m->nodes.data[n - 1];
  return {N.x, N.y, N.z};
}

point3d minus(const point3d &a, const point3d &b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
double dot(const point3d &a, const point3d &b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
point3d cross(const point3d &a, const point3d &b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// Projects every listed face whose node positions are in facenodes: the depth from the
// eye, and the code cleared for a face that turns away from the eye (the triple product
// of its corners with the eye direction, oriented outward by the cell's fourth vertex).
void project_faces(const plotframe *f, int32_t basis, const std::vector<point3d> &opposite) {
  doplot3_facelist &L = doplot3_faces;
  int nf = face_node_count(basis);
  for (int32_t i = 0; i < L.codes.count; i++) {
    const point3d *q = &facenodes[size_t(i) * nf];
    double depth = 0;
    for (int j = 0; j < nf; j++) {
      geom3d_project_0(&L.points[j].data[i], &f->transform, &q[j]);
      point3d r = minus(q[j], f->eye);
      depth += dot(r, r);
    }
    L.depths.data[i] = depth / nf;
    const point3d &a = q[0], &b = q[nf == 3 ? 1 : 2], &c = q[nf == 3 ? 2 : 4];
    point3d normal = cross(minus(b, a), minus(c, a));
    if (dot(normal, minus(opposite[i], a)) > 0) normal = {-normal.x, -normal.y, -normal.z};
    if (dot(normal, minus(f->eye, a)) <= 0) L.codes.data[i] = 0;
  }
}

// Sizes the parallel lists to the face count.
void size_lists(int32_t n) {
  doplot3_facelist &L = doplot3_faces;
  vectord_resize(&L.depths, n, std::max(n, L.depths.capacity));
  for (auto &p : L.points) pointd_resize_1(&p, n, std::max(n, p.capacity));
}

// The face nodes (and each face's opposite corner) of the listed faces through the
// position of a node of a cell.
template <class Position>
void gather(int32_t basis, std::vector<point3d> *opposite, Position position) {
  doplot3_facelist &L = doplot3_faces;
  int nf = face_node_count(basis);
  facenodes.assign(size_t(L.codes.count) * nf, point3d{0, 0, 0});
  opposite->assign(size_t(L.codes.count), point3d{0, 0, 0});
  for (int32_t i = 0; i < L.codes.count; i++) {
    int32_t c = L.codes.data[i] >> 3, s = L.codes.data[i] & 7;
    int local[6];
    side_nodes(local, basis, s);
    for (int j = 0; j < nf; j++) facenodes[size_t(i) * nf + j] = position(c, local[j]);
    (*opposite)[i] = position(c, s);
  }
}

}  // namespace

void list_face(int32_t cell, int32_t side) {
  TRACE("list_face");
  vectorl &codes = doplot3_faces.codes;
  if (codes.count >= codes.capacity) vectorl_resize(&codes, codes.count, codes.capacity + 100);
  vectorl_one_more(&codes, cell * 8 + side);
}

int32_t surface_list(Mesh *m) {
  TRACE("surface_list");
  doplot3_faces.codes.count = 0;
  for (int32_t c = 1; c <= m->cells.count; c++) {
    const MeshCell &cell = m->cells.data[c - 1];
    if (!cell.alive || elements_dimension[cell.basis] != 3) continue;
    for (int s = 1; s <= 4; s++)
      if (cell.neighbour[s - 1] <= 0) list_face(c, s);
  }
  size_lists(doplot3_faces.codes.count);
  return doplot3_faces.codes.count;
}

void draw_faces(uint16_t view, Mesh *m, plotframe *block, int32_t basis, uint8_t painted, uint8_t byregion) {
  TRACE("draw_faces");
  const doplot3_facelist &L = doplot3_faces;
  std::vector<int32_t> order(size_t(L.codes.count));
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) { return L.depths.data[a] < L.depths.data[b]; });
  const Domain *dom = m->domain;
  int32_t count = dom ? (byregion ? dom->regions.count : dom->materials) : 1;
  int nf = face_node_count(basis);
  pointd p[6];
  vectorl &drawn = doplot3_faces.order;
  drawn.count = 0;
  for (size_t k = order.size(); k-- > 0;) {
    int32_t i = order[k], code = L.codes.data[i];
    if (!code) continue;
    vectorl_one_more(&drawn, i);
    const MeshCell &cell = m->cells.data[(code >> 3) - 1];
    uint8_t fill = block->colours.background;
    if (painted) fill = gag1d_tablecolor_0(block, byregion ? cell.region : cell.region2, std::max(count, 1));
    for (int j = 0; j < nf; j++) p[j] = L.points[j].data[i];
    if (nf == 3) gag3d_patch_0(view, p, fill, block->colours.axis);
    else gag3d_patch_1(view, p, fill, block->colours.axis);
  }
}

void doplot3_show_3d_mesh(WindowState *w, Mesh *m, uint16_t view, double *viewpoint, int32_t basis, uint8_t painted,
                          uint8_t byregion) {
  TRACE("doplot3_show_3d_mesh");
  if (!view || !m->domain) return;
  // 1. The mapping of the domain's box; the view cleared and scaled to it.
  plotframe *f = &w->styles[3];
  rect3d box = m->domain->grid.box;
  plot3d_map_domain3d(w, m, viewpoint, &box);
  gag_clearview_0(view);
  gag_scaleview_0(view, &f->box);
  // 2. The boundary faces, projected, culled and drawn far to near.
  surface_list(m);
  std::vector<point3d> opposite;
  gather(basis, &opposite, [&](int32_t c, int j) { return node_point(m, m->cells.data[c - 1].nodes.data[j - 1]); });
  project_faces(f, basis, opposite);
  draw_faces(view, m, f, basis, painted, byregion);
}

void doplot3_grid_plot3(uint16_t view, pde *p, Mesh *m, plotframe *f, vector2d *values, double t, plotdata *d,
                        double *viewpoint, const treevector *x, const treevector *y, const treevector *z,
                        const String *names, uint8_t a, uint8_t b) {
  TRACE("doplot3_grid_plot3");
  if (!m->domain) return;
  int32_t basis = m->meshbasis;
  // 1. The domain's box and a viewpoint.
  rect3d domainbox = m->domain->grid.box;
  plot_validate_viewpoint(viewpoint, &domainbox);
  // 2. The faces; 3. every face node moved by the trees of its cell's region.
  surface_list(m);
  rect3d box = {1e37, 1e37, 1e37, -1e37, -1e37, -1e37};
  static LocalCell work;
  int32_t localized = 0;
  const treevector *trees[3] = {x, y, z};
  auto moved = [&](int32_t c, int j) {
    const MeshCell &cell = m->cells.data[c - 1];
    if (localized != c) {
      work.frame.curved = 0;
      meshes_localize(m, &cell, &work, 0);
      localized = c;
    }
    const LocalPoint &L = basisfun_node_table(m->meshbasis)[j - 1];
    evalpoint e{};
    double xyz[3];
    elements_get_gcoords(xyz, L.L, &work.frame);
    e.x = xyz[0], e.y = xyz[1], e.z = xyz[2];
    std::copy_n(L.L, 4, e.local);
    e.cell = &work, e.cellno = uint32_t(c), e.region = cell.region;
    e.values = values;
    e.t = t;
    double v[3];
    for (int k = 0; k < 3; k++) {
      const treevector *list = trees[k];
      const TreeNode *tree =
          list && list->count ? list->data[std::min<int32_t>(cell.region, list->count) - 1] : nullptr;
      v[k] = tree ? treeval_eval(p, tree, &e) : xyz[k];
    }
    point3d q = {v[0], v[1], v[2]};
    box.x1 = std::min(box.x1, q.x), box.y1 = std::min(box.y1, q.y), box.z1 = std::min(box.z1, q.z);
    box.x2 = std::max(box.x2, q.x), box.y2 = std::max(box.y2, q.y), box.z2 = std::max(box.z2, q.z);
    return q;
  };
  std::vector<point3d> opposite;
  gather(basis, &opposite, moved);
  if (doplot3_faces.codes.count == 0) box = domainbox;
  // 4. The mapping around the moved box, zoomed by 1.1; 5. the faces projected.
  point3d eye = {viewpoint[0], viewpoint[1], viewpoint[2]};
  plot3d_away_from_centre(&eye, &box);
  gag3d_plotmap3_1(f, &box, &eye, 0, 0, 0, 0, 1.1);
  viewpoint[0] = eye.x, viewpoint[1] = eye.y, viewpoint[2] = eye.z;
  if (view) gag_clearview_0(view);
  project_faces(f, basis, opposite);
  // 6. The view scaled to the projected box; the backing box and the faces.
  rectd pbox = f->box;
  const doplot3_facelist &L = doplot3_faces;
  for (int32_t i = 0; i < L.codes.count; i++)
    for (int j = 0; j < face_node_count(basis); j++) {
      const pointd &q = L.points[j].data[i];
      pbox.x1 = std::min(pbox.x1, q.x), pbox.y1 = std::min(pbox.y1, q.y);
      pbox.x2 = std::max(pbox.x2, q.x), pbox.y2 = std::max(pbox.y2, q.y);
    }
  if (view) {
    gag_scaleview_0(view, &pbox);
    gag3d_backing_box_1(view, f, &box, box.z1, box.z2, &names[0], &names[1], &names[2]);
    draw_faces(view, m, f, basis, a, b);
  }
  // 7. The plot data's 2D box.
  if (d) d->box[0] = box.x1, d->box[1] = box.y1, d->box[3] = box.x2, d->box[4] = box.y2;
}

int doplot3_init() {
  TRACE("doplot3");
  return 0;
}
