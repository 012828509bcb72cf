// rdomain: the boundary, coordinate, time and end actions of the descriptor parser.
// The actions build the problem's domain as they read it (joints, edges, loops,
// regions, periodic declarations) and carry the position along the path and the
// boundary conditions in force in a module-wide working state, which the extrusion
// actions share; that state lives for one parse.
#pragma once
#include <cstdint>

#include "runtime/strings.h"

struct parse_node;
struct pde;
struct TextLoc;
struct TreeNode;

int rdomain_init();

// The working state shared with the extrusion actions: the surface selected by
// SURFACE (0 none) and the periodic declaration the segment being read joins (0 none).
// The current region and layer are the reader-wide rdexpr_region and rdexpr_layer.
extern uint16_t rdomain_surface;
extern uint16_t rdomain_periodic;

// A parse starts here: the working state is emptied, the selectors cleared, and the
// problem's periodic sign and HALT step unset.
void rdomain_reset(pde *p);

// A number of the geometry: the node's tree folded (rdexpr_constize); a tree that
// holds a definition marks the problem's geometry as depending on definitions.
double rdomain_stageize(parse_node *n);

// The parse error message at loc, on the problem being read; does not return.
[[noreturn]] void rdomain_error(const TextLoc *loc, const char *message);
// The tree of node n, now the caller's (r, the action's result, forgets it too).
TreeNode *rdomain_take(parse_node *r, parse_node *n);
// The string of node n moved out (an identifier gives a copy of its name; otherwise
// empty), upper-cased when asked.
String rdomain_take_string(parse_node *n, bool upper);

// PERIODIC (+1) or ANTIPERIODIC (-1) anywhere in the problem: the opposite sign given
// before is "Confilicting Periodic Declaration" at loc.
void rdomain_periodic_sign(double sign, const TextLoc *loc);

// Handlers: r is the result (a copy of $1 on entry), v[1..n] the right-hand values.
void rdomain_end_key(parse_node *r, parse_node *const *v);
void rdomain_end_key1(parse_node *r, parse_node *const *v);
void rdomain_eof_end(parse_node *r, parse_node *const *v);
void rdomain_uncoded_end(parse_node *r, parse_node *const *v);
void rdomain_endbdry(parse_node *r, parse_node *const *v);
void rdomain_coordspec0(parse_node *r, parse_node *const *v);
void rdomain_coordspec(parse_node *r, parse_node *const *v);
void rdomain_coordspec1(parse_node *r, parse_node *const *v);
void rdomain_coordspec2(parse_node *r, parse_node *const *v);
void rdomain_coordspec3(parse_node *r, parse_node *const *v);
void rdomain_coordeq(parse_node *r, parse_node *const *v);
void rdomain_coordtime(parse_node *r, parse_node *const *v);
void rdomain_meshspace(parse_node *r, parse_node *const *v);
void rdomain_meshdens(parse_node *r, parse_node *const *v);
void rdomain_globalize(parse_node *r, parse_node *const *v);
void rdomain_endregion(parse_node *r, parse_node *const *v);
void rdomain_boundstart(parse_node *r, parse_node *const *v);
void rdomain_moreloop(parse_node *r, parse_node *const *v);
void rdomain_fixpoint(parse_node *r, parse_node *const *v);
void rdomain_startregion(parse_node *r, parse_node *const *v);
void rdomain_startfeature(parse_node *r, parse_node *const *v);
void rdomain_startexclude(parse_node *r, parse_node *const *v);
void rdomain_tagregion(parse_node *r, parse_node *const *v);
void rdomain_nameregion(parse_node *r, parse_node *const *v);
void rdomain_flushlayer(parse_node *r, parse_node *const *v);
void rdomain_pointbcs(parse_node *r, parse_node *const *v);
void rdomain_fixstart(parse_node *r, parse_node *const *v);
void rdomain_startpoint(parse_node *r, parse_node *const *v);
void rdomain_namestart(parse_node *r, parse_node *const *v);
void rdomain_natbc(parse_node *r, parse_node *const *v);
void rdomain_valbc(parse_node *r, parse_node *const *v);
void rdomain_neubc(parse_node *r, parse_node *const *v);
void rdomain_tanbc(parse_node *r, parse_node *const *v);
void rdomain_bcoff(parse_node *r, parse_node *const *v);
void rdomain_nodespace(parse_node *r, parse_node *const *v);
void rdomain_nodedens(parse_node *r, parse_node *const *v);
void rdomain_startline(parse_node *r, parse_node *const *v);
void rdomain_moreline(parse_node *r, parse_node *const *v);
void rdomain_endlinelist(parse_node *r, parse_node *const *v);
void rdomain_arccangle(parse_node *r, parse_node *const *v);
void rdomain_arcctopoint(parse_node *r, parse_node *const *v);
void rdomain_arcrtopoint(parse_node *r, parse_node *const *v);
void rdomain_arcrdangle(parse_node *r, parse_node *const *v);
void rdomain_arctoptop(parse_node *r, parse_node *const *v);
void rdomain_arcstopoint(parse_node *r, parse_node *const *v);
void rdomain_periodic1(parse_node *r, parse_node *const *v);
void rdomain_periodic2(parse_node *r, parse_node *const *v);
void rdomain_periodic3(parse_node *r, parse_node *const *v);
void rdomain_perflag(parse_node *r, parse_node *const *v);
void rdomain_aperflag(parse_node *r, parse_node *const *v);
void rdomain_fillet(parse_node *r, parse_node *const *v);
void rdomain_bevel(parse_node *r, parse_node *const *v);
void rdomain_radangle(parse_node *r, parse_node *const *v);
void rdomain_setradius(parse_node *r, parse_node *const *v);
void rdomain_setdir(parse_node *r, parse_node *const *v);
void rdomain_arcr(parse_node *r, parse_node *const *v);
void rdomain_arcrd(parse_node *r, parse_node *const *v);
void rdomain_arcrd1(parse_node *r, parse_node *const *v);
void rdomain_arcc(parse_node *r, parse_node *const *v);
void rdomain_arcc1(parse_node *r, parse_node *const *v);
void rdomain_defpoint(parse_node *r, parse_node *const *v);
void rdomain_defpoint3(parse_node *r, parse_node *const *v);
void rdomain_barepoint3(parse_node *r, parse_node *const *v);
void rdomain_barepoint(parse_node *r, parse_node *const *v);
void rdomain_topoint0(parse_node *r, parse_node *const *v);
void rdomain_topoint(parse_node *r, parse_node *const *v);
void rdomain_tofinish(parse_node *r, parse_node *const *v);
void rdomain_pointvalue(parse_node *r, parse_node *const *v);
void rdomain_pointload(parse_node *r, parse_node *const *v);
void rdomain_startpointlist(parse_node *r, parse_node *const *v);
void rdomain_listpoint(parse_node *r, parse_node *const *v);
void rdomain_listpoint0(parse_node *r, parse_node *const *v);
void rdomain_spline(parse_node *r, parse_node *const *v);
void rdomain_haltdt(parse_node *r, parse_node *const *v);
void rdomain_tstart2(parse_node *r, parse_node *const *v);
void rdomain_tstart1(parse_node *r, parse_node *const *v);
void rdomain_tend2(parse_node *r, parse_node *const *v);
void rdomain_tby2(parse_node *r, parse_node *const *v);
