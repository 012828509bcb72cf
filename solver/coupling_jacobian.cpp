// coupling_jacobian: the Jacobian and time matrices of the coupling module, assembled block
// by block with their borders, value and periodic rows, symmetry check and scaling.
#include "runtime/report.h"
#include "solver/coupling.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <cstring>
#include <vector>

#include "model/pdedat_record.h"
#include "domain/dominpde.h"
#include "elements/basisfun.h"
#include "elements/evalpoint.h"
#include "elements/meshes.h"
#include "graphics/display.h"
#include "graphics/msgpump.h"
#include "solver/measures.h"
#include "model/params.h"
#include "model/fits.h"
#include "model/treemods.h"
#include "elements/mfinder.h"
#include "model/treeval.h"
#include "model/trees.h"
#include "runtime/debug.h"
#include "runtime/rtlib.h"
#include "runtime/vectorld.h"
#include "solver/bigmatx.h"
#include "solver/coupling_internal.h"
#include "solver/loading.h"
#include "solver/sparsechol.h"
#include "solver/sparsemx.h"

// The second element buffer (20 x 20 values at most), scratch filled for each element.
static double buf2[400];

static TreeNode *bc_jac(const bc *b, uint16_t region, uint16_t j) {
  uint16_t ix = bcs_find_bc_regix(b, region);
  return ix ? jac_tree(&b->perregion, ix, j) : nullptr;
}
static TreeNode *bc_ratejac(const bc *b, uint16_t region, uint16_t j) {
  uint16_t ix = bcs_find_bc_regix(b, region);
  return ix ? jac_tree(&b->ratejac, ix, j) : nullptr;
}
static int32_t functions(int32_t code) { return code ? elements_functions[code] : 1; }

// The mesher's residual measure applies the FULLERR matrix assembled here transposed;
// the product is set as soon as this assembly is part of the program.
static const bool mtv_installed = (measures_mtv = sparsemx_mtv_0, true);

// The message pump every 1000 cells.
static void pump(int32_t c) {
  if (c % 1000 == 0) msgpump.dispatch(0);
  rtlib_poll_interrupt();
}

// ---- Jacobian blocks ----------------------------------------------------------------------------

static void print_matrix(pde *p, const sparsemx *M, const char *title) {
  if (!coupling_debug && !p->printmatrix) return;
  String label = lit("Printing");
  uint16_t line = display_report(&p->status, 0, &label);
  String t = lit(title);
  if (debug_file) sparsemx_print(debug_file, M, &t);
  display_unreport(&p->status, line);
}

// Loads an element block; a count other than the one computed is reported at the tree.
static void load_block(pde *p, TreeNode *tree, int32_t computed, int32_t nr, int32_t nc, const double *v) {
  if (computed == nr && nc > 1) {  // one coefficient for every trial function
    for (int32_t a = nr - 1; a >= 0; a--)
      for (int32_t b = 0; b < nc; b++) buf2[a * nc + b] = v[a];
    v = buf2;
    computed = nr * nc;
  }
  int32_t load = loading_load_cell_block(&p->block, nr, nc, &cellrec, v);
  if (load != computed) {
    debug_printf("NBLOCK=%d, LOAD=%d, WANT=%d\n", computed, load, nr * nc);
    String m = lit("BLOCK COUNT MISMATCH");
    report_parse_err_1(p, tree, &m);
  }
}

// Folds the slave rows of the block into their masters and ties each slave to its master.
// A periodic (not antiperiodic) slave's columns are folded into its master's too, and its
// tie D (u_s - u_m) = 0 is mirrored in the master's row by D (u_m - u_s), which is zero
// wherever the tie holds: a symmetric problem stays symmetric, and takes the symmetric
// solvers, as its twin without the periodic condition does.
static void fold_block(pde *p) {
  const vectorll *im = &p->mesh.images;
  if (im->count == 0) return;
  double pf = perfactor(p);
  bool mirror = pf == 1.0;
  if (!mirror) p->symmetric = 0;
  sparsemx *B = &p->block;
  std::vector<double> ties(size_t(im->count), 0.0);
  for (int32_t i = 0; i < im->count; i++) {
    int32_t s = im->keys[i], m = im->values[i];
    vectorld *r = &B->data[s - 1];
    double d = 0;
    for (int32_t e = 0; e < r->count; e++) {
      int32_t c = r->keys[e];
      double v = r->values[e];
      int32_t t = p->mesh.nodes.data[c - 1].image;
      if (t > 0) sparsemx_addto_0(B, m, t, v);
      else sparsemx_addto_0(B, m, c, pf * v);
      if (c == s) d = pf * v;
      else r->values[e] = 0;
    }
    sparsemx_store(B, s, m, -d);
    ties[size_t(i)] = d;
  }
  if (!mirror) return;
  // Each slave's master (0: not a slave).
  std::vector<int32_t> master(size_t(B->rows) + 1, 0);
  for (int32_t i = 0; i < im->count; i++)
    if (im->keys[i] >= 1 && im->keys[i] <= B->rows) master[size_t(im->keys[i])] = im->values[i];
  std::vector<std::pair<int32_t, double>> moved;
  for (int32_t q = 1; q <= B->rows; q++) {
    if (master[size_t(q)] > 0) continue;
    vectorld *r = &B->data[q - 1];
    moved.clear();
    for (int32_t e = 0; e < r->count; e++) {
      int32_t c = r->keys[e];
      int32_t t = c >= 1 && c <= B->rows ? master[size_t(c)] : 0;
      if (t > 0 && r->values[e] != 0) moved.emplace_back(t, r->values[e]), r->values[e] = 0;
    }
    for (const auto &[t, v] : moved) sparsemx_addto_0(B, q, t, v);
  }
  for (int32_t i = 0; i < im->count; i++) {
    int32_t s = im->keys[i], m = im->values[i];
    sparsemx_store(B, m, s, -ties[size_t(i)]);
    sparsemx_addto_0(B, m, m, ties[size_t(i)]);
  }
}

// The block's diagonal to every Jacobian-diagonal request for (i, j).
static void get_jdiag(pde *p, uint16_t i, uint16_t j) {
  for (int32_t k = 0; k < p->jacfits.count; k++) {
    uint16_t f = p->jacfits.data[k];
    if (f < 1 || f > p->formulas.fits.count || f > p->globals.count) continue;
    const fit *ft = p->formulas.fits.items[f - 1];
    if (ft->block[0] != i || ft->block[1] != j) continue;
    pdeglobal *g = &p->globals.items[f - 1];
    int32_t n = p->block.rows;
    vectord_resize(&g->values, n, std::max(n, g->values.capacity));
    for (int32_t r = 1; r <= n; r++) g->values.data[r - 1] = sparsemx_fetch(&p->block, r, r);
    g->valid = 1;
  }
}

static void clear_block(pde *p) { sparsemx_clear(&p->block); }

// One block of volume (or, with time set, time) Jacobians of equation i by variable j.
static void jmatrix(pde *p, uint16_t i, uint16_t j, bool time) {
  clear_block(p);
  Mesh *m = &p->mesh;
  equation *eq = eqn(p, i);
  int32_t ri = vbasis(p, i), cj = vbasis(p, j), nr = functions(ri), nc = functions(cj);
  for (int32_t c = 1; c <= m->cells.count; c++) {
    if (!m->cells.data[c - 1].alive) continue;
    const MeshCell *cell = localize(p, c, 0);
    uint16_t R = cell->region;
    TreeNode *tree = jac_tree(time ? &eq->timejac : &eq->voljac, R, j);
    if (tree) load_block(p, tree, treeval_vol_jacobian(p, buf, tree, &ep, ri, cj), nr, nc, buf);
    {
      // Natural sides by the residual's rule, so that A stays the derivative of F
      // also on a side inside one region (D takes a dynamic boundary's time part).
      int dim = elements_dimension[cell->basis];
      for (int s = 1; s <= dim + 1; s++) {
        if (!cell->bdid[s - 1] || !takes_side(p, c, cell, s)) continue;
        uint16_t b = side_bc(p, cell, s, i);
        if (!b || !bcs_side_integral(bcrec(p, b))) continue;
        // Rates stand only in natural conditions.
        if (time && bcrec(p, b)->type != naturalbc) continue;
        TreeNode *st = time ? bc_ratejac(bcrec(p, b), R, j) : bc_jac(bcrec(p, b), R, j);
        if (zero_tree(st)) continue;
        ep.side = uint8_t(s);
        int32_t n = treeval_surf_jacobian(p, buf, st, &ep, ri, cj);
        ep.side = 0;
        load_block(p, st, n, nr, nc, buf);
      }
    }
    pump(c);
  }
  if (!time) {
    const vectorl *nodes = i <= p->loadnodes.count ? &p->loadnodes.data[i - 1] : nullptr;
    for (int32_t k = 0; nodes && k < nodes->count; k++) {
      int32_t n = nodes->data[k];
      if (!loading_localize_node(&ep, m, n, 0)) continue;
      TreeNode *t = bc_jac(bcrec(p, uint16_t(p->loadbcs.data[i - 1].data[k])), ep.region, j);
      if (t) sparsemx_addto_0(&p->block, n, n, treeval_eval(p, t, &ep));
    }
  }
  fold_block(p);
  if (i == j && m->delnodes > 0)
    for (int32_t n = 1; n <= m->nodes.count; n++)
      if (!m->nodes.data[n - 1].alive) sparsemx_store(&p->block, n, n, 1.0);
  if (!time) get_jdiag(p, i, j);
}

// One block of upwind (with time set, upwind time) Jacobians of equation i by variable j.
static void upwind_matrix(pde *p, uint16_t i, uint16_t j, bool time) {
  clear_block(p);
  Mesh *m = &p->mesh;
  equation *eq = eqn(p, i);
  int32_t ri = vbasis(p, i), cj = vbasis(p, j);
  double sign = upsign(p, i);
  for (int32_t c = 1; c <= m->cells.count; c++) {
    if (!m->cells.data[c - 1].alive) continue;
    uint16_t R = m->cells.data[c - 1].region;
    TreeNode *tree = jac_tree(time ? &eq->uptimejac : &eq->upjac, R, j);
    if (zero_tree(tree)) continue;
    localize(p, c, 0);
    int32_t n = treeval_upwind_jacobian(p, buf, tree, region_tree(&eq->diffusion, R), region_tree(&eq->velocity, R),
                                        region_tree(&eq->upspare, R), &ep, ri, cj, sign);
    load_block(p, tree, n, functions(ri), functions(cj), buf);
    pump(c);
  }
  fold_block(p);
}

// Entry (r, c) of A += v; returns the new value.
static double add_at(pde *p, int32_t r, int32_t c, double v) {
  vectorld *row = &p->matrix.data[r - 1];
  int32_t at = bigmatx_find(row->keys, row->count, c);
  if (at < 0) rtlib_fatal_in("coupling_add", "MISSING ELEMENT");
  return row->values[at] += v;
}
static void store_at(sparsemx *M, int32_t r, int32_t c, double v) {
  vectorld *row = &M->data[r - 1];
  int32_t at = bigmatx_find(row->keys, row->count, c);
  if (at < 0) rtlib_fatal_in("coupling_store", "MISSING ELEMENT");
  row->values[at] = v;
}

// Whether the constraint selects the cell.
static bool selects(const constraint *con, const MeshCell *cell) {
  if (vectort_if_bit(&con->sets[0], cell->region)) return true;
  if (!vectort_if_bit(&con->sets[1], cell->region)) return false;
  int dim = elements_dimension[cell->basis];
  for (int s = 1; s <= dim + 1; s++)
    if (cell->bdid[s - 1] && vectort_if_bit(dim == 3 ? &con->sets[2] : &con->sets[3], cell->bdid[s - 1])) return true;
  return false;
}

// Row r of A gains the integral Jacobians of the global record con by the field
// variables 1..nvar over the cells it selects (all with every set), and with mirror
// each resulting entry is also stored at (column, r).
static void border_row(pde *p, constraint *con, int32_t r, uint16_t nvar, bool every, bool mirror) {
  Mesh *m = &p->mesh;
  sparsemx_clear_row(&p->matrix, r);
  for (int32_t c = 1; c <= m->cells.count; c++) {
    const MeshCell *cell = &m->cells.data[c - 1];
    if (!cell->alive || (!every && !selects(con, cell))) continue;
    localize(p, c, 0);
    for (uint16_t v = 1; v <= nvar; v++) {
      TreeNode *tree = jac_tree(&con->perregion, cell->region, v);
      if (!tree) continue;
      int32_t n = treeval_constraint_jacobian(p, buf, tree, &ep, vbasis(p, v), con);
      ep.constr = nullptr, ep.constrflag = 0;
      for (int32_t a = 0; a < n; a++) {
        if (buf[a] == 0) continue;
        int32_t col = row_of(p, v, cellrec.nodes[a]);
        double x = add_at(p, r, col, buf[a]);
        if (mirror) store_at(&p->matrix, col, r, x);
      }
    }
    pump(c);
  }
}

// The sign of the field rows a constraint's border enters: its row takes it, so that the
// mirrored border stays symmetric once the rows are scaled (a diffusion written either
// way round). Fields of both signs leave no symmetric scaling.
static double border_sign(pde *p, const constraint *con) {
  double sign = 0;
  for (uint16_t v = 1; v <= eqcount(p); v++)
    for (int32_t g = 1; g <= con->perregion.count; g++) {
      if (zero_integral(jac_tree(&con->perregion, uint16_t(g), v))) continue;
      double own = p->scalesign.data[v - 1];
      if (sign != 0 && sign != own) p->symmetric = 0;
      sign = own;
      break;
    }
  return sign != 0 ? sign : -1.0;
}

static void constraint_rows(pde *p) {
  String label = lit("Constraint");
  uint16_t line = display_report_num(&p->status, 0, &label, 0);
  for (uint16_t k = 1; k <= p->nconstraints; k++) {
    display_update_num(&p->status, line, k);
    int32_t r = p->ns + k;
    constraint *con = p->formulas.constraints.items[k - 1];
    border_row(p, con, r, eqcount(p), false, true);
    store_at(&p->matrix, r, r, 0.0);
    p->firstscale.data[r - 1] = border_sign(p, con);
    p->secondscale.data[r - 1] = 1.0;
  }
  display_unreport(&p->status, line);
}

// The scalar-by-scalar block of scalar equation con's row r: each entry is the
// derivative tree by that scalar evaluated once, its integrals taken over every cell
// the equation selects. Per cell the tree is evaluated with the cell's share of the
// integrals and with the integrals left out; the pointwise part enters once.
static void scalar_block(pde *p, constraint *con, int32_t r) {
  Mesh *m = &p->mesh;
  uint16_t F = p->nfield;
  std::vector<bool> once(p->nscalar, false);  // the pointwise part entered
  for (int32_t c = 1; c <= m->cells.count; c++) {
    const MeshCell *cell = &m->cells.data[c - 1];
    if (!cell->alive) continue;
    localize(p, c, 0);
    for (uint16_t s = 1; s <= p->nscalar; s++) {
      TreeNode *tree = jac_tree(&con->perregion, cell->region, uint16_t(F + s));
      if (zero_tree(tree)) continue;
      treeval_constraint_jacobian(p, buf, tree, &ep, 0, con);
      treeval_constraint_jacobian(p, buf2, tree, &ep, 0, nullptr);
      double v = buf[0] - (once[s - 1] ? buf2[0] : 0.0);
      once[s - 1] = true;
      if (v != 0) add_at(p, r, p->nf + s, v);
    }
    ep.constr = nullptr, ep.constrflag = 0;
    pump(c);
  }
}

// The point values (VAL) scalar equation con's row r reads: each enters through the
// basis values of its point in the cell that holds it, times the derivative of the
// equation by the value, taken by a central difference on the value.
static void point_value_cols(pde *p, constraint *con, int32_t r) {
  vectorn list = {};
  treemods_find_fits(p, &list, con->tree, 0);
  const fitlist &fits = p->formulas.fits;
  for (int32_t i = 0; i < list.count; i++) {
    uint16_t f = list.data[i];
    if (f < 1 || f > fits.count || f > p->globals.count) continue;
    fit *ft = fits.items[f - 1];
    pdeglobal *g = &p->globals.items[f - 1];
    const TreeNode *at = ft->second;
    bool extreme = ft->kind == op::globalmax || ft->kind == op::globalmin;
    if (!g->valid || !(extreme || (ft->kind == op::evalop && at && at->opcode == op::pointval))) continue;
    // The equation's derivative by the value.
    ep.cellno = 0;
    double v0 = g->value, h = 1e-6 * (std::fabs(v0) + 1e-3);
    g->value = v0 + h;
    double up = treeval_eval(p, con->tree, &ep);
    g->value = v0 - h;
    double down = treeval_eval(p, con->tree, &ep);
    g->value = v0;
    double a = (up - down) / (2 * h);
    if (a == 0 || !std::isfinite(a)) continue;
    // The point (where an extreme lies), its cell, and the value's derivative by each
    // field variable there.
    if (extreme) {
      ep.x = g->location[0], ep.y = g->location[1], ep.z = g->location[2];
    } else {
      ep.x = treeval_eval(p, at->child[0], &ep);
      ep.y = treeval_eval(p, at->child[1], &ep);
      ep.z = p->dimension == 3 && at->child[2] ? treeval_eval(p, at->child[2], &ep) : 0;
    }
    ep.cell = &cellrec;
    int32_t c = p->dimension == 3 ? mfinder_find_cell3(&ep, &p->mesh, 0.01) : mfinder_find_cell2(&ep, &p->mesh, 0.01);
    if (c < 0) c = -c;
    if (c == 0) continue;
    ep.cellno = uint32_t(c), ep.region = p->mesh.cells.data[c - 1].region, ep.side = 0, ep.qpoint = 0;
    uint16_t R = ep.region;
    if (extreme) {
      // The extreme of a field variable moves with the basis values at its place.
      const TreeNode *t = fits_find_fit_tree(&p->formulas.fits, f, R, 0);
      if (!t || t->opcode != op::varble || t->index < 1 || t->index > p->nfield || t->deriv[0]) continue;
      uint16_t v = uint16_t(t->index);
      int32_t n = elements_basis_sel(buf, 0, 0, vbasis(p, v), ep.local, &cellrec.frame);
      for (int32_t k = 0; k < n; k++)
        if (buf[k] != 0) add_at(p, r, row_of(p, v, cellrec.nodes[k]), a * buf[k]);
      continue;
    }
    if (R < 1 || R > ft->jacobians.count) continue;
    const treevector *row = &ft->jacobians.data[R - 1];
    for (uint16_t v = 1; v <= p->nfield && v <= row->count; v++) {
      TreeNode *jt = row->data[v - 1];
      if (zero_tree(jt)) continue;
      int32_t n = treeval_eval_ba(p, buf, jt, &ep, vbasis(p, v));
      for (int32_t k = 0; k < n && n > 1; k++)
        if (buf[k] != 0) add_at(p, r, row_of(p, v, cellrec.nodes[k]), a * buf[k]);
    }
  }
  ep.cellno = 0;
  vectorn_free(&list);
}

static void scalar_rows(pde *p) {
  String label = lit("Scalar");
  uint16_t line = display_report(&p->status, 0, &label);
  uint16_t F = p->nfield;
  for (uint16_t s = 1; s <= p->nscalar && s <= p->formulas.scalars.count; s++) {
    constraint *con = p->formulas.scalars.items[s - 1];
    border_row(p, con, p->nf + s, F, true, false);
    scalar_block(p, con, p->nf + s);
    point_value_cols(p, con, p->nf + s);
    p->scalefac.data[F + s - 1] = 1.0;
    p->scalesign.data[F + s - 1] = 1.0;
  }
  display_unreport(&p->status, line);
}

// The scalar columns of the field rows. A scalar row then takes the sign of the field
// rows its column enters, so that a symmetric border stays symmetric once the rows are
// scaled; field rows of both signs in one column leave no symmetric scaling.
static void scalar_cols(pde *p) {
  Mesh *m = &p->mesh;
  uint16_t F = p->nfield;
  std::vector<double> sign(p->nscalar, 0.0);
  for (int32_t c = 1; c <= m->cells.count; c++) {
    if (!m->cells.data[c - 1].alive) continue;
    const MeshCell *cell = localize(p, c, 0);
    for (uint16_t s = 1; s <= p->nscalar; s++) {
      int32_t col = p->nf + s;
      for (uint16_t v = 1; v <= F && v <= eqcount(p); v++) {
        TreeNode *tree = jac_tree(&eqn(p, v)->voljac, cell->region, uint16_t(F + s));
        if (zero_tree(tree)) continue;
        int32_t n = treeval_vol_jacobian(p, buf, tree, &ep, vbasis(p, v), 0);
        for (int32_t a = 0; a < n; a++) {
          if (buf[a] == 0) continue;
          add_at(p, row_of(p, v, cellrec.nodes[a]), col, buf[a]);
          double &sg = sign[s - 1], own = p->scalesign.data[v - 1];
          if (sg != 0 && sg != own) p->symmetric = 0;
          sg = own;
        }
      }
      // A natural condition that reads the scalar: its side integrals' column, which no
      // scalar row mirrors.
      int dim = elements_dimension[cell->basis];
      for (uint16_t v = 1; v <= F && v <= eqcount(p); v++)
        for (int sd = 1; sd <= dim + 1; sd++) {
          if (!cell->bdid[sd - 1] || !takes_side(p, c, cell, sd)) continue;
          uint16_t b = side_bc(p, cell, sd, v);
          if (!b || !bcs_side_integral(bcrec(p, b))) continue;
          TreeNode *st = bc_jac(bcrec(p, b), cell->region, uint16_t(F + s));
          if (zero_tree(st)) continue;
          ep.side = uint8_t(sd);
          int32_t n = treeval_surf_jacobian(p, buf, st, &ep, vbasis(p, v), 0);
          ep.side = 0;
          for (int32_t a = 0; a < n; a++)
            if (buf[a] != 0) add_at(p, row_of(p, v, cellrec.nodes[a]), col, buf[a]), p->symmetric = 0;
        }
    }
    pump(c);
  }
  for (uint16_t s = 1; s <= p->nscalar; s++)
    if (sign[s - 1] != 0) p->scalesign.data[F + s - 1] = sign[s - 1];
}

// The borders fold as the blocks do. A slave's field row is its tie alone: its entries in
// the scalar and constraint columns move to its master's row, times the periodic factor,
// as the residual's slave rows do. Where the blocks fold the slaves' columns too (periodic,
// not antiperiodic), so do the scalar and constraint rows, and the border stays symmetric.
static void fold_borders(pde *p) {
  const vectorll *im = &p->mesh.images;
  if (im->count == 0 || p->nt == p->nf) return;
  double pf = perfactor(p);
  std::vector<int32_t> master(size_t(p->nf) + 1, 0);  // each slave row's master row
  for (uint16_t k = 1; k <= eqcount(p); k++)
    for (int32_t i = 0; i < im->count; i++) {
      int32_t s = row_of(p, k, im->keys[i]), m = row_of(p, k, im->values[i]);
      master[size_t(s)] = m;
      vectorld *r = &p->matrix.data[s - 1];
      for (int32_t e = 0; e < r->count; e++) {
        if (r->keys[e] <= p->nf || r->values[e] == 0) continue;
        add_at(p, m, r->keys[e], pf * r->values[e]);
        r->values[e] = 0;
      }
    }
  if (pf != 1.0) return;
  for (int32_t q = p->nf + 1; q <= p->nt; q++) {
    vectorld *r = &p->matrix.data[q - 1];
    for (int32_t e = 0; e < r->count; e++) {
      int32_t c = r->keys[e];
      if (c > p->nf || master[size_t(c)] == 0 || r->values[e] == 0) continue;
      add_at(p, q, master[size_t(c)], r->values[e]);
      r->values[e] = 0;
    }
  }
}

void coupling_vbc_matrix(pde *p, uint8_t timeflag_) {
  TRACE("coupling_vbc_matrix");
  uint16_t E = eqcount(p);
  bool T = timeflag_ && p->tmatrix.rows > 0;
  for (uint16_t k = 1; k <= E; k++) {
    const vectorl *nodes = &p->valuenodes.data[k - 1], *bcs = &p->valuebcs.data[k - 1];
    for (int32_t i = 0; i < nodes->count; i++) {
      int32_t r = row_of(p, k, nodes->data[i]);
      if (bcrec(p, uint16_t(bcs->data[i]))->varying) {
        sparsemx_clear_row(&p->matrix, r);
        if (T) sparsemx_clear_row(&p->tmatrix, r);
      } else {
        sparsemx_clear_rowcol(&p->matrix, r, p->scalefac.data[k - 1]);
        if (T) sparsemx_clear_rowcol(&p->tmatrix, r, 0.0);
      }
    }
  }
  for (uint16_t k = 1; k <= E; k++) {
    const vectorl *nodes = &p->valuenodes.data[k - 1], *bcs = &p->valuebcs.data[k - 1];
    double sf = p->scalefac.data[k - 1];
    for (int32_t i = 0; i < nodes->count; i++) {
      const bc *b = bcrec(p, uint16_t(bcs->data[i]));
      if (!b->varying || bcs_along_side(b)) continue;
      int32_t n = nodes->data[i], r = row_of(p, k, n);
      value_point(p, b, n, k, uint16_t(bcs->data[i]));
      const MeshNode *nd = &p->mesh.nodes.data[n - 1];
      for (int32_t c = 0; c < nd->nodecell.count; c++) {
        const MeshCell *cell = localize(p, nd->nodecell.data[c], 0);
        at_node(p, cell, n);
        for (uint16_t v = 1; v <= E; v++) {
          TreeNode *t = bc_jac(b, cell->region, v);
          if (zero_tree(t)) continue;
          int32_t cnt = treeval_eval_ba(p, buf, t, &ep, p->mesh.meshbasis);
          int32_t nn = elements_functions[cell->basis];
          for (int32_t a = 0; a < nn; a++) {
            double x = cnt == 1 ? buf[0] : a < cnt ? buf[a] : 0.0;
            if (x != 0) add_at(p, r, row_of(p, v, cellrec.nodes[a]), sf * x);
          }
        }
      }
      // A value that reads a scalar unknown is a function of it: the scalar's column,
      // summed over the cells around the node as the row's residual is.
      for (int32_t c = 0; c < nd->nodecell.count && p->nscalar > 0; c++) {
        const MeshCell *cell = localize(p, nd->nodecell.data[c], 0);
        at_node(p, cell, n);
        for (uint16_t s = 1; s <= p->nscalar; s++) {
          TreeNode *t = bc_jac(b, cell->region, uint16_t(p->nfield + s));
          if (zero_tree(t)) continue;
          double x = treeval_eval(p, t, &ep);
          if (x != 0) add_at(p, r, p->nf + s, sf * x);
        }
      }
    }
  }
  // Tangential slopes held along their sides: each column variable's side matrix.
  for (uint16_t k = 1; k <= E; k++) {
    double sf = p->scalefac.data[k - 1];
    each_tangential_side(p, k, [&](const MeshCell *cell, const bc *b, uint16_t bix, const HeldRows &held_rows) {
      int32_t code = p->mesh.meshbasis, nn = elements_functions[cell->basis];
      for (uint16_t v = 1; v <= E; v++) {
        TreeNode *t = bc_jac(b, cell->region, v);
        if (zero_tree(t)) continue;
        int32_t cnt = treeval_surf_tested(p, buf, t, bc_slope(b, cell->region), &ep, code, code);
        int32_t nc = elements_functions[code];
        for (int32_t a = 0; a < nn && (a + 1) * nc <= cnt; a++) {
          int32_t node = cellrec.nodes[a];
          if (held_rows[size_t(node)] != bix) continue;
          for (int32_t c = 0; c < nn && c < nc; c++)
            if (buf[a * nc + c] != 0)
              add_at(p, row_of(p, k, node), row_of(p, v, cellrec.nodes[c]), sf * buf[a * nc + c]);
        }
      }
    });
  }
}

// Ties the nodes a lower-order variable does not use to the vertices of their edge.
static void simplex_matrix(pde *p) {
  int32_t mb = p->mesh.meshbasis;
  if (mb == tet10 || mb == tet20) {
    for (uint16_t k = 1; k <= eqcount(p); k++)
      if (vbasis(p, k) != mb) rtlib_fatal_in("simplex_matrix", "unimplemented");
    return;
  }
  if (mb != tri6 && mb != tri9) return;
  static const int v1[3] = {1, 2, 3}, v2[3] = {2, 3, 1}, mid[3] = {6, 4, 5}, near1[3] = {6, 4, 5}, near2[3] = {9, 7, 8};
  for (uint16_t k = 1; k <= eqcount(p); k++) {
    if (vbasis(p, k) == mb) continue;
    double s = p->scalefac.data[k - 1];
    for (int32_t c = 1; c <= p->mesh.cells.count; c++) {
      const MeshCell *cell = &p->mesh.cells.data[c - 1];
      if (!cell->alive) continue;
      auto row = [&](int place) { return row_of(p, k, cell->nodes.data[place - 1]); };
      for (int e = 0; e < 3; e++) {
        int32_t a = row(v1[e]), b = row(v2[e]);
        if (mb == tri6) {
          int32_t q = row(mid[e]);
          store_at(&p->matrix, q, q, s), store_at(&p->matrix, q, a, -0.5 * s), store_at(&p->matrix, q, b, -0.5 * s);
        } else {
          int32_t q1 = row(near1[e]), q2 = row(near2[e]);
          store_at(&p->matrix, q1, q1, s), store_at(&p->matrix, q1, a, -0.666666667 * s);
          store_at(&p->matrix, q1, b, -0.333333333 * s);
          store_at(&p->matrix, q2, q2, s), store_at(&p->matrix, q2, b, -0.666666667 * s);
          store_at(&p->matrix, q2, a, -0.333333333 * s);
        }
      }
    }
  }
}

static void check_symmetry(pde *p) {
  if (p->symmetric) {
    String label = lit("Checking Symmetry");
    uint16_t line = display_report(&p->status, 0, &label);
    if (!loading_check_symmetry(&p->matrix, &p->scalefac, 1e-6, p->nfield, p->mesh.nodes.count)) p->symmetric = 0;
    display_unreport(&p->status, line);
  }
  if (!p->symmetric && p->solver == 0) coupling_take_nonsymmetric(p);
}

void coupling_take_nonsymmetric(pde *p) {
  p->solver = 1;
  if (on(p->iccg)) p->precon = 4;
  else if (block_or(p, 0) == 3) p->precon = 3;
  else p->precon = on(p->ataprecon) ? 2 : 1;
}

// The variables' ranges from the current solution: the declared range where one is
// given, else the largest magnitude of its values, else 1.
static void refresh_ranges(pde *p, vector2d *u) {
  uint16_t V = uint16_t(p->nfield + p->nscalar);
  vectord_resize(&p->ranges, V, std::max<int32_t>(V, p->ranges.capacity));
  for (uint16_t k = 1; k <= V; k++) {
    double r = k <= p->vars.count ? p->vars.items[k - 1].width : 0.0;
    if (!(r > 0) && u && k <= u->count) {
      const vectord *x = &u->data[k - 1];
      for (int32_t i = 0; i < x->count; i++) r = std::max(r, std::fabs(x->data[i]));
    }
    p->ranges.data[k - 1] = r > 0 ? r : 1.0;
  }
}

static void scale_factors(pde *p) {
  double sum = 0;
  uint16_t V = uint16_t(p->nfield + p->nscalar);
  for (uint16_t k = 1; k <= V; k++) {
    double sf = p->scalefac.data[k - 1], sg = p->scalesign.data[k - 1], rowv, colv;
    if (p->scaling) {
      p->savedscale.data[k - 1] = sf;
      colv = p->ranges.data[k - 1];
      rowv = !p->symmetric && sf != 0 ? 1.0 / sf : colv * sg;
    } else {
      p->savedscale.data[k - 1] = sg;
      rowv = sg;
      colv = 1.0;
    }
    const vectorl *mk = &p->layout.maps.data[k - 1];
    for (int32_t n = 0; n < mk->count; n++) {
      int32_t r = mk->data[n];
      if (r < 1 || r > p->ns) {
        String m = lit("BAD INMAP");
        report_exec_err_0(p, &m);
      }
      p->firstscale.data[r - 1] = rowv;
      p->secondscale.data[r - 1] = colv;
    }
    sum += sf * sf;
  }
  uint16_t E = eqcount(p);
  p->rmsscale = std::sqrt(sum / (E ? E : 1));
  if (p->scaling && p->symmetric)
    for (int32_t r = p->ns + 1; r <= p->nt; r++) p->firstscale.data[r - 1] *= p->rmsscale, p->secondscale.data[r - 1] *= p->rmsscale;
}

const TreeNode *coupling_trap_equation(const pde *p, int32_t k) {
  if (p->timedep || k < 1) return nullptr;
  if (k <= p->nfield) return k <= p->formulas.equations.count ? p->formulas.equations.items[k - 1]->tree : nullptr;
  int32_t s = k - p->nfield;  // a scalar variable's equation
  return s <= p->nscalar && s <= p->formulas.scalars.count ? p->formulas.scalars.items[s - 1]->tree : nullptr;
}

const TreeNode *coupling_trap_row(const pde *p, int32_t i) {
  int32_t F = p->nfield;
  if (i < 0 || p->timedep) return nullptr;
  // A constraint's row: the constraint.
  if (i >= p->ns) {
    int32_t c = i - p->ns;
    return c < p->formulas.constraints.count ? p->formulas.constraints.items[c]->tree : nullptr;
  }
  if (F < 1 && i < p->nf) return nullptr;
  return coupling_trap_equation(p, i < p->nf ? i % F + 1 : F + (i - p->nf) + 1);
}

// The equation of the variable of largest range: the scales follow the ranges, and a range
// too large for the squares of the scaled matrix (a source or a value near the largest
// number) overflows where the scales are applied.
const TreeNode *coupling_trap_widest(const pde *p) {
  int32_t widest = 0;
  for (int32_t k = 1; k <= p->ranges.count; k++)
    if (!widest || p->ranges.data[k - 1] > p->ranges.data[widest - 1]) widest = k;
  return coupling_trap_equation(p, widest);
}

// The equation whose rows hold an entry whose square overflows, else that of the variable
// of largest range: where the ranges are alike (the modes of an eigenvalue run) a coefficient
// near the largest number overflows the squares of the scaled matrix in its own rows.
static const TreeNode *trap_squares(const pde *p) {
  const double root = std::sqrt(std::numeric_limits<double>::max());
  for (int32_t i = 0; i < p->matrix.rows && p->nfield > 0; i++) {
    const vectorld *r = &p->matrix.data[i];
    for (int32_t k = 0; k < r->count; k++)
      if (!(std::fabs(r->values[k]) < root)) return coupling_trap_row(p, i);
  }
  return coupling_trap_widest(p);
}

static void scale_matrix(pde *p) {
  TreesFpScope placed(coupling_trap_widest(p));
  String label = lit("Scaling Matrix");
  uint16_t line = display_report(&p->status, 0, &label);
  for (sparsemx *M : {&p->matrix, &p->tmatrix}) {
    if (M->rows != p->nt || (M == &p->tmatrix && !p->timedep)) continue;
    sparsemx_pre_scale_matrix(M, &p->firstscale);
    sparsemx_post_scale_matrix(M, &p->secondscale);
  }
  display_unreport(&p->status, line);
}

static void unscale_matrix(pde *p) {
  for (sparsemx *M : {&p->matrix, &p->tmatrix}) {
    if (M->rows != p->nt || (M == &p->tmatrix && !p->timedep)) continue;
    sparsemx_pre_unscale_matrix(M, &p->firstscale);
    sparsemx_post_unscale_matrix(M, &p->secondscale);
  }
}

// Sized per-row and per-variable vectors; scales start at 1.
static void size_vectors(pde *p) {
  int32_t NT = p->nt;
  for (vectord *v : {&p->firstscale, &p->secondscale, &p->precscale}) {
    vectord_resize(v, NT, std::max(NT, v->capacity));
    std::fill(v->data, v->data + NT, 1.0);
  }
  int32_t V = p->nfield + p->nscalar;
  for (vectord *v : {&p->scalefac, &p->scalesign, &p->savedscale, &p->timescale}) {
    if (v->count == V) continue;
    vectord_resize(v, V, std::max(V, v->capacity));
    std::fill(v->data, v->data + V, 1.0);
  }
}

// A time run's steps on one mesh scale each variable by the dominant eigenvalue of a diagonal
// block that changes little from step to step: each step's power iteration starts from the
// last one's iterate (the run's scale_starts), where it settles in two or three products
// instead of some fifteen from the alternating start. The starts are forgotten where the run
// takes its rates anew (its start, each new mesh) and where the mesh changes, so a run's
// scales follow its own steps alone. Steady runs and the rate solves start from the
// alternating vector.
using ScaleStarts = std::vector<std::vector<double>>;

// Scale factor and sign of variable i from its diagonal block; starts: the run's kept
// iterates, or none.
static void block_scale(pde *p, uint16_t i, ScaleStarts *starts) {
  double s = 0.0;
  int32_t n = p->block.rows;
  if (n > 0 && starts) {
    // Outside the counted memory, as the kept time blocks.
    if (starts->size() < i) starts->resize(i);
    std::vector<double> &kept = (*starts)[i - 1];
    if (kept.size() != size_t(n)) {
      kept.resize(size_t(n));
      for (int32_t k = 0; k < n; k++) kept[size_t(k)] = (k % 2) ? -1.0 : 1.0;
    }
    vectord x = {n, n, kept.data()};
    s = sparsemx_big_eigen_from(&p->block, &x, 0.01, !p->symmetric);
    // A vanished or overflowed iterate is no start: the next step starts afresh.
    if (s == 0 || !std::isfinite(s)) kept.clear();
  } else if (n > 0) {
    s = sparsemx_big_eigen(&p->block, 0.0, 1.0, 0.01, !p->symmetric);
  }
  p->scalesign.data[i - 1] = s >= 0 ? 1.0 : -1.0;
  p->scalefac.data[i - 1] = s == 0 ? 1.0 : s;
}

// Stop request: the panel's key.
static bool stopped(pde *p) { return display_checkkey(&p->status) || p->stop; }

// The present rates in a time run, none otherwise.
static vector2d *rates_of(pde *p) { return p->timedep && p->udot.count ? &p->udot : nullptr; }

static void space_matrix(pde *p, vector2d *u, const double times[2], ScaleStarts *starts = nullptr) {
  String label = lit("Building Matrix ");
  uint16_t line = display_report_num2(&p->status, 0, &label, 0, 0);
  refresh_ranges(p, u);
  coupling_set_method(p);
  p->rmsscale = 0;
  // A time run's Jacobians may read the rates (a coefficient holding a time derivative).
  context(u, rates_of(p), times[1]);
  uint16_t F = p->nfield, E = eqcount(p);
  for (uint16_t i = 1; i <= F; i++) {
    TreesFpScope placed(coupling_trap_equation(p, i));
    for (uint16_t j = 1; j <= F; j++) {
      display_update_num2(&p->status, line, i, j);
      if (i <= E) jmatrix(p, i, j, false);
      else clear_block(p);
      if (i == j) block_scale(p, i, starts);
      bigmatx_copyto(&p->layout, &p->matrix, i, j, &p->block);
      if (stopped(p)) {
        display_unreport(&p->status, line);
        return;
      }
    }
  }
  display_unreport(&p->status, line);
  if (p->upwind) {
    String ul = lit("Upwind Matrix ");
    uint16_t l2 = display_report_num2(&p->status, 0, &ul, 0, 0);
    for (uint16_t i = 1; i <= E; i++) {
      if (eqn(p, i)->upwind.count == 0) continue;
      for (uint16_t j = 1; j <= E; j++) {
        display_update_num2(&p->status, l2, i, j);
        upwind_matrix(p, i, j, false);
        bigmatx_addto(&p->layout, &p->matrix, i, j, &p->block);
      }
    }
    display_unreport(&p->status, l2);
  }
  if (p->nconstraints > 0) constraint_rows(p);
  if (p->nscalar > 0) scalar_rows(p), scalar_cols(p);
  fold_borders(p);
}

void coupling_ss_matrix(pde *p, vector2d *u, const double times[2]) {
  TRACE("coupling_ss_matrix");
  size_vectors(p);
  sparsemx_clear(&p->matrix);
  space_matrix(p, u, times);
  if (stopped(p)) return;
  coupling_vbc_matrix(p, 0);
  simplex_matrix(p);
  print_matrix(p, &p->matrix, "MODIFIED JACOBIAN MATRIX");
  check_symmetry(p);
  scale_factors(p);
  scale_matrix(p);
  print_matrix(p, &p->matrix, "JACOBIAN MATRIX");
  TreesFpScope placed(trap_squares(p));
  sparsemx_ata_dip_0(&p->precscale, &p->matrix, !p->fullerr);
}

static void scalar_time(pde *p) {
  String label = lit("Scalar Time");
  uint16_t line = display_report(&p->status, 0, &label);
  uint16_t F = p->nfield;
  ep.cellno = 0;
  for (uint16_t s = 1; s <= p->nscalar && s <= p->formulas.scalars.count; s++) {
    constraint *se = p->formulas.scalars.items[s - 1];
    int32_t r = p->nf + s;
    for (uint16_t m = 1; m <= p->nscalar && m <= se->list.count; m++) {
      double v = se->list.data[m - 1] ? treeval_eval(p, se->list.data[m - 1], &ep) : 0.0;
      vectorld *row = &p->tmatrix.data[r - 1];
      int32_t at = bigmatx_find(row->keys, row->count, p->nf + m);
      if (at >= 0) row->values[at] += v;
      if (m == s && at >= 0) p->firstscale.data[r - 1] = p->secondscale.data[r - 1] = row->values[at];
    }
    p->timescale.data[F + s - 1] = 1.0;
    if (p->scalefac.data[F + s - 1] == 0) p->scalefac.data[F + s - 1] = 1.0, p->scalesign.data[F + s - 1] = 1.0;
  }
  display_unreport(&p->status, line);
}

// ---- Time blocks kept while the mesh stands ---------------------------------------------------

// A capacity whose Jacobian reads neither the unknowns, their rates nor the time (a constant, or
// a product and sum of constants and coordinates) gives the same time block at every step on one
// mesh. Once such a block is integrated a third time on one mesh (a linear run builds its time
// matrix for its start rates and once for its steps, and keeps nothing), its values are kept with a record of the trees they were
// integrated from, the fingerprint of the mesh and that of the block's pattern, and taken back
// while all three stand instead of being integrated again at each step. The values live outside
// the counted memory: the run's reported memory stays the run's own.
namespace {
struct KeptTimeBlock {
  int integrated = 0;          // integrations on the present mesh
  bool valid = false;          // values holds the block
  std::vector<double> trees;   // the record of the trees the block was integrated from
  uint64_t pattern = 0;        // the fingerprint of the block's pattern
  std::vector<double> values;  // its entries in row order
};
struct KeptTimeBlocks {
  uint64_t mesh = 0;  // the fingerprint of the mesh the blocks were integrated on
  std::vector<KeptTimeBlock> blocks;
};
KeptTimeBlocks kept_time_blocks;
std::vector<double> kept_time_scratch;
}  // namespace

// Appends a record of the tree (operations, indices, constants) to out; false where some node
// may read anything but the constants and the position.
static bool record_mesh_fixed_tree(pde *p, const TreeNode *n, uint16_t region, std::vector<double> &out, int depth) {
  if (!n) return out.push_back(-1), true;
  if (depth > 200) return false;
  out.insert(out.end(), {double(n->opcode), double(n->arity), double(n->index), double(n->orderclass),
                         double(n->deriv[0] | n->deriv[1] << 8 | n->deriv[2] << 16 | n->deriv[3] << 24)});
  switch (n->opcode) {
    case op::realval: out.push_back(n->value); return true;
    case op::realzero:
    case op::xcoord:
    case op::ycoord:
    case op::zcoord:
    case op::voljac:
    case op::febasis:
    case op::nullvector: return true;
    case op::param: {
      if (n->index < 1 || n->index > p->formulas.definitions.count) return false;
      const TreeNode *d = params_find_param_tree(&p->formulas.definitions, n->index, region);
      return d && record_mesh_fixed_tree(p, d, region, out, depth + 1);
    }
    case op::negateop:
    case op::integral:
    case op::bintegral:
    case op::addop:
    case op::subop:
    case op::mulop:
    case op::divop:
    case op::vector:
    case op::vdot:
      for (int k = 0; k < n->arity; k++)
        if (!record_mesh_fixed_tree(p, n->child[k], region, out, depth + 1)) return false;
      return true;
    default: return false;
  }
}

// The record of every tree jmatrix reads for the time block of equation i by variable j (the
// volume Jacobians by region, the natural conditions' rate Jacobians), false where one reads
// more than the position.
static bool record_time_block_trees(pde *p, uint16_t i, uint16_t j, std::vector<double> &out) {
  out.clear();
  equation *eq = eqn(p, i);
  out.insert(out.end(), {double(vbasis(p, i)), double(vbasis(p, j)), double(eq->timejac.count)});
  for (uint16_t R = 1; R <= eq->timejac.count; R++)
    if (!record_mesh_fixed_tree(p, jac_tree(&eq->timejac, R, j), R, out, 0)) return false;
  for (uint16_t b = 1; b <= p->formulas.bcs.count; b++) {
    const bc *r = bcrec(p, b);
    out.insert(out.end(), {double(r->type), double(bcs_side_integral(r)), double(r->ratejac.count)});
    if (r->type != naturalbc) continue;
    for (uint16_t ix = 1; ix <= r->ratejac.count && ix <= r->regions.count; ix++)
      if (!record_mesh_fixed_tree(p, jac_tree(&r->ratejac, ix, j), uint16_t(r->regions.data[ix - 1]), out, 0))
        return false;
  }
  return true;
}

// The fingerprint (FNV-1a) of what a time block takes from the mesh: its nodes' places and its
// cells' nodes, regions, sides and neighbours.
static uint64_t time_mesh_print(pde *p) {
  const Mesh *m = &p->mesh;
  uint64_t h = 1469598103934665603ull;
  auto mix = [&h](double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    h = (h ^ bits) * 1099511628211ull;
  };
  for (double v : {double(p->dimension), double(p->stage), double(m->meshbasis), double(m->nodes.count),
                   double(m->cells.count), double(m->images.count), double(m->delnodes)})
    mix(v);
  for (int32_t n = 0; n < m->nodes.count; n++) {
    const MeshNode &d = m->nodes.data[n];
    for (double v : {double(d.alive), d.x, d.y, d.z}) mix(v);
  }
  for (int32_t c = 0; c < m->cells.count; c++) {
    const MeshCell &e = m->cells.data[c];
    for (double v : {double(e.alive), double(e.region), double(e.basis), double(e.nodes.count)}) mix(v);
    for (int s = 0; s < 4; s++) mix(double(e.bdid[s])), mix(double(e.neighbour[s]));
    for (int32_t k = 0; k < e.nodes.count; k++) mix(double(e.nodes.data[k]));
  }
  return h;
}

// Fills p->block with the kept time block of (i, j) where it stands; false where it must be
// integrated (and then offered to keep_time_block).
static bool take_time_block(pde *p, uint16_t i, uint16_t j, KeptTimeBlock **slot) {
  *slot = nullptr;
  // Periodic folds and deleted nodes change the block's scheme beyond the mesh's record.
  if (p->moving || p->mesh.images.count || p->mesh.delnodes) return false;
  uint16_t E = eqcount(p);
  KeptTimeBlocks &kept = kept_time_blocks;
  if (kept.blocks.size() != size_t(E) * E) kept.blocks.assign(size_t(E) * E, KeptTimeBlock{});
  KeptTimeBlock &b = kept.blocks[size_t(i - 1) * E + (j - 1)];
  if (!record_time_block_trees(p, i, j, kept_time_scratch)) return b.valid = false, false;
  *slot = &b;
  if (!b.valid || b.trees != kept_time_scratch || b.pattern != sparsemx_pattern_print(&p->block)) return false;
  const sparsemx *B = &p->block;
  size_t v = 0;
  for (int32_t r = 0; r < B->rows; r++) {
    const vectorld *row = &B->data[r];
    if (row->count) std::memcpy(row->values, &b.values[v], size_t(row->count) * sizeof(double));
    v += size_t(row->count);
  }
  return true;
}

static void keep_time_block(pde *p, KeptTimeBlock *b) {
  if (!b) return;
  b->valid = false;
  if (b->trees != kept_time_scratch) b->trees = kept_time_scratch, b->integrated = 0;
  if (++b->integrated < 3) return;
  const sparsemx *B = &p->block;
  std::vector<double>().swap(b->values);  // sized to the block alone
  b->values.reserve(size_t(sparsemx_entries(B)));
  for (int32_t r = 0; r < B->rows; r++)
    b->values.insert(b->values.end(), B->data[r].values, B->data[r].values + B->data[r].count);
  b->pattern = sparsemx_pattern_print(B);
  b->valid = true;
}

// Whether the kept time blocks were integrated on the present mesh; forgets them, and the
// run's scale starts, where not.
static void check_time_mesh(pde *p, ScaleStarts *starts) {
  uint64_t h = time_mesh_print(p);
  if (h == kept_time_blocks.mesh) return;
  kept_time_blocks.mesh = h;
  if (starts) starts->clear();
  for (KeptTimeBlock &b : kept_time_blocks.blocks) b = KeptTimeBlock{};
}

void coupling_tr_matrix(pde *p, vector2d *u, const double times[2], uint8_t withspace, ScaleStarts *scale_starts) {
  TRACE("coupling_tr_matrix");
  size_vectors(p);
  sparsemx_clear(&p->matrix);
  check_time_mesh(p, scale_starts);
  if (!withspace) {
    // The run takes its rates anew (its start, a new mesh, a switch): nothing kept from before
    // serves it, and a block kept by an earlier problem on a mesh of the same fingerprint is
    // never taken for this one's (whose coordinates or quadrature may differ).
    if (scale_starts) scale_starts->clear();
    kept_time_blocks = KeptTimeBlocks{};
  }
  if (withspace) {
    space_matrix(p, u, times, scale_starts);
    if (stopped(p)) return;
  }
  context(u, rates_of(p), times[1]);
  sparsemx_image(&p->tmatrix, &p->matrix);
  String label = lit("Damping Matrix ");
  uint16_t line = display_report_num2(&p->status, 0, &label, 0, 0);
  uint16_t E = eqcount(p);
  for (uint16_t i = 1; i <= E; i++) {
    if (!timeflag(p, i)) continue;
    for (uint16_t j = 1; j <= E; j++) {
      display_update_num2(&p->status, line, i, j);
      KeptTimeBlock *slot = nullptr;
      if (!take_time_block(p, i, j, &slot)) {
        jmatrix(p, i, j, true);
        keep_time_block(p, slot);
      }
      if (i == j && !withspace) {
        block_scale(p, i, nullptr);
        p->timescale.data[i - 1] = p->scalefac.data[i - 1];
      }
      bigmatx_copyto(&p->layout, &p->tmatrix, i, j, &p->block);
      if (stopped(p)) {
        display_unreport(&p->status, line);
        return;
      }
    }
  }
  display_unreport(&p->status, line);
  if (p->upwind)
    for (uint16_t i = 1; i <= E; i++) {
      if (!timeflag(p, i) || eqn(p, i)->uptimejac.count == 0) continue;
      for (uint16_t j = 1; j <= E; j++) {
        upwind_matrix(p, i, j, true);
        bigmatx_addto(&p->layout, &p->tmatrix, i, j, &p->block);
      }
    }
  if (p->nscalar > 0) scalar_time(p);
  coupling_vbc_matrix(p, 1);
  simplex_matrix(p);
  check_symmetry(p);
  scale_factors(p);
  scale_matrix(p);
  print_matrix(p, &p->matrix, "JACOBIAN MATRIX");
  print_matrix(p, &p->tmatrix, "TIME JACOBIAN");
}

void coupling_rescale_matrix(pde *p, vector2d *u, vectord *residual) {
  TRACE("coupling_rescale_matrix");
  // A complete factor kept for the matrix serves it rescaled, where the new scales change
  // its rows and columns alike: its rows take the change, in place of a new factor.
  int32_t n = p->nt;
  bool alike = p->matrix.rows == n && p->firstscale.count == n && p->secondscale.count == n;
  uint64_t before = alike ? sparsemx_fingerprint(&p->matrix) : 0;
  std::vector<double> was1, was2;
  if (alike)
    was1.assign(p->firstscale.data, p->firstscale.data + n), was2.assign(p->secondscale.data, p->secondscale.data + n);
  unscale_matrix(p);
  vectord_divto_0(residual, &p->firstscale);
  refresh_ranges(p, u);
  TreesFpScope placed(coupling_trap_widest(p));
  scale_factors(p);
  scale_matrix(p);
  if (alike) {
    std::vector<double> e(static_cast<size_t>(n));
    for (int32_t i = 0; i < n && alike; i++) {
      double a = p->firstscale.data[i] / was1[size_t(i)], b = p->secondscale.data[i] / was2[size_t(i)];
      e[size_t(i)] = a;
      alike = a > 0 && std::fabs(a - b) <= 1e-14 * a;
    }
    if (alike) sparsechol_rescaled(&p->matrix, before, e.data());
  }
  vectord_multo_0(residual, &p->firstscale);
  sparsemx_ata_dip_0(&p->precscale, &p->matrix, !p->fullerr);
}
