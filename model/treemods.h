// treemods: tree rewritings that bring formulas into Galerkin weak form (splits by
// class, order and coordinate, vector operators through the metric, integration by
// parts) and the utilities that prepare trees: substitution of definitions and of
// user-function arguments, shared subexpressions, fit collection, small searches.
//
// Split nodes stand for the sum of their children: kkkrhs(V, S) the variable part and
// the source, kkktime(T, R) the time part and the rest, kkkord(order 2-3, order 1,
// order 0), kkkxyz(x, y, z lists). An absent child is zero.
#pragma once
#include <cstdint>

#include "model/trees.h"
#include "runtime/vectorn.h"

struct pde;

extern uint16_t treemods_debug;  // the TREEMODS debug switch of the current problem

int treemods_init();

// The tree with every definition (param, and stageparam shifted to the running stage)
// replaced by a copy of its tree for the region (expanded form first), itself
// substituted, and every user-function call replaced by its definition with the call's
// arguments in place of the function's argument leaves; inside an EVAL's expression only
// the definitions under a derivative (the rest are evaluated in the region of the
// point), and not in its point. mark sets the used flag of
// each definition met. Calls nested beyond 10 deep are the parse error "Recursive
// Evaluation" at the call; an operator it does not accept is an illegal operator.
// A shared definition (a long chain's link) keeps its reference.
TreeNode *treemods_copy_params(pde *p, TreeNode *tree, uint16_t region, uint8_t mark);
// Whether the tree is a scalar of numbers and coordinates alone, under arithmetic and
// plain functions, with shared definitions the only references: a value the same
// wherever it is evaluated from, free of the unknowns, the time and any derivative.
bool treemods_plain(const pde *p, const TreeNode *tree);

// ---- Splits (the classes of the tree set by the classifier; an operator a split does
// not accept is the parse error "ILLEGAL OPERATOR: " at the node) -----------------------
// The tree split into kkkrhs(variable part, variable-free part) where it has both. With
// within set a derivative is split too (it is linear): an eigenvalue equation's LAMBDA
// terms inside a divergence leave it for the LAMBDA side.
TreeNode *treemods_segregate_rhs(TreeNode *tree, bool within = false);
// The tree split into kkktime(time part, rest) where it has both.
TreeNode *treemods_segregate_time(TreeNode *tree);
// The tree split into kkkord(second and third order, first order, zero order).
TreeNode *treemods_segregate_order(TreeNode *tree);
// Moves every term of the sum tree (consumed) into the x, y or z list of the kkkxyz
// node by the coordinate of its derivative factor, with sign (+1 or -1); terms
// without one are dropped.
void treemods_segregate_coord(TreeNode *tree, TreeNode *list, uint16_t variable, int sign);

// ---- Weak form --------------------------------------------------------------------------
// Moves derivatives outward: variable leaves with selectors become deriv nodes,
// multiple selectors one deriv each, sums of like derivatives one derivative, and
// products are reordered so that the factor of highest order is outermost.
TreeNode *treemods_pullup(TreeNode *tree, uint16_t region);
// Distributes the tree (consumed) over the body integral node (its child is the body
// list) and the kkkxyz surface lists, integrating second-order terms (and first-order
// ones when firstparts is set) by parts.
void treemods_galerkinize(TreeNode *tree, TreeNode *body, TreeNode *list, uint16_t region, uint8_t firstparts);
// The sum over the problem's coordinates k of op_k(A_k + B_k), op (integral or
// bintegral) carrying selector k; A and B stay the caller's.
TreeNode *treemods_combine_xyz(pde *p, TreeNode *a, TreeNode *b, int32_t opcode);
// The tree with div, grad, curl and del2 written out in derivatives through the
// problem's metric, and dot and cross products of vectors multiplied out. Fatal:
// "DIVERGENCE OF SCALAR", "BAD METRIC", "CURL OF SCALAR", "NULL DIMENSION",
// "GRADIENT OF VECTOR".
TreeNode *treemods_expand_vecops(pde *p, TreeNode *tree, uint16_t region);

// ---- Shared subexpressions -----------------------------------------------------------
// Every node under node (children first) that is not a constant and equals an earlier
// subtree of root becomes a subref to that subtree.
void treemods_find_common(TreeNode *root, TreeNode *node);
// Gives every subref of the tree a slot of the list (its target entered once, the
// list holding node pointers it does not own); a new target becomes a subdef over its
// former content. A subref without target is fatal "INVALID SUBREF".
void treemods_link_common(TreeNode *tree, treevector *slots);

// ---- Collection, erasures and small operations -----------------------------------------
// Enters (once) in list the number of every derived global the tree refers to, also
// through the definitions for the region.
void treemods_find_fits(pde *p, vectorn *list, TreeNode *tree, uint16_t region);
// Replaces by 1 each leaf of the variable with first and second selectors s1, s2 (the
// other operand of a sum with one such operand by 0); 1 when found.
uint8_t treemods_erase_var(TreeNode *tree, uint16_t variable, uint8_t s1, uint8_t s2);
// Removes the time-derivative marks: variables with a time selector become vardot
// leaves ("Illegal Second Time Derivative" for two), basis leaves lose the mark, basis
// leaves without one become 0; 1 when a marked basis leaf was found.
uint8_t treemods_erase_dot(TreeNode *tree);
// Every lambda leaf becomes 1.
void treemods_erase_lambda(TreeNode *tree);
// Every basis leaf becomes 1 without a first selector, else 0.
void treemods_patch_basis(TreeNode *tree);
// The sum of the components of a vector or kkkxyz node (consumed).
TreeNode *treemods_component_sum(TreeNode *node);
// The largest arity of any vector node of the tree, 0 for none.
uint16_t treemods_vector_dim(const TreeNode *tree);
// Every node of the opcode becomes the value (_0) or is retyped (_1); every other node
// is simplified. copy_substitute does _0 on a copy. stagify: every stageval leaf
// becomes the value.
TreeNode *treemods_substitute_0(TreeNode *tree, int32_t opcode, double value);
TreeNode *treemods_substitute_1(TreeNode *tree, int32_t opcode, int32_t opcode2);
TreeNode *treemods_copy_substitute(const TreeNode *tree, int32_t opcode, double value);
TreeNode *treemods_stagify(TreeNode *tree, double value);

// Adds f times the tree, which must be linear in the coordinates, to the plane
// a·x + b·y + c·z + d: constants add to d, coordinates add f to their
// coefficient, sums and negations are followed, and a product of a constant and a
// coordinate adds f times the constant. Anything else is the parse error "Planar
// Surface Required" at the node.
void treemods_planarize(double *a, double *b, double *c, double *d, TreeNode *tree, double f);

// 1 when a node with the opcode occurs anywhere in the tree.
uint8_t treemods_find_op(const TreeNode *tree, int32_t opcode);
