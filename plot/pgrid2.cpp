// pgrid2: plot meshes of 2D plots taken from the solution mesh.
#include "plot/pgrid2.h"

#include <algorithm>
#include <cmath>

#include "control/pdedat.h"
#include "domain/domain.h"
#include "elements/evalpoint.h"
#include "elements/meshes.h"
#include "elements/mfinder.h"
#include "graphics/gagscren.h"
#include "runtime/rtlib.h"

namespace {

vectorl nodemap;  // solution node -> plot node of the group being copied
LocalCell corner;  // the cell found at a window corner

bool threed(const pde *p) { return p->dimension == 3 || (p->mesh.domain && p->mesh.domain->threed); }

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

// Sorts the live cells into groups: all of them, those of the selected region (group 1),
// or, in a zoom window, those around the nodes inside it and those at its corners.
void map_plot_cells(plotdata *d) {
  Mesh *m = d->mesh;
  const Domain *dom = m->domain;
  int32_t groups = d->paintregions ? (dom ? dom->regions.count : 0) : (dom ? dom->materials : 0);
  // A cell whose id exceeds the domain's count still gets a group of its own.
  for (int32_t c = 1; c <= m->cells.count; c++)
    if (m->cells.data[c - 1].alive) groups = std::max(groups, group_of(d, m->cells.data[c - 1]));
  groups = std::max(groups, 1);
  d->groups = uint16_t(groups);
  plot_size_marks(d, groups, m->cells.count, m->nodes.count);
  if (d->region > 0) {
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
      e.cell = &corner;
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
void copy_2d_cells(plotdata *d, tmesh *t, int32_t g) {
  const Mesh *m = d->mesh;
  const vectort &cells = cell_marks(d, g), &nodes = node_marks(d, g);
  for (int32_t n = vectort_next_bit(&nodes, 0); n > 0; n = vectort_next_bit(&nodes, n)) {
    pointd p = {m->nodes.data[n - 1].x, m->nodes.data[n - 1].y};
    nodemap.data[n - 1] = pointd_one_more_0(&t->nodes, &p);
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
    for (int j = 0; j < t->ncell && j < cell.nodes.count; j++) cn[j] = nodemap.data[cell.nodes.data[j] - 1];
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
int32_t build_plot_meshes(plotdata *d) {
  Mesh *m = d->mesh;
  tmeshlist &l = d->meshes;
  trimesh_free_1(&l, 1);
  trimesh_resize_1(&l, d->groups, d->groups);
  std::fill_n(l.data, d->groups, tmesh{});
  d->sbasis = uint32_t(m->meshbasis);
  d->pbasis = plot_basis(m->meshbasis);
  vectorl_resize(&nodemap, m->nodes.count, std::max(m->nodes.count, nodemap.capacity));
  const double *w = d->window;
  rectd window = {w[0], w[1], w[2], w[3]};
  int32_t n = d->points[0];
  if (n > 1) d->nodespacing = std::sqrt((w[2] - w[0]) * (w[3] - w[1])) / (n - 1);
  d->surfbox[0] = d->surfbox[1] = 1e37, d->surfbox[2] = d->surfbox[3] = -1e37;
  int32_t total = 0;
  for (int32_t g = 1; g <= d->groups; g++) {
    int32_t cells = vectort_count(&cell_marks(d, g)), nodes = vectort_count(&node_marks(d, g));
    if (cells == 0) {
      vectort_free(&cell_marks(d, g));
      vectort_free(&node_marks(d, g));
      continue;
    }
    tmesh *t = &l.data[g - 1];
    trimesh_resize_0(t, 0, nodes, 0, 0, cells, d->pbasis, d->sbasis);
    copy_2d_cells(d, t, g);
    if (n > 1 && !d->nodensify) trimesh_tdensify_1(t, d->nodespacing, &window, nullptr);
    if (d->linearize) {
      trimesh_tlinearize_0(t);
      trimesh_ttrim(t, &window, nullptr);
    }
    total += t->source.count;
    gagscren_dispatch(0);
  }
  if (d->region > 0) std::copy_n(d->surfbox, 4, d->window);
  if (d->vector) vector_plot_mesh(d);
  vectorl_free(&nodemap);
  return total;
}

// In axisymmetric problems no plot node lies on the axis: its radius is at least the
// domain's tolerance.
void off_axis2(pde *p, plotdata *d) {
  if (p->coords.family != 2 || (p->coords.geometry != 5 && p->coords.geometry != 6)) return;
  double tol = d->mesh->domain ? d->mesh->domain->grid.tolerance : 0;
  for (int32_t g = 0; g < d->meshes.count; g++) {
    pointdlist &nodes = d->meshes.data[g].nodes;
    for (int32_t i = 0; i < nodes.count; i++) {
      double &r = p->coords.geometry == 5 ? nodes.data[i].y : nodes.data[i].x;
      if (r <= tol) r = tol;
    }
  }
}

// Appends the name of coordinate k (0 based).
void add_coordinate_name(String *to, const pde *p, int k) {
  static const char *const plain[3] = {"X", "Y", "Z"};
  if (p->coordnames.count > k && p->coordnames.items[k].length) strings_addto_0(to, &p->coordnames.items[k]);
  else strings_addto_1(to, plain[k]);
}

}  // namespace

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
  if (!d->cut) {
    for (int k = 0; k < 2; k++) {
      strings_copyto_1(&d->axislabels[k], "");
      add_coordinate_name(&d->axislabels[k], p, k);
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
      add_coordinate_name(&label, p, k);
    }
  }
  strings_free_0(&number);
}

uint8_t pgrid2_validate_plot_mesh(pde *p, plotdata *d) {
  TRACE("pgrid2_validate_plot_mesh");
  if (d->valid) return d->valid;
  // 1. The data box: the domain's unless a box of its own is set.
  const Domain *dom = p->mesh.domain;
  double *b = d->box;
  bool unset = std::all_of(b, b + 6, [](double v) { return v == 0; });
  if ((d->domainbox || unset) && dom) {
    const rect3d &g = dom->grid.box;
    b[0] = g.x1, b[1] = g.y1, b[2] = g.z1, b[3] = g.x2, b[4] = g.y2, b[5] = g.z2;
  }
  // 2. The window: the box widened by 0.001 of its width and height.
  double dx = 0.001 * (b[3] - b[0]), dy = 0.001 * (b[4] - b[1]);
  d->window[0] = b[0] - dx, d->window[1] = b[1] - dy, d->window[2] = b[3] + dx, d->window[3] = b[4] + dy;
  d->mesh = &p->mesh;
  pgrid2_fix_labels(p, d);
  // Plane cuts and surfaces of extruded problems are not built yet: an empty plot.
  if (threed(p)) return d->valid = 0;
  // 3. Groups, meshes, the axis, labels.
  map_plot_cells(d);
  int32_t cells = build_plot_meshes(d);
  off_axis2(p, d);
  d->valid = cells > 0;
  return d->valid;
}

int pgrid2_init() {
  TRACE("pgrid2");
  return 0;
}
