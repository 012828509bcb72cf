// constrn: the constraint lists of the formula set (the CONSTRAINTS section, and the
// equations of the problem's scalar variables, one record per scalar variable).
#pragma once
#include <cstdint>

#include "model/trees.h"
#include "runtime/strings.h"
#include "runtime/vectort.h"

struct constraint {
  String name1, name2;    // owned
  TreeNode *tree;         // the constraint (owned)
  TreeNode *second;       // a second tree; of a scalar equation its time term (owned)
  TreeNode *written;      // of a scalar equation, the equation as written, which each
                          // analysis (each stage) builds tree from anew (owned)
  treevector list;        // of a scalar equation, the time Jacobians by scalar unknown
  treevectors perregion;  // Jacobians per region, then unknown
  vectort sets[4];        // regions of volume integrals, regions of surface and
                          // boundary integrals, faces, boundaries (filled by assembly)
};

// Constraints 1..count (constraint k is items[k-1]); the array grows by 4.
struct conlist {
  uint16_t count;
  uint16_t capacity;
  constraint **items;
};

extern uint16_t constrn_debug;  // the FORMULAS debug switch of the current problem

int constrn_init();

// Appends a zeroed constraint and returns its number.
uint16_t constrn_new_constraint(conlist *list);
// Stores the tree (an earlier one is freed); a number outside 1..count stops with
// "UNDEFINED CONSTRAINT".
void constrn_define_constraint(conlist *list, uint16_t number, TreeNode *tree);
// free_0 frees one record's names, trees, lists and bit vectors; free_1 the list.
void constrn_free_0(constraint *c);
void constrn_free_1(conlist *list);
