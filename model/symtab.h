// symtab: the names descriptor text may use, in height-balanced trees of idrec
// records keyed by (hash, name): the program-wide operator tree of built-ins and
// each problem's stack of scope trees.
#pragma once
#include <cstdint>
#include <cstdio>

#include "runtime/strings.h"

// Symbol kinds.
enum : uint32_t {
  nullid, literalnam, coordnam, varbnam, paramnam, sparamnam, fparamnam, fargnam, strfuncnam,
  funcnam, difopnam, diffun, arraynam, forvarnam, sumvarnam
};
extern const char symtab_kindnames[16][12];

struct idrec {
  idrec *right;        // greater keys
  idrec *left;         // smaller keys
  String name;         // owned
  void *value;         // a TreeNode or other definition data; a constant's realval leaf (owned)
  uint16_t hash;       // strings_hashfn_0 of the name
  uint16_t index;      // a built-in's opcode, or the number of the object named
  uint32_t kind;       // nullid .. sumvarnam
  uint8_t suba, subb;  // coordinate selectors of a derivative operator or built-in
  uint32_t argcounts;  // accepted argument counts: count i has the bit 0x80000000 >> i
  uint8_t vecarg;      // 1: takes a vector argument
  uint8_t pointwise;   // 1: applied to a value at a point
  uint8_t balance;     // 0 even, 1 left higher, 2 right higher
};

// A problem's scopes, roots 1..count (root k is roots[k-1]); searched from count down to floor.
struct scopestack {
  uint16_t count;
  uint16_t capacity;
  uint16_t floor;
  idrec **roots;
};

extern idrec *symtab_optree;  // the program-wide operator tree
extern uint16_t symtab_debug; // the SYMTAB debug switch of the current problem

int symtab_init();

// ---- Records and trees -----------------------------------------------------------------------
idrec *symtab_newidrec(const String *name, uint16_t hash);
void symtab_defineid(idrec *r, uint32_t kind, uint16_t index, uint8_t a, uint8_t b, void *value);
// The record of (hash, name) below root, or null.
idrec *symtab_lookupid(idrec *root, const String *name, uint16_t hash);
// Inserts r, rebalancing; a record with the same key already there is returned
// instead and r is released.
idrec *symtab_enterid(idrec **root, idrec *r);
// Unlinks r, which must hang as a leaf, and frees it; no rebalancing.
void symtab_deleteid(idrec **root, idrec *r);
// Frees the tree bottom-up and returns null.
idrec *symtab_deleteall(idrec *root);

// ---- Scope stack -------------------------------------------------------------------------------
// Grows the storage to capacity when larger, sets count, floor 1.
void symtab_resize(scopestack *s, uint16_t count, uint16_t capacity);
// Releases the storage; with delete_trees set deletes every scope's tree first.
void symtab_free(scopestack *s, uint8_t delete_trees);

// ---- Built-ins --------------------------------------------------------------------------------------
// Fatal "DUPLICATE OPERATOR NAME" when the name is there.
idrec *symtab_newop(idrec **root, const char *name, uint16_t opcode, uint8_t a, uint8_t b, uint32_t counts,
                    uint8_t vecarg, uint8_t pointwise, uint32_t kind);
// A literalnam constant with a realval leaf; fatal "DUPLICATE BUILTIN NAME".
idrec *symtab_newconst(idrec **root, const char *name, double value);
// Makes the name coordinate number (1..4); reuses a nullid record; fatal
// "DUPLICATE COORDINATE NAME" for a name of any other kind.
idrec *symtab_new_coord(idrec **root, const String *name, uint16_t number);
void symtab_operators(idrec **root);  // the 67 built-in functions and operators
void symtab_builtins(idrec **root);   // "PI"

// ---- Listings ------------------------------------------------------------------------------------------
// Appends " kind=" and the kind's name, or " no kind".
void symtab_showkind(String *s, uint32_t kind);
// One line per record, pre-order: record, hash, links, depth, balance, name.
void symtab_dbstable(FILE *f, const idrec *root);
