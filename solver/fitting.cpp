// fitting: derived global values computed on demand (fits, saved copies, extremes,
// integrals, values at points); their bookkeeping is the model's (fitting_book.cpp).
#include "solver/fitting.h"

#include <algorithm>
#include <vector>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "model/pdedat_record.h"
#include "domain/domain.h"
#include "domain/edges.h"
#include "domain/regions.h"
#include "elements/basisfun.h"
#include "elements/cellnode.h"
#include "elements/elements.h"
#include "elements/meshes.h"
#include "elements/mfinder.h"
#include "graphics/display.h"
#include "model/buildeq.h"
#include "model/treeval.h"
#include "elements/quature.h"
#include "runtime/debug.h"
#include "model/trees.h"
#include "runtime/bopmem.h"
#include "runtime/report.h"
#include "runtime/rtlib.h"
#include "runtime/vectorn.h"
#include "runtime/vectort.h"
#include "solver/loading.h"
#include "solver/sparsecg.h"
#include "solver/sparsemx.h"

// The work cell and evaluation point the module localises into: each entry sets what it
// reads before it reads it, so nothing carries from one call to the next.
static LocalCell cellrec;
static evalpoint ep;
uint8_t fitting_debug = 0, fitting_debug2 = 0;

static void validate_fits(pde *p, const vectorn *list, vector2d *u, const double times[2]);

int fitting_init() {
  TRACE("fitting");
  fitting_set_validator(validate_fits);
  return 0;
}

static String lit(const char *c) {
  uint16_t n = uint16_t(strlen(c));
  return String{n, n, const_cast<char *>(c)};
}

static fit *fit_of(pde *p, uint16_t f) { return p->formulas.fits.items[f - 1]; }

// The derived-value table sized to the fit count (new entries invalid).
static void size_globals(pde *p) {
  uint16_t n = p->formulas.fits.count;
  pdeglobals *g = &p->globals;
  if (g->capacity < n) {
    pdeglobal *items = nullptr;
    bopmemalloc(&items, n, sizeof(pdeglobal));
    XMEM += int64_t(n) * sizeof(pdeglobal);
    if (g->items) {
      memcpy(items, g->items, sizeof(pdeglobal) * g->count);
      XMEM -= int64_t(g->capacity) * sizeof(pdeglobal);
      bopmemfree(&g->items);
    }
    g->items = items;
    g->capacity = n;
  }
  if (g->count < n) g->count = n;
}
// ---- Cells ---------------------------------------------------------------------------------

static TreeNode *region_tree(const fit *f, uint16_t r) {
  return r >= 1 && r <= f->byregion.count ? f->byregion.data[r - 1] : nullptr;
}

static const MeshCell *localize(pde *p, int32_t c) {
  const MeshCell *cell = &p->mesh.cells.data[c - 1];
  meshes_localize(&p->mesh, cell, &cellrec, 0);
  ep.cell = &cellrec;
  ep.cellno = uint32_t(c);
  ep.region = cell->region;
  ep.side = 0;
  ep.qpoint = 0;
  return cell;
}

// An empty set selects every region.
static bool in_set(const vectort *s, int32_t i) { return vectort_count(s) == 0 || vectort_if_bit(s, i); }

// ---- The kinds ---------------------------------------------------------------------------

static void do_save(pde *p, fit *f, pdeglobal *g) {
  int32_t N = p->mesh.nodes.count;
  vectord_resize(&g->values, N, std::max(N, g->values.capacity));
  for (int32_t n = 1; n <= N; n++) {
    g->values.data[n - 1] = 0;
    if (!p->mesh.nodes.data[n - 1].alive || !loading_localize_node(&ep, &p->mesh, n, 0)) continue;
    g->values.data[n - 1] = treeval_eval(p, region_tree(f, ep.region), &ep);
  }
  g->basis = p->mesh.meshbasis;
}

static void find_minmax(pde *p, fit *f, pdeglobal *g) {
  double lo = 9.999974453244238e299, hi = -lo, at[2][3] = {};
  for (int32_t n = 1; n <= p->mesh.nodes.count; n++) {
    if (!p->mesh.nodes.data[n - 1].alive || !loading_localize_node(&ep, &p->mesh, n, 0)) continue;
    double v = treeval_eval(p, region_tree(f, ep.region), &ep);
    if (v < lo) lo = v, at[0][0] = ep.x, at[0][1] = ep.y, at[0][2] = ep.z;
    if (v > hi) hi = v, at[1][0] = ep.x, at[1][1] = ep.y, at[1][2] = ep.z;
  }
  if (hi == lo && p->valuenodes.count > 0) {
    // A flat field (a start) has its extremes everywhere: they are taken at a node no
    // value condition holds, where a Newton step can move them.
    std::vector<char> held(size_t(p->mesh.nodes.count) + 1, 0);
    for (int32_t k = 0; k < p->valuenodes.count; k++)
      for (int32_t i = 0; i < p->valuenodes.data[k].count; i++) {
        int32_t n = p->valuenodes.data[k].data[i];
        if (n >= 1 && n <= p->mesh.nodes.count) held[size_t(n)] = 1;
      }
    for (int32_t n = 1; n <= p->mesh.nodes.count; n++) {
      if (held[size_t(n)] || !p->mesh.nodes.data[n - 1].alive || !loading_localize_node(&ep, &p->mesh, n, 0)) continue;
      for (int w = 0; w < 2; w++) at[w][0] = ep.x, at[w][1] = ep.y, at[w][2] = ep.z;
      break;
    }
  }
  int w = f->kind == uint32_t(op::globalmin) ? 0 : 1;
  g->value = w ? hi : lo;
  memcpy(g->location, at[w], sizeof g->location);
}

static double do_volint(pde *p, fit *f) {
  double sum = 0;
  for (int32_t c = 1; c <= p->mesh.cells.count; c++) {
    const MeshCell *cell = &p->mesh.cells.data[c - 1];
    if (!cell->alive || !in_set(&f->regions, cell->region)) continue;
    localize(p, c);
    // A sum that overflows is reported at the integrand's place in the text.
    TreesFpScope placed(region_tree(f, cell->region));
    sum += treeval_vol_integrate(p, region_tree(f, cell->region), &ep, p->vrule);
  }
  return sum;
}

static double do_surfint(pde *p, fit *f) {
  double sum = 0;
  for (int32_t c = 1; c <= p->mesh.cells.count; c++) {
    const MeshCell *cell = &p->mesh.cells.data[c - 1];
    if (!cell->alive || !in_set(&f->regions, cell->region)) continue;
    bool localized = false;
    for (int s = 1; s <= 4; s++) {
      uint16_t id = cell->bdid[s - 1];
      if (!id || !vectort_if_bit(&f->surfaces, id)) continue;
      // A face is integrated once, from the side its selection chose.
      if (id <= f->sides.count && f->sides.data[id - 1] != cell->region) continue;
      if (!localized) localize(p, c), localized = true;
      ep.side = uint8_t(s);
      TreesFpScope placed(region_tree(f, cell->region));
      sum += treeval_surf_integrate(p, region_tree(f, cell->region), &ep, p->sset);
    }
    ep.side = 0;
  }
  return sum;
}

// The sign of the cell side's direction (counter-clockwise round the cell) against the
// domain edge's own direction from its first joint to its second.
double edgedot(pde *p, const MeshCell *cell, int side, const Edge *e) {
  const Mesh *m = &p->mesh;
  const MeshNode &a = m->nodes.data[cell->nodes.data[side % 3] - 1];
  const MeshNode &b = m->nodes.data[cell->nodes.data[(side + 1) % 3] - 1];
  const Joint &j1 = m->domain->joints.data[e->joint1 - 1], &j2 = m->domain->joints.data[e->joint2 - 1];
  return (b.x - a.x) * (j2.x - j1.x) + (b.y - a.y) * (j2.y - j1.y);
}

static double do_bdryint(pde *p, fit *f) {
  double sum = 0;
  const Domain *d = p->mesh.domain;
  for (int32_t c = 1; c <= p->mesh.cells.count; c++) {
    const MeshCell *cell = &p->mesh.cells.data[c - 1];
    if (!cell->alive || !in_set(&f->regions, cell->region)) continue;
    bool localized = false;
    for (int s = 1; s <= 3; s++) {
      uint16_t id = cell->bdid[s - 1];
      if (!id || !vectort_if_bit(&f->boundaries, id)) continue;
      if (d && id <= d->edges.count) {
        const Edge *e = &d->edges.data[id - 1];
        // An edge inside one region is met from both sides: only the side that runs
        // with the edge counts.
        if (e->side_regions[0] == e->side_regions[1] && cell->neighbour[s - 1] > 0 && edgedot(p, cell, s, e) < 0)
          continue;
      }
      if (!localized) localize(p, c), localized = true;
      ep.side = uint8_t(s);
      TreesFpScope placed(region_tree(f, cell->region));
      sum += treeval_surf_integrate(p, region_tree(f, cell->region), &ep, p->sset);
    }
    ep.side = 0;
  }
  return sum;
}

// The value at a coordinate point; a point outside the domain leaves value and cell.
static void evalat(pde *p, fit *f, pdeglobal *g) {
  const TreeNode *at = f->second;
  if (!at || at->opcode != op::pointval) {
    String m = lit("Coordinate Point Expected");
    report_parse_err_1(p, const_cast<TreeNode *>(at ? at : f->tree), &m);
  }
  evalpoint e{};
  e.values = ep.values, e.rates = ep.rates, e.t = ep.t;
  e.x = treeval_eval(p, at->child[0], &ep);
  e.y = treeval_eval(p, at->child[1], &ep);
  e.z = p->dimension == 3 && at->child[2] ? treeval_eval(p, at->child[2], &ep) : 0;
  e.cell = &cellrec;
  int32_t c = p->dimension == 3 ? mfinder_find_cell3(&e, &p->mesh, 0.01) : mfinder_find_cell2(&e, &p->mesh, 0.01);
  if (c < 0) c = -c;
  if (c == 0) {  // logged as EVAL logs it
    if (debug_file) {
      fprintf(debug_file, "BAD EVAL LOCATION (%g,%g,%g)\n", e.x, e.y, e.z);
      fflush(debug_file);
    }
    return;
  }
  f->cell = uint32_t(c);
  e.cellno = uint32_t(c);
  e.region = p->mesh.cells.data[c - 1].region;
  mfinder_boundary_normal(&p->mesh, c, &e);  // for normal and tangential components there
  g->value = treeval_eval(p, region_tree(f, e.region), &e);
  // A value that is no number ((-8)^(1/3) at the point) is the expression's error there.
  if (std::isnan(g->value)) {
    String m = lit("Invalid Floating-Point Operation");
    report_parse_err_1(p, const_cast<TreeNode *>(f->tree), &m);
  }
}

// Writes the fit's index into the fit leaves and the basis code into the basis leaves
// of the prebuilt FIT trees.
static void patch(TreeNode *t, int32_t code, uint16_t k) {
  if (!t) return;
  if (t->opcode == op::fitfun) t->index = k;
  if (t->opcode == op::febasis) t->index = uint16_t(code);
  for (int i = 0; i < 3; i++) patch(t->child[i], code, k);
}

void fitting_patch_fitrees(int32_t code, uint16_t k) {
  TRACE("fitting_patch_fitrees");
  for (int i = 1; i <= 8; i++) patch(buildeq_fitrees[i], code, k);
}

// The node matrix of a FIT with smoothing weight w: the mass matrix, plus, when
// c = 4 w^2 is not 0, c times the gradient matrix less c times the normal-derivative
// term on outer boundary sides; b the Galerkin integral of the region tree.
static void mass_matrix(pde *p, const treevector *byregion, double parameter, sparsemx *M, vectord *b) {
  Mesh *m = &p->mesh;
  int32_t N = m->nodes.count, code = m->meshbasis, nb = elements_functions[code];
  loading_link_matrix(p, M, N, code);
  vectord_resize(b, N, std::max(N, b->capacity));
  std::fill(b->data, b->data + N, 0.0);
  double c = 4.0 * parameter * parameter;
  const QuadRule *rule = quature_rule(p->vrule);
  double phi[20], ld[3][20], gx[20], gy[20], gz[20];
  for (int32_t cn = 1; cn <= m->cells.count; cn++) {
    const MeshCell *cell = &m->cells.data[cn - 1];
    if (!cell->alive) continue;
    localize(p, cn);
    ElementFrame *fr = &cellrec.frame;
    uint16_t R = cell->region;
    TreeNode *t = R >= 1 && R <= byregion->count ? byregion->data[R - 1] : nullptr;
    const int32_t *nodes = cellrec.nodes;
    for (int q = 0; q < rule->count; q++) {
      const double *L = rule->points[q].L;
      elements_jacobian(L, fr);
      double w = rule->points[q].weight * fr->measure;
      basisfun_basis_1(phi, code, L);
      memcpy(ep.local, L, sizeof ep.local);
      double xyz[3];
      elements_get_gcoords(xyz, L, fr);
      ep.x = xyz[0], ep.y = xyz[1], ep.z = xyz[2];
      double v = treeval_eval(p, t, &ep);
      if (c != 0) {
        basisfun_basis_p(ld, code, L);
        elements_basisx(gx, code, ld, fr);
        elements_basisy(gy, code, ld, fr);
        if (p->dimension == 3) elements_basisz(gz, code, ld, fr);
        else std::fill(gz, gz + 20, 0.0);
      }
      for (int32_t i = 0; i < nb; i++) {
        b->data[nodes[i] - 1] += w * v * phi[i];
        for (int32_t j = 0; j < nb; j++) {
          double a = phi[i] * phi[j];
          if (c != 0) a += c * (gx[i] * gx[j] + gy[i] * gy[j] + gz[i] * gz[j]);
          sparsemx_addto_0(M, nodes[i], nodes[j], w * a);
        }
      }
    }
    if (c == 0) continue;
    // Outer boundary sides: the normal derivative term of the smoothing operator.
    int sides = p->dimension == 3 ? 4 : 3;
    for (int s = 1; s <= sides; s++) {
      if (cell->bdid[s - 1] == 0 || cell->neighbour[s - 1] != 0) continue;
      const QuadRule *sr = quature_side_rule(p->sset, quature_rule_side(s));
      for (int q = 0; q < sr->count; q++) {
        const double *L = sr->points[q].L;
        elements_jacobian(L, fr);
        basisfun_basis_1(phi, code, L);
        basisfun_basis_p(ld, code, L);
        elements_basisx(gx, code, ld, fr);
        elements_basisy(gy, code, ld, fr);
        if (p->dimension == 3) elements_basisz(gz, code, ld, fr);
        else std::fill(gz, gz + 20, 0.0);
        double nx = treeval_side_factor(p->dimension, 1, fr, s), ny = treeval_side_factor(p->dimension, 2, fr, s);
        double nz = p->dimension == 3 ? treeval_side_factor(p->dimension, 3, fr, s) : 0.0;
        double w = sr->points[q].weight;
        for (int32_t i = 0; i < nb; i++)
          for (int32_t j = 0; j < nb; j++)
            sparsemx_addto_0(M, nodes[i], nodes[j], -c * w * phi[i] * (gx[j] * nx + gy[j] * ny + gz[j] * nz));
      }
    }
  }
  if (b->count != M->rows) {
    String msg = lit("SIZE MISMATCH");
    report_exec_err_0(p, &msg);
  }
  if (fitting_debug && debug_file) {
    String label = lit("Printing");
    uint16_t line = display_report(&p->status, 0, &label);
    String title = lit("MASS MATRIX");
    sparsemx_print(debug_file, M, &title);
    display_unreport(&p->status, line);
  }
}

// FIT: the node values x of M x = b by preconditioned conjugate gradients (LANCZOS
// when smoothed).
static void fitting_fit(pde *p, fit *f, pdeglobal *g) {
  String label = lit("Fitting");
  uint16_t line = display_report(&p->status, 0, &label);
  // Released however the fit ends (an error report unwinds through here).
  struct Work {
    sparsemx M{};
    vectord b{}, D{};
    ~Work() {
      vectord_free(&b);
      vectord_free(&D);
      sparsemx_free(&M, 1);
    }
  } w;
  sparsemx &M = w.M;
  vectord &b = w.b, &D = w.D;
  mass_matrix(p, &f->byregion, double(f->parameter), &M, &b);
  int32_t N = b.count;
  vectord_resize(&g->values, N, std::max(N, g->values.capacity));
  std::fill(g->values.data, g->values.data + N, 0.0);
  uint8_t sym = f->parameter == 0;
  sparsemx_diag_dip(&D, &M, sym);
  sparsecg_cg(&g->values, &M, nullptr, &b, &D, nullptr, &p->work, p->fittol > 0 ? p->fittol : 1e-6, 0,
              uint16_t(p->fititer ? p->fititer : 500), &p->status, sym ? orthomin : lanczos, diprecon, N);
  display_unreport(&p->status, line);
}

void fitting_project(pde *p, const treevector *byregion, vector2d *u, double t, vectord *x) {
  TRACE("fitting_project");
  struct Work {
    sparsemx M{};
    vectord b{}, D{}, y{};
    ~Work() {
      for (vectord *v : {&b, &D, &y}) vectord_free(v);
      sparsemx_free(&M, 1);
    }
  } w;
  ep.values = u;
  ep.t = t;
  mass_matrix(p, byregion, 0.0, &w.M, &w.b);
  int32_t N = w.b.count;
  vectord_resize(&w.y, N, N);
  for (int32_t n = 0; n < N; n++) w.y.data[n] = n < x->count ? x->data[n] : 0.0;
  sparsemx_diag_dip(&w.D, &w.M, 1);
  sparsecg_cg(&w.y, &w.M, nullptr, &w.b, &w.D, nullptr, &p->work, 1e-10, 0, 2000, &p->status, orthomin, diprecon, N);
  // Nodes no live cell holds keep their values.
  for (int32_t n = 1; n <= N && n <= x->count; n++)
    if (p->mesh.nodes.data[n - 1].alive) x->data[n - 1] = w.y.data[n - 1];
}

// busy: the derived globals whose validation is under way in this call.
static void validate_one(pde *p, uint16_t k, std::vector<uint16_t> &busy) {
  pdeglobal *g = &p->globals.items[k - 1];
  if (g->valid) return;
  for (size_t i = 0; i < busy.size(); i++)
    if (busy[i] == k) return;  // a global that depends on itself is not revisited
  busy.push_back(k);
  fit *f = fit_of(p, k);
  for (int32_t i = 0; i < f->deps.count; i++) {
    uint16_t d = f->deps.data[i];
    if (d != k && d >= 1 && d <= p->formulas.fits.count) validate_one(p, d, busy);
  }
  String integrating = lit("Integrating");
  uint16_t line = 0;
  uint32_t kind = f->kind;
  if (kind == uint32_t(op::volint) || kind == uint32_t(op::surfint) || kind == uint32_t(op::bdryint))
    line = display_report(&p->status, 0, &integrating);
  bool valid = true;
  switch (kind) {
    case op::fitfun:
      g->basis = p->mesh.meshbasis;
      fitting_patch_fitrees(g->basis, k);
      fitting_fit(p, f, g);
      break;
    case op::savefun: do_save(p, f, g); break;
    case op::globalmin: case op::globalmax: find_minmax(p, f, g); break;
    case op::volint: g->value = do_volint(p, f); break;
    case op::surfint: g->value = do_surfint(p, f); break;
    case op::bdryint: g->value = do_bdryint(p, f); break;
    case op::jelem: g->basis = p->mesh.meshbasis; valid = g->values.count == p->mesh.nodes.count; break;
    case op::evalop: evalat(p, f, g); break;
    default: break;
  }
  if (line) display_unreport(&p->status, line);
  g->valid = valid;
  busy.pop_back();
}

// The validator installed in the model's fit bookkeeping: makes every listed derived
// global valid for the solution u at times[1].
static void validate_fits(pde *p, const vectorn *list, vector2d *u, const double times[2]) {
  TRACE("fitting_validate_fits");
  if (!list || list->count == 0) return;
  size_globals(p);
  mfinder_build_finder(&p->mesh);
  ep = evalpoint{};
  ep.values = u;
  ep.rates = &p->udot;  // dt() of a variable takes the problem's rates, as plots do
  ep.t = times[1];
  ep.cell = &cellrec;
  std::vector<uint16_t> busy;
  for (int32_t i = 0; i < list->count; i++) {
    uint16_t k = list->data[i];
    if (k >= 1 && k <= p->formulas.fits.count) validate_one(p, k, busy);
  }
}
