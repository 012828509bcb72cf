// trees: the expression-tree node every formula is made of, the static operator
// table its opcode indexes, tree vectors, and the sideways diagram for the debug log.
#pragma once
#include <cstdint>
#include <cstdio>

#include "runtime/strings.h"
#include "runtime/textin.h"
#include "runtime/treevector.h"

// Opcodes, the rows of the operator table. Several names are also C library
// functions, hence the namespace: op::sqrt, op::addop.
namespace op {
enum : int32_t {
  // leafop
  undef, realzero, realval, xcoord, ycoord, zcoord, tcoord, varble, vardot, eigvec, param,
  stageparam, stageval, fargop, voljac, lambda, febasis, treestring, tableval, xferval, fitfun,
  savefun, partfun, globalmin, globalmax, areaint, volint, surfint, bdryint, minspot, maxspot,
  jelem, deltat, evalop, sumvar,
  // unop
  negateop, intpower, square, sqrt, absf, acosf, asinf, atanf, besjf, besyf, cosf, coshf, erfcf,
  erff, expf, log10, logf, recipf, signf, sinf, sinhf, tanf, tanhf, ustepf, upfactor, lognot,
  passive, gamma, eifun, gammai, expint, randomf, arrayref,
  // binop
  addop, subop, mulop, divop, modf, powerop, atan2f, minf, maxf, urampf, upulsef, ltnop, leqop,
  equop, neqop, geqop, gtrop, logor, logand,
  // integrop
  integral, bintegral,
  // derivop
  deriv, vdiv, grad, vcurl, scurl, del2,
  // complexop
  complex0, complexf, clength, creal, cimag, cexpf,
  // vectorop
  nullvector, vector, vdot, vcross, vlength, vlength2, vxcomp, vycomp, vzcomp, vncomp, vtcomp,
  // weirdop
  ifthen, pointvec, pointval, fparam, sumop, fevalop, subdef, subref, kkkrhs, kkktime, kkkord,
  kkkxyz, lastop
};
}  // namespace op

// Operator groups.
enum : int32_t { leafop, unop, binop, integrop, derivop, complexop, vectorop, weirdop };
// Class tags that classification fills.
enum : int32_t { no_rhsclass, constex, coordex, varex, lamdex };
enum : int32_t { no_timeclass, spacex, timex };
enum : int32_t { no_orderclass, order0, order1, order2, order3 };
namespace vtag {
enum : int32_t { scalar, vector, complex, cvector, badtag };
}

struct OpRow {
  int32_t arity;        // the usual number of children
  int32_t group;        // leafop .. weirdop
  uint8_t commutative;  // 1: the two operands may be exchanged
  char name[11];
};
extern const OpRow trees_optable[op::lastop + 1];
extern const char trees_groupnames[9][10];

struct TreeNode {
  int32_t opcode;      // row of trees_optable
  int32_t group;       // always the table's group of the opcode
  uint8_t arity;       // children in use; every walker reads this, never the table
  uint8_t sweep;       // a volume sweep's class of the node while it is marked (treeval), else 0
  uint16_t memo;       // a volume sweep's slot of a value it keeps, 1-based; 0 outside a sweep
  int32_t rhsclass;    // no_rhsclass .. lamdex
  int32_t timeclass;   // no_timeclass .. timex
  int32_t orderclass;  // no_orderclass .. order3
  int32_t valuetag;    // vtag::scalar .. vtag::badtag
  uint16_t index;      // variable, parameter, table, fit, argument ... number; 0 none
  uint8_t deriv[4];    // three coordinate selectors (1 X .. 4 T), then a variable number
  TextLoc loc;         // source position; file 0: none
  const String *name;  // owned elsewhere (the symbol record's name of a param node)
  union {
    TreeNode *child[3];  // operators: children 1..arity, owned
    double value;        // realval
    String text;         // treestring: owned by the node
    TreeNode *target;    // subref: a node of the same tree, never owned
    uint32_t key;        // xferval: the transfer reference's key
  };
};

// The node whose own operation an evaluation or a constant fold is computing, null
// elsewhere: a floating-point trap raised there is reported at the node's place.
extern const TreeNode *trees_fp_node;
struct TreesFpScope {
  const TreeNode *saved;
  explicit TreesFpScope(const TreeNode *n) : saved(trees_fp_node) { trees_fp_node = n; }
  ~TreesFpScope() { trees_fp_node = saved; }
};

// The order of an incomplete gamma node (gammai): its whole part is the index, a
// fraction rides in the selector bytes, which the node has no other use for.
double trees_gamma_order(const TreeNode *n);
void trees_set_gamma_order(TreeNode *n, double order);

// The texts of a division by zero: one for an evaluation that divides by zero, one
// for a constant quotient the simplifier refuses where it is written.
extern const char trees_divide_by_zero[];
extern const char trees_constant_divide[];

extern uint16_t trees_debug;  // the TREES debug switch of the current problem

int trees_init();

// ---- Construction ---------------------------------------------------------------------------
// A zeroed node with opcode, group and arity from the table; _1 also takes the position.
TreeNode *trees_new_0(int32_t opcode);
TreeNode *trees_new_1(int32_t opcode, const TextLoc *loc);
// A realval leaf holding value (realval even for 0).
TreeNode *trees_new_real_0(double value);
TreeNode *trees_new_real_1(double value, const TextLoc *loc);
// A new node with tree as child 1; a non-null tree lends it its class fields and position.
TreeNode *trees_insert(TreeNode *tree, int32_t opcode);
// Changes the opcode, resetting group and arity from the table.
void trees_modify(TreeNode *node, int32_t opcode);
// Copies the node fields, neither name nor payload.
void trees_node_copy(TreeNode *dest, const TreeNode *src);

// ---- Copy, compare, free ----------------------------------------------------------------------
// Deep copy; the name and a subref target stay shared, a treestring gets its own text.
TreeNode *trees_copy(const TreeNode *tree);
// Structural equality: class fields, positions and names do not take part; the
// operands of commutative operators are unordered.
bool trees_compare(const TreeNode *a, const TreeNode *b);
// Frees the tree (never through a subref) and returns null; null is harmless.
TreeNode *trees_free_0(TreeNode *tree);
// Frees the children of a node (or a treestring's text) and keeps the node.
void trees_free_leaves(TreeNode *node);
// Frees one node and nothing under it.
void trees_free_node(TreeNode *node);

// ---- Rewrites (a null node, or a child number beyond the arity, stops with
// "INVALID TREE ADDRESS") ------------------------------------------------------------------------
// The node becomes the constant value in place, keeping its class fields and index.
void trees_replace(TreeNode *node, double value);
// Frees the node and every child but child k, and returns child k.
TreeNode *trees_select_leaf(TreeNode *node, int32_t k);
// op(a, op2(c1, c2[, c3])) -> op2(op(a, c1), op(a', c2)[, op(a', c3)]), a' copies of a.
TreeNode *trees_distribute_left(TreeNode *node);
// op(op2(c1, c2[, c3]), a) -> op2(op(c1, a), op(c2, a')[, op(c3, a')]).
TreeNode *trees_distribute_right(TreeNode *node);
// Gives nodes without a position the position of child 1, else of child 2.
void trees_find_loc(TreeNode *tree);

// ---- Tree vectors -------------------------------------------------------------------------------
// new on a vector with storage is "NEW TREEVECTOR ALREADY ALLOCATED"; resize never
// shrinks the storage; free_1 with flag set also frees every tree.
void trees_new_2(treevector *v, uint16_t count, uint16_t capacity);
void trees_resize_0(treevector *v, uint16_t count, uint16_t capacity);
uint16_t trees_one_more(treevector *v, TreeNode *tree);
void trees_free_1(treevector *v, uint8_t free_trees);
// Entry n (from 1) of the vector, lengthened to n when shorter with its capacity
// raised in steps of 8; the new entries are null.
TreeNode **trees_slot(treevector *v, uint16_t n);
void trees_new_3(treevectors *v, uint16_t count, uint16_t capacity);
void trees_resize_1(treevectors *v, uint16_t count, uint16_t capacity);
void trees_free_2(treevectors *v, uint8_t free_trees);

// ---- Names and printing ---------------------------------------------------------------------------
// The label tables of the diagram: coordinate and variable names, owned by the
// caller (null: letters are used). Reset with nulls before a problem is parsed.
void trees_set_tree_labels(const StringList *coords, const StringList *vars);
void trees_opname(String *s, int32_t opcode);
void trees_treename(String *s, const TreeNode *node);
// prefix, then the names of the non-zero coordinate selectors, then variable v.
void trees_dlabel(String *s, const char *prefix, uint8_t d1, uint8_t d2, uint8_t d3, uint8_t v,
                  const StringList *coords, const StringList *vars);
// Title line (when not empty), the diagram, an empty line and forty dashes.
void trees_print_tree(FILE *f, const TreeNode *tree, const char *title);
void trees_tag_name(FILE *f, const TreeNode *node);
void trees_print_name_0(FILE *f, const TreeNode *node, const char *text);
void trees_print_name_1(FILE *f, const TreeNode *node, const String *text);
void trees_print_rhs(FILE *f, const TreeNode *node, const char *text);
void trees_print_class(FILE *f, const TreeNode *node, const char *text);
void trees_print_group(FILE *f, const TreeNode *node, const char *text);
