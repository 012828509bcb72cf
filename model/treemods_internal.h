// treemods's private parts shared by its files: the node helpers of treemods.cpp and
// the derivative tests of treemods_split.cpp.
#pragma once
#include <cstdint>

#include "model/trees.h"

struct metric;
struct pde;

bool is_value(const TreeNode *n);

bool is(const TreeNode *n, int32_t opcode);
bool is_sum(const TreeNode *n);
int children(const TreeNode *n);
// A new node of the opcode over a and b, at the position of at, with classes merged
// from its operands, so that the splitting rules can test what they build.
TreeNode *make(int32_t opcode, TreeNode *a, TreeNode *b, const TreeNode *at);
TreeNode *negate(TreeNode *a);
TreeNode *zero_leaf();
// A derivative node with the one coordinate selector over a.
TreeNode *deriv(int k, TreeNode *a);
// a + b where an absent operand counts as zero.
TreeNode *plus(TreeNode *a, TreeNode *b, const TreeNode *at);
// A list grows by an addop or subop above its tree with the new term second; an
// empty list starts from an absent first operand.
void enter(TreeNode **list, TreeNode *term, int sign);

bool is_deriv(const TreeNode *n);
// The x, y or z list of a kkkxyz node for selector 1..3; null for any other.
TreeNode **xyz_slot(TreeNode *list, int selector);

// treemods_expand_vecops through the problem's metric coords and its dimension
// (treemods_vector.cpp); p's definitions name the vectors a product multiplies.
TreeNode *treemods_vector_expand(pde *p, const metric *coords, uint16_t dimension, TreeNode *tree, uint16_t region);
