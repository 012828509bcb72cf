// rdexpr's private parts shared by its two files: the node, tree and scope helpers
// of the expression actions that the section actions use as well.
#pragma once
#include <cstdint>
#include <utility>
#include <vector>

#include "runtime/strings.h"
#include "runtime/textin.h"

struct pde;
struct FormulaSet;
struct idrec;
struct paramset;
struct parse_node;
struct TreeNode;
struct fitlist;

pde *P();
FormulaSet &F();

[[noreturn]] void err(const TextLoc *loc, const char *message);

// Where each variable and definition of the outer scope was declared.
extern std::vector<std::pair<const idrec *, TextLoc>> declared_at;
void note_declaration(const idrec *id, const TextLoc *loc);

// A new entry of the definitions, made for the text at loc; the list holds 65535.
uint16_t new_param(paramset *set, const String *name, const TextLoc *loc);

// The tree of n, which the caller now owns; r forgets it too when it shares it.
TreeNode *take(parse_node *r, parse_node *n);
uint32_t depth_of(const parse_node *n);
// Gives r the tree t of height depth; a tree too deep is refused at loc.
void give(parse_node *r, TreeNode *t, uint32_t depth, const TextLoc *loc);
// The string of n moved out (n keeps an empty one).
String take_string(parse_node *n);

// The symbol of a name in the outermost scope, or null.
idrec *global_id(const String *name);
idrec **top_scope();
// Scopes closed during the parse, kept until the next parse starts.
extern std::vector<idrec *> &closed;
// Enters the name of n into the scope; the node's entry is the stored one.
idrec *enter(parse_node *r, parse_node *n, idrec **root);
void push_scope();
void pop_scope();

// Simplifies the tree held in *slot in place.
void simplify_in(TreeNode **slot);
void classify(TreeNode *t);

bool kind_is_integral(int32_t opcode);
// Frees tree and second when the fit list kept another tree for entry n; returns n.
uint16_t fit_kept(fitlist *list, uint16_t n, TreeNode *tree, TreeNode *second = nullptr);
