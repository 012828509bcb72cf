// eqns: the equation lists of the formula set (the EQUATIONS section and the
// equations given with the initial values) and the initial-value trees.
#pragma once
#include <cstdint>

#include "model/trees.h"
#include "runtime/strings.h"

struct equation {
  String name1, name2;     // owned
  TreeNode *tree;          // the equation as written (owned)
  TreeNode *second;        // a second tree given with it (owned)
  // Per-region lists that equation analysis fills (entries 1..region count, null
  // where the region takes no part).
  treevector steady;     // the variable part without its time terms
  treevector source;     // integral of the negated variable-free part
  treevector volume;     // volume Galerkin integral
  treevector surface;    // surface (boundary) Galerkin integral
  treevector timeint;    // time Galerkin integral, sized on first use
  treevector spare;      // the surface integral before sharing (normal-derivative conditions read it)
  treevector uptime;     // upwind time residual: the time terms at a point, sized with the upwind lists
  treevector upwind;     // upwind residual, sized with the next three on first use
  treevector diffusion;  // upwind diffusion coefficient
  treevector velocity;   // upwind velocity vector
  treevector upspare;    // sized with the upwind lists, left empty
  // Jacobians per region, then unknown (time Jacobians, upwind ones too: then field variable).
  treevectors voljac, surfjac, timejac, uptimejac, upjac;
};

// Equations 1..count (equation k is items[k-1]); the array grows by 8.
struct eqnlist {
  uint16_t count;
  uint16_t capacity;
  equation **items;
};

extern uint16_t eqns_debug;  // the FORMULAS debug switch of the current problem

int eqns_init();

// Appends a zeroed equation and returns its number.
uint16_t eqns_new_equation(eqnlist *list);
// Stores the tree of equation number (an earlier one is freed); _0 clears the second
// tree pointer, _1 stores second too. A number outside 1..count stops with
// "UNDEFINED EQUATION".
void eqns_define_equation_0(eqnlist *list, uint16_t number, TreeNode *tree);
void eqns_define_equation_1(eqnlist *list, uint16_t number, TreeNode *tree, TreeNode *second);
// The tree for region 0, else the region's entry of the per-region list (null when
// the list does not reach the region).
TreeNode *eqns_find_equation_tree(const eqnlist *list, uint16_t number, uint16_t region);
// Stores tree as the initial value of variable (from 1; an earlier tree is freed),
// lengthening the vector to the variable number.
void eqns_define_initial(treevector *v, uint16_t variable, TreeNode *tree);
// free_0 frees one equation's names, trees and lists; free_1 the list with its records.
void eqns_free_0(equation *e);
void eqns_free_1(eqnlist *list);
