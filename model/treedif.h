// treedif: symbolic differentiation of expression trees with respect to a coordinate
// or to an unknown of the discrete system (the Jacobian trees), and the carrying out
// of the derivative operators a tree contains.
#pragma once
#include <cstdint>

#include "model/trees.h"

struct pde;

extern uint16_t treedif_debug;  // the TREEDIF debug switch of the current problem

int treedif_init();

// The derivative of the tree (consumed, also when an error is reported), simplified. s: 1 x, 2 y, 3 z, 4 t, -k unknown
// k (a variable of k becomes the trial basis leaf of k's basis code in p, or 1 without
// one), 0 none. Errors at the offending node: "Can't Differentiate Function", an
// illegal operator for definitions (substitute them first); fatal "TOO MANY
// DERIVATIVES" and "BASIS.U".
TreeNode *treedif_differ(pde *p, TreeNode *tree, int16_t s, uint16_t region);

// The tree with every deriv node (whose operand is not an argument leaf) replaced by
// the derivative of its operand by its selectors (third, second, first, then the
// unknown of the fourth).
TreeNode *treedif_differ_tree(pde *p, TreeNode *tree, uint16_t region);

// vector(d/dx, d/dy) of copies of the tree (current problem, region 0), simplified.
TreeNode *treedif_gradient2(const TreeNode *tree);
// d/dx of the first component plus d/dy of the second, of copies, simplified.
TreeNode *treedif_div2v(const TreeNode *vec);
