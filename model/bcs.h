// bcs: the boundary-condition set of the formula set, its records, and the list of
// per-variable tags that joints, edges and faces refer to by number.
#pragma once
#include <cstdint>
#include <cstdio>

#include "model/trees.h"
#include "runtime/strings.h"
#include "runtime/vector2n.h"
#include "runtime/vectorn.h"

struct Domain;
struct FormulaSet;

// Condition types.
enum : int32_t { nobc, naturalbc, valuebc, imposebc, normalbc, tanglbc, valuept, loadpt };
extern const char bcs_typenames[8][11];

struct bc {
  String name1, name2;  // owned
  TreeNode *tree;       // the formula (owned)
  vectorn regions;      // region numbers the per-region lists are kept for (ascending, once each)
  int32_t type;         // nobc .. loadpt
  uint16_t variable;    // the variable the condition applies to
  treevector lists[2];  // per region position: [0] the prepared formula, [1] the final residual
  treevectors perregion;  // per region position, the Jacobians by unknown
  treevector rates;       // per region position: a natural condition's time part as a side integral
  treevectors ratejac;    // per region position: that part's Jacobians by the rates of the unknowns
  uint8_t varying;      // 1: in value form, the residual is the variable minus the value
  uint8_t weak;         // 1: a normal derivative taken into the equation's side flux, assembled
                        // as a natural condition (the residual list holds that side integral);
                        // a tangential derivative held along its sides (see bcs_along_side)
  treevector slopes;    // a tangential derivative along its sides: per region position, the
                        // tangential slope of the trial functions, the rows' test
};

// Whether the condition is assembled as a side integral: a natural condition, or a
// normal derivative taken into the side flux.
inline bool bcs_side_integral(const bc *b) { return b->type == naturalbc || (b->type == normalbc && b->weak); }
// Whether a tangential derivative is held along its sides: each of its nodes' rows is the
// side integral of (the tangential slope less its value) times the node's function's
// tangential slope, the weak form of the slope along the side between its held ends.
inline bool bcs_along_side(const bc *b) { return b->type == tanglbc && b->weak; }

// Conditions 1..count (condition k is items[k-1]), the array growing by 8, and the
// tags 1..tags.count: each a vectorn indexed by variable whose entry is the number
// of the condition that applies to it (0 none).
struct bcset {
  uint16_t count;
  uint16_t capacity;
  bc **items;
  vector2n tags;
};

extern uint16_t bcs_debug;  // the FORMULAS debug switch of the current problem

int bcs_init();

// Appends a zeroed condition and returns its number.
uint16_t bcs_new_bc(bcset *set);
// Stores tree (an earlier one is freed), type and variable; a number outside
// 1..count stops with "UNDEFINED BC".
void bcs_define_bc(bcset *set, uint16_t number, TreeNode *tree, int32_t type, uint16_t variable);
// The position of region in the condition's region list. An unlisted region writes
// "UNLISTED REGION" with the list to the debug log and gives the last position
// (0 for an empty list), so that the result always indexes the per-region lists.
uint16_t bcs_find_bc_regix(const bc *b, uint16_t region);
// The number of a tag with the entries of tag: 0 for a tag without a non-zero
// entry (not stored), else the first equal stored tag, else a new copy.
uint16_t bcs_make_bctag(bcset *set, const vectorn *tag);
// Merges the conditions of source into dest (lengthened to the source's count when
// shorter) by the precedence of their types; returns the number of conflicts.
int32_t bcs_merge_bctags(const bcset *set, vectorn *dest, const vectorn *source);
// The list of a tag (by variable, condition numbers), null for tag 0 or one not stored.
const vectorn *bcs_tag_list(const bcset *set, uint16_t tag);
// The condition number that applies to the variable (from 1) on an entity of the domain
// by the entity's tag, 0 for none: on a face of a 3D domain and on an edge of a 2D one
// (surf), or on the face, edge or joint named. An entity number outside its table is the
// execution error "INVALID JOINT ENTRY" or "INVALID EDGE ENTRY" (faces give 0).
uint16_t bcs_find_surf_bc(const Domain *d, uint16_t entity, uint16_t variable, const FormulaSet *f);
uint16_t bcs_find_face_bc(const Domain *d, uint16_t entity, uint16_t variable, const FormulaSet *f);
uint16_t bcs_find_edge_bc(const Domain *d, uint16_t entity, uint16_t variable, const FormulaSet *f);
uint16_t bcs_find_joint_bc(const Domain *d, uint16_t entity, uint16_t variable, const FormulaSet *f);
// free_0 frees one condition's names, tree and lists; free_1 the set with its tags.
void bcs_free_0(bc *b);
void bcs_free_1(bcset *set);
// The debug listing of the tags and the formulas; names are the variable names.
void bcs_print_bcs(FILE *f, const bcset *set, const StringList *names);
