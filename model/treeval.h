// treeval: values of expression trees at a point. So far the values the reader
// needs: trees of constants, coordinates and definitions, with the definitions read
// for the evaluator's current region and the problem's stage.
#pragma once
#include <cstdint>

#include "elements/evalpoint.h"
#include "model/trees.h"

struct pde;

extern uint16_t treeval_region;  // the region whose definitions apply; 0 the global ones
extern uint8_t treeval_debug;    // DEBUG(TREEVAL)

int treeval_init();

// The tree's value at the point: definitions (param and stageparam leaves) are read
// through their definitions for treeval_region and the problem's stage; VECTOR
// lengths are taken; the rest is evaluated as simptree_simpeval does (same
// failures). A definition that refers to itself (256 levels), or an expansion
// beyond a million nodes, counts as undefined.
double treeval_eval(pde *p, const TreeNode *tree, const evalpoint *point);
// The same, for a caller that reports failures itself: 1 when the value is in
// *value; 0 when the tree holds a leaf the evaluator cannot take (a variable, an
// undefined definition ...); -1 when it divides a nonzero value by zero.
int treeval_try_eval(pde *p, const TreeNode *tree, const evalpoint *point, double *value);
// The three components of a vector tree (a scalar tree gives (value, 0, 0)).
void treeval_eval_vec(pde *p, double result[3], const TreeNode *tree, const evalpoint *point);
