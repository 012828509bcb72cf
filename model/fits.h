// fits: the derived globals of the formula set (FIT, SAVE, global minima and maxima,
// integrals, values at points, Jacobian blocks), found by kind, keys and tree so
// that each distinct one is computed once.
#pragma once
#include <cstdint>

#include "elements/basisfun.h"
#include "model/trees.h"
#include "runtime/strings.h"
#include "runtime/vectorn.h"
#include "runtime/vectort.h"

struct fit {
  String name;                  // owned
  TreeNode *tree;               // the expression whose derived value is wanted (owned)
  TreeNode *second;             // the second tree of the two-tree kind (owned)
  treevector byregion;          // the prepared tree per region
  treevectors bylayer;          // per region, then layer
  vectorn deps;                 // the derived globals it depends on
  float parameter;              // the smoothing weight of a FIT and similar parameters
  uint16_t key;                 // key of fits_make_fit_0
  uint16_t key1, key2;          // keys of fits_make_fit_1 and fits_make_fit_3
  uint32_t kind;                // the opcode of the derived global (op::fitfun, op::volint ...)
  StringList names;             // upper-cased selector names of an integral
  vectort regions, surfaces, boundaries;  // selections, filled by assembly
  vectorn sides;                // surface integrals: per face, the region it is taken from (0: none)
  BasisRows basis;              // basis rows of the fitting code
  // Filled by analysis and assembly.
  treevectors jacobians;        // derivative trees per region, then unknown
  uint8_t hasjac;               // 1: the record asks for derivatives as well
  int32_t rhsclass;             // the largest right-hand-side class of its region trees
  uint32_t level;               // invalidation level
  uint32_t cell;                // the cell a value at a point was found in
  uint16_t block[2];            // the block pair of a Jacobian block
};

// Derived globals 1..count (record k is items[k-1]); the array grows by 4.
struct fitlist {
  uint16_t count;
  uint16_t capacity;
  fit **items;
};

extern uint16_t fits_debug;  // the FORMULAS debug switch of the current problem

int fits_init();

// Each make operation searches the whole list and returns the last record that
// matches (the tree then stays the caller's), or appends a record that takes the
// tree and returns its number. Trees match by trees_compare.
// _0: kind, key, the stored single-precision parameter widened to double equal to value.
uint16_t fits_make_fit_0(fitlist *list, TreeNode *tree, uint16_t key, double value, uint32_t kind);
// _1: kind, key 1, exactly one name equal to name.
uint16_t fits_make_fit_1(fitlist *list, TreeNode *tree, uint16_t key1, const String *name, uint32_t kind);
// _3: kind, key 1, key 2, the same names in the same order.
uint16_t fits_make_fit_3(fitlist *list, TreeNode *tree, uint16_t key1, uint16_t key2, const StringList *names,
                         uint32_t kind);
// _2: kind, both trees.
uint16_t fits_make_fit_2(fitlist *list, TreeNode *tree, TreeNode *second, uint32_t kind);
// The define operations behind the make operations; a tree the record held is freed.
// A number outside 1..count stops with "UNDEFINED FIT".
void fits_define_fit_0(fitlist *list, uint16_t number, TreeNode *tree, double value, uint16_t key, uint32_t kind);
void fits_define_fit_1(fitlist *list, uint16_t number, TreeNode *tree, uint16_t key1, const String *name,
                       uint32_t kind);
void fits_define_fit_2(fitlist *list, uint16_t number, TreeNode *tree, TreeNode *second, uint32_t kind);
// The record's tree; for a non-zero region whose by-region entry exists that entry;
// then for a non-zero layer (its low byte) whose entry in the region's layer list
// exists, that entry.
TreeNode *fits_find_fit_tree(const fitlist *list, uint16_t number, uint16_t region, uint16_t layer);
// free_0 frees everything one record owns; free_1 the list with its records.
void fits_free_0(fit *f);
void fits_free_1(fitlist *list);
