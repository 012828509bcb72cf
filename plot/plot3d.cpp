// plot3d: 3D mapping of extruded domains and the 3D mesher's debug views.
#include "plot/plot3d.h"

#include <algorithm>
#include <cmath>

#include "domain/domain.h"
#include "elements/elements.h"
#include "elements/meshes.h"
#include "graphics/gag.h"
#include "model/window_record.h"
#include "plot/plot.h"
#include "runtime/debug.h"
#include "runtime/rtlib.h"

plotframe plot3d_frame;
stereorec plot3d_stereo;

namespace {

uint16_t eyes[2];  // the two side-by-side views of the debug view, once made

point3d at(const Mesh *m, int32_t n) {
  const MeshNode &N = m->nodes.data[n - 1];
  return {N.x, N.y, N.z};
}

void line_3d(uint16_t view, const Mesh *m, int32_t a, int32_t b) {
  point3d p = at(m, a), q = at(m, b);
  gag3d_drawline_3d(view, &p, &q, &plot3d_frame.transform);
}
void line_stereo(const stereorec *s, const Mesh *m, int32_t a, int32_t b) {
  point3d p = at(m, a), q = at(m, b);
  gag3d_drawline_stereo_1(s, &p, &q);
}

const Joint *joint_of(const Domain *d, uint16_t j) {
  return j >= 1 && j <= d->joints.count ? &d->joints.data[j - 1] : nullptr;
}

}  // namespace

void plot3d_away_from_centre(point3d *eye, const rect3d *box) {
  TRACE("plot3d_away_from_centre");
  double cx = (box->x1 + box->x2) / 2, cy = (box->y1 + box->y2) / 2;
  if (eye->x != cx || eye->y != cy) return;
  double diagonal = std::hypot(box->x2 - box->x1, box->y2 - box->y1), a = 1.375 * M_PI;
  eye->x = cx + 2 * diagonal * std::cos(a);
  eye->y = cy + 2 * diagonal * std::sin(a);
}

void plot3d_map_domain3d(WindowState *p, Mesh *, double *viewpoint, const rect3d *box) {
  TRACE("plot3d_map_domain3d");
  // 1. A default viewpoint.
  plot_validate_viewpoint(viewpoint, box);
  // 2. Nearer than twice the diagonal: out along the same direction.
  point3d eye = {viewpoint[0], viewpoint[1], viewpoint[2]};
  plot3d_away_from_centre(&eye, box);
  double cx = (box->x1 + box->x2) / 2, cy = (box->y1 + box->y2) / 2;
  double diagonal = std::hypot(box->x2 - box->x1, box->y2 - box->y1);
  double dx = eye.x - cx, dy = eye.y - cy, r = diagonal > 0 ? std::hypot(dx, dy) / diagonal : 2;
  double azimuth = std::atan2(dy, dx);
  if (r < 2) {
    r = 2;
    eye.x = cx + 2 * diagonal * std::cos(azimuth);
    eye.y = cy + 2 * diagonal * std::sin(azimuth);
  }
  viewpoint[0] = eye.x, viewpoint[1] = eye.y;
  // 3. The mapping.
  gag3d_plotmap3_0(&p->styles[3], box, r, viewpoint[2], azimuth, 0, 0, 0, 0.02, 1.0);
}

void plot3d_db_cell3d(Mesh *m, int32_t cell) {
  TRACE("plot3d_db_cell3d");
  if (cell < 1 || cell > m->cells.count) return;
  const MeshCell &C = m->cells.data[cell - 1];
  rect3d box = {1e37, 1e37, 1e37, -1e37, -1e37, -1e37};
  for (int j = 0; j < elements_vertices[C.basis]; j++) {
    point3d q = at(m, C.nodes.data[j]);
    box.x1 = std::min(box.x1, q.x), box.y1 = std::min(box.y1, q.y), box.z1 = std::min(box.z1, q.z);
    box.x2 = std::max(box.x2, q.x), box.y2 = std::max(box.y2, q.y), box.z2 = std::max(box.z2, q.z);
  }
  gag3d_plotmap3_0(&plot3d_frame, &box, 3, M_PI / 3, 1.25 * M_PI, 0, 0, 0, 0.02, 1.0);
}

void plot3d_dbstereo(uint16_t view, uint8_t stereo) {
  TRACE("plot3d_dbstereo");
  if (!view) return;
  if (stereo <= 1) {
    gag3d_stereo_rg(&plot3d_stereo, view, &plot3d_frame);
    return;
  }
  if (!eyes[0] || !checkview(eyes[0])) {
    eyes[0] = gag_newview_1(view, 0, 0, 0.65, 0.65, 0);
    eyes[1] = gag_newview_1(view, 0.65, 0, 1.3, 0.65, 0);
  }
  if (stereo == 2) gag3d_stereo_x(&plot3d_stereo, eyes[0], eyes[1], &plot3d_frame);
  else gag3d_stereo_x(&plot3d_stereo, eyes[1], eyes[0], &plot3d_frame);
}

void show_segment(const stereorec *s, Domain *d, uint16_t edge, double z) {
  TRACE("show_segment");
  if (!d || edge < 1 || edge > d->edges.count) return;
  const Edge &E = d->edges.data[edge - 1];
  const Joint *a = joint_of(d, E.joint1), *b = joint_of(d, E.joint2);
  if (E.deleted || !a || !b) return;
  if (E.shape == SHAPE_ARC || E.shape == SHAPE_ERC) {
    const arcrec &r = E.shapedata.arc;
    pointd start = {a->x, a->y};
    gag3d_warp_arc(s, r.rx, r.ry, &start, z, r.start, r.sweep);
    return;
  }
  point3d p = {a->x, a->y, z}, q = {b->x, b->y, z};
  gag3d_drawline_stereo_1(s, &p, &q);
}

void plot3d_show_domain(const stereorec *s, Domain *d, double z1, double z2) {
  TRACE("plot3d_show_domain");
  if (!d) return;
  for (uint16_t e = 1; e <= d->edges.count; e++) {
    show_segment(s, d, e, z1);
    show_segment(s, d, e, z2);
  }
  for (uint16_t j = 1; j <= d->joints.count; j++) {
    const Joint &J = d->joints.data[j - 1];
    point3d p = {J.x, J.y, z1}, q = {J.x, J.y, z2};
    gag3d_drawline_stereo_1(s, &p, &q);
  }
}

void plot3d_plot_domain(Mesh *m) {
  TRACE("plot3d_plot_domain");
  if (!m->domain) return;
  gag3d_backing_box_0(&plot3d_stereo, &plot3d_frame);
  const rect3d &b = m->domain->grid.box;
  plot3d_show_domain(&plot3d_stereo, m->domain, b.z1, b.z2);
}

void plot3d_dbgrid3d(const double *defaultview, uint8_t stereo, Mesh *base, Mesh *m, uint8_t ask) {
  TRACE("plot3d_dbgrid3d");
  uint16_t view = m->debugview;
  if (!view || !m->domain) return;
  rect3d box = m->domain->grid.box;
  double viewpoint[3] = {defaultview[0], defaultview[1], defaultview[2]};
  plot_validate_viewpoint(viewpoint, &box);
  point3d eye = {viewpoint[0], viewpoint[1], viewpoint[2]};
  plot3d_away_from_centre(&eye, &box);
  gag3d_plotmap3_1(&plot3d_frame, &box, &eye, 0, 0, 0, 0.02, 1.0);
  gag_clearview_0(view);
  plot3d_dbstereo(m->debugview, stereo);
  plot3d_plot_domain(m);
  plot3d_showbase(&plot3d_stereo, base, box.z1);
  if (ask) gag_showmessageindirect(view, "", "DOMAIN");
}

void plot3d_draw_cell_0(uint16_t view, const Mesh *m, int32_t a, int32_t b, int32_t c) {
  TRACE("plot3d_draw_cell_0");
  line_3d(view, m, a, b), line_3d(view, m, b, c), line_3d(view, m, c, a);
}
void plot3d_draw_cell_1(uint16_t view, const Mesh *m, int32_t a, int32_t b, int32_t c, int32_t e) {
  TRACE("plot3d_draw_cell_1");
  plot3d_draw_cell_0(view, m, a, b, c);
  line_3d(view, m, a, e), line_3d(view, m, b, e), line_3d(view, m, c, e);
}
void plot3d_draw_cell_2(const stereorec *s, const Mesh *m, int32_t a, int32_t b, int32_t c) {
  TRACE("plot3d_draw_cell_2");
  line_stereo(s, m, a, b), line_stereo(s, m, b, c), line_stereo(s, m, c, a);
}
void plot3d_draw_cell_3(const stereorec *s, const Mesh *m, int32_t a, int32_t b, int32_t c, int32_t e) {
  TRACE("plot3d_draw_cell_3");
  plot3d_draw_cell_2(s, m, a, b, c);
  line_stereo(s, m, a, e), line_stereo(s, m, b, e), line_stereo(s, m, c, e);
}

void plot3d_showbase(const stereorec *s, const Mesh *base, double z) {
  TRACE("plot3d_showbase");
  for (int32_t c = 1; c <= base->cells.count; c++) {
    const MeshCell &C = base->cells.data[c - 1];
    if (!C.alive) continue;
    const int32_t *n = C.nodes.data;
    for (int k = 0; k < 3; k++) {
      const MeshNode &P = base->nodes.data[n[k] - 1], &Q = base->nodes.data[n[(k + 1) % 3] - 1];
      point3d p = {P.x, P.y, z}, q = {Q.x, Q.y, z};
      gag3d_drawline_stereo_1(s, &p, &q);
    }
  }
}

void plot3d_show_mesh3(const stereorec *s, const Mesh *m) {
  TRACE("plot3d_show_mesh3");
  for (int32_t c = 1; c <= m->cells.count; c++) {
    const MeshCell &C = m->cells.data[c - 1];
    if (!C.alive || elements_dimension[C.basis] != 3) continue;
    const int32_t *n = C.nodes.data;
    plot3d_draw_cell_3(s, m, n[0], n[1], n[2], n[3]);
  }
}

void plot3d_show_shell(const stereorec *s, const Mesh *m, const int32_t (*faces)[3], const uint8_t *alive,
                       int32_t count) {
  TRACE("plot3d_show_shell");
  for (int32_t k = 0; k < count; k++)
    if (alive[k]) plot3d_draw_cell_2(s, m, faces[k][0], faces[k][1], faces[k][2]);
}

void plot3d_show_front(const stereorec *s, const Mesh *m, const char *name, const int32_t (*faces)[3],
                       const uint8_t *alive, int32_t count, uint8_t ask) {
  TRACE("plot3d_show_front");
  int32_t live = 0;
  for (int32_t k = 0; k < count; k++) live += alive[k] != 0;
  debug_printf("\n %s FRONT(%d):\n", name, live);
  for (int32_t k = 0; k < count; k++) {
    if (!alive[k]) continue;
    debug_printf("SHELL %6d  %6d,%6d,%6d alive\n", k + 1, faces[k][0], faces[k][1], faces[k][2]);
    plot3d_draw_cell_2(s, m, faces[k][0], faces[k][1], faces[k][2]);
  }
  for (int32_t c = 1; c <= m->cells.count; c++) {
    const MeshCell &C = m->cells.data[c - 1];
    if (!C.alive || elements_dimension[C.basis] != 3) continue;
    const uint8_t(*table)[9] = elements_tet_faces(tet4);
    for (int f = 1; f <= 4; f++) {
      if (C.neighbour[f - 1] != 0 || C.bdid[f - 1] != 0) continue;
      int32_t a = C.nodes.data[table[f - 1][0] - 1], b = C.nodes.data[table[f - 1][1] - 1],
              e = C.nodes.data[table[f - 1][2] - 1];
      debug_printf("CELL %6d SIDE %d  %6d,%6d,%6d alive\n", c, f, a, b, e);
      plot3d_draw_cell_2(s, m, a, b, e);
    }
  }
  if (ask && gag_yesnomessageindirect(s->left, "Continue?", "") == 0) rtlib_fatal("Done.");
}

int plot3d_init() {
  TRACE("plot3d");
  return 0;
}
