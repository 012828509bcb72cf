// coupling_internal: the evaluation point, localised cell, element buffer and problem
// helpers that the coupling module's residual and Jacobian files share.
#pragma once
#include <cstdint>

#include "model/pdedat_record.h"
#include "elements/evalpoint.h"
#include "elements/meshes.h"

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
