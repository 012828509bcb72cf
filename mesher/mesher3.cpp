// mesher3: the three-dimensional mesh driver: the surface trees of the sheets, and the
// extrusion of the base mesh finished with conditions, materials, boundary ids,
// relaxation, higher-order nodes, periodic images and the display.
#include "mesher/mesher3.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "model/pdedat_record.h"
#include "domain/domain.h"
#include "domain/dominpde.h"
#include "elements/elements.h"
#include "elements/meshes.h"
#include "mesher/extrude3.h"
#include "mesher/mesh3.h"
#include "mesher/mesher2.h"
#include "mesher/meshpde3.h"
#include "mesher/refine2.h"
#include "model/treeclas.h"
#include "model/treedif.h"
#include "model/treemods.h"
#include "model/treesimp.h"
#include "plot/doplot3.h"
#include "plot/plot.h"
#include "runtime/debug.h"
#include "runtime/rtlib.h"

int mesher3_init() {
  TRACE("mesher3");
  return 0;
}

void mesher3_treat_sheets(pde *p) {
  TRACE("mesher3_treat_sheets");
  Domain *d = p->mesh.domain;
  uint16_t S = d->surfacetrees.count, R = d->regions.count;
  // 1. Flat flags and the three tables, emptied.
  vectorb_resize(&d->flat, S, S);
  for (int t = 0; t < 3; t++) {
    trees_free_2(&d->regiontrees[t], 1);
    if (S) trees_resize_1(&d->regiontrees[t], S, S);
    for (uint16_t s = 0; s < S; s++) {
      treevector &v = d->regiontrees[t].data[s];
      v.count = 0;
      if (R) trees_resize_0(&v, R, R);
      for (uint16_t r = 0; r < R; r++) v.data[r] = nullptr;
    }
  }
  // 2. Per sheet and region: the surface, its gradient and the gradient's divergence.
  for (uint16_t s = 1; s <= S; s++) {
    d->flat.data[s - 1] = 1;
    for (uint16_t r = 1; r <= R; r++) {
      TreeNode *z = treemods_copy_params(p, trees_copy(d->surfacetrees.data[s - 1]), r, 0);
      uint8_t changed = 0;
      treesimp_simplify_in(&z, r, &changed);
      treeclas_classify_rhs(p, z, r);
      d->regiontrees[0].data[s - 1].data[r - 1] = z;
      if (z->rhsclass != constex) d->flat.data[s - 1] = 0;
      TreeNode *g = treedif_gradient2(z);
      d->regiontrees[1].data[s - 1].data[r - 1] = g;
      TreeNode *div = treedif_div2v(g);
      treesimp_simplify_in(&div, r, &changed);
      treeclas_classify_value(p, div, r, vtag::scalar);
      if (p->cse) {
        treemods_find_common(div, div);
        treemods_link_common(div, &p->cseslots);
      }
      d->regiontrees[2].data[s - 1].data[r - 1] = div;
    }
  }
}

namespace {

// A curved sheet must bend little across a base cell: the tetrahedra of a column bend
// with their sheet, and bisecting one later pushes its new sheet nodes out by that bend
// (halved lengths quarter it), which a cell thin against it cannot take without folding
// or leaving the node off its sheet. Where a sheet's bend across a side (its height at the
// middle against the side's chord) exceeds this fraction of the side's length, the base
// cell is bisected before the extrusion, so that its columns follow the sheet from the
// first mesh on.
const double kSheetBend = 0.1;

bool bends(const Domain *d, const Mesh *m, int32_t c) {
  const MeshCell &C = m->cells.data[c - 1];
  uint16_t S = d->surfacetrees.count, r = C.region;
  for (int e = 0; e < 3; e++) {
    const MeshNode &A = m->nodes.data[C.nodes.data[e] - 1], &B = m->nodes.data[C.nodes.data[(e + 1) % 3] - 1];
    double mx = (A.x + B.x) / 2, my = (A.y + B.y) / 2, len = std::hypot(B.x - A.x, B.y - A.y);
    // Each sheet's height at the ends and the middle; a side where layers pinch (a sheet
    // bends more than the layer beside it is thick) is left alone: no length follows a
    // sheet running into another.
    std::vector<double> za(S + 1), zm(S + 1), zb(S + 1);
    for (uint16_t s = 1; s <= S; s++)
      za[s] = meshpde3_sheet_z(d, s, r, A.x, A.y), zm[s] = meshpde3_sheet_z(d, s, r, mx, my),
      zb[s] = meshpde3_sheet_z(d, s, r, B.x, B.y);
    bool split = false;
    for (uint16_t s = 1; s <= S; s++) {
      if (s <= d->flat.count && d->flat.data[s - 1]) continue;
      double bend = std::fabs(zm[s] - (za[s] + zb[s]) / 2);
      if (!(bend > kSheetBend * len)) continue;
      for (uint16_t t = 1; t < S; t++)
        if (!(std::min({za[t + 1] - za[t], zm[t + 1] - zm[t], zb[t + 1] - zb[t]}) > bend)) return false;
      split = true;
    }
    if (split) return true;
  }
  return false;
}

// Bisects the base cells across which a curved sheet bends too much (a few passes,
// within a share of the node limit).
void follow_sheets(pde *p, Mesh *m) {
  const Domain *d = m->domain;
  bool flat = true;
  for (int32_t s = 0; s < d->flat.count; s++) flat = flat && d->flat.data[s];
  if (flat || d->surfacetrees.count < 2) return;
  // A base node stands for about p^2 (p (S - 1) + 1) nodes of order p over S sheets; the
  // first mesh keeps within half the node limit.
  const int32_t order = p->basis == tet20 ? 3 : p->basis == tet10 ? 2 : 1, S = d->surfacetrees.count;
  const double per = double(order * order) * (order * (S - 1) + 1);
  const int32_t cap = int32_t(std::max<int32_t>(p->nodelimit, 1) * 0.5 / per);
  const int32_t before = m->nodes.count;
  for (int pass = 0; pass < 8; pass++) {
    std::vector<int32_t> marked;
    for (int32_t c = 1; c <= m->cells.count; c++)
      if (m->cells.data[c - 1].alive && bends(d, m, c)) marked.push_back(c);
    if (marked.empty()) break;
    bool full = false;
    for (int32_t c : marked) {
      if ((full = m->nodes.count - m->delnodes >= cap)) break;
      if (m->cells.data[c - 1].alive && bends(d, m, c)) refine2_subdivide2(m, c, tri3, nullptr, 0, 1);
    }
    if (full) break;
  }
  // New nodes on a periodic side find their images, as after any refinement.
  if (d->periodics.count > 0 && m->nodes.count > before) meshes_match_periodics(m, before);
}

}  // namespace

int32_t mesher3_grid3d(pde *p) {
  TRACE("mesher3_grid3d");
  Mesh *m = &p->mesh;
  Domain *d = m->domain;
  if (m->curvegrid && d->extrusion) follow_sheets(p, m);
  // 1. The base mesh keeps the 2D mesh, its boundary lists and its own 2D domain.
  meshes_mesh_copy(&p->basemesh, m, 1);
  vectorl_copyto_0(&p->basemesh.jointnodes, &m->jointnodes);
  vector2l_copyto_0(&p->basemesh.edgenodes, &m->edgenodes);
  p->basemesh.status = m->status;
  p->basemesh.curvegrid = m->curvegrid;
  p->basemesh.domain->threed = 0;
  d->base = p->basemesh.domain;
  // 2. Bases.
  m->meshbasis = m->cellbasis = p->basis;
  int32_t phase = 6;
  // 3. The extrusion, its conditions and materials.
  if (d->extrusion) {
    phase = extrude3_extrude(p);
    dominpde_edge_bcs(p);
    dominpde_joint_bcs(p);
    dominpde_sort_materials(d, &p->formulas.definitions);
    for (int32_t c = 1; c <= m->cells.count; c++) {
      MeshCell &C = m->cells.data[c - 1];
      if (C.region >= 1 && C.region <= d->regmaterials.count) C.region2 = d->regmaterials.data[C.region - 1];
    }
  }
  // 4.-5. The mesh basis again; boundary ids and one relaxation.
  m->meshbasis = p->basis;
  for (int32_t c = 1; c <= m->cells.count; c++)
    if (m->cells.data[c - 1].alive) mesh3_fix_bdid3(m, c);
  mesh3_relax_mesh3(m);
  // 6. Higher-order nodes: the base mesh's side nodes first.
  if (p->basis != tet4) {
    if (p->basis == tet10) mesher2_midsides(p, &p->basemesh, tri6);
    if (p->basis == tet20) mesher2_midsides(p, &p->basemesh, tri9);
    meshpde3_midsides3(p, m, p->basis);
  }
  // 7. Periodic images; off the grid lines. The base mesh's pairs came along with its
  // nodes, keyed the two-dimensional way (the image side's node first), where the match
  // keys the source side's node: both would make a node the image of its own image. The
  // match from the first node pairs every one again.
  m->images.count = 0;
  for (int32_t n = 1; n <= m->nodes.count; n++) m->nodes.data[n - 1].image = 0;
  meshes_match_periodics(m, 0);
  if (p->quantize) meshes_quantize_mesh(m, 3);
  // The check of links, node lists and every cell's volume: no run goes on with a
  // tetrahedron turned inside out. The smallest dihedral angle goes to the debug log.
  meshes_check_mesh(m, m->meshbasis, 1, 0);
  if (debug_open) {
    int32_t worst = 0;
    double least = mesh3_least_dihedral(m, &worst);
    debug_printf("SMALLEST DIHEDRAL ANGLE %g DEGREES IN CELL %d\n", least, worst);
  }
  // 8. The display.
  plot_fixcolors(nullptr);
  if (p->meshview) doplot3_show_3d_mesh(p, p->meshview, p->viewpoint, m->meshbasis, 0, p->paintregions);
  return phase;
}
