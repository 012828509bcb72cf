// meshes: the mesh record's cells, nodes and node-cell lists; compaction, boundary
// lists, centroids and periodic images; localised cells, measures and point values.
#include "elements/meshes.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "runtime/bounding.h"
#include "elements/basisfun.h"
#include "elements/domain_names.h"
#include "elements/evalpoint.h"
#include "elements/meshes_internal.h"
#include "elements/quature.h"
#include "runtime/bopmem.h"
#include "runtime/debug.h"
#include "runtime/geom3d.h"
#include "runtime/planed.h"
#include "runtime/point3d.h"
#include "runtime/rtlib.h"
#include "runtime/vectorbase.h"

// Node positions of a tri9 cell renumbered to start at vertex s (row s-1). Side s runs
// from the node at position [s-1][1] to the node at position [s-1][2].
static const uint8_t rotation[3][9] = {
    {1, 2, 3, 4, 5, 6, 7, 8, 9}, {2, 3, 1, 5, 6, 4, 8, 9, 7}, {3, 1, 2, 6, 4, 5, 9, 7, 8}};

MeshCell &cell_at(Mesh *m, int32_t c) { return m->cells.data[c - 1]; }
MeshNode &node_at(Mesh *m, int32_t n) { return m->nodes.data[n - 1]; }
static int32_t &at(vectorl &v, int32_t i) { return v.data[i - 1]; }
static int cell_vertices(int32_t basis) {
  int n = basis > 0 && basis < ELEMENTS_CODES ? elements_vertices[basis] : 0;
  return n ? n : 4;
}
int functions(int32_t basis) {
  return basis > 0 && basis < ELEMENTS_CODES ? elements_functions[basis] : 0;
}
// The first n entries of a cell's node list, n clipped to the list.
int node_span(const MeshCell &c, int n) { return std::min(n, int(c.nodes.count)); }

// ---- Growth -------------------------------------------------------------------------

// Appends one slot (the table keeps a spare slot), growing by step and doubling the
// step once the table has grown past 32 steps. The step stays within 16 bits, and a
// record whose step was never set grows one slot at a time.
template <class Table, class Resize>
static int32_t grow(Table *t, uint16_t *step, Resize resize) {
  int32_t n = t->count + 1, c = t->capacity;
  if (n >= c) {
    resize(t, n, c + std::max<int32_t>(*step, 1));
    if (int32_t(*step) * 32 < c && *step <= 0x7FFF) *step = uint16_t(*step * 2);
  }
  t->count = n;
  return n;
}

// ---- Cells --------------------------------------------------------------------------

// Clears a fresh cell slot's neighbours and history, sets it alive, sizes its node list.
static int32_t fresh_cell(celltable *t, int32_t c, int nn) {
  MeshCell &cell = t->data[c - 1];
  for (int s = 0; s < 4; s++) cell.neighbour[s] = 0;
  cell.bytes.count = 0;
  cell.alive = 1;
  vectorl_resize(&cell.nodes, nn, std::max(nn, int(cell.nodes.capacity)));
  return c;
}

int32_t meshes_new_cell_0(Mesh *m) {
  TRACE("meshes_new_cell_0");
  int32_t c = grow(&m->cells, &m->cellstep, cellnode_resize_0);
  return fresh_cell(&m->cells, c, functions(m->cellbasis));
}

int32_t meshes_new_cell_1(celltable *t, uint16_t nn) {
  TRACE("meshes_new_cell_1");
  if (t->count >= t->capacity) cellnode_resize_0(t, t->count, t->capacity + 500);
  t->count++;
  return fresh_cell(t, t->count, nn);
}

void meshes_copy_cell(MeshCell *dst, const MeshCell *src, uint16_t nn) {
  TRACE("meshes_copy_cell_0");
  dst->alive = src->alive;
  dst->basis = src->basis;
  dst->region = src->region;
  dst->region2 = src->region2;
  dst->changed = src->changed, dst->split = src->split;
  dst->merge = src->merge, dst->hasbound = src->hasbound;
  dst->error = src->error;
  dst->area = src->area;
  for (int k = 0; k < 3; k++) dst->centroid[k] = src->centroid[k];
  for (int s = 0; s < 4; s++) dst->neighbour[s] = src->neighbour[s], dst->bdid[s] = src->bdid[s];
  vectorb_copyto_0(&dst->bytes, &src->bytes);
  int n = std::min(int(nn), int(src->nodes.count));
  if (dst->nodes.count < n) vectorl_resize(&dst->nodes, n, std::max(n, int(dst->nodes.capacity)));
  for (int i = 0; i < n; i++) dst->nodes.data[i] = src->nodes.data[i];
}

int32_t meshes_clone_cell(Mesh *m, const MeshCell *src, uint16_t nn) {
  TRACE("meshes_clone_cell_0");
  // The source may lie in this table, which may move as it grows; its lists do not.
  MeshCell s = *src;
  int32_t c = meshes_new_cell_1(&m->cells, uint16_t(functions(m->cellbasis)));
  meshes_copy_cell(&cell_at(m, c), &s, nn);
  return c;
}

void meshes_delete_cell(Mesh *m, int32_t c) {
  TRACE("meshes_delete_cell_0");
  if (c < 1 || c > m->cells.count) return;
  MeshCell &cell = cell_at(m, c);
  cell.alive = 0;
  cell.region = cell.region2 = 0;
  if (c == m->cells.count)
    m->cells.count--;
  else
    m->delcells++;
  if (cell.bytes.capacity) vectorb_free(&cell.bytes);
  int nv = cell_vertices(m->meshbasis);
  for (int s = 0; s < nv; s++)
    if (cell.neighbour[s] > 0) {
      meshes_find_renabor(&m->cells, cell.neighbour[s], c, 0);
      cell.neighbour[s] = 0;
    }
  int nf = node_span(cell, functions(m->meshbasis));
  for (int i = 0; i < nf; i++) cell.nodes.data[i] = 0;
}

void meshes_renabor(Mesh *m, int32_t c, int32_t n1, int32_t n2, int32_t n3, int32_t n4) {
  TRACE("meshes_renabor_0");
  int32_t n[4] = {n1, n2, n3, n4};
  for (int s = 0; s < 4; s++)
    if (n[s] > 0) cell_at(m, c).neighbour[s] = n[s];
  m->changed = 1;
}

void meshes_find_renabor(celltable *t, int32_t c, int32_t old, int32_t nw) {
  TRACE("meshes_find_renabor_0");
  if (c < 1 || c > t->capacity) return;
  MeshCell &cell = t->data[c - 1];
  int nv = cell_vertices(cell.basis);
  for (int s = 0; s < nv; s++)
    if (cell.neighbour[s] == old) cell.neighbour[s] = nw;
}

void meshes_find_renode(MeshCell *cell, int32_t old, int32_t nw, uint16_t count) {
  TRACE("meshes_find_renode_0");
  int n = node_span(*cell, count);
  for (int i = 0; i < n; i++)
    if (cell->nodes.data[i] == old) cell->nodes.data[i] = nw;
}

// Sets each positive entry of n[0..k-1] as node 1..k of the cell.
static void renode(MeshCell &cell, const int32_t *n, int k) {
  if (cell.nodes.count < k) vectorl_resize(&cell.nodes, k, std::max(k, int(cell.nodes.capacity)));
  for (int i = 0; i < k; i++)
    if (n[i] > 0) cell.nodes.data[i] = n[i];
}

void meshes_renode3_0(Mesh *m, int32_t c, int32_t a, int32_t b, int32_t d) {
  TRACE("meshes_renode3_0");
  meshes_renode3_1(&m->cells, c, a, b, d);
  m->changed = 1;
}

void meshes_renode3_1(celltable *t, int32_t c, int32_t a, int32_t b, int32_t d) {
  TRACE("meshes_renode3_1");
  int32_t n[3] = {a, b, d};
  renode(t->data[c - 1], n, 3);
  t->data[c - 1].basis = tri3;
}

void meshes_renode4(Mesh *m, int32_t c, int32_t a, int32_t b, int32_t d, int32_t e) {
  TRACE("meshes_renode4_0");
  int32_t n[4] = {a, b, d, e};
  renode(cell_at(m, c), n, 4);
  cell_at(m, c).basis = tet4;
  m->changed = 1;
}

void meshes_renode6(Mesh *m, int32_t c, const int32_t *n) {
  TRACE("meshes_renode6_0");
  renode(cell_at(m, c), n, 6);
  m->changed = 1;
}

void meshes_renode9(Mesh *m, int32_t c, const int32_t *n) {
  TRACE("meshes_renode9_0");
  renode(cell_at(m, c), n, 9);
  m->changed = 1;
}

void meshes_fix_nabor(Mesh *m, int32_t c, int32_t old, int32_t nw) {
  TRACE("meshes_fix_nabor_0");
  if (c == 0) return;
  int32_t sign = c < 0 ? -1 : 1;
  MeshCell &cell = cell_at(m, sign * c);
  int nv = cell_vertices(cell.basis);
  for (int s = 0; s < nv; s++)
    if (cell.neighbour[s] == sign * old) {
      cell.neighbour[s] = sign * nw;
      return;
    }
  if (debug_open) {
    debug_printf("FIX_NABOR cell %d  from %d to %d (%d", c, old, nw, cell.neighbour[0]);
    for (int s = 1; s < nv; s++) debug_printf(",%d", cell.neighbour[s]);
    debug_printf(")\n");
  }
  rtlib_fatal_in("meshes_fix_nabor_0", "BAD NABOR PATCH");
}

uint16_t meshes_find_side_0(celltable *t, int32_t c, int32_t nabor) {
  TRACE("meshes_find_side_0");
  for (int s = 0; s < 3; s++)
    if (t->data[c - 1].neighbour[s] == nabor) return uint16_t(s + 1);
  return 0;
}

uint16_t meshes_find_side_1(Mesh *m, int32_t c, int32_t a, int32_t b) {
  TRACE("meshes_find_side_1");
  vectorl &n = cell_at(m, c).nodes;
  for (int s = 0; s < 3; s++)
    if (at(n, rotation[s][1]) == a && at(n, rotation[s][2]) == b) return uint16_t(s + 1);
  return 0;
}

int32_t meshes_common_cell(Mesh *m, int32_t a, int32_t b) {
  TRACE("meshes_common_cell_0");
  const vectorl &la = node_at(m, a).nodecell, &lb = node_at(m, b).nodecell;
  for (int32_t i = 1; i <= la.count; i++)
    if (vectorl_inlist(&lb, la.data[i - 1])) return la.data[i - 1];
  return 0;
}

// ---- Nodes --------------------------------------------------------------------------

int32_t meshes_new_node_1(Mesh *m, double x, double y, double z, uint16_t id) {
  TRACE("meshes_new_node_1");
  int32_t n = grow(&m->nodes, &m->nodestep, cellnode_resize_1);
  MeshNode &node = node_at(m, n);
  node.x = x, node.y = y, node.z = z;
  node.alive = 1;
  node.work2 = 0;
  node.kind = 0;
  node.id = id;
  node.image = 0;
  node.nodecell.count = 0;
  return n;
}

int32_t meshes_new_node_0(Mesh *m, double x, double y, uint16_t id) {
  TRACE("meshes_new_node_0");
  return meshes_new_node_1(m, x, y, 0, id);
}

int32_t meshes_make_node(Mesh *m, double x, double y, double tol) {
  TRACE("meshes_make_node_0");
  for (int32_t n = 1; n <= m->nodes.count; n++) {
    const MeshNode &node = node_at(m, n);
    if (std::fabs(x - node.x) < tol && std::fabs(y - node.y) < tol) return n;
  }
  return meshes_new_node_0(m, x, y, 0);
}

int32_t meshes_copy_node_1(Mesh *m, const MeshNode *src) {
  TRACE("meshes_copy_node_1");
  // The source may lie in this table, which may move as it grows; its list does not.
  MeshNode s = *src;
  int32_t n = meshes_new_node_1(m, s.x, s.y, s.z, s.id);
  MeshNode &node = node_at(m, n);
  node.kind = s.kind;
  node.alive = s.alive;
  node.spacing = s.spacing;
  vectorl_copyto_0(&node.nodecell, &s.nodecell);
  return n;
}

int32_t meshes_copy_node_0(Mesh *m, int32_t n) {
  TRACE("meshes_copy_node_0");
  return meshes_copy_node_1(m, &node_at(m, n));
}

// The domain's record for an edge or face number, null when out of its table.
static const Edge *domain_edge(const Mesh *m, int32_t e) {
  if (!m->domain || e < 1 || e > m->domain->edges.count) return nullptr;
  return &m->domain->edges.data[e - 1];
}
static const face *domain_face(const Mesh *m, int32_t f) {
  if (!m->domain || f < 1 || f > m->domain->faces.count) return nullptr;
  return &m->domain->faces.data[f - 1];
}
static const Joint *domain_joint(const Mesh *m, int32_t j) {
  if (!m->domain || j < 1 || j > m->domain->joints.count) return nullptr;
  return &m->domain->joints.data[j - 1];
}

void meshes_delete_node(Mesh *m, int32_t n) {
  TRACE("meshes_delete_node_0");
  if (n < 1 || n > m->nodes.count) return;
  MeshNode &node = node_at(m, n);
  node.nodecell.count = 0;
  node.alive = 0;
  const Edge *e = node.kind == 2 ? domain_edge(m, node.id) : nullptr;
  if (node.kind == 2 && node.id >= 1 && node.id <= m->edgenodes.count) {
    vectorl_delete(&m->edgenodes.data[node.id - 1], n);
    if (m->facenodes.count && e)
      for (int32_t k = 0; k < e->face_list.count; k++) {
        uint16_t f = e->face_list.data[k];
        if (f >= 1 && f <= m->facenodes.count) vectorl_delete(&m->facenodes.data[f - 1], n);
      }
  } else if (node.kind == 3 && node.id >= 1 && node.id <= m->facenodes.count) {
    vectorl_delete(&m->facenodes.data[node.id - 1], n);
  }
  if (node.image > 0) {
    const face *f = node.kind == 3 ? domain_face(m, node.id) : nullptr;
    if ((e && e->image) || (f && f->image)) vectorll_delete(&m->images, n, node.image);
  }
  m->delnodes++;
}

void meshes_new_nodecell(Mesh *m, int32_t n, int32_t c) {
  TRACE("meshes_new_nodecell_0");
  if (c < 1) return;
  if (n < 1 || n > m->nodes.count) {
    debug_printf("NEW_NODECELL NODE %d CELL %d\n", n, c);
    rtlib_fatal_in("meshes_new_nodecell_0", "BAD NODECELL");
  }
  vectorl &l = node_at(m, n).nodecell;
  if (vecbase_inlist(&l, c)) return;
  if (l.count >= l.capacity) vectorl_resize(&l, l.count, l.capacity + 8);
  l.data[l.count++] = c;
}

void meshes_new_nodecell2(Mesh *m, int32_t c, int32_t a, int32_t b) {
  TRACE("meshes_new_nodecell2_0");
  meshes_new_nodecell(m, a, c);
  meshes_new_nodecell(m, b, c);
}

void meshes_new_nodecell3(Mesh *m, int32_t c, int32_t a, int32_t b, int32_t d) {
  TRACE("meshes_new_nodecell3_0");
  for (int32_t n : {a, b, d}) meshes_new_nodecell(m, n, c);
}

void meshes_new_nodecell4(Mesh *m, int32_t c, int32_t a, int32_t b, int32_t d, int32_t e) {
  TRACE("meshes_new_nodecell4_0");
  for (int32_t n : {a, b, d, e}) meshes_new_nodecell(m, n, c);
}

void meshes_new_nodecell6(Mesh *m, int32_t c, const int32_t *n) {
  TRACE("meshes_new_nodecell6_0");
  for (int i = 0; i < 6; i++) meshes_new_nodecell(m, n[i], c);
}

void meshes_fix_nodecell(Mesh *m, int32_t n, int32_t old, int32_t nw) {
  TRACE("meshes_fix_nodecell_0");
  vectorl &l = node_at(m, n).nodecell;
  int32_t k = vectorl_inlist(&l, old);
  if (!k) rtlib_fatal_in("meshes_fix_nodecell_0", "BAD NODECELL PATCH ");
  at(l, k) = nw;
}

void meshes_delete_nodecell(Mesh *m, int32_t n, int32_t c) {
  TRACE("meshes_delete_nodecell_0");
  vectorl &l = node_at(m, n).nodecell;
  int32_t k = vectorl_inlist(&l, c);
  if (!k) rtlib_fatal_in("meshes_delete_nodecell_0", "BAD NODECELL DELETE ");
  vectorl_delete_index(&l, k);
}

void meshes_list_nodes(Mesh *m, int32_t n, vectorl *out, uint16_t count) {
  TRACE("meshes_list_nodes_0");
  out->count = 0;
  const vectorl &l = node_at(m, n).nodecell;
  for (int32_t k = 0; k < l.count; k++) {
    const MeshCell &cell = cell_at(m, l.data[k]);
    int nn = node_span(cell, count);
    for (int i = 0; i < nn; i++) vectorl_insert_0(out, cell.nodes.data[i]);
  }
}

uint16_t meshes_common_edge(Mesh *m, int32_t a, int32_t b) {
  TRACE("meshes_common_edge_0");
  const MeshNode &na = node_at(m, a), &nb = node_at(m, b);
  if (na.kind == 1 && nb.kind == 1) {
    const Joint *ja = domain_joint(m, na.id), *jb = domain_joint(m, nb.id);
    if (!ja || !jb) return 0;
    for (int32_t k = 0; k < ja->edges.count; k++)
      if (edges_if_edge(jb, ja->edges.data[k])) return ja->edges.data[k];
    return 0;
  }
  if ((na.kind == 1 && nb.kind == 2) || (na.kind == 2 && nb.kind == 1)) {
    const MeshNode &j = na.kind == 1 ? na : nb, &e = na.kind == 1 ? nb : na;
    const Joint *jr = domain_joint(m, j.id);
    return jr && edges_if_edge(jr, e.id) ? e.id : 0;
  }
  if (na.kind == 2 && nb.kind == 2 && na.id == nb.id) return na.id;
  return 0;
}

// ---- Whole mesh ---------------------------------------------------------------------

MeshDomainCalls meshes_domain_calls = {};

void meshes_mesh_copy(Mesh *dst, Mesh *src, uint8_t copydomain) {
  TRACE("meshes_mesh_copy_0");
  cellnode_free_1(&dst->cells);
  cellnode_free_2(&dst->nodes);
  // A domain the destination owned would be lost with its pointer: release it.
  if (dst->ownsdomain && dst->domain && dst->domain != src->domain) {
    meshes_domain_calls.clear(dst->domain);
    bopmemfree(&dst->domain);
    XMEM -= sizeof(Domain);
  }
  dst->ownsdomain = copydomain;
  dst->domain = copydomain && src->domain ? meshes_domain_calls.copy(src->domain) : src->domain;
  dst->nodestep = src->nodestep;
  dst->cellstep = src->cellstep;
  dst->delcells = src->delcells;
  dst->delnodes = src->delnodes;
  dst->workword = src->workword;
  dst->meshview = src->meshview;
  dst->debugview = src->debugview;
  dst->meshbasis = src->meshbasis;
  dst->cellbasis = src->cellbasis;
  for (int k = 0; k < 4; k++) dst->workbox[k] = src->workbox[k];
  dst->workflag = src->workflag;
  dst->changed = 0;
  dst->workflags[0] = dst->workflags[1] = 0;
  vectorl_free(&dst->jointnodes);
  vector2l_free(&dst->edgenodes, 1);
  vector2l_free(&dst->facenodes, 1);
  cellnode_resize_1(&dst->nodes, 0, src->nodes.count);
  cellnode_resize_0(&dst->cells, 0, src->cells.count);
  uint16_t nf = uint16_t(functions(src->meshbasis));
  for (int32_t c = 1; c <= src->cells.count; c++) meshes_clone_cell(dst, &cell_at(src, c), nf);
  for (int32_t n = 1; n <= src->nodes.count; n++) meshes_copy_node_1(dst, &node_at(src, n));
}

void meshes_free(Mesh *m, uint8_t freedomain) {
  TRACE("meshes_free_0");
  if (!m) return;
  cellnode_free_1(&m->cells);
  cellnode_free_2(&m->nodes);
  vectorl_free(&m->jointnodes);
  vector2l_free(&m->edgenodes, 1);
  vector2l_free(&m->facenodes, 1);
  vectorll_free(&m->images);
  finder_free(&m->finder);
  if (freedomain && m->ownsdomain && m->domain) {
    meshes_domain_calls.clear(m->domain);
    bopmemfree(&m->domain);
    XMEM -= sizeof(Domain);
  }
}

void meshes_data_remap(vectord *out, const vectorl *map, const vectord *in) {
  TRACE("meshes_data_remap_0");
  vectord_resize(out, map->count, std::max(map->count, out->capacity));
  for (int32_t i = 0; i < map->count; i++) {
    int32_t k = map->data[i];
    out->data[i] = k >= 1 && k <= in->count ? in->data[k - 1] : 0;
  }
}

// ---- Boundary lists and compaction --------------------------------------------------

bool meshes_insert_bnode(Mesh *m, uint16_t edge, int32_t a, int32_t b, int32_t nw) {
  TRACE("meshes_insert_bnode_0");
  if (edge > m->edgenodes.count) return true;
  vectorl &l = m->edgenodes.data[edge - 1];
  // The count rises only once a place is found, so a failed insertion leaves no entry.
  for (int32_t i = 1; i <= l.count; i++) {
    if (at(l, i) != a) continue;
    if (i > 1 && at(l, i - 1) == b) {
      vectorl_insert_1(&l, i, nw);
      return true;
    }
    if (i < l.count && at(l, i + 1) == b) {
      vectorl_insert_1(&l, i + 1, nw);
      return true;
    }
  }
  if (debug_open) {
    debug_printf("INSERT_BNODE SEG %d, NODES (%d,%d)\n", edge, a, b);
    vectorl_print_1(debug_file, &l, "NBLIST");
    String title = {10, 0, const_cast<char *>("BAD INSERT")};
    meshes_print_1(debug_file, m, &title);
  }
  return false;
}

void meshes_place_bnode(Mesh *m, uint16_t edge, int32_t a, int32_t b, int32_t nw) {
  if (meshes_insert_bnode(m, edge, a, b, nw)) return;
  const MeshNode &q = m->nodes.data[nw - 1];
  char message[128];
  snprintf(message, sizeof message, "Mesh is tangled near (%g,%g,%g)!", q.x, q.y, q.z);
  rtlib_fatal(message);
}

void meshes_insert_fnode(Mesh *m, uint16_t fc, int32_t n) {
  TRACE("meshes_insert_fnode_0");
  int32_t faces = m->domain ? m->domain->faces.count : 0;
  if (m->facenodes.count < faces)
    vector2l_resize(&m->facenodes, faces, std::max(faces, m->facenodes.capacity));
  if (fc < 1 || fc > m->facenodes.count) return;
  vectorl_one_more(&m->facenodes.data[fc - 1], n);
}

void meshes_cell_compress(Mesh *m) {
  TRACE("meshes_cell_compress_0");
  int32_t count = m->cells.count, k = 0;
  int nf = functions(m->meshbasis);
  std::vector<int32_t> map(count + 1, 0);
  bool moved = false;
  for (int32_t c = 1; c <= count; c++) {
    MeshCell &cell = cell_at(m, c);
    if (cell.alive) {
      map[c] = ++k;
      if (k < c) {
        moved = true;
        meshes_copy_cell(&cell_at(m, k), &cell, uint16_t(nf));
        cell.bytes.count = 0;
        MeshCell &kept = cell_at(m, k);
        for (int i = 0; i < node_span(kept, nf); i++)
          if (kept.nodes.data[i] > 0) meshes_fix_nodecell(m, kept.nodes.data[i], c, k);
      }
    } else {
      for (int i = 0; i < node_span(cell, nf); i++)
        if (cell.nodes.data[i] > 0) meshes_delete_nodecell(m, cell.nodes.data[i], c);
    }
  }
  for (int32_t c = k + 1; c <= count; c++) cell_at(m, c).alive = 0;
  m->cells.count = k;
  int nv = cell_vertices(m->meshbasis);
  for (int32_t c = 1; c <= k; c++)
    for (int s = 0; s < nv; s++) {
      int32_t &nb = cell_at(m, c).neighbour[s], a = std::abs(nb);
      int32_t to = a <= count ? map[a] : 0;
      nb = nb > 0 ? to : -to;
    }
  m->delcells = 0;
  if (moved) m->finder.built = 0;
}

// Renumbers a list through the map, dropping entries that map to 0.
static void renumber_list(vectorl &l, const vectorl *map) {
  int32_t k = 0;
  for (int32_t i = 1; i <= l.count; i++) {
    int32_t n = at(l, i);
    int32_t to = n >= 1 && n <= map->count ? map->data[n - 1] : 0;
    if (to) l.data[k++] = to;
  }
  l.count = k;
}

void meshes_node_compress_2(Mesh *m, vectorl *map) {
  TRACE("meshes_node_compress_2");
  int32_t count = m->nodes.count, k = 0;
  vectorl_resize(map, count, std::max(count, map->capacity));
  for (int32_t n = 1; n <= count; n++) {
    MeshNode &node = node_at(m, n);
    if (!node.alive) {
      at(*map, n) = 0;
      continue;
    }
    at(*map, n) = ++k;
    if (k < n) {
      MeshNode &to = node_at(m, k);
      to.work = node.work, to.alive = node.alive;
      to.kind = node.kind, to.id = node.id;
      to.x = node.x, to.y = node.y, to.z = node.z;
      to.spacing = node.spacing;
      to.image = node.image;
      vectorl_copyto_0(&to.nodecell, &node.nodecell);
      node.nodecell.count = 0;
    }
  }
  m->nodes.count = k;
  auto through = [map](int32_t n) { return n >= 1 && n <= map->count ? map->data[n - 1] : 0; };
  int nf = functions(m->meshbasis);
  for (int32_t c = 1; c <= m->cells.count; c++) {
    MeshCell &cell = cell_at(m, c);
    for (int i = 0; i < node_span(cell, nf); i++)
      if (cell.nodes.data[i] > 0) cell.nodes.data[i] = through(cell.nodes.data[i]);
  }
  for (int32_t i = 1; i <= m->jointnodes.count; i++)
    if (at(m->jointnodes, i) > 0) at(m->jointnodes, i) = through(at(m->jointnodes, i));
  for (int32_t e = 0; e < m->edgenodes.count; e++) renumber_list(m->edgenodes.data[e], map);
  for (int32_t f = 0; f < m->facenodes.count; f++) renumber_list(m->facenodes.data[f], map);
  for (int32_t n = 1; n <= k; n++) {
    MeshNode &node = node_at(m, n);
    if (node.image <= 0) continue;
    int32_t to = through(node.image);
    if (!to) {
      debug_printf("COMPRESSED NODE %d IMAGE WAS %d IS %d\n", n, node.image, to);
      rtlib_fatal_in("meshes_node_compress_2", "Corrupt Periodic Image  Map");
    }
    node.image = to;
  }
  for (int32_t i = 1; i <= m->images.count;) {
    int32_t key = through(m->images.keys[i - 1]);
    if (!key) {
      vectorll_delete_index(&m->images, i);
      continue;
    }
    m->images.keys[i - 1] = key;
    m->images.values[i - 1] = through(m->images.values[i - 1]);
    i++;
  }
  m->finder.built = 0;
  m->delnodes = 0;
}

// A node map released on every exit, the fatal stops of the compaction included.
struct NodeMap {
  vectorl map{};
  ~NodeMap() { vectorl_free(&map); }
};

void meshes_node_compress_1(Mesh *m, vectorvd *fields) {
  TRACE("meshes_node_compress_1");
  NodeMap held;
  vectorl &map = held.map;
  int32_t old = m->nodes.count;
  meshes_node_compress_2(m, &map);
  for (int32_t v = 0; v < fields->count; v++) {
    vectord *f = fields->data[v];
    int32_t have = std::min(old, f->count);
    for (int32_t n = 1; n <= have; n++)
      if (at(map, n)) f->data[at(map, n) - 1] = f->data[n - 1];
    if (f->capacity >= m->nodes.count)
      f->count = m->nodes.count;
    else
      vectord_resize(f, m->nodes.count, m->nodes.count);
  }
  m->delnodes = 0;
}

void meshes_node_compress_0(Mesh *m) {
  TRACE("meshes_node_compress_0");
  NodeMap held;
  meshes_node_compress_2(m, &held.map);
}

// ---- Centroids, periodic images, grid, node merging ---------------------------------

void meshes_set_centroid_0(Mesh *m, MeshCell *cell) {
  TRACE("meshes_set_centroid_0");
  const double c = 0.33333333333333;
  // Weights of the vertices, the side nodes and the tet20 face nodes.
  double wv, ws = 0, wf = 0;
  int nv, ns = 0, nfc = 0;
  switch (cell->basis) {
    case tri3: wv = c, nv = 3; break;
    case tri6: wv = -c * c, nv = 3, ws = 4 * c * c, ns = 3; break;
    case tri9: wv = -0.16666666666667, nv = 3, ws = 0.25, ns = 6; break;
    case tet4: wv = 0.25, nv = 4; break;
    case tet10: wv = -0.125, nv = 4, ws = 0.25, ns = 6; break;
    case tet20: wv = 0.0390625, nv = 4, ws = -0.0703125, ns = 12, wf = 0.421875, nfc = 4; break;
    default:
      debug_printf("MESH BASIS=%d  CELL BASIS=%d\n", m->meshbasis, m->cellbasis);
      rtlib_fatal_in("meshes_set_centroid_0", "Illegal Basis");
  }
  double s[3] = {0, 0, 0};
  int total = nv + ns + nfc;
  for (int i = 1; i <= std::min(total, int(cell->nodes.count)); i++) {
    double w = i <= nv ? wv : i <= nv + ns ? ws : wf;
    const MeshNode &n = node_at(m, at(cell->nodes, i));
    s[0] += w * n.x, s[1] += w * n.y, s[2] += w * n.z;
  }
  if (nv == 3) s[2] = 0;
  for (int k = 0; k < 3; k++) cell->centroid[k] = s[k];
}

void meshes_set_centroid_1(Mesh *m, int32_t c) {
  TRACE("meshes_set_centroid_1");
  meshes_set_centroid_0(m, &cell_at(m, c));
}

static double distance(const MeshNode &n, const point3d &q) {
  return std::sqrt((n.x - q.x) * (n.x - q.x) + (n.y - q.y) * (n.y - q.y) + (n.z - q.z) * (n.z - q.z));
}

// The first cell around node n with a triangle side on boundary bdid whose start
// (end, when atend) is n; its number and side, or 0.
static int32_t side_at(Mesh *m, int32_t n, uint16_t bdid, bool atend, int *side) {
  const vectorl &l = node_at(m, n).nodecell;
  for (int32_t k = 0; k < l.count; k++) {
    MeshCell &cell = cell_at(m, l.data[k]);
    for (int s = 0; s < 3; s++)
      if (cell.bdid[s] == bdid && at(cell.nodes, rotation[s][atend ? 2 : 1]) == n) {
        *side = s;
        return l.data[k];
      }
  }
  return 0;
}

void meshes_map_periodics(Mesh *m) {
  TRACE("meshes_map_periodics_0");
  m->images.count = 0;
  Domain *d = m->domain;
  if (!d || d->perextrude || !d->periodics.count) return;
  for (int32_t p = 0; p < d->periodics.count; p++) {
    const periodic &dec = d->periodics.data[p];
    int32_t pairs = std::min(dec.sources.count, dec.images.count);
    for (int32_t k = 0; k < pairs; k++) {
      uint16_t e = dec.sources.data[k], f = dec.images.data[k];
      static vectorl none{};
      vectorl &le = e >= 1 && e <= m->edgenodes.count ? m->edgenodes.data[e - 1] : none;
      vectorl &lf = f >= 1 && f <= m->edgenodes.count ? m->edgenodes.data[f - 1] : none;
      if (le.count != lf.count) {
        debug_printf("IMAGE EDGES %d AND %d HAVE DIFFERENT NODE COUNTS (%d,%d)\n", f, e, lf.count, le.count);
        rtlib_fatal_in("meshes_map_periodics_0", "IMAGE LIST MISMATCH");
      }
      // The lists run opposite ways when e's first joint and f's last joint are images
      // of each other (only one side of a pair may record the image).
      const Edge *re = domain_edge(m, e), *rf = domain_edge(m, f);
      bool opposite = false;
      if (re && rf) {
        const Joint *j1 = domain_joint(m, re->joint1), *j2 = domain_joint(m, rf->joint2);
        opposite = j1 && j2 && (j1->image == rf->joint2 || j2->image == re->joint1);
      }
      for (int32_t i = 1; i <= lf.count; i++) {
        int32_t a = at(lf, i), b = at(le, opposite ? le.count + 1 - i : i);
        // The forward transform maps e onto f, so a maps back onto e by the inverse.
        const MeshNode &na = node_at(m, a);
        point3d pa = {na.x, na.y, na.z}, q;
        geom3d_rotate_0(&q, &dec.inverse, &pa);
        double dist = distance(node_at(m, b), q);
        if (dist > d->grid.tolerance) {
          debug_printf("NODES %d AND %d DON'T IMAGE: DISTANCE=%g FUZZ=%g\n", a, b, dist, d->grid.tolerance);
          rtlib_fatal_in("meshes_map_periodics_0", "IMAGE LIST MISMATCH");
        }
        vectorll_insert(&m->images, a, b);
        node_at(m, a).image = b;
        node_at(m, b).image = a;
        int s1 = 0, s2 = 0;
        int32_t c1 = side_at(m, a, f, false, &s1), c2 = side_at(m, b, e, true, &s2);
        if (c1 && c2) {
          cell_at(m, c1).neighbour[s1] = -c2;
          cell_at(m, c2).neighbour[s2] = -c1;
        }
      }
    }
  }
}

// The image entity and periodic declaration of a boundary node's joint, edge or face.
static bool image_of(const Mesh *m, const MeshNode &n, uint16_t *image, uint16_t *dec) {
  *image = *dec = 0;
  if (n.kind == 1) {
    if (const Joint *j = domain_joint(m, n.id)) *image = j->image, *dec = j->periodic;
  } else if (n.kind == 2) {
    if (const Edge *e = domain_edge(m, n.id)) *image = e->image, *dec = e->periodic;
  } else if (n.kind == 3) {
    if (const face *f = domain_face(m, n.id)) *image = f->image, *dec = f->periodic;
  }
  return *image && *dec >= 1 && *dec <= m->domain->periodics.count;
}

void meshes_match_periodics(Mesh *m, int32_t first) {
  TRACE("meshes_match_periodics_0");
  Domain *d = m->domain;
  if (!d) return;
  int32_t count = m->nodes.count;
  // Candidates by (kind, id), each group in node order: the same first match as a walk
  // over every node.
  std::vector<int32_t> order;
  for (int32_t n = std::max(first, 0) + 1; n <= count; n++) order.push_back(n);
  for (int32_t n = 1; n <= std::min(first, count); n++) order.push_back(n);
  auto key = [m](int32_t n) { return std::pair(node_at(m, n).kind, int32_t(node_at(m, n).id)); };
  std::stable_sort(order.begin(), order.end(),
                   [&](int32_t a, int32_t b) { return key(a) != key(b) ? key(a) < key(b) : a < b; });
  std::vector<std::pair<int32_t, int32_t>> added;
  for (int32_t i = first + 1; i <= count; i++) {
    MeshNode &ni = node_at(m, i);
    if (!ni.alive || ni.kind < 1 || ni.kind > 3) continue;
    uint16_t image, dec;
    if (!image_of(m, ni, &image, &dec)) continue;
    point3d p = {ni.x, ni.y, ni.z}, q;
    geom3d_rotate_0(&q, &d->periodics.data[dec - 1].forward, &p);
    auto lo = std::lower_bound(order.begin(), order.end(), 0,
                               [&](int32_t n, int) { return key(n) < std::pair(ni.kind, int32_t(image)); });
    auto hi = std::find_if(lo, order.end(),
                           [&](int32_t n) { return key(n) != std::pair(ni.kind, int32_t(image)); });
    auto fits = [&](int32_t j) {
      return j != i && node_at(m, j).alive && distance(node_at(m, j), q) < d->grid.tolerance;
    };
    // Above i first; when none qualifies there, below i (a top sheet is numbered after
    // its images).
    int32_t j = 0;
    auto above = std::upper_bound(lo, hi, i);
    auto it = std::find_if(above, hi, fits);
    if (it != hi)
      j = *it;
    else if ((it = std::find_if(lo, above, fits)) != above && *it < i)
      j = *it;
    if (!j) rtlib_fatal_in("meshes_match_periodics_0", "Unmatched Periodic Node");
    ni.image = j;
    node_at(m, j).image = i;
    vectorll_insert(&m->images, i, j);
    added.push_back({i, j});
  }
  int sides = elements_dimension[m->meshbasis] + 1, per = elements_side_nodes[m->meshbasis];
  int nf = functions(m->meshbasis);
  for (auto [a, b] : added) {
    const MeshNode &na = node_at(m, a), &nb = node_at(m, b);
    if (na.kind == 1 || nb.kind == 1) continue;
    for (int32_t k1 = 0; k1 < na.nodecell.count; k1++) {
      int32_t c1 = na.nodecell.data[k1];
      for (int s1 = 0; s1 < sides; s1++) {
        if (cell_at(m, c1).bdid[s1] != na.id) continue;
        for (int32_t k2 = 0; k2 < nb.nodecell.count; k2++) {
          int32_t c2 = nb.nodecell.data[k2];
          for (int s2 = 0; s2 < sides; s2++) {
            if (cell_at(m, c2).bdid[s2] != nb.id) continue;
            const MeshCell &x = cell_at(m, c1), &y = cell_at(m, c2);
            int hits = 0;
            for (int p = 0; p < node_span(x, nf); p++)
              for (int r = 0; r < node_span(y, nf); r++)
                if (x.nodes.data[p] > 0 && node_at(m, x.nodes.data[p]).image == y.nodes.data[r]) hits++;
            if (hits == per) {
              cell_at(m, c1).neighbour[s1] = -c2;
              cell_at(m, c2).neighbour[s2] = -c1;
            }
          }
        }
      }
    }
  }
}

void meshes_quantize_mesh(Mesh *m, uint16_t dim) {
  TRACE("meshes_quantize_mesh_0");
  if (!m->domain) return;
  // The side nodes that halve straight sides, found before the move: each node moves
  // off the grid lines on its own, by up to a quantum per coordinate, which would bend
  // such a side by up to 1.5 quanta and make a straight quadratic cell curved (its
  // Jacobian then varies inside it). They go back to the midpoints of their moved ends
  // below. Nodes that were moved so before (the base of an extrusion) may already lie
  // that far off: a side node within two quanta of its side's midpoint halves the side
  // as far as the grid can tell. Side nodes on curved boundaries keep their own move.
  // Every cell lists the side nodes of the mesh basis, whatever its own basis.
  std::vector<int32_t> halves;  // {side node, end, end} per straight side
  const uint8_t(*mid)[3];
  int count = midside_rows(m->meshbasis, &mid), nf = functions(m->meshbasis);
  double tol = 2 * m->domain->grid.quantum;
  for (int32_t c = 1; c <= m->cells.count; c++) {
    const MeshCell &cell = cell_at(m, c);
    if (!cell.alive || node_span(cell, nf) < nf) continue;
    for (int e = 0; e < count; e++) {
      int32_t k[3];
      double x[3][3];
      bool listed = true;
      for (int i = 0; i < 3; i++) {
        k[i] = cell.nodes.data[mid[e][i] - 1];
        if (k[i] < 1 || k[i] > m->nodes.count) {
          listed = false;
          break;
        }
        const MeshNode &n = node_at(m, k[i]);
        x[i][0] = n.x, x[i][1] = n.y, x[i][2] = n.z;
      }
      if (listed && halves_side(x[0], x[1], x[2], tol)) halves.insert(halves.end(), k, k + 3);
    }
  }
  for (int32_t n = 1; n <= m->nodes.count; n++) {
    MeshNode &node = node_at(m, n);
    double p[3] = {node.x, node.y, node.z};
    if (dim == 3)
      bounding_off_grid_0(&m->domain->grid, p);
    else
      bounding_off_grid_1(&m->domain->grid, p);
    node.x = p[0], node.y = p[1], node.z = p[2];
  }
  for (size_t h = 0; h < halves.size(); h += 3) {
    MeshNode &c = node_at(m, halves[h]);
    const MeshNode &a = node_at(m, halves[h + 1]), &b = node_at(m, halves[h + 2]);
    c.x = 0.5 * (a.x + b.x), c.y = 0.5 * (a.y + b.y), c.z = 0.5 * (a.z + b.z);
  }
}

// Position (0..2) of node n among the cell's corners, -1 if absent.
static int corner_of(const MeshCell &cell, int32_t n) {
  for (int i = 0; i < node_span(cell, 3); i++)
    if (cell.nodes.data[i] == n) return i;
  return -1;
}

// Cell c collapses as its corner at position gone moves onto its corner at position
// kept: its sides (gone, x) and (kept, x) become one, so the cells across them are
// linked to each other (negated when either crossed a periodic boundary); a cell left
// facing the boundary takes the boundary's id.
static void relink(Mesh *m, int32_t c, int gone, int kept) {
  MeshCell &cell = cell_at(m, c);
  int32_t across_gone = cell.neighbour[kept], across_kept = cell.neighbour[gone];
  bool periodic = across_gone < 0 || across_kept < 0;
  auto link = [&](int32_t from, int32_t to, uint16_t id) {
    if (!from) return;
    MeshCell &o = cell_at(m, std::abs(from));
    int32_t mine = from < 0 ? -c : c, value = periodic ? -std::abs(to) : to;
    for (int s = 0; s < cell_vertices(o.basis); s++)
      if (o.neighbour[s] == mine) {
        o.neighbour[s] = value;
        if (!value) o.bdid[s] = id;
        return;
      }
  };
  link(across_gone, across_kept, cell.bdid[gone]);
  link(across_kept, across_gone, cell.bdid[kept]);
  cell.neighbour[gone] = cell.neighbour[kept] = 0;
}

// Moves every live cell's corner at node gone onto node kept. A cell that has both
// collapses: its neighbours are relinked, it leaves its nodes' lists and is deleted
// (delete) or only marked dead with its corners cleared.
static void move_corners(Mesh *m, int32_t gone, int32_t kept, bool del) {
  const vectorl &l = node_at(m, gone).nodecell;
  std::vector<int32_t> around(l.data, l.data + l.count);
  for (int32_t c : around) {
    MeshCell &cell = cell_at(m, c);
    int p = corner_of(cell, gone);
    if (!cell.alive || p < 0) continue;
    if (corner_of(cell, kept) < 0) {
      cell.nodes.data[p] = kept;
      meshes_new_nodecell(m, kept, c);
      continue;
    }
    relink(m, c, p, corner_of(cell, kept));
    for (int i = 0; i < node_span(cell, 3); i++) {
      int32_t n = cell.nodes.data[i];
      if (n > 0 && vectorl_inlist(&node_at(m, n).nodecell, c)) meshes_delete_nodecell(m, n, c);
      if (!del) cell.nodes.data[i] = 0;
    }
    if (del)
      meshes_delete_cell(m, c);
    else
      cell.alive = 0;
  }
}

void meshes_replace_node(Mesh *m, int32_t old, int32_t nw) {
  TRACE("meshes_replace_node_0");
  if (old == nw || old < 1 || nw < 1 || old > m->nodes.count || nw > m->nodes.count) return;
  move_corners(m, old, nw, true);
  meshes_delete_node(m, old);
}

bool meshes_merge_nodes(Mesh *m, int32_t a, int32_t b) {
  TRACE("meshes_merge_nodes_0");
  if (!meshes_common_edge(m, a, b)) return false;
  int ka = node_at(m, a).kind, kb = node_at(m, b).kind;
  if (kb == 1 && ka != 2) return false;
  int32_t kept = ka == 1 && kb == 2 ? b : a, gone = kept == a ? b : a;
  move_corners(m, gone, kept, false);
  node_at(m, gone).alive = 0;
  vectorl_free(&node_at(m, gone).nodecell);
  return true;
}

void meshes_copyu(vectorvd *fields, int32_t n, const vectord *values) {
  TRACE("meshes_copyu_0");
  for (int32_t i = 0; i < std::min(fields->count, values->count); i++) {
    vectord *f = fields->data[i];
    if (n >= 1 && n <= f->count) f->data[n - 1] = values->data[i];
  }
}

int meshes_init() {
  TRACE("meshes");
  return 0;
}
