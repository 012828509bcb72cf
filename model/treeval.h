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
// through their definitions for treeval_region and the problem's stage (at most 64
// levels deep: deeper is the fatal "RECURSIVE DEFINITION"); VECTOR lengths are
// taken; the rest is evaluated as simptree_simpeval does (same failures).
double treeval_eval(pde *p, const TreeNode *tree, const evalpoint *point);
// The three components of a vector tree (a scalar tree gives (value, 0, 0)).
void treeval_eval_vec(pde *p, double result[3], const TreeNode *tree, const evalpoint *point);
