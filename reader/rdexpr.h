// rdexpr: the expression actions of the descriptor parser (trees of operators, names,
// calls, integrals and point values) and the section actions that store them in the
// problem: variables, definitions, functions, stages, arrays, initial values,
// equations, constraints, RESOLVE and FRONT, REPEAT loops and SUM.
#pragma once
#include <cstdint>

struct parse_node;
struct TextLoc;
struct TreeNode;

// Reader-wide state. Section codes: 0 TITLE, DEFINITIONS and the coordinates,
// 1 VARIABLES, 2 SCALAR VARIABLES, 4 EQUATIONS, 8 CONSTRAINTS, 9 INITIAL VALUES,
// 10 INITIAL EQUATIONS; kept until the next such section.
extern uint32_t rdexpr_section;
extern uint16_t rdexpr_region;        // REGION being read, 0 outside regions
extern uint16_t rdexpr_layer;         // layer being read in extruded problems, 0 otherwise
extern uint8_t rdexpr_timederiv;      // the current equation holds a time derivative
extern TreeNode *rdexpr_streamline;   // argument of the last STREAMLINE call (owned)
extern uint8_t rdexpr_debug;          // DEBUG(READ)

// Trees deeper than this are refused where they are built.
enum { RDEXPR_MAX_DEPTH = 4000 };

int rdexpr_init();

// The reader-wide state as a parse of a problem starts.
void rdexpr_reset();
// The count of the shortest STAGED list read since the reset, 0 when none was.
uint16_t rdexpr_shortest_staged();

// Folds the node's tree to a number and frees it: a tree that is not constant is
// "CONSTANT REQUIRED" at the node. The node's tree is cleared.
double rdexpr_constize(parse_node *n);
// The value of the node's tree when it folds to a constant (the tree is kept, simplified).
bool rdexpr_constant_value(parse_node *n, double *value);
// Nonzero when the tree holds a definition (a param or stageparam leaf).
bool rdexpr_holds_definition(const TreeNode *tree);
// "SECTION OUT OF ORDER" at loc; does not return.
[[noreturn]] void rdexpr_section_err(const TextLoc *loc);
// The time checks: the first use of the time makes the problem time dependent
// (refused in staged problems); tcheck asks for a time range when it is one.
void rdexpr_set_timedep(const TextLoc *loc);
void rdexpr_tcheck(const TextLoc *loc, uint8_t flag);
// Enters the coordinate system's names once per parse and sets the dimension; a
// coordinate or derivative name that is taken already is "MULTIPLY DEFINED" at loc.
void rdexpr_build_coords(const TextLoc *loc);
// As rdexpr_define (name v[1], expression v[3]), except that a global definition of
// the name that exists already is replaced (SELECT ERRLIM given more than once).
void rdexpr_redefine(parse_node *r, parse_node *const *v);

// Handlers: r is the result (a copy of $1 on entry), v[1..n] the right-hand values.
void rdexpr_endvar(parse_node *r, parse_node *const *v);
void rdexpr_eqnum(parse_node *r, parse_node *const *v);
void rdexpr_eqnum1(parse_node *r, parse_node *const *v);
void rdexpr_titlestring(parse_node *r, parse_node *const *v);
void rdexpr_copystring(parse_node *r, parse_node *const *v);
void rdexpr_startvar(parse_node *r, parse_node *const *v);
void rdexpr_scalarvar(parse_node *r, parse_node *const *v);
void rdexpr_newvar1(parse_node *r, parse_node *const *v);
void rdexpr_newvarrg1(parse_node *r, parse_node *const *v);
void rdexpr_newvarrg2(parse_node *r, parse_node *const *v);
void rdexpr_newvarex1(parse_node *r, parse_node *const *v);
void rdexpr_newvarex2(parse_node *r, parse_node *const *v);
void rdexpr_buggervar(parse_node *r, parse_node *const *v);
void rdexpr_errwtvar(parse_node *r, parse_node *const *v);
void rdexpr_startdef(parse_node *r, parse_node *const *v);
void rdexpr_declare(parse_node *r, parse_node *const *v);
void rdexpr_fdefine(parse_node *r, parse_node *const *v);
void rdexpr_sdefine(parse_node *r, parse_node *const *v);
void rdexpr_stagex(parse_node *r, parse_node *const *v);
void rdexpr_arrayx(parse_node *r, parse_node *const *v);
void rdexpr_define(parse_node *r, parse_node *const *v);
void rdexpr_lastarg(parse_node *r, parse_node *const *v);
void rdexpr_defarg1(parse_node *r, parse_node *const *v);
void rdexpr_defarg2(parse_node *r, parse_node *const *v);
void rdexpr_deffunc(parse_node *r, parse_node *const *v);
void rdexpr_stage1(parse_node *r, parse_node *const *v);
void rdexpr_stage2(parse_node *r, parse_node *const *v);
void rdexpr_array1(parse_node *r, parse_node *const *v);
void rdexpr_array2(parse_node *r, parse_node *const *v);
void rdexpr_startiv(parse_node *r, parse_node *const *v);
void rdexpr_initial(parse_node *r, parse_node *const *v);
void rdexpr_startiniteq(parse_node *r, parse_node *const *v);
void rdexpr_selectstagex(parse_node *r, parse_node *const *v);
void rdexpr_starteq(parse_node *r, parse_node *const *v);
void rdexpr_groupeq(parse_node *r, parse_node *const *v);
void rdexpr_equation(parse_node *r, parse_node *const *v);
void rdexpr_equation2(parse_node *r, parse_node *const *v);
void rdexpr_startconstraint(parse_node *r, parse_node *const *v);
void rdexpr_constraint1(parse_node *r, parse_node *const *v);
void rdexpr_constraint2(parse_node *r, parse_node *const *v);
void rdexpr_resolve1(parse_node *r, parse_node *const *v);
void rdexpr_resolvewt(parse_node *r, parse_node *const *v);
void rdexpr_frontdef(parse_node *r, parse_node *const *v);
void rdexpr_sumstring(parse_node *r, parse_node *const *v);
void rdexpr_intstring(parse_node *r, parse_node *const *v);
void rdexpr_intstring1(parse_node *r, parse_node *const *v);
void rdexpr_plus(parse_node *r, parse_node *const *v);
void rdexpr_minus(parse_node *r, parse_node *const *v);
void rdexpr_plusterm(parse_node *r, parse_node *const *v);
void rdexpr_minusterm(parse_node *r, parse_node *const *v);
void rdexpr_times(parse_node *r, parse_node *const *v);
void rdexpr_divide(parse_node *r, parse_node *const *v);
void rdexpr_power(parse_node *r, parse_node *const *v);
void rdexpr_groupex(parse_node *r, parse_node *const *v);
void rdexpr_groupif(parse_node *r, parse_node *const *v);
void rdexpr_vec2(parse_node *r, parse_node *const *v);
void rdexpr_vec3(parse_node *r, parse_node *const *v);
void rdexpr_equalex(parse_node *r, parse_node *const *v);
void rdexpr_commex(parse_node *r, parse_node *const *v);
void rdexpr_variable(parse_node *r, parse_node *const *v);
void rdexpr_indexed(parse_node *r, parse_node *const *v);
void rdexpr_literal(parse_node *r, parse_node *const *v);
void rdexpr_lambdavar(parse_node *r, parse_node *const *v);
void rdexpr_stagevar(parse_node *r, parse_node *const *v);
void rdexpr_dtvar(parse_node *r, parse_node *const *v);
void rdexpr_voljvar(parse_node *r, parse_node *const *v);
void rdexpr_fcall1(parse_node *r, parse_node *const *v);
void rdexpr_fcall2(parse_node *r, parse_node *const *v);
void rdexpr_fcall2s(parse_node *r, parse_node *const *v);
void rdexpr_fcall3(parse_node *r, parse_node *const *v);
void rdexpr_fcall3ss(parse_node *r, parse_node *const *v);
void rdexpr_fcall3is(parse_node *r, parse_node *const *v);
void rdexpr_fcall3si(parse_node *r, parse_node *const *v);
void rdexpr_valpt(parse_node *r, parse_node *const *v);
void rdexpr_fcall4sss(parse_node *r, parse_node *const *v);
void rdexpr_fcall4iss(parse_node *r, parse_node *const *v);
void rdexpr_fcall4sis(parse_node *r, parse_node *const *v);
void rdexpr_fcall4ssi(parse_node *r, parse_node *const *v);
void rdexpr_fcall4sii(parse_node *r, parse_node *const *v);
void rdexpr_fcall4isi(parse_node *r, parse_node *const *v);
void rdexpr_fcall4iis(parse_node *r, parse_node *const *v);
void rdexpr_sumend(parse_node *r, parse_node *const *v);
void rdexpr_fcall4(parse_node *r, parse_node *const *v);
void rdexpr_sumheader(parse_node *r, parse_node *const *v);
void rdexpr_litint(parse_node *r, parse_node *const *v);
void rdexpr_litflt(parse_node *r, parse_node *const *v);
void rdexpr_offval(parse_node *r, parse_node *const *v);
void rdexpr_onval(parse_node *r, parse_node *const *v);
void rdexpr_ifthenex(parse_node *r, parse_node *const *v);
void rdexpr_ifthenelse(parse_node *r, parse_node *const *v);
void rdexpr_ifex(parse_node *r, parse_node *const *v);
void rdexpr_reland(parse_node *r, parse_node *const *v);
void rdexpr_relor(parse_node *r, parse_node *const *v);
void rdexpr_relation1(parse_node *r, parse_node *const *v);
void rdexpr_relnot(parse_node *r, parse_node *const *v);
void rdexpr_repeater(parse_node *r, parse_node *const *v);
void rdexpr_repeatbyto(parse_node *r, parse_node *const *v);
void rdexpr_repeattoby(parse_node *r, parse_node *const *v);
void rdexpr_endrepeat(parse_node *r, parse_node *const *v);
void rdexpr_frepeater(parse_node *r, parse_node *const *v);
void rdexpr_frepeatbyto(parse_node *r, parse_node *const *v);
void rdexpr_frepeattoby(parse_node *r, parse_node *const *v);
void rdexpr_fendrepeat(parse_node *r, parse_node *const *v);
