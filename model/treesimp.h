// treesimp: algebraic simplification of expression trees (constant folding, signs
// moved outward, neutral operands removed, cancellation), the turning of vector-valued
// parts into explicit vector nodes, and the componentwise dot and cross products.
#pragma once
#include <cstdint>

#include "model/trees.h"

struct pde;

extern uint16_t treesimp_debug;  // the TREESIMP debug switch of the current problem

int treesimp_init();

// Returns the simplified tree (the root may be another node; the old root may have been
// freed) and sets *changed to 1 when any rule applied; it never clears it. Children are
// simplified first (an absent child becomes the constant zero leaf), then the node's own
// rule, repeated until a pass changes nothing. A null tree gives null. A nonzero
// numerator over 0 is the parse error "DIVIDE BY ZERO!" at the node (0/0 folds to 0), on the current
// problem; region is handed to the vector-length rules.
TreeNode *treesimp_simplify(TreeNode *tree, uint16_t region, uint8_t *changed);
// The same on the tree in *slot, which holds a whole tree (the one simplified so far)
// also when an error abandons the simplification, so that its owner can release it.
void treesimp_simplify_in(TreeNode **slot, uint16_t region, uint8_t *changed);

// The tree with vector-valued parts turned into vector nodes where possible:
// definitions (of p for the region) that are vectors are substituted, sums and
// differences simplified, products and quotients by a vector distributed.
TreeNode *treesimp_vectorize(pde *p, TreeNode *tree, uint16_t region);

// The dot or cross product of a vdot or vcross node whose operands are vector
// nodes (a null-vector operand gives 0); other operands stay. Returns the result.
TreeNode *treesimp_v_products(TreeNode *node, uint8_t *changed);
