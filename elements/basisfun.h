// basisfun: the shape functions of every basis code in local (barycentric)
// coordinates, their local first and second derivatives, the basis node coordinates,
// the choice of basis from dimension and order, and the small basis work containers.
#pragma once
#include <cstdint>

#include "elements/elements.h"

int basisfun_init();
// The basis code for (dimension, order), both 1..3; never tri10.
int32_t basisfun_pick_basis(uint16_t dim, uint16_t order);
// The common stop of every basis routine for a code it does not handle.
[[noreturn]] void traporder(int32_t code);

// All values at L into row[0..count-1]; returns the function count.
int basisfun_basis_1(double *row, int32_t code, const double *L);
// The value of function k (1-based) at L; 0 for k outside 1..count.
double basisfun_basis_0(uint8_t k, int32_t code, const double *L);
// Local first derivatives: row c-1 holds dN/dLc for the independent coordinates.
int basisfun_basis_p(double (*d)[20], int32_t code, const double *L);
// Local second derivatives: 1D (11); 2D (11, 12, 22); 3D (11, 12, 13, 22, 23, 33).
int basisfun_basis_pp1(double *d, int32_t code, const double *L);
int basisfun_basis_pp2(double (*d)[20], int32_t code, const double *L);
int basisfun_basis_pp3(double (*d)[20], int32_t code, const double *L);

// Builds the node-coordinate table of codes 1-10 (codes already built are kept).
void basisfun_node_coords();
// The nodes' local points of a code 1-10 once built, else null.
const LocalPoint *basisfun_node_table(int32_t code);
