// coupling_internal: the evaluation point, localised cell, element buffer and problem
// helpers that the coupling module's residual and Jacobian files share.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "elements/evalpoint.h"
#include "elements/meshes.h"
#include "model/bcs.h"
#include "model/eqns.h"
#include "model/trees.h"
#include "runtime/strings.h"
#include "runtime/vector2d.h"
#include "runtime/vectord.h"

struct pde;

extern LocalCell cellrec;
extern evalpoint ep;
extern double buf[400];

String lit(const char *c);
uint16_t eqcount(const pde *p);
int32_t vbasis(const pde *p, uint16_t k);
bool timeflag(const pde *p, uint16_t k);
equation *eqn(pde *p, uint16_t k);
TreeNode *region_tree(const treevector *v, uint16_t r);
TreeNode *jac_tree(const treevectors *v, uint16_t r, uint16_t j);
bool zero_tree(const TreeNode *t);
bool zero_integral(const TreeNode *t);
bc *bcrec(pde *p, uint16_t b);
TreeNode *bc_rates(const bc *b, uint16_t region);
int32_t row_of(const pde *p, uint16_t k, int32_t n);
double perfactor(const pde *p);
const MeshCell *localize(pde *p, int32_t c, uint16_t mode);
void at_node(pde *p, const MeshCell *cell, int32_t n);
void context(vector2d *u, vector2d *udot, double t);
uint16_t side_bc(pde *p, const MeshCell *cell, int s, uint16_t k);
bool takes_side(pde *p, int32_t c, const MeshCell *cell, int s);
bool on(uint8_t s);
uint8_t block_or(const pde *p, uint8_t other);
double upsign(const pde *p, uint16_t k);
void value_point(pde *p, const bc *b, int32_t n, uint16_t k, uint16_t bix);
// Calls f(cell, condition, its index, held_rows) with the cell localised and ep.side set, for
// every side of the cells around variable k's value nodes whose condition holds a tangential
// slope along its sides; held_rows[n] is the condition whose row node n takes (0: another
// kind, or a value where the sides meet one), made anew by each call.
using HeldRows = std::vector<uint16_t>;
void each_tangential_side(pde *p, uint16_t k,
                          const std::function<void(const MeshCell *, const bc *, uint16_t, const HeldRows &)> &f);
// The tangential slope of the trial functions of such a condition in the region.
TreeNode *bc_slope(const bc *b, uint16_t region);
// Shared with the time run's sources (timsolve_sources.cpp), described where they are defined:
// v := n zeros; the periodic slave rows of variable k folded into their masters; equation k's
// source tree over the cell at count time nodes, added into S with weights w.
void zero(vectord *v, int32_t n);
void fold_rows(pde *p, vectord *V, uint16_t k);
void source_nodes(pde *p, vectord *S, uint16_t k, const TreeNode *tree, evalpoint *pt, double told, double tnew,
                  int32_t count, const double *tau, const double *w);
