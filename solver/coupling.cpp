// coupling: residual and Jacobian assembly, scaling and time weights; the method choice is
// coupling_method.cpp, the time run's fixed-linear check and split sources timsolve_sources.cpp.
#include "solver/coupling.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <vector>

#include "model/pdedat_record.h"
#include "domain/dominpde.h"
#include "elements/basisfun.h"
#include "elements/evalpoint.h"
#include "elements/meshes.h"
#include "graphics/display.h"
#include "model/params.h"
#include "model/treeval.h"
#include "runtime/debug.h"
#include "runtime/report.h"
#include "runtime/rtlib.h"
#include "runtime/vectorld.h"
#include "solver/bandmxd.h"
#include "solver/bigmatx.h"
#include "solver/coupling_internal.h"
#include "solver/loading.h"
#include "solver/sparsecg.h"
#include "solver/sparsemx.h"

uint8_t coupling_debug = 0;

// The program-wide evaluation point and localised cell of every assembly step, and
// the element buffer (20 x 20 values at most).
LocalCell cellrec;
// Every value the assembly evaluates is one the equations or their conditions need.
evalpoint ep = [] {
  evalpoint e{};
  e.needed = 1;
  return e;
}();
double buf[400];

int coupling_init() {
  TRACE("coupling");
  ep.cell = &cellrec;
  return 0;
}

String lit(const char *c) {
  uint16_t n = uint16_t(strlen(c));
  return String{n, n, const_cast<char *>(c)};
}

// ---- Problem helpers ----------------------------------------------------------------------------

uint16_t eqcount(const pde *p) { return std::min<uint16_t>(p->nfield, p->formulas.equations.count); }
int32_t vbasis(const pde *p, uint16_t k) {
  int32_t c = k <= p->basiscodes.count ? p->basiscodes.data[k - 1] : 0;
  return c ? c : p->mesh.meshbasis;
}
bool timeflag(const pde *p, uint16_t k) { return k <= p->vars.count && p->vars.items[k - 1].timeflag; }
equation *eqn(pde *p, uint16_t k) { return p->formulas.equations.items[k - 1]; }
TreeNode *region_tree(const treevector *v, uint16_t r) { return r >= 1 && r <= v->count ? v->data[r - 1] : nullptr; }
TreeNode *jac_tree(const treevectors *v, uint16_t r, uint16_t j) {
  if (r < 1 || r > v->count) return nullptr;
  const treevector *t = &v->data[r - 1];
  return j >= 1 && j <= t->count ? t->data[j - 1] : nullptr;
}
bool zero_tree(const TreeNode *t) {
  return !t || t->opcode == op::realzero || (t->opcode == op::realval && t->value == 0.0);
}
// A zero integrand, bare or under its integral.
bool zero_integral(const TreeNode *t) {
  return zero_tree(t) || (t->opcode == op::integral && zero_tree(t->child[0]));
}
bc *bcrec(pde *p, uint16_t b) { return p->formulas.bcs.items[b - 1]; }
static TreeNode *bc_tree(const bc *b, int list, uint16_t region) {
  uint16_t ix = bcs_find_bc_regix(b, region);
  return ix ? region_tree(&b->lists[list], ix) : nullptr;
}
// A natural condition's time part in region R, or null.
TreeNode *bc_rates(const bc *b, uint16_t region) {
  uint16_t ix = bcs_find_bc_regix(b, region);
  return ix ? region_tree(&b->rates, ix) : nullptr;
}
int32_t row_of(const pde *p, uint16_t k, int32_t n) { return bigmatx_row(&p->layout, k, n); }
double perfactor(const pde *p) { return p->persign != 0.0 ? p->persign : 1.0; }

void zero(vectord *v, int32_t n) {
  vectord_resize(v, n, std::max(n, v->capacity));
  std::fill(v->data, v->data + n, 0.0);
}

// Localises cell c into the module's cell and points the evaluation point at it.
const MeshCell *localize(pde *p, int32_t c, uint16_t mode) {
  const MeshCell *cell = &p->mesh.cells.data[c - 1];
  meshes_localize(&p->mesh, cell, &cellrec, mode);
  ep.cell = &cellrec;
  ep.cellno = uint32_t(c);
  ep.region = cell->region;
  ep.side = 0;
  ep.qpoint = 0;
  return cell;
}

// The point at node n of the localised cell: its coordinates and local coordinates.
void at_node(pde *p, const MeshCell *cell, int32_t n) {
  const MeshNode *nd = &p->mesh.nodes.data[n - 1];
  int32_t k = elements_functions[cell->basis], at = 0;
  while (at < k && cell->nodes.data[at] != n) at++;
  basisfun_node_coords();
  const LocalPoint *t = basisfun_node_table(cell->basis);
  for (int i = 0; i < 4; i++) ep.local[i] = t && at < k ? t[at].L[i] : 0.0;
  ep.x = nd->x, ep.y = nd->y, ep.z = nd->z;
  ep.qpoint = 0;
  // A curved cell's map varies: derivatives and side directions at the node take the
  // Jacobian there, not the one the cell was localized with.
  if (ep.cell && ep.cell->frame.curved) elements_jacobian(ep.local, &ep.cell->frame);
}

void context(vector2d *u, vector2d *udot, double t) {
  ep.cell = &cellrec;
  ep.values = u;
  ep.rates = udot;
  ep.t = t;
  ep.constr = nullptr;
  ep.constrflag = 0;
}

// The condition of variable k on side s of the cell (0 none).
uint16_t side_bc(pde *p, const MeshCell *cell, int s, uint16_t k) {
  uint16_t id = cell->bdid[s - 1];
  return id ? bcs_find_surf_bc(p->mesh.domain, id, k, &p->formulas) : 0;
}

// A side of cell c is taken by the cell of the higher region, between cells of one
// region by the higher-numbered one; outer and periodic sides always.
bool takes_side(pde *p, int32_t c, const MeshCell *cell, int s) {
  int32_t n = cell->neighbour[s - 1];
  uint16_t rn = n >= 1 ? p->mesh.cells.data[n - 1].region : 0;
  return rn < cell->region || (rn == cell->region && n < c);
}

// ---- Time weights ---------------------------------------------------------------------------------

// Five-point Gauss rules on [0, 1] for the weight t^n, n = 0..5: nodes, then weights
// (summing to 1/(n+1)).
static const double weight_table[6][2][5] = {
    {{0.0469100770, 0.2307653449, 0.5000000000, 0.7692346551, 0.9530899230},
     {0.1184634425, 0.2393143352, 0.2844444444, 0.2393143352, 0.1184634425}},
    {{0.0985350858, 0.3045357266, 0.5620251898, 0.8019865821, 0.9601901429},
     {0.0157479145, 0.0739088701, 0.1463869871, 0.1671746381, 0.0967815902}},
    {{0.1489457871, 0.3656665274, 0.6101136129, 0.8265196792, 0.9654210601},
     {0.0041138252, 0.0320556007, 0.0892001612, 0.1261989619, 0.0817647843}},
    {{0.1962120074, 0.4171002118, 0.6485700042, 0.8456051500, 0.9694357035},
     {0.0015206894, 0.0169573249, 0.0604449532, 0.1003165045, 0.0707605281}},
    {{0.2397920448, 0.4609336745, 0.6800592327, 0.8608863437, 0.9726144185},
     {0.0006969771, 0.0102105417, 0.0440244695, 0.0827127131, 0.0623552986}},
    {{0.2796931248, 0.4987098270, 0.7063338189, 0.8734027279, 0.9751938347},
     {0.0003697155, 0.0067296904, 0.0337677450, 0.0700713397, 0.0557281761}}};

void coupling_build_weights(pde *p) {
  TRACE("coupling_build_weights");
  int32_t row = -1;  // none
  double T = p->tcenter;
  if (p->timedep) {
    if (T >= 0.87) {
      T = 1.0;
    } else {
      // A centre below 0 gives a negative row: counted as row 0.
      int32_t n = int32_t(std::trunc((2 * T - 0.99999) / (1 - T)));
      if (n < 0) n = 0;
      row = n;
      T = double(n + 1) / double(n + 2);
    }
  }
  p->theta = T;
  p->theta1 = 1.0 - T;
  uint16_t V = p->nvars ? p->nvars : uint16_t(p->nfield + p->nscalar);
  vectorn_resize(&p->tcount, V, std::max<int32_t>(V, p->tcount.capacity));
  vector2d_resize(&p->tnodes, V, std::max<int32_t>(V, p->tnodes.capacity));
  vector2d_resize(&p->tweights, V, std::max<int32_t>(V, p->tweights.capacity));
  for (uint16_t k = 1; k <= V; k++) {
    vectord *nodes = &p->tnodes.data[k - 1], *w = &p->tweights.data[k - 1];
    bool five = timeflag(p, k) && row >= 0 && row <= 5;
    int32_t n = five ? 5 : 1;
    vectord_resize(nodes, n, std::max(n, nodes->capacity));
    vectord_resize(w, n, std::max(n, w->capacity));
    p->tcount.data[k - 1] = uint16_t(n);
    if (!five) {
      nodes->data[0] = w->data[0] = 1.0;
      continue;
    }
    for (int i = 0; i < 5; i++) {
      nodes->data[i] = weight_table[row][0][i];
      w->data[i] = (row + 1) * weight_table[row][1][i];
    }
  }
}

// ---- Boundary tables ---------------------------------------------------------------------------------

void list_bccells(pde *p, vectorl *list, int32_t n) {
  const MeshNode *nd = &p->mesh.nodes.data[n - 1];
  for (int32_t k = 0; k < nd->nodecell.count; k++) {
    int32_t c = nd->nodecell.data[k];
    if (bigmatx_find(list->data, list->count, c) < 0) vectorl_insert_0(list, c);
  }
}

static void size_lists(vector2l *v, uint16_t n) {
  vector2l_resize(v, n, std::max<int32_t>(n, v->capacity));
  for (uint16_t k = 0; k < n; k++) v->data[k].count = 0;
}

// Where a value condition meets a normal derivative in flux form (at a joint, or an edge
// in three dimensions), the node takes the value, as where a value meets a natural side:
// the side integral alone would leave the value side's flux out of the node's row.
static uint16_t meeting_value(pde *p, const MeshNode *nd, uint16_t k) {
  const Domain *d = p->mesh.domain;
  auto held = [&](uint16_t b) {
    if (!b || b > p->formulas.bcs.count) return false;
    int32_t t = bcrec(p, b)->type;
    return t == valuebc || t == valuept;
  };
  auto faces = [&](const vectorn &list) -> uint16_t {
    for (int32_t i = 0; i < list.count; i++) {
      uint16_t f = list.data[i];
      if (f < 1 || f > d->faces.count) continue;
      uint16_t b = bcs_find_face_bc(d, f, k, &p->formulas);
      if (held(b)) return b;
    }
    return 0;
  };
  if (nd->kind == 1 && nd->id >= 1 && nd->id <= d->joints.count) {
    const Joint &j = d->joints.data[nd->id - 1];
    if (d->threed) return faces(j.faces);
    for (int32_t i = 0; i < j.edges.count; i++) {
      uint16_t e = j.edges.data[i];
      if (e < 1 || e > d->edges.count) continue;
      uint16_t b = bcs_find_edge_bc(d, e, k, &p->formulas);
      if (held(b)) return b;
    }
  } else if (nd->kind == 2 && d->threed && nd->id >= 1 && nd->id <= d->edges.count) {
    return faces(d->edges.data[nd->id - 1].face_list);
  }
  return 0;
}

// A tangential slope held along a chain of sides fixes the values there up to a constant:
// some node of the chain must take a value condition. A chain with none is reported at
// its condition (the solution would be any of a family).
static void anchored_slopes(pde *p, uint16_t k) {
  const vectorl *nodes = &p->valuenodes.data[k - 1], *bcs = &p->valuebcs.data[k - 1];
  bool any = false;
  for (int32_t i = 0; i < nodes->count && !any; i++) any = bcs_along_side(bcrec(p, uint16_t(bcs->data[i])));
  if (!any) return;
  std::vector<int32_t> up(size_t(p->mesh.nodes.count) + 1);
  for (size_t n = 0; n < up.size(); n++) up[n] = int32_t(n);
  auto root = [&](int32_t n) {
    while (up[size_t(n)] != n) n = up[size_t(n)] = up[size_t(up[size_t(n)])];
    return n;
  };
  // The two end vertices of every such side (side s lies opposite vertex s).
  std::vector<std::pair<int32_t, uint16_t>> ends;
  for (int32_t i = 0; i < p->depcells.count; i++) {
    int32_t c = p->depcells.data[i];
    const MeshCell *cell = &p->mesh.cells.data[c - 1];
    if (!cell->alive || elements_dimension[cell->basis] != 2 || cell->nodes.count < 3) continue;
    for (int s = 1; s <= 3; s++) {
      if (!cell->bdid[s - 1]) continue;
      uint16_t b = side_bc(p, cell, s, k);
      if (!b || !bcs_along_side(bcrec(p, b))) continue;
      int32_t a = cell->nodes.data[s % 3], e = cell->nodes.data[(s + 1) % 3];
      up[size_t(root(a))] = root(e);
      ends.emplace_back(a, b);
    }
  }
  std::vector<uint8_t> held(up.size(), 0);
  for (int32_t i = 0; i < nodes->count; i++) {
    int32_t t = bcrec(p, uint16_t(bcs->data[i]))->type;
    if (t == valuebc || t == valuept) held[size_t(root(nodes->data[i]))] = 1;
  }
  for (const auto &[n, b] : ends)
    if (!held[size_t(root(n))]) {
      String m = lit("DTANGENTIAL Needs a VALUE Where Its Boundary Ends");
      report_parse_err_1(p, bcrec(p, b)->tree, &m);
    }
}

void coupling_tabulate_bcs(pde *p) {
  TRACE("coupling_tabulate_bcs");
  uint16_t E = eqcount(p);
  for (vector2l *v : {&p->valuenodes, &p->valuebcs, &p->loadnodes, &p->loadbcs}) size_lists(v, E);
  p->natcells.count = p->depcells.count = 0;
  const Domain *d = p->mesh.domain;
  for (int32_t n = 1; n <= p->mesh.nodes.count; n++) {
    const MeshNode *nd = &p->mesh.nodes.data[n - 1];
    if (!nd->alive || nd->kind < 1 || nd->kind > 3 || !d) continue;
    for (uint16_t k = 1; k <= E; k++) {
      uint16_t b = nd->kind == 1   ? bcs_find_joint_bc(d, nd->id, k, &p->formulas)
                   : nd->kind == 2 ? bcs_find_edge_bc(d, nd->id, k, &p->formulas)
                                   : bcs_find_face_bc(d, nd->id, k, &p->formulas);
      if (!b) continue;
      if (bcrec(p, b)->weak && nd->kind < 3)
        if (uint16_t v = meeting_value(p, nd, k)) b = v;
      const bc *r = bcrec(p, b);
      if (r->type == normalbc && r->weak) {
        list_bccells(p, &p->natcells, n);
        continue;
      }
      switch (r->type) {
        case valuebc: case normalbc: case tanglbc: case valuept:
          vectorl_one_more(&p->valuenodes.data[k - 1], n);
          vectorl_one_more(&p->valuebcs.data[k - 1], b);
          if (r->varying) list_bccells(p, &p->depcells, n);
          break;
        case loadpt:
          vectorl_one_more(&p->loadnodes.data[k - 1], n);
          vectorl_one_more(&p->loadbcs.data[k - 1], b);
          break;
        case naturalbc: list_bccells(p, &p->natcells, n); break;
        default: break;
      }
    }
  }
  for (uint16_t k = 1; k <= E; k++) anchored_slopes(p, k);
}

// ---- Residual -----------------------------------------------------------------------------------------

static void add_rows(pde *p, vectord *F, uint16_t k, const double *v, int32_t n, double w) {
  for (int32_t a = 0; a < n; a++) F->data[row_of(p, k, cellrec.nodes[a]) - 1] += w * v[a];
}

// The upwind sign of variable k: that of its diagonal block, so that the streamline
// weight adds diffusion along the flow whichever sign the equation is written with.
double upsign(const pde *p, uint16_t k) { return p->scalesign.count >= k ? p->scalesign.data[k - 1] : 1.0; }

// Adds the streamline term of residual tree t (skipped when absent or zero) of equation
// k in region R to the rows of V, weighted by w. The velocity decides whether the
// equation has upwind terms in R.
static void add_upwind(pde *p, vectord *V, uint16_t k, const TreeNode *t, uint16_t R, evalpoint *pt, double w) {
  equation *eq = eqn(p, k);
  const TreeNode *v = region_tree(&eq->velocity, R);
  if (!v || zero_integral(t)) return;
  int32_t n = treeval_upwind_galerkin(p, buf, t, region_tree(&eq->diffusion, R), v, region_tree(&eq->upspare, R),
                                      pt, vbasis(p, k), upsign(p, k));
  add_rows(p, V, k, buf, n, w);
}

void coupling_cell_operate(pde *p, vectord *F, vectord *Ft, int32_t c, const MeshCell *cell, evalpoint *pt,
                           uint16_t mode, uint8_t bflag, uint8_t upflag) {
  uint16_t R = cell->region, E = eqcount(p);
  int dim = elements_dimension[cell->basis];
  for (uint16_t k = 1; k <= E; k++) {
    if (mode == 1 && !timeflag(p, k)) continue;
    equation *eq = eqn(p, k);
    int32_t code = vbasis(p, k);
    // Galerkin, upwind and time terms. The time term, where there is one, is swept with the
    // Galerkin term over one loop of the rule points, each row's sum as its own sweep's.
    const TreeNode *terms[2] = {region_tree(&eq->volume, R), nullptr};
    if (Ft && timeflag(p, k)) terms[1] = region_tree(&eq->timeint, R);
    double rows[2 * 20];
    int32_t n = treeval_vol_galerkin_set(p, rows, terms, terms[1] ? 2 : 1, pt, &code, 1);
    add_rows(p, F, k, rows, n, 1.0);
    if (upflag) add_upwind(p, F, k, region_tree(&eq->upwind, R), R, pt, 1.0);
    if (terms[1]) add_rows(p, Ft, k, rows + 20, n, 1.0);
    if (Ft && timeflag(p, k) && upflag) add_upwind(p, Ft, k, region_tree(&eq->uptime, R), R, pt, 1.0);
    // Sides.
    for (int s = 1; s <= dim + 1; s++) {
      if (bflag) {
        if (!cell->bdid[s - 1] || !takes_side(p, c, cell, s)) continue;
        uint16_t b = side_bc(p, cell, s, k);
        if (!b || !bcs_side_integral(bcrec(p, b))) continue;
        pt->side = uint8_t(s);
        // A dynamic boundary's time part joins the time terms.
        const bc *nat = bcrec(p, b);
        if (TreeNode *rt = Ft && timeflag(p, k) ? bc_rates(nat, R) : nullptr) {
          n = treeval_surf_galerkin(p, buf, rt, pt, code);
          add_rows(p, Ft, k, buf, n, 1.0);
        }
        n = treeval_surf_galerkin(p, buf, bc_tree(nat, 1, R), pt, code);
      } else {
        pt->side = uint8_t(s);
        n = treeval_surf_galerkin(p, buf, region_tree(&eq->surface, R), pt, code);
      }
      pt->side = 0;
      add_rows(p, F, k, buf, n, 1.0);
    }
  }
}

void coupling_operate(pde *p, vectord *F, vectord *Ft, vector2d *u, vector2d *udot, double t, double h,
                      uint16_t mode) {
  TRACE("coupling_operate");
  double q = h > 0 ? 1.0 / h : 1.0;
  Mesh *m = &p->mesh;
  String label = lit("Residual");
  uint16_t line = display_report_num(&p->status, 0, &label, m->cells.count);
  int32_t NF = p->nf, NS = p->ns, NT = p->nt;
  zero(F, NT);
  if (p->timedep && Ft) zero(Ft, NT);
  else Ft = nullptr;
  context(u, udot, t);
  uint16_t lmode = mode == 2 && p->moving ? 2 : 0;
  {
    TreevalProgramsKept programs;  // the equations' trees stand over the cells
    for (int32_t c = 1; c <= m->cells.count; c++) {
      if (!m->cells.data[c - 1].alive) continue;
      const MeshCell *cell = localize(p, c, lmode);
      coupling_cell_operate(p, F, Ft, c, cell, &ep, mode, 1, p->upwind);
      if (c % 1000 == 0) display_update_num(&p->status, line, m->cells.count - c);
    }
  }
  // Scalar and constraint rows, evaluated off the cells.
  ep.cellno = 0;
  for (uint16_t s = 1; s <= p->nscalar && s <= p->formulas.scalars.count; s++) {
    uint16_t v = uint16_t(p->nfield + s);
    if (mode == 1 && !timeflag(p, v)) continue;
    constraint *se = p->formulas.scalars.items[s - 1];
    F->data[NF + s - 1] = treeval_eval(p, se->tree, &ep);
    if (Ft && timeflag(p, v) && se->second) Ft->data[NF + s - 1] = treeval_eval(p, se->second, &ep);
  }
  // The constraint block has no time derivative: mode 1 leaves its rows 0.
  for (uint16_t c = 1; c <= p->nconstraints && mode != 1; c++)
    F->data[NS + c - 1] = q * treeval_eval(p, p->formulas.constraints.items[c - 1]->tree, &ep);
  vbc_operate(p, F, Ft, mode);
  lbc_operate(p, F, mode);
  display_unreport(&p->status, line);
}

// The value of bc b's tree list at node n summed over the cells around it.
static double node_sum(pde *p, const bc *b, int list, int32_t n) {
  const MeshNode *nd = &p->mesh.nodes.data[n - 1];
  double s = 0;
  for (int32_t i = 0; i < nd->nodecell.count; i++) {
    const MeshCell *cell = localize(p, nd->nodecell.data[i], 0);
    at_node(p, cell, n);
    s += treeval_eval(p, bc_tree(b, list, cell->region), &ep);
  }
  return s;
}

// Sets the point's normal for normal and tangential conditions.
void value_point(pde *p, const bc *b, int32_t n, uint16_t k, uint16_t bix) {
  if (b->type == normalbc || b->type == tanglbc) bnormal(p, &ep, n, k, bix);
}

// Folds the periodic slave rows of variable k into their masters, times the periodic
// factor (an antiperiodic slave's row counts against its master), and clears them.
void fold_rows(pde *p, vectord *V, uint16_t k) {
  const vectorll *im = &p->mesh.images;
  double pf = perfactor(p);
  for (int32_t i = 0; i < im->count; i++) {
    int32_t s = row_of(p, k, im->keys[i]) - 1, m = row_of(p, k, im->values[i]) - 1;
    V->data[m] += pf * V->data[s], V->data[s] = 0;
  }
}

void each_tangential_side(pde *p, uint16_t k,
                          const std::function<void(const MeshCell *, const bc *, uint16_t, const HeldRows &)> &f) {
  const vectorl *nodes = &p->valuenodes.data[k - 1], *bcs = &p->valuebcs.data[k - 1];
  HeldRows held_rows;
  held_rows.assign(size_t(p->mesh.nodes.count) + 1, 0);
  bool any = false;
  for (int32_t i = 0; i < nodes->count; i++)
    if (bcs_along_side(bcrec(p, uint16_t(bcs->data[i]))))
      held_rows[size_t(nodes->data[i])] = uint16_t(bcs->data[i]), any = true;
  if (!any) return;
  for (int32_t i = 0; i < p->depcells.count; i++) {
    int32_t c = p->depcells.data[i];
    const MeshCell *cell = &p->mesh.cells.data[c - 1];
    if (!cell->alive) continue;
    bool local = false;
    for (int s = 1; s <= elements_dimension[cell->basis] + 1; s++) {
      if (!cell->bdid[s - 1] || !takes_side(p, c, cell, s)) continue;
      uint16_t b = side_bc(p, cell, s, k);
      if (!b || !bcs_along_side(bcrec(p, b))) continue;
      if (!local) cell = localize(p, c, 0), local = true;
      ep.side = uint8_t(s);
      f(cell, bcrec(p, b), b, held_rows);
      ep.side = 0;
    }
  }
}

TreeNode *bc_slope(const bc *b, uint16_t region) {
  uint16_t ix = bcs_find_bc_regix(b, region);
  return ix ? region_tree(&b->slopes, ix) : nullptr;
}

void vbc_operate(pde *p, vectord *F, vectord *Ft, uint16_t mode) {
  TRACE("vbc_operate");
  uint16_t E = eqcount(p);
  for (uint16_t k = 1; k <= E; k++) {
    const vectorl *nodes = &p->valuenodes.data[k - 1];
    for (int32_t i = 0; i < nodes->count; i++) {
      int32_t r = row_of(p, k, nodes->data[i]);
      F->data[r - 1] = 0;
      if (Ft && timeflag(p, k)) Ft->data[r - 1] = 0;
    }
  }
  for (uint16_t k = 1; k <= E; k++) {
    fold_rows(p, F, k);
    if (Ft && timeflag(p, k)) fold_rows(p, Ft, k);
  }
  for (uint16_t k = 1; k <= E; k++) {
    if (mode == 1 && !timeflag(p, k)) continue;
    const vectorl *nodes = &p->valuenodes.data[k - 1], *bcs = &p->valuebcs.data[k - 1];
    double sf = p->scalefac.count >= k ? p->scalefac.data[k - 1] : 1.0;
    for (int32_t i = 0; i < nodes->count; i++) {
      const bc *b = bcrec(p, uint16_t(bcs->data[i]));
      if (!b->varying || bcs_along_side(b)) continue;
      int32_t n = nodes->data[i];
      value_point(p, b, n, k, uint16_t(bcs->data[i]));
      F->data[row_of(p, k, n) - 1] += sf * node_sum(p, b, 1, n);
    }
    // Tangential slopes held along their sides.
    each_tangential_side(p, k, [&](const MeshCell *cell, const bc *b, uint16_t bix, const HeldRows &held_rows) {
      int32_t n = treeval_surf_tested(p, buf, bc_tree(b, 1, cell->region), bc_slope(b, cell->region), &ep,
                                      p->mesh.meshbasis, -1);
      for (int32_t a = 0; a < n && a < elements_functions[cell->basis]; a++) {
        int32_t node = cellrec.nodes[a];
        if (held_rows[size_t(node)] == bix) F->data[row_of(p, k, node) - 1] += sf * buf[a];
      }
    });
  }
}

void lbc_operate(pde *p, vectord *F, uint16_t mode) {
  TRACE("lbc_operate");
  uint16_t E = eqcount(p);
  // A load on a periodic slave's node acts on its master's row, times the periodic factor,
  // as the slave's other terms do: the slave's row stays its tie.
  const vectorll *im = &p->mesh.images;
  std::vector<int32_t> master(im->count ? size_t(p->mesh.nodes.count) + 1 : 0, 0);
  for (int32_t i = 0; i < im->count; i++) master[size_t(im->keys[i])] = im->values[i];
  for (uint16_t k = 1; k <= E; k++) {
    if (mode == 1 && !timeflag(p, k)) continue;
    const vectorl *nodes = &p->loadnodes.data[k - 1], *bcs = &p->loadbcs.data[k - 1];
    for (int32_t i = 0; i < nodes->count; i++) {
      int32_t n = nodes->data[i];
      if (!loading_localize_node(&ep, &p->mesh, n, 0)) continue;
      const bc *b = bcrec(p, uint16_t(bcs->data[i]));
      double v = treeval_eval(p, bc_tree(b, 0, ep.region), &ep);
      if (!master.empty() && master[size_t(n)] > 0) n = master[size_t(n)], v *= perfactor(p);
      F->data[row_of(p, k, n) - 1] += v;
    }
  }
}

// The outward unit normal at the node of a boundary side of condition bcix for variable
// k into pt (the cell of that side localized at the node); false when no side has it.
static bool side_normal(pde *p, evalpoint *pt, int32_t node, uint16_t k, uint16_t bcix) {
  const MeshNode *nd = &p->mesh.nodes.data[node - 1];
  for (int32_t i = 0; i < nd->nodecell.count; i++) {
    int32_t c = nd->nodecell.data[i];
    const MeshCell *cell = &p->mesh.cells.data[c - 1];
    int dim = elements_dimension[cell->basis];
    for (int s = 1; s <= dim + 1; s++) {
      if (!cell->bdid[s - 1] || side_bc(p, cell, s, k) != bcix) continue;
      localize(p, c, 0);
      at_node(p, cell, node);
      double v[3];
      for (int j = 0; j < 3; j++) v[j] = j < dim ? treeval_side_factor(dim, j + 1, &cellrec.frame, s) : 0.0;
      double len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
      if (len == 0) continue;
      pt->nx = v[0] / len, pt->ny = v[1] / len, pt->nz = v[2] / len;
      return true;
    }
  }
  return false;
}

void bnormal(pde *p, evalpoint *pt, int32_t node, uint16_t k, uint16_t bcix) {
  TRACE("bnormal");
  if (!side_normal(p, pt, node, k, bcix)) rtlib_fatal_in("bnormal", "BNORMAL CRASH");
}

// Whether the tree takes a normal or tangential component.
static bool reads_normal(const TreeNode *t) {
  if (!t) return false;
  if (t->opcode == op::vncomp || t->opcode == op::vtcomp) return true;
  if (t->group == leafop || t->opcode == op::subref) return false;
  for (int k = 0; k < t->arity && k < 3; k++)
    if (reads_normal(t->child[k])) return true;
  return false;
}

// Equation k's source tree over the cell at count time nodes told + tau (tnew - told),
// added into S with weights w: one sweep of the rule points sets the time of each node in
// turn.
void source_nodes(pde *p, vectord *S, uint16_t k, const TreeNode *tree, evalpoint *pt, double told, double tnew,
                  int32_t count, const double *tau, const double *w) {
  struct Times {
    evalpoint *pt;
    double told, h;
    const double *tau;
  } times{pt, told, tnew - told, tau};
  auto at = [](void *ctx, int s) {
    Times *m = static_cast<Times *>(ctx);
    m->pt->t = m->told + m->tau[s] * m->h;
  };
  int32_t code = vbasis(p, k);
  double out[8 * 20];
  for (int32_t first = 0; first < count; first += 8) {
    int32_t sets = std::min<int32_t>(8, count - first);
    times.tau = tau + first;
    int32_t n = treeval_vol_galerkin_sets(p, out, &tree, 1, pt, &code, 1, sets, at, &times);
    for (int32_t s = 0; s < sets; s++) add_rows(p, S, k, out + s * 20, n, w[first + s]);
  }
}

void coupling_cell_source(pde *p, vectord *S, int32_t c, const MeshCell *cell, evalpoint *pt, double told,
                          double tnew, uint8_t upflag, uint8_t single) {
  (void)c;
  uint16_t R = cell->region, E = eqcount(p);
  static const double one = 1.0;
  for (uint16_t k = 1; k <= E; k++) {
    TreeNode *tree = region_tree(&eqn(p, k)->source, R);
    if (zero_integral(tree)) continue;  // adds nothing, nor does its streamline term
    // A source whose values are in range but whose weighted sum over the cell overflows is
    // reported at its equation, as its residual's overflow is.
    const TreeNode *at = coupling_trap_equation(p, k);
    TreesFpScope placed(at ? at : trees_fp_node);
    int32_t code = vbasis(p, k), count = 1;
    const double *tau = &one, *w = &one;
    if (!single && timeflag(p, k) && k <= p->tcount.count) {
      count = p->tcount.data[k - 1];
      tau = p->tnodes.data[k - 1].data;
      w = p->tweights.data[k - 1].data;
    }
    // Without a streamline term every time node's integral is taken in one sweep of the
    // rule points, whose geometry serves them all; each node's sum runs as alone.
    if (!(upflag && region_tree(&eqn(p, k)->velocity, R))) {
      source_nodes(p, S, k, tree, pt, told, tnew, count, tau, w);
      continue;
    }
    for (int32_t i = 0; i < count; i++) {
      pt->t = told + tau[i] * (tnew - told);
      int32_t n = treeval_vol_galerkin(p, buf, tree, pt, code);
      add_rows(p, S, k, buf, n, w[i]);
      // The source's streamline term, so that the upwind terms vanish on a solution.
      if (upflag) add_upwind(p, S, k, tree, R, pt, w[i]);
    }
  }
  pt->t = tnew;
}

static bool holds_lambda(const TreeNode *t) {
  if (!t) return false;
  if (t->opcode == op::lambda) return true;
  if (t->group == leafop || t->opcode == op::subref) return false;
  for (uint8_t i = 0; i < t->arity && i < 3; i++)
    if (holds_lambda(t->child[i])) return true;
  return false;
}

// The lambda terms of natural conditions in an eigenvalue problem belong to the lambda
// side as the equations' lambda terms do: each such side integral, as the operator takes
// it, with lambda 1 less with lambda 0, goes into S with its sign turned. The Jacobian
// takes these conditions with lambda 0.
static void lambda_sides(pde *p, vectord *S) {
  if (p->mode < 1 || p->mode > p->eigenvalues.count) return;
  double &lambda = p->eigenvalues.data[p->mode - 1], kept = lambda;
  uint16_t E = eqcount(p);
  double at1[64], at0[64];
  for (int32_t i = 0; i < p->natcells.count; i++) {
    int32_t c = p->natcells.data[i];
    const MeshCell *cell = &p->mesh.cells.data[c - 1];
    if (!cell->alive) continue;
    uint16_t R = cell->region;
    bool local = false;
    for (int s = 1; s <= elements_dimension[cell->basis] + 1; s++) {
      if (!cell->bdid[s - 1] || !takes_side(p, c, cell, s)) continue;
      for (uint16_t k = 1; k <= E; k++) {
        uint16_t b = side_bc(p, cell, s, k);
        if (!b || !bcs_side_integral(bcrec(p, b))) continue;
        TreeNode *t = bc_tree(bcrec(p, b), 1, R);
        if (!holds_lambda(t)) continue;
        if (!local) cell = localize(p, c, 0), local = true;
        ep.side = uint8_t(s);
        lambda = 1.0;
        int32_t n = treeval_surf_galerkin(p, at1, t, &ep, vbasis(p, k));
        lambda = 0.0;
        treeval_surf_galerkin(p, at0, t, &ep, vbasis(p, k));
        ep.side = 0;
        for (int32_t a = 0; a < n; a++) at1[a] = at0[a] - at1[a];
        add_rows(p, S, k, at1, n, 1.0);
      }
    }
  }
  lambda = kept;
}

bool coupling_lambda_present(pde *p) {
  TRACE("coupling_lambda_present");
  for (uint16_t k = 1; k <= eqcount(p); k++) {
    const treevector *v = &eqn(p, k)->source;
    for (int32_t r = 0; r < v->count; r++)
      if (!zero_integral(v->data[r])) return true;
  }
  const bcset &bcs = p->formulas.bcs;
  for (int32_t b = 0; b < bcs.count; b++)
    for (const treevector &l : bcs.items[b]->lists)
      for (int32_t r = 0; r < l.count; r++)
        if (holds_lambda(l.data[r])) return true;
  return false;
}

void coupling_build_source(pde *p, vectord *S, double told, double tnew, uint8_t single) {
  TRACE("coupling_build_source");
  String label = lit("Computing Sources");
  uint16_t line = display_report(&p->status, 0, &label);
  zero(S, p->nt);
  Mesh *m = &p->mesh;
  // The streamline weight of the upwind terms may depend on the solution: it is taken
  // at the current one.
  context(&p->solution, nullptr, tnew);
  uint16_t E = eqcount(p);
  // Equations without a source in any region leave S at 0: no cell need be visited.
  bool any = false;
  for (uint16_t k = 1; k <= E && !any; k++) {
    const treevector *v = &eqn(p, k)->source;
    for (int32_t r = 0; r < v->count && !any; r++) any = !zero_integral(v->data[r]);
  }
  {
    TreevalProgramsKept programs;  // the source trees stand over the cells
    for (int32_t c = 1; any && c <= m->cells.count; c++) {
      if (!m->cells.data[c - 1].alive) continue;
      const MeshCell *cell = localize(p, c, 0);
      coupling_cell_source(p, S, c, cell, &ep, told, tnew, p->upwind, single);
    }
  }
  if (p->eigen && single) lambda_sides(p, S);
  for (uint16_t k = 1; k <= E; k++) {
    const vectorl *nodes = &p->valuenodes.data[k - 1];
    for (int32_t i = 0; i < nodes->count; i++) S->data[row_of(p, k, nodes->data[i]) - 1] = 0;
    fold_rows(p, S, k);
  }
  display_unreport(&p->status, line);
}

// Calls f(variable, node, condition, region) for every value-list node that has a cell,
// at the new time of the pair; with place, the node is first localised into that cell.
template <class Fn> static void each_value_node(pde *p, const double times[2], bool varying, bool place, Fn f) {
  ep.t = times[1];
  for (uint16_t k = 1; k <= eqcount(p); k++) {
    const vectorl *nodes = &p->valuenodes.data[k - 1], *bcs = &p->valuebcs.data[k - 1];
    for (int32_t i = 0; i < nodes->count; i++) {
      const bc *b = bcrec(p, uint16_t(bcs->data[i]));
      if (b->varying && !varying) {
        p->symmetric = 0;  // only a value independent of the solution is preset
        continue;
      }
      int32_t n = nodes->data[i];
      // A value read from normal() or tangential() takes the normal of its side at the node.
      ep.nx = ep.ny = ep.nz = 0;
      if (place && reads_normal(b->tree)) side_normal(p, &ep, n, k, uint16_t(bcs->data[i]));
      int32_t c = place ? loading_localize_node(&ep, &p->mesh, n, 0) : loading_node_cell(&p->mesh, n, 0);
      if (c) f(k, n, b, p->mesh.cells.data[c - 1].region);
    }
  }
}

void coupling_set_bvals_0(pde *p, vector2d *table, const double times[2]) {
  TRACE("coupling_set_bvals_0");
  // Values given as numbers (or none) need no point: the nodes are localised only
  // when some value is not a number.
  bool numbers = true;
  auto set = [&](bool place) {
    each_value_node(p, times, false, place, [&](uint16_t k, int32_t n, const bc *b, uint16_t region) {
      const TreeNode *t = bc_tree(b, 1, region);
      if (place || !t || t->opcode == op::realzero || t->opcode == op::realval)
        table->data[k - 1].data[n - 1] = treeval_eval(p, t, &ep);
      else numbers = false;
    });
  };
  set(false);
  if (!numbers) set(true);
}

void coupling_set_bvals_1(pde *p, vectord *table, const double times[2]) {
  TRACE("coupling_set_bvals_1");
  each_value_node(p, times, true, true, [&](uint16_t k, int32_t n, const bc *b, uint16_t region) {
    if (b->type == valuebc || b->type == valuept)
      table->data[row_of(p, k, n) - 1] = treeval_eval(p, bc_tree(b, 0, region), &ep);
  });
}

void coupling_unmap(const vectord *g, pde *p, vector2d *tables) {
  TRACE("coupling_unmap");
  const vector2l *maps = &p->layout.maps;
  for (int32_t k = 1; k <= tables->count && k <= maps->count; k++) {
    const vectorl *mk = &maps->data[k - 1];
    vectord *t = &tables->data[k - 1];
    vectord_resize(t, mk->count, std::max(mk->count, t->capacity));
    for (int32_t n = 0; n < mk->count; n++) t->data[n] = g->data[mk->data[n] - 1];
  }
}
