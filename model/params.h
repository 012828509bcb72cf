// params: the problem's named definitions (global, per region and per layer, and
// their expanded forms), the table list they refer to, and their evaluation order.
#pragma once
#include <cstdint>
#include <cstdio>

#include "model/tabledat.h"
#include "model/trees.h"
#include "runtime/strings.h"
#include "runtime/vectorn.h"

struct param {
  String name;
  String strvalue;        // a string definition's text (kind 8)
  TreeNode *global;       // where no region or layer definition applies
  TreeNode *expglobal;    // the global tree with other definitions substituted
  uint8_t region;         // 1: defined per region, or depends on such a definition
  uint8_t used;           // set when substitution meets a reference to it
  uint8_t shared;         // substitution keeps the reference, evaluation follows it (a long chain's link)
  vectorn deps;           // definitions it names, ascending, no duplicates; its own number too when on a cycle
  int32_t kind;           // 4 expression, 8 string
  treevector byregion;    // by region number
  treevectors bylayer;    // by layer number, each by region number
  treevector expregion;   // expanded, by region number
};

// Definitions 1..count (definition k is items[k-1]).
struct paramset {
  uint16_t count;
  uint16_t capacity;
  param **items;
  tablelist tables;  // the problem's TABLE references
  vectorn order;     // evaluation order, filled by params_param_dependencies
};

extern uint16_t params_debug;  // the FORMULAS debug switch of the current problem

int params_init();

// Appends a definition named name; returns its number. The array grows by 32.
uint16_t params_new_param(paramset *set, const String *name);
// Every operation below that takes a definition number stops with "UNDEFINED PARAM"
// for a number outside 1..count.
// Stores tree globally (region 0), for a region, or for a region of a layer; true
// when a region or layer tree replaced an earlier one.
bool params_define_param(paramset *set, uint16_t number, uint16_t region, uint16_t layer, TreeNode *tree);
bool params_define_string_param(paramset *set, uint16_t number, uint16_t region, uint16_t layer,
                                const String *text);
void params_define_expanded_param(paramset *set, uint16_t number, uint16_t region, TreeNode *tree);
// The definition as written for the region and layer.
TreeNode *params_find_param_def(paramset *set, uint16_t number, uint16_t region, uint16_t layer);
// The tree to evaluate in the region: expanded or written, per region or global.
TreeNode *params_find_param_tree(paramset *set, uint16_t number, uint16_t region);
bool params_check_definition(paramset *set, uint16_t number, uint16_t region);
bool params_check_layer_definition(paramset *set, uint16_t number, uint16_t region, uint16_t layer);
bool params_param_is_global(paramset *set, uint16_t number);
// Dependencies, region flags and the order, in time about linear in the definitions
// and their references; 0, or (region << 16) + number of a definition that depends on
// itself (a reference to itself, else the lowest member of the first cycle found).
int32_t params_param_dependencies(paramset *set);
void params_free_0(param *p);
void params_free_1(paramset *set);
void params_print_params(FILE *f, const paramset *set);
