// loading: system layout, element loading, node localisation and the symmetry test.
#include "solver/loading.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <vector>

#include "model/pdedat_record.h"
#include "elements/basisfun.h"
#include "elements/evalpoint.h"
#include "elements/meshes.h"
#include "graphics/display.h"
#include "runtime/bopmem.h"
#include "runtime/debug.h"
#include "runtime/math.h"
#include "runtime/report.h"
#include "runtime/rtlib.h"
#include "runtime/vectorld.h"
#include "solver/bigmatx.h"
#include "solver/sparsecg.h"
#include "solver/sparsemx.h"

uint8_t loading_debug = 0;

// Module scratch, grown on demand and never shrunk; each call fills what it reads.
static vectorl nodes;      // the neighbourhood of one node while it is linked
static vectord tx, ty, tz;  // symmetry trial vectors
static BopmemWork work([] {
  vectorl_free(&nodes);
  for (vectord *v : {&tx, &ty, &tz}) vectord_free(v);
});

int loading_init() {
  TRACE("loading");
  return 0;
}

static String lit(const char *c) {
  uint16_t n = uint16_t(strlen(c));
  return String{n, n, const_cast<char *>(c)};
}

// ---- Adjacency ---------------------------------------------------------------------------

static void link_add(sparsemx *link, int32_t i, int32_t q) {
  vectorld *r = &link->data[i - 1];
  if (bigmatx_find(r->keys, r->count, q) < 0) vectorld_insert(r, q, 0.0);
}

void loading_link_matrix(pde *p, sparsemx *link, int32_t n, int32_t basis) {
  TRACE("loading_link_matrix");
  (void)basis;
  Mesh *m = &p->mesh;
  String label = lit("Linking Matrix");
  uint16_t line = display_report(&p->status, 0, &label);
  sparsemx_resize_0(link, n, std::max(n, link->capacity));
  // seen[q - 1] == i once node q is in node i's list: each neighbour is listed once.
  std::vector<int32_t> seen(size_t(std::max(n, m->nodes.count)), 0);
  for (int32_t i = 1; i <= n; i++) {
    const MeshNode *nd = &m->nodes.data[i - 1];
    nodes.count = 0;
    if (nd->alive) {
      for (int32_t c = 0; c < nd->nodecell.count; c++) {
        const MeshCell *cell = &m->cells.data[nd->nodecell.data[c] - 1];
        int32_t k = elements_functions[cell->basis];
        for (int32_t a = 0; a < k; a++) {
          int32_t q = cell->nodes.data[a];
          if (seen[size_t(q - 1)] == i) continue;
          seen[size_t(q - 1)] = i;
          vectorl_one_more(&nodes, q);
        }
      }
      std::sort(nodes.data, nodes.data + nodes.count);
    } else {
      vectorl_one_more(&nodes, i);
    }
    vectorld *r = &link->data[i - 1];
    vectorld_resize(r, nodes.count, std::max(nodes.count, r->capacity));
    for (int32_t a = 0; a < nodes.count; a++) r->keys[a] = nodes.data[a], r->values[a] = 0.0;
  }
  const vectorll *im = &m->images;
  for (int32_t k = 0; k < im->count; k++) {
    int32_t s = im->keys[k], mm = im->values[k];
    const MeshNode *sn = &m->nodes.data[s - 1];
    for (int32_t c = 0; c < sn->nodecell.count; c++) {
      const MeshCell *cell = &m->cells.data[sn->nodecell.data[c] - 1];
      int32_t kk = elements_functions[cell->basis];
      for (int32_t a = 0; a < kk; a++) {
        int32_t q = cell->nodes.data[a];
        link_add(link, mm, q);
        link_add(link, q, mm);
        int32_t t = m->nodes.data[q - 1].image;
        if (t > 0) {
          link_add(link, mm, t);
          link_add(link, t, mm);
        }
      }
    }
  }
  display_unreport(&p->status, line);
}

// ---- Layout --------------------------------------------------------------------------------

void loading_cells_take_mesh_basis(Mesh *m) {
  for (int32_t c = 1; c <= m->cells.count; c++)
    if (m->cells.data[c - 1].alive) m->cells.data[c - 1].basis = m->meshbasis;
}

void loading_map_matrix(pde *p, uint16_t kind) {
  TRACE("loading_map_matrix");
  Mesh *m = &p->mesh;
  loading_cells_take_mesh_basis(m);
  // 1. Unknown counts and totals.
  uint16_t F = p->nfield, S = p->nscalar;
  uint16_t C = p->formulas.constraints.count;
  int32_t N = m->nodes.count;
  p->nconstraints = C;
  p->neqs = std::min<uint16_t>(F, p->formulas.equations.count);
  int32_t V = F + S + (C > 0 ? 1 : 0);
  vectorl_resize(&p->unknowns, V, std::max(V, p->unknowns.capacity));
  for (int32_t k = 1; k <= V; k++) p->unknowns.data[k - 1] = k <= F ? N : k <= F + S ? 1 : C;
  p->nf = F * N;
  p->ns = p->nf + S;
  p->nt = p->ns + C;
  // 2. The adjacency.
  loading_link_matrix(p, &p->link, N, m->meshbasis);
  // 3. The reordering, only for a symmetric steady problem, and not where the steady
  // solve of a plane problem takes the complete factor, which makes its own fill-reducing
  // order: the rows keep the mesh order then. Should the factor refuse, the incomplete
  // factor and its iterations still solve the system in that order. A solid's factor
  // mostly exceeds its fill bound: its rows keep the band order for the iterations. So
  // does a system of 200000 rows or more: there the band order, handed to the factor,
  // leads its own ordering to a sparser factor that repays the reordering.
  // The passes of an eigenvalue run solve their block of vectors by the complete factor
  // likewise.
  bool factored = p->dimension != 3 && p->nt < 200000 &&
                  ((kind == 1 && sparsecg_takes_complete(p->solver, p->precon, p->nt)) ||
                   (kind == 3 && sparsecg_block_takes_complete(p->solver, p->precon, p->subspace)));
  // The band order serves a factor. The diagonally scaled conjugate gradients, which the
  // automatic choice takes for a solid and builds no factor from, take the same iterations in
  // any order (up to rounding), and run their products faster in the mesh's own order: there
  // the rows keep it. A user's DIPRECON, ICCG or BANDLU keeps the reordering.
  bool diagonal_cg = p->solver == 0 && p->precon == 1 && p->diprecon != 2;
  bool reorder = p->reorder && p->symmetric && !p->timedep && !factored && !diagonal_cg;
  if (p->reorder && p->symmetric && !p->timedep)
    debug_printf("ORDERING: %s\n", reorder ? "BAND" : factored ? "MESH (COMPLETE FACTOR)" : "MESH (DIAGONAL CG)");
  std::vector<int32_t> keys;  // the node-numbered adjacency's keys, row after row
  if (reorder) {
    for (int32_t i = 1; i <= N; i++) {
      const vectorld *r = &p->link.data[i - 1];
      keys.insert(keys.end(), r->keys, r->keys + r->count);
    }
    String label = lit("Reordering");
    uint16_t line = display_report(&p->status, 0, &label);
    sparsemx_bandmin(&p->perm, &p->invperm, &p->link, p->dense);
    display_unreport(&p->status, line);
  } else {
    p->perm.count = p->invperm.count = 0;
  }
  report_panel.do_status(p, kind);
  // 4. Row maps and the field rows.
  String label = lit("Allocate Matrix");
  uint16_t line = display_report(&p->status, 0, &label);
  bigmatx_resize(&p->layout, &p->unknowns);
  int32_t NF = p->nf, NS = p->ns, NT = p->nt;
  sparsemx *A = &p->matrix;
  bigmatx_replicate(&p->layout, A, &p->link, &p->perm, &p->invperm, F, S + C);
  // Field rows gain the scalar and constraint columns.
  for (int32_t i = 1; i <= NF; i++) {
    vectorld *r = &A->data[i - 1];
    for (int32_t c = NF + 1; c <= NT; c++) vectorld_one_more(r, c, 0.0);
  }
  // 5. Scalar rows: full.
  for (int32_t s = 1; s <= S; s++) {
    int32_t r = NF + s;
    p->layout.maps.data[F + s - 1].data[0] = r;
    vectorld *row = &A->data[r - 1];
    vectorld_resize(row, NT, std::max(NT, row->capacity));
    for (int32_t c = 1; c <= NT; c++) row->keys[c - 1] = c, row->values[c - 1] = 0.0;
  }
  // 6. Constraint rows: the field and scalar columns and their own diagonal.
  for (int32_t c = 1; c <= C; c++) {
    int32_t r = NS + c;
    p->layout.maps.data[F + S].data[c - 1] = r;
    vectorld *row = &A->data[r - 1];
    vectorld_resize(row, NS + 1, std::max(NS + 1, row->capacity));
    for (int32_t k = 1; k <= NS; k++) row->keys[k - 1] = k, row->values[k - 1] = 0.0;
    row->keys[NS] = r;
    row->values[NS] = 0.0;
  }
  if (p->timedep) sparsemx_image(&p->tmatrix, A);
  display_unreport(&p->status, line);
  report_panel.do_status(p, kind);
  // The node-numbered adjacency again, for the blocks: each reordered row goes back
  // to its node and takes the keys it had (its values, zeros, are unchanged). The
  // block takes its rows over rather than copying them: the pattern is held once less.
  if (reorder) {
    sparsemx_move_rows(&p->link, &p->perm);
    const int32_t *k = keys.data();
    for (int32_t i = 1; i <= N; i++) {
      vectorld *r = &p->link.data[i - 1];
      memcpy(r->keys, k, size_t(r->count) * sizeof(int32_t));
      k += r->count;
    }
  }
  sparsemx_free(&p->block, 1);
  p->block = p->link;
  p->link = sparsemx{};
}

// ---- Element loading -------------------------------------------------------------------------

static void missing(const vectorld *r, int32_t at, int32_t found) {
  debug_printf("LIST=%d, JROW[LIST]=%d  JROW:\n", at, found);
  for (int32_t k = 0; k < r->count; k++) debug_printf(" %d", r->keys[k]);
  debug_printf("\n");
  rtlib_fatal_in("loading_load_cell_block", "MISSING ELEMENT");
}

// The cell's columns in ascending order (equal columns in their given order), so that
// each row finds them in one walk along its sorted keys.
struct ColumnOrder {
  int32_t count = 0;
  int32_t at[20];  // positions in the cell's list
  ColumnOrder(int32_t nc, const LocalCell *lc) : count(nc) {
    if (nc < 0 || nc > int32_t(std::size(lc->nodes))) rtlib_fatal_in("loading_load_cell_block", "BLOCK COUNT MISMATCH");
    for (int32_t b = 0; b < nc; b++) {
      int32_t k = b;
      while (k > 0 && lc->nodes[at[k - 1]] > lc->nodes[b]) at[k] = at[k - 1], k--;
      at[k] = b;
    }
  }
};

// Adds v[b] to the entry of column lc->nodes[b] in the row, b in ascending order, so
// that entries named twice take their terms in the given order. A column the row
// lacks is reported as the first one lacking in the given order.
static void load_row(sparsemx *M, int32_t row, const ColumnOrder &order, const LocalCell *lc, const double *v) {
  vectorld *r = &M->data[row - 1];
  int32_t nc = order.count, pos[20];
  bool whole = true;
  for (int32_t a = 0, k = 0; a < nc; a++) {
    int32_t b = order.at[a], col = lc->nodes[b];
    while (k < r->count && r->keys[k] < col) k++;
    whole = whole && k < r->count && r->keys[k] == col;
    pos[b] = k;
  }
  if (!whole)
    for (int32_t b = 0; b < nc; b++) {
      int32_t k = pos[b];
      if (k >= r->count || r->keys[k] != lc->nodes[b]) missing(r, k + 1, k < r->count ? r->keys[k] : 0);
    }
  for (int32_t b = 0; b < nc; b++) r->values[pos[b]] += v[b];
}

int32_t loading_load_cell_block(sparsemx *M, int32_t nr, int32_t nc, const LocalCell *lc, const double *values) {
  ColumnOrder order(nc, lc);
  for (int32_t a = 0; a < nr; a++) load_row(M, lc->nodes[a], order, lc, values + a * nc);
  return nr * nc;
}

int32_t loading_load_cell_row(sparsemx *M, int32_t row, int32_t count, const LocalCell *lc, const double *values) {
  load_row(M, row, ColumnOrder(count, lc), lc, values);
  return count;
}

// ---- Node localisation -------------------------------------------------------------------------

int32_t loading_node_cell(const Mesh *m, int32_t node, uint16_t region) {
  const MeshNode *nd = &m->nodes.data[node - 1];
  int32_t pick = 0;
  uint16_t best = 0;
  for (int32_t k = 0; k < nd->nodecell.count; k++) {
    int32_t c = nd->nodecell.data[k];
    const MeshCell *cell = &m->cells.data[c - 1];
    if (!cell->alive) continue;
    if (region == 0) {
      if (pick == 0 || cell->region > best) pick = c, best = cell->region;
    } else if (cell->region == region) {
      pick = c;
    }
  }
  return pick;
}

int32_t loading_localize_node(evalpoint *ep, Mesh *m, int32_t node, uint16_t region) {
  TRACE("loading_localize_node");
  const MeshNode *nd = &m->nodes.data[node - 1];
  int32_t pick = loading_node_cell(m, node, region);
  if (pick == 0) return 0;
  const MeshCell *cell = &m->cells.data[pick - 1];
  meshes_localize(m, cell, ep->cell, 0);
  int32_t nn = elements_functions[cell->basis];
  int32_t at = 0;
  while (at < nn && cell->nodes.data[at] != node) at++;
  basisfun_node_coords();
  const LocalPoint *table = basisfun_node_table(cell->basis);
  for (int k = 0; k < 4; k++) ep->local[k] = table && at < nn ? table[at].L[k] : 0.0;
  ep->x = nd->x;
  ep->y = nd->y;
  ep->z = nd->z;
  ep->cellno = uint32_t(pick);
  ep->region = cell->region;
  ep->basisfn = uint8_t(at + 1);
  return pick;
}

// ---- Symmetry test ------------------------------------------------------------------------------

void loading_escale(vectord *x, const vectord *f, uint16_t nfield, int32_t n) {
  for (int32_t p = 0; p < n; p++)
    for (uint16_t k = 0; k < nfield; k++) x->data[p * nfield + k] *= f->data[k];
}

// ty = A tx and tz = A^t tx in one walk over the rows: each row sum is taken from 0 in
// column order and each row's terms are added into tz in column order, row after row,
// as the two products would give them one after the other.
static void both_products(const sparsemx *A) {
  int32_t nt = A->rows;
  vectord_resize(&ty, nt, std::max(nt, ty.capacity));
  vectord_resize(&tz, nt, std::max(nt, tz.capacity));
  std::fill(tz.data, tz.data + nt, 0.0);
  const double *x1 = tx.data - 1;
  double *z1 = tz.data - 1;
  for (int32_t i = 0; i < nt; i++) {
    const vectorld *r = &A->data[i];
    const int32_t *c = r->keys;
    const double *v = r->values;
    double t = 0, xi = tx.data[i];
    for (int32_t k = 0, m = r->count; k < m; k++) {
      t += v[k] * x1[c[k]];
      z1[c[k]] += xi * v[k];
    }
    ty.data[i] = t;
  }
}

bool loading_check_symmetry(const sparsemx *A, const vectord *scales, double tol, uint16_t nfield, int32_t n) {
  TRACE("loading_check_symmetry");
  int32_t nt = A->rows;
  vectord f = {};
  vectord_resize(&f, nfield, nfield);
  for (uint16_t k = 0; k < nfield; k++) {
    double s = k < scales->count ? std::fabs(scales->data[k]) : 0.0;
    f.data[k] = s != 0.0 ? 1.0 / std::sqrt(s) : 1.0;
  }
  vectord_resize(&tx, nt, std::max(nt, tx.capacity));
  bool pass = true;
  for (int trial = 0; trial < 4 && pass; trial++) {
    for (int32_t i = 0; i < nt; i++) tx.data[i] = 2.0 * math_ranf() - 1.0;
    loading_escale(&tx, &f, nfield, n);
    both_products(A);
    loading_escale(&ty, &f, nfield, n);
    loading_escale(&tz, &f, nfield, n);
    // Both products are brought to their largest entry first: entries near the largest
    // number (a coefficient of 1e308) would overflow their difference or its square.
    double big = 0;
    for (int32_t i = 0; i < nt; i++) big = std::max({big, std::fabs(ty.data[i]), std::fabs(tz.data[i])});
    if (big > 0 && std::isfinite(big))
      for (int32_t i = 0; i < nt; i++) {
        ty.data[i] /= big;
        tz.data[i] /= big;
      }
    vectord_subto_0(&tz, &ty);
    double zz = vectord_dot(&tz, &tz), yy = vectord_dot(&ty, &ty);
    if (std::fabs(zz) > std::fabs(yy) * tol * tol) pass = false;
  }
  vectord_free(&f);
  return pass;
}
