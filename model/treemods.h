// treemods: tree rewritings that prepare formulas for analysis: substitution of
// definitions and of user-function arguments, and searches for an operator.
#pragma once
#include <cstdint>

#include "model/trees.h"

struct pde;

extern uint16_t treemods_debug;  // the TREEMODS debug switch of the current problem

int treemods_init();

// The tree with every definition (param, and stageparam shifted to the running stage)
// replaced by a copy of its tree for the region (expanded form first), itself
// substituted, and every user-function call replaced by its definition with the call's
// arguments in place of the function's argument leaves. mark sets the used flag of
// each definition met. Calls nested beyond 10 deep are the parse error "Recursive
// Evaluation" at the call; an operator it does not accept is an illegal operator.
TreeNode *treemods_copy_params(pde *p, TreeNode *tree, uint16_t region, uint8_t mark);

// 1 when a node with the opcode occurs anywhere in the tree.
uint8_t treemods_find_op(const TreeNode *tree, int32_t opcode);

// ---- Seam: the reduction to a linear form, until the weak-form rewriting lands -------
// Adds f times the tree, linear in the coordinates, to a x + b y + c z + d.
// For now it adds nothing.
void treemods_planarize(double *a, double *b, double *c, double *d, TreeNode *tree, double f);
