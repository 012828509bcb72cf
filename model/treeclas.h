// treeclas: fills the four class fields of the nodes of a tree (right-hand-side class,
// time class, derivative order, value kind), following definitions, user functions,
// fits and tables into their own trees for the region.
#pragma once
#include <cstdint>

#include "model/trees.h"

struct pde;

extern uint16_t treeclas_debug;  // the TREECLAS debug switch of the current problem

int treeclas_init();

// Each classifier walks the tree children first and sets its field on every node it
// visits; errors are parse errors at the offending node, on problem p.
// rhs class: constex, coordex, varex or lamdex.
void treeclas_classify_rhs(pde *p, TreeNode *tree, uint16_t region);
// time class: timex where a time derivative or the eigenvalue occurs, else spacex.
void treeclas_classify_time(pde *p, TreeNode *tree, uint16_t region);
// order class, from the derivatives of the unknowns; needs the rhs classes set.
// "UNCLASSIFIABLE EXPRESSION", "UNBALANCED ORDER".
void treeclas_classify_order(pde *p, TreeNode *tree, uint16_t region);
// value kind; basis is the kind given to febasis leaves. "RESULT IS NOT SCALAR",
// "TYPE CONFLICT", "Illegal Y-Component", "Illegal Z-Component".
void treeclas_classify_value(pde *p, TreeNode *tree, uint16_t region, int32_t basis);

// The parse error text at the node, on problem p (the message is released on the way
// to the catch point).
[[noreturn]] void treeclas_parse_error(pde *p, TreeNode *node, const char *text);

// The parse error "ILLEGAL OPERATOR: " with the node's name, at the node, on the
// current problem. Every symbolic module reports node kinds it does not accept so.
[[noreturn]] void treeclas_trapop(TreeNode *node);

// The merge of the rhs classes of two operands of an operator (the larger, except
// that varex and lamdex give varex for every operator but the product).
int32_t treeclas_merge_rhs(int32_t opcode, int32_t a, int32_t b);
// The value kind of a sum or difference, product, quotient or complexf of operands
// of kinds a and b (vtag::badtag where they do not combine).
int32_t treeclas_value_kind(int32_t opcode, int32_t a, int32_t b);
