// refine2: radial split of a cell, the finishing passes of a fresh mesh, the estimate
// factor.
#include "mesher/refine2.h"

#include <initializer_list>

#include "control/pdedat.h"
#include "elements/meshes.h"
#include "elements/mfinder.h"
#include "graphics/display.h"
#include "graphics/gag.h"
#include "mesher/mesh2.h"
#include "mesher/mesher2.h"
#include "plot/plot.h"
#include "runtime/rtlib.h"

double refine2_estimate_factor = 0.25;

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

static void show(pde *p, Mesh *m) {
  plot_show_mesh(m->meshview, p->styles, &m->domain->grid.box, m, tri3, 0, 0, m->domain->regions.count);
}

void refine2_relax_hooks(pde *p, Mesh *m) {
  TRACE("refine2_relax_hooks_0");
  // 1. A flip pass and a relaxation.
  mesh2_best_leg(m, tri3, nullptr);
  mesh2_relax_mesh(m);
  show(p, m);
  if (mesher2_debug > 1) display_waitkey(0);
  // 2. Up to two more flip passes, relaxed when they flipped.
  uint16_t flipped = 0;
  for (int pass = 1; pass <= 2; pass++) {
    if (m->meshview) gag_setcolor_0(m->meshview, 4);
    flipped = mesh2_best_leg(m, tri3, nullptr);
    if (flipped) {
      mesh2_relax_mesh(m);
      if (mesher2_debug) {
        show(p, m);
        if (mesher2_debug > 1) display_waitkey(0);
      }
    }
    if (p->stop || !flipped) return;
  }
  // 3. The second still flipped: one last pass without relaxation.
  mesh2_best_leg(m, tri3, nullptr);
}
