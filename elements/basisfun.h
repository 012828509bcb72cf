// basisfun: the shape functions of every basis code in local (barycentric)
// coordinates, their local first and second derivatives, the basis node coordinates,
// the choice of basis from dimension and order, and the small basis work containers.
#pragma once
#include <cstdint>
#include <cstdio>

#include "elements/elements.h"
#include "runtime/strings.h"

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

// ---- Basis work containers: {u16 count, u16 capacity, elements numbered from 1} ----------
typedef double BasisRow[20];  // one value per basis function
struct BasisPointers {
  uint16_t count, capacity;
  void **data;
};
struct BasisRows {
  uint16_t count, capacity;
  BasisRow *data;
};
struct LocalPointList {
  uint16_t count, capacity;
  LocalPoint *data;
};

// Takes storage of exactly cap elements, keeping the first count; a count above cap
// stops with "VECTOR COUNT ERROR".
void basisfun_resize_0(BasisPointers *v, uint16_t n, uint16_t cap);
void basisfun_resize_1(BasisRows *v, uint16_t n, uint16_t cap);
void basisfun_free_0(BasisPointers *v);
void basisfun_free_1(BasisRows *v);
void basisfun_free_2(LocalPointList *v);
// Local-point lists: new stops with "NEW VECTOR ALREADY ALLOCATED" on a list with
// storage; resize_2 ("INVALID VECTOR" for none) grows only, setting the count.
void basisfun_new(LocalPointList *v, uint16_t n, uint16_t cap);
void basisfun_resize_2(LocalPointList *v, uint16_t n, uint16_t cap);
// Appends p, growing to capacity*6/5+10 (at most 65535) when full; returns the count.
int32_t basisfun_one_more(LocalPointList *v, const LocalPoint &p);
// Puts p at position i (1-based), moving the later points up; beyond count appends.
void basisfun_insert(LocalPointList *v, int32_t i, const LocalPoint &p);
// Removes the point at position i; beyond count does nothing.
void basisfun_delete_index(LocalPointList *v, int32_t i);
// Lists the points under the title with ncoords+1 coordinates (at least two).
void basisfun_print(FILE *out, const LocalPointList *v, uint16_t ncoords, const String *title);
void basisfun_copyto(double *to, const double *from);
void basisfun_clear(BasisRows *v);
// Distance of two local points over the first dimension+1 coordinates of the code.
double basisfun_distance(const double *a, const double *b, int32_t code);
double basisfun_distance2(const double *a, const double *b, int32_t code);
